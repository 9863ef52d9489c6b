#ifndef VYN_CLI_COMMANDS_SETSTATISTICDATACOLLECTION_H
#define VYN_CLI_COMMANDS_SETSTATISTICDATACOLLECTION_H

#include "cli/UcliFunction.h"

class SetStatisticDataCollection : public UcliCommand {
public:
    SetStatisticDataCollection()
        : UcliCommand("SETSTATSDATACOLLECTION",
                      "toggles the controller statistics data collection modes",
                      Listed)
    {
    }
};

#endif
