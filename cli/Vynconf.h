#ifndef VYN_CLI_VYNCONF_H
#define VYN_CLI_VYNCONF_H

#include <cstdio>
#include <string>
#include <vector>

#include "cli/LibraryFactory.h"

class FunctionResolver;
class StorLibPlugin;

// The vynconf program: `words` are the command line with the program name
// first; everything the program shows goes to `realOut`. Returns the exit
// code.
int runVynconf(const std::vector<std::string>& words, LibraryFactory makeLibrary, FILE* realOut);

// The program's last steps once the library is loaded: dispatches through
// `resolver`, prints the final message and writes the event-log entry (none
// for results 7, 8 and 16, nor while the logs are off). Returns the exit code.
int runDispatchedCommand(FunctionResolver& resolver, StorLibPlugin* lib, const char* keyword);

#endif
