#ifndef VYN_CLI_COMMANDS_SETCACHE_H
#define VYN_CLI_COMMANDS_SETCACHE_H

#include "RaidModel/Interface/ModelEnums.h"
#include "cli/UcliFunction.h"

class Adapter;

// SETCACHE: the read or write cache of a logical drive, the write cache of
// a hard drive, or the controller-wide write cache of its SAS and SATA
// drives.
class SetCache : public UcliCommand {
public:
    SetCache() : UcliCommand("SETCACHE", "adjusts physical or logical device cache mode", Listed) {}

    int loadArguments(char** argv, int argc, StorLibPlugin* lib) override;
    int execute(StorLibPlugin* lib) override;
    void displayHelp() override;

    // 0 for a word that names no logical-drive mode; sets the read-mode flag.
    EnumLogicalDriveCacheMode getLogCacheMode(const char* word);
    // 3 for a word that names no hard-drive mode.
    EnumHardDriveCacheMode getPhyCacheMode(const char* word);

private:
    int loadDeviceArguments(char** argv, int argc);
    int setLogicalDriveCache(StorLibPlugin* lib, Adapter* adapter);
    int setControllerCache(StorLibPlugin* lib, Adapter* adapter);
    int setDriveCache(StorLibPlugin* lib, Adapter* adapter);

    static constexpr unsigned long UNSET = 0x7FFFFFFF;

    bool logicalDriveFlag = false;
    bool deviceFlag = false;
    unsigned long logicalDrive = UNSET;
    EnumLogicalDriveCacheMode logicalMode = static_cast<EnumLogicalDriveCacheMode>(0);
    bool readMode = false;
    unsigned long channel = UNSET;
    unsigned long deviceID = UNSET;
    EnumHardDriveCacheMode physicalMode = static_cast<EnumHardDriveCacheMode>(3);
    bool sasFlag = false;
    bool sataFlag = false;
    EnumHardDriveCacheMode sasMode = static_cast<EnumHardDriveCacheMode>(4);
    EnumHardDriveCacheMode sataMode = static_cast<EnumHardDriveCacheMode>(4);
};

#endif
