#pragma once
// What stands in for the Windows facilities. Everything above this layer talks
// to the system only through these interfaces; tests hand in fakes.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// An error raised by the platform layer; its text is shown as it stands in an
// error box titled with the application title.
class PlatformError : public std::runtime_error {
public:
    enum class Kind {
        Other,
        NotFound,     // the file (or a directory on its path) does not exist
        OpenFailed,   // exists but cannot be opened (access, a planted link)
        CreateFailed, // cannot be created
        Io,           // reading or writing failed part-way
        Registry,     // one of the registry store's four conditions
    };
    explicit PlatformError(const std::string &message) : std::runtime_error(message) {}
    PlatformError(Kind kind, const std::string &message, std::string path = {}, int sysError = 0)
        : std::runtime_error(message), kind_(kind), path_(std::move(path)), sysError_(sysError) {}
    Kind kind() const { return kind_; }
    // The file the error is about, when there is one.
    const std::string &path() const { return path_; }
    // errno of the failing call, 0 when none.
    int sysError() const { return sysError_; }

private:
    Kind kind_ = Kind::Other;
    std::string path_;
    int sysError_ = 0;
};

// The German text of a system error number as the error boxes show it
// ("Datei nicht gefunden" for a missing file).
std::string systemErrorText(int err);

// ---- environment ---------------------------------------------------------

class Environment {
public:
    virtual ~Environment() = default;
    // The raw value, nullopt when unset.
    virtual std::optional<std::string> raw(const std::string &name) const = 0;
};

// A value of up to 226 characters is taken whole; a longer one counts as unset
// (empty), as does a missing one.
std::string envValue(const Environment &env, const std::string &name);

// ---- files ---------------------------------------------------------------

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool exists(const std::string &path) const = 0;
    virtual bool isDirectory(const std::string &path) const = 0;
    // Removes a file; a missing file or a failure is not an error.
    virtual void remove(const std::string &path) = 0;
    // Whole file as bytes; throws PlatformError when it cannot be read.
    virtual std::string readFile(const std::string &path) const = 0;
    // The same for a working file that the program or pgp wrote: a link
    // planted at the path is never followed; only this user's regular file.
    virtual std::string readWorkingFile(const std::string &path) const = 0;
    // Creates or truncates a file readable by its owner only and writes the
    // bytes; a symbolic link at the path is never followed. Throws on failure.
    virtual void writePrivateFile(const std::string &path, const std::string &bytes) = 0;
    // Writes beside the file and renames over it (in place for a hard link, another's file, a sticky folder), mode
    // kept (new: 0644 less umask); a full disk keeps the old content; a link is never followed. Throws on failure.
    virtual void writeFile(const std::string &path, const std::string &bytes) = 0;
    // Writes a temporary file beside the target and renames it over the
    // target, so a crash leaves either the old or the new content.
    virtual void replaceAtomically(const std::string &path, const std::string &bytes,
                                   unsigned mode = 0600) = 0;
    // Removes what replaceAtomically leaves beside the target when the
    // process dies between writing and renaming: that target's temporary
    // files, only regular files of this user, never through a link.
    virtual void removeInterruptedReplacements(const std::string &path) = 0;
    // Overwrites bytes at an offset of an existing file without truncating it.
    virtual void patchFile(const std::string &path, std::uint64_t offset, const std::string &bytes) = 0;
    // Free bytes on the file system holding the path; nullopt when unknown.
    virtual std::optional<std::uint64_t> freeSpace(const std::string &path) const = 0;
    // Whether this user may write the file, or create files in the folder.
    virtual bool isWritable(const std::string &path) const = 0;
    // Creates a folder and its missing parents, each created one mode 0700.
    // A private folder must end as a real folder (not a link) owned by this
    // user, mode 0700; anything else throws PlatformError.
    virtual void makeFolder(const std::string &path, bool privateFolder) = 0;
};

// ---- processes -----------------------------------------------------------

struct ProcessJob {
    std::string program;               // path of the executable
    std::vector<std::string> args;     // arguments, each passed as one argv entry
    std::string workDir;               // working directory
    std::optional<std::string> stdoutFile; // standard output into this file (already created)
    int showState = 0;                 // 0 hidden, 5 shown in a console window
    bool closeOnExit = true;           // console window only: close when the program ends
    std::string consoleTitle = "PGP";  // console window only
    // When set, handed to the program through a pipe named by PGPPASSFD.
    std::optional<std::string> passPhrase;
};

struct ProcessResult {
    bool started = false;
    int exitCode = -1;
    std::string error;          // why the start failed
    bool quitRequested = false; // the application was told to quit during the wait
};

struct DetachedResult {
    bool ok = false;
    int code = 0;    // failure code shown to the user (0..32 on failure)
    std::string error;
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Starts the process and waits for it in a nested event loop, so windows
    // stay live. Returns at once when the start fails.
    virtual ProcessResult runAndWait(const ProcessJob &job) = 0;
    // Starts a program without waiting (the key-list script).
    virtual DetachedResult startDetached(const std::string &program, const std::vector<std::string> &args,
                                         const std::string &workDir) = 0;
};

// ---- help ---------------------------------------------------------------

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // Opens the help file at a context number (anchor "ctx<number>").
    virtual void showContext(const std::string &helpFile, int context) = 0;
    // Shows a context's topic as a small pop-up near the mouse.
    virtual void showPopup(const std::string &helpFile, int context) = 0;
    // Closes any help window showing this file.
    virtual void close(const std::string &helpFile) = 0;
};

// The real implementations, created once by main().
Environment &systemEnvironment();
FileSystem &systemFileSystem();
ProcessRunner &systemProcessRunner();
HelpViewer &systemHelpViewer();

// The platform a window works against; tests fill it with fakes.
struct Services {
    Environment *env = nullptr;
    FileSystem *fs = nullptr;
    ProcessRunner *proc = nullptr;
    HelpViewer *help = nullptr;
    class RegistryStore *registry = nullptr;
};

// The services of the real system.
Services systemServices();

// Starts a shell script detached ("sh script") in a working directory. A
// missing script gives code 2, a missing working directory code 3, as the
// shell reports them.
DetachedResult startScriptDetached(ProcessRunner &runner, const FileSystem &fs, const std::string &script,
                                   const std::string &workDir);

} // namespace platform
