#pragma once
// Help for the controls of a dialog: F1 opens the focused control's topic,
// the caption-bar help button followed by a click shows the clicked control's
// topic as a pop-up. A control without a context of its own takes that of the
// nearest enclosing control that has one, and finally the window's.

#include "ui/ControlTexts.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace platform {
class HelpViewer;
}

namespace ui {

// The context of a control by the table (object "" is the window's context;
// 0 when the table gives none at all).
int helpContextOf(const QWidget *control, const QWidget *window, const std::vector<ControlHelp> &table);

class ContextHelp : public QObject {
public:
    // Watches window (and is owned by it). helpFile is asked at each request,
    // since the language may change while the window lives.
    ContextHelp(QWidget *window, platform::HelpViewer *viewer, std::function<std::string()> helpFile,
                std::vector<ControlHelp> table);

    int contextOf(const QWidget *control) const;
    // What F1 does: the focused control's topic in the help window.
    void showFocusedTopic();
    // What a click in context-help mode does: the control's topic as a pop-up.
    void showPopupFor(const QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QWidget *window_;
    platform::HelpViewer *viewer_;
    std::function<std::string()> helpFile_;
    std::vector<ControlHelp> table_;
};

} // namespace ui
