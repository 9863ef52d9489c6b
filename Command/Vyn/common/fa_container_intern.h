#ifndef VYN_COMMAND_VYN_COMMON_FA_CONTAINER_INTERN_H
#define VYN_COMMAND_VYN_COMMON_FA_CONTAINER_INTERN_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;
struct tag_FSA_CONTAINER;

// Internal steps shared by the container exports. Routines without a result
// throw their failure as FSA_STATUS.

// Limits of the controller from the general information: members per
// container, and the container numbers the host can reach (numbers from this
// one up are never exposed).
uint32_t memberLimit(const FSAAPI_CONTEXT* ctx);
uint32_t exposureLimit(const FSAAPI_CONTEXT* ctx);

// Every source must exist and be free of multilevel use, snapshots and locks
// (and, for a volume, of running tasks): 1, or 421.
FSA_STATUS VerifySourceContainers(FSAAPI_CONTEXT* ctx, uint32_t type, uint32_t n, const tag_FSA_CONTAINER* sources);

// After a change of the configuration: a configuration model the session
// already read is read again, so that later queries of the session see the
// change. Failures leave the old model; nothing is thrown.
void RefreshConfigurationModel(FSAAPI_CONTEXT* ctx);

// The work of FsaCreateSecondaryContainer once its checks have passed.
FSA_STATUS FinishCreateSecondaryContainer(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* out, uint32_t type,
                                          const char* name, uint32_t n, const tag_FSA_CONTAINER* sources,
                                          uint32_t chunkSize, int noBuild);

// Writes the member containers of `container`, then `container` itself, into
// `list` (at most `room` entries); returns how many it wrote.
uint32_t GetContainerTree(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* list, uint32_t room);

// Stops the library's background tasks on the container and everything
// related to it before the container goes away.
void EndAllApiTasksOnContainer(FSAAPI_CONTEXT* ctx, uint32_t container, int stop);

// Clears the partitions a phantom container still holds: 1 when something was
// cleared, 11 when nothing was.
FSA_STATUS deletePhantomContainerPartitions(void* handle, uint32_t container);

#endif
