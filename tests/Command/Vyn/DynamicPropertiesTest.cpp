// The dynamic adapter properties: the read of the whole record, the setters
// and the adapter time synchronisation, checked byte for byte in the records
// the simulator answered and got.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_dynprops.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_misc.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr const char* kStatistics = "adapter0.option_word1 = 0x040D0820\n";

class DynamicPropertiesTest : public vyntest::OpenSessionTest {
protected:
    const std::vector<std::vector<uint8_t>>& sets() { return sim().controller(0).propertiesSets; }
    const uint8_t* last() { return sets().empty() ? nullptr : sets().back().data(); }
    void forget() { sim().controller(0).propertiesSets.clear(); }
    static uint32_t at(const uint8_t* p, size_t offset) { return faGetLe32(p + offset); }
};

TEST_F(DynamicPropertiesTest, PriorityWordCases)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    struct Case {
        uint32_t priority, flag, word;
    };
    for (const Case& c : {Case{0, 1, 5}, Case{1, 0, 2}, Case{7, 1, 1}}) {
        forget();
        ASSERT_EQ(FsaSetDefaultLDTaskPriority(h, c.priority, c.flag), FSA_STS_SUCCESS);
        ASSERT_EQ(sets().size(), 1u);
        const uint8_t* p = last();
        EXPECT_EQ(at(p, 0), 26u);
        EXPECT_EQ(at(p, 4), 1u);
        EXPECT_EQ(at(p, 36), 0u);
        EXPECT_EQ(at(p, 44), c.word) << c.priority << "," << c.flag;
    }
}

TEST_F(DynamicPropertiesTest, TheFibCarryingTheRecord)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaSetPerformanceMode(h, 3), FSA_STS_SUCCESS);
    const std::vector<Request> requests = sim().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].command, 500u);
    EXPECT_EQ(requests[0].size, 480u);
    EXPECT_EQ(at(last(), 36), 10u);
    EXPECT_EQ(last()[5], 0x04);
    EXPECT_EQ(at(last(), 88), 3u);
}

TEST_F(DynamicPropertiesTest, StatisticsOnAndOff)
{
    void* h = start(kStatistics);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaSetControllerStats(h, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(at(last(), 36), 11u);
    EXPECT_EQ(at(last(), 4), 0u);
    EXPECT_EQ(last()[48] & 0x10, 0);
    ASSERT_EQ(FsaSetControllerStats(h, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(last()[5], 0x08);
    EXPECT_EQ(last()[48] & 0x10, 0x10);

    // The switch reads the reported properties first: a handle opened
    // for it knows statistics from property 11 alone ...
    void* p = start();
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(FsaSetControllerStats(p, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(last()[48] & 0x10, 0x10);

    // ... and without it, or the adapter information's bit, refuses.
    void* n = start("adapter0.properties_mask = 0x010F0000\n");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(FsaSetControllerStats(n, 1), FSA_STS_NOT_SUPPORTED);
}

// Statistics, NCQ and SSD cache writes share the flag byte: switching one
// leaves the others as the controller had them.
TEST_F(DynamicPropertiesTest, FlagsSharingAByteStayApart)
{
    void* h = start("adapter0.properties_record = " + std::string(96, '0') + "60\n");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaSetControllerStats(h, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).properties[48], 0x70);
    ASSERT_EQ(FsaSetControllerStats(h, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).properties[48], 0x60);
}

TEST_F(DynamicPropertiesTest, StayAwakeWindow)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaSetPMStayAwakePeriod(h, 60, 120, 1, 0xFF), FSA_STS_SUCCESS);
    const uint8_t* p = last();
    EXPECT_EQ(at(p, 36), 18u);
    EXPECT_EQ(p[6], 0x04);
    EXPECT_EQ(faGetLe16(p + 92), 0x20u | 0x7Fu << 6);
    EXPECT_EQ(at(p, 96), 60u);
    EXPECT_EQ(at(p, 100), 120u);
    ASSERT_EQ(FsaSetPMStayAwakePeriod(h, 60, 60, 1, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe16(last() + 92), 1u << 6);

    // Without property 18 only the older form with its one enable value.
    void* old = start("adapter0.properties_mask = 0x010B0800\n");
    ASSERT_NE(old, nullptr);
    forget();
    EXPECT_EQ(FsaSetPMStayAwakePeriod(old, 1, 2, 1, 0), FSA_STS_INVALID_ARGUMENT);
    EXPECT_TRUE(sets().empty());
    ASSERT_EQ(FsaSetPMStayAwakePeriod(old, 1, 2, 0xFFFFFFFF, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(at(last(), 36), 14u);
    EXPECT_EQ(last()[5], 0x40);
}

TEST_F(DynamicPropertiesTest, SendRetriesOnceAndReadsTheReply)
{
    void* h = start("adapter0.properties_reject = 10\n");
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "errno = 5"}));
    EXPECT_EQ(FsaSetPMSpinupLimits(h, 2, 3), FSA_STS_SUCCESS);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "errno = 5", 0, 2}));
    EXPECT_EQ(FsaSetPMSpinupLimits(h, 2, 3), FSA_STS_UX_IOCTL_FAILED);
    EXPECT_EQ(FsaSetPerformanceMode(h, 1), FSA_STS_PROPERTY_REJECTED);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "status = 5"}));
    EXPECT_EQ(FsaSetPerformanceMode(h, 1), FSA_STS_CT_GENERIC_FAILURE);
}

TEST_F(DynamicPropertiesTest, WithoutSupportNothingIsSent)
{
    void* h = start("adapter0.option_word2 = 0x0EB697DC\n" + std::string(kStatistics));
    ASSERT_NE(h, nullptr);
    sim().clearRequests();
    EXPECT_EQ(FsaSetDefaultLDTaskPriority(h, 0, 0), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaSetPerformanceMode(h, 1), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaSetControllerStats(h, 1), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaSetPMSpinupLimits(h, 1, 1), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaSetPMUTCToLocalTimeDiff(h, 60), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaSetPMStayAwakePeriod(h, 1, 2, 0xFFFFFFFF, 0), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaSetSataNCQ(h, 1), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaSetOrvexaWrite(h, 1), FSA_STS_NOT_SUPPORTED);
    EXPECT_TRUE(sets().empty());
    for (const Request& r : sim().requests())
        EXPECT_FALSE(r.hasClass && r.fibClass == 26);
}

TEST_F(DynamicPropertiesTest, OrvexaAndNcq)
{
    // Properties 19 and 24 reported; option word 3 without bit 15.
    void* h = start();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaSetSataNCQ(h, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(last()[48], 0x20);
    EXPECT_EQ(FsaSetOrvexaWrite(h, 0), FSA_STS_ORVEXA_WRITE_REFUSED);
    ASSERT_EQ(FsaSetOrvexaWrite(h, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(last()[48], 0x40);
    EXPECT_EQ(last()[7], 0x01);
    EXPECT_EQ(FsaSetOrvexaFlushAndFetchRate(h, 9), FSA_STS_SUCCESS);  // bit 7 of 0x398
    EXPECT_EQ(faGetLe16(last() + 54), 9u);
    ASSERT_EQ(FsaSetOrvexaRWFactor(h, 0x101, 0x102), FSA_STS_SUCCESS);  // bit 9
    EXPECT_EQ(last()[58], 1);
    EXPECT_EQ(last()[59], 2);
    EXPECT_EQ(FsaSetDirtyPageThresholdValue(h, 4), FSA_STS_NOT_SUPPORTED);
}

// The read side: the record the controller answers (class 25), with its
// task-priority word rewritten into the library's form.
class PropertiesReadTest : public DynamicPropertiesTest {
protected:
    void* begin(const std::string& extra = "")
    {
        void* h = start(extra);
        if (h != nullptr) {
            std::vector<uint8_t>& record = sim().controller(0).properties;
            record.assign(480, 0);
            for (size_t i = 0; i < record.size(); ++i)
                record[i] = static_cast<uint8_t>(i);
        }
        return h;
    }
    void setPriority(uint32_t word) { faPutLe32(sim().controller(0).properties.data() + 44, word); }
    unsigned reads()
    {
        unsigned n = 0;
        for (const Request& r : sim().requests())
            n += r.isFib && r.hasClass && r.fibClass == 25 ? 1 : 0;
        return n;
    }
};

TEST_F(PropertiesReadTest, TaskPriorityWord)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    struct Case {
        uint32_t reply, record;
    };
    // P = word >> 1: 1 gives priority bits 2, 2 gives 0, any other 4; bit 0 kept.
    for (const Case& c : {Case{2, 2}, Case{5, 1}, Case{6, 4}, Case{0, 4}, Case{1, 5}, Case{4, 0}, Case{0x103, 5}}) {
        SCOPED_TRACE(c.reply);
        setPriority(c.reply);
        uint8_t record[480] = {};
        ASSERT_EQ(SendGetDynamicAdapterPropertiesFib(context(h), record), FSA_STS_SUCCESS);
        EXPECT_EQ(at(record, 44), c.record);
    }
}

TEST_F(PropertiesReadTest, TheWholeRecordArrives)
{
    void* h = begin("adapter0.properties_mask = 0x01230405\n");
    ASSERT_NE(h, nullptr);
    std::vector<uint8_t> record(480, 0xCD);
    ASSERT_EQ(SendGetDynamicAdapterPropertiesFib(context(h), record.data()), FSA_STS_SUCCESS);
    EXPECT_EQ(reads(), 1u);
    const std::vector<Request> requests = sim().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].command, 500u);
    EXPECT_EQ(requests[0].size, 480u);
    EXPECT_EQ(at(record.data(), 0), 0u);
    EXPECT_EQ(at(record.data(), 4), 0x01230405u);
    for (size_t i = 8; i < 480; ++i) {
        if (i >= 44 && i < 48)
            continue;
        ASSERT_EQ(record[i], static_cast<uint8_t>(i)) << i;
    }
}

TEST_F(PropertiesReadTest, AFailedSendIsRepeatedOnce)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    setPriority(2);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "errno = 5"}));
    uint8_t record[480] = {};
    EXPECT_EQ(SendGetDynamicAdapterPropertiesFib(context(h), record), FSA_STS_SUCCESS);
    EXPECT_EQ(at(record, 44), 2u);
    EXPECT_EQ(record[100], 100);

    // Both fail: the send's status, the record untouched.
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "errno = 5", 0, 2}));
    std::vector<uint8_t> untouched(480, 0xCD);
    sim().clearRequests();
    EXPECT_EQ(SendGetDynamicAdapterPropertiesFib(context(h), untouched.data()), FSA_STS_UX_IOCTL_FAILED);
    EXPECT_EQ(sim().requests().size(), 2u);
    EXPECT_EQ(untouched, std::vector<uint8_t>(480, 0xCD));
}

TEST_F(PropertiesReadTest, RefusedReadAndMissingSupport)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "poke = 0:4=3"}));
    std::vector<uint8_t> record(480, 0xCD);
    EXPECT_EQ(SendGetDynamicAdapterPropertiesFib(context(h), record.data()), FSA_STS_CT_GENERIC_FAILURE);
    EXPECT_EQ(reads(), 1u);
    EXPECT_EQ(record, std::vector<uint8_t>(480, 0xCD));

    // Option word 2 without bit 16.
    void* old = begin("adapter0.option_word2 = 0x0EB697DC\n");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(SendGetDynamicAdapterPropertiesFib(context(old), record.data()), FSA_STS_NOT_SUPPORTED);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(record, std::vector<uint8_t>(480, 0xCD));
}

class TimeSyncTest : public DynamicPropertiesTest {
protected:
    FSAAPI_CONTEXT* ctx(uint32_t pm, int64_t adapterAhead, int32_t utcDiff)
    {
        void* h = start();
        if (h == nullptr)
            return nullptr;
        FSAAPI_CONTEXT* c = context(h);
        unsigned now = 0;
        int bias = 0;
        faos_GetEpochTimeAndBias(0, &now, &bias);
        faPutLe32(c->generalInfo.bytes + GI_POWER_MANAGEMENT, pm);
        faPutLe32(c->generalInfo.bytes + GI_DYNAMIC_PROPERTY_17,
                   adapterAhead == 0 ? 0 : static_cast<uint32_t>(static_cast<int64_t>(now) + adapterAhead));
        faPutLe32(c->generalInfo.bytes + GI_UTC_DIFFERENCE, static_cast<uint32_t>(utcDiff));
        forget();
        return c;
    }
};

TEST_F(TimeSyncTest, NoAdapterTimeSendsNothing)
{
    FSAAPI_CONTEXT* c = ctx(0x18, 0, 60);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(FsaSyncTimeStructs(c), FSA_STS_SUCCESS);
    EXPECT_TRUE(sets().empty());
}

TEST_F(TimeSyncTest, BothQualifiersSendTheQualifierThenTheTime)
{
    FSAAPI_CONTEXT* c = ctx(0x18, -1000, 60);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(FsaSyncTimeStructs(c), FSA_STS_SUCCESS);
    ASSERT_EQ(sets().size(), 2u);
    EXPECT_EQ(at(sets()[0].data(), 36), 13u);
    EXPECT_EQ(faGetLe16(sets()[0].data() + 92), 0x10u);
    EXPECT_EQ(at(sets()[1].data(), 36), 17u);
    EXPECT_NE(at(sets()[1].data(), 116), 0u);
}

TEST_F(TimeSyncTest, UtcOnlyCorrectsTheDifference)
{
    FSAAPI_CONTEXT* c = ctx(0x08, 630, 120);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(FsaSyncTimeStructs(c), FSA_STS_SUCCESS);
    ASSERT_EQ(sets().size(), 1u);
    EXPECT_EQ(at(last(), 36), 16u);
    EXPECT_EQ(static_cast<int32_t>(at(last(), 112)), 110);
    // Within five minutes nothing is sent.
    c = ctx(0x08, 200, 120);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(FsaSyncTimeStructs(c), FSA_STS_SUCCESS);
    EXPECT_TRUE(sets().empty());
}

TEST_F(TimeSyncTest, AHostBiasOutOfRangeSkips)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    setenv("TZ", "XXX-13:01", 1);
    tzset();
    FSAAPI_CONTEXT* c = ctx(0x10, -5000, 0);
    const FSA_STATUS s = c != nullptr ? FsaSyncTimeStructs(c) : 0;
    if (old != nullptr)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(s, FSA_STS_SUCCESS);
    EXPECT_TRUE(sets().empty());
}

}  // namespace
