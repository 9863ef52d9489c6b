#include "cli/ReportPrinters.h"

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/SASConnector.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/FilterCollection.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "cli/ArgParse.h"
#include "cli/DisplayTexts.h"
#include "cli/Engine.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr std::size_t XML_NAME_MAX = 48;
constexpr std::size_t XML_VALUE_MAX = 78;
const char* const DEVICE_ID_LABEL = "deviceID(T:L) ............................";

// ---- label and value lines of the GETCONFIG reports ---------------------

constexpr unsigned long UNSET_ID = 0x7FFFFFFF;
constexpr int MIB_SHIFT = 20;

void printLabelValue(int indent, const char* label, const char* value)
{
    char layout[GETCONFIG_LABEL_WIDTH];
    myprintf(CONFIGOUT, "%s: %s\n", getFormattedString(indent, label, GETCONFIG_LABEL_WIDTH, layout),
             value);
}

void printLine(const char* label, const char* value)
{
    printLabelValue(1, label, value);
}

void printLabelValueV(int indent, const char* label, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));
void printLabelValueV(int indent, const char* label, const char* format, va_list args)
{
    char value[256];
    std::vsnprintf(value, sizeof(value), format, args);
    printLabelValue(indent, label, value);
}

void printLinef(const char* label, const char* format, ...) __attribute__((format(printf, 2, 3)));
void printLinef(const char* label, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printLabelValueV(1, label, format, args);
    va_end(args);
}

const char* enabledDisabled(bool on)
{
    return on ? "Enabled" : "Disabled";
}

const char* yesNo(bool on)
{
    return on ? "Yes" : "No";
}

void printSectionTitle(const char* title)
{
    printSectionRule();
    myprintf(CONFIGOUT, "   %s\n", title);
    printSectionRule();
}

bool hasFeature(Adapter* adapter, FeatureEnum feature)
{
    return adapter->getFeature(feature) != 0;
}

bool isMissingDeviceId(unsigned long deviceID)
{
    return (deviceID & 0xFFFFu) == 0xFFu;
}

// Logical drives at or above this id are members of other drives.
unsigned long topLevelLogicalDriveLimit(Adapter* adapter)
{
    if (adapter->isInstanceOf("VynAdapter"))
        return static_cast<unsigned long>(adapter->getMaxTopLevelLogicalDrives());
    return static_cast<unsigned long>(adapter->getLimit(LIMIT_MAX_LOGICAL_DRIVES)) +
           static_cast<unsigned long>(adapter->getLimit(static_cast<Limit>(12)));
}

int defunctDiskCount(Adapter* adapter)
{
    int count = 0;
    for (HardDrive* drive : adapter->getAllHardDrives()) {
        if (drive->getState() == PD_FAILED && !isMissingDeviceId(drive->getDeviceID()))
            ++count;
    }
    return count;
}

void printLogicalDriveCounts(Adapter* adapter)
{
    const unsigned long limit = topLevelLogicalDriveLimit(adapter);
    int total = 0;
    int failed = 0;
    int degraded = 0;
    for (LogicalDrive* drive : adapter->getAllLogicalDrives()) {
        if (drive->getLogicalDriveID() >= limit)
            continue;
        ++total;
        const int state = drive->getState();
        if (state == LD_FAILED)
            ++failed;
        else if (state == LD_DEGRADED || (state >= LD_DEGRADED_RECONFIGURING && state <= LD_SUBOPTIMAL_SYSTEM))
            ++degraded;
    }
    printLinef("Logical devices/Failed/Degraded", "%d/%d/%d", total, failed, degraded);
}

void printStayAwake(Adapter* adapter)
{
    if (!adapter->isPMStayAwakeMainEnabled()) {
        printLine("Stayawake period", "Disabled");
        return;
    }
    printLine("Stayawake period", "Enabled");
    char text[DAY_TEXT_SIZE];
    printLine("Stayawake period start(HHMM)", stayawakeTimeString(adapter->getPMStayAwakeStart(), text));
    printLine("Stayawake period end(HHMM)", stayawakeTimeString(adapter->getPMStayAwakeEnd(), text));
    printLine("Stayawake is enabled on following days",
              stayawakeDayString(static_cast<unsigned char>(adapter->getPMStayAwakeDays() & 0xFFu), text));
}

void printOrvexaSettings(Adapter* adapter)
{
    const bool orvexa = hasFeature(adapter, featOrvexaSupport);
    if (orvexa) {
        printLinef("SSDs assigned to Orvexa pool", "%d", static_cast<int>(adapter->getNumOrvexaAssignedDrives()));
        printLinef("Maximum SSDs allowed in Orvexa pool", "%d",
                   static_cast<int>(adapter->getMaxNumOrvexaAssignedDrives()));
    }
    if (adapter->iSOrvexaReadCachePoolSizeSupported()) {
        const double gib = static_cast<double>(adapter->getOrvexaReadCachePoolSize()) * 512.0 /
                           static_cast<double>(1ull << 30);
        printLinef("Orvexa Read Cache Pool Size", "%.3f GB", gib);
    }
    if (hasFeature(adapter, featOrvexaFlushAndFetchRate))
        printLinef("Orvexa flush and fetch rate", "%d", static_cast<int>(adapter->getOrvexaFlushAndFetchRate()));
    if (hasFeature(adapter, featOrvexaRWFactor))
        printLinef("Orvexa Read, Write Balance Factor", "%d,%d", static_cast<int>(adapter->getOrvexaReadFactor()),
                   static_cast<int>(adapter->getOrvexaWriteFactor()));
    if (orvexa && hasFeature(adapter, featOrvexaWriteCacheSupport))
        printLinef("Orvexa Dirty Page Threshold", "%d", static_cast<int>(adapter->getDirtyPageThresholdValue()));
}

const char* batteryStatusText(int status)
{
    switch (status) {
    case 4:
        return "Not Installed";
    case 5:
        return "Optimal";
    case 6:
        return "Failed";
    case 7:
        return "Charging";
    case 8:
        return "Discharging";
    case 9:
        return "Maintenance mode";
    case 10:
        return "Charging disabled";
    default:
        return "Unknown";
    }
}

// ---- logical drives ---------------------------------------------------------

bool isTwoLevelRaid(int level)
{
    switch (level) {
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 17:
    case 19:
        return true;
    default:
        return false;
    }
}

bool hasStripeUnit(int level)
{
    return level != 1 && level != 13 && level != 14 && level != 15;
}

const char* cacheEnabledText(int mode)
{
    return (mode == 2 || mode == 3) ? "Enabled" : "Disabled";
}

const char* partitionedText(int hasPartition)
{
    switch (hasPartition) {
    case 0:
        return "No";
    case 1:
        return "Yes";
    default:
        return "Unknown";
    }
}

// The model hangs the extent a dedicated spare holds for a logical drive
// below that drive, beside its members' chunks. The spare stands by; it is
// no member: not a segment, and free to cover the drive.
constexpr int DEDICATED_SPARE_CHUNK_TYPE = 3;

bool isMemberChunk(const Chunk* chunk)
{
    if (static_cast<int>(chunk->getChunkType()) == DEDICATED_SPARE_CHUNK_TYPE)
        return false;
    // A configuration read back from XML carries no chunk types.
    const HardDrive* drive = chunk->getProviderHardDrive();
    return drive == nullptr || drive->getState() != PD_HOT_SPARE;
}

std::vector<HardDrive*> memberDrives(LogicalDrive* drive)
{
    std::vector<HardDrive*> members;
    for (const Chunk* chunk : drive->getHardDriveChunkVector()) {
        HardDrive* member = chunk->getProviderHardDrive();
        if (member != nullptr && isMemberChunk(chunk))
            members.push_back(member);
    }
    return members;
}

// The first of the member chunks with the fewest sectors; null when none.
const Chunk* smallestMemberChunk(LogicalDrive* drive)
{
    const Chunk* smallest = nullptr;
    for (const Chunk* chunk : drive->getHardDriveChunkVector()) {
        if (isMemberChunk(chunk) && (smallest == nullptr || chunk->getNumSector() < smallest->getNumSector()))
            smallest = chunk;
    }
    return smallest;
}

bool isMemberOf(const HardDrive* spare, const std::vector<HardDrive*>& members)
{
    for (const HardDrive* member : members) {
        if (member == spare)
            return true;
    }
    return false;
}

bool spareListHolds(const HardDrive* spare, unsigned long logicalDriveID)
{
    const int* list = spare->getSpareList();
    for (int i = 0; list != nullptr && i < spare->getSpareListSize(); ++i) {
        if (static_cast<unsigned long>(list[i]) == logicalDriveID)
            return true;
    }
    return false;
}

bool spareCovers(HardDrive* spare, LogicalDrive* drive)
{
    switch (static_cast<int>(spare->getSpareType())) {
    case 2:
        return spareListHolds(spare, drive->getLogicalDriveID());
    case 0:
        return spare->getSize() >= drive->getDataSpace64();
    case 1: {
        // The hole is the caller's to free.
        const std::unique_ptr<Chunk> hole(spare->getLargestHole());
        const Chunk* smallest = smallestMemberChunk(drive);
        return hole != nullptr && smallest != nullptr && hole->getNumSector() >= smallest->getNumSector();
    }
    default:
        return false;
    }
}

// The controller's hot spares, not members of the drive, that cover it.
std::vector<HardDrive*> coveringSpares(LogicalDrive* drive)
{
    std::vector<HardDrive*> spares;
    Adapter* adapter = drive->getAdapter();
    if (adapter == nullptr)
        return spares;
    const std::vector<HardDrive*> members = memberDrives(drive);
    for (HardDrive* candidate : adapter->getAllHardDrives()) {
        if (candidate->getState() == PD_HOT_SPARE && !isMemberOf(candidate, members) &&
            spareCovers(candidate, drive))
            spares.push_back(candidate);
    }
    return spares;
}

void printHotSpares(LogicalDrive* drive)
{
    const std::vector<HardDrive*> spares = coveringSpares(drive);
    const int level = drive->getRaidLevel();
    bool covered = !spares.empty() || (level == RAID_LEVEL_5EE && drive->getRaid5EEState() == 0);
    const bool tolerant = hasFaultTolerance(level, drive->getParitySpace64()) != 0;
    printLine("Protected by Hot-Spare", yesNo(tolerant && covered));
    // A drive without redundancy has nothing a spare could rebuild: naming a
    // spare under "No" would read as a contradiction.
    if (!tolerant)
        return;
    for (int dedicated = 0; dedicated < 2; ++dedicated) {
        for (const HardDrive* spare : spares) {
            if ((static_cast<int>(spare->getSpareType()) == 2) != (dedicated == 1))
                continue;
            printLinef(dedicated == 1 ? "Dedicated Hot-Spare" : "Global Hot-Spare", "%d,%d",
                       static_cast<int>(spare->getChannelID()),
                       static_cast<int>(spare->getDeviceID() & 0xFFFFu));
        }
    }
}

bool isSmallestLogicalDriveID(LogicalDrive* drive)
{
    Adapter* adapter = drive->getAdapter();
    if (adapter == nullptr)
        return true;
    for (const LogicalDrive* other : adapter->getAllLogicalDrives()) {
        if (other->getLogicalDriveID() < drive->getLogicalDriveID())
            return false;
    }
    return true;
}

void printBasicLogicalDriveDetails(LogicalDrive* drive)
{
    printLine("Bootable", yesNo(isSmallestLogicalDriveID(drive)));
    printLine("Failed stripes", yesNo(drive->getBadBlockCount() >= 1));
    if (UCLI_DEBUG)
        printLinef("Failed stripe count", "%d", drive->getBadBlockCount());
    if (drive->getSnapshotType() == 1)
        printLine("Snapshot type", "Child");
    else if (drive->getSnapshotType() == 2)
        printLine("Snapshot type", "Parent");
}

void printPowerSettings(LogicalDrive* drive)
{
    printLine("Power settings", enabledDisabled(drive->getPMEnabled()));
    if (!drive->getPMEnabled())
        return;
    char text[TIME_TEXT_SIZE];
    printLine("Slow down after(Minutes)", timeString(drive->getPMStandbyTimer(), text));
    printLine("Power off after(Minutes)", timeString(drive->getPMOffTimer(), text));
    printLine("Verify after(Hours)", timeString(drive->getPMVerifyTimer(), text));
    printLine("Power State", getPMStateDisplayString(drive, drive->getPMState()));
}

void printOrvexaCacheSettings(LogicalDrive* drive)
{
    Adapter* adapter = drive->getAdapter();
    if (adapter == nullptr)
        return;
    if (hasFeature(adapter, featOrvexaSupport)) {
        printLine("Orvexa preferred read cache setting",
                  getOrvexaPreferredSettingString(drive->getOrvexaPreferredSetting()));
        printLine("Orvexa read cache setting", getOrvexaPreferredSettingString(
                                                   static_cast<EnumOrvexaPreferredSetting>(drive->getOrvexaSetting())));
    }
    if (hasFeature(adapter, featOrvexaWriteCacheSupport)) {
        printLine("Orvexa preferred write cache setting",
                  getOrvexaWriteCachePreferredSettingString(drive->getOrvexaWriteCachePreferredSetting()));
        printLine("Orvexa write cache setting",
                  getOrvexaWriteCachePreferredSettingString(
                      static_cast<EnumOrvexaWriteCachePreferredSetting>(drive->getOrvexaWriteCacheSetting())));
        if (static_cast<int>(drive->getOrvexaWriteCachePreferredSetting()) == 2)
            printLine("Orvexa write cache policy",
                      getOrvexaWriteCachePolicySettingString(drive->getOrvexaWriteCachePolicySetting()));
    }
}

const char* chunkStateText(int state)
{
    switch (state) {
    case 0:
        return "Present";
    case 1:
        return "Rebuilding";
    case 2:
        return "Inconsistent";
    default:
        return "Unknown";
    }
}

const SASConnector* connectorOf(const HardDrive* drive)
{
    Adapter* adapter = drive->getAdapter();
    for (unsigned long i = 0; adapter != nullptr && i < adapter->getNumSASConnector(); ++i) {
        const SASConnector* connector = adapter->getSASConnector(i);
        if (connector != nullptr && connector->getChannelID() == static_cast<long>(drive->getChannelID()) &&
            connector->getDevID() == static_cast<long>(drive->getDeviceID()))
            return connector;
    }
    return nullptr;
}

// "(Controller:1,Channel:0,Device:2)" and the longer forms of a member.
std::string memberLocation(const HardDrive* drive)
{
    char text[160];
    // Counted in the id's own unsigned type: an id read from a configuration
    // may be the largest int.
    const int controller = static_cast<int>(drive->getAdapterID() + 1);
    const SASConnector* connector = connectorOf(drive);
    const char* firstName = "Channel";
    const char* secondName = "Device";
    long first = static_cast<long>(drive->getChannelID());
    long second = static_cast<long>(drive->getDeviceID());
    if (connector != nullptr) {
        firstName = "Connector";
        first = connector->getConnectorID();
        second = connector->getLaneID();
    } else if (drive->getEnclosureID() != UNSET_ID && drive->getSlotID() != UNSET_ID) {
        firstName = "Enclosure";
        secondName = "Slot";
        first = static_cast<long>(drive->getEnclosureID());
        second = static_cast<long>(drive->getSlotID());
    }
    int length = std::snprintf(text, sizeof(text), "(%s:%d,%s:%d,%s:%d", "Controller", controller, firstName,
                               static_cast<int>(first), secondName, static_cast<int>(second));
    if (drive->getSataPortMultiplierNumber() != PhysicalDevice::UNSET && length > 0 &&
        static_cast<std::size_t>(length) < sizeof(text)) {
        length += std::snprintf(text + length, sizeof(text) - static_cast<std::size_t>(length), ",%s:%d,%s:%d",
                                "Port Multiplier", drive->getSataPortMultiplierNumber(), "Port",
                                drive->getSataPortNumber());
    }
    return std::string(text) + ")";
}

void printSegment(const char* label, const Chunk* chunk)
{
    const HardDrive* member = chunk->getPhysicalDevice();
    if (member == nullptr || isMissingDeviceId(member->getDeviceID()) || member->getState() == PD_FAILED) {
        printLine(label, "Missing");
        return;
    }
    printLinef(label, "%s %s %s", chunkStateText(chunk->getChunkState()), memberLocation(member).c_str(),
               member->getSerialNumber());
}

// ---- enclosures -------------------------------------------------------------

constexpr int DEVICE_LABEL_INDENT = 3;

void printDeviceLine(const char* label, const char* value)
{
    printLabelValue(DEVICE_LABEL_INDENT, label, value);
}

void printDeviceLinef(const char* label, const char* format, ...) __attribute__((format(printf, 2, 3)));
void printDeviceLinef(const char* label, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printLabelValueV(DEVICE_LABEL_INDENT, label, format, args);
    va_end(args);
}

bool isOneOf(const char* text, std::initializer_list<const char*> choices)
{
    for (const char* choice : choices) {
        if (std::strcmp(text, choice) == 0)
            return true;
    }
    return false;
}

bool isSun(const PhysicalDevice* device)
{
    return std::strcmp(device->getVendor(), "SUN") == 0;
}

bool isSunJ4200(const PhysicalDevice* device)
{
    return isSun(device) && isOneOf(device->getModel(), {"Storage J4200", "StorageTek J4200"});
}

bool isSunJ4400(const PhysicalDevice* device)
{
    return isSun(device) && isOneOf(device->getModel(), {"Storage J4400", "StorageTek J4400"});
}

bool isSunJ4500(const PhysicalDevice* device)
{
    return isSun(device) && isOneOf(device->getModel(), {"Storage J4500", "ST4500", "ST J4500"});
}

int channelTypeOf(const PhysicalDevice* device)
{
    const Channel* channel = device->getChannel();
    return channel != nullptr ? static_cast<int>(channel->getChannelType()) : -1;
}

void printDeviceHeading(const PhysicalDevice* device, int index, const char* article, const char* what)
{
    const int number = index < 0 ? static_cast<int>(device->getDeviceID()) : index;
    myprintf(CONFIGOUT, "      Device #%d\n", number);
    myprintf(CONFIGOUT, "         Device is %s %s\n", article, what);
}

void printReportedChannelDevice(const PhysicalDevice* device)
{
    const unsigned deviceID = static_cast<unsigned>(device->getDeviceID());
    int upper = 0;
    const int lower = devID2TL(deviceID, &upper);
    printDeviceLinef("Reported Channel,Device(T:L)", "%d,%d(%d:%d)", static_cast<int>(device->getChannelID()),
                     static_cast<int>(deviceID), lower, upper);
}

void printSES2EnclosureID(const SES2EnclosureDevice* enclosure)
{
    const int id = static_cast<int>(enclosure->getEnclosureID());
    if (isSunJ4500(enclosure))
        printDeviceLinef("Enclosure ID", "%d (BaseWWN - %s)", id, enclosure->getWWN());
    else if (isSunJ4200(enclosure) || isSunJ4400(enclosure))
        printDeviceLinef("Enclosure ID", "%d (SysSN - %s)", id, enclosure->getSerialNumber());
    else
        printDeviceLinef("Enclosure ID", "%d", id);
}

// One status line a power supply, numbered from `firstNumber`; `stateText`
// gives the text of supply i.
template <class StateText>
void printPowerSupplies(int supplies, int firstNumber, StateText stateText)
{
    if (UCLI_DEBUG)
        printDeviceLinef("Power Supply Count", "%d", supplies);
    for (int i = 0; i < supplies; ++i) {
        char label[40];
        std::snprintf(label, sizeof(label), "Power supply %d status", i + firstNumber);
        printDeviceLine(label, stateText(static_cast<unsigned short>(i)));
    }
}

void printSES2Elements(SES2EnclosureDevice* enclosure)
{
    const int firstNumber = isSun(enclosure) ? 0 : 1;
    const int fans = enclosure->getFanCount();
    if (UCLI_DEBUG)
        printDeviceLinef("Fan Count", "%d", fans);
    if (isSunJ4200(enclosure) || isSunJ4400(enclosure) || isSunJ4500(enclosure)) {
        printSUNEnclFanStatus(enclosure, fans);
    } else {
        for (int i = 0; i < fans; ++i) {
            char label[32];
            std::snprintf(label, sizeof(label), "Fan %d status", i + 1);
            printDeviceLine(label, getSES2State(static_cast<unsigned short>(
                                       enclosure->getFanStatus(static_cast<unsigned short>(i)))));
        }
    }
    printPowerSupplies(enclosure->getPowerSupplyCount(), firstNumber, [enclosure](unsigned short i) {
        return getSES2State(static_cast<unsigned short>(enclosure->getPowerSupplyStatus(i)));
    });
    const int sensors = enclosure->getTempSensorCount();
    for (int i = 0; i < sensors; ++i) {
        char label[48];
        std::snprintf(label, sizeof(label), "Temperature Sensor Status %d", i + firstNumber);
        printDeviceLine(label, getSES2TempSensorState(static_cast<unsigned short>(
                                   enclosure->getTempSensorStatus(static_cast<unsigned short>(i)))));
    }
}

void printSafteElements(const Enclosure* enclosure)
{
    const int firstNumber = isSun(enclosure) ? 0 : 1;
    const int fans = enclosure->getFanCount();
    if (UCLI_DEBUG)
        printDeviceLinef("Fan Count", "%d", fans);
    for (int i = 0; i < fans; ++i) {
        char label[32];
        std::snprintf(label, sizeof(label), "Fan %d status", i + 1);
        printDeviceLine(label, getSAFTEFanState(enclosure->getFanStatus(static_cast<unsigned short>(i))));
    }
    printPowerSupplies(enclosure->getPowerSupplyCount(), firstNumber, [enclosure](unsigned short i) {
        return getSAFTEPowerSupplyState(enclosure->getPowerSupplyStatus(i));
    });
    printDeviceLine("Temperature status", enclosure->isTempOutOfRange() ? "Abnormal" : "Normal");
}

// ---- physical devices -------------------------------------------------------

constexpr int CHANNEL_TYPE_LOCATED = 5;

bool isEnclosureType(int deviceType)
{
    return deviceType == 3 || deviceType == 13;
}

// The tree keeps a removable drive as a device of peripheral type 0 that is
// not a disk of the controller ("RemovableDrive" in the configuration XML).
bool isRemovableDrive(const PhysicalDevice* device)
{
    return device->isInstanceOf("OtherDevice") && device->getDeviceType() == PHYSICAL_DEVICE_DISK;
}

// The drives holding a failed segment of a logical drive, found in one walk
// for a whole device listing instead of one walk per drive.
using FailedSegmentDrives = std::set<const HardDrive*>;

FailedSegmentDrives drivesWithFailedSegments(Adapter* adapter)
{
    FailedSegmentDrives found;
    if (adapter == nullptr)
        return found;
    FilterCollection logicals(adapter);
    logicals.apply("LogicalDrive", false);
    for (int i = 0; i < logicals.size(); ++i) {
        const LogicalDrive* logical = static_cast<const LogicalDrive*>(logicals.elementAt(i));
        for (const Chunk* chunk : logical->enumerateChunks())
            if (chunk->getChunkState() == CHUNK_STATE_FAILED_SEGMENT && chunk->getProviderHardDrive() != nullptr)
                found.insert(chunk->getProviderHardDrive());
    }
    return found;
}

// `failed` null: the drive's own chunks are looked up.
void printPhysicalDeviceWith(Adapter* adapter, PhysicalDevice* device, int index, const FailedSegmentDrives* failed);

void printDeviceOrEnclosure(Adapter* adapter, PhysicalDevice* device, int index, const FailedSegmentDrives* failed)
{
    if (isEnclosureType(device->getDeviceType()))
        printEnclosure(device, index);
    else
        printPhysicalDeviceWith(adapter, device, index, failed);
}

void printNoDevices()
{
    myprintf(CONFIGOUT, "      No physical drives attached\n");
}

void printHardDriveState(HardDrive* drive, const FailedSegmentDrives* failed)
{
    if (drive->isJBOD())
        printDeviceLine("State", "Online (JBOD)");
    else
        printDeviceLine("State", getPhysicalState(drive->getState()));
    bool failedSegment = false;
    if (failed != nullptr) {
        failedSegment = failed->count(drive) != 0;
    } else {
        for (const Chunk* chunk : drive->getChunks())
            failedSegment = failedSegment || chunk->getChunkState() == CHUNK_STATE_FAILED_SEGMENT;
    }
    if (failedSegment)
        printDeviceLine("Failed logical device segments", "True");
    if (drive->getState() == PD_HOT_SPARE && drive->getSpareType() == SPARE_DEDICATED) {
        const int* list = drive->getSpareList();
        for (int i = 0; list != nullptr && i < drive->getSpareListSize(); ++i)
            printDeviceLinef("Dedicated Spare for", "logical device %d", list[i]);
    }
}

const SES2EnclosureDevice* enclosureHolding(Adapter* adapter, PhysicalDevice* drive)
{
    for (unsigned long i = 0; adapter != nullptr; ++i) {
        SES2EnclosureDevice* enclosure = adapter->getSES2EnclosureDevice(i);
        if (enclosure == nullptr)
            break;
        if (enclosure->getArrayDeviceIndexForDrive(drive) != UNSET_ID)
            return enclosure;
    }
    return nullptr;
}

void printReportedLocation(Adapter* adapter, PhysicalDevice* device)
{
    const HardDrive* drive = device->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(device) : nullptr;
    const SASConnector* connector = drive != nullptr ? connectorOf(drive) : nullptr;
    if (drive != nullptr && drive->getEnclosureID() != UNSET_ID && drive->getSlotID() != UNSET_ID)
        printDeviceLinef("Reported Location", "%s %d, %s %d", "Enclosure", static_cast<int>(drive->getEnclosureID()),
                         "Slot", static_cast<int>(drive->getSlotID()));
    else if (connector != nullptr)
        printDeviceLinef("Reported Location", "%s %d, %s %d", "Connector", static_cast<int>(connector->getConnectorID()),
                         "Device", static_cast<int>(connector->getLaneID()));
    else if (device->getSataPortMultiplierNumber() != PhysicalDevice::UNSET)
        printDeviceLinef("Reported Location", "%s %d, %s %d", "Port Multiplier",
                         device->getSataPortMultiplierNumber(), "Port", device->getSataPortNumber());
    else if (UCLI_DEBUG)
        printDeviceLine("Reported Location", "Unknown");
    if (const SES2EnclosureDevice* enclosure = enclosureHolding(adapter, device))
        printDeviceLinef("Reported ESD(T:L)", "%d,%d", static_cast<int>(enclosure->getChannelID()),
                         static_cast<int>(enclosure->getDeviceID()));
}

void printIdentity(const PhysicalDevice* device)
{
    printDeviceLine("Vendor", device->getVendor());
    printDeviceLine("Model", device->getModel());
    printDeviceLine("Firmware", device->getFirmwareLevel());
    const char* serial = device->getSerialNumber();
    if (serial[0] != '\0' && std::strcmp(serial, "none") != 0)
        printDeviceLine("Serial number", serial);
    if ((device->getWWN0() != 0 || device->getWWN1() != 0) && device->getWWN()[0] == '5')
        printDeviceLine("World-wide name", device->getWWN());
}

void printHardDriveDetails(Adapter* adapter, HardDrive* drive)
{
    printDeviceLinef("Size", "%u MB", static_cast<unsigned>(drive->getSize() / 2048));
    printDeviceLine("Write Cache", getWriteCacheMode(drive));
    const char* fru = drive->getFruNumber();
    printDeviceLine("FRU", fru[0] != '\0' ? fru : "None");
    printDeviceLine("S.M.A.R.T.", getPfa(drive));
    printDeviceLinef("S.M.A.R.T. warnings", "%u", static_cast<unsigned>(drive->getPfaWarn()));
    if (drive->getPMSupportedStates() != 0) {
        printDeviceLine("Power State", getPowerMgtStateString(static_cast<unsigned long>(drive->getPMState())));
        char states[POWER_STATES_TEXT_SIZE] = "";
        printDeviceLine("Supported Power States",
                        getPowerMgtSupportedStatesString(static_cast<unsigned long>(drive->getPMSupportedStates()),
                                                         states));
    }
    if (adapter != nullptr && hasFeature(adapter, featOrvexaSupport)) {
        printDeviceLine("SSD", yesNo(drive->IsNonSpinning()));
        printDeviceLine("Orvexa Capable", yesNo(drive->IsOrvexaCapable()));
        printDeviceLine("Orvexa Assigned", yesNo(drive->IsOrvexaAssigned()));
    }
    if (drive->getInterfaceType() == 1)
        printDeviceLine("NCQ status", getNCQSettingString(drive->IsSataNCQEnabled()));
}

// ---- a tolerant walk over XML text -------------------------------------

struct XmlAttribute {
    std::string name;
    std::string value;
};

// The walk stops at the end of the text or at a control character other than
// 9 to 15, as firmware logs may carry binary garbage after the XML.
bool endsWalk(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u == 0 || (u < 32 && (u < 9 || u > 15)) || u == 127;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Walks `xml` and calls onElement(name, depth, attributes) for each start
// tag. The depth rises at each start tag and falls at each "/" that closes
// an element; declarations and comments are passed over.
template <typename OnElement>
void walkXml(const char* xml, OnElement onElement)
{
    if (xml == nullptr)
        return;
    const char* p = xml;
    int depth = 0;
    while (!endsWalk(*p)) {
        if (*p != '<') {
            ++p;
            continue;
        }
        ++p;
        if (*p == '?' || *p == '!') {
            const char* close = (std::strncmp(p, "!--", 3) == 0) ? "-->" : ">";
            while (!endsWalk(*p) && std::strncmp(p, close, std::strlen(close)) != 0)
                ++p;
            if (endsWalk(*p))
                return;
            p += std::strlen(close);
            continue;
        }
        if (*p == '/') {
            --depth;
            while (!endsWalk(*p) && *p != '>')
                ++p;
            continue;
        }
        ++depth;
        std::string name;
        while (!endsWalk(*p) && !isBlank(*p) && *p != '/' && *p != '>')
            name.push_back(*p++);
        std::vector<XmlAttribute> attributes;
        bool selfClosing = false;
        for (;;) {
            while (isBlank(*p))
                ++p;
            if (endsWalk(*p)) {
                onElement(name, depth, attributes);
                return;
            }
            if (*p == '>') {
                ++p;
                break;
            }
            if (*p == '/') {
                selfClosing = true;
                ++p;
                continue;
            }
            XmlAttribute attribute;
            while (!endsWalk(*p) && !isBlank(*p) && *p != '=' && *p != '>' && *p != '/')
                attribute.name.push_back(*p++);
            while (isBlank(*p))
                ++p;
            if (*p == '=') {
                ++p;
                while (isBlank(*p))
                    ++p;
                if (*p == '"' || *p == '\'') {
                    const char quote = *p++;
                    while (!endsWalk(*p) && *p != quote)
                        attribute.value.push_back(*p++);
                    if (endsWalk(*p)) {
                        onElement(name, depth, attributes);
                        return;
                    }
                    ++p;
                } else {
                    while (!endsWalk(*p) && !isBlank(*p) && *p != '>')
                        attribute.value.push_back(*p++);
                }
            }
            if (attribute.name.empty() && attribute.value.empty()) {
                ++p;  // a stray character inside the tag
                continue;
            }
            attributes.push_back(attribute);
        }
        onElement(name, depth, attributes);
        if (selfClosing)
            --depth;
    }
}

std::string cut(const std::string& text, std::size_t max)
{
    return text.size() > max ? text.substr(0, max) : text;
}

int attributeIndent(int depth)
{
    const int spaces = depth * 3 + 3;
    return spaces > 0 ? spaces : 0;
}

FILE* target(FILE* out)
{
    return out != nullptr ? out : stdout;
}

void printElementTitle(FILE* out, int depth, const std::string& title, int width)
{
    std::vector<char> buffer(static_cast<std::size_t>(width));
    myprintf(out, "\n");
    myprintf(out, "%s\n", getFormattedString(depth, title.c_str(), width, buffer.data()));
}

// ---- statistics display names -------------------------------------------

const char* const controllerLogKeys[] = {"controllerID", "type", "time", "deviceVendor",
                                         "deviceName", "serialNumber", "end"};
const char* const controllerLogNames[] = {"Controller ID", "Type", "Time", "Device vendor",
                                          "Device name", "Serial number", "end"};

const char* const outCmdKeys[] = {"cmdCnt0", "cmdCnt1", "cmdCnt2", "cmdCnt4", "cmdCnt8",
                                  "cmdCnt16", "cmdCnt32", "cmdCnt64", "cmdCnt128",
                                  "cmdCnt256", "cmdCnt512", "end"};
const char* const outCmdNames[] = {"Command count 0", "Command count 1", "Command count 2",
                                   "Command count 4", "Command count 8", "Command count 16",
                                   "Command count 32", "Command count 64", "Command count 128",
                                   "Command count 256", "Command count 512", "end"};

const char* const physicalKeys[] = {"channel", "id", "senseKey4Cnt", "mediumErrCnt",
                                    "parityErrCnt", "linkFailCnt", "abortedCmdCnt",
                                    "smartWarnCnt", "end"};
const char* const physicalNames[] = {"Channel", "Device ID", "Hardware errors", "Medium errors",
                                     "Parity errors", "Link failures", "Aborted commands",
                                     "SMART errors", "end"};

const char* const dramKeys[] = {"dramFullHitReads", "dramWaitHitReads", "dramHybridHitReads",
                                "dramCacheWrites", "dramFlushWaitWrites", "dramCacheFlushes",
                                "end"};
const char* const dramNames[] = {"DRAM cache full hit reads", "DRAM cache fetch/flush wait reads",
                                 "DRAM cache hybrid reads", "DRAM cache full hit writes",
                                 "DRAM cache fetch/flush wait writes", "DRAM cache flushes",
                                 "end"};

const char* const ssdKeys[] = {"ssdHitReads", "ssdHitWrites", "ssdPageUpdates",
                               "ssdPageDirectAllocations", "ssdInvalidationsReplace",
                               "ssdInvalidationsRWBalance", "ssdInvalidationsFSW",
                               "ssdInvalidationsLargeWrite", "ssdInvalidationsOther",
                               "ssdFetches", "ssdFlushes", "ssdCacheValidPages",
                               "ssdCacheDirtyPages", "end"};
const char* const ssdNames[] = {"Read hits", "Write hits", "Updates on writes",
                                "SSD page direct allocations", "Invalidation by replacement",
                                "Invalidation by R/W balance",
                                "SSD invalidations by full stripe size",
                                "Invalidation by large write", "Invalidation by other",
                                "Page fetches", "SSD flushes", "Valid pages",
                                "SSD cache dirty pages", "end"};

const char* const overallSsdKeys[] = {"ssdCachePages", "pagesOnFetchList", "pagesOnDirtyList",
                                      "pagesOnFailedList", "fetchCandidates",
                                      "candidateReplacements", "end"};
const char* const overallSsdNames[] = {"SSD cache size", "Pages on fetch list",
                                       "Pages on dirty list", "Pages on failed list",
                                       "Fetch list candidates", "Candidate replacement", "end"};

const char* const pageHitKeys[] = {"ssdpageshit0", "ssdpageshit1", "ssdpageshit2to3",
                                   "ssdpageshit4to7", "ssdpageshit8to15", "ssdpageshit16to31",
                                   "ssdpageshit32to63", "ssdpageshit64to127",
                                   "ssdpageshit128to255", "ssdpageshit256plus",
                                   "ssdpageshit256to511", "ssdpageshit512to1023",
                                   "ssdpageshit1Kto2047", "ssdpageshit2Kto4095",
                                   "ssdpageshit4Kto9191", "ssdpageshit8Kto16383",
                                   "ssdpageshit16Kto32767", "ssdpageshit32Kplus", "end"};
const char* const pageHitNames[] = {"SSD pages hit 0", "SSD pages hit 1", "SSD pages hit 2 to 3",
                                    "SSD pages hit 4 to 7", "SSD pages hit 8 to 15",
                                    "SSD pages hit 16 to 31", "SSD pages hit 32 to 63",
                                    "SSD pages hit 64 to 127", "SSD pages hit 128 to 255",
                                    "SSD pages hit 256 plus", "SSD pages hit 256 to 511",
                                    "SSD pages hit 512 to 1023", "SSD pages hit 1K to 2047",
                                    "SSD pages hit 2K to 4095", "SSD pages hit 4K to 9191",
                                    "SSD pages hit 8K to 16383", "SSD pages hit 16K to 32767",
                                    "SSD pages hit 32K plus", "end"};

const char* const logicalKeys[] = {"id", "numReads", "numWrites", "ttlBlkRead", "ttlBlkWrite",
                                   "ttlDiskFailures", "pwrMgtState1", "pwrMgtState2", "end"};
const char* const logicalNames[] = {"Logical drive ID", "Overall host reads",
                                    "Overall host writes", "Overall reads in MB",
                                    "Overall writes in MB", "Overall disk failures",
                                    "Power management state1", "Power management state2", "end"};

const char* const uncachedKeys[] = {"uncachedReads", "uncachedWrites", "end"};
const char* const uncachedNames[] = {"Uncached reads", "Uncached writes", "end"};

const char* const controllerStatsKeys[] = {"statsVersion", "secondsSinceLastUpdate", "ldCount",
                                           "pdCount", "maxSectorsPerSec", "maxIOsPerSec",
                                           "configAge", "end"};
const char* const controllerStatsNames[] = {"Statistics version", "Seconds since last update",
                                            "Logical drive count", "Physical device count",
                                            "Max sectors per second", "Max I/O per second",
                                            "Configuration age", "end"};

struct StatsTable {
    const char* element;
    const char* const* keys;
    const char* const* names;
};

// Which element's attributes each table names.
const StatsTable statsTables[] = {
    {"ControllerLog", controllerLogKeys, controllerLogNames},
    {"controllerstats", controllerStatsKeys, controllerStatsNames},
    {"outCmds", outCmdKeys, outCmdNames},
    {"OverallSSDCacheStats", overallSsdKeys, overallSsdNames},
    {"logicaldrivestats", logicalKeys, logicalNames},
    {"physicaldrivestats", physicalKeys, physicalNames},
    {"UncachedIOs", uncachedKeys, uncachedNames},
    {"DRAMCacheStats", dramKeys, dramNames},
    {"SSDCacheStats", ssdKeys, ssdNames},
    {"ssdHitHistogram", pageHitKeys, pageHitNames},
};

const char* const elementTitles[][2] = {
    {"ControllerLog", "Controller log"},
    {"statslog", "Statistics log"},
    {"controllerstats", "Controller statistics"},
    {"OverallSSDCacheStats", "Overall SSD cache statistics"},
    {"logicaldrivestats", "Logical drive statistics"},
    {"CacheStatistics", "Cache statistics"},
    {"UncachedIOs", "Uncached IOs"},
    {"DRAMCacheStats", "DRAM cache statistics"},
};

const char* const histogramPrefixes[][2] = {
    {"cmdTimeUsec", "Inter-IO times (usecs) "},
    {"cmdTimeSec", "Inter-IO times (secs) "},
    {"rCompTimeUsec", "IO completion time reads (usec) "},
    {"wCompTimeUsec", "IO completion time writes (usec) "},
    {"rCmdDisp", "IO displacement reads (sectors) "},
    {"wCmdDisp", "IO displacement writes (sectors) "},
    {"rCmdSize", "IO size reads (sectors) "},
    {"wCmdSize", "IO size writes (sectors) "},
};

std::string elementTitle(const std::string& element)
{
    for (const auto& entry : elementTitles) {
        if (element == entry[0])
            return entry[1];
    }
    return element;
}

std::string statsDisplayName(const std::string& element, const std::string& attribute)
{
    for (const StatsTable& table : statsTables) {
        if (element != table.element)
            continue;
        std::map<std::string, std::string> names;
        repharseStatsData(table.keys, table.names, names);
        const auto found = names.find(attribute);
        if (found != names.end())
            return found->second;
    }
    for (const auto& prefix : histogramPrefixes) {
        if (attribute.compare(0, std::strlen(prefix[0]), prefix[0]) == 0) {
            std::vector<char> text(attribute.begin(), attribute.end());
            text.push_back('\0');
            return replace_str(text.data(), prefix[0], prefix[1]);
        }
    }
    return attribute;
}

// The display name dotted to the attribute column.
std::string dottedLabel(const std::string& name)
{
    char label[APPEND_STR_WIDTH + 1];
    std::snprintf(label, sizeof(label), "%s", name.c_str());
    return append_str(label);
}

}  // namespace

char* getFormattedString(int indent, const char* label, int width, char* buffer)
{
    if (buffer == nullptr || width < 1)
        return buffer;
    const std::size_t room = static_cast<std::size_t>(width - 1);
    std::memset(buffer, ' ', room);
    buffer[room] = '\0';
    const std::size_t column = indent > 0 ? static_cast<std::size_t>(indent) * 3 : 0;
    if (label == nullptr || column >= room)
        return buffer;
    const std::size_t length = strnlen(label, room - column);
    std::memcpy(buffer + column, label, length);
    return buffer;
}

void printSectionRule()
{
    myprintf(CONFIGOUT, "   %s\n", std::string(56, '-').c_str());
}

FILE* setFilePointer(const char* path)
{
    if (path == nullptr)
        return nullptr;
    FILE* file = std::fopen(path, "w");
    if (file != nullptr)
        CONFIGOUT = file;
    return file;
}

void printAdapter(Adapter* adapter)
{
    if (adapter == nullptr)
        return;
    printLine("Controller Status", getAdapterStatus(adapter->getAdapterStatus()));
    if (adapter->getAdapterStatus() != CONTROLLER_STATUS_OPTIMAL)
        return;
    printLine("Channel description", getAdapterChannelType(adapter));
    printLinef("Controller Model", "%s %s", adapter->getDeviceVendor(), adapter->getDeviceName());
    char serial[Adapter::TEXT_SIZE + 1];
    std::snprintf(serial, sizeof(serial), "%.32s", adapter->getSerialNumString());
    toUpper(serial);
    printLine("Controller Serial Number", serial);
    if (static_cast<unsigned long>(adapter->getPhysicalSlot()) != UNSET_ID)
        printLinef("Physical Slot", "%d", adapter->getPhysicalSlot());
    if (hasFeature(adapter, featHeatSensor)) {
        const int celsius = adapter->getHSTemperature();
        // Wider than the reading, which any int of a configuration may be.
        const long long fahrenheit = static_cast<long long>(celsius) * 9 / 5 + 32;
        printLinef("Temperature", "%d C/ %lld F (%s)", celsius, fahrenheit,
                   celsius >= adapter->getHSThresholdHi() ? "Abnormal" : "Normal");
    }
    if (UCLI_DEBUG)
        printLinef("Cache memory", "%u MB", static_cast<unsigned>(adapter->getCacheMemory() >> MIB_SHIFT));
    printLinef("Installed memory", "%u MB", static_cast<unsigned>(adapter->getInstalledMemory() >> MIB_SHIFT));
    printLine("Copyback", enabledDisabled(adapter->IsCopyBackEnabled()));
    printLine("Background consistency check", enabledDisabled(adapter->IsDataScrubbingActive()));
    printLine("Automatic Failover", enabledDisabled(adapter->IsAutoFailoverEnabled()));
    if (hasFeature(adapter, featDefaultLDTaskPriority))
        printLine("Global task priority", getTaskPriority(adapter->getDefaultLDTaskPriority()));
    if (hasFeature(adapter, featPerformanceMode))
        printLine("Performance Mode", getPerfModeString(adapter->getPerformanceMode()));
    printStayAwake(adapter);
    printLinef("Spinup limit internal drives", "%d", static_cast<int>(adapter->getPMSpinupInternalLimit()));
    printLinef("Spinup limit external drives", "%d", static_cast<int>(adapter->getPMSpinupExternalLimit()));
    printLinef("Defunct disk drive count", "%d", defunctDiskCount(adapter));
    printLogicalDriveCounts(adapter);
    printOrvexaSettings(adapter);
    if (adapter->isSataNCQSupported())
        printLine("NCQ status", getNCQSettingString(adapter->isSataNCQEnabled()));
    if (hasFeature(adapter, featAdapterStatsDataCollectionMode))
        printLine("Statistics data collection mode",
                  getStatsDataCollectionModeString(adapter->isStatisticDataCollectionEnabled()));
    printVersions(adapter);
    if (adapter->IsBLBUPresent())
        printBLBU(adapter);
    else if (adapter->getBatStatus() != 3)
        printBattery(adapter);
}

void printVersions(Adapter* adapter)
{
    if (adapter == nullptr)
        return;
    printSectionTitle("Controller Version Information");
    if (!adapter->isInstanceOf("VynAdapter"))
        return;
    printLinef("BIOS", "%s (%u)", adapter->getBiosVersion(), static_cast<unsigned>(adapter->getBiosBuildNum()));
    printLinef("Firmware", "%s (%u)", adapter->getFirmwareVersion(), static_cast<unsigned>(adapter->getFwBuildNum()));
    printLinef("Driver", "%s (%u)", adapter->getDeviceDriverVersion(),
               static_cast<unsigned>(adapter->getDriverBuildNum()));
    printLinef("Boot Flash", "%s (%u)", adapter->getFirmwareBootVersion(),
               static_cast<unsigned>(adapter->getFwBootBuildNum()));
}

void printBattery(Adapter* adapter)
{
    if (adapter == nullptr)
        return;
    printSectionTitle("Controller Battery Information");
    const int status = adapter->getBatStatus();
    printLine("Status", batteryStatusText(status));
    if (status == 4 || status == 6)
        return;
    printLine("Over temperature", yesNo(adapter->IsBatTempWarning()));
    const long long full = adapter->getBatFullCapacity();
    const long long remaining = adapter->getBatRemainingCapacity();
    const long long draw = adapter->getBatCurrentDraw();
    if (UCLI_DEBUG) {
        printLinef("Total capacity", "%u mAmp/hours", static_cast<unsigned>(full));
        printLinef("Capacity remaining", "%u mAmp/hours", static_cast<unsigned>(remaining));
        printLinef("Current draw", "%u mAmp/hours", static_cast<unsigned>(draw / 10));
    }
    long long percent = full == 0 ? 0 : remaining * 100 / full;
    if (percent > 100)
        percent = 100;
    printLinef("Capacity remaining", "%d percent", static_cast<int>(percent));
    const long long minutes = draw == 0 ? 0 : remaining * 10 / draw * 60;
    printLinef("Time remaining (at current draw)", "%d days, %d hours, %d minutes",
               static_cast<int>(minutes / 1440), static_cast<int>(minutes % 1440 / 60),
               static_cast<int>(minutes % 60));
}

void printBLBU(Adapter* adapter)
{
    static const char* const statusTexts[] = {"KVT Status Unknown", "KVT Optimal", "KVT Charging / Not Ready",
                                              "KVT Failed", "KVT not installed"};
    if (adapter == nullptr)
        return;
    printSectionTitle("Controller KVT Information");
    const int status = adapter->getBLBUStatus();
    if (status >= 0 && status <= 4)
        printLine("Status", statusTexts[status]);
}

void printVPD(Adapter*)
{
}

void printLogicalDrive(LogicalDrive* drive)
{
    if (drive == nullptr || drive->getState() == LD_SYSTEM)
        return;
    Adapter* adapter = drive->getAdapter();
    if (adapter != nullptr && adapter->isInstanceOf("VynAdapter") &&
        drive->getLogicalDriveID() >= static_cast<unsigned long>(adapter->getMaxTopLevelLogicalDrives()))
        return;
    const int level = drive->getRaidLevel();
    const bool basic = drive->isInstanceOf("VynBasicLogicalDrive");
    myprintf(CONFIGOUT, "Logical device number %u\n", static_cast<unsigned>(drive->getLogicalDriveID()));
    printLine("Logical device name", drive->getName());
    if (UCLI_DEBUG)
        printLinef("Pool", "%u", static_cast<unsigned>(drive->getArrayID()));
    printLine("RAID level", getRAIDLevelString(drive->getRaidLevel()));
    printLine("Status of logical device", getLogicalState(drive->getState(), drive->getSubState()));
    if (level == RAID_LEVEL_5EE)
        printLine("Status of RAID 5EE", getRaid5EEState(drive->getRaid5EEState()));
    std::string size;
    u64ToString(basic ? drive->getDataSpace64() / 2048 : drive->getDataSpace64(), size);
    printLinef("Size", "%s MB", size.c_str());
    if (hasStripeUnit(level))
        printLinef("Stripe-unit size", "%u KB", static_cast<unsigned>(drive->getStripeSize()));
    if (drive->getReadCacheMode() != 0)
        printLine("Read-cache mode", cacheEnabledText(drive->getReadCacheMode()));
    printOrvexaCacheSettings(drive);
    printLine("Write-cache mode", getWriteCacheMode(drive));
    if (drive->getWriteCacheSetting() != 0)
        printLine("Write-cache setting", cacheEnabledText(drive->getWriteCacheSetting()));
    printLine("Partitioned", partitionedText(drive->getHasPartition()));
    printHotSpares(drive);
    if (basic)
        printBasicLogicalDriveDetails(drive);
    printPowerSettings(drive);
    printVynSegmentStatus(drive);
}

void printVynSegmentStatus(LogicalDrive* drive)
{
    if (drive == nullptr)
        return;
    printSectionTitle("Logical device segment information");
    const bool twoLevel = isTwoLevelRaid(drive->getRaidLevel());
    std::map<unsigned long, int> positionInGroup;
    int segment = 0;
    for (const Chunk* chunk : drive->getHardDriveChunkVector()) {
        if (!isMemberChunk(chunk))
            continue;
        char label[48];
        if (twoLevel) {
            const unsigned long group = chunk->getGroup();
            std::snprintf(label, sizeof(label), "Group %d, Segment %d", static_cast<int>(group),
                          positionInGroup[group]++);
        } else {
            std::snprintf(label, sizeof(label), "Segment %d", segment);
        }
        ++segment;
        printSegment(label, chunk);
    }
}

// Every present device below `root`; `numbered` gives each its place in the
// list, which the SAS listing shows.
void printDevicesBelow(Adapter* adapter, RaidObject* root, bool numbered)
{
    FilterCollection devices(root);
    devices.apply("PhysicalDevice", true);
    const FailedSegmentDrives failed = drivesWithFailedSegments(adapter);
    int printed = 0;
    for (int i = 0; i < devices.size(); ++i) {
        PhysicalDevice* device = static_cast<PhysicalDevice*>(devices.elementAt(i));
        if (isMissingDeviceId(device->getDeviceID()))
            continue;
        printDeviceOrEnclosure(adapter, device, numbered ? i : -1, &failed);
        ++printed;
    }
    if (printed == 0)
        printNoDevices();
}

void printChannel(Adapter* adapter, Channel* channel)
{
    if (channel == nullptr)
        return;
    myprintf(CONFIGOUT, "   Channel #%d:\n", static_cast<int>(channel->getChannelID()));
    if (channel->isInstanceOf("SCSIChannel")) {
        printLabelValue(2, "Transfer Speed", getTransferSpeed(channel->getTransferSpeed()));
        myprintf(CONFIGOUT, "      Initiator at SCSI ID %d\n",
                 static_cast<int>(static_cast<SCSIChannel*>(channel)->getInitiatorID()));
    } else if (channel->isInstanceOf("SATAChannel")) {
        printLabelValue(2, "Transfer Speed", getTransferSpeed(channel->getTransferSpeed()));
    }
    printDevicesBelow(adapter, channel, false);
}

void printSASPhysicalDevices(Adapter* adapter)
{
    if (adapter == nullptr)
        return;
    printDevicesBelow(adapter, adapter, true);
}

void printPhysicalDevice(Adapter* adapter, PhysicalDevice* device, int index)
{
    printPhysicalDeviceWith(adapter, device, index, nullptr);
}

namespace {

void printPhysicalDeviceWith(Adapter* adapter, PhysicalDevice* device, int index, const FailedSegmentDrives* failed)
{
    if (device == nullptr)
        return;
    printDeviceHeading(device, index, "a", isRemovableDrive(device) ? "Removable Media"
                                                                   : getDeviceType(device->getDeviceType()));
    HardDrive* drive = device->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(device) : nullptr;
    if (drive != nullptr)
        printHardDriveState(drive, failed);
    printDeviceLine("Supported", getSupportStatus(device->getUnsupportedDeviceReason()));
    if (device->getEnumeratedNegotiatedSpeed() != PhysicalDevice::UNSET) {
        printDeviceLine("Transfer Speed", device->getState() == PD_FAILED
                                              ? "Failed"
                                              : getTransferSpeed(static_cast<EnumSpeed>(
                                                    device->getEnumeratedNegotiatedSpeed())));
    }
    printReportedChannelDevice(device);
    const bool located = channelTypeOf(device) == CHANNEL_TYPE_LOCATED;
    if (located)
        printReportedLocation(adapter, device);
    if (located && device->getSataPortNumber() != PhysicalDevice::UNSET)
        printDeviceLinef("SATA Port", "%d", device->getSataPortNumber());
    printIdentity(device);
    if (drive != nullptr)
        printHardDriveDetails(adapter, drive);
}

}  // namespace

void printEnclosure(PhysicalDevice* device, int index)
{
    if (device == nullptr)
        return;
    const char* typeText = getDeviceType(device->getDeviceType());
    printDeviceHeading(device, index, "an", typeText);
    if (channelTypeOf(device) == CHANNEL_TYPE_SAS)
        printReportedChannelDevice(device);
    const bool ses2 = device->isInstanceOf("SES2EnclosureDevice");
    if (ses2)
        printSES2EnclosureID(static_cast<SES2EnclosureDevice*>(device));
    printDeviceLine("Type", ses2 ? "SES2" : "SAF-TE");
    printDeviceLine("Vendor", device->getVendor());
    printDeviceLine("Model", device->getModel());
    printDeviceLine("Firmware", device->getFirmwareLevel());
    myprintf(CONFIGOUT, "         Status of %s\n", typeText);
    if (ses2)
        printSES2Elements(static_cast<SES2EnclosureDevice*>(device));
    else if (device->isInstanceOf("Enclosure"))
        printSafteElements(static_cast<Enclosure*>(device));
}

void printSUNEnclFanStatus(PhysicalDevice* device, int fanCount)
{
    static const char* const j4200Fans[] = {"Power Supply Fan 0 left", "Power Supply Fan 1 right", "Fan 0 left ",
                                            "Fan 1 right "};
    static const char* const j4400Fans[] = {"Power Supply Fan 0 left", "Power Supply Fan 1 right",
                                            "Power Supply Fan 2 left", "Power Supply Fan 3 right"};
    static const char* const j4500Fans[] = {"Fan00 FT0", "Fan01 FT1", "Fan02 FT2", "Fan03 FT3", "Fan04 FT4"};
    if (device == nullptr || !device->isInstanceOf("SES2EnclosureDevice"))
        return;
    SES2EnclosureDevice* enclosure = static_cast<SES2EnclosureDevice*>(device);
    const char* const* names = nullptr;
    int nameCount = 0;
    if (isSunJ4200(device)) {
        names = j4200Fans;
        nameCount = 4;
    } else if (isSunJ4400(device)) {
        names = j4400Fans;
        nameCount = 4;
    } else if (isSunJ4500(device)) {
        names = j4500Fans;
        nameCount = 5;
    }
    for (int i = 0; i < fanCount && i < nameCount; ++i) {
        printDeviceLine(names[i], getSES2State(static_cast<unsigned short>(
                                      enclosure->getFanStatus(static_cast<unsigned short>(i)))));
    }
}

int getSlotOffset(int enclosureDeviceId, PhysicalDevice* device)
{
    if (device == nullptr || device->getAdapter() == nullptr)
        return 0;
    Adapter* adapter = device->getAdapter();
    for (unsigned long i = 0;; ++i) {
        SES2EnclosureDevice* enclosure = adapter->getSES2EnclosureDevice(i);
        if (enclosure == nullptr)
            return 0;
        if (static_cast<int>(enclosure->getDeviceID()) == enclosureDeviceId)
            return (isSunJ4200(enclosure) || isSunJ4400(enclosure)) ? 1 : 0;
    }
}

void printXML(const char* xml, FILE* out)
{
    out = target(out);
    walkXml(xml, [out](const std::string& name, int depth, const std::vector<XmlAttribute>& attributes) {
        printElementTitle(out, depth, name, XML_ELEMENT_WIDTH);
        for (const XmlAttribute& attribute : attributes) {
            const int indent = attributeIndent(depth);
            if (attribute.name == "deviceID") {
                const unsigned long id = std::strtoul(attribute.value.c_str(), nullptr, 10);
                const unsigned deviceId = static_cast<unsigned>(id);
                int upper = 0;
                const int lower = devID2TL(deviceId, &upper);
                myprintf(out, "%*s%s %d(%d:%d)\n", indent, "", DEVICE_ID_LABEL,
                         static_cast<int>(deviceId), lower, upper);
                continue;
            }
            std::string label = cut(attribute.name, XML_NAME_MAX) + " ";
            if (label.size() < APPEND_STR_WIDTH)
                label.append(APPEND_STR_WIDTH - label.size(), '.');
            myprintf(out, "%*s%s %s\n", indent, "", label.c_str(),
                     cut(attribute.value, XML_VALUE_MAX).c_str());
        }
    });
}

void printStatisticsData(const char* xml, FILE* out)
{
    out = target(out);
    walkXml(xml, [out](const std::string& name, int depth, const std::vector<XmlAttribute>& attributes) {
        printElementTitle(out, depth, elementTitle(name), XML_ATTRIBUTE_WIDTH);
        char layout[XML_ATTRIBUTE_WIDTH];
        for (const XmlAttribute& attribute : attributes) {
            const int indent = attributeIndent(depth);
            if (attribute.name == "handle") {
                myprintf(out, "%*s%s %s\n", indent, "",
                         getFormattedString(0, "", XML_ATTRIBUTE_WIDTH, layout), "");
                continue;
            }
            const std::string label = dottedLabel(statsDisplayName(name, attribute.name));
            myprintf(out, "%*s%s %s\n", indent, "",
                     getFormattedString(0, label.c_str(), XML_ATTRIBUTE_WIDTH, layout),
                     cut(attribute.value, XML_VALUE_MAX).c_str());
        }
    });
}

void repharseStatsData(const char* const* keys, const char* const* names,
                       std::map<std::string, std::string>& map)
{
    if (keys == nullptr || names == nullptr)
        return;
    for (std::size_t i = 0; keys[i] != nullptr && std::strcmp(keys[i], "end") != 0; ++i) {
        if (names[i] == nullptr || std::strcmp(names[i], "end") == 0)
            break;
        map[keys[i]] = names[i];
    }
}
