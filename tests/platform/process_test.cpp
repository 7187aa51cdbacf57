// Starting and waiting for PGP with the recording stand-in.
#include "platform/InstanceChannel.h"
#include "platform/Platform.h"
#include "platform/SystemProcessRunner.h"

#include "support/FakePgpLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::ProcessJob;
using testsupport::readFakePgpLog;

namespace {

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

int openFdCount()
{
    int n = 0;
    if (DIR *d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

std::int64_t nowNs()
{
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// A work directory, a log and a script for the stand-in, set in the
// environment the children inherit.
class FakePgpRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        dir = tmp.path().toStdString();
        log = dir + "/fakepgp.log";
        script = dir + "/script";
        ::setenv("QUORBIX_FAKEPGP_LOG", log.c_str(), 1);
        ::setenv("QUORBIX_FAKEPGP_SCRIPT", script.c_str(), 1);
        spit(script, "");
    }
    void TearDown() override
    {
        ::unsetenv("QUORBIX_FAKEPGP_LOG");
        ::unsetenv("QUORBIX_FAKEPGP_SCRIPT");
    }
    ProcessJob job(std::vector<std::string> args)
    {
        ProcessJob s;
        s.program = testsupport::fakePgpProgram();
        s.args = std::move(args);
        s.workDir = dir;
        return s;
    }

    QTemporaryDir tmp;
    std::string dir, log, script;
    platform::SystemProcessRunner runner;
};

} // namespace

TEST_F(FakePgpRun, ArgumentsOutputAndExitCodeArriveExactly)
{
    spit(dir + "/my file.txt", "plain");
    spit(script, "stdout Datei wird verschl\\xFCsselt\n"
                 "write ${STEM2}.asc -----BEGIN PGP MESSAGE-----\n"
                 "exit 3\n"
                 "stdout never\n");
    platform::systemFileSystem().writePrivateFile(dir + "/out.txt", "");
    ProcessJob s = job({"-e", "my file.txt", "\"Some User\"", "+batchmode"});
    s.stdoutFile = dir + "/out.txt";
    const int fdsBefore = openFdCount();
    auto r = runner.runAndWait(s);
    EXPECT_EQ(openFdCount(), fdsBefore); // nothing leaks into the front end

    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.quitRequested);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(slurp(dir + "/out.txt"), "Datei wird verschl\xFCsselt\n");
    EXPECT_EQ(slurp(dir + "/my file.asc"), "-----BEGIN PGP MESSAGE-----");
    auto runs = readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args(), (std::vector<std::string>{"-e", "my file.txt", "\"Some User\"", "+batchmode"}));
    EXPECT_EQ(runs[0].cwd, dir);
    EXPECT_FALSE(runs[0].passFd);
    EXPECT_FALSE(runs[0].stdoutTty);
    EXPECT_NE(runs[0].endNs, 0);

    // Without an output file the output goes where ours goes; a planted link
    // at the output file is refused before the start.
    ::symlink((dir + "/elsewhere").c_str(), (dir + "/Tree.txt").c_str());
    s.stdoutFile = dir + "/Tree.txt";
    r = runner.runAndWait(s);
    EXPECT_FALSE(r.started);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(readFakePgpLog(log).size(), 1u);
}

TEST_F(FakePgpRun, PassPhraseTravelsThroughPgppassfdOnly)
{
    ::setenv("PGPPASSFD", "99", 1); // one of ours must not be handed on
    ProcessJob s = job({"-sta", "QUORBIX.tmp"});
    const std::string phrase = "mein \"geheimes\" Mantra \xE4";
    s.passPhrase = phrase;
    auto r = runner.runAndWait(s);
    ::unsetenv("PGPPASSFD");
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(r.exitCode, 0);
    auto runs = readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_TRUE(runs[0].passFd);
    EXPECT_NE(*runs[0].passFd, "99");
    EXPECT_EQ(runs[0].passData, phrase + "\n");
    ASSERT_FALSE(runs[0].cmdline.empty());
    for (const auto &c : runs[0].cmdline)
        EXPECT_EQ(c.find("geheim"), std::string::npos) << c;
    EXPECT_EQ(runs[0].args(), (std::vector<std::string>{"-sta", "QUORBIX.tmp"}));

    // The next run without a pass phrase gets no descriptor.
    s.passPhrase.reset();
    runner.runAndWait(s);
    runs = readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_FALSE(runs[1].passFd);
}

TEST_F(FakePgpRun, NestedRunInsideAWaitAndLiveEvents)
{
    spit(script, "when outer sleep 600\nwhen outer exit 1\nwhen inner exit 2\n");
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);

    platform::ProcessResult inner;
    std::int64_t innerReturned = 0;
    QTimer::singleShot(100, [&] {
        inner = runner.runAndWait(job({"inner"}));
        innerReturned = nowNs();
    });
    auto outer = runner.runAndWait(job({"outer"}));
    const std::int64_t outerReturned = nowNs();

    EXPECT_TRUE(outer.started);
    EXPECT_EQ(outer.exitCode, 1);
    EXPECT_TRUE(inner.started);
    EXPECT_EQ(inner.exitCode, 2);
    ASSERT_NE(innerReturned, 0);
    EXPECT_LT(innerReturned, outerReturned);
    EXPECT_GT(ticks, 20); // the event loop kept running during the wait
    auto runs = readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].args(), std::vector<std::string>{"outer"});
    EXPECT_EQ(runs[1].args(), std::vector<std::string>{"inner"});
}

TEST_F(FakePgpRun, FailedStartsReportWithoutWaiting)
{
    ProcessJob s = job({"-kv"});
    s.program = dir + "/no/pgp";
    auto r = runner.runAndWait(s);
    EXPECT_FALSE(r.started);
    EXPECT_FALSE(r.error.empty());

    spit(dir + "/notexec", "#!/bin/sh\n");
    s.program = dir + "/notexec";
    r = runner.runAndWait(s);
    EXPECT_FALSE(r.started);

    s = job({"-kv"});
    s.workDir = dir + "/missing dir";
    r = runner.runAndWait(s);
    EXPECT_FALSE(r.started);
    EXPECT_NE(r.error.find("missing dir"), std::string::npos);
    EXPECT_TRUE(readFakePgpLog(log).empty());
}

TEST_F(FakePgpRun, QuitRequestDuringTheWaitReturnsAtOnce)
{
    spit(script, "sleep 700\n");
    QTimer::singleShot(100, [] {
        // What QCoreApplication::quit() announces, without ending the test program.
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    });
    const std::int64_t start = nowNs();
    auto r = runner.runAndWait(job({"-kv"}));
    const std::int64_t took = nowNs() - start;
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.quitRequested);
    EXPECT_LT(took, 600 * 1000000LL);
    // PGP is left to end by itself.
    EXPECT_TRUE(QTest::qWaitFor([&] { auto runs = readFakePgpLog(log); return !runs.empty() && runs[0].endNs; }, 5000));
}

TEST_F(FakePgpRun, ReturnFollowsTheChildsExitClosely)
{
    std::vector<double> ms;
    for (int i = 0; i < 30; ++i) {
        runner.runAndWait(job({"-kv"}));
        const std::int64_t back = nowNs();
        auto runs = readFakePgpLog(log);
        ASSERT_EQ(runs.size(), static_cast<std::size_t>(i + 1));
        ms.push_back((back - runs.back().endNs) / 1e6);
    }
    // The floor: the same child waited for by a blocking waitpid().
    std::vector<double> floor;
    const std::string prog = testsupport::fakePgpProgram();
    for (int i = 0; i < 30; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(prog.c_str(), prog.c_str(), "-kv", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        int st = 0;
        ::waitpid(pid, &st, 0);
        const std::int64_t back = nowNs();
        floor.push_back((back - readFakePgpLog(log).back().endNs) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(floor.begin(), floor.end());
    const double median = ms[ms.size() / 2];
    std::printf("runAndWait: child exit to return: median %.3f ms, min %.3f ms, max %.3f ms; "
                "blocking waitpid: median %.3f ms, min %.3f ms\n",
                median, ms.front(), ms.back(), floor[floor.size() / 2], floor.front());
    // A 30 ms polling loop would need 30 ms or more.
    EXPECT_LT(median, 10.0);
}

TEST_F(FakePgpRun, DetachedStartsAndTheirFailureCodes)
{
    spit(dir + "/MakeID.bat", "echo listed > ID.txt\n");
    auto r = platform::startScriptDetached(runner, platform::systemFileSystem(), dir + "/MakeID.bat", dir);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_GT(r.code, 32);
    EXPECT_TRUE(QTest::qWaitFor([&] { return slurp(dir + "/ID.txt") == "listed\n"; }, 5000));

    r = platform::startScriptDetached(runner, platform::systemFileSystem(), dir + "/Missing.bat", dir);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 2);
    r = platform::startScriptDetached(runner, platform::systemFileSystem(), dir + "/MakeID.bat", dir + "/nodir");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 3);

    r = runner.startDetached("no-such-program-quorbix", {}, dir);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 2);
    EXPECT_FALSE(r.error.empty());
    r = runner.startDetached(dir + "/MakeID.bat", {}, dir); // not executable
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 5);
}

// A second start hands its command line to the first and ends; the first
// gets it with relative names made absolute. The folder is private.
TEST(InstanceChannel, SecondStartHandsOverItsCommandLine)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString() + "/quorbix";
    platform::InstanceChannel first(dir);
    ASSERT_FALSE(first.handOffOrListen({}));
    ASSERT_TRUE(first.listening());
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    std::vector<std::vector<std::string>> got;
    first.setReceiver([&](const std::vector<std::string> &a) { got.push_back(a); });
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"/d", "/home/u/msg 1.asc"}, std::vector<std::string>{"letter.txt"}}) {
        std::atomic<int> handed{-1};
        std::thread second([&] {
            platform::InstanceChannel other(dir);
            handed = other.handOffOrListen(args) ? 1 : 0;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return handed != -1; }, 5000));
        second.join();
        EXPECT_EQ(handed, 1);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return got.size() == 2; }, 2000));
    EXPECT_EQ(got[0], (std::vector<std::string>{"/d", "/home/u/msg 1.asc"}));
    EXPECT_EQ(got[1], (std::vector<std::string>{QDir::currentPath().toStdString() + "/letter.txt"}));

    // Another key (other settings) is another instance.
    platform::InstanceChannel otherSettings(dir, "/elsewhere/QUORBIX.reg");
    EXPECT_FALSE(otherSettings.handOffOrListen({"y"}));
    EXPECT_TRUE(otherSettings.listening());
    EXPECT_EQ(got.size(), 2u);

    // A folder open to others is not used at all: that start runs alone.
    ::chmod(dir.c_str(), 0755);
    platform::InstanceChannel shared(dir);
    EXPECT_FALSE(shared.handOffOrListen({"x"}));
    EXPECT_FALSE(shared.listening());
    ::chmod(dir.c_str(), 0700);
}

// A socket left by a start that died is taken over; a peer that sends half a
// message, junk, an impossible length or nothing does not stop the next start
// from handing over;
// a file that is no socket is never removed; the socket goes with its owner.
TEST(InstanceChannel, StaleSocketsAndBrokenPeersLoseNothing)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString() + "/quorbix";
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    const std::string path = dir + "/instance";
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    {
        const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        ::close(dead); // the file stays, nobody listens
    }
    auto first = std::make_unique<platform::InstanceChannel>(dir);
    ASSERT_FALSE(first->handOffOrListen({}));
    ASSERT_TRUE(first->listening());
    std::vector<std::vector<std::string>> got;
    first->setReceiver([&](const std::vector<std::string> &a) { got.push_back(a); });

    auto rawPeer = [&](const std::string &bytes) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const timeval wait{3, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        if (!bytes.empty()) {
            EXPECT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
        }
        return fd;
    };
    ::close(rawPeer(std::string("\0\0\0\x02\0\0", 6))); // half a list, then gone
    ::close(rawPeer(std::string(2000, '\xff')));          // junk
    // One argument said to be 2 GB long: refused before anything is allocated for it.
    const int liar = rawPeer(std::string("\0\0\0\x01\x7f\xff\xff\xff", 8));
    const int silent = rawPeer({});                        // connected, says nothing
    QTest::qWait(50);

    std::atomic<int> handed{-1};
    std::thread second([&] { handed = platform::InstanceChannel(dir).handOffOrListen({"/tmp/a b.asc"}) ? 1 : 0; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return handed != -1; }, 5000));
    second.join();
    EXPECT_EQ(handed, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !got.empty(); }, 2000));
    EXPECT_EQ(got, (std::vector<std::vector<std::string>>{{"/tmp/a b.asc"}}));
    ::close(silent);
    char gone;
    EXPECT_EQ(::recv(liar, &gone, 1, 0), 0) << "the window hung up on a peer with an impossible length";
    ::close(liar);

    first.reset();
    struct stat st {};
    EXPECT_NE(::lstat(path.c_str(), &st), 0) << "the socket outlived its window";

    // Something else at the socket's name: left alone, and this start runs alone.
    {
        std::ofstream(path) << "not a socket";
    }
    platform::InstanceChannel lone(dir);
    EXPECT_FALSE(lone.handOffOrListen({"x"}));
    EXPECT_FALSE(lone.listening());
    EXPECT_EQ(slurp(path), "not a socket");
}
