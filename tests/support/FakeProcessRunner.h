#pragma once
// Records every ProcessJob and returns scripted results; onRun can act as
// the program (for example write result files into a FakeFileSystem).
//
//   FakeProcessRunner proc;
//   proc.results.push_back({true, 1});            // next run: exit code 1
//   proc.onRun = [&](const platform::ProcessJob &s) { fs.addFile(*s.stdoutFile, "listing"); };
//   ... run the command ...
//   ASSERT_EQ(proc.runs.size(), 1u);
//   EXPECT_EQ(proc.runs[0].args, (std::vector<std::string>{"-kvc", "0x12345678"}));

#include "platform/Platform.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class FakeProcessRunner : public platform::ProcessRunner {
public:
    struct Detached {
        std::string program;
        std::vector<std::string> args;
        std::string workDir;
    };

    std::vector<platform::ProcessJob> runs;
    std::deque<platform::ProcessResult> results; // taken from the front, one per run
    platform::ProcessResult defaultResult{true, 0, {}, false};
    std::function<void(const platform::ProcessJob &)> onRun;

    std::vector<Detached> detached;
    std::deque<platform::DetachedResult> detachedResults;
    platform::DetachedResult defaultDetached{true, 33, {}};

    platform::ProcessResult runAndWait(const platform::ProcessJob &job) override;
    platform::DetachedResult startDetached(const std::string &program, const std::vector<std::string> &args,
                                           const std::string &workDir) override;
};

} // namespace testsupport
