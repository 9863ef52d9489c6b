#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RaidLib/TestLib.h"
#include "common/OsThreadLocker.h"

using vyntest::LibraryTest;
using vyntest::TestLib;
using vyntest::TestSystem;

namespace {

const char* const twoControllers =
    "<System typeName=\"TestSystem\" attachmentType=\"none\">\n"
    "    <Controller typeName=\"Adapter\" attachmentType=\"none\" storlibType=\"9\" controllerID=\"0\"/>\n"
    "    <Controller typeName=\"Adapter\" attachmentType=\"none\" storlibType=\"9\" controllerID=\"1\"/>\n"
    "</System>\n";

const char* const twoControllersUserForm =
    "<System typeName=\"TestSystem\">\n"
    "    <Controller typeName=\"Adapter\" storlibType=\"9\" controllerID=\"0\"/>\n"
    "    <Controller typeName=\"Adapter\" storlibType=\"9\" controllerID=\"1\"/>\n"
    "</System>\n";

// Holds an exported text and frees it as the library's callers do.
struct Exported {
    TestLib& lib;
    char* text = nullptr;
    ~Exported() { lib.freeBuffer(text); }
};

}  // namespace

class StorLibTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        lib->plan.adapterIDs = {0, 1};
    }

};

TEST_F(StorLibTest, ExportWithoutAnOutputPointerBuildsNothing)
{
    const Ret ret = lib->getSystemConfig(nullptr);
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(ret.getSignedReturn(), 0);
    EXPECT_EQ(lib->getUserConfig(nullptr).getReturn(), -2);
    EXPECT_EQ(lib->getCachedSystemConfig(nullptr).getReturn(), -2);
    EXPECT_EQ(lib->systemsMade, 0);
    EXPECT_EQ(lib->getSystem(), nullptr);
    EXPECT_NE(errorFile().find("*** Bad Parameter: pXmlOUT==NULL, paramValue=0 ***"), std::string::npos);
}

TEST_F(StorLibTest, ExportWritesTheTreeAndDumpsIt)
{
    Exported xml{*lib};
    const Ret ret = lib->getSystemConfig(&xml.text);
    EXPECT_EQ(ret, Ret(0));
    ASSERT_NE(xml.text, nullptr);
    EXPECT_STREQ(xml.text, twoControllers);
    EXPECT_EQ(lib->getNumAdapters(), 2u);
    ASSERT_NE(lib->getAdapter(1), nullptr);
    EXPECT_EQ(lib->getAdapter(1)->getAdapterID(), 1u);
    EXPECT_EQ(lib->getAdapter(2), nullptr);

    const std::string dump = configFile();
    EXPECT_EQ(dump.compare(dump.size() - std::strlen(twoControllers) - 1, std::string::npos,
                           std::string(twoControllers) + "\n"),
              0)
        << dump;
}

TEST_F(StorLibTest, UserFormLeavesOutAttachments)
{
    Exported xml{*lib};
    EXPECT_EQ(lib->getUserConfig(&xml.text).getReturn(), 0);
    ASSERT_NE(xml.text, nullptr);
    EXPECT_STREQ(xml.text, twoControllersUserForm);
    EXPECT_NE(configFile().find(twoControllersUserForm), std::string::npos);
}

TEST_F(StorLibTest, ASecondExportReplacesTheFirstArrayAndTheTree)
{
    Exported xml{*lib};
    ASSERT_EQ(lib->getSystemConfig(&xml.text).getReturn(), 0);
    lib->plan.adapterIDs = {4};
    lib->plan.discoveryResult = -5;
    const Ret ret = lib->getSystemConfig(&xml.text);
    // A failed discovery still hands out what it found, with its status.
    EXPECT_EQ(ret.getReturn(), -5);
    ASSERT_NE(xml.text, nullptr);
    EXPECT_NE(std::strstr(xml.text, "controllerID=\"4\""), nullptr);
    EXPECT_EQ(std::strstr(xml.text, "controllerID=\"0\""), nullptr);
    EXPECT_EQ(lib->discoveries, 2);
    EXPECT_NE(lib->getSystem(), nullptr);
    EXPECT_EQ(lib->getNumAdapters(), 1u);
}

TEST_F(StorLibTest, CachedExportDiscoversOnlyWhenTheTreeIsEmpty)
{
    Exported xml{*lib};
    ASSERT_EQ(lib->getCachedSystemConfig(&xml.text).getReturn(), 0);
    ASSERT_EQ(lib->getCachedSystemConfig(&xml.text).getReturn(), 0);
    EXPECT_EQ(lib->discoveries, 1);
    EXPECT_STREQ(xml.text, twoControllers);
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/log/vynconfig.xml")));

    TestLib empty;
    Exported none{empty};
    ASSERT_EQ(empty.getCachedSystemConfig(&none.text).getReturn(), 0);
    ASSERT_EQ(empty.getCachedSystemConfig(&none.text).getReturn(), 0);
    EXPECT_EQ(empty.discoveries, 2);
    EXPECT_STREQ(none.text, "<System typeName=\"TestSystem\" attachmentType=\"none\"/>\n");
}

TEST_F(StorLibTest, NoRootMeansAResourceErrorAndKeepsWhatTheCallerHeld)
{
    Exported xml{*lib};
    ASSERT_EQ(lib->getSystemConfig(&xml.text).getReturn(), 0);
    char* const before = xml.text;
    System* const tree = lib->getSystem();

    lib->failFactory = true;
    const Ret ret = lib->getSystemConfig(&xml.text);
    EXPECT_EQ(ret.getReturn(), -3);
    EXPECT_EQ(xml.text, before);
    EXPECT_STREQ(xml.text, twoControllers);
    EXPECT_EQ(lib->getSystem(), tree);
    EXPECT_EQ(lib->getSystemConfig().getReturn(), -3);
    EXPECT_EQ(lib->getSystemConfigForSingleAdapter(0).getReturn(), -3);
    EXPECT_NE(errorFile().find("*** Resource Error: pNewSystem = newSystem() ***"), std::string::npos);
}

TEST_F(StorLibTest, AnExceptionInDiscoveryIsReportedAndLeaksNothing)
{
    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    System* const tree = lib->getSystem();
    const unsigned int before = globalRaidObjectCounter;
    lib->plan.throwInDiscovery = true;

    Exported xml{*lib};
    EXPECT_EQ(lib->getSystemConfig().getReturn(), -13);
    EXPECT_EQ(lib->getSystemConfig(&xml.text).getReturn(), -13);
    EXPECT_EQ(xml.text, nullptr);
    EXPECT_EQ(lib->getSystem(), tree);
    EXPECT_EQ(globalRaidObjectCounter, before);
    EXPECT_NE(errorFile().find("*** Exception Caught ***"), std::string::npos);
    // Each discarded root was announced, so a family that remembers the root
    // it made last can let go of it.
    EXPECT_EQ(lib->forgotten.size(), 2u);
}

TEST_F(StorLibTest, ControllerCountNeedsATree)
{
    unsigned long count = 77;
    const Ret ret = lib->getControllerCount(count);
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(count, 77u);
    EXPECT_NE(errorFile().find("*** Bad Parameter: curSystem==NULL, paramValue=0 ***"), std::string::npos);

    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    EXPECT_EQ(lib->getControllerCount(count).getReturn(), 0);
    EXPECT_EQ(count, 2u);
}

TEST_F(StorLibTest, SingleAdapterBuildLeavesTheDiscoveryToTheFamily)
{
    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    EXPECT_EQ(lib->getSystemConfigForSingleAdapter(1).getReturn(), 0);
    ASSERT_NE(lib->getSystem(), nullptr);
    EXPECT_EQ(lib->getNumAdapters(), 0u);
    EXPECT_EQ(lib->discoveries, 1);
}

TEST_F(StorLibTest, ProxyBuildPutsTheControllersIntoTheProxy)
{
    TestSystem proxy({});
    TestLib discoverer;
    EXPECT_EQ(lib->getSystemConfigWithProxy(&proxy, &discoverer).getReturn(), 0);
    EXPECT_EQ(proxy.getNumAdapters(), 2u);
    EXPECT_EQ(proxy.getChildCount(), 2u);
    ASSERT_NE(lib->getSystem(), nullptr);
    EXPECT_EQ(lib->getNumAdapters(), 0u);
    EXPECT_EQ(lib->getSystem()->getChildCount(), 0u);
}

TEST_F(StorLibTest, DisablingTheDebugLogsSucceedsWithoutARoot)
{
    lib->failFactory = true;
    EXPECT_EQ(lib->disableDebugLogs(), Ret(0));
    EXPECT_TRUE(disableDebugLog);
    EXPECT_EQ(lib->getSystem(), nullptr);
}

TEST_F(StorLibTest, DisablingTheDebugLogsAsksANewRootAndKeepsTheCurrentTree)
{
    ASSERT_EQ(lib->getSystemConfig().getReturn(), 0);
    System* const tree = lib->getSystem();
    EXPECT_EQ(lib->disableDebugLogs().getReturn(), -1);
    EXPECT_EQ(lib->disableDebugLogs().getReturn(), -1);
    EXPECT_EQ(lib->systemsMade, 3);
    EXPECT_EQ(lib->getSystem(), tree);
    EXPECT_TRUE(disableDebugLog);
}

TEST_F(StorLibTest, DeletingTheLibraryFreesItsTrees)
{
    const unsigned int before = globalRaidObjectCounter;
    {
        TestLib other;
        other.plan.adapterIDs = {0, 1, 2};
        ASSERT_EQ(other.getSystemConfig().getReturn(), 0);
        ASSERT_EQ(other.disableDebugLogs().getReturn(), -1);
        EXPECT_GT(globalRaidObjectCounter, before);
    }
    EXPECT_EQ(globalRaidObjectCounter, before);
}

TEST_F(StorLibTest, FreeBufferAcceptsNull)
{
    EXPECT_EQ(lib->freeBuffer(nullptr), Ret(0));
    EXPECT_EQ(lib->getStorLibType(), STORLIB_TYPE_VYN);
}

TEST_F(LibraryTest, OnlyTheFirstGuardStartsAndEndsTheLibrary)
{
    const bool startedBefore = StorLibInit::isInstance;
    {
        StorLibInit first;
        StorLibInit second;
        EXPECT_TRUE(StorLibInit::isInstance);
        if (!startedBefore) {
            EXPECT_NE(pStorLibGlobalThreadLocker, nullptr);
        }
    }
    EXPECT_TRUE(StorLibInit::isInstance);
    if (!startedBefore) {
        EXPECT_EQ(pStorLibGlobalThreadLocker, nullptr);
    }
}
