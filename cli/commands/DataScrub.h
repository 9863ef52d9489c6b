#ifndef VYN_CLI_COMMANDS_DATASCRUB_H
#define VYN_CLI_COMMANDS_DATASCRUB_H

#include "cli/UcliFunction.h"

// DATASCRUB: background consistency checking and its period in days.
class DataScrub : public UcliCommand {
public:
    DataScrub()
        : UcliCommand("DATASCRUB",
                      "toggles the controller background consistency check mode",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    bool flag = false;
    // 0 when no period was given.
    int period = 0;
};

#endif
