#include "ProgramSupport.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace aentest {

void becomeSubreaper()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

pid_t spawnProgram(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

int waitExit(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t got = ::waitpid(pid, &status, WNOHANG);
        if (got == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        if (got < 0 || std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

namespace {

pid_t parentOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name is in parentheses and may hold blanks: read after it.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

}  // namespace

pid_t findChild(pid_t except, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const pid_t self = ::getpid();
    for (;;) {
        if (DIR* proc = ::opendir("/proc")) {
            pid_t found = 0;
            while (dirent* entry = ::readdir(proc)) {
                const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
                if (pid > 0 && pid != except && parentOf(pid) == self) {
                    found = pid;
                    break;
                }
            }
            ::closedir(proc);
            if (found != 0)
                return found;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace aentest
