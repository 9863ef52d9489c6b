#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNPHYSICALDEVICEATTACH_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNPHYSICALDEVICEATTACH_H

#include <cstdint>

#include "Command/Vyn/common/fa_readonly.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Serializable.h"

class Channel;
class Ret;
class SCSICommand;
class Writer;
class HardDrive;
class PhysicalDevice;
class SESElement;
class VynAdapter;

// The firmware side of a physical device of the family: a copy of its
// device record (and, for a hard drive, of its SMART record), its SAS
// addresses and where it sits in an enclosure. It fills the device's model
// fields from the records and serves the device's SCSI pass-through and
// locate blink. Hung on its device with RaidObject::attach, so the device
// owns it.
class VynPhysicalDeviceAttach : public Serializable {
public:
    static constexpr uint32_t UNSET = 0x7FFFFFFF;
    static constexpr unsigned SAS_ADDRESS_SIZE = 8;

    // Either record may be null. With a channel and a device it attaches
    // itself to the device and copies the records.
    VynPhysicalDeviceAttach(Channel* channel, PhysicalDevice* device, const FSA_STORAGE_DEVICE_INFO* info,
                            const FSA_SMART_DATA* smart);
    ~VynPhysicalDeviceAttach() override;
    VynPhysicalDeviceAttach(const VynPhysicalDeviceAttach&) = delete;
    VynPhysicalDeviceAttach& operator=(const VynPhysicalDeviceAttach&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    // The raw firmware values, as fsa* attributes.
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer*) const override {}

    // (Re)loads both records into the device; either may be null.
    void setFsaInfo(const FSA_STORAGE_DEVICE_INFO* info, const FSA_SMART_DATA* smart);
    // Keeps a copy of a hard drive's SMART record and its PFA flags.
    void setSmartInfo(const FSA_SMART_DATA* smart);

    // The model's speed of a negotiated rate, by the kind of the channel;
    // sets the device's interface type as it goes.
    EnumSpeed GetEnumSpeedFromFsaSpeed(unsigned long mbps);

    // Sends one command to the device. 0 when the command ran, even with
    // CHECK CONDITION (the caller reads the statuses and the sense data from
    // the command); -10 when the device or the transport refused it; an
    // API error (-5) with the firmware status when the send failed.
    void doScsiPassThru(SCSICommand& command, Ret& ret);
    // Starts or stops the locate blink, through the enclosure that holds the
    // device when it is known.
    void identifyDevice(bool on, Ret& ret);
    void doBruteForceBlink(bool on, Ret& ret);
    void doSafteBlink(bool on, Ret& ret);
    void doSesBlink(bool on, Ret& ret);

    const FSA_STORAGE_DEVICE_INFO* getFsaInfo() const { return &info; }
    const FSA_STORAGE_DEVICE* getStorageDevice() const { return &info.address; }
    const FSA_SMART_DATA* getSmartInfo() const { return smart; }

    unsigned long getFsaEnclosureId() const { return fsaEnclosureId; }
    unsigned long getFsaSafteSlotNum() const { return fsaSafteSlotNum; }
    unsigned long getFsaSlotNum() const { return fsaSlotNum; }
    SESElement* getSesElement() const { return sesElement; }
    void setFsaEnclosureId(unsigned long id) { fsaEnclosureId = static_cast<uint32_t>(id); }
    void setFsaSafteSlotNum(unsigned long slot) { fsaSafteSlotNum = static_cast<uint32_t>(slot); }
    void setFsaSlotNum(unsigned long slot) { fsaSlotNum = static_cast<uint32_t>(slot); }
    void setSesElement(SESElement* element) { sesElement = element; }

    // The SAS address of the device's first or second phy (0 or 1): 8 raw
    // bytes, all zero when unknown.
    const uint8_t* getSasAddress(unsigned phy) const { return phy == 0 ? sasAddress1 : sasAddress2; }

    PhysicalDevice* getDevice() const { return device; }
    HardDrive* getHardDrive() const { return hardDrive; }
    Channel* getChannel() const { return channel; }
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    void fillTexts();
    void fillSerialNumber();
    void fillHardDrive();
    void addMetadataChunk(unsigned long long start, unsigned long long count, const char* failure);
    void addSasPhys();
    void dumpPassThru(SCSICommand& command) const;

    VynAdapter* vynAdapter = nullptr;
    Channel* channel;
    PhysicalDevice* device;
    HardDrive* hardDrive = nullptr;
    FSA_STORAGE_DEVICE_INFO info;
    FSA_SMART_DATA* smart = nullptr;
    uint32_t fsaEnclosureId = UNSET;
    uint32_t fsaSafteSlotNum = UNSET;
    uint32_t fsaSlotNum = UNSET;
    SESElement* sesElement = nullptr;
    uint8_t sasAddress1[SAS_ADDRESS_SIZE] = {};
    uint8_t sasAddress2[SAS_ADDRESS_SIZE] = {};
};

#endif
