#include "app/TForm1.h"

#include "app/AppPaths.h"
#include "app/Pictures.h"
#include "app/SettingsStore.h"
#include "app/TFormLanguage.h"
#include "buttons/ButtonTable.h"
#include "crypt/EditorFont.h"
#include "crypt/EditorText.h"
#include "keys/MakeIdBatch.h"
#include "pgp/LaunchFile.h"
#include "pgp/RunPgp.h"
#include "ui/ApplyTexts.h"
#include "ui/ProgramIcon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QString u8(const std::string &s) { return QString::fromUtf8(s.c_str(), int(s.size())); }
QString fromLatin1(const std::string &s) { return QString::fromLatin1(s.c_str(), int(s.size())); }

// A panel whose children sit at fixed positions, as the window was designed.
QWidget *fixedPanel(QWidget *parent, const char *name)
{
    auto *w = new QWidget(parent);
    w->setObjectName(name);
    return w;
}

// The window was laid out for a narrow 8-point face: buttons are 121 pixels
// wide. A condensed face at the same pixel height keeps every caption whole.
QFont windowFont()
{
    QFont f;
    for (const char *family : {"DejaVu Sans Condensed", "Liberation Sans Narrow", "Nimbus Sans Narrow",
                               "Arial Narrow"}) {
        QFont candidate(family);
        if (QFontInfo(candidate).family() == QLatin1String(family)) {
            f = candidate;
            break;
        }
    }
    f.setPixelSize(11);
    return f;
}

} // namespace

TForm1::TForm1(app::AppState &state, CommandLineArgs cmdLine, QWidget *parent)
    : QMainWindow(parent), st_(state), cmdLine_(std::move(cmdLine))
{
    setObjectName("Form1");
    setWindowIcon(ui::programIcon());
    setFont(windowFont());
    buildControls();
    buildMenus();
    // Built-in German texts, then the window as created.
    ui::applyControlTexts(this, app::germanTexts(app::Window::MainWindow));
    applyDialogTitles(app::germanTexts(app::Window::MainWindow));
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
}

// ---- composition ----------------------------------------------------------

void TForm1::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName("CentralWidget");
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Top panel with the etched line along its top edge.
    Panel1 = fixedPanel(central, "Panel1");
    Panel1->setFixedHeight(124);
    auto *etch = new QFrame(Panel1);
    etch->setObjectName("Bevel1");
    etch->setFrameShape(QFrame::HLine);
    etch->setFrameShadow(QFrame::Sunken);
    etch->setGeometry(0, 0, 4000, 2);

    const int colX[4] = {8, 129, 250, 371};
    const int rowY[3] = {12, 33, 54};
    for (int i = 0; i < 12; ++i) {
        auto *b = new QPushButton(Panel1);
        b->setObjectName(QStringLiteral("bu%1").arg(i + 1));
        b->setGeometry(colX[i / 3], rowY[i % 3], 121, 22);
        b->setProperty("Tag", i + 1);
        b->installEventFilter(this);
        bu[i] = b;
    }

    auto actionButton = [&](QToolButton *&member, const char *name, int x, const QIcon &icon) {
        member = new QToolButton(Panel1);
        member->setObjectName(name);
        member->setGeometry(x, 78, 121, 37);
        member->setIcon(icon);
        member->setIconSize(QSize(16, 16));
        member->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        member->setAutoRaise(false);
        member->setFocusPolicy(Qt::StrongFocus);
    };
    actionButton(buEncrypt, "buEncrypt", 8, app::pictures::encrypt());
    actionButton(buDecrypt, "buDecrypt", 129, app::pictures::decrypt());
    actionButton(buSign, "buSign", 250, app::pictures::sign());
    actionButton(buReadTree, "buReadTree", 371, app::pictures::keyTree());

    GroupBox2 = new QGroupBox(Panel1);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(500, 8, 165, 107);
    auto checkBox = [&](QCheckBox *&member, const char *name, int y, bool on) {
        member = new QCheckBox(GroupBox2);
        member->setObjectName(name);
        member->setGeometry(6, y, 157, 20);
        member->setChecked(on);
    };
    checkBox(CheckBox1, "CheckBox1", 22, false);
    checkBox(CheckBox2, "CheckBox2", 50, true);
    checkBox(CheckBox3, "CheckBox3", 78, false);
    column->addWidget(Panel1);

    // Page area between two 5-pixel margins.
    auto *middle = new QWidget(central);
    middle->setObjectName("PageArea");
    auto *row = new QHBoxLayout(middle);
    row->setContentsMargins(5, 0, 5, 0);
    row->setSpacing(0);
    Notebook1 = new QStackedWidget(middle);
    Notebook1->setObjectName("Notebook1");
    TabRichEdit = new QWidget;
    TabRichEdit->setObjectName("TabRichEdit");
    TabTreeView = new QWidget;
    TabTreeView->setObjectName("TabTreeView");
    auto *l0 = new QVBoxLayout(TabRichEdit);
    l0->setContentsMargins(0, 0, 0, 0);
    RichEdit1 = new QPlainTextEdit(TabRichEdit);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setAccessibleName("Editor");
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    l0->addWidget(RichEdit1);
    auto *l1 = new QVBoxLayout(TabTreeView);
    l1->setContentsMargins(0, 0, 0, 0);
    TreeView1 = new QTreeWidget(TabTreeView);
    TreeView1->setObjectName("TreeView1");
    TreeView1->setAccessibleName("Key tree");
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setFocusPolicy(Qt::ClickFocus); // not reached with Tab
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->setUniformRowHeights(true);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSize(9);
    TreeView1->setFont(mono); // listing lines line up by column
    l1->addWidget(TreeView1);
    Notebook1->addWidget(TabRichEdit);
    Notebook1->addWidget(TabTreeView);
    row->addWidget(Notebook1);
    column->addWidget(middle, 1);

    // User-button panel.
    Panel2 = fixedPanel(central, "Panel2");
    Panel2->setFixedHeight(36);
    const int ubX[5] = {8, 139, 270, 401, 532};
    for (int i = 0; i < 5; ++i) {
        auto *b = new QPushButton(Panel2);
        b->setObjectName(QStringLiteral("bu%1").arg(i + 13));
        b->setGeometry(ubX[i], 6, 131, 22);
        b->setProperty("Tag", i + 13);
        b->installEventFilter(this);
        bu[12 + i] = b;
    }
    column->addWidget(Panel2);
    setCentralWidget(central);

    // Status bar: the hint line (400 pixels) and the command panel.
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(true);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName("StatusPanel0");
    StatusPanel0->setAccessibleName("Hint line");
    StatusPanel0->setFixedWidth(400);
    StatusPanel0->setFrameShape(QFrame::Panel);
    StatusPanel0->setFrameShadow(QFrame::Sunken);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName("StatusPanel1");
    StatusPanel1->setAccessibleName("Status");
    StatusPanel1->setMinimumWidth(50);
    StatusPanel1->setFrameShape(QFrame::Panel);
    StatusPanel1->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    setStatusBar(StatusBar1);
}

QAction *TForm1::addAction(QMenu *menu, QAction *&member, const char *name, const QKeySequence &key)
{
    member = new QAction(this);
    member->setObjectName(name);
    if (!key.isEmpty())
        member->setShortcut(key);
    menu->addAction(member);
    return member;
}

void TForm1::buildMenus()
{
    QMenuBar *mb = menuBar();
    mb->setObjectName("MainMenu1");
    auto topMenu = [&](QMenu *&member, const char *name) {
        member = new QMenu(this);
        member->setObjectName(name);
        mb->addMenu(member);
    };

    topMenu(Projekt1, "Projekt1");
    addAction(Projekt1, muSetup, "muSetup");
    addAction(Projekt1, muMantra, "muMantra");
    addAction(Projekt1, muDelMantra, "muDelMantra", QKeySequence(Qt::CTRL | Qt::Key_L));
    Projekt1->addSeparator();
    addAction(Projekt1, muQuit, "muQuit", QKeySequence(Qt::CTRL | Qt::Key_B));
    connect(muQuit, &QAction::triggered, this, &TForm1::muQuitClick);
    // The "&Projekt" menu itself answers Ctrl+P.
    auto *projektKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(projektKey, &QShortcut::activated, this, [this] {
        menuBar()->setActiveAction(Projekt1->menuAction());
    });

    topMenu(Bearbeiten1, "Bearbeiten1");
    addAction(Bearbeiten1, muCut, "muCut", QKeySequence(Qt::CTRL | Qt::Key_X));
    addAction(Bearbeiten1, muCopy, "muCopy", QKeySequence(Qt::CTRL | Qt::Key_C));
    addAction(Bearbeiten1, muPaste, "muPaste", QKeySequence(Qt::CTRL | Qt::Key_V));

    topMenu(UserButtons1, "UserButtons1");
    addAction(UserButtons1, muHideUb, "muHideUb");
    muHideUb->setCheckable(true);
    muHideUb->setChecked(true);
    connect(muHideUb, &QAction::triggered, this, [this] { muHideUbClick(); });

    topMenu(Hilfe1, "Hilfe1");
    addAction(Hilfe1, muHelp, "muHelp");
    connect(muHelp, &QAction::triggered, this, &TForm1::muHelpClick);
    Hilfe1->addSeparator();
    addAction(Hilfe1, muInfo, "muInfo");

    // Editor context menu; its shortcuts apply while the editor has the focus.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    Datei1 = PopupMenu1->addMenu(QString());
    Datei1->setObjectName("Datei1");
    addAction(Datei1, Neu1, "Neu1");
    addAction(Datei1, pmuOpen, "pmuOpen");
    addAction(Datei1, PmuSave, "PmuSave");
    addAction(Datei1, PmuSaveAs, "PmuSaveAs");
    addAction(PopupMenu1, Drucken1, "Drucken1");
    PopupMenu1->addSeparator();
    addAction(PopupMenu1, PmuCut, "PmuCut");
    addAction(PopupMenu1, PmuCopy, "PmuCopy");
    addAction(PopupMenu1, PmuPaste, "PmuPaste");
    addAction(PopupMenu1, PmuClear, "PmuClear");
    PopupMenu1->addSeparator();
    addAction(PopupMenu1, PmuMarkAll, "PmuMarkAll", QKeySequence(Qt::CTRL | Qt::Key_A));
    addAction(PopupMenu1, pmuFont, "pmuFont");
    addAction(PopupMenu1, pmuZBruch, "pmuZBruch");
    pmuZBruch->setCheckable(true);
    PopupMenu1->addSeparator();
    addAction(PopupMenu1, pmuAdd, "pmuAdd", QKeySequence(Qt::CTRL | Qt::Key_K));
    addAction(PopupMenu1, PmuEncrypt, "PmuEncrypt", QKeySequence(Qt::CTRL | Qt::Key_R));
    addAction(PopupMenu1, PmuDecrypt, "PmuDecrypt", QKeySequence(Qt::CTRL | Qt::Key_E));
    addAction(PopupMenu1, PmuSig, "PmuSig", QKeySequence(Qt::CTRL | Qt::Key_S));
    PopupMenu1->addSeparator();
    addAction(PopupMenu1, pmuTreeView, "pmuTreeView", QKeySequence(Qt::CTRL | Qt::Key_T));
    for (QAction *a : PopupMenu1->actions())
        if (!a->shortcut().isEmpty()) {
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            RichEdit1->addAction(a);
        }
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(RichEdit1->mapToGlobal(pos)); });

    // Tree context menu.
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    addAction(PopupMenu2, Fingerprintzeigen1, "Fingerprintzeigen1");
    addAction(PopupMenu2, ASCIIKeyspeichern1, "ASCIIKeyspeichern1");
    addAction(PopupMenu2, Keyspeichern1, "Keyspeichern1");
    addAction(PopupMenu2, Keylschen1, "Keylschen1");
    PopupMenu2->addSeparator();
    addAction(PopupMenu2, Neueinlesen1, "Neueinlesen1");
    addAction(PopupMenu2, Allesffnen1, "Allesffnen1");
    addAction(PopupMenu2, Allesschlieen1, "Allesschlieen1");
    PopupMenu2->addSeparator();
    addAction(PopupMenu2, UmschaltenzumEditor, "UmschaltenzumEditor", QKeySequence(Qt::CTRL | Qt::Key_E));
    UmschaltenzumEditor->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    TreeView1->addAction(UmschaltenzumEditor);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu2->popup(TreeView1->viewport()->mapToGlobal(pos)); });

    // The shared dialogs.
    const QString filter = "(*.asc,*.pgp,*.sig)|*.asc;*.pgp;*.sig|(*.txt)|*.txt|(*.*)|*.*";
    OpenDialog1.filter = filter;
    SaveDialog1.filter = filter;
    SaveDialog1.overwritePrompt = true;
}

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

bool TForm1::eventFilter(QObject *watched, QEvent *e)
{
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    // The frame is known only now: make stored outer bounds and the minimum
    // outer size exact.
    QTimer::singleShot(0, this, [this] {
        applyMinimumSize();
        if (boundsPending_) {
            boundsPending_ = false;
            const QMargins frame(geometry().left() - frameGeometry().left(),
                                 geometry().top() - frameGeometry().top(),
                                 frameGeometry().right() - geometry().right(),
                                 frameGeometry().bottom() - geometry().bottom());
            if (!isMaximized())
                resize(pendingOuterBounds_.width() - frame.left() - frame.right(),
                       pendingOuterBounds_.height() - frame.top() - frame.bottom());
        }
    });
}

void TForm1::applyMinimumSize()
{
    const int dw = frameGeometry().width() - geometry().width();
    const int dh = frameGeometry().height() - geometry().height();
    setMinimumSize(std::max(1, kMinOuterWidth - dw), std::max(1, kMinOuterHeight - dh));
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

void TForm1::loadEditorFromFile(const std::string &path)
{
    RichEdit1->setPlainText(cryptcmd::editorTextFromFile(st_.sys.fs->readFile(path)));
}

// ---- start-up ---------------------------------------------------------------

namespace {

std::string stripTrailingSlash(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

} // namespace

void TForm1::FormCreate()
{
    connectButtonCommands();
    connectKeyCommands();
    connectCryptCommands();
    connectDocumentCommands();
    connectDiagCommands();
    connectDesktopCommands();

    const platform::Environment &env = *st_.sys.env;
    // 1. German shared messages.
    st_.texts.setGerman();
    // 2. AppDir: the working folder; program files and the user's own files
    // have folders of their own (AppPaths).
    // (Tests and benchmarks hand in the directory they run the window from.)
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
    // 3. PgpDir from PGPPATH; without it the pgp that came with the program.
    st_.pgpDir = platform::envValue(env, "PGPPATH");
    if (st_.pgpDir.empty())
        st_.pgpDir = bundledPgpDir;
    // 4. The hint handler is this window's status-tip handling (event()).
    // 5. PassPhrase from PGPPASS.
    st_.passPhrase = platform::envValue(env, "PGPPASS");
    // 6. TempDir: Temp, else Tmp, else TMPDIR (this platform's own name), else AppDir.
    st_.tempDir = platform::envValue(env, "Temp");
    if (st_.tempDir.empty())
        st_.tempDir = platform::envValue(env, "Tmp");
    if (st_.tempDir.empty())
        st_.tempDir = platform::envValue(env, "TMPDIR");
    if (st_.tempDir.empty())
        st_.tempDir = st_.appDir;
    // 7. Caption.
    setWindowTitle(u8(st_.versionText));
    // 8. HelpFile.
    st_.helpFile = st_.inDataDir("Quorbix.html");
    // 9. Settings (the language chooser on a first start).
    loadSettings();
    // Qt's own dialogs (file dialogs) speak the program's language.
    installQtTranslation();
    // 10. Texts of the language (loads the button table too).
    ApplyTexts();
    // 11. Button table of the language, put on the buttons.
    LoadButtonTable();
    // 12. Launch file beside pgp.
    pgp::EnsureLaunchFile(st_);
    // 13./14. are applied by loadSettings() from the values read.
    // 15. Editor font.
    applyEditorFont();
    // 16. The key-list launch file is installed with the program.
    if (!st_.sys.fs->exists(st_.inDataDir("MakeID.pif")))
        pgp::ShowError(st_, st_.texts.msg(app::Msg::MakeIdPifMissing), 0, 0);
    // 17./18. Key list for the recipient chooser, built in the background.
    try {
        keys::WriteMakeIdBatch(st_);
        keys::RunMakeIdBatch(st_);
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(e.what());
    }
    // 19. Settings dialog on a first start.
    if (st_.firstStart)
        showSettingsDialog();
    // 20. Pass phrase dialog, before the command line can ask for it.
    createPassPhraseDialog();
    // 21. Command line.
    GetCommandLine(cmdLine_.arg(0), cmdLine_.arg(1), cmdLine_.count());
    // 22. System-wide hotkeys.
    RegisterBrowserHotkeys();
}

void TForm1::loadSettings()
{
    app::SettingsValues v;
    const QRect outer = frameGeometry();
    v.left = outer.x();
    v.top = outer.y();
    v.width = outer.width();
    v.height = outer.height();
    v.pgpPath = st_.pgpDir;
    const app::SettingsValues creation = v;

    app::LoadResult r;
    if (st_.sys.registry)
        r = app::loadSettings(*st_.sys.registry, v);
    else
        r.firstStart = true;

    if (r.firstStart) {
        st_.firstStart = true;
        v = app::firstStartValues(creation);
        v.language = chooseLanguage();
    }

    // Bounds: only those stored move the window; without them the window
    // system places it.
    if (v.left != creation.left || v.top != creation.top)
        move(v.left, v.top);
    if (v.width != creation.width || v.height != creation.height) {
        pendingOuterBounds_ = QRect(v.left, v.top, v.width, v.height);
        boundsPending_ = true;
        resize(std::max(v.width, kMinOuterWidth), std::max(v.height, kMinOuterHeight));
    }
    if (v.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    CheckBox1->setChecked(v.breakSig);
    CheckBox2->setChecked(v.radix64);
    CheckBox3->setChecked(v.textMode);
    st_.pgpDir = stripTrailingSlash(v.pgpPath);
    st_.kLoadPath = v.kLoadPath;
    st_.kSavePath = v.kSavePath;
    Panel2->setVisible(v.ubPanel);
    muHideUb->setChecked(v.ubPanel);
    RichEdit1->setLineWrapMode(v.wordwrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    pmuZBruch->setChecked(v.wordwrap);
    st_.configText = v.configText;
    st_.browser = v.browser;
    st_.language = v.language;
    st_.editorFont = v.editorFont;
    st_.scEncrypt = v.scEncrypt;
    st_.scDecrypt = v.scDecrypt;
    st_.scSign = v.scSign;
    // 14. Initial folders of the shared dialogs.
    OpenDialog1.initialDir = fromLatin1(st_.kLoadPath);
    SaveDialog1.initialDir = fromLatin1(st_.kSavePath);

    if (!r.ok)
        st_.dialogs->platformError(r.error);
}

app::SettingsValues TForm1::currentSettings() const
{
    app::SettingsValues v;
    const QRect outer = frameGeometry();
    v.left = outer.x();
    v.top = outer.y();
    v.width = outer.width();
    v.height = outer.height();
    v.maximized = isMaximized();
    v.breakSig = CheckBox1->isChecked();
    v.radix64 = CheckBox2->isChecked();
    v.textMode = CheckBox3->isChecked();
    v.pgpPath = st_.pgpDir;
    v.kLoadPath = st_.kLoadPath;
    v.kSavePath = st_.kSavePath;
    v.ubPanel = !Panel2->isHidden();
    v.wordwrap = RichEdit1->lineWrapMode() != QPlainTextEdit::NoWrap;
    v.configText = st_.configText;
    v.browser = st_.browser;
    v.language = st_.language;
    v.editorFont = st_.editorFont;
    v.scEncrypt = st_.scEncrypt;
    v.scDecrypt = st_.scDecrypt;
    v.scSign = st_.scSign;
    return v;
}

void TForm1::saveSettings()
{
    // 1. Pending window messages first.
    st_.processEvents();
    // 2. The button table, when the user said so at close.
    if (st_.saveButtonsOnExit) {
        try {
            buttons::SaveButtonTable(st_);
        } catch (const platform::PlatformError &e) {
            st_.dialogs->platformError(e.what());
        }
    }
    // 3.-7. The settings.
    if (!st_.sys.registry)
        return;
    try {
        app::saveSettings(*st_.sys.registry, currentSettings());
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

void TForm1::applyEditorFont()
{
    ::applyEditorFontRecord(RichEdit1, st_.editorFont);
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

std::string TForm1::chooseLanguage()
{
    return TFormLanguage::choose(this);
}
