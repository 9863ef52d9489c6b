#include "RaidModel/Implementation/Vyn/VynReplay.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

#include "Command/Vyn/os/HostIo.h"
#include "RaidLib/StorLib.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/AddrCollection.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace vynreplay {

char timeEntry[27];
int force = 0;
bool retFlag = false;
bool ncqFlag = false;
bool retFlagSafeConfig = false;
std::vector<LogicalDrive*> logicalNumVector;
std::string name;

namespace {

// The error records of the replay carry this source name.
const char* const kSource = "RaidModel/Implementation/Vyn/VynSystem";

}  // namespace

Adapter* findAdapter(const System& system, unsigned long id)
{
    Adapter* found = nullptr;
    for (Adapter* adapter : system.getAdapters())
        if (adapter != nullptr && adapter->getAdapterID() == id)
            found = adapter;
    return found;
}

void settingLine(FILE* log, unsigned long controller, const char* text, bool blank)
{
    std::fprintf(log, blank ? "%s   %s %d   %s. \n" : "%s   %s %d   %s.\n", VynSystem::getTime(timeEntry),
                 "Controller", static_cast<int>(controller), text);
    StorErrorPrintf(STORLIB_TYPE_VYN, kSource, __LINE__, "Controller %s", text);
}

void objectLine(FILE* log, unsigned long controller, const char* word, unsigned long id, const char* text, bool blank)
{
    std::fprintf(log, blank ? "%s   %s %d   %s %d   %s. \n" : "%s   %s %d   %s %d   %s.\n",
                 VynSystem::getTime(timeEntry), "Controller", static_cast<int>(controller), word,
                 static_cast<int>(id), text);
    StorErrorPrintf(STORLIB_TYPE_VYN, kSource, __LINE__, "%s", text);
}

void legLine(FILE* log, unsigned long controller, unsigned long volume, unsigned long leg, const char* text)
{
    std::fprintf(log, "%s   %s %d   %s %d  %s %d   %s. \n", VynSystem::getTime(timeEntry), "Controller",
                 static_cast<int>(controller), "RAID Volume", static_cast<int>(volume), "Second level logical drive",
                 static_cast<int>(leg), text);
    StorErrorPrintf(STORLIB_TYPE_VYN, kSource, __LINE__, "%s", text);
}

void freeLine(FILE* log, const char* errorText, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    StorErrorPrintf(STORLIB_TYPE_VYN, kSource, __LINE__, "%s", errorText);
}

}  // namespace vynreplay

using namespace vynreplay;

namespace {

// One replay at a time: the replay's state is shared by the whole library.
std::mutex replayMutex;

bool succeeded(const Ret& ret)
{
    return ret.getReturn() == 0;
}

bool versionsDiffer(const char* current, const char* saved)
{
    return std::strcmp(current != nullptr ? current : "", saved != nullptr ? saved : "") != 0;
}

}  // namespace

char* VynSystem::getTime(char* stamp)
{
    return StorLib::getTime(stamp);
}

void VynSystem::closeFileHandle(FILE* file)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::closeFileHandle(FILE * fp)");
    try {
        if (file != nullptr)
            std::fclose(file);
    } catch (...) {
        std::printf("\nProblem in finding the log file\n");
        std::fflush(stdout);
        hostIo().sleepMs(2000);
    }
}

bool VynSystem::sizeInSectors(unsigned long long userSize, int userSizeUnit)
{
    unsigned long long mebibytes = 0;
    switch (userSizeUnit) {
    case 0:
        mebibytes = userSize;
        break;
    case 1:
        mebibytes = userSize * 1024;
        break;
    case 2:
        mebibytes = userSize * 1048576;
        break;
    default:
        return false;
    }
    // The controller keeps a little of every drive for itself: the saved
    // size is what the user saw, the request carries 10 MiB more.
    replay.requestedSize = (mebibytes + 10) * 2048;
    return true;
}

Ret VynSystem::replayControllerSettings(Adapter& saved, Adapter& live)
{
    const unsigned long id = live.getAdapterID();
    FILE* log = replay.log;
    Ret failed(0);
    // A failed setting is the replay's result; only force 1 goes on.
    auto apply = [&](const Ret& ret, const char* ok, bool okBlank, const char* bad, bool badBlank) {
        if (succeeded(ret)) {
            settingLine(log, id, ok, okBlank);
            return true;
        }
        settingLine(log, id, bad, badBlank);
        failed = ret;
        if (force == 1) {
            retFlag = true;
            return true;
        }
        return false;
    };

    struct Version {
        const char* current;
        const char* saved;
        const char* what;
        const char* savedWhat;
    };
    const Version versions[] = {
        {live.getBiosVersion(), saved.getBiosVersion(), "bios version mismatch. Current bios version : ",
         " XML bios version : "},
        {live.getFirmwareVersion(), saved.getFirmwareVersion(),
         "firmware version mismatch. Current firmware version : ", " XML firmware version : "},
        {live.getDeviceDriverVersion(), saved.getDeviceDriverVersion(),
         "driver version mismatch. Current driver version : ", " XML driver version : "},
        {live.getFirmwareBootVersion(), saved.getFirmwareBootVersion(),
         "firmware boot version mismatch. Current firmware boot version : ", " XML firmware boot version : "},
    };
    for (const Version& v : versions) {
        if (!versionsDiffer(v.current, v.saved))
            continue;
        std::fprintf(log, "%s   %s %d   %s %s %s %s \n", getTime(timeEntry), "Controller", static_cast<int>(id), v.what,
                     v.current, v.savedWhat, v.saved);
        StorErrorPrintf(STORLIB_TYPE_VYN, "RaidModel/Implementation/Vyn/VynSystem", __LINE__, "Controller %s%s.%s%s",
                        v.what, v.current, v.savedWhat, v.saved);
    }

    if (live.getAlarmState() != saved.getAlarmState() &&
        !apply(live.setAlarmState(saved.getAlarmState()), "alarm state has been applied successfully", true,
               "alarm state apply action failed", true))
        return failed;
    // Sent whatever the live state: the controller may report it stale.
    if (!apply(live.setCopyBack(saved.IsCopyBackEnabled()), "copy back has been applied successfully", true,
               "copy back apply action failed", true))
        return failed;
    if (live.IsDataScrubbingActive() != saved.IsDataScrubbingActive() &&
        !apply(live.setDataScrubActive(saved.IsDataScrubbingActive()),
               "Data Scrubbing state has been applied successfully", false, "Data Scrubbing state apply action failed",
               false))
        return failed;
    if (saved.IsDataScrubbingActive() &&
        !apply(live.setDataScrubRate(static_cast<unsigned long>(saved.getDataScrubRate())),
               "Data Scrubbing rate has been applied successfully", true, "Data Scrubbing rate apply action failed",
               false))
        return failed;
    if (live.getDefaultLDTaskPriority() != saved.getDefaultLDTaskPriority() &&
        !apply(live.setDefaultLDTaskPriority(saved.getDefaultLDTaskPriority(), true),
               "Default task priority rate has been applied successfully", false,
               "Default task priority apply action failed", false))
        return failed;
    if (live.getPerformanceMode() != saved.getPerformanceMode() &&
        !apply(live.setPerformanceMode(saved.getPerformanceMode()), "Performance Mode has been applied successfully",
               false, "Performance Mode apply action failed", false))
        return failed;
    const bool awakeEqual = live.getPMStayAwakeStart() == saved.getPMStayAwakeStart() &&
                            live.getPMStayAwakeEnd() == saved.getPMStayAwakeEnd() &&
                            live.getPMStayAwakeDays() == saved.getPMStayAwakeDays() &&
                            live.isPMStayAwakeMainEnabled() == saved.isPMStayAwakeMainEnabled();
    if (!awakeEqual &&
        !apply(live.setPMStayAwakePeriod(saved.getPMStayAwakeStart(), saved.getPMStayAwakeEnd(),
                                         saved.getpmStayAwakeMainEnabled(), saved.getPMStayAwakeDays()),
               "SetPMStayAwakePeriod has been applied successfully", false, "SetPMStayAwakePeriod action failed", false))
        return failed;
    const bool spinupEqual = live.getPMSpinupExternalLimit() == saved.getPMSpinupExternalLimit() &&
                             live.getPMSpinupInternalLimit() == saved.getPMSpinupInternalLimit();
    if (!spinupEqual &&
        !apply(live.setPMSpinupLimits(saved.getPMSpinupInternalLimit(), saved.getPMSpinupExternalLimit()),
               "setPMSpinupLimits has been applied successfully", false, "setPMSpinupLimits action failed", false))
        return failed;
    if (live.isSataNCQSupported()) {
        if (live.isSataNCQEnabled() == saved.isSataNCQEnabled()) {
            settingLine(log, id, "NCQ state is same as in the input XML", false);
            ncqFlag = false;
        } else {
            const Ret ret = live.setSataNCQ(saved.isSataNCQEnabled());
            if (succeeded(ret))
                ncqFlag = true;
            if (!apply(ret, "NCQ state has been applied successfully", false, "NCQ state apply action failed", false))
                return failed;
        }
    }
    return failed;
}

// The saved logical drives of one controller, created on the live one of
// the same id; false when the replay must end (with `ret` its result).
bool VynSystem::replayLogicalDrives(Adapter& saved, System& current, Ret& ret)
{
    const unsigned long id = saved.getAdapterID();
    FILE* log = replay.log;
    Adapter* live = findAdapter(current, id);
    if (live == nullptr)
        return true;
    if (live->getNumLogicalDrives() != 0) {
        freeLine(log, "Could not apply the new configuration. There are one or more logical existing in the Controller",
                 "%s   %s %d.\n", getTime(timeEntry),
                 "Could not apply the new configuration. There are one or more logical existing in the Controller",
                 static_cast<int>(id));
        ret = Ret(-1);
        if (force != 1 && force != 2)
            return false;
        retFlag = true;
        return true;
    }
    // A failure of one logical drive: under force the next one is tried.
    auto failedDrive = [&](const Ret& result) {
        ret = result;
        if (force == 1 || force == 2) {
            retFlag = true;
            return true;
        }
        return false;
    };

    unsigned long created = 0;
    // Only the top-level drives are replayed; a RAID volume brings its legs.
    std::vector<LogicalDrive*> savedDrives;
    for (LogicalDrive* ld : saved.getAllLogicalDrives())
        if (ld != nullptr && ld->getParent() == &saved)
            savedDrives.push_back(ld);
    for (LogicalDrive* ld : savedDrives) {
        const unsigned long ldID = ld->getLogicalDriveID();
        if (ld->getNumHardDrives() == 0) {
            objectLine(log, id, "Logical Drive", ldID,
                       "Error in creating logical drive. No Physical drive found with specified DeviceID", true);
            if (!failedDrive(Ret(-1)))
                return false;
            continue;
        }
        replay.requestedSize = 0;
        replay.raidLevel = ld->getRaidLevel();
        Ret created1(0);
        const char* word = "Logical Drive";
        if (replay.raidLevel == RAID_LEVEL_RAID_VOLUME) {
            word = "RaidVolume";
            logicalNumVector = ld->getSecondLevelLogicalVector();
            bool legsOk = true;
            for (LogicalDrive* leg : logicalNumVector) {
                if (!sizeInSectors(leg->getUserSize(), leg->getUserSizeUnit())) {
                    legLine(log, id, ldID, leg->getLogicalDriveID(),
                            "Error in creating logical drive due to invalid input size unit");
                    legsOk = false;
                    if (!failedDrive(Ret(-2)))
                        return false;
                    break;
                }
                live = findAdapter(current, id);
                const Ret legRet = createLogical(live, leg);
                if (succeeded(legRet)) {
                    legLine(log, id, ldID, leg->getLogicalDriveID(), "Logical drive has been applied successfully");
                } else {
                    legLine(log, id, ldID, leg->getLogicalDriveID(), "Error in creating logical drive");
                    legsOk = false;
                    if (!failedDrive(legRet))
                        return false;
                    break;
                }
            }
            if (!legsOk)
                continue;
            Ret rebuilt(0);
            current.buildChildren(replay.storLib, rebuilt);
            live = findAdapter(current, id);
            created1 = createLogical(live, ld);
            objectLine(log, id, word, ldID,
                       succeeded(created1) ? "Raid Volume has been created successfully" : "Error in Raid Volume creation",
                       true);
        } else {
            if (!sizeInSectors(ld->getUserSize(), ld->getUserSizeUnit())) {
                objectLine(log, id, word, ldID, "Error in creating logical drive due to invalid input size unit", true);
                if (!failedDrive(Ret(-2)))
                    return false;
                continue;
            }
            created1 = createLogical(live, ld);
            objectLine(log, id, word, ldID,
                       succeeded(created1) ? "Logical drive has been applied successfully"
                                           : "Error in creating logical drive",
                       true);
        }
        if (!succeeded(created1)) {
            if (!failedDrive(created1))
                return false;
            continue;
        }

        Ret rebuilt(0);
        current.buildChildrenForSingleAdapter(replay.storLib, id, rebuilt);
        live = findAdapter(current, id);
        LogicalDrive* made = live != nullptr ? live->getLogicalDrive(created) : nullptr;
        ++created;
        if (!ld->getPMEnabled())
            continue;
        if (made == nullptr) {
            // The new tree does not show the drive just made: nothing to set.
            objectLine(log, id, word, ldID, "Error in applying logical drive setPMEnabled()", true);
            if (!failedDrive(Ret(-1)))
                return false;
            continue;
        }
        const Ret pm = made->setPMEnabled(ld->getPMEnabled());
        objectLine(log, id, word, ldID,
                   succeeded(pm) ? "Logical drive setPMEnabled() has been applied successfully"
                                 : "Error in applying logical drive setPMEnabled()",
                   true);
        if (!succeeded(pm)) {
            if (!failedDrive(pm))
                return false;
            continue;
        }
        const Ret timers = made->setPMTimers(ld->getPMStandbyTimer(), ld->getPMOffTimer(), ld->getPMVerifyTimer());
        objectLine(log, id, word, ldID,
                   succeeded(timers) ? "Logical drive power management timers has been applied successfully"
                                     : "Error in applying logical drive power management timers",
                   true);
        if (!succeeded(timers)) {
            if (!failedDrive(timers))
                return false;
            continue;
        }
        made->setPMState(ld->getPMState());
    }
    return true;
}

// The saved drives' settings on the live drives of the same device id;
// false when the replay must end (with `ret` its result).
bool VynSystem::replayDrives(Adapter& saved, Adapter& live, Ret& ret)
{
    const unsigned long id = live.getAdapterID();
    FILE* log = replay.log;
    // Only force 1 passes over a failed drive step.
    auto failed = [&](const Ret& result) {
        ret = result;
        if (force == 1) {
            retFlag = true;
            return true;
        }
        return false;
    };
    const std::vector<HardDrive*> savedDrives = saved.getAllHardDrives();
    const std::vector<HardDrive*> liveDrives = live.getAllHardDrives();
    if (savedDrives.size() != liveDrives.size() + 1) {
        freeLine(log, "Unequal physical drives in Controller", "%s   %s %d   %s. \n", getTime(timeEntry),
                 "Unequal physical drives in Controller", static_cast<int>(id),
                 " : The physical drives from input XML varies from actual physical drives present in the system");
        return failed(Ret(-1));
    }
    for (std::size_t i = 1; i < savedDrives.size(); ++i) {
        HardDrive* s = savedDrives[i];
        HardDrive* l = nullptr;
        for (HardDrive* candidate : liveDrives) {
            if (candidate->getDeviceID() == s->getDeviceID()) {
                l = candidate;
                break;
            }
        }
        if (l == nullptr) {
            freeLine(log, "Could not find The Hard drive with device ID", "%s   %s %d   %s %d.\n", getTime(timeEntry),
                     "Controller", static_cast<int>(id), "Could not find The Hard drive with device ID",
                     static_cast<int>(s->getDeviceID()));
            if (!failed(Ret(-1)))
                return false;
            continue;
        }
        const unsigned long pd = l->getDeviceID();
        auto step = [&](const Ret& result, const char* ok, const char* bad, bool blank) {
            objectLine(log, id, "Physical Drive", pd, succeeded(result) ? ok : bad, blank);
            return succeeded(result) || failed(result);
        };
        if (s->getWriteCacheEnableSupported() && l->getWriteCacheEnableSupported() &&
            s->getWriteCacheEnable() != l->getWriteCacheEnable() &&
            !step(l->setWriteCacheEnable(static_cast<int>(s->getWriteCacheEnable()) != 0),
                  "Physical drive write cache has been enabled successfully",
                  "Error in enabling physical drive write cache", true))
            return false;
        if (s->isJBOD() != l->isJBOD() &&
            !step(l->createJBOD(), "JBOD has been created successfully", "Error in JBOD creation", true))
            return false;
        if (l->getSpareType() == SPARE_NONE) {
            l->setSpareTypeProperty(s->getSpareType());
            if (s->getSpareType() == SPARE_GLOBAL &&
                !step(l->createGlobalHotSpare(), "Global hotspare has been created successfully",
                      "Error in creating global hot spare", true))
                return false;
            if (s->getSpareType() == SPARE_DEDICATED) {
                for (LogicalDrive* assigned : s->getNumAssignedLogical()) {
                    if (assigned == nullptr)
                        continue;
                    for (LogicalDrive* target : live.getAllLogicalDrives()) {
                        if (target == nullptr || target->getLogicalDriveID() != assigned->getLogicalDriveID() ||
                            !target->isInstanceOf("VynBasicLogicalDrive"))
                            continue;
                        if (!step(l->createAssignedHotSpare(target), "Dedicated hot spare has been created successfully",
                                  "Error in creating dedicated hot spare", false))
                            return false;
                        break;
                    }
                }
            }
        }
        if (s->IsNonSpinning() && l->IsNonSpinning() && s->IsOrvexaCapable() && l->IsOrvexaCapable() &&
            s->IsOrvexaAssigned() != l->IsOrvexaAssigned()) {
            AddrCollection drives;
            drives.addAddr(l->getAddr());
            if (!step(live.addDriveToOrvexaPool(drives), "Adding drive(s) to Orvexa poolhas been created successfully",
                      "Error in adding drives to Orvexa pool", false))
                return false;
        }
    }
    return true;
}

Ret VynSystem::compareConfig(StorLib* lib, System& parsed, System& current, char* logFile, EnumForceOption forceIN,
                             bool slotIDFlag)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::compareConfig(System &pNewSystemIN,System &curSystemIN, EnumForceOption "
                          "force, char *logFile, bool slotIDFlag)");
    std::lock_guard<std::mutex> one(replayMutex);
    Ret ret(0);
    replay.legs = 2;
    replay.storLib = lib;
    force = static_cast<int>(forceIN);
    retFlag = false;
    ncqFlag = false;
    retFlagSafeConfig = false;
    // Nothing of an earlier replay may reach this one.
    logicalNumVector.clear();
    std::memset(timeEntry, 0, sizeof timeEntry);
    replay.log = logFile != nullptr ? std::fopen(logFile, "a") : nullptr;
    if (replay.log == nullptr) {
        std::printf("\n %s \n", "Unable to find log file");
        std::fflush(stdout);
        return Ret(-3);
    }
    // Every way out closes the log.
    struct LogCloser {
        FILE*& log;
        ~LogCloser()
        {
            closeFileHandle(log);
            log = nullptr;
        }
    } closer{replay.log};

    try {
        if (slotIDFlag && !assignDeviceIDfromSlotID(parsed, current))
            return Ret(-1);
        if (force != 1 && force != 2 && !isSafeConfig(parsed, current)) {
            if (!retFlagSafeConfig)
                freeLine(replay.log,
                         "Insufficient drive space to create logical drive(s) in the current system. Use FORCE option "
                         "to expand/shrink logical drive size",
                         "%s   %s.\n", getTime(timeEntry),
                         "Insufficient drive space to create logical drive(s) in the current system. Use FORCE option "
                         "to expand/shrink logical drive size");
            return Ret(-1);
        }
        for (Adapter* saved : parsed.getAdapters()) {
            if (saved == nullptr)
                continue;
            const unsigned long id = saved->getAdapterID();
            Adapter* live = findAdapter(current, id);
            if (live == nullptr) {
                // Nothing of it can be applied; the rest of the saved
                // system still is.
                settingLine(replay.log, id, "No controller with this id in the current system", false);
                continue;
            }
            const Ret settings = replayControllerSettings(*saved, *live);
            if (!succeeded(settings)) {
                ret = settings;
                if (force != 1)
                    return ret;
            }
            if (!replayLogicalDrives(*saved, current, ret))
                return ret;
            // The creations rebuilt the tree: earlier pointers are stale.
            live = findAdapter(current, id);
            if (live != nullptr && !replayDrives(*saved, *live, ret))
                return ret;
        }
    } catch (...) {
        vynerror::exception(ret);
        return ret;
    }
    if (retFlag)
        return Ret(-9);
    if (ncqFlag)
        return Ret(-200);
    return Ret(0);
}
