#ifndef VYN_TESTS_CLI_SUPPORT_COMMANDRUNNERS_H
#define VYN_TESTS_CLI_SUPPORT_COMMANDRUNNERS_H

#include <string>
#include <vector>

#include "cli/CliSleep.h"
#include "cli/LibraryFactory.h"

namespace vyntest {

// What the command provider hands back for one request.
struct ProviderResult {
    // The provider column's value of the result table.
    int value = 0;
    // The captured text, "result" of "executeCommand".
    std::string text;
    // outputWarningFlag, "warningType" of "executeCommand".
    int warningType = 0;
};

// Runs one request as the command provider runs "executeCommand" with the
// command words `words` (the keyword first, no program name) and its
// "warningFlag": the engine gets inputWarningFlag, "noprompt" as the last of
// three or more words is taken off and clears `prompt`, nothing is written
// to a real output (captured text stays for the caller), and the result goes
// through the provider column. The library and the registry are released
// before it returns; what the library recorded stays in its Scenario.
ProviderResult runAsProvider(const std::vector<std::string>& words, const LibraryFactory& makeLibrary,
                             bool warningFlag);

// Puts a recording sleep in place of the real one for its lifetime: every
// pause is noted and none waits.
class RecordedSleeps {
public:
    RecordedSleeps();
    ~RecordedSleeps();
    RecordedSleeps(const RecordedSleeps&) = delete;
    RecordedSleeps& operator=(const RecordedSleeps&) = delete;

    // The seconds of each pause, in order.
    const std::vector<unsigned>& pauses() const;

private:
    CliSleepFunction previous_;
};

}  // namespace vyntest

#endif
