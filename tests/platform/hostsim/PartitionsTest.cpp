// The slice and partition answers of the simulated firmware, read through
// the container transport and checked against layouts written from the
// record tables.
#include "Command/Vyn/OpenSessionTest.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_status.h"
#include "platform/hostsim/Bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kSerial0 = 0x30315356;
constexpr uint64_t kUsable146 = (146ull * 1024 * 1024 * 2 - 128 - 2048) / 128 * 128;
constexpr const char* kRaid5 = "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                               "adapter0.drive2 = 0:2 sas 146G ondisk=copy\nadapter0.drive3 = 0:3 tape\n"
                               "adapter0.ld2 = raid5 0:0,0:1,0:2 size=2G\n";

// One container command's answer as the firmware gave it.
struct Answer {
    FSA_STATUS sent = 0;
    uint32_t status = 0, result1 = 0, result2 = 0;
    std::vector<uint8_t> data;
};

class PartitionsTest : public vyntest::OpenSessionTest {
protected:
    FSAAPI_CONTEXT* begin(const std::string& description)
    {
        void* h = start(description);
        return h != nullptr ? context(h) : nullptr;
    }
    Answer ask(FSAAPI_CONTEXT* ctx, uint32_t code, uint32_t p0, uint32_t p1, size_t capacity,
               const std::vector<uint8_t>& input = {})
    {
        Answer a;
        a.status = p0;
        a.result1 = p1;
        a.data.assign(capacity, 0xEE);
        a.sent = CT_SendReceiveFIB(ctx, code, &a.status, &a.result1, &a.result2, input.empty() ? nullptr : input.data(),
                                   static_cast<unsigned>(input.size()), a.data.data(), static_cast<unsigned>(capacity), 0);
        return a;
    }
};

TEST_F(PartitionsTest, TableRecords)
{
    FSAAPI_CONTEXT* ctx = begin(kRaid5);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(ask(ctx, 2, 0, 0, 0).status, 4u);
    const Answer t = ask(ctx, 212, 0, 0, 4 * 420);
    ASSERT_EQ(t.sent, FSA_STS_SUCCESS);
    // A long reply hands its status back through result word 2.
    EXPECT_EQ(t.status, 202u);
    for (size_t i = 0; i < 420; ++i)
        ASSERT_EQ(t.data[i], 0) << "entry 0 is never used";
    for (uint32_t m = 0; m < 3; ++m) {
        SCOPED_TRACE(m);
        const uint8_t* r = t.data.data() + 420 * (m + 1);
        EXPECT_EQ(getLe32(r + 0), m + 1);
        EXPECT_EQ(r[7], 124);              // 2024
        EXPECT_EQ(getLe32(r + 8), 0x11u);  // 1 January
        EXPECT_EQ(getLe32(r + 12), kSerial0);
        EXPECT_EQ(getLe32(r + 20), 1u);    // the configuration age
        EXPECT_EQ(getLe32(r + 24), 128u);
        EXPECT_EQ(getLe32(r + 28), 2097152u);
        EXPECT_EQ(getLe32(r + 32), kSerial0);
        EXPECT_EQ(getLe32(r + 40), m);     // slice
        EXPECT_EQ(getLe32(r + 44), m);
        EXPECT_EQ(getLe32(r + 48), 4u);    // RAID-5
        EXPECT_EQ(getLe16(r + 52), 2u);
        EXPECT_EQ(getLe16(r + 56), 3u);
        EXPECT_EQ(getLe16(r + 60), m);
        EXPECT_EQ(getLe32(r + 68), 0u);
        EXPECT_EQ(getLe32(r + 112), 1u);
        EXPECT_EQ(getLe32(r + 256), 128u);
        EXPECT_EQ(getLe32(r + 260), 0u);
        EXPECT_EQ(getLe32(r + 264), 2097152u);
    }
    // One entry, and one past the limit.
    Answer e = ask(ctx, 213, 3, 0, 420, std::vector<uint8_t>(420, 0));
    EXPECT_EQ(e.status, 68u);
    EXPECT_EQ(std::vector<uint8_t>(e.data.begin(), e.data.end()),
              std::vector<uint8_t>(t.data.begin() + 3 * 420, t.data.end()));
    EXPECT_EQ(ask(ctx, 213, 256, 0, 420, std::vector<uint8_t>(420, 0)).status, 0u);
    // The drive's own table: its one partition, located by slice.
    const Answer d = ask(ctx, 214, 2, 0, 420);
    EXPECT_EQ(d.status, 204u);
    EXPECT_EQ(std::vector<uint8_t>(d.data.begin(), d.data.end()),
              std::vector<uint8_t>(t.data.begin() + 3 * 420, t.data.end()));
    EXPECT_EQ(getLe32(ask(ctx, 214, 0, 0, 420).data.data() + 32), 0u) << "no records on a drive without its own";
}

TEST_F(PartitionsTest, OlderRecordForms)
{
    struct Case {
        const char* records;
        uint32_t table, entry, disk;
        size_t bytes;
        FSA_STATUS newest;
    };
    const Case cases[] = {{"196", 198, 199, 200, 196, FSA_STS_CT_BAD_STATUS}, {"160", 85, 3, 86, 160, FSA_STS_CT_BAD_STATUS}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        FSAAPI_CONTEXT* ctx = begin(std::string(kRaid5) + "adapter0.partition_records = " + c.records + "\n");
        ASSERT_NE(ctx, nullptr);
        EXPECT_EQ(ask(ctx, 212, 0, 0, 4 * 420).sent, c.newest);
        EXPECT_EQ(ask(ctx, 213, 1, 0, 420, std::vector<uint8_t>(420, 0)).sent, c.newest);
        EXPECT_EQ(ask(ctx, 214, 2, 0, 420).sent, c.newest);
        const Answer t = ask(ctx, c.table, 0, 0, 4 * c.bytes);
        ASSERT_EQ(t.sent, FSA_STS_SUCCESS);
        const uint8_t* r = t.data.data() + c.bytes;
        EXPECT_EQ(getLe32(r + 0), 1u);
        EXPECT_EQ(getLe32(r + 24), 128u);
        EXPECT_EQ(t.data.size(), 4 * c.bytes);
        EXPECT_EQ(ask(ctx, c.entry, 1, 0, c.bytes, std::vector<uint8_t>(c.bytes, 0)).status, 68u);
        const Answer d = ask(ctx, c.disk, 2, 0, 2 * c.bytes);
        EXPECT_EQ(d.status, 204u);
        EXPECT_EQ(getLe32(d.data.data()), 3u);
        EXPECT_EQ(getLe32(d.data.data() + c.bytes + 32), 0u) << "one record of " << c.bytes << " bytes";
    }
}

TEST_F(PartitionsTest, SlicesAndBootRecords)
{
    for (const char* option3 : {"0x398", "0x388"}) {
        SCOPED_TRACE(option3);
        FSAAPI_CONTEXT* ctx = begin(std::string(kRaid5) + "adapter0.option_word3 = " + option3 + "\n");
        ASSERT_NE(ctx, nullptr);
        EXPECT_EQ(ask(ctx, 1, 0, 0, 0).status, 3u);
        EXPECT_EQ(ask(ctx, 11, 0, 0, 0).status, 1u);
        const Answer mbr = ask(ctx, 15, 2, 0, 48);
        EXPECT_EQ(mbr.status, 132u);
        EXPECT_EQ(getLe32(mbr.data.data()), 0x21956u);
        EXPECT_EQ(getLe32(mbr.data.data() + 4), 1u);
        EXPECT_EQ(getLe32(mbr.data.data() + 8), 2u);
        EXPECT_EQ(getLe32(ask(ctx, 15, 0, 0, 48).data.data() + 4), 0u);
        EXPECT_NE(ask(ctx, 15, 3, 0, 48).status, 132u);

        const Answer info = ask(ctx, 63, 1, 0, 32);
        const uint32_t words[8] = {0, 0, 0, 1, 0, 6, static_cast<uint32_t>(kUsable146), static_cast<uint32_t>(kUsable146)};
        for (unsigned w = 0; w < 8; ++w)
            EXPECT_EQ(getLe32(info.data.data() + 4 * w), words[w]) << "word " << w;
        EXPECT_EQ(getLe32(ask(ctx, 63, 3, 0, 32).data.data() + 12), 0xFFFFFFFFu);

        const Answer slice = ask(ctx, 154, 2, 0, 32);
        EXPECT_EQ(slice.status, 2u);
        EXPECT_EQ(getLe32(slice.data.data() + 8), 0u);
        EXPECT_EQ(getLe32(slice.data.data() + 12), 2u);
        EXPECT_EQ(getLe32(slice.data.data() + 20), 6u);
        EXPECT_EQ(ask(ctx, 154, 3, 0, 32).status, 0xFFFFFFFFu) << "a tape has no slice";
    }
}

TEST_F(PartitionsTest, DeviceRecordSliceFields)
{
    FSAAPI_CONTEXT* ctx = begin(std::string(kRaid5) + "adapter0.drive4 = 0:4 sas 146G slice=7\n");
    ASSERT_NE(ctx, nullptr);
    struct Case {
        uint32_t handle, slice;
        uint64_t size;
    };
    const Case cases[] = {{1, 1, kUsable146}, {3, 0xFFFFFFFF, 0}, {4, 7, kUsable146}};
    for (const Case& c : cases) {
        const Answer r = ask(ctx, 248, c.handle, 0, 440);
        EXPECT_EQ(getLe32(r.data.data() + 8), c.handle);
        EXPECT_EQ(getLe32(r.data.data() + 136), c.slice);
        EXPECT_EQ(getLe32(r.data.data() + 144) | static_cast<uint64_t>(getLe32(r.data.data() + 148)) << 32, c.size);
        EXPECT_EQ(getLe32(r.data.data() + 152) | static_cast<uint64_t>(getLe32(r.data.data() + 156)) << 32, c.size);
    }
}

TEST_F(PartitionsTest, UniqueIdOfAPartition)
{
    FSAAPI_CONTEXT* ctx = begin(kRaid5);
    ASSERT_NE(ctx, nullptr);
    std::vector<uint8_t> record(420, 0);
    struct Case {
        uint32_t which;
        size_t at;
        unsigned width;
        uint32_t status, uid;
    };
    const Case cases[] = {
        {0, 52, 2, 218, 0x5A000002}, {1, 72, 2, 218, 0x5A000002}, {2, 79, 1, 218, 0x5A000002},
        {0, 72, 2, 219, 0},  // the first owner's number is 0: no container 0
        {3, 52, 2, 219, 0},
    };
    for (const Case& c : cases) {
        std::fill(record.begin(), record.end(), 0);
        if (c.width == 2)
            putLe16(record.data() + c.at, 2);
        else
            record[c.at] = 2;
        const Answer a = ask(ctx, 167, c.which, 0, 0, record);
        EXPECT_EQ(a.status, c.status) << c.which << " at " << c.at;
        EXPECT_EQ(a.result1, c.uid);
    }
}

TEST_F(PartitionsTest, StripesAndTheOutermostContainer)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                                "adapter0.drive2 = 0:2 sas 146G\nadapter0.drive3 = 0:3 sas 146G\n"
                                "adapter0.drive4 = 0:4 sas 146G\nadapter0.ld1 = raid10 0:0,0:1,0:2,0:3 stripe=64K\n"
                                "adapter0.ld3 = volume 0:4 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    // Entries 1 and 2 place the legs, 3 is the volume's, 4 to 7 are the legs'
    // members on the drives.
    const Answer t = ask(ctx, 212, 0, 0, 8 * 420);
    ASSERT_EQ(t.sent, FSA_STS_SUCCESS);
    struct Case {
        uint32_t index, first, second, uid;
    };
    const Case cases[] = {{1, 128, 0, 0x5A000001}, {3, 512, 0, 0x5A000003}, {4, 128, 128, 0x5A000001},
                          {7, 128, 128, 0x5A000001}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        const uint8_t* r = t.data.data() + 420 * c.index;
        EXPECT_EQ(getLe32(r + 92), c.first);
        EXPECT_EQ(getLe32(r + 96), c.second);
        EXPECT_EQ(getLe32(r + 164), c.uid);
        // One creation made the container with its legs.
        EXPECT_EQ(getLe32(r + 16), c.uid - 0x5A000000);
    }
}

TEST_F(PartitionsTest, MissingDriveKeepsItsPartitionsInTheTable)
{
    FSAAPI_CONTEXT* ctx = begin("adapter0.drive0 = 0:0 sas 146G ondisk=copy\n"
                                "adapter0.drive1 = 0:1 sas 146G ondisk=copy state=missing\n"
                                "adapter0.drive2 = 0:2 sas 146G\nadapter0.ld0 = raid1 0:0,0:1 size=1G\n");
    ASSERT_NE(ctx, nullptr);
    // Slices keep their numbers; the missing drive's no longer answers.
    EXPECT_EQ(ask(ctx, 1, 0, 0, 0).status, 3u);
    EXPECT_EQ(getLe32(ask(ctx, 63, 1, 0, 32).data.data() + 12), 0xFFFFFFFFu);
    EXPECT_EQ(getLe32(ask(ctx, 63, 1, 0, 32).data.data() + 20), 0u);
    EXPECT_EQ(getLe32(ask(ctx, 63, 2, 0, 32).data.data() + 12), 2u);
    EXPECT_EQ(ask(ctx, 154, 1, 0, 32).status, 0xFFFFFFFFu);
    EXPECT_NE(ask(ctx, 15, 1, 0, 48).status, 132u);
    EXPECT_EQ(ask(ctx, 214, 1, 0, 420).status, 0u);
    EXPECT_EQ(ask(ctx, 214, 0, 0, 420).status, 204u);
    // The controller's table still holds both members.
    const Answer t = ask(ctx, 212, 0, 0, 3 * 420);
    ASSERT_EQ(t.sent, FSA_STS_SUCCESS);
    const uint8_t* second = t.data.data() + 2 * 420;
    EXPECT_EQ(getLe32(second + 0), 2u);
    EXPECT_EQ(getLe32(second + 40), 1u);
    EXPECT_EQ(getLe16(second + 60), 1u);
    EXPECT_EQ(getLe32(second + 256), 128u);
    // A drive missing with the last slice takes it out of the count.
    ctx = begin("adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G state=missing\n");
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(ask(ctx, 1, 0, 0, 0).status, 1u);
}

TEST_F(PartitionsTest, FaultsShapePartitionRecords)
{
    FSAAPI_CONTEXT* ctx = begin(kRaid5);
    ASSERT_NE(ctx, nullptr);
    // Several fields of one entry, in every record of it; the others stay.
    ASSERT_TRUE(sim().addFault(0, Fault{"partition 2", "poke = 100:4=3", 0, 0}));
    ASSERT_TRUE(sim().addFault(0, Fault{"partition 2", "poke = 79:1=9", 0, 0}));
    ASSERT_TRUE(sim().addFault(0, Fault{"partition 2", "poke = 56:2=0x1234", 0, 2}));
    for (int read = 0; read < 3; ++read) {
        SCOPED_TRACE(read);
        const Answer t = ask(ctx, 212, 0, 0, 4 * 420);
        const uint8_t* r = t.data.data() + 2 * 420;
        EXPECT_EQ(getLe32(r + 100), 3u);
        EXPECT_EQ(r[79], 9);
        EXPECT_EQ(getLe16(r + 56), read < 2 ? 0x1234u : 3u) << "the third acts twice";
        EXPECT_EQ(getLe32(t.data.data() + 420 + 100), 0u);
        EXPECT_EQ(t.data[420 + 79], 0);
    }
    const Answer e = ask(ctx, 213, 2, 0, 420, std::vector<uint8_t>(420, 0));
    EXPECT_EQ(getLe32(e.data.data() + 100), 3u);
    // Entry 3 in the own table of its drive.
    ASSERT_TRUE(sim().addFault(0, Fault{"partition 3", "poke = 100:4=5", 0, 0}));
    const Answer d = ask(ctx, 214, 2, 0, 420);
    EXPECT_EQ(d.status, 204u);
    EXPECT_EQ(getLe32(d.data.data()), 3u);
    EXPECT_EQ(getLe32(d.data.data() + 100), 5u);

    // Only a poke shapes a record.
    EXPECT_FALSE(sim().addFault(0, Fault{"partition 2", "status = 3"}));
    EXPECT_FALSE(sim().addFault(0, Fault{"partition x", "poke = 0:4=1"}));
    // A field past the record is left alone.
    ASSERT_TRUE(sim().addFault(0, Fault{"partition 1", "poke = 418:4=7", 0, 0}));
    const Answer t = ask(ctx, 212, 0, 0, 4 * 420);
    EXPECT_EQ(getLe16(t.data.data() + 420 + 418), 0u);
}

}  // namespace
