// Files on the local file system. Writes never follow a symbolic link at the
// target path, and private files are refused when someone else owns them, so a
// name planted in a shared directory cannot redirect plain text.
#include "platform/Platform.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <random>
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
        // What pgp or this program wrote is this user's; anyone else's file
        // at the name was planted.
        if (working && st.st_uid != ::geteuid()) {
            ::close(fd);
            throw PlatformError(PlatformError::Kind::OpenFailed, "Die Datei gehört einem anderen Benutzer: " + path,
                                path, EPERM);
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

    // A file the user keeps: written beside and renamed over, so a full
    // disk leaves the old content in place, never a truncated stub.
    void writeFile(const std::string &path, const std::string &bytes) override
    {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            const int err = errno;
            if (err != ENOENT)
                fail(openKind(err, true), path, err);
            // New: created 0644 less umask, as a plain create would be.
            replaceVia(path, bytes, 0644, std::nullopt, std::nullopt);
            return;
        }
        if (S_ISLNK(st.st_mode))
            fail(PlatformError::Kind::OpenFailed, path, ELOOP);
        if (!S_ISREG(st.st_mode))
            throw PlatformError(PlatformError::Kind::OpenFailed, "Keine gewöhnliche Datei: " + path, path);
        // A rename would split a hard link, make someone else's file ours, or
        // replace a file in a shared sticky folder: write in place there.
        struct stat dir {};
        const bool sticky = ::stat(dirOf(path).c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0;
        if (st.st_nlink > 1 || st.st_uid != ::geteuid() || sticky) {
            writeInPlace(path, bytes);
            return;
        }
        try {
            replaceVia(path, bytes, 0600, static_cast<mode_t>(st.st_mode & 07777), st.st_gid);
        } catch (const PlatformError &e) {
            // A folder we may not write to, holding a file we may: in place.
            if (e.sysError() != EACCES || e.kind() != PlatformError::Kind::CreateFailed)
                throw;
            writeInPlace(path, bytes);
        }
    }

    // Reserves the new length before anything is overwritten, so a full
    // disk is found while the old content is still whole.
    static void writeInPlace(const std::string &path, const std::string &bytes)
    {
        int fd = openForWrite(path, 0, 0, false, false);
        if (!bytes.empty() && ::fallocate(fd, 0, 0, static_cast<off_t>(bytes.size())) != 0
            && errno != EOPNOTSUPP && errno != ENOSYS) {
            const int err = errno;
            ::close(fd);
            fail(PlatformError::Kind::Io, path, err);
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                const int err = errno;
                ::close(fd);
                fail(PlatformError::Kind::Io, path, err);
            }
            done += static_cast<std::size_t>(n);
        }
        if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0) {
            const int err = errno;
            ::close(fd);
            fail(PlatformError::Kind::Io, path, err);
        }
        closeChecked(fd, path);
    }

    // Writes a temporary file beside the target (created with createMode,
    // which the umask limits; then set to keepMode when given), syncs it and
    // renames it over the target. Any failure removes the temporary file.
    static void replaceVia(const std::string &path, const std::string &bytes, mode_t createMode,
                           std::optional<mode_t> keepMode, std::optional<gid_t> keepGroup)
    {
        std::string tmp;
        int fd = createReplacement(path, createMode, tmp);
        auto abandon = [&](int err) {
            ::close(fd);
            ::unlink(tmp.c_str());
            fail(PlatformError::Kind::Io, path, err);
        };
        if (keepGroup && ::fchown(fd, static_cast<uid_t>(-1), *keepGroup) != 0) {
            // Not a member of the file's group: the file becomes ours alone.
        }
        if (keepMode && ::fchmod(fd, *keepMode) != 0)
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
            ::unlink(tmp.c_str());
            fail(PlatformError::Kind::Io, path, err);
        }
        if (::rename(tmp.c_str(), path.c_str()) != 0) {
            int err = errno;
            ::unlink(tmp.c_str());
            fail(PlatformError::Kind::Io, path, err);
        }
        // Make the rename itself durable; a failure here loses nothing.
        int dfd = ::open(dirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
    }

    // path + ".tmp" + six of [A-Za-z0-9], created exclusively, never through
    // a link: the names removeInterruptedReplacements knows.
    static int createReplacement(const std::string &path, mode_t mode, std::string &tmp)
    {
        static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        std::random_device rd;
        int err = EEXIST;
        for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
            tmp = path + ".tmp";
            for (int i = 0; i < 6; ++i)
                tmp += kChars[rd() % (sizeof kChars - 1)];
            int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd >= 0)
                return fd;
            err = errno;
        }
        fail(err == ENOENT || err == ENOTDIR ? PlatformError::Kind::NotFound : PlatformError::Kind::CreateFailed,
             path, err);
    }

    void replaceAtomically(const std::string &path, const std::string &bytes, unsigned mode) override
    {
        replaceVia(path, bytes, 0600, static_cast<mode_t>(mode & 07777), std::nullopt);
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
