#include "browser/TForm2.h"

#include "app/TextCatalog.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

TForm2::TForm2(QWidget *owner) : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("Form2");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(112, 33);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QLabel(QString::fromUtf8(app::fixed::Ready), this);
    Panel1->setObjectName("Panel1");
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(3);
    QFont f("MS Sans Serif");
    f.setPixelSize(13);
    f.setBold(true);
    Panel1->setFont(f);
    Panel1->setAccessibleName(Panel1->text());
    lay->addWidget(Panel1);
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - QPoint(width() / 2, height() / 2));
}

std::function<void(int)> &TForm2::sleepHook()
{
    static std::function<void(int)> hook = [](int ms) { QThread::msleep(ms); };
    return hook;
}

void TForm2::showFor500ms(QWidget *owner)
{
    auto *notice = new TForm2(owner);
    notice->show();
    QCoreApplication::processEvents();
    sleepHook()(500);
    delete notice;
}
