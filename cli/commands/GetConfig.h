#ifndef VYN_CLI_COMMANDS_GETCONFIG_H
#define VYN_CLI_COMMANDS_GETCONFIG_H

#include "cli/UcliFunction.h"

class GetConfig : public UcliCommand {
public:
    GetConfig() : UcliCommand("GETCONFIG", "prints controller information", Listed) {}
};

#endif
