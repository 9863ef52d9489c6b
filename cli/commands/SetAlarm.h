#ifndef VYN_CLI_COMMANDS_SETALARM_H
#define VYN_CLI_COMMANDS_SETALARM_H

#include "cli/UcliFunction.h"

// SETALARM: the audible alarm of the controller or of an SES-2 enclosure.
class SetAlarm : public UcliCommand {
public:
    SetAlarm() : UcliCommand("SETALARM", "controls the controller alarm, if present", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    int executeEnclosure(StorLibPlugin* lib);

    // EnumAlarmState: 1 on, 2 off, 3 silence, 4 test.
    int state = 0;
    int channel = 0;
    int device = 0;
    bool enclosure = false;
};

#endif
