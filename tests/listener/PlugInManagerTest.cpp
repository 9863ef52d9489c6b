#include "AenTestSupport.h"

#include "listener/AenDaemon.h"
#include "listener/PlugInManager.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using aentest::AenDaemonTest;

class PlugInManagerTest : public AenDaemonTest {
protected:
    std::size_t loadedCount() const
    {
        std::size_t n = 0;
        for (PlugInNode* node = gAenConfig.PlugInList; node != nullptr; node = node->Next)
            ++n;
        return n;
    }
};

TEST_F(PlugInManagerTest, ListFileGrammar)
{
    struct Case {
        const char* what;
        std::string content;
        int result;
        std::size_t loaded;
        std::string logged;
    };
    const std::string listPath = installDir() + "PlugInConfig.txt";
    const Case cases[] = {
        {"off", "PLUGIN=a\nSTATE=OFF\n", 1, 0, "a will not be loaded"},
        {"state before plugin", "STATE=ON\n", 1, 0, "No Plugin found, exiting the daemon.."},
        {"comments only", "# PLUGIN=notifyfile\n#STATE=ON\n", 1, 0, "No Plugin found, exiting the daemon.."},
        {"blank before =", "PLUGIN =notifyfile\nSTATE=ON\n", 1, 0, "Attribute=PLUGIN  Value=notifyfile"},
        {"wrong state", "PLUGIN=notifyfile\nSTATE=on\nSTATE=ON\n", 1, 0,
         "Wrong value for STATE attribute in file " + listPath},
        {"on", "PLUGIN=notifyfile\nSTATE=ON\n", 0, 1, "notifyfile Loading successful"},
        {"on twice", "PLUGIN=notifyfile\nSTATE=ON\nSTATE=ON\n", 0, 2, "Attribute=STATE Value=ON"},
        {"off after on", "PLUGIN=notifyfile\nSTATE=ON\nSTATE=OFF\nSTATE=ON\n", 0, 1, "notifyfile will not be loaded"},
        {"later plugin replaces", "PLUGIN=absent\nPLUGIN=notifyfile\nOTHER=1\nno equals\nSTATE=ON", 0, 1, ""},
        {"missing object", "PLUGIN=absent\nSTATE=ON\n", 1, 0, "ERROR : absent failed to initialize."},
    };
    for (const Case& c : cases) {
        aentest::resetDaemonState();
        writeInstallFile("PlugInConfig.txt", c.content);
        EXPECT_EQ(AenDaemonLoadPlugIn(), c.result) << c.what;
        EXPECT_EQ(loadedCount(), c.loaded) << c.what;
        if (!c.logged.empty()) {
            EXPECT_TRUE(logHas(c.logged)) << c.what << ": " << c.logged;
        }
    }
    EXPECT_TRUE(logHas("Plugin absent Load Fails with errno="));
}

TEST_F(PlugInManagerTest, MissingListOrInstallDirectory)
{
    EXPECT_EQ(AenDaemonLoadPlugIn(), 1);
    EXPECT_TRUE(logHas("Failed to read config file " + installDir() + "PlugInConfig.txt"));
    ::unsetenv("VYNCONF_PATH");
    EXPECT_EQ(AenDaemonLoadPlugIn(), 1);
    EXPECT_TRUE(logHas("Logger Plugin Path Name string size exceeding"));
    char name[] = "notifyfile";
    EXPECT_EQ(AenLoadPlugIn(name), 1);
    EXPECT_TRUE(logHas("Plugin Path Name string size exceeded!"));
}

TEST_F(PlugInManagerTest, InitResultDecidesWhetherThePlugInStays)
{
    struct Case {
        const char* initResult;
        int result;
    };
    for (const Case& c : {Case{"0", 0}, Case{"2", 0}, Case{"-1", 0}, Case{"1", 1}}) {
        aentest::resetDaemonState();
        std::remove(hostFile("/var/log/plugin.txt").c_str());
        ::setenv("VYN_PLUGIN_INIT_RESULT", c.initResult, 1);
        char name[] = "notifyfile";
        EXPECT_EQ(AenLoadPlugIn(name), c.result) << c.initResult;
        EXPECT_EQ(loadedCount(), c.result == 0 ? 1u : 0u) << c.initResult;
        // A plug-in whose init failed is unloaded without its terminate call.
        EXPECT_EQ(pluginLines(), std::vector<std::string>{"init"}) << c.initResult;
    }
    EXPECT_TRUE(logHas("PlugIn Inititialization Failed"));
}

TEST_F(PlugInManagerTest, PlugInWithoutTerminateIsLeftOut)
{
    char name[] = "noterminate";
    EXPECT_EQ(AenLoadPlugIn(name), 1);
    EXPECT_EQ(loadedCount(), 0u);
    EXPECT_TRUE(logHas("Atleast one of the loadable function for plugin noterminate fails"));
    EXPECT_TRUE(pluginLines().empty());
}

TEST_F(PlugInManagerTest, JoinedPathMustLeaveRoomForTheSuffix)
{
    // Install directory + name + ".so" may have 511 characters at most.
    const std::size_t dir = installDir().size();
    struct Case {
        std::size_t joined;
        bool refused;
    };
    for (const Case& c : {Case{508, false}, Case{509, true}, Case{511, true}, Case{600, true}}) {
        std::string name(c.joined - dir, 'p');
        EXPECT_EQ(AenLoadPlugIn(&name[0]), 1) << c.joined;
        EXPECT_EQ(logHas("Plugin Path exceeds expected length"), c.refused) << c.joined;
        EXPECT_EQ(logHas("Plugin " + name + " Load Fails"), !c.refused) << c.joined;
        std::remove(hostFile("/var/log/vynlistend.log").c_str());
    }
}

TEST_F(PlugInManagerTest, NotifyReachesEveryPlugInInOrderAndUnloadTerminatesThem)
{
    writeInstallFile("PlugInConfig.txt", "PLUGIN=notifyfile\nSTATE=ON\nPLUGIN=slownotify\nSTATE=ON\n");
    ASSERT_EQ(AenDaemonLoadPlugIn(), 0);
    ASSERT_EQ(loadedCount(), 2u);
    _vynEvent event;
    event.eventTime = "12/09/2026 09:35:44";
    event.eventCode = 1025;
    event.eventType = 2;
    event.eventDesc = "disk 0,3 failed";
    event.identifier = "ctl0";
    AenDaemonNotifyPlugIn(event);
    AenDaemonUnloadPlugIn();
    EXPECT_EQ(gAenConfig.PlugInList, nullptr);
    const std::string line = "12/09/2026 09:35:44|1025|2|disk 0,3 failed|ctl0";
    EXPECT_EQ(pluginLines(), (std::vector<std::string>{"init", "init", line, line, "terminate", "terminate"}));
    EXPECT_TRUE(logHas("AenDaemonNotifyPlugIn Enter"));
    EXPECT_TRUE(logHas("Calling NotifyFunc"));
}

}  // namespace
