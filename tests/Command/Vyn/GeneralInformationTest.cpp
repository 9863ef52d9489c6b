// The general information refresh and the frame of the exported operations,
// on sessions made by hand with option words set by each test.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "FsaSessionTest.h"
#include "ContextMutexHolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr const char* kOneController = "adapters = 1\nhostsim.persist = 0\n";

uint32_t u32(const FSA_GENERAL_INFO2& gi, size_t offset) { return faGetLe32(gi.bytes + offset); }

class GeneralInformationTest : public vyntest::FsaSessionTest {
protected:
    // A session whose option words 1 and 2 are the test's own.
    void* start(uint32_t opt1, uint32_t opt2, const std::string& extra = "")
    {
        startSimulator(std::string(kOneController) + extra);
        void* handle = openSession();
        if (handle != nullptr) {
            FsaOptionWord1(context(handle)) = opt1;
            FsaOptionWord2(context(handle)) = opt2;
        }
        sim().clearRequests();
        return handle;
    }

    std::vector<unsigned> fibCommands() const
    {
        std::vector<unsigned> out;
        for (const Request& r : const_cast<GeneralInformationTest*>(this)->sim().requests())
            if (r.isFib)
                out.push_back(r.hasClass ? 500 * 1000 + r.ct : r.command);
        return out;
    }
    bool sent(unsigned command) const
    {
        for (unsigned c : fibCommands())
            if (c == command)
                return true;
        return false;
    }
};

TEST_F(GeneralInformationTest, AFailedHeatSensorRequestClearsItsBitUntilTheClose)
{
    void* h = start(FSA_OPT1_SUPPLEMENT | FSA_OPT1_HEAT_SENSOR, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 803", "errno = 5"}));
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_TRUE(sent(803));
    EXPECT_EQ(FsaOptionWord1(context(h)) & FSA_OPT1_HEAT_SENSOR, 0u);
    EXPECT_EQ(u32(gi, GI_SUPPORTED_OPTIONS) & FSA_OPT1_HEAT_SENSOR, 0u);
    sim().clearRequests();
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_TRUE(sent(706));
    EXPECT_FALSE(sent(803));
}

TEST_F(GeneralInformationTest, HeatSensorValuesAndTheSupplementOptions)
{
    void* h = start(FSA_OPT1_SUPPLEMENT | FSA_OPT1_HEAT_SENSOR, 0, "adapter0.heat_sensor = 45,5,70\n");
    ASSERT_NE(h, nullptr);
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(faGetLe16(gi.bytes + GI_HEAT_TEMPERATURE), 45u);
    EXPECT_EQ(faGetLe16(gi.bytes + GI_HEAT_LOW), 5u);
    EXPECT_EQ(faGetLe16(gi.bytes + GI_HEAT_HIGH), 70u);
    // option word 2 re-derived from the supplement: the default 0x0EB797DC
    EXPECT_EQ(u32(gi, GI_SUPPORTED_OPTIONS2), 0x0EB797DCu);
    EXPECT_EQ(u32(gi, GI_OPTION_WORD3), 0x398u);
    EXPECT_EQ(u32(gi, GI_OPTION_WORD4) & 0x7C, 0x7Cu);  // option word 2 has bit 4
}

TEST_F(GeneralInformationTest, SerialReplyIsTakenWhenItsSendSucceeds)
{
    void* h = start(0, FSA_OPT2_MFG_SERIAL, "adapter0.serial = 0x11,0x22\nadapter0.pcba_serial = 0x33\n");
    ASSERT_NE(h, nullptr);
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_TRUE(sent(906));
    EXPECT_FALSE(sent(703));
    EXPECT_EQ(u32(gi, GI_SERIAL_NUMBER_0), 0x11u);
    EXPECT_EQ(u32(gi, GI_SERIAL_NUMBER_1), 0x22u);
    EXPECT_EQ(u32(gi, GI_LONG_SERIAL), 0x33u);
    EXPECT_NE(FsaOptionWord2(context(h)) & FSA_OPT2_MFG_SERIAL, 0u);
}

TEST_F(GeneralInformationTest, SerialWordZeroAsksTheAdapterInformation)
{
    void* h = start(0, FSA_OPT2_MFG_SERIAL, "adapter0.serial = 0,0x22\nadapter0.pcba_serial = 0x33\n");
    ASSERT_NE(h, nullptr);
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    const std::vector<unsigned> order = fibCommands();
    ASSERT_EQ(order, (std::vector<unsigned>{906, 703}));
    EXPECT_EQ(FsaOptionWord2(context(h)) & FSA_OPT2_MFG_SERIAL, 0u);
    EXPECT_EQ(u32(gi, GI_LONG_SERIAL), 0u);
    EXPECT_EQ(u32(gi, GI_SERIAL_NUMBER_1), 0x22u);
}

TEST_F(GeneralInformationTest, SerialReplyWithAnotherFirstWordIsStillTaken)
{
    void* h = start(0, FSA_OPT2_MFG_SERIAL, "adapter0.serial = 0x11,0x22\nadapter0.pcba_serial = 0x33\n");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 906", "poke = 0:4=7"}));
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(u32(gi, GI_SERIAL_NUMBER_0), 0x11u);
    EXPECT_EQ(u32(gi, GI_LONG_SERIAL), 0x33u);
    EXPECT_NE(FsaOptionWord2(context(h)) & FSA_OPT2_MFG_SERIAL, 0u);
}

TEST_F(GeneralInformationTest, PokedSerialWordZeroSendsTheAdapterInformation)
{
    void* h = start(0, FSA_OPT2_MFG_SERIAL, "adapter0.serial = 0x11,0x22\nadapter0.pcba_serial = 0x33\n");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 906", "poke = 4:4=0"}));
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(fibCommands(), (std::vector<unsigned>{906, 703}));
    EXPECT_EQ(FsaOptionWord2(context(h)) & FSA_OPT2_MFG_SERIAL, 0u);
    EXPECT_EQ(u32(gi, GI_LONG_SERIAL), 0u);
    EXPECT_EQ(u32(gi, GI_SERIAL_NUMBER_0), 0x11u);
}

TEST_F(GeneralInformationTest, FailedSerialSendClearsTheSerialBit)
{
    void* h = start(0, FSA_OPT2_MFG_SERIAL, "adapter0.serial = 0x11,0x22\n");
    ASSERT_NE(h, nullptr);
    // the 906 send fails; the adapter information that follows succeeds
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5", 0, 1}));
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(FsaOptionWord2(context(h)) & FSA_OPT2_MFG_SERIAL, 0u);
    EXPECT_EQ(u32(gi, GI_LONG_SERIAL), 0u);
    EXPECT_EQ(u32(gi, GI_SERIAL_NUMBER_0), 0x11u);  // from the adapter information
}

TEST_F(GeneralInformationTest, DriveCachePolicyBits)
{
    void* h = start(0, FSA_OPT2_DEVICE_CACHE_POLICY, "adapter0.serial = 0x11,0x22\nadapter0.cache_policy = 0x2\n");
    ASSERT_NE(h, nullptr);
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(u32(gi, GI_DEVICE_CACHE_POLICY), 0x2u);
    sim().controller(0).cachePolicy = 0x1;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(u32(gi, GI_DEVICE_CACHE_POLICY), 0x1u);
    // a thrown CT 239 leaves the field 0
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 239", "transport = 1"}));
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(u32(gi, GI_DEVICE_CACHE_POLICY), 0u);
}

TEST_F(GeneralInformationTest, DynamicPropertiesMapIntoTheRecord)
{
    // bit 18 with u16 0x0240 at byte 92: stay-awake days 9, power bit 5
    const std::string record = std::string(184, '0') + "4002";
    void* h = start(0, FSA_OPT2_DYNAMIC_PROPERTIES,
                    "adapter0.serial = 0x11,0x22\nadapter0.properties_mask = 0x40000\nadapter0.properties_record = " +
                        record + "\n");
    ASSERT_NE(h, nullptr);
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_EQ(gi.bytes[GI_STAY_AWAKE_DAYS], 9u);
    EXPECT_EQ(u32(gi, GI_POWER_MANAGEMENT), 1u << 5);
    EXPECT_EQ(u32(gi, GI_OPTION_WORD4) & FSA_OPT4_JBOD_DRIVER, 0u);
    // the JBOD-driver flag sets option word 4 bit 7 whatever the properties say
    context(h)->jbodSupported = 1;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_NE(u32(gi, GI_OPTION_WORD4) & FSA_OPT4_JBOD_DRIVER, 0u);
}

TEST_F(GeneralInformationTest, DefaultPropertiesSetStatisticsAndNcq)
{
    void* h = start(0, FSA_OPT2_DYNAMIC_PROPERTIES, "adapter0.serial = 0x11,0x22\n");
    ASSERT_NE(h, nullptr);
    FSA_GENERAL_INFO2 gi;
    FsaGetGeneralInformation2(h, &gi);
    EXPECT_NE(u32(gi, GI_SUPPORTED_OPTIONS) & FSA_OPT1_STATISTICS, 0u);  // property 11
    EXPECT_NE(gi.bytes[GI_NCQ_FLAGS] & 0x80, 0u);                        // property 19
    EXPECT_NE(u32(gi, GI_FURTHER_FLAGS) & (1u << 8), 0u);                // property 24
    EXPECT_EQ(u32(gi, GI_POWER_MANAGEMENT), 1u << 5);                    // property 18, no days
    EXPECT_EQ(gi.bytes[GI_STAY_AWAKE_DAYS], 0u);
}

TEST_F(GeneralInformationTest, AnUnknownHandleGivesThePlaceholderRecord)
{
    startSimulator(kOneController);
    FSA_GENERAL_INFO2 gi;
    std::memset(&gi, 0xA5, sizeof gi);
    FsaGetGeneralInformation2(FsaHandleFromNumber(1), &gi);
    EXPECT_EQ(u32(gi, GI_API_VERSION), 0x05020400u);
    EXPECT_EQ(u32(gi, GI_API_VERSION + 4), 18757u);
    EXPECT_EQ(u32(gi, GI_OS_TYPE), 5u);
    EXPECT_EQ(u32(gi, GI_OEM), 1u);
    const wchar_t* text = L"No Information";
    for (size_t i = 0; i <= std::wcslen(text); ++i)
        EXPECT_EQ(u32(gi, GI_DESCRIPTION + 4 * i), static_cast<uint32_t>(text[i])) << i;
    // everything else is zero
    for (size_t i = 0; i < sizeof gi.bytes; ++i) {
        const bool field = (i >= GI_API_VERSION && i < GI_API_VERSION + 8) || (i >= GI_OS_TYPE && i < GI_OS_TYPE + 4) ||
                           (i >= GI_OEM && i < GI_OEM + 4) || (i >= GI_DESCRIPTION && i < GI_DESCRIPTION + 60);
        if (!field) {
            ASSERT_EQ(gi.bytes[i], 0u) << i;
        }
    }
    FSA_GENERAL_INFO legacy;
    FsaGetGeneralInformation(FsaHandleFromNumber(1), &legacy);
    EXPECT_EQ(std::memcmp(legacy.bytes, gi.bytes, sizeof legacy.bytes), 0);
}

TEST_F(GeneralInformationTest, ExportTakesTheHandleOfTheListEntry)
{
    void* h = start(0, 0, "adapter0.serial = 0x11,0x22\n");
    ASSERT_NE(h, nullptr);
    FSA_GENERAL_INFO2 gi;
    EXPECT_EQ(FsaGetGeneralInformation2Ex(h, 0, &gi), 1u);
    EXPECT_EQ(u32(gi, GI_SERIAL_NUMBER_0), 0x11u);
    EXPECT_EQ(FsaGetGeneralInformation2Ex(h, 1, &gi), 3u);
    void* out = h;
    EXPECT_EQ(FsaGetHandleFromIndex(h, 1, &out), 3u);
    EXPECT_EQ(out, nullptr);
    context(h)->handleSerial[0].serial1 = 0x11;
    EXPECT_EQ(FsaGetHandleFromSerial(h, 0x11, &out), 1u);
    EXPECT_EQ(out, h);
    EXPECT_EQ(FsaGetHandleFromSerial(h, 0x12, &out), 3u);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(FsaGetHandleFromSerial(FsaHandleFromNumber(1), 0x11, &out), 9u);
}

// The frame of the exported operations, with the gate kinds of the container
// layer and the exported operations: the read-only gate tests the pause
// before any lock, the read-write gate only once it holds the context mutex.
class ExportFrameTest : public GeneralInformationTest {
protected:
    static CMutexHandle* mutexOf(void* h) { return static_cast<CMutexHandle*>(context(h)->contextMutex); }
};

TEST_F(ExportFrameTest, AClosedHandleGivesNineAndSendsNothing)
{
    void* h = start(0, 0);
    ASSERT_NE(h, nullptr);
    closeSession(h);
    sim().clearRequests();
    FSA_GENERAL_INFO2 gi;
    EXPECT_EQ(FsaGetGeneralInformation2Ex(h, 0, &gi), 9u);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(ExportFrameTest, GatesByOpenMode)
{
    void* h = start(0, 0, "adapter0.serial = 0x11,0x22\n");
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    bool ran = false;
    auto work = [&](FSAAPI_CONTEXT*) {
        ran = true;
        return static_cast<FSA_STATUS>(1);
    };
    for (int mode = 0; mode <= 6; ++mode) {
        ctx->accessMode = static_cast<FSA_ACCESS>(mode);
        FSA_GENERAL_INFO2 gi;
        EXPECT_EQ(FsaGetGeneralInformation2Ex(h, 0, &gi), 1u) << mode;
        ran = false;
        const bool writes = mode == 1 || mode == 3 || mode == 6;
        EXPECT_EQ(FsaExportedCall("Test", h, FSA_READ_WRITE_ROUTINE, work), writes ? 1u : 122u) << mode;
        EXPECT_EQ(ran, writes) << mode;
    }
}

TEST_F(ExportFrameTest, PausedControllerRefusesInGateOrder)
{
    void* h = start(0, 0);
    ASSERT_NE(h, nullptr);
    sim().setSleepScale(0);
    FSAAPI_CONTEXT* ctx = context(h);
    ctx->paused = 1;
    auto work = [](FSAAPI_CONTEXT*) { return static_cast<FSA_STATUS>(1); };
    FSA_GENERAL_INFO2 gi;
    EXPECT_EQ(FsaGetGeneralInformation2Ex(h, 0, &gi), 129u);
    EXPECT_EQ(mutexOf(h)->lockCount.load(), 0);
    EXPECT_EQ(ctx->mutexHeld, 0);

    // while another thread holds the context mutex, the read-only gate still
    // answers at once, and the read-write gate waits for the lock first
    vyntest::ContextMutexHolder holder(ctx);
    EXPECT_EQ(FsaExportedCall("Test", h, FSA_READ_ONLY_ROUTINE, work), 129u);
    EXPECT_EQ(FsaExportedCall("Test", h, FSA_READ_WRITE_ROUTINE, work), 486u);
    holder.release();

    EXPECT_EQ(FsaExportedCall("Test", h, FSA_READ_WRITE_ROUTINE, work), 129u);
    EXPECT_EQ(faux_locked(ctx->contextMutex), 0);
    EXPECT_EQ(mutexOf(h)->lockCount.load(), 0);
    EXPECT_EQ(ctx->mutexHeld, 0);
}

TEST_F(ExportFrameTest, AThrownStatusIsTheResultAndTheNextCallLocks)
{
    void* h = start(0, 0);
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    EXPECT_EQ(FsaExportedCall("Test", h, FSA_READ_WRITE_ROUTINE,
                              [](FSAAPI_CONTEXT*) -> FSA_STATUS { throw static_cast<FSA_STATUS>(42); }),
              42u);
    EXPECT_EQ(ctx->mutexHeld, 0);
    int countInside = -1;
    EXPECT_EQ(FsaExportedCall("Test", h, FSA_READ_ONLY_ROUTINE,
                              [&](FSAAPI_CONTEXT*) {
                                  countInside = mutexOf(h)->lockCount.load();
                                  return static_cast<FSA_STATUS>(1);
                              }),
              1u);
    EXPECT_EQ(countInside, 1);
}

TEST_F(ExportFrameTest, AnInnerExportTakesNoSecondLock)
{
    void* h = start(0, 0, "adapter0.serial = 0x11,0x22\n");
    ASSERT_NE(h, nullptr);
    int inner = -1;
    FSA_STATUS innerStatus = 0;
    EXPECT_EQ(FsaExportedCall("Outer", h, FSA_READ_WRITE_ROUTINE,
                              [&](FSAAPI_CONTEXT*) {
                                  innerStatus = FsaExportedCall("Inner", h, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
                                      inner = mutexOf(h)->lockCount.load();
                                      return static_cast<FSA_STATUS>(1);
                                  });
                                  return static_cast<FSA_STATUS>(1);
                              }),
              1u);
    EXPECT_EQ(innerStatus, 1u);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(mutexOf(h)->lockCount.load(), 0);
}

}  // namespace
