// Polling the controller's events: the channel's results, the job-progress
// and notification FIBs turned into event records, and the translation
// tables of the notifications.
#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using vyn::hostsim::Fault;

namespace {

constexpr uint32_t kAdapterWord = 0x30315356;
constexpr FSA_STATUS kNoEvent = 336;
constexpr FSA_STATUS kChannelClosed = 611;
constexpr FSA_STATUS kBufferTooSmall = 5;

// A 512-byte adapter-initiated FIB as the controller queues it: the payload
// words given, Size as the controller counts it.
std::vector<uint8_t> aifFib(const std::vector<uint32_t>& payload, uint16_t size)
{
    std::vector<uint8_t> fib(512, 0);
    faPutLe32(fib.data(), 1);
    faPutLe16(fib.data() + 4, 700);
    fib[6] = 1;
    faPutLe16(fib.data() + 8, size);
    faPutLe16(fib.data() + 10, 512);
    for (size_t i = 0; i < payload.size(); ++i)
        faPutLe32(fib.data() + 32 + 4 * i, payload[i]);
    return fib;
}

// One 48-byte progress report, as payload words.
void addReport(std::vector<uint32_t>& words, uint32_t task, uint32_t job, uint32_t object, uint32_t status,
               uint32_t total, uint32_t done)
{
    const uint32_t report[12] = {task, job, object, 0, status, 0, total, 0, done, 0, 7, 8};
    words.insert(words.end(), report, report + 12);
}

class EventPollingTest : public vyntest::OpenSessionTest {
protected:
    void* begin(const std::string& extra = "")
    {
        void* h = start(extra, FSA_ACC_READ_ONLY);
        if (h != nullptr)
            while (FsaPollForEvent(h, sizeof event_, &event_) != kNoEvent) {
            }
        return h;
    }
    // Raises a notification and polls it: the status of the poll.
    FSA_STATUS notify(void* h, uint32_t code, const std::vector<uint32_t>& words)
    {
        sim().raiseEvent(0, code, words);
        std::memset(&event_, 0xEE, sizeof event_);
        return FsaPollForEvent(h, sizeof event_, &event_);
    }
    uint32_t word(unsigned n) const { return faGetLe32(event_.details.bytes + 4 * n); }
    // The device record at `at` in the details is drive 0:target:0 of this
    // controller.
    void expectDevice(size_t at, uint8_t target) const
    {
        FSA_STORAGE_DEVICE device;
        std::memcpy(&device, event_.details.bytes + at, sizeof device);
        EXPECT_EQ(device.storageDeviceType, 0u);
        EXPECT_EQ(device.busNumber, 0u);
        EXPECT_EQ(device.targetId, target);
        EXPECT_EQ(device.lun, 0u);
        EXPECT_EQ(device.adapterSerial, kAdapterWord);
    }

    tag_FSA_EVENT event_{};
};

// The task's state and progress of a polled job-progress event.
struct Progress {
    uint32_t function, state, progress;
};

TEST_F(EventPollingTest, NoPendingEventLeavesTheBufferAlone)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    uint8_t buffer[332];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(FsaPollForEvent(h, sizeof buffer, buffer), kNoEvent);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(buffer[331], 0xEE);
}

TEST_F(EventPollingTest, JobProgressGivesTheFirstReportOnly)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    std::vector<uint32_t> words = {2, 0};
    addReport(words, 21, 110, 3, 101, 1000, 250);
    addReport(words, 22, 3, 2, 101, 600, 60);
    addReport(words, 23, 110, 4, 1, 10, 10);
    sim().queueAif(0, aifFib(words, 40 + 3 * 48).data());

    ASSERT_EQ(FsaPollForEvent(h, sizeof event_, &event_), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_JOB_PROGRESS);
    EXPECT_EQ(event_.reserved, 0u);
    EXPECT_EQ(event_.time, 0u);  // a live event: the reader stamps it
    FSA_TASK_DESCRIPTOR task;
    std::memcpy(&task, event_.details.bytes, sizeof task);
    EXPECT_EQ(task.taskId, 21u);
    EXPECT_EQ(task.function, static_cast<uint32_t>(FSA_TF_CTR_MREBUILD));
    EXPECT_EQ(task.container.number, 3u);
    EXPECT_EQ(word(9), 1u);    // running
    EXPECT_EQ(word(10), 250u);  // tenths of a percent
    EXPECT_EQ(word(11), 7u);
    EXPECT_EQ(word(12), 8u);
    EXPECT_EQ(word(13), kAdapterWord);
    EXPECT_EQ(FsaPollForEvent(h, sizeof event_, &event_), kNoEvent);
}

TEST_F(EventPollingTest, ShortBufferLosesTheEventAndTheNextPollGoesOn)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    sim().raiseEvent(0, 3);
    sim().raiseEvent(0, 9);
    std::vector<uint8_t> buffer(332, 0xEE);
    EXPECT_EQ(FsaPollForEvent(h, 331, buffer.data()), kBufferTooSmall);
    EXPECT_EQ(buffer[0], 0xEE);
    ASSERT_EQ(FsaPollForEvent(h, 332, buffer.data()), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(buffer.data()), FSA_EM_ADAPTER_PAUSED);
    EXPECT_EQ(FsaPollForEvent(h, 332, buffer.data()), kNoEvent);
}

TEST_F(EventPollingTest, ChannelClosedByTheDriverIsReopened)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    // The driver no longer knows the channel: the fetch fails with EINVAL.
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x420d4", "errno = 22"}));
    EXPECT_EQ(FsaPollForEvent(h, sizeof event_, &event_), kChannelClosed);
    EXPECT_EQ(notify(h, 3, {}), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_CONFIG_CHANGE);
    // A driver that refuses to close the channel it dropped: still 611, and
    // the new channel works.
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x420d4", "errno = 22"}));
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x420d8", "errno = 22"}));
    EXPECT_EQ(FsaPollForEvent(h, sizeof event_, &event_), kChannelClosed);
    EXPECT_EQ(notify(h, 9, {}), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_ADAPTER_PAUSED);
}

TEST_F(EventPollingTest, ClientEventsCarryTheirClassAndDetails)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    std::vector<uint32_t> words = {3, 0, 0x400000};
    for (uint32_t i = 0; i < 80; ++i)
        words.push_back(100 + i);
    sim().queueAif(0, aifFib(words, 12 + 320).data());
    ASSERT_EQ(FsaPollForEvent(h, sizeof event_, &event_), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_DISK_SET);
    EXPECT_EQ(word(0), 100u);
    EXPECT_EQ(word(79), 179u);
    EXPECT_EQ(event_.time, 0u);
}

TEST_F(EventPollingTest, FailoverChangeAboveTheLimitIsStillPolled)
{
    void* h = begin("adapter0.accessible_containers = 8\n");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(context(h)->maxAccessibleContainers, 8u);
    ASSERT_EQ(notify(h, 11, {9}), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_FAILOVER_CHANGE);
    EXPECT_EQ(word(0), 9u);
    EXPECT_EQ(word(2), kAdapterWord);
}

TEST_F(EventPollingTest, DiskFailureCarriesTheDeviceOfItsHandle)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(notify(h, 5, {0x2}), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_DISK_FAILURE);
    expectDevice(0, 2);
    EXPECT_EQ(word(3), 0u);
}

TEST_F(EventPollingTest, UnknownNotificationCodes)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    for (uint32_t code : {0u, 2u, 6u, 17u, 20u, 38u}) {
        SCOPED_TRACE(code);
        ASSERT_EQ(notify(h, code, {5, 6}), FSA_STS_SUCCESS);
        EXPECT_EQ(event_.eventClass, FSA_EM_UNRECOGNIZED_FW_EVENT);
        EXPECT_EQ(word(0), 1u);
        EXPECT_EQ(word(1), code);
        EXPECT_EQ(word(2), 0u);
    }
}

TEST_F(EventPollingTest, ContainerEventCodes)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    struct Case {
        uint32_t firmware, api;
    };
    const Case known[] = {{1, 0}, {4, 1}, {10, 7}, {24, 18}, {28, 32}, {37, 34}, {38, 33}, {43, 21}, {46, 27}, {50, 26}};
    for (const Case& c : known) {
        SCOPED_TRACE(c.firmware);
        ASSERT_EQ(notify(h, 7, {5, c.firmware}), FSA_STS_SUCCESS);
        EXPECT_EQ(event_.eventClass, FSA_EM_CONTAINER_EVENT);
        EXPECT_EQ(word(0), 5u);
        EXPECT_EQ(word(2), kAdapterWord);
        EXPECT_EQ(word(3), c.api);
    }
    for (uint32_t unknown : {0u, 9u, 25u, 32u, 42u, 51u}) {
        SCOPED_TRACE(unknown);
        ASSERT_EQ(notify(h, 7, {5, unknown}), FSA_STS_SUCCESS);
        EXPECT_EQ(event_.eventClass, FSA_EM_UNRECOGNIZED_FW_EVENT);
        EXPECT_EQ(word(0), 2u);
        EXPECT_EQ(word(1), 7u);
        EXPECT_EQ(word(2), unknown);
    }
}

TEST_F(EventPollingTest, BatteryStates)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    struct Case {
        uint32_t current, prior;
        uint32_t words[3];
    };
    const Case cases[] = {
        {1, 4, {1, 2, 7}}, {1, 3, {3, 2, 3}}, {1, 0, {0, 2, 2}}, {0, 4, {1, 0, 6}}, {0, 1, {2, 0, 1}},
        {3, 4, {1, 3, 8}}, {3, 0, {0, 3, 4}}, {4, 2, {0, 1, 5}}, {7, 9, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.current << " after " << c.prior);
        ASSERT_EQ(notify(h, 14, {0, c.current, c.prior}), FSA_STS_SUCCESS);
        EXPECT_EQ(event_.eventClass, FSA_EM_BATTERY_CHANGE);
        EXPECT_EQ(word(0), c.words[0]);
        EXPECT_EQ(word(1), c.words[1]);
        EXPECT_EQ(word(2), c.words[2]);
        EXPECT_EQ(word(3), kAdapterWord);
    }
}

TEST_F(EventPollingTest, EnclosureEvents)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    // A predicted failure (SMART) names the drive of the handle in word 2.
    ASSERT_EQ(notify(h, 13, {0x11, 0x2, 23}), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_SMART);
    EXPECT_EQ(word(3), 2u);
    expectDevice(0, 2);

    struct Case {
        uint32_t event, word4, translated;
    };
    const Case cases[] = {{0, 0, 0}, {19, 0, 19}, {26, 0, 20}, {29, 1, 21}, {29, 0, 22}, {30, 0, 23}, {32, 0, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        ASSERT_EQ(notify(h, 13, {0x11, 0x22, c.event, c.word4}), FSA_STS_SUCCESS);
        EXPECT_EQ(event_.eventClass, FSA_EM_ENCLOSURE_MANAGEMENT);
        EXPECT_EQ(word(0), 0x11u);
        EXPECT_EQ(word(1), 0x22u);
        EXPECT_EQ(word(2), c.translated);
        EXPECT_EQ(word(3), kAdapterWord);
    }
    for (uint32_t unknown : {20u, 27u, 28u, 33u}) {
        SCOPED_TRACE(unknown);
        ASSERT_EQ(notify(h, 13, {0x11, 0x22, unknown}), FSA_STS_SUCCESS);
        EXPECT_EQ(event_.eventClass, FSA_EM_UNRECOGNIZED_FW_EVENT);
        EXPECT_EQ(word(0), 2u);
        EXPECT_EQ(word(1), 13u);
        EXPECT_EQ(word(2), unknown);
    }
}

TEST_F(EventPollingTest, ExpandedFirmwareStateChange)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    // Type 2 (firmware state), priority 2, state 3, reason 10.
    ASSERT_EQ(notify(h, 23, {2, 2, 3, 10}), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_EXPANDED_EVENT);
    EXPECT_EQ(word(0), 2u);  // priority
    EXPECT_EQ(word(1), 1u);  // firmware family
    EXPECT_EQ(word(2), 3u);  // subtype
    EXPECT_EQ(word(3), 4u);
    EXPECT_EQ(word(4), 11u);
    // Out of range: state and reason 0, priority 0.
    ASSERT_EQ(notify(h, 23, {2, 9, 4, 11}), FSA_STS_SUCCESS);
    EXPECT_EQ(word(0), 0u);
    EXPECT_EQ(word(2), 3u);
    EXPECT_EQ(word(3), 0u);
    EXPECT_EQ(word(4), 0u);
}

TEST_F(EventPollingTest, ExpandedScsiAndContainerEvents)
{
    void* h = begin();
    ASSERT_NE(h, nullptr);
    // SCSI type 2: the address from D bytes 0-2 and D byte 3.
    ASSERT_EQ(notify(h, 23, {0x10002, 1, 0x06050401u}), FSA_STS_SUCCESS);
    EXPECT_EQ(word(1), 2u);
    EXPECT_EQ(word(2), 3u);
    EXPECT_EQ(event_.details.bytes[12], 1u);
    EXPECT_EQ(event_.details.bytes[13], 4u);
    EXPECT_EQ(event_.details.bytes[14], 5u);
    EXPECT_EQ(word(4), kAdapterWord);
    EXPECT_EQ(word(5), 6u);
    // SCSI types 6 and 7 have no subtype.
    ASSERT_EQ(notify(h, 23, {0x10006, 1, 0x06050401u}), FSA_STS_SUCCESS);
    EXPECT_EQ(word(2), 0u);
    EXPECT_EQ(word(3), 0u);
    // Container type 5: the record, D word 3, and bits 0 and 1.
    ASSERT_EQ(notify(h, 23, {0x20005, 3, 4, 0, 0, 77}), FSA_STS_SUCCESS);
    EXPECT_EQ(word(1), 3u);
    EXPECT_EQ(word(2), 6u);
    EXPECT_EQ(word(3), 4u);
    EXPECT_EQ(word(5), kAdapterWord);
    EXPECT_EQ(word(6), 77u);
    EXPECT_EQ(word(7), 3u);
    // An unknown family.
    ASSERT_EQ(notify(h, 23, {0x50000, 1}), FSA_STS_SUCCESS);
    EXPECT_EQ(event_.eventClass, FSA_EM_EXPANDED_EVENT);
    EXPECT_EQ(word(1), 0u);
    EXPECT_EQ(word(2), 0u);
}

TEST_F(EventPollingTest, TheControllersOwnTaskProgressIsPolled)
{
    void* h = start("", FSA_ACC_READ_WRITE);
    ASSERT_NE(h, nullptr);
    sim().setSleepScale(0);
    while (FsaPollForEvent(h, sizeof event_, &event_) != kNoEvent) {
    }
    const auto poll = [&]() {
        Progress p{0xEE, 0xEE, 0xEE};
        EXPECT_EQ(FsaPollForEvent(h, sizeof event_, &event_), FSA_STS_SUCCESS);
        EXPECT_EQ(event_.eventClass, FSA_EM_JOB_PROGRESS);
        p.function = word(1);
        p.state = word(9);
        p.progress = word(10);
        return p;
    };
    // The adapter verify starts, moves on by a tenth (1000 blocks, 60 s),
    // and ends when verification is switched off.
    ASSERT_EQ(FsaVerifyContainer(h, 1), FSA_STS_SUCCESS);
    Progress p = poll();
    EXPECT_EQ(p.function, static_cast<uint32_t>(FSA_TF_ADAPTER_VERIFY));
    EXPECT_EQ(p.state, 0u);  // running
    EXPECT_EQ(p.progress, 0u);
    EXPECT_EQ(FsaPollForEvent(h, sizeof event_, &event_), kNoEvent);

    sim().io().sleepMs(7000);
    FSA_TASK_INFO info;
    ASSERT_EQ(FsaGetTaskDetails(h, faGetLe32(event_.details.bytes), &info), FSA_STS_SUCCESS);
    p = poll();
    EXPECT_EQ(p.state, 0u);
    // The polls' own waits move the clock too: somewhere in the second tenth.
    EXPECT_GE(p.progress, 100u);
    EXPECT_LT(p.progress, 200u);

    ASSERT_EQ(FsaVerifyContainer(h, 0), FSA_STS_SUCCESS);
    p = poll();
    EXPECT_EQ(p.state, 2u);
    EXPECT_EQ(p.progress, 1000u);
    EXPECT_EQ(FsaPollForEvent(h, sizeof event_, &event_), kNoEvent);
}

}  // namespace
