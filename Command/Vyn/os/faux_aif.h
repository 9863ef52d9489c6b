#ifndef VYN_COMMAND_VYN_OS_FAUX_AIF_H
#define VYN_COMMAND_VYN_OS_FAUX_AIF_H

#include <pthread.h>

#include <cstdint>

class FSAAPI_CONTEXT;
struct _FIB;

// One adapter-initiated-event slot of a driver connection; a connection holds
// three, guarded by its "aif" mutex.
struct FAUX_AIF_CONTEXT {
    // Zeroes the flags and creates both semaphores (throws 489).
    FAUX_AIF_CONTEXT();
    ~FAUX_AIF_CONTEXT();
    FAUX_AIF_CONTEXT(const FAUX_AIF_CONTEXT&) = delete;
    FAUX_AIF_CONTEXT& operator=(const FAUX_AIF_CONTEXT&) = delete;

    uint32_t getAIFID() const { return aifId; }
    // "w" while a fetch that may wait runs, else "".
    const char* getWaitCode() const { return waitFlag != 0 ? "w" : ""; }
    void setAifThread() { owner = pthread_self(); }
    void setWaitOnIoctl(uint32_t wait) { waitFlag = wait; }

    uint32_t aifId;      // for traces only
    pthread_t owner;     // the thread that last opened or fetched
    uint32_t inUse = 0;
    uint32_t channelId = 0;  // written by the driver on open
    uint32_t busy = 0;       // a fetch is running
    uint32_t waitFlag = 0;
    uint32_t closing = 0;
    void* wakeSema = nullptr;  // closer -> waiting fetch
    void* ackSema = nullptr;   // fetch -> closer
};

// Results of a fetch.
enum : int {
    FAOS_AIF_FIB_COPIED = 0,
    FAOS_AIF_NONE = 1,
    FAOS_AIF_CLOSING = 2,
    FAOS_AIF_NO_SLOT = 3,
};

// A free slot with a channel opened in the driver, or null when all three are
// in use. Throws 66 on a remote context and 479 when the driver refuses.
void* faos_OpenAIFReceiveChannel(FSAAPI_CONTEXT* ctx);
// The next queued FIB into fib (512 bytes); see the results above. Never throws.
int faos_GetAIF(FSAAPI_CONTEXT* ctx, void* slot, int wait, _FIB* fib);
// Closes the slot's channel, waking a fetch that waits on it first; throws
// 479 after freeing the slot when the driver refuses.
void faos_CloseAIFReceiveChannel(FSAAPI_CONTEXT* ctx, void* slot);

#endif
