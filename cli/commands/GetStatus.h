#ifndef VYN_CLI_COMMANDS_GETSTATUS_H
#define VYN_CLI_COMMANDS_GETSTATUS_H

#include "cli/UcliFunction.h"

class Progress;

// GETSTATUS: the background tasks running on a controller's logical drives
// and hard drives.
class GetStatus : public UcliCommand {
public:
    GetStatus() : UcliCommand("GETSTATUS", "displays the status of running tasks", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    void displayProgress(const Progress& record);

    bool shown = false;
    unsigned long logicalDriveLimit = 0;
};

#endif
