// The file-type registration list and its announcement on the desktop.
#include "app/AppState.h"
#include "crypt/RecordingDialogs.h"
#include "settings/FileTypes.h"
#include "support/FakeEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using settings::RegEntry;

namespace {

const std::string kProg = "/opt/quorbix/quorbix";

std::vector<RegEntry> table(bool english)
{
    const std::string pgpDesc = english ? "Quorbix PGP-file" : "Quorbix PGP-Datei";
    const std::string ascDesc = english ? "Quorbix ASC-file" : "Quorbix ASC-Datei";
    const std::string dec = english ? "decrypt" : "Entschlüsseln";
    const std::string add = english ? "Add_key" : "Key_hinzufügen";
    const std::string addText = english ? "Add key" : "Key hinzufügen";
    const std::string zero(4, '\0');
    return {
        {".pgp", "", false, "pgpfile"},
        {".asc", "", false, "ascfile"},
        {"pgpfile", "", false, pgpDesc},
        {"pgpfile", "AlwaysShowExt", false, ""},
        {"pgpfile", "EditFlags", true, zero},
        {"ascfile", "", false, ascDesc},
        {"ascfile", "AlwaysShowExt", false, ""},
        {"ascfile", "EditFlags", true, zero},
        {"pgpfile\\Shell\\" + dec + "\\command", "", false, kProg + " /d %1"},
        {"pgpfile\\Shell\\" + add, "", false, addText},
        {"pgpfile\\Shell\\" + add + "\\command", "", false, kProg + " /k %1"},
        {"pgpfile\\shell\\open\\command", "", false, kProg + " %1"},
        {"ascfile\\Shell\\" + dec + "\\command", "", false, kProg + " /d %1"},
        {"ascfile\\Shell\\" + add, "", false, addText},
        {"ascfile\\Shell\\" + add + "\\command", "", false, kProg + " /k %1"},
        {"ascfile\\shell\\open\\command", "", false, kProg + " %1"},
    };
}

// Every file below a directory, with its content.
std::map<std::string, std::string> tree(const QString &root)
{
    std::map<std::string, std::string> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        QFile f(p);
        f.open(QIODevice::ReadOnly);
        out[QDir(root).relativeFilePath(p).toStdString()] = f.readAll().toStdString();
    }
    return out;
}

void put(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct Desk {
    QTemporaryDir dir;
    testsupport::FakeEnvironment env;
    std::vector<std::string> tools;
    std::unique_ptr<platform::DesktopFileTypes> desk;
    testsupport::RecordingDialogs dialogs;
    app::AppState st;
    Desk()
    {
        env.vars["XDG_DATA_HOME"] = (dir.path() + "/data").toStdString();
        env.vars["XDG_CONFIG_HOME"] = (dir.path() + "/config").toStdString();
        env.vars["HOME"] = dir.path().toStdString();
        desk = std::make_unique<platform::DesktopFileTypes>(
            env, [this](const std::string &tool, const std::vector<std::string> &) { tools.push_back(tool); });
        st.dialogs = &dialogs;
    }
    QString data() const { return dir.path() + "/data"; }
    QString config() const { return dir.path() + "/config"; }
};

} // namespace

TEST(FileTypes, RegistrationListMatchesTheTableInBothLanguages)
{
    EXPECT_EQ(settings::fileTypeRegistration("English", kProg), table(true));
    EXPECT_EQ(settings::fileTypeRegistration("Deutsch", kProg), table(false));
    // Any value other than exactly "English" registers the German names.
    EXPECT_EQ(settings::fileTypeRegistration("english", kProg), table(false));
    EXPECT_EQ(settings::fileTypeRegistration("", kProg), table(false));
    EXPECT_EQ(settings::fileTypeKeys(), (std::vector<std::string>{".asc", ".pgp", "pgpfile", "ascfile"}));
}

TEST(FileTypes, ExecLineQuotesWhatTheDesktopWouldSplit)
{
    EXPECT_EQ(settings::execLine(kProg, " /d %1"), "/opt/quorbix/quorbix /d %f");
    EXPECT_EQ(settings::execLine("/opt/my apps/quorbix", " %1"), "\"/opt/my apps/quorbix\" %f");
    // "$" is escaped inside the quotes, and the backslash once more for the file.
    EXPECT_EQ(settings::execLine("/opt/a$b/q", " /k %1"), "\"/opt/a\\\\$b/q\" /k %f");
    EXPECT_EQ(settings::execLine("/opt/100%/q", " %1"), "/opt/100%%/q %f");
}

TEST(FileTypes, AnnouncementCarriesNamesVerbsAndCommands)
{
    const auto files = settings::desktopAnnouncement(settings::fileTypeRegistration("Deutsch", kProg));
    std::map<std::string, std::string> byPath;
    for (const auto &f : files)
        byPath[f.path] = f.content;
    ASSERT_TRUE(byPath.count("applications/quorbix-pgpfile.desktop"));
    const std::string app = byPath["applications/quorbix-pgpfile.desktop"];
    EXPECT_NE(app.find("Name=Quorbix PGP-Datei\n"), std::string::npos);
    EXPECT_NE(app.find("Exec=/opt/quorbix/quorbix %f\n"), std::string::npos);
    EXPECT_NE(app.find("MimeType=application/pgp-encrypted;\n"), std::string::npos);
    EXPECT_NE(app.find("[Desktop Action decrypt]\nName=Entschlüsseln\nExec=/opt/quorbix/quorbix /d %f\n"),
              std::string::npos);
    EXPECT_NE(app.find("[Desktop Action addkey]\nName=Key hinzufügen\nExec=/opt/quorbix/quorbix /k %f\n"),
              std::string::npos);
    EXPECT_NE(byPath["applications/quorbix-ascfile.desktop"].find("Name=Quorbix ASC-Datei\n"), std::string::npos);
    EXPECT_TRUE(byPath.count("kio/servicemenus/quorbix-ascfile.desktop"));
    ASSERT_TRUE(byPath.count("nautilus/scripts/Quorbix/Entschlüsseln"));
    EXPECT_NE(byPath["nautilus/scripts/Quorbix/Entschlüsseln"].find("'/opt/quorbix/quorbix' /d \"$f\" &"),
              std::string::npos);
    EXPECT_TRUE(byPath.count("nautilus/scripts/Quorbix/Key hinzufügen"));
    for (const auto &f : files)
        EXPECT_NE(f.content.find(settings::kAnnouncementMarker), std::string::npos) << f.path;

    // The desktop's own checker accepts the application entries.
    const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validate.isEmpty()) {
        QTemporaryDir d;
        for (const char *n : {"quorbix-pgpfile.desktop", "quorbix-ascfile.desktop"}) {
            put(d.path() + "/" + n, QByteArray::fromStdString(byPath[std::string("applications/") + n]));
            QProcess p;
            p.start(validate, {d.path() + "/" + n});
            ASSERT_TRUE(p.waitForFinished(10000));
            EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
        }
    }
}

TEST(FileTypes, RegisterTwiceThenOtherLanguageThenUnregister)
{
    Desk d;
    // Another program's files and associations, which must survive.
    put(d.data() + "/applications/other.desktop", "[Desktop Entry]\nName=Other\n");
    put(d.data() + "/nautilus/scripts/Other script", "#!/bin/sh\n");
    put(d.config() + "/mimeapps.list",
        "[Default Applications]\napplication/pgp-encrypted=kleo.desktop;\ntext/plain=gedit.desktop;\n\n"
        "[Added Associations]\napplication/pgp-keys=kleo.desktop;quorbix-ascfile.desktop;\n");
    const auto before = tree(d.data());

    d.st.language = "English";
    settings::RegisterFileTypes(d.st, *d.desk, kProg);
    const auto once = tree(d.data());
    settings::RegisterFileTypes(d.st, *d.desk, kProg);
    EXPECT_EQ(tree(d.data()), once); // one set, not two
    EXPECT_TRUE(once.count("nautilus/scripts/Quorbix/decrypt"));
    EXPECT_TRUE(QFileInfo(d.data() + "/kio/servicemenus/quorbix-pgpfile.desktop").isExecutable());
    QFile m(d.config() + "/mimeapps.list");
    ASSERT_TRUE(m.open(QIODevice::ReadOnly));
    const std::string mime = m.readAll().toStdString();
    m.close();
    // The other program's association is replaced, as the extension key was.
    EXPECT_NE(mime.find("application/pgp-encrypted=quorbix-pgpfile.desktop;"), std::string::npos);
    EXPECT_EQ(mime.find("application/pgp-encrypted=kleo"), std::string::npos);
    EXPECT_NE(mime.find("text/plain=gedit.desktop;"), std::string::npos);

    d.st.language = "Deutsch";
    settings::RegisterFileTypes(d.st, *d.desk, kProg);
    const auto german = tree(d.data());
    for (const auto &[path, content] : german) {
        EXPECT_EQ(path.find("decrypt"), std::string::npos) << path;
        if (path.find("quorbix") != std::string::npos || path.find("Quorbix") != std::string::npos) {
            EXPECT_EQ(content.find("Name=decrypt"), std::string::npos) << path;
            EXPECT_EQ(content.find("Add key"), std::string::npos) << path;
            EXPECT_EQ(content.find("PGP-file"), std::string::npos) << path;
        }
    }
    EXPECT_TRUE(german.count("nautilus/scripts/Quorbix/Entschlüsseln"));
    EXPECT_EQ(d.dialogs.shown.size(), 0u);
    EXPECT_NE(std::find(d.tools.begin(), d.tools.end(), "update-desktop-database"), d.tools.end());
    EXPECT_NE(std::find(d.tools.begin(), d.tools.end(), "update-mime-database"), d.tools.end());

    settings::UnregisterFileTypes(*d.desk);
    EXPECT_EQ(tree(d.data()), before); // exactly what registering wrote is gone
    ASSERT_TRUE(m.open(QIODevice::ReadOnly));
    const std::string after = m.readAll().toStdString();
    EXPECT_EQ(after.find("quorbix"), std::string::npos);
    EXPECT_NE(after.find("text/plain=gedit.desktop;"), std::string::npos);
    EXPECT_NE(after.find("application/pgp-keys=kleo.desktop;"), std::string::npos);

    // Unregistering again finds nothing and says nothing.
    d.tools.clear();
    settings::UnregisterFileTypes(*d.desk);
    EXPECT_EQ(tree(d.data()), before);
    EXPECT_TRUE(d.tools.empty());
    EXPECT_EQ(d.dialogs.shown.size(), 0u);
}

TEST(FileTypes, AForeignFileUnderOurNameStaysAndStopsTheRegistration)
{
    Desk d;
    put(d.data() + "/applications/quorbix-pgpfile.desktop", "[Desktop Entry]\nName=Someone else\n");
    settings::RegisterFileTypes(d.st, *d.desk, kProg);
    ASSERT_EQ(d.dialogs.shown.size(), 1u);
    EXPECT_EQ(d.dialogs.shown[0].kind, "platform");
    EXPECT_NE(d.dialogs.shown[0].text.find("Konnte Daten für '"), std::string::npos);
    EXPECT_NE(d.dialogs.shown[0].text.find("quorbix-pgpfile.desktop' nicht setzen"), std::string::npos);
    const auto t = tree(d.data());
    EXPECT_EQ(t.at("applications/quorbix-pgpfile.desktop"), "[Desktop Entry]\nName=Someone else\n");
    settings::UnregisterFileTypes(*d.desk);
    EXPECT_TRUE(tree(d.data()).count("applications/quorbix-pgpfile.desktop"));
}

TEST(FileTypes, TheDesktopSeesTheRegistration)
{
    const QString gio = QStandardPaths::findExecutable("gio");
    if (gio.isEmpty() || QStandardPaths::findExecutable("update-mime-database").isEmpty())
        GTEST_SKIP() << "gio or update-mime-database missing";
    QTemporaryDir dir;
    testsupport::FakeEnvironment env;
    env.set("XDG_DATA_HOME", (dir.path() + "/data").toStdString());
    env.set("XDG_CONFIG_HOME", (dir.path() + "/config").toStdString());
    platform::DesktopFileTypes desk(env); // the real refresh tools
    testsupport::RecordingDialogs dialogs;
    app::AppState st;
    st.dialogs = &dialogs;
    put(dir.path() + "/x.asc", "hallo\n");
    // The desktop lists only entries whose program exists.
    const std::string program = (dir.path() + "/bin/quorbix").toStdString();
    put(QString::fromStdString(program), "#!/bin/sh\n");
    QFile::setPermissions(QString::fromStdString(program), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    auto ask = [&](const QStringList &args) {
        QProcess p;
        auto e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_DATA_HOME", dir.path() + "/data");
        e.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        e.insert("HOME", dir.path());
        p.setProcessEnvironment(e);
        p.start(gio, args);
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString typeBefore = ask({"info", "-a", "standard::content-type", dir.path() + "/x.asc"});

    settings::RegisterFileTypes(st, desk, program);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(ask({"mime", "application/pgp-encrypted"}).contains("“application/pgp-encrypted”: quorbix-pgpfile.desktop"));
    EXPECT_TRUE(ask({"mime", "application/pgp-keys"}).contains(": quorbix-ascfile.desktop"));
    EXPECT_TRUE(ask({"info", "-a", "standard::content-type", dir.path() + "/x.asc"}).contains("application/pgp-keys"));

    settings::UnregisterFileTypes(desk);
    EXPECT_FALSE(ask({"mime", "application/pgp-encrypted"}).contains("quorbix"));
    // Nothing is left of it, neither the association list nor the caches
    // the refresh tools wrote for it.
    EXPECT_TRUE(tree(dir.path() + "/data").empty());
    EXPECT_TRUE(QDir(dir.path() + "/data").isEmpty()) << "folders left behind";
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/config/mimeapps.list"));
    EXPECT_EQ(ask({"info", "-a", "standard::content-type", dir.path() + "/x.asc"}), typeBefore);
}
