#pragma once
// The process runner of the real system: QProcess, waited for in a nested
// event loop; console runs inside a terminal emulator.

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace platform {

class SystemProcessRunner : public ProcessRunner {
public:
    ProcessResult runAndWait(const ProcessJob &job) override;
    DetachedResult startDetached(const std::string &program, const std::vector<std::string> &args,
                                 const std::string &workDir) override;

    // The terminal for console runs: the words of QUORBIX_TERMINAL (split at
    // blanks) or "xterm". "-e" is appended unless the last word already is
    // "-e", "-x" or "--"; xterm also gets "-T title".
    static std::vector<std::string> terminalCommand(const std::string &title);
    // True when the terminal is xterm itself, which hands its inherited file
    // descriptors to the command; others get the pass phrase through a
    // named pipe in a private folder, which the wrapper removes at once.
    static bool terminalKeepsDescriptors();
};

} // namespace platform
