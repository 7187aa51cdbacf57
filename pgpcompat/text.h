// Character sets and the message catalogue of the pgp program.
#pragma once
#include <string>

namespace pgpc {

enum class Lang { English, German };

// Latin-1 here is Windows Latin-1 (code page 1252, "€" is 0x80), as the
// front end writes it.
// UTF-8 -> Latin-1; characters outside it (and broken sequences) become '?'.
std::string utf8ToLatin1(const std::string &s);
// Latin-1 -> UTF-8.
std::string latin1ToUtf8(const std::string &s);
bool isValidUtf8(const std::string &s);
std::string asciiLower(std::string s);
// Case-insensitive (ASCII and Latin-1 letters) substring test on UTF-8 text.
bool containsNoCase(const std::string &haystack, const std::string &needle);

// The message in the chosen language. Keys are the English texts.
const char *msg(Lang lang, const char *english);

} // namespace pgpc
