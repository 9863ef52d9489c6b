#include "Command/Vyn/os/faux_char.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_hwcomm.h"

#include <fcntl.h>
#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kXferStateSent = 0x00100001;
constexpr unsigned kSmallFib = 512;

}  // namespace

FSA_STATUS faos_SendReceiveFIB(FSAAPI_CONTEXT* ctx, _FIB* fib, unsigned size)
{
    const unsigned long request = size == kSmallFib ? FSACTL_SENDFIB : FSACTL_SEND_LARGE_FIB;
    const char* name = size == kSmallFib ? "FSACTL_SENDFIB" : "FSACTL_SEND_LARGE_FIB";
    fib->Header.XferState = kXferStateSent;
    fib->Header.StructType = 1;
    fib->Header.SenderSize = static_cast<uint16_t>(size);
    fib->Header.SenderData = 0;
    const int fd = ctx != nullptr && ctx->commContext != nullptr ? ctx->commContext->fd : -1;
    if (fd <= 0 || hostIo().ioctl(fd, request, fib) != 0) {
        const int err = fd <= 0 ? EBADF : errno;
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1, "-- faos_SendReceiveFIB, Failed ioctl:%s, errno=%d:%s\n", name, err,
                           std::strerror(err));
        return FSA_STS_UX_IOCTL_FAILED;
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS faos_SendScsiCommand(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, unsigned cdbLength,
                                unsigned char* cdb, unsigned* transferred, unsigned char* data, unsigned dataLength,
                                FSA_SCSI_DATA_DIR direction, int wantSense, unsigned* senseLength,
                                unsigned char* sense, unsigned senseSize, unsigned* scsiStatus, unsigned* srbStatus)
{
    try {
        return faux_SendScsiCommand(ctx, device, cdbLength, cdb, transferred, data, dataLength, direction, wantSense,
                                    senseLength, sense, senseSize, scsiStatus, srbStatus);
    } catch (FSA_STATUS status) {
        return status;
    }
}

namespace {

// SCSI_IOCTL and sg requests the pass-through makes.
constexpr unsigned long kSgGetScsiId = SG_GET_SCSI_ID;
constexpr unsigned long kSgIo = SG_IO;
constexpr unsigned kSgTimeoutMs = 60000;
constexpr size_t kDevTextBytes = 10;

// Raw request: offsets of the request and the reply that follows it.
constexpr size_t kSrbFunction = 0;
constexpr size_t kSrbChannel = 4;
constexpr size_t kSrbId = 8;
constexpr size_t kSrbLun = 12;
constexpr size_t kSrbTimeout = 16;
constexpr size_t kSrbFlags = 20;
constexpr size_t kSrbCount = 24;
constexpr size_t kSrbRetryLimit = 28;
constexpr size_t kSrbCdbSize = 32;
constexpr size_t kSrbCdb = 36;
constexpr size_t kSrbCdbRoom = 16;
constexpr size_t kSrbScatterCount = 52;
constexpr size_t kSrbDataAddress = 56;  // u64
constexpr size_t kSrbDataCount = 64;    // u32
constexpr uint32_t kSrbNoData = 56;
constexpr uint32_t kSrbWithData = 68;
constexpr uint32_t kSrbFlagsIn = 0x40;
constexpr uint32_t kSrbFlagsOut = 0x80;
constexpr size_t kReplyStatus = 0;
constexpr size_t kReplySrbStatus = 4;
constexpr size_t kReplyScsiStatus = 8;
constexpr size_t kReplyTransferred = 12;
constexpr size_t kReplySenseSize = 16;
constexpr size_t kReplySense = 20;
constexpr size_t kReplyBytes = 52;

void put64(uint8_t* p, uint64_t v)
{
    faPutLe32(p, static_cast<uint32_t>(v));
    faPutLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

// The minor of the device's generic node from sysfs, or -1.
int sgMinorFromSysfs(int host, int channel, int id, int lun)
{
    char path[128];
    std::snprintf(path, sizeof path, "/sys/class/scsi_device/%d:%d:%d:%d/device/generic/dev", host, channel, id, lun);
    const int fd = hostIo().open(path, O_RDONLY);
    if (fd < 0)
        return -1;
    char text[kDevTextBytes + 1] = {};
    const ssize_t n = hostIo().read(fd, text, kDevTextBytes);
    hostIo().close(fd);
    if (n <= 0)
        return -1;
    text[n] = '\0';
    int major = 0;
    int minor = 0;
    if (std::sscanf(text, "%d:%d", &major, &minor) != 2 || minor < 0)
        return -1;
    return minor;
}

// The first /dev/sgN whose SCSI address is the device's, or -1.
int sgMinorByScan(int host, int channel, int id, int lun)
{
    for (int n = 0;; ++n) {
        char path[32];
        std::snprintf(path, sizeof path, "/dev/sg%d", n);
        struct stat st;
        if (hostIo().stat(path, &st) != 0)
            return -1;
        const int fd = hostIo().open(path, O_RDONLY);
        if (fd < 0)
            continue;
        struct sg_scsi_id sid;
        std::memset(&sid, 0, sizeof sid);
        const int rc = hostIo().ioctl(fd, kSgGetScsiId, &sid);
        hostIo().close(fd);
        if (rc == 0 && sid.host_no == host && sid.channel == channel && sid.scsi_id == id && sid.lun == lun)
            return n;
    }
}

// The SRB status of the sg road by the masked SCSI status.
unsigned srbStatusOf(unsigned masked)
{
    switch (masked) {
    case 0: case 2: case 8: case 10: return 1;
    case 4: case 20: return 5;
    case 17: return 2;
    default: return 4;
    }
}

bool ataPassThroughWithF4(unsigned cdbLength, const unsigned char* cdb)
{
    return cdbLength > 9 && cdb[0] == 0xA1 && cdb[9] == 0xF4;
}

// The sg road: true when the command went through SG_IO (outputs written).
bool sendThroughSg(int minor, unsigned cdbLength, unsigned char* cdb, unsigned* transferred, unsigned char* data,
                   unsigned dataLength, FSA_SCSI_DATA_DIR direction, int wantSense, unsigned* senseLength,
                   unsigned char* sense, unsigned senseSize, unsigned* srbStatus)
{
    char path[32];
    std::snprintf(path, sizeof path, "/dev/sg%d", minor);
    const int fd = hostIo().open(path, direction == FSA_SCSI_DATA_OUT ? O_RDWR : O_RDONLY);
    if (fd < 0)
        return false;
    // This ATA pass-through form is only carried by the controller itself.
    if (ataPassThroughWithF4(cdbLength, cdb)) {
        hostIo().close(fd);
        return false;
    }
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.dxfer_direction = direction == FSA_SCSI_DATA_IN ? SG_DXFER_TO_FROM_DEV
                         : direction == FSA_SCSI_DATA_OUT ? SG_DXFER_TO_DEV
                                                          : SG_DXFER_NONE;
    io.cmd_len = static_cast<unsigned char>(std::min(cdbLength, 255u));
    io.mx_sb_len = sense != nullptr ? static_cast<unsigned char>(std::min(senseSize, 255u)) : 0;
    io.dxfer_len = direction == FSA_SCSI_NO_DATA ? 0 : dataLength;
    io.dxferp = direction == FSA_SCSI_NO_DATA ? nullptr : data;
    io.cmdp = cdb;
    io.sbp = sense;
    io.timeout = kSgTimeoutMs;
    const int rc = hostIo().ioctl(fd, kSgIo, &io);
    hostIo().close(fd);
    if (rc != 0)
        return false;
    if (transferred != nullptr)
        *transferred = io.dxfer_len - static_cast<unsigned>(std::max(io.resid, 0));
    if (srbStatus != nullptr)
        *srbStatus = srbStatusOf(io.masked_status);
    if (wantSense && senseLength != nullptr)
        *senseLength = io.sb_len_wr;
    return true;
}

}  // namespace

FSA_STATUS faux_SendScsiCommand(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE* device, unsigned cdbLength,
                                unsigned char* cdb, unsigned* transferred, unsigned char* data, unsigned dataLength,
                                FSA_SCSI_DATA_DIR direction, int wantSense, unsigned* senseLength,
                                unsigned char* sense, unsigned senseSize, unsigned* scsiStatus, unsigned* srbStatus)
{
    if (wantSense && (sense == nullptr || senseSize == 0))
        return FSA_STS_BAD_PARAMETER;
    if (ctx == nullptr || ctx->commContext == nullptr || device == nullptr || cdb == nullptr)
        return FSA_STS_BAD_PARAMETER;

    const int host = ctx->commContext->hostNumber;
    const int channel = device->busNumber + 1;
    int minor = sgMinorFromSysfs(host, channel, device->targetId, device->lun);
    if (minor < 0)
        minor = sgMinorByScan(host, channel, device->targetId, device->lun);
    if (minor >= 0 && sendThroughSg(minor, cdbLength, cdb, transferred, data, dataLength, direction, wantSense,
                                    senseLength, sense, senseSize, srbStatus))
        return FSA_STS_SUCCESS;

    // The raw request of the controller, its reply right behind it.
    const bool withData = direction == FSA_SCSI_DATA_IN || direction == FSA_SCSI_DATA_OUT;
    const uint32_t requestBytes = withData ? kSrbWithData : kSrbNoData;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[requestBytes + kReplyBytes]());
    if (!block)
        return FSA_STS_OUT_OF_MEMORY;
    FSA_STATUS status = FSA_STS_SUCCESS;
    uint8_t* request = block.get();
    uint8_t* reply = request + requestBytes;
    faPutLe32(request + kSrbFunction, 0);
    faPutLe32(request + kSrbChannel, device->busNumber);
    faPutLe32(request + kSrbId, device->targetId);
    faPutLe32(request + kSrbLun, device->lun);
    faPutLe32(request + kSrbTimeout, 0);
    faPutLe32(request + kSrbFlags, direction == FSA_SCSI_DATA_IN ? kSrbFlagsIn
                                   : direction == FSA_SCSI_DATA_OUT ? kSrbFlagsOut
                                                                    : 0);
    faPutLe32(request + kSrbCount, requestBytes);
    faPutLe32(request + kSrbRetryLimit, 0);
    faPutLe32(request + kSrbCdbSize, cdbLength);
    if (cdbLength > kSrbCdbRoom)
        status = FSA_STS_BAD_PARAMETER;
    else
        std::memcpy(request + kSrbCdb, cdb, cdbLength);
    if (withData) {
        if (data == nullptr || dataLength == 0)
            status = FSA_STS_BAD_PARAMETER;
        faPutLe32(request + kSrbScatterCount, 1);
        put64(request + kSrbDataAddress, reinterpret_cast<uintptr_t>(data));
        faPutLe32(request + kSrbDataCount, dataLength);
    }
    if (status != FSA_STS_SUCCESS)
        return status;

    if (hostIo().ioctl(ctx->commContext->fd, FSACTL_SEND_RAW_SRB, request) != 0) {
        const int err = errno;
        if (err == ENOTTY) {
            FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1,
                               "-- faux_SendScsiCommand, ioctl FSACTL_SEND_RAW_SRB not implemented by driver\n");
            return FSA_STS_NOT_IMPLEMENTED;
        }
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1, "-- faux_SendScsiCommand, Failed ioctl:FSACTL_SEND_RAW_SRB, errno=%d:%s\n",
                           err, std::strerror(err));
        return FSA_STS_UX_IOCTL_FAILED;
    }
    const uint32_t firmwareStatus = faGetLe32(reply + kReplyStatus);
    if (firmwareStatus != 0) {
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1, "-- faux_SendScsiCommand, SCSI command not sent, Firmware Status: %d\n",
                           static_cast<int>(firmwareStatus));
        return FSA_STS_GENERAL_FAILURE;
    }
    if (transferred != nullptr)
        *transferred = faGetLe32(reply + kReplyTransferred);
    if (scsiStatus != nullptr)
        *scsiStatus = faGetLe32(reply + kReplyScsiStatus);
    if (srbStatus != nullptr)
        *srbStatus = faGetLe32(reply + kReplySrbStatus);
    if (wantSense) {
        // Never past the reply's own sense room, whatever its size word says.
        const uint32_t length = std::min({faGetLe32(reply + kReplySenseSize), senseSize,
                                          static_cast<uint32_t>(kReplyBytes - kReplySense)});
        std::memcpy(sense, reply + kReplySense, length);
        if (senseLength != nullptr)
            *senseLength = length;
    }
    return FSA_STS_SUCCESS;
}
