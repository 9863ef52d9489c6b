#ifndef VYN_CLI_COMMANDS_RESTORE_H
#define VYN_CLI_COMMANDS_RESTORE_H

#include "cli/UcliFunction.h"

class Restore : public UcliCommand {
public:
    Restore() : UcliCommand("RESTORE", "restores a configuration from a saved file", Hidden) {}
};

#endif
