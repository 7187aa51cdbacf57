#pragma once
// The key-list script MakeID.bat: one line that has pgp list the public key
// ring into AppDir/ID.txt, started by sh in the background.

#include <string>

namespace app {
struct AppState;
}

namespace keys {

// The script's line, LF-ended: pgp's -kv listing into a fresh private file
// that then replaces ID.txt. Paths that a shell would split or interpret are
// single-quoted.
std::string makeIdBatchLine(const std::string &pgpDir, const std::string &appDir);

// Writes AppDir/MakeID.bat anew. Throws platform::PlatformError.
void WriteMakeIdBatch(app::AppState &st);

// Starts "/bin/sh AppDir/MakeID.bat" in PgpDir without waiting; a failed
// start (missing script 2, missing PgpDir 3) is shown by ShowError with
// MsgUserListFailed and the codes (result, 100).
void RunMakeIdBatch(app::AppState &st);

} // namespace keys
