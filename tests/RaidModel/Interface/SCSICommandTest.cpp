#include "RaidModel/Interface/SCSICommand.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

std::vector<unsigned> bytesOf(SCSICommand& command)
{
    std::vector<unsigned> bytes;
    Buffer* cdb = command.getScsiCmd();
    for (unsigned long i = 0; i < cdb->Size(); ++i) {
        bytes.push_back(cdb->getByte(i));
    }
    return bytes;
}

}  // namespace

// The CDB bytes, direction and area sizes of each builder.
TEST(SCSICommandBuilders, CdbBytesDirectionAndBufferSizes)
{
    unsigned char page[4] = {1, 2, 3, 4};
    const struct {
        const char* name;
        std::function<void(SCSICommand&)> build;
        std::vector<unsigned> cdb;
        EnumDirection direction;
        unsigned long readSize;
        unsigned long writeSize;
        unsigned long senseSize;
    } cases[] = {
        {"inquiry standard", [](SCSICommand& c) { c.initInquiry(0); },
         {0x12, 0x00, 0x00, 0x00, 0xFF, 0x00}, SCSI_DIRECTION_DATA_IN, 255, 0, 255},
        {"inquiry page 80", [](SCSICommand& c) { c.initInquiry(0x80); },
         {0x12, 0x01, 0x80, 0x00, 0xFF, 0x00}, SCSI_DIRECTION_DATA_IN, 255, 0, 255},
        {"inquiry with length", [](SCSICommand& c) { c.initInquiry(0x83, 0x0102, false); },
         {0x12, 0x00, 0x83, 0x01, 0x02, 0x00}, SCSI_DIRECTION_DATA_IN, 258, 0, 258},
        {"inquiry with evpd", [](SCSICommand& c) { c.initInquiry(0x00, 0x24, true); },
         {0x12, 0x01, 0x00, 0x00, 0x24, 0x00}, SCSI_DIRECTION_DATA_IN, 36, 0, 36},
        {"test unit ready", [](SCSICommand& c) { c.initTestUnitReady(); },
         {0, 0, 0, 0, 0, 0}, SCSI_DIRECTION_NONE, 0, 0, 255},
        {"mode sense", [](SCSICommand& c) { c.initModeSense(0x08); },
         {0x1A, 0x08, 0x08, 0x00, 0xFF, 0x00}, SCSI_DIRECTION_DATA_IN, 255, 0, 255},
        {"mode select", [&page](SCSICommand& c) { c.initModeSelect(4, page); },
         {0x15, 0x11, 0x00, 0x00, 0x04, 0x00}, SCSI_DIRECTION_DATA_OUT, 0, 4, 255},
        {"read 10", [](SCSICommand& c) { c.initRead(0x01020304, 8, true); },
         {0x28, 0x08, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x08, 0x00}, SCSI_DIRECTION_DATA_IN, 4096, 0, 255},
        {"read 10 count past 16 bits", [](SCSICommand& c) { c.initRead(0, 0x10001, false); },
         {0x28, 0x00, 0, 0, 0, 0, 0x00, 0x00, 0x01, 0x00}, SCSI_DIRECTION_DATA_IN, 0x10001ul * 512, 0, 255},
        {"write 10", [](SCSICommand& c) { c.initWrite(0xA0B0C0D0, 2, nullptr, false); },
         {0x2A, 0x00, 0xA0, 0xB0, 0xC0, 0xD0, 0x00, 0x00, 0x02, 0x00}, SCSI_DIRECTION_DATA_OUT, 0, 1024, 255},
        {"receive diagnostic", [](SCSICommand& c) { c.initReadSES(0x02, 0x0400); },
         {0x1C, 0x01, 0x02, 0x04, 0x00, 0x00}, SCSI_DIRECTION_DATA_IN, 1024, 0, 255},
        {"write buffer", [](SCSICommand& c) { c.initWriteBuffer(0x05, 0x123456); },
         {0x3B, 0x05, 0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0x56, 0x00}, SCSI_DIRECTION_DATA_OUT, 0, 0, 255},
        {"download microcode", [](SCSICommand& c) { c.initAtaPassthrough12DownloadMicrocode(0x03, 0x0120); },
         {0xA1, 0x0A, 0x06, 0x03, 0x20, 0x01, 0x00, 0x00, 0x00, 0x92, 0x00, 0x00}, SCSI_DIRECTION_DATA_OUT, 0,
         0, 255},
        {"identify device", [](SCSICommand& c) { c.initAtaPassthrough12IdentifyDevice(); },
         {0xA1, 0x08, 0x0E, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEC, 0x00, 0x00}, SCSI_DIRECTION_DATA_IN, 512,
         0, 255},
        {"smart data in", [](SCSICommand& c) { c.initRead(0xD0, 0xB0, SCSI_DIRECTION_DATA_IN); },
         {0xA1, 0x08, 0x0E, 0xD0, 0x01, 0x00, 0x4F, 0xC2, 0x00, 0xB0, 0x00, 0x00}, SCSI_DIRECTION_DATA_IN, 512,
         0, 255},
    };
    for (const auto& c : cases) {
        SCSICommand command;
        c.build(command);
        EXPECT_EQ(bytesOf(command), c.cdb) << c.name;
        EXPECT_EQ(command.getScsiCmdSize(), c.cdb.size()) << c.name;
        EXPECT_EQ(command.getDirection(), c.direction) << c.name;
        EXPECT_EQ(command.getReadData().Size(), c.readSize) << c.name;
        EXPECT_EQ(command.getWriteData().Size(), c.writeSize) << c.name;
        EXPECT_EQ(command.getSenseData().Size(), c.senseSize) << c.name;
    }
}

TEST(SCSICommandBuilders, DataOutIsCopiedAndDataInZeroed)
{
    unsigned char block[512];
    for (unsigned i = 0; i < sizeof(block); ++i) {
        block[i] = static_cast<unsigned char>(i);
    }
    SCSICommand command;
    command.initWrite(0, 1, block, true);
    EXPECT_EQ(command.getWriteData(), Buffer(512, block));
    EXPECT_EQ(command.getScsiCmd()->getByte(1), 0x08);

    Buffer stale(512);
    stale.Ptr()[7] = 0xEE;
    command.setReadData(stale);
    command.initAtaPassthrough12IdentifyDevice();
    EXPECT_EQ(command.getReadData().getByte(7), 0);
    EXPECT_EQ(command.getWriteData().Size(), 512u);
}

TEST(SCSICommandBuilders, BuildersReplaceAnEarlierCdbWhole)
{
    SCSICommand command;
    command.initAtaPassthrough12IdentifyDevice();
    command.initReadSES(0x07, 0x10);
    EXPECT_EQ(bytesOf(command), (std::vector<unsigned>{0x1C, 0x01, 0x07, 0x00, 0x10, 0x00}));
    command.initTestUnitReady();
    EXPECT_EQ(bytesOf(command), (std::vector<unsigned>{0, 0, 0, 0, 0, 0}));
}

// The SMART builder keeps a caller's sense area for directions other than
// data in, and still reads one block.
TEST(SCSICommandBuilders, SmartKeepsTheSenseAreaExceptForDataIn)
{
    SCSICommand command;
    Buffer sense(16);
    command.setSenseData(sense);
    command.initRead(0xD8, 0xB0, SCSI_DIRECTION_NONE);
    EXPECT_EQ(command.getSenseData().Size(), 16u);
    EXPECT_EQ(command.getDirection(), SCSI_DIRECTION_NONE);
    EXPECT_EQ(command.getScsiCmd()->getByte(1), 0x08);
    EXPECT_EQ(command.getScsiCmd()->getByte(2), 0x0E);
    EXPECT_EQ(command.getReadData().Size(), 512u);
    command.initRead(0xD8, 0xB0, SCSI_DIRECTION_DATA_IN);
    EXPECT_EQ(command.getSenseData().Size(), 255u);
}

TEST(SCSICommandDirection, ReadWriteAndMaximumTransfer)
{
    const struct {
        int direction;
        bool read;
        bool write;
        unsigned long maxLength;
    } cases[] = {
        {0, true, false, 512},  {1, false, true, 1024}, {2, true, true, 1024}, {3, false, true, 1024},
        {4, true, false, 512},  {5, false, false, 0},   {9, false, false, 0},
    };
    for (const auto& c : cases) {
        Buffer cdb(6);
        SCSICommand command(cdb, static_cast<EnumDirection>(c.direction));
        Buffer in(512);
        Buffer out(1024);
        command.setReadData(in);
        command.setWriteData(out);
        EXPECT_EQ(command.IsRead(), c.read) << c.direction;
        EXPECT_EQ(command.IsWrite(), c.write) << c.direction;
        EXPECT_EQ(command.getMaxTransferLength(), c.maxLength) << c.direction;
    }
}

TEST(SCSICommandCopy, DeepCopyWithStatusesCleared)
{
    SCSICommand command;
    command.initInquiry(0);
    command.scsiStatus = 2;
    command.srbStatus = 4;
    SCSICommand copy(command);
    EXPECT_EQ(copy.getScsiStatus(), 0);
    EXPECT_EQ(copy.getSrbStatus(), 0);
    EXPECT_EQ(bytesOf(copy), bytesOf(command));
    EXPECT_NE(copy.getReadData().Ptr(), command.getReadData().Ptr());
    EXPECT_EQ(copy.getReadData().Size(), 255u);
}
