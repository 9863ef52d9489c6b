#ifndef VYN_COMMAND_VYN_COMMON_FA_INTERN_CTR_H
#define VYN_COMMAND_VYN_COMMON_FA_INTERN_CTR_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// The standard container identifier: {container number, unique id, the
// adapter identity word of its context}.
struct tag_FSA_CONTAINER {
    uint32_t number;
    uint32_t uniqueId;
    uint32_t adapterWord;
};
static_assert(sizeof(tag_FSA_CONTAINER) == 12, "container identifier is 12 bytes");
typedef tag_FSA_CONTAINER FSA_CONTAINER;

// The context's partition-layout cache: a buffer that lives for one exported
// call at most, and its mutex.
class FSA_PARTITION_LAYOUT_CACHE {
public:
    // No buffer; creates the mutex (throws 485).
    FSA_PARTITION_LAYOUT_CACHE();
    // Frees the buffer, then destroys the mutex.
    ~FSA_PARTITION_LAYOUT_CACHE();
    FSA_PARTITION_LAYOUT_CACHE(const FSA_PARTITION_LAYOUT_CACHE&) = delete;
    FSA_PARTITION_LAYOUT_CACHE& operator=(const FSA_PARTITION_LAYOUT_CACHE&) = delete;

    void TakeMutex();
    void ReleaseMutex();
    // Under the mutex: frees the buffer and forgets it.
    void FreePartitionLayoutCache();

    void* buffer = nullptr;  // malloc'ed

private:
    void* mutex_ = nullptr;
};

// Identifier of a container number on this context: word 0 the number, word
// 2 the context's adapter identity word.
void CT_GetStandardID(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* out, uint32_t container);
// The container number held in an identifier.
uint32_t CT_GetInternalID(const tag_FSA_CONTAINER* container);

// Container operations the OS layer calls; they throw 31 until the container
// layer provides them.
void CT_Split(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2);
void CT_SplitTwo(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2);
void CT_MakeSnapshot(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t container2, uint32_t a, uint32_t b,
                     uint32_t c, uint32_t zero, uint32_t last);

#endif
