#pragma once
// Answers modal dialogs from a repeating timer so that no test hangs on one.
//
//   ModalAnswerer answer(ModalAnswerer::press(QMessageBox::No)); // next box: No
//   form.close();                                                  // runs exec()
//   EXPECT_EQ(answer.answered(), 1);
//   EXPECT_EQ(answer.texts().value(0), "...");
//
// Each tick looks at QApplication::activeModalWidget(); a new modal widget
// gets the action. When the action cannot answer it (no such button), the
// dialog is rejected after a grace period and counted as a fallback, so a
// wrong expectation fails the test instead of blocking it.

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace testsupport {

class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    // Returns true when it has answered the dialog.
    using Action = std::function<bool(QWidget *modal)>;

    // Answers up to `count` dialogs (0: every dialog while it lives).
    explicit ModalAnswerer(Action action, int count = 1, int intervalMs = 20);
    ~ModalAnswerer() override;

    // Clicks a message box's standard button (or a dialog button box's).
    static Action press(QMessageBox::StandardButton button);
    // Clicks the button whose text (without "&") is the given one.
    static Action pressText(const QString &text);
    static Action accept();
    static Action reject();

    int answered() const { return answered_; }
    int fallbacks() const { return fallbacks_; }
    // Window titles and texts of the dialogs seen (a message box's text; the
    // title for other dialogs), in order.
    const QStringList &titles() const { return titles_; }
    const QStringList &texts() const { return texts_; }
    const QStringList &classNames() const { return classes_; }
    bool done() const { return count_ > 0 && answered_ + fallbacks_ >= count_; }

private:
    void tick();

    Action action_;
    int count_;
    int answered_ = 0;
    int fallbacks_ = 0;
    int stuckTicks_ = 0;
    QPointer<QWidget> current_;
    QTimer timer_;
    QStringList titles_, texts_, classes_;
};

} // namespace testsupport
