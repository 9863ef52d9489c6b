#ifndef VYN_CLI_COMMANDS_SETNCQ_H
#define VYN_CLI_COMMANDS_SETNCQ_H

#include "cli/commands/OnOffSetting.h"

// SETNCQ: native command queuing of SATA drives, effective after a power
// cycle.
class SetNCQ : public OnOffSetting {
public:
    SetNCQ() : OnOffSetting("SETNCQ", "toggles the controller NCQ status", Listed, EnableDisable) {}
    void displayHelp() override;

protected:
    int checkBeforeCall(Adapter& adapter) override;
    Ret call(StorLibPlugin& lib, const Addr& addr) override;
};

#endif
