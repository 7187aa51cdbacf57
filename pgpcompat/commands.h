// The pgp commands on top of the backend. Each returns PGP 2.6's exit code.
#pragma once
#include "backend.h"
#include "options.h"

namespace pgpc {

enum Exit {
    ExitOk = 0, ExitInvalidFile = 1, ExitFileNotFound = 2, ExitUnknownFile = 3, ExitNoBatch = 4,
    ExitBadArg = 5, ExitKeyGen = 10, ExitNoKey = 11, ExitKeyAdd = 12, ExitKeyExtract = 13,
    ExitKeyEdit = 14, ExitKeyView = 15, ExitKeyRemove = 16, ExitKeyCheck = 17, ExitKeySign = 18,
    ExitKeySigRemove = 19, ExitSign = 20, ExitEncrypt = 21, ExitSigCheck = 30, ExitDecrypt = 31,
};

struct App {
    Settings settings;
    Invocation inv;
    Console con{settings};
    PassSource pass;
    Backend backend{con, pass};
    App(const Settings &s, const Invocation &i, std::optional<std::string> passphrase)
        : settings(s), inv(i), pass(con, std::move(passphrase)) {}
};

int runCommand(App &app);

// The one place where GnuPG's failure becomes PGP's message; returns exitCode. output names
// the file being written, for a write that failed.
int reportFailure(const Console &con, const GpgResult &r, int exitCode, const std::string &output = {});

// A user ID or key ID argument as typed: Latin-1 under +CharSet=Latin1, UTF-8 otherwise.
std::string argToUtf8(const Settings &s, const std::string &arg);
// Splits "alice bob" into two recipients when the whole text names no key.
std::vector<std::string> splitWords(const std::string &text);

} // namespace pgpc
