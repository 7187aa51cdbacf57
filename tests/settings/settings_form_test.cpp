// The settings command and the hotkeys on the main window, over fakes.
#include "app/TForm1.h"
#include "support/FakeDesktop.h"
#include "browser/TForm2.h"
#include "settings/DesktopServices.h"
#include "settings/TForm7.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

struct Desktop {
    testsupport::FakeGlobalHotkeys hotkeys;
    testsupport::FakeClipboard clip;
    testsupport::FakeWindowTree windows{&clip};
    QTemporaryDir dir;
    testsupport::FakeEnvironment env;
    std::unique_ptr<platform::DesktopFileTypes> types;
    Desktop()
    {
        env.set("XDG_DATA_HOME", (dir.path() + "/data").toStdString());
        env.set("XDG_CONFIG_HOME", (dir.path() + "/config").toStdString());
        types = std::make_unique<platform::DesktopFileTypes>(env, [](const std::string &, const auto &) {});
        desktop::DesktopServices ds;
        ds.hotkeys = &hotkeys;
        ds.clipboard = &clip;
        ds.windows = &windows;
        ds.fileTypes = types.get();
        ds.programPath = "/opt/quorbix/quorbix";
        ds.chooseFolder = [](QWidget *, const std::string &) { return std::optional<std::string>("/chosen"); };
        desktop::installDesktopServices(ds);
    }
    ~Desktop() { desktop::installDesktopServices({}); }
};

std::string settingsWith(const std::string &extra)
{
    return testsupport::normalSettings() + extra;
}

} // namespace

TEST(SettingsForm, MenuOpensDialogOkSwitchesToEnglishAndRegistersAgain)
{
    Desktop desk;
    testsupport::FormFixture fx(settingsWith("\"SCEncrypt\"=hex:31,00,04,00\r\n\"SCSign\"=hex:00,00,04,00\r\n"));
    fx.fs.addFile("/pgp/pgp", "#!/bin/sh\n");
    TForm1 &form = fx.create();
    // Start-up: only the stored key with a key code is registered.
    EXPECT_EQ(desk.hotkeys.log, (std::vector<std::string>{"register 100 2 49"}));
    desk.hotkeys.log.clear();

    bool seen = false;
    testsupport::ModalAnswerer answer([&](QWidget *w) {
        auto *d = dynamic_cast<TForm7 *>(w);
        if (!d)
            return false;
        seen = true;
        EXPECT_EQ(d->edPGPPath->text(), "/pgp");
        EXPECT_EQ(d->hkEncrypt->value(), 0x4031);
        d->rbEnglish->setChecked(true);
        d->hkDecrypt->setValue(0x6032); // Shift+Ctrl+2
        d->Button1->click();           // the file types, at once
        d->BitBtn1->click();
        return true;
    });
    form.muSetup->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(answer.fallbacks(), 0);
    EXPECT_EQ(fx.st.language, "English");
    EXPECT_EQ(form.muSetup->text(), "&Setup"); // at once
    EXPECT_EQ(fx.st.helpFile, "/app/Quorbixe.html");
    EXPECT_EQ(desk.hotkeys.log, (std::vector<std::string>{"unregister 100", "unregister 200", "unregister 300",
                                                            "register 100 2 49", "register 200 6 50"}));
    EXPECT_TRUE(QFileInfo::exists(desk.dir.path() + "/data/applications/quorbix-pgpfile.desktop"));
    EXPECT_EQ(form.currentSettings().language, "English");
    EXPECT_EQ(form.currentSettings().scDecrypt.toBytes(), std::string("\x32\x00\x05\x00", 4));
}

TEST(SettingsForm, HotkeyRunsTheFlowThroughTheMainWindow)
{
    Desktop desk;
    testsupport::FormFixture fx(settingsWith("\"SCEncrypt\"=hex:31,00,04,00\r\n\"Browser\"=\"Clipboard\"\r\n"));
    fx.proc.onRun = [&](const platform::ProcessJob &) { fx.fs.addFile("/tmp/QUORBIX.asc", "ARMOUR\r\n"); };
    TForm1 &form = fx.create();
    TForm2::sleepHook() = [](int) {};
    desk.clip.setText("//0x12345678\nHallo");
    ASSERT_TRUE(desk.hotkeys.press(platform::kModControl, '1'));
    // Delivered while events are handled; the flow runs from the event loop.
    EXPECT_TRUE(fx.proc.runs.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return fx.proc.runs.size() == 1; }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(desk.clip.text(), "ARMOUR");
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.asc"));
    EXPECT_TRUE(form.RichEdit1->toPlainText().isEmpty());
    EXPECT_FALSE(form.hotkeyFlowRunning());
    TForm2::sleepHook() = [](int ms) { QThread::msleep(ms); };
}

TEST(SettingsForm, FirstStartShowsTheDialogAfterTheLanguageChooser)
{
    Desktop desk;
    testsupport::FormFixture fx(""); // no stored state
    fx.env.set("PGPPATH", "/pgp");
    fx.fs.addFile("/pgp/pgp", "#!/bin/sh\n");
    QStringList order;
    testsupport::ModalAnswerer answer(
        [&](QWidget *w) {
            if (auto *d = dynamic_cast<TForm7 *>(w)) {
                order << "settings:" + d->windowTitle();
                EXPECT_TRUE(d->rbEnglish->isChecked());
                EXPECT_TRUE(d->rbClip->isChecked()); // Browser is still empty
                EXPECT_EQ(d->edPGPPath->text(), "/pgp");
                d->hkEncrypt->setValue(0x4031);
                d->BitBtn1->click();
                return true;
            }
            if (auto *en = w->findChild<QRadioButton *>("rbEnglish")) {
                order << "language";
                en->setChecked(true);
                if (auto *ok = w->findChild<QPushButton *>("BitBtn1"))
                    ok->click();
                return true;
            }
            return false;
        },
        0);
    TForm1 &form = fx.create();
    EXPECT_EQ(order, (QStringList{"language", "settings:Setup"}));
    EXPECT_EQ(answer.fallbacks(), 0);
    EXPECT_EQ(fx.st.language, "English");
    EXPECT_EQ(fx.st.browser, "Clipboard");
    EXPECT_EQ(form.muSetup->text(), "&Setup");
    // Registered by the dialog, and once more by the start-up hotkeys under the same
    // identifier, which keeps the first (as RegisterHotKey does).
    EXPECT_EQ(desk.hotkeys.log.front(), "unregister 100");
    EXPECT_NE(std::find(desk.hotkeys.log.begin(), desk.hotkeys.log.end(), "register 100 2 49"),
              desk.hotkeys.log.end());
}
