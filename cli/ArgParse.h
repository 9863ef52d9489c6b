#ifndef VYN_CLI_ARGPARSE_H
#define VYN_CLI_ARGPARSE_H

#include <cstddef>
#include <string>

class Adapter;

// What the number parsers and checkNameRange answer for bad input; every
// command compares against it.
constexpr int CLI_NAN = static_cast<int>(0x80000000u);

// Decimal digits only; "" gives 0, a value past the largest int CLI_NAN.
int ascii2int(const char* text);
// Hexadecimal digits only, no "0x" prefix; "" gives 0.
int asciiHex2int(const char* text);
int parseHexChar(char c);
// 1 when every character is printable ASCII, else CLI_NAN.
int checkNameRange(const char* name);
int isLegal(char c);

void toLower(char* text);
void toUpper(char* text);
// Strips blanks, tabs and line feeds from both ends in place.
void trim(char* text);
// Past the leading blanks (not tabs).
char* hideWhitespace(char* text);

// Reads a device as "channel,device" in one word or as two words. Returns the
// number of words used (1 or 2), -1 when a part is not a number, -2 when the
// two-word form lacks its second word. The words are left as they are.
int getnextdevice(int wordsLeft, char** words, unsigned& channel, unsigned& device);

void u64ToString(unsigned long long value, std::string& out);

// Copies `source` up to the first occurrence of the delimiter's first
// character into `target` (of `targetSize` bytes) and terminates it. Returns 1,
// or 0 when the token was cut to fit.
int strtoken(const char* source, const char* delimiter, char* target, std::size_t targetSize);

// Returns the low 16 bits of a device id and stores the high 16 bits.
int devID2TL(unsigned deviceID, int* upper);

constexpr std::size_t REPLACE_STR_BUFFER_SIZE = 4096;
// Replaces the first `find` by `replacement`. Without a match returns `text`
// itself; otherwise a static buffer, overwritten by the next call, whose text
// is cut to REPLACE_STR_BUFFER_SIZE - 1 characters.
char* replace_str(char* text, const char* find, const char* replacement);

constexpr std::size_t APPEND_STR_WIDTH = 49;
// Pads `text` in place with '.' to APPEND_STR_WIDTH characters; the buffer
// must hold APPEND_STR_WIDTH + 1 bytes.
char* append_str(char* text);

// Whether a logical drive of this EnumRaidLevel survives a drive failure;
// for a RAID volume, `value` is the drive's parity space.
int hasFaultTolerance(int raidLevel, unsigned long long value);
int isSASAdapter(Adapter* adapter);

#endif
