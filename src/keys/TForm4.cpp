#include "keys/TForm4.h"

#include "app/AppState.h"
#include "app/TextCatalog.h"
#include "pgp/RunPgp.h"
#include "ui/ApplyTexts.h"
#include "ui/Text.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace keys {

namespace {
const char *const kColumns[4] = {"Bits", "Key-ID", "Datum", "User-ID"};
const int kColumnWidths[4] = {36, 70, 80, 296};

QString latin1(const std::string &s) { return ui::fromCp1252(s); }
} // namespace

void UserListModel::setRows(const std::vector<UserRow> &rows)
{
    beginResetModel();
    rows_.clear();
    rawKeyIds_.clear();
    rows_.reserve(rows.size());
    rawKeyIds_.reserve(rows.size());
    for (const UserRow &r : rows) {
        rows_.push_back({latin1(r.bits), latin1(r.keyId), latin1(r.date), latin1(r.userId)});
        rawKeyIds_.push_back(r.keyId);
    }
    endResetModel();
}

void UserListModel::clear() { setRows({}); }

int UserListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int UserListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 4; }

QVariant UserListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return rows_[std::size_t(index.row())][std::size_t(index.column())];
    return {};
}

QVariant UserListModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return QString::fromLatin1(kColumns[section]);
    return {};
}

} // namespace keys

TForm4::TForm4(app::AppState &st, QWidget *parent) : QDialog(parent), st_(st)
{
    setObjectName("Form4");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    resize(515, 478);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    model = new keys::UserListModel(this);
    ListView1 = new QTableView(this);
    ListView1->setObjectName("ListView1");
    ListView1->setAccessibleName("User list");
    ListView1->setModel(model);
    ListView1->setShowGrid(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSortingEnabled(false);
    ListView1->setWordWrap(false);
    ListView1->setMouseTracking(true); // hot tracking of the row under the mouse
    ListView1->setTabKeyNavigation(false);
    QHeaderView *v = ListView1->verticalHeader();
    v->hide();
    // Uniform rows: the view never measures ten thousand of them.
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(ListView1->fontMetrics().height() + 4);
    QHeaderView *h = ListView1->horizontalHeader();
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    h->setStretchLastSection(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The widths are measured for a narrow list font: a column too narrow
    // for its widest field in this font is widened (and the window with it),
    // so key sizes, IDs and dates are never cut.
    int extra = 0;
    for (int c = 0; c < 4; ++c) {
        h->setSectionResizeMode(c, QHeaderView::Interactive);
        const int w = std::max(keys::kColumnWidths[c], columnWidthFor(c));
        extra += w - keys::kColumnWidths[c];
        h->resizeSection(c, w);
    }
    if (extra > 0)
        resize(width() + extra, height());
    ListView1->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
    column->addWidget(ListView1, 1);

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(32);
    Panel1->installEventFilter(this);
    Label1 = new QLabel(Panel1);
    Label1->setObjectName("Label1");
    Label1->move(8, 8);
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName("Edit1");
    Edit1->installEventFilter(this);
    Label1->setBuddy(Edit1);
    column->addWidget(Panel1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(true);
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setObjectName("StatusPanel");
    StatusBar1->addWidget(StatusPanel, 1);
    column->addWidget(StatusBar1);

    ui::applyControlTexts(this, app::germanTexts(app::Window::Chooser));
    if (st_.english())
        ui::applyControlTexts(this, app::englishTexts(app::Window::Chooser));
    Label1->adjustSize();
    Edit1->setAccessibleName(Label1->text());
    layoutPanel();
}

void TForm4::LoadUserList()
{
    st_.recipientArg.clear();
    model->clear();
    const std::string path = st_.inAppDir("ID.txt");
    std::string listing;
    try {
        listing = st_.sys.fs->readWorkingFile(path);
    } catch (const platform::PlatformError &e) {
        // The plain "Datei nicht gefunden" does not say which file.
        if (e.kind() == platform::PlatformError::Kind::NotFound && e.path() == path
            && std::string(e.what()).find(path) == std::string::npos)
            throw platform::PlatformError(e.kind(), std::string(e.what()) + ": " + pgp::toMessageText(path), path,
                                          e.sysError());
        throw;
    }
    LoadUserList(listing);
}

void TForm4::LoadUserList(const std::string &listing)
{
    st_.recipientArg.clear();
    st_.typedUserId.reset();
    model->setRows(keys::userRows(listing));
    StatusPanel->setText(QString::fromStdString(st_.texts.msg(app::Msg::KeyCount))
                         + QString::number(model->rowCount()));
}

int TForm4::columnWidthFor(int column) const
{
    // The widest text each fixed-width field can hold, and the header.
    static const char *const widest[3] = {" 8888", "DDDDDDDD", " 8888/88/88"};
    const QFontMetrics fm(ListView1->font());
    const QFontMetrics hm(ListView1->horizontalHeader()->font());
    // A cell's text margins, and room for the header's sort arrow space.
    const int margin = 2 * (ListView1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ListView1) + 1) + 4;
    int w = hm.horizontalAdvance(QString::fromLatin1(keys::kColumns[column])) + margin + 8;
    if (column < 3)
        w = std::max(w, fm.horizontalAdvance(QString::fromLatin1(widest[column])) + margin);
    return w;
}

int TForm4::selectedRow() const
{
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TForm4::ListView1DblClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    st_.recipientArg = "0x" + model->keyId(row);
    st_.typedUserId.reset();
    accept();
}

void TForm4::Edit1Enter()
{
    // PGP gets Windows Latin-1: a user ID that cannot be written so would
    // name somebody else.
    std::string typed;
    if (!ui::toCp1252(Edit1->text(), typed)) {
        if (st_.dialogs)
            st_.dialogs->errorBox(st_.english() ? "The user ID holds characters outside Windows Latin-1."
                                                : "Die User-ID enthält Zeichen außerhalb von Windows-Latin-1.");
        return;
    }
    // One argument for pgp whatever it holds, but never an option: the
    // field stays open for a correction.
    if (pgp::optionLikeArgument({typed})) {
        if (st_.dialogs)
            st_.dialogs->errorBox(pgp::recipientRefusalText(st_, typed));
        return;
    }
    st_.recipientArg = "\"" + typed + "\"";
    st_.typedUserId = typed;
    accept();
}

bool TForm4::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == ListView1->viewport()) {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
            // A click below the rows clears the selection, as a list does.
            auto *m = static_cast<QMouseEvent *>(e);
            if (!ListView1->indexAt(m->position().toPoint()).isValid()) {
                ListView1->clearSelection();
                return true;
            }
        }
        if (e->type() == QEvent::MouseButtonDblClick) {
            ListView1->setCurrentIndex(
                ListView1->indexAt(static_cast<QMouseEvent *>(e)->position().toPoint()));
            ListView1DblClick();
            return true;
        }
    }
    if (watched == Panel1 && e->type() == QEvent::Resize)
        layoutPanel();
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        if (watched == ListView1 && enter) {
            ListView1DblClick();
            return true; // never the dialog's default button
        }
        if (watched == Edit1 && enter) {
            Edit1Enter();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TForm4::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    // Opened by a hotkey, another program may be in front.
    raise();
    activateWindow();
    ListView1->setFocus();
}

void TForm4::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    layoutPanel();
}

void TForm4::layoutPanel()
{
    if (!Edit1)
        return;
    const int w = Panel1->width() - 12 - Label1->x() - Label1->width();
    const int h = Edit1->sizeHint().height();
    Edit1->setGeometry(Label1->x() + Label1->width() + 4, (32 - h) / 2, std::max(0, w), h);
    Label1->move(Label1->x(), (32 - Label1->height()) / 2);
}
