#ifndef VYN_COMMON_PROGRESS_H
#define VYN_COMMON_PROGRESS_H

#include <string>
#include <vector>

#include "common/Addr.h"
#include "common/TaskEnums.h"

class Writer;

// One background task of a controller, on a logical drive or on a device.
class Progress {
public:
    Progress();
    Progress(EnumTaskType type, unsigned long logicalDrive, EnumTaskState status, unsigned long percent);
    Progress(EnumTaskType type, Addr device, EnumTaskState status, unsigned long percent);

    bool operator==(const Progress& other) const;
    bool operator!=(const Progress& other) const { return !(*this == other); }

    EnumTaskType getType() const { return type; }
    void setType(EnumTaskType t) { type = t; }
    unsigned long getLogicalDrive() const { return logicalDrive; }
    void setLogicalDrive(unsigned long id) { logicalDrive = static_cast<unsigned int>(id); }
    EnumTaskState getStatus() const { return status; }
    void setStatus(EnumTaskState s) { status = s; }
    unsigned long getPercent() const { return percent; }
    void setPercent(unsigned long p) { percent = static_cast<unsigned int>(p); }
    unsigned long getExplanation() const { return explanation; }
    void setExplanation(unsigned long e) { explanation = static_cast<unsigned int>(e); }
    EnumPriorityLevel getPriority() const { return priority; }
    void setPriority(EnumPriorityLevel p) { priority = p; }
    unsigned long getTaskID() const { return taskID; }
    void setTaskID(unsigned long id) { taskID = static_cast<unsigned int>(id); }

    Addr* getDeviceAddr() { return &device; }
    const Addr* getDeviceAddr() const { return &device; }
    // Also takes the address's logical drive, so that a device address
    // leaves the record without one.
    void setDeviceAddr(const Addr& a);

    // <Progress  type="..." ... /> on the logical drive, or on the device
    // address when there is none.
    std::string toXML() const;

private:
    EnumTaskType type;
    unsigned int logicalDrive;
    Addr device;
    EnumTaskState status;
    unsigned int percent;
    unsigned int explanation;
    EnumPriorityLevel priority;
    unsigned int taskID;
};

// The tasks of one object, in the order the controller reported them.
class ProgressCollection {
public:
    bool operator==(const ProgressCollection& other) const { return progress == other.progress; }
    bool operator!=(const ProgressCollection& other) const { return !(*this == other); }

    void add(Progress& p) { progress.push_back(p); }
    Progress* getProgress(int i) { return &progress[static_cast<size_t>(i)]; }
    const Progress* getProgress(int i) const { return &progress[static_cast<size_t>(i)]; }
    unsigned long getSize() const { return progress.size(); }
    unsigned long getProgressCount() const { return progress.size(); }
    std::vector<Progress> getCollection() const { return progress; }

    std::string toXML() const;
    // Each record's XML text, handed to the writer as it stands.
    void writeTo(Writer* writer) const;

private:
    std::vector<Progress> progress;
};

#endif
