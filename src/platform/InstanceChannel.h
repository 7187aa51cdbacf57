#pragma once
// One window per user: a second start hands its command line to the running
// window over a local socket in a private folder and ends, as desktop
// programs do for "open with". So two instances never share working files.

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;

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
    void accept();
    std::string dir_;
    std::string name_; // of the socket and its lock in dir_
    std::unique_ptr<QLocalServer> server_;
    std::function<void(const std::vector<std::string> &)> receiver_;
    std::vector<std::vector<std::string>> pending_;
};

} // namespace platform
