#ifndef VYN_CLI_COMMANDS_ACTIONHELPERS_H
#define VYN_CLI_COMMANDS_ACTIONHELPERS_H

#include "common/Addr.h"
#include "common/Progress.h"

class Adapter;
class HardDrive;
class PhysicalDevice;
class Ret;
class StorLibPlugin;

// What the commands that change the configuration share: the addresses they
// hand to the library and the tasks they look at before acting.

Addr controllerAddress(int adapterNumber);
Addr logicalDriveAddress(int adapterNumber, unsigned long logicalDrive);
Addr deviceAddress(int adapterNumber, unsigned long channel, unsigned long device);
Addr channelAddress(int adapterNumber, unsigned long channel);

// Any device on a channel of the controller (drive, enclosure, ...); null
// when none sits at that channel and id.
PhysicalDevice* findDevice(Adapter* adapter, unsigned long channel, unsigned long device);
// The hard drive at that channel and id; null after telling the user that
// the device does not exist or is not a hard drive.
HardDrive* findHardDriveOrExplain(Adapter* adapter, unsigned long channel, unsigned long device);

// The first task the library reports for `target`; false when the query
// failed or reported none. `ret` receives the query's answer when given.
bool firstTask(StorLibPlugin* lib, const Addr& target, Progress& task, Ret* ret = nullptr);
// A task of some type in the running state.
bool isRunningTask(const Progress& task);

// Keeps the outcome of a library call for the final message; whether it
// succeeded.
bool keepOutcome(const Ret& ret);

// The mount point of a logical drive as the host reports it; "unknown"
// when there is none.
const char* mountPointOf(const char* reported);
bool isUnmounted(const char* mountPoint);

#endif
