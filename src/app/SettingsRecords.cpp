#include "app/SettingsRecords.h"

#include <algorithm>

namespace app {

namespace {

constexpr std::size_t kColor = 0, kHeight = 4, kName = 8, kPitch = 40, kSize = 44, kStyle = 48;
constexpr std::size_t kNameMax = 31;

template <std::size_t N>
std::int32_t getI32(const std::array<std::uint8_t, N> &b, std::size_t at)
{
    std::uint32_t v = std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16)
                      | (std::uint32_t(b[at + 3]) << 24);
    return static_cast<std::int32_t>(v);
}

template <std::size_t N>
void setI32(std::array<std::uint8_t, N> &b, std::size_t at, std::int32_t value)
{
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

template <std::size_t N>
void fillLeading(std::array<std::uint8_t, N> &b, const std::string &stored)
{
    std::size_t n = std::min(stored.size(), N);
    std::copy_n(reinterpret_cast<const std::uint8_t *>(stored.data()), n, b.begin());
}

} // namespace

std::int32_t EditorFontRecord::color() const { return getI32(bytes, kColor); }
std::int32_t EditorFontRecord::height() const { return getI32(bytes, kHeight); }
std::uint8_t EditorFontRecord::pitch() const { return bytes[kPitch]; }
std::int32_t EditorFontRecord::size() const { return getI32(bytes, kSize); }
std::uint8_t EditorFontRecord::style() const { return bytes[kStyle]; }

std::string EditorFontRecord::name() const
{
    // A stored length beyond the field's capacity is cut to it.
    std::size_t len = std::min<std::size_t>(bytes[kName], kNameMax);
    return std::string(reinterpret_cast<const char *>(bytes.data() + kName + 1), len);
}

void EditorFontRecord::setColor(std::int32_t v) { setI32(bytes, kColor, v); }
void EditorFontRecord::setHeight(std::int32_t v) { setI32(bytes, kHeight, v); }
void EditorFontRecord::setPitch(std::uint8_t v) { bytes[kPitch] = v; }
void EditorFontRecord::setSize(std::int32_t v) { setI32(bytes, kSize, v); }
void EditorFontRecord::setStyle(std::uint8_t v) { bytes[kStyle] = v; }

void EditorFontRecord::setName(const std::string &latin1)
{
    std::size_t len = std::min(latin1.size(), kNameMax);
    bytes[kName] = std::uint8_t(len);
    std::fill_n(bytes.begin() + kName + 1, kNameMax, std::uint8_t(0));
    std::copy_n(reinterpret_cast<const std::uint8_t *>(latin1.data()), len, bytes.begin() + kName + 1);
}

void EditorFontRecord::fillFrom(const std::string &stored) { fillLeading(bytes, stored); }

void HotkeyValue::fillFrom(const std::string &stored) { fillLeading(bytes, stored); }

} // namespace app
