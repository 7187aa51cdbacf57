#include "pgp/TForm5.h"

#include "app/AppState.h"
#include "app/TextCatalog.h"
#include "ui/ApplyTexts.h"

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
