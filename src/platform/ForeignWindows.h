#pragma once
// Other programs' windows, as the mail-window route of the hotkeys needs
// them: the window in front, a child found by its class, giving the front to
// a window, and select-all, copy and paste sent to a text window.

#include "platform/Clipboard.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using WindowHandle = std::uint64_t; // 0: none

class ForeignWindows {
public:
    virtual ~ForeignWindows() = default;
    virtual WindowHandle foreground() = 0;
    // The first direct child of parent with that class (top of the stacking
    // order first), or 0.
    virtual WindowHandle findChild(WindowHandle parent, const std::string &className) = 0;
    virtual void setForeground(WindowHandle w) = 0;
    // Returns once no key is held down any more, or after timeoutMs; true
    // when the keys came up. While a hotkey is held its grab owns the
    // keyboard, and key strokes meant for another window reach this program.
    virtual bool waitUntilKeysReleased(int timeoutMs)
    {
        (void)timeoutMs;
        return true;
    }
    virtual void selectAll(WindowHandle w) = 0;
    // Copies the selection to the clipboard; done when the call returns (a
    // window that copies nothing leaves the clipboard as it was).
    virtual void copy(WindowHandle w) = 0;
    // Replaces the selection by the clipboard's text; true once the window
    // has fetched that text, so that the clipboard may change again.
    virtual bool paste(WindowHandle w) = 0;
};

// X11: classes are matched against WM_CLASS (instance or class name); the
// front comes from _NET_ACTIVE_WINDOW or the input focus; select-all, copy
// and paste go to the window as the key strokes Ctrl+A, Ctrl+C and Ctrl+V
// (through xdotool), once the keyboard's keys are up. Without an X display
// every search finds nothing.
std::unique_ptr<ForeignWindows> createSystemForeignWindows();

} // namespace platform
