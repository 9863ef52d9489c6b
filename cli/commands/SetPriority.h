#ifndef VYN_CLI_COMMANDS_SETPRIORITY_H
#define VYN_CLI_COMMANDS_SETPRIORITY_H

#include "cli/UcliFunction.h"
#include "common/TaskEnums.h"

// SETPRIORITY: the priority of one running logical-drive task, or the
// controller's default priority for background logical-drive tasks.
class SetPriority : public UcliCommand {
public:
    SetPriority() : UcliCommand("SETPRIORITY", "changes specific or global task priority", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    int executeTaskSetPriority(StorLibPlugin* lib);
    int executeGlobalSetPriority(StorLibPlugin* lib);

    EnumPriorityLevel priority = PRIORITY_LOW;
    bool global = false;
    bool current = false;
    unsigned long taskID = 0;
};

#endif
