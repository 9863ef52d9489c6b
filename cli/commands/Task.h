#ifndef VYN_CLI_COMMANDS_TASK_H
#define VYN_CLI_COMMANDS_TASK_H

#include "cli/UcliFunction.h"

class Task : public UcliCommand {
public:
    Task()
        : UcliCommand("TASK",
                      "performs a task such as build/verify on a physical or logical device",
                      Listed)
    {
    }
};

#endif
