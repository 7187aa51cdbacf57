#include "ui/Cursor.h"

namespace ui {

namespace {
bool g_busy = false;
}

void setBusyCursor()
{
    if (g_busy)
        return;
    QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    g_busy = true;
}

void restoreDefaultCursor()
{
    if (!g_busy)
        return;
    QApplication::restoreOverrideCursor();
    g_busy = false;
}

bool busyCursorShown() { return g_busy; }

} // namespace ui
