// Recording stand-in for the PGP program (built as tests/fakepgp/pgp).
//
// Each run appends one record to the file named by QUORBIX_FAKEPGP_LOG:
//
//   run
//   arg <text>            one line per argv entry, argv[0] first
//   cwd <text>
//   passfd <n>            the PGPPASSFD value, when set
//   passdata <text>       everything read from that descriptor until end of file
//   pgppass <text>        PGPPASS, when set
//   pgppath <text>        PGPPATH, when set
//   cmdline <text>        one line per entry of /proc/self/cmdline
//   stdin-tty <0|1>
//   stdout-tty <0|1>
//   end <ns>              CLOCK_REALTIME just before exit, in nanoseconds
//
// Texts are escaped: "\\" backslash, "\n" line feed, "\r" carriage return,
// "\t" tab, "\xHH" any other byte below 0x20 or 0x7F. FakePgpLog.h reads it.
//
// Then it follows the script named by QUORBIX_FAKEPGP_SCRIPT, one directive a
// line, in order; blank lines and lines starting with "#" are skipped. Texts
// use the escapes above plus "\s" for a blank in a path. Before a directive is
// run, "${1}".."${9}" become argv entries (1 = first argument), "${LAST}" the
// last argument, "${STEM}" the last argument without its extension,
// "${STEM2}" the second argument without it, "${CWD}" the working directory.
//
//   stdout <text>          write the text and "\n" to standard output
//   rawout <text>          write the text to standard output as it stands
//   stderr <text>          the same to standard error
//   write <path> <text>    create/truncate the file (relative to cwd) with the text
//   append <path> <text>   append the text to the file
//   copy <from> <to>       copy a file
//   readline               read one line from standard input; recorded as "stdin <text>"
//   sleep <ms>             pause
//   when <arg> <directive> run the directive only when some argument equals <arg>
//   exit <n>               stop here with exit code n (the default is 0)
#include "FakePgpLog.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string escape(const std::string &s)
{
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string unescape(const std::string &s) { return testsupport::fakePgpUnescape(s); }

std::string readAll(int fd)
{
    std::string out;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

std::string cwd()
{
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string("?");
}

struct Context {
    std::vector<std::string> argv;
    std::string cwd;
    std::string log;
};

void logLine(const Context &c, const std::string &line)
{
    if (c.log.empty())
        return;
    std::ofstream f(c.log, std::ios::app | std::ios::binary);
    f << line << "\n";
}

// Inserted values are escaped so that a blank in a file name stays inside
// its token.
std::string protect(const std::string &v)
{
    std::string out;
    for (char ch : v) {
        if (ch == '\\')
            out += "\\\\";
        else if (ch == ' ')
            out += "\\s";
        else
            out += ch;
    }
    return out;
}

std::string substitute(const Context &c, const std::string &s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '$' && i + 1 < s.size() && s[i + 1] == '{') {
            std::size_t close = s.find('}', i);
            if (close != std::string::npos) {
                std::string name = s.substr(i + 2, close - i - 2);
                std::string last = c.argv.size() > 1 ? c.argv.back() : std::string();
                if (name == "LAST") {
                    out += protect(last);
                } else if (name.rfind("STEM", 0) == 0) {
                    std::string a = last;
                    if (name.size() > 4) {
                        std::size_t n = std::strtoul(name.c_str() + 4, nullptr, 10);
                        a = n < c.argv.size() ? c.argv[n] : std::string();
                    }
                    std::size_t dot = a.rfind('.');
                    std::size_t slash = a.rfind('/');
                    out += protect(dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                       ? a.substr(0, dot)
                                       : a);
                } else if (name == "CWD") {
                    out += protect(c.cwd);
                } else if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
                    std::size_t n = std::strtoul(name.c_str(), nullptr, 10);
                    if (n < c.argv.size())
                        out += protect(c.argv[n]);
                }
                i = close;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// Splits "word rest" at the first blank.
void split(const std::string &s, std::string &word, std::string &rest)
{
    std::size_t sp = s.find(' ');
    word = s.substr(0, sp);
    rest = sp == std::string::npos ? std::string() : s.substr(sp + 1);
}

[[noreturn]] void finish(const Context &c, int code)
{
    std::fflush(stdout);
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    logLine(c, "end " + std::to_string(static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec));
    std::_Exit(code);
}

void run(const Context &c, const std::string &line)
{
    std::string cmd, rest;
    split(line, cmd, rest);
    if (cmd == "when") {
        std::string arg, directive;
        split(rest, arg, directive);
        arg = unescape(substitute(c, arg));
        for (std::size_t i = 1; i < c.argv.size(); ++i)
            if (c.argv[i] == arg) {
                run(c, directive);
                break;
            }
        return;
    }
    rest = substitute(c, rest);
    if (cmd == "stdout" || cmd == "rawout" || cmd == "stderr") {
        std::string t = unescape(rest) + (cmd == "stdout" ? "\n" : "");
        std::fwrite(t.data(), 1, t.size(), cmd == "stderr" ? stderr : stdout);
    } else if (cmd == "write" || cmd == "append") {
        std::string path, text;
        split(rest, path, text);
        std::ofstream f(unescape(path), (cmd == "write" ? std::ios::trunc : std::ios::app) | std::ios::binary);
        f << unescape(text);
    } else if (cmd == "copy") {
        std::string from, to;
        split(rest, from, to);
        std::ifstream in(unescape(from), std::ios::binary);
        std::ofstream out(unescape(to), std::ios::trunc | std::ios::binary);
        out << in.rdbuf();
    } else if (cmd == "readline") {
        std::string got;
        std::getline(std::cin, got);
        logLine(c, "stdin " + escape(got));
    } else if (cmd == "sleep") {
        ::usleep(static_cast<useconds_t>(std::strtoul(rest.c_str(), nullptr, 10) * 1000));
    } else if (cmd == "exit") {
        finish(c, std::atoi(rest.c_str()));
    } else {
        std::fprintf(stderr, "fakepgp: unknown directive: %s\n", line.c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    Context c;
    c.argv.assign(argv, argv + argc);
    c.cwd = cwd();
    if (const char *log = std::getenv("QUORBIX_FAKEPGP_LOG"))
        c.log = log;

    std::ostringstream rec;
    rec << "run\n";
    for (const auto &a : c.argv)
        rec << "arg " << escape(a) << "\n";
    rec << "cwd " << escape(c.cwd) << "\n";
    if (const char *fd = std::getenv("PGPPASSFD")) {
        rec << "passfd " << escape(fd) << "\n";
        char *end = nullptr;
        long n = std::strtol(fd, &end, 10);
        if (end != fd && *end == '\0' && n >= 0)
            rec << "passdata " << escape(readAll(static_cast<int>(n))) << "\n";
    }
    if (const char *v = std::getenv("PGPPASS"))
        rec << "pgppass " << escape(v) << "\n";
    if (const char *v = std::getenv("PGPPATH"))
        rec << "pgppath " << escape(v) << "\n";
    {
        int fd = ::open("/proc/self/cmdline", O_RDONLY);
        if (fd >= 0) {
            std::string all = readAll(fd);
            ::close(fd);
            std::size_t start = 0;
            while (start < all.size()) {
                std::size_t z = all.find('\0', start);
                if (z == std::string::npos)
                    z = all.size();
                rec << "cmdline " << escape(all.substr(start, z - start)) << "\n";
                start = z + 1;
            }
        }
    }
    rec << "stdin-tty " << (::isatty(0) ? 1 : 0) << "\n";
    rec << "stdout-tty " << (::isatty(1) ? 1 : 0) << "\n";
    std::string r = rec.str();
    r.pop_back();
    logLine(c, r);

    if (const char *script = std::getenv("QUORBIX_FAKEPGP_SCRIPT")) {
        std::ifstream in(script, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty() || line[0] == '#')
                continue;
            run(c, line);
        }
    }
    finish(c, 0);
}
