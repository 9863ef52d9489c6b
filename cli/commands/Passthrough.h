#ifndef VYN_CLI_COMMANDS_PASSTHROUGH_H
#define VYN_CLI_COMMANDS_PASSTHROUGH_H

#include "cli/UcliFunction.h"

class Passthrough : public UcliCommand {
public:
    Passthrough()
        : UcliCommand("PASSTHROUGH",
                      "sends a passthrough SCSI command to a device",
                      Hidden)
    {
    }
};

#endif
