#ifndef VYN_COMMAND_VYN_COMMON_FA_INTERN_CTR_H
#define VYN_COMMAND_VYN_COMMON_FA_INTERN_CTR_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// The standard container identifier: {container number, unique id, the
// adapter identity word of its context}.
struct tag_FSA_CONTAINER {
    uint32_t number;
    uint32_t uniqueId;
    uint32_t adapterWord;
};
static_assert(sizeof(tag_FSA_CONTAINER) == 12, "container identifier is 12 bytes");
typedef tag_FSA_CONTAINER FSA_CONTAINER;

// The context's partition-layout cache: a buffer that lives for one exported
// call at most, and its mutex.
class FSA_PARTITION_LAYOUT_CACHE {
public:
    // No buffer; creates the mutex (throws 485).
    FSA_PARTITION_LAYOUT_CACHE();
    // Frees the buffer, then destroys the mutex.
    ~FSA_PARTITION_LAYOUT_CACHE();
    FSA_PARTITION_LAYOUT_CACHE(const FSA_PARTITION_LAYOUT_CACHE&) = delete;
    FSA_PARTITION_LAYOUT_CACHE& operator=(const FSA_PARTITION_LAYOUT_CACHE&) = delete;

    void TakeMutex();
    void ReleaseMutex();
    // Under the mutex: frees the buffer and forgets it.
    void FreePartitionLayoutCache();

    void* buffer = nullptr;  // malloc'ed

private:
    void* mutex_ = nullptr;
};

// Identifier of a container number on this context: word 0 the number, word
// 2 the context's adapter identity word.
void CT_GetStandardID(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* out, uint32_t container);
// The container number held in an identifier.
uint32_t CT_GetInternalID(const tag_FSA_CONTAINER* container);

// Container operations the OS layer calls; they throw 31 until the container
// layer provides them.
void CT_Split(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2);
void CT_SplitTwo(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2);
void CT_MakeSnapshot(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2, uint32_t a, uint32_t b,
                     uint32_t c, uint32_t zero, uint32_t last);

// VM commands of the container transport.
enum : uint32_t {
    VM_ContainerConfig = 2,
    VM_DrvErrTblLog = 21,
    VM_SasNvsramAccess = 23,
};

// CT codes the transport itself sends, and those of the routines below.
enum : uint32_t {
    CT_GET_CONTAINER_COUNT = 4,
    CT_GET_SCSI_METHOD = 64,
    CT_CONTAINER_OPTIONS = 73,
    CT_CONTINUE_DATA = 83,
    CT_STOP_DATA = 84,
    CT_GET_MISC_STATUS = 87,
    CT_GET_EE_OEM_ID = 193,
    CT_GET_CONTROLLER_DEVICE_CACHE_POLICY = 239,
};

// Container statuses the transport interprets.
enum : uint32_t {
    CT_STS_TRANSFER_DONE = 198,
    CT_STS_MULTI_PACKET_FIRST_IN_REPLY = 200,
    CT_STS_MULTI_PACKET = 201,
    CT_STS_NEW_SUCCESS = 218,
};

// The container reply as it sits in a FIB payload: eight words (transport
// status, echo, container status, result words 1 and 2, transfer handle,
// packet size, unused), then the reply data. Read through fa_bytes.h.
struct _CONTAINERREPONSE {
    uint8_t words[32];
    uint8_t data[448];
};
static_assert(sizeof(_CONTAINERREPONSE) == 480, "a container reply fills a 512-byte FIB's payload");

// Largest input a container request carries, and the largest that still goes
// in a 512-byte FIB.
constexpr unsigned CT_MAX_INPUT = 1968;
constexpr unsigned CT_SMALL_INPUT = 432;

// Sends one container command (FIB 500) and collects its reply, over several
// packets when the firmware splits it. p0-p2 carry parameters 0-2 in and the
// container status and result words 1 and 2 out (after a completed transfer
// only p0, with the transfer's value). 1, or 37, 38, 644 or the send status;
// thrown instead when throwOnError is set. A caller holding a multi-packet
// reply already passes it as replyInHand: nothing is sent for it.
FSA_STATUS CT_SendReceiveFIB(FSAAPI_CONTEXT* ctx, unsigned ctCommand, uint32_t* p0, uint32_t* p1, uint32_t* p2,
                             const void* in, unsigned inLen, void* out, unsigned outLen, int throwOnError,
                             unsigned vmCommand = VM_ContainerConfig, const _CONTAINERREPONSE* replyInHand = nullptr);

// The library's container type (FSA_CONTAINER_TYPE) of a firmware container type.
uint32_t CT_GetFsaCtrType(uint32_t firmwareType);

// The controller's maximum container count (CT 4); p1 and p2 are parameters 1
// and 2 in and result words 1 and 2 out. Thrown on failure.
uint32_t CT_GetContainerCount(FSAAPI_CONTEXT* ctx, uint32_t* p1, uint32_t* p2);
// The SCSI method word (CT 64).
uint32_t CT_GetScsiMethod(FSAAPI_CONTEXT* ctx);
// The eight container-option entries (CT 73, 288 bytes) into out; status 192
// or 117 thrown.
FSA_STATUS CT_ContainerParams(FSAAPI_CONTEXT* ctx, void* out);
// The miscellaneous status (CT 87) as the 48-byte MiscAdapterStatus; a
// controller without option word 2 bit 0x10 sends 40 bytes, widened here.
void CT_GetMiscStatus(FSAAPI_CONTEXT* ctx, void* out);
// The OEM id (CT 193) into *out; a failed send clears it and is thrown.
void CT_GetOemId(FSAAPI_CONTEXT* ctx, uint32_t* out);
// The controller's drive write-cache policy (CT 239): first = SATA, second = SAS.
void CT_GetControllerDeviceCachePolicy(FSAAPI_CONTEXT* ctx, int* first, int* second);

// Routines of later container-layer work that the open and the general
// information already call. Until they are built the reading ones throw 31;
// those whose status the open ignores return 31 and never throw.
int CT_GetContainer(FSAAPI_CONTEXT* ctx, uint32_t container, void* record, uint32_t* status);
void CT_GetPartitionInMemory(FSAAPI_CONTEXT* ctx, uint32_t index, void* partition);
FSA_STATUS CT_UpdateContainerLists(FSAAPI_CONTEXT* ctx);
// Refreshes list `which` (0 or 1) and returns its entry count; thrown on a
// bad selector (7) or a failed list status.
uint32_t CT_GetContainerList(FSAAPI_CONTEXT* ctx, uint32_t which);
FSA_STATUS CT_GetPPITable(FSAAPI_CONTEXT* ctx);
FSA_STATUS CT_GetMissingDiskList(FSAAPI_CONTEXT* ctx);

// ---- Controller options the controller object reads when it opens ----

// Task record of the task queries (56 bytes): word 1 the task type, words at
// 36, 44 and 48 the verify task's state and progress words.
struct FSA_TASK_INFO {
    uint8_t bytes[56];
};
static_assert(sizeof(FSA_TASK_INFO) == 56, "task record is 56 bytes");

// Automatic failover (CT 169): *on = result word 1; a transport failure or a
// status other than 218 throws 470.
void CT_GetAutoFailover(FSAAPI_CONTEXT* ctx, uint32_t* on);
// Background verification on (CT 175): bit 0 of result word 1; failures
// throw 520.
uint32_t CT_VerifyTaskOn(FSAAPI_CONTEXT* ctx);
// The verify period (CT 206): with day counts (option word 2 bit 0x4000000)
// levels 1, 2, 3 give 30, 20, 10 days and other values are days; without,
// only 1, 2, 3 are taken. *days is 0 first; a controller that does not know
// the command (37) leaves it; other failures and statuses but 152 throw 520.
void CT_VerifyGetPriorityDays(FSAAPI_CONTEXT* ctx, unsigned* days);
// The running background-verify task into *out: 1 when found. Clears the
// first 36 bytes of *out; until the task queries exist no task is found.
int CtFindVerifyTask(FSAAPI_CONTEXT* ctx, FSA_TASK_INFO* out);

#endif
