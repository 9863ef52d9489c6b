#ifndef VYN_COMMON_VYNALLOC_H
#define VYN_COMMON_VYNALLOC_H

#include <cstddef>

// Every heap block of the modules that link vyn_alloc starts with a header
// naming the function that frees it, so that a block handed across a module
// boundary is released by the module that made it, whichever delete runs.
// The header is 16 bytes wide to keep malloc's alignment for the caller.
constexpr std::size_t VYN_ALLOC_HEADER_SIZE = 16;

using VynBlockDeleter = void (*)(void* block);

// Frees a block whose header starts at `block` (the address malloc returned).
void dllSafeDeleteStorVyn(void* block);

#endif
