#ifndef VYN_CLI_COMMANDS_SETNAME_H
#define VYN_CLI_COMMANDS_SETNAME_H

#include "cli/UcliFunction.h"

// SETNAME: renames a logical drive.
class SetName : public UcliCommand {
public:
    SetName()
        : UcliCommand("SETNAME",
                      "renames a logical device given its logical device number",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    static constexpr unsigned long MAX_NAME_LENGTH = 16;

private:
    unsigned long logicalDrive = 0;
    const char* newName = nullptr;
};

#endif
