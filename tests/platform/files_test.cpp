// Environment values and the file operations of the real system.
#include "platform/Platform.h"
#include "platform/RegistryStore.h"

#include "support/FakeEnvironment.h"
#include "support/FakeFileSystem.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::PlatformError;

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

unsigned modeOf(const std::string &path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> out;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (dirent *e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                out.push_back(e->d_name);
        ::closedir(d);
    }
    return out;
}

} // namespace

TEST(Environment, ValuesLongerThan226CountAsUnset)
{
    testsupport::FakeEnvironment env;
    env.set("PGPPATH", std::string(226, 'p'));
    env.set("Temp", std::string(227, 't'));
    env.set("Tmp", "");
    EXPECT_EQ(platform::envValue(env, "PGPPATH"), std::string(226, 'p'));
    EXPECT_EQ(platform::envValue(env, "Temp"), "");
    EXPECT_EQ(platform::envValue(env, "Tmp"), "");
    EXPECT_EQ(platform::envValue(env, "PGPPASS"), "");

    ::setenv("QUORBIX_TEST_ENV", std::string(227, 'x').c_str(), 1);
    EXPECT_EQ(platform::systemEnvironment().raw("QUORBIX_TEST_ENV")->size(), 227u);
    EXPECT_EQ(platform::envValue(platform::systemEnvironment(), "QUORBIX_TEST_ENV"), "");
    ::setenv("QUORBIX_TEST_ENV", "a b", 1);
    EXPECT_EQ(platform::envValue(platform::systemEnvironment(), "QUORBIX_TEST_ENV"), "a b");
    ::unsetenv("QUORBIX_TEST_ENV");
    EXPECT_FALSE(platform::systemEnvironment().raw("QUORBIX_TEST_ENV"));
}

TEST(FileSystem, PrivateFilesAreOwnerOnlyAndNeverFollowALink)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    auto &fs = platform::systemFileSystem();

    // A file that existed with a wider mode is narrowed.
    spit(dir + "/out.txt", "old");
    ::chmod((dir + "/out.txt").c_str(), 0644);
    fs.writePrivateFile(dir + "/out.txt", "secret text");
    EXPECT_EQ(slurp(dir + "/out.txt"), "secret text");
    EXPECT_EQ(modeOf(dir + "/out.txt"), 0600u);

    // A planted link is refused and its target keeps its content.
    spit(dir + "/target", "untouched");
    ASSERT_EQ(::symlink((dir + "/target").c_str(), (dir + "/QUORBIX.tmp").c_str()), 0);
    for (int plain = 0; plain < 2; ++plain) {
        try {
            if (plain)
                fs.writeFile(dir + "/QUORBIX.tmp", "plain text");
            else
                fs.writePrivateFile(dir + "/QUORBIX.tmp", "plain text");
            ADD_FAILURE() << "write through a link succeeded";
        } catch (const PlatformError &e) {
            EXPECT_EQ(e.kind(), PlatformError::Kind::OpenFailed);
            EXPECT_EQ(e.path(), dir + "/QUORBIX.tmp");
            EXPECT_NE(std::string(e.what()).find("Symbolische Verknüpfung"), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(fs.patchFile(dir + "/QUORBIX.tmp", 0, "x"), PlatformError);
    EXPECT_EQ(slurp(dir + "/target"), "untouched");

    // A working file is read only as the regular file at its name.
    EXPECT_THROW(fs.readWorkingFile(dir + "/QUORBIX.tmp"), PlatformError);
    EXPECT_EQ(fs.readFile(dir + "/QUORBIX.tmp"), "untouched"); // a document may be a link
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    EXPECT_THROW(fs.readWorkingFile(dir + "/fifo"), PlatformError); // and never blocks
    fs.writePrivateFile(dir + "/out.txt", "report");
    EXPECT_EQ(fs.readWorkingFile(dir + "/out.txt"), "report");

    // A dangling link (target not yet there) is refused as well and creates nothing.
    ASSERT_EQ(::symlink((dir + "/later").c_str(), (dir + "/Tree.txt").c_str()), 0);
    EXPECT_THROW(fs.writePrivateFile(dir + "/Tree.txt", "x"), PlatformError);
    EXPECT_FALSE(fs.exists(dir + "/later"));

    // A file planted by another user is not written into.
    if (::geteuid() == 0) {
        spit(dir + "/ID.txt", "theirs");
        ASSERT_EQ(::chown((dir + "/ID.txt").c_str(), 65534, 65534), 0);
        EXPECT_THROW(fs.writePrivateFile(dir + "/ID.txt", "mine"), PlatformError);
        EXPECT_EQ(slurp(dir + "/ID.txt"), "theirs");
    }

    // Missing file and missing directory.
    try {
        fs.readFile(dir + "/none.txt");
        ADD_FAILURE();
    } catch (const PlatformError &e) {
        EXPECT_EQ(e.kind(), PlatformError::Kind::NotFound);
        EXPECT_STREQ(e.what(), "Datei nicht gefunden");
    }
    try {
        fs.writeFile(dir + "/no/such/dir.txt", "x");
        ADD_FAILURE();
    } catch (const PlatformError &e) {
        EXPECT_EQ(e.kind(), PlatformError::Kind::NotFound);
        EXPECT_NE(std::string(e.what()).find(dir + "/no/such/dir.txt"), std::string::npos);
    }
}

TEST(FileSystem, PatchKeepsLengthAndReplaceIsAtomic)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    auto &fs = platform::systemFileSystem();

    std::string pif(968, '\x01');
    fs.writeFile(dir + "/PGP.pif", pif);
    fs.patchFile(dir + "/PGP.pif", 0x63, std::string(1, '\x10'));
    pif[0x63] = '\x10';
    EXPECT_EQ(fs.readFile(dir + "/PGP.pif"), pif);
    try {
        fs.patchFile(dir + "/missing.pif", 0x63, "x");
        ADD_FAILURE();
    } catch (const PlatformError &e) {
        EXPECT_EQ(e.kind(), PlatformError::Kind::NotFound);
    }
    EXPECT_FALSE(fs.exists(dir + "/missing.pif"));

    fs.replaceAtomically(dir + "/Buttons.qxd", "first", 0640);
    EXPECT_EQ(modeOf(dir + "/Buttons.qxd"), 0640u);
    fs.replaceAtomically(dir + "/Buttons.qxd", "second");
    EXPECT_EQ(slurp(dir + "/Buttons.qxd"), "second");
    EXPECT_EQ(modeOf(dir + "/Buttons.qxd"), 0600u);

    // A write that fails part-way (file size limit) leaves the old content
    // and no temporary file behind.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(fs.replaceAtomically(dir + "/Buttons.qxd", std::string(10000, 'x')), PlatformError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(slurp(dir + "/Buttons.qxd"), "second");

    // A read-only directory refuses the temporary file (not for root).
    if (::geteuid() != 0) {
        ::mkdir((dir + "/ro").c_str(), 0700);
        spit(dir + "/ro/Buttons.qxe", "kept");
        ::chmod((dir + "/ro").c_str(), 0500);
        EXPECT_THROW(fs.replaceAtomically(dir + "/ro/Buttons.qxe", "new"), PlatformError);
        ::chmod((dir + "/ro").c_str(), 0700);
        EXPECT_EQ(slurp(dir + "/ro/Buttons.qxe"), "kept");
    }
    // A link at the target is replaced itself, its target stays.
    spit(dir + "/elsewhere", "other");
    ::symlink((dir + "/elsewhere").c_str(), (dir + "/Buttons.qxe").c_str());
    fs.replaceAtomically(dir + "/Buttons.qxe", "table");
    EXPECT_EQ(slurp(dir + "/elsewhere"), "other");
    EXPECT_EQ(slurp(dir + "/Buttons.qxe"), "table");

    auto names = entries(dir);
    for (const auto &n : names)
        EXPECT_EQ(n.find(".tmp"), std::string::npos) << n;

    auto free = fs.freeSpace(dir);
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(fs.freeSpace(dir + "/gone"));
    EXPECT_TRUE(fs.isDirectory(dir));
    EXPECT_FALSE(fs.isDirectory(dir + "/PGP.pif"));
    fs.remove(dir + "/PGP.pif");
    fs.remove(dir + "/PGP.pif"); // a missing file is no error
    EXPECT_FALSE(fs.exists(dir + "/PGP.pif"));
}

namespace {

// Fills the file system holding dir until it has no room left.
void fillDisk(const std::string &file)
{
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
}

ino_t inodeOf(const std::string &path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_ino;
}

} // namespace

TEST(FileSystem, SavedDocumentsKeepTheOldFileOnAFullDisk)
{
    auto &fs = platform::systemFileSystem();
    const char *tiny = std::getenv("QUORBIX_TINY_DISK");
    if (!tiny) {
        // The rules that hold on any disk: mode kept, a hard link stays one
        // file, a link at the name is refused.
        QTemporaryDir tmp;
        const std::string dir = tmp.path().toStdString();
        spit(dir + "/letter.txt", "old");
        ::chmod((dir + "/letter.txt").c_str(), 0640);
        const ino_t before = inodeOf(dir + "/letter.txt");
        fs.writeFile(dir + "/letter.txt", "new");
        EXPECT_EQ(slurp(dir + "/letter.txt"), "new");
        EXPECT_EQ(modeOf(dir + "/letter.txt"), 0640u);
        EXPECT_NE(inodeOf(dir + "/letter.txt"), before); // renamed over, not truncated
        ASSERT_EQ(::link((dir + "/letter.txt").c_str(), (dir + "/alias.txt").c_str()), 0);
        fs.writeFile(dir + "/letter.txt", "linked");
        EXPECT_EQ(slurp(dir + "/alias.txt"), "linked");
        spit(dir + "/target", "other");
        ::symlink((dir + "/target").c_str(), (dir + "/planted.txt").c_str());
        EXPECT_THROW(fs.writeFile(dir + "/planted.txt", "x"), PlatformError);
        EXPECT_EQ(slurp(dir + "/target"), "other");
        for (const auto &n : entries(dir))
            EXPECT_EQ(n.find(".tmp"), std::string::npos) << n;

        // The full disk: this test again, inside a private mount namespace
        // with a 64 KB tmpfs of its own.
        if (std::system("unshare -rm true >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "no private mount namespace here (unshare -rm fails): full disk not tried";
        char self[4096] = {};
        ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
        ::mkdir((dir + "/tiny").c_str(), 0700);
        const std::string cmd = "unshare -rm sh -c 'mount -t tmpfs -o size=64k,mode=0700 quorbix \"$1\" || exit 77; "
                                "QUORBIX_TINY_DISK=\"$1\" exec \"$0\" "
                                "--gtest_filter=FileSystem.SavedDocumentsKeepTheOldFileOnAFullDisk' '"
                                + std::string(self) + "' '" + dir + "/tiny' 2>&1";
        FILE *p = ::popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        const int status = ::pclose(p);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
            GTEST_SKIP() << "tmpfs cannot be mounted here: full disk not tried";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
        EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
        return;
    }

    const std::string dir = tiny;
    const std::string letter = dir + "/letter.txt";
    const std::string old = std::string(2000, 'o') + "\r\n";
    spit(letter, old);
    ::chmod(letter.c_str(), 0640);
    ASSERT_EQ(::link(letter.c_str(), (dir + "/alias.txt").c_str()), 0);
    spit(dir + "/solo.txt", old);
    const std::string reg = dir + "/QUORBIX.reg";
    spit(reg, "REGEDIT4\r\n");
    fillDisk(dir + "/filler");
    const std::string big(40000, 'n');

    auto expectDiskFull = [&](const std::string &path, const std::string &bytes) {
        try {
            fs.writeFile(path, bytes);
            ADD_FAILURE() << path << " written on a full disk";
        } catch (const PlatformError &e) {
            EXPECT_EQ(e.sysError(), ENOSPC) << e.what();
            EXPECT_NE(std::string(e.what()).find("Nicht genügend Speicherplatz"), std::string::npos) << e.what();
        }
    };
    // Through the rename (a file of its own), and in place (a hard link):
    // either way the old content stays whole.
    expectDiskFull(dir + "/solo.txt", big);
    expectDiskFull(dir + "/solo.txt", "short");
    EXPECT_EQ(slurp(dir + "/solo.txt"), old);
    expectDiskFull(letter, big);
    EXPECT_EQ(slurp(letter), old);
    EXPECT_EQ(slurp(dir + "/alias.txt"), old);
    EXPECT_EQ(modeOf(letter), 0640u);
    // A new file leaves nothing behind.
    expectDiskFull(dir + "/new.txt", big);
    EXPECT_FALSE(fs.exists(dir + "/new.txt"));
    auto names = entries(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"QUORBIX.reg", "alias.txt", "filler", "letter.txt", "solo.txt"}));


    // The settings file: the old one stays, and the message names the cause.
    {
        platform::FileRegistryStore store(reg);
        store.writeString(std::string(platform::kQuorbixKey) + "\\Setup", "Browser", std::string(20000, 'b'));
        try {
            store.flush();
            ADD_FAILURE() << "settings written on a full disk";
        } catch (const PlatformError &e) {
            EXPECT_EQ(std::string(e.what()), "Konnte Daten für '" + reg
                                                 + "' nicht setzen: Nicht genügend Speicherplatz auf dem Datenträger");
        }
    }
    EXPECT_EQ(slurp(reg), "REGEDIT4\r\n");

    // With room again the same saves go through.
    ::unlink((dir + "/filler").c_str());
    fs.writeFile(letter, "linked");
    EXPECT_EQ(slurp(dir + "/alias.txt"), "linked");
    fs.writeFile(dir + "/solo.txt", big);
    EXPECT_EQ(slurp(dir + "/solo.txt"), big);
}

TEST(FileSystem, PrivateFoldersAreTheUsersOwnAndNoLink)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const std::string dir = tmp.path().toStdString();
    platform::FileSystem &fs = platform::systemFileSystem();

    // Missing parents are made too, each 0700; an existing folder is tightened.
    const std::string work = dir + "/state/deep/quorbix";
    fs.makeFolder(work, true);
    EXPECT_TRUE(fs.isDirectory(work));
    EXPECT_EQ(modeOf(work), 0700u);
    EXPECT_EQ(modeOf(dir + "/state/deep"), 0700u);
    ::chmod(work.c_str(), 0755);
    fs.makeFolder(work, true);
    EXPECT_EQ(modeOf(work), 0700u);
    EXPECT_TRUE(fs.isWritable(work));

    // A link planted at the private name is refused, its target left alone.
    ASSERT_EQ(::mkdir((dir + "/elsewhere").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((dir + "/elsewhere").c_str(), (dir + "/run").c_str()), 0);
    EXPECT_THROW(fs.makeFolder(dir + "/run", true), PlatformError);
    EXPECT_EQ(modeOf(dir + "/elsewhere"), 0755u);
    // A plain folder may be reached through a link; a file is no folder.
    EXPECT_NO_THROW(fs.makeFolder(dir + "/run", false));
    spit(dir + "/file", "x");
    EXPECT_THROW(fs.makeFolder(dir + "/file", false), PlatformError);
    EXPECT_THROW(fs.makeFolder(dir + "/file/sub", false), PlatformError);
    EXPECT_THROW(fs.makeFolder("relative/dir", true), PlatformError);

    // A folder the user cannot write (root writes everywhere: skip that part).
    if (::geteuid() != 0) {
        ASSERT_EQ(::mkdir((dir + "/ro").c_str(), 0555), 0);
        EXPECT_FALSE(fs.isWritable(dir + "/ro"));
        EXPECT_THROW(fs.makeFolder(dir + "/ro/quorbix", true), PlatformError);
        ::chmod((dir + "/ro").c_str(), 0755);
    }
}

// What a save killed between writing and renaming leaves, and nothing else,
// is removed at the next start: the settings store does so when it opens.
TEST(FileSystem, InterruptedReplacementsAreRemoved)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    const std::string reg = dir + "/QUORBIX.reg";
    spit(reg, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"V\"=\"1\"\r\n");
    for (const char *n : {"QUORBIX.reg.tmpAb12Cd", "QUORBIX.reg.tmp0000zz", "Buttons.qxe.tmpQ1w2E3"})
        spit(dir + "/" + n, "half a file");
    // Not ours to remove: other names, a link, another user's file.
    for (const char *n : {"QUORBIX.reg.tmpAb12C", "QUORBIX.reg.tmpAb12Cde", "QUORBIX.reg.tmp-b12Cd", "Other.reg.tmpAb12Cd",
                          "QUORBIX.reg.damaged"})
        spit(dir + "/" + n, "keep");
    spit(dir + "/target", "keep");
    ASSERT_EQ(::symlink((dir + "/target").c_str(), (dir + "/QUORBIX.reg.tmpLINK00").c_str()), 0);
    if (::geteuid() == 0) {
        spit(dir + "/QUORBIX.reg.tmpNOBODY", "theirs");
        ASSERT_EQ(::chown((dir + "/QUORBIX.reg.tmpNOBODY").c_str(), 65534, 65534), 0);
    }

    platform::FileRegistryStore store(reg);
    EXPECT_EQ(store.readString("HKEY_CURRENT_USER\\A", "V"), "1");
    platform::systemFileSystem().removeInterruptedReplacements(dir + "/Buttons.qxe");
    auto names = entries(dir);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected{"Other.reg.tmpAb12Cd", "QUORBIX.reg", "QUORBIX.reg.damaged",
                                      "QUORBIX.reg.tmp-b12Cd", "QUORBIX.reg.tmpAb12C", "QUORBIX.reg.tmpAb12Cde",
                                      "QUORBIX.reg.tmpLINK00", "target"};
    if (::geteuid() == 0)
        expected.insert(expected.begin() + 7, "QUORBIX.reg.tmpNOBODY");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(slurp(dir + "/target"), "keep");

    // The fake removes the same names.
    testsupport::FakeFileSystem fake;
    fake.mkdirs("/app");
    fake.addFile("/app/Buttons.qxd.tmpAAAAAA", "half");
    fake.addFile("/app/Buttons.qxd.tmpAAAAA", "keep");
    fake.addFile("/app/Buttons.qxd", "table");
    fake.removeInterruptedReplacements("/app/Buttons.qxd");
    EXPECT_FALSE(fake.exists("/app/Buttons.qxd.tmpAAAAAA"));
    EXPECT_TRUE(fake.exists("/app/Buttons.qxd.tmpAAAAA"));
    EXPECT_EQ(fake.content("/app/Buttons.qxd"), "table");
}

TEST(FakeFileSystem, KeepsTheRulesOfTheRealOne)
{
    testsupport::FakeFileSystem fs;
    fs.mkdirs("/app");
    fs.addFile("/app/target", "untouched");
    fs.addSymlink("/app/out.txt", "/app/target");
    EXPECT_THROW(fs.writePrivateFile("/app/out.txt", "x"), PlatformError);
    EXPECT_EQ(fs.content("/app/target"), "untouched");
    EXPECT_EQ(fs.readFile("/app/out.txt"), "untouched"); // reading follows the link
    try {
        fs.readFile("/app/ID.txt");
        ADD_FAILURE();
    } catch (const PlatformError &e) {
        EXPECT_STREQ(e.what(), "Datei nicht gefunden");
        EXPECT_EQ(e.kind(), PlatformError::Kind::NotFound);
    }
    EXPECT_THROW(fs.writeFile("/nodir/x", "x"), PlatformError);
    fs.writePrivateFile("/app/QUORBIX.tmp", "text");
    EXPECT_EQ(fs.mode("/app/QUORBIX.tmp"), 0600u);

    fs.replaceAtomically("/app/Buttons.qxd", "old");
    fs.failWrites.insert("/app/Buttons.qxd");
    EXPECT_THROW(fs.replaceAtomically("/app/Buttons.qxd", "new"), PlatformError);
    EXPECT_EQ(fs.content("/app/Buttons.qxd"), "old");
    fs.failWrites.clear();
    fs.readOnlyDirs.insert("/app");
    EXPECT_THROW(fs.writeFile("/app/Tree.txt", "x"), PlatformError);
    EXPECT_FALSE(fs.exists("/app/Tree.txt"));
    fs.readOnlyDirs.clear();

    fs.addFile("/app/PGP.pif", std::string(968, '\0'));
    fs.patchFile("/app/PGP.pif", 0x63, "\x10");
    EXPECT_EQ(fs.content("/app/PGP.pif").size(), 968u);
    EXPECT_EQ(fs.content("/app/PGP.pif")[0x63], '\x10');
    EXPECT_THROW(fs.patchFile("/app/none.pif", 0x63, "x"), PlatformError);
    EXPECT_EQ(fs.freeSpace("/app"), fs.free);
    EXPECT_FALSE(fs.freeSpace("/gone"));

    EXPECT_TRUE(fs.isWritable("/app"));
    EXPECT_TRUE(fs.isWritable("/app/PGP.pif"));
    EXPECT_FALSE(fs.isWritable("/app/none"));
    fs.readOnlyDirs.insert("/app");
    EXPECT_FALSE(fs.isWritable("/app"));
    EXPECT_FALSE(fs.isWritable("/app/PGP.pif"));
    EXPECT_THROW(fs.makeFolder("/app/sub", true), PlatformError);
    fs.makeFolder("/home/u/.local/state/quorbix", true);
    EXPECT_TRUE(fs.isDirectory("/home/u/.local"));
    EXPECT_THROW(fs.makeFolder("/app/PGP.pif", false), PlatformError);
}
