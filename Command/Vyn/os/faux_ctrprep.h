#ifndef VYN_COMMAND_VYN_OS_FAUX_CTRPREP_H
#define VYN_COMMAND_VYN_OS_FAUX_CTRPREP_H

#include "Command/Vyn/common/fa_status.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct tag_FSA_CONTAINER;

// How the host sees a container.
enum FSA_CONTAINER_USAGE : int {
    FSA_CU_NONE = 0,
    FSA_CU_UX_VALID = 12,
    FSA_CU_UX_OPEN = 13,
    FSA_CU_UX_DELETED = 14,
    FSA_CU_UX_UNMAPPED = 16,
    FSA_CU_UX_UNKNOWN = 17,
};

// Removal state of one container; the caller frees it.
struct FAOS_CTR_REMOVE_BASE {
    virtual ~FAOS_CTR_REMOVE_BASE() = default;
};
struct FAOS_CTR_REMOVE : FAOS_CTR_REMOVE_BASE {
    int container = 0;
    int force = 0;
};

enum FAOS_SNAPSHOT_TYPE : int {
    FA_SPLIT_PRIMARY = 2,
    FA_SPLIT_SECONDARY = 3,
    FA_SNAPSHOT = 4,
    FA_SNAPSHOT_LAST = 5,
};

// Words 0 to 2 go to the snapshot command; word 3 non-zero pauses the
// container's I/O around it.
struct FAOS_COW_INFO {
    uint32_t word[4];
};

// Container usage (12, 13, 14, 16, 17; 0 for a number without host disk);
// throws 479.
int faos_CtrGetUsage(FSAAPI_CONTEXT* ctx, int container);
// 1; diskName (at least 32 bytes) receives the disk's name or "". Throws 479
// when the driver cannot be asked.
int faux_CtrGetInstanceBusTargetLunAndDiskDeviceName(FSAAPI_CONTEXT* ctx, int container, int* instance, int* bus,
                                                     int* target, int* lun, char* diskName);
// out (at least 48 bytes): "/dev/<disk>", or "" for a container without disk.
char* faos_ContainerSpecialFile(void* adapterHandle, char* containerName, char* out, unsigned container);
void faux_ContainerSpecialFile(char* out, int instance, int bus, int target, int lun, const char* diskName);
// The instance, or 99 for -1.
int faux_getAdapterInstance(const char* name, int instance);

void faos_ExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container, int data);
void faux_ExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container, int data);
void faos_UnExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container);
void faux_UnExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container);
void faos_ReReadPartitionTable(void* adapterHandle, unsigned container);
// 1 when a line of /etc/mtab holds the device name.
int faos_ContainerIsMounted(const char* device);

// Null for a remote context; throws 480 for a container the host keeps open
// unless forced.
FAOS_CTR_REMOVE* faos_PrepareCtrForRemoval(FSAAPI_CONTEXT* ctx, int container, int permanent, int force);
// Deletes the driver's disk and takes it from the SCSI host; throws 479.
void faos_CtrRemovalComplete(FSAAPI_CONTEXT* ctx, int container, int failed, FAOS_CTR_REMOVE* state);
int faos_PrepareCtrForChange(FSAAPI_CONTEXT* ctx, int container);
void faos_CtrChangeComplete(FSAAPI_CONTEXT* ctx, int container, int failed);
// Throws 31 for an unknown type.
void faos_TakeContainerSnapshot(FSAAPI_CONTEXT* ctx, FAOS_SNAPSHOT_TYPE type, const FAOS_COW_INFO* cow,
                                int container, int container2);
int faos_RestoreDriveLetters(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* container);
// 1, or 162 when the reset file cannot be opened.
FSA_STATUS faos_ResetController(FSAAPI_CONTEXT* ctx);
FSA_STATUS faux_ResetController(FSAAPI_CONTEXT* ctx);
// Notes a driver that supports JBOD in the context; always 1.
int faos_OsAndDriverSupport64BitLBA(FSAAPI_CONTEXT* ctx);

// Hooks of other host systems.
int faos_CtrValid(FSAAPI_CONTEXT* ctx, int container);
int faos_CtrIsSystemBootDevice(FSAAPI_CONTEXT* ctx, int container, int partition);
int faos_CtrIsSystemBootDevice(FSAAPI_CONTEXT* ctx, int container);
int faos_CtrIsSystemBootDevice(FSAAPI_CONTEXT* ctx, char letter);
int faos_DrvLtrIsSystemDevice(FSAAPI_CONTEXT* ctx, char letter);
int faos_CtrIsSystemDevice(FSAAPI_CONTEXT* ctx, int container);
int faos_DriveIsSystemBootDevice(FSAAPI_CONTEXT* ctx, int drive);
int faos_DriveIsSystemDevice(FSAAPI_CONTEXT* ctx, int drive);
char faos_updateDriveLetter(FSAAPI_CONTEXT* ctx, char letter);
void faos_PauseContainerIO(FSAAPI_CONTEXT* ctx, int container);
void faos_ResumeContainerIO(FSAAPI_CONTEXT* ctx, int container);
void faos_FlushDataOnContainer(FSAAPI_CONTEXT* ctx, int container);
void faos_FillHandleArray(FSAAPI_CONTEXT* ctx, int container);
void faos_FreeHandleArray(FSAAPI_CONTEXT* ctx);
int faos_DoesFileSystemNotTakeUpFullContainer(FSAAPI_CONTEXT* ctx, int container);
int64_t faos_GetMaxExtensionForFileSys(FSAAPI_CONTEXT* ctx, int container, int* extension);
void faos_ExposeExtendedContainer(FSAAPI_CONTEXT* ctx, int container);

#endif
