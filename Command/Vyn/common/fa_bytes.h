#ifndef VYN_COMMAND_VYN_COMMON_FA_BYTES_H
#define VYN_COMMAND_VYN_COMMON_FA_BYTES_H

#include <cstdint>

// Little-endian fields of firmware records, read and written byte by byte.
inline uint16_t faGetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t faGetLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void faPutLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void faPutLe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint64_t faGetLe64(const uint8_t* p)
{
    return static_cast<uint64_t>(faGetLe32(p)) | static_cast<uint64_t>(faGetLe32(p + 4)) << 32;
}

inline void faPutLe64(uint8_t* p, uint64_t v)
{
    faPutLe32(p, static_cast<uint32_t>(v));
    faPutLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

#endif
