// Files on the local file system. Writes never follow a symbolic link at the
// target path, and private files are refused when someone else owns them, so a
// name planted in a shared directory cannot redirect plain text.
#include "platform/Platform.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {

std::string systemErrorText(int err)
{
    switch (err) {
    case ENOENT: return "Datei nicht gefunden";
    case ENOTDIR: return "Pfad nicht gefunden";
    case EACCES:
    case EPERM: return "Zugriff verweigert";
    case ELOOP: return "Symbolische Verknüpfung wird nicht verfolgt";
    case EISDIR: return "Ist ein Verzeichnis";
    case ENOSPC: return "Nicht genügend Speicherplatz auf dem Datenträger";
    case EDQUOT: return "Speicherkontingent überschritten";
    case EROFS: return "Datenträger ist schreibgeschützt";
    case EEXIST: return "Datei existiert bereits";
    case ENAMETOOLONG: return "Dateiname zu lang";
    case EIO: return "E/A-Fehler";
    default: return std::string("E/A-Fehler ") + std::to_string(err) + " (" + std::strerror(err) + ")";
    }
}

namespace {

// mkostemp's template: six characters of [A-Za-z0-9] replace the X's.
constexpr const char *kReplaceSuffix = ".tmpXXXXXX";

bool isReplacementName(const std::string &name, const std::string &stem)
{
    if (name.size() != stem.size() + 6 || name.compare(0, stem.size(), stem) != 0)
        return false;
    for (std::size_t i = stem.size(); i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

std::string dirOf(const std::string &path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The error names the file, except a missing file that is read: that one
// shows the plain system text as the error boxes always did.
[[noreturn]] void fail(PlatformError::Kind kind, const std::string &path, int err, bool plain = false)
{
    if (plain)
        throw PlatformError(kind, systemErrorText(err), path, err);
    throw PlatformError(kind, systemErrorText(err) + ": " + path, path, err);
}

PlatformError::Kind openKind(int err, bool creating)
{
    if (err == ENOENT || err == ENOTDIR)
        return PlatformError::Kind::NotFound;
    if (err == ELOOP)
        return PlatformError::Kind::OpenFailed;
    return creating ? PlatformError::Kind::CreateFailed : PlatformError::Kind::OpenFailed;
}

void writeAll(int fd, const std::string &bytes, const std::string &path)
{
    const char *p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            fail(PlatformError::Kind::Io, path, err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void closeChecked(int fd, const std::string &path)
{
    if (::close(fd) != 0 && errno != EINTR)
        fail(PlatformError::Kind::Io, path, errno);
}

// Opens for writing without following a link at the path; only regular
// files. Truncates only after the checks, so a refused file keeps its content.
int openForWrite(const std::string &path, int extraFlags, mode_t mode, bool privateFile, bool truncate)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | extraFlags, mode);
    if (fd < 0) {
        int err = errno;
        fail(openKind(err, (extraFlags & O_CREAT) != 0), path, err);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw PlatformError(PlatformError::Kind::OpenFailed, "Keine gewöhnliche Datei: " + path, path);
    }
    if (privateFile) {
        if (st.st_uid != ::geteuid()) {
            ::close(fd);
            throw PlatformError(PlatformError::Kind::OpenFailed,
                                "Die Datei gehört einem anderen Benutzer: " + path, path, EPERM);
        }
        if ((st.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0) {
            int err = errno;
            ::close(fd);
            fail(PlatformError::Kind::OpenFailed, path, err);
        }
    }
    if (truncate && ::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        fail(PlatformError::Kind::Io, path, err);
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

class SystemFileSystem : public FileSystem {
public:
    bool exists(const std::string &path) const override
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    bool isDirectory(const std::string &path) const override
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    void remove(const std::string &path) override { ::unlink(path.c_str()); }

    std::string readFile(const std::string &path) const override { return read(path, false); }
    std::string readWorkingFile(const std::string &path) const override { return read(path, true); }

    std::string read(const std::string &path, bool working) const
    {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (working ? O_NOFOLLOW | O_NONBLOCK : 0));
        if (fd < 0) {
            int err = errno;
            fail(openKind(err, false), path, err, err == ENOENT);
        }
        struct stat st {};
        if (working && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            throw PlatformError(PlatformError::Kind::OpenFailed, "Keine gewöhnliche Datei: " + path, path);
        }
        std::string out;
        char buf[65536];
        for (;;) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                int err = errno;
                ::close(fd);
                fail(err == EISDIR ? PlatformError::Kind::OpenFailed : PlatformError::Kind::Io, path, err);
            }
            if (n == 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return out;
    }

    void writePrivateFile(const std::string &path, const std::string &bytes) override
    {
        int fd = openForWrite(path, O_CREAT, 0600, true, true);
        writeAll(fd, bytes, path);
        closeChecked(fd, path);
    }

    void writeFile(const std::string &path, const std::string &bytes) override
    {
        int fd = openForWrite(path, O_CREAT, 0644, false, true);
        writeAll(fd, bytes, path);
        closeChecked(fd, path);
    }

    void replaceAtomically(const std::string &path, const std::string &bytes, unsigned mode) override
    {
        std::string tmpl = path + kReplaceSuffix;
        int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
        if (fd < 0) {
            int err = errno;
            fail(err == ENOENT ? PlatformError::Kind::NotFound : PlatformError::Kind::CreateFailed, path, err);
        }
        auto abandon = [&](int err) {
            ::close(fd);
            ::unlink(tmpl.c_str());
            fail(PlatformError::Kind::Io, path, err);
        };
        if (::fchmod(fd, static_cast<mode_t>(mode & 07777)) != 0)
            abandon(errno);
        const char *p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            ssize_t n = ::write(fd, p, left);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                abandon(errno);
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        if (::fsync(fd) != 0)
            abandon(errno);
        if (::close(fd) != 0) {
            int err = errno;
            ::unlink(tmpl.c_str());
            fail(PlatformError::Kind::Io, path, err);
        }
        if (::rename(tmpl.c_str(), path.c_str()) != 0) {
            int err = errno;
            ::unlink(tmpl.c_str());
            fail(PlatformError::Kind::Io, path, err);
        }
        // Make the rename itself durable; a failure here loses nothing.
        int dfd = ::open(dirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }

    void removeInterruptedReplacements(const std::string &path) override
    {
        const std::string dir = dirOf(path);
        const auto slash = path.rfind('/');
        const std::string stem = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp";
        DIR *d = ::opendir(dir.c_str());
        if (!d)
            return;
        const int dfd = ::dirfd(d);
        while (const dirent *e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (!isReplacementName(name, stem))
                continue;
            struct stat st {};
            if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
                && st.st_uid == ::geteuid())
                ::unlinkat(dfd, e->d_name, 0);
        }
        ::closedir(d);
    }

    void patchFile(const std::string &path, std::uint64_t offset, const std::string &bytes) override
    {
        int fd = openForWrite(path, 0, 0, false, false);
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                 static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                int err = errno;
                ::close(fd);
                fail(PlatformError::Kind::Io, path, err);
            }
            done += static_cast<std::size_t>(n);
        }
        closeChecked(fd, path);
    }

    std::optional<std::uint64_t> freeSpace(const std::string &path) const override
    {
        struct statvfs vs {};
        if (::statvfs(path.c_str(), &vs) != 0)
            return std::nullopt;
        return static_cast<std::uint64_t>(vs.f_bavail) * static_cast<std::uint64_t>(vs.f_frsize);
    }

    bool isWritable(const std::string &path) const override
    {
        return ::access(path.c_str(), W_OK) == 0;
    }

    void makeFolder(const std::string &path, bool privateFolder) override
    {
        if (path.empty() || path[0] != '/')
            throw PlatformError(PlatformError::Kind::CreateFailed, "Kein absoluter Pfad: " + path, path);
        for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
            const std::string part = path.substr(0, at);
            if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                fail(PlatformError::Kind::CreateFailed, part, errno);
            if (at == std::string::npos)
                break;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            fail(PlatformError::Kind::CreateFailed, path, errno);
        if (!privateFolder) {
            if (!isDirectory(path))
                fail(PlatformError::Kind::CreateFailed, path, ENOTDIR);
            return;
        }
        // A link or someone else's folder at a private name would hand them
        // our working files.
        if (!S_ISDIR(st.st_mode))
            throw PlatformError(PlatformError::Kind::OpenFailed, "Kein eigenes Verzeichnis: " + path, path, ENOTDIR);
        if (st.st_uid != ::geteuid())
            throw PlatformError(PlatformError::Kind::OpenFailed,
                                "Das Verzeichnis gehört einem anderen Benutzer: " + path, path, EPERM);
        if ((st.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
            fail(PlatformError::Kind::OpenFailed, path, errno);
    }
};

} // namespace

FileSystem &systemFileSystem()
{
    static SystemFileSystem fs;
    return fs;
}

} // namespace platform
