// The main window: composition, start-up, close question and shutdown.
#include "app/TextCatalog.h"
#include "buttons/ButtonTable.h"
#include "keys/MakeIdBatch.h"
#include "pgp/LaunchFile.h"
#include "pgp/RunPgp.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using testsupport::FormFixture;

namespace {

const std::string kMain = std::string(platform::kQuorbixKey) + "\\MainWindow";
const std::string kSetup = std::string(platform::kQuorbixKey) + "\\Setup";

std::string stored(FormFixture &fx, const std::string &key, const std::string &name)
{
    const platform::RegValue *v = fx.reg.file.value(key, name);
    return v ? v->data : std::string("<missing>");
}

QStringList entries(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return out;
}

} // namespace

TEST(MainWindow, CompositionAsDesigned)
{
    FormFixture fx;
    TForm1 &f = fx.create();

    // Command buttons: four columns of three, numbered down the columns; five user buttons.
    const int colX[4] = {8, 129, 250, 371};
    const int rowY[3] = {12, 33, 54};
    for (int i = 0; i < 12; ++i) {
        QPushButton *b = f.findChild<QPushButton *>(QStringLiteral("bu%1").arg(i + 1));
        ASSERT_NE(b, nullptr) << i;
        EXPECT_EQ(b->geometry(), QRect(colX[i / 3], rowY[i % 3], 121, 22)) << i;
        EXPECT_EQ(b->property("Tag").toInt(), i + 1);
        EXPECT_EQ(b->parentWidget(), f.Panel1);
    }
    for (int i = 0; i < 5; ++i) {
        QPushButton *b = f.findChild<QPushButton *>(QStringLiteral("bu%1").arg(i + 13));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->geometry(), QRect(8 + 131 * i, 6, 131, 22));
        EXPECT_EQ(b->property("Tag").toInt(), i + 13);
        EXPECT_EQ(b->parentWidget(), f.Panel2);
    }
    EXPECT_EQ(f.Panel1->height(), 124);
    EXPECT_EQ(f.Panel2->height(), 36);

    // Action buttons with pictures; captions from the built-in texts.
    const std::pair<QToolButton *, const char *> actions[] = {
        {f.buEncrypt, "&Verschlüsseln"}, {f.buDecrypt, "Entschl. / Sign. prüfen"},
        {f.buSign, "Signie&ren"}, {f.buReadTree, "Bau&mansicht anzeigen"}};
    int x = 8;
    for (auto [b, caption] : actions) {
        EXPECT_EQ(b->geometry(), QRect(x, 78, 121, 37));
        EXPECT_EQ(b->text(), QString::fromUtf8(caption));
        EXPECT_FALSE(b->icon().isNull());
        x += 121;
    }
    EXPECT_EQ(f.buEncrypt->toolTip(), QString::fromUtf8("Verschlüsselt eine wählbare Datei"));

    EXPECT_EQ(f.GroupBox2->title(), "Optionen");
    EXPECT_EQ(f.GroupBox2->geometry(), QRect(500, 8, 165, 107));
    EXPECT_EQ(f.CheckBox2->text(), "RADIX-64 Format");
    EXPECT_EQ(f.CheckBox1->toolTip(), QString::fromUtf8("Hängt die Option \"-b\" an"));

    EXPECT_EQ(f.Notebook1->currentIndex(), 0);
    EXPECT_EQ(f.Notebook1->widget(0)->objectName(), "TabRichEdit");
    EXPECT_EQ(f.Notebook1->widget(1)->objectName(), "TabTreeView");
    EXPECT_TRUE(f.RichEdit1->isReadOnly() == false);
    EXPECT_EQ(f.StatusPanel0->width(), 400);

    // Menus with every entry and separator in order, with their shortcuts.
    EXPECT_EQ(entries(f.Projekt1), QStringList({"muSetup", "muMantra", "muDelMantra", "-", "muQuit"}));
    EXPECT_EQ(entries(f.Bearbeiten1), QStringList({"muCut", "muCopy", "muPaste"}));
    EXPECT_EQ(entries(f.UserButtons1), QStringList({"muHideUb"}));
    EXPECT_EQ(entries(f.Hilfe1), QStringList({"muHelp", "-", "muInfo"}));
    EXPECT_EQ(entries(f.PopupMenu1),
              QStringList({"", "Drucken1", "-", "PmuCut", "PmuCopy", "PmuPaste", "PmuClear", "-", "PmuMarkAll",
                           "pmuFont", "pmuZBruch", "-", "pmuAdd", "PmuEncrypt", "PmuDecrypt", "PmuSig", "-",
                           "pmuTreeView"}));
    EXPECT_EQ(entries(f.Datei1), QStringList({"Neu1", "pmuOpen", "PmuSave", "PmuSaveAs"}));
    EXPECT_EQ(entries(f.PopupMenu2),
              QStringList({"Fingerprintzeigen1", "ASCIIKeyspeichern1", "Keyspeichern1", "Keylschen1", "-",
                           "Neueinlesen1", "Allesffnen1", "Allesschlieen1", "-", "UmschaltenzumEditor"}));
    EXPECT_EQ(f.muQuit->text(), "&Beenden");
    EXPECT_EQ(f.muQuit->shortcut(), QKeySequence("Ctrl+B"));
    EXPECT_EQ(f.muDelMantra->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(f.PmuDecrypt->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(f.UmschaltenzumEditor->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(f.PmuDecrypt->shortcutContext(), Qt::WidgetWithChildrenShortcut);
    EXPECT_EQ(f.UmschaltenzumEditor->shortcutContext(), Qt::WidgetWithChildrenShortcut);
    EXPECT_EQ(f.pmuTreeView->text(), QString::fromUtf8("Umschalten zur Baumansich&t"));
    EXPECT_EQ(f.Datei1->title(), "Datei");

    EXPECT_EQ(f.OpenDialog1.title, "Laden...");
    EXPECT_EQ(f.SaveDialog1.title, "Speichern...");
    EXPECT_TRUE(f.SaveDialog1.overwritePrompt);
    EXPECT_EQ(f.OpenDialog1.filter, "(*.asc,*.pgp,*.sig)|*.asc;*.pgp;*.sig|(*.txt)|*.txt|(*.*)|*.*");
    EXPECT_EQ(app::FileDialog::qtFilters(f.OpenDialog1.filter).value(0),
              "(*.asc,*.pgp,*.sig) (*.asc *.pgp *.sig)");
}

TEST(MainWindow, NormalStartWritesItsWorkingFiles)
{
    FormFixture fx;
    TForm1 &f = fx.create();

    EXPECT_EQ(f.windowTitle(), "QUORBIX Version 2.0");
    EXPECT_FALSE(fx.st.firstStart);
    EXPECT_EQ(fx.st.pgpDir, "/pgp");
    EXPECT_EQ(fx.st.tempDir, "/tmp");
    EXPECT_EQ(fx.st.helpFile, "/app/Quorbix.html");
    // The German button file, byte for byte the built-in table, on the buttons.
    EXPECT_EQ(fx.fs.content("/app/Buttons.qxd"), buttons::encodeTable(buttons::builtinTable(true)));
    EXPECT_EQ(f.bu[0]->text(), "Key &generieren");
    EXPECT_EQ(f.bu[12]->text(), "[UserButton 1]");
    // The launch file beside pgp, and the key-list script, started in the background.
    EXPECT_EQ(fx.fs.content("/pgp/PGP.pif"), pgp::launchFileTemplate());
    EXPECT_EQ(fx.fs.content("/app/MakeID.bat"), keys::makeIdBatchLine("/pgp", "/app"));
    ASSERT_EQ(fx.proc.detached.size(), 1u);
    EXPECT_EQ(fx.proc.detached[0].args, std::vector<std::string>({"/app/MakeID.bat"}));
    EXPECT_EQ(fx.proc.detached[0].workDir, "/pgp");
    // Stored values are in effect; nothing was reported.
    EXPECT_TRUE(f.CheckBox2->isChecked()); // RADIX-64 default
    EXPECT_FALSE(f.Panel2->isHidden());
    EXPECT_TRUE(f.muHideUb->isChecked());
    EXPECT_TRUE(fx.dialogs.shown.empty()) << fx.dialogs.last();
}

TEST(MainWindow, StartUpReportsWhatIsMissingAndGoesOn)
{
    FormFixture fx;
    fx.fs.remove("/app/MakeID.pif");
    fx.env.unset("Temp");
    fx.env.set("Temp", "");
    fx.env.set("Tmp", "/var/tmp2");
    fx.env.set("PGPPASS", std::string(227, 'x')); // too long: counts as unset
    TForm1 &f = fx.create();
    ASSERT_FALSE(fx.dialogs.shown.empty());
    EXPECT_EQ(fx.dialogs.shown[0].kind, "error");
    EXPECT_EQ(fx.dialogs.shown[0].text, fx.st.texts.msg(app::Msg::MakeIdPifMissing) + "\r\rCode:  0,0");
    EXPECT_EQ(fx.st.tempDir, "/var/tmp2");
    EXPECT_EQ(fx.st.passPhrase, "");
    EXPECT_EQ(fx.proc.detached.size(), 1u); // start-up went on
    EXPECT_EQ(f.windowTitle(), "QUORBIX Version 2.0");
}

TEST(MainWindow, TempDirFallsBackToAppDir)
{
    FormFixture fx;
    fx.env.unset("Temp");
    fx.create();
    EXPECT_EQ(fx.st.tempDir, "/app");
    fx.fs.addFile("/app/QUORBIX.tmp", "plain");
    fx.destroy();
    EXPECT_FALSE(fx.fs.exists("/app/QUORBIX.tmp"));
}

TEST(MainWindow, EnglishStartLaysTheEnglishTextsOver)
{
    FormFixture fx(testsupport::normalSettings("English"));
    TForm1 &f = fx.create();
    EXPECT_TRUE(fx.st.texts.isEnglish());
    EXPECT_EQ(fx.st.helpFile, "/app/Quorbixe.html");
    EXPECT_EQ(f.muQuit->text(), "&Quit");
    EXPECT_EQ(f.muQuit->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(f.buEncrypt->text(), "En&crypt file");
    EXPECT_EQ(f.OpenDialog1.title, "Load...");
    EXPECT_EQ(f.Datei1->title(), "File");
    EXPECT_EQ(f.muHideUb->text(), "&User-Buttons");
    EXPECT_TRUE(fx.fs.exists("/app/Buttons.qxe"));
    EXPECT_FALSE(fx.fs.exists("/app/Buttons.qxd"));
    EXPECT_EQ(f.bu[0]->text(), "&Generate key");

    f.muHelpClick();
    ASSERT_FALSE(fx.help.calls.empty());
    EXPECT_EQ(fx.help.calls.back(), (testsupport::FakeHelpViewer::Call{
                                         testsupport::FakeHelpViewer::Kind::Context, "/app/Quorbixe.html", 10}));
}

TEST(MainWindow, LowerCaseLanguageStaysGerman)
{
    FormFixture fx(testsupport::normalSettings("english"));
    TForm1 &f = fx.create();
    EXPECT_FALSE(fx.st.texts.isEnglish());
    EXPECT_EQ(f.muQuit->text(), "&Beenden");
    EXPECT_TRUE(fx.fs.exists("/app/Buttons.qxe")); // only "Deutsch" takes the German file
}

TEST(MainWindow, FirstStartAsksForTheLanguage)
{
    FormFixture fx("");
    // The settings dialog that follows wants a folder holding pgp.
    fx.env.set("PGPPATH", QUORBIX_FAKEPGP_DIR);
    fx.fs.mkdirs(QUORBIX_FAKEPGP_DIR);
    fx.fs.addFile(std::string(QUORBIX_FAKEPGP_DIR) + "/pgp", "#!/bin/sh\n", 0755);
    // The language chooser, then the settings dialog of a first start.
    testsupport::ModalAnswerer answer(
        [](QWidget *modal) {
            auto *english = modal->findChild<QRadioButton *>("rbEnglish");
            auto *ok = modal->findChild<QPushButton *>("BitBtn1");
            if (!english || !ok) {
                if (auto *settingsOk = modal->findChild<QPushButton *>("BitBtn1")) {
                    settingsOk->click();
                    return true;
                }
                return false;
            }
            english->setChecked(true);
            ok->click();
            return true;
        },
        2);
    TForm1 &f = fx.create();
    EXPECT_EQ(answer.answered(), 2);
    EXPECT_EQ(answer.titles().value(0), "Sprache / Language");
    EXPECT_EQ(answer.titles().value(1), "Setup");
    EXPECT_TRUE(fx.st.firstStart);
    EXPECT_EQ(fx.st.language, "English");
    EXPECT_EQ(f.muQuit->text(), "&Quit");
    EXPECT_TRUE(fx.fs.exists("/app/Buttons.qxe"));
    // What a first start runs with.
    EXPECT_TRUE(f.CheckBox2->isChecked());
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.Panel2->isHidden());
    EXPECT_EQ(fx.st.browser, "Clipboard");

    fx.destroy();
    EXPECT_EQ(stored(fx, kSetup, "Language"), "English");
    EXPECT_EQ(stored(fx, kSetup, "Version"), "20");
}

TEST(MainWindow, ShutdownSavesSettingsAndRemovesWorkingFiles)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    f.CheckBox1->setChecked(true);
    f.CheckBox2->setChecked(false);
    f.resize(700, 500);
    fx.st.configText = "+verbose=1";
    for (const char *name : {"/tmp/QUORBIX.tmp", "/tmp/QUORBIX.asc", "/tmp/QUORBIX.pgp", "/tmp/QUORBIX",
                             "/app/out.txt", "/app/ID.txt", "/app/Tree.txt", "/tmp/keep.txt"})
        fx.fs.addFile(name, "x");
    const QRect outer = f.frameGeometry();
    fx.destroy();

    EXPECT_EQ(stored(fx, kSetup, "Version"), "20");
    EXPECT_EQ(stored(fx, kMain, "Width"), std::to_string(outer.width()));
    EXPECT_EQ(stored(fx, kMain, "Height"), std::to_string(outer.height()));
    EXPECT_EQ(stored(fx, kMain, "Left"), std::to_string(outer.x()));
    // What this run did not change is left as the file has it (here: not there).
    EXPECT_EQ(stored(fx, kMain, "Maximized"), "<missing>");
    EXPECT_EQ(stored(fx, kMain, "BreakSig"), "1");
    EXPECT_EQ(stored(fx, kMain, "RADIX-64"), "0");
    EXPECT_EQ(stored(fx, kSetup, "ConfigText"), "+verbose=1");
    EXPECT_EQ(stored(fx, kSetup, "PGPPath"), "/pgp");
    EXPECT_EQ(stored(fx, kSetup, "UBPanel"), "1");
    EXPECT_EQ(stored(fx, kSetup, "Editor Font"), "<missing>");
    EXPECT_GE(fx.reg.flushCount, 1);
    for (const char *name : {"/tmp/QUORBIX.tmp", "/tmp/QUORBIX.asc", "/tmp/QUORBIX.pgp", "/tmp/QUORBIX",
                             "/app/out.txt", "/app/ID.txt", "/app/Tree.txt", "/app/MakeID.bat"})
        EXPECT_FALSE(fx.fs.exists(name)) << name;
    EXPECT_TRUE(fx.fs.exists("/tmp/keep.txt"));
    EXPECT_TRUE(fx.fs.exists("/app/MakeID.pif"));
    EXPECT_TRUE(fx.fs.exists("/pgp/PGP.pif"));
    ASSERT_FALSE(fx.help.calls.empty());
    EXPECT_EQ(fx.help.calls.back().kind, testsupport::FakeHelpViewer::Kind::Close);
}

TEST(MainWindow, CloseQuestionDecidesWhetherTheButtonFileIsWritten)
{
    const std::string before = buttons::encodeTable(buttons::builtinTable(true));
    {
        FormFixture fx;
        TForm1 &f = fx.create();
        fx.st.buttonsChanged = true;
        fx.st.buttons[0].title = "Changed";
        fx.dialogs.answer = ui::Answer::Cancel;
        EXPECT_FALSE(f.close()); // Cancel keeps the window
        EXPECT_EQ(fx.dialogs.last(), fx.st.texts.msg(app::Msg::ButtonsChanged));
        fx.dialogs.answer = ui::Answer::No;
        EXPECT_TRUE(f.close());
        fx.destroy();
        EXPECT_EQ(fx.fs.content("/app/Buttons.qxd"), before);
    }
    {
        FormFixture fx;
        TForm1 &f = fx.create();
        fx.st.buttonsChanged = true;
        fx.st.buttons[0].title = "Changed";
        fx.dialogs.answer = ui::Answer::Yes;
        EXPECT_TRUE(f.close());
        fx.destroy();
        const std::string after = fx.fs.content("/app/Buttons.qxd");
        ASSERT_EQ(after.size(), buttons::kTableSize);
        EXPECT_EQ(after.substr(0, 8), std::string("\x07" "Changed"));
    }
    {
        // Quit skips the question and writes no button file, but the settings.
        FormFixture fx;
        TForm1 &f = fx.create();
        fx.st.buttonsChanged = true;
        fx.st.buttons[0].title = "Changed";
        f.muQuitClick();
        fx.destroy();
        EXPECT_TRUE(fx.dialogs.shown.empty());
        EXPECT_EQ(fx.fs.content("/app/Buttons.qxd"), before);
        EXPECT_EQ(stored(fx, kSetup, "Version"), "20");
    }
}

TEST(MainWindow, UserButtonPanelToggleIsStored)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    ASSERT_FALSE(f.Panel2->isHidden());
    f.muHideUb->trigger();
    EXPECT_TRUE(f.Panel2->isHidden());
    EXPECT_FALSE(f.muHideUb->isChecked());
    fx.destroy();
    EXPECT_EQ(stored(fx, kSetup, "UBPanel"), "0");

    // The next start keeps it hidden.
    FormFixture again(fx.reg.text());
    TForm1 &g = again.create();
    EXPECT_TRUE(g.Panel2->isHidden());
    g.muHideUb->trigger();
    EXPECT_FALSE(g.Panel2->isHidden());
}

TEST(MainWindow, HintLineShowsTheLongPartAndMinimumSizeHolds)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));

    QStatusTipEvent tip("Ruft die Hilfe auf");
    QCoreApplication::sendEvent(&f, &tip);
    EXPECT_EQ(f.StatusPanel0->text(), "Ruft die Hilfe auf");
    f.muHelp->showStatusText(&f);
    EXPECT_EQ(f.StatusPanel0->text(), "Ruft die Hilfe auf");
    QStatusTipEvent none{QString()};
    QCoreApplication::sendEvent(&f, &none);
    EXPECT_EQ(f.StatusPanel0->text(), "");

    // Entering a control with a hint shows it; leaving empties the line.
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(f.CheckBox3, &enter);
    EXPECT_EQ(f.StatusPanel0->text(), QString::fromUtf8("Hängt die Option \"-t\" an"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(f.CheckBox3, &leave);
    EXPECT_EQ(f.StatusPanel0->text(), "");

    QTest::qWait(50);
    f.resize(100, 50);
    const QSize outer = f.frameGeometry().size();
    EXPECT_GE(outer.width(), TForm1::kMinOuterWidth);
    EXPECT_GE(outer.height(), TForm1::kMinOuterHeight);
}

TEST(MainWindow, BadSettingsAreReportedAndTheWindowStillComes)
{
    FormFixture fx(testsupport::normalSettings() +
                   "\r\n[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"
                   "\"Editor Font\"=hex:" + std::string("00,", 0) + [] {
                       std::string h;
                       for (int i = 0; i < 53; ++i)
                           h += i ? ",00" : "00";
                       return h;
                   }() + "\r\n");
    TForm1 &f = fx.create();
    bool reported = false;
    for (const auto &s : fx.dialogs.shown)
        if (s.text.find("Editor Font") != std::string::npos)
            reported = true;
    EXPECT_TRUE(reported);
    EXPECT_EQ(fx.st.pgpDir, "/pgp"); // values read before the error stay
    EXPECT_EQ(f.bu[0]->text(), "Key &generieren");
}

TEST(MainWindow, F1OpensTheMainTopicAndShowErrorRaisesTheWindow)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));

    // F1 from the editor, from a command button and from an option box.
    fx.help.calls.clear();
    for (QWidget *w : std::initializer_list<QWidget *>{f.RichEdit1, f.bu[6], f.CheckBox2}) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_F1);
    }
    using Call = testsupport::FakeHelpViewer::Call;
    const Call topic{testsupport::FakeHelpViewer::Kind::Context, "/app/Quorbix.html", 10};
    EXPECT_EQ(fx.help.calls, (std::vector<Call>{topic, topic, topic}));

    // ShowError first brings the main window to the front, then shows the box.
    QWidget other;
    other.setWindowTitle("other");
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    fx.dialogs.shown.clear();
    pgp::ShowError(fx.st, "Konnte die Userliste nicht erstellen !", 2, 100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &f; }, 2000));
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].kind, "error");
    EXPECT_EQ(fx.dialogs.shown[0].text, "Konnte die Userliste nicht erstellen !\r\rCode:  2,100");
}

TEST(MainWindow, KeyCountPanelIsFiftyPixelsAndGrowsOnlyForItsText)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    f.resize(900, 500);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.StatusPanel0->width(), 400);
    QTest::qWait(20);
    EXPECT_EQ(f.StatusPanel1->width(), 50); // empty: 50, not the rest of the bar
    f.StatusPanel1->setText(QString::fromUtf8("Anzahl vorhandener Schlüssel :1234"));
    QTest::qWait(20);
    EXPECT_GE(f.StatusPanel1->contentsRect().width(),
              f.StatusPanel1->fontMetrics().horizontalAdvance(f.StatusPanel1->text()));
    EXPECT_LT(f.StatusPanel1->geometry().right(), f.StatusBar1->width() - 100);
}

// Each control reaches its command: the file and editor commands, the key
// tree, the pass phrase entries, as the binding table lists them.
TEST(MainWindow, ControlsReachTheirCommands)
{
    FormFixture fx;
    fx.fs.addFile("/pgp/pgp", "binary");
    TForm1 &f = fx.create();
    fx.st.passPhrase = "secret";
    app::FileDialog::testHook() = [](app::FileDialog &d) {
        d.fileName = "/data/a.asc";
        return true;
    };
    fx.proc.runs.clear();
    auto firstArg = [&] { return fx.proc.runs.empty() ? std::string() : fx.proc.runs.back().args.at(0); };

    f.buDecrypt->click();
    EXPECT_EQ(firstArg(), "/data/a.asc");
    f.buSign->click();
    EXPECT_EQ(firstArg(), "-sa");
    f.RichEdit1->setPlainText("text");
    f.PmuSig->trigger();
    EXPECT_EQ(firstArg(), "-sa");
    f.pmuAdd->trigger();
    EXPECT_EQ(firstArg(), "-ka");
    f.buReadTree->click();
    EXPECT_EQ(firstArg(), "-kvv");
    EXPECT_EQ(f.Notebook1->currentIndex(), 1);
    f.UmschaltenzumEditor->trigger();
    EXPECT_EQ(f.Notebook1->currentIndex(), 0);
    f.muDelMantra->trigger();
    EXPECT_TRUE(fx.st.passPhrase.empty());
    EXPECT_EQ(fx.proc.runs.size(), 5u);
    EXPECT_FALSE(fx.st.commandBusy);
    app::FileDialog::testHook() = nullptr;
}
