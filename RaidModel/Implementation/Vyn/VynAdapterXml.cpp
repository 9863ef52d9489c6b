// The controller's own attributes in the XML forms of the tree.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <cstdio>
#include <string>

#include "Command/Vyn/common/fa_bytes.h"
#include "common/Writer.h"

namespace {

// RAID-6 options: the major cycle word; each drive-count entry is two bytes
// and a 16-bit value.
constexpr size_t kRaid6MajorCycle = 8;
constexpr size_t kRaid6EntryBytes = 4;

constexpr uint32_t kPmEnabled = 0x1;
constexpr uint32_t kPmDriverSupport = 0x2;
constexpr uint32_t kPmStayAwake = 0x4;

// "first,second,count" per entry, joined by ";". The entry count is the
// firmware's; the record holds no more than its table.
std::string driveCounts(const FSA_RAID6_OPTIONS& options, size_t table)
{
    uint32_t count = faGetLe32(options.bytes + RAID6_OPT_ENTRY_COUNT);
    if (count > RAID6_OPT_MAX_ENTRIES)
        count = RAID6_OPT_MAX_ENTRIES;
    std::string text;
    char entry[32];
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = options.bytes + table + i * kRaid6EntryBytes;
        std::snprintf(entry, sizeof entry, "%d,%d,%d", e[0], e[1], faGetLe16(e + 2));
        if (i != 0)
            text += ';';
        text += entry;
    }
    return text;
}

// A signed 16-bit field as the 32-bit value the attribute carries.
unsigned long signed16(const uint8_t* p)
{
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(faGetLe16(p))));
}

}  // namespace

void VynAdapter::setFeature(FeatureEnum feature, int value)
{
    if (features != nullptr)
        features->setFeature(feature, value);
}

int VynAdapter::getFeature(FeatureEnum feature)
{
    return features != nullptr ? features->getFeature(feature) : 0;
}

void VynAdapter::writeTo(Writer* writer) const
{
    Adapter::writeTo(writer);
    const uint8_t* g = fsaInfo.bytes;
    auto u32 = [g](size_t at) -> unsigned long { return faGetLe32(g + at); };
    auto has = [this](FeatureEnum f) { return features != nullptr && features->getFeature(f) != 0; };

    writer->writeBool("hasFilterDriver", hasFilterDriver);
    writer->writeInt("maxConfiguredDrives", static_cast<int>(maxConfiguredDrives));
    writer->writeInt("maxGlobalSpares", getMaxGlobalSpares());
    writer->writeString("deviceVendor", deviceVendor);
    writer->writeString("deviceName", deviceName);
    writer->writeInt("pciVendorID", static_cast<int>(pciVendorID));
    writer->writeInt("pciDeviceID", static_cast<int>(pciDeviceID));
    writer->writeInt("pciSubVendor", static_cast<int>(pciSubVendorID));
    writer->writeInt("pciSubDevice", static_cast<int>(pciSubDeviceID));
    writer->writeInt("reservedInBeginning", static_cast<int>(reservedInBeginning));
    writer->writeInt("reservedInEnd", static_cast<int>(reservedInEnd));
    writer->writeInt("installedMemory", static_cast<int>(getInstalledMemory()));
    writer->writeInt("cacheMemory", static_cast<int>(getCacheMemory()));
    writer->writeBool("isClustered", isClustered);
    writer->writeInt("batStatus", batStatus);
    writer->writeBool("batTempWarning", batTempWarning);
    writer->writeBool("batReconditionRequired", batReconditionRequired);
    writer->writeULong("batFullCapacity", static_cast<unsigned long>(batFullCapacity));
    writer->writeULong("batRemainingCapacity", static_cast<unsigned long>(batRemainingCapacity));
    writer->writeULong("batCurrentDraw", static_cast<unsigned long>(batCurrentDraw));
    writer->writeBool("blbuPresent", blbuPresent);
    writer->writeInt("blbuStatus", blbuStatus);
    writer->writeInt("maxDedicatedSparesPerLogicalDrive", static_cast<int>(maxDedicatedSparesPerLogicalDrive));
    writer->writeInt("maxLogicalDriveMembers", static_cast<int>(maxLogicalDriveMembers));
    writer->writeInt("maxRaid0Members", static_cast<int>(maxRaid0Members));
    writer->writeInt("maxRaid5Members", static_cast<int>(maxRaid5Members));
    writer->writeInt("maxRaidVolumeMembers", static_cast<int>(maxRaidVolumeMembers));
    writer->writeInt("maxSpannedVolumeMembers", static_cast<int>(maxSpannedVolumeMembers));
    writer->writeInt("maxStripeSize", maxStripeSize);
    writer->writeInt("maxTopLevelLogicalDrives", maxTopLevelLogicalDrives);
    writer->writeInt("maxSnapshots", maxSnapshots);
    writer->writeInt("minStripeSize", minStripeSize);
    writer->writeInt("fsaBuildNum", static_cast<int>(fsaApiBuildNum));
    writer->writeBool("asyncRescanActive", asyncRescanActive);
    writer->writeBool("dataScrubbingActive", dataScrubbingActive);
    writer->writeBool("copyBackEnabled", copyBackEnabled);
    writer->writeInt("versionMatchStatus", static_cast<int>(versionMatchStatus));
    writer->writeULong("maxNumPhy", maxNumPhy);
    writer->writeULong("maxSasPorts", maxSasPorts);
    writer->writeULong("serialNum0", serialNum0);
    writer->writeULong("serialNum1", serialNum1);
    writer->writeString("serialNumber", serialNumber);
    writer->writeString("vpdAssemblyPn", vpdAssemblyPn);
    writer->writeString("vpdFruPn", vpdFruPn);
    writer->writeString("vpdBatteryFruPn", vpdBatteryFruPn);
    writer->writeString("vpdECVersion", vpdECVersion);
    writer->writeULong("dataScrubErrCount", dataScrubErrCount);
    writer->writeULong("dataScrubFixedErrCount", dataScrubFixedErrCount);
    writer->writeULong("dataScrubRate", dataScrubRate);
    writer->writeULong("fsaApiBuildNum", fsaApiBuildNum);
    writer->writeString("fsaApiVersion", fsaApiVersion);
    writer->writeULong("stagedFwBuildNum", stagedFwBuildNum);
    writer->writeString("stagedFwVersion", stagedVersion);
    if (has(featRaid1E))
        writer->writeULong("maxRaid1EMembers", maxRaid1EMembers);
    if (has(featRaid5EE))
        writer->writeULong("maxRaid5EEMembers", maxRaid5EEMembers);
    if (has(featRaid6) || has(featRaid6RS)) {
        writer->writeULong("maxRaid6Members", maxRaid6Members);
        writer->writeULong("maxRaid6MajorCycle", faGetLe32(raid6Options.bytes + kRaid6MajorCycle));
        writer->writeString("raid6DriveCounts", driveCounts(raid6Options, RAID6_OPT_TABLE).c_str());
        if (has(featRaid6RS))
            writer->writeString("raid6RSDriveCounts", driveCounts(raid6Options, RAID6_OPT_RS_TABLE).c_str());
    }
    writer->writeULong("maxRaid10Members", maxLogicalDriveMembers);
    writer->writeULong("maxRaid50Members", maxLogicalDriveMembers);
    writer->writeULong("maxRaid60Members", maxLogicalDriveMembers);
    writer->writeUShort("heatSensorTemperature", faGetLe16(g + GI_HEAT_TEMPERATURE));
    writer->writeUShort("heatSensorThresholdLo", faGetLe16(g + GI_HEAT_LOW));
    writer->writeUShort("heatSensorThresholdHi", faGetLe16(g + GI_HEAT_HIGH));
    writer->writeInt("fsaAvailability", static_cast<int>(availability));
    writer->writeULong("fsaOem", u32(GI_OEM));
    writer->writeULong("fsaOemId", u32(GI_OEM_ID));
    writer->writeULong("fsaSupportedOptions", u32(GI_SUPPORTED_OPTIONS));
    writer->writeULong("fsaSupportedOptions2", u32(GI_SUPPORTED_OPTIONS2));
    writer->writeULong("fsaMaxContainerNumber", u32(GI_MAX_CONTAINER_NUMBER));
    writer->writeULong("fsaMaxAccessibleContainers", u32(GI_MAX_ACCESSIBLE_CONTAINERS));
    writer->writeULong("fsaLongSerialNum", u32(GI_LONG_SERIAL));
    writer->writeULong("fsaNumOfSnapshots", g[GI_NUM_OF_SNAPSHOTS]);
    writer->writeULong("fsaPCIBusID", signed16(g + GI_PCI_BUS));
    writer->writeULong("fsaPCIPhysicalSlotNumber", faGetLe16(g + GI_PCI_PHYSICAL_SLOT));
    writer->writeULong("fsaPCISlotNumber", signed16(g + GI_PCI_SLOT));
    writer->writeInt("fsaAdapAlarmState", static_cast<int>(u32(GI_ALARM_STATE)));
    writer->writeULong("fsaMaxNumberPorts", u32(GI_MAX_NUMBER_PORTS));
    writer->writeULong("fsaNumSasPorts", u32(GI_NUM_SAS_PORTS));
    writer->writeULong("fsaMorphSupportMask", u32(GI_MORPH_SUPPORT_MASK));
    writer->writeULong("fsaProcessorClockSpeedInMhz", u32(GI_PROCESSOR_CLOCK_MHZ));
    writer->writeULong("fsaAdapterMemorySizeInBytes", u32(GI_ADAPTER_MEMORY));
    writer->writeULong("fsaAdapterExecutionMemoryInBytes", u32(GI_EXECUTION_MEMORY));
    writer->writeULong("fsaAdapterBufferMemoryInBytes", u32(GI_BUFFER_MEMORY));
    writer->writeULong("fsaNumberOfBuses", u32(GI_NUMBER_OF_BUSES));
    writer->writeULong("fsaDevicesAvailablePerBus", u32(GI_DEVICES_PER_BUS));
    writer->writeULong("fsaDeviceCachePolicy", u32(GI_DEVICE_CACHE_POLICY));
    const unsigned long pm = u32(GI_POWER_MANAGEMENT);
    writer->writeBool("pmStayAwakeEnabled", (pm & kPmStayAwake) != 0);
    writer->writeBool("pmEnabled", (pm & kPmEnabled) != 0);
    writer->writeBool("pmDriverSupport", (pm & kPmDriverSupport) != 0);
    writer->writeInt("fsaHostBusType", g[GI_HOST_BUS_TYPE]);
    writer->writeInt("fsaHostBusWidth", g[GI_HOST_BUS_WIDTH]);
    writer->writeInt("fsaHostBusSpeed", faGetLe16(g + GI_HOST_BUS_SPEED));
    writer->writeBool("pmStayAwakeDaysSupported", pmStayAwakeDaysSupported);
    writer->writeBool("pmStayAwakeMainEnabled", pmStayAwakeMainEnabled);
    writer->writeLong("pmStayAwakeDays", pmStayAwakeDays);
    writer->writeULong("numOrvexaAssignedDrives", numOrvexaAssignedDrives);
    writer->writeULong("maxNumOrvexaAssignedDrives", maxNumOrvexaAssignedDrives);
    writer->writeULong("orvexaFlushAndFetchRate", orvexaFlushAndFetchRate);
    writer->writeULong("dirtyPageThresholdValue", dirtyPageThresholdValue);
    writer->writeBool("sataNCQSupported", sataNCQSupported);
    writer->writeBool("sataNCQEnabled", sataNCQEnabled);
    writer->writeBool("smartStatsSupported", smartStatsSupported);
    writer->writeBool("StatisticDataCollectionEnabled", statisticDataCollectionEnabled);
    writer->writeULong("rBalanceFactor", orvexaReadFactor);
    writer->writeULong("wBalanceFactor", orvexaWriteFactor);
    writer->writeBool("orvexaReadCachePoolSizeSupported", orvexaReadCachePoolSizeSupported);
    writer->writeU64("orvexaReadCachePoolSize", orvexaReadCachePoolSize);
    writer->writeU64("orvexaCapacity", orvexaCapacity);
    writer->writeBool("orvexaCapacitySupported", orvexaCapacitySupported);
    writer->writeUInt("maxDiskXtasks", maxDiskXtasks);
    writer->writeBool("maxDiskXtasksSupported", maxDiskXtasksSupported);
    if (features != nullptr)
        features->writeTo(writer);
}

void VynAdapter::writeToXML(Writer* writer) const
{
    Adapter::writeToXML(writer);
    const unsigned long pm = faGetLe32(fsaInfo.bytes + GI_POWER_MANAGEMENT);
    writer->writeString("deviceName", deviceName);
    writer->writeBool("dataScrubbingActive", dataScrubbingActive);
    writer->writeULong("dataScrubRate", dataScrubRate);
    writer->writeBool("copyBackEnabled", copyBackEnabled);
    writer->writeBool("pmStayAwakeEnabled", (pm & kPmStayAwake) != 0);
    writer->writeBool("pmEnabled", (pm & kPmEnabled) != 0);
    writer->writeBool("pmStayAwakeDaysSupported", pmStayAwakeDaysSupported);
    writer->writeBool("pmStayAwakeMainEnabled", pmStayAwakeMainEnabled);
    writer->writeLong("pmStayAwakeDays", pmStayAwakeDays);
    writer->writeULong("numOrvexaAssignedDrives", numOrvexaAssignedDrives);
    writer->writeULong("orvexaFlushAndFetchRate", orvexaFlushAndFetchRate);
    writer->writeULong("dirtyPageThresholdValue", dirtyPageThresholdValue);
    writer->writeBool("sataNCQSupported", sataNCQSupported);
    writer->writeBool("sataNCQEnabled", sataNCQEnabled);
    writer->writeBool("StatisticDataCollectionEnabled", statisticDataCollectionEnabled);
    writer->writeU64("orvexaReadCachePoolSize", orvexaReadCachePoolSize);
}
