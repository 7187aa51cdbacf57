#pragma once
// The seventeen command buttons: each runs its record of the button table.

#include "commands/Command.h"

namespace commands {

// The record a button's release acts on: the number its Tag carries, or,
// for a damaged button file whose number lies outside the table, the
// button's own place (1-based; 0 when it has none).
int buttonRecordNumber(int tag, int place);

class RunButton final : public Command {
public:
    // The record to run next (1-based).
    void select(int recordNumber) { n_ = recordNumber; }
    bool exclusive() const override { return true; }
    WaitCursor waitCursor() const override { return WaitCursor::Shared; }
    bool refreshesUserList() const override;
    void start(CommandHost &host) override;

private:
    void run(CommandHost &host);
    int n_ = 1;
    bool refresh_ = false;
};

} // namespace commands
