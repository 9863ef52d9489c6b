#include "cli/commands/SetPower.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "cli/ArgParse.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Addr.h"

#include <algorithm>
#include <iterator>
#include <strings.h>

namespace {

enum Mode {
    STAYAWAKE_OFF = 1,
    STAYAWAKE_WINDOW = 2,
    SPINUP_LIMITS = 3,
    LD_PM_OFF = 4,
    LD_TIMERS = 5
};

constexpr unsigned char EVERY_DAY = 127;
constexpr int MAX_SPINUP = 20;

const char* const dayNames[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
const int slowDownAndPowerOffMinutes[] = {0, 3, 5, 10, 20, 30, 60, 120, 180};
const int verifyMinutes[] = {0, 60, 120, 180, 240, 480, 720, 1440};

const char* const ORDERING_TEXT =
    "Make sure slow down time is less than poweroff time & poweroff time is less than verify time\n";

bool is(const char* word, const char* keyword)
{
    return word != nullptr && strcasecmp(word, keyword) == 0;
}

template <std::size_t N> bool allowed(const int (&values)[N], long long value)
{
    return std::find(std::begin(values), std::end(values), value) != std::end(values);
}

// A non-zero earlier timer must stay below a non-zero later one; 0 means never.
bool ordered(int earlier, int later)
{
    return earlier == 0 || later == 0 || earlier < later;
}

}  // namespace

int SetPower::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    logicalDrive = 0;
    startTime = endTime = -1;
    internalLimit = externalLimit = -1;
    slowDownTimer = powerOffTimer = verifyTimer = -1;
    mode = 0;
    dow = 0;
    if (argc < 5 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (is(argv[3], "stayawake")) {
        if (argc == 5 && is(argv[4], "disable")) {
            mode = STAYAWAKE_OFF;
            return 0;
        }
        if (argc > 14 || argc < 6)
            return 3;
        startTime = ascii2int(argv[4]);
        endTime = ascii2int(argv[5]);
        if (startTime == CLI_NAN || endTime == CLI_NAN)
            return 3;
        if (argc == 6)
            dow = EVERY_DAY;
        for (int i = 6; i < argc; ++i) {
            int day = 0;
            while (day < 7 && !is(argv[i], dayNames[day]))
                ++day;
            if (day == 7)
                return 3;
            dow = static_cast<unsigned char>(dow | (1u << day));
        }
        mode = STAYAWAKE_WINDOW;
        return 0;
    }
    if (is(argv[3], "spinup")) {
        if (argc != 6)
            return 3;
        internalLimit = ascii2int(argv[4]);
        externalLimit = ascii2int(argv[5]);
        if (internalLimit == CLI_NAN || externalLimit == CLI_NAN)
            return 3;
        mode = SPINUP_LIMITS;
        return 0;
    }
    if (is(argv[3], "ld")) {
        if (argc < 6)
            return 3;
        logicalDrive = ascii2int(argv[4]);
        if (logicalDrive == CLI_NAN)
            return 3;
        if (argc == 6 && is(argv[5], "disable")) {
            mode = LD_PM_OFF;
            return 0;
        }
        return loadTimers(argv, argc);
    }
    return 3;
}

int SetPower::loadTimers(char** argv, int argc)
{
    int i = 5;
    while (argc - i >= 2) {
        int* timer = is(argv[i], "slowdown") ? &slowDownTimer
                     : is(argv[i], "poweroff") ? &powerOffTimer
                     : is(argv[i], "verify")   ? &verifyTimer
                                               : nullptr;
        if (timer == nullptr)
            return 3;
        const int value = ascii2int(argv[i + 1]);
        if (value == CLI_NAN)
            return 3;
        if (*timer != -1) {
            if (timer != &slowDownTimer)
                myprintf(stdout, "%s", ORDERING_TEXT);
            return 3;
        }
        *timer = value;
        i += 2;
    }
    if (i != argc || i == 5)
        return 3;
    mode = LD_TIMERS;
    return 0;
}

int SetPower::execute(StorLibPlugin* lib)
{
    if (UCLI_DEBUG) {
        myprintf(stderr, "%s: EXECUTING\n", "SETPOWER");
        myprintf(stderr, "mode: 0x%x\n", mode);
    }
    const Addr ldAddr = logicalDriveAddress(adapterNumber, static_cast<unsigned long>(logicalDrive));
    LogicalDrive* drive = nullptr;
    if (mode == LD_PM_OFF || mode == LD_TIMERS) {
        drive = findLogicalDrive(findAdapter(lib, adapterNumber), static_cast<unsigned long>(logicalDrive));
        if (drive == nullptr) {
            myprintf(stdout, "Logical device %u does not exist.\n", static_cast<unsigned>(logicalDrive));
            return 2;
        }
    }
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    if (adapter->getFeature(featPowerManagement) == 0) {
        myprintf(stdout, "Controller %d does not support power management.\n", adapterNumber + 1);
        return 18;
    }
    myprintf(stdout, "\n");
    const Addr addr = controllerAddress(adapterNumber);
    // Every refusal of the library is kept, so that a setting that did not
    // take is not reported as done.
    Ret failure(0);
    auto keep = [&failure](const Ret& ret) {
        if (ret.getReturn() != 0)
            failure = ret;
    };
    switch (mode) {
    case STAYAWAKE_OFF:
        keep(lib->setPMControllerStayAwakePeriod(addr, 0, 0, 0, 0));
        break;
    case STAYAWAKE_WINDOW: {
        int minutes[2] = {0, 0};
        const int times[2] = {startTime, endTime};
        for (int t = 0; t < 2; ++t) {
            const int hours = times[t] / 100;
            const int rest = times[t] % 100;
            if (times[t] < 0 || hours > 23 || rest > 59) {
                myprintf(stdout, "%d out of range. Check usage below\n", times[t]);
                displayHelp();
                return 2;
            }
            minutes[t] = hours * 60 + rest;
        }
        keep(lib->setPMControllerStayAwakePeriod(addr, static_cast<unsigned long>(minutes[0]),
                                                 static_cast<unsigned long>(minutes[1]), 1, dow));
        break;
    }
    case SPINUP_LIMITS: {
        const int internal = internalLimit == -1 ? 0 : internalLimit;
        const int external = externalLimit == -1 ? 0 : externalLimit;
        bool outOfRange = false;
        for (int limit : {internal, external}) {
            if (limit < 0 || limit > MAX_SPINUP) {
                myprintf(stdout, "%d out of range. Check usage below\n", limit);
                outOfRange = true;
            }
        }
        if (outOfRange) {
            displayHelp();
            return 2;
        }
        keep(lib->setPMControllerSpinupLimits(addr, static_cast<unsigned long>(internal),
                                              static_cast<unsigned long>(external)));
        break;
    }
    case LD_PM_OFF:
        if (drive->getPMEnabled())
            keep(lib->setPMLogicalDriveEnabled(ldAddr, false));
        else
            myprintf(stdout, "Already Disabled\n");
        break;
    default: {
        const int slowDown = slowDownTimer != -1 ? slowDownTimer : static_cast<int>(drive->getPMStandbyTimer());
        const int powerOff = powerOffTimer != -1 ? powerOffTimer : static_cast<int>(drive->getPMOffTimer());
        // Typed in hours; a number too large for minutes stays out of range.
        const long long verify =
            verifyTimer != -1 ? verifyTimer * 60LL : static_cast<long long>(drive->getPMVerifyTimer());
        for (int value : {slowDown, powerOff}) {
            if (!allowed(slowDownAndPowerOffMinutes, value)) {
                myprintf(stdout, "%d out of range. Check usage below\n", value);
                displayHelp();
                return 2;
            }
        }
        if (!allowed(verifyMinutes, verify)) {
            myprintf(stdout, "%lld out of range. Check usage below\n", verify);
            displayHelp();
            return 2;
        }
        if (!ordered(slowDown, powerOff) || !ordered(powerOff, static_cast<int>(verify))) {
            myprintf(stdout, "%s", ORDERING_TEXT);
            return 2;
        }
        keep(lib->setPMLogicalDriveTimers(ldAddr, static_cast<unsigned long>(slowDown),
                                          static_cast<unsigned long>(powerOff), static_cast<unsigned long>(verify)));
        lib->getSystemConfig();
        LogicalDrive* refreshed =
            findLogicalDrive(findAdapter(lib, adapterNumber), static_cast<unsigned long>(logicalDrive));
        if (refreshed != nullptr && !refreshed->getPMEnabled())
            keep(lib->setPMLogicalDriveEnabled(ldAddr, true));
        break;
    }
    }
    if (failure.getReturn() != 0) {
        returnCodes = failure;
        return 5;
    }
    return 0;
}

void SetPower::displayHelp()
{
    myprintf(stdout, " Usage: SETPOWER <Controller#> <stayawake <disable | starttime# endtime# [DAYS]>> [nologs]\n");
    myprintf(stdout, "        SETPOWER <Controller#> <spinup internal# external#> [nologs]\n");
    myprintf(stdout, "        SETPOWER <Controller#> LD <LD#> <disable | [slowdown st#] |  [poweroff pt#] | "
                     "[verify vt#]> [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Prints controller configuration information.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    starttime#, endtime# : start and end time of stayawake (HHMM)\n");
    myprintf(stdout, "    DAYS                 : days on which stayawake has to be enabled, default is all days\n");
    myprintf(stdout, "                           (mon, tue, wed, thu, fri, sat, sun)\n");
    myprintf(stdout, "    internal#, external# : Value should be between 0 & 20 both inclusive\n");
    myprintf(stdout, "    st#, pt#             : minutes, valid values 0(never),3,5,10,20,30,60,120,180\n");
    myprintf(stdout, "    vt#                  : verify after time in hours. valid values 0(never),1,2,3,8,12,24 \n");
    myprintf(stdout, "    st# must be less than pt# & pt# must be less than vt#, all three can be specified "
                     "together(or only 1 or only 2)\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    Examples: vynconf setpower 1 stayawake 1345 1640 sun fri wed\n");
    myprintf(stdout, "              vynconf setpower 1 spinup 5 11\n");
    myprintf(stdout, "              vynconf setpower 1 ld slowdown 3 verify 8\n");
}
