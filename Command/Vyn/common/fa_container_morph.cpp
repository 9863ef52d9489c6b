// Morphing a container online, its usage for the host, and the controller's
// background verification: start, stop, priority and period.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_verify.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_misc.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr FSA_STATUS kNoMemory = 91;
constexpr FSA_STATUS kChunkNotForType = 577;
constexpr FSA_STATUS kVerifyRunning = 505;
constexpr FSA_STATUS kVerifyNotRunning = 506;

constexpr uint32_t kMirror = 1;
constexpr uint32_t kVolume = 3;
constexpr uint32_t kSplit = 1;

constexpr int kVerifyStart = 0;
constexpr int kVerifyStop = 1;
constexpr int kVerifyPriority = 2;

// A stopping verify is looked for this often, 100 ms apart.
constexpr unsigned kStopLooks = 500;
constexpr unsigned kStartLooks = 5;
constexpr unsigned kLookMs = 100;

// Word at byte 36 of the verify task's record: non-zero while it is paused.
constexpr size_t kTaskPaused = 36;
constexpr size_t kTaskId = 0;

// The legacy member element: the device address first, bus and target at
// bytes 4 and 5.
constexpr size_t kMemberBus = 4;
constexpr size_t kMemberTarget = 5;
constexpr uint32_t kMemberBytes = 28;

FSA_STATUS morph(FSAAPI_CONTEXT* ctx, void* handle, const tag_FSA_CONTAINER* container, uint32_t type,
                 uint32_t count, FSA_STORAGE_DEVICE* devices, uint32_t chunkBytes, uint64_t size, int flag)
{
    if (chunkBytes != 0 && (type == kMirror || type == kVolume))
        return kChunkNotForType;
    if (container == nullptr || (count != 0 && devices == nullptr))
        return FSA_STS_BAD_PARAMETER;
    PCK_ValidateUserChunkSize(ctx, &chunkBytes);

    const uint32_t infoBytes =
        faGetLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS) * kMemberBytes + FSA_CONTAINER_INFO_MIN;
    std::unique_ptr<uint8_t, decltype(&std::free)> buffer(static_cast<uint8_t*>(std::calloc(1, infoBytes)),
                                                          &std::free);
    if (!buffer)
        return kNoMemory;
    FSA_CONTAINER_INFO* info = reinterpret_cast<FSA_CONTAINER_INFO*>(buffer.get());
    const FSA_STATUS read = FsaGetContainerInfo(handle, 0, container, info, infoBytes);
    // Without its record the container's layout is unknown: nothing is
    // changed on a guess.
    if (read != FSA_STS_SUCCESS)
        return read;
    const uint8_t* record = buffer.get();
    const uint32_t current = faGetLe32(record + CI_TYPE);

    tag_FSA_CONTAINER target = *container;
    if (current == kMirror && type == kVolume) {
        if (count < 2) {
            CT_UnMirror(ctx, container->number);
            return read;
        }
        tag_FSA_CONTAINER split = {};
        return FsaMirror(handle, kSplit, &target, &split);
    }
    if (current == kVolume && type == kMirror) {
        // The new mirror half must not be the volume's own drive.
        const uint8_t* first = record + CI_LEGACY_MEMBERS;
        if (count >= 2 && faGetLe32(record + CI_MEMBER_COUNT) != 0 &&
            FsaMemberCapacity(infoBytes, CI_LEGACY_MEMBERS) != 0 && first[kMemberBus] == devices[0].busNumber &&
            first[kMemberTarget] == devices[0].targetId)
            devices[0] = devices[1];
        return FsaCreateMirrorFromVolume(handle, &target, count, devices);
    }
    CT_MorphContainer(ctx, container, type, count, devices, chunkBytes, size, flag);
    return read;
}

// The period or the priority a verify request asks for.
FSA_STATUS setVerifyPriority(FSAAPI_CONTEXT* ctx, const FSA_VERIFY_REQUEST* request)
{
    if (request == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const uint32_t code = faGetLe32(request->bytes);
    if (code == 0)
        CT_VerifySetPriorityDays(ctx, faGetLe32(request->bytes + 4));
    else
        CT_VerifySetPriority(ctx, code);
    return FSA_STS_SUCCESS;
}

FSA_STATUS verify(FSAAPI_CONTEXT* ctx, void* handle, int operation, const FSA_VERIFY_REQUEST* request)
{
    if (operation < kVerifyStart || operation > kVerifyPriority)
        return FSA_STS_BAD_PARAMETER;
    if (operation == kVerifyPriority)
        return setVerifyPriority(ctx, request);

    FSA_TASK_INFO task = {};
    const bool running = CtFindVerifyTask(ctx, &task) != 0;
    if (operation == kVerifyStop) {
        if (!running)
            return kVerifyNotRunning;
        CT_StartContainerVerify(ctx, 0);
        for (unsigned look = 0; look < kStopLooks && CtFindVerifyTask(ctx, &task) != 0; ++look)
            faos_Sleep(kLookMs);
        return FSA_STS_SUCCESS;
    }
    if (running) {
        if (faGetLe32(task.bytes + kTaskPaused) == 0)
            return kVerifyRunning;
        return FsaTask(handle, faGetLe32(task.bytes + kTaskId), 1);
    }
    CT_StartContainerVerify(ctx, 1);
    for (unsigned look = 0; look < kStartLooks && CtFindVerifyTask(ctx, &task) == 0; ++look)
        faos_Sleep(kLookMs);
    return setVerifyPriority(ctx, request);
}

}  // namespace

extern "C" FSA_STATUS FsaMorphContainer(void* handle, const tag_FSA_CONTAINER* container, uint32_t type,
                                        uint32_t count, FSA_STORAGE_DEVICE* devices, uint32_t chunkBytes,
                                        uint64_t size, int flag)
{
    return FsaExportedCall("FsaMorphContainer", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return morph(ctx, handle, container, type, count, devices, chunkBytes, size, flag);
    });
}

extern "C" FSA_STATUS FsaGetContainerUsage(void* handle, const tag_FSA_CONTAINER* container, uint32_t* usage)
{
    return FsaExportedCall("FsaGetContainerUsage", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (container == nullptr || usage == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        *usage = CT_GetContainerUsage(ctx, container->number);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaVerifyContainer(void* handle, int enable)
{
    return FsaExportedCall("FsaVerifyContainer", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT*) {
        FSA_VERIFY_REQUEST request = {};
        faPutLe32(request.bytes, 1);
        return FsaVerifyContainer2(handle, enable != 0 ? kVerifyStart : kVerifyStop, &request);
    });
}

extern "C" FSA_STATUS FsaVerifyContainer2(void* handle, int operation, const void* request)
{
    return FsaExportedCall("FsaVerifyContainer2", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return verify(ctx, handle, operation, static_cast<const FSA_VERIFY_REQUEST*>(request));
    });
}
