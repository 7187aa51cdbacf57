// PGP's key listings as the chooser and the key tree read them.
#include "FuzzCheck.h"
#include "keys/Listing.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto lines = keys::textLines(text);
    std::size_t keyLines = 0;
    for (std::string_view line : lines) {
        FUZZ_CHECK(line.find('\n') == std::string_view::npos);
        if (keys::isKeyLine(line)) {
            ++keyLines;
            const keys::UserRow row = keys::userRowOf(line);
            FUZZ_CHECK(row.bits.size() <= 4 && row.keyId.size() <= 8 && row.date.size() <= 11);
        }
        keys::classifyTreeLine(line);
        FUZZ_CHECK(keys::keyIdText(line).size() <= 8);
    }
    const auto rows = keys::userRows(text);
    FUZZ_CHECK(rows.size() == (keyLines == 0 ? 0 : keyLines - 1));
    return 0;
}
