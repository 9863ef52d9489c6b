#ifndef VYN_CLI_COMMANDS_IMAGEUPDATE_H
#define VYN_CLI_COMMANDS_IMAGEUPDATE_H

#include "cli/UcliFunction.h"

class ImageUpdate : public UcliCommand {
public:
    ImageUpdate() : UcliCommand("IMAGEUPDATE", "update physical device firmware", Listed) {}
};

#endif
