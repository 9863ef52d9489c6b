#include "Command/Vyn/common/fa_pciids.h"

extern "C" FSA_STATUS FsaGetPCIIds(void*, uint16_t*)
{
    return FSA_STS_NOT_SUPPORTED;
}
