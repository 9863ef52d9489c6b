#ifndef VYN_CLI_COMMANDS_RESET_H
#define VYN_CLI_COMMANDS_RESET_H

#include "cli/UcliFunction.h"

// RESET: restarts a controller so that newly flashed firmware runs without
// a reboot of the host.
class Reset : public UcliCommand {
public:
    Reset()
        : UcliCommand("RESET",
                      "resets a .ufi updated controller, avoiding required reboot",
                      Hidden)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;
};

#endif
