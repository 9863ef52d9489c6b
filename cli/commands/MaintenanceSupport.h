#ifndef VYN_CLI_COMMANDS_MAINTENANCESUPPORT_H
#define VYN_CLI_COMMANDS_MAINTENANCESUPPORT_H

#include <cstdint>

class Adapter;
class Buffer;
class PhysicalDevice;
class StorLibPlugin;

// Lookups and outputs of the firmware, pass-through, backup and archive
// commands.

// The controller at the 0-based position; null when the library, its tree
// or the controller is missing.
Adapter* findController(StorLibPlugin* lib, int adapterNumber);
// Any device (drive, enclosure, other) at channel and device id below the
// controller; null when missing.
PhysicalDevice* findDevice(StorLibPlugin* lib, int adapterNumber, unsigned long channel, unsigned long device);

// The 0-based controller of a 1-based word; false for a word that is not a
// number.
bool readControllerNumber(const char* word, int& adapterNumber);

// A decimal word as an unsigned 64-bit value that saturates instead of
// wrapping; false for an empty word or one with other characters.
bool readDecimalU64(const char* word, std::uint64_t& value);

// "%s: EXECUTING\n" and "%s: arguments valid\n" on standard error in debug
// mode.
void traceExecuting(const char* keyword);
void traceArgumentsValid(const char* keyword);

// The bytes as offset, four bytes in hex and their printable characters per
// line, through the captured output.
void printBufferDump(const Buffer& buffer);

#endif
