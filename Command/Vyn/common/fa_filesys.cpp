#include "Command/Vyn/common/fa_filesys.h"

// Not available yet: each export answers 31.

extern "C" FSA_STATUS FsaCreateUFIfromFile(void*, const char*, uint8_t*) { return FSA_STS_NOT_SUPPORTED; }

extern "C" FSA_STATUS FsaUpdateFlashImages(const uint8_t*, uint32_t, void*) { return FSA_STS_NOT_SUPPORTED; }
