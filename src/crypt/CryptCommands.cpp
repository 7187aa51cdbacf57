// The file commands of the three action buttons and the editor text
// commands of the editor's context menu.
#include "app/TForm1.h"
#include "crypt/CryptCore.h"
#include "crypt/EditorFiles.h"
#include "crypt/EditorText.h"
#include "keys/MakeIdBatch.h"
#include "pgp/RunPgp.h"
#include "ui/Cursor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QPlainTextEdit>
#include <QToolButton>
#include <optional>

namespace {

using ui::BusyCursor;

// Takes CommandBusy when it is free and gives it back at the end of scope.
class BusyFlag {
public:
    explicit BusyFlag(app::AppState &st) : st_(st)
    {
        if (!st_.commandBusy)
            st_.commandBusy = owned_ = true;
    }
    ~BusyFlag()
    {
        if (owned_)
            st_.commandBusy = false;
    }
    bool owned() const { return owned_; }
    BusyFlag(const BusyFlag &) = delete;
    BusyFlag &operator=(const BusyFlag &) = delete;

private:
    app::AppState &st_;
    bool owned_ = false;
};

void deleteTempFiles(app::AppState &st, const cryptcmd::EditorCommandSpec &row)
{
    for (const char *name : row.tempFiles)
        st.sys.fs->remove(st.inTempDir(name));
}

// Runs pgp on a chosen file with its report captured, then shows the
// report in the editor.
void runOnFile(TForm1 &f, const std::string &options, const std::string &file, const std::string &operand2)
{
    app::AppState &st = f.state();
    pgp::RunRequest req;
    req.options = options;
    req.operand1 = file;
    req.operand1IsFile = true;
    req.operand2 = operand2;
    req.captureOutput = 1;
    req.windowMode = 0;
    pgp::RunPgp(st, req);
    cryptcmd::loadEditorFile(st, f.RichEdit1, st.inAppDir("out.txt"));
}

std::string chosenFile(const app::FileDialog &dlg)
{
    return cryptcmd::pathBytes(dlg.fileName);
}

// The editor text through QUORBIX.tmp and back, as the command's table
// entry says.
void runEditorCommand(TForm1 &f, cryptcmd::EditorCommand cmd)
{
    using namespace cryptcmd;
    app::AppState &st = f.state();
    const EditorCommandSpec &row = editorCommandSpec(cmd);

    std::optional<BusyFlag> busy;
    if (row.takesCommandBusy) {
        busy.emplace(st);
        if (!busy->owned())
            return;
    }
    // Refuse before anything changes, so the "//" line is not lost either.
    if (!checkEditorLatin1(st, f.RichEdit1))
        return;
    std::optional<BusyCursor> cursor;
    if (row.busyCursor)
        cursor.emplace();

    if (cmd == EditorCommand::Encrypt)
        st.recipientSpec.clear();
    deleteTempFiles(st, row);
    // Every way out deletes the command's temporary files once more.
    struct Cleanup {
        app::AppState &st;
        const EditorCommandSpec &row;
        bool pending = true;
        void now()
        {
            if (pending)
                deleteTempFiles(st, row);
            pending = false;
        }
        ~Cleanup() { now(); }
    } cleanup{st, row};

    if (cmd == EditorCommand::Encrypt)
        st.recipientSpec = InlineRecipients(f.RichEdit1);

    const std::string input = st.inTempDir(kTempInput);
    if (!writeEditorFile(st, f.RichEdit1, input, FileKind::Private))
        return;
    if (cmd == EditorCommand::Decrypt)
        st.processEvents();

    if (row.passesRecipients) {
        if (st.recipientSpec.empty())
            f.ChooseRecipient();
        if (st.recipientSpec.empty())
            return;
    }
    if (row.needsPassPhrase && !f.ensurePassPhrase())
        return;

    pgp::RunRequest req;
    req.options = editorCommandOptions(cmd, f.CheckBox1->isChecked(), f.CheckBox3->isChecked());
    req.operand1 = input;
    req.operand1IsFile = true;
    if (row.passesRecipients)
        req.operand2 = st.recipientSpec;
    req.captureOutput = 1;
    req.windowMode = 0;
    pgp::RunPgp(st, req);

    bool loaded = false;
    if (row.result == ResultFile::OutTxt) {
        loaded = loadEditorFile(st, f.RichEdit1, st.inAppDir("out.txt"));
    } else {
        const std::string result = st.inTempDir(resultFileName(row.result));
        if (st.sys.fs->exists(result))
            loaded = loadEditorFile(st, f.RichEdit1, result);
    }
    if (row.refreshUserList)
        keys::RunMakeIdBatch(st);

    cursor.reset();
    // Decrypt ends with the default cursor, also when a hotkey flow set it.
    if (cmd == EditorCommand::Decrypt)
        ui::restoreDefaultCursor();
    cleanup.now();
    if (row.viewer == ViewerPolicy::Always || (row.viewer == ViewerPolicy::WhenResultMissing && !loaded))
        f.showOutputViewer();
}

} // namespace

void TForm1::connectCryptCommands()
{
    QObject::connect(buEncrypt, &QToolButton::clicked, this, [this] { buEncryptClick(); });
    QObject::connect(buDecrypt, &QToolButton::clicked, this, [this] { buDecryptClick(); });
    QObject::connect(buSign, &QToolButton::clicked, this, [this] { buSignClick(); });
    QObject::connect(pmuAdd, &QAction::triggered, this, [this] { pmuAddClick(); });
    QObject::connect(PmuEncrypt, &QAction::triggered, this, [this] { PmuEncryptClick(); });
    QObject::connect(PmuDecrypt, &QAction::triggered, this, [this] { PmuDecryptClick(); });
    QObject::connect(PmuSig, &QAction::triggered, this, [this] { PmuSigClick(); });
}

void TForm1::buEncryptClick()
{
    BusyFlag busy(st_);
    if (!busy.owned())
        return;
    BusyCursor cursor;
    // The recipient first, then the file.
    ChooseRecipient();
    if (st_.recipientSpec.empty())
        return;
    const std::string options = cryptcmd::fileCommandOptions(cryptcmd::FileCommand::Encrypt, CheckBox1->isChecked(),
                                                          CheckBox2->isChecked(), CheckBox3->isChecked());
    if (!OpenDialog1.execute(this))
        return;
    st_.processEvents();
    runOnFile(*this, options, chosenFile(OpenDialog1), st_.recipientSpec);
}

void TForm1::buDecryptClick()
{
    BusyFlag busy(st_);
    if (!busy.owned())
        return;
    BusyCursor cursor;
    if (!OpenDialog1.execute(this))
        return;
    st_.processEvents();
    if (!ensurePassPhrase())
        return;
    runOnFile(*this, cryptcmd::fileCommandOptions(cryptcmd::FileCommand::Decrypt, false, false, false),
              chosenFile(OpenDialog1), {});
}

void TForm1::buSignClick()
{
    BusyFlag busy(st_);
    if (!busy.owned())
        return;
    BusyCursor cursor;
    const std::string options = cryptcmd::fileCommandOptions(cryptcmd::FileCommand::Sign, CheckBox1->isChecked(),
                                                          CheckBox2->isChecked(), CheckBox3->isChecked());
    if (!OpenDialog1.execute(this))
        return;
    st_.processEvents();
    if (!ensurePassPhrase())
        return;
    runOnFile(*this, options, chosenFile(OpenDialog1), {});
}

void TForm1::pmuAddClick() { runEditorCommand(*this, cryptcmd::EditorCommand::AddKey); }
void TForm1::PmuEncryptClick() { runEditorCommand(*this, cryptcmd::EditorCommand::Encrypt); }
void TForm1::PmuDecryptClick() { runEditorCommand(*this, cryptcmd::EditorCommand::Decrypt); }
void TForm1::PmuSigClick() { runEditorCommand(*this, cryptcmd::EditorCommand::Sign); }
