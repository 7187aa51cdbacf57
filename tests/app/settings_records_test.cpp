// The two binary records of the settings store.
#include "app/SettingsRecords.h"

#include <gtest/gtest.h>

using namespace app;

TEST(SettingsRecords, EditorFontLayout)
{
    EditorFontRecord f;
    f.setColor(0x00332211);
    f.setHeight(-13);
    f.setName("Courier New");
    f.setPitch(2);
    f.setSize(10);
    f.setStyle(0x05);
    const auto &b = f.bytes;
    EXPECT_EQ(b[0], 0x11);
    EXPECT_EQ(b[1], 0x22);
    EXPECT_EQ(b[2], 0x33);
    EXPECT_EQ(b[3], 0x00);
    EXPECT_EQ(b[4], 0xF3); // -13 little-endian
    EXPECT_EQ(b[7], 0xFF);
    EXPECT_EQ(b[8], 11);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&b[9]), 11), "Courier New");
    EXPECT_EQ(b[40], 2);
    EXPECT_EQ(b[44], 10);
    EXPECT_EQ(b[48], 0x05);
    for (int i : {20, 39, 41, 42, 43, 45, 49, 50, 51})
        EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(f.color(), 0x00332211);
    EXPECT_EQ(f.height(), -13);
    EXPECT_EQ(f.name(), "Courier New");
    EXPECT_EQ(f.pitch(), 2);
    EXPECT_EQ(f.size(), 10);
    EXPECT_EQ(f.style(), 0x05);

    // Names are cut to 31 characters; a shorter name clears the old tail.
    f.setName(std::string(40, 'x'));
    EXPECT_EQ(f.bytes[8], 31);
    EXPECT_EQ(f.name(), std::string(31, 'x'));
    EXPECT_EQ(f.bytes[40], 2); // the pitch after the name field is untouched
    f.setName("Ab\xE4");
    EXPECT_EQ(f.name(), "Ab\xE4");
    EXPECT_EQ(f.bytes[12], 0);
    // A stored length beyond 31 reads as 31.
    f.bytes[8] = 200;
    EXPECT_EQ(f.name().size(), 31u);

    // Shorter stored values fill the leading bytes only.
    EditorFontRecord g;
    g.bytes.fill(0x7F);
    g.fillFrom(std::string("\x01\x02", 2));
    EXPECT_EQ(g.bytes[0], 1);
    EXPECT_EQ(g.bytes[1], 2);
    EXPECT_EQ(g.bytes[2], 0x7F);
    EXPECT_EQ(g.toBytes().size(), 52u);
}

TEST(SettingsRecords, HotkeyValue)
{
    HotkeyValue h;
    h.fillFrom(std::string("\x41\x01\x06\x09", 4));
    EXPECT_EQ(h.keyCode(), 0x0141);
    EXPECT_EQ(h.modifiers(), 6);
    EXPECT_TRUE(h.isSet());
    EXPECT_EQ(h.toBytes(), std::string("\x41\x01\x06\x09", 4)); // byte 3 kept as read
    HotkeyValue none;
    none.fillFrom(std::string("\x00\x00\x07\x00", 4));
    EXPECT_FALSE(none.isSet());
}
