#include "support/ModalHelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace testsupport {

ModalAnswerer::ModalAnswerer(Action action, int count, int intervalMs) : action_(std::move(action)), count_(count)
{
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::tick);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

void ModalAnswerer::tick()
{
    if (done()) {
        timer_.stop();
        return;
    }
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (modal != current_) {
        current_ = modal;
        stuckTicks_ = 0;
        titles_ << modal->windowTitle();
        auto *box = qobject_cast<QMessageBox *>(modal);
        texts_ << (box ? box->text() : modal->windowTitle());
        classes_ << QString::fromLatin1(modal->metaObject()->className());
    }
    if (action_ && action_(modal)) {
        ++answered_;
        current_ = nullptr;
        return;
    }
    // About a second with no way to answer: get it out of the way.
    if (++stuckTicks_ * timer_.interval() >= 1000) {
        if (auto *d = qobject_cast<QDialog *>(modal))
            d->reject();
        else
            modal->close();
        ++fallbacks_;
        current_ = nullptr;
    }
}

ModalAnswerer::Action ModalAnswerer::press(QMessageBox::StandardButton button)
{
    return [button](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            if (QAbstractButton *b = box->button(button)) {
                b->click();
                return true;
            }
            return false;
        }
        for (auto *bb : w->findChildren<QDialogButtonBox *>()) {
            if (QPushButton *b = bb->button(static_cast<QDialogButtonBox::StandardButton>(button))) {
                b->click();
                return true;
            }
        }
        return false;
    };
}

ModalAnswerer::Action ModalAnswerer::pressText(const QString &text)
{
    return [text](QWidget *w) {
        for (auto *b : w->findChildren<QAbstractButton *>()) {
            if (b->isVisible() && b->text().remove('&') == QString(text).remove('&')) {
                b->click();
                return true;
            }
        }
        return false;
    };
}

ModalAnswerer::Action ModalAnswerer::accept()
{
    return [](QWidget *w) {
        if (auto *d = qobject_cast<QDialog *>(w)) {
            d->accept();
            return true;
        }
        return false;
    };
}

ModalAnswerer::Action ModalAnswerer::reject()
{
    return [](QWidget *w) {
        if (auto *d = qobject_cast<QDialog *>(w)) {
            d->reject();
            return true;
        }
        return false;
    };
}

} // namespace testsupport
