#ifndef VYN_COMMAND_VYN_OS_FAUX_HWCOMM_H
#define VYN_COMMAND_VYN_OS_FAUX_HWCOMM_H

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_aif.h"

#include <cwchar>

class FSAAPI_CONTEXT;

// Driver requests of the OS layer.
enum : unsigned long {
    FSACTL_SENDFIB = 0x42008,
    FSACTL_SEND_LARGE_FIB = 0x42168,
    FSACTL_SEND_RAW_SRB = 0x4204C,
    FSACTL_OPEN_GET_ADAPTER_FIB = 0x420D0,
    FSACTL_GET_NEXT_ADAPTER_FIB = 0x420D4,
    FSACTL_CLOSE_GET_ADAPTER_FIB = 0x420D8,
    FSACTL_MINIPORT_REV_CHECK = 0x420EC,
    FSACTL_GET_PCI_BUS_SLOT = 0x4211C,
    FSACTL_GET_CODE_VERSION_STATUS = 0x42164,
    FSACTL_DELETE_DISK = 0x163,
    FSACTL_QUERY_DISK = 0x173,
};

// Room for the small records the driver answers FSACTL_GET_PCI_BUS_SLOT and
// FSACTL_GET_CODE_VERSION_STATUS with: the driver writes its whole record,
// though the library reads only its first words.
constexpr unsigned kDriverRecordBytes = 16;

// The driver connection of one open adapter, owned by its FSAAPI_CONTEXT.
struct FAUX_COMM_CONTEXT {
    // Creates the three event slots and the "aif" mutex (throws 485).
    FAUX_COMM_CONTEXT();
    ~FAUX_COMM_CONTEXT();
    FAUX_COMM_CONTEXT(const FAUX_COMM_CONTEXT&) = delete;
    FAUX_COMM_CONTEXT& operator=(const FAUX_COMM_CONTEXT&) = delete;

    int fd = 0;               // read-write descriptor of the node; 0 until open
    char adapterName[20] = {};  // lower case, at most 16 characters
    void* aifMutex = nullptr;  // guards the event slots
    FAUX_AIF_CONTEXT aifSlots[3];
    int hostNumber = 0;       // SCSI host found by the node check
};

// Opens the connection for the context's access mode: 1, or 0 when the node
// cannot be opened; throws 91, 473, 134, 484 or 479. Nothing survives a failure.
int faos_OpenChannelToAdapter(FSAAPI_CONTEXT* ctx, const wchar_t* adapterName);
// Releases the adapter lock, closes the node and deletes the connection.
void faos_CloseChannelToAdapter(FSAAPI_CONTEXT* ctx);
// 1 compatible, 87 when the driver refuses this library's revision, 91; throws 479.
FSA_STATUS faos_CheckDriverCompatibility(FSAAPI_CONTEXT* ctx);
// Both -1 unless the driver answers.
void faos_GetPCIBusAndSlotInfo(FSAAPI_CONTEXT* ctx, short* bus, short* slot);

// This library's own revision, sent with the revision check.
FSA_REVISION RevGetFullRevision();
uint32_t RevGetExternalRev();

#endif
