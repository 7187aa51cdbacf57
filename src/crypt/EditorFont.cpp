#include "crypt/EditorFont.h"

#include <QApplication>
#include <QFontInfo>
#include <QPalette>
#include <QPlainTextEdit>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kDpi = 96; // the height field counts pixels at the classic 96 dpi
}

namespace cryptcmd {

bool isDefaultRecord(const app::EditorFontRecord &rec)
{
    return std::all_of(rec.bytes.begin(), rec.bytes.end(), [](std::uint8_t b) { return b == 0; });
}

} // namespace cryptcmd

app::EditorFontRecord fontRecordFrom(const QFont &font, const QColor &color)
{
    app::EditorFontRecord rec;
    const QColor c = color.isValid() ? color.toRgb() : QColor(Qt::black);
    rec.setColor(std::int32_t(c.red() | (c.green() << 8) | (c.blue() << 16)));

    int points = font.pointSize();
    int pixels = font.pixelSize();
    if (points <= 0 && pixels > 0)
        points = int(std::lround(pixels * 72.0 / kDpi));
    if (pixels <= 0)
        pixels = int(std::lround(points * double(kDpi) / 72.0));
    rec.setSize(points);
    rec.setHeight(-pixels);

    // Family names outside Latin-1 cannot be stored; fall back to the default.
    const QString family = font.family();
    bool latin1 = std::all_of(family.begin(), family.end(), [](QChar ch) { return ch.unicode() <= 0xFF; });
    rec.setName(latin1 ? family.toLatin1().toStdString() : std::string());

    rec.setPitch(QFontInfo(font).fixedPitch() ? 2 : 1);
    std::uint8_t style = 0;
    if (font.bold())
        style |= 1;
    if (font.italic())
        style |= 2;
    if (font.underline())
        style |= 4;
    if (font.strikeOut())
        style |= 8;
    rec.setStyle(style);
    return rec;
}

namespace cryptcmd {

QFont fontFromRecord(const app::EditorFontRecord &rec)
{
    QFont f = QApplication::font();
    if (isDefaultRecord(rec))
        return f;
    const std::string name = rec.name();
    if (!name.empty())
        f.setFamily(QString::fromLatin1(name.data(), qsizetype(name.size())));
    if (rec.size() > 0 && rec.size() < 1000)
        f.setPointSize(rec.size());
    else if (rec.height() != 0 && std::abs(rec.height()) < 1000)
        f.setPixelSize(std::abs(rec.height()));
    if (rec.pitch() == 2) {
        f.setFixedPitch(true);
        f.setStyleHint(QFont::TypeWriter);
    }
    const std::uint8_t style = rec.style();
    f.setBold(style & 1);
    f.setItalic(style & 2);
    f.setUnderline(style & 4);
    f.setStrikeOut(style & 8);
    return f;
}

QColor colorFromRecord(const app::EditorFontRecord &rec)
{
    const auto v = static_cast<std::uint32_t>(rec.color());
    // Values with the high byte set name system colours (window text).
    if (isDefaultRecord(rec) || (v & 0xFF000000u) != 0)
        return {};
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

} // namespace cryptcmd

void applyEditorFontRecord(QPlainTextEdit *edit, const app::EditorFontRecord &rec)
{
    edit->setFont(cryptcmd::fontFromRecord(rec));
    QPalette pal = edit->palette();
    const QColor c = cryptcmd::colorFromRecord(rec);
    pal.setColor(QPalette::Text, c.isValid() ? c : QApplication::palette(edit).color(QPalette::Text));
    edit->setPalette(pal);
}
