// The encryption commands with the real pgp program on a throw-away GnuPG
// home: what is encrypted decrypts to the same bytes, signatures verify.
#include "crypt/RecordingDialogs.h"
#include "keys/TForm4.h"
#include "support/FakeEnvironment.h"
#include "support/FakeRegistryStore.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string realPgpDir()
{
    if (const char *d = std::getenv("QUORBIX_PGP_DIR"))
        return d;
    return QUORBIX_BIN_DIR;
}

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int runGpg(const QStringList &args)
{
    QProcess p;
    p.start("gpg", QStringList{"--batch", "--pinentry-mode", "loopback", "--passphrase", "secret"} + args);
    p.waitForFinished(120000);
    return p.exitCode();
}

} // namespace

TEST(CryptEndToEnd, RealPgpRoundTrips)
{
    const std::string pgpDir = realPgpDir();
    if (!QFile::exists(QString::fromStdString(pgpDir + "/pgp")))
        GTEST_SKIP() << "no pgp program in " << pgpDir;

    // A short GnuPG home: the agent's socket lives in it.
    char home[] = "/tmp/qcXXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    setenv("GNUPGHOME", home, 1);
    ASSERT_EQ(runGpg({"--quick-gen-key", "Ann Test <ann@example.org>", "rsa1024", "sign", "never"}), 0);
    QProcess list;
    list.start("gpg", {"--list-keys", "--with-colons"});
    list.waitForFinished();
    QString fpr;
    for (const QString &l : QString::fromLatin1(list.readAllStandardOutput()).split('\n'))
        if (l.startsWith("fpr:") && fpr.isEmpty())
            fpr = l.section(':', 9, 9);
    ASSERT_EQ(runGpg({"--quick-add-key", fpr, "rsa1024", "encr", "never"}), 0);
    const std::string keyId = "0x" + fpr.right(8).toStdString();

    QTemporaryDir work("/tmp/qcwXXXXXX");
    const std::string dir = work.path().toStdString();
    QDir().mkpath(work.filePath("app"));
    QDir().mkpath(work.filePath("tmp"));
    QDir().mkpath(work.filePath("my docs"));

    testsupport::FakeEnvironment env;
    env.set("Temp", dir + "/tmp");
    testsupport::FakeRegistryStore reg(testsupport::normalSettings("Deutsch", pgpDir));
    testsupport::RecordingDialogs dialogs;
    app::AppState st;
    st.sys = platform::systemServices();
    st.sys.env = &env;
    st.sys.registry = &reg;
    st.dialogs = &dialogs;
    st.processEvents = [] { QCoreApplication::processEvents(); };
    st.appDir = dir + "/app";
    auto form = std::make_unique<TForm1>(st, CommandLineArgs{});
    TForm1 &f = *form;
    // The key list is written in the background at start-up.
    const std::string idTxt = dir + "/app/ID.txt";
    ASSERT_TRUE(QTest::qWaitFor([&] { return slurp(idTxt).find(keyId.substr(2)) != std::string::npos; }, 20000))
        << slurp(idTxt);
    st.passPhrase = "secret";
    st.sendPassPhrase = true;

    // A file whose name holds a blank, encrypted and decrypted to the same bytes.
    const std::string plain = dir + "/my docs/letter one.txt";
    const std::string bytes = "Hallo Ann,\r\nGr\xFC\xDF" "e.\r\n\x01\x02\xFF";
    { std::ofstream(plain, std::ios::binary) << bytes; }
    QString next = QString::fromStdString(plain);
    app::FileDialog::testHook() = [&next](app::FileDialog &d) {
        d.fileName = next;
        return true;
    };
    f.CheckBox1->setChecked(false);
    f.CheckBox2->setChecked(true);
    f.CheckBox3->setChecked(false);
    {
        // Pick the key in the recipient chooser by a double click on its row.
        testsupport::ModalAnswerer chooser([&keyId](QWidget *w) {
            auto *c = qobject_cast<TForm4 *>(w);
            if (!c)
                return false;
            for (int row = 0; row < c->model->rowCount(); ++row)
                if (c->model->index(row, 1).data().toString().toStdString() == keyId.substr(2)) {
                    c->ListView1->selectRow(row);
                    c->ListView1DblClick();
                    return true;
                }
            return false;
        });
        f.buEncryptClick();
        EXPECT_EQ(chooser.answered(), 1);
    }
    EXPECT_EQ(st.recipientArg, keyId);
    const std::string armoured = dir + "/my docs/letter one.asc";
    ASSERT_TRUE(QFile::exists(QString::fromStdString(armoured))) << f.RichEdit1->toPlainText().toStdString();
    QFile::remove(QString::fromStdString(plain));
    next = QString::fromStdString(armoured);
    f.buDecryptClick();
    const std::string back = slurp(dir + "/my docs/letter one");
    EXPECT_EQ(back, bytes) << f.RichEdit1->toPlainText().toStdString();

    // A signed file verifies; pgp's report is in the editor.
    next = QString::fromStdString(dir + "/my docs/letter one");
    f.buSignClick();
    next = QString::fromStdString(dir + "/my docs/letter one.asc");
    f.buDecryptClick();
    EXPECT_TRUE(f.RichEdit1->toPlainText().contains("Good signature")) << f.RichEdit1->toPlainText().toStdString();

    // Editor text for an inline recipient, and back.
    const QString text = QString::fromUtf8("Geheimer Text mit Umlauten: äöü ß\nZweite Zeile");
    f.RichEdit1->setPlainText(QString::fromStdString("//" + keyId + "\n") + text);
    f.PmuEncryptClick();
    EXPECT_TRUE(f.RichEdit1->toPlainText().startsWith("-----BEGIN PGP MESSAGE-----"))
        << f.RichEdit1->toPlainText().toStdString();
    f.PmuDecryptClick();
    EXPECT_EQ(f.RichEdit1->toPlainText(), text);

    // With text mode the signed text is clear-signed, and it verifies.
    f.CheckBox3->setChecked(true);
    f.PmuSigClick();
    EXPECT_TRUE(f.RichEdit1->toPlainText().startsWith("-----BEGIN PGP SIGNED MESSAGE-----"))
        << f.RichEdit1->toPlainText().toStdString();
    f.PmuDecryptClick();
    EXPECT_TRUE(QString::fromLatin1(slurp(st.inAppDir("out.txt"))).contains("Good signature"));
    for (const char *n : {"QUORBIX.tmp", "QUORBIX.asc", "QUORBIX.pgp", "QUORBIX"})
        EXPECT_FALSE(QFile::exists(QString::fromStdString(st.inTempDir(n)))) << n;

    app::FileDialog::testHook() = nullptr;
    form.reset();
    QProcess::execute("gpgconf", {"--homedir", home, "--kill", "gpg-agent"});
    QDir(home).removeRecursively();
    unsetenv("GNUPGHOME");
}
