#pragma once
// The editor text through PGP and back (editor context menu, command line,
// hotkey-free counterparts of the file commands). Each command's row in the
// command table of crypt/CryptCore says what it passes, waits for and loads.

#include "commands/Command.h"
#include "crypt/CryptCore.h"

namespace commands {

class EditorTextCommand : public Command {
public:
    bool exclusive() const override;
    WaitCursor waitCursor() const override;
    bool refreshesUserList() const override { return ranPgp_ && row_.refreshUserList; }
    void start(CommandHost &host) override;

protected:
    explicit EditorTextCommand(cryptcmd::EditorCommand cmd);

private:
    void run(CommandHost &host);
    cryptcmd::EditorCommand cmd_;
    const cryptcmd::EditorCommandRow &row_;
    bool ranPgp_ = false;
};

class AddKeysFromText final : public EditorTextCommand {
public:
    AddKeysFromText() : EditorTextCommand(cryptcmd::EditorCommand::AddKey) {}
};

// Recipients from a leading "//" line, else chosen.
class EncryptText final : public EditorTextCommand {
public:
    EncryptText() : EditorTextCommand(cryptcmd::EditorCommand::Encrypt) {}
};

class DecryptText final : public EditorTextCommand {
public:
    DecryptText() : EditorTextCommand(cryptcmd::EditorCommand::Decrypt) {}
};

class SignText final : public EditorTextCommand {
public:
    SignText() : EditorTextCommand(cryptcmd::EditorCommand::Sign) {}
};

} // namespace commands
