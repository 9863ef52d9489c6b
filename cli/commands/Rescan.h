#ifndef VYN_CLI_COMMANDS_RESCAN_H
#define VYN_CLI_COMMANDS_RESCAN_H

#include "cli/UcliFunction.h"

// RESCAN: the controller looks again for added or removed drives.
class Rescan : public UcliCommand {
public:
    Rescan() : UcliCommand("RESCAN", "checks for new or removed drives", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    // Accepted for compatibility; every rescan waits for its end.
    bool force = false;
};

#endif
