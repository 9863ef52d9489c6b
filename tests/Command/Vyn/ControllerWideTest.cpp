// Alarm, battery, diagnostic, copyback, statistics and the other
// controller-wide exports over the simulator.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

class ControllerWideTest : public vyntest::OpenSessionTest {};

TEST_F(ControllerWideTest, AlarmOperations)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    uint32_t a[3] = {1, 3, 45};
    ASSERT_EQ(FsaAlarm(h, 2, a), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).alarm, "sounding");
    EXPECT_EQ(sim().controller(0).alarmSoundTime, 45u);
    a[0] = 0;
    EXPECT_EQ(FsaAlarm(h, 3, a), FSA_STS_SUCCESS);
    EXPECT_EQ(a[0], 1u);
    a[0] = 0;
    ASSERT_EQ(FsaAlarm(h, 1, a), FSA_STS_SUCCESS);
    a[0] = 0;
    EXPECT_EQ(FsaAlarm(h, 3, a), FSA_STS_SUCCESS);
    EXPECT_EQ(a[0], 2u);
    EXPECT_EQ(FsaAlarm(h, 0, a), FSA_STS_SUCCESS);
    EXPECT_EQ(a[0], 0u);

    // Values outside the table send nothing.
    sim().clearRequests();
    a[0] = 2;
    EXPECT_EQ(FsaAlarm(h, 1, a), FSA_STS_BAD_PARAMETER);
    uint32_t b[3] = {1, 4, 0};
    EXPECT_EQ(FsaAlarm(h, 2, b), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(FsaAlarm(h, 4, b), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(sent(500, 191) + sent(500, 192), 0u);

    void* ro = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(ro, nullptr);
    a[0] = 1;
    EXPECT_EQ(FsaAlarm(ro, 1, a), FSA_STS_NOT_OPEN_READ_WRITE);
    EXPECT_EQ(FsaAlarm(ro, 0, a), FSA_STS_SUCCESS);
}

TEST_F(ControllerWideTest, AlarmNeedsItsCapabilityAndAController)
{
    void* h = start("adapter0.option_word1 = 0x000D0020\n");
    ASSERT_NE(h, nullptr);
    uint32_t a[3] = {};
    EXPECT_EQ(FsaAlarm(h, 0, a), FSA_STS_NO_ALARM);
    EXPECT_EQ(sent(500, 190), 0u);
}

TEST_F(ControllerWideTest, AlarmOfAControllerWithoutOne)
{
    // The open reads the alarm: a controller answering "no alarm" fails it.
    startSimulator("adapters = 1\nhostsim.persist = 0\nadapter0.alarm = none\n");
    void* h = openAgain(FSA_ACC_READ_WRITE);
    EXPECT_EQ(h, nullptr);
}

TEST_F(ControllerWideTest, BatteryVersionOneStaysInsideItsRecord)
{
    // W bits 0 and 13 to 16 set: version 2 fields exist, version 1 has no room.
    void* h = start("adapter0.battery_valid = 0x1E001\n");
    ASSERT_NE(h, nullptr);
    uint8_t record[64];
    std::memset(record, 0xAB, sizeof record);
    ASSERT_EQ(FsaBattery(h, 1, record), FSA_STS_SUCCESS);
    for (size_t i = 40; i < sizeof record; ++i)
        ASSERT_EQ(record[i], 0xAB) << i;
    EXPECT_EQ(faGetLe32(record) & 0x1, 0x1u);
    EXPECT_EQ(faGetLe32(record) & 0x1E000, 0u);
    std::memset(record, 0xAB, sizeof record);
    ASSERT_EQ(FsaBattery(h, 2, record), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(record) & 0x1E000, 0x1E000u);
    EXPECT_EQ(faGetLe16(record + 52), 48u | 49u << 8);
    EXPECT_EQ(record[60], 0xAB);
    EXPECT_EQ(context(h)->adapterNumberWord, 0u);
}

TEST_F(ControllerWideTest, BatteryPagesAndTheirAnswers)
{
    {
        void* h = start("adapter0.battery_valid = 0x1E000\n");
        ASSERT_NE(h, nullptr);
        uint8_t record[60];
        std::memset(record, 0xAB, sizeof record);
        EXPECT_EQ(FsaBattery(h, 2, record), FSA_STS_SUCCESS);
        for (uint8_t byte : record)
            ASSERT_EQ(byte, 0);
        EXPECT_EQ(FsaBattery(h, 3, record), FSA_STS_BAD_PARAMETER);
        ASSERT_TRUE(sim().addFault(0, Fault{"class3 0x30000", "status = 10004"}));
        EXPECT_EQ(FsaBattery(h, 2, record), FSA_STS_NO_BATTERY);
    }
    {
        void* h = start("adapter0.battery = none\n");
        ASSERT_NE(h, nullptr);
        context(h)->adapterNumberWord = 9;
        uint8_t record[40];
        EXPECT_EQ(FsaBattery(h, 1, record), FSA_STS_NO_BATTERY);
        EXPECT_EQ(context(h)->adapterNumberWord, 9u);
    }
    {
        // The legacy page: V bits 0 (present), 4 (u32 at 4) and 5 (value at 8).
        void* h = start("adapter0.battery = legacy\nadapter0.battery_valid = 0x31\n");
        ASSERT_NE(h, nullptr);
        uint8_t record[40];
        ASSERT_EQ(FsaBattery(h, 1, record), FSA_STS_SUCCESS);
        EXPECT_EQ(faGetLe32(record), 0x1u | 0x20u | 0x80000000u | 0x800u);
        EXPECT_EQ(faGetLe32(record + 8), 0x1u);
        EXPECT_EQ(faGetLe32(record + 32), 3600u);
        EXPECT_EQ(faGetLe16(record + 12), 4200u);
    }
}

TEST_F(ControllerWideTest, OnlineDiagnostic)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(FsaOnlineControllerDiagnostic(h), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(sent(800), 0u);
    void* d = start("adapter0.option_word2 = 0x0EB797DD\n");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(FsaOnlineControllerDiagnostic(d), FSA_STS_SUCCESS);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 800", "poke = 0:1=1"}));
    EXPECT_EQ(FsaOnlineControllerDiagnostic(d), FSA_STS_GENERAL_FAILURE);
}

TEST_F(ControllerWideTest, Copyback)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaSetCopyback(h, 7), FSA_STS_SUCCESS);
    EXPECT_TRUE(sim().controller(0).copyback);
    uint32_t state = 5;
    ASSERT_EQ(FsaGetCopyback(h, &state), FSA_STS_SUCCESS);
    EXPECT_EQ(state, 1u);
    ASSERT_EQ(FsaSetCopyback(h, 0), FSA_STS_SUCCESS);
    EXPECT_FALSE(sim().controller(0).copyback);

    // The words themselves: word 2 is 1 for any enable, word 3 carries *state.
    std::vector<uint32_t> words;
    sim().addCtHandler(216, [&](ControllerState&, const CtRequest& q, CtReply& r) {
        words.push_back(q.param[0]);
        words.push_back(q.param[1]);
        r.status = 218;
        r.result1 = 9;
    });
    ASSERT_EQ(FsaSetCopyback(h, 7), FSA_STS_SUCCESS);
    state = 4;
    ASSERT_EQ(FsaGetCopyback(h, &state), FSA_STS_SUCCESS);
    EXPECT_EQ(words, (std::vector<uint32_t>{1, 0, 2, 4}));
    EXPECT_EQ(state, 9u);

    void* old = start("adapter0.option_word2 = 0x0EB797CC\n");
    ASSERT_NE(old, nullptr);
    state = 5;
    EXPECT_EQ(FsaGetCopyback(old, &state), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(state, 5u);
    EXPECT_EQ(FsaSetCopyback(old, 1), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(sent(500, 216), 0u);
}

TEST_F(ControllerWideTest, Statistics)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    uint8_t buffer[256];
    uint32_t size = sizeof buffer;
    EXPECT_EQ(FsaGetControllerStats(h, 3, buffer, &size), FSA_STS_NOT_SUPPORTED);

    void* s = start("adapter0.option_word1 = 0x040D0820\n");
    ASSERT_NE(s, nullptr);
    size = 16;
    ASSERT_EQ(FsaGetControllerStats(s, 3, buffer, &size), FSA_STS_SUCCESS);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(faGetLe32(buffer), 3u);
    ASSERT_EQ(FsaResetControllerStatsCounters(s), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).statisticsResets, 1u);

    void* n = start("adapter0.option_word3 = 0x298\n");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(FsaResetControllerStatsCounters(n), FSA_STS_NOT_SUPPORTED);
}

// The record of type 0, read back at the offsets of its layout: sections
// sized from the containers and the present drives, counters from the
// description, cleared by the reset.
TEST_F(ControllerWideTest, StatisticsRecordOfBothVersions)
{
    struct Case {
        const char* version;
        size_t header;
        size_t stride;
        size_t configAge;
        size_t hitsOnce;  // second bucket of the SSD hit histogram
    };
    for (const Case& c : {Case{"3", 144, 1168, 140, 1132}, Case{"2", 136, 1176, 132, 1112}}) {
        SCOPED_TRACE(c.version);
        void* h = start(std::string("adapter0.option_word1 = 0x040D0820\n") +
                        "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                        "adapter0.ld4 = raid1 0:0,0:1 name=M\nadapter0.log.stats_version = " + c.version + "\n"
                        "adapter0.log.stats_reads = 5000000000\nadapter0.log.stats_ssd_hits = 3\n"
                        "adapter0.log.stats_medium_errors = 2\nadapter0.log.stats_seconds = 9\n");
        ASSERT_NE(h, nullptr);
        std::vector<uint8_t> r(8192, 0xEE);
        uint32_t size = static_cast<uint32_t>(r.size());
        ASSERT_EQ(FsaGetControllerStats(h, 0, r.data(), &size), FSA_STS_SUCCESS);
        const uint8_t* p = r.data();
        EXPECT_EQ(faGetLe32(p), c.header);
        EXPECT_EQ(faGetLe32(p + 8), 9u);
        EXPECT_EQ(faGetLe32(p + 12), static_cast<uint32_t>(std::stoul(c.version)) << 16);
        EXPECT_EQ(faGetLe32(p + c.configAge), 1u);
        const uint8_t* ld = p + c.header;
        ASSERT_EQ(faGetLe32(ld), 1u);
        ASSERT_EQ(faGetLe32(ld + 4), c.stride);
        const uint8_t* e = ld + 24;
        EXPECT_EQ(faGetLe32(e), 4u);
        EXPECT_EQ(faGetLe64(e + 928), 5000000000ull);
        EXPECT_EQ(faGetLe64(e + 944), 40000000000ull);
        EXPECT_EQ(faGetLe64(e + 1040), 3u);
        EXPECT_EQ(faGetLe64(e + 976), 4999999997ull);
        EXPECT_EQ(faGetLe32(e + c.hitsOnce), 3u);
        const uint8_t* pd = ld + 24 + c.stride;
        ASSERT_EQ(faGetLe32(pd), 2u);
        ASSERT_EQ(faGetLe32(pd + 4), 28u);
        EXPECT_EQ(faGetLe32(pd + 24 + 28), 1u);  // bus 0, target 1
        EXPECT_EQ(faGetLe32(pd + 24 + 28 + 8), 2u);
        EXPECT_EQ(r[pd + 24 + 2 * 28 - p], 0xEE);

        ASSERT_EQ(FsaResetControllerStatsCounters(h), FSA_STS_SUCCESS);
        EXPECT_EQ(sim().controller(0).stats.reads, 0u);
        EXPECT_EQ(sim().controller(0).stats.version, static_cast<uint32_t>(std::stoul(c.version)));
        ASSERT_EQ(FsaGetControllerStats(h, 0, r.data(), &size), FSA_STS_SUCCESS);
        EXPECT_EQ(faGetLe64(e + 928), 0u);
        EXPECT_EQ(faGetLe32(pd + 24 + 8), 0u);
        EXPECT_EQ(faGetLe32(p + 8), 0u);
    }
}

TEST_F(ControllerWideTest, OwnerVersionAndSmallExports)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(FsaGetOwnerId(nullptr), 0u);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(FsaGetOwnerId(h), 0x30315356ull | 0x32343030ull << 32);

    FSA_CODE_VERSION_STATUS v = 77;
    EXPECT_EQ(FsaGetVersionStatus(h, &v), FSA_STS_SUCCESS);
    EXPECT_EQ(v, 0u);
    FAUX_COMM_CONTEXT* comm = context(h)->commContext;
    context(h)->commContext = nullptr;
    v = 77;
    EXPECT_EQ(FsaGetVersionStatus(h, &v), FSA_STS_SUCCESS);
    EXPECT_EQ(v, 77u);
    context(h)->commContext = comm;

    uint32_t bus = 0, target = 0, lun = 0;
    EXPECT_EQ(FsaGetBusTargetLunFromDevHandle(h, 0x00010002, &bus, nullptr, &lun), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(FsaGetBusTargetLunFromDevHandle(h, 0x00010002, &bus, &target, &lun), FSA_STS_SUCCESS);

    EXPECT_EQ(FsaClearPPITable(h), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).ppiClears, 1u);
    EXPECT_EQ(FsaClearControllerNvsRam(h), FSA_STS_SUCCESS);
    ASSERT_EQ(FsaSetControllerDeviceCachePolicy(h, 1, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).cachePolicy, 0x2u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 238", "status = 219"}));
    EXPECT_EQ(FsaSetControllerDeviceCachePolicy(h, 0, 1), 12u);

    EXPECT_EQ(FsaValidHostOs(), FSA_STS_SUCCESS);
    EXPECT_EQ(FsaIsUnixOS(5), 1);
    EXPECT_EQ(FsaIsNTOS(5), 0);
    EXPECT_EQ(FsaGetOSType(), 5);
}

TEST_F(ControllerWideTest, UiCallbackSkipsTheContextsOwnHandle)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    // The handle listed a second time would call back into itself.
    ctx->handleSerial[1] = ctx->handleSerial[0];
    ctx->handleSerialCount = 2;
    EXPECT_EQ(FsaSetUiThreadCallBack(h, 1, 2, 3), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->uiCallback[2], 3u);
    ctx->handleSerialCount = 1;
}

TEST_F(ControllerWideTest, FileSystemChangeGoesToEveryClient)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    // One client event (request 107) of class 128 carrying the container's
    // identifier; with no channel open it waits on the controller.
    AIF_FileSystemChange(context(h), 3);
    EXPECT_EQ(sent(700), 1u);
    const auto& pending = sim().controller(0).pendingAif;
    ASSERT_EQ(pending.size(), 1u);
    const uint8_t* payload = pending[0].data() + 32;
    EXPECT_EQ(faGetLe32(payload), 3u);
    EXPECT_EQ(faGetLe32(payload + 8), 128u);
    EXPECT_EQ(faGetLe32(payload + 12), 3u);
    EXPECT_EQ(faGetLe32(payload + 20), context(h)->adapterIdentityWord);
}

TEST_F(ControllerWideTest, PlugAndPlayWaitsOnlyOnHostsWithTheWindow)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    sim().setSleepScale(0);
    FSAAPI_CONTEXT* ctx = context(h);
    // This host (OS code 5) has no plug-and-play window to wait on; a host of
    // code 10 settles for 15 s after the arrival. The window opens on both.
    struct Case {
        uint32_t osOverride;
        bool active;
        uint64_t arrivalMs;
    };
    for (const Case& c : {Case{0, false, 0}, Case{10, true, 15000}}) {
        SCOPED_TRACE(c.osOverride);
        ctx->osTypeOverride = c.osOverride;
        PnPWindowGrabber grabber(ctx);
        EXPECT_EQ(grabber.active(), c.active);
        EXPECT_TRUE(grabber.windowOpen());
        uint64_t before = sim().clockMs();
        grabber.WaitForArrival();
        EXPECT_EQ(sim().clockMs() - before, c.arrivalMs);
        before = sim().clockMs();
        grabber.WaitForRemoval();
        EXPECT_EQ(sim().clockMs() - before, 0u);
    }
    ctx->osTypeOverride = 0;
    PnPWindowGrabber told(true);
    EXPECT_TRUE(told.active());
    const uint64_t before = sim().clockMs();
    told.WaitForArrival();
    EXPECT_EQ(sim().clockMs() - before, 15000u);
}

}  // namespace
