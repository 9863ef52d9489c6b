// Controller logs: the request dispatcher and its clearing, the stored event
// log, the UART text, the monitor archive, the dead-drive log and the drive
// error table. Each log is one ControllerLog element written into the
// caller's memory through a VStream over it.
#include "RaidModel/Implementation/Vyn/VynAdapter.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynDriveIndex.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/OsFileWriter.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/VStream.h"
#include "common/XMLWriter.h"

namespace {

// Log types the family serves.
constexpr int kDeviceLog = 0;
constexpr int kDeadDriveLog = 5;
constexpr int kEventLog = 6;
constexpr int kUartLog = 7;
constexpr int kMonitorLog = 8;
constexpr int kStatsLog = 9;
constexpr int kCacheLogOne = 13;
constexpr int kCacheLogAll = 14;

constexpr unsigned long kMinLogBuffer = 512;
// What a VStream over a fixed buffer keeps free behind its text: a piece that
// would eat into it makes the stream restart at its start.
constexpr unsigned long kStreamSpare = 4;
// The stream's thousands-separator character doubles as the UART log's
// full mark.
constexpr char kStreamFull = 'x';

// Stored event log: a u32 count, then entries of a time stamp and the event
// record, in a buffer of 256 entries' room (255 whole ones behind the count).
constexpr uint32_t kEventEntryBytes = 336;
constexpr uint32_t kEventLogBytes = 256 * kEventEntryBytes;
constexpr uint32_t kMaxStoredEvents = (kEventLogBytes - 4) / kEventEntryBytes;
constexpr size_t kEventTimeAt = 328;
static_assert(sizeof(tag_FSA_EVENT) + 4 == kEventEntryBytes, "a stored event is its time stamp and its record");

// The dump flags the logs ask the diagnostic dump for: the history buffer.
constexpr unsigned kDumpHistory = 0x8;
constexpr unsigned kDumpConsole = 0;
constexpr unsigned kDumpMonitorArchive = 6;
constexpr unsigned long kMonitorWorkBytes = 10 * 1024 * 1024;
constexpr const char* kMonitorFileName = "VelmornArch.log";

// Dead-drive log.
constexpr size_t kDeadHeaderBytes = 32;
constexpr uint32_t kDeadEntryBytesV0 = 48;
constexpr uint32_t kDeadEntryBytesV1 = 56;
constexpr uint32_t kBufferTooSmall = 5;

// Drive error tables.
constexpr uint32_t kErrorHeaderBytes = 12;
constexpr uint32_t kErrorEntryBytesV1 = 16;
constexpr uint32_t kErrorEntryBytesV2 = 60;
constexpr uint32_t kMaxNewerTableBytes = 65535;
constexpr uint32_t kOldErrorEntries = 341;
constexpr uint32_t kOldErrorEntryBytes = 12;
constexpr uint32_t kOldErrorTableBytes = kOldErrorEntries * kOldErrorEntryBytes;
static_assert(kOldErrorTableBytes == 4092, "the older table is 4092 bytes");

// Bit 21 of option word 2: device address words carry the channel in the top
// byte and the device in the low 24 bits.
constexpr uint32_t kOpt2WideDeviceAddress = 1u << 21;
// Drives of SCSI version above 3 (SAS) report where they sit in an enclosure.
constexpr uint16_t kEnclosedScsiVersion = 3;

// Firmware and adapter texts go into attribute values: the characters that
// would end or open markup are written as entities, control characters
// (which XML allows in no form) as "?".
std::string escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c > 0 && c < 0x20 ? '?' : c;
        }
    }
    return out;
}

// Each byte from 32 to 127 as itself, any other as "?".
std::string printable(const uint8_t* bytes, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += bytes[i] >= 32 && bytes[i] <= 127 ? static_cast<char>(bytes[i]) : '?';
    return out;
}

// A fixed-width field up to its first NUL; with `skipBlanks`, from its first
// non-blank byte.
std::string fieldText(const uint8_t* bytes, size_t width, bool skipBlanks)
{
    size_t from = 0;
    if (skipBlanks)
        while (from < width && bytes[from] == ' ')
            ++from;
    size_t to = from;
    while (to < width && bytes[to] != 0)
        ++to;
    return std::string(reinterpret_cast<const char*>(bytes) + from, to - from);
}

std::string wwnText(const uint8_t* bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < 8; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

// One attribute: a blank, the name, "=\"", the value and "\"".
void number(VStream& out, const char* name, unsigned long long value)
{
    out << " " << name << "=\"";
    out.Put(value, 8);
    out << "\"";
}

void text(VStream& out, const char* name, const std::string& value)
{
    out << " " << name << "=\"" << escaped(value).c_str() << "\"";
}

// The start of every log's element, without its end.
void opening(VStream& out, unsigned long controller, int type)
{
    out << "<ControllerLog controllerID=\"";
    out.Put(static_cast<unsigned long long>(controller), 8);
    out << "\" type=\"";
    out.Put(static_cast<long long>(type), 4);
    out << "\" time=\"";
    out.Put(static_cast<long long>(std::time(nullptr)), 8);
    out << "\"";
}

// The end of a log whose stream may have filled: a fixed buffer that filled
// restarted at its start, so what it holds is no element; it is dropped and
// the request reports the overflow.
void finish(VStream& out, unsigned long* size, Ret& ret, bool full)
{
    if (full || out.IsOverflow()) {
        out.Discard();
        vynerror::overflow(ret, "vs");
    }
    out.Terminate();
    *size = out.PutOffset();
}

// Closes an element that may not fit: the closing text goes at the end when
// it fits, otherwise over the end of the text so the element is still closed.
void closeFitting(VStream& out, const char* closing, unsigned long* size, Ret& ret)
{
    const unsigned long n = std::strlen(closing);
    const unsigned long p = out.PutOffset();
    const unsigned long s = out.BufferSize();
    if (out.IsOverflow() || s < n + 2) {
        finish(out, size, ret, true);
        return;
    }
    if (p + n + kStreamSpare <= s) {
        out << closing;
        out.Terminate();
        *size = out.PutOffset();
        return;
    }
    const unsigned long start = std::min(p, s - n - 2);
    std::memcpy(out.Buffer() + start, closing, n);
    out.Buffer()[start + n] = '\0';
    *size = start + n;
}

// The device and channel of a device address word.
void decodeAddress(uint32_t word, bool wide, uint32_t& channel, uint32_t& device)
{
    if (wide) {
        device = word & 0xFFFFFF;
        channel = (word >> 24) & 0xFF;
    } else {
        device = (word & 0xF) | ((word & 0x70) << 12);
        channel = (word >> 7) & 0x3F;
    }
}

// Finds the drives of the logs' entries: through the adapter's index while a
// build has one set, or through one walk of the tree made on first use, so a
// log costs one walk however many entries it has.
class DriveLookup {
public:
    explicit DriveLookup(const VynAdapter* adapter) : adapter(adapter) {}

    // The attachment of the hard drive at (channel, device), null when there
    // is none or it has no family attachment.
    VynPhysicalDeviceAttach* attachmentAt(uint32_t channel, uint32_t device)
    {
        HardDrive* drive = nullptr;
        if (adapterIndexSet()) {
            drive = adapter->findHardDrive(channel, device);
        } else {
            if (index == nullptr)
                index.reset(new VynDriveIndex(adapter));
            RaidObject* found = index->find(channel, device);
            drive = found != nullptr && found->isInstanceOf("HardDrive") ? static_cast<HardDrive*>(found) : nullptr;
        }
        if (drive == nullptr)
            return nullptr;
        Serializable* attachment = drive->getAttachment();
        if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
            return nullptr;
        return static_cast<VynPhysicalDeviceAttach*>(attachment);
    }

    // Whether the drive reports where it sits in an enclosure.
    static bool enclosed(const VynPhysicalDeviceAttach* attach)
    {
        return attach != nullptr && attach->getFsaInfo()->scsiVersion > kEnclosedScsiVersion;
    }

private:
    bool adapterIndexSet() const
    {
        // The adapter answers from its build's index when one is set; a
        // lookup that misses there would walk the tree, so the local index is
        // used whenever the adapter has none.
        return adapter->hasDriveIndex();
    }

    const VynAdapter* adapter;
    std::unique_ptr<VynDriveIndex> index;
};

bool oneBufferType(int type)
{
    switch (type) {
    case kDeviceLog:
    case kDeadDriveLog:
    case kEventLog:
    case kUartLog:
    case kMonitorLog:
    case kStatsLog:
    case kCacheLogOne:
    case kCacheLogAll:
        return true;
    default:
        return false;
    }
}

bool twoBufferType(int type)
{
    return oneBufferType(type) && type != kCacheLogOne && type != kCacheLogAll;
}

// The callback context of the monitor archive: the firmware interface writes
// the chunk's byte count into the first word before each call.
struct MonitorArchiveContext {
    uint8_t count[4];
    VStream* stream;
    bool full;
};

}  // namespace

void fsaUartDumpCallBack(const char* text, void* stream)
{
    if (text == nullptr || stream == nullptr)
        return;
    auto* out = static_cast<VStream*>(stream);
    if (out->ThousandSep() == kStreamFull)
        return;
    try {
        const unsigned long n = std::strlen(text);
        // The chunk belongs to the firmware interface: the blanks go into a
        // copy. The text sits in a CDATA section, which "]]>" would end (and
        // the command engine prints a log only up to it): a blank goes
        // between "]]" and ">", also where "]]" ended an earlier chunk.
        const unsigned long at = out->PutOffset();
        const char* written = out->Buffer();
        char before[2] = {at >= 2 ? written[at - 2] : '\0', at >= 1 ? written[at - 1] : '\0'};
        std::string chunk;
        chunk.reserve(n);
        for (unsigned long i = 0; i < n; ++i) {
            char c = text[i];
            if (static_cast<signed char>(c) < 32 && c != '\t' && c != '\n' && c != '\r')
                c = ' ';
            if (c == '>' && before[0] == ']' && before[1] == ']') {
                chunk += ' ';
                before[0] = ' ';
            } else {
                before[0] = before[1];
            }
            before[1] = c;
            chunk += c;
        }
        if (at + chunk.size() + kStreamSpare > out->BufferSize()) {
            out->SetThousandSep(kStreamFull);
            return;
        }
        out->PutBytes(chunk.data(), static_cast<unsigned long>(chunk.size()));
    } catch (...) {
        out->SetThousandSep(kStreamFull);
    }
}

void fsaMonArchDumpCallBack(const char* data, void* context)
{
    if (context == nullptr)
        return;
    auto* ctx = static_cast<MonitorArchiveContext*>(context);
    if (ctx->full || ctx->stream == nullptr)
        return;
    const uint32_t n = faGetLe32(ctx->count);
    if (n == 0 || data == nullptr)
        return;
    try {
        ctx->stream->PutBytes(data, n);
        if (ctx->stream->IsOverflow())
            ctx->full = true;
    } catch (...) {
        ctx->full = true;
    }
}

Ret VynAdapter::getControllerLog(EnumLogTypeRequest type, char* buffer, unsigned long& size, unsigned int param)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getControllerLog()");
    Ret ret(0);
    try {
        if (!oneBufferType(type)) {
            vynerror::badParam(ret, "Invalid log type", type);
            return ret;
        }
        if (buffer == nullptr || size < kMinLogBuffer) {
            vynerror::badParam(ret, "Buffer must be at least 512 bytes in size", 0);
            return ret;
        }
        VStream out(buffer, size);
        out.SetNo1000Seperator();
        switch (type) {
        case kDeviceLog:
            return getDeviceLog(&out, &size);
        case kDeadDriveLog:
            return getDeadDriveLog(&out, &size);
        case kEventLog:
            return getEventLog(&out, &size);
        case kUartLog:
            return getUARTLog(&out, &size);
        case kMonitorLog:
            return getMonitorArchiveLog(&out, &size);
        case kStatsLog:
            return getAdapterStatsLog(&out, nullptr, 0, &size, nullptr);
        default:
            return getAdapterCacheLog(&out, &size, param, type);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getControllerLog(EnumLogTypeRequest type, char* buffer1, unsigned long& size1, char* buffer2,
                                 unsigned long& size2)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getControllerLog()");
    Ret ret(0);
    try {
        if (!twoBufferType(type)) {
            vynerror::badParam(ret, "Invalid log type", type);
            return ret;
        }
        // A buffer without memory counts as none.
        const bool has1 = buffer1 != nullptr && size1 != 0;
        const bool has2 = buffer2 != nullptr && size2 != 0;
        if (!has1 && !has2) {
            vynerror::badParam(ret, "Buffer size is too small", 0);
            return ret;
        }
        if (!has2)
            return getControllerLog(type, buffer1, size1, 0);
        std::unique_ptr<VStream> out1;
        if (has1) {
            out1.reset(new VStream(buffer1, size1));
            out1->SetNo1000Seperator();
        }
        VStream out2(buffer2, size2);
        out2.SetNo1000Seperator();
        out2 << "ControllerLog \n";
        if (type == kStatsLog)
            return getAdapterStatsLog(out1.get(), &out2, has1 ? 2 : 1, &size1, &size2);
        // The other logs have no comma-separated form: buffer 2 alone cannot
        // take them.
        if (!has1) {
            vynerror::badParam(ret, "Buffer size is too small", 0);
            return ret;
        }
        out2.Terminate();
        size2 = out2.PutOffset();
        switch (type) {
        case kDeviceLog:
            return getDeviceLog(out1.get(), &size1);
        case kDeadDriveLog:
            return getDeadDriveLog(out1.get(), &size1);
        case kEventLog:
            return getEventLog(out1.get(), &size1);
        case kUartLog:
            return getUARTLog(out1.get(), &size1);
        default:
            return getMonitorArchiveLog(out1.get(), &size1);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::clearControllerLog(EnumLogTypeRequest type)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::clearControllerLog()");
    Ret ret(0);
    try {
        if (type != kDeviceLog && type != kDeadDriveLog && type != kEventLog) {
            vynerror::badParam(ret, "Invalid log type", type);
            return ret;
        }
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        FSA_STATUS status;
        const char* call;
        if (type == kDeviceLog) {
            status = fsaExports().FsaClearDriveErrorTable(handle.getAdapterRWHandle());
            call = "FsaClearDriveErrorTable()";
        } else if (type == kDeadDriveLog) {
            status = fsaExports().FsaClearDeadDriveLog(handle.getAdapterRWHandle());
            call = "FsaClearDeadDriveLog()";
        } else {
            status = fsaExports().FsaResetNvramEventLog(handle.getAdapterRWHandle());
            call = "FsaResetNvramEventLog()";
        }
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, call, status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getEventLog(VStream* out, unsigned long* size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getEventLog()");
    Ret ret(0);
    try {
        std::unique_ptr<uint8_t[]> log(new (std::nothrow) uint8_t[kEventLogBytes]());
        if (log == nullptr) {
            vynerror::resourceError(ret, "pBuff = new char[256*sizeof(FSA_EVENT_LOG_ENTRY)]");
            return ret;
        }
        const FSA_STATUS status = fsaExports().FsaGetNvramEventLog(adapterHandle, log.get(), kEventLogBytes);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetNvsramEventLog(x, x, x)", status);
            return ret;
        }
        // Entries past the buffer were never delivered.
        const uint32_t count = std::min(faGetLe32(log.get()), kMaxStoredEvents);
        bool full = false;
        try {
            opening(*out, getAdapterID(), kEventLog);
            *out << ">\n" << "    <eventlog>\n";
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* entry = log.get() + 4 + static_cast<size_t>(kEventEntryBytes) * i;
                *out << "    ";
                tag_FSA_EVENT event;
                std::memcpy(&event, entry + 4, sizeof event);
                std::memcpy(reinterpret_cast<uint8_t*>(&event) + kEventTimeAt, entry, 4);
                char* rendered = nullptr;
                XMLWriter writer(&rendered);
                GetXmlFromFsaEvent(event, &writer, ret);
                if (ret.getReturn() != 0)
                    break;
                out->PutBytes(rendered, writer.getStrSize());
            }
            *out << "    </eventlog>\n" << "</ControllerLog>\n";
        } catch (const DynamicBufferException&) {
            full = true;
        }
        finish(*out, size, ret, full);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getUARTLog(VStream* out, unsigned long* size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getUARTLog()");
    Ret ret(0);
    try {
        try {
            opening(*out, getAdapterID(), kUartLog);
            *out << "><![CDATA[";
        } catch (const DynamicBufferException&) {
            finish(*out, size, ret, true);
            return ret;
        }
        unsigned flags = kDumpHistory;
        const FSA_STATUS status =
            fsaExports().FsaDiagnostic(adapterHandle, kDumpConsole, &flags, fsaUartDumpCallBack, out);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaDiagnostic()", status);
            return ret;
        }
        closeFitting(*out, "]]></ControllerLog>\n", size, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getMonitorArchiveLog(VStream* out, unsigned long* size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getMonitorArchiveLog()");
    Ret ret(0);
    try {
        const std::string path = std::string(gStorDebugFilePath) + kMonitorFileName;
        std::unique_ptr<char[]> work(new (std::nothrow) char[kMonitorWorkBytes]);
        if (work == nullptr) {
            vynerror::resourceError(ret, "pTmpBuf = new char[tmpBufSize]");
            return ret;
        }
        VStream archive(work.get(), kMonitorWorkBytes);
        MonitorArchiveContext context = {{0, 0, 0, 0}, &archive, false};
        unsigned flags = kDumpHistory;
        const FSA_STATUS status = fsaExports().FsaDiagnostic(adapterHandle, kDumpMonitorArchive, &flags,
                                                             fsaMonArchDumpCallBack, &context);
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaDiagnostic()", status);
            return ret;
        }
        // A work stream that filled up restarted at its start: what it holds
        // is not the archive, and no file is better than a wrong one.
        if (context.full || archive.IsOverflow()) {
            vynerror::overflow(ret, "pTmpBuf");
            return ret;
        }
        // Without a debug directory the name would be relative to wherever
        // the program runs.
        osFileWriter file;
        if (gStorDebugFilePath[0] == '\0' || !file.Open(path.c_str(), "wb+")) {
            vynerror::resourceError(ret, "logFile.Open");
            return ret;
        }
        file.Write(work.get(), archive.PutOffset());
        file.Close();
        try {
            opening(*out, getAdapterID(), kMonitorLog);
            *out << " filename=\"" << escaped(path).c_str() << "\"";
        } catch (const DynamicBufferException&) {
            finish(*out, size, ret, true);
            return ret;
        }
        closeFitting(*out, "/>\n", size, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getDeadDriveLog(VStream* out, unsigned long* size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getDeadDriveLog()");
    Ret ret(0);
    try {
        uint32_t header[kDeadHeaderBytes / 4] = {};
        uint32_t bytes = 0;
        FSA_STATUS status = fsaExports().FsaGetDeadDriveLog2(adapterHandle, header, nullptr, &bytes);
        if (status != FSA_STS_SUCCESS && status != kBufferTooSmall) {
            vynerror::apiError(ret, "FsaGetDeadDriveLog()", status);
            return ret;
        }
        uint8_t head[kDeadHeaderBytes];
        std::memcpy(head, header, sizeof head);
        uint32_t count = faGetLe32(head);
        const uint16_t version = faGetLe16(head + 16);
        // Other versions have no entry layout: the element stays empty.
        const uint32_t entryBytes = version == 0 ? kDeadEntryBytesV0 : version == 1 ? kDeadEntryBytesV1 : 0;
        std::unique_ptr<uint8_t[]> entries;
        if (count != 0 && entryBytes != 0) {
            const uint64_t wanted = static_cast<uint64_t>(count) * entryBytes;
            // The count is believed only as far as the log's size, as the
            // controller reported it with the header, holds that many
            // entries: a count beyond it is no answer to allocate for (it
            // could ask for gigabytes).
            if (wanted > bytes) {
                vynerror::apiError(ret, "FsaGetDeadDriveLog()", FSA_STS_CT_BAD_RESPONSE);
                return ret;
            }
            entries.reset(new (std::nothrow) uint8_t[wanted]());
            if (entries == nullptr) {
                vynerror::resourceError(ret, version == 0
                                                 ? "pDeadDriveLog = new FSA_DEAD_DRIVE_LOG_ENTRY[logHeader.entryCount]"
                                                 : "pDeadDriveLog = new FSA_DEAD_DRIVE_LOG_ENTRY2[logHeader.entryCount]");
                return ret;
            }
            // Only the room allocated from the first header is offered, and
            // only as many entries as both headers name are read.
            bytes = static_cast<uint32_t>(wanted);
            uint32_t again[kDeadHeaderBytes / 4] = {};
            status = fsaExports().FsaGetDeadDriveLog2(adapterHandle, again, entries.get(), &bytes);
            if (status != FSA_STS_SUCCESS) {
                vynerror::apiError(ret, "FsaGetDeadDriveLog()", status);
                return ret;
            }
            uint8_t second[kDeadHeaderBytes];
            std::memcpy(second, again, sizeof second);
            count = std::min(count, faGetLe32(second));
        } else {
            count = 0;
        }

        const unsigned long controller = getAdapterID();
        DriveLookup drives(this);
        bool full = false;
        try {
            opening(*out, controller, kDeadDriveLog);
            number(*out, "version", version);
            *out << ">\n";
            // An overflowed stream is discarded at the end: the entries after
            // it would only cost time.
            for (uint32_t i = 0; i < count && !out->IsOverflow(); ++i) {
                const uint8_t* e = entries.get() + static_cast<size_t>(entryBytes) * i;
                *out << "    <deadDriveEntry";
                if (version == 0) {
                    number(*out, "adapterID", controller);
                    number(*out, "channelID", e[2]);
                    number(*out, "deviceID", e[1]);
                    number(*out, "entryType", e[3]);
                    number(*out, "rtcSeconds", e[5]);
                    number(*out, "rtcMinutes", e[6]);
                    number(*out, "rtcHours", e[7]);
                    number(*out, "rtcDay", e[8]);
                    number(*out, "rtcMonth", e[9]);
                    number(*out, "rtcYear", faGetLe16(e + 10));
                    size_t serial = 8;
                    while (serial > 0 && e[12 + serial - 1] == 0)
                        --serial;
                    text(*out, "serialNumber", printable(e + 12, serial));
                    text(*out, "vendorProductID", printable(e + 12, 16));
                    const uint32_t reason = faGetLe32(e + 36);
                    const uint32_t major = reason >> 24;
                    number(*out, "failureReasonCode", reason);
                    number(*out, "majorReasonCode", major);
                    if (major == 1 || major == 4 || major == 6) {
                        number(*out, "senseKey", (reason >> 16) & 0xFF);
                        number(*out, "senseASC", (reason >> 8) & 0xFF);
                        number(*out, "senseASCQ", reason & 0xFF);
                    }
                    number(*out, "deviceAddress", faGetLe32(e + 40));
                    if (DriveLookup::enclosed(drives.attachmentAt(e[2], e[1]))) {
                        number(*out, "slotNum", e[0]);
                        number(*out, "enclIndex", e[4]);
                    }
                } else {
                    text(*out, "vendorID", fieldText(e + 36, 8, true));
                    number(*out, "rtcSeconds", e[1]);
                    number(*out, "rtcMinutes", e[2]);
                    number(*out, "rtcHours", e[3]);
                    number(*out, "rtcDay", e[4]);
                    number(*out, "rtcMonth", e[5]);
                    number(*out, "rtcYear", faGetLe16(e + 6));
                    text(*out, "serialNumber", fieldText(e + 8, 20, true));
                    text(*out, "productID", fieldText(e + 44, 8, false));
                    text(*out, "wwn", wwnText(e + 28));
                    number(*out, "failureReasonCode", faGetLe32(e + 52));
                }
                *out << "/>\n";
            }
            *out << "</ControllerLog>\n";
        } catch (const DynamicBufferException&) {
            full = true;
        }
        finish(*out, size, ret, full);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getDeviceLog(VStream* out, unsigned long* size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getDeviceLog()");
    Ret ret(0);
    try {
        const unsigned long controller = getAdapterID();
        const bool wide = (faGetLe32(fsaInfo.bytes + GI_SUPPORTED_OPTIONS2) & kOpt2WideDeviceAddress) != 0;
        DriveLookup drives(this);
        uint32_t tableBytes = 0;
        const FSA_STATUS sized = fsaExports().FsaGetDriveErrorTableSize(adapterHandle, &tableBytes);
        bool full = false;
        if (sized == FSA_STS_SUCCESS && tableBytes >= 1 && tableBytes <= kMaxNewerTableBytes) {
            // Room for the header whatever the size said, in 16-bit units as
            // the export takes it.
            const uint32_t room = std::max(tableBytes, kErrorHeaderBytes);
            std::unique_ptr<uint16_t[]> table(new (std::nothrow) uint16_t[(room + 1) / 2]());
            if (table == nullptr) {
                vynerror::resourceError(ret, "new char[maxTableSize] failed");
                return ret;
            }
            const FSA_STATUS status = fsaExports().FsaGetDriveErrorTable2(adapterHandle, tableBytes, table.get());
            if (status != FSA_STS_SUCCESS) {
                vynerror::apiError(ret, "FsaGetDriveErrorTable2()", status);
                return ret;
            }
            const uint8_t* t = reinterpret_cast<const uint8_t*>(table.get());
            const uint32_t entryBytes = faGetLe16(t + 2);
            const uint32_t version = faGetLe16(t + 8);
            const bool tableFull = (t[10] & 1) != 0;
            // Entries smaller than their layout, or of a version without
            // one, end the table.
            const uint32_t layout = version == 1 ? kErrorEntryBytesV1 : version >= 2 ? kErrorEntryBytesV2 : 0;
            uint32_t used = 0;
            if (layout != 0 && entryBytes >= layout && tableBytes > kErrorHeaderBytes)
                used = std::min<uint32_t>(faGetLe16(t + 4), (tableBytes - kErrorHeaderBytes) / entryBytes);
            try {
                opening(*out, controller, kDeviceLog);
                number(*out, "version", version);
                *out << (tableFull ? " tableFull=\"true" : " tableFull=\"false") << "\">\n";
                for (uint32_t i = 0; i < used; ++i) {
                    const uint8_t* e = t + kErrorHeaderBytes + static_cast<size_t>(entryBytes) * i;
                    *out << "    <driveErrorEntry";
                    if (version == 1) {
                        uint32_t channel = 0, device = 0;
                        decodeAddress(faGetLe32(e), wide, channel, device);
                        number(*out, "adapterID", controller);
                        number(*out, "channelID", channel);
                        number(*out, "deviceID", device);
                        number(*out, "slotNum", e[5]);
                        number(*out, "enclIndex", e[6]);
                        number(*out, "numParityErrors", faGetLe16(e + 8));
                        number(*out, "linkFailures", faGetLe16(e + 10));
                        number(*out, "hwErrors", e[7]);
                        number(*out, "abortedCmds", faGetLe16(e + 12));
                        number(*out, "mediumErrors", faGetLe16(e + 14));
                        *out << "/>\n";
                    } else {
                        *out << ((faGetLe16(e + 10) & 1) != 0 ? " smartError=\"true\"" : " smartError=\"false\"");
                        text(*out, "vendorID", fieldText(e + 44, 8, true));
                        text(*out, "serialNumber", fieldText(e + 16, 20, true));
                        text(*out, "wwn", wwnText(e + 36));
                        if (version >= 3)
                            number(*out, "deviceID", static_cast<uint32_t>(e[13]) << 16 | faGetLe16(e + 14));
                        text(*out, "productID", fieldText(e + 52, 8, false));
                        number(*out, "numParityErrors", faGetLe16(e + 4));
                        number(*out, "linkFailures", faGetLe16(e + 6));
                        number(*out, "hwErrors", e[1]);
                        number(*out, "abortedCmds", faGetLe16(e + 8));
                        number(*out, "mediumErrors", faGetLe16(e + 2));
                        number(*out, "smartWarning", e[12]);
                        *out << " />\n";
                    }
                }
                *out << "</ControllerLog>\n";
            } catch (const DynamicBufferException&) {
                full = true;
            }
            finish(*out, size, ret, full);
            return ret;
        }

        std::unique_ptr<uint8_t[]> table(new (std::nothrow) uint8_t[kOldErrorTableBytes]());
        if (table == nullptr) {
            vynerror::resourceError(
                ret, "pDriveErrorTable = new FSA_DRIVE_ERROR_TABLE_ENTRY_OLD[MAX_DRIVE_ERROR_TABLE_ENTRIES_OLD]");
            return ret;
        }
        uint32_t count = kOldErrorEntries;
        const FSA_STATUS status = fsaExports().FsaGetDriveErrorTable(adapterHandle, &count, table.get());
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaGetDriveErrorTable()", status);
            return ret;
        }
        // The buffer holds no more than it was offered for.
        count = std::min(count, kOldErrorEntries);
        try {
            opening(*out, controller, kDeviceLog);
            *out << ">\n";
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* e = table.get() + static_cast<size_t>(kOldErrorEntryBytes) * i;
                uint32_t channel = 0, device = 0;
                decodeAddress(faGetLe32(e), wide, channel, device);
                *out << "    <driveErrorEntry";
                number(*out, "adapterID", controller);
                number(*out, "channelID", channel);
                number(*out, "deviceID", device);
                number(*out, "numParityErrors", e[4]);
                number(*out, "linkFailures", e[5]);
                number(*out, "hwErrors", e[6]);
                const VynPhysicalDeviceAttach* attach = drives.attachmentAt(channel, device);
                if (DriveLookup::enclosed(attach) && attach->getFsaEnclosureId() != VynPhysicalDeviceAttach::UNSET) {
                    number(*out, "slotNum", e[7]);
                    number(*out, "enclIndex", e[8]);
                }
                *out << "/>\n";
            }
            *out << "</ControllerLog>\n";
        } catch (const DynamicBufferException&) {
            full = true;
        }
        finish(*out, size, ret, full);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}
