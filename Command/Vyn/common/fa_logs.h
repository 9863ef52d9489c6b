#ifndef VYN_COMMAND_VYN_COMMON_FA_LOGS_H
#define VYN_COMMAND_VYN_COMMON_FA_LOGS_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// Class-21 sub-operations of the drive logs.
enum : uint32_t {
    DRVLOG_CLEAR_ERRORS = 1,
    DRVLOG_ERROR_COUNT = 2,
    DRVLOG_ERROR_ENTRIES = 3,
    DRVLOG_CLEAR_DEAD = 5,
    DRVLOG_DEAD_COUNT = 6,
    DRVLOG_DEAD_HEADER = 7,
    DRVLOG_DEAD_ENTRIES = 8,
    DRVLOG_ERROR_TABLE2 = 12,
    DRVLOG_ERROR_TABLE2_SIZE = 14,
};

constexpr uint32_t FSA_DRIVE_ERROR_ENTRY_BYTES = 12;
constexpr uint32_t FSA_DEAD_DRIVE_ENTRY_BYTES = 48;
constexpr uint32_t FSA_DEAD_DRIVE_ENTRY2_BYTES = 56;
constexpr uint32_t FSA_DEAD_DRIVE_HEADER_BYTES = 32;
// One converted NVRAM log item: a time stamp and a 332-byte event record.
constexpr uint32_t FSA_NVLOG_ITEM_BYTES = 336;
constexpr uint32_t FSA_EVENT_BYTES = 332;

extern "C" {
FSA_STATUS FsaClearDriveErrorTable(void* handle);
FSA_STATUS FsaGetDriveErrorTable(void* handle, uint32_t* count, uint8_t* buffer);
FSA_STATUS FsaGetDriveErrorTableSize(void* handle, uint32_t* size);
FSA_STATUS FsaGetDriveErrorTable2(void* handle, uint32_t size, uint16_t* buffer);
FSA_STATUS FsaClearDeadDriveLog(void* handle);
FSA_STATUS FsaGetDeadDriveLog(void* handle, uint32_t* count, uint8_t* buffer);
FSA_STATUS FsaGetDeadDriveLog2(void* handle, uint32_t* header, uint8_t* buffer, uint32_t* size);
FSA_STATUS FsaGetNvramEventLog(void* handle, uint8_t* buffer, uint32_t size);
FSA_STATUS FsaResetNvramEventLog(void* handle);
}

#endif
