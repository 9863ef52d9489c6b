#ifndef VYN_COMMAND_VYN_COMMON_FA_ENCLMGT_H
#define VYN_COMMAND_VYN_COMMON_FA_ENCLMGT_H

#include "Command/Vyn/common/fa_types.h"

#include <cstddef>
#include <cstdint>

// One enclosure-management request and its answer, owned by the caller. The
// area from byte 36 is the inline reply area, or holds a pointer to the
// caller's data for the SES page transfers and the data-moving classes; that
// pointer sits on a 4-byte boundary only, so it is read and written through
// FsaEnclosureMgtData / FsaSetEnclosureMgtData, never through a cast.
struct FSA_ENCLOSURE_MGT {
    uint32_t command;     // at most 101
    uint32_t subCommand;  // at most 0x8002
    uint32_t param[5];
    uint32_t dataLength;  // for the sub-commands that move caller data
    uint32_t direction;   // data direction class, written by the operation
    uint8_t data[332];
};
static_assert(sizeof(FSA_ENCLOSURE_MGT) == 368, "enclosure-management record is 368 bytes");
static_assert(offsetof(FSA_ENCLOSURE_MGT, dataLength) == 28, "data length at byte 28");
static_assert(offsetof(FSA_ENCLOSURE_MGT, data) == 36, "inline area at byte 36");

// Byte of the record where the adapter word is stored after a class-0x40
// sub-command, and where command 9 leaves its five answers.
constexpr size_t FSA_ENCLOSURE_MGT_ADAPTER_WORD = 72;
constexpr size_t FSA_ENCLOSURE_MGT_ANSWERS = 36;

// Commands.
enum : uint32_t {
    FSA_ECM_GET_EMP_COUNT = 1,
    FSA_ECM_ENCLOSURE_OP = 2,
    FSA_ECM_SLOT_OP = 3,
    FSA_ECM_GET_EMP_INFO = 7,
    FSA_ECM_GET_DEVICE_SLOT = 9,
    FSA_ECM_SES_PAGE = 100,
    FSA_ECM_MAX_COMMAND = 101,
};

// Sub-commands named by the code that uses them.
enum : uint32_t {
    EM_SUB_NULL = 0,
    EM_SUB_ENCL_ALARM_ON = 0x100,
    EM_SUB_ENCL_ALARM_OFF = 0x101,
    EM_SUB_ENCL_CONFIG_INFO = 0x240,
    EM_SUB_ENCL_ALL_STATUS = 0x280,
    EM_SUB_ENCL_IDENTIFY = 0x285,
    EM_SUB_ENCL_IDENTIFY_OFF = 0x286,
    EM_SUB_SLOT_IDENTIFY = 0x402,
    EM_SUB_SLOT_UNIDENTIFY = 0x403,
    EM_SUB_SCSI_SEND_DIAGNOSTIC = 0x2000,
    EM_SUB_SCSI_RECEIVE_DIAGNOSTIC = 0x2002,
    EM_SUB_CMD_END = 0x8002,
};

// Largest data one enclosure request carries, and the bytes of each packet
// of a reply the firmware splits.
constexpr uint32_t FSA_ECM_MAX_DATA = 1968;
constexpr uint32_t FSA_ECM_PACKET = 432;

// The caller's data pointer kept in the record's area, and its setter.
void* FsaEnclosureMgtData(const FSA_ENCLOSURE_MGT* record);
void FsaSetEnclosureMgtData(FSA_ENCLOSURE_MGT* record, void* data);

// Sends the request to the controller's enclosure management and answers in
// the same record. 1, or 7, 9, 122, 123, 264, 265, the enclosure statuses of
// ECM_CheckError, 37, 257 or the failed send's status.
extern "C" FSA_STATUS FsaEnclosureMgt(void* handle, FSA_ENCLOSURE_MGT* record);

// The enclosure transport: one request of `commandWord` (command << 16 |
// sub-command) with parameters p0-p4 (null sends 0 and takes nothing back),
// `inLen` bytes sent, up to `outLen` bytes received, over several packets when
// the firmware splits its reply. Thrown instead of returned when throwFlag is
// set and the result is not 1.
FSA_STATUS ECM_SendReceiveFIB(void* handle, uint32_t commandWord, uint32_t* p0, uint32_t* p1, uint32_t* p2,
                              uint32_t* p3, uint32_t* p4, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                              int throwFlag);

// The library status of a firmware enclosure status (0 gives 1); a non-zero
// one is thrown instead when throwFlag is set.
FSA_STATUS ECM_CheckError(int firmwareStatus, int throwFlag);

#endif
