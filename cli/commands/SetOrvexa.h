#ifndef VYN_CLI_COMMANDS_SETORVEXA_H
#define VYN_CLI_COMMANDS_SETORVEXA_H

#include <vector>

#include "cli/UcliFunction.h"
#include "common/Addr.h"

class Adapter;

// SETORVEXA: the SSD cache pool (members, clear, flush-and-fetch rate,
// read/write balance, dirty-page threshold) and the SSD read and write cache
// of logical drives.
class SetOrvexa : public UcliCommand {
public:
    SetOrvexa()
        : UcliCommand("SETORVEXA",
                      "adjusts Orvexa settings for physical or logical device",
                      Listed)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // The EnumOrvexaWriteCachePolicySetting of a policy word, 0 for none.
    static int writePolicy(const char* word);

private:
    int loadArgumentsAdapter(char** argv, int argc);
    int loadArgumentsPhysical(char** argv, int argc);
    int loadArgumentsLogical(char** argv, int argc);
    int executeAdapter(StorLibPlugin* lib, Adapter* adapter);
    int executeDisk(StorLibPlugin* lib, Adapter* adapter);
    int executeLogical(StorLibPlugin* lib, Adapter* adapter);

    int logicalDrive = 0;
    int operation = 0;
    int flushAndFetchRate = 0;
    int readFactor = 0;
    int writeFactor = 0;
    int dirtyPageThreshold = 0;
    std::vector<int> logicalDrives;
    std::vector<Addr> drives;
    const char* subCommand = nullptr;
    int policy = 0;
};

#endif
