// Failover exports the controller object needs when it opens a controller.
#include "Command/Vyn/common/fa_failover.h"

#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"

extern "C" FSA_STATUS FsaGetAutomaticFailover(void* handle, uint32_t* flags)
{
    return FsaExportedCall("FsaGetAutomaticFailover", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (flags == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        CT_GetAutoFailover(ctx, flags);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}
