#include "Command/Vyn/common/fa_enum.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_wchar.h"
#include "Command/Vyn/os/faux_linux.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

// Adapter information reply (FIB 703), payload offsets.
constexpr size_t kAiPlatform = 0;
constexpr size_t kAiFirmwareMinor = 30;
constexpr size_t kAiFirmwareMajor = 31;
constexpr size_t kAiSerial0 = 68;
constexpr size_t kAiSerial1 = 72;
constexpr size_t kAiOptions = 80;
constexpr size_t kAiOemId = 84;
constexpr uint32_t kOptSupplement = 0x10000;
// Supplement information reply (FIB 706).
constexpr size_t kSupTypeTextChars = 17;
constexpr size_t kSupMaxPorts = 28;

constexpr uint32_t kAdapterTypeUnknown = 22;
constexpr unsigned kLastIndex = 16;

// A narrow name widened into a new array of its length plus one.
std::unique_ptr<wchar_t[]> widen(const char* name)
{
    if (name == nullptr)
        return nullptr;
    const size_t n = std::strlen(name);
    std::unique_ptr<wchar_t[]> wide(new (std::nothrow) wchar_t[n + 1]);
    if (!wide)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    FA_mbstowcs(wide.get(), name, n + 1);
    wide[n] = L'\0';
    return wide;
}

}  // namespace

void PopulateOSIndependentPartAdapterEnum(_tagFSA_ADAPTER_ENUM_INFO* info, _ADAPTER_INFO_STRUCT* adapterInfo,
                                          _ADAPTER_SUPPLEMENT_INFO_STRUCT* supplementInfo)
{
    if (info == nullptr)
        return;
    if (adapterInfo == nullptr) {
        info->adapterType = 0;
        std::memset(info->adapterTypeText, 0, sizeof info->adapterTypeText);
        info->serialNumber[0] = 0;
        info->serialNumber[1] = 0;
        info->clustering = 0;
        info->firmwareMajor = 0;
        info->firmwareMinor = 0;
        info->oemId = 0;
        info->maxPorts = 0;
        return;
    }
    const uint8_t* ai = reinterpret_cast<const uint8_t*>(adapterInfo);
    uint8_t* supplement = reinterpret_cast<uint8_t*>(supplementInfo);
    const bool haveSupplement = (faGetLe32(ai + kAiOptions) & kOptSupplement) != 0 && supplement != nullptr;

    info->adapterType = TranslatePLATtoAT(faGetLe32(ai + kAiPlatform), faGetLe32(ai + kAiOemId));
    if (haveSupplement && info->adapterType == 0)
        info->adapterType = kAdapterTypeUnknown;
    if (haveSupplement && supplement[0] != 0) {
        supplement[kSupTypeTextChars] = 0;
        const size_t length = strnlen(reinterpret_cast<const char*>(supplement), kSupTypeTextChars);
        FA_mbstowcs(info->adapterTypeText, reinterpret_cast<const char*>(supplement), length + 1);
        info->adapterTypeText[length] = L'\0';
    }
    info->serialNumber[0] = faGetLe32(ai + kAiSerial0);
    info->serialNumber[1] = faGetLe32(ai + kAiSerial1);
    info->pcbaSerialNumber = 0xFFFFFFFFu;
    info->clustering = 0;
    info->firmwareMajor = ai[kAiFirmwareMajor];
    info->firmwareMinor = ai[kAiFirmwareMinor];
    info->oemId = faGetLe32(ai + kAiOemId);
    info->maxPorts = haveSupplement ? faGetLe32(supplement + kSupMaxPorts) : 0;
}

FSA_STATUS LocalEnumAdapters(int /*remote*/, void* context, FSA_ENUM_ADAPTERS_CALLBACK callback)
{
    FsaApiEntryExit scope("LocalEnumAdapters");
    if (callback == nullptr)
        return FSA_STS_BAD_PARAMETER;
    _tagFSA_ADAPTER_ENUM_INFO info;
    bool found = false;
    unsigned index = 0;
    while (true) {
        const int answered = faos_GetAdapterInfo(index, &info);
        if (answered < 0) {
            if (index < kLastIndex) {
                ++index;
                continue;
            }
            callback(FSA_STS_END_OF_ENUMERATION, nullptr, context);
            break;
        }
        found = true;
        if (callback(FSA_STS_SUCCESS, &info, context) != FSA_STS_SUCCESS)
            break;
        index = static_cast<unsigned>(answered) + 1;
    }
    return found ? FSA_STS_SUCCESS : FSA_STS_ADAPTER_NOT_FOUND;
}

FSA_STATUS FsaEnumAdaptersW(const wchar_t* /*server1*/, const wchar_t* /*server2*/, void* context,
                            FSA_ENUM_ADAPTERS_CALLBACK callback)
{
    FsaApiEntryExit scope("FsaEnumAdaptersW");
    try {
        return LocalEnumAdapters(0, context, callback);
    } catch (FSA_STATUS status) {
        return status;
    }
}

FSA_STATUS FsaEnumAdaptersA(const char* server1, const char* server2, void* context,
                            FSA_ENUM_ADAPTERS_CALLBACK callback)
{
    FsaApiEntryExit scope("FsaEnumAdaptersA");
    try {
        const std::unique_ptr<wchar_t[]> wide1 = widen(server1);
        const std::unique_ptr<wchar_t[]> wide2 = widen(server2);
        return FsaEnumAdaptersW(wide1.get(), wide2.get(), context, callback);
    } catch (FSA_STATUS status) {
        return status;
    }
}
