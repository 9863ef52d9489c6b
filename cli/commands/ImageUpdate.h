#ifndef VYN_CLI_COMMANDS_IMAGEUPDATE_H
#define VYN_CLI_COMMANDS_IMAGEUPDATE_H

#include "cli/UcliFunction.h"

// IMAGEUPDATE: downloads a firmware image to one SATA or SAS hard drive,
// by default with the drive set protected around the download.
class ImageUpdate : public UcliCommand {
public:
    static constexpr int UNSET = 0x7FFFFFFF;
    // Seconds the drive is left to settle on its new image before the set
    // is unprotected.
    static constexpr unsigned SETTLE_SECONDS = 10;

    ImageUpdate() : UcliCommand("IMAGEUPDATE", "update physical device firmware", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    char fileName[512] = {};
    bool deviceGiven = false;
    int channel = UNSET;
    int device = UNSET;
    int chunkSize = 0;
    int mode = -1;
    bool modeGiven = false;
    bool noQuiesce = false;
};

#endif
