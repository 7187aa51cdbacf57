#include "commands/KeyTreeCommands.h"

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "app/Pictures.h"
#include "commands/CommandHost.h"
#include "crypt/EditorFiles.h"
#include "keys/Listing.h"
#include "pgp/RunPgp.h"
#include "ui/Text.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <optional>

namespace commands {

int ReadKeyTree::pumpIntervalMs = 10;

namespace {

QString latin1(std::string_view s) { return ui::fromCp1252(s); }

QString keyCountText(const app::AppState &st)
{
    return QString::fromStdString(st.texts.msg(app::Msg::KeyCount)) + QString::number(st.keyCount);
}

// Enables the window again however the read ends.
class WindowDisabled {
public:
    explicit WindowDisabled(CommandHost &host) : host_(host) { host_.setWindowEnabled(false); }
    ~WindowDisabled() { host_.setWindowEnabled(true); }
    WindowDisabled(const WindowDisabled &) = delete;
    WindowDisabled &operator=(const WindowDisabled &) = delete;

private:
    CommandHost &host_;
};

// A key's signature and user ID lines wait, as the listing's bytes, until the key is
// first opened: a large ring has eight rows below each key, and a row costs far more
// memory than its line (and as much time to make).
constexpr int PendingChildren = Qt::UserRole + 1;

// A row below a key (or before the first key), with the signature picture.
QTreeWidgetItem *childRow(std::string_view line)
{
    static const QIcon sigIcon(app::pictures::treeSig());
    auto *row = new QTreeWidgetItem(QStringList(latin1(line)));
    row->setIcon(0, sigIcon);
    return row;
}

void loadChildren(QTreeWidgetItem *key)
{
    const QVariant pending = key->data(0, PendingChildren);
    if (!pending.isValid())
        return;
    key->setData(0, PendingChildren, QVariant());
    const QByteArray bytes = pending.toByteArray();
    QList<QTreeWidgetItem *> children;
    for (std::string_view line : keys::textLines(std::string_view(bytes.constData(), std::size_t(bytes.size()))))
        children.append(childRow(line));
    key->addChildren(children);
}

void loadAllChildren(QTreeWidget &tree)
{
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        loadChildren(tree.topLevelItem(i));
}

void fillTree(CommandHost &host, TreeReadProgress *progress)
{
    app::AppState &st = host.state();
    QTreeWidget &tree = host.keyTree();
    host.showPage(CommandHost::Page::KeyTree);
    // A large old tree goes faster without a repaint per removed row.
    tree.setUpdatesEnabled(false);
    tree.clear();
    tree.setUpdatesEnabled(true);
    st.keyCount = 0;
    int step = 0;
    int barPosition = 0; // the progress bar's position after the last key line

    const std::string bytes = st.sys.fs->readWorkingFile(st.inAppDir("Tree.txt"));

    static const QIcon keyIcon(app::pictures::treeKey());

    tree.setUpdatesEnabled(false);
    // Nodes wait here and go into the tree in one insertion at the end (or at
    // the cancel): a tree that grows while messages are let through lays out
    // all its rows again at every pump.
    QList<QTreeWidgetItem *> pending;
    auto flush = [&] {
        if (!pending.isEmpty()) {
            tree.addTopLevelItems(pending);
            pending.clear();
        }
        tree.setUpdatesEnabled(true);
    };
    QTreeWidgetItem *current = nullptr;
    std::string currentChildren; // the current key's lines below it, joined by line ends
    auto closeKey = [&] {
        if (current && !currentChildren.empty()) {
            current->setData(0, PendingChildren, QByteArray(currentChildren.data(), qsizetype(currentChildren.size())));
            current->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
        currentChildren.clear();
    };
    if (!tree.property("quorbixLoadsChildren").toBool()) {
        tree.setProperty("quorbixLoadsChildren", true);
        QObject::connect(&tree, &QTreeWidget::itemExpanded, &tree, [](QTreeWidgetItem *item) { loadChildren(item); });
    }
    QElapsedTimer sincePump;
    sincePump.start();

    for (std::string_view line : keys::textLines(bytes)) {
        if (ReadKeyTree::pumpIntervalMs <= 0 || sincePump.elapsed() >= ReadKeyTree::pumpIntervalMs) {
            // The dialog shows what it is given when it paints; a progress bar
            // repaints at once on every change, so it gets the figures here.
            if (progress && barPosition > 0)
                progress->show(st.keyCount, barPosition);
            st.processEvents();
            sincePump.restart();
        }
        if (st.cancelRequested) {
            closeKey();
            flush();
            host.setStatusText(QString::fromStdString(st.texts.msg(app::Msg::TreeReadAborted)));
            st.cancelRequested = false;
            return;
        }
        switch (keys::classifyTreeLine(line)) {
        case keys::TreeLine::Key:
            closeKey();
            ++st.keyCount;
            ++step;
            current = new QTreeWidgetItem(QStringList(latin1(line)));
            current->setIcon(0, keyIcon);
            pending.append(current);
            barPosition = step;
            if (step == 100)
                step = 0;
            break;
        case keys::TreeLine::Child: {
            if (current) {
                currentChildren.append(line);
                currentChildren += '\n';
                break;
            }
            pending.append(childRow(line));
            break;
        }
        case keys::TreeLine::Skip:
            break;
        }
    }
    closeKey();
    flush();
    host.setStatusText(keyCountText(st));
    if (progress)
        progress->clearCount();
}

// The selected node's key ID, or nothing when no node names a key.
std::optional<std::string> selectedKeyId(QTreeWidget &tree)
{
    if (tree.topLevelItemCount() == 0)
        return std::nullopt;
    const QList<QTreeWidgetItem *> sel = tree.selectedItems();
    if (sel.isEmpty())
        return std::nullopt;
    const QByteArray text = sel.first()->text(0).toLatin1();
    std::string id = keys::keyIdText(std::string_view(text.constData(), std::size_t(text.size())));
    if (keys::isBlankKeyId(id))
        return std::nullopt;
    return id;
}

pgp::RunOutcome runKeyCommand(app::AppState &st, const char *options, const std::string &id,
                              const std::string &file = {})
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
    return pgp::RunPgp(st, req);
}

// PGP's report in the editor. A report that cannot be read is said so, and
// the editor page is shown all the same.
void showReport(CommandHost &host, const pgp::RunOutcome &run)
{
    app::AppState &st = host.state();
    cryptcmd::loadRunResult(st, &host.editor(), run, st.inAppDir("out.txt"));
    host.showPage(CommandHost::Page::Editor);
}

} // namespace

void ReadKeyTree::start(CommandHost &host)
{
    app::AppState &st = host.state();
    st.processEvents();
    const std::string tree = st.inAppDir("Tree.txt");
    st.sys.fs->remove(tree); // a stale listing is never read

    pgp::RunRequest req;
    req.options = "-kvv ";
    req.outputFile = tree;
    req.windowMode = 0;
    // Without a listing of its own (RunPgp has said why) the tree stays.
    if (!pgp::RunPgp(st, req).wrote(tree))
        return;

    // The dialog paints before the old tree is cleared (which takes a while
    // for a large ring), so the user never sees an empty frame.
    const std::unique_ptr<TreeReadProgress> progress = host.showTreeReadProgress();
    WindowDisabled disabled(host);
    fillTree(host, progress.get());
}

void ShowKeyTree::start(CommandHost &host)
{
    host.showPage(CommandHost::Page::KeyTree);
    host.setStatusText(keyCountText(host.state()));
}

void ShowEditor::start(CommandHost &host)
{
    host.showPage(CommandHost::Page::Editor);
    host.setStatusText({});
}

void ExpandKeyTree::start(CommandHost &host)
{
    loadAllChildren(host.keyTree());
    host.keyTree().expandAll();
}

void CollapseKeyTree::start(CommandHost &host) { host.keyTree().collapseAll(); }

void ShowFingerprint::start(CommandHost &host)
{
    const auto id = selectedKeyId(host.keyTree());
    if (!id)
        return;
    host.editor().clear();
    host.state().processEvents();
    showReport(host, runKeyCommand(host.state(), "-kvc ", *id));
}

void ExportKey::start(CommandHost &host)
{
    const auto id = selectedKeyId(host.keyTree());
    if (!id)
        return;
    app::AppState &st = host.state();
    app::FileDialog &dlg = host.saveDialog();
    // The binary export empties the editor before the dialog, the armoured
    // one only once a file is chosen.
    if (!armoured_)
        host.editor().clear();
    st.processEvents();
    dlg.fileName = QString::fromLatin1(id->c_str());
    if (dlg.execute(host.dialogParent())) {
        if (armoured_)
            host.editor().clear();
        st.processEvents();
        showReport(host,
                   runKeyCommand(st, armoured_ ? "-kxa " : "-kx ", *id, QFile::encodeName(dlg.fileName).toStdString()));
    }
    // The key's name is not proposed to the next save.
    dlg.fileName.clear();
}

void RemoveKey::start(CommandHost &host)
{
    const auto id = selectedKeyId(host.keyTree());
    if (!id)
        return;
    app::AppState &st = host.state();
    if (st.dialogs->confirmOkCancel(st.texts.msg(app::Msg::AreYouSure)) != ui::Answer::Ok)
        return;
    host.editor().clear();
    showReport(host, runKeyCommand(st, "-kr ", *id));
}

} // namespace commands
