// The button setup dialog: layout, filling, enabling rules, OK's cuts,
// the file request, help contexts, and the save question it leads to.
#include "buttons/TFormButtSetup.h"
#include "buttons/ButtonTable.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"
#include "ui/ContextHelp.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

using testsupport::FormFixture;

namespace {

struct SetupFixture : FormFixture {
    TForm1 *f = nullptr;
    TFormButtSetup *d = nullptr;
    explicit SetupFixture(const std::string &lang = "Deutsch") : FormFixture(testsupport::normalSettings(lang))
    {
        f = &create();
        d = &f->buttonSetup();
    }
    // Fills for n and shows without a modal loop.
    void open(int n)
    {
        d->fill(n);
        d->show();
    }
};

} // namespace

TEST(ButtonSetup, LayoutTextsAndHelp)
{
    SetupFixture fx;
    TFormButtSetup &d = *fx.d;
    EXPECT_EQ(d.windowTitle(), "Konfiguration der Standardbuttons");
    // The measured layout, widened by one factor for the font in use; every
    // caption then fits its control whole.
    const double f = d.widthScale();
    EXPECT_GE(f, 1.0);
    auto sx = [f](int v) { return int(std::lround(v * f)); };
    auto scaled = [&](int x, int y, int w, int h) { return QRect(sx(x), y, sx(x + w) - sx(x), h); };
    EXPECT_EQ(d.size(), QSize(sx(391), 257));
    EXPECT_EQ(d.GroupBox1->geometry(), scaled(6, 6, 241, 100));
    EXPECT_EQ(d.GroupBox2->geometry(), scaled(252, 6, 135, 100));
    EXPECT_EQ(d.GroupBox3->geometry(), scaled(6, 114, 220, 106));
    EXPECT_EQ(d.GroupBox4->geometry(), scaled(231, 114, 156, 106));
    EXPECT_EQ(d.BitBtn1->geometry(), scaled(150, 228, 75, 25));
    EXPECT_EQ(d.BitBtn3->geometry(), scaled(310, 228, 75, 25));
    for (QWidget *w : std::initializer_list<QWidget *>{d.Label1, d.Label2, d.Label3, d.cbOpen, d.cbSave, d.cbUser,
                                                       d.rbDOS, d.rbQuorbix, d.rbDivert, d.cbCloseAtEnd, d.cbShowDos,
                                                       d.cbUpdateUserList, d.cbFromRTF, d.BitBtn1, d.BitBtn2,
                                                       d.BitBtn3}) {
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        EXPECT_LE(w->geometry().right(), w->parentWidget()->width()) << w->objectName().toStdString();
    }
    // The picture button stays beside the path field, inside its group.
    EXPECT_EQ(d.sbFileReq->size(), QSize(22, 21));
    EXPECT_EQ(d.sbFileReq->x(), d.edFName->geometry().right() + 5);
    EXPECT_LE(d.sbFileReq->geometry().right(), d.GroupBox3->width());
    EXPECT_EQ(d.GroupBox3->title(), " PGP-Textausgabe ");
    EXPECT_EQ(d.cbCloseAtEnd->text(), QString::fromUtf8("Beim Beenden schließen"));
    EXPECT_EQ(d.edTitel->maxLength(), 30);
    EXPECT_EQ(d.edToolTip->maxLength(), 60);
    EXPECT_EQ(d.edCMD->maxLength(), 40);
    EXPECT_EQ(d.edFName->maxLength(), 255);
    EXPECT_FALSE(d.cbFromRTF->isEnabled());
    EXPECT_TRUE(d.windowFlags() & Qt::WindowContextHelpButtonHint);
    for (QWidget *w : d.findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractButton *>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }

    // Help button: topic 60; F1 on a control: its context.
    fx.open(3);
    d.BitBtn3->click();
    ASSERT_FALSE(fx.help.calls.empty());
    EXPECT_EQ(fx.help.calls.back().context, 60);
    const std::pair<QWidget *, int> contexts[] = {{d.edTitel, 1000}, {d.edCMD, 1020}, {d.cbUser, 1050},
                                                  {d.rbDivert, 1080}, {d.edFName, 1090}, {d.cbShowDos, 1130},
                                                  {d.cbUpdateUserList, 1120}, {d.BitBtn1, 1}};
    const auto table = app::helpContexts(app::Window::ButtonSetup);
    for (const auto &[w, ctx] : contexts)
        EXPECT_EQ(ui::helpContextOf(w, &d, table), ctx) << w->objectName().toStdString();
    d.hide();

    SetupFixture en("English");
    EXPECT_EQ(en.d->windowTitle(), "Setup of the standardbuttons");
    EXPECT_EQ(en.d->rbDivert->text(), "Output to file...");
    EXPECT_EQ(en.d->BitBtn2->text(), "Cancel");
    EXPECT_EQ(en.d->Label1->text(), "Titel:"); // not in the English table
    for (QWidget *w : std::initializer_list<QWidget *>{en.d->cbCloseAtEnd, en.d->cbUpdateUserList, en.d->cbFromRTF,
                                                       en.d->rbDOS, en.d->rbQuorbix, en.d->BitBtn3})
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
}

TEST(ButtonSetup, FillAndEnablingRules)
{
    SetupFixture fx;
    TFormButtSetup &d = *fx.d;
    // Button 1: console output, window shown.
    fx.open(1);
    EXPECT_EQ(d.edTitel->text(), "Key &generieren");
    EXPECT_EQ(d.edTitel->property("Tag").toInt(), 1);
    EXPECT_TRUE(d.rbDOS->isChecked());
    EXPECT_FALSE(d.edFName->isEnabled());
    EXPECT_FALSE(d.sbFileReq->isEnabled());
    EXPECT_TRUE(d.cbShowDos->isChecked());
    EXPECT_FALSE(d.cbShowDos->isEnabled());
    EXPECT_TRUE(d.cbCloseAtEnd->isEnabled());
    EXPECT_TRUE(d.cbUpdateUserList->isChecked());
    // A hint longer than its box shows from its first character.
    EXPECT_EQ(d.edToolTip->cursorPosition(), 0);
    d.hide();

    // Button 4: program output; the rules follow on show.
    fx.open(4);
    EXPECT_TRUE(d.rbQuorbix->isChecked());
    EXPECT_FALSE(d.rbDOS->isChecked());
    EXPECT_FALSE(d.edFName->isEnabled());
    EXPECT_TRUE(d.cbShowDos->isEnabled());
    EXPECT_FALSE(d.cbShowDos->isChecked());
    EXPECT_FALSE(d.cbCloseAtEnd->isEnabled());

    // Moving to "file": path and picker enabled, the box white again.
    d.rbDivert->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(d.edFName->isEnabled());
    EXPECT_TRUE(d.sbFileReq->isEnabled());
    EXPECT_FALSE(d.cbCloseAtEnd->isEnabled());
    EXPECT_EQ(d.edFName->palette().color(QPalette::Base), d.palette().color(QPalette::Active, QPalette::Base));
    d.rbQuorbix->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(d.edFName->palette().color(QPalette::Base), d.palette().color(QPalette::Active, QPalette::Button));
    // Moving to console locks "show" on; leaving keeps its state.
    d.cbShowDos->setChecked(false);
    d.rbDOS->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(d.cbShowDos->isChecked());
    EXPECT_FALSE(d.cbShowDos->isEnabled());
    d.rbDivert->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(d.cbShowDos->isChecked());
    EXPECT_TRUE(d.cbShowDos->isEnabled());
    d.hide();

    // No carry-over: showing another record refills every field.
    fx.open(13);
    EXPECT_EQ(d.edCMD->text(), "");
    EXPECT_TRUE(d.rbDOS->isChecked());
    d.hide();
}

TEST(ButtonSetup, OkStoresEveryFieldWithItsCut)
{
    SetupFixture fx;
    TFormButtSetup &d = *fx.d;
    fx.open(13);
    d.edTitel->setMaxLength(100); // what a pasted text could bring past the field
    d.edToolTip->setMaxLength(100);
    d.edCMD->setMaxLength(100);
    d.edTitel->setText(QString(35, 'T'));
    d.edToolTip->setText(QString::fromUtf8("Tipp für alle|") + QString(60, 'h'));
    d.edCMD->setText(QString(45, 'c'));
    d.cbOpen->setChecked(true);
    d.cbUser->setChecked(true);
    d.cbCloseAtEnd->setChecked(true); // then locked by the file choice
    d.rbDivert->setChecked(true);
    d.rbDivert->setFocus();
    QCoreApplication::processEvents();
    d.edFName->setText("/home/u/out file.txt");
    d.cbShowDos->setChecked(false);
    d.cbUpdateUserList->setChecked(true);
    fx.st.buttonsChanged = false;
    d.BitBtn1->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);

    const buttons::ButtonRecord &r = fx.st.buttons[12];
    EXPECT_EQ(r.title, std::string(30, 'T'));
    EXPECT_EQ(r.hint.size(), 60u);
    EXPECT_EQ(r.hint.substr(0, 14), "Tipp f\xFCr alle|");
    EXPECT_EQ(r.command, std::string(40, 'c'));
    EXPECT_TRUE(r.openDialog && r.recipient && !r.saveDialog);
    EXPECT_TRUE(r.outFile && !r.outConsole && !r.outProgram);
    EXPECT_EQ(r.outputFile, "/home/u/out file.txt");
    EXPECT_EQ(r.windowMode, 0);
    EXPECT_TRUE(r.refreshUserList);
    EXPECT_TRUE(r.closeOnExit); // stored as checked although disabled
    EXPECT_TRUE(fx.st.buttonsChanged);
    EXPECT_EQ(fx.f->bu[12]->text(), QString(30, 'T')); // relabelled at once
    EXPECT_EQ(fx.f->bu[12]->toolTip(), QString::fromUtf8("Tipp für alle"));

    // File output switched to program output: the stored file is cleared.
    fx.open(13);
    d.rbQuorbix->setChecked(true);
    d.BitBtn1->click();
    EXPECT_EQ(fx.st.buttons[12].outputFile, "");
    EXPECT_TRUE(fx.st.buttons[12].outProgram);

    // Console output always stores window mode 5; an unchanged OK still marks.
    fx.st.buttonsChanged = false;
    fx.open(2);
    d.rbDOS->setChecked(true);
    d.rbDOS->setFocus();
    QCoreApplication::processEvents();
    d.BitBtn1->click();
    EXPECT_EQ(fx.st.buttons[1].windowMode, 5);
    fx.st.buttonsChanged = false;
    const auto before = fx.st.buttons[4];
    fx.open(5);
    d.BitBtn1->click();
    EXPECT_TRUE(fx.st.buttonsChanged);
    EXPECT_EQ(fx.st.buttons[4].command, before.command);

    // Cancel changes nothing.
    fx.st.buttonsChanged = false;
    fx.open(5);
    d.edCMD->setText("-xyz");
    d.BitBtn2->click();
    EXPECT_EQ(fx.st.buttons[4].command, "-kvc");
    EXPECT_FALSE(fx.st.buttonsChanged);

    // Text outside Latin-1: a message, the dialog stays, nothing stored.
    fx.open(5);
    d.edCMD->setText(QString::fromUtf8("-kv \u20AC"));
    fx.dialogs.shown.clear();
    d.BitBtn1->click();
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.st.buttons[4].command, "-kvc");
    EXPECT_FALSE(fx.st.buttonsChanged);
    d.hide();
}

TEST(ButtonSetup, FileRequestUsesTheMainOpenDialog)
{
    SetupFixture fx;
    TFormButtSetup &d = *fx.d;
    QString proposed, title;
    bool confirm = false;
    app::FileDialog::testHook() = [&](app::FileDialog &dlg) {
        proposed = dlg.fileName;
        title = dlg.title;
        if (confirm)
            dlg.fileName = "/home/u/Output.txt";
        return confirm;
    };
    fx.open(14);
    d.edFName->setText("kept");
    d.sbFileReqClick();
    EXPECT_EQ(proposed, "Output.txt");
    EXPECT_EQ(title, "Laden...");
    EXPECT_EQ(d.edFName->text(), "kept");
    EXPECT_TRUE(fx.f->OpenDialog1.fileName.isEmpty());
    confirm = true;
    d.sbFileReqClick();
    EXPECT_EQ(d.edFName->text(), "/home/u/Output.txt");
    EXPECT_TRUE(fx.f->OpenDialog1.fileName.isEmpty());
    app::FileDialog::testHook() = nullptr;
    d.hide();
}

TEST(ButtonSetup, ChangedTableIsSavedAtCloseOnYesOnly)
{
    SetupFixture fx;
    fx.open(4);
    fx.d->edTitel->setText("&Neu");
    fx.d->BitBtn1->click();
    const std::string before = fx.fs.content("/app/Buttons.qxd");
    fx.dialogs.answer = ui::Answer::Yes;
    fx.f->close();
    fx.destroy();
    ASSERT_FALSE(fx.dialogs.shown.empty());
    EXPECT_EQ(fx.dialogs.shown.back().text, "Buttonkonfiguration geändert ! Speichern ?");
    const std::string after = fx.fs.content("/app/Buttons.qxd");
    EXPECT_NE(after, before);
    EXPECT_EQ(buttons::ButtonRecord::decode(reinterpret_cast<const std::uint8_t *>(after.data()) + 3 * 416).title,
              "&Neu");

    // "&Beenden" writes nothing.
    SetupFixture quit;
    quit.open(4);
    quit.d->edTitel->setText("&Anders");
    quit.d->BitBtn1->click();
    const std::string kept = quit.fs.content("/app/Buttons.qxd");
    quit.f->muQuit->trigger();
    quit.destroy();
    EXPECT_EQ(quit.fs.content("/app/Buttons.qxd"), kept);
}
