#ifndef VYN_CLI_COMMANDS_SETVMCREDENTIAL_H
#define VYN_CLI_COMMANDS_SETVMCREDENTIAL_H

#include "cli/UcliFunction.h"

// SETVMCREDENTIAL: listed with its usage only; the base loader refuses every
// command line.
class SetVMCredential : public UcliCommand {
public:
    SetVMCredential()
        : UcliCommand("SETVMCREDENTIAL",
                      "Storing the ESX server credentials in Guest OS in encrypted format", Listed,
                      " SETVMCREDENTIAL             | Storing the ESX server credentials in Guest OS"
                      " in encrypted format\n")
    {
    }

    void displayHelp() override;
};

#endif
