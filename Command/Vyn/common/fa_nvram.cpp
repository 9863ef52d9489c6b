#include "Command/Vyn/common/fa_filesys.h"

// Not available yet: answers 31.

extern "C" FSA_STATUS FsaNvram(void*, uint32_t, uint32_t*) { return FSA_STS_NOT_SUPPORTED; }
