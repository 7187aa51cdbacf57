#include "support/FakeRegistryStore.h"

#include "platform/Platform.h"

namespace testsupport {

using platform::PlatformError;

namespace {

bool inSet(const std::set<std::string> &s, const std::string &name)
{
    for (const auto &n : s)
        if (platform::RegistryFile::sameName(n, name))
            return true;
    return false;
}

} // namespace

bool FakeRegistryStore::creationFails(const std::string &key) const
{
    return inSet(failCreate, platform::registryFullKey(key)) || inSet(failCreate, key);
}

bool FakeRegistryStore::keyExists(const std::string &key) { return file.keyExists(platform::registryFullKey(key)); }

void FakeRegistryStore::createKey(const std::string &key)
{
    if (creationFails(key))
        throw PlatformError(PlatformError::Kind::Registry, platform::msgCreateKeyFailed(key));
    platform::registryCreateKey(file, key);
}

std::optional<std::string> FakeRegistryStore::readString(const std::string &key, const std::string &name)
{
    if (inSet(failRead, name))
        throw PlatformError(PlatformError::Kind::Registry, platform::msgReadFailed(name));
    return platform::registryReadString(file, key, name);
}

std::optional<std::string> FakeRegistryStore::readBinary(const std::string &key, const std::string &name,
                                                         std::size_t maxSize)
{
    if (inSet(failRead, name))
        throw PlatformError(PlatformError::Kind::Registry, platform::msgReadFailed(name));
    return platform::registryReadBinary(file, key, name, maxSize);
}

void FakeRegistryStore::writeString(const std::string &key, const std::string &name, const std::string &value)
{
    if (!file.keyExists(platform::registryFullKey(key)) && creationFails(key))
        throw PlatformError(PlatformError::Kind::Registry, platform::msgCreateKeyFailed(key));
    if (inSet(failWrite, name))
        throw PlatformError(PlatformError::Kind::Registry, platform::msgWriteFailed(name));
    platform::registryWriteString(file, key, name, value);
}

void FakeRegistryStore::writeBinary(const std::string &key, const std::string &name, const std::string &bytes)
{
    if (!file.keyExists(platform::registryFullKey(key)) && creationFails(key))
        throw PlatformError(PlatformError::Kind::Registry, platform::msgCreateKeyFailed(key));
    if (inSet(failWrite, name))
        throw PlatformError(PlatformError::Kind::Registry, platform::msgWriteFailed(name));
    platform::registryWriteBinary(file, key, name, bytes);
}

void FakeRegistryStore::flush()
{
    if (failFlush)
        throw PlatformError(PlatformError::Kind::Registry, platform::msgWriteFailed("QUORBIX.reg"));
    ++flushCount;
}

} // namespace testsupport
