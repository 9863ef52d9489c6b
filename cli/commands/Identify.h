#ifndef VYN_CLI_COMMANDS_IDENTIFY_H
#define VYN_CLI_COMMANDS_IDENTIFY_H

#include "cli/UcliFunction.h"

class Identify : public UcliCommand {
public:
    Identify()
        : UcliCommand("IDENTIFY",
                      "blinks LEDS on device(s) connected to a controller",
                      Listed)
    {
    }
};

#endif
