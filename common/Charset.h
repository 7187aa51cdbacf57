#pragma once
// Latin-1 and UTF-8, for both programs: PGP 2.6, its files and its command
// lines speak Latin-1; Qt, GnuPG and the terminal speak UTF-8.

#include <cstddef>
#include <string>

namespace charset {

// One UTF-8 sequence at s[i]: its code point, and i past it. A broken or
// overlong sequence, a surrogate or a code point beyond U+10FFFF is no text:
// false, and i moves one byte on.
inline bool decodeUtf8(const std::string &s, std::size_t &i, unsigned &cp)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int n;
    if (c < 0x80) {
        cp = c;
        i += 1;
        return true;
    }
    if ((c & 0xE0) == 0xC0) {
        cp = c & 0x1F;
        n = 1;
    } else if ((c & 0xF0) == 0xE0) {
        cp = c & 0x0F;
        n = 2;
    } else if ((c & 0xF8) == 0xF0) {
        cp = c & 0x07;
        n = 3;
    } else {
        i += 1;
        return false;
    }
    if (i + std::size_t(n) >= s.size()) {
        i += 1;
        return false;
    }
    for (int k = 1; k <= n; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + std::size_t(k)]);
        if ((d & 0xC0) != 0x80) {
            i += 1;
            return false;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    static const unsigned minimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        i += 1;
        return false;
    }
    i += std::size_t(n) + 1;
    return true;
}

inline bool isValidUtf8(const std::string &s)
{
    std::size_t i = 0;
    unsigned cp;
    while (i < s.size())
        if (!decodeUtf8(s, i, cp))
            return false;
    return true;
}

inline std::string latin1ToUtf8(const std::string &s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Characters outside Latin-1, and broken sequences, become '?'.
inline std::string utf8ToLatin1(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned cp;
        if (decodeUtf8(s, i, cp) && cp < 0x100)
            out += char(cp);
        else
            out += '?';
    }
    return out;
}

} // namespace charset
