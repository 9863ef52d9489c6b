#include "RaidModel/Interface/Adapter.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/ModelText.h"
#include "RaidModel/Interface/SASConnector.h"
#include "RaidModel/Interface/SASPhy.h"
#include "common/SimpleXmlParser.h"
#include "common/Writer.h"

namespace {

constexpr unsigned EXPANDER_COUNT = 2;
constexpr unsigned EXPANDER_BYTES = 8;
constexpr std::size_t EXPANDER_TEXT_MAX = 256;

bool allZero(const unsigned char (&wwn)[EXPANDER_BYTES])
{
    for (unsigned char byte : wwn) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

std::string expanderText(const unsigned char (&expanders)[EXPANDER_COUNT][EXPANDER_BYTES])
{
    std::string text;
    for (const auto& wwn : expanders) {
        if (allZero(wwn)) {
            continue;
        }
        if (!text.empty()) {
            text += ',';
        }
        char digits[3];
        for (unsigned char byte : wwn) {
            std::snprintf(digits, sizeof digits, "%02x", byte);
            text += digits;
        }
    }
    return text;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Entry k of the comma-separated list fills WWN k two digits per byte; an
// entry cut short fills only the bytes it gives.
void readExpanders(const char* value, unsigned char (&expanders)[EXPANDER_COUNT][EXPANDER_BYTES])
{
    const std::string text(value, strnlen(value, EXPANDER_TEXT_MAX));
    std::size_t pos = 0;
    for (unsigned k = 0; k < EXPANDER_COUNT && pos <= text.size(); ++k) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos) {
            comma = text.size();
        }
        for (unsigned i = 0; i < EXPANDER_BYTES && pos + 2 * i + 1 < comma; ++i) {
            const int high = hexDigit(text[pos + 2 * i]);
            const int low = hexDigit(text[pos + 2 * i + 1]);
            if (high < 0 || low < 0) {
                break;
            }
            expanders[k][i] = static_cast<unsigned char>(high * 16 + low);
        }
        pos = comma + 1;
    }
}

// "true" sets a flag, "false" clears it, any other text leaves it.
void readFlag(const XmlAttributeList_C& a, const char* name, bool& field)
{
    if (!a.Exists(name)) {
        return;
    }
    const char* value = a.GetValue(name);
    if (std::strcmp(value, "true") == 0) {
        field = true;
    } else if (std::strcmp(value, "false") == 0) {
        field = false;
    }
}

template <typename T>
void readLong(const XmlAttributeList_C& a, const char* name, T& field)
{
    if (a.Exists(name)) {
        field = static_cast<T>(a.GetLong(name));
    }
}

template <typename T>
void readULong(const XmlAttributeList_C& a, const char* name, T& field)
{
    if (a.Exists(name)) {
        field = static_cast<T>(a.GetULong(name));
    }
}

template <std::size_t N>
void readText(const XmlAttributeList_C& a, const char* name, char (&field)[N])
{
    if (a.Exists(name)) {
        copyTextField(field, a.GetValue(name));
    }
}

struct LevelName {
    const char* name;
    EnumRaidLevel level;
};

constexpr LevelName RAID0 = {"Raid0", RAID_LEVEL_0};
constexpr LevelName RAID1 = {"Raid1", RAID_LEVEL_1};
constexpr LevelName RAID1E = {"Raid1E", RAID_LEVEL_1E};
constexpr LevelName RAID5 = {"Raid5", RAID_LEVEL_5};
constexpr LevelName RAID5EE = {"Raid5EE", RAID_LEVEL_5EE};
constexpr LevelName RAID6 = {"Raid6", RAID_LEVEL_6};
constexpr LevelName RAID6RS = {"Raid6RS", RAID_LEVEL_6RS};
constexpr LevelName RAID10 = {"Raid10", RAID_LEVEL_10};
constexpr LevelName RAID50 = {"Raid50", RAID_LEVEL_50};
constexpr LevelName RAID60 = {"Raid60", RAID_LEVEL_60};
constexpr LevelName RAID60RS = {"Raid60RS", RAID_LEVEL_60RS};
constexpr LevelName SIMPLE = {"SimpleVolume", RAID_LEVEL_SIMPLE_VOLUME};
constexpr LevelName SPANNED = {"SpannedVolume", RAID_LEVEL_SPANNED_VOLUME};
constexpr LevelName RAIDVOLUME = {"RaidVolume", RAID_LEVEL_RAID_VOLUME};

// The targets a drive of one level may be migrated to, in the order they
// are asked for.
const LevelName MORPH_ORDER[] = {RAID0,  RAID1,  RAID1E, RAID5,    RAID5EE, RAID6,   RAID6RS,
                                 RAID10, RAID50, RAID60, RAID60RS, SIMPLE,  SPANNED, RAIDVOLUME};
const LevelName MORPH_ORDER_RAID0[] = {RAID0,  RAID1,  RAID1E, RAID5EE,  RAID5,  RAID6,   RAID6RS,
                                       RAID10, RAID50, RAID60, RAID60RS, SIMPLE, SPANNED, RAIDVOLUME};
const LevelName MORPH_ORDER_RAID6[] = {RAID0,  RAID1,  RAID1E,   RAID5,  RAID6,   RAID6RS,   RAID10,
                                       RAID50, RAID60, RAID60RS, SIMPLE, SPANNED, RAIDVOLUME};

struct CapabilityRow {
    LevelName level;
    const char* when;  // null: always present
    bool adapterStripe;
    int minMembers;
    const char* maxMembersAttribute;  // null: maxMembersFixed
    int maxMembersFixed;
    bool spares;
};

const CapabilityRow CAPABILITIES[] = {
    {RAID0, "featRaid0", true, 2, "maxRaid0Members", 0, false},
    {RAID1, "featRaid1", false, 2, nullptr, 2, true},
    {RAID5, "featRaid5", true, 3, "maxRaid5Members", 0, true},
    {RAID10, "featRaid10", true, 4, "maxRaid10Members", 0, true},
    {RAID50, "featRaid50", true, 6, "maxRaid50Members", 0, true},
    {SIMPLE, nullptr, false, 1, nullptr, 1, false},
    {SPANNED, "featSpannedVolume", false, 2, "maxSpannedVolumeMembers", 0, false},
    {RAIDVOLUME, "featRaidVolume", false, 2, "maxRaidVolumeMembers", 0, true},
    {RAID5EE, "featRaid5EE", true, 3, "maxRaid5Members", 0, true},
    {RAID6, "featRaid6", true, 4, "maxRaid6Members", 0, true},
    {RAID6RS, "featRaid6RS", true, 4, "maxRaid6Members", 0, true},
    {RAID60, "featRaid60", true, 8, "maxRaid60Members", 0, true},
    {RAID60RS, "featRaid60RS", true, 8, "maxRaid60Members", 0, true},
    {RAID1E, "featRaid1E", true, 3, "maxRaid1EMembers", 0, true},
};

template <std::size_t N>
void addReachable(const XmlAttributeList_C& a, const LevelName& from, const LevelName (&order)[N],
                  RaidSupportInfo& info)
{
    if (a.GetLong((std::string("featExpand") + from.name).c_str()) != 0) {
        info.reachableLevels.push_back(from.level);
    }
    for (const LevelName& to : order) {
        const std::string name = std::string("featMorph") + from.name + "To" + to.name;
        if (a.GetLong(name.c_str()) != 0) {
            info.reachableLevels.push_back(to.level);
        }
    }
}

}  // namespace

void Adapter::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeInt("controllerType", controllerType);
    writer->writeInt("controllerStatus", controllerStatus);
    writer->writeString("biosVersion", biosVersion);
    writer->writeString("firmwareVersion", firmwareVersion);
    writer->writeString("driverVersion", driverVersion);
    writer->writeString("firmwareBootVersion", firmwareBootVersion);
    writer->writeInt("physicalSlot", physicalSlot);
    writer->writeBool("unattended", unattended);
    writer->writeInt("maxLogicalDrives", maxLogicalDrives);
    writer->writeInt("maxArrays", maxArrays);
    writer->writeInt("maxSpannedArrays", maxSpannedArrays);
    writer->writeInt("maxChannels", maxChannels);
    writer->writeInt("maxID", maxID);
    writer->writeInt("maxDevicesPerArray", maxDevicesPerArray);
    writer->writeInt("maxControllers", maxControllers);
    writer->writeInt("maxJBODs", maxJBODs);
    writer->writeULong("buildNum", buildNum);
    writer->writeULong("firmwareBuildNum", firmwareBuildNum);
    writer->writeULong("biosBuildNum", biosBuildNum);
    writer->writeULong("driverBuildNum", driverBuildNum);
    writer->writeInt("alarmState", alarmState);
    writer->writeBool("autoFailoverEnabled", autoFailoverEnabled);
    writer->writeInt("sasHDCacheMode", sasHDCacheMode);
    writer->writeInt("sataHDCacheMode", sataHDCacheMode);
    writer->writeInt("defaultLDTaskPriority", defaultLDTaskPriority);
    writer->writeInt("performanceMode", performanceMode);
    writer->writeULong("supportedPerformanceModes", supportedPerformanceModes);
    writer->writeULong("pmStayAwakeStart", pmStayAwakeStart);
    writer->writeULong("pmStayAwakeStop", pmStayAwakeStop);
    writer->writeULong("pmSpinupLimitInternal", pmSpinupLimitInternal);
    writer->writeULong("pmSpinupLimitExternal", pmSpinupLimitExternal);
    writer->writeLong("pmUTCtoLocalTimeDiff", pmUTCtoLocalTimeDiff);
    const std::string expanders = expanderText(onBoardExpanders);
    if (!expanders.empty()) {
        writer->writeString("onBoardExpanders", expanders.c_str());
    }
}

void Adapter::writeToXML(Writer* writer) const
{
    RaidObject::writeToXML(writer);
    writer->writeInt("controllerType", controllerType);
    writer->writeString("biosVersion", biosVersion);
    writer->writeString("firmwareVersion", firmwareVersion);
    writer->writeString("driverVersion", driverVersion);
    writer->writeString("firmwareBootVersion", firmwareBootVersion);
    writer->writeULong("buildNum", buildNum);
    writer->writeULong("firmwareBuildNum", firmwareBuildNum);
    writer->writeULong("biosBuildNum", biosBuildNum);
    writer->writeULong("driverBuildNum", driverBuildNum);
    writer->writeInt("alarmState", alarmState);
    writer->writeInt("defaultLDTaskPriority", defaultLDTaskPriority);
    writer->writeInt("performanceMode", performanceMode);
    writer->writeULong("pmStayAwakeStart", pmStayAwakeStart);
    writer->writeULong("pmStayAwakeStop", pmStayAwakeStop);
    writer->writeULong("pmSpinupLimitInternal", pmSpinupLimitInternal);
    writer->writeULong("pmSpinupLimitExternal", pmSpinupLimitExternal);
    writer->writeLong("pmUTCtoLocalTimeDiff", pmUTCtoLocalTimeDiff);
}

namespace {

// The channel kind is told by its class name, which a controller family may
// have prefixed.
Channel* newChannelOfKind(Adapter* adapter, const char* typeName, SimpleXmlParser& parser)
{
    // A "typeName" written without a value names no kind.
    if (typeName == nullptr) {
        return nullptr;
    }
    if (std::strstr(typeName, "SCSIChannel") != nullptr) {
        return new SCSIChannel(adapter, parser);
    }
    if (std::strstr(typeName, "SATAChannel") != nullptr) {
        return new SATAChannel(adapter, parser);
    }
    if (std::strstr(typeName, "SASChannel") != nullptr) {
        return new SASChannel(adapter, parser);
    }
    return nullptr;
}

// A channel of a kind this model does not know is passed over whole: read
// here, the phys of its drives would pose as the controller's own.
void skipChannelElement(SimpleXmlParser& parser)
{
    if (parser.foundEndTag()) {
        return;
    }
    while (parser.parseNext()) {
        if (parser.tagIs("Channel") && parser.foundEndTag()) {
            return;
        }
    }
}

}  // namespace

// The drives' chunks grouped by a hash of their address, each group in the
// order of the walk over the controller's drives.
class Adapter::DriveChunkIndex {
public:
    bool stale = true;

    void rebuild(const Adapter& adapter)
    {
        groups.clear();
        std::vector<RaidObject*> drives;
        adapter.getChildren(drives, "HardDrive", true, true);
        for (RaidObject* drive : drives) {
            for (RaidObject* child : drive->getChildren()) {
                if (child->isInstanceOf("Chunk")) {
                    groups[hashOf(child->getAddr2())].push_back({drive, child});
                }
            }
        }
        stale = false;
    }

    void find(const Addr2& addr, std::vector<DriveChunk>& out) const
    {
        auto group = groups.find(hashOf(addr));
        if (group == groups.end()) {
            return;
        }
        for (const DriveChunk& entry : group->second) {
            if (entry.chunk->getAddr2() == addr) {
                out.push_back(entry);
            }
        }
    }

private:
    static std::uint64_t hashOf(const Addr2& a)
    {
        std::uint64_t h = a.getChunkID();
        for (std::uint64_t id : {a.getAdapterID(), a.getChannelID(), a.getDeviceID(), a.getLogicalDriveID(),
                                 a.getArrayID(), a.getItemID(), a.getSASPhyID(),
                                 static_cast<std::uint32_t>(a.getStorLibType())}) {
            h = (h ^ id) * 0x100000001b3ull;
        }
        return h;
    }

    std::unordered_map<std::uint64_t, std::vector<DriveChunk>> groups;
};

// Holds the index for the length of one build, whatever way it ends.
class DriveChunkScope {
public:
    explicit DriveChunkScope(Adapter& adapter) : adapter(adapter)
    {
        if (adapter.driveChunks == nullptr) {
            adapter.driveChunks = new (std::nothrow) Adapter::DriveChunkIndex;
            owner = true;
        }
    }
    ~DriveChunkScope()
    {
        if (owner) {
            delete adapter.driveChunks;
            adapter.driveChunks = nullptr;
        }
    }
    DriveChunkScope(const DriveChunkScope&) = delete;
    DriveChunkScope& operator=(const DriveChunkScope&) = delete;

private:
    Adapter& adapter;
    bool owner = false;
};

void Adapter::markDriveChunksStale(const RaidObject* added)
{
    const RaidObject* parent = added->getParent();
    if (added->isInstanceOf("HardDrive") ||
        (added->isInstanceOf("Chunk") && parent != nullptr && parent->isInstanceOf("HardDrive"))) {
        driveChunks->stale = true;
    }
}

void Adapter::findDriveChunks(const Addr2& addr, std::vector<DriveChunk>& out) const
{
    if (driveChunks != nullptr) {
        if (driveChunks->stale) {
            driveChunks->rebuild(*this);
        }
        driveChunks->find(addr, out);
        return;
    }
    std::vector<RaidObject*> drives;
    getChildren(drives, "HardDrive", true, true);
    for (RaidObject* drive : drives) {
        for (RaidObject* child : drive->getChildren()) {
            if (child->isInstanceOf("Chunk") && child->getAddr2() == addr) {
                out.push_back({drive, child});
            }
        }
    }
}

void Adapter::build(SimpleXmlParser& parser)
{
    DriveChunkScope driveChunkScope(*this);
    // Children are created as their elements come; the start tag's ids
    // apply at once, so every child added is stamped with them.
    auto readChildElements = [this, &parser]() {
        do {
            if (parser.tagIs("Controller")) {
                if (parser.foundEndTag()) {
                    return;
                }
                if (parser.getName() != nullptr) {
                    getAttributes().Append(parser.getName(), parser.getValue());
                    if (parser.nameIs("storlibType")) {
                        setStorLibType(static_cast<EnumStorLibType>(getAttributes().GetULong("storlibType")));
                    } else if (parser.nameIs("controllerID")) {
                        setAdapterID(getAttributes().GetULong("controllerID"));
                    }
                }
            } else if (parser.tagIs("Channel")) {
                if (parser.nameIs("typeName")) {
                    Channel* channel = newChannelOfKind(this, parser.getValue(), parser);
                    if (channel != nullptr) {
                        addChild(channel);
                    } else {
                        skipChannelElement(parser);
                    }
                }
            } else if (parser.foundStartTag() && parser.tagIs("LogicalDrive")) {
                addChild(new BasicLogicalDrive(this, parser));
            } else if (parser.foundStartTag() && parser.tagIs("SASPhy")) {
                addChild(new SASPhy(parser));
            } else if (parser.foundStartTag() && parser.tagIs("SASConnector")) {
                addChild(new SASConnector(parser));
            }
        } while (parser.parseNext());
    };
    auto readControllerAttributes = [this]() {
        const XmlAttributeList_C& a = getAttributes();
        if (a.Exists("controllerID")) {
            setAdapterID(a.GetULong("controllerID"));
        }
        readLong(a, "controllerType", controllerType);
        readLong(a, "controllerStatus", controllerStatus);
        readText(a, "biosVersion", biosVersion);
        readText(a, "firmwareVersion", firmwareVersion);
        readText(a, "driverVersion", driverVersion);
        readText(a, "firmwareBootVersion", firmwareBootVersion);
        readLong(a, "physicalSlot", physicalSlot);
        if (a.Exists("unattended")) {
            unattended = a.GetBool("unattended");
        }
        readLong(a, "maxLogicalDrives", maxLogicalDrives);
        readLong(a, "maxArrays", maxArrays);
        readLong(a, "maxSpannedArrays", maxSpannedArrays);
        static const struct {
            const char* name;
            Limit limit;
        } limits[] = {{"maxChannels", LIMIT_MAX_CHANNELS},
                      {"maxID", LIMIT_MAX_ID},
                      {"maxDevicesPerArray", LIMIT_MAX_DEVICES_PER_ARRAY},
                      {"maxControllers", LIMIT_MAX_CONTROLLERS}};
        for (const auto& entry : limits) {
            if (a.Exists(entry.name)) {
                setLimit(entry.limit, static_cast<int>(a.GetLong(entry.name)));
            }
        }
        readLong(a, "maxTopLevelLogicalDrives", maxTopLevelLogicalDrives);
        readULong(a, "reservedInBeginning", reservedInBeginning);
        readULong(a, "reservedInEnd", reservedInEnd);
        readLong(a, "maxSnapshots", maxSnapshots);
        readLong(a, "buildNum", buildNum);
        readULong(a, "firmwareBuildNum", firmwareBuildNum);
        readULong(a, "biosBuildNum", biosBuildNum);
        readULong(a, "driverBuildNum", driverBuildNum);
        readLong(a, "alarmState", alarmState);
        readLong(a, "minStripeSize", minStripeSize);
        readLong(a, "maxStripeSize", maxStripeSize);
        if (a.Exists("maxGlobalSpares")) {
            setLimit(LIMIT_MAX_GLOBAL_SPARES, static_cast<int>(a.GetLong("maxGlobalSpares")));
        }
        readText(a, "deviceVendor", deviceVendor);
        readText(a, "deviceName", deviceName);
        readULong(a, "pciVendorID", pciVendorID);
        readULong(a, "pciDevice", pciDevice);
        readULong(a, "pciDeviceID", pciDeviceID);
        readULong(a, "pciSubVendorID", pciSubVendorID);
        readULong(a, "pciSubDeviceID", pciSubDeviceID);
        readULong(a, "pciBus", pciBus);
        readULong(a, "pciFunction", pciFunction);
        readFlag(a, "sataNCQSupported", sataNCQSupported);
        readFlag(a, "sataNCQEnabled", sataNCQEnabled);
        readLong(a, "performanceMode", performanceMode);
        readFlag(a, "isClustered", isClustered);
        // Written as "autoFailoverEnabled"; older files say "bAutoFailoverEnabled".
        readFlag(a, "bAutoFailoverEnabled", autoFailoverEnabled);
        readFlag(a, "autoFailoverEnabled", autoFailoverEnabled);
        readLong(a, "batStatus", batStatus);
        readFlag(a, "batTempWarning", batTempWarning);
        readFlag(a, "batReconditionRequired", batReconditionRequired);
        readLong(a, "batFullCapacity", batFullCapacity);
        readLong(a, "batRemainingCapacity", batRemainingCapacity);
        readLong(a, "batCurrentDraw", batCurrentDraw);
        readLong(a, "blbuStatus", blbuStatus);
        readFlag(a, "blbuPresent", blbuPresent);
        readFlag(a, "asyncRescanActive", asyncRescanActive);
        readFlag(a, "dataScrubbingActive", dataScrubbingActive);
        readULong(a, "dataScrubRate", dataScrubRate);
        if (a.Exists("defaultLDTaskPriority")) {
            const long priority = a.GetLong("defaultLDTaskPriority");
            if (priority >= 0 && priority <= 2) {
                defaultLDTaskPriority = static_cast<EnumPriorityLevel>(priority);
            }
        }
        readULong(a, "pmSpinupLimitInternal", pmSpinupLimitInternal);
        readULong(a, "pmSpinupLimitExternal", pmSpinupLimitExternal);
        readULong(a, "pmStayAwakeStart", pmStayAwakeStart);
        readULong(a, "pmStayAwakeStop", pmStayAwakeStop);
        readFlag(a, "pmStayAwakeMainEnabled", pmStayAwakeMainEnabled);
        if (a.Exists("pmStayAwakeDays")) {
            pmStayAwakeDays = static_cast<std::uint8_t>(a.GetU64("pmStayAwakeDays") & 0xFF);
        }
        readFlag(a, "copyBackEnabled", copyBackEnabled);
        readLong(a, "versionMatchStatus", versionMatchStatus);
        readULong(a, "maxNumPhy", maxNumPhy);
        readULong(a, "maxSasPorts", maxSasPorts);
        readULong(a, "serialNum0", serialNum0);
        readULong(a, "serialNum1", serialNum1);
        readText(a, "serialNumber", serialNumber);
        readLong(a, "heatSensorTemperature", heatSensorTemperature);
        readLong(a, "heatSensorThresholdLo", heatSensorThresholdLo);
        readLong(a, "heatSensorThresholdHi", heatSensorThresholdHi);
        readULong(a, "longSerialNum", longSerialNum);
        readULong(a, "fsaLongSerialNum", longSerialNum);
    };
    auto readRaidSupport = [this]() {
        const XmlAttributeList_C& a = getAttributes();
        const int spares = static_cast<int>(a.GetULong("maxDedicatedSparesPerLogicalDrive"));
        for (const CapabilityRow& row : CAPABILITIES) {
            if (row.when != nullptr && a.GetLong(row.when) == 0) {
                continue;
            }
            RaidSupportInfo info;
            info.raidLevel = row.level.level;
            if (row.adapterStripe) {
                info.minStripeSize = minStripeSize;
                info.maxStripeSize = maxStripeSize;
            }
            info.minMembers = row.minMembers;
            info.maxMembers =
                row.maxMembersAttribute != nullptr ? static_cast<int>(a.GetLong(row.maxMembersAttribute)) : row.maxMembersFixed;
            info.maxDedicatedSpares = row.spares ? spares : 0;
            if (row.level.level == RAID_LEVEL_0) {
                addReachable(a, row.level, MORPH_ORDER_RAID0, info);
            } else if (row.level.level == RAID_LEVEL_6 || row.level.level == RAID_LEVEL_6RS) {
                addReachable(a, row.level, MORPH_ORDER_RAID6, info);
            } else {
                addReachable(a, row.level, MORPH_ORDER, info);
            }
            raidSupport.push_back(info);
        }
    };
    // A dedicated spare read from the file names the logical drives it
    // serves by placeholders; once every drive of the controller is read the
    // spare is linked to the real ones.
    auto reconnectAssignedSpares = [this]() {
        std::vector<RaidObject*> drives;
        getChildren(drives, "HardDrive", true, true);
        std::vector<LogicalDrive*> logicals;
        for (RaidObject* child : getChildren()) {
            if (child->isInstanceOf("LogicalDrive")) {
                logicals.push_back(static_cast<LogicalDrive*>(child));
            }
        }
        for (RaidObject* node : drives) {
            HardDrive* drive = static_cast<HardDrive*>(node);
            if (drive->getSpareType() != SPARE_DEDICATED) {
                continue;
            }
            for (unsigned long id : drive->dropPlaceholders()) {
                for (LogicalDrive* ld : logicals) {
                    if (ld->getLogicalDriveID() == id) {
                        drive->addAssignedLogical(ld);
                    }
                }
            }
        }
    };

    // A table read before belongs to this adapter alone.
    delete features;
    features = new AdapterFeatures();
    try {
        readChildElements();
    } catch (...) {
        // Nothing else owns what was read so far, and a constructor that
        // throws runs no destructor.
        deleteAllChildren();
        delete features;
        features = nullptr;
        throw;
    }
    if (features != nullptr) {
        features->initFromXML(getAttributes());
    }
    readControllerAttributes();
    if (getAttributes().Exists("onBoardExpanders")) {
        readExpanders(getAttributes().GetValue("onBoardExpanders"), onBoardExpanders);
    }
    readRaidSupport();
    reconnectAssignedSpares();
}
