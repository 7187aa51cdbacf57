#include "support/FakeFileSystem.h"

#include <cerrno>

namespace testsupport {

using platform::PlatformError;

namespace {

std::string parentOf(const std::string &path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string clean(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

[[noreturn]] void fail(PlatformError::Kind kind, const std::string &path, int err)
{
    if (kind == PlatformError::Kind::NotFound && err == ENOENT)
        throw PlatformError(kind, platform::systemErrorText(err), path, err);
    throw PlatformError(kind, platform::systemErrorText(err) + ": " + path, path, err);
}

} // namespace

void FakeFileSystem::mkdirs(const std::string &path)
{
    std::string p = clean(path);
    while (!p.empty() && p != "/" && p != ".") {
        dirs.insert(p);
        p = parentOf(p);
    }
}

void FakeFileSystem::addFile(const std::string &path, const std::string &bytes, unsigned mode)
{
    mkdirs(parentOf(path));
    files[path] = Entry{bytes, mode, false, {}};
}

void FakeFileSystem::addSymlink(const std::string &path, const std::string &target)
{
    mkdirs(parentOf(path));
    files[path] = Entry{{}, 0777, true, target};
}

const FakeFileSystem::Entry *FakeFileSystem::resolve(const std::string &path) const
{
    auto it = files.find(path);
    if (it == files.end())
        return nullptr;
    if (it->second.symlink) {
        auto t = files.find(it->second.target);
        return t == files.end() || t->second.symlink ? nullptr : &t->second;
    }
    return &it->second;
}

std::string FakeFileSystem::content(const std::string &path) const { return readFile(path); }

unsigned FakeFileSystem::mode(const std::string &path) const
{
    const Entry *e = resolve(path);
    return e ? e->mode : 0;
}

bool FakeFileSystem::isSymlink(const std::string &path) const
{
    auto it = files.find(path);
    return it != files.end() && it->second.symlink;
}

bool FakeFileSystem::exists(const std::string &path) const { return resolve(path) || isDirectory(path); }

bool FakeFileSystem::isDirectory(const std::string &path) const { return dirs.count(clean(path)) > 0; }

void FakeFileSystem::remove(const std::string &path)
{
    removed.push_back(path);
    files.erase(path);
}

std::string FakeFileSystem::readFile(const std::string &path) const
{
    if (isDirectory(path))
        fail(PlatformError::Kind::OpenFailed, path, EISDIR);
    const Entry *e = resolve(path);
    if (!e)
        fail(PlatformError::Kind::NotFound, path, ENOENT);
    return e->bytes;
}

std::string FakeFileSystem::readWorkingFile(const std::string &path) const
{
    if (isSymlink(path))
        fail(PlatformError::Kind::OpenFailed, path, ELOOP);
    return readFile(path);
}

void FakeFileSystem::checkWritable(const std::string &path) const
{
    std::string dir = parentOf(path);
    if (!isDirectory(dir))
        fail(PlatformError::Kind::NotFound, path, ENOTDIR);
    if (readOnlyDirs.count(clean(dir)))
        fail(PlatformError::Kind::CreateFailed, path, EACCES);
    if (isDirectory(path))
        fail(PlatformError::Kind::OpenFailed, path, EISDIR);
    if (failWrites.count(path))
        fail(PlatformError::Kind::Io, path, EIO);
    if (fullDirs.count(clean(dir)))
        fail(PlatformError::Kind::Io, path, ENOSPC);
}

void FakeFileSystem::writePrivateFile(const std::string &path, const std::string &bytes)
{
    checkWritable(path);
    if (isSymlink(path))
        fail(PlatformError::Kind::OpenFailed, path, ELOOP);
    files[path] = Entry{bytes, 0600, false, {}};
    ++writeCount;
}

void FakeFileSystem::writeFile(const std::string &path, const std::string &bytes)
{
    checkWritable(path);
    if (isSymlink(path))
        fail(PlatformError::Kind::OpenFailed, path, ELOOP);
    auto it = files.find(path);
    unsigned mode = it == files.end() ? 0644 : it->second.mode;
    files[path] = Entry{bytes, mode, false, {}};
    ++writeCount;
}

void FakeFileSystem::replaceAtomically(const std::string &path, const std::string &bytes, unsigned mode)
{
    checkWritable(path);
    // The rename replaces a link itself, never its target.
    files[path] = Entry{bytes, mode & 07777, false, {}};
    ++writeCount;
}

void FakeFileSystem::removeInterruptedReplacements(const std::string &path)
{
    // The same names the real one removes: path + ".tmp" + six characters.
    const std::string stem = path + ".tmp";
    for (auto it = files.begin(); it != files.end();) {
        const std::string &name = it->first;
        const bool match = name.size() == stem.size() + 6 && name.compare(0, stem.size(), stem) == 0
            && !it->second.symlink;
        if (match) {
            removed.push_back(name);
            it = files.erase(it);
        } else {
            ++it;
        }
    }
}

void FakeFileSystem::patchFile(const std::string &path, std::uint64_t offset, const std::string &bytes)
{
    auto it = files.find(path);
    if (it == files.end())
        fail(PlatformError::Kind::NotFound, path, ENOENT);
    if (it->second.symlink)
        fail(PlatformError::Kind::OpenFailed, path, ELOOP);
    if (readOnlyDirs.count(clean(parentOf(path))) || failWrites.count(path))
        fail(PlatformError::Kind::Io, path, EACCES);
    std::string &b = it->second.bytes;
    if (b.size() < offset + bytes.size())
        b.resize(offset + bytes.size(), '\0');
    b.replace(offset, bytes.size(), bytes);
    ++writeCount;
}

std::optional<std::uint64_t> FakeFileSystem::freeSpace(const std::string &path) const
{
    if (!exists(path))
        return std::nullopt;
    return free;
}

bool FakeFileSystem::isWritable(const std::string &path) const
{
    if (isDirectory(path))
        return readOnlyDirs.count(clean(path)) == 0;
    return resolve(path) && !failWrites.count(path) && readOnlyDirs.count(clean(parentOf(path))) == 0;
}

void FakeFileSystem::makeFolder(const std::string &path, bool privateFolder)
{
    if (isDirectory(path))
        return;
    if (files.count(path))
        fail(PlatformError::Kind::CreateFailed, path, EEXIST);
    const std::string parent = parentOf(path);
    if (parent != path && !isDirectory(parent))
        makeFolder(parent, privateFolder);
    if (readOnlyDirs.count(clean(parent)))
        fail(PlatformError::Kind::CreateFailed, path, EACCES);
    dirs.insert(clean(path));
}

} // namespace testsupport
