#pragma once
// The settings store in memory, with the same rules and messages as the
// file-backed one, plus failures on demand.
//
//   FakeRegistryStore reg;
//   reg.writeString(std::string(platform::kQuorbixKey) + "\\MainWindow", "Left", "10");
//   reg.failWrite.insert("Version");   // writing "Version" raises "Konnte Daten für 'Version' nicht setzen"
//   reg.failCreate.insert(key);        // createKey(key) raises "Erzeugung von Schlüssel ... misslungen"
//   reg.failRead.insert("Browser");    // reading "Browser" raises "Konnte Daten für 'Browser' nicht holen"
//   reg.file.setValue(key, "Left", {platform::RegType::Other, "dword:00000010"}); // wrong type

#include "platform/RegistryStore.h"

#include <set>
#include <string>

namespace testsupport {

class FakeRegistryStore : public platform::RegistryStore {
public:
    platform::RegistryFile file;
    std::set<std::string> failRead;   // value names
    std::set<std::string> failWrite;  // value names
    std::set<std::string> failCreate; // full key paths (compared without regard to case)
    bool failFlush = false;
    int flushCount = 0;

    FakeRegistryStore() = default;
    explicit FakeRegistryStore(const std::string &regedit4Text) : file(platform::RegistryFile::parse(regedit4Text)) {}

    std::string text() const { return file.serialize(); }

    bool keyExists(const std::string &key) override;
    void createKey(const std::string &key) override;
    std::optional<std::string> readString(const std::string &key, const std::string &name) override;
    std::optional<std::string> readBinary(const std::string &key, const std::string &name, std::size_t maxSize) override;
    void writeString(const std::string &key, const std::string &name, const std::string &value) override;
    void writeBinary(const std::string &key, const std::string &name, const std::string &bytes) override;
    void flush() override;

private:
    bool creationFails(const std::string &key) const;
};

} // namespace testsupport
