// Settings store: reading order, defaults, hex texts, binary records, errors,
// first start, and the write sequence at shutdown.
#include "app/SettingsStore.h"
#include "platform/Platform.h"
#include "platform/RegistryStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

using namespace app;
using platform::RegType;
using platform::RegValue;

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Registry keyed without regard to case, with a log of every call.
class FakeRegistry : public platform::RegistryStore {
public:
    std::map<std::string, std::map<std::string, RegValue>> keys;
    std::vector<std::string> log;
    int flushes = 0;

    void put(const std::string &key, const std::string &name, const std::string &text)
    {
        keys[lower(key)][lower(name)] = RegValue{RegType::String, text};
    }
    void putBinary(const std::string &key, const std::string &name, const std::string &bytes)
    {
        keys[lower(key)][lower(name)] = RegValue{RegType::Binary, bytes};
    }
    const RegValue *get(const std::string &key, const std::string &name) const
    {
        auto k = keys.find(lower(key));
        if (k == keys.end())
            return nullptr;
        auto v = k->second.find(lower(name));
        return v == k->second.end() ? nullptr : &v->second;
    }

    bool keyExists(const std::string &key) override { return keys.count(lower(key)) != 0; }
    void createKey(const std::string &key) override
    {
        log.push_back("create " + key);
        keys[lower(key)];
    }
    std::optional<std::string> readString(const std::string &key, const std::string &name) override
    {
        log.push_back("read " + name);
        const RegValue *v = get(key, name);
        if (!v)
            return std::nullopt;
        if (v->type != RegType::String)
            throw platform::PlatformError("Ungültiger Datentyp für '" + name + "'");
        return v->data;
    }
    std::optional<std::string> readBinary(const std::string &key, const std::string &name,
                                          std::size_t maxSize) override
    {
        log.push_back("read " + name);
        const RegValue *v = get(key, name);
        if (!v)
            return std::nullopt;
        if (v->type != RegType::Binary || v->data.size() > maxSize)
            throw platform::PlatformError("Ungültiger Datentyp für '" + name + "'");
        return v->data;
    }
    void writeString(const std::string &key, const std::string &name, const std::string &value) override
    {
        log.push_back("write " + key.substr(key.rfind('\\') + 1) + "\\" + name + "=" + value);
        put(key, name, value);
    }
    void writeBinary(const std::string &key, const std::string &name, const std::string &bytes) override
    {
        log.push_back("write " + key.substr(key.rfind('\\') + 1) + "\\" + name + " bin" +
                      std::to_string(bytes.size()));
        putBinary(key, name, bytes);
    }
    void flush() override
    {
        log.push_back("flush");
        ++flushes;
    }
};

SettingsValues creationTime()
{
    SettingsValues v;
    v.left = 100;
    v.top = 50;
    v.height = 480;
    v.width = 640;
    v.pgpPath = "/env/pgppath";
    return v;
}

std::vector<std::string> onlyWrites(const std::vector<std::string> &log)
{
    std::vector<std::string> out;
    for (auto &l : log)
        if (l.rfind("write ", 0) == 0 || l == "flush")
            out.push_back(l);
    return out;
}

} // namespace

TEST(SettingsStore, StoredIntegerTexts)
{
    EXPECT_EQ(parseStoredInt("0x10", 7), 16);
    EXPECT_EQ(parseStoredInt("0X1f", 7), 31);
    EXPECT_EQ(parseStoredInt("0xFFFFFFFF", 7), -1);
    EXPECT_EQ(parseStoredInt("0x", 7), 7);          // two characters: not hexadecimal
    EXPECT_EQ(parseStoredInt("0xG1", 7), 7);
    EXPECT_EQ(parseStoredInt("0x100000000", 7), 7); // beyond 32 bits
    EXPECT_EQ(parseStoredInt("abc", 7), 7);
    EXPECT_EQ(parseStoredInt("", 7), 7);
    EXPECT_EQ(parseStoredInt("12x", 7), 7);
    EXPECT_EQ(parseStoredInt("-", 7), 7);
    EXPECT_EQ(parseStoredInt("-25", 7), -25);
    EXPECT_EQ(parseStoredInt("0010", 7), 10);
    EXPECT_EQ(parseStoredInt("-2147483648", 7), INT32_MIN);
    EXPECT_EQ(parseStoredInt("2147483648", 7), 7);
    EXPECT_EQ(parseStoredInt("99999999999999999999", 7), 7);
}

TEST(SettingsStore, FirstStartReadsNothingEvenWithSetup)
{
    FakeRegistry reg;
    reg.put(setupKey(), "Language", "English");
    reg.put(setupKey(), "PGPPath", "/stored");
    SettingsValues v = creationTime();
    LoadResult r = loadSettings(reg, v);
    EXPECT_TRUE(r.firstStart);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(v.language, "Deutsch");
    EXPECT_EQ(v.pgpPath, "/env/pgppath");
    for (auto &l : reg.log)
        EXPECT_TRUE(l.rfind("read", 0) != 0 && l.rfind("create", 0) != 0 && l.rfind("write", 0) != 0) << l;

    SettingsValues f = firstStartValues(v);
    EXPECT_FALSE(f.breakSig || f.textMode || f.maximized);
    EXPECT_TRUE(f.radix64);
    EXPECT_TRUE(f.kLoadPath.empty() && f.kSavePath.empty() && f.configText.empty());
    EXPECT_EQ(f.browser, "Clipboard");
    EXPECT_EQ(f.pgpPath, "/env/pgppath");
    EXPECT_EQ(std::make_tuple(f.left, f.top, f.height, f.width), std::make_tuple(100, 50, 480, 640));
    EXPECT_TRUE(f.wordwrap);
    EXPECT_TRUE(f.ubPanel);
    EXPECT_EQ(f.editorFont.toBytes(), std::string(52, '\0'));
    EXPECT_FALSE(f.scEncrypt.isSet() || f.scDecrypt.isSet() || f.scSign.isSet());
}

TEST(SettingsStore, MainWindowWithoutSetupTakesDefaultsAndCreatesSetup)
{
    FakeRegistry reg;
    reg.put(mainWindowKey(), "Left", "0x10");
    reg.put(mainWindowKey(), "Top", "abc");
    reg.put(mainWindowKey(), "Maximized", "2");
    reg.put(mainWindowKey(), "TextMode", "1");
    SettingsValues v = creationTime();
    v.ubPanel = true;           // not kept: a missing UBPanel reads false
    v.scSign.setKeyCode(0x41);  // kept: a missing binary value leaves its record
    LoadResult r = loadSettings(reg, v);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.firstStart);
    EXPECT_EQ(v.left, 16);
    EXPECT_EQ(v.top, 50);
    EXPECT_EQ(v.height, 480);
    EXPECT_EQ(v.width, 640);
    EXPECT_TRUE(v.maximized);
    EXPECT_FALSE(v.breakSig);
    EXPECT_TRUE(v.radix64);
    EXPECT_TRUE(v.textMode);
    EXPECT_EQ(v.pgpPath, "/env/pgppath");
    EXPECT_EQ(v.browser, "Clipboard");
    EXPECT_EQ(v.language, "Deutsch");
    EXPECT_TRUE(v.wordwrap);
    EXPECT_FALSE(v.ubPanel);
    EXPECT_EQ(v.scSign.keyCode(), 0x41);
    EXPECT_TRUE(reg.keyExists(setupKey()));

    // The reading order: MainWindow values, Setup texts, then the records.
    std::vector<std::string> reads;
    for (auto &l : reg.log)
        if (l.rfind("read ", 0) == 0 || l.rfind("create ", 0) == 0)
            reads.push_back(l.rfind("create ", 0) == 0 ? "create" : l.substr(5));
    std::vector<std::string> expected = {"Left", "Top", "Height", "Width", "Maximized", "BreakSig", "RADIX-64",
                                         "TextMode", "PGPPath", "KLoadPath", "KSavePath", "UBPanel",
                                         "Wordwrap", "ConfigText", "Browser", "Language", "create",
                                         "Editor Font", "SCEncrypt", "SCDecrypt", "SCSign"};
    EXPECT_EQ(reads, expected);
}

TEST(SettingsStore, MaximizedFalseLeavesWindowStateAndNamesIgnoreCase)
{
    FakeRegistry reg;
    reg.put(mainWindowKey(), "maximized", "0");
    reg.put(setupKey(), "pgppath", "/stored/pgp");
    reg.put(setupKey(), "wordwrap", "0");
    reg.put(setupKey(), "UBPanel", "0x1");
    SettingsValues v = creationTime();
    v.maximized = true;
    ASSERT_TRUE(loadSettings(reg, v).ok);
    EXPECT_TRUE(v.maximized);
    EXPECT_EQ(v.pgpPath, "/stored/pgp");
    EXPECT_FALSE(v.wordwrap);
    EXPECT_TRUE(v.ubPanel);
}

TEST(SettingsStore, BinaryRecordsAndErrorsStopTheReading)
{
    FakeRegistry reg;
    reg.keys[lower(mainWindowKey())];
    reg.put(setupKey(), "Language", "English");
    reg.putBinary(setupKey(), "Editor Font", std::string(40, '\x11'));
    reg.putBinary(setupKey(), "SCEncrypt", std::string("\x70\x00", 2));
    SettingsValues v = creationTime();
    v.editorFont.bytes.fill(0xEE);
    v.scEncrypt.bytes = {0, 0, 4, 9};
    LoadResult r = loadSettings(reg, v);
    ASSERT_TRUE(r.ok) << r.error;
    for (int i = 0; i < 52; ++i)
        EXPECT_EQ(v.editorFont.bytes[i], i < 40 ? 0x11 : 0xEE) << i;
    EXPECT_EQ(v.scEncrypt.keyCode(), 0x70);
    EXPECT_EQ(v.scEncrypt.modifiers(), 4); // leading bytes only
    EXPECT_EQ(v.scEncrypt.bytes[3], 9);

    // 53 bytes are rejected; what was read before stays, what follows keeps its value.
    reg.putBinary(setupKey(), "Editor Font", std::string(53, '\x22'));
    reg.putBinary(setupKey(), "SCDecrypt", std::string("\x71\x00\x01\x00", 4));
    SettingsValues w = creationTime();
    r = loadSettings(reg, w);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Ungültiger Datentyp für 'Editor Font'");
    EXPECT_EQ(w.language, "English");
    EXPECT_EQ(w.editorFont.toBytes(), std::string(52, '\0'));
    EXPECT_EQ(w.scDecrypt.keyCode(), 0);

    // A text value stored as binary stops at that value.
    FakeRegistry reg2;
    reg2.put(mainWindowKey(), "Left", "5");
    reg2.putBinary(mainWindowKey(), "Height", "\x01");
    reg2.put(mainWindowKey(), "Width", "999");
    SettingsValues x = creationTime();
    r = loadSettings(reg2, x);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Ungültiger Datentyp für 'Height'");
    EXPECT_EQ(x.left, 5);
    EXPECT_EQ(x.width, 640);
    // A record given as text is of the wrong type too.
    FakeRegistry reg3;
    reg3.keys[lower(mainWindowKey())];
    reg3.put(setupKey(), "SCSign", "abcd");
    SettingsValues y = creationTime();
    EXPECT_EQ(loadSettings(reg3, y).error, "Ungültiger Datentyp für 'SCSign'");
}

TEST(SettingsStore, SaveWritesInOrderAndKeepsBoundsWhenMaximized)
{
    SettingsValues v = creationTime();
    v.pgpPath = "/p";
    v.kLoadPath = "/load";
    v.kSavePath = "/save";
    v.configText = "+verbose=0";
    v.language = "English";
    v.ubPanel = true;
    v.wordwrap = false;
    v.browser = "MIE";
    v.breakSig = true;
    v.radix64 = false;
    FakeRegistry reg;
    saveSettings(reg, v);
    std::vector<std::string> expected = {
        "write MainWindow\\Left=100",     "write MainWindow\\Top=50",      "write MainWindow\\Height=480",
        "write MainWindow\\Width=640",    "write MainWindow\\Maximized=0", "write MainWindow\\BreakSig=1",
        "write MainWindow\\RADIX-64=0",   "write MainWindow\\TextMode=0",  "write Setup\\PGPPath=/p",
        "write Setup\\KSavePath=/save",   "write Setup\\KLoadPath=/load",  "write Setup\\ConfigText=+verbose=0",
        "write Setup\\Language=English",  "write Setup\\UBPanel=1",        "write Setup\\Wordwrap=0",
        "write Setup\\Browser=MIE",       "write Setup\\Version=20",       "write Setup\\Editor Font bin52",
        "write Setup\\SCEncrypt bin4",    "write Setup\\SCDecrypt bin4",   "write Setup\\SCSign bin4",
        "flush"};
    EXPECT_EQ(onlyWrites(reg.log), expected);
    EXPECT_EQ(reg.log.front(), std::string("create ") + platform::kQuorbixKey);

    // Round trip.
    SettingsValues back = SettingsValues{};
    ASSERT_TRUE(loadSettings(reg, back).ok);
    EXPECT_EQ(back.left, 100);
    EXPECT_EQ(back.configText, "+verbose=0");
    EXPECT_EQ(back.browser, "MIE");
    EXPECT_TRUE(back.breakSig);
    EXPECT_FALSE(back.radix64);
    EXPECT_FALSE(back.wordwrap);

    // Maximised: only Maximized in MainWindow; the old bounds stay stored.
    v.maximized = true;
    v.left = 1;
    v.width = 2;
    reg.log.clear();
    saveSettings(reg, v);
    auto writes = onlyWrites(reg.log);
    EXPECT_EQ(writes[0], "write MainWindow\\Maximized=1");
    EXPECT_EQ(writes[1], "write MainWindow\\BreakSig=1");
    EXPECT_EQ(writes.size(), expected.size() - 4);
    EXPECT_EQ(reg.get(mainWindowKey(), "Left")->data, "100");
    EXPECT_EQ(reg.get(mainWindowKey(), "Width")->data, "640");
    SettingsValues again = creationTime();
    ASSERT_TRUE(loadSettings(reg, again).ok);
    EXPECT_TRUE(again.maximized);
    EXPECT_EQ(again.left, 100);
}
