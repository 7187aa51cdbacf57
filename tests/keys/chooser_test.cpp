// The recipient chooser over ID.txt and ChooseRecipient.
#include "keys/TForm4.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::FormFixture;
using testsupport::ModalAnswerer;

namespace {

const std::string kListing = "Key ring: '/home/u/.pgp/pubring.pgp'\r\n"
                             "Type bits/keyID    Date       User ID\r\n"
                             "pub  1024/DEADBEEF 1996/11/30 Bob <bob@example.org>\r\n"
                             "                              Bob at work/office\r\n"
                             "pub   512/1A2B3C4D 1995/03/07 J\xFCrgen\r\n"
                             "2 matching keys found.\r\n";

// Runs the action on the chooser once it is the modal window, then (if it
// is still open) rejects it.
ModalAnswerer::Action onChooser(std::function<void(TForm4 &)> act, bool *stayedOpen = nullptr)
{
    return [=](QWidget *w) {
        auto *c = qobject_cast<TForm4 *>(w);
        if (!c)
            return false;
        act(*c);
        QCoreApplication::processEvents();
        if (stayedOpen)
            *stayedOpen = c->isVisible();
        if (c->isVisible())
            c->reject();
        return true;
    };
}

QPoint rowCentre(TForm4 &c, int row)
{
    return c.ListView1->visualRect(c.model->index(row, 3)).center();
}

} // namespace

TEST(Chooser, ListsKeysWithoutHeader)
{
    FormFixture fx;
    fx.create();
    TForm4 c(fx.st);
    fx.st.recipientArg = "old";
    c.LoadUserList(kListing);
    EXPECT_EQ(fx.st.recipientArg, "");
    ASSERT_EQ(c.model->rowCount(), 2);
    EXPECT_EQ(c.model->index(0, 0).data().toString(), "1024");
    EXPECT_EQ(c.model->index(0, 1).data().toString(), "DEADBEEF");
    EXPECT_EQ(c.model->index(0, 2).data().toString(), " 1996/11/30");
    EXPECT_EQ(c.model->index(0, 3).data().toString(), "Bob <bob@example.org>");
    EXPECT_EQ(c.model->index(1, 0).data().toString(), " 512");
    EXPECT_EQ(c.model->index(1, 3).data().toString(), QString::fromUtf8("Jürgen"));
    EXPECT_EQ(c.StatusPanel->text(), QString::fromUtf8("Anzahl vorhandener Schlüssel :2"));

    // Report style: four columns at their widths, grid, full rows, no sorting.
    const int widths[4] = {36, 70, 80, 296};
    const char *names[4] = {"Bits", "Key-ID", "Datum", "User-ID"};
    // The widths are a floor: in a wider font the fixed-width fields still
    // fit whole, and the window grows by what the columns gained.
    const QFontMetrics fm(c.ListView1->font());
    const char *widest[3] = {" 8888", "DDDDDDDD", " 8888/88/88"};
    int gained = 0;
    for (int i = 0; i < 4; ++i) {
        const int w = c.ListView1->horizontalHeader()->sectionSize(i);
        EXPECT_GE(w, widths[i]) << i;
        if (i < 3)
            EXPECT_GT(w, fm.horizontalAdvance(widest[i]) + 4) << i;
        else
            EXPECT_EQ(w, widths[i]);
        gained += w - widths[i];
        EXPECT_EQ(c.model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString(), names[i]);
    }
    EXPECT_EQ(c.width(), 515 + gained);
    EXPECT_TRUE(c.ListView1->showGrid());
    EXPECT_EQ(c.ListView1->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(c.ListView1->isSortingEnabled());
    EXPECT_EQ(c.ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(c.windowTitle(), QString::fromUtf8("Bitte User mit Doppelklick auswählen"));
    EXPECT_EQ(c.Label1->text(), "UserID :");
    EXPECT_EQ(c.height(), 478);
    EXPECT_TRUE(c.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(c.ListView1->accessibleName().isEmpty());
    EXPECT_FALSE(c.Edit1->accessibleName().isEmpty());

    // An empty file: no rows, count 0.
    c.LoadUserList(std::string());
    EXPECT_EQ(c.model->rowCount(), 0);
    EXPECT_EQ(c.StatusPanel->text(), QString::fromUtf8("Anzahl vorhandener Schlüssel :0"));
}

TEST(Chooser, EnglishCaptionOnly)
{
    FormFixture fx(testsupport::normalSettings("English"));
    fx.create();
    TForm4 c(fx.st);
    c.LoadUserList(kListing);
    EXPECT_EQ(c.windowTitle(), "Choose user with doubleclick");
    EXPECT_EQ(c.Label1->text(), "UserID :");
    EXPECT_EQ(c.model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Datum");
    EXPECT_EQ(c.StatusPanel->text(), "Number of key's :2");
}

TEST(Chooser, ResizeRule)
{
    FormFixture fx;
    fx.create();
    TForm4 c(fx.st);
    c.show();
    for (int w : {515, 700, 300}) {
        c.resize(w, 478);
        QCoreApplication::processEvents();
        EXPECT_EQ(c.Edit1->width(), c.Panel1->width() - 12 - c.Label1->x() - c.Label1->width()) << w;
        EXPECT_GT(c.Edit1->x(), c.Label1->x() + c.Label1->width() - 1);
    }
}

TEST(Chooser, EventsOfTheList)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    fx.fs.addFile("/app/ID.txt", kListing);

    // Double click on a row: that key.
    {
        ModalAnswerer answer(onChooser([](TForm4 &c) {
            QTest::mouseDClick(c.ListView1->viewport(), Qt::LeftButton, {}, rowCentre(c, 1));
        }));
        f.ChooseRecipient();
        EXPECT_EQ(answer.answered(), 1);
    }
    EXPECT_EQ(fx.st.recipientArg, "0x1A2B3C4D");

    // Enter in the list with a row selected.
    {
        ModalAnswerer answer(onChooser([](TForm4 &c) {
            c.ListView1->selectRow(0);
            QTest::keyClick(c.ListView1, Qt::Key_Return);
        }));
        f.ChooseRecipient();
    }
    EXPECT_EQ(fx.st.recipientArg, "0xDEADBEEF");

    // Enter with nothing selected, another key, and a double click below the
    // rows: the chooser stays open; closing it leaves no choice.
    bool stayed = false;
    {
        ModalAnswerer answer(onChooser(
            [](TForm4 &c) {
                c.ListView1->clearSelection();
                QTest::keyClick(c.ListView1, Qt::Key_Return);
                QTest::keyClick(c.ListView1, Qt::Key_A);
                c.ListView1->selectRow(0);
                QTest::mouseDClick(c.ListView1->viewport(), Qt::LeftButton, {},
                                   QPoint(20, c.ListView1->viewport()->height() - 3));
            },
            &stayed));
        f.ChooseRecipient();
    }
    EXPECT_TRUE(stayed);
    EXPECT_EQ(fx.st.recipientArg, "");

    // Enter in the empty "UserID :" field: two double quotes count as a choice.
    {
        ModalAnswerer answer(onChooser([](TForm4 &c) { QTest::keyClick(c.Edit1, Qt::Key_Return); }));
        f.ChooseRecipient();
    }
    EXPECT_EQ(fx.st.recipientArg, "\"\"");
    {
        ModalAnswerer answer(onChooser([](TForm4 &c) {
            c.Edit1->setText(QString::fromUtf8("Jürgen Müller"));
            QTest::keyClick(c.Edit1, Qt::Key_Enter);
        }));
        f.ChooseRecipient();
    }
    EXPECT_EQ(fx.st.recipientArg, "\"J\xFCrgen M\xFCller\"");
}

TEST(Chooser, MissingIdTxt)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    fx.fs.remove("/app/ID.txt");
    fx.dialogs.shown.clear();
    fx.st.recipientArg = "0x11111111";
    ModalAnswerer answer(ModalAnswerer::reject());
    f.ChooseRecipient();
    QTest::qWait(60);
    EXPECT_EQ(answer.answered() + answer.fallbacks(), 0); // the chooser never showed
    EXPECT_EQ(fx.st.recipientArg, "");
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].kind, "platform");
    // Which file is missing is said too.
    EXPECT_EQ(fx.dialogs.shown[0].text, "Datei nicht gefunden: /app/ID.txt");
}
