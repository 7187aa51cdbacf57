#include "platform/InstanceChannel.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Held while one start decides whether it hands off or listens, so two
// starts at once cannot both listen or remove each other's socket.
class DirLock {
public:
    explicit DirLock(const std::string &path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~DirLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

QByteArray encode(const std::vector<std::string> &args)
{
    QList<QByteArray> list;
    for (const auto &a : args)
        list << QByteArray(a.data(), qsizetype(a.size()));
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s << list;
    return out;
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

InstanceChannel::~InstanceChannel() = default;

std::string InstanceChannel::defaultDir()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    // Beside the working folder, not in it: the socket and its lock are no
    // working files, and the working folder is left empty at exit.
    if (runtime && runtime[0] == '/')
        return std::string(runtime) + "/quorbix-instance";
    return "/tmp/quorbix-instance-" + std::to_string(::geteuid());
}

bool InstanceChannel::listening() const { return server_ && server_->isListening(); }

bool InstanceChannel::handOffOrListen(const std::vector<std::string> &args, int timeoutMs)
{
    if (!privateDir(dir_))
        return false;
    DirLock lock(dir_ + "/" + name_ + ".lock");
    if (!lock.held())
        return false;
    const QString socketPath = QString::fromStdString(dir_ + "/" + name_);

    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (socket.waitForConnected(timeoutMs)) {
        std::vector<std::string> absolute;
        const std::string cwd = QDir::currentPath().toStdString();
        for (const auto &a : args)
            absolute.push_back(!a.empty() && a[0] != '/' ? cwd + "/" + a : a);
        socket.write(encode(absolute));
        socket.flush();
        // The answer says the window has the arguments; without it this
        // start goes on as a window of its own rather than lose them.
        QByteArray answer;
        while (answer.size() < 2 && socket.waitForReadyRead(timeoutMs))
            answer += socket.readAll();
        if (answer.startsWith(kAck))
            return true;
        return false;
    }

    // Nobody answers: a socket left by a process that died is removed.
    QLocalServer::removeServer(socketPath);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath)) {
        server_.reset();
        return false;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, this, [this] { accept(); });
    return false;
}

void InstanceChannel::accept()
{
    while (QLocalSocket *s = server_->nextPendingConnection()) {
        QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        auto read = [this, s, buffer] {
            *buffer += s->readAll();
            QDataStream in(*buffer);
            in.startTransaction();
            QList<QByteArray> list;
            in >> list;
            if (!in.commitTransaction())
                return; // not all there yet
            std::vector<std::string> args;
            for (const auto &a : list)
                args.emplace_back(a.constData(), std::size_t(a.size()));
            buffer->clear();
            s->write(kAck);
            s->flush();
            s->disconnectFromServer();
            if (receiver_)
                receiver_(args);
            else
                pending_.push_back(std::move(args));
        };
        QObject::connect(s, &QLocalSocket::readyRead, this, read);
        if (s->bytesAvailable() > 0)
            read();
    }
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
