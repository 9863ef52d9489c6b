// Drive metadata sectors (CT 208, 209) and drive cache policy (CT 203, 204);
// the failover switch (CT 168), snapshot maps (CT 220), bad stripes (CT 227),
// power management (CT 246), the SSD cache pool (CT 254); the serial number
// (CT 13), table-entry clear (CT 14), dead marks (CT 72), segment deletion
// (CT 250), the legacy creation request (CT 124) and the stripe and volume
// sets (CT 171, 172). The current creation requests are answered in
// Creation.cpp, morph requests in ContainerActivity.cpp.
#include "platform/hostsim/fw/DriveMetadata.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kDeviceNotFound = 219;
constexpr uint32_t kNotSupported = 226;
constexpr size_t kSectorBytes = 384;
constexpr size_t kMapBytes = 384;
constexpr size_t kBadStripeBytes = 8;
constexpr size_t kPmBytes = 432;
constexpr uint32_t kOpt3PowerManagement = 0x4;
constexpr uint32_t kCreated = 305;
constexpr uint32_t kCreateRefused = 389;
constexpr uint32_t kMarkedDead = 190;
constexpr uint32_t kNoSuchContainer = 194;

bool driveKnown(const ConfigView& v, uint32_t handle)
{
    return std::any_of(v.drives.begin(), v.drives.end(), [&](const DriveView& d) { return d.handle() == handle; });
}

const LogDevView* containerOf(const ConfigView& v, uint32_t number)
{
    for (const LogDevView& l : v.logDevs)
        if (l.parent == 0xFFFFFFFFu && l.number == number)
            return &l;
    return nullptr;
}

// A drive command on parameter 0: 219 for a drive the controller lacks.
bool onKnownDrive(const ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (driveKnown(configurationOf(c), q.param[0]))
        return true;
    r.status = kDeviceNotFound;
    return false;
}

void readSector(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (!onKnownDrive(c, q, r))
        return;
    auto it = c.metadataSectors.find(q.param[0]);
    r.data = it != c.metadataSectors.end() ? it->second : std::vector<uint8_t>(kSectorBytes, 0);
    r.status = kNewSuccess;
}

void writeSector(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    if (!onKnownDrive(c, q, r))
        return;
    std::vector<uint8_t> sector(kSectorBytes, 0);
    std::memcpy(sector.data(), q.input, std::min(q.inputSize, kSectorBytes));
    c.metadataSectors[q.param[0]] = std::move(sector);
    r.status = kNewSuccess;
}

void setDrivePolicy(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    if (!onKnownDrive(c, q, r))
        return;
    c.drivePolicy[q.param[0]] = q.param[1];
    // The drive reports its cache as set from now on (device record byte
    // 38: 2 write-back, 3 write-through), in this process and the next.
    for (const DriveView& d : configurationOf(c).drives)
        if (d.handle() == q.param[0])
            setObjectPair(c, "drive" + std::to_string(d.index), "cache", q.param[1] != 0 ? "2" : "3");
    r.status = kNewSuccess;
}

void getDrivePolicy(ControllerState& c, const CtRequest& q, CtReply& r)
{
    if (!onKnownDrive(c, q, r))
        return;
    auto it = c.drivePolicy.find(q.param[0]);
    r.result1 = it != c.drivePolicy.end() ? it->second : 0;
    if (it == c.drivePolicy.end())
        for (const auto& [index, d] : *drivesByIndex(c))
            if (d.key == "drive" + std::to_string(index) && (d.bus << 24 | d.lun << 16 | d.target) == q.param[0])
                r.result1 = d.pair("cache") == "2" ? 1 : 0;
    r.status = kNewSuccess;
}

void powerManagement(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    if ((c.optionWord[2] & kOpt3PowerManagement) == 0) {
        r.status = kNotSupported;
        return;
    }
    if (containerOf(configurationOf(c), q.param[1]) == nullptr) {
        r.status = 12;
        return;
    }
    std::vector<uint8_t> record(kPmBytes, 0);
    std::memcpy(record.data(), q.input, std::min(q.inputSize, kPmBytes));
    c.pmRecords[q.param[1]] = std::move(record);
    r.status = kNewSuccess;
}

// Sub-commands of CT 254: 1 add and 2 remove drives (a list of none removes
// them all), 3 and 4 the pool read cache of a container, 8 to 10 its write
// cache, 11 the dirty-data query.
void cachePool(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    r.status = kNewSuccess;
    const uint32_t count = q.inputSize >= 8 ? std::min<uint32_t>(getLe32(q.input + 4), 256) : 0;
    auto handleAt = [&](uint32_t i) -> uint32_t {
        const size_t at = 8 + 4 * size_t{i};
        return at + 4 <= q.inputSize ? getLe32(q.input + at) : 0xFFFFFFFFu;
    };
    switch (q.param[0]) {
    case 1:
        for (uint32_t i = 0; i < count; ++i)
            if (std::find(c.cachePool.begin(), c.cachePool.end(), handleAt(i)) == c.cachePool.end())
                c.cachePool.push_back(handleAt(i));
        break;
    case 2:
        if (count == 0)
            c.cachePool.clear();
        for (uint32_t i = 0; i < count; ++i)
            c.cachePool.erase(std::remove(c.cachePool.begin(), c.cachePool.end(), handleAt(i)), c.cachePool.end());
        break;
    case 3:
    case 4:
    case 8:
    case 9:
    case 10: {
        c.poolCacheMode[q.param[1]] = q.param[0];
        if (containerOf(configurationOf(c), q.param[1]) == nullptr)
            break;
        // The container keeps its preferences: 3 and 4 switch the read
        // cache, 8 switches the write cache on with the policy in
        // parameter 2, 9 switches it off, 10 changes the policy alone. A
        // write cache switched on without a policy (0) writes back (1).
        ControllerState::ContainerSettings& s = c.containerSettings[q.param[1]];
        if (q.param[0] == 3 || q.param[0] == 4)
            s.poolRead = q.param[0] == 3;
        else if (q.param[0] == 9)
            s.poolWrite = false;
        else
            s.poolWrite = true;
        if ((q.param[0] == 8 || q.param[0] == 10) && q.param[2] >= 1 && q.param[2] <= 4)
            s.poolPolicy = q.param[2];
        if (s.poolWrite && s.poolPolicy == 0)
            s.poolPolicy = 1;
        break;
    }
    case 11: break;
    default: r.status = kNotSupported; break;
    }
}

// Creation requests: word 1 names the container; a number in use is refused.
void createContainer(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    const uint32_t number = q.inputSize >= 8 ? getLe32(q.input + 4) : 0;
    r.status = containerOf(configurationOf(c), number) != nullptr ? kCreateRefused : kCreated;
}

}  // namespace


std::vector<uint8_t> ppiEntry(uint32_t id0, uint32_t id1, uint32_t handle, uint8_t bundle, uint8_t flags)
{
    std::vector<uint8_t> e(16, 0);
    putLe32(e.data(), id0);
    putLe32(e.data() + 4, id1);
    putLe32(e.data() + 8, handle);
    e[12] = bundle;
    e[13] = flags;
    return e;
}

void scriptedPpiData(const ControllerState& c, size_t size, std::vector<uint8_t>& out)
{
    out.assign(c.ppiTable.size() * size, 0);
    for (size_t i = 0; i < c.ppiTable.size(); ++i) {
        const std::vector<uint8_t>& e = c.ppiTable[i];
        uint8_t* o = out.data() + i * size;
        if (e.size() < 16)
            continue;
        if (size == 16) {
            std::memcpy(o, e.data(), 16);
        } else {
            std::memcpy(o, e.data(), 8);
            putLe16(o + 8, static_cast<uint16_t>(getLe32(e.data() + 8)));
            o[10] = e[12];
            o[11] = e[13];
        }
    }
}

void registerDriveMetadataHandlers(Dispatcher& dispatcher)
{
    addCtHandler(dispatcher, 208, readSector);
    addCtHandler(dispatcher, 209, writeSector);
    addCtHandler(dispatcher, 203, setDrivePolicy);
    addCtHandler(dispatcher, 204, getDrivePolicy);
    addCtHandler(dispatcher, 168, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        keepCtRequest(c, q);
        c.autoFailover = q.param[0] != 0;
        r.status = kNewSuccess;
    });
    addCtHandler(dispatcher, 220, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        r.status = containerOf(configurationOf(c), q.param[0]) != nullptr ? 0 : 379;
        r.data.assign(kMapBytes, 0);
        putLe32(r.data.data(), q.param[0]);
    });
    addCtHandler(dispatcher, 227, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        r.status = containerOf(configurationOf(c), q.param[0]) != nullptr ? 0 : 387;
        r.data.assign(kBadStripeBytes, 0);
    });
    addCtHandler(dispatcher, 246, powerManagement);
    addCtHandler(dispatcher, 254, cachePool);
    addCtHandler(dispatcher, 13, [](ControllerState& c, const CtRequest&, CtReply& r) {
        r.status = kNewSuccess;
        r.data.assign(8, 0);
        putLe32(r.data.data(), c.serial[0]);
        putLe32(r.data.data() + 4, c.serial[1]);
    });
    addCtHandler(dispatcher, 14, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        keepCtRequest(c, q);
        r.status = kNewSuccess;
    });
    // Marks member `param 1` of container `param 0` dead; the partition
    // records show it until a restore or the container's destruction.
    addCtHandler(dispatcher, 72, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        keepCtRequest(c, q);
        const ConfigView v = configurationOf(c);
        const LogDevView* l = containerOf(v, q.param[0]);
        if (l == nullptr) {
            r.status = kNoSuchContainer;
            return;
        }
        // An index beyond the members has nothing to mark.
        std::vector<uint32_t>& dead = c.containerSettings[q.param[0]].deadMembers;
        if (q.param[1] < l->members.size() && std::find(dead.begin(), dead.end(), q.param[1]) == dead.end()) {
            dead.push_back(q.param[1]);
            ++c.configAge;
        }
        r.status = kMarkedDead;
    });
    addCtHandler(dispatcher, 250, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        keepCtRequest(c, q);
        r.status = kNewSuccess;
    });
    addCtHandler(dispatcher, 124, createContainer);
    addCtHandler(dispatcher, 171, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        keepCtRequest(c, q);
        r.status = 7;
    });
    addCtHandler(dispatcher, 172, [](ControllerState& c, const CtRequest& q, CtReply& r) {
        keepCtRequest(c, q);
        r.status = 322;
    });
}

}  // namespace vyn::hostsim
