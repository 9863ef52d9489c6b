// The configuration reader over the simulator's drives and containers.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace vyn::hostsim;

constexpr const char* kBase = "adapters = 1\nhostsim.persist = 0\n";

std::string drives(unsigned n)
{
    std::string text;
    for (unsigned i = 0; i < n; ++i)
        text += "adapter0.drive" + std::to_string(i) + " = 0:" + std::to_string(i) + " sas 146G\n";
    return text;
}

class ConfigReaderTest : public vyntest::SimulatorTest {
protected:
    void TearDown() override
    {
        if (handle_ != nullptr)
            FsaCloseAdapter(handle_);
        SimulatorTest::TearDown();
    }
    FSAAPI_CONTEXT* open(const std::string& description)
    {
        startSimulator(std::string(kBase) + description);
        int aux = 0;
        if (FsaOpenAdapter2A("ulb0", nullptr, FSA_LIBRARY_BUILD, FSA_ACC_READ_ONLY, 1, nullptr, nullptr, &handle_,
                             &aux) != FSA_STS_SUCCESS)
            return nullptr;
        return UtilGetContextFromHandle(handle_);
    }
    void* handle_ = nullptr;
};

TEST_F(ConfigReaderTest, NoDevicesGiveAnEmptyModel)
{
    FSAAPI_CONTEXT* ctx = open("");
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
    ASSERT_NE(ctx->vynIoConfig, nullptr);
    EXPECT_TRUE(ctx->vynIoConfig->phyDevs().empty());
    EXPECT_TRUE(ctx->vynIoConfig->allLogDevs().empty());
}

TEST_F(ConfigReaderTest, WithoutTheNewerInterfaceNothingIsBuilt)
{
    FSAAPI_CONTEXT* ctx = open("adapter0.option_word3 = 0x390\n");
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(GetVynIoConfig(ctx), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(ctx->vynIoConfig, nullptr);
}

TEST_F(ConfigReaderTest, SegmentsLinkTheirDrives)
{
    FSAAPI_CONTEXT* ctx = open(drives(4) + "adapter0.ld0 = raid5 0:0,0:1,0:2\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
    const FsaVynIoAdapterConfig& cfg = *ctx->vynIoConfig;
    ASSERT_EQ(cfg.phyDevs().size(), 4u);
    ASSERT_EQ(cfg.topLevel().size(), 1u);
    ASSERT_EQ(cfg.allLogDevs().size(), 1u);
    const FsaVynIoLogDevInfo* ld = cfg.topLevel()[0];
    ASSERT_EQ(ld->segments.size(), 3u);
    for (unsigned i = 0; i < 3; ++i) {
        ASSERT_NE(ld->segments[i]->phyDev, nullptr);
        EXPECT_EQ(ld->segments[i]->phyDev->handle(), i);
        EXPECT_EQ(ld->segments[i]->logDev, ld);
        EXPECT_EQ(cfg.phyDevs()[i]->segments.size(), 1u);
    }
    EXPECT_TRUE(cfg.phyDevs()[3]->segments.empty());
    // A second read rebuilds the model, not adds to it.
    ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->vynIoConfig->allLogDevs().size(), 1u);
    EXPECT_EQ(ctx->vynIoConfig->phyDevs()[0]->segments.size(), 1u);
}

TEST_F(ConfigReaderTest, AnUnmatchedSegmentKeepsNoDrive)
{
    FSAAPI_CONTEXT* ctx = open(drives(2) + "adapter0.ld0 = raid1 0:0,0:1\n");
    ASSERT_NE(ctx, nullptr);
    // The first segment record starts at reply data byte 8 (payload byte 40).
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 249", "poke = 40:4=0x0F0F0F0F"}));
    ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
    const FsaVynIoLogDevInfo* ld = ctx->vynIoConfig->topLevel().at(0);
    ASSERT_EQ(ld->segments.size(), 2u);
    EXPECT_EQ(ld->segments[0]->phyDev, nullptr);
    EXPECT_EQ(ld->segments[0]->logDev, ld);
    EXPECT_NE(ld->segments[1]->phyDev, nullptr);
}

TEST_F(ConfigReaderTest, TwoLevelLegsAreChildrenNotTopLevel)
{
    FSAAPI_CONTEXT* ctx = open(drives(6) + "adapter0.ld0 = raid50 0:0,0:1,0:2,0:3,0:4,0:5\n");
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
    const FsaVynIoAdapterConfig& cfg = *ctx->vynIoConfig;
    ASSERT_EQ(cfg.topLevel().size(), 1u);
    ASSERT_EQ(cfg.allLogDevs().size(), 3u);
    const FsaVynIoLogDevInfo* top = cfg.topLevel()[0];
    ASSERT_EQ(top->secondLevel.size(), 2u);
    for (const FsaVynIoLogDevInfo* leg : top->secondLevel) {
        EXPECT_EQ(leg->parent(), top->handle());
        EXPECT_NE(std::find(cfg.allLogDevs().begin(), cfg.allLogDevs().end(), leg), cfg.allLogDevs().end());
        EXPECT_EQ(leg->segments.size(), 3u);
    }
    // The top device's segments are its legs: no drive behind them.
    ASSERT_EQ(top->segments.size(), 2u);
    EXPECT_EQ(top->segments[0]->phyDev, nullptr);
}

TEST_F(ConfigReaderTest, StatusesOfTheReaderCommands)
{
    FSAAPI_CONTEXT* ctx = open(drives(2));
    ASSERT_NE(ctx, nullptr);
    struct Case {
        const char* status;
        FSA_STATUS expected;
    };
    const Case cases[] = {{"status = 219", 12}, {"status = 100", FSA_STS_CT_BAD_STATUS},
                          {"status = 226", FSA_STS_CT_BAD_STATUS}, {"status = 230", FSA_STS_SUCCESS}};
    for (const Case& c : cases) {
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 247", c.status}));
        EXPECT_EQ(GetVynIoConfig(ctx), c.expected) << c.status;
    }
}

TEST_F(ConfigReaderTest, AReadThatAChangedConfigurationBrokeIsMadeAgain)
{
    // A device listed at the start of the read is gone when its record is
    // asked for (status 219), and the list the controller gives afterwards
    // is of another age than the one the read walked: another process
    // changed the configuration meanwhile.
    FSAAPI_CONTEXT* ctx = open(drives(4) + "adapter0.ld0 = raid1 0:0,0:1\nadapter0.ld1 = raid1 0:2,0:3\n");
    ASSERT_NE(ctx, nullptr);
    Fault staleAge{"ct 229", "poke = 32:4=12345"};
    staleAge.skip = 1;  // the list of logical devices, after list 0
    Fault vanished{"ct 234", "status = 219"};
    vanished.skip = 2;  // the reader's own query, after the list refresh's two
    ASSERT_TRUE(sim().addFault(0, staleAge));
    ASSERT_TRUE(sim().addFault(0, vanished));
    ASSERT_EQ(GetVynIoConfig(ctx), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->vynIoConfig->topLevel().size(), 2u);
    for (const FsaVynIoLogDevInfo* ld : ctx->vynIoConfig->topLevel())
        EXPECT_EQ(ld->segments.size(), 2u);

    // The same failure on an unchanged configuration is the read's outcome.
    ASSERT_TRUE(sim().addFault(0, vanished));
    EXPECT_EQ(GetVynIoConfig(ctx), 12);
}

TEST_F(ConfigReaderTest, AListClaimingMoreHandlesThanItHoldsIsClamped)
{
    FSAAPI_CONTEXT* ctx = open(drives(2));
    ASSERT_NE(ctx, nullptr);
    // The count word of the CT 247 reply data (payload byte 32).
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 247", "poke = 32:4=100000"}));
    GetVynIoConfig(ctx);
    EXPECT_LE(ctx->vynIoConfig->phyDevs().size(), VYNIO_MAX_PHYDEVS);
}

}  // namespace
