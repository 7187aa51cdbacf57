#include "app/TextCatalog.h"

#include <algorithm>
#include <set>

namespace app {

namespace {

// Indexed by Msg; both tables in the order of the enum.
const char *const kGermanMsgs[] = {
    "Die Datei \"MakeID.pif\" wurde nicht im Quorbix-Verzeichnis gefunden ! Quorbix wird evtl. nicht stabil laufen !",
    "Anzahl vorhandener Schlüssel :",
    "PGP.exe nicht gefunden !",
    "Userabbruch beim Einlesen der Baumansicht !",
    "Bitte geben Sie Ihr Mantra ein: ('Hilfe' für mehr Informationen )",
    "Buttonkonfiguration geändert ! Speichern ?",
    "Einen Moment bitte...",
    "Internet Explorer nicht gefunden !",
    "Konnte die Userliste nicht erstellen !",
    "Sind Sie sicher ?",
    "Der Empfänger \"%s\" beginnt mit \"-\" oder \"+\" und würde von PGP als Option gelesen. "
    "PGP wurde nicht gestartet.",
    "Der Text des Mailfensters ließ sich nicht kopieren (ist es leer?). PGP wurde nicht gestartet, "
    "die Mail bleibt unverändert.",
};

const char *const kEnglishMsgs[] = {
    "Don't found the file \"MakeID.pif\" ! Quorbix will cause invisible errors !",
    "Number of key's :",
    "PGP not found !",
    "Userabort while reading the treeview !",
    "Please type in your passphrase: (\"Help\" for further informations.)",
    "Buttonconfiguration changed ! Save it ?",
    "One moment please...",
    "Internet Explorer not found !",
    "Couldn't generate userlist !",
    "Are you sure ?",
    "The recipient \"%s\" starts with \"-\" or \"+\" and would be read by PGP as an option. "
    "PGP was not started.",
    "The text of the mail window could not be copied (is it empty?). PGP was not started; "
    "the mail is unchanged.",
};

constexpr std::size_t kMsgCount = sizeof(kGermanMsgs) / sizeof(kGermanMsgs[0]);
static_assert(kMsgCount == sizeof(kEnglishMsgs) / sizeof(kEnglishMsgs[0]));
static_assert(kMsgCount == std::size_t(Msg::MailTextNotCopied) + 1);

void fill(std::vector<std::string> &texts, const char *const (&src)[kMsgCount])
{
    texts.assign(std::begin(src), std::end(src));
}

// ---- main window ----------------------------------------------------------

const std::vector<ControlText> kMainGerman = {
    // main menu
    {"Projekt1", "&Projekt", nullptr},
    {"muSetup", "&Einstellungen...", "Programmeinstellungen"},
    {"muMantra", "Mantra...", "Geben Sie hier Ihr Mantra ein."},
    {"muDelMantra", "&Lösche  Mantra", "Entfernt Ihr Mantra aus dem Speicher."},
    {"muQuit", "&Beenden", "Sag ich nicht"},
    {"Bearbeiten1", "&Bearbeiten", nullptr},
    {"muCut", "&Ausschneiden", "Schneidet den markierten Text aus und kopiert ihn in die Zwischenablage"},
    {"muCopy", "&Kopieren", "Kopiert den markierten Text in die Zwischenablage"},
    {"muPaste", "&Einfügen", "Fügt den Inhalt der Zwischenablage in den Editor ein"},
    {"UserButtons1", "User-Buttons", nullptr},
    {"muHideUb", "&User-Buttons", "Verwaltet die User definierten Buttons"},
    {"Hilfe1", "&Hilfe", nullptr},
    {"muHelp", "&Hilfethemen", "Ruft die Hilfe auf"},
    {"muInfo", "&Info...", "Zeigt Programminformation an"},
    // editor context menu
    {"Datei1", "Datei", nullptr},
    {"Neu1", "&Neu", "Erstellt eine neue Datei"},
    {"pmuOpen", "&Öffnen...", "Öffnet eine Datei"},
    {"PmuSave", "&Speichern", "Speichert den Text im Editor"},
    {"PmuSaveAs", "Speichern &unter...", "Speichert den Text im Editor unter einem anderen Namen"},
    {"Drucken1", "&Drucken", "Druckt den Text im Editor"},
    {"PmuCut", "Auss&chneiden", "Schneidet den markierten Text aus und kopiert ihn in die Zwischenablage"},
    {"PmuCopy", "&Kopieren", "Kopiert den markierten Text in die Zwischenablage"},
    {"PmuPaste", "&Einfügen", "Fügt den Inhalt der Zwischenablage in den Editor ein"},
    {"PmuClear", "&Löschen", "Löscht den markierten Text im Editor"},
    {"PmuMarkAll", "&Alles markieren", "Markiert den gesamten Text im Editor"},
    {"pmuFont", "Schriftart &ändern...", "Ändert den Zeichensatz im Editor"},
    {"pmuZBruch", "&Zeilenumbruch", "Bricht den Text so um, daß der gesamte Text sichtbar ist"},
    {"pmuAdd", "&Key hinzufügen", "Fügt den im Editor befindlichen Schlüssel dem Schlüsselbund hinzu"},
    {"PmuEncrypt", "Text ve&rschlüsseln", "Verschlüsselt den im Editor befindlichen Text"},
    {"PmuDecrypt", "Text &entschlüsseln", "Entschlüsselt den im Editor befindlichen Text"},
    {"PmuSig", "Text &signieren", "Signiert den im Editor befindlichen Text"},
    {"pmuTreeView", "Umschalten zur Baumansich&t", "Wechselt zur Baumansicht"},
    // tree context menu
    {"Fingerprintzeigen1", "&Fingerprint zeigen", nullptr},
    {"ASCIIKeyspeichern1", "&ASCII-Key speichern", nullptr},
    {"Keyspeichern1", "&Key speichern", nullptr},
    {"Keylschen1", "Key &löschen", nullptr},
    {"Neueinlesen1", "&Neu einlesen", "Erneuert die Darstellung der Baumansicht"},
    {"Allesffnen1", "Alles &öffnen", "\"Klappt\" alle Schlüssel auf"},
    {"Allesschlieen1", "Alles &schließen", "\"Klappt\" alle Schlüssel zu"},
    {"UmschaltenzumEditor", "Umschalten zum &Editor", "Wechselt zum Editor"},
    // action buttons and options
    {"buEncrypt", "&Verschlüsseln", "Verschlüsselt eine wählbare Datei"},
    {"buDecrypt", "Entschl. / Sign. prüfen", "Entschlüsselt oder prüft die Signatur eine wählbaren Datei"},
    {"buSign", "Signie&ren", "Signiert eine wählbare Datei"},
    {"buReadTree", "Bau&mansicht anzeigen", "Wechselt zur Baumansicht"},
    {"GroupBox2", "Optionen", nullptr},
    {"CheckBox1", "Abgetrennte Unterschriften", "Hängt die Option \"-b\" an"},
    {"CheckBox2", "RADIX-64 Format", "Hängt die Option \"-a\" an"},
    {"CheckBox3", "Textmode", "Hängt die Option \"-t\" an"},
    // dialog titles (not QObjects: the window sets them itself)
    {"OpenDialog1", "Laden...", nullptr},
    {"SaveDialog1", "Speichern...", nullptr},
    {"DirDialog", "Bitte ein Verzeichnis wählen...", nullptr},
};

const std::vector<ControlText> kMainEnglish = {
    {"Projekt1", "&Project", nullptr},
    {"muSetup", "&Setup", "Programsetup..."},
    {"muMantra", "&Passphrase...", "Type in your passphrase."},
    {"muDelMantra", "C&lear Passphrase", "Clears your passphrase from memory."},
    {"muQuit", "&Quit", "Quits Quorbix and saves the setup to the registry."},
    {"Bearbeiten1", "&Edit", nullptr},
    {"muCut", "Cu&t", "Removes the current selection and copies it onto the Clipboard."},
    {"muCopy", "&Copy", "Copies the current selection onto the Clipboard."},
    {"muPaste", "&Paste", "Inserts the items you have copied or cut into the selected location."},
    {"muHideUb", "&User-Buttons", "Here can you hide the Userbutton-panel."},
    {"Hilfe1", "&Help", nullptr},
    {"muHelp", "&Help Topics", "Calls the Quorbix help."},
    {"muInfo", "&About Quorbix", "Programinformation..."},
    {"Datei1", "File", nullptr},
    {"Neu1", "&New", "Generate a new file."},
    {"pmuOpen", "&Open", "Opens a file."},
    {"PmuSave", "&Save", "Save the file."},
    {"PmuSaveAs", "Save &As...", "Saves the file with new filename."},
    {"Drucken1", "P&rint", "Prints the text in the editor."},
    {"PmuCut", "Cu&t", "Removes the current selection and copies it onto the Clipboard."},
    {"PmuCopy", "&Copy", "Copies the current selection onto the Clipboard."},
    {"PmuPaste", "&Paste", "Inserts the items you have copied or cut into the selected location."},
    {"PmuClear", "&Clear", "Deletes the selected text."},
    {"PmuMarkAll", "Select &All", "Selects the whole text."},
    {"pmuFont", "Change &Font", "Changes the editor font."},
    {"pmuZBruch", "&Word Wrap", "Wraps the editor text."},
    {"pmuAdd", "Add &Key", "Adds the key from the editor to your keyring."},
    {"PmuEncrypt", "Enc&rypt text", "Encrypts the text in the editor."},
    {"PmuDecrypt", "D&ecrypt text", "Decrypts the text in the editor."},
    {"PmuSig", "&Sign Text", "Signs the text in the editor."},
    {"pmuTreeView", "Switch to &Treeview", "Displays a treeview of your public key ring."},
    {"Fingerprintzeigen1", "View &Fingerprint", "To view the \"fingerprint\" of a public key."},
    {"ASCIIKeyspeichern1", "Save &ASCII-Key", "Saves the selected key as an ASCII-file."},
    {"Keyspeichern1", "Save &Key", "Saves the selected key as a binary-file."},
    {"Keylschen1", "De&lete Key", "To remove a key or just a userid from your public keyring."},
    {"Neueinlesen1", "Reread E&ntrys", "Rereads the entrys of the treeview and update it."},
    {"Allesffnen1", "E&xpand All", "Opens all entrys of the treeview."},
    {"Allesschlieen1", "&Collapse All", "Closes all entrys of the treeview."},
    {"UmschaltenzumEditor", "Switch to &Editor", "Closes the treeview and switch back to the editor."},
    {"buEncrypt", "En&crypt file", "Encrypts the chosen file."},
    {"buDecrypt", "&Decrypt file / Check sig", "Decrypts the chosen file or checks the signature."},
    {"buSign", "Sign &file", "Signs the chosen file with your secret key."},
    {"buReadTree", "Show &Treeview", "Displays a treeview of your public key ring."},
    {"GroupBox2", "Options", nullptr},
    {"CheckBox1", "Break signatures", "Appends the option \"-b\" to the PGP-command."},
    {"CheckBox2", "RADIX-64-format", "Appends the option \"-a\" to the PGP-command."},
    {"CheckBox3", "Textmode", "Appends the option \"-t\" to the PGP-command."},
    {"OpenDialog1", "Load...", nullptr},
    {"SaveDialog1", "Save...", nullptr},
    {"DirDialog", "Choose directory", nullptr},
};

const std::vector<ControlShortcut> kMainGermanKeys = {
    {"muDelMantra", "Ctrl+L"}, {"muQuit", "Ctrl+B"},      {"muCut", "Ctrl+X"},
    {"muCopy", "Ctrl+C"},      {"muPaste", "Ctrl+V"},     {"PmuMarkAll", "Ctrl+A"},
    {"pmuAdd", "Ctrl+K"},      {"PmuEncrypt", "Ctrl+R"},  {"PmuDecrypt", "Ctrl+E"},
    {"PmuSig", "Ctrl+S"},      {"pmuTreeView", "Ctrl+T"}, {"UmschaltenzumEditor", "Ctrl+E"},
};
const std::vector<ControlShortcut> kMainEnglishKeys = {{"muQuit", "Ctrl+Q"}};

const std::vector<ControlHelp> kMainHelp = {{"", helpctx::Contents}};

// ---- small windows ----------------------------------------------------------

const std::vector<ControlText> kWaitGerman = {
    {"", "Einen Moment bitte...", nullptr},
    {"Label1", "Einen Moment bitte...", nullptr},
    {"Button1", "Abbrechen", nullptr},
};
const std::vector<ControlText> kWaitEnglish = {
    {"", "One moment please...", nullptr},
    {"Button1", "Cancel", nullptr},
};

const std::vector<ControlText> kChooserGerman = {
    {"", "Bitte User mit Doppelklick auswählen", nullptr},
    {"Label1", "UserID :", nullptr},
};
const std::vector<ControlText> kChooserEnglish = {
    {"", "Choose user with doubleclick", nullptr},
};

const std::vector<ControlText> kMantraGerman = {
    {"", "Quorbix", nullptr},
    {"Label1", kGermanMsgs[std::size_t(Msg::PassPhrasePrompt)], nullptr},
    {"Button1", "OK", nullptr},
    {"Button2", "Abbrechen", nullptr},
    {"Button3", "&Hilfe", nullptr},
};
const std::vector<ControlText> kMantraEnglish = {
    {"Label1", kEnglishMsgs[std::size_t(Msg::PassPhrasePrompt)], nullptr},
    {"Button2", "Cancel", nullptr},
    {"Button3", "Help", nullptr},
};
const std::vector<ControlHelp> kMantraHelp = {{"Button3", helpctx::PassPhrase}};

const std::vector<ControlText> kAboutGerman = {{"", "Info über Quorbix", nullptr}};
const std::vector<ControlText> kAboutEnglish = {{"", "About Quorbix", nullptr}};

const std::vector<ControlText> kButtSetupGerman = {
    {"", "Konfiguration der Standardbuttons", nullptr},
    {"GroupBox1", " PGP ", nullptr},
    {"Label1", "Titel:", nullptr},
    {"Label2", "Tooltip:", nullptr},
    {"Label3", "PGP-Befehl:", nullptr},
    {"GroupBox2", " Dialoge ", nullptr},
    {"cbOpen", "Öffnen-Dialog", nullptr},
    {"cbSave", "Speichern-Dialog", nullptr},
    {"cbUser", "Userlist-Dialog", nullptr},
    {"GroupBox3", " PGP-Textausgabe ", nullptr},
    {"rbDOS", "Ausgabe in DOS-Fenster", nullptr},
    {"rbQuorbix", "Ausgabe in Quorbix", nullptr},
    {"rbDivert", "Ausgabe in Datei...", nullptr},
    {"GroupBox4", " Optionen ", nullptr},
    {"cbCloseAtEnd", "Beim Beenden schließen", nullptr},
    {"cbShowDos", "DOS-Fenster zeigen", nullptr},
    {"cbUpdateUserList", "Userliste neu einlesen", nullptr},
    {"cbFromRTF", "Editorinhalt übernehmen", nullptr},
    {"BitBtn1", "OK", nullptr},
    {"BitBtn2", "Abbrechen", nullptr},
    {"BitBtn3", "&Hilfe", nullptr},
};
const std::vector<ControlText> kButtSetupEnglish = {
    {"", "Setup of the standardbuttons", nullptr},
    {"Label3", "PGP-Cmd:", nullptr},
    {"GroupBox2", " Dialogs ", nullptr},
    {"cbOpen", "Open-dialog", nullptr},
    {"cbSave", "Save-dialog", nullptr},
    {"cbUser", "Userlist-dialog", nullptr},
    {"GroupBox3", " PGP-Output ", nullptr},
    {"rbDOS", "Output in DOS-window", nullptr},
    {"rbQuorbix", "Output in Quorbix", nullptr},
    {"rbDivert", "Output to file...", nullptr},
    {"GroupBox4", " Options ", nullptr},
    {"cbCloseAtEnd", "Close at end", nullptr},
    {"cbShowDos", "Show DOS-window", nullptr},
    {"cbUpdateUserList", "Reread userlist", nullptr},
    {"cbFromRTF", "Use editorcontenst", nullptr},
    {"BitBtn2", "Cancel", nullptr},
    {"BitBtn3", "Help", nullptr},
};
const std::vector<ControlHelp> kButtSetupHelp = {
    {"", helpctx::SetupDialogs}, {"edTitel", 1000},       {"edToolTip", 1010},    {"edCMD", 1020},
    {"cbOpen", 1030},            {"cbSave", 1040},        {"cbUser", 1050},       {"rbDOS", 1060},
    {"rbQuorbix", 1070},         {"rbDivert", 1080},      {"edFName", 1090},      {"cbCloseAtEnd", 1100},
    {"cbFromRTF", 1110},         {"cbUpdateUserList", 1120}, {"cbShowDos", 1130}, {"BitBtn3", helpctx::ButtonSetupHelp},
};

const std::vector<ControlText> kSettingsGerman = {
    {"", "Einstellungen", nullptr},
    {"TabSheet1", "Setup", nullptr},
    {"TabSheet2", "Browser", nullptr},
    {"BitBtn1", "Ok", nullptr},
    {"BitBtn2", "&Hilfe", nullptr},
    {"Label2", "Pfad zu PGP.exe :", nullptr},
    {"edPGPPath", nullptr, "Geben Sie hier das PGP-Verzeichnis an.|"},
    {"buPGPPath", "...", nullptr},
    {"Label3", "Pfad zum Key speichern :", nullptr},
    {"edKsavePath", nullptr, "Standard-Pfad zum Speichern der Keys|"},
    {"buKSavePath", "...", nullptr},
    {"Label4", "Pfad zum Key laden :", nullptr},
    {"edKLoadPath", nullptr, "Standard-Pfad zum Laden der Keys|"},
    {"buKLoadPath", "...", nullptr},
    {"Label5", "Ergänzende \"Config.txt\" Parameter :", nullptr},
    {"edConfTXT", nullptr, "Hier können Sie Einträge der Config.txt 'überschreiben'.|"},
    {"GroupBox2", "Sprache (language) ", nullptr},
    {"rbGerman", "Deutsch", nullptr},
    {"rbEnglish", "English", nullptr},
    {"Button1", "Dateierweiterungen registrieren", "Registriert PGP-Extensions|"},
    {"Button2", "Dateierweiterungen austragen", "Trägt die PGP-Extensions aus der Registry aus|"},
    {"GroupBox6", " Clipboard Optionen ", nullptr},
    {"rbMIE", "Microsoft Internet Explorer", nullptr},
    {"rbClip", "Manuell", nullptr},
    {"GroupBox7", " Optionen  ", nullptr},
    {"cbCryptAll", "Alles verschlüsseln", nullptr},
    {"cbFastUser", "Schnelle Userwahl", nullptr},
    {"Label1", "Verschlüsseln :", nullptr},
    {"Label6", "Entschlüsseln :", nullptr},
    {"Label7", "Signieren :", nullptr},
};
const std::vector<ControlText> kSettingsEnglish = {
    {"", "Setup", nullptr},
    {"TabSheet1", "Setup", nullptr},
    {"TabSheet2", "Browser", nullptr},
    {"BitBtn1", "Ok", nullptr},
    {"BitBtn2", "Help", nullptr},
    {"Label2", "Path to PGP.exe :", nullptr},
    {"edPGPPath", nullptr, "Type in the location of PGP|"},
    {"buPGPPath", "...", nullptr},
    {"Label3", "Path to save the key's :", nullptr},
    {"edKsavePath", nullptr, "Type in where you want to save your key's |"},
    {"buKSavePath", "...", nullptr},
    {"Label4", "Path to load the key's :", nullptr},
    {"edKLoadPath", nullptr, "Type in from where you want to load new key's|"},
    {"buKLoadPath", "...", nullptr},
    {"Label5", "Additionale \"Config.txt\" parameters :", nullptr},
    {"edConfTXT", nullptr, "Here can you \"overwrite\" the parameters in the Config.txt|"},
    {"GroupBox2", "Sprache (language) ", nullptr},
    {"rbGerman", "Deutsch", nullptr},
    {"rbEnglish", "English", nullptr},
    {"Button1", "Register *.pgp and *.asc", "Register the PGP-Extensions|"},
    {"Button2", "Unregister *.pgp and *.asc", "Unregister the PGP-Extensions|"},
    {"GroupBox6", " Clipboard options ", nullptr},
    {"rbMIE", "Microsoft Internet Explorer", nullptr},
    {"rbClip", "Manuel", nullptr},
    {"GroupBox7", " Options ", nullptr},
    {"cbCryptAll", "Encrypt all", nullptr},
    {"cbFastUser", "Fast userchoice", nullptr},
    {"Label1", "Encrypt :", nullptr},
    {"Label6", "Decrypt :", nullptr},
    {"Label7", "Sign :", nullptr},
};
const std::vector<ControlHelp> kSettingsHelp = {
    {"", helpctx::SetupDialogs}, {"hkEncrypt", 1200},  {"hkDecrypt", 1210},  {"hkSign", 1220},
    {"rbMIE", 1230},             {"rbClip", 1240},     {"cbCryptAll", 1250}, {"cbFastUser", 1260},
    {"edPGPPath", 1270},         {"edKsavePath", 1280}, {"edKLoadPath", 1290}, {"edConfTXT", 1300},
    {"rbGerman", 1310},          {"rbEnglish", 1320},  {"Button1", 1330},    {"Button2", 1340},
    {"BitBtn2", helpctx::SettingsHelp},
};

// Windows whose texts are the same in both languages.
const std::vector<ControlText> kViewerTexts = {{"", "PGP-Output", nullptr}};
const std::vector<ControlText> kDebugTexts = {
    {"", "Debug", nullptr},
    {"Button1", "Save debugreport", nullptr},
};
const std::vector<ControlText> kReadyTexts = {{"Panel1", "Ready !", nullptr}};
const std::vector<ControlText> kLanguageTexts = {
    {"", "Sprache / Language", nullptr},
    {"rbGerman", "Deutsch", nullptr},
    {"rbEnglish", "English", nullptr},
    {"BitBtn1", "OK", nullptr},
};

const std::vector<ControlText> kNoTexts;
const std::vector<ControlShortcut> kNoKeys;
const std::vector<ControlHelp> kNoHelp;

} // namespace

TextCatalog::TextCatalog() { setGerman(); }

void TextCatalog::setGerman()
{
    fill(texts_, kGermanMsgs);
    english_ = false;
}

void TextCatalog::setEnglish()
{
    fill(texts_, kEnglishMsgs);
    english_ = true;
}

const std::string &TextCatalog::msg(Msg m) const { return texts_.at(std::size_t(m)); }

const std::vector<ControlText> &englishTexts(Window w)
{
    switch (w) {
    case Window::MainWindow: return kMainEnglish;
    case Window::WaitDialog: return kWaitEnglish;
    case Window::Chooser: return kChooserEnglish;
    case Window::PassPhrase: return kMantraEnglish;
    case Window::About: return kAboutEnglish;
    case Window::ButtonSetup: return kButtSetupEnglish;
    case Window::Settings: return kSettingsEnglish;
    case Window::OutputViewer: return kViewerTexts;
    case Window::Debug: return kDebugTexts;
    case Window::ReadyNotice: return kReadyTexts;
    case Window::LanguageChooser: return kLanguageTexts;
    }
    return kNoTexts;
}

const std::vector<ControlText> &germanTexts(Window w)
{
    switch (w) {
    case Window::MainWindow: return kMainGerman;
    case Window::WaitDialog: return kWaitGerman;
    case Window::Chooser: return kChooserGerman;
    case Window::PassPhrase: return kMantraGerman;
    case Window::About: return kAboutGerman;
    case Window::ButtonSetup: return kButtSetupGerman;
    case Window::Settings: return kSettingsGerman;
    case Window::OutputViewer: return kViewerTexts;
    case Window::Debug: return kDebugTexts; // English only, in both languages
    case Window::ReadyNotice: return kReadyTexts;
    case Window::LanguageChooser: return kLanguageTexts;
    }
    return kNoTexts;
}

const std::vector<ControlShortcut> &germanShortcuts(Window w)
{
    return w == Window::MainWindow ? kMainGermanKeys : kNoKeys;
}

const std::vector<ControlShortcut> &englishShortcuts(Window w)
{
    return w == Window::MainWindow ? kMainEnglishKeys : kNoKeys;
}

const std::vector<ControlHelp> &helpContexts(Window w)
{
    switch (w) {
    case Window::MainWindow: return kMainHelp;
    case Window::PassPhrase: return kMantraHelp;
    case Window::ButtonSetup: return kButtSetupHelp;
    case Window::Settings: return kSettingsHelp;
    default: return kNoHelp;
    }
}

std::vector<int> allHelpContexts()
{
    std::set<int> all = {helpctx::SetupDialogs, helpctx::ContextPopup,    helpctx::Contents,
                         helpctx::SettingsHelp, helpctx::ButtonSetupHelp, helpctx::PassPhrase,
                         helpctx::BrowserNotFound};
    for (Window w : kAllWindows)
        for (const ControlHelp &h : helpContexts(w))
            all.insert(h.context);
    return {all.begin(), all.end()};
}

const char *helpFileName(const std::string &language)
{
    return usesEnglish(language) ? "Quorbixe.html" : "Quorbix.html";
}

LanguageSwitch switchLanguage(const std::string &oldLanguage, bool germanSelected)
{
    LanguageSwitch s;
    s.showRestartNotice = oldLanguage == "English" && germanSelected;
    s.language = germanSelected ? "Deutsch" : "English";
    return s;
}

} // namespace app
