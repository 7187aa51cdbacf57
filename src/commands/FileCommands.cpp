#include "commands/FileCommands.h"

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "commands/CommandHost.h"
#include "crypt/CryptCore.h"
#include "crypt/EditorFiles.h"
#include "pgp/RunPgp.h"

namespace commands {

namespace {

std::string fileOptions(CommandHost &host, cryptcmd::FileCommand cmd)
{
    const OptionBoxes o = host.optionBoxes();
    return cryptcmd::fileCommandOptions(cmd, o.breakSig, o.armour, o.textMode);
}

// The chosen file, or false when the dialog was cancelled.
bool chooseFile(CommandHost &host)
{
    if (!host.openDialog().execute(host.dialogParent()))
        return false;
    host.state().processEvents();
    return true;
}

// Runs pgp on the chosen file with its report captured, then shows the
// report in the editor.
void runOnChosenFile(CommandHost &host, const std::string &options, const std::string &operand2)
{
    app::AppState &st = host.state();
    pgp::RunRequest req;
    req.options = options;
    req.operand1 = cryptcmd::pathBytes(host.openDialog().fileName);
    req.operand1IsFile = true;
    req.operand2 = operand2;
    req.captureOutput = 1;
    req.windowMode = 0;
    cryptcmd::loadRunResult(st, &host.editor(), pgp::RunPgp(st, req), st.inAppDir("out.txt"));
}

} // namespace

void EncryptFile::start(CommandHost &host)
{
    app::AppState &st = host.state();
    host.chooseRecipient();
    if (st.recipientArg.empty())
        return;
    // The boxes as they stood when the recipient was chosen.
    const std::string options = fileOptions(host, cryptcmd::FileCommand::Encrypt);
    if (!chooseFile(host))
        return;
    runOnChosenFile(host, options, st.recipientArg);
}

void DecryptFile::start(CommandHost &host)
{
    if (!chooseFile(host) || !host.ensurePassPhrase())
        return;
    runOnChosenFile(host, cryptcmd::fileCommandOptions(cryptcmd::FileCommand::Decrypt, false, false, false), {});
}

void SignFile::start(CommandHost &host)
{
    const std::string options = fileOptions(host, cryptcmd::FileCommand::Sign);
    if (!chooseFile(host) || !host.ensurePassPhrase())
        return;
    runOnChosenFile(host, options, {});
}

} // namespace commands
