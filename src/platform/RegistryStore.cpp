// The settings store as a REGEDIT4 text file.
#include "platform/RegistryStore.h"
#include "platform/Platform.h"

#include "Charset.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

unsigned char foldLatin1(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 32);
    return c;
}

// A file saved by an editor in UTF-8 is taken as such. Returns false when the
// text is not UTF-8 with at least one multi-byte sequence (then it is Latin-1).
// Characters beyond Latin-1 become '?' and set *lossy.
bool utf8ToLatin1(const std::string &in, std::string &out, bool *lossy)
{
    std::string res;
    bool multi = false;
    *lossy = false;
    for (std::size_t i = 0; i < in.size();) {
        const std::size_t start = i;
        unsigned cp;
        if (!charset::decodeUtf8(in, i, cp))
            return false;
        if (i - start > 1)
            multi = true;
        if (cp <= 0xFF) {
            res += static_cast<char>(cp);
        } else {
            res += '?';
            *lossy = true;
        }
    }
    if (!multi)
        return false;
    out = std::move(res);
    return true;
}

std::string trim(const std::string &s)
{
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::string escapeText(const std::string &s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

// Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool readQuoted(const std::string &s, std::size_t &pos, std::string &out)
{
    if (pos >= s.size() || s[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"')
            return true;
        if (c == '\\' && pos < s.size()) {
            char n = s[pos++];
            switch (n) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            default: out += n; // \\ and \" and anything else as written
            }
            continue;
        }
        out += c;
    }
    return false;
}

// Where the value of a "name"=value (or @=value) line starts; npos for any
// other line.
std::size_t valueStart(const std::string &line)
{
    std::size_t pos = 0;
    std::string name;
    if (!line.empty() && line[0] == '@')
        pos = 1;
    else if (!readQuoted(line, pos, name))
        return std::string::npos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return std::string::npos;
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    return pos;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseHexList(const std::string &s, std::string &out)
{
    out.clear();
    std::string t = trim(s);
    if (t.empty())
        return true;
    std::size_t pos = 0;
    for (;;) {
        while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t'))
            ++pos;
        if (pos + 2 > t.size())
            return false;
        int hi = hexDigit(t[pos]), lo = hexDigit(t[pos + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t'))
            ++pos;
        if (pos == t.size())
            return true;
        if (t[pos] != ',')
            return false;
        ++pos;
    }
}

std::string hexList(const std::string &bytes)
{
    static const char *digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (i)
            out += ',';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool startsWithNoCase(const std::string &s, const std::string &prefix)
{
    if (s.size() < prefix.size())
        return false;
    return RegistryFile::sameName(s.substr(0, prefix.size()), prefix);
}

bool validKeyName(const std::string &key)
{
    if (key.empty() || key.size() > 1024)
        return false;
    std::size_t start = 0;
    for (;;) {
        std::size_t bs = key.find('\\', start);
        std::string part = key.substr(start, bs == std::string::npos ? std::string::npos : bs - start);
        if (part.empty() || part.size() > 255)
            return false;
        for (char c : part)
            if (c == '\r' || c == '\n' || c == '\0' || c == '[' || c == ']')
                return false;
        if (bs == std::string::npos)
            return true;
        start = bs + 1;
    }
}

bool representable(const std::string &s) { return s.find('\0') == std::string::npos; }

[[noreturn]] void registryError(const std::string &message)
{
    throw PlatformError(PlatformError::Kind::Registry, message);
}

} // namespace

// ---- messages ------------------------------------------------------------

std::string msgInvalidType(const std::string &name) { return "Ungültiger Datentyp für '" + charset::latin1ToUtf8(name) + "'"; }
std::string msgCreateKeyFailed(const std::string &key) { return "Erzeugung von Schlüssel " + charset::latin1ToUtf8(key) + " misslungen"; }
std::string msgWriteFailed(const std::string &name) { return "Konnte Daten für '" + charset::latin1ToUtf8(name) + "' nicht setzen"; }
std::string msgReadFailed(const std::string &name) { return "Konnte Daten für '" + charset::latin1ToUtf8(name) + "' nicht holen"; }

// ---- RegistryFile --------------------------------------------------------

bool RegistryFile::sameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldLatin1(static_cast<unsigned char>(a[i])) != foldLatin1(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

RegistryFile RegistryFile::parse(const std::string &input, std::vector<std::string> *warnings)
{
    RegistryFile f;
    auto warn = [&](const std::string &w) {
        if (warnings)
            warnings->push_back(w);
    };

    std::string text = input;
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    {
        std::string converted;
        bool lossy = false;
        if (utf8ToLatin1(text, converted, &lossy)) {
            text = std::move(converted);
            if (lossy)
                warn("Zeichen außerhalb von Latin-1 durch '?' ersetzt");
        }
    }

    std::vector<std::string> lines;
    {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t nl = text.find('\n', start);
            std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            if (nl == std::string::npos)
                break;
            start = nl + 1;
        }
    }

    bool headerSeen = false;
    // Position of the section being read, not a pointer: later sections grow
    // the vector.
    constexpr std::size_t kNone = std::size_t(-1);
    std::size_t current = kNone;
    bool inUnknownSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = trim(lines[i]);
        std::size_t lineNo = i + 1;
        // Long hex lists continue on the next line after a trailing
        // backslash; a text's backslash is its own. A continuation onto
        // nothing (the end of the file, an empty line) was cut off: that
        // value is damaged, not shorter. Only the appended part is looked
        // at, so a long list stays linear.
        bool cutOff = false;
        if (!line.empty() && line.back() == '\\') {
            const std::size_t vs = valueStart(line);
            auto isText = [&] { return vs < line.size() && line[vs] == '"'; };
            while (vs != std::string::npos && !isText() && !line.empty() && line.back() == '\\') {
                line.pop_back();
                if (i + 1 == lines.size() || trim(lines[i + 1]).empty()) {
                    cutOff = true;
                    break;
                }
                line += trim(lines[++i]);
            }
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (!headerSeen) {
            headerSeen = true;
            if (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00")
                continue;
            warn("Zeile " + std::to_string(lineNo) + ": Kopfzeile REGEDIT4 fehlt");
        }
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                warn("Zeile " + std::to_string(lineNo) + ": unvollständiger Schlüssel");
                current = kNone;
                inUnknownSection = true;
                continue;
            }
            inUnknownSection = false;
            current = f.ensure(line.substr(1, line.size() - 2));
            continue;
        }
        if (current == kNone) {
            if (!inUnknownSection)
                warn("Zeile " + std::to_string(lineNo) + ": Wert außerhalb eines Schlüssels");
            continue;
        }
        if (cutOff) {
            warn("Zeile " + std::to_string(lineNo) + ": abgeschnittener Wert");
            continue;
        }
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!readQuoted(line, pos, name) || !representable(name)) {
            warn("Zeile " + std::to_string(lineNo) + ": unlesbarer Wertname");
            continue;
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            warn("Zeile " + std::to_string(lineNo) + ": '=' fehlt");
            continue;
        }
        std::string rest = trim(line.substr(pos + 1));
        RegValue v;
        if (!rest.empty() && rest[0] == '"') {
            std::size_t p = 0;
            std::string data;
            if (!readQuoted(rest, p, data) || !trim(rest.substr(p)).empty()) {
                warn("Zeile " + std::to_string(lineNo) + ": unvollständiger Text");
                continue;
            }
            // A text holds no NUL (nor could the store write it back).
            if (!representable(data)) {
                warn("Zeile " + std::to_string(lineNo) + ": Nullzeichen im Text");
                continue;
            }
            v.type = RegType::String;
            v.data = data;
        } else if (startsWithNoCase(rest, "hex:")) {
            std::string bytes;
            if (!parseHexList(rest.substr(4), bytes)) {
                warn("Zeile " + std::to_string(lineNo) + ": ungültige Hexadezimalzahlen");
                continue;
            }
            v.type = RegType::Binary;
            v.data = bytes;
        } else if (!rest.empty()) {
            // dword:, hex(2): and the like: kept as written, read as wrong type.
            v.type = RegType::Other;
            v.data = rest;
        } else {
            warn("Zeile " + std::to_string(lineNo) + ": Wert fehlt");
            continue;
        }
        Key &k = f.keys_[current];
        auto [it, added] = k.index.emplace(foldName(name), k.values.size());
        if (added)
            k.values.emplace_back(std::move(name), std::move(v));
        else
            k.values[it->second].second = std::move(v);
    }
    return f;
}

std::string RegistryFile::serialize() const
{
    std::string out = "REGEDIT4\r\n\r\n";
    for (const Key &k : keys_) {
        out += "[" + k.name + "]\r\n";
        for (const auto &[name, v] : k.values) {
            out += name.empty() ? std::string("@") : "\"" + escapeText(name) + "\"";
            out += '=';
            switch (v.type) {
            case RegType::String: out += "\"" + escapeText(v.data) + "\""; break;
            case RegType::Binary: out += "hex:" + hexList(v.data); break;
            case RegType::Other: out += v.data; break;
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    // Latin-1 that happens to be well-formed UTF-8 ("Ã¶") would be read back
    // as UTF-8: such a file is written as UTF-8, marked by its BOM.
    std::string probe;
    bool lossy = false;
    if (utf8ToLatin1(out, probe, &lossy))
        return "\xEF\xBB\xBF" + charset::latin1ToUtf8(out);
    return out;
}

std::string RegistryFile::foldName(const std::string &name)
{
    std::string out = name;
    for (char &c : out)
        c = static_cast<char>(foldLatin1(static_cast<unsigned char>(c)));
    return out;
}

RegistryFile::Key *RegistryFile::find(const std::string &key)
{
    auto it = keyIndex_.find(foldName(key));
    return it == keyIndex_.end() ? nullptr : &keys_[it->second];
}

const RegistryFile::Key *RegistryFile::find(const std::string &key) const
{
    auto it = keyIndex_.find(foldName(key));
    return it == keyIndex_.end() ? nullptr : &keys_[it->second];
}

std::size_t RegistryFile::ensure(const std::string &key)
{
    auto [it, added] = keyIndex_.emplace(foldName(key), keys_.size());
    if (added)
        keys_.push_back(Key{key, {}, {}});
    return it->second;
}

bool RegistryFile::keyExists(const std::string &key) const
{
    // A key exists also when only a subkey of it was written down.
    for (const Key &k : keys_) {
        if (sameName(k.name, key))
            return true;
        if (k.name.size() > key.size() && k.name[key.size()] == '\\' && startsWithNoCase(k.name, key))
            return true;
    }
    return false;
}

void RegistryFile::createKey(const std::string &key) { ensure(key); }

const RegValue *RegistryFile::value(const std::string &key, const std::string &name) const
{
    const Key *k = find(key);
    if (!k)
        return nullptr;
    auto it = k->index.find(foldName(name));
    return it == k->index.end() ? nullptr : &k->values[it->second].second;
}

void RegistryFile::setValue(const std::string &key, const std::string &name, const RegValue &v)
{
    Key &k = keys_[ensure(key)];
    auto [it, added] = k.index.emplace(foldName(name), k.values.size());
    if (added)
        k.values.emplace_back(name, v);
    else
        k.values[it->second].second = v;
}

std::vector<std::string> RegistryFile::keys() const
{
    std::vector<std::string> out;
    for (const Key &k : keys_)
        out.push_back(k.name);
    return out;
}

std::vector<std::string> RegistryFile::valueNames(const std::string &key) const
{
    std::vector<std::string> out;
    if (const Key *k = find(key))
        for (const auto &[n, v] : k->values)
            out.push_back(n);
    return out;
}

// ---- the store's rules ---------------------------------------------------

std::string registryFullKey(const std::string &key)
{
    if (startsWithNoCase(key, "HKEY_"))
        return key;
    return "HKEY_CURRENT_USER\\" + key;
}

std::optional<std::string> registryReadString(const RegistryFile &f, const std::string &key, const std::string &name)
{
    const RegValue *v = f.value(registryFullKey(key), name);
    if (!v)
        return std::nullopt;
    if (v->type != RegType::String)
        registryError(msgInvalidType(name));
    return v->data;
}

std::optional<std::string> registryReadBinary(const RegistryFile &f, const std::string &key, const std::string &name,
                                              std::size_t maxSize)
{
    const RegValue *v = f.value(registryFullKey(key), name);
    if (!v)
        return std::nullopt;
    if (v->type != RegType::Binary || v->data.size() > maxSize)
        registryError(msgInvalidType(name));
    return v->data;
}

void registryCreateKey(RegistryFile &f, const std::string &key)
{
    std::string full = registryFullKey(key);
    if (!validKeyName(full))
        registryError(msgCreateKeyFailed(key));
    f.createKey(full);
}

void registryWriteString(RegistryFile &f, const std::string &key, const std::string &name, const std::string &value)
{
    std::string full = registryFullKey(key);
    if (!validKeyName(full))
        registryError(msgCreateKeyFailed(key));
    if (!representable(name) || !representable(value))
        registryError(msgWriteFailed(name));
    f.setValue(full, name, RegValue{RegType::String, value});
}

void registryWriteBinary(RegistryFile &f, const std::string &key, const std::string &name, const std::string &bytes)
{
    std::string full = registryFullKey(key);
    if (!validKeyName(full))
        registryError(msgCreateKeyFailed(key));
    if (!representable(name))
        registryError(msgWriteFailed(name));
    f.setValue(full, name, RegValue{RegType::Binary, bytes});
}

// ---- FileRegistryStore ---------------------------------------------------

FileRegistryStore::FileRegistryStore(std::string path) : path_(std::move(path))
{
    // A save that was killed before its rename left its temporary file.
    systemFileSystem().removeInterruptedReplacements(path_);
    load();
}

void FileRegistryStore::reload()
{
    file_ = RegistryFile();
    dirty_ = damaged_ = false;
    original_.clear();
    loadError_.clear();
    warnings_.clear();
    load();
}

void FileRegistryStore::load()
{
    std::string bytes;
    try {
        bytes = systemFileSystem().readFile(path_);
    } catch (const PlatformError &e) {
        if (e.kind() != PlatformError::Kind::NotFound)
            loadError_ = e.what();
        return;
    }
    file_ = RegistryFile::parse(bytes, &warnings_);
    if (!warnings_.empty()) {
        damaged_ = true;
        original_ = std::move(bytes);
    }
}

std::string FileRegistryStore::defaultPath()
{
    std::string base;
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || !*home) {
            struct passwd *pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/Farrowdale Software/QUORBIX.reg";
}

bool FileRegistryStore::keyExists(const std::string &key) { return file_.keyExists(registryFullKey(key)); }

void FileRegistryStore::createKey(const std::string &key)
{
    registryCreateKey(file_, key);
    dirty_ = true;
}

std::optional<std::string> FileRegistryStore::readString(const std::string &key, const std::string &name)
{
    if (!loadError_.empty())
        registryError(msgReadFailed(name));
    return registryReadString(file_, key, name);
}

std::optional<std::string> FileRegistryStore::readBinary(const std::string &key, const std::string &name,
                                                         std::size_t maxSize)
{
    if (!loadError_.empty())
        registryError(msgReadFailed(name));
    return registryReadBinary(file_, key, name, maxSize);
}

void FileRegistryStore::writeString(const std::string &key, const std::string &name, const std::string &value)
{
    registryWriteString(file_, key, name, value);
    dirty_ = true;
}

void FileRegistryStore::writeBinary(const std::string &key, const std::string &name, const std::string &bytes)
{
    registryWriteBinary(file_, key, name, bytes);
    dirty_ = true;
}

namespace {

bool makeDirs(const std::string &dir, int &err)
{
    std::size_t pos = 1;
    for (;;) {
        std::size_t slash = dir.find('/', pos);
        std::string part = dir.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            err = errno;
            return false;
        }
        if (slash == std::string::npos)
            break;
        pos = slash + 1;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        err = ENOTDIR;
        return false;
    }
    return true;
}

// The store's message; a full disk (or quota) is named after it, since the
// user has to make room before the settings can be kept.
std::string writeFailedText(const std::string &path, int err)
{
    std::string text = msgWriteFailed(path);
    if (err == ENOSPC || err == EDQUOT)
        text += ": " + systemErrorText(err);
    return text;
}

} // namespace

void FileRegistryStore::flush()
{
    FileSystem &fs = systemFileSystem();
    // A file that exists but could not be read is never overwritten.
    if (!loadError_.empty())
        throw PlatformError(PlatformError::Kind::Registry, msgWriteFailed(path_), path_);
    if (!dirty_ && fs.exists(path_))
        return;
    auto slash = path_.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        int err = 0;
        if (!makeDirs(path_.substr(0, slash), err))
            throw PlatformError(PlatformError::Kind::Registry, writeFailedText(path_, err), path_, err);
    }
    try {
        if (damaged_ && damagedCopy_.empty()) {
            std::string copy = path_ + ".damaged";
            for (int n = 2; fs.exists(copy); ++n)
                copy = path_ + ".damaged." + std::to_string(n);
            fs.writePrivateFile(copy, original_);
            damagedCopy_ = copy;
            original_.clear();
        }
        fs.replaceAtomically(path_, file_.serialize(), 0600);
    } catch (const PlatformError &e) {
        throw PlatformError(PlatformError::Kind::Registry, writeFailedText(path_, e.sysError()), path_,
                            e.sysError());
    }
    dirty_ = false;
}

} // namespace platform
