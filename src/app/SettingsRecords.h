#pragma once
// The two binary records of the settings store.

#include <array>
#include <cstdint>
#include <string>

namespace app {

// 52 bytes, little-endian.
struct EditorFontRecord {
    std::array<std::uint8_t, 52> bytes{};

    std::int32_t color() const;
    std::int32_t height() const;
    std::string name() const;   // Latin-1, up to 31 characters
    std::uint8_t pitch() const; // 0 default, 1 variable, 2 fixed
    std::int32_t size() const;  // points
    std::uint8_t style() const; // bit 0 bold, 1 italic, 2 underline, 3 strike-out

    void setColor(std::int32_t v);
    void setHeight(std::int32_t v);
    void setName(const std::string &latin1); // cut to 31
    void setPitch(std::uint8_t v);
    void setSize(std::int32_t v);
    void setStyle(std::uint8_t v);

    // A stored value shorter than the record fills only its leading bytes.
    void fillFrom(const std::string &stored);
    std::string toBytes() const { return std::string(bytes.begin(), bytes.end()); }
};

// 4 bytes: virtual-key code (16 bit), modifier set (bit 0 Shift, 1 Alt, 2 Ctrl),
// one byte kept as read.
struct HotkeyValue {
    std::array<std::uint8_t, 4> bytes{};

    std::uint16_t keyCode() const { return std::uint16_t(bytes[0] | (bytes[1] << 8)); }
    std::uint8_t modifiers() const { return bytes[2]; }
    void setKeyCode(std::uint16_t k) { bytes[0] = std::uint8_t(k & 0xFF); bytes[1] = std::uint8_t(k >> 8); }
    void setModifiers(std::uint8_t m) { bytes[2] = m; }
    bool isSet() const { return keyCode() != 0; }

    void fillFrom(const std::string &stored);
    std::string toBytes() const { return std::string(bytes.begin(), bytes.end()); }
};

} // namespace app
