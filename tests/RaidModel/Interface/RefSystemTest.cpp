#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "RaidModel/Interface/RefSystem.h"
#include "RaidModel/Interface/TestTree.h"
#include "common/StorDebug.h"
#include "support/HostRootTest.h"

using vyntest::TestAdapter;
using vyntest::TestNode;
using vyntest::TestSystem;

namespace {

// A root with one controller and a node below it, and a flag that tells
// whether the root is still alive.
class WatchedSystem : public TestSystem {
public:
    explicit WatchedSystem(bool* alive) : TestSystem({}), alive_(alive)
    {
        *alive_ = true;
        TestAdapter* adapter = new TestAdapter(0, STORLIB_TYPE_VYN);
        adapter->addChild(new TestNode("channel"));
        addChild(adapter);
    }
    ~WatchedSystem() override { *alive_ = false; }

private:
    bool* alive_;
};

// Finds out, while it is being deleted, whether another thread can still take
// its lock: a root destroyed with its lock held would leave that thread
// waiting on a mutex that no longer exists.
class LockProbeSystem : public TestSystem {
public:
    explicit LockProbeSystem(bool* lockFree) : TestSystem({}), lockFree_(lockFree) {}
    ~LockProbeSystem() override
    {
        auto added = std::make_shared<std::promise<void>>();
        std::future<void> done = added->get_future();
        std::thread([this, added] {
            addChild(nullptr);
            added->set_value();
        }).detach();
        *lockFree_ = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    }

private:
    bool* lockFree_;
};

}  // namespace

TEST(RefSystemHandle, TheLastOfTwoHandlesFreesTheTree)
{
    const unsigned int before = globalRaidObjectCounter;
    bool alive = false;
    System* system = new WatchedSystem(&alive);
    {
        RefSystem first(system);
        {
            RefSystem second(first);
            EXPECT_EQ(second.GetSystem(), system);
        }
        EXPECT_TRUE(alive);
        EXPECT_EQ(globalRaidObjectCounter, before + 3);
    }
    EXPECT_FALSE(alive);
    EXPECT_EQ(globalRaidObjectCounter, before);
}

TEST(RefSystemHandle, AdoptingTheHeldSystemAgainKeepsTheCount)
{
    bool alive = false;
    System* system = new WatchedSystem(&alive);
    RefSystem handle(system);
    handle.Set(system);
    handle = system;
    handle.Set(handle);
    handle = nullptr;
    EXPECT_FALSE(alive);
    EXPECT_TRUE(!handle);
    EXPECT_EQ(handle.GetSystem(), nullptr);
}

TEST(RefSystemHandle, ReplacingTheSystemFreesTheOldTreeFirst)
{
    bool firstAlive = false;
    bool secondAlive = false;
    RefSystem handle(new WatchedSystem(&firstAlive));
    System* second = new WatchedSystem(&secondAlive);
    handle = second;
    EXPECT_FALSE(firstAlive);
    EXPECT_TRUE(secondAlive);
    EXPECT_EQ(static_cast<System*>(handle), second);
    EXPECT_EQ(handle->getNumAdapters(), 1u);
    handle.Release();
    EXPECT_FALSE(secondAlive);
}

TEST(RefSystemHandle, AssigningHandlesCountsBothWays)
{
    bool firstAlive = false;
    bool secondAlive = false;
    RefSystem a(new WatchedSystem(&firstAlive));
    RefSystem b(new WatchedSystem(&secondAlive));
    b = a;
    EXPECT_FALSE(secondAlive);
    a.DecrementRefCount();
    EXPECT_TRUE(!a);
    EXPECT_TRUE(firstAlive);
    b.Release();
    EXPECT_FALSE(firstAlive);
}

TEST(RefSystemHandle, TheRootIsDeletedWithItsLockReleased)
{
    bool lockFree = false;
    {
        RefSystem first(new LockProbeSystem(&lockFree));
        RefSystem second(first);
    }
    EXPECT_TRUE(lockFree);
}

TEST(RefSystemHandle, HandlesInSeveralThreadsShareOneCount)
{
    bool alive = false;
    RefSystem shared(new WatchedSystem(&alive));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 2000; ++i) {
                RefSystem copy(shared);
                RefSystem other;
                other = copy;
                copy.Release();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(alive);
    EXPECT_EQ(shared->getNumAdapters(), 1u);
    shared.Release();
    EXPECT_FALSE(alive);
}

TEST(RefSystemHandle, EmptyHandleDoesNothing)
{
    RefSystem empty;
    EXPECT_TRUE(!empty);
    empty.Release();
    RefSystem copy(empty);
    EXPECT_TRUE(!copy);
}

class RefSystemTrace : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        vyntest::writeFile(hostFile("/var/log/vyntrace.txt"), "");
        doStorDebugInitialization(STORLIB_TYPE_VYN);
    }
    void TearDown() override
    {
        StorDebugDeleteAll();
        HostRootTest::TearDown();
    }
};

TEST_F(RefSystemTrace, ReleaseReportsTheLiveNodeCountAfterTheTreeIsGone)
{
    bool alive = false;
    const unsigned int before = globalRaidObjectCounter;
    {
        RefSystem handle(new WatchedSystem(&alive));
    }
    const std::string trace = vyntest::readFile(hostFile("/var/log/vyntrace.txt"));
    EXPECT_NE(trace.find("RefSystem::~RefSystem() IN"), std::string::npos) << trace;
    EXPECT_NE(trace.find("# RaidObjects = " + std::to_string(before) + "\n"), std::string::npos)
        << trace;
}
