#pragma once
// Answers modal dialogs from a repeating timer, so a test that opens one never
// hangs: the action runs on the active modal widget until it reports done; a
// dialog still open after the time limit is rejected.

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

namespace testui {

struct ModalAnswer {
    bool acted = false;     // the action ran at least once
    bool timedOut = false;  // the dialog had to be rejected
};

// Returns a result that fills in while the modal loop runs.
inline std::shared_ptr<ModalAnswer> answerModal(std::function<bool(QWidget *)> act, int limitMs = 5000)
{
    auto result = std::make_shared<ModalAnswer>();
    auto *timer = new QTimer;
    const QDeadlineTimer deadline(limitMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, result, act, deadline] {
        QWidget *w = QApplication::activeModalWidget();
        if (w && act(w)) {
            result->acted = true;
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (w)
            result->acted = true;
        if (deadline.hasExpired()) {
            result->timedOut = true;
            if (auto *d = qobject_cast<QDialog *>(w))
                d->done(QDialog::Rejected);
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
    return result;
}

} // namespace testui
