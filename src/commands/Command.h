#pragma once
// One user command: a button, a menu entry, a hotkey. The runner wraps every
// start in what all commands share, as the command declares it.

namespace commands {

class CommandHost;

enum class WaitCursor {
    None,
    // Shown for the run, stacked over whatever cursor another part has set.
    ForRun,
    // The shared busy cursor: set for the run and back to the default after,
    // also when the command set it itself on a path of its own.
    Shared,
};

class Command {
public:
    virtual ~Command() = default;
    // Holds CommandBusy for the run; refused while another command holds it.
    virtual bool exclusive() const { return false; }
    virtual WaitCursor waitCursor() const { return WaitCursor::None; }
    // Whether the key-list script rebuilds the user list after a run that did
    // not fail (asked after the run: a button decides by its record).
    virtual bool refreshesUserList() const { return false; }
    virtual void start(CommandHost &host) = 0;

protected:
    Command() = default;
    Command(const Command &) = delete;
    Command &operator=(const Command &) = delete;
};

} // namespace commands
