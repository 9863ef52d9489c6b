// Requests about single drives: the device probe and drive-size records, the
// informational exceptions mode page, drive verify, zeroing and secure erase
// (each starts a firmware task), ATA passwords, drive state and security
// requests, the firmware blink flag, JBOD drives, the wear-out parameters,
// and the drive self-test the CDB engine answers.
#include "platform/hostsim/fw/DriveRequests.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTasks.h"
#include "platform/hostsim/fw/ContainerTransport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vyn::hostsim {

namespace {

// SCSI-class request: reply status in word 0, data from payload byte 20.
constexpr size_t kScsiData = 20;
constexpr uint32_t kScsiOk = 0;
constexpr uint32_t kScsiFailed = 1;

constexpr size_t kProbeBytes = 204;
constexpr size_t kProbeLegacyBytes = 108;
constexpr size_t kProbeVersion = 108;
constexpr uint32_t kProbeVersionNow = 2;
constexpr size_t kSizeBytes = 24;
constexpr size_t kModePageBytes = 140;

// Drive request body: operation at 0, flag at 8, device handle at 12, the
// password field (32 bytes) at 23.
constexpr size_t kPasswordAt = 23;
constexpr size_t kPasswordBytes = 32;
constexpr uint32_t kOpVerify = 4;
constexpr uint32_t kOpZero = 6;
constexpr uint32_t kOpSecureErase = 9;
constexpr uint32_t kOpSecureErasePassword = 11;
constexpr uint32_t kOpSetPassword = 12;
constexpr uint32_t kOpClearPassword = 13;

// Drive task job codes, as the firmware's job descriptions name them: zero
// (clear), verify, verify with repair (verify and replace), secure erase.
constexpr uint32_t kJobZero = 2;
constexpr uint32_t kJobVerify = 3;
constexpr uint32_t kJobVerifyRepair = 5;
constexpr uint32_t kJobSecureErase = 7;
constexpr uint32_t kRunning = ControllerState::Task::kRunning;

// Drive state requests (sub-command 80).
constexpr uint32_t kStateEnable = 5;
constexpr uint32_t kStateForceDown = 6;

// JBOD container statuses.
constexpr uint32_t kJbodCreated = 403;
constexpr uint32_t kJbodDeleted = 405;
constexpr uint32_t kJbodRefused = 2;
constexpr uint32_t kNoSuchSlice = 6;
constexpr uint32_t kWearOutSet = 1;

void putLe64(uint8_t* p, uint64_t v)
{
    putLe32(p, static_cast<uint32_t>(v));
    putLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

uint32_t handleOf(const DeviceView& d) { return d.bus << 24 | d.lun << 16 | d.target; }

// The drive a device handle names, or null.
const DeviceView* driveOf(const std::vector<DeviceView>& devices, uint32_t handle)
{
    for (const DeviceView& d : devices)
        if (d.key.compare(0, 5, "drive") == 0 && handleOf(d) == handle)
            return &d;
    return nullptr;
}

std::string hexOf(const std::string& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char ch : text) {
        out += digits[ch >> 4];
        out += digits[ch & 15];
    }
    return out;
}

uint32_t getBe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

uint8_t* scsiData(FibCall& call) { return call.payload() + kScsiData; }
size_t scsiRoom(const FibCall& call) { return call.payloadSize() > kScsiData ? call.payloadSize() - kScsiData : 0; }

// Sub-commands 11 and 5: device handle at 0, state at 4 (0 ready, 1 failed),
// blocks at 8, block size at 16, bus, target and LUN bytes at 20-22; the
// newer record adds the version word at 108 and the kind byte at 112.
void deviceProbe(FibCall& call, bool enhanced)
{
    ControllerState& c = call.controller();
    const uint32_t handle = call.word(3);
    const size_t room = scsiRoom(call);
    std::memset(call.payload(), 0, call.payloadSize());
    const std::vector<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveOf(devices, handle);
    if ((enhanced && c.legacyDeviceProbe) || d == nullptr || room < kProbeBytes) {
        call.setWord(0, kScsiFailed);
        return;
    }
    uint8_t* p = scsiData(call);
    putLe32(p, handle);
    putLe32(p + 4, d->answers() ? 0 : 1);
    putLe64(p + 8, d->blocks);
    putLe32(p + 16, 512);
    p[20] = static_cast<uint8_t>(d->bus);
    p[21] = static_cast<uint8_t>(d->target);
    p[22] = static_cast<uint8_t>(d->lun);
    if (enhanced) {
        putLe32(p + kProbeVersion, kProbeVersionNow);
        p[112] = d->kind == "sata" ? 1 : (d->kind == "ssd" || d->kind == "sas-ssd") ? 2 : 0;
    }
}

// Sub-command 6: blocks (u64) at 0, usable blocks (u64) at 8, block size at 16.
void driveSize(FibCall& call)
{
    ControllerState& c = call.controller();
    std::memset(call.payload(), 0, call.payloadSize());
    const ConfigView v = configurationOf(c);
    for (const DriveView& d : v.drives)
        if (d.handle() == call.word(3) && !d.missing) {
            uint8_t* p = scsiData(call);
            putLe64(p, d.blocks);
            putLe64(p + 8, d.usable);
            putLe32(p + 16, 512);
            return;
        }
    call.setWord(0, kScsiFailed);
}

// Sub-commands 17 and 18: the informational exceptions control page (0x1C)
// of a drive, 140 bytes from the page code; what 18 writes is kept
// (`mode1c=`, hex) and read back by 17.
void modePage(FibCall& call, bool write)
{
    ControllerState& c = call.controller();
    const std::vector<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveOf(devices, call.word(3));
    uint8_t* p = scsiData(call);
    if (d == nullptr || scsiRoom(call) < kModePageBytes) {
        std::memset(call.payload(), 0, call.payloadSize());
        call.setWord(0, kScsiFailed);
        return;
    }
    if (write) {
        std::vector<uint8_t> page(p, p + kModePageBytes);
        // The header's top bits are request flags, not page data; the last
        // ones sent are kept apart (`mode1c.flags`).
        setObjectPair(c, d->key, "mode1c.flags", std::to_string(page[0] >> 6));
        page[0] &= 0x3F;
        std::string text(reinterpret_cast<const char*>(page.data()), page.size());
        setObjectPair(c, d->key, "mode1c", hexOf(text));
        // The drive's SMART state follows its page: the device records read
        // the new settings from here.
        if (page[0] == 0x1C) {
            setObjectPair(c, d->key, "smart.control", std::to_string(page[2] & 0x8D));
            setObjectPair(c, d->key, "smart.mrie", std::to_string(page[3] & 0x0F));
            setObjectPair(c, d->key, "smart.interval", std::to_string(getBe32(page.data() + 4)));
            setObjectPair(c, d->key, "smart.reports", std::to_string(getBe32(page.data() + 8)));
        }
        call.markChanged();
        std::memset(call.payload(), 0, 20);
        return;
    }
    std::memset(call.payload(), 0, call.payloadSize());
    const std::string kept = d->pair("mode1c");
    if (!kept.empty()) {
        const std::vector<uint8_t> page = parseHexBytes(kept, kModePageBytes);
        std::memcpy(p, page.data(), kModePageBytes);
        return;
    }
    p[0] = 0x1C;
    p[1] = 0x0A;
    p[3] = 6;  // MRIE: report on request
}

uint32_t newTaskId(const ControllerState& c) { return c.tasks.empty() ? 1 : c.tasks.rbegin()->first + 1; }

void startDriveTask(ControllerState& c, uint32_t job, const DeviceView& d)
{
    ControllerState::Task& t = c.tasks[newTaskId(c)];
    t.job = job;
    t.object = handleOf(d);
    t.status = kRunning;
    t.total = std::max<uint64_t>(d.blocks, 1);
    t.atMs = c.clockMs;
}

// Sub-commands 48 and 52.
void driveRequest(FibCall& call, bool withPassword)
{
    ControllerState& c = call.controller();
    uint8_t* p = scsiData(call);
    const uint32_t op = getLe32(p);
    const uint32_t flag = getLe32(p + 8);
    const uint32_t handle = getLe32(p + 12);
    std::string password;
    if (withPassword && scsiRoom(call) >= kPasswordAt + kPasswordBytes) {
        const char* field = reinterpret_cast<const char*>(p + kPasswordAt);
        password.assign(field, strnlen(field, kPasswordBytes));
    }
    std::memset(call.payload(), 0, 20);
    const std::vector<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveOf(devices, handle);
    if (d == nullptr || !d->answers()) {
        call.setWord(0, kScsiFailed);
        return;
    }
    const std::string kept = d->pair("ata_password");
    bool ok = true;
    switch (op) {
    case kOpVerify:
        startDriveTask(c, flag != 0 ? kJobVerifyRepair : kJobVerify, *d);
        break;
    case kOpZero:
        startDriveTask(c, kJobZero, *d);
        break;
    case kOpSecureErase:
    case kOpSecureErasePassword:
        // A drive with ATA security set erases only with its password.
        ok = kept.empty() || (withPassword && op == kOpSecureErasePassword && hexOf(password) == kept);
        if (ok)
            startDriveTask(c, kJobSecureErase, *d);
        break;
    case kOpSetPassword:
        ok = withPassword && !password.empty() && (kept.empty() || hexOf(password) == kept);
        if (ok)
            setObjectPair(c, d->key, "ata_password", hexOf(password));
        break;
    case kOpClearPassword:
        ok = withPassword && !kept.empty() && hexOf(password) == kept;
        if (ok)
            setObjectPair(c, d->key, "ata_password", "");
        break;
    default:
        ok = false;
    }
    if (!ok) {
        call.reject("drive request");
        call.setWord(0, kScsiFailed);
        return;
    }
    call.markChanged();
}

// Sub-command 80: {request, 0}; 5 enables a drive, 6 forces it down. A drive
// forced down fails as any other failing drive does, and one enabled again
// comes back as a failed drive does (ContainerTasks.cpp).
void driveState(FibCall& call)
{
    ControllerState& c = call.controller();
    const uint32_t request = getLe32(scsiData(call));
    const std::vector<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveOf(devices, call.word(3));
    std::memset(call.payload(), 0, 20);
    if (d == nullptr || (request != kStateEnable && request != kStateForceDown)) {
        call.setWord(0, kScsiFailed);
        return;
    }
    if (request == kStateForceDown)
        failDrive(c, handleOf(*d));
    else
        enableDrive(c, handleOf(*d));
    call.markChanged();
}

// Sub-command 96: {mode, result}; modes 1 and 2 are done (result 1), mode 0
// reports whether ATA security is set; an unknown drive answers result 2.
void driveSecurity(FibCall& call)
{
    ControllerState& c = call.controller();
    uint8_t* p = scsiData(call);
    const uint32_t mode = getLe32(p);
    const std::vector<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveOf(devices, call.word(3));
    std::memset(call.payload(), 0, 20);
    uint32_t result = 2;
    if (d != nullptr)
        result = mode == 0 ? (d->pair("ata_password").empty() ? 0 : 1) : 1;
    putLe32(p, mode);
    putLe32(p + 4, result);
}

// The drive key of a slice, or "".
std::string driveOfSlice(const ControllerState& c, uint32_t slice)
{
    const ConfigView v = configurationOf(c);
    for (const DriveView& d : v.drives)
        if (d.slice == slice && !d.missing)
            return "drive" + std::to_string(d.index);
    return "";
}

// CT 241: parameter 0 = 1 starts, 0 stops blinking; parameter 1 the drive.
void blink(ControllerState& c, const CtRequest& q, CtReply& r)
{
    const std::vector<DeviceView> devices = devicesOf(c);
    const DeviceView* d = driveOf(devices, q.param[1]);
    if (d == nullptr) {
        r.status = kNoSuchSlice;
        return;
    }
    setObjectPair(c, d->key, "blink", q.param[0] != 0 ? "1" : "");
    r.status = 0;
}

// Whether a logical device has a segment on the drive.
bool holdsSegments(const ConfigView& v, uint32_t driveHandle)
{
    for (const LogDevView& ld : v.logDevs)
        for (const LogDevView::Member& m : ld.members)
            if (m.phy == driveHandle)
                return true;
    return false;
}

// CT 242 and 243: the drive of slice parameter 0 becomes a pass-through
// (JBOD) drive or stops being one. Only a ready drive that serves nothing
// else is passed through, and only a pass-through drive is taken back; the
// refusal is the container status neither success of the two.
void jbod(ControllerState& c, const CtRequest& q, CtReply& r, bool create)
{
    const std::string key = driveOfSlice(c, q.param[0]);
    if (key.empty()) {
        r.status = kNoSuchSlice;
        return;
    }
    const std::vector<DeviceView> devices = devicesOf(c);
    const DeviceView* d = nullptr;
    for (const DeviceView& each : devices)
        if (each.key == key)
            d = &each;
    const bool isJbod = d != nullptr && d->pair("jbod") == "1";
    bool refused = d == nullptr || isJbod != !create;
    if (create && !refused)
        refused = !d->answers() || !d->pair("spare").empty() || holdsSegments(configurationOf(c), handleOf(*d));
    if (refused) {
        r.status = kJbodRefused;
        return;
    }
    setObjectPair(c, key, "jbod", create ? "1" : "");
    r.status = create ? kJbodCreated : kJbodDeleted;
}

// CT 257: the three wear-out parameters; kept with the captured requests.
void wearOut(ControllerState& c, const CtRequest& q, CtReply& r)
{
    keepCtRequest(c, q);
    r.status = kWearOutSet;
}

// Self-test state in the drive line: "running:<code>:<start ms>" or
// "done:<code>:<result>"; code 1 short, 2 extended, 0 the default test.
struct SelfTest {
    bool running = false;
    bool done = false;
    uint32_t code = 0;
    uint64_t value = 0;
};

constexpr uint64_t kShortMs = 120000;
constexpr uint64_t kExtendedMs = 1200000;

SelfTest selfTestOf(const DeviceView& d, uint64_t nowMs)
{
    SelfTest t;
    const std::string text = d.pair("selftest");
    const size_t a = text.find(':');
    const size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    if (b == std::string::npos)
        return t;
    const std::string what = text.substr(0, a);
    t.code = static_cast<uint32_t>(std::strtoul(text.c_str() + a + 1, nullptr, 10)) & 7;
    t.value = std::strtoull(text.c_str() + b + 1, nullptr, 10);
    if (what == "running") {
        const uint64_t length = t.code == 2 ? kExtendedMs : kShortMs;
        if (nowMs >= t.value + length) {
            t.done = true;
            t.value = 0;  // completed without error
        } else {
            t.running = true;
        }
    } else if (what == "done") {
        t.done = true;
        t.value &= 0xF;
    }
    return t;
}

std::string selfTestText(const char* what, uint32_t code, uint64_t value)
{
    return std::string(what) + ":" + std::to_string(code) + ":" + std::to_string(value);
}

void copyOut(const uint8_t* reply, size_t length, size_t allocation, uint8_t* data, size_t dataLength, CdbResult& r)
{
    const size_t n = std::min({length, allocation, dataLength});
    if (data != nullptr && n != 0)
        std::memcpy(data, reply, n);
    r.transferred = data != nullptr ? n : 0;
}

}  // namespace

bool runSelfTestCdb(ControllerState& c, const DeviceView& device, const uint8_t* cdb, size_t cdbLength,
                    uint8_t* data, size_t dataLength, CdbResult& r, bool* changed)
{
    if (cdb == nullptr || cdbLength < 6 || device.kind == "enclosure")
        return false;
    const SelfTest t = selfTestOf(device, c.clockMs);
    switch (cdb[0]) {
    case 0x1D: {  // SEND DIAGNOSTIC
        const uint32_t code = cdb[1] >> 5;
        std::string next;
        if (code == 1 || code == 2) {
            if (t.running) {
                makeSense(r, 5, 0x24, 0x00);  // one self-test at a time
                return true;
            }
            next = selfTestText("running", code, c.clockMs);
        } else if (code == 4) {
            if (!t.running)
                return true;
            next = selfTestText("done", t.code, 1);  // aborted by SEND DIAGNOSTIC
        } else if (code == 0 && (cdb[1] & 0x04) != 0) {
            next = selfTestText("done", 0, 0);  // the default test runs in the foreground
        } else {
            makeSense(r, 5, 0x24, 0x00);
            return true;
        }
        setObjectPair(c, device.key, "selftest", next);
        *changed = true;
        return true;
    }
    case 0x03: {  // REQUEST SENSE
        if (!t.running)
            return false;
        const uint64_t length = t.code == 2 ? kExtendedMs : kShortMs;
        const uint64_t progress = (c.clockMs - t.value) * 65536 / length;
        uint8_t reply[18] = {};
        reply[0] = 0x70;
        reply[2] = 2;
        reply[7] = 10;
        reply[12] = 0x04;
        reply[13] = 0x09;
        reply[15] = 0x80;
        reply[16] = static_cast<uint8_t>(progress >> 8);
        reply[17] = static_cast<uint8_t>(progress);
        copyOut(reply, sizeof reply, cdb[4], data, dataLength, r);
        return true;
    }
    case 0x4D: {  // LOG SENSE
        if ((cdb[2] & 0x3F) != 0x10 || cdbLength < 10)
            return false;
        // Twenty 20-byte parameters, the latest first; only it is kept.
        uint8_t reply[4 + 20 * 20] = {};
        reply[0] = 0x10;
        reply[2] = (20 * 20) >> 8;
        reply[3] = (20 * 20) & 0xFF;
        if (t.running || t.done) {
            uint8_t* p = reply + 4;
            p[1] = 1;
            p[2] = 0x03;
            p[3] = 0x10;
            const uint32_t result = t.running ? 15 : static_cast<uint32_t>(t.value);
            p[4] = static_cast<uint8_t>(t.code << 5 | result);
            std::memset(p + 8, 0xFF, 8);
            if (result >= 3 && result <= 7) {
                p[16] = 3;
                p[17] = 0x11;
            }
        }
        copyOut(reply, sizeof reply, static_cast<size_t>(cdb[7]) << 8 | cdb[8], data, dataLength, r);
        return true;
    }
    default:
        return false;
    }
}

void registerDriveRequestHandlers(Dispatcher& dispatcher)
{
    dispatcher.add(HandlerKind::Class3, 11, [](FibCall& call) { deviceProbe(call, true); });
    dispatcher.add(HandlerKind::Class3, 5, [](FibCall& call) { deviceProbe(call, false); });
    dispatcher.add(HandlerKind::Class3, 6, driveSize);
    dispatcher.add(HandlerKind::Class3, 17, [](FibCall& call) { modePage(call, false); });
    dispatcher.add(HandlerKind::Class3, 18, [](FibCall& call) { modePage(call, true); });
    dispatcher.add(HandlerKind::Class3, 48, [](FibCall& call) { driveRequest(call, false); });
    dispatcher.add(HandlerKind::Class3, 52, [](FibCall& call) { driveRequest(call, true); });
    dispatcher.add(HandlerKind::Class3, 80, driveState);
    dispatcher.add(HandlerKind::Class3, 96, driveSecurity);
    addCtHandler(dispatcher, 241, blink);
    addCtHandler(dispatcher, 242, [](ControllerState& c, const CtRequest& q, CtReply& r) { jbod(c, q, r, true); });
    addCtHandler(dispatcher, 243, [](ControllerState& c, const CtRequest& q, CtReply& r) { jbod(c, q, r, false); });
    addCtHandler(dispatcher, 257, wearOut);
}

}  // namespace vyn::hostsim
