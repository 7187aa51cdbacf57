// All cryptography and key-ring work, done by GnuPG through gpgme++.
#pragma once
#include "console.h"
#include "listing.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace GpgME { class Context; class Key; }

namespace pgpc {

// Hands the pass phrase to GnuPG (loopback pinentry). A given pass phrase is offered once:
// when GnuPG says it was wrong the operation is cancelled, so a bad pass phrase never loops.
class PassSource {
public:
    PassSource(const Console &con, std::optional<std::string> given)
        : con_(con), given_(std::move(given)) {}
    // Returns false when none can be had (batch mode without one, or wrong one).
    bool next(bool previousWasBad, std::string &out);
    bool wasAsked() const { return asked_; }
    bool failed() const { return failed_; }
    bool hasGiven() const { return given_.has_value(); }
    void reset() { asked_ = failed_ = false; tries_ = 0; }
    // The pass phrase that can be handed over before gpg asks: the given one, or none at all
    // in batch mode (which then fails as a bad one). Empty when only a prompt can supply it.
    std::optional<std::string> upFront() const;
    // gpg asked (and failed, when it did not take the one offered) without this object.
    void noteAsked(bool failedToo) { asked_ = true; failed_ = failed_ || failedToo; }

private:
    const Console &con_;
    std::optional<std::string> given_;
    bool asked_ = false;
    bool failed_ = false;
    int tries_ = 0;
};

struct SigCheck {
    enum Status { Good, Bad, NoKey, Error } status = Error;
    std::string fpr;   // signing key fingerprint, or the key ID when the key is unknown
    std::time_t created = 0;
    std::optional<KeyInfo> signer; // the primary key in the ring
};

struct CryptResult {
    bool ok = false;
    bool badPass = false;   // the pass phrase was missing or wrong
    bool noSecretKey = false;
    bool wasEncrypted = false;
    bool notPgp = false;     // no OpenPGP data in the input
    std::string error;       // GnuPG's reason when not ok
    std::vector<std::string> recipients16; // key IDs the message is encrypted to
    std::vector<SigCheck> sigs;
};

struct ImportSummary {
    bool ok = false;
    std::string error;
    int considered = 0, newKeys = 0, unchanged = 0, newUids = 0, newSigs = 0, newSubkeys = 0,
        secretRead = 0;
    std::vector<std::string> newFprs;
};

class Backend {
    struct Cache;
public:
    Backend(const Console &con, PassSource &pass);
    ~Backend();

    // The key ring file shown in listings.
    std::string ringName() const;
    std::string homeDir() const;

    // Plain key listing; with sigs the certifications, with check their verdicts.
    // validate: also GnuPG's validity (needs the trust database; used before encrypting).
    bool listKeys(std::vector<KeyInfo> &out, bool sigs, bool check, bool secretOnly,
                  std::string *error = nullptr, bool validate = false);
    // The same through gpg's colon listing, without signature checks or trust-database work:
    // what -kv and -kvv need, in the time gpg itself takes. patterns narrow the listing.
    // hasSecret stays unknown here: asking the agent about every key doubles the time.
    bool listKeysFast(std::vector<KeyInfo> &out, bool sigs, bool secretOnly, std::string *error,
                      const std::vector<std::string> &patterns = {});
    bool keysInFile(const std::string &data, std::vector<KeyInfo> &out);

    CryptResult encrypt(const std::vector<std::string> &fprs, int in, int out, bool armor,
                        bool text, const std::string *signerFpr);
    CryptResult encryptSymmetric(int in, int out, bool armor, bool text);
    enum class SignMode { Normal, Detached, Clear };
    CryptResult sign(int in, int out, SignMode mode, bool armor, bool text, const std::string &signerFpr);
    CryptResult decrypt(int in, int out);
    // The same on named files that gpg reads and writes itself, so the data does not pass
    // through this process. Only when PassSource::upFront() has an answer.
    CryptResult encryptFile(const std::vector<std::string> &fprs, const std::string &input,
                            const std::string &output, bool armor, bool text);
    CryptResult decryptFile(const std::string &input, const std::string &output);
    CryptResult verifyOpaque(int in, int out);
    CryptResult verifyDetached(int sig, int text);

    ImportSummary importKeys(const std::string &data);
    bool exportKey(const std::string &fpr, bool armor, std::string &out, std::string &error);
    bool deleteKey(const std::string &fpr, bool withSecret, std::string &error);
    // Certifies every user ID of target with signer's key.
    CryptResult certify(const std::string &targetFpr, const std::string &signerFpr);

    // Interactive key work.
    bool createKey(const std::string &uid, const std::string &algo, const std::string &subAlgo,
                   const std::string &passphrase, std::string &fprOut, std::string &error);
    bool addUid(const std::string &fpr, const std::string &uid, std::string &error);
    bool changePassphrase(const std::string &fpr, std::string &error);
    bool setOwnerTrust(const std::string &fpr, int trust, std::string &error);
    bool setDisabled(const std::string &fpr, bool disabled, std::string &error);
    bool revokeKey(const std::string &fpr, std::string &error);
    // Deletes the chosen certifications (flags in the order of listKeys' signatures).
    bool deleteSigs(const std::string &fpr, const std::vector<std::vector<bool>> &remove,
                    std::string &error);

    // The agent keeps pass phrases for a while; PGP asked every time. Forget them.
    void forgetPassphrases();

    std::optional<KeyInfo> keyByFpr(const std::string &fpr);

private:
    std::unique_ptr<GpgME::Context> newContext(bool armor = false, bool text = false);
    CryptResult signAndEncrypt(const std::vector<std::string> &fprs, int in, int out, bool armor, bool text,
                               const std::string &signerFpr);
    std::unique_ptr<Cache> cache_;
    std::vector<GpgME::Key> keysFor(GpgME::Context &ctx, const std::vector<std::string> &fprs, bool secret);

    void fillSigs(CryptResult &r, const std::vector<SigCheck> &sigs);
    const Console &con_;
    PassSource &pass_;
    class Provider;
    std::unique_ptr<Provider> provider_;
    std::string agentSocket_;
    bool runGpg(const std::vector<std::string> &args, const std::string &stdinText, std::string &status,
                std::string &errors);
};

// What gpg's status lines (--status-fd) say about a decryption or encryption with signatures.
struct GpgStatus {
    bool decryptionOkay = false, decryptionFailed = false, beganDecryption = false;
    bool encryptionDone = false, invalidRecipient = false, askedPass = false;
    unsigned passError = 0;      // gpg-error code from "ERROR pkdecrypt_failed"
    std::string failure;         // the first ERROR or FAILURE line
    std::vector<std::string> encTo16, noSecKey16;
    std::vector<SigCheck> sigs;
};
GpgStatus parseGpgStatus(const std::string &statusText);

KeyInfo toKeyInfo(const GpgME::Key &k, bool secretListing);

enum class DataKind { Encrypted, Signed, Detached, Keys, Other, Unknown };
// What GnuPG makes of the first bytes of a file.
DataKind identifyData(const std::string &head);

} // namespace pgpc
