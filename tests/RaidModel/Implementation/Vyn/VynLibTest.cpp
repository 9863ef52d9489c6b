#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynLib.h"
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "RaidModel/Interface/Adapter.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "support/HostRootTest.h"

namespace {

// A controller of the family whose enumeration marks it unusable: it is
// never opened, so it needs no firmware.
VynAdapter* unopenedAdapter(unsigned long id)
{
    _tagFSA_ADAPTER_ENUM_INFO record = {};
    record.availability = VynAdapter::AVAILABILITY_CANNOT_OPEN;
    return new VynAdapter(&record, nullptr, id, nullptr, nullptr);
}

class VynLibTest : public vyntest::HostRootTest {
protected:
    void TearDown() override
    {
        StorDebugDeleteAll();
        vyntest::HostRootTest::TearDown();
    }
};

const char* const emptySystem = "<System typeName=\"VynSystem\" attachmentType=\"none\"/>\n";

TEST_F(VynLibTest, AFreshLibraryHasNoControllers)
{
    VynLib lib;
    EXPECT_EQ(lib.getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(lib.getNumVynAdapters(), 0u);
    EXPECT_EQ(lib.getVynAdapter(0), nullptr);
}

TEST_F(VynLibTest, ExportWithoutControllersWritesAnEmptyRootAndDumpsIt)
{
    VynLib lib;
    char* xml = nullptr;
    EXPECT_EQ(lib.getSystemConfig(&xml), Ret(0));
    ASSERT_NE(xml, nullptr);
    EXPECT_STREQ(xml, emptySystem);
    lib.freeBuffer(xml);
    EXPECT_EQ(lib.getNumVynAdapters(), 0u);
    ASSERT_NE(lib.getSystem(), nullptr);
    EXPECT_TRUE(lib.getSystem()->isInstanceOf("VynSystem"));

    // Three header lines, then the tree as exported.
    const std::string dump = vyntest::readFile(hostFile("/var/log/vynconfig.xml"));
    size_t bodyStart = 0;
    for (int line = 0; line < 3; ++line) {
        bodyStart = dump.find('\n', bodyStart);
        ASSERT_NE(bodyStart, std::string::npos) << dump;
        ++bodyStart;
    }
    EXPECT_EQ(dump.compare(bodyStart, std::strlen(emptySystem), emptySystem), 0) << dump;
}

TEST_F(VynLibTest, AHostWithoutControllersCountsNoneAndHasNoSingleController)
{
    VynLib lib;
    ASSERT_EQ(lib.getSystemConfig().getReturn(), 0);
    unsigned long count = 99;
    // The walk over a host without controllers ends with "not found",
    // which only a build takes for an empty result.
    const Ret counted = lib.getControllerCount(count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(counted.getAPIReturn(), 3u);
    Ret ret(0);
    lib.getSystem()->buildChildrenForSingleAdapter(&lib, 0, ret);
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(ret.getSignedReturn(), 0);
    EXPECT_EQ(lib.getNumVynAdapters(), 0u);
}

TEST_F(VynLibTest, RootsComeFromTheFamilyAndTheLastIsRemembered)
{
    VynLib lib;
    ASSERT_EQ(lib.getSystemConfig().getReturn(), 0);
    EXPECT_EQ(lib.disableDebugLogs(), Ret(0));
    // The root made to switch logging off is the one named now; it stays
    // alive until the library goes, so asking it is safe.
    EXPECT_EQ(lib.getNumVynAdapters(), 0u);
    disableDebugLog = false;
}

// Exposes the discard of a root that no handle took, as a throwing discovery
// or parse would trigger it.
class DiscardingLib : public VynLib {
public:
    using VynLib::discardSystem;
};

TEST_F(VynLibTest, ARootDiscardedBeforeAnyHandleTookItIsForgotten)
{
    vyntest::ScriptedFsaExports fsa;
    DiscardingLib lib;
    ASSERT_EQ(lib.getSystemConfig().getReturn(), 0);
    fsa.answerUnscripted(31);
    lib.getSystem()->addChild(unopenedAdapter(0));
    ASSERT_EQ(lib.getNumVynAdapters(), 1u);

    lib.discardSystem(lib.newSystem());
    // The current tree is named again; the freed root is never read.
    EXPECT_EQ(lib.getNumVynAdapters(), 1u);
    EXPECT_NE(lib.getVynAdapter(0), nullptr);
}

TEST_F(VynLibTest, AReplayForAControllerTheHostLacksChangesNothingAndLeavesBothTreesToTheLibrary)
{
    VynLib lib;
    std::vector<char> saved;
    const std::string xml = "<System><Controller controllerID=\"0\"/></System>";
    saved.assign(xml.begin(), xml.end());
    saved.push_back('\0');
    char* input = saved.data();
    std::string log = root() + "/replay.log";
    const Ret ret = lib.playConfig(&input, static_cast<long>(saved.size()), static_cast<EnumForceOption>(0), &log[0],
                                   false);
    // Nothing could be applied, and nothing failed.
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_NE(vyntest::readFile(log).find("Controller 0   No controller with this id in the current system.\n"),
              std::string::npos)
        << vyntest::readFile(log);
    ASSERT_NE(lib.getSystem(), nullptr);
    EXPECT_TRUE(lib.getSystem()->isInstanceOf("VynSystem"));
    EXPECT_EQ(lib.getNumVynAdapters(), 0u);
}

TEST_F(VynLibTest, TheHolderOwnsOneLibrary)
{
    VynSDK::StorLibSDK sdk;
    ASSERT_NE(sdk.getLibHandle(), nullptr);
    EXPECT_EQ(sdk.getLibHandle()->getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_EQ(sdk.getLibHandle()->getSystemConfig().getReturn(), 0);
}

TEST_F(VynLibTest, OnlyFamilyControllersJoinTheListInArrivalOrder)
{
    vyntest::ScriptedFsaExports fsa;
    fsa.answerUnscripted(31);
    VynSystem system;
    EXPECT_TRUE(system.isInstanceOf("VynSystem"));
    EXPECT_TRUE(system.isInstanceOf("System"));
    EXPECT_STREQ(system.typeName(), "VynSystem");
    EXPECT_STREQ(system.serializedName(), "System");

    VynAdapter* first = unopenedAdapter(0);
    Adapter* plain = new Adapter();
    VynAdapter* second = unopenedAdapter(1);
    system.addChild(first);
    system.addChild(plain);
    system.addChild(second);

    EXPECT_EQ(system.getNumAdapters(), 3u);
    ASSERT_EQ(system.getNumVynAdapters(), 2u);
    EXPECT_EQ(system.getVynAdapter(0), first);
    EXPECT_EQ(system.getVynAdapter(1), second);
    EXPECT_EQ(system.getVynAdapter(0)->getAdapterID(), 0u);
    EXPECT_EQ(system.getVynAdapter(2), nullptr);
}

} // namespace
