#include "settings/HotkeyRules.h"

#include <Qt>

namespace settings {

std::uint16_t shortcutFromHotkey(const app::HotkeyValue &v)
{
    const std::uint16_t key = v.keyCode();
    if (key == 0 || key > 255)
        return 0;
    std::uint16_t s = key;
    const std::uint8_t m = v.modifiers();
    if (m & 1)
        s |= kShortcutShift;
    if (m & 4)
        s |= kShortcutCtrl;
    if (m & 2)
        s |= kShortcutAlt;
    return s;
}

app::HotkeyValue hotkeyFromShortcut(std::uint16_t s, const app::HotkeyValue &old)
{
    app::HotkeyValue v = old;
    v.setKeyCode(s & kShortcutKeyMask);
    v.setModifiers(std::uint8_t(((s & kShortcutShift) ? 1 : 0) + ((s & kShortcutCtrl) ? 4 : 0) +
                                ((s & kShortcutAlt) ? 2 : 0)));
    return v;
}

std::uint16_t shortcutForKeyPress(std::uint16_t vk, bool shift, bool ctrl, bool alt)
{
    if (vk == 0)
        return 0;
    if (!ctrl && !alt) { // no modifier, or Shift alone
        shift = false;
        ctrl = true;
    }
    return std::uint16_t((vk & kShortcutKeyMask) | (shift ? kShortcutShift : 0) | (ctrl ? kShortcutCtrl : 0) |
                         (alt ? kShortcutAlt : 0));
}

std::uint16_t virtualKeyForQtKey(int k, bool keypad)
{
    if (keypad) {
        if (k >= Qt::Key_0 && k <= Qt::Key_9)
            return std::uint16_t(0x60 + (k - Qt::Key_0));
        switch (k) {
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Plus: return 0x6B;
        case Qt::Key_Minus: return 0x6D;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 0x6E;
        case Qt::Key_Slash: return 0x6F;
        case Qt::Key_Enter: return 0x0D;
        default: break; // navigation keys of the keypad (NumLock off) as below
        }
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
        return std::uint16_t('A' + (k - Qt::Key_A));
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return std::uint16_t('0' + (k - Qt::Key_0));
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return std::uint16_t(0x70 + (k - Qt::Key_F1));
    switch (k) {
    // Shifted digits of a US or German layout name the digit's key.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_QuoteDbl: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_section: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '6';
    case Qt::Key_ParenLeft: return '8';
    case Qt::Key_ParenRight: return '9';
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Help: return 0x2F;
    case Qt::Key_ScrollLock: return 0x91;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period:
    case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash:
    case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: return 0xDE;
    default: return 0;
    }
}

namespace {

std::string keyName(std::uint16_t vk, bool english)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return std::string(1, char(vk));
    if (vk >= 0x70 && vk <= 0x87)
        return "F" + std::to_string(vk - 0x70 + 1);
    if (vk >= 0x60 && vk <= 0x69)
        return (english ? "Num " : "Num ") + std::to_string(vk - 0x60);
    switch (vk) {
    case 0x6A: return "Num *";
    case 0x6B: return "Num +";
    case 0x6D: return "Num -";
    case 0x6E: return english ? "Num Del" : "Num ,";
    case 0x6F: return "Num /";
    case 0x08: return english ? "Backspace" : "Rücktaste";
    case 0x0D: return english ? "Enter" : "Eingabe";
    case 0x13: return "Pause";
    case 0x20: return english ? "Space" : "Leer";
    case 0x21: return english ? "Page Up" : "Bild-Auf";
    case 0x22: return english ? "Page Down" : "Bild-Ab";
    case 0x23: return english ? "End" : "Ende";
    case 0x24: return english ? "Home" : "Pos1";
    case 0x25: return english ? "Left" : "Nach-Links";
    case 0x26: return english ? "Up" : "Nach-Oben";
    case 0x27: return english ? "Right" : "Nach-Rechts";
    case 0x28: return english ? "Down" : "Nach-Unten";
    case 0x2C: return english ? "Print" : "Druck";
    case 0x2D: return english ? "Insert" : "Einfg";
    case 0x2E: return english ? "Delete" : "Entf";
    case 0x2F: return english ? "Help" : "Hilfe";
    case 0x91: return english ? "Scroll Lock" : "Rollen";
    case 0xBA: return ";";
    case 0xBB: return "=";
    case 0xBC: return ",";
    case 0xBD: return "-";
    case 0xBE: return ".";
    case 0xBF: return "/";
    case 0xC0: return "`";
    case 0xDB: return "[";
    case 0xDC: return "\\";
    case 0xDD: return "]";
    case 0xDE: return "'";
    default: return "#" + std::to_string(vk);
    }
}

} // namespace

std::string shortcutText(std::uint16_t s, bool english)
{
    if (s == 0)
        return {};
    std::string t;
    if (s & kShortcutCtrl)
        t += english ? "Ctrl + " : "Strg + ";
    if (s & kShortcutShift)
        t += english ? "Shift + " : "Umschalt + ";
    if (s & kShortcutAlt)
        t += "Alt + ";
    return t + keyName(s & kShortcutKeyMask, english);
}

} // namespace settings
