// The physical-device record (CT 248, 440 bytes) of drives and enclosure
// processor devices: address and attachment kind, inquiry data, block
// counts, flags, SMART control fields, the two phy records, the SAS address
// and the firmware state words.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Devices.h"
#include "platform/hostsim/fw/DeviceAttach.h"
#include "platform/hostsim/fw/Enclosures.h"
#include "platform/hostsim/fw/Spares.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vyn::hostsim {

namespace {

// Record fields, by byte offset.
enum : size_t {
    kValidity = 0,
    kHandle = 8,
    kBus = 12,
    kTarget = 16,
    kLun = 24,
    kSpeed = 32,
    kBusType = 36,
    kKind = 37,
    kCacheSetting = 38,
    kNvsramIndex = 39,
    kBlocks = 40,
    kUsable = 48,
    kMaxUsable = 56,
    kBlockSize = 64,
    kFlags = 68,
    kFlags2 = 69,
    kFingerprint = 72,
    kInquiry = 80,
    kSerial = 116,
    kSlice = 136,
    kPhy0 = 176,
    kPhy1 = 224,
    kSmart = 272,
    kSasAddress = 288,
    kExtendedId = 304,
    kRevisionExtension = 324,
    kTaskInProgress = 336,
    kFirmwareState = 352,
};

// Flags byte 68 and 69.
constexpr uint8_t kFailed = 0x01;
constexpr uint8_t kGlobalSpare = 0x04;
constexpr uint8_t kManaged = 0x10;
constexpr uint8_t kNcq = 0x20;
constexpr uint8_t kInitialised = 0x40;
constexpr uint8_t kNonSpinning = 0x80;
constexpr uint8_t kCachePoolCapable = 0x01;
constexpr uint8_t kCachePoolAssigned = 0x02;
constexpr uint8_t kAtaSecurity = 0x10;

// Attachment kinds of byte 37: 3 carries its SAS address as fingerprint.
constexpr uint8_t kKindDirect = 1;
constexpr uint8_t kKindSata = 2;
constexpr uint8_t kKindSas = 3;

constexpr uint64_t kLeadBlocks = 128;
constexpr uint64_t kTailBlocks = 2048;

uint32_t number(const DeviceView& d, const char* name, uint32_t fallback)
{
    const std::string v = d.pair(name);
    return v.empty() ? fallback : static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 0));
}

void putText(uint8_t* p, size_t width, const std::string& text)
{
    std::memset(p, ' ', width);
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

void putLe64(uint8_t* p, uint64_t v)
{
    putLe32(p, static_cast<uint32_t>(v));
    putLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

void putBe64(uint8_t* p, uint64_t v)
{
    putBe32(p, static_cast<uint32_t>(v >> 32));
    putBe32(p + 4, static_cast<uint32_t>(v));
}

void putAddress(uint8_t* r, const DeviceView& d)
{
    putLe32(r + kHandle, d.bus << 24 | d.lun << 16 | d.target);
    putLe32(r + kBus, d.bus);
    putLe32(r + kTarget, d.target);
    putLe64(r + kLun, d.lun);
}

// Standard inquiry data (36 bytes) at byte 80: peripheral type, removable
// bit, version, vendor, product and revision; the serial number follows.
void putInquiry(uint8_t* r, const DeviceView& d, uint8_t type, uint8_t version)
{
    uint8_t* q = r + kInquiry;
    q[0] = type;
    q[1] = number(d, "removable", 0) != 0 ? 0x80 : 0;
    q[2] = version;
    q[3] = 2;
    q[4] = 31;
    putText(q + 8, 8, d.vendor);
    putText(q + 16, 16, d.product);
    putText(q + 32, 4, d.revision.substr(0, std::min<size_t>(4, d.revision.size())));
    putText(r + kSerial, 20, d.serial);
    putText(r + kRevisionExtension, 4, d.revision.size() > 4 ? d.revision.substr(4) : "");
}

// One 48-byte phy record laid out as an SMP DISCOVER response from its byte
// 8: phy identifier, attached device type, link rate, protocols, the phy's
// and the attached SAS address, attached phy, programmed and hardware rates.
void putPhy(uint8_t* p, unsigned phy, uint64_t address, uint64_t attached, bool sata, unsigned attachedPhy)
{
    if (address == 0)
        return;
    p[1] = static_cast<uint8_t>(phy);
    p[4] = 0x20;  // attached to an expander
    p[5] = 0x0A;  // 6 Gbit/s
    p[7] = sata ? 0x01 : 0x08;
    putBe64(p + 8, address);
    putBe64(p + 16, attached);
    p[24] = static_cast<uint8_t>(attachedPhy);
    p[32] = 0x88;
    p[33] = 0xAA;
}

uint32_t fnv(const std::string& text)
{
    uint32_t h = 2166136261u;
    for (char ch : text)
        h = (h ^ static_cast<uint8_t>(ch)) * 16777619u;
    return h;
}

}  // namespace

void fillDriveRecord(const ControllerState& c, unsigned driveIndex, uint8_t* r)
{
    // The drive's line as read while the object lines stay as they are.
    const auto drives = drivesByIndex(c);
    auto it = drives->find(driveIndex);
    if (it == drives->end() || it->second.key != "drive" + std::to_string(driveIndex))
        return;
    const DeviceView& d = it->second;
    const bool sata = d.kind == "sata" || d.kind == "ssd";
    const bool disk = sata || d.kind == "sas" || d.kind == "sas-ssd";
    const bool solid = d.kind == "ssd" || d.kind == "sas-ssd";

    const std::vector<EnclosureView> enclosures = enclosuresOf(c);
    unsigned emp = 0, slot = 0;
    const bool inSlot = slotOfDrive(enclosures, driveIndex, &emp, &slot);
    const bool inSes2 = inSlot && enclosures[emp].ses2;

    putLe32(r + kValidity, 0x3);  // auxiliary state and ATA security valid
    putAddress(r, d);
    putLe32(r + kSpeed, disk ? (sata ? 3000 : 6000) : 0);
    r[kBusType] = disk ? (sata ? 2 : 3) : 1;
    r[kKind] = static_cast<uint8_t>(number(d, "kind", disk ? (sata ? kKindSata : kKindSas) : kKindDirect));
    r[kCacheSetting] = static_cast<uint8_t>(number(d, "cache", 1));
    r[kNvsramIndex] = inSlot && !inSes2 ? static_cast<uint8_t>(enclosures[emp].nvsram) : 0xFF;

    const uint64_t blocks = d.blocks;
    const uint64_t usable = blocks > kLeadBlocks + kTailBlocks ? (blocks - kLeadBlocks - kTailBlocks) / 128 * 128 : 0;
    putLe32(r + kBlocks, static_cast<uint32_t>(blocks));
    putLe32(r + kBlocks + 4, static_cast<uint32_t>(blocks >> 32));
    putLe32(r + kUsable, static_cast<uint32_t>(usable));
    putLe32(r + kUsable + 4, static_cast<uint32_t>(usable >> 32));
    putLe32(r + kMaxUsable, static_cast<uint32_t>(usable));
    putLe32(r + kMaxUsable + 4, static_cast<uint32_t>(usable >> 32));
    putLe32(r + kBlockSize, 512);

    uint8_t flags = 0;
    if (d.state == "failed")
        flags |= kFailed;
    if (isGlobalSpare(d.pair("spare")))
        flags |= kGlobalSpare;
    if (disk)
        flags |= kManaged | kInitialised;
    if (sata)
        flags |= kNcq;
    if (solid)
        flags |= kNonSpinning;
    r[kFlags] = static_cast<uint8_t>(number(d, "flags", flags));
    // SATA drives carry the ATA security feature set unless described
    // without it; the validity word says the bit is meant.
    const bool ataSecurity = number(d, "ata_security", sata ? 1 : 0) != 0;
    uint8_t flags2 = (solid ? kCachePoolCapable : 0) | (ataSecurity ? kAtaSecurity : 0);
    if (std::find(c.cachePool.begin(), c.cachePool.end(), d.bus << 24 | d.lun << 16 | d.target) != c.cachePool.end())
        flags2 |= kCachePoolAssigned;
    r[kFlags2] = static_cast<uint8_t>(number(d, "flags2", flags2));
    putLe32(r + kFingerprint, fnv(d.serial));
    putLe32(r + kFingerprint + 4, fnv(d.vendor + d.serial));

    const uint8_t type = static_cast<uint8_t>(number(d, "type", d.peripheralType()));
    putInquiry(r, d, type, static_cast<uint8_t>(number(d, "version", inSes2 ? 5 : 3)));

    const uint64_t phy0 = driveSasAddress(d, 0);
    const uint64_t phy1 = driveSasAddress(d, 1);
    // Outside an enclosure a drive attaches to the controller's own port.
    const uint64_t attached = enclosureSasAddress(c, inSlot ? emp : 0xFFF);
    putPhy(r + kPhy0, 0, phy0, attached, sata, inSlot ? slot : d.target);
    putPhy(r + kPhy1, 1, phy1, attached, sata, inSlot ? slot : d.target);

    // SMART: supported and enabled (272, 273), the informational-exceptions
    // control bits (274), MRIE (275), interval timer, report count, errors.
    if (disk && number(d, "smart", 1) != 0) {
        uint8_t* s = r + kSmart;
        s[0] = 1;
        s[1] = 1;
        s[2] = static_cast<uint8_t>(number(d, "smart.control", 0));
        s[3] = static_cast<uint8_t>(number(d, "smart.mrie", 6));
        putLe32(s + 4, number(d, "smart.interval", 6000));
        putLe32(s + 8, number(d, "smart.reports", 0));
        putLe32(s + 12, number(d, "smart.errors", 0));
    }
    putBe64(r + kSasAddress, phy0);
    putText(r + kExtendedId, 20, d.vendor + d.serial);
    putLe32(r + kFirmwareState, d.state == "failed" ? 2 : d.state == "missing" ? 3 : number(d, "pm", 1));
    putLe32(r + kTaskInProgress, driveHasTask(c, getLe32(r + kHandle)) ? 1 : 0);
    applyAttachFields(d, r);
}

std::vector<uint32_t> enclosureDeviceHandles(const ControllerState& c)
{
    std::vector<uint32_t> handles;
    for (const EnclosureView& e : enclosuresOf(c))
        handles.push_back(e.handle());
    return handles;
}

bool enclosureDeviceRecord(const ControllerState& c, uint32_t handle, uint8_t* r)
{
    for (const EnclosureView& e : enclosuresOf(c)) {
        if (e.handle() != handle)
            continue;
        const std::string key = "encl" + std::to_string(e.number);
        DeviceView d;
        if (!readDevice(key, c.objects.at(key), d))
            return false;
        putLe32(r + kValidity, 0x3);
        putAddress(r, d);
        r[kBusType] = 3;
        r[kKind] = kKindSas;
        r[kNvsramIndex] = static_cast<uint8_t>(e.nvsram);
        putLe32(r + kBlockSize, 512);
        putInquiry(r, d, d.peripheralType(), e.ses2 ? 5 : 2);
        putLe32(r + kSlice, 0xFFFFFFFFu);
        putBe64(r + kSasAddress, enclosureSasAddress(c, e.emp));
        putText(r + kExtendedId, 20, d.vendor + d.serial);
        putLe32(r + kFirmwareState, 1);
        return true;
    }
    return false;
}

}  // namespace vyn::hostsim
