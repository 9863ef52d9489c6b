#include "platform/hostsim/Devices.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/DriveFirmware.h"
#include "platform/hostsim/SmartPage.h"
#include "platform/hostsim/fw/DeviceAttach.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>

namespace vyn::hostsim {

namespace {

// Words of an object line; a value may be double-quoted.
std::vector<std::string> tokens(const std::string& line)
{
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    bool any = false;
    for (char ch : line) {
        if (ch == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (ch == ' ' || ch == '\t')) {
            if (any)
                out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += ch;
            any = true;
        }
    }
    if (any)
        out.push_back(cur);
    return out;
}

// "146G", "500M", "2048s", "1T"; 0 when malformed.
uint64_t sizeBytes(const std::string& s)
{
    char* end = nullptr;
    const unsigned long long n = std::strtoull(s.c_str(), &end, 10);
    if (end == s.c_str())
        return 0;
    switch (*end) {
    case 's': return n * 512;
    case 'K': return n << 10;
    case 'M': return n << 20;
    case 'G': return n << 30;
    case 'T': return n << 40;
    default: return 0;
    }
}

bool parseAddress(const std::string& s, unsigned& bus, unsigned& target, unsigned& lun)
{
    unsigned b = 0, t = 0, l = 0;
    char tail = 0;
    const int n = std::sscanf(s.c_str(), "%u:%u:%u%c", &b, &t, &l, &tail);
    if (n < 2 || n > 3)
        return false;
    bus = b;
    target = t;
    lun = n == 3 ? l : 0;
    return true;
}

unsigned indexOf(const std::string& key, size_t prefix)
{
    return static_cast<unsigned>(std::strtoul(key.c_str() + prefix, nullptr, 10));
}

std::string pairValue(const std::vector<std::string>& words, const std::string& name)
{
    const size_t n = name.size();
    for (const std::string& w : words)
        if (w.size() > n && w[n] == '=' && w.compare(0, n, name) == 0)
            return w.substr(n + 1);
    return std::string();
}

void putText(uint8_t* p, size_t width, const std::string& text)
{
    std::memset(p, ' ', width);
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

}  // namespace

uint8_t DeviceView::peripheralType() const
{
    if (kind == "enclosure")
        return 13;
    if (kind == "processor")
        return 3;
    if (kind == "tape")
        return 1;
    if (kind == "cdrom")
        return 5;
    return 0;
}

std::string DeviceView::pair(const std::string& name) const { return pairValue(words, name); }

bool readDevice(const std::string& key, const std::string& value, DeviceView& d)
{
    auto numbered = [&key](const char* prefix, size_t n) {
        return key.compare(0, n, prefix) == 0 && key.size() > n && std::isdigit(static_cast<unsigned char>(key[n]));
    };
    const bool drive = numbered("drive", 5);
    const bool encl = numbered("encl", 4);
    if (!drive && !encl)
        return false;
    const std::vector<std::string> words = tokens(value);
    d = DeviceView();
    d.key = key;
    d.words = words;
    if (drive) {
        if (words.size() < 3 || !parseAddress(words[0], d.bus, d.target, d.lun))
            return false;
        d.kind = words[1];
        d.blocks = sizeBytes(words[2]) / 512;
        d.vendor = pairValue(words, "vendor");
        d.product = pairValue(words, "product");
        d.revision = pairValue(words, "revision");
        d.serial = pairValue(words, "serial");
        d.state = pairValue(words, "state");
        const unsigned index = indexOf(key, 5);
        if (d.vendor.empty())
            d.vendor = "VYNSIM";
        if (d.product.empty())
            d.product = d.kind == "sata" ? "SATA DISK" : d.kind == "ssd" || d.kind == "sas-ssd" ? "SSD" : "SAS DISK";
        if (d.serial.empty())
            d.serial = "SIM" + std::to_string(1000 + index);
    } else {
        if (words.size() < 2 || !parseAddress(words[1], d.bus, d.target, d.lun))
            return false;
        // A SAF-TE enclosure is seen through its processor device.
        d.kind = words[0] == "safte" ? "processor" : "enclosure";
        d.vendor = pairValue(words, "vendor");
        d.product = pairValue(words, "product");
        d.revision = pairValue(words, "revision");
        if (d.vendor.empty())
            d.vendor = "VYNSIM";
        if (d.product.empty())
            d.product = "ENCLOSURE";
        d.serial = "ENC" + std::to_string(indexOf(key, 4));
    }
    if (d.revision.empty())
        d.revision = "0001";
    if (d.state.empty())
        d.state = "ready";
    return true;
}

namespace {

std::vector<DeviceView> deriveDevices(const ControllerState& c)
{
    std::map<unsigned, DeviceView> drives;
    std::map<unsigned, DeviceView> enclosures;
    for (const auto& [key, value] : c.objects) {
        DeviceView d;
        if (!readDevice(key, value, d))
            continue;
        if (d.kind == "enclosure" || d.kind == "processor")
            enclosures[indexOf(key, 4)] = d;
        else
            drives[indexOf(key, 5)] = d;
    }
    std::vector<DeviceView> out;
    for (auto& e : drives)
        out.push_back(e.second);
    for (auto& e : enclosures)
        out.push_back(e.second);
    return out;
}

std::vector<ContainerHostView> deriveContainers(const ControllerState& c)
{
    std::map<unsigned, ContainerHostView> out;
    for (const auto& [key, value] : c.objects) {
        if (key.compare(0, 2, "ld") != 0 || key.size() < 3 || !std::isdigit(static_cast<unsigned char>(key[2])))
            continue;
        ContainerHostView v;
        v.number = indexOf(key, 2);
        v.host = pairValue(tokens(value), "host");
        if (v.host.empty())
            v.host = "exposed";
        out[v.number] = v;
    }
    std::vector<ContainerHostView> list;
    for (auto& e : out)
        list.push_back(e.second);
    return list;
}

std::map<unsigned, DeviceView> deriveDrives(const ControllerState& c)
{
    std::map<unsigned, DeviceView> drives;
    for (const auto& [key, value] : c.objects) {
        if (key.compare(0, 5, "drive") != 0)
            continue;
        DeviceView d;
        if (readDevice(key, value, d))
            drives[indexOf(key, 5)] = d;
    }
    return drives;
}

}  // namespace

std::shared_ptr<const std::map<unsigned, DeviceView>> drivesByIndex(const ControllerState& c)
{
    return keptView<deriveDrives>(c);
}

SharedList<DeviceView> devicesOf(const ControllerState& c)
{
    return SharedList<DeviceView>(keptView<deriveDevices>(c));
}

SharedList<ContainerHostView> containersOf(const ControllerState& c)
{
    return SharedList<ContainerHostView>(keptView<deriveContainers>(c));
}

bool setObjectPair(ControllerState& c, const std::string& key, const std::string& name, const std::string& value)
{
    auto it = c.objects.find(key);
    if (it == c.objects.end())
        return false;
    const std::string prefix = name + "=";
    std::string line;
    for (const std::string& w : tokens(it->second)) {
        if (w.compare(0, prefix.size(), prefix) == 0)
            continue;
        line += (line.empty() ? "" : " ") + (w.find(' ') != std::string::npos ? "\"" + w + "\"" : w);
    }
    c.objects.set(key, value.empty() ? line : line + " " + prefix + value);
    return true;
}

bool setContainerHost(ControllerState& c, unsigned number, const std::string& host)
{
    return setObjectPair(c, "ld" + std::to_string(number), "host", host);
}

void makeSense(CdbResult& r, uint8_t key, uint8_t asc, uint8_t ascq)
{
    r.status = kScsiCheckCondition;
    std::memset(r.sense, 0, sizeof r.sense);
    r.sense[0] = 0x70;
    r.sense[2] = key;
    r.sense[7] = 10;
    r.sense[12] = asc;
    r.sense[13] = ascq;
    r.senseLength = sizeof r.sense;
}

CdbResult runCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t dataLength)
{
    CdbResult r;
    if (cdbLength == 0 || cdb == nullptr) {
        makeSense(r, 5, 0x20, 0x00);
        return r;
    }
    uint8_t reply[128] = {};
    size_t replyLength = 0;
    size_t allocation = dataLength;
    switch (cdb[0]) {
    case 0x00:  // TEST UNIT READY
        return r;
    case 0x03:  // REQUEST SENSE: no sense pending
        reply[0] = 0x70;
        reply[7] = 10;
        replyLength = 18;
        allocation = cdbLength > 4 ? cdb[4] : 0;
        break;
    case 0x12: {  // INQUIRY
        allocation = cdbLength > 4 ? static_cast<size_t>(cdb[3]) << 8 | cdb[4] : 0;
        if (cdbLength > 1 && (cdb[1] & 1) != 0) {
            const uint8_t page = cdbLength > 2 ? cdb[2] : 0;
            reply[0] = device.peripheralType();
            reply[1] = page;
            if (page == 0x00) {
                reply[3] = 3;
                reply[4] = 0x00;
                reply[5] = 0x80;
                reply[6] = 0x83;
                replyLength = 7;
            } else if (page == 0x80) {
                reply[3] = static_cast<uint8_t>(std::min<size_t>(device.serial.size(), 20));
                std::memcpy(reply + 4, device.serial.data(), reply[3]);
                replyLength = 4 + reply[3];
            } else if (page == 0x83) {
                // One NAA designator made from the address.
                reply[3] = 12;
                reply[4] = 0x01;
                reply[5] = 0x03;
                reply[7] = 8;
                reply[8] = 0x50;
                reply[14] = static_cast<uint8_t>(device.bus);
                reply[15] = static_cast<uint8_t>(device.target);
                replyLength = 16;
            } else {
                makeSense(r, 5, 0x24, 0x00);
                return r;
            }
            break;
        }
        reply[0] = device.peripheralType();
        reply[2] = 5;
        reply[3] = 2;
        reply[4] = 123;
        putText(reply + 8, 8, device.vendor);
        putText(reply + 16, 16, device.product);
        putText(reply + 32, 4, device.revision);
        putText(reply + 36, 20, device.serial);
        putInquiryVendorBytes(device, reply, sizeof reply);
        replyLength = 128;
        break;
    }
    case 0x25: {  // READ CAPACITY (10)
        const uint64_t last = device.blocks == 0 ? 0 : device.blocks - 1;
        putBe32(reply, last > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(last));
        putBe32(reply + 4, 512);
        replyLength = 8;
        break;
    }
    case 0x28: {  // READ (10): a drive's blocks read as zeros
        if (cdbLength < 10) {
            makeSense(r, 5, 0x20, 0x00);
            return r;
        }
        const uint64_t lba = static_cast<uint64_t>(cdb[2]) << 24 | static_cast<uint64_t>(cdb[3]) << 16 |
                             static_cast<uint64_t>(cdb[4]) << 8 | cdb[5];
        const uint64_t count = static_cast<uint64_t>(cdb[7]) << 8 | cdb[8];
        if (lba + count > device.blocks) {
            makeSense(r, 5, 0x21, 0x00);
            return r;
        }
        r.transferred = static_cast<size_t>(std::min<uint64_t>(count * 512, data != nullptr ? dataLength : 0));
        if (r.transferred > 0)
            std::memset(data, 0, r.transferred);
        return r;
    }
    case 0x9E:  // READ CAPACITY (16)
        if (cdbLength < 14 || (cdb[1] & 0x1F) != 0x10) {
            makeSense(r, 5, 0x20, 0x00);
            return r;
        }
        {
            const uint64_t last = device.blocks == 0 ? 0 : device.blocks - 1;
            putBe32(reply, static_cast<uint32_t>(last >> 32));
            putBe32(reply + 4, static_cast<uint32_t>(last));
            putBe32(reply + 8, 512);
            replyLength = 32;
            allocation = static_cast<size_t>(cdb[10]) << 24 | static_cast<size_t>(cdb[11]) << 16 |
                         static_cast<size_t>(cdb[12]) << 8 | cdb[13];
        }
        break;
    default:
        if (runSmartReadCdb(device, cdb, cdbLength, data, dataLength, r) ||
            runIdentifyCdb(device, cdb, cdbLength, data, dataLength, r))
            return r;
        makeSense(r, 5, 0x20, 0x00);
        return r;
    }
    r.transferred = std::min({replyLength, allocation, dataLength});
    if (data != nullptr && r.transferred > 0)
        std::memcpy(data, reply, r.transferred);
    else
        r.transferred = 0;
    return r;
}

std::vector<uint8_t> notificationFib(uint32_t code, const std::vector<uint32_t>& words, const std::string& text)
{
    constexpr size_t kFibBytes = 512;
    std::vector<uint8_t> fib(kFibBytes);
    uint8_t* p = fib.data();
    putLe32(p + kFibXferState, 1);
    putLe16(p + kFibCommand, 700);
    p[kFibStructType] = 1;
    const size_t count = std::min(words.size(), (kFibBytes - kFibHeaderSize) / 4 - 3);
    const size_t textAt = 12 + 4 * count;
    // The text keeps its NUL inside the FIB; the rest of the FIB is zero.
    const size_t textLength = std::min(text.size(), kFibBytes - kFibHeaderSize - textAt - 1);
    const size_t size = textLength != 0 ? textAt + textLength + 1 : textAt;
    putLe16(p + kFibSize, static_cast<uint16_t>(size));
    putLe16(p + kFibSenderSize, kFibBytes);
    putLe32(p + kFibHeaderSize, 1);
    putLe32(p + kFibHeaderSize + 8, code);
    for (size_t i = 0; i < count; ++i)
        putLe32(p + kFibHeaderSize + 12 + 4 * i, words[i]);
    std::memcpy(p + kFibHeaderSize + textAt, text.data(), textLength);
    return fib;
}

uint32_t chunkCrc(const uint8_t* data, size_t length)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

}  // namespace vyn::hostsim
