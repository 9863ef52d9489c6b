// Conversions between firmware records and the model, the scoped firmware
// handles and drive arrays, and the stand-in for a missing member drive.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/os/faux_char.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SafteItems.h"
#include "ScriptedFsaExports.h"
#include "common/Addr.h"
#include "common/LogicalDriveSpec.h"
#include "common/Ret.h"
#include "common/ReturnCode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;

class VynConversionsTest : public vyntest::FamilyTest {};

TEST_F(VynConversionsTest, ContainerTypesGiveRaidLevels)
{
    struct Case {
        uint32_t type32;
        uint32_t type28;
        uint32_t members;
        uint32_t flags;
        int level;
    };
    const Case cases[] = {
        {0, 0, 1, 0, 15},     {0, 0, 2, 0, 13},     {21, 0, 0, 0, 15},   {1, 0, 2, 0, 1},
        {29, 0, 2, 0, 1},     {14, 0, 2, 0, 0},     {30, 0, 3, 0, 5},    {10, 0, 3, 0, 4},
        {12, 0, 3, 0, 3},     {31, 0, 4, 0, 9},     {44, 0, 2, 0, 14},   {32, 0, 6, 0, 11},
        {36, 0, 4, 0, 7},     {42, 0, 3, 0, 2},     {45, 0, 4, 0, 16},   {45, 0, 4, 0x100, 18},
        {53, 0, 8, 0, 17},    {53, 0, 8, 0x100, 19}, {99, 0, 2, 0, 0x7FFFFFFF},
        // Word 32 of 0 falls back to word 28.
        {0, 2, 2, 0, 0},      {0, 45, 4, 0x100, 18},
    };
    for (const Case& c : cases) {
        FSA_CONTAINER_INFO_EXTND info = {};
        faPutLe32(info.bytes + 32, c.type32);
        faPutLe32(info.bytes + 28, c.type28);
        faPutLe32(info.bytes + 260, c.members);
        faPutLe32(info.bytes + 480, c.flags);
        EXPECT_EQ(static_cast<int>(getRaidLevelFromFsa(&info)), c.level) << c.type32 << "/" << c.type28;
    }
}

TEST_F(VynConversionsTest, LevelsAndInitMethodsGiveContainerTypes)
{
    struct Row {
        int level;
        unsigned int types[5];  // init methods 1 to 4, then 0
    };
    const Row rows[] = {
        {0, {54, 2, 2, 2, 2}},      {1, {23, 29, 28, 29, 1}},   {2, {41, 43, 42, 43, 40}},
        {5, {8, 30, 7, 30, 4}},     {7, {35, 38, 36, 38, 34}},  {9, {25, 31, 13, 31, 13}},
        {11, {27, 32, 26, 32, 26}}, {13, {3, 3, 3, 3, 3}},      {15, {3, 3, 3, 3, 3}},
        {16, {46, 48, 47, 48, 45}}, {18, {46, 48, 47, 48, 45}}, {17, {51, 53, 50, 53, 50}},
        {19, {51, 53, 50, 53, 50}}, {3, {0, 0, 0, 0, 0}},       {0x7FFFFFFF, {0, 0, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        for (int m = 1; m <= 4; ++m)
            EXPECT_EQ(getFsaRaidLevel(static_cast<EnumRaidLevel>(r.level), static_cast<EnumInitMethod>(m)),
                      r.types[m - 1])
                << r.level << " method " << m;
        EXPECT_EQ(getFsaRaidLevel(static_cast<EnumRaidLevel>(r.level), static_cast<EnumInitMethod>(0)), r.types[4]);
        EXPECT_EQ(getFsaRaidLevel(static_cast<EnumRaidLevel>(r.level), static_cast<EnumInitMethod>(7)), r.types[4]);
    }
}

TEST_F(VynConversionsTest, DelaysStripeSizesAndDeviceTypes)
{
    const struct {
        int priority;
        unsigned int delay;
    } delays[] = {{0, 100}, {1, 50}, {2, 0}, {9, 0}};
    for (const auto& d : delays)
        EXPECT_EQ(getFsaDelay(static_cast<EnumPriorityLevel>(d.priority)), d.delay) << d.priority;

    const struct {
        int kb;
        unsigned int bytes;
    } stripes[] = {{0, 0}, {3, 0}, {4, 4096}, {64, 65536}, {1024, 1048576}};
    for (const auto& s : stripes)
        EXPECT_EQ(getFsaStripeSize(static_cast<EnumStripeSize>(s.kb)), s.bytes) << s.kb;

    const struct {
        unsigned int fsa;
        int type;
    } types[] = {{0, 0}, {9, 9}, {10, 10}, {11, 10}, {12, 12}, {15, 15}, {16, 10}, {0xFFFFFFFF, 10}};
    for (const auto& t : types)
        EXPECT_EQ(static_cast<int>(GetDeviceTypeFromFsa(t.fsa)), t.type) << t.fsa;
}

TEST_F(VynConversionsTest, TextFieldsAreCopiedPrintably)
{
    const struct {
        const char* name;
        std::vector<uint8_t> src;
        std::vector<uint8_t> dst;  // 4 bytes of field, then the byte after it
    } cases[] = {
        {"trailing blanks become zeros", {'A', 'B', ' ', ' '}, {'A', 'B', 0, 0, 0x55}},
        {"a control byte and a high byte", {'A', 0x07, 0xC8, 'D'}, {'A', '?', '?', 'D', 0x55}},
        {"four letters get no terminator", {'W', 'X', 'Y', 'Z'}, {'W', 'X', 'Y', 'Z', 0x55}},
        {"the copy stops after a zero", {'Q', 0, 'R', 'S'}, {'Q', 0, 0x55, 0x55, 0x55}},
    };
    for (const auto& c : cases) {
        uint8_t dst[5];
        std::memset(dst, 0x55, sizeof dst);
        SafeAsciiCopy(dst, c.src.data(), 4);
        EXPECT_EQ(std::vector<uint8_t>(dst, dst + 5), c.dst) << c.name;
    }
    char out[4] = {'x', 'y', 'z', 0};
    SafeAsciiCopy(out, nullptr, 4);
    EXPECT_STREQ(out, "");

    std::string text = "ab";
    const wchar_t wide[] = {L'c', 0x20AC, L'd', 0, L'e'};
    WCharToString(text, wide, 10);
    EXPECT_EQ(text, "abc?d");
    char buff[6];
    std::memset(buff, 'x', sizeof buff);
    WCharToBuff(buff, wide, 2);
    EXPECT_EQ(std::string(buff, 6), "c?xxxx");

    char blanks[] = "name \t\r\n ";
    EXPECT_STREQ(RemoveEndWS(blanks), "name");
    EXPECT_EQ(RemoveEndWS(nullptr), nullptr);
}

// A controller object of the family with hard drives at channel 0 devices
// 0 to n-1, each with the family's attachment.
class ChunkArrayTest : public VynConversionsTest {
protected:
    void makeDrives(unsigned n)
    {
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
        adapter.reset(new VynAdapter(&record, nullptr, 0, nullptr, nullptr));
        for (unsigned i = 0; i < n; ++i) {
            Addr addr;
            addr.setAdapterID(0);
            addr.setChannelID(0);
            addr.setDeviceID(i);
            HardDrive* drive = addDeadHardDrive(adapter.get(), addr);
            ASSERT_NE(drive, nullptr);
            FSA_STORAGE_DEVICE_INFO info = {};
            info.address.busNumber = 0;
            info.address.targetId = static_cast<uint8_t>(i);
            new VynPhysicalDeviceAttach(drive->getChannel(), drive, &info, nullptr);
        }
    }
    static std::vector<ChunkSpec> chunks(unsigned n)
    {
        std::vector<ChunkSpec> list;
        for (unsigned i = 0; i < n; ++i)
            list.emplace_back(0, i % 4, 0, 100, 0, static_cast<EnumChunkType>(0));
        return list;
    }

    vyntest::TreePtr<VynAdapter> adapter;
};

TEST_F(ChunkArrayTest, UpTo256ChunksNameTheirDrives)
{
    makeDrives(4);
    Ret ret;
    FsaStorageDeviceArrayGrabber devices(adapter.get(), chunks(256), ret);
    ASSERT_EQ(devices.getNumItems(), 256u);
    EXPECT_EQ(static_cast<FSA_STORAGE_DEVICE*>(devices)[5].targetId, 1);
    EXPECT_EQ(static_cast<FSA_STORAGE_DEVICE*>(devices)[255].targetId, 3);
    EXPECT_EQ(ret, Ret());

    const struct {
        unsigned count;
        const char* line;
    } refused[] = {
        {257, "*** Bad Parameter: too many chunks specified, paramValue=0 ***"},
        {0, "*** Bad Parameter: no chunks specified, paramValue=0 ***"},
    };
    for (const auto& r : refused) {
        Ret bad;
        try {
            FsaStorageDeviceArrayGrabber none(adapter.get(), chunks(r.count), bad);
            ADD_FAILURE() << r.count << " chunks accepted";
        } catch (const ReturnCode& code) {
            EXPECT_EQ(code.getCode(), -2);
        }
        EXPECT_EQ(bad.getReturn(), -2);
        EXPECT_EQ(errorCount(r.line), 1u) << r.line;
    }
}

TEST_F(ChunkArrayTest, EveryBadChunkIsReportedAndTheLastIsKept)
{
    makeDrives(2);
    // A plain drive without the family's attachment.
    Addr bare;
    bare.setAdapterID(0);
    bare.setChannelID(0);
    bare.setDeviceID(7);
    ASSERT_NE(addDeadHardDrive(adapter.get(), bare), nullptr);

    std::vector<ChunkSpec> list = chunks(2);
    list.emplace_back(0, 9, 0, 100, 0, static_cast<EnumChunkType>(0));           // nothing there
    list.emplace_back(0, 0x7FFFFFFF, 0, 100, 0, static_cast<EnumChunkType>(0));  // the channel
    list.emplace_back(0, 7, 0, 100, 0, static_cast<EnumChunkType>(0));           // bare drive
    Ret ret;
    try {
        FsaStorageDeviceArrayGrabber devices(adapter.get(), list, ret);
        ADD_FAILURE() << "bad chunks accepted";
    } catch (const ReturnCode& code) {
        EXPECT_EQ(code.getCode(), -2);
    }
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(ret.getSignedReturn(), 4);
    EXPECT_EQ(errorCount("*** Bad Parameter: member not found, paramValue=2 ***"), 1u);
    EXPECT_EQ(errorCount("*** Bad Parameter: member not a HardDrive, paramValue=3 ***"), 1u);
    EXPECT_EQ(errorCount("*** Bad Parameter: bad member attachment, paramValue=4 ***"), 1u);
    EXPECT_EQ(errorCount("*** Bad Parameter:"), 3u);
}

TEST_F(VynConversionsTest, RecordScopesStartZeroedAndAWalkBufferKeepsItsKey)
{
    FsaContainerInfoGrabber info;
    for (size_t i = 0; i < sizeof info->bytes; ++i)
        ASSERT_EQ(info->bytes[i], 0u) << i;
    std::memset(info->bytes, 0x5A, sizeof info->bytes);
    info.clear();
    EXPECT_EQ(faGetLe32(info->bytes), 0x5A5A5A5Au);
    EXPECT_EQ(faGetLe32(info->bytes + 8), 0x5A5A5A5Au);
    for (size_t i = 12; i < sizeof info->bytes; ++i)
        ASSERT_EQ(info->bytes[i], 0u) << i;

    FsaStorageDeviceSpaceGrabber spaces(3);
    ASSERT_EQ(spaces.getNumItems(), 3u);
    const FSA_STORAGE_DEVICE_SPACE* space = spaces;
    // Packed fields: read by value.
    const uint64_t start = space[2].start;
    const uint64_t length = space[2].length;
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(length, 0u);

    const FsaMorphRelationship morph;
    EXPECT_EQ(morph.word0, 0u);
    EXPECT_EQ(morph.word1, 0u);
    for (uint8_t b : morph.container)
        EXPECT_EQ(b, 0u);
}

TEST_F(VynConversionsTest, AMissingMemberOnChannel255GetsItsOwnChannel)
{
    ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
    vyntest::TreePtr<VynAdapter> adapter(new VynAdapter(&record, nullptr, 0, nullptr, nullptr));
    adapter->addChild(new Channel(adapter.get(), 0, CHANNEL_TYPE_SCSI, SPEED_UNSET));
    Addr addr;
    addr.setAdapterID(0);
    addr.setChannelID(255);
    addr.setDeviceID(3);
    // Channel 0 exists, but the lookup only hangs a drive on it when the
    // address names it; 255 is looked for as 0.
    HardDrive* drive = addDeadHardDrive(adapter.get(), addr);
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(addr.getChannelID(), 0u);
    EXPECT_EQ(addr.getDeviceID(), 0x7FFFFFFFu);
    EXPECT_EQ(drive->getChannel()->getChannelID(), 0u);
    EXPECT_EQ(drive->getDeviceID(), 3u);
    EXPECT_EQ(drive->getState(), PD_FAILED);
    EXPECT_STREQ(drive->getVendor(), "*MISSING*");
    EXPECT_EQ(drive->getSize(), 0u);

    // Without channel 0 the missing channel is made with its own id.
    vyntest::TreePtr<VynAdapter> bare(new VynAdapter(&record, nullptr, 1, nullptr, nullptr));
    Addr lost;
    lost.setAdapterID(1);
    lost.setChannelID(255);
    lost.setDeviceID(4);
    HardDrive* placeholder = addDeadHardDrive(bare.get(), lost);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->getChannel()->getChannelID(), 255u);
    EXPECT_EQ(placeholder->getChannel()->getAdapter(), bare.get());
    EXPECT_EQ(static_cast<int>(placeholder->getWriteCacheEnable()), 4);
}

TEST_F(VynConversionsTest, WriteHandlesOpenOnlyForObjectsOfAController)
{
    ScriptedFsaExports fsa;
    const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
    vyntest::TreePtr<VynAdapter> adapter(new VynAdapter(&record, nullptr, 0, nullptr, nullptr));

    SafteFan fan(nullptr, static_cast<SafteFan::STATUS>(0), 0);
    Ret none;
    {
        FsaWriteHandleGrabber grabber(&fan, &none);
        EXPECT_EQ(static_cast<void*>(grabber), nullptr);
    }
    EXPECT_EQ(none, Ret());
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 0u);
    EXPECT_EQ(errorLog(), "");

    fsa.script("FsaOpenAdapter2A", 1, {0x78, 0x56, 0, 0, 0, 0, 0, 0});
    fsa.script("FsaCloseAdapter", 1);
    {
        FsaWriteHandleGrabber grabber(adapter.get(), nullptr);
        EXPECT_EQ(grabber.getAdapterRWHandle(), reinterpret_cast<void*>(uintptr_t{0x5678}));
    }
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);

    fsa.script("FsaOpenAdapter2A", 5);
    fsa.script("FsaOpenAdapter2A", 5);
    Ret failed;
    {
        FsaWriteHandleGrabber withRet(adapter.get(), &failed);
        EXPECT_EQ(static_cast<void*>(withRet), nullptr);
        FsaWriteHandleGrabber withoutRet(adapter.get(), nullptr);
        EXPECT_EQ(static_cast<void*>(withoutRet), nullptr);
    }
    EXPECT_EQ(failed.getAPIReturn(), 5u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaOpenAdapter2A(FSA_ACC_READ_WRITE) fsaStatus=5 ***"), 1u);
    EXPECT_EQ(errorCount("FsaOpenAdapter2A(FSA_ACC_READ_WRITE), fsaStatus=5"), 1u);
    EXPECT_EQ(fsa.count("FsaOpenAdapter2A"), 3u);
    EXPECT_EQ(fsa.count("FsaCloseAdapter"), 1u);
}

}  // namespace
