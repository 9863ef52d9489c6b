#ifndef VYN_COMMAND_VYN_COMMON_FA_FILESYS_H
#define VYN_COMMAND_VYN_COMMON_FA_FILESYS_H

#include "Command/Vyn/common/fa_types.h"

#include <cstddef>
#include <cstdint>

class FSAAPI_CONTEXT;

// Statuses of the image files and the flash update.
enum : FSA_STATUS {
    FSA_STS_FLASH_MISMATCH = 587,
    FSA_STS_FLASH_VERIFY_FAILED = 588,
    FSA_STS_FLASH_NO_PCI_IDS = 589,
    FSA_STS_FLASH_WRONG_CONTROLLER = 590,
    FSA_STS_UFI_OPEN_FAILED = 591,
    FSA_STS_UFI_READ_FAILED = 592,
    FSA_STS_UFI_VERSION_MISMATCH = 593,
    FSA_STS_UFI_SECOND_FILE = 594,
    FSA_STS_UFI_CORRUPT = 595,
    FSA_STS_FLASH_TOO_OLD = 603,
};

// Image file set layout. Every number is little-endian.
constexpr size_t UFI_HEADER_BYTES = 76;
constexpr size_t UFI_ENTRY_BYTES = 20;
constexpr uint32_t UFI_MAX_IMAGES = 32;
// The buffer the controller family hands to FsaCreateUFIfromFile.
constexpr uint32_t UFI_BUFFER_BYTES = 0xA40000;
constexpr char UFI_SIGNATURE[] = "Quenvar User Flash Image";
constexpr size_t UFI_SIGNATURE_BYTES = 24;
enum : size_t {
    UFI_SET_CHECKSUM = 32,
    UFI_PCI_FIRST = 40,
    UFI_PCI_SECOND = 44,
    UFI_PCI_THIRD = 48,
    UFI_PCI_FOURTH = 52,
    UFI_TOTAL_LENGTH = 56,
    UFI_DISK_NUMBER = 60,
    UFI_DISK_COUNT = 64,
    UFI_IMAGE_COUNT = 68,
    UFI_BUILD = 72,
};
enum : size_t {
    UFI_ENTRY_ID = 0,
    UFI_ENTRY_OFFSET = 4,
    UFI_ENTRY_LENGTH = 8,
    UFI_ENTRY_CHECKSUM = 12,
};

// The flash directory inside the image data: a 32-byte marker, the mask of
// its entries in use, and 32 entries of 64 bytes (type word, offset word
// counted from the start of the image data).
constexpr char UFI_FLASH_DIRECTORY_MARKER[] = "*** QUENVAR FLASH DIRECTORY *** ";
constexpr size_t UFI_MARKER_BYTES = 32;
constexpr size_t UFI_DIR_MASK = 0x74;
constexpr size_t UFI_DIR_TYPE = 0x90;
constexpr size_t UFI_DIR_OFFSET = 0x94;
constexpr size_t UFI_DIR_ENTRY_BYTES = 64;
constexpr uint32_t UFI_DIR_OEM_TYPE = 0x5000;
constexpr size_t UFI_OEM_ID_AT = 0x9C;

// The flash request: a SCSI-class request of command 0x10610299 and
// sub-command 0x52 whose data is u32 first argument, u32 second argument,
// u32 operation, then 224 data bytes.
constexpr uint32_t FLASH_COMMAND = 0x10610299;
constexpr uint32_t FLASH_SUB_COMMAND = 0x52;
constexpr uint32_t FLASH_RECORD_BYTES = 236;
constexpr uint32_t FLASH_CHUNK_BYTES = 224;
enum : uint32_t {
    FLASH_OP_PCI_IDS = 0x11,
    FLASH_OP_START = 0x1205A,
    FLASH_OP_START_ALT = 0x1206D,
    FLASH_OP_WRITE = 0x12033,
    FLASH_OP_COMPLETE = 0x12066,
    FLASH_OP_READ = 0x12078,
    FLASH_OP_READ_ALT = 0x120C8,
};

// The file name of disk `disk` of the set named by `base` into `out` (256
// bytes): the base without its ".ufi" (and without a two-digit disk number
// ending in '0' before it), two digits, then ".ufi" (`lowerCase` 1) or
// ".UFI". A name that would not fit is cut at 255 characters.
void createFilename(char* out, const char* base, char disk, int lowerCase);
// 16-bit sum of the bytes.
uint16_t calcChecksum(const uint8_t* data, int length);
// The first flash-directory marker wholly inside the data, or null.
const uint8_t* locateFlashDirectory(const uint8_t* data, int length);
// The OEM identifier byte of the directory's OEM component, or 0xFF when no
// entry in use carries it. `end` bounds everything read: directory words and
// the component's byte past it count as absent.
uint8_t GetOemId(const uint8_t* directory, const uint8_t* imageData, const uint8_t* end);
// The PCI identifier words of the controller: word 0 = device << 16 |
// vendor, word 1 = sub-device << 16 | sub-vendor. 589 when they cannot be read.
FSA_STATUS flash_pci_ids(FSAAPI_CONTEXT* ctx, uint32_t words[2]);
// Writes an image in chunks, then completes the transfer: 0; the bytes not
// sent when a chunk failed; -1 when the completion failed.
int flash_chunks(const uint8_t* image, int length, FSAAPI_CONTEXT* ctx);
// Reads an image back with `readCode`: 0 when equal, -1 at the first
// difference, the bytes not yet compared when a read-back request failed.
int compare_chunks(const uint8_t* image, int length, uint32_t readCode, FSAAPI_CONTEXT* ctx);

// The library-wide copy of the last set read: its header, its image table
// (at most 32 entries) and its build number.
const uint8_t* FsaUfiHeader();
const uint8_t* FsaUfiImageTable();
uint32_t FsaUfiBuild();

extern "C" {
// NVRAM and battery; its operations and record words are in fa_nvram.h.
FSA_STATUS FsaNvram(void* handle, uint32_t operation, uint32_t* record);
// Reads an image file set into `buffer` (0xA40000 bytes) and checks it.
// `fileName` names any file of the set, or its base name.
FSA_STATUS FsaCreateUFIfromFile(void* handle, const char* fileName, uint8_t* buffer);
// Mode bit 0 writes the images before verifying them; 0 only compares. The
// set must be the one FsaCreateUFIfromFile read last.
FSA_STATUS FsaUpdateFlashImages(const uint8_t* buffer, uint32_t mode, void* handle);
}

#endif
