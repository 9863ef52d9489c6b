#include "common/StorDebugInfo.h"

#include "common/HostPath.h"
#include "common/OsThreadLocker.h"
#include "common/StorDebug.h"
#include "common/StorLocker.h"
#include "common/StorTimeInfo.h"

#include <cstring>

namespace {

constexpr unsigned long long OPENED_TRACE = 0x20ULL;
constexpr unsigned long long OPENED_EVENTS = 0x2000000ULL;
constexpr std::size_t MARKED_DEPTHS = 62;
// Spelt with an escape so that "??(" is never read as a trigraph.
const char* const kUnnamedFunction = "??\?()";

// One file-name prefix per library family; only type 9's files are written
// by this system.
const char* const kDebugFilePrefix[STOR_DEBUG_TYPE_COUNT + 1] = {
    "stor", "st1", "st2", "st3", "st4", "st5", "st6", "st7",
    "st8",  "vyn", "st10", "st11", "st12", "st13", "st14"};

EnumStorLibType storedType(EnumStorLibType type)
{
    if (type == 3 || type == 4 || type > STORLIB_TYPE_LAST)
        return STORLIB_TYPE_NONE;
    return type;
}

// The families that share controllers with other processes serialise their
// outermost traced calls across processes.
UnixLocker* newCrossProcessLock(EnumStorLibType type)
{
    if (type == 7)
        return new UnixLocker(static_cast<EnumAdapterType>(512), nullptr);
    if (type == 12)
        return new UnixLocker(static_cast<EnumAdapterType>(1792), nullptr);
    return nullptr;
}

const char* baseName(const char* file)
{
    if (const char* slash = std::strrchr(file, '/'))
        return slash + 1;
    if (const char* backslash = std::strrchr(file, '\\'))
        return backslash + 1;
    return file;
}

void writeIndent(osFileWriter& file, std::size_t depth)
{
    file.Printf("%s", pSkipTime);
    for (std::size_t i = 0; i < depth; ++i)
        file.Write("    ", 4);
}

}  // namespace

StorDebugInfo::StorDebugInfo(EnumStorLibType t, osThreadLocker* givenLock)
    : type(storedType(t)),
      lock(givenLock != nullptr ? givenLock : new osThreadLocker),
      ownsLock(givenLock == nullptr),
      crossProcessLock(nullptr),
      defaultFlags(STORDBG_DEFAULT_FLAGS),
      openedFlags(0)
{
    if (!debugAlignCharsInit)
        InitDebugAlignChars();
    if (vynHostPathCopy(gStorDebugFilePath, sizeof gStorDebugFilePath, "/var/log/")) {
        const std::string base = std::string(gStorDebugFilePath) + kDebugFilePrefix[type];
        errorPath = base + "error.txt";
        tracePath = base + "trace.txt";
        configPath = base + "config.xml";
        eventPath = base + "events.txt";
    }
    crossProcessLock = newCrossProcessLock(t);
}

StorDebugInfo::~StorDebugInfo()
{
    errorFile.Close();
    traceFile.Close();
    configFile.Close();
    eventFile.Close();
    delete crossProcessLock;
    if (ownsLock)
        delete lock;
}

bool StorDebugInfo::FlagsEnabled(unsigned long long mask) const
{
    return (mask & (defaultFlags | openedFlags)) == mask;
}

bool StorDebugInfo::TraceStackPush(unsigned long long flags, const char* name)
{
    if (name == nullptr)
        name = kUnnamedFunction;
    if (lock == nullptr)
        return false;
    lock->Lock();
    const bool outermost = traceStack.empty();
    if (outermost && crossProcessLock != nullptr)
        crossProcessLock->getLock();
    if (outermost && !traceFile.IsOpen()) {
        unsigned long long size = 0;
        if (!tracePath.empty() && osFileWriter::Exists(tracePath.c_str(), &size) &&
            size < MAX_TRACE_FILE_SIZE && traceFile.Open(tracePath.c_str(), "r+"))
            openedFlags |= OPENED_TRACE;
    }
    if (traceFile.IsOpen())
        TracePrintf(flags, outermost, "%s IN", name);
    traceStack.push_back(name);
    return true;
}

void StorDebugInfo::TraceStackPop(unsigned long long flags, const char* name)
{
    if (name == nullptr)
        name = kUnnamedFunction;
    if (!traceStack.empty())
        traceStack.pop_back();
    if (traceFile.IsOpen())
        TracePrintf(flags, false, "%s OUT", name);
    if (traceStack.empty() && (openedFlags & OPENED_TRACE) != 0) {
        openedFlags &= ~OPENED_TRACE;
        traceFile.Close();
    }
    if (traceStack.empty() && crossProcessLock != nullptr)
        crossProcessLock->releaseLock();
    if (lock != nullptr)
        lock->UnLock();
}

void StorDebugInfo::TracePrintf(unsigned long long flags, bool first, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    TraceVPrintf(flags, fmt, args, first);
    va_end(args);
}

// The flags travel with every trace line but never filter one out: an open
// trace file takes them all.
void StorDebugInfo::TraceVPrintf(unsigned long long, const char* fmt, va_list args, bool first)
{
    if (traceFile.IsOpen())
        writeTraceLine(fmt, args, first);
}

void StorDebugInfo::writeTraceLine(const char* fmt, va_list args, bool first)
{
    osFileLockGrabber grab(traceFile);
    traceFile.SeekEnd();
    writeRecordStart(traceFile, first);
    for (std::size_t i = 0; i < traceStack.size(); ++i) {
        if (i < MARKED_DEPTHS)
            traceFile.Printf("%c   ", debugAlignChars[i]);
        else
            traceFile.Printf("|   ");
    }
    traceFile.VPrintf(fmt, args);
    traceFile.Printf("\n");
    traceFile.Flush();
}

// The application name fills eight columns, right-aligned and cut to fit.
void StorDebugInfo::writeRecordStart(osFileWriter& file, bool withDate)
{
    StorTimeInfo now(STOR_LOCAL_TIME);
    if (withDate)
        file.Printf("%s %02d%s%04d (tz=%d)\n", now.DayOfWeekAbbrev(), now.DayOfMonth(),
                    now.MonthAbbrev(), now.Year(), now.TimeZone());
    file.Printf("%02d:%02d:%02d.%03d %8.8s: ", now.Hour(), now.Minute(), now.Second(),
                now.MSec(), pStorLibAppName);
}

// The error file is opened per record, and only while it is below 1 MiB; a
// missing one is created.
bool StorDebugInfo::openErrorFile()
{
    if (!errorFile.IsOpen() && !errorPath.empty() &&
        osFileWriter::Size(errorPath.c_str()) < MAX_ERROR_FILE_SIZE)
        errorFile.Open(errorPath.c_str(), "a+");
    return errorFile.IsOpen();
}

void StorDebugInfo::ErrorVPrintf(const char* file, int line, const char* fmt, va_list args)
{
    if (!FlagsEnabled(STOR_DEBUG_ERROR))
        return;
    writeError(file != nullptr ? file : "???", line, fmt, args);
}

void StorDebugInfo::ExtraErrorVPrintf(const char* fmt, va_list args)
{
    if (!FlagsEnabled(STOR_DEBUG_ERROR))
        return;
    writeError(nullptr, 0, fmt, args);
}

// Appends the message to the error file under its lock, after a record head
// with the source place when `file` is given, and traces it as well.
void StorDebugInfo::writeError(const char* file, int line, const char* fmt, va_list args)
{
    va_list traceArgs;
    va_copy(traceArgs, args);
    if (openErrorFile()) {
        {
            osFileLockGrabber grab(errorFile);
            errorFile.SeekEnd();
            if (file != nullptr) {
                writeRecordStart(errorFile, true);
                errorFile.Printf("%s: Line #: %d\n", baseName(file), line);
                for (std::size_t i = 0; i < traceStack.size(); ++i) {
                    writeIndent(errorFile, i);
                    errorFile.Printf("%s\n", traceStack[i]);
                }
            }
            writeIndent(errorFile, traceStack.size());
            errorFile.VPrintf(fmt, args);
            errorFile.Printf("\n");
            errorFile.Flush();
        }
        errorFile.Close();
    }
    TraceVPrintf(STOR_DEBUG_ERROR, fmt, traceArgs, false);
    va_end(traceArgs);
}

// The configuration text is written verbatim: the XML may hold '%'.
void StorDebugInfo::ConfigPrintf(const char* text)
{
    if (!FlagsEnabled(STOR_DEBUG_CONFIG))
        return;
    if (!configFile.IsOpen() && !configPath.empty())
        configFile.Open(configPath.c_str(), "w+");
    if (!configFile.IsOpen())
        return;
    {
        osFileLockGrabber grab(configFile);
        StorTimeInfo now(STOR_LOCAL_TIME);
        configFile.Printf("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n");
        configFile.Printf("<!-- %s %02d%s%04d (tz=%d) -->\n", now.DayOfWeekAbbrev(),
                          now.DayOfMonth(), now.MonthAbbrev(), now.Year(), now.TimeZone());
        configFile.Printf("<!-- %02d:%02d:%02d.%03d %8.8s: -->\n", now.Hour(), now.Minute(),
                          now.Second(), now.MSec(), pStorLibAppName);
        if (text != nullptr)
            configFile.Write(text, std::strlen(text));
        configFile.Printf("\n");
        configFile.Flush();
    }
    configFile.Close();
}

// Event logging runs only while the event file exists; it takes text until
// the file passes 10 MiB, then marks the file and stops.
void StorDebugInfo::EventPrintf(const char* text)
{
    if (!eventFile.IsOpen()) {
        unsigned long long size = 0;
        if (!eventPath.empty() && osFileWriter::Exists(eventPath.c_str(), &size) &&
            size < MAX_EVENT_FILE_SIZE && eventFile.Open(eventPath.c_str(), "r+"))
            openedFlags |= OPENED_EVENTS;
    }
    if (!eventFile.IsOpen())
        return;
    bool full = false;
    {
        osFileLockGrabber grab(eventFile);
        eventFile.SeekEnd();
        full = eventFile.Size() > MAX_EVENT_FILE_SIZE;
        if (!full && text != nullptr)
            eventFile.Write(text, std::strlen(text));
        if (full)
            eventFile.Printf("<!-- File size limit exceeded.  Event logging stopped. -->\n");
        eventFile.Flush();
    }
    if (full)
        eventFile.Close();
}
