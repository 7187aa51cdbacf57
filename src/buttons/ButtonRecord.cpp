#include "buttons/ButtonRecord.h"

#include <algorithm>

namespace buttons {

namespace {

struct TextField {
    std::size_t offset;
    std::size_t capacity;
};
constexpr TextField kTitle{0, 30}, kHint{31, 60}, kCommand{92, 40}, kOutputFile{160, 255};
constexpr std::size_t kNumber = 136;
constexpr std::size_t kRecipient = 148, kSave = 149, kOpen = 150, kConsole = 152, kProgram = 153, kFile = 154,
                      kClose = 155, kRefresh = 156, kWindowMode = 158;

std::string getText(const std::uint8_t *b, TextField f)
{
    std::size_t len = std::min<std::size_t>(b[f.offset], f.capacity);
    return std::string(reinterpret_cast<const char *>(b + f.offset + 1), len);
}

void putText(std::array<std::uint8_t, kRecordSize> &b, TextField f, const std::string &s)
{
    std::size_t len = std::min(s.size(), f.capacity);
    b[f.offset] = std::uint8_t(len);
    std::copy_n(reinterpret_cast<const std::uint8_t *>(s.data()), len, b.begin() + f.offset + 1);
}

// A flag byte other than 0 and 1 is kept as it stands while its meaning is
// unchanged.
void putFlag(std::array<std::uint8_t, kRecordSize> &b, std::size_t at, bool on)
{
    if ((b[at] != 0) != on)
        b[at] = on ? 1 : 0;
}

} // namespace

ButtonRecord ButtonRecord::decode(const std::uint8_t *b)
{
    ButtonRecord r;
    std::copy_n(b, kRecordSize, r.raw.begin());
    r.title = getText(b, kTitle);
    r.hint = getText(b, kHint);
    r.command = getText(b, kCommand);
    r.buttonNumber = static_cast<std::int32_t>(std::uint32_t(b[kNumber]) | (std::uint32_t(b[kNumber + 1]) << 8)
                                               | (std::uint32_t(b[kNumber + 2]) << 16)
                                               | (std::uint32_t(b[kNumber + 3]) << 24));
    r.recipient = b[kRecipient] != 0;
    r.saveDialog = b[kSave] != 0;
    r.openDialog = b[kOpen] != 0;
    r.outConsole = b[kConsole] != 0;
    r.outProgram = b[kProgram] != 0;
    r.outFile = b[kFile] != 0;
    r.closeOnExit = b[kClose] != 0;
    r.refreshUserList = b[kRefresh] != 0;
    r.windowMode = std::uint16_t(b[kWindowMode] | (b[kWindowMode + 1] << 8));
    r.outputFile = getText(b, kOutputFile);
    return r;
}

std::array<std::uint8_t, kRecordSize> ButtonRecord::encode() const
{
    auto b = raw;
    putText(b, kTitle, title);
    putText(b, kHint, hint);
    putText(b, kCommand, command);
    auto n = static_cast<std::uint32_t>(buttonNumber);
    for (int i = 0; i < 4; ++i)
        b[kNumber + i] = std::uint8_t(n >> (8 * i));
    putFlag(b, kRecipient, recipient);
    putFlag(b, kSave, saveDialog);
    putFlag(b, kOpen, openDialog);
    putFlag(b, kConsole, outConsole);
    putFlag(b, kProgram, outProgram);
    putFlag(b, kFile, outFile);
    putFlag(b, kClose, closeOnExit);
    putFlag(b, kRefresh, refreshUserList);
    b[kWindowMode] = std::uint8_t(windowMode & 0xFF);
    b[kWindowMode + 1] = std::uint8_t(windowMode >> 8);
    putText(b, kOutputFile, outputFile);
    return b;
}

} // namespace buttons
