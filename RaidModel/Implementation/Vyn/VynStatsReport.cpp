// The controller statistics record: its XML, cache and CSV reports, the
// statistics and cache logs built on them, the raw block, and the switches
// that start, stop and reset the controller's collection.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>

#include "Command/Vyn/common/fa_bytes.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "common/CSVWriter.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/VStream.h"
#include "common/XMLWriter.h"

namespace {

// Statistics type of the controller statistics record.
constexpr uint32_t kStatsRecordType = 0;
constexpr int kLogTypeStats = 9;
constexpr int kLogTypeCacheOne = 13;
constexpr int kLogTypeCacheAll = 14;

// Room the raw block takes: per logical drive, per hard drive and fixed.
constexpr unsigned long kBytesPerLogicalDrive = 1192;
constexpr unsigned long kBytesPerHardDrive = 52;
constexpr unsigned long kFixedBytes = 6768;

// ---------------------------------------------------------------------------
// The record. All fields little-endian; 64-bit counters are two 32-bit words,
// low first, on 4-byte boundaries.

enum class Form { V3, V2, Other };

constexpr size_t kLdSectionOffset = 0;
constexpr size_t kSecondsSinceUpdate = 8;
constexpr size_t kMinorVersion = 12;
constexpr size_t kMajorVersion = 14;
constexpr size_t kCmdCnt = 16;
constexpr uint32_t kVersion3 = 0x00030000;
constexpr uint32_t kVersion2 = 0x00020000;

// The header continuation of each version: its SSD overview and the
// maximum and age fields.
constexpr size_t kSsdCachePages = 104;
constexpr size_t kPagesOnFetchList = 108;
constexpr size_t kV3PagesOnDirtyList = 112;
constexpr size_t kV3PagesOnFailedList = 116;
constexpr size_t kV3FetchCandidates = 120;
constexpr size_t kV3CandidateReplacements = 124;
constexpr size_t kV3MaxSectorsPerSec = 132;
constexpr size_t kV2FetchCandidates = 112;
constexpr size_t kV2CandidateReplacements = 116;
constexpr size_t kV2MaxSectorsPerSec = 124;
// maxIOsPerSec and configAge follow maxSectorsPerSec.
constexpr size_t kHeaderBytesV3 = 144;
constexpr size_t kHeaderBytesV2 = 136;
constexpr size_t kHeaderBytesOther = 104;

// Section header: count, entry size (the stride), 16 bytes unread.
constexpr size_t kSectionHeaderBytes = 24;

// Logical-drive entry.
constexpr size_t kLdHandle = 0;
constexpr size_t kInterCmdTime = 8;
constexpr size_t kReadCompletion = 144;
constexpr size_t kWriteCompletion = 264;
constexpr size_t kReadDisplacement = 384;
constexpr size_t kWriteDisplacement = 560;
constexpr size_t kReadSize = 736;
constexpr size_t kWriteSize = 832;
constexpr size_t kNumReads = 928;
constexpr size_t kPwrMgtState1 = 968;
constexpr size_t kPwrMgtState2 = 972;
// The fields each version reads from an entry end here.
constexpr size_t kLdEntryBytesV3 = 1168;
constexpr size_t kLdEntryBytesV2 = 1176;
constexpr size_t kLdEntryBytesOther = 976;

// Physical-device entry: handle, then six u32 counters.
constexpr size_t kPdEntryBytes = 28;

struct Histogram {
    size_t offset;
    const char* const* labels;
    unsigned count;
};

const char* const kCmdCntLabels[] = {"0", "1", "2", "4", "8", "16", "32", "64", "128", "256", "512"};
const char* const kInterCmdLabels[] = {"Usec16", "Usec64", "Usec256", "Usec1K", "Usec4K", "Usec16K",
                                       "Usec64K", "Usec256K", "Usec1M", "Sec2", "Sec8", "Sec32",
                                       "Sec128", "Sec512", "Sec2K", "Sec8K", "Sec32K"};
const char* const kCompletionLabels[] = {"64", "128", "256", "512", "1K", "2K", "4K", "8K",
                                         "16K", "32K", "64K", "128K", "256K", "512K", "1M"};
// The CSV columns name the same fifteen buckets differently past 64K.
const char* const kCsvCompletionLabels[] = {"64", "128", "256", "512", "1K", "2K", "4K", "8K",
                                            "16K", "32K", "64K", "1M", "2M", "5M", "10M"};
const char* const kDisplacementLabels[] = {"0",   "1",   "4",    "16",   "64",   "256", "1K",   "4K",
                                           "16K", "64K", "256K", "1M",   "4M",   "16M", "64M",  "256M",
                                           "1G",  "4G",  "16G",  "64G",  "256G", "1T"};
const char* const kSizeLabels[] = {"1", "2", "4", "8", "16", "32", "64", "128", "256", "512", "1K", "2K"};

template <size_t N>
constexpr unsigned countOf(const char* const (&)[N])
{
    return static_cast<unsigned>(N);
}

const char* const kLdTotals[] = {"numReads", "numWrites", "ttlBlkRead", "ttlBlkWrite", "ttlDiskFailures"};
const char* const kPdCounters[] = {"senseKey4Cnt", "mediumErrCnt", "parityErrCnt",
                                   "linkFailCnt",  "abortedCmdCnt", "smartWarnCnt"};

// A cache block: its 64-bit counters from `first64` on, one after another,
// then its 32-bit values (the gauges, then the SSD hit histogram). The 2.0
// block has a gap of eight bytes among its counters.
struct Field {
    const char* name;
    size_t offset;
};

const Field kCache64V3[] = {
    {"uncachedReads", 976},          {"uncachedWrites", 984},
    {"dramFullHitReads", 992},       {"dramWaitHitReads", 1000},
    {"dramHybridHitReads", 1008},    {"dramCacheWrites", 1016},
    {"dramFlushWaitWrites", 1024},   {"dramCacheFlushes", 1032},
    {"ssdHitReads", 1040},           {"ssdHitWrites", 1048},
    {"ssdPageUpdates", 1056},        {"ssdPageDirectAllocations", 1064},
    {"ssdInvalidationsReplace", 1072}, {"ssdInvalidationsRWBalance", 1080},
    {"ssdInvalidationsFSW", 1088},   {"ssdInvalidationsOther", 1096},
    {"ssdFetches", 1104},            {"ssdFlushes", 1112},
};
const Field kCache32V3[] = {
    {"ssdCacheValidPages", 1120},   {"ssdCacheDirtyPages", 1124},
    {"ssdpageshit0", 1128},         {"ssdpageshit1", 1132},
    {"ssdpageshit2to3", 1136},      {"ssdpageshit4to7", 1140},
    {"ssdpageshit8to15", 1144},     {"ssdpageshit16to31", 1148},
    {"ssdpageshit32to63", 1152},    {"ssdpageshit64to127", 1156},
    {"ssdpageshit128to255", 1160},  {"ssdpageshit256plus", 1164},
};
const Field kCache64V2[] = {
    {"uncachedReads", 976},          {"uncachedWrites", 984},
    {"dramFullHitReads", 992},       {"dramWaitHitReads", 1000},
    {"dramHybridHitReads", 1008},    {"dramCacheWrites", 1016},
    {"dramFlushWaitWrites", 1024},   {"dramCacheFlushes", 1032},
    {"ssdHitReads", 1040},           {"ssdPageUpdates", 1056},
    {"ssdInvalidationsReplace", 1064}, {"ssdInvalidationsRWBalance", 1072},
    {"ssdInvalidationsLargeWrite", 1080}, {"ssdInvalidationsOther", 1088},
    {"ssdFetches", 1096},
};
const Field kCache32V2[] = {
    {"ssdCacheValidPages", 1104},    {"ssdpageshit0", 1108},
    {"ssdpageshit1", 1112},          {"ssdpageshit2to3", 1116},
    {"ssdpageshit4to7", 1120},       {"ssdpageshit8to15", 1124},
    {"ssdpageshit16to31", 1128},     {"ssdpageshit32to63", 1132},
    {"ssdpageshit64to127", 1136},    {"ssdpageshit128to255", 1140},
    {"ssdpageshit256to511", 1144},   {"ssdpageshit512to1023", 1148},
    {"ssdpageshit1Kto2047", 1152},   {"ssdpageshit2Kto4095", 1156},
    {"ssdpageshit4Kto9191", 1160},   {"ssdpageshit8Kto16383", 1164},
    {"ssdpageshit16Kto32767", 1168}, {"ssdpageshit32Kplus", 1172},
};

struct CacheLayout {
    const Field* counters;
    unsigned counterCount;
    const Field* values;
    unsigned valueCount;
    // Of the 32-bit values, how many are gauges of the SSD element; the rest
    // form the hit histogram.
    unsigned gauges;
};

constexpr unsigned kUncachedCounters = 2;
constexpr unsigned kDramCounters = 6;
constexpr unsigned kMaxCounters = 18;
constexpr unsigned kMaxValues = 18;

const CacheLayout kCacheV3 = {kCache64V3, sizeof kCache64V3 / sizeof kCache64V3[0], kCache32V3,
                              sizeof kCache32V3 / sizeof kCache32V3[0], 2};
const CacheLayout kCacheV2 = {kCache64V2, sizeof kCache64V2 / sizeof kCache64V2[0], kCache32V2,
                              sizeof kCache32V2 / sizeof kCache32V2[0], 1};

// One set of cache values: an entry's own or the sums over all entries.
// 64-bit sums carry, 32-bit sums wrap.
struct CacheValues {
    uint64_t counters[kMaxCounters] = {};
    uint32_t values[kMaxValues] = {};
};

// A record read only where it lies inside its buffer.
class StatsRecord {
public:
    StatsRecord(const char* record, unsigned long length)
        : base(reinterpret_cast<const uint8_t*>(record)), size(record != nullptr ? length : 0)
    {
        if (size < kCmdCnt)
            return;
        const uint32_t version = faGetLe32(base + kMinorVersion);
        major = faGetLe16(base + kMajorVersion);
        minor = faGetLe16(base + kMinorVersion);
        form = version == kVersion3 ? Form::V3 : version == kVersion2 ? Form::V2 : Form::Other;
        const size_t header = form == Form::V3 ? kHeaderBytesV3 : form == Form::V2 ? kHeaderBytesV2 : kHeaderBytesOther;
        if (size < header)
            return;
        usable = true;
        const size_t ldMinimum = form == Form::V3 ? kLdEntryBytesV3 : form == Form::V2 ? kLdEntryBytesV2
                                                                                      : kLdEntryBytesOther;
        const uint64_t ldSection = faGetLe32(base + kLdSectionOffset);
        bool ldWhole = false;
        ld = readSection(ldSection, ldMinimum, &ldWhole);
        // The device section lies behind the last drive entry the header
        // announces: only a drive section that is whole places it.
        if (ldWhole)
            pd = readSection(ldSection + kSectionHeaderBytes + uint64_t(ld.stated) * ld.stride, kPdEntryBytes,
                             nullptr);
    }

    struct Section {
        uint32_t stated = 0;  // the count as the record states it
        uint32_t stride = 0;
        uint32_t entries = 0;  // entries wholly inside the buffer
        const uint8_t* first = nullptr;
        const uint8_t* entry(uint32_t i) const { return first + size_t(i) * stride; }
    };

    bool isUsable() const { return usable; }
    Form getForm() const { return form; }
    unsigned getMajor() const { return major; }
    unsigned getMinor() const { return minor; }
    uint32_t u32(size_t offset) const { return faGetLe32(base + offset); }
    uint64_t u64(size_t offset) const { return faGetLe64(base + offset); }
    const Section& drives() const { return ld; }
    const Section& devices() const { return pd; }

private:
    // A section whose header lies inside the buffer, with its entries that
    // lie wholly inside; a stride shorter than the fields read marks the
    // entries as corrupt (none read). `whole` tells whether every entry the
    // header announces was there.
    Section readSection(uint64_t at, size_t minimum, bool* whole) const
    {
        Section s;
        if (at + kSectionHeaderBytes > size)
            return s;
        s.stated = faGetLe32(base + at);
        s.stride = faGetLe32(base + at + 4);
        if (s.stated == 0) {
            if (whole != nullptr)
                *whole = true;
            return s;
        }
        if (s.stride < minimum)
            return s;
        s.first = base + at + kSectionHeaderBytes;
        // The last entry needs only the fields read, not the whole stride.
        const uint64_t room = size - at - kSectionHeaderBytes;
        uint64_t fit = room < minimum ? 0 : (room - minimum) / s.stride + 1;
        if (fit >= s.stated) {
            fit = s.stated;
            if (whole != nullptr)
                *whole = uint64_t(s.stated) * s.stride <= room;
        }
        s.entries = static_cast<uint32_t>(fit);
        return s;
    }

    const uint8_t* base;
    unsigned long size;
    bool usable = false;
    Form form = Form::Other;
    unsigned major = 0;
    unsigned minor = 0;
    Section ld;
    Section pd;
};

uint32_t le32(const uint8_t* p, size_t offset) { return faGetLe32(p + offset); }
uint64_t le64(const uint8_t* p, size_t offset) { return faGetLe64(p + offset); }

const CacheLayout* cacheLayoutOf(Form form)
{
    return form == Form::V3 ? &kCacheV3 : form == Form::V2 ? &kCacheV2 : nullptr;
}

CacheValues cacheValuesOf(const uint8_t* entry, const CacheLayout& layout)
{
    CacheValues v;
    for (unsigned i = 0; i < layout.counterCount; ++i)
        v.counters[i] = le64(entry, layout.counters[i].offset);
    for (unsigned i = 0; i < layout.valueCount; ++i)
        v.values[i] = le32(entry, layout.values[i].offset);
    return v;
}

std::string versionText(const StatsRecord& r)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", static_cast<int>(r.getMajor()), static_cast<int>(r.getMinor()));
    return text;
}

// ---------------------------------------------------------------------------
// XML

void writeBuckets(XMLWriter& w, const char* prefix, const uint8_t* base, size_t offset, const char* const* labels,
                  unsigned count)
{
    char name[48];
    for (unsigned i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "%s%s", prefix, labels[i]);
        w.writeU64(name, le64(base, offset + size_t(i) * 8));
    }
}

void writeHistogramElement(XMLWriter& w, const char* element, const char* prefix, const uint8_t* entry,
                           size_t offset, const char* const* labels, unsigned count)
{
    w.writeRawString(element);
    writeBuckets(w, prefix, entry, offset, labels, count);
    w.writeRawString(" />\n");
}

void writeCacheBlock(XMLWriter& w, const CacheLayout& layout, const CacheValues& v)
{
    w.writeRawString("<CacheStatistics>\n");
    w.writeRawString("<UncachedIOs ");
    unsigned i = 0;
    for (; i < kUncachedCounters; ++i)
        w.writeU64(layout.counters[i].name, v.counters[i]);
    w.writeRawString(" />\n");
    w.writeRawString("<DRAMCacheStats ");
    for (; i < kUncachedCounters + kDramCounters; ++i)
        w.writeU64(layout.counters[i].name, v.counters[i]);
    w.writeRawString(" />\n");
    w.writeRawString("<SSDCacheStats ");
    for (; i < layout.counterCount; ++i)
        w.writeU64(layout.counters[i].name, v.counters[i]);
    unsigned j = 0;
    for (; j < layout.gauges; ++j)
        w.writeULong(layout.values[j].name, v.values[j]);
    w.writeRawString(" />\n");
    w.writeRawString("<ssdHitHistogram ");
    for (; j < layout.valueCount; ++j)
        w.writeULong(layout.values[j].name, v.values[j]);
    w.writeRawString(" />\n");
    w.writeRawString("</CacheStatistics>\n");
}

// "<controllerstats " with its attributes and ">\n"; `outCmds` adds the
// outstanding-command element. Then the SSD overview of 3.0 and 2.0.
void writeController(XMLWriter& w, const StatsRecord& r, bool outCmds)
{
    const Form form = r.getForm();
    w.writeRawString("<controllerstats ");
    w.writeString("statsVersion", versionText(r).c_str());
    w.writeULong("secondsSinceLastUpdate", r.u32(kSecondsSinceUpdate));
    w.writeULong("ldCount", r.drives().stated);
    w.writeULong("pdCount", r.devices().stated);
    if (form != Form::Other) {
        const size_t at = form == Form::V3 ? kV3MaxSectorsPerSec : kV2MaxSectorsPerSec;
        w.writeULong("maxSectorsPerSec", r.u32(at));
        w.writeULong("maxIOsPerSec", r.u32(at + 4));
        w.writeULong("configAge", r.u32(at + 8));
    }
    w.writeRawString(">\n");
    if (outCmds) {
        w.writeRawString("<outCmds ");
        char name[24];
        for (unsigned i = 0; i < countOf(kCmdCntLabels); ++i) {
            std::snprintf(name, sizeof name, "cmdCnt%s", kCmdCntLabels[i]);
            w.writeU64(name, r.u64(kCmdCnt + size_t(i) * 8));
        }
        w.writeRawString(" />\n");
    }
    if (form == Form::V3) {
        w.writeRawString("<OverallSSDCacheStats ");
        w.writeULong("ssdCachePages", r.u32(kSsdCachePages));
        w.writeULong("pagesOnFetchList", r.u32(kPagesOnFetchList));
        w.writeULong("pagesOnDirtyList", r.u32(kV3PagesOnDirtyList));
        w.writeULong("pagesOnFailedList", r.u32(kV3PagesOnFailedList));
        w.writeULong("fetchCandidates", r.u32(kV3FetchCandidates));
        w.writeU64("candidateReplacements", r.u64(kV3CandidateReplacements));
        w.writeRawString(" />\n");
    } else if (form == Form::V2) {
        w.writeRawString("<OverallSSDCacheStats ");
        w.writeULong("ssdCachePages", r.u32(kSsdCachePages));
        w.writeULong("pagesOnFetchList", r.u32(kPagesOnFetchList));
        w.writeULong("fetchCandidates", r.u32(kV2FetchCandidates));
        w.writeU64("candidateReplacements", r.u64(kV2CandidateReplacements));
        w.writeRawString(" />\n");
    }
}

void writeLogicalDrive(XMLWriter& w, Form form, const uint8_t* e)
{
    const uint32_t handle = le32(e, kLdHandle);
    w.writeRawString("<logicaldrivestats ");
    w.writeULong("handle", handle);
    w.writeULong("id", VynAdapter::GetLDIdFromHandle(handle));
    for (unsigned i = 0; i < countOf(kLdTotals); ++i)
        w.writeU64(kLdTotals[i], le64(e, kNumReads + size_t(i) * 8));
    w.writeULong("pwrMgtState1", le32(e, kPwrMgtState1));
    w.writeULong("pwrMgtState2", le32(e, kPwrMgtState2));
    w.writeRawString(" >\n");
    writeHistogramElement(w, "<interCmdTime ", "cmdTime", e, kInterCmdTime, kInterCmdLabels,
                          countOf(kInterCmdLabels));
    if (form != Form::Other) {
        writeHistogramElement(w, "<readCmdCompletionTime ", "rCompTimeUsec", e, kReadCompletion, kCompletionLabels,
                              countOf(kCompletionLabels));
        writeHistogramElement(w, "<writeCmdCompletionTime ", "wCompTimeUsec", e, kWriteCompletion,
                              kCompletionLabels, countOf(kCompletionLabels));
    }
    writeHistogramElement(w, "<readCmdDisplacement ", "rCmdDisp", e, kReadDisplacement, kDisplacementLabels,
                          countOf(kDisplacementLabels));
    writeHistogramElement(w, "<writeCmdDisplacement ", "wCmdDisp", e, kWriteDisplacement, kDisplacementLabels,
                          countOf(kDisplacementLabels));
    writeHistogramElement(w, "<readCmdSize ", "rCmdSize", e, kReadSize, kSizeLabels, countOf(kSizeLabels));
    writeHistogramElement(w, "<writeCmdSize ", "wCmdSize", e, kWriteSize, kSizeLabels, countOf(kSizeLabels));
    if (const CacheLayout* layout = cacheLayoutOf(form))
        writeCacheBlock(w, *layout, cacheValuesOf(e, *layout));
    w.writeRawString("</logicaldrivestats>\n");
}

void writePhysicalDevice(XMLWriter& w, const uint8_t* e)
{
    const uint32_t handle = le32(e, 0);
    unsigned int channel = 0;
    unsigned int id = 0;
    VynAdapter::GetChanAndIdFromHandle(handle, &channel, &id);
    w.writeRawString("<physicaldrivestats ");
    w.writeULong("handle", handle);
    w.writeInt("channel", static_cast<int>(channel));
    w.writeInt("id", static_cast<int>(id));
    for (unsigned i = 0; i < countOf(kPdCounters); ++i)
        w.writeULong(kPdCounters[i], le32(e, 4 + size_t(i) * 4));
    w.writeRawString(" />\n");
}

// ---------------------------------------------------------------------------
// CSV

void csvColumns(CSVWriter& w, const char* prefix, const char* const* labels, unsigned count)
{
    std::string cell;
    for (unsigned i = 0; i < count; ++i) {
        cell.assign(prefix).append(labels[i]).append(",");
        w.writeRawString(cell.c_str());
    }
}

void csvBuckets(CSVWriter& w, const uint8_t* base, size_t offset, unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        w.writeU64(le64(base, offset + size_t(i) * 8));
}

void csvController(CSVWriter& w, const StatsRecord& r)
{
    const Form form = r.getForm();
    w.writeRawString("\nControllerstats \n");
    w.writeRawString("statsVersion,");
    w.writeRawString("secondsSinceLastUpdate,");
    w.writeRawString("ldCount,");
    w.writeRawString("pdCount,");
    if (form != Form::Other) {
        w.writeRawString("maxSectorsPerSec,");
        w.writeRawString("maxIOsPerSec,");
        w.writeRawString("configAge,");
    }
    csvColumns(w, "OutCmdCnt", kCmdCntLabels, countOf(kCmdCntLabels));
    if (form == Form::V3) {
        for (const char* name : {"ssdCachePages,", "pagesOnFetchList,", "pagesOnDirtyList,", "pagesOnFailedList,",
                                 "fetchCandidates,", "candidateReplacements,"})
            w.writeRawString(name);
    } else if (form == Form::V2) {
        for (const char* name : {"ssdCachePages,", "pagesOnFetchList,", "fetchCandidates,", "candidateReplacements,"})
            w.writeRawString(name);
    }
    w.writeRawString("\n");

    const std::string version = versionText(r) + ",";
    w.writeRawString(version.c_str());
    w.writeUInt(r.u32(kSecondsSinceUpdate));
    w.writeUInt(r.drives().stated);
    w.writeUInt(r.devices().stated);
    if (form != Form::Other) {
        const size_t at = form == Form::V3 ? kV3MaxSectorsPerSec : kV2MaxSectorsPerSec;
        w.writeUInt(r.u32(at));
        w.writeUInt(r.u32(at + 4));
        w.writeUInt(r.u32(at + 8));
    }
    for (unsigned i = 0; i < countOf(kCmdCntLabels); ++i)
        w.writeU64(r.u64(kCmdCnt + size_t(i) * 8));
    if (form == Form::V3) {
        w.writeUInt(r.u32(kSsdCachePages));
        w.writeUInt(r.u32(kPagesOnFetchList));
        w.writeUInt(r.u32(kV3PagesOnDirtyList));
        w.writeUInt(r.u32(kV3PagesOnFailedList));
        w.writeUInt(r.u32(kV3FetchCandidates));
        w.writeU64(r.u64(kV3CandidateReplacements));
    } else if (form == Form::V2) {
        w.writeUInt(r.u32(kSsdCachePages));
        w.writeUInt(r.u32(kPagesOnFetchList));
        w.writeUInt(r.u32(kV2FetchCandidates));
        w.writeU64(r.u64(kV2CandidateReplacements));
    }
}

void csvDriveColumns(CSVWriter& w, Form form)
{
    w.writeRawString("\nLogicaldrivestats\n");
    for (const char* name : {"handle,", "id,", "numReads,", "numWrites,", "ttlBlkRead,", "ttlBlkWrite,",
                             "ttlDiskFailures,", "pwrMgtState1,", "pwrMgtState2,"})
        w.writeRawString(name);
    csvColumns(w, "interCmdTime", kInterCmdLabels, countOf(kInterCmdLabels));
    if (form != Form::Other) {
        csvColumns(w, "rCompTimeUsec", kCsvCompletionLabels, countOf(kCsvCompletionLabels));
        csvColumns(w, "wCompTimeUsec", kCsvCompletionLabels, countOf(kCsvCompletionLabels));
    }
    csvColumns(w, "rCmdDisp", kDisplacementLabels, countOf(kDisplacementLabels));
    csvColumns(w, "wCmdDisp", kDisplacementLabels, countOf(kDisplacementLabels));
    csvColumns(w, "rCmdSize", kSizeLabels, countOf(kSizeLabels));
    csvColumns(w, "wCmdSize", kSizeLabels, countOf(kSizeLabels));
    if (const CacheLayout* layout = cacheLayoutOf(form)) {
        std::string cell;
        for (unsigned i = 0; i < layout->counterCount; ++i) {
            cell.assign(layout->counters[i].name).append(",");
            w.writeRawString(cell.c_str());
        }
        // The valid-pages column goes without the "ssd" of its XML name.
        w.writeRawString("CacheValidPages,");
        for (unsigned i = 1; i < layout->valueCount; ++i) {
            cell.assign(layout->values[i].name).append(",");
            w.writeRawString(cell.c_str());
        }
    }
}

void csvDriveRow(CSVWriter& w, Form form, const uint8_t* e)
{
    const uint32_t handle = le32(e, kLdHandle);
    w.writeRawString("\n");
    w.writeUInt(handle);
    w.writeUInt(static_cast<unsigned int>(VynAdapter::GetLDIdFromHandle(handle)));
    for (unsigned i = 0; i < countOf(kLdTotals); ++i)
        w.writeU64(le64(e, kNumReads + size_t(i) * 8));
    w.writeUInt(le32(e, kPwrMgtState1));
    w.writeUInt(le32(e, kPwrMgtState2));
    csvBuckets(w, e, kInterCmdTime, countOf(kInterCmdLabels));
    if (form != Form::Other) {
        csvBuckets(w, e, kReadCompletion, countOf(kCompletionLabels));
        csvBuckets(w, e, kWriteCompletion, countOf(kCompletionLabels));
    }
    csvBuckets(w, e, kReadDisplacement, countOf(kDisplacementLabels));
    csvBuckets(w, e, kWriteDisplacement, countOf(kDisplacementLabels));
    csvBuckets(w, e, kReadSize, countOf(kSizeLabels));
    csvBuckets(w, e, kWriteSize, countOf(kSizeLabels));
    if (const CacheLayout* layout = cacheLayoutOf(form)) {
        const CacheValues v = cacheValuesOf(e, *layout);
        for (unsigned i = 0; i < layout->counterCount; ++i)
            w.writeU64(v.counters[i]);
        for (unsigned i = 0; i < layout->valueCount; ++i)
            w.writeUInt(v.values[i]);
    }
}

void csvDevices(CSVWriter& w, const StatsRecord& r)
{
    w.writeRawString("\nPhysicaldrivestats \n");
    for (const char* name : {"handle,", "channel,", "id,", "senseKey4Cnt,", "mediumErrCnt,", "parityErrCnt,",
                             "linkFailCnt,", "abortedCmdCnt,", "smartWarnCnt,"})
        w.writeRawString(name);
    const StatsRecord::Section& pd = r.devices();
    for (uint32_t i = 0; i < pd.entries; ++i) {
        const uint8_t* e = pd.entry(i);
        const uint32_t handle = le32(e, 0);
        unsigned int channel = 0;
        unsigned int id = 0;
        VynAdapter::GetChanAndIdFromHandle(handle, &channel, &id);
        w.writeRawString("\n ");
        w.writeUInt(handle);
        w.writeInt(static_cast<int>(channel));
        w.writeInt(static_cast<int>(id));
        for (unsigned k = 0; k < countOf(kPdCounters); ++k)
            w.writeUInt(le32(e, 4 + size_t(k) * 4));
    }
}

// ---------------------------------------------------------------------------
// Logs

// The adapter's texts are free text: what an attribute value cannot carry
// goes as its entity.
void putEscaped(VStream& stream, const char* text)
{
    if (text == nullptr)
        return;
    const char* run = text;
    for (const char* p = text;; ++p) {
        const char* entity = nullptr;
        switch (*p) {
        case '"': entity = "&quot;"; break;
        case '&': entity = "&amp;"; break;
        case '\'': entity = "&apos;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        default:
            // Control characters have no form at all in XML.
            if (*p > 0 && *p < 0x20)
                entity = "?";
            break;
        }
        if (entity == nullptr && *p != '\0')
            continue;
        stream.PutBytes(run, static_cast<unsigned long>(p - run));
        if (*p == '\0')
            return;
        stream << entity;
        run = p + 1;
    }
}

void putRaw(VStream& stream, const char* text)
{
    if (text != nullptr)
        stream.PutBytes(text, std::strlen(text));
}

// The opening of a controller log with the adapter's identity, ">\n" and
// "<statslog>\n".
void putXmlLogStart(VStream& stream, const Adapter& adapter, int type, unsigned long now)
{
    stream << VStream_NS::no1000sep;
    stream << "<ControllerLog controllerID=\"" << adapter.getAdapterID();
    stream << "\" type=\"" << type;
    stream << "\" time=\"" << now;
    stream << "\"";
    stream << " deviceVendor=\"";
    putEscaped(stream, adapter.getDeviceVendor());
    stream << "\"";
    stream << " deviceName=\"";
    putEscaped(stream, adapter.getDeviceName());
    stream << "\"";
    stream << " serialNumber=\"";
    putEscaped(stream, adapter.getSerialNumString());
    stream << "\"";
    stream << ">\n";
    stream << "<statslog>\n";
}

// Ends a log in a caller's fixed stream: terminated, with its size, or, when
// it did not fit (the stream started again at its front), nothing and an
// overflow.
void finishLog(VStream& stream, unsigned long* size, Ret& ret)
{
    if (stream.IsOverflow()) {
        stream.Discard();
        stream.Terminate();
        if (size != nullptr)
            *size = 0;
        vynerror::overflow(ret, "vs");
        return;
    }
    stream.Terminate();
    if (size != nullptr)
        *size = stream.PutOffset();
}

template <class Write>
void writeLog(VStream& stream, unsigned long* size, Ret& ret, Write write)
{
    try {
        write();
        finishLog(stream, size, ret);
    } catch (const VStreamException&) {
        // A piece larger than the whole buffer.
        stream.Discard();
        if (size != nullptr)
            *size = 0;
        vynerror::overflow(ret, "vs");
    }
}

}  // namespace

// ---------------------------------------------------------------------------

void VynAdapter::GetChanAndIdFromHandle(unsigned long handle, unsigned int* channel, unsigned int* id)
{
    if (channel != nullptr)
        *channel = static_cast<unsigned int>(handle >> 24);
    if (id != nullptr)
        *id = static_cast<unsigned int>(handle & 0xFFFF);
}

void VynAdapter::GetStatsXml(const char* record, unsigned long length, XMLWriter* writer, Ret&)
{
    const StatsRecord r(record, length);
    if (writer == nullptr || !r.isUsable())
        return;
    try {
        writeController(*writer, r, true);
        const StatsRecord::Section& ld = r.drives();
        for (uint32_t i = 0; i < ld.entries; ++i)
            writeLogicalDrive(*writer, r.getForm(), ld.entry(i));
        const StatsRecord::Section& pd = r.devices();
        for (uint32_t i = 0; i < pd.entries; ++i)
            writePhysicalDevice(*writer, pd.entry(i));
        writer->writeRawString("</controllerstats>\n");
    } catch (...) {
        // The text so far stays.
    }
}

namespace {

// The position (record order) of the logical-drive entry whose handle names
// logical drive `number`; false when the record lists no such drive. A
// record that cannot be read at all is left to the report.
bool entryOfLogicalDrive(const char* record, unsigned long length, unsigned int number, unsigned int& position)
{
    position = 0;
    const StatsRecord r(record, length);
    if (!r.isUsable())
        return true;
    const StatsRecord::Section& ld = r.drives();
    for (uint32_t i = 0; i < ld.entries; ++i)
        if (VynAdapter::GetLDIdFromHandle(le32(ld.entry(i), kLdHandle)) == number) {
            position = i;
            return true;
        }
    return false;
}

}  // namespace

void VynAdapter::GetCacheXmlSingleLD(const char* record, unsigned long length, XMLWriter* writer, unsigned int index,
                                     Ret& ret)
{
    const StatsRecord r(record, length);
    if (writer == nullptr || !r.isUsable())
        return;
    if (index >= r.drives().entries) {
        vynerror::badParam(ret, "Logical drive index is out of range", static_cast<long>(index));
        return;
    }
    try {
        const Form form = r.getForm();
        const uint8_t* e = r.drives().entry(index);
        writeController(*writer, r, false);
        writer->writeRawString("<logicaldrivestats ");
        writer->writeULong("id", GetLDIdFromHandle(le32(e, kLdHandle)));
        writer->writeRawString(form == Form::V3 ? ">\n" : " >\n");
        if (const CacheLayout* layout = cacheLayoutOf(form))
            writeCacheBlock(*writer, *layout, cacheValuesOf(e, *layout));
        writer->writeRawString("</logicaldrivestats>\n");
        writer->writeRawString("</controllerstats>\n");
    } catch (...) {
    }
}

void VynAdapter::GetCacheXmlAllLD(const char* record, unsigned long length, XMLWriter* writer, Ret&)
{
    const StatsRecord r(record, length);
    if (writer == nullptr || !r.isUsable())
        return;
    try {
        const Form form = r.getForm();
        writeController(*writer, r, false);
        const CacheLayout* entryLayout = cacheLayoutOf(form);
        // Every version but 3.0 reports totals in the 2.0 form.
        const CacheLayout& layout = form == Form::V3 ? kCacheV3 : kCacheV2;
        CacheValues sums;
        const StatsRecord::Section& ld = r.drives();
        for (uint32_t i = 0; entryLayout != nullptr && i < ld.entries; ++i) {
            const CacheValues v = cacheValuesOf(ld.entry(i), *entryLayout);
            for (unsigned k = 0; k < layout.counterCount; ++k)
                sums.counters[k] += v.counters[k];
            for (unsigned k = 0; k < layout.valueCount; ++k)
                sums.values[k] += v.values[k];
        }
        writer->writeRawString("<logicaldrivestats ");
        writer->writeString("id", "ALL");
        writer->writeRawString(" >\n");
        writeCacheBlock(*writer, layout, sums);
        writer->writeRawString("</logicaldrivestats>\n");
        writer->writeRawString("</controllerstats>\n");
    } catch (...) {
    }
}

void VynAdapter::GetStatsCSV(const char* record, unsigned long length, CSVWriter* writer, Ret&)
{
    const StatsRecord r(record, length);
    if (writer == nullptr || !r.isUsable())
        return;
    try {
        csvController(*writer, r);
        csvDriveColumns(*writer, r.getForm());
        const StatsRecord::Section& ld = r.drives();
        for (uint32_t i = 0; i < ld.entries; ++i)
            csvDriveRow(*writer, r.getForm(), ld.entry(i));
        csvDevices(*writer, r);
    } catch (...) {
    }
}

// ---------------------------------------------------------------------------

unsigned long VynAdapter::statsBufferSize() const
{
    return getNumLogicalDrives() * kBytesPerLogicalDrive + getNumHardDrives() * kBytesPerHardDrive + kFixedBytes;
}

namespace {

// The raw block as the controller returns it, in a buffer of the tree's
// size (zeroed first, so that what the controller leaves reads as zeros).
// Null with `ret` set when it cannot be allocated or read; null with `ret`
// untouched and `off` set when collection is switched off.
std::unique_ptr<char[]> readStatsBlock(const VynAdapter& adapter, unsigned long size, bool& off, Ret& ret)
{
    off = false;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]());
    if (buffer == nullptr) {
        vynerror::resourceError(ret, "pBuff = new char[buffsize]");
        return nullptr;
    }
    if (!adapter.isStatisticDataCollectionEnabled()) {
        off = true;
        return nullptr;
    }
    uint32_t length = static_cast<uint32_t>(size);
    const FSA_STATUS status =
        fsaExports().FsaGetControllerStats(adapter.getAdapterHandle(), kStatsRecordType, buffer.get(), &length);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, "FsaGetControllerStats()", status);
        return nullptr;
    }
    return buffer;
}

}  // namespace

Ret VynAdapter::getAdapterStats(char* buffer, unsigned long& size)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getAdapterStats()");
    Ret ret(0);
    try {
        const unsigned long needed = statsBufferSize();
        bool off = false;
        std::unique_ptr<char[]> block = readStatsBlock(*this, needed, off, ret);
        if (off) {
            size = 0;
            return ret;
        }
        if (block == nullptr)
            return ret;
        // The block's size follows the tree, which the caller cannot know
        // beforehand: a short buffer learns the room it needs.
        if (buffer == nullptr || size < needed) {
            vynerror::badParam(ret, "Buffer size is too small", static_cast<long>(size));
            size = needed;
            return ret;
        }
        std::memcpy(buffer, block.get(), needed);
        size = needed;
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getAdapterStatsLog(VStream* xml, VStream* csv, int mode, unsigned long* xmlSize,
                                   unsigned long* csvSize)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getAdapterStatsLog()");
    Ret ret(0);
    try {
        const bool wantXml = mode == 0 || mode == 2;
        const bool wantCsv = mode == 1 || mode == 2;
        if (!wantXml && !wantCsv) {
            vynerror::badParam(ret, "Invalid statistics log mode", mode);
            return ret;
        }
        if ((wantXml && xml == nullptr) || (wantCsv && csv == nullptr)) {
            vynerror::badParam(ret, "Stream is NULL", 0);
            return ret;
        }
        const unsigned long length = statsBufferSize();
        bool off = false;
        std::unique_ptr<char[]> block = readStatsBlock(*this, length, off, ret);
        if (off) {
            if (xmlSize != nullptr)
                *xmlSize = 0;
            if (csvSize != nullptr)
                *csvSize = 0;
            return ret;
        }
        if (block == nullptr)
            return ret;
        const unsigned long now = static_cast<unsigned long>(std::time(nullptr));

        if (wantXml) {
            writeLog(*xml, xmlSize, ret, [&] {
                putXmlLogStart(*xml, *this, kLogTypeStats, now);
                char* text = nullptr;
                XMLWriter writer(&text);
                Ret report(0);
                GetStatsXml(block.get(), length, &writer, report);
                if (report.getReturn() == 0) {
                    putRaw(*xml, text);
                    *xml << "</statslog>\n";
                    *xml << "</ControllerLog>\n";
                }
            });
        }
        // The CSV part follows whether or not the XML part fitted.
        if (wantCsv) {
            writeLog(*csv, csvSize, ret, [&] {
                *csv << VStream_NS::no1000sep;
                *csv << "controllerID," << "type," << "time,";
                *csv << "deviceVendor," << "deviceName," << (mode == 1 ? "serialNumber\n" : "serialNumber \n");
                *csv << getAdapterID() << "," << kLogTypeStats << "," << now << ",";
                putRaw(*csv, getDeviceVendor());
                *csv << ",";
                putRaw(*csv, getDeviceName());
                *csv << ",";
                putRaw(*csv, getSerialNumString());
                char* text = nullptr;
                CSVWriter writer(&text);
                Ret report(0);
                GetStatsCSV(block.get(), length, &writer, report);
                if (report.getReturn() == 0)
                    putRaw(*csv, text);
            });
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getAdapterCacheLog(VStream* out, unsigned long* size, unsigned int logicalDrive,
                                   EnumLogTypeRequest type)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getAdapterCacheLog()");
    Ret ret(0);
    try {
        const int kind = static_cast<int>(type);
        if (kind != kLogTypeCacheOne && kind != kLogTypeCacheAll) {
            vynerror::badParam(ret, "Invalid log type", kind);
            return ret;
        }
        if (out == nullptr) {
            vynerror::badParam(ret, "Stream is NULL", 0);
            return ret;
        }
        const unsigned long length = statsBufferSize();
        bool off = false;
        std::unique_ptr<char[]> block = readStatsBlock(*this, length, off, ret);
        if (off) {
            if (size != nullptr)
                *size = 0;
            return ret;
        }
        if (block == nullptr)
            return ret;
        const unsigned long now = static_cast<unsigned long>(std::time(nullptr));
        writeLog(*out, size, ret, [&] {
            putXmlLogStart(*out, *this, kind, now);
            char* text = nullptr;
            XMLWriter writer(&text);
            // The caller names the logical drive by its number; the record
            // lists the drives in its own order, with gaps where numbers are
            // free.
            unsigned int position = 0;
            if (kind != kLogTypeCacheOne)
                GetCacheXmlAllLD(block.get(), length, &writer, ret);
            else if (entryOfLogicalDrive(block.get(), length, logicalDrive, position))
                GetCacheXmlSingleLD(block.get(), length, &writer, position, ret);
            else
                vynerror::badParam(ret, "Logical drive index is out of range", static_cast<long>(logicalDrive));
            if (ret.getReturn() == 0) {
                putRaw(*out, text);
                *out << "</statslog>\n";
                *out << "</ControllerLog>\n";
            }
        });
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

namespace {

template <class Call>
Ret switchCall(const VynAdapter* adapter, const char* failure, Call call)
{
    Ret ret(0);
    try {
        FsaWriteHandleGrabber handle(adapter, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return ret;
        }
        const FSA_STATUS status = call(fsaExports(), handle.getAdapterRWHandle());
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, failure, status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

}  // namespace

// Both switches change the controller only: the tree keeps the collection
// flag it was built with until the next refresh.
Ret VynAdapter::setStatisticDataCollectionMode(bool enable)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::setStatisticDataCollectionMode()");
    return switchCall(this, "setStatisticDataCollectionMode()",
                      [&](FsaExports& fsa, void* h) { return fsa.FsaSetControllerStats(h, enable ? 1 : 0); });
}

Ret VynAdapter::resetStatisticsCounters()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::resetStatisticsCounters()");
    return switchCall(this, "resetStatisticsCounters()",
                      [](FsaExports& fsa, void* h) { return fsa.FsaResetControllerStatsCounters(h); });
}
