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
#include <QPointer>
#include <QTimer>

namespace commands {

namespace {

constexpr int kHotkeyIds[] = {browser::kHotkeyEncrypt, browser::kHotkeyDecrypt, browser::kHotkeySign};

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
    h.minimise = [&host] { host.minimise(); };
    h.restore = [&host] { host.restoreFromMinimised(); };
    h.readyNotice = [&host] { host.showReadyNotice(); };
    return h;
}

} // namespace

void RunHotkeyFlow::start(CommandHost &) { ran_ = flows_.bridge().hotkeyMessage(id_); }

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
}

HotkeyFlows::~HotkeyFlows()
{
    if (receiver_ != this)
        return;
    if (platform::GlobalHotkeys *hk = services_.hotkeys) {
        for (int id : kHotkeyIds)
            hk->unregisterHotkey(id);
        hk->onHotkey = nullptr;
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
    hooks.chooseFolder = [&host, &ds] { return ds.chooseFolder(host.dialogParent(), host.folderDialogTitle().toStdString()); };
    host.runSettingsDialog(std::move(hooks));
}

} // namespace commands
