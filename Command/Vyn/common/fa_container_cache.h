#ifndef VYN_COMMAND_VYN_COMMON_FA_CONTAINER_CACHE_H
#define VYN_COMMAND_VYN_COMMON_FA_CONTAINER_CACHE_H

#include <cstdint>

// The context's container cache: a word, a heap buffer and its mutex. The
// container commands fill it.
struct FSA_CONTAINER_CACHE {
    // Word 0, no buffer; creates the mutex (throws 485).
    FSA_CONTAINER_CACHE();
    // Frees the buffer and destroys the mutex.
    ~FSA_CONTAINER_CACHE();
    FSA_CONTAINER_CACHE(const FSA_CONTAINER_CACHE&) = delete;
    FSA_CONTAINER_CACHE& operator=(const FSA_CONTAINER_CACHE&) = delete;

    uint32_t count = 0;
    void* buffer = nullptr;  // malloc'ed
    void* mutex = nullptr;
};

#endif
