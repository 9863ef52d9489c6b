// cmpi-call run as a program on the test provider library.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const char* const kLibrary = VYN_CMPI_TESTPROVIDER;

struct CallRun {
    int exitCode = -1;
    std::string out;
};

CallRun runCmpiCall(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = VYN_CMPI_CALL;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);

    CallRun run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) run.out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct Case {
    const char* name;
    std::vector<std::string> args;  // after <lib> <provider> <namespace> <class>
    int exitCode;
    const char* out;
};

const Case kCases[] = {
    {"method with every output type",
     {"passing"},
     0,
     "status 0\n"
     "return returned\n"
     "out chars text\n"
     "out string made\n"
     "out uint32 7\n"
     "out sint32 -7\n"
     "out boolean true\n"
     "out names first\n"
     "out names second\n"
     "out numbers 1\n"
     "out numbers 2\n"
     "out path root/test:Test_Class.InstanceID=\"TestInstance\"\n"
     "out instance instance root/test:Test_Class.InstanceID=\"TestInstance\"\n"},
    {"input types",
     {"echoAll", "text:string=tab\there \"q\"\n", "flag:boolean=false", "count:uint32=4294967295",
      "words:string[]=a,,b"},
     0,
     "status 0\n"
     "out text tab\\there \\\"q\\\"\\n\n"
     "out flag false\n"
     "out count 4294967295\n"
     "out words a\n"
     "out words \n"
     "out words b\n"},
    {"empty string array", {"echoAll", "words:string[]="}, 0, "status 0\n"},
    {"names",
     {"enumInstanceNames"},
     0,
     "status 0\npath root/test:Test_Class.InstanceID=\"TestInstance\"\n"},
    {"instances",
     {"enumInstances"},
     0,
     "status 0\ninstance root/test:Test_Class.InstanceID=\"TestInstance\"\n"
     "property InstanceID TestInstance\n"},
    {"instance by key",
     {"InstanceID=TestInstance", "getInstance"},
     0,
     "status 0\ninstance root/test:Test_Class.InstanceID=\"TestInstance\"\n"
     "property InstanceID TestInstance\n"},
    {"instance with a wrong key", {"InstanceID=Other", "getInstance"}, 0, "status 6\n"},
    {"unknown method", {"InstanceID=TestInstance", "noSuchMethod"}, 0, "status 17\n"},
    {"provider exception", {"throwRuntime"}, 0, "status 1\n"},
    {"no operation", {"InstanceID=x"}, 2, ""},
    {"unknown type", {"echoAll", "count:int=1"}, 2, ""},
    {"uint32 out of range", {"echoAll", "count:uint32=4294967296"}, 2, ""},
    {"boolean spelled oddly", {"echoAll", "flag:boolean=yes"}, 2, ""},
    {"argument without type", {"echoAll", "count=1"}, 2, ""},
};

TEST(CmpiCall, PrintsStatusReturnAndOutputArguments) {
    for (const Case& c : kCases) {
        std::vector<std::string> args = {kLibrary, "vynTestProvider", "root/test", "Test_Class"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CallRun run = runCmpiCall(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(run.out, c.out) << c.name;
    }
}

TEST(CmpiCall, FailsWithoutLibraryOrProvider) {
    EXPECT_EQ(
        runCmpiCall({"/nonexistent/libnone.so", "vynTestProvider", "root/test", "C", "m"}).exitCode,
        1);
    EXPECT_EQ(runCmpiCall({kLibrary, "vynNoSuchProvider", "root/test", "C", "m"}).exitCode, 1);
    CallRun failing = runCmpiCall({kLibrary, "vynFailingProvider", "root/test", "C", "m"});
    EXPECT_EQ(failing.exitCode, 1);
    EXPECT_EQ(failing.out, "");
    EXPECT_EQ(runCmpiCall({}).exitCode, 2);
}

}  // namespace
