#pragma once
// The shared messages in both languages and every window's English texts.
// User-interface texts are UTF-8 (converted to QString at the widget
// boundary); data exchanged with PGP and files stays Latin-1.

#include "ui/ControlTexts.h"

#include <string>
#include <vector>

namespace app {

using ui::ControlHelp;
using ui::ControlShortcut;
using ui::ControlText;

enum class Msg {
    MakeIdPifMissing,
    KeyCount,
    PgpNotFound,
    TreeReadAborted,
    PassPhrasePrompt,
    ButtonsChanged,
    PleaseWait,
    BrowserNotFound,
    UserListFailed,
    AreYouSure,
    RecipientIsOption, // %s: the refused recipient
    MailTextNotCopied,
};


enum class Window {
    MainWindow,   // TForm1: menus, context menus, action buttons, options, dialog titles
    WaitDialog,   // TForm5
    Chooser,      // TForm4
    PassPhrase,   // TfrmMantra
    About,        // TfrmAbout
    ButtonSetup,  // TFormButtSetup
    Settings,     // TForm7
    OutputViewer, // TfrmReadPGP
    Debug,        // TfrmDebug
    ReadyNotice,  // TForm2 (same texts in both languages)
    LanguageChooser, // TFormLanguage (same texts in both languages)
};

// Every window, for code that walks all tables.
inline constexpr Window kAllWindows[] = {
    Window::MainWindow, Window::WaitDialog, Window::Chooser,      Window::PassPhrase,
    Window::About,      Window::ButtonSetup, Window::Settings,    Window::OutputViewer,
    Window::Debug,      Window::ReadyNotice, Window::LanguageChooser,
};

class TextCatalog {
public:
    TextCatalog();               // German shared messages, as the program starts
    void setGerman();
    void setEnglish();           // the English shared messages
    bool isEnglish() const { return english_; }
    const std::string &msg(Msg m) const;

private:
    bool english_ = false;
    std::vector<std::string> texts_;
};

// The English texts laid over a window's built-in German ones.
const std::vector<ControlText> &englishTexts(Window w);
// The German texts of a window whose texts the catalogue also sets in German
// (the settings dialog shows English unless the language is "Deutsch").
const std::vector<ControlText> &germanTexts(Window w);

// The shortcuts a window is built with, and those its English texts change
// (only the main window's "&Beenden": Ctrl+B becomes Ctrl+Q).
const std::vector<ControlShortcut> &germanShortcuts(Window w);
const std::vector<ControlShortcut> &englishShortcuts(Window w);

const std::vector<ControlHelp> &helpContexts(Window w);

// Help context numbers opened by buttons, menus and messages.
namespace helpctx {
inline constexpr int SetupDialogs = 1;     // button setup and settings dialog
inline constexpr int ContextPopup = 8;     // what the caption-bar help button shows
inline constexpr int Contents = 10;        // main window, "&Hilfethemen"
inline constexpr int SettingsHelp = 40;    // settings dialog's help button
inline constexpr int ButtonSetupHelp = 60; // button setup dialog's help button
inline constexpr int PassPhrase = 900;     // pass phrase dialog's help button
inline constexpr int BrowserNotFound = 901;
} // namespace helpctx

// Every context number the program opens, ascending, without repeats.
std::vector<int> allHelpContexts();

// Name of the help page beside the program for a language setting.
const char *helpFileName(const std::string &language);

// The language rules: English texts exactly for "English"; the settings
// dialog shows English unless the value is exactly "Deutsch".
inline bool usesEnglish(const std::string &language) { return language == "English"; }
inline bool settingsDialogEnglish(const std::string &language) { return language != "Deutsch"; }

// The settings dialog's language switch: the new value, and
// whether the German-only restart notice must be shown first.
struct LanguageSwitch {
    std::string language;
    bool showRestartNotice = false;
};
LanguageSwitch switchLanguage(const std::string &oldLanguage, bool germanSelected);

// Fixed texts shown unchanged in both languages.
namespace fixed {
inline constexpr const char *RestartForGerman =
    "Um zur deutschen Textausgabe umzuschalten, starten Sie Quorbix bitte neu !";
inline constexpr const char *RunFailed = "Fehler bei der Ausführung von ";
inline constexpr const char *OutputWrote = "Output wrote to ";
inline constexpr const char *Code = "Code:  ";
inline constexpr const char *PifError = "Error #1 (PGP.pif)";
inline constexpr const char *HotkeyFailed = "Konnte Hotkey nicht setzen !";
inline constexpr const char *Ready = "Ready !";
inline constexpr const char *SaveTextTitle = "Textdatei speichern";
inline constexpr const char *DebugSaved = "The debugreport was saved to ";
inline constexpr const char *FileNotFound = "Datei nicht gefunden";
inline constexpr const char *AppTitle = ui::kAppTitle;
} // namespace fixed

} // namespace app
