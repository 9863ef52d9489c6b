#ifndef VYN_CLI_COMMANDS_ROMUPDATE_H
#define VYN_CLI_COMMANDS_ROMUPDATE_H

#include "cli/UcliFunction.h"

class Adapter;

// ROMUPDATE: flashes a controller image found by its base name onto one
// controller or all, logging each controller's outcome itself.
class RomUpdate : public UcliCommand {
public:
    RomUpdate() : UcliCommand("ROMUPDATE", "updates controller firmware", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // Whether an image was found; its name is left in `imageName`, and the
    // name searched for first when none is.
    bool findUfiFile();
    // The command event log's prefix for this controller's entry.
    void setEventLogEntry(Adapter* adapter);

private:
    char baseName[512] = {};
    char imageName[518] = {};
    const char* keywordTyped = "ROMUPDATE";
    bool skip = false;
    bool allControllers = false;
    bool force = false;
    bool newVersionGiven = false;
    int newBuild = 0;
};

#endif
