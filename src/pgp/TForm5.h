#pragma once
// The wait dialog of the key tree read: a key counter, a progress bar that
// runs 1..100 and starts again, and a cancel button that raises
// CancelRequested for the reader to act on.

#include "commands/CommandHost.h"

#include <QDialog>
#include <memory>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace app {
struct AppState;
}

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(app::AppState &st, QWidget *parent = nullptr);
    // A new dialog in a window of its own, on the screen and painted, fed by
    // the read; it goes when the read lets go of it.
    static std::unique_ptr<commands::TreeReadProgress> showForTreeRead(app::AppState &st);

    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label2 = nullptr; // the count label
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *Label1 = nullptr; // lies beyond the frame's width, as designed
    QPushButton *Button1 = nullptr;

    void Button1Click();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override; // Escape does not end the read

private:
    app::AppState &st_;
};
