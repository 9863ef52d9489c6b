#ifndef VYN_CLI_COMMANDS_SETNAME_H
#define VYN_CLI_COMMANDS_SETNAME_H

#include "cli/UcliFunction.h"

class SetName : public UcliCommand {
public:
    SetName()
        : UcliCommand("SETNAME",
                      "renames a logical device given its logical device number",
                      Listed)
    {
    }
};

#endif
