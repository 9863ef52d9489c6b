#ifndef VYN_CLI_COMMANDS_BACKUP_H
#define VYN_CLI_COMMANDS_BACKUP_H

#include "cli/UcliFunction.h"

// BACKUP: the controller's configuration image, as the library hands it
// over, into a file; only from a healthy configuration.
class Backup : public UcliCommand {
public:
    // Bytes of the configuration image that BACKUP and RESTORE move.
    static constexpr unsigned long IMAGE_SIZE = 0x20000;

    Backup() : UcliCommand("BACKUP", "saves the current configuration to a file", Hidden) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // Whether the controller, its logical drives and its devices are all
    // healthy; prints what is not.
    bool isGoodConfiguration(StorLibPlugin* lib);

private:
    const char* fileName = nullptr;
};

#endif
