#ifndef VYN_CLI_COMMANDS_FAILOVER_H
#define VYN_CLI_COMMANDS_FAILOVER_H

#include "cli/UcliFunction.h"

class FailOver : public UcliCommand {
public:
    FailOver()
        : UcliCommand("FAILOVER",
                      "toggles the controller automatic failover mode",
                      Listed)
    {
    }
};

#endif
