#ifndef VYN_CLI_COMMANDS_SETCACHE_H
#define VYN_CLI_COMMANDS_SETCACHE_H

#include "cli/UcliFunction.h"

class SetCache : public UcliCommand {
public:
    SetCache() : UcliCommand("SETCACHE", "adjusts physical or logical device cache mode", Listed) {}
};

#endif
