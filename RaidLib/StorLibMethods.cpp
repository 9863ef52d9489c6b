#include "RaidLib/StorLibPlugin.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Array.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Enclosure.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/SESElements.h"
#include "RaidModel/Interface/System.h"
#include "common/Addr.h"
#include "common/Progress.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/XMLWriter.h"

namespace {

// Room the controller gets for one log read, and for each form of the
// two-form read.
const unsigned long SINGLE_LOG_SIZE = 2097664;
const unsigned long DUAL_LOG_SIZE = 3146240;

// The frame shared by every operation: trace, current-tree check, lookup by
// address (library type ignored), then `call` on the object found; nothing
// thrown below escapes.
template <typename Call>
Ret runFrame(const StorLibPlugin& lib, const char* label, const Addr& addr, Call call)
{
    const EnumStorLibType type = lib.getStorLibType();
    StorDebugTracer trace(type, STOR_DEBUG_TRACE, label);
    Ret ret(0);
    System* root = lib.getSystem();
    if (root == nullptr) {
        ret.setBadParam(0);
        StorErrorPrintf(type, __FILE__, __LINE__, "*** Bad Parameter: curSystem==NULL ***");
        return ret;
    }
    try {
        RaidObject* object = root->getChild(addr, true);
        if (object == nullptr) {
            ret.setObjectNotFound();
            StorErrorPrintf(
                type, __FILE__, __LINE__,
                "*** Object Not Found (adapterID=0x%08x, channelID=0x%08x, deviceID=0x%08x, "
                "logicalDriveID=0x%08x, arrayID=0x%08x) ***",
                addr.getAdapterID(), addr.getChannelID(), addr.getDeviceID(),
                addr.getLogicalDriveID(), addr.getArrayID());
            return ret;
        }
        ret = call(*object);
    } catch (...) {
        ret.setException();
        StorErrorPrintf(type, __FILE__, __LINE__, "*** Exception Caught ***");
    }
    return ret;
}

Ret badParam(const StorLibPlugin& lib, const char* text)
{
    Ret ret(0);
    ret.setBadParam(0);
    StorErrorPrintf(lib.getStorLibType(), __FILE__, __LINE__, "*** Bad Parameter: %s, paramValue=%d ***", text, 0);
    return ret;
}

Ret invalidType(const StorLibPlugin& lib)
{
    return badParam(lib, "addrIN identified invalid object type");
}

Ret resourceError(const StorLibPlugin& lib, const char* text)
{
    Ret ret(0);
    ret.setResource();
    StorErrorPrintf(lib.getStorLibType(), __FILE__, __LINE__, "*** Resource Error: %s ***", text);
    return ret;
}

// The frame with one accepted class: `call` gets the object as a `T`.
template <typename T, typename Call>
Ret runOn(const StorLibPlugin& lib, const char* label, const Addr& addr, const char* className, Call call)
{
    return runFrame(lib, label, addr, [&](RaidObject& object) {
        if (!object.isInstanceOf(className))
            return invalidType(lib);
        return call(static_cast<T&>(object));
    });
}

// Drive tasks by the task type a caller names; 0 for a type with none.
int hardDriveTaskFor(EnumTaskType type)
{
    switch (type) {
    case TASK_TYPE_VERIFY: return 1;
    case TASK_TYPE_BUILD_VERIFY: return 2;
    case TASK_TYPE_CLEAR: return 3;
    case TASK_TYPE_SECURE_ERASE: return 4;
    default: return 0;
    }
}

const int SECURE_ERASE_DRIVE_TASK = 4;

}  // namespace

Ret StorLibPlugin::getEvents(const Addr& addr, unsigned long start, char** xml)
{
    return runOn<Adapter>(*this, "StorLib::getEvents(char**)", addr, "Adapter", [&](Adapter& adapter) {
        if (xml == nullptr)
            return badParam(*this, "xmlINOUT == NULL");
        std::string text;
        Ret ret = adapter.getEvents(start, text);
        if (ret.getReturn() != 0)
            return ret;
        char* copy = new (std::nothrow) char[text.size() + 4];
        if (copy == nullptr)
            return resourceError(*this, "pBuffer = new char[xmlEvents.size()+4]");
        std::memcpy(copy, text.c_str(), text.size() + 1);
        delete[] *xml;
        *xml = copy;
        return ret;
    });
}

Ret StorLibPlugin::setAlarmState(const Addr& addr, EnumAlarmState state)
{
    return runFrame(*this, "StorLib::setAlarmState()", addr, [&](RaidObject& object) {
        if (object.isInstanceOf("Adapter"))
            return static_cast<Adapter&>(object).setAlarmState(state);
        if (object.isInstanceOf("Enclosure"))
            return static_cast<Enclosure&>(object).setAlarmState(state);
        if (object.isInstanceOf("SES2EnclosureDevice"))
            return static_cast<SES2EnclosureDevice&>(object).setAlarmState(state);
        return invalidType(*this);
    });
}

Ret StorLibPlugin::getAlarmState(const Addr& addr, EnumAlarmState& state)
{
    return runOn<Adapter>(*this, "StorLib::getAlarmState()", addr, "Adapter", [&](Adapter& adapter) {
        state = adapter.getAlarmState();
        return Ret(0);
    });
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** pBufferOUT,
                                    unsigned long* buffSizeOUT)
{
    return runFrame(*this, "StorLib::getControllerLog(char **)", addr, [&](RaidObject& object) {
        if (pBufferOUT == nullptr)
            return badParam(*this, "pBufferOUT==NULL");
        if (buffSizeOUT == nullptr)
            return badParam(*this, "buffSizeOUT==NULL");
        if (!object.isInstanceOf("Adapter"))
            return invalidType(*this);
        unsigned long size = SINGLE_LOG_SIZE;
        // Held here until handed out, so a controller that throws leaks nothing.
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
        if (buffer == nullptr)
            return resourceError(*this, "pBuffer = new char[buffSize]");
        buffer[0] = '\0';
        Ret ret = static_cast<Adapter&>(object).getControllerLog(type, buffer.get(), size, 0);
        delete[] *pBufferOUT;
        if (ret.getReturn() == 0) {
            *pBufferOUT = buffer.release();
            *buffSizeOUT = size;
        } else {
            *pBufferOUT = nullptr;
            *buffSizeOUT = 0;
        }
        return ret;
    });
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char** xmlOUT,
                                    unsigned long* xmlSizeOUT, char** csvOUT, unsigned long* csvSizeOUT)
{
    return runOn<Adapter>(*this, "StorLib::getControllerLog(char **, ULONG*, char**, ULONG *)", addr, "Adapter",
                          [&](Adapter& adapter) {
        const bool wantXml = xmlOUT != nullptr && xmlSizeOUT != nullptr;
        const bool wantCsv = csvOUT != nullptr && csvSizeOUT != nullptr;
        unsigned long xmlSize = DUAL_LOG_SIZE;
        unsigned long csvSize = DUAL_LOG_SIZE;
        // Held here until handed out, so a controller that throws or fails
        // leaks nothing.
        std::unique_ptr<char[]> xmlBuffer;
        std::unique_ptr<char[]> csvBuffer;
        if (wantXml) {
            xmlBuffer.reset(new (std::nothrow) char[xmlSize]);
            if (xmlBuffer == nullptr)
                return resourceError(*this, "pXMLBuffer = new char[buffSize]");
            xmlBuffer[0] = '\0';
        }
        if (wantCsv) {
            csvBuffer.reset(new (std::nothrow) char[csvSize]);
            if (csvBuffer == nullptr)
                return resourceError(*this, "pCSVBuffer = new char[buffSize]");
            csvBuffer[0] = '\0';
        }
        Ret ret = adapter.getControllerLog(type, xmlBuffer.get(), xmlSize, csvBuffer.get(), csvSize);
        const bool ok = ret.getReturn() == 0;
        // A caller that parked one array in both out-pointers gets it
        // released once, not twice.
        char* released = nullptr;
        auto handOut = [ok, &released](std::unique_ptr<char[]>& buffer, unsigned long size, char** out,
                                       unsigned long* sizeOut) {
            if (*out != released) {
                delete[] *out;
                released = *out;
            }
            *out = ok ? buffer.release() : nullptr;
            *sizeOut = ok ? size : 0;
        };
        if (wantXml)
            handOut(xmlBuffer, xmlSize, xmlOUT, xmlSizeOUT);
        if (wantCsv)
            handOut(csvBuffer, csvSize, csvOUT, csvSizeOUT);
        return ret;
    });
}

Ret StorLibPlugin::startTask(const Addr& addr, EnumTaskType task, char* text)
{
    return runFrame(*this, "StorLib::startTask()", addr, [&](RaidObject& object) {
        if (object.isInstanceOf("HardDrive")) {
            const int driveTask = hardDriveTaskFor(task);
            if (driveTask == 0)
                return Ret(-1);
            const char* argument = driveTask == SECURE_ERASE_DRIVE_TASK ? text : nullptr;
            return static_cast<HardDrive&>(object).startTask(static_cast<EnumHardDriveTask>(driveTask), argument);
        }
        if (object.isInstanceOf("LogicalDrive")) {
            LogicalDrive& drive = static_cast<LogicalDrive&>(object);
            switch (task) {
            case TASK_TYPE_VERIFY: return drive.verify();
            case TASK_TYPE_BUILD_VERIFY: return drive.synchronize();
            case TASK_TYPE_CLEAR:
                return drive.initializeLogicalDrive(static_cast<EnumInitMethod>(1), PRIORITY_HIGH);
            // Nothing was started, so success would mislead the caller.
            default: return Ret(-1);
            }
        }
        return invalidType(*this);
    });
}

Ret StorLibPlugin::identifyDevice(const Addr& addr, EnumIdentifyOption option)
{
    const bool on = option == 0;
    return runFrame(*this, "StorLib::identifyDevice()", addr, [&](RaidObject& object) {
        if (object.isInstanceOf("PhysicalDevice"))
            return static_cast<PhysicalDevice&>(object).identifyDevice(on);
        if (object.isInstanceOf("LogicalDrive"))
            return static_cast<LogicalDrive&>(object).identifyDevice(on);
        if (object.isInstanceOf("Channel"))
            return static_cast<Channel&>(object).identifyDevice(on);
        return invalidType(*this);
    });
}

Ret StorLibPlugin::getTasks(const Addr& addr, char** xml)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE, "StorLib::getTasks(char**)");
    Ret ret(0);
    if (xml == nullptr)
        return badParam(*this, "xmlOUT==NULL");
    try {
        ProgressCollection tasks;
        char* text = nullptr;
        XMLWriter writer(&text);
        writer.writeRawString("<ProgressCollection>\n");
        ret = getTasks(addr, tasks);
        if (ret.getReturn() == 0 && tasks.getSize() > 0)
            tasks.writeTo(&writer);
        writer.writeRawString("\n</ProgressCollection>");
        const unsigned long size = writer.getBuffSize();
        char* copy = text != nullptr && size > 0 ? new (std::nothrow) char[size] : nullptr;
        if (copy == nullptr)
            return resourceError(*this, "pXmlOUT = new char[]");
        std::memcpy(copy, text, size);
        delete[] *xml;
        *xml = copy;
    } catch (...) {
        ret.setException();
        StorErrorPrintf(getStorLibType(), __FILE__, __LINE__, "*** Exception Caught ***");
    }
    return ret;
}

Ret StorLibPlugin::getTasks(const Addr& addr, ProgressCollection& tasks)
{
    return runFrame(*this, "StorLib::getTasks(ProgressCollection &)", addr, [&](RaidObject& object) {
        if (object.isInstanceOf("Adapter"))
            return static_cast<Adapter&>(object).getProgress(tasks);
        if (object.isInstanceOf("HardDrive"))
            return static_cast<HardDrive&>(object).getProgress(tasks);
        if (object.isInstanceOf("LogicalDrive"))
            return static_cast<LogicalDrive&>(object).getProgress(tasks);
        return invalidType(*this);
    });
}

Ret StorLibPlugin::setTaskPriority(const Addr& addr, unsigned long taskID, EnumPriorityLevel priority)
{
    return runFrame(*this, "StorLib::setTaskPriority()", addr, [&](RaidObject& object) {
        if (object.isInstanceOf("Adapter"))
            return static_cast<Adapter&>(object).setTaskPriority(taskID, priority);
        if (object.isInstanceOf("LogicalDrive"))
            return static_cast<LogicalDrive&>(object).setTaskPriority(taskID, priority);
        return invalidType(*this);
    });
}

Ret StorLibPlugin::setSesControlBytes(const Addr& addr, unsigned char byte0, unsigned char byte1,
                                      unsigned char byte2, unsigned char byte3)
{
    return runFrame(*this, "StorLib::setSesControlBytes()", addr, [&](RaidObject& object) {
        if (object.isInstanceOf("SES2EnclosureDevice"))
            return static_cast<SES2EnclosureDevice&>(object).setControlBytes(byte0, byte1, byte2, byte3);
        if (object.isInstanceOf("SESElement"))
            return static_cast<SESElement&>(object).setControlBytes(byte0, byte1, byte2, byte3);
        return invalidType(*this);
    });
}

Ret StorLibPlugin::createLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec)
{
    return runOn<Adapter>(*this, "StorLib::createLogicalDrive()", addr, "Adapter",
                     [&](Adapter& d) { return d.createLogicalDrive(spec); });
}

Ret StorLibPlugin::getEvents(const Addr& addr, unsigned long start, std::vector<GenericRecord>& events)
{
    return runOn<Adapter>(*this, "StorLib::getEvents(const ADDR_T& addr, ULONG startEventNumberIN, vector<GENERIC_RECORD>& eventsINOUT)", addr, "Adapter",
                     [&](Adapter& d) { return d.getEvents(start, events); });
}

Ret StorLibPlugin::getEvents(const Addr& addr, StorEventCollection& events)
{
    return runOn<Adapter>(*this, "StorLib::getEvents(StorEventCollection &)", addr, "Adapter",
                     [&](Adapter& d) { return d.getEvents(events); });
}

Ret StorLibPlugin::setControllerConfiguration(const Addr& addr, EnumConfigurationSource, const Buffer& buffer)
{
    return runOn<Adapter>(*this, "StorLib::setControllerConfiguration()", addr, "Adapter",
                     [&](Adapter& d) { return d.setConfiguration(buffer); });
}

Ret StorLibPlugin::getControllerConfiguration(const Addr& addr, Buffer& buffer)
{
    return runOn<Adapter>(*this, "StorLib::getControllerConfiguration()", addr, "Adapter",
                     [&](Adapter& d) { return d.getConfiguration(buffer); });
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* buffer, unsigned long& size, unsigned int logicalDrive)
{
    return runOn<Adapter>(*this, "StorLib::getControllerLog(char *)", addr, "Adapter",
                     [&](Adapter& d) { return d.getControllerLog(type, buffer, size, logicalDrive); });
}

Ret StorLibPlugin::getControllerLog(const Addr& addr, EnumLogTypeRequest type, char* xmlBuffer, unsigned long& xmlSize, char* csvBuffer, unsigned long& csvSize)
{
    return runOn<Adapter>(*this, "StorLib::getControllerLog(char *)", addr, "Adapter",
                     [&](Adapter& d) { return d.getControllerLog(type, xmlBuffer, xmlSize, csvBuffer, csvSize); });
}

Ret StorLibPlugin::clearControllerLog(const Addr& addr, EnumLogTypeRequest type)
{
    return runOn<Adapter>(*this, "StorLib::clearControllerLog()", addr, "Adapter",
                     [&](Adapter& d) { return d.clearControllerLog(type); });
}

Ret StorLibPlugin::setDataScrubActive(const Addr& addr, bool active)
{
    return runOn<Adapter>(*this, "StorLib::setDataScrubActive()", addr, "Adapter",
                     [&](Adapter& d) { return d.setDataScrubActive(active); });
}

Ret StorLibPlugin::setDataScrubRate(const Addr& addr, EnumPriorityLevel rate)
{
    return runOn<Adapter>(*this, "StorLib::setDataScrubRate()", addr, "Adapter",
                     [&](Adapter& d) { return d.setDataScrubRate(rate); });
}

Ret StorLibPlugin::setDataScrubRate(const Addr& addr, unsigned long days)
{
    return runOn<Adapter>(*this, "StorLib::setDataScrubRate()", addr, "Adapter",
                     [&](Adapter& d) { return d.setDataScrubRate(days); });
}

Ret StorLibPlugin::pauseResumeIO(const Addr& addr, unsigned long pause)
{
    return runOn<Adapter>(*this, "StorLib::pauseResumeIO()", addr, "Adapter",
                     [&](Adapter& d) { return d.pauseResumeIO(pause); });
}

Ret StorLibPlugin::upgradeControllerFirmware(const Addr& addr, const char* file, bool flag)
{
    return runOn<Adapter>(*this, "StorLib::upgradeControllerFirmware()", addr, "Adapter",
                     [&](Adapter& d) { return d.upgradeControllerFirmware(file, flag); });
}

Ret StorLibPlugin::upgradeSASDriveMicrocode(const Addr& addr, const char* file, unsigned long chunkSize, unsigned char mode)
{
    return runOn<HardDrive>(*this, "StorLib::upgradeSASDriveMicrocode()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.upgradeSASDriveFirmware(file, chunkSize, mode); });
}

Ret StorLibPlugin::upgradeSATADriveMicrocode(const Addr& addr, const char* file, unsigned long chunkSize, unsigned char mode)
{
    return runOn<HardDrive>(*this, "StorLib::upgradeSATADriveMicrocode()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.upgradeSATADriveFirmware(file, chunkSize, mode); });
}

Ret StorLibPlugin::isControllerPaused(const Addr& addr, bool& paused)
{
    return runOn<Adapter>(*this, "StorLib::isControllerPaused()", addr, "Adapter",
                     [&](Adapter& d) { return d.isPaused(paused); });
}

Ret StorLibPlugin::setAutoFailover(const Addr& addr, bool enable)
{
    return runOn<Adapter>(*this, "StorLib::setAutoFailover()", addr, "Adapter",
                     [&](Adapter& d) { return d.setAutoFailoverEnabled(enable); });
}

Ret StorLibPlugin::resetController(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::resetController()", addr, "Adapter",
                     [&](Adapter& d) { return d.resetController(); });
}

Ret StorLibPlugin::setControllerPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode sata, EnumHardDriveCacheMode sas)
{
    return runOn<Adapter>(*this, "StorLib::setControllerPhysicalDriveCache()", addr, "Adapter",
                     [&](Adapter& d) { return d.setPhysicalDriveCache(sata, sas); });
}

Ret StorLibPlugin::setDefaultLDTaskPriority(const Addr& addr, EnumPriorityLevel priority, bool applyToRunningTasks)
{
    return runOn<Adapter>(*this, "StorLib::setDefaultLDTaskPriority()", addr, "Adapter",
                     [&](Adapter& d) { return d.setDefaultLDTaskPriority(priority, applyToRunningTasks); });
}

Ret StorLibPlugin::setPerformanceMode(const Addr& addr, EnumPerformanceMode mode)
{
    return runOn<Adapter>(*this, "StorLib::setPerformanceMode()", addr, "Adapter",
                     [&](Adapter& d) { return d.setPerformanceMode(mode); });
}

Ret StorLibPlugin::setPMControllerStayAwakePeriod(const Addr& addr, unsigned long start, unsigned long end, unsigned long enable, unsigned char days)
{
    return runOn<Adapter>(*this, "StorLib::setPMControllerStayAwakePeriod()", addr, "Adapter",
                     [&](Adapter& d) { return d.setPMStayAwakePeriod(start, end, enable, days); });
}

Ret StorLibPlugin::setPMControllerSpinupLimits(const Addr& addr, unsigned long internalLimit, unsigned long externalLimit)
{
    return runOn<Adapter>(*this, "StorLib::setPMControllerSpinupLimits()", addr, "Adapter",
                     [&](Adapter& d) { return d.setPMSpinupLimits(internalLimit, externalLimit); });
}

Ret StorLibPlugin::clearControllerNvsRam(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::clearControllerNvsRam()", addr, "Adapter",
                     [&](Adapter& d) { return d.clearNvsRam(); });
}

Ret StorLibPlugin::setLogicalDriveName(const Addr& addr, const char* name)
{
    return runOn<LogicalDrive>(*this, "StorLib::setLogicalDriveName()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setName(name); });
}

Ret StorLibPlugin::setLogicalDriveCache(const Addr& addr, EnumLogicalDriveCacheMode readMode, EnumLogicalDriveCacheMode writeMode)
{
    return runOn<LogicalDrive>(*this, "StorLib::setLogicalDriveCache()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setCache(readMode, writeMode); });
}

Ret StorLibPlugin::setPhysicalDriveCache(const Addr& addr, EnumHardDriveCacheMode mode)
{
    return runOn<HardDrive>(*this, "StorLib::setPhysicalDriveCache()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.setWriteCacheEnable(mode == 0); });
}

Ret StorLibPlugin::synchronizeLogicalDrive(const Addr& addr, bool fix)
{
    return runOn<LogicalDrive>(*this, "StorLib::synchronizeLogicalDrive()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return fix ? d.synchronize() : d.verify(); });
}

Ret StorLibPlugin::initializeLogicalDrive(const Addr& addr, EnumInitMethod method, EnumPriorityLevel priority)
{
    return runOn<LogicalDrive>(*this, "StorLib::initializeLogicalDrive()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.initializeLogicalDrive(method, priority); });
}

Ret StorLibPlugin::deleteLogicalDrive(const Addr& addr)
{
    return runOn<LogicalDrive>(*this, "StorLib::deleteLogicalDrive()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.deleteLogicalDrive(); });
}

Ret StorLibPlugin::deleteArray(const Addr& addr)
{
    return runOn<Array>(*this, "StorLib::deleteArray()", addr, "Array",
                     [](Array&) { return Ret(0); });
}

Ret StorLibPlugin::setStripeSize(const Addr& addr, EnumStripeSize stripeSize)
{
    return runOn<LogicalDrive>(*this, "StorLib::setStripeSize()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setStripeSize(stripeSize); });
}

Ret StorLibPlugin::increaseLogicalDriveSize(const Addr& addr, const std::vector<ChunkSpec>& chunks, EnumPriorityLevel priority)
{
    return runOn<LogicalDrive>(*this, "StorLib::increaseLogicalDriveSize()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.increaseSize(chunks, priority); });
}

Ret StorLibPlugin::modifyLogicalDrive(const Addr& addr, const LogicalDriveSpec& spec)
{
    return runOn<LogicalDrive>(*this, "StorLib::modifyLogicalDrive()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.modify(spec); });
}

Ret StorLibPlugin::setLogicalDriveBootable(const Addr& addr, bool bootable)
{
    return runOn<LogicalDrive>(*this, "StorLib::setLogicalDriveBootable()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setBootable(bootable); });
}

Ret StorLibPlugin::setLogicalDriveState(const Addr& addr, EnumLogicalDeviceState state, EnumLogicalDeviceFOCmd command, unsigned long value)
{
    return runOn<LogicalDrive>(*this, "StorLib::setLogicalDriveState()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setState(state, command, value); });
}

Ret StorLibPlugin::setPMLogicalDriveEnabled(const Addr& addr, bool enable)
{
    return runOn<LogicalDrive>(*this, "StorLib::setPMLogicalDriveEnabled()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setPMEnabled(enable); });
}

Ret StorLibPlugin::setPMLogicalDriveTimers(const Addr& addr, unsigned long slowdown, unsigned long powerOff, unsigned long verify)
{
    return runOn<LogicalDrive>(*this, "StorLib::setPMLogicalDriveTimers()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setPMTimers(slowdown, powerOff, verify); });
}

Ret StorLibPlugin::createJBOD(const Addr& addr)
{
    return runOn<HardDrive>(*this, "StorLib::createJBOD()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.createJBOD(); });
}

Ret StorLibPlugin::deleteJBOD(const Addr& addr)
{
    return runOn<HardDrive>(*this, "StorLib::deleteJBOD()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.deleteJBOD(); });
}

Ret StorLibPlugin::setDeviceState(const Addr& addr, EnumPhysicalDeviceState state)
{
    return runOn<PhysicalDevice>(*this, "StorLib::setDeviceState()", addr, "PhysicalDevice",
                     [&](PhysicalDevice& d) { return d.setState(state); });
}

Ret StorLibPlugin::createGlobalHotSpare(const Addr& addr)
{
    return runOn<HardDrive>(*this, "StorLib::createGlobalHotSpare()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.createGlobalHotSpare(); });
}

Ret StorLibPlugin::createAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives)
{
    return runOn<HardDrive>(*this, "StorLib::createAssignedHotSpare()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.createDedicatedHotSpare(logicalDrives); });
}

Ret StorLibPlugin::deleteHotSpare(const Addr& addr)
{
    return runOn<HardDrive>(*this, "StorLib::deleteHotSpare()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.deleteHotSpare(); });
}

Ret StorLibPlugin::deleteAssignedHotSpare(const Addr& addr, const AddrCollection& logicalDrives)
{
    return runOn<HardDrive>(*this, "StorLib::deleteAssignedHotSpare()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.deleteAssignedHotSpare(logicalDrives); });
}

Ret StorLibPlugin::initializeHardDrive(const Addr& addr)
{
    return runOn<HardDrive>(*this, "StorLib::initializeHardDrive()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.initializeHardDrive(); });
}

Ret StorLibPlugin::initializeHardDriveSet(const Addr& addr, AddrCollection& drives, bool flag)
{
    return runOn<Adapter>(*this, "StorLib::initializeHardDriveSet()", addr, "Adapter",
                     [&](Adapter& d) { return d.initializeHardDriveSet(drives, flag); });
}

Ret StorLibPlugin::protectHardDriveSet(const Addr& addr, AddrCollection& drives, bool protect, bool flag)
{
    return runOn<Adapter>(*this, "StorLib::protectHardDriveSet()", addr, "Adapter",
                     [&](Adapter& d) { return d.protectHardDriveSet(drives, protect, flag); });
}

Ret StorLibPlugin::scsiPassThruCommand(const Addr& addr, SCSICommand& command)
{
    return runOn<PhysicalDevice>(*this, "StorLib::scsiPassThruCommand()", addr, "PhysicalDevice",
                     [&](PhysicalDevice& d) { return d.scsiPassThruCommand(command); });
}

Ret StorLibPlugin::downHardDrive(const Addr& addr, bool down)
{
    return runOn<HardDrive>(*this, "StorLib::downHardDrive()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.downHardDrive(down); });
}

Ret StorLibPlugin::syncRescan(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::syncRescan()", addr, "Adapter",
                     [&](Adapter& d) { return d.scanForDrives(false); });
}

Ret StorLibPlugin::asyncRescan(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::asyncRescan()", addr, "Adapter",
                     [&](Adapter& d) { return d.scanForDrives(true); });
}

Ret StorLibPlugin::abortTask(const Addr& addr, unsigned long taskID)
{
    return runOn<Adapter>(*this, "StorLib::abortTask()", addr, "Adapter",
                     [&](Adapter& d) { return d.abortTask(taskID); });
}

Ret StorLibPlugin::testAllSpares(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::testAllSpares()", addr, "Adapter",
                     [&](Adapter& d) { return d.testAllSpares(); });
}

Ret StorLibPlugin::setCopyBack(const Addr& addr, bool enable)
{
    return runOn<Adapter>(*this, "StorLib::setCopyBack()", addr, "Adapter",
                     [&](Adapter& d) { return d.setCopyBack(enable); });
}

Ret StorLibPlugin::setOrvexaWrite(const Addr& addr, bool enable)
{
    return runOn<Adapter>(*this, "StorLib::setOrvexaWrite()", addr, "Adapter",
                     [&](Adapter& d) { return d.setOrvexaWrite(enable); });
}

Ret StorLibPlugin::startDiskDiagnostic(const Addr& addr, EnumDiskDiagType type)
{
    return runOn<HardDrive>(*this, "StorLib::startDiskDiagnostic()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.startDiskDiagnostic(type); });
}

Ret StorLibPlugin::abortDiskDiagnostic(const Addr& addr)
{
    return runOn<HardDrive>(*this, "StorLib::abortDiskDiagnostic()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.abortDiskDiagnostic(); });
}

Ret StorLibPlugin::getDiskDiagnosticProgress(const Addr& addr, DISK_DIAGNOSTIC_STATE& state)
{
    return runOn<HardDrive>(*this, "StorLib::getDiskDiagnosticProgress()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.getDiskDiagnosticProgress(state); });
}

Ret StorLibPlugin::getDiskDiagnosticResults(const Addr& addr, DISK_DIAGNOSTIC_STATE& state)
{
    return runOn<HardDrive>(*this, "StorLib::getDiskDiagnosticResults()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.getDiskDiagnosticResults(state); });
}

Ret StorLibPlugin::startControllerDiagnostic(const Addr& addr, EnumAdapterDiagType type)
{
    return runOn<Adapter>(*this, "StorLib::startControllerDiagnostic()", addr, "Adapter",
                     [&](Adapter& d) { return d.startControllerDiagnostic(type); });
}

Ret StorLibPlugin::startBatteryCalibration(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::startBatteryCalibration()", addr, "Adapter",
                     [&](Adapter& d) { return d.startBatteryCalibration(); });
}

Ret StorLibPlugin::startHardDriveTask(const Addr& addr, EnumHardDriveTask task)
{
    return runOn<HardDrive>(*this, "StorLib::startHardDriveTask()", addr, "HardDrive",
                     [&](HardDrive& d) { return d.startTask(task, nullptr); });
}

Ret StorLibPlugin::clearPPITable(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::clearPPITable()", addr, "Adapter",
                     [&](Adapter& d) { return d.clearPPITable(); });
}

Ret StorLibPlugin::addDriveToOrvexaPool(const Addr& addr, AddrCollection& drives)
{
    return runOn<Adapter>(*this, "StorLib::addDriveToOrvexaPool()", addr, "Adapter",
                     [&](Adapter& d) { return d.addDriveToOrvexaPool(drives); });
}

Ret StorLibPlugin::removeDriveFromOrvexaPool(const Addr& addr, AddrCollection& drives)
{
    return runOn<Adapter>(*this, "StorLib::removeDriveFromOrvexaPool()", addr, "Adapter",
                     [&](Adapter& d) { return d.removeDriveFromOrvexaPool(drives); });
}

Ret StorLibPlugin::clearOrvexaPool(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::clearOrvexaPool()", addr, "Adapter",
                     [&](Adapter& d) { return d.clearOrvexaPool(); });
}

Ret StorLibPlugin::isOrvexaHasDirtyData(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::isOrvexaHasDirtyData()", addr, "Adapter",
                     [&](Adapter& d) { return d.isOrvexaHasDirtyData(); });
}

Ret StorLibPlugin::setOrvexaPreferredCache(const Addr& addr, EnumOrvexaPreferredSetting setting)
{
    return runOn<LogicalDrive>(*this, "StorLib::setOrvexaPreferredCache()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setOrvexaPreferredCache(setting); });
}

Ret StorLibPlugin::setPreferredOrvexaWriteCache(const Addr& addr, EnumOrvexaWriteCachePreferredSetting setting, EnumOrvexaWriteCachePolicySetting policy)
{
    return runOn<LogicalDrive>(*this, "StorLib::setPreferredOrvexaWriteCache()", addr, "LogicalDrive",
                     [&](LogicalDrive& d) { return d.setPreferredOrvexaWriteCache(setting, policy); });
}

Ret StorLibPlugin::setOrvexaFlushAndFetchRate(const Addr& addr, unsigned long rate)
{
    return runOn<Adapter>(*this, "StorLib::setOrvexaFlushAndFetchRate()", addr, "Adapter",
                     [&](Adapter& d) { return d.setOrvexaFlushAndFetchRate(rate); });
}

Ret StorLibPlugin::setDirtyPageThresholdValue(const Addr& addr, unsigned long value)
{
    return runOn<Adapter>(*this, "StorLib::setDirtyPageThresholdValue()", addr, "Adapter",
                     [&](Adapter& d) { return d.setDirtyPageThresholdValue(value); });
}

Ret StorLibPlugin::setOrvexaRWFactor(const Addr& addr, unsigned long readFactor, unsigned long writeFactor)
{
    return runOn<Adapter>(*this, "StorLib::setOrvexaRWFactor()", addr, "Adapter",
                     [&](Adapter& d) { return d.setOrvexaRWFactor(readFactor, writeFactor); });
}

Ret StorLibPlugin::setSataNCQ(const Addr& addr, bool enable)
{
    return runOn<Adapter>(*this, "StorLib::setSataNCQ()", addr, "Adapter",
                     [&](Adapter& d) { return d.setSataNCQ(enable); });
}

Ret StorLibPlugin::getSmartStats(const Addr& addr, char* buffer, unsigned long& size)
{
    return runOn<Adapter>(*this, "StorLib::getSmartStats()", addr, "Adapter",
                     [&](Adapter& d) { return d.getSmartStats(buffer, size); });
}

Ret StorLibPlugin::getControllerStats(const Addr& addr, char* buffer, unsigned long& size)
{
    return runOn<Adapter>(*this, "StorLib::getControllerStats()", addr, "VynAdapter",
                     [&](Adapter& d) { return d.getAdapterStats(buffer, size); });
}

Ret StorLibPlugin::setStatisticDataCollectionMode(const Addr& addr, bool enable)
{
    return runOn<Adapter>(*this, "StorLib::setStatisticDataCollectionMode()", addr, "Adapter",
                     [&](Adapter& d) { return d.setStatisticDataCollectionMode(enable); });
}

Ret StorLibPlugin::configureATAPassword(const Addr& addr, const char* password, bool set)
{
    return runOn<HardDrive>(*this, "StorLib::configureATAPassword()", addr, "HardDrive",
                     [&](HardDrive& d) { return set ? d.setATASecurePassword(password) : d.clearATASecurePassword(password); });
}

Ret StorLibPlugin::resetStatisticsCounters(const Addr& addr)
{
    return runOn<Adapter>(*this, "StorLib::resetStatisticsCounters()", addr, "Adapter",
                     [&](Adapter& d) { return d.resetStatisticsCounters(); });
}
