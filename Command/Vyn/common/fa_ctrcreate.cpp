// Container creation requests, container numbers and the RAID-6 size.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

namespace {

constexpr unsigned CT_CREATE_CONTAINER_OLD = 124;
constexpr unsigned CT_CREATE_VOLUME_SET = 171;
constexpr unsigned CT_CREATE_STRIPE_SET = 172;
constexpr unsigned CT_CREATE_CONTAINER = 179;
constexpr unsigned CT_CREATE_CONTAINER_64 = 221;
constexpr unsigned CT_CREATE_LOGICAL_DRIVE = 237;

constexpr uint32_t kOpt1CreateContainer64 = 0x40000;
constexpr uint32_t kOpt2WideRaid10 = 0x10;

constexpr FSA_STATUS kNoMemory = 91;
constexpr FSA_STATUS kNoFreeContainer = 17;
constexpr FSA_STATUS kTooManyMembers = 24;
constexpr FSA_STATUS kNotFound = 11;
constexpr FSA_STATUS kWrongMirrorCount = 521;
constexpr FSA_STATUS kCreateRefused = 522;
constexpr FSA_STATUS kOddRaid10 = 523;
constexpr FSA_STATUS kOddMirrorVolume = 524;
constexpr FSA_STATUS kNoLegSplit = 543;
constexpr FSA_STATUS kFirmwareRefused = 610;
constexpr FSA_STATUS kSecondaryFailed = 210;

constexpr unsigned kSecondaryBytes = 520;
constexpr unsigned kRequestBytes = sizeof(CreateContainer);
constexpr unsigned kSizeHighAt = 1064;
constexpr unsigned kUnknownTypeLength = 424;
constexpr uint32_t kRaid50Stripe = 128;
constexpr unsigned kRecordMembers = 0;
constexpr unsigned kRecordFirstPartition = 20;
constexpr unsigned kRecordBytes = 1152;
constexpr uint64_t kBlock = 512;

bool isCreated(uint32_t status)
{
    static const uint32_t kCreated[] = {37, 112, 115, 131, 293, 297, 305, 337, 354, 368, 374};
    for (uint32_t s : kCreated)
        if (s == status)
            return true;
    return false;
}

FSAAPI_CONTEXT* contextOf(void* handle) { return UtilGetContextFromHandle(handle); }

void put64Split(uint8_t* req, unsigned lowAt, unsigned highAt, uint64_t value)
{
    faPutLe32(req + lowAt, static_cast<uint32_t>(value));
    faPutLe32(req + highAt, static_cast<uint32_t>(value >> 32));
}

uint32_t modeWord(int quick, int noBuild) { return noBuild != 0 ? 5 : (quick != 0 ? 3 : 0); }

// The slice and start block of one member extent.
struct Member {
    uint32_t slice;
    uint32_t start;
};

Member memberOf(FSAAPI_CONTEXT* ctx, const FSA_STORAGE_DEVICE_SPACE& space)
{
    const uint32_t handle = static_cast<uint32_t>(SCSI_GetInternalID(ctx, &space.device));
    const int slice = CT_GetSliceFromDriveHandle(ctx, handle, 1, nullptr);
    return {static_cast<uint32_t>(slice), CT_FindDiskOffset(static_cast<int64_t>(space.start))};
}

void putPair(uint8_t* req, unsigned at, const Member& m)
{
    faPutLe32(req + at, m.slice);
    faPutLe32(req + at + 4, m.start);
}

// Frees the request, and waits for the host to see a new container where the
// host announces arrivals, on every path out.
class CreateScope {
public:
    CreateScope(FSAAPI_CONTEXT* ctx, uint32_t container) : ctx_(ctx), container_(container)
    {
        req_ = static_cast<CreateContainer*>(std::calloc(1, sizeof(CreateContainer)));
        if (req_ == nullptr)
            throw kNoMemory;
    }
    ~CreateScope() { std::free(req_); }
    CreateScope(const CreateScope&) = delete;
    CreateScope& operator=(const CreateScope&) = delete;

    uint8_t* bytes() { return req_->bytes; }
    CreateContainer* request() { return req_; }

    void send(unsigned length)
    {
        CT_ContainerCreate(ctx_, req_, length);
        // No arrival window can be opened on this host: the longer fixed wait.
        if (IsHostWithDeviceNotifications(ctx_) && container_ < ctx_->maxAccessibleContainers)
            faos_Sleep(20000);
    }

private:
    FSAAPI_CONTEXT* ctx_;
    uint32_t container_;
    CreateContainer* req_ = nullptr;
};

// Fills the creation info and the common words of a request.
void stamp(FSAAPI_CONTEXT* ctx, uint8_t* req, uint32_t kind, uint32_t container, unsigned infoAt)
{
    faPutLe32(req, kind);
    faPutLe32(req + 4, container);
    _ContainerCreationInfo info;
    CT_GenCreateInfo(ctx, &info);
    std::memcpy(req + infoAt, info.bytes, sizeof info.bytes);
}

// The two-level request of RAID-50 (kind 14) and RAID-60 (kind 19).
void twoLevel(FSAAPI_CONTEXT* ctx, uint32_t kind, uint32_t container, uint32_t drivesPerLeg,
              const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n, uint32_t stripeBlocks, uint32_t mode,
              uint64_t size, CreateScope& scope)
{
    uint8_t* req = scope.bytes();
    constexpr unsigned kPairsAt = 40;
    if (n > (kSizeHighAt - kPairsAt) / 8)
        throw kTooManyMembers;
    const uint32_t legs = n / drivesPerLeg;
    CT_CheckMaxNumberOfPartitions(ctx, legs + n + 1);
    stamp(ctx, req, kind, container, 8);
    faPutLe16(req + 32, static_cast<uint16_t>(legs));
    faPutLe16(req + 34, static_cast<uint16_t>(drivesPerLeg));
    faPutLe32(req + 36, mode);
    faPutLe32(req + 28, stripeBlocks);
    put64Split(req, 24, kSizeHighAt, size);
    for (uint32_t i = 0; i < n; ++i)
        putPair(req, kPairsAt + 8 * i, memberOf(ctx, spaces[i]));
}

uint32_t legsOf(uint32_t n, uint32_t drivesPerLeg)
{
    if (drivesPerLeg == 0 || n % drivesPerLeg != 0 || n / drivesPerLeg < 2)
        throw kNoLegSplit;
    return n / drivesPerLeg;
}

// The legacy request of a current one; RAID-10 halves are read at the spacing
// the current request was built with.
void toLegacy(const uint8_t* req, uint8_t* legacy, unsigned raid10Spacing)
{
    const uint32_t kind = faGetLe32(req);
    faPutLe32(legacy, kind);
    auto body = [&](unsigned n) { std::memcpy(legacy + 4, req + 4, n); };
    switch (kind) {
    case 1: body(420); break;
    case 2: body(48); break;
    case 3: body(CREATE_LEGACY_BYTES - 4); break;
    case 4:
    case 15: body(168); break;
    case 10: {
        std::memcpy(legacy + 16, req + 16, 16);
        for (unsigned w : {1u, 2u, 3u, 8u, 9u})
            std::memcpy(legacy + 4 * w, req + 4 * w, 4);
        const uint32_t n = 2 * faGetLe32(req + 32);
        for (uint32_t i = 0; i < n && i < 32; ++i) {
            const uint32_t side = i & 1;
            std::memcpy(legacy + 40 + 8 * (side * 32 + i / 2), req + 40 + 8 * (side * raid10Spacing + i / 2), 8);
        }
        break;
    }
    case 12: {
        std::memcpy(legacy + 8, req + 8, 16);
        for (unsigned w : {1u, 6u, 7u})
            std::memcpy(legacy + 4 * w, req + 4 * w, 4);
        const uint32_t pairs = faGetLe32(req + 24);
        for (uint32_t h = 0; h < pairs && h < 32; ++h) {
            const uint8_t* rec = req + 32 + 16 * h;
            uint8_t* first = legacy + 32 + 12 * h;
            uint8_t* second = legacy + 416 + 12 * h;
            faPutLe32(first, faGetLe16(rec));
            faPutLe32(first + 4, faGetLe32(rec + 8));
            faPutLe32(first + 8, faGetLe32(rec + 4));
            faPutLe32(second, faGetLe16(rec + 2));
            faPutLe32(second + 4, faGetLe32(rec + 12));
            faPutLe32(second + 8, faGetLe32(rec + 4));
        }
        break;
    }
    default: break;
    }
}

// Pairs of a volume of mirrors whose second member's record still fits the
// legacy request.
constexpr uint32_t kLegacyMirrorPairs = (CREATE_LEGACY_BYTES - 416) / 12;
// The old request holds 16 mirror pairs of a RAID-10 (bytes 40 to 295 and
// 296 to 423).
constexpr uint32_t kLegacyRaid10Pairs = 16;

}  // namespace

FSA_STATUS CT_GenCreateInfo(FSAAPI_CONTEXT* ctx, _ContainerCreationInfo* out)
{
    FAOS_TIME_INFO t = {};
    faos_GetTime(0, &t);
    std::memset(out->bytes, 0, sizeof out->bytes);
    out->bytes[0] = 1;
    out->bytes[1] = 0;
    out->bytes[2] = 2;
    out->bytes[3] = static_cast<uint8_t>(t.year - 1900);
    faPutLe32(out->bytes + 4, CT_DateWord(t));
    uint32_t status = 0;
    return CT_SendReceiveFIB(ctx, CT_READ_SERIAL_NUMBER, &status, nullptr, nullptr, nullptr, 0, out->bytes + 8, 8, 1);
}

void CT_SetDateTimeInfo(VYNIO_CREATE_HEADER_S* header)
{
    FAOS_TIME_INFO t = {};
    faos_GetTime(0, &t);
    faPutLe32(header->bytes + VCH_DATE, CT_DateWord(t));
    faPutLe16(header->bytes + VCH_YEAR, static_cast<uint16_t>(t.year - 1900));
}

uint32_t CT_FindDiskOffset(int64_t bytes)
{
    if (bytes == -1)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(static_cast<uint64_t>(bytes) / kBlock);
}

FSA_STATUS CT_GetRaid6Size(void* adapterHandle, uint32_t n, uint64_t bytes, uint64_t* blocks)
{
    *blocks = 0;
    FSAAPI_CONTEXT* ctx = contextOf(adapterHandle);
    if (ctx == nullptr)
        return 9;
    // The layout tables hold 32 drive counts.
    if (n == 0 || n >= RAID6_OPT_MAX_ENTRIES)
        return FSA_STS_GENERAL_FAILURE;
    const bool second = (faGetLe32(ctx->raid6Options + RAID6_OPT_FLAGS) & RAID6_OPT_FLAG_RS) != 0;
    const uint8_t* entry = ctx->raid6Options + (second ? RAID6_OPT_RS_TABLE : RAID6_OPT_TABLE) + 4 * n;
    const uint64_t p = entry[1];
    const uint64_t d = faGetLe16(entry + 2);
    if (d + p == 0)
        return FSA_STS_GENERAL_FAILURE;
    // Whole MiB per drive; fewer strips than drives leaves no unit at all.
    const uint64_t unit = ((d + p) / n) * 2048;
    if (unit == 0)
        return FSA_STS_GENERAL_FAILURE;
    const uint64_t units = (bytes / kBlock) / unit;
    *blocks = d * unit * units * n / (d + p);
    return FSA_STS_SUCCESS;
}

void CT_ContainerCreate(FSAAPI_CONTEXT* ctx, CreateContainer* request, uint32_t length)
{
    const unsigned code =
        (FsaOptionWord1(ctx) & kOpt1CreateContainer64) != 0 ? CT_CREATE_CONTAINER_64 : CT_CREATE_CONTAINER;
    uint32_t status = 0;
    FSA_STATUS sent =
        CT_SendReceiveFIB(ctx, code, &status, nullptr, nullptr, request->bytes, length, nullptr, 0, 0);
    if (sent == FSA_STS_CT_BAD_STATUS) {
        std::unique_ptr<uint8_t[]> legacy(new (std::nothrow) uint8_t[CREATE_LEGACY_BYTES]());
        if (!legacy)
            throw kNoMemory;
        if (faGetLe32(request->bytes) == 12 && faGetLe32(request->bytes + 24) > kLegacyMirrorPairs)
            throw kTooManyMembers;
        if (faGetLe32(request->bytes) == 10 && faGetLe32(request->bytes + 32) > kLegacyRaid10Pairs)
            throw kTooManyMembers;
        const unsigned spacing = (FsaOptionWord2(ctx) & kOpt2WideRaid10) != 0 ? 64 : 24;
        toLegacy(request->bytes, legacy.get(), spacing);
        status = 0;
        sent = CT_SendReceiveFIB(ctx, CT_CREATE_CONTAINER_OLD, &status, nullptr, nullptr, legacy.get(),
                                 CREATE_LEGACY_BYTES, nullptr, 0, 0);
    }
    if (sent != FSA_STS_SUCCESS)
        throw kCreateRefused;
    if (status == 389)
        throw kFirmwareRefused;
    if (!isCreated(status))
        throw kCreateRefused;
}

void CT_CreateNewContainer(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t type,
                           const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n, uint32_t stripeBytes, int quick,
                           int noBuild)
{
    CreateScope scope(ctx, container);
    uint8_t* req = scope.bytes();
    const uint64_t memberBlocks = n != 0 ? spaces[0].length / kBlock : 0;
    const uint32_t stripe = stripeBytes / kBlock;
    const uint32_t mode = modeWord(quick, noBuild);
    uint64_t raid6Blocks = 0;
    if (type == 45 || type == 50) {
        const FSA_STATUS sized = CT_GetRaid6Size(ctx->apiHandle, n, n != 0 ? spaces[0].length : 0, &raid6Blocks);
        if (sized != FSA_STS_SUCCESS)
            throw sized;
    }
    // Members fill pairs of 8 bytes from `from` up to the next field at `room`.
    auto fits = [&](unsigned from, unsigned room, unsigned each, uint32_t count) {
        if (count > (room - from) / each)
            throw kTooManyMembers;
    };
    auto pairs = [&](unsigned from) {
        for (uint32_t i = 0; i < n; ++i)
            putPair(req, from + 8 * i, memberOf(ctx, spaces[i]));
    };
    unsigned length = kUnknownTypeLength;
    switch (type) {
    case 1:  // RAID-1
        if (n != 2)
            throw kWrongMirrorCount;
        CT_CheckMaxNumberOfPartitions(ctx, 2);
        stamp(ctx, req, 2, container, 16);
        faPutLe32(req + 12, mode);
        put64Split(req, 8, 48, memberBlocks);
        pairs(32);
        length = n * 8 + 32;
        break;
    case 40:  // RAID-1E
        if (n <= 2)
            throw kWrongMirrorCount;
        fits(44, 172, 8, n);
        CT_CheckMaxNumberOfPartitions(ctx, n);
        stamp(ctx, req, 17, container, 20);
        faPutLe32(req + 8, 0);
        faPutLe32(req + 40, mode);
        faPutLe32(req + 36, n);
        faPutLe32(req + 16, stripe);
        put64Split(req, 12, 172, n * memberBlocks / 2);
        pairs(44);
        length = n * 8 + 44;
        break;
    case 13: {  // RAID-10
        if (n % 2 != 0)
            throw kOddRaid10;
        const bool wide = (FsaOptionWord2(ctx) & kOpt2WideRaid10) != 0;
        const unsigned spacing = wide ? 64 : 24;
        if (n / 2 > spacing)
            throw kTooManyMembers;
        CT_CheckMaxNumberOfPartitions(ctx, n + 1);
        stamp(ctx, req, 10, container, 16);
        faPutLe32(req + 36, mode);
        faPutLe32(req + 32, n / 2);
        faPutLe32(req + 12, stripe);
        put64Split(req, 8, kSizeHighAt, memberBlocks * (n / 2));
        for (uint32_t i = 0; i < n; ++i)
            putPair(req, 40 + 8 * ((i % 2) * spacing + i / 2), memberOf(ctx, spaces[i]));
        length = n / 2 * 8 + (wide ? 552 : 232);
        break;
    }
    case 26: {  // RAID-50
        uint32_t perLeg = 0;
        for (uint32_t candidate : {3u, 5u, 9u})
            if (n % candidate == 0 && n / candidate >= 2)
                perLeg = candidate;
        if (perLeg == 0)
            throw kNoLegSplit;
        twoLevel(ctx, 14, container, perLeg, spaces, n, kRaid50Stripe, mode,
                 memberBlocks * (perLeg - 1) * (n / perLeg), scope);
        length = n * 8 + 40;
        break;
    }
    case 15: {  // volume of mirrors
        if (n % 2 != 0)
            throw kOddMirrorVolume;
        fits(32, kRequestBytes, 16, n / 2);
        CT_CheckMaxNumberOfPartitions(ctx, n + 1);
        stamp(ctx, req, 12, container, 8);
        faPutLe32(req + 28, mode);
        faPutLe32(req + 24, n / 2);
        for (uint32_t h = 0; h < n / 2; ++h) {
            const Member a = memberOf(ctx, spaces[2 * h]);
            const Member b = memberOf(ctx, spaces[2 * h + 1]);
            uint8_t* rec = req + 32 + 16 * h;
            faPutLe16(rec, static_cast<uint16_t>(a.slice));
            faPutLe16(rec + 2, static_cast<uint16_t>(b.slice));
            faPutLe32(rec + 4, static_cast<uint32_t>(spaces[2 * h].length / kBlock));
            faPutLe32(rec + 8, a.start);
            faPutLe32(rec + 12, b.start);
        }
        length = n / 2 * 16 + 32;
        break;
    }
    case 2:  // RAID-0
        fits(40, kSizeHighAt, 8, n);
        CT_CheckMaxNumberOfPartitions(ctx, n);
        stamp(ctx, req, 3, container, 16);
        faPutLe32(req + 36, mode);
        faPutLe32(req + 32, n);
        faPutLe32(req + 12, stripe);
        put64Split(req, 8, kSizeHighAt, memberBlocks * n);
        pairs(40);
        length = n * 8 + 40;
        break;
    case 3: {  // volume
        fits(36, 420, 12, n);
        CT_CheckMaxNumberOfPartitions(ctx, n);
        stamp(ctx, req, 1, container, 12);
        faPutLe32(req + 32, mode);
        faPutLe32(req + 28, n);
        uint64_t total = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const Member m = memberOf(ctx, spaces[i]);
            uint8_t* rec = req + 36 + 12 * i;
            faPutLe32(rec, m.slice);
            faPutLe32(rec + 4, m.start);
            faPutLe32(rec + 8, static_cast<uint32_t>(spaces[i].length / kBlock));
            total += spaces[i].length / kBlock;
        }
        put64Split(req, 8, 420, total);
        length = n * 12 + 36;
        break;
    }
    case 4:   // RAID-5
    case 34:  // RAID-5EE
    case 45: {  // RAID-6
        const unsigned high = type == 45 ? 296 : 168;
        fits(40, high, 8, n);
        CT_CheckMaxNumberOfPartitions(ctx, n);
        stamp(ctx, req, type == 4 ? 4 : (type == 34 ? 15 : 18), container, 20);
        faPutLe32(req + 16, mode);
        faPutLe32(req + 36, n);
        faPutLe32(req + 12, stripe);
        const uint64_t size =
            type == 45 ? raid6Blocks : memberBlocks * (n - (type == 4 ? 1 : 2));
        put64Split(req, 8, high, size);
        pairs(40);
        length = n * 8 + 40;
        break;
    }
    default: break;
    }
    if ((FsaOptionWord1(ctx) & kOpt1CreateContainer64) != 0)
        length = kRequestBytes;
    scope.send(length);
}

void CT_CreateRAID50(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t drivesPerLeg,
                     const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n, uint32_t stripeBytes, int quick, int noBuild)
{
    const uint32_t legs = legsOf(n, drivesPerLeg);
    CreateScope scope(ctx, container);
    const uint64_t memberBlocks = spaces[0].length / kBlock;
    twoLevel(ctx, 14, container, drivesPerLeg, spaces, n, stripeBytes / kBlock, modeWord(quick, noBuild),
             memberBlocks * (drivesPerLeg - 1) * legs, scope);
    scope.send((FsaOptionWord1(ctx) & kOpt1CreateContainer64) != 0 ? kRequestBytes : n * 8 + 40);
}

void CT_CreateRAID60(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t drivesPerLeg,
                     const FSA_STORAGE_DEVICE_SPACE* spaces, uint32_t n, uint32_t stripeBytes, int quick, int noBuild)
{
    const uint32_t legs = legsOf(n, drivesPerLeg);
    CreateScope scope(ctx, container);
    uint64_t legBlocks = 0;
    const FSA_STATUS sized = CT_GetRaid6Size(ctx->apiHandle, drivesPerLeg, spaces[0].length, &legBlocks);
    if (sized != FSA_STS_SUCCESS)
        throw sized;
    twoLevel(ctx, 19, container, drivesPerLeg, spaces, n, stripeBytes / kBlock, modeWord(quick, noBuild),
             legBlocks * legs, scope);
    scope.send((FsaOptionWord1(ctx) & kOpt1CreateContainer64) != 0 ? kRequestBytes : n * 8 + 40);
}

void CT_GenerateSecondary(FSAAPI_CONTEXT* ctx, uint32_t container, uint32_t type, const uint32_t* members,
                          uint32_t n, uint32_t sizeBytes)
{
    (void)container;
    if (n > (kSecondaryBytes - 8) / 4)
        throw kTooManyMembers;
    CT_CheckMaxNumberOfPartitions(ctx, 1);
    std::unique_ptr<uint8_t[]> req(new (std::nothrow) uint8_t[kSecondaryBytes]());
    if (!req)
        throw kNoMemory;
    faPutLe32(req.get(), n);
    faPutLe32(req.get() + 4, sizeBytes / static_cast<uint32_t>(kBlock));
    for (uint32_t i = 0; i < n; ++i)
        faPutLe32(req.get() + 8 + 4 * i, members[i]);
    unsigned code = 0;
    uint32_t wanted = 0;
    if (type == 2) {
        code = CT_CREATE_STRIPE_SET;
        wanted = 322;
    } else if (type == 3) {
        code = CT_CREATE_VOLUME_SET;
        wanted = 7;
    } else {
        throw kSecondaryFailed;
    }
    uint32_t status = 0;
    const FSA_STATUS sent = CT_SendReceiveFIB(ctx, code, &status, nullptr, nullptr, req.get(), n * 4 + 8, nullptr, 0, 0);
    if (sent != FSA_STS_SUCCESS || status != wanted)
        throw kSecondaryFailed;
}

FSA_STATUS CT_VynIoCreateLogicalDrive(FSAAPI_CONTEXT* ctx, VYNIO_CREATE_HEADER_S* header)
{
    const unsigned length =
        VynIoCreateRequestBytes(header->bytes[VCH_RAID_TYPE], faGetLe16(header->bytes + VCH_MEMBERS));
    uint32_t status = 0;
    FSA_STATUS sent = FSA_STS_SUCCESS;
    try {
        sent = CT_SendReceiveFIB(ctx, CT_CREATE_LOGICAL_DRIVE, &status, nullptr, nullptr, header->bytes, length,
                                 nullptr, 0, 0);
    } catch (FSA_STATUS thrown) {
        sent = thrown;
    }
    if (sent == FSA_STS_SUCCESS && isCreated(status)) {
        // The new drive's partitions are not in the cached layout yet.
        CT_InvalidateCache(ctx);
        return FSA_STS_SUCCESS;
    }
    return kCreateRefused;
}

FSA_STATUS CT_GetPartitionForContainer(FSAAPI_CONTEXT* ctx, uint32_t container, int lowerOnly, Partition* out,
                                       FSA_THROW_MODE mode)
{
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[kRecordBytes]());
    if (!record)
        return FSA_THROW(mode, kNoMemory);
    for (int depth = 0; depth < 2; ++depth) {
        uint32_t status = 0;
        std::memset(record.get(), 0, kRecordBytes);
        if (CT_GetContainer(ctx, container, record.get(), &status) == 0)
            return FSA_THROW(mode, kNotFound);
        uint32_t index = 0;
        const uint32_t members = faGetLe32(record.get() + kRecordMembers);
        for (uint32_t i = 0; i < members && kRecordFirstPartition + 4 * i + 4 <= kRecordBytes && index == 0; ++i)
            index = faGetLe32(record.get() + kRecordFirstPartition + 4 * i);
        if (index == 0)
            return FSA_THROW(mode, 128);
        CT_GetPartitionInMemory(ctx, index, out);
        const bool onContainer = faGetLe64(out->bytes + PART_START_64) == 0 &&
                                 faGetLe32(out->bytes + PART_FIRST_OWNER) != PART_OWNER_UNPLACED;
        if (!onContainer)
            return FSA_STS_SUCCESS;
        if (lowerOnly != 0 || depth == 1)
            return FSA_THROW(mode, 107);
        container = faGetLe32(out->bytes + PART_LOCATION);
        lowerOnly = 1;
    }
    return FSA_STS_SUCCESS;
}

int CT_PhantomOrRealExists(FSAAPI_CONTEXT* ctx, uint32_t container, int localOnly)
{
    if (CT_CheckConflicts(ctx, container) != 0)
        return 1;
    CT_UpdateCache(ctx);
    FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    if (cache == nullptr)
        return 0;
    FAUX_AUTORELEASE_MUTEX lock(cache->mutex);
    for (uint32_t i = 0; i < cache->count; ++i) {
        const FSA_PARTITION_CACHE_ELEMENT* e = &cache->elements[i];
        const uint8_t* b = e->bytes;
        const uint32_t kind = faGetLe32(b + PCE_KIND);
        if (kind == PCE_FREE || kind == PCE_FOREIGN_FREE)
            continue;
        if (faGetLe64(b + PART_START_64) == 0 && faGetLe32(b + PART_FIRST_OWNER) != PART_OWNER_UNPLACED)
            continue;
        if (localOnly != 0 && !LOCAL_ATTACHED(e))
            continue;
        const bool first = faGetLe16(b + PART_FIRST_CONTAINER) == container && faGetLe16(b + 56) != 0;
        const bool second = faGetLe16(b + PART_SECOND_CONTAINER) == container && faGetLe16(b + 76) != 0;
        const bool related = (b[54] != 0 || b[55] != 0) && (b[54] == container || b[55] == container);
        if (first || second || related)
            return 1;
    }
    return 0;
}

uint32_t CT_GetNextFreeContainer(FSAAPI_CONTEXT* ctx, int fromTop, int localOnly)
{
    const uint32_t highest = faGetLe32(ctx->generalInfo.bytes + GI_MAX_CONTAINER_NUMBER);
    for (uint32_t i = 0; i <= highest; ++i) {
        const uint32_t number = fromTop != 0 ? highest - i : i;
        if (CT_PhantomOrRealExists(ctx, number, localOnly) == 0)
            return number;
    }
    throw kNoFreeContainer;
}
