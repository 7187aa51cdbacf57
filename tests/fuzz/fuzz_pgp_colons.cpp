// GnuPG's colon listing as pgp reads it, and the PGP 2.6 listing it prints
// from what it read, in every style.
#include "FuzzCheck.h"
#include "listing.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool secret = data[0] & 1;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const auto keys = pgpc::parseColonListing(text, secret);
    for (pgpc::ListStyle style : {pgpc::ListStyle::Short, pgpc::ListStyle::Sigs, pgpc::ListStyle::CheckSigs}) {
        pgpc::ListOptions opt;
        opt.style = style;
        opt.fingerprints = data[0] & 2;
        opt.lang = data[0] & 4 ? pgpc::Lang::German : pgpc::Lang::English;
        pgpc::formatListing(keys, opt, "pubring.gpg");
    }
    return 0;
}
