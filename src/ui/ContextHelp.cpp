#include "ui/ContextHelp.h"

#include "platform/Platform.h"

#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <QWidget>

namespace ui {

int helpContextOf(const QWidget *control, const QWidget *window, const std::vector<ControlHelp> &table)
{
    for (const QWidget *w = control; w; w = w->parentWidget()) {
        if (w == window)
            break;
        const QString name = w->objectName();
        if (!name.isEmpty())
            for (const ControlHelp &h : table)
                if (*h.object && name == QLatin1String(h.object))
                    return h.context;
        if (w->isWindow())
            break;
    }
    for (const ControlHelp &h : table)
        if (!*h.object)
            return h.context;
    return 0;
}

ContextHelp::ContextHelp(QWidget *window, platform::HelpViewer *viewer, std::function<std::string()> helpFile,
                         std::vector<ControlHelp> table)
    : QObject(window), window_(window), viewer_(viewer), helpFile_(std::move(helpFile)), table_(std::move(table))
{
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { showFocusedTopic(); });
    window->installEventFilter(this);
}

int ContextHelp::contextOf(const QWidget *control) const { return helpContextOf(control, window_, table_); }

void ContextHelp::showFocusedTopic()
{
    if (!viewer_)
        return;
    QWidget *focus = window_->focusWidget();
    viewer_->showContext(helpFile_(), contextOf(focus ? focus : window_));
}

void ContextHelp::showPopupFor(const QWidget *control)
{
    if (viewer_)
        viewer_->showPopup(helpFile_(), contextOf(control));
}

bool ContextHelp::eventFilter(QObject *watched, QEvent *e)
{
    // What's-this requests travel up from the clicked control to the window
    // when no control takes them; the global position tells which was clicked.
    if (watched == window_ && (e->type() == QEvent::WhatsThis || e->type() == QEvent::QueryWhatsThis)) {
        if (e->type() == QEvent::WhatsThis) {
            auto *he = static_cast<QHelpEvent *>(e);
            QWidget *hit = window_->childAt(window_->mapFromGlobal(he->globalPos()));
            showPopupFor(hit ? hit : window_);
        }
        e->accept();
        return true;
    }
    return QObject::eventFilter(watched, e);
}

} // namespace ui
