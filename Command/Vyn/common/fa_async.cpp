#include "Command/Vyn/common/fa_async.h"

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrwide.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_frame.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_open.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_utils.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "Command/Vyn/os/faux_aif.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "Command/Vyn/os/faux_semaphore.h"
#include "Command/Vyn/os/faux_threads.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr FSA_STATUS kBufferTooSmall = 5;
constexpr FSA_STATUS kNoEvent = 336;
constexpr FSA_STATUS kChannelClosed = 611;

constexpr size_t kFibHeader = 32;
constexpr size_t kFibSizeField = 8;   // u16 in the FIB header
constexpr size_t kAifCommandData = 8;  // payload byte of the command data
constexpr uint32_t kAifEventNotify = 1;
constexpr uint32_t kAifJobProgress = 2;
constexpr uint32_t kAifClientEvent = 3;

// Unknown values travel as an unrecognised firmware event: word 0 the kind
// (1 a notification code, 2 a value within one), word 1 the code, word 2 the
// value.
void unknownEvent(uint32_t* eventClass, uint8_t* d, uint32_t kind, uint32_t code, uint32_t value)
{
    std::memset(d, 0, FSA_EVENT_DETAILS_BYTES);
    *eventClass = FSA_EM_UNRECOGNIZED_FW_EVENT;
    faPutLe32(d, kind);
    faPutLe32(d + 4, code);
    if (kind == 2)
        faPutLe32(d + 8, value);
}

template <class... Args>
void trace(const char* format, Args... args)
{
    UtilPrintDebugFormatted(const_cast<char*>(format), args...);
}

void putContainer(uint8_t* at, FSAAPI_CONTEXT* ctx, uint32_t number)
{
    tag_FSA_CONTAINER record;
    PopulateContainerContents(&record, ctx, number);
    std::memcpy(at, &record, sizeof record);
}

void putDevice(uint8_t* at, FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    FSA_STORAGE_DEVICE device;
    SCSI_GetStandardID(ctx, &device, handle);
    std::memcpy(at, &device, sizeof device);
}

void putScsi(uint8_t* at, uint32_t adapterId, const uint8_t* address)
{
    FSA_EVENT_SCSI_DEVICE device;
    PopulateScsiContents(&device, adapterId, address[0], address[1], address[2]);
    std::memcpy(at, &device, sizeof device);
}

// The container number the lists give a handle; lists that cannot be read
// leave it unknown rather than fail the event.
uint32_t containerOfHandle(FSAAPI_CONTEXT* ctx, uint32_t handle)
{
    try {
        return static_cast<uint32_t>(CT_FindCtrNumFromHandle(ctx, handle));
    } catch (FSA_STATUS) {
        return 0xFFFFFFFFu;
    }
}

// Firmware container event codes (index) to the API's; -1 unknown.
constexpr int kContainerEvents[] = {
    -1, 0,  -1, 0,  1,  2,  3,  4,  5,  -1,  // 0-9
    7,  8,  9,  0,  0,  0,  10, 11, 12, 13,  // 10-19
    14, 15, 16, 17, 18, -1, 0,  0,  32, 0,   // 20-29
    0,  0,  -1, -1, -1, -1, 0,  34, 33, 0,   // 30-39
    -1, -1, -1, 21, 22, 23, 27, 28, 24, 25,  // 40-49
    26,                                      // 50
};

void enclosureEvent(FSAAPI_CONTEXT* ids, const uint8_t* n, uint32_t* eventClass, uint8_t* d)
{
    faPutLe32(d, faGetLe32(n + 4));
    faPutLe32(d + 4, faGetLe32(n + 8));
    const uint32_t event = faGetLe32(n + 12);
    uint32_t translated;
    if (event <= 19)
        translated = event;
    else if (event >= 21 && event <= 25) {
        *eventClass = FSA_EM_SMART;
        faPutLe32(d + 12, event - 21);
        putDevice(d, ids, faGetLe32(d + 4));
        return;
    } else if (event == 26)
        translated = 20;
    else if (event == 29)
        translated = faGetLe32(n + 16) != 0 ? 21 : 22;
    else if (event >= 30 && event <= 32)
        translated = event - 7;
    else {
        trace("*** WARNING: Adapter sent UNKNOWN enclosure event to API, untranslated: %d\n",
              static_cast<int>(event));
        unknownEvent(eventClass, d, 2, 13, event);
        return;
    }
    faPutLe32(d + 8, translated);
    faPutLe32(d + 12, ids->adapterIdentityWord);
}

void batteryEvent(FSAAPI_CONTEXT* ids, const uint8_t* n, uint8_t* d)
{
    const uint32_t current = faGetLe32(n + 8);
    const uint32_t prior = faGetLe32(n + 12);
    faPutLe32(d + 12, ids->adapterIdentityWord);
    uint32_t state = 0;
    uint32_t change = 0;
    switch (current) {
    case 1:
        state = 2;
        change = prior == 4 ? 7 : prior != 0 ? 3 : 2;
        break;
    case 0:
        change = prior == 4 ? 6 : 1;
        break;
    case 3:
        state = 3;
        change = prior == 4 ? 8 : 4;
        break;
    case 4:
        state = 1;
        change = 5;
        break;
    default:
        trace("*** WARNING: Adapter sent UNKNOWN battery state to API, untranslated: %d\n",
              static_cast<int>(current));
        break;
    }
    faPutLe32(d + 4, state);
    faPutLe32(d + 8, change);
    uint32_t before = 0;
    switch (prior) {
    case 1: before = 2; break;
    case 3: before = 3; break;
    case 4: before = 1; break;
    default: break;
    }
    faPutLe32(d, before);
}

void enhancedBatteryEvent(const uint8_t* n, uint8_t* d)
{
    faPutLe32(d, 1);
    const uint32_t mask = faGetLe32(n + 8);
    const uint32_t flags = faGetLe32(n + 24);
    uint32_t changes = 0;
    uint32_t status = 0;
    if (mask & 0x1) {
        changes |= 0x1;
        status |= flags & 0xF;
    }
    if (mask & 0x2) {
        changes |= 0x2;
        faPutLe16(d + 20, faGetLe16(n + 12));
    }
    if (mask & 0x4) {
        changes |= 0x4;
        faPutLe16(d + 18, faGetLe16(n + 14));
    }
    if (mask & 0x8) {
        changes |= 0x20;
        status |= flags & 0x10;
    }
    if (mask & 0x10) {
        changes |= 0x40;
        std::memcpy(d + 22, n + 18, 4);
    }
    if (mask & 0x20) {
        changes |= 0x800;
        faPutLe16(d + 12, faGetLe16(n + 16));
    }
    if (mask & 0x40) {
        changes |= 0x1000;
        status |= flags & 0x20;
    }
    if (mask & 0x80) {
        changes |= 0x2000;
        status |= flags & 0x40;
    }
    if (mask & 0x100) {
        changes |= 0x4000;
        faPutLe16(d + 40, faGetLe16(n + 30));
    }
    if (mask & 0x200) {
        changes |= 0x8000;
        faPutLe16(d + 42, faGetLe16(n + 28));
    }
    faPutLe32(d + 4, changes);
    faPutLe32(d + 8, status);
}

// Expanded events: the subtype data R of each family, from the event data D.
void firmwareSubtype(uint32_t type, const uint8_t* D, uint8_t* R, uint32_t* subtype)
{
    switch (type) {
    case 0:
        *subtype = 1;
        std::memcpy(R, D, 12);
        faPutLe32(R + 16, faGetLe32(D + 12));
        std::memcpy(R + 20, D + 16, 108);
        return;
    case 2: {
        *subtype = 3;
        const uint32_t state = faGetLe32(D);
        const uint32_t reason = faGetLe32(D + 4);
        faPutLe32(R, state <= 3 ? state + 1 : 0);
        faPutLe32(R + 4, reason <= 10 ? reason + 1 : 0);
        return;
    }
    case 3:
        *subtype = 4;
        faPutLe32(R, faGetLe32(D));
        return;
    default:
        trace("*** WARNING: Adapter sent UNKNOWN Extended Event Type to API, untranslated: 0x%08x\n", type);
        return;
    }
}

void scsiSubtype(uint32_t type, uint32_t adapterId, FSAAPI_CONTEXT* ctx, const uint8_t* D, uint8_t* R,
                 uint32_t* subtype)
{
    if (type <= 5)
        *subtype = type + 1;
    else if (type >= 8 && type <= 18)
        *subtype = type - 1;
    else {
        trace("*** WARNING: Adapter sent UNKNOWN Extended Event Type to API, untranslated: 0x%08x\n", 0x10000 + type);
        return;
    }
    const auto plusOne = [](uint8_t v) { return v <= 2 ? static_cast<uint32_t>(v) + 1 : 0u; };
    switch (type) {
    case 1:
    case 9:
        std::memcpy(R, D, 2);
        return;
    case 11:
        R[0] = D[0];
        faPutLe32(R + 4, faGetLe32(D + 4));
        return;
    case 15:
        putContainer(R, ctx, faGetLe16(D));
        faPutLe32(R + 12, plusOne(D[3]));
        faPutLe32(R + 16, faGetLe32(D + 4));
        faPutLe32(R + 20, faGetLe32(D + 8));
        return;
    default:
        break;
    }
    putScsi(R, adapterId, D);
    switch (type) {
    case 0: std::memcpy(R + 8, D + 4, 120); break;
    case 2: faPutLe32(R + 8, D[3]); break;
    case 4:
        faPutLe32(R + 8, plusOne(D[3]));
        faPutLe32(R + 12, faGetLe32(D + 4));
        faPutLe32(R + 16, faGetLe32(D + 8));
        break;
    case 5: {
        const uint32_t v = faGetLe32(D + 4);
        faPutLe32(R + 8, v >= 1 && v <= 4 ? v : 0);
        break;
    }
    case 8:
        faPutLe32(R + 8, faGetLe32(D + 4));
        faPutLe32(R + 12, faGetLe32(D + 8));
        break;
    case 12: std::memcpy(R + 8, D + 3, 3); break;
    case 13:
        std::memcpy(R + 8, D + 3, 12);
        std::memcpy(R + 20, D + 15, 32);
        break;
    case 14: std::memcpy(R + 8, D + 3, 12); break;
    case 18: faPutLe32(R + 8, faGetLe32(D + 4)); break;
    default: break;  // 3, 10, 16, 17: the address alone
    }
}

// The first container whose unique id is `uniqueId`, among the numbers below
// the controller's container count.
bool containerByUniqueId(FSAAPI_CONTEXT* ctx, uint32_t uniqueId, tag_FSA_CONTAINER* out)
{
    if (ctx->maxContainerCount == 0) {
        try {
            ctx->maxContainerCount = CT_GetContainerCount(ctx, nullptr, nullptr);
        } catch (FSA_STATUS) {
            return false;
        }
    }
    for (uint32_t n = 0; n < ctx->maxContainerCount; ++n) {
        PopulateContainerContents(out, ctx, n);
        if (out->uniqueId == uniqueId)
            return true;
    }
    std::memset(out, 0, sizeof *out);
    return false;
}

void containerSubtype(uint32_t type, uint32_t adapterId, FSAAPI_CONTEXT* ctx, const uint8_t* D, uint8_t* R,
                      uint32_t* subtype)
{
    if (type > 7) {
        trace("*** WARNING: Adapter sent UNKNOWN Extended Event Type to API, untranslated: 0x%08x\n", 0x20000 + type);
        return;
    }
    *subtype = type + 1;
    switch (type) {
    case 0:
        putContainer(R, ctx, faGetLe32(D));
        std::memcpy(R + 12, D + 4, 120);
        return;
    case 1:
        putContainer(R, ctx, faGetLe32(D));
        faPutLe32(R + 12, faGetLe32(D + 4));
        faPutLe32(R + 16, (faGetLe32(D + 8) & 0xFFFF0000u) == 0x64240000u ? faGetLe16(D + 8) : 3u);
        return;
    case 2: faPutLe32(R, faGetLe32(D)); return;
    case 3: {
        const uint32_t state = faGetLe32(D);
        if (state < 1 || state > 3)
            trace("*** WARNING: Adapter sent UNKNOWN Replaced Hotspare Event to API: %d\n", static_cast<int>(state));
        faPutLe32(R, state >= 1 && state <= 3 ? state : 0);
        putScsi(R + 4, adapterId, D + 4);
        const uint32_t uniqueId = faGetLe32(D + 8);
        if (uniqueId != 0) {
            faPutLe32(R + 24, 1);
            tag_FSA_CONTAINER record;
            containerByUniqueId(ctx, uniqueId, &record);
            std::memcpy(R + 12, &record, sizeof record);
        }
        return;
    }
    case 4: {
        putScsi(R, adapterId, D);
        const uint32_t state = faGetLe32(D + 4);
        if (state < 1 || state > 2)
            trace("*** WARNING: Adapter sent UNKNOWN Error In Metadata Event to API: %d\n", static_cast<int>(state));
        faPutLe32(R + 8, state >= 1 && state <= 2 ? state : 0);
        return;
    }
    case 5:
        putContainer(R, ctx, faGetLe32(D));
        faPutLe32(R + 12, faGetLe32(D + 12));
        faPutLe32(R + 16, 3);
        return;
    case 6:
        putContainer(R, ctx, faGetLe32(D));
        faPutLe32(R + 12, faGetLe32(D + 4));
        return;
    default:
        putContainer(R, ctx, faGetLe32(D));
        std::memcpy(R + 12, D + 4, 12);
        return;
    }
}

}  // namespace

void PopulateScsiContents(FSA_EVENT_SCSI_DEVICE* device, uint32_t adapterId, uint8_t bus, uint8_t target, uint8_t lun)
{
    if (device == nullptr)
        return;
    std::memset(device, 0, sizeof *device);
    device->bus = bus;
    device->target = target;
    device->lun = lun;
    device->adapterId = adapterId;
}

void PopulateContainerContents(tag_FSA_CONTAINER* container, FSAAPI_CONTEXT* ctx, uint32_t number)
{
    if (container == nullptr)
        return;
    CT_GetStandardID(ctx, container, number);
}

void ParseAifExpandedEventNotifyFib(FSAAPI_CONTEXT* ctx, uint32_t adapterId, const AifEnsExpandedEvent* event,
                                    FSA_EXPANDED_EVENT_INFO* info)
{
    uint8_t* out = info->bytes;
    std::memset(out, 0, sizeof info->bytes);
    const uint32_t type = faGetLe32(event->bytes);
    const uint32_t priority = faGetLe32(event->bytes + 4);
    const uint8_t* D = event->bytes + 8;
    uint8_t* R = out + 12;
    if (priority >= 1 && priority <= 4)
        faPutLe32(out, priority);
    else
        trace("*** WARNING: Adapter sent UNKNOWN Extended Event Priority to API, untranslated: %d\n",
              static_cast<int>(priority));
    uint32_t subtype = 0;
    const uint32_t base = type & 0xFFFF0000u;
    const uint32_t sub = type - base;
    switch (base) {
    case 0:
        faPutLe32(out + 4, 1);
        firmwareSubtype(sub, D, R, &subtype);
        break;
    case 0x10000:
        faPutLe32(out + 4, 2);
        scsiSubtype(sub, adapterId, ctx, D, R, &subtype);
        break;
    case 0x20000:
        faPutLe32(out + 4, 3);
        containerSubtype(sub, adapterId, ctx, D, R, &subtype);
        break;
    case 0x30000:
        faPutLe32(out + 4, 4);
        if (sub == 0) {
            subtype = 1;
            putContainer(R, ctx, faGetLe32(D));
            std::memcpy(R + 12, D + 4, 120);
        } else
            trace("*** WARNING: Adapter sent UNKNOWN Extended Event Type to API, untranslated: 0x%08x\n", type);
        break;
    case 0x40000:
        faPutLe32(out + 4, 5);
        if (sub != 0)
            trace("*** WARNING: Adapter sent UNKNOWN Extended Event Type to API, untranslated: 0x%08x\n", type);
        break;
    case 0x70000000:
        faPutLe32(out + 4, 6);
        if (sub == 0) {
            subtype = 1;
            std::memcpy(R, D, 124);
        } else
            trace("*** WARNING: Adapter sent UNKNOWN Extended Event Type to API, untranslated: 0x%08x\n", type);
        break;
    default:
        trace("*** WARNING: Adapter sent UNKNOWN Extended Event Notification to API, untranslated: 0x%08x\n", type);
        break;
    }
    faPutLe32(out + 8, subtype);
}

int ParseAifEventNotifyFib(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const AifEventNotify* notify,
                           uint32_t* eventClass, FSA_EVENT_DETAILS* details)
{
    FSAAPI_CONTEXT* ids = second != nullptr ? second : ctx;
    const uint8_t* n = notify->bytes;
    uint8_t* d = details->bytes;
    *eventClass = 0;
    std::memset(d, 0, FSA_EVENT_DETAILS_BYTES);
    const uint32_t code = faGetLe32(n);
    const uint32_t word1 = faGetLe32(n + 4);
    const auto containerEvent = [&](uint32_t ceCode) {
        *eventClass = FSA_EM_CONTAINER_EVENT;
        putContainer(d, ids, word1);
        faPutLe32(d + 12, ceCode);
    };
    switch (code) {
    case 1:
        *eventClass = FSA_EM_ADAPTER_TEXT;
        std::memcpy(d, n + 4, FSA_EVENT_DETAILS_BYTES);
        break;
    case 3: *eventClass = FSA_EM_CONFIG_CHANGE; break;
    case 4:
        *eventClass = FSA_EM_CONTAINER_CHANGE;
        putContainer(d, ids, word1);
        break;
    case 5:
        *eventClass = FSA_EM_DISK_FAILURE;
        putDevice(d, ids, word1);
        break;
    case 7: {
        const uint32_t value = faGetLe32(n + 8);
        const int translated =
            value < sizeof kContainerEvents / sizeof kContainerEvents[0] ? kContainerEvents[value] : -1;
        if (translated < 0) {
            trace("*** WARNING: Adapter sent UNKNOWN container event to API, untranslatpEventDetails: %d, ctr: %d.\n",
                  static_cast<int>(value), static_cast<int>(word1));
            unknownEvent(eventClass, d, 2, 7, value);
        } else
            containerEvent(static_cast<uint32_t>(translated));
        break;
    }
    case 8:
        *eventClass = FSA_EM_FILE_SYSTEM_CHANGE;
        putContainer(d, ids, word1);
        break;
    case 9: *eventClass = FSA_EM_ADAPTER_PAUSED; break;
    case 10: *eventClass = FSA_EM_ADAPTER_RESUMED; break;
    case 11:
        *eventClass = FSA_EM_FAILOVER_CHANGE;
        putContainer(d, ids, word1);
        if (word1 > ctx->maxAccessibleContainers)
            return 0;
        break;
    case 12: containerEvent(19); break;
    case 13:
        *eventClass = FSA_EM_ENCLOSURE_MANAGEMENT;
        enclosureEvent(ids, n, eventClass, d);
        break;
    case 14:
        *eventClass = FSA_EM_BATTERY_CHANGE;
        batteryEvent(ids, n, d);
        break;
    case 15:
        *eventClass = FSA_EM_CONTAINER_ADD;
        putContainer(d, ids, word1);
        break;
    case 16:
        *eventClass = FSA_EM_CONTAINER_DELETE;
        putContainer(d, ids, word1);
        break;
    case 18: *eventClass = FSA_EM_BATT_RECOND_REQD; break;
    case 19:
        *eventClass = FSA_EM_CLUSTER;
        faPutLe32(d, word1 == 1 ? 2 : word1 == 2 ? 1 : 100);
        break;
    case 21: {
        const uint32_t value = faGetLe32(n + 8);
        if (value != 41) {
            trace("*** WARNING: Adapter sent UNKNOWN container SCSI event to API, untranslated: %d\n",
                  static_cast<int>(value));
            unknownEvent(eventClass, d, 2, 21, value);
            break;
        }
        *eventClass = FSA_EM_CONTAINER_SCSI_EVENT;
        putContainer(d, ids, word1);
        putDevice(d + 12, ids, faGetLe32(n + 12));
        faPutLe32(d + 24, 0);
        break;
    }
    case 22:
        *eventClass = FSA_EM_ENHANCED_BATTERY_CHANGE;
        enhancedBatteryEvent(n, d);
        break;
    case 23: {
        *eventClass = FSA_EM_EXPANDED_EVENT;
        AifEnsExpandedEvent event;
        std::memcpy(event.bytes, n + 4, sizeof event.bytes);
        FSA_EXPANDED_EVENT_INFO info;
        ParseAifExpandedEventNotifyFib(ids, ids->adapterIdentityWord, &event, &info);
        std::memcpy(d, info.bytes, sizeof info.bytes);
        break;
    }
    case 24: containerEvent(29); break;
    case 25:
    case 26:
        *eventClass = FSA_EM_GENERAL_UPDATE_EVENT;
        faPutLe32(d, 3);
        faPutLe32(d + 4, code == 25 ? 1 : 0);
        faPutLe16(d + 8, faGetLe16(n + 4));
        faPutLe16(d + 10, faGetLe16(n + 8));
        faPutLe16(d + 12, faGetLe16(n + 10));
        break;
    case 27:
        *eventClass = FSA_EM_GENERAL_UPDATE_EVENT;
        faPutLe32(d, 2);
        break;
    case 28:
        *eventClass = FSA_EM_GENERAL_UPDATE_EVENT;
        faPutLe32(d, 4);
        faPutLe32(d + 4, word1);
        faPutLe32(d + 8, faGetLe32(n + 8));
        break;
    case 29: containerEvent(faGetLe16(n + 8) != 0 ? 30 : 31); break;
    case 30:
        *eventClass = FSA_EM_JBOD_ADD;
        putDevice(d, ids, word1);
        break;
    case 31:
        *eventClass = FSA_EM_JBOD_DELETE;
        putDevice(d, ids, word1);
        break;
    case 32:
        *eventClass = FSA_EM_GENERAL_UPDATE_EVENT;
        faPutLe32(d, 5);
        faPutLe16(d + 4, 1);
        faPutLe16(d + 6, faGetLe16(n + 8));
        faPutLe32(d + 8, containerOfHandle(ids, word1));
        break;
    case 33: {
        *eventClass = FSA_EM_GENERAL_UPDATE_EVENT;
        faPutLe32(d, 5);
        faPutLe16(d + 4, 2);
        faPutLe32(d + 8, containerOfHandle(ids, word1));
        if (const FsaVynIoPhyDevInfo* node = FsaGetPhyDevFromHandle(ids, faGetLe32(n + 8)))
            std::memcpy(d + 12, node->record.bytes + 12, 8);
        break;
    }
    case 34: *eventClass = FSA_EM_SSD_BIG_FOR_RRC_REPLACEMENT; break;
    case 35: *eventClass = FSA_EM_SSD_REPLACED_IN_RRC_POOL; break;
    case 36: *eventClass = FSA_EM_SSD_WEAROUT_THRESHOLD_REACHED; break;
    case 37:
        *eventClass = FSA_EM_SSD_CONTAINER_WBC_OFFLINE;
        putDevice(d, ids, word1);
        break;
    default:
        trace("*** WARNING: Adapter sent UNKNOWN event notification to API, untranslated: %d\n",
              static_cast<int>(code));
        unknownEvent(eventClass, d, 1, code, 0);
        break;
    }
    return 1;
}

void ParseAifJobProgress(FSAAPI_CONTEXT* ctx, const AifJobProgressReport* report, uint32_t* eventClass,
                         FSA_EVENT_DETAILS* details)
{
    *eventClass = FSA_EM_JOB_PROGRESS;
    std::memset(details->bytes, 0, sizeof details->bytes);
    FSA_TASK_INFO info;
    CB_JobPRToTaskInfo(ctx, nullptr, report, &info);
    std::memcpy(details->bytes, info.bytes, sizeof info.bytes);
}

extern "C" FSA_STATUS FsaPollForEvent(void* handle, uint32_t bufferSize, void* buffer)
{
    return FsaExportedCall("FsaPollForEvent", handle, FSA_READ_ONLY_PAUSE_OK_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        void*& channel = ctx->aifChannel[0];
        if (channel == nullptr)
            channel = faos_OpenAIFReceiveChannel(ctx);
        alignas(_FIB) uint8_t fib[FSA_FIB_SIZE];
        const int fetched = faos_GetAIF(ctx, channel, 0, faAsFib(fib));
        if (fetched == FAOS_AIF_CLOSING) {
            void* closed = channel;
            channel = nullptr;
            // The driver may refuse to close what it closed itself; the slot
            // is free either way, and the news is the lost channel.
            try {
                faos_CloseAIFReceiveChannel(ctx, closed);
            } catch (FSA_STATUS) {
            }
            channel = faos_OpenAIFReceiveChannel(ctx);
            return kChannelClosed;
        }
        if (fetched != FAOS_AIF_FIB_COPIED)
            return kNoEvent;

        const uint8_t* payload = fib + kFibHeader;
        const uint8_t* data = payload + kAifCommandData;
        tag_FSA_EVENT event;
        std::memset(&event, 0, sizeof event);
        switch (faGetLe32(payload)) {
        case kAifEventNotify: {
            AifEventNotify notify;
            std::memcpy(notify.bytes, data, sizeof notify.bytes);
            ParseAifEventNotifyFib(ctx, nullptr, &notify, &event.eventClass, &event.details);
            break;
        }
        case kAifJobProgress: {
            // Only the first report is delivered; a FIB whose size leaves room
            // for none carries nothing to deliver.
            const uint16_t size = faGetLe16(fib + kFibSizeField);
            if (size < kFibHeader + kAifCommandData + sizeof(AifJobProgressReport))
                return kNoEvent;
            AifJobProgressReport report;
            std::memcpy(report.bytes, data, sizeof report.bytes);
            ParseAifJobProgress(ctx, &report, &event.eventClass, &event.details);
            break;
        }
        case kAifClientEvent:
            event.eventClass = faGetLe32(data);
            std::memcpy(event.details.bytes, data + 4, sizeof event.details.bytes);
            break;
        default:
            return kNoEvent;
        }
        if (bufferSize < sizeof event)
            return kBufferTooSmall;
        if (buffer == nullptr)
            return static_cast<FSA_STATUS>(FSA_STS_BAD_PARAMETER);
        std::memcpy(buffer, &event, sizeof event);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

extern "C" FSA_STATUS FsaRegisterGeneralCallback(void* handle, uint32_t eventMask, FSA_EVENT_CALLBACK callback,
                                                 void* userData)
{
    return FsaExportedCall("FsaRegisterGeneralCallback", handle, FSA_READ_ONLY_ROUTINE, [&](FSAAPI_CONTEXT* ctx) {
        ctx->eventMask = eventMask;
        ctx->eventCallback = callback;
        ctx->eventUserData = userData;
        FsaGeneralCallbackShell(ctx, FSA_EM_ACKNOWLEDGE, nullptr);
        CT_UpdateEvents(ctx);
        return static_cast<FSA_STATUS>(FSA_STS_SUCCESS);
    });
}

FSA_STATUS AIF_SendFIB(FSAAPI_CONTEXT* ctx, const void* request, uint32_t requestLength, _FIB* reply,
                       int throwOnError)
{
    constexpr uint16_t kAifCommand = 700;
    constexpr unsigned kFibHeader = 32;
    alignas(_FIB) uint8_t fib[FSA_FIB_SIZE];
    // A request longer than the FIB's payload would run past the block.
    if (request == nullptr || requestLength > sizeof fib - kFibHeader)
        return FSA_THROW(throwOnError ? 0 : 1, FSA_STS_BAD_PARAMETER);
    faBuildFib(fib, sizeof fib, kAifCommand, static_cast<uint16_t>(requestLength));
    std::memcpy(fib + kFibHeader, request, requestLength);
    const FSA_STATUS status = FsaInternalSendReceiveFib(ctx, faAsFib(fib), 0, FSA_FIB_SIZE);
    if (status == FSA_STS_SUCCESS && reply != nullptr)
        std::memcpy(reply, fib, sizeof fib);
    if (throwOnError && status != FSA_STS_SUCCESS)
        throw status;
    return status;
}

void AIF_SendEventToAllClients(FSAAPI_CONTEXT* ctx, uint32_t eventClass, const FSA_EVENT_DETAILS* details)
{
    // Request 107: word 0 the request, word 2 the class, the details from
    // byte 12; the request is 68 bytes long, so only 56 bytes of the details
    // travel.
    constexpr uint32_t kClientEvent = 107;
    constexpr uint32_t kRequestBytes = 68;
    constexpr size_t kDetailsAt = 12;
    uint8_t request[kRequestBytes] = {};
    faPutLe32(request, kClientEvent);
    faPutLe32(request + 8, eventClass);
    if (details != nullptr)
        std::memcpy(request + kDetailsAt, details->bytes, kRequestBytes - kDetailsAt);
    alignas(_FIB) uint8_t reply[FSA_FIB_SIZE];
    AIF_SendFIB(ctx, request, kRequestBytes, faAsFib(reply), 1);
}


namespace {

// The OS layer's semaphore wait gives up after its own limit, whatever the
// caller asks for; the start hand-shake allows this much in all and asks
// again until then.
constexpr uint32_t kStartHandshakeMs = 180000;
constexpr uint32_t kOsSemaphoreLimitMs = 5000;
constexpr int kWaitForever = -1;

// The event thread reads from its own receive channel: a fetch that waits
// and a poll on one channel would take each other's events and confuse the
// channel's close hand-shake.
constexpr size_t kThreadChannel = 1;

constexpr uint32_t kAifDriverEvent = 4;
constexpr size_t kClientEventDetails = 12;  // payload byte, after the class word
constexpr uint32_t kReportBytes = sizeof(AifJobProgressReport);
// Reports that fit the payload after their offset, whatever Size claims.
constexpr uint32_t kMaxReports =
    static_cast<uint32_t>((FSA_FIB_SIZE - kFibHeader - kAifCommandData) / kReportBytes);

void* fibThread(void* arg)
{
    AIF_FibThreadProcessing(static_cast<FSAAPI_CONTEXT*>(arg));
    return nullptr;
}

bool waitForThreadStart(void* started)
{
    for (uint32_t waited = 0; waited < kStartHandshakeMs; waited += kOsSemaphoreLimitMs) {
        try {
            faos_WaitForSemaphore(started, static_cast<int>(kStartHandshakeMs));
            return true;
        } catch (FSA_STATUS) {
        }
    }
    return false;
}

void destroySemaphore(void*& semaphore)
{
    if (semaphore == nullptr)
        return;
    try {
        faos_DestroySemaphore(semaphore);
    } catch (FSA_STATUS) {
    }
    semaphore = nullptr;
}

void releaseThreadObjects(FSAAPI_CONTEXT* ctx)
{
    destroySemaphore(ctx->aifStartedSemaphore);
    destroySemaphore(ctx->aifEndedSemaphore);
    if (ctx->aifThreadMutex != nullptr) {
        try {
            faos_DestroyMutex(ctx->aifThreadMutex);
        } catch (FSA_STATUS) {
        }
        ctx->aifThreadMutex = nullptr;
    }
    ctx->aifThreadCreated = 0;
    ctx->aifThreadStarted = 0;
    ctx->aifThreadStopping = 0;
}

// Container event codes after which the partitions on the drives may have
// changed.
bool changesPartitions(uint32_t containerEvent)
{
    switch (containerEvent) {
    case 0: case 4: case 9: case 10: case 11: case 12: case 19: case 29: return true;
    default: return false;
    }
}

// The event thread holds no context mutex, so the partition cache is marked
// stale under its own mutex: a rebuild under way when the event came would
// otherwise mark it valid again with what it read before the change. The
// change callback runs after the lock is given back, as an invalidation by
// an export runs it.
void invalidatePartitions(FSAAPI_CONTEXT* ctx)
{
    FSA_PARTITION_CACHE* cache = ctx->partitionCache;
    if (cache == nullptr || cache->mutex == nullptr) {
        CT_InvalidateCache(ctx);
        return;
    }
    {
        FAUX_AUTORELEASE_MUTEX lock(cache->mutex);
        cache->valid = 0;
    }
    if (ctx->changeNotify && ctx->changeCallback != nullptr)
        ctx->changeCallback(ctx->changeUserData);
}

}  // namespace

int AIF_StartThreadProcessing(FSAAPI_CONTEXT* ctx)
{
    if (ctx->aifThreadStarted)
        return 1;
    try {
        ctx->aifThreadMutex = faos_CreateMutex(nullptr);
        ctx->aifEndedSemaphore = faos_CreateSemaphore();
        ctx->aifThreadStarted = 1;
        if (ctx->aifNoEventThread)
            return 1;
        ctx->aifStartedSemaphore = faos_CreateSemaphore();
        faos_CreateThread(fibThread, ctx);
        ctx->aifThreadCreated = 1;
    } catch (FSA_STATUS) {
        // No thread runs: nothing is left for a stop to end.
        releaseThreadObjects(ctx);
        return 0;
    }
    // A thread that has not answered may still run and post the semaphore
    // later, so it is kept until the stop has seen the thread end.
    return waitForThreadStart(ctx->aifStartedSemaphore) ? 1 : 0;
}

void AIF_StopThreadProcessing(FSAAPI_CONTEXT* ctx)
{
    if (!ctx->aifThreadStarted)
        return;
    void* channel = nullptr;
    {
        // Taken together with the thread's checks for a stop, so that a
        // channel the thread opens after this point is closed by the thread.
        FAUX_AUTORELEASE_MUTEX lock(ctx->aifThreadMutex);
        ctx->aifThreadStopping = 1;
        channel = ctx->aifChannel[kThreadChannel];
        ctx->aifChannel[kThreadChannel] = nullptr;
    }
    if (channel != nullptr) {
        // Wakes the thread's waiting fetch; the slot is free even when the
        // driver refuses the close.
        try {
            faos_CloseAIFReceiveChannel(ctx, channel);
        } catch (FSA_STATUS) {
        }
    }
    if (ctx->aifThreadCreated)
        faos_WaitForSemaphore(ctx->aifEndedSemaphore, kWaitForever);
    releaseThreadObjects(ctx);
}

int AIF_FibThreadProcessing(FSAAPI_CONTEXT* ctx)
{
    alignas(_FIB) uint8_t fib[FSA_FIB_SIZE];
    for (;;) {
        std::memset(fib, 0, sizeof fib);
        FSA_STATUS fetched = 0;
        // A channel that cannot be opened ends the thread like a closed one.
        try {
            fetched = InternalWaitAndGetAsyncFib(ctx, faAsFib(fib));
        } catch (FSA_STATUS) {
        }
        if (fetched == 0)
            break;
        try {
            AIF_ParseAndProcessFib(ctx, nullptr, faAsFib(fib));
        } catch (FSA_STATUS) {
        }
    }
    faos_SetSemaphore(ctx->aifEndedSemaphore);
    return 0;
}

FSA_STATUS AdapterWaitAndGetAsyncFib(FSAAPI_CONTEXT* ctx, _FIB* fib)
{
    if (!ctx->aifThreadStarted || ctx->aifThreadStopping)
        return 0;
    void* channel = nullptr;
    {
        FAUX_AUTORELEASE_MUTEX lock(ctx->aifThreadMutex);
        if (ctx->aifThreadStopping)
            return 0;
        ctx->aifThreadWaiting = 1;
        channel = ctx->aifChannel[kThreadChannel];
    }
    if (channel == nullptr) {
        // Opened outside the lock, so that a stop never waits on the driver;
        // a stop that came meanwhile did not see this channel and leaves it
        // to be closed here.
        try {
            channel = faos_OpenAIFReceiveChannel(ctx);
        } catch (FSA_STATUS) {
            ctx->aifThreadWaiting = 0;
            throw;
        }
        bool stopped;
        {
            FAUX_AUTORELEASE_MUTEX lock(ctx->aifThreadMutex);
            stopped = ctx->aifThreadStopping != 0;
            if (!stopped)
                ctx->aifChannel[kThreadChannel] = channel;
        }
        if (stopped) {
            if (channel != nullptr) {
                try {
                    faos_CloseAIFReceiveChannel(ctx, channel);
                } catch (FSA_STATUS) {
                }
            }
            ctx->aifThreadWaiting = 0;
            return 0;
        }
    }
    if (!ctx->aifNoEventThread)
        faos_SetSemaphore(ctx->aifStartedSemaphore);

    // Hosts other than Unix gather what is pending first, folding repeated
    // events; here the queue of the channel is read directly.
    const uint32_t os = ctx->osTypeOverride != 0 ? ctx->osTypeOverride : ctx->osType;
    if (!FsaIsUnixOS(static_cast<int>(os))) {
        alignas(_FIB) uint8_t pending[FSA_FIB_SIZE];
        while (faos_GetAIF(ctx, channel, 0, faAsFib(pending)) == FAOS_AIF_FIB_COPIED)
            ctx->asyncFibCache.PushOnList(faAsFib(pending));
    }
    if (ctx->asyncFibCache.GetFirstAsyncFib(fib)) {
        ctx->aifThreadWaiting = 0;
        return 1;
    }
    const int got = faos_GetAIF(ctx, channel, 1, fib);
    ctx->aifThreadWaiting = 0;
    return got == FAOS_AIF_FIB_COPIED ? 1 : 0;
}

// The translations read the container lists and the configuration model of
// the context and may ask the controller, all of which an export may rebuild
// meanwhile: the event thread takes the context's API mutex for each
// translation, as every export does. The callbacks run without it, so that
// one may wait for a thread that calls an export.
void AIF_ParseAndProcessFib(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, _FIB* fib)
{
    uint8_t* raw = reinterpret_cast<uint8_t*>(fib);
    uint8_t* payload = raw + kFibHeader;
    uint8_t* data = payload + kAifCommandData;
    switch (faGetLe32(payload)) {
    case kAifEventNotify:
        AIF_ProcessEventNotify(ctx, second, data);
        return;
    case kAifJobProgress: {
        const uint32_t size = faGetLe16(raw + kFibSizeField);
        const uint32_t head = kFibHeader + kAifCommandData;
        const uint32_t reports = size < head ? 0 : std::min((size - head) / kReportBytes, kMaxReports);
        for (uint32_t i = 0; i < reports; ++i) {
            AifJobProgressReport report;
            std::memcpy(report.bytes, data + i * kReportBytes, sizeof report.bytes);
            uint32_t eventClass = 0;
            FSA_EVENT_DETAILS details;
            {
                CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
                ParseAifJobProgress(ctx, &report, &eventClass, &details);
            }
            AIF_FilterAndProcessEvent(ctx, second, eventClass, &details);
            ctx->taskCallbackManager.DoCallback(ctx, second, &report, nullptr);
        }
        return;
    }
    case kAifClientEvent: {
        FSA_EVENT_DETAILS details;
        std::memcpy(details.bytes, payload + kClientEventDetails, sizeof details.bytes);
        AIF_FilterAndProcessEvent(ctx, second, faGetLe32(data), &details);
        return;
    }
    case kAifDriverEvent:
        trace("AIF_FibThreadProcessing: API received driver event, ignoring\n");
        return;
    default:
        return;
    }
}

void AIF_ProcessEventNotify(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT* second, const uint8_t* notify)
{
    AifEventNotify copy;
    std::memcpy(copy.bytes, notify, sizeof copy.bytes);
    uint32_t eventClass = 0;
    FSA_EVENT_DETAILS details;
    try {
        CMutexObject api(ctx->contextMutex, &ctx->mutexHeld, 1);
        if (ParseAifEventNotifyFib(ctx, second, &copy, &eventClass, &details) == 0)
            return;
    } catch (FSA_STATUS) {
        return;
    }
    AIF_FilterAndProcessEvent(ctx, second, eventClass, &details);
}

void AIF_FilterAndProcessEvent(FSAAPI_CONTEXT* ctx, FSAAPI_CONTEXT*, uint32_t eventClass, FSA_EVENT_DETAILS* details)
{
    bool invalidate = false;
    switch (eventClass) {
    case FSA_EM_CONFIG_CHANGE:
    case FSA_EM_CONTAINER_CHANGE:
    case FSA_EM_CONTAINER_ADD:
    case FSA_EM_CONTAINER_DELETE:
        invalidate = true;
        break;
    case FSA_EM_CONTAINER_EVENT:
        invalidate = details != nullptr && changesPartitions(faGetLe32(details->bytes + 12));
        break;
    default:
        break;
    }
    if (invalidate)
        invalidatePartitions(ctx);
    FsaGeneralCallbackShell(ctx, eventClass, details);
}
