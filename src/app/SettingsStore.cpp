#include "app/SettingsStore.h"

#include "platform/Platform.h"
#include "platform/RegistryStore.h"

#include <cstdint>

namespace app {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Reader {
public:
    Reader(platform::RegistryStore &store, std::string key) : store_(store), key_(std::move(key)) {}

    int integer(const char *name, int def)
    {
        auto text = store_.readString(key_, name);
        return text ? parseStoredInt(*text, def) : def;
    }
    bool boolean(const char *name, bool def) { return integer(name, def ? 1 : 0) != 0; }
    std::string text(const char *name, const std::string &def)
    {
        auto text = store_.readString(key_, name);
        return text ? *text : def;
    }
    template <class Record> void binary(const char *name, Record &rec)
    {
        // The store rejects a value longer than the record or of another type.
        auto bytes = store_.readBinary(key_, name, rec.bytes.size());
        if (bytes)
            rec.fillFrom(*bytes);
    }

private:
    platform::RegistryStore &store_;
    std::string key_;
};

// Writes a value only when it is to be written: always without a record of
// what was read, otherwise only when this run changed it.
class Writer {
public:
    Writer(platform::RegistryStore &store, std::string key) : store_(store), key_(std::move(key)) {}
    void integer(const char *name, int v, bool write = true)
    {
        if (write)
            store_.writeString(key_, name, std::to_string(v));
    }
    void boolean(const char *name, bool v, bool write = true)
    {
        if (write)
            store_.writeString(key_, name, v ? "1" : "0");
    }
    void text(const char *name, const std::string &v, bool write = true)
    {
        if (write)
            store_.writeString(key_, name, v);
    }
    void binary(const char *name, const std::string &bytes, bool write = true)
    {
        if (write)
            store_.writeBinary(key_, name, bytes);
    }

private:
    platform::RegistryStore &store_;
    std::string key_;
};

} // namespace

std::string mainWindowKey() { return std::string(platform::kQuorbixKey) + "\\MainWindow"; }
std::string setupKey() { return std::string(platform::kQuorbixKey) + "\\Setup"; }

int parseStoredInt(const std::string &text, int defaultValue)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t v = 0;
        for (std::size_t i = 2; i < text.size(); ++i) {
            int d = hexDigit(text[i]);
            if (d < 0)
                return defaultValue;
            v = v * 16 + std::uint64_t(d);
            if (v > 0xFFFFFFFFull)
                return defaultValue;
        }
        // Eight hex digits cover the whole 32-bit pattern, as negative values.
        return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    }
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return defaultValue;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return defaultValue;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL)
            return defaultValue;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return defaultValue;
    return static_cast<int>(v);
}

LoadResult loadSettings(platform::RegistryStore &store, SettingsValues &v)
{
    LoadResult result;
    try {
        if (!store.keyExists(mainWindowKey())) {
            result.firstStart = true;
            return result;
        }
        Reader mw(store, mainWindowKey());
        v.left = mw.integer("Left", v.left);
        v.top = mw.integer("Top", v.top);
        v.height = mw.integer("Height", v.height);
        v.width = mw.integer("Width", v.width);
        // Only a true value changes the window state.
        if (mw.boolean("Maximized", false))
            v.maximized = true;
        v.breakSig = mw.boolean("BreakSig", false);
        v.radix64 = mw.boolean("RADIX-64", true);
        v.textMode = mw.boolean("TextMode", false);

        Reader setup(store, setupKey());
        v.pgpPath = setup.text("PGPPath", v.pgpPath);
        v.kLoadPath = setup.text("KLoadPath", "");
        v.kSavePath = setup.text("KSavePath", "");
        v.ubPanel = setup.boolean("UBPanel", false);
        v.wordwrap = setup.boolean("Wordwrap", true);
        v.configText = setup.text("ConfigText", "");
        v.browser = setup.text("Browser", "Clipboard");
        v.language = setup.text("Language", "Deutsch");

        store.createKey(setupKey());
        setup.binary("Editor Font", v.editorFont);
        setup.binary("SCEncrypt", v.scEncrypt);
        setup.binary("SCDecrypt", v.scDecrypt);
        setup.binary("SCSign", v.scSign);
    } catch (const platform::PlatformError &e) {
        result.ok = false;
        result.error = e.what();
    }
    return result;
}

void saveSettings(platform::RegistryStore &store, const SettingsValues &v, const SettingsValues *read)
{
    // Another instance may have saved since start-up: its values stay unless
    // this one changed them too.
    if (read)
        store.reload();
    auto changed = [&](auto member) { return !read || v.*member != read->*member; };
    store.createKey(platform::kQuorbixKey);
    Writer mw(store, mainWindowKey());
    if (v.maximized) {
        // The bounds of the last normal-state shutdown stay stored.
        mw.boolean("Maximized", true, changed(&SettingsValues::maximized));
    } else {
        const bool moved = changed(&SettingsValues::left) || changed(&SettingsValues::top)
            || changed(&SettingsValues::height) || changed(&SettingsValues::width);
        mw.integer("Left", v.left, moved);
        mw.integer("Top", v.top, moved);
        mw.integer("Height", v.height, moved);
        mw.integer("Width", v.width, moved);
        mw.boolean("Maximized", false, changed(&SettingsValues::maximized));
    }
    mw.boolean("BreakSig", v.breakSig, changed(&SettingsValues::breakSig));
    mw.boolean("RADIX-64", v.radix64, changed(&SettingsValues::radix64));
    mw.boolean("TextMode", v.textMode, changed(&SettingsValues::textMode));

    Writer setup(store, setupKey());
    setup.text("PGPPath", v.pgpPath, changed(&SettingsValues::pgpPath));
    setup.text("KSavePath", v.kSavePath, changed(&SettingsValues::kSavePath));
    setup.text("KLoadPath", v.kLoadPath, changed(&SettingsValues::kLoadPath));
    setup.text("ConfigText", v.configText, changed(&SettingsValues::configText));
    setup.text("Language", v.language, changed(&SettingsValues::language));
    setup.boolean("UBPanel", v.ubPanel, changed(&SettingsValues::ubPanel));
    setup.boolean("Wordwrap", v.wordwrap, changed(&SettingsValues::wordwrap));
    setup.text("Browser", v.browser, changed(&SettingsValues::browser));
    setup.integer("Version", 20);

    store.createKey(setupKey());
    auto bytesChanged = [&](auto member) { return !read || (v.*member).bytes != (read->*member).bytes; };
    setup.binary("Editor Font", v.editorFont.toBytes(), bytesChanged(&SettingsValues::editorFont));
    setup.binary("SCEncrypt", v.scEncrypt.toBytes(), bytesChanged(&SettingsValues::scEncrypt));
    setup.binary("SCDecrypt", v.scDecrypt.toBytes(), bytesChanged(&SettingsValues::scDecrypt));
    setup.binary("SCSign", v.scSign.toBytes(), bytesChanged(&SettingsValues::scSign));
    store.flush();
}

SettingsValues firstStartValues(const SettingsValues &creationTime)
{
    SettingsValues v;
    v.left = creationTime.left;
    v.top = creationTime.top;
    v.height = creationTime.height;
    v.width = creationTime.width;
    v.maximized = false;
    // The "-a" box keeps the check it is created with: armoured output is
    // what a first mail needs, and clearing it would surprise a new user.
    v.breakSig = v.textMode = false;
    v.radix64 = true;
    v.pgpPath = creationTime.pgpPath;
    v.ubPanel = true;
    v.wordwrap = true;
    // An empty Browser would take the clipboard route without its notice.
    v.browser = "Clipboard";
    v.language = creationTime.language;
    return v;
}

} // namespace app
