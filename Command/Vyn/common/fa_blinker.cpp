#include "Command/Vyn/common/fa_blinker.h"

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/faux_mutex.h"

FSA_BLINK_MANAGER::FSA_BLINK_MANAGER() { mutex_ = faos_CreateMutex(nullptr); }

FSA_BLINK_MANAGER::~FSA_BLINK_MANAGER()
{
    try {
        faos_DestroyMutex(mutex_);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the manager goes anyway.
    }
}

uint32_t FSA_BLINK_MANAGER::BlinkDrive(FSAAPI_CONTEXT*, const FSA_STORAGE_DEVICE*, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}
