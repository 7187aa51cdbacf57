#include "commands/DesktopCommands.h"

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "commands/CommandHost.h"
#include "commands/CommandRunner.h"
#include "commands/PassPhraseCommands.h"
#include "settings/DesktopServices.h"
#include "settings/FileTypes.h"
#include "settings/SettingsHooks.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace commands {

namespace {

constexpr int kHotkeyIds[] = {browser::kHotkeyEncrypt, browser::kHotkeyDecrypt, browser::kHotkeySign};

// On Wayland a client sees the clipboard only while one of its windows has
// the keyboard: the clipboard route brings the main window forward (with the
// activation the shortcut brought along) and waits for the focus to arrive.
bool waylandClipboardRoute(const app::AppState &st) { return platform::nativeWayland() && st.browser != "MIE"; }

bool takeKeyboardFocus(CommandHost &host)
{
    host.bringToFront();
    if (!QGuiApplication::focusWindow()) {
        QEventLoop loop;
        QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &loop, [&loop](QWindow *w) {
            if (w)
                loop.quit();
        });
        // A desktop that keeps the focus from us does so for good.
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (QGuiApplication::focusWindow())
        return true;
    app::AppState &st = host.state();
    st.dialogs->information(
        st.english() ? "Quorbix did not receive the keyboard focus, and without it the desktop does not hand "
                       "out the clipboard. Please click into the Quorbix window and press the hotkey again."
                     : "Quorbix hat den Tastaturfokus nicht bekommen; ohne ihn gibt die Arbeitsoberfläche "
                       "die Zwischenablage nicht heraus. Bitte in das Quorbix-Fenster klicken und den Hotkey "
                       "noch einmal drücken.");
    return false;
}

std::string shortcutDescription(const app::AppState &st, int id)
{
    const bool en = st.english();
    switch (id) {
    case browser::kHotkeyEncrypt:
        return en ? "Quorbix: encrypt the text on the clipboard" : "Quorbix: Text der Zwischenablage verschlüsseln";
    case browser::kHotkeyDecrypt:
        return en ? "Quorbix: decrypt or verify the text on the clipboard"
                  : "Quorbix: Text der Zwischenablage entschlüsseln oder prüfen";
    case browser::kHotkeySign:
        return en ? "Quorbix: sign the text on the clipboard" : "Quorbix: Text der Zwischenablage signieren";
    }
    return {};
}

browser::BridgeHost bridgeHost(CommandHost &host, desktop::DesktopServices &ds)
{
    browser::BridgeHost h;
    h.st = &host.state();
    h.editor = &host.editor();
    h.clipboard = ds.clipboard;
    h.windows = ds.windows;
    h.runPgp = [&host](const pgp::RunRequest &r) { return pgp::RunPgp(host.state(), r); };
    h.chooseRecipient = [&host] { host.chooseRecipient(); };
    h.askPassPhrase = [&host] { AskPassPhrase().start(host); };
    h.showOutputViewer = [&host] { host.showOutputViewer(); };
    h.frontToOutputViewer = [&host] { host.bringOutputViewerToFront(); };
    h.minimise = [&host] {
        // Minimised, a Wayland client could neither read nor fill the clipboard.
        if (!waylandClipboardRoute(host.state()))
            host.minimise();
    };
    h.clipboardReadable = [&host] { return !waylandClipboardRoute(host.state()) || takeKeyboardFocus(host); };
    h.restore = [&host] { host.restoreFromMinimised(); };
    h.readyNotice = [&host] { host.showReadyNotice(); };
    return h;
}

} // namespace

void RunHotkeyFlow::start(CommandHost &host)
{
    app::AppState &st = host.state();
    if (platform::nativeWayland() && st.browser == "MIE") {
        // Wayland gives no program another program's windows nor its keys.
        st.dialogs->information(
            st.english() ? "The mail-window route is not available on Wayland: it needs other programs' windows "
                           "and synthetic keys, which Wayland does not allow. Choose \"Manuel\" on the "
                           "\"Browser\" page of the settings and copy the text to the clipboard before the hotkey."
                         : "Der Weg über das Mailfenster steht unter Wayland nicht zur Verfügung: er braucht die "
                           "Fenster anderer Programme und künstliche Tastendrücke, die Wayland nicht erlaubt. "
                           "Bitte in den Einstellungen auf der Seite \"Browser\" \"Manuell\" wählen und den Text "
                           "vor dem Hotkey in die Zwischenablage kopieren.");
        ran_ = true;
        return;
    }
    ran_ = flows_.bridge().hotkeyMessage(id_);
}

HotkeyFlows *HotkeyFlows::receiver_ = nullptr;

HotkeyFlows::HotkeyFlows(CommandHost &host, CommandRunner &runner, desktop::DesktopServices &services)
    : runner_(runner), services_(services), bridge_(bridgeHost(host, services)),
      encrypt_(*this, browser::kHotkeyEncrypt), decrypt_(*this, browser::kHotkeyDecrypt),
      sign_(*this, browser::kHotkeySign)
{
    receiver_ = this;
    // The hotkeys arrive while events are handled; the flow runs afterwards,
    // from the event loop, since it runs nested loops of its own.
    QPointer<HotkeyFlows> guard(this);
    services_.hotkeys->onHotkey = [guard](int id) {
        if (!guard)
            return;
        QTimer::singleShot(0, guard.data(), [guard, id] {
            if (guard)
                guard->hotkeyMessage(id);
        });
    };
    // A desktop that answers later (the shortcuts portal) tells a refusal
    // once for the whole round, from its answer; the message waits for the
    // event loop for the same reason.
    app::AppState *st = &host.state();
    services_.hotkeys->onRegistrationFailed = [guard, st] {
        if (!guard)
            return;
        QTimer::singleShot(0, guard.data(), [guard, st] {
            if (guard && st->dialogs)
                st->dialogs->plainMessage(app::fixed::HotkeyFailed);
        });
    };
    services_.hotkeys->description = [st](int id) { return shortcutDescription(*st, id); };
}

HotkeyFlows::~HotkeyFlows()
{
    if (receiver_ != this)
        return;
    if (platform::GlobalHotkeys *hk = services_.hotkeys) {
        for (int id : kHotkeyIds)
            hk->unregisterHotkey(id);
        hk->onHotkey = nullptr;
        hk->onRegistrationFailed = nullptr;
        hk->description = nullptr;
    }
    receiver_ = nullptr;
}

RunHotkeyFlow *HotkeyFlows::flowFor(int id)
{
    switch (id) {
    case browser::kHotkeyEncrypt: return &encrypt_;
    case browser::kHotkeyDecrypt: return &decrypt_;
    case browser::kHotkeySign: return &sign_;
    }
    return nullptr;
}

bool HotkeyFlows::hotkeyMessage(int id)
{
    RunHotkeyFlow *flow = flowFor(id);
    return flow && runner_.run(*flow) && flow->ran();
}

void RegisterHotkeys::start(CommandHost &host)
{
    app::AppState &st = host.state();
    platform::GlobalHotkeys &hk = *desktop::desktopServices().hotkeys;
    const std::pair<int, const app::HotkeyValue *> keys[] = {
        {browser::kHotkeyEncrypt, &st.scEncrypt},
        {browser::kHotkeyDecrypt, &st.scDecrypt},
        {browser::kHotkeySign, &st.scSign},
    };
    for (auto &[id, v] : keys)
        if (v->isSet())
            browser::RegisterBrowserHotkey(st, hk, id, *v);
}

void ShowSettings::start(CommandHost &host)
{
    desktop::DesktopServices &ds = desktop::desktopServices();
    app::AppState &st = host.state();
    const std::string program =
        ds.programPath.empty() ? QCoreApplication::applicationFilePath().toStdString() : ds.programPath;
    SettingsHooks hooks;
    hooks.applyTexts = [&host] { host.applyTexts(); };
    hooks.reapplyDialogTexts = [&host] { host.reapplyDialogTexts(); };
    hooks.setDialogFolders = [&host](const std::string &save, const std::string &load) {
        host.saveDialog().initialDir = QString::fromStdString(save);
        host.openDialog().initialDir = QString::fromStdString(load);
    };
    hooks.unregisterHotkeys = [&ds] {
        for (int id : kHotkeyIds)
            ds.hotkeys->unregisterHotkey(id);
    };
    hooks.registerHotkey = [&st, &ds](int id, const app::HotkeyValue &v) {
        browser::RegisterBrowserHotkey(st, *ds.hotkeys, id, v);
    };
    hooks.registerFileTypes = [&st, &ds, program] { settings::RegisterFileTypes(st, *ds.fileTypes, program); };
    hooks.unregisterFileTypes = [&ds] { settings::UnregisterFileTypes(*ds.fileTypes); };
    hooks.beep = [] { QApplication::beep(); };
    hooks.mailRouteUnavailable = [] { return platform::nativeWayland(); };
    hooks.chooseFolder = [&host, &ds] { return ds.chooseFolder(host.dialogParent(), host.folderDialogTitle().toStdString()); };
    host.runSettingsDialog(std::move(hooks));
}

} // namespace commands
