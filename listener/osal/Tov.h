#ifndef VYN_LISTENER_OSAL_TOV_H
#define VYN_LISTENER_OSAL_TOV_H

// Operating-system services shared by vynlistend and libvynprov: counting
// events, recursive mutexes, threads, time, host information and dynamic
// loading. Functions return 0 for success and 1 for failure unless noted; the
// mutex functions and TovGetenv return 3 for a missing argument. Every object
// made here is a heap block whose address is the handle the caller keeps.

#include <cstddef>
#include <cstdint>

struct tm;
struct ifconf;

typedef void* TovEventHandle;    // a process-private counting semaphore
typedef void* TovMutexHandle;    // a recursive mutex
typedef void* TovThreadHandle;   // a joinable thread's identifier (malloc'd)
typedef void* TovLibraryHandle;  // a dynamic-loader handle

enum : uint32_t {
    TOV_SUCCESS = 0,
    TOV_FAILURE = 1,
    TOV_NULL_ARGUMENT = 3,
};

// Events count: each set adds one, each wait takes one, so a set that comes
// before the wait is never lost. Name and flag are accepted and ignored.
uint32_t TovCreateEvent(TovEventHandle* event, const char* name, int flag);
uint32_t TovSetEvent(TovEventHandle event);
uint32_t TovWaitOnEvent(TovEventHandle event);
uint32_t TovDestroyEvent(TovEventHandle* event);
uint32_t TovRegisterCBorSigHndl();

// Recursive: the holder may lock again.
TovMutexHandle TovMutexInit();
uint32_t TovMutexLock(TovMutexHandle mutex);
uint32_t TovMutexUnlock(TovMutexHandle mutex);
uint32_t TovMutexDelete(TovMutexHandle* mutex);

// Threads get a 10 MiB stack. The join neither reads the exit value nor frees
// the handle block; the caller may free() it once the join has returned.
constexpr std::size_t TOV_THREAD_STACK_SIZE = 10485760;
TovThreadHandle TovThreadCreate(void* (*start)(void*), void* argument);
uint32_t TovWaitForThreadTerminate(TovThreadHandle thread);
[[noreturn]] void TovThreadExit(void* block);
void TovThreadSetPriority();

// Times are milliseconds since 1970, signed 64-bit, passed as two halves.
uint32_t TovGetTimeInTM(uint32_t msLow, uint32_t msHigh, struct tm* out);
// Writes "%m/%d/%Y %H:%M:%S" in local time; `size` must be at least 25.
uint32_t TovGetFormatedTime(uint32_t msLow, uint32_t msHigh, char* buffer, uint32_t size);
// Writes the local offset from UTC in minutes as "%+04d" ("+000" for UTC);
// the buffer must hold TOV_TIME_ZONE_SIZE bytes.
constexpr std::size_t TOV_TIME_ZONE_SIZE = 8;
uint32_t TovGetTimeZone(char* buffer);

// Both copy at most `length` bytes including the terminating NUL.
uint32_t TovGetOSInfo(char* buffer, uint8_t length);
uint32_t TovGetProductVersion(char* buffer, uint8_t length);

// The daemon's record of host addresses: a count, then dotted-decimal texts,
// NUL-padded, entry i at byte 1 + 18 * i.
constexpr std::size_t TOV_HOST_ADDRESS_ENTRIES = 8;
constexpr std::size_t TOV_HOST_ADDRESS_TEXT = 18;
struct TovHostAddressList {
    uint8_t count;
    char address[TOV_HOST_ADDRESS_ENTRIES][TOV_HOST_ADDRESS_TEXT];
};
static_assert(sizeof(TovHostAddressList) == 145, "host address record layout");

// SIOCGIFCONF on an IPv4 socket; the request's result, or -1 without a socket.
int get_iface_list(struct ifconf* request);
// Appends one entry per IPv4 interface, never more than `capacity` entries
// (and never more than the record's own TOV_HOST_ADDRESS_ENTRIES). Returns 1
// when the interface list cannot be read.
uint32_t TovGetHostIPAddress(TovHostAddressList* list, uint32_t capacity = TOV_HOST_ADDRESS_ENTRIES);

// Loads `name` + ".so" with lazy binding. A name that does not fit the
// 512-byte path buffer together with ".so" is refused.
constexpr std::size_t TOV_LIBRARY_PATH_SIZE = 512;
TovLibraryHandle TovLoadLibrary(const char* name, uint32_t* error);
void* TovGetFuncAddress(TovLibraryHandle library, const char* symbol, uint32_t* error);
uint32_t TovUnloadLibrary(TovLibraryHandle* library);

// Copies the variable's value with its NUL into `buffer` of `size` bytes;
// 1 when unset or when the value does not fit (the buffer is then emptied).
uint32_t TovGetenv(const char* name, uint32_t size, char* buffer);

uint32_t TovSleep(uint32_t seconds);
uint32_t TovGetProcessId();
uint32_t TovGetHostName(char* buffer, uint32_t length);

struct TovSystemTime {
    uint32_t milliseconds;  // always 0
    uint32_t seconds;
    uint32_t minutes;
    uint32_t hours;
    uint32_t dayOfMonth;
    uint32_t dayOfWeek;     // 0 = Sunday
    uint32_t month;         // 0 to 11
    uint32_t year;          // years since 1900
};
uint32_t TovGetSystemTime(TovSystemTime* out);

#endif
