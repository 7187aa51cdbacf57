// File and editor text commands against a fake main window; the fake
// process runner records pgp's exact argument vectors.
#include "commands/EditorTextCommands.h"
#include "commands/FileCommands.h"
#include "commands/FakeHost.h"

#include <gtest/gtest.h>

#include <algorithm>

using testsupport::FakeHost;
using Args = std::vector<std::string>;
using Page = commands::CommandHost::Page;

namespace {

const Args kTail{"+batchmode", "+CharSet=Latin1", "+force"};

Args with(Args a, const Args &tail = kTail)
{
    a.insert(a.end(), tail.begin(), tail.end());
    return a;
}

struct CryptFixture : FakeHost {
    int openAsked = 0;
    QString nextFile;
    commands::EncryptFile encryptFile;
    commands::DecryptFile decryptFile;
    commands::SignFile signFile;
    commands::AddKeysFromText addKeys;
    commands::EncryptText encryptText;
    commands::DecryptText decryptText;
    commands::SignText signText;

    CryptFixture()
    {
        fs.addFile("/app/MakeID.bat", "script");
        st.passPhrase = "secret";
        app::FileDialog::testHook() = [this](app::FileDialog &d) {
            ++openAsked;
            if (nextFile.isEmpty())
                return false;
            d.fileName = nextFile;
            return true;
        };
    }
    // Acts while the recipient chooser is open.
    std::function<void()> whileChoosing;
    void chooseRecipient() override
    {
        if (whileChoosing)
            whileChoosing();
        FakeHost::chooseRecipient();
    }
    void setBoxes(bool b, bool a, bool t) { boxes = {b, a, t}; }
    void run(commands::Command &c) { runner.run(c); }
};

} // namespace

TEST(FileCommands, ExactArgumentsAndReportInEditor)
{
    CryptFixture fx;
    fx.reportWith("Good signature from user \"Ann\".\r\n");
    fx.nextFile = "/data/My Letter.txt";
    fx.page = Page::KeyTree;
    fx.recipient = "0x12345678"; // the chooser's first row

    fx.setBoxes(false, true, true);
    fx.st.recipientArg = "0x87654321"; // what an earlier command left goes
    fx.run(fx.encryptFile);
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].program, "/pgp/pgp");
    // The file name with its blank stays one argument.
    EXPECT_EQ(fx.proc.runs[0].args, with({"-eat", "/data/My Letter.txt", "0x12345678"}));
    EXPECT_EQ(fx.edit.toPlainText(), "Good signature from user \"Ann\".");
    EXPECT_EQ(fx.page, Page::KeyTree); // the page is not switched
    EXPECT_TRUE(fx.caption.isEmpty());
    EXPECT_EQ(fx.recipientAsked, 1);
    EXPECT_FALSE(fx.st.commandBusy);

    fx.setBoxes(false, false, false);
    fx.st.recipientArg = "0x87654321"; // what an earlier command left goes
    fx.run(fx.encryptFile);
    ASSERT_EQ(fx.proc.runs.size(), 2u);
    EXPECT_EQ(fx.proc.runs[1].args, with({"-e", "/data/My Letter.txt", "0x12345678"}));

    // Decrypt: no letters whatever the boxes say.
    fx.setBoxes(true, true, true);
    fx.run(fx.decryptFile);
    ASSERT_EQ(fx.proc.runs.size(), 3u);
    EXPECT_EQ(fx.proc.runs[2].args, with({"/data/My Letter.txt"}));

    fx.run(fx.signFile);
    ASSERT_EQ(fx.proc.runs.size(), 4u);
    EXPECT_EQ(fx.proc.runs[3].args, with({"-sbat", "+batchmode", "/data/My Letter.txt"}));
    fx.setBoxes(false, false, false);
    fx.run(fx.signFile);
    EXPECT_EQ(fx.proc.runs[4].args, with({"-s", "+batchmode", "/data/My Letter.txt"}));
    EXPECT_FALSE(fx.st.commandBusy);
}

TEST(FileCommands, CancelBusyAndMissingPassPhrase)
{
    CryptFixture fx;
    fx.edit.setPlainText("keep");

    // Busy: every file command is ignored, no dialog appears.
    fx.nextFile = "/data/x.asc";
    fx.st.commandBusy = true;
    fx.run(fx.encryptFile);
    fx.run(fx.decryptFile);
    fx.run(fx.signFile);
    EXPECT_EQ(fx.openAsked, 0);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_TRUE(fx.st.commandBusy); // not ours to clear
    fx.st.commandBusy = false;

    // Open dialog cancelled: nothing runs, the editor is unchanged.
    fx.nextFile.clear();
    fx.run(fx.decryptFile);
    fx.run(fx.signFile);
    EXPECT_EQ(fx.openAsked, 2);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.edit.toPlainText(), "keep");

    // No recipient: the open dialog is skipped entirely.
    fx.st.recipientArg.clear();
    fx.recipient.clear(); // the chooser is cancelled
    fx.run(fx.encryptFile);
    EXPECT_EQ(fx.recipientAsked, 1);
    EXPECT_EQ(fx.openAsked, 2);
    EXPECT_TRUE(fx.proc.runs.empty());

    // No pass phrase: the file is asked for first, then nothing runs.
    fx.st.passPhrase.clear();
    fx.nextFile = "/data/x.asc";
    // Each command asks once; cancelling abandons it.
    fx.passPhraseAnswer.reset();
    fx.run(fx.decryptFile);
    fx.run(fx.signFile);
    EXPECT_EQ(fx.passPhraseAsked, 2);
    EXPECT_TRUE(fx.st.sendPassPhrase);
    EXPECT_EQ(fx.openAsked, 4);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_FALSE(fx.st.commandBusy);
    EXPECT_EQ(fx.edit.toPlainText(), "keep");
}

TEST(EditorCommands, EncryptForInlineRecipients)
{
    CryptFixture fx;
    fx.setBoxes(true, false, false);
    fx.edit.setPlainText(QString::fromUtf8("//0xAAAAAAAA 0xBBBBBBBB\nGrüße\nzwei"));
    fx.fs.addFile("/tmp/QUORBIX.asc", "stale result");
    std::string input;
    unsigned inputMode = 0;
    fx.proc.onRun = [&](const platform::ProcessJob &s) {
        input = fx.fs.content("/tmp/QUORBIX.tmp");
        inputMode = fx.fs.mode("/tmp/QUORBIX.tmp");
        fx.fs.addFile("/tmp/QUORBIX.asc", "-----BEGIN PGP MESSAGE-----\r\n\r\nhQEM\r\n-----END PGP MESSAGE-----\r\n");
        fx.fs.addFile("/tmp/QUORBIX.pgp", "binary");
    };
    fx.run(fx.encryptText);
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].args,
              with({"-eab", "+batchmode", "/tmp/QUORBIX.tmp", "0xAAAAAAAA", "0xBBBBBBBB"}));
    // The "//" line is not part of the encrypted text; Windows Latin-1 with CR LF.
    EXPECT_EQ(input, "Gr\xFC\xDF" "e\r\nzwei\r\n");
    EXPECT_EQ(inputMode, 0600u);
    EXPECT_EQ(fx.edit.toPlainText(), "-----BEGIN PGP MESSAGE-----\n\nhQEM\n-----END PGP MESSAGE-----");
    EXPECT_EQ(fx.st.recipientArg, "0xAAAAAAAA 0xBBBBBBBB");
    for (const char *n : {"/tmp/QUORBIX.tmp", "/tmp/QUORBIX.asc", "/tmp/QUORBIX.pgp"}) {
        EXPECT_FALSE(fx.fs.exists(n)) << n;
        EXPECT_EQ(std::count(fx.fs.removed.begin(), fx.fs.removed.end(), n), 2) << n;
    }
    EXPECT_FALSE(fx.st.commandBusy);

    // Busy: ignored without touching the text.
    fx.st.commandBusy = true;
    fx.edit.setPlainText("//0x1\nx");
    fx.run(fx.encryptText);
    EXPECT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.edit.toPlainText(), "//0x1\nx");
    fx.st.commandBusy = false;

    // No result file: the editor keeps the plain text.
    fx.proc.onRun = nullptr;
    fx.edit.setPlainText("//0xAAAAAAAA\nplain");
    fx.run(fx.encryptText);
    ASSERT_EQ(fx.proc.runs.size(), 2u);
    EXPECT_EQ(fx.edit.toPlainText(), "plain");
}

TEST(EditorCommands, TextOutsideLatin1IsNotWritten)
{
    CryptFixture fx;
    const QString text = QString::fromUtf8("//0xAAAAAAAA\nPreis: 5 \u20AC, \u041F\u0440\u0438\u0432\u0435\u0442");
    fx.edit.setPlainText(text);
    const int writes = fx.fs.writeCount;
    fx.run(fx.encryptText);
    fx.run(fx.signText);
    fx.run(fx.decryptText);
    fx.run(fx.addKeys);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.tmp"));
    EXPECT_EQ(fx.fs.writeCount, writes);
    EXPECT_EQ(fx.edit.toPlainText(), text); // the "//" line is kept too
    ASSERT_EQ(fx.dialogs.shown.size(), 4u);
    EXPECT_NE(fx.dialogs.shown[0].text.find("Latin-1"), std::string::npos);
    EXPECT_NE(fx.dialogs.shown[0].text.find("Zeile 2"), std::string::npos);
    EXPECT_FALSE(fx.st.commandBusy);

    // A full TempDir: the message says so, nothing runs, the text stays.
    fx.edit.setPlainText("Secret");
    fx.fs.fullDirs.insert("/tmp");
    fx.run(fx.signText);
    fx.run(fx.decryptText);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.edit.toPlainText(), "Secret");
    ASSERT_EQ(fx.dialogs.shown.size(), 6u);
    EXPECT_EQ(fx.dialogs.shown[5].text, "Kann Datei /tmp/QUORBIX.tmp nicht erstellen. "
                                        "Nicht genügend Speicherplatz auf dem Datenträger.");
    // The "//" line is not lost with the failed write either.
    fx.edit.setPlainText("//0xAAAAAAAA\nSecret");
    fx.run(fx.encryptText);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.edit.toPlainText(), "//0xAAAAAAAA\nSecret");
}

TEST(EditorCommands, AFailedRunLoadsNoResult)
{
    // pgp fails part-way (a full disk) but leaves a cut-off result file: the
    // editor keeps its text and the viewer shows pgp's report instead.
    CryptFixture fx;
    fx.edit.setPlainText("//0xAAAAAAAA\nplain text");
    fx.proc.defaultResult.exitCode = 2;
    fx.proc.onRun = [&](const platform::ProcessJob &) {
        fx.fs.addFile("/tmp/QUORBIX.asc", "-----BEGIN PGP MESSAGE-----\r\n\r\nhQEM");
    };
    fx.run(fx.encryptText);
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.edit.toPlainText(), "plain text");
    EXPECT_EQ(fx.viewersShown, 1);
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.asc"));

    // A link planted at the result's name while pgp ran is not read through.
    fx.fs.addFile("/home/other.txt", "someone else's text");
    fx.proc.defaultResult.exitCode = 0;
    fx.proc.onRun = [&](const platform::ProcessJob &) { fx.fs.addSymlink("/tmp/QUORBIX.asc", "/home/other.txt"); };
    fx.edit.setPlainText("//0xAAAAAAAA\nplain text");
    fx.run(fx.encryptText);
    EXPECT_EQ(fx.edit.toPlainText(), "plain text");
    EXPECT_EQ(fx.viewersShown, 2);
}

TEST(EditorCommands, ResultsComeOnlyFromTheFilesTheRunWrote)
{
    CryptFixture fx;
    fx.fs.mkdirs("/home");
    fx.fs.addFile("/home/other.txt", "someone else's text");

    // A link planted at out.txt: RunPgp cannot write its report there, and
    // what the link points at is never shown as one.
    fx.fs.addSymlink("/app/out.txt", "/home/other.txt");
    fx.edit.setPlainText("keep");
    fx.nextFile = "/data/x.asc";
    fx.run(fx.decryptFile);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.edit.toPlainText(), "keep");
    fx.edit.setPlainText("-----BEGIN PGP PUBLIC KEY BLOCK-----");
    fx.run(fx.addKeys);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.edit.toPlainText(), "-----BEGIN PGP PUBLIC KEY BLOCK-----");
    EXPECT_EQ(fx.fs.content("/home/other.txt"), "someone else's text");
    fx.fs.remove("/app/out.txt");

    // A link planted at QUORBIX.asc while the chooser is open: pgp refuses
    // to write through it, and the editor keeps the text.
    fx.edit.setPlainText("plain text");
    fx.recipient = "0x12345678";
    fx.whileChoosing = [&] { fx.fs.addSymlink("/tmp/QUORBIX.asc", "/home/other.txt"); };
    fx.reportWith("Output file '/tmp/QUORBIX.asc' is a symbolic link; nothing written.\r\n");
    fx.proc.defaultResult.exitCode = 1;
    fx.run(fx.encryptText);
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.edit.toPlainText(), "plain text");
    EXPECT_EQ(fx.viewersShown, 1);
    // A pgp that says it succeeded all the same is not read through the link.
    fx.proc.defaultResult.exitCode = 0;
    fx.run(fx.encryptText);
    ASSERT_EQ(fx.proc.runs.size(), 2u);
    EXPECT_EQ(fx.edit.toPlainText(), "plain text");
    EXPECT_EQ(fx.fs.content("/home/other.txt"), "someone else's text");
}

TEST(EditorCommands, DecryptSignAndAddKey)
{
    CryptFixture fx;
    fx.setBoxes(false, false, true);

    // Decrypt: a stale QUORBIX is never taken for the new result.
    fx.fs.addFile("/tmp/QUORBIX", "stale");
    fx.edit.setPlainText("-----BEGIN PGP MESSAGE-----");
    fx.run(fx.decryptText);
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].args, with({"/tmp/QUORBIX.tmp"}));
    EXPECT_EQ(fx.edit.toPlainText(), "-----BEGIN PGP MESSAGE-----");

    fx.proc.onRun = [&](const platform::ProcessJob &) { fx.fs.addFile("/tmp/QUORBIX", "Hallo\r\nWelt\r\n"); };
    fx.run(fx.decryptText);
    EXPECT_EQ(fx.edit.toPlainText(), "Hallo\nWelt");
    for (const char *n : {"/tmp/QUORBIX.tmp", "/tmp/QUORBIX.asc", "/tmp/QUORBIX.pgp", "/tmp/QUORBIX"})
        EXPECT_FALSE(fx.fs.exists(n)) << n;

    // Sign: letters b and t only, "a" is implied; .pgp is not its file.
    fx.fs.addFile("/tmp/QUORBIX.pgp", "someone else's");
    fx.proc.onRun = [&](const platform::ProcessJob &) {
        fx.fs.addFile("/tmp/QUORBIX.asc", "-----BEGIN PGP SIGNED MESSAGE-----\r\n");
    };
    fx.run(fx.signText);
    ASSERT_EQ(fx.proc.runs.size(), 3u);
    EXPECT_EQ(fx.proc.runs[2].args, with({"-sat", "+batchmode", "/tmp/QUORBIX.tmp"}));
    EXPECT_EQ(fx.edit.toPlainText(), "-----BEGIN PGP SIGNED MESSAGE-----");
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.asc"));
    EXPECT_TRUE(fx.fs.exists("/tmp/QUORBIX.pgp"));

    // No pass phrase: decrypt and sign run nothing and leave the editor.
    fx.st.passPhrase.clear();
    fx.passPhraseAnswer.reset();
    fx.run(fx.signText);
    fx.run(fx.decryptText);
    EXPECT_EQ(fx.passPhraseAsked, 2);
    EXPECT_EQ(fx.proc.runs.size(), 3u);
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.tmp"));
    EXPECT_EQ(fx.edit.toPlainText(), "-----BEGIN PGP SIGNED MESSAGE-----");

    // Add key: PGP's report replaces the key text; the key list is rebuilt.
    fx.reportWith("Key ring updated.\r\n");
    fx.edit.setPlainText("-----BEGIN PGP PUBLIC KEY BLOCK-----");
    fx.run(fx.addKeys);
    ASSERT_EQ(fx.proc.runs.size(), 4u);
    EXPECT_EQ(fx.proc.runs[3].args, with({"-ka", "+batchmode", "/tmp/QUORBIX.tmp"}));
    EXPECT_EQ(fx.edit.toPlainText(), "Key ring updated.");
    EXPECT_EQ(fx.proc.detached.size(), 1u);
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.tmp"));
}

TEST(EditorCommands, EmptyEditorIsNotRefused)
{
    CryptFixture fx;
    std::string input = "unset";
    fx.proc.onRun = [&](const platform::ProcessJob &) { input = fx.fs.content("/tmp/QUORBIX.tmp"); };
    fx.run(fx.signText);
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(input, "");
}
