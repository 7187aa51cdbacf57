#include "app/AppPaths.h"

#include "platform/Platform.h"

namespace app {

namespace {

std::string parentOf(const std::string &dir)
{
    const auto slash = dir.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return dir.substr(0, slash);
}

std::string lastPart(const std::string &dir)
{
    const auto slash = dir.rfind('/');
    return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

// XDG base folders must be absolute; a relative value counts as unset.
std::string baseDir(const std::string &value, const std::string &home, const char *fallback)
{
    if (!value.empty() && value[0] == '/')
        return value;
    return home + fallback;
}

std::string trimmed(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

bool holdsPgp(const platform::FileSystem &fs, const std::string &dir)
{
    const std::string p = dir + "/pgp";
    return fs.exists(p) && !fs.isDirectory(p);
}

} // namespace

PathInputs pathInputs(const platform::Environment &env, const std::string &programDir)
{
    // Raw values: a long folder name is still a folder name.
    auto get = [&](const char *name) { return env.raw(name).value_or(""); };
    PathInputs in;
    in.programDir = trimmed(programDir);
    in.home = trimmed(get("HOME"));
    in.xdgDataHome = trimmed(get("XDG_DATA_HOME"));
    in.xdgStateHome = trimmed(get("XDG_STATE_HOME"));
    in.xdgRuntimeDir = trimmed(get("XDG_RUNTIME_DIR"));
    return in;
}

AppPaths choosePaths(const PathInputs &in, const platform::FileSystem &fs)
{
    AppPaths p;
    const std::string prefix = parentOf(in.programDir);
    const std::string installedData = (prefix == "/" ? "" : prefix) + "/" + kDataSubdir;
    p.installed = lastPart(in.programDir) == "bin" && fs.isDirectory(installedData);
    p.dataDir = p.installed ? installedData : in.programDir;

    const std::string bundledPgp = p.installed ? (prefix == "/" ? "" : prefix) + "/" + kPgpSubdir : in.programDir;
    if (holdsPgp(fs, bundledPgp))
        p.pgpDir = bundledPgp;

    p.portable = fs.isWritable(in.programDir)
                 && (fs.exists(in.programDir + "/Buttons.qxd") || fs.exists(in.programDir + "/Buttons.qxe"));
    if (p.portable) {
        p.userDir = p.workDir = in.programDir;
        return p;
    }
    p.userDir = baseDir(in.xdgDataHome, in.home, "/.local/share") + "/quorbix";
    // The runtime folder is the user's own, in memory, and gone at log-out:
    // the best place for decrypted text. Without it, the state folder.
    if (!in.xdgRuntimeDir.empty() && in.xdgRuntimeDir[0] == '/' && fs.isDirectory(in.xdgRuntimeDir)
        && fs.isWritable(in.xdgRuntimeDir))
        p.workDir = in.xdgRuntimeDir + "/quorbix";
    else
        p.workDir = baseDir(in.xdgStateHome, in.home, "/.local/state") + "/quorbix";
    return p;
}

void makeUserFolders(const AppPaths &paths, platform::FileSystem &fs)
{
    if (paths.portable)
        return;
    fs.makeFolder(paths.userDir, false);
    fs.makeFolder(paths.workDir, true);
}

} // namespace app
