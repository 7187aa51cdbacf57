#include "platform/InstanceChannel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

constexpr const char *kAck = "ok";

bool privateDir(const std::string &dir)
{
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & 077) == 0;
}

// Owns a descriptor and closes it.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Held while one start decides whether it hands off or listens, so two
// starts at once cannot both listen or remove each other's socket.
class DirLock {
public:
    explicit DirLock(const std::string &path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600))
    {
        held_ = fd_.get() >= 0 && ::flock(fd_.get(), LOCK_EX) == 0;
    }
    bool held() const { return held_; }

private:
    Fd fd_;
    bool held_ = false;
};

// The whole message, or nothing: a handed-over command line is small, and a
// peer that sends more than this is not one of ours.
constexpr qsizetype kMaxMessage = 1 << 20;

// A count, then each argument as its length and its bytes; numbers are 32 bits,
// big-endian. Read by hand, so that a length from the socket is checked against
// what arrived before anything is allocated for it.
void put32(QByteArray &out, quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

QByteArray encode(const std::vector<std::string> &args)
{
    QByteArray out;
    put32(out, quint32(args.size()));
    for (const auto &a : args) {
        put32(out, quint32(a.size()));
        out.append(a.data(), qsizetype(a.size()));
    }
    return out;
}

enum class Decoded { Whole, Partial, Broken };

Decoded decode(const QByteArray &bytes, std::vector<std::string> &args)
{
    qsizetype pos = 0;
    auto get32 = [&](quint32 &v) {
        if (bytes.size() - pos < 4)
            return false;
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData() + pos);
        v = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
        pos += 4;
        return true;
    };
    quint32 count = 0;
    if (!get32(count))
        return Decoded::Partial;
    if (count > quint32(kMaxMessage / 4))
        return Decoded::Broken;
    args.clear();
    for (quint32 i = 0; i < count; ++i) {
        quint32 len = 0;
        if (!get32(len))
            return Decoded::Partial;
        if (len > quint32(kMaxMessage))
            return Decoded::Broken;
        if (bytes.size() - pos < qsizetype(len))
            return Decoded::Partial;
        args.emplace_back(bytes.constData() + pos, std::size_t(len));
        pos += qsizetype(len);
    }
    return pos == bytes.size() ? Decoded::Whole : Decoded::Broken;
}

bool socketAddress(const std::string &path, sockaddr_un &addr)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Waits for fd to become ready until the deadline; false on timeout or error.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(left.count()));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

InstanceChannel::InstanceChannel(std::string dir, const std::string &key) : dir_(std::move(dir))
{
    name_ = "instance";
    if (!key.empty())
        name_ += "-" + QCryptographicHash::hash(QByteArray(key.data(), qsizetype(key.size())), QCryptographicHash::Sha1)
                           .toHex()
                           .left(16)
                           .toStdString();
}

InstanceChannel::~InstanceChannel()
{
    for (auto &[fd, peer] : peers_) {
        delete peer.notifier;
        ::close(fd);
    }
    if (listenFd_ < 0)
        return;
    delete listener_;
    ::close(listenFd_);
    // Only our own socket: a later start may already have put its own there.
    const std::string path = dir_ + "/" + name_;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && st.st_dev == socketDev_ && st.st_ino == socketIno_)
        ::unlink(path.c_str());
}

std::string InstanceChannel::defaultDir()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    // Beside the working folder, not in it: the socket and its lock are no
    // working files, and the working folder is left empty at exit.
    if (runtime && runtime[0] == '/')
        return std::string(runtime) + "/quorbix-instance";
    return "/tmp/quorbix-instance-" + std::to_string(::geteuid());
}

bool InstanceChannel::listening() const { return listenFd_ >= 0; }

bool InstanceChannel::handOffOrListen(const std::vector<std::string> &args, int timeoutMs)
{
    if (!privateDir(dir_))
        return false;
    DirLock lock(dir_ + "/" + name_ + ".lock");
    if (!lock.held())
        return false;
    const std::string path = dir_ + "/" + name_;
    sockaddr_un addr;
    if (!socketAddress(path, addr))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);

    {
        Fd sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (sock.get() < 0)
            return false;
        int rc;
        do
            rc = ::connect(sock.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr);
        while (rc != 0 && errno == EINTR);
        if (rc == 0) {
            std::vector<std::string> absolute;
            const std::string cwd = QDir::currentPath().toStdString();
            for (const auto &a : args)
                absolute.push_back(!a.empty() && a[0] != '/' ? cwd + "/" + a : a);
            const QByteArray message = encode(absolute);
            qsizetype sent = 0;
            while (sent < message.size()) {
                if (!waitFor(sock.get(), POLLOUT, deadline))
                    return false;
                const ssize_t n = ::send(sock.get(), message.constData() + sent, size_t(message.size() - sent),
                                         MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n < 0 && errno != EINTR && errno != EAGAIN)
                    return false;
                if (n > 0)
                    sent += n;
            }
            // The answer says the window has the arguments; without it this
            // start goes on as a window of its own rather than lose them.
            std::string answer;
            while (answer.size() < 2 && waitFor(sock.get(), POLLIN, deadline)) {
                char buf[16];
                const ssize_t n = ::recv(sock.get(), buf, sizeof buf, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                    break;
                if (n > 0)
                    answer.append(buf, size_t(n));
            }
            return answer.compare(0, 2, kAck) == 0;
        }
    }

    // Nobody answers: a socket left by a process that died is removed.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode) || ::unlink(path.c_str()) != 0)
            return false;
    }
    Fd server(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (server.get() < 0 || ::bind(server.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
        return false;
    if (::chmod(path.c_str(), 0600) != 0 || ::listen(server.get(), 16) != 0 || ::lstat(path.c_str(), &st) != 0) {
        ::unlink(path.c_str());
        return false;
    }
    socketDev_ = st.st_dev;
    socketIno_ = st.st_ino;
    listenFd_ = server.release();
    listener_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    QObject::connect(listener_, &QSocketNotifier::activated, this, [this] { accept(); });
    return false;
}

void InstanceChannel::accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        ucred cred {};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::geteuid()) {
            ::close(fd);
            continue;
        }
        Peer &p = peers_[fd];
        p.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        QObject::connect(p.notifier, &QSocketNotifier::activated, this, [this, fd] { read(fd); });
    }
}

void InstanceChannel::read(int fd)
{
    auto it = peers_.find(fd);
    if (it == peers_.end())
        return;
    bool closed = false;
    for (;;) {
        char buf[4096];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        if (n < 0 || it->second.buffer.size() + n > kMaxMessage)
            return drop(fd); // broken, or too much for a command line
        if (n == 0) {
            closed = true;
            break;
        }
        it->second.buffer.append(buf, n);
    }
    std::vector<std::string> args;
    const Decoded d = decode(it->second.buffer, args);
    if (d == Decoded::Broken)
        return drop(fd);
    if (d == Decoded::Partial) {
        if (closed)
            drop(fd); // gone before a whole message
        return;
    }
    if (!closed)
        ::send(fd, kAck, 2, MSG_NOSIGNAL | MSG_DONTWAIT);
    drop(fd);
    if (receiver_)
        receiver_(args);
    else
        pending_.push_back(std::move(args));
}

void InstanceChannel::drop(int fd)
{
    auto it = peers_.find(fd);
    if (it == peers_.end())
        return;
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater();
    ::close(fd);
    peers_.erase(it);
}

void InstanceChannel::setReceiver(std::function<void(const std::vector<std::string> &)> receiver)
{
    receiver_ = std::move(receiver);
    if (!receiver_ || pending_.empty())
        return;
    QTimer::singleShot(0, this, [this] {
        auto waiting = std::move(pending_);
        pending_.clear();
        for (const auto &args : waiting)
            if (receiver_)
                receiver_(args);
    });
}

} // namespace platform
