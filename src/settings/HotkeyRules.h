#pragma once
// The hot-key fields' value (a shortcut: key code in the low 13 bits, 0x2000
// Shift, 0x4000 Ctrl, 0x8000 Alt; 0 empty) and its conversions.

#include "app/SettingsRecords.h"

#include <cstdint>
#include <string>

namespace settings {

inline constexpr std::uint16_t kShortcutShift = 0x2000;
inline constexpr std::uint16_t kShortcutCtrl = 0x4000;
inline constexpr std::uint16_t kShortcutAlt = 0x8000;
inline constexpr std::uint16_t kShortcutKeyMask = 0x1FFF;

// The field's value for a stored HotkeyValue. A key code above 255, and a
// key code of 0 (no hotkey, whatever the modifiers), give an empty field.
std::uint16_t shortcutFromHotkey(const app::HotkeyValue &v);

// The HotkeyValue for a field's value: bits 0-15 the key code, bits 16-23
// Shift 1 + Ctrl 4 + Alt 2, the last byte kept from the old value.
app::HotkeyValue hotkeyFromShortcut(std::uint16_t shortcut, const app::HotkeyValue &old);

// A key pressed in a field: without a modifier, or with Shift alone, it is
// taken as Ctrl plus that key.
std::uint16_t shortcutForKeyPress(std::uint16_t virtualKey, bool shift, bool ctrl, bool alt);

// The Windows virtual-key code of a Qt key (keypad keys when keypad is set);
// 0 for a key the fields do not take.
std::uint16_t virtualKeyForQtKey(int qtKey, bool keypad);

// How a field shows its value ("Strg + Umschalt + 1"); empty for 0.
std::string shortcutText(std::uint16_t shortcut, bool english);

} // namespace settings
