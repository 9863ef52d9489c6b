#ifndef VYN_CLI_COMMANDS_MODIFY_H
#define VYN_CLI_COMMANDS_MODIFY_H

#include "cli/UcliFunction.h"

class Modify : public UcliCommand {
public:
    Modify()
        : UcliCommand("MODIFY",
                      "performs RAID Level Migration or Online Capacity Expansion",
                      Listed)
    {
    }
};

#endif
