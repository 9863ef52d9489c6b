#ifndef VYN_CLI_DISPLAYTEXTS_H
#define VYN_CLI_DISPLAYTEXTS_H

#include <cstddef>

#include "RaidModel/Interface/ModelEnums.h"
#include "common/TaskEnums.h"

class Adapter;
class Addr;
class HardDrive;
class LogicalDrive;
enum EnumControllerStatus : int;
enum EnumLogicalDevicePMState : int;
enum EnumRaidLevel : int;
enum EnumSpeed : int;

// The words of the reports for the model's codes. Every function answers
// "Unknown" for a code its table lacks, unless its comment says otherwise.
// Codes whose enumeration the model does not name yet are taken as int.

const char* getAdapterStatus(EnumControllerStatus controllerStatus);
// Failed with sub-state 5 or 6 and Optimal with sub-state 7 show the
// sub-state instead.
const char* getLogicalState(EnumLogicalDeviceState state, int subState);
const char* getLogicalSubState(int subState);
const char* getPhysicalState(EnumPhysicalDeviceState state);
const char* getTaskPriority(EnumPriorityLevel priority);
const char* getTaskState(EnumTaskState state);
// A build/verify on a target without a logical drive is the controller's
// background consistency check.
const char* getTaskType(EnumTaskType type, const Addr& target);
const char* getRaid5EEState(int state);
const char* getPerfModeString(EnumPerformanceMode mode);
const char* getRAIDLevelString(EnumRaidLevel level);
const char* getTransferSpeed(EnumSpeed speed);
// The SCSI peripheral device type.
const char* getDeviceType(int type);
const char* getSAFTEFanState(unsigned short state);
const char* getSAFTEPowerSupplyState(unsigned short state);
const char* getSES2State(unsigned short state);
const char* getSES2TempSensorState(unsigned short state);
const char* getPowerMgtStateString(unsigned long state);
// "Yes" for every reason but the two known ones.
const char* getSupportStatus(unsigned long reason);
// These three answer "Not supported" for codes they lack.
const char* getOrvexaPreferredSettingString(EnumOrvexaPreferredSetting setting);
const char* getOrvexaWriteCachePreferredSettingString(EnumOrvexaWriteCachePreferredSetting setting);
const char* getOrvexaWriteCachePolicySettingString(EnumOrvexaWriteCachePolicySetting setting);

const char* getOrvexaSettingString(bool on);
const char* getNCQSettingString(bool on);
const char* getStatsDataCollectionModeString(bool on);

// "Yes" when the drive reports a predicted failure.
const char* getPfa(HardDrive* drive);
// A cache-enable value of 0 reads as write-back, as the drives report it.
const char* getWriteCacheMode(HardDrive* drive);
const char* getWriteCacheMode(LogicalDrive* drive);
// States 1 to 5 stand for themselves; any other is taken from the members'
// power states.
const char* getPMStateDisplayString(LogicalDrive* drive, EnumLogicalDevicePMState state);

// The first channel below the adapter, level by level, whose type tells.
const char* getAdapterChannelType(Adapter* adapter);

// Texts written into a caller's buffer, never past `outSize` bytes; the
// defaults are what each text needs at most.
constexpr std::size_t TIME_TEXT_SIZE = 32;
constexpr std::size_t DAY_TEXT_SIZE = 40;
constexpr std::size_t POWER_STATES_TEXT_SIZE = 64;

// "never", "%dh", "%dm" or "%dh,%dm".
char* timeString(unsigned long minutes, char* out, std::size_t outSize = TIME_TEXT_SIZE);
// The time of day as hhmm.
char* stayawakeTimeString(unsigned long minutes, char* out, std::size_t outSize = TIME_TEXT_SIZE);
// The days whose bits are set, bit 0 Sunday, joined by ", ".
char* stayawakeDayString(unsigned char days, char* out, std::size_t outSize = DAY_TEXT_SIZE);
// Appends to the text already in `out`.
char* getPowerMgtSupportedStatesString(unsigned long mask, char* out,
                                       std::size_t outSize = POWER_STATES_TEXT_SIZE);

#endif
