#ifndef VYN_CLI_COMMANDS_DELETE_H
#define VYN_CLI_COMMANDS_DELETE_H

#include <vector>

#include "cli/UcliFunction.h"
#include "common/Addr.h"

class Adapter;

// DELETE: logical drives or JBODs of a controller, one after the other.
class Delete : public UcliCommand {
public:
    Delete() : UcliCommand("DELETE", "deletes one or more logical devices", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

private:
    int loadLogicalDriveArguments(char** argv, int argc);
    int loadJBODArguments(char** argv, int argc);
    int deleteLogicalDrives(StorLibPlugin* lib, Adapter* adapter);
    int deleteJBODs(StorLibPlugin* lib, Adapter* adapter);

    bool deleteAll = false;
    bool jbodCommand = false;
    std::vector<int> logicalDrives;
    std::vector<Addr> jbodAddrs;
};

#endif
