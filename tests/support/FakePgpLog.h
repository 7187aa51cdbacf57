#pragma once
// Reads the records that the recording stand-in for PGP (fakepgp.cpp)
// appends to QUORBIX_FAKEPGP_LOG, so tests can compare exact argument lists.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct FakePgpRun {
    std::vector<std::string> argv;    // argv[0] first
    std::string cwd;
    std::optional<std::string> passFd;   // the PGPPASSFD value
    std::optional<std::string> passData; // what came through that descriptor
    std::optional<std::string> pgpPass;
    std::optional<std::string> pgpPath;
    std::vector<std::string> cmdline; // /proc/self/cmdline entries
    std::vector<std::string> stdinLines;
    bool stdinTty = false;
    bool stdoutTty = false;
    std::int64_t endNs = 0;           // CLOCK_REALTIME at exit; 0 if not reached

    // Arguments without argv[0].
    std::vector<std::string> args() const
    {
        return argv.empty() ? argv : std::vector<std::string>(argv.begin() + 1, argv.end());
    }
};

// The log's escapes, and the scripts' ("\s" for a blank in a path as well).
inline std::string fakePgpUnescape(const std::string &s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char n = s[++i];
        switch (n) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 's': out += ' '; break;
        case 'x':
            if (i + 2 < s.size()) {
                out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            }
            break;
        default: out += n;
        }
    }
    return out;
}

inline std::vector<FakePgpRun> readFakePgpLog(const std::string &path)
{
    std::vector<FakePgpRun> runs;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::size_t sp = line.find(' ');
        std::string tag = line.substr(0, sp);
        std::string val = sp == std::string::npos ? std::string() : fakePgpUnescape(line.substr(sp + 1));
        if (tag == "run") {
            runs.emplace_back();
            continue;
        }
        if (runs.empty())
            continue;
        FakePgpRun &r = runs.back();
        if (tag == "arg") r.argv.push_back(val);
        else if (tag == "cwd") r.cwd = val;
        else if (tag == "passfd") r.passFd = val;
        else if (tag == "passdata") r.passData = val;
        else if (tag == "pgppass") r.pgpPass = val;
        else if (tag == "pgppath") r.pgpPath = val;
        else if (tag == "cmdline") r.cmdline.push_back(val);
        else if (tag == "stdin") r.stdinLines.push_back(val);
        else if (tag == "stdin-tty") r.stdinTty = val == "1";
        else if (tag == "stdout-tty") r.stdoutTty = val == "1";
        else if (tag == "end") r.endNs = std::strtoll(val.c_str(), nullptr, 10);
    }
    return runs;
}

// Path of the built stand-in.
inline std::string fakePgpProgram()
{
#ifdef QUORBIX_FAKEPGP_DIR
    return std::string(QUORBIX_FAKEPGP_DIR) + "/pgp";
#else
    return "pgp";
#endif
}

} // namespace testsupport
