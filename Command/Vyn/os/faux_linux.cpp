#include "Command/Vyn/os/faux_linux.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_enum.h"
#include "Command/Vyn/common/fa_wchar.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_lockfile.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_oem_ulb.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int kMaxScsiHosts = 128;
constexpr int kProcHostSearch = 16;
constexpr size_t kLineBytes = 80;
// "/dev/" and a three-letter prefix come before the index.
constexpr size_t kIndexOffset = 8;
constexpr mode_t kNodeMode = 0x2000;  // character device, no permission bits

// FIB header and the enumeration FIBs, as the driver takes them.
constexpr size_t kFibBytes = 512;
constexpr size_t kFibPayload = 32;
constexpr uint16_t kCmdAdapterInfo = 703;
constexpr uint16_t kCmdSupplementInfo = 706;
constexpr uint16_t kCmdMfgSerial = 906;
constexpr size_t kAdapterInfoZeroed = 88;
constexpr size_t kSupplementZeroed = 480;
constexpr size_t kAiSerial0 = 68;
constexpr size_t kAiSerial1 = 72;
constexpr size_t kAiOptions = 80;
constexpr uint32_t kOptionSupplement = 0x10000;
constexpr size_t kSupFeatures = 36;
constexpr uint32_t kFeatureMfgSerial = 1u << 25;

// Header of an enumeration FIB: the payload bytes named are zeroed, the rest
// of the buffer is left as it is.
void buildFib(uint8_t* fib, uint32_t xferState, uint16_t command, size_t zeroedPayload)
{
    std::memset(fib, 0, kFibPayload + zeroedPayload);
    faPutLe32(fib + 0, xferState);
    faPutLe16(fib + 4, command);
    fib[6] = 1;               // StructType
    faPutLe16(fib + 8, 4);    // Size
    faPutLe16(fib + 10, kFibBytes);  // SenderSize
    faPutLe32(fib + 20, 0);   // SenderData
}

bool exists(const char* path)
{
    struct stat st;
    return hostIo().stat(path, &st) == 0;
}

// The first entry of dir whose name contains "ulbraid"; false when none or
// when the directory cannot be opened (then *opened is false).
bool findDriverEntry(const char* dir, char* name, size_t nameSize, bool* opened = nullptr)
{
    DIR* d = hostIo().opendir(dir);
    if (opened != nullptr)
        *opened = d != nullptr;
    if (d == nullptr)
        return false;
    bool found = false;
    while (dirent* e = hostIo().readdir(d)) {
        if (std::strstr(e->d_name, "ulbraid") != nullptr) {
            std::snprintf(name, nameSize, "%s", e->d_name);
            found = true;
            break;
        }
    }
    hostIo().closedir(d);
    return found;
}

}  // namespace

void faux_CheckDeviceNode(char* path, FAUX_COMM_CONTEXT* comm)
{
    // A path shorter than the directory and prefix (an unknown OEM type has
    // no prefix) carries no index where one is looked for.
    if (path == nullptr || std::strlen(path) < kIndexOffset)
        return;
    int n = 0;
    if (std::sscanf(path + kIndexOffset, "%d", &n) != 1 || n < 0)
        return;

    char driver[256];
    bool procScsiOpened = false;
    if (findDriverEntry("/sys/bus/pci/drivers", driver, sizeof driver)) {
        const size_t driverLen = std::strlen(driver);
        int count = 0;
        for (int h = 0; h < kMaxScsiHosts; ++h) {
            char procName[64];
            std::snprintf(procName, sizeof procName, "/sys/class/scsi_host/host%d/proc_name", h);
            if (!exists(procName))
                continue;
            FILE* f = hostIo().fopen(procName, "r");
            if (f == nullptr) {
                std::printf("\nfaux_CheckDeviceNode() - return #1\n");
                std::fflush(stdout);
                return;
            }
            char line[kLineBytes + 1] = {};
            const bool read = std::fgets(line, sizeof line, f) != nullptr;
            std::fclose(f);
            if (read && std::strncmp(line, driver, driverLen) == 0) {
                ++count;
                if (count == n + 1) {
                    if (comm != nullptr)
                        comm->hostNumber = h;
                    break;  // the walk stops at the adapter's own host
                }
            }
        }
        if (n >= count) {
            // The driver does not report this adapter.
            hostIo().unlink(path);
            return;
        }
    } else if (findDriverEntry("/proc/scsi", driver, sizeof driver, &procScsiOpened)) {
        char probe[300];
        int first = 0;
        for (; first < kProcHostSearch; ++first) {
            std::snprintf(probe, sizeof probe, "/proc/scsi/%s/%d", driver, first);
            if (exists(probe))
                break;
        }
        std::snprintf(probe, sizeof probe, "/proc/scsi/%s/%d", driver, first + n);
        if (!exists(probe)) {
            hostIo().unlink(path);
            return;
        }
        if (comm != nullptr)
            comm->hostNumber = first + n;
    } else if (procScsiOpened) {
        return;  // the SCSI hosts are listed, but none of the driver
    }
    // Without /proc/scsi the host stays unknown; the node is still repaired.

    FILE* devices = hostIo().fopen("/proc/devices", "r");
    if (devices == nullptr)
        return;
    int major = -1;
    char line[kLineBytes + 1];
    while (std::fgets(line, sizeof line, devices) != nullptr)
        if (std::strstr(line, "ulb") != nullptr)
            major = std::atoi(line);  // the last such line wins
    std::fclose(devices);
    if (major < 0)
        return;

    struct stat st;
    if (hostIo().stat(path, &st) == 0) {
        if (static_cast<int>(::major(st.st_rdev)) == major)
            return;
        if (hostIo().unlink(path) != 0)
            return;
    } else if (errno != ENOENT) {
        return;
    }
    if (hostIo().mknod(path, kNodeMode, makedev(major, n)) != 0)
        FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 1, "-- CheckDeviceNode: mknod %s [ERR:%d:%s]\n", path, errno,
                           std::strerror(errno));
}

int faux_FillAdapterInfoStruct(int fd, char* name, _tagFSA_ADAPTER_ENUM_INFO* info)
{
    std::memset(info, 0, sizeof *info);
    FA_mbstowcs(info->adapterName, name, sizeof info->adapterName / sizeof info->adapterName[0] - 1);

    alignas(8) uint8_t adapterFib[kFibBytes];
    buildFib(adapterFib, 1, kCmdAdapterInfo, kAdapterInfoZeroed);
    if (hostIo().ioctl(fd, FSACTL_SENDFIB, adapterFib) != 0) {
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1, "-- FillAdapterInfoStruct: %s adapter information [ERR:%d:%s]\n", name,
                           errno, std::strerror(errno));
        PopulateOSIndependentPartAdapterEnum(info, nullptr, nullptr);
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    }
    uint8_t* adapterInfo = adapterFib + kFibPayload;

    alignas(8) uint8_t supplementFib[kFibBytes];
    bool haveSupplement = false;
    if (faGetLe32(adapterInfo + kAiOptions) & kOptionSupplement) {
        buildFib(supplementFib, 1, kCmdSupplementInfo, kSupplementZeroed);
        haveSupplement = hostIo().ioctl(fd, FSACTL_SENDFIB, supplementFib) == 0;
    }
    uint8_t* supplement = haveSupplement ? supplementFib + kFibPayload : nullptr;

    alignas(8) uint8_t serialFib[kFibBytes];
    bool haveSerial = false;
    if (supplement != nullptr && (faGetLe32(supplement + kSupFeatures) & kFeatureMfgSerial)) {
        buildFib(serialFib, 0x21, kCmdMfgSerial, kFibBytes - kFibPayload);
        if (hostIo().ioctl(fd, FSACTL_SENDFIB, serialFib) == 0 && faGetLe32(serialFib + kFibPayload) == 1) {
            haveSerial = true;
            std::memcpy(adapterInfo + kAiSerial0, serialFib + kFibPayload + 4, 4);
            std::memcpy(adapterInfo + kAiSerial1, serialFib + kFibPayload + 8, 4);
        }
    }

    PopulateOSIndependentPartAdapterEnum(info, reinterpret_cast<_ADAPTER_INFO_STRUCT*>(adapterInfo),
                                         reinterpret_cast<_ADAPTER_SUPPLEMENT_INFO_STRUCT*>(supplement));
    if (haveSerial) {
        info->serialNumber[0] = faGetLe32(serialFib + kFibPayload + 4);
        info->serialNumber[1] = faGetLe32(serialFib + kFibPayload + 8);
        info->pcbaSerialNumber = faGetLe32(serialFib + kFibPayload + 12);
    } else {
        info->pcbaSerialNumber = 0xFFFFFFFFu;
    }
    info->availability = clsALH.QuerryAdapter(name);
    unsigned hostLength = 256;
    faos_GetHostName(info->hostName, &hostLength);
    return 1;
}

int faos_GetAdapterInfo(unsigned index, _tagFSA_ADAPTER_ENUM_INFO* info)
{
    if (index > 15 || info == nullptr)
        return -1;
    char prefix[8];
    char name[20];
    char path[128];
    std::snprintf(name, sizeof name, "%s%u", FsaUxGetDeviceNamePrefix(prefix), index);
    faux_mbFullAdapterName(name, path, sizeof path);

    std::unique_ptr<FAUX_COMM_CONTEXT> comm;
    try {
        comm.reset(new (std::nothrow) FAUX_COMM_CONTEXT);
    } catch (FSA_STATUS) {
        return -1;
    }
    if (!comm)
        return -1;
    faux_CheckDeviceNode(path, comm.get());
    std::memset(info, 0, sizeof *info);
    const int fd = hostIo().open(path, O_RDONLY);
    if (fd < 0) {
        if (errno != ENOENT)
            FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 1, "-- failed to open adapter %s, open [ERR:%d:%s]\n", name, errno,
                               std::strerror(errno));
        return -1;
    }
    int result = static_cast<int>(index);
    try {
        if (faux_FillAdapterInfoStruct(fd, name, info) == 0)
            result = -1;
    } catch (FSA_STATUS) {
        result = -1;
    }
    hostIo().close(fd);
    return result;
}
