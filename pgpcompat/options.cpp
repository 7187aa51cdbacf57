#include "options.h"

namespace pgpc {

static std::string trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

static bool keyLetters(const std::string &rest, Invocation &inv)
{
    // rest: the letters after 'k'
    if (rest == "v" || rest == "vv" || rest == "vc" || rest == "vvc" || rest == "cv" ||
        rest == "vcv" || rest == "cvv") {
        inv.command = Command::KeyList;
        inv.sigsInListing = rest.find("vv") != std::string::npos || rest == "vcv";
        inv.fingerprints = rest.find('c') != std::string::npos;
        return true;
    }
    if (rest == "c") { inv.command = Command::KeyCheck; return true; }
    if (rest == "x" || rest == "xa" || rest == "ax") {
        inv.command = Command::KeyExtract;
        inv.armor = rest.size() == 2;
        return true;
    }
    if (rest == "a") { inv.command = Command::KeyAdd; return true; }
    if (rest == "r") { inv.command = Command::KeyRemove; return true; }
    if (rest == "rs") { inv.command = Command::KeyRemoveSig; return true; }
    if (rest == "s") { inv.command = Command::KeySign; return true; }
    if (rest == "g") { inv.command = Command::KeyGen; return true; }
    if (rest == "e") { inv.command = Command::KeyEdit; return true; }
    if (rest == "d") { inv.command = Command::KeyDisable; return true; }
    return false;
}

Invocation parseCommandLine(const std::vector<std::string> &args)
{
    Invocation inv;
    bool haveCommand = false;
    bool e = false, s = false, c = false;
    auto fail = [&](const std::string &why) {
        if (inv.error.empty())
            inv.error = why;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a.empty())
            continue;
        if (a[0] == '+' && a.size() > 1) {
            std::string body = a.substr(1);
            std::string name = body, value = "on";
            auto eq = body.find('=');
            if (eq != std::string::npos) {
                name = body.substr(0, eq);
                value = body.substr(eq + 1);
            }
            inv.plusOptions[asciiLower(trim(name))] = value;
            continue;
        }
        if (a[0] == '-' && a.size() > 1 && a != "--") {
            std::string letters = a.substr(1);
            if (letters[0] == 'k') {
                if (haveCommand || !keyLetters(letters.substr(1), inv))
                    fail("unknown key command " + a);
                haveCommand = true;
                continue;
            }
            for (size_t j = 0; j < letters.size(); ++j) {
                char l = letters[j];
                auto takeValue = [&](std::optional<std::string> &slot) {
                    if (j + 1 < letters.size()) {
                        slot = letters.substr(j + 1);
                    } else if (i + 1 < args.size()) {
                        slot = args[++i];
                    } else {
                        fail(std::string("-") + l + " needs a value");
                    }
                    j = letters.size();
                };
                switch (l) {
                case 'e': e = true; break;
                case 's': s = true; break;
                case 'c': c = true; break;
                case 'a': inv.armor = true; break;
                case 't': inv.textMode = true; break;
                case 'b': inv.detached = true; break;
                case 'f': inv.filter = true; break;
                case 'h': inv.command = Command::Help; haveCommand = true; break;
                case 'p': case 'm': case 'w': case 'd': case 'l': break; // accepted, no effect here
                case 'o': takeValue(inv.outFile); break;
                case 'u': takeValue(inv.signer); break;
                case 'z': takeValue(inv.passphrase); break;
                default: fail(std::string("unknown option -") + l);
                }
            }
            continue;
        }
        inv.operands.push_back(a);
    }
    if (inv.command == Command::Help)
        return inv;
    if (haveCommand && (e || s || c))
        fail("a key command takes no -e, -s or -c");
    if (!haveCommand) {
        if (e) {
            inv.command = Command::Encrypt;
            inv.signToo = s;
            if (c)
                fail("-e and -c exclude each other");
        } else if (s) {
            inv.command = Command::Sign;
        } else if (c) {
            inv.command = Command::Conventional;
        } else if (inv.armor && !inv.operands.empty()) {
            // "-a file": armour a file without encryption is not offered; treat as decrypt.
            inv.command = Command::Decrypt;
        }
    }
    return inv;
}

std::optional<bool> parseBool(const std::string &value)
{
    std::string v = asciiLower(trim(value));
    if (v == "on" || v == "yes" || v == "true" || v == "1" || v.empty())
        return true;
    if (v == "off" || v == "no" || v == "false" || v == "0")
        return false;
    return std::nullopt;
}

std::map<std::string, std::string> parseConfigText(const std::string &text)
{
    std::map<std::string, std::string> out;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
        // '#' starts a comment unless it stands inside double quotes.
        bool inQuote = false;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"')
                inQuote = !inQuote;
            else if (line[i] == '#' && !inQuote) {
                line.erase(i);
                break;
            }
        }
        line = trim(line);
        if (line.empty())
            continue;
        std::string name = line, value = "on";
        auto eq = line.find('=');
        if (eq != std::string::npos) {
            name = trim(line.substr(0, eq));
            value = trim(line.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
        }
        if (!name.empty())
            out[asciiLower(name)] = value;
    }
    return out;
}

bool applySetting(Settings &s, const std::string &rawName, const std::string &value, bool fromCommandLine)
{
    std::string name = asciiLower(rawName);
    auto setBool = [&](bool &field) {
        auto b = parseBool(value);
        if (!b)
            return false;
        field = *b;
        return true;
    };
    if (name == "myname") { s.myName = value; return true; }
    if (name == "encrypttoself") return setBool(s.encryptToSelf);
    if (name == "armor" || name == "armour") return setBool(s.armor);
    if (name == "textmode") return setBool(s.textMode);
    if (name == "clearsig") return setBool(s.clearSig);
    if (name == "language") {
        std::string v = asciiLower(trim(value));
        s.lang = (v == "de" || v == "german" || v == "deutsch") ? Lang::German : Lang::English;
        return true;
    }
    if (name == "charset") {
        std::string v = asciiLower(trim(value));
        s.latin1 = v == "latin1" || v == "iso-8859-1" || v == "iso8859-1";
        return true;
    }
    if (name == "verbose") {
        try {
            s.verbose = std::stoi(value);
        } catch (...) {
            return false;
        }
        return true;
    }
    if (name == "batchmode" || name == "force") {
        if (!fromCommandLine)
            return true; // command-line only: ignored in the file
        return setBool(name == "batchmode" ? s.batchMode : s.force);
    }
    // PGP 2.6 knew many more; accept them quietly so old config files keep working.
    static const char *known[] = {"armorlines", "completes_needed", "marginals_needed", "cert_depth",
                                  "compress", "keepbinary", "pager", "pubring", "secring",
                                  "randseed", "showpass", "tmp", "tzfix", "bakring", "interactive",
                                  "nomanual", "legal_kludge", "version_byte", "comment", "mailmode"};
    for (const char *k : known)
        if (name == k)
            return true;
    return false;
}

static size_t baseStart(const std::string &path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

static size_t extensionDot(const std::string &path)
{
    size_t b = baseStart(path);
    auto dot = path.rfind('.');
    if (dot == std::string::npos || dot <= b) // a leading dot names a hidden file, not an extension
        return std::string::npos;
    if (dot + 1 == path.size())
        return std::string::npos;
    return dot;
}

bool hasExtension(const std::string &path)
{
    return extensionDot(path) != std::string::npos;
}

std::string replaceExtension(const std::string &path, const std::string &ext)
{
    auto dot = extensionDot(path);
    return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

std::string stripExtension(const std::string &path)
{
    auto dot = extensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(0, dot);
}

std::string keyFileName(const std::string &name, bool armor)
{
    auto dot = extensionDot(name);
    if (dot != std::string::npos) {
        std::string ext = asciiLower(name.substr(dot));
        if (ext == ".pgp" || ext == ".asc" || ext == ".sig")
            return name;
    }
    return name + (armor ? ".asc" : ".pgp");
}

} // namespace pgpc
