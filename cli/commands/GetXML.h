#ifndef VYN_CLI_COMMANDS_GETXML_H
#define VYN_CLI_COMMANDS_GETXML_H

#include "cli/UcliFunction.h"

// GETXML: the whole object tree as XML, built anew.
class GetXML : public UcliCommand {
public:
    GetXML() : UcliCommand("GETXML", "returns XML'ized controller info", Hidden) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    bool tabular = false;
};

#endif
