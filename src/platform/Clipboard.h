#pragma once
// The system clipboard as the hotkey flows see it: plain text, UTF-8.

#include <string>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's text; empty when it holds none.
    virtual std::string text() const = 0;
    virtual void setText(const std::string &utf8) = 0;
    virtual void clear() = 0;
};

// The desktop's clipboard (QClipboard). On X11 its content stays available
// to other programs only while this program runs.
Clipboard &systemClipboard();

} // namespace platform
