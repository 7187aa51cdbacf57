// The one way pgp reaches GnuPG: gpgme++ contexts made and checked in one place, one result
// type for every operation, and the few C calls that gpgme++ 1.18 does not wrap.
#pragma once
#include <gpgme++/context.h>
#include <gpgme++/decryptionresult.h>
#include <gpgme++/data.h>
#include <gpgme++/error.h>
#include <gpgme++/verificationresult.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace GpgME { class PassphraseProvider; }

namespace pgpc {

// What one GnuPG operation came to. The error is GnuPG's own; the flags say what PGP
// reports in its own words.
struct GpgResult {
    GpgME::Error error;
    std::string reason;       // replaces GnuPG's text when GnuPG's code says too little
    bool badPass = false;     // the pass phrase was wrong, or none could be had
    bool noSecretKey = false;
    bool notPgp = false;      // no OpenPGP data in the input

    bool ok() const { return !error; }
    // A write failed because the disk (or the user's quota) is full.
    bool diskFull() const;
    std::string text() const;
    void fail(const GpgME::Error &e, std::string why = {});
    void fail(unsigned gpgErrCode, std::string why = {});
};

// Sets gpgme up once; everything below does it itself.
void initGpgme();

enum SessionOption : unsigned {
    Armor = 1,
    TextMode = 2,
    AlwaysTrust = 4, // no trust-database work: listings and signing need no validity
};

// A gpgme++ context for OpenPGP with pass phrases through the loopback pinentry.
class Session {
public:
    // Empty, with r failed, when GnuPG cannot be started.
    static Session open(GpgResult &r, GpgME::PassphraseProvider *pass, unsigned options = 0);
    explicit operator bool() const { return bool(ctx_); }
    GpgME::Context *operator->() const { return ctx_.get(); }
    GpgME::Context &operator*() const { return *ctx_; }

private:
    friend struct Missing;
    std::unique_ptr<GpgME::Context> ctx_;
    GpgME::PassphraseProvider *pass_ = nullptr;
    unsigned options_ = 0;
};

// gpgme data over a file descriptor, with a 64 KiB I/O buffer (gpgme's default is 4 KiB).
// addVersion puts PGP's "Version:" line after each armour header written through it.
struct FdData {
    GpgME::Data data;
    struct gpgme_data *raw = nullptr; // owned by data
    int fd = -1;
    void *cb = nullptr;               // the reader or writer behind raw; owned by raw
};
enum class Direction { In, Out };
FdData fdData(int fd, Direction dir, bool addVersion = false);

// The armour header line PGP writes.
extern const char *const kArmorVersion;
// The same insertion on a complete text (extracted keys).
std::string withVersionLine(const std::string &armored);

// What gpgme++ 1.18 lacks, done with gpgme's C calls on a C context set up as the session
// is (gpgme++ 1.18 gives no access to the C handle of its own contexts, nor of its keys).
struct Missing {
    // Context::deleteKey cannot pass GPGME_DELETE_FORCE: gpg then asks for confirmation
    // in batch mode, gets none, and removes nothing while reporting success.
    static GpgME::Error deleteKey(const Session &s, const std::string &fpr, bool withSecret);
    // No key signing call at all in 1.18 (Context::signKey came later).
    static GpgME::Error signKey(const Session &s, const std::string &targetFpr, const std::string &signerFpr);
    // Context::encrypt takes Key objects only; fingerprints from a listing already made go
    // straight to gpg instead of costing a second listing. The data goes from file to gpg
    // to file without gpgme copying it (gpgme++ cannot run its own contexts so).
    static GpgME::Error encrypt(const Session &s, const std::vector<std::string> &fprs, FdData &in, FdData &out);
    // Context::decryptAndVerify and verifyOpaqueSignature with the data moved so too.
    static std::pair<GpgME::DecryptionResult, GpgME::VerificationResult> decryptVerify(const Session &s, FdData &in,
                                                                                       FdData &out);
    static GpgME::VerificationResult verifyOpaque(const Session &s, FdData &in, FdData &out);
};

// Runs one of GnuPG's tools (gpg, gpg-connect-agent) through gpgme++'s spawn engine and collects
// its standard output.
GpgResult runTool(const char *tool, const std::vector<std::string> &args, std::string &out);
// The same with the output handed on piece by piece as the tool writes it.
using ToolSink = std::function<void(std::string_view)>;
GpgResult runTool(const char *tool, const std::vector<std::string> &args, const ToolSink &sink);

// gpg-agent's pass phrase cache, reached through GnuPG's own gpg-connect-agent.
struct AgentCache {
    // The keygrips whose pass phrase the agent holds; false when its answer cannot be read.
    bool held(std::vector<std::string> &grips);
    // Drops the cached pass phrases of these keygrips, and of these conventionally
    // encrypted messages (gpg's "S" cache entries, named by the message's salt). held: what
    // the agent was just found to hold, when the caller asked already.
    void forget(const std::vector<std::string> &grips, const std::vector<std::string> &messages = {},
                const std::vector<std::string> *held = nullptr);
};

// The keygrips gpg-agent holds a pass phrase for, read from its answer to "KEYINFO --list"
// ("S KEYINFO <grip> <type> <serial> <idstr> <cached> ..." for each key, then "OK"). False
// when the answer cannot be read: then the caller clears them all.
bool readHeldGrips(const std::string &answers, std::vector<std::string> &held);

} // namespace pgpc
