#include "CliTest.h"

#include "cli/CommandLog.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"

#include <cstdlib>

namespace vyntest {

void CliTest::SetUp()
{
    HostRootTest::SetUp();
    resetEngineState();
    setUCliLogPath();
    useUserEventLog = 0;
    userEventLog = nullptr;
    useUserErrorLog = 0;
    userErrorLog = nullptr;
    disableUcliLog = 0;
    out = std::tmpfile();
    err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    previousOut_ = ucliRealStdout;
    previousErr_ = ucliRealStderr;
    ucliRealStdout = out;
    ucliRealStderr = err;
}

void CliTest::TearDown()
{
    ucliRealStdout = previousOut_;
    ucliRealStderr = previousErr_;
    capturedOutputSink = nullptr;
    setTerminal(nullptr);
    resetEngineState();
    disableUcliLog = 0;
    std::fclose(out);
    std::fclose(err);
    HostRootTest::TearDown();
}

std::string CliTest::realOut() const
{
    return readStream(out);
}

std::string CliTest::realErr() const
{
    return readStream(err);
}

std::string readStream(FILE* stream)
{
    std::fflush(stream);
    const long end = std::ftell(stream);
    std::rewind(stream);
    std::string text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, stream)) > 0)
        text.append(chunk, n);
    std::fseek(stream, end, SEEK_SET);
    return text;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::vector<std::string> logEntries(const std::string& log)
{
    std::vector<std::string> entries = lines(log);
    if (!entries.empty())
        entries.erase(entries.begin());
    for (std::string& entry : entries)
        entry = entry.size() >= 26 ? entry.substr(26) : "<short:" + entry + ">";
    return entries;
}

long logCounter(const std::string& log)
{
    const std::vector<std::string> all = lines(log);
    if (all.empty())
        return -1;
    char* end = nullptr;
    const long value = std::strtol(all[0].c_str(), &end, 10);
    if (end == all[0].c_str())
        return -1;
    for (; *end != '\0'; ++end)
        if (*end != ' ')
            return -1;
    return value;
}

}  // namespace vyntest
