#ifndef VYN_CLI_COMMANDS_FAILOVER_H
#define VYN_CLI_COMMANDS_FAILOVER_H

#include "cli/commands/OnOffSetting.h"

// FAILOVER: automatic failover of the controller.
class FailOver : public OnOffSetting {
public:
    FailOver() : OnOffSetting("FAILOVER", "toggles the controller automatic failover mode", Listed, OnOff) {}
    void displayHelp() override;

protected:
    int checkBeforeCall(Adapter& adapter) override;
    Ret call(StorLibPlugin& lib, const Addr& addr) override;
};

#endif
