#include "RaidModel/Interface/HardDrive.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/FilterCollection.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/SASPhy.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

constexpr unsigned long HARD_DRIVE_ATTRIBUTE_ENTRIES = 44;
// A dedicated spare's extent starts past the drive's metadata area.
constexpr unsigned long long SPARE_CHUNK_START = 128;
constexpr int SPARE_CHUNK_TYPE = 3;
constexpr int HOLE_GROUP = 2;

const char* const SPARE_LIST_ERROR = "*** Resource Error: pSpareList = new int[spareListSize]; ***";

bool isTrueText(const XmlAttributeList_C& a, const char* name)
{
    return std::strcmp(a.GetValue(name), "true") == 0;
}

}  // namespace

HardDrive::HardDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "HardDrive::HardDrive()");
}

HardDrive::HardDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, unsigned long long size,
                     EnumPhysicalDeviceState state, char* vendor, char* model, char* serial, char* firmware,
                     bool pfaError, EnumHardDriveCacheMode writeCacheEnable, bool writeCacheEnableSupported,
                     bool selfTestSupported, bool OSPartition, char* fru, bool pfaSupported)
    : PhysicalDevice(adapter, channel, deviceID, PHYSICAL_DEVICE_DISK, vendor, model, serial, firmware, state, fru),
      size(size),
      pfaError(pfaError),
      writeCacheEnable(writeCacheEnable),
      writeCacheEnableSupported(writeCacheEnableSupported),
      selfTestSupported(selfTestSupported),
      OSPartition(OSPartition),
      pfaSupported(pfaSupported)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "HardDrive::HardDrive(Adapter *, ...)");
}

HardDrive::HardDrive(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "HardDrive::HardDrive(Adapter *, Channel *, SimpleXmlParser &)");
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(HARD_DRIVE_ATTRIBUTE_ENTRIES);
    build(parser);
}

HardDrive::HardDrive(const HardDrive& other)
    : PhysicalDevice(other.adapter, other.channel, other.getDeviceID(), PHYSICAL_DEVICE_DISK, other.vendor,
                     other.model, other.serialNumber, other.firmwareLevel, other.state, other.fruNumber),
      size(other.size),
      pfaError(other.pfaError),
      writeCacheEnable(other.writeCacheEnable),
      writeCacheEnableSupported(other.writeCacheEnableSupported),
      selfTestSupported(other.selfTestSupported),
      OSPartition(other.OSPartition),
      pfaSupported(other.pfaSupported),
      pfaEnabled(other.pfaEnabled),
      spareType(other.spareType),
      isCandidateSpare(other.isCandidateSpare),
      jbod(other.jbod),
      enclosureID(other.enclosureID),
      slotID(other.slotID),
      pmState(other.pmState),
      pmSupportedStates(other.pmSupportedStates),
      nonSpinning(other.nonSpinning),
      OrvexaCapable(other.OrvexaCapable),
      OrvexaAssigned(other.OrvexaAssigned),
      sataNCQEnabled(other.sataNCQEnabled),
      ataSecuritySupported(other.ataSecuritySupported)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "HardDrive::HardDrive(const HardDrive &)");
    deviceType = other.deviceType;
    if (other.pSpareList != nullptr && other.spareListSize > 0) {
        pSpareList = new (std::nothrow) int[other.spareListSize];
        if (pSpareList == nullptr) {
            StorErrorPrintf(getStorLibType(), __FILE__, __LINE__, "%s", SPARE_LIST_ERROR);
        } else {
            std::memcpy(pSpareList, other.pSpareList, sizeof(int) * static_cast<std::size_t>(other.spareListSize));
            spareListSize = other.spareListSize;
        }
    }
}

HardDrive& HardDrive::operator=(const HardDrive& other)
{
    if (this == &other) {
        return *this;
    }
    PhysicalDevice::operator=(other);
    size = other.size;
    pfaError = other.pfaError;
    writeCacheEnable = other.writeCacheEnable;
    writeCacheEnableSupported = other.writeCacheEnableSupported;
    selfTestSupported = other.selfTestSupported;
    OSPartition = other.OSPartition;
    pfaSupported = other.pfaSupported;
    pfaEnabled = other.pfaEnabled;
    spareType = other.spareType;
    enclosureID = other.enclosureID;
    slotID = other.slotID;
    jbod = other.jbod;
    return *this;
}

HardDrive::~HardDrive()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "HardDrive::~HardDrive()");
    delete[] pSpareList;
    pSpareList = nullptr;
    spareListSize = 0;
    for (LogicalDrive* placeholder : placeholders) {
        delete placeholder;
    }
}

bool HardDrive::operator==(const HardDrive& other) const
{
    return PhysicalDevice::operator==(other) && size == other.size && pfaError == other.pfaError &&
           writeCacheEnable == other.writeCacheEnable && writeCacheEnableSupported == other.writeCacheEnableSupported &&
           selfTestSupported == other.selfTestSupported && OSPartition == other.OSPartition;
}

bool HardDrive::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "HardDrive") == 0) {
        return true;
    }
    return PhysicalDevice::isInstanceOf(name);
}

const char* HardDrive::typeName() const
{
    return "HardDrive";
}

const char* HardDrive::serializedName() const
{
    return "HardDrive";
}

void HardDrive::descendantAdded(RaidObject* descendant)
{
    PhysicalDevice::descendantAdded(descendant);
    if (descendant != nullptr && descendant->isInstanceOf("Chunk")) {
        chunks.push_back(static_cast<Chunk*>(descendant));
    }
}

Ret HardDrive::setWriteCacheEnable(bool) { return Ret(-1); }
Ret HardDrive::setPhysicalDriveCache(EnumHardDriveCacheMode) { return Ret(-1); }
Ret HardDrive::initializeHardDrive() { return Ret(-1); }
Ret HardDrive::downHardDrive(bool) { return Ret(-1); }
Ret HardDrive::startDiskDiagnostic(EnumDiskDiagType) { return Ret(-1); }
Ret HardDrive::abortDiskDiagnostic() { return Ret(-1); }
Ret HardDrive::getDiskDiagnosticProgress(DISK_DIAGNOSTIC_STATE&) { return Ret(-1); }
Ret HardDrive::getDiskDiagnosticResults(DISK_DIAGNOSTIC_STATE&) { return Ret(-1); }
Ret HardDrive::startTask(EnumHardDriveTask, const char*) { return Ret(-1); }
Ret HardDrive::getProgress(Progress&) { return Ret(-1); }
int HardDrive::getPfaWarn() { return 0; }
Ret HardDrive::createGlobalHotSpare() { return Ret(-1); }
Ret HardDrive::createAssignedHotSpare(const AddrCollection&) { return Ret(-1); }
Ret HardDrive::createAssignedHotSpare(LogicalDrive*) { return Ret(-1); }
Ret HardDrive::createCandidateHotSpare() { return Ret(-1); }
Ret HardDrive::deleteHotSpare() { return Ret(-1); }
Ret HardDrive::deleteAssignedHotSpare(const AddrCollection&) { return Ret(-1); }
Ret HardDrive::createJBOD() { return Ret(-1); }
Ret HardDrive::deleteJBOD() { return Ret(-1); }
Ret HardDrive::upgradeSATADriveFirmware(const char*, unsigned long, unsigned char) { return Ret(-1); }
Ret HardDrive::GetSataIdentifyWord(unsigned long, unsigned long*) { return Ret(-1); }
Ret HardDrive::upgradeSASDriveFirmware(const char*, unsigned long, unsigned char) { return Ret(-1); }
Ret HardDrive::setATASecurePassword(const char*) { return Ret(-1); }
Ret HardDrive::clearATASecurePassword(const char*) { return Ret(-1); }
Ret HardDrive::getSmartInfoById(char*, char*, unsigned long&) { return Ret(-1); }
Ret HardDrive::SetWearOutParams(unsigned long, unsigned long, unsigned long) { return Ret(-1); }
Ret HardDrive::readDriveFirmwareFile(const char*, Buffer&) { return Ret(-1); }

Ret HardDrive::getProgress(ProgressCollection& out)
{
    Progress progress;
    Ret ret = getProgress(progress);
    if (ret.getReturn() == 0) {
        out.add(progress);
    }
    return ret;
}

Ret HardDrive::createDedicatedHotSpare(const AddrCollection& logicalDrives)
{
    return createAssignedHotSpare(logicalDrives);
}

Chunk* HardDrive::getChunk(unsigned long i) const
{
    return i < chunks.size() ? chunks[i] : nullptr;
}

LogicalDrive* HardDrive::getAssignedLogicalDrive(unsigned long i) const
{
    return i < assignedLogicals.size() ? assignedLogicals[i] : nullptr;
}

namespace {

void writeAssignedTo(Writer* writer, const int* list, int count)
{
    if (list == nullptr || count == 0) {
        return;
    }
    std::string text = " assignedTo=\"";
    char number[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, i == 0 ? "%d" : ",%d", list[i]);
        text += number;
    }
    text += '"';
    writer->writeRawString(text.c_str());
}

}  // namespace

void HardDrive::writeTo(Writer* writer) const
{
    PhysicalDevice::writeTo(writer);
    writer->writeBlockT("size", size);
    writer->writeBool("pfaError", pfaError);
    writer->writeBool("pfaSupported", pfaSupported);
    writer->writeBool("pfaEnabled", pfaEnabled);
    writer->writeInt("writeCacheEnable", writeCacheEnable);
    writer->writeBool("writeCacheEnableSupported", writeCacheEnableSupported);
    writer->writeBool("selfTestSupported", selfTestSupported);
    writer->writeBool("OSPartition", OSPartition);
    writer->writeInt("spareType", spareType);
    writer->writeBool("jbod", jbod);
    writeAssignedTo(writer, pSpareList, spareListSize);
    writer->writeInt("enclosureID", static_cast<int>(enclosureID));
    writer->writeInt("slotID", static_cast<int>(slotID));
}

void HardDrive::writeToXML(Writer* writer) const
{
    PhysicalDevice::writeToXML(writer);
    writer->writeBlockT("size", size);
    writer->writeInt("writeCacheEnable", writeCacheEnable);
    writer->writeBool("writeCacheEnableSupported", writeCacheEnableSupported);
    writer->writeInt("spareType", spareType);
    writer->writeBool("jbod", jbod);
    writeAssignedTo(writer, pSpareList, spareListSize);
    if (enclosureID != UNSET) {
        writer->writeULong("enclosureID", enclosureID);
    }
    if (slotID != UNSET) {
        writer->writeULong("slotID", slotID);
    }
}

// Subclasses of the controller family write their own element names, which
// contain "HardDrive".
void HardDrive::build(SimpleXmlParser& parser)
{
    // The items of one element all carry the same tag pointer, into a text
    // that does not change while it is read: each tag is looked at once.
    const char* lastTag = nullptr;
    bool driveTag = false;
    try {
        do {
            const char* tag = parser.getTag();
            if (tag != lastTag) {
                lastTag = tag;
                driveTag = tag != nullptr && std::strstr(tag, "HardDrive") != nullptr;
            }
            if (driveTag) {
                if (parser.foundEndTag()) {
                    break;
                }
                if (parser.getName() != nullptr) {
                    getAttributes().Append(parser.getName(), parser.getValue());
                    if (parser.nameIs("deviceID")) {
                        setDeviceID(getAttributes().GetULong("deviceID"));
                    }
                }
            } else if (parser.foundStartTag() && parser.tagIs("Chunk")) {
                addChild(new Chunk(this, nullptr, parser));
            } else if (parser.foundStartTag() && parser.tagIs("SASPhy")) {
                addChild(new SASPhy(parser));
            }
        } while (parser.parseNext());
    } catch (...) {
        // Nothing else owns the children read so far.
        deleteAllChildren();
        throw;
    }
    PhysicalDevice::build();
    readAttributes();
}

void HardDrive::readAttributes()
{
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("size")) {
        size = a.GetU64("size");
    }
    if (a.Exists("pfaError")) {
        pfaError = a.GetBool("pfaError");
    }
    if (a.Exists("pfaSupported")) {
        pfaSupported = a.GetBool("pfaSupported");
    }
    if (a.Exists("pfaEnabled")) {
        pfaEnabled = a.GetBool("pfaEnabled");
    }
    if (a.Exists("writeCacheEnable")) {
        writeCacheEnable = static_cast<EnumHardDriveCacheMode>(a.GetLong("writeCacheEnable"));
    }
    if (a.Exists("writeCacheEnableSupported")) {
        writeCacheEnableSupported = a.GetBool("writeCacheEnableSupported");
    }
    if (a.Exists("selfTestSupported")) {
        selfTestSupported = a.GetBool("selfTestSupported");
    }
    if (a.Exists("OSPartition")) {
        OSPartition = a.GetBool("OSPartition");
    }
    if (a.Exists("spareType")) {
        spareType = static_cast<EnumSpareType>(a.GetLong("spareType"));
    }
    if (a.Exists("assignedTo")) {
        readAssignedTo(a.GetValue("assignedTo"));
    }
    if (a.Exists("isCandidateSpare")) {
        isCandidateSpare = isTrueText(a, "isCandidateSpare");
    }
    if (a.Exists("taskInProgress")) {
        taskInProgress = isTrueText(a, "taskInProgress");
    }
    if (a.Exists("enclosureID")) {
        enclosureID = static_cast<std::uint32_t>(a.GetULong("enclosureID"));
    }
    if (a.Exists("slotID")) {
        slotID = static_cast<std::uint32_t>(a.GetULong("slotID"));
    }
    if (a.Exists("jbod")) {
        jbod = a.GetBool("jbod");
    }
    if (a.Exists("nonSpinning")) {
        nonSpinning = a.GetBool("nonSpinning");
    }
    if (a.Exists("OrvexaCapable")) {
        OrvexaCapable = a.GetBool("OrvexaCapable");
    }
    if (a.Exists("OrvexaAssigned")) {
        OrvexaAssigned = a.GetBool("OrvexaAssigned");
    }
    // The replay compares it with sizes of drives past 2 TiB.
    if (a.Exists("maxUsableBlocks")) {
        maxUsableBlocks = a.GetU64("maxUsableBlocks");
    }
}

// The ids stand for logical drives that the controller's reader links up
// once it has read them (dropPlaceholders, addAssignedLogical).
void HardDrive::readAssignedTo(const char* text)
{
    const char* p = text;
    while (p != nullptr && *p != '\0') {
        char* after = nullptr;
        errno = 0;
        const long id = std::strtol(p, &after, 10);
        if (after == p || errno == ERANGE) {
            return;
        }
        LogicalDrive* placeholder =
            new LogicalDrive(nullptr, nullptr, static_cast<unsigned long>(id), LD_NOT_EXISTING, RAID_LEVEL_NONE, 0, 0,
                             false, static_cast<EnumLogicalDriveCacheMode>(0), false, false);
        if (placeholder != nullptr) {
            placeholders.push_back(placeholder);
            assignedLogicals.push_back(placeholder);
        }
        p = std::strchr(after, ',');
        if (p != nullptr) {
            ++p;
        }
    }
}

std::vector<unsigned long> HardDrive::dropPlaceholders()
{
    std::vector<unsigned long> ids;
    std::vector<LogicalDrive*> kept;
    for (LogicalDrive* ld : assignedLogicals) {
        bool isPlaceholder = false;
        for (LogicalDrive* placeholder : placeholders) {
            isPlaceholder = isPlaceholder || placeholder == ld;
        }
        if (isPlaceholder) {
            ids.push_back(ld->getLogicalDriveID());
        } else {
            kept.push_back(ld);
        }
    }
    assignedLogicals = kept;
    for (LogicalDrive* placeholder : placeholders) {
        delete placeholder;
    }
    placeholders.clear();
    return ids;
}

// A drive read from a saved configuration already carries the spare's pair
// of extents for `ld`; adding another pair on every load would make the
// saved configuration grow with each cycle. The user-configuration form
// writes no chunk types, so there the spare's extent is known by its start.
bool HardDrive::hasOwnSpareChunk(const LogicalDrive* ld) const
{
    for (const RaidObject* child : ld->getChildren()) {
        if (!child->isInstanceOf("Chunk")) {
            continue;
        }
        const Chunk* chunk = static_cast<const Chunk*>(child);
        if (chunk->getProviderHardDrive() != this) {
            continue;
        }
        if (chunk->getChunkType() == SPARE_CHUNK_TYPE ||
            (!chunk->hasChunkType() && chunk->getChunkID() == SPARE_CHUNK_START)) {
            return true;
        }
    }
    return false;
}

void HardDrive::addAssignedLogical(LogicalDrive* ld)
{
    if (ld == nullptr) {
        return;
    }
    for (const LogicalDrive* assigned : assignedLogicals) {
        if (assigned->getAddr2() == ld->getAddr2()) {
            return;
        }
    }
    assignedLogicals.push_back(ld);
    // Reached through LogicalDrive::addAssignedSpare, the logical drive has
    // listed this spare already.
    bool listed = false;
    for (const HardDrive* spare : ld->assignedSpares) {
        listed = listed || spare == this;
    }
    if (!listed) {
        ld->assignedSpares.push_back(this);
    }
    if (state != PD_FAILED && state != PD_REBUILDING && state != PD_PARTITIONED) {
        state = PD_HOT_SPARE;
    }
    spareType = SPARE_DEDICATED;

    if (!hasOwnSpareChunk(ld)) {
        // A drive smaller than the metadata area has no room for the extent.
        const unsigned long long length = size > SPARE_CHUNK_START ? size - SPARE_CHUNK_START : 0;
        const EnumChunkType type = static_cast<EnumChunkType>(SPARE_CHUNK_TYPE);
        addChild(new Chunk(this, ld, SPARE_CHUNK_START, length, type, 0, CHUNK_STATE_NORMAL, Chunk::UNSET,
                           Chunk::UNSET));
        ld->addChild(new Chunk(this, ld, SPARE_CHUNK_START, length, type, 0, CHUNK_STATE_NORMAL, Chunk::UNSET,
                               Chunk::UNSET));
    }

    int* grown = new (std::nothrow) int[static_cast<std::size_t>(spareListSize) + 1];
    if (grown == nullptr) {
        StorErrorPrintf(getStorLibType(), __FILE__, __LINE__, "%s", SPARE_LIST_ERROR);
        return;
    }
    if (pSpareList != nullptr && spareListSize > 0) {
        std::memcpy(grown, pSpareList, sizeof(int) * static_cast<std::size_t>(spareListSize));
    }
    delete[] pSpareList;
    pSpareList = grown;
    pSpareList[spareListSize] = static_cast<int>(ld->getLogicalDriveID());
    ++spareListSize;
}

void HardDrive::InitFreeSpace(unsigned long long numSectors)
{
    if (numSectors == 0) {
        numSectors = size;
    }
    freeSpace.SetNumSectors(numSectors);
    if (adapter != nullptr) {
        const unsigned long long atBeginning = adapter->getReservedInBeginning();
        const unsigned long long atEnd = adapter->getReservedInEnd();
        freeSpace.SubtractUsedSpace(0, atBeginning);
        if (atEnd <= numSectors) {
            freeSpace.SubtractUsedSpace(numSectors - atEnd, atEnd);
        }
    }
    for (unsigned long i = 0; i < getChildCount(); ++i) {
        RaidObject* child = getChild(static_cast<int>(i));
        if (child != nullptr && child->isInstanceOf("Chunk")) {
            const Chunk* chunk = static_cast<const Chunk*>(child);
            freeSpace.SubtractUsedSpace(chunk->getStartSector(), chunk->getNumSector());
        }
    }
}

std::vector<Chunk*> HardDrive::getChunks()
{
    std::vector<Chunk*> found;
    if (adapter == nullptr) {
        return found;
    }
    FilterCollection logicals(adapter);
    logicals.apply("LogicalDrive", false);
    for (int i = 0; i < logicals.size(); ++i) {
        const LogicalDrive* ld = static_cast<const LogicalDrive*>(logicals.elementAt(i));
        for (Chunk* chunk : ld->enumerateChunks()) {
            if (chunk->getProviderHardDrive() == this) {
                found.push_back(chunk);
            }
        }
    }
    return found;
}

namespace {

// One past the chunk's last sector as the walk counts it; a length that
// runs past the end of the sector range stops there.
unsigned long long chunkReach(const Chunk* c)
{
    const unsigned long long end = c->getStartSector() + c->getNumSector();
    return end < c->getStartSector() ? ~0ULL : end;
}

}  // namespace

std::vector<Chunk*> HardDrive::enumerateHolesOver(const std::vector<Chunk*>& used, bool fromHarddisk) const
{
    std::vector<Chunk*> holes;
    const unsigned long long last = size > 0 ? size - 1 : 0;
    unsigned long long p = 0;
    bool reachedByChunk = false;
    while (p < last) {
        const Chunk* covering = nullptr;
        for (const Chunk* c : used) {
            if (c->getStartSector() <= p && chunkReach(c) >= p) {
                covering = c;
                break;
            }
        }
        if (covering != nullptr) {
            const unsigned long long reach = chunkReach(covering);
            p = reach == ~0ULL ? reach : reach + 1;
            reachedByChunk = true;
            continue;
        }
        const unsigned long long begin = fromHarddisk && reachedByChunk ? p - 1 : p;
        unsigned long long next = size;
        bool found = false;
        for (const Chunk* c : used) {
            if (c->getStartSector() > begin && (!found || c->getStartSector() < next)) {
                next = c->getStartSector();
                found = true;
            }
        }
        Chunk* hole = new Chunk(getChannelID(), getDeviceID(), begin, next - begin, 0, HOLE_GROUP,
                                static_cast<EnumChunkType>(0), CHUNK_STATE_NORMAL, Chunk::UNSET, Chunk::UNSET);
        if (hole != nullptr) {
            holes.push_back(hole);
        }
        p = next;
        reachedByChunk = false;
    }
    return holes;
}

std::vector<Chunk*> HardDrive::enumerateHoles()
{
    return enumerateHolesOver(getChunks(), false);
}

std::vector<Chunk*> HardDrive::enumerateHolesFromHarddisk()
{
    return enumerateHolesOver(chunks, true);
}

namespace {

Chunk* keepLargest(std::vector<Chunk*> holes)
{
    Chunk* largest = nullptr;
    for (Chunk* hole : holes) {
        if (largest == nullptr || hole->getNumSector() > largest->getNumSector()) {
            largest = hole;
        }
    }
    for (Chunk* hole : holes) {
        if (hole != largest) {
            delete hole;
        }
    }
    return largest;
}

}  // namespace

Chunk* HardDrive::getLargestHole()
{
    return keepLargest(enumerateHoles());
}

Chunk* HardDrive::getLargestHoleToCreateLogical()
{
    return keepLargest(enumerateHolesFromHarddisk());
}
