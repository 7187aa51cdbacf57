#include "backend.h"
#include "agent.h"

#include <gpgme++/context.h>
#include <gpgme++/data.h>
#include <gpgme++/decryptionresult.h>
#include <gpgme++/editinteractor.h>
#include <gpgme++/encryptionresult.h>
#include <gpgme++/engineinfo.h>
#include <gpgme++/error.h>
#include <gpgme++/global.h>
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
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace pgpc {

using namespace GpgME;

bool PassSource::next(bool previousWasBad, std::string &out)
{
    asked_ = true;
    ++tries_;
    if (given_) {
        if (previousWasBad || tries_ > 1) {
            failed_ = true;
            return false;
        }
        out = *given_;
        return true;
    }
    if (previousWasBad && tries_ > 3) {
        failed_ = true;
        return false;
    }
    if (con_.settings().batchMode) {
        failed_ = true;
        return false;
    }
    if (tries_ == 1)
        con_.say("You need a pass phrase to unlock your secret key.");
    if (!con_.readSecret(con_.tr("Enter pass phrase: "), out)) {
        failed_ = true;
        return false;
    }
    if (con_.settings().latin1 && !isValidUtf8(out))
        out = latin1ToUtf8(out);
    return true;
}

std::optional<std::string> PassSource::upFront() const
{
    if (given_)
        return given_->find_first_of("\r\n") == std::string::npos ? given_ : std::nullopt;
    if (con_.settings().batchMode)
        return std::string();
    return std::nullopt;
}

class Backend::Provider : public PassphraseProvider {
public:
    explicit Provider(PassSource &p) : pass(p) {}
    char *getPassphrase(const char *, const char *, bool previousWasBad, bool &canceled) override
    {
        std::string pw;
        if (!pass.next(previousWasBad, pw)) {
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

static gpgme_error_t cPassphrase(void *hook, const char *, const char *, int prevWasBad, int fd)
{
    auto *pass = static_cast<PassSource *>(hook);
    std::string pw;
    if (!pass->next(prevWasBad != 0, pw))
        return gpg_error(GPG_ERR_CANCELED);
    pw += '\n';
    gpgme_io_writen(fd, pw.data(), pw.size());
    std::fill(pw.begin(), pw.end(), '\0');
    return 0;
}

// A C context for the calls gpgme++ 1.18 does not offer (secret-key deletion, key signing).
struct CContext {
    gpgme_ctx_t ctx = nullptr;
    explicit CContext(PassSource &pass)
    {
        if (gpgme_new(&ctx) != 0) {
            ctx = nullptr;
            return;
        }
        gpgme_set_protocol(ctx, GPGME_PROTOCOL_OpenPGP);
        gpgme_set_pinentry_mode(ctx, GPGME_PINENTRY_MODE_LOOPBACK);
        gpgme_set_passphrase_cb(ctx, cPassphrase, &pass);
    }
    ~CContext()
    {
        if (ctx)
            gpgme_release(ctx);
    }
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
    // gpgme would otherwise start gpgconf twice and ask gpgsm and gpgconf for their versions
    // on every run; pgp needs gpg alone (found on PATH) and talks to the agent itself.
    static bool once = [] {
        gpgme_set_global_flag("disable-gpgconf", "1");
        initializeLibrary();
        return true;
    }();
    (void)once;
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

std::unique_ptr<Context> Backend::newContext(bool armor, bool text)
{
    auto ctx = Context::create(OpenPGP);
    if (!ctx)
        return ctx;
    ctx->setPinentryMode(Context::PinentryLoopback);
    ctx->setPassphraseProvider(provider_.get());
    ctx->setArmor(armor);
    ctx->setTextMode(text);
    return ctx;
}

// A file descriptor as gpgme data, moved in 64 KiB steps rather than gpgme's default 4 KiB.
static Data fdData(int fd)
{
    gpgme_data_t d = nullptr;
    if (gpgme_data_new_from_fd(&d, fd) != 0)
        return Data(fd);
    gpgme_data_set_flag(d, "io-buffer-size", "65536");
    return Data(d);
}

// The same for the C calls.
struct RawData {
    gpgme_data_t d = nullptr;
    explicit RawData(int fd)
    {
        if (gpgme_data_new_from_fd(&d, fd) == 0)
            gpgme_data_set_flag(d, "io-buffer-size", "65536");
        else
            d = nullptr;
    }
    ~RawData()
    {
        if (d)
            gpgme_data_release(d);
    }
    RawData(const RawData &) = delete;
    RawData &operator=(const RawData &) = delete;
};

static std::string errText(const Error &e)
{
    return e.asString() ? e.asString() : "unknown error";
}

bool Backend::listKeys(std::vector<KeyInfo> &out, bool sigs, bool check, bool secretOnly,
                       std::string *error, bool validate)
{
    out.clear();
    auto ctx = newContext();
    if (!ctx) {
        if (error)
            *error = "GnuPG cannot be started";
        return false;
    }
    // Listings never wait for a trust-database check; they show no validity.
    if (!check && !validate)
        ctx->setFlag("trust-model", "always");
    unsigned mode = Local | WithSecret;
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
    if (e && e.code() != GPG_ERR_EOF) {
        if (error)
            *error = errText(e);
        return false;
    }
    return true;
}

bool Backend::listKeysFast(std::vector<KeyInfo> &out, bool sigs, bool secretOnly, std::string *error,
                           const std::vector<std::string> &patterns)
{
    out.clear();
    const EngineInfo info = engineInfo(GpgEngine);
    const char *gpg = info.fileName();
    Error err;
    auto ctx = Context::createForEngine(SpawnEngine, &err);
    if (!ctx || err || !gpg) {
        if (error)
            *error = "GnuPG cannot be started";
        return false;
    }
    std::vector<const char *> argv = {"gpg", "--batch", "--no-tty", "--with-colons", "--fixed-list-mode",
                                      "--no-auto-check-trustdb", "--charset", "utf-8"};
    argv.push_back(secretOnly ? "--list-secret-keys" : (sigs ? "--list-sigs" : "--list-keys"));
    argv.push_back("--");
    for (const std::string &p : patterns)
        argv.push_back(p.c_str());
    argv.push_back(nullptr);
    Data in, outData, errData;
    in.write("", 0);
    err = ctx->spawn(gpg, argv.data(), in, outData, errData, Context::SpawnNone);
    if (err) {
        if (error)
            *error = errText(err);
        return false;
    }
    out = parseColonListing(outData.toString(), secretOnly);
    return true;
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
    auto ctx = newContext();
    ctx->setFlag("trust-model", "always");
    ctx->setKeyListMode(Local | WithSecret);
    Error e;
    Key k = ctx->key(fpr.c_str(), e, false);
    if (e || k.isNull())
        return std::nullopt;
    return toKeyInfo(k, false);
}

static std::vector<std::string> words(const std::string &line)
{
    std::vector<std::string> f;
    size_t p = 0;
    while (p < line.size()) {
        size_t q = line.find(' ', p);
        if (q != p)
            f.push_back(line.substr(p, q == std::string::npos ? std::string::npos : q - p));
        if (q == std::string::npos)
            break;
        p = q + 1;
    }
    return f;
}

GpgStatus parseGpgStatus(const std::string &text)
{
    GpgStatus st;
    SigCheck *sig = nullptr;
    auto newSig = [&] {
        st.sigs.emplace_back();
        sig = &st.sigs.back();
    };
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (line.rfind("[GNUPG:] ", 0) != 0)
            continue;
        auto f = words(line.substr(9));
        if (f.empty())
            continue;
        const std::string &k = f[0];
        auto at = [&](size_t i) { return i < f.size() ? f[i] : std::string(); };
        if (k == "ENC_TO")
            st.encTo16.push_back(upperHex(at(1).c_str()));
        else if (k == "NO_SECKEY")
            st.noSecKey16.push_back(upperHex(at(1).c_str()));
        else if (k == "NEED_PASSPHRASE" || k == "NEED_PASSPHRASE_SYM")
            st.askedPass = true;
        else if (k == "BEGIN_DECRYPTION")
            st.beganDecryption = true;
        else if (k == "DECRYPTION_OKAY")
            st.decryptionOkay = true;
        else if (k == "DECRYPTION_FAILED")
            st.decryptionFailed = true;
        else if (k == "END_ENCRYPTION")
            st.encryptionDone = true;
        else if (k == "INV_RECP" || k == "NO_RECP")
            st.invalidRecipient = true;
        else if (k == "ERROR" || k == "FAILURE") {
            if (st.failure.empty())
                st.failure = line.substr(9);
            // "pkdecrypt_failed 67108875", or for a conventional key "11_BAD_PASSPHRASE"
            if (k == "ERROR" && (at(1) == "pkdecrypt_failed" || at(1) == "symkey_decrypt.maybe_error"))
                st.passError = unsigned(std::strtoul(at(2).c_str(), nullptr, 10)) & 0xFFFF;
        } else if (k == "NEWSIG") {
            newSig();
        } else if (k == "GOODSIG" || k == "EXPSIG" || k == "EXPKEYSIG" || k == "REVKEYSIG" || k == "BADSIG") {
            if (!sig || !sig->fpr.empty())
                newSig();
            sig->status = k == "BADSIG" ? SigCheck::Bad : SigCheck::Good;
            sig->fpr = upperHex(at(1).c_str());
        } else if (k == "ERRSIG") {
            if (!sig || !sig->fpr.empty())
                newSig();
            // ERRSIG <keyid> <pkalgo> <hashalgo> <class> <time> <rc> [<fpr>]
            sig->status = at(6) == "9" ? SigCheck::NoKey : SigCheck::Error;
            sig->fpr = upperHex((f.size() > 7 && !at(7).empty() && at(7) != "-" ? at(7) : at(1)).c_str());
            sig->created = std::time_t(std::strtoll(at(5).c_str(), nullptr, 10));
        } else if (k == "VALIDSIG" && sig) {
            sig->fpr = upperHex(at(1).c_str());
            sig->created = std::time_t(std::strtoll(at(3).c_str(), nullptr, 10));
        }
    }
    // A NEWSIG that gpg could say nothing else about is no verdict.
    st.sigs.erase(std::remove_if(st.sigs.begin(), st.sigs.end(),
                                 [](const SigCheck &s) { return s.fpr.empty(); }),
                  st.sigs.end());
    return st;
}

bool Backend::runGpg(const std::vector<std::string> &args, const std::string &stdinText, std::string &status,
                     std::string &errors)
{
    const EngineInfo info = engineInfo(GpgEngine);
    Error err;
    auto ctx = Context::createForEngine(SpawnEngine, &err);
    if (!ctx || err || !info.fileName()) {
        errors = "GnuPG cannot be started";
        return false;
    }
    std::vector<const char *> argv = {"gpg", "--batch", "--no-tty", "--yes", "--status-fd", "1"};
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    Data in(stdinText.data(), stdinText.size(), true), out, errData;
    err = ctx->spawn(info.fileName(), argv.data(), in, out, errData, Context::SpawnNone);
    status = out.toString();
    errors = errData.toString();
    if (err) {
        errors = errText(err);
        return false;
    }
    return true;
}

// gpg takes "-" for standard input, so a name beginning with a dash gets a directory in front.
static std::string plainName(const std::string &name)
{
    return !name.empty() && name[0] == '-' ? "./" + name : name;
}

// The last "gpg: " message, for a failure the status lines do not explain.
static std::string lastMessage(const std::string &errors, const std::string &fallback)
{
    size_t end = errors.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return fallback;
    size_t start = errors.rfind('\n', end);
    std::string line = errors.substr(start == std::string::npos ? 0 : start + 1,
                                     end + 1 - (start == std::string::npos ? 0 : start + 1));
    if (line.rfind("gpg: ", 0) == 0)
        line.erase(0, 5);
    return line.empty() ? fallback : line;
}

CryptResult Backend::encryptFile(const std::vector<std::string> &fprs, const std::string &input,
                                 const std::string &output, bool armor, bool text)
{
    CryptResult r;
    std::vector<std::string> args = {"--no-auto-check-trustdb", "--trust-model", "always"};
    if (armor)
        args.push_back("--armor");
    if (text)
        args.push_back("--textmode");
    for (const std::string &f : fprs) {
        if (f.empty() || f.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
            r.error = "public key not usable";
            return r;
        }
        args.insert(args.end(), {"--recipient", f});
    }
    args.insert(args.end(), {"--output", plainName(output), "--encrypt", "--", plainName(input)});
    std::string status, errors;
    if (!runGpg(args, std::string(), status, errors)) {
        r.error = errors;
        return r;
    }
    GpgStatus st = parseGpgStatus(status);
    if (st.invalidRecipient) {
        r.error = "public key not usable";
        return r;
    }
    if (!st.encryptionDone) {
        r.error = lastMessage(errors, "encryption failed");
        return r;
    }
    r.ok = true;
    return r;
}

CryptResult Backend::decryptFile(const std::string &input, const std::string &output)
{
    CryptResult r;
    r.wasEncrypted = true;
    const std::optional<std::string> pass = pass_.upFront();
    if (!pass) {
        r.error = "no pass phrase";
        return r;
    }
    // With --command-fd gpg says when it wants a pass phrase, and takes the one line offered.
    std::vector<std::string> args = {"--no-auto-check-trustdb", "--pinentry-mode", "loopback",
                                     "--command-fd", "0", "--output", plainName(output), "--decrypt", "--",
                                     plainName(input)};
    std::string status, errors;
    bool ran = runGpg(args, pass->empty() ? std::string() : *pass + "\n", status, errors);
    if (!ran) {
        r.error = errors;
        return r;
    }
    GpgStatus st = parseGpgStatus(status);
    r.recipients16 = st.encTo16;
    const bool passBad = st.passError == GPG_ERR_BAD_PASSPHRASE || st.passError == GPG_ERR_NO_PASSPHRASE ||
                         (st.passError == GPG_ERR_CANCELED && st.askedPass) ||
                         (st.askedPass && pass->empty());
    if (st.askedPass)
        pass_.noteAsked(passBad);
    if (!st.beganDecryption && !st.decryptionOkay) {
        // Not encrypted (a signed message, or no OpenPGP data at all), or no key fits.
        if (!st.encTo16.empty() && (st.noSecKey16.size() >= st.encTo16.size() || st.passError == GPG_ERR_NO_SECKEY)) {
            r.noSecretKey = true;
            r.error = "No secret key";
        } else if (passBad) {
            r.badPass = true;
            r.error = "Bad passphrase";
        } else if (st.encTo16.empty()) {
            r.notPgp = true;
            r.error = "No data";
        } else {
            r.error = lastMessage(errors, "decryption failed");
        }
        return r;
    }
    if (!st.decryptionOkay || st.decryptionFailed) {
        if (passBad) {
            r.badPass = true;
            r.error = "Bad passphrase";
        } else if (!st.encTo16.empty() && st.noSecKey16.size() >= st.encTo16.size()) {
            r.noSecretKey = true;
            r.error = "No secret key";
        } else {
            r.error = lastMessage(errors, "decryption failed");
        }
        return r;
    }
    r.ok = true;
    fillSigs(r, st.sigs);
    return r;
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

static void noteFailure(CryptResult &r, const Error &e, const PassSource &pass)
{
    r.ok = false;
    r.error = errText(e);
    if (pass.failed() || e.code() == GPG_ERR_BAD_PASSPHRASE ||
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

// Recipients go to gpg by fingerprint, so the keys need not be looked up again here.
CryptResult Backend::encrypt(const std::vector<std::string> &fprs, int in, int out, bool armor,
                             bool text, const std::string *signerFpr)
{
    if (signerFpr)
        return signAndEncrypt(fprs, in, out, armor, text, *signerFpr);
    CryptResult r;
    std::string recipients;
    for (const std::string &f : fprs) {
        if (f.empty() || f.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
            r.error = "public key not usable";
            return r;
        }
        recipients += f + "\n";
    }
    CContext c(pass_);
    RawData din(in), dout(out);
    if (!c.ctx || !din.d || !dout.d) {
        r.error = "GnuPG cannot be started";
        return r;
    }
    gpgme_set_armor(c.ctx, armor);
    gpgme_set_textmode(c.ctx, text);
    gpgme_set_ctx_flag(c.ctx, "trust-model", "always");
    Error e(gpgme_op_encrypt_ext(c.ctx, nullptr, recipients.c_str(), GPGME_ENCRYPT_ALWAYS_TRUST, din.d, dout.d));
    if (!e) {
        gpgme_encrypt_result_t er = gpgme_op_encrypt_result(c.ctx);
        if (er && er->invalid_recipients)
            e = Error(er->invalid_recipients->reason ? er->invalid_recipients->reason
                                                     : gpg_error(GPG_ERR_UNUSABLE_PUBKEY));
    }
    if (e) {
        noteFailure(r, e, pass_);
        return r;
    }
    r.ok = true;
    return r;
}

// Signing wants gpgme++'s key objects; the secret listing before has them ready.
CryptResult Backend::signAndEncrypt(const std::vector<std::string> &fprs, int in, int out, bool armor,
                                    bool text, const std::string &signerFpr)
{
    CryptResult r;
    auto ctx = newContext(armor, text);
    ctx->setFlag("trust-model", "always");
    std::vector<Key> keys = keysFor(*ctx, fprs, false);
    if (keys.size() != fprs.size()) {
        r.error = "public key not usable";
        return r;
    }
    auto sk = keysFor(*ctx, {signerFpr}, true);
    if (sk.empty()) {
        r.noSecretKey = true;
        r.error = "secret key not available";
        return r;
    }
    ctx->addSigningKey(sk.front());
    Data din = fdData(in), dout = fdData(out);
    auto res = ctx->signAndEncrypt(keys, din, dout, Context::AlwaysTrust);
    Error e = res.first.error() ? res.first.error() : res.second.error();
    if (!e && (res.first.createdSignatures().empty() || pass_.failed()))
        e = Error::fromCode(pass_.failed() ? GPG_ERR_BAD_PASSPHRASE : GPG_ERR_GENERAL);
    if (e) {
        noteFailure(r, e, pass_);
        return r;
    }
    r.ok = true;
    return r;
}

CryptResult Backend::encryptSymmetric(int in, int out, bool armor, bool text)
{
    CryptResult r;
    auto ctx = newContext(armor, text);
    Data din = fdData(in), dout = fdData(out);
    Error e = ctx->encryptSymmetrically(din, dout);
    if (e) {
        noteFailure(r, e, pass_);
        return r;
    }
    r.ok = true;
    return r;
}

CryptResult Backend::sign(int in, int out, SignMode mode, bool armor, bool text, const std::string &signerFpr)
{
    CryptResult r;
    auto ctx = newContext(armor, text);
    ctx->setFlag("trust-model", "always");
    auto sk = keysFor(*ctx, {signerFpr}, true);
    if (sk.empty()) {
        r.noSecretKey = true;
        r.error = "secret key not available";
        return r;
    }
    ctx->addSigningKey(sk.front());
    Data din = fdData(in), dout = fdData(out);
    SignatureMode m = mode == SignMode::Detached ? Detached
                    : mode == SignMode::Clear    ? Clearsigned
                                                 : NormalSignatureMode;
    SigningResult sr = ctx->sign(din, dout, m);
    Error e = sr.error();
    // gpgme reports a signer that could not sign in the result, not always as an error.
    if (!e && (sr.createdSignatures().empty() || pass_.failed()))
        e = Error::fromCode(pass_.failed() ? GPG_ERR_BAD_PASSPHRASE : GPG_ERR_GENERAL);
    if (e) {
        noteFailure(r, e, pass_);
        return r;
    }
    r.ok = true;
    return r;
}

CryptResult Backend::decrypt(int in, int out)
{
    CryptResult r;
    auto ctx = newContext();
    Data din = fdData(in), dout = fdData(out);
    auto res = ctx->decryptAndVerify(din, dout);
    const DecryptionResult &dr = res.first;
    for (const auto &rc : dr.recipients())
        r.recipients16.push_back(upperHex(rc.keyID()));
    r.wasEncrypted = true;
    // A cancelled pass phrase can come back as an empty success: the provider knows better.
    if (dr.error() || pass_.failed()) {
        if (!dr.error()) {
            noteFailure(r, Error::fromCode(GPG_ERR_BAD_PASSPHRASE), pass_);
            return r;
        }
        if (dr.error().code() == GPG_ERR_NO_DATA)
            r.notPgp = true;
        noteFailure(r, dr.error(), pass_);
        return r;
    }
    r.ok = true;
    fillSigs(r, sigChecks(res.second));
    return r;
}

CryptResult Backend::verifyOpaque(int in, int out)
{
    CryptResult r;
    auto ctx = newContext();
    ctx->setFlag("trust-model", "always");
    Data din = fdData(in), dout = fdData(out);
    VerificationResult vr = ctx->verifyOpaqueSignature(din, dout);
    if (vr.error() && vr.signatures().empty()) {
        if (vr.error().code() == GPG_ERR_NO_DATA)
            r.notPgp = true;
        noteFailure(r, vr.error(), pass_);
        return r;
    }
    r.ok = true;
    fillSigs(r, sigChecks(vr));
    return r;
}

CryptResult Backend::verifyDetached(int sig, int text)
{
    CryptResult r;
    auto ctx = newContext();
    ctx->setFlag("trust-model", "always");
    Data dsig = fdData(sig), dtext = fdData(text);
    VerificationResult vr = ctx->verifyDetachedSignature(dsig, dtext);
    if (vr.error() && vr.signatures().empty()) {
        noteFailure(r, vr.error(), pass_);
        return r;
    }
    r.ok = true;
    fillSigs(r, sigChecks(vr));
    return r;
}

ImportSummary Backend::importKeys(const std::string &data)
{
    ImportSummary s;
    auto ctx = newContext();
    ctx->setFlag("trust-model", "always");
    Data d(data.data(), data.size(), true);
    ImportResult ir = ctx->importKeys(d);
    if (ir.error()) {
        s.error = errText(ir.error());
        return s;
    }
    s.ok = true;
    s.considered = ir.numConsidered();
    s.newKeys = ir.numImported() - ir.numSecretKeysImported();
    if (s.newKeys < 0)
        s.newKeys = 0;
    s.unchanged = ir.numUnchanged();
    s.newUids = ir.newUserIDs();
    s.newSigs = ir.newSignatures();
    s.newSubkeys = ir.newSubkeys();
    s.secretRead = ir.numSecretKeysConsidered();
    std::set<std::string> seen;
    for (const Import &imp : ir.imports()) {
        if (imp.error() || !imp.fingerprint())
            continue;
        if ((imp.status() & Import::NewKey) && seen.insert(upperHex(imp.fingerprint())).second)
            s.newFprs.push_back(upperHex(imp.fingerprint()));
    }
    return s;
}

bool Backend::exportKey(const std::string &fpr, bool armor, std::string &out, std::string &error)
{
    auto ctx = newContext(armor);
    Data d;
    Error e = ctx->exportPublicKeys(fpr.c_str(), d);
    if (e) {
        error = errText(e);
        return false;
    }
    out = d.toString();
    if (out.empty()) {
        error = "nothing exported";
        return false;
    }
    return true;
}

bool Backend::deleteKey(const std::string &fpr, bool withSecret, std::string &error)
{
    CContext c(pass_);
    if (!c.ctx) {
        error = "GnuPG cannot be started";
        return false;
    }
    gpgme_key_t key = nullptr;
    gpgme_error_t e = gpgme_get_key(c.ctx, fpr.c_str(), &key, 0);
    if (e) {
        error = gpgme_strerror(e);
        return false;
    }
    unsigned flags = GPGME_DELETE_FORCE | (withSecret ? GPGME_DELETE_ALLOW_SECRET : 0);
    e = gpgme_op_delete_ext(c.ctx, key, flags);
    gpgme_key_unref(key);
    if (e) {
        error = gpgme_strerror(e);
        return false;
    }
    return true;
}

CryptResult Backend::certify(const std::string &targetFpr, const std::string &signerFpr)
{
    CryptResult r;
    CContext c(pass_);
    if (!c.ctx) {
        r.error = "GnuPG cannot be started";
        return r;
    }
    gpgme_key_t target = nullptr, signer = nullptr;
    if (gpgme_get_key(c.ctx, targetFpr.c_str(), &target, 0) ||
        gpgme_get_key(c.ctx, signerFpr.c_str(), &signer, 1)) {
        if (target)
            gpgme_key_unref(target);
        r.noSecretKey = true;
        r.error = "key not available";
        return r;
    }
    gpgme_signers_add(c.ctx, signer);
    gpgme_error_t e = gpgme_op_keysign(c.ctx, target, nullptr, 0, GPGME_KEYSIGN_NOEXPIRE);
    if (!e && pass_.failed())
        e = gpg_error(GPG_ERR_BAD_PASSPHRASE);
    gpgme_key_unref(target);
    gpgme_key_unref(signer);
    if (e) {
        noteFailure(r, Error(e), pass_);
        return r;
    }
    r.ok = true;
    return r;
}

bool Backend::createKey(const std::string &uid, const std::string &algo, const std::string &subAlgo,
                        const std::string &passphrase, std::string &fprOut, std::string &error)
{
    PassSource fixed(con_, passphrase);
    Provider prov(fixed);
    auto ctx = Context::create(OpenPGP);
    ctx->setPinentryMode(Context::PinentryLoopback);
    ctx->setPassphraseProvider(&prov);
    unsigned flags = GPGME_CREATE_NOEXPIRE | GPGME_CREATE_SIGN | GPGME_CREATE_CERT;
    if (passphrase.empty())
        flags |= GPGME_CREATE_NOPASSWD;
    KeyGenerationResult kr = ctx->createKeyEx(uid.c_str(), algo.c_str(), 0, 0, Key(), flags);
    if (kr.error()) {
        error = errText(kr.error());
        return false;
    }
    fprOut = upperHex(kr.fingerprint());
    Error e;
    Key k = ctx->key(fprOut.c_str(), e, true);
    if (e) {
        error = errText(e);
        return false;
    }
    fixed.reset();
    e = ctx->createSubkey(k, subAlgo.c_str(), 0, 0, GPGME_CREATE_ENCR | GPGME_CREATE_NOEXPIRE);
    if (e) {
        error = errText(e);
        return false;
    }
    return true;
}

bool Backend::addUid(const std::string &fpr, const std::string &uid, std::string &error)
{
    auto ctx = newContext();
    Error e;
    Key k = ctx->key(fpr.c_str(), e, true);
    if (!e)
        e = ctx->addUid(k, uid.c_str());
    if (e) {
        error = errText(e);
        return false;
    }
    return true;
}

bool Backend::changePassphrase(const std::string &fpr, std::string &error)
{
    auto ctx = newContext();
    Error e;
    Key k = ctx->key(fpr.c_str(), e, true);
    if (!e)
        e = ctx->passwd(k);
    if (e) {
        error = errText(e);
        return false;
    }
    return true;
}

// Answers gpg's edit-key prompts from a function of the prompt's keyword.
class ScriptInteractor : public EditInteractor {
public:
    using Answer = std::function<std::string(const std::string &keyword)>;
    explicit ScriptInteractor(Answer a) : answer_(std::move(a)) {}
    const char *action(Error &) const override { return reply_.c_str(); }
    unsigned int nextState(unsigned int status, const char *args, Error &err) const override
    {
        if (status != GPGME_STATUS_GET_LINE && status != GPGME_STATUS_GET_BOOL &&
            status != GPGME_STATUS_GET_HIDDEN)
            return state();
        reply_ = answer_(args ? args : "");
        if (reply_ == "\x01") { // give up
            err = Error::fromCode(GPG_ERR_GENERAL);
            return ErrorState;
        }
        return state() + 1;
    }

private:
    Answer answer_;
    mutable std::string reply_;
};

static bool runEdit(Context &ctx, const Key &k, std::unique_ptr<EditInteractor> ia, std::string &error)
{
    Data out;
    Error e = ctx.edit(k, std::move(ia), out);
    if (e) {
        error = errText(e);
        return false;
    }
    return true;
}

bool Backend::setOwnerTrust(const std::string &fpr, int trust, std::string &error)
{
    auto ctx = newContext();
    Error e;
    Key k = ctx->key(fpr.c_str(), e, false);
    if (e) {
        error = errText(e);
        return false;
    }
    return runEdit(*ctx, k, std::make_unique<GpgSetOwnerTrustEditInteractor>(Key::OwnerTrust(trust)), error);
}

bool Backend::setDisabled(const std::string &fpr, bool disabled, std::string &error)
{
    auto ctx = newContext();
    Error e;
    Key k = ctx->key(fpr.c_str(), e, false);
    if (e) {
        error = errText(e);
        return false;
    }
    int step = 0;
    auto script = [&step, disabled](const std::string &kw) -> std::string {
        if (kw == "keyedit.prompt")
            return step++ == 0 ? (disabled ? "disable" : "enable") : "save";
        if (kw == "keyedit.save.okay")
            return "Y";
        return "\x01";
    };
    return runEdit(*ctx, k, std::make_unique<ScriptInteractor>(script), error);
}

bool Backend::revokeKey(const std::string &fpr, std::string &error)
{
    auto ctx = newContext();
    Error e;
    Key k = ctx->key(fpr.c_str(), e, true);
    if (e) {
        error = errText(e);
        return false;
    }
    auto ia = std::make_unique<GpgRevokeKeyEditInteractor>();
    ia->setReason(RevocationReason::Compromised);
    return runEdit(*ctx, k, std::move(ia), error);
}

bool Backend::deleteSigs(const std::string &fpr, const std::vector<std::vector<bool>> &remove,
                         std::string &error)
{
    auto ctx = newContext();
    Error e;
    Key k = ctx->key(fpr.c_str(), e, false);
    if (e) {
        error = errText(e);
        return false;
    }
    // gpg walks the signatures of the selected user ID in listing order, revocations included.
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
    size_t current = 0, sigIndex = 0;
    int phase = 0; // 0: select next uid, 1: delsig sent
    auto script = [&](const std::string &kw) -> std::string {
        if (kw == "keyedit.prompt") {
            if (phase == 1) {
                // back at the prompt: deselect this user ID
                phase = 0;
                ++current;
                return "uid " + std::to_string(current);
            }
            while (current < plan.size()) {
                bool any = false;
                for (bool b : plan[current])
                    any = any || b;
                if (any)
                    break;
                ++current;
            }
            if (current >= plan.size())
                return "save";
            if (phase == 0) {
                phase = 2;
                sigIndex = 0;
                return "uid " + std::to_string(current + 1);
            }
            phase = 1;
            return "delsig";
        }
        if (kw.rfind("keyedit.delsig.", 0) == 0) {
            if (kw == "keyedit.delsig.selfsig")
                return "Y";
            bool del = current < plan.size() && sigIndex < plan[current].size() && plan[current][sigIndex];
            ++sigIndex;
            return del ? "Y" : "N";
        }
        if (kw == "keyedit.save.okay")
            return "Y";
        return "\x01";
    };
    return runEdit(*ctx, k, std::make_unique<ScriptInteractor>(script), error);
}

static std::string defaultHome()
{
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd *pw = getpwuid(getuid());
        home = pw && pw->pw_dir ? pw->pw_dir : "";
    }
    return std::string(home) + "/.gnupg";
}

void Backend::forgetPassphrases()
{
    if (agentSocket_.empty())
        agentSocket_ = agentSocketPath(homeDir(), defaultHome());
    AgentSession s;
    if (!s.open(agentSocket_))
        return; // no agent, so nothing is cached
    // The agent's SIGHUP request drops every cached pass phrase at once; going through
    // KEYINFO --list instead makes it read every secret key file of the ring.
    if (s.request("RELOADAGENT"))
        return;
    std::vector<std::string> status;
    if (!s.request("KEYINFO --list", &status))
        return;
    for (const std::string &line : status) {
        // "KEYINFO <grip> <type> <serial> <idstr> <cached> ..."
        std::vector<std::string> f;
        size_t p = 0;
        while (p <= line.size()) {
            size_t q = line.find(' ', p);
            f.push_back(line.substr(p, q == std::string::npos ? std::string::npos : q - p));
            if (q == std::string::npos)
                break;
            p = q + 1;
        }
        if (f.size() >= 6 && f[0] == "KEYINFO" && f[5] == "1" &&
            f[1].find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos)
            s.request("CLEAR_PASSPHRASE --mode=normal " + f[1]);
    }
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
