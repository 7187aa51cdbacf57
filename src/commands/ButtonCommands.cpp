#include "commands/ButtonCommands.h"

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "buttons/ButtonTable.h"
#include "commands/CommandHost.h"
#include "crypt/EditorFiles.h"
#include "pgp/LaunchFile.h"
#include "pgp/RunPgp.h"

#include <QFile>

namespace commands {

namespace {

QString latin1(const std::string &s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

// "Please wait" on the hint line for the run; the window is usable again after.
class PleaseWait {
public:
    explicit PleaseWait(CommandHost &host) : host_(host), remembered_(host.hintLine())
    {
        host_.setHintLine(QString::fromStdString(host_.state().texts.msg(app::Msg::PleaseWait)));
    }
    ~PleaseWait()
    {
        host_.setWindowEnabled(true);
        host_.setHintLine(remembered_);
    }
    PleaseWait(const PleaseWait &) = delete;
    PleaseWait &operator=(const PleaseWait &) = delete;

private:
    CommandHost &host_;
    QString remembered_;
};

} // namespace

int buttonRecordNumber(int tag, int place)
{
    const int n = tag & 0xFF;
    if (n >= 1 && n <= buttons::kButtonCount)
        return n;
    return place >= 1 && place <= buttons::kButtonCount ? place : 0;
}

bool RunButton::refreshesUserList() const { return refresh_; }

void RunButton::start(CommandHost &host)
{
    refresh_ = false;
    PleaseWait wait(host);
    run(host);
    // Asked also when the command was abandoned on its way: the record says so.
    refresh_ = host.state().buttons[std::size_t(n_ - 1)].refreshUserList;
}

void RunButton::run(CommandHost &host)
{
    app::AppState &st = host.state();
    const buttons::ButtonRecord &rec = st.buttons[std::size_t(n_ - 1)];
    st.recipientArg.clear();
    if (rec.command.empty())
        return;

    if (rec.recipient) {
        host.chooseRecipient();
        // A following file dialog proposes the chosen key as file name.
        host.saveDialog().fileName = latin1(st.recipientArg);
        host.openDialog().fileName = latin1(st.recipientArg);
        if (st.recipientArg.empty())
            return;
    }
    std::string file;
    if (rec.saveDialog) {
        if (!host.saveDialog().execute(host.dialogParent()))
            return;
        file = QFile::encodeName(host.saveDialog().fileName).toStdString();
    }
    if (rec.openDialog) {
        if (!host.openDialog().execute(host.dialogParent()))
            return;
        file = QFile::encodeName(host.openDialog().fileName).toStdString();
    }

    pgp::SetCloseOnExit(st, rec.closeOnExit);
    st.processEvents();
    // Place 10 makes sure of the pass phrase first, whatever record it holds.
    if (n_ == 10 && !host.ensurePassPhrase())
        return;

    pgp::RunRequest req;
    req.options = rec.command + " ";
    req.operand1 = st.recipientArg + " ";
    if (file.empty()) {
        req.operand2.assign(1, ' '); // a lone blank: GCC 12 misreads the literal assignment (PR 105329)
    } else {
        // One argument for pgp, exactly the chosen name; the blank after it
        // only separates it on the composed line.
        req.operand2 = file;
        req.operand2Separator.assign(1, ' ');
        req.operand2IsFile = true;
    }
    req.captureOutput = rec.outProgram ? 1 : 0;
    req.outputFile = rec.outputFile;
    req.windowMode = rec.windowMode;
    const pgp::RunOutcome run = pgp::RunPgp(st, req);

    if (rec.outProgram) {
        cryptcmd::loadRunResult(st, &host.editor(), run, st.inAppDir("out.txt"));
        host.showPage(CommandHost::Page::Editor);
        host.setStatusText({});
    }
}

} // namespace commands
