#pragma once
// The launch file PGP.pif beside pgp in PgpDir: the built-in 968-byte
// template, and the close-on-exit flag at byte 0x63 that decides whether
// PGP's console window closes when PGP ends.

#include <cstddef>
#include <string>

namespace platform {
class FileSystem;
}
namespace app {
struct AppState;
}

namespace pgp {

constexpr std::size_t kLaunchFileSize = 968;
constexpr std::size_t kCloseOnExitOffset = 0x63;
constexpr unsigned char kCloseOnExitBit = 0x10;

// The template as written to PgpDir/PGP.pif: title "PGP", program "PGP.exe".
const std::string &launchFileTemplate();

// The template with another window title (30 bytes, blank padded, cut to 30)
// and program file name (63 bytes, zero terminated, cut to 62).
std::string makeLaunchFile(const std::string &title, const std::string &programFile);

// PgpDir/PGP.pif, unless this user may not write there (a pgp installed for
// all users): then the user's own copy in the user folder.
std::string launchFilePath(const app::AppState &st);

// Writes the template to PgpDir/PGP.pif when it is missing (the user's copy
// starts from the installed PgpDir/PGP.pif when there is one); an existing file
// stays as it is. Reports a PgpDir that does not exist or cannot be written
// through st.dialogs, and "Error #1 (PGP.pif)" when the write left no file.
// An empty PgpDir names no directory: nothing is written or reported.
// Returns whether the file exists afterwards.
bool EnsureLaunchFile(app::AppState &st);

// Replaces byte 0x63 of PgpDir/PGP.pif by 0x10 (close) or 0x00 (stay open).
// Throws platform::PlatformError.
void SetCloseOnExit(app::AppState &st, bool close);

// Bit 0x10 of byte 0x63. A missing or short file reads as the template does:
// the window stays open.
bool readCloseOnExit(const platform::FileSystem &fs, const std::string &pgpDir);
// The same for the launch file in use (launchFilePath).
bool readCloseOnExit(const app::AppState &st);

} // namespace pgp
