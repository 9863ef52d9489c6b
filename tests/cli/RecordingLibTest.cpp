#include "cli/support/RecordingLib.h"

#include "common/Addr.h"
#include "common/AddrCollection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;

namespace {

Addr device(std::uint32_t adapter, std::uint32_t channel, std::uint32_t id)
{
    Addr addr;
    addr.setAdapterID(adapter);
    addr.setChannelID(channel);
    addr.setDeviceID(id);
    return addr;
}

TEST(RecordingLibTest, RecordsEveryCallAndAnswersAsTold)
{
    RecordingLib lib;
    lib.failWithApiStatus("setCopyBack", 609);
    char text[] = "pw";
    EXPECT_EQ(lib.createJBOD(device(0, 1, 2)).getReturn(), 0);
    const Ret failed = lib.setCopyBack(device(0, 1, 2), true);
    EXPECT_EQ(failed.getReturn(), -5);
    EXPECT_EQ(failed.getAPIReturn(), 609u);
    lib.startTask(device(1, 0, 3), static_cast<EnumTaskType>(2), text);
    lib.configureATAPassword(device(0, 0, 1), "secret", false);
    EXPECT_THAT(lib.calls(),
                ElementsAre("createJBOD adapter=0,channel=1,device=2",
                            "setCopyBack adapter=0,channel=1,device=2 | true",
                            "startTask adapter=1,channel=0,device=3 | 2, \"pw\"",
                            "configureATAPassword adapter=0,channel=0,device=1 | \"secret\", false"));
}

TEST(RecordingLibTest, EmptyFixtureHasNoControllers)
{
    RecordingLib lib("empty");
    EXPECT_EQ(lib.getSystemConfig().getReturn(), 0);
    unsigned long count = 99;
    lib.getControllerCount(count);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(lib.calls().empty());
}

}  // namespace
