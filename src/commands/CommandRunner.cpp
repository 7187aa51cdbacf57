#include "commands/CommandRunner.h"

#include "app/AppState.h"
#include "commands/Command.h"
#include "commands/CommandHost.h"
#include "keys/MakeIdBatch.h"
#include "ui/Cursor.h"

#include <exception>
#include <optional>

namespace commands {

namespace {

// Gives CommandBusy and the shared cursor back on every way out.
class RunScope {
public:
    RunScope(app::AppState &st, bool exclusive, WaitCursor cursor) : st_(st), exclusive_(exclusive), cursor_(cursor)
    {
        if (exclusive_)
            st_.commandBusy = true;
        if (cursor_ == WaitCursor::Shared)
            ui::setBusyCursor();
        else if (cursor_ == WaitCursor::ForRun)
            stacked_.emplace();
    }
    ~RunScope()
    {
        stacked_.reset();
        if (cursor_ == WaitCursor::Shared)
            ui::restoreDefaultCursor();
        if (exclusive_)
            st_.commandBusy = false;
    }
    RunScope(const RunScope &) = delete;
    RunScope &operator=(const RunScope &) = delete;

private:
    app::AppState &st_;
    bool exclusive_;
    WaitCursor cursor_;
    std::optional<ui::BusyCursor> stacked_;
};

} // namespace

bool CommandRunner::run(Command &cmd)
{
    app::AppState &st = host_.state();
    const bool exclusive = cmd.exclusive();
    if (exclusive && st.commandBusy)
        return false;
    RunScope scope(st, exclusive, cmd.waitCursor());
    try {
        cmd.start(host_);
        if (cmd.refreshesUserList())
            keys::RunMakeIdBatch(st);
    } catch (const std::exception &e) {
        // A file that cannot be read or written, a process that cannot start:
        // the command ends, the program goes on.
        st.dialogs->platformError(e.what());
    }
    return true;
}

} // namespace commands
