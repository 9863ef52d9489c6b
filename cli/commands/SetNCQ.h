#ifndef VYN_CLI_COMMANDS_SETNCQ_H
#define VYN_CLI_COMMANDS_SETNCQ_H

#include "cli/UcliFunction.h"

class SetNCQ : public UcliCommand {
public:
    SetNCQ() : UcliCommand("SETNCQ", "toggles the controller NCQ status", Listed) {}
};

#endif
