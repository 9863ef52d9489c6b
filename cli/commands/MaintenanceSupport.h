#ifndef VYN_CLI_COMMANDS_MAINTENANCESUPPORT_H
#define VYN_CLI_COMMANDS_MAINTENANCESUPPORT_H

#include <cstdint>

class Buffer;
class PhysicalDevice;
class StorLibPlugin;

// What the pass-through and firmware commands need beside the shared
// command helpers.

// Any device (drive, enclosure, other) at channel and device id below the
// controller; null when missing.
PhysicalDevice* findDevice(StorLibPlugin* lib, int adapterNumber, unsigned long channel, unsigned long device);

// A decimal word as an unsigned 64-bit value that saturates instead of
// wrapping; false for an empty word or one with other characters.
bool readDecimalU64(const char* word, std::uint64_t& value);

// The bytes as offset, four bytes in hex and their printable characters per
// line, through the captured output.
void printBufferDump(const Buffer& buffer);

#endif
