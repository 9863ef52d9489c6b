#ifndef VYN_CLI_COMMANDS_COPYBACK_H
#define VYN_CLI_COMMANDS_COPYBACK_H

#include "cli/UcliFunction.h"

class Copyback : public UcliCommand {
public:
    Copyback() : UcliCommand("COPYBACK", "toggles controller copy back mode", Listed) {}
};

#endif
