// The command line, acted on once at start-up.
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

using testsupport::FormFixture;
using Args = std::vector<std::string>;

namespace {

const QString kVersion = "QUORBIX Version 2.0";

struct CmdFixture : FormFixture {
    CmdFixture()
    {
        fs.addFile("/pgp/pgp", "binary");
        fs.addFile("/home/u/mail/letter.asc", "-----BEGIN PGP MESSAGE-----\r\nhQEM\r\n");
        env.set("PGPPASS", "secret");
    }
    TForm1 &start(Args args) { return create(CommandLineArgs{std::move(args)}); }
};

} // namespace

TEST(CommandLine, ShowsOneFile)
{
    CmdFixture fx;
    TForm1 &f = fx.start({"/home/u/mail/letter.asc"});
    EXPECT_EQ(f.RichEdit1->toPlainText(), "-----BEGIN PGP MESSAGE-----\nhQEM");
    EXPECT_EQ(f.windowTitle(), kVersion + " - letter.asc");
    EXPECT_TRUE(fx.proc.runs.empty());
}

TEST(CommandLine, NothingToDo)
{
    for (Args args : {Args{}, Args{"/x", "/home/u/mail/letter.asc"}, Args{"/D", "/home/u/mail/letter.asc"},
                      Args{"/home/u/my", "mail.asc"}}) {
        CmdFixture fx;
        TForm1 &f = fx.start(args);
        EXPECT_EQ(f.RichEdit1->toPlainText(), "") << args.size();
        EXPECT_EQ(f.windowTitle(), kVersion);
        EXPECT_TRUE(fx.proc.runs.empty());
        EXPECT_TRUE(fx.dialogs.shown.empty());
    }
}

TEST(CommandLine, FailedLoad)
{
    // "/d" alone is a file name; the load fails and nothing else happens.
    for (const char *arg : {"/d", "/k", "/home/u/missing.asc"}) {
        CmdFixture fx;
        TForm1 &f = fx.start({arg});
        ASSERT_EQ(fx.dialogs.shown.size(), 1u) << arg;
        EXPECT_EQ(fx.dialogs.shown[0].text, std::string("Kann Datei ") + arg + " nicht öffnen.");
        EXPECT_EQ(f.RichEdit1->toPlainText(), "");
        EXPECT_EQ(f.windowTitle(), kVersion);
        EXPECT_FALSE(f.GetCommandLine(arg, "", 1));
    }
    CmdFixture fx;
    TForm1 &f = fx.start({"/d", "/home/u/missing.asc"});
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_FALSE(f.GetCommandLine("/k", "/home/u/missing.asc", 2));
}

TEST(CommandLine, DecryptsAndAddsKey)
{
    {
        CmdFixture fx;
        fx.proc.onRun = [&](const platform::ProcessJob &) { fx.fs.addFile("/tmp/QUORBIX", "plain\r\n"); };
        TForm1 &f = fx.start({"/d", "/home/u/mail/letter.asc", "ignored"});
        ASSERT_EQ(fx.proc.runs.size(), 1u);
        EXPECT_EQ(fx.proc.runs[0].args,
                  (Args{"/tmp/QUORBIX.tmp", "+batchmode", "+CharSet=Latin1", "+force"}));
        EXPECT_EQ(f.RichEdit1->toPlainText(), "plain");
        EXPECT_EQ(f.windowTitle(), kVersion);
    }
    {
        CmdFixture fx;
        fx.proc.onRun = [&](const platform::ProcessJob &s) { fx.fs.addFile(*s.stdoutFile, "1 new key\r\n"); };
        TForm1 &f = fx.start({"/k", "/home/u/mail/letter.asc"});
        ASSERT_EQ(fx.proc.runs.size(), 1u);
        EXPECT_EQ(fx.proc.runs[0].args,
                  (Args{"-ka", "+batchmode", "/tmp/QUORBIX.tmp", "+batchmode", "+CharSet=Latin1", "+force"}));
        EXPECT_EQ(f.RichEdit1->toPlainText(), "1 new key");
        // Start-up's key list, the add-key command's, and the command line's own.
        EXPECT_EQ(fx.proc.detached.size(), 3u);
    }
}

TEST(CommandLine, DebugReportOnly)
{
    CmdFixture fx;
    testsupport::ModalAnswerer answer(testsupport::ModalAnswerer::reject());
    TForm1 &f = fx.start({"/debug", "/home/u/mail/letter.asc"});
    EXPECT_EQ(answer.answered(), 1);
    EXPECT_EQ(answer.titles().value(0), "Debug");
    EXPECT_EQ(f.RichEdit1->toPlainText(), "");
    EXPECT_TRUE(fx.proc.runs.empty());
}
