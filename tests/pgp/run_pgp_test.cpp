// RunPgp: the command line, the argument vector, output capture, messages;
// ShowError; the key-list script.
#include "pgp/TaggedDialogs.h"
#include "app/AppState.h"
#include "keys/MakeIdBatch.h"
#include "pgp/LaunchFile.h"
#include "pgp/RunPgp.h"
#include "platform/Platform.h"
#include "support/FakeFileSystem.h"
#include "support/FakeProcessRunner.h"
#include "ui/Dialogs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

using namespace pgp;

namespace {

using RecordingDialogs = pgptest::RecordingDialogs;

struct Fixture {
    testsupport::FakeFileSystem fs;
    testsupport::FakeProcessRunner proc;
    RecordingDialogs dialogs;
    app::AppState st;
    int events = 0;
    std::vector<int> quits;
    Fixture()
    {
        for (auto d : {"/opt/pgp", "/home/u/quorbix", "/home/u/docs"})
            fs.mkdirs(d);
        st.sys.fs = &fs;
        st.sys.proc = &proc;
        st.dialogs = &dialogs;
        st.pgpDir = "/opt/pgp";
        st.appDir = "/home/u/quorbix";
        st.processEvents = [this] { ++events; };
        st.quitNow = [this](int code) { quits.push_back(code); };
    }
};

RunRequest captured(std::string options, std::string op1 = "", std::string op2 = "")
{
    RunRequest r;
    r.options = std::move(options);
    r.operand1 = std::move(op1);
    r.operand2 = std::move(op2);
    r.captureOutput = 1;
    return r;
}

using Args = std::vector<std::string>;

} // namespace

TEST(RunPgpCommandLine, ComposesLikeTheClassicFrontEnd)
{
    Fixture f;
    auto &st = f.st;
    EXPECT_EQ(displayCommandLine(st, captured("-kvc ", "0x1A2B3C4D")),
              "/opt/pgp/pgp -kvc  0x1A2B3C4D    +batchmode +CharSet=Latin1 +force");
    // Empty options still give both blanks; no capture, no batch options.
    RunRequest dec;
    dec.operand1 = "/home/u/docs/a.pgp";
    EXPECT_EQ(displayCommandLine(st, dec), "/opt/pgp/pgp  /home/u/docs/a.pgp    ");
    // Only the value 1 counts as capture.
    dec.captureOutput = 2;
    EXPECT_EQ(displayCommandLine(st, dec), "/opt/pgp/pgp  /home/u/docs/a.pgp    ");

    // PGPPASS taken at start-up is not put on the line until the user touched it.
    st.passPhrase = "from env";
    EXPECT_EQ(displayCommandLine(st, captured("-kvv ")).find("-z"), std::string::npos);
    st.sendPassPhrase = true;
    st.passPhrase = "";
    EXPECT_EQ(displayCommandLine(st, captured("-kvv ")),
              "/opt/pgp/pgp -kvv    -z \"***\"  +batchmode +CharSet=Latin1 +force");
    st.passPhrase = "se\"cr et";
    st.configText = "+verbose=0 +armorlines=0";
    RunRequest enc = captured("-eat", "/home/u/docs/my file.txt", "0x11111111 0x22222222");
    EXPECT_EQ(displayCommandLine(st, enc),
              "/opt/pgp/pgp -eat /home/u/docs/my file.txt 0x11111111 0x22222222 -z \"***\" "
              "+verbose=0 +armorlines=0 +batchmode +CharSet=Latin1 +force");
    // Both outputs at once append the batch options twice, as composed.
    enc.outputFile = "/home/u/docs/out";
    EXPECT_NE(displayCommandLine(st, enc).find("+force+batchmode +CharSet=Latin1 +force"), std::string::npos);
    // No 200-character limit.
    RunRequest longer = captured("-kv ", std::string(300, 'k'));
    EXPECT_EQ(displayCommandLine(st, longer), "/opt/pgp/pgp -kv  " + std::string(300, 'k') +
                                                  "  -z \"***\" +verbose=0 +armorlines=0 "
                                                  "+batchmode +CharSet=Latin1 +force");
}

TEST(RunPgpCommandLine, ArgumentVector)
{
    EXPECT_EQ(splitArguments("  -kvc  0x1A  "), (Args{"-kvc", "0x1A"}));
    EXPECT_EQ(splitArguments("\"John Doe\""), (Args{"John Doe"}));
    EXPECT_EQ(splitArguments("+comment=\"a b\" x"), (Args{"+comment=a b", "x"}));
    EXPECT_EQ(splitArguments("\"\""), (Args{""}));
    EXPECT_TRUE(splitArguments("   ").empty());

    Fixture f;
    f.st.sendPassPhrase = true;
    f.st.passPhrase = "top secret";
    f.st.configText = "+verbose=0  +armorlines=0";
    RunRequest enc = captured("-eat", "/home/u/docs/my file.txt", "0x11111111 0x22222222");
    enc.operand1IsFile = true;
    Invocation inv = buildInvocation(f.st, enc);
    EXPECT_EQ(inv.program, "/opt/pgp/pgp");
    EXPECT_EQ(inv.args, (Args{"-eat", "/home/u/docs/my file.txt", "0x11111111", "0x22222222", "+verbose=0",
                              "+armorlines=0", "+batchmode", "+CharSet=Latin1", "+force"}));
    EXPECT_TRUE(inv.sendPassPhrase);

    // The blank that separates a file on the composed line is not its name's;
    // the name's own blanks, leading and trailing, are.
    RunRequest button = captured("-kxa ", "0x11111111 ", "/home/u/key file");
    button.operand2Separator = " ";
    button.operand2IsFile = true;
    EXPECT_NE(displayCommandLine(f.st, button).find("-kxa  0x11111111  /home/u/key file  -z"), std::string::npos)
        << displayCommandLine(f.st, button);
    EXPECT_EQ(buildInvocation(f.st, button).args[2], "/home/u/key file");
    button.operand2 = "/home/u/tr.txt ";
    EXPECT_NE(displayCommandLine(f.st, button).find("0x11111111  /home/u/tr.txt   -z"), std::string::npos)
        << displayCommandLine(f.st, button);
    EXPECT_EQ(buildInvocation(f.st, button).args[2], "/home/u/tr.txt ");
    RunRequest spaced = captured("-eat", " tr.txt  ", "0x11111111");
    spaced.operand1IsFile = true;
    EXPECT_EQ(buildInvocation(f.st, spaced).args[1], " tr.txt  ");

    RunRequest user = captured("-kvc ", "\"John Doe\"");
    user.operand2IsFile = true; // empty file operand: no argument
    EXPECT_EQ(buildInvocation(f.st, user).args,
              (Args{"-kvc", "John Doe", "+verbose=0", "+armorlines=0", "+batchmode", "+CharSet=Latin1", "+force"}));
    for (auto &a : inv.args)
        EXPECT_EQ(a.find("secret"), std::string::npos);

    // Both outputs: the batch options only once in the arguments.
    f.st.configText.clear();
    RunRequest both = captured("-kv");
    both.outputFile = "/home/u/docs/x";
    EXPECT_EQ(buildInvocation(f.st, both).args, (Args{"-kv", "+batchmode", "+CharSet=Latin1", "+force"}));
    f.st.sendPassPhrase = false;
    EXPECT_FALSE(buildInvocation(f.st, both).sendPassPhrase);
}

TEST(RunPgp, CapturesIntoFreshPrivateOutTxt)
{
    Fixture f;
    f.fs.addFile("/home/u/quorbix/out.txt", "old output");
    f.st.sendPassPhrase = true;
    f.st.passPhrase = "geheim";
    bool checked = false;
    f.proc.onRun = [&](const platform::ProcessJob &job) {
        EXPECT_EQ(f.fs.content("/home/u/quorbix/out.txt"), "");
        checked = true;
    };
    f.proc.defaultResult.exitCode = 3;
    RunRequest r = captured("-kvc ", "0x1A2B3C4D");
    const RunOutcome failed = RunPgp(f.st, r);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_TRUE(checked);
    // A failed run's report is its own; files pgp writes itself are not.
    EXPECT_TRUE(failed.wrote("/home/u/quorbix/out.txt"));
    EXPECT_FALSE(failed.wrote("/tmp/QUORBIX.asc"));
    f.proc.onRun = nullptr;
    EXPECT_EQ(f.fs.mode("/home/u/quorbix/out.txt"), 0600u);
    ASSERT_EQ(f.proc.runs.size(), 1u);
    const auto &job = f.proc.runs[0];
    EXPECT_EQ(job.program, "/opt/pgp/pgp");
    EXPECT_EQ(job.args, (Args{"-kvc", "0x1A2B3C4D", "+batchmode", "+CharSet=Latin1", "+force"}));
    EXPECT_EQ(job.workDir, "/opt/pgp");
    EXPECT_EQ(job.stdoutFile, std::optional<std::string>("/home/u/quorbix/out.txt"));
    EXPECT_EQ(job.showState, 0);
    EXPECT_EQ(job.passPhrase, std::optional<std::string>("geheim"));
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(f.events, 1);

    // Before the pass phrase was touched, PGP relies on its inherited PGPPASS.
    f.st.sendPassPhrase = false;
    f.proc.defaultResult.exitCode = 0;
    EXPECT_TRUE(RunPgp(f.st, r).wrote("/tmp/QUORBIX.asc"));
    EXPECT_FALSE(f.proc.runs[1].passPhrase.has_value());

    // No output target: PGP writes to its console.
    RunRequest console;
    console.options = "-kg";
    console.windowMode = 5;
    f.fs.files.clear();
    RunPgp(f.st, console);
    EXPECT_FALSE(f.proc.runs[2].stdoutFile.has_value());
    EXPECT_EQ(f.proc.runs[2].showState, 5);
    EXPECT_TRUE(f.fs.files.empty());
}

TEST(RunPgp, OutputFileMessagesAndStartFailure)
{
    Fixture f;
    RunRequest tree;
    tree.options = "-kvv";
    tree.outputFile = "/home/u/quorbix/Tree.txt";
    RunPgp(f.st, tree);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(f.proc.runs[0].stdoutFile, std::optional<std::string>("/home/u/quorbix/Tree.txt"));
    tree.outputFile = "/home/u/quorbix/ID.txt";
    RunPgp(f.st, tree);
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(f.events, 2);
    // Exact comparison: another spelling is another file here.
    tree.outputFile = "/home/u/quorbix/tree.txt";
    RunPgp(f.st, tree);
    EXPECT_EQ(f.dialogs.shown.back(), "plain:Output wrote to /home/u/quorbix/tree.txt");

    // A failed start names the command line without the pass phrase, and the
    // output file message still follows.
    f.dialogs.shown.clear();
    f.st.sendPassPhrase = true;
    f.st.passPhrase = "geheim";
    f.proc.defaultResult = platform::ProcessResult{false, -1, "No such file", false};
    RunRequest key;
    key.options = "-kxa ";
    key.operand1 = "0x1A2B3C4D";
    key.outputFile = "/home/u/docs/K\xF6nig.asc"; // Latin-1
    const RunOutcome notStarted = RunPgp(f.st, key);
    EXPECT_EQ(notStarted.exitCode, -1);
    EXPECT_FALSE(notStarted.started);
    EXPECT_TRUE(notStarted.wrote(key.outputFile)); // created empty before the start
    EXPECT_FALSE(notStarted.wrote("/home/u/quorbix/out.txt"));
    ASSERT_EQ(f.dialogs.shown.size(), 2u);
    EXPECT_EQ(f.dialogs.shown[0],
              "plain:Fehler bei der Ausführung von /opt/pgp/pgp -kxa  0x1A2B3C4D  -z \"***\"  "
              "+batchmode +CharSet=Latin1 +force");
    EXPECT_EQ(f.dialogs.shown[1], "plain:Output wrote to /home/u/docs/K\xC3\xB6nig.asc");
    for (auto &s : f.dialogs.shown)
        EXPECT_EQ(s.find("geheim"), std::string::npos);

    // An output file that cannot be created: reported, PGP not started.
    f.dialogs.shown.clear();
    std::size_t runsBefore = f.proc.runs.size();
    key.outputFile = "/nowhere/x.asc";
    EXPECT_EQ(RunPgp(f.st, key).exitCode, -1);
    EXPECT_EQ(f.proc.runs.size(), runsBefore);
    EXPECT_EQ(f.dialogs.shown,
              std::vector<std::string>{"platform:" + platform::systemErrorText(ENOTDIR) + ": /nowhere/x.asc"});

    // A link planted at out.txt is not followed: nothing is written through it.
    f.dialogs.shown.clear();
    f.fs.addFile("/home/u/secret", "keep");
    f.fs.addSymlink("/home/u/quorbix/out.txt", "/home/u/secret");
    const RunOutcome refused = RunPgp(f.st, captured("-kvv "));
    EXPECT_EQ(refused.exitCode, -1);
    EXPECT_FALSE(refused.output);
    EXPECT_FALSE(refused.wrote("/home/u/quorbix/out.txt"));
    EXPECT_EQ(f.proc.runs.size(), runsBefore);
    EXPECT_EQ(f.fs.content("/home/u/secret"), "keep");
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].rfind("platform:", 0), 0u);
}

TEST(RunPgp, RecipientsAreNeverOptions)
{
    Fixture f;
    // The chooser's typed user ID is one argument, also after the button's
    // separating blank; other recipient text splits as before.
    f.st.typedUserId = "Bob\" -o /home/u/p2.txt \"";
    const std::string quoted = "\"" + *f.st.typedUserId + "\"";
    EXPECT_EQ(operandArguments(f.st, quoted + " ", false), (Args{*f.st.typedUserId}));
    EXPECT_EQ(operandArguments(f.st, "\"Ann A\" 0x1", false), (Args{"Ann A", "0x1"}));
    f.st.typedUserId = "";
    EXPECT_EQ(operandArguments(f.st, "\"\"", false), (Args{""}));
    f.st.typedUserId.reset();
    EXPECT_EQ(operandArguments(f.st, quoted, false), (Args{"Bob", "-o", "/home/u/p2.txt", ""}));

    // Split that way, the option is refused: nothing runs, the user's output
    // file is left alone, and out.txt holds no earlier report.
    f.fs.addFile("/home/u/quorbix/out.txt", "earlier report");
    f.fs.addFile("/home/u/docs/mine.asc", "keep");
    RunRequest enc = captured("-ea +batchmode", "/tmp/QUORBIX.tmp", quoted);
    enc.operand1IsFile = true;
    EXPECT_EQ(RunPgp(f.st, enc).exitCode, -1);
    RunRequest button;
    button.options = "-kxa ";
    button.operand1 = "0xDEADBEEF +force ";
    button.outputFile = "/home/u/docs/mine.asc";
    EXPECT_EQ(RunPgp(f.st, button).exitCode, -1);
    EXPECT_TRUE(f.proc.runs.empty());
    EXPECT_EQ(f.fs.content("/home/u/quorbix/out.txt"), "");
    EXPECT_EQ(f.fs.content("/home/u/docs/mine.asc"), "keep");
    ASSERT_EQ(f.dialogs.shown.size(), 2u);
    EXPECT_EQ(f.dialogs.shown[0], "error:Der Empfänger \"-o\" beginnt mit \"-\" oder \"+\" und würde von PGP als "
                                  "Option gelesen. PGP wurde nicht gestartet.");
    EXPECT_NE(f.dialogs.shown[1].find("\"+force\""), std::string::npos);

    // The typed ID with its quotes and blanks runs as one argument.
    f.st.typedUserId = "Bob\" -o /home/u/p2.txt \"";
    RunRequest file = captured("-ea", "/home/u/docs/a b", quoted);
    file.operand1IsFile = true;
    EXPECT_EQ(RunPgp(f.st, file).exitCode, 0);
    ASSERT_EQ(f.proc.runs.size(), 1u);
    EXPECT_EQ(f.proc.runs[0].args, (Args{"-ea", "/home/u/docs/a b", *f.st.typedUserId, "+batchmode", "+CharSet=Latin1", "+force"}));
}

TEST(RunPgp, ConsoleCloseFlagAndQuitRequest)
{
    Fixture f;
    ASSERT_TRUE(EnsureLaunchFile(f.st));
    RunRequest gen;
    gen.options = "-kg";
    gen.windowMode = 5;
    RunPgp(f.st, gen);
    EXPECT_FALSE(f.proc.runs.back().closeOnExit);
    SetCloseOnExit(f.st, true);
    RunPgp(f.st, gen);
    EXPECT_TRUE(f.proc.runs.back().closeOnExit);

    f.proc.defaultResult = platform::ProcessResult{true, 0, "", true};
    gen.outputFile = "/home/u/docs/o.txt";
    RunPgp(f.st, gen);
    EXPECT_EQ(f.quits, std::vector<int>{0});
    EXPECT_TRUE(f.dialogs.shown.empty());
}

TEST(ShowError, TextAndBox)
{
    EXPECT_EQ(showErrorText("Konnte die Userliste nicht erstellen !", 2, 100),
              "Konnte die Userliste nicht erstellen !\r\rCode:  2,100");
    EXPECT_EQ(showErrorText("x", -1, 0), "x\r\rCode:  -1,0");
    Fixture f;
    ShowError(f.st, "M", 0, 0);
    EXPECT_EQ(f.dialogs.shown, std::vector<std::string>{"error:M\r\rCode:  0,0"});
    EXPECT_EQ(toMessageText("Gr\xFC\xDF"), "Gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(toMessageText("Gr\xC3\xBC\xC3\x9F"), "Gr\xC3\xBC\xC3\x9F");
}

TEST(MakeIdBatch, LineWriteAndStart)
{
    const std::string line = "set -C; umask 077; t=$(mktemp -u /home/u/quorbix/ID.txt.XXXXXX) && exec 3>\"$t\" && "
                             "{ /opt/pgp/pgp -kv +CharSet=Latin1 >&3; exec 3>&-; "
                             "mv -fT \"$t\" /home/u/quorbix/ID.txt || rm -f \"$t\"; }\n";
    EXPECT_EQ(keys::makeIdBatchLine("/opt/pgp", "/home/u/quorbix"), line);
    EXPECT_EQ(keys::makeIdBatchLine("/my pgp", "/it's here"),
              "set -C; umask 077; t=$(mktemp -u '/it'\\''s here/ID.txt.XXXXXX') && exec 3>\"$t\" && "
              "{ '/my pgp/pgp' -kv +CharSet=Latin1 >&3; exec 3>&-; "
              "mv -fT \"$t\" '/it'\\''s here/ID.txt' || rm -f \"$t\"; }\n");

    Fixture f;
    keys::WriteMakeIdBatch(f.st);
    EXPECT_EQ(f.fs.content("/home/u/quorbix/MakeID.bat"), line);
    keys::RunMakeIdBatch(f.st);
    ASSERT_EQ(f.proc.detached.size(), 1u);
    EXPECT_EQ(f.proc.detached[0].program, "/bin/sh");
    EXPECT_EQ(f.proc.detached[0].args, Args{"/home/u/quorbix/MakeID.bat"});
    EXPECT_EQ(f.proc.detached[0].workDir, "/opt/pgp");
    EXPECT_TRUE(f.dialogs.shown.empty());

    f.proc.defaultDetached = platform::DetachedResult{false, 2, "not found"};
    keys::RunMakeIdBatch(f.st);
    EXPECT_EQ(f.dialogs.shown, std::vector<std::string>{"error:Konnte die Userliste nicht erstellen !\r\rCode:  2,100"});
    f.st.texts.setEnglish();
    keys::RunMakeIdBatch(f.st);
    EXPECT_EQ(f.dialogs.shown.back(), "error:Couldn't generate userlist !\r\rCode:  2,100");

    // A PgpDir that is gone is the shell's "path not found", 3.
    f.st.pgpDir = "/gone";
    keys::RunMakeIdBatch(f.st);
    EXPECT_EQ(f.dialogs.shown.back(), "error:Couldn't generate userlist !\r\rCode:  3,100");
    EXPECT_EQ(f.proc.detached.size(), 3u);

    f.fs.readOnlyDirs.insert("/home/u/quorbix");
    EXPECT_THROW(keys::WriteMakeIdBatch(f.st), platform::PlatformError);
}

TEST(MakeIdBatch, ShellRunsTheLineWithBlanksInPaths)
{
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path() / ("quorbix core " + std::to_string(::getpid()));
    fs::path pgpDir = base / "p g p", appDir = base / "app dir";
    fs::create_directories(pgpDir);
    fs::create_directories(appDir);
    {
        std::ofstream pgp(pgpDir / "pgp");
        pgp << "#!/bin/sh\necho \"listed $*\"\n";
    }
    fs::permissions(pgpDir / "pgp", fs::perms::owner_all);
    {
        std::ofstream bat(appDir / "MakeID.bat");
        bat << keys::makeIdBatchLine(pgpDir.string(), appDir.string());
    }
    // A link planted at ID.txt is replaced, not written through.
    const fs::path victim = base / "victim";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, appDir / "ID.txt");
    const std::string cmd = "cd '" + pgpDir.string() + "' && sh '" + (appDir / "MakeID.bat").string() + "'";
    auto slurp = [](const fs::path &p) {
        std::ifstream in(p);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_FALSE(fs::is_symlink(appDir / "ID.txt"));
        EXPECT_EQ(slurp(appDir / "ID.txt"), "listed -kv +CharSet=Latin1\n");
        EXPECT_EQ(fs::status(appDir / "ID.txt").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
        // Nothing but the script and the listing is left behind.
        EXPECT_EQ(std::distance(fs::directory_iterator(appDir), fs::directory_iterator()), 2);
    }
    EXPECT_EQ(slurp(victim), "precious");
    fs::remove_all(base);
}
