#include "Command/Vyn/os/faux_hwcomm.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_linux.h"
#include "Command/Vyn/os/faux_lockfile.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_oem_ulb.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

FAUX_COMM_CONTEXT::FAUX_COMM_CONTEXT()
{
    char name[] = "aif";
    aifMutex = faos_CreateMutex(name);
}

FAUX_COMM_CONTEXT::~FAUX_COMM_CONTEXT()
{
    try {
        faos_DestroyMutex(aifMutex);
    } catch (FSA_STATUS) {
        // A mutex still held cannot be destroyed; the connection goes anyway.
    }
}

FSA_REVISION RevGetFullRevision()
{
    FSA_REVISION rev{};
    rev.dash = 0;
    rev.type = 4;
    rev.minor = 2;
    rev.major = 5;
    rev.buildNumber = 18757;
    return rev;
}

uint32_t RevGetExternalRev()
{
    const FSA_REVISION rev = RevGetFullRevision();
    return static_cast<uint32_t>(rev.major) << 24 | static_cast<uint32_t>(rev.minor) << 16 |
           static_cast<uint32_t>(rev.type) << 8 | rev.dash;
}

namespace {

// Undoes a half-made connection: every failed open leaves no descriptor,
// lock or connection behind.
void abandonOpen(FAUX_COMM_CONTEXT* comm, FSAAPI_CONTEXT* ctx, bool releaseLock, int fd)
{
    if (fd > 0)
        hostIo().close(fd);
    if (releaseLock && ctx->accessMode == FSA_ACC_READ_WRITE)
        clsALH.ReleaseAdapter(comm->adapterName);
    delete comm;
}

}  // namespace

int faos_OpenChannelToAdapter(FSAAPI_CONTEXT* ctx, const wchar_t* adapterName)
{
    FAUX_COMM_CONTEXT* comm = new (std::nothrow) FAUX_COMM_CONTEXT;
    if (comm == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);

    char name[17];
    faux_mbAdapterNameFromWide(adapterName, name, sizeof name);
    if (!faux_IsAdapterNameValid(name)) {
        FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 1, "-- OpenChannelToAdapter: %s: throw FSA_STS_UX_INVALID_ADAPTER_TYPE\n",
                           name);
        delete comm;
        throw static_cast<FSA_STATUS>(FSA_STS_UX_INVALID_ADAPTER_TYPE);
    }
    char path[128];
    faux_mbFullAdapterName(name, path, sizeof path);
    faux_CheckDeviceNode(path, comm);
    std::snprintf(comm->adapterName, sizeof comm->adapterName, "%s", name);

    int granted = 0;
    try {
        granted = clsALH.TakeAdapter(comm->adapterName, ctx->accessMode);
    } catch (FSA_STATUS) {
        delete comm;
        throw;
    }
    if (!granted) {
        delete comm;
        throw static_cast<FSA_STATUS>(FSA_STS_OPENED_READ_WRITE);
    }

    const int fd = hostIo().open(path, O_RDWR);
    if (fd < 0) {
        const int err = errno;
        FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 1, "-- OpenChannelToAdapter: open %s [ERR:%d:%s]\n", path, err,
                           std::strerror(err));
        abandonOpen(comm, ctx, true, -1);
        if (err == EACCES)
            throw static_cast<FSA_STATUS>(FSA_STS_UX_AUTH_REQUIRED);
        return 0;
    }

    // The identification FIBs prove that the node is an adapter.
    std::unique_ptr<_tagFSA_ADAPTER_ENUM_INFO> scratch(new (std::nothrow) _tagFSA_ADAPTER_ENUM_INFO);
    if (!scratch) {
        abandonOpen(comm, ctx, true, fd);
        throw static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
    }
    try {
        faux_FillAdapterInfoStruct(fd, comm->adapterName, scratch.get());
    } catch (FSA_STATUS) {
        abandonOpen(comm, ctx, true, fd);
        throw;
    }
    comm->fd = fd;
    ctx->commContext = comm;
    return 1;
}

void faos_CloseChannelToAdapter(FSAAPI_CONTEXT* ctx)
{
    if (ctx == nullptr || ctx->commContext == nullptr)
        return;
    FAUX_COMM_CONTEXT* comm = ctx->commContext;
    ctx->commContext = nullptr;
    abandonOpen(comm, ctx, true, comm->fd);
}

FSA_STATUS faos_CheckDriverCompatibility(FSAAPI_CONTEXT* ctx)
{
    if (ctx == nullptr || ctx->commContext == nullptr)
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[12]);
    if (!record)
        return FSA_STS_OUT_OF_MEMORY;
    const FSA_REVISION own = RevGetFullRevision();
    faPutLe32(record.get(), 4);
    record[4] = own.dash;
    record[5] = own.type;
    record[6] = own.minor;
    record[7] = own.major;
    faPutLe32(record.get() + 8, own.buildNumber);
    if (hostIo().ioctl(ctx->commContext->fd, FSACTL_MINIPORT_REV_CHECK, record.get()) != 0) {
        FsaUxDbgFilePrintf(FAUX_DBG_IOCTL, 0, 1, "-- CheckDriverCompatibility: [ERR:%d:%s]\n", errno,
                           std::strerror(errno));
        throw static_cast<FSA_STATUS>(FSA_STS_UX_IOCTL_FAILED);
    }
    if (faGetLe32(record.get()) == 0)
        return FSA_STS_MINIPORT_DRV_TOO_NEW;
    FSA_REVISION driver{};
    driver.dash = record[4];
    driver.type = record[5];
    driver.minor = record[6];
    driver.major = record[7];
    driver.buildNumber = faGetLe32(record.get() + 8);
    ctx->miniportDriverVersion = driver;
    ctx->fileSystemDriverVersion = driver;
    return FSA_STS_SUCCESS;
}

void faos_GetPCIBusAndSlotInfo(FSAAPI_CONTEXT* ctx, short* bus, short* slot)
{
    if (PCK_HasNoHostDriver(ctx))
        return;
    *bus = -1;
    *slot = -1;
    if (ctx->commContext == nullptr)
        return;
    uint8_t reply[kDriverRecordBytes] = {};
    if (hostIo().ioctl(ctx->commContext->fd, FSACTL_GET_PCI_BUS_SLOT, reply) != 0)
        return;
    *bus = static_cast<short>(faGetLe32(reply));
    *slot = static_cast<short>(faGetLe32(reply + 4));
}
