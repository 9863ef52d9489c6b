// Drive firmware download: the image file goes to a SATA drive in ATA
// DOWNLOAD MICROCODE commands inside ATA PASS-THROUGH (12), to a SAS drive in
// SCSI WRITE BUFFER commands, chunk by chunk through the drive's own
// pass-through; and one word of a SATA drive's IDENTIFY DEVICE data.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Command/Vyn/os/HostIo.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

constexpr int kInterfaceSata = 1;
constexpr int kInterfaceSas = 4;
constexpr unsigned long kBlockBytes = 512;

// IDENTIFY DEVICE: 256 little-endian words. Word 80 bit 8 names ATA8-ACS,
// word 120 bit 4 download microcode mode 3.
constexpr unsigned long kIdentifyWords = 256;
constexpr unsigned long kMajorVersionWord = 80;
constexpr unsigned long kAta8Bit = 1UL << 8;
constexpr unsigned long kDownloadModesWord = 120;
constexpr unsigned long kMode3Bit = 1UL << 4;

constexpr int kSrbSuccess = 1;
// The controller took the command but could not say it completed; it is
// sent again, and taken as done once the retries are spent.
constexpr int kSrbRetry = 10;
constexpr int kCheckCondition = 2;
constexpr unsigned kSenseNoSense = 0;
constexpr unsigned kSenseRecovered = 1;
constexpr unsigned kSenseNotReady = 2;
constexpr unsigned kSenseKeyByte = 2;
// Firmware API status of a controller too busy for the command: a SATA
// download waits and sends it again.
constexpr unsigned kApiBusy = 10;
constexpr unsigned kBusyWaitMs = 10000;
// Both retry counters serve the whole download: each allows two more sends.
constexpr unsigned kLastRetry = 1;
// The code of a download the drive refused.
constexpr int kRefused = 6;

// What the command blocks can address: the SATA block count and block
// offset are 16-bit fields, the SAS offset and length 24-bit ones.
constexpr unsigned long kSataFieldMax = 0xFFFF;
constexpr unsigned long kSasFieldMax = 0xFFFFFF;

// The details of a failed send, one record each.
void writeSendDetails(const Ret& sent)
{
    const struct {
        const char* label;
        unsigned value;
    } details[] = {
        {"API Return Code = ", sent.getAPIReturn()},
        {"IOCTL Return Code = ", sent.getIOCTLReturn()},
        {"Get Retry no = ", sent.getRetryNumber()},
        {"Get IOC Status =  ", sent.getIOCStatus()},
        {"Get SCSI Status =  ", sent.getSCSIStatus()},
        {"Get Sense Data Error = ", sent.getSenseDataError()},
        {"Key  = ", sent.getSenseKey()},
        {"qualifier  = ", sent.getSenseCodeQualifier()},
    };
    for (const auto& d : details)
        VynErrorPrintf(__FILE__, __LINE__, vynerror::API, d.label, static_cast<int>(d.value));
}

void putBe24(unsigned char* p, unsigned long v)
{
    p[0] = static_cast<unsigned char>(v >> 16);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v);
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// One download: the image in units (512-byte blocks for SATA, bytes for
// SAS), the chunk in the same units, and the command whose write area holds
// one chunk.
struct Download {
    bool sata;
    const unsigned char* image;
    unsigned long unitBytes;
    unsigned long totalUnits;
    unsigned long chunkUnits;
    SCSICommand command;
};

// Sends the chunks in order; a chunk is sent again while the drive is not
// ready or the controller asks for it, within the shared retry counts.
Ret sendChunks(HardDrive& drive, Download& d)
{
    unsigned statusRetries = 0;
    unsigned busyRetries = 0;
    unsigned long offset = 0;
    unsigned char* cdb = d.command.getScsiCmd()->Ptr();
    unsigned char* area = d.command.getWriteData().Ptr();
    while (offset < d.totalUnits) {
        const unsigned long units = std::min(d.chunkUnits, d.totalUnits - offset);
        std::memcpy(area, d.image + offset * d.unitBytes, units * d.unitBytes);
        if (d.sata) {
            cdb[4] = static_cast<unsigned char>(units);
            cdb[5] = static_cast<unsigned char>(units >> 8);
            cdb[6] = static_cast<unsigned char>(offset);
            cdb[7] = static_cast<unsigned char>(offset >> 8);
        } else {
            putBe24(cdb + 3, offset);
            putBe24(cdb + 6, units);
        }
        d.command.scsiStatus = 0;
        d.command.srbStatus = 0;
        const Ret sent = drive.scsiPassThruCommand(d.command);
        Buffer& sense = d.command.getSenseData();
        const unsigned key =
            sense.Ptr() != nullptr && sense.Size() > kSenseKeyByte ? sense.Ptr()[kSenseKeyByte] & 0x0F : 0;
        const int scsiStatus = d.command.getScsiStatus();
        const int srbStatus = d.command.getSrbStatus();
        if (d.sata)
            VynTracePrintf("Value of scsi.getScsiStatus = %d, scsi.getSrbStatus  = %d", scsiStatus, srbStatus);

        if (sent.getReturn() != 0) {
            if (d.sata && sent.getAPIReturn() == kApiBusy && busyRetries <= kLastRetry) {
                hostIo().sleepMs(kBusyWaitMs);
                ++busyRetries;
                continue;
            }
            writeSendDetails(sent);
            return sent;
        }
        if (srbStatus != kSrbSuccess) {
            if (scsiStatus == kCheckCondition && key != kSenseNoSense && key != kSenseRecovered) {
                if (key == kSenseNotReady && statusRetries <= kLastRetry) {
                    ++statusRetries;
                    continue;
                }
                writeSendDetails(sent);
                return Ret(kRefused);
            }
            if (srbStatus != kSrbRetry) {
                writeSendDetails(sent);
                return Ret(kRefused);
            }
            if (statusRetries <= kLastRetry) {
                ++statusRetries;
                continue;
            }
        }
        offset += units;
    }
    return Ret(0);
}

}  // namespace

Ret VynHardDrive::readDriveFirmwareFile(const char* path, Buffer& image)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::readDriveFirmwareFile()");
    Ret ret(0);
    const bool ownImage = &image == getImageBuffer();
    try {
        // Whatever happens below, the buffer no longer holds an earlier file.
        if (ownImage)
            imageFile.clear();
        if (path == nullptr) {
            vynerror::badParam(ret, "pFileNameIN==NULL", 0);
            return ret;
        }
        std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
        if (file == nullptr) {
            vynerror::badParam(ret, "Unable to open the firmware file", 0);
            return ret;
        }
        // Only a regular file has a size to read; a directory opens too.
        struct stat st;
        if (::fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
            vynerror::badParam(ret, "The firmware file is not a regular file", 0);
            return ret;
        }
        if (std::fseek(file.get(), 0, SEEK_END) != 0) {
            vynerror::badParam(ret, "Unable to position the firmware file", 0);
            return ret;
        }
        const long size = std::ftell(file.get());
        if (size < 0 || static_cast<unsigned long long>(size) > 0xFFFFFFFFULL ||
            std::fseek(file.get(), 0, SEEK_SET) != 0) {
            vynerror::badParam(ret, "Unable to size the firmware file", 0);
            return ret;
        }
        // Nothing to send would be reported as a download done.
        if (size == 0) {
            image.Alloc(0, false);
            vynerror::badParam(ret, "The firmware file is empty", 0);
            return ret;
        }
        unsigned char* bytes = image.Alloc(static_cast<unsigned long>(size), false);
        if (bytes == nullptr) {
            vynerror::resourceError(ret, "Firmware image buffer");
            return ret;
        }
        const size_t read = std::fread(bytes, 1, static_cast<size_t>(size), file.get());
        VynTracePrintf("File size  = %d", static_cast<int>(read));
        // A short read would leave stale bytes in the image to be flashed.
        if (read != static_cast<size_t>(size)) {
            // Released, not zeroed: zeros of the file's size would be sent.
            image.Alloc(0, false);
            vynerror::badParam(ret, "Unable to read the whole firmware file", static_cast<long>(read));
            return ret;
        }
        if (ownImage)
            imageFile = path;
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::GetSataIdentifyWord(unsigned long index, unsigned long* word)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::GetSataIdentifyWord()");
    Ret ret(0);
    try {
        if (word == nullptr) {
            vynerror::badParam(ret, "*word is NULL", 0);
            return ret;
        }
        if (getInterfaceType() != kInterfaceSata) {
            vynerror::notSupported(ret, "Hard drive is not SATA", 0);
            return ret;
        }
        if (index >= kIdentifyWords) {
            vynerror::badParam(ret, "Word index beyond the IDENTIFY data", static_cast<long>(index));
            return ret;
        }
        SCSICommand command;
        command.initAtaPassthrough12IdentifyDevice();
        Buffer& data = command.getReadData();
        if (data.Ptr() == nullptr || data.Size() < kIdentifyWords * 2 || command.getScsiCmd()->Ptr() == nullptr) {
            vynerror::resourceError(ret, "IDENTIFY DEVICE command");
            return ret;
        }
        ret = scsiPassThruCommand(command);
        if (ret.getReturn() == 0) {
            VynTracePrintf(" doScsiPassThru- successful");
            const unsigned char* bytes = data.Ptr();
            *word = bytes[2 * index] + 256UL * bytes[2 * index + 1];
            VynTracePrintf("Value of Word %lx = %lx", index, *word);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::upgradeSATADriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::upgradeSATADriveFirmware()");
    Ret ret(0);
    try {
        // What the drive says it supports is only noted.
        unsigned long word = 0;
        if (GetSataIdentifyWord(kMajorVersionWord, &word).getReturn() == 0 && (word & kAta8Bit) != 0) {
            VynErrorPrintf(__FILE__, __LINE__, vynerror::BAD_PARAM, "ATA 8 is supported", static_cast<int>(word));
            word = 0;
            if (GetSataIdentifyWord(kDownloadModesWord, &word).getReturn() == 0 && (word & kMode3Bit) != 0)
                VynErrorPrintf(__FILE__, __LINE__, vynerror::BAD_PARAM, "Mode 3 is supported", static_cast<int>(word));
        }
        const int type = getInterfaceType();
        if (type != kInterfaceSata) {
            vynerror::notSupported(ret, "Hard drive is not SATA", type);
            return ret;
        }
        ret = flashSataHarddrive(file, chunkSize, mode);
        if (ret.getReturn() == 0)
            VynTracePrintf(" scsiPassThruCommand- successful");
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::upgradeSASDriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::upgradeSASDriveFirmware()");
    Ret ret(0);
    try {
        const int type = getInterfaceType();
        if (type != kInterfaceSas) {
            vynerror::notSupported(ret, "Hard drive is not SAS", type);
            return ret;
        }
        ret = flashSasHarddrive(file, chunkSize, mode);
        if (ret.getReturn() == 0)
            VynTracePrintf(" scsiPassThruCommand- successful");
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

namespace {

// The drive's image, read again unless it holds `file` already.
Ret loadImage(HardDrive& drive, const std::string& loaded, const char* file)
{
    Buffer& image = *drive.getImageBuffer();
    if (image.Size() != 0 && image.Ptr() != nullptr && loaded == file)
        return Ret(0);
    return drive.readDriveFirmwareFile(file, image);
}

}  // namespace

Ret VynHardDrive::flashSataHarddrive(const char* file, unsigned long chunkSize, unsigned char mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::flashSataHarddrive()");
    Ret ret(0);
    try {
        if (file == nullptr) {
            vynerror::badParam(ret, "pFileNameIN==NULL", 0);
            return ret;
        }
        // A chunk of no whole block would never move the download on; one
        // of more blocks than the count field holds cannot be sent.
        const unsigned long chunkBlocks = chunkSize / kBlockBytes;
        if (chunkBlocks == 0 || chunkBlocks > kSataFieldMax) {
            vynerror::badParam(ret, "Chunk size out of range for DOWNLOAD MICROCODE", static_cast<long>(chunkSize));
            return ret;
        }
        ret = loadImage(*this, imageFile, file);
        if (ret.getReturn() != 0)
            return ret;
        const Buffer& image = *getImageBuffer();
        // Bytes after the last whole block are not sent.
        const unsigned long totalBlocks = image.Size() / kBlockBytes;
        if (totalBlocks == 0) {
            vynerror::badParam(ret, "Firmware image smaller than one block", static_cast<long>(image.Size()));
            return ret;
        }
        if ((totalBlocks - 1) / chunkBlocks * chunkBlocks > kSataFieldMax) {
            vynerror::badParam(ret, "Firmware image beyond the block offset of DOWNLOAD MICROCODE",
                               static_cast<long>(image.Size()));
            return ret;
        }
        Download d{true, image.CPtr(), kBlockBytes, totalBlocks, chunkBlocks, SCSICommand()};
        d.command.initAtaPassthrough12DownloadMicrocode(mode, chunkBlocks);
        // The chunk is whole blocks: a source that moved by the caller's
        // byte count would drift from the block offset the drive is told.
        if (d.command.getScsiCmd()->Ptr() == nullptr ||
            d.command.getWriteData().Alloc(chunkBlocks * kBlockBytes, false) == nullptr) {
            vynerror::resourceError(ret, "DOWNLOAD MICROCODE command");
            return ret;
        }
        ret = sendChunks(*this, d);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynHardDrive::flashSasHarddrive(const char* file, unsigned long chunkSize, unsigned char mode)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynHardDrive::flashSasHarddrive()");
    Ret ret(0);
    try {
        if (file == nullptr) {
            vynerror::badParam(ret, "pFileNameIN==NULL", 0);
            return ret;
        }
        if (chunkSize == 0 || chunkSize > kSasFieldMax) {
            vynerror::badParam(ret, "Chunk size out of range for WRITE BUFFER", static_cast<long>(chunkSize));
            return ret;
        }
        ret = loadImage(*this, imageFile, file);
        if (ret.getReturn() != 0)
            return ret;
        const Buffer& image = *getImageBuffer();
        const unsigned long total = image.Size();
        if (total == 0) {
            vynerror::badParam(ret, "Firmware image is empty", 0);
            return ret;
        }
        if ((total - 1) / chunkSize * chunkSize > kSasFieldMax) {
            vynerror::badParam(ret, "Firmware image beyond the buffer offset of WRITE BUFFER",
                               static_cast<long>(total));
            return ret;
        }
        Download d{false, image.CPtr(), 1, total, chunkSize, SCSICommand()};
        d.command.initWriteBuffer(mode, chunkSize);
        if (d.command.getScsiCmd()->Ptr() == nullptr || d.command.getWriteData().Alloc(chunkSize, false) == nullptr) {
            vynerror::resourceError(ret, "WRITE BUFFER command");
            return ret;
        }
        ret = sendChunks(*this, d);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}
