#pragma once
// Words for the scripts the front end writes, read back by /bin/sh as
// exactly these bytes.

#include <string>

namespace shell {

// Always in single quotes (a quote inside becomes '\'').
inline std::string quoted(const std::string &s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// A plain word as it stands, anything else quoted.
inline std::string word(const std::string &s)
{
    static const std::string plain = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+,:@%=";
    if (!s.empty() && s.find_first_not_of(plain) == std::string::npos)
        return s;
    return quoted(s);
}

} // namespace shell
