#include "app/MainWindowControls.h"

#include "app/Pictures.h"

#include <QAction>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

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

QAction *addAction(QMainWindow &w, QMenu *menu, QAction *&member, const char *name, const QKeySequence &key = {})
{
    member = new QAction(&w);
    member->setObjectName(name);
    if (!key.isEmpty())
        member->setShortcut(key);
    menu->addAction(member);
    return member;
}

void buildControls(QMainWindow &w, MainWindowControls &c)
{
    auto *central = new QWidget(&w);
    central->setObjectName("CentralWidget");
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Top panel with the etched line along its top edge.
    c.Panel1 = fixedPanel(central, "Panel1");
    c.Panel1->setFixedHeight(124);
    auto *etch = new QFrame(c.Panel1);
    etch->setObjectName("Bevel1");
    etch->setFrameShape(QFrame::HLine);
    etch->setFrameShadow(QFrame::Sunken);
    etch->setGeometry(0, 0, 4000, 2);

    const int colX[4] = {8, 129, 250, 371};
    const int rowY[3] = {12, 33, 54};
    for (int i = 0; i < 12; ++i) {
        auto *b = new QPushButton(c.Panel1);
        b->setObjectName(QStringLiteral("bu%1").arg(i + 1));
        b->setGeometry(colX[i / 3], rowY[i % 3], 121, 22);
        b->setProperty("Tag", i + 1);
        c.bu[i] = b;
    }

    auto actionButton = [&](QToolButton *&member, const char *name, int x, const QIcon &icon) {
        member = new QToolButton(c.Panel1);
        member->setObjectName(name);
        member->setGeometry(x, 78, 121, 37);
        member->setIcon(icon);
        member->setIconSize(QSize(16, 16));
        member->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        member->setAutoRaise(false);
        member->setFocusPolicy(Qt::StrongFocus);
    };
    actionButton(c.buEncrypt, "buEncrypt", 8, app::pictures::encrypt());
    actionButton(c.buDecrypt, "buDecrypt", 129, app::pictures::decrypt());
    actionButton(c.buSign, "buSign", 250, app::pictures::sign());
    actionButton(c.buReadTree, "buReadTree", 371, app::pictures::keyTree());

    c.GroupBox2 = new QGroupBox(c.Panel1);
    c.GroupBox2->setObjectName("GroupBox2");
    c.GroupBox2->setGeometry(500, 8, 165, 107);
    auto checkBox = [&](QCheckBox *&member, const char *name, int y, bool on) {
        member = new QCheckBox(c.GroupBox2);
        member->setObjectName(name);
        member->setGeometry(6, y, 157, 20);
        member->setChecked(on);
    };
    checkBox(c.CheckBox1, "CheckBox1", 22, false);
    checkBox(c.CheckBox2, "CheckBox2", 50, true);
    checkBox(c.CheckBox3, "CheckBox3", 78, false);
    column->addWidget(c.Panel1);

    // Page area between two 5-pixel margins.
    auto *middle = new QWidget(central);
    middle->setObjectName("PageArea");
    auto *row = new QHBoxLayout(middle);
    row->setContentsMargins(5, 0, 5, 0);
    row->setSpacing(0);
    c.Notebook1 = new QStackedWidget(middle);
    c.Notebook1->setObjectName("Notebook1");
    c.TabRichEdit = new QWidget;
    c.TabRichEdit->setObjectName("TabRichEdit");
    c.TabTreeView = new QWidget;
    c.TabTreeView->setObjectName("TabTreeView");
    auto *l0 = new QVBoxLayout(c.TabRichEdit);
    l0->setContentsMargins(0, 0, 0, 0);
    c.RichEdit1 = new QPlainTextEdit(c.TabRichEdit);
    c.RichEdit1->setObjectName("RichEdit1");
    c.RichEdit1->setAccessibleName("Editor");
    c.RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    l0->addWidget(c.RichEdit1);
    auto *l1 = new QVBoxLayout(c.TabTreeView);
    l1->setContentsMargins(0, 0, 0, 0);
    c.TreeView1 = new QTreeWidget(c.TabTreeView);
    c.TreeView1->setObjectName("TreeView1");
    c.TreeView1->setAccessibleName("Key tree");
    c.TreeView1->setHeaderHidden(true);
    c.TreeView1->setIndentation(19);
    c.TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c.TreeView1->setFocusPolicy(Qt::ClickFocus); // not reached with Tab
    c.TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    c.TreeView1->setUniformRowHeights(true);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSize(9);
    c.TreeView1->setFont(mono); // listing lines line up by column
    l1->addWidget(c.TreeView1);
    c.Notebook1->addWidget(c.TabRichEdit);
    c.Notebook1->addWidget(c.TabTreeView);
    row->addWidget(c.Notebook1);
    column->addWidget(middle, 1);

    // User-button panel.
    c.Panel2 = fixedPanel(central, "Panel2");
    c.Panel2->setFixedHeight(36);
    const int ubX[5] = {8, 139, 270, 401, 532};
    for (int i = 0; i < 5; ++i) {
        auto *b = new QPushButton(c.Panel2);
        b->setObjectName(QStringLiteral("bu%1").arg(i + 13));
        b->setGeometry(ubX[i], 6, 131, 22);
        b->setProperty("Tag", i + 13);
        c.bu[12 + i] = b;
    }
    column->addWidget(c.Panel2);
    w.setCentralWidget(central);

    // Status bar: the hint line (400 pixels) and the command panel.
    c.StatusBar1 = new QStatusBar(&w);
    c.StatusBar1->setObjectName("StatusBar1");
    c.StatusBar1->setFixedHeight(19);
    c.StatusBar1->setSizeGripEnabled(true);
    c.StatusPanel0 = new QLabel(c.StatusBar1);
    c.StatusPanel0->setObjectName("StatusPanel0");
    c.StatusPanel0->setAccessibleName("Hint line");
    c.StatusPanel0->setFixedWidth(400);
    c.StatusPanel0->setFrameShape(QFrame::Panel);
    c.StatusPanel0->setFrameShadow(QFrame::Sunken);
    c.StatusPanel1 = new QLabel(c.StatusBar1);
    c.StatusPanel1->setObjectName("StatusPanel1");
    c.StatusPanel1->setAccessibleName("Status");
    c.StatusPanel1->setMinimumWidth(50);
    c.StatusPanel1->setFrameShape(QFrame::Panel);
    c.StatusPanel1->setFrameShadow(QFrame::Sunken);
    c.StatusBar1->addWidget(c.StatusPanel0);
    c.StatusBar1->addWidget(c.StatusPanel1, 1);
    w.setStatusBar(c.StatusBar1);
}

void buildMenus(QMainWindow &w, MainWindowControls &c)
{
    QMenuBar *mb = w.menuBar();
    mb->setObjectName("MainMenu1");
    auto topMenu = [&](QMenu *&member, const char *name) {
        member = new QMenu(&w);
        member->setObjectName(name);
        mb->addMenu(member);
    };

    topMenu(c.Projekt1, "Projekt1");
    addAction(w, c.Projekt1, c.muSetup, "muSetup");
    addAction(w, c.Projekt1, c.muMantra, "muMantra");
    addAction(w, c.Projekt1, c.muDelMantra, "muDelMantra", QKeySequence(Qt::CTRL | Qt::Key_L));
    c.Projekt1->addSeparator();
    addAction(w, c.Projekt1, c.muQuit, "muQuit", QKeySequence(Qt::CTRL | Qt::Key_B));
    // The "&Projekt" menu itself answers Ctrl+P.
    auto *projektKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), &w);
    QObject::connect(projektKey, &QShortcut::activated, &w, [&w, &c] {
        w.menuBar()->setActiveAction(c.Projekt1->menuAction());
    });

    topMenu(c.Bearbeiten1, "Bearbeiten1");
    addAction(w, c.Bearbeiten1, c.muCut, "muCut", QKeySequence(Qt::CTRL | Qt::Key_X));
    addAction(w, c.Bearbeiten1, c.muCopy, "muCopy", QKeySequence(Qt::CTRL | Qt::Key_C));
    addAction(w, c.Bearbeiten1, c.muPaste, "muPaste", QKeySequence(Qt::CTRL | Qt::Key_V));

    topMenu(c.UserButtons1, "UserButtons1");
    addAction(w, c.UserButtons1, c.muHideUb, "muHideUb");
    c.muHideUb->setCheckable(true);
    c.muHideUb->setChecked(true);

    topMenu(c.Hilfe1, "Hilfe1");
    addAction(w, c.Hilfe1, c.muHelp, "muHelp");
    c.Hilfe1->addSeparator();
    addAction(w, c.Hilfe1, c.muInfo, "muInfo");

    // Editor context menu; its shortcuts apply while the editor has the focus.
    c.PopupMenu1 = new QMenu(&w);
    c.PopupMenu1->setObjectName("PopupMenu1");
    c.Datei1 = c.PopupMenu1->addMenu(QString());
    c.Datei1->setObjectName("Datei1");
    addAction(w, c.Datei1, c.Neu1, "Neu1");
    addAction(w, c.Datei1, c.pmuOpen, "pmuOpen");
    addAction(w, c.Datei1, c.PmuSave, "PmuSave");
    addAction(w, c.Datei1, c.PmuSaveAs, "PmuSaveAs");
    addAction(w, c.PopupMenu1, c.Drucken1, "Drucken1");
    c.PopupMenu1->addSeparator();
    addAction(w, c.PopupMenu1, c.PmuCut, "PmuCut");
    addAction(w, c.PopupMenu1, c.PmuCopy, "PmuCopy");
    addAction(w, c.PopupMenu1, c.PmuPaste, "PmuPaste");
    addAction(w, c.PopupMenu1, c.PmuClear, "PmuClear");
    c.PopupMenu1->addSeparator();
    addAction(w, c.PopupMenu1, c.PmuMarkAll, "PmuMarkAll", QKeySequence(Qt::CTRL | Qt::Key_A));
    addAction(w, c.PopupMenu1, c.pmuFont, "pmuFont");
    addAction(w, c.PopupMenu1, c.pmuZBruch, "pmuZBruch");
    c.pmuZBruch->setCheckable(true);
    c.PopupMenu1->addSeparator();
    addAction(w, c.PopupMenu1, c.pmuAdd, "pmuAdd", QKeySequence(Qt::CTRL | Qt::Key_K));
    addAction(w, c.PopupMenu1, c.PmuEncrypt, "PmuEncrypt", QKeySequence(Qt::CTRL | Qt::Key_R));
    addAction(w, c.PopupMenu1, c.PmuDecrypt, "PmuDecrypt", QKeySequence(Qt::CTRL | Qt::Key_E));
    addAction(w, c.PopupMenu1, c.PmuSig, "PmuSig", QKeySequence(Qt::CTRL | Qt::Key_S));
    c.PopupMenu1->addSeparator();
    addAction(w, c.PopupMenu1, c.pmuTreeView, "pmuTreeView", QKeySequence(Qt::CTRL | Qt::Key_T));
    for (QAction *a : c.PopupMenu1->actions())
        if (!a->shortcut().isEmpty()) {
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            c.RichEdit1->addAction(a);
        }
    QObject::connect(c.RichEdit1, &QWidget::customContextMenuRequested, &w,
            [&c](const QPoint &pos) { c.PopupMenu1->popup(c.RichEdit1->mapToGlobal(pos)); });

    // Tree context menu.
    c.PopupMenu2 = new QMenu(&w);
    c.PopupMenu2->setObjectName("PopupMenu2");
    addAction(w, c.PopupMenu2, c.Fingerprintzeigen1, "Fingerprintzeigen1");
    addAction(w, c.PopupMenu2, c.ASCIIKeyspeichern1, "ASCIIKeyspeichern1");
    addAction(w, c.PopupMenu2, c.Keyspeichern1, "Keyspeichern1");
    addAction(w, c.PopupMenu2, c.Keylschen1, "Keylschen1");
    c.PopupMenu2->addSeparator();
    addAction(w, c.PopupMenu2, c.Neueinlesen1, "Neueinlesen1");
    addAction(w, c.PopupMenu2, c.Allesffnen1, "Allesffnen1");
    addAction(w, c.PopupMenu2, c.Allesschlieen1, "Allesschlieen1");
    c.PopupMenu2->addSeparator();
    addAction(w, c.PopupMenu2, c.UmschaltenzumEditor, "UmschaltenzumEditor", QKeySequence(Qt::CTRL | Qt::Key_E));
    c.UmschaltenzumEditor->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    c.TreeView1->addAction(c.UmschaltenzumEditor);
    QObject::connect(c.TreeView1, &QWidget::customContextMenuRequested, &w,
            [&c](const QPoint &pos) { c.PopupMenu2->popup(c.TreeView1->viewport()->mapToGlobal(pos)); });

    // The shared dialogs.
    const QString filter = "(*.asc,*.pgp,*.sig)|*.asc;*.pgp;*.sig|(*.txt)|*.txt|(*.*)|*.*";
    c.OpenDialog1.filter = filter;
    c.SaveDialog1.filter = filter;
    c.SaveDialog1.overwritePrompt = true;
}

class ButtonReleaseFilter : public QObject {
public:
    ButtonReleaseFilter(QObject *parent, std::function<void(QPushButton *, Qt::MouseButton)> release)
        : QObject(parent), release_(std::move(release))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() != QEvent::MouseButtonRelease)
            return false;
        auto *b = qobject_cast<QPushButton *>(watched);
        if (!b)
            return false;
        const Qt::MouseButton button = static_cast<QMouseEvent *>(e)->button();
        // The button comes up first, then the command runs (it may wait long).
        static_cast<QObject *>(b)->event(e);
        release_(b, button);
        return true;
    }

private:
    std::function<void(QPushButton *, Qt::MouseButton)> release_;
};

class TreeRightPressFilter : public QObject {
public:
    explicit TreeRightPressFilter(QTreeWidget *tree) : QObject(tree), tree_(tree) {}

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::MouseButtonPress)
            return false;
        auto *m = static_cast<QMouseEvent *>(e);
        if (m->button() != Qt::RightButton)
            return false;
        if (QTreeWidgetItem *item = tree_->itemAt(m->position().toPoint())) {
            tree_->setCurrentItem(item);
            item->setSelected(true);
        }
        return true;
    }

private:
    QTreeWidget *tree_;
};

} // namespace

void buildMainWindowControls(QMainWindow &w, MainWindowControls &c)
{
    w.setFont(windowFont());
    buildControls(w, c);
    buildMenus(w, c);
}

void onButtonRelease(MainWindowControls &c, std::function<void(QPushButton *, Qt::MouseButton)> release)
{
    auto *filter = new ButtonReleaseFilter(c.Panel1, std::move(release));
    for (QPushButton *b : c.bu)
        b->installEventFilter(filter);
}

void selectOnRightPress(QTreeWidget *tree)
{
    tree->viewport()->installEventFilter(new TreeRightPressFilter(tree));
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
}
