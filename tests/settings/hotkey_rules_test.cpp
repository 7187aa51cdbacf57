// The hot-key field's value, its conversions, and the key maps behind it.
#include "browser/BrowserBridge.h"
#include "platform/GlobalHotkeys.h"
#include "settings/HotkeyRules.h"

#include <Qt>
#include <gtest/gtest.h>

using namespace settings;

namespace {

app::HotkeyValue hv(std::uint16_t key, std::uint8_t mods, std::uint8_t spare = 0)
{
    app::HotkeyValue v;
    v.setKeyCode(key);
    v.setModifiers(mods);
    v.bytes[3] = spare;
    return v;
}

} // namespace

TEST(HotkeyRules, ShortcutFromStoredValue)
{
    EXPECT_EQ(shortcutFromHotkey(hv(0x31, 4)), 0x4031);                   // Ctrl+1
    EXPECT_EQ(shortcutFromHotkey(hv(0x74, 7)), 0x74 | 0x2000 | 0x4000 | 0x8000);
    EXPECT_EQ(shortcutFromHotkey(hv(0x41, 1)), 0x2041);                   // Shift
    EXPECT_EQ(shortcutFromHotkey(hv(0x41, 2)), 0x8041);                   // Alt
    EXPECT_EQ(shortcutFromHotkey(hv(0x41, 0)), 0x41);
    EXPECT_EQ(shortcutFromHotkey(hv(0xFF, 4)), 0x40FF);                   // 255 still shown
    EXPECT_EQ(shortcutFromHotkey(hv(0x100, 4)), 0);                       // above 255: empty
    EXPECT_EQ(shortcutFromHotkey(hv(0, 4)), 0);                           // no key: no hotkey
}

TEST(HotkeyRules, StoredValueFromShortcutKeepsLastByte)
{
    const app::HotkeyValue v = hotkeyFromShortcut(0x4031, hv(0x55, 1, 0xAB));
    EXPECT_EQ(v.toBytes(), std::string("\x31\x00\x04\xAB", 4));
    const app::HotkeyValue all = hotkeyFromShortcut(0x74 | 0x2000 | 0x4000 | 0x8000, {});
    EXPECT_EQ(all.keyCode(), 0x74);
    EXPECT_EQ(all.modifiers(), 7);
    const app::HotkeyValue empty = hotkeyFromShortcut(0, hv(0x31, 4, 9));
    EXPECT_FALSE(empty.isSet());
    EXPECT_EQ(empty.modifiers(), 0);
    EXPECT_EQ(empty.bytes[3], 9);
    for (std::uint8_t m = 0; m < 8; ++m) // every modifier set survives the round trip
        EXPECT_EQ(hotkeyFromShortcut(shortcutFromHotkey(hv('K', m)), {}).modifiers(), m) << int(m);
}

TEST(HotkeyRules, KeyPressWithoutModifierOrShiftAloneBecomesCtrl)
{
    EXPECT_EQ(shortcutForKeyPress('1', false, false, false), 0x4031);
    EXPECT_EQ(shortcutForKeyPress('A', true, false, false), 0x4041); // Shift dropped
    EXPECT_EQ(shortcutForKeyPress('A', true, true, false), 0x6041);
    EXPECT_EQ(shortcutForKeyPress('A', false, false, true), 0x8041);
    EXPECT_EQ(shortcutForKeyPress('A', true, false, true), 0xA041);
    EXPECT_EQ(shortcutForKeyPress(0x70, false, true, true), 0xC070);
    EXPECT_EQ(shortcutForKeyPress(0, false, true, false), 0);
}

TEST(HotkeyRules, RegistrationModifierTable)
{
    const unsigned expected[8] = {0, 4, 1, 5, 2, 6, 3, 7};
    for (unsigned b = 0; b < 8; ++b)
        EXPECT_EQ(browser::registrationModifiers(std::uint8_t(b)), expected[b]) << b;
    EXPECT_EQ(browser::registrationModifiers(8), 0u);
    EXPECT_EQ(browser::registrationModifiers(0x0C), 0u); // Ctrl bit set, but 8 and above
    EXPECT_EQ(browser::registrationModifiers(0xFF), 0u);
}

TEST(HotkeyRules, EveryKeyTheFieldTakesHasAnXKeysym)
{
    int taken = 0;
    for (int k = Qt::Key_Space; k <= Qt::Key_AsciiTilde; ++k)
        for (bool keypad : {false, true})
            if (std::uint16_t vk = virtualKeyForQtKey(k, keypad)) {
                ++taken;
                EXPECT_TRUE(platform::keysymForVirtualKey(vk)) << std::hex << k << " vk " << vk;
                EXPECT_LE(vk, 255);
            }
    for (int k = Qt::Key_Escape; k <= Qt::Key_F35; ++k)
        for (bool keypad : {false, true})
            if (std::uint16_t vk = virtualKeyForQtKey(k, keypad)) {
                ++taken;
                EXPECT_TRUE(platform::keysymForVirtualKey(vk)) << std::hex << k << " vk " << vk;
            }
    EXPECT_GT(taken, 100);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_F24, false), 0x87);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_F25, false), 0); // beyond what a field takes
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_5, true), 0x65);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_5, false), '5');
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_Home, true), 0x24); // keypad navigation, NumLock off
}

TEST(HotkeyRules, KeysymsOfTheVirtualKeys)
{
    EXPECT_EQ(platform::keysymForVirtualKey('A'), 0x61u);
    EXPECT_EQ(platform::keysymForVirtualKey('Z'), 0x7Au);
    EXPECT_EQ(platform::keysymForVirtualKey('1'), 0x31u);
    EXPECT_EQ(platform::keysymForVirtualKey(0x70), 0xFFBEu);  // F1
    EXPECT_EQ(platform::keysymForVirtualKey(0x87), 0xFFD5u);  // F24
    EXPECT_EQ(platform::keysymForVirtualKey(0x60), 0xFFB0u);  // keypad 0
    EXPECT_EQ(platform::keysymForVirtualKey(0x6B), 0xFFABu);  // keypad +
    EXPECT_EQ(platform::keysymForVirtualKey(0x24), 0xFF50u);  // Home
    EXPECT_EQ(platform::keysymForVirtualKey(0x22), 0xFF56u);  // Page Down
    EXPECT_EQ(platform::keysymForVirtualKey(0x2E), 0xFFFFu);  // Delete
    EXPECT_FALSE(platform::keysymForVirtualKey(0));
    EXPECT_FALSE(platform::keysymForVirtualKey(0x10));        // VK_SHIFT alone
    EXPECT_EQ(platform::portalTrigger(platform::kModControl | platform::kModShift, '1'), "CTRL+SHIFT+1");
    EXPECT_EQ(platform::portalTrigger(platform::kModAlt, 0x70), "ALT+F1");
}

TEST(HotkeyRules, FieldText)
{
    EXPECT_EQ(shortcutText(0x4031, false), "Strg + 1");
    EXPECT_EQ(shortcutText(0x6041, true), "Ctrl + Shift + A");
    EXPECT_EQ(shortcutText(0xC070, false), "Strg + Alt + F1");
    EXPECT_EQ(shortcutText(0, false), "");
}
