#ifndef VYN_CLI_COMMANDS_ORVEXAWRITE_H
#define VYN_CLI_COMMANDS_ORVEXAWRITE_H

#include "cli/commands/OnOffSetting.h"

// ORVEXAWRITECACHE: the controller-wide switch of the SSD write cache.
class OrvexaWrite : public OnOffSetting {
public:
    OrvexaWrite()
        : OnOffSetting("ORVEXAWRITECACHE", "toggles controller Orvexa writecache mode", Hidden, OnOff,
                       " ORVEXAWRITECACHE             | toggles controller Orvexa writecache mode\n")
    {
    }
    void displayHelp() override;

protected:
    int checkBeforeCall(Adapter& adapter) override;
    Ret call(StorLibPlugin& lib, const Addr& addr) override;
    int interpret(const Ret& ret) override;
};

#endif
