#include "crypt/CryptCore.h"

namespace cryptcmd {

std::string optionLetters(bool breakSig, bool armour, bool textMode)
{
    std::string s;
    if (breakSig)
        s += 'b';
    if (armour)
        s += 'a';
    if (textMode)
        s += 't';
    return s;
}

std::string fileCommandOptions(FileCommand cmd, bool breakSig, bool armour, bool textMode)
{
    switch (cmd) {
    case FileCommand::Encrypt:
        return "-e" + optionLetters(breakSig, armour, textMode);
    case FileCommand::Decrypt:
        return {};
    case FileCommand::Sign:
        return "-s" + optionLetters(breakSig, armour, textMode) + " +batchmode";
    }
    return {};
}

const EditorCommandRow &editorCommandRow(EditorCommand cmd)
{
    static const EditorCommandRow addKey{
        "-ka", false, true, false, false, false, true, true,
        ResultFile::OutTxt, ViewerPolicy::Never, {kTempInput, kTempArmoured, kTempBinary}};
    static const EditorCommandRow encrypt{
        "-ea", true, true, true, false, true, false, false,
        ResultFile::QuorbixAsc, ViewerPolicy::WhenResultMissing, {kTempInput, kTempArmoured, kTempBinary}};
    static const EditorCommandRow decrypt{
        "", false, false, false, true, false, false, false,
        ResultFile::Quorbix, ViewerPolicy::Always, {kTempInput, kTempArmoured, kTempBinary, kTempDecrypted}};
    static const EditorCommandRow sign{
        "-sa", true, true, false, true, false, false, false,
        ResultFile::QuorbixAsc, ViewerPolicy::WhenResultMissing, {kTempInput, kTempArmoured}};
    switch (cmd) {
    case EditorCommand::AddKey: return addKey;
    case EditorCommand::Encrypt: return encrypt;
    case EditorCommand::Decrypt: return decrypt;
    case EditorCommand::Sign: return sign;
    }
    return addKey;
}

std::string editorCommandOptions(EditorCommand cmd, bool breakSig, bool textMode)
{
    const EditorCommandRow &row = editorCommandRow(cmd);
    std::string s = row.baseOptions;
    if (row.optionLetters)
        s += optionLetters(breakSig, false, textMode);
    if (row.batchMode)
        s += " +batchmode";
    return s;
}

std::string resultFileName(ResultFile r)
{
    switch (r) {
    case ResultFile::OutTxt: return "out.txt";
    case ResultFile::QuorbixAsc: return kTempArmoured;
    case ResultFile::Quorbix: return kTempDecrypted;
    }
    return {};
}

InlineSplit splitInlineRecipients(const std::string &text)
{
    InlineSplit out;
    const auto eol = text.find('\n');
    const std::string first = text.substr(0, eol);
    if (first.size() < 2 || first[0] != '/' || first[1] != '/') {
        out.rest = text;
        return out;
    }
    out.found = true;
    out.recipients = first.substr(2);
    out.rest = eol == std::string::npos ? std::string() : text.substr(eol + 1);
    return out;
}

std::string captionFileName(const std::string &path)
{
    const auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 255) {
        // Names come from the file system as UTF-8: never cut a character in two.
        std::size_t n = 255;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
        name.resize(n);
    }
    return name;
}

std::string captionWithFile(const std::string &versionText, const std::string &path)
{
    return versionText + " - " + captionFileName(path);
}

} // namespace cryptcmd
