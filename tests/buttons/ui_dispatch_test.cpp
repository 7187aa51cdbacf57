// The command buttons: mouse releases, RunButton's steps in order, the
// restore step, the setup dialog on a right release.
#include "buttons/TFormButtSetup.h"
#include "keys/TForm4.h"
#include "app/TfrmMantra.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"
#include "ui/Cursor.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::FormFixture;
using testsupport::ModalAnswerer;
using Args = std::vector<std::string>;

namespace {

const std::string kIdTxt = "Type bits/keyID    Date       User ID\r\n"
                           "pub  1024/DEADBEEF 1996/11/30 Bob <bob@example.org>\r\n";
const Args kBatch = {"+batchmode", "+CharSet=Latin1", "+force"};

Args plus(Args a, const Args &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void release(TForm1 &f, int n, Qt::MouseButton button = Qt::LeftButton)
{
    QPushButton *b = f.bu[std::size_t(n - 1)];
    const QPointF p(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, p, b->mapToGlobal(p), button, button, {});
    QCoreApplication::sendEvent(b, &press);
    QMouseEvent up(QEvent::MouseButtonRelease, p, b->mapToGlobal(p), button, Qt::NoButton, {});
    QCoreApplication::sendEvent(b, &up);
}

// Answers the chooser with its first row, the pass phrase dialog with a
// text (or Cancel when empty), and records the order.
struct Answers {
    std::vector<std::string> seen;
    QString passPhrase;
    std::function<void()> atPassPhrase;
    ModalAnswerer::Action action()
    {
        return [this](QWidget *w) {
            if (auto *c = qobject_cast<TForm4 *>(w)) {
                seen.push_back("chooser");
                c->ListView1->selectRow(0);
                c->ListView1DblClick();
                return true;
            }
            if (auto *m = qobject_cast<TfrmMantra *>(w)) {
                seen.push_back("mantra");
                if (atPassPhrase)
                    atPassPhrase();
                if (passPhrase.isEmpty()) {
                    m->Button2->click();
                } else {
                    m->Edit1->setText(passPhrase);
                    m->Button1->click();
                }
                return true;
            }
            return false;
        };
    }
};

struct DispatchFixture : FormFixture {
    std::vector<std::string> fileDialogs;
    std::vector<QString> proposed;
    bool confirmFiles = true;
    DispatchFixture()
    {
        fs.mkdirs("/home/u");
        proc.onRun = [this](const platform::ProcessJob &s) {
            if (s.stdoutFile)
                fs.addFile(*s.stdoutFile, "PGP said " + (s.args.empty() ? std::string() : s.args[0]));
        };
        app::FileDialog::testHook() = [this](app::FileDialog &d) {
            fileDialogs.push_back(d.mode() == app::FileDialog::Mode::Open ? "open" : "save");
            proposed.push_back(d.fileName);
            if (!confirmFiles)
                return false;
            d.fileName = "/home/u/my file.asc";
            return true;
        };
    }
    ~DispatchFixture() { app::FileDialog::testHook() = nullptr; }
    TForm1 &start()
    {
        TForm1 &f = create();
        fs.addFile("/app/ID.txt", kIdTxt);
        proc.runs.clear();
        proc.detached.clear();
        dialogs.shown.clear();
        return f;
    }
};

} // namespace

TEST(ButtonDispatch, DefaultGermanButtonsRunTheirCommandLines)
{
    DispatchFixture fx;
    fx.env.set("PGPPASS", "env pass"); // button 10 then asks for nothing
    TForm1 &f = fx.start();
    Answers answers;
    ModalAnswerer answer(answers.action(), 0);

    struct Expect {
        int n;
        Args args;
        bool capture;
        int show;
        bool refresh;
    };
    const std::string key = "0xDEADBEEF", file = "/home/u/my file.asc";
    const std::vector<Expect> expected = {
        {1, {"-kg"}, false, 5, true},
        {2, plus({"-kc"}, kBatch), true, 0, false},
        {3, {"-ke", key}, false, 5, true},
        {4, plus({"-kvv"}, kBatch), true, 0, false},
        {5, plus({"-kvc", key}, kBatch), true, 0, false},
        {6, plus({"-kxa", key, file}, kBatch), true, 0, false},
        {7, plus({"-kx", key, file}, kBatch), true, 0, false},
        {8, plus({"-ka", file}, kBatch), true, 0, true},
        {9, {"-kr", key}, false, 5, true},
        {10, plus({"-ks", key}, kBatch), true, 0, true},
        {11, {"-krs", key}, false, 5, true},
        {12, {"-kd", key}, false, 5, true},
    };
    for (const Expect &e : expected) {
        fx.proc.runs.clear();
        fx.proc.detached.clear();
        fx.proposed.clear();
        f.StatusPanel1->setText("42 keys");
        f.Notebook1->setCurrentIndex(1);
        release(f, e.n);
        ASSERT_EQ(fx.proc.runs.size(), 1u) << e.n;
        const auto &run = fx.proc.runs[0];
        EXPECT_EQ(run.program, "/pgp/pgp") << e.n;
        EXPECT_EQ(run.args, e.args) << e.n;
        EXPECT_EQ(run.workDir, "/pgp");
        EXPECT_EQ(run.showState, e.show) << e.n;
        EXPECT_EQ(run.stdoutFile.has_value(), e.capture) << e.n;
        EXPECT_FALSE(run.passPhrase.has_value()); // untouched: PGP reads PGPPASS
        EXPECT_EQ(fx.proc.detached.size(), e.refresh ? 1u : 0u) << e.n;
        if (e.capture) {
            EXPECT_EQ(*run.stdoutFile, "/app/out.txt");
            EXPECT_EQ(f.RichEdit1->toPlainText().toStdString(), "PGP said " + e.args[0]) << e.n;
            EXPECT_EQ(f.Notebook1->currentIndex(), 0);
            EXPECT_EQ(f.StatusPanel1->text(), "");
        } else {
            EXPECT_EQ(f.Notebook1->currentIndex(), 1) << e.n;
            EXPECT_EQ(f.StatusPanel1->text(), "42 keys");
        }
        // Recipient and save dialog: the save dialog proposes the key.
        if (e.n == 6 || e.n == 7) {
            ASSERT_EQ(fx.proposed.size(), 1u);
            EXPECT_EQ(fx.proposed[0], "0xDEADBEEF");
        }
        EXPECT_FALSE(fx.st.commandBusy);
        EXPECT_FALSE(ui::busyCursorShown());
    }
    EXPECT_EQ(answer.fallbacks(), 0);
    // The launch file took each record's flag (none closes at the end).
    EXPECT_EQ(fx.fs.content("/pgp/PGP.pif")[0x63], '\0');
    EXPECT_TRUE(fx.dialogs.shown.empty());
}

TEST(ButtonDispatch, Button10AsksAfterTheDialogsAndCancelRunsNothing)
{
    DispatchFixture fx;
    TForm1 &f = fx.start();
    fx.st.buttons[9].openDialog = true; // a dialog to be asked before the pass phrase
    fx.st.buttons[9].closeOnExit = true;
    f.StatusPanel0->setText("hint");
    Answers answers;
    bool patchedBefore = false;
    answers.atPassPhrase = [&] {
        answers.seen.push_back(fx.fileDialogs.empty() ? "no file dialog yet" : "after " + fx.fileDialogs.back());
        patchedBefore = fx.fs.content("/pgp/PGP.pif")[0x63] == '\x10';
    };
    {
        ModalAnswerer answer(answers.action(), 0);
        release(f, 10);
    }
    EXPECT_EQ(answers.seen, (std::vector<std::string>{"chooser", "mantra", "after open"}));
    EXPECT_TRUE(patchedBefore);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_TRUE(fx.st.sendPassPhrase);
    EXPECT_EQ(fx.proc.detached.size(), 1u); // RefreshUserList also after an early end
    EXPECT_FALSE(fx.st.commandBusy);
    EXPECT_EQ(f.StatusPanel0->text(), "hint");
    EXPECT_TRUE(f.isEnabled());

    // With a pass phrase typed: it travels beside the arguments, not in them.
    answers.seen.clear();
    answers.passPhrase = "geheim";
    {
        ModalAnswerer answer(answers.action(), 0);
        release(f, 10);
    }
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].passPhrase.value_or(""), "geheim");
    EXPECT_EQ(fx.proc.runs[0].args, plus({"-ks", "0xDEADBEEF", "/home/u/my file.asc"}, kBatch));

    // "-ks" under another number gets no check.
    fx.proc.runs.clear();
    fx.st.passPhrase.clear();
    fx.st.buttons[8].command = "-ks";
    answers.seen.clear();
    {
        ModalAnswerer answer(answers.action(), 0);
        release(f, 9);
    }
    EXPECT_EQ(answers.seen, (std::vector<std::string>{"chooser"}));
    EXPECT_EQ(fx.proc.runs.size(), 1u);
}

TEST(ButtonDispatch, EarlyEndsAndErrorsRestore)
{
    DispatchFixture fx;
    TForm1 &f = fx.start();
    f.RichEdit1->setPlainText("editor");
    f.StatusPanel0->setText("hint");

    // Empty command: nothing but the restart of the key list when asked.
    fx.st.buttons[12].refreshUserList = true;
    release(f, 13);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.proc.detached.size(), 1u);
    EXPECT_EQ(f.RichEdit1->toPlainText(), "editor");
    EXPECT_EQ(f.StatusPanel0->text(), "hint");

    // The chooser closed without a choice: no file dialog, no PGP.
    {
        ModalAnswerer answer(ModalAnswerer::reject());
        release(f, 6);
    }
    EXPECT_TRUE(fx.fileDialogs.empty());
    EXPECT_TRUE(fx.proc.runs.empty());

    // Open dialog cancelled (button 8): no PGP, the key list still restarts.
    fx.proc.detached.clear();
    fx.confirmFiles = false;
    release(f, 8);
    EXPECT_EQ(fx.fileDialogs, (std::vector<std::string>{"open"}));
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(fx.proc.detached.size(), 1u);
    fx.confirmFiles = true;

    // The launch file cannot be patched: the error is shown, PGP does not
    // start, no key-list restart, everything restored.
    fx.fs.remove("/pgp/PGP.pif");
    fx.proc.detached.clear();
    release(f, 8);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_TRUE(fx.proc.detached.empty());
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].kind, "platform");
    EXPECT_FALSE(fx.st.commandBusy);
    EXPECT_FALSE(ui::busyCursorShown());
    EXPECT_EQ(f.StatusPanel0->text(), "hint");

    // Busy: neither a left nor a right release does anything.
    fx.st.commandBusy = true;
    fx.dialogs.shown.clear();
    {
        ModalAnswerer answer(ModalAnswerer::reject());
        release(f, 2);
        release(f, 2, Qt::RightButton);
        QTest::qWait(50);
        EXPECT_EQ(answer.answered() + answer.fallbacks(), 0);
    }
    EXPECT_TRUE(fx.proc.runs.empty());
    fx.st.commandBusy = false;
}

TEST(ButtonDispatch, KeyboardActivationRunsNothing)
{
    DispatchFixture fx;
    TForm1 &f = fx.start();
    f.show();
    QPushButton *b = f.bu[1]; // "-kc", no dialogs
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
    QTest::keyClick(b, Qt::Key_Return);
    b->click();
    b->animateClick();
    QTest::qWait(200);
    EXPECT_TRUE(fx.proc.runs.empty());
    // The mouse does.
    release(f, 2, Qt::MiddleButton);
    EXPECT_EQ(fx.proc.runs.size(), 1u);
}

TEST(ButtonDispatch, OutputToFileAndOutOfRangeTag)
{
    DispatchFixture fx;
    TForm1 &f = fx.start();
    buttons::ButtonRecord &r = fx.st.buttons[13];
    r.command = "-kv";
    r.outConsole = false;
    r.outFile = true;
    r.outputFile = "/home/u/keys.txt";
    r.windowMode = 0;
    release(f, 14);
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].stdoutFile.value_or(""), "/home/u/keys.txt");
    EXPECT_EQ(fx.proc.runs[0].args, plus({"-kv"}, kBatch));
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].text, "Output wrote to /home/u/keys.txt");

    // A damaged file's button number outside the table: the button's own record.
    f.bu[13]->setProperty("Tag", 200);
    fx.proc.runs.clear();
    release(f, 14);
    EXPECT_EQ(fx.proc.runs.size(), 1u);
}

TEST(ButtonDispatch, RightReleaseOpensTheSetupDialogWithThatRecord)
{
    DispatchFixture fx;
    TForm1 &f = fx.start();
    QString title, command;
    bool userChecked = false;
    ModalAnswerer answer([&](QWidget *w) {
        auto *d = qobject_cast<TFormButtSetup *>(w);
        if (!d)
            return false;
        title = d->edTitel->text();
        command = d->edCMD->text();
        userChecked = d->cbUser->isChecked();
        d->BitBtn2->click();
        return true;
    });
    release(f, 6, Qt::RightButton);
    EXPECT_EQ(answer.answered(), 1);
    EXPECT_EQ(title, "&ASCII-Key speichern");
    EXPECT_EQ(command, "-kxa");
    EXPECT_TRUE(userChecked);
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_FALSE(fx.st.buttonsChanged);
}
