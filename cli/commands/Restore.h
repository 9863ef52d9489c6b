#ifndef VYN_CLI_COMMANDS_RESTORE_H
#define VYN_CLI_COMMANDS_RESTORE_H

#include "cli/UcliFunction.h"

// RESTORE: replaces the controller's configuration by an image saved by
// BACKUP, once the controller has shown that it takes images at all.
class Restore : public UcliCommand {
public:
    Restore() : UcliCommand("RESTORE", "restores a configuration from a saved file", Hidden) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    const char* fileName = nullptr;
};

#endif
