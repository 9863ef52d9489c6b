#ifndef VYN_COMMAND_VYN_COMMON_FA_BLINKER_H
#define VYN_COMMAND_VYN_COMMON_FA_BLINKER_H

#include "Command/Vyn/os/faux_char.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// One drive being blinked: a node of the manager's list, new entries at its
// head. Remaining seconds 0 stops the worker at the end of its current cycle;
// FAB_BLINK_FOREVER is never counted down.
struct tag_Blinker_Control_Entry {
    tag_Blinker_Control_Entry* next;
    tag_Blinker_Control_Entry* previous;
    uint32_t remainingSeconds;
    FSA_STORAGE_DEVICE device;
};

constexpr uint32_t FAB_BLINK_FOREVER = 0xFFFFFFFFu;

// The worker's body; `startRecord` is the worker's own start record, freed
// once read. Returns 0.
void* FAB_WorkerRoutine(void* startRecord);

// The drives that one adapter context makes blink by reading random blocks
// from them, one detached worker per drive. The manager's mutex guards the
// list, every entry's remaining seconds and the worker count; it is
// re-entrant, so the list routines may be called while it is held.
class FSA_BLINK_MANAGER {
public:
    // Empty list, no workers, no context; creates the mutex (throws 485).
    FSA_BLINK_MANAGER();
    // Stops every blink and returns only once every worker has ended: the
    // workers use the context, which goes right after.
    ~FSA_BLINK_MANAGER();
    FSA_BLINK_MANAGER(const FSA_BLINK_MANAGER&) = delete;
    FSA_BLINK_MANAGER& operator=(const FSA_BLINK_MANAGER&) = delete;

    // Blinks the drive for `seconds` (0 stops it, FAB_BLINK_FOREVER until
    // stopped); a drive already blinking only gets the new time. 1; the
    // device query's status, 91 or 493 thrown.
    uint32_t BlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds);
    // True while the drive has an entry.
    bool IsDriveBlinking(const FSA_STORAGE_DEVICE* device);

    // The first entry with the device's bus, target and LUN, or null.
    tag_Blinker_Control_Entry* LocateDeviceEntry(const FSA_STORAGE_DEVICE* device);
    void AddDeviceEntry(tag_Blinker_Control_Entry* entry);
    void UnlinkAndFreeEntry(tag_Blinker_Control_Entry* entry);

private:
    friend void* FAB_WorkerRoutine(void* startRecord);

    // The worker's reads, on the device handle and slice that BlinkDrive
    // worked out for it.
    void runWorker(tag_Blinker_Control_Entry* entry, uint32_t deviceHandle, uint32_t slice);
    // Removes a worker's entry and counts the worker off, in one step under
    // the mutex: the destructor may go as soon as it sees the count drop.
    void endWorker(tag_Blinker_Control_Entry* entry);

    uint32_t workers_ = 0;
    tag_Blinker_Control_Entry* first_ = nullptr;
    void* mutex_ = nullptr;
    FSAAPI_CONTEXT* context_ = nullptr;
};

#endif
