#ifndef VYN_LISTENER_AENCONFIG_H
#define VYN_LISTENER_AENCONFIG_H

#include <cstddef>

// Paths joined from the install directory fit this buffer, NUL included.
constexpr std::size_t AEN_PATH_SIZE = 256;
// Host, user and password buffers of getVMCIMOMDetails.
constexpr std::size_t AEN_CREDENTIAL_SIZE = 512;
// Line buffer of the settings file and the plug-in list, NUL included.
constexpr std::size_t AEN_LINE_SIZE = 1024;

extern const char* const AEN_CREDENTIAL_FILE;   // "VMCIMOMConfig.txt"

int vynInstallPath(char* dst, unsigned size);
int readAenConfigFile(unsigned* listenerPort);
int getVMCIMOMDetails(char* host, char* user, char* password, int* port, unsigned* listenerPort);
// XOR with the key "QJX", one key letter per four bytes, starting over for
// each field; scrambles and unscrambles alike. Always 1.
int decryption(char* buffer, char*& result, int length);

// Splits a line of the settings file or the plug-in list in place: the
// attribute ends at the first "=", the value loses one trailing line feed,
// nothing is trimmed. False for comments ("#") and lines without "=".
bool splitAenSetting(char* line, char*& attribute, char*& value);

#endif
