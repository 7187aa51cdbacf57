#pragma once
// The shared messages in both languages and every window's English texts.
// User-interface texts are UTF-8 (converted to QString at the widget
// boundary); data exchanged with PGP and files stays Latin-1.

#include <string>
#include <vector>

namespace app {

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
};

// One control's text. A null caption or hint leaves that text as it is.
// For windows, object "" names the window itself (its caption).
struct ControlText {
    const char *object;
    const char *caption;
    const char *hint;
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
};

class TextCatalog {
public:
    TextCatalog();               // German shared messages (start-up step 1)
    void setGerman();
    void setEnglish();           // the ten English shared messages
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
inline constexpr const char *AppTitle = "Quorbix";
} // namespace fixed

} // namespace app
