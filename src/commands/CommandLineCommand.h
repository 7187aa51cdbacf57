#pragma once
// The command line, acted on once at start-up: a file to show, "/d" file to
// decrypt, "/k" file to add as a key, "/debug" for the debug report.

#include "commands/Command.h"

#include <string>

namespace commands {

class CommandRunner;

class OpenCommandLine final : public Command {
public:
    // The editor commands "/d" and "/k" hand on to, through the runner.
    OpenCommandLine(CommandRunner &runner, Command &decryptText, Command &addKeys)
        : runner_(runner), decrypt_(decryptText), addKeys_(addKeys)
    {
    }
    // The first two arguments and how many there were.
    void setArguments(const std::string &first, const std::string &second, int count)
    {
        first_ = first;
        second_ = second;
        count_ = count;
    }
    void start(CommandHost &host) override;
    // False when the file could not be loaded: the command it named did not run.
    bool loaded() const { return loaded_; }

private:
    CommandRunner &runner_;
    Command &decrypt_;
    Command &addKeys_;
    std::string first_, second_;
    int count_ = 0;
    bool loaded_ = true;
};

} // namespace commands
