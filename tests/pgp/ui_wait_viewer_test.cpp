// The wait dialog and the output viewer.
#include "app/AppState.h"
#include "pgp/TForm5.h"
#include "pgp/TfrmReadPGP.h"
#include "support/FakeFileSystem.h"
#include "support/FormFixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ViewerEnv {
    testsupport::FakeFileSystem fs;
    app::AppState st;
    ViewerEnv()
    {
        fs.mkdirs("/app");
        st.sys.fs = &fs;
        st.appDir = "/app";
    }
};

} // namespace

TEST(WaitDialog, LayoutTextsAndCancel)
{
    app::AppState st;
    TForm5 w(st);
    EXPECT_EQ(w.size(), QSize(209, 98));
    EXPECT_EQ(w.windowTitle(), "Einen Moment bitte...");
    EXPECT_EQ(w.Button1->text(), "Abbrechen");
    EXPECT_EQ(w.Button1->geometry(), QRect(63, 74, 79, 23));
    EXPECT_EQ(w.ProgressBar1->minimum(), 0);
    EXPECT_EQ(w.ProgressBar1->maximum(), 100);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(w.Label2->font().bold());
    EXPECT_EQ(w.Label2->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    // Label1 lies beyond the frame's visible width.
    EXPECT_GE(w.Label1->x(), w.GroupBox1->width());

    w.show();
    w.Button1->click();
    w.Button1->click();
    EXPECT_TRUE(st.cancelRequested); // once raised, the reader clears it
    // Neither the close button nor Escape ends the dialog; only the reader does.
    w.close();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());

    app::AppState en;
    en.language = "English";
    TForm5 e(en);
    EXPECT_EQ(e.windowTitle(), "One moment please...");
    EXPECT_EQ(e.Button1->text(), "Cancel");
}

TEST(OutputViewer, ShowsOutTxtAsItWas)
{
    ViewerEnv env;
    env.fs.addFile("/app/out.txt", "Schl\xFCssel gefunden.\r\nZweite Zeile\r\n");
    TfrmReadPGP v(env.st);
    EXPECT_EQ(v.windowTitle(), "PGP-Output");
    EXPECT_EQ(v.size(), QSize(435, 300));
    EXPECT_TRUE(v.Memo1->isReadOnly());
    EXPECT_EQ(v.Memo1->toPlainText(), QString::fromUtf8("Schlüssel gefunden.\nZweite Zeile\n"));
    // Not refreshed afterwards.
    env.fs.addFile("/app/out.txt", "new");
    EXPECT_TRUE(v.Memo1->toPlainText().startsWith("Schl"));

    env.fs.addFile("/app/out.txt", "");
    TfrmReadPGP empty(env.st);
    EXPECT_TRUE(empty.Memo1->toPlainText().isEmpty());
    env.fs.remove("/app/out.txt");
    TfrmReadPGP missing(env.st);
    EXPECT_TRUE(missing.Memo1->toPlainText().isEmpty());
    // A link planted at the name (pgp's report could not go there) shows
    // nothing of what it points at.
    env.fs.mkdirs("/home");
    env.fs.addFile("/home/letter.txt", "someone else's text");
    env.fs.addSymlink("/app/out.txt", "/home/letter.txt");
    TfrmReadPGP linked(env.st);
    EXPECT_TRUE(linked.Memo1->toPlainText().isEmpty());
}

TEST(OutputViewer, CharacterKeysCloseOthersDoNot)
{
    ViewerEnv env;
    env.fs.addFile("/app/out.txt", "a\r\nb\r\nc\r\n");
    TfrmReadPGP v(env.st);
    v.show();
    for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_PageDown, Qt::Key_F1,
                      Qt::Key_F5, Qt::Key_F12, Qt::Key_Shift, Qt::Key_Control, Qt::Key_Home}) {
        QTest::keyClick(v.Memo1, k);
        EXPECT_TRUE(v.isVisible()) << k;
    }
    for (Qt::Key k : {Qt::Key_A, Qt::Key_7, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space}) {
        v.show();
        QTest::keyClick(v.Memo1, k);
        EXPECT_FALSE(v.isVisible()) << k;
    }
}

TEST(OutputViewer, MainWindowKeepsTheLastOne)
{
    testsupport::FormFixture fx;
    TForm1 &f = fx.create();
    fx.fs.addFile("/app/out.txt", "first");
    f.showOutputViewer();
    ASSERT_NE(f.lastViewer, nullptr);
    TfrmReadPGP *first = f.lastViewer;
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->Memo1->toPlainText(), "first");
    QTest::keyClick(first->Memo1, Qt::Key_X);
    EXPECT_TRUE(first->isHidden());

    fx.fs.addFile("/app/out.txt", "second");
    f.showOutputViewer();
    ASSERT_NE(f.lastViewer, nullptr);
    EXPECT_NE(f.lastViewer, first);
    EXPECT_EQ(f.lastViewer->Memo1->toPlainText(), "second");
    EXPECT_TRUE(f.lastViewer->isVisible());
}
