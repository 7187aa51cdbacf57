#include "crypt/EditorText.h"

#include "Charset.h"
#include "crypt/CryptCore.h"
#include "pgp/RunPgp.h"
#include "ui/Text.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace cryptcmd {

QString editorTextFromFile(const std::string &latin1)
{
    QString text;
    text.reserve(qsizetype(latin1.size()));
    for (std::size_t i = 0; i < latin1.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(latin1[i]);
        if (c == '\r') {
            if (i + 1 < latin1.size() && latin1[i + 1] == '\n')
                ++i;
            text += QChar('\n');
        } else {
            text += QChar(char16_t(charset::cp1252ToUnicode(c)));
        }
    }
    if (text.endsWith(QChar('\n')))
        text.chop(1);
    return text;
}

QString editorTextFromResult(const std::string &bytes)
{
    // pgp hands back as UTF-8 the text that Windows Latin-1 cannot hold
    // (Cyrillic from a gpg user, say); UTF-8 that fits is Windows Latin-1
    // bytes that only look like UTF-8.
    std::string fits;
    const bool high = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
    if (!high || !charset::isValidUtf8(bytes) || charset::utf8ToCp1252(bytes, fits))
        return editorTextFromFile(bytes);
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    if (text.endsWith(QChar('\n')))
        text.chop(1);
    return text;
}

Latin1Text fileBytesFromEditor(const QString &text)
{
    Latin1Text out;
    if (text.isEmpty())
        return out;
    int line = 1;
    out.bytes.reserve(std::size_t(text.size()) + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (u == '\n' || u == QChar::LineSeparator || u == QChar::ParagraphSeparator) {
            out.bytes += "\r\n";
            ++line;
        } else if (unsigned char b; !c.isSurrogate() && charset::unicodeToCp1252(u, b)) {
            out.bytes += char(b);
        } else {
            out.ok = false;
            out.bytes.clear();
            out.badLine = line;
            out.badChar = c;
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                out.badChar += text.at(i + 1);
            return out;
        }
    }
    out.bytes += "\r\n";
    return out;
}

std::string latin1RefusalText(const Latin1Text &t, bool english)
{
    const QString msg = english
        ? QStringLiteral("The text holds characters outside the Windows Latin-1 character set "
                         "(the first is \"%1\" in line %2). PGP and the text files of Quorbix "
                         "know Windows Latin-1 only, so nothing was written. Please replace "
                         "those characters and try again.")
        : QStringLiteral("Der Text enthält Zeichen außerhalb des Zeichensatzes Windows-Latin-1 "
                         "(das erste ist \"%1\" in Zeile %2). PGP und die Textdateien von "
                         "Quorbix kennen nur Windows-Latin-1, daher wurde nichts geschrieben. "
                         "Bitte ersetzen Sie diese Zeichen und versuchen Sie es noch einmal.");
    return msg.arg(t.badChar).arg(t.badLine).toStdString();
}

QString editorText(const QPlainTextEdit *edit)
{
    // QTextDocument::toPlainText would turn no-break spaces into blanks.
    QString text;
    const QTextDocument *doc = edit->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin())
            text += QChar('\n');
        text += b.text();
    }
    return text;
}

void setEditorText(QPlainTextEdit *edit, const QString &text)
{
    edit->setPlainText(text);
}

std::string InlineRecipients(QPlainTextEdit *edit)
{
    QTextDocument *doc = edit->document();
    const QTextBlock first = doc->begin();
    // A character Windows Latin-1 lacks has been refused with the text
    // already; here it could only name nobody.
    std::string line;
    if (!ui::toCp1252(first.text(), line))
        line = first.text().toLatin1().toStdString();
    const InlineSplit split = splitInlineRecipients(line);
    if (!split.found)
        return {};
    // pgp refuses such a line without running; the text keeps it then.
    if (pgp::optionLikeArgument(pgp::splitArguments(split.recipients)))
        return split.recipients;
    QTextCursor c(doc);
    c.setPosition(first.position());
    const QTextBlock second = first.next();
    if (second.isValid())
        c.setPosition(second.position(), QTextCursor::KeepAnchor);
    else
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    return split.recipients;
}

} // namespace cryptcmd
