#ifndef VYN_COMMAND_VYN_COMMON_FA_TYPES_H
#define VYN_COMMAND_VYN_COMMON_FA_TYPES_H

#include <cstdint>
#include <cwchar>

// Status of the firmware interface; 1 is success. Inside the library a failing
// step throws it as a bare value, and each export returns what it caught.
typedef uint32_t FSA_STATUS;

enum : FSA_STATUS {
    FSA_STS_SUCCESS = 1,
    FSA_STS_ADAPTER_NOT_FOUND = 3,
    FSA_STS_END_OF_ENUMERATION = 4,
    FSA_STS_TRACE_OFF = 6,
    FSA_STS_INVALID_HANDLE = 9,
    FSA_STS_NOT_SUPPORTED = 31,
    FSA_STS_MINIPORT_DRV_TOO_NEW = 87,
    FSA_STS_OUT_OF_MEMORY = 91,
    FSA_STS_OPENED_READ_WRITE = 134,
    FSA_STS_UX_INVALID_ADAPTER_TYPE = 473,
    FSA_STS_UX_LOCK_OPEN_FAILED = 475,
    FSA_STS_UX_LOCK_CLOSE_FAILED = 476,
    FSA_STS_UX_LOCK_CREATE_FAILED = 477,
    FSA_STS_UX_LOCK_FCNTL_FAILED = 478,
    FSA_STS_UX_IOCTL_FAILED = 479,
    FSA_STS_UX_AUTH_REQUIRED = 484,
    FSA_STS_UX_MUTEX_CREATE = 485,
    FSA_STS_UX_MUTEX_GET_LOCK = 486,
    FSA_STS_UX_MUTEX_RELEASE = 487,
    FSA_STS_UX_MUTEX_DESTROY = 488,
    FSA_STS_UX_SEMA_CREATE = 489,
    FSA_STS_UX_SEMA_WAIT = 490,
    FSA_STS_UX_SEMA_POST = 491,
    FSA_STS_UX_SEMA_DESTROY = 492,
    FSA_STS_UX_THREAD_CREATE = 493,
    FSA_STS_UX_DBG_FILE_OPEN = 502,
};

// Internal routines end their failure paths with this: mode 0 throws.
typedef int FSA_THROW_MODE;
inline FSA_STATUS FSA_THROW(FSA_THROW_MODE mode, FSA_STATUS status)
{
    if (mode == 0)
        throw status;
    return status;
}

// Access mode of an open adapter.
enum FSA_ACCESS : int {
    FSA_ACC_READ_ONLY = 0,
    FSA_ACC_READ_WRITE = 1,
    FSA_ACC_LL_READ_ONLY = 2,
    FSA_ACC_LL_READ_WRITE = 3,
    FSA_ACC_SNAPSHOT = 4,
    FSA_ACC_LL_SNAPSHOT = 5,
    FSA_ACC_UTILITY = 6,
};

// Availability of an adapter as its lock file reports it.
enum FSA_ADAPTER_AVAIL_TYPE : uint32_t {
    FSA_AVL_UNKNOWN = 1,
    FSA_AVL_READ_ONLY = 2,
    FSA_AVL_READ_WRITE = 3,
};

// Revision record: the four bytes form the external revision word.
struct FSA_REVISION {
    uint8_t dash;
    uint8_t type;
    uint8_t minor;
    uint8_t major;
    uint32_t buildNumber;
};
static_assert(sizeof(FSA_REVISION) == 8, "FSA_REVISION is 8 bytes");

// The driver's verdict on its own code version: 0, 1, or 2 when unknown.
typedef uint32_t FSA_CODE_VERSION_STATUS;

// Broken-down time of the OS layer.
struct FAOS_TIME_INFO {
    uint16_t year;
    uint16_t month;      // 1 to 12
    uint16_t dayOfWeek;  // 0 Sunday
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};
static_assert(sizeof(FAOS_TIME_INFO) == 16, "FAOS_TIME_INFO is eight u16");

// The library's exported enumeration record for one controller. Wide strings
// are the platform's 32-bit wide characters.
struct _tagFSA_ADAPTER_ENUM_INFO {
    wchar_t leading[257];
    wchar_t hostName[257];
    wchar_t adapterName[17];
    wchar_t adapterTypeText[18];
    uint32_t adapterType;
    uint32_t availability;
    uint32_t clustering;
    uint32_t serialNumber[2];
    uint32_t firmwareMajor;
    uint32_t firmwareMinor;
    uint32_t oemId;
    uint32_t maxPorts;
    uint32_t filterDriver;
    uint32_t pcbaSerialNumber;  // the long serial number of the serial reply
    uint8_t trailing[32];
};
static_assert(sizeof(wchar_t) == 4, "wide characters are 32 bits");
static_assert(sizeof(_tagFSA_ADAPTER_ENUM_INFO) == 2272, "enumeration record is 2272 bytes");

#endif
