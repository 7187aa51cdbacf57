#pragma once
// The system-wide hotkeys and their flows, and the settings dialog, which
// changes hotkeys and file types.

#include "browser/BrowserBridge.h"
#include "commands/Command.h"

#include <QObject>

namespace desktop {
struct DesktopServices;
}

namespace commands {

class CommandRunner;
class HotkeyFlows;

// One hotkey's flow: text from a mail window or the clipboard through PGP
// and back.
class RunHotkeyFlow final : public Command {
public:
    RunHotkeyFlow(HotkeyFlows &flows, int id) : flows_(flows), id_(id) {}
    void start(CommandHost &host) override;
    bool ran() const { return ran_; }

private:
    HotkeyFlows &flows_;
    int id_;
    bool ran_ = false;
};

// The flows of one main window. The hotkeys go to the window created last;
// they end with it.
class HotkeyFlows : public QObject {
public:
    HotkeyFlows(CommandHost &host, CommandRunner &runner, desktop::DesktopServices &services);
    ~HotkeyFlows() override;

    // Runs the flow of the identifier (100, 200, 300) through the runner;
    // false when none ran.
    bool hotkeyMessage(int id);
    bool running() const { return bridge_.busy(); }
    browser::BrowserBridge &bridge() { return bridge_; }

private:
    RunHotkeyFlow *flowFor(int id);
    CommandRunner &runner_;
    desktop::DesktopServices &services_;
    browser::BrowserBridge bridge_;
    RunHotkeyFlow encrypt_, decrypt_, sign_;
    static HotkeyFlows *receiver_;
};

// Registers the hotkeys the settings name.
class RegisterHotkeys final : public Command {
public:
    void start(CommandHost &host) override;
};

class ShowSettings final : public Command {
public:
    void start(CommandHost &host) override;
};

} // namespace commands
