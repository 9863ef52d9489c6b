#ifndef VYN_COMMON_STORDEBUG_H
#define VYN_COMMON_STORDEBUG_H

#include "common/StorLibType.h"

#include <cstddef>

class StorDebugInfo;
class osThreadLocker;

// Debug flag masks; a mask is enabled when all of its bits are on.
constexpr unsigned long long STOR_DEBUG_ERROR = 0x1ULL;
constexpr unsigned long long STOR_DEBUG_TRACE = 0x20ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_LEVEL2 = 0x60ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_PARAMETERS_IN = 0x1020ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_PARAMETERS_OUT = 0x2020ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_CORE_CONSTRUCT = 0x4020ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_IMPL_CONSTRUCT = 0x8020ULL;
constexpr unsigned long long STOR_DEBUG_ERROR_APPLICATION = 0x10001ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_APPLICATION = 0x20020ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_APPLICATION_L2 = 0x20060ULL;
constexpr unsigned long long STOR_DEBUG_CONFIG = 0x1000000ULL;
constexpr unsigned long long STOR_DEBUG_EVENTS = 0x2000000ULL;
constexpr unsigned long long STOR_DEBUG_TASKS = 0x4000000ULL;
constexpr unsigned long long STOR_DEBUG_SES = 0x8000000ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_FSA_API = 0x20ULL;
constexpr unsigned long long STOR_DEBUG_TRACE_FIBS = 0x60ULL;
constexpr unsigned long long STORDBG_DEFAULT_FLAGS = 0x1000001ULL;

constexpr unsigned long long MAX_ERROR_FILE_SIZE = 0x100000ULL;
constexpr unsigned long long MAX_TRACE_FILE_SIZE = 0xA00000ULL;
constexpr unsigned long long MAX_CONFIG_FILE_SIZE = 0xA00000ULL;
constexpr unsigned long long MAX_EVENT_FILE_SIZE = 0xA00000ULL;

constexpr unsigned int STOR_DEBUG_TYPE_COUNT = STORLIB_TYPE_LAST + 1;
constexpr std::size_t STOR_DEBUG_FILE_PATH_SIZE = 528;

// The debug directory under the host root, which other log writers build
// their paths from; empty when the host root is too long for it, and then no
// debug file is written.
extern char gStorDebugFilePath[STOR_DEBUG_FILE_PATH_SIZE];

extern StorDebugInfo* storDebugInfo[STOR_DEBUG_TYPE_COUNT];
extern unsigned int storDebugInstanceCounter[STOR_DEBUG_TYPE_COUNT + 1];
extern EnumStorLibType gStorDebugDefaultStorLibType;
// Mutes the tracer and the two Vyn error front ends only.
extern bool disableDebugLog;
extern osThreadLocker* pStorLibGlobalThreadLocker;
extern const char* pStorLibAppName;
extern char debugAlignChars[64];
extern bool debugAlignCharsInit;
extern const char* pSkipTime;

void doStorDebugInitialization(EnumStorLibType type);
void doStorDebugCleanup(EnumStorLibType type);
void StorDebugDeleteAll();
void InitDebugAlignChars();

// The front ends never fail their caller. A type of 0 or above 13 means the
// default type; a type without a debug state writes nothing.
void StorErrorPrintf(EnumStorLibType type, const char* file, int line, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));
void StorConfigPrintf(EnumStorLibType type, const char* text);
void StorEventPrintf(EnumStorLibType type, const char* text);
void StorTracePrintf(EnumStorLibType type, unsigned long long flags, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
void STORDBG(EnumStorLibType type, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void STORDBGL2(EnumStorLibType type, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void VynErrorPrintf(const char* file, int line, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
void VynExtraErrorPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void VynTracePrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void VynTracePrintfL2(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

#endif
