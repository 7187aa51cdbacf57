#include "commands.h"
#include "worktext.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace pgpc {

std::string argToUtf8(const Settings &s, const std::string &arg)
{
    if (s.latin1 && !isValidUtf8(arg))
        return latin1ToUtf8(arg);
    return arg;
}

std::vector<std::string> splitWords(const std::string &text)
{
    std::vector<std::string> out;
    std::string cur;
    bool quote = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quote = !quote;
            any = true;
            continue;
        }
        if ((c == ' ' || c == '\t' || c == ',') && !quote) {
            if (any || !cur.empty())
                out.push_back(cur);
            cur.clear();
            any = false;
            continue;
        }
        cur += c;
    }
    if (any || !cur.empty())
        out.push_back(cur);
    out.erase(std::remove(out.begin(), out.end(), std::string()), out.end());
    return out;
}

int reportFailure(const Console &con, const GpgResult &r, int exitCode, const std::string &output)
{
    if (r.badPass) {
        con.line();
        con.say("Error:  Bad pass phrase.");
    } else if (r.diskFull()) {
        con.say("Error writing file '%s'.", {output.empty() ? std::string("stdout") : output});
        con.line(r.text());
    } else {
        con.line("GnuPG: " + r.text());
    }
    return exitCode;
}

namespace {

struct Ctx {
    App &app;
    Console &con;
    Backend &be;
    const Settings &s;
    const Invocation &inv;
    explicit Ctx(App &a) : app(a), con(a.con), be(a.backend), s(a.settings), inv(a.inv) {}
    const std::string ring() const { return be.ringName(); }
};

std::string bitsText(const KeyInfo &k)
{
    return std::to_string(k.bits) + "-bit";
}

void describeKey(Ctx &c, const KeyInfo &k)
{
    c.con.say("Key for user ID: %s", {k.firstUid()});
    c.con.say("%s key, key ID %s, created %s", {bitsText(k), k.id8(), formatDate(k.created)});
}

enum class Found { One, None, Ambiguous };

// One key for a command-line user ID: a short key ID that fits several keys is refused;
// a user ID substring takes the first key, as PGP did.
Found findOne(Ctx &c, const std::vector<KeyInfo> &keys, const std::string &arg, const KeyInfo *&out,
              bool quiet = false)
{
    switch (resolveKey(keys, parseKeySelector(argToUtf8(c.s, arg)), out)) {
    case Resolution::One:
        return Found::One;
    case Resolution::None:
        if (!quiet)
            c.con.say("Key matching userid '%s' not found in file '%s'.", {arg, c.ring()});
        return Found::None;
    case Resolution::Ambiguous:
        break;
    }
    if (!quiet)
        c.con.say("Key ID %s matches more than one key; give more digits or the fingerprint.", {arg});
    return Found::Ambiguous;
}

int report(Ctx &c, const GpgResult &r, int exitCode, const std::string &output = {})
{
    return reportFailure(c.con, r, exitCode, output);
}

bool listOrFail(Ctx &c, std::vector<KeyInfo> &keys, bool secretOnly, bool validate = false)
{
    GpgResult r = c.be.listKeys(keys, false, false, secretOnly, validate);
    if (!r.ok())
        report(c, r, ExitKeyView);
    return r.ok();
}

// Only the keys the recipients can name: gpg's substring and key-ID search is a superset of
// PGP's, and the exact choice is made here. Falls back to the whole ring.
bool listRecipients(Ctx &c, std::vector<KeyInfo> &keys, const std::vector<std::string> &wanted)
{
    std::vector<std::string> patterns;
    for (const std::string &w : wanted) {
        std::string u = argToUtf8(c.s, w);
        KeySelector sel = parseKeySelector(u);
        if (sel.kind == KeySelector::Substring && sel.text.find(' ') == std::string::npos &&
            sel.text.find('"') == std::string::npos && !sel.text.empty() &&
            std::string("=<@*&%!#+").find(sel.text[0]) == std::string::npos)
            patterns.push_back(sel.text);
        else if (sel.kind != KeySelector::Substring && sel.text.size() >= 8)
            patterns.push_back(sel.text);
        else
            return listOrFail(c, keys, false, true);
    }
    if (patterns.empty() || c.s.encryptToSelf)
        patterns.clear();
    GpgResult r = c.be.listKeysFast(keys, false, false, patterns, true);
    if (!r.ok())
        report(c, r, ExitEncrypt);
    return r.ok();
}

// The key that signs: -u, else MyName, else GnuPG's default-key, else the first usable
// secret key.
const KeyInfo *ownKey(Ctx &c, const std::vector<KeyInfo> &secret, bool forSigning)
{
    const KeyInfo *k = nullptr;
    std::string who = c.inv.signer ? *c.inv.signer : c.s.myName;
    if (!who.empty()) {
        if (findOne(c, secret, who, k) != Found::One)
            return nullptr;
        return k;
    }
    if ((k = c.be.gnupgDefaultKey(secret)))
        return k;
    for (const KeyInfo &s : secret)
        if (!s.revoked && !s.expired && !s.disabled && (!forSigning || s.canSign))
            return &s;
    c.con.say("Key matching userid '%s' not found in file '%s'.", {std::string(), c.ring()});
    return nullptr;
}

bool isUsableForEncryption(const KeyInfo &k)
{
    return k.canEncrypt && !k.revoked && !k.expired && !k.disabled;
}

// ---------------------------------------------------------------- listings

int cmdList(Ctx &c, ListStyle style)
{
    const auto &ops = c.inv.operands;
    std::string ring = c.ring();
    bool secret = false;
    std::vector<KeyInfo> keys;
    if (ops.size() >= 2) {
        const std::string &r = ops[1];
        if (asciiLower(r).find("secring") != std::string::npos) {
            secret = true;
        } else if (!sameFile(r, ring)) {
            std::string data;
            if (!readFile(r, data)) {
                c.con.say("File '%s' does not exist.", {r});
                return ExitFileNotFound;
            }
            c.be.keysInFile(data, keys);
            ring = r;
            if (style == ListStyle::CheckSigs)
                style = ListStyle::Sigs;
            goto haveKeys;
        }
    }
    {
        GpgResult r = style != ListStyle::CheckSigs ? c.be.listKeysFast(keys, style == ListStyle::Sigs, secret)
                      : secret                      ? c.be.listKeys(keys, true, true, secret)
                                                    : c.be.checkKeysFast(keys);
        if (!r.ok())
            return report(c, r, ExitKeyView);
    }
haveKeys:
    if (!ops.empty() && !ops[0].empty() && ops[0] != "*") {
        KeySelector sel = parseKeySelector(argToUtf8(c.s, ops[0]));
        std::vector<KeyInfo> kept;
        for (KeyInfo &k : keys)
            if (keyMatches(k, sel))
                kept.push_back(std::move(k));
        keys.swap(kept);
    }
    ListOptions lo;
    lo.lang = c.s.lang;
    lo.style = style;
    lo.fingerprints = c.inv.fingerprints;
    c.con.print(formatListing(keys, lo, ring));
    return ExitOk;
}

// ---------------------------------------------------------------- key ring changes

int importData(Ctx &c, const std::string &data, const std::string &name)
{
    c.con.line();
    c.con.say("Looking for new keys...");
    ImportSummary s = c.be.importKeys(data);
    if (!s.ok())
        return report(c, s, ExitKeyAdd);
    if (s.considered == 0 && s.secretRead == 0) {
        c.con.say("Error: '%s' is not a ciphertext, signature, or key file.", {name});
        return ExitKeyAdd;
    }
    ListOptions lo;
    lo.lang = c.s.lang;
    for (const std::string &f : s.newFprs)
        if (auto k = c.be.keyByFpr(f))
            c.con.line(keyLines(*k, lo).front());
    if (s.newKeys == 0 && s.newUids == 0 && s.newSigs == 0 && s.newSubkeys == 0 && s.newSecret == 0) {
        c.con.line();
        c.con.say("No new keys or signatures in keyfile.");
        return ExitOk;
    }
    c.con.line();
    c.con.say("Keyfile contains:");
    c.con.say("%4d new key(s)", {std::to_string(s.newKeys)});
    c.con.say("%4d new signatures(s)", {std::to_string(s.newSigs)});
    c.con.say("%4d new user ID(s)", {std::to_string(s.newUids)});
    if (s.newSecret > 0)
        c.con.say("%4d new secret key(s)", {std::to_string(s.newSecret)});
    return ExitOk;
}

int cmdAdd(Ctx &c)
{
    if (c.inv.operands.empty()) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    const std::string &file = c.inv.operands[0];
    std::string data;
    if (!readFile(file, data)) {
        c.con.say("File '%s' does not exist.", {file});
        return ExitFileNotFound;
    }
    return importData(c, data, file);
}

int cmdExtract(Ctx &c)
{
    const auto &ops = c.inv.operands;
    if (ops.empty()) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    std::vector<KeyInfo> keys;
    if (!listOrFail(c, keys, false))
        return ExitKeyExtract;
    c.con.line();
    c.con.say("Extracting from key ring: '%s', userid \"%s\".", {c.ring(), ops[0]});
    const KeyInfo *k = nullptr;
    Found f = findOne(c, keys, ops[0], k);
    if (f != Found::One)
        return ExitNoKey;
    c.con.line();
    describeKey(c, *k);
    std::string file = ops.size() >= 2 ? ops[1] : std::string();
    if (file.empty()) {
        c.con.print("\nExtract the above key into which file? ");
        if (!c.con.readLine(file) || file.empty()) {
            c.con.line();
            c.con.say("Invalid arguments.");
            return ExitKeyExtract;
        }
    }
    const bool armor = c.inv.armor || c.s.armor;
    file = c.inv.outFile ? *c.inv.outFile : keyFileName(file, armor);
    std::string block;
    if (GpgResult r = c.be.exportKey(k->fpr, armor, block); !r.ok())
        return report(c, r, ExitKeyExtract);
    std::string content;
    if (armor) {
        ListOptions lo;
        lo.lang = c.s.lang;
        KeyInfo head = *k;
        content = titleLine(c.s.lang) + "\n" + keyLines(head, lo).front() + "\n\n" + block;
    } else {
        content = block;
    }
    OutputFile out;
    if (!out.open(c.con, file, false))
        return ExitKeyExtract;
    if (!out.write(c.con, content))
        return ExitKeyExtract;
    if (!out.commit(c.con))
        return ExitKeyExtract;
    c.con.line();
    if (armor)
        c.con.say("Transport armor file: %s", {out.path()});
    c.con.say("Key extracted to file '%s'.", {out.path()});
    return ExitOk;
}

// The user IDs of k that the argument names, when it names them by their text.
std::vector<size_t> namedUids(Ctx &c, const KeyInfo &k, const std::string &arg)
{
    std::vector<size_t> out;
    KeySelector sel = parseKeySelector(argToUtf8(c.s, arg));
    if (sel.kind != KeySelector::Substring)
        return out;
    for (size_t i = 0; i < k.uids.size(); ++i)
        if (containsNoCase(k.uids[i].uid, sel.text))
            out.push_back(i);
    return out;
}

// PGP 2.6 offers to take away just the user ID named when the key has others.
int removeUid(Ctx &c, const KeyInfo &k, const std::string &arg, bool &declined)
{
    declined = false;
    std::vector<size_t> named = namedUids(c, k, arg);
    if (c.s.batchMode || k.uids.size() < 2 || named.empty() || named.size() == k.uids.size())
        return -1;
    c.con.say("Key has more than one user ID.");
    if (c.con.ask(c.con.tr("Do you want to remove the whole key (y/N)? ")))
        return -1;
    for (size_t i = 0; i < named.size(); ++i) {
        const std::string &uid = k.uids[named[i]].uid;
        if (!c.con.ask(c.con.tr("Remove \"%s\" (y/N)? ", {uid})))
            continue;
        if (GpgResult r = c.be.deleteUid(k.fpr, named[i]); !r.ok())
            return report(c, r, ExitKeyRemove);
        c.con.say("User ID removed from key ring.");
        return ExitOk;
    }
    declined = true;
    c.con.say("Key not removed.");
    return ExitKeyRemove;
}

int cmdRemove(Ctx &c)
{
    const auto &ops = c.inv.operands;
    if (ops.empty()) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    std::vector<KeyInfo> keys;
    if (!listOrFail(c, keys, false))
        return ExitKeyRemove;
    c.con.line();
    c.con.say("Removing from key ring: '%s', userid \"%s\".", {c.ring(), ops[0]});
    const KeyInfo *k = nullptr;
    if (findOne(c, keys, ops[0], k) != Found::One)
        return ExitNoKey;
    c.con.line();
    describeKey(c, *k);
    c.con.line();
    bool declined = false;
    if (int code = removeUid(c, *k, ops[0], declined); code >= 0)
        return code;
    bool withSecret = false;
    if (k->hasSecret) {
        c.con.say("Key or user ID is also present in secret keyring.");
        if (c.s.batchMode) {
            // GnuPG cannot take away the public key and keep the secret one.
            c.con.say("A key with a secret part is not removed in batch mode.");
            c.con.say("Run the command without +batchmode to remove it with its secret key.");
            return ExitKeyRemove;
        }
        if (!c.con.ask(c.con.tr("Are you sure you want this key removed (y/N)? ")) ||
            !c.con.ask(c.con.tr("Do you also want to remove it from the secret keyring (y/N)? "))) {
            c.con.say("Key not removed.");
            return ExitKeyRemove;
        }
        withSecret = true;
    } else if (!(c.s.batchMode && c.s.force)) {
        if (!c.con.ask(c.con.tr("Are you sure you want this key removed (y/N)? "))) {
            c.con.say("Key not removed.");
            return ExitKeyRemove;
        }
    }
    if (GpgResult r = c.be.deleteKey(k->fpr, withSecret); !r.ok()) {
        report(c, r, ExitKeyRemove);
        c.con.say("Key not removed.");
        return ExitKeyRemove;
    }
    c.con.say("Key removed from key ring.");
    return ExitOk;
}

int cmdKeySign(Ctx &c)
{
    const auto &ops = c.inv.operands;
    if (ops.empty()) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    std::vector<KeyInfo> keys, secret;
    GpgResult listed = c.be.listKeys(keys, true, false, false);
    if (listed.ok())
        listed = c.be.listKeys(secret, false, false, true);
    if (!listed.ok())
        return report(c, listed, ExitKeySign);
    const KeyInfo *target = nullptr;
    if (findOne(c, keys, ops[0], target) != Found::One)
        return ExitNoKey;
    const KeyInfo *me = ownKey(c, secret, true);
    if (!me)
        return ExitNoKey;
    c.con.line();
    describeKey(c, *target);
    c.con.line();
    bool allSigned = !target->uids.empty();
    for (const UidInfo &u : target->uids) {
        bool has = false;
        for (const SigInfo &s : u.sigs)
            has = has || s.signerId16 == me->id16;
        allSigned = allSigned && has;
    }
    if (allSigned) {
        c.con.say("Key is already signed by user \"%s\".", {me->firstUid()});
        return ExitKeySign;
    }
    if (!c.s.batchMode &&
        !c.con.ask("READ CAREFULLY:  Based on your own direct first-hand knowledge, are\n"
                   "you absolutely certain that you are prepared to solemnly certify that\n"
                   "the above public key actually belongs to the user specified by the\n"
                   "above user ID (y/N)? ")) {
        return ExitKeySign;
    }
    c.con.line();
    c.con.say("A secret key is required to make a signature.");
    describeKey(c, *me);
    CryptResult r = c.be.certify(target->fpr, *me);
    if (!r.ok())
        return report(c, r, ExitKeySign);
    if (c.app.pass.wasAsked())
        c.con.say("Pass phrase is good.  Just a moment....");
    c.con.say("Key signature certificate added.");
    return ExitOk;
}

// ---------------------------------------------------------------- files

struct InFile {
    int fd = -1;
    ~InFile()
    {
        if (fd >= 0)
            close(fd);
    }
};

bool openInput(Ctx &c, const std::string &name, InFile &in)
{
    if (c.inv.filter) {
        in.fd = dup(STDIN_FILENO);
        return in.fd >= 0;
    }
    struct stat st;
    if (stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        (in.fd = open(name.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        c.con.say("File '%s' does not exist.", {name});
        return false;
    }
    return true;
}

// The front end's working text goes to gpg as UTF-8.
bool workTextIn(Ctx &c, const std::string &name, InFile &in)
{
    if (!worktext::applies(c.s, c.inv))
        return true;
    int fd = worktext::utf8Copy(in.fd);
    if (fd < 0) {
        c.con.say("Error reading file '%s'.", {name});
        return false;
    }
    close(in.fd);
    in.fd = fd;
    return true;
}

// A text result for the front end comes back in its working character set.
bool workTextOut(Ctx &c, OutputFile &out)
{
    if (!worktext::applies(c.s, c.inv) || out.tempPath().empty())
        return true;
    if (worktext::toWorkText(c.con, out.fd()))
        return true;
    c.con.say("Error writing file '%s'.", {out.path()});
    out.discard();
    return false;
}

// Output beside the input by the MS-DOS rule; never the input itself.
std::string outputName(Ctx &c, const std::string &input, const std::string &ext)
{
    if (c.inv.outFile)
        return *c.inv.outFile;
    std::string out = replaceExtension(input, ext);
    if (sameFile(out, input))
        out = input + ext;
    return out;
}

bool openOutput(Ctx &c, OutputFile &out, const std::string &name, bool plaintext)
{
    if (c.inv.filter)
        return true;
    return out.open(c.con, name, plaintext);
}

int outFd(Ctx &c, OutputFile &out)
{
    return c.inv.filter ? STDOUT_FILENO : out.fd();
}

void reportSigs(Ctx &c, const std::vector<SigCheck> &sigs, int &exitCode)
{
    for (const SigCheck &s : sigs) {
        std::string uid = s.signer ? s.signer->firstUid() : std::string();
        std::string bits = s.signer ? bitsText(*s.signer) : std::string("?");
        std::string id8 = s.signer ? s.signer->id8()
                                   : (s.fpr.size() >= 8 ? s.fpr.substr(s.fpr.size() - 8) : s.fpr);
        c.con.line();
        switch (s.status) {
        case SigCheck::Good:
            c.con.say("Good signature from user \"%s\".", {uid});
            c.con.say("Signature made %s GMT using %s key, key ID %s", {formatDateTime(s.created), bits, id8});
            break;
        case SigCheck::Bad:
            c.con.say("WARNING: Bad signature, doesn't match file contents!");
            c.con.line();
            c.con.say("Bad signature from user \"%s\".", {uid});
            if (s.created)
                c.con.say("Signature made %s GMT using %s key, key ID %s", {formatDateTime(s.created), bits, id8});
            exitCode = ExitSigCheck;
            break;
        case SigCheck::NoKey:
            c.con.say("Key matching expected Key ID %s not found in file '%s'.", {id8, c.ring()});
            c.con.line();
            c.con.say("WARNING: Can't find the right public key-- can't check signature integrity.");
            exitCode = ExitSigCheck;
            break;
        case SigCheck::Error:
            c.con.say("WARNING: Bad signature, doesn't match file contents!");
            exitCode = ExitSigCheck;
            break;
        }
    }
}

void cannotEncryptTo(Ctx &c, const std::string &who)
{
    c.con.say("Cannot find the public key matching userid '%s'", {who});
    c.con.say("This user will not be able to decrypt this message.");
}

// The recipients' keys, each once, with PGP's warnings about those that cannot be used.
class RecipientChoice {
public:
    RecipientChoice(Ctx &c, const std::vector<KeyInfo> &keys) : c_(c), keys_(keys) {}

    void add(const std::string &asked)
    {
        const KeyInfo *k = nullptr;
        Found f = findOne(c_, keys_, asked, k, true);
        if (f == Found::One)
            return use(*k, asked);
        // "alice bob" as one argument names two recipients when it names no key itself.
        auto parts = splitWords(asked);
        if (f == Found::None && (parts.size() > 1 || (parts.size() == 1 && parts[0] != asked))) {
            for (const std::string &p : parts) {
                const KeyInfo *pk = nullptr;
                Found pf = findOne(c_, keys_, p, pk);
                if (pf == Found::One)
                    use(*pk, p);
                else if (pf == Found::None)
                    cannotEncryptTo(c_, p);
            }
            return;
        }
        findOne(c_, keys_, asked, k); // says why
        if (f == Found::None)
            cannotEncryptTo(c_, asked);
    }

    void addSelf(const KeyInfo &own)
    {
        for (const KeyInfo &k : keys_)
            if (k.fpr == own.fpr && isUsableForEncryption(k) && seen_.insert(k.fpr).second)
                fprs_.push_back(k.fpr);
    }

    const std::vector<std::string> &fingerprints() const { return fprs_; }

private:
    void use(const KeyInfo &k, const std::string &asked)
    {
        if (!seen_.insert(k.fpr).second)
            return;
        describeKey(c_, k);
        if (!isUsableForEncryption(k))
            return cannotEncryptTo(c_, asked);
        if (!k.valid) {
            c_.con.line();
            c_.con.say("WARNING:  Because this public key is not certified with a trusted\n"
                       "signature, it is not known with high confidence that this public key\n"
                       "actually belongs to: \"%s\".", {k.firstUid()});
            if (!c_.s.batchMode &&
                !c_.con.ask(c_.con.tr("Are you sure you want to use this public key (y/N)? ")))
                return;
        }
        fprs_.push_back(k.fpr);
    }

    Ctx &c_;
    const std::vector<KeyInfo> &keys_;
    std::vector<std::string> fprs_;
    std::set<std::string> seen_;
};

// The recipients named after the file, or asked for when there are none.
std::vector<std::string> recipientArgs(Ctx &c)
{
    const auto &ops = c.inv.operands;
    std::vector<std::string> wanted(ops.begin() + (c.inv.filter ? 0 : 1), ops.end());
    return wanted;
}

void askRecipient(Ctx &c, std::vector<std::string> &wanted)
{
    c.con.line();
    c.con.print("A user ID is required to select the recipient's public key.\n"
                "Enter the recipient's user ID: ");
    std::string who;
    if (c.con.readLine(who) && !who.empty())
        wanted.push_back(who);
    else
        c.con.line();
}

// The result file's line, as PGP words it for each kind of output.
void sayResultFile(Ctx &c, const OutputFile &out, const char *what)
{
    if (c.inv.filter)
        return;
    c.con.line();
    c.con.say(what, {out.path()});
}

int finishOutput(Ctx &c, OutputFile &out, int failCode)
{
    if (!c.inv.filter && !out.commit(c.con))
        return failCode;
    return ExitOk;
}

int cmdEncrypt(Ctx &c)
{
    const auto &ops = c.inv.operands;
    if (ops.empty() && !c.inv.filter) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    const std::string input = c.inv.filter ? std::string() : ops[0];
    InFile in;
    if (!openInput(c, input, in))
        return ExitFileNotFound;
    if (!workTextIn(c, input, in))
        return ExitEncrypt;
    std::vector<std::string> wanted = recipientArgs(c);
    std::vector<KeyInfo> keys, secret;
    if (!listRecipients(c, keys, wanted))
        return ExitEncrypt;
    if (wanted.empty())
        askRecipient(c, wanted);
    const KeyInfo *signer = nullptr;
    if (c.inv.signToo || c.s.encryptToSelf) {
        if (!listOrFail(c, secret, true))
            return ExitEncrypt;
        signer = ownKey(c, secret, c.inv.signToo);
        if (!signer && c.inv.signToo)
            return ExitNoKey;
    }
    c.con.line();
    c.con.say("Recipients' public key(s) will be used to encrypt.");
    RecipientChoice choice(c, keys);
    for (const std::string &w : wanted)
        choice.add(w);
    if (c.s.encryptToSelf && signer)
        choice.addSelf(*signer);
    if (choice.fingerprints().empty()) {
        c.con.line();
        c.con.say("Encryption error");
        return wanted.empty() ? ExitEncrypt : ExitNoKey;
    }
    const bool armor = c.inv.armor || c.s.armor;
    const bool text = c.inv.textMode || c.s.textMode;
    OutputFile out;
    if (!openOutput(c, out, outputName(c, input, armor ? ".asc" : ".pgp"), false))
        return ExitEncrypt;
    CryptResult r = c.be.encrypt(choice.fingerprints(), in.fd, outFd(c, out), armor, text,
                                 c.inv.signToo ? signer : nullptr);
    if (!r.ok()) {
        out.discard();
        report(c, r, ExitEncrypt, out.path());
        if (!r.badPass && !r.diskFull())
            c.con.say("Encryption error");
        return r.badPass ? ExitSign : ExitEncrypt;
    }
    if (int code = finishOutput(c, out, ExitEncrypt))
        return code;
    if (c.app.pass.wasAsked())
        c.con.say("Pass phrase is good.  Just a moment....");
    sayResultFile(c, out, armor ? "Transport armor file: %s" : "Ciphertext file: %s");
    return ExitOk;
}

int cmdConventional(Ctx &c)
{
    const auto &ops = c.inv.operands;
    if (ops.empty() && !c.inv.filter) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    const std::string input = c.inv.filter ? std::string() : ops[0];
    InFile in;
    if (!openInput(c, input, in))
        return ExitFileNotFound;
    if (!workTextIn(c, input, in))
        return ExitEncrypt;
    const bool armor = c.inv.armor || c.s.armor;
    OutputFile out;
    if (!openOutput(c, out, outputName(c, input, armor ? ".asc" : ".pgp"), false))
        return ExitEncrypt;
    CryptResult r = c.be.encryptSymmetric(in.fd, outFd(c, out), armor, c.inv.textMode || c.s.textMode);
    if (!r.ok()) {
        out.discard();
        if (r.badPass && !c.app.pass.hasGiven()) {
            // Nothing to encrypt with: no pass phrase given, none could be typed.
            c.con.line();
            c.con.say("You need a pass phrase to encrypt the file.");
            c.con.say("Encryption error");
            return ExitEncrypt;
        }
        return report(c, r, ExitEncrypt, out.path());
    }
    if (!c.inv.filter) {
        std::string head(4096, '\0');
        ssize_t n = pread(out.fd(), head.data(), head.size(), 0);
        head.resize(n > 0 ? size_t(n) : 0);
        c.be.forgetMessagePassphrases(parseMessageHead(head).passCacheIds);
    }
    if (int code = finishOutput(c, out, ExitEncrypt))
        return code;
    sayResultFile(c, out, armor ? "Transport armor file: %s" : "Ciphertext file: %s");
    return ExitOk;
}

int cmdSign(Ctx &c)
{
    const auto &ops = c.inv.operands;
    if (ops.empty() && !c.inv.filter) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    const std::string input = c.inv.filter ? std::string() : ops[0];
    InFile in;
    if (!openInput(c, input, in))
        return ExitFileNotFound;
    if (!workTextIn(c, input, in))
        return ExitSign;
    std::vector<KeyInfo> secret;
    if (!listOrFail(c, secret, true))
        return ExitSign;
    const KeyInfo *me = ownKey(c, secret, true);
    if (!me)
        return ExitNoKey;
    const bool armor = c.inv.armor || c.s.armor;
    const bool text = c.inv.textMode || c.s.textMode;
    Backend::SignMode mode = c.inv.detached              ? Backend::SignMode::Detached
                           : (armor && text && c.s.clearSig) ? Backend::SignMode::Clear
                                                         : Backend::SignMode::Normal;
    c.con.line();
    c.con.say("A secret key is required to make a signature.");
    describeKey(c, *me);
    std::string ext = armor ? ".asc" : (c.inv.detached ? ".sig" : ".pgp");
    OutputFile out;
    // A detached signature holds no text; the others carry the plain text.
    if (!openOutput(c, out, outputName(c, input, ext), mode != Backend::SignMode::Detached))
        return ExitSign;
    CryptResult r = c.be.sign(in.fd, outFd(c, out), mode, armor, text, *me);
    if (!r.ok()) {
        out.discard();
        report(c, r, ExitSign, out.path());
        if (!r.badPass && !r.diskFull())
            c.con.say("Signature error");
        return ExitSign;
    }
    // A clear-signed text carries its text; armour alone is ASCII either way.
    if (mode == Backend::SignMode::Clear && !workTextOut(c, out))
        return ExitSign;
    if (int code = finishOutput(c, out, ExitSign))
        return code;
    if (c.app.pass.wasAsked())
        c.con.say("Pass phrase is good.  Just a moment....");
    sayResultFile(c, out, mode == Backend::SignMode::Clear ? "Clear signature file: %s"
                          : armor                         ? "Transport armor file: %s"
                          : c.inv.detached                ? "Signature file: %s"
                                                          : "Ciphertext file: %s");
    return ExitOk;
}

enum class Kind { Encrypted, Signed, Detached, Keys, Unknown };

Kind classify(const std::string &head)
{
    auto armored = [&](const char *what) {
        std::string tag = std::string("-----BEGIN PGP ") + what + "-----";
        size_t p = head.find(tag);
        return p != std::string::npos && (p == 0 || head[p - 1] == '\n');
    };
    if (armored("SIGNED MESSAGE"))
        return Kind::Signed;
    if (armored("SIGNATURE"))
        return Kind::Detached;
    if (armored("PUBLIC KEY BLOCK") || armored("PRIVATE KEY BLOCK"))
        return Kind::Keys;
    switch (identifyData(head)) {
    case DataKind::Encrypted: return Kind::Encrypted;
    case DataKind::Signed: return Kind::Signed;
    case DataKind::Detached: return Kind::Detached;
    case DataKind::Keys: return Kind::Keys;
    case DataKind::Other: return Kind::Encrypted; // let GnuPG tell
    case DataKind::Unknown: break;
    }
    if (armored("MESSAGE"))
        return Kind::Encrypted;
    return Kind::Unknown;
}

std::string decryptedName(Ctx &c, const std::string &input)
{
    if (c.inv.outFile)
        return *c.inv.outFile;
    if (c.inv.operands.size() >= 2)
        return c.inv.operands[1];
    std::string out = stripExtension(input);
    if (out.empty() || sameFile(out, input)) {
        out = input + ".out";
        c.con.say("The input has no extension: output file is '%s'.", {out});
    }
    return out;
}

// The file named, or the same with .pgp or .asc added, as PGP looked for it.
std::string findInput(Ctx &c)
{
    if (c.inv.filter)
        return {};
    std::string input = c.inv.operands[0];
    if (!fileExists(input)) {
        for (const char *ext : {".pgp", ".asc"})
            if (fileExists(input + ext))
                return input + ext;
    }
    return input;
}

int showKeyFile(Ctx &c, const std::string &input)
{
    std::string data;
    readFile(input, data);
    std::vector<KeyInfo> keys;
    c.be.keysInFile(data, keys);
    c.con.line();
    c.con.say("File contains key(s).  Contents follow...");
    ListOptions lo;
    lo.lang = c.s.lang;
    c.con.print(formatListing(keys, lo, input));
    if (c.con.ask(c.con.tr("Do you want to add this keyfile to keyring '%s' (y/N)? ", {c.ring()})))
        return importData(c, data, input);
    return ExitOk;
}

int checkDetached(Ctx &c, const std::string &input, InFile &sig)
{
    const auto &ops = c.inv.operands;
    std::string textName = ops.size() >= 2 ? ops[1] : stripExtension(input);
    c.con.line();
    c.con.say("File '%s' has signature, but with no text.", {input});
    if (textName.empty() || !fileExists(textName)) {
        c.con.print("\nPlease enter filename of material that signature applies to: ");
        std::string typed;
        if (!c.con.readLine(typed) || typed.empty()) {
            c.con.line();
            c.con.say("File '%s' does not exist.", {textName});
            return ExitFileNotFound;
        }
        textName = typed;
    } else {
        c.con.say("Text is assumed to be in file '%s'.", {textName});
    }
    InFile text;
    if (!openInput(c, textName, text))
        return ExitFileNotFound;
    c.con.say("File has signature.  Public key is required to check signature.");
    CryptResult r = c.be.verifyDetached(sig.fd, text.fd);
    if (!r.ok())
        return report(c, r, ExitSigCheck);
    int code = ExitOk;
    reportSigs(c, r.sigs, code);
    c.con.line();
    c.con.say("Signature and text are separate.  No output file produced.");
    return code;
}

// The user's secret keys among the recipients, with their keygrips; all of them when the
// message hides its recipients.
std::vector<KeyInfo> ownRecipientKeys(Ctx &c, const MessageHead &head)
{
    std::vector<std::string> ids;
    for (const std::string &id : head.recipients16) {
        if (id == "0000000000000000")
            return ownRecipientKeys(c, MessageHead{});
        ids.push_back("0x" + id);
    }
    if (ids.empty() && !head.recipients16.empty())
        return {};
    // Only the grips are wanted: the public listing has them, and clearing the grip of a key
    // this ring holds no secret for does no harm. All secret keys for a hidden recipient.
    std::vector<KeyInfo> keys;
    if (!c.be.listKeysFast(keys, false, ids.empty(), ids).ok())
        keys.clear();
    return keys;
}

// Who can read a message this ring has no secret key for: primary key and user ID, as -kv
// shows them, where the ring knows the key.
void sayRecipients(Ctx &c, const std::vector<std::string> &recipients16)
{
    c.con.say("This message can only be read by:");
    std::vector<KeyInfo> ring;
    c.be.listKeysFast(ring, false, false);
    for (const std::string &id : recipients16) {
        const KeyInfo *owner = nullptr;
        for (const KeyInfo &k : ring)
            if (k.id16 == id || std::find(k.subIds16.begin(), k.subIds16.end(), id) != k.subIds16.end())
                owner = &k;
        if (owner)
            c.con.line("  key ID " + owner->id8() + "  " + owner->firstUid());
        else
            c.con.line("  key ID " + (id.size() >= 8 ? id.substr(id.size() - 8) : id));
    }
    c.con.line();
    c.con.line("You do not have the secret key needed to decrypt this file.");
}

int decryptFailed(Ctx &c, const CryptResult &r, Kind kind, const std::string &input, const OutputFile &out)
{
    const int code = kind == Kind::Signed ? ExitSigCheck : ExitDecrypt;
    if (r.badPass || r.diskFull())
        return report(c, r, code, out.path());
    if (r.notPgp) {
        c.con.say("Error: '%s' is not a ciphertext, signature, or key file.", {input});
        return ExitUnknownFile;
    }
    if (r.noSecretKey) {
        sayRecipients(c, r.recipients16);
        return code;
    }
    return report(c, r, code, out.path());
}

bool anyBad(const CryptResult &r)
{
    return std::any_of(r.sigs.begin(), r.sigs.end(), [](const SigCheck &s) { return s.status == SigCheck::Bad; });
}

// A signed working text was signed over UTF-8 by gpg users and over its Latin-1
// bytes by PGP 2.6 users: the UTF-8 form is tried first, then the bytes as they are.
CryptResult verifySigned(Ctx &c, InFile &in, OutputFile &out)
{
    if (!worktext::applies(c.s, c.inv))
        return c.be.verifyOpaque(in.fd, outFd(c, out));
    InFile utf8;
    utf8.fd = worktext::utf8Copy(in.fd);
    if (utf8.fd < 0)
        return c.be.verifyOpaque(in.fd, outFd(c, out));
    CryptResult r = c.be.verifyOpaque(utf8.fd, out.fd());
    if (!anyBad(r) || out.tempPath().empty())
        return r;
    if (ftruncate(out.fd(), 0) != 0 || lseek(out.fd(), 0, SEEK_SET) != 0 || lseek(in.fd, 0, SEEK_SET) != 0)
        return r;
    return c.be.verifyOpaque(in.fd, out.fd());
}

// Decrypts, or checks the signature of, a message whose output is plain text.
int readMessage(Ctx &c, Kind kind, const std::string &input, InFile &in, const std::string &head)
{
    OutputFile out;
    if (!openOutput(c, out, c.inv.filter ? std::string() : decryptedName(c, input), true))
        return kind == Kind::Signed ? ExitSigCheck : ExitDecrypt;
    CryptResult r;
    c.con.line();
    if (kind == Kind::Signed) {
        c.con.say("File has signature.  Public key is required to check signature.");
        r = verifySigned(c, in, out);
    } else {
        const MessageHead mh = parseMessageHead(head);
        const bool conventional = mh.conventional && mh.recipients16.empty();
        if (conventional) {
            c.con.say("File is conventionally encrypted.");
            c.app.pass.setUse(PassUse::DecryptConventional);
        } else {
            c.con.say("File is encrypted.  Secret key is required to read it.");
        }
        Backend::KeysLookup own;
        if (!conventional)
            own = [&c, &mh] { return ownRecipientKeys(c, mh); };
        r = c.be.decrypt(in.fd, outFd(c, out), own, mh.passCacheIds);
        if (!r.ok() && r.notPgp && !r.badPass && !c.inv.filter) {
            // Signed but not encrypted after all: start over as a signature check.
            if (ftruncate(out.fd(), 0) == 0 && lseek(out.fd(), 0, SEEK_SET) == 0 &&
                lseek(in.fd, 0, SEEK_SET) == 0) {
                kind = Kind::Signed;
                r = c.be.verifyOpaque(in.fd, out.fd());
            }
        }
    }
    if (!r.ok()) {
        out.discard();
        return decryptFailed(c, r, kind, input, out);
    }
    if (c.app.pass.wasAsked())
        c.con.say("Pass phrase is good.  Just a moment....");
    int code = ExitOk;
    reportSigs(c, r.sigs, code);
    if (!workTextOut(c, out))
        return ExitDecrypt;
    if (int failed = finishOutput(c, out, ExitDecrypt))
        return failed;
    if (!c.inv.filter) {
        c.con.line();
        c.con.say("Plaintext filename: %s", {out.path()});
    }
    return code;
}

// In filter mode the message comes from standard input, read whole so its head can be seen.
bool readStdinMessage(InFile &in, std::string &head)
{
    std::string all;
    char buf[65536];
    ssize_t n;
    while ((n = read(in.fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            all.append(buf, size_t(n));
    if (n < 0)
        return false;
    // In memory, never on a disk.
    int fd = memfd_create("pgp-input", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, all.data(), all.size()) == ssize_t(all.size()) && lseek(fd, 0, SEEK_SET) == 0;
    close(in.fd);
    in.fd = fd;
    head = all.substr(0, 65536);
    return ok;
}

int cmdDecrypt(Ctx &c)
{
    if (c.inv.operands.empty() && !c.inv.filter) {
        c.con.say("Invalid arguments.");
        return ExitBadArg;
    }
    const std::string input = findInput(c);
    InFile in;
    if (!openInput(c, input, in))
        return ExitFileNotFound;
    std::string head(65536, '\0');
    if (c.inv.filter) {
        if (!readStdinMessage(in, head)) {
            c.con.say("Error reading standard input.");
            return ExitInvalidFile;
        }
    } else {
        ssize_t n = pread(in.fd, head.data(), head.size(), 0);
        head.resize(n > 0 ? size_t(n) : 0);
    }
    const Kind kind = c.inv.filter ? Kind::Encrypted : classify(head);
    switch (kind) {
    case Kind::Unknown:
        c.con.say("Error: '%s' is not a ciphertext, signature, or key file.", {input});
        return ExitUnknownFile;
    case Kind::Keys:
        return showKeyFile(c, input);
    case Kind::Detached:
        return checkDetached(c, input, in);
    case Kind::Signed:
    case Kind::Encrypted:
        break;
    }
    return readMessage(c, kind, input, in, head);
}

int refuseInBatch(Ctx &c)
{
    c.con.say("This command talks to you and needs the console; it cannot run with +batchmode.");
    return ExitNoBatch;
}

} // namespace

int runInteractive(App &app); // interactive.cpp

int runCommand(App &app)
{
    Ctx c(app);
    switch (app.inv.command) {
    case Command::KeyList: return cmdList(c, app.inv.sigsInListing ? ListStyle::Sigs : ListStyle::Short);
    case Command::KeyCheck: return cmdList(c, ListStyle::CheckSigs);
    case Command::KeyExtract: return cmdExtract(c);
    case Command::KeyAdd: return cmdAdd(c);
    case Command::KeyRemove: return cmdRemove(c);
    case Command::KeySign: return cmdKeySign(c);
    case Command::Encrypt: return cmdEncrypt(c);
    case Command::Conventional: return cmdConventional(c);
    case Command::Sign: return cmdSign(c);
    case Command::Decrypt: return cmdDecrypt(c);
    case Command::KeyGen:
    case Command::KeyEdit:
    case Command::KeyDisable:
    case Command::KeyRemoveSig:
        if (app.settings.batchMode)
            return refuseInBatch(c);
        return runInteractive(app);
    case Command::Help: break;
    }
    return ExitOk;
}

} // namespace pgpc
