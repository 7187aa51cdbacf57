// The shared messages, every window's text tables, shortcuts, help contexts
// and the language rules.
#include "app/TextCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <cstring>
#include <set>
#include <string>

using app::Msg;
using app::TextCatalog;
using app::Window;

namespace {

const char *windowName(Window w)
{
    switch (w) {
    case Window::MainWindow: return "MainWindow";
    case Window::WaitDialog: return "WaitDialog";
    case Window::Chooser: return "Chooser";
    case Window::PassPhrase: return "PassPhrase";
    case Window::About: return "About";
    case Window::ButtonSetup: return "ButtonSetup";
    case Window::Settings: return "Settings";
    case Window::OutputViewer: return "OutputViewer";
    case Window::Debug: return "Debug";
    case Window::ReadyNotice: return "ReadyNotice";
    case Window::LanguageChooser: return "LanguageChooser";
    }
    return "?";
}

const app::ControlText *find(const std::vector<app::ControlText> &t, const char *object)
{
    for (const auto &c : t)
        if (std::strcmp(c.object, object) == 0)
            return &c;
    return nullptr;
}

std::string str(const char *s) { return s ? s : "<null>"; }

} // namespace

TEST(TextCatalog, SharedMessagesInBothLanguages)
{
    struct Row {
        Msg key;
        const char *german;
        const char *english;
    };
    const Row rows[] = {
        {Msg::MakeIdPifMissing,
         "Die Datei \"MakeID.pif\" wurde nicht im Quorbix-Verzeichnis gefunden ! Quorbix wird evtl. nicht stabil laufen !",
         "Don't found the file \"MakeID.pif\" ! Quorbix will cause invisible errors !"},
        {Msg::KeyCount, "Anzahl vorhandener Schl\xC3\xBCssel :", "Number of key's :"},
        {Msg::PgpNotFound, "PGP.exe nicht gefunden !", "PGP not found !"},
        {Msg::TreeReadAborted, "Userabbruch beim Einlesen der Baumansicht !", "Userabort while reading the treeview !"},
        {Msg::PassPhrasePrompt, "Bitte geben Sie Ihr Mantra ein: ('Hilfe' f\xC3\xBCr mehr Informationen )",
         "Please type in your passphrase: (\"Help\" for further informations.)"},
        {Msg::ButtonsChanged, "Buttonkonfiguration ge\xC3\xA4ndert ! Speichern ?", "Buttonconfiguration changed ! Save it ?"},
        {Msg::PleaseWait, "Einen Moment bitte...", "One moment please..."},
        {Msg::BrowserNotFound, "Internet Explorer nicht gefunden !", "Internet Explorer not found !"},
        {Msg::UserListFailed, "Konnte die Userliste nicht erstellen !", "Couldn't generate userlist !"},
        {Msg::AreYouSure, "Sind Sie sicher ?", "Are you sure ?"},
        {Msg::RecipientIsOption,
         "Der Empf\xC3\xA4nger \"%s\" beginnt mit \"-\" oder \"+\" und w\xC3\xBCrde von PGP als Option gelesen. "
         "PGP wurde nicht gestartet.",
         "The recipient \"%s\" starts with \"-\" or \"+\" and would be read by PGP as an option. PGP was not started."},
    };

    TextCatalog cat;
    EXPECT_FALSE(cat.isEnglish());
    for (const Row &r : rows)
        EXPECT_EQ(cat.msg(r.key), r.german) << int(r.key);

    cat.setEnglish();
    EXPECT_TRUE(cat.isEnglish());
    for (const Row &r : rows)
        EXPECT_EQ(cat.msg(r.key), r.english) << int(r.key);

    cat.setGerman();
    for (const Row &r : rows)
        EXPECT_EQ(cat.msg(r.key), r.german) << int(r.key);
}

TEST(TextCatalog, EveryWindowHasTablesWithoutRepeatsOrEmptyEntries)
{
    for (Window w : app::kAllWindows) {
        SCOPED_TRACE(windowName(w));
        const auto &en = app::englishTexts(w);
        const auto &de = app::germanTexts(w);
        EXPECT_FALSE(en.empty());
        for (const auto *table : {&en, &de}) {
            std::set<std::string> seen;
            for (const auto &t : *table) {
                ASSERT_NE(t.object, nullptr);
                EXPECT_TRUE(seen.insert(t.object).second) << "twice: " << t.object;
                EXPECT_TRUE(t.caption || t.hint) << "nothing to set: " << t.object;
            }
        }
        // English texts lie over German ones, so each must name a control the
        // German table knows (windows that have German texts at all).
        if (!de.empty()) {
            for (const auto &t : en)
                EXPECT_NE(find(de, t.object), nullptr) << "not a German control: " << t.object;
        }
    }
}

TEST(TextCatalog, MainWindowTextsAndShortcuts)
{
    const auto &de = app::germanTexts(Window::MainWindow);
    const auto &en = app::englishTexts(Window::MainWindow);

    // "none" hints stay null in German, and the tree menu has English hints only.
    for (const char *o : {"Projekt1", "Bearbeiten1", "Hilfe1", "Datei1", "Fingerprintzeigen1", "Keylschen1"})
        EXPECT_EQ(find(de, o)->hint, nullptr) << o;
    EXPECT_EQ(str(find(en, "Fingerprintzeigen1")->hint), "To view the \"fingerprint\" of a public key.");
    EXPECT_EQ(str(find(de, "muDelMantra")->caption), "&L\xC3\xB6sche  Mantra");
    EXPECT_EQ(str(find(de, "Allesffnen1")->hint), "\"Klappt\" alle Schl\xC3\xBCssel auf");
    EXPECT_EQ(str(find(en, "buDecrypt")->caption), "&Decrypt file / Check sig");
    EXPECT_EQ(str(find(en, "CheckBox1")->hint), "Appends the option \"-b\" to the PGP-command.");
    EXPECT_EQ(str(find(de, "DirDialog")->caption), "Bitte ein Verzeichnis w\xC3\xA4hlen...");
    EXPECT_EQ(str(find(en, "OpenDialog1")->caption), "Load...");
    // The menu "User-Buttons" and the command buttons keep their German texts.
    EXPECT_EQ(find(en, "UserButtons1"), nullptr);
    EXPECT_EQ(find(en, "bu1"), nullptr);
    // 13 main-menu entries and menus, 18 editor entries, 8 tree entries,
    // 4 action buttons, the group and 3 boxes, 3 dialog titles; plus the
    // German-only "User-Buttons" menu.
    EXPECT_EQ(en.size(), 50u);
    EXPECT_EQ(de.size(), 51u);

    auto keyOf = [](const std::vector<app::ControlShortcut> &keys, const char *o) {
        for (const auto &k : keys)
            if (std::strcmp(k.object, o) == 0)
                return std::string(k.keys);
        return std::string();
    };
    const auto &gk = app::germanShortcuts(Window::MainWindow);
    EXPECT_EQ(keyOf(gk, "muQuit"), "Ctrl+B");
    EXPECT_EQ(keyOf(gk, "muDelMantra"), "Ctrl+L");
    EXPECT_EQ(keyOf(gk, "PmuDecrypt"), "Ctrl+E");
    EXPECT_EQ(keyOf(gk, "UmschaltenzumEditor"), "Ctrl+E");
    const auto &ek = app::englishShortcuts(Window::MainWindow);
    ASSERT_EQ(ek.size(), 1u);
    EXPECT_EQ(keyOf(ek, "muQuit"), "Ctrl+Q");
    EXPECT_TRUE(app::englishShortcuts(Window::Settings).empty());
}

TEST(TextCatalog, DialogTexts)
{
    EXPECT_EQ(str(find(app::englishTexts(Window::WaitDialog), "")->caption), "One moment please...");
    EXPECT_EQ(find(app::englishTexts(Window::WaitDialog), "Label1"), nullptr); // stays German
    EXPECT_EQ(str(find(app::englishTexts(Window::Chooser), "")->caption), "Choose user with doubleclick");
    EXPECT_EQ(str(find(app::englishTexts(Window::About), "")->caption), "About Quorbix");
    EXPECT_EQ(str(find(app::germanTexts(Window::About), "")->caption), "Info \xC3\xBC" "ber Quorbix");

    TextCatalog en;
    en.setEnglish();
    EXPECT_EQ(str(find(app::englishTexts(Window::PassPhrase), "Label1")->caption), en.msg(Msg::PassPhrasePrompt));
    EXPECT_EQ(str(find(app::englishTexts(Window::PassPhrase), "Button3")->caption), "Help");

    const auto &bs = app::englishTexts(Window::ButtonSetup);
    EXPECT_EQ(str(find(bs, "")->caption), "Setup of the standardbuttons");
    EXPECT_EQ(str(find(bs, "cbFromRTF")->caption), "Use editorcontenst");
    EXPECT_EQ(str(find(bs, "GroupBox3")->caption), " PGP-Output ");
    EXPECT_EQ(find(bs, "Label1"), nullptr); // "Titel:" stays German

    // The settings dialog's hints are tooltips only: each ends in "|".
    for (const auto *t : {&app::germanTexts(Window::Settings), &app::englishTexts(Window::Settings)}) {
        int hints = 0;
        for (const auto &c : *t)
            if (c.hint) {
                ++hints;
                EXPECT_EQ(std::string(c.hint).back(), '|') << c.object;
            }
        EXPECT_EQ(hints, 6);
    }
    const auto &se = app::englishTexts(Window::Settings);
    EXPECT_EQ(str(find(se, "edKsavePath")->hint), "Type in where you want to save your key's |");
    EXPECT_EQ(str(find(se, "Label5")->caption), "Additionale \"Config.txt\" parameters :");
    EXPECT_EQ(str(find(se, "rbClip")->caption), "Manuel");
    EXPECT_EQ(str(find(app::germanTexts(Window::Settings), "GroupBox7")->caption), " Optionen  ");
}

TEST(TextCatalog, HelpContexts)
{
    auto contexts = [](Window w) {
        std::map<std::string, int> m;
        for (const auto &h : app::helpContexts(w))
            EXPECT_TRUE(m.emplace(h.object, h.context).second) << h.object;
        return m;
    };
    auto bs = contexts(Window::ButtonSetup);
    EXPECT_EQ(bs[""], 1);
    EXPECT_EQ(bs["edTitel"], 1000);
    EXPECT_EQ(bs["cbFromRTF"], 1110);
    EXPECT_EQ(bs["cbShowDos"], 1130);
    EXPECT_EQ(bs["BitBtn3"], 60);
    auto st = contexts(Window::Settings);
    EXPECT_EQ(st[""], 1);
    EXPECT_EQ(st["hkEncrypt"], 1200);
    EXPECT_EQ(st["edPGPPath"], 1270);
    EXPECT_EQ(st["Button2"], 1340);
    EXPECT_EQ(st["BitBtn2"], 40);
    EXPECT_EQ(contexts(Window::MainWindow)[""], 10);
    EXPECT_EQ(contexts(Window::PassPhrase)["Button3"], 900);

    std::vector<int> expected = {1, 8, 10, 40, 60, 900, 901};
    for (int c = 1000; c <= 1130; c += 10)
        expected.push_back(c);
    for (int c = 1200; c <= 1340; c += 10)
        expected.push_back(c);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(app::allHelpContexts(), expected);
}

TEST(TextCatalog, LanguageRules)
{
    EXPECT_TRUE(app::usesEnglish("English"));
    EXPECT_FALSE(app::usesEnglish("english"));
    EXPECT_FALSE(app::usesEnglish(""));
    EXPECT_FALSE(app::settingsDialogEnglish("Deutsch"));
    EXPECT_TRUE(app::settingsDialogEnglish("english"));
    EXPECT_TRUE(app::settingsDialogEnglish(""));
    EXPECT_STREQ(app::helpFileName("English"), "Quorbixe.html");
    EXPECT_STREQ(app::helpFileName("english"), "Quorbix.html");

    auto s = app::switchLanguage("English", true);
    EXPECT_EQ(s.language, "Deutsch");
    EXPECT_TRUE(s.showRestartNotice);
    s = app::switchLanguage("Deutsch", false);
    EXPECT_EQ(s.language, "English");
    EXPECT_FALSE(s.showRestartNotice);
    // A hand-edited value is not "English": no restart notice when German is chosen.
    s = app::switchLanguage("english", true);
    EXPECT_EQ(s.language, "Deutsch");
    EXPECT_FALSE(s.showRestartNotice);
    s = app::switchLanguage("English", false);
    EXPECT_EQ(s.language, "English");
    EXPECT_FALSE(s.showRestartNotice);
}
