#include "Command/Vyn/common/fa_vynio.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kHandleListBytes = 4 + 4 * VYNIO_MAX_PHYDEVS;
constexpr size_t kIoBufferBytes = 4096;
constexpr uint32_t kOpt3NewConfig = 0x8;
constexpr FSA_STATUS kNotFound = 12;
// Reads of a configuration that keeps changing under them, at most.
constexpr int kConfigReads = 4;

// Container statuses of the reader's commands.
FSA_STATUS mapStatus(uint32_t status, bool logDevRead)
{
    if (status == CT_STS_NEW_SUCCESS)
        return FSA_STS_SUCCESS;
    if (status == 219)
        return kNotFound;
    if (status < 220)
        return FSA_STS_CT_BAD_STATUS;
    if (status == 226)
        return logDevRead ? FSA_STS_GENERAL_FAILURE : FSA_STS_CT_BAD_STATUS;
    return FSA_STS_SUCCESS;
}

// One reader command: the transport throws, the container status is mapped.
FSA_STATUS send(FSAAPI_CONTEXT* ctx, unsigned command, uint32_t param, void* out, unsigned outLen, bool logDevRead)
{
    try {
        uint32_t p0 = param;
        uint32_t p1 = 0;
        uint32_t p2 = 0;
        CT_SendReceiveFIB(ctx, command, &p0, &p1, &p2, nullptr, 0, out, outLen, 1);
        return mapStatus(p0, logDevRead);
    } catch (FSA_STATUS status) {
        return status;
    }
}

}  // namespace

FsaVynIoSegmentInfo::FsaVynIoSegmentInfo(const VYNIO_SEGMENT64_INFO_S& r, FsaVynIoLogDevInfo* owner)
    : record(r), logDev(owner)
{
}

uint32_t FsaVynIoSegmentInfo::handle() const { return faGetLe32(record.bytes); }
uint32_t FsaVynIoPhyDevInfo::handle() const { return faGetLe32(record.bytes + 8); }
uint32_t FsaVynIoLogDevInfo::handle() const { return faGetLe32(record.bytes + VYNIO_LOGDEV_HANDLE); }
uint32_t FsaVynIoLogDevInfo::parent() const { return faGetLe32(record.bytes + VYNIO_LOGDEV_PARENT); }

FsaVynIoLogDevInfo::~FsaVynIoLogDevInfo()
{
    for (FsaVynIoSegmentInfo* s : segments)
        delete s;
}

int FsaVynIoSegmentInfo::FindPhyDevInfo(FsaVynIoAdapterConfig* config)
{
    FsaApiEntryExit scope("FsaVynIoSegmentInfo::FindPhyDevInfo");
    phyDev = config->findPhyDev(handle());
    if (phyDev != nullptr)
        phyDev->AppendSegment(this);
    return 1;
}

FsaVynIoAdapterConfig::~FsaVynIoAdapterConfig()
{
    DeleteAll();
    std::free(handleList_);
    std::free(ioBuffer_);
}

void FsaVynIoAdapterConfig::DeleteAll()
{
    for (FsaVynIoPhyDevInfo* p : phyDevs_)
        delete p;
    for (FsaVynIoLogDevInfo* l : allLogDevs_)
        delete l;
    phyDevs_.clear();
    topLevel_.clear();
    allLogDevs_.clear();
    phyByHandle_.clear();
    firstByAddress_.clear();
    addressesIndexed_ = 0;
}

int FsaVynIoAdapterConfig::AllocIoBuffer()
{
    if (ioBuffer_ == nullptr)
        ioBuffer_ = static_cast<uint8_t*>(std::calloc(1, kIoBufferBytes));
    return ioBuffer_ != nullptr ? 1 : 0;
}

FsaVynIoPhyDevInfo* FsaVynIoAdapterConfig::findPhyDev(uint32_t handle) const
{
    auto it = phyByHandle_.find(handle);
    return it == phyByHandle_.end() ? nullptr : it->second;
}

uint32_t FsaVynIoAdapterConfig::firstPhyDevAt(uint8_t bus, uint8_t target, uint8_t lun) const
{
    if (addressesIndexed_ != phyDevs_.size()) {
        firstByAddress_.clear();
        for (size_t i = 0; i < phyDevs_.size(); ++i) {
            const uint8_t* r = phyDevs_[i]->record.bytes;
            const uint32_t b = faGetLe32(r + 12);
            const uint32_t t = faGetLe32(r + 16);
            const uint32_t lunLow = faGetLe32(r + 24);
            const uint32_t lunHigh = faGetLe32(r + 28);
            // An address field wider than a byte can never equal a device
            // address, and a LUN with a high word never matches.
            if (b > 0xFF || t > 0xFF || lunLow > 0xFF || lunHigh != 0)
                continue;
            firstByAddress_.emplace(b << 16 | t << 8 | lunLow, static_cast<uint32_t>(i));
        }
        addressesIndexed_ = phyDevs_.size();
    }
    auto it = firstByAddress_.find(static_cast<uint32_t>(bus) << 16 | static_cast<uint32_t>(target) << 8 | lun);
    return it == firstByAddress_.end() ? 0xFFFFFFFFu : it->second;
}

FSA_STATUS FsaVynIoAdapterConfig::GetConfig()
{
    FsaApiEntryExit scope("FsaVynIoAdapterConfig::GetConfig");
    FSA_STATUS status = FSA_STS_SUCCESS;
    for (int read = 1;; ++read) {
        DeleteAll();
        listAge_ = kNoListAge;
        status = FSA_STS_SUCCESS;
        const FSA_STATUS phys = GetPhyDevInfo();
        if (phys != FSA_STS_SUCCESS)
            status = phys;
        const FSA_STATUS logs = GetLogDevInfo();
        if (logs != FSA_STS_SUCCESS)
            status = logs;
        // Another process may change the configuration while this one reads
        // it: a device listed at the start can be gone when its record is
        // asked for. A read that failed so is made again on the new lists,
        // rather than leaving a model without the devices that remain.
        if (status == FSA_STS_SUCCESS || read >= kConfigReads || !listsChangedSinceRead())
            return status;
    }
}

bool FsaVynIoAdapterConfig::listsChangedSinceRead()
{
    if (listAge_ == kNoListAge)
        return false;
    try {
        CT_GetContainerList(ctx_, 1);
    } catch (FSA_STATUS) {
        return false;
    }
    const uint8_t* list = ctx_->containerList[1];
    return list != nullptr && faGetLe32(list) != listAge_;
}

FSA_STATUS FsaVynIoAdapterConfig::GetPhyDevInfo()
{
    FsaApiEntryExit scope("FsaVynIoAdapterConfig::GetPhyDevInfo");
    if (handleList_ == nullptr)
        handleList_ = static_cast<uint8_t*>(std::calloc(1, kHandleListBytes));
    if (handleList_ == nullptr)
        return FSA_STS_OUT_OF_MEMORY;
    faPutLe32(handleList_, VYNIO_MAX_PHYDEVS);
    FSA_STATUS status = send(ctx_, CT_GET_PHYDEV_LIST, 0, handleList_, kHandleListBytes, false);
    if (status != FSA_STS_SUCCESS)
        return status;
    if (!AllocIoBuffer())
        return FSA_STS_OUT_OF_MEMORY;
    // A reply may claim more handles than the list holds.
    const uint32_t count = std::min(faGetLe32(handleList_), VYNIO_MAX_PHYDEVS);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t handle = faGetLe32(handleList_ + 4 + 4 * i);
        std::memset(ioBuffer_, 0, kIoBufferBytes);
        status = send(ctx_, CT_GET_PHYDEV_INFO, handle, ioBuffer_, sizeof(VYNIO_PHYDEV_INFO_S), false);
        if (status != FSA_STS_SUCCESS)
            return status;
        VYNIO_PHYDEV_INFO_S record;
        std::memcpy(record.bytes, ioBuffer_, sizeof record.bytes);
        FsaVynIoPhyDevInfo* node = new (std::nothrow) FsaVynIoPhyDevInfo(record);
        if (node == nullptr)
            return FSA_STS_OUT_OF_MEMORY;
        phyDevs_.push_back(node);
        phyByHandle_.emplace(node->handle(), node);
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaVynIoAdapterConfig::addLogDev(const uint8_t* bytes,
                                            std::unordered_map<uint32_t, FsaVynIoLogDevInfo*>& byHandle)
{
    const uint32_t handle = faGetLe32(bytes + VYNIO_LOGDEV_HANDLE);
    if (handle == VYNIO_NO_PARENT || byHandle.count(handle) != 0)
        return FSA_STS_SUCCESS;
    VYNIO_LOGDEV_INFO_S record;
    std::memcpy(record.bytes, bytes, sizeof record.bytes);
    FsaVynIoLogDevInfo* node = new (std::nothrow) FsaVynIoLogDevInfo(record);
    if (node == nullptr)
        return FSA_STS_OUT_OF_MEMORY;
    allLogDevs_.push_back(node);
    byHandle.emplace(handle, node);
    if (node->parent() == VYNIO_NO_PARENT)
        topLevel_.push_back(node);
    return FSA_STS_SUCCESS;
}

FSA_STATUS FsaVynIoAdapterConfig::GetLogDevInfo()
{
    FsaApiEntryExit scope("FsaVynIoAdapterConfig::GetLogDevInfo");
    CT_UpdateContainerLists(ctx_);
    if (!AllocIoBuffer())
        return FSA_STS_OUT_OF_MEMORY;
    FSA_STATUS status = FSA_STS_SUCCESS;
    std::unordered_map<uint32_t, FsaVynIoLogDevInfo*> byHandle;
    const uint8_t* list = ctx_->containerList[1];
    if (list != nullptr)
        listAge_ = faGetLe32(list);
    const uint32_t handles = list != nullptr ? std::min(faGetLe32(list + 4), ctx_->maxContainerCount) : 0;
    for (uint32_t i = 0; i < handles; ++i) {
        std::memset(ioBuffer_, 0, kIoBufferBytes);
        status = send(ctx_, CT_GET_LOGDEV_INFO, faGetLe32(list + 8 + 4 * i), ioBuffer_,
                      sizeof(VYNIO_LOGDEV_INFO_S), true);
        if (status != FSA_STS_SUCCESS)
            return status;
        if ((status = addLogDev(ioBuffer_, byHandle)) != FSA_STS_SUCCESS)
            return status;
    }
    // The records the container layer holds are the same devices: only those
    // not read above join, and an unreadable slot (all 0xFF) never does.
    if (ctx_->logDevRecords != nullptr) {
        for (uint32_t i = 0; i < ctx_->logDevRecordCount; ++i)
            if ((status = addLogDev(ctx_->logDevRecords + i * sizeof(VYNIO_LOGDEV_INFO_S), byHandle)) !=
                FSA_STS_SUCCESS)
                return status;
    }
    // Parents by handle, through the index: linear in the device count.
    for (FsaVynIoLogDevInfo* l : allLogDevs_) {
        if (l->parent() == VYNIO_NO_PARENT)
            continue;
        auto it = byHandle.find(l->parent());
        if (it != byHandle.end())
            it->second->AddSecondLevel(l);
    }
    for (FsaVynIoLogDevInfo* l : allLogDevs_) {
        const FSA_STATUS s = GetSegmentInfo(l);
        if (s != FSA_STS_SUCCESS)
            status = s;
    }
    return status;
}

FSA_STATUS FsaVynIoAdapterConfig::GetSegmentInfo(FsaVynIoLogDevInfo* logDev)
{
    FsaApiEntryExit scope("FsaVynIoAdapterConfig::GetSegmentInfo");
    std::unique_ptr<uint8_t[]> list(new (std::nothrow) uint8_t[VYNIO_SEGMENT_LIST_BYTES]());
    if (!list)
        return FSA_STS_OUT_OF_MEMORY;
    const FSA_STATUS status =
        send(ctx_, CT_GET_LOGDEV_SEGMENT64_LIST, logDev->handle(), list.get(), VYNIO_SEGMENT_LIST_BYTES, false);
    if (status != FSA_STS_SUCCESS)
        return status;
    // The count may claim more records than the list buffer holds.
    const uint32_t count = std::min(faGetLe32(list.get() + 4), VYNIO_MAX_SEGMENTS);
    for (uint32_t i = 0; i < count; ++i) {
        VYNIO_SEGMENT64_INFO_S record;
        std::memcpy(record.bytes, list.get() + 8 + 32 * i, sizeof record.bytes);
        FsaVynIoSegmentInfo* segment = new (std::nothrow) FsaVynIoSegmentInfo(record, logDev);
        if (segment == nullptr)
            return FSA_STS_OUT_OF_MEMORY;
        segment->FindPhyDevInfo(this);
        logDev->AppendSegment(segment);
    }
    return FSA_STS_SUCCESS;
}

FSA_STATUS GetVynIoConfig(FSAAPI_CONTEXT* ctx)
{
    if ((FsaOptionWord3(ctx) & kOpt3NewConfig) == 0)
        return FSA_STS_NOT_SUPPORTED;
    if (ctx->vynIoConfig == nullptr) {
        ctx->vynIoConfig = new (std::nothrow) FsaVynIoAdapterConfig(ctx);
        if (ctx->vynIoConfig == nullptr)
            return FSA_STS_OUT_OF_MEMORY;
    }
    return ctx->vynIoConfig->GetConfig();
}
