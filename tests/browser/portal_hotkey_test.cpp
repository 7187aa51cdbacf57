// The shortcuts portal against a stand-in for it (tests/support/fake_portal.py)
// on a private D-Bus daemon: one session, the shortcuts bound together with
// their stored triggers and descriptions, Activated reaching the flows, a
// refusal told once per round, nothing that waits for the desktop's answer.
#include "app/TForm1.h"
#include "browser/BrowserBridge.h"
#include "settings/DesktopServices.h"
#include "support/FakeDesktop.h"
#include "support/FormFixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A private bus, with the stand-in portal on it unless told otherwise.
class PortalBus {
public:
    // mode: "ok", "refuse", "partial", "silent", or "" for a bus without a portal.
    explicit PortalBus(const QString &mode)
    {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        // The system's interpreter: the one with the distribution's D-Bus modules.
        const QString python =
            QFileInfo::exists("/usr/bin/python3") ? "/usr/bin/python3" : QStandardPaths::findExecutable("python3");
        if (daemon.isEmpty() || python.isEmpty()) {
            why = "dbus-daemon or python3 missing";
            return;
        }
        if (QProcess::execute(python, {"-c", "import dbus, gi"}) != 0) {
            why = "python3-dbus or python3-gi missing";
            return;
        }
        daemon_.start(daemon, {"--session", "--nofork", "--print-address"});
        if (!daemon_.waitForStarted(5000) ||
            !QTest::qWaitFor([&] { return daemon_.canReadLine() || daemon_.waitForReadyRead(50); }, 10000)) {
            why = "dbus-daemon did not start";
            return;
        }
        address = QString::fromUtf8(daemon_.readLine()).trimmed();
        static int n = 0;
        probe_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("portal-test-probe-%1").arg(++n)));
        if (mode.isEmpty()) {
            ready = probe_->isConnected();
            return;
        }
        logPath = dir_.path() + "/portal.log";
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        portal_.setProcessEnvironment(env);
        portal_.setProcessChannelMode(QProcess::ForwardedChannels);
        portal_.start(python, {QUORBIX_SOURCE_DIR "/tests/support/fake_portal.py", logPath, mode});
        ready = QTest::qWaitFor(
            [&] { return probe_->interface()->isServiceRegistered("org.freedesktop.portal.Desktop").value(); }, 20000);
        if (!ready)
            why = "the stand-in portal did not come up";
    }
    ~PortalBus()
    {
        for (QProcess *p : {&portal_, &daemon_}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    QStringList calls() const
    {
        QFile f(logPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &c : calls())
            n += c.startsWith(prefix);
        return n;
    }
    // Presses a bound shortcut, as the desktop would.
    bool activate(const QString &id, const QString &token = {})
    {
        QDBusMessage m = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", "/test",
                                                        "org.quorbix.test.Portal", "Activate");
        m << id << token;
        const QDBusMessage r = probe_->call(m, QDBus::Block, 5000);
        return r.type() == QDBusMessage::ReplyMessage && r.arguments().value(0).toBool();
    }

    bool ready = false;
    QString why, address, logPath;

private:
    QTemporaryDir dir_;
    QProcess daemon_, portal_;
    std::unique_ptr<QDBusConnection> probe_;
};

#define REQUIRE_BUS(bus)                                                                                           \
    if (!(bus).ready)                                                                                              \
    GTEST_SKIP() << (bus).why.toStdString()

struct Recorder {
    std::vector<int> hotkeys;
    int failures = 0;
    void attach(platform::GlobalHotkeys &hk)
    {
        hk.onHotkey = [this](int id) { hotkeys.push_back(id); };
        hk.onRegistrationFailed = [this] { ++failures; };
        hk.description = [](int id) { return "Quorbix: Aktion " + std::to_string(id) + " (Text der Zwischenablage)"; };
    }
};

} // namespace

TEST(PortalHotkeys, OneSessionBindsTheStoredTriggersAndActivatedNamesTheShortcut)
{
    PortalBus bus("ok");
    REQUIRE_BUS(bus);
    auto hk = platform::createPortalGlobalHotkeys(bus.address.toStdString());
    Recorder r;
    r.attach(*hk);
    // Start-up: three registrations, one round.
    EXPECT_TRUE(hk->registerHotkey(browser::kHotkeyEncrypt, platform::kModControl, '1'));
    EXPECT_TRUE(hk->registerHotkey(browser::kHotkeyDecrypt, platform::kModControl | platform::kModShift, 0x70));
    EXPECT_TRUE(hk->registerHotkey(browser::kHotkeySign, platform::kModControl | platform::kModAlt, 'S'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.count("BindShortcuts") == 1; }, 10000)) << bus.calls().join("\n").toStdString();
    EXPECT_EQ(bus.calls(), QStringList({"CreateSession",
                                        "BindShortcuts 100=CTRL+1=Quorbix: Aktion 100 (Text der Zwischenablage);"
                                        "200=CTRL+SHIFT+F1=Quorbix: Aktion 200 (Text der Zwischenablage);"
                                        "300=CTRL+ALT+S=Quorbix: Aktion 300 (Text der Zwischenablage)"}));

    // Activated: the identifier, and the desktop's activation token for the
    // window the flow raises.
    qunsetenv("XDG_ACTIVATION_TOKEN");
    ASSERT_TRUE(bus.activate("100", "token-from-the-desktop"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !r.hotkeys.empty(); }, 5000));
    EXPECT_EQ(r.hotkeys, std::vector<int>({100}));
    EXPECT_EQ(qgetenv("XDG_ACTIVATION_TOKEN"), "token-from-the-desktop");
    qunsetenv("XDG_ACTIVATION_TOKEN");
    ASSERT_TRUE(bus.activate("400")); // never asked for
    ASSERT_TRUE(bus.activate("300"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.hotkeys.size() == 2; }, 5000));
    EXPECT_EQ(r.hotkeys, std::vector<int>({100, 300}));
    EXPECT_TRUE(qgetenv("XDG_ACTIVATION_TOKEN").isEmpty());

    // The settings dialog's "Ok" without a change binds nothing again; a
    // changed key is bound in the same session, in one call for all three.
    for (int id : {100, 200, 300})
        hk->unregisterHotkey(id);
    hk->registerHotkey(browser::kHotkeyEncrypt, platform::kModControl, '1');
    hk->registerHotkey(browser::kHotkeyDecrypt, platform::kModControl | platform::kModShift, 0x70);
    hk->registerHotkey(browser::kHotkeySign, platform::kModControl | platform::kModAlt, 'S');
    for (int id : {100, 200, 300})
        hk->unregisterHotkey(id);
    hk->registerHotkey(browser::kHotkeyEncrypt, platform::kModControl, '1');
    hk->registerHotkey(browser::kHotkeySign, platform::kModControl | platform::kModAlt, 'S');
    // The two alone; the third then follows in a round of its own, whether
    // or not the desktop has answered the second yet.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.count("BindShortcuts") == 2; }, 10000));
    hk->registerHotkey(browser::kHotkeyDecrypt, platform::kModAlt, 'D');
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.count("BindShortcuts") == 3; }, 10000)) << bus.calls().join("\n").toStdString();
    const QStringList calls = bus.calls();
    EXPECT_EQ(bus.count("CreateSession"), 1);
    EXPECT_EQ(calls.value(2), "BindShortcuts 100=CTRL+1=Quorbix: Aktion 100 (Text der Zwischenablage);"
                              "300=CTRL+ALT+S=Quorbix: Aktion 300 (Text der Zwischenablage)");
    EXPECT_TRUE(calls.value(3).contains("200=ALT+D=")) << calls.value(3).toStdString();
    ASSERT_TRUE(bus.activate("200"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.hotkeys.size() == 3; }, 5000));
    EXPECT_EQ(r.hotkeys.back(), 200);
    EXPECT_EQ(r.failures, 0);

    // A key the portal has no name for is refused at once, as on X11.
    EXPECT_FALSE(hk->registerHotkey(browser::kHotkeySign, platform::kModControl, 0xE5));
}

TEST(PortalHotkeys, ARefusalAnIncompleteBindingAndAMissingPortalAreEachToldOncePerRound)
{
    for (const char *mode : {"refuse", "partial", ""}) {
        SCOPED_TRACE(*mode ? mode : "no portal");
        PortalBus bus(mode);
        REQUIRE_BUS(bus);
        auto hk = platform::createPortalGlobalHotkeys(bus.address.toStdString());
        Recorder r;
        r.attach(*hk);
        for (int id : {100, 200, 300})
            EXPECT_TRUE(hk->registerHotkey(id, platform::kModControl, '0' + id / 100));
        ASSERT_TRUE(QTest::qWaitFor([&] { return r.failures > 0; }, 10000)) << bus.calls().join("\n").toStdString();
        if (*mode) {
            EXPECT_EQ(bus.count("BindShortcuts"), 1);
        }
        // The next round (the settings dialog confirmed) asks again, and is
        // told once again.
        for (int id : {100, 200, 300})
            hk->unregisterHotkey(id);
        for (int id : {100, 200, 300})
            hk->registerHotkey(id, platform::kModControl, '0' + id / 100);
        ASSERT_TRUE(QTest::qWaitFor([&] { return r.failures > 1; }, 10000));
        if (*mode) {
            EXPECT_EQ(bus.count("BindShortcuts"), 2);
        }
        EXPECT_EQ(r.failures, 2);
        if (std::string(mode) == "partial") {
            // The shortcuts the desktop did bind work; the one it left out
            // stays inactive.
            ASSERT_TRUE(bus.activate("300"));
            ASSERT_TRUE(bus.activate("100"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return !r.hotkeys.empty(); }, 5000));
            EXPECT_EQ(r.hotkeys, std::vector<int>({100}));
        }
    }
}

TEST(PortalHotkeys, AConfirmationLeftOpenBlocksNothing)
{
    PortalBus bus("silent");
    REQUIRE_BUS(bus);
    auto hk = platform::createPortalGlobalHotkeys(bus.address.toStdString());
    Recorder r;
    r.attach(*hk);
    for (int id : {100, 200, 300})
        EXPECT_TRUE(hk->registerHotkey(id, platform::kModControl, '0' + id / 100));
    // The call is made and the program goes on while the desktop asks.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.count("BindShortcuts") == 1; }, 10000));
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 5000));
    // A change meanwhile waits for the answer instead of starting a second
    // request beside the first.
    hk->registerHotkey(browser::kHotkeyEncrypt, platform::kModAlt, '1');
    QTest::qWait(300);
    EXPECT_EQ(bus.count("BindShortcuts"), 1);
    EXPECT_EQ(r.failures, 0);
}

// The main window with the portal as its desktop's hotkeys: start-up binds
// the stored keys; Activated for encrypt runs the encryption flow with the
// exact PGP command line; a refusing portal gives the message once.
TEST(PortalHotkeys, ActivatedRunsTheFlowsOfTheMainWindow)
{
    for (const char *mode : {"ok", "refuse"}) {
        SCOPED_TRACE(mode);
        PortalBus bus(mode);
        REQUIRE_BUS(bus);
        auto hk = platform::createPortalGlobalHotkeys(bus.address.toStdString());
        testsupport::FakeClipboard clipboard;
        testsupport::FakeWindowTree windows;
        desktop::DesktopServices ds;
        ds.hotkeys = hk.get();
        ds.clipboard = &clipboard;
        ds.windows = &windows;
        desktop::installDesktopServices(ds);

        testsupport::FormFixture fx(
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"
            "\"Left\"=\"40\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"
            "\"PGPPath\"=\"/pgp\"\r\n\"Language\"=\"English\"\r\n\"Browser\"=\"Clipboard\"\r\n"
            "\"SCEncrypt\"=hex:31,00,04,00\r\n\"SCDecrypt\"=hex:32,00,04,00\r\n\"SCSign\"=hex:33,00,04,00\r\n");
        fx.proc.onRun = [&](const platform::ProcessJob &) {
            fx.fs.addFile("/tmp/QUORBIX.asc", "-----BEGIN PGP MESSAGE-----\r\n\r\nhQEMA\r\n-----END PGP MESSAGE-----\r\n");
        };
        TForm1 &form = fx.create();
        auto refusals = [&] {
            int n = 0;
            for (const auto &m : fx.dialogs.shown)
                n += m.text == "Konnte Hotkey nicht setzen !";
            return n;
        };
        EXPECT_EQ(refusals(), 0) << "told at start-up, before the desktop answered";
        ASSERT_TRUE(QTest::qWaitFor([&] { return bus.count("BindShortcuts") == 1; }, 10000));
        if (std::string(mode) == "refuse") {
            ASSERT_TRUE(QTest::qWaitFor([&] { return refusals() > 0; }, 10000));
            QTest::qWait(100);
            EXPECT_EQ(refusals(), 1);
            fx.destroy();
            continue;
        }
        EXPECT_EQ(bus.calls().value(1), "BindShortcuts 100=CTRL+1=Quorbix: encrypt the text on the clipboard;"
                                        "200=CTRL+2=Quorbix: decrypt or verify the text on the clipboard;"
                                        "300=CTRL+3=Quorbix: sign the text on the clipboard");
        clipboard.setText("//0x1234ABCD\nHallo Welt");
        ASSERT_TRUE(bus.activate("100"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !fx.proc.runs.empty() && !form.hotkeyFlowRunning(); }, 10000));
        ASSERT_EQ(fx.proc.runs.size(), 1u);
        EXPECT_EQ(fx.proc.runs[0].args, std::vector<std::string>({"-ea", "+batchmode", "/tmp/QUORBIX.tmp",
                                                                  "0x1234ABCD", "+batchmode", "+CharSet=Latin1",
                                                                  "+force"}));
        EXPECT_EQ(fx.proc.runs[0].showState, 0);
        EXPECT_EQ(clipboard.text().substr(0, 27), "-----BEGIN PGP MESSAGE-----");
        EXPECT_EQ(refusals(), 0);
        fx.destroy();
    }
    desktop::installDesktopServices({});
}
