#include "diag/DebugReport.h"

#include "platform/Platform.h"

namespace diag {

DebugReport fillDebugReport(const ReportInputs &in)
{
    DebugReport r;
    r.lines[0] = in.appDir;
    if (!in.setCurrentDir || !in.setCurrentDir(in.appDir)) {
        r.lines[1] = "ERROR!";
    } else {
        const auto free = in.fs->freeSpace(in.appDir);
        r.lines[1] = std::to_string(free ? *free / 1024 : 0) + " KByte free.";
    }
    r.lines[3] = in.pgpDir;
    try {
        const std::string program = in.fs->readFile(in.pgpDir + "/" + kPgpProgram);
        r.lines[4] = "FileSize : " + std::to_string(program.size());
    } catch (const platform::PlatformError &e) {
        r.error = e.what();
        return r;
    }
    r.lines[5] = in.tempDir;
    if (in.fs->exists(in.appDir + "/MakeID.bat"))
        r.lines[6] = "MakeID=True";
    const std::string &dataDir = in.dataDir.empty() ? in.appDir : in.dataDir;
    const std::string &userDir = in.userDir.empty() ? in.appDir : in.userDir;
    if (in.fs->exists(dataDir + "/MakeID.pif"))
        r.lines[7] = "MakeID_pif=True";
    if (dataDir != in.appDir)
        r.lines[8] = "ProgramFiles=" + dataDir;
    if (userDir != in.appDir)
        r.lines[9] = "ButtonFiles=" + userDir;
    return r;
}

std::string debugLogBytes(const ReportLines &lines)
{
    std::string out;
    for (const auto &l : lines)
        out += l + "\r\n";
    return out;
}

} // namespace diag
