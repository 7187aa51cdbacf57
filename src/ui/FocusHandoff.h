#pragma once
// Giving the keyboard to one window while another of the program's windows
// comes back from the task bar: the window manager may activate the restored
// one a moment later, after the request for the first.

class QWidget;

namespace ui {

// Activates target now, and again should restored become the active window
// within the next two seconds.
void activateOver(QWidget *target, QWidget *restored);

} // namespace ui
