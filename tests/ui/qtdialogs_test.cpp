// The message boxes: German titles and button labels, the answers, line
// breaks for carriage returns, and a help button that leaves the box open.
#include "support/FakeHelpViewer.h"
#include "support/ModalHelper.h"
#include "ui/QtDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

namespace {

struct Seen {
    QString title, text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

QAbstractButton *buttonLabelled(QMessageBox *box, const QString &label)
{
    for (QAbstractButton *b : box->buttons())
        if (b->text() == label)
            return b;
    return nullptr;
}

// Records the box and clicks the button with the given label (or presses
// Escape when the label is empty).
std::unique_ptr<testsupport::ModalAnswerer> answer(Seen &seen, const QString &click)
{
    return std::make_unique<testsupport::ModalAnswerer>([&seen, click](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box)
            return false;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons.clear();
        for (QAbstractButton *b : box->buttons())
            seen.buttons << b->text();
        seen.buttons.sort();
        if (click.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Escape);
            return true;
        }
        QAbstractButton *b = buttonLabelled(box, click);
        if (!b)
            return false;
        b->click();
        return true;
    });
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

} // namespace

TEST(QtDialogs, TitlesLabelsAndAnswers)
{
    testsupport::FakeHelpViewer help;
    ui::QtDialogs dialogs(&help);
    Seen seen;

    auto a = answer(seen, "OK");
    dialogs.plainMessage("Output wrote to /tmp/x.txt");
    EXPECT_FALSE(a->fallbacks() > 0);
    EXPECT_EQ(seen.title, QStringLiteral("Quorbix"));
    EXPECT_EQ(seen.buttons, QStringList{"OK"});
    EXPECT_EQ(seen.text, QStringLiteral("Output wrote to /tmp/x.txt"));

    a = answer(seen, "OK");
    dialogs.information("PGP.exe nicht gefunden !");
    EXPECT_EQ(seen.title, QStringLiteral("Information"));
    EXPECT_EQ(seen.icon, QMessageBox::Information);

    a = answer(seen, "OK");
    dialogs.platformError("Datei nicht gefunden");
    EXPECT_EQ(seen.title, QStringLiteral("Quorbix"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);

    a = answer(seen, "OK");
    dialogs.warning("Vorsicht");
    EXPECT_EQ(seen.title, QStringLiteral("Warnung"));

    // The error box of ShowError: carriage returns become line breaks.
    a = answer(seen, "OK");
    dialogs.errorBox("Konnte die Userliste nicht erstellen !\r\rCode:  2,100");
    EXPECT_EQ(seen.title, QStringLiteral("Fehler"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.text, QStringLiteral("Konnte die Userliste nicht erstellen !\n\nCode:  2,100"));

    const QStringList yesNoCancel = sorted({"&Ja", "&Nein", "Abbrechen"});
    a = answer(seen, "&Ja");
    EXPECT_EQ(dialogs.askYesNoCancel("Buttonconfiguration changed ! Save it ?"), ui::Answer::Yes);
    EXPECT_EQ(seen.title, QStringLiteral("Information"));
    EXPECT_EQ(seen.buttons, yesNoCancel);
    a = answer(seen, "&Nein");
    EXPECT_EQ(dialogs.askYesNoCancel("?"), ui::Answer::No);
    a = answer(seen, "Abbrechen");
    EXPECT_EQ(dialogs.askYesNoCancel("?"), ui::Answer::Cancel);
    a = answer(seen, "");
    EXPECT_EQ(dialogs.askYesNoCancel("?"), ui::Answer::Cancel) << "Escape cancels";
    EXPECT_FALSE(a->fallbacks() > 0);

    a = answer(seen, "OK");
    EXPECT_EQ(dialogs.confirmOkCancel("Sind Sie sicher ?"), ui::Answer::Ok);
    EXPECT_EQ(seen.title, QString::fromUtf8("Bestätigen"));
    EXPECT_EQ(seen.buttons, sorted({"OK", "Abbrechen"}));
    a = answer(seen, "Abbrechen");
    EXPECT_EQ(dialogs.confirmOkCancel("Are you sure ?"), ui::Answer::Cancel);
    a = answer(seen, "");
    EXPECT_EQ(dialogs.confirmOkCancel("Are you sure ?"), ui::Answer::Cancel);
    EXPECT_TRUE(help.calls.empty());
}

TEST(QtDialogs, HelpButtonOpensTheTopicAndKeepsTheBox)
{
    testsupport::FakeHelpViewer help;
    ui::QtDialogs dialogs(&help);
    int step = 0;
    QStringList labels;
    QString title;
    auto a = std::make_unique<testsupport::ModalAnswerer>([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box)
            return false;
        if (step == 0) {
            title = box->windowTitle();
            for (QAbstractButton *b : box->buttons())
                labels << b->text();
            buttonLabelled(box, "&Hilfe")->click();
            ++step;
            return false; // come back: the box must still be there
        }
        EXPECT_TRUE(box->isVisible());
        buttonLabelled(box, "OK")->click();
        ++step;
        return true;
    });
    dialogs.informationWithHelp("Internet Explorer nicht gefunden !", "/opt/q/Quorbix.html", 901);
    EXPECT_FALSE(a->fallbacks() > 0);
    EXPECT_EQ(step, 2);
    EXPECT_EQ(title, QStringLiteral("Information"));
    EXPECT_EQ(sorted(labels), sorted({"OK", "&Hilfe"}));
    ASSERT_EQ(help.calls.size(), 1u);
    EXPECT_EQ(help.calls[0].kind, testsupport::FakeHelpViewer::Kind::Context);
    EXPECT_EQ(help.calls[0].file, "/opt/q/Quorbix.html");
    EXPECT_EQ(help.calls[0].context, 901);
}

TEST(QtDialogs, MessageTextConversion)
{
    EXPECT_EQ(ui::messageText("a\r\nb\rc\nd"), QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(ui::messageText("Fehler bei der Ausf\xC3\xBChrung von "), QString::fromUtf8("Fehler bei der Ausführung von "));
    EXPECT_EQ(ui::messageText("/home/j\xF6rg/out.txt"), QString::fromUtf8("/home/jörg/out.txt"));
}
