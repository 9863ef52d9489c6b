#ifndef VYN_CLI_COMMANDS_CLEARNVSRAM_H
#define VYN_CLI_COMMANDS_CLEARNVSRAM_H

#include "cli/UcliFunction.h"

// CLEARNVSRAM: clears the controller's SAS NVSRAM layout.
class ClearNvsRam : public UcliCommand {
public:
    ClearNvsRam()
        : UcliCommand("CLEARNVSRAM",
                      "clears the SAS NVSRAM layout for the controller",
                      Hidden)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;
};

#endif
