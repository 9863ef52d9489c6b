#include "cli/support/RecordingLib.h"

#include "cli/support/Fixtures.h"

#include "RaidModel/Interface/System.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"
#include "common/LogicalDriveSpec.h"
#include "RaidModel/Interface/SCSICommand.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace vyntest {

namespace {

template <typename T> std::string arg(T value)
{
    std::ostringstream out;
    out << static_cast<unsigned long long>(value);
    return out.str();
}

std::string arg(bool value)
{
    return value ? "true" : "false";
}

std::string quoted(const char* text)
{
    return text != nullptr ? "\"" + std::string(text) + "\"" : "null";
}

// Chunks as channel,device@start+count, in request order.
std::string chunkList(const std::vector<ChunkSpec>& chunks)
{
    std::string text = "[";
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const ChunkSpec& c = chunks[i];
        if (i > 0)
            text += ";";
        text += arg(c.getChannelID()) + "," + arg(c.getDeviceID()) + "@" + arg(c.getStartBlock()) + "+" +
                arg(c.getNumBlocks());
    }
    return text + "]";
}

// A logical-drive request as its name, RAID level, stripe size and chunks.
std::vector<std::string> specArguments(const LogicalDriveSpec& spec)
{
    return {quoted(spec.getName()), arg(static_cast<long long>(spec.raidLevel)),
            arg(static_cast<long long>(spec.stripeSize)), chunkList(spec.chunks)};
}

std::string addresses(const AddrCollection& collection)
{
    std::string text = "[";
    for (unsigned long i = 0; i < collection.getAddrCount(); ++i) {
        if (i > 0)
            text += ";";
        text += describeAddress(collection.getAddr(i));
    }
    return text + "]";
}

// Into the caller's buffer of `size` bytes, cut to fit and terminated;
// `size` becomes the length written.
void copyOut(const std::string& text, char* buffer, unsigned long& size)
{
    if (buffer == nullptr || size == 0) {
        size = 0;
        return;
    }
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    size = static_cast<unsigned long>(length);
}

// A new array, as the library hands out texts; an array already held there
// is released.
void handOut(const std::string& text, char** out, unsigned long* size)
{
    if (out == nullptr)
        return;
    delete[] *out;
    *out = new char[text.size() + 1];
    std::memcpy(*out, text.c_str(), text.size() + 1);
    if (size != nullptr)
        *size = static_cast<unsigned long>(text.size());
}

std::string csvText(EnumLogTypeRequest type)
{
    return "ControllerLog," + std::to_string(static_cast<int>(type)) + "\n";
}

}  // namespace

RecordingLib::RecordingLib(std::string fixture)
    : StorLibPlugin(STORLIB_TYPE_VYN), scenario_(Scenario::make(fixture))
{
}

RecordingLib::RecordingLib(std::shared_ptr<Scenario> scenario)
    : StorLibPlugin(STORLIB_TYPE_VYN), scenario_(std::move(scenario))
{
    if (scenario_ == nullptr)
        throw std::invalid_argument("a recording library needs a scenario");
}

RecordingLib::~RecordingLib() = default;

System* RecordingLib::newSystem()
{
    return new FixtureSystem(scenario_);
}

void RecordingLib::answer(const std::string& operation, const Ret& ret)
{
    scenario_->answer(operation, ret);
}

void RecordingLib::failWithApiStatus(const std::string& operation, unsigned int status)
{
    scenario_->failWithApiStatus(operation, status);
}

Ret RecordingLib::record(const char* operation, const Addr& addr,
                         const std::vector<std::string>& arguments)
{
    std::string line = std::string(operation) + " " + describeAddress(addr);
    if (!arguments.empty()) {
        line += " |";
        for (std::size_t i = 0; i < arguments.size(); ++i)
            line += (i == 0 ? " " : ", ") + arguments[i];
    }
    scenario_->record(line);
    return scenario_->answerFor(operation);
}

Ret RecordingLib::createLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec)
{
    return record("createLogicalDrive", addr, specArguments(spec));
}

Ret RecordingLib::getEvents(const Addr& addr, unsigned long startEventNumber, char** /*xml*/)
{
    return record("getEvents", addr, {arg(startEventNumber)});
}

Ret RecordingLib::getEvents(const Addr& addr, unsigned long startEventNumber,
                            std::vector<GenericRecord>& /*events*/)
{
    return record("getEvents", addr, {arg(startEventNumber)});
}

Ret RecordingLib::getEvents(const Addr& addr, StorEventCollection& /*events*/)
{
    return record("getEvents", addr, {});
}

Ret RecordingLib::setAlarmState(const Addr& addr, EnumAlarmState state)
{
    return record("setAlarmState", addr, {arg(state)});
}

Ret RecordingLib::getAlarmState(const Addr& addr, EnumAlarmState& state)
{
    // An alarm that is present and off.
    state = ALARM_OFF;
    return record("getAlarmState", addr, {});
}

Ret RecordingLib::setControllerConfiguration(const Addr& addr, EnumConfigurationSource source,
                                             const Buffer& /*buffer*/)
{
    return record("setControllerConfiguration", addr, {arg(source), std::string("buffer")});
}

Ret RecordingLib::getControllerConfiguration(const Addr& addr, Buffer& /*buffer*/)
{
    return record("getControllerConfiguration", addr, {});
}

Ret RecordingLib::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** buffer,
                                   unsigned long* size)
{
    const Ret ret = record("getControllerLog", addr, {arg(type)});
    if (ret.getReturn() == 0)
        handOut(scenario_->controllerLog(addr, type), buffer, size);
    return ret;
}

Ret RecordingLib::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* buffer,
                                   unsigned long& size, unsigned int logicalDrive)
{
    const Ret ret = record("getControllerLog", addr, {arg(type), arg(logicalDrive)});
    if (ret.getReturn() == 0)
        copyOut(scenario_->controllerLog(addr, type), buffer, size);
    return ret;
}

Ret RecordingLib::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* xmlBuffer,
                                   unsigned long& xmlSize, char* csvBuffer, unsigned long& csvSize)
{
    const Ret ret = record("getControllerLog", addr, {arg(type)});
    if (ret.getReturn() == 0) {
        copyOut(scenario_->controllerLog(addr, type), xmlBuffer, xmlSize);
        copyOut(csvText(type), csvBuffer, csvSize);
    }
    return ret;
}

Ret RecordingLib::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** xmlBuffer,
                                   unsigned long* xmlSize, char** csvBuffer, unsigned long* csvSize)
{
    const Ret ret = record("getControllerLog", addr, {arg(type)});
    if (ret.getReturn() == 0) {
        handOut(scenario_->controllerLog(addr, type), xmlBuffer, xmlSize);
        handOut(csvText(type), csvBuffer, csvSize);
    }
    return ret;
}

Ret RecordingLib::clearControllerLog(const Addr& addr, EnumLogTypeRequest type)
{
    return record("clearControllerLog", addr, {arg(type)});
}

Ret RecordingLib::setDataScrubActive(const Addr& addr, bool active)
{
    return record("setDataScrubActive", addr, {arg(active)});
}

Ret RecordingLib::setDataScrubRate(const Addr& addr, EnumPriorityLevel rate)
{
    return record("setDataScrubRate", addr, {arg(rate)});
}

Ret RecordingLib::setDataScrubRate(const Addr& addr, unsigned long days)
{
    return record("setDataScrubRate", addr, {arg(days)});
}

Ret RecordingLib::pauseResumeIO(const Addr& addr, unsigned long pause)
{
    return record("pauseResumeIO", addr, {arg(pause)});
}

Ret RecordingLib::upgradeControllerFirmware(const Addr& addr, const char* file, bool flag)
{
    return record("upgradeControllerFirmware", addr, {quoted(file), arg(flag)});
}

Ret RecordingLib::upgradeSASDriveMicrocode(const Addr& addr, const char* file,
                                           unsigned long chunkSize, unsigned char mode)
{
    return record("upgradeSASDriveMicrocode", addr, {quoted(file), arg(chunkSize), arg(mode)});
}

Ret RecordingLib::upgradeSATADriveMicrocode(const Addr& addr, const char* file,
                                            unsigned long chunkSize, unsigned char mode)
{
    return record("upgradeSATADriveMicrocode", addr, {quoted(file), arg(chunkSize), arg(mode)});
}

Ret RecordingLib::isControllerPaused(const Addr& addr, bool& /*paused*/)
{
    return record("isControllerPaused", addr, {});
}

Ret RecordingLib::setAutoFailover(const Addr& addr, bool enable)
{
    return record("setAutoFailover", addr, {arg(enable)});
}

Ret RecordingLib::resetController(const Addr& addr)
{
    return record("resetController", addr, {});
}

Ret RecordingLib::setControllerPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode sata,
                                                  EnumHardDriveCacheMode sas)
{
    return record("setControllerPhysicalDriveCache", addr, {arg(sata), arg(sas)});
}

Ret RecordingLib::setDefaultLDTaskPriority(const Addr& addr, EnumPriorityLevel priority,
                                           bool applyToRunningTasks)
{
    return record("setDefaultLDTaskPriority", addr, {arg(priority), arg(applyToRunningTasks)});
}

Ret RecordingLib::setPerformanceMode(const Addr& addr, EnumPerformanceMode mode)
{
    return record("setPerformanceMode", addr, {arg(mode)});
}

Ret RecordingLib::setPMControllerStayAwakePeriod(const Addr& addr, unsigned long start,
                                                 unsigned long end, unsigned long enable,
                                                 unsigned char days)
{
    return record("setPMControllerStayAwakePeriod", addr,
                  {arg(start), arg(end), arg(enable), arg(days)});
}

Ret RecordingLib::setPMControllerSpinupLimits(const Addr& addr, unsigned long internalLimit,
                                              unsigned long externalLimit)
{
    return record("setPMControllerSpinupLimits", addr, {arg(internalLimit), arg(externalLimit)});
}

Ret RecordingLib::clearControllerNvsRam(const Addr& addr)
{
    return record("clearControllerNvsRam", addr, {});
}

Ret RecordingLib::setLogicalDriveName(const Addr& addr, const char* name)
{
    return record("setLogicalDriveName", addr, {quoted(name)});
}

Ret RecordingLib::setLogicalDriveCache(const Addr& addr, EnumLogicalDriveCacheMode readMode,
                                       EnumLogicalDriveCacheMode writeMode)
{
    return record("setLogicalDriveCache", addr, {arg(readMode), arg(writeMode)});
}

Ret RecordingLib::startTask(const Addr& addr, EnumTaskType task, char* text)
{
    return record("startTask", addr, {arg(task), quoted(text)});
}

Ret RecordingLib::setPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode mode)
{
    return record("setPhysicalDriveCache", addr, {arg(mode)});
}

Ret RecordingLib::synchronizeLogicalDrive(const Addr& addr, bool fix)
{
    return record("synchronizeLogicalDrive", addr, {arg(fix)});
}

Ret RecordingLib::initializeLogicalDrive(const Addr& addr, EnumInitMethod method,
                                         EnumPriorityLevel priority)
{
    return record("initializeLogicalDrive", addr, {arg(method), arg(priority)});
}

Ret RecordingLib::deleteLogicalDrive(const Addr& addr)
{
    return record("deleteLogicalDrive", addr, {});
}

Ret RecordingLib::deleteArray(const Addr& addr)
{
    return record("deleteArray", addr, {});
}

Ret RecordingLib::setStripeSize(const Addr& addr, EnumStripeSize stripeSize)
{
    return record("setStripeSize", addr, {arg(stripeSize)});
}

Ret RecordingLib::increaseLogicalDriveSize(const Addr& addr,
                                           const std::vector<ChunkSpec>& chunks,
                                           EnumPriorityLevel priority)
{
    return record("increaseLogicalDriveSize", addr, {chunkList(chunks), arg(priority)});
}

Ret RecordingLib::modifyLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec)
{
    return record("modifyLogicalDrive", addr, specArguments(spec));
}

Ret RecordingLib::setLogicalDriveBootable(const Addr& addr, bool bootable)
{
    return record("setLogicalDriveBootable", addr, {arg(bootable)});
}

Ret RecordingLib::setLogicalDriveState(const Addr& addr, EnumLogicalDeviceState state,
                                       EnumLogicalDeviceFOCmd command, unsigned long value)
{
    return record("setLogicalDriveState", addr, {arg(state), arg(command), arg(value)});
}

Ret RecordingLib::setPMLogicalDriveEnabled(const Addr& addr, bool enable)
{
    return record("setPMLogicalDriveEnabled", addr, {arg(enable)});
}

Ret RecordingLib::setPMLogicalDriveTimers(const Addr& addr, unsigned long slowdown,
                                          unsigned long powerOff, unsigned long verify)
{
    return record("setPMLogicalDriveTimers", addr, {arg(slowdown), arg(powerOff), arg(verify)});
}

Ret RecordingLib::createJBOD(const Addr& addr)
{
    return record("createJBOD", addr, {});
}

Ret RecordingLib::deleteJBOD(const Addr& addr)
{
    return record("deleteJBOD", addr, {});
}

Ret RecordingLib::setDeviceState(const Addr& addr, EnumPhysicalDeviceState state)
{
    return record("setDeviceState", addr, {arg(state)});
}

Ret RecordingLib::createGlobalHotSpare(const Addr& addr)
{
    return record("createGlobalHotSpare", addr, {});
}

Ret RecordingLib::createAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives)
{
    return record("createAssignedHotSpare", addr, {addresses(logicalDrives)});
}

Ret RecordingLib::deleteHotSpare(const Addr& addr)
{
    return record("deleteHotSpare", addr, {});
}

Ret RecordingLib::deleteAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives)
{
    return record("deleteAssignedHotSpare", addr, {addresses(logicalDrives)});
}

Ret RecordingLib::identifyDevice(const Addr& addr, EnumIdentifyOption option)
{
    return record("identifyDevice", addr, {arg(option)});
}

Ret RecordingLib::initializeHardDrive(const Addr& addr)
{
    return record("initializeHardDrive", addr, {});
}

Ret RecordingLib::initializeHardDriveSet(const Addr& addr, AddrCollection& drives, bool flag)
{
    const Ret ret = record("initializeHardDriveSet", addr, {addresses(drives), arg(flag)});
    // The drives left in the list are those not initialized: none after a
    // successful call, all of them after a failed one.
    if (ret.getReturn() == 0)
        drives = AddrCollection();
    return ret;
}

Ret RecordingLib::protectHardDriveSet(const Addr& addr, AddrCollection& drives, bool protect,
                                      bool flag)
{
    return record("protectHardDriveSet", addr, {addresses(drives), arg(protect), arg(flag)});
}

Ret RecordingLib::scsiPassThruCommand(const Addr& addr, SCSICommand& command)
{
    std::string cdb;
    Buffer* bytes = command.getScsiCmd();
    for (unsigned long i = 0; i < bytes->Size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02X", i == 0 ? "" : " ", bytes->getByte(i));
        cdb += hex;
    }
    Buffer& in = command.getReadData();
    if (in.Size() > 0)
        std::memset(in.Ptr(), 0, in.Size());
    return record("scsiPassThruCommand", addr, {"[" + cdb + "]", arg(static_cast<long long>(command.getDirection()))});
}

Ret RecordingLib::downHardDrive(const Addr& addr, bool down)
{
    return record("downHardDrive", addr, {arg(down)});
}

Ret RecordingLib::syncRescan(const Addr& addr)
{
    return record("syncRescan", addr, {});
}

Ret RecordingLib::asyncRescan(const Addr& addr)
{
    return record("asyncRescan", addr, {});
}

Ret RecordingLib::getTasks(const Addr& addr, char** xml)
{
    const Ret ret = record("getTasks", addr, {});
    if (ret.getReturn() == 0) {
        ProgressCollection tasks;
        for (Progress task : scenario_->nextTasks(addr))
            tasks.add(task);
        handOut("<ProgressCollection>\n" + tasks.toXML() + "\n</ProgressCollection>", xml, nullptr);
    }
    return ret;
}

Ret RecordingLib::getTasks(const Addr& addr, ProgressCollection& tasks)
{
    const Ret ret = record("getTasks", addr, {});
    if (ret.getReturn() == 0)
        for (Progress task : scenario_->nextTasks(addr))
            tasks.add(task);
    return ret;
}

Ret RecordingLib::setTaskPriority(const Addr& addr, unsigned long taskID,
                                  EnumPriorityLevel priority)
{
    return record("setTaskPriority", addr, {arg(taskID), arg(priority)});
}

Ret RecordingLib::abortTask(const Addr& addr, unsigned long taskID)
{
    return record("abortTask", addr, {arg(taskID)});
}

Ret RecordingLib::testAllSpares(const Addr& addr)
{
    return record("testAllSpares", addr, {});
}

Ret RecordingLib::setCopyBack(const Addr& addr, bool enable)
{
    return record("setCopyBack", addr, {arg(enable)});
}

Ret RecordingLib::setOrvexaWrite(const Addr& addr, bool enable)
{
    return record("setOrvexaWrite", addr, {arg(enable)});
}

Ret RecordingLib::startDiskDiagnostic(const Addr& addr, EnumDiskDiagType type)
{
    return record("startDiskDiagnostic", addr, {arg(type)});
}

Ret RecordingLib::abortDiskDiagnostic(const Addr& addr)
{
    return record("abortDiskDiagnostic", addr, {});
}

Ret RecordingLib::getDiskDiagnosticProgress(const Addr& addr, DISK_DIAGNOSTIC_STATE& /*state*/)
{
    return record("getDiskDiagnosticProgress", addr, {});
}

Ret RecordingLib::getDiskDiagnosticResults(const Addr& addr, DISK_DIAGNOSTIC_STATE& /*state*/)
{
    return record("getDiskDiagnosticResults", addr, {});
}

Ret RecordingLib::startControllerDiagnostic(const Addr& addr, EnumAdapterDiagType type)
{
    return record("startControllerDiagnostic", addr, {arg(type)});
}

Ret RecordingLib::startBatteryCalibration(const Addr& addr)
{
    return record("startBatteryCalibration", addr, {});
}

Ret RecordingLib::startHardDriveTask(const Addr& addr, EnumHardDriveTask task)
{
    return record("startHardDriveTask", addr, {arg(task)});
}

Ret RecordingLib::clearPPITable(const Addr& addr)
{
    return record("clearPPITable", addr, {});
}

Ret RecordingLib::setSesControlBytes(const Addr& addr, unsigned char byte0, unsigned char byte1,
                                     unsigned char byte2, unsigned char byte3)
{
    return record("setSesControlBytes", addr, {arg(byte0), arg(byte1), arg(byte2), arg(byte3)});
}

Ret RecordingLib::addDriveToOrvexaPool(const Addr& addr, AddrCollection& drives)
{
    return record("addDriveToOrvexaPool", addr, {addresses(drives)});
}

Ret RecordingLib::removeDriveFromOrvexaPool(const Addr& addr, AddrCollection& drives)
{
    return record("removeDriveFromOrvexaPool", addr, {addresses(drives)});
}

Ret RecordingLib::clearOrvexaPool(const Addr& addr)
{
    return record("clearOrvexaPool", addr, {});
}

Ret RecordingLib::isOrvexaHasDirtyData(const Addr& addr)
{
    return record("isOrvexaHasDirtyData", addr, {});
}

Ret RecordingLib::setOrvexaPreferredCache(const Addr& addr, EnumOrvexaPreferredSetting setting)
{
    return record("setOrvexaPreferredCache", addr, {arg(setting)});
}

Ret RecordingLib::setPreferredOrvexaWriteCache(const Addr& addr,
                                               EnumOrvexaWriteCachePreferredSetting setting,
                                               EnumOrvexaWriteCachePolicySetting policy)
{
    return record("setPreferredOrvexaWriteCache", addr, {arg(setting), arg(policy)});
}

Ret RecordingLib::setOrvexaFlushAndFetchRate(const Addr& addr, unsigned long rate)
{
    return record("setOrvexaFlushAndFetchRate", addr, {arg(rate)});
}

Ret RecordingLib::setDirtyPageThresholdValue(const Addr& addr, unsigned long value)
{
    return record("setDirtyPageThresholdValue", addr, {arg(value)});
}

Ret RecordingLib::setOrvexaRWFactor(const Addr& addr, unsigned long readFactor,
                                    unsigned long writeFactor)
{
    return record("setOrvexaRWFactor", addr, {arg(readFactor), arg(writeFactor)});
}

Ret RecordingLib::setSataNCQ(const Addr& addr, bool enable)
{
    return record("setSataNCQ", addr, {arg(enable)});
}

Ret RecordingLib::getSmartStats(const Addr& addr, char* buffer, unsigned long& size)
{
    const Ret ret = record("getSmartStats", addr, {});
    if (ret.getReturn() == 0)
        copyOut("<SmartStats/>", buffer, size);
    return ret;
}

Ret RecordingLib::getControllerStats(const Addr& addr, char* /*buffer*/, unsigned long& /*size*/)
{
    return record("getControllerStats", addr, {});
}

Ret RecordingLib::setStatisticDataCollectionMode(const Addr& addr, bool enable)
{
    return record("setStatisticDataCollectionMode", addr, {arg(enable)});
}

Ret RecordingLib::configureATAPassword(const Addr& addr, const char* password, bool set)
{
    return record("configureATAPassword", addr, {quoted(password), arg(set)});
}

Ret RecordingLib::resetStatisticsCounters(const Addr& addr)
{
    return record("resetStatisticsCounters", addr, {});
}

}  // namespace vyntest
