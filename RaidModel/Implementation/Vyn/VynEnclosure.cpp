#include "RaidModel/Implementation/Vyn/VynEnclosure.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "RaidModel/Interface/SaftePages.h"
#include "common/Buffer.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

char emptyText[1] = "";

// The enclosure record, by byte offset from its start (little-endian).
constexpr size_t kFanCount = 12;
constexpr size_t kSupplyCount = 16;
constexpr size_t kSlotCount = 20;
constexpr size_t kDoorLockInstalled = 24;
constexpr size_t kSensorCount = 28;
constexpr size_t kAlarmInstalled = 32;
constexpr size_t kSpeakerOn = 148;
constexpr size_t kTempOutOfRange = 152;
constexpr size_t kTempFlags = 164;
constexpr size_t kFanStatus = 168;       // one byte per fan
constexpr size_t kSupplyStatus = 184;    // one byte per supply
constexpr size_t kDoorLockStatus = 200;
constexpr size_t kTemperature = 216;     // i16 per sensor
constexpr size_t kSlotScsiId = 249;      // every 8 bytes
constexpr size_t kSlotStatusWord = 408;  // u32 per slot, the status in its top byte

// The record holds the per-item fields of this many items of each kind; a
// larger count would read other fields or past the record.
constexpr uint32_t kMaxItems = 16;

// SAF-TE pages: the configuration page is 64 bytes; the status page has one
// byte per element and room for the fixed fields after them.
constexpr size_t kStatusPageExtra = 37;

// The FRU data of the outside enclosure model: SES configuration and
// element descriptor pages read with these allocations, the type headers
// from byte 48 of the first (their count in byte 10), the descriptors from
// byte 8 of the second in blocks of 68 bytes holding five texts.
constexpr unsigned long kConfigAllocation = 512;
constexpr unsigned long kDescriptorAllocation = 2048;
constexpr size_t kHeaderCountAt = 10;
constexpr size_t kFirstHeader = 48;
constexpr size_t kFirstDescriptor = 8;
constexpr size_t kFruBlock = 68;
struct FruText {
    size_t at;
    size_t width;
};
constexpr FruText kPartNumber = {7, 16};
constexpr FruText kSerialNumber = {23, 16};
constexpr FruText kVendor = {39, 12};
constexpr FruText kManufactured = {51, 12};
constexpr FruText kType = {63, 5};

uint8_t fanCode(uint8_t firmware)
{
    switch (firmware) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    default: return 128;
    }
}

uint8_t supplyCode(uint8_t firmware)
{
    switch (firmware) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 16;
    case 8: return 17;
    case 16: return 33;
    case 32: return 32;
    default: return 128;
    }
}

uint8_t doorLockCode(uint8_t firmware) { return firmware == 1 ? 0 : firmware == 2 ? 1 : 128; }

// The bytes of a received page: no more than the buffer and no more than the
// page says it holds.
size_t pageEnd(const Buffer& data)
{
    const uint8_t* p = data.CPtr();
    const size_t size = p != nullptr ? data.Size() : 0;
    if (size < 4)
        return 0;
    return std::min(size, 4 + (static_cast<size_t>(p[2]) << 8 | p[3]));
}

// The text of a descriptor field: up to its NUL, never past the field,
// trailing white space removed.
std::string fruText(const uint8_t* block, FruText field)
{
    char text[17] = {};
    const uint8_t* p = block + field.at;
    size_t n = 0;
    while (n < field.width && n < sizeof text - 1 && p[n] != 0) {
        text[n] = static_cast<char>(p[n]);
        ++n;
    }
    return RemoveEndWS(text);
}

}  // namespace

FsaEnclosureInfo::FsaEnclosureInfo() : owned(0), enclosureIndex(0), config{}, status{} {}

VynEnclosure::VynEnclosure(FsaEnclosureInfo* infoIN, VynAdapter* adapter, Channel* channel, unsigned long deviceID)
    : Enclosure(adapter, channel, deviceID, emptyText, emptyText, emptyText, emptyText, PD_READY, emptyText),
      info(infoIN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynEnclosure::VynEnclosure()");
    if (info != nullptr)
        info->owned = 1;
}

VynEnclosure::~VynEnclosure()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynEnclosure::~VynEnclosure()");
    delete info;
}

bool VynEnclosure::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynEnclosure") == 0) || Enclosure::isInstanceOf(name);
}

const char* VynEnclosure::typeName() const { return "VynEnclosure"; }

void VynEnclosure::writeTo(Writer* writer) const
{
    Enclosure::writeTo(writer);
    writer->writeULong("scsiID", scsiID);
    writer->writeULong("scsiLUN", scsiLUN);
    writer->writeULong("scsiDeviceType", scsiDeviceType);
    writer->writeBool("bTempOutOfRange", tempOutOfRange);
    writer->writeBool("tempOutOfRange", tempOutOfRange);
    writer->writeBool("doorLockPresent", doorLockPresent);
    writer->writeBool("speakerPresent", speakerPresent);
    writer->writeInt("doorLockStatus", doorLockStatus);
    writer->writeInt("speakerStatus", speakerStatus);
}

void VynEnclosure::build()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynEnclosure::build()");
    try {
        buildEnclosureBase();
        buildEnclosureItems();
        buildIbmEXP400();
    } catch (...) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::EXCEPTION);
    }
}

void VynEnclosure::buildEnclosureBase()
{
    if (info == nullptr)
        return;
    const auto* raw = reinterpret_cast<const uint8_t*>(info);
    const uint32_t fans = std::min(faGetLe32(raw + kFanCount), kMaxItems);
    const uint32_t supplies = std::min(faGetLe32(raw + kSupplyCount), kMaxItems);
    const uint32_t slots = std::min(faGetLe32(raw + kSlotCount), kMaxItems);
    const uint32_t sensors = std::min(faGetLe32(raw + kSensorCount), kMaxItems);

    std::unique_ptr<SAFTE_CONFIG> config(new (std::nothrow) SAFTE_CONFIG);
    const size_t statusLength = fans + supplies + slots + sensors + kStatusPageExtra;
    std::unique_ptr<char[]> status(new (std::nothrow) char[statusLength]);
    if (config == nullptr || status == nullptr)
        return;
    std::memset(config->bytes, 0, sizeof config->bytes);
    config->bytes[0] = static_cast<uint8_t>(fans);
    config->bytes[1] = static_cast<uint8_t>(supplies);
    config->bytes[2] = static_cast<uint8_t>(slots);
    config->bytes[3] = static_cast<uint8_t>(faGetLe32(raw + kDoorLockInstalled));
    config->bytes[4] = static_cast<uint8_t>(sensors);
    config->bytes[5] = faGetLe32(raw + kAlarmInstalled) != 0 ? 1 : 0;

    std::memset(status.get(), 0, statusLength);
    size_t at = 0;
    auto put = [&](uint8_t byte) { status[at++] = static_cast<char>(byte); };
    // The page holds SAF-TE codes, as the items do, not the firmware's own.
    for (uint32_t k = 0; k < fans; ++k)
        put(fanCode(raw[kFanStatus + k]));
    for (uint32_t k = 0; k < supplies; ++k)
        put(supplyCode(raw[kSupplyStatus + k]));
    for (uint32_t k = 0; k < slots; ++k)
        put(raw[kSlotScsiId + 8 * k]);
    put(doorLockCode(raw[kDoorLockStatus]));
    put(faGetLe32(raw + kSpeakerOn) != 0 ? 1 : 0);
    for (uint32_t k = 0; k < sensors; ++k)
        put(raw[kTemperature + 2 * k]);
    put(raw[kTempFlags]);
    put(raw[kTempFlags]);
    put(0);

    SafteConfig* held = new (std::nothrow) SafteConfig();
    if (held == nullptr)
        return;
    held->initFieldsFromData(config.get());
    setSafteConfig(held);
    SafteConfig* child = new (std::nothrow) SafteConfig();
    if (child == nullptr)
        return;
    child->initFieldsFromData(config.get());
    addChild(child);

    SafteStatus* heldStatus = new (std::nothrow) SafteStatus();
    if (heldStatus == nullptr)
        return;
    heldStatus->initFieldsFromData(held, status.get(), statusLength);
    setSafteStatus(heldStatus);
    // The enclosure's own status answers come from the pages from now on.
    setSafteDataValid(true);
    SafteStatus* childStatus = new (std::nothrow) SafteStatus();
    if (childStatus == nullptr)
        return;
    childStatus->initFieldsFromData(held, status.get(), statusLength);
    addChild(childStatus);
}

void VynEnclosure::buildEnclosureItems()
{
    if (info == nullptr)
        return;
    const auto* raw = reinterpret_cast<const uint8_t*>(info);
    doorLockPresent = faGetLe32(raw + kDoorLockInstalled) != 0;
    speakerPresent = faGetLe32(raw + kAlarmInstalled) != 0;
    speakerStatus = faGetLe32(raw + kSpeakerOn) != 0 ? 1 : 0;
    tempOutOfRange = faGetLe32(raw + kTempOutOfRange) != 0;
    doorLockStatus = doorLockCode(raw[kDoorLockStatus]);

    const uint32_t fans = std::min(faGetLe32(raw + kFanCount), kMaxItems);
    const uint32_t supplies = std::min(faGetLe32(raw + kSupplyCount), kMaxItems);
    const uint32_t slots = std::min(faGetLe32(raw + kSlotCount), kMaxItems);
    const uint32_t sensors = std::min(faGetLe32(raw + kSensorCount), kMaxItems);
    const uint32_t flags = faGetLe32(raw + kTempFlags);
    // Each item adds itself to the enclosure, which owns it from then on.
    for (uint32_t k = 0; k < fans; ++k)
        new (std::nothrow) SafteFan(this, static_cast<SafteFan::STATUS>(fanCode(raw[kFanStatus + k])), k);
    for (uint32_t k = 0; k < sensors; ++k)
        new (std::nothrow) SafteTempSensor(this, static_cast<int16_t>(faGetLe16(raw + kTemperature + 2 * k)),
                                           (flags >> k & 1u) != 0, k);
    for (uint32_t k = 0; k < supplies; ++k)
        new (std::nothrow)
            SaftePowerSupply(this, static_cast<SaftePowerSupply::STATUS>(supplyCode(raw[kSupplyStatus + k])), k);
    for (uint32_t k = 0; k < slots; ++k)
        new (std::nothrow) SafteSlot(this, raw[kSlotScsiId + 8 * k], raw[kSlotStatusWord + 4 * k + 3], k);
}

EnclosureItem* VynEnclosure::getItem(EnclosureItem::ITEM_TYPE type, unsigned long number) const
{
    for (RaidObject* child : getChildren()) {
        if (child == nullptr || !child->isInstanceOf("EnclosureItem"))
            continue;
        auto* item = static_cast<EnclosureItem*>(child);
        if (item->getItemType() == type && item->getItemNum() == number)
            return item;
    }
    return nullptr;
}

void VynEnclosure::buildIbmEXP400()
{
    if (std::strncmp(getVendor(), "IBM", 3) != 0 || std::strncmp(getModel(), "EXP400", 6) != 0)
        return;
    Serializable* attachment = getAttachment();
    if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
        return;
    auto* attach = static_cast<VynPhysicalDeviceAttach*>(attachment);

    SCSICommand configuration;
    configuration.initReadSES(1, kConfigAllocation);
    Ret ret;
    attach->doScsiPassThru(configuration, ret);
    if (ret.getReturn() != 0 || configuration.getScsiStatus() != 0)
        return;
    SCSICommand descriptors;
    descriptors.initReadSES(7, kDescriptorAllocation);
    attach->doScsiPassThru(descriptors, ret);
    if (ret.getReturn() != 0 || descriptors.getScsiStatus() != 0)
        return;

    const auto* config = static_cast<const uint8_t*>(configuration.getReadData().Ptr());
    const auto* texts = static_cast<const uint8_t*>(descriptors.getReadData().Ptr());
    const size_t configEnd = pageEnd(configuration.getReadData());
    const size_t textsEnd = pageEnd(descriptors.getReadData());
    if (config == nullptr || texts == nullptr || configEnd <= kHeaderCountAt)
        return;
    const unsigned headers = config[kHeaderCountAt];
    size_t header = kFirstHeader;
    size_t descriptor = kFirstDescriptor;
    unsigned long created = 0;
    for (unsigned h = 0; h < headers; ++h) {
        if (header + 4 > configEnd)
            return;
        const auto type = static_cast<EnclosureItem::ITEM_TYPE>(config[header]);
        const unsigned elements = config[header + 1];
        for (unsigned e = 0; e < elements; ++e) {
            const size_t block = descriptor + kFruBlock * e;
            if (block + kFruBlock > textsEnd)
                return;
            const uint8_t* b = texts + block;
            const std::string typeText = fruText(b, kType);
            if (typeText.empty())
                continue;
            auto* fru = new (std::nothrow) IbmFruInfo;
            if (fru == nullptr)
                continue;
            fru->setPartNum(fruText(b, kPartNumber).c_str());
            fru->setSerialNum(fruText(b, kSerialNumber).c_str());
            fru->setVendor(fruText(b, kVendor).c_str());
            fru->setDateOfManufacture(fruText(b, kManufactured).c_str());
            fru->setType(typeText.c_str());
            EnclosureItem* item = getItem(type, e);
            if (item == nullptr)
                item = new (std::nothrow) EnclosureItem(this, type, created++);
            if (item != nullptr)
                item->setIbmFruInfo(fru);
            else
                delete fru;
        }
        if (descriptor + 4 > textsEnd)
            return;
        descriptor += 4 + (static_cast<size_t>(texts[descriptor + 2]) << 8 | texts[descriptor + 3]);
        header += 4 + (static_cast<size_t>(config[header + 2]) << 8 | config[header + 3]);
    }
}

Ret VynEnclosure::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynEnclosure::identifyDevice()");
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        auto* request = new (std::nothrow) FSA_ENCLOSURE_MGT;
        if (request == nullptr) {
            vynerror::resourceError(ret, "new FSA_ENCLOSURE_MGT");
            return ret;
        }
        std::memset(request, 0, sizeof *request);
        request->command = FSA_ECM_ENCLOSURE_OP;
        request->subCommand = on ? EM_SUB_ENCL_IDENTIFY : EM_SUB_ENCL_IDENTIFY_OFF;
        request->param[0] = static_cast<uint32_t>(getFsaEnclosureID());
        const FSA_STATUS status = fsaExports().FsaEnclosureMgt(handle.getAdapterRWHandle(), request);
        delete request;
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaEnclosureMgt(FSA_ECM_ENCLOSURE_OP, FSA_ECM_SUB_ENCL_IDENTIFY)", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynEnclosure::setAlarmState(EnumAlarmState state)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynEnclosure::setAlarmState()");
    Ret ret(0);
    try {
        uint32_t sub = 0;
        if (state == ALARM_TEST) {
            sub = EM_SUB_ENCL_ALARM_ON;
        } else if (state == ALARM_SILENCE) {
            sub = EM_SUB_ENCL_ALARM_OFF;
        } else {
            vynerror::badParam(ret, "Invalid Alarm State", state);
            return ret;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            ret.setBusy();
            return ret;
        }
        auto* request = new (std::nothrow) FSA_ENCLOSURE_MGT;
        if (request == nullptr) {
            vynerror::resourceError(ret, "pEnclosureMgt = new FSA_ENCLOSURE_MGT");
            return ret;
        }
        std::memset(request, 0, sizeof *request);
        request->command = FSA_ECM_ENCLOSURE_OP;
        request->subCommand = sub;
        request->param[0] = static_cast<uint32_t>(getFsaEnclosureID());
        request->param[1] = 0;
        const FSA_STATUS status = fsaExports().FsaEnclosureMgt(handle.getAdapterRWHandle(), request);
        delete request;
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaEnclosureMgt()", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynEnclosure::scsiPassThruCommand(SCSICommand& command)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynEnclosure::scsiPassThruCommand()");
    Ret ret(0);
    try {
        Serializable* attachment = getAttachment();
        if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach")) {
            vynerror::badParam(ret, "Enclosure object had no attachment", 0);
            return ret;
        }
        static_cast<VynPhysicalDeviceAttach*>(attachment)->doScsiPassThru(command, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}
