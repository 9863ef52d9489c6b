#include "Command/Vyn/common/fa_filesys.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kPieceBytes = 1024;
constexpr size_t kMaxNameChars = 255;

// Option word 1: identifiers outside the table are written like identifier
// 1; the controller checks a signature block in the image data.
constexpr uint32_t kOpt1AllImages = 0x10000;
constexpr uint32_t kOpt1SignatureBlock = 0x8000000;

// The signature block, at this distance from the start of the image data.
constexpr size_t kSignatureBlockAt = 0x240000;
constexpr uint32_t kSignatureWords[4] = {0xFF00FF00, 0xEEE1E111, 0xDDDD2222, 0xC5C5C5C5};
constexpr size_t kSignatureKind = 0x50;
constexpr size_t kSignatureVersion = 0x52;
constexpr size_t kSignatureBlockBytes = kSignatureVersion + 2;
constexpr uint16_t kSignatureKindWanted = 0x4655;

// The supplement adapter information, re-read after a write: its version
// word and the two firmware records it carries.
constexpr uint16_t kFibSupplementInfo = 706;
constexpr unsigned kFibHeader = 32;
constexpr unsigned kFibBytes = 512;
constexpr size_t kSupVersion = 32;
constexpr size_t kSupStaged = 104;
constexpr size_t kSupBoot = 116;

// The library-wide copy of the last set read.
struct UfiCopy {
    uint8_t header[UFI_HEADER_BYTES];
    uint8_t table[UFI_MAX_IMAGES * UFI_ENTRY_BYTES];
    uint32_t build;
};
UfiCopy g_ufi = {};

uint32_t headerWord(const uint8_t* header, size_t at) { return faGetLe32(header + at); }

bool endsInUfi(const char* base, size_t length)
{
    if (length < 6)
        return false;
    const char* ext = base + length - 4;
    return ext[0] == '.' && (ext[1] == 'u' || ext[1] == 'U') && (ext[2] == 'f' || ext[2] == 'F') &&
           (ext[3] == 'i' || ext[3] == 'I');
}

// The characters of the base that every file name of the set starts with.
size_t keptChars(const char* base)
{
    const size_t length = std::strlen(base);
    if (!endsInUfi(base, length))
        return length;
    return base[length - 6] == '0' ? length - 6 : length - 4;
}

// Closes its file whatever path the call leaves by.
struct FileCloser {
    void operator()(FILE* f) const
    {
        if (f != nullptr)
            std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Step 1 of the read, for one disk: the lower-case name, or the upper-case
// one when the lower-case file is missing; 592 when neither exists, 591 when
// the file found cannot be opened.
FSA_STATUS openDisk(const char* base, uint32_t disk, File& out)
{
    char name[kMaxNameChars + 1];
    createFilename(name, base, static_cast<char>(disk), 1);
    struct stat st;
    if (::stat(name, &st) != 0 && errno == ENOENT) {
        createFilename(name, base, static_cast<char>(disk), 0);
        if (::stat(name, &st) != 0)
            return FSA_STS_UFI_READ_FAILED;
    }
    out.reset(std::fopen(name, "rb"));
    return out ? static_cast<FSA_STATUS>(FSA_STS_SUCCESS) : FSA_STS_UFI_OPEN_FAILED;
}

// Step 4: the rest of the file behind what the buffer holds. A file that
// carries more than the set's total length is corrupt; nothing is written
// past that length, which was checked against the buffer.
FSA_STATUS appendRest(FILE* file, uint8_t* piece, uint8_t* buffer, uint32_t total, uint32_t& have)
{
    for (;;) {
        const size_t n = std::fread(piece, 1, kPieceBytes, file);
        if (n > 0) {
            if (n > total - have)
                return FSA_STS_UFI_CORRUPT;
            std::memcpy(buffer + have, piece, n);
            have += static_cast<uint32_t>(n);
        }
        if (n < kPieceBytes)
            return std::ferror(file) ? FSA_STS_UFI_READ_FAILED : static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    }
}

FSA_STATUS createUfi(FSAAPI_CONTEXT*, void* handle, const char* fileName, uint8_t* buffer)
{
    // A longer name, with the disk number and extension added, no longer
    // names the caller's files.
    if (std::strlen(fileName) > kMaxNameChars || keptChars(fileName) + 6 > kMaxNameChars)
        return FSA_STS_UFI_READ_FAILED;
    File file;
    FSA_STATUS s = openDisk(fileName, 1, file);
    if (s != FSA_STS_SUCCESS)
        return s;
    uint8_t header[UFI_HEADER_BYTES];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header)
        return FSA_STS_UFI_READ_FAILED;
    std::memcpy(g_ufi.header, header, sizeof header);
    std::memset(g_ufi.table, 0, sizeof g_ufi.table);
    g_ufi.build = headerWord(header, UFI_BUILD);
    const uint32_t total = headerWord(header, UFI_TOTAL_LENGTH);
    const uint32_t images = headerWord(header, UFI_IMAGE_COUNT);
    const uint32_t disks = headerWord(header, UFI_DISK_COUNT);
    // The counts decide what is written into the caller's buffer: a set
    // that does not fit it, or the image table, is refused before reading on.
    const size_t tableBytes = static_cast<size_t>(images) * UFI_ENTRY_BYTES;
    if (total > UFI_BUFFER_BYTES || images > UFI_MAX_IMAGES || UFI_HEADER_BYTES + tableBytes > total)
        return FSA_STS_UFI_CORRUPT;
    std::memcpy(buffer, header, sizeof header);
    std::unique_ptr<uint8_t, FreeDeleter> piece(static_cast<uint8_t*>(std::malloc(kPieceBytes)));
    if (!piece)
        return FSA_STS_OUT_OF_MEMORY;
    if (std::fread(buffer + UFI_HEADER_BYTES, 1, tableBytes, file.get()) != tableBytes)
        return FSA_STS_UFI_SECOND_FILE;
    std::memcpy(g_ufi.table, buffer + UFI_HEADER_BYTES, tableBytes);
    uint32_t have = static_cast<uint32_t>(UFI_HEADER_BYTES + tableBytes);
    if ((s = appendRest(file.get(), piece.get(), buffer, total, have)) != FSA_STS_SUCCESS)
        return s;
    file.reset();

    uint32_t lastDisk = 1;
    for (uint32_t disk = 2; disk <= disks && have < total; ++disk) {
        const size_t front = UFI_HEADER_BYTES + tableBytes;
        std::unique_ptr<uint8_t, FreeDeleter> other(static_cast<uint8_t*>(std::malloc(front)));
        if (!other)
            return FSA_STS_OUT_OF_MEMORY;
        if ((s = openDisk(fileName, disk, file)) != FSA_STS_SUCCESS)
            return s;
        if (std::fread(other.get(), 1, front, file.get()) != front)
            return FSA_STS_UFI_READ_FAILED;
        if (std::memcmp(other.get(), UFI_SIGNATURE, UFI_SIGNATURE_BYTES) != 0)
            return FSA_STS_UFI_OPEN_FAILED;
        if (headerWord(other.get(), UFI_BUILD) != g_ufi.build)
            return FSA_STS_UFI_VERSION_MISMATCH;
        if (headerWord(other.get(), UFI_DISK_NUMBER) != disk)
            return FSA_STS_UFI_SECOND_FILE;
        if ((s = appendRest(file.get(), piece.get(), buffer, total, have)) != FSA_STS_SUCCESS)
            return s;
        file.reset();
        lastDisk = disk;
    }
    if (lastDisk != disks || have != total || calcChecksum(buffer, static_cast<int>(total)) !=
                                                   headerWord(header, UFI_SET_CHECKSUM))
        return FSA_STS_UFI_CORRUPT;
    for (uint32_t i = 0; i < images; ++i) {
        const uint8_t* entry = g_ufi.table + i * UFI_ENTRY_BYTES;
        const uint32_t offset = faGetLe32(entry + UFI_ENTRY_OFFSET);
        const uint32_t length = faGetLe32(entry + UFI_ENTRY_LENGTH);
        // The update writes each image from the set: it must lie inside it.
        if (offset > total || length > total - offset)
            return FSA_STS_UFI_CORRUPT;
        if (calcChecksum(buffer + offset, static_cast<int>(length)) != faGetLe32(entry + UFI_ENTRY_CHECKSUM))
            return FSA_STS_UFI_CORRUPT;
    }
    const uint8_t* directory = locateFlashDirectory(buffer, static_cast<int>(total));
    if (directory != nullptr) {
        const uint8_t oem = GetOemId(directory, buffer + UFI_HEADER_BYTES + tableBytes, buffer + total);
        uint32_t controllerOem = 0;
        if (oem != 0xFF && FsaGetAdapterOemId(handle, &controllerOem) == FSA_STS_SUCCESS && controllerOem != oem)
            return FSA_STS_FLASH_WRONG_CONTROLLER;
    }
    return FSA_STS_SUCCESS;
}

// One flash request; its reply replaces the record.
FSA_STATUS flashRequest(FSAAPI_CONTEXT* ctx, uint32_t operation, uint32_t first, uint32_t second,
                        uint8_t (&record)[FLASH_RECORD_BYTES], const uint8_t* data = nullptr, size_t length = 0)
{
    std::memset(record, 0, sizeof record);
    faPutLe32(record, first);
    faPutLe32(record + 4, second);
    faPutLe32(record + 8, operation);
    if (data != nullptr)
        std::memcpy(record + 12, data, std::min<size_t>(length, FLASH_CHUNK_BYTES));
    return SCSI_sendfib(ctx, FLASH_COMMAND, FLASH_SUB_COMMAND, record, sizeof record, 0);
}

// Start and read-back codes of an image identifier; false when the image is
// not written.
bool imageCodes(uint32_t id, uint32_t optionWord1, uint32_t& start, uint32_t& read)
{
    switch (id) {
    case 1: case 4: case 5: case 7: case 8: case 9: case 10: case 11: case 12: case 14: case 15: case 16:
    case 22: case 23: case 24: case 25: case 26:
        start = FLASH_OP_START;
        read = FLASH_OP_READ;
        return true;
    case 2: case 6:
        start = FLASH_OP_START_ALT;
        read = FLASH_OP_READ_ALT;
        return true;
    default:
        start = FLASH_OP_START;
        read = FLASH_OP_READ;
        return (optionWord1 & kOpt1AllImages) != 0;
    }
}

// Firmware older than the controller type can run.
bool tooOld(uint32_t controllerType, uint32_t build)
{
    switch (controllerType) {
    case 12: return build <= 4526;
    case 8: case 10: return build <= 3060;
    case 9: case 13: case 14: return build <= 2971;
    default: return false;
    }
}

void rereadSupplement(FSAAPI_CONTEXT* ctx)
{
    alignas(8) uint8_t fib[kFibBytes];
    faBuildFib(fib, sizeof fib, kFibSupplementInfo, 4);
    if (FsaInternalSendReceiveFib(ctx, faAsFib(fib), 0, sizeof fib) != FSA_STS_SUCCESS)
        return;
    const uint8_t* sup = fib + kFibHeader;
    const uint32_t version = faGetLe32(sup + kSupVersion);
    if (version > 5)
        std::memcpy(ctx->generalInfo.bytes + GI_STAGED_FIRMWARE_VERSION, sup + kSupStaged, 8);
    if (version > 7)
        std::memcpy(ctx->generalInfo.bytes + GI_BOOT_FIRMWARE_VERSION, sup + kSupBoot, 8);
}

FSA_STATUS updateFlash(FSAAPI_CONTEXT* ctx, const uint8_t* buffer, uint32_t mode)
{
    const bool write = (mode & 1) != 0;
    uint32_t words[2] = {0, 0};
    if (flash_pci_ids(ctx, words) != FSA_STS_SUCCESS)
        return FSA_STS_FLASH_NO_PCI_IDS;
    const uint8_t* header = g_ufi.header;
    const uint32_t wanted0 = headerWord(header, UFI_PCI_SECOND) << 16 | (headerWord(header, UFI_PCI_FIRST) & 0xFFFF);
    const uint32_t wanted1 = headerWord(header, UFI_PCI_FOURTH) << 16 | (headerWord(header, UFI_PCI_THIRD) & 0xFFFF);
    if ((words[0] != wanted0 || words[1] != wanted1) && write)
        return FSA_STS_FLASH_WRONG_CONTROLLER;
    if (write && tooOld(ctx->adapterType, g_ufi.build))
        return FSA_STS_FLASH_TOO_OLD;

    const uint32_t total = headerWord(header, UFI_TOTAL_LENGTH);
    const uint32_t images = headerWord(header, UFI_IMAGE_COUNT);
    // The copy was checked when it was read; a header that was never read
    // (or a foreign one) still never leads outside the set it describes.
    if (total > UFI_BUFFER_BYTES || images > UFI_MAX_IMAGES)
        return FSA_STS_UFI_CORRUPT;
    const size_t dataStart = UFI_HEADER_BYTES + images * UFI_ENTRY_BYTES;
    const uint32_t opt1 = FsaOptionWord1(ctx);
    if ((opt1 & kOpt1SignatureBlock) != 0 && dataStart + kSignatureBlockAt + kSignatureBlockBytes <= total) {
        const uint8_t* block = buffer + dataStart + kSignatureBlockAt;
        bool present = true;
        for (size_t i = 0; i < 4; ++i)
            present = present && faGetLe32(block + 4 * i) == kSignatureWords[i];
        if (present && (faGetLe16(block + kSignatureKind) != kSignatureKindWanted ||
                        faGetLe16(block + kSignatureVersion) != 1))
            return FSA_STS_FLASH_TOO_OLD;
    }

    for (uint32_t i = 0; i < images; ++i) {
        const uint8_t* entry = g_ufi.table + i * UFI_ENTRY_BYTES;
        const uint32_t id = faGetLe32(entry + UFI_ENTRY_ID);
        const uint32_t offset = faGetLe32(entry + UFI_ENTRY_OFFSET);
        const uint32_t length = faGetLe32(entry + UFI_ENTRY_LENGTH);
        if (offset > total || length > total - offset)
            return FSA_STS_UFI_CORRUPT;
        uint32_t start = 0;
        uint32_t read = 0;
        if (!imageCodes(id, opt1, start, read)) {
            UtilPrintDebugFormatted(const_cast<char*>("image %u skipped\n"), id);
            continue;
        }
        const uint8_t* image = buffer + offset;
        if (write) {
            uint8_t record[FLASH_RECORD_BYTES];
            if (flashRequest(ctx, start, 0, length, record) != FSA_STS_SUCCESS)
                continue;
            if (flash_chunks(image, static_cast<int>(length), ctx) != 0)
                continue;
        }
        if (compare_chunks(image, static_cast<int>(length), read, ctx) != 0) {
            if (mode == 1)
                return FSA_STS_FLASH_VERIFY_FAILED;
            if (mode == 0)
                return FSA_STS_FLASH_MISMATCH;
        }
    }
    if (mode == 1 && (opt1 & kOpt1AllImages) != 0)
        rereadSupplement(ctx);
    return FSA_STS_SUCCESS;
}

}  // namespace

void createFilename(char* out, const char* base, char disk, int lowerCase)
{
    const size_t kept = std::min(keptChars(base), kMaxNameChars);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", disk);
    digits[2] = '\0';
    std::snprintf(out, kMaxNameChars + 1, "%.*s%s%s", static_cast<int>(kept), base, digits,
                  lowerCase == 1 ? ".ufi" : ".UFI");
}

uint16_t calcChecksum(const uint8_t* data, int length)
{
    uint16_t sum = 0;
    for (int i = 0; i < length; ++i)
        sum = static_cast<uint16_t>(sum + data[i]);
    return sum;
}

const uint8_t* locateFlashDirectory(const uint8_t* data, int length)
{
    if (data == nullptr || length < static_cast<int>(UFI_MARKER_BYTES))
        return nullptr;
    const int last = length - static_cast<int>(UFI_MARKER_BYTES);
    for (int i = 0; i <= last; ++i)
        if (data[i] == '*' && std::memcmp(data + i, UFI_FLASH_DIRECTORY_MARKER, UFI_MARKER_BYTES) == 0)
            return data + i;
    return nullptr;
}

uint8_t GetOemId(const uint8_t* directory, const uint8_t* imageData, const uint8_t* end)
{
    auto inside = [end](const uint8_t* from, size_t at, size_t bytes) {
        return from <= end && at <= static_cast<size_t>(end - from) && bytes <= static_cast<size_t>(end - from) - at;
    };
    if (!inside(directory, UFI_DIR_MASK, 4))
        return 0xFF;
    const uint32_t mask = faGetLe32(directory + UFI_DIR_MASK);
    for (size_t i = 0; i < 32; ++i) {
        if ((mask & (1u << i)) == 0)
            continue;
        const size_t typeAt = UFI_DIR_TYPE + UFI_DIR_ENTRY_BYTES * i;
        const size_t offsetAt = UFI_DIR_OFFSET + UFI_DIR_ENTRY_BYTES * i;
        if (!inside(directory, typeAt, 4) || !inside(directory, offsetAt, 4))
            break;
        if ((faGetLe32(directory + typeAt) & 0xF000) != UFI_DIR_OEM_TYPE)
            continue;
        const size_t component = faGetLe32(directory + offsetAt);
        if (component <= SIZE_MAX - UFI_OEM_ID_AT && inside(imageData, component + UFI_OEM_ID_AT, 1))
            return imageData[component + UFI_OEM_ID_AT];
    }
    return 0xFF;
}

FSA_STATUS flash_pci_ids(FSAAPI_CONTEXT* ctx, uint32_t words[2])
{
    uint8_t record[FLASH_RECORD_BYTES];
    if (flashRequest(ctx, FLASH_OP_PCI_IDS, 0, 0, record) != FSA_STS_SUCCESS)
        return FSA_STS_FLASH_NO_PCI_IDS;
    words[0] = faGetLe32(record);
    words[1] = faGetLe32(record + 4);
    return FSA_STS_SUCCESS;
}

int flash_chunks(const uint8_t* image, int length, FSAAPI_CONTEXT* ctx)
{
    uint8_t record[FLASH_RECORD_BYTES];
    int offset = 0;
    int notSent = 0;
    while (offset < length) {
        const int chunk = std::min(length - offset, static_cast<int>(FLASH_CHUNK_BYTES));
        if (flashRequest(ctx, FLASH_OP_WRITE, static_cast<uint32_t>(offset), static_cast<uint32_t>(chunk), record,
                         image + offset, static_cast<size_t>(chunk)) != FSA_STS_SUCCESS) {
            notSent = length - offset;
            break;
        }
        offset += chunk;
    }
    if (flashRequest(ctx, FLASH_OP_COMPLETE, 0, 0, record) != FSA_STS_SUCCESS)
        return -1;
    return notSent;
}

int compare_chunks(const uint8_t* image, int length, uint32_t readCode, FSAAPI_CONTEXT* ctx)
{
    uint8_t record[FLASH_RECORD_BYTES];
    int offset = 0;
    while (offset < length) {
        const int chunk = std::min(length - offset, static_cast<int>(FLASH_CHUNK_BYTES));
        if (flashRequest(ctx, readCode, static_cast<uint32_t>(offset), static_cast<uint32_t>(chunk), record) !=
            FSA_STS_SUCCESS)
            return length - offset;
        if (std::memcmp(record + 12, image + offset, static_cast<size_t>(chunk)) != 0)
            return -1;
        offset += chunk;
    }
    return 0;
}

const uint8_t* FsaUfiHeader() { return g_ufi.header; }
const uint8_t* FsaUfiImageTable() { return g_ufi.table; }
uint32_t FsaUfiBuild() { return g_ufi.build; }

extern "C" FSA_STATUS FsaCreateUFIfromFile(void* handle, const char* fileName, uint8_t* buffer)
{
    return FsaExportedCall("FsaCreateUFIfromFile", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (fileName == nullptr || buffer == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return createUfi(ctx, handle, fileName, buffer);
    });
}

extern "C" FSA_STATUS FsaUpdateFlashImages(const uint8_t* buffer, uint32_t mode, void* handle)
{
    return FsaExportedCall("FsaUpdateFlashImages", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (buffer == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        return updateFlash(ctx, buffer, mode);
    });
}
