#ifndef VYN_COMMAND_VYN_COMMON_FA_FIB_H
#define VYN_COMMAND_VYN_COMMON_FA_FIB_H

#include <cstdint>
#include <cstring>

#include "Command/Vyn/common/fa_bytes.h"

// Firmware interface block: a 32-byte header and the payload, 512 bytes in
// all (2048 for a large FIB), answered in place.
struct _FIB_HEADER {
    uint32_t XferState;
    uint16_t Command;
    uint8_t StructType;
    uint8_t Flags;
    uint16_t Size;        // payload size
    uint16_t SenderSize;  // size of the block sent
    uint32_t SenderFibAddress;
    uint32_t ReceiverFibAddress;
    uint32_t SenderData;
    uint32_t Reserved[2];
};
static_assert(sizeof(_FIB_HEADER) == 32, "FIB header is 32 bytes");

struct _FIB {
    _FIB_HEADER Header;
    uint8_t data[480];
};
static_assert(sizeof(_FIB) == 512, "a FIB is 512 bytes");

// Zeroes a request block of `fibBytes` and writes the header that the
// library's own requests carry: XferState 33, StructType 1 and the payload
// size. The block must be aligned for a _FIB.
inline void faBuildFib(uint8_t* fib, unsigned fibBytes, uint16_t command, uint16_t size)
{
    std::memset(fib, 0, fibBytes);
    faPutLe32(fib + 0, 33);
    faPutLe16(fib + 4, command);
    fib[6] = 1;
    faPutLe16(fib + 8, size);
}

inline _FIB* faAsFib(uint8_t* fib) { return reinterpret_cast<_FIB*>(fib); }

#endif
