#ifndef VYN_CLI_COMMANDS_SETPOWER_H
#define VYN_CLI_COMMANDS_SETPOWER_H

#include "cli/UcliFunction.h"

class SetPower : public UcliCommand {
public:
    SetPower()
        : UcliCommand("SETPOWER",
                      "power settings for controller or logical device",
                      Listed)
    {
    }
};

#endif
