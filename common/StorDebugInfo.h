#ifndef VYN_COMMON_STORDEBUGINFO_H
#define VYN_COMMON_STORDEBUGINFO_H

#include "common/OsFileWriter.h"
#include "common/StorLibType.h"

#include <cstdarg>
#include <string>
#include <vector>

class osThreadLocker;
class UnixLocker;

// The debug files of one library type and the stack of its traced calls.
class StorDebugInfo {
public:
    StorDebugInfo(EnumStorLibType type, osThreadLocker* lock);
    ~StorDebugInfo();
    StorDebugInfo(const StorDebugInfo&) = delete;
    StorDebugInfo& operator=(const StorDebugInfo&) = delete;

    bool FlagsEnabled(unsigned long long mask) const;

    // The push takes the state's lock and the matching pop releases it, so
    // the traced calls of different threads run one at a time. The push
    // answers whether it entered the name (and holds the lock).
    bool TraceStackPush(unsigned long long flags, const char* name);
    void TraceStackPop(unsigned long long flags, const char* name);

    void TracePrintf(unsigned long long flags, bool first, const char* fmt, ...)
        __attribute__((format(printf, 4, 5)));
    void TraceVPrintf(unsigned long long flags, const char* fmt, va_list args, bool first);
    void ErrorVPrintf(const char* file, int line, const char* fmt, va_list args);
    void ExtraErrorVPrintf(const char* fmt, va_list args);
    void ConfigPrintf(const char* text);
    void EventPrintf(const char* text);

    EnumStorLibType getType() const { return type; }
    std::size_t getTraceDepth() const { return traceStack.size(); }
    const std::string& getErrorPath() const { return errorPath; }
    const std::string& getTracePath() const { return tracePath; }
    const std::string& getConfigPath() const { return configPath; }
    const std::string& getEventPath() const { return eventPath; }
    bool hasCrossProcessLock() const { return crossProcessLock != nullptr; }

private:
    bool openErrorFile();
    void writeError(const char* file, int line, const char* fmt, va_list args);
    void writeRecordStart(osFileWriter& file, bool withDate);
    void writeTraceLine(const char* fmt, va_list args, bool first);

    EnumStorLibType type;
    osThreadLocker* lock;
    bool ownsLock;
    UnixLocker* crossProcessLock;
    std::vector<const char*> traceStack;  // names are not copied
    osFileWriter errorFile;
    osFileWriter traceFile;
    osFileWriter configFile;
    osFileWriter eventFile;
    std::string errorPath;  // all four empty when the host root is too long
    std::string tracePath;
    std::string configPath;
    std::string eventPath;
    unsigned long long defaultFlags;
    unsigned long long openedFlags;
};

// The state that a front end of `type` writes to, after the type mapping;
// null when there is none.
StorDebugInfo* StorDebugStateFor(EnumStorLibType type);

#endif
