// pgp's command line and its config.txt syntax. The input is split at NUL
// bytes into arguments; the whole input is also read as a config.txt.
#include "FuzzCheck.h"
#include "options.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> args;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nul = text.find('\0', start);
        args.push_back(text.substr(start, nul == std::string::npos ? std::string::npos : nul - start));
        if (nul == std::string::npos)
            break;
        start = nul + 1;
    }
    const pgpc::Invocation inv = pgpc::parseCommandLine(args);
    pgpc::Settings s;
    for (const auto &[name, value] : inv.plusOptions)
        pgpc::applySetting(s, name, value, true);
    for (const auto &op : inv.operands) {
        pgpc::hasExtension(op);
        pgpc::replaceExtension(op, ".asc");
        pgpc::stripExtension(op);
        pgpc::keyFileName(op, true);
    }
    for (const auto &[name, value] : pgpc::parseConfigText(text))
        pgpc::applySetting(s, name, value, false);
    return 0;
}
