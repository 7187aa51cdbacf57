#pragma once
// Latin-1, Windows-1252 and UTF-8, for both programs: PGP 2.6, its files and
// its command lines speak Latin-1 (the working text in its Windows form,
// code page 1252); Qt, GnuPG, mail programs and the terminal speak UTF-8.

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

// Windows-1252 is Latin-1 with printable characters in 0x80-0x9F. The five
// bytes it leaves undefined stand for the C1 controls of the same number, as
// Windows reads them, so every byte has a character and back.
inline unsigned cp1252ToUnicode(unsigned char c)
{
    static const unsigned short high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
}

// The Windows-1252 byte of a code point; false when the code page has none.
inline bool unicodeToCp1252(unsigned cp, unsigned char &out)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        out = static_cast<unsigned char>(cp);
        return true;
    }
    for (unsigned b = 0x80; b < 0xA0; ++b) {
        if (cp1252ToUnicode(static_cast<unsigned char>(b)) == cp) {
            out = static_cast<unsigned char>(b);
            return true;
        }
    }
    return false;
}

inline void appendUtf8(std::string &out, unsigned cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

inline std::string cp1252ToUtf8(const std::string &s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (unsigned char c : s)
        appendUtf8(out, cp1252ToUnicode(c));
    return out;
}

// UTF-8 text as Windows-1252. False, out empty, when s is no UTF-8 or holds a
// character the code page lacks: nothing is replaced by question marks,
// unless lossy, where each such character or broken sequence becomes '?'.
inline bool utf8ToCp1252(const std::string &s, std::string &out, bool lossy = false)
{
    out.clear();
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned cp;
        unsigned char b;
        if (!decodeUtf8(s, i, cp) || !unicodeToCp1252(cp, b)) {
            if (lossy) {
                out += '?';
                continue;
            }
            out.clear();
            return false;
        }
        out += char(b);
    }
    return true;
}

} // namespace charset
