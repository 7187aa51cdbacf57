// Command buttons end to end: the real process runner and file system with
// the recording stand-in for PGP, checking what PGP really received.
#include "app/TfrmMantra.h"
#include "keys/TForm4.h"
#include "support/FakePgpLog.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QCoreApplication>
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
