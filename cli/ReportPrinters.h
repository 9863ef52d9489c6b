#ifndef VYN_CLI_REPORTPRINTERS_H
#define VYN_CLI_REPORTPRINTERS_H

#include <cstdio>
#include <map>
#include <string>

class Adapter;
class Channel;
class LogicalDrive;
class PhysicalDevice;

// Label columns of the reports.
constexpr int GETCONFIG_LABEL_WIDTH = 45;
constexpr int GETSTATUS_LABEL_WIDTH = 35;
constexpr int GETVERSION_LABEL_WIDTH = 20;
constexpr int XML_ELEMENT_WIDTH = 40;
constexpr int XML_ATTRIBUTE_WIDTH = 50;

// Lays `label` out in `width` - 1 columns from column 3 × `indent`, blank
// filled and cut to fit; `buffer` holds `width` bytes. Returns `buffer`.
char* getFormattedString(int indent, const char* label, int width, char* buffer);

// The rule above and below a section title.
void printSectionRule();

// Makes the named file, opened for writing and emptied, the report target
// CONFIGOUT and returns it. The path is taken as the caller resolved it. On
// failure returns null and leaves the target as it was. The caller closes
// the file and sets standard output again.
FILE* setFilePointer(const char* path);

// The controller section of GETCONFIG, ending with versions and battery;
// only the status line for a controller that is not Optimal.
void printAdapter(Adapter* adapter);
void printVersions(Adapter* adapter);
void printBattery(Adapter* adapter);
// The backup unit that stands in for a battery on some controllers.
void printBLBU(Adapter* adapter);
void printVPD(Adapter* adapter);

// One logical drive, ending with its segments; nothing for a drive in
// state 5 or one that is a member of another drive.
void printLogicalDrive(LogicalDrive* drive);
void printVynSegmentStatus(LogicalDrive* drive);

// One parallel-SCSI or SATA channel and the devices on it.
void printChannel(Adapter* adapter, Channel* channel);
// Every device of a SAS controller, numbered by its place in the sorted list.
void printSASPhysicalDevices(Adapter* adapter);
// One drive or other device; a negative index shows the device id.
void printPhysicalDevice(Adapter* adapter, PhysicalDevice* device, int index);

// One SAF-TE or SES-2 enclosure; a negative index shows the device id.
void printEnclosure(PhysicalDevice* device, int index);
// The named fans of the Sun J4200, J4400 and J4500 enclosures.
void printSUNEnclFanStatus(PhysicalDevice* device, int fanCount);
// 1 when the SES-2 enclosure of that device id, on the device's controller,
// numbers its slots from 1; else 0.
int getSlotOffset(int enclosureDeviceId, PhysicalDevice* device);

// Any XML text as an indented table; a null `out` means standard output.
void printXML(const char* xml, FILE* out);
// The statistics XML of the controller logs, with display names.
void printStatisticsData(const char* xml, FILE* out);
// Fills `map` from two parallel arrays that end at the key "end".
void repharseStatsData(const char* const* keys, const char* const* names,
                       std::map<std::string, std::string>& map);

#endif
