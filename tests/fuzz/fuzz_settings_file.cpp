// The settings file parser: any bytes parse without a crash, and what the
// store writes reads back as the same registry, never as a damaged file.
#include "FuzzCheck.h"
#include "platform/RegistryStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> warnings;
    const platform::RegistryFile first = platform::RegistryFile::parse(text, &warnings);
    const std::string written = first.serialize();
    std::vector<std::string> again;
    const platform::RegistryFile second = platform::RegistryFile::parse(written, &again);
    FUZZ_CHECK(again.empty());
    FUZZ_CHECK(second.keys() == first.keys());
    for (const std::string &key : first.keys()) {
        FUZZ_CHECK(second.valueNames(key) == first.valueNames(key));
        for (const std::string &name : first.valueNames(key)) {
            const platform::RegValue *a = first.value(key, name);
            const platform::RegValue *b = second.value(key, name);
            FUZZ_CHECK(a && b && a->type == b->type && a->data == b->data);
        }
    }
    FUZZ_CHECK(second.serialize() == written);
    return 0;
}
