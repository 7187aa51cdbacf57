#pragma once
// The button setup dialog: edits one ButtonRecord of the table. Created once
// and shown modally for each right release on a command button.

#include <QDialog>
#include <QRect>

#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
namespace app {
struct AppState;
class FileDialog;
} // namespace app

namespace buttons {
struct ButtonRecord;
}

class TFormButtSetup : public QDialog {
    Q_OBJECT
public:
    // The dialog belongs to the main window (a window of its own over it):
    // it edits st.buttons, has the window's buttons relabelled and uses its
    // open dialog.
    TFormButtSetup(app::AppState &st, app::FileDialog &openDialog, std::function<void()> relabelButtons,
                   QWidget *mainWindow);

    QGroupBox *GroupBox1 = nullptr, *GroupBox2 = nullptr, *GroupBox3 = nullptr, *GroupBox4 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QLineEdit *edTitel = nullptr, *edToolTip = nullptr, *edCMD = nullptr, *edFName = nullptr;
    QCheckBox *cbOpen = nullptr, *cbSave = nullptr, *cbUser = nullptr;
    QRadioButton *rbDOS = nullptr, *rbQuorbix = nullptr, *rbDivert = nullptr;
    QToolButton *sbFileReq = nullptr;
    QCheckBox *cbCloseAtEnd = nullptr, *cbShowDos = nullptr, *cbUpdateUserList = nullptr, *cbFromRTF = nullptr;
    QPushButton *BitBtn1 = nullptr, *BitBtn2 = nullptr, *BitBtn3 = nullptr;

    // Puts record n (1..17) into the controls; edTitel's "Tag" holds n.
    void fill(int n);
    // fill(n), then modal; returns the dialog's result.
    int showFor(int n);
    // The language's texts (again after the settings dialog was confirmed).
    void applyTexts();

    void FormShow();
    void rbDOSEnter();
    void rbQuorbixEnter();
    void rbDivertEnter();
    void sbFileReqClick();
    void BitBtn1Click();
    void BitBtn3Click();

    // The client area the layout is measured for; relayout() widens it by
    // widthScale() so the captions of the current font and language fit.
    static constexpr int kWidth = 391, kHeight = 257;
    double widthScale() const;

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    enum class Output { Console, Program, File };
    void applyOutputRow(Output o);
    void relayout();
    app::AppState &st_;
    app::FileDialog &openDialog_;
    std::function<void()> relabelButtons_;
    std::vector<std::pair<QWidget *, QRect>> baseGeometry_;
};
