#pragma once
// The recipient chooser: the keys of ID.txt in a report-style list (grid
// lines, full-row selection), a "UserID :" field for a typed user ID, and
// the row count. The choice is left in recipientArg.

#include "keys/Listing.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <array>
#include <vector>

class QLabel;
class QLineEdit;
class QStatusBar;
class QTableView;

namespace app {
struct AppState;
}

namespace keys {

// The rows of the list as the view asks for them (converted once from
// Latin-1, so scrolling over ten thousand keys converts nothing).
class UserListModel : public QAbstractTableModel {
public:
    explicit UserListModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}
    void setRows(const std::vector<UserRow> &rows);
    void clear();
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Key-ID of a row, as the file held it (Latin-1).
    std::string keyId(int row) const { return rawKeyIds_.at(std::size_t(row)); }

private:
    std::vector<std::array<QString, 4>> rows_;
    std::vector<std::string> rawKeyIds_;
};

} // namespace keys

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(app::AppState &st, QWidget *parent = nullptr);

    QTableView *ListView1 = nullptr;
    keys::UserListModel *model = nullptr;
    QWidget *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel = nullptr; // the status bar's one simple panel

    // Fills the list from AppDir/ID.txt and empties recipientArg.
    // Throws platform::PlatformError when the file cannot be read.
    void LoadUserList();
    void LoadUserList(const std::string &listing); // the same from the text

    void ListView1DblClick();
    void Edit1Enter();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void layoutPanel();
    // Width that column needs in the list's font.
    int columnWidthFor(int column) const;
    int selectedRow() const;
    app::AppState &st_;
};
