// Button records, the built-in tables, loading and saving the button file.
#include "app/AppState.h"
#include "buttons/ButtonTable.h"
#include "platform/Platform.h"
#include "support/FakeFileSystem.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace buttons;

namespace {

// Records which kind of write reached each file.
class FakeFs : public testsupport::FakeFileSystem {
public:
    std::vector<std::string> log;
    void writeFile(const std::string &p, const std::string &b) override
    {
        FakeFileSystem::writeFile(p, b);
        log.push_back("write " + p);
    }
    void replaceAtomically(const std::string &p, const std::string &b, unsigned mode) override
    {
        FakeFileSystem::replaceAtomically(p, b, mode);
        log.push_back("replace " + p);
    }
};

const std::uint8_t *u8(const std::string &s, std::size_t at = 0)
{
    return reinterpret_cast<const std::uint8_t *>(s.data()) + at;
}

std::string text(const std::string &rec, std::size_t at) { return rec.substr(at + 1, std::uint8_t(rec[at])); }

} // namespace

TEST(ButtonRecord, BuiltinTablesByteLayout)
{
    const std::string de = encodeTable(builtinTable(true));
    const std::string en = encodeTable(builtinTable(false));
    ASSERT_EQ(de.size(), 7072u);
    ASSERT_EQ(en.size(), 7072u);

    struct Expect {
        const char *command;
        const char *dialogs;
        int out; // 152 console, 153 program
        bool refresh;
        int window;
    };
    const Expect rows[17] = {
        {"-kg", "", 152, true, 5},    {"-kc", "", 153, false, 0},    {"-ke", "R", 152, true, 5},
        {"-kvv", "", 153, false, 0},  {"-kvc", "R", 153, false, 0},  {"-kxa", "RS", 153, false, 0},
        {"-kx", "RS", 153, false, 0}, {"-ka", "O", 153, true, 0},    {"-kr", "R", 152, true, 5},
        {"-ks", "R", 153, true, 0},   {"-krs", "R", 152, true, 5},   {"-kd", "R", 152, true, 5},
        {"", "", 152, false, 5},      {"", "", 152, false, 0},       {"", "", 152, false, 0},
        {"", "", 152, false, 0},      {"", "", 152, false, 0},
    };
    for (int k = 0; k < 17; ++k) {
        for (bool german : {true, false}) {
            std::string r = (german ? de : en).substr(k * 416, 416);
            SCOPED_TRACE(std::to_string(k + 1) + (german ? " de" : " en"));
            const Expect &e = rows[k];
            EXPECT_EQ(text(r, 92), e.command);
            EXPECT_EQ(std::uint8_t(r[136]), k + 1);
            EXPECT_EQ(r.substr(137, 3), std::string(3, '\0'));
            std::string d = e.dialogs;
            EXPECT_EQ(r[148], d.find('R') != std::string::npos ? 1 : 0);
            EXPECT_EQ(r[149], d.find('S') != std::string::npos ? 1 : 0);
            EXPECT_EQ(r[150], d.find('O') != std::string::npos ? 1 : 0);
            EXPECT_EQ(r[152], e.out == 152 ? 1 : 0);
            EXPECT_EQ(r[153], e.out == 153 ? 1 : 0);
            EXPECT_EQ(r[154], 0);
            EXPECT_EQ(r[155], 0); // CloseOnExit off
            EXPECT_EQ(r[156], e.refresh ? 1 : 0);
            int window = (!german && k == 12) ? 0 : e.window;
            EXPECT_EQ(std::uint8_t(r[158]) | (std::uint8_t(r[159]) << 8), window);
            EXPECT_EQ(r.substr(160), std::string(256, '\0'));
            // Every byte not covered by a field or a text is zero.
            std::string zeroed = r;
            for (std::size_t f : {0u, 31u, 92u})
                zeroed.replace(f, 1 + std::uint8_t(r[f]), std::string(1 + std::uint8_t(r[f]), '\0'));
            for (std::size_t i = 136; i < 160; ++i)
                zeroed[i] = 0;
            EXPECT_EQ(zeroed, std::string(416, '\0'));
        }
    }

    auto deRec = [&](int k) { return de.substr((k - 1) * 416, 416); };
    auto enRec = [&](int k) { return en.substr((k - 1) * 416, 416); };
    EXPECT_EQ(text(deRec(1), 0), "Key &generieren");
    EXPECT_EQ(text(deRec(1), 31), "Erzeugt ein eigenes Schl\xFCsselpaar.");
    EXPECT_EQ(text(deRec(2), 0), "&Beglaubigungen pr\xFC" "fen");
    EXPECT_EQ(text(deRec(4), 31), "Zeigt den Inhalt des \xF6" "ffentlichen Schl\xFCsselbunds an.");
    EXPECT_EQ(text(deRec(5), 0), "&Fingerprint anzeigen.");
    EXPECT_EQ(text(deRec(7), 31), "Speichert den gew\xE4hlten Schl\xFCssel als Bin\xE4r-Datei.");
    EXPECT_EQ(text(deRec(12), 0), "Key &zur\xFC" "ckziehen");
    EXPECT_EQ(text(deRec(13), 0), "[UserButton 1]");
    EXPECT_EQ(std::uint8_t(deRec(13)[31]), 0);
    EXPECT_EQ(text(deRec(17), 0), "[UserButton 5]");

    EXPECT_EQ(text(enRec(2), 0), "&Check certifying of sign.");
    EXPECT_EQ(text(enRec(2), 31), "To view the contents and check the certifying signatures of ");
    EXPECT_EQ(text(enRec(5), 31), "To view the \"fingerprint\" of a public key, to help verify it");
    EXPECT_EQ(text(enRec(8), 31), "Adds a public or secret key file's contents to your public o");
    EXPECT_EQ(text(enRec(12), 0), "Rev&oke key");
    EXPECT_EQ(std::uint8_t(enRec(12)[31]), 60);
    EXPECT_EQ(text(enRec(15), 0), "[UserButton 3]");
    // The two tables differ only in titles, hints and record 13's window mode.
    EXPECT_EQ(deRec(3).substr(92), enRec(3).substr(92));
    EXPECT_NE(deRec(13).substr(92), enRec(13).substr(92));
}

TEST(ButtonRecord, CodecKeepsUninterpretedBytesAndCutsLengths)
{
    std::string raw(416, '\0');
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = char(i * 7 + 3);
    raw[0] = char(200);  // title length beyond 30
    raw[31] = 5;
    raw[92] = 3;
    raw[160] = char(255);
    raw[148] = 2;       // unusual flag value, reads as on
    raw[153] = 0;
    ButtonRecord r = ButtonRecord::decode(u8(raw));
    EXPECT_EQ(r.title.size(), 30u);
    EXPECT_EQ(r.hint, raw.substr(32, 5));
    EXPECT_EQ(r.command, raw.substr(93, 3));
    EXPECT_EQ(r.outputFile.size(), 255u);
    EXPECT_TRUE(r.recipient);
    EXPECT_FALSE(r.outProgram);
    EXPECT_EQ(r.buttonNumber, std::int32_t(std::uint8_t(raw[136]) | (std::uint8_t(raw[137]) << 8) |
                                           (std::uint8_t(raw[138]) << 16) | (std::uint32_t(std::uint8_t(raw[139])) << 24)));
    // Unchanged record: identical bytes, except the length cut to capacity.
    auto enc = r.encode();
    std::string back(enc.begin(), enc.end());
    std::string want = raw;
    want[0] = 30;
    EXPECT_EQ(back, want);

    // Editing writes the fields; bytes beyond the new text stay.
    r.command = "-kvc";
    r.buttonNumber = 0x01020304;
    r.recipient = false;
    r.outProgram = true;
    r.windowMode = 5;
    enc = r.encode();
    EXPECT_EQ(enc[92], 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&enc[93]), 4), "-kvc");
    EXPECT_EQ(enc[97], std::uint8_t(raw[97]));
    EXPECT_EQ(enc[136], 4);
    EXPECT_EQ(enc[139], 1);
    EXPECT_EQ(enc[148], 0);
    EXPECT_EQ(enc[153], 1);
    EXPECT_EQ(enc[158], 5);
    EXPECT_EQ(enc[159], 0);
    EXPECT_EQ(enc[151], std::uint8_t(raw[151]));
    // Over-long texts are cut to the field's capacity.
    r.hint = std::string(80, 'h');
    enc = r.encode();
    EXPECT_EQ(enc[31], 60);
    EXPECT_EQ(enc[92], 4); // the command after the hint is untouched
}

TEST(ButtonTable, FileNamesAndLabels)
{
    EXPECT_EQ(buttonFileName("Deutsch"), "Buttons.qxd");
    EXPECT_EQ(buttonFileName("English"), "Buttons.qxe");
    EXPECT_EQ(buttonFileName("deutsch"), "Buttons.qxe");
    EXPECT_EQ(buttonFileName(""), "Buttons.qxe");

    ButtonTable t = builtinTable(true);
    t[2].buttonNumber = 7;
    t[4].title.clear();
    auto labels = buttonLabels(t);
    EXPECT_EQ(labels[0].caption, "Key &generieren");
    EXPECT_EQ(labels[0].hint, "Erzeugt ein eigenes Schl\xFCsselpaar.");
    EXPECT_EQ(labels[0].tag, 1);
    EXPECT_EQ(labels[2].tag, 7);
    EXPECT_EQ(labels[4].caption, "");
    EXPECT_EQ(labels[16].tag, 17);
}

TEST(ButtonTable, LoadCreatesMissingFileAndReadsExisting)
{
    FakeFs fs;
    fs.mkdirs("/app");
    ButtonTable t;
    auto r = loadButtonTable(fs, "/app", "Deutsch", t);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.created);
    EXPECT_TRUE(r.relabel);
    EXPECT_EQ(r.recordsRead, 17);
    EXPECT_EQ(r.fileName, "Buttons.qxd");
    EXPECT_EQ(fs.content("/app/Buttons.qxd"), encodeTable(builtinTable(true)));
    EXPECT_EQ(t, builtinTable(true));

    // English goes to its own file; an existing file is read, not rewritten,
    // and bytes beyond the seventeenth record are ignored.
    ButtonTable custom = builtinTable(false);
    custom[16].title = "Mine";
    custom[16].command = "-kv";
    fs.addFile("/app/Buttons.qxe", encodeTable(custom) + "trailing junk");
    // The temporary file of a save that was killed goes; the other table's stays.
    fs.addFile("/app/Buttons.qxe.tmpx1Y2z3", "half a table");
    fs.addFile("/app/Buttons.qxd.tmpx1Y2z3", "half a table");
    fs.log.clear();
    r = loadButtonTable(fs, "/app", "English", t);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.created);
    EXPECT_TRUE(fs.log.empty());
    EXPECT_FALSE(fs.exists("/app/Buttons.qxe.tmpx1Y2z3"));
    EXPECT_TRUE(fs.exists("/app/Buttons.qxd.tmpx1Y2z3"));
    EXPECT_EQ(r.fileName, "Buttons.qxe");
    EXPECT_EQ(t[16].title, "Mine");
    EXPECT_EQ(t[16].command, "-kv");
    EXPECT_EQ(t[0].title, "&Generate key");
}

TEST(ButtonTable, ShortUnreadableAndUncreatableFiles)
{
    FakeFs fs;
    fs.mkdirs("/app");
    ButtonTable previous = builtinTable(false);
    ButtonTable fileTable = builtinTable(true);
    std::string bytes = encodeTable(fileTable).substr(0, 3 * 416 + 100);
    fs.addFile("/app/Buttons.qxd", bytes);

    ButtonTable t = previous;
    auto r = loadButtonTable(fs, "/app", "Deutsch", t);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.relabel);
    EXPECT_EQ(r.recordsRead, 3);
    EXPECT_NE(r.error.find("Datensatz 4"), std::string::npos) << r.error;
    for (int k = 0; k < 17; ++k)
        EXPECT_EQ(t[k], k < 3 ? fileTable[k] : previous[k]) << k;
    EXPECT_EQ(fs.content("/app/Buttons.qxd"), bytes); // nothing rewritten

    fs.addFile("/app/Buttons.qxd", "");
    t = previous;
    r = loadButtonTable(fs, "/app", "Deutsch", t);
    EXPECT_EQ(r.recordsRead, 0);
    EXPECT_EQ(t, previous);

    // Something that exists but cannot be read as a file.
    fs.files.erase("/app/Buttons.qxd");
    fs.mkdirs("/app/Buttons.qxd");
    r = loadButtonTable(fs, "/app", "Deutsch", t);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.relabel);
    EXPECT_NE(r.error.find("/app/Buttons.qxd"), std::string::npos) << r.error;
    EXPECT_EQ(t, previous);

    // A program directory without write access: the error is reported and
    // the buttons work from the built-in table.
    FakeFs ro;
    ro.mkdirs("/usr/bin");
    ro.readOnlyDirs.insert("/usr/bin");
    t = ButtonTable{};
    r = loadButtonTable(ro, "/usr/bin", "English", t);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.relabel);
    EXPECT_NE(r.error.find("/usr/bin/Buttons.qxe"), std::string::npos) << r.error;
    EXPECT_EQ(t, builtinTable(false));
    EXPECT_TRUE(ro.files.empty());
}

TEST(ButtonTable, SaveRenumbersAndReplacesAtomicallyUnderLoadedName)
{
    FakeFs fs;
    fs.mkdirs("/app");
    app::AppState st;
    st.sys.fs = &fs;
    st.appDir = "/app";
    st.language = "Deutsch";
    auto r = LoadButtonTable(st);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(st.buttonFileName, "Buttons.qxd");

    st.buttons[3].buttonNumber = 9;
    st.buttons[3].title = "Neu";
    // A language switch after an edit keeps the edited table's file name.
    st.language = "English";
    int events = 0;
    st.processEvents = [&] { ++events; };
    fs.log.clear();
    SaveButtonTable(st);
    EXPECT_EQ(events, 1);
    ASSERT_EQ(fs.log, std::vector<std::string>{"replace /app/Buttons.qxd"});
    EXPECT_EQ(st.buttons[3].buttonNumber, 4);
    ButtonTable expected = builtinTable(true);
    expected[3].title = "Neu";
    EXPECT_EQ(fs.content("/app/Buttons.qxd"), encodeTable(expected));
    EXPECT_FALSE(fs.exists("/app/Buttons.qxe"));

    fs.readOnlyDirs.insert("/app");
    EXPECT_THROW(SaveButtonTable(st), platform::PlatformError);
}
