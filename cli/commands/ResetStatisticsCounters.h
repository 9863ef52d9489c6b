#ifndef VYN_CLI_COMMANDS_RESETSTATISTICSCOUNTERS_H
#define VYN_CLI_COMMANDS_RESETSTATISTICSCOUNTERS_H

#include "cli/UcliFunction.h"

// RESETSTATISTICSCOUNTERS: sets the controller's statistics counters to zero.
class ResetStatisticsCounters : public UcliCommand {
public:
    ResetStatisticsCounters()
        : UcliCommand("RESETSTATISTICSCOUNTERS",
                      "resets the controller statistics counters",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;
};

#endif
