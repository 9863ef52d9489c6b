#ifndef VYN_CLI_COMMANDS_SETCONFIG_H
#define VYN_CLI_COMMANDS_SETCONFIG_H

#include "cli/UcliFunction.h"

class SetConfig : public UcliCommand {
public:
    SetConfig() : UcliCommand("SETCONFIG", "restores the default configuration", Listed) {}
};

#endif
