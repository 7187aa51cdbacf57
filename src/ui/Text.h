#pragma once
// Conversions at the widget boundary. Interface texts are UTF-8; a string
// that is not valid UTF-8 (a Latin-1 file name from the core) is shown as
// Latin-1 rather than as replacement characters.

#include <QString>
#include <string>
#include <string_view>

namespace ui {

QString toQString(const std::string &utf8);
inline QString toQString(const char *utf8) { return utf8 ? toQString(std::string(utf8)) : QString(); }
std::string toUtf8(const QString &s);

// The core's 8-bit texts (pgp's output, pass phrases, user IDs) are Windows
// Latin-1 (code page 1252): "€" is 0x80.
QString fromCp1252(std::string_view bytes);
// False, out empty, when the text holds a character the code page lacks.
bool toCp1252(const QString &s, std::string &out);

// The caption as a screen reader should say it: access-key marks removed,
// a doubled "&&" kept as one "&".
QString withoutAccessKey(const QString &caption);

} // namespace ui
