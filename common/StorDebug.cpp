#include "common/StorDebug.h"

#include "common/OsThreadLocker.h"
#include "common/StorDebugInfo.h"

#include <cstdarg>

char gStorDebugFilePath[STOR_DEBUG_FILE_PATH_SIZE] = "/var/log/";
StorDebugInfo* storDebugInfo[STOR_DEBUG_TYPE_COUNT] = {};
// Type 9 starts with one reference, so the library's own start and end calls
// never remove the state that its objects still trace into.
unsigned int storDebugInstanceCounter[STOR_DEBUG_TYPE_COUNT + 1] = {0, 0, 0, 0, 0, 0, 0, 0,
                                                                    0, 1, 0, 0, 0, 0, 0};
EnumStorLibType gStorDebugDefaultStorLibType = STORLIB_TYPE_VYN;
bool disableDebugLog = false;
osThreadLocker* pStorLibGlobalThreadLocker = nullptr;
const char* pStorLibAppName = "vynconf";
char debugAlignChars[64] = {};
bool debugAlignCharsInit = false;
const char* pSkipTime = "                   ";

void InitDebugAlignChars()
{
    int i = 0;
    for (char c = '0'; c <= '9'; ++c)
        debugAlignChars[i++] = c;
    for (char c = 'a'; c <= 'z'; ++c)
        debugAlignChars[i++] = c;
    for (char c = 'A'; c <= 'Z'; ++c)
        debugAlignChars[i++] = c;
    debugAlignCharsInit = true;
}

void doStorDebugInitialization(EnumStorLibType type)
{
    if (type > STORLIB_TYPE_LAST)
        return;
    try {
        osThreadLockerGrabber grab(pStorLibGlobalThreadLocker);
        if (!debugAlignCharsInit)
            InitDebugAlignChars();
        if (storDebugInfo[type] == nullptr) {
            try {
                storDebugInfo[type] = new StorDebugInfo(type, nullptr);
            } catch (...) {
                storDebugInfo[type] = nullptr;
            }
        }
        ++storDebugInstanceCounter[type];
    } catch (...) {
    }
}

void doStorDebugCleanup(EnumStorLibType type)
{
    if (type > STORLIB_TYPE_LAST)
        return;
    try {
        osThreadLockerGrabber grab(pStorLibGlobalThreadLocker);
        if (storDebugInstanceCounter[type] == 0)
            return;
        if (--storDebugInstanceCounter[type] == 0 && storDebugInfo[type] != nullptr) {
            delete storDebugInfo[type];
            storDebugInfo[type] = nullptr;
        }
    } catch (...) {
    }
}

void StorDebugDeleteAll()
{
    try {
        for (StorDebugInfo*& state : storDebugInfo) {
            delete state;
            state = nullptr;
        }
    } catch (...) {
    }
}

StorDebugInfo* StorDebugStateFor(EnumStorLibType type)
{
    unsigned int t = type;
    if (t == 0 || t > STORLIB_TYPE_LAST)
        t = gStorDebugDefaultStorLibType;
    return t <= STORLIB_TYPE_LAST ? storDebugInfo[t] : nullptr;
}

namespace {

void traceLine(EnumStorLibType type, unsigned long long flags, const char* fmt, va_list args)
{
    try {
        if (StorDebugInfo* state = StorDebugStateFor(type))
            state->TraceVPrintf(flags, fmt, args, false);
    } catch (...) {
    }
}

void errorRecord(EnumStorLibType type, const char* file, int line, const char* fmt, va_list args)
{
    try {
        if (StorDebugInfo* state = StorDebugStateFor(type))
            state->ErrorVPrintf(file, line, fmt, args);
    } catch (...) {
    }
}

}  // namespace

void StorErrorPrintf(EnumStorLibType type, const char* file, int line, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    errorRecord(type, file, line, fmt, args);
    va_end(args);
}

void StorConfigPrintf(EnumStorLibType type, const char* text)
{
    try {
        if (StorDebugInfo* state = StorDebugStateFor(type))
            state->ConfigPrintf(text);
    } catch (...) {
    }
}

void StorEventPrintf(EnumStorLibType type, const char* text)
{
    try {
        if (StorDebugInfo* state = StorDebugStateFor(type))
            state->EventPrintf(text);
    } catch (...) {
    }
}

void StorTracePrintf(EnumStorLibType type, unsigned long long flags, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    traceLine(type, flags, fmt, args);
    va_end(args);
}

void STORDBG(EnumStorLibType type, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    traceLine(type, STOR_DEBUG_TRACE, fmt, args);
    va_end(args);
}

void STORDBGL2(EnumStorLibType type, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    traceLine(type, STOR_DEBUG_TRACE_LEVEL2, fmt, args);
    va_end(args);
}

void VynErrorPrintf(const char* file, int line, const char* fmt, ...)
{
    if (disableDebugLog)
        return;
    va_list args;
    va_start(args, fmt);
    errorRecord(STORLIB_TYPE_VYN, file, line, fmt, args);
    va_end(args);
}

void VynExtraErrorPrintf(const char* fmt, ...)
{
    if (disableDebugLog)
        return;
    va_list args;
    va_start(args, fmt);
    try {
        if (StorDebugInfo* state = StorDebugStateFor(STORLIB_TYPE_VYN))
            state->ExtraErrorVPrintf(fmt, args);
    } catch (...) {
    }
    va_end(args);
}

void VynTracePrintf(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    traceLine(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, fmt, args);
    va_end(args);
}

void VynTracePrintfL2(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    traceLine(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_LEVEL2, fmt, args);
    va_end(args);
}
