#include "support/FakeProcessRunner.h"

namespace testsupport {

platform::ProcessResult FakeProcessRunner::runAndWait(const platform::ProcessJob &job)
{
    runs.push_back(job);
    platform::ProcessResult r = defaultResult;
    if (!results.empty()) {
        r = results.front();
        results.pop_front();
    }
    // A program that did not start writes nothing.
    if (r.started && onRun)
        onRun(job);
    return r;
}

platform::DetachedResult FakeProcessRunner::startDetached(const std::string &program,
                                                          const std::vector<std::string> &args,
                                                          const std::string &workDir)
{
    detached.push_back({program, args, workDir});
    if (!detachedResults.empty()) {
        auto r = detachedResults.front();
        detachedResults.pop_front();
        return r;
    }
    return defaultDetached;
}

} // namespace testsupport
