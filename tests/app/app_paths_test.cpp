// Where the program's and the user's files go: installed, build tree,
// portable copy; and a start of the window that puts each file there.
#include "app/AppPaths.h"
#include "buttons/ButtonTable.h"
#include "diag/DebugReport.h"
#include "pgp/LaunchFile.h"
#include "support/FakeEnvironment.h"
#include "support/FakeFileSystem.h"
#include "support/FormFixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using testsupport::FakeFileSystem;

namespace {

app::PathInputs user(const std::string &programDir)
{
    testsupport::FakeEnvironment env;
    env.set("HOME", "/home/ann/");
    env.set("XDG_RUNTIME_DIR", "/run/user/1000");
    return app::pathInputs(env, programDir);
}

} // namespace

TEST(AppPaths, InstalledProgramKeepsNothingUnderItsPrefix)
{
    FakeFileSystem fs;
    fs.mkdirs("/usr/bin");
    fs.mkdirs("/usr/share/quorbix");
    fs.addFile("/usr/lib/quorbix/pgp", "elf");
    fs.mkdirs("/run/user/1000");
    fs.readOnlyDirs = {"/usr/bin", "/usr/share/quorbix", "/usr/lib/quorbix"};

    app::AppPaths p = app::choosePaths(user("/usr/bin"), fs);
    EXPECT_TRUE(p.installed);
    EXPECT_FALSE(p.portable);
    EXPECT_EQ(p.dataDir, "/usr/share/quorbix");
    EXPECT_EQ(p.pgpDir, "/usr/lib/quorbix");
    EXPECT_EQ(p.userDir, "/home/ann/.local/share/quorbix");
    EXPECT_EQ(p.workDir, "/run/user/1000/quorbix");

    // Without a usable runtime folder the state folder; XDG values that are
    // not absolute count as unset.
    app::PathInputs in = user("/usr/bin");
    in.xdgRuntimeDir = "/run/user/gone";
    EXPECT_EQ(app::choosePaths(in, fs).workDir, "/home/ann/.local/state/quorbix");
    fs.readOnlyDirs.insert("/run/user/1000");
    EXPECT_EQ(app::choosePaths(user("/usr/bin"), fs).workDir, "/home/ann/.local/state/quorbix");
    in.xdgRuntimeDir = "run";
    in.xdgDataHome = "data";
    in.xdgStateHome = "/var/state/ann";
    p = app::choosePaths(in, fs);
    EXPECT_EQ(p.userDir, "/home/ann/.local/share/quorbix");
    EXPECT_EQ(p.workDir, "/var/state/ann/quorbix");
    in.xdgDataHome = "/data/ann";
    EXPECT_EQ(app::choosePaths(in, fs).userDir, "/data/ann/quorbix");

    // An installation without its pgp offers no PGP folder.
    fs.remove("/usr/lib/quorbix/pgp");
    EXPECT_EQ(app::choosePaths(user("/usr/bin"), fs).pgpDir, "");

    // A prefix the user owns (~/.local) is no portable copy without a button file.
    fs.mkdirs("/home/ann/.local/bin");
    fs.mkdirs("/home/ann/.local/share/quorbix");
    fs.addFile("/home/ann/.local/lib/quorbix/pgp", "elf");
    p = app::choosePaths(user("/home/ann/.local/bin"), fs);
    EXPECT_TRUE(p.installed);
    EXPECT_FALSE(p.portable);
    EXPECT_EQ(p.dataDir, "/home/ann/.local/share/quorbix");
    EXPECT_EQ(p.pgpDir, "/home/ann/.local/lib/quorbix");

    // Installed straight under "/".
    fs.mkdirs("/share/quorbix");
    p = app::choosePaths(user("/bin"), fs);
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.dataDir, "/share/quorbix");
}

TEST(AppPaths, BuildTreeAndPortableCopy)
{
    FakeFileSystem fs;
    fs.mkdirs("/src/build/bin");
    fs.addFile("/src/build/bin/pgp", "elf");
    fs.mkdirs("/run/user/1000");

    // The build tree: program files and pgp beside the binary, user's files
    // in the user's folders.
    app::AppPaths p = app::choosePaths(user("/src/build/bin/"), fs);
    EXPECT_FALSE(p.installed);
    EXPECT_FALSE(p.portable);
    EXPECT_EQ(p.dataDir, "/src/build/bin");
    EXPECT_EQ(p.pgpDir, "/src/build/bin");
    EXPECT_EQ(p.userDir, "/home/ann/.local/share/quorbix");
    EXPECT_EQ(p.workDir, "/run/user/1000/quorbix");

    // A button file there from an earlier run: everything stays beside it.
    for (const char *name : {"Buttons.qxd", "Buttons.qxe"}) {
        fs.addFile(std::string("/src/build/bin/") + name, "table");
        p = app::choosePaths(user("/src/build/bin"), fs);
        EXPECT_TRUE(p.portable) << name;
        EXPECT_EQ(p.userDir, "/src/build/bin");
        EXPECT_EQ(p.workDir, "/src/build/bin");
        EXPECT_EQ(p.dataDir, "/src/build/bin");
        fs.remove(std::string("/src/build/bin/") + name);
    }
    // ... but not when the user cannot write there: that file only seeds the
    // user's own (see the window test below).
    fs.addFile("/src/build/bin/Buttons.qxd", "table");
    fs.readOnlyDirs.insert("/src/build/bin");
    p = app::choosePaths(user("/src/build/bin"), fs);
    EXPECT_FALSE(p.portable);
    EXPECT_EQ(p.userDir, "/home/ann/.local/share/quorbix");

    // Making the folders: the working one private, nothing for a portable copy.
    app::makeUserFolders(p, fs);
    EXPECT_TRUE(fs.isDirectory("/home/ann/.local/share/quorbix"));
    EXPECT_TRUE(fs.isDirectory("/run/user/1000/quorbix"));
    FakeFileSystem none;
    app::AppPaths portable;
    portable.portable = true;
    portable.userDir = portable.workDir = "/nowhere";
    app::makeUserFolders(portable, none);
    EXPECT_FALSE(none.isDirectory("/nowhere"));
    none.readOnlyDirs.insert("/");
    EXPECT_THROW(app::makeUserFolders(p, none), platform::PlatformError);
}

TEST(AppPaths, WindowPutsEachFileInItsFolder)
{
    // The start-up decides the folders itself when none is handed in. The
    // test program's folder is not on the fake disk: not writable, so the
    // user's folders are used.
    testsupport::FormFixture fx;
    fx.st.appDir.clear();
    fx.env.set("HOME", "/home/ann");
    fx.env.set("XDG_RUNTIME_DIR", "/run/user/1000");
    fx.fs.mkdirs("/run/user/1000");
    const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
    // A user's button table left in the program folder seeds the user's own.
    buttons::ButtonTable seeded = buttons::builtinTable(true);
    seeded[3].title = "&Liste";
    fx.fs.addFile(programDir + "/Buttons.qxd", buttons::encodeTable(seeded));
    fx.fs.addFile(programDir + "/MakeID.pif", "pif");
    fx.fs.readOnlyDirs.insert(programDir);
    // An installed pgp folder the user cannot write, with its launch file.
    std::string pif = pgp::launchFileTemplate();
    pif[pgp::kCloseOnExitOffset] = char(pgp::kCloseOnExitBit);
    fx.fs.addFile("/pgp/PGP.pif", pif);
    fx.fs.readOnlyDirs.insert("/pgp");

    fx.create();
    EXPECT_EQ(fx.st.appDir, "/run/user/1000/quorbix");
    EXPECT_EQ(fx.st.userDir, "/home/ann/.local/share/quorbix");
    EXPECT_EQ(fx.st.dataDir, programDir);
    EXPECT_EQ(fx.st.helpFile, programDir + "/Quorbix.html");
    EXPECT_TRUE(fx.dialogs.shown.empty()) << fx.dialogs.shown.front().text;

    EXPECT_EQ(fx.fs.content("/home/ann/.local/share/quorbix/Buttons.qxd"), buttons::encodeTable(seeded));
    EXPECT_EQ(fx.st.buttons[3].title, "&Liste");
    EXPECT_EQ(fx.fs.mode("/run/user/1000/quorbix/MakeID.bat"), 0600u);
    EXPECT_NE(fx.fs.content("/run/user/1000/quorbix/MakeID.bat").find("/run/user/1000/quorbix/ID.txt"),
              std::string::npos);
    // The launch file: the user's copy of the installed one, flags and all.
    EXPECT_EQ(pgp::launchFilePath(fx.st), "/home/ann/.local/share/quorbix/PGP.pif");
    EXPECT_EQ(fx.fs.content("/home/ann/.local/share/quorbix/PGP.pif"), pif);
    EXPECT_TRUE(pgp::readCloseOnExit(fx.st));
    pgp::SetCloseOnExit(fx.st, false);
    EXPECT_FALSE(pgp::readCloseOnExit(fx.st));
    EXPECT_EQ(fx.fs.content("/pgp/PGP.pif"), pif);

    // Edits are saved where they were read from; the program folder's file stays.
    fx.st.buttons[3].title = "&Mehr";
    buttons::SaveButtonTable(fx.st);
    EXPECT_EQ(fx.fs.content(programDir + "/Buttons.qxd"), buttons::encodeTable(seeded));
    EXPECT_NE(fx.fs.content("/home/ann/.local/share/quorbix/Buttons.qxd").find("&Mehr"), std::string::npos);

    // The shutdown empties the working folder.
    fx.fs.writePrivateFile("/run/user/1000/quorbix/out.txt", "plain");
    fx.destroy();
    for (const char *name : {"out.txt", "ID.txt", "Tree.txt", "MakeID.bat"})
        EXPECT_FALSE(fx.fs.exists(std::string("/run/user/1000/quorbix/") + name)) << name;
    EXPECT_TRUE(fx.fs.exists("/home/ann/.local/share/quorbix/Buttons.qxd"));
}

TEST(AppPaths, DebugReportNamesTheFoldersThatDiffer)
{
    FakeFileSystem fs;
    fs.addFile("/pgp/pgp", "x");
    fs.addFile("/usr/share/quorbix/MakeID.pif", "pif");
    fs.addFile("/run/q/MakeID.bat", "line");
    diag::ReportInputs in{"/run/q", "/pgp", "/tmp", &fs, [](const std::string &) { return true; },
                          "/usr/share/quorbix", "/home/ann/.local/share/quorbix"};
    auto r = diag::fillDebugReport(in);
    EXPECT_EQ(r.lines[0], "/run/q");
    EXPECT_EQ(r.lines[6], "MakeID=True");
    EXPECT_EQ(r.lines[7], "MakeID_pif=True"); // looked for among the program files
    EXPECT_EQ(r.lines[8], "ProgramFiles=/usr/share/quorbix");
    EXPECT_EQ(r.lines[9], "ButtonFiles=/home/ann/.local/share/quorbix");
    EXPECT_EQ(r.lines[10], "");
    // One folder for all, as before: lines 8 and 9 stay empty.
    in.dataDir = in.userDir = "/run/q";
    r = diag::fillDebugReport(in);
    EXPECT_EQ(r.lines[7], "");
    EXPECT_EQ(r.lines[8], "");
    EXPECT_EQ(r.lines[9], "");
}
