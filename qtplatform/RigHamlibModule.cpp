// The entry points of the receiver-control module (see RigModule.h). Only
// these two names are visible outside the module.

#include "qtplatform/RigHamlib.h"
#include "qtplatform/RigModule.h"

#include <type_traits>

#define TQX_STR2(x) #x
#define TQX_STR(x) TQX_STR2(x)

extern "C" Q_DECL_EXPORT const char *tqxRigModuleVersion()
{
    return TQX_STR(TQX_VERSION_MAJOR) "." TQX_STR(TQX_VERSION_MINOR) "." TQX_STR(TQX_VERSION_PATCH);
}

extern "C" Q_DECL_EXPORT IRig *tqxCreateRig()
{
    return new RigHamlib;
}

// The loader calls these through the pointer types it declares.
static_assert(std::is_same_v<decltype(&tqxRigModuleVersion), RigModuleVersionFn>);
static_assert(std::is_same_v<decltype(&tqxCreateRig), RigModuleCreateFn>);
