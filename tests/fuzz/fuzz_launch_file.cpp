// The launch file beside pgp: whatever PGP.pif holds, the close flag reads
// without a crash, and a launch file made for any title and program keeps
// its size and the flag's place.
#include "FuzzCheck.h"
#include "pgp/LaunchFile.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Serves one file's bytes; nothing else of the interface is used.
class OneFile : public platform::FileSystem {
public:
    std::string bytes;
    bool exists(const std::string &) const override { return true; }
    bool isDirectory(const std::string &) const override { return false; }
    void remove(const std::string &) override {}
    std::string readFile(const std::string &) const override { return bytes; }
    std::string readWorkingFile(const std::string &) const override { return bytes; }
    void writePrivateFile(const std::string &, const std::string &) override {}
    void writeFile(const std::string &, const std::string &) override {}
    void replaceAtomically(const std::string &, const std::string &, unsigned) override {}
    void removeInterruptedReplacements(const std::string &) override {}
    void patchFile(const std::string &, std::uint64_t, const std::string &) override {}
    std::optional<std::uint64_t> freeSpace(const std::string &) const override { return std::nullopt; }
    bool isWritable(const std::string &) const override { return false; }
    void makeFolder(const std::string &, bool) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    OneFile fs;
    fs.bytes.assign(reinterpret_cast<const char *>(data), size);
    const bool close = pgp::readCloseOnExit(fs, "/pgp");
    if (size > pgp::kCloseOnExitOffset)
        FUZZ_CHECK(close == ((data[pgp::kCloseOnExitOffset] & pgp::kCloseOnExitBit) != 0));
    else
        FUZZ_CHECK(!close);

    const std::string &in = fs.bytes;
    const auto cut = in.find('\n');
    const std::string made = pgp::makeLaunchFile(in.substr(0, cut), cut == std::string::npos ? "" : in.substr(cut + 1));
    FUZZ_CHECK(made.size() == pgp::kLaunchFileSize);
    FUZZ_CHECK(made[pgp::kCloseOnExitOffset] == pgp::launchFileTemplate()[pgp::kCloseOnExitOffset]);
    return 0;
}
