#include "ui/Text.h"

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
