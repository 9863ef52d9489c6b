#ifndef VYN_CLI_COMMANDS_SETSTATE_H
#define VYN_CLI_COMMANDS_SETSTATE_H

#include "cli/UcliFunction.h"

class SetState : public UcliCommand {
public:
    SetState()
        : UcliCommand("SETSTATE",
                      "manually sets the state of a physical or logical device",
                      Listed)
    {
    }
};

#endif
