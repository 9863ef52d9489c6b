#ifndef VYN_CLI_COMMANDS_COPYBACK_H
#define VYN_CLI_COMMANDS_COPYBACK_H

#include "cli/commands/OnOffSetting.h"

// COPYBACK: whether a rebuilt drive's data goes back to its original slot.
class Copyback : public OnOffSetting {
public:
    Copyback() : OnOffSetting("COPYBACK", "toggles controller copy back mode", Listed, OnOff) {}
    void displayHelp() override;

protected:
    int checkBeforeCall(Adapter& adapter) override;
    Ret call(StorLibPlugin& lib, const Addr& addr) override;
};

#endif
