#include "ui/FocusHandoff.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace ui {
namespace {

void activate(QWidget *w)
{
    w->raise();
    w->activateWindow();
}

// Watches the restored window once; gone after its first activation or
// after the time is up.
class ActivateAgain : public QObject {
public:
    ActivateAgain(QWidget *target, QWidget *restored) : QObject(restored), target_(target)
    {
        restored->installEventFilter(this);
        QTimer::singleShot(2000, this, &QObject::deleteLater);
    }

    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::WindowActivate && !done_) {
            done_ = true;
            QPointer<QWidget> t = target_;
            QTimer::singleShot(0, t.data(), [t] {
                if (t && t->isVisible())
                    activate(t);
            });
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWidget> target_;
    bool done_ = false;
};

} // namespace

void activateOver(QWidget *target, QWidget *restored)
{
    if (!target)
        return;
    activate(target);
    if (restored && restored != target)
        new ActivateAgain(target, restored);
}

} // namespace ui
