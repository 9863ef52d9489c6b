#include "Command/Vyn/common/fa_pciids.h"

#include "Command/Vyn/common/fa_filesys.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_status.h"

extern "C" FSA_STATUS FsaGetPCIIds(void* handle, uint16_t ids[4])
{
    return FsaExportedCall("FsaGetPCIIds", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (ids == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        uint32_t words[2] = {0, 0};
        const FSA_STATUS s = flash_pci_ids(ctx, words);
        if (s != FSA_STS_SUCCESS)
            return s;
        ids[0] = static_cast<uint16_t>(words[0]);
        ids[1] = static_cast<uint16_t>(words[0] >> 16);
        ids[2] = static_cast<uint16_t>(words[1]);
        ids[3] = static_cast<uint16_t>(words[1] >> 16);
        return s;
    });
}
