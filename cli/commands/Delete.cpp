#include "cli/commands/Delete.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "cli/ArgParse.h"
#include "cli/Confirm.h"
#include "cli/Engine.h"
#include "cli/commands/ActionHelpers.h"
#include "cli/commands/CommandHelpers.h"
#include "common/Ret.h"

#include <cstring>

namespace {

const char* const kKeyword = "DELETE";

// What the library answers for a logical drive the controller does not have:
// the object is not in the tree, or the controller did not find the
// container (API status 11).
constexpr int kObjectNotFound = -12;
constexpr int kApiError = -5;
constexpr unsigned kContainerNotFound = 11;

bool isGone(const Ret& ret)
{
    return ret.getReturn() == kObjectNotFound ||
           (ret.getReturn() == kApiError && ret.getAPIReturn() == kContainerNotFound);
}

}  // namespace

int Delete::loadArguments(char** argv, int argc, StorLibPlugin*)
{
    if (argc < 5 || !readControllerWord(argv[2], adapterNumber))
        return 3;
    if (wordMatches(argv[3], "LOGICALDRIVE"))
        return loadLogicalDriveArguments(argv, argc);
    if (wordMatches(argv[3], "JBOD"))
        return loadJBODArguments(argv, argc);
    return 3;
}

int Delete::loadLogicalDriveArguments(char** argv, int argc)
{
    deleteAll = false;
    jbodCommand = false;
    logicalDrives.clear();
    if (wordMatches(argv[4], "ALL")) {
        if (argc > 5)
            return 3;
        deleteAll = true;
    } else {
        for (int i = 4; i < argc; ++i) {
            const int id = ascii2int(argv[i]);
            if (id == CLI_NAN)
                return 3;
            logicalDrives.push_back(id);
        }
    }
    debugArgumentsValid(kKeyword);
    return 0;
}

int Delete::loadJBODArguments(char** argv, int argc)
{
    deleteAll = false;
    jbodCommand = true;
    jbodAddrs.clear();
    if (wordMatches(argv[4], "ALL")) {
        deleteAll = true;
        debugArgumentsValid(kKeyword);
        return 0;
    }
    int i = 4;
    while (i < argc) {
        unsigned channel = 0;
        unsigned device = 0;
        const int used = getnextdevice(argc - i, argv + i, channel, device);
        if (used <= 0)
            return 3;
        i += used;
        const Addr addr = deviceAddress(adapterNumber, channel, device);
        for (const Addr& listed : jbodAddrs) {
            if (listed == addr) {
                myprintf(stdout, "\nCannot use a drive multiple times in one logical device!\n");
                return 3;
            }
        }
        jbodAddrs.push_back(addr);
        if (UCLI_DEBUG)
            myprintf(stderr, "%s: %d,%d\n", "Loaded segment", static_cast<int>(channel), static_cast<int>(device));
    }
    debugArgumentsValid(kKeyword);
    return 0;
}

int Delete::execute(StorLibPlugin* lib)
{
    debugExecuting(kKeyword);
    Adapter* adapter = findAdapter(lib, adapterNumber);
    if (adapter == nullptr)
        return 6;
    return jbodCommand ? deleteJBODs(lib, adapter) : deleteLogicalDrives(lib, adapter);
}

int Delete::deleteLogicalDrives(StorLibPlugin* lib, Adapter* adapter)
{
    if (deleteAll) {
        logicalDrives.clear();
        for (LogicalDrive* drive : collect<LogicalDrive>(adapter, "LogicalDrive", false))
            logicalDrives.push_back(static_cast<int>(drive->getLogicalDriveID()));
    }
    if (logicalDrives.empty()) {
        myprintf(stderr, "No logical devices scheduled for deletion.\n");
        return 2;
    }
    if (UCLI_DEBUG)
        for (int id : logicalDrives)
            myprintf(stderr, "Logical device %d scheduled for deletion.\n", id);

    int attempted = 0;
    for (int id : logicalDrives) {
        myprintf(stderr, "\n");
        LogicalDrive* drive = findLogicalDrive(adapter, static_cast<unsigned long>(id));
        if (drive == nullptr) {
            myprintf(stderr, "Logical device %d does not exist.\n", id);
            continue;
        }
        const EnumLogicalDeviceState state = drive->getState();
        if (state == LD_RECONFIGURING || state == LD_DEGRADED_RECONFIGURING || state == LD_SUBOPTIMAL_RECONFIGURING) {
            myprintf(stderr, "Logical device %d is reconfiguring and cannot be deleted.\n", id);
            continue;
        }
        const char* mountPoint = mountPointOf(drive->getUnixMountPoint());
        const bool hasPartition = drive->getHasPartition() != 0;
        if (std::strcmp(mountPoint, "empty") == 0) {
            // The host cannot tell whether the drive is in use.
            if (hasPartition)
                myprintf(stdout, "WARNING: logical device %d may contain a partition or mounted.\n", id);
            else
                myprintf(stdout, "WARNING: logical device %d may be mounted.\n", id);
            myprintf(stderr,
                     "All data in logical device %d will be lost and all application data that is currently "
                     "live will be disrupted.\n",
                     id);
            if (confirmBeforeActing("Are you sure to delete the logical device?\n") == CONFIRMATION_PENDING)
                return CONFIRMATION_PENDING;
            if (!userwarningYesNo("Are you sure to continue and delete the logical device?\n")) {
                myprintf(stdout, "Not Deleting: logical device %d (\"%s\")\n", id, drive->getName());
                continue;
            }
            myprintf(stdout, "Deleting: logical device %d (\"%s\")\n", id, drive->getName());
        } else if (!isUnmounted(mountPoint)) {
            myprintf(stderr, "Logical device %d is mounted on %s and cannot be deleted.\n", id, mountPoint);
            continue;
        } else {
            if (hasPartition)
                myprintf(stdout, "WARNING: logical device %d may contain a partition.\n", id);
            myprintf(stderr, "All data in logical device %d will be lost.\n", id);
            if (confirmBeforeActing("Delete the logical device?\n") == CONFIRMATION_PENDING)
                return CONFIRMATION_PENDING;
            myprintf(stdout, "Deleting: logical device %d (\"%s\")\n", id, drive->getName());
        }
        const Ret deleted = lib->deleteLogicalDrive(logicalDriveAddress(adapterNumber, static_cast<unsigned long>(id)));
        // The controller no longer has it (a number given twice, or another
        // process deleted it since the configuration was read): as for any
        // number without a logical drive.
        if (isGone(deleted)) {
            myprintf(stderr, "Logical device %d does not exist.\n", id);
            continue;
        }
        ++attempted;
        if (!keepOutcome(deleted))
            return 5;
    }
    return attempted > 0 ? 5 : 2;
}

int Delete::deleteJBODs(StorLibPlugin* lib, Adapter* adapter)
{
    if (deleteAll) {
        jbodAddrs.clear();
        for (HardDrive* drive : adapter->getAllHardDrives())
            if (drive->isJBOD())
                jbodAddrs.push_back(deviceAddress(adapterNumber, drive->getChannelID(), drive->getDeviceID()));
    }
    if (jbodAddrs.empty()) {
        myprintf(stderr, "No JBODs scheduled for deletion.\n");
        return 2;
    }
    if (UCLI_DEBUG)
        for (const Addr& addr : jbodAddrs)
            myprintf(stderr, "JBOD %d,%d scheduled for deletion.\n", static_cast<int>(addr.getChannelID()),
                     static_cast<int>(addr.getDeviceID()));

    int attempted = 0;
    for (const Addr& addr : jbodAddrs) {
        const int channel = static_cast<int>(addr.getChannelID());
        const int device = static_cast<int>(addr.getDeviceID());
        myprintf(stderr, "\n");
        PhysicalDevice* found = findDevice(adapter, addr.getChannelID(), addr.getDeviceID());
        if (found == nullptr) {
            myprintf(stderr, "JBOD %d,%d does not exist.\n", channel, device);
            continue;
        }
        if (!found->isInstanceOf("HardDrive") || !static_cast<HardDrive*>(found)->isJBOD()) {
            myprintf(stderr, "Device %d,%d is not a JBOD.\n", channel, device);
            continue;
        }
        myprintf(stderr, "All data in JBOD %d,%d will be lost.\n", channel, device);
        if (confirmBeforeActing("Delete the JBOD?\n") == CONFIRMATION_PENDING)
            return CONFIRMATION_PENDING;
        myprintf(stdout, "Deleting: JBOD %d,%d\n", channel, device);
        ++attempted;
        if (!keepOutcome(lib->deleteJBOD(addr)))
            return 5;
    }
    return attempted > 0 ? 5 : 2;
}

void Delete::displayHelp()
{
    myprintf(stdout, " Usage: DELETE <Controller#> LOGICALDRIVE <ld#> [ld#] ... [noprompt] [nologs]\n");
    myprintf(stdout, " Usage: DELETE <Controller#> LOGICALDRIVE ALL [noprompt] [nologs]\n");
    myprintf(stdout, " Usage: DELETE <Controller#> JBOD <Channel# ID#> [Channel# ID#] ... [noprompt] [nologs]\n");
    myprintf(stdout, " Usage: DELETE <Controller#> JBOD ALL [noprompt] [nologs]\n");
    printHelpRule();
    myprintf(stdout, "\n");
    myprintf(stdout, " Delete one or more logical devices or JBODs from the controller.\n");
    myprintf(stdout, "\n");
    myprintf(stdout, "    ld#      : Number of the logical device to be deleted\n");
    myprintf(stdout, "    ALL          : Deletes all logical drives or JBODs\n");
    myprintf(stdout, "    Channel# ID# : A list of space-delimited channel number and\n");
    myprintf(stdout, "                      device number pairs for each JBOD device.\n");
    myprintf(stdout, "    noprompt : Don't prompt for confirmation.\n");
}
