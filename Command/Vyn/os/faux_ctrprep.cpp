#include "Command/Vyn/os/faux_ctrprep.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "common/HostPath.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr const char kFile[] = "faux_ctrprep";

// _UNIX_QUERY_DISK, the driver's view of one container's disk.
constexpr size_t kQueryBytes = 48;
constexpr size_t kQueryContainer = 0;
constexpr size_t kQueryBus = 4;
constexpr size_t kQueryTarget = 8;
constexpr size_t kQueryLun = 12;
constexpr size_t kQueryValid = 16;
constexpr size_t kQueryLocked = 20;
constexpr size_t kQueryDeleted = 24;
constexpr size_t kQueryInstance = 28;
constexpr size_t kQueryDiskName = 32;
constexpr size_t kQueryDiskNameBytes = 10;
constexpr size_t kQueryUnmapped = 44;

constexpr unsigned long kScsiGetIdLun = 0x5382;
constexpr unsigned long kBlkRrPart = 0x125F;
constexpr unsigned kRetrySleepMs = 1000;
constexpr int kLockedRequeries = 5;
constexpr int kDeleteAttempts = 5;
constexpr size_t kDiskNameRoom = 32;
constexpr size_t kFlagsTextBytes = 4096;

struct QueryDisk {
    uint8_t bytes[kQueryBytes];

    explicit QueryDisk(int container)
    {
        std::memset(bytes, 0, sizeof bytes);
        faPutLe32(bytes + kQueryContainer, static_cast<uint32_t>(container));
        resetAddress();
    }
    void resetAddress()
    {
        faPutLe32(bytes + kQueryBus, 0xFFFFFFFF);
        faPutLe32(bytes + kQueryTarget, 0xFFFFFFFF);
        faPutLe32(bytes + kQueryLun, 0xFFFFFFFF);
        faPutLe32(bytes + kQueryInstance, 0xFFFFFFFF);
    }
    int word(size_t offset) const { return static_cast<int>(faGetLe32(bytes + offset)); }
    // The driver's name is 10 bytes with no promise of a terminator.
    std::string diskName() const
    {
        const char* p = reinterpret_cast<const char*>(bytes + kQueryDiskName);
        return std::string(p, strnlen(p, kQueryDiskNameBytes));
    }
};

int commFd(FSAAPI_CONTEXT* ctx) { return ctx->commContext != nullptr ? ctx->commContext->fd : -1; }

bool queryDisk(FSAAPI_CONTEXT* ctx, QueryDisk& q)
{
    const int fd = commFd(ctx);
    if (fd <= 0) {
        errno = EBADF;
        return false;
    }
    return hostIo().ioctl(fd, FSACTL_QUERY_DISK, q.bytes) == 0;
}

bool belowContainerLimit(FSAAPI_CONTEXT* ctx, unsigned container)
{
    tag_FSA_CONTAINER id;
    CT_GetStandardID(ctx, &id, container);
    return CT_GetInternalID(&id) < ctx->maxAccessibleContainers;
}

// The one word a listing of `path` would name as its block device: the entry
// of a block directory, or the name behind a "block:" entry.
std::string blockWordOf(const std::string& path)
{
    DIR* dir = hostIo().opendir(path.c_str());
    if (dir == nullptr)
        return std::string();
    std::string word;
    bool hasBlockDir = false;
    while (dirent* e = hostIo().readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (name == "block")
            hasBlockDir = true;
        else if (name.compare(0, 6, "block:") == 0)
            word = name.substr(6);
        else if (path.size() >= 6 && path.compare(path.size() - 6, 6, "/block") == 0 && word.empty())
            word = name;
    }
    hostIo().closedir(dir);
    if (word.empty() && hasBlockDir)
        return blockWordOf(path + "/block");
    return word;
}

void writeHostText(const char* path, const char* text, size_t length, const char* what)
{
    const int fd = hostIo().open(path, O_WRONLY);
    bool ok = false;
    if (fd >= 0) {
        ok = hostIo().write(fd, text, length) == static_cast<ssize_t>(length);
        hostIo().close(fd);
    }
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 3, "-- %s: %s %s\n", what, path, ok ? "PASSED" : "FAILED");
}

// Adds (add = true) or removes the container's disk on the SCSI host.
void changeHostDisk(FSAAPI_CONTEXT* ctx, unsigned container, bool add)
{
    if (!belowContainerLimit(ctx, container))
        return;
    int instance = 0;
    int bus = 0;
    int target = 0;
    int lun = 0;
    char disk[kDiskNameRoom];
    faux_CtrGetInstanceBusTargetLunAndDiskDeviceName(ctx, static_cast<int>(container), &instance, &bus, &target, &lun,
                                                     disk);
    char path[96];
    std::snprintf(path, sizeof path, "/sys/class/scsi_host/host%d/scan", instance);
    char text[96];
    const int fd = hostIo().open(path, O_WRONLY);
    if (fd >= 0) {
        const int n = std::snprintf(text, sizeof text, "%d %d %d\n", bus, target, lun);
        const bool ok = hostIo().write(fd, text, static_cast<size_t>(n)) == n;
        hostIo().close(fd);
        FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 3, "-- %s: %s %s\n", add ? "ExposeCtrToOs" : "UnExposeCtrToOs", path,
                           ok ? "PASSED" : "FAILED");
        return;
    }
    const int n = std::snprintf(text, sizeof text, "scsi %s-single-device %d %d %d %d\n", add ? "add" : "remove",
                                instance, 0, target, lun);
    writeHostText("/proc/scsi/scsi", text, static_cast<size_t>(n), add ? "ExposeCtrToOs" : "UnExposeCtrToOs");
}

}  // namespace

int faux_getAdapterInstance(const char*, int instance) { return instance == -1 ? 99 : instance; }

int faos_CtrGetUsage(FSAAPI_CONTEXT* ctx, int container)
{
    if (!belowContainerLimit(ctx, static_cast<unsigned>(container)))
        return FSA_CU_NONE;
    QueryDisk q(container);
    bool ok = queryDisk(ctx, q);
    // A disk the host holds open may be on its way to being closed.
    for (int again = 0; ok && q.word(kQueryLocked) != 0 && again < kLockedRequeries; ++again) {
        hostIo().sleepMs(kRetrySleepMs);
        q.resetAddress();
        ok = queryDisk(ctx, q);
    }
    if (!ok) {
        const int err = errno;
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1, "-- faos_CtrGetUsage, Failed ioctl:FSACTL_QUERY_DISK, errno=%d:%s\n",
                           err, std::strerror(err));
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    }
    if (q.word(kQueryLocked) != 0)
        return FSA_CU_UX_OPEN;
    if (q.word(kQueryDeleted) != 0)
        return FSA_CU_UX_DELETED;
    if (q.word(kQueryValid) == 0)
        return FSA_CU_UX_UNKNOWN;
    if (q.word(kQueryUnmapped) != 0)
        return FSA_CU_UX_UNMAPPED;
    return FSA_CU_UX_VALID;
}

int faux_CtrGetInstanceBusTargetLunAndDiskDeviceName(FSAAPI_CONTEXT* ctx, int container, int* instance, int* bus,
                                                     int* target, int* lun, char* diskName)
{
    QueryDisk q(container);
    const bool queried = queryDisk(ctx, q);
    const int queryErrno = errno;
    const int qInstance = q.word(kQueryInstance);
    const int qBus = q.word(kQueryBus);
    const int qTarget = q.word(kQueryTarget);
    const int qLun = q.word(kQueryLun);
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "-- CtrGetInstanceBusTargetLun: container %d driver disk \"%s\"\n",
                       container, q.diskName().c_str());

    std::string name;
    for (char letter = 'a'; letter <= 'z' && name.empty(); ++letter) {
        char path[16];
        std::snprintf(path, sizeof path, "/dev/sd%c", letter);
        const int fd = hostIo().open(path, O_RDONLY);
        if (fd < 0)
            continue;
        uint8_t idlun[8] = {};
        const int rc = hostIo().ioctl(fd, kScsiGetIdLun, idlun);
        hostIo().close(fd);
        if (rc == 0 && idlun[3] == static_cast<uint8_t>(qInstance) && idlun[2] == static_cast<uint8_t>(qBus) &&
            idlun[0] == static_cast<uint8_t>(qTarget) && idlun[1] == static_cast<uint8_t>(qLun))
            name = std::string("sd") + letter;
    }
    if (q.word(kQueryUnmapped) != 0 || name.empty()) {
        if (name.empty()) {
            char path[160];
            std::snprintf(path, sizeof path, "/sys/class/scsi_host/host%d/device/target%d:%u:%u/%u:%u:%u:%u",
                          qInstance, qInstance, qBus, qTarget, qInstance, qBus, qTarget, qLun);
            name = blockWordOf(path);
            if (name.empty()) {
                std::snprintf(path, sizeof path, "/sys/class/scsi_host/host%d/device/%u:%u:%u:%u/block", qInstance,
                              qInstance, qBus, qTarget, qLun);
                name = blockWordOf(path);
            }
        }
        if (!name.empty()) {
            // Touching the disk makes the host notice it.
            const std::string device = "/dev/" + name;
            const int fd = hostIo().open(device.c_str(), O_RDONLY);
            if (fd >= 0) {
                char byte;
                hostIo().read(fd, &byte, 1);
                hostIo().close(fd);
            }
        }
    }
    *bus = qBus;
    *target = qTarget;
    *lun = qLun;
    std::snprintf(diskName, kDiskNameRoom, "%s", name.c_str());
    *instance = faux_getAdapterInstance(ctx->commContext != nullptr ? ctx->commContext->adapterName : "", qInstance);
    if (!queried) {
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1,
                           "-- faux_CtrGetInstanceBusTargetLunAndDiskDeviceName, Failed ioctl:FSACTL_QUERY_DISK, "
                           "errno=%d:%s\n",
                           queryErrno, std::strerror(queryErrno));
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    }
    return 1;
}

void faux_ContainerSpecialFile(char* out, int, int, int, int, const char* diskName)
{
    if (diskName == nullptr || diskName[0] == '\0')
        out[0] = '\0';
    else
        std::snprintf(out, 48, "%s/%s", "/dev", diskName);
}

char* faos_ContainerSpecialFile(void* adapterHandle, char*, char* out, unsigned container)
{
    out[0] = '\0';
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(adapterHandle);
    if (ctx == nullptr || !belowContainerLimit(ctx, container))
        return out;
    int instance = 0;
    int bus = 0;
    int target = 0;
    int lun = 0;
    char disk[kDiskNameRoom];
    faux_CtrGetInstanceBusTargetLunAndDiskDeviceName(ctx, static_cast<int>(container), &instance, &bus, &target, &lun,
                                                     disk);
    faux_ContainerSpecialFile(out, instance, bus, target, lun, disk);
    return out;
}

void faux_ExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container, int data)
{
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "-- ExposeCtrToOs: container %u data %d\n", container, data);
    changeHostDisk(ctx, container, true);
}

void faos_ExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container, int data)
{
    faux_ExposeCtrToOs(ctx, container, data);
    faos_ReReadPartitionTable(ctx->apiHandle, container);
}

void faux_UnExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container) { changeHostDisk(ctx, container, false); }

void faos_UnExposeCtrToOs(FSAAPI_CONTEXT* ctx, unsigned container) { faux_UnExposeCtrToOs(ctx, container); }

void faos_ReReadPartitionTable(void* adapterHandle, unsigned container)
{
    char device[48];
    faos_ContainerSpecialFile(adapterHandle, nullptr, device, container);
    if (device[0] == '\0')
        return;
    const int fd = hostIo().open(device, O_RDONLY);
    if (fd < 0)
        return;
    hostIo().ioctl(fd, kBlkRrPart, nullptr);
    hostIo().close(fd);
}

int faos_ContainerIsMounted(const char* device)
{
    if (device == nullptr || device[0] == '\0')
        return 0;
    FILE* f = std::fopen(vynHostPath("/etc/mtab").c_str(), "r");
    if (f == nullptr)
        return 0;
    // Whole lines, so that a name is never split between two reads.
    std::string line;
    int mounted = 0;
    for (int c = std::fgetc(f); !mounted; c = std::fgetc(f)) {
        if (c == EOF || c == '\n') {
            mounted = line.find(device) != std::string::npos;
            line.clear();
            if (c == EOF)
                break;
        } else if (c != '\0') {
            line += static_cast<char>(c);
        }
    }
    std::fclose(f);
    return mounted;
}

FAOS_CTR_REMOVE* faos_PrepareCtrForRemoval(FSAAPI_CONTEXT* ctx, int container, int, int force)
{
    if (ctx->remoteAdapter == 1)
        return nullptr;
    if (!force && faos_CtrGetUsage(ctx, container) == FSA_CU_UX_OPEN)
        throw static_cast<FSA_STATUS>(FSA_STS_UX_DISK_OPEN);
    FAOS_CTR_REMOVE* state = new FAOS_CTR_REMOVE;
    state->container = container;
    state->force = force;
    return state;
}

void faos_CtrRemovalComplete(FSAAPI_CONTEXT* ctx, int container, int failed, FAOS_CTR_REMOVE* state)
{
    if (ctx->remoteAdapter == 1)
        return;
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "-- CtrRemovalComplete: container %d failed %d state %p\n", container,
                       failed, static_cast<void*>(state));
    uint8_t record[8];
    faPutLe32(record, 0);
    faPutLe32(record + 4, static_cast<uint32_t>(container));
    const int fd = commFd(ctx);
    bool ok = false;
    int err = EBADF;
    for (int attempt = 1; fd > 0; ++attempt) {
        ok = hostIo().ioctl(fd, FSACTL_DELETE_DISK, record) == 0;
        err = errno;
        if (ok || err != EBUSY || attempt >= kDeleteAttempts)
            break;
        hostIo().sleepMs(kRetrySleepMs);
    }
    if (!ok) {
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1,
                           "-- faos_CtrRemovalComplete, Failed ioctl:FSACTL_DELETE_DISK, errno=%d:%s\n", err,
                           std::strerror(err));
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    }
    faux_UnExposeCtrToOs(ctx, static_cast<unsigned>(container));
}

int faos_PrepareCtrForChange(FSAAPI_CONTEXT*, int container)
{
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "-- PrepareCtrForChange: container %d\n", container);
    return 0;
}

void faos_CtrChangeComplete(FSAAPI_CONTEXT* ctx, int container, int failed)
{
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "-- CtrChangeComplete: container %d failed %d\n", container, failed);
    faos_ExposeCtrToOs(ctx, static_cast<unsigned>(container), 0);
}

int faos_RestoreDriveLetters(FSAAPI_CONTEXT* ctx, tag_FSA_CONTAINER* container)
{
    faos_ExposeCtrToOs(ctx, container->number, 1);
    return 1;
}

FSA_STATUS faux_ResetController(FSAAPI_CONTEXT* ctx)
{
    const int host = ctx->commContext != nullptr ? ctx->commContext->hostNumber : 0;
    char path[96];
    struct stat st;
    std::snprintf(path, sizeof path, "/sys/class/scsi_host/host%d/reset_host", host);
    const char* text = "!";
    size_t length = 2;  // with its terminating zero
    if (hostIo().stat(path, &st) != 0) {
        std::snprintf(path, sizeof path, "/proc/scsi/ulbraid/%d", host);
        if (hostIo().stat(path, &st) != 0)
            return FSA_STS_SUCCESS;
        text = "reset_host!";
        length = 12;
    }
    const int fd = hostIo().open(path, O_WRONLY);
    if (fd < 0)
        return FSA_STS_RESET_FILE_OPEN;
    hostIo().write(fd, text, length);
    hostIo().close(fd);
    return FSA_STS_SUCCESS;
}

FSA_STATUS faos_ResetController(FSAAPI_CONTEXT* ctx) { return faux_ResetController(ctx); }

int faos_OsAndDriverSupport64BitLBA(FSAAPI_CONTEXT* ctx)
{
    const int host = ctx->commContext != nullptr ? ctx->commContext->hostNumber : 0;
    char path[96];
    std::snprintf(path, sizeof path, "/sys/class/scsi_host/host%d/flags", host);
    int fd = hostIo().open(path, O_RDONLY);
    if (fd < 0) {
        std::snprintf(path, sizeof path, "/proc/scsi/ulbraid/%d", host);
        fd = hostIo().open(path, O_RDONLY);
    }
    if (fd < 0)
        return 1;
    std::string text(kFlagsTextBytes, '\0');
    const ssize_t n = hostIo().read(fd, &text[0], kFlagsTextBytes);
    hostIo().close(fd);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (text.find("SUPPORTED_JBOD") != std::string::npos) {
        ctx->jbodSupported = 1;
        ctx->featureEnable |= 0x80;
    }
    return 1;
}

int faos_CtrValid(FSAAPI_CONTEXT*, int container)
{
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "-- faos_CtrValid: container %d TRUE\n", container);
    return 1;
}

int faos_CtrIsSystemBootDevice(FSAAPI_CONTEXT*, int, int)
{
    FAUX_TRACE_MISSING(kFile, "faos_CtrIsSystemBootDevice");
    return 0;
}

int faos_CtrIsSystemBootDevice(FSAAPI_CONTEXT*, int)
{
    FAUX_TRACE_PUT_OFF(kFile, "faos_CtrIsSystemBootDevice");
    return 0;
}

int faos_CtrIsSystemBootDevice(FSAAPI_CONTEXT*, char)
{
    FAUX_TRACE_PUT_OFF(kFile, "faos_CtrIsSystemBootDevice");
    return 0;
}

int faos_DrvLtrIsSystemDevice(FSAAPI_CONTEXT*, char)
{
    FAUX_TRACE_PUT_OFF(kFile, "faos_DrvLtrIsSystemDevice");
    return 0;
}

int faos_CtrIsSystemDevice(FSAAPI_CONTEXT*, int)
{
    FAUX_TRACE_PUT_OFF(kFile, "faos_CtrIsSystemDevice");
    return 0;
}

int faos_DriveIsSystemBootDevice(FSAAPI_CONTEXT*, int) { return 0; }

int faos_DriveIsSystemDevice(FSAAPI_CONTEXT*, int) { return 0; }

char faos_updateDriveLetter(FSAAPI_CONTEXT*, char letter) { return letter; }

void faos_PauseContainerIO(FSAAPI_CONTEXT*, int) { FAUX_TRACE_MISSING(kFile, "faos_PauseContainerIO"); }

void faos_ResumeContainerIO(FSAAPI_CONTEXT*, int) { FAUX_TRACE_MISSING(kFile, "faos_ResumeContainerIO"); }

void faos_FlushDataOnContainer(FSAAPI_CONTEXT*, int) { FAUX_TRACE_MISSING(kFile, "faos_FlushDataOnContainer"); }

void faos_FillHandleArray(FSAAPI_CONTEXT*, int) { FAUX_TRACE_MISSING(kFile, "faos_FillHandleArray"); }

void faos_FreeHandleArray(FSAAPI_CONTEXT*) { FAUX_TRACE_MISSING(kFile, "faos_FreeHandleArray"); }
