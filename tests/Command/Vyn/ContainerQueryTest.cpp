// Container information queries over the configuration model: walks, direct
// lookups, the legacy record and partition information.
#include "ContainerTest.h"

#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_vynio.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace vyn::hostsim;
using vyntest::kFirstHandle;
using vyntest::kFirstUid;

constexpr uint32_t kFull = FSA_CONTAINER_INFO_EXTND_MAX;
// Usable extent of a 146G drive as the simulator lays it out.
constexpr uint64_t kExtentBlocks = (146ull * 1024 * 1024 * 2 - 128 - 2048) / 128 * 128;
// The same cut to whole stripes of 256 KB, as the members of a stripe lie.
constexpr uint64_t kStripedExtentBlocks = kExtentBlocks / 512 * 512;

class ContainerQueryTest : public vyntest::ContainerTest {
protected:
    FSA_STATUS query(int next, const tag_FSA_CONTAINER* cursor, uint32_t size = kFull)
    {
        record_.assign(size, 0);
        return FsaGetContainerInfo2(handle(), next, cursor, reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(record_.data()),
                                    size);
    }
    tag_FSA_CONTAINER cursor(uint32_t number) const
    {
        tag_FSA_CONTAINER c = {number, 0, 0};
        return c;
    }
    const uint8_t* member(unsigned i) const { return record_.data() + CI_MEMBERS + i * sizeof(FSA_PARTITION); }
    FSA_STATUS partitionInfo(int next, uint8_t bus, uint8_t target, uint64_t offset, uint64_t length,
                             FSA_PARTITION_INFO* out)
    {
        FSA_PARTITION p;
        std::memset(p.bytes, 0, sizeof p.bytes);
        p.bytes[FSA_PARTITION_DEVICE + 4] = bus;
        p.bytes[FSA_PARTITION_DEVICE + 5] = target;
        faPutLe64(p.bytes + FSA_PARTITION_OFFSET, offset);
        faPutLe64(p.bytes + FSA_PARTITION_LENGTH, length);
        std::memset(out->bytes, 0xAB, sizeof out->bytes);
        return FsaGetFsaPartitionInfo(handle(), next, &p, out);
    }

    std::vector<uint8_t> record_;
};

TEST_F(ContainerQueryTest, AWalkVisitsContainersInNumberOrder)
{
    ASSERT_NE(open(), nullptr);
    ASSERT_EQ(query(1, nullptr), FSA_STS_SUCCESS);
    EXPECT_EQ(word(record_.data(), CI_NUMBER), 0u);
    EXPECT_EQ(word(record_.data(), CI_HANDLE), kFirstHandle);
    EXPECT_EQ(word(record_.data(), CI_TYPE), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record_.data() + CI_NAME)), "Mirror");
    // An exposed container names its disk device.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record_.data() + CI_FILE_NAME)).substr(0, 7), "/dev/sd");
    EXPECT_EQ(word(record_.data(), CI_MEMBER_COUNT), 2u);
    EXPECT_EQ(word(record_.data(), CI_LAYOUT), 1u);
    EXPECT_EQ(faGetLe64(record_.data() + CI_SIZE), kExtentBlocks * 512);
    for (unsigned i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(member(i)[4], 0);      // bus
        EXPECT_EQ(member(i)[5], i);      // target
        EXPECT_EQ(member(i)[6], 0);      // LUN
        EXPECT_EQ(faGetLe64(member(i) + FSA_PARTITION_OFFSET), 128u * 512);
        EXPECT_EQ(faGetLe64(member(i) + FSA_PARTITION_LENGTH), kExtentBlocks * 512);
    }
    tag_FSA_CONTAINER at = cursor(word(record_.data(), CI_NUMBER));
    ASSERT_EQ(query(1, &at), FSA_STS_SUCCESS);
    EXPECT_EQ(word(record_.data(), CI_NUMBER), 2u);
    EXPECT_EQ(word(record_.data(), CI_TYPE), 2u);
    EXPECT_EQ(faGetLe64(record_.data() + CI_SIZE), 2 * kStripedExtentBlocks * 512);
    at = cursor(2);
    EXPECT_EQ(query(1, &at), 17u);
}

TEST_F(ContainerQueryTest, ADirectLookupAnswersExactlyItsNumber)
{
    ASSERT_NE(open(), nullptr);
    struct Case {
        uint32_t number;
        FSA_STATUS status;
    };
    for (const Case& c : {Case{0, 1}, Case{1, 17}, Case{2, 1}, Case{63, 17}, Case{64, 17}}) {
        SCOPED_TRACE(c.number);
        const tag_FSA_CONTAINER at = cursor(c.number);
        EXPECT_EQ(query(0, &at), c.status);
        if (c.status == FSA_STS_SUCCESS) {
            EXPECT_EQ(word(record_.data(), CI_NUMBER), c.number);
        }
    }
    EXPECT_EQ(query(0, nullptr), FSA_STS_BAD_PARAMETER);
}

TEST_F(ContainerQueryTest, TheFrameGuardsEveryQuery)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    std::vector<uint8_t> record(kFull, 0);
    auto* info = reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(record.data());
    FSA_PARTITION partition = {};
    FSA_PARTITION_INFO partitionInfo = {};
    EXPECT_EQ(FsaGetContainerInfo2(FsaHandleFromNumber(1), 1, nullptr, info, kFull), FSA_STS_INVALID_HANDLE);
    EXPECT_EQ(FsaGetFsaPartitionInfo(FsaHandleFromNumber(1), 0, &partition, &partitionInfo), FSA_STS_INVALID_HANDLE);
    ctx->paused = 1;
    EXPECT_EQ(FsaGetContainerInfo2(handle(), 1, nullptr, info, kFull), FSA_STS_ADAPTER_PAUSED);
    EXPECT_EQ(FsaGetContainerInfo(handle(), 1, nullptr, reinterpret_cast<FSA_CONTAINER_INFO*>(info), kFull),
              FSA_STS_ADAPTER_PAUSED);
    ctx->paused = 0;
    EXPECT_EQ(FsaGetContainerInfo2(handle(), 1, nullptr, nullptr, kFull), FSA_STS_BAD_PARAMETER);
}

TEST_F(ContainerQueryTest, RecordsThatAreTooSmall)
{
    ASSERT_NE(open(), nullptr);
    const tag_FSA_CONTAINER at = cursor(0);
    EXPECT_EQ(query(0, &at, 400), 5u);
    EXPECT_EQ(query(0, &at, FSA_CONTAINER_INFO_EXTND_MIN - 1), 5u);
    EXPECT_EQ(query(0, &at, FSA_CONTAINER_INFO_EXTND_MIN), FSA_STS_SUCCESS);

    // The legacy record: room for the fixed part and one member, not two.
    std::vector<uint8_t> legacy(FSA_CONTAINER_INFO_MIN, 0xEE);
    EXPECT_EQ(FsaGetContainerInfo(handle(), 0, &at, reinterpret_cast<FSA_CONTAINER_INFO*>(legacy.data()),
                                  static_cast<uint32_t>(legacy.size())),
              5u);
    EXPECT_EQ(word(legacy.data(), CI_NUMBER), 0u);
    EXPECT_EQ(word(legacy.data(), CI_TYPE), 1u);
    EXPECT_EQ(word(legacy.data(), CI_MEMBER_COUNT), 2u);
    EXPECT_EQ(legacy[CI_LEGACY_MEMBERS], 0xEE);
    EXPECT_EQ(FsaGetContainerInfo(handle(), 0, &at, reinterpret_cast<FSA_CONTAINER_INFO*>(legacy.data()),
                                  FSA_CONTAINER_INFO_MIN - 1),
              5u);

    // With room for both members they follow the fixed part at once.
    std::vector<uint8_t> fits(CI_LEGACY_MEMBERS + 2 * sizeof(FSA_PARTITION), 0xEE);
    ASSERT_EQ(FsaGetContainerInfo(handle(), 0, &at, reinterpret_cast<FSA_CONTAINER_INFO*>(fits.data()),
                                  static_cast<uint32_t>(fits.size())),
              FSA_STS_SUCCESS);
    const uint8_t* second = fits.data() + CI_LEGACY_MEMBERS + sizeof(FSA_PARTITION);
    EXPECT_EQ(second[5], 1);
    EXPECT_EQ(faGetLe64(second + FSA_PARTITION_OFFSET), 128u * 512);
}

TEST_F(ContainerQueryTest, AContainerOnlyInTheChildListIsFound)
{
    // A RAID-50's legs are numbered down from the highest number.
    ASSERT_NE(open("drive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\ndrive7 = 0:7 sas 146G\n"
                   "ld3 = raid50 0:4,0:5,0:6,0:7\n"),
              nullptr);
    const tag_FSA_CONTAINER top = cursor(3);
    ASSERT_EQ(query(0, &top), FSA_STS_SUCCESS);
    EXPECT_EQ(word(record_.data(), CI_TYPE), 26u);
    EXPECT_EQ(word(record_.data(), CI_LAYOUT), 0u);
    EXPECT_EQ(word(record_.data(), CI_MEMBER_COUNT), 2u);
    // Each leg is named by its number and unique id.
    EXPECT_EQ(word(member(0), 0), 63u);
    EXPECT_EQ(word(member(0), 4), kFirstUid + 63);
    EXPECT_EQ(word(member(1), 0), 62u);
    const tag_FSA_CONTAINER leg = cursor(62);
    ASSERT_EQ(query(0, &leg), FSA_STS_SUCCESS);
    EXPECT_EQ(word(record_.data(), CI_TYPE), 4u);
    EXPECT_EQ(word(record_.data(), CI_LAYOUT), 1u);
}

TEST_F(ContainerQueryTest, AMorphingDeviceFromTheModel)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // taskType 3 in every logical-device record of the rebuilt model.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 234", "poke = 152:4=3", 0, 0}));
    ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
    const tag_FSA_CONTAINER at = cursor(0);
    ASSERT_EQ(query(0, &at), FSA_STS_SUCCESS);
    EXPECT_EQ(word(record_.data(), CI_TYPE), 16u);
    EXPECT_EQ(word(record_.data(), CI_BASE_TYPE), 1u);
    EXPECT_EQ(word(record_.data(), CI_TASK_RELATION), 1u);
    EXPECT_EQ(word(record_.data(), CI_RELATED), 0u);
    EXPECT_EQ(word(record_.data(), CI_RELATED + 4), kFirstHandle);
}

TEST_F(ContainerQueryTest, OfflineOrFailedDevicesAreConvertedFromTheirFirmwareRecords)
{
    struct Case {
        const char* poke;  // into every logical-device record
        uint32_t faulted;
    };
    // onlineState 1, or faultState 3: raidType 3 then reads as the firmware's
    // mirror type, and the members come from the segment list.
    for (const Case& c : {Case{"poke = 132:4=1", 0}, Case{"poke = 128:4=3", 1}}) {
        SCOPED_TRACE(c.poke);
        FSAAPI_CONTEXT* ctx = open();
        ASSERT_NE(ctx, nullptr);
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 234", c.poke, 0, 0}));
        ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
        sim().clearRequests();
        const tag_FSA_CONTAINER at = cursor(0);
        ASSERT_EQ(query(0, &at), FSA_STS_SUCCESS);
        EXPECT_EQ(word(record_.data(), CI_TYPE), 2u);
        EXPECT_EQ(word(record_.data(), CI_FAULTED), c.faulted);
        if (c.faulted) {
            EXPECT_EQ(word(record_.data(), CI_USAGE), 3u);
        }
        EXPECT_EQ(word(member(1), 0), 3u);
        EXPECT_EQ(member(1)[5], 1);
        EXPECT_EQ(sent(249), 1u);
    }
}

TEST_F(ContainerQueryTest, WalkFlags)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ctx->walkWord = 0x2;
    ASSERT_EQ(query(1, nullptr), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->walkWord, 0x3u);  // a null cursor leaves the refreshed flag
    const tag_FSA_CONTAINER zero = cursor(0);
    ASSERT_EQ(query(1, &zero), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->walkWord, 0x1u);
    ctx->walkWord |= 0x2;
    const tag_FSA_CONTAINER two = cursor(2);
    EXPECT_EQ(query(1, &two), 17u);
    EXPECT_EQ(ctx->walkWord, 0x3u);
    EXPECT_EQ(query(0, &two), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->walkWord, 0x2u);
}

TEST_F(ContainerQueryTest, DefaultsBeforeTheConversion)
{
    std::vector<uint8_t> record(kFull, 0xAB);
    FsaInitContainerInfo(reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(record.data()));
    for (size_t offset : {104, 116, 128, 140, 152, 164, 180, 196, 224})
        EXPECT_EQ(word(record.data(), offset), 0xFFFFFFFFu) << offset;
    EXPECT_EQ(word(record.data(), 40), 3u);
    for (size_t offset : {36, 44, 64, 96, 100, 176, 212, 216, 220, 236, 240, 244, 248, 252, 256, 416, 472, 476, 492,
                          496, 500, 504})
        EXPECT_EQ(word(record.data(), offset), 0u) << offset;
    for (size_t offset : {0, 28, 48, 108, 260, 508})
        EXPECT_EQ(word(record.data(), offset), 0xABABABABu) << offset;
}

TEST_F(ContainerQueryTest, PartitionsByDeviceAndExtent)
{
    ASSERT_NE(open(), nullptr);
    FSA_PARTITION_INFO info;
    // An offset inside block 128 matches the segment that starts there.
    ASSERT_EQ(partitionInfo(0, 0, 0, 128 * 512 + 100, kExtentBlocks * 512, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe64(info.bytes + PI_PARTITION + FSA_PARTITION_OFFSET), 128u * 512 + 100);
    EXPECT_EQ(word(info.bytes, PI_PARTITION_TYPE), 1u);
    EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER_TYPE), 1u);
    EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER), 0u);
    EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER + 4), kFirstUid);
    EXPECT_EQ(word(info.bytes, PI_MIRROR_SLAVE_SPACE), 1u);
    EXPECT_EQ(word(info.bytes, PI_READ_ONLY), 0u);
    EXPECT_EQ(word(info.bytes, PI_SECONDARY_CONTAINER_TYPE), 0xABABABABu);
    ASSERT_EQ(partitionInfo(0, 0, 3, 128 * 512, kStripedExtentBlocks * 512, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER), 2u);
    EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER_TYPE), 2u);
    EXPECT_EQ(word(info.bytes, PI_MIRROR_SLAVE_SPACE), 0u);

    struct Case {
        int next;
        uint8_t target;
        uint64_t offset;
    };
    // A walk; a drive without containers; an extent no segment has; no drive.
    for (const Case& c : {Case{1, 0, 128 * 512}, Case{0, 4, 128 * 512}, Case{0, 0, 0}, Case{0, 9, 128 * 512}}) {
        SCOPED_TRACE(static_cast<int>(c.target));
        EXPECT_EQ(partitionInfo(c.next, 0, c.target, c.offset, kExtentBlocks * 512, &info), 13u);
        if (c.next)
            continue;
        EXPECT_EQ(word(info.bytes, PI_PARTITION_TYPE), 4u);
        EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER_TYPE), 22u);
        EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER), 0xFFFFFFFFu);
        EXPECT_EQ(word(info.bytes, PI_PRIMARY_CONTAINER + 4), 0xFFFFFFFFu);
        EXPECT_EQ(word(info.bytes, PI_MIRROR_SLAVE_SPACE), 0u);
        EXPECT_EQ(info.bytes[PI_PARTITION], 0xAB);
    }
}

TEST_F(ContainerQueryTest, WithoutTheModelThereIsNoSource)
{
    ASSERT_NE(open("option_word3 = 0x390\n"), nullptr);
    EXPECT_EQ(query(1, nullptr), FSA_STS_NOT_SUPPORTED);
    std::vector<uint8_t> legacy(1024, 0);
    EXPECT_EQ(FsaGetContainerInfo(handle(), 1, nullptr, reinterpret_cast<FSA_CONTAINER_INFO*>(legacy.data()), 1024),
              FSA_STS_NOT_SUPPORTED);
    FSA_PARTITION_INFO info;
    EXPECT_EQ(partitionInfo(0, 0, 0, 128 * 512, kExtentBlocks * 512, &info), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(sent(234), 0u);
}

TEST_F(ContainerQueryTest, TheDeviceFileNameOfAnExposedContainer)
{
    ASSERT_NE(open(), nullptr);
    const tag_FSA_CONTAINER at = cursor(40);
    std::vector<uint8_t> record(kFull, 0);
    faPutLe32(record.data() + CI_NUMBER, 40);
    record[CI_FILE_NAME] = 'x';
    EXPECT_EQ(FsaGetExtendedInfo2(handle(), 0, &at, reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(record.data()), kFull),
              FSA_STS_SUCCESS);
    // Beyond the host's reach: no file.
    EXPECT_EQ(record[CI_FILE_NAME], 0);
    EXPECT_EQ(FsaGetExtendedInfo2(handle(), 0, &at, nullptr, kFull), FSA_STS_SUCCESS);
}

}  // namespace
