#ifndef VYN_CLI_COMMANDS_PASSTHROUGH_H
#define VYN_CLI_COMMANDS_PASSTHROUGH_H

#include <cstdint>

#include "cli/UcliFunction.h"
#include "common/Buffer.h"

// PASSTHROUGH: one raw SCSI command block, typed in hex, to a device behind
// a controller, with data from a file or back to the screen.
class Passthrough : public UcliCommand {
public:
    // The directions as typed; 3, 4 and 6 also ask for sense data.
    enum Direction {
        Read = 0,
        Write = 1,
        WriteWithSense = 3,
        ReadWithSense = 4,
        NoTransfer = 5,
        NoTransferWithSense = 6
    };
    static constexpr unsigned long MAX_TRANSFER = 2048;
    static constexpr unsigned long MAX_CDB = 16;
    static constexpr int SENSE_SIZE = 30;

    Passthrough()
        : UcliCommand("PASSTHROUGH",
                      "sends a passthrough SCSI command to a device",
                      Hidden)
    {
    }

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    int channel = 0;
    int device = 0;
    Direction direction = Read;
    Buffer command;
    Buffer data;
    int transferLength = 0;
    Buffer sense;
    int senseSize = 0;
    char fileName[512] = {};
};

#endif
