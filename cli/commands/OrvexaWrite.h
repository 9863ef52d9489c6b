#ifndef VYN_CLI_COMMANDS_ORVEXAWRITE_H
#define VYN_CLI_COMMANDS_ORVEXAWRITE_H

#include "cli/UcliFunction.h"

class OrvexaWrite : public UcliCommand {
public:
    OrvexaWrite()
        : UcliCommand("ORVEXAWRITECACHE", "toggles controller Orvexa writecache mode", Hidden,
                      " ORVEXAWRITECACHE             | toggles controller Orvexa writecache mode\n")
    {
    }
};

#endif
