#include "RegistryApi.h"

#ifdef _WIN32
#include "WindowsRegistry.h"
#else
#include "SqliteRegistry.h"
#endif

namespace registry {

RegistryApi &platformRegistry()
{
#ifdef _WIN32
    static WindowsRegistry registry;
#else
    static SqliteRegistry registry(SqliteRegistry::defaultLocation());
#endif
    return registry;
}

} // namespace registry
