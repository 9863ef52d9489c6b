#ifndef VYN_COMMAND_VYN_COMMON_FA_LOWLEVEL_H
#define VYN_COMMAND_VYN_COMMON_FA_LOWLEVEL_H

#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

class FSAAPI_CONTEXT;

// The large FIB: the same header with 2016 payload bytes.
struct _LARGE_FIB {
    _FIB_HEADER Header;
    uint8_t data[2016];
};
static_assert(sizeof(_LARGE_FIB) == 2048, "a large FIB is 2048 bytes");

enum : uint32_t {
    FSA_FIB_SIZE = 512,
    FSA_LARGE_FIB_SIZE = 2048,
    FSA_FIB_XFER_BUILT = 0x21,
};

// FIB commands of the transport.
enum : uint16_t {
    FIB_CMD_IS_ADAPTER_PAUSED = 704,
    FIB_CMD_LARGE_TRANSFER = 907,
};

// Supported-option bit of the large transfer.
constexpr uint32_t FSA_SUPPORTED_LARGE_TRANSFER = 0x20000;

// The one funnel of every FIB: the OS-layer send of size bytes (512 or 2048)
// inside a FIB trace scope. A failed send is thrown when throwOnError is set.
FSA_STATUS FsaInternalSendReceiveFib(FSAAPI_CONTEXT* context, _FIB* fib, int throwOnError, unsigned int size);

// Raw pass-through of a caller-built 512-byte FIB. Not noexcept: a failed
// send leaves it as an FSA_STATUS exception after its guards are released.
extern "C" FSA_STATUS FsaSendReceiveFib(void* adapterHandle, _FIB* fib);

// Chunked transfer of length bytes with FIB 907; the last chunk's reply data
// (at most *replyLength bytes) go to reply. 31 without the option bit, 7 for a
// refused, early-completed or empty transfer, else the send status.
FSA_STATUS FsaInternalSendReceiveFibWithLargeTransfer(FSAAPI_CONTEXT* context, unsigned int operation, void* data,
                                                      unsigned int length, void* reply, unsigned int* replyLength);

// Reflected CRC-32 (polynomial 0xEDB88320) over first..last, both included,
// from seed and without final inversion.
uint32_t FsaInternalComputeCrc32(const unsigned char* first, const unsigned char* last, uint32_t seed);

// Not available on this operating system: 514.
FSA_STATUS FsaInternalDeviceDriverCall();

// The next adapter-initiated FIB of the event thread, into fib.
FSA_STATUS InternalWaitAndGetAsyncFib(FSAAPI_CONTEXT* context, _FIB* fib);

// First-in first-out queue of received adapter-initiated FIBs, with repeated
// events folded into the one already queued.
class FSA_ASYNC_FIB_CACHE {
public:
    // Empty; creates the mutex (throws 485).
    FSA_ASYNC_FIB_CACHE();
    // Frees every node under the mutex, then destroys it.
    ~FSA_ASYNC_FIB_CACHE();
    FSA_ASYNC_FIB_CACHE(const FSA_ASYNC_FIB_CACHE&) = delete;
    FSA_ASYNC_FIB_CACHE& operator=(const FSA_ASYNC_FIB_CACHE&) = delete;

    // Queues a FIB; a batch of job reports (payload word 0 = 2) is queued one
    // report per FIB.
    void PushOnList(const _FIB* fib);
    // Queues one FIB unless it repeats a queued one. The mutex must be held.
    void PushSingleElement(const _FIB* fib);
    // 1 and the oldest FIB in out, or 0 when the queue is empty.
    int GetFirstAsyncFib(_FIB* out);

private:
    struct Node {
        _FIB fib;
        Node* next;
    };
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    void* mutex_ = nullptr;
};

#endif
