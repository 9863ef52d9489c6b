#ifndef VYN_CLI_COMMANDS_ONOFFSETTING_H
#define VYN_CLI_COMMANDS_ONOFFSETTING_H

#include "cli/UcliFunction.h"
#include "common/Ret.h"

class Adapter;
class Addr;

// A controller setting switched by one word after the controller number
// ("On"/"Off" or "ENABLE"/"DISABLE", any case): exactly four words. The
// current value is compared first, so an unchanged setting makes no call.
class OnOffSetting : public UcliCommand {
public:
    enum Words { OnOff, EnableDisable };

    OnOffSetting(const char* keyword, const char* description, Visibility visibility, Words words,
                 const char* fullMenuLine = nullptr);

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;

protected:
    // A result that ends the command before the call, or -1 to go on.
    virtual int checkBeforeCall(Adapter& adapter) = 0;
    virtual Ret call(StorLibPlugin& lib, const Addr& addr) = 0;
    // The result of a call that returned; by default the driver decodes it.
    virtual int interpret(const Ret& ret);

    const char* onOffText() const { return flag ? "On" : "Off"; }

    bool flag = false;

private:
    Words words_;
};

#endif
