#ifndef VYN_CLI_COMMANDS_GETLOGS_H
#define VYN_CLI_COMMANDS_GETLOGS_H

#include "cli/UcliFunction.h"

// GETLOGS: a controller log or its statistics, or clearing a log.
class GetLogs : public UcliCommand {
public:
    // The log types of the library's controller-log request.
    enum LogType {
        DeviceLog = 0,
        DeadDriveLog = 5,
        EventLog = 6,
        UartLog = 7,
        MonitorLog = 8,
        StatisticsLog = 9,
        CacheLogOne = 13,
        CacheLogAll = 14
    };

    GetLogs() : UcliCommand("GETLOGS", "gets controller log information", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    int logType = DeviceLog;
    int logicalDrive = 0;
    bool clear = false;
    bool ppi = false;
    bool tabular = false;
};

#endif
