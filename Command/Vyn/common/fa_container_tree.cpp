// Container trees, the ending of background tasks and the partitions of
// phantom containers, used before a container is deleted.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container_intern.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace {

// The legacy container record: word 0 the member count, from word 5 one
// partition-table index per member.
constexpr unsigned kRecordBytes = 1152;
constexpr unsigned kRecMembers = 0;
constexpr unsigned kRecMemberIndex = 20;
constexpr uint32_t kRecMaxMembers = (kRecordBytes - kRecMemberIndex) / 4;

// A partition that stands for a member container: size 0 and a kind other
// than an extent's.
constexpr unsigned kParMemberContainer = 40;
constexpr unsigned kParKind = 48;
constexpr unsigned kParSize = 256;
constexpr uint32_t kKindExtent = 8;

constexpr uint32_t kNone = 0xFFFFFFFFu;
// The related containers of the information record, in the order their
// trees are gathered: morph source and destination, the three further
// relations, then the related container itself.
constexpr size_t kRelations[] = {CI_MORPH_SOURCE, CI_MORPH_DESTINATION, CI_FURTHER_1,
                                  CI_FURTHER_2,    CI_FURTHER_3,         CI_RELATED};
constexpr size_t kTreesAtMost = 8;
constexpr unsigned kTaskPauseMs = 1000;

constexpr FSA_STATUS kListFull = 5;
constexpr FSA_STATUS kNothingCleared = 11;
constexpr FSA_STATUS kOutOfMemory = 91;

// Task types stopped before a container goes: formats and snapshot updates.
bool stoppedBeforeDelete(uint32_t function)
{
    return function == FSA_TF_CTR_FORMAT_PRIMARY || function == FSA_TF_CTR_FORMAT_COMPACT ||
           function == FSA_TF_CTR_UPDATE_SNAPSHOT;
}

}  // namespace

uint32_t GetContainerTree(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t* list, uint32_t room)
{
    // A list without room for the container itself cannot hold its tree.
    if (room == 0)
        throw kListFull;
    uint8_t record[kRecordBytes] = {};
    uint32_t status = 0;
    uint32_t n = 0;
    if (CT_GetContainer(ctx, container, record, &status)) {
        const uint32_t members = std::min(faGetLe32(record + kRecMembers), kRecMaxMembers);
        for (uint32_t m = 0; m < members; ++m) {
            const uint32_t index = faGetLe32(record + kRecMemberIndex + 4 * m);
            if (index == 0)
                continue;
            Partition p{};
            CT_GetPartitionInMemory(ctx, index, &p);
            if (faGetLe64(p.bytes + kParSize) != 0 || faGetLe32(p.bytes + kParKind) == kKindExtent)
                continue;
            const uint32_t member = faGetLe32(p.bytes + kParMemberContainer);
            uint8_t memberRecord[kRecordBytes];
            uint32_t memberStatus = 0;
            if (!CT_GetContainer(ctx, member, memberRecord, &memberStatus))
                continue;
            // The container itself still needs its place at the end.
            if (n + 1 >= room)
                throw kListFull;
            list[n++] = member;
        }
    }
    list[n++] = container;
    return n;
}

void EndAllApiTasksOnContainer(FSAAPI_CONTEXT* ctx, uint32_t container, int stop)
{
    // The controller's member limit, bounded by the largest record there is.
    const uint32_t limit = std::min(memberLimit(ctx), FsaMemberCapacity(FSA_CONTAINER_INFO_EXTND_MAX, CI_MEMBERS));
    const uint32_t infoBytes = FSA_CONTAINER_INFO_MIN + static_cast<uint32_t>(sizeof(FSA_PARTITION)) * limit;
    std::unique_ptr<uint8_t[]> info(new (std::nothrow) uint8_t[infoBytes]());
    if (!info)
        throw kOutOfMemory;
    // The number and the context word name it; the information lookup works
    // from the number.
    tag_FSA_CONTAINER id{};
    id.number = container;
    id.adapterWord = ctx->adapterIdentityWord;
    const FSA_STATUS read =
        FsaGetContainerInfo(ctx->apiHandle, 0, &id, reinterpret_cast<FSA_CONTAINER_INFO*>(info.get()), infoBytes);
    if (read != FSA_STS_SUCCESS)
        throw read;
    if (stop == 0)
        return;

    // Up to eight trees (six relations, then for snapshot containers the
    // container and its first member), each of at most the member limit and
    // the container itself.
    const uint32_t perTree = limit + 1;
    std::vector<uint32_t> list(kTreesAtMost * perTree);
    uint32_t n = 0;
    auto addTree = [&](uint32_t number) {
        n += GetContainerTree(ctx, number, list.data() + n, static_cast<uint32_t>(list.size()) - n);
    };
    for (size_t at : kRelations)
        if (faGetLe32(info.get() + at) != kNone)
            addTree(faGetLe32(info.get() + at));
    const uint32_t type = faGetLe32(info.get() + CI_TYPE);
    if (type == 5 || type == 6) {
        addTree(container);
        addTree(faGetLe32(info.get() + CI_LEGACY_MEMBERS));
    }
    if (n == 0 && type != 5)
        addTree(container);

    FSA_TASK_DESCRIPTOR tasks[AIF_MAX_TASKS];
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t count = std::min(AIF_GetTaskListForContainer(ctx, list[i], tasks), AIF_MAX_TASKS);
        for (uint32_t t = 0; t < count; ++t) {
            if (!stoppedBeforeDelete(tasks[t].function))
                continue;
            if (FsaTask(ctx->apiHandle, tasks[t].taskId, 2) != FSA_STS_SUCCESS)
                continue;
            ctx->taskCallbackManager.WaitForTaskFinish(ctx, tasks[t].taskId);
            faos_Sleep(kTaskPauseMs);
        }
    }
}

FSA_STATUS deletePhantomContainerPartitions(void* handle, uint32_t container)
{
    return FsaExportedCall("deletePhantomContainerPartitions", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        CT_UpdateCache(ctx);
        // Containers the host can reach are never phantoms of this kind.
        if (container <= exposureLimit(ctx))
            return kNothingCleared;
        FAUX_AUTORELEASE_MUTEX lock(ctx->partitionCache->mutex);
        // Each clear reconfigures the controller and so rebuilds the cache:
        // the extents are taken from it before the first clear.
        struct Extent {
            int device;
            uint64_t start, length;
        };
        std::vector<Extent> extents;
        const FSA_PARTITION_CACHE* cache = ctx->partitionCache;
        for (uint32_t i = 0; cache->elements != nullptr && i < cache->count; ++i) {
            const uint8_t* e = cache->elements[i].bytes;
            if (faGetLe16(e + PART_FIRST_CONTAINER) == container || faGetLe16(e + PART_SECOND_CONTAINER) == container)
                extents.push_back({static_cast<int>(faGetLe32(e + PART_LOCATION)), faGetLe64(e + PART_START_64),
                                   faGetLe64(e + PART_LENGTH_64)});
        }
        for (const Extent& x : extents)
            CT_ClearDeadPartition(ctx, x.device, x.start, x.length);
        return extents.empty() ? kNothingCleared : static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

uint32_t memberLimit(const FSAAPI_CONTEXT* ctx) { return faGetLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS); }

uint32_t exposureLimit(const FSAAPI_CONTEXT* ctx)
{
    return faGetLe32(ctx->generalInfo.bytes + GI_MAX_ACCESSIBLE_CONTAINERS);
}
