#ifndef VYN_CLI_COMMANDS_GETVERSIONS_H
#define VYN_CLI_COMMANDS_GETVERSIONS_H

#include "cli/UcliFunction.h"

class GetVersions : public UcliCommand {
public:
    GetVersions()
        : UcliCommand("GETVERSION",
                      "prints version information for all controllers",
                      Listed)
    {
    }
};

#endif
