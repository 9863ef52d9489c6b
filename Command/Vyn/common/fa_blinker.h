#ifndef VYN_COMMAND_VYN_COMMON_FA_BLINKER_H
#define VYN_COMMAND_VYN_COMMON_FA_BLINKER_H

#include <cstdint>

class FSAAPI_CONTEXT;
struct FSA_BLINK_ENTRY;
struct FSA_STORAGE_DEVICE;

// The drives being blinked for one adapter context. Only its construction and
// destruction live here; the blink workers come later.
class FSA_BLINK_MANAGER {
public:
    // Empty list, no workers, no context; creates the mutex (throws 485).
    FSA_BLINK_MANAGER();
    ~FSA_BLINK_MANAGER();
    FSA_BLINK_MANAGER(const FSA_BLINK_MANAGER&) = delete;
    FSA_BLINK_MANAGER& operator=(const FSA_BLINK_MANAGER&) = delete;

    // Blinks the drive for `seconds` (0 stops it); 1, failures thrown. Throws
    // 31 for now: the blink workers are not there yet.
    uint32_t BlinkDrive(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, uint32_t seconds);

private:
    uint32_t workers_ = 0;
    FSA_BLINK_ENTRY* first_ = nullptr;
    void* mutex_ = nullptr;
    FSAAPI_CONTEXT* context_ = nullptr;
};

#endif
