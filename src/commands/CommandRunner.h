#pragma once
// Runs commands with what they all share: CommandBusy, the busy cursor, the
// error box for a failure of the platform, the user-list refresh.

namespace commands {

class Command;
class CommandHost;

class CommandRunner {
public:
    explicit CommandRunner(CommandHost &host) : host_(host) {}
    // False when the command was refused because another one holds CommandBusy.
    bool run(Command &cmd);

private:
    CommandHost &host_;
};

} // namespace commands
