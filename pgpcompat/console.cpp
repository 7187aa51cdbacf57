#include "console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace pgpc {

std::string fmt(const char *format, std::initializer_list<std::string> args)
{
    std::string out;
    auto it = args.begin();
    for (const char *p = format; *p; ++p) {
        if (*p == '%' && it != args.end()) {
            if (p[1] == 's' || p[1] == 'd') {
                out += *it++;
                ++p;
                continue;
            }
            if (p[1] == '4' && p[2] == 'd') {
                std::string v = *it++;
                if (v.size() < 4)
                    out += std::string(4 - v.size(), ' ');
                out += v;
                p += 2;
                continue;
            }
        }
        out += *p;
    }
    return out;
}

void Console::print(const std::string &utf8) const
{
    const std::string text = settings_.latin1 ? utf8ToLatin1(utf8) : utf8;
    std::fwrite(text.data(), 1, text.size(), stderr_ ? stderr : stdout);
}

std::string Console::tr(const char *english, std::initializer_list<std::string> args) const
{
    return fmt(msg(settings_.lang, english), args);
}

void Console::say(const char *english, std::initializer_list<std::string> args) const
{
    line(tr(english, args));
}

bool Console::readLine(std::string &out) const
{
    out.clear();
    if (settings_.batchMode)
        return false;
    std::fflush(stdout);
    int c;
    bool any = false;
    while ((c = std::fgetc(stdin)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        out += char(c);
    }
    if (!out.empty() && out.back() == '\r')
        out.pop_back();
    if (settings_.latin1 && !isValidUtf8(out))
        out = latin1ToUtf8(out);
    return any;
}

bool Console::ask(const std::string &question, bool defaultYes) const
{
    print(question);
    if (settings_.batchMode) {
        line();
        return defaultYes;
    }
    std::string answer;
    if (!readLine(answer))
        return defaultYes;
    if (answer.empty())
        return defaultYes;
    char a = char(std::tolower(static_cast<unsigned char>(answer[0])));
    return a == 'y' || a == 'j';
}

bool Console::readSecret(const std::string &prompt, std::string &out) const
{
    out.clear();
    if (settings_.batchMode)
        return false;
    // Echo goes off before the prompt shows, and typed-ahead input is kept: an answer typed
    // at once is neither shown nor lost.
    termios old{};
    bool tty = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~(ECHO | ECHONL);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    print(prompt);
    std::fflush(stdout);
    // Through stdio like readLine, so typed-ahead answers stay in order.
    bool got = false;
    int ch;
    while ((ch = std::fgetc(stdin)) != EOF) {
        got = true;
        if (ch == '\n')
            break;
        out += char(ch);
    }
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSANOW, &old);
        line();
    }
    if (!out.empty() && out.back() == '\r')
        out.pop_back();
    return got;
}

bool fileExists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool sameFile(const std::string &a, const std::string &b)
{
    if (a == b)
        return true;
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool readFile(const std::string &path, std::string &out)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    ::close(fd);
    return n == 0;
}

bool readPassFd(int fd, std::string &out)
{
    out.clear();
    char ch;
    bool any = false;
    for (;;) {
        ssize_t n = ::read(fd, &ch, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        any = true;
        if (ch == '\n')
            break;
        out += ch;
    }
    if (!out.empty() && out.back() == '\r')
        out.pop_back();
    return any;
}

OutputFile::~OutputFile()
{
    discard();
}

void OutputFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tmp_.empty()) {
        ::unlink(tmp_.c_str());
        tmp_.clear();
    }
    if (!tmpDir_.empty()) {
        ::rmdir(tmpDir_.c_str());
        tmpDir_.clear();
    }
}

static void sayWriteError(const Console &con, const std::string &path, int err);

bool OutputFile::open(const Console &con, std::string path, bool plaintext)
{
    plaintext_ = plaintext;
    const Settings &s = con.settings();
    for (;;) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            break;
        if (S_ISLNK(st.st_mode)) {
            con.say("Output file '%s' is a symbolic link; nothing written.", {path});
            return false;
        }
        // A device or pipe (-o /dev/null) is written as it is: renaming a file over it
        // would replace the device itself.
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
            fd_ = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd_ < 0) {
                sayWriteError(con, path, errno);
                return false;
            }
            path_ = path;
            direct_ = true;
            return true;
        }
        if (s.force)
            break;
        if (s.batchMode) {
            con.say("Output file '%s' already exists.", {path});
            return false;
        }
        if (con.ask(con.tr("Output file '%s' already exists.  Overwrite (y/N)? ", {path})))
            break;
        con.print(con.tr("Enter new file name: "));
        std::string name;
        if (!con.readLine(name) || name.empty())
            return false;
        path = name;
    }
    path_ = path;
    auto slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    // The temporary file sits in a directory of its own that only we can enter, so gpg may
    // open it by name: nobody can put a link in its place in between.
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "/.pgp%ld.%d.d", long(getpid()), attempt);
        std::string d = dir + name;
        if (::mkdir(d.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            break;
        }
        std::string t = d + "/out.tmp";
        int fd = ::open(t.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            fd_ = fd;
            tmp_ = t;
            tmpDir_ = d;
            return true;
        }
        ::rmdir(d.c_str());
        break;
    }
    con.say("Error writing file '%s'.", {path});
    return false;
}

static void sayWriteError(const Console &con, const std::string &path, int err)
{
    con.say("Error writing file '%s'.", {path});
    if (err)
        con.line(std::strerror(err));
}

bool OutputFile::write(const Console &con, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            sayWriteError(con, path_, n < 0 ? errno : EIO);
            discard();
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool OutputFile::commit(const Console &con)
{
    if (fd_ < 0)
        return false;
    if (direct_) {
        int err = ::close(fd_) != 0 ? errno : 0;
        fd_ = -1;
        if (err)
            sayWriteError(con, path_, err);
        return err == 0;
    }
    if (!plaintext_) {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    // A disk that fills up may say so only now (network file systems do).
    int err = ::close(fd_) != 0 ? errno : 0;
    fd_ = -1;
    // The name was checked when opening; a link planted since is replaced, never followed.
    if (err || ::rename(tmp_.c_str(), path_.c_str()) != 0) {
        sayWriteError(con, path_, err ? err : errno);
        discard();
        return false;
    }
    tmp_.clear();
    discard(); // the empty directory
    return true;
}

} // namespace pgpc
