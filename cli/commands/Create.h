#ifndef VYN_CLI_COMMANDS_CREATE_H
#define VYN_CLI_COMMANDS_CREATE_H

#include "cli/UcliFunction.h"

class Create : public UcliCommand {
public:
    Create() : UcliCommand("CREATE", "creates a logical device", Listed) {}
};

#endif
