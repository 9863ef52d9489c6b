#include "cimprov/FileProvider.h"

#include "cimprov/FileArea.h"
#include "cimprov/ProviderInstance.h"
#include "common/Base64.h"
#include "common/HostPath.h"
#include "listener/osal/FnLogger.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

TovMutexHandle FileProvider::m_MethodMutex = nullptr;

namespace {

const ProviderInstance kServed = {"VYN_FileProvider", "VYN_FileProviderInstance"};

constexpr int kCreateAttempts = 21;
// Firmware images are about 10.25 MiB; nothing the commands write comes
// near these.
constexpr CMPIUint32 kMaxSequencedFiles = 1000;
constexpr off_t kMaxReadSize = 64 * 1024 * 1024;
constexpr std::size_t kMaxAppendText = 32 * 1024 * 1024;
// "fileExtension" and "numberFormat" each fill a field of ten characters.
constexpr std::size_t kMaxFieldText = 9;
const char* const kDefaultNumberFormat = "%02d";

using Method = CmpiStatus (FileProvider::*)(const CmpiArgs&, CmpiArgs&, CmpiResult&);

struct MethodEntry {
    const char* name;
    Method member;
};

const MethodEntry kMethods[] = {
    {"createFile", &FileProvider::createFile},
    {"createSequencedFiles", &FileProvider::createSequencedFiles},
    {"appendFile", &FileProvider::appendFile},
    {"readFile", &FileProvider::readFile},
    {"deleteFile", &FileProvider::deleteFile},
    {"listDirectory", &FileProvider::listDirectory},
};

CmpiStatus failed() { return CmpiStatus(CMPI_RC_ERR_FAILED); }

CmpiStatus succeeded(CmpiResult& rslt) {
    returnMethodValue(rslt, 0);
    return CmpiStatus(CMPI_RC_OK);
}

std::string stringArg(const CmpiArgs& in, const char* name) {
    return static_cast<const char*>(in.getArg(name));
}

// A method's one text argument; false, after the trace `failure`, when it is
// missing or of another type.
bool soleStringArg(const CmpiArgs& in, const char* name, FnLogger& log, const char* failure,
                   std::string& value) {
    try {
        value = stringArg(in, name);
    } catch (const CmpiStatus&) {
        log.log("%s", failure);
        return false;
    }
    return true;
}

// A missing or null optional argument gives `fallback`; one of another type
// still throws.
std::string optionalStringArg(const CmpiArgs& in, const char* name, const char* fallback) {
    CmpiData value = in.getArg(name);
    if (value.isNotFound() || value.isNullValue()) return fallback;
    return static_cast<const char*>(value);
}

CmpiArray stringArray(const std::vector<std::string>& texts) {
    CmpiArray array(static_cast<CMPICount>(texts.size()), CMPI_chars);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        array.setElement(static_cast<CMPICount>(i), CmpiData(texts[i].c_str()));
    }
    return array;
}

// Names must not be guessable, and brokers call on many threads at once: the
// kernel's generator serves both. Without it, a per-thread generator seeded
// from the clock and the thread still keeps threads apart.
int nameNumber() {
    unsigned int value = 0;
    if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
        thread_local std::mt19937 fallback([] {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            int local = 0;
            return static_cast<std::mt19937::result_type>(
                now.tv_nsec ^ (now.tv_sec << 20) ^ reinterpret_cast<std::uintptr_t>(&local));
        }());
        value = static_cast<unsigned int>(fallback());
    }
    return static_cast<int>(value & 0x7fffffffU);
}

// Exclusive creation with mode 0700 under the host root: 0 or the errno.
// Descriptor 0 is a descriptor like any other.
int createExclusive(const std::string& name) {
    const std::string host = vynHostPath(name.c_str());
    int fd = open(host.c_str(), O_CREAT | O_EXCL | O_RDONLY | O_CLOEXEC, 0700);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

void removeCreated(std::vector<std::string>& names) {
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        unlink(vynHostPath(it->c_str()).c_str());
    }
    names.clear();
}

// Only a plain decimal conversion may reach the format: "%d", "%Nd" or
// "%0Nd" with N from 1 to 9.
bool isNumberFormat(const std::string& format) {
    if (format.size() < 2 || format.front() != '%' || format.back() != 'd') return false;
    std::string width = format.substr(1, format.size() - 2);
    if (width.empty()) return true;
    if (width.size() == 2 && width[0] == '0') width.erase(0, 1);
    return width.size() == 1 && width[0] >= '1' && width[0] <= '9';
}

bool isFileExtension(const std::string& extension) {
    return extension.size() <= kMaxFieldText && extension.find('/') == std::string::npos;
}

bool isBase64Alphabet(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '+' || c == '/';
}

std::size_t paddingOf(const std::string& text) {
    std::size_t pad = 0;
    while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=') ++pad;
    return pad;
}

// The decoder is lenient (it skips or zeroes what is not Base64 and writes
// the padding bytes), so only well-formed text reaches it: alphabet
// characters, and "=" only as the last one or two.
bool isBase64Text(const std::string& text) {
    const std::size_t body = text.size() - paddingOf(text);
    for (std::size_t i = 0; i < body; ++i) {
        if (!isBase64Alphabet(text[i])) return false;
    }
    return true;
}

// Moves all `size` bytes with `io` (read or write), resuming after short
// transfers and interruptions; false with errno set, EIO for a transfer of
// nothing.
template <class Byte, class Io>
bool transferAll(int fd, Byte* data, std::size_t size, Io io) {
    while (size > 0) {
        ssize_t n = io(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    return transferAll(fd, data, size, [](int f, const unsigned char* p, std::size_t n) {
        return write(f, p, n);
    });
}

bool readAll(int fd, unsigned char* data, std::size_t size) {
    return transferAll(fd, data, size,
                       [](int f, unsigned char* p, std::size_t n) { return read(f, p, n); });
}

// Opens a confined path for the operation and insists on a regular file,
// which also keeps a FIFO from holding a broker thread, with a single name:
// a second hard link in the shared temporary directory may name a file
// anywhere on its file system. -1 with errno set.
int openRegular(const ConfinedPath& path, int flags, unsigned mode, struct stat& st) {
    int fd = openConfined(path, flags, mode);
    if (fd < 0) return -1;
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else if (st.st_nlink > 1) {
        error = EMLINK;
    }
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool isRegularEntry(DIR* dir, const dirent* entry) {
    if (entry->d_type == DT_REG) return true;
    if (entry->d_type != DT_UNKNOWN) return false;
    // Some file systems do not report the type in the directory.
    struct stat st;
    return fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

FileProvider::FileProvider(const CmpiBroker& broker, const CmpiContext& ctx)
    : CmpiBaseMI(broker, ctx), ServedInstanceProvider(broker, ctx, kServed, "FileProvider") {
    FnLogger log("FileProvider::FileProvider");
}

FileProvider::~FileProvider() { FnLogger log("FileProvider::~FileProvider"); }

CmpiStatus FileProvider::initialize(const CmpiContext&) {
    FnLogger log("FileProvider::initialize");
    if (m_MethodMutex == nullptr) m_MethodMutex = TovMutexInit();
    return CmpiStatus(CMPI_RC_OK);
}

CmpiStatus FileProvider::cleanup(CmpiContext&, bool) {
    FnLogger log("FileProvider::cleanup");
    if (m_MethodMutex != nullptr) {
        TovMutexDelete(&m_MethodMutex);
        m_MethodMutex = nullptr;
    }
    return CmpiStatus(CMPI_RC_OK);
}

CmpiStatus FileProvider::invokeMethod(const CmpiContext&, CmpiResult& rslt,
                                      const CmpiObjectPath& cop, const char* method,
                                      const CmpiArgs& in, CmpiArgs& out) {
    FnLogger log("FileProvider::invokeMethod");
    CmpiStatus checked = checkInstancePath(cop, kServed, log);
    if (checked.rc() != CMPI_RC_OK) return checked;
    for (const MethodEntry& entry : kMethods) {
        if (method != nullptr && std::strcmp(method, entry.name) == 0) {
            return (this->*entry.member)(in, out, rslt);
        }
    }
    log.log("Invalid method");
    return CmpiStatus(CMPI_RC_ERR_METHOD_NOT_FOUND);
}

CmpiStatus FileProvider::createFile(const CmpiArgs&, CmpiArgs& out, CmpiResult& rslt) {
    FnLogger log("FileProvider::createFile");
    std::string name;
    int error = EEXIST;
    for (int attempt = 0; attempt < kCreateAttempts && error == EEXIST; ++attempt) {
        name = "/tmp/TOV" + std::to_string(nameNumber());
        log.log("Trying to create file %s", name.c_str());
        error = createExclusive(name);
    }
    if (error != 0) {
        log.log("File creation failed with code %x for file %s", static_cast<unsigned>(error),
                name.c_str());
        return failed();
    }
    out.setArg("fileName", CmpiData(name.c_str()));
    return succeeded(rslt);
}

CmpiStatus FileProvider::createSequencedFiles(const CmpiArgs& in, CmpiArgs& out,
                                              CmpiResult& rslt) {
    FnLogger log("FileProvider::createSequencedFiles");
    CMPIUint32 numFiles = 0;
    std::string extension;
    std::string numberFormat;
    try {
        numFiles = in.getArg("numFiles");
        extension = optionalStringArg(in, "fileExtension", "");
        numberFormat = optionalStringArg(in, "numberFormat", kDefaultNumberFormat);
    } catch (const CmpiStatus&) {
        log.log("Exception in retrieving argument");
        return failed();
    }
    if (numberFormat.empty()) numberFormat = kDefaultNumberFormat;
    if (numFiles > kMaxSequencedFiles) {
        log.log("Too many files requested: %u", numFiles);
        return failed();
    }
    if (!isFileExtension(extension)) {
        log.log("Invalid file extension %s", extension.c_str());
        return failed();
    }
    if (!isNumberFormat(numberFormat)) {
        log.log("Invalid number format %s", numberFormat.c_str());
        return failed();
    }
    char pattern[30];
    std::snprintf(pattern, sizeof pattern, "/tmp/TOV%%d%s%%s", numberFormat.c_str());

    std::vector<std::string> created;
    std::string failedName;
    int error = EEXIST;
    for (int attempt = 0; attempt < kCreateAttempts && error == EEXIST; ++attempt) {
        removeCreated(created);
        error = 0;
        const int number = nameNumber();
        for (CMPIUint32 i = 1; i <= numFiles && error == 0; ++i) {
            log.log("Format = %s, numberFormat = %s, fileExt = %s", pattern, numberFormat.c_str(),
                    extension.c_str());
            char name[64];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
            // The pattern holds nothing but the checked decimal conversion.
            std::snprintf(name, sizeof name, pattern, number, static_cast<int>(i),
                          extension.c_str());
#pragma GCC diagnostic pop
            log.log("Trying to create file %s", name);
            error = createExclusive(name);
            if (error == 0) {
                created.push_back(name);
            } else {
                failedName = name;
            }
        }
    }
    if (error != 0) {
        log.log("File creation failed with code %x for file %s", static_cast<unsigned>(error),
                failedName.c_str());
        // A failed request leaves no stray files behind.
        removeCreated(created);
        return failed();
    }
    out.setArg("fileNames", CmpiData(stringArray(created)));
    return succeeded(rslt);
}

CmpiStatus FileProvider::appendFile(const CmpiArgs& in, CmpiArgs&, CmpiResult& rslt) {
    FnLogger log("FileProvider::appendFile");
    std::string fileName;
    std::string dataString;
    CMPIUint32 dataSize = 0;
    try {
        fileName = stringArg(in, "fileName");
        dataString = stringArg(in, "dataString");
        dataSize = in.getArg("dataSize");
    } catch (const CmpiStatus&) {
        log.log("Exception in getting arguments");
        return failed();
    }
    unsigned int bufferSize = 0;
    if (getDataLength(dataString, bufferSize) != 0) {
        log.log("Failed to calculate buffer size");
        return failed();
    }
    // Padding bytes were never sent by the client, so they are never written.
    const std::uint64_t exactSize = static_cast<std::uint64_t>(bufferSize) - paddingOf(dataString);
    if (dataSize > exactSize) {
        log.log("Data size mismatch");
        return failed();
    }
    if (dataString.size() > kMaxAppendText) {
        log.log("Data string of %zu characters is too long", dataString.size());
        return failed();
    }
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[bufferSize + 1]);
    if (!buffer) {
        log.log("Insufficient memory !!!");
        return failed();
    }
    if (!isBase64Text(dataString) || b64Decode(dataString, buffer.get(), bufferSize) != 0) {
        log.log("Failed to decode dataString");
        return failed();
    }
    // A path outside the area is one that cannot be opened for appending.
    ConfinedPath path;
    int error = confinePath(fileName, FileArea::Temp, path);
    int fd = -1;
    struct stat st;
    if (error == 0) {
        fd = openRegular(path, O_WRONLY | O_APPEND | O_CREAT, 0666, st);
        if (fd < 0) error = errno;
    }
    if (fd >= 0) {
        if (!writeAll(fd, buffer.get(), dataSize)) error = errno;
        if (close(fd) != 0 && error == 0) error = errno;
    }
    if (error != 0) {
        log.log("File append failed with code %x for file %s", static_cast<unsigned>(error),
                fileName.c_str());
        return failed();
    }
    return succeeded(rslt);
}

CmpiStatus FileProvider::readFile(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt) {
    FnLogger log("FileProvider::readFile");
    std::string fileName;
    if (!soleStringArg(in, "fileName", log, "Exception in getting arguments", fileName))
        return failed();
    // A path outside the areas is refused as one that cannot be opened; one
    // whose parent does not resolve is one that cannot be looked at.
    ConfinedPath path;
    if (int error = confinePath(fileName, FileArea::TempOrLogs, path)) {
        if (error == EACCES) {
            log.log("Failed to open file %s code %x", fileName.c_str(),
                    static_cast<unsigned>(error));
        } else {
            log.log("Failed to stat file %s code %x", fileName.c_str(),
                    static_cast<unsigned>(error));
        }
        return failed();
    }
    struct stat st;
    if (statConfined(path, st) != 0) {
        log.log("Failed to stat file %s code %x", fileName.c_str(), static_cast<unsigned>(errno));
        return failed();
    }
    // The size sent is that of the opened file, which the checks below see.
    int fd = openRegular(path, O_RDONLY, 0, st);
    if (fd < 0) {
        log.log("Failed to open file %s code %x", fileName.c_str(), static_cast<unsigned>(errno));
        return failed();
    }
    if (st.st_size > kMaxReadSize) {
        log.log("File %s of %lld bytes is too large", fileName.c_str(),
                static_cast<long long>(st.st_size));
        close(fd);
        return failed();
    }
    const unsigned int size = static_cast<unsigned int>(st.st_size);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size + 1]);
    if (!buffer) {
        log.log("Memory allocation failed");
        close(fd);
        return failed();
    }
    const bool complete = readAll(fd, buffer.get(), size);
    const int error = errno;
    close(fd);
    if (!complete) {
        log.log("Failed to read file %s code %x", fileName.c_str(), static_cast<unsigned>(error));
        return failed();
    }
    std::string text;
    if (b64Encode(buffer.get(), size, text) != 0) {
        log.log("Failed to encode binary data");
        return failed();
    }
    out.setArg("dataString", CmpiData(text.c_str()));
    out.setArg("dataSize", CmpiData(static_cast<CMPIUint32>(size)));
    return succeeded(rslt);
}

CmpiStatus FileProvider::deleteFile(const CmpiArgs& in, CmpiArgs&, CmpiResult& rslt) {
    FnLogger log("FileProvider::deleteFile");
    std::string fileName;
    if (!soleStringArg(in, "fileName", log, "Exception in getting arg 'fileName'", fileName))
        return failed();
    log.log("Trying to delete file %s", fileName.c_str());
    ConfinedPath path;
    int error = confinePath(fileName, FileArea::Temp, path);
    struct stat st;
    if (error == 0 && path.isAreaRoot) error = EACCES;
    if (error == 0 && statConfined(path, st) != 0) error = errno;
    // Only files and directories the clients made; never a link or a node.
    if (error == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) error = EACCES;
    if (error == 0 && removeConfined(path, S_ISDIR(st.st_mode)) != 0) error = errno;
    if (error != 0) {
        log.log("File deletion failed with code %x for file %s", static_cast<unsigned>(error),
                fileName.c_str());
        return failed();
    }
    return succeeded(rslt);
}

CmpiStatus FileProvider::listDirectory(const CmpiArgs& in, CmpiArgs& out, CmpiResult& rslt) {
    FnLogger log("FileProvider::listDirectory");
    std::string dirName;
    if (!soleStringArg(in, "dirName", log, "Exception in getting arguments", dirName))
        return failed();
    log.log("dirName= %s", dirName.c_str());
    ConfinedPath path;
    int error = confinePath(dirName, FileArea::TempOrLogs, path);
    struct stat st;
    if (error == 0 && statConfined(path, st) == 0 && S_ISLNK(st.st_mode)) error = EACCES;
    if (error == EACCES) {
        log.log("Directory %s is outside the permitted directories", dirName.c_str());
        return failed();
    }
    int fd = error == 0 ? openConfined(path, O_RDONLY | O_DIRECTORY) : -1;
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        if (fd >= 0) close(fd);
        return succeeded(rslt);
    }
    const std::string prefix =
        !dirName.empty() && dirName.back() == '/' ? dirName : dirName + "/";
    std::vector<std::string> children;
    while (const dirent* entry = readdir(dir)) {
        if (isRegularEntry(dir, entry)) children.push_back(prefix + entry->d_name);
    }
    closedir(dir);
    out.setArg("children", CmpiData(stringArray(children)));
    return succeeded(rslt);
}
