#pragma once
// What the commands use of the main window, without the window: the editor,
// tree and dialogs it holds are plain widgets, and what it would ask the
// user is answered from fields set by the test. The platform below is the
// fakes' (file system, processes, message boxes) unless a test swaps in the
// real ones.
//
//   FakeHost h;
//   h.recipient = "0x12345678";            // what the chooser would leave
//   h.passPhraseAnswer = "secret";         // what the pass phrase dialog would get
//   commands::EncryptFile cmd;
//   h.runner.run(cmd);
//   EXPECT_EQ(h.proc.runs[0].args[0], "-ea");

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "commands/CommandHost.h"
#include "commands/CommandRunner.h"
#include "commands/PassPhraseCommands.h"
#include "crypt/EditorText.h"
#include "crypt/RecordingDialogs.h"
#include "settings/SettingsHooks.h"
#include "support/FakeEnvironment.h"
#include "support/FakeFileSystem.h"
#include "support/FakeProcessRunner.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <vector>

namespace testsupport {

class FakeHost : public commands::CommandHost {
public:
    FakeEnvironment env;
    FakeFileSystem fs;
    FakeProcessRunner proc;
    RecordingDialogs dialogs;
    app::AppState st;
    commands::CommandRunner runner{*this};

    QWidget window;
    QPlainTextEdit edit{&window};
    QTreeWidget tree{&window};
    QAction wrapEntry{&window};
    app::FileDialog open{app::FileDialog::Mode::Open};
    app::FileDialog save{app::FileDialog::Mode::Save};
    commands::OptionBoxes boxes;

    // What the window shows.
    QString hint, status, caption;
    Page page = Page::Editor;
    bool enabled = true;
    std::vector<bool> enabledChanges;
    bool frontRaised = false, viewerRaised = false, minimised = false, readyNoticeShown = false;

    // What the user answers, and how often was asked.
    std::string recipient;
    int recipientAsked = 0;
    std::optional<std::string> passPhraseAnswer; // nullopt: the dialog is cancelled
    int passPhraseAsked = 0, passPhraseForgotten = 0;
    int viewersShown = 0, debugReports = 0, textsApplied = 0, dialogTextsReapplied = 0;
    std::vector<int> buttonSetups;
    std::optional<SettingsHooks> settingsHooks;

    // The wait dialog of a tree read; onProgress may act as the user meanwhile.
    struct Progress {
        int shown = 0, lastCount = 0, lastBar = 0;
        bool cleared = false, released = false;
    } progress;
    std::function<void(int keyCount, int bar)> onProgress;

    FakeHost()
    {
        fs.mkdirs("/app");
        fs.mkdirs("/pgp");
        fs.mkdirs("/tmp");
        fs.addFile("/pgp/pgp", "binary");
        st.sys.env = &env;
        st.sys.fs = &fs;
        st.sys.proc = &proc;
        st.dialogs = &dialogs;
        st.appDir = "/app";
        st.tempDir = "/tmp";
        st.pgpDir = "/pgp";
        wrapEntry.setCheckable(true);
    }
    ~FakeHost() override { app::FileDialog::testHook() = nullptr; }

    // pgp writes its report (the captured output) as text.
    void reportWith(const std::string &text)
    {
        proc.onRun = [this, text](const platform::ProcessJob &s) {
            if (s.stdoutFile)
                fs.addFile(*s.stdoutFile, text, 0600);
        };
    }
    // Every file dialog answers with this file; empty: cancelled.
    void fileDialogsAnswer(const QString &file, int *asked = nullptr)
    {
        app::FileDialog::testHook() = [file, asked](app::FileDialog &d) {
            if (asked)
                ++*asked;
            if (file.isEmpty())
                return false;
            d.fileName = file;
            return true;
        };
    }

    app::AppState &state() override { return st; }
    QWidget *dialogParent() override { return &window; }
    QPlainTextEdit &editor() override { return edit; }
    QTreeWidget &keyTree() override { return tree; }
    commands::OptionBoxes optionBoxes() const override { return boxes; }
    app::FileDialog &openDialog() override { return open; }
    app::FileDialog &saveDialog() override { return save; }
    QString folderDialogTitle() const override { return QStringLiteral("Folder"); }
    QAction &wordWrapEntry() override { return wrapEntry; }
    QString hintLine() const override { return hint; }
    void setHintLine(const QString &text) override { hint = text; }
    void setStatusText(const QString &text) override { status = text; }
    void showPage(Page p) override { page = p; }
    void setCaption(const QString &c) override { caption = c; }
    void setWindowEnabled(bool e) override
    {
        enabled = e;
        enabledChanges.push_back(e);
    }
    void chooseRecipient() override
    {
        ++recipientAsked;
        st.recipientArg = recipient;
    }
    void askPassPhrase() override
    {
        ++passPhraseAsked;
        if (passPhraseAnswer)
            st.passPhrase = *passPhraseAnswer;
    }
    void forgetPassPhrase() override { ++passPhraseForgotten; }
    bool ensurePassPhrase() override { return commands::makeSureOfPassPhrase(*this); }
    void showOutputViewer() override { ++viewersShown; }
    void openButtonSetup(int n) override { buttonSetups.push_back(n); }
    void showDebugReport() override { ++debugReports; }
    std::unique_ptr<commands::TreeReadProgress> showTreeReadProgress() override
    {
        class Fed : public commands::TreeReadProgress {
        public:
            explicit Fed(FakeHost &h) : h_(h) {}
            ~Fed() override { h_.progress.released = true; }
            void show(int keys, int bar) override
            {
                ++h_.progress.shown;
                h_.progress.lastCount = keys;
                h_.progress.lastBar = bar;
                if (h_.onProgress)
                    h_.onProgress(keys, bar);
            }
            void clearCount() override { h_.progress.cleared = true; }

        private:
            FakeHost &h_;
        };
        return std::make_unique<Fed>(*this);
    }
    void runSettingsDialog(SettingsHooks hooks) override { settingsHooks = std::move(hooks); }
    void applyTexts() override { ++textsApplied; }
    void reapplyDialogTexts() override { ++dialogTextsReapplied; }
    void bringToFront() override { frontRaised = true; }
    void bringOutputViewerToFront() override { viewerRaised = true; }
    void minimise() override { minimised = true; }
    void restoreFromMinimised() override { minimised = false; }
    void showReadyNotice() override { readyNoticeShown = true; }
};

} // namespace testsupport
