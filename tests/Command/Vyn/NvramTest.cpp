// The NVRAM and battery export: the status record as the controller's states
// map into it, the gates of each operation, the recondition and new-battery
// requests and how their failures are reported.
#include "Command/Vyn/common/fa_nvram.h"
#include "Command/Vyn/common/fa_status.h"
#include "FsaThrown.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using vyn::hostsim::Fault;
using vyntest::thrownBy;

// Option word 1 with bit 9: no software-initiated recondition.
constexpr const char* kNoRecondition = "adapter0.option_word1 = 0x000D0A20\n";

class NvramTest : public vyntest::OpenSessionTest {
protected:
    vyn::hostsim::ControllerState& controller() { return sim().controller(0); }
    // FIB 300 requests sent since the last clearRequests().
    unsigned nvramRequests() { return sent(300); }
    // The new-battery requests among them (class 3, sub-command 0xF0000 is
    // not in the trace: every class 3 request counts).
    unsigned scsiRequests()
    {
        unsigned n = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            n += r.isFib && r.hasClass && r.fibClass == 3 ? 1 : 0;
        return n;
    }
};

TEST_F(NvramTest, StatusRecordFromTheControllersStates)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    struct Case {
        uint32_t nvram, battery;
        uint32_t word0, word1;
    };
    const Case cases[] = {
        {0, 0, 0, 0}, {4, 1, 4, 2}, {7, 2, 4, 0}, {3, 3, 3, 3}, {1, 4, 1, 1}, {0xFFFFFFFF, 9, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.nvram) + "/" + std::to_string(c.battery));
        controller().nvramState = c.nvram;
        controller().batteryState = c.battery;
        uint32_t record[FSA_NVRAM_RECORD_WORDS] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        sim().clearRequests();
        ASSERT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_SUCCESS);
        EXPECT_EQ(record[0], c.word0);
        EXPECT_EQ(record[1], c.word1);
        // What the firmware keeps past the FIB never reaches the record.
        EXPECT_EQ(record[2], 0u);
        EXPECT_EQ(record[3], 0u);
        EXPECT_EQ(record[4], 0xEEu);
        EXPECT_EQ(nvramRequests(), 1u);
    }
    EXPECT_EQ(controller().batteryReconditions, 0u);
}

TEST_F(NvramTest, OrphanBuffersShowAsStateTwoAndAreReleased)
{
    void* h = start("adapter0.nvram_state = 1\nadapter0.ld0 = raid0 0:0\nadapter0.drive0 = 0:0 sas 1G\n");
    ASSERT_NE(h, nullptr);
    // Container 0 holds its own buffers; number 5 has none and still holds some.
    controller().containerSettings[0].buffered = 1;
    uint32_t record[FSA_NVRAM_RECORD_WORDS] = {};
    ASSERT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_SUCCESS);
    EXPECT_EQ(record[0], 1u);
    controller().containerSettings[5].buffered = 1;
    ASSERT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_SUCCESS);
    EXPECT_EQ(record[0], 2u);

    sim().clearRequests();
    ASSERT_EQ(FsaNvram(h, FSA_NVO_RELEASE_ORPHAN_BUFFERS, nullptr), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 132), 1u);
    EXPECT_EQ(nvramRequests(), 0u);
    EXPECT_EQ(controller().containerSettings[5].buffered, 0u);
    EXPECT_EQ(controller().containerSettings[0].buffered, 1u);
    ASSERT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_SUCCESS);
    EXPECT_EQ(record[0], 1u);
}

TEST_F(NvramTest, AFailedBufferCheckIsNotTakenForBuffers)
{
    void* h = start("adapter0.nvram_state = 3\n");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 112", "transport = 1"}));
    uint32_t record[FSA_NVRAM_RECORD_WORDS] = {};
    ASSERT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 112), 1u);
    EXPECT_EQ(record[0], 3u);
}

TEST_F(NvramTest, GatesAndOperations)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    uint32_t record[FSA_NVRAM_RECORD_WORDS] = {};
    // The status query is open to every access mode; the others need one
    // that may write.
    for (int mode = FSA_ACC_READ_ONLY; mode <= FSA_ACC_UTILITY; ++mode) {
        SCOPED_TRACE(mode);
        ctx->accessMode = static_cast<FSA_ACCESS>(mode);
        const bool writes = mode == FSA_ACC_READ_WRITE || mode == FSA_ACC_LL_READ_WRITE || mode == FSA_ACC_UTILITY;
        EXPECT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_SUCCESS);
        sim().clearRequests();
        for (uint32_t op : {FSA_NVO_RELEASE_ORPHAN_BUFFERS, FSA_NVO_START_BATT_RECONDITION, FSA_NVO_NEW_BATTERY}) {
            const FSA_STATUS status = FsaNvram(h, op, record);
            const FSA_STATUS expected = writes ? FSA_STS_SUCCESS : FSA_STATUS{FSA_STS_NOT_OPEN_READ_WRITE};
            EXPECT_EQ(status, expected) << op;
        }
        EXPECT_EQ(sim().requests().empty(), !writes);
    }
    ctx->accessMode = static_cast<FSA_ACCESS>(7);
    EXPECT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_NOT_OPEN_READ_ONLY);
    ctx->accessMode = FSA_ACC_READ_WRITE;

    sim().clearRequests();
    for (uint32_t op : {4u, 5u, 0xFFFFFFFFu})
        EXPECT_EQ(FsaNvram(h, op, record), 92u) << op;
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, nullptr), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(FsaNvram(reinterpret_cast<void*>(uintptr_t{77}), FSA_NVO_GET_STATUS, record), FSA_STS_INVALID_HANDLE);
    ctx->paused = 1;
    EXPECT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), FSA_STS_ADAPTER_PAUSED);
    ctx->paused = 0;
}

TEST_F(NvramTest, Recondition)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaNvram(h, FSA_NVO_START_BATT_RECONDITION, nullptr), FSA_STS_SUCCESS);
    EXPECT_EQ(nvramRequests(), 1u);
    EXPECT_EQ(controller().batteryReconditions, 1u);

    // The reply's two statuses, for the recondition and the status query alike.
    struct Case {
        const char* poke;
        FSA_STATUS status;
    };
    for (const Case& c : {Case{"poke = 0:4=5", 166}, Case{"poke = 4:4=1", 167}}) {
        SCOPED_TRACE(c.poke);
        ASSERT_TRUE(sim().addFault(0, Fault{"fib 300", c.poke, 0, 2}));
        EXPECT_EQ(FsaNvram(h, FSA_NVO_START_BATT_RECONDITION, nullptr), c.status);
        uint32_t record[FSA_NVRAM_RECORD_WORDS] = {};
        EXPECT_EQ(FsaNvram(h, FSA_NVO_GET_STATUS, record), c.status);
    }
    // A send that fails passes its status on.
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 300", "errno = 5"}));
    EXPECT_EQ(FsaNvram(h, FSA_NVO_START_BATT_RECONDITION, nullptr), FSA_STS_UX_IOCTL_FAILED);
    EXPECT_EQ(controller().batteryReconditions, 3u);

    void* none = start("adapter0.battery = none\n");
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(FsaNvram(none, FSA_NVO_START_BATT_RECONDITION, nullptr), 167u);
}

TEST_F(NvramTest, ControllersWithoutSoftwareRecondition)
{
    void* h = start(kNoRecondition);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(FsaNvram(h, FSA_NVO_START_BATT_RECONDITION, nullptr), 602u);
    EXPECT_EQ(nvramRequests(), 0u);
    // Battery replacement is refused only on controller type 18 with the bit.
    uint32_t record[FSA_NVRAM_RECORD_WORDS] = {0, 0, 0, 0, 9};
    context(h)->adapterType = 18;
    EXPECT_EQ(FsaNvram(h, FSA_NVO_NEW_BATTERY, record), 601u);
    EXPECT_EQ(scsiRequests(), 0u);
    context(h)->adapterType = 17;
    EXPECT_EQ(FsaNvram(h, FSA_NVO_NEW_BATTERY, record), FSA_STS_SUCCESS);
    EXPECT_EQ(controller().newBatteryValue, 9u);

    void* other = start();
    ASSERT_NE(other, nullptr);
    context(other)->adapterType = 18;
    EXPECT_EQ(FsaNvram(other, FSA_NVO_NEW_BATTERY, record), FSA_STS_SUCCESS);
}

TEST_F(NvramTest, NewBatterySendsTheLowHalfUnderAdapterNumberThree)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    ctx->adapterNumberWord = 5;
    uint32_t record[FSA_NVRAM_RECORD_WORDS] = {0, 0, 0, 0, 0x1BEEF};
    ASSERT_EQ(FsaNvram(h, FSA_NVO_NEW_BATTERY, record), FSA_STS_SUCCESS);
    EXPECT_EQ(controller().newBatteryValue, 0xBEEFu);
    EXPECT_EQ(controller().newBatteryAdapterWord, 3u);
    EXPECT_EQ(controller().batteryReplacements, 1u);
    EXPECT_EQ(ctx->adapterNumberWord, 5u);

    // Refused (a status) or not sent at all (errno): 535, the word restored.
    for (const char* effect : {"status = 5", "errno = 5"}) {
        SCOPED_TRACE(effect);
        ASSERT_TRUE(sim().addFault(0, Fault{"class3 0xF0000", effect, 0, 2}));
        EXPECT_EQ(NVRAM_NewBattery(ctx, 1), 535u);
        EXPECT_EQ(ctx->adapterNumberWord, 5u);
    }
    ctx->adapterNumberWord = 0;
    void* none = start("adapter0.battery = none\n");
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(FsaNvram(none, FSA_NVO_NEW_BATTERY, record), 535u);
}

TEST_F(NvramTest, FileSystemRequestStaysInsideTheFib)
{
    void* h = start("adapter0.nvram_state = 2\nadapter0.battery_state = 3\n");
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    uint8_t request[56] = {};
    faPutLe32(request, 30);
    faPutLe32(request + 4, 1);
    // The firmware's reply record is longer than a FIB: what lies past the
    // FIB's 480 payload bytes is cleared, never read.
    std::vector<uint8_t> reply(1076, 0xEE);
    EXPECT_EQ(thrownBy([&] { FS_SendReceiveFib(ctx, request, 56, reply.data(), 1076); }), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(reply.data() + 8), 2u);
    EXPECT_EQ(faGetLe32(reply.data() + 12), 3u);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 480, reply.end()), std::vector<uint8_t>(596, 0));
    const std::vector<vyn::hostsim::Request> sentFibs = sim().requests();
    ASSERT_EQ(sentFibs.size(), 1u);
    EXPECT_EQ(sentFibs[0].command, 300u);
    EXPECT_EQ(sentFibs[0].size, 56u);

    // A request that does not fit is refused before anything is sent.
    sim().clearRequests();
    std::vector<uint8_t> large(481, 0);
    EXPECT_EQ(thrownBy([&] { FS_SendReceiveFib(ctx, large.data(), 481, reply.data(), 16); }), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(thrownBy([&] { FS_SendReceiveFib(ctx, request, -1, reply.data(), 16); }), FSA_STS_BAD_PARAMETER);
    EXPECT_TRUE(sim().requests().empty());
    // A failed send is thrown.
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 300", "errno = 5"}));
    EXPECT_EQ(thrownBy([&] { FS_SendReceiveFib(ctx, request, 56, reply.data(), 16); }), FSA_STS_UX_IOCTL_FAILED);
}

}  // namespace
