#ifndef VYN_CLI_COMMANDS_CLEARNVSRAM_H
#define VYN_CLI_COMMANDS_CLEARNVSRAM_H

#include "cli/UcliFunction.h"

class ClearNvsRam : public UcliCommand {
public:
    ClearNvsRam()
        : UcliCommand("CLEARNVSRAM",
                      "clears the SAS NVSRAM layout for the controller",
                      Hidden)
    {
    }
};

#endif
