#pragma once
// The .pgp and .asc file types: the registration's keys and values, and how
// they are announced to this desktop.

#include "platform/DesktopFileTypes.h"

#include <string>
#include <vector>

namespace app {
struct AppState;
}

namespace settings {

// One value of the registration. Key names and texts are UTF-8.
struct RegEntry {
    std::string key;   // below the classes root, "\" separated
    std::string name;  // value name; empty for the default value
    bool binary = false;
    std::string data;  // string data, or the bytes of a binary value
    bool operator==(const RegEntry &) const = default;
};

// Every value the registration writes, in the order it writes them, for a
// language setting ("English" for the English names, anything else German)
// and the program's full path.
std::vector<RegEntry> fileTypeRegistration(const std::string &language, const std::string &programPath);

// The keys the unregistration deletes, each with all its subkeys, in order.
std::vector<std::string> fileTypeKeys();

// The marker every announcement file carries.
inline constexpr const char *kAnnouncementMarker = "Quorbix file-type registration";

// The desktop's view of the registration: application entries (open, with
// the two verbs as Desktop Actions), Dolphin service menus, Nautilus scripts
// and a MIME package claiming the two extensions. Paths relative to the data
// home.
std::vector<platform::OwnedFile> desktopAnnouncement(const std::vector<RegEntry> &entries);

// The MIME types a type opens as, and the application entry's id.
struct TypeAnnouncement {
    std::string typeKey;    // "pgpfile"
    std::string desktopId;  // "quorbix-pgpfile.desktop"
    std::vector<std::string> mimeTypes;
};
const std::vector<TypeAnnouncement> &announcedTypes();

// Desktop-entry Exec text for a command line "ProgramPath args %1".
std::string execLine(const std::string &programPath, const std::string &arguments);

// The two operations of the settings dialog's file-type buttons. Register
// first unregisters, then writes everything; a file that cannot be written
// stops it with the error box, keeping what was done before.
void RegisterFileTypes(app::AppState &st, platform::DesktopFileTypes &desk, const std::string &programPath);
void UnregisterFileTypes(platform::DesktopFileTypes &desk);

} // namespace settings
