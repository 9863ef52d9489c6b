// Online expansion of a container's file system: not done on this host.
#include "Command/Vyn/os/faux_ctrprep.h"

#include "Command/Vyn/os/faux_debug.h"

namespace {

constexpr const char kFile[] = "faux_ctrexpand";

}  // namespace

int faos_DoesFileSystemNotTakeUpFullContainer(FSAAPI_CONTEXT*, int)
{
    FAUX_TRACE_PUT_OFF(kFile, "faos_DoesFileSystemNotTakeUpFullContainer");
    return 0;
}

int64_t faos_GetMaxExtensionForFileSys(FSAAPI_CONTEXT*, int, int* extension)
{
    FAUX_TRACE_PUT_OFF(kFile, "faos_GetMaxExtensionForFileSys");
    if (extension != nullptr)
        *extension = 0;
    return -1;
}

void faos_ExposeExtendedContainer(FSAAPI_CONTEXT*, int) { FAUX_TRACE_PUT_OFF(kFile, "faos_ExposeExtendedContainer"); }
