// Spares: each drive's `spare` pair holds the owners it stands by for, so
// that the assignments are saved with the state and the device records (flag
// byte 68 bit 2) and the failover lists always agree.
#include "platform/hostsim/fw/Spares.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"
#include "platform/hostsim/fw/DriveMetadata.h"
#include "platform/hostsim/state/Derived.h"

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kSpareDone = 82;
constexpr uint32_t kFailoverData = 86;
constexpr uint32_t kRefused = 0;
constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kGlobalPool = 0x80000000u;
constexpr uint32_t kLegacyGlobalPool = 99;
constexpr size_t kFailoverBytes = 260;
constexpr size_t kMaxSlices = 64;
constexpr size_t kPpiSlice = 4;
constexpr uint8_t kPpiMissing = 0x80;
const char kGlobal[] = "global";

// The owner a request names: the global pool, or a container by its unique
// id or its number; none for a container the controller does not hold.
std::optional<std::string> ownerOf(const ControllerState& c, uint32_t word)
{
    if (word == kGlobalPool || word == kLegacyGlobalPool)
        return std::string(kGlobal);
    uint32_t number = word;
    if (word >= kFirstUniqueId && word - kFirstUniqueId < c.maxContainers)
        number = word - kFirstUniqueId;
    for (const LogDevView& l : configurationOf(c).logDevs)
        if (l.number == number && l.parent == 0xFFFFFFFFu)
            return std::to_string(number);
    return std::nullopt;
}

std::string joined(const std::vector<std::string>& owners)
{
    std::string out;
    for (const std::string& o : owners)
        out += (out.empty() ? "" : ",") + o;
    return out;
}

std::string sparePair(const ControllerState& c, unsigned driveIndex)
{
    const std::string key = "drive" + std::to_string(driveIndex);
    DeviceView d;
    auto it = c.objects.find(key);
    return it != c.objects.end() && readDevice(key, it->second, d) ? d.pair("spare") : "";
}

// Every owner's standing-by drives, in drive order.
std::map<std::string, std::vector<DriveView>> deriveSpares(const ControllerState& c)
{
    std::map<std::string, std::vector<DriveView>> out;
    for (const DriveView& d : configurationOf(c).drives)
        if (d.sliceType != 0)
            for (const std::string& owner : spareOwners(sparePair(c, d.index)))
                if (out[owner].empty() || out[owner].back().index != d.index)
                    out[owner].push_back(d);
    return out;
}

// The drives standing by for an owner, in drive order; the table is kept
// while the object lines stay as they are.
std::vector<DriveView> sparesOf(const ControllerState& c, const std::string& owner)
{
    const auto spares = keptView<deriveSpares>(c);
    auto it = spares->find(owner);
    return it == spares->end() ? std::vector<DriveView>() : it->second;
}

const DriveView* driveOfSlice(const ConfigView& v, uint32_t slice)
{
    for (const DriveView& d : v.drives)
        if (d.sliceType != 0 && d.slice == slice)
            return &d;
    return nullptr;
}

// The owner and the drive a request names, with the drive's owners now.
struct Assignment {
    std::string owner;
    unsigned drive = 0;
    std::vector<std::string> owners;
};

std::optional<Assignment> assignmentOf(const ControllerState& c, const CtRequest& q)
{
    const std::optional<std::string> owner = ownerOf(c, q.param[0]);
    const ConfigView v = configurationOf(c);
    const DriveView* d = driveOfSlice(v, q.param[1]);
    if (!owner || d == nullptr)
        return std::nullopt;
    return Assignment{*owner, d->index, spareOwners(sparePair(c, d->index))};
}

void setOwners(ControllerState& c, const Assignment& a)
{
    setObjectPair(c, "drive" + std::to_string(a.drive), "spare", joined(a.owners));
    ++c.configAge;
}

void assignSpare(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    std::optional<Assignment> a = assignmentOf(c, q);
    r.status = kRefused;
    if (!a)
        return;
    if (std::find(a->owners.begin(), a->owners.end(), a->owner) == a->owners.end()) {
        if (sparesOf(c, a->owner).size() >= kMaxSlices)
            return;
        a->owners.push_back(a->owner);
        setOwners(c, *a);
    }
    r.status = kSpareDone;
}

void clearSpare(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    std::optional<Assignment> a = assignmentOf(c, q);
    r.status = kRefused;
    if (!a)
        return;
    auto it = std::find(a->owners.begin(), a->owners.end(), a->owner);
    if (it != a->owners.end()) {
        a->owners.erase(it);
        setOwners(c, *a);
    }
    r.status = kSpareDone;
}

// 260 bytes: the count, then up to 64 slice numbers.
void failoverData(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const std::optional<std::string> owner = ownerOf(c, q.param[0]);
    r.data.assign(kFailoverBytes, 0);
    r.status = kFailoverData;
    if (!owner)
        return;
    const std::vector<DriveView> spares = sparesOf(c, *owner);
    const size_t n = std::min(spares.size(), kMaxSlices);
    putLe32(r.data.data(), static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i)
        putLe32(r.data.data() + 4 + 4 * i, spares[i].slice);
}

// A missing drive's bundle: its entries leave the scripted PPI table, which
// ages.
void deletePpiBundle(ControllerState& c, const CtRequest& q, CtReply& r)
{
    auto& table = c.ppiTable;
    const size_t before = table.size();
    table.erase(std::remove_if(table.begin(), table.end(),
                               [&](const std::vector<uint8_t>& e) {
                                   return e.size() >= 16 && (e[13] & kPpiMissing) != 0 &&
                                          getLe32(e.data() + kPpiSlice) == q.param[0];
                               }),
                table.end());
    if (table.size() != before)
        ++c.ppiClears;
    r.status = kNewSuccess;
}

}  // namespace

std::vector<std::string> spareOwners(const std::string& value)
{
    std::vector<std::string> out;
    std::istringstream in(value);
    std::string owner;
    while (std::getline(in, owner, ','))
        if (!owner.empty())
            out.push_back(owner);
    return out;
}

bool isGlobalSpare(const std::string& value)
{
    const std::vector<std::string> owners = spareOwners(value);
    return std::find(owners.begin(), owners.end(), kGlobal) != owners.end();
}

void registerSpareHandlers(Dispatcher& dispatcher)
{
    addCtHandler(dispatcher, 41, assignSpare);
    addCtHandler(dispatcher, 42, clearSpare);
    addCtHandler(dispatcher, 43, failoverData);
    addCtHandler(dispatcher, 197, deletePpiBundle);
}

}  // namespace vyn::hostsim
