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

// Split a mirror (CT 30, 31) and make a snapshot (CT 104); thrown on failure.
// The snapshot request carries arguments 4 and 5 crossed and the fixed
// signature when `signature` is 0.
void CT_Split(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2);
void CT_SplitTwo(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2);
void CT_MakeSnapshot(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2, uint32_t a, uint32_t b,
                     uint32_t c, uint32_t signature, uint32_t last);

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
// reply already passes it as replyInHand: nothing is sent for it. received,
// when given, learns how many bytes of out the reply filled at most: the
// announced total of a split reply, else what one reply can carry.
FSA_STATUS CT_SendReceiveFIB(FSAAPI_CONTEXT* ctx, unsigned ctCommand, uint32_t* p0, uint32_t* p1, uint32_t* p2,
                             const void* in, unsigned inLen, void* out, unsigned outLen, int throwOnError,
                             unsigned vmCommand = VM_ContainerConfig, const _CONTAINERREPONSE* replyInHand = nullptr,
                             unsigned* received = nullptr);

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
// The legacy container record (cttype) of a container, by CT 178 or, on
// controllers that do not know it, CT 5 widened: 1 when the container exists,
// 0 otherwise; *status the container status of the reply.
int CT_GetContainer(FSAAPI_CONTEXT* ctx, uint32_t container, void* record, uint32_t* status);
FSA_STATUS CT_UpdateContainerLists(FSAAPI_CONTEXT* ctx);
// Refreshes list `which` (0 or 1) and returns its entry count; thrown on a
// bad selector (7) or a failed list status.
uint32_t CT_GetContainerList(FSAAPI_CONTEXT* ctx, uint32_t which);
FSA_STATUS CT_GetPPITable(FSAAPI_CONTEXT* ctx);
FSA_STATUS CT_GetMissingDiskList(FSAAPI_CONTEXT* ctx);

// Records of the container layer that later work lays out; only their names
// are needed here.
struct Partition;
struct FSA_STORAGE_DEVICE;
struct FSA_STORAGE_DEVICE_SPACE;
struct FSA_PARTITION;
struct FSA_PARTITION_CACHE_ELEMENT;
struct FSA_CONTAINER_INFO_EXTND;
struct FSAAPI_SW_METADATA;
struct FsaSnapshotInfo;
struct MirrorCommand;
struct FailoverSlices;
struct _ContainerCreationInfo;
struct VYNIO_CREATE_HEADER_S;
struct CreateContainer;
struct VYNIO_SEGMENT64_S;
// The cache-set request (28 bytes): container number, read-cache word,
// write-cache word, four zero words.
struct CacheSetCommand {
    uint8_t bytes[28];
};
static_assert(sizeof(CacheSetCommand) == 28, "cache-set request is 28 bytes");
struct GlobalCacheStats;
struct tag_FSA_GENERATION;
struct FIND_CT_TO_DELETE_STRUCT;
struct FSA_PPI_TABLE_HDRS;
struct FSA_PPI_ENTRY;
struct SnapshotMap;
struct _FSA_BAD_STRIPE_ENTRY;
struct PM_CONFIG_DATA_S;

// Container-layer routines. The container operation commands and the cache,
// name, unique-id and verification commands are built: each throws (or
// returns, where marked) the status its command's reply maps to. The other
// groups are not available yet: those that report failures by throwing throw
// 31, those that return their status return 31, and the few that never fail
// give their empty answer. Container types are the library's
// FSA_CONTAINER_TYPE numbers.

// Drive metadata sector, candidate spares and device cache policy.
void CT_ReadSWSector(FSAAPI_CONTEXT* ctx, uint32_t device, FSAAPI_SW_METADATA* out);
void CT_WriteSWSector(FSAAPI_CONTEXT* ctx, uint32_t device, const FSAAPI_SW_METADATA* in);
void CT_SetDeviceCachePolicy(FSAAPI_CONTEXT* ctx, uint32_t device, int enable);
void CT_GetDeviceCachePolicy(FSAAPI_CONTEXT* ctx, uint32_t device, int* out);
void CT_SetCandidateSpare(FSAAPI_CONTEXT* ctx, uint32_t device);
void CT_ClrCandidateSpare(FSAAPI_CONTEXT* ctx, uint32_t device);
// 1 or 0; never throws.
int CT_IsCandidateSpare(FSAAPI_CONTEXT* ctx, uint32_t device);

// Phantom containers and unique ids.
void CT_FindUidForCtrWithPartition(FSAAPI_CONTEXT* ctx, uint32_t container, const Partition* partition,
                                   uint32_t* uid, int matchBySlice);
int CT_GetPhantomContainer2(FSAAPI_CONTEXT* ctx, uint32_t container, FSA_CONTAINER_INFO_EXTND* out,
                            uint32_t outSize);

// Container operation commands.
uint32_t CT_GetFakeSimSignature();
void CT_DebugPrintStatus(uint32_t ctCommand, uint32_t status);
void CT_CommitConfig(FSAAPI_CONTEXT* ctx);
void CT_Delete_PPI_Bundles(FSAAPI_CONTEXT* ctx, uint32_t device);
void CT_UpdateEvents(FSAAPI_CONTEXT* ctx);
void CT_ReadUserFlags(FSAAPI_CONTEXT* ctx, uint32_t container, uint16_t* flags);
FSA_STATUS CT_WriteUserFlags(FSAAPI_CONTEXT* ctx, uint32_t container, uint16_t flags);
void CT_SetDumpContainerFlag(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_RemoveSnapshot(FSAAPI_CONTEXT* ctx, uint32_t container);
FSA_STATUS CT_GetSnapshotInfo(FSAAPI_CONTEXT* ctx, uint32_t container, FsaSnapshotInfo* out);
FSA_STATUS CT_WriteMBR(FSAAPI_CONTEXT* ctx, uint32_t slice, uint32_t value);
// Returns its status instead of throwing.
FSA_STATUS CT_VynIoPhyDevOp(FSAAPI_CONTEXT* ctx, uint32_t operation, uint32_t** handles, uint32_t* count, int all);
void CT_MoveContainer(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t destination);
void CT_DestroyContainer(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t value, int force);
void CT_AddLevel(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_SetMirrorDelay(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t delay);
uint32_t CT_GetContainerDelay(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* out);
void CT_ClearFileSystem(FSAAPI_CONTEXT* ctx, uint32_t container, int notify);
void CT_Zero(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_VolumeAdd(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t a, uint32_t b);
void CT_GenerateMirror2(FSAAPI_CONTEXT* ctx, MirrorCommand* command);
void CT_GenerateMirror(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t value);
void CT_AssignFailover(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t spare);
void CT_ClearFailover(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t spare);
void CT_GetFailover(FSAAPI_CONTEXT* ctx, uint32_t container, FailoverSlices* out);
// 1 when read, 0 otherwise.
int CT_ReadData(FSAAPI_CONTEXT* ctx, void* buffer, uint32_t length, uint32_t a, uint32_t b);
// 0 when the read fails.
uint32_t CT_GetSliceFailoverCount(FSAAPI_CONTEXT* ctx, uint32_t slice);
void CT_UnMirror(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_MakeReadOnly(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_MakeReadWrite(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_Promote(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_ScrubContainer(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_Scrub2Container(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_CheckContainer(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_Check2Container(FSAAPI_CONTEXT* ctx, uint32_t container);
uint32_t CT_FlushContainer(FSAAPI_CONTEXT* ctx, uint32_t container);
FSA_STATUS CT_RestartMorph(FSAAPI_CONTEXT* ctx, uint32_t container);
uint32_t CT_LockDrainContainer(FSAAPI_CONTEXT* ctx, uint32_t container);
uint32_t CT_OfflineContainer(FSAAPI_CONTEXT* ctx, uint32_t container);
uint32_t CT_Copy(FSAAPI_CONTEXT* ctx, uint32_t source, uint32_t destination);
void CT_LockContainer(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_UnlockContainer(FSAAPI_CONTEXT* ctx, uint32_t container);

// Container creation.
FSA_STATUS CT_GenCreateInfo(FSAAPI_CONTEXT* ctx, _ContainerCreationInfo* out);
void CT_SetDateTimeInfo(VYNIO_CREATE_HEADER_S* header);
uint32_t CT_FindDiskOffset(int64_t bytes);
// 1, or 6 when the RAID-6 table has no layout for n; returned.
FSA_STATUS CT_GetRaid6Size(void* adapterHandle, uint32_t n, uint64_t bytes, uint64_t* blocks);
void CT_ContainerCreate(FSAAPI_CONTEXT* ctx, CreateContainer* request, uint32_t length);
void CT_CreateNewContainer(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t type,
                           const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n, uint32_t stripeBytes, int quick,
                           int noBuild);
void CT_CreateRAID50(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t drivesPerLeg,
                     const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n, uint32_t stripeBytes, int quick, int noBuild);
void CT_CreateRAID60(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t drivesPerLeg,
                     const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n, uint32_t stripeBytes, int quick, int noBuild);
void CT_GenerateSecondary(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t type, const uint32_t* members,
                          uint32_t n, uint32_t sizeBytes);
// 1 or 522; never throws.
FSA_STATUS CT_VynIoCreateLogicalDrive(FSAAPI_CONTEXT* ctx, VYNIO_CREATE_HEADER_S* header);
FSA_STATUS CT_GetPartitionForContainer(FSAAPI_CONTEXT* ctx, uint32_t container, int lowerOnly, Partition* out,
                                       FSA_THROW_MODE mode);
int CT_PhantomOrRealExists(FSAAPI_CONTEXT* ctx, uint32_t container, int localOnly);
uint32_t CT_GetNextFreeContainer(FSAAPI_CONTEXT* ctx, int fromTop, int localOnly);

// Controller event log: the history-log commands of fa_dump.h.

// Dead partitions, partition deletion and morphing; failures are thrown.
// Marking partitions dead waits 5000 ms for the controller; the morph
// requests carry one slice byte per member, so a slice above 255 is refused
// with 7 and more than 128 members with 24. The container size is in bytes.
uint64_t CT_GetContainerSize(FSAAPI_CONTEXT* ctx, uint32_t container);
void CT_RemoveDeadPartitions(FSAAPI_CONTEXT* ctx, int device, const FSA_PARTITION* only);
void CT_SetDeadPartitions(FSAAPI_CONTEXT* ctx, int device);
void CT_SetDeadPartition(FSAAPI_CONTEXT* ctx, int device, uint32_t start, uint32_t length);
void CT_ClearDeadPartition(FSAAPI_CONTEXT* ctx, int device, uint64_t start, uint64_t length);
void CT_DeletePartitions(FSAAPI_CONTEXT* ctx, uint32_t n, VYNIO_SEGMENT64_S* segments);
void CT_SetDead(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t index);
FSA_STATUS CT_MorphContainer(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t type, uint32_t n,
                             const FSA_STORAGE_DEVICE* drives, uint32_t stripeBytes, uint64_t newSizeBytes,
                             int extend);
FSA_STATUS CT_GenerateMorphContainer(FSAAPI_CONTEXT* ctx, uint32_t internalId, uint32_t type, uint32_t n,
                                     const FSA_STORAGE_DEVICE* drives, uint32_t stripeBytes, uint64_t newSizeBytes,
                                     int extend);
FSA_STATUS CT_GenerateMorphContainerNew64(FSAAPI_CONTEXT* ctx, uint32_t internalId, uint32_t type, uint32_t n,
                                          const FSA_STORAGE_DEVICE* drives, uint32_t stripeBytes,
                                          uint64_t newSizeBytes, int extend);

// Container cache statistics, names, unique ids and background verification.
FSA_STATUS CT_UpdateCacheParms(FSAAPI_CONTEXT* ctx, uint32_t container, CacheSetCommand* command);
FSA_STATUS CT_GetGlobalCacheStats(FSAAPI_CONTEXT* ctx, int which, int length, GlobalCacheStats* out);
FSA_STATUS CT_CacheToss(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* p1);
FSA_STATUS CT_SetName(FSAAPI_CONTEXT* ctx, uint32_t container, const char* name);
FSA_STATUS CT_GetName(FSAAPI_CONTEXT* ctx, uint32_t container, char* out);
FSA_STATUS CT_EnableRaid5(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t p1);
// Never throws.
FSA_STATUS CT_GetContainerSerialNumber(void* adapterHandle, uint32_t container, uint32_t* uid);
void CT_StartContainerVerify(FSAAPI_CONTEXT* ctx, int on);
void CT_VerifySetPriority(FSAAPI_CONTEXT* ctx, uint32_t priority);
void CT_VerifySetPriorityDays(FSAAPI_CONTEXT* ctx, uint32_t days);
void CT_VerifyGetPriority(FSAAPI_CONTEXT* ctx, uint32_t* out);
bool CT_IsGenerationEqual(const tag_FSA_GENERATION* a, const tag_FSA_GENERATION* b);
bool CT_IsGenerationCurrent(FSAAPI_CONTEXT* ctx, const tag_FSA_GENERATION* generation);
uint32_t CT_GetContainerUsage(FSAAPI_CONTEXT* ctx, uint32_t container);
// The sources of a multi-level container: 1, the failed read's status, 421
// for sources of different types, 24 for mirrors of more than 48 members in
// all. The type argument is not read.
FSA_STATUS CheckMContainerValidity(void* adapterHandle, const tag_FSA_CONTAINER* list, uint32_t n, uint32_t type);

// Containers affected by drives.

// One container met while the partitions of the given drives are searched.
struct FIND_CT_TO_DELETE_STRUCT {
    uint32_t words[26];
};
static_assert(sizeof(FIND_CT_TO_DELETE_STRUCT) == 104, "find-list entry is 26 words");
enum FIND_CT_WORD : unsigned {
    FIND_NUMBER = 0,          // words 0-2: the container's identifier
    FIND_UID = 1,
    FIND_OWNER = 2,
    FIND_TYPE = 3,            // the first owner's type word
    FIND_SURVIVES = 5,
    FIND_HITS = 6,            // partitions on the drives, plus lost members
    FIND_DONE = 7,
    FIND_LOST_MEMBER = 8,
    FIND_SECOND = 9,          // 9-12: number, unique id, owner word, present
    FIND_PAIR_B = 13,         // 13-16: the container named by byte 55
    FIND_PAIR_A = 17,         // 17-20: the container named by byte 54
    FIND_RELATED = 21,        // 21-24: the container named by byte 79
    FIND_IN_PAIR_B = 25,      // byte 59 names this entry's container
};
// Entries of the work area per drive.
constexpr uint32_t FIND_ENTRIES_PER_DRIVE = 128;

// Fills `dead` with the containers that die with the drives and `affected`
// with those that lose members only, each with its highest level, listed
// once; the sizes are in bytes. Throws 91 without memory for the work area,
// 5 when the containers met exceed it or a list cannot hold its entries
// (nothing is written to the lists then), or what the unique-id reads throw.
void CT_FindContainersToDeleteByDisk(FSAAPI_CONTEXT* ctx, FSA_STORAGE_DEVICE* drives, uint32_t n,
                                     tag_FSA_CONTAINER* dead, uint32_t* deadCount, uint32_t deadSize,
                                     tag_FSA_CONTAINER* affected, uint32_t* affectedCount, uint32_t affectedSize);
// Counts a partition into the entry of its container, appending one when
// the container is new; a list already holding `capacity` entries throws 5.
void CT_AddToFindList(FSAAPI_CONTEXT* ctx, FIND_CT_TO_DELETE_STRUCT* list, uint32_t* count,
                      FSA_PARTITION_CACHE_ELEMENT* element, uint32_t capacity);
// Replaces the entry's container by the highest level it belongs to.
void CT_CheckForHigherUpContainers(FSAAPI_CONTEXT* ctx, FIND_CT_TO_DELETE_STRUCT* entry);
// The unique id of any container number, also of a level of a multi-level
// container: 1 when found, else 0 with *uid 0.
int CTGetUid(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* uid);

// The physical-device table and missing drives.
// Never throws; `out` is written only for a good reply.
void CT_GetPPITableHeaders(FSAAPI_CONTEXT* ctx, FSA_PPI_TABLE_HDRS* out);
void CT_GetMissingPPITableEntries(FSAAPI_CONTEXT* ctx, FSA_PPI_ENTRY* out, uint32_t* n);
void CT_SortMissingDrives(FSAAPI_CONTEXT* ctx, FSA_PPI_ENTRY* in, FSA_PPI_ENTRY* out, uint32_t n, uint32_t& count);
void CT_DebugPrintPPIEntries(char* label, uint32_t n, FSA_PPI_ENTRY* entries);
int compareAddresses(const void* a, const void* b);

// Snapshot maps, bad stripes, automatic failover, power management and the
// SSD cache pool; the status-returning ones do not throw their mapped statuses.
FSA_STATUS CT_GetSSMapInfo(FSAAPI_CONTEXT* ctx, uint32_t container, SnapshotMap* out);
FSA_STATUS CT_GetBadStripeInfo(FSAAPI_CONTEXT* ctx, uint32_t container, _FSA_BAD_STRIPE_ENTRY* out);
void CT_UseAutoFailover(FSAAPI_CONTEXT* ctx, uint32_t on);
FSA_STATUS CT_SetPowerManagement(FSAAPI_CONTEXT* ctx, uint32_t container, const PM_CONFIG_DATA_S* config);
FSA_STATUS CT_UpdateITPCacheSettings(FSAAPI_CONTEXT* ctx, uint32_t container, int enable);
FSA_STATUS CT_UpdateOrvexaWriteCacheSettings(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t mode, uint32_t p2);
FSA_STATUS CT_AddDriveToCachePool(FSAAPI_CONTEXT* ctx, uint32_t** drives, uint32_t* n);
FSA_STATUS CT_RemoveDriveFromCachePool(FSAAPI_CONTEXT* ctx, uint32_t** drives, uint32_t* n);
FSA_STATUS CT_HasDirtyData(FSAAPI_CONTEXT* ctx);
FSA_STATUS CT_ClearOrvexaPool(FSAAPI_CONTEXT* ctx);

// Lists and logical-device records.
struct FSA_CONTAINER_INFO_EXTND;
class FsaVynIoLogDevInfo;
struct VYNIO_LOGDEV_INFO_S;

// The container number of a list-0 identifier or a list-1 handle; -1 when
// neither list holds it.
int CT_FindCtrNumFromHandle(FSAAPI_CONTEXT* ctx, uint32_t handle);
// The API container type of a logical-device raidType of the model.
uint32_t CT_ConvertVynIoLogDevType(uint32_t raidType);
// Fill a container information record of `size` bytes (580 to 4164) from a
// firmware record or from a node of the configuration model. Member
// elements that the record cannot hold are not written.
void CT_ConvertCtrInfo(FSAAPI_CONTEXT* ctx, VYNIO_LOGDEV_INFO_S* record, FSA_CONTAINER_INFO_EXTND* info,
                       uint32_t size);
void CT_ConvertOnlineCtrInfo(FSAAPI_CONTEXT* ctx, FsaVynIoLogDevInfo* node, FSA_CONTAINER_INFO_EXTND* info,
                             uint32_t size);
// The unique id held in an identifier.
uint32_t CT_GetInternalUID(const tag_FSA_CONTAINER* container);

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
// first 36 bytes of *out; while verification is on it looks five times,
// 200 ms apart, and keeps the last find.
int CtFindVerifyTask(FSAAPI_CONTEXT* ctx, FSA_TASK_INFO* out);


// ---------------------------------------------------------------------------
// Slices, the firmware's partition table and the slices' boot records.

struct FSA_STORAGE_DEVICE;
typedef FSA_STORAGE_DEVICE FSA_SCSI_DEVICE;
struct FSA_CONTAINER_INFO;
struct FSA_CONTAINER_INFO_EXTND;

// A partition record in the controller's newest form. The two older forms are
// its first 196 or 160 bytes; the library keeps every record in this form
// with the rest zero.
struct Partition {
    uint8_t bytes[420];
};
static_assert(sizeof(Partition) == 420, "partition record is 420 bytes");
constexpr unsigned PARTITION_BYTES_196 = 196;
constexpr unsigned PARTITION_BYTES_160 = 160;

// Fields of a partition record (byte offsets), read through fa_bytes.h.
enum PARTITION_FIELD : unsigned {
    PART_TABLE_INDEX = 0,      // u32, index in the controller's table
    PART_CREATION = 4,         // u8, creation byte
    PART_CREATION_LAST = 6,    // u8
    PART_CREATION_YEAR = 7,    // u8, year - 1900
    PART_CREATION_DATE = 8,    // u32, packed month, day, hour, minute, second
    PART_CREATOR_1 = 12,       // u32
    PART_CREATOR_2 = 16,       // u32
    PART_AGE = 20,             // u32, configuration age of the record
    PART_START_32 = 24,        // u32, blocks
    PART_LENGTH_32 = 28,       // u32, blocks
    PART_OWNER_WORD = 32,      // u32, 0 = entry not in use
    PART_LOCATION = 40,        // u32, slice as read; device handle in a sorted list
    PART_SLICE = 44,           // u32
    PART_FIRST_OWNER = 48,     // u32, type code; 8 = location still holds a slice
    PART_FIRST_CONTAINER = 52, // u16
    PART_PAIR_A = 54,          // u8, the two containers of a snapshot pair
    PART_PAIR_B = 55,          // u8
    PART_SLOT_A = 58,          // u8, the pair's slot containers
    PART_SLOT_B = 59,          // u8
    PART_MEMBER_INDEX = 60,    // u16, place in the first owner
    PART_LOST_MEMBERS = 64,    // u32, one bit per member index that is lost
    PART_SECOND_OWNER = 68,    // u32
    PART_SECOND_CONTAINER = 72,// u16
    PART_RELATED = 79,         // u8, the container a reconfiguration relates to
    PART_STATE_FLAGS = 84,     // u32, bit 6: a member is missing
    PART_KEEP_DUPLICATE = 90,  // u8
    PART_MORPH_DESTINATION = 91,// u8
    PART_WORD_100 = 100,       // u32
    PART_ATTRIBUTES = 112,     // u32: bit 0 has a container, bit 7 keep duplicate
    PART_WORD_128 = 128,       // u32
    PART_START_64 = 256,       // u64, blocks
    PART_LENGTH_64 = 264,      // u64, blocks
};
constexpr uint32_t PART_ATTR_HAS_CONTAINER = 0x1;
constexpr uint32_t PART_ATTR_KEEP_DUPLICATE = 0x80;
constexpr uint32_t PART_OWNER_UNPLACED = 8;

// A slice's boot record as the controller reports it: 48 bytes, 40 without
// the 64-bit slice option (option word 3 bit 0x10).
struct SliceMBR {
    uint8_t bytes[48];
};
static_assert(sizeof(SliceMBR) == 48, "slice boot record is 48 bytes");
constexpr uint32_t SLICE_MBR_SIGNATURE = 0x21956;  // written by this system
constexpr unsigned SLICE_MBR_COUNT = 4;            // u32, on-disk partition records
constexpr unsigned SLICE_MBR_SLICE = 8;            // u32, slice number

struct SerialNumberT {
    uint8_t bytes[8];
};
static_assert(sizeof(SerialNumberT) == 8, "serial number is 8 bytes");

// A configuration generation: equal when the first words are.
struct tag_FSA_GENERATION {
    uint32_t age;
};

enum : uint32_t {
    CT_GET_SLICE_COUNT = 1,
    CT_GET_PARTITION_COUNT = 2,
    CT_GET_PARTITION_INFO = 3,
    CT_READ_CONFIG_AGE = 11,
    CT_READ_SERIAL_NUMBER = 13,
    CT_ZERO_PAR_ENTRY = 14,
    CT_READ_MBR = 15,
    CT_GET_SLICE_INFO = 63,
    CT_GET_PARTITION_TABLE = 85,
    CT_GET_DISK_PARTITIONS = 86,
    CT_CONTAINER_EXISTS = 153,
    CT_GET_SLICE_FROM_DEVT = 154,
    CT_PAR_TO_32BITS_UID = 167,
    CT_GET_PARTITION_TABLE_2 = 198,
    CT_GET_PARTITION_INFO_2 = 199,
    CT_GET_DISK_PARTITIONS_2 = 200,
    CT_GET_PARTITION_TABLE_500 = 212,
    CT_GET_PARTITION_INFO_500 = 213,
    CT_GET_DISK_PARTITIONS_500 = 214,
};

uint32_t CT_GetSliceCount(FSAAPI_CONTEXT* ctx);
uint32_t CT_GetPartitionTableSize(FSAAPI_CONTEXT* ctx);
uint32_t CT_GetConfigAge(FSAAPI_CONTEXT* ctx);
void CT_GetGenerationId(FSAAPI_CONTEXT* ctx, tag_FSA_GENERATION* out);
FSA_STATUS CT_GetSerialNumber(FSAAPI_CONTEXT* ctx, SerialNumberT* out);
// Clears one table entry; the controller's status is not checked.
FSA_STATUS CT_PartitionEntryZero(FSAAPI_CONTEXT* ctx, uint32_t index);
// True when the controller answered with the record (status 132).
bool CT_ReadMBR(FSAAPI_CONTEXT* ctx, uint32_t slice, SliceMBR* out);
// 2 when the record cannot be read, 1 when this system wrote it, else 0.
int CT_MbrExists(FSAAPI_CONTEXT* ctx, uint32_t slice);
// The status word of the existence check, 0 when the send failed.
uint32_t CT_CheckConflicts(FSAAPI_CONTEXT* ctx, uint32_t n);
void CT_GetSliceInfo(FSAAPI_CONTEXT* ctx, uint32_t slice, uint64_t* size, uint64_t* maxSize, uint64_t* c,
                     uint32_t* handle, uint32_t* e, uint32_t* f);
// Sizes of the slice on the drive *handle from the configuration model.
void CT_GetSliceInfoNew64(FSAAPI_CONTEXT* ctx, uint32_t slice, uint64_t* size, uint64_t* maxSize,
                          const uint32_t* handle);
// The slice of a drive, or -1 (12 thrown instead when throwIfNone is set).
int CT_GetSliceFromDriveHandle(FSAAPI_CONTEXT* ctx, uint32_t handle, int throwIfNone, int* localKind7);
int CT_GetNewSliceFromDriveHandle(FSAAPI_CONTEXT* ctx, uint32_t handle, int throwIfNone, int* localKind7);
// One table entry, all entries, or one slice's on-disk entries, in whichever
// record form the controller knows; a failure is thrown (39 for a wrong status).
void CT_GetPartitionInMemory(FSAAPI_CONTEXT* ctx, uint32_t index, void* partition);
void CT_GetPartitionsInMemory(FSAAPI_CONTEXT* ctx, Partition* out, int n);
void CT_GetDiskPartitions(FSAAPI_CONTEXT* ctx, int slice, Partition* out, int n);

uint32_t CT_GetMaxNumberOfCtrPartitions(FSAAPI_CONTEXT* ctx);
uint32_t CT_GetNumberOfPartitionsAlreadyOnDevice(FSAAPI_CONTEXT* ctx, const FSA_SCSI_DEVICE* device);
// Throws 528 when n more partitions would pass the controller's limit.
void CT_CheckMaxNumberOfPartitions(FSAAPI_CONTEXT* ctx, uint32_t n);
void CT_MoveCreationInfo(const Partition* partition, FSA_CONTAINER_INFO* info);
void CT_MoveCreationInfo2(const Partition* partition, FSA_CONTAINER_INFO_EXTND* info);

// ---------------------------------------------------------------------------
// The partition cache.

// One element of a sorted partition list: the record, then the cache's own
// fields.
struct FSA_PARTITION_CACHE_ELEMENT {
    uint8_t bytes[584];
};
static_assert(sizeof(FSA_PARTITION_CACHE_ELEMENT) == 584, "partition cache element is 584 bytes");
constexpr unsigned PCE_KIND = 420;         // u32
constexpr unsigned PCE_PRIVATE = 424;      // 152 bytes
constexpr unsigned PCE_PRIVATE_BYTES = 152;
constexpr unsigned PCE_TRAILER = 576;      // u32, 0xFFFFFFFF in every listed entry

enum FSA_PARTITION_KIND : uint32_t {
    PCE_IN_MEMORY = 1,      // in the controller's table only
    PCE_ON_DISK = 2,        // on a slice's own table only
    PCE_MATCHED = 3,        // in both
    PCE_UNPLACED = 4,       // in the controller's table with start 0
    PCE_FREE = 5,           // free space on a slice of this system
    PCE_TAKEN = 6,          // working mark while a list is built
    PCE_FOREIGN_USED = 7,   // on a slice this system did not write
    PCE_FOREIGN_FREE = 8,   // free space on such a slice
};

// Sectors before a slice's data area.
constexpr uint64_t FSADATASTART = 128;

// The context's partition cache: a sorted list kept until invalidated.
struct FSA_PARTITION_CACHE {
    uint32_t valid;
    uint32_t count;
    FSA_PARTITION_CACHE_ELEMENT* elements;  // malloc'ed
    uint32_t word;
    void* mutex;
};

// One entry of the context's container unique-id table.
struct FSA_CONTAINER_UID_ENTRY {
    uint32_t container;
    uint32_t uniqueId;
    uint32_t ownerWord;
};
static_assert(sizeof(FSA_CONTAINER_UID_ENTRY) == 12, "unique-id entry is 12 bytes");

bool DoPartitionContainerNumbersMatch(const FSA_PARTITION_CACHE_ELEMENT* a, const FSA_PARTITION_CACHE_ELEMENT* b);
// Whether a cached partition conflicts with another of the context's cache.
bool CT_IsConflictingPartition(FSAAPI_CONTEXT* ctx, const FSA_PARTITION_CACHE_ELEMENT* element);
bool LOCAL_ATTACHED(const FSA_PARTITION_CACHE_ELEMENT* element);

// A new list (free() it) of every partition and free extent, slice by slice;
// callers pass retry 0. Throws 91 or what the reads below throw.
FSA_PARTITION_CACHE_ELEMENT* CT_GetSortedPartitionList(FSAAPI_CONTEXT* ctx, unsigned* count, unsigned retry);
void CT_GetPCEsForPartitionsInMemory(FSAAPI_CONTEXT* ctx, FSA_PARTITION_CACHE_ELEMENT* out, int n);
void CT_GetPCEsForDiskPartitions(FSAAPI_CONTEXT* ctx, int slice, FSA_PARTITION_CACHE_ELEMENT* out, int n);
// Rebuilds the context's cache and unique-id table when invalidated; 1.
FSA_STATUS CT_UpdateCache(FSAAPI_CONTEXT* ctx);
// Frees the context's partition cache with its mutex; the context's destructor.
void CT_FreePartitionCache(FSAAPI_CONTEXT* ctx);
// Marks the context's cache for a rebuild and tells the change callback.
void CT_InvalidateCache(FSAAPI_CONTEXT* ctx);
// The unique id of the container that owns a partition (secondOwner: 0 first
// owner, 1 second, 2 the related container); the transport result, never thrown.
FSA_STATUS CT_GetContainerUIDFromPartition(FSAAPI_CONTEXT* ctx, const Partition* partition, uint32_t* uid,
                                           unsigned secondOwner);
// Exported: a fresh sorted list for the caller to free.
extern "C" FSA_STATUS FsaGetSortedPartitionList(void* adapterHandle, unsigned* count,
                                                FSA_PARTITION_CACHE_ELEMENT** list);

#endif
