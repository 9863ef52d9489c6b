#ifndef VYN_CLI_COMMANDS_RESETSTATISTICSCOUNTERS_H
#define VYN_CLI_COMMANDS_RESETSTATISTICSCOUNTERS_H

#include "cli/UcliFunction.h"

class ResetStatisticsCounters : public UcliCommand {
public:
    ResetStatisticsCounters()
        : UcliCommand("RESETSTATISTICSCOUNTERS",
                      "resets the controller statistics counters",
                      Listed)
    {
    }
};

#endif
