#include "RaidModel/Implementation/Vyn/VynLogicalDriveInfo.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/os/HostIo.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Progress.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

const char* const kReservedGptType = "E3C9E316-0B5C-4DB8-817D-F92DF00215AE";
const char* const kUnusedGptType = "00000000-0000-0000-0000-000000000000";

// GPT: the header follows the MBR, the entries start two sectors in.
constexpr size_t kGptHeader = 512;
constexpr size_t kGptEntries = 1024;
constexpr uint32_t kGptSignatureLow = 0x20494645;   // "EFI "
constexpr uint32_t kGptSignatureHigh = 0x54524150;  // "PART"
constexpr uint32_t kGptRevision = 0x00010000;
// An entry shorter than its type GUID cannot be read.
constexpr uint32_t kGuidSize = 16;

int gptState(const uint8_t* disk)
{
    const uint8_t* header = disk + kGptHeader;
    if (faGetLe32(header) != kGptSignatureLow || faGetLe32(header + 4) != kGptSignatureHigh ||
        faGetLe32(header + 8) != kGptRevision)
        return 2;
    const uint32_t count = faGetLe32(header + 80);
    const uint32_t entrySize = faGetLe32(header + 84);
    // In 64 bits: a product that wraps 32 bits would pass the bound.
    const uint64_t span = static_cast<uint64_t>(count) * entrySize;
    if (span + kGptEntries > VynLogicalDriveInfo::PARTITION_PROBE_SIZE || (count != 0 && entrySize < kGuidSize))
        return 2;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* g = disk + kGptEntries + static_cast<size_t>(i) * entrySize;
        char text[40];
        std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", g[3],
                      g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
        if (std::strcmp(text, kReservedGptType) != 0 && std::strcmp(text, kUnusedGptType) != 0)
            return 1;
    }
    return 0;
}

}  // namespace

VynLogicalDriveInfo::VynLogicalDriveInfo(const FSA_CONTAINER_INFO_EXTND* source,
                                         const tag_FSA_CONTAINER_PARAMS* params, const tag_FSA_CONTAINER_PARAMS* mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynLogicalDriveInfo::VynLogicalDriveInfo()");
    setFsaInfo(source, params, mode);
}

VynLogicalDriveInfo::~VynLogicalDriveInfo()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynLogicalDriveInfo::~VynLogicalDriveInfo()");
}

void VynLogicalDriveInfo::setFsaInfo(const FSA_CONTAINER_INFO_EXTND* source, const tag_FSA_CONTAINER_PARAMS* params,
                                     const tag_FSA_CONTAINER_PARAMS* mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynLogicalDriveInfo::setFsaInfo()");
    if (params != nullptr)
        std::memcpy(cacheParams, params, PARAMS_SIZE);
    if (mode != nullptr)
        std::memcpy(cacheMode, mode, PARAMS_SIZE);
    if (source != nullptr) {
        // The element count is the firmware's: one beyond what the record
        // can hold would copy past its end.
        const uint32_t elements = std::min(faGetLe32(source->bytes + 260), MAX_ELEMENTS);
        if (record == nullptr || roomElements < elements) {
            std::unique_ptr<uint8_t[]> bigger(new (std::nothrow) uint8_t[COPY_BASE + ELEMENT_SIZE * elements]);
            if (bigger == nullptr)
                return;
            record = std::move(bigger);
            roomElements = elements;
        }
        const size_t size = COPY_BASE + ELEMENT_SIZE * elements;
        std::memcpy(record.get(), source->bytes, size);
        faPutLe32(record.get() + 260, elements);
    }
    UpdateLogicalDrive();
}

void VynLogicalDriveInfo::setLogicalDrive(VynBasicLogicalDrive* newDrive)
{
    drive = newDrive;
    UpdateLogicalDrive();
}

void VynLogicalDriveInfo::setOriginalMorphInfo(const FSA_CONTAINER_INFO_EXTND* source)
{
    if (source == nullptr || record == nullptr)
        return;
    std::memcpy(record.get() + 104, source->bytes + 104, 36);
    std::memcpy(record.get() + 192, source->bytes + 192, 4);
}

namespace {

constexpr size_t kCreationSize = 7;

constexpr uint32_t kPowerEnabled = 0x1;
constexpr uint32_t kPowerStateValid = 0x2;
constexpr uint32_t kFlagCopyback = 0x8;
constexpr uint32_t kFlagImpacted = 0x1000;

constexpr int kSubStateClearing = 6;
constexpr int kSubStateImpacted = 7;
constexpr int kSubStateQuickInit = 8;

bool isSnapshotType(uint32_t type) { return type == 5 || type == 6; }
bool isSecondLevelType(uint32_t extended) { return extended == 26 || extended == 50; }

void copyText(char* to, size_t size, const std::string& text)
{
    std::snprintf(to, size, "%s", text.c_str());
}

}  // namespace

void VynLogicalDriveInfo::setWord(size_t offset, uint32_t value)
{
    if (record != nullptr && offset + 4 <= COPY_BASE + ELEMENT_SIZE * roomElements)
        faPutLe32(record.get() + offset, value);
}

void VynLogicalDriveInfo::setElementAddress(unsigned long i, uint8_t bus, uint8_t target, uint8_t lun)
{
    if (record == nullptr || i >= getNumElements())
        return;
    uint8_t* element = record.get() + FIXED_SIZE + ELEMENT_SIZE * i;
    element[4] = bus;
    element[5] = target;
    element[6] = lun;
}

void VynLogicalDriveInfo::copyBytes(const VynLogicalDriveInfo& other, size_t offset, size_t size)
{
    if (record == nullptr || other.record == nullptr || offset + size > COPY_BASE + ELEMENT_SIZE * roomElements ||
        offset + size > COPY_BASE + ELEMENT_SIZE * other.roomElements)
        return;
    std::memmove(record.get() + offset, other.record.get() + offset, size);
}

bool VynLogicalDriveInfo::powerManagementActive() const
{
    const uint32_t power = word(POWER);
    if (power & kPowerStateValid) {
        const uint32_t state = word(508);
        return state != 0 && state != 1 && state != 5;
    }
    for (HardDrive* member : drive->getHardDriveVector())
        if (member != nullptr && member->getPMState() > 1)
            return true;
    return false;
}

void VynLogicalDriveInfo::UpdateLogicalDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynLogicalDriveInfo::UpdateLogicalDrive()");
    if (drive == nullptr || record == nullptr)
        return;
    VynBasicLogicalDrive& d = *drive;
    VynAdapter* adapter = d.getVynAdapter();
    const std::vector<VynLogicalDriveInfo*>& members = d.getMemberRecords();
    uint8_t* r = record.get();
    const uint32_t type = word(TYPE);

    // A snapshot shows its first member's name, creation and flags.
    if (!members.empty() && isSnapshotType(type) && adapter != nullptr) {
        const VynLogicalDriveInfo* first = adapter->getLogicalInfoByContainerNum(members[0]->getContainerNumber());
        if (first != nullptr && first->record != nullptr) {
            std::memcpy(r + LABEL, first->record.get() + LABEL, LABEL_SIZE);
            std::memcpy(r + CREATION, first->record.get() + CREATION, kCreationSize);
            setWord(FLAGS, word(FLAGS) | first->word(FLAGS));
        }
    }

    d.creationDate.dateValid = 1;
    d.creationDate.month = r[CREATION];
    d.creationDate.day = r[CREATION + 1];
    d.creationDate.year = faGetLe16(r + CREATION + 2);
    d.creationDate.timeValid = 1;
    d.creationDate.hour = r[CREATION + 4];
    d.creationDate.minute = r[CREATION + 5];
    d.creationDate.second = r[CREATION + 6];
    d.creationDate.reserved = 0;

    char label[LABEL_SIZE + 1] = {};
    std::memcpy(label, r + LABEL, LABEL_SIZE);
    RemoveEndWS(label);
    copyText(d.logicalName, sizeof d.logicalName, label);

    d.uniqueID = word(4);
    d.osDiskNumber = static_cast<int>(word(60));
    d.taskPriority = GetTaskPriority();
    d.taskInProgress = word(TASK_IN_PROGRESS) != 0;
    d.bootDrive = word(BOOT) != 0;
    d.forceOnlineFlags = static_cast<int>(word(FORCE_ONLINE));

    const uint32_t power = word(POWER);
    d.pmEnabled = (power & kPowerEnabled) != 0;
    d.pmStandbyTimer = word(496);
    d.pmOffTimer = word(500);
    d.pmVerifyTimer = word(504);
    if (power & kPowerStateValid)
        d.pmState = static_cast<EnumLogicalDevicePMState>(word(508));

    uint32_t chunk = word(CHUNK_SIZE);
    if (!members.empty()) {
        if (type == 2 && isSecondLevelType(word(EXTENDED_TYPE)))
            chunk = members[0]->word(CHUNK_SIZE);
        if (isSnapshotType(type)) {
            const VynLogicalDriveInfo* source = members[0];
            if (isSecondLevelType(source->word(EXTENDED_TYPE)) && members.size() > 1)
                source = members[1];
            chunk = source->word(CHUNK_SIZE);
        }
    }
    d.stripeSize = static_cast<EnumStripeSize>(stripeSizeOf(chunk));

    const bool pmActive = powerManagementActive();
    d.setHasPartitionProperty(static_cast<EnumLogicalDriveHasPartition>(partitionState(pmActive)));

    const uint32_t usage = word(USAGE);
    if ((usage == 12 || usage == 13) && !pmActive && d.unixMountPoint != nullptr)
        copyText(d.unixMountPoint.get(), LogicalDrive::MOUNT_POINT_SIZE, mountPointOf(getDeviceName()));

    if (d.driveLetter != nullptr) {
        std::string letter;
        if (r[DRIVE_LETTER] != 0)
            letter.assign(1, static_cast<char>(r[DRIVE_LETTER]));
        else if (!getDeviceName().empty())
            letter = getDeviceName().substr(0, LogicalDrive::DRIVE_LETTER_SIZE - 1);
        else
            letter = "none";
        copyText(d.driveLetter.get(), LogicalDrive::DRIVE_LETTER_SIZE, letter);
    }

    updateCaches();
    updateStates();
}

void VynLogicalDriveInfo::updateCaches()
{
    VynBasicLogicalDrive& d = *drive;
    VynAdapter* adapter = d.getVynAdapter();
    const auto feature = [&](int code) {
        return adapter != nullptr && adapter->getFeature(static_cast<FeatureEnum>(code)) != 0;
    };
    const bool cache = feature(27);
    const uint32_t readFlags = faGetLe32(cacheParams);
    const uint32_t writeFlags = faGetLe32(cacheParams + 4);
    if (cache) {
        d.readCacheSetting = readFlags != 0 ? 2 : 1;
        d.writeCacheSetting = (writeFlags & 0x1) ? 3 : (writeFlags & 0x2) ? 2 : 1;
    } else {
        d.readCacheSetting = 0;
        d.writeCacheSetting = 0;
    }
    d.writeCacheMode = static_cast<EnumLogicalDriveCacheMode>(
        writeCacheModeOf(faGetLe32(cacheMode + 4), cache, adapter != nullptr ? adapter->getBatStatus() : 0));

    const auto onOff = [&](size_t offset) { return word(offset) != 0 ? 2 : 1; };
    if (feature(270)) {
        d.orvexaPreferredSetting = static_cast<EnumOrvexaPreferredSetting>(onOff(ORVEXA));
        d.orvexaSetting = onOff(ORVEXA + 4);
    } else {
        d.orvexaPreferredSetting = static_cast<EnumOrvexaPreferredSetting>(1);
        d.orvexaSetting = 1;
    }
    if (feature(276)) {
        d.orvexaWriteCachePreferredSetting = static_cast<EnumOrvexaWriteCachePreferredSetting>(onOff(ORVEXA + 8));
        d.orvexaWriteCacheSetting = onOff(ORVEXA + 12);
        const uint8_t policy = record[ORVEXA_POLICY];
        if (policy <= 4)
            d.orvexaWriteCachePolicySetting = static_cast<EnumOrvexaWriteCachePolicySetting>(policy);
    } else {
        d.orvexaWriteCachePreferredSetting = static_cast<EnumOrvexaWriteCachePreferredSetting>(1);
        d.orvexaWriteCacheSetting = 1;
        d.orvexaWriteCachePolicySetting = static_cast<EnumOrvexaWriteCachePolicySetting>(5);
    }
}

void VynLogicalDriveInfo::updateStates()
{
    VynBasicLogicalDrive& d = *drive;
    const uint32_t flags = word(FLAGS);
    if (word(NOT_REDUNDANT) != 0) {
        const EnumLogicalDeviceState state = d.getState();
        const bool suboptimal =
            state == LD_SUBOPTIMAL || state == LD_SUBOPTIMAL_RECONFIGURING || state == LD_SUBOPTIMAL_SYSTEM;
        if (word(INITIALLY_REDUNDANT) != 0 && (flags & FLAG_NO_DEGRADE) == 0 && !suboptimal)
            d.mergeStateProperty(LD_DEGRADED);
        else
            d.setSubState(static_cast<EnumLogicalDeviceSubState>(kSubStateImpacted));
    }
    if (word(UNCONFIG) != 0)
        d.mergeStateProperty(LD_FAILED);
    if (word(QUICK_INIT) != 0)
        d.setSubState(static_cast<EnumLogicalDeviceSubState>(kSubStateQuickInit));
    else if (flags & kFlagImpacted)
        d.setSubState(static_cast<EnumLogicalDeviceSubState>(kSubStateImpacted));
    if (word(TASK_IN_PROGRESS) == 0)
        return;
    Progress progress;
    const Ret ret = d.getProgress(progress);
    if (ret.getReturn() != 0)
        return;
    if (progress.getType() == TASK_TYPE_CLEAR) {
        d.mergeStateProperty(LD_FAILED);
        d.setSubState(static_cast<EnumLogicalDeviceSubState>(kSubStateClearing));
        return;
    }
    if (progress.getType() == TASK_TYPE_REBUILD) {
        const std::vector<VynLogicalDriveInfo*>& members = d.getMemberRecords();
        const uint32_t type = members.empty() ? word(TYPE) : members[0]->word(TYPE);
        if (type != 45)
            d.mergeStateProperty(LD_DEGRADED);
        d.setSubState(static_cast<EnumLogicalDeviceSubState>(kSubStateImpacted));
    }
}

size_t VynLogicalDriveInfo::getCopySize() const
{
    return record == nullptr ? 0 : COPY_BASE + ELEMENT_SIZE * getNumElements();
}

const FSA_CONTAINER_INFO_EXTND* VynLogicalDriveInfo::getContainerInfo() const
{
    // The copy is shorter than the type: readers stay within getCopySize().
    return reinterpret_cast<const FSA_CONTAINER_INFO_EXTND*>(record.get());
}

uint32_t VynLogicalDriveInfo::word(size_t offset) const
{
    if (record == nullptr || offset + 4 > COPY_BASE + ELEMENT_SIZE * roomElements)
        return 0;
    return faGetLe32(record.get() + offset);
}

bool VynLogicalDriveInfo::hasComponent(unsigned long number) const
{
    for (uint32_t i = 0; record != nullptr && i < getNumElements(); ++i)
        if (faGetLe32(getFsaPartition(i)) == number)
            return true;
    return false;
}

EnumPriorityLevel VynLogicalDriveInfo::GetTaskPriority() const
{
    const uint32_t delay = word(76);
    if (delay <= 29)
        return PRIORITY_HIGH;
    return delay <= 79 ? PRIORITY_MEDIUM : PRIORITY_LOW;
}

const uint8_t* VynLogicalDriveInfo::getFsaPartition(unsigned long i) const
{
    if (record == nullptr || i >= getNumElements())
        return nullptr;
    return record.get() + FIXED_SIZE + ELEMENT_SIZE * i;
}

unsigned VynLogicalDriveInfo::getScsiBusNum(unsigned long i) const
{
    const uint8_t* e = getFsaPartition(i);
    return e != nullptr ? e[4] : 0;
}

unsigned VynLogicalDriveInfo::getScsiID(unsigned long i) const
{
    const uint8_t* e = getFsaPartition(i);
    return e != nullptr ? e[5] : 0;
}

unsigned VynLogicalDriveInfo::getScsiLun(unsigned long i) const
{
    const uint8_t* e = getFsaPartition(i);
    return e != nullptr ? e[6] : 0;
}

unsigned long long VynLogicalDriveInfo::getStartBlock(unsigned long i) const
{
    const uint8_t* e = getFsaPartition(i);
    return e != nullptr ? faGetLe64(e + 12) / 512 : 0;
}

unsigned long long VynLogicalDriveInfo::getNumBlocks(unsigned long i) const
{
    const uint8_t* e = getFsaPartition(i);
    return e != nullptr ? faGetLe64(e + 20) / 512 : 0;
}

std::string VynLogicalDriveInfo::getDeviceName() const
{
    if (record == nullptr)
        return std::string();
    const char* name = reinterpret_cast<const char*>(record.get() + 420);
    return std::string(name, strnlen(name, DEVICE_NAME_CHARS));
}

int VynLogicalDriveInfo::stripeSizeOf(uint32_t chunkBytes)
{
    const uint32_t kb = chunkBytes / 1024;
    for (uint32_t size = 2; size <= 1024; size *= 2)
        if (kb == size)
            return static_cast<int>(kb);
    return 1;
}

int VynLogicalDriveInfo::probePartitions(const char* device)
{
    if (device == nullptr || device[0] == '\0')
        return 0;
    // Zeroed first: a short read must not leave stale bytes to be parsed.
    std::vector<uint8_t> disk(PARTITION_PROBE_SIZE, 0);
    const int fd = hostIo().open(device, O_RDONLY);
    if (fd < 0)
        return 0;
    size_t got = 0;
    while (got < disk.size()) {
        const ssize_t n = hostIo().read(fd, disk.data() + got, disk.size() - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    hostIo().close(fd);
    if (got == 0 || disk[510] != 0x55 || disk[511] != 0xAA)
        return 0;
    bool protective = false;
    bool typed = false;
    for (size_t at : {450u, 466u, 482u, 498u}) {
        protective = protective || disk[at] == 0xEE;
        typed = typed || disk[at] != 0;
    }
    if (!protective)
        return typed ? 1 : 0;
    return gptState(disk.data());
}

int VynLogicalDriveInfo::partitionState(bool powerManagementActive) const
{
    const uint32_t flags = word(480);
    if (flags & 0x200)
        return (flags & 0x400) ? 1 : (flags & 0x800) ? 2 : 0;
    // A disk in use by the firmware, asleep, or beyond the host's view is
    // left alone.
    if (word(40) == 3 || powerManagementActive || getContainerNumber() > 63)
        return 2;
    return probePartitions(getDeviceName().c_str());
}

std::string VynLogicalDriveInfo::mountPointOf(const std::string& device)
{
    FILE* mtab = hostIo().fopen("/etc/mtab", "r");
    if (mtab == nullptr)
        return "unknown";
    if (device.empty()) {
        std::fclose(mtab);
        return "empty";
    }
    std::string search = device.substr(0, DEVICE_NAME_CHARS);
    const size_t rdsk = search.find("rdsk");
    if (rdsk != std::string::npos)
        search.replace(rdsk, 4, "dsk");

    std::string result = "none";
    std::vector<char> block(8192 + 1);
    bool readAny = false;
    size_t n;
    while (result == "none" && (n = std::fread(block.data(), 1, block.size() - 1, mtab)) > 0) {
        readAny = true;
        block[n] = '\0';
        for (size_t pos = 0; pos < n;) {
            const char* hit = std::strstr(block.data() + pos, search.c_str());
            if (hit != nullptr) {
                char mount[MOUNT_POINT_SIZE] = {};
                if (std::sscanf(hit, "%*s %127s", mount) == 1)
                    result = mount;
                break;
            }
            pos += std::strlen(block.data() + pos) + 1;
        }
    }
    const bool failed = std::ferror(mtab) != 0;
    std::fclose(mtab);
    if (failed && !readAny)
        return "unknown";
    return result;
}

int VynLogicalDriveInfo::writeCacheModeOf(uint32_t w, bool cacheSupported, int batteryStatus)
{
    if (!cacheSupported)
        return 0;
    if ((w & 0x3) == 0)
        return 1;
    if (w & 0x1) {
        const bool batteryCovers = batteryStatus == 1 || batteryStatus == 2 || batteryStatus == 3 ||
                                   batteryStatus == 4 || batteryStatus == 6;
        return (w & 0x8) || batteryCovers ? 1 : 2;
    }
    return 2;
}

void VynLogicalDriveInfo::writeTo(Writer* writer) const
{
    if (writer == nullptr || record == nullptr)
        return;
    const uint8_t* r = record.get();
    auto b = [&](const char* name, size_t offset) { writer->writeBool(name, word(offset) != 0); };
    auto u = [&](const char* name, size_t offset) { writer->writeUInt(name, word(offset)); };
    auto i = [&](const char* name, size_t offset) { writer->writeInt(name, static_cast<int>(word(offset))); };
    u("fsaUID", 4);
    u("fsaContainerNum", 0);
    i("fsaContainerType", 28);
    i("fsaExtendedContainerType", 32);
    i("fsaMirrorStatus", 36);
    i("fsaContainerUsage", 40);
    b("fsaNotConfigured", 44);
    b("fsaReadOnly", 48);
    b("fsaLocked", 52);
    std::string letter;
    if (r[56] != 0)
        letter.assign(1, static_cast<char>(r[56]));
    else if (!getDeviceName().empty())
        letter = getDeviceName();
    else
        letter = "none";
    writer->writeString("fsaDriveLetter", letter.c_str());
    i("fsaDiskNumber", 60);
    i("fsaContainerDelay", 76);
    i("fsaCreationSerialNumber0", 80);
    i("fsaCreationSerialNumber1", 84);
    writer->writeInt("fsaCreationMonth", r[88]);
    writer->writeInt("fsaCreationDay", r[89]);
    writer->writeInt("fsaCreationYear", faGetLe16(r + 90));
    writer->writeInt("fsaCreationHour", r[92]);
    writer->writeInt("fsaCreationMinute", r[93]);
    writer->writeInt("fsaCreationSecond", r[94]);
    writer->writeInt("fsaCreationMethod", r[95]);
    u("fsaChunkSize", 96);
    i("fsaMorphStatus", 100);
    u("fsaSpecialFlagMask", 220);
    b("fsaSlaveHalfOfMirror", 176);
    b("fsaTaskInProgress", 192);
    u("fsaCreationBuildNumber", 208);
    b("fsaRaid5IsNotRedundant", 236);
    b("fsaUsedAsBootContainer", 240);
    b("fsaFileSysCanBeExpanded", 244);
    b("fsaPartitionNotTakeUpFullDisk", 248);
    b("fsaRaid5InitiallyRedundant", 252);
    b("fsaOrphanMorph", 256);
    b("fsaUsedAsSystemContainer", 416);
    b("fsaContainerIsQuickInit", 472);
    b("fsaContainerIsUnconfig", 476);
    u("fsaContainerFlags", 480);
    u("fsaBadStripeCount", 484);
    u("fsaNumberOfElements", 260);
    // The copy-back flag and the RAID-5EE state are the attached drive's;
    // without one the state is unset.
    VynAdapter* adapter = drive != nullptr ? drive->getVynAdapter() : nullptr;
    if (adapter != nullptr && adapter->getFeature(static_cast<FeatureEnum>(40)) != 0)
        writer->writeBool("copybackInProgress", (word(480) & kFlagCopyback) != 0);
    const bool raid5EE = adapter != nullptr && adapter->getFeature(static_cast<FeatureEnum>(6)) != 0 &&
                         drive->getRaidLevel() == RAID_LEVEL_5EE;
    writer->writeInt("Raid5EEState", raid5EE ? drive->getRaid5EEState() : 0x7FFFFFFF);
    writer->writeUInt("fsaReadCacheFlags", faGetLe32(cacheParams));
    writer->writeUInt("fsaWriteCacheFlags", faGetLe32(cacheParams + 4));
}
