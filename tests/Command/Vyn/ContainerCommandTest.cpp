// One-command container operations, names, cache statistics and background
// verification against the simulated controller.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_ctrops.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_status.h"
#include "ContainerTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

using vyntest::thrownBy;

namespace {

using vyn::hostsim::ControllerState;
using vyn::hostsim::CtReply;
using vyn::hostsim::CtRequest;

// What a captured container request carried.
struct Captured {
    unsigned count = 0;
    uint32_t param[3] = {0, 0, 0};
    std::vector<uint8_t> input;
};

class ContainerCommandTest : public vyntest::ContainerTest {
protected:
    // Answers CT `code` with `status` (and `data`), keeping what it carried.
    Captured* answerWith(uint32_t code, uint32_t status, std::vector<uint8_t> data = {})
    {
        captured_.push_back(std::make_unique<Captured>());
        Captured* c = captured_.back().get();
        sim().addCtHandler(code, [c, status, data](ControllerState&, const CtRequest& q, CtReply& r) {
            ++c->count;
            std::memcpy(c->param, q.param, sizeof c->param);
            c->input.assign(q.input, q.input + q.inputSize);
            r.status = status;
            // A long reply hands back result word 2 in place of the status.
            r.result2 = status;
            r.data = data;
        });
        return c;
    }

private:
    std::vector<std::unique_ptr<Captured>> captured_;
};

TEST_F(ContainerCommandTest, StatusesMapToEachOperationsOwnFailure)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    struct Case {
        const char* name;
        uint32_t code;
        uint32_t status;
        FSA_STATUS expected;
        std::function<void(FSAAPI_CONTEXT*)> call;
    };
    auto assign = [](FSAAPI_CONTEXT* c) { CT_AssignFailover(c, 2, 5); };
    auto clear = [](FSAAPI_CONTEXT* c) { CT_ClearFailover(c, 2, 5); };
    auto get = [](FSAAPI_CONTEXT* c) {
        uint8_t slices[260];
        CT_GetFailover(c, 2, reinterpret_cast<FailoverSlices*>(slices));
    };
    auto snapshot = [](FSAAPI_CONTEXT* c) { CT_MakeSnapshot(c, 3, 2, 0, 0, 0, 0, 0); };
    auto removeSnapshot = [](FSAAPI_CONTEXT* c) { CT_RemoveSnapshot(c, 3); };
    auto morph = [](FSAAPI_CONTEXT* c) { CT_RestartMorph(c, 2); };
    auto release = [](FSAAPI_CONTEXT* c) { CT_ReleaseIo(c); };
    auto pause = [](FSAAPI_CONTEXT* c) { CT_PauseIo(c, 10, 0, 0); };
    const Case cases[] = {
        {"assign failover done", 41, 82, FSA_STS_SUCCESS, assign},
        {"assign failover 389", 41, 389, 610, assign},
        {"assign failover other", 41, 3, 49, assign},
        {"clear failover done", 42, 82, FSA_STS_SUCCESS, clear},
        {"clear failover other", 42, 389, 49, clear},
        {"failover data done", 43, 86, FSA_STS_SUCCESS, get},
        {"failover data other", 43, 82, 50, get},
        {"snapshot made", 104, 232, FSA_STS_SUCCESS, snapshot},
        {"snapshot locked", 104, 3, 42, snapshot},
        {"snapshot 242", 104, 242, 245, snapshot},
        {"snapshot 250", 104, 250, 190, snapshot},
        {"snapshot 327", 104, 327, 472, snapshot},
        {"snapshot other", 104, 1, 183, snapshot},
        {"snapshot removed", 105, 234, FSA_STS_SUCCESS, removeSnapshot},
        {"snapshot removal locked", 105, 3, 42, removeSnapshot},
        {"snapshot removal other", 105, 1, 184, removeSnapshot},
        {"morph restarted", 149, 253, FSA_STS_SUCCESS, morph},
        {"morph 254", 149, 254, 323, morph},
        {"morph 255", 149, 255, 324, morph},
        {"morph 256", 149, 256, 41, morph},
        {"morph 260", 149, 260, 91, morph},
        {"morph 261", 149, 261, 31, morph},
        {"morph 332", 149, 332, 497, morph},
        {"released 174", 66, 174, FSA_STS_SUCCESS, release},
        {"released 175", 66, 175, FSA_STS_SUCCESS, release},
        {"release other", 66, 173, 116, release},
        {"paused", 65, 173, FSA_STS_SUCCESS, pause},
        {"pause other", 65, 174, 115, pause},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        answerWith(c.code, c.status);
        EXPECT_EQ(thrownBy([&] { c.call(ctx); }), c.expected);
    }
}

TEST_F(ContainerCommandTest, ChangesInvalidateThePartitionCacheOnlyAfterSuccess)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    CT_UpdateCache(ctx);
    ASSERT_NE(ctx->partitionCache, nullptr);
    answerWith(66, 116);
    EXPECT_EQ(thrownBy([&] { CT_ReleaseIo(ctx); }), 116u);
    EXPECT_EQ(ctx->partitionCache->valid, 1u);
    answerWith(66, 175);
    CT_ReleaseIo(ctx);
    EXPECT_EQ(ctx->partitionCache->valid, 0u);
}

TEST_F(ContainerCommandTest, GlobalSpareNumberDependsOnTheController)
{
    struct Case {
        const char* extra;
        uint32_t container;
        uint32_t slot;
    };
    // Option word 2 bit 0x10 is on by default.
    for (const Case& c : {Case{"", 0x80000000u, 2}, Case{"option_word2 = 0x0EB797CC\n", 99, 0}}) {
        SCOPED_TRACE(c.extra);
        FSAAPI_CONTEXT* ctx = open(c.extra);
        ASSERT_NE(ctx, nullptr);
        Captured* sent = answerWith(41, 82);
        CT_AssignFailover(ctx, 0x80000000u, 7);
        ASSERT_EQ(sent->count, 1u);
        EXPECT_EQ(sent->param[0], c.container);
        EXPECT_EQ(sent->param[1], 7u);
        EXPECT_EQ(sent->param[2], c.slot);
    }
}

TEST_F(ContainerCommandTest, ClearingContainer100DeletesThePhysicalDeviceBundle)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    Captured* bundle = answerWith(197, 1);
    CT_ClearFailover(ctx, 100, 0x00000003);
    EXPECT_EQ(sent(42), 0u);
    ASSERT_EQ(bundle->count, 1u);
    EXPECT_EQ(bundle->param[0], 3u);
}

TEST_F(ContainerCommandTest, SnapshotRequestCrossesArgumentsFourAndFiveAndSignsItself)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    Captured* request = answerWith(104, 232);
    CT_MakeSnapshot(ctx, 11, 12, 13, 14, 15, 0, 17);
    ASSERT_EQ(request->input.size() >= 28, true);
    const uint8_t* in = request->input.data();
    EXPECT_EQ(word(in, 0), 11u);
    EXPECT_EQ(word(in, 4), 12u);
    EXPECT_EQ(word(in, 8), 13u);
    EXPECT_EQ(word(in, 12), 15u);
    EXPECT_EQ(word(in, 16), 14u);
    EXPECT_EQ(word(in, 20), 0x12346789u);
    EXPECT_EQ(word(in, 24), 17u);
    CT_MakeSnapshot(ctx, 11, 12, 13, 14, 15, 0x55, 17);
    EXPECT_EQ(word(request->input.data(), 20), 0x55u);
}

TEST_F(ContainerCommandTest, PhysicalDeviceOperationKeepsToItsBuffer)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // All devices: no handles sent, the five drives come back.
    std::vector<uint32_t> handles(8, 0xAA);
    uint32_t* array = handles.data();
    uint32_t count = 8;
    Captured* all = nullptr;
    sim().clearRequests();
    EXPECT_EQ(CT_VynIoPhyDevOp(ctx, 4, &array, &count, 1), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(251), 1u);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(handles[4], 4u);
    EXPECT_EQ(handles[5], 0xAAu);

    all = answerWith(251, 218);
    count = 8;
    CT_VynIoPhyDevOp(ctx, 4, &array, &count, 1);
    ASSERT_EQ(all->input.size(), 1032u);
    EXPECT_EQ(all->input[0], 1);
    EXPECT_EQ(all->input[1], 4);
    EXPECT_EQ(word(all->input.data(), 4), 0xFFFFFFFFu);
    EXPECT_EQ(word(all->input.data(), 8), 0u);

    // More handles than the request holds: refused before anything is sent.
    std::vector<uint32_t> many(257, 1);
    uint32_t* manyArray = many.data();
    uint32_t manyCount = 257;
    sim().clearRequests();
    EXPECT_EQ(CT_VynIoPhyDevOp(ctx, 4, &manyArray, &manyCount, 0), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(sent(251), 0u);

    // A reply listing more devices than the caller has room for.
    std::vector<uint8_t> reply(1032, 0);
    faPutLe32(reply.data() + 4, 3);
    answerWith(251, 218, reply);
    std::vector<uint32_t> two = {7, 8};
    uint32_t* twoArray = two.data();
    uint32_t twoCount = 2;
    EXPECT_EQ(CT_VynIoPhyDevOp(ctx, 4, &twoArray, &twoCount, 0), 5u);
    EXPECT_EQ(twoCount, 2u);
    EXPECT_EQ(two, (std::vector<uint32_t>{7, 8}));

    struct Case {
        uint32_t status;
        FSA_STATUS expected;
    };
    for (const Case& c : {Case{219, 92}, Case{226, 6}, Case{300, 37}}) {
        answerWith(251, c.status);
        EXPECT_EQ(CT_VynIoPhyDevOp(ctx, 4, &twoArray, &twoCount, 0), c.expected) << c.status;
    }
}

TEST_F(ContainerCommandTest, SliceFailoverCountFromItsTable)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(CT_GetSliceFailoverCount(ctx, 4), 0u);
    std::vector<uint8_t> table(512, 0);
    faPutLe32(table.data() + 0, 0x92755);
    faPutLe32(table.data() + 8 * 5, 0x1FA11FA1);
    faPutLe32(table.data() + 8 * 6 + 4, 0x92755);  // second word of an entry: not counted
    faPutLe32(table.data() + 8 * 63, 0x92755);
    Captured* read = answerWith(90, 208, table);
    EXPECT_EQ(CT_GetSliceFailoverCount(ctx, 4), 3u);
    EXPECT_EQ(read->param[0], 4u);
    EXPECT_EQ(read->param[1], 2u);
    answerWith(90, 209, table);
    EXPECT_EQ(CT_GetSliceFailoverCount(ctx, 4), 0u);
    ASSERT_TRUE(sim().addFault(0, vyn::hostsim::Fault{"ct 90", "transport = 1"}));
    uint8_t buffer[512];
    EXPECT_EQ(CT_ReadData(ctx, buffer, sizeof buffer, 4, 2), 0);
}

TEST_F(ContainerCommandTest, OpenReadWriteNoticeGoesOncePerWritingContext)
{
    struct Case {
        FSA_ACCESS access;
        unsigned notices;
    };
    for (const Case& c : {Case{FSA_ACC_READ_ONLY, 0}, Case{FSA_ACC_READ_WRITE, 1}, Case{FSA_ACC_LL_READ_WRITE, 1}}) {
        SCOPED_TRACE(c.access);
        FSAAPI_CONTEXT* ctx = open("", c.access);
        ASSERT_NE(ctx, nullptr);
        CT_UpdateEvents(ctx);
        CT_UpdateEvents(ctx);
        EXPECT_EQ(sent(155), c.notices);
        EXPECT_EQ(ctx->readWriteNoticeSent, static_cast<int>(c.notices));
    }
}

TEST_F(ContainerCommandTest, SettingsStickOnTheController)
{
    FSAAPI_CONTEXT* ctx = open("", FSA_ACC_READ_WRITE);
    ASSERT_NE(ctx, nullptr);
    // A full label fills the field without a terminator.
    ASSERT_EQ(CT_SetName(ctx, 2, "ABCDEFGHIJKLMNOPQRS"), FSA_STS_SUCCESS);
    char name[16];
    ASSERT_EQ(CT_GetName(ctx, 2, name), FSA_STS_SUCCESS);
    EXPECT_EQ(std::string(name, 16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(CT_GetName(ctx, 1, name), 349u);

    uint16_t flags = 0;
    CT_SetDumpContainerFlag(ctx, 2);
    CT_ReadUserFlags(ctx, 2, &flags);
    EXPECT_EQ(flags, 0x2);
    EXPECT_EQ(thrownBy([&] { CT_ReadUserFlags(ctx, 1, &flags); }), 181u);

    CT_SetMirrorDelay(ctx, 0, 30);
    uint32_t delay = 0;
    EXPECT_EQ(CT_GetContainerDelay(ctx, 0, &delay), 30u);
    EXPECT_EQ(delay, 30u);

    CT_AssignFailover(ctx, 2, 4);
    uint8_t slices[260] = {};
    CT_GetFailover(ctx, 2, reinterpret_cast<FailoverSlices*>(slices));
    EXPECT_EQ(word(slices, 0), 1u);
    EXPECT_EQ(word(slices, 4), 4u);
    CT_ClearFailover(ctx, 2, 4);
    CT_GetFailover(ctx, 2, reinterpret_cast<FailoverSlices*>(slices));
    EXPECT_EQ(word(slices, 0), 0u);

    // Lock and read-only flags show in the container record.
    CT_LockContainer(ctx, 2);
    CT_MakeReadOnly(ctx, 2);
    std::vector<uint8_t> record(1152, 0);
    uint32_t status = 0;
    ASSERT_EQ(CT_GetContainer(ctx, 2, record.data(), &status), 1);
    EXPECT_EQ(word(record.data(), 12), 0x90000000u);
    CT_UnlockContainer(ctx, 2);
    CT_MakeReadWrite(ctx, 2);
    ASSERT_EQ(CT_GetContainer(ctx, 2, record.data(), &status), 1);
    EXPECT_EQ(word(record.data(), 12), 0u);
    EXPECT_EQ(thrownBy([&] { CT_LockContainer(ctx, 1); }), 56u);
}

TEST_F(ContainerCommandTest, VerifyPeriodInDaysNeedsTheControllerOption)
{
    struct Case {
        const char* extra;
        uint32_t days;
        FSA_STATUS expected;
    };
    // Option word 2 bit 0x4000000 (day counts) is on by default.
    const char* noDays = "option_word2 = 0x0AB797DC\n";
    const Case cases[] = {
        {noDays, 4, 6}, {noDays, 3, FSA_STS_SUCCESS}, {noDays, 10, 6}, {"", 4, 6},
        {"", 10, FSA_STS_SUCCESS}, {"", 365, FSA_STS_SUCCESS}, {"", 366, 6}, {"", 0, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.extra) + std::to_string(c.days));
        FSAAPI_CONTEXT* ctx = open(c.extra);
        ASSERT_NE(ctx, nullptr);
        EXPECT_EQ(thrownBy([&] { CT_VerifySetPriorityDays(ctx, c.days); }), c.expected);
        EXPECT_EQ(sent(205), c.expected == FSA_STS_SUCCESS ? 1u : 0u);
        if (c.expected == FSA_STS_SUCCESS) {
            EXPECT_EQ(sim().controller(0).verifyPriority, c.days);
        }
    }
}

TEST_F(ContainerCommandTest, ControllerWithoutVerifyPeriodCommandsIsLeftAlone)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, vyn::hostsim::Fault{"ct 205", "transport = 1"}));
    ASSERT_TRUE(sim().addFault(0, vyn::hostsim::Fault{"ct 206", "transport = 1", 0, 0}));
    EXPECT_EQ(thrownBy([&] { CT_VerifySetPriorityDays(ctx, 2); }), FSA_STS_SUCCESS);
    unsigned days = 7;
    CT_VerifyGetPriorityDays(ctx, &days);
    EXPECT_EQ(days, 0u);
    uint32_t level = 7;
    CT_VerifyGetPriority(ctx, &level);
    EXPECT_EQ(level, 0u);
}

TEST_F(ContainerCommandTest, VerifyTaskIsNotLookedForWhileVerificationIsOff)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    FSA_TASK_INFO task;
    std::memset(task.bytes, 0xEE, sizeof task.bytes);
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(CtFindVerifyTask(ctx, &task), 0);
    EXPECT_EQ(sim().clockMs(), before);
    for (unsigned i = 0; i < 36; ++i)
        EXPECT_EQ(task.bytes[i], 0) << i;
    EXPECT_EQ(task.bytes[36], 0xEE);
}

TEST_F(ContainerCommandTest, VerificationStartsAndStops)
{
    FSAAPI_CONTEXT* ctx = open("", FSA_ACC_READ_WRITE);
    ASSERT_NE(ctx, nullptr);
    CT_StartContainerVerify(ctx, 1);
    EXPECT_EQ(CT_VerifyTaskOn(ctx), 1u);
    CT_StartContainerVerify(ctx, 0);
    EXPECT_EQ(CT_VerifyTaskOn(ctx), 0u);
    answerWith(173, 194);
    EXPECT_EQ(thrownBy([&] { CT_StartContainerVerify(ctx, 1); }), 11u);
    answerWith(173, 1);
    EXPECT_EQ(thrownBy([&] { CT_StartContainerVerify(ctx, 1); }), 504u);
}

TEST_F(ContainerCommandTest, UniqueIdsAndGenerations)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    uint32_t uid = 0;
    EXPECT_EQ(CT_GetContainerSerialNumber(handle(), 2, &uid), FSA_STS_SUCCESS);
    EXPECT_EQ(uid, vyntest::kFirstUid + 2);
    answerWith(165, 194);
    EXPECT_EQ(CT_GetContainerSerialNumber(handle(), 2, &uid), 11u);
    EXPECT_EQ(CT_GetContainerSerialNumber(reinterpret_cast<void*>(uintptr_t{77}), 2, &uid), 11u);

    tag_FSA_GENERATION now{};
    CT_GetGenerationId(ctx, &now);
    EXPECT_TRUE(CT_IsGenerationCurrent(ctx, &now));
    tag_FSA_GENERATION old{now.age + 1};
    EXPECT_FALSE(CT_IsGenerationCurrent(ctx, &old));
}

TEST_F(ContainerCommandTest, SourcesOfAMultiLevelContainer)
{
    // Mirrors 0, 1 and 3 to 24, of two drives each but the last, which has
    // three: 49 members in all.
    std::string extra = "bus0 = sas 64\nld1 = raid1 0:4,0:5\nld24 = raid1 0:48,0:49,0:50\n";
    for (unsigned d = 5; d <= 50; ++d)
        extra += "drive" + std::to_string(d) + " = 0:" + std::to_string(d) + " sas 146G\n";
    for (unsigned m = 3; m < 24; ++m)
        extra += "ld" + std::to_string(m) + " = raid1 0:" + std::to_string(2 * m) + ",0:" +
                 std::to_string(2 * m + 1) + "\n";
    FSAAPI_CONTEXT* ctx = open(extra);
    ASSERT_NE(ctx, nullptr);
    auto ids = [&](std::vector<uint32_t> numbers) {
        std::vector<tag_FSA_CONTAINER> out;
        for (uint32_t n : numbers) {
            tag_FSA_CONTAINER id{};
            CT_GetStandardID(ctx, &id, n);
            out.push_back(id);
        }
        return out;
    };
    std::vector<uint32_t> mirrors;
    for (uint32_t n = 0; n <= 24; ++n)
        if (n != 2)
            mirrors.push_back(n);
    std::vector<tag_FSA_CONTAINER> all = ids(mirrors);
    EXPECT_EQ(CheckMContainerValidity(handle(), all.data(), 24, 0), 24u);
    // Without the last: 46 members.
    EXPECT_EQ(CheckMContainerValidity(handle(), all.data(), 23, 0), FSA_STS_SUCCESS);
    // A stripe among mirrors.
    std::vector<tag_FSA_CONTAINER> mixed = ids({0, 2});
    EXPECT_EQ(CheckMContainerValidity(handle(), mixed.data(), 2, 0), 421u);
    // A container that does not exist: its read's status.
    std::vector<tag_FSA_CONTAINER> missing = ids({0, 30});
    EXPECT_EQ(CheckMContainerValidity(handle(), missing.data(), 2, 0), 17u);
}

}  // namespace
