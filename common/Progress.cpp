#include "common/Progress.h"

#include "common/XMLWriter.h"

namespace {

// The logical drive and the task number are unset as an address id is, so
// that setDeviceAddr can take the address's logical drive as it stands.
constexpr unsigned int NO_ID = Addr::UNSET_ID;

} // namespace

Progress::Progress()
    : type(TASK_TYPE_NONE), logicalDrive(NO_ID), device(), status(TASK_STATE_NONE), percent(0), explanation(0),
      priority(PRIORITY_HIGH), taskID(NO_ID)
{
}

Progress::Progress(EnumTaskType type, unsigned long logicalDrive, EnumTaskState status, unsigned long percent)
    : type(type), logicalDrive(static_cast<unsigned int>(logicalDrive)), device(), status(status),
      percent(static_cast<unsigned int>(percent)), explanation(0), priority(PRIORITY_HIGH), taskID(NO_ID)
{
}

Progress::Progress(EnumTaskType type, Addr device, EnumTaskState status, unsigned long percent)
    : type(type), logicalDrive(NO_ID), device(device), status(status), percent(static_cast<unsigned int>(percent)),
      explanation(0), priority(PRIORITY_HIGH), taskID(NO_ID)
{
}

bool Progress::operator==(const Progress& other) const
{
    return type == other.type && logicalDrive == other.logicalDrive && device == other.device &&
           status == other.status && percent == other.percent && explanation == other.explanation &&
           priority == other.priority && taskID == other.taskID;
}

void Progress::setDeviceAddr(const Addr& a)
{
    device = a;
    logicalDrive = a.getLogicalDriveID();
}

std::string Progress::toXML() const
{
    char* text = nullptr;
    XMLWriter writer(&text);
    writer.addTag("<Progress ");
    writer.writeULong("type", static_cast<unsigned int>(type));
    if (logicalDrive != NO_ID)
        writer.writeULong("logicalDrive", logicalDrive);
    else
        writer.writeAddr(&device);
    writer.writeULong("status", static_cast<unsigned int>(status));
    writer.writeULong("percent", percent);
    writer.writeULong("furtherInformation", explanation);
    writer.writeInt("priority", priority);
    writer.writeInt("taskID", static_cast<int>(taskID));
    writer.addTag(" />");
    return text != nullptr ? std::string(text) : std::string();
}

std::string ProgressCollection::toXML() const
{
    char* text = nullptr;
    XMLWriter writer(&text);
    writer.addTag("<ProgressCollection> ");
    writeTo(&writer);
    writer.addTag(" </ProgressCollection>");
    return text != nullptr ? std::string(text) : std::string();
}

void ProgressCollection::writeTo(Writer* writer) const
{
    if (writer == nullptr)
        return;
    for (const Progress& p : progress)
        writer->addTag(p.toXML().c_str());
}
