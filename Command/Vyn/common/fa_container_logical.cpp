// Logical-drive creation in one firmware request, committing the
// configuration, re-reading the partition cache, forcing a failed container
// online and a container's power-management timers.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_container.h"
#include "Command/Vyn/common/fa_container_intern.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/os/faux_char.h"
#include "Command/Vyn/os/faux_misc.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr FSA_STATUS kTooManyElements = 24;
constexpr FSA_STATUS kTooManyPartitions = 89;
constexpr FSA_STATUS kTooFewPartitions = 90;
constexpr FSA_STATUS kNoMemory = 91;
// Creations refused for a number another process took meanwhile, at most.
constexpr int kTakenNumberRetries = 8;

constexpr uint64_t kBlock = 512;
constexpr uint32_t kHighestTypeCode = 14;
constexpr uint32_t kInitRefused = 16;
constexpr uint32_t kHighestInitCode = 4;
constexpr uint32_t kHighestExtra = 4;

// Header fields of the creation request beyond those the container layer names.
constexpr unsigned kHdrVersion = 0;
constexpr unsigned kHdrInit = 1;
constexpr unsigned kHdrOption1 = 2;
constexpr unsigned kHdrOption2 = 3;
constexpr unsigned kHdrPriority = 10;
constexpr unsigned kHdrStripe = 26;
constexpr unsigned kHdrLegs = 28;
constexpr unsigned kHdrUsable = 32;
constexpr unsigned kHdrName = 40;
constexpr unsigned kHdrNameBytes = 16;
constexpr unsigned kHdrOption3 = 56;
constexpr unsigned kHdrOption4 = 57;
constexpr unsigned kHdrOption5 = 58;
constexpr unsigned kHeaderBytes = sizeof(VYNIO_CREATE_HEADER_S);

// Option word 3 bit 15: the controller takes the write-cache preference and
// policy bytes. Flags word bit 8 (dynamic property 24): the SSD cache pool
// serves writes.
constexpr uint32_t kOpt3WriteCachePolicy = 1u << 15;
constexpr uint32_t kFlagsPoolWrites = 1u << 8;

// Force online (container configuration request 224).
constexpr uint32_t kClassContainerConfig = 2;
constexpr uint32_t kForceOnline = 224;
constexpr uint16_t kForceOnlineSize = 464;
constexpr unsigned kFibBytes = 512;
constexpr unsigned kPayload = 32;

// What each type code needs: its fewest members and the partitions it takes
// per drive beyond the member count (`legs` adds the leg count).
struct TypeRule {
    uint32_t minMembers;
    uint32_t extraPartitions;
    bool legs;
    bool checked;
};

TypeRule ruleOf(uint32_t type)
{
    switch (type) {
    case 0: return {0, 0, false, false};
    case 1: return {0, 0, false, true};
    case 2:
    case 3: return {2, 0, false, true};
    case 4: return {4, 1, false, true};
    case 5: return {3, 0, false, true};
    case 6: return {5, 1, false, true};
    case 7: return {3, 0, false, true};
    case 8: return {6, 1, true, true};
    case 9: return {4, 0, false, true};
    case 10: return {8, 1, true, true};
    case 11:
    case 13: return {4, 0, false, true};
    case 12:
    case 14: return {8, 1, true, true};
    default: return {0, 0, false, false};
    }
}

bool isRaid6(uint32_t type) { return type >= 11 && type <= kHighestTypeCode; }
bool isSplitRaid6(uint32_t type) { return type == 12 || type == 14; }

uint32_t typeCode(uint32_t type) { return type <= kHighestTypeCode ? type : 0; }

// Usable blocks of the new drive; S the members' sum, m the first member's.
uint64_t usableBlocks(uint32_t type, uint32_t legs, uint64_t sum, uint64_t first, uint64_t raid6)
{
    // Members that cannot hold their own parity give nothing rather than a
    // size wrapped round.
    const auto less = [sum](uint64_t parity) { return parity < sum ? sum - parity : 0; };
    switch (type) {
    case 3:
    case 4:
    case 5:
    case 6: return sum / 2;
    case 7:
    case 8: return less(uint64_t{legs} * first);
    case 9:
    case 10: return less(2 * first);
    case 11:
    case 12:
    case 13:
    case 14: return raid6;
    default: return sum;
    }
}

// After a refused creation: re-reads the controller's layout and, when
// `number` has been taken since (by another process), gives the lowest free
// number in `next`. False when the number is still free (the refusal had
// another cause) or no number is free.
bool nextFreeIfTaken(FSAAPI_CONTEXT* ctx, uint32_t number, uint32_t* next)
{
    CT_InvalidateCache(ctx);
    try {
        if (CT_PhantomOrRealExists(ctx, number, 1) == 0)
            return false;
        *next = CT_GetNextFreeContainer(ctx, 0, 1);
    } catch (FSA_STATUS) {
        return false;
    }
    return *next != number;
}

FSA_STATUS createLogicalDrive(FSAAPI_CONTEXT* ctx, void* handle, tag_FSA_CONTAINER* out, uint32_t type,
                              const char* name, uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                              uint32_t chunkBytes, const uint32_t* options, uint32_t init, uint32_t priority,
                              uint32_t extra)
{
    if (count != 0 && spaces == nullptr)
        return FSA_STS_BAD_PARAMETER;
    const bool arrivalNotices = IsHostWithDeviceNotifications(ctx);
    PCK_ValidateUserChunkSize(ctx, &chunkBytes);
    if (count > faGetLe32(ctx->generalInfo.bytes + GI_MAX_LD_MEMBERS))
        return kTooManyElements;
    // The request travels in one container command: one that cannot carry
    // every member is refused rather than cut.
    const unsigned recordBytes = typeCode(type) == 1 ? 20 : 12;
    const uint64_t requestBytes = kHeaderBytes + uint64_t{count} * recordBytes + kHeaderBytes;
    if (requestBytes > CT_MAX_INPUT)
        return kTooManyElements;
    uint32_t accessible = 0;
    uint32_t partitionLimit = 0;
    CT_GetContainerCount(ctx, &accessible, &partitionLimit);
    if (static_cast<uint64_t>(CT_GetPartitionTableSize(ctx)) + count > partitionLimit)
        return kTooManyPartitions;
    uint32_t number = CT_GetNextFreeContainer(ctx, 0, 1);
    PCK_ValidateFreeSpace(ctx, spaces, count, 0);

    const TypeRule rule = ruleOf(type);
    if (count < rule.minMembers)
        return kTooFewPartitions;
    // Legs split the members of a two-level RAID-6; none leaves no split.
    if (isSplitRaid6(type) && legs == 0)
        return FSA_STS_BAD_PARAMETER;
    if (rule.checked)
        CT_CheckMaxNumberOfPartitions(ctx, count + rule.extraPartitions + (rule.legs ? legs : 0));
    uint64_t raid6 = 0;
    if (isRaid6(type)) {
        const uint32_t perLeg = isSplitRaid6(type) ? count / legs : count;
        const FSA_STATUS sized = CT_GetRaid6Size(handle, perLeg, count != 0 ? spaces[0].length : 0, &raid6);
        if (sized != FSA_STS_SUCCESS)
            return sized;
        if (isSplitRaid6(type))
            raid6 *= legs;
    }

    if (init == kInitRefused)
        return FSA_STS_BAD_PARAMETER;
    const uint8_t initCode = init <= kHighestInitCode ? static_cast<uint8_t>(init) : 0;

    const uint32_t word0 = options != nullptr ? options[0] : 0;
    const uint32_t word1 = options != nullptr ? options[1] : 0;
    const uint32_t word2 = options != nullptr ? options[2] : 0;
    const uint32_t word3 = options != nullptr ? options[3] : 0;
    uint8_t option1 = 0;
    uint8_t option3 = 0;
    if (word0 & 1) {
        option1 = 1;
        if (word2 & 1) {
            FSA_GENERAL_INFO2 refreshed = {};
            FsaGetGeneralInformation2Ex(handle, 0, &refreshed);
            if (faGetLe32(ctx->generalInfo.bytes + GI_FURTHER_FLAGS) & kFlagsPoolWrites)
                option3 = 1;
            else
                option1 = 2;
        }
    }
    const uint8_t option2 = (word1 & 1) ? 1 : ((word1 & 2) ? 2 : 0);
    const bool policyBytes = (FsaOptionWord3(ctx) & kOpt3WriteCachePolicy) != 0;

    std::unique_ptr<uint8_t, decltype(&std::free)> request(static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(requestBytes))),
                                                           &std::free);
    if (!request)
        return kNoMemory;
    uint8_t* req = request.get();
    const uint8_t code = static_cast<uint8_t>(typeCode(type));
    req[kHdrVersion] = 1;
    req[kHdrInit] = initCode;
    req[kHdrOption1] = option1;
    req[kHdrOption2] = option2;
    req[VCH_RAID_TYPE] = code;
    faPutLe16(req + kHdrPriority, static_cast<uint16_t>(priority <= 1 ? priority : 2));
    faPutLe32(req + VCH_CONTAINER, number);
    CT_SetDateTimeInfo(reinterpret_cast<VYNIO_CREATE_HEADER_S*>(req));
    faPutLe16(req + kHdrStripe, static_cast<uint16_t>(chunkBytes / kBlock));
    faPutLe16(req + kHdrLegs, static_cast<uint16_t>(legs == 1 ? 0 : legs));
    faPutLe16(req + VCH_MEMBERS, static_cast<uint16_t>(count));
    // Sixteen characters, no terminator added; nothing is read past one.
    if (name != nullptr)
        std::memcpy(req + kHdrName, name, strnlen(name, kHdrNameBytes));
    req[kHdrOption3] = option3;
    req[kHdrOption4] = policyBytes && (word3 & 1) ? 1 : 0;
    req[kHdrOption5] = policyBytes && extra <= kHighestExtra ? static_cast<uint8_t>(extra) : 0;

    uint64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const FSA_STORAGE_DEVICE& d = spaces[i].device;
        const uint64_t blocks = spaces[i].length / kBlock;
        uint8_t* record = req + kHeaderBytes + i * recordBytes;
        faPutLe32(record, uint32_t{d.busNumber} << 24 | uint32_t{d.lun} << 16 | d.targetId);
        faPutLe64(record + 4, spaces[i].start / kBlock);
        if (code == 1)
            faPutLe64(record + 12, blocks);
        sum += blocks;
    }
    const uint64_t first = count != 0 ? spaces[0].length / kBlock : 0;
    faPutLe64(req + kHdrUsable, usableBlocks(type, legs, sum, first, raid6));

    FSA_STATUS status = CT_VynIoCreateLogicalDrive(ctx, reinterpret_cast<VYNIO_CREATE_HEADER_S*>(req));
    // The number came from this session's view of the configuration; another
    // process may have created a container under it since. Such a refusal is
    // asked again with the number that is free now.
    for (int retry = 0; status != FSA_STS_SUCCESS && retry < kTakenNumberRetries; ++retry) {
        uint32_t next = number;
        if (!nextFreeIfTaken(ctx, number, &next))
            break;
        number = next;
        faPutLe32(req + VCH_CONTAINER, number);
        status = CT_VynIoCreateLogicalDrive(ctx, reinterpret_cast<VYNIO_CREATE_HEADER_S*>(req));
    }
    // The session's model of logical devices must know the new one, or the
    // next operation on it in this session finds no such container.
    if (status == FSA_STS_SUCCESS)
        RefreshConfigurationModel(ctx);
    // No arrival window can be opened on this host: the longer fixed wait
    // before the host looks for the new disk.
    if (arrivalNotices && init != 1 && number < ctx->maxAccessibleContainers)
        faos_Sleep(20000);
    request.reset();

    if (!(arrivalNotices && init == 1) && number < ctx->maxAccessibleContainers) {
        const FSA_STATUS exposed = FsaExposeCtrToOs(handle, static_cast<int>(number), init == 4 ? 1 : 0);
        if (exposed != FSA_STS_SUCCESS)
            return exposed;
    }
    if (out != nullptr)
        CT_GetStandardID(ctx, out, number);
    return status;
}

FSA_STATUS forceOnline(FSAAPI_CONTEXT* ctx, const tag_FSA_CONTAINER* container, uint32_t mode, uint32_t flags)
{
    if (mode == 0 || container == nullptr)
        return FSA_STS_BAD_PARAMETER;
    if (ctx->containerList[1] == nullptr)
        CT_GetContainerList(ctx, 1);
    const uint32_t age = ctx->containerList[1] != nullptr ? faGetLe32(ctx->containerList[1]) : 0;

    alignas(_FIB) uint8_t fib[kFibBytes];
    faBuildFib(fib, sizeof fib, 500, kForceOnlineSize);
    const uint32_t words[] = {kClassContainerConfig, kForceOnline, container->number, container->uniqueId,
                              mode, flags, age};
    for (size_t i = 0; i < sizeof words / sizeof words[0]; ++i)
        faPutLe32(fib + kPayload + 4 * i, words[i]);
    const FSA_STATUS sent = FsaInternalSendReceiveFib(ctx, faAsFib(fib), 0, kFibBytes);
    if (sent != FSA_STS_SUCCESS)
        return sent;
    if (faGetLe32(fib + kPayload) != 0)
        return FSA_STS_CT_BAD_STATUS;
    if (faGetLe32(fib + kPayload + 4) != kForceOnline)
        return FSA_STS_CT_BAD_RESPONSE;
    switch (faGetLe32(fib + kPayload + 8)) {
    case 287: return FSA_STS_SUCCESS;
    case 393: return 11;
    case 390: return 613;
    case 391: return 612;
    case 392: return 614;
    case 394: return 618;
    case 395: return 616;
    case 396: return 615;
    case 397: return 617;
    default: return FSA_STS_GENERAL_FAILURE;
    }
}

}  // namespace

extern "C" FSA_STATUS FsaCreateLogicalDrive(void* handle, tag_FSA_CONTAINER* out, uint32_t type, const char* name,
                                            uint32_t legs, uint32_t count, const FSA_STORAGE_DEVICE_SPACE* spaces,
                                            uint32_t chunkBytes, const uint32_t* options, uint32_t init,
                                            uint32_t priority, uint32_t extra)
{
    return FsaExportedCall("FsaCreateLogicalDrive", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return createLogicalDrive(ctx, handle, out, type, name, legs, count, spaces, chunkBytes, options, init,
                                  priority, extra);
    });
}

extern "C" FSA_STATUS FsaCommitDriveConfiguration(void* handle)
{
    return FsaExportedCall("FsaCommitDriveConfiguration", handle, FSA_READ_WRITE_ROUTINE, [](FSAAPI_CONTEXT* ctx) {
        CT_CommitConfig(ctx);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaForcePartitionCacheUpdate(void* handle)
{
    return FsaExportedCall("FsaForcePartitionCacheUpdate", handle, FSA_READ_ONLY_ROUTINE, [](FSAAPI_CONTEXT* ctx) {
        CT_InvalidateCache(ctx);
        CT_UpdateCache(ctx);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaContainerForceOnline(void* handle, const tag_FSA_CONTAINER* container, uint32_t mode,
                                              uint32_t flags)
{
    return FsaExportedCall("FsaContainerForceOnline", handle, FSA_READ_WRITE_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        return forceOnline(ctx, container, mode, flags);
    });
}

extern "C" FSA_STATUS FsaContainerSetPowerManagement(void* handle, const tag_FSA_CONTAINER* container,
                                                     uint32_t enable, uint32_t timer1, uint32_t timer2,
                                                     uint32_t timer3)
{
    return FsaExportedCall("FsaContainerSetPowerManagement", handle, FSA_READ_WRITE_ROUTINE,
                           [&](FSAAPI_CONTEXT* ctx) {
                               if (container == nullptr)
                                   return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
                               PM_CONFIG_DATA_S config = {};
                               const uint32_t words[] = {1, enable != 0 ? 1u : 0u, timer1, timer2, timer3};
                               for (size_t i = 0; i < sizeof words / sizeof words[0]; ++i)
                                   faPutLe32(config.bytes + 4 * i, words[i]);
                               return CT_SetPowerManagement(ctx, container->number, &config);
                           });
}
