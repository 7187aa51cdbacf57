#include "listing.h"

#include <cctype>
#include <cstdio>

namespace pgpc {

std::string formatDate(std::time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

std::string formatDateTime(std::time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    return buf;
}

std::string titleLine(Lang lang)
{
    return lang == Lang::German ? "Typ  Bits/ID       Datum      Benutzer"
                                : "Type Bits/KeyID    Date       User ID";
}

static std::string subst(const char *fmt, const std::string &a)
{
    std::string f = fmt;
    auto p = f.find("%s");
    if (p != std::string::npos)
        f.replace(p, 2, a);
    return f;
}

std::string keyRingLine(Lang lang, const std::string &ring)
{
    return subst(msg(lang, "Key ring: '%s'"), ring);
}

std::string summaryLine(Lang lang, int count)
{
    if (count == 1)
        return msg(lang, "1 matching key found.");
    std::string f = msg(lang, "%d matching keys found.");
    f.replace(f.find("%d"), 2, std::to_string(count));
    return f;
}

std::string keyLine(const std::string &type, char marker, unsigned bits, const std::string &id8,
                    std::time_t created, const std::string &text)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%4u", bits > 9999 ? 9999 : bits);
    std::string line = type;
    line += marker;
    line += ' ';
    line += buf;
    line += '/';
    line += id8;
    line += ' ';
    line += formatDate(created);
    line += ' ';
    line += text;
    return line;
}

std::string uidLine(const std::string &uid)
{
    return std::string(30, ' ') + uid;
}

std::string sigLine(const std::string &type, char mark, const std::string &id8,
                    const std::time_t *date, const std::string &text)
{
    std::string line = type;
    line += mark;
    line += std::string(6, ' ');
    line += id8;
    if (date) {
        line += ' ';
        line += formatDate(*date);
        line += "  ";
    } else {
        line += std::string(13, ' ');
    }
    line += text;
    return line;
}

std::string groupFingerprint(const std::string &fpr)
{
    std::string out;
    if (fpr.size() == 40) {
        for (size_t i = 0; i < 40; i += 4) {
            if (i)
                out += i == 20 ? "  " : " ";
            out += fpr.substr(i, 4);
        }
        return out;
    }
    for (size_t i = 0; i + 1 < fpr.size() + 1 && i < fpr.size(); i += 2) {
        if (i)
            out += i == fpr.size() / 2 ? "  " : " ";
        out += fpr.substr(i, 2);
    }
    return out;
}

std::string fingerprintLine(Lang lang, const std::string &fpr)
{
    return std::string(12, ' ') + msg(lang, "Key fingerprint =") + " " + groupFingerprint(fpr);
}

std::vector<std::string> keyLines(const KeyInfo &key, const ListOptions &opt)
{
    const bool de = opt.lang == Lang::German;
    std::vector<std::string> lines;
    std::string type = key.secret ? (de ? "prv" : "sec") : (de ? "öff" : "pub");
    std::string sigType = de ? "Unt" : "sig";
    char marker = key.disabled ? '-' : ' ';
    const std::string unknown = msg(opt.lang, "(Unknown signator, can't be checked)");

    auto addSigs = [&](const UidInfo &u) {
        if (opt.style == ListStyle::Short)
            return;
        for (const SigInfo &s : u.sigs) {
            std::string id8 = s.signerId16.size() >= 8 ? s.signerId16.substr(s.signerId16.size() - 8)
                                                       : s.signerId16;
            std::string who = s.signerUid.empty() ? unknown : s.signerUid;
            if (opt.style == ListStyle::CheckSigs) {
                char mark = s.check == SigInfo::Good ? '!'
                          : s.check == SigInfo::Bad  ? '*'
                          : s.check == SigInfo::NoKey ? '?' : ' ';
                if (s.check == SigInfo::NoKey)
                    who = unknown;
                lines.push_back(sigLine(sigType, mark, id8, &s.created, who));
            } else {
                lines.push_back(sigLine(sigType, ' ', id8, nullptr, who));
            }
        }
    };

    size_t first = 0;
    if (key.revoked) {
        lines.push_back(keyLine(type, marker, key.bits, key.id8(), key.created,
                                msg(opt.lang, "*** KEY REVOKED ***")));
        first = 0; // every user ID follows on lines of its own
    } else {
        lines.push_back(keyLine(type, marker, key.bits, key.id8(), key.created, key.firstUid()));
        first = 1;
    }
    if (opt.fingerprints && !key.fpr.empty() && first == 1)
        lines.push_back(fingerprintLine(opt.lang, key.fpr));
    if (first == 1 && !key.uids.empty())
        addSigs(key.uids.front());
    for (size_t i = first; i < key.uids.size(); ++i) {
        lines.push_back(uidLine(key.uids[i].uid));
        if (opt.fingerprints && i == 0 && !key.fpr.empty())
            lines.push_back(fingerprintLine(opt.lang, key.fpr));
        addSigs(key.uids[i]);
    }
    if (opt.fingerprints && key.uids.empty() && !key.fpr.empty() && first == 0)
        lines.push_back(fingerprintLine(opt.lang, key.fpr));
    return lines;
}

std::string formatListing(const std::vector<KeyInfo> &keys, const ListOptions &opt,
                          const std::string &ring)
{
    std::string out = "\n" + keyRingLine(opt.lang, ring) + "\n" + titleLine(opt.lang) + "\n";
    for (const KeyInfo &k : keys)
        for (const std::string &l : keyLines(k, opt))
            out += l + "\n";
    out += summaryLine(opt.lang, int(keys.size())) + "\n";
    return out;
}

static bool isHex(const std::string &s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

static std::string upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

KeySpec parseKeySpec(const std::string &arg)
{
    KeySpec spec;
    std::string a = arg;
    // A user ID given in double quotes keeps its blanks but loses the quotes.
    if (a.size() >= 2 && a.front() == '"' && a.back() == '"')
        a = a.substr(1, a.size() - 2);
    if (a.size() > 2 && a[0] == '0' && (a[1] == 'x' || a[1] == 'X')) {
        std::string hex;
        for (char c : a.substr(2))
            if (c != ' ')
                hex += c;
        if (isHex(hex)) {
            spec.text = upper(hex);
            spec.kind = hex.size() >= 32 ? KeySpec::Fingerprint : KeySpec::KeyId;
            return spec;
        }
    }
    spec.kind = KeySpec::Substring;
    spec.text = a;
    return spec;
}

static bool endsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool keyMatches(const KeyInfo &key, const KeySpec &spec)
{
    switch (spec.kind) {
    case KeySpec::Substring:
        for (const UidInfo &u : key.uids)
            if (containsNoCase(u.uid, spec.text))
                return true;
        return false;
    case KeySpec::KeyId:
        if (spec.text.size() > 16)
            return false;
        if (endsWith(key.id16, spec.text))
            return true;
        for (const std::string &s : key.subIds16)
            if (endsWith(s, spec.text))
                return true;
        return false;
    case KeySpec::Fingerprint:
        if (key.fpr == spec.text)
            return true;
        for (const std::string &s : key.subFprs)
            if (s == spec.text)
                return true;
        return false;
    }
    return false;
}

std::vector<const KeyInfo *> findKeys(const std::vector<KeyInfo> &keys, const KeySpec &spec)
{
    std::vector<const KeyInfo *> found;
    for (const KeyInfo &k : keys)
        if (keyMatches(k, spec))
            found.push_back(&k);
    return found;
}

Resolution resolveKey(const std::vector<KeyInfo> &keys, const KeySpec &spec, const KeyInfo *&out)
{
    auto found = findKeys(keys, spec);
    if (found.empty())
        return Resolution::None;
    if (found.size() > 1 && spec.kind == KeySpec::KeyId)
        return Resolution::Ambiguous;
    out = found.front();
    return Resolution::One;
}

} // namespace pgpc
