#ifndef VYN_CLI_COMMANDS_SETORVEXA_H
#define VYN_CLI_COMMANDS_SETORVEXA_H

#include "cli/UcliFunction.h"

class SetOrvexa : public UcliCommand {
public:
    SetOrvexa()
        : UcliCommand("SETORVEXA",
                      "adjusts Orvexa settings for physical or logical device",
                      Listed)
    {
    }
};

#endif
