#pragma once
// An in-memory file system with the rules of the real one: writes need an
// existing, writable directory, a symbolic link at the target is refused,
// private files get mode 0600, a failed atomic replace keeps the old content,
// a missing file reads as "Datei nicht gefunden".
//
//   FakeFileSystem fs;
//   fs.mkdirs("/app");
//   fs.addFile("/app/Buttons.qxd", bytes);
//   fs.readOnlyDirs.insert("/app");        // later writes there fail
//   fs.failWrites.insert("/app/out.txt");  // this one fails with an I/O error
//   fs.fullDirs.insert("/tmp");            // writes there find the disk full
//   EXPECT_EQ(fs.content("/app/out.txt"), "...");

#include "platform/Platform.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

class FakeFileSystem : public platform::FileSystem {
public:
    struct Entry {
        std::string bytes;
        unsigned mode = 0644;
        bool symlink = false;
        std::string target; // for a link
    };
    std::map<std::string, Entry> files;
    std::set<std::string> dirs{"/", "."};
    std::set<std::string> readOnlyDirs;
    std::set<std::string> failWrites;
    std::set<std::string> fullDirs;   // writes there fail as on a full disk
    std::optional<std::uint64_t> free = std::uint64_t(1) << 30;
    std::vector<std::string> removed; // every remove() asked for, in order
    int writeCount = 0;                 // successful writes, replaces and patches

    void mkdirs(const std::string &path);
    void addFile(const std::string &path, const std::string &bytes, unsigned mode = 0644);
    void addSymlink(const std::string &path, const std::string &target);
    // Content of a regular file (following one link); throws when missing.
    std::string content(const std::string &path) const;
    unsigned mode(const std::string &path) const;
    bool isSymlink(const std::string &path) const;

    bool exists(const std::string &path) const override;
    bool isDirectory(const std::string &path) const override;
    void remove(const std::string &path) override;
    std::string readFile(const std::string &path) const override;
    std::string readWorkingFile(const std::string &path) const override;
    void writePrivateFile(const std::string &path, const std::string &bytes) override;
    void writeFile(const std::string &path, const std::string &bytes) override;
    void replaceAtomically(const std::string &path, const std::string &bytes, unsigned mode = 0600) override;
    void removeInterruptedReplacements(const std::string &path) override;
    void patchFile(const std::string &path, std::uint64_t offset, const std::string &bytes) override;
    std::optional<std::uint64_t> freeSpace(const std::string &path) const override;
    bool isWritable(const std::string &path) const override;
    void makeFolder(const std::string &path, bool privateFolder) override;

private:
    const Entry *resolve(const std::string &path) const;
    void checkWritable(const std::string &path) const;
};

} // namespace testsupport
