#include "RaidModel/Interface/LogicalDrive.h"

#include <cstring>
#include <strings.h>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

constexpr unsigned long LOGICAL_DRIVE_ATTRIBUTE_ENTRIES = 64;
constexpr unsigned int MB_SHIFT = 11;

char* newText(unsigned size, const char* initial)
{
    char* text = new char[size]();
    if (text != nullptr && initial != nullptr) {
        std::strncpy(text, initial, size - 1);
    }
    return text;
}

void copyText(std::unique_ptr<char[]>& to, const std::unique_ptr<char[]>& from, unsigned size)
{
    if (to != nullptr && from != nullptr) {
        std::memcpy(to.get(), from.get(), size);
    }
}

}  // namespace

void LogicalDrive::allocateTexts()
{
    driveLetter.reset(newText(DRIVE_LETTER_SIZE, nullptr));
    unixMountPoint.reset(newText(MOUNT_POINT_SIZE, "none"));
    secondaryLogicals.reset(newText(SECONDARY_LOGICALS_SIZE, nullptr));
}

void LogicalDrive::copyTexts(const LogicalDrive& other)
{
    copyText(driveLetter, other.driveLetter, DRIVE_LETTER_SIZE);
    copyText(unixMountPoint, other.unixMountPoint, MOUNT_POINT_SIZE);
    copyText(secondaryLogicals, other.secondaryLogicals, SECONDARY_LOGICALS_SIZE);
}

LogicalDrive::LogicalDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "LogicalDrive::LogicalDrive()");
    allocateTexts();
}

LogicalDrive::LogicalDrive(Adapter* adapter, Array* array, unsigned long logicalDriveID, EnumLogicalDeviceState state,
                           EnumRaidLevel raidLevel, unsigned long long dataSpace, unsigned long long paritySpace,
                           bool blockedAccess, EnumLogicalDriveCacheMode writeCacheMode, bool lastDriveInArray,
                           bool OSPartition)
    : adapter(adapter),
      array(array),
      state(state),
      raidLevel(raidLevel),
      dataSpace(dataSpace),
      paritySpace(paritySpace),
      blockedAccess(blockedAccess),
      writeCacheMode(writeCacheMode),
      lastDriveInArray(lastDriveInArray),
      OSPartition(OSPartition)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "LogicalDrive::LogicalDrive(Adapter *, Array *, ...)");
    allocateTexts();
    setLogicalDriveID(logicalDriveID);
}

LogicalDrive::LogicalDrive(Adapter* adapter, unsigned long logicalDriveID) : adapter(adapter)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "LogicalDrive::LogicalDrive(Adapter *, STORID_T, ...)");
    allocateTexts();
    setLogicalDriveID(logicalDriveID);
}

LogicalDrive::LogicalDrive(const LogicalDrive& other)
    : RaidObject(),
      adapter(other.adapter),
      array(other.array),
      state(other.state),
      subState(other.subState),
      raidLevel(other.raidLevel),
      dataSpace(other.dataSpace),
      paritySpace(other.paritySpace),
      blockedAccess(other.blockedAccess),
      writeCacheMode(other.writeCacheMode),
      lastDriveInArray(other.lastDriveInArray),
      OSPartition(other.OSPartition),
      hasPartition(other.hasPartition),
      stripeSize(other.stripeSize),
      osDiskNumber(other.osDiskNumber),
      uniqueID(other.uniqueID),
      taskPriority(other.taskPriority),
      taskInProgress(other.taskInProgress),
      snapshotType(other.snapshotType),
      snapshotBUMode(other.snapshotBUMode),
      snapshotBUComplete(other.snapshotBUComplete),
      snapshotPartnerID(other.snapshotPartnerID),
      snapshotCapacityUsed(other.snapshotCapacityUsed),
      bootDrive(other.bootDrive),
      bootable(other.bootable),
      numMissingMembers(other.numMissingMembers),
      readCacheSetting(other.readCacheSetting),
      writeCacheSetting(other.writeCacheSetting),
      morphType(other.morphType),
      morphPartnerID(other.morphPartnerID),
      badBlockCount(other.badBlockCount),
      raid5EEState(other.raid5EEState),
      quickInit(other.quickInit),
      unconfig(other.unconfig),
      readOnly(other.readOnly),
      locked(other.locked),
      forcedOnline(other.forcedOnline),
      createdWithNoBuild(other.createdWithNoBuild),
      forceOnlineFlags(other.forceOnlineFlags),
      pmEnabled(other.pmEnabled),
      pmStandbyTimer(other.pmStandbyTimer),
      pmOffTimer(other.pmOffTimer),
      pmVerifyTimer(other.pmVerifyTimer),
      pmState(other.pmState),
      orvexaPreferredSetting(other.orvexaPreferredSetting),
      orvexaSetting(other.orvexaSetting),
      orvexaWriteCachePreferredSetting(other.orvexaWriteCachePreferredSetting),
      orvexaWriteCacheSetting(other.orvexaWriteCacheSetting),
      orvexaWriteCachePolicySetting(other.orvexaWriteCachePolicySetting)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "LogicalDrive::LogicalDrive(const LogicalDrive &)");
    allocateTexts();
    copyTexts(other);
    setLogicalDriveID(other.getLogicalDriveID());
}

LogicalDrive& LogicalDrive::operator=(const LogicalDrive& other)
{
    if (this == &other) {
        return *this;
    }
    adapter = other.adapter;
    array = other.array;
    setLogicalDriveID(other.getLogicalDriveID());
    state = other.state;
    subState = other.subState;
    raidLevel = other.raidLevel;
    dataSpace = other.dataSpace;
    paritySpace = other.paritySpace;
    blockedAccess = other.blockedAccess;
    writeCacheMode = other.writeCacheMode;
    readCacheSetting = other.readCacheSetting;
    writeCacheSetting = other.writeCacheSetting;
    lastDriveInArray = other.lastDriveInArray;
    OSPartition = other.OSPartition;
    hasPartition = other.hasPartition;
    osDiskNumber = other.osDiskNumber;
    uniqueID = other.uniqueID;
    taskPriority = other.taskPriority;
    taskInProgress = other.taskInProgress;
    snapshotType = other.snapshotType;
    snapshotBUMode = other.snapshotBUMode;
    snapshotBUComplete = other.snapshotBUComplete;
    snapshotPartnerID = other.snapshotPartnerID;
    snapshotCapacityUsed = other.snapshotCapacityUsed;
    stripeSize = other.stripeSize;
    raid5EEState = other.raid5EEState;
    pmEnabled = other.pmEnabled;
    pmStandbyTimer = other.pmStandbyTimer;
    pmOffTimer = other.pmOffTimer;
    pmVerifyTimer = other.pmVerifyTimer;
    pmState = other.pmState;
    orvexaPreferredSetting = other.orvexaPreferredSetting;
    orvexaSetting = other.orvexaSetting;
    orvexaWriteCachePreferredSetting = other.orvexaWriteCachePreferredSetting;
    orvexaWriteCacheSetting = other.orvexaWriteCacheSetting;
    orvexaWriteCachePolicySetting = other.orvexaWriteCachePolicySetting;
    return *this;
}

LogicalDrive::~LogicalDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "LogicalDrive::~LogicalDrive()");
}

bool LogicalDrive::operator==(const LogicalDrive& other) const
{
    return adapter == other.adapter && array == other.array && getLogicalDriveID() == other.getLogicalDriveID() &&
           state == other.state && raidLevel == other.raidLevel && dataSpace == other.dataSpace &&
           paritySpace == other.paritySpace && blockedAccess == other.blockedAccess &&
           writeCacheMode == other.writeCacheMode && lastDriveInArray == other.lastDriveInArray &&
           OSPartition == other.OSPartition;
}

bool LogicalDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "LogicalDrive") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* LogicalDrive::typeName() const
{
    return "LogicalDrive";
}

const char* LogicalDrive::serializedName() const
{
    return "LogicalDrive";
}

// Chunks are sorted by the provider their address names; a device id wins
// over a logical-drive id.
void LogicalDrive::descendantAdded(RaidObject* descendant)
{
    RaidObject::descendantAdded(descendant);
    if (descendant == nullptr || !descendant->isInstanceOf("Chunk")) {
        return;
    }
    Chunk* chunk = static_cast<Chunk*>(descendant);
    if (chunk->getDeviceID() != UNSET) {
        hardDriveChunks.push_back(chunk);
        if (chunk->getProviderHardDrive() != nullptr) {
            hardDrives.push_back(chunk->getProviderHardDrive());
        }
    } else if (chunk->getLogicalDriveID() != UNSET) {
        logicalDriveChunks.push_back(chunk);
        if (chunk->getProviderLogical() != nullptr) {
            logicalDrives.push_back(chunk->getProviderLogical());
        }
    }
}

void LogicalDrive::mergeStateProperty(EnumLogicalDeviceState reported)
{
    const EnumLogicalDeviceState c = state;
    switch (reported) {
    case LD_FAILED:
        state = LD_FAILED;
        break;
    case LD_DEGRADED:
        if (c == LD_RECONFIGURING) {
            state = LD_DEGRADED_RECONFIGURING;
        } else if (c == LD_SYSTEM) {
            state = LD_DEGRADED_SYSTEM;
        } else if (c != LD_FAILED && c != LD_DEGRADED_RECONFIGURING && c != LD_DEGRADED_SYSTEM) {
            state = LD_DEGRADED;
        }
        break;
    case LD_RECONFIGURING:
        if (c == LD_OPTIMAL) {
            state = LD_RECONFIGURING;
        } else if (c == LD_DEGRADED) {
            state = LD_DEGRADED_RECONFIGURING;
        } else if (c == LD_SUBOPTIMAL) {
            state = LD_SUBOPTIMAL_RECONFIGURING;
        }
        break;
    case LD_SYSTEM:
        if (c == LD_OPTIMAL) {
            state = LD_SYSTEM;
        } else if (c == LD_DEGRADED) {
            state = LD_DEGRADED_SYSTEM;
        } else if (c == LD_SUBOPTIMAL) {
            state = LD_SUBOPTIMAL_SYSTEM;
        }
        break;
    case LD_SUBOPTIMAL:
        if (c == LD_NOT_EXISTING || c == LD_OPTIMAL) {
            state = LD_SUBOPTIMAL;
        }
        break;
    default:
        break;
    }
}

void LogicalDrive::setHasPartitionProperty(EnumLogicalDriveHasPartition value)
{
    hasPartition = value;
    OSPartition = value == LD_HAS_PARTITION;
}

Ret LogicalDrive::synchronize() { return Ret(-1); }
Ret LogicalDrive::verify() { return Ret(-1); }
Ret LogicalDrive::rebuild() { return Ret(-1); }
Ret LogicalDrive::getProgress(Progress&) { return Ret(-1); }
Ret LogicalDrive::initialize() { return Ret(-1); }
Ret LogicalDrive::setState(EnumLogicalDeviceState, EnumLogicalDeviceFOCmd, unsigned long) { return Ret(-1); }
Ret LogicalDrive::setBootable(bool) { return Ret(-1); }
Ret LogicalDrive::setCache(EnumLogicalDriveCacheMode, EnumLogicalDriveCacheMode) { return Ret(-1); }
Ret LogicalDrive::initializeLogicalDrive(EnumInitMethod, EnumPriorityLevel) { return Ret(-1); }
Ret LogicalDrive::deleteLogicalDrive() { return Ret(-1); }
Ret LogicalDrive::identifyDevice(bool) { return Ret(-1); }
Ret LogicalDrive::setBlockedAccess(bool) { return Ret(-1); }
Ret LogicalDrive::setTaskPriority(unsigned long, EnumPriorityLevel) { return Ret(-1); }
Ret LogicalDrive::increaseSize(const std::vector<ChunkSpec>&, EnumPriorityLevel) { return Ret(-1); }
Ret LogicalDrive::setStripeSize(EnumStripeSize) { return Ret(-1); }
Ret LogicalDrive::modify(const LogicalDriveSpec&) { return Ret(-1); }
Ret LogicalDrive::setPMEnabled(bool) { return Ret(-1); }
Ret LogicalDrive::setPMTimers(unsigned long, unsigned long, unsigned long) { return Ret(-1); }
Ret LogicalDrive::setOrvexaPreferredCache(EnumOrvexaPreferredSetting) { return Ret(-1); }
Ret LogicalDrive::setPreferredOrvexaWriteCache(EnumOrvexaWriteCachePreferredSetting,
                                               EnumOrvexaWriteCachePolicySetting)
{
    return Ret(-1);
}

Ret LogicalDrive::getProgress(ProgressCollection& out)
{
    Progress progress;
    Ret ret = getProgress(progress);
    if (ret.getReturn() == 0) {
        out.add(progress);
    }
    return ret;
}

Ret LogicalDrive::setName(const char* text)
{
    name = text != nullptr ? text : "";
    return Ret(0);
}

const char* LogicalDrive::getName() const
{
    return name.c_str();
}

namespace {
template <typename T>
T* entryAt(const std::vector<T*>& v, unsigned long i)
{
    return i < v.size() ? v[i] : nullptr;
}
}  // namespace

Chunk* LogicalDrive::getHardDriveChunk(unsigned long i) const { return entryAt(hardDriveChunks, i); }
Chunk* LogicalDrive::getLogicalDriveChunk(unsigned long i) const { return entryAt(logicalDriveChunks, i); }
HardDrive* LogicalDrive::getHardDrive(unsigned long i) const { return entryAt(hardDrives, i); }
HardDrive* LogicalDrive::getAssignedSpare(unsigned long i) const { return entryAt(assignedSpares, i); }
LogicalDrive* LogicalDrive::getLogicalDrive(unsigned long i) const { return entryAt(logicalDrives, i); }

void LogicalDrive::addAssignedSpare(HardDrive* drive)
{
    if (drive == nullptr) {
        return;
    }
    for (const HardDrive* spare : assignedSpares) {
        if (spare->getAddr2() == drive->getAddr2()) {
            return;
        }
    }
    assignedSpares.push_back(drive);
    drive->addAssignedLogical(this);
}

Chunk* LogicalDrive::getSmallestChunk() const
{
    Chunk* smallest = nullptr;
    for (Chunk* chunk : hardDriveChunks) {
        if (smallest == nullptr || chunk->getNumSector() < smallest->getNumSector()) {
            smallest = chunk;
        }
    }
    return smallest;
}

void LogicalDrive::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeInt("state", state);
    writer->writeInt("subState", subState);
    writer->writeInt("raidLevel", raidLevel);
    writer->writeBlockT("dataSpace", dataSpace);
    writer->writeBlockT("paritySpace", paritySpace);
    writer->writeBool("blockedAccess", blockedAccess);
    writer->writeInt("writeCacheMode", writeCacheMode);
    writer->writeBool("lastDriveInArray", lastDriveInArray);
    writer->writeBool("OSPartition", OSPartition);
    writer->writeInt("hasPartition", hasPartition);
    writer->writeInt("stripeSize", stripeSize);
    writer->writeInt("osDiskNumber", osDiskNumber);
    writer->writeULong("uniqueID", uniqueID);
    writer->writeInt("taskPriority", taskPriority);
    writer->writeBool("bTaskInProgress", taskInProgress);
    writer->writeInt("snapshotType", snapshotType);
    if (snapshotType != 0) {
        writer->writeBool("snapshotBUMode", snapshotBUMode);
        writer->writeBool("snapshotBUComplete", snapshotBUComplete);
        writer->writeULong("snapshotPartnerID", snapshotPartnerID);
        writer->writeULong("snapshotCapacityUsed", snapshotCapacityUsed);
    }
    writer->writeInt("raid5EEState", raid5EEState);
    writer->writeInt("numMissingMembers", numMissingMembers);
    if (morphType != LD_MORPH_NONE) {
        writer->writeInt("morphType", morphType);
    }
    if (morphPartnerID != UNSET) {
        writer->writeInt("morphPartnerID", morphPartnerID);
    }
    if (getName() != nullptr) {
        writer->writeString("name", getName());
    }
    if (driveLetter != nullptr) {
        writer->writeString("driveLetter", driveLetter.get());
    }
    if (unixMountPoint != nullptr) {
        writer->writeString("unixMountPoint", unixMountPoint.get());
    }
    writer->writeBool("pmEnabled", pmEnabled);
    writer->writeULong("pmStandbyTimer", pmStandbyTimer);
    writer->writeULong("pmOffTimer", pmOffTimer);
    writer->writeULong("pmVerifyTimer", pmVerifyTimer);
    writer->writeULong("pmState", static_cast<unsigned long>(pmState));
    writer->writeULong("orvexaPreferredSetting", static_cast<unsigned long>(orvexaPreferredSetting));
    writer->writeULong("orvexaSetting", static_cast<unsigned long>(orvexaSetting));
    writer->writeULong("orvexaWriteCachePreferredSetting", static_cast<unsigned long>(orvexaWriteCachePreferredSetting));
    writer->writeULong("orvexaWriteCacheSetting", static_cast<unsigned long>(orvexaWriteCacheSetting));
    writer->writeULong("orvexaWriteCachePolicySetting", static_cast<unsigned long>(orvexaWriteCachePolicySetting));
}

// The saved configuration keeps the size in MB; drives of 2 TiB and more
// need all of it.
void LogicalDrive::writeToXML(Writer* writer) const
{
    RaidObject::writeToXML(writer);
    writer->writeInt("raidLevel", raidLevel);
    writer->writeU64("size", dataSpace >> MB_SHIFT);
    writer->writeString("sizeUnit", "MB");
    writer->writeInt("stripeSize", stripeSize);
    writer->writeInt("taskPriority", taskPriority);
    writer->writeInt("initMethod", 2);
    if (getName() != nullptr) {
        writer->writeString("name", getName());
    }
    writer->writeBool("pmEnabled", pmEnabled);
    writer->writeULong("pmStandbyTimer", pmStandbyTimer);
    writer->writeULong("pmOffTimer", pmOffTimer);
    writer->writeULong("pmVerifyTimer", pmVerifyTimer);
    writer->writeULong("pmState", static_cast<unsigned long>(pmState));
    writer->writeULong("orvexaPreferredSetting", static_cast<unsigned long>(orvexaPreferredSetting));
    writer->writeULong("orvexaSetting", static_cast<unsigned long>(orvexaSetting));
    writer->writeULong("orvexaWriteCachePreferredSetting", static_cast<unsigned long>(orvexaWriteCachePreferredSetting));
    writer->writeULong("orvexaWriteCacheSetting", static_cast<unsigned long>(orvexaWriteCacheSetting));
    writer->writeULong("orvexaWriteCachePolicySetting", static_cast<unsigned long>(orvexaWriteCachePolicySetting));
}

BasicLogicalDrive::BasicLogicalDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "BasicLogicalDrive::BasicLogicalDrive(Adapter *, ...)");
}

BasicLogicalDrive::BasicLogicalDrive(Adapter* adapter, Array* array, unsigned long logicalDriveID,
                                     EnumLogicalDeviceState state, EnumRaidLevel raidLevel,
                                     unsigned long long dataSpace, unsigned long long paritySpace,
                                     bool blockedAccess, EnumLogicalDriveCacheMode writeCacheMode,
                                     bool lastDriveInArray, bool OSPartition)
    : LogicalDrive(adapter, array, logicalDriveID, state, raidLevel, dataSpace, paritySpace, blockedAccess,
                   writeCacheMode, lastDriveInArray, OSPartition)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "BasicLogicalDrive::BasicLogicalDrive(Adapter *, ...)");
}

BasicLogicalDrive::BasicLogicalDrive(Adapter* adapter, SimpleXmlParser& parser)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "BasicLogicalDrive::BasicLogicalDrive(Adapter *, SimpleXmlParser &)");
    this->adapter = adapter;
    getAttributes().setInitElements(LOGICAL_DRIVE_ATTRIBUTE_ENTRIES);
    build(parser);
}

BasicLogicalDrive::~BasicLogicalDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "BasicLogicalDrive::~BasicLogicalDrive()");
}

bool BasicLogicalDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "BasicLogicalDrive") == 0) {
        return true;
    }
    return LogicalDrive::isInstanceOf(name);
}

const char* BasicLogicalDrive::typeName() const
{
    return "BasicLogicalDrive";
}

const char* BasicLogicalDrive::serializedName() const
{
    return "LogicalDrive";
}

// A chunk read under a logical drive lies on the hard drive that carries a
// chunk of the same address; that chunk gets this drive as its consumer.
void BasicLogicalDrive::linkChunkToHardDrives(Chunk* chunk)
{
    if (adapter == nullptr) {
        return;
    }
    std::vector<Adapter::DriveChunk> twins;
    adapter->findDriveChunks(chunk->getAddr2(), twins);
    for (const Adapter::DriveChunk& twin : twins) {
        static_cast<Chunk*>(twin.chunk)->setConsumer(this);
        chunk->setProvider(twin.drive);
    }
}

void BasicLogicalDrive::build(SimpleXmlParser& parser)
{
    int depth = 0;
    try {
        do {
            if (parser.tagIs("LogicalDrive")) {
                if (parser.foundEndTag()) {
                    break;
                }
                if (parser.foundStartTag() && ++depth > 1) {
                    BasicLogicalDrive* member = new BasicLogicalDrive(adapter, parser);
                    if (member == nullptr) {
                        continue;
                    }
                    addChild(member);
                    secondLevelLogicals.push_back(member);
                    for (RaidObject* child : member->getChildren()) {
                        if (child->isInstanceOf("Chunk")) {
                            static_cast<Chunk*>(child)->setConsumer(this);
                            static_cast<Chunk*>(child)->setProvider(member);
                        }
                    }
                    continue;
                }
                if (parser.getName() != nullptr) {
                    getAttributes().Append(parser.getName(), parser.getValue());
                    if (parser.nameIs("logicalDriveID")) {
                        setLogicalDriveID(getAttributes().GetULong("logicalDriveID"));
                    }
                }
            } else if (parser.tagIs("Chunk") && parser.foundStartTag()) {
                Chunk* chunk = new Chunk(nullptr, this, parser);
                if (chunk != nullptr) {
                    linkChunkToHardDrives(chunk);
                    addChild(chunk);
                }
            }
        } while (parser.parseNext());
    } catch (...) {
        // Nothing else owns the children read so far.
        deleteAllChildren();
        throw;
    }
    readAttributes();
}

void BasicLogicalDrive::readAttributes()
{
    const XmlAttributeList_C& a = getAttributes();
    initBaseAttributes();
    if (a.Exists("state")) {
        state = static_cast<EnumLogicalDeviceState>(a.GetLong("state"));
    }
    if (a.Exists("subState")) {
        subState = static_cast<EnumLogicalDeviceSubState>(a.GetLong("subState"));
    }
    if (a.Exists("raidLevel")) {
        raidLevel = static_cast<EnumRaidLevel>(a.GetLong("raidLevel"));
    }
    if (a.Exists("userSizeInput")) {
        userSizeInput = a.GetBool("userSizeInput");
    }
    if (a.Exists("size")) {
        userSize = a.GetU64("size");
    }
    if (a.Exists("sizeUnit")) {
        const char* unit = a.GetValue("sizeUnit");
        userSizeUnit = strcasecmp(unit, "MB") == 0 ? 0 : strcasecmp(unit, "GB") == 0 ? 1 : strcasecmp(unit, "TB") == 0 ? 2 : 3;
    }
    if (a.Exists("dataSpace")) {
        dataSpace = a.GetU64("dataSpace");
    }
    if (a.Exists("paritySpace")) {
        paritySpace = a.GetU64("paritySpace");
    }
    if (a.Exists("blockedAccess")) {
        blockedAccess = a.GetBool("blockedAccess");
    }
    if (a.Exists("writeCacheMode")) {
        writeCacheMode = static_cast<EnumLogicalDriveCacheMode>(a.GetLong("writeCacheMode"));
    }
    if (a.Exists("readCacheMode")) {
        readCacheMode = static_cast<int>(a.GetLong("readCacheMode"));
    }
    if (a.Exists("initMethod")) {
        initMethod = static_cast<EnumInitMethod>(a.GetLong("initMethod"));
    }
    if (a.Exists("writeCacheSetting")) {
        writeCacheSetting = static_cast<int>(a.GetLong("writeCacheSetting"));
    }
    if (a.Exists("readCacheSetting")) {
        readCacheSetting = static_cast<int>(a.GetLong("readCacheSetting"));
    }
    if (a.Exists("lastDriveInArray")) {
        lastDriveInArray = a.GetBool("lastDriveInArray");
    }
    if (a.Exists("OSPartition")) {
        OSPartition = a.GetBool("OSPartition");
    }
    if (a.Exists("hasPartition")) {
        hasPartition = static_cast<EnumLogicalDriveHasPartition>(a.GetLong("hasPartition"));
    }
    if (a.Exists("stripeSize")) {
        stripeSize = static_cast<EnumStripeSize>(a.GetLong("stripeSize"));
    }
    if (a.Exists("osDiskNumber")) {
        osDiskNumber = static_cast<int>(a.GetLong("osDiskNumber"));
    }
    if (a.Exists("uniqueID")) {
        uniqueID = static_cast<std::uint32_t>(a.GetULong("uniqueID"));
    }
    if (a.Exists("taskPriority")) {
        taskPriority = static_cast<int>(a.GetLong("taskPriority"));
    }
    if (a.Exists("bTaskInProgress")) {
        taskInProgress = a.GetBool("bTaskInProgress");
    }
    if (a.Exists("snapshotType")) {
        snapshotType = static_cast<int>(a.GetLong("snapshotType"));
    }
    if (snapshotType != 0) {
        snapshotBUMode = a.GetBool("snapshotBUMode");
        snapshotBUComplete = a.GetBool("snapshotBUComplete");
        snapshotPartnerID = static_cast<std::uint32_t>(a.GetULong("snapshotPartnerID"));
        snapshotCapacityUsed = static_cast<std::uint32_t>(a.GetULong("snapshotCapacityUsed"));
    }
    if (a.Exists("raid5EEState")) {
        raid5EEState = static_cast<int>(a.GetLong("raid5EEState"));
    }
    if (a.Exists("numMissingMembers")) {
        numMissingMembers = static_cast<int>(a.GetLong("numMissingMembers"));
    }
    if (a.Exists("morphType")) {
        morphType = static_cast<EnumLDMorphType>(a.GetLong("morphType"));
    }
    if (a.Exists("morphPartnerID")) {
        morphPartnerID = static_cast<int>(a.GetLong("morphPartnerID"));
    }
    if (a.Exists("name")) {
        setName(a.GetValue("name"));
    }
    if (a.Exists("logicalName")) {
        setName(a.GetValue("logicalName"));
    }
    if (a.Exists("orvexaPreferredSetting")) {
        orvexaPreferredSetting = static_cast<EnumOrvexaPreferredSetting>(a.GetLong("orvexaPreferredSetting"));
    }
    if (a.Exists("orvexaWriteCachePreferredSetting")) {
        orvexaWriteCachePreferredSetting =
            static_cast<EnumOrvexaWriteCachePreferredSetting>(a.GetLong("orvexaWriteCachePreferredSetting"));
    }
    if (a.Exists("readCacheMode")) {
        readCacheMode = static_cast<int>(a.GetULong("readCacheMode"));
    }
    if (a.Exists("orvexaWriteCacheSetting")) {
        orvexaWriteCacheSetting = static_cast<int>(a.GetLong("orvexaWriteCacheSetting"));
    }
    if (a.Exists("orvexaWriteCachePolicySetting")) {
        orvexaWriteCachePolicySetting =
            static_cast<EnumOrvexaWriteCachePolicySetting>(a.GetLong("orvexaWriteCachePolicySetting"));
    }
    if (a.Exists("orvexaSetting")) {
        orvexaSetting = static_cast<int>(a.GetLong("orvexaSetting"));
    }
    if (a.Exists("pmStandbyTimer")) {
        pmStandbyTimer = static_cast<std::uint32_t>(a.GetULong("pmStandbyTimer"));
    }
    if (a.Exists("pmOffTimer")) {
        pmOffTimer = static_cast<std::uint32_t>(a.GetULong("pmOffTimer"));
    }
    if (a.Exists("pmVerifyTimer")) {
        pmVerifyTimer = static_cast<std::uint32_t>(a.GetULong("pmVerifyTimer"));
    }
    if (a.Exists("pmState")) {
        pmState = static_cast<EnumLogicalDevicePMState>(a.GetULong("pmState"));
    }
    if (a.Exists("pmEnabled")) {
        pmEnabled = a.GetBool("pmEnabled");
    }
}
