#ifndef VYN_COMMAND_VYN_OS_FAUX_SEMAPHORE_H
#define VYN_COMMAND_VYN_OS_FAUX_SEMAPHORE_H

#include "Command/Vyn/common/fa_types.h"

#include <semaphore.h>

#include <cstdint>

// A counting semaphore of the firmware interface: process-private, initial 0.
struct CSemaHandle {
    uint32_t id;
    sem_t sema;
    // The current value as a 16-bit number, for traces.
    uint16_t getSemaType();
};

// Throws 489.
void* faos_CreateSemaphore();
// 1; the limit is 0xFFFFFFFF ms when timeoutMs is -1 and 5000 ms for any other
// value; polls every 50 ms and throws 490 at the limit.
FSA_STATUS faos_WaitForSemaphore(void* s, int timeoutMs);
// 1; throws 491.
FSA_STATUS faos_SetSemaphore(void* s);
// 1; only traces, the count does not change.
FSA_STATUS faos_ResetSemaphore(void* s);
// 1; throws 492.
FSA_STATUS faos_DestroySemaphore(void* s);

#endif
