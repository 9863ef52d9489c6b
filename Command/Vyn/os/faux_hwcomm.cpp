#include "Command/Vyn/os/faux_hwcomm.h"

#include "Command/Vyn/os/faux_mutex.h"

FAUX_COMM_CONTEXT::FAUX_COMM_CONTEXT()
{
    char name[] = "aif";
    aifMutex = faos_CreateMutex(name);
}

FAUX_COMM_CONTEXT::~FAUX_COMM_CONTEXT()
{
    try {
        faos_DestroyMutex(aifMutex);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the connection goes anyway.
    }
}
