#include "RaidModel/Implementation/Vyn/VynConversions.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/os/faux_char.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Addr.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/StringUtils.h"

#include <cstring>

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

namespace {

uint32_t recordWord(const FSA_CONTAINER_INFO_EXTND* info, size_t offset)
{
    return faGetLe32(info->bytes + offset);
}

}  // namespace

EnumRaidLevel getRaidLevelFromFsa(const FSA_CONTAINER_INFO_EXTND* info)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "getRaidLevelFromFsa()");
    if (info == nullptr)
        return RAID_LEVEL_NONE;
    uint32_t type = recordWord(info, 32);
    if (type == 0)
        type = recordWord(info, 28);
    const bool reedSolomon = (recordWord(info, 480) & 0x100) != 0;
    switch (type) {
    case 0: case 3: case 21:
        return recordWord(info, 260) < 2 ? RAID_LEVEL_SIMPLE_VOLUME : RAID_LEVEL_SPANNED_VOLUME;
    case 1: case 23: case 28: case 29:
        return RAID_LEVEL_1;
    case 2: case 14:
        return RAID_LEVEL_0;
    case 4: case 7: case 8: case 30:
        return RAID_LEVEL_5;
    case 9: case 10:
        return static_cast<EnumRaidLevel>(4);
    case 11: case 12:
        return static_cast<EnumRaidLevel>(3);
    case 13: case 25: case 31:
        return RAID_LEVEL_10;
    case 15: case 17: case 18: case 19: case 20: case 24: case 33: case 39: case 44:
        return RAID_LEVEL_RAID_VOLUME;
    case 26: case 27: case 32:
        return RAID_LEVEL_50;
    case 34: case 35: case 36:
        return RAID_LEVEL_5EE;
    case 40: case 41: case 42:
        return RAID_LEVEL_1E;
    case 45: case 46: case 47: case 48:
        return reedSolomon ? RAID_LEVEL_6RS : RAID_LEVEL_6;
    case 49: case 50: case 51: case 52: case 53:
        return reedSolomon ? RAID_LEVEL_60RS : RAID_LEVEL_60;
    default:
        return RAID_LEVEL_NONE;
    }
}

unsigned int getFsaRaidLevel(EnumRaidLevel level, EnumInitMethod method)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "getFsaRaidLevel()");
    // Columns: init methods 1 to 4, then every other method.
    struct Row {
        unsigned int byMethod[5];
    };
    Row row;
    switch (level) {
    case RAID_LEVEL_0: row = {{54, 2, 2, 2, 2}}; break;
    case RAID_LEVEL_1: row = {{23, 29, 28, 29, 1}}; break;
    case RAID_LEVEL_1E: row = {{41, 43, 42, 43, 40}}; break;
    case RAID_LEVEL_5: row = {{8, 30, 7, 30, 4}}; break;
    case RAID_LEVEL_5EE: row = {{35, 38, 36, 38, 34}}; break;
    case RAID_LEVEL_10: row = {{25, 31, 13, 31, 13}}; break;
    case RAID_LEVEL_50: row = {{27, 32, 26, 32, 26}}; break;
    case RAID_LEVEL_SPANNED_VOLUME:
    case RAID_LEVEL_RAID_VOLUME:
    case RAID_LEVEL_SIMPLE_VOLUME: row = {{3, 3, 3, 3, 3}}; break;
    case RAID_LEVEL_6:
    case RAID_LEVEL_6RS: row = {{46, 48, 47, 48, 45}}; break;
    case RAID_LEVEL_60:
    case RAID_LEVEL_60RS: row = {{51, 53, 50, 53, 50}}; break;
    default: return 0;
    }
    const int m = static_cast<int>(method);
    return row.byMethod[m >= 1 && m <= 4 ? m - 1 : 4];
}

unsigned int getFsaDelay(EnumPriorityLevel priority)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "getFsaDelay()");
    if (priority == PRIORITY_LOW)
        return 100;
    if (priority == PRIORITY_MEDIUM)
        return 50;
    return 0;
}

unsigned int getFsaStripeSize(EnumStripeSize size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "getFsaStripeSize()");
    const int kb = static_cast<int>(size);
    return kb > 3 ? static_cast<unsigned int>(kb) * 1024u : 0;
}

char* RemoveEndWS(char* text)
{
    if (text == nullptr)
        return text;
    for (size_t n = std::strlen(text); n > 0; --n) {
        const char c = text[n - 1];
        if (c != ' ' && (c < 9 || c > 13))
            break;
        text[n - 1] = '\0';
    }
    return text;
}

HardDrive* addDeadHardDrive(Adapter* adapter, Addr& addr)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "addDeadHardDrive()");
    if (adapter == nullptr)
        return nullptr;
    const uint32_t origChannelID = addr.getChannelID();
    const uint32_t origDeviceID = addr.getDeviceID();
    // Channel 255 stands for drives outside any bus; they hang on bus 0 when
    // it exists.
    if (origChannelID == 255)
        addr.setChannelID(0);
    addr.setDeviceID(0x7FFFFFFF);
    RaidObject* found = adapter->getChild(addr, true);
    Channel* channel = found != nullptr && found->isInstanceOf("Channel") ? static_cast<Channel*>(found) : nullptr;
    if (channel == nullptr) {
        channel = newOrNull<Channel>(adapter, origChannelID, CHANNEL_TYPE_SCSI, SPEED_UNSET);
        if (channel == nullptr) {
            VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE,
                           "pChannel = new Channel(pAdapter, origChannelID, SCSI, SPEED_UNKNOWN);");
            return nullptr;
        }
        adapter->addChild(channel);
    }
    char vendor[] = "*MISSING*";
    char empty[] = "";
    HardDrive* drive = newOrNull<HardDrive>(adapter, channel, origDeviceID, 0ull, PD_FAILED, vendor, empty, empty,
                                            empty, false, static_cast<EnumHardDriveCacheMode>(4), false, false,
                                            false, empty, false);
    if (drive == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE,
                       "pHardDrive = new HardDrive(pAdapter, pChannel, origDeviceID, 0, DRIVE_DEAD, \"*MISSING*\");");
        return nullptr;
    }
    channel->addChild(drive);
    return drive;
}
