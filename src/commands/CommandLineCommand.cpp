#include "commands/CommandLineCommand.h"

#include "app/AppState.h"
#include "commands/CommandHost.h"
#include "commands/CommandRunner.h"
#include "commands/DocumentCommands.h"
#include "crypt/EditorFiles.h"
#include "keys/MakeIdBatch.h"

namespace commands {

void OpenCommandLine::start(CommandHost &host)
{
    app::AppState &st = host.state();
    loaded_ = true;
    if (first_ == "/debug") {
        host.showDebugReport();
        return;
    }
    if (count_ == 1) {
        loaded_ = cryptcmd::loadEditorFile(st, &host.editor(), first_);
        if (loaded_)
            showFileInCaption(host, first_);
        return;
    }
    if (first_ != "/d" && first_ != "/k")
        return;
    loaded_ = cryptcmd::loadEditorFile(st, &host.editor(), second_);
    if (!loaded_)
        return;
    if (first_ == "/d") {
        runner_.run(decrypt_);
    } else {
        runner_.run(addKeys_);
        // And the user list once more.
        keys::RunMakeIdBatch(st);
    }
}

} // namespace commands
