#include "AenTestSupport.h"

#include "listener/AenConfig.h"
#include "listener/AenDaemon.h"
#include "listener/PlugInManager.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace aentest {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

void resetDaemonState()
{
    AenDaemonUnloadPlugIn();
    TovDestroyEvent(&gAenConfig.TerminateEvent);
    TovDestroyEvent(&gAenConfig.AenMonitorEvent);
    TovDestroyEvent(&gAenConfig.AenPushedToQEvent);
    TovMutexDelete(&gAenConfig.QueueMutex);
    std::free(gAenConfig.MonitorThread);
    std::free(gAenConfig.ProcessThread);
    gAenConfig.MonitorThread = nullptr;
    gAenConfig.ProcessThread = nullptr;
    gAenConfig.EventQueue.clear();
    if (gAenConfig.ConfigFileFd >= 0)
        ::close(gAenConfig.ConfigFileFd);
    gAenConfig.ConfigFileFd = -1;
    gAenConfig.StopRequested.store(false);
    gAenConfig.CurrentStatus.store(AEN_STATUS_STARTING);
}

void AenDaemonTest::SetUp()
{
    HostRootTest::SetUp();
    resetDaemonState();
    installDir_ = root() + "/opt/vyn/";
    fs::create_directories(installDir_);
    for (const char* plugin : {"notifyfile", "slownotify", "noterminate"}) {
        const std::string file = std::string(plugin) + ".so";
        fs::create_symlink(fs::path(AEN_PLUGIN_DIR) / file, installDir_ + file);
    }
    ::setenv("VYNCONF_PATH", installDir_.c_str(), 1);
    ::setenv("CONFIG_FILE_SMTP", "aen.conf", 1);
    ::setenv("VYN_PLUGIN_LOG", "/var/log/plugin.txt", 1);
    ::unsetenv("VYN_PLUGIN_INIT_RESULT");
    ::unsetenv("VYN_PLUGIN_RELEASE");
    // Present before any daemon thread runs, so the daemon's own setenv only
    // replaces a value and never regrows the environment under a reader.
    ::setenv("EVT_SOURCE_ESX", "", 1);
}

void AenDaemonTest::TearDown()
{
    resetDaemonState();
    for (const char* name : {"VYNCONF_PATH", "CONFIG_FILE_SMTP", "VYN_PLUGIN_LOG", "VYN_PLUGIN_INIT_RESULT",
                             "VYN_PLUGIN_RELEASE"})
        ::unsetenv(name);
    HostRootTest::TearDown();
}

void AenDaemonTest::writeInstallFile(const std::string& name, const std::string& content) const
{
    vyntest::writeFile(installDir_ + name, content);
}

std::vector<std::string> AenDaemonTest::daemonLog() const
{
    return splitLines(vyntest::readFile(hostFile("/var/log/vynlistend.log")));
}

std::vector<std::string> AenDaemonTest::pluginLines() const
{
    return splitLines(vyntest::readFile(hostFile("/var/log/plugin.txt")));
}

bool AenDaemonTest::logHas(const std::string& text) const
{
    return vyntest::readFile(hostFile("/var/log/vynlistend.log")).find(text) != std::string::npos;
}

bool AenDaemonTest::waitForPluginLines(std::size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pluginLines().size() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string AenDaemonTest::credentialFile(const std::string& host, const std::string& port, const std::string& user,
                                          const std::string& password)
{
    std::string out;
    for (std::string field : {host, port, user, password}) {
        const uint32_t n = static_cast<uint32_t>(field.size());
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
        char* scrambled = nullptr;
        decryption(&field[0], scrambled, static_cast<int>(n));
        out += field;
    }
    return out;
}

}  // namespace aentest
