#include "listing.h"

#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <string_view>
#include <unordered_map>

namespace pgpc {

namespace {

void appendDate(std::string &out, std::time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    out.append(buf, n > 0 ? size_t(n) : 0);
}

} // namespace

std::string formatDate(std::time_t t)
{
    std::string date;
    appendDate(date, t);
    return date;
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

namespace {

void appendKeyLine(std::string &out, std::string_view type, char marker, unsigned bits, std::string_view id8,
                   std::time_t created, std::string_view text)
{
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, "%4u", bits > 9999 ? 9999 : bits);
    out += type;
    out += marker;
    out += ' ';
    out.append(buf, n > 0 ? size_t(n) : 0);
    out += '/';
    out += id8;
    out += ' ';
    appendDate(out, created);
    out += ' ';
    out += text;
}

void appendSigLine(std::string &out, std::string_view type, char mark, std::string_view id8, const std::time_t *date,
                   std::string_view text)
{
    out += type;
    out += mark;
    out.append(6, ' ');
    out += id8;
    if (date) {
        out += ' ';
        appendDate(out, *date);
        out += "  ";
    } else {
        out.append(13, ' ');
    }
    out += text;
}

void appendFingerprintLine(std::string &out, Lang lang, const std::string &fpr)
{
    out.append(12, ' ');
    out += msg(lang, "Key fingerprint =");
    out += ' ';
    out += groupFingerprint(fpr);
}

std::string_view lastEight(const std::string &id)
{
    return id.size() >= 8 ? std::string_view(id).substr(id.size() - 8) : std::string_view(id);
}

// The lines of one key, each written by sink.line(), which hands out the string to
// append the line to, and closed by sink.done().
template <class Sink> void writeKey(const KeyInfo &key, const ListOptions &opt, Sink &sink)
{
    const bool de = opt.lang == Lang::German;
    const std::string_view type = key.secret ? (de ? "prv" : "sec") : (de ? "öff" : "pub");
    const std::string_view sigType = de ? "Unt" : "sig";
    const char marker = key.disabled ? '-' : ' ';
    const std::string_view unknown = msg(opt.lang, "(Unknown signator, can't be checked)");

    auto addSigs = [&](const UidInfo &u) {
        if (opt.style == ListStyle::Short)
            return;
        for (const SigInfo &s : u.sigs) {
            std::string_view who = s.signerUid.empty() ? unknown : std::string_view(s.signerUid);
            if (opt.style == ListStyle::CheckSigs) {
                char mark = s.check == SigInfo::Good ? '!'
                          : s.check == SigInfo::Bad  ? '*'
                          : s.check == SigInfo::NoKey ? '?' : ' ';
                if (s.check == SigInfo::NoKey)
                    who = unknown;
                appendSigLine(sink.line(), sigType, mark, lastEight(s.signerId16), &s.created, who);
            } else {
                appendSigLine(sink.line(), sigType, ' ', lastEight(s.signerId16), nullptr, who);
            }
            sink.done();
        }
    };
    auto fingerprint = [&] {
        appendFingerprintLine(sink.line(), opt.lang, key.fpr);
        sink.done();
    };

    size_t first = 0;
    if (key.revoked) {
        appendKeyLine(sink.line(), type, marker, key.bits, lastEight(key.id16), key.created,
                      msg(opt.lang, "*** KEY REVOKED ***"));
        first = 0; // every user ID follows on lines of its own
    } else {
        appendKeyLine(sink.line(), type, marker, key.bits, lastEight(key.id16), key.created,
                      key.uids.empty() ? std::string_view() : std::string_view(key.uids.front().uid));
        first = 1;
    }
    sink.done();
    if (opt.fingerprints && !key.fpr.empty() && first == 1)
        fingerprint();
    if (first == 1 && !key.uids.empty())
        addSigs(key.uids.front());
    for (size_t i = first; i < key.uids.size(); ++i) {
        sink.line().append(30, ' ').append(key.uids[i].uid);
        sink.done();
        if (opt.fingerprints && i == 0 && !key.fpr.empty())
            fingerprint();
        addSigs(key.uids[i]);
    }
    if (opt.fingerprints && key.uids.empty() && !key.fpr.empty() && first == 0)
        fingerprint();
}

struct LinesSink {
    std::vector<std::string> lines;
    std::string &line() { return lines.emplace_back(); }
    void done() {}
};

struct TextSink {
    std::string &out;
    std::string &line() { return out; }
    void done() { out += '\n'; }
};

} // namespace

std::string keyLine(const std::string &type, char marker, unsigned bits, const std::string &id8,
                    std::time_t created, const std::string &text)
{
    std::string line;
    appendKeyLine(line, type, marker, bits, id8, created, text);
    return line;
}

std::string uidLine(const std::string &uid)
{
    return std::string(30, ' ') + uid;
}

std::string sigLine(const std::string &type, char mark, const std::string &id8,
                    const std::time_t *date, const std::string &text)
{
    std::string line;
    appendSigLine(line, type, mark, id8, date, text);
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
    std::string line;
    appendFingerprintLine(line, lang, fpr);
    return line;
}

std::vector<std::string> keyLines(const KeyInfo &key, const ListOptions &opt)
{
    LinesSink sink;
    writeKey(key, opt, sink);
    return std::move(sink.lines);
}

std::string formatListing(const std::vector<KeyInfo> &keys, const ListOptions &opt,
                          const std::string &ring)
{
    std::string out = "\n" + keyRingLine(opt.lang, ring) + "\n" + titleLine(opt.lang) + "\n";
    size_t lines = keys.size();
    for (const KeyInfo &k : keys)
        for (const UidInfo &u : k.uids)
            lines += 1 + (opt.style == ListStyle::Short ? 0 : u.sigs.size());
    out.reserve(lines * 72);
    TextSink sink{out};
    for (const KeyInfo &k : keys)
        writeKey(k, opt, sink);
    out += summaryLine(opt.lang, int(keys.size())) + "\n";
    return out;
}

namespace {

// A large ring's listing has hundreds of thousands of fields: they are looked at in place.
void colonFields(std::string_view line, std::vector<std::string_view> &f)
{
    f.clear();
    size_t p = 0;
    for (;;) {
        size_t q = line.find(':', p);
        f.push_back(line.substr(p, q == std::string_view::npos ? std::string_view::npos : q - p));
        if (q == std::string_view::npos)
            break;
        p = q + 1;
    }
}

int hexDigit(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// User IDs in colon listings escape ':' and control bytes as \xNN.
std::string unescapeColon(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += char(hexDigit(s[i + 2]) * 16 + hexDigit(s[i + 3]));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// strtoll's reading of a field, without a copy for the usual short field.
long long number(std::string_view s)
{
    char buf[32];
    if (s.size() >= sizeof buf)
        return std::strtoll(std::string(s).c_str(), nullptr, 10);
    s.copy(buf, s.size());
    buf[s.size()] = '\0';
    return std::strtoll(buf, nullptr, 10);
}

} // namespace

ColonListingReader::ColonListingReader(bool secretListing) : secret_(secretListing)
{
    f_.reserve(24);
}

void ColonListingReader::line(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::vector<std::string_view> &f = f_;
    colonFields(line, f);
    if (f.size() < 2)
        return;
    const std::string_view t = f[0];
    auto field = [&](size_t i) -> std::string_view { return i < f.size() ? f[i] : std::string_view(); };
    KeyInfo *key = keys_.empty() ? nullptr : &keys_.back();
    UidInfo *uid = key && uidOpen_ && !key->uids.empty() ? &key->uids.back() : nullptr;
    if (t == "pub" || t == "sec") {
        key = &keys_.emplace_back();
        uidOpen_ = false;
        inSub_ = false;
        key->secret = secret_;
        key->hasSecret = t == "sec" || field(14) == "+" || (!field(14).empty() && field(14) != "#");
        const std::string_view v = field(1);
        key->revoked = v == "r";
        key->expired = v == "e";
        key->valid = v == "f" || v == "u";
        key->bits = unsigned(number(field(2)));
        key->id16 = std::string(field(4));
        key->created = std::time_t(number(field(5)));
        const std::string_view caps = field(11);
        key->disabled = caps.find('D') != std::string_view::npos;
        key->canEncrypt = caps.find('E') != std::string_view::npos;
        key->canSign = caps.find('S') != std::string_view::npos;
        fprFor_ = Primary;
    } else if (!key) {
        return;
    } else if (t == "sub" || t == "ssb") {
        inSub_ = true;
        uidOpen_ = false;
        key->subIds16.emplace_back(field(4));
        fprFor_ = Sub;
    } else if (t == "fpr") {
        if (fprFor_ == Primary)
            key->fpr = std::string(field(9));
        else if (fprFor_ == Sub)
            key->subFprs.emplace_back(field(9));
        fprFor_ = None;
    } else if (t == "grp") {
        key->grips.emplace_back(field(9));
    } else if (t == "uid" && !inSub_) {
        uid = &key->uids.emplace_back();
        uidOpen_ = true;
        uid->uid = unescapeColon(field(9));
        uid->revoked = field(1) == "r";
        if (field(1) == "f" || field(1) == "u")
            key->valid = true;
    } else if (t == "sig" && uid && !inSub_) {
        const std::string_view cls = field(10);
        if (cls.substr(0, 2) == "30") // a revocation of a certification, not a certification
            return;
        SigInfo si;
        si.signerId16 = std::string(field(4));
        si.created = std::time_t(number(field(5)));
        si.signerUid = unescapeColon(field(9));
        if (si.signerUid == "[User ID not found]")
            si.signerUid.clear();
        // --check-sigs puts its verdict in field 2.
        const std::string_view verdict = field(1);
        si.check = verdict == "!" ? SigInfo::Good
                 : verdict == "-" ? SigInfo::Bad
                 : verdict == "?" ? SigInfo::NoKey
                                  : SigInfo::Unchecked;
        uid->sigs.push_back(std::move(si));
    }
}

void ColonListingReader::feed(std::string_view bytes)
{
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos) {
            partial_.append(bytes.substr(pos));
            return;
        }
        if (partial_.empty()) {
            line(bytes.substr(pos, nl - pos));
        } else {
            partial_.append(bytes.substr(pos, nl - pos));
            line(partial_);
            partial_.clear();
        }
        pos = nl + 1;
    }
}

std::vector<KeyInfo> ColonListingReader::take()
{
    if (!partial_.empty()) {
        line(partial_);
        partial_.clear();
    }
    uidOpen_ = inSub_ = false;
    fprFor_ = None;
    std::vector<KeyInfo> keys;
    keys.swap(keys_);
    return keys;
}

std::vector<KeyInfo> parseColonListing(const std::string &text, bool secretListing)
{
    ColonListingReader reader(secretListing);
    reader.feed(text);
    return reader.take();
}

void nameSignersFromRing(std::vector<KeyInfo> &keys)
{
    std::unordered_map<std::string_view, const KeyInfo *> byId;
    byId.reserve(keys.size() * 2);
    for (const KeyInfo &k : keys) {
        byId.emplace(k.id16, &k);
        for (const std::string &s : k.subIds16)
            byId.emplace(s, &k);
    }
    for (KeyInfo &k : keys)
        for (UidInfo &u : k.uids)
            for (SigInfo &s : u.sigs) {
                if (!s.signerUid.empty())
                    continue;
                auto it = byId.find(s.signerId16);
                if (it != byId.end())
                    s.signerUid = it->second->firstUid();
            }
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

KeySelector parseKeySelector(const std::string &arg)
{
    KeySelector sel;
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
            sel.text = upper(hex);
            sel.kind = hex.size() >= 32 ? KeySelector::Fingerprint : KeySelector::KeyId;
            return sel;
        }
    }
    sel.kind = KeySelector::Substring;
    sel.text = a;
    return sel;
}

static bool endsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool keyMatches(const KeyInfo &key, const KeySelector &sel)
{
    switch (sel.kind) {
    case KeySelector::Substring:
        for (const UidInfo &u : key.uids)
            if (containsNoCase(u.uid, sel.text))
                return true;
        return false;
    case KeySelector::KeyId:
        if (sel.text.size() > 16)
            return false;
        if (endsWith(key.id16, sel.text))
            return true;
        for (const std::string &s : key.subIds16)
            if (endsWith(s, sel.text))
                return true;
        return false;
    case KeySelector::Fingerprint:
        if (key.fpr == sel.text)
            return true;
        for (const std::string &s : key.subFprs)
            if (s == sel.text)
                return true;
        return false;
    }
    return false;
}

std::vector<const KeyInfo *> findKeys(const std::vector<KeyInfo> &keys, const KeySelector &sel)
{
    std::vector<const KeyInfo *> found;
    for (const KeyInfo &k : keys)
        if (keyMatches(k, sel))
            found.push_back(&k);
    return found;
}

Resolution resolveKey(const std::vector<KeyInfo> &keys, const KeySelector &sel, const KeyInfo *&out)
{
    auto found = findKeys(keys, sel);
    if (found.empty())
        return Resolution::None;
    if (found.size() > 1 && sel.kind == KeySelector::KeyId)
        return Resolution::Ambiguous;
    out = found.front();
    return Resolution::One;
}

} // namespace pgpc
