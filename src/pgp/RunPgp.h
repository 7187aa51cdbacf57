#pragma once
// Running one PGP command line: composing it, starting pgp from PgpDir with
// its output captured in a file, waiting for it with the windows live.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app {
struct AppState;
}

namespace pgp {

struct RunRequest {
    std::string options;          // PGP command and option letters, may be empty
    std::string operand1;         // file name, key ID or recipientArg, may be empty
    std::string operand2;         // recipients, file name, or empty
    std::uint8_t captureOutput = 0; // only 1 counts: output into AppDir/out.txt
    std::string outputFile;       // when not empty: output into this file
    std::uint16_t windowMode = 0; // 0 hidden, 5 shown in a console window
    // A file operand reaches pgp as one argument, exactly as given, leading
    // and trailing blanks included; other operands split at blanks,
    // double-quoted parts kept together.
    bool operand1IsFile = false;
    bool operand2IsFile = false;
    // Composed after operand2 on the command line only, never part of an
    // argument: the button dispatch's blank that separates its file.
    std::string operand2Separator;
};

inline constexpr const char *kBatchOptions = "+batchmode +CharSet=Latin1 +force";

// The command line as one text, for messages, exactly as PGP 2.6 front ends
// compose it: PgpDir "/pgp ", options, operands and the tail of pass phrase
// option (the pass phrase shown as ***), ConfigText and batch options. No
// length limit applies: pgp gets an argument vector, which has no
// 200-character buffer to overflow.
std::string displayCommandLine(const app::AppState &st, const RunRequest &req);

struct Invocation {
    std::string program;           // PgpDir + "/pgp"
    std::vector<std::string> args; // without the -z option
    bool sendPassPhrase = false;   // the pass phrase goes through PGPPASSFD
};
// The argument vector the command line stands for.
Invocation buildInvocation(const app::AppState &st, const RunRequest &req);

// Splits at blanks; a double-quoted part stays in one argument without its
// quotes ("\"John Doe\"" gives John Doe).
std::vector<std::string> splitArguments(const std::string &text);

// The arguments an operand stands for. A file is one argument; the
// chooser's typed user ID (st.typedUserId in double quotes) is one argument
// whatever it holds; anything else splits as splitArguments does.
std::vector<std::string> operandArguments(const app::AppState &st, const std::string &operand, bool isFile);

// The first argument that pgp would read as an option ("-" or "+" at its
// start), nullptr when there is none. Recipients and key IDs never are.
const std::string *optionLikeArgument(const std::vector<std::string> &args);

// The refusal of such a recipient, in the catalogue's language (UTF-8).
std::string recipientRefusalText(const app::AppState &st, const std::string &recipient);

// What one run left for its caller to read. Callers load a result only
// when the run says it wrote it, so a planted link or a stale file from an
// earlier run never passes for this run's.
struct RunOutcome {
    int exitCode = -1; // -1 when pgp was not started
    bool started = false;
    // The file this run created for pgp's standard output (out.txt or the
    // output file); none when it could not be created.
    std::optional<std::string> output;
    // Whether path holds this run's result: its output file (pgp's report,
    // also of a failed run), or a file pgp writes itself, only after it
    // ended with exit code 0.
    bool wrote(const std::string &path) const
    {
        return (output && *output == path) || (started && exitCode == 0);
    }
};

// Runs pgp; exitCode -1 when it could not be started, its output file could
// not be created or an operand holds an option (then it is not started, and
// says so). Shows the start failure and "Output wrote to " as plain messages.
RunOutcome RunPgp(app::AppState &st, const RunRequest &req);

// The message, two CRs, "Code:  ", c1, ",", c2.
std::string showErrorText(const std::string &message, std::int32_t code1, std::int32_t code2);
void ShowError(app::AppState &st, const std::string &message, std::int32_t code1, std::int32_t code2);

// A Latin-1 text for a message box (UTF-8); text that is valid UTF-8 already
// (file names from the file system) stays as it is.
std::string toMessageText(const std::string &text);

} // namespace pgp
