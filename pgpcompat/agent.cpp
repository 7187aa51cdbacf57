#include "agent.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace pgpc {

static std::string stripSlashes(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

static std::string absolute(const std::string &p)
{
    if (!p.empty() && p[0] == '/')
        return stripSlashes(p);
    char buf[4096];
    if (!getcwd(buf, sizeof buf))
        return stripSlashes(p);
    return stripSlashes(std::string(buf) + "/" + p);
}

// What gpgconf itself says; only for the layouts not worked out below.
static std::string askGpgconf()
{
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, pipefd[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char *argv[] = {"gpgconf", "--list-dirs", "agent-socket", nullptr};
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "gpgconf", &fa, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(pipefd[1]);
    std::string out;
    if (rc == 0) {
        char buf[512];
        ssize_t n;
        while ((n = read(pipefd[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                out.append(buf, size_t(n));
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    close(pipefd[0]);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    // gpgconf percent-escapes special characters.
    std::string plain;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '%' && i + 2 < out.size() && std::isxdigit(static_cast<unsigned char>(out[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(out[i + 2]))) {
            plain += char(std::stoi(out.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            plain += out[i];
        }
    }
    return plain;
}

// GnuPG puts the sockets below /run/user/<uid>/gnupg when that directory is the user's,
// else into the home itself. A home other than the default gets a hashed subdirectory there,
// which gpgconf names for us.
std::string agentSocketPath(const std::string &homeDir, const std::string &defaultHome)
{
    const std::string home = absolute(homeDir);
    const uid_t uid = getuid();
    std::string run;
    struct stat st;
    for (const char *base : {"/run", "/var/run"}) {
        std::string p = std::string(base) + "/user/" + std::to_string(uid);
        if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            run = p;
            break;
        }
    }
    std::string path;
    if (run.empty() || st.st_uid != uid) {
        path = home + "/S.gpg-agent";
    } else if (home == absolute(defaultHome) && stat((run + "/gnupg").c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
               st.st_uid == uid && !(st.st_mode & (S_IRWXG | S_IRWXO))) {
        path = run + "/gnupg/S.gpg-agent";
    } else {
        path = askGpgconf();
    }
    if (path.empty() || path.size() >= sizeof(sockaddr_un::sun_path))
        path = askGpgconf();
    return followSocketRedirect(path);
}

std::string followSocketRedirect(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 4096)
        return path;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return path;
    char buf[4097];
    ssize_t n = read(fd, buf, 4096);
    close(fd);
    if (n <= 0)
        return path;
    std::string text(buf, size_t(n));
    if (text.rfind("%Assuan%\n", 0) != 0)
        return path;
    size_t p = text.find("\nsocket=");
    if (p == std::string::npos)
        return path;
    p += 8;
    size_t e = text.find('\n', p);
    return text.substr(p, e == std::string::npos ? std::string::npos : e - p);
}

AgentSession::~AgentSession()
{
    if (fd_ >= 0) {
        send(fd_, "BYE\n", 4, MSG_NOSIGNAL);
        close(fd_);
    }
}

bool AgentSession::readLine(std::string &line)
{
    for (;;) {
        size_t nl = buf_.find('\n');
        if (nl != std::string::npos) {
            line = buf_.substr(0, nl);
            buf_.erase(0, nl + 1);
            return true;
        }
        char tmp[4096];
        ssize_t n = read(fd_, tmp, sizeof tmp);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buf_.append(tmp, size_t(n));
    }
}

// Collects status lines up to the final OK or ERR; comments and data are skipped.
bool AgentSession::response(std::vector<std::string> *status, std::string *error)
{
    std::string line;
    while (readLine(line)) {
        if (line == "OK" || line.rfind("OK ", 0) == 0)
            return true;
        if (line.rfind("ERR", 0) == 0) {
            if (error)
                *error = line;
            return false;
        }
        if (line.rfind("S ", 0) == 0 && status)
            status->push_back(line.substr(2));
        if (line.rfind("INQUIRE", 0) == 0) { // nothing to give: end it
            if (send(fd_, "CAN\n", 4, MSG_NOSIGNAL) < 0)
                break;
        }
    }
    if (error)
        *error = "the agent closed the connection";
    return false;
}

bool AgentSession::open(const std::string &socketPath, std::string *error)
{
    sockaddr_un addr{};
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) {
        if (error)
            *error = "no agent socket";
        return false;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        if (error)
            *error = std::strerror(errno);
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        return false;
    }
    // A hung agent must not hang pgp.
    timeval tv{30, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (!response(nullptr, error)) { // the greeting
        close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

bool AgentSession::request(const std::string &line, std::vector<std::string> *status, std::string *error)
{
    if (fd_ < 0 || line.find('\n') != std::string::npos) {
        if (error)
            *error = "no agent connection";
        return false;
    }
    const std::string req = line + "\n";
    size_t done = 0;
    while (done < req.size()) {
        ssize_t n = send(fd_, req.data() + done, req.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (error)
                *error = std::strerror(errno);
            return false;
        }
        done += size_t(n);
    }
    return response(status, error);
}

} // namespace pgpc
