#ifndef VYN_CLI_COMMANDS_IDENTIFY_H
#define VYN_CLI_COMMANDS_IDENTIFY_H

#include "cli/UcliFunction.h"

// IDENTIFY: blinks a controller, a hard drive or the members of a logical
// drive. A remote caller keeps them blinking between its two requests.
class Identify : public UcliCommand {
public:
    Identify()
        : UcliCommand("IDENTIFY",
                      "blinks LEDS on device(s) connected to a controller",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    unsigned long logicalDrive = 0;
    unsigned long channel = 0;
    unsigned long deviceID = 0;
    bool logicalDriveFlag = false;
    bool deviceFlag = false;
    bool allFlag = false;
};

#endif
