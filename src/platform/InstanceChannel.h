#pragma once
// One window per user: a second start hands its command line to the running
// window over a local socket in a private folder and ends, as desktop
// programs do for "open with". So two instances never share working files.

#include <QByteArray>
#include <QObject>

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QSocketNotifier;

namespace platform {

class InstanceChannel : public QObject {
public:
    // The socket lives in dir, which is created owner-only when missing; a
    // folder that is a link, someone else's or open to others is refused.
    // Starts with the same key (the settings file they share) are one
    // instance; others, as tests with settings of their own, are not.
    explicit InstanceChannel(std::string dir, const std::string &key = {});
    ~InstanceChannel() override;
    // $XDG_RUNTIME_DIR/quorbix, else /tmp/quorbix-<uid>.
    static std::string defaultDir();

    // Either hands args to the running instance (true: this process ends
    // now) or becomes the running instance (false). Without a usable folder
    // it becomes a lone instance (false, not listening). Relative file names
    // are made absolute first, since the other process has another folder.
    bool handOffOrListen(const std::vector<std::string> &args, int timeoutMs = 3000);
    bool listening() const;

    // Receives the command lines of later starts, in order; those that came
    // before it was set are delivered when it is.
    void setReceiver(std::function<void(const std::vector<std::string> &)> receiver);

private:
    struct Peer {
        QSocketNotifier *notifier = nullptr;
        QByteArray buffer;
    };
    void accept();
    void read(int fd);
    void drop(int fd);
    std::string dir_;
    std::string name_; // of the socket and its lock in dir_
    // A plain Unix socket: Qt's local sockets would load the network
    // library and its Kerberos and proxy libraries for this alone.
    int listenFd_ = -1;
    dev_t socketDev_ = 0;
    ino_t socketIno_ = 0;
    QSocketNotifier *listener_ = nullptr;
    std::map<int, Peer> peers_;
    std::function<void(const std::vector<std::string> &)> receiver_;
    std::vector<std::vector<std::string>> pending_;
};

} // namespace platform
