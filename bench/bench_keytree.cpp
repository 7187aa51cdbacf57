// The key tree read: "Bau&mansicht anzeigen" over a listing of 10,000 keys
// with three signatures each, from the click to the filled tree, with the
// wait dialog shown and window messages let through during the read.
// PGP's run is replaced by writing the prepared listing into Tree.txt, so
// the figure is the parse and fill (plus the wait dialog), not GnuPG.
//
//   bench_keytree [KEYS] [RUNS] [PUMP_MS]
#include "app/AppState.h"
#include "app/TForm1.h"
#include "commands/KeyTreeCommands.h"
#include "pgp/LaunchFile.h"
#include "platform/Platform.h"
#include "platform/RegistryStore.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

class QuietDialogs : public ui::Dialogs {
public:
    void plainMessage(const std::string &t) override { note(t); }
    void errorBox(const std::string &t) override { note(t); }
    void information(const std::string &t) override { note(t); }
    ui::Answer askYesNoCancel(const std::string &) override { return ui::Answer::No; }
    ui::Answer confirmOkCancel(const std::string &) override { return ui::Answer::Cancel; }
    void informationWithHelp(const std::string &t, const std::string &, int) override { note(t); }
    void platformError(const std::string &t) override { note(t); }

private:
    static void note(const std::string &t) { std::fprintf(stderr, "message: %s\n", t.c_str()); }
};

// PGP stand-in: the -kvv run writes the prepared listing.
class ListingRunner : public platform::ProcessRunner {
public:
    std::string listing;
    platform::FileSystem *fs = nullptr;
    platform::ProcessResult runAndWait(const platform::ProcessJob &job) override
    {
        if (job.stdoutFile)
            fs->writePrivateFile(*job.stdoutFile, listing);
        return {true, 0, {}, false};
    }
    platform::DetachedResult startDetached(const std::string &, const std::vector<std::string> &,
                                           const std::string &) override
    {
        return {true, 33, {}};
    }
};

std::string makeListing(int keys)
{
    std::string s = "Key ring: 'pubring.pgp'\r\nType bits/keyID    Date       User ID\r\n";
    char buf[96];
    for (int i = 0; i < keys; ++i) {
        std::snprintf(buf, sizeof buf, "pub  1024/%08X 1998/05/17 Benchmark User %d <u%d@example.org>\r\n", i, i, i);
        s += buf;
        for (int k = 1; k <= 3; ++k) {
            std::snprintf(buf, sizeof buf, "sig       %08X             Signer %d\r\n", (i * 7 + k) & 0xFFFFFF, k);
            s += buf;
        }
    }
    return s + "\r\n" + std::to_string(keys) + " matching keys found.\r\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qapp(argc, argv);
    const int keys = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (argc > 3)
        commands::ReadKeyTree::pumpIntervalMs = std::atoi(argv[3]);

    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / ("quorbix-bench-tree-" + std::to_string(::getpid()));
    fs::create_directories(base / "app");
    fs::create_directories(base / "pgp");
    const std::string reg = (base / "QUORBIX.reg").string();
    {
        std::ofstream r(reg, std::ios::binary);
        r << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"
          << "\"Left\"=\"40\"\r\n\"Top\"=\"30\"\r\n\r\n"
          << "[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"
          << "\"PGPPath\"=\"" << (base / "pgp").string() << "\"\r\n\"Language\"=\"Deutsch\"\r\n";
        std::ofstream pif(base / "app" / "MakeID.pif", std::ios::binary);
        pif << pgp::makeLaunchFile("MakeID", "MakeID.bat");
    }

    QuietDialogs dialogs;
    ListingRunner runner;
    runner.fs = &platform::systemFileSystem();
    runner.listing = makeListing(keys);
    platform::FileRegistryStore store(reg);
    app::AppState st;
    st.sys = platform::systemServices();
    st.sys.proc = &runner;
    st.sys.registry = &store;
    st.dialogs = &dialogs;
    st.appDir = (base / "app").string();
    int pumps = 0;
    qint64 pumpNs = 0;
    st.processEvents = [&pumps, &pumpNs] {
        ++pumps;
        QElapsedTimer t;
        t.start();
        QCoreApplication::processEvents();
        pumpNs += t.nsecsElapsed();
    };

    std::vector<double> ms;
    int lastPumps = 0;
    double lastPumpMs = 0;
    {
        TForm1 form(st, {});
        form.show();
        QCoreApplication::processEvents();
        for (int i = 0; i < runs; ++i) {
            pumps = 0;
            pumpNs = 0;
            QElapsedTimer t;
            t.start();
            form.buReadTreeClick();
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
            lastPumps = pumps;
            lastPumpMs = double(pumpNs) / 1e6;
            if (form.TreeView1->topLevelItemCount() != keys || st.keyCount != keys) {
                std::fprintf(stderr, "wrong tree: %d nodes\n", form.TreeView1->topLevelItemCount());
                return 1;
            }
        }
    }
    fs::remove_all(base);
    std::sort(ms.begin(), ms.end());
    std::printf("key tree read, %d keys x 3 signatures (%s): min %.1f ms, median %.1f ms, max %.1f ms; "
                "%d message pumps during the last read (every %d ms, %.1f ms in them)\n",
                keys, qPrintable(QGuiApplication::platformName()), ms.front(), ms[ms.size() / 2], ms.back(),
                lastPumps, commands::ReadKeyTree::pumpIntervalMs, lastPumpMs);
    return 0;
}
