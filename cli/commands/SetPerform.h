#ifndef VYN_CLI_COMMANDS_SETPERFORM_H
#define VYN_CLI_COMMANDS_SETPERFORM_H

#include "cli/UcliFunction.h"

// SETPERFORM: the controller's performance mode for its application.
class SetPerform : public UcliCommand {
public:
    SetPerform()
        : UcliCommand("SETPERFORM",
                      "changes adapter settings based on application",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    // EnumPerformanceMode: 0 Default/Dynamic, 3 OLTP/Database, 11 Big Block
    // Bypass.
    int mode = 0;
};

#endif
