#ifndef VYN_TESTS_LISTENER_PROGRAMSUPPORT_H
#define VYN_TESTS_LISTENER_PROGRAMSUPPORT_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace aentest {

// Makes this process the reaper of orphaned descendants, so that the daemon,
// once its launcher has exited, becomes a child of the test.
void becomeSubreaper();

// Starts `program` with `args` in this process's environment.
pid_t spawnProgram(const std::string& program, const std::vector<std::string>& args);

// Exit status of `pid`, or -1 when it has not ended within `timeout` (or
// ended by a signal: -2).
int waitExit(pid_t pid, std::chrono::milliseconds timeout);

// A child of this process other than `except`; 0 when none shows up in time.
pid_t findChild(pid_t except, std::chrono::milliseconds timeout);

}  // namespace aentest

#endif
