#include "listener/AenConfig.h"

#include "listener/AenDaemon.h"
#include "listener/osal/FnLogger.h"
#include "listener/osal/Tov.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

const char* const AEN_CREDENTIAL_FILE = "VMCIMOMConfig.txt";

namespace {

constexpr const char* kSettingsVariable = "CONFIG_FILE_SMTP";
constexpr const char* kListenerPortAttribute = "EVENT_LISTENER_PORT";
constexpr std::size_t kPortTextSize = 8;
constexpr std::size_t kCredentialFileMax = 255;
constexpr char kScrambleKey[] = "QJX";

// Joins directory and name into `out`; false when the result does not fit.
bool joinPath(char* out, std::size_t outSize, const char* dir, const char* name)
{
    const std::size_t a = std::strlen(dir);
    const std::size_t b = std::strlen(name);
    if (a + b + 1 > outSize)
        return false;
    std::memcpy(out, dir, a);
    std::memcpy(out + a, name, b + 1);
    return true;
}

uint32_t readLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads the next (length, bytes) field; false when the length field or the
// bytes it announces run past the data, or the text would not fit `capacity`
// bytes with its NUL.
bool takeField(std::vector<unsigned char>& data, std::size_t& offset, std::size_t capacity, char* out)
{
    if (data.size() - offset < 4)
        return false;
    const uint32_t length = readLe32(data.data() + offset);
    offset += 4;
    if (length > data.size() - offset || length + 1 > capacity)
        return false;
    char* field = reinterpret_cast<char*>(data.data() + offset);
    char* plain = nullptr;
    decryption(field, plain, static_cast<int>(length));
    std::memcpy(out, plain, length);
    out[length] = '\0';
    offset += length;
    return true;
}

}  // namespace

bool splitAenSetting(char* line, char*& attribute, char*& value)
{
    if (line[0] == '#')
        return false;
    char* equals = std::strchr(line, '=');
    if (equals == nullptr)
        return false;
    *equals = '\0';
    attribute = line;
    value = equals + 1;
    const std::size_t n = std::strlen(value);
    if (n > 0 && value[n - 1] == '\n')
        value[n - 1] = '\0';
    return true;
}

int decryption(char* buffer, char*& result, int length)
{
    std::size_t key = 0;
    for (int i = 0; i < length; ++i) {
        if (i > 0 && i % 4 == 0) {
            ++key;
            if (kScrambleKey[key] == '\0')
                key = 0;
        }
        buffer[i] = static_cast<char>(buffer[i] ^ kScrambleKey[key]);
    }
    result = buffer;
    return 1;
}

int vynInstallPath(char* dst, unsigned size)
{
    FnLogger logger("vynInstallPath", AEN_LOG_FILE);
    if (TovGetenv("VYNCONF_PATH", size, dst) != TOV_SUCCESS) {
        logger.log("VYNCONF_PATH is not set");
        return 1;
    }
    return 0;
}

int readAenConfigFile(unsigned* listenerPort)
{
    FnLogger logger("readAenConfigFile", AEN_LOG_FILE);
    char dir[AEN_PATH_SIZE];
    if (vynInstallPath(dir, sizeof dir) != 0) {
        logger.log("readAenConfigFile::Logger config file string size exceeding");
        return 1;
    }
    char name[AEN_PATH_SIZE];
    if (TovGetenv(kSettingsVariable, sizeof name, name) != TOV_SUCCESS) {
        logger.log("smtp config file name not defined");
        return 1;
    }
    char path[AEN_PATH_SIZE];
    if (!joinPath(path, sizeof path, dir, name)) {
        logger.log("readAenConfigFile::Logger config file string size exceeding");
        return 1;
    }
    logger.log("Using smtp config file %s", path);
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        logger.log("readAenConfigFile:: Opening config File (%s) failed", path);
        return 1;
    }
    bool found = false;
    char line[AEN_LINE_SIZE];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        char* attribute = nullptr;
        char* value = nullptr;
        if (!splitAenSetting(line, attribute, value))
            continue;
        logger.log("readAenConfigFile::DEBUG : Attribute = %s Value = %s", attribute, value);
        if (std::strcmp(attribute, kListenerPortAttribute) == 0) {
            char digits[kPortTextSize] = {};
            std::strncpy(digits, value, kPortTextSize - 1);
            if (listenerPort != nullptr)
                *listenerPort = static_cast<unsigned>(std::strtoul(digits, nullptr, 10));
            found = true;
        }
    }
    logger.log("readAenConfigFile:: WARNING: There could be EOF or error in reading Config file.");
    std::fclose(file);
    if (!found) {
        logger.log("readAenConfigFile::ERROR_: AenDaemon listening port  not found!! Can not continue.");
        return 1;
    }
    return 0;
}

int getVMCIMOMDetails(char* host, char* user, char* password, int* port, unsigned* listenerPort)
{
    FnLogger logger("getVMCIMOMDetails", AEN_LOG_FILE);
    logger.log("Reading configuration file %s", AEN_CREDENTIAL_FILE);

    char dir[AEN_PATH_SIZE];
    char path[AEN_PATH_SIZE];
    if (vynInstallPath(dir, sizeof dir) != 0)
        dir[0] = '\0';
    if (!joinPath(path, sizeof path, dir, AEN_CREDENTIAL_FILE)) {
        logger.log("VM config file not found.");
        return 1;
    }

    // The daemon runs with umask 0: the credentials must not become readable
    // by others when the file is created here.
    const int fd = ::open(path, O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    gAenConfig.ConfigFileFd = fd;
    if (fd < 0)
        logger.log("Could not open file %s.", path);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        logger.log("flock failed for the config file %s.", path);
    logger.log("Opened the file %s for reading and locked it.", path);

    std::ifstream in(path, std::ios::binary);
    if (!in) {
        logger.log("VM config file not found.");
        return 1;
    }
    std::vector<unsigned char> data;
    data.reserve(kCredentialFileMax + 1);
    char byte;
    while (data.size() <= kCredentialFileMax && in.get(byte))
        data.push_back(static_cast<unsigned char>(byte));

    char portText[kPortTextSize];
    std::size_t offset = 0;
    const bool wellFormed = data.size() <= kCredentialFileMax &&
                            takeField(data, offset, AEN_CREDENTIAL_SIZE, host) &&
                            takeField(data, offset, sizeof portText, portText) &&
                            takeField(data, offset, AEN_CREDENTIAL_SIZE, user) &&
                            takeField(data, offset, AEN_CREDENTIAL_SIZE, password);
    if (!wellFormed) {
        logger.log("VM config file not found.");
        return 1;
    }
    *port = std::atoi(portText);

    if (readAenConfigFile(listenerPort) != 0) {
        logger.log("Not able to get the listener port number.");
        return 1;
    }
    logger.log("ESX credentials:: %s : %d : %s : %s", host, *port, user, "****");
    logger.log("AenDaemon listner port number = %d", *listenerPort);
    return 0;
}
