#pragma once
// The "Ready !" notice that tells the user the result is on the clipboard.

#include <QWidget>

#include <functional>

class QLabel;

class TForm2 : public QWidget {
public:
    explicit TForm2(QWidget *owner);
    QLabel *Panel1 = nullptr;

    // Shows a notice for half a second: painted, then the thread sleeps and
    // handles nothing, then the notice goes. Tests replace the sleep.
    static void showFor500ms(QWidget *owner);
    static std::function<void(int ms)> &sleepHook();
};
