#include "RaidModel/Implementation/Vyn/VynConversions.h"

#include "Command/Vyn/os/faux_char.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Addr.h"
#include "common/StringUtils.h"

namespace {

char narrow(wchar_t c)
{
    return static_cast<unsigned long>(c) > 127 ? '?' : static_cast<char>(c & 0xFF);
}

}  // namespace

void WCharToString(std::string& out, const wchar_t* in, unsigned long maxChars)
{
    if (in == nullptr)
        return;
    for (unsigned long i = 0; i < maxChars && in[i] != L'\0'; ++i)
        out += narrow(in[i]);
}

void WCharToBuff(char* out, const wchar_t* in, unsigned long maxChars)
{
    if (out == nullptr || in == nullptr)
        return;
    for (unsigned long i = 0; i < maxChars; ++i) {
        out[i] = narrow(in[i]);
        if (in[i] == L'\0')
            return;
    }
}

void SafeAsciiCopy(void* dst, const void* src, int n)
{
    StringUtils::safeASCIICopy(dst, src, n);
}

int fsaPasswordCallback(void*, char* user, char* password)
{
    if (user != nullptr)
        user[0] = '\0';
    if (password != nullptr)
        password[0] = '\0';
    return 1;
}

EnumPhysicalDeviceType GetDeviceTypeFromFsa(unsigned int type)
{
    if (type <= 9 || (type >= 12 && type <= 15))
        return static_cast<EnumPhysicalDeviceType>(type);
    return static_cast<EnumPhysicalDeviceType>(10);
}

HardDrive* getHardDriveFromFsa(Adapter* adapter, FSA_STORAGE_DEVICE* device)
{
    if (adapter == nullptr || device == nullptr)
        return nullptr;
    Addr addr;
    addr.setAdapterID(adapter->getAdapterID());
    addr.setChannelID(device->busNumber);
    addr.setDeviceID(static_cast<unsigned long>(device->lun) << 16 | device->targetId);
    RaidObject* found = adapter->getChild(addr, true);
    return found != nullptr && found->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(found) : nullptr;
}
