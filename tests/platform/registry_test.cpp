// The settings store's file: REGEDIT4 text, names without regard to case,
// the four messages, damaged files kept.
#include "platform/Platform.h"
#include "platform/RegistryStore.h"

#include "support/FakeRegistryStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using platform::FileRegistryStore;
using platform::PlatformError;

namespace {

const std::string kMain = std::string(platform::kQuorbixKey) + "\\MainWindow";
const std::string kSetup = std::string(platform::kQuorbixKey) + "\\Setup";

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

template <class F>
std::string errorOf(F &&f)
{
    try {
        f();
    } catch (const PlatformError &e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(Registry, RoundTripKeepsTextsBinaryAndIgnoresCase)
{
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/cfg/Farrowdale Software/QUORBIX.reg";
    std::string font(52, '\0');
    for (int i = 0; i < 52; ++i)
        font[i] = static_cast<char>(i * 5);
    {
        FileRegistryStore reg(path);
        EXPECT_FALSE(reg.keyExists(kMain));
        reg.writeString(kMain, "Left", "120");
        reg.writeString(kSetup, "PGPPath", "C:\\PGP \"x\"");
        reg.writeString(kSetup, "KLoadPath", "/home/j\xF6rg");
        reg.writeString(kSetup, "ConfigText", "a\r\nb");
        reg.writeBinary(kSetup, "Editor Font", font);
        reg.writeString(kSetup, "language", "Deutsch");
        reg.writeString(kSetup, "LANGUAGE", "English"); // same value, first spelling kept
        reg.flush();
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string text = slurp(path);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"
                         "\"Left\"=\"120\"\r\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\"PGPPath\"=\"C:\\\\PGP \\\"x\\\"\"\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"KLoadPath\"=\"/home/j\xF6rg\"\r\n"), std::string::npos); // Latin-1 on disk
    EXPECT_NE(text.find("\"Editor Font\"=hex:00,05,0a,0f,14,"), std::string::npos);
    EXPECT_NE(text.find("\"language\"=\"English\""), std::string::npos);
    EXPECT_EQ(text.find("LANGUAGE"), std::string::npos);

    FileRegistryStore again(path);
    EXPECT_TRUE(again.warnings().empty());
    EXPECT_TRUE(again.keyExists("hkey_current_user\\software\\farrowdale software\\quorbix\\mainwindow"));
    EXPECT_TRUE(again.keyExists(platform::kQuorbixKey)); // a parent of a written key exists
    EXPECT_FALSE(again.keyExists(kMain + "X"));
    EXPECT_EQ(again.readString(kMain, "LEFT"), "120");
    EXPECT_EQ(again.readString(kSetup, "pgppath"), "C:\\PGP \"x\"");
    EXPECT_EQ(again.readString(kSetup, "KLoadPath"), "/home/j\xF6rg");
    EXPECT_EQ(again.readString(kSetup, "ConfigText"), "a\r\nb");
    EXPECT_EQ(again.readString(kSetup, "Language"), "English");
    EXPECT_EQ(again.readBinary(kSetup, "editor font", 52), font);
    EXPECT_EQ(again.readString(kSetup, "Browser"), std::nullopt);
    EXPECT_EQ(again.readString(kSetup + "\\Nope", "Browser"), std::nullopt);
}

TEST(Registry, WrongKindsAndSizesGiveTheStoreMessages)
{
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/QUORBIX.reg";
    // Build the 53-byte and 40-byte records properly.
    std::string big = "hex:";
    for (int i = 0; i < 53; ++i)
        big += std::string(i ? "," : "") + "07";
    std::string small = "hex:";
    for (int i = 0; i < 40; ++i)
        small += std::string(i ? "," : "") + "09";
    spit(path, "REGEDIT4\r\n\r\n[" + kMain + "]\r\n\"Left\"=dword:00000010\r\n\"Top\"=hex:31,32\r\n\r\n[" + kSetup +
                   "]\r\n\"Editor Font\"=" + big + "\r\n\"SCSign\"=" + small + "\r\n\"Browser\"=\"MIE\"\r\n");
    FileRegistryStore reg(path);
    EXPECT_TRUE(reg.warnings().empty());
    EXPECT_EQ(errorOf([&] { reg.readString(kMain, "Left"); }), "Ungültiger Datentyp für 'Left'");
    EXPECT_EQ(errorOf([&] { reg.readString(kMain, "Top"); }), "Ungültiger Datentyp für 'Top'");
    EXPECT_EQ(errorOf([&] { reg.readBinary(kSetup, "Editor Font", 52); }), "Ungültiger Datentyp für 'Editor Font'");
    EXPECT_EQ(errorOf([&] { reg.readBinary(kSetup, "Browser", 4); }), "Ungültiger Datentyp für 'Browser'");
    EXPECT_EQ(reg.readBinary(kSetup, "SCSign", 52), std::string(40, '\x09'));
    EXPECT_EQ(errorOf([&] { reg.readBinary(kSetup, "SCSign", 4); }), "Ungültiger Datentyp für 'SCSign'");

    EXPECT_EQ(errorOf([&] { reg.createKey(kSetup + "\\bad]name"); }),
              "Erzeugung von Schlüssel " + kSetup + "\\bad]name misslungen");
    EXPECT_EQ(errorOf([&] { reg.writeString(kSetup, "KSavePath", std::string("a\0b", 3)); }),
              "Konnte Daten für 'KSavePath' nicht setzen");

    // A value of another kind survives a rewrite as it was written.
    reg.writeString(kSetup, "Version", "20");
    reg.flush();
    EXPECT_NE(slurp(path).find("\"Left\"=dword:00000010\r\n"), std::string::npos);

    // The fake follows the same rules.
    testsupport::FakeRegistryStore fake(slurp(path));
    EXPECT_EQ(errorOf([&] { fake.readString(kMain, "left"); }), "Ungültiger Datentyp für 'left'");
    fake.failWrite.insert("Version");
    EXPECT_EQ(errorOf([&] { fake.writeString(kSetup, "version", "20"); }), "Konnte Daten für 'version' nicht setzen");
    fake.failRead.insert("Browser");
    EXPECT_EQ(errorOf([&] { fake.readString(kSetup, "Browser"); }), "Konnte Daten für 'Browser' nicht holen");
}

TEST(Registry, DamagedFileIsReadAsFarAsPossibleAndKept)
{
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/QUORBIX.reg";
    const std::string original = "\"Orphan\"=\"1\"\n"
                                 "[" + kMain + "]\n"
                                 "\"Left\"=\"10\"\n"
                                 "garbage line without sense\n"
                                 "\"Top\"=\"20\n"
                                 "\"Width\"=\"300\"\n"
                                 "[HKEY_CURRENT_USER\\Software\\Other Vendor\\Tool]\n"
                                 "\"Colour\"=\"blue\"\n"
                                 "\"Raw\"=hex(2):25,00,00,00\n"
                                 "[" + kSetup + "\n"
                                 "\"Lost\"=\"x\"\n";
    spit(path, original);
    FileRegistryStore reg(path);
    EXPECT_GE(reg.warnings().size(), 4u); // header, orphan, garbage, open quote, open bracket
    EXPECT_EQ(reg.readString(kMain, "Left"), "10");
    EXPECT_EQ(reg.readString(kMain, "Top"), std::nullopt);
    EXPECT_EQ(reg.readString(kMain, "Width"), "300");
    EXPECT_FALSE(reg.keyExists(kSetup));

    reg.writeString(kSetup, "Version", "20");
    reg.flush();
    EXPECT_EQ(reg.damagedCopy(), path + ".damaged");
    EXPECT_EQ(slurp(path + ".damaged"), original);
    const std::string text = slurp(path);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Other Vendor\\Tool]\r\n\"Colour\"=\"blue\"\r\n"
                        "\"Raw\"=hex(2):25,00,00,00\r\n"),
              std::string::npos)
        << text;

    // The rewritten file is sound; a second damaged file does not overwrite the first copy.
    FileRegistryStore clean(path);
    EXPECT_TRUE(clean.warnings().empty());
    spit(path, "not a registry");
    FileRegistryStore again(path);
    again.writeString(kMain, "Left", "1");
    again.flush();
    EXPECT_EQ(slurp(path + ".damaged"), original);
    EXPECT_EQ(slurp(path + ".damaged.2"), "not a registry");
}

TEST(Registry, Utf8InputIsAcceptedAndLatin1Written)
{
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/QUORBIX.reg";
    spit(path, "\xEF\xBB\xBFREGEDIT4\n\n[" + kSetup + "]\n\"KLoadPath\"=\"/home/j\xC3\xB6rg\"\n"
               "\"Long\"=hex:01,02,\\\n  03,04\n");
    FileRegistryStore reg(path);
    EXPECT_TRUE(reg.warnings().empty());
    EXPECT_EQ(reg.readString(kSetup, "KLoadPath"), "/home/j\xF6rg");
    EXPECT_EQ(reg.readBinary(kSetup, "Long", 52), std::string("\x01\x02\x03\x04"));
    reg.writeString(kSetup, "Version", "20");
    reg.flush();
    EXPECT_NE(slurp(path).find("\"KLoadPath\"=\"/home/j\xF6rg\""), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path + ".damaged")));

    // Latin-1 text that is also well-formed UTF-8 ("Ã¶" is how "ö" looks in
    // UTF-8) is written so that it reads back as it was, not as "ö".
    spit(path, "REGEDIT4\n; \xAE\n[" + kSetup + "]\n\"KLoadPath\"=\"/home/j\xC3\xB6rg \xE2\x82\xAC\"\n");
    {
        FileRegistryStore latin1(path);
        EXPECT_EQ(latin1.readString(kSetup, "KLoadPath"), "/home/j\xC3\xB6rg \xE2\x82\xAC");
        latin1.writeString(kSetup, "Version", "20");
        latin1.flush();
        FileRegistryStore back(path);
        EXPECT_TRUE(back.warnings().empty());
        EXPECT_EQ(back.readString(kSetup, "KLoadPath"), "/home/j\xC3\xB6rg \xE2\x82\xAC");
    }

    // A NUL inside a text could never be written back, so every later save
    // would fail: that line is damaged.
    spit(path, "REGEDIT4\n\n[" + kSetup + "]\n\"KLoadPath\"=\"a" + std::string(1, '\0') + "b\"\n\"Browser\"=\"MIE\"\n");
    {
        FileRegistryStore nul(path);
        EXPECT_EQ(nul.warnings().size(), 1u);
        EXPECT_EQ(nul.readString(kSetup, "KLoadPath"), std::nullopt);
        EXPECT_EQ(nul.readString(kSetup, "Browser"), "MIE");
    }

    // Characters beyond Latin-1 cannot be kept: the original is preserved.
    spit(path, "REGEDIT4\n\n[" + kSetup + "]\n\"ConfigText\"=\"\xE2\x82\xAC\"\n");
    FileRegistryStore euro(path);
    EXPECT_EQ(euro.readString(kSetup, "ConfigText"), "?");
    euro.writeString(kSetup, "Version", "20");
    euro.flush();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path + ".damaged")));
}

TEST(Registry, FailedWritesKeepTheOldFileAndDefaultPathFollowsXdg)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    // The directory cannot be created: a file is in the way.
    spit(dir + "/blocked", "x");
    FileRegistryStore reg(dir + "/blocked/QUORBIX.reg");
    reg.writeString(kSetup, "Version", "20");
    EXPECT_EQ(errorOf([&] { reg.flush(); }), "Konnte Daten für '" + dir + "/blocked/QUORBIX.reg' nicht setzen");

    // An existing file that cannot be read is neither read nor overwritten.
    ::mkdir((dir + "/isdir.reg").c_str(), 0700);
    FileRegistryStore unreadable(dir + "/isdir.reg");
    EXPECT_EQ(errorOf([&] { unreadable.readString(kSetup, "Language"); }),
              "Konnte Daten für 'Language' nicht holen");
    EXPECT_THROW(unreadable.flush(), PlatformError);

    const char *oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    ::setenv("XDG_CONFIG_HOME", (dir + "/xdg/").c_str(), 1);
    EXPECT_EQ(FileRegistryStore::defaultPath(), dir + "/xdg/Farrowdale Software/QUORBIX.reg");
    ::setenv("XDG_CONFIG_HOME", "relative", 1); // ignored as the XDG rules say
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(FileRegistryStore::defaultPath(), home + "/.config/Farrowdale Software/QUORBIX.reg");
    }
    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");

    FileRegistryStore fresh(dir + "/xdg/Farrowdale Software/QUORBIX.reg");
    fresh.createKey(kSetup);
    fresh.flush();
    struct stat st {};
    ASSERT_EQ(::stat((dir + "/xdg/Farrowdale Software").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_TRUE(FileRegistryStore(dir + "/xdg/Farrowdale Software/QUORBIX.reg").keyExists(kSetup));
}

TEST(Registry, ContinuedHexAtTheEndAndManyKeysKeepTheirOrder)
{
    // A continued value cut off by the end of the file (with or without a
    // last line break) or by an empty line is damaged, whatever its kind; so
    // is a list ending in a comma. The values before it stay.
    const std::string head = "REGEDIT4\r\n\r\n[" + kSetup + "]\r\n\"Version\"=\"20\"\r\n";
    for (const std::string cut : {"\"SCSign\"=hex:41,00,03,00\\", "\"SCSign\"=hex:41,00,03,00\\\r\n",
                                  "\"SCSign\"=hex:41,00,\\\r\n  03,00,\\", "\"SCSign\"=dword:00000001\\",
                                  "\"SCSign\"=hex:41,00,03,", "\"SCSign\"=hex:41,\\\r\n\r\n\"Other\"=\"x\""}) {
        std::vector<std::string> warnings;
        const auto f = platform::RegistryFile::parse(head + cut, &warnings);
        EXPECT_EQ(warnings.size(), 1u) << cut;
        EXPECT_EQ(f.value(kSetup, "scsign"), nullptr) << cut;
        ASSERT_NE(f.value(kSetup, "Version"), nullptr) << cut;
        // Written back, the file is sound and keeps what was readable.
        std::vector<std::string> again;
        const auto back = platform::RegistryFile::parse(f.serialize(), &again);
        EXPECT_TRUE(again.empty()) << cut;
        EXPECT_EQ(back.value(kSetup, "Version")->data, "20");
        EXPECT_EQ(back.valueNames(kSetup), f.valueNames(kSetup)) << cut;
    }
    // A whole continued list, also under a name that ends in "=".
    {
        std::vector<std::string> warnings;
        const auto f = platform::RegistryFile::parse(
            head + "\"SC=\"=hex:41,00,\\\r\n  03,00\r\n\"Browser\"=\"MIE\"", &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        ASSERT_NE(f.value(kSetup, "sc="), nullptr);
        EXPECT_EQ(f.value(kSetup, "sc=")->data, std::string("\x41\x00\x03\x00", 4));
        EXPECT_EQ(f.value(kSetup, "Browser")->data, "MIE");
    }
    // A text value ending in a backslash is not a continuation.
    const auto text = platform::RegistryFile::parse("REGEDIT4\r\n\r\n[" + kSetup + "]\r\n\"PGPPath\"=\"C:\\\\\"\r\n"
                                                    "\"Browser\"=\"MIE\"");
    ASSERT_NE(text.value(kSetup, "Browser"), nullptr);
    EXPECT_EQ(text.value(kSetup, "PGPPath")->data, "C:\\");

    // Many keys and values: file order kept, names still without case, a
    // repeated name (in another spelling) replaces the value in its place.
    std::string big = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < 3000; ++i)
        big += "[" + kSetup + "\\K" + std::to_string(i) + "]\r\n\"V\"=\"" + std::to_string(i) + "\"\r\n";
    big += "[" + kSetup + "\\k7]\r\n\"v\"=\"seven\"\r\n\"W\"=hex:01\r\n";
    std::vector<std::string> warnings;
    auto f = platform::RegistryFile::parse(big, &warnings);
    EXPECT_TRUE(warnings.empty());
    const auto keys = f.keys();
    ASSERT_EQ(keys.size(), 3000u);
    EXPECT_EQ(keys[7], kSetup + "\\K7");
    EXPECT_EQ(keys[2999], kSetup + "\\K2999");
    EXPECT_EQ(f.value(kSetup + "\\K7", "V")->data, "seven");
    EXPECT_EQ(f.valueNames(kSetup + "\\K7"), (std::vector<std::string>{"V", "W"}));
    EXPECT_EQ(f.value(kSetup + "\\k2999", "v")->data, "2999");
    f.setValue(kSetup + "\\K2999", "new", {platform::RegType::String, "n"});
    f.setValue(kSetup + "\\NEW", "x", {platform::RegType::String, "y"});
    EXPECT_EQ(f.keys().back(), kSetup + "\\NEW");
    const auto again = platform::RegistryFile::parse(f.serialize());
    EXPECT_EQ(again.keys(), f.keys());
    EXPECT_EQ(again.value(kSetup + "\\k2999", "NEW")->data, "n");
}
