#include "commands/EditorTextCommands.h"

#include "app/AppState.h"
#include "commands/CommandHost.h"
#include "crypt/EditorFiles.h"
#include "crypt/EditorText.h"
#include "pgp/RunPgp.h"
#include "ui/Cursor.h"

namespace commands {

namespace {

void deleteTempFiles(app::AppState &st, const cryptcmd::EditorCommandRow &row)
{
    for (const char *name : row.tempFiles)
        st.sys.fs->remove(st.inTempDir(name));
}

// Every way out deletes the command's temporary files once more.
class TempFiles {
public:
    TempFiles(app::AppState &st, const cryptcmd::EditorCommandRow &row) : st_(st), row_(row)
    {
        deleteTempFiles(st_, row_);
    }
    ~TempFiles() { removeNow(); }
    void removeNow()
    {
        if (pending_)
            deleteTempFiles(st_, row_);
        pending_ = false;
    }
    TempFiles(const TempFiles &) = delete;
    TempFiles &operator=(const TempFiles &) = delete;

private:
    app::AppState &st_;
    const cryptcmd::EditorCommandRow &row_;
    bool pending_ = true;
};

} // namespace

EditorTextCommand::EditorTextCommand(cryptcmd::EditorCommand cmd) : cmd_(cmd), row_(cryptcmd::editorCommandRow(cmd)) {}

bool EditorTextCommand::exclusive() const { return row_.takesCommandBusy; }

WaitCursor EditorTextCommand::waitCursor() const { return row_.busyCursor ? WaitCursor::ForRun : WaitCursor::None; }

void EditorTextCommand::start(CommandHost &host)
{
    ranPgp_ = false;
    run(host);
    // Decrypt ends with the default cursor, also when a hotkey flow set it.
    if (cmd_ == cryptcmd::EditorCommand::Decrypt)
        ui::restoreDefaultCursor();
}

void EditorTextCommand::run(CommandHost &host)
{
    using namespace cryptcmd;
    app::AppState &st = host.state();
    QPlainTextEdit *edit = &host.editor();
    // Refuse before anything changes, so the "//" line is not lost either.
    if (!checkEditorLatin1(st, edit))
        return;

    if (cmd_ == EditorCommand::Encrypt)
        st.recipientArg.clear();
    TempFiles temp(st, row_);
    // The text as it was, for a write that fails after the "//" line went.
    const QString before = editorText(edit);
    if (cmd_ == EditorCommand::Encrypt)
        st.recipientArg = InlineRecipients(edit);

    const std::string input = st.inTempDir(kTempInput);
    if (!writeEditorFile(st, edit, input, FileKind::Private)) {
        if (editorText(edit) != before)
            setEditorText(edit, before);
        return;
    }
    if (cmd_ == EditorCommand::Decrypt)
        st.processEvents();

    if (row_.passesRecipients) {
        if (st.recipientArg.empty())
            host.chooseRecipient();
        if (st.recipientArg.empty())
            return;
    }
    if (row_.needsPassPhrase && !host.ensurePassPhrase())
        return;

    const OptionBoxes boxes = host.optionBoxes();
    pgp::RunRequest req;
    req.options = editorCommandOptions(cmd_, boxes.breakSig, boxes.textMode);
    req.operand1 = input;
    req.operand1IsFile = true;
    if (row_.passesRecipients)
        req.operand2 = st.recipientArg;
    req.captureOutput = 1;
    req.windowMode = 0;
    const pgp::RunOutcome run = pgp::RunPgp(st, req);
    ranPgp_ = true;

    // A failed run's leftovers are no result: the editor keeps its text and
    // the viewer shows what pgp said.
    const bool loaded = loadRunResult(st, edit, run,
                                      row_.result == ResultFile::OutTxt ? st.inAppDir("out.txt")
                                                                        : st.inTempDir(resultFileName(row_.result)));
    temp.removeNow();
    if (row_.viewer == ViewerPolicy::Always || (row_.viewer == ViewerPolicy::WhenResultMissing && !loaded))
        host.showOutputViewer();
}

} // namespace commands
