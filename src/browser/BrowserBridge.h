#pragma once
// The three hotkey flows: text from a mail window or the clipboard through
// PGP and back. The main window hands in what the flows use of it.

#include "app/SettingsRecords.h"
#include "pgp/RunPgp.h"
#include "platform/Clipboard.h"
#include "platform/ForeignWindows.h"
#include "platform/GlobalHotkeys.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QPlainTextEdit;

namespace app {
struct AppState;
}

namespace browser {

inline constexpr int kHotkeyEncrypt = 100;
inline constexpr int kHotkeyDecrypt = 200;
inline constexpr int kHotkeySign = 300;

// The stored modifier byte (1 Shift, 2 Alt, 4 Ctrl) as RegisterHotKey's flags
// (1 Alt, 2 Ctrl, 4 Shift); 0 for a byte of 8 or more.
unsigned registrationModifiers(std::uint8_t stored);

// Registers one hotkey; "Konnte Hotkey nicht setzen !" when refused.
void RegisterBrowserHotkey(app::AppState &st, platform::GlobalHotkeys &hk, int id, const app::HotkeyValue &v);

// What the flows use of the main window.
struct BridgeHost {
    app::AppState *st = nullptr;
    QPlainTextEdit *editor = nullptr;
    platform::Clipboard *clipboard = nullptr;
    platform::ForeignWindows *windows = nullptr;
    std::function<pgp::RunOutcome(const pgp::RunRequest &)> runPgp; // RunPgp
    std::function<void()> chooseRecipient;                     // leaves recipientArg
    std::function<void()> askPassPhrase;                       // the pass phrase dialog, modal
    std::function<void()> showOutputViewer;                    // a new viewer on out.txt
    std::function<void()> frontToOutputViewer;
    std::function<void()> minimise;                            // unless minimised already
    std::function<void()> restore;                             // if minimised
    std::function<void()> readyNotice;                         // TForm2 for half a second
    // Before the clipboard route reads the clipboard, where reading needs
    // something first (the keyboard focus on Wayland); false ends the flow,
    // the reason told already.
    std::function<bool()> clipboardReadable;
};

class BrowserBridge {
public:
    explicit BrowserBridge(BridgeHost host) : h_(std::move(host)) {}

    // The hotkey message: runs the flow of the identifier. Other identifiers,
    // and hotkeys that arrive while a flow or a command runs, are ignored;
    // returns whether a flow ran.
    bool hotkeyMessage(int id);
    bool busy() const { return busy_; }

    platform::WindowHandle FindComposeEditor();
    platform::WindowHandle FindMailEditor();
    void ShowReadyNotice();

private:
    bool opening(int id);
    bool copyMailText();
    void giveClipboardBack();
    void encrypt();
    void decrypt();
    void sign();
    void putBack();
    void deleteTemp(std::initializer_list<const char *> names);
    bool saveEditor();          // false when the text could not be written (told already)
    bool passPhraseMissing();

    BridgeHost h_;
    bool busy_ = false;
    platform::WindowHandle returnWindow_ = 0;
    platform::WindowHandle textWindow_ = 0;
    // What the user had on the clipboard while the mail route carries its
    // text there; put back when the flow ends.
    std::optional<std::string> userClipboard_;
};

} // namespace browser
