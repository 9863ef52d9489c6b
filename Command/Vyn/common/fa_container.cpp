#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"

// The container operation export. Not available yet: it answers 31.

extern "C" FSA_STATUS FsaContainer(void*, const tag_FSA_CONTAINER*, uint32_t, void*) { return FSA_STS_NOT_SUPPORTED; }
