#include "listener/AenDaemon.h"

const char* const AEN_LOG_FILE = "vynlistend.log";

_AenConfigInfo gAenConfig;

bool AenIsStopping()
{
    const uint32_t status = gAenConfig.CurrentStatus.load();
    return status == AEN_STATUS_STOPPING || status == AEN_STATUS_STOPPING_2 || gAenConfig.StopRequested.load();
}
