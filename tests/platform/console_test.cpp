// Console runs inside a terminal emulator on an X server (our own Xvfb when
// no display is given).
#include "platform/Platform.h"
#include "platform/SystemProcessRunner.h"

#include "support/FakePgpLog.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::readFakePgpLog;

namespace {

void spit(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Our own children whose command is the given program (the terminal), by id.
std::vector<pid_t> childrenNamed(const std::string &comm)
{
    std::vector<pid_t> out;
    DIR *d = ::opendir("/proc");
    if (!d)
        return out;
    while (dirent *e = ::readdir(d)) {
        pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        if (pid <= 0)
            continue;
        std::ifstream st("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(st, line);
        auto open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::string name = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 2));
        char state;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == ::getpid() && name == comm)
            out.push_back(pid);
    }
    ::closedir(d);
    return out;
}

class ConsoleRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QStandardPaths::findExecutable("xterm").isEmpty())
            return;
        const char *display = std::getenv("DISPLAY");
        if (display && *display) {
            usable = true;
            return;
        }
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            return;
        // Xvfb picks a free display itself and tells which on its output.
        xvfb = new QProcess;
        xvfb->setProcessChannelMode(QProcess::SeparateChannels);
        xvfb->setStandardErrorFile(QProcess::nullDevice());
        xvfb->start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!xvfb->waitForStarted(5000))
            return;
        QByteArray out;
        (void)QTest::qWaitFor([&] {
            out += xvfb->readAllStandardOutput();
            return out.contains('\n') || xvfb->state() == QProcess::NotRunning;
        }, 10000);
        bool ok = false;
        const int n = out.trimmed().toInt(&ok);
        if (ok) {
            ownDisplay = ":" + std::to_string(n);
            ::setenv("DISPLAY", ownDisplay.c_str(), 1);
            usable = true;
        }
    }
    static void TearDownTestSuite()
    {
        if (xvfb) {
            xvfb->terminate();
            xvfb->waitForFinished(3000);
            delete xvfb;
            xvfb = nullptr;
            ::unsetenv("DISPLAY");
        }
    }

    void SetUp() override
    {
        if (!usable)
            GTEST_SKIP() << "no xterm or no X server";
        dir = tmp.path().toStdString();
        log = dir + "/fakepgp.log";
        script = dir + "/script";
        spit(script, "");
        ::setenv("QUORBIX_FAKEPGP_LOG", log.c_str(), 1);
        ::setenv("QUORBIX_FAKEPGP_SCRIPT", script.c_str(), 1);
        ::setenv("TMPDIR", dir.c_str(), 1);
        // No test may hang on a terminal that does not end.
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            for (pid_t p : childrenNamed("xterm"))
                ::kill(p, SIGTERM);
        });
        guard.start(20000);
    }
    void TearDown() override
    {
        guard.stop();
        ::unsetenv("QUORBIX_FAKEPGP_LOG");
        ::unsetenv("QUORBIX_FAKEPGP_SCRIPT");
        ::unsetenv("TMPDIR");
        ::unsetenv("QUORBIX_TERMINAL");
    }
    platform::ProcessJob job(const std::string &title)
    {
        platform::ProcessJob s;
        s.program = testsupport::fakePgpProgram();
        s.args = {"-kg", "key file.txt"};
        s.workDir = dir;
        s.showState = 5;
        s.consoleTitle = title;
        return s;
    }
    std::vector<std::string> leftovers()
    {
        std::vector<std::string> out;
        if (DIR *d = ::opendir(dir.c_str())) {
            while (dirent *e = ::readdir(d))
                if (std::string(e->d_name).rfind("quorbix-", 0) == 0)
                    out.push_back(e->d_name);
            ::closedir(d);
        }
        return out;
    }

    static inline bool usable = false;
    static inline QProcess *xvfb = nullptr;
    static inline std::string ownDisplay;
    QTemporaryDir tmp;
    std::string dir, log, script;
    QTimer guard;
    platform::SystemProcessRunner runner;
};

} // namespace

TEST_F(ConsoleRun, ClosingWindowReturnsTheExitCodeAndThePassPhrase)
{
    spit(script, "stdout Schl\\xFCssel erzeugen...\nexit 7\n");
    auto s = job("PGP");
    s.passPhrase = "console secret";
    auto r = runner.runAndWait(s);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 7);
    auto runs = readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args(), (std::vector<std::string>{"-kg", "key file.txt"}));
    EXPECT_EQ(runs[0].cwd, dir);
    EXPECT_TRUE(runs[0].stdinTty);  // the user can answer PGP's questions
    EXPECT_TRUE(runs[0].stdoutTty);
    EXPECT_EQ(runs[0].passData, std::string("console secret\n"));

    // Output into a file while the window shows.
    platform::systemFileSystem().writePrivateFile(dir + "/out.txt", "");
    s.stdoutFile = dir + "/out.txt";
    r = runner.runAndWait(s);
    EXPECT_EQ(r.exitCode, 7);
    runs = readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 2u);
    runs.erase(runs.begin());
    EXPECT_FALSE(runs[0].stdoutTty);
    {
        std::ifstream in(dir + "/out.txt", std::ios::binary);
        std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(got, "Schl\xFCssel erzeugen...\n");
    }
    s.stdoutFile.reset();
    EXPECT_EQ(runs[0].passData, std::string("console secret\n"));
    for (const auto &c : runs[0].cmdline)
        EXPECT_EQ(c.find("secret"), std::string::npos);
    EXPECT_TRUE(leftovers().empty());

    // A terminal other than xterm gets the pass phrase through a named pipe
    // that the wrapper removes before PGP runs.
    ::setenv("QUORBIX_TERMINAL", "env xterm", 1);
    spit(script, "exit 4\n");
    r = runner.runAndWait(s);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 4);
    runs = readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].passData, std::string("console secret\n"));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(ConsoleRun, WindowThatStaysOpenWaitsForEnter)
{
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "no xdotool";
    spit(script, "exit 5\n");
    auto s = job("PGP wait test");
    s.closeOnExit = false;
    bool returned = false, openAfterExit = false, windowFound = false;
    QTimer poll;
    std::int64_t seenEnd = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto runs = readFakePgpLog(log);
        if (runs.empty() || !runs[0].endNs)
            return;
        if (!seenEnd) {
            seenEnd = 1;
            return; // look again on the next tick, well after PGP ended
        }
        poll.stop();
        openAfterExit = !returned && !childrenNamed("xterm").empty();
        // Focus the terminal and type Enter through XTEST, as a user would.
        QProcess search;
        search.start("xdotool", {"search", "--onlyvisible", "--name", "PGP wait test"});
        search.waitForFinished(5000);
        const QStringList ids = QString::fromLatin1(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        windowFound = !ids.isEmpty();
        for (const QString &id : ids) {
            QProcess xdo;
            xdo.start("xdotool", {"windowfocus", "--sync", id, "key", "Return"});
            xdo.waitForFinished(5000);
            if (xdo.exitCode() != 0)
                ADD_FAILURE() << "xdotool " << id.toStdString() << ": " << xdo.readAllStandardError().toStdString();
        }
    });
    poll.start(400);
    auto r = runner.runAndWait(s);
    returned = true;
    EXPECT_TRUE(openAfterExit);
    EXPECT_TRUE(windowFound);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 5);
}

// A terminal that is not xterm gets the pass phrase through a named pipe in
// a private folder: no file ever holds it. The stand-in terminal needs no X
// server; it looks at what it was handed before it runs the command.
TEST(ConsolePassPhrase, OtherTerminalsGetANamedPipeNeverAFile)
{
    QTemporaryDir tmp, logDir;
    const std::string dir = tmp.path().toStdString();
    const std::string log = logDir.path().toStdString() + "/fakepgp.log";
    const std::string seen = logDir.path().toStdString() + "/seen";
    const std::string term = logDir.path().toStdString() + "/term";
    // Its arguments: -e /bin/sh -c WRAPPER NAME STATUS CLOSE PASS ...
    spit(term, "#!/bin/sh\n"
               "shift\n"
               "p=\"$7\"\n"
               "{ stat -c '%F %a' \"$p\"; stat -c '%a' \"$(dirname \"$p\")\";\n"
               "  find \"$TMPDIR\" -type f -exec grep -l 'pipe secret' {} +; } >'" + seen + "' 2>&1\n"
               "exec \"$@\" >/dev/null\n");
    ::chmod(term.c_str(), 0700);
    spit(logDir.path().toStdString() + "/script", "exit 5\n");
    ::setenv("QUORBIX_FAKEPGP_LOG", log.c_str(), 1);
    ::setenv("QUORBIX_FAKEPGP_SCRIPT", (logDir.path().toStdString() + "/script").c_str(), 1);
    ::setenv("TMPDIR", dir.c_str(), 1);
    ::setenv("QUORBIX_TERMINAL", term.c_str(), 1);

    platform::SystemProcessRunner runner;
    platform::ProcessJob s;
    s.program = testsupport::fakePgpProgram();
    s.args = {"-kg"};
    s.workDir = dir;
    s.showState = 5;
    s.passPhrase = "pipe secret";
    for (int round = 0; round < 2; ++round) {
        const auto r = runner.runAndWait(s);
        ASSERT_TRUE(r.started) << r.error;
        EXPECT_EQ(r.exitCode, 5);
        std::ifstream in(seen);
        std::string what((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(what, "fifo 600\n700\n"); // no file found holding it
        const auto runs = readFakePgpLog(log);
        ASSERT_EQ(runs.size(), std::size_t(round + 1));
        EXPECT_EQ(runs.back().passData, std::string("pipe secret\n"));
        // Pipe and folder are gone afterwards.
        EXPECT_TRUE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).isEmpty());
    }
    ::unsetenv("QUORBIX_FAKEPGP_LOG");
    ::unsetenv("QUORBIX_FAKEPGP_SCRIPT");
    ::unsetenv("TMPDIR");
    ::unsetenv("QUORBIX_TERMINAL");
}
