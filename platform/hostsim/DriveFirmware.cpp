#include "platform/hostsim/DriveFirmware.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vyn::hostsim {

namespace {

constexpr size_t kIdentifyBytes = 512;
constexpr uint8_t kAtaPassThrough12 = 0xA1;
constexpr uint8_t kAtaIdentify = 0xEC;
constexpr uint8_t kAtaDownloadMicrocode = 0x92;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr size_t kBlockBytes = 512;
// ATA8-ACS down to ATA/ATAPI-4; download microcode mode 3 (bit 14 is always
// one in a valid word).
constexpr uint16_t kDefaultWord80 = 0x01F0;
constexpr uint16_t kDefaultWord120 = 0x4010;
// The staged image lives in the state file as hex: a drive image larger than
// this is refused rather than carried from process to process.
constexpr size_t kMaxStagedBytes = 1 << 20;

bool isSata(const DeviceView& d) { return d.kind == "sata" || d.kind == "ssd"; }

bool isDisk(const DeviceView& d) { return d.kind == "sas" || d.kind == "sas-ssd" || isSata(d); }

void putWord(uint8_t* page, size_t word, uint16_t value)
{
    page[2 * word] = static_cast<uint8_t>(value);
    page[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

// ATA strings: two characters a word, the first in the high byte, padded
// with blanks.
void putAtaText(uint8_t* page, size_t firstWord, size_t words, const std::string& text)
{
    for (size_t i = 0; i < 2 * words; ++i) {
        const char ch = i < text.size() ? text[i] : ' ';
        page[2 * firstWord + (i ^ 1)] = static_cast<uint8_t>(ch);
    }
}

uint16_t wordPair(const DeviceView& d, const char* name, uint16_t fallback)
{
    const std::string text = d.pair(name);
    if (text.empty())
        return fallback;
    return static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 0));
}

std::string hexOf(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * bytes.size());
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::vector<uint8_t> stagedOf(const DeviceView& d)
{
    const std::string hex = d.pair("staged");
    return parseHexBytes(hex, hex.size() / 2);
}

size_t be24(const uint8_t* p) { return static_cast<size_t>(p[0]) << 16 | static_cast<size_t>(p[1]) << 8 | p[2]; }

}  // namespace

bool runIdentifyCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                    size_t dataLength, CdbResult& result)
{
    if (cdb == nullptr || cdbLength < 12 || cdb[0] != kAtaPassThrough12 || cdb[9] != kAtaIdentify ||
        !isSata(device))
        return false;
    uint8_t page[kIdentifyBytes] = {};
    putWord(page, 0, 0x0040);
    putAtaText(page, 10, 10, device.serial);
    putAtaText(page, 23, 4, device.revision);
    putAtaText(page, 27, 20, device.vendor + " " + device.product);
    putWord(page, 49, 0x0300);
    const uint64_t lba28 = std::min<uint64_t>(device.blocks, 0x0FFFFFFF);
    putWord(page, 60, static_cast<uint16_t>(lba28));
    putWord(page, 61, static_cast<uint16_t>(lba28 >> 16));
    putWord(page, 80, wordPair(device, "identify.word80", kDefaultWord80));
    putWord(page, 83, 0x4400);
    for (size_t w = 0; w < 4; ++w)
        putWord(page, 100 + w, static_cast<uint16_t>(device.blocks >> (16 * w)));
    putWord(page, 120, wordPair(device, "identify.word120", kDefaultWord120));
    result = CdbResult();
    result.transferred = data != nullptr ? std::min(dataLength, kIdentifyBytes) : 0;
    if (result.transferred > 0)
        std::memcpy(data, page, result.transferred);
    return true;
}

bool runDownloadCdb(const DeviceView& device, const uint8_t* cdb, size_t cdbLength, const uint8_t* out,
                    size_t outLength, CdbResult& result, StagedChunk& chunk)
{
    if (cdb == nullptr)
        return false;
    size_t offset = 0;
    size_t length = 0;
    if (cdbLength >= 12 && cdb[0] == kAtaPassThrough12 && cdb[9] == kAtaDownloadMicrocode && isSata(device)) {
        length = (static_cast<size_t>(cdb[5]) << 8 | cdb[4]) * kBlockBytes;
        offset = (static_cast<size_t>(cdb[7]) << 8 | cdb[6]) * kBlockBytes;
    } else if (cdbLength >= 10 && cdb[0] == kWriteBuffer && isDisk(device)) {
        offset = be24(cdb + 3);
        length = be24(cdb + 6);
    } else {
        return false;
    }
    result = CdbResult();
    chunk = StagedChunk();
    const std::vector<uint8_t> staged = stagedOf(device);
    // A chunk continues the staged image or starts it again; its data must
    // all have come.
    if (length == 0 || out == nullptr || outLength < length || (offset != 0 && offset > staged.size()) ||
        offset + length > kMaxStagedBytes) {
        makeSense(result, 5, 0x24, 0x00);
        return true;
    }
    chunk.pending = true;
    chunk.key = device.key;
    chunk.offset = offset;
    chunk.bytes.assign(out, out + length);
    result.transferred = length;
    return true;
}

bool stageChunk(ControllerState& c, const StagedChunk& chunk)
{
    if (!chunk.pending)
        return false;
    const auto it = c.objects.find(chunk.key);
    DeviceView d;
    if (it == c.objects.end() || !readDevice(it->first, it->second, d))
        return false;
    std::vector<uint8_t> image = chunk.offset == 0 ? std::vector<uint8_t>() : stagedOf(d);
    image.resize(chunk.offset);
    image.insert(image.end(), chunk.bytes.begin(), chunk.bytes.end());
    return setObjectPair(c, chunk.key, "staged", hexOf(image));
}

std::vector<uint8_t> stagedImage(const ControllerState& c, const std::string& key)
{
    const auto it = c.objects.find(key);
    DeviceView d;
    if (it == c.objects.end() || !readDevice(it->first, it->second, d))
        return {};
    return stagedOf(d);
}

}  // namespace vyn::hostsim
