// Cache settings of one container: what the setters send and refuse, where
// the getters find the settings, and cache buffers left without a container.
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "ContainerTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

namespace {

using vyn::hostsim::ControllerState;
using vyn::hostsim::CtReply;
using vyn::hostsim::CtRequest;

// Without option word 3 bit 0x8 the library keeps no configuration model and
// the firmware's container records decide.
constexpr const char* kNoModel = "option_word3 = 0x390\n";

class ContainerCacheSettingsTest : public vyntest::ContainerTest {
protected:
    tag_FSA_CONTAINER id(uint32_t number)
    {
        tag_FSA_CONTAINER c{};
        CT_GetStandardID(UtilGetContextFromHandle(handle()), &c, number);
        return c;
    }

    // CT 178 answers these records (status = firmware type, member count 1,
    // word 136 the companion) for the numbers given, the rest as before.
    void records(std::map<uint32_t, std::pair<uint32_t, uint32_t>> byNumber)
    {
        sim().addCtHandler(178, [byNumber](ControllerState&, const CtRequest& q, CtReply& r) {
            r.data.assign(1152, 0);
            auto it = byNumber.find(q.param[0]);
            if (it == byNumber.end())
                return;
            faPutLe32(r.data.data(), 1);
            faPutLe32(r.data.data() + 136 * 4, it->second.second);
            r.status = it->second.first;
            r.result2 = r.status;
        });
    }
};

TEST_F(ContainerCacheSettingsTest, OnlyMeaningfulCacheWordsAreSent)
{
    ASSERT_NE(open("", FSA_ACC_READ_WRITE), nullptr);
    struct Case {
        uint32_t read, write;
        uint32_t sentRead, sentWrite;
    };
    const Case cases[] = {{1, 4, 1, 0}, {2, 1, 0, 1}, {3, 2, 3, 2}, {0, 3, 0, 3}};
    std::vector<uint8_t> request;
    sim().addCtHandler(111, [&request](ControllerState&, const CtRequest& q, CtReply& r) {
        request.assign(q.input, q.input + q.inputSize);
        r.status = 264;
    });
    const tag_FSA_CONTAINER c = id(2);
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.read) + "/" + std::to_string(k.write));
        const tag_FSA_CONTAINER_PARAMS params{k.read, k.write};
        ASSERT_EQ(FsaContainerSetCacheParams(handle(), &c, &params), FSA_STS_SUCCESS);
        ASSERT_GE(request.size(), 28u);
        EXPECT_EQ(word(request.data(), 0), 2u);
        EXPECT_EQ(word(request.data(), 4), k.sentRead);
        EXPECT_EQ(word(request.data(), 8), k.sentWrite);
        for (size_t w = 12; w < 28; w += 4)
            EXPECT_EQ(word(request.data(), w), 0u);
    }
    sim().addCtHandler(111, [](ControllerState&, const CtRequest&, CtReply& r) { r.status = 1; });
    const tag_FSA_CONTAINER_PARAMS params{1, 2};
    EXPECT_EQ(FsaContainerSetCacheParams(handle(), &c, &params), 321u);
}

TEST_F(ContainerCacheSettingsTest, SettersRefuseMissingHiddenAndLockedContainers)
{
    FSAAPI_CONTEXT* ctx = open("ld40 = raid0 0:4\n", FSA_ACC_READ_WRITE);
    ASSERT_NE(ctx, nullptr);
    const tag_FSA_CONTAINER_PARAMS params{1, 2};
    tag_FSA_CONTAINER missing = id(1);
    EXPECT_EQ(FsaContainerSetCacheParams(handle(), &missing, &params), 11u);
    // Hidden: refused before the container information is read.
    tag_FSA_CONTAINER hidden = id(40);
    sim().clearRequests();
    EXPECT_EQ(FsaContainerSetCacheParams(handle(), &hidden, &params), 401u);
    EXPECT_EQ(sent(153), 1u);
    EXPECT_EQ(sent(178) + sent(234) + sent(229) + sent(111), 0u);
    EXPECT_EQ(FsaContainerSetITPCacheSettings(handle(), &hidden, 1), 401u);
    EXPECT_EQ(FsaContainerSetOrvexaWriteCacheSettings(handle(), &hidden, 1, 0), 401u);

    CT_LockContainer(ctx, 2);
    // The lock shows in the configuration as the controller reports it next.
    GetVynIoConfig(ctx);
    tag_FSA_CONTAINER locked = id(2);
    EXPECT_EQ(FsaContainerSetCacheParams(handle(), &locked, &params), 42u);
    EXPECT_EQ(sent(111), 0u);
    // Read-write only.
    ASSERT_NE(open(), nullptr);
    tag_FSA_CONTAINER c = id(2);
    EXPECT_EQ(FsaContainerSetCacheParams(handle(), &c, &params), 122u);
}

TEST_F(ContainerCacheSettingsTest, SettingsComeBackFromTheModel)
{
    FSAAPI_CONTEXT* ctx = open("", FSA_ACC_READ_WRITE);
    ASSERT_NE(ctx, nullptr);
    const tag_FSA_CONTAINER c = id(0);
    const tag_FSA_CONTAINER_PARAMS set{1, 2};
    ASSERT_EQ(FsaContainerSetCacheParams(handle(), &c, &set), FSA_STS_SUCCESS);
    GetVynIoConfig(ctx);
    tag_FSA_CONTAINER_PARAMS got{7, 7};
    EXPECT_EQ(FsaContainerGetCacheParams(handle(), &c, &got), FSA_STS_SUCCESS);
    EXPECT_EQ(got.readCache, 1u);
    EXPECT_EQ(got.writeCache, 2u);
    uint32_t mode[2] = {7, 7};
    EXPECT_EQ(FsaContainerGetCacheMode(handle(), &c, mode), FSA_STS_SUCCESS);
    EXPECT_EQ(mode[0], 1u);
    // Write-back in effect: the set flags' bit 1 (0x4) and the mode (0x2).
    EXPECT_EQ(mode[1], 0x6u);
}

TEST_F(ContainerCacheSettingsTest, WithoutModelSettingsComeFromTheFirstMemberAndTheStatistics)
{
    ASSERT_NE(open(kNoModel), nullptr);
    ControllerState::ContainerSettings& s = sim().controller(0).containerSettings[2];
    s.readCache = 1;
    s.writeCache = 3;
    const tag_FSA_CONTAINER c = id(2);
    tag_FSA_CONTAINER_PARAMS got{7, 7};
    EXPECT_EQ(FsaContainerGetCacheParams(handle(), &c, &got), FSA_STS_SUCCESS);
    EXPECT_EQ(got.readCache, 1u);
    EXPECT_EQ(got.writeCache, 3u);
    uint32_t mode[2] = {7, 7};
    EXPECT_EQ(FsaContainerGetCacheMode(handle(), &c, mode), FSA_STS_SUCCESS);
    EXPECT_EQ(mode[0], 1u);
    EXPECT_EQ(mode[1], 3u);
    EXPECT_EQ(sent(112), 1u);
}

TEST_F(ContainerCacheSettingsTest, NumberWithoutContainerInTheModelReadsNothing)
{
    ASSERT_NE(open(), nullptr);
    const tag_FSA_CONTAINER none = id(1);
    tag_FSA_CONTAINER_PARAMS got{7, 7};
    EXPECT_EQ(FsaContainerGetCacheParams(handle(), &none, &got), FSA_STS_SUCCESS);
    EXPECT_EQ(got.readCache, 0u);
    EXPECT_EQ(got.writeCache, 0u);
    uint32_t mode[2] = {7, 7};
    EXPECT_EQ(FsaContainerGetCacheMode(handle(), &none, mode), FSA_STS_SUCCESS);
    EXPECT_EQ(mode[0], 0u);
    EXPECT_EQ(mode[1], 0u);
}

TEST_F(ContainerCacheSettingsTest, PassThroughAndSnapshotRelatedContainersWithoutModel)
{
    ASSERT_NE(open(kNoModel), nullptr);
    // 5: pass-through; 6 and 7: snapshot-related, naming each other.
    records({{5, {8, 0}}, {6, {7, 7}}, {7, {7, 6}}});
    for (uint32_t number : {5u, 6u}) {
        SCOPED_TRACE(number);
        sim().clearRequests();
        const tag_FSA_CONTAINER c = id(number);
        tag_FSA_CONTAINER_PARAMS got{7, 7};
        EXPECT_EQ(FsaContainerGetCacheParams(handle(), &c, &got), FSA_STS_SUCCESS);
        EXPECT_EQ(got.readCache, 0u);
        EXPECT_EQ(got.writeCache, 0u);
        // The companion is followed once.
        EXPECT_EQ(sent(178), number == 6 ? 2u : 1u);
    }
}

TEST_F(ContainerCacheSettingsTest, BuffersWithoutAContainer)
{
    // Releasing takes a session that may write.
    ASSERT_NE(open("", FSA_ACC_READ_WRITE), nullptr);
    EXPECT_EQ(FsaAreThereOphanRawBuffers(handle(), 1), 0u);
    EXPECT_EQ(sent(132), 0u);
    // Container 2 exists and holds buffers; 5 does not and still holds some.
    sim().controller(0).containerSettings[2].buffered = 1;
    sim().controller(0).containerSettings[5].buffered = 1;
    EXPECT_EQ(FsaAreThereOphanRawBuffers(handle(), 0), 1u);
    EXPECT_EQ(sent(132), 0u);
    EXPECT_EQ(FsaAreThereOphanRawBuffers(handle(), 1), 1u);
    EXPECT_EQ(sent(132), 1u);
    EXPECT_EQ(sim().controller(0).containerSettings[5].buffered, 0u);
    EXPECT_EQ(sim().controller(0).containerSettings[2].buffered, 1u);
    EXPECT_EQ(FsaAreThereOphanRawBuffers(handle(), 1), 0u);
    EXPECT_EQ(FsaAreThereOphanRawBuffers(reinterpret_cast<void*>(uintptr_t{77}), 1), 9u);
}

}  // namespace
