// The key tree read from PGP's verbose listing and the key commands on it.
#include "commands/KeyTreeCommands.h"
#include "pgp/TForm5.h"
#include "support/FormFixture.h"
#include "ui/Cursor.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using testsupport::FormFixture;

namespace {

const std::string kBatch[] = {"+batchmode", "+CharSet=Latin1", "+force"};

std::string key(int i)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "pub  1024/%08X 1996/11/30 User %d", i, i);
    return buf;
}

std::string sig(int signer)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "sig       %08X             Signer %d", signer, signer);
    return buf;
}

// A listing of n keys, each with a further user ID and two signatures.
std::string listing(int n)
{
    std::string s = "Key ring: 'pubring.pgp'\r\nType bits/keyID    Date       User ID\r\n";
    for (int i = 1; i <= n; ++i)
        s += key(i) + "\r\n                              Second " + std::to_string(i) + "\r\n" + sig(i + 1000)
             + "\r\n" + sig(i + 2000) + "\r\n";
    return s + "\r\n" + std::to_string(n) + " matching keys found.\r\n";
}

TForm5 *waitDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<TForm5 *>(w))
            return d;
    return nullptr;
}

struct TreeFixture : FormFixture {
    std::string treeText;
    std::string outText = "out";
    TreeFixture()
    {
        proc.onRun = [this](const platform::ProcessJob &s) {
            if (s.stdoutFile && *s.stdoutFile == "/app/Tree.txt")
                fs.addFile(*s.stdoutFile, treeText);
            else if (s.stdoutFile)
                fs.addFile(*s.stdoutFile, outText);
        };
        commands::ReadKeyTree::pumpIntervalMs = 0;
    }
    ~TreeFixture() { commands::ReadKeyTree::pumpIntervalMs = 10; }
};

QTreeWidgetItem *top(TForm1 &f, int i) { return f.TreeView1->topLevelItem(i); }

} // namespace

TEST(KeyTree, ReadBuildsKeysAndChildren)
{
    TreeFixture fx;
    TForm1 &f = fx.create();
    fx.fs.addFile("/app/Tree.txt", "stale");
    fx.treeText = "sig       AAAAAAAA             orphan\r\n" + listing(3) + "\xF6" "ff  2048/0000BEEF 2001/01/01 G\xFCnter\r\n"
                  "Unt       12345678             Zeuge\r\n  two blanks\r\n\tTab\r\n";
    fx.proc.runs.clear();
    f.buReadTree->click();

    ASSERT_EQ(fx.proc.runs.size(), 1u);
    const auto &run = fx.proc.runs[0];
    EXPECT_EQ(run.program, "/pgp/pgp");
    EXPECT_EQ(run.args, (std::vector<std::string>{"-kvv", kBatch[0], kBatch[1], kBatch[2]}));
    EXPECT_EQ(run.stdoutFile.value_or(""), "/app/Tree.txt");
    EXPECT_EQ(run.showState, 0);
    EXPECT_NE(std::find(fx.fs.removed.begin(), fx.fs.removed.end(), "/app/Tree.txt"), fx.fs.removed.end());
    EXPECT_TRUE(fx.dialogs.shown.empty()); // Tree.txt: no "Output wrote to "

    ASSERT_EQ(f.TreeView1->topLevelItemCount(), 5); // orphan sig, three keys, the German key
    EXPECT_EQ(top(f, 0)->text(0), "sig       AAAAAAAA             orphan");
    EXPECT_EQ(top(f, 0)->childCount(), 0);
    EXPECT_EQ(top(f, 1)->text(0), QString::fromLatin1(key(1).c_str()));
    // A key's rows are made when it is first opened; until then it shows that it has some.
    EXPECT_EQ(top(f, 1)->childCount(), 0);
    EXPECT_EQ(top(f, 1)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_NE(top(f, 0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator) << "the orphan has none";
    top(f, 1)->setExpanded(true);
    top(f, 4)->setExpanded(true);
    ASSERT_EQ(top(f, 1)->childCount(), 3);
    top(f, 1)->setExpanded(false);
    top(f, 1)->setExpanded(true);
    ASSERT_EQ(top(f, 1)->childCount(), 3) << "opened again: the same rows";
    EXPECT_EQ(top(f, 1)->child(0)->text(0), "                              Second 1"); // not trimmed
    EXPECT_EQ(top(f, 1)->child(2)->text(0), QString::fromLatin1(sig(2001).c_str()));
    EXPECT_EQ(top(f, 4)->text(0), QString::fromUtf8("öff  2048/0000BEEF 2001/01/01 Günter"));
    ASSERT_EQ(top(f, 4)->childCount(), 1); // "  two blanks" and the tab line are skipped
    // Pictures: a key on key nodes, "SIG" on the rest.
    EXPECT_FALSE(top(f, 1)->icon(0).isNull());
    EXPECT_EQ(top(f, 0)->icon(0).cacheKey(), top(f, 1)->child(0)->icon(0).cacheKey());
    EXPECT_NE(top(f, 1)->icon(0).cacheKey(), top(f, 1)->child(0)->icon(0).cacheKey());

    EXPECT_EQ(fx.st.keyCount, 4);
    EXPECT_EQ(f.StatusPanel1->text(), QString::fromUtf8("Anzahl vorhandener Schlüssel :4"));
    EXPECT_EQ(f.Notebook1->currentIndex(), 1);
    // Everything back to normal.
    EXPECT_FALSE(fx.st.commandBusy);
    EXPECT_TRUE(f.isEnabled());
    EXPECT_FALSE(ui::busyCursorShown());
    QTest::qWait(1);
    EXPECT_EQ(waitDialog(), nullptr);

    f.Allesschlieen1->trigger();
    f.Allesffnen1->trigger();
    EXPECT_TRUE(top(f, 1)->isExpanded() && top(f, 4)->isExpanded());
    EXPECT_TRUE(top(f, 2)->isExpanded() && top(f, 3)->isExpanded()) << "keys never opened before";
    EXPECT_EQ(top(f, 2)->childCount(), 3);
    EXPECT_EQ(top(f, 2)->child(2)->icon(0).cacheKey(), top(f, 1)->child(0)->icon(0).cacheKey());
    f.Allesschlieen1->trigger();
    EXPECT_FALSE(top(f, 1)->isExpanded() || top(f, 4)->isExpanded());
    f.UmschaltenzumEditor->trigger();
    EXPECT_EQ(f.Notebook1->currentIndex(), 0);
    EXPECT_EQ(f.StatusPanel1->text(), "");
    f.pmuTreeView->trigger();
    EXPECT_EQ(f.Notebook1->currentIndex(), 1);
    EXPECT_EQ(f.StatusPanel1->text(), QString::fromUtf8("Anzahl vorhandener Schlüssel :4"));

    // Read again: rebuilt from nothing.
    fx.treeText = listing(1);
    f.Neueinlesen1->trigger();
    EXPECT_EQ(f.TreeView1->topLevelItemCount(), 1);
}

TEST(KeyTree, ProgressWrapsAndWaitDialogShowsCount)
{
    TreeFixture fx;
    TForm1 &f = fx.create();
    fx.treeText = listing(205);
    std::vector<int> progress;
    std::vector<QString> counts;
    bool disabled = true;
    fx.st.processEvents = [&] {
        if (TForm5 *w = waitDialog()) {
            progress.push_back(w->ProgressBar1->value());
            counts.push_back(w->Label2->text());
            disabled = disabled && !f.isEnabled() && w->isVisible();
        }
    };
    f.buReadTreeClick();
    // Values seen before each line; pick those right after key lines.
    std::vector<int> afterKey;
    for (std::size_t i = 1; i < progress.size(); ++i)
        if (counts[i] != counts[i - 1])
            afterKey.push_back(progress[i]);
    ASSERT_GE(afterKey.size(), 204u);
    EXPECT_EQ(afterKey[0], 1);
    EXPECT_EQ(afterKey[99], 100);
    EXPECT_EQ(afterKey[100], 1); // the 101st key starts again
    EXPECT_EQ(afterKey[200], 1);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(fx.st.keyCount, 205);
}

TEST(KeyTree, CancelKeepsWhatWasRead)
{
    TreeFixture fx;
    TForm1 &f = fx.create();
    fx.treeText = listing(50);
    fx.st.processEvents = [&] {
        TForm5 *w = waitDialog();
        if (w && w->Label2->text() == "10") { // cancelled after the tenth key
            w->Button1->click();
            w->Button1->click(); // twice: one request
        }
    };
    f.buReadTreeClick();
    EXPECT_EQ(f.TreeView1->topLevelItemCount(), 10);
    f.Allesffnen1Click();
    EXPECT_EQ(top(f, 9)->childCount(), 0); // cancelled right after its key line
    EXPECT_EQ(top(f, 8)->childCount(), 3);
    EXPECT_EQ(f.StatusPanel1->text(), QString::fromUtf8("Userabbruch beim Einlesen der Baumansicht !"));
    EXPECT_FALSE(fx.st.cancelRequested);
    EXPECT_FALSE(fx.st.commandBusy);
    EXPECT_TRUE(f.isEnabled());
    f.pmuTreeViewClick();
    EXPECT_EQ(f.StatusPanel1->text(), QString::fromUtf8("Anzahl vorhandener Schlüssel :10"));
}

TEST(KeyTree, EmptyMissingFailedAndBusy)
{
    TreeFixture fx;
    TForm1 &f = fx.create();
    // Before any read: empty tree, count 0.
    f.pmuTreeViewClick();
    EXPECT_EQ(f.StatusPanel1->text(), QString::fromUtf8("Anzahl vorhandener Schlüssel :0"));

    fx.treeText = "";
    f.buReadTreeClick();
    EXPECT_EQ(f.TreeView1->topLevelItemCount(), 0);
    EXPECT_EQ(f.StatusPanel1->text(), QString::fromUtf8("Anzahl vorhandener Schlüssel :0"));

    // PGP does not start: RunPgp says so, the empty file gives an empty tree.
    fx.treeText = listing(2);
    f.buReadTreeClick();
    ASSERT_EQ(f.TreeView1->topLevelItemCount(), 2);
    fx.proc.results.push_back({false, -1, "no such file", false});
    fx.dialogs.shown.clear();
    f.buReadTreeClick();
    EXPECT_EQ(f.TreeView1->topLevelItemCount(), 0);
    ASSERT_FALSE(fx.dialogs.shown.empty());
    EXPECT_EQ(fx.dialogs.shown[0].text.rfind("Fehler bei der Ausführung von ", 0), 0u);

    // Tree.txt gone after the run: the file error, an empty tree, all restored.
    fx.proc.onRun = [&](const platform::ProcessJob &) { fx.fs.remove("/app/Tree.txt"); };
    fx.dialogs.shown.clear();
    f.buReadTreeClick();
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].kind, "platform");
    EXPECT_NE(fx.dialogs.shown[0].text.find("Datei nicht gefunden"), std::string::npos);
    EXPECT_FALSE(fx.st.commandBusy);
    EXPECT_TRUE(f.isEnabled());

    // Another command running: nothing happens.
    fx.proc.runs.clear();
    fx.st.commandBusy = true;
    f.buReadTreeClick();
    EXPECT_TRUE(fx.proc.runs.empty());
    fx.st.commandBusy = false;
}

TEST(KeyCommands, RightClickSelectsAndCommandsUseKeyIdText)
{
    TreeFixture fx;
    TForm1 &f = fx.create();
    fx.treeText = listing(3);
    f.buReadTreeClick();
    f.Allesffnen1Click();
    f.TreeView1->resize(600, 400);
    f.show();
    QCoreApplication::processEvents();

    // Right press on key 2's first signature selects it; on empty space the
    // selection stays.
    QTreeWidgetItem *sigNode = top(f, 1)->child(1);
    QPoint at = f.TreeView1->visualItemRect(sigNode).center();
    QTest::mousePress(f.TreeView1->viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(f.TreeView1->selectedItems().value(0), sigNode);
    QTest::mousePress(f.TreeView1->viewport(), Qt::RightButton, {}, QPoint(5, f.TreeView1->viewport()->height() - 2));
    EXPECT_EQ(f.TreeView1->selectedItems().value(0), sigNode);

    // Fingerprint of the signer, not of the key above.
    fx.proc.runs.clear();
    fx.outText = "Key fingerprint =  AB CD\r\nline 2";
    f.RichEdit1->setPlainText("old");
    f.Fingerprintzeigen1->trigger();
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].args,
              (std::vector<std::string>{"-kvc", "0x000003EA", kBatch[0], kBatch[1], kBatch[2]}));
    EXPECT_EQ(fx.proc.runs[0].stdoutFile.value_or(""), "/app/out.txt");
    EXPECT_EQ(fx.proc.runs[0].showState, 0);
    EXPECT_EQ(f.RichEdit1->toPlainText(), "Key fingerprint =  AB CD\nline 2");
    EXPECT_EQ(f.Notebook1->currentIndex(), 0);
    EXPECT_FALSE(ui::busyCursorShown());

    // A further user ID: no command does anything.
    f.TreeView1->setCurrentItem(top(f, 1)->child(0));
    fx.proc.runs.clear();
    fx.dialogs.shown.clear();
    f.Fingerprintzeigen1Click();
    f.Keylschen1Click();
    f.Keyspeichern1Click();
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_TRUE(fx.dialogs.shown.empty());
    EXPECT_FALSE(ui::busyCursorShown());

    // Removal asks first; Cancel runs nothing, OK removes, the tree stays.
    f.TreeView1->setCurrentItem(top(f, 2));
    fx.dialogs.answer = ui::Answer::Cancel;
    f.Keylschen1->trigger();
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].kind, "confirm");
    EXPECT_EQ(fx.dialogs.shown[0].text, "Sind Sie sicher ?");
    EXPECT_TRUE(fx.proc.runs.empty());
    fx.dialogs.answer = ui::Answer::Ok;
    f.Keylschen1->trigger();
    ASSERT_EQ(fx.proc.runs.size(), 1u);
    EXPECT_EQ(fx.proc.runs[0].args, (std::vector<std::string>{"-kr", "0x00000003", kBatch[0], kBatch[1], kBatch[2]}));
    EXPECT_EQ(f.TreeView1->topLevelItemCount(), 3);
}

TEST(KeyCommands, SaveDialogsPresetAndEditorDifferences)
{
    TreeFixture fx;
    TForm1 &f = fx.create();
    fx.treeText = listing(2);
    f.buReadTreeClick();
    f.TreeView1->setCurrentItem(top(f, 1));
    QString proposed;
    bool confirm = false;
    app::FileDialog::testHook() = [&](app::FileDialog &d) {
        proposed = d.fileName;
        if (confirm)
            d.fileName = "/home/u/my keys/key.asc";
        return confirm;
    };

    // ASCII, cancelled: the editor stays as it was, PGP does not run.
    f.RichEdit1->setPlainText("keep me");
    fx.proc.runs.clear();
    f.ASCIIKeyspeichern1->trigger();
    EXPECT_EQ(proposed, "00000002");
    EXPECT_TRUE(fx.proc.runs.empty());
    EXPECT_EQ(f.RichEdit1->toPlainText(), "keep me");
    EXPECT_TRUE(f.SaveDialog1.fileName.isEmpty());

    // Binary, cancelled: the editor was cleared before the dialog.
    f.Keyspeichern1->trigger();
    EXPECT_EQ(proposed, "00000002");
    EXPECT_EQ(f.RichEdit1->toPlainText(), "");
    EXPECT_TRUE(fx.proc.runs.empty());

    // Confirmed: the file name reaches PGP as one argument.
    confirm = true;
    fx.outText = "Extracting from key ring";
    f.ASCIIKeyspeichern1->trigger();
    f.Keyspeichern1->trigger();
    ASSERT_EQ(fx.proc.runs.size(), 2u);
    EXPECT_EQ(fx.proc.runs[0].args, (std::vector<std::string>{"-kxa", "0x00000002", "/home/u/my keys/key.asc",
                                                              kBatch[0], kBatch[1], kBatch[2]}));
    EXPECT_EQ(fx.proc.runs[1].args[0], "-kx");
    EXPECT_EQ(f.RichEdit1->toPlainText(), "Extracting from key ring");
    EXPECT_TRUE(f.SaveDialog1.fileName.isEmpty()); // not inherited by the editor's save
    app::FileDialog::testHook() = nullptr;

    // Empty tree: nothing at all.
    f.TreeView1->clear();
    fx.proc.runs.clear();
    f.Fingerprintzeigen1Click();
    EXPECT_TRUE(fx.proc.runs.empty());
}
