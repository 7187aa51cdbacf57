#include "keys/Listing.h"

namespace keys {

namespace {

// Copy(s, start, count) with 1-based start, as fixed-column listings count.
std::string columns(std::string_view s, std::size_t first, std::size_t count = std::string_view::npos)
{
    if (first < 1 || first > s.size())
        return {};
    return std::string(s.substr(first - 1, count));
}

} // namespace

std::vector<std::string_view> textLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            start = ++i;
            continue;
        }
        ++i;
    }
    if (start < bytes.size() || lines.empty())
        lines.push_back(bytes.substr(start));
    return lines;
}

bool isKeyLine(std::string_view line)
{
    if (line.find('/') == std::string_view::npos)
        return false;
    const std::string_view rest = line.size() > 5 ? line.substr(5) : std::string_view();
    const std::size_t slash = rest.find('/');
    return slash == std::string_view::npos || slash < 6;
}

UserRow userRowOf(std::string_view line)
{
    const std::string_view rest = line.size() > 5 ? line.substr(5) : std::string_view();
    UserRow r;
    r.bits = columns(rest, 1, 4);
    r.keyId = columns(rest, 6, 8);
    r.date = columns(rest, 14, 11);
    r.userId = columns(rest, 26);
    return r;
}

std::vector<UserRow> userRows(std::string_view listing)
{
    std::vector<UserRow> rows;
    for (std::string_view line : textLines(listing))
        if (isKeyLine(line))
            rows.push_back(userRowOf(line));
    if (!rows.empty())
        rows.erase(rows.begin());
    return rows;
}

TreeLine classifyTreeLine(std::string_view line)
{
    const std::string_view p = line.substr(0, 3);
    if (p == "pub" || p == "\xF6" "ff")
        return TreeLine::Key;
    if (p == "sig" || p == "Unt" || p == "   ")
        return TreeLine::Child;
    return TreeLine::Skip;
}

std::string keyIdText(std::string_view nodeText) { return columns(nodeText, 11, 8); }

} // namespace keys
