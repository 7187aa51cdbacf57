#include "ui/Text.h"

#include "Charset.h"

#include <QStringDecoder>

namespace ui {

QString toQString(const std::string &utf8)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = dec.decode(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
    if (dec.hasError())
        return QString::fromLatin1(utf8.data(), qsizetype(utf8.size()));
    return s;
}

QString fromCp1252(std::string_view bytes)
{
    QString out = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    for (QChar &c : out)
        if (c.unicode() >= 0x80 && c.unicode() < 0xA0)
            c = QChar(char16_t(charset::cp1252ToUnicode(static_cast<unsigned char>(c.unicode()))));
    return out;
}

bool toCp1252(const QString &s, std::string &out)
{
    out.clear();
    out.reserve(std::size_t(s.size()));
    for (QChar c : s) {
        unsigned char b;
        if (c.isSurrogate() || !charset::unicodeToCp1252(c.unicode(), b)) {
            out.clear();
            return false;
        }
        out += char(b);
    }
    return true;
}

std::string toUtf8(const QString &s)
{
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), std::size_t(b.size()));
}

QString withoutAccessKey(const QString &caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&') {
                out += u'&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

} // namespace ui
