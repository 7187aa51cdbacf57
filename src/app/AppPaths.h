#pragma once
// Where Quorbix finds its program files and keeps the user's files.
//
// Installed (<prefix>/bin/quorbix): program files in <prefix>/share/quorbix,
// pgp in <prefix>/lib/quorbix. Run from the build tree: both beside the binary.
// The user's files go to their own folders: button files (kept and edited)
// in $XDG_DATA_HOME/quorbix, working files (decrypted text among them) in a
// private $XDG_RUNTIME_DIR/quorbix, else $XDG_STATE_HOME/quorbix. A portable
// copy, whose folder the user may write and which holds a button file
// already, keeps everything beside the binary.

#include <string>

namespace platform {
class Environment;
class FileSystem;
} // namespace platform

namespace app {

struct PathInputs {
    std::string programDir; // the running binary's folder, no trailing "/"
    std::string home, xdgDataHome, xdgStateHome, xdgRuntimeDir;
};

struct AppPaths {
    std::string dataDir; // help pages, MakeID.pif, the default button tables
    std::string userDir; // Buttons.qxd, Buttons.qxe, Debug.log
    std::string workDir; // out.txt, Tree.txt, ID.txt, MakeID.bat
    std::string pgpDir;  // the folder of the pgp that came with the program; empty when none
    bool installed = false;
    bool portable = false;
};

// Install layout, relative to the prefix.
inline constexpr const char *kDataSubdir = "share/quorbix";
inline constexpr const char *kPgpSubdir = "lib/quorbix";

PathInputs pathInputs(const platform::Environment &env, const std::string &programDir);

// Decides the folders; creates nothing.
AppPaths choosePaths(const PathInputs &in, const platform::FileSystem &fs);

// Creates the user's folders: the working folder private (0700). Throws
// platform::PlatformError when one cannot be made.
void makeUserFolders(const AppPaths &paths, platform::FileSystem &fs);

} // namespace app
