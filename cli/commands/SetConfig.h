#ifndef VYN_CLI_COMMANDS_SETCONFIG_H
#define VYN_CLI_COMMANDS_SETCONFIG_H

#include "cli/UcliFunction.h"

// SETCONFIG DEFAULT: back to the factory state; power management cleared,
// every logical drive deleted and every drive made ready.
class SetConfig : public UcliCommand {
public:
    SetConfig() : UcliCommand("SETCONFIG", "restores the default configuration", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;
};

#endif
