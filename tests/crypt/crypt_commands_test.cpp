// File and editor text commands on a main window over fakes; the fake
// process runner records pgp's exact argument vectors.
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using testsupport::FormFixture;
using Args = std::vector<std::string>;

namespace {

const Args kTail{"+batchmode", "+CharSet=Latin1", "+force"};

Args with(Args a, const Args &tail = kTail)
{
    a.insert(a.end(), tail.begin(), tail.end());
    return a;
}

// Answers the recipient chooser, when there is one, with its first row.
testsupport::ModalAnswerer::Action chooseFirstRow()
{
    return [](QWidget *m) {
        auto *lv = m->findChild<QAbstractItemView *>("ListView1");
        if (!lv || !lv->model() || lv->model()->rowCount() == 0)
            return false;
        lv->setCurrentIndex(lv->model()->index(0, 0));
        QTest::keyClick(lv, Qt::Key_Return);
        return true;
    };
}

struct CryptFixture : FormFixture {
    TForm1 *f = nullptr;
    int openAsked = 0;
    QString nextFile;
    CryptFixture()
    {
        fs.addFile("/pgp/pgp", "binary");
        // A key list with one key for the chooser.
        fs.addFile("/app/ID.txt", "Type bits/keyID    Date       User ID\r\n"
                                  "pub  1024/12345678 1999/01/01 Ann <ann@example.org>\r\n");
        f = &create();
        st.passPhrase = "secret";
        app::FileDialog::testHook() = [this](app::FileDialog &d) {
            ++openAsked;
            if (nextFile.isEmpty())
                return false;
            d.fileName = nextFile;
            return true;
        };
        proc.runs.clear();
        proc.detached.clear();
        fs.removed.clear();
    }
    ~CryptFixture() { app::FileDialog::testHook() = nullptr; }
    void boxes(bool b, bool a, bool t)
    {
        f->CheckBox1->setChecked(b);
        f->CheckBox2->setChecked(a);
        f->CheckBox3->setChecked(t);
    }
    // pgp writes its report to out.txt.
    void reportWith(const std::string &text)
    {
        proc.onRun = [this, text](const platform::ProcessSpec &s) {
            if (s.stdoutFile)
                fs.addFile(*s.stdoutFile, text, 0600);
        };
    }
};

} // namespace

TEST(FileCommands, ExactArgumentsAndReportInEditor)
{
    CryptFixture fx;
    TForm1 &f = *fx.f;
    fx.reportWith("Good signature from user \"Ann\".\r\n");
    fx.nextFile = "/data/My Letter.txt";
    f.Notebook1->setCurrentIndex(1);
    const QString caption = f.windowTitle();

    fx.boxes(false, true, true);
    fx.st.recipientSpec = "0x12345678";
    {
        testsupport::ModalAnswerer chooser(chooseFirstRow());
        f.buEncryptClick();
    }
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].program, "/pgp/pgp");
    // The file name with its blank stays one argument.
    EXPECT_EQ(fx.proc.runs[0].args, with({"-eat", "/data/My Letter.txt", "0x12345678"}));
    EXPECT_EQ(f.RichEdit1->toPlainText(), "Good signature from user \"Ann\".");
    EXPECT_EQ(f.Notebook1->currentIndex(), 1); // the page is not switched
    EXPECT_EQ(f.windowTitle(), caption);
    EXPECT_FALSE(fx.st.commandBusy);

    fx.boxes(false, false, false);
    fx.st.recipientSpec = "0x12345678";
    {
        testsupport::ModalAnswerer chooser(chooseFirstRow());
        f.buEncryptClick();
    }
    ASSERT_EQ(fx.proc.runs.size(), 2u);
    EXPECT_EQ(fx.proc.runs[1].args, with({"-e", "/data/My Letter.txt", "0x12345678"}));

    // Decrypt: no letters whatever the boxes say.
    fx.boxes(true, true, true);
    f.buDecryptClick();
    ASSERT_EQ(fx.proc.runs.size(), 3u);
    EXPECT_EQ(fx.proc.runs[2].args, with({"/data/My Letter.txt"}));

    f.buSignClick();
    ASSERT_EQ(fx.proc.runs.size(), 4u);
    EXPECT_EQ(fx.proc.runs[3].args, with({"-sbat", "+batchmode", "/data/My Letter.txt"}));
    fx.boxes(false, false, false);
    f.buSignClick();
    EXPECT_EQ(fx.proc.runs[4].args, with({"-s", "+batchmode", "/data/My Letter.txt"}));
    EXPECT_FALSE(fx.st.commandBusy);
}

TEST(FileCommands, CancelBusyAndMissingPassPhrase)
{
    CryptFixture fx;
    TForm1 &f = *fx.f;
    f.RichEdit1->setPlainText("keep");

    // Busy: every file command is ignored, no dialog appears.
    fx.nextFile = "/data/x.asc";
    fx.st.commandBusy = true;
    f.buEncryptClick();
    f.buDecryptClick();
    f.buSignClick();
    EXPECT_EQ(fx.openAsked, 0);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_TRUE(fx.st.commandBusy); // not ours to clear
    fx.st.commandBusy = false;

    // Open dialog cancelled: nothing runs, the editor is unchanged.
    fx.nextFile.clear();
    f.buDecryptClick();
    f.buSignClick();
    EXPECT_EQ(fx.openAsked, 2);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(f.RichEdit1->toPlainText(), "keep");

    // No recipient: the open dialog is skipped entirely.
    fx.st.recipientSpec.clear();
    {
        testsupport::ModalAnswerer chooser(testsupport::ModalAnswerer::reject());
        f.buEncryptClick();
    }
    EXPECT_EQ(fx.openAsked, 2);
    EXPECT_TRUE(fx.proc.runs.empty());

    // No pass phrase: the file is asked for first, then nothing runs.
    fx.st.passPhrase.clear();
    fx.nextFile = "/data/x.asc";
    {
        // Each command asks once; cancelling abandons it.
        testsupport::ModalAnswerer mantra(testsupport::ModalAnswerer::reject(), 2);
        f.buDecryptClick();
        f.buSignClick();
        EXPECT_EQ(mantra.answered(), 2);
        EXPECT_EQ(mantra.classNames().value(0), "TfrmMantra");
    }
    EXPECT_EQ(fx.openAsked, 4);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_FALSE(fx.st.commandBusy);
    EXPECT_EQ(f.RichEdit1->toPlainText(), "keep");
}

TEST(EditorCommands, EncryptForInlineRecipients)
{
    CryptFixture fx;
    TForm1 &f = *fx.f;
    fx.boxes(true, false, false);
    f.RichEdit1->setPlainText(QString::fromUtf8("//0xAAAAAAAA 0xBBBBBBBB\nGrüße\nzwei"));
    fx.fs.addFile("/tmp/QUORBIX.asc", "stale result");
    std::string input;
    unsigned inputMode = 0;
    fx.proc.onRun = [&](const platform::ProcessSpec &s) {
        input = fx.fs.content("/tmp/QUORBIX.tmp");
        inputMode = fx.fs.mode("/tmp/QUORBIX.tmp");
        fx.fs.addFile("/tmp/QUORBIX.asc", "-----BEGIN PGP MESSAGE-----\r\n\r\nhQEM\r\n-----END PGP MESSAGE-----\r\n");
        fx.fs.addFile("/tmp/QUORBIX.pgp", "binary");
    };
    f.PmuEncryptClick();
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].args,
              with({"-eab", "+batchmode", "/tmp/QUORBIX.tmp", "0xAAAAAAAA", "0xBBBBBBBB"}));
    // The "//" line is not part of the encrypted text; Latin-1 with CR LF.
    EXPECT_EQ(input, "Gr\xFC\xDF" "e\r\nzwei\r\n");
    EXPECT_EQ(inputMode, 0600u);
    EXPECT_EQ(f.RichEdit1->toPlainText(), "-----BEGIN PGP MESSAGE-----\n\nhQEM\n-----END PGP MESSAGE-----");
    EXPECT_EQ(fx.st.recipientSpec, "0xAAAAAAAA 0xBBBBBBBB");
    for (const char *n : {"/tmp/QUORBIX.tmp", "/tmp/QUORBIX.asc", "/tmp/QUORBIX.pgp"}) {
        EXPECT_FALSE(fx.fs.exists(n)) << n;
        EXPECT_EQ(std::count(fx.fs.removed.begin(), fx.fs.removed.end(), n), 2) << n;
    }
    EXPECT_FALSE(fx.st.commandBusy);

    // Busy: ignored without touching the text.
    fx.st.commandBusy = true;
    f.RichEdit1->setPlainText("//0x1\nx");
    f.PmuEncryptClick();
    EXPECT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(f.RichEdit1->toPlainText(), "//0x1\nx");
    fx.st.commandBusy = false;

    // No result file: the editor keeps the plain text.
    fx.proc.onRun = nullptr;
    f.RichEdit1->setPlainText("//0xAAAAAAAA\nplain");
    f.PmuEncryptClick();
    ASSERT_EQ(fx.proc.runs.size(), 2u);
    EXPECT_EQ(f.RichEdit1->toPlainText(), "plain");
}

TEST(EditorCommands, TextOutsideLatin1IsNotWritten)
{
    CryptFixture fx;
    TForm1 &f = *fx.f;
    const QString text = QString::fromUtf8("//0xAAAAAAAA\nPreis: 5 \u20AC");
    f.RichEdit1->setPlainText(text);
    const int writes = fx.fs.writeCount;
    f.PmuEncryptClick();
    f.PmuSigClick();
    f.PmuDecryptClick();
    f.pmuAddClick();
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.tmp"));
    EXPECT_EQ(fx.fs.writeCount, writes);
    EXPECT_EQ(f.RichEdit1->toPlainText(), text); // the "//" line is kept too
    ASSERT_EQ(fx.dialogs.shown.size(), 4u);
    EXPECT_NE(fx.dialogs.shown[0].text.find("Latin-1"), std::string::npos);
    EXPECT_NE(fx.dialogs.shown[0].text.find("Zeile 2"), std::string::npos);
    EXPECT_FALSE(fx.st.commandBusy);

    // A full TempDir: the message says so, nothing runs, the text stays.
    f.RichEdit1->setPlainText("Secret");
    fx.fs.fullDirs.insert("/tmp");
    f.PmuSigClick();
    f.PmuDecryptClick();
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(f.RichEdit1->toPlainText(), "Secret");
    ASSERT_EQ(fx.dialogs.shown.size(), 6u);
    EXPECT_EQ(fx.dialogs.shown[5].text, "Kann Datei /tmp/QUORBIX.tmp nicht erstellen. "
                                        "Nicht genügend Speicherplatz auf dem Datenträger.");
}

TEST(EditorCommands, DecryptSignAndAddKey)
{
    CryptFixture fx;
    TForm1 &f = *fx.f;
    fx.boxes(false, false, true);

    // Decrypt: a stale QUORBIX is never taken for the new result.
    fx.fs.addFile("/tmp/QUORBIX", "stale");
    f.RichEdit1->setPlainText("-----BEGIN PGP MESSAGE-----");
    f.PmuDecryptClick();
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].args, with({"/tmp/QUORBIX.tmp"}));
    EXPECT_EQ(f.RichEdit1->toPlainText(), "-----BEGIN PGP MESSAGE-----");

    fx.proc.onRun = [&](const platform::ProcessSpec &) { fx.fs.addFile("/tmp/QUORBIX", "Hallo\r\nWelt\r\n"); };
    f.PmuDecryptClick();
    EXPECT_EQ(f.RichEdit1->toPlainText(), "Hallo\nWelt");
    for (const char *n : {"/tmp/QUORBIX.tmp", "/tmp/QUORBIX.asc", "/tmp/QUORBIX.pgp", "/tmp/QUORBIX"})
        EXPECT_FALSE(fx.fs.exists(n)) << n;

    // Sign: letters b and t only, "a" is implied; .pgp is not its file.
    fx.fs.addFile("/tmp/QUORBIX.pgp", "someone else's");
    fx.proc.onRun = [&](const platform::ProcessSpec &) {
        fx.fs.addFile("/tmp/QUORBIX.asc", "-----BEGIN PGP SIGNED MESSAGE-----\r\n");
    };
    f.PmuSigClick();
    ASSERT_EQ(fx.proc.runs.size(), 3u);
    EXPECT_EQ(fx.proc.runs[2].args, with({"-sat", "+batchmode", "/tmp/QUORBIX.tmp"}));
    EXPECT_EQ(f.RichEdit1->toPlainText(), "-----BEGIN PGP SIGNED MESSAGE-----");
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.asc"));
    EXPECT_TRUE(fx.fs.exists("/tmp/QUORBIX.pgp"));

    // No pass phrase: decrypt and sign run nothing and leave the editor.
    fx.st.passPhrase.clear();
    {
        testsupport::ModalAnswerer mantra(testsupport::ModalAnswerer::reject(), 0);
        f.PmuSigClick();
        f.PmuDecryptClick();
    }
    EXPECT_EQ(fx.proc.runs.size(), 3u);
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.tmp"));
    EXPECT_EQ(f.RichEdit1->toPlainText(), "-----BEGIN PGP SIGNED MESSAGE-----");

    // Add key: PGP's report replaces the key text; the key list is rebuilt.
    fx.reportWith("Key ring updated.\r\n");
    f.RichEdit1->setPlainText("-----BEGIN PGP PUBLIC KEY BLOCK-----");
    f.pmuAddClick();
    ASSERT_EQ(fx.proc.runs.size(), 4u);
    EXPECT_EQ(fx.proc.runs[3].args, with({"-ka", "+batchmode", "/tmp/QUORBIX.tmp"}));
    EXPECT_EQ(f.RichEdit1->toPlainText(), "Key ring updated.");
    EXPECT_EQ(fx.proc.detached.size(), 1u);
    EXPECT_FALSE(fx.fs.exists("/tmp/QUORBIX.tmp"));
}

TEST(EditorCommands, EmptyEditorIsNotRefused)
{
    CryptFixture fx;
    TForm1 &f = *fx.f;
    std::string input = "unset";
    fx.proc.onRun = [&](const platform::ProcessSpec &) { input = fx.fs.content("/tmp/QUORBIX.tmp"); };
    f.PmuSigClick();
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(input, "");
}
