#ifndef VYN_TESTS_SUPPORT_VYNCONFRUNNER_H
#define VYN_TESTS_SUPPORT_VYNCONFRUNNER_H

#include <string>
#include <vector>

namespace vyntest {

// What one run of the command-line program gave.
struct ProgramRun {
    std::string output;  // standard output
    std::string error;   // standard error
    int exitCode = -1;   // -1 when it could not start, -2 when a signal ended it
};

// Runs `program` (the built vynconf) with `args` under the host root `root`
// (VYN_HOST_ROOT) and the simulator description `simulator` (VYN_SIMULATOR:
// "default", a file, or empty for none), the rest of this process's
// environment unchanged, and waits for it.
ProgramRun runVynconf(const std::string& program, const std::string& root, const std::string& simulator,
                      const std::vector<std::string>& args);

// Runs of `program` started one right after the other, so that they work
// at the same time, one for each argument list; waits for all of them and
// gives their outcomes in the order of the lists.
std::vector<ProgramRun> runVynconfTogether(const std::string& program, const std::string& root,
                                           const std::string& simulator,
                                           const std::vector<std::vector<std::string>>& argsOfEach);

// `text` with every date and time of day (2026-12-11, 12/11/2026, 01:02:03)
// replaced by "#", so that whole outputs compare.
std::string maskDates(const std::string& text);

}  // namespace vyntest

#endif
