// The button file's 416-byte records: every record decodes, and encoding
// what was decoded decodes to the same record again.
#include "FuzzCheck.h"
#include "buttons/ButtonRecord.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    for (std::size_t at = 0; at + buttons::kRecordSize <= size; at += buttons::kRecordSize) {
        const buttons::ButtonRecord rec = buttons::ButtonRecord::decode(data + at);
        const auto bytes = rec.encode();
        FUZZ_CHECK(bytes.size() == buttons::kRecordSize);
        const buttons::ButtonRecord back = buttons::ButtonRecord::decode(bytes.data());
        FUZZ_CHECK(back == rec);
        FUZZ_CHECK(back.encode() == bytes);
    }
    return 0;
}
