#include "RaidModel/Interface/Adapter.h"

#include <cstring>

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/ModelText.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "RaidModel/Interface/SASConnector.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "common/SimpleXmlParser.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

template <typename T>
T* entryAt(const std::vector<T*>& index, unsigned long i)
{
    return i < index.size() ? index[i] : nullptr;
}

// Which storage-library family owns a controller of the given type.
EnumStorLibType storLibTypeFor(int adapterType)
{
    if ((adapterType >= 1 && adapterType <= 17) || adapterType == 32) {
        return static_cast<EnumStorLibType>(5);
    }
    if (adapterType >= 257 && adapterType <= 259) {
        return static_cast<EnumStorLibType>(6);
    }
    switch (adapterType) {
    case 512:
        return static_cast<EnumStorLibType>(7);
    case 1024:
        return static_cast<EnumStorLibType>(8);
    case 1280:
        return STORLIB_TYPE_VYN;
    case 768:
        return static_cast<EnumStorLibType>(10);
    case 1536:
        return static_cast<EnumStorLibType>(11);
    case 1792:
        return static_cast<EnumStorLibType>(12);
    case 2048:
        return static_cast<EnumStorLibType>(13);
    default:
        return STORLIB_TYPE_NONE;
    }
}

}  // namespace

Adapter::Adapter()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Adapter::Adapter()");
}

Adapter::Adapter(int adapterType, unsigned long adapterID, EnumControllerStatus status,
                 char* biosVersionIN, char* firmwareVersionIN, char* driverVersionIN,
                 int physicalSlotIN, bool unattendedIN, int maxLogicalDrivesIN, int maxArraysIN,
                 int maxSpannedArraysIN, int maxChannelsIN, int maxIDIN, int maxDevicesPerArrayIN,
                 int maxControllersIN)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "Adapter::Adapter(int adapterTypeIN, ...)");
    setAdapterType(static_cast<EnumAdapterType>(adapterType));
    setAdapterID(adapterID);
    controllerStatus = status;
    physicalSlot = physicalSlotIN;
    unattended = unattendedIN;
    maxLogicalDrives = maxLogicalDrivesIN;
    maxArrays = maxArraysIN;
    maxSpannedArrays = maxSpannedArraysIN;
    maxChannels = maxChannelsIN;
    maxID = maxIDIN;
    maxDevicesPerArray = maxDevicesPerArrayIN;
    maxControllers = maxControllersIN;
    copyTextField(biosVersion, biosVersionIN);
    copyTextField(firmwareVersion, firmwareVersionIN);
    copyTextField(driverVersion, driverVersionIN);
}

Adapter::Adapter(SimpleXmlParser& parser)
{
    getAttributes().setInitElements(110);
    build(parser);
}

Adapter::Adapter(const Adapter& other) : RaidObject()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "Adapter::Adapter(const Adapter &)");
    copyScalars(other);
}

// The identity texts and the user settings: what assignment takes, and
// copying with it.
void Adapter::copySettings(const Adapter& o)
{
    controllerStatus = o.controllerStatus;
    std::memcpy(biosVersion, o.biosVersion, TEXT_SIZE);
    std::memcpy(firmwareVersion, o.firmwareVersion, TEXT_SIZE);
    std::memcpy(driverVersion, o.driverVersion, TEXT_SIZE);
    physicalSlot = o.physicalSlot;
    alarmState = o.alarmState;
    sasHDCacheMode = o.sasHDCacheMode;
    sataHDCacheMode = o.sataHDCacheMode;
    defaultLDTaskPriority = o.defaultLDTaskPriority;
    performanceMode = o.performanceMode;
    supportedPerformanceModes = o.supportedPerformanceModes;
    maxJBODs = o.maxJBODs;
    pmStayAwakeStart = o.pmStayAwakeStart;
    pmStayAwakeStop = o.pmStayAwakeStop;
    pmSpinupLimitInternal = o.pmSpinupLimitInternal;
    pmSpinupLimitExternal = o.pmSpinupLimitExternal;
    pmUTCtoLocalTimeDiff = o.pmUTCtoLocalTimeDiff;
    pmStayAwakeDaysSupported = o.pmStayAwakeDaysSupported;
    pmStayAwakeMainEnabled = o.pmStayAwakeMainEnabled;
    pmStayAwakeDays = o.pmStayAwakeDays;
    numOrvexaAssignedDrives = o.numOrvexaAssignedDrives;
    maxNumOrvexaAssignedDrives = o.maxNumOrvexaAssignedDrives;
    orvexaFlushAndFetchRate = o.orvexaFlushAndFetchRate;
    sataNCQSupported = o.sataNCQSupported;
    sataNCQEnabled = o.sataNCQEnabled;
    smartStatsSupported = o.smartStatsSupported;
    statisticDataCollectionEnabled = o.statisticDataCollectionEnabled;
    orvexaReadFactor = o.orvexaReadFactor;
    orvexaWriteFactor = o.orvexaWriteFactor;
    orvexaReadCachePoolSize = o.orvexaReadCachePoolSize;
    orvexaReadCachePoolSizeSupported = o.orvexaReadCachePoolSizeSupported;
    orvexaCapacity = o.orvexaCapacity;
    orvexaCapacitySupported = o.orvexaCapacitySupported;
    maxDiskXtasks = o.maxDiskXtasks;
    maxDiskXtasksSupported = o.maxDiskXtasksSupported;
}

// Everything but the address, the limits 1-7, the staged and boot-image
// versions, the scrub rate, the long serial number, the features, the
// capability records and the indexes. The family's raw data stays with its
// owner: two adapters freeing one block would be a double free.
void Adapter::copyScalars(const Adapter& o)
{
    controllerType = o.controllerType;
    copySettings(o);
    unattended = o.unattended;
    maxTopLevelLogicalDrives = o.maxTopLevelLogicalDrives;
    reservedInBeginning = o.reservedInBeginning;
    reservedInEnd = o.reservedInEnd;
    maxSnapshots = o.maxSnapshots;
    maxStripeSize = o.maxStripeSize;
    minStripeSize = o.minStripeSize;
    maxGlobalSpares = o.maxGlobalSpares;
    std::memcpy(deviceVendor, o.deviceVendor, TEXT_SIZE);
    std::memcpy(deviceName, o.deviceName, TEXT_SIZE);
    pciVendorID = o.pciVendorID;
    pciDevice = o.pciDevice;
    pciDeviceID = o.pciDeviceID;
    pciSubVendorID = o.pciSubVendorID;
    pciSubDeviceID = o.pciSubDeviceID;
    pciBus = o.pciBus;
    pciFunction = o.pciFunction;
    isClustered = o.isClustered;
    autoFailoverEnabled = o.autoFailoverEnabled;
    batStatus = o.batStatus;
    batTempWarning = o.batTempWarning;
    batReconditionRequired = o.batReconditionRequired;
    batFullCapacity = o.batFullCapacity;
    batRemainingCapacity = o.batRemainingCapacity;
    batCurrentDraw = o.batCurrentDraw;
    blbuPresent = o.blbuPresent;
    blbuStatus = o.blbuStatus;
    buildNum = o.buildNum;
    firmwareBuildNum = o.firmwareBuildNum;
    biosBuildNum = o.biosBuildNum;
    driverBuildNum = o.driverBuildNum;
    asyncRescanActive = o.asyncRescanActive;
    dataScrubbingActive = o.dataScrubbingActive;
    copyBackEnabled = o.copyBackEnabled;
    versionMatchStatus = o.versionMatchStatus;
    maxNumPhy = o.maxNumPhy;
    maxSasPorts = o.maxSasPorts;
    serialNum0 = o.serialNum0;
    serialNum1 = o.serialNum1;
    heatSensorTemperature = o.heatSensorTemperature;
    heatSensorThresholdLo = o.heatSensorThresholdLo;
    heatSensorThresholdHi = o.heatSensorThresholdHi;
    std::memcpy(serialNumber, o.serialNumber, TEXT_SIZE);
    std::memcpy(onBoardExpanders, o.onBoardExpanders, sizeof(onBoardExpanders));
    dirtyPageThresholdValue = o.dirtyPageThresholdValue;
}

// Assignment takes the identity and the user settings only; limits,
// battery, build numbers, PCI and serial data stay those of the target.
Adapter& Adapter::operator=(const Adapter& o)
{
    if (this == &o) {
        return *this;
    }
    setAdapterType(o.controllerType);
    setAdapterID(o.getAdapterID());
    copySettings(o);
    return *this;
}

Adapter::~Adapter()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Adapter::~Adapter()");
    delete features;
    features = nullptr;
}

bool Adapter::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "Adapter") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* Adapter::typeName() const
{
    return "Adapter";
}

const char* Adapter::serializedName() const
{
    return "Controller";
}

// Members of spanned and multi-level logical drives stay out of the drive
// index: only top-level drives are the controller's own.
void Adapter::descendantAdded(RaidObject* node)
{
    RaidObject::descendantAdded(node);
    if (driveChunks != nullptr) {
        markDriveChunksStale(node);
    }
    node->setAdapterID(getAdapterID());
    node->setStorLibType(getStorLibType());
    if (node->isInstanceOf("Channel")) {
        channels.push_back(static_cast<Channel*>(node));
        if (node->isInstanceOf("SCSIChannel")) {
            scsiChannels.push_back(static_cast<SCSIChannel*>(node));
        } else if (node->isInstanceOf("SASChannel")) {
            sasChannels.push_back(static_cast<SASChannel*>(node));
        } else if (node->isInstanceOf("SATAChannel")) {
            sataChannels.push_back(static_cast<SATAChannel*>(node));
        }
    } else if (node->isInstanceOf("LogicalDrive")) {
        const RaidObject* parent = node->getParent();
        if (parent == nullptr || !parent->isInstanceOf("LogicalDrive")) {
            logicalDrives.push_back(static_cast<LogicalDrive*>(node));
        }
    } else if (node->isInstanceOf("PhysicalDevice")) {
        PhysicalDevice* device = static_cast<PhysicalDevice*>(node);
        physicalDevices.push_back(device);
        if (node->isInstanceOf("HardDrive")) {
            hardDrives.push_back(static_cast<HardDrive*>(node));
        } else if (node->isInstanceOf("Enclosure")) {
            enclosures.push_back(static_cast<Enclosure*>(node));
        } else if (node->isInstanceOf("SES2EnclosureDevice")) {
            ses2EnclosureDevices.push_back(static_cast<SES2EnclosureDevice*>(node));
        } else {
            otherPhysicalDevices.push_back(device);
        }
    } else if (node->isInstanceOf("SASConnector")) {
        sasConnectors.push_back(static_cast<SASConnector*>(node));
    }
}

// The versions compare as texts: a shorter text written over a longer one
// leaves bytes behind its terminator that are no part of the version.
bool Adapter::operator==(const Adapter& o) const
{
    return controllerType == o.controllerType && getAdapterID() == o.getAdapterID()
        && controllerStatus == o.controllerStatus
        && std::strncmp(biosVersion, o.biosVersion, TEXT_SIZE) == 0
        && std::strncmp(firmwareVersion, o.firmwareVersion, TEXT_SIZE) == 0
        && std::strncmp(driverVersion, o.driverVersion, TEXT_SIZE) == 0
        && physicalSlot == o.physicalSlot;
}

void Adapter::setAdapterType(EnumAdapterType type)
{
    controllerType = type;
    setStorLibType(storLibTypeFor(type));
}

int Adapter::getLimit(Limit limit) const
{
    switch (limit) {
    case LIMIT_MAX_LOGICAL_DRIVES:
        return maxLogicalDrives;
    case LIMIT_MAX_ARRAYS:
        return maxArrays;
    case LIMIT_MAX_SPANNED_ARRAYS:
        return maxSpannedArrays;
    case LIMIT_MAX_CHANNELS:
        return maxChannels;
    case LIMIT_MAX_ID:
        return maxID;
    case LIMIT_MAX_DEVICES_PER_ARRAY:
        return maxDevicesPerArray;
    case LIMIT_MAX_CONTROLLERS:
        return maxControllers;
    case LIMIT_MAX_GLOBAL_SPARES:
        return maxGlobalSpares;
    default:
        return 0;
    }
}

void Adapter::setLimit(Limit limit, int value)
{
    switch (limit) {
    case LIMIT_MAX_LOGICAL_DRIVES:
        maxLogicalDrives = value;
        break;
    case LIMIT_MAX_ARRAYS:
        maxArrays = value;
        break;
    case LIMIT_MAX_SPANNED_ARRAYS:
        maxSpannedArrays = value;
        break;
    case LIMIT_MAX_CHANNELS:
        maxChannels = value;
        break;
    case LIMIT_MAX_ID:
        maxID = value;
        break;
    case LIMIT_MAX_DEVICES_PER_ARRAY:
        maxDevicesPerArray = value;
        break;
    case LIMIT_MAX_CONTROLLERS:
        maxControllers = value;
        break;
    case LIMIT_MAX_GLOBAL_SPARES:
        maxGlobalSpares = value;
        break;
    default:
        break;
    }
}

void Adapter::setFeature(FeatureEnum feature, int value)
{
    if (features != nullptr) {
        features->setFeature(feature, value);
    }
}

int Adapter::getFeature(FeatureEnum feature)
{
    return features != nullptr ? features->getFeature(feature) : 0;
}

Channel* Adapter::getChannel(unsigned long index) const
{
    return entryAt(channels, index);
}

SCSIChannel* Adapter::getSCSIChannel(unsigned long index) const
{
    return entryAt(scsiChannels, index);
}

SASChannel* Adapter::getSASChannel(unsigned long index) const
{
    return entryAt(sasChannels, index);
}

SATAChannel* Adapter::getSATAChannel(unsigned long index) const
{
    return entryAt(sataChannels, index);
}

LogicalDrive* Adapter::getLogicalDrive(unsigned long index) const
{
    return entryAt(logicalDrives, index);
}

LogicalDrive* Adapter::getLogical(unsigned long index) const
{
    return entryAt(logicalDrives, index);
}

HardDrive* Adapter::getHardDrive(unsigned long index) const
{
    return entryAt(hardDrives, index);
}

Enclosure* Adapter::getEnclosure(unsigned long index) const
{
    return entryAt(enclosures, index);
}

SES2EnclosureDevice* Adapter::getSES2EnclosureDevice(unsigned long index) const
{
    return entryAt(ses2EnclosureDevices, index);
}

PhysicalDevice* Adapter::getPhysicalDevice(unsigned long index) const
{
    return entryAt(physicalDevices, index);
}

PhysicalDevice* Adapter::getOtherPhysicalDevice(unsigned long index) const
{
    return entryAt(otherPhysicalDevices, index);
}

SASConnector* Adapter::getSASConnector(unsigned long index) const
{
    return entryAt(sasConnectors, index);
}

void Adapter::setOnBoardExpandersWWN(unsigned long index, unsigned char* wwn)
{
    if (index < 2 && wwn != nullptr) {
        std::memcpy(onBoardExpanders[index], wwn, sizeof(onBoardExpanders[index]));
    }
}
