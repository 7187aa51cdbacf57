#pragma once
// The per-user registry of the Windows design, kept as one REGEDIT4 text file
// ($XDG_CONFIG_HOME/Farrowdale Software/QUORBIX.reg). Key and value names
// compare without regard to case. Errors carry the registry layer's messages.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

enum class RegType { String, Binary, Other };

struct RegValue {
    RegType type = RegType::String;
    std::string data; // text (Latin-1) for String, raw bytes for Binary
};

// In-memory model of the REGEDIT4 file: keys by full path
// ("HKEY_CURRENT_USER\\Software\\..."), each with named values.
class RegistryFile {
public:
    // Parses a REGEDIT4 text. Damaged lines are skipped and reported through
    // warnings (one line each); they never stop the parse.
    static RegistryFile parse(const std::string &text, std::vector<std::string> *warnings = nullptr);
    std::string serialize() const;

    bool keyExists(const std::string &key) const;
    void createKey(const std::string &key);
    const RegValue *value(const std::string &key, const std::string &name) const;
    void setValue(const std::string &key, const std::string &name, const RegValue &v);
    std::vector<std::string> keys() const;
    // Value names of one key, as first spelled; empty when the key is missing.
    std::vector<std::string> valueNames(const std::string &key) const;

    // Case-insensitive comparison of key and value names (Latin-1).
    static bool sameName(const std::string &a, const std::string &b);

private:
    // A name folded for comparison: the index key of keys and values.
    static std::string foldName(const std::string &name);

    struct Key {
        std::string name; // as first spelled
        std::vector<std::pair<std::string, RegValue>> values;
        std::unordered_map<std::string, std::size_t> index; // folded value name -> position
    };
    // In file order; the indexes keep reading and writing linear in the
    // file's size, however many keys and values it holds.
    std::vector<Key> keys_;
    std::unordered_map<std::string, std::size_t> keyIndex_; // folded key name -> position
    Key *find(const std::string &key);
    const Key *find(const std::string &key) const;
    std::size_t ensure(const std::string &key); // the key's position, added when missing
};

// The store the settings code uses. Reads raise PlatformError with
// "Ungültiger Datentyp für '%s'" or "Konnte Daten für '%s' nicht holen";
// writes with "Konnte Daten für '%s' nicht setzen"; key creation with
// "Erzeugung von Schlüssel %s misslungen".
class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    virtual bool keyExists(const std::string &key) = 0;
    virtual void createKey(const std::string &key) = 0;
    // nullopt when the value is missing; throws when it is not a string.
    virtual std::optional<std::string> readString(const std::string &key, const std::string &name) = 0;
    // nullopt when missing; throws when it is not binary or longer than maxSize.
    virtual std::optional<std::string> readBinary(const std::string &key, const std::string &name,
                                                  std::size_t maxSize) = 0;
    virtual void writeString(const std::string &key, const std::string &name, const std::string &value) = 0;
    virtual void writeBinary(const std::string &key, const std::string &name, const std::string &bytes) = 0;
    // Writes pending changes to the backing file (atomically). Throws on failure.
    virtual void flush() = 0;
    // Reads the backing file again, dropping unwritten changes, so that what
    // is written next goes over what is there now. Stores without a file
    // keep what they hold.
    virtual void reload() {}
};

// The file-backed store. A missing file is an empty registry; a damaged file
// is read as far as it can be, and the original is kept as "<file>.damaged"
// before the first write so nothing the user had is lost.
class FileRegistryStore : public RegistryStore {
public:
    explicit FileRegistryStore(std::string path);
    static std::string defaultPath(); // from XDG_CONFIG_HOME or ~/.config

    bool keyExists(const std::string &key) override;
    void createKey(const std::string &key) override;
    std::optional<std::string> readString(const std::string &key, const std::string &name) override;
    std::optional<std::string> readBinary(const std::string &key, const std::string &name,
                                          std::size_t maxSize) override;
    void writeString(const std::string &key, const std::string &name, const std::string &value) override;
    void writeBinary(const std::string &key, const std::string &name, const std::string &bytes) override;
    void flush() override;
    void reload() override;

    const std::string &path() const { return path_; }
    RegistryFile &file() { return file_; }
    // The parse warnings of a damaged file (empty for a sound one).
    const std::vector<std::string> &warnings() const { return warnings_; }
    // Where the damaged original was kept, once it has been.
    const std::string &damagedCopy() const { return damagedCopy_; }

private:
    void load();
    std::string path_;
    RegistryFile file_;
    bool dirty_ = false;
    bool damaged_ = false;
    std::string original_;          // bytes of a damaged file, kept until copied aside
    std::string damagedCopy_;
    std::string loadError_;         // why an existing file could not be read
    std::vector<std::string> warnings_;
};

// The store's rules over an in-memory registry, shared by the file-backed
// store and the test fake. Keys are full paths; a key not starting with
// "HKEY_" is taken below HKEY_CURRENT_USER. All throw PlatformError (kind
// Registry) with the four messages above.
std::string registryFullKey(const std::string &key);
std::optional<std::string> registryReadString(const RegistryFile &f, const std::string &key, const std::string &name);
std::optional<std::string> registryReadBinary(const RegistryFile &f, const std::string &key, const std::string &name,
                                              std::size_t maxSize);
void registryWriteString(RegistryFile &f, const std::string &key, const std::string &name, const std::string &value);
void registryWriteBinary(RegistryFile &f, const std::string &key, const std::string &name, const std::string &bytes);
void registryCreateKey(RegistryFile &f, const std::string &key);

// The four messages with the name (Latin-1) put in place of %s; UTF-8 result.
std::string msgInvalidType(const std::string &name);   // "Ungültiger Datentyp für '%s'"
std::string msgCreateKeyFailed(const std::string &key); // "Erzeugung von Schlüssel %s misslungen"
std::string msgWriteFailed(const std::string &name);    // "Konnte Daten für '%s' nicht setzen"
std::string msgReadFailed(const std::string &name);     // "Konnte Daten für '%s' nicht holen"

// Root of this program's keys.
inline const char *kQuorbixKey = "HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX";

} // namespace platform
