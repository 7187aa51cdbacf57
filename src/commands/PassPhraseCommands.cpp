#include "commands/PassPhraseCommands.h"

#include "app/AppState.h"
#include "commands/CommandHost.h"

namespace commands {

void AskPassPhrase::start(CommandHost &host)
{
    host.askPassPhrase();
    host.state().sendPassPhrase = true;
}

void ForgetPassPhrase::start(CommandHost &host)
{
    host.forgetPassPhrase();
    host.state().passPhrase.clear();
    host.state().sendPassPhrase = true;
}

bool makeSureOfPassPhrase(CommandHost &host)
{
    if (!host.state().passPhrase.empty())
        return true;
    AskPassPhrase ask;
    ask.start(host);
    return !host.state().passPhrase.empty();
}

} // namespace commands
