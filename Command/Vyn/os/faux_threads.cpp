#include "Command/Vyn/os/faux_threads.h"

#include "Command/Vyn/common/fa_types.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"

#include <cstring>

pthread_t faos_CreateThread(void* (*routine)(void*), void* arg)
{
    pthread_attr_t attr;
    pthread_t thread{};
    int rc = pthread_attr_init(&attr);
    if (rc == 0) {
        rc = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        if (rc == 0)
            rc = pthread_create(&thread, &attr, routine, arg);
        pthread_attr_destroy(&attr);
    }
    if (rc != 0) {
        FsaUxDbgFilePrintf(0, FAUX_DBG_THREAD, 1, "-- CreateThread: [ERR:%d:%s]: throw FSA_STS_UX_THREAD_CREATE\n", rc,
                           std::strerror(rc));
        throw static_cast<FSA_STATUS>(FSA_STS_UX_THREAD_CREATE);
    }
    return thread;
}

void faos_SwitchThread() { hostIo().sleepMs(50); }
