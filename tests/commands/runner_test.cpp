// What every command shares through the runner, and the commands that talk
// to the window more than to pgp: buttons, key tree, pass phrase, command
// line, documents, settings.
#include "commands/CommandSet.h"
#include "commands/FakeHost.h"
#include "pgp/LaunchFile.h"
#include "settings/DesktopServices.h"
#include "support/FakeDesktop.h"
#include "support/FakePgpLog.h"
#include "ui/Cursor.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using testsupport::FakeHost;
using Page = commands::CommandHost::Page;
using Args = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const Args kTail{"+batchmode", "+CharSet=Latin1", "+force"};

// A command that does what the test tells it, and says how it was run.
class Probe : public commands::Command {
public:
    bool exclusiveRun = false, refresh = false;
    commands::WaitCursor cursor = commands::WaitCursor::None;
    std::function<void(commands::CommandHost &)> body;
    int started = 0;
    bool busySeen = false, cursorSeen = false;

    bool exclusive() const override { return exclusiveRun; }
    commands::WaitCursor waitCursor() const override { return cursor; }
    bool refreshesUserList() const override { return refresh; }
    void start(commands::CommandHost &host) override
    {
        ++started;
        busySeen = host.state().commandBusy;
        cursorSeen = QApplication::overrideCursor() != nullptr;
        if (body)
            body(host);
    }
};

std::string key(int i)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "pub  1024/%08X 1996/11/30 User %d", i, i);
    return buf;
}

} // namespace

TEST(CommandRunner, BusyFlagCursorErrorBoxAndRefresh)
{
    FakeHost h;
    h.fs.addFile("/app/MakeID.bat", "script");
    Probe p;
    p.exclusiveRun = true;
    p.refresh = true;
    p.cursor = commands::WaitCursor::Shared;

    EXPECT_TRUE(h.runner.run(p));
    EXPECT_TRUE(p.busySeen && p.cursorSeen);
    EXPECT_FALSE(h.st.commandBusy);
    EXPECT_FALSE(ui::busyCursorShown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(h.proc.detached.size(), 1u); // the user list is rebuilt
    EXPECT_EQ(h.proc.detached[0].workDir, "/pgp");

    // A failure of the platform: the box, everything given back, no refresh.
    p.body = [](commands::CommandHost &) { throw platform::PlatformError("Kann Datei /x nicht öffnen."); };
    EXPECT_TRUE(h.runner.run(p));
    ASSERT_EQ(h.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.dialogs.shown[0].kind, "platform");
    EXPECT_EQ(h.dialogs.shown[0].text, "Kann Datei /x nicht öffnen.");
    EXPECT_FALSE(h.st.commandBusy);
    EXPECT_FALSE(ui::busyCursorShown());
    EXPECT_EQ(h.proc.detached.size(), 1u);

    // A stacked cursor comes off again too, and a command that is not
    // exclusive neither takes nor checks the flag.
    p.exclusiveRun = false;
    p.refresh = false;
    p.cursor = commands::WaitCursor::ForRun;
    EXPECT_TRUE(h.runner.run(p));
    EXPECT_TRUE(p.cursorSeen);
    EXPECT_FALSE(p.busySeen);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Another command holds the flag: an exclusive one is refused unstarted
    // and the flag stays with its owner.
    h.st.commandBusy = true;
    p.exclusiveRun = true;
    const int started = p.started;
    EXPECT_FALSE(h.runner.run(p));
    EXPECT_EQ(p.started, started);
    EXPECT_TRUE(h.st.commandBusy);
}

TEST(ButtonCommands, RecordRunsWithPleaseWaitAndItsOwnRefresh)
{
    FakeHost h;
    h.fs.addFile("/app/MakeID.bat", "script");
    h.reportWith("listing\r\n");
    buttons::ButtonRecord &rec = h.st.buttons[3];
    rec.command = "-kv";
    rec.outProgram = true;
    rec.refreshUserList = true;
    h.hint = "hint before";
    h.status = "status before";
    h.page = Page::KeyTree;

    QString hintDuring;
    h.proc.onRun = [&](const platform::ProcessJob &s) {
        hintDuring = h.hint;
        h.fs.addFile(*s.stdoutFile, "listing\r\n", 0600);
    };
    commands::RunButton run;
    run.select(4);
    // Without pgp's launch file the record cannot be set up: said so, and
    // the hint line and the window are given back.
    h.runner.run(run);
    EXPECT_TRUE(h.proc.runs.empty());
    ASSERT_EQ(h.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.dialogs.shown[0].kind, "platform");
    EXPECT_EQ(h.hint, "hint before");
    EXPECT_TRUE(h.enabled && !h.st.commandBusy && !ui::busyCursorShown());
    EXPECT_TRUE(h.proc.detached.empty()); // a failed run rebuilds nothing

    pgp::EnsureLaunchFile(h.st);
    h.runner.run(run);
    ASSERT_EQ(h.proc.runs.size(), 1u);
    EXPECT_EQ(h.proc.runs[0].args, (Args{"-kv", kTail[0], kTail[1], kTail[2]}));
    EXPECT_EQ(hintDuring.toStdString(), h.st.texts.msg(app::Msg::PleaseWait));
    EXPECT_EQ(h.hint, "hint before");
    EXPECT_EQ(h.edit.toPlainText(), "listing");
    EXPECT_EQ(h.page, Page::Editor);
    EXPECT_TRUE(h.status.isEmpty());
    EXPECT_TRUE(h.enabled);
    EXPECT_EQ(h.proc.detached.size(), 1u);

    // An empty record runs nothing, but its refresh flag still counts; a
    // record without it does not rebuild the list.
    h.st.buttons[4].refreshUserList = true;
    run.select(5);
    h.runner.run(run);
    EXPECT_EQ(h.proc.runs.size(), 1u);
    EXPECT_EQ(h.proc.detached.size(), 2u);
    rec.refreshUserList = false;
    run.select(4);
    h.runner.run(run);
    EXPECT_EQ(h.proc.runs.size(), 2u);
    EXPECT_EQ(h.proc.detached.size(), 2u);

    // The record a release acts on.
    EXPECT_EQ(commands::buttonRecordNumber(7, 2), 7);
    EXPECT_EQ(commands::buttonRecordNumber(0x107, 2), 7); // only the low byte counts
    EXPECT_EQ(commands::buttonRecordNumber(99, 2), 2);    // damaged file: the place
    EXPECT_EQ(commands::buttonRecordNumber(0, 0), 0);
    EXPECT_EQ(commands::buttonRecordNumber(18, 17), 17);
}

TEST(KeyTreeCommands, ReadFeedsTheWaitDialogAndStopsOnCancel)
{
    FakeHost h;
    commands::ReadKeyTree::pumpIntervalMs = 0;
    std::string listing = "Type bits/keyID    Date       User ID\r\n";
    for (int i = 1; i <= 150; ++i)
        listing += key(i) + "\r\nsig       0000AAAA             Signer\r\n";
    h.proc.onRun = [&](const platform::ProcessJob &s) { h.fs.addFile(*s.stdoutFile, listing); };
    h.fs.addFile("/app/Tree.txt", "stale");

    commands::ReadKeyTree read;
    h.runner.run(read);
    ASSERT_EQ(h.proc.runs.size(), 1u);
    EXPECT_EQ(h.proc.runs[0].args, (Args{"-kvv", kTail[0], kTail[1], kTail[2]}));
    EXPECT_EQ(h.tree.topLevelItemCount(), 150);
    h.tree.topLevelItem(0)->setExpanded(true); // a key's rows are made when it is opened
    EXPECT_EQ(h.tree.topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(h.st.keyCount, 150);
    EXPECT_EQ(h.page, Page::KeyTree);
    EXPECT_EQ(h.status.toStdString(), h.st.texts.msg(app::Msg::KeyCount) + "150");
    // The bar runs 1..100 and starts again; the window is disabled meanwhile.
    EXPECT_EQ(h.progress.lastBar, 50);
    EXPECT_TRUE(h.progress.cleared && h.progress.released);
    EXPECT_EQ(h.enabledChanges, (std::vector<bool>{false, true}));
    EXPECT_FALSE(h.st.commandBusy);

    // The user cancels after the tenth key: what was read stays.
    h.progress = {};
    h.onProgress = [&](int keys, int) {
        if (keys == 10)
            h.st.cancelRequested = true;
    };
    h.runner.run(read);
    EXPECT_EQ(h.tree.topLevelItemCount(), 10);
    EXPECT_EQ(h.status.toStdString(), h.st.texts.msg(app::Msg::TreeReadAborted));
    EXPECT_FALSE(h.st.cancelRequested);
    EXPECT_TRUE(h.enabled);

    // No listing at all: the error box, the window usable again, and the
    // tree read before stays (nothing else is taken for this run's listing).
    h.proc.onRun = nullptr;
    h.fs.failWrites.insert("/app/Tree.txt");
    const std::size_t shownBefore = h.dialogs.shown.size();
    h.runner.run(read);
    ASSERT_EQ(h.dialogs.shown.size(), shownBefore + 1);
    EXPECT_EQ(h.dialogs.shown.back().kind, "platform");
    EXPECT_EQ(h.tree.topLevelItemCount(), 10);
    EXPECT_TRUE(h.enabled);
    EXPECT_TRUE(h.progress.released);
    EXPECT_FALSE(h.st.commandBusy);
    commands::ReadKeyTree::pumpIntervalMs = 10;
}

TEST(KeyTreeCommands, SelectedKeyRemoveAndExport)
{
    FakeHost h;
    h.reportWith("done\r\n");
    h.tree.addTopLevelItem(new QTreeWidgetItem(QStringList(QString::fromStdString(key(0xBEEF)))));
    commands::RemoveKey remove;
    commands::ExportKey exportArmoured(true);

    // Nothing selected: nothing asked, nothing run.
    h.runner.run(remove);
    EXPECT_TRUE(h.dialogs.shown.empty());
    h.tree.topLevelItem(0)->setSelected(true);

    h.dialogs.answer = ui::Answer::Cancel;
    h.edit.setPlainText("keep");
    h.runner.run(remove);
    EXPECT_TRUE(h.proc.runs.empty());
    EXPECT_EQ(h.edit.toPlainText(), "keep");
    EXPECT_FALSE(ui::busyCursorShown());

    h.dialogs.answer = ui::Answer::Ok;
    h.page = Page::KeyTree;
    h.runner.run(remove);
    ASSERT_EQ(h.proc.runs.size(), 1u);
    EXPECT_EQ(h.proc.runs[0].args, (Args{"-kr", "0x0000BEEF", kTail[0], kTail[1], kTail[2]}));
    EXPECT_EQ(h.edit.toPlainText(), "done");
    EXPECT_EQ(h.page, Page::Editor);

    // The key's ID is the proposed file name, and is not proposed again.
    QString proposed;
    app::FileDialog::testHook() = [&](app::FileDialog &d) {
        proposed = d.fileName;
        d.fileName = "/keys/bob key.asc";
        return true;
    };
    h.runner.run(exportArmoured);
    EXPECT_EQ(proposed, "0000BEEF");
    ASSERT_EQ(h.proc.runs.size(), 2u);
    EXPECT_EQ(h.proc.runs[1].args,
              (Args{"-kxa", "0x0000BEEF", "/keys/bob key.asc", kTail[0], kTail[1], kTail[2]}));
    EXPECT_TRUE(h.save.fileName.isEmpty());

    // A report that cannot be read: said so, the editor page shown all the same.
    h.proc.onRun = nullptr;
    h.fs.remove("/app/out.txt");
    h.fs.failWrites.insert("/app/out.txt");
    h.page = Page::KeyTree;
    h.runner.run(remove);
    EXPECT_EQ(h.dialogs.shown.back().kind, "platform");
    EXPECT_EQ(h.page, Page::Editor);
}

TEST(PassPhraseCommands, AskForgetAndMakeSure)
{
    FakeHost h;
    h.passPhraseAnswer = "geheim";
    commands::AskPassPhrase ask;
    commands::ForgetPassPhrase forget;

    h.runner.run(ask);
    EXPECT_EQ(h.st.passPhrase, "geheim");
    EXPECT_TRUE(h.st.sendPassPhrase);
    EXPECT_TRUE(commands::makeSureOfPassPhrase(h));
    EXPECT_EQ(h.passPhraseAsked, 1); // held already: not asked again

    h.st.sendPassPhrase = false;
    h.runner.run(forget);
    EXPECT_TRUE(h.st.passPhrase.empty());
    EXPECT_TRUE(h.st.sendPassPhrase);
    EXPECT_EQ(h.passPhraseForgotten, 1);

    h.passPhraseAnswer.reset();
    EXPECT_FALSE(commands::makeSureOfPassPhrase(h));
    EXPECT_EQ(h.passPhraseAsked, 2);
}

TEST(CommandLineCommand, LoadsThenHandsOnThroughTheRunner)
{
    FakeHost h;
    h.st.passPhrase = "secret";
    h.fs.addFile("/app/MakeID.bat", "script");
    h.fs.addFile("/data/msg.asc", "-----BEGIN PGP MESSAGE-----\r\n");
    commands::DecryptText decrypt;
    commands::AddKeysFromText addKeys;
    commands::OpenCommandLine line(h.runner, decrypt, addKeys);

    line.setArguments("/data/msg.asc", "", 1);
    h.runner.run(line);
    EXPECT_TRUE(line.loaded());
    EXPECT_EQ(h.edit.toPlainText(), "-----BEGIN PGP MESSAGE-----");
    EXPECT_EQ(h.caption, "QUORBIX Version 2.0 - msg.asc");
    EXPECT_TRUE(h.proc.runs.empty());

    line.setArguments("/d", "/data/msg.asc", 2);
    h.runner.run(line);
    ASSERT_EQ(h.proc.runs.size(), 1u);
    EXPECT_EQ(h.proc.runs[0].args, (Args{"/tmp/QUORBIX.tmp", kTail[0], kTail[1], kTail[2]}));
    EXPECT_EQ(h.viewersShown, 1); // decrypt always shows the viewer

    // "/k": the key command's refresh and one more.
    line.setArguments("/k", "/data/msg.asc", 2);
    h.runner.run(line);
    EXPECT_EQ(h.proc.runs.size(), 2u);
    EXPECT_EQ(h.proc.detached.size(), 2u);

    // A file that is not there: said so, nothing runs.
    line.setArguments("/d", "/data/missing.asc", 2);
    h.runner.run(line);
    EXPECT_FALSE(line.loaded());
    EXPECT_EQ(h.proc.runs.size(), 2u);

    line.setArguments("/debug", "", 1);
    h.runner.run(line);
    EXPECT_TRUE(line.loaded());
    EXPECT_EQ(h.debugReports, 1);
}

TEST(DocumentCommands, OpenKeepsEverythingOnFailureAndSaveReusesTheName)
{
    FakeHost h;
    h.fs.mkdirs("/docs");
    h.fs.addFile("/docs/a.txt", "Gr\xFC\xDF" "e\r\n");
    commands::OpenDocument open;
    commands::SaveDocument save;
    commands::NewDocument fresh;

    h.save.fileName = "/docs/old.txt";
    h.fileDialogsAnswer("/docs/a.txt");
    h.runner.run(open);
    EXPECT_EQ(h.edit.toPlainText(), QString::fromUtf8("Grüße"));
    EXPECT_EQ(h.open.filterIndex, 2);
    EXPECT_EQ(h.caption, "QUORBIX Version 2.0 - a.txt");
    EXPECT_TRUE(h.save.fileName.isEmpty()); // a later save asks for a name

    h.fileDialogsAnswer("/docs/missing.txt");
    h.runner.run(open);
    EXPECT_EQ(h.edit.toPlainText(), QString::fromUtf8("Grüße"));
    EXPECT_EQ(h.caption, "QUORBIX Version 2.0 - a.txt");

    int asked = 0;
    h.fileDialogsAnswer("/docs/b.txt", &asked);
    h.edit.setPlainText("eins\nzwei");
    h.runner.run(save);
    h.runner.run(save);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(h.fs.content("/docs/b.txt"), "eins\r\nzwei\r\n");
    // A full disk: the old file stays and the message names the cause.
    h.fs.fullDirs.insert("/docs");
    h.edit.setPlainText("drei");
    h.runner.run(save);
    EXPECT_EQ(h.fs.content("/docs/b.txt"), "eins\r\nzwei\r\n");
    EXPECT_EQ(h.dialogs.last(), "Kann Datei /docs/b.txt nicht erstellen. "
                                "Nicht genügend Speicherplatz auf dem Datenträger.");
    h.fs.fullDirs.clear();

    h.runner.run(fresh);
    EXPECT_TRUE(h.edit.toPlainText().isEmpty());
    EXPECT_EQ(h.caption, "QUORBIX Version 2.0");

    commands::ToggleWordWrap wrap;
    h.wrapEntry.setChecked(true);
    h.runner.run(wrap);
    EXPECT_EQ(h.edit.lineWrapMode(), QPlainTextEdit::WidgetWidth);
    h.wrapEntry.setChecked(false);
    h.runner.run(wrap);
    EXPECT_EQ(h.edit.lineWrapMode(), QPlainTextEdit::NoWrap);
}

// The host with the real file system and processes: pgp is the recording
// stand-in, so what it received is what a real pgp would.
TEST(FileCommands, RealStandInReceivesOneArgumentPerFile)
{
    const fs::path base = fs::temp_directory_path() / ("quorbix commands " + std::to_string(::getpid()));
    fs::create_directories(base / "app");
    fs::create_directories(base / "pgp");
    fs::create_symlink(testsupport::fakePgpProgram(), base / "pgp" / "pgp");
    const std::string log = (base / "log").string(), script = (base / "script").string();
    std::ofstream(script) << "stdout read ${LAST}\n";
    setenv("QUORBIX_FAKEPGP_LOG", log.c_str(), 1);
    setenv("QUORBIX_FAKEPGP_SCRIPT", script.c_str(), 1);
    {
        FakeHost h;
        h.st.sys.fs = &platform::systemFileSystem();
        h.st.sys.proc = &platform::systemProcessRunner();
        h.st.appDir = (base / "app").string();
        h.st.tempDir = base.string();
        h.st.pgpDir = (base / "pgp").string();
        h.st.passPhrase = "ge heim";
        h.st.sendPassPhrase = true;
        const std::string file = (base / "my letter.asc").string();
        std::ofstream(file) << "x";
        h.fileDialogsAnswer(QFile::decodeName(file.c_str()));

        commands::DecryptFile decrypt;
        h.runner.run(decrypt);
        const auto runs = testsupport::readFakePgpLog(log);
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].args(), (Args{file, kTail[0], kTail[1], kTail[2]}));
        EXPECT_EQ(runs[0].passData.value_or(""), "ge heim\n");
        EXPECT_EQ(h.edit.toPlainText().toStdString(), "read " + kTail[2]);
        EXPECT_TRUE(h.dialogs.shown.empty());
    }
    unsetenv("QUORBIX_FAKEPGP_LOG");
    unsetenv("QUORBIX_FAKEPGP_SCRIPT");
    fs::remove_all(base);
}

// The hotkeys reach the flows of the window created last, queued through the
// event loop, and end with it; the settings command wires the dialog's "Ok"
// to the window and the desktop.
TEST(DesktopCommands, HotkeysFollowTheLastWindowAndSettingsHooksReachTheHost)
{
    testsupport::FakeGlobalHotkeys hotkeys;
    testsupport::FakeClipboard clip;
    testsupport::FakeWindowTree windows{&clip};
    desktop::DesktopServices ds;
    ds.hotkeys = &hotkeys;
    ds.clipboard = &clip;
    ds.windows = &windows;
    ds.chooseFolder = [](QWidget *, const std::string &title) { return std::optional<std::string>("/chosen/" + title); };
    desktop::installDesktopServices(ds);
    {
        FakeHost first, second;
        auto older = std::make_unique<commands::CommandSet>(first, desktop::desktopServices());
        commands::CommandSet newer(second, desktop::desktopServices());
        second.st.scSign.setKeyCode('S');
        second.st.scSign.setModifiers(4);
        newer.runner.run(newer.registerHotkeys);
        ASSERT_EQ(hotkeys.registered.size(), 1u);

        // The older window going does not take the hotkeys with it.
        older.reset();
        EXPECT_EQ(hotkeys.registered.size(), 1u);
        ASSERT_TRUE(hotkeys.onHotkey);

        // A press runs nothing at once; the flow starts from the event loop.
        second.st.browser = "Clipboard";
        second.st.passPhrase = "pw";
        clip.setText("Hallo");
        EXPECT_TRUE(hotkeys.press(2, 'S'));
        EXPECT_TRUE(second.proc.runs.empty());
        QTest::qWait(20);
        EXPECT_EQ(second.proc.runs.size(), 1u);
        EXPECT_FALSE(newer.hotkeyFlows.running());
        EXPECT_FALSE(newer.hotkeyFlows.hotkeyMessage(400)); // not one of ours

        // The settings dialog's hooks act on this window and the desktop.
        newer.runner.run(newer.showSettings);
        ASSERT_TRUE(second.settingsHooks);
        SettingsHooks &h = *second.settingsHooks;
        h.setDialogFolders("/save", "/load");
        EXPECT_EQ(second.save.initialDir, "/save");
        EXPECT_EQ(second.open.initialDir, "/load");
        EXPECT_EQ(h.chooseFolder().value_or(""), "/chosen/Folder");
        h.applyTexts();
        h.reapplyDialogTexts();
        EXPECT_EQ(second.textsApplied, 1);
        EXPECT_EQ(second.dialogTextsReapplied, 1);
        h.unregisterHotkeys();
        EXPECT_TRUE(hotkeys.registered.empty());
        h.registerHotkey(browser::kHotkeyEncrypt, second.st.scSign);
        EXPECT_EQ(hotkeys.registered.size(), 1u);
    }
    // The last window gone: its hotkeys are given back, none is delivered.
    EXPECT_TRUE(hotkeys.registered.empty());
    EXPECT_FALSE(hotkeys.onHotkey);
    desktop::installDesktopServices({});
}
