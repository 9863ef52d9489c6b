#include "Command/Vyn/common/fa_context.h"
#include "support/HostRootTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class ContextTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        UtilFreeHandleResources();
    }
    void TearDown() override
    {
        UtilFreeHandleResources();
        HostRootTest::TearDown();
    }
};

TEST_F(ContextTest, HandlesCountUpFrom4096AndAreNeverReused)
{
    FSAAPI_CONTEXT a, b, c;
    EXPECT_EQ(UtilCreateHandle(&a), 4096u);
    EXPECT_EQ(UtilCreateHandle(&b), 4097u);
    UtilDeleteHandle(FsaHandleFromNumber(4096));
    EXPECT_EQ(UtilGetContextFromHandle(FsaHandleFromNumber(4096)), nullptr);
    EXPECT_EQ(UtilCreateHandle(&c), 4098u);
    EXPECT_EQ(UtilGetContextFromHandle(FsaHandleFromNumber(4098)), &c);
    // An unknown handle changes nothing.
    UtilDeleteHandle(FsaHandleFromNumber(12345));
    EXPECT_EQ(UtilGetContextFromHandle(FsaHandleFromNumber(4097)), &b);
}

TEST_F(ContextTest, TableGrowsByTenAndADeleteMovesTheLastEntryIntoTheHole)
{
    std::vector<std::unique_ptr<FSAAPI_CONTEXT>> contexts;
    std::vector<uint32_t> handles;
    for (int i = 0; i < 11; ++i) {
        contexts.push_back(std::make_unique<FSAAPI_CONTEXT>());
        handles.push_back(UtilCreateHandle(contexts.back().get()));
        EXPECT_EQ(UtilHandleTableCapacity(), i < 10 ? 10u : 20u);
    }
    UtilFreeHandleResources();
    const uint32_t first = UtilCreateHandle(contexts[0].get());
    const uint32_t middle = UtilCreateHandle(contexts[1].get());
    const uint32_t last = UtilCreateHandle(contexts[2].get());
    UtilDeleteHandle(FsaHandleFromNumber(middle));
    EXPECT_EQ(UtilGetContextFromHandle(FsaHandleFromNumber(first)), contexts[0].get());
    EXPECT_EQ(UtilGetContextFromHandle(FsaHandleFromNumber(middle)), nullptr);
    EXPECT_EQ(UtilGetContextFromHandle(FsaHandleFromNumber(last)), contexts[2].get());
}

TEST_F(ContextTest, DeviceHandlesInBothEncodings)
{
    FSAAPI_CONTEXT ctx;
    struct Case {
        bool extended;
        uint32_t handle;
        uint32_t bus, target, lun;
        bool encodes;  // the triple encodes back to the handle
    };
    const Case cases[] = {
        {false, 0xA5, 1, 5, 2, true},
        {false, 0xFFFFFFFF, 255, 65535, 255, true},
        {false, 5u << 7 | 3, 255, 65535, 255, false},  // bus 5 is no bus
        {false, 4u << 7, 255, 65535, 255, false},
        {true, 0x02071234, 2, 0x1234, 7, true},
        {true, 0xFFFFFFFF, 255, 65535, 255, true},
        {true, 0x04000001, 255, 65535, 255, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.handle << (c.extended ? " extended" : " standard"));
        ctx.supportedOptions = c.extended ? FSA_SUPPORTED_EXTENDED_DEVICE_HANDLES : 0;
        EXPECT_EQ(FsaApiGetBusFromDeviceHandle(&ctx, c.handle), c.bus);
        EXPECT_EQ(FsaApiGetTargetFromDeviceHandle(&ctx, c.handle), c.target);
        EXPECT_EQ(FsaApiGetLunFromDeviceHandle(&ctx, c.handle), c.lun);
        if (c.encodes) {
            EXPECT_EQ(FsaApiGetDevtFromBLT(&ctx, c.bus, c.target, c.lun), c.handle);
        }
    }
}

TEST_F(ContextTest, TranslationsAndOsType)
{
    EXPECT_EQ(TranslateFwBusTypeToFsaChannel(0), 0u);
    EXPECT_EQ(TranslateFwBusTypeToFsaChannel(1), 1u);
    EXPECT_EQ(TranslateFwBusTypeToFsaChannel(13), 13u);
    EXPECT_EQ(TranslateFwBusTypeToFsaChannel(14), 0u);
    const uint32_t devTypes[][2] = {{0, 1}, {1, 0}, {2, 2}, {3, 3}, {4, 4}, {5, 1}, {99, 1}};
    for (const auto& t : devTypes)
        EXPECT_EQ(TranslateFwDevTypeToFsaDevType(t[0]), t[1]) << t[0];
    FSAAPI_CONTEXT ctx;
    EXPECT_EQ(ctx.optionWord2, 0xF0F9Bu);
    EXPECT_EQ(ctx.containerOpMask, 0xFFFu);
    ctx.osType = 10;
    EXPECT_TRUE(IsHostWithDeviceNotifications(&ctx));
    ctx.osTypeOverride = 5;
    EXPECT_FALSE(IsHostWithDeviceNotifications(&ctx));
}

}  // namespace
