#pragma once
// The debug report: seventeen fixed lines about the installation. Lines 8 and
// 9 name the program files' and the button files' folders when they are not
// AppDir (the working files' folder).

#include <array>
#include <functional>
#include <string>

namespace platform {
class FileSystem;
}

namespace diag {

inline constexpr int kReportLines = 17;
using ReportLines = std::array<std::string, kReportLines>;

struct DebugReport {
    ReportLines lines;
    // The system's text when the pgp program could not be opened; the report
    // then stops after line 3.
    std::string error;
};

struct ReportInputs {
    std::string appDir, pgpDir, tempDir;
    const platform::FileSystem *fs = nullptr;
    // Makes a directory the process's current one; false when it cannot.
    std::function<bool(const std::string &)> setCurrentDir;
    // Where the program files and the user's button files are; appDir when empty.
    std::string dataDir, userDir;
};

// The program file's name in PgpDir on this platform.
inline constexpr const char *kPgpProgram = "pgp";

DebugReport fillDebugReport(const ReportInputs &in);

// The lines as Debug.log holds them: each followed by CR LF.
std::string debugLogBytes(const ReportLines &lines);

} // namespace diag
