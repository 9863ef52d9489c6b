// Morphing containers, their usage for the host, and the background verify:
// refusals before anything is sent, the mirror and volume paths, the morph
// request itself, and starting, stopping and pacing the verify task.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_verify.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vyn::hostsim::Fault;

constexpr uint32_t kFirstHandle = 0x00100000;
constexpr uint32_t kJobAdapterVerify = 400;
constexpr uint32_t kJobMorph = 108;

// A mirror numbered 0 and a stripe numbered 2, and three free drives.
class MorphVerifyTest : public vyntest::OpenSessionTest {
protected:
    FSAAPI_CONTEXT* open(const std::string& extra = "")
    {
        std::string text;
        for (int i = 0; i < 7; ++i)
            text += "adapter0.drive" + std::to_string(i) + " = 0:" + std::to_string(i) + " sas 146G\n";
        text += "adapter0.ld0 = raid1 0:0,0:1 name=Mirror\nadapter0.ld2 = raid0 0:2,0:3 name=Stripe\n";
        handle_ = start(text + extra);
        if (handle_ == nullptr)
            return nullptr;
        sim().setSleepScale(0);
        return context(handle_);
    }
    tag_FSA_CONTAINER container(uint32_t number)
    {
        tag_FSA_CONTAINER c = {};
        CT_GetStandardID(context(handle_), &c, number);
        return c;
    }
    static FSA_STORAGE_DEVICE drive(uint8_t target)
    {
        FSA_STORAGE_DEVICE d = {};
        d.targetId = target;
        return d;
    }
    vyn::hostsim::ControllerState& state() { return sim().controller(0); }
    // Tasks of job `job` that have not ended.
    unsigned running(uint32_t job)
    {
        unsigned n = 0;
        for (const auto& [id, t] : state().tasks)
            if (t.job == job && (t.status == 101 || t.status == 102))
                ++n;
        return n;
    }
    void* handle_ = nullptr;
};

TEST_F(MorphVerifyTest, ChunkSizeFitsOnlyStripedTargets)
{
    ASSERT_NE(open(), nullptr);
    tag_FSA_CONTAINER mirror = container(0);
    FSA_STORAGE_DEVICE drives[2] = {drive(4), drive(5)};
    for (uint32_t type : {1u, 3u}) {
        SCOPED_TRACE(type);
        sim().clearRequests();
        EXPECT_EQ(FsaMorphContainer(handle_, &mirror, type, 1, drives, 65536, 0, 0), 577u);
        EXPECT_TRUE(sim().requests().empty());
    }
    // Chunk 0 goes on: a mirror to a volume with one drive breaks the mirror.
    sim().clearRequests();
    EXPECT_EQ(FsaMorphContainer(handle_, &mirror, 3, 1, drives, 0, 0, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 24), 1u);
}

TEST_F(MorphVerifyTest, MirrorAndVolumePathsGoThroughTheMirrorExports)
{
    ASSERT_NE(open("adapter0.ld4 = volume 0:4 name=Volume\n"), nullptr);
    tag_FSA_CONTAINER mirror = container(0);
    tag_FSA_CONTAINER volume = container(4);
    FSA_STORAGE_DEVICE drives[2] = {drive(4), drive(5)};
    // Two drives: the mirror is split through the mirror export, not broken.
    sim().clearRequests();
    EXPECT_EQ(FsaMorphContainer(handle_, &mirror, 3, 2, drives, 0, 0, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 24), 0u);
    // A volume to a mirror: the mirror from the volume, with the volume's own
    // drive replaced by the second.
    sim().clearRequests();
    EXPECT_EQ(FsaMorphContainer(handle_, &volume, 1, 2, drives, 0, 0, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(drives[0].targetId, 5);
    EXPECT_EQ(sent(500, 26), 1u);
    EXPECT_EQ(sent(500, 252) + sent(500, 109), 0u);
    // A container the controller does not have.
    tag_FSA_CONTAINER missing = container(9);
    EXPECT_NE(FsaMorphContainer(handle_, &missing, 4, 2, drives, 0, 0, 0), FSA_STS_SUCCESS);
}

TEST_F(MorphVerifyTest, AMorphRunsAsATaskFromTheContainer)
{
    ASSERT_NE(open(), nullptr);
    tag_FSA_CONTAINER stripe = container(2);
    FSA_STORAGE_DEVICE drives[3] = {drive(2), drive(3), drive(4)};
    sim().clearRequests();
    ASSERT_EQ(FsaMorphContainer(handle_, &stripe, 4, 3, drives, 0, 0, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 252) + sent(500, 109), 1u);
    EXPECT_EQ(running(kJobMorph), 1u);
    const auto& s = state().containerSettings[2];
    EXPECT_EQ(s.morphSource, kFirstHandle + 2);
    EXPECT_NE(s.morphDestination, 0xFFFFFFFFu);
    // One morph at a time.
    EXPECT_NE(FsaMorphContainer(handle_, &stripe, 4, 3, drives, 0, 0, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(running(kJobMorph), 1u);
}

TEST_F(MorphVerifyTest, UsageOfAContainer)
{
    ASSERT_NE(open(), nullptr);
    tag_FSA_CONTAINER mirror = container(0);
    uint32_t usage = 0;
    ASSERT_EQ(FsaGetContainerUsage(handle_, &mirror, &usage), FSA_STS_SUCCESS);
    EXPECT_EQ(usage, 12u);
    EXPECT_EQ(FsaGetContainerUsage(handle_, &mirror, nullptr), FSA_STS_BAD_PARAMETER);
}

TEST_F(MorphVerifyTest, StartAndStop)
{
    ASSERT_NE(open(), nullptr);
    // Nothing runs: a stop has nothing to stop.
    EXPECT_EQ(FsaVerifyContainer(handle_, 0), 506u);
    EXPECT_EQ(sent(500, 173), 0u);

    // A start switches verification on, finds its task and sets priority 1.
    ASSERT_EQ(FsaVerifyContainer(handle_, 1), FSA_STS_SUCCESS);
    EXPECT_TRUE(state().verifyOn);
    EXPECT_EQ(running(kJobAdapterVerify), 1u);
    EXPECT_EQ(state().verifyPriority, 1u);

    // A task that runs (state 0) is already running: nothing is sent.
    sim().clearRequests();
    EXPECT_EQ(FsaVerifyContainer(handle_, 1), 505u);
    EXPECT_EQ(sent(500, 173), 0u);
    EXPECT_EQ(running(kJobAdapterVerify), 1u);

    // A stop whose task is gone at the next look: one look after the switch.
    sim().clearRequests();
    ASSERT_EQ(FsaVerifyContainer(handle_, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 173), 1u);
    EXPECT_EQ(sent(500, 175), 2u);
    EXPECT_FALSE(state().verifyOn);
    EXPECT_EQ(running(kJobAdapterVerify), 0u);
}

TEST_F(MorphVerifyTest, AStartOnATaskInStateZeroChangesNothing)
{
    ASSERT_NE(open("adapter0.verify = 1\nadapter0.task1.job = 400\nadapter0.task1.object = 0xFFFFFFFF\n"
                   "adapter0.task1.total = 1000\nadapter0.task1.status = 102\n"),
              nullptr);
    sim().clearRequests();
    EXPECT_EQ(FsaVerifyContainer(handle_, 1), 505u);
    EXPECT_EQ(sent(500, 173), 0u);
    EXPECT_EQ(sent(500, 205), 0u);
    EXPECT_EQ(state().verifyPriority, 1u);
}

TEST_F(MorphVerifyTest, AStopWaitsAtMostFiveHundredLooks)
{
    // A controller that keeps reporting its verify on, with a task it never ends.
    ASSERT_NE(open("adapter0.verify = 1\nadapter0.task1.job = 400\nadapter0.task1.object = 0xFFFFFFFF\n"
                   "adapter0.task1.total = 1000000000\nadapter0.task1.rate = 1\n"),
              nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 175", "poke = 12:4=1", 0, 0}));
    sim().clearRequests();
    const uint64_t before = state().clockMs;
    EXPECT_EQ(FsaVerifyContainer(handle_, 0), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 173), 1u);
    EXPECT_EQ(sent(500, 175), 1u + 500u);
    // 500 pauses of 100 ms besides the task look-ups' own.
    EXPECT_GE(state().clockMs - before, 50000u);
}

TEST_F(MorphVerifyTest, PriorityAndPeriod)
{
    ASSERT_NE(open(), nullptr);
    // Code 0 sets the period in days, from 10 days up.
    FSA_VERIFY_REQUEST request = {};
    faPutLe32(request.bytes + 4, 10);
    ASSERT_EQ(FsaVerifyContainer2(handle_, 2, &request), FSA_STS_SUCCESS);
    EXPECT_EQ(state().verifyPriority, 10u);
    faPutLe32(request.bytes + 4, 7);
    EXPECT_EQ(FsaVerifyContainer2(handle_, 2, &request), FSA_STS_GENERAL_FAILURE);
    EXPECT_EQ(state().verifyPriority, 10u);
    faPutLe32(request.bytes, 3);
    ASSERT_EQ(FsaVerifyContainer2(handle_, 2, &request), FSA_STS_SUCCESS);
    EXPECT_EQ(state().verifyPriority, 3u);
    EXPECT_EQ(FsaVerifyContainer2(handle_, 2, nullptr), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(FsaVerifyContainer2(handle_, 3, &request), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(FsaVerifyContainer2(handle_, -1, &request), FSA_STS_BAD_PARAMETER);
    void* readOnly = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(FsaVerifyContainer2(readOnly, 2, &request), 122u);
    EXPECT_EQ(FsaVerifyContainer(readOnly, 1), 122u);
}

}  // namespace
