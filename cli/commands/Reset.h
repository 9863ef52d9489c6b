#ifndef VYN_CLI_COMMANDS_RESET_H
#define VYN_CLI_COMMANDS_RESET_H

#include "cli/UcliFunction.h"

class Reset : public UcliCommand {
public:
    Reset()
        : UcliCommand("RESET",
                      "resets a .ufi updated controller, avoiding required reboot",
                      Hidden)
    {
    }
};

#endif
