// Container information queries: single containers and container walks over
// the configuration model, the legacy record, and what a drive's partition
// belongs to.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/common/fa_wchar.h"
#include "Command/Vyn/os/faux_ctrprep.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kOpt3Model = 0x8;
constexpr uint32_t kWalkRunning = 0x1;
constexpr uint32_t kWalkRefreshed = 0x2;
constexpr FSA_STATUS kBufferTooSmall = 5;
constexpr FSA_STATUS kNoMorePartitions = 13;
constexpr FSA_STATUS kNoSuchContainer = 17;
constexpr uint32_t kOnlineStateOffline = 1;
constexpr uint32_t kFaultStateFailed = 3;
constexpr uint32_t kTypeUnknown = 22;
constexpr uint32_t kPartitionPlain = 1;
constexpr uint32_t kPartitionMirrored = 3;
constexpr uint32_t kPartitionOther = 4;

bool hasModel(FSAAPI_CONTEXT* ctx) { return (FsaOptionWord3(ctx) & kOpt3Model) != 0; }

void put(uint8_t* record, size_t offset, uint32_t value) { faPutLe32(record + offset, value); }

}  // namespace

// The context's model, read from the controller when no walk has built it yet.
FSA_STATUS CT_ModelOf(FSAAPI_CONTEXT* ctx, FsaVynIoAdapterConfig** model)
{
    if (ctx->vynIoConfig == nullptr) {
        const FSA_STATUS status = GetVynIoConfig(ctx);
        if (ctx->vynIoConfig == nullptr)
            return status != FSA_STS_SUCCESS ? status : FSA_STS_OUT_OF_MEMORY;
    }
    *model = ctx->vynIoConfig;
    return FSA_STS_SUCCESS;
}

// The first device of that number: top-level devices first, then the list of
// all devices, in which the legs of two-level arrays are found.
FsaVynIoLogDevInfo* CT_LogDevNumbered(const FsaVynIoAdapterConfig* model, uint32_t number)
{
    for (FsaVynIoLogDevInfo* l : model->topLevel())
        if (faGetLe32(l->record.bytes + LD_CONTAINER_NUM) == number)
            return l;
    for (FsaVynIoLogDevInfo* l : model->allLogDevs())
        if (faGetLe32(l->record.bytes + LD_CONTAINER_NUM) == number)
            return l;
    return nullptr;
}

void FsaInitContainerInfo(FSA_CONTAINER_INFO_EXTND* info)
{
    static const size_t kNoneWords[] = {104, 116, 128, 140, 152, 164, 180, 196, 224};
    static const size_t kZeroWords[] = {36,  44,  64,  96,  100, 176, 212, 216, 220, 236, 240,
                                        244, 248, 252, 256, 416, 472, 476, 492, 496, 500, 504};
    for (size_t offset : kNoneWords)
        put(info->bytes, offset, kNone);
    put(info->bytes, CI_USAGE, 3);
    for (size_t offset : kZeroWords)
        put(info->bytes, offset, 0);
}

void DebugPrintContainerInfo(const char* label, FSA_CONTAINER_INFO_EXTND* info)
{
    FsaDebugPrintf("%s: container %u type %u usage %u members %u\n", label, faGetLe32(info->bytes + CI_NUMBER),
                   faGetLe32(info->bytes + CI_TYPE), faGetLe32(info->bytes + CI_USAGE),
                   faGetLe32(info->bytes + CI_MEMBER_COUNT));
}

FSA_STATUS FsaNewGetMostContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                       FSA_CONTAINER_INFO_EXTND* info, uint32_t size)
{
    if (info == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaNewGetMostContainerInfo2", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (size < FSA_CONTAINER_INFO_EXTND_MIN)
            return static_cast<FSA_STATUS>(kBufferTooSmall);
        FsaInitContainerInfo(info);
        uint64_t number = 0;
        if (container == nullptr) {
            if (!next)
                return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        } else {
            number = static_cast<uint64_t>(container->number) + (next ? 1 : 0);
        }
        FsaVynIoAdapterConfig* model = nullptr;
        const FSA_STATUS status = CT_ModelOf(ctx, &model);
        if (status != FSA_STS_SUCCESS)
            return status;
        FsaVynIoLogDevInfo* found = nullptr;
        for (; number < ctx->maxContainerCount; ++number) {
            found = CT_LogDevNumbered(model, static_cast<uint32_t>(number));
            if (found != nullptr || !next)
                break;
        }
        if (found == nullptr)
            return kNoSuchContainer;
        const uint8_t* r = found->record.bytes;
        if (faGetLe32(r + LD_ONLINE_STATE) == kOnlineStateOffline || faGetLe32(r + LD_FAULT_STATE) == kFaultStateFailed)
            CT_ConvertCtrInfo(ctx, &found->record, info, size);
        else
            CT_ConvertOnlineCtrInfo(ctx, found, info, size);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

FSA_STATUS FsaGetMostContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                    FSA_CONTAINER_INFO_EXTND* info, uint32_t size)
{
    return FsaExportedCall("FsaGetMostContainerInfo2", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (size < FSA_CONTAINER_INFO_EXTND_MIN)
            return kBufferTooSmall;
        // Without the model the controller describes its containers nowhere
        // this library reads; a walk must not take that for success.
        if (!hasModel(ctx))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        return FsaNewGetMostContainerInfo2(handle, next, container, info, size);
    });
}

FSA_STATUS FsaGetExtendedInfo2(void* handle, int, const tag_FSA_CONTAINER*, FSA_CONTAINER_INFO_EXTND* info, uint32_t)
{
    return FsaExportedCall("FsaGetExtendedInfo2", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (info != nullptr) {
            char name[64] = {};
            FA_wcstombs(name, ctx->adapterName, sizeof name - 1);
            FA_strlwr(name);
            faos_ContainerSpecialFile(handle, name, reinterpret_cast<char*>(info->bytes + CI_FILE_NAME),
                                      faGetLe32(info->bytes + CI_NUMBER));
        }
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

FSA_STATUS FsaGetExtendedInfo(void* handle, int next, const tag_FSA_CONTAINER* container, FSA_CONTAINER_INFO* info,
                              uint32_t size)
{
    // The file name and the container number sit at the same bytes in both forms.
    return FsaGetExtendedInfo2(handle, next, container, reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(info), size);
}

FSA_STATUS FsaGetContainerInfo2(void* handle, int next, const tag_FSA_CONTAINER* container,
                                FSA_CONTAINER_INFO_EXTND* info, uint32_t size)
{
    if (info == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaGetContainerInfo2", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (!next) {
            ctx->walkWord &= ~kWalkRunning;
        } else {
            ctx->walkWord |= kWalkRunning;
            // A walk that starts over at container 0 re-reads the PPI table
            // once; a null cursor leaves that as it was.
            if (container != nullptr && container->number == 0)
                ctx->walkWord &= ~kWalkRefreshed;
        }
        const FSA_STATUS status = FsaGetMostContainerInfo2(handle, next, container, info, size);
        if (status == FSA_STS_SUCCESS)
            FsaGetExtendedInfo2(handle, next, container, info, size);
        return status;
    });
}

FSA_STATUS FsaGetMostContainerInfo(void* handle, int next, const tag_FSA_CONTAINER* container,
                                   FSA_CONTAINER_INFO* info, uint32_t size)
{
    if (info == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaGetMostContainerInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (size < FSA_CONTAINER_INFO_MIN)
            return kBufferTooSmall;
        // Room for the controller's largest container, never beyond the
        // largest extended record.
        const uint64_t members = faGetLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS);
        const uint32_t workSize = static_cast<uint32_t>(
            std::min<uint64_t>(members * sizeof(FSA_PARTITION) + FSA_CONTAINER_INFO_EXTND_MIN, FSA_CONTAINER_INFO_EXTND_MAX));
        std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[FSA_CONTAINER_INFO_EXTND_MAX]());
        if (!work)
            return static_cast<FSA_STATUS>(FSA_STS_OUT_OF_MEMORY);
        FSA_CONTAINER_INFO_EXTND* extended = reinterpret_cast<FSA_CONTAINER_INFO_EXTND*>(work.get());
        const FSA_STATUS status = FsaGetMostContainerInfo2(handle, next, container, extended, workSize);
        if (status != FSA_STS_SUCCESS)
            return status;
        std::memcpy(info->bytes, work.get(), CI_LEGACY_MEMBERS);
        std::strncpy(reinterpret_cast<char*>(info->bytes + CI_NAME), reinterpret_cast<const char*>(work.get() + CI_NAME),
                     CI_NAME_BYTES);
        const uint64_t count = faGetLe32(work.get() + CI_MEMBER_COUNT);
        if (count * sizeof(FSA_PARTITION) + CI_LEGACY_MEMBERS > size)
            return kBufferTooSmall;
        // Only the members the work record could hold were filled.
        const uint64_t filled = std::min<uint64_t>(count, FsaMemberCapacity(workSize, CI_MEMBERS));
        std::memcpy(info->bytes + CI_LEGACY_MEMBERS, work.get() + CI_MEMBERS, filled * sizeof(FSA_PARTITION));
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

FSA_STATUS FsaGetContainerInfo(void* handle, int next, const tag_FSA_CONTAINER* container, FSA_CONTAINER_INFO* info,
                               uint32_t size)
{
    return FsaExportedCall("FsaGetContainerInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT*) {
        const FSA_STATUS status = FsaGetMostContainerInfo(handle, next, container, info, size);
        if (status == FSA_STS_SUCCESS)
            FsaGetExtendedInfo(handle, next, container, info, size);
        return status;
    });
}

FSA_STATUS FsaNewGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition, FSA_PARTITION_INFO* info)
{
    if (partition == nullptr || info == nullptr)
        return FSA_STS_BAD_PARAMETER;
    return FsaExportedCall("FsaNewGetFsaPartitionInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (next)
            return kNoMorePartitions;
        FsaVynIoAdapterConfig* model = nullptr;
        const FSA_STATUS status = CT_ModelOf(ctx, &model);
        if (status != FSA_STS_SUCCESS)
            return status;
        const uint8_t* p = partition->bytes;
        const uint8_t bus = p[FSA_PARTITION_DEVICE + 4];
        const uint8_t target = p[FSA_PARTITION_DEVICE + 5];
        const uint8_t lun = p[FSA_PARTITION_DEVICE + 6];
        const uint64_t start = faGetLe64(p + FSA_PARTITION_OFFSET) / 512;
        const uint64_t blocks = faGetLe64(p + FSA_PARTITION_LENGTH) / 512;
        const FsaVynIoPhyDevInfo* drive = nullptr;
        for (const FsaVynIoPhyDevInfo* d : model->phyDevs()) {
            const uint8_t* r = d->record.bytes;
            if (faGetLe32(r + PD_BUS) == bus && faGetLe32(r + PD_TARGET) == target && faGetLe64(r + PD_LUN) == lun) {
                drive = d;
                break;
            }
        }
        const FsaVynIoSegmentInfo* segment = nullptr;
        if (drive != nullptr) {
            for (const FsaVynIoSegmentInfo* s : drive->segments) {
                if (faGetLe64(s->record.bytes + SEG_START) == start && faGetLe64(s->record.bytes + SEG_BLOCKS) == blocks) {
                    segment = s;
                    break;
                }
            }
        }
        uint8_t* out = info->bytes;
        put(out, PI_READ_ONLY, 0);
        put(out, PI_BAD_BLOCK_COUNT, 0);
        if (segment == nullptr) {
            put(out, PI_PARTITION_TYPE, kPartitionOther);
            put(out, PI_PRIMARY_CONTAINER_TYPE, kTypeUnknown);
            put(out, PI_PRIMARY_CONTAINER, kNone);
            put(out, PI_PRIMARY_CONTAINER + 4, kNone);
            put(out, PI_MIRROR_SLAVE_SPACE, 0);
            return kNoMorePartitions;
        }
        std::memcpy(out + PI_PARTITION, p, sizeof(FSA_PARTITION));
        const uint32_t flags = faGetLe32(segment->record.bytes + SEG_FLAGS);
        put(out, PI_PARTITION_TYPE, (flags & 0x2) ? kPartitionMirrored : (flags & 0x4) ? kPartitionOther : kPartitionPlain);
        const FsaVynIoLogDevInfo* owner = segment->logDev;
        put(out, PI_PRIMARY_CONTAINER_TYPE,
            owner != nullptr ? CT_ConvertVynIoLogDevType(faGetLe32(owner->record.bytes + LD_RAID_TYPE)) : kTypeUnknown);
        put(out, PI_PRIMARY_CONTAINER, owner != nullptr ? faGetLe32(owner->record.bytes + LD_CONTAINER_NUM) : kNone);
        put(out, PI_PRIMARY_CONTAINER + 4, owner != nullptr ? faGetLe32(owner->record.bytes + LD_UID) : kNone);
        put(out, PI_PRIMARY_CONTAINER + 8, ctx->adapterIdentityWord);
        put(out, PI_MIRROR_SLAVE_SPACE, faGetLe16(segment->record.bytes + SEG_MEMBER_INDEX) == 0 ? 1 : 0);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

FSA_STATUS FsaGetFsaPartitionInfo(void* handle, int next, const FSA_PARTITION* partition, FSA_PARTITION_INFO* info)
{
    return FsaExportedCall("FsaGetFsaPartitionInfo", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        if (!hasModel(ctx))
            return static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        return FsaNewGetFsaPartitionInfo(handle, next, partition, info);
    });
}
