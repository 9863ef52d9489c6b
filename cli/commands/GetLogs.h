#ifndef VYN_CLI_COMMANDS_GETLOGS_H
#define VYN_CLI_COMMANDS_GETLOGS_H

#include "cli/UcliFunction.h"

class GetLogs : public UcliCommand {
public:
    GetLogs() : UcliCommand("GETLOGS", "gets controller log information", Listed) {}
};

#endif
