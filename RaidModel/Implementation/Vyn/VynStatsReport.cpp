#include "RaidModel/Implementation/Vyn/VynAdapter.h"

// Not available yet: both answer as the model's unsupported operations do.

Ret VynAdapter::getAdapterStatsLog(VStream*, VStream*, int, unsigned long*, unsigned long*) { return Ret(-1); }

Ret VynAdapter::getAdapterCacheLog(VStream*, unsigned long*, unsigned int, EnumLogTypeRequest) { return Ret(-1); }
