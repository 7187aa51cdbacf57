// Key-ring data as the listings need it, and PGP 2.6's listing lines.
// Everything here is plain data and text; strings are UTF-8 until printed.
#pragma once
#include "text.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace pgpc {

struct SigInfo {
    enum Check { Unchecked, Good, Bad, NoKey };
    std::string signerId16; // upper-case hex, 16 digits
    std::string signerUid;  // empty when the signer is not in the ring
    std::time_t created = 0;
    Check check = Unchecked;
};

struct UidInfo {
    std::string uid;
    bool revoked = false;
    std::vector<SigInfo> sigs;
};

struct KeyInfo {
    bool secret = false; // listed from the secret ring
    bool hasSecret = false;
    bool revoked = false;
    bool disabled = false;
    bool expired = false;
    bool canEncrypt = false;
    bool canSign = false;
    bool valid = false; // some user ID is fully valid for GnuPG (only when asked for)
    unsigned bits = 0;
    std::string algo;   // "RSA", "EdDSA", ...
    std::string id16;   // primary key ID, upper-case hex
    std::string fpr;    // primary fingerprint, upper-case hex
    std::vector<std::string> subIds16;
    std::vector<std::string> subFprs;
    std::vector<std::string> grips; // keygrips of the primary key and subkeys, when listed
    std::time_t created = 0;
    std::vector<UidInfo> uids;

    std::string id8() const { return id16.size() >= 8 ? id16.substr(id16.size() - 8) : id16; }
    std::string firstUid() const { return uids.empty() ? std::string() : uids.front().uid; }
};

enum class ListStyle { Short, Sigs, CheckSigs };

struct ListOptions {
    Lang lang = Lang::English;
    ListStyle style = ListStyle::Short;
    bool fingerprints = false;
};

std::string formatDate(std::time_t t); // YYYY/MM/DD, UTC
std::string formatDateTime(std::time_t t); // YYYY/MM/DD HH:MM, UTC
std::string titleLine(Lang lang);
std::string keyRingLine(Lang lang, const std::string &ring);
std::string summaryLine(Lang lang, int count);
// Type field, marker, bits in 6-9, "/" in 10, ID in 11-18, date in 20-29, text from 31.
std::string keyLine(const std::string &type, char marker, unsigned bits, const std::string &id8,
                    std::time_t created, const std::string &text);
std::string uidLine(const std::string &uid); // 30 blanks, user ID
std::string sigLine(const std::string &type, char mark, const std::string &id8,
                    const std::time_t *date, const std::string &text);
std::string fingerprintLine(Lang lang, const std::string &fpr);
std::string groupFingerprint(const std::string &fpr);

// The lines for one key (without line ends).
std::vector<std::string> keyLines(const KeyInfo &key, const ListOptions &opt);
// A whole listing: blank line, key ring line, title, keys, summary.
std::string formatListing(const std::vector<KeyInfo> &keys, const ListOptions &opt,
                          const std::string &ring);

// GnuPG's --with-colons key listing (--list-keys or --list-sigs, --fixed-list-mode) as KeyInfo;
// validity comes from field 2 when GnuPG filled it in.
std::vector<KeyInfo> parseColonListing(const std::string &text, bool secretListing);
// The same, read piece by piece as gpg writes it, so a large ring is read while gpg lists.
class ColonListingReader {
public:
    explicit ColonListingReader(bool secretListing);
    void feed(std::string_view bytes); // any piece, lines may be cut anywhere
    std::vector<KeyInfo> take();       // the keys so far, the reader left empty

private:
    void line(std::string_view line);
    bool secret_;
    std::vector<KeyInfo> keys_;
    std::vector<std::string_view> f_;
    std::string partial_; // a line cut at the end of the last piece
    enum { None, Primary, Sub } fprFor_ = None;
    bool inSub_ = false;
    bool uidOpen_ = false; // signatures belong to the last user ID
};
// Fills in each certification's signer user ID (the signer's first user ID) from the keys
// themselves; a signer that is not among them stays unnamed.
void nameSignersFromRing(std::vector<KeyInfo> &keys);

// How a command-line user ID selects keys.
struct KeySelector {
    enum Kind { Substring, KeyId, Fingerprint } kind = Substring;
    std::string text;   // the substring (UTF-8) or the upper-case hex digits
};
KeySelector parseKeySelector(const std::string &arg);
bool keyMatches(const KeyInfo &key, const KeySelector &sel);
std::vector<const KeyInfo *> findKeys(const std::vector<KeyInfo> &keys, const KeySelector &sel);

// One key for a command: a key ID that fits several keys is refused (eight digits collide
// easily); a user ID substring takes the first key, as PGP did.
enum class Resolution { One, None, Ambiguous };
Resolution resolveKey(const std::vector<KeyInfo> &keys, const KeySelector &sel, const KeyInfo *&out);

} // namespace pgpc
