// The tree build's enclosures and physical devices, and the placing of the
// devices in enclosure slots and SES elements.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynDevices.h"
#include "RaidModel/Implementation/Vyn/VynEnclosure.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"
#include "RaidModel/Implementation/Vyn/VynTreeWork.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/SESElements.h"
#include "common/Addr.h"
#include "common/Ret.h"
#include "common/StorDebug.h"

namespace {

// Parameter 3 of an enclosure processor's identity that marks SES-2.
constexpr uint32_t kSes2Marker = 0x50;
// "The enclosure management command is invalid.": a processor that is no
// SES-2 one answers so, and is taken as SAF-TE.
constexpr FSA_STATUS kInvalidEnclosureCommand = 264;
// Device queries that fail are passed over this many times; the next
// failure ends the walk.
constexpr unsigned kMaxDeviceFailures = 255;
// More devices than the configuration lists hold (512 handles each for
// drives and enclosure devices, with room to spare).
constexpr unsigned kMaxDevices = 2048;
// More enclosure processors than any controller holds.
constexpr uint32_t kMaxEnclosureProcessors = 256;
constexpr unsigned kMaxSafteSlots = 16;
// SES element types that hold a device: device slot and array device slot.
constexpr int kSesDeviceSlot = 1;
constexpr int kSesArrayDeviceSlot = 23;

void request(FSA_ENCLOSURE_MGT& r, uint32_t command, uint32_t sub, uint32_t p0)
{
    r.command = command;
    r.subCommand = sub;
    r.param[0] = p0;
    r.param[1] = 0;
}

bool allZero(const unsigned char* bytes, size_t n)
{
    return bytes == nullptr || std::all_of(bytes, bytes + n, [](unsigned char b) { return b == 0; });
}

}  // namespace

using vynerror::apiError;
using vynerror::resourceError;

VynTreeWork::~VynTreeWork()
{
    for (FsaEnclosureInfo* info : safte)
        if (info != nullptr && info->owned == 0)
            delete info;
    for (FsaSes2EnumInfo* info : ses2)
        delete info;
}

bool VynAdapter::findEnclosures(VynTreeWork& work, Ret& retOUT)
{
    VynTracePrintf("--- GET ENCLOSURES ---\n");
    std::unique_ptr<FSA_ENCLOSURE_MGT> record(new (std::nothrow) FSA_ENCLOSURE_MGT);
    if (record == nullptr) {
        resourceError(retOUT, "Failed to allocate 'pEnclosureMgt' prior to getting enclosures");
        return false;
    }
    std::memset(record.get(), 0, sizeof *record);
    FsaExports& fsa = fsaExports();
    request(*record, FSA_ECM_GET_EMP_COUNT, 0, 0);
    FSA_STATUS status = fsa.FsaEnclosureMgt(adapterHandle, record.get());
    if (status != FSA_STS_SUCCESS) {
        apiError(retOUT, "FsaEnclosureMgt(FSA_ECM_GET_EMP_COUNT)", status);
        return true;
    }
    // A count no controller can hold is cut, so a bad reply cannot keep the
    // build asking.
    const uint32_t count = std::min<uint32_t>(faGetLe32(record->data), kMaxEnclosureProcessors);
    VynTracePrintf("Found %d enclosures\n", static_cast<int>(count));

    // A SAF-TE record whose blocks could not be read waits for the next
    // SAF-TE processor.
    std::unique_ptr<FsaEnclosureInfo> pending;
    for (uint32_t index = 0; index < count; ++index) {
        request(*record, FSA_ECM_GET_EMP_INFO, 0, index);
        status = fsa.FsaEnclosureMgt(adapterHandle, record.get());
        if (status == FSA_STS_SUCCESS && record->param[3] == kSes2Marker) {
            VynTracePrintf("Found SES2 enclosure\n");
            FsaSes2EnumInfo* ses = newOrNull<FsaSes2EnumInfo>();
            if (ses == nullptr) {
                resourceError(retOUT, "Failed to allocate 'pSesInfo'");
                return false;
            }
            ses->bus = record->param[0];
            ses->target = record->param[1];
            ses->lun = record->param[2];
            ses->enclosureIndex = index;
            work.ses2.push_back(ses);
            continue;
        }
        if (status != FSA_STS_SUCCESS && status != kInvalidEnclosureCommand) {
            apiError(retOUT, "FsaEnclosureMgt(FSA_ECM_GET_EMP_INFO)", status);
            continue;
        }
        VynTracePrintf("Found SAFTE enclosure\n");
        if (pending == nullptr) {
            pending.reset(newOrNull<FsaEnclosureInfo>());
            if (pending == nullptr) {
                resourceError(retOUT, "Found SAFTE enclosure: pEnclosureInfo==NULL");
                return false;
            }
        }
        pending->enclosureIndex = index;
        request(*record, FSA_ECM_ENCLOSURE_OP, EM_SUB_ENCL_CONFIG_INFO, index);
        if (fsa.FsaEnclosureMgt(adapterHandle, record.get()) != FSA_STS_SUCCESS)
            continue;
        std::memcpy(pending->config, record->data, FsaEnclosureInfo::CONFIG_BYTES);
        request(*record, FSA_ECM_ENCLOSURE_OP, EM_SUB_ENCL_ALL_STATUS, index);
        if (fsa.FsaEnclosureMgt(adapterHandle, record.get()) != FSA_STS_SUCCESS)
            continue;
        std::memcpy(pending->status, record->data, FsaEnclosureInfo::STATUS_BYTES);
        work.safte.push_back(pending.release());
    }
    return true;
}

bool VynAdapter::buildPhysicalDevices(VynTreeWork& work, Ret& retOUT)
{
    VynTracePrintf("--- GET PHYSICAL DEVICES ---\n");
    FsaExports& fsa = fsaExports();
    FSA_STORAGE_DEVICE_INFO info;
    FSA_SMART_DATA smart;
    FSA_STORAGE_DEVICE previous;
    bool first = true;
    unsigned failures = 0;
    // The walk finds the device after the first one at an address, so an
    // address the firmware lists twice is answered again and again: the
    // walk stops after more devices than the configuration lists can hold.
    unsigned answered = 0;
    for (;;) {
        std::memset(&info, 0, sizeof info);
        const FSA_STATUS status = fsa.FsaGetStorageDeviceInfo(adapterHandle, 1, first ? nullptr : &previous, &info);
        if (status == FSA_STS_NO_MORE_DEVICES)
            break;
        if (status != FSA_STS_SUCCESS) {
            if (failures < kMaxDeviceFailures) {
                ++failures;
                apiError(retOUT, "Moving to next device.  FsaGetStorageDeviceInfo() != FSA_STS_NO_MORE_DEVICES",
                         status);
                continue;
            }
            apiError(retOUT, "FsaGetStorageDeviceInfo() != FSA_STS_NO_MORE_DEVICES", status);
            break;
        }
        previous = info.address;
        first = false;
        const uint32_t bus = info.address.busNumber;
        const uint32_t target = info.address.targetId;
        const uint32_t lun = info.address.lun;
        const unsigned long deviceID = static_cast<unsigned long>(lun) << 16 | target;
        if (++answered > kMaxDevices)
            break;

        Channel* channel = nullptr;
        for (RaidObject* candidate : work.channels)
            if (candidate->getChannelID() == bus) {
                channel = static_cast<Channel*>(candidate);
                break;
            }
        if (channel == nullptr) {
            VynTracePrintf("Didn't find real channel object, creating placeholder channel\n");
            channel = newOrNull<Channel>(this, bus, CHANNEL_TYPE_SCSI, SPEED_UNSET);
            if (channel == nullptr) {
                resourceError(retOUT,
                              "pChannel = new Channel(this, pScsi->busNumber, SCSI, SPEED_UNKNOWN) - placeholder Channel");
                return false;
            }
            // Hung under the controller, so that its devices are part of the
            // tree (and freed with it); later devices of the bus join it.
            addChild(channel);
            work.channels.push_back(channel);
        }

        PhysicalDevice* device = nullptr;
        const FSA_SMART_DATA* smartRecord = nullptr;
        const char* failure = nullptr;
        switch (info.stdDevType) {
        case 0:
            if (info.removableMedia != 0) {
                device = newOrNull<VynOtherDevice>(this, channel, deviceID, static_cast<EnumPhysicalDeviceType>(0));
                failure = "new VynOtherDevice() - HARD_DRIVE (removable media)";
            } else {
                const unsigned long long blocks =
                    static_cast<unsigned long long>(info.numBlocksHigh) << 32 | info.numBlocksLow;
                device = newOrNull<VynHardDrive>(this, channel, deviceID, blocks);
                failure = "new VynHardDrive()";
                std::memset(&smart, 0, sizeof smart);
                if (device != nullptr &&
                    fsa.FsaGetSmartDeviceInfo(adapterHandle, 0, &info.address, &smart) == FSA_STS_SUCCESS)
                    smartRecord = &smart;
            }
            break;
        case 1:
            device = newOrNull<VynTapeDrive>(this, channel, deviceID);
            failure = "new VynTapeDrive()";
            break;
        case 3: {
            FsaEnclosureInfo* match = nullptr;
            for (FsaEnclosureInfo* record : work.safte)
                // A record already taken by an enclosure is not handed out
                // twice: each enclosure frees its own.
                if (record->owned == 0 && record->config[FsaEnclosureInfo::CONFIG_BUS] == bus &&
                    record->config[FsaEnclosureInfo::CONFIG_BUS + 1] == target &&
                    record->config[FsaEnclosureInfo::CONFIG_BUS + 2] == lun) {
                    match = record;
                    break;
                }
            if (match != nullptr) {
                device = newOrNull<VynEnclosure>(match, this, channel, deviceID);
                failure = "new VynEnclosure()";
            } else {
                VynTracePrintf("Could not find a SAFTE enclosure to match processor device.  Creating new "
                               "VynOtherDevice.\n");
                device = newOrNull<VynOtherDevice>(this, channel, deviceID, static_cast<EnumPhysicalDeviceType>(3));
                failure = "new VynOtherDevice() - Processor device";
            }
            break;
        }
        case 5:
            device = newOrNull<VynCDROMDrive>(this, channel, deviceID);
            failure = "new VynCDROMDrive()";
            break;
        case 13: {
            FsaSes2EnumInfo* match = nullptr;
            for (FsaSes2EnumInfo* record : work.ses2)
                if (record->bus == bus && record->target == target && record->lun == lun) {
                    match = record;
                    break;
                }
            if (match != nullptr) {
                auto* ses = newOrNull<VynSES2EnclosureDevice>(this, channel, deviceID, match->enclosureIndex);
                match->pEnclosure = ses;
                device = ses;
                failure = "new VynSES2EnclosureDevice()";
            } else {
                VynTracePrintf("Could not find a SES-2 enclosure to match device type 13.  Creating new "
                               "VynOtherDevice.\n");
                device = newOrNull<VynOtherDevice>(this, channel, deviceID, static_cast<EnumPhysicalDeviceType>(13));
                failure = "new VynOtherDevice() - SES-2";
            }
            break;
        }
        default:
            device = newOrNull<VynOtherDevice>(this, channel, deviceID, GetDeviceTypeFromFsa(info.stdDevType));
            failure = "new VynOtherDevice() - unknown device type";
            break;
        }
        if (device == nullptr) {
            resourceError(retOUT, failure);
            return false;
        }
        channel->addChild(device);
        if (newOrNull<VynPhysicalDeviceAttach>(channel, device, &info, smartRecord) == nullptr) {
            resourceError(retOUT, "new VynPhysicalDeviceAttach()");
            return false;
        }
    }

    for (FsaSes2EnumInfo* record : work.ses2) {
        if (record->pEnclosure == nullptr) {
            VynTracePrintf("sesIt->pEnclosure == NULL,enclosure info was never matched to a device\n");
            continue;
        }
        record->pEnclosure->determineSlotIDMethod();
        record->pEnclosure->makeEnclosureKey();
        const char* key = record->pEnclosure->getEnclosureKey();
        if (key == nullptr || *key == '\0')
            continue;
        work.enclosureKeys[key] = record->enclosureIndex + 1;
        VynTracePrintf("Added entry to map [%s , %d]\n", key, static_cast<int>(record->enclosureIndex + 1));
    }
    return true;
}

void VynAdapter::mapSafteSlots(VynTreeWork& work)
{
    VynTracePrintf("--- MAP SAFTE DEVICES TO ENCLOSURE SLOTS ---\n");
    Addr addr;
    addr.setAdapterID(static_cast<uint32_t>(getAdapterID()));
    for (FsaEnclosureInfo* record : work.safte) {
        addr.setChannelID(record->config[FsaEnclosureInfo::CONFIG_BUS]);
        const uint32_t count =
            std::min<uint32_t>(faGetLe32(record->config + FsaEnclosureInfo::CONFIG_SLOT_COUNT), kMaxSafteSlots);
        for (uint32_t s = 0; s < count; ++s) {
            addr.setDeviceID(
                record->status[FsaEnclosureInfo::STATUS_SLOT_TABLE + s * FsaEnclosureInfo::STATUS_SLOT_ENTRY + 1]);
            RaidObject* found = getChild(addr, true);
            Serializable* attachment = found != nullptr ? found->getAttachment() : nullptr;
            if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
                continue;
            auto* attach = static_cast<VynPhysicalDeviceAttach*>(attachment);
            attach->setFsaEnclosureId(record->enclosureIndex);
            attach->setFsaSafteSlotNum(s);
            attach->setFsaSlotNum(s);
        }
        if (record->owned == 0)
            delete record;
    }
    work.safte.clear();
}

void VynAdapter::mapSes2EnclosureIds(VynTreeWork& work)
{
    VynTracePrintf("--- MAP HARDDRIVES TO ENCLOSURE,SLOT ---\n");
    unsigned id = 0;
    for (const auto& entry : work.enclosureKeys) {
        for (FsaSes2EnumInfo* record : work.ses2) {
            if (record->pEnclosure == nullptr) {
                VynTracePrintf("sesIt->pEnclosure == NULL,enclosure info was never matched to a device\n");
                continue;
            }
            const char* key = record->pEnclosure->getEnclosureKey();
            if (key == nullptr || entry.first != key)
                continue;
            VynTracePrintf("Setting values for harddrive, EnclosureID = %d\n", static_cast<int>(id));
            record->pEnclosure->setEnclosureID(id);
            record->pEnclosure->setHardDriveLocationMap(id);
        }
        ++id;
    }
}

void VynAdapter::mapSesElements(VynTreeWork& work)
{
    VynTracePrintf("--- MAP SES DEVICES TO SES ELEMENTS ---\n");
    for (FsaSes2EnumInfo* record : work.ses2) {
        VynSES2EnclosureDevice* enclosure = record->pEnclosure;
        if (enclosure == nullptr)
            continue;
        std::vector<RaidObject*> devices;
        getChildren(devices, "PhysicalDevice", true, true);
        if (devices.empty())
            continue;
        for (RaidObject* child : enclosure->getChildList()) {
            if (child == nullptr || !child->isInstanceOf("SESElement"))
                continue;
            auto* element = static_cast<SESElement*>(child);
            if (element->getType() != kSesDeviceSlot && element->getType() != kSesArrayDeviceSlot)
                continue;
            const SESSasSlotData* slot = nullptr;
            if (child->isInstanceOf("SESDeviceSAS"))
                slot = static_cast<SESDeviceSAS*>(element);
            else if (child->isInstanceOf("SESArrayDeviceSAS"))
                slot = static_cast<SESArrayDeviceSAS*>(element);
            if (slot == nullptr)
                continue;
            const size_t n = SESSasSlotData::PHY_ADDRESS_SIZE;
            const unsigned char* phy0 = allZero(slot->getPhy0(), n) ? nullptr : slot->getPhy0();
            const unsigned char* phy1 =
                slot->getNumPhy() > 1 && !allZero(slot->getPhy1(), n) ? slot->getPhy1() : nullptr;
            if (phy0 == nullptr && phy1 == nullptr)
                continue;
            for (RaidObject* device : devices) {
                Serializable* attachment = device->getAttachment();
                if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
                    continue;
                auto* attach = static_cast<VynPhysicalDeviceAttach*>(attachment);
                bool match = false;
                for (const unsigned char* phy : {phy0, phy1})
                    for (unsigned own = 0; own < 2 && phy != nullptr && !match; ++own)
                        match = std::memcmp(phy, attach->getSasAddress(own), n) == 0;
                if (!match)
                    continue;
                attach->setFsaEnclosureId(record->enclosureIndex);
                attach->setSesElement(element);
                if (attach->getFsaInfo()->scsiVersion > 3)
                    attach->setFsaSlotNum(attach->getFsaInfo()->rawSlotNumber);
            }
        }
    }
    for (FsaSes2EnumInfo* record : work.ses2)
        delete record;
    work.ses2.clear();
}
