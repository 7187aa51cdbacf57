#include "backend.h"

#include <gpgme++/decryptionresult.h>
#include <gpgme++/editinteractor.h>
#include <gpgme++/encryptionresult.h>
#include <gpgme++/gpgrevokekeyeditinteractor.h>
#include <gpgme++/gpgsetownertrusteditinteractor.h>
#include <gpgme++/importresult.h>
#include <gpgme++/interfaces/passphraseprovider.h>
#include <gpgme++/key.h>
#include <gpgme++/keygenerationresult.h>
#include <gpgme++/keylistresult.h>
#include <gpgme++/signingresult.h>
#include <gpgme++/verificationresult.h>
#include <gpgme.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>

namespace pgpc {

using namespace GpgME;

bool PassSource::next(const std::string &keyHint, bool previousWasBad, std::string &out)
{
    asked_ = true;
    // gpg asks once for each of the user's keys that the message is for; a new key gets the
    // pass phrase afresh, the same key again means the last one was wrong.
    if (keyHint != hint_ || tries_ == 0) {
        hint_ = keyHint;
        tries_ = 0;
    }
    ++tries_;
    if (given_) {
        if (tries_ > 1) {
            failed_ = true;
            return false;
        }
        out = *given_;
        return true;
    }
    if ((previousWasBad && tries_ > 3) || con_.settings().batchMode) {
        failed_ = true;
        return false;
    }
    if (!told_) {
        told_ = true;
        con_.say(use_ == PassUse::EncryptConventional   ? "You need a pass phrase to encrypt the file."
                 : use_ == PassUse::DecryptConventional ? "You need a pass phrase to decrypt this file."
                                                        : "You need a pass phrase to unlock your secret key.");
    }
    if (!con_.readSecret(con_.tr("Enter pass phrase: "), out)) {
        failed_ = true;
        return false;
    }
    if (use_ == PassUse::EncryptConventional) {
        std::string again;
        if (!con_.readSecret(con_.tr("Enter same pass phrase again: "), again) || again != out) {
            std::fill(again.begin(), again.end(), '\0');
            con_.say("Error: Pass phrases were different.");
            failed_ = true;
            return false;
        }
        std::fill(again.begin(), again.end(), '\0');
    }
    if (con_.settings().latin1 && !isValidUtf8(out))
        out = latin1ToUtf8(out);
    return true;
}

class Backend::Provider : public PassphraseProvider {
public:
    explicit Provider(PassSource &p) : pass(p) {}
    char *getPassphrase(const char *hint, const char *, bool previousWasBad, bool &canceled) override
    {
        std::string pw;
        if (!pass.next(hint ? hint : "", previousWasBad, pw)) {
            canceled = true;
            return nullptr;
        }
        canceled = false;
        char *copy = static_cast<char *>(std::malloc(pw.size() + 1));
        std::memcpy(copy, pw.c_str(), pw.size() + 1);
        std::fill(pw.begin(), pw.end(), '\0');
        return copy; // gpgme++ wipes and frees it
    }
    PassSource &pass;
};

static std::string upperHex(const char *s)
{
    std::string r = s ? s : "";
    for (char &c : r)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

KeyInfo toKeyInfo(const Key &k, bool secretListing)
{
    KeyInfo ki;
    ki.secret = secretListing;
    ki.hasSecret = k.hasSecret();
    ki.revoked = k.isRevoked();
    ki.disabled = k.isDisabled();
    ki.expired = k.isExpired();
    ki.canEncrypt = k.canEncrypt();
    ki.canSign = k.canSign();
    ki.fpr = upperHex(k.primaryFingerprint());
    const auto subs = k.subkeys();
    for (size_t i = 0; i < subs.size(); ++i) {
        const Subkey &s = subs[i];
        if (i == 0) {
            ki.bits = s.length();
            ki.algo = s.publicKeyAlgorithmAsString() ? s.publicKeyAlgorithmAsString() : "";
            ki.id16 = upperHex(s.keyID());
            ki.created = s.creationTime();
        } else {
            ki.subIds16.push_back(upperHex(s.keyID()));
            ki.subFprs.push_back(upperHex(s.fingerprint()));
        }
        if (s.keyGrip())
            ki.grips.push_back(s.keyGrip());
    }
    for (const UserID &u : k.userIDs()) {
        UidInfo ui;
        ui.uid = u.id() ? u.id() : "";
        ui.revoked = u.isRevoked();
        for (const UserID::Signature &s : u.signatures()) {
            if (s.isRevokation())
                continue;
            SigInfo si;
            si.signerId16 = upperHex(s.signerKeyID());
            si.signerUid = s.signerUserID() ? s.signerUserID() : "";
            si.created = s.creationTime();
            switch (s.status()) {
            case UserID::Signature::NoError: si.check = SigInfo::Good; break;
            case UserID::Signature::BadSignature: si.check = SigInfo::Bad; break;
            case UserID::Signature::NoPublicKey: si.check = SigInfo::NoKey; break;
            default: si.check = SigInfo::Unchecked; break;
            }
            ui.sigs.push_back(std::move(si));
        }
        ki.uids.push_back(std::move(ui));
    }
    return ki;
}

struct Backend::Cache {
    std::map<std::string, Key> pub, sec;
};

Backend::Backend(const Console &con, PassSource &pass)
    : cache_(std::make_unique<Cache>()), con_(con), pass_(pass), provider_(std::make_unique<Provider>(pass))
{
    initGpgme();
}

Backend::~Backend() = default;

std::string Backend::homeDir() const
{
    if (const char *h = std::getenv("GNUPGHOME"); h && *h)
        return h;
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.gnupg";
}

std::string Backend::ringName() const
{
    const std::string home = homeDir();
    struct stat st;
    if (stat((home + "/pubring.kbx").c_str(), &st) != 0 && stat((home + "/pubring.gpg").c_str(), &st) == 0)
        return home + "/pubring.gpg";
    return home + "/pubring.kbx";
}

const KeyInfo *Backend::gnupgDefaultKey(const std::vector<KeyInfo> &secret) const
{
    std::string conf;
    if (!readFile(homeDir() + "/gpg.conf", conf))
        return nullptr;
    // gpg takes the last default-key whose secret key it has.
    const KeyInfo *chosen = nullptr;
    size_t pos = 0;
    while (pos < conf.size()) {
        size_t nl = conf.find('\n', pos);
        std::string line = conf.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? conf.size() : nl + 1;
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line.compare(b, 11, "default-key") != 0)
            continue;
        size_t v = line.find_first_not_of(" \t=", b + 11);
        if (v == std::string::npos || v == b + 11)
            continue;
        std::string value = line.substr(v);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        // gpg takes bare hex as a key ID or fingerprint.
        std::string hex = value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0 ? value.substr(2) : value;
        if (!hex.empty() && hex.back() == '!')
            hex.pop_back();
        if ((hex.size() == 8 || hex.size() == 16 || hex.size() == 40) &&
            hex.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos)
            value = "0x" + hex;
        else if (value.size() > 2 && value.front() == '<' && value.back() == '>')
            value = value.substr(1, value.size() - 2);
        const KeyInfo *k = nullptr;
        if (resolveKey(secret, parseKeySelector(value), k) == Resolution::One)
            chosen = k;
    }
    return chosen;
}

Session Backend::session(GpgResult &r, unsigned options)
{
    return Session::open(r, provider_.get(), options);
}

GpgResult Backend::listKeys(std::vector<KeyInfo> &out, bool sigs, bool check, bool secretOnly, bool validate)
{
    out.clear();
    GpgResult r;
    Session ctx = session(r, !check && !validate ? unsigned(AlwaysTrust) : 0u); // listings never wait for a trust check
    if (!ctx)
        return r;
    unsigned mode = Local | WithSecret | WithKeygrip;
    if (sigs || check)
        mode |= Signatures;
    if (check || validate)
        mode |= Validate;
    ctx->setKeyListMode(mode);
    Error e = ctx->startKeyListing(static_cast<const char *>(nullptr), secretOnly);
    while (!e) {
        Key k = ctx->nextKey(e);
        if (e)
            break;
        out.push_back(toKeyInfo(k, secretOnly));
        if (validate) {
            bool v = k.ownerTrust() == Key::Ultimate;
            for (const UserID &u : k.userIDs())
                v = v || u.validity() >= UserID::Full;
            out.back().valid = v;
        }
        if (!sigs)
            (secretOnly ? cache_->sec : cache_->pub)[out.back().fpr] = k;
    }
    ctx->endKeyListing();
    if (e && e.code() != GPG_ERR_EOF)
        r.fail(e);
    return r;
}

// gpgme++'s key listing cannot ask for gpg's fast list mode nor spare it the trust database;
// gpg's own colon listing lists a large ring in a fraction of the time.
GpgResult Backend::listKeysFast(std::vector<KeyInfo> &out, bool sigs, bool secretOnly,
                                const std::vector<std::string> &patterns, bool validity)
{
    out.clear();
    std::vector<std::string> args = {"--batch", "--no-tty", "--with-colons", "--fixed-list-mode",
                                     "--no-auto-check-trustdb", "--charset", "utf-8"};
    // Grips also for a public look-up by ID: the cache is cleared by grip, and the public
    // listing gets them without asking the agent about every secret key.
    if (secretOnly || !patterns.empty())
        args.push_back("--with-keygrip");
    // For every certification gpg would look the signer up in the ring, one keybox search
    // each; the whole ring is in this listing, so the signers are named from it instead.
    const bool nameSigners = sigs && !secretOnly && patterns.empty();
    // Without validity gpg spares a trust-database look-up per key; revoked and expired
    // keys are marked all the same. Recipients need it: it decides the warning before
    // encrypting.
    if (!secretOnly && !validity)
        args.push_back("--fast-list-mode");
    args.push_back(secretOnly ? "--list-secret-keys" : (sigs ? "--list-sigs" : "--list-keys"));
    args.push_back("--");
    args.insert(args.end(), patterns.begin(), patterns.end());
    ColonListingReader reader(secretOnly);
    GpgResult r = runTool("gpg", args, [&reader](std::string_view piece) { reader.feed(piece); });
    if (r.ok())
        out = reader.take();
    if (nameSigners)
        nameSignersFromRing(out);
    return r;
}

GpgResult Backend::checkKeysFast(std::vector<KeyInfo> &out)
{
    out.clear();
    // Fast list mode spares gpg a trust-database look-up per key and a keybox search per
    // signer's user ID; the signatures are checked all the same, and named from the ring.
    ColonListingReader reader(false);
    GpgResult r = runTool("gpg", {"--batch", "--no-tty", "--with-colons", "--fixed-list-mode", "--no-auto-check-trustdb",
                                  "--charset", "utf-8", "--fast-list-mode", "--check-sigs"},
                          [&reader](std::string_view piece) { reader.feed(piece); });
    if (r.ok())
        out = reader.take();
    nameSignersFromRing(out);
    return r;
}

bool Backend::keysInFile(const std::string &data, std::vector<KeyInfo> &out)
{
    Data d(data.data(), data.size(), true);
    out.clear();
    for (const Key &k : d.toKeys(OpenPGP))
        out.push_back(toKeyInfo(k, false));
    return !out.empty();
}

std::optional<KeyInfo> Backend::keyByFpr(const std::string &fpr)
{
    GpgResult r;
    Session ctx = session(r, AlwaysTrust);
    if (!ctx)
        return std::nullopt;
    ctx->setKeyListMode(Local | WithSecret);
    Error e;
    Key k = ctx->key(fpr.c_str(), e, false);
    if (e || k.isNull())
        return std::nullopt;
    return toKeyInfo(k, false);
}

static bool base64Value(char c, unsigned &v)
{
    if (c >= 'A' && c <= 'Z') v = unsigned(c - 'A');
    else if (c >= 'a' && c <= 'z') v = unsigned(c - 'a' + 26);
    else if (c >= '0' && c <= '9') v = unsigned(c - '0' + 52);
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else return false;
    return true;
}

// The packets of an armoured message, as far as the head holds them.
static std::string dearmor(const std::string &head)
{
    size_t p = head.find("-----BEGIN PGP MESSAGE-----");
    if (p == std::string::npos)
        return head;
    // Header lines end at the first empty line.
    size_t body = std::string::npos;
    for (size_t q = head.find('\n', p); q != std::string::npos; q = head.find('\n', q + 1)) {
        size_t next = q + 1;
        if (next < head.size() && (head[next] == '\n' || head[next] == '\r')) {
            body = head.find('\n', next);
            break;
        }
    }
    if (body == std::string::npos)
        return {};
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    for (size_t i = body + 1; i < head.size(); ++i) {
        char c = head[i];
        if (c == '=' || c == '-')
            break;
        unsigned v;
        if (!base64Value(c, v))
            continue;
        acc = (acc << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xFF);
        }
    }
    return out;
}

MessageHead parseMessageHead(const std::string &head)
{
    MessageHead m;
    const std::string d = dearmor(head);
    auto byte = [&](size_t i) { return static_cast<unsigned char>(d[i]); };
    size_t i = 0;
    while (i < d.size()) {
        unsigned b = byte(i++);
        if (!(b & 0x80))
            break;
        unsigned tag;
        size_t len = 0;
        if (b & 0x40) {
            tag = b & 0x3F;
            if (i >= d.size())
                break;
            unsigned o = byte(i++);
            if (o < 192) {
                len = o;
            } else if (o < 224) {
                if (i >= d.size())
                    break;
                len = ((o - 192) << 8) + byte(i++) + 192;
            } else if (o == 255) {
                if (i + 4 > d.size())
                    break;
                len = (size_t(byte(i)) << 24) | (size_t(byte(i + 1)) << 16) | (size_t(byte(i + 2)) << 8) | byte(i + 3);
                i += 4;
            } else {
                break; // partial length: the encrypted data itself
            }
        } else {
            tag = (b >> 2) & 0x0F;
            unsigned lt = b & 3;
            if (lt == 3)
                break;
            size_t n = lt == 0 ? 1 : lt == 1 ? 2 : 4;
            if (i + n > d.size())
                break;
            for (size_t k = 0; k < n; ++k)
                len = (len << 8) | byte(i + k);
            i += n;
        }
        if (i + len > d.size())
            break;
        if (tag == 1 && len >= 9 && byte(i) == 3) {
            static const char *hex = "0123456789ABCDEF";
            std::string id;
            for (size_t k = 1; k <= 8; ++k) {
                id += hex[byte(i + k) >> 4];
                id += hex[byte(i + k) & 15];
            }
            m.recipients16.push_back(id);
        } else if (tag == 3) {
            m.conventional = true;
            // v4: version, cipher, S2K type, hash, then the salt of salted S2Ks.
            if (len >= 12 && byte(i) == 4 && (byte(i + 2) == 1 || byte(i + 2) == 3)) {
                static const char *hex = "0123456789ABCDEF";
                std::string id = "S";
                for (size_t k = 4; k < 12; ++k) {
                    id += hex[byte(i + k) >> 4];
                    id += hex[byte(i + k) & 15];
                }
                m.passCacheIds.push_back(id);
            }
        } else if (tag != 10) { // a marker packet may come first; anything else ends the keys
            break;
        }
        i += len;
    }
    return m;
}

static std::vector<SigCheck> sigChecks(const VerificationResult &vr)
{
    std::vector<SigCheck> out;
    for (const Signature &s : vr.signatures()) {
        SigCheck sc;
        sc.fpr = upperHex(s.fingerprint());
        sc.created = s.creationTime();
        const auto code = s.status().code();
        if (code == GPG_ERR_NO_ERROR || code == GPG_ERR_SIG_EXPIRED || code == GPG_ERR_KEY_EXPIRED ||
            code == GPG_ERR_CERT_REVOKED)
            sc.status = SigCheck::Good;
        else if (code == GPG_ERR_BAD_SIGNATURE)
            sc.status = SigCheck::Bad;
        else if (code == GPG_ERR_NO_PUBKEY)
            sc.status = SigCheck::NoKey;
        else
            sc.status = SigCheck::Error;
        out.push_back(std::move(sc));
    }
    return out;
}

void Backend::fillSigs(CryptResult &r, const std::vector<SigCheck> &sigs)
{
    for (SigCheck sc : sigs) {
        if (sc.status != SigCheck::NoKey && !sc.fpr.empty())
            sc.signer = keyByFpr(sc.fpr);
        r.sigs.push_back(std::move(sc));
    }
}

// A failed operation; a cancelled or refused pass phrase is PGP's bad pass phrase.
static void noteFailure(GpgResult &r, const Error &e, const PassSource &pass)
{
    r.fail(e);
    if (pass.failed() || e.code() == GPG_ERR_BAD_PASSPHRASE || e.code() == GPG_ERR_NO_PASSPHRASE ||
        (e.isCanceled() && pass.wasAsked()))
        r.badPass = true;
    if (e.code() == GPG_ERR_NO_SECKEY)
        r.noSecretKey = true;
}

std::vector<Key> Backend::keysFor(Context &ctx, const std::vector<std::string> &fprs, bool secret)
{
    std::vector<Key> keys;
    for (const std::string &f : fprs) {
        auto &c = secret ? cache_->sec : cache_->pub;
        if (auto it = c.find(f); it != c.end()) {
            keys.push_back(it->second);
            continue;
        }
        Error e;
        Key k = ctx.key(f.c_str(), e, secret);
        if (!e && !k.isNull())
            keys.push_back(k);
    }
    return keys;
}

Key Backend::keyFor(GpgResult &r, Context &ctx, const std::string &fpr, bool secret)
{
    Error e;
    Key k = ctx.key(fpr.c_str(), e, secret);
    if (!e && k.isNull())
        e = Error::fromCode(secret ? GPG_ERR_NO_SECKEY : GPG_ERR_NO_PUBKEY);
    if (e)
        r.fail(e);
    return k;
}

void Backend::forgetPassphrases(const KeyInfo &key)
{
    forgetPassphrases(std::vector<KeyInfo>{key});
}

void Backend::forgetMessagePassphrases(const std::vector<std::string> &passCacheIds)
{
    forgetPassphrases(std::vector<KeyInfo>{}, passCacheIds);
}

void Backend::forgetPassphrases(const KeysLookup &keys, const std::vector<std::string> &passCacheIds)
{
    // Without keys, or with the agent holding none of them, only the message's own entries go.
    std::vector<std::string> held;
    const bool known = keys && agent_.held(held);
    if (!keys || (known && held.empty())) {
        agent_.forget({}, passCacheIds);
        return;
    }
    forgetPassphrases(keys(), passCacheIds, known ? &held : nullptr);
}

void Backend::forgetPassphrases(const std::vector<KeyInfo> &keys, const std::vector<std::string> &passCacheIds,
                                const std::vector<std::string> *held)
{
    std::vector<std::string> grips;
    for (const KeyInfo &k : keys) {
        if (!k.grips.empty()) {
            grips.insert(grips.end(), k.grips.begin(), k.grips.end());
            continue;
        }
        GpgResult r;
        Session ctx = session(r, AlwaysTrust);
        if (!ctx)
            continue;
        ctx->setKeyListMode(Local | WithKeygrip);
        Error e;
        Key full = ctx->key(k.fpr.c_str(), e, true);
        if (e || full.isNull())
            continue;
        for (const Subkey &s : full.subkeys())
            if (s.keyGrip())
                grips.push_back(s.keyGrip());
    }
    agent_.forget(grips, passCacheIds, held);
}

CryptResult Backend::encrypt(const std::vector<std::string> &fprs, int in, int out, bool armor, bool text,
                             const KeyInfo *signer)
{
    CryptResult r;
    Session ctx = session(r, AlwaysTrust | (armor ? Armor : 0u) | (text ? TextMode : 0u));
    if (!ctx)
        return r;
    FdData din = fdData(in, Direction::In), dout = fdData(out, Direction::Out, armor);
    if (!signer) {
        if (Error e = Missing::encrypt(ctx, fprs, din, dout))
            noteFailure(r, e, pass_);
        return r;
    }
    // Signing wants gpgme++'s key objects; the secret listing before has them ready.
    std::vector<Key> keys = keysFor(*ctx, fprs, false);
    if (keys.size() != fprs.size()) {
        r.fail(GPG_ERR_UNUSABLE_PUBKEY);
        return r;
    }
    auto sk = keysFor(*ctx, {signer->fpr}, true);
    if (sk.empty()) {
        r.noSecretKey = true;
        r.fail(GPG_ERR_NO_SECKEY);
        return r;
    }
    ctx->addSigningKey(sk.front());
    forgetPassphrases(*signer);
    auto res = ctx->signAndEncrypt(keys, din.data, dout.data, Context::AlwaysTrust);
    if (pass_.wasAsked())
        forgetPassphrases(*signer);
    Error e = res.first.error() ? res.first.error() : res.second.error();
    // gpgme reports a signer that could not sign in the result, not always as an error.
    if (!e && (res.first.createdSignatures().empty() || pass_.failed()))
        e = Error::fromCode(pass_.failed() ? GPG_ERR_BAD_PASSPHRASE : GPG_ERR_GENERAL);
    if (e)
        noteFailure(r, e, pass_);
    return r;
}

CryptResult Backend::encryptSymmetric(int in, int out, bool armor, bool text)
{
    CryptResult r;
    Session ctx = session(r, (armor ? Armor : 0u) | (text ? TextMode : 0u));
    if (!ctx)
        return r;
    pass_.setUse(PassUse::EncryptConventional);
    FdData din = fdData(in, Direction::In), dout = fdData(out, Direction::Out, armor);
    Error e = ctx->encryptSymmetrically(din.data, dout.data);
    // Without a pass phrase gpgme can end "successfully" with nothing written.
    if (!e && pass_.failed())
        e = Error::fromCode(GPG_ERR_NO_PASSPHRASE);
    if (e)
        noteFailure(r, e, pass_);
    return r;
}

CryptResult Backend::sign(int in, int out, SignMode mode, bool armor, bool text, const KeyInfo &signer)
{
    CryptResult r;
    Session ctx = session(r, AlwaysTrust | (armor ? Armor : 0u) | (text ? TextMode : 0u));
    if (!ctx)
        return r;
    auto sk = keysFor(*ctx, {signer.fpr}, true);
    if (sk.empty()) {
        r.noSecretKey = true;
        r.fail(GPG_ERR_NO_SECKEY);
        return r;
    }
    ctx->addSigningKey(sk.front());
    const bool armored = armor || mode == SignMode::Clear;
    FdData din = fdData(in, Direction::In), dout = fdData(out, Direction::Out, armored);
    SignatureMode m = mode == SignMode::Detached ? Detached
                    : mode == SignMode::Clear    ? Clearsigned
                                                 : NormalSignatureMode;
    forgetPassphrases(signer);
    SigningResult sr = ctx->sign(din.data, dout.data, m);
    if (pass_.wasAsked())
        forgetPassphrases(signer);
    Error e = sr.error();
    if (!e && (sr.createdSignatures().empty() || pass_.failed()))
        e = Error::fromCode(pass_.failed() ? GPG_ERR_BAD_PASSPHRASE : GPG_ERR_GENERAL);
    if (e)
        noteFailure(r, e, pass_);
    return r;
}

CryptResult Backend::decrypt(int in, int out, const KeysLookup &ownKeys,
                             const std::vector<std::string> &passCacheIds)
{
    CryptResult r;
    r.wasEncrypted = true;
    Session ctx = session(r);
    if (!ctx)
        return r;
    FdData din = fdData(in, Direction::In), dout = fdData(out, Direction::Out);
    std::optional<std::vector<KeyInfo>> found;
    KeysLookup own;
    if (ownKeys)
        own = [&] {
            if (!found)
                found = ownKeys();
            return *found;
        };
    forgetPassphrases(own, passCacheIds);
    auto res = Missing::decryptVerify(ctx, din, dout);
    // The agent caches only what it was given; never asked, this run gave it nothing.
    if (pass_.wasAsked())
        forgetPassphrases(own, passCacheIds);
    const DecryptionResult &dr = res.first;
    for (const auto &rc : dr.recipients())
        r.recipients16.push_back(upperHex(rc.keyID()));
    Error e = dr.error();
    // A cancelled pass phrase can come back as an empty success: the provider knows better.
    if (!e && pass_.failed())
        e = Error::fromCode(GPG_ERR_BAD_PASSPHRASE);
    if (e) {
        noteFailure(r, e, pass_);
        if (e.code() == GPG_ERR_NO_DATA)
            r.notPgp = true;
        // Asked and still no key opened: each pass phrase offered was wrong.
        if (pass_.wasAsked() && !r.diskFull() &&
            (e.code() == GPG_ERR_NO_SECKEY || e.code() == GPG_ERR_DECRYPT_FAILED)) {
            r.badPass = true;
            r.noSecretKey = false;
        }
        return r;
    }
    fillSigs(r, sigChecks(res.second));
    return r;
}

CryptResult Backend::verifyOpaque(int in, int out)
{
    CryptResult r;
    Session ctx = session(r, AlwaysTrust);
    if (!ctx)
        return r;
    FdData din = fdData(in, Direction::In), dout = fdData(out, Direction::Out);
    VerificationResult vr = Missing::verifyOpaque(ctx, din, dout);
    // A write that failed is a failure even with the signature checked.
    const bool writeFailed = vr.error() && (vr.error().code() == GPG_ERR_ENOSPC || vr.error().code() == GPG_ERR_EDQUOT ||
                                            vr.error().code() == GPG_ERR_EFBIG || vr.error().code() == GPG_ERR_EIO);
    if (vr.error() && (vr.signatures().empty() || writeFailed)) {
        noteFailure(r, vr.error(), pass_);
        if (vr.error().code() == GPG_ERR_NO_DATA)
            r.notPgp = true;
        return r;
    }
    fillSigs(r, sigChecks(vr));
    return r;
}

CryptResult Backend::verifyDetached(int sig, int text)
{
    CryptResult r;
    Session ctx = session(r, AlwaysTrust);
    if (!ctx)
        return r;
    FdData dsig = fdData(sig, Direction::In), dtext = fdData(text, Direction::In);
    VerificationResult vr = ctx->verifyDetachedSignature(dsig.data, dtext.data);
    if (vr.error() && vr.signatures().empty()) {
        noteFailure(r, vr.error(), pass_);
        return r;
    }
    fillSigs(r, sigChecks(vr));
    return r;
}

ImportSummary Backend::importKeys(const std::string &data)
{
    ImportSummary s;
    Session ctx = session(s, AlwaysTrust);
    if (!ctx)
        return s;
    Data d(data.data(), data.size(), true);
    ImportResult ir = ctx->importKeys(d);
    if (ir.error()) {
        s.fail(ir.error());
        return s;
    }
    s.considered = ir.numConsidered();
    // gpg counts the public keys it imported here, also those that came with a secret key.
    s.newKeys = ir.numImported();
    s.unchanged = ir.numUnchanged();
    s.newUids = ir.newUserIDs();
    s.newSigs = ir.newSignatures();
    s.newSubkeys = ir.newSubkeys();
    s.secretRead = ir.numSecretKeysConsidered();
    s.newSecret = ir.numSecretKeysImported();
    std::set<std::string> seen;
    for (const Import &imp : ir.imports()) {
        if (imp.error() || !imp.fingerprint())
            continue;
        const bool added = imp.status() & (Import::NewKey | Import::ContainedSecretKey);
        if (added && seen.insert(upperHex(imp.fingerprint())).second)
            s.newFprs.push_back(upperHex(imp.fingerprint()));
    }
    return s;
}

GpgResult Backend::exportKey(const std::string &fpr, bool armor, std::string &out)
{
    GpgResult r;
    Session ctx = session(r, armor ? unsigned(Armor) : 0u);
    if (!ctx)
        return r;
    Data d;
    if (Error e = ctx->exportPublicKeys(fpr.c_str(), d)) {
        r.fail(e);
        return r;
    }
    out = d.toString();
    if (out.empty())
        r.fail(GPG_ERR_NO_PUBKEY, "nothing exported");
    else if (armor)
        out = withVersionLine(out);
    return r;
}

GpgResult Backend::deleteKey(const std::string &fpr, bool withSecret)
{
    GpgResult r;
    Session ctx = session(r, AlwaysTrust);
    if (!ctx)
        return r;
    if (Error e = Missing::deleteKey(ctx, fpr, withSecret))
        r.fail(e);
    return r;
}

CryptResult Backend::certify(const std::string &targetFpr, const KeyInfo &signer)
{
    CryptResult r;
    Session ctx = session(r, AlwaysTrust);
    if (!ctx)
        return r;
    forgetPassphrases(signer);
    Error e = Missing::signKey(ctx, targetFpr, signer.fpr);
    forgetPassphrases(signer);
    if (!e && pass_.failed())
        e = Error::fromCode(GPG_ERR_BAD_PASSPHRASE);
    if (e)
        noteFailure(r, e, pass_);
    return r;
}

GpgResult Backend::createKey(const std::string &uid, const std::string &algo, const std::string &subAlgo,
                             const std::string &passphrase, std::string &fprOut)
{
    PassSource fixed(con_, passphrase);
    Provider prov(fixed);
    GpgResult r;
    Session ctx = Session::open(r, &prov);
    if (!ctx)
        return r;
    unsigned flags = GPGME_CREATE_NOEXPIRE | GPGME_CREATE_SIGN | GPGME_CREATE_CERT;
    if (passphrase.empty())
        flags |= GPGME_CREATE_NOPASSWD;
    KeyGenerationResult kr = ctx->createKeyEx(uid.c_str(), algo.c_str(), 0, 0, Key(), flags);
    if (kr.error()) {
        r.fail(kr.error());
        return r;
    }
    fprOut = upperHex(kr.fingerprint());
    Key k = keyFor(r, *ctx, fprOut, true);
    if (!r.ok())
        return r;
    fixed.reset();
    if (Error e = ctx->createSubkey(k, subAlgo.c_str(), 0, 0, GPGME_CREATE_ENCR | GPGME_CREATE_NOEXPIRE))
        r.fail(e);
    return r;
}

GpgResult Backend::addUid(const KeyInfo &key, const std::string &uid)
{
    GpgResult r;
    Session ctx = session(r);
    if (!ctx)
        return r;
    Key k = keyFor(r, *ctx, key.fpr, true);
    if (!r.ok())
        return r;
    forgetPassphrases(key);
    Error e = ctx->addUid(k, uid.c_str());
    forgetPassphrases(key);
    if (!e && pass_.failed())
        e = Error::fromCode(GPG_ERR_BAD_PASSPHRASE);
    if (e)
        noteFailure(r, e, pass_);
    return r;
}

// Answers the agent's questions in a fixed order, and none again after a wrong answer.
class Sequence : public PassphraseProvider {
public:
    explicit Sequence(std::vector<std::string> answers) : answers_(std::move(answers)) {}
    char *getPassphrase(const char *, const char *, bool previousWasBad, bool &canceled) override
    {
        canceled = previousWasBad || next_ >= answers_.size();
        if (canceled)
            return nullptr;
        const std::string &pw = answers_[next_++];
        char *copy = static_cast<char *>(std::malloc(pw.size() + 1));
        std::memcpy(copy, pw.c_str(), pw.size() + 1);
        return copy;
    }
    ~Sequence() override
    {
        for (std::string &a : answers_)
            std::fill(a.begin(), a.end(), '\0');
    }

private:
    std::vector<std::string> answers_;
    size_t next_ = 0;
};

bool Backend::unlocks(const Key &key, const std::string &passphrase)
{
    Sequence answer({passphrase});
    GpgResult r;
    Session ctx = Session::open(r, &answer, AlwaysTrust);
    if (!ctx)
        return false;
    ctx->addSigningKey(key);
    Data text("x", 1, true), sig;
    SigningResult sr = ctx->sign(text, sig, Detached);
    return !sr.error() && !sr.createdSignatures().empty();
}

// Through the loopback the agent's questions for the current and the new pass phrase look
// alike, so each pass phrase is proven by a signature: the current one before the change
// (a wrong one changes nothing), the new one after it.
GpgResult Backend::changePassphrase(const KeyInfo &key, const std::string &current, const std::string &fresh)
{
    GpgResult r;
    Sequence answers({current, fresh});
    Session ctx = Session::open(r, &answers);
    if (!ctx)
        return r;
    Key k = keyFor(r, *ctx, key.fpr, true);
    if (!r.ok())
        return r;
    forgetPassphrases(key);
    const bool currentGood = unlocks(k, current);
    forgetPassphrases(key);
    if (!currentGood) {
        r.badPass = true;
        r.fail(GPG_ERR_BAD_PASSPHRASE);
        return r;
    }
    Error e = ctx->passwd(k);
    forgetPassphrases(key);
    if (!e && !unlocks(k, fresh))
        e = Error::fromCode(GPG_ERR_GENERAL);
    forgetPassphrases(key);
    if (e)
        r.fail(e, e.code() == GPG_ERR_GENERAL ? "the new pass phrase was not taken" : std::string());
    return r;
}

// Answers gpg's edit-key prompts from a function of the prompt's keyword.
class ScriptInteractor : public EditInteractor {
public:
    using Answer = std::function<std::string(const std::string &keyword)>;
    static constexpr const char *giveUp = "\x01"; // an unexpected prompt ends the edit
    explicit ScriptInteractor(Answer a) : answer_(std::move(a)) {}
    const char *action(Error &) const override { return reply_.c_str(); }
    unsigned int nextState(unsigned int status, const char *args, Error &err) const override
    {
        if (status != GPGME_STATUS_GET_LINE && status != GPGME_STATUS_GET_BOOL &&
            status != GPGME_STATUS_GET_HIDDEN)
            return state();
        reply_ = answer_(args ? args : "");
        if (reply_ == giveUp) {
            err = Error::fromCode(GPG_ERR_GENERAL);
            return ErrorState;
        }
        return state() + 1;
    }

private:
    Answer answer_;
    mutable std::string reply_;
};

static GpgResult runEdit(Context &ctx, const Key &k, std::unique_ptr<EditInteractor> ia)
{
    GpgResult r;
    Data out;
    if (Error e = ctx.edit(k, std::move(ia), out))
        r.fail(e);
    return r;
}

GpgResult Backend::setOwnerTrust(const std::string &fpr, int trust)
{
    GpgResult r;
    Session ctx = session(r);
    if (!ctx)
        return r;
    Key k = keyFor(r, *ctx, fpr, false);
    if (!r.ok())
        return r;
    return runEdit(*ctx, k, std::make_unique<GpgSetOwnerTrustEditInteractor>(Key::OwnerTrust(trust)));
}

GpgResult Backend::setDisabled(const std::string &fpr, bool disabled)
{
    GpgResult r;
    Session ctx = session(r);
    if (!ctx)
        return r;
    Key k = keyFor(r, *ctx, fpr, false);
    if (!r.ok())
        return r;
    bool sent = false;
    auto script = [&sent, disabled](const std::string &kw) -> std::string {
        if (kw == "keyedit.prompt") {
            if (sent)
                return "save";
            sent = true;
            return disabled ? "disable" : "enable";
        }
        if (kw == "keyedit.save.okay")
            return "Y";
        return ScriptInteractor::giveUp;
    };
    return runEdit(*ctx, k, std::make_unique<ScriptInteractor>(script));
}

GpgResult Backend::revokeKey(const KeyInfo &key)
{
    GpgResult r;
    Session ctx = session(r);
    if (!ctx)
        return r;
    Key k = keyFor(r, *ctx, key.fpr, true);
    if (!r.ok())
        return r;
    auto ia = std::make_unique<GpgRevokeKeyEditInteractor>();
    ia->setReason(RevocationReason::Compromised);
    forgetPassphrases(key);
    r = runEdit(*ctx, k, std::move(ia));
    forgetPassphrases(key);
    if (r.ok() && pass_.failed())
        r.fail(GPG_ERR_BAD_PASSPHRASE);
    if (!r.ok())
        noteFailure(r, r.error, pass_);
    return r;
}

GpgResult Backend::deleteUid(const std::string &fpr, size_t uidIndex)
{
    GpgResult r;
    Session ctx = session(r);
    if (!ctx)
        return r;
    Key k = keyFor(r, *ctx, fpr, false);
    if (!r.ok())
        return r;
    enum class Step { Select, Delete, Save } step = Step::Select;
    auto script = [&](const std::string &kw) -> std::string {
        if (kw == "keyedit.prompt") {
            switch (step) {
            case Step::Select:
                step = Step::Delete;
                return "uid " + std::to_string(uidIndex + 1);
            case Step::Delete:
                step = Step::Save;
                return "deluid";
            case Step::Save:
                return "save";
            }
        }
        if (kw == "keyedit.remove.uid.okay" || kw == "keyedit.save.okay")
            return "Y";
        return ScriptInteractor::giveUp;
    };
    return runEdit(*ctx, k, std::make_unique<ScriptInteractor>(script));
}

GpgResult Backend::deleteSigs(const std::string &fpr, const std::vector<std::vector<bool>> &remove)
{
    GpgResult r;
    Session ctx = session(r, AlwaysTrust);
    if (!ctx)
        return r;
    // The plan needs the key's signatures, in the order gpg walks them.
    ctx->setKeyListMode(Local | Signatures);
    Key k = keyFor(r, *ctx, fpr, false);
    if (!r.ok())
        return r;
    // gpg asks about every signature of a selected user ID, revocations included; remove
    // counts the certifications without the revocations.
    std::vector<std::vector<bool>> plan;
    size_t u = 0;
    for (const UserID &uid : k.userIDs()) {
        std::vector<bool> row;
        size_t j = 0;
        for (const UserID::Signature &s : uid.signatures()) {
            if (s.isRevokation()) {
                row.push_back(false);
                continue;
            }
            row.push_back(u < remove.size() && j < remove[u].size() && remove[u][j]);
            ++j;
        }
        plan.push_back(row);
        ++u;
    }
    auto wanted = [&](size_t i) { return std::find(plan[i].begin(), plan[i].end(), true) != plan[i].end(); };
    // One user ID at a time: select it, delsig through its signatures, deselect it.
    enum class Step { Select, DeleteSigs, Deselect } step = Step::Select;
    size_t current = 0, sigIndex = 0;
    auto script = [&](const std::string &kw) -> std::string {
        if (kw == "keyedit.prompt") {
            switch (step) {
            case Step::Deselect:
                step = Step::Select;
                return "uid " + std::to_string(++current);
            case Step::DeleteSigs:
                step = Step::Deselect;
                sigIndex = 0;
                return "delsig";
            case Step::Select:
                while (current < plan.size() && !wanted(current))
                    ++current;
                if (current >= plan.size())
                    return "save";
                step = Step::DeleteSigs;
                return "uid " + std::to_string(current + 1);
            }
        }
        if (kw == "keyedit.delsig.selfsig")
            return "Y"; // asked only after a yes to the signature itself
        if (kw.rfind("keyedit.delsig.", 0) == 0) {
            bool del = current < plan.size() && sigIndex < plan[current].size() && plan[current][sigIndex];
            ++sigIndex;
            return del ? "Y" : "N";
        }
        if (kw == "keyedit.save.okay")
            return "Y";
        return ScriptInteractor::giveUp;
    };
    return runEdit(*ctx, k, std::make_unique<ScriptInteractor>(script));
}

DataKind identifyData(const std::string &head)
{
    Data d(head.data(), head.size(), false);
    switch (d.type()) {
    case Data::PGPEncrypted: return DataKind::Encrypted;
    case Data::PGPSigned: return DataKind::Signed;
    case Data::PGPSignature: return DataKind::Detached;
    case Data::PGPKey: return DataKind::Keys;
    case Data::PGPOther: return DataKind::Other;
    default: return DataKind::Unknown;
    }
}

} // namespace pgpc
