#ifndef VYN_CLI_COMMANDS_GETSMARTSTATS_H
#define VYN_CLI_COMMANDS_GETSMARTSTATS_H

#include "cli/UcliFunction.h"

// GETSMARTSTATS: the SMART statistics of a controller's hard drives.
class GetSmartStats : public UcliCommand {
public:
    GetSmartStats() : UcliCommand("GETSMARTSTATS", "gets the SMART statistics", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    bool tabular = false;
};

#endif
