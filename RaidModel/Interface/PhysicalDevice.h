#ifndef VYN_RAIDMODEL_INTERFACE_PHYSICALDEVICE_H
#define VYN_RAIDMODEL_INTERFACE_PHYSICALDEVICE_H

#include <cstdint>
#include <vector>

#include "RaidModel/Interface/ModelEnums.h"
#include "RaidModel/Interface/RaidObject.h"
#include "common/Ret.h"

class Adapter;
class Channel;
class SASPhy;
class SCSICommand;
class SimpleXmlParser;
class Writer;

// The SCSI peripheral device type: 0 disk, 1 tape, 3 processor (SAF-TE
// enclosure), 5 CD/DVD, 13 enclosure services; the others as SCSI has them.
enum EnumPhysicalDeviceType : int {
    PHYSICAL_DEVICE_DISK = 0,
    PHYSICAL_DEVICE_TAPE = 1,
    PHYSICAL_DEVICE_PROCESSOR = 3,
    PHYSICAL_DEVICE_CDROM = 5,
    PHYSICAL_DEVICE_ENCLOSURE_SERVICES = 13
};

// What every device on a channel has: identity texts, world-wide name, state,
// speeds and the SAS phys below it. Device operations are the controller
// family's; here they answer "not supported".
class PhysicalDevice : public RaidObject {
public:
    static constexpr int UNSET = 0x7FFFFFFF;
    static constexpr unsigned SHORT_TEXT_SIZE = 33;
    static constexpr unsigned SERIAL_NUMBER_SIZE = 257;
    static constexpr unsigned WWN_TEXT_SIZE = 17;

    PhysicalDevice();
    // Texts longer than their fields are cut to fit.
    PhysicalDevice(Adapter* adapter, Channel* channel, unsigned long deviceID,
                   EnumPhysicalDeviceType deviceType, const char* vendor, const char* model,
                   const char* serialNumber, const char* firmwareLevel,
                   EnumPhysicalDeviceState state, const char* fruNumber);
    PhysicalDevice(const PhysicalDevice& other);
    PhysicalDevice& operator=(const PhysicalDevice& other);
    ~PhysicalDevice() override;

    bool operator==(const PhysicalDevice& other) const;
    bool operator!=(const PhysicalDevice& other) const { return !(*this == other); }

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    void descendantAdded(RaidObject* descendant) override;

    virtual Ret setState(EnumPhysicalDeviceState state);
    virtual Ret scsiPassThruCommand(SCSICommand& command);
    virtual Ret upgradeFirmware(const char* file, bool flag);
    virtual Ret identifyDevice(bool on);

    Adapter* getAdapter() const { return adapter; }
    Channel* getChannel() const { return channel; }
    EnumPhysicalDeviceType getDeviceType() const { return deviceType; }
    const char* getVendor() const { return vendor; }
    const char* getModel() const { return model; }
    const char* getSerialNumber() const { return serialNumber; }
    const char* getFirmwareLevel() const { return firmwareLevel; }
    const char* getFruNumber() const { return fruNumber; }
    EnumPhysicalDeviceState getState() const { return state; }
    int getSetSpeed() const { return setSpeed; }
    int getNegotiatedSpeed() const { return negotiatedSpeed; }
    int getEnumeratedSetSpeed() const { return enumeratedSetSpeed; }
    int getEnumeratedNegotiatedSpeed() const { return enumeratedNegotiatedSpeed; }
    unsigned long getWWN0() const { return wwn0; }
    unsigned long getWWN1() const { return wwn1; }
    const char* getWWN() const { return wwn; }
    int getInterfaceType() const { return interfaceType; }
    int getSataPortNumber() const { return sataPort; }
    int getSataPortMultiplierNumber() const { return sataMultiplierPort; }
    unsigned long getUnsupportedDeviceReason() const { return unsupportedDeviceReason; }

    void setVendor(const char* text);
    void setModel(const char* text);
    void setSerialNumber(const char* text);
    void setWWN0(unsigned long word);
    void setWWN1(unsigned long word);
    // The model only; the controller is not asked.
    void setStateProperty(EnumPhysicalDeviceState newState) { state = newState; }

    SASPhy* getSASPhy(unsigned long i) const;
    unsigned long getNumSASPhys() const { return sasPhys.size(); }

    // Reads the fields from the attribute list that a subclass builder has
    // collected; absent attributes read as 0 or empty.
    void build();

protected:
    // The controller family fills the fields from its firmware records.
    friend class VynPhysicalDeviceAttach;

    // Collects the attributes of the element the parser stands on, builds
    // its "SASPhy" children, then reads the fields.
    void buildFromXml(SimpleXmlParser& parser);
    void updateWWN();

    Adapter* adapter = nullptr;
    Channel* channel = nullptr;
    EnumPhysicalDeviceType deviceType = PHYSICAL_DEVICE_DISK;
    char vendor[SHORT_TEXT_SIZE] = {};
    char model[SHORT_TEXT_SIZE] = {};
    char serialNumber[SERIAL_NUMBER_SIZE] = {};
    char firmwareLevel[SHORT_TEXT_SIZE] = {};
    EnumPhysicalDeviceState state = PD_READY;
    char fruNumber[SHORT_TEXT_SIZE] = {};
    int setSpeed = 0;
    int negotiatedSpeed = 0;
    int enumeratedSetSpeed = UNSET;
    int enumeratedNegotiatedSpeed = UNSET;
    std::uint32_t wwn0 = 0;
    std::uint32_t wwn1 = 0;
    char wwn[WWN_TEXT_SIZE] = "0000000000000000";
    std::uint16_t I_T_nexusLossTime = 0;
    bool I_T_nexusLossTimeChangeable = false;
    int interfaceType = 0;
    int sataPort = UNSET;
    int sataMultiplierPort = UNSET;
    std::uint32_t unsupportedDeviceReason = 0;
    std::vector<SASPhy*> sasPhys;
};

#endif
