#include "cli/commands/SetAlarm.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/SESElements.h"
#include "RaidModel/Interface/System.h"
#include "cli/ArgParse.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"

#include <strings.h>

namespace {

const char* const stateWords[] = {"on", "off", "silence", "test"};

const char* const NO_ENCLOSURE_ALARM = "The enclosure does not have an audible alarm device.\n";

}  // namespace

int SetAlarm::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    enclosure = false;
    if (argc < 4 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    int words = 4;
    const int first = ascii2int(argv[3]);
    if (first != CLI_NAN) {
        if (argc < 5 || ascii2int(argv[4]) == CLI_NAN)
            return 3;
        channel = first;
        device = ascii2int(argv[4]);
        enclosure = true;
        words = 6;
    }
    state = 0;
    for (int s = 0; s < 4; ++s)
        if (strcasecmp(argv[argc - 1], stateWords[s]) == 0)
            state = s + 1;
    if (state == 0 || argc != words)
        return 3;
    debugArgumentsValid(keyword());
    return 0;
}

int SetAlarm::execute(StorLibPlugin* lib)
{
    debugExecuting(keyword());
    if (findAdapter(lib, adapterNumber) == nullptr)
        return 6;
    if (enclosure)
        return executeEnclosure(lib);
    const Addr addr = controllerAddress(adapterNumber);
    EnumAlarmState current = ALARM_NONE;
    const Ret ret = lib->getAlarmState(addr, current);
    if (ret.getReturn() != 0 || current == ALARM_NONE) {
        myprintf(stderr, "The controller does not have an audible alarm device.\n");
        return 2;
    }
    if (static_cast<int>(current) == state) {
        myprintf(stderr, "The controller alarm is already in the requested state.\n");
        return 2;
    }
    returnCodes = lib->setAlarmState(addr, static_cast<EnumAlarmState>(state));
    return 5;
}

int SetAlarm::executeEnclosure(StorLibPlugin* lib)
{
    RaidObject* object = lib->getSystem()->getObject(
        deviceAddress(adapterNumber, static_cast<unsigned long>(channel), static_cast<unsigned long>(device)));
    if (object == nullptr) {
        myprintf(stderr, "Enclosure device does not exist.\n");
        return 2;
    }
    if (!object->isInstanceOf("VynSES2EnclosureDevice")) {
        myprintf(stderr, "%s", NO_ENCLOSURE_ALARM);
        return 2;
    }
    SES2EnclosureDevice* ses = static_cast<SES2EnclosureDevice*>(object);
    SESElement* alarm = nullptr;
    for (unsigned long i = 0; alarm == nullptr; ++i) {
        SESElement* element = ses->getSESElement(i);
        if (element == nullptr)
            break;
        if (element->getType() == SES_TYPE_AUDIBLE_ALARM)
            alarm = element;
    }
    if (alarm == nullptr || alarm->getStatus() == 0) {
        myprintf(stderr, "%s", NO_ENCLOSURE_ALARM);
        return 2;
    }
    if (alarm->getStatus() == static_cast<unsigned long>(state)) {
        myprintf(stderr, "The enclosure alarm is already in the requested state.\n");
        return 2;
    }
    returnCodes = ses->setAlarmState(static_cast<EnumAlarmState>(state));
    return 5;
}

void SetAlarm::displayHelp()
{
    myprintf(stdout, " Usage: SETALARM <Controller#> <on|off|silence|test> [nologs]\n");
    myprintf(stdout, " Usage: SETALARM <Controller#> <Channel#> <Device#> <on|off|silence|test> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Controls the controller alarm, or the alarm of an enclosure, if present.\n");
}
