// The controller statistics record and its reports: the XML, cache and CSV
// texts of records written here from the layout tables, records that lie
// about their own sections, the statistics and cache logs with their
// framing, the raw block, the collection switches on the scripted exports,
// and the whole road from the simulated controller's record to the logs.
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "ScriptedFsaExports.h"
#include "common/CSVWriter.h"
#include "common/Ret.h"
#include "common/VStream.h"
#include "common/XMLWriter.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;

// ---- records written from the layout tables ----

constexpr uint32_t kStrideV3 = 1168;
constexpr uint32_t kStrideV2 = 1176;
constexpr uint32_t kStrideOther = 976;
constexpr uint32_t kDeviceStride = 28;

// A statistics record, little-endian, grown as fields are put.
class Record {
public:
    Record(uint16_t major, uint16_t minor)
    {
        const bool v3 = major == 3 && minor == 0;
        const bool v2 = major == 2 && minor == 0;
        header = v3 ? 144 : v2 ? 136 : 104;
        stride = v3 ? kStrideV3 : v2 ? kStrideV2 : kStrideOther;
        bytes.assign(header, 0);
        put32(0, static_cast<uint32_t>(header));
        put16(12, minor);
        put16(14, major);
    }

    void put16(size_t at, uint16_t v) { put(at, v, 2); }
    void put32(size_t at, uint32_t v) { put(at, v, 4); }
    void put64(size_t at, uint64_t v) { put(at, v, 8); }

    // The drive section right after the header with `lds` entries of
    // `entrySize` bytes (0: the version's own), then the device section.
    void sections(uint32_t lds, uint32_t pds, uint32_t entrySize = 0)
    {
        if (entrySize != 0)
            stride = entrySize;
        ldCount = lds;
        pdCount = pds;
        bytes.resize(header + 24 + size_t(lds) * stride + 24 + size_t(pds) * kDeviceStride, 0);
        put32(header, lds);
        put32(header + 4, stride);
        put32(pdSection(), pds);
        put32(pdSection() + 4, kDeviceStride);
    }
    size_t ld(uint32_t i) const { return header + 24 + size_t(i) * stride; }
    size_t pdSection() const { return header + 24 + size_t(ldCount) * stride; }
    size_t pd(uint32_t i) const { return pdSection() + 24 + size_t(i) * kDeviceStride; }

    std::vector<uint8_t> bytes;
    size_t header = 0;
    uint32_t stride = 0;
    uint32_t ldCount = 0;
    uint32_t pdCount = 0;

private:
    void put(size_t at, uint64_t v, unsigned n)
    {
        if (bytes.size() < at + n)
            bytes.resize(at + n, 0);
        for (unsigned b = 0; b < n; ++b)
            bytes[at + b] = static_cast<uint8_t>(v >> (8 * b));
    }
};

// The record in a heap block of exactly its size, so that any read past it
// is caught.
std::unique_ptr<char[]> exactCopy(const std::vector<uint8_t>& bytes)
{
    std::unique_ptr<char[]> copy(new char[bytes.empty() ? 1 : bytes.size()]);
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    return copy;
}

enum class Report { Stats, CacheAll, CacheOne };

std::string xmlOf(const std::vector<uint8_t>& bytes, Report report = Report::Stats, unsigned index = 0,
                  Ret* retOut = nullptr)
{
    std::unique_ptr<char[]> record = exactCopy(bytes);
    char* text = nullptr;
    std::string out;
    Ret ret(0);
    {
        XMLWriter writer(&text);
        if (report == Report::Stats)
            VynAdapter::GetStatsXml(record.get(), bytes.size(), &writer, ret);
        else if (report == Report::CacheAll)
            VynAdapter::GetCacheXmlAllLD(record.get(), bytes.size(), &writer, ret);
        else
            VynAdapter::GetCacheXmlSingleLD(record.get(), bytes.size(), &writer, index, ret);
        if (text != nullptr)
            out = text;
    }
    if (retOut != nullptr)
        *retOut = ret;
    return out;
}

std::string csvOf(const std::vector<uint8_t>& bytes)
{
    std::unique_ptr<char[]> record = exactCopy(bytes);
    char* text = nullptr;
    std::string out;
    Ret ret(0);
    {
        CSVWriter writer(&text);
        VynAdapter::GetStatsCSV(record.get(), bytes.size(), &writer, ret);
        if (text != nullptr)
            out = text;
    }
    EXPECT_EQ(ret.getReturn(), 0);
    return out;
}

// The element that opens each line ("controllerstats", "/CacheStatistics").
std::vector<std::string> elements(const std::string& xml)
{
    std::vector<std::string> out;
    std::istringstream in(xml);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2 || line[0] != '<')
            continue;
        const size_t end = line.find_first_of(" >", 1);
        out.push_back(line.substr(1, end - 1));
    }
    return out;
}

// The value of the first ` name="…"` after `from`, or "(none)".
std::string attr(const std::string& xml, const std::string& name, size_t from = 0)
{
    const std::string key = " " + name + "=\"";
    const size_t at = xml.find(key, from);
    if (at == std::string::npos)
        return "(none)";
    const size_t start = at + key.size();
    return xml.substr(start, xml.find('"', start) - start);
}

// The line holding element `name`.
std::string lineOf(const std::string& xml, const std::string& name)
{
    const size_t at = xml.find("<" + name + " ");
    if (at == std::string::npos)
        return "";
    return xml.substr(at, xml.find('\n', at) - at);
}

bool startsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

size_t countOf(const std::string& text, const std::string& piece)
{
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// ---- the XML report ----

TEST(VynStatsXmlTest, ElementsOfEachVersion)
{
    struct Case {
        uint16_t major, minor;
        std::vector<std::string> expected;
    };
    const std::vector<std::string> cache = {"CacheStatistics", "UncachedIOs",     "DRAMCacheStats",
                                            "SSDCacheStats",   "ssdHitHistogram", "/CacheStatistics"};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::string> head = {"logicaldrivestats", "interCmdTime"};
    const std::vector<std::string> completion = {"readCmdCompletionTime", "writeCmdCompletionTime"};
    const std::vector<std::string> rest = {"readCmdDisplacement", "writeCmdDisplacement", "readCmdSize",
                                           "writeCmdSize"};
    const std::vector<std::string> tail = {"/logicaldrivestats", "physicaldrivestats", "/controllerstats"};
    const Case cases[] = {
        {3, 0, with(with(with(with(with({"controllerstats", "outCmds", "OverallSSDCacheStats"}, head), completion),
                              rest), cache), tail)},
        {2, 0, with(with(with(with(with({"controllerstats", "outCmds", "OverallSSDCacheStats"}, head), completion),
                              rest), cache), tail)},
        {1, 0, with(with(with({"controllerstats", "outCmds"}, head), rest), tail)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        Record r(c.major, c.minor);
        r.sections(1, 1);
        const std::string xml = xmlOf(r.bytes);
        EXPECT_EQ(elements(xml), c.expected);
        EXPECT_EQ(attr(xml, "statsVersion"), std::to_string(c.major) + ".0");
        const bool newer = c.major != 1;
        for (const char* name : {"maxSectorsPerSec", "maxIOsPerSec", "configAge"})
            EXPECT_EQ(attr(xml, name) != "(none)", newer) << name;
    }
}

TEST(VynStatsXmlTest, AnEmptyRecordIsTheControllerTheCountersAndTheClosingTag)
{
    Record r(3, 0);
    r.sections(0, 0);
    r.put32(8, 77);
    r.put64(16 + 10 * 8, 5);
    r.put32(140, 9);
    EXPECT_EQ(xmlOf(r.bytes),
              "<controllerstats  statsVersion=\"3.0\" secondsSinceLastUpdate=\"77\" ldCount=\"0\" pdCount=\"0\""
              " maxSectorsPerSec=\"0\" maxIOsPerSec=\"0\" configAge=\"9\">\n"
              "<outCmds  cmdCnt0=\"0\" cmdCnt1=\"0\" cmdCnt2=\"0\" cmdCnt4=\"0\" cmdCnt8=\"0\" cmdCnt16=\"0\""
              " cmdCnt32=\"0\" cmdCnt64=\"0\" cmdCnt128=\"0\" cmdCnt256=\"0\" cmdCnt512=\"5\" />\n"
              "<OverallSSDCacheStats  ssdCachePages=\"0\" pagesOnFetchList=\"0\" pagesOnDirtyList=\"0\""
              " pagesOnFailedList=\"0\" fetchCandidates=\"0\" candidateReplacements=\"0\" />\n"
              "</controllerstats>\n");

    Record v2(2, 0);
    v2.sections(0, 0);
    EXPECT_EQ(elements(xmlOf(v2.bytes)),
              (std::vector<std::string>{"controllerstats", "outCmds", "OverallSSDCacheStats", "/controllerstats"}));
    Record v1(1, 0);
    v1.sections(0, 0);
    EXPECT_EQ(elements(xmlOf(v1.bytes)), (std::vector<std::string>{"controllerstats", "outCmds", "/controllerstats"}));
}

// Each field is read from its place: a distinct value put at the offset of
// the layout tables shows under the field's name.
TEST(VynStatsXmlTest, FieldsComeFromTheirOffsets)
{
    enum Where { Header, Drive, Device };
    struct Case {
        uint16_t major;
        Where where;
        size_t offset;
        unsigned width;
        const char* name;
    };
    const Case cases[] = {
        {3, Header, 8, 4, "secondsSinceLastUpdate"},
        {3, Header, 16, 8, "cmdCnt0"},
        {3, Header, 96, 8, "cmdCnt512"},
        {3, Header, 104, 4, "ssdCachePages"},
        {3, Header, 112, 4, "pagesOnDirtyList"},
        {3, Header, 116, 4, "pagesOnFailedList"},
        {3, Header, 120, 4, "fetchCandidates"},
        {3, Header, 124, 8, "candidateReplacements"},
        {3, Header, 132, 4, "maxSectorsPerSec"},
        {3, Header, 136, 4, "maxIOsPerSec"},
        {3, Header, 140, 4, "configAge"},
        {2, Header, 112, 4, "fetchCandidates"},
        {2, Header, 116, 8, "candidateReplacements"},
        {2, Header, 124, 4, "maxSectorsPerSec"},
        {2, Header, 128, 4, "maxIOsPerSec"},
        {2, Header, 132, 4, "configAge"},
        {3, Drive, 8, 8, "cmdTimeUsec16"},
        {3, Drive, 136, 8, "cmdTimeSec32K"},
        {3, Drive, 144, 8, "rCompTimeUsec64"},
        {3, Drive, 256, 8, "rCompTimeUsec1M"},
        {3, Drive, 264, 8, "wCompTimeUsec64"},
        {3, Drive, 552, 8, "rCmdDisp1T"},
        {3, Drive, 560, 8, "wCmdDisp0"},
        {3, Drive, 824, 8, "rCmdSize2K"},
        {3, Drive, 832, 8, "wCmdSize1"},
        {3, Drive, 920, 8, "wCmdSize2K"},
        {3, Drive, 928, 8, "numReads"},
        {3, Drive, 960, 8, "ttlDiskFailures"},
        {3, Drive, 968, 4, "pwrMgtState1"},
        {3, Drive, 972, 4, "pwrMgtState2"},
        {3, Drive, 976, 8, "uncachedReads"},
        {3, Drive, 1032, 8, "dramCacheFlushes"},
        {3, Drive, 1048, 8, "ssdHitWrites"},
        {3, Drive, 1088, 8, "ssdInvalidationsFSW"},
        {3, Drive, 1112, 8, "ssdFlushes"},
        {3, Drive, 1120, 4, "ssdCacheValidPages"},
        {3, Drive, 1124, 4, "ssdCacheDirtyPages"},
        {3, Drive, 1128, 4, "ssdpageshit0"},
        {3, Drive, 1164, 4, "ssdpageshit256plus"},
        {2, Drive, 1056, 8, "ssdPageUpdates"},
        {2, Drive, 1080, 8, "ssdInvalidationsLargeWrite"},
        {2, Drive, 1096, 8, "ssdFetches"},
        {2, Drive, 1104, 4, "ssdCacheValidPages"},
        {2, Drive, 1108, 4, "ssdpageshit0"},
        {2, Drive, 1160, 4, "ssdpageshit4Kto9191"},
        {2, Drive, 1172, 4, "ssdpageshit32Kplus"},
        {1, Drive, 952, 8, "ttlBlkWrite"},
        {3, Device, 4, 4, "senseKey4Cnt"},
        {3, Device, 24, 4, "smartWarnCnt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Record r(c.major, 0);
        r.sections(1, 1);
        const size_t base = c.where == Header ? 0 : c.where == Drive ? r.ld(0) : r.pd(0);
        // 64-bit fields get a value past 32 bits: the high word counts.
        const uint64_t value = c.width == 8 ? 0x100000000ull * 3 + 41 : 4000000041u;
        if (c.width == 8)
            r.put64(base + c.offset, value);
        else
            r.put32(base + c.offset, static_cast<uint32_t>(value));
        const std::string xml = xmlOf(r.bytes);
        EXPECT_EQ(attr(xml, c.name), std::to_string(value));
        // The value shows once: no neighbour reads the same bytes.
        EXPECT_EQ(countOf(xml, "\"" + std::to_string(value) + "\""), 1u);
    }
}

TEST(VynStatsXmlTest, TheEightBytesAfterTheSsdHitsOfVersion2ShowNowhere)
{
    Record r(2, 0);
    r.sections(1, 0);
    r.put64(r.ld(0) + 1048, 123456789);
    r.put64(r.ld(0) + 1056, 55);
    const std::string xml = xmlOf(r.bytes);
    EXPECT_EQ(xml.find("123456789"), std::string::npos);
    EXPECT_EQ(attr(xml, "ssdPageUpdates"), "55");
    EXPECT_EQ(attr(xml, "ssdHitWrites"), "(none)");
}

TEST(VynStatsXmlTest, EntriesAreSteppedByTheirStrideAndHandlesDecoded)
{
    Record r(3, 0);
    r.sections(2, 1, 1200);
    r.put32(r.ld(0), 4);
    r.put32(r.ld(1), 9);
    r.put64(r.ld(1) + 928, 17);
    r.put32(r.pd(0), 0x02FF0005);
    const std::string xml = xmlOf(r.bytes);
    const size_t second = xml.find("<logicaldrivestats ", xml.find("<logicaldrivestats ") + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(attr(xml, "handle", second), "9");
    EXPECT_EQ(attr(xml, "id", second), "9");
    EXPECT_EQ(attr(xml, "numReads", second), "17");
    const std::string device = lineOf(xml, "physicaldrivestats");
    EXPECT_EQ(device, "<physicaldrivestats  handle=\"50266117\" channel=\"2\" id=\"5\" senseKey4Cnt=\"0\""
                      " mediumErrCnt=\"0\" parityErrCnt=\"0\" linkFailCnt=\"0\" abortedCmdCnt=\"0\""
                      " smartWarnCnt=\"0\" />");
    EXPECT_TRUE(startsWith(lineOf(xml, "logicaldrivestats"), "<logicaldrivestats  handle=\"4\" id=\"4\" numReads="));
    EXPECT_NE(xml.find(" pwrMgtState2=\"0\" >\n<interCmdTime  cmdTimeUsec16="), std::string::npos);
}

// Records whose own figures reach past their buffer: every report reads
// only what lies inside (the sanitizer sees any read past the block).
TEST(VynStatsXmlTest, RecordsThatLieAreReadNowherePastTheirBuffer)
{
    struct Case {
        const char* what;
        std::function<void(Record&)> lie;
        unsigned drives;   // drive elements written
        unsigned devices;  // device elements written
    };
    const std::vector<Case> cases = {
        {"section offset past the end", [](Record& r) { r.put32(0, 0x7FFFFFF0); }, 0, 0},
        {"section offset in the last bytes", [](Record& r) { r.put32(0, static_cast<uint32_t>(r.bytes.size() - 8)); },
         0, 0},
        {"count beyond the entries", [](Record& r) { r.put32(r.header, 1000); }, 2, 0},
        {"huge count and stride", [](Record& r) {
             r.put32(r.header, 0xFFFFFFFF);
             r.put32(r.header + 4, 0xFFFFFFFF);
         }, 1, 0},
        {"stride shorter than the fields", [](Record& r) { r.put32(r.header + 4, 100); }, 0, 0},
        {"device count beyond the entries", [](Record& r) { r.put32(r.pdSection(), 50000); }, 2, 1},
        {"device stride of 4", [](Record& r) { r.put32(r.pdSection() + 4, 4); }, 2, 0},
        {"record cut inside the last drive", [](Record& r) { r.bytes.resize(r.ld(1) + 500); }, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Record r(3, 0);
        r.sections(2, 1);
        c.lie(r);
        const std::string xml = xmlOf(r.bytes);
        EXPECT_EQ(countOf(xml, "<logicaldrivestats "), c.drives);
        EXPECT_EQ(countOf(xml, "<physicaldrivestats "), c.devices);
        EXPECT_TRUE(endsWith(xml, "</controllerstats>\n"));
        const std::string csv = csvOf(r.bytes);
        EXPECT_EQ(countOf(csv, "\n "), c.devices);
        xmlOf(r.bytes, Report::CacheAll);
        Ret ret;
        xmlOf(r.bytes, Report::CacheOne, 1, &ret);
        EXPECT_EQ(ret.getReturn(), c.drives > 1 ? 0 : -2);
    }
    // A record shorter than its own header yields no text at all.
    Record shortRecord(3, 0);
    shortRecord.bytes.resize(100);
    EXPECT_EQ(xmlOf(shortRecord.bytes), "");
    EXPECT_EQ(csvOf(shortRecord.bytes), "");
    EXPECT_EQ(xmlOf({}), "");
}

// ---- the cache reports ----

TEST(VynCacheXmlTest, AllDrivesSumsTheCountersOfEachVersion)
{
    Record v3(3, 0);
    v3.sections(3, 0);
    for (uint32_t i = 0; i < 3; ++i)
        v3.put64(v3.ld(i) + 1040, i + 1);
    // A 32-bit sum wraps, a 64-bit sum carries.
    v3.put32(v3.ld(0) + 1120, 0xFFFFFFFF);
    v3.put32(v3.ld(1) + 1120, 2);
    v3.put64(v3.ld(0) + 976, 0xFFFFFFFF);
    v3.put64(v3.ld(1) + 976, 1);
    const std::string all = xmlOf(v3.bytes, Report::CacheAll);
    EXPECT_EQ(attr(all, "ssdHitReads"), "6");
    EXPECT_EQ(attr(all, "ssdCacheValidPages"), "1");
    EXPECT_EQ(attr(all, "uncachedReads"), "4294967296");
    EXPECT_EQ(lineOf(all, "logicaldrivestats"), "<logicaldrivestats  id=\"ALL\" >");
    EXPECT_EQ(elements(all), (std::vector<std::string>{"controllerstats", "OverallSSDCacheStats", "logicaldrivestats",
                                                       "CacheStatistics", "UncachedIOs", "DRAMCacheStats",
                                                       "SSDCacheStats", "ssdHitHistogram", "/CacheStatistics",
                                                       "/logicaldrivestats", "/controllerstats"}));

    Record v2(2, 0);
    v2.sections(2, 0);
    for (uint32_t i = 0; i < 2; ++i) {
        v2.put64(v2.ld(i) + 1048, 900000);
        v2.put32(v2.ld(i) + 1172, i + 1);
        v2.put64(v2.ld(i) + 1056, 10);
    }
    const std::string two = xmlOf(v2.bytes, Report::CacheAll);
    EXPECT_EQ(two.find("1800000"), std::string::npos);
    EXPECT_EQ(two.find("900000"), std::string::npos);
    EXPECT_EQ(attr(two, "ssdPageUpdates"), "20");
    EXPECT_EQ(attr(two, "ssdpageshit32Kplus"), "3");
    EXPECT_EQ(countOf(lineOf(two, "ssdHitHistogram"), "=\""), 17u);
}

TEST(VynCacheXmlTest, OlderVersionsGetNoBlockForOneDriveAndZerosInTheTwoFormForAll)
{
    Record r(1, 0);
    r.sections(2, 0);
    r.put64(r.ld(0) + 1040, 5);
    const std::string one = xmlOf(r.bytes, Report::CacheOne, 0);
    EXPECT_EQ(one.find("CacheStatistics"), std::string::npos);
    EXPECT_NE(one.find("<logicaldrivestats  id=\"0\" >\n</logicaldrivestats>\n</controllerstats>\n"),
              std::string::npos);
    const std::string all = xmlOf(r.bytes, Report::CacheAll);
    EXPECT_EQ(attr(all, "ssdHitReads"), "0");
    EXPECT_EQ(attr(all, "ssdInvalidationsLargeWrite"), "0");
    EXPECT_EQ(countOf(lineOf(all, "ssdHitHistogram"), "=\"0\""), 17u);
    EXPECT_EQ(all.find("outCmds"), std::string::npos);

    Record none(3, 0);
    none.sections(0, 0);
    EXPECT_EQ(attr(xmlOf(none.bytes, Report::CacheAll), "id"), "ALL");
}

TEST(VynCacheXmlTest, OneDriveCarriesItsIdWithoutHandleAndRefusesAnIndexPastTheCount)
{
    struct Case {
        uint16_t major;
        const char* start;
    };
    for (const Case& c : {Case{3, "<logicaldrivestats  id=\"7\">\n<CacheStatistics>\n"},
                          Case{2, "<logicaldrivestats  id=\"7\" >\n<CacheStatistics>\n"}}) {
        SCOPED_TRACE(c.major);
        Record r(c.major, 0);
        r.sections(2, 0);
        r.put32(r.ld(0), 3);
        r.put32(r.ld(1), 7);
        r.put64(r.ld(1) + 1040, 12);
        r.put64(r.ld(0) + 1040, 99);
        Ret ret;
        const std::string one = xmlOf(r.bytes, Report::CacheOne, 1, &ret);
        EXPECT_EQ(ret.getReturn(), 0);
        EXPECT_NE(one.find(c.start), std::string::npos);
        EXPECT_EQ(one.find("handle"), std::string::npos);
        EXPECT_EQ(attr(one, "ssdHitReads"), "12");
        EXPECT_EQ(one.find("outCmds"), std::string::npos);

        const std::string past = xmlOf(r.bytes, Report::CacheOne, 2, &ret);
        EXPECT_EQ(ret.getReturn(), -2);
        EXPECT_EQ(past, "");
    }
}

// ---- the CSV report ----

std::vector<std::string> csvLines(const std::string& csv)
{
    std::vector<std::string> lines;
    std::istringstream in(csv);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

size_t cells(const std::string& line) { return countOf(line, ","); }

TEST(VynStatsCsvTest, CellsPerRowOfEachVersion)
{
    struct Case {
        uint16_t major;
        size_t controller;
        size_t drive;
    };
    for (const Case& c : {Case{3, 24, 154}, Case{2, 22, 157}, Case{1, 15, 94}}) {
        SCOPED_TRACE(c.major);
        Record r(c.major, 0);
        r.sections(2, 1);
        const std::vector<std::string> lines = csvLines(csvOf(r.bytes));
        // "", title, columns, values, title, columns, two drives, title,
        // columns, one device.
        ASSERT_EQ(lines.size(), 11u);
        EXPECT_EQ(lines[1], "Controllerstats ");
        EXPECT_EQ(cells(lines[2]), c.controller);
        EXPECT_EQ(cells(lines[3]), c.controller);
        EXPECT_EQ(lines[4], "Logicaldrivestats");
        EXPECT_EQ(cells(lines[5]), c.drive);
        EXPECT_EQ(cells(lines[6]), c.drive);
        EXPECT_EQ(cells(lines[7]), c.drive);
        EXPECT_EQ(lines[8], "Physicaldrivestats ");
        EXPECT_EQ(cells(lines[9]), 9u);
        EXPECT_EQ(cells(lines[10]), 9u);
        EXPECT_EQ(lines[3].substr(0, 4), std::to_string(c.major) + ".0,");
    }
}

TEST(VynStatsCsvTest, NamesRowsAndValues)
{
    Record r(3, 0);
    r.sections(1, 2);
    r.put32(r.ld(0), 6);
    r.put64(r.ld(0) + 928, 0x100000002ull);
    r.put32(r.ld(0) + 1120, 8);
    r.put32(r.pd(0), 0x01000003);
    r.put32(r.pd(1), 0x02000004);
    r.put32(r.pd(1) + 8, 11);
    const std::string csv = csvOf(r.bytes);
    EXPECT_TRUE(startsWith(csv, "\nControllerstats \nstatsVersion,secondsSinceLastUpdate,ldCount,pdCount,"));
    for (const char* column : {",OutCmdCnt0,", ",OutCmdCnt512,ssdCachePages,", ",interCmdTimeUsec16,",
                               ",interCmdTimeSec32K,rCompTimeUsec64,", ",rCompTimeUsec64K,rCompTimeUsec1M,",
                               ",wCompTimeUsec10M,rCmdDisp0,", ",wCmdSize2K,uncachedReads,",
                               ",ssdFlushes,CacheValidPages,ssdCacheDirtyPages,ssdpageshit0,",
                               ",ssdpageshit256plus,\n6,6,4294967298,"})
        EXPECT_NE(csv.find(column), std::string::npos) << column;
    EXPECT_NE(csv.find("\nLogicaldrivestats\nhandle,id,"), std::string::npos);
    EXPECT_NE(csv.find(",8,0,0,0,0,0,0,0,0,0,0,0,\nPhysicaldrivestats \n"), std::string::npos);
    EXPECT_EQ(csv.substr(csv.find("\nPhysicaldrivestats")),
              "\nPhysicaldrivestats \nhandle,channel,id,senseKey4Cnt,mediumErrCnt,parityErrCnt,linkFailCnt,"
              "abortedCmdCnt,smartWarnCnt,"
              "\n 16777219,1,3,0,0,0,0,0,0,"
              "\n 33554436,2,4,0,11,0,0,0,0,");

    Record v2(2, 0);
    v2.sections(1, 0);
    v2.put64(v2.ld(0) + 1048, 4242);
    const std::string two = csvOf(v2.bytes);
    EXPECT_NE(two.find(",ssdFetches,CacheValidPages,ssdpageshit0,"), std::string::npos);
    EXPECT_NE(two.find(",ssdInvalidationsLargeWrite,"), std::string::npos);
    EXPECT_EQ(two.find("4242"), std::string::npos);
    // Without devices the text still ends with their title and columns.
    EXPECT_TRUE(endsWith(two, "\nPhysicaldrivestats \nhandle,channel,id,senseKey4Cnt,mediumErrCnt,parityErrCnt,"
                               "linkFailCnt,abortedCmdCnt,smartWarnCnt,"));
}

// ---- the logs, the raw block and the switches on the scripted exports ----

// Reaches what the model keeps of the controller for the statistics.
class ProbeAdapter : public VynAdapter {
public:
    using VynAdapter::VynAdapter;
    void setCollection(bool on) { statisticDataCollectionEnabled = on; }
    void setIdentity(const char* vendor, const char* name, const char* serial)
    {
        std::strncpy(deviceVendor, vendor, sizeof deviceVendor - 1);
        std::strncpy(deviceName, name, sizeof deviceName - 1);
        std::strncpy(serialNumber, serial, sizeof serialNumber - 1);
    }
};

class VynStatsLogTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        FamilyTest::SetUp();
        construction = std::make_unique<ScriptedFsaExports>();
        construction->answerUnscripted(31);
        construction->script("FsaOpenAdapter2A", FSA_STS_SUCCESS, {0x34, 0x12, 0, 0, 0, 0, 0, 0});
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
        adapter.reset(new ProbeAdapter(&record, nullptr, 0, nullptr, nullptr));
        adapter->setCollection(true);
        adapter->setIdentity("VYN", "SIMRAID", "S123");
        fsa = vyntest::succeedingExports();
    }
    void TearDown() override
    {
        adapter.reset();
        fsa.reset();
        construction.reset();
        FamilyTest::TearDown();
    }

    // The XML and CSV logs into buffers of `room` bytes each.
    Ret statsLog(int mode, std::string* xml, std::string* csv, unsigned long room = 1 << 20)
    {
        std::vector<char> a(room, 'x');
        std::vector<char> b(room, 'x');
        VStream x(a.data(), room);
        VStream c(b.data(), room);
        x.SetNo1000Seperator();
        c.SetNo1000Seperator();
        xmlSize = csvSize = 12345;
        const Ret ret = adapter->getAdapterStatsLog(&x, &c, mode, &xmlSize, &csvSize);
        *xml = std::string(a.data(), xmlSize == 12345 ? 0 : xmlSize);
        *csv = std::string(b.data(), csvSize == 12345 ? 0 : csvSize);
        untouched = a[0] == 'x' && b[0] == 'x';
        return ret;
    }

    std::unique_ptr<ScriptedFsaExports> construction;
    std::unique_ptr<ScriptedFsaExports> fsa;
    vyntest::TreePtr<ProbeAdapter> adapter;
    unsigned long xmlSize = 0;
    unsigned long csvSize = 0;
    bool untouched = false;
};

TEST_F(VynStatsLogTest, CollectionOffAnswersSuccessWithNothingWritten)
{
    adapter->setCollection(false);
    std::string xml;
    std::string csv;
    EXPECT_EQ(statsLog(2, &xml, &csv).getReturn(), 0);
    EXPECT_EQ(xmlSize, 0u);
    EXPECT_EQ(csvSize, 0u);
    EXPECT_TRUE(untouched);
    char raw[8] = "keep";
    unsigned long size = sizeof raw;
    EXPECT_EQ(adapter->getAdapterStats(raw, size).getReturn(), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_STREQ(raw, "keep");
    EXPECT_EQ(fsa->count("FsaGetControllerStats"), 0u);
}

TEST_F(VynStatsLogTest, BothFormsOfTheStatisticsLog)
{
    Record r(3, 0);
    r.sections(0, 0);
    r.put32(8, 31);
    fsa->scriptAlways("FsaGetControllerStats", FSA_STS_SUCCESS, r.bytes);
    std::string xml;
    std::string csv;
    ASSERT_EQ(statsLog(2, &xml, &csv).getReturn(), 0);
    // No drives: the block of the fixed size alone, statistics type 0.
    ASSERT_EQ(fsa->arguments("FsaGetControllerStats").size(), 1u);
    EXPECT_EQ(fsa->arguments("FsaGetControllerStats")[0], (std::vector<uint64_t>{0, 6768}));
    EXPECT_EQ(xmlSize, xml.size());
    EXPECT_EQ(csvSize, csv.size());
    EXPECT_TRUE(startsWith(xml, "<ControllerLog controllerID=\"0\" type=\"9\" time=\""));
    EXPECT_NE(xml.find("\" deviceVendor=\"VYN\" deviceName=\"SIMRAID\" serialNumber=\"S123\">\n<statslog>\n"
                       "<controllerstats  statsVersion=\"3.0\" secondsSinceLastUpdate=\"31\""),
              std::string::npos);
    EXPECT_TRUE(endsWith(xml, "</controllerstats>\n</statslog>\n</ControllerLog>\n"));
    EXPECT_TRUE(startsWith(csv, "controllerID,type,time,deviceVendor,deviceName,serialNumber \n0,9,"));
    EXPECT_NE(csv.find(",VYN,SIMRAID,S123\nControllerstats \n"), std::string::npos);

    std::string none;
    ASSERT_EQ(statsLog(1, &none, &csv).getReturn(), 0);
    EXPECT_EQ(csvSize, csv.size());
    EXPECT_EQ(xmlSize, 12345u);
    EXPECT_TRUE(startsWith(csv, "controllerID,type,time,deviceVendor,deviceName,serialNumber\n0,9,"));
    // The values line runs on into the statistics text.
    EXPECT_NE(csv.find(",S123\nControllerstats \nstatsVersion,"), std::string::npos);
}

TEST_F(VynStatsLogTest, AdapterTextsAreEscapedInTheXmlAndLeftAsTheyAreInTheCsv)
{
    adapter->setIdentity("A&B", "Say \"hi\"", "<1>");
    Record r(3, 0);
    r.sections(0, 0);
    fsa->scriptAlways("FsaGetControllerStats", FSA_STS_SUCCESS, r.bytes);
    std::string xml;
    std::string csv;
    ASSERT_EQ(statsLog(2, &xml, &csv).getReturn(), 0);
    EXPECT_NE(xml.find(" deviceVendor=\"A&amp;B\" deviceName=\"Say &quot;hi&quot;\" serialNumber=\"&lt;1&gt;\">"),
              std::string::npos);
    EXPECT_NE(csv.find(",A&B,Say \"hi\",<1>\n"), std::string::npos);

    // Control characters have no form in XML: each becomes "?" there, and a
    // parser reads the log.
    adapter->setIdentity("V\x01", "N\tM", std::string("S\x1F" "1\x01", 4).c_str());
    ASSERT_EQ(statsLog(2, &xml, &csv).getReturn(), 0);
    EXPECT_NE(xml.find(" deviceVendor=\"V?\" deviceName=\"N?M\" serialNumber=\"S?1?\">"), std::string::npos) << xml;
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str())) << xml;
    EXPECT_EQ(std::string(doc.child("ControllerLog").attribute("serialNumber").value()), "S?1?");
}

TEST_F(VynStatsLogTest, FailuresOfTheLogs)
{
    std::string xml;
    std::string csv;
    fsa->script("FsaGetControllerStats", 31);
    Ret ret = statsLog(0, &xml, &csv);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetControllerStats() fsaStatus=31 ***"), 1u);

    // A log larger than the caller's buffer gives no wrapped text.
    Record big(3, 0);
    big.sections(5, 0);
    fsa->scriptAlways("FsaGetControllerStats", FSA_STS_SUCCESS, big.bytes);
    for (unsigned long room : {512ul, 4096ul}) {
        SCOPED_TRACE(room);
        ret = statsLog(2, &xml, &csv, room);
        EXPECT_EQ(ret.getReturn(), -14);
        EXPECT_EQ(xmlSize, 0u);
        EXPECT_EQ(csvSize, 0u);
    }
    EXPECT_EQ(errorCount("*** Output Overflow: vs ***"), 4u);

    EXPECT_EQ(statsLog(3, &xml, &csv).getReturn(), -2);
}

TEST_F(VynStatsLogTest, CacheLogsOfOneAndAllDrives)
{
    // The record lists logical drives 0, 5 and 2 in that order: one drive's
    // log is the entry of the number asked for, never the one at that
    // position.
    Record r(3, 0);
    r.sections(3, 0);
    r.put32(r.ld(1), 5);
    r.put64(r.ld(1) + 1040, 7);
    r.put32(r.ld(2), 2);
    r.put64(r.ld(2) + 1040, 9);
    fsa->scriptAlways("FsaGetControllerStats", FSA_STS_SUCCESS, r.bytes);
    std::vector<char> buffer(1 << 16);
    struct Case {
        int type;
        unsigned index;
        int ret;
        const char* piece;
    };
    for (const Case& c : {Case{13, 5, 0, "<logicaldrivestats  id=\"5\">\n<CacheStatistics>\n"},
                          Case{13, 2, 0, "<logicaldrivestats  id=\"2\">\n"},
                          Case{13, 0, 0, "<logicaldrivestats  id=\"0\">\n"},
                          Case{14, 0, 0, "<logicaldrivestats  id=\"ALL\" >\n"}, Case{13, 1, -2, "<statslog>\n"},
                          Case{13, 3, -2, "<statslog>\n"}}) {
        SCOPED_TRACE(c.type * 10 + c.index);
        VStream out(buffer.data(), buffer.size());
        unsigned long size = 0;
        const Ret ret = adapter->getAdapterCacheLog(&out, &size, c.index, EnumLogTypeRequest(c.type));
        EXPECT_EQ(ret.getReturn(), c.ret);
        const std::string text(buffer.data(), size);
        EXPECT_EQ(text.find("<ControllerLog controllerID=\"0\" type=\"" + std::to_string(c.type) + "\" time=\""), 0u);
        EXPECT_NE(text.find(c.piece), std::string::npos);
        EXPECT_EQ(text.find("</ControllerLog>") != std::string::npos, c.ret == 0);
    }
    EXPECT_EQ(errorCount("*** Bad Parameter: Logical drive index is out of range, paramValue=1 ***"), 1u);
    EXPECT_EQ(errorCount("*** Bad Parameter: Logical drive index is out of range, paramValue=3 ***"), 1u);
}

TEST_F(VynStatsLogTest, TheRawBlockNeedsTheRoomOfTheTree)
{
    Record r(3, 0);
    r.sections(0, 0);
    r.put32(8, 0xABCD);
    fsa->scriptAlways("FsaGetControllerStats", FSA_STS_SUCCESS, r.bytes);
    std::vector<char> out(8000, 'x');
    unsigned long size = 6767;
    EXPECT_EQ(adapter->getAdapterStats(out.data(), size).getReturn(), -2);
    EXPECT_EQ(size, 6768u);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(errorCount("*** Bad Parameter: Buffer size is too small, paramValue=6767 ***"), 1u);

    size = out.size();
    EXPECT_EQ(adapter->getAdapterStats(out.data(), size).getReturn(), 0);
    EXPECT_EQ(size, 6768u);
    EXPECT_EQ(std::memcmp(out.data(), r.bytes.data(), r.bytes.size()), 0);
    // What the controller left of the block reads as zeros.
    EXPECT_EQ(out[6767], 0);
    EXPECT_EQ(out[6768], 'x');
}

TEST_F(VynStatsLogTest, SwitchesSendTheirCallOnAWriteHandle)
{
    struct Case {
        const char* call;
        const char* failure;
        std::function<Ret(VynAdapter&)> run;
        std::vector<uint64_t> kept;
    };
    const std::vector<Case> cases = {
        {"FsaSetControllerStats", "setStatisticDataCollectionMode()",
         [](VynAdapter& a) { return a.setStatisticDataCollectionMode(true); }, {1}},
        {"FsaSetControllerStats", "setStatisticDataCollectionMode()",
         [](VynAdapter& a) { return a.setStatisticDataCollectionMode(false); }, {0}},
        {"FsaResetControllerStatsCounters", "resetStatisticsCounters()",
         [](VynAdapter& a) { return a.resetStatisticsCounters(); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failure);
        fsa.reset();
        fsa = vyntest::succeedingExports();
        EXPECT_EQ(c.run(*adapter).getReturn(), 0) << errorLog();
        ASSERT_EQ(fsa->arguments(c.call).size(), 1u);
        EXPECT_EQ(fsa->arguments(c.call)[0], c.kept);
        EXPECT_EQ(fsa->count("FsaCloseAdapter"), 1u);
        // The tree keeps the flag it was built with.
        EXPECT_TRUE(adapter->isStatisticDataCollectionEnabled());

        fsa->script(c.call, 5);
        const Ret failed = c.run(*adapter);
        EXPECT_EQ(failed.getReturn(), -5);
        EXPECT_EQ(failed.getAPIReturn(), 5u);
        EXPECT_GE(errorCount(std::string("*** FSA API Error: ") + c.failure + " fsaStatus=5 ***"), 1u);

        fsa.reset();
        fsa = vyntest::succeedingExports(false);
        EXPECT_EQ(c.run(*adapter).getReturn(), -6);
        EXPECT_EQ(fsa->count(c.call), 0u);
    }
    EXPECT_EQ(errorCount("*** Busy: Failed to obtain FSA API adapter write handle ***"), 3u);
}

// ---- the simulated controller's record ----

class VynStatsSimTest : public vyntest::FamilyTest {};

// Byte 48 of the dynamic properties: bit 4 is statistics collection.
const std::string kCollectionOn = "adapter0.properties_record = " + std::string(96, '0') + "10\n";

TEST_F(VynStatsSimTest, TheControllersRecordReachesBothLogsAndTheSwitchesReachTheController)
{
    startController(kCollectionOn +
                    "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                    "adapter0.drive2 = 0:2 sas 146G\nadapter0.ld0 = raid1 0:0,0:1 name=Mirror\n"
                    "adapter0.ld3 = raid0 0:2 name=Single\nadapter0.log.stats_reads = 5000000000\n"
                    "adapter0.log.stats_writes = 7\nadapter0.log.stats_medium_errors = 3\n"
                    "adapter0.log.stats_seconds = 12\n");
    ScriptedFsaExports spares;
    spares.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    Ret ret;
    vyntest::TreePtr<VynAdapter> adapter = openController(&ret);
    ASSERT_NE(adapter, nullptr);
    adapter->buildChildren(ret);
    ASSERT_EQ(adapter->getNumLogicalDrives(), 2u);
    ASSERT_EQ(adapter->getNumHardDrives(), 3u);
    ASSERT_TRUE(adapter->isStatisticDataCollectionEnabled());

    std::vector<char> a(1 << 20);
    std::vector<char> b(1 << 20);
    VStream x(a.data(), a.size());
    VStream c(b.data(), b.size());
    unsigned long xmlSize = 0;
    unsigned long csvSize = 0;
    ASSERT_EQ(adapter->getAdapterStatsLog(&x, &c, 2, &xmlSize, &csvSize).getReturn(), 0);
    const std::string xml(a.data(), xmlSize);
    const std::string csv(b.data(), csvSize);
    EXPECT_EQ(attr(xml, "statsVersion"), "3.0");
    EXPECT_EQ(attr(xml, "secondsSinceLastUpdate"), "12");
    EXPECT_EQ(attr(xml, "ldCount"), "2");
    EXPECT_EQ(attr(xml, "pdCount"), "3");
    EXPECT_EQ(countOf(xml, " numReads=\"5000000000\""), 2u);
    EXPECT_EQ(attr(xml, "id", xml.find("<logicaldrivestats ", xml.find("<logicaldrivestats ") + 1)), "3");
    EXPECT_EQ(countOf(xml, " mediumErrCnt=\"3\""), 3u);
    EXPECT_NE(xml.find("<physicaldrivestats  handle=\"2\" channel=\"0\" id=\"2\""), std::string::npos);
    EXPECT_EQ(countOf(csv, "\n "), 3u);

    // The switches change the controller, not the tree.
    ASSERT_EQ(adapter->setStatisticDataCollectionMode(false).getReturn(), 0) << errorLog();
    EXPECT_EQ(sim().controller(0).properties[48] & 0x10, 0);
    EXPECT_TRUE(adapter->isStatisticDataCollectionEnabled());
    ASSERT_EQ(adapter->resetStatisticsCounters().getReturn(), 0);
    EXPECT_EQ(sim().controller(0).statisticsResets, 1u);
    EXPECT_EQ(sim().controller(0).stats.reads, 0u);
    VStream again(a.data(), a.size());
    ASSERT_EQ(adapter->getAdapterStatsLog(&again, nullptr, 0, &xmlSize, nullptr).getReturn(), 0);
    const std::string after(a.data(), xmlSize);
    EXPECT_EQ(countOf(after, " numReads=\"0\""), 2u);
    EXPECT_EQ(attr(after, "secondsSinceLastUpdate"), "0");
}

TEST_F(VynStatsSimTest, TheSimulatedRecordOfVersion2)
{
    startController(kCollectionOn +
                    "adapter0.drive0 = 0:0 sas 146G\nadapter0.ld0 = raid0 0:0 name=One\n"
                    "adapter0.log.stats_version = 2\nadapter0.log.stats_reads = 10\n"
                    "adapter0.log.stats_ssd_hits = 4\n");
    ScriptedFsaExports spares;
    spares.scriptAlways("FsaFailoverSpace", 1, vyntest::words({0}));
    Ret ret;
    vyntest::TreePtr<VynAdapter> adapter = openController(&ret);
    ASSERT_NE(adapter, nullptr);
    adapter->buildChildren(ret);
    std::vector<char> a(1 << 18);
    VStream x(a.data(), a.size());
    unsigned long size = 0;
    ASSERT_EQ(adapter->getAdapterCacheLog(&x, &size, 0, EnumLogTypeRequest(14)).getReturn(), 0);
    const std::string xml(a.data(), size);
    EXPECT_EQ(attr(xml, "statsVersion"), "2.0");
    EXPECT_EQ(attr(xml, "ssdHitReads"), "4");
    EXPECT_EQ(attr(xml, "uncachedReads"), "6");
    EXPECT_EQ(attr(xml, "ssdpageshit1"), "4");
    EXPECT_EQ(attr(xml, "ssdInvalidationsLargeWrite"), "0");
}

}  // namespace
