#ifndef VYN_CLI_COMMANDS_RESCAN_H
#define VYN_CLI_COMMANDS_RESCAN_H

#include "cli/UcliFunction.h"

class Rescan : public UcliCommand {
public:
    Rescan() : UcliCommand("RESCAN", "checks for new or removed drives", Listed) {}
};

#endif
