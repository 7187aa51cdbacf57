#pragma once
// The busy cursor of long commands (the arrow with hourglass).

#include <QApplication>
#include <QCursor>

namespace ui {

// Shows the busy cursor for the life of the object.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::BusyCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// For commands that set the cursor at one place and restore it at another
// (also on their abandon paths): setting twice and restoring once, or
// restoring without having set it, leaves the cursor stack balanced.
void setBusyCursor();
void restoreDefaultCursor();
bool busyCursorShown();

} // namespace ui
