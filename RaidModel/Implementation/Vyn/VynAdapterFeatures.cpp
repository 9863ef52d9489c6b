// Features and limits of a controller from its general information.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <cstdio>
#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "common/StorDebug.h"

namespace {

// Extra byte offsets of the general information read here.
constexpr size_t kGiExpander1 = GI_EXPANDER_WWNS + 8;
constexpr size_t kGiSsdCacheMaxDrives = GI_SSD_CACHE_MAX_DRIVES;

// Models of the family that must not offer RAID-50, by model and vendor.
// The one model known to need it is an OEM-branded controller that this
// system does not support; an empty model text ends the table.
struct ModelRow {
    const char* model;
    const char* vendor;
};
const ModelRow kModelsWithoutRaid50[] = {
    {"", ""},
};

bool withoutRaid50(const char* model, const char* vendor)
{
    for (const ModelRow* row = kModelsWithoutRaid50; row->model[0] != '\0'; ++row)
        if (std::strcmp(row->model, model) == 0 && std::strcmp(row->vendor, vendor) == 0)
            return true;
    return false;
}

bool bit(uint32_t word, unsigned n) { return (word >> n) & 1u; }

// "major.minor-dash" of a revision (dash, type, minor, major, build).
void versionText(char* out, size_t size, const uint8_t* revision)
{
    std::snprintf(out, size, "%d.%d-%d", revision[3], revision[2], revision[0]);
}

uint32_t buildOf(const uint8_t* revision) { return faGetLe32(revision + 4); }

int16_t signed16(const uint8_t* p) { return static_cast<int16_t>(faGetLe16(p)); }

}  // namespace

void VynAdapter::setFsaGeneralInfo(const FSA_GENERAL_INFO2* info)
{
    if (info == nullptr)
        return;
    std::memcpy(&fsaInfo, info, sizeof fsaInfo);
    const uint8_t* g = fsaInfo.bytes;
    auto u32 = [g](size_t at) { return faGetLe32(g + at); };

    const uint16_t slot = faGetLe16(g + GI_PCI_PHYSICAL_SLOT);
    physicalSlot = slot == 0xFFFF ? 0x7FFFFFFF : slot;

    versionText(fsaApiVersion, sizeof fsaApiVersion, g + GI_API_VERSION);
    fsaApiBuildNum = buildOf(g + GI_API_VERSION);
    versionText(firmwareVersion, sizeof firmwareVersion, g + GI_FIRMWARE_VERSION);
    buildNum = firmwareBuildNum = buildOf(g + GI_FIRMWARE_VERSION);
    versionText(driverVersion, sizeof driverVersion, g + GI_MINIPORT_VERSION);
    driverBuildNum = buildOf(g + GI_MINIPORT_VERSION);
    versionText(biosVersion, sizeof biosVersion, g + GI_BIOS_VERSION);
    biosBuildNum = buildOf(g + GI_BIOS_VERSION);
    versionText(stagedVersion, sizeof stagedVersion, g + GI_STAGED_FIRMWARE_VERSION);
    stagedFwBuildNum = buildOf(g + GI_STAGED_FIRMWARE_VERSION);
    versionText(firmwareBootVersion, sizeof firmwareBootVersion, g + GI_BOOT_FIRMWARE_VERSION);
    fwBootBuildNum = buildOf(g + GI_BOOT_FIRMWARE_VERSION);

    installedMemory = u32(GI_ADAPTER_MEMORY);
    cacheMemory = u32(GI_BUFFER_MEMORY);

    const uint32_t highestContainer = u32(GI_MAX_CONTAINER_NUMBER);
    maxArrays = maxSpannedArrays = maxDevicesPerArray = 0;
    maxLogicalDrives = static_cast<int>(highestContainer + 1);
    maxTopLevelLogicalDrives = static_cast<int>(u32(GI_MAX_ACCESSIBLE_CONTAINERS));
    maxControllers = 1;
    maxJBODs = 128;
    const uint32_t ports = u32(GI_MAX_NUMBER_PORTS);
    if (ports != 0) {
        maxID = static_cast<int>(ports - 1);
        maxChannels = 1;
    } else {
        maxID = static_cast<int>(u32(GI_DEVICES_PER_BUS));
        maxChannels = static_cast<int>(u32(GI_NUMBER_OF_BUSES));
    }
    maxDedicatedSparesPerLogicalDrive = u32(GI_MAX_DEDICATED_SPARES);
    maxLogicalDriveMembers = u32(GI_MAX_LD_MEMBERS);
    maxRaid0Members = u32(GI_MAX_RAID0_MEMBERS);
    maxRaid5Members = u32(GI_MAX_RAID5_MEMBERS);
    maxRaidVolumeMembers = maxSpannedVolumeMembers = u32(GI_MAX_VOLUME_MEMBERS);
    maxConfiguredDrives = highestContainer + 1;
    maxGlobalSpares = static_cast<int>(u32(GI_MAX_GLOBAL_SPARES));
    maxSnapshots = g[GI_NUM_OF_SNAPSHOTS];
    minStripeSize = static_cast<int>(u32(GI_MIN_STRIPE_BYTES) >> 10);
    maxStripeSize = static_cast<int>(u32(GI_MAX_STRIPE_BYTES) >> 10);

    pciBus = static_cast<uint32_t>(static_cast<int32_t>(signed16(g + GI_PCI_BUS)));
    pciDevice = static_cast<uint32_t>(static_cast<int32_t>(signed16(g + GI_PCI_SLOT)));
    pciFunction = 0;
    serialNum0 = u32(GI_SERIAL_NUMBER_0);
    serialNum1 = u32(GI_SERIAL_NUMBER_1);
    serialNumber[0] = '\0';

    features->setAll(0);
    setFeature(featFlashBios, 1);

    const uint32_t opt2 = u32(GI_SUPPORTED_OPTIONS2);
    if (bit(opt2, 25)) {
        setFeature(featLongSerialNumber, 1);
        longSerialNum = u32(GI_LONG_SERIAL);
        // Three words in memory order, read as characters up to the first
        // zero byte. A board that was never given a serial leaves binary
        // words there; those bytes must not reach a report as they are.
        char words[12];
        std::memcpy(words, g + GI_SERIAL_NUMBER_0, 4);
        std::memcpy(words + 4, g + GI_SERIAL_NUMBER_1, 4);
        std::memcpy(words + 8, g + GI_LONG_SERIAL, 4);
        char serial[sizeof words + 1] = {};
        SafeAsciiCopy(serial, words, static_cast<int>(sizeof words));
        std::snprintf(serialNumber, sizeof serialNumber, "%s", serial);
    } else {
        std::snprintf(serialNumber, sizeof serialNumber, "%x", serialNum0);
    }

    maxNumPhy = ports;
    maxSasPorts = u32(GI_NUM_SAS_PORTS);
    const struct {
        char* out;
        size_t at;
    } vpd[] = {{vpdAssemblyPn, GI_VPD_ASSEMBLY}, {vpdFruPn, GI_VPD_FRU}, {vpdBatteryFruPn, GI_VPD_BATTERY_FRU},
               {vpdECVersion, GI_VPD_EC}};
    for (const auto& v : vpd) {
        SafeAsciiCopy(v.out, g + v.at, 8);
        v.out[8] = '\0';
    }

    if (u32(GI_CLUSTERING) != 0)
        setFeature(featClustering, 1);
    VynTracePrintf("raidSupportMask:0x%x\n", u32(GI_RAID_SUPPORT_MASK));

    setFeaturesFromTable(&fsaInfo);

    // Settings.
    defaultLDTaskPriority = static_cast<EnumPriorityLevel>(u32(GI_DEFAULT_TASK_PRIORITY));
    performanceMode = static_cast<EnumPerformanceMode>(u32(GI_PERFORMANCE_MODE));
    supportedPerformanceModes = u32(GI_PERFORMANCE_MODES);
    if (bit(opt2, 15)) {
        const uint32_t policy = u32(GI_DEVICE_CACHE_POLICY);
        sataHDCacheMode = static_cast<EnumHardDriveCacheMode>(bit(policy, 1) ? 0 : 1);
        sasHDCacheMode = static_cast<EnumHardDriveCacheMode>(bit(policy, 0) ? 0 : 1);
    }
    if (bit(opt2, 7)) {
        unsigned char wwn[8];
        std::memcpy(wwn, g + GI_EXPANDER_WWNS, 8);
        setOnBoardExpandersWWN(0, wwn);
        std::memcpy(wwn, g + kGiExpander1, 8);
        setOnBoardExpandersWWN(1, wwn);
    }
    const uint32_t opt1 = u32(GI_SUPPORTED_OPTIONS);
    if (bit(opt1, 19)) {
        heatSensorTemperature = signed16(g + GI_HEAT_TEMPERATURE);
        heatSensorThresholdLo = signed16(g + GI_HEAT_LOW);
        heatSensorThresholdHi = signed16(g + GI_HEAT_HIGH);
    }

    const uint32_t opt3 = u32(GI_OPTION_WORD3);
    const uint32_t pm = u32(GI_POWER_MANAGEMENT);
    if (bit(opt3, 2) && bit(pm, 1)) {
        if (bit(pm, 0)) {
            setFeature(featPowerManagement, 1);
            pmStayAwakeStart = u32(GI_STAY_AWAKE_START);
            pmStayAwakeStop = u32(GI_STAY_AWAKE_END);
            pmSpinupLimitInternal = u32(GI_SPINUP_INTERNAL);
            pmSpinupLimitExternal = u32(GI_SPINUP_EXTERNAL);
            pmStayAwakeMainEnabled = bit(pm, 6);
            pmStayAwakeDaysSupported = bit(pm, 5);
            if (g[GI_STAY_AWAKE_DAYS] != 0)
                pmStayAwakeDays = g[GI_STAY_AWAKE_DAYS];
        } else {
            setFeature(featPowerManagement, -1);
        }
    }

    if (bit(opt3, 6))
        setFeature(featOrvexaSupport, 1);
    if (bit(opt3, 15)) {
        setFeature(featOrvexaWriteCacheSupport, 1);
        dirtyPageThresholdValue = faGetLe16(g + GI_DIRTY_PAGE_THRESHOLD);
    }
    if (bit(opt3, 6) || bit(opt3, 15)) {
        numOrvexaAssignedDrives = g[GI_SSD_CACHE_DRIVES];
        maxNumOrvexaAssignedDrives = g[kGiSsdCacheMaxDrives];
    }
    if (bit(opt3, 7)) {
        setFeature(featOrvexaFlushAndFetchRate, 1);
        orvexaFlushAndFetchRate = faGetLe16(g + GI_SSD_FLUSH_FETCH_RATE);
    }
    if (bit(opt3, 9)) {
        setFeature(featOrvexaRWFactor, 1);
        orvexaReadFactor = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(g[GI_SSD_READ_FACTOR])));
        orvexaWriteFactor = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(g[GI_SSD_WRITE_FACTOR])));
    }
    if (bit(opt3, 10))
        orvexaReadCachePoolSizeSupported = true;
    if (bit(opt3, 12)) {
        orvexaCapacity = static_cast<uint64_t>(u32(GI_SSD_CAPACITY)) | static_cast<uint64_t>(u32(GI_SSD_CAPACITY + 4)) << 32;
        orvexaCapacitySupported = true;
    }
    if (bit(opt3, 13)) {
        maxDiskXtasks = g[GI_MAX_DISK_TASKS];
        maxDiskXtasksSupported = true;
    }

    if (bit(g[GI_NCQ_FLAGS], 7)) {
        sataNCQSupported = true;
        sataNCQEnabled = u32(GI_NCQ_ENABLED) != 0;
    }
}

void VynAdapter::setFeaturesFromTable(const FSA_GENERAL_INFO2* info)
{
    const uint8_t* g = info->bytes;
    const uint32_t r = faGetLe32(g + GI_RAID_SUPPORT_MASK);
    const uint32_t m = faGetLe32(g + GI_MORPH_SUPPORT_MASK);
    const uint32_t opt1 = faGetLe32(g + GI_SUPPORTED_OPTIONS);
    const uint32_t opt2 = faGetLe32(g + GI_SUPPORTED_OPTIONS2);
    const uint32_t opt3 = faGetLe32(g + GI_OPTION_WORD3);
    const uint32_t opt4 = faGetLe32(g + GI_OPTION_WORD4);
    const uint32_t pm = faGetLe32(g + GI_POWER_MANAGEMENT);
    auto on = [this](FeatureEnum f) { setFeature(f, 1); };
    auto has = [this](FeatureEnum f) { return getFeature(f) != 0; };

    for (FeatureEnum f : {featFlashBios, featQuickInit, featBuildClear, featBuildNormal, featCacheSupport,
                          featReadCacheChangeable, featPerformanceMode})
        on(f);
    if (bit(r, 3)) {
        on(featRaid0);
        if (bit(r, 7))
            on(featMorphRaid0ToRaid0);
        if (bit(m, 0))
            on(featExpandRaid0);
        if (bit(m, 8) && bit(r, 7))
            on(featMorphRaid0ToRaid5);
        if (bit(m, 10))
            on(featMorphRaid0ToRaid10);
    }
    if (bit(r, 0)) {
        on(featSimpleVolume);
        if (bit(m, 20))
            on(featMorphSimpleVolumeToRaid1);
    }
    if (bit(r, 4)) {
        on(featRaid1);
        if (bit(m, 4))
            on(featExpandRaid1);
        if (bit(m, 7))
            on(featMorphRaid1ToRaid0);
        if (bit(m, 21))
            on(featMorphRaid1ToSimpleVolume);
        if (bit(m, 18) && bit(r, 7))
            on(featMorphRaid1ToRaid5);
        if (bit(m, 19))
            on(featMorphRaid1ToRaid10);
    }
    if (bit(r, 7)) {
        on(featRaid5);
        on(featMorphRaid5ToRaid5);
        if (bit(m, 1))
            on(featExpandRaid5);
        if (bit(m, 9))
            on(featMorphRaid5ToRaid0);
        if (bit(m, 17))
            on(featMorphRaid5ToRaid10);
    }
    if (bit(r, 5)) {
        on(featRaid10);
        if (bit(r, 7))
            on(featMorphRaid10ToRaid10);
    }
    if (bit(opt4, 6))
        on(featCopyBack);
    if (bit(r, 9) && bit(r, 7)) {
        on(featRaid5EE);
        on(featMorphRaid5EEToRaid5EE);
    }
    if (bit(r, 6)) {
        on(featRaid1E);
        if (bit(m, 5)) {
            on(featExpandRaid1E);
            on(featMorphRaid1EToRaid1E);
        }
    }
    if (bit(r, 10)) {
        fsaExports().FsaGetRaid6Options(adapterHandle, &raid6Options);
        if (bit(raid6Options.bytes[RAID6_OPT_FLAGS], 0)) {
            on(featRaid6RS);
            on(featMorphRaid6RSToRaid6RS);
            on(featMorphRaid6ToRaid6RS);
        } else {
            on(featRaid6);
            on(featMorphRaid6ToRaid6);
        }
    }
    // The RAID-6 options held by the controller: read just above, or as
    // last read.
    if (bit(r, 11))
        on(bit(raid6Options.bytes[RAID6_OPT_FLAGS], 0) ? featRaid60RS : featRaid60);
    if (bit(opt2, 4))
        on(featPersistentEventLog);
    if (bit(opt2, 2))
        on(featEnableHDDCache);
    if (bit(opt2, 27))
        on(featJBOD);
    if (bit(opt4, 7))
        on(featJBODDriver);
    if (has(featRaid5EE) && bit(m, 14))
        on(featMorphRaid5ToRaid5EE);
    if (has(featRaid6) && bit(m, 12))
        on(featMorphRaid5ToRaid6);
    if (has(featRaid6RS) && bit(m, 12))
        on(featMorphRaid5ToRaid6RS);
    if (has(featRaid5EE) && bit(m, 6))
        on(featExpandRaid5EE);
    if (has(featRaid5EE) && bit(m, 15))
        on(featMorphRaid5EEToRaid5);
    if (has(featRaid6) && bit(m, 2))
        on(featExpandRaid6);
    if (has(featRaid6RS) && bit(m, 2))
        on(featExpandRaid6RS);
    if (has(featRaid6) && bit(m, 13))
        on(featMorphRaid6ToRaid5);
    if (has(featRaid6RS) && bit(m, 13))
        on(featMorphRaid6RSToRaid5);
    if (bit(m, 3))
        on(featExpandRaid10);
    else
        setFeature(featMorphRaid10ToRaid10, 0);
    if (bit(m, 11))
        on(featMorphRaid10ToRaid0);
    if (bit(m, 16) && bit(r, 7))
        on(featMorphRaid10ToRaid5);
    setFeature(featRaid50, bit(r, 7) && bit(opt1, 5) && !withoutRaid50(deviceName, deviceVendor) ? 1 : 0);
    setFeature(featMorphRaid50ToRaid0, 0);
    setFeature(featMorphRaid50ToRaid5, 0);
    setFeature(featMorphRaid50ToRaid10, 0);
    if (bit(r, 1))
        on(featSpannedVolume);
    if (bit(r, 2))
        on(featRaidVolume);
    if (bit(opt1, 0))
        setFeature(featSnapshot, bit(opt2, 22) ? 2 : 1);
    if (bit(opt1, 18))
        on(feat64BitLBA);
    if (bit(opt2, 23))
        on(featFastInit);
    const int mixed = bit(opt2, 5) ? 0 : 1;
    setFeature(featMixedArrays, mixed);
    setFeature(featSasProtectSataArrays, mixed);
    setFeature(featSataProtectSasArrays, mixed);
    if (bit(opt1, 19))
        on(featHeatSensor);
    if (bit(opt2, 6))
        on(featSecureErase);
    if (bit(opt2, 26))
        on(featBkgrndScrubInDays);
    if (bit(opt2, 12))
        on(featMonitorArchive);
    if (bit(opt2, 9)) {
        on(featForceOnline);
        on(featNoBuild);
    }
    if (bit(opt4, 0))
        on(featDefaultLDTaskPriority);
    if (bit(opt2, 18))
        on(featFWRawBlink);
    if (bit(opt2, 17))
        on(featATAPassThru);
    if (bit(opt1, 26)) {
        on(featAdapterStats);
        on(featAdapterStatsDataCollectionMode);
        statisticDataCollectionEnabled = faGetLe32(g + GI_STATISTICS_ENABLED) != 0;
    }
    if (bit(opt3, 2) && bit(pm, 1))
        setFeature(featPowerManagement, bit(pm, 0) ? 1 : -1);
    if (bit(opt2, 10))
        on(featMultiInit);
    if (bit(opt3, 5))
        on(featProtectUnprotect);
    if (bit(opt3, 6))
        on(featOrvexaSupport);
    if (bit(opt3, 15))
        on(featOrvexaWriteCacheSupport);
    if (bit(opt3, 7))
        on(featOrvexaFlushAndFetchRate);
    if (bit(opt3, 9))
        on(featOrvexaRWFactor);
    if (bit(opt3, 8))
        on(featAdapterStatsResetCounters);
    if (bit(opt1, 27))
        on(featSecondGenExpander);
}
