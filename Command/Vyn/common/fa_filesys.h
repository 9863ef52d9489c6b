#ifndef VYN_COMMAND_VYN_COMMON_FA_FILESYS_H
#define VYN_COMMAND_VYN_COMMON_FA_FILESYS_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

// NVRAM and battery, firmware image files and flash update. Not available
// yet: each answers 31.
extern "C" {
FSA_STATUS FsaNvram(void* handle, uint32_t operation, uint32_t* record);
// `fileName` names any file of an image set, or its base name.
FSA_STATUS FsaCreateUFIfromFile(void* handle, const char* fileName, uint8_t* buffer);
// Mode bit 0 writes the images before verifying them; 0 only compares.
FSA_STATUS FsaUpdateFlashImages(const uint8_t* buffer, uint32_t mode, void* handle);
}

#endif
