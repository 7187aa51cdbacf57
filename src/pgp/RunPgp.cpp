#include "pgp/RunPgp.h"

#include "Charset.h"

#include "app/AppState.h"
#include "pgp/LaunchFile.h"
#include "platform/Platform.h"

#include <optional>
#include <string_view>
#include <utility>

namespace pgp {

namespace {

bool outputGoesToFile(const RunRequest &req) { return req.captureOutput == 1 || !req.outputFile.empty(); }

std::string compose(const app::AppState &st, const RunRequest &req)
{
    std::string tail;
    if (st.sendPassPhrase)
        tail = "-z \"***\""; // the pass phrase itself goes through a pipe, never into a message
    tail += " " + st.configText + " ";
    if (req.captureOutput == 1)
        tail += kBatchOptions;
    if (!req.outputFile.empty())
        tail += kBatchOptions;
    // Windows kept this in a 201-byte buffer; an argument vector has no such
    // limit, so nothing is cut here.
    return st.pgpDir + "/pgp " + req.options + " " + req.operand1 + " " + req.operand2 + req.operand2Separator + " " +
           tail;
}

void appendSplit(std::vector<std::string> &args, const std::string &text)
{
    for (auto &a : splitArguments(text))
        args.push_back(std::move(a));
}

void appendOperand(std::vector<std::string> &args, const app::AppState &st, const std::string &operand, bool isFile)
{
    for (auto &a : operandArguments(st, operand, isFile))
        args.push_back(std::move(a));
}

} // namespace

std::string displayCommandLine(const app::AppState &st, const RunRequest &req) { return compose(st, req); }

std::vector<std::string> splitArguments(const std::string &text)
{
    std::vector<std::string> out;
    std::string cur;
    bool inToken = false, quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inToken)
                out.push_back(std::move(cur));
            cur.clear();
            inToken = false;
        } else {
            cur += c;
            inToken = true;
        }
    }
    if (inToken)
        out.push_back(std::move(cur));
    return out;
}

std::vector<std::string> operandArguments(const app::AppState &st, const std::string &operand, bool isFile)
{
    if (isFile) {
        // A file operand reaches pgp exactly as chosen, trailing blanks included.
        if (operand.empty())
            return {};
        return {operand};
    }
    if (st.typedUserId) {
        // The command button appends its separating blank to the recipient.
        std::string_view text = operand;
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        if (text == "\"" + *st.typedUserId + "\"")
            return {*st.typedUserId};
    }
    return splitArguments(operand);
}

const std::string *optionLikeArgument(const std::vector<std::string> &args)
{
    for (const auto &a : args)
        if (!a.empty() && (a[0] == '-' || a[0] == '+'))
            return &a;
    return nullptr;
}

std::string recipientRefusalText(const app::AppState &st, const std::string &recipient)
{
    std::string text = st.texts.msg(app::Msg::RecipientIsOption);
    const auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, toMessageText(recipient));
    return text;
}

Invocation buildInvocation(const app::AppState &st, const RunRequest &req)
{
    Invocation inv;
    inv.program = st.pgpDir + "/pgp";
    appendSplit(inv.args, req.options);
    appendOperand(inv.args, st, req.operand1, req.operand1IsFile);
    appendOperand(inv.args, st, req.operand2, req.operand2IsFile);
    // The pass phrase travels through PGPPASSFD, never in the arguments.
    inv.sendPassPhrase = st.sendPassPhrase;
    appendSplit(inv.args, st.configText);
    if (outputGoesToFile(req))
        appendSplit(inv.args, kBatchOptions);
    return inv;
}

RunOutcome RunPgp(app::AppState &st, const RunRequest &req)
{
    RunOutcome out;
    auto &fs = *st.sys.fs;
    // Text from the editor's first line or another program's window must
    // not reach pgp as "-o file": a recipient or key is never an option.
    for (const auto &[operand, isFile] : {std::pair{&req.operand1, req.operand1IsFile},
                                          std::pair{&req.operand2, req.operand2IsFile}}) {
        if (isFile)
            continue;
        const std::vector<std::string> args = operandArguments(st, *operand, false);
        if (const std::string *bad = optionLikeArgument(args)) {
            // No earlier run's report may pass for this one's.
            if (req.captureOutput == 1) {
                try {
                    fs.writePrivateFile(st.inAppDir("out.txt"), "");
                    out.output = st.inAppDir("out.txt");
                } catch (const platform::PlatformError &) {
                }
            }
            st.dialogs->errorBox(recipientRefusalText(st, *bad));
            return out;
        }
    }
    std::optional<std::string> target;
    try {
        // PGP's output may hold decrypted text: owner-readable only.
        if (req.captureOutput == 1) {
            target = st.inAppDir("out.txt");
            fs.writePrivateFile(*target, "");
        }
        if (!req.outputFile.empty()) {
            target = req.outputFile;
            fs.writePrivateFile(*target, "");
        }
    } catch (const platform::PlatformError &e) {
        // Without its output file the run would lose PGP's text.
        st.dialogs->platformError(e.what());
        return out;
    }
    out.output = target;

    Invocation inv = buildInvocation(st, req);
    platform::ProcessJob job;
    job.program = inv.program;
    job.args = std::move(inv.args);
    job.workDir = st.pgpDir;
    job.stdoutFile = target;
    job.showState = req.windowMode;
    if (req.windowMode != 0)
        job.closeOnExit = readCloseOnExit(st);
    if (inv.sendPassPhrase)
        job.passPhrase = st.passPhrase;

    platform::ProcessResult res = st.sys.proc->runAndWait(job);
    out.started = res.started;
    if (!res.started) {
        st.dialogs->plainMessage(std::string(app::fixed::RunFailed) + toMessageText(displayCommandLine(st, req)));
    } else if (res.quitRequested) {
        if (st.quitNow)
            st.quitNow(0);
        out.exitCode = res.exitCode;
        return out;
    } else {
        out.exitCode = res.exitCode;
    }

    if (!req.outputFile.empty() && req.outputFile != st.inAppDir("Tree.txt")
        && req.outputFile != st.inAppDir("ID.txt"))
        st.dialogs->plainMessage(std::string(app::fixed::OutputWrote) + toMessageText(req.outputFile));
    else
        st.processEvents();
    return out;
}

std::string showErrorText(const std::string &message, std::int32_t code1, std::int32_t code2)
{
    return message + "\r\r" + app::fixed::Code + std::to_string(code1) + "," + std::to_string(code2);
}

void ShowError(app::AppState &st, const std::string &message, std::int32_t code1, std::int32_t code2)
{
    if (st.raiseMainWindow)
        st.raiseMainWindow();
    st.dialogs->errorBox(showErrorText(message, code1, code2));
}

std::string toMessageText(const std::string &text)
{
    return charset::isValidUtf8(text) ? text : charset::latin1ToUtf8(text);
}

} // namespace pgp
