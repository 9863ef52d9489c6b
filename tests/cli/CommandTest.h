#ifndef VYN_TESTS_CLI_COMMANDTEST_H
#define VYN_TESTS_CLI_COMMANDTEST_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CliTest.h"
#include "cli/Vynconf.h"
#include "cli/support/CommandRunners.h"
#include "cli/support/Fixtures.h"
#include "cli/support/RecordingLib.h"
#include "cli/support/Scenario.h"

namespace vyntest {

// A command test: the program or the provider over one scenario, whose
// call log the test reads afterwards.
class CommandTest : public CliTest {
protected:
    // Starts over on another fixture; earlier tree changes and seeds go.
    Scenario& use(const std::string& fixture)
    {
        scenario = Scenario::make(fixture);
        return *scenario;
    }

    // The program with `words` after its name; the exit code.
    int run(const std::vector<std::string>& words)
    {
        std::vector<std::string> line{"vynconf"};
        line.insert(line.end(), words.begin(), words.end());
        return runVynconf(line, scenario->factory(), out);
    }

    // The real output of one run, which starts on an empty output file of
    // its own; `code` receives the exit code.
    std::string runShown(const std::vector<std::string>& words, int& code)
    {
        std::FILE* previous = out;
        out = std::tmpfile();
        code = run(words);
        const std::string text = realOut();
        std::fclose(out);
        out = previous;
        return text;
    }

    ProviderResult runProvider(const std::vector<std::string>& words, bool warningFlag = false)
    {
        return runAsProvider(words, scenario->factory(), warningFlag);
    }

    const std::vector<std::string>& calls() const { return scenario->calls(); }

    std::shared_ptr<Scenario> scenario = Scenario::make("basic");
};

}  // namespace vyntest

#endif
