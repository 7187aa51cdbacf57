// RunPgp against the real process runner and file system, with the
// recording stand-in for PGP in PgpDir.
#include "pgp/TaggedDialogs.h"
#include "support/FakePgpLog.h"

#include "app/AppState.h"
#include "pgp/RunPgp.h"
#include "platform/Platform.h"
#include "ui/Dialogs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using RecordingDialogs = pgptest::RecordingDialogs;

namespace fs = std::filesystem;

} // namespace

TEST(RunPgpSystem, PassPhraseThroughPipeAndFileOperandWithBlanks)
{
    const std::string pgpDir = QUORBIX_FAKEPGP_DIR;
    ASSERT_TRUE(fs::exists(pgpDir + "/pgp")) << "stand-in for PGP not built";
    fs::path base = fs::temp_directory_path() / ("quorbix run " + std::to_string(::getpid()));
    fs::create_directories(base / "app dir");
    const std::string log = (base / "log").string(), script = (base / "script").string();
    {
        std::ofstream s(script);
        s << "stdout listed ${1}\nexit 3\n";
    }
    setenv("QUORBIX_FAKEPGP_LOG", log.c_str(), 1);
    setenv("QUORBIX_FAKEPGP_SCRIPT", script.c_str(), 1);
    setenv("PGPPASS", "from environment", 1);

    RecordingDialogs dialogs;
    app::AppState st;
    st.sys.fs = &platform::systemFileSystem();
    st.sys.proc = &platform::systemProcessRunner();
    st.dialogs = &dialogs;
    st.pgpDir = pgpDir;
    st.appDir = (base / "app dir").string();
    st.sendPassPhrase = true;
    st.passPhrase = "ge\"heim pass";
    st.configText = "+verbose=0";

    pgp::RunRequest r;
    r.options = "-kvc ";
    r.operand1 = st.appDir + "/my file.txt";
    r.operand1IsFile = true;
    r.operand2 = "\"John Doe\"";
    r.captureOutput = 1;
    EXPECT_EQ(pgp::RunPgp(st, r).exitCode, 3);
    EXPECT_TRUE(dialogs.shown.empty());

    auto runs = testsupport::readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 1u);
    const auto &run = runs[0];
    EXPECT_EQ(run.args(), (std::vector<std::string>{"-kvc", st.appDir + "/my file.txt", "John Doe", "+verbose=0",
                                                    "+batchmode", "+CharSet=Latin1", "+force"}));
    EXPECT_EQ(fs::canonical(run.cwd), fs::canonical(pgpDir));
    ASSERT_TRUE(run.passData.has_value());
    EXPECT_EQ(*run.passData, "ge\"heim pass\n"); // one line, as PGP reads it
    EXPECT_EQ(run.pgpPass, std::optional<std::string>("from environment"));
    for (const auto &c : run.cmdline)
        EXPECT_EQ(c.find("heim"), std::string::npos) << c;

    const std::string out = st.appDir + "/out.txt";
    EXPECT_EQ(st.sys.fs->readFile(out), "listed -kvc\n");
    struct stat sb {};
    ASSERT_EQ(::stat(out.c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 0777, 0600u);

    // Before the pass phrase is touched, no pipe: PGP has its PGPPASS.
    st.sendPassPhrase = false;
    pgp::RunPgp(st, r);
    runs = testsupport::readFakePgpLog(log);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_FALSE(runs[1].passFd.has_value());

    // A PgpDir without pgp: the start fails and says so.
    st.pgpDir = (base / "app dir").string();
    st.sendPassPhrase = true;
    EXPECT_EQ(pgp::RunPgp(st, r).exitCode, -1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].rfind("plain:Fehler bei der Ausführung von " + st.pgpDir + "/pgp -kvc ", 0), 0u)
        << dialogs.shown[0];
    EXPECT_EQ(dialogs.shown[0].find("heim"), std::string::npos);

    unsetenv("QUORBIX_FAKEPGP_LOG");
    unsetenv("QUORBIX_FAKEPGP_SCRIPT");
    unsetenv("PGPPASS");
    fs::remove_all(base);
}
