#ifndef VYN_CLI_COMMANDS_GETXML_H
#define VYN_CLI_COMMANDS_GETXML_H

#include "cli/UcliFunction.h"

class GetXML : public UcliCommand {
public:
    GetXML() : UcliCommand("GETXML", "returns XML'ized controller info", Hidden) {}
};

#endif
