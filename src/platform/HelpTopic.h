#pragma once
// Help pages are HTML with one anchor per context number ("ctx<number>").

#include <cstddef>
#include <string>

namespace platform {

// The anchor name of a help context number.
std::string helpAnchor(int context);
// Offset of the anchor tag (<a name="ctxN"> or an element with id="ctxN"),
// npos when the page has none.
std::size_t findHelpAnchor(const std::string &html, int context);
// A context's topic: the HTML from its anchor up to the next context anchor
// (or the end of the body); empty when the anchor is missing.
std::string helpTopicHtml(const std::string &html, int context);

} // namespace platform
