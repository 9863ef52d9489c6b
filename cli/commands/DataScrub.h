#ifndef VYN_CLI_COMMANDS_DATASCRUB_H
#define VYN_CLI_COMMANDS_DATASCRUB_H

#include "cli/UcliFunction.h"

class DataScrub : public UcliCommand {
public:
    DataScrub()
        : UcliCommand("DATASCRUB",
                      "toggles the controller background consistency check mode",
                      Listed)
    {
    }
};

#endif
