#include "app/Pictures.h"

#include "ui/ProgramIcon.h"

#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace app::pictures {
namespace {

// Both states of a button picture: the normal one and a greyed one for the
// disabled button, as the two-state glyphs of the original buttons had.
QIcon twoState(const QPixmap &normal)
{
    QIcon icon(normal);
    QImage grey = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            QRgb p = grey.pixel(x, y);
            int g = 128 + qGray(p) / 3;
            grey.setPixel(x, y, qRgba(g, g, g, qAlpha(p)));
        }
    icon.addPixmap(QPixmap::fromImage(grey), QIcon::Disabled);
    return icon;
}

QPixmap canvas(int size = 16)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void drawPadlock(QPainter &p, bool open)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 1.6));
    p.setBrush(Qt::NoBrush);
    if (open)
        p.drawArc(QRectF(7.5, 1.5, 6, 8), 0, 180 * 16);
    else
        p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
    p.setPen(QPen(QColor(120, 80, 0), 1));
    p.setBrush(QColor(230, 180, 40));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 8), 1.5, 1.5);
    p.setBrush(QColor(70, 50, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(8, 11), 1.3, 1.3);
}

} // namespace

QIcon encrypt()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    drawPadlock(p, false);
    p.end();
    return twoState(pm);
}

QIcon decrypt()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    drawPadlock(p, true);
    p.end();
    return twoState(pm);
}

QIcon sign()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 60, 160), 1.2));
    QPainterPath scribble;
    scribble.moveTo(1, 14);
    scribble.cubicTo(4, 9, 6, 16, 9, 12);
    p.drawPath(scribble);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(1, 15, 15, 15);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(200, 40, 40));
    QPolygonF pen;
    pen << QPointF(9, 11) << QPointF(14, 2) << QPointF(15.5, 3) << QPointF(10.5, 12);
    p.drawPolygon(pen);
    p.end();
    return twoState(pm);
}

QPixmap treeKey()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 80, 0), 1));
    p.setBrush(QColor(235, 190, 50));
    p.drawEllipse(QRectF(1, 4, 7, 7));
    p.drawRect(QRectF(7.5, 6.5, 7, 2));
    p.drawRect(QRectF(11.5, 8.5, 1.5, 2.5));
    p.drawRect(QRectF(13.5, 8.5, 1.5, 3));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3, 6, 2.5, 2.5));
    p.end();
    return pm;
}

QPixmap treeSig()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    QFont f("DejaVu Sans");
    f.setPixelSize(8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 140));
    p.drawRect(0, 2, 15, 11);
    p.drawText(QRect(0, 2, 16, 12), Qt::AlignCenter, "SIG");
    p.end();
    return pm;
}

QIcon keyTree()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QColor(80, 80, 80));
    p.drawLine(3, 3, 3, 13);
    p.drawLine(3, 7, 7, 7);
    p.drawLine(3, 13, 7, 13);
    p.drawPixmap(QRect(6, 3, 10, 7), treeKey());
    p.drawPixmap(QRect(6, 9, 10, 7), treeKey());
    p.setBrush(QColor(40, 110, 40));
    p.setPen(Qt::NoPen);
    p.drawRect(1, 1, 5, 4);
    p.end();
    return twoState(pm);
}

QIcon appIcon()
{
    return ui::programIcon();
}

} // namespace app::pictures
