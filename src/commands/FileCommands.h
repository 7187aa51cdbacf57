#pragma once
// The three action buttons: a chosen file through PGP, its report shown in
// the editor.

#include "commands/Command.h"

namespace commands {

// The recipient first, then the file.
class EncryptFile final : public Command {
public:
    bool exclusive() const override { return true; }
    WaitCursor waitCursor() const override { return WaitCursor::ForRun; }
    void start(CommandHost &host) override;
};

// pgp decides by the file what to do with it.
class DecryptFile final : public Command {
public:
    bool exclusive() const override { return true; }
    WaitCursor waitCursor() const override { return WaitCursor::ForRun; }
    void start(CommandHost &host) override;
};

class SignFile final : public Command {
public:
    bool exclusive() const override { return true; }
    WaitCursor waitCursor() const override { return WaitCursor::ForRun; }
    void start(CommandHost &host) override;
};

} // namespace commands
