// Building a controller's subtree: channels, SAS phys, alarm and battery,
// and the order of the whole build.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <algorithm>
#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynTreeWork.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// More phys than any controller holds.
constexpr uint32_t kMaxSasPhys = 256;

// Speed values of the channel types; types 11 to 13 add the link speed's
// step (below 300, 300 to 599, 600 and more).
int speedOf(uint32_t channelType, uint32_t linkSpeed)
{
    const int step = linkSpeed < 300 ? 0 : linkSpeed < 600 ? 1 : 2;
    switch (channelType) {
    case 1: return 1;
    case 2: case 3: return 2;
    case 4: case 5: return 3;
    case 6: return 4;
    case 7: return 5;
    case 8: return 200;
    case 9: return 6;
    case 10: return 7;
    case 11: return 300 + step;
    case 12: return 400 + step;
    case 13: return 500 + step;
    default: return 1;
    }
}

template <class ChannelClass>
Channel* makeChannel(VynAdapter* adapter, const _tagFSA_CHANNEL_ENUM_INFO* info, int speed, const char* failure)
{
    Channel* channel = newOrNull<ChannelClass>(adapter, info, static_cast<EnumSpeed>(speed));
    if (channel == nullptr)
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE, failure);
    return channel;
}

// Battery record: flags (F) at 0, status (S) at 8 with the platform in its
// top four bits, capacities and current draw.
constexpr size_t kBatFlags = 0;
constexpr size_t kBatStatus = 8;
constexpr size_t kBatFullCapacity = 18;
constexpr size_t kBatRemainingCapacity = 20;
constexpr size_t kBatCurrentDraw = 26;
constexpr uint32_t kBatteryVersion = 2;
constexpr FSA_STATUS kNoBattery = 620;
constexpr uint32_t kPlatformBlbu = 0x4;

bool bit(uint32_t word, unsigned n) { return (word >> n) & 1u; }

}  // namespace

void fsaEnumChannelCallback(unsigned /*busCount*/, const _tagFSA_CHANNEL_ENUM_INFO* info, void* context)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "fsaEnumChannelCallback()");
    auto* adapter = static_cast<VynAdapter*>(context);
    if (adapter == nullptr || info == nullptr)
        return;
    const int speed = speedOf(info->channelType, info->linkSpeed);
    // The controller takes part in a cluster even when the channel itself
    // cannot be made.
    if (info->clustered != 0)
        adapter->SetClustered();
    Channel* channel = nullptr;
    if (speed < 100) {
        channel = makeChannel<VynSCSIChannel>(adapter, info, speed, "new VynSCSIChannel()");
    } else if (speed < 200) {
        VynErrorPrintf(__FILE__, __LINE__, "Unsupported Channel type (ATA)");
    } else if (speed < 300) {
        VynErrorPrintf(__FILE__, __LINE__, "Unsupported Channel type (Fibre)");
    } else if (speed < 400) {
        channel = makeChannel<VynSATAChannel>(adapter, info, speed, "new VynSATAChannel()");
    } else {
        channel = makeChannel<VynSASChannel>(adapter, info, speed, "new VynSASChannel()");
    }
    if (channel != nullptr)
        adapter->addChild(channel);
}

void VynAdapter::addInquiryFailure(PhysicalDevice* device)
{
    if (device != nullptr)
        inquiryVPDFailures.emplace_back(device->getWWN0(), device->getWWN1());
}

bool VynAdapter::hadInquiryFailure(PhysicalDevice* device)
{
    if (device == nullptr)
        return false;
    const std::pair<uint32_t, uint32_t> key(device->getWWN0(), device->getWWN1());
    return std::find(inquiryVPDFailures.begin(), inquiryVPDFailures.end(), key) != inquiryVPDFailures.end();
}

bool VynAdapter::delInquiryFailure(PhysicalDevice* device)
{
    if (device == nullptr)
        return false;
    const std::pair<uint32_t, uint32_t> key(device->getWWN0(), device->getWWN1());
    auto it = std::find(inquiryVPDFailures.begin(), inquiryVPDFailures.end(), key);
    if (it == inquiryVPDFailures.end())
        return false;
    inquiryVPDFailures.erase(it);
    return true;
}

void VynAdapter::initSasPhyInfo(Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::initSasPhyInfo()");
    if (faGetLe32(fsaInfo.bytes + GI_NUM_SAS_PORTS) == 0)
        return;
    // A port count no controller can hold is cut, so a bad record cannot
    // keep the build asking.
    const uint32_t phys = std::min<uint32_t>(faGetLe32(fsaInfo.bytes + GI_MAX_NUMBER_PORTS), kMaxSasPhys);
    for (uint32_t index = 0; index < phys; ++index) {
        _FSA_SAS_PHY_ENTITY record;
        std::memset(&record, 0, sizeof record);
        const FSA_STATUS status = fsaExports().FsaGetAdapterSasPhyInfo(adapterHandle, index, &record);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetAdapterSasPhyInfo()", status);
            continue;
        }
        VynSASPhy* phy = newOrNull<VynSASPhy>(&record);
        if (phy == nullptr) {
            vynerror::resourceError(ret, "new VynSASPhy()");
            continue;
        }
        addChild(phy);
    }
}

void VynAdapter::refreshAlarmState()
{
    alarmState = static_cast<EnumAlarmState>(0);
    if (!bit(faGetLe32(fsaInfo.bytes + GI_SUPPORTED_OPTIONS), 11))
        return;
    uint32_t state[3] = {0, 0, 0};
    if (fsaExports().FsaAlarm(adapterHandle, 0, state) == FSA_STS_SUCCESS)
        alarmState = static_cast<EnumAlarmState>(state[0] == 1 ? 1 : 2);
}

void VynAdapter::refreshBatteryState()
{
    std::memset(batteryInfo, 0, sizeof batteryInfo);
    const FSA_STATUS status = fsaExports().FsaBattery(adapterHandle, kBatteryVersion, batteryInfo);
    if (status == kNoBattery) {
        batStatus = 3;
        return;
    }
    if (status != FSA_STS_SUCCESS) {
        batteryPlatform = 4;
        VynTracePrintf("batteryPlatform:%d\n", static_cast<int>(batteryPlatform));
        batStatus = 4;
        return;
    }
    batStatus = 3;
    const uint32_t f = faGetLe32(batteryInfo + kBatFlags);
    const uint32_t s = faGetLe32(batteryInfo + kBatStatus);
    const uint32_t platform = s >> 28;
    if (platform == kPlatformBlbu) {
        blbuPresent = true;
        VynTracePrintf("BLBU: Checking for capabilities bits that BLBU supports");
        VynTracePrintf("BLBU: Checking for Status bits that BLBU supports");
        if (!bit(s, 0)) {
            VynTracePrintf("BLBU: In condition check for BLBU_STATUS_NOT_INSTALLED");
            blbuStatus = 4;
        } else if (bit(s, 3)) {
            if (bit(s, 2)) {
                VynTracePrintf("BLBU: In condition check for BLBU_STATUS_OK_CHARGING");
                blbuStatus = 2;
            }
            if (bit(s, 3) && !bit(s, 2)) {
                VynTracePrintf("BLBU: In condition check for BLBU_STATUS_OK");
                blbuStatus = 1;
            }
            if (!bit(s, 1)) {
                VynTracePrintf("BLBU: In condition check for BLBU_STATUS_OK_CHARGING");
                blbuStatus = 2;
            }
        } else {
            VynTracePrintf("BLBU: In condition check for BLBU_STATUS_FAILED");
            blbuStatus = 3;
        }
        return;
    }
    if (!bit(f, 0))
        return;
    batStatus = 5;
    if (!bit(s, 0)) {
        batStatus = 4;
        return;
    }
    if (bit(f, 17) && !bit(s, 7)) {
        batStatus = 1;
        return;
    }
    if (!bit(s, 3)) {
        batStatus = 6;
        return;
    }
    if (bit(f, 7))
        batCurrentDraw = faGetLe16(batteryInfo + kBatCurrentDraw);
    if (bit(f, 2))
        batFullCapacity = faGetLe16(batteryInfo + kBatFullCapacity);
    if (bit(f, 1))
        batRemainingCapacity = faGetLe16(batteryInfo + kBatRemainingCapacity);
    if (bit(f, 5) && bit(s, 4))
        batStatus = 9;
    else if (bit(s, 2))
        batStatus = 7;
    batReconditionRequired = false;
    if (bit(f, 12) && bit(s, 5)) {
        batTempWarning = true;
        if (platform == 0)
            batStatus = 10;
    } else {
        batTempWarning = false;
    }
    if (platform == 0x1 && bit(s, 9))
        batStatus = 10;
}

void VynAdapter::buildChildren(Ret& retOUT)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::buildChildren(Ret &retOUT)");
    // Phase 0.
    if (!isFsaOpen(nullptr)) {
        if (availability == AVAILABILITY_CANNOT_OPEN)
            return;
        retOUT.setBusy();
        VynErrorPrintf(__FILE__, __LINE__, vynerror::BUSY, "!isFsaOpen()");
        return;
    }
    FsaExports& fsa = fsaExports();
    // Phases 1 and 2.
    fsa.FsaStartGetConfig(adapterHandle);
    refreshAlarmState();
    refreshBatteryState();

    // Phase 3: a tree of an earlier build goes, with the indexes that name
    // its nodes.
    deleteUnhungDrives();
    if (getChildCount() > 0) {
        deleteAllChildren();
        channels.clear();
        scsiChannels.clear();
        sasChannels.clear();
        sataChannels.clear();
        hardDrives.clear();
        logicalDrives.clear();
        enclosures.clear();
        ses2EnclosureDevices.clear();
        physicalDevices.clear();
        otherPhysicalDevices.clear();
        sasConnectors.clear();
    }

    // Phase 4.
    fsa.FsaEnumChannels(adapterHandle, this, fsaEnumChannelCallback);
    VynTreeWork work;
    getChildren(work.channels, "Channel", false, true);

    // Phases 5 and 6.
    if (!findEnclosures(work, retOUT))
        return;
    if (!buildPhysicalDevices(work, retOUT))
        return;

    // Phases 7 to 10.
    if (!buildSparesAndLogicalDrives(retOUT))
        return;

    // Phases 11 to 13.
    mapSafteSlots(work);
    mapSes2EnclosureIds(work);
    mapSesElements(work);

    // Phase 14.
    VynTracePrintf("--- INITIALIZE ADAPTER SAS PHY INFO ---\n");
    initSasPhyInfo(retOUT);

    // Phase 15.
    VynTracePrintf("--- INITIALIZE ADAPTER CONNECTOR MAP ---\n");
    initConnectionMap(retOUT);
}
