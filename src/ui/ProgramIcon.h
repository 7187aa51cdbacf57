#pragma once
// The program's icon (a padlock), for the window frames and the about box.

#include <QIcon>
#include <QPixmap>

namespace ui {

QPixmap programPixmap(int size = 64);
QIcon programIcon();

} // namespace ui
