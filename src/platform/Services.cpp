#include "platform/Platform.h"
#include "platform/RegistryStore.h"

namespace platform {

Services systemServices()
{
    static FileRegistryStore registry(FileRegistryStore::defaultPath());
    Services s;
    s.env = &systemEnvironment();
    s.fs = &systemFileSystem();
    s.proc = &systemProcessRunner();
    s.help = &systemHelpViewer();
    s.registry = &registry;
    return s;
}

} // namespace platform
