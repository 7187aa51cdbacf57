#include "pgp/TForm5.h"

#include "app/AppState.h"
#include "app/TextCatalog.h"
#include "ui/ApplyTexts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

TForm5::TForm5(app::AppState &st, QWidget *parent) : QDialog(parent), st_(st)
{
    setObjectName("Form5");
    // Caption only: no title-bar buttons; on top of the disabled main window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setFixedSize(209, 98);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(6, 6, 196, 64);

    Label2 = new QLabel(GroupBox1);
    Label2->setObjectName("Label2");
    Label2->setGeometry(24, 15, 139, 16);
    Label2->setAlignment(Qt::AlignCenter);
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    QPalette pal = Label2->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    Label2->setPalette(pal);
    Label2->setAccessibleName("Keys read");

    ProgressBar1 = new QProgressBar(GroupBox1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(15, 36, 166, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName("Progress");

    Label1 = new QLabel(GroupBox1);
    Label1->setObjectName("Label1");
    Label1->move(232, 16);
    Label1->setFont(bold);

    Button1 = new QPushButton(this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(63, 74, 79, 23);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    ui::applyControlTexts(this, app::germanTexts(app::Window::WaitDialog));
    if (st_.english())
        ui::applyControlTexts(this, app::englishTexts(app::Window::WaitDialog));
    GroupBox1->setAccessibleName(windowTitle());
}

void TForm5::Button1Click()
{
    st_.cancelRequested = true;
}

void TForm5::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TForm5::closeEvent(QCloseEvent *e)
{
    // Only the reader ends the dialog.
    e->ignore();
}

void TForm5::reject() {}

namespace {

// The key tree read's wait dialog, in a window of its own so that disabling
// the main window leaves its cancel button live.
class WaitDialogProgress : public commands::TreeReadProgress {
public:
    explicit WaitDialogProgress(app::AppState &st) : dialog_(std::make_unique<TForm5>(st, nullptr))
    {
        dialog_->show();
        showPainted(dialog_.get());
    }
    void show(int keyCount, int barPosition) override
    {
        dialog_->Label2->setText(QString::number(keyCount));
        dialog_->ProgressBar1->setValue(barPosition);
    }
    void clearCount() override { dialog_->Label2->clear(); }

private:
    // Lets window messages through until the dialog is on the screen and
    // painted, for at most half a second (a server that never exposes it
    // must not stop the read).
    static void showPainted(QWidget *w)
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
    std::unique_ptr<TForm5> dialog_;
};

} // namespace

std::unique_ptr<commands::TreeReadProgress> TForm5::showForTreeRead(app::AppState &st)
{
    return std::make_unique<WaitDialogProgress>(st);
}
