#pragma once
// What the settings dialog's "Ok" does beyond the settings themselves: the
// parts of the main window and the desktop it changes.

#include "app/SettingsRecords.h"

#include <functional>
#include <optional>
#include <string>

// What the dialog's "Ok" needs of the main window.
struct SettingsHooks {
    std::function<void()> applyTexts;                 // ApplyTexts
    std::function<void()> reapplyDialogTexts;         // button setup and pass phrase dialogs
    std::function<void(const std::string &save, const std::string &load)> setDialogFolders;
    std::function<void()> unregisterHotkeys;          // 100, 200, 300
    std::function<void(int id, const app::HotkeyValue &)> registerHotkey; // RegisterBrowserHotkey
    std::function<std::optional<std::string>()> chooseFolder; // DirDialog
    std::function<void()> registerFileTypes, unregisterFileTypes;
    std::function<void()> beep;
    // Whether the desktop forbids the mail-window route (Wayland).
    std::function<bool()> mailRouteUnavailable;
};
