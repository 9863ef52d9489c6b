#ifndef VYN_PLATFORM_HOSTSIM_BYTES_H
#define VYN_PLATFORM_HOSTSIM_BYTES_H

#include <cstddef>
#include <cstdint>

// The simulator's own little-endian accessors: it never shares record layouts
// with the firmware interface, so a wrong offset on either side fails a test.
namespace vyn::hostsim {

inline uint16_t getLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t getLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void putLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void putLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void putBe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// FIB header, as the driver sees it.
constexpr size_t kFibHeaderSize = 32;
constexpr size_t kFibXferState = 0;   // u32
constexpr size_t kFibCommand = 4;     // u16
constexpr size_t kFibStructType = 6;  // u8
constexpr size_t kFibSize = 8;        // u16, payload size
constexpr size_t kFibSenderSize = 10; // u16, size of the block sent
constexpr size_t kFibSmall = 512;
constexpr size_t kFibLarge = 2048;

}  // namespace vyn::hostsim

#endif
