// All cryptography and key-ring work, done by GnuPG through gpgme++.
#pragma once
#include "console.h"
#include "gnupg.h"
#include "listing.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace GpgME { class Context; class Key; }

namespace pgpc {

// What a pass phrase is asked for; PGP words the request accordingly.
enum class PassUse { SecretKey, EncryptConventional, DecryptConventional };

// Hands the pass phrase to GnuPG (loopback pinentry). A given pass phrase is offered once
// for each key GnuPG tries, so a message to several of the user's keys opens with the pass
// phrase of any of them, and a wrong one never loops.
class PassSource {
public:
    PassSource(const Console &con, std::optional<std::string> given)
        : con_(con), given_(std::move(given)) {}
    // Returns false when none can be had (batch mode without one, or wrong one).
    bool next(const std::string &keyHint, bool previousWasBad, std::string &out);
    bool wasAsked() const { return asked_; }
    bool failed() const { return failed_; }
    bool hasGiven() const { return given_.has_value(); }
    void reset() { asked_ = failed_ = false; tries_ = 0; hint_.clear(); }
    void setUse(PassUse u) { use_ = u; }

private:
    const Console &con_;
    std::optional<std::string> given_;
    PassUse use_ = PassUse::SecretKey;
    bool asked_ = false;
    bool failed_ = false;
    bool told_ = false;
    int tries_ = 0;
    std::string hint_;
};

struct SigCheck {
    enum Status { Good, Bad, NoKey, Error } status = Error;
    std::string fpr;   // signing key fingerprint, or the key ID when the key is unknown
    std::time_t created = 0;
    std::optional<KeyInfo> signer; // the primary key in the ring
};

struct CryptResult : GpgResult {
    bool wasEncrypted = false;
    std::vector<std::string> recipients16; // key IDs the message is encrypted to
    std::vector<SigCheck> sigs;
};

struct ImportSummary : GpgResult {
    int considered = 0, newKeys = 0, unchanged = 0, newUids = 0, newSigs = 0, newSubkeys = 0,
        secretRead = 0, newSecret = 0;
    std::vector<std::string> newFprs;
};

// The key IDs of the public-key encrypted session keys at the start of a message
// (binary or armoured), and whether a pass phrase packet is among them.
struct MessageHead {
    std::vector<std::string> recipients16;
    bool conventional = false;
    std::vector<std::string> passCacheIds; // where gpg-agent keeps a conventional pass phrase
};
MessageHead parseMessageHead(const std::string &head);

class Backend {
    struct Cache;
public:
    Backend(const Console &con, PassSource &pass);
    ~Backend();

    // The key ring file shown in listings.
    std::string ringName() const;
    std::string homeDir() const;
    // The key gpg.conf's default-key options choose among these secret keys, if any.
    const KeyInfo *gnupgDefaultKey(const std::vector<KeyInfo> &secret) const;

    // Plain key listing; with sigs the certifications, with check their verdicts.
    // validate: also GnuPG's validity (needs the trust database; used before encrypting).
    GpgResult listKeys(std::vector<KeyInfo> &out, bool sigs, bool check, bool secretOnly,
                       bool validate = false);
    // The same through gpg's colon listing, without signature checks or trust-database work:
    // what -kv and -kvv need, in the time gpg itself takes. patterns narrow the listing.
    // hasSecret stays unknown here: asking the agent about every key doubles the time.
    // validity: fill in KeyInfo::valid (a trust-database look-up per key).
    GpgResult listKeysFast(std::vector<KeyInfo> &out, bool sigs, bool secretOnly,
                           const std::vector<std::string> &patterns = {}, bool validity = false);
    // gpg's --check-sigs colon listing: each certification with gpg's verdict.
    GpgResult checkKeysFast(std::vector<KeyInfo> &out);
    bool keysInFile(const std::string &data, std::vector<KeyInfo> &out);

    CryptResult encrypt(const std::vector<std::string> &fprs, int in, int out, bool armor,
                        bool text, const KeyInfo *signer);
    CryptResult encryptSymmetric(int in, int out, bool armor, bool text);
    enum class SignMode { Normal, Detached, Clear };
    CryptResult sign(int in, int out, SignMode mode, bool armor, bool text, const KeyInfo &signer);
    // ownKeys: the secret keys the message may be for; their cached pass phrases are dropped.
    // It is called only when the agent holds some pass phrase, as finding the keys takes a
    // scan of the ring. passCacheIds: the agent's entries for the message's own pass phrase,
    // dropped as well.
    using KeysLookup = std::function<std::vector<KeyInfo>()>;
    CryptResult decrypt(int in, int out, const KeysLookup &ownKeys, const std::vector<std::string> &passCacheIds);
    // gpg-agent keeps the pass phrase of a message just encrypted conventionally.
    void forgetMessagePassphrases(const std::vector<std::string> &passCacheIds);
    CryptResult verifyOpaque(int in, int out);
    CryptResult verifyDetached(int sig, int text);

    ImportSummary importKeys(const std::string &data);
    GpgResult exportKey(const std::string &fpr, bool armor, std::string &out);
    GpgResult deleteKey(const std::string &fpr, bool withSecret);
    GpgResult deleteUid(const std::string &fpr, size_t uidIndex);
    // Certifies every user ID of target with signer's key.
    CryptResult certify(const std::string &targetFpr, const KeyInfo &signer);

    // Interactive key work.
    GpgResult createKey(const std::string &uid, const std::string &algo, const std::string &subAlgo,
                        const std::string &passphrase, std::string &fprOut);
    GpgResult addUid(const KeyInfo &key, const std::string &uid);
    GpgResult changePassphrase(const KeyInfo &key, const std::string &current, const std::string &fresh);
    GpgResult setOwnerTrust(const std::string &fpr, int trust);
    GpgResult setDisabled(const std::string &fpr, bool disabled);
    GpgResult revokeKey(const KeyInfo &key);
    // Deletes the chosen certifications (flags in the order of listKeys' signatures).
    GpgResult deleteSigs(const std::string &fpr, const std::vector<std::vector<bool>> &remove);

    std::optional<KeyInfo> keyByFpr(const std::string &fpr);

private:
    class Provider;
    Session session(GpgResult &r, unsigned options = 0);
    std::vector<GpgME::Key> keysFor(GpgME::Context &ctx, const std::vector<std::string> &fprs, bool secret);
    GpgME::Key keyFor(GpgResult &r, GpgME::Context &ctx, const std::string &fpr, bool secret);
    // The agent keeps pass phrases for a while; PGP asked every time. Only the keys this run
    // uses are forgotten, before (so a wrong pass phrase cannot pass) and after.
    void forgetPassphrases(const KeyInfo &key);
    void forgetPassphrases(const std::vector<KeyInfo> &keys, const std::vector<std::string> &passCacheIds = {},
                           const std::vector<std::string> *held = nullptr);
    void forgetPassphrases(const KeysLookup &keys, const std::vector<std::string> &passCacheIds);
    void fillSigs(CryptResult &r, const std::vector<SigCheck> &sigs);
    // Whether the pass phrase opens the secret key (by making a signature with it).
    bool unlocks(const GpgME::Key &key, const std::string &passphrase);

    std::unique_ptr<Cache> cache_;
    const Console &con_;
    PassSource &pass_;
    std::unique_ptr<Provider> provider_;
    AgentCache agent_;
};

KeyInfo toKeyInfo(const GpgME::Key &k, bool secretListing);

enum class DataKind { Encrypted, Signed, Detached, Keys, Other, Unknown };
// What GnuPG makes of the first bytes of a file.
DataKind identifyData(const std::string &head);

} // namespace pgpc
