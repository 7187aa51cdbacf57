#pragma once
// The 416-byte button record and the table of seventeen.

#include <array>
#include <cstdint>
#include <string>

namespace buttons {

constexpr std::size_t kRecordSize = 416;
constexpr int kButtonCount = 17;
constexpr std::size_t kTableSize = kRecordSize * kButtonCount; // 7072

struct ButtonRecord {
    std::string title;      // capacity 30
    std::string hint;       // capacity 60
    std::string command;    // capacity 40
    std::int32_t buttonNumber = 0;
    bool recipient = false; // recipient chooser first
    bool saveDialog = false;
    bool openDialog = false;
    bool outConsole = false;
    bool outProgram = false;
    bool outFile = false;
    bool closeOnExit = false;
    bool refreshUserList = false;
    std::uint16_t windowMode = 0; // 5 shown, 0 hidden
    std::string outputFile; // capacity 255

    // The raw bytes as read, so that bytes the format does not interpret
    // (after a text's length, reserved fields) are written back unchanged.
    std::array<std::uint8_t, kRecordSize> raw{};

    // Decodes 416 bytes. Lengths beyond a field's capacity are cut to it.
    static ButtonRecord decode(const std::uint8_t *bytes);
    // Encodes into 416 bytes, starting from raw so uninterpreted bytes stay.
    std::array<std::uint8_t, kRecordSize> encode() const;

    bool operator==(const ButtonRecord &o) const { return encode() == o.encode(); }
};

using ButtonTable = std::array<ButtonRecord, kButtonCount>;

} // namespace buttons
