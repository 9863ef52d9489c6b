#include "RaidModel/Interface/SCSICommand.h"

#include <cstring>

namespace {

constexpr unsigned long kCdb6 = 6;
constexpr unsigned long kCdb10 = 10;
constexpr unsigned long kCdb12 = 12;

constexpr unsigned char kOpTestUnitReady = 0x00;
constexpr unsigned char kOpInquiry = 0x12;
constexpr unsigned char kOpModeSelect6 = 0x15;
constexpr unsigned char kOpModeSense6 = 0x1A;
constexpr unsigned char kOpReceiveDiagnostic = 0x1C;
constexpr unsigned char kOpRead10 = 0x28;
constexpr unsigned char kOpWrite10 = 0x2A;
constexpr unsigned char kOpWriteBuffer10 = 0x3B;
constexpr unsigned char kOpAtaPassThrough12 = 0xA1;

constexpr unsigned char kAtaDownloadMicrocode = 0x92;
constexpr unsigned char kAtaIdentifyDevice = 0xEC;
constexpr unsigned char kSmartLbaMid = 0x4F;
constexpr unsigned char kSmartLbaHigh = 0xC2;

// SAT byte 1: protocol in bits 4-1. Byte 2: direction, length in blocks,
// length in the COUNT field.
constexpr unsigned char kAtaPioDataIn = 0x08;
constexpr unsigned char kAtaPioDataOut = 0x0A;
constexpr unsigned char kAtaToDeviceBlocks = 0x06;
constexpr unsigned char kAtaFromDeviceBlocks = 0x0E;

constexpr unsigned char kEvpd = 0x01;
constexpr unsigned char kDisableBlockDescriptors = 0x08;
constexpr unsigned char kPageFormatAndSave = 0x11;
constexpr unsigned char kForceUnitAccess = 0x08;
constexpr unsigned char kPageCodeValid = 0x01;
constexpr unsigned long kDefaultAllocation = 0xFF;

void putBE16(unsigned char* p, unsigned long v)
{
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

void putBE24(unsigned char* p, unsigned long v)
{
    p[0] = static_cast<unsigned char>(v >> 16);
    putBE16(p + 1, v);
}

void putBE32(unsigned char* p, unsigned long v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    putBE24(p + 1, v);
}

// A data area of n bytes, zeroed; empty when n is 0 or memory is short.
unsigned char* zeroed(Buffer& buffer, unsigned long n)
{
    unsigned char* p = buffer.Alloc(n, false);
    if (p != nullptr) {
        std::memset(p, 0, n);
    }
    return p;
}

// A data-out area of n bytes taken from the caller, or zeros without data.
void fillFrom(Buffer& buffer, unsigned long n, const unsigned char* data)
{
    unsigned char* p = zeroed(buffer, n);
    if (p != nullptr && data != nullptr) {
        std::memcpy(p, data, n);
    }
}

// A block count too large for the 32-bit size of a buffer yields an empty
// area, not a wrapped one.
unsigned long blocksToBytes(unsigned long count)
{
    const unsigned long long bytes = static_cast<unsigned long long>(count) * SCSICommand::BLOCK_SIZE;
    return bytes > 0xFFFFFFFFull ? 0 : static_cast<unsigned long>(bytes);
}

// READ(10) or WRITE(10): 32-bit LBA, 16-bit block count.
void putReadWrite10(unsigned char* c, unsigned char op, unsigned long lba, unsigned long count, bool fua)
{
    c[0] = op;
    c[1] = fua ? kForceUnitAccess : 0;
    putBE32(c + 2, lba);
    putBE16(c + 7, count);
}

}  // namespace

SCSICommand::SCSICommand() : scsiStatus(0), srbStatus(0), direction(SCSI_DIRECTION_READ) {}

SCSICommand::SCSICommand(Buffer& cdbIN, EnumDirection directionIN)
    : scsiStatus(0), srbStatus(0), direction(directionIN), cdb(cdbIN)
{
}

SCSICommand::SCSICommand(const SCSICommand& other)
    : scsiStatus(0),
      srbStatus(0),
      direction(other.direction),
      cdb(other.cdb),
      readData(other.readData),
      writeData(other.writeData),
      senseData(other.senseData)
{
}

SCSICommand::~SCSICommand() = default;

bool SCSICommand::IsRead() const
{
    return direction == SCSI_DIRECTION_READ || direction == SCSI_DIRECTION_BOTH
        || direction == SCSI_DIRECTION_DATA_IN;
}

bool SCSICommand::IsWrite() const
{
    return direction == SCSI_DIRECTION_WRITE || direction == SCSI_DIRECTION_BOTH
        || direction == SCSI_DIRECTION_DATA_OUT;
}

unsigned long SCSICommand::getMaxTransferLength() const
{
    switch (direction) {
    case SCSI_DIRECTION_READ:
    case SCSI_DIRECTION_DATA_IN:
        return readData.Size();
    case SCSI_DIRECTION_WRITE:
    case SCSI_DIRECTION_DATA_OUT:
        return writeData.Size();
    case SCSI_DIRECTION_BOTH:
        return readData.Size() > writeData.Size() ? readData.Size() : writeData.Size();
    default:
        return 0;
    }
}

// Null when memory is short; the builders then leave the CDB empty.
unsigned char* SCSICommand::newCdb(unsigned long length)
{
    return zeroed(cdb, length);
}

void SCSICommand::newSense(unsigned long length)
{
    zeroed(senseData, length);
}

unsigned char* SCSICommand::startCommand(EnumDirection directionIN, unsigned long cdbLength)
{
    direction = directionIN;
    newSense(SENSE_SIZE);
    return newCdb(cdbLength);
}

void SCSICommand::initInquiry(unsigned char page)
{
    zeroed(readData, kDefaultAllocation);
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_IN, kCdb6);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpInquiry;
    if (page != 0) {
        c[1] = kEvpd;
        c[2] = page;
    }
    c[4] = static_cast<unsigned char>(kDefaultAllocation);
}

void SCSICommand::initInquiry(unsigned char page, unsigned long allocLength, bool evpd)
{
    direction = SCSI_DIRECTION_DATA_IN;
    newSense(allocLength);
    zeroed(readData, allocLength);
    unsigned char* c = newCdb(kCdb6);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpInquiry;
    c[1] = evpd ? kEvpd : 0;
    if (page != 0) {
        c[2] = page;
    }
    putBE16(c + 3, allocLength);
}

void SCSICommand::initTestUnitReady()
{
    unsigned char* c = startCommand(SCSI_DIRECTION_NONE, kCdb6);
    if (c != nullptr) {
        c[0] = kOpTestUnitReady;
    }
}

void SCSICommand::initModeSense(unsigned char page)
{
    zeroed(readData, kDefaultAllocation);
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_IN, kCdb6);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpModeSense6;
    c[1] = kDisableBlockDescriptors;
    c[2] = page;
    c[4] = static_cast<unsigned char>(kDefaultAllocation);
}

void SCSICommand::initModeSelect(unsigned char length, unsigned char* data)
{
    fillFrom(writeData, length, data);
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_OUT, kCdb6);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpModeSelect6;
    c[1] = kPageFormatAndSave;
    c[4] = length;
}

void SCSICommand::initRead(unsigned long lba, unsigned long count, bool fua)
{
    zeroed(readData, blocksToBytes(count));
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_IN, kCdb10);
    if (c != nullptr) {
        putReadWrite10(c, kOpRead10, lba, count, fua);
    }
}

void SCSICommand::initWrite(unsigned long lba, unsigned long count, unsigned char* data, bool fua)
{
    fillFrom(writeData, blocksToBytes(count), data);
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_OUT, kCdb10);
    if (c != nullptr) {
        putReadWrite10(c, kOpWrite10, lba, count, fua);
    }
}

// Every byte of this CDB is written, so it is not cleared first.
void SCSICommand::initReadSES(unsigned char page, unsigned long length)
{
    direction = SCSI_DIRECTION_DATA_IN;
    newSense(SENSE_SIZE);
    zeroed(readData, length);
    unsigned char* c = cdb.Alloc(kCdb6, false);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpReceiveDiagnostic;
    c[1] = kPageCodeValid;
    c[2] = page;
    putBE16(c + 3, length);
    c[5] = 0;
}

void SCSICommand::initWriteBuffer(unsigned char mode, unsigned long length)
{
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_OUT, kCdb10);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpWriteBuffer10;
    c[1] = mode;
    putBE24(c + 6, length);
}

// FEATURES carries the subcommand; the block count is split over COUNT (low
// byte) and LBA low (high byte), as DOWNLOAD MICROCODE takes it.
void SCSICommand::initAtaPassthrough12DownloadMicrocode(unsigned char subcommand, unsigned long blocks)
{
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_OUT, kCdb12);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpAtaPassThrough12;
    c[1] = kAtaPioDataOut;
    c[2] = kAtaToDeviceBlocks;
    c[3] = subcommand;
    c[4] = static_cast<unsigned char>(blocks);
    c[5] = static_cast<unsigned char>(blocks >> 8);
    c[9] = kAtaDownloadMicrocode;
}

void SCSICommand::initAtaPassthrough12IdentifyDevice()
{
    zeroed(readData, BLOCK_SIZE);
    unsigned char* c = startCommand(SCSI_DIRECTION_DATA_IN, kCdb12);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpAtaPassThrough12;
    c[1] = kAtaPioDataIn;
    c[2] = kAtaFromDeviceBlocks;
    c[4] = 1;
    c[9] = kAtaIdentifyDevice;
}

// The sense area is renewed only for data-in: callers of the other
// directions hand in their own.
void SCSICommand::initRead(unsigned char feature, unsigned char command, EnumDirection directionIN)
{
    direction = directionIN;
    if (direction == SCSI_DIRECTION_DATA_IN) {
        newSense(SENSE_SIZE);
    }
    zeroed(readData, BLOCK_SIZE);
    unsigned char* c = newCdb(kCdb12);
    if (c == nullptr) {
        return;
    }
    c[0] = kOpAtaPassThrough12;
    c[1] = kAtaPioDataIn;
    c[2] = kAtaFromDeviceBlocks;
    c[3] = feature;
    c[4] = 1;
    c[5] = 0;
    c[6] = kSmartLbaMid;
    c[7] = kSmartLbaHigh;
    c[8] = 0;
    c[9] = command;
}
