// Real root-window grabs under Xvfb: the main window with Ctrl+1, Ctrl+2 and
// Ctrl+3 stored, Ctrl+2 already held by another X client, keys pressed with
// xdotool. The test starts its own X server and runs the two clients as
// separate processes of this test program (roles chosen by environment).
#include "app/TForm1.h"
#include "support/FakeDesktop.h"
#include "settings/DesktopServices.h"
#include "support/FormFixture.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QString role() { return qEnvironmentVariable("QUORBIX_X11_ROLE"); }

bool xdotool(const QString &keys)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable("xdotool"), {"key", keys});
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

QString clipboardText() { return QGuiApplication::clipboard()->text(); }

std::string settingsWithHotkeys()
{
    return "REGEDIT4\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"
           "\"Left\"=\"40\"\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"
           "\"PGPPath\"=\"/pgp\"\r\n\"Language\"=\"Deutsch\"\r\n\"Browser\"=\"Clipboard\"\r\n"
           "\"SCEncrypt\"=hex:31,00,04,00\r\n\"SCDecrypt\"=hex:32,00,04,00\r\n\"SCSign\"=hex:33,00,04,00\r\n";
}

bool contains(const std::vector<std::string> &v, const std::string &s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}

} // namespace

// Role "blocker": another X client that holds Ctrl+2 until it is killed.
TEST(X11Role, Blocker)
{
    if (role() != "blocker")
        GTEST_SKIP() << "runs as a child of X11Hotkeys.RealGrabsUnderXvfb";
    auto hk = platform::createSystemGlobalHotkeys();
    ASSERT_TRUE(hk->registerHotkey(200, platform::kModControl, '2'));
    QFile f(qEnvironmentVariable("QUORBIX_X11_SIGNAL"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("held");
    f.close();
    QTest::qWait(60000);
}

// Role "flow": the main window over fakes, with the real hotkeys and clipboard.
TEST(X11Role, Flow)
{
    if (role() != "flow")
        GTEST_SKIP() << "runs as a child of X11Hotkeys.RealGrabsUnderXvfb";
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    auto hk = platform::createSystemGlobalHotkeys();
    testsupport::FakeWindowTree windows;
    desktop::DesktopServices ds;
    ds.hotkeys = hk.get();
    ds.windows = &windows;
    desktop::installDesktopServices(ds);

    testsupport::FormFixture fx(settingsWithHotkeys());
    fx.proc.onRun = [&](const platform::ProcessJob &s) {
        // The result names a recipient again, so that every flow started runs PGP.
        if (contains(s.args, "-ea"))
            fx.fs.addFile("/tmp/QUORBIX.asc",
                          "//0x12345678\r\n-----BEGIN PGP MESSAGE-----\r\n\r\nhQEMA\r\n-----END PGP MESSAGE-----\r\n");
        else if (contains(s.args, "-sat"))
            fx.fs.addFile("/tmp/QUORBIX.asc", "-----BEGIN PGP SIGNED MESSAGE-----\r\n\r\nHallo\r\n");
    };
    TForm1 &form = fx.create();
    // Start-up registered the three; the one another client holds failed, once.
    int refusals = 0;
    for (const auto &m : fx.dialogs.shown)
        refusals += m.text == "Konnte Hotkey nicht setzen !";
    EXPECT_EQ(refusals, 1);
    form.show();
    QTest::qWait(200);

    QGuiApplication::clipboard()->setText("//0x12345678\nHallo Welt");
    EXPECT_TRUE(QTest::qWaitFor([] { return clipboardText() == "//0x12345678\nHallo Welt"; }, 2000));
    ASSERT_TRUE(xdotool("ctrl+1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipboardText().contains("BEGIN PGP MESSAGE"); }, 10000))
        << clipboardText().toStdString();
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    const std::vector<std::string> &a = fx.proc.runs[0].args;
    EXPECT_TRUE(contains(a, "-ea"));
    EXPECT_TRUE(contains(a, "+batchmode"));
    EXPECT_TRUE(contains(a, "/tmp/QUORBIX.tmp"));
    EXPECT_TRUE(contains(a, "0x12345678"));
    EXPECT_TRUE(contains(a, "+CharSet=Latin1"));
    EXPECT_TRUE(contains(a, "+force"));
    EXPECT_EQ(fx.proc.runs[0].showState, 0);
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.tmp"));
    EXPECT_TRUE(form.RichEdit1->toPlainText().isEmpty());

    // Held down, the key repeats; it still starts one flow.
    QProcess held;
    held.start(QStandardPaths::findExecutable("xdotool"),
               {"keydown", "ctrl+1", "sleep", "1.5", "keyup", "ctrl+1"});
    ASSERT_TRUE(held.waitForStarted(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return held.state() == QProcess::NotRunning; }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(fx.proc.runs.size(), 2u);
    fx.proc.runs.pop_back();

    // Ctrl+2 belongs to the other client: nothing runs here.
    ASSERT_TRUE(xdotool("ctrl+2"));
    QTest::qWait(500);
    EXPECT_EQ(fx.proc.runs.size(), 1u);

    // Ctrl+3 signs what is on the clipboard.
    fx.st.passPhrase = "pw";
    QGuiApplication::clipboard()->setText("Hallo");
    EXPECT_TRUE(QTest::qWaitFor([] { return clipboardText() == "Hallo"; }, 2000));
    ASSERT_TRUE(xdotool("ctrl+3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipboardText().contains("SIGNED MESSAGE"); }, 10000))
        << clipboardText().toStdString();
    ASSERT_EQ(fx.proc.runs.size(), 2u);
    EXPECT_TRUE(contains(fx.proc.runs[1].args, "-sat"));
    fx.destroy();

    // The key strokes of the mail-window route reach a real text window.
    auto fw = platform::createSystemForeignWindows();
    QLineEdit other("Text im anderen Fenster");
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    const platform::WindowHandle w = other.winId();
    fw->setForeground(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fw->foreground() == w; }, 3000));
    QGuiApplication::clipboard()->setText("vorher");
    fw->selectAll(w);
    fw->copy(w);
    EXPECT_EQ(clipboardText(), "Text im anderen Fenster");
    QGuiApplication::clipboard()->setText("ersetzt");
    fw->paste(w);
    EXPECT_TRUE(QTest::qWaitFor([&] { return other.text() == "ersetzt"; }, 3000)) << other.text().toStdString();
    EXPECT_EQ(fw->findChild(w, "no such class"), 0u);

    // While a key is held, key strokes for another window would go astray:
    // the wait sees the keyboard's real state.
    QProcess down;
    down.start(QStandardPaths::findExecutable("xdotool"), {"keydown", "ctrl"});
    ASSERT_TRUE(down.waitForFinished(5000));
    EXPECT_FALSE(fw->waitUntilKeysReleased(300));
    QProcess up;
    up.start(QStandardPaths::findExecutable("xdotool"), {"sleep", "0.2", "keyup", "ctrl"});
    ASSERT_TRUE(up.waitForStarted(5000));
    EXPECT_TRUE(fw->waitUntilKeysReleased(10000));
    up.waitForFinished(5000);

    // Another program's mail window: found by its classes, its text copied,
    // and the pasted text fetched from this program's clipboard.
    QTemporaryDir mailDir;
    const QString textFile = mailDir.path() + "/in", stateFile = mailDir.path() + "/state";
    QFile in(textFile);
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write("Liebe Anna,\nbis morgen.");
    in.close();
    QProcess mail;
    mail.start(QString(QUORBIX_FAKEPGP_DIR) + "/../fakemail", {"compose", "Mail", textFile, stateFile});
    ASSERT_TRUE(mail.waitForStarted(5000));
    WId top = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QProcess search;
        search.start(QStandardPaths::findExecutable("xdotool"), {"search", "--name", "^Mail$"});
        search.waitForFinished(5000);
        top = search.readAll().trimmed().toULongLong();
        return top != 0;
    }, 10000));
    const platform::WindowHandle body = fw->findChild(top, "ATH_Body");
    ASSERT_NE(body, 0u);
    const platform::WindowHandle edit = fw->findChild(body, "HTMLEDIT");
    ASSERT_NE(edit, 0u);
    QTest::qWait(200); // mapped
    QGuiApplication::clipboard()->setText("vorher");
    fw->selectAll(edit);
    fw->copy(edit);
    EXPECT_EQ(clipboardText(), "Liebe Anna,\nbis morgen.");
    QGuiApplication::clipboard()->setText("-----BEGIN PGP MESSAGE-----");
    EXPECT_TRUE(fw->paste(edit));
    auto state = [&] {
        QFile f(stateFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return state() == "-----BEGIN PGP MESSAGE-----"; }, 3000)) << state().toStdString();
    mail.kill();
    mail.waitForFinished(3000);
}

TEST(X11Hotkeys, WithoutADisplayEveryRegistrationFails)
{
    if (!role().isEmpty() || QGuiApplication::platformName() != "offscreen")
        GTEST_SKIP();
    auto hk = platform::createSystemGlobalHotkeys();
    EXPECT_FALSE(hk->registerHotkey(100, platform::kModControl, '1'));
    auto fw = platform::createSystemForeignWindows();
    EXPECT_EQ(fw->foreground(), 0u);
}

TEST(X11Hotkeys, RealGrabsUnderXvfb)
{
    if (!role().isEmpty())
        GTEST_SKIP();
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    if (xvfb.isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "Xvfb or xdotool missing";
    int n = 60 + int(getpid() % 400);
    while (QFileInfo::exists(QString("/tmp/.X%1-lock").arg(n)))
        ++n;
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    server.start(xvfb, {QString(":%1").arg(n), "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.waitForStarted(5000));
    const QString socket = QString("/tmp/.X11-unix/X%1").arg(n);
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 10000)) {
        server.kill();
        server.waitForFinished(3000);
        GTEST_SKIP() << "Xvfb did not come up";
    }

    QTemporaryDir tmp;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString(":%1").arg(n));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QUORBIX_X11_SIGNAL", tmp.path() + "/held");
    const QString self = QCoreApplication::applicationFilePath();

    QProcess blocker;
    auto benv = env;
    benv.insert("QUORBIX_X11_ROLE", "blocker");
    blocker.setProcessEnvironment(benv);
    blocker.setProcessChannelMode(QProcess::MergedChannels);
    blocker.start(self, {"--gtest_filter=X11Role.Blocker"});
    const bool held = QTest::qWaitFor([&] { return QFileInfo::exists(tmp.path() + "/held"); }, 20000);

    QProcess flow;
    auto fenv = env;
    fenv.insert("QUORBIX_X11_ROLE", "flow");
    flow.setProcessEnvironment(fenv);
    flow.setProcessChannelMode(QProcess::MergedChannels);
    if (held) {
        flow.start(self, {"--gtest_filter=X11Role.Flow"});
        flow.waitForFinished(90000);
    }
    blocker.kill();
    blocker.waitForFinished(5000);
    server.terminate();
    if (!server.waitForFinished(5000))
        server.kill();

    ASSERT_TRUE(held) << blocker.readAll().toStdString();
    const std::string out = flow.readAll().toStdString();
    EXPECT_EQ(flow.exitStatus(), QProcess::NormalExit) << out;
    EXPECT_EQ(flow.exitCode(), 0) << out;
    EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
}
