#pragma once
// The pass phrase held in memory: asking for it and forgetting it. Either
// way pgp is told the pass phrase (or that there is none) on its next run.

#include "commands/Command.h"

namespace commands {

class AskPassPhrase final : public Command {
public:
    void start(CommandHost &host) override;
};

class ForgetPassPhrase final : public Command {
public:
    void start(CommandHost &host) override;
};

// What commands needing the secret key check first: true when a pass phrase
// is held, else asks once.
bool makeSureOfPassPhrase(CommandHost &host);

} // namespace commands
