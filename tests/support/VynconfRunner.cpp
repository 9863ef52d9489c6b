#include "support/VynconfRunner.h"

#include "support/HostRootTest.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <regex>

extern char** environ;

namespace vyntest {

namespace {

// This process's environment with the two variables replaced.
std::vector<std::string> childEnvironment(const std::string& root, const std::string& simulator)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "VYN_HOST_ROOT=", 14) == 0 || std::strncmp(*e, "VYN_SIMULATOR=", 14) == 0)
            continue;
        env.emplace_back(*e);
    }
    env.push_back("VYN_HOST_ROOT=" + root);
    if (!simulator.empty())
        env.push_back("VYN_SIMULATOR=" + simulator);
    return env;
}

}  // namespace

namespace {

// A started run and where its streams go.
struct StartedRun {
    pid_t pid = 0;
    std::string outPath;
    std::string errPath;
};

StartedRun startVynconf(const std::string& program, const std::string& root, const std::string& simulator,
                        const std::vector<std::string>& args, const std::string& streams)
{
    StartedRun started;
    started.outPath = root + "/tmp/" + streams + ".stdout";
    started.errPath = root + "/tmp/" + streams + ".stderr";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env = childEnvironment(root, simulator);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, started.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, started.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int spawned = posix_spawn(&started.pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        started.pid = 0;
    return started;
}

ProgramRun finishVynconf(const StartedRun& started)
{
    ProgramRun run;
    if (started.pid == 0)
        return run;
    int status = 0;
    while (waitpid(started.pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    run.output = readFile(started.outPath);
    run.error = readFile(started.errPath);
    return run;
}

}  // namespace

ProgramRun runVynconf(const std::string& program, const std::string& root, const std::string& simulator,
                      const std::vector<std::string>& args)
{
    return finishVynconf(startVynconf(program, root, simulator, args, "vynconf"));
}

std::vector<ProgramRun> runVynconfTogether(const std::string& program, const std::string& root,
                                           const std::string& simulator,
                                           const std::vector<std::vector<std::string>>& argsOfEach)
{
    std::vector<StartedRun> started;
    for (size_t i = 0; i < argsOfEach.size(); ++i)
        started.push_back(startVynconf(program, root, simulator, argsOfEach[i], "vynconf." + std::to_string(i)));
    std::vector<ProgramRun> runs;
    for (const StartedRun& s : started)
        runs.push_back(finishVynconf(s));
    return runs;
}

std::string maskDates(const std::string& text)
{
    static const std::regex dates(R"(\d{4}-\d{2}-\d{2}|\d{1,2}/\d{1,2}/\d{4}|\d{1,2}:\d{2}:\d{2})");
    return std::regex_replace(text, dates, "#");
}

}  // namespace vyntest
