#include "app/TForm1.h"

#include "app/AppPaths.h"
#include "app/Pictures.h"
#include "app/SettingsStore.h"
#include "app/MainWindowSettings.h"
#include "app/TfrmMantra.h"
#include "browser/TForm2.h"
#include "buttons/ButtonTable.h"
#include "buttons/TFormButtSetup.h"
#include "commands/CommandSet.h"
#include "crypt/EditorFont.h"
#include "crypt/EditorText.h"
#include "diag/DiagWindows.h"
#include "keys/MakeIdBatch.h"
#include "keys/TForm4.h"
#include "pgp/LaunchFile.h"
#include "pgp/RunPgp.h"
#include "pgp/TForm5.h"
#include "pgp/TfrmReadPGP.h"
#include "settings/DesktopServices.h"
#include "settings/TForm7.h"
#include "ui/ApplyTexts.h"
#include "ui/ContextHelp.h"
#include "ui/ProgramIcon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>

namespace {

QString u8(const std::string &s) { return QString::fromUtf8(s.c_str(), int(s.size())); }
QString fromLatin1(const std::string &s) { return QString::fromLatin1(s.c_str(), int(s.size())); }

} // namespace

TForm1::TForm1(app::AppState &state, CommandLineArgs cmdLine, QWidget *parent)
    : QMainWindow(parent), st_(state), cmdLine_(std::move(cmdLine))
{
    setObjectName("Form1");
    st_.raiseMainWindow = [this] {
        raise();
        activateWindow();
    };
    setWindowIcon(ui::programIcon());
    buildMainWindowControls(*this, *this);
    // Built-in German texts, then the window as created.
    ui::applyControlTexts(this, app::germanTexts(app::Window::MainWindow));
    applyDialogTitles(app::germanTexts(app::Window::MainWindow));
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
    st_.raiseMainWindow = nullptr;
}

// ---- commands ----------------------------------------------------------------

void TForm1::bindCommands()
{
    using commands::CommandSet;
    cmds_ = std::make_unique<CommandSet>(*this, desktop::desktopServices());
    CommandSet &c = *cmds_;
    const std::pair<QAction *, commands::Command *> entries[] = {
        {muSetup, &c.showSettings},          {muMantra, &c.askPassPhrase},
        {muDelMantra, &c.forgetPassPhrase},  {Neu1, &c.newDocument},
        {pmuOpen, &c.openDocument},          {PmuSave, &c.saveDocument},
        {PmuSaveAs, &c.saveDocumentAs},      {Drucken1, &c.printDocument},
        {pmuFont, &c.chooseEditorFont},      {pmuZBruch, &c.toggleWordWrap},
        {pmuAdd, &c.addKeysFromText},        {PmuEncrypt, &c.encryptText},
        {PmuDecrypt, &c.decryptText},        {PmuSig, &c.signText},
        {pmuTreeView, &c.showKeyTree},       {UmschaltenzumEditor, &c.showEditor},
        {Neueinlesen1, &c.readKeyTree},      {Allesffnen1, &c.expandKeyTree},
        {Allesschlieen1, &c.collapseKeyTree}, {Fingerprintzeigen1, &c.showFingerprint},
        {ASCIIKeyspeichern1, &c.exportKeyArmoured}, {Keyspeichern1, &c.exportKey},
        {Keylschen1, &c.removeKey},
    };
    for (auto [action, cmd] : entries)
        connect(action, &QAction::triggered, this, [this, cmd = cmd] { run(*cmd); });
    const std::pair<QToolButton *, commands::Command *> buttons[] = {
        {buEncrypt, &c.encryptFile}, {buDecrypt, &c.decryptFile},
        {buSign, &c.signFile},       {buReadTree, &c.readKeyTree},
    };
    for (auto [button, cmd] : buttons)
        connect(button, &QToolButton::clicked, this, [this, cmd = cmd] { run(*cmd); });
    onButtonRelease(*this, [this](QPushButton *b, Qt::MouseButton m) { bu1MouseUp(b, m); });
    selectOnRightPress(TreeView1);

    // Window and editor operations that are no commands of their own.
    connect(muQuit, &QAction::triggered, this, &TForm1::muQuitClick);
    connect(muHideUb, &QAction::triggered, this, [this] { muHideUbClick(); });
    connect(muHelp, &QAction::triggered, this, &TForm1::muHelpClick);
    // F1 anywhere in the window opens the main-window topic.
    new ui::ContextHelp(this, st_.sys.help, [this] { return st_.helpFile; },
                        app::helpContexts(app::Window::MainWindow));
    connect(muInfo, &QAction::triggered, this, [this] { diag::ShowAbout(st_, this); });
    QPlainTextEdit *ed = RichEdit1;
    for (QAction *a : {muCut, PmuCut})
        connect(a, &QAction::triggered, ed, &QPlainTextEdit::cut);
    for (QAction *a : {muCopy, PmuCopy})
        connect(a, &QAction::triggered, ed, &QPlainTextEdit::copy);
    for (QAction *a : {muPaste, PmuPaste})
        connect(a, &QAction::triggered, ed, &QPlainTextEdit::paste);
    connect(PmuClear, &QAction::triggered, ed, [ed] { ed->textCursor().removeSelectedText(); });
    connect(PmuMarkAll, &QAction::triggered, ed, &QPlainTextEdit::selectAll);
}

void TForm1::run(commands::Command &cmd) { cmds_->runner.run(cmd); }

void TForm1::muMantraClick() { run(cmds_->askPassPhrase); }
void TForm1::muDelMantraClick() { run(cmds_->forgetPassPhrase); }
void TForm1::buEncryptClick() { run(cmds_->encryptFile); }
void TForm1::buDecryptClick() { run(cmds_->decryptFile); }
void TForm1::buSignClick() { run(cmds_->signFile); }
void TForm1::buReadTreeClick() { run(cmds_->readKeyTree); }
void TForm1::pmuAddClick() { run(cmds_->addKeysFromText); }
void TForm1::PmuEncryptClick() { run(cmds_->encryptText); }
void TForm1::PmuDecryptClick() { run(cmds_->decryptText); }
void TForm1::PmuSigClick() { run(cmds_->signText); }
void TForm1::pmuTreeViewClick() { run(cmds_->showKeyTree); }
void TForm1::UmschaltenzumEditorClick() { run(cmds_->showEditor); }
void TForm1::Allesffnen1Click() { run(cmds_->expandKeyTree); }
void TForm1::Allesschlieen1Click() { run(cmds_->collapseKeyTree); }
void TForm1::Fingerprintzeigen1Click() { run(cmds_->showFingerprint); }
void TForm1::ASCIIKeyspeichern1Click() { run(cmds_->exportKeyArmoured); }
void TForm1::Keyspeichern1Click() { run(cmds_->exportKey); }
void TForm1::Keylschen1Click() { run(cmds_->removeKey); }
void TForm1::showSettingsDialog() { run(cmds_->showSettings); }
void TForm1::RegisterBrowserHotkeys() { run(cmds_->registerHotkeys); }
bool TForm1::hotkeyFlowRunning() const { return cmds_->hotkeyFlows.running(); }

void TForm1::bu1MouseUp(QPushButton *sender, Qt::MouseButton button)
{
    if (st_.commandBusy)
        return;
    const auto place = std::find(bu.begin(), bu.end(), sender);
    const int n = commands::buttonRecordNumber(sender->property("Tag").toInt(),
                                               place == bu.end() ? 0 : int(place - bu.begin()) + 1);
    if (n == 0)
        return;
    if (button == Qt::RightButton) {
        openButtonSetup(n);
        return;
    }
    cmds_->runButton.select(n);
    run(cmds_->runButton);
}

bool TForm1::GetCommandLine(const std::string &first, const std::string &second, int count)
{
    cmds_->commandLine.setArguments(first, second, count);
    run(cmds_->commandLine);
    return cmds_->commandLine.loaded();
}

// ---- what the commands use of the window -------------------------------------

commands::OptionBoxes TForm1::optionBoxes() const
{
    return {CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked()};
}

QString TForm1::hintLine() const { return StatusPanel0->text(); }
void TForm1::setHintLine(const QString &text) { StatusPanel0->setText(text); }
void TForm1::setStatusText(const QString &text) { StatusPanel1->setText(text); }
void TForm1::showPage(Page page) { Notebook1->setCurrentIndex(page == Page::Editor ? 0 : 1); }

void TForm1::chooseRecipient()
{
    TForm4 chooser(st_, this);
    try {
        chooser.LoadUserList();
    } catch (const platform::PlatformError &e) {
        st_.recipientArg.clear();
        st_.dialogs->platformError(e.what());
        return;
    }
    chooser.exec();
    st_.processEvents();
}

void TForm1::createPassPhraseDialog()
{
    if (!frmMantra)
        frmMantra = new TfrmMantra(st_, this);
}

void TForm1::askPassPhrase()
{
    createPassPhraseDialog();
    // A hotkey may have asked while another program is in front.
    activateWindow();
    raise();
    frmMantra->exec();
}

void TForm1::forgetPassPhrase()
{
    createPassPhraseDialog();
    frmMantra->Edit1->clear();
}

bool TForm1::ensurePassPhrase() { return commands::makeSureOfPassPhrase(*this); }

void TForm1::showOutputViewer()
{
    // A viewer the user has closed is never shown again: release it.
    if (lastViewer && lastViewer->isHidden())
        lastViewer->deleteLater();
    lastViewer = new TfrmReadPGP(st_, this);
    lastViewer->show();
}

TFormButtSetup &TForm1::buttonSetup()
{
    if (!FormButtSetup)
        FormButtSetup = new TFormButtSetup(st_, OpenDialog1, [this] { RelabelButtons(); }, this);
    return *FormButtSetup;
}

void TForm1::openButtonSetup(int buttonNumber) { buttonSetup().showFor(buttonNumber); }
void TForm1::showDebugReport() { diag::ShowDebugReport(st_, this); }

std::unique_ptr<commands::TreeReadProgress> TForm1::showTreeReadProgress()
{
    return TForm5::showForTreeRead(st_);
}

void TForm1::runSettingsDialog(SettingsHooks hooks)
{
    TForm7 dlg(st_, std::move(hooks), this);
    dlg.exec();
}

void TForm1::reapplyDialogTexts()
{
    // Only dialogs that exist: during the first start they are created
    // later, and take the language then.
    if (FormButtSetup)
        FormButtSetup->applyTexts();
    if (frmMantra && st_.english())
        ui::applyControlTexts(frmMantra, app::englishTexts(app::Window::PassPhrase));
}

void TForm1::bringToFront()
{
    raise();
    activateWindow();
}

void TForm1::bringOutputViewerToFront()
{
    if (lastViewer) {
        lastViewer->raise();
        lastViewer->activateWindow();
    }
}

void TForm1::minimise()
{
    if (!isMinimized())
        showMinimized();
}

void TForm1::restoreFromMinimised()
{
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
    }
}

void TForm1::showReadyNotice() { TForm2::showFor500ms(this); }

// ---- window-level behaviour ---------------------------------------------

bool TForm1::event(QEvent *e)
{
    // The hint line: every new status tip (menus, controls) lands in panel 0.
    if (e->type() == QEvent::StatusTip) {
        StatusPanel0->setText(static_cast<QStatusTipEvent *>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TForm1::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    // The frame is known only now: make stored outer bounds and the minimum
    // outer size exact.
    QTimer::singleShot(0, this, [this] {
        applyOuterSizes(*this, {kMinOuterWidth, kMinOuterHeight}, pendingOuterBounds_);
        pendingOuterBounds_.reset();
    });
}

void TForm1::muHideUbClick()
{
    // The triggered signal has already toggled a checkable action; the entry's
    // check mark is the new state either way.
    Panel2->setVisible(muHideUb->isChecked());
}

void TForm1::muHelpClick()
{
    if (st_.sys.help)
        st_.sys.help->showContext(st_.helpFile, 10);
}

void TForm1::muQuitClick()
{
    // Ends the program without the close question: a changed button table is
    // not written, the settings are.
    quitting_ = true;
    st_.saveButtonsOnExit = false;
    QCoreApplication::exit(0);
}

bool TForm1::FormCloseQuery()
{
    if (!st_.buttonsChanged)
        return true;
    const ui::Answer a = st_.dialogs->askYesNoCancel(st_.texts.msg(app::Msg::ButtonsChanged));
    if (a == ui::Answer::Yes) {
        st_.saveButtonsOnExit = true;
        return true;
    }
    if (a == ui::Answer::No) {
        st_.saveButtonsOnExit = false;
        return true;
    }
    return false;
}

void TForm1::closeEvent(QCloseEvent *e)
{
    if (quitting_ || FormCloseQuery()) {
        e->accept();
        QCoreApplication::exit(0);
    } else {
        e->ignore();
    }
}

// ---- start-up and shutdown ---------------------------------------------------

void TForm1::FormCreate()
{
    bindCommands();

    const platform::Environment &env = *st_.sys.env;
    st_.texts.setGerman();
    // AppDir is the working folder; program files and the user's own files
    // have folders of their own (AppPaths). Tests and benchmarks hand in
    // the directory they run the window from.
    std::string bundledPgpDir;
    if (st_.appDir.empty()) {
        const app::AppPaths paths = app::choosePaths(
            app::pathInputs(env, stripTrailingSlash(QCoreApplication::applicationDirPath().toStdString())),
            *st_.sys.fs);
        st_.appDir = paths.workDir;
        st_.dataDir = paths.dataDir;
        st_.userDir = paths.userDir;
        bundledPgpDir = paths.pgpDir;
        try {
            app::makeUserFolders(paths, *st_.sys.fs);
        } catch (const platform::PlatformError &e) {
            st_.dialogs->platformError(e.what());
        }
    }
    // PGPPATH; without it the pgp that came with the program.
    st_.pgpDir = platform::envValue(env, "PGPPATH");
    if (st_.pgpDir.empty())
        st_.pgpDir = bundledPgpDir;
    st_.passPhrase = platform::envValue(env, "PGPPASS");
    // Temp, else Tmp, else this platform's own TMPDIR, else AppDir.
    st_.tempDir = platform::envValue(env, "Temp");
    if (st_.tempDir.empty())
        st_.tempDir = platform::envValue(env, "Tmp");
    if (st_.tempDir.empty())
        st_.tempDir = platform::envValue(env, "TMPDIR");
    if (st_.tempDir.empty())
        st_.tempDir = st_.appDir;
    setWindowTitle(u8(st_.versionText));
    st_.helpFile = st_.inDataDir("Quorbix.html");
    // The settings decide the language (the chooser asks on a first start);
    // the texts, the button table and Qt's own dialogs follow it.
    loadSettings();
    installQtTranslation();
    ApplyTexts();
    LoadButtonTable();
    pgp::EnsureLaunchFile(st_);
    ::applyEditorFontRecord(RichEdit1, st_.editorFont);
    // The key-list launch file is installed with the program, not made here.
    if (!st_.sys.fs->exists(st_.inDataDir("MakeID.pif")))
        pgp::ShowError(st_, st_.texts.msg(app::Msg::MakeIdPifMissing), 0, 0);
    // The recipient chooser's key list, built in the background.
    try {
        keys::WriteMakeIdBatch(st_);
        keys::RunMakeIdBatch(st_);
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(e.what());
    }
    if (st_.firstStart)
        showSettingsDialog();
    // Before the command line, which may ask for the pass phrase.
    createPassPhraseDialog();
    GetCommandLine(cmdLine_.arg(0), cmdLine_.arg(1), cmdLine_.count());
    RegisterBrowserHotkeys();
}

void TForm1::loadSettings()
{
    pendingOuterBounds_ = loadWindowSettings(*this, *this, st_, {kMinOuterWidth, kMinOuterHeight});
}

app::SettingsValues TForm1::currentSettings() const { return windowSettings(*this, *this, st_); }

void TForm1::saveSettings()
{
    // Pending window messages first: a last change to a control counts.
    st_.processEvents();
    // The button table only when the user said so at close.
    if (st_.saveButtonsOnExit) {
        try {
            buttons::SaveButtonTable(st_);
        } catch (const platform::PlatformError &e) {
            st_.dialogs->platformError(e.what());
        }
    }
    if (!st_.sys.registry)
        return;
    try {
        app::saveSettings(*st_.sys.registry, currentSettings(), st_.settingsRead ? &*st_.settingsRead : nullptr);
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(e.what());
    }
}

void TForm1::FormDestroy()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    saveSettings();
    platform::FileSystem &fs = *st_.sys.fs;
    for (const char *name : {"QUORBIX.tmp", "QUORBIX.asc", "QUORBIX.pgp", "QUORBIX"})
        fs.remove(st_.inTempDir(name));
    for (const char *name : {"out.txt", "ID.txt", "Tree.txt", "MakeID.bat"})
        fs.remove(st_.inAppDir(name));
    if (st_.sys.help)
        st_.sys.help->close(st_.helpFile);
}

// ---- texts and buttons ------------------------------------------------------

void TForm1::applyDialogTitles(const std::vector<app::ControlText> &texts)
{
    for (const app::ControlText &t : texts) {
        if (!t.caption)
            continue;
        const std::string name = t.object;
        if (name == "OpenDialog1")
            OpenDialog1.title = QString::fromUtf8(t.caption);
        else if (name == "SaveDialog1")
            SaveDialog1.title = QString::fromUtf8(t.caption);
        else if (name == "DirDialog")
            DirDialogTitle = QString::fromUtf8(t.caption);
    }
}

void TForm1::ApplyTexts()
{
    if (!st_.buttonsChanged)
        LoadButtonTable();
    if (st_.language != "English")
        return;
    st_.texts.setEnglish();
    st_.helpFile = st_.inDataDir("Quorbixe.html");
    const auto &texts = app::englishTexts(app::Window::MainWindow);
    ui::applyControlTexts(this, texts);
    applyDialogTitles(texts);
    ui::applyShortcuts(this, app::englishShortcuts(app::Window::MainWindow));
}

void TForm1::LoadButtonTable()
{
    const buttons::TableLoadResult r = buttons::LoadButtonTable(st_);
    if (!r.ok) {
        st_.dialogs->platformError(r.error);
        if (!r.relabel)
            return;
    }
    RelabelButtons();
}

void TForm1::RelabelButtons()
{
    for (int k = 0; k < buttons::kButtonCount; ++k) {
        const buttons::ButtonRecord &rec = st_.buttons[k];
        QPushButton *b = bu[k];
        const QString title = fromLatin1(rec.title);
        const std::string hint = fromLatin1(rec.hint).toStdString(); // UTF-8
        b->setText(title);
        b->setToolTip(u8(ui::shortHint(hint)));
        b->setStatusTip(u8(ui::longHint(hint)));
        b->setAccessibleName(QString(title).remove('&'));
        b->setProperty("Tag", int(rec.buttonNumber));
    }
}

void TForm1::installQtTranslation()
{
    if (st_.language != "Deutsch")
        return;
    static QTranslator qtGerman;
    if (qtGerman.isEmpty() &&
        qtGerman.load(QLocale(QLocale::German), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtGerman);
}
