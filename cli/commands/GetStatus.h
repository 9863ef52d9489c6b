#ifndef VYN_CLI_COMMANDS_GETSTATUS_H
#define VYN_CLI_COMMANDS_GETSTATUS_H

#include "cli/UcliFunction.h"

class GetStatus : public UcliCommand {
public:
    GetStatus() : UcliCommand("GETSTATUS", "displays the status of running tasks", Listed) {}
};

#endif
