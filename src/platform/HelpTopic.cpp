#include "platform/HelpTopic.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

std::string lower(const std::string &s)
{
    std::string out = s;
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Start of the tag holding name="<anchor>" or id="<anchor>" at or after from.
// With prefix set, any anchor beginning with the text counts.
std::size_t findAttr(const std::string &low, const std::string &anchor, std::size_t from, bool prefix = false)
{
    std::size_t best = std::string::npos;
    for (std::string attr : {"name=", "id="}) {
        for (char quote : {'"', '\''}) {
            const std::string needle = attr + quote + anchor;
            std::size_t pos = from;
            while ((pos = low.find(needle, pos)) != std::string::npos) {
                const std::size_t end = pos + needle.size();
                const bool whole = prefix || (end < low.size() && low[end] == quote);
                const bool attrStart = pos > 0 && std::isspace(static_cast<unsigned char>(low[pos - 1]));
                if (whole && attrStart) {
                    std::size_t tag = low.rfind('<', pos);
                    if (tag != std::string::npos && tag < best)
                        best = tag;
                    break;
                }
                pos = end;
            }
        }
    }
    return best;
}

} // namespace

std::string helpAnchor(int context) { return "ctx" + std::to_string(context); }

std::size_t findHelpAnchor(const std::string &html, int context)
{
    return findAttr(lower(html), helpAnchor(context), 0);
}

std::string helpTopicHtml(const std::string &html, int context)
{
    std::string low = lower(html);
    std::size_t start = findAttr(low, helpAnchor(context), 0);
    if (start == std::string::npos)
        return {};
    std::size_t tagEnd = low.find('>', start);
    std::size_t next = findAttr(low, "ctx", tagEnd == std::string::npos ? start + 1 : tagEnd, true);
    std::size_t bodyEnd = low.find("</body", start);
    std::size_t end = std::min(next, bodyEnd);
    return html.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace platform
