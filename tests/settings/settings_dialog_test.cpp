// The settings dialog: what it shows, what "Ok" takes and in which order,
// its hot-key fields and its help.
#include "app/AppState.h"
#include "crypt/RecordingDialogs.h"
#include "settings/TForm7.h"
#include "support/FakeHelpViewer.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWhatsThis>

#include <QPlainTextEdit>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {

app::HotkeyValue hv(std::uint16_t key, std::uint8_t mods)
{
    app::HotkeyValue v;
    v.setKeyCode(key);
    v.setModifiers(mods);
    return v;
}

void makePgp(const QString &dir)
{
    QDir().mkpath(dir);
    QFile f(dir + "/pgp");
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

struct Settings {
    QTemporaryDir tmp;
    testsupport::RecordingDialogs dialogs;
    testsupport::FakeHelpViewer help;
    app::AppState st;
    std::vector<std::string> calls;
    std::string goodPgp, noPgp;

    Settings(const std::string &language = "Deutsch")
    {
        st.dialogs = &dialogs;
        st.sys.help = &help;
        st.sys.fs = &platform::systemFileSystem();
        st.helpFile = "/app/Quorbix.html";
        st.language = language;
        goodPgp = (tmp.path() + "/pgp ok").toStdString();
        noPgp = (tmp.path() + "/empty").toStdString();
        makePgp(QString::fromStdString(goodPgp));
        QDir().mkpath(QString::fromStdString(noPgp));
        st.pgpDir = goodPgp;
        st.kLoadPath = "/keys/in";
        st.kSavePath = "/keys/out";
        st.configText = "+verbose=2";
        st.browser = "MIE";
        st.scEncrypt = hv('1', 4);
        st.scDecrypt = hv(0x71, 5);
        st.scSign = hv(0x141, 4); // a key code above 255
    }
    SettingsHooks hooks()
    {
        SettingsHooks h;
        h.applyTexts = [this] { calls.push_back("applyTexts " + st.language); };
        h.reapplyDialogTexts = [this] { calls.push_back("reapply"); };
        h.setDialogFolders = [this](const std::string &s, const std::string &l) {
            calls.push_back("folders " + s + " " + l);
        };
        h.unregisterHotkeys = [this] { calls.push_back("unregister"); };
        h.registerHotkey = [this](int id, const app::HotkeyValue &v) {
            calls.push_back("register " + std::to_string(id) + " " + std::to_string(v.keyCode()) + " " +
                            std::to_string(v.modifiers()));
        };
        h.chooseFolder = [this]() -> std::optional<std::string> {
            calls.push_back("folderDialog");
            return "/chosen dir";
        };
        h.registerFileTypes = [this] { calls.push_back("registerTypes"); };
        h.unregisterFileTypes = [this] { calls.push_back("unregisterTypes"); };
        h.beep = [this] { calls.push_back("beep"); };
        return h;
    }
};

} // namespace

TEST(SettingsDialog, ShowsTheStoredValuesInGerman)
{
    Settings s;
    TForm7 d(s.st, s.hooks());
    EXPECT_EQ(d.windowTitle(), "Einstellungen");
    EXPECT_EQ(d.PageControl1->tabText(0), "Setup");
    EXPECT_EQ(d.PageControl1->tabText(1), "Browser");
    EXPECT_EQ(d.Label2->text(), "Pfad zu PGP.exe :");
    EXPECT_EQ(d.Button1->text(), "Dateierweiterungen registrieren");
    EXPECT_EQ(d.edPGPPath->toolTip(), "Geben Sie hier das PGP-Verzeichnis an.");
    EXPECT_EQ(d.edPGPPath->statusTip(), "");
    EXPECT_EQ(d.rbClip->text(), "Manuell");
    EXPECT_TRUE(d.rbGerman->isChecked());
    EXPECT_EQ(d.edPGPPath->text().toStdString(), s.goodPgp);
    EXPECT_EQ(d.edKLoadPath->text(), "/keys/in");
    EXPECT_EQ(d.edKsavePath->text(), "/keys/out");
    EXPECT_EQ(d.edConfTXT->text(), "+verbose=2");
    EXPECT_TRUE(d.rbMIE->isChecked());
    EXPECT_EQ(d.hkEncrypt->value(), 0x4031);
    EXPECT_EQ(d.hkEncrypt->text(), "Strg + 1");
    EXPECT_EQ(d.hkDecrypt->value(), 0x6071); // Shift+Ctrl+F2
    EXPECT_EQ(d.hkSign->value(), 0);
    EXPECT_EQ(d.hkSign->text(), "");
    EXPECT_FALSE(d.cbCryptAll->isEnabled());
    EXPECT_FALSE(d.cbFastUser->isChecked());
    EXPECT_EQ(d.buPGPPath->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(d.edPGPPath->accessibleName(), "Pfad zu PGP.exe");
    EXPECT_EQ(d.hkDecrypt->accessibleName(), "Entschlüsseln");
    EXPECT_TRUE(d.windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_GE(d.width(), 360);
    EXPECT_TRUE(s.calls.empty()); // nothing happens before "Ok"
}

TEST(SettingsDialog, FilesPageSaysWhereEachFileIs)
{
    for (const char *language : {"Deutsch", "English"}) {
        Settings s(language);
        const bool german = std::string(language) == "Deutsch";
        s.st.appDir = "/run/user/1000/quorbix";
        s.st.dataDir = "/usr/share/quorbix";
        s.st.userDir = (s.tmp.path() + "/data/quorbix").toStdString();
        s.st.tempDir = "/tmp";
        // An installed pgp the user cannot write beside: the user's launch file.
        QFile::setPermissions(QString::fromStdString(s.goodPgp), QFile::ReadOwner | QFile::ExeOwner);
        TForm7 d(s.st, s.hooks());
        ASSERT_EQ(d.PageControl1->count(), 3);
        EXPECT_EQ(d.PageControl1->tabText(2), german ? "Dateien" : "Files");
        EXPECT_EQ(d.meFiles->accessibleName(), german ? "Hier liegen die Dateien von Quorbix" : "Where Quorbix keeps its files");
        EXPECT_TRUE(d.meFiles->isReadOnly());
        const QString text = d.meFiles->toPlainText();
        const QStringList lines = text.split('\n');
        auto folderAfter = [&](const QString &start) {
            for (int i = 0; i + 1 < lines.size(); ++i)
                if (lines[i].startsWith(start))
                    return lines[i + 1].trimmed();
            return QString("(no line %1)").arg(start);
        };
        EXPECT_EQ(folderAfter(german ? "Programmdateien" : "Program files"), "/usr/share/quorbix");
        EXPECT_EQ(folderAfter(german ? "Button-Dateien" : "Button files"), QString::fromStdString(s.st.userDir));
        EXPECT_EQ(folderAfter(german ? "Arbeitsdateien" : "Working files"), "/run/user/1000/quorbix");
        EXPECT_EQ(folderAfter(german ? "Temporäre" : "Temporary"), "/tmp");
        if (::geteuid() != 0) { // root writes everywhere
            EXPECT_EQ(folderAfter(german ? "Startdatei" : "Launch file"),
                      QString::fromStdString(s.st.userDir + "/PGP.pif"));
        }
        QFile::setPermissions(QString::fromStdString(s.goodPgp),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(SettingsDialog, EnglishUnlessExactlyDeutsch)
{
    for (const char *lang : {"English", "english", ""}) {
        Settings s(lang);
        s.st.browser = "Clipboard";
        TForm7 d(s.st, s.hooks());
        EXPECT_EQ(d.windowTitle(), "Setup") << lang;
        EXPECT_TRUE(d.rbEnglish->isChecked()) << lang;
        EXPECT_EQ(d.rbClip->text(), "Manuel");
        EXPECT_EQ(d.Button2->text(), "Unregister *.pgp and *.asc");
        EXPECT_EQ(d.BitBtn2->text(), "Help");
        EXPECT_EQ(d.edKsavePath->toolTip(), "Type in where you want to save your key's ");
        EXPECT_TRUE(d.rbClip->isChecked());
    }
}

TEST(SettingsDialog, OkTakesTheValuesInOrderAndSwitchesToEnglish)
{
    Settings s;
    TForm7 d(s.st, s.hooks());
    d.show();
    d.edKsavePath->setText("/new/save");
    d.edKLoadPath->setText("/new/load");
    d.edConfTXT->setText("+armorlines=0 ä");
    d.rbClip->setChecked(true);
    d.rbEnglish->setChecked(true);
    d.hkDecrypt->setValue(0); // emptied: unregistered and not registered again
    d.hkSign->setValue(0xA033);  // Alt+Shift+3
    d.BitBtn1Click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(s.st.pgpDir, s.goodPgp);
    EXPECT_EQ(s.st.kSavePath, "/new/save");
    EXPECT_EQ(s.st.configText, "+armorlines=0 \xE4"); // Latin-1 for PGP
    EXPECT_EQ(s.st.browser, "Clipboard");
    EXPECT_EQ(s.st.language, "English");
    EXPECT_FALSE(s.st.scDecrypt.isSet());
    EXPECT_EQ(s.st.scSign.keyCode(), 0x33);
    EXPECT_EQ(s.st.scSign.modifiers(), 3);
    EXPECT_TRUE(s.dialogs.shown.empty()); // German to English: no message
    const std::vector<std::string> expected = {"folders /new/save /new/load", "applyTexts English", "reapply",
                                               "unregister", "register 100 49 4", "register 300 51 3"};
    EXPECT_EQ(s.calls, expected);
}

TEST(SettingsDialog, MissingPgpKeepsTheDialogOpenWithTheOldFolder)
{
    Settings s("English");
    TForm7 d(s.st, s.hooks());
    d.show();
    d.edPGPPath->setText(QString::fromStdString(s.noPgp));
    d.edKsavePath->setText("/other");
    d.rbGerman->setChecked(true);
    d.BitBtn1Click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.edPGPPath->text().toStdString(), s.goodPgp);
    EXPECT_EQ(s.st.pgpDir, s.goodPgp);
    EXPECT_EQ(s.st.kSavePath, "/other"); // the other values are taken all the same
    ASSERT_EQ(s.calls.front(), "beep");
    ASSERT_EQ(s.dialogs.shown.size(), 2u);
    EXPECT_EQ(s.dialogs.shown[0].kind, "info");
    EXPECT_EQ(s.dialogs.shown[0].text, "PGP.exe nicht gefunden !");
    // English to German: the German-only restart notice.
    EXPECT_EQ(s.dialogs.shown[1].text,
              "Um zur deutschen Textausgabe umzuschalten, starten Sie Quorbix bitte neu !");
    EXPECT_EQ(s.st.language, "Deutsch");
    // The second "Ok" finds pgp in the folder it was given back.
    d.BitBtn1Click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(s.dialogs.shown.size(), 2u);

    // A file named pgp that cannot be run does not count.
    Settings t;
    QFile::setPermissions(QString::fromStdString(t.goodPgp) + "/pgp", QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(TForm7::pgpFound(*t.st.sys.fs, QString::fromStdString(t.goodPgp)));
    EXPECT_FALSE(TForm7::pgpFound(*t.st.sys.fs, QString::fromStdString(t.noPgp)));
    QDir().mkpath(QString::fromStdString(t.noPgp) + "/pgp"); // a folder named pgp neither
    EXPECT_FALSE(TForm7::pgpFound(*t.st.sys.fs, QString::fromStdString(t.noPgp)));
}

TEST(SettingsDialog, CloseBoxKeepsNothingButFileTypesActAtOnce)
{
    Settings s;
    const app::AppState before = s.st;
    TForm7 d(s.st, s.hooks());
    d.show();
    d.edPGPPath->setText("/elsewhere");
    d.rbEnglish->setChecked(true);
    d.Button1->click();
    d.Button2->click();
    d.close();
    EXPECT_EQ(s.calls, (std::vector<std::string>{"registerTypes", "unregisterTypes"}));
    EXPECT_EQ(s.st.pgpDir, before.pgpDir);
    EXPECT_EQ(s.st.language, "Deutsch");
    EXPECT_EQ(s.st.scEncrypt.toBytes(), before.scEncrypt.toBytes());
}

TEST(SettingsDialog, FolderButtonsPutTheChosenPath)
{
    Settings s;
    TForm7 d(s.st, s.hooks());
    d.show();
    d.buKLoadPath->click();
    EXPECT_EQ(d.edKLoadPath->text(), "/chosen dir");
    EXPECT_EQ(d.edPGPPath->text().toStdString(), s.goodPgp);
}

TEST(SettingsDialog, HotkeyFieldTakesKeys)
{
    Settings s;
    TForm7 d(s.st, s.hooks());
    d.show();
    THotKey *f = d.hkSign;
    f->setFocus();
    QTest::keyClick(f, Qt::Key_1);
    EXPECT_EQ(f->value(), 0x4031); // no modifier: Ctrl
    EXPECT_EQ(f->text(), "Strg + 1");
    QTest::keyClick(f, Qt::Key_A, Qt::ShiftModifier);
    EXPECT_EQ(f->value(), 0x4041); // Shift alone: Ctrl
    QTest::keyClick(f, Qt::Key_F5, Qt::AltModifier);
    EXPECT_EQ(f->value(), 0x8074);
    QTest::keyClick(f, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f->value(), 0x605A);
    QTest::keyClick(f, Qt::Key_7, Qt::KeypadModifier | Qt::ControlModifier);
    EXPECT_EQ(f->value(), 0x4067);
    QTest::keyClick(f, Qt::Key_Shift, Qt::ShiftModifier); // a modifier alone changes nothing
    EXPECT_EQ(f->value(), 0x4067);
    QTest::keyClick(f, Qt::Key_Backspace);
    EXPECT_EQ(f->value(), 0);
    EXPECT_EQ(f->text(), "");
}

TEST(SettingsDialog, HelpButtonF1AndCaptionBarHelp)
{
    Settings s;
    TForm7 d(s.st, s.hooks());
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.BitBtn2->click();
    ASSERT_EQ(s.help.calls.size(), 1u);
    EXPECT_EQ(s.help.calls[0], (testsupport::FakeHelpViewer::Call{testsupport::FakeHelpViewer::Kind::Context,
                                                                   "/app/Quorbix.html", 40}));
    d.activateWindow();
    d.edKLoadPath->setFocus();
    QTest::keyClick(d.edKLoadPath, Qt::Key_F1);
    ASSERT_EQ(s.help.calls.size(), 2u);
    EXPECT_EQ(s.help.calls[1].kind, testsupport::FakeHelpViewer::Kind::Context);
    EXPECT_EQ(s.help.calls[1].context, 1290);

    // A click in context-help mode: the clicked control's topic as a pop-up;
    // a control without one takes the dialog's.
    d.PageControl1->setCurrentIndex(1);
    QHelpEvent onMie(QEvent::WhatsThis, d.rbMIE->mapTo(&d, QPoint(3, 3)),
                     d.rbMIE->mapToGlobal(QPoint(3, 3)));
    QCoreApplication::sendEvent(d.rbMIE, &onMie);
    ASSERT_EQ(s.help.calls.size(), 3u);
    EXPECT_EQ(s.help.calls[2].kind, testsupport::FakeHelpViewer::Kind::Popup);
    EXPECT_EQ(s.help.calls[2].context, 1230);
    QHelpEvent onLabel(QEvent::WhatsThis, d.Label1->mapTo(&d, QPoint(2, 2)), d.Label1->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(d.Label1, &onLabel);
    ASSERT_EQ(s.help.calls.size(), 4u);
    EXPECT_EQ(s.help.calls[3].context, 1);

    // Shift+F1 enters that mode where the caption bar has no help button.
    d.activateWindow();
    QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
    QWhatsThis::leaveWhatsThisMode();
    // And so does the "?" at the page control's corner, the caption bar's
    // button that X11 window managers do not draw.
    ASSERT_NE(d.buContextHelp, nullptr);
    EXPECT_EQ(d.PageControl1->cornerWidget(Qt::TopRightCorner), d.buContextHelp);
    EXPECT_TRUE(d.buContextHelp->isVisible());
    EXPECT_FALSE(d.buContextHelp->accessibleName().isEmpty());
    d.buContextHelp->click();
    EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
    QWhatsThis::leaveWhatsThisMode();
}

TEST(SettingsDialog, TheMailRouteChosenWhereTheDesktopForbidsItSaysSo)
{
    for (const std::string language : {"Deutsch", "English"}) {
        Settings s(language);
        s.st.browser = "Clipboard";
        SettingsHooks h = s.hooks();
        bool forbidden = false;
        h.mailRouteUnavailable = [&forbidden] { return forbidden; };
        TForm7 d(s.st, std::move(h));
        d.show();
        // Where the route works, choosing it is silent.
        QTest::mouseClick(d.rbMIE, Qt::LeftButton);
        ASSERT_TRUE(d.rbMIE->isChecked());
        EXPECT_TRUE(s.dialogs.shown.empty());
        QTest::mouseClick(d.rbClip, Qt::LeftButton);
        forbidden = true;
        QTest::mouseClick(d.rbMIE, Qt::LeftButton);
        ASSERT_EQ(s.dialogs.shown.size(), 1u);
        EXPECT_EQ(s.dialogs.shown[0].kind, "info");
        const std::string &text = s.dialogs.shown[0].text;
        EXPECT_NE(text.find("Wayland"), std::string::npos) << text;
        EXPECT_NE(text.find(language == "English" ? "mail-window route does not work" : "Mailfenster nicht"),
                  std::string::npos)
            << text;
        // Said when chosen, not when the dialog opens on it or when "Manuell"
        // is chosen.
        QTest::mouseClick(d.rbClip, Qt::LeftButton);
        EXPECT_EQ(s.dialogs.shown.size(), 1u);
        s.st.browser = "MIE";
        SettingsHooks h2 = s.hooks();
        h2.mailRouteUnavailable = [] { return true; };
        TForm7 again(s.st, std::move(h2));
        again.show();
        EXPECT_TRUE(again.rbMIE->isChecked());
        EXPECT_EQ(s.dialogs.shown.size(), 1u);
    }
}
