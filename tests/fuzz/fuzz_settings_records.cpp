// The settings as start-up reads them from a settings file: numbers (also
// "0x" hexadecimal), booleans, texts and the binary records of the font and
// the hotkeys, read through the store's own rules.
#include "FuzzCheck.h"
#include "app/SettingsRecords.h"
#include "app/SettingsStore.h"
#include "platform/Platform.h"
#include "platform/RegistryStore.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

class MemoryStore : public platform::RegistryStore {
public:
    explicit MemoryStore(const std::string &text) : file(platform::RegistryFile::parse(text)) {}
    platform::RegistryFile file;
    bool keyExists(const std::string &key) override { return file.keyExists(platform::registryFullKey(key)); }
    void createKey(const std::string &key) override { platform::registryCreateKey(file, key); }
    std::optional<std::string> readString(const std::string &key, const std::string &name) override
    {
        return platform::registryReadString(file, key, name);
    }
    std::optional<std::string> readBinary(const std::string &key, const std::string &name, std::size_t maxSize) override
    {
        return platform::registryReadBinary(file, key, name, maxSize);
    }
    void writeString(const std::string &key, const std::string &name, const std::string &value) override
    {
        platform::registryWriteString(file, key, name, value);
    }
    void writeBinary(const std::string &key, const std::string &name, const std::string &bytes) override
    {
        platform::registryWriteBinary(file, key, name, bytes);
    }
    void flush() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    MemoryStore store(text);
    app::SettingsValues v;
    const app::LoadResult r = app::loadSettings(store, v);
    FUZZ_CHECK(r.ok || !r.error.empty());
    FUZZ_CHECK(v.editorFont.name().size() <= 31);

    // What was read is written and read back unchanged.
    if (r.ok && !r.firstStart) {
        MemoryStore copy("");
        app::saveSettings(copy, v);
        app::SettingsValues w;
        FUZZ_CHECK(app::loadSettings(copy, w).ok);
        FUZZ_CHECK(w.pgpPath == v.pgpPath && w.configText == v.configText && w.language == v.language);
        FUZZ_CHECK(w.editorFont.bytes == v.editorFont.bytes && w.scSign.bytes == v.scSign.bytes);
        FUZZ_CHECK(w.breakSig == v.breakSig && w.wordwrap == v.wordwrap);
    }

    // The records themselves from raw bytes.
    app::EditorFontRecord font;
    font.fillFrom(text.substr(0, 52));
    FUZZ_CHECK(font.name().size() <= 31);
    font.setName(text);
    FUZZ_CHECK(font.name() == text.substr(0, 31));
    app::HotkeyValue key;
    key.fillFrom(text.substr(0, 4));
    FUZZ_CHECK(key.isSet() == (key.keyCode() != 0));
    return 0;
}
