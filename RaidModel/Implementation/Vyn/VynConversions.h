#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCONVERSIONS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNCONVERSIONS_H

#include <cwchar>
#include <string>

#include "RaidModel/Interface/PhysicalDevice.h"

#include "RaidModel/Interface/ModelEnums.h"
#include "common/LogicalDriveSpec.h"
#include "common/TaskEnums.h"

class Adapter;
class Addr;
class HardDrive;
struct FSA_CONTAINER_INFO_EXTND;
struct FSA_STORAGE_DEVICE;

// Conversions between the firmware interface's records and the model's
// values.

// Appends at most maxChars wide characters of `in` to `out`, stopping at a
// zero; characters above 127 become '?'. A null input appends nothing.
void WCharToString(std::string& out, const wchar_t* in, unsigned long maxChars);
// Writes the same characters into `out`, with the zero when it is met within
// maxChars; adds no terminator of its own.
void WCharToBuff(char* out, const wchar_t* in, unsigned long maxChars);
// A fixed-width ASCII field of at most n bytes as printable text; a field
// without a zero gets no terminator within the n bytes.
void SafeAsciiCopy(void* dst, const void* src, int n);

// Credentials for the firmware interface's open: none (empty user and
// password); 1. Its arguments are in the order the open's callback type
// gives them.
int fsaPasswordCallback(void* context, char* user, char* password);

// The model's device type of a SCSI peripheral type: 0 to 9 and 12 to 15
// keep their number, every other value is 10.
EnumPhysicalDeviceType GetDeviceTypeFromFsa(unsigned int type);
// The hard drive below `adapter` at channel = bus and device =
// LUN << 16 | target of `device`; null when there is none or the object
// there is no hard drive.
HardDrive* getHardDriveFromFsa(Adapter* adapter, FSA_STORAGE_DEVICE* device);

// The model's RAID level of a container record: its type (byte 32, or byte
// 28 when that is 0), with the member count and the Reed-Solomon flag where
// the type leaves the level open. Unknown types give RAID_LEVEL_NONE.
EnumRaidLevel getRaidLevelFromFsa(const FSA_CONTAINER_INFO_EXTND* info);
// The container type that creates `level` with `method`; 0 when the level
// cannot be created.
unsigned int getFsaRaidLevel(EnumRaidLevel level, EnumInitMethod method);
// The firmware's task delay of a priority: low 100, medium 50, high 0.
unsigned int getFsaDelay(EnumPriorityLevel priority);
// A stripe size in kilobytes as bytes; the codes 0 to 3 give 0.
unsigned int getFsaStripeSize(EnumStripeSize size);

// Cuts trailing blanks (space and the controls 9 to 13); returns `text`.
char* RemoveEndWS(char* text);

// A dead stand-in for a drive the controller no longer shows, at the channel
// and device of `addr`, made with its channel when that is missing. The
// address is left pointing at the channel looked up. Null when it cannot be
// made.
HardDrive* addDeadHardDrive(Adapter* adapter, Addr& addr);

#endif
