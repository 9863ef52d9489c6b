#ifndef VYN_CLI_COMMANDS_SETPRIORITY_H
#define VYN_CLI_COMMANDS_SETPRIORITY_H

#include "cli/UcliFunction.h"

class SetPriority : public UcliCommand {
public:
    SetPriority()
        : UcliCommand("SETPRIORITY",
                      "changes specific or global task priority",
                      Listed)
    {
    }
};

#endif
