#include "support/ImageSetWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace vyntest {

namespace {

constexpr char kSignature[] = "Quenvar User Flash Image";
constexpr size_t kSetChecksum = 32;
constexpr size_t kPci = 40;
constexpr size_t kPad = 24;  // a byte the library does not read: it settles the set checksum

constexpr char kMarker[] = "*** QUENVAR FLASH DIRECTORY *** ";
constexpr size_t kMarkerBytes = 32;
constexpr size_t kDirMask = 0x74;
constexpr size_t kDirType = 0x90;
constexpr size_t kDirOffset = 0x94;
constexpr size_t kDirBytes = 0x90 + 32 * 64;
constexpr uint32_t kOemType = 0x5000;
constexpr size_t kOemAt = 0x9C;
constexpr size_t kComponentBytes = 0xA0;

uint32_t byteSum(const std::vector<uint8_t>& bytes, size_t from, size_t count)
{
    uint32_t sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum = (sum + bytes[i]) & 0xFFFF;
    return sum;
}

}  // namespace

void ImageSetWriter::putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t ImageSetWriter::getLe32(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | bytes.at(at + i);
    return v;
}

ImageSetWriter& ImageSetWriter::pciIds(uint32_t vendor, uint32_t device, uint32_t subVendor, uint32_t subDevice)
{
    pci_[0] = vendor;
    pci_[1] = device;
    pci_[2] = subVendor;
    pci_[3] = subDevice;
    return *this;
}

ImageSetWriter& ImageSetWriter::build(uint32_t build)
{
    build_ = build;
    for (Image& image : images_)
        if (image.bytes.size() >= 16 && getLe32(image.bytes, 0) == 0x4D494656)
            putLe32(image.bytes, 12, build);
    return *this;
}

ImageSetWriter& ImageSetWriter::oemId(uint8_t oem)
{
    oem_ = oem;
    return *this;
}

ImageSetWriter& ImageSetWriter::disks(uint32_t count)
{
    disks_ = count;
    return *this;
}

ImageSetWriter& ImageSetWriter::image(uint32_t id, uint32_t length)
{
    std::vector<uint8_t> bytes(length);
    for (uint32_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + id * 13 + 1);
    if (length >= 16) {
        putLe32(bytes, 0, 0x4D494656);  // "VFIM"
        putLe32(bytes, 4, id);
        bytes[8] = 0;   // dash
        bytes[9] = 0;   // type
        bytes[10] = 2;  // minor
        bytes[11] = 5;  // major
        putLe32(bytes, 12, build_);
    }
    return image(id, std::move(bytes));
}

ImageSetWriter& ImageSetWriter::image(uint32_t id, std::vector<uint8_t> bytes, int64_t storedChecksum)
{
    images_.push_back(Image{id, std::move(bytes), storedChecksum});
    return *this;
}

std::vector<uint8_t> ImageSetWriter::header(uint32_t disk, uint32_t total) const
{
    std::vector<uint8_t> h(kHeaderBytes, 0);
    std::memcpy(h.data(), kSignature, 24);
    for (size_t i = 0; i < 4; ++i)
        putLe32(h, kPci + 4 * i, pci_[i]);
    putLe32(h, kTotalLength, total);
    putLe32(h, kDiskNumber, disk);
    putLe32(h, kDiskCount, disks_);
    putLe32(h, kImageCount, static_cast<uint32_t>(images_.size()));
    putLe32(h, kBuild, build_);
    return h;
}

std::vector<uint8_t> ImageSetWriter::assembled() const
{
    const size_t front = kHeaderBytes + kEntryBytes * images_.size();
    std::vector<uint8_t> data;
    std::vector<uint8_t> table(kEntryBytes * images_.size(), 0);
    for (size_t i = 0; i < images_.size(); ++i) {
        const Image& image = images_[i];
        putLe32(table, kEntryBytes * i, image.id);
        putLe32(table, kEntryBytes * i + 4, static_cast<uint32_t>(front + data.size()));
        putLe32(table, kEntryBytes * i + 8, static_cast<uint32_t>(image.bytes.size()));
        const uint32_t sum = byteSum(image.bytes, 0, image.bytes.size());
        putLe32(table, kEntryBytes * i + 12,
                image.storedChecksum >= 0 ? static_cast<uint32_t>(image.storedChecksum) : sum);
        data.insert(data.end(), image.bytes.begin(), image.bytes.end());
    }
    if (oem_ >= 0) {
        // The directory, then the one component it lists.
        std::vector<uint8_t> dir(kDirBytes + kComponentBytes, 0);
        std::memcpy(dir.data(), kMarker, kMarkerBytes);
        putLe32(dir, kDirMask, 1);
        putLe32(dir, kDirType, kOemType | 0x12);
        putLe32(dir, kDirOffset, static_cast<uint32_t>(data.size() + kDirBytes));
        dir[kDirBytes + kOemAt] = static_cast<uint8_t>(oem_);
        data.insert(data.end(), dir.begin(), dir.end());
    }
    std::vector<uint8_t> set = header(1, static_cast<uint32_t>(front + data.size()));
    set.insert(set.end(), table.begin(), table.end());
    set.insert(set.end(), data.begin(), data.end());
    settleChecksum(set);
    return set;
}

void ImageSetWriter::settleChecksum(std::vector<uint8_t>& set)
{
    // The stored checksum is part of what it sums: a checksum c whose low
    // byte is free and whose high byte h settles 255 * h = the sum of the
    // other bytes (mod 65536), found by trying the pad byte's values.
    for (unsigned pad = 0; pad < 256; ++pad) {
        set[kPad] = static_cast<uint8_t>(pad);
        putLe32(set, kSetChecksum, 0);
        const uint32_t rest = byteSum(set, 0, set.size());
        for (uint32_t high = 0; high < 256; ++high)
            if ((255 * high) % 65536 == rest) {
                putLe32(set, kSetChecksum, high << 8);
                return;
            }
    }
    throw std::logic_error("no set checksum settles");
}

std::vector<std::vector<uint8_t>> ImageSetWriter::files() const
{
    const std::vector<uint8_t> set = assembled();
    const size_t front = kHeaderBytes + kEntryBytes * images_.size();
    const size_t data = set.size() - front;
    const size_t count = disks_ == 0 ? 1 : disks_;
    const size_t part = (data + count - 1) / count;
    std::vector<std::vector<uint8_t>> out;
    for (size_t k = 0; k < count; ++k) {
        std::vector<uint8_t> file(set.begin(), set.begin() + front);
        putLe32(file, kDiskNumber, static_cast<uint32_t>(k + 1));
        const size_t from = front + std::min(data, k * part);
        const size_t to = front + std::min(data, (k + 1) * part);
        file.insert(file.end(), set.begin() + from, set.begin() + to);
        out.push_back(std::move(file));
    }
    return out;
}

std::vector<std::string> ImageSetWriter::write(const std::string& dir, const std::string& base, bool upperCase) const
{
    return writeFiles(dir, base, files(), upperCase);
}

std::vector<std::string> ImageSetWriter::writeFiles(const std::string& dir, const std::string& base,
                                                    const std::vector<std::vector<uint8_t>>& files, bool upperCase)
{
    std::vector<std::string> paths;
    for (size_t k = 0; k < files.size(); ++k) {
        char number[16];
        std::snprintf(number, sizeof number, "%02u", static_cast<unsigned>(k + 1));
        const std::string path = dir + "/" + base + number + (upperCase ? ".UFI" : ".ufi");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(files[k].data()), static_cast<std::streamsize>(files[k].size()));
        if (!out)
            throw std::runtime_error("cannot write " + path);
        paths.push_back(path);
    }
    return paths;
}

}  // namespace vyntest
