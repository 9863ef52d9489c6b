#ifndef VYN_CLI_COMMANDS_SAVESUPPORTARCHIVE_H
#define VYN_CLI_COMMANDS_SAVESUPPORTARCHIVE_H

#include "cli/UcliFunction.h"

class SaveSupportArchive : public UcliCommand {
public:
    SaveSupportArchive()
        : UcliCommand("SAVESUPPORTARCHIVE",
                      "saves the support archive ",
                      Listed)
    {
    }
};

#endif
