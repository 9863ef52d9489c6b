#include "Command/Vyn/os/faux_oem_ulb.h"

#include "Command/Vyn/common/fa_wchar.h"
#include "Command/Vyn/os/faux_debug.h"

#include <cstdio>
#include <cstring>

int faux_oemtype = FSA_OEM_GENERIC;

namespace {

const char* prefixOf(int oemType)
{
    switch (oemType) {
    case FSA_OEM_GENERIC:
        return "ulb";
    case FSA_OEM_DELL:
        return "omr";
    case FSA_OEM_HP:
        return "hpn";
    default:
        return "";
    }
}

const char* oemName(int oemType)
{
    switch (oemType) {
    case FSA_OEM_GENERIC:
        return "FSA_OEM_GENERIC";
    case FSA_OEM_DELL:
        return "FSA_OEM_DELL";
    case FSA_OEM_HP:
        return "FSA_OEM_HP";
    default:
        return "FSA_OEM_UNKNOWN";
    }
}

}  // namespace

char* FsaUxGetDeviceNamePrefix(char* buffer)
{
    std::strcpy(buffer, prefixOf(faux_oemtype));
    return buffer;
}

int faos_GetOEMWithNoContext()
{
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "-- GetOEMWithNoContext: %s\n", oemName(faux_oemtype));
    return faux_oemtype;
}

int faux_IsAdapterNameValid(const char* name)
{
    const char* prefix = prefixOf(faux_oemtype);
    const size_t len = std::strlen(prefix);
    if (len == 0 || name == nullptr)
        return 0;
    // The name becomes part of paths under /dev and the lock directory; a
    // separator would lead them out of there.
    if (std::strchr(name, '/') != nullptr)
        return 0;
    char lower[8] = {};
    for (size_t i = 0; i < len && name[i] != '\0'; ++i)
        lower[i] = name[i];
    FA_strlwr(lower);
    return std::strncmp(lower, prefix, len) == 0 ? 1 : 0;
}

void faux_mbAdapterNameFromWide(const wchar_t* wide, char* out, int outSize)
{
    if (out == nullptr || outSize <= 0)
        return;
    out[0] = '\0';
    if (outSize < 17 || wide == nullptr)
        return;
    int i = 0;
    for (; i < outSize - 1 && wide[i] != 0; ++i)
        out[i] = static_cast<char>(wide[i] & 0xFF);
    out[i] = '\0';
    FA_strlwr(out);
}

void faux_mbFullAdapterName(const char* name, char* out, int outSize)
{
    if (out == nullptr || outSize <= 0)
        return;
    out[0] = '\0';
    if (outSize < 101 || name == nullptr)
        return;
    if (std::snprintf(out, static_cast<size_t>(outSize), "%s/%s", "/dev", name) >= outSize)
        out[0] = '\0';
    FA_strlwr(out);
}
