// Command line, configuration file and result-file names of the pgp program.
#pragma once
#include "text.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pgpc {

enum class Command {
    Decrypt, // a bare file name: decrypt, verify, check a detached signature or show keys
    Encrypt, Sign, Conventional,
    KeyList, KeyCheck, KeyExtract, KeyAdd, KeyRemove, KeyRemoveSig, KeySign,
    KeyGen, KeyEdit, KeyDisable,
    Help,
};

struct Invocation {
    Command command = Command::Decrypt;
    bool armor = false;      // 'a'
    bool textMode = false;   // 't'
    bool detached = false;   // 'b'
    bool signToo = false;    // 's' with 'e'
    bool fingerprints = false; // -kvc
    bool sigsInListing = false; // -kvv
    bool filter = false;     // 'f': standard input to standard output
    std::optional<std::string> outFile;   // -o
    std::optional<std::string> signer;    // -u
    std::optional<std::string> passphrase; // -z
    std::vector<std::string> operands;
    std::map<std::string, std::string> plusOptions; // lower-case name -> value ("on" when bare)
    std::string error; // not empty: the command line is not understood
};

Invocation parseCommandLine(const std::vector<std::string> &args);

struct Settings {
    std::string myName;
    bool encryptToSelf = false;
    bool armor = false;
    bool textMode = false;
    bool clearSig = true;
    Lang lang = Lang::English;
    bool latin1 = false;
    int verbose = 1;
    bool batchMode = false;
    bool force = false;
};

// Reads PGP 2.6's config.txt syntax: "name = value", "name" alone for on, '#' comments,
// keywords without regard to case. Unknown names are kept out of the way, not refused.
std::map<std::string, std::string> parseConfigText(const std::string &text);
// Applies one option; returns false when the name is unknown or the value is no value of it.
bool applySetting(Settings &s, const std::string &name, const std::string &value, bool fromCommandLine);
std::optional<bool> parseBool(const std::string &value);

// The MS-DOS naming rule: the last extension of the file name (not of a directory) is
// replaced; a name without one gets the extension appended.
bool hasExtension(const std::string &path);
std::string replaceExtension(const std::string &path, const std::string &ext);
// Decryption result: the name without its last extension, or "" when it has none.
std::string stripExtension(const std::string &path);
// -kx/-kxa: ".pgp"/".asc" added unless the name ends in .pgp, .asc or .sig.
std::string keyFileName(const std::string &name, bool armor);

} // namespace pgpc
