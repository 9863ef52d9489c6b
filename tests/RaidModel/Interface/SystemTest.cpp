#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "RaidModel/Interface/TestTree.h"

using vyntest::TestAdapter;
using vyntest::TestNode;
using vyntest::TestSystem;

namespace {

std::vector<unsigned long> indexedIDs(const System& system)
{
    std::vector<unsigned long> ids;
    for (Adapter* adapter : system.getAdapters()) {
        ids.push_back(adapter->getAdapterID());
    }
    return ids;
}

EnumStorLibType type(unsigned int t)
{
    return static_cast<EnumStorLibType>(t);
}

}  // namespace

TEST(SystemRoot, IndexGroupsControllersByLibraryTypeKeepingAdditionOrder)
{
    TestSystem system({});
    system.addChild(new TestAdapter(0, type(9)));
    system.addChild(new TestAdapter(1, type(3)));
    system.addChild(new TestAdapter(2, type(9)));
    system.addChild(new TestAdapter(3, type(5)), 0);

    EXPECT_EQ(indexedIDs(system), (std::vector<unsigned long>{1, 3, 0, 2}));
    EXPECT_EQ(system.getNumAdapters(), 4u);
    EXPECT_EQ(system.getAdapter(0)->getAdapterID(), 1u);
    EXPECT_EQ(system.getAdapter(system.getNumAdapters()), nullptr);
    // The child list keeps the positions the additions asked for.
    EXPECT_EQ(system.getChild(0)->getAdapterID(), 3u);
}

TEST(SystemRoot, ControllersInsideAnAddedSubtreeAreIndexedOtherNodesAreNot)
{
    TestSystem system({});
    TestNode* group = new TestNode("group");
    group->addChild(new TestAdapter(7, type(9)));
    system.addChild(group);
    system.addChild(new TestNode("other", "Channel"));
    EXPECT_EQ(indexedIDs(system), (std::vector<unsigned long>{7}));
}

TEST(SystemRoot, WithAProxyAdditionsGoToTheProxy)
{
    TestSystem proxy({});
    TestSystem system({});
    system.setProxy(&proxy);
    TestAdapter* a = new TestAdapter(0, type(9));
    system.addChild(a);
    system.addChild(new TestAdapter(1, type(9)), 0);

    EXPECT_EQ(system.getNumAdapters(), 0u);
    EXPECT_EQ(system.getChildCount(), 0u);
    EXPECT_EQ(indexedIDs(proxy), (std::vector<unsigned long>{0, 1}));
    EXPECT_EQ(a->getParent(), &proxy);
}

TEST(SystemRoot, DeleteAdaptersRemovesAndFreesEveryControllerOfTheType)
{
    TestSystem system({});
    system.addChild(new TestAdapter(0, type(9)));
    system.addChild(new TestAdapter(1, type(5)));
    system.addChild(new TestAdapter(2, type(9)));
    system.addChild(new TestAdapter(3, type(7)));
    const unsigned int before = globalRaidObjectCounter;

    system.DeleteAdapters(type(4));
    EXPECT_EQ(indexedIDs(system), (std::vector<unsigned long>{1, 3, 0, 2}));
    EXPECT_EQ(globalRaidObjectCounter, before);

    system.DeleteAdapters(type(9));
    EXPECT_EQ(indexedIDs(system), (std::vector<unsigned long>{1, 3}));
    EXPECT_EQ(system.getChildCount(), 2u);
    EXPECT_EQ(globalRaidObjectCounter, before - 2);
}

TEST(SystemRoot, DestructorFreesTheWholeTree)
{
    const unsigned int before = globalRaidObjectCounter;
    {
        TestSystem system({});
        TestAdapter* adapter = new TestAdapter(0, type(9));
        adapter->addChild(new TestNode("channel"));
        system.addChild(adapter);
        EXPECT_EQ(globalRaidObjectCounter, before + 3);
    }
    EXPECT_EQ(globalRaidObjectCounter, before);
}

TEST(SystemRoot, BaseOperationsAndNames)
{
    TestSystem system({});
    Ret ret(0);
    system.disableDebugLogging(ret);
    EXPECT_EQ(ret.getReturn(), -1);

    Ret untouched(-7);
    system.buildChildrenForSingleAdapter(nullptr, 0, untouched);
    EXPECT_EQ(untouched, Ret(-7));

    EXPECT_TRUE(system.isInstanceOf("System"));
    EXPECT_TRUE(system.isInstanceOf("RaidObject"));
    EXPECT_FALSE(system.isInstanceOf("Adapter"));
    EXPECT_STREQ(system.serializedName(), "System");
    EXPECT_EQ(system.getStorLibType(), 0u);
    EXPECT_EQ(system.getLibraryType(), STORLIB_TYPE_VYN);

    TestAdapter adapter(0, type(9));
    EXPECT_TRUE(adapter.isInstanceOf("Adapter"));
    EXPECT_STREQ(adapter.serializedName(), "Controller");
}

TEST(SystemRoot, ConcurrentAdditionsAllReachTheIndex)
{
    TestSystem system({});
    std::vector<std::thread> threads;
    for (unsigned int t = 0; t < 4; ++t) {
        threads.emplace_back([&system, t] {
            for (unsigned long i = 0; i < 200; ++i) {
                system.addChild(new TestAdapter(t * 1000 + i, type(3 + t)));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_EQ(system.getNumAdapters(), 800u);
    EXPECT_EQ(system.getChildCount(), 800u);
    for (unsigned long i = 1; i < system.getNumAdapters(); ++i) {
        EXPECT_LE(system.getAdapter(i - 1)->getStorLibType(), system.getAdapter(i)->getStorLibType());
    }
}
