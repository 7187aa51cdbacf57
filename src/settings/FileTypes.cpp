// The file-type registration: one list of keys and values, and the desktop
// files made from it.
#include "settings/FileTypes.h"

#include "app/AppState.h"
#include "platform/Platform.h"
#include "ShellWord.h"

#include <map>

namespace settings {
namespace {

struct Names {
    const char *pgpDescription, *ascDescription, *decryptVerb, *addKeyVerb, *addKeyText;
};
const Names kEnglish{"Quorbix PGP-file", "Quorbix ASC-file", "decrypt", "Add_key", "Add key"};
const Names kGerman{"Quorbix PGP-Datei", "Quorbix ASC-Datei", "Entschlüsseln", "Key_hinzufügen", "Key hinzufügen"};

const std::string kZero4(4, '\0');

} // namespace

std::vector<RegEntry> fileTypeRegistration(const std::string &language, const std::string &programPath)
{
    const Names &n = language == "English" ? kEnglish : kGerman;
    std::vector<RegEntry> e;
    e.push_back({".pgp", "", false, "pgpfile"});
    e.push_back({".asc", "", false, "ascfile"});
    for (const char *type : {"pgpfile", "ascfile"}) {
        const std::string t = type;
        e.push_back({t, "", false, t == "pgpfile" ? n.pgpDescription : n.ascDescription});
        e.push_back({t, "AlwaysShowExt", false, ""});
        e.push_back({t, "EditFlags", true, kZero4});
    }
    for (const char *type : {"pgpfile", "ascfile"}) {
        const std::string t = type;
        e.push_back({t + "\\Shell\\" + n.decryptVerb + "\\command", "", false, programPath + " /d %1"});
        e.push_back({t + "\\Shell\\" + n.addKeyVerb, "", false, n.addKeyText});
        e.push_back({t + "\\Shell\\" + n.addKeyVerb + "\\command", "", false, programPath + " /k %1"});
        e.push_back({t + "\\shell\\open\\command", "", false, programPath + " %1"});
    }
    return e;
}

std::vector<std::string> fileTypeKeys() { return {".asc", ".pgp", "pgpfile", "ascfile"}; }

const std::vector<TypeAnnouncement> &announcedTypes()
{
    static const std::vector<TypeAnnouncement> t = {
        {"pgpfile", "quorbix-pgpfile.desktop", {"application/pgp-encrypted"}},
        {"ascfile", "quorbix-ascfile.desktop", {"application/pgp-keys", "application/pgp-signature"}},
    };
    return t;
}

namespace {

// A desktop-entry argument, quoted when it holds a reserved character, then
// escaped for the string value it stands in.
std::string execArgument(const std::string &arg)
{
    const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    if (arg.find_first_of(reserved) == std::string::npos) {
        out = arg;
    } else {
        out = "\"";
        for (char c : arg) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                out += '\\';
            out += c;
        }
        out += "\"";
    }
    std::string escaped;
    for (char c : out) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '%')
            escaped += "%%";
        else
            escaped += c;
    }
    return escaped;
}

struct Verb {
    std::string key;     // the verb's key name
    std::string text;    // what the menus show
    std::string args;    // the command line after the program path, "%1" included
};

struct TypeView {
    std::string description;
    std::string openArgs;
    std::vector<Verb> verbs; // decrypt, then add key
};

bool startsWith(const std::string &s, const std::string &p) { return s.compare(0, p.size(), p) == 0; }

// Reads a type's description and verbs back out of the registration list.
TypeView typeView(const std::vector<RegEntry> &entries, const std::string &type, std::string &programPath)
{
    TypeView v;
    std::map<std::string, std::string> texts;
    for (const RegEntry &e : entries) {
        if (!e.name.empty())
            continue;
        if (e.key == type) {
            v.description = e.data;
            continue;
        }
        const std::string shell = type + "\\Shell\\";
        const std::string lower = type + "\\shell\\";
        if (!startsWith(e.key, shell) && !startsWith(e.key, lower))
            continue;
        std::string rest = e.key.substr(shell.size());
        const std::string cmd = "\\command";
        if (rest.size() > cmd.size() && rest.compare(rest.size() - cmd.size(), cmd.size(), cmd) == 0) {
            const std::string verb = rest.substr(0, rest.size() - cmd.size());
            // The command line is the program path and " ... %1".
            const auto sp = e.data.rfind(verb == "open" ? " %1" : " /");
            const std::string args = sp == std::string::npos ? std::string() : e.data.substr(sp);
            if (programPath.empty() && sp != std::string::npos)
                programPath = e.data.substr(0, sp);
            if (verb == "open")
                v.openArgs = args;
            else
                v.verbs.push_back({verb, texts.count(verb) ? texts[verb] : verb, args});
        } else {
            texts[rest] = e.data;
        }
    }
    // A verb's menu text is set before its command; pick it up afterwards too.
    for (Verb &vb : v.verbs)
        if (texts.count(vb.key))
            vb.text = texts[vb.key];
    return v;
}

std::string actionId(const Verb &v) { return v.args.find("/d") != std::string::npos ? "decrypt" : "addkey"; }

std::string desktopArgs(std::string args)
{
    // "%1" is the shell's file; the desktop's is "%f". Only that one is used.
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args.compare(i, 2, "%1") == 0) {
            out += "%f";
            ++i;
        } else {
            out += args[i];
        }
    }
    return out;
}

} // namespace

std::string execLine(const std::string &programPath, const std::string &arguments)
{
    return execArgument(programPath) + desktopArgs(arguments);
}

std::vector<platform::OwnedFile> desktopAnnouncement(const std::vector<RegEntry> &entries)
{
    std::vector<platform::OwnedFile> files;
    const std::string marker = std::string("# ") + kAnnouncementMarker + "\n";
    std::string program;
    std::vector<Verb> scriptVerbs;
    for (const TypeAnnouncement &t : announcedTypes()) {
        const TypeView v = typeView(entries, t.typeKey, program);
        std::string mimes;
        for (const std::string &m : t.mimeTypes)
            mimes += m + ";";
        std::string actions;
        for (const Verb &vb : v.verbs)
            actions += actionId(vb) + ";";

        std::string app = marker + "[Desktop Entry]\nType=Application\nName=" + v.description +
                          "\nExec=" + execLine(program, v.openArgs) + "\nMimeType=" + mimes +
                          "\nNoDisplay=true\nTerminal=false\nActions=" + actions + "\n";
        std::string service = marker + "[Desktop Entry]\nType=Service\nMimeType=" + mimes +
                              "\nX-KDE-ServiceTypes=KonqPopupMenu/Plugin\nActions=" + actions + "\n";
        for (const Verb &vb : v.verbs) {
            const std::string group = "\n[Desktop Action " + actionId(vb) + "]\nName=" + vb.text +
                                      "\nExec=" + execLine(program, vb.args) + "\n";
            app += group;
            service += group;
        }
        files.push_back({"applications/" + t.desktopId, app, false});
        files.push_back({"kio/servicemenus/" + t.desktopId, service, true});
        if (scriptVerbs.empty())
            scriptVerbs = v.verbs;
    }
    // Nautilus shows every script for every file, so one set serves both types.
    for (const Verb &vb : scriptVerbs) {
        std::string flag = vb.args.substr(0, vb.args.find("%1"));
        std::string script = "#!/bin/sh\n" + marker + "for f in \"$@\"; do\n"
                             "  case \"$f\" in /*) ;; *) f=\"$PWD/$f\" ;; esac\n"
                             "  " + shell::quoted(program) + flag + "\"$f\" &\n"
                             "done\n";
        files.push_back({"nautilus/scripts/Quorbix/" + vb.text, script, true});
    }
    files.push_back({"mime/packages/quorbix.xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- " + std::string(kAnnouncementMarker) +
                         " -->\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                         "  <mime-type type=\"application/pgp-encrypted\">\n"
                         "    <glob pattern=\"*.pgp\" weight=\"80\"/>\n  </mime-type>\n"
                         "  <mime-type type=\"application/pgp-keys\">\n"
                         "    <glob pattern=\"*.asc\" weight=\"80\"/>\n  </mime-type>\n"
                         "</mime-info>\n",
                     false});
    return files;
}

namespace {

const std::vector<std::string> kAnnouncedDirs = {"applications", "kio/servicemenus", "nautilus/scripts/Quorbix",
                                                 "mime/packages"};

} // namespace

void UnregisterFileTypes(platform::DesktopFileTypes &desk)
{
    // Whatever language registered them: every marked file in the places the
    // registration writes to, and our entries of the association list.
    bool any = false;
    for (const std::string &dir : kAnnouncedDirs)
        for (const std::string &f : desk.ownedFilesIn(dir, kAnnouncementMarker))
            any = desk.removeOwned(f, kAnnouncementMarker) || any;
    desk.removeDirIfEmpty("nautilus/scripts/Quorbix");
    std::vector<std::string> ids;
    for (const TypeAnnouncement &t : announcedTypes())
        ids.push_back(t.desktopId);
    try {
        desk.removeDefaultApplication(ids);
    } catch (const platform::PlatformError &) {
        // Unregistering reports nothing; what cannot be removed stays.
    }
    if (any)
        desk.refresh();
    // The folders the registration made, when nothing else lives in them.
    for (const char *dir : {"kio/servicemenus", "kio", "nautilus/scripts", "nautilus", "applications"})
        desk.removeDirIfEmpty(dir);
}

void RegisterFileTypes(app::AppState &st, platform::DesktopFileTypes &desk, const std::string &programPath)
{
    UnregisterFileTypes(desk);
    try {
        for (const platform::OwnedFile &f : desktopAnnouncement(fileTypeRegistration(st.language, programPath)))
            desk.writeOwned(f, kAnnouncementMarker);
        for (const TypeAnnouncement &t : announcedTypes())
            desk.setDefaultApplication(t.mimeTypes, t.desktopId);
    } catch (const platform::PlatformError &e) {
        if (st.dialogs)
            st.dialogs->platformError(e.what());
    }
    desk.refresh();
}

} // namespace settings
