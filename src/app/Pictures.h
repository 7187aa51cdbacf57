#pragma once
// Small pictures drawn in code, so no image files have to travel with the program.

#include <QIcon>
#include <QPixmap>

namespace app::pictures {

QIcon encrypt();   // closed padlock
QIcon decrypt();   // open padlock
QIcon sign();      // pen over a line
QIcon keyTree();   // a small tree of keys
QPixmap treeKey(); // 16 x 16 key, image 0 of the key tree
QPixmap treeSig(); // 16 x 16 "SIG", image 1 of the key tree
QIcon appIcon();

} // namespace app::pictures
