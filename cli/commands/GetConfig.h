#ifndef VYN_CLI_COMMANDS_GETCONFIG_H
#define VYN_CLI_COMMANDS_GETCONFIG_H

#include "cli/UcliFunction.h"

// GETCONFIG: the configuration report of one controller, whole or one of its
// sections.
class GetConfig : public UcliCommand {
public:
    enum Mode { All = 1, AdapterOnly = 2, OneLogicalDrive = 3, LogicalDrives = 4, PhysicalDevices = 6 };

    GetConfig() : UcliCommand("GETCONFIG", "prints controller information", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    // The driver builds only this controller's part of the tree.
    int loadAdapterNumberArgs(char** argv, int argc) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    Mode mode = All;
    unsigned logicalDriveNumber = 0;
};

#endif
