#ifndef VYN_COMMAND_VYN_COMMON_FA_ASYNC_H
#define VYN_COMMAND_VYN_COMMON_FA_ASYNC_H

#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_char.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct _FIB;

// The details every adapter event carries; their layout depends on the
// event's class, so they are kept as bytes and read with the little-endian
// helpers.
constexpr uint32_t FSA_EVENT_DETAILS_BYTES = 320;
struct FSA_EVENT_DETAILS {
    uint8_t bytes[FSA_EVENT_DETAILS_BYTES];
};
static_assert(sizeof(FSA_EVENT_DETAILS) == FSA_EVENT_DETAILS_BYTES, "event details are 320 bytes");

// The portable event record handed to callers: the class, a zero word, the
// details and the time in seconds since 1970 (0: unknown, the reader stamps
// the current time; live events carry 0).
struct tag_FSA_EVENT {
    uint32_t eventClass;
    uint32_t reserved;
    FSA_EVENT_DETAILS details;
    uint32_t time;
};
static_assert(sizeof(tag_FSA_EVENT) == 332, "event record is 332 bytes");

// Event classes.
enum : uint32_t {
    FSA_EM_ACKNOWLEDGE = 1,
    FSA_EM_CLOSE_HANDLE = 2,
    FSA_EM_CONFIG_CHANGE = 4,
    FSA_EM_DISK_FAILURE = 8,
    FSA_EM_JBOD_ADD = 9,
    FSA_EM_JBOD_DELETE = 10,
    FSA_EM_ADAPTER_TEXT = 16,
    FSA_EM_CONTAINER_CHANGE = 32,
    FSA_EM_DRIVE_LETTER_CHANGE = 64,
    FSA_EM_FILE_SYSTEM_CHANGE = 128,
    FSA_EM_CONTAINER_EVENT = 256,
    FSA_EM_NETWORK_FAILURE = 512,
    FSA_EM_ADAPTER_PAUSED = 1024,
    FSA_EM_ADAPTER_RESUMED = 2048,
    FSA_EM_FAILOVER_CHANGE = 4096,
    FSA_EM_ENCLOSURE_MANAGEMENT = 8192,
    FSA_EM_BATTERY_CHANGE = 16384,
    FSA_EM_JOB_PROGRESS = 32768,
    FSA_EM_GLOBAL_CACHE_CHANGE = 0x10000,
    FSA_EM_CONTAINER_ADD = 0x20000,
    FSA_EM_CONTAINER_DELETE = 0x40000,
    FSA_EM_BATT_RECOND_REQD = 0x80000,
    FSA_EM_SMART = 0x100000,
    FSA_EM_PRIORITY_CHANGE = 0x200000,
    FSA_EM_DISK_SET = 0x400000,
    FSA_EM_SSD_WEAROUT_THRESHOLD_REACHED = 0x40000A,
    FSA_EM_SS_NO_BACKUP_PRIVILEGE = 0x800000,
    FSA_EM_NETWORK_RECONNECT = 0x1000000,
    FSA_EM_CLUSTER = 0x2000000,
    FSA_EM_CONTAINER_SCSI_EVENT = 0x4000000,
    FSA_EM_ENHANCED_BATTERY_CHANGE = 0x8000000,
    FSA_EM_EXPANDED_EVENT = 0x10000000,
    FSA_EM_GENERAL_UPDATE_EVENT = 0x20000000,
    FSA_EM_SSD_CONTAINER_WBC_OFFLINE = 0x2000000A,
    FSA_EM_SSD_REPLACED_IN_RRC_POOL = 0x40000000,
    FSA_EM_SSD_BIG_FOR_RRC_REPLACEMENT = 0x4000000A,
    FSA_EM_UNRECOGNIZED_FW_EVENT = 0x80000000u,
};

// A firmware event notification: word 0 the notification code, its data from
// word 1 (code 1 carries 320 bytes). Read with the little-endian helpers.
struct AifEventNotify {
    uint8_t bytes[4 + FSA_EVENT_DETAILS_BYTES];
};
static_assert(sizeof(AifEventNotify) == 324, "event notification is 324 bytes");

// An expanded firmware event: word 0 the type code, word 1 the priority, its
// data from byte 8.
struct AifEnsExpandedEvent {
    uint8_t bytes[132];
};
static_assert(sizeof(AifEnsExpandedEvent) == 132, "expanded event is 132 bytes");

// The details of an expanded event: word 0 priority, word 1 family, word 2
// subtype, the subtype's data from byte 12.
struct FSA_EXPANDED_EVENT_INFO {
    uint8_t bytes[144];
};
static_assert(sizeof(FSA_EXPANDED_EVENT_INFO) == 144, "expanded event details are 144 bytes");

// A SCSI address inside event details: bus, target, LUN, then the adapter
// identifier at byte 4. (FSA_SCSI_DEVICE names the 12-byte device record in
// the container layer.)
struct FSA_EVENT_SCSI_DEVICE {
    uint8_t bus;
    uint8_t target;
    uint8_t lun;
    uint8_t pad;
    uint32_t adapterId;
};
static_assert(sizeof(FSA_EVENT_SCSI_DEVICE) == 8, "SCSI address is 8 bytes");

// The event thread's fetch: waits for the next adapter-initiated FIB on the
// thread's own channel (opened on first use) and copies it into fib (512
// bytes): 1, or 0 when the thread must end (stopped, not started, channel
// closed). Each call answers the start hand-shake. Throws what the channel's
// open throws.
FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT* ctx, _FIB* fib);

// The next event of the controller, without waiting, as a 332-byte
// tag_FSA_EVENT: 1; 336 when none is pending; 611 when the driver had closed
// the channel (it is opened again); 5 when the buffer is under 332 bytes (the
// event is then lost). The channel is opened on the first poll.
extern "C" {
FSA_STATUS FsaPollForEvent(void* handle, uint32_t bufferSize, void* buffer);
}

// A firmware notification into an event class and its details: 1 to deliver,
// 0 to drop (failover change of a container above the context's limit). The
// identifiers come from `second` when given, else from ctx. Unknown values
// reach the debug trace only.
int ParseAifEventNotifyFib(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const AifEventNotify* notify,
                           uint32_t* eventClass, FSA_EVENT_DETAILS* details);
// An expanded firmware event into its family, subtype and data.
void ParseAifExpandedEventNotifyFib(FSAAPI_CONTEXT* ctx, uint32_t adapterId, const AifEnsExpandedEvent* event,
                                    FSA_EXPANDED_EVENT_INFO* info);
// A job-progress report into class 32768 with the task's information as
// details.
void ParseAifJobProgress(FSAAPI_CONTEXT* ctx, const AifJobProgressReport* report, uint32_t* eventClass,
                         FSA_EVENT_DETAILS* details);
// Fill a SCSI address or a container record; nothing for a null pointer.
void PopulateScsiContents(FSA_EVENT_SCSI_DEVICE* device, uint32_t adapterId, uint8_t bus, uint8_t target, uint8_t lun);
void PopulateContainerContents(tag_FSA_CONTAINER* container, FSAAPI_CONTEXT* ctx, uint32_t number);

// Registers the general callback for the classes of eventMask (replacing
// any other), reports FSA_EM_ACKNOWLEDGE to it at once and asks a read-write
// controller, once per context, to send its events: 1. The callback runs on
// the event thread; answering 0 leaves the reported class out of the mask.
extern "C" {
FSA_STATUS FsaRegisterGeneralCallback(void* handle, uint32_t eventMask, FSA_EVENT_CALLBACK callback, void* userData);
}

// One adapter-initiated request (FIB 700) with its reply; a failure is thrown
// when throwOnError is set.
FSA_STATUS AIF_SendFIB(FSAAPI_CONTEXT* ctx, const void* request, uint32_t requestLength, _FIB* reply,
                       int throwOnError);
// An event for every other client of the controller (request 107): the
// class and the first 56 bytes of the details. A failure is thrown.
void AIF_SendEventToAllClients(FSAAPI_CONTEXT* ctx, uint32_t eventClass, const FSA_EVENT_DETAILS* details);
// Starts the context's event thread: 1 when it answered within 180000 ms
// (or was running already), 0 otherwise. After a 0 the thread may still run;
// the stop ends it either way.
int AIF_StartThreadProcessing(FSAAPI_CONTEXT* ctx);
// Closes the thread's channel, waits until the thread has ended and frees
// what the start made; nothing when no thread was started. The adapter's
// close calls it.
void AIF_StopThreadProcessing(FSAAPI_CONTEXT* ctx);
// The thread body: fetches and processes FIBs until the fetch answers 0,
// then signals its end; 0. Statuses thrown by an event never end it.
int AIF_FibThreadProcessing(FSAAPI_CONTEXT* ctx);
// One adapter-initiated FIB by its payload word 0: a notification, each
// progress report of a job-progress FIB (also to the task callbacks), or a
// client event; driver events are ignored.
void AIF_ParseAndProcessFib(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, _FIB* fib);
// A notification (324 bytes at notify) translated and processed; one the
// translation drops or fails is lost.
void AIF_ProcessEventNotify(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const uint8_t* notify);
// Invalidates the partition cache for the events that change partitions,
// then hands the event to the general callback.
void AIF_FilterAndProcessEvent(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, uint32_t eventClass,
                               FSA_EVENT_DETAILS* details);

#endif
