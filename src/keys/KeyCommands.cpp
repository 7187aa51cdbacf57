// The key tree (PGP's verbose listing), the recipient chooser over the short
// listing, and the key commands of the tree's context menu.
#include "app/TForm1.h"
#include "app/Pictures.h"
#include "keys/KeyTree.h"
#include "keys/Listing.h"
#include "keys/TForm4.h"
#include "pgp/RunPgp.h"
#include "pgp/TForm5.h"
#include "ui/Cursor.h"

#include <QAction>
#include <QCoreApplication>
#include <QThread>
#include <QWindow>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QStackedWidget>
#include <QToolButton>
#include <optional>
#include <QTreeWidget>

namespace keys {
int treeReadPumpMs = 10;
}

namespace {

// The wait dialog of the read in progress (there is at most one: the read
// is guarded by CommandBusy).
QPointer<TForm5> g_waitDialog;

QString latin1(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

QString keyCountText(const app::AppState &st)
{
    return QString::fromStdString(st.texts.msg(app::Msg::KeyCount)) + QString::number(st.keyCount);
}

// Right press on the tree: the node under the mouse becomes the selected
// one before the context menu opens; on empty space the selection stays.
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

std::string pathBytes(const QString &path) { return QFile::encodeName(path).toStdString(); }

// Lets window messages through until the window is on the screen and
// painted, for at most half a second (a server that never exposes it must
// not stop the read).
void showPainted(QWidget *w)
{
    QElapsedTimer t;
    t.start();
    QCoreApplication::processEvents();
    while (w->windowHandle() && !w->windowHandle()->isExposed() && t.elapsed() < 500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    w->repaint();
    QCoreApplication::processEvents();
}

} // namespace

void TForm1::connectKeyCommands()
{
    connect(buReadTree, &QToolButton::clicked, this, [this] { buReadTreeClick(); });
    connect(Neueinlesen1, &QAction::triggered, this, [this] { buReadTreeClick(); });
    connect(pmuTreeView, &QAction::triggered, this, [this] { pmuTreeViewClick(); });
    connect(UmschaltenzumEditor, &QAction::triggered, this, [this] { UmschaltenzumEditorClick(); });
    connect(Allesffnen1, &QAction::triggered, this, [this] { Allesffnen1Click(); });
    connect(Allesschlieen1, &QAction::triggered, this, [this] { Allesschlieen1Click(); });
    connect(Fingerprintzeigen1, &QAction::triggered, this, [this] { Fingerprintzeigen1Click(); });
    connect(ASCIIKeyspeichern1, &QAction::triggered, this, [this] { ASCIIKeyspeichern1Click(); });
    connect(Keyspeichern1, &QAction::triggered, this, [this] { Keyspeichern1Click(); });
    connect(Keylschen1, &QAction::triggered, this, [this] { Keylschen1Click(); });
    TreeView1->viewport()->installEventFilter(new TreeRightPressFilter(TreeView1));
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
}

// ---- key tree ---------------------------------------------------------------

void TForm1::buReadTreeClick()
{
    if (st_.commandBusy)
        return;
    st_.commandBusy = true;
    ui::setBusyCursor();
    st_.processEvents();
    const std::string tree = st_.inAppDir("Tree.txt");
    st_.sys.fs->remove(tree); // a stale listing is never read

    pgp::RunRequest req;
    req.options = "-kvv ";
    req.outputFile = tree;
    req.windowMode = 0;
    pgp::RunPgp(st_, req);

    // A window of its own, so that disabling the main window leaves its
    // cancel button live.
    auto *wait = new TForm5(st_, nullptr);
    g_waitDialog = wait;
    wait->show();
    setEnabled(false);
    // The dialog paints before the old tree is cleared (which takes a while
    // for a large ring), so the user never sees an empty frame.
    showPainted(wait);
    try {
        ReadKeyTree();
    } catch (const std::exception &e) {
        st_.dialogs->platformError(e.what());
    }
    delete wait;
    setEnabled(true);
    ui::restoreDefaultCursor();
    st_.commandBusy = false;
}

void TForm1::ReadKeyTree()
{
    TForm5 *wait = g_waitDialog;
    Notebook1->setCurrentIndex(1);
    // A large old tree goes faster without a repaint per removed row.
    TreeView1->setUpdatesEnabled(false);
    TreeView1->clear();
    TreeView1->setUpdatesEnabled(true);
    st_.keyCount = 0;
    int step = 0;
    int barPosition = 0; // the progress bar's position after the last key line

    std::string bytes;
    try {
        bytes = st_.sys.fs->readFile(st_.inAppDir("Tree.txt"));
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(e.what());
        return;
    }

    static const QIcon keyIcon(app::pictures::treeKey());
    static const QIcon sigIcon(app::pictures::treeSig());

    TreeView1->setUpdatesEnabled(false);
    // Nodes wait here and go into the tree in one insertion at the end (or at
    // the cancel): a tree that grows while messages are let through lays out
    // all its rows again at every pump.
    QList<QTreeWidgetItem *> pending;
    auto flush = [&] {
        if (!pending.isEmpty()) {
            TreeView1->addTopLevelItems(pending);
            pending.clear();
        }
    };
    QTreeWidgetItem *current = nullptr;
    QElapsedTimer sincePump;
    sincePump.start();

    for (std::string_view line : keys::textLines(bytes)) {
        if (keys::treeReadPumpMs <= 0 || sincePump.elapsed() >= keys::treeReadPumpMs) {
            // The dialog shows what it is given when it paints; a progress bar
            // repaints at once on every change, so it gets the figures here.
            if (wait && barPosition > 0) {
                wait->Label2->setText(QString::number(st_.keyCount));
                wait->ProgressBar1->setValue(barPosition);
            }
            st_.processEvents();
            sincePump.restart();
        }
        if (st_.cancelRequested) {
            flush();
            TreeView1->setUpdatesEnabled(true);
            StatusPanel1->setText(QString::fromStdString(st_.texts.msg(app::Msg::TreeReadAborted)));
            st_.cancelRequested = false;
            return;
        }
        switch (keys::classifyTreeLine(line)) {
        case keys::TreeLine::Key: {
            ++st_.keyCount;
            ++step;
            current = new QTreeWidgetItem(QStringList(latin1(line)));
            current->setIcon(0, keyIcon);
            pending.append(current);
            barPosition = step;
            if (step == 100)
                step = 0;
            break;
        }
        case keys::TreeLine::Child: {
            auto *child = new QTreeWidgetItem(QStringList(latin1(line)));
            child->setIcon(0, sigIcon);
            if (current)
                current->addChild(child);
            else
                pending.append(child);
            break;
        }
        case keys::TreeLine::Skip:
            break;
        }
    }
    flush();
    TreeView1->setUpdatesEnabled(true);
    StatusPanel1->setText(keyCountText(st_));
    if (wait)
        wait->Label2->clear();
}

void TForm1::pmuTreeViewClick()
{
    Notebook1->setCurrentIndex(1);
    StatusPanel1->setText(keyCountText(st_));
}

void TForm1::UmschaltenzumEditorClick()
{
    Notebook1->setCurrentIndex(0);
    StatusPanel1->clear();
}

void TForm1::Allesffnen1Click() { TreeView1->expandAll(); }

void TForm1::Allesschlieen1Click() { TreeView1->collapseAll(); }

// ---- recipient chooser --------------------------------------------------------

void TForm1::ChooseRecipient()
{
    TForm4 chooser(st_, this);
    try {
        chooser.LoadUserList();
    } catch (const platform::PlatformError &e) {
        st_.recipientSpec.clear();
        st_.dialogs->platformError(e.what());
        return;
    }
    chooser.exec();
    st_.processEvents();
}

// ---- key commands on the tree -------------------------------------------------

namespace {

// Steps 1 to 4 shared by the four commands: the selected node's KeyIdText,
// or nothing (cursor restored) when there is none to act on.
std::optional<std::string> selectedKeyId(QTreeWidget *tree)
{
    if (tree->topLevelItemCount() == 0)
        return std::nullopt;
    ui::setBusyCursor();
    const QList<QTreeWidgetItem *> sel = tree->selectedItems();
    if (sel.isEmpty()) {
        ui::restoreDefaultCursor();
        return std::nullopt;
    }
    const QByteArray text = sel.first()->text(0).toLatin1();
    std::string id = keys::keyIdText(std::string_view(text.constData(), std::size_t(text.size())));
    if (keys::isBlankKeyId(id)) {
        ui::restoreDefaultCursor();
        return std::nullopt;
    }
    return id;
}

void runKeyCommand(app::AppState &st, const char *options, const std::string &id, const std::string &file = {})
{
    pgp::RunRequest req;
    req.options = options;
    req.operand1 = "0x" + id;
    if (!file.empty()) {
        req.operand2 = file;
        req.operand2IsFile = true;
    }
    req.captureOutput = 1;
    req.windowMode = 0;
    pgp::RunPgp(st, req);
}

} // namespace

void TForm1::Fingerprintzeigen1Click()
{
    const auto id = selectedKeyId(TreeView1);
    if (!id)
        return;
    RichEdit1->clear();
    st_.processEvents();
    runKeyCommand(st_, "-kvc ", *id);
    try {
        loadEditorFromFile(st_.inAppDir("out.txt"));
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(e.what());
    }
    Notebook1->setCurrentIndex(0);
    ui::restoreDefaultCursor();
}

void TForm1::ASCIIKeyspeichern1Click()
{
    const auto id = selectedKeyId(TreeView1);
    if (!id)
        return;
    st_.processEvents();
    SaveDialog1.fileName = QString::fromLatin1(id->c_str());
    if (SaveDialog1.execute(this)) {
        RichEdit1->clear();
        st_.processEvents();
        runKeyCommand(st_, "-kxa ", *id, pathBytes(SaveDialog1.fileName));
        try {
            loadEditorFromFile(st_.inAppDir("out.txt"));
        } catch (const platform::PlatformError &e) {
            st_.dialogs->platformError(e.what());
        }
        Notebook1->setCurrentIndex(0);
    }
    SaveDialog1.fileName.clear();
    ui::restoreDefaultCursor();
}

void TForm1::Keyspeichern1Click()
{
    const auto id = selectedKeyId(TreeView1);
    if (!id)
        return;
    RichEdit1->clear();
    st_.processEvents();
    SaveDialog1.fileName = QString::fromLatin1(id->c_str());
    if (SaveDialog1.execute(this)) {
        st_.processEvents();
        runKeyCommand(st_, "-kx ", *id, pathBytes(SaveDialog1.fileName));
        try {
            loadEditorFromFile(st_.inAppDir("out.txt"));
        } catch (const platform::PlatformError &e) {
            st_.dialogs->platformError(e.what());
        }
        Notebook1->setCurrentIndex(0);
    }
    SaveDialog1.fileName.clear();
    ui::restoreDefaultCursor();
}

void TForm1::Keylschen1Click()
{
    const auto id = selectedKeyId(TreeView1);
    if (!id)
        return;
    if (st_.dialogs->confirmOkCancel(st_.texts.msg(app::Msg::AreYouSure)) != ui::Answer::Ok) {
        ui::restoreDefaultCursor();
        return;
    }
    RichEdit1->clear();
    runKeyCommand(st_, "-kr ", *id);
    try {
        loadEditorFromFile(st_.inAppDir("out.txt"));
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(e.what());
    }
    Notebook1->setCurrentIndex(0);
    ui::restoreDefaultCursor();
}
