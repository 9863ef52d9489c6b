#ifndef VYN_CLI_VYNCONF_H
#define VYN_CLI_VYNCONF_H

#include <cstdio>
#include <string>
#include <vector>

#include "cli/LibraryFactory.h"

// The vynconf program: `words` are the command line with the program name
// first; everything the program shows goes to `realOut`. Returns the exit
// code.
int runVynconf(const std::vector<std::string>& words, LibraryFactory makeLibrary, FILE* realOut);

#endif
