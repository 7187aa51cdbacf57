#include "crypt/RecordingDialogs.h"
#include "support/FakeFileSystem.h"
#include "support/ModalHelper.h"

#include "app/AppState.h"
#include "diag/DebugReport.h"
#include "diag/DiagWindows.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

using testsupport::FakeFileSystem;
using testsupport::RecordingDialogs;

namespace {

struct Install {
    FakeFileSystem fs;
    Install()
    {
        fs.mkdirs("/opt/quorbix");
        fs.mkdirs("/opt/pgp");
        fs.mkdirs("/tmp");
        fs.free = std::uint64_t(5) * 1024 * 1024 + 1023; // 5120 KByte and a bit
    }
    diag::ReportInputs inputs(bool cdOk = true)
    {
        return {"/opt/quorbix", "/opt/pgp", "/tmp", &fs,
                [cdOk](const std::string &) { return cdOk; }, {}, {}};
    }
};

} // namespace

TEST(DebugReport, FullInstallation)
{
    Install in;
    in.fs.addFile("/opt/pgp/pgp", std::string(12345, 'x'));
    in.fs.addFile("/opt/quorbix/MakeID.bat", "line\n");
    in.fs.addFile("/opt/quorbix/MakeID.pif", "pif");
    auto r = diag::fillDebugReport(in.inputs());
    EXPECT_EQ(r.error, "");
    const diag::ReportLines expected{"/opt/quorbix", "5120 KByte free.", "", "/opt/pgp", "FileSize : 12345",
                                     "/tmp", "MakeID=True", "MakeID_pif=True", "", "", "", "", "", "", "", "", ""};
    EXPECT_EQ(r.lines, expected);

    // Debug.log: all seventeen lines, the empty ones too, each with CR LF.
    const std::string log = diag::debugLogBytes(r.lines);
    EXPECT_EQ(log.substr(0, 32), "/opt/quorbix\r\n5120 KByte free.\r\n");
    EXPECT_EQ(log.substr(log.size() - 18), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    int crlf = 0;
    for (std::size_t i = 0; (i = log.find("\r\n", i)) != std::string::npos; i += 2)
        ++crlf;
    EXPECT_EQ(crlf, 17);
}

TEST(DebugReport, MissingPiecesAndFailures)
{
    Install in;
    in.fs.addFile("/opt/pgp/pgp", "");
    // No MakeID files: lines 6 and 7 empty. Unknown free space counts 0.
    in.fs.free.reset();
    auto r = diag::fillDebugReport(in.inputs());
    EXPECT_EQ(r.lines[1], "0 KByte free.");
    EXPECT_EQ(r.lines[4], "FileSize : 0");
    EXPECT_EQ(r.lines[6], "");
    EXPECT_EQ(r.lines[7], "");

    // AppDir cannot become the current directory: "ERROR!" and the report goes on.
    r = diag::fillDebugReport(in.inputs(false));
    EXPECT_EQ(r.lines[1], "ERROR!");
    EXPECT_EQ(r.lines[5], "/tmp");

    // No pgp program: the system's text, and the report stops after line 3.
    in.fs.remove("/opt/pgp/pgp");
    in.fs.addFile("/opt/quorbix/MakeID.bat", "x");
    r = diag::fillDebugReport(in.inputs());
    EXPECT_EQ(r.error, "Datei nicht gefunden");
    EXPECT_EQ(r.lines[3], "/opt/pgp");
    for (int i : {2, 4, 5, 6, 7, 8, 16})
        EXPECT_EQ(r.lines[i], "") << i;
}

TEST(DebugWindow, ShowsAndSavesReport)
{
    Install in;
    in.fs.addFile("/opt/pgp/pgp", "12345");
    RecordingDialogs dialogs;
    app::AppState st;
    st.sys.fs = &in.fs;
    st.dialogs = &dialogs;
    st.appDir = "/opt/quorbix";
    st.pgpDir = "/opt/pgp";
    st.tempDir = "/tmp";

    TfrmDebug dlg(st);
    dlg.setCurrentDir = [](const std::string &) { return true; };
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Debug");
    EXPECT_EQ(dlg.Memo1->document()->blockCount(), 17);
    EXPECT_EQ(dlg.Memo1->document()->findBlockByNumber(4).text(), "FileSize : 5");
    EXPECT_TRUE(dlg.Memo1->isReadOnly());
    EXPECT_TRUE(dialogs.shown.empty());

    QTest::mouseClick(dlg.Button1, Qt::LeftButton);
    EXPECT_EQ(in.fs.content("/opt/quorbix/Debug.log"), diag::debugLogBytes(dlg.lines()));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "plain");
    EXPECT_EQ(dialogs.shown[0].text, "The debugreport was saved to /opt/quorbix/Debug.log");

    // Saving again replaces the file and names the full path again.
    in.fs.addFile("/opt/quorbix/Debug.log", "old and much longer content than before......................");
    QTest::mouseClick(dlg.Button1, Qt::LeftButton);
    EXPECT_EQ(in.fs.content("/opt/quorbix/Debug.log"), diag::debugLogBytes(dlg.lines()));
    EXPECT_EQ(dialogs.last(), "The debugreport was saved to /opt/quorbix/Debug.log");

    // A Debug.log that cannot be written: the create error under the
    // application's title, no confirmation.
    in.fs.readOnlyDirs.insert("/opt/quorbix");
    in.fs.remove("/opt/quorbix/Debug.log");
    dialogs.shown.clear();
    QTest::mouseClick(dlg.Button1, Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "platform");
    EXPECT_EQ(dialogs.shown[0].text, "Kann Datei /opt/quorbix/Debug.log nicht erstellen.");
}

TEST(DebugWindow, MissingPgpShowsErrorAndShortReport)
{
    Install in;
    RecordingDialogs dialogs;
    app::AppState st;
    st.sys.fs = &in.fs;
    st.dialogs = &dialogs;
    st.appDir = "/opt/quorbix";
    st.pgpDir = "/opt/pgp";
    st.tempDir = "/tmp";
    TfrmDebug dlg(st);
    dlg.setCurrentDir = [](const std::string &) { return true; };
    dlg.show();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "platform");
    EXPECT_EQ(dialogs.shown[0].text, "Datei nicht gefunden");
    EXPECT_EQ(dlg.Memo1->toPlainText(), QString("/opt/quorbix\n5120 KByte free.\n\n/opt/pgp") + QString(13, '\n'));
}

TEST(AboutBox, CaptionLanguageAndKeys)
{
    app::AppState st;
    {
        TfrmAbout about(st);
        EXPECT_EQ(about.windowTitle(), QString::fromUtf8("Info über Quorbix"));
        EXPECT_EQ(about.Label1->text(), "Quorbix v2.0");
        EXPECT_TRUE(about.Label1->font().bold());
        EXPECT_EQ(about.Label1->font().pixelSize(), 13);
        EXPECT_EQ(about.Label1->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_TRUE(about.Label2->text().contains("example.org"));
        EXPECT_TRUE(about.OKButton->isDefault());
        about.show();
        ASSERT_NE(about.Image1->pixmap().cacheKey(), 0);
        EXPECT_EQ(about.Image1->pixmap().size(), QSize(32, 32));
        EXPECT_EQ(about.size(), QSize(340, 206));

        // Esc closes it.
        QTest::keyClick(&about, Qt::Key_Escape);
        EXPECT_FALSE(about.isVisible());
        // Enter closes it through OK.
        about.show();
        QTest::keyClick(&about, Qt::Key_Return);
        EXPECT_FALSE(about.isVisible());
        EXPECT_EQ(about.result(), QDialog::Accepted);
    }
    st.language = "English";
    TfrmAbout about(st);
    EXPECT_EQ(about.windowTitle(), "About Quorbix");
    EXPECT_EQ(about.Label1->text(), "Quorbix v2.0");
}
