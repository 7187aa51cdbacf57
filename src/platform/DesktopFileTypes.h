#pragma once
// Announcing file types to the Linux desktop: files under the XDG data
// directory (application entries, file-manager menus, a MIME package), the
// default-application list, and the refresh of the desktop's caches.
// Every file written carries a marker, so removal never touches a file that
// another program wrote under the same name.

#include "platform/Platform.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct OwnedFile {
    std::string path;     // relative to the data home ("applications/x.desktop")
    std::string content;  // UTF-8
    bool executable = false;
};

class DesktopFileTypes {
public:
    // Runs a refresh tool with its arguments; the default one runs the tool
    // when it is on PATH and waits for it.
    using ToolRunner = std::function<void(const std::string &tool, const std::vector<std::string> &args)>;

    explicit DesktopFileTypes(const Environment &env, ToolRunner runner = {});

    // $XDG_DATA_HOME, else $HOME/.local/share; $XDG_CONFIG_HOME, else $HOME/.config.
    std::string dataHome() const;
    std::string configHome() const;

    // Writes a file (its directories created), replacing one written before
    // by this program. A file of that name without the marker belongs to
    // someone else: it stays, and PlatformError names it.
    void writeOwned(const OwnedFile &f, const std::string &marker);
    // Removes the file when it carries the marker; whether it did.
    bool removeOwned(const std::string &relPath, const std::string &marker);
    // The files directly in a data-home directory that carry the marker.
    std::vector<std::string> ownedFilesIn(const std::string &relDir, const std::string &marker) const;
    void removeDirIfEmpty(const std::string &relDir);

    // mimeapps.list in the config home: the types open with desktopId by
    // default, replacing whatever opened them before.
    void setDefaultApplication(const std::vector<std::string> &mimeTypes, const std::string &desktopId);
    // Takes the ids out of every association line; other programs' entries stay.
    void removeDefaultApplication(const std::vector<std::string> &desktopIds);

    // update-desktop-database, update-mime-database, kbuildsycoca, where present.
    void refresh();

private:
    std::string home(const char *var, const char *fallback) const;
    const Environment &env_;
    ToolRunner runner_;
};

} // namespace platform
