// Desktop file types: marked files under the XDG data home, mimeapps.list,
// cache refresh.
#include "platform/DesktopFileTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace platform {
namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

bool readAll(const QString &path, QByteArray &out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    out = f.readAll();
    return true;
}

void writeAtomically(const QString &path, const QByteArray &bytes, bool executable)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw PlatformError(PlatformError::Kind::CreateFailed,
                            "Konnte Daten für '" + path.toStdString() + "' nicht setzen", path.toStdString());
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (executable)
        p |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QFile::setPermissions(path, p);
}

void runIfPresent(const std::string &tool, const std::vector<std::string> &args)
{
    const QString exe = QStandardPaths::findExecutable(q(tool));
    if (exe.isEmpty())
        return;
    QStringList a;
    for (const auto &s : args)
        a << q(s);
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(exe, a);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(1000);
    }
}

} // namespace

DesktopFileTypes::DesktopFileTypes(const Environment &env, ToolRunner runner)
    : env_(env), runner_(runner ? std::move(runner) : ToolRunner(runIfPresent))
{
}

std::string DesktopFileTypes::home(const char *var, const char *fallback) const
{
    auto v = env_.raw(var);
    if (v && !v->empty() && (*v)[0] == '/')
        return *v;
    auto h = env_.raw("HOME");
    return (h ? *h : std::string()) + fallback;
}

std::string DesktopFileTypes::dataHome() const { return home("XDG_DATA_HOME", "/.local/share"); }
std::string DesktopFileTypes::configHome() const { return home("XDG_CONFIG_HOME", "/.config"); }

void DesktopFileTypes::writeOwned(const OwnedFile &f, const std::string &marker)
{
    const QString path = q(dataHome() + "/" + f.path);
    QByteArray old;
    if (QFileInfo::exists(path) && (!readAll(path, old) || !old.contains(marker.c_str())))
        throw PlatformError(PlatformError::Kind::CreateFailed,
                            "Konnte Daten für '" + path.toStdString() + "' nicht setzen", path.toStdString());
    writeAtomically(path, QByteArray::fromStdString(f.content), f.executable);
}

bool DesktopFileTypes::removeOwned(const std::string &relPath, const std::string &marker)
{
    const QString path = q(dataHome() + "/" + relPath);
    QByteArray old;
    if (!QFileInfo(path).isFile() || !readAll(path, old) || !old.contains(marker.c_str()))
        return false;
    return QFile::remove(path);
}

std::vector<std::string> DesktopFileTypes::ownedFilesIn(const std::string &relDir, const std::string &marker) const
{
    std::vector<std::string> out;
    QDir d(q(dataHome() + "/" + relDir));
    for (const QFileInfo &fi : d.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QByteArray bytes;
        if (readAll(fi.absoluteFilePath(), bytes) && bytes.contains(marker.c_str()))
            out.push_back(relDir + "/" + fi.fileName().toStdString());
    }
    return out;
}

void DesktopFileTypes::removeDirIfEmpty(const std::string &relDir)
{
    QDir().rmdir(q(dataHome() + "/" + relDir)); // fails, harmlessly, when not empty
}

namespace {

// mimeapps.list as lines, edited in place so comments and other sections stay.
struct MimeAppsList {
    QStringList lines;

    int sectionStart(const QString &name) const
    {
        for (int i = 0; i < lines.size(); ++i)
            if (lines[i].trimmed() == "[" + name + "]")
                return i;
        return -1;
    }
    int sectionEnd(int start) const
    {
        int i = start + 1;
        while (i < lines.size() && !lines[i].trimmed().startsWith('['))
            ++i;
        return i;
    }
};

} // namespace

void DesktopFileTypes::setDefaultApplication(const std::vector<std::string> &mimeTypes, const std::string &desktopId)
{
    const QString path = q(configHome() + "/mimeapps.list");
    QByteArray bytes;
    readAll(path, bytes);
    MimeAppsList m;
    if (!bytes.isEmpty())
        m.lines = QString::fromUtf8(bytes).split('\n');
    while (!m.lines.isEmpty() && m.lines.last().isEmpty())
        m.lines.removeLast();
    int s = m.sectionStart("Default Applications");
    if (s < 0) {
        if (!m.lines.isEmpty())
            m.lines << QString();
        m.lines << "[Default Applications]";
        s = int(m.lines.size()) - 1;
    }
    for (const std::string &mime : mimeTypes) {
        const QString key = q(mime);
        const QString line = key + "=" + q(desktopId) + ";";
        const int e = m.sectionEnd(s);
        bool done = false;
        for (int i = s + 1; i < e; ++i)
            if (m.lines[i].section('=', 0, 0).trimmed() == key) {
                m.lines[i] = line;
                done = true;
            }
        if (!done) {
            int at = e;
            while (at > s + 1 && m.lines[at - 1].trimmed().isEmpty())
                --at;
            m.lines.insert(at, line);
        }
    }
    writeAtomically(path, (m.lines.join('\n') + "\n").toUtf8(), false);
}

void DesktopFileTypes::removeDefaultApplication(const std::vector<std::string> &desktopIds)
{
    const QString path = q(configHome() + "/mimeapps.list");
    QByteArray bytes;
    if (!readAll(path, bytes))
        return;
    QStringList lines = QString::fromUtf8(bytes).split('\n');
    bool changed = false;
    QString section;
    QStringList out;
    for (const QString &line : lines) {
        const QString t = line.trimmed();
        if (t.startsWith('[')) {
            section = t;
            out << line;
            continue;
        }
        const bool assoc = section == "[Default Applications]" || section == "[Added Associations]";
        const int eq = line.indexOf('=');
        if (!assoc || eq < 0 || t.startsWith('#')) {
            out << line;
            continue;
        }
        QStringList ids = line.mid(eq + 1).split(';', Qt::SkipEmptyParts);
        const qsizetype before = ids.size();
        for (const std::string &id : desktopIds)
            ids.removeAll(q(id));
        if (ids.size() == before) {
            out << line;
            continue;
        }
        changed = true;
        if (!ids.isEmpty())
            out << line.left(eq + 1) + ids.join(';') + ";";
    }
    if (!changed)
        return;
    // A list left with section headers only was ours alone: it goes as well.
    const bool entries = std::any_of(out.cbegin(), out.cend(), [](const QString &l) {
        const QString t = l.trimmed();
        return !t.isEmpty() && !t.startsWith('[') && !t.startsWith('#');
    });
    if (entries)
        writeAtomically(path, out.join('\n').toUtf8(), false);
    else
        QFile::remove(path);
}

namespace {

// The refresh tools leave caches behind that describe nothing once our
// files are gone; they are removed then, so unregistering leaves no trace.
void dropEmptyCaches(const std::string &data)
{
    const QString apps = q(data + "/applications");
    QByteArray cache;
    if (readAll(apps + "/mimeinfo.cache", cache) && cache.trimmed() == "[MIME Cache]") {
        QFile::remove(apps + "/mimeinfo.cache");
        QDir().rmdir(apps);
    }
    const QString mime = q(data + "/mime");
    QDir packages(mime + "/packages");
    if (!packages.exists() || !packages.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        return;
    // What update-mime-database generates from the (now empty) packages.
    for (const char *name : {"aliases", "generic-icons", "globs", "globs2", "icons", "magic", "mime.cache",
                             "subclasses", "treemagic", "types", "version", "XMLnamespaces"})
        QFile::remove(mime + "/" + name);
    // and the per-type folders it emptied.
    for (const QString &sub : QDir(mime).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir().rmdir(mime + "/" + sub);
    QDir().rmdir(mime);
}

} // namespace

void DesktopFileTypes::refresh()
{
    const std::string data = dataHome();
    if (QFileInfo(q(data + "/applications")).isDir())
        runner_("update-desktop-database", {data + "/applications"});
    if (QFileInfo(q(data + "/mime/packages")).isDir())
        runner_("update-mime-database", {data + "/mime"});
    dropEmptyCaches(data);
    // Dolphin reads its service menus through the KDE system configuration cache.
    if (!QStandardPaths::findExecutable("kbuildsycoca6").isEmpty())
        runner_("kbuildsycoca6", {});
    else if (!QStandardPaths::findExecutable("kbuildsycoca5").isEmpty())
        runner_("kbuildsycoca5", {});
}

} // namespace platform
