// Command buttons end to end: the real process runner and file system with
// the recording stand-in for PGP, checking what PGP really received.
#include "app/TfrmMantra.h"
#include "buttons/TFormButtSetup.h"
#include "keys/TForm4.h"
#include "support/FakePgpLog.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QCheckBox>
#include <QRadioButton>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using testsupport::FormFixture;
using testsupport::ModalAnswerer;
namespace fs = std::filesystem;

namespace {

// Runs PGP for real; the key-list script is only recorded, so no run of it
// lands in the log while the test reads it.
class RealRunsOnly : public platform::ProcessRunner {
public:
    int detached = 0;
    platform::ProcessResult runAndWait(const platform::ProcessJob &s) override
    {
        return platform::systemProcessRunner().runAndWait(s);
    }
    platform::DetachedResult startDetached(const std::string &, const std::vector<std::string> &,
                                           const std::string &) override
    {
        ++detached;
        return {true, 33, {}};
    }
};

void release(TForm1 &f, int n)
{
    QPushButton *b = f.bu[std::size_t(n - 1)];
    const QPointF p(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, p, b->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(b, &press);
    QMouseEvent up(QEvent::MouseButtonRelease, p, b->mapToGlobal(p), Qt::LeftButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(b, &up);
}

struct PgpFixture {
    fs::path base;
    std::string log, script;
    RealRunsOnly runner;
    std::unique_ptr<FormFixture> fx;

    PgpFixture()
    {
        base = fs::temp_directory_path() / ("quorbix buttons " + std::to_string(::getpid()));
        fs::create_directories(base / "app dir");
        fs::create_directories(base / "pgp");
        fs::create_directories(base / "my keys");
        fs::create_symlink(testsupport::fakePgpProgram(), base / "pgp" / "pgp");
        log = (base / "log").string();
        script = (base / "script").string();
        std::ofstream(script) << "stdout listed ${1}\n";
        setenv("QUORBIX_FAKEPGP_LOG", log.c_str(), 1);
        setenv("QUORBIX_FAKEPGP_SCRIPT", script.c_str(), 1);

        fx = std::make_unique<FormFixture>(testsupport::normalSettings("Deutsch", (base / "pgp").string()));
        fx->st.sys.fs = &platform::systemFileSystem();
        fx->st.sys.proc = &runner;
        fx->st.appDir = (base / "app dir").string();
        fx->env.set("Temp", base.string());
        std::ofstream(base / "app dir" / "MakeID.pif") << "pif";
    }
    ~PgpFixture()
    {
        app::FileDialog::testHook() = nullptr;
        fx.reset();
        unsetenv("QUORBIX_FAKEPGP_LOG");
        unsetenv("QUORBIX_FAKEPGP_SCRIPT");
        fs::remove_all(base);
    }
    TForm1 &start()
    {
        TForm1 &f = fx->create();
        std::ofstream(base / "app dir" / "ID.txt", std::ios::binary)
            << "Type bits/keyID    Date       User ID\r\npub  1024/DEADBEEF 1996/11/30 Bob\r\n";
        return f;
    }
};

ModalAnswerer::Action chooserAndPassPhrase(const QString &pass)
{
    return [pass](QWidget *w) {
        if (auto *c = qobject_cast<TForm4 *>(w)) {
            c->ListView1->selectRow(0);
            c->ListView1DblClick();
            return true;
        }
        if (auto *m = qobject_cast<TfrmMantra *>(w)) {
            m->Edit1->setText(pass);
            m->Button1->click();
            return true;
        }
        return false;
    };
}

} // namespace

TEST(ButtonDispatchPgp, WhatPgpReceives)
{
    ASSERT_TRUE(fs::exists(testsupport::fakePgpProgram())) << "stand-in for PGP not built";
    PgpFixture p;
    TForm1 &f = p.start();
    const std::string keyFile = (p.base / "my keys" / "key 1.asc").string();
    QString proposed;
    app::FileDialog::testHook() = [&](app::FileDialog &d) {
        proposed = d.fileName;
        d.fileName = QString::fromStdString(keyFile);
        return true;
    };
    ModalAnswerer answer(chooserAndPassPhrase("geh eim\"x"), 0);

    // Button 6: recipient, then the save dialog proposing it; the file with
    // its blanks as one argument, after the recipient.
    release(f, 6);
    // Button 10 with no pass phrase: asked, then sent through the pipe.
    release(f, 10);
    // Button 4: the verbose listing into the editor.
    release(f, 4);

    const auto runs = testsupport::readFakePgpLog(p.log);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(proposed, "0xDEADBEEF");
    EXPECT_EQ(runs[0].args(), (std::vector<std::string>{"-kxa", "0xDEADBEEF", keyFile, "+batchmode",
                                                        "+CharSet=Latin1", "+force"}));
    EXPECT_EQ(fs::canonical(runs[0].cwd), fs::canonical(p.base / "pgp"));
    EXPECT_FALSE(runs[0].passFd.has_value());

    EXPECT_EQ(runs[1].args(), (std::vector<std::string>{"-ks", "0xDEADBEEF", "+batchmode", "+CharSet=Latin1",
                                                        "+force"}));
    ASSERT_TRUE(runs[1].passData.has_value());
    EXPECT_EQ(*runs[1].passData, "geh eim\"x\n");
    for (const auto &c : runs[1].cmdline)
        EXPECT_EQ(c.find("geh"), std::string::npos) << c;

    EXPECT_EQ(runs[2].args()[0], "-kvv");
    EXPECT_TRUE(runs[2].passData.has_value()); // once touched, every run gets it
    EXPECT_EQ(f.RichEdit1->toPlainText(), "listed -kvv");
    EXPECT_EQ(p.runner.detached, 2); // start-up, then button 10 refreshes the key list
    EXPECT_EQ(answer.fallbacks(), 0);
}

TEST(ButtonDispatchPgp, FileNamesReachPgpWithTheirBlanks)
{
    ASSERT_TRUE(fs::exists(testsupport::fakePgpProgram())) << "stand-in for PGP not built";
    PgpFixture p;
    TForm1 &f = p.start();
    // Two files side by side, one name with a trailing blank.
    const std::string plain = (p.base / "my keys" / "tr.txt").string();
    const std::string blank = plain + " ";
    std::ofstream(plain) << "plain";
    std::ofstream(blank) << "blank";
    std::vector<std::string> answers{blank, plain, blank};
    app::FileDialog::testHook() = [&](app::FileDialog &d) {
        d.fileName = QString::fromStdString(answers.front());
        answers.erase(answers.begin());
        return true;
    };
    ModalAnswerer answer(chooserAndPassPhrase("pw"), 0);
    release(f, 8);     // "-ka" with the open dialog: the name as chosen
    f.buEncryptClick(); // the file commands as well
    f.buSignClick();

    const auto runs = testsupport::readFakePgpLog(p.log);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].args(), (std::vector<std::string>{"-ka", blank, "+batchmode", "+CharSet=Latin1", "+force"}));
    ASSERT_GE(runs[1].args().size(), 3u);
    EXPECT_EQ(runs[1].args()[1], plain);
    EXPECT_EQ(runs[1].args()[2], "0xDEADBEEF");
    ASSERT_GE(runs[2].args().size(), 3u);
    EXPECT_EQ(runs[2].args()[2], blank); // "-sa", "+batchmode", the file
    EXPECT_EQ(answer.fallbacks(), 0);
}

namespace {

// Types a name into Qt's real file dialog and presses its accept button.
ModalAnswerer::Action typeInFileDialog(const QString &name, QStringList *seenTitles = nullptr)
{
    return [name, seenTitles](QWidget *w) {
        auto *d = qobject_cast<QFileDialog *>(w);
        if (!d)
            return false;
        if (seenTitles)
            *seenTitles << d->windowTitle();
        auto *edit = d->findChild<QLineEdit *>("fileNameEdit");
        auto *box = d->findChild<QDialogButtonBox *>("buttonBox");
        if (!edit || !box)
            return false;
        edit->setText(name);
        QPushButton *ok = box->button(d->acceptMode() == QFileDialog::AcceptOpen ? QDialogButtonBox::Open
                                                                                 : QDialogButtonBox::Save);
        if (!ok)
            return false;
        ok->click();
        // A dialog that refused the name is still open: not answered, so the
        // answerer rejects it and the test fails instead of hanging.
        return !d->isVisible();
    };
}

} // namespace

TEST(ButtonDispatchPgp, SetupPicksANewOutputFileThatTheNextRunWrites)
{
    ASSERT_TRUE(fs::exists(testsupport::fakePgpProgram())) << "stand-in for PGP not built";
    PgpFixture p;
    TForm1 &f = p.start();
    const fs::path docs = p.base / "my keys";
    f.OpenDialog1.initialDir = QString::fromStdString(docs.string());
    TFormButtSetup &setup = f.buttonSetup();
    setup.fill(13);
    setup.show();
    setup.rbDivert->setChecked(true);
    setup.rbDivertEnter();
    setup.edCMD->setText("-kv");
    setup.cbShowDos->setChecked(false); // hidden: no console window here

    // The open dialog itself, preset with "Output.txt": a name that does not
    // exist yet is taken.
    QStringList titles;
    {
        ModalAnswerer answer(typeInFileDialog("new output.txt", &titles));
        setup.sbFileReqClick();
        ASSERT_EQ(answer.answered(), 1);
        EXPECT_EQ(answer.fallbacks(), 0);
    }
    EXPECT_EQ(titles, QStringList{"Laden..."});
    const fs::path target = docs / "new output.txt";
    EXPECT_EQ(setup.edFName->text().toStdString(), target.string());
    EXPECT_FALSE(fs::exists(target));
    setup.BitBtn1Click();
    EXPECT_EQ(p.fx->st.buttons[12].outputFile, target.string());

    release(f, 13);
    const auto runs = testsupport::readFakePgpLog(p.log);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args()[0], "-kv");
    std::ifstream in(target);
    std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written, "listed -kv\n");
    EXPECT_EQ(p.fx->dialogs.last(), "Output wrote to " + target.string());
}

TEST(ButtonDispatchPgp, OpenDialogKeepsTypedNamesWhole)
{
    PgpFixture p;
    TForm1 &f = p.start();
    const fs::path docs = p.base / "my keys";
    std::ofstream(docs / "tr.txt") << "plain";
    std::ofstream(docs / "tr.txt ") << "blank";
    f.OpenDialog1.initialDir = QString::fromStdString(docs.string());
    auto choose = [&f](const QString &typed) {
        ModalAnswerer answer(typeInFileDialog(typed));
        f.OpenDialog1.fileName.clear();
        const bool ok = f.OpenDialog1.execute(&f);
        EXPECT_EQ(answer.fallbacks(), 0) << typed.toStdString();
        return ok ? f.OpenDialog1.fileName.toStdString() : std::string("<cancelled>");
    };
    EXPECT_EQ(choose("tr.txt "), (docs / "tr.txt ").string());
    EXPECT_EQ(choose("tr.txt"), (docs / "tr.txt").string());
    // Double quotes are part of the one name, not separators of several.
    EXPECT_EQ(choose("say \"hi\" there.asc"), (docs / "say \"hi\" there.asc").string());
    EXPECT_EQ(choose("\"a\" \"b\""), (docs / "\"a\" \"b\"").string());
    // A quoted name that is a folder opens the folder instead.
    fs::create_directories(docs / "in \"q\"");
    std::ofstream(docs / "in \"q\"" / "x.pgp") << "x";
    {
        ModalAnswerer answer(
            [step = 0](QWidget *w) mutable {
                auto *d = qobject_cast<QFileDialog *>(w);
                if (!d)
                    return false;
                auto *edit = d->findChild<QLineEdit *>("fileNameEdit");
                auto *box = d->findChild<QDialogButtonBox *>("buttonBox");
                edit->setText(step++ == 0 ? "in \"q\"" : "x.pgp");
                box->button(QDialogButtonBox::Open)->click();
                return step == 2 && !d->isVisible();
            },
            1);
        ASSERT_TRUE(f.OpenDialog1.execute(&f));
        EXPECT_EQ(f.OpenDialog1.fileName.toStdString(), (docs / "in \"q\"" / "x.pgp").string());
    }
}

// Text from the editor's first line or the chooser's field never reaches pgp
// as an option: "-o file" would make pgp overwrite that file.
TEST(ButtonDispatchPgp, RecipientTextNeverBecomesOptions)
{
    ASSERT_TRUE(fs::exists(testsupport::fakePgpProgram())) << "stand-in for PGP not built";
    PgpFixture p;
    // A stand-in that obeys "-o": the file is overwritten if the option gets through.
    std::ofstream(p.script) << "when -o write ${3} overwritten\nstdout listed ${1}\n";
    TForm1 &f = p.start();
    const std::string precious = (p.base / "precious.txt").string();
    std::ofstream(precious) << "mine";
    auto pgpRuns = [&] { return testsupport::readFakePgpLog(p.log); };

    // The "//" line: refused, nothing runs, the text keeps its first line.
    const QString text = QString::fromStdString("//Bob -o " + precious + "\nDear Bob");
    f.RichEdit1->setPlainText(text);
    f.PmuEncryptClick();
    EXPECT_TRUE(pgpRuns().empty());
    EXPECT_EQ(f.RichEdit1->toPlainText().toStdString(), text.toStdString());
    ASSERT_FALSE(p.fx->dialogs.shown.empty());
    EXPECT_EQ(p.fx->dialogs.shown.back().kind, "error");
    EXPECT_EQ(p.fx->dialogs.shown.back().text,
              "Der Empfänger \"-o\" beginnt mit \"-\" oder \"+\" und würde von PGP als Option gelesen. "
              "PGP wurde nicht gestartet.");
    EXPECT_FALSE(f.state().commandBusy);
    // A "+" option in the middle of several recipients, in English.
    f.state().texts.setEnglish();
    f.RichEdit1->setPlainText("//0xDEADBEEF +force Bob\nx");
    f.PmuEncryptClick();
    EXPECT_TRUE(pgpRuns().empty());
    EXPECT_EQ(p.fx->dialogs.shown.back().text,
              "The recipient \"+force\" starts with \"-\" or \"+\" and would be read by PGP as an option. "
              "PGP was not started.");
    f.state().texts.setGerman();

    // The chooser's field: quotes and blanks stay inside one argument.
    const std::string typed = "Bob\" -o " + precious + " \"";
    int refusedInChooser = 0;
    ModalAnswerer answer(
        [&](QWidget *w) {
            auto *c = qobject_cast<TForm4 *>(w);
            if (!c)
                return false;
            // First an option, which the chooser refuses and stays open for.
            c->Edit1->setText("-o x");
            c->Edit1Enter();
            if (c->isVisible() && p.fx->dialogs.last().find("\"-o x\"") != std::string::npos)
                ++refusedInChooser;
            c->Edit1->setText(QString::fromStdString(typed));
            c->Edit1Enter();
            return true;
        },
        0);
    f.RichEdit1->setPlainText("Dear Bob");
    f.PmuEncryptClick();
    // Button 6 puts the recipient first, before its save dialog's file.
    const std::string keyFile = (p.base / "my keys" / "k.asc").string();
    app::FileDialog::testHook() = [&](app::FileDialog &d) {
        d.fileName = QString::fromStdString(keyFile);
        return true;
    };
    release(f, 6);

    const auto runs = pgpRuns();
    ASSERT_EQ(runs.size(), 2u);
    const std::string input = p.base.string() + "/QUORBIX.tmp";
    EXPECT_EQ(runs[0].args(), (std::vector<std::string>{"-ea", "+batchmode", input, typed, "+batchmode",
                                                        "+CharSet=Latin1", "+force"}));
    EXPECT_EQ(runs[1].args(), (std::vector<std::string>{"-kxa", typed, keyFile, "+batchmode", "+CharSet=Latin1",
                                                        "+force"}));
    EXPECT_EQ(refusedInChooser, 2);
    std::ifstream in(precious);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "mine");
}

// Recipients in Windows Latin-1: the euro sign and an umlaut reach pgp as
// their code-page bytes, from the "//" line and from the chooser's field.
TEST(ButtonDispatchPgp, RecipientsReachPgpInWindowsLatin1)
{
    ASSERT_TRUE(fs::exists(testsupport::fakePgpProgram())) << "stand-in for PGP not built";
    PgpFixture p;
    TForm1 &f = p.start();
    f.RichEdit1->setPlainText(QString::fromUtf8("//J\u00FCrgen\u20AC\nHallo"));
    f.PmuEncryptClick();
    ModalAnswerer answer(
        [&](QWidget *w) {
            auto *c = qobject_cast<TForm4 *>(w);
            if (!c)
                return false;
            c->Edit1->setText(QString::fromUtf8("Stra\u00DFe \u2013 5"));
            c->Edit1Enter();
            return true;
        },
        0);
    f.RichEdit1->setPlainText("Hallo");
    f.PmuEncryptClick();
    const auto runs = testsupport::readFakePgpLog(p.log);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].args().at(3), "J\xFCrgen\x80");
    EXPECT_EQ(runs[1].args().at(3), "Stra\xDF" "e \x96 5");
}
