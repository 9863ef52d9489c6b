#include "cli/support/Scenario.h"

#include "cli/support/Fixtures.h"
#include "cli/support/RecordingLib.h"

#include "RaidModel/Interface/ModelEnums.h"
#include "common/Addr.h"
#include "common/HostPath.h"

#include <sstream>
#include <stdexcept>

namespace vyntest {

std::shared_ptr<Scenario> Scenario::make(const std::string& fixture)
{
    return std::make_shared<Scenario>(fixture);
}

Scenario::Scenario(std::string fixture) : fixture_(std::move(fixture))
{
    if (!isFixtureName(fixture_))
        throw std::invalid_argument("unknown library fixture: " + fixture_);
}

LibraryFactory Scenario::factory()
{
    std::shared_ptr<Scenario> self = shared_from_this();
    return [self]() -> StorLibPlugin* {
        self->countLibrary();
        return new RecordingLib(self);
    };
}

void Scenario::changeTree(TreeChange change)
{
    treeChanges_.push_back(std::move(change));
}

void Scenario::applyTreeChanges(System& root)
{
    for (const TreeChange& change : treeChanges_)
        change(root);
}

void Scenario::answer(const std::string& operation, const Ret& ret)
{
    answers_[operation] = ret;
}

void Scenario::failWithApiStatus(const std::string& operation, unsigned int status)
{
    Ret ret;
    ret.setApiError(status);
    answer(operation, ret);
}

Ret Scenario::answerFor(const std::string& operation) const
{
    const auto chosen = answers_.find(operation);
    return chosen != answers_.end() ? chosen->second : Ret(0);
}

void Scenario::setControllerLog(EnumLogTypeRequest type, const std::string& text)
{
    controllerLogs_[static_cast<int>(type)] = text;
}

std::string Scenario::controllerLog(const Addr& addr, EnumLogTypeRequest type) const
{
    const auto chosen = controllerLogs_.find(static_cast<int>(type));
    if (chosen != controllerLogs_.end())
        return chosen->second;
    std::ostringstream text;
    text << "<ControllerLog controllerID=\"" << addr.getAdapterID() << "\" type=\"" << static_cast<int>(type)
         << "\"";
    switch (static_cast<int>(type)) {
    case 7:
        text << "><![CDATA[uart text]]></ControllerLog>";
        break;
    case 8:
        text << " time=\"0\" filename=\"" << vynHostPath("/var/log/") << "VelmornArch.log\"/>";
        break;
    default:
        text << "/>";
        break;
    }
    return text.str();
}

void Scenario::seedTasks(const Addr& target, const std::vector<Progress>& tasks)
{
    seedTaskRounds(target, {tasks});
}

void Scenario::seedTaskRounds(const Addr& target, const std::vector<std::vector<Progress>>& rounds)
{
    std::deque<std::vector<Progress>>& queue = tasks_[describeAddress(target)];
    queue.assign(rounds.begin(), rounds.end());
}

std::vector<Progress> Scenario::nextTasks(const Addr& target)
{
    const auto seeded = tasks_.find(describeAddress(target));
    if (seeded == tasks_.end() || seeded->second.empty())
        return {};
    std::vector<Progress> answer = seeded->second.front();
    if (seeded->second.size() > 1)
        seeded->second.pop_front();
    return answer;
}

std::vector<std::string> Scenario::callsOf(const std::string& operation) const
{
    std::vector<std::string> found;
    for (const std::string& call : calls_)
        if (call.compare(0, operation.size() + 1, operation + " ") == 0)
            found.push_back(call);
    return found;
}

Progress task(EnumTaskType type, const Addr& target, EnumTaskState status, unsigned long percent,
              unsigned long taskID)
{
    Progress record(type, target, status, percent);
    record.setDeviceAddr(target);
    record.setTaskID(taskID);
    return record;
}

Addr adapterAddr(unsigned long adapter)
{
    Addr addr;
    addr.setAdapterID(static_cast<std::uint32_t>(adapter));
    return addr;
}

Addr logicalDriveAddr(unsigned long id, unsigned long adapter)
{
    Addr addr = adapterAddr(adapter);
    addr.setLogicalDriveID(static_cast<std::uint32_t>(id));
    return addr;
}

Addr deviceAddr(unsigned long channel, unsigned long device, unsigned long adapter)
{
    Addr addr = adapterAddr(adapter);
    addr.setChannelID(static_cast<std::uint32_t>(channel));
    addr.setDeviceID(static_cast<std::uint32_t>(device));
    return addr;
}

std::string describeAddress(const Addr& addr)
{
    std::ostringstream out;
    const char* separator = "";
    auto put = [&](const char* name, unsigned long long id, unsigned long long unset) {
        if (id == unset)
            return;
        out << separator << name << "=" << id;
        separator = ",";
    };
    put("adapter", addr.getAdapterID(), Addr::UNSET_ID);
    put("array", addr.getArrayID(), Addr::UNSET_ID);
    put("logicalDrive", addr.getLogicalDriveID(), Addr::UNSET_ID);
    put("channel", addr.getChannelID(), Addr::UNSET_ID);
    put("device", addr.getDeviceID(), Addr::UNSET_ID);
    put("chunk", addr.getChunkID(), Addr::UNSET_CHUNK_ID);
    put("item", addr.getItemID(), Addr::UNSET_ID);
    put("sasPhy", addr.getSASPhyID(), Addr::UNSET_ID);
    return out.str();
}

}  // namespace vyntest
