#ifndef VYN_CLI_COMMANDS_ROMUPDATE_H
#define VYN_CLI_COMMANDS_ROMUPDATE_H

#include "cli/UcliFunction.h"

class RomUpdate : public UcliCommand {
public:
    RomUpdate() : UcliCommand("ROMUPDATE", "updates controller firmware", Listed) {}
};

#endif
