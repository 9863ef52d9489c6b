#include "cli/DisplayTexts.h"

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/FilterCollection.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "common/Addr.h"
#include "common/LogicalDriveSpec.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct CodeText {
    long code;
    const char* text;
};

const char* const UNKNOWN = "Unknown";
const char* const NOT_SUPPORTED = "Not supported";

template <std::size_t N>
const char* lookup(const CodeText (&table)[N], long code, const char* otherwise = UNKNOWN)
{
    for (const CodeText& entry : table) {
        if (entry.code == code)
            return entry.text;
    }
    return otherwise;
}

const CodeText adapterStatusTexts[] = {
    {0, "Optimal"}, {1, "Failed"}, {2, "Passive"}, {3, "Removed"}, {4, "Signature Error"},
    {5, "Inaccessible"}, {7, "Down"}, {8, "Driver Update Required"},
};

const CodeText logicalStateTexts[] = {
    {0, "Does Not Exist"},
    {1, "Failed"},
    {2, "Optimal"},
    {3, "Degraded"},
    {4, "Logical device Reconfiguring"},
    {5, "System"},
    {6, "Degraded, Reconfiguring"},
    {7, "Degraded, System"},
    {8, "Suboptimal, Fault Tolerant"},
    {9, "Suboptimal, Reconfiguring"},
    {10, "Suboptimal, System"},
};

const CodeText logicalSubStateTexts[] = {
    {5, "Uninitialized"}, {6, "Clearing"}, {7, "Impacted"},
};

const CodeText physicalStateTexts[] = {
    {0, "Ready"}, {1, "Online"}, {2, "Failed"}, {3, "Standby"}, {4, "Hot Spare"},
    {5, "Rebuilding"}, {6, "Partitioned"}, {7, "Does Not Exist"}, {8, "Unsupported"},
    {9, "Copying Back"},
};

const CodeText taskPriorityTexts[] = {
    {0, "Low"}, {1, "Medium"}, {2, "High"},
};

const CodeText taskStateTexts[] = {
    {0, "None"}, {1, "Complete"}, {2, "In Progress"}, {3, "Failed"}, {4, "Paused"},
    {5, "Aborted"}, {6, "Preempted"}, {7, "Pending"},
};

const CodeText taskTypeTexts[] = {
    {0, "None"}, {1, "Clear"}, {2, "Format"}, {3, "Verify with fix"}, {4, "Build/Verify"},
    {5, "Verify"}, {6, "Rebuild"}, {7, "Reconfiguration"}, {8, "Snapshot"}, {9, "Copyback"},
    {10, "Compacting"}, {11, "Expanding"}, {12, "Backup Snapshot"}, {13, "Secure Erase"},
    {16, "Flush"},
};

const CodeText raid5EEStateTexts[] = {
    {0, "Expanded"}, {1, "Compacted"}, {2, "Compacting"}, {3, "Expanding"},
};

const CodeText perfModeTexts[] = {
    {0, "Default/Dynamic"},
    {1, "Media/Application Server"},
    {2, "Media Capture/Virtual Tape Library"},
    {3, "OLTP/Database"},
    {4, "E-Mail/Decision Support Systems"},
    {5, "Web Services"},
    {6, "Content Creation/Backup/Reference Data"},
    {7, "File and Print Server"},
    {8, "Workstation/Business Productivity"},
    {9, "Gaming"},
    {10, "Benchmarking"},
    {11, "Big Block Bypass"},
};

const CodeText raidLevelTexts[] = {
    {0, "0"}, {1, "1"}, {2, "1E"}, {5, "5"}, {6, "5E"}, {7, "5EE"}, {8, "00"}, {9, "10"},
    {10, "1E0"}, {11, "50"}, {12, "5E0"}, {13, "Spanned_volume"}, {14, "RAID_volume"},
    {15, "Simple_volume"}, {16, "6 XOR"}, {17, "60 XOR"}, {18, "6 Reed-Solomon"},
    {19, "60 Reed-Solomon"},
};

const CodeText transferSpeedTexts[] = {
    {1, "Basic SCSI"},
    {2, "SCSI 2"},
    {3, "Fast SCSI 2"},
    {4, "Ultra SCSI"},
    {5, "Ultra2 SCSI"},
    {6, "Ultra160"},
    {7, "Ultra320"},
    {300, "SATA 1.5 Gb/s"},
    {301, "SATA 3.0 Gb/s"},
    {302, "SATA 6.0 Gb/s"},
    {400, "SAS 1.5 Gb/s"},
    {401, "SAS 3.0 Gb/s"},
    {402, "SAS 6.0 Gb/s"},
    {500, "SATA on SAS 1.5 Gb/s"},
    {501, "SATA on SAS 3.0 Gb/s"},
    {502, "SATA on SAS 6.0 Gb/s"},
};

const CodeText deviceTypeTexts[] = {
    {0, "Hard drive"}, {1, "Tape drive"}, {3, "Enclosure"}, {5, "CD ROM"}, {7, "Optical"},
    {8, "Media changer"}, {12, "Storage array controller"}, {13, "Enclosure services device"},
};

const CodeText safteFanTexts[] = {
    {0, "Optimal"}, {1, "Malfunctioning"}, {2, "Not Installed"},
};

const CodeText saftePowerSupplyTexts[] = {
    {0, "On / Operational"}, {1, "Off / Operational"}, {16, "On / Malfunctioning"},
    {17, "Off / Malfunctioning"}, {32, "Not Installed"}, {33, "Installed"},
};

const CodeText ses2StateTexts[] = {
    {0, "Not supported"}, {1, "Optimal"}, {2, "Critical"}, {3, "Not critical"},
    {4, "Malfunctioning"}, {5, "Not Installed"}, {7, "Not available"},
};

const CodeText ses2TempSensorTexts[] = {
    {1, "Normal"}, {2, "Abnormal"}, {3, "Abnormal"}, {4, "Abnormal"}, {5, "Not Installed"},
};

const CodeText powerMgtStateTexts[] = {
    {1, "Full rpm"}, {2, "Reduced rpm"}, {3, "Powered off"},
};

const CodeText supportStatusTexts[] = {
    {1, "No, Known data integrity issues"}, {2, "No, Unsupported sector size"},
};

const CodeText orvexaPreferredTexts[] = {
    {1, "Disabled"}, {2, "Enabled"},
};

const CodeText orvexaWritePolicyTexts[] = {
    {1, "Write Back"}, {2, "Instant Write Back"}, {3, "Write Through"},
    {4, "Write Back with Write Through"},
};

const char* enabledText(bool on)
{
    return on ? "Enabled" : "Disabled";
}

// Appends `text` to the NUL-terminated content of out[0, outSize), cut to fit.
void appendBounded(char* out, std::size_t outSize, const char* text)
{
    const std::size_t used = strnlen(out, outSize);
    if (used + 1 >= outSize)
        return;
    std::snprintf(out + used, outSize - used, "%s", text);
}

bool usableBuffer(const char* out, std::size_t outSize)
{
    return out != nullptr && outSize > 0;
}

}  // namespace

const char* getAdapterStatus(EnumControllerStatus controllerStatus)
{
    return lookup(adapterStatusTexts, controllerStatus);
}

const char* getLogicalState(EnumLogicalDeviceState state, int subState)
{
    if ((state == LD_FAILED && (subState == 5 || subState == 6)) ||
        (state == LD_OPTIMAL && subState == 7))
        return getLogicalSubState(subState);
    return lookup(logicalStateTexts, state);
}

const char* getLogicalSubState(int subState)
{
    return lookup(logicalSubStateTexts, subState);
}

const char* getPhysicalState(EnumPhysicalDeviceState state)
{
    return lookup(physicalStateTexts, state);
}

const char* getTaskPriority(EnumPriorityLevel priority)
{
    return lookup(taskPriorityTexts, priority);
}

const char* getTaskState(EnumTaskState state)
{
    return lookup(taskStateTexts, state);
}

const char* getTaskType(EnumTaskType type, const Addr& target)
{
    if (type == TASK_TYPE_BUILD_VERIFY && target.getLogicalDriveID() == Addr::UNSET_ID)
        return "Background consistency check";
    return lookup(taskTypeTexts, type);
}

const char* getRaid5EEState(int state)
{
    return lookup(raid5EEStateTexts, state);
}

const char* getPerfModeString(EnumPerformanceMode mode)
{
    return lookup(perfModeTexts, mode);
}

const char* getRAIDLevelString(EnumRaidLevel level)
{
    return lookup(raidLevelTexts, level);
}

const char* getTransferSpeed(EnumSpeed speed)
{
    return lookup(transferSpeedTexts, speed);
}

const char* getDeviceType(int type)
{
    return lookup(deviceTypeTexts, type);
}

const char* getSAFTEFanState(unsigned short state)
{
    return lookup(safteFanTexts, state);
}

const char* getSAFTEPowerSupplyState(unsigned short state)
{
    return lookup(saftePowerSupplyTexts, state);
}

const char* getSES2State(unsigned short state)
{
    return lookup(ses2StateTexts, state);
}

const char* getSES2TempSensorState(unsigned short state)
{
    return lookup(ses2TempSensorTexts, state);
}

const char* getPowerMgtStateString(unsigned long state)
{
    return lookup(powerMgtStateTexts, static_cast<long>(state));
}

const char* getSupportStatus(unsigned long reason)
{
    return lookup(supportStatusTexts, static_cast<long>(reason), "Yes");
}

const char* getOrvexaPreferredSettingString(EnumOrvexaPreferredSetting setting)
{
    return lookup(orvexaPreferredTexts, setting, NOT_SUPPORTED);
}

const char* getOrvexaWriteCachePreferredSettingString(EnumOrvexaWriteCachePreferredSetting setting)
{
    return lookup(orvexaPreferredTexts, setting, NOT_SUPPORTED);
}

const char* getOrvexaWriteCachePolicySettingString(EnumOrvexaWriteCachePolicySetting setting)
{
    return lookup(orvexaWritePolicyTexts, setting, NOT_SUPPORTED);
}

const char* getOrvexaSettingString(bool on)
{
    return on ? "Yes" : "No";
}

const char* getNCQSettingString(bool on)
{
    return enabledText(on);
}

const char* getStatsDataCollectionModeString(bool on)
{
    return enabledText(on);
}

const char* getPfa(HardDrive* drive)
{
    return drive != nullptr && drive->getPfaError() ? "Yes" : "No";
}

const char* getWriteCacheMode(HardDrive* drive)
{
    if (drive == nullptr || !drive->getWriteCacheEnableSupported())
        return UNKNOWN;
    return static_cast<int>(drive->getWriteCacheEnable()) == 0 ? "Enabled (write-back)"
                                                               : "Disabled (write-through)";
}

const char* getWriteCacheMode(LogicalDrive* drive)
{
    if (drive == nullptr)
        return UNKNOWN;
    switch (static_cast<int>(drive->getWriteCacheMode())) {
    case 0:
        return NOT_SUPPORTED;
    case 2:
    case 3:
        return "Enabled (write-back)";
    default:
        return "Disabled (write-through)";
    }
}

const char* getPMStateDisplayString(LogicalDrive* drive, EnumLogicalDevicePMState state)
{
    switch (static_cast<int>(state)) {
    case 1:
        return "Active";
    case 2:
        return "Standby";
    case 3:
        return "Powered Off";
    case 4:
        return "Verifying";
    case 5:
        return "Stay Awake";
    default:
        break;
    }
    std::vector<HardDrive*> members;
    if (drive != nullptr)
        drive->getHardDrives(members);
    bool standby = false;
    for (const HardDrive* member : members) {
        if (member->getPMState() == 1)
            return "Active";
        standby = standby || member->getPMState() == 2;
    }
    return standby ? "Standby" : "Powered Off";
}

const char* getAdapterChannelType(Adapter* adapter)
{
    if (adapter == nullptr)
        return UNKNOWN;
    FilterCollection below(adapter);
    below.apply("Channel", false);
    for (int i = 0; i < below.size(); ++i) {
        const Channel* channel = static_cast<const Channel*>(below.elementAt(i));
        switch (static_cast<int>(channel->getChannelType())) {
        case 0:
            return "SCSI";
        case 1:
            return "SATA";
        case 4: {
            const int speed = channel->getTransferSpeed();
            return (speed >= 500 && speed <= 502) ? "SATA" : "SAS/SATA";
        }
        default:
            break;
        }
    }
    return UNKNOWN;
}

char* timeString(unsigned long minutes, char* out, std::size_t outSize)
{
    if (!usableBuffer(out, outSize))
        return out;
    const unsigned long hours = minutes / 60;
    const unsigned long rest = minutes % 60;
    if (minutes == 0)
        std::snprintf(out, outSize, "never");
    else if (rest == 0)
        std::snprintf(out, outSize, "%luh", hours);
    else if (hours == 0)
        std::snprintf(out, outSize, "%lum", rest);
    else
        std::snprintf(out, outSize, "%luh,%lum", hours, rest);
    return out;
}

char* stayawakeTimeString(unsigned long minutes, char* out, std::size_t outSize)
{
    if (usableBuffer(out, outSize))
        std::snprintf(out, outSize, "%04lu", minutes / 60 * 100 + minutes % 60);
    return out;
}

char* stayawakeDayString(unsigned char days, char* out, std::size_t outSize)
{
    static const char* const names[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    if (!usableBuffer(out, outSize))
        return out;
    out[0] = '\0';
    bool first = true;
    for (unsigned bit = 0; bit < 7; ++bit) {
        if ((days & (1u << bit)) == 0)
            continue;
        if (!first)
            appendBounded(out, outSize, ", ");
        appendBounded(out, outSize, names[bit]);
        first = false;
    }
    return out;
}

char* getPowerMgtSupportedStatesString(unsigned long mask, char* out, std::size_t outSize)
{
    if (!usableBuffer(out, outSize))
        return out;
    if (strnlen(out, outSize) == outSize)
        out[0] = '\0';
    appendBounded(out, outSize, "Full rpm");
    if ((mask & 3ul) != 0)
        appendBounded(out, outSize, ",Powered off");
    if ((mask & 2ul) != 0)
        appendBounded(out, outSize, ",Reduced rpm");
    return out;
}
