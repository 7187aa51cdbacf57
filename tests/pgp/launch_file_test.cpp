// The launch file template, its installation in PgpDir and the close-on-exit byte.
#include "pgp/TaggedDialogs.h"
#include "app/AppState.h"
#include "pgp/LaunchFile.h"
#include "platform/Platform.h"
#include "support/FakeFileSystem.h"
#include "ui/Dialogs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace pgp;

namespace {

// A write that reports success but leaves no file behind.
class VanishingFs : public testsupport::FakeFileSystem {
public:
    bool writesVanish = false;
    void writeFile(const std::string &p, const std::string &b) override
    {
        FakeFileSystem::writeFile(p, b);
        if (writesVanish)
            files.erase(p);
    }
};

using RecordingDialogs = pgptest::RecordingDialogs;

std::string bytes(std::initializer_list<int> v)
{
    std::string s;
    for (int b : v)
        s += char(b);
    return s;
}

std::string header(const char *name, int next, int data, int length)
{
    std::string h(name);
    h.resize(16, '\0');
    return h + bytes({next & 0xFF, next >> 8, data & 0xFF, data >> 8, length & 0xFF, length >> 8});
}

struct Fixture {
    VanishingFs fs;
    RecordingDialogs dialogs;
    app::AppState st;
    Fixture()
    {
        fs.mkdirs("/pgp");
        fs.mkdirs("/app");
        st.sys.fs = &fs;
        st.dialogs = &dialogs;
        st.pgpDir = "/pgp";
        st.appDir = "/app";
    }
};

} // namespace

TEST(LaunchFile, TemplateLayout)
{
    const std::string &t = launchFileTemplate();
    ASSERT_EQ(t.size(), 968u);
    std::string expect(968, '\0');
    auto put = [&](std::size_t at, const std::string &s) { expect.replace(at, s.size(), s); };
    put(0x001, bytes({0x78}));
    put(0x002, "PGP" + std::string(27, ' '));
    put(0x020, bytes({0x80, 0x02, 0x00, 0x00}));
    put(0x024, "PGP.exe");
    put(0x0E4, bytes({0x00, 0x00, 0x01, 0x00, 0xFF, 0x19, 0x50, 0x00, 0x00, 0x07}));
    put(0x171, header("MICROSOFT PIFEX", 0x0187, 0x0000, 0x0171));
    put(0x187, header("WINDOWS 386 3.0", 0x0205, 0x019D, 0x0068));
    put(0x19D, bytes({0x80, 0x02, 0, 0, 100, 0, 50, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 2, 0, 2, 4, 0x1F}));
    put(0x205, header("WINDOWS VMM 4.0", 0xFFFF, 0x021B, 0x01AC));
    put(0x273, "PIFMGR.DLL");
    put(0x2C5, bytes({0x22}));
    put(0x2D3, bytes({0x01}));
    put(0x2DF, bytes({0x01}));
    put(0x2E3, bytes({0x05, 0x00, 0x19, 0x00, 0x03, 0x00, 0xC8, 0x00, 0xE8, 0x03, 0x02, 0x00, 0x0A, 0x00, 0x01}));
    put(0x2F9, bytes({0x1C}));
    put(0x301, bytes({0x07, 0x00, 0x0C, 0x00}) + "Terminal");
    put(0x325, "Lucida Console");
    put(0x347, bytes({0x03}));
    put(0x34B, bytes({0x50, 0x00, 0x19, 0x00, 0x80, 0x02, 0x2C, 0x01, 0x8C, 0x02, 0x68, 0x01, 0x16}));
    put(0x35B, bytes({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7E, 0x00, 0xE4, 0x00, 0x0A, 0x03,
                      0x4C, 0x02}));
    put(0x3C5, bytes({0x01}));
    for (std::size_t i = 0; i < 968; ++i)
        ASSERT_EQ(std::uint8_t(t[i]), std::uint8_t(expect[i])) << "offset 0x" << std::hex << i;
    EXPECT_EQ(t[0x63], 0);
    // The headers chain: each "next" names where the following header starts.
    EXPECT_EQ(t.substr(0x187, 15), "WINDOWS 386 3.0");
    EXPECT_EQ(t.substr(0x205, 15), "WINDOWS VMM 4.0");
}

TEST(LaunchFile, MakeIdVariantAndInstalledCopy)
{
    const std::string &t = launchFileTemplate();
    std::string m = makeLaunchFile("MakeID", "MakeID.bat");
    ASSERT_EQ(m.size(), 968u);
    EXPECT_EQ(m.substr(0x002, 30), "MakeID" + std::string(24, ' '));
    EXPECT_EQ(m.substr(0x024, 63), "MakeID.bat" + std::string(53, '\0'));
    EXPECT_EQ(m.substr(0x063), t.substr(0x063));
    EXPECT_EQ(m.substr(0, 2), t.substr(0, 2));
    EXPECT_EQ(m.substr(0x020, 4), t.substr(0x020, 4));

    std::string cut = makeLaunchFile(std::string(40, 'T'), std::string(80, 'p'));
    EXPECT_EQ(cut.substr(0x002, 30), std::string(30, 'T'));
    EXPECT_EQ(cut.substr(0x024, 63), std::string(62, 'p') + '\0');
    EXPECT_EQ(cut[0x63], 0);

    // The build installs MakeID.pif beside the program.
    std::ifstream in(std::string(QUORBIX_BIN_DIR) + "/MakeID.pif", std::ios::binary);
    ASSERT_TRUE(in) << "MakeID.pif missing in " QUORBIX_BIN_DIR;
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), m);
}

TEST(LaunchFile, EnsureWritesOnlyWhenMissing)
{
    {
        Fixture f;
        EXPECT_TRUE(EnsureLaunchFile(f.st));
        EXPECT_EQ(f.fs.content("/pgp/PGP.pif"), launchFileTemplate());
        EXPECT_TRUE(f.dialogs.shown.empty());
        // A user-edited file stays byte for byte.
        f.fs.addFile("/pgp/PGP.pif", "edited");
        EXPECT_TRUE(EnsureLaunchFile(f.st));
        EXPECT_EQ(f.fs.content("/pgp/PGP.pif"), "edited");
        EXPECT_EQ(f.fs.writeCount, 1);
    }
    {
        Fixture f;
        f.st.pgpDir = "/no/such/dir";
        EXPECT_FALSE(EnsureLaunchFile(f.st));
        ASSERT_EQ(f.dialogs.shown.size(), 1u);
        EXPECT_EQ(f.dialogs.shown[0].rfind("error:", 0), 0u);
        EXPECT_NE(f.dialogs.shown[0].find("/no/such/dir"), std::string::npos);
        EXPECT_EQ(f.fs.writeCount, 0);
    }
    {
        Fixture f;
        f.fs.readOnlyDirs.insert("/pgp");
        EXPECT_FALSE(EnsureLaunchFile(f.st));
        EXPECT_EQ(f.dialogs.shown, std::vector<std::string>{"platform:" + platform::systemErrorText(EACCES) + ": /pgp/PGP.pif"});
        EXPECT_FALSE(f.fs.exists("/pgp/PGP.pif"));
    }
    {
        Fixture f;
        f.fs.writesVanish = true;
        EXPECT_FALSE(EnsureLaunchFile(f.st));
        EXPECT_EQ(f.dialogs.shown, std::vector<std::string>{"info:Error #1 (PGP.pif)"});
    }
    {
        Fixture f;
        f.st.pgpDir.clear();
        EXPECT_FALSE(EnsureLaunchFile(f.st));
        EXPECT_TRUE(f.dialogs.shown.empty());
        EXPECT_EQ(f.fs.writeCount, 0);
    }
}

TEST(LaunchFile, CloseOnExitByte)
{
    Fixture f;
    ASSERT_TRUE(EnsureLaunchFile(f.st));
    EXPECT_FALSE(readCloseOnExit(f.fs, "/pgp"));
    SetCloseOnExit(f.st, true);
    std::string after = f.fs.content("/pgp/PGP.pif");
    EXPECT_EQ(std::uint8_t(after[0x63]), 0x10);
    std::string back = after;
    back[0x63] = 0;
    EXPECT_EQ(back, launchFileTemplate());
    EXPECT_TRUE(readCloseOnExit(f.fs, "/pgp"));

    // Other bits set by hand are lost at the next patch.
    f.fs.files["/pgp/PGP.pif"].bytes[0x63] = char(0x0F);
    EXPECT_FALSE(readCloseOnExit(f.fs, "/pgp"));
    f.fs.files["/pgp/PGP.pif"].bytes[0x63] = char(0x1F);
    EXPECT_TRUE(readCloseOnExit(f.fs, "/pgp"));
    SetCloseOnExit(f.st, false);
    EXPECT_EQ(f.fs.content("/pgp/PGP.pif"), launchFileTemplate());

    // No launch file in a PgpDir changed during the run: an error, and a
    // missing file reads as the template (window stays open).
    f.st.pgpDir = "/app";
    EXPECT_THROW(SetCloseOnExit(f.st, true), platform::PlatformError);
    EXPECT_FALSE(f.fs.exists("/app/PGP.pif"));
    EXPECT_FALSE(readCloseOnExit(f.fs, "/app"));
    f.fs.addFile("/app/PGP.pif", "short");
    EXPECT_FALSE(readCloseOnExit(f.fs, "/app"));
}
