#ifndef VYN_CLI_COMMANDS_BACKUP_H
#define VYN_CLI_COMMANDS_BACKUP_H

#include "cli/UcliFunction.h"

class Backup : public UcliCommand {
public:
    Backup() : UcliCommand("BACKUP", "saves the current configuration to a file", Hidden) {}
};

#endif
