#pragma once
// The desktop services of the hotkeys, the mail-window route and the file
// types. main() may install its own before the main window is created; what
// is not installed is taken from the running desktop on first use. Tests
// install fakes.

#include "platform/Clipboard.h"
#include "platform/DesktopFileTypes.h"
#include "platform/ForeignWindows.h"
#include "platform/GlobalHotkeys.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace desktop {

struct DesktopServices {
    platform::GlobalHotkeys *hotkeys = nullptr;
    platform::Clipboard *clipboard = nullptr;
    platform::ForeignWindows *windows = nullptr;
    platform::DesktopFileTypes *fileTypes = nullptr;
    // The program file the file types start; empty: the running program.
    std::string programPath;
    // The folder browser; empty: the desktop's folder dialog.
    std::function<std::optional<std::string>(QWidget *parent, const std::string &title)> chooseFolder;
};

// Replaces the services (members left null are taken from the desktop).
// Process-wide on purpose: the hotkeys and the clipboard are the desktop's,
// one for every window.
void installDesktopServices(const DesktopServices &s);

// The services in effect, completed from the desktop where none were given.
DesktopServices &desktopServices();

} // namespace desktop
