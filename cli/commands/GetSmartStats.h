#ifndef VYN_CLI_COMMANDS_GETSMARTSTATS_H
#define VYN_CLI_COMMANDS_GETSMARTSTATS_H

#include "cli/UcliFunction.h"

class GetSmartStats : public UcliCommand {
public:
    GetSmartStats() : UcliCommand("GETSMARTSTATS", "gets the SMART statistics", Listed) {}
};

#endif
