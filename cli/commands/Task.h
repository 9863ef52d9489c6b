#ifndef VYN_CLI_COMMANDS_TASK_H
#define VYN_CLI_COMMANDS_TASK_H

#include "cli/UcliFunction.h"

class Adapter;
class HardDrive;
class LogicalDrive;

// TASK: starts or stops a background task on a logical drive or a hard
// drive, or initializes the ready drives of a controller at once.
class Task : public UcliCommand {
public:
    Task()
        : UcliCommand("TASK",
                      "performs a task such as build/verify on a physical or logical device",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // The firmware keeps a secure-erase password in a field of 32 bytes,
    // its terminator included.
    static constexpr unsigned long MAX_PASSWORD_LENGTH = 31;

private:
    int loadDeviceArguments(char** argv, int argc, int next);
    int executeLogicalDrive(StorLibPlugin* lib, Adapter* adapter);
    int startLogicalDriveTask(StorLibPlugin* lib, LogicalDrive* drive);
    int stopLogicalDriveTask(StorLibPlugin* lib);
    int executeDevice(StorLibPlugin* lib, Adapter* adapter);
    int initializeAll(StorLibPlugin* lib, Adapter* adapter);
    int initializeOne(StorLibPlugin* lib, Adapter* adapter, HardDrive* drive);
    int clearDrive(StorLibPlugin* lib, HardDrive* drive);
    int secureErase(StorLibPlugin* lib, Adapter* adapter, HardDrive* drive);

    unsigned long logicalDrive = 0;
    bool start = false;
    const char* taskWord = nullptr;
    bool logicalDriveFlag = false;
    bool deviceFlag = false;
    bool allFlag = false;
    bool forceFlag = false;
    unsigned long channel = 0;
    unsigned long deviceID = 0;
    const char* password = nullptr;
    bool passwordGiven = false;
};

#endif
