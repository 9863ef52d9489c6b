#ifndef VYN_RAIDMODEL_INTERFACE_SCSICOMMAND_H
#define VYN_RAIDMODEL_INTERFACE_SCSICOMMAND_H

#include "common/Buffer.h"

// Transfer direction of a command. 0-2 are the old read/write/both codes;
// the builders use 3 (data out), 4 (data in) and 5 (no data).
enum EnumDirection : int {
    SCSI_DIRECTION_READ = 0,
    SCSI_DIRECTION_WRITE = 1,
    SCSI_DIRECTION_BOTH = 2,
    SCSI_DIRECTION_DATA_OUT = 3,
    SCSI_DIRECTION_DATA_IN = 4,
    SCSI_DIRECTION_NONE = 5
};

// One SCSI command for a device behind the controller: the CDB, the data-in
// and data-out areas, room for sense data, the direction and, once run, the
// statuses. Multi-byte CDB fields are big-endian, as SPC, SBC and SAT lay
// them out.
class SCSICommand {
public:
    static constexpr unsigned long SENSE_SIZE = 255;
    static constexpr unsigned long BLOCK_SIZE = 512;

    SCSICommand();
    SCSICommand(Buffer& cdb, EnumDirection direction);
    // The statuses of the copy start at 0.
    SCSICommand(const SCSICommand& other);
    SCSICommand& operator=(const SCSICommand& other) = default;
    ~SCSICommand();

    EnumDirection getDirection() const { return direction; }
    int getScsiStatus() const { return scsiStatus; }
    int getSrbStatus() const { return srbStatus; }
    bool IsRead() const;
    bool IsWrite() const;
    unsigned long getMaxTransferLength() const;

    Buffer* getScsiCmd() { return &cdb; }
    unsigned long getScsiCmdSize() const { return cdb.Size(); }
    Buffer& getReadData() { return readData; }
    Buffer& getWriteData() { return writeData; }
    Buffer& getSenseData() { return senseData; }
    void setReadData(Buffer& data) { readData = data; }
    void setWriteData(Buffer& data) { writeData = data; }
    void setSenseData(Buffer& data) { senseData = data; }

    // INQUIRY(6) of the standard data (page 0) or of a vital product data
    // page, 255 bytes.
    void initInquiry(unsigned char page);
    // INQUIRY(6) with the caller's allocation length and EVPD bit; the sense
    // area gets the same length.
    void initInquiry(unsigned char page, unsigned long allocLength, bool evpd);
    // TEST UNIT READY: no data.
    void initTestUnitReady();
    // MODE SENSE(6) of a page without block descriptors, 255 bytes.
    void initModeSense(unsigned char page);
    // MODE SELECT(6) of `length` bytes from `data` (zeros without data),
    // page format, saved.
    void initModeSelect(unsigned char length, unsigned char* data);
    // READ(10) of `count` blocks; the CDB carries only the low 16 bits of it.
    void initRead(unsigned long lba, unsigned long count, bool fua);
    // WRITE(10) of `count` blocks from `data` (zeros without data).
    void initWrite(unsigned long lba, unsigned long count, unsigned char* data, bool fua);
    // RECEIVE DIAGNOSTIC RESULTS of an SES page, `length` bytes.
    void initReadSES(unsigned char page, unsigned long length);
    // WRITE BUFFER(10); the caller supplies the data with setWriteData.
    void initWriteBuffer(unsigned char mode, unsigned long length);
    // ATA PASS-THROUGH(12) carrying DOWNLOAD MICROCODE of `blocks` blocks;
    // the caller supplies the image with setWriteData.
    void initAtaPassthrough12DownloadMicrocode(unsigned char subcommand, unsigned long blocks);
    // ATA PASS-THROUGH(12) carrying IDENTIFY DEVICE, one 512-byte block in.
    void initAtaPassthrough12IdentifyDevice();
    // ATA PASS-THROUGH(12) carrying a SMART command (`feature`), one block.
    void initRead(unsigned char feature, unsigned char command, EnumDirection direction);

    // Written by the pass-through that runs the command.
    int scsiStatus;
    int srbStatus;

private:
    unsigned char* newCdb(unsigned long length);
    void newSense(unsigned long length);
    // The common start of a builder: the direction, a sense area of
    // SENSE_SIZE and a zeroed CDB of `cdbLength` bytes (null when memory is
    // short).
    unsigned char* startCommand(EnumDirection directionIN, unsigned long cdbLength);

    EnumDirection direction;
    Buffer cdb;
    Buffer readData;
    Buffer writeData;
    Buffer senseData;
};

#endif
