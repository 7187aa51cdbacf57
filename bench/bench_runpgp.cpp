// RunPgp's own overhead: from the moment PGP exits to RunPgp's return, with
// the real process runner. PGP is the recording stand-in, which stamps
// CLOCK_REALTIME just before it exits; without it, /bin/true stands in and
// only whole runs are timed.
//
//   bench_runpgp [PGPDIR] [RUNS]
#include "app/AppState.h"
#include "pgp/RunPgp.h"
#include "platform/Platform.h"
#include "ui/Dialogs.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class QuietDialogs : public ui::Dialogs {
public:
    int shown = 0;
    void plainMessage(const std::string &t) override { note(t); }
    void errorBox(const std::string &t) override { note(t); }
    void information(const std::string &t) override { note(t); }
    ui::Answer askYesNoCancel(const std::string &) override { return ui::Answer::Cancel; }
    ui::Answer confirmOkCancel(const std::string &) override { return ui::Answer::Cancel; }
    void informationWithHelp(const std::string &t, const std::string &, int) override { note(t); }
    void platformError(const std::string &t) override { note(t); }

private:
    void note(const std::string &t)
    {
        ++shown;
        std::fprintf(stderr, "message: %s\n", t.c_str());
    }
};

std::int64_t realtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The stand-in's "end <ns>" line of the last run, 0 when missing.
std::int64_t lastEndStamp(const std::string &log)
{
    std::ifstream in(log);
    std::string line;
    std::int64_t end = 0;
    while (std::getline(in, line))
        if (line.rfind("end ", 0) == 0)
            end = std::atoll(line.c_str() + 4);
    return end;
}

void report(const char *what, std::vector<double> ms)
{
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size())))]; };
    std::printf("%-34s runs %3zu  median %7.3f ms  p90 %7.3f ms  max %7.3f ms\n", what, ms.size(), at(0.5),
                at(0.9), ms.back());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    namespace fs = std::filesystem;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;

    std::string pgpDir;
    if (argc > 1) {
        pgpDir = argv[1];
    } else {
        fs::path exe = fs::read_symlink("/proc/self/exe");
        pgpDir = (exe.parent_path().parent_path() / "tests" / "fakepgp").string();
    }
    const fs::path work = fs::temp_directory_path() / ("quorbix-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    bool stamped = fs::exists(pgpDir + "/pgp");
    if (!stamped) {
        std::printf("no stand-in in %s: timing /bin/true runs as a whole\n", pgpDir.c_str());
        pgpDir = (work / "bin").string();
        fs::create_directories(pgpDir);
        fs::create_symlink("/bin/true", pgpDir + "/pgp");
    }
    const std::string log = (work / "pgp.log").string();
    setenv("QUORBIX_FAKEPGP_LOG", log.c_str(), 1);
    unsetenv("QUORBIX_FAKEPGP_SCRIPT");

    QuietDialogs dialogs;
    app::AppState st;
    st.sys.fs = &platform::systemFileSystem();
    st.sys.proc = &platform::systemProcessRunner();
    st.dialogs = &dialogs;
    st.pgpDir = pgpDir;
    st.appDir = work.string();
    st.sendPassPhrase = true;
    st.passPhrase = "bench";

    pgp::RunRequest req;
    req.options = "-kvc ";
    req.operand1 = "0x12345678";
    req.captureOutput = 1;

    std::vector<double> overhead, whole;
    for (int i = 0; i < runs; ++i) {
        fs::remove(log);
        auto t0 = std::chrono::steady_clock::now();
        int rc = pgp::RunPgp(st, req).exitCode;
        std::int64_t returned = realtimeNs();
        auto t1 = std::chrono::steady_clock::now();
        if (rc < 0 || dialogs.shown) {
            std::fprintf(stderr, "run %d failed (%d)\n", i, rc);
            return 1;
        }
        whole.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (stamped) {
            std::int64_t end = lastEndStamp(log);
            if (end > 0)
                overhead.push_back(double(returned - end) / 1e6);
        }
    }
    std::printf("PgpDir %s\n", pgpDir.c_str());
    report("RunPgp, PGP's exit to return", overhead);
    report("RunPgp, whole run", whole);
    fs::remove_all(work);
    return 0;
}
