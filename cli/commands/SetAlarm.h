#ifndef VYN_CLI_COMMANDS_SETALARM_H
#define VYN_CLI_COMMANDS_SETALARM_H

#include "cli/UcliFunction.h"

class SetAlarm : public UcliCommand {
public:
    SetAlarm() : UcliCommand("SETALARM", "controls the controller alarm, if present", Listed) {}
};

#endif
