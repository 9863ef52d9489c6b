#ifndef VYN_COMMON_BASE64_H
#define VYN_COMMON_BASE64_H

#include <string>

// Base64 with the standard alphabet and "=" padding, without line breaks;
// file contents travel in text parameters this way.

// One group of len (1 to 3) bytes as four characters, "=" past the input.
void encodeBlock(unsigned char* in, char* out, int len);

// Four 6-bit values as three bytes.
void decodeBlock(unsigned char* in, unsigned char* out);

// Appends the text of len bytes to out. Returns 0, or 2 when data is null.
int b64Encode(unsigned char const* data, unsigned int const& len, std::string& out);

// The byte count that b64Decode writes for text (padding bytes included).
// Returns 0, or 1 when the text's length is not a multiple of 4 or the count
// does not fit in len; len is then unchanged.
int getDataLength(std::string const& text, unsigned int& len);

// Decodes text into out, which holds size bytes. Returns 0; 2 when out is
// null; 1 when the text's length is not a multiple of 4 or it decodes to more
// than size bytes, and then nothing is written.
int b64Decode(std::string const& text, unsigned char* out, unsigned int size);

#endif
