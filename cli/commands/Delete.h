#ifndef VYN_CLI_COMMANDS_DELETE_H
#define VYN_CLI_COMMANDS_DELETE_H

#include "cli/UcliFunction.h"

class Delete : public UcliCommand {
public:
    Delete() : UcliCommand("DELETE", "deletes one or more logical devices", Listed) {}
};

#endif
