#ifndef VYN_CLI_COMMANDS_SETPOWER_H
#define VYN_CLI_COMMANDS_SETPOWER_H

#include "cli/UcliFunction.h"

class Adapter;

// SETPOWER: the controller's stay-awake window and spin-up limits, and the
// power-management timers of one logical drive.
class SetPower : public UcliCommand {
public:
    SetPower() : UcliCommand("SETPOWER", "power settings for controller or logical device", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    int loadTimers(char** argv, int argc);

    int logicalDrive = 0;
    int startTime = -1;
    int endTime = -1;
    int internalLimit = -1;
    int externalLimit = -1;
    int slowDownTimer = -1;
    int powerOffTimer = -1;
    int verifyTimer = -1;
    int mode = 0;
    // Bit 0 Monday to bit 6 Sunday.
    unsigned char dow = 0;
};

#endif
