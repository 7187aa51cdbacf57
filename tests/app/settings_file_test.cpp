// The settings store through the REGEDIT4 file and with the registry layer's
// failures.
#include "app/SettingsStore.h"
#include "platform/Platform.h"
#include "platform/RegistryStore.h"
#include "support/FakeRegistryStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace app;

TEST(SettingsFile, RoundTripThroughRegedit4File)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("quorbix settings " + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "QUORBIX.reg").string();

    SettingsValues v;
    v.left = 12;
    v.top = 34;
    v.width = 800;
    v.height = 600;
    v.pgpPath = "/opt/pgp 2.6";
    v.configText = "+verbose=0 +comment=\"x y\"";
    v.kLoadPath = "/home/u/K\xF6nig"; // Latin-1
    v.language = "English";
    v.editorFont.setName("Courier New");
    v.editorFont.setSize(10);
    v.scDecrypt.setKeyCode(0x44);
    v.scDecrypt.setModifiers(6);
    {
        platform::FileRegistryStore store(path);
        saveSettings(store, v);
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\"Version\"=\"20\""), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("\"SCDecrypt\"=hex:44,00,06,00"), std::string::npos) << text.str();

    platform::FileRegistryStore again(path);
    SettingsValues back;
    LoadResult r = loadSettings(again, back);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.firstStart);
    EXPECT_EQ(back.left, 12);
    EXPECT_EQ(back.height, 600);
    EXPECT_EQ(back.pgpPath, "/opt/pgp 2.6");
    EXPECT_EQ(back.configText, "+verbose=0 +comment=\"x y\"");
    EXPECT_EQ(back.kLoadPath, "/home/u/K\xF6nig");
    EXPECT_EQ(back.language, "English");
    EXPECT_EQ(back.editorFont.toBytes(), v.editorFont.toBytes());
    EXPECT_EQ(back.scDecrypt.toBytes(), v.scDecrypt.toBytes());
    fs::remove_all(dir);
}

TEST(SettingsFile, RegistryFailuresStopLoadAndSave)
{
    testsupport::FakeRegistryStore reg;
    reg.createKey(mainWindowKey());
    reg.writeString(setupKey(), "KLoadPath", "/load");
    reg.writeString(setupKey(), "ConfigText", "+x");
    reg.failRead.insert("UBPanel");
    SettingsValues v;
    LoadResult r = loadSettings(reg, v);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Konnte Daten für 'UBPanel' nicht holen");
    EXPECT_EQ(v.kLoadPath, "/load");
    EXPECT_EQ(v.configText, "");

    // Setup cannot be created during the load.
    testsupport::FakeRegistryStore reg2;
    reg2.createKey(mainWindowKey());
    reg2.failCreate.insert(setupKey());
    SettingsValues w;
    r = loadSettings(reg2, w);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("misslungen"), std::string::npos) << r.error;

    // A failing write stops the save before the store is flushed.
    testsupport::FakeRegistryStore reg3;
    reg3.failWrite.insert("Browser");
    try {
        saveSettings(reg3, SettingsValues{});
        ADD_FAILURE() << "no error";
    } catch (const platform::PlatformError &e) {
        EXPECT_STREQ(e.what(), "Konnte Daten für 'Browser' nicht setzen");
    }
    EXPECT_EQ(reg3.flushCount, 0);
}

// Two windows that ran at the same time: the later exit keeps what the
// earlier one saved, except the values it changed itself.
TEST(SettingsFile, LaterExitWritesOnlyWhatItChanged)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quorbix merge " + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "QUORBIX.reg").string();
    {
        platform::FileRegistryStore first(path);
        SettingsValues v;
        v.configText = "+verbose=0";
        v.language = "Deutsch";
        saveSettings(first, v);
    }
    platform::FileRegistryStore a(path), b(path);
    SettingsValues va, vb;
    ASSERT_TRUE(loadSettings(a, va).ok);
    ASSERT_TRUE(loadSettings(b, vb).ok);
    const SettingsValues readA = va, readB = vb;

    vb.language = "English";
    vb.breakSig = true;
    saveSettings(b, vb, &readB);
    va.configText = "+armorlines=0";
    va.breakSig = true; // the same change in both
    saveSettings(a, va, &readA);

    platform::FileRegistryStore after(path);
    SettingsValues v;
    ASSERT_TRUE(loadSettings(after, v).ok);
    EXPECT_EQ(v.language, "English");      // B's change survives A's exit
    EXPECT_EQ(v.configText, "+armorlines=0"); // A's own change
    EXPECT_TRUE(v.breakSig);
    EXPECT_EQ(v.browser, "Clipboard");

    // Without what was read, everything is written, as on a first start.
    SettingsValues fresh;
    saveSettings(a, fresh);
    platform::FileRegistryStore last(path);
    ASSERT_TRUE(loadSettings(last, v).ok);
    EXPECT_EQ(v.language, "Deutsch");
    fs::remove_all(dir);
}
