// The controller object: construction from the enumeration record, the
// read-only firmware handle and the settings read when it opens.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/os/HostIo.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

constexpr unsigned kOpenTries = 5;
constexpr unsigned kOpenRetryMs = 1000;
constexpr uint32_t kAutoFailoverOn = 0x4;
constexpr size_t kMaxRaid6MembersAt = 68;
constexpr size_t kMaxRaid5EEMembersAt = 84;
constexpr size_t kMaxRaid1EMembersAt = 100;
constexpr unsigned kDescriptionChars = 17;
constexpr unsigned kTypeTextChars = 18;

struct NamedId {
    const char* id;
    const char* name;
};

// SMART attribute names by id; the table ends at its sentinel.
const NamedId kSmartAttributes[] = {
    {"0x01", "Read Error Rate"},
    {"0x02", "Throughput Performance"},
    {"0x03", "Spin-Up Time in millisecs"},
    {"0x04", "Start/Stop Count"},
    {"0x05", "Reallocated Sectors Count"},
    {"0x06", "Read Channel Margin"},
    {"0x07", "Seek Error Rate"},
    {"0x08", "Seek Time Performance in millisecs"},
    {"0x09", "Power-On Hours"},
    {"0x0A", "Spin Retry Count"},
    {"0x0B", "Recalibration Retries"},
    {"0x0C", "Power Cycle Count"},
    {"0x0D", "Soft Read Error Rate"},
    {"0xB7", "SATA Downshift Error Count"},
    {"0xB8", "End-to-End Error"},
    {"0xB9", "Head Stability"},
    {"0xBA", "Induced Op-Vibration Detection"},
    {"0xBB", "Reported Uncorrectable Errors"},
    {"0xBC", "Command Timeout"},
    {"0xBD", "High Fly Writes"},
    {"0xBE", "Temperature Difference From 100 in celcius"},
    {"0xBF", "G-sense error rate"},
    {"0xC0", "Power-off Retract Count"},
    {"0xC1", "Load/Unload Cycle Count"},
    {"0xC2", "Temperature in celcius"},
    {"0xC3", "Hardware ECC Recovered"},
    {"0xC4", "Reallocation Event Count"},
    {"0xC5", "Current Pending Sector Count"},
    {"0xC6", "Uncorrectable Sector Count"},
    {"0xC7", "UltraDMA CRC Error Count"},
    {"0xC8", "Write Error Rate"},
    {"0xC9", "Soft Read Error Rate"},
    {"0xCA", "Data Address Mark Errors"},
    {"0xCB", "Run Out Cancel"},
    {"0xCC", "Soft ECC Correction"},
    {"0xCD", "Thermal Asperity Rate"},
    {"0xCE", "Flying Height"},
    {"0xCF", "Spin High Current"},
    {"0xD0", "Spin Buzz"},
    {"0xD1", "Offline Seek Performance"},
    {"0xD3", "Vibration During Write"},
    {"0xD4", "Shock During Write"},
    {"0xDC", "Disk Shift"},
    {"0xDD", "G-Sense Error Rate"},
    {"0xDE", "Loaded Hours"},
    {"0xDF", "Load/Unload Retry Count"},
    {"0xE0", "Load Friction"},
    {"0xE1", "Host Writes in Gigabytes"},
    {"0xE2", "Load In-time"},
    {"0xE3", "Torque Amplification Count"},
    {"0xE4", "Power-Off Retract Cycle"},
    {"0xE6", "GMR Head Amplitude"},
    {"0xE7", "Temperature in celcius"},
    {"0xE8", "Available Reserved Space"},
    {"0xE9", "Media Wearout Indicator"},
    {"0xF0", "Head Flying Hours"},
    {"0xF1", "Total LBAs Written"},
    {"0xF2", "Total LBAs Read"},
    {"0xFA", "Read Error Retry Rate"},
    {"0xFE", "Free Fall Protection"},
    {"attributeIDMax", nullptr},
};

const NamedId kSecondSmartAttributes[] = {
    {"0x09", "Power-On Hours"},
    {"0xAD", "Media Wearout Indicator"},
    {"attributeIDMax", nullptr},
};

// SSD model texts and their vendors.
const NamedId kSsdVendors[] = {
    {"SSDSA2SH032G1GN", "INTEL"},
    {"SSDSA2SH064G1GC", "INTEL"},
    {"maxModels", nullptr},
};

void fill(std::map<std::string, const char*>& map, const NamedId* table, const char* sentinel)
{
    for (const NamedId* row = table; std::strcmp(row->id, sentinel) != 0; ++row)
        map[row->id] = row->name;
}

void copyText(char (&out)[Adapter::TEXT_SIZE], const char* text)
{
    std::snprintf(out, sizeof out, "%s", text);
}

// Firmware data-scrub priorities 1, 2, 3 are the model's rates 0, 1, 2; a
// period in days is kept as it is.
uint32_t scrubRateOf(uint32_t firmware)
{
    switch (firmware) {
    case 1: return 0;
    case 2: return 1;
    case 3: return 2;
    default: return firmware;
    }
}

}  // namespace

std::vector<std::pair<uint32_t, uint32_t>> VynAdapter::inquiryVPDFailures;

VynAdapter::VynAdapter(const _tagFSA_ADAPTER_ENUM_INFO* record, VynSystem* systemIN, unsigned long index,
                       void* handle, Ret* ret)
    : system(systemIN), adapterHandle(handle)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynAdapter::VynAdapter(FSA_ADAPTER_ENUM_INFO *, ...)");
    setStorLibType(STORLIB_TYPE_VYN);
    setAdapterType(ADAPTER_TYPE_VYN);
    setAdapterID(index);
    features = new AdapterFeatures();

    std::memset(&fsaInfo, 0, sizeof fsaInfo);
    std::memset(batteryInfo, 0, sizeof batteryInfo);
    std::memset(pciIds, 0, sizeof pciIds);
    std::memset(&containerOptions, 0, sizeof containerOptions);
    std::memset(&raid6Options, 0, sizeof raid6Options);
    biosVersion[0] = firmwareVersion[0] = driverVersion[0] = firmwareBootVersion[0] = '\0';
    reservedInBeginning = 128;
    reservedInEnd = 2048;
    isClustered = false;
    asyncRescanActive = false;
    rawData = nullptr;

    setFsaEnumInfo(record);
    fsaOpen(ret);

    fill(smartNames, kSmartAttributes, "attributeIDMax");
    fill(secondSmartNames, kSecondSmartAttributes, "attributeIDMax");
    fill(vendorNames, kSsdVendors, "maxModels");
}

VynAdapter::~VynAdapter()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynAdapter::~VynAdapter()");
    deleteUnhungDrives();
    for (VynLogicalDriveInfo* info : logicalInfo)
        delete info;
    logicalInfo.clear();
    logicalInfoByNumber.clear();
    if (rawData != nullptr) {
        std::free(rawData);
        rawData = nullptr;
    }
    std::free(connectorMap);
    connectorMap = nullptr;
    closeSavedWriteHandle();
    fsaClose();
    smartNames.clear();
    vendorNames.clear();
    delete[] cachedSmartStats;
    cachedSmartStats = nullptr;
    cachedSmartStatsSize = 0;
}

bool VynAdapter::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "VynAdapter") == 0)
        return true;
    return Adapter::isInstanceOf(name);
}

const char* VynAdapter::typeName() const
{
    return "VynAdapter";
}

void VynAdapter::setFsaEnumInfo(const _tagFSA_ADAPTER_ENUM_INFO* record)
{
    if (record == nullptr)
        return;
    fsaDescription.clear();
    WCharToString(fsaDescription, record->adapterName, kDescriptionChars);

    char text[21] = {};
    WCharToBuff(text, record->adapterTypeText, kTypeTextChars);
    text[kTypeTextChars] = '\0';
    struct Brand {
        uint32_t oem;
        const char* vendor;
    };
    static const Brand kBrands[] = {{4, "IBM"}, {14, "Sun"}, {13, "SMC"}};
    const Brand* brand = nullptr;
    for (const Brand& b : kBrands) {
        if (record->oemId == b.oem && std::strncmp(text, b.vendor, std::strlen(b.vendor)) != 0) {
            brand = &b;
            break;
        }
    }
    if (brand != nullptr) {
        copyText(deviceVendor, brand->vendor);
        copyText(deviceName, text);
    } else {
        char* blank = std::strchr(text, ' ');
        if (blank != nullptr) {
            *blank = '\0';
            copyText(deviceName, blank + 1);
        } else {
            deviceName[0] = '\0';
        }
        copyText(deviceVendor, text);
    }

    availability = record->availability;
    if (availability == AVAILABILITY_CANNOT_OPEN)
        setAdapterStatus(CONTROLLER_STATUS_DRIVER_UPDATE_REQUIRED);

    faPutLe32(fsaInfo.bytes + GI_ADAPTER_TYPE, record->adapterType);
    faPutLe32(fsaInfo.bytes + GI_CLUSTERING, record->clustering);
    faPutLe32(fsaInfo.bytes + GI_SERIAL_NUMBER_0, record->serialNumber[0]);
    faPutLe32(fsaInfo.bytes + GI_SERIAL_NUMBER_1, record->serialNumber[1]);
    faPutLe32(fsaInfo.bytes + GI_OEM, record->oemId);
    faPutLe32(fsaInfo.bytes + GI_MAX_NUMBER_PORTS, record->maxPorts);
    enumSerialWord = record->serialNumber[0];
    hasFilterDriver = record->filterDriver != 0;
}

void VynAdapter::fsaOpen(Ret* ret)
{
    if (adapterHandle == nullptr && availability != AVAILABILITY_CANNOT_OPEN) {
        FSA_STATUS status = FSA_STS_SUCCESS;
        for (unsigned attempt = 0; attempt < kOpenTries; ++attempt) {
            status = fsaExports().FsaOpenAdapter2A(fsaDescription.c_str(), nullptr, FSA_LIBRARY_BUILD,
                                                   FSA_ACC_READ_ONLY, 1, fsaPasswordCallback, this, &adapterHandle,
                                                   &openWord);
            if (status != FSA_STS_OPEN_PAUSED)
                break;
            // A paused controller resumes on its own; the firmware's own
            // clock paces the wait.
            hostIo().sleepMs(kOpenRetryMs);
        }
        if (status != FSA_STS_SUCCESS && status != FSA_STS_PARTNER_NOT_FOUND) {
            adapterHandle = nullptr;
            openWord = 0;
            setAdapterStatus(CONTROLLER_STATUS_INACCESSIBLE);
            if (ret != nullptr) {
                vynerror::apiError(*ret, "FsaOpenAdapter2A()", status);
            }
        }
    }
    if (adapterHandle == nullptr)
        return;

    FSA_GENERAL_INFO2 info;
    std::memset(&info, 0, sizeof info);
    const FSA_STATUS status = fsaExports().FsaGetGeneralInformation2Ex(adapterHandle, 0, &info);
    if (status != FSA_STS_SUCCESS) {
        if (ret != nullptr) {
            vynerror::apiError(*ret, "FsaGetGeneralInformation2Ex()", status);
        }
        fsaClose();
        return;
    }
    setAdapterStatus(CONTROLLER_STATUS_OPTIMAL);
    setFsaGeneralInfo(&info);
    readSettings(ret);
}

void VynAdapter::readSettings(Ret* ret)
{
    FsaExports& fsa = fsaExports();

    copyBackEnabled = false;
    if (getFeature(featCopyBack)) {
        uint32_t mode = 0;
        if (fsa.FsaGetCopyback(adapterHandle, &mode) == FSA_STS_SUCCESS)
            copyBackEnabled = mode != 0;
    }

    uint32_t verify[3] = {0, 0, 0};
    FSA_VERIFY_REQUEST priority;
    std::memset(&priority, 0, sizeof priority);
    FSA_STATUS status = fsa.FsaVerifyContainerGetInfo2(adapterHandle, verify, &priority);
    if (status == FSA_STS_SUCCESS)
        dataScrubRate = scrubRateOf(faGetLe32(priority.bytes + 4));
    else
        status = fsa.FsaVerifyContainerGetInfo(adapterHandle, verify);
    if (status == FSA_STS_SUCCESS && verify[0] != 0)
        dataScrubbingActive = true;
    dataScrubErrCount = 0;
    dataScrubFixedErrCount = 0;

    fsa.FsaGetPCIIds(adapterHandle, pciIds);
    pciVendorID = pciIds[0];
    pciDeviceID = pciIds[1];
    pciSubVendorID = pciIds[2];
    pciSubDeviceID = pciIds[3];
    versionMatchStatus = 2;

    status = fsa.FsaGetContainerOptions(adapterHandle, &containerOptions);
    if (status != FSA_STS_SUCCESS) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::API, "FsaGetContainerOptions()", static_cast<int>(status));
        if (ret != nullptr)
            ret->setApiError(status);
    }
    maxRaid1EMembers = faGetLe32(containerOptions.bytes + kMaxRaid1EMembersAt);
    maxRaid5EEMembers = faGetLe32(containerOptions.bytes + kMaxRaid5EEMembersAt);
    maxRaid6Members = faGetLe32(containerOptions.bytes + kMaxRaid6MembersAt);

    uint32_t flags = 0;
    status = fsa.FsaGetAutomaticFailover(adapterHandle, &flags);
    if (status == FSA_STS_SUCCESS) {
        autoFailoverEnabled = (flags & kAutoFailoverOn) != 0;
    } else {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::API, "FsaGetAutomaticFailover()", static_cast<int>(status));
        if (ret != nullptr)
            ret->setApiError(status);
    }
}

void VynAdapter::fsaClose()
{
    if (adapterHandle != nullptr && !reusingFsaHandle)
        fsaExports().FsaCloseAdapter(adapterHandle);
    adapterHandle = nullptr;
    openWord = 0;
    setAdapterStatus(CONTROLLER_STATUS_INACCESSIBLE);
}

bool VynAdapter::isFsaOpen(Ret* ret)
{
    if (adapterHandle == nullptr)
        fsaOpen(ret);
    return adapterHandle != nullptr;
}

void VynAdapter::openSavedWriteHandle()
{
    delete savedWriteHandle;
    savedWriteHandle = newOrNull<FsaWriteHandleGrabber>(this, nullptr);
    if (savedWriteHandle == nullptr)
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE,
                       "VynAdapter::openSavedWriteHandle(), pSavedWriteHandle==NULL");
}

void VynAdapter::closeSavedWriteHandle()
{
    delete savedWriteHandle;
    savedWriteHandle = nullptr;
}

void* VynAdapter::getSavedWriteHandle() const
{
    return savedWriteHandle != nullptr ? savedWriteHandle->getAdapterRWHandle() : nullptr;
}

void VynAdapter::addLogicalInfo(VynLogicalDriveInfo* info)
{
    logicalInfo.push_back(info);
    if (info != nullptr)
        logicalInfoByNumber.emplace(info->getContainerNumber(), info);
}

VynLogicalDriveInfo* VynAdapter::getLogicalInfoByContainerNum(unsigned long container) const
{
    if (container > 0xFFFFFFFFul)
        return nullptr;
    const auto it = logicalInfoByNumber.find(static_cast<uint32_t>(container));
    if (it == logicalInfoByNumber.end())
        return nullptr;
    if (it->second->getContainerNumber() == container)
        return it->second;
    // The record listed first under this number took another one since:
    // the list decides.
    for (VynLogicalDriveInfo* info : logicalInfo)
        if (info != nullptr && info->getContainerNumber() == container)
            return info;
    return nullptr;
}

int VynAdapter::getLimit(Limit limit) const
{
    switch (static_cast<int>(limit)) {
    case 8:
    case LIMIT_MAX_GLOBAL_SPARES:
        return maxGlobalSpares;
    case 9:
        return static_cast<int>(maxConfiguredDrives);
    case 11:
        return static_cast<int>(maxDedicatedSparesPerLogicalDrive);
    default:
        return Adapter::getLimit(limit);
    }
}
