#ifndef VYN_CLI_COMMANDS_SETPERFORM_H
#define VYN_CLI_COMMANDS_SETPERFORM_H

#include "cli/UcliFunction.h"

class SetPerform : public UcliCommand {
public:
    SetPerform()
        : UcliCommand("SETPERFORM",
                      "changes adapter settings based on application",
                      Listed)
    {
    }
};

#endif
