#include "ui/ProgramIcon.h"

#include "ui/ProgramIconData.h"

namespace ui {

QPixmap programPixmap(int size)
{
    QPixmap p;
    p.loadFromData(icondata::kProgramIconPng, sizeof icondata::kProgramIconPng, "PNG");
    if (size != p.width() && !p.isNull())
        p = p.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return p;
}

QIcon programIcon()
{
    QIcon icon;
    for (int s : {16, 32, 48, 64})
        icon.addPixmap(programPixmap(s));
    return icon;
}

} // namespace ui
