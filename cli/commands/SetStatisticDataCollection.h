#ifndef VYN_CLI_COMMANDS_SETSTATISTICDATACOLLECTION_H
#define VYN_CLI_COMMANDS_SETSTATISTICDATACOLLECTION_H

#include "cli/commands/OnOffSetting.h"

// SETSTATSDATACOLLECTION: whether the controller collects statistics.
class SetStatisticDataCollection : public OnOffSetting {
public:
    SetStatisticDataCollection()
        : OnOffSetting("SETSTATSDATACOLLECTION", "toggles the controller statistics data collection modes", Listed,
                       EnableDisable)
    {
    }
    void displayHelp() override;

protected:
    int checkBeforeCall(Adapter& adapter) override;
    Ret call(StorLibPlugin& lib, const Addr& addr) override;
};

#endif
