// The main window's settings command, hotkeys and the flows they start.
#include "app/TForm1.h"
#include "app/TfrmMantra.h"
#include "buttons/TFormButtSetup.h"
#include "pgp/TfrmReadPGP.h"
#include "browser/BrowserBridge.h"
#include "browser/TForm2.h"
#include "settings/DesktopServices.h"
#include "settings/FileTypes.h"
#include "settings/TForm7.h"
#include "ui/ApplyTexts.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace desktop {
namespace {

DesktopServices &installed()
{
    static DesktopServices s;
    return s;
}

std::optional<std::string> desktopFolderDialog(QWidget *parent, const std::string &title)
{
    const QString dir = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), QStringLiteral("/"),
                                                          QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return std::nullopt;
    return dir.toStdString();
}

// Per main window: the flows and the viewer they bring to the front.
class DesktopBinding : public QObject {
public:
    DesktopBinding(TForm1 *form, browser::BridgeHost host) : QObject(form), bridge(std::move(host))
    {
        setObjectName("DesktopBinding");
    }
    ~DesktopBinding() override
    {
        // The hotkeys end with the main window that receives them.
        if (platform::GlobalHotkeys *hk = installed().hotkeys; hk && receiver() == this) {
            for (int id : {browser::kHotkeyEncrypt, browser::kHotkeyDecrypt, browser::kHotkeySign})
                hk->unregisterHotkey(id);
            hk->onHotkey = nullptr;
            receiver() = nullptr;
        }
    }
    // The window the hotkeys are delivered to: the one created last.
    static DesktopBinding *&receiver()
    {
        static DesktopBinding *r = nullptr;
        return r;
    }
    browser::BrowserBridge bridge;
    QPointer<QWidget> viewer;
};

DesktopBinding *binding(TForm1 &form) { return form.findChild<DesktopBinding *>("DesktopBinding", Qt::FindDirectChildrenOnly); }

// The button setup and pass phrase dialogs run their creation-time language
// step again: English texts when the language is now English. Only dialogs
// that exist: during the first start they are created later, and take the
// language then.
void reapplyDialogTexts(TForm1 &form)
{
    if (form.FormButtSetup)
        form.FormButtSetup->applyTexts();
    if (form.frmMantra && form.state().language == "English")
        ui::applyControlTexts(form.frmMantra, app::englishTexts(app::Window::PassPhrase));
}

} // namespace

void installDesktopServices(const DesktopServices &s) { installed() = s; }

DesktopServices &desktopServices()
{
    DesktopServices &s = installed();
    if (!s.hotkeys) {
        static std::unique_ptr<platform::GlobalHotkeys> hk = platform::createSystemGlobalHotkeys();
        s.hotkeys = hk.get();
    }
    if (!s.clipboard)
        s.clipboard = &platform::systemClipboard();
    if (!s.windows) {
        static std::unique_ptr<platform::ForeignWindows> fw = platform::createSystemForeignWindows();
        s.windows = fw.get();
    }
    if (!s.fileTypes) {
        static platform::DesktopFileTypes ft(platform::systemEnvironment());
        s.fileTypes = &ft;
    }
    if (!s.chooseFolder)
        s.chooseFolder = desktopFolderDialog;
    return s;
}

bool hotkeyMessage(TForm1 &form, int id)
{
    DesktopBinding *b = binding(form);
    return b && b->bridge.hotkeyMessage(id);
}

bool hotkeyFlowRunning(TForm1 &form)
{
    DesktopBinding *b = binding(form);
    return b && b->bridge.busy();
}

} // namespace desktop

void TForm1::connectDesktopCommands()
{
    desktop::DesktopServices &ds = desktop::desktopServices();
    browser::BridgeHost h;
    h.st = &st_;
    h.editor = RichEdit1;
    h.clipboard = ds.clipboard;
    h.windows = ds.windows;
    h.runPgp = [this](const pgp::RunRequest &r) { return pgp::RunPgp(st_, r); };
    h.chooseRecipient = [this] { ChooseRecipient(); };
    h.askPassPhrase = [this] { muMantraClick(); };
    auto *b = new desktop::DesktopBinding(this, {});
    h.showOutputViewer = [this, b] {
        // The viewer that this showing creates is the one to bring forward.
        const QWidgetList before = QApplication::topLevelWidgets();
        showOutputViewer();
        b->viewer = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!before.contains(w) && w->isVisible())
                b->viewer = w;
        if (lastViewer)
            b->viewer = lastViewer;
    };
    h.frontToOutputViewer = [b] {
        if (b->viewer) {
            b->viewer->raise();
            b->viewer->activateWindow();
        }
    };
    h.frontToMainWindow = [this] {
        raise();
        activateWindow();
    };
    h.minimise = [this] {
        if (!isMinimized())
            showMinimized();
    };
    h.restore = [this] {
        if (isMinimized()) {
            setWindowState(windowState() & ~Qt::WindowMinimized);
            show();
        }
    };
    h.readyNotice = [this] { TForm2::showFor500ms(this); };
    h.loadEditor = [this](const std::string &path) { loadEditorFromFile(path); };
    b->bridge = browser::BrowserBridge(std::move(h));

    // The hotkeys arrive while events are handled; the flow runs afterwards,
    // from the event loop, since it runs nested loops of its own.
    desktop::DesktopBinding::receiver() = b;
    QPointer<desktop::DesktopBinding> guard(b);
    ds.hotkeys->onHotkey = [this, guard](int id) {
        if (!guard)
            return;
        QTimer::singleShot(0, guard.data(), [this, guard, id] {
            if (guard)
                guard->bridge.hotkeyMessage(id);
        });
    };

    if (muSetup)
        QObject::connect(muSetup, &QAction::triggered, this, [this] { showSettingsDialog(); });
}

void TForm1::RegisterBrowserHotkeys()
{
    platform::GlobalHotkeys &hk = *desktop::desktopServices().hotkeys;
    const std::pair<int, const app::HotkeyValue *> keys[] = {
        {browser::kHotkeyEncrypt, &st_.scEncrypt},
        {browser::kHotkeyDecrypt, &st_.scDecrypt},
        {browser::kHotkeySign, &st_.scSign},
    };
    for (auto &[id, v] : keys)
        if (v->isSet())
            browser::RegisterBrowserHotkey(st_, hk, id, *v);
}

void TForm1::showSettingsDialog()
{
    desktop::DesktopServices &ds = desktop::desktopServices();
    const std::string program =
        ds.programPath.empty() ? QCoreApplication::applicationFilePath().toStdString() : ds.programPath;
    SettingsHooks hooks;
    hooks.applyTexts = [this] { ApplyTexts(); };
    hooks.reapplyDialogTexts = [this] { desktop::reapplyDialogTexts(*this); };
    hooks.setDialogFolders = [this](const std::string &save, const std::string &load) {
        SaveDialog1.initialDir = QString::fromStdString(save);
        OpenDialog1.initialDir = QString::fromStdString(load);
    };
    hooks.unregisterHotkeys = [&ds] {
        for (int id : {browser::kHotkeyEncrypt, browser::kHotkeyDecrypt, browser::kHotkeySign})
            ds.hotkeys->unregisterHotkey(id);
    };
    hooks.registerHotkey = [this, &ds](int id, const app::HotkeyValue &v) {
        browser::RegisterBrowserHotkey(st_, *ds.hotkeys, id, v);
    };
    hooks.registerFileTypes = [this, &ds, program] { settings::RegisterFileTypes(st_, *ds.fileTypes, program); };
    hooks.unregisterFileTypes = [&ds] { settings::UnregisterFileTypes(*ds.fileTypes); };
    hooks.beep = [] { QApplication::beep(); };
    hooks.chooseFolder = [this, &ds] { return ds.chooseFolder(this, DirDialogTitle.toStdString()); };
    auto dlg = std::make_unique<TForm7>(st_, std::move(hooks), this);
    dlg->exec();
}
