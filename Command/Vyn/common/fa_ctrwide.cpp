#include "Command/Vyn/common/fa_ctrwide.h"

#include "Command/Vyn/os/faux_misc.h"

namespace {
constexpr FSA_STATUS kHostOsNotSupported = 213;
}

extern "C" FSA_STATUS FsaValidHostOs()
{
    const int os = faos_GetOSType();
    return os == 2 || os == 7 || os == 8 ? kHostOsNotSupported : FSA_STS_SUCCESS;
}

extern "C" int FsaIsUnixOS(int osType)
{
    switch (osType) {
    case 4: case 5: case 9: case 11: case 12: case 13: return 1;
    default: return 0;
    }
}

extern "C" int FsaIsNTOS(int osType) { return osType == 1 || osType == 8 || osType == 10 ? 1 : 0; }
extern "C" int FsaGetOSType() { return faos_GetOSType(); }
