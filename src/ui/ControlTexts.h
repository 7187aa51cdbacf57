#pragma once
// The rows of the text tables that are laid over a window's controls, found
// by objectName. The tables themselves are the text catalogue's.

namespace ui {

// One control's text. A null caption or hint leaves that text as it is.
// For windows, object "" names the window itself (its caption).
struct ControlText {
    const char *object;
    const char *caption;
    const char *hint;
};

// A control's keyboard shortcut in QKeySequence's portable text ("Ctrl+B").
struct ControlShortcut {
    const char *object;
    const char *keys;
};

// A control's help context; object "" is the window's own context, which a
// control without one of its own falls back to (through its parents).
struct ControlHelp {
    const char *object;
    int context;
};

// The program's title on message boxes, in both languages.
inline constexpr const char *kAppTitle = "Quorbix";

} // namespace ui
