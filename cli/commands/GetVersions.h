#ifndef VYN_CLI_COMMANDS_GETVERSIONS_H
#define VYN_CLI_COMMANDS_GETVERSIONS_H

#include "cli/UcliFunction.h"

// GETVERSION: firmware, BIOS, driver and boot-flash versions of one or all
// controllers.
class GetVersions : public UcliCommand {
public:
    GetVersions()
        : UcliCommand("GETVERSION",
                      "prints version information for all controllers",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    bool allControllers = true;
};

#endif
