#pragma once
// The key tree page (PGP's verbose listing) and the key commands of its
// context menu, which act on the selected node's key.

#include "commands/Command.h"

namespace commands {

// Fills the tree from a fresh listing behind a wait dialog. The dialog's
// cancel button raises AppState::cancelRequested; the read stops at its next
// look and keeps what it has.
class ReadKeyTree final : public Command {
public:
    bool exclusive() const override { return true; }
    WaitCursor waitCursor() const override { return WaitCursor::Shared; }
    void start(CommandHost &host) override;

    // How often the read lets window messages through, in milliseconds
    // (0: after every line). Letting them through after each of 40,000 lines
    // would cost more than the whole fill.
    static int pumpIntervalMs;
};

class ShowKeyTree final : public Command {
public:
    void start(CommandHost &host) override;
};

class ShowEditor final : public Command {
public:
    void start(CommandHost &host) override;
};

class ExpandKeyTree final : public Command {
public:
    void start(CommandHost &host) override;
};

class CollapseKeyTree final : public Command {
public:
    void start(CommandHost &host) override;
};

class ShowFingerprint final : public Command {
public:
    WaitCursor waitCursor() const override { return WaitCursor::Shared; }
    void start(CommandHost &host) override;
};

// Into a file named after the key by default.
class ExportKey final : public Command {
public:
    explicit ExportKey(bool armoured) : armoured_(armoured) {}
    WaitCursor waitCursor() const override { return WaitCursor::Shared; }
    void start(CommandHost &host) override;

private:
    bool armoured_;
};

// After "Are you sure?".
class RemoveKey final : public Command {
public:
    WaitCursor waitCursor() const override { return WaitCursor::Shared; }
    void start(CommandHost &host) override;
};

} // namespace commands
