#ifndef VYN_CLI_COMMANDS_ATAPASSWORD_H
#define VYN_CLI_COMMANDS_ATAPASSWORD_H

#include "cli/UcliFunction.h"

class AtaPassword : public UcliCommand {
public:
    AtaPassword() : UcliCommand("ATAPASSWORD", "Setting password on a physical drive", Listed) {}
};

#endif
