// Controller logs: the request forms and their refusals, clearing, the stored
// event log, the UART text, the monitor archive file, the dead-drive log and
// the drive error tables, on the scripted exports where the records must lie
// or overflow, and over the simulated controller for each record generation.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Channel.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugInfo.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

constexpr const char* kBusyLine = "*** Busy: Failed to obtain FSA API adapter write handle ***";
constexpr const char* kOverflowLine = "*** Output Overflow: vs ***";

// Reaches the model's collection switch, which the statistics log reads.
class ProbeAdapter : public VynAdapter {
public:
    using VynAdapter::VynAdapter;
    void setCollection(bool on) { statisticDataCollectionEnabled = on; }
};

EnumLogTypeRequest logType(int type) { return static_cast<EnumLogTypeRequest>(type); }

// A little-endian record of its own, written field by field.
struct Bytes {
    std::vector<uint8_t> data;
    explicit Bytes(size_t size = 0) : data(size, 0) {}
    Bytes& u8(size_t at, uint8_t v)
    {
        grow(at + 1);
        data[at] = v;
        return *this;
    }
    Bytes& u16(size_t at, uint16_t v)
    {
        grow(at + 2);
        data[at] = static_cast<uint8_t>(v);
        data[at + 1] = static_cast<uint8_t>(v >> 8);
        return *this;
    }
    Bytes& u32(size_t at, uint32_t v)
    {
        grow(at + 4);
        for (int b = 0; b < 4; ++b)
            data[at + b] = static_cast<uint8_t>(v >> (8 * b));
        return *this;
    }
    Bytes& text(size_t at, const std::string& s)
    {
        grow(at + s.size());
        std::memcpy(data.data() + at, s.data(), s.size());
        return *this;
    }
    void grow(size_t n)
    {
        if (data.size() < n)
            data.resize(n, 0);
    }
};

// Chunks for the scripted diagnostic dump: each a u32 length and its bytes.
std::vector<uint8_t> chunks(const std::vector<std::string>& pieces)
{
    std::vector<uint8_t> out;
    for (const std::string& p : pieces) {
        const std::vector<uint8_t> length = words({static_cast<uint32_t>(p.size())});
        out.insert(out.end(), length.begin(), length.end());
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// The opening's time attribute, which the tests cannot know, as "T".
std::string maskTime(const std::string& text)
{
    return std::regex_replace(text, std::regex(" time=\"[0-9]+\""), " time=\"T\"");
}

class VynLogsTest : public vyntest::FamilyTest {
protected:
    void SetUp() override
    {
        FamilyTest::SetUp();
        construction = std::make_unique<ScriptedFsaExports>();
        construction->answerUnscripted(31);
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
        adapter.reset(new ProbeAdapter(&record, nullptr, 0, nullptr, nullptr));
        channel = new Channel(adapter.get(), 0, CHANNEL_TYPE_SCSI, SPEED_UNSET);
        adapter->addChild(channel);
        freshExports();
    }
    void TearDown() override
    {
        adapter.reset();
        fsa.reset();
        construction.reset();
        FamilyTest::TearDown();
    }

    // Exports that succeed without output and open every write handle.
    void freshExports()
    {
        fsa.reset();
        fsa = vyntest::succeedingExports();
    }

    // One-buffer request of `room` bytes; the text written.
    std::string request(int type, unsigned long room = 65536, Ret* result = nullptr)
    {
        std::vector<char> buffer(room, '#');
        unsigned long size = room;
        const Ret ret = adapter->getControllerLog(logType(type), buffer.data(), size, 0);
        if (result != nullptr)
            *result = ret;
        lastSize = size;
        if (ret.getReturn() != 0 || size > room)
            return "";
        return std::string(buffer.data(), size);
    }

    // Option word 2 of the controller's general information.
    void setOptionWord2(uint32_t word)
    {
        FSA_GENERAL_INFO2 info = *adapter->getFsaInfo();
        faPutLe32(info.bytes + GI_SUPPORTED_OPTIONS2, word);
        adapter->setFsaGeneralInfo(&info);
    }

    // A hard drive at channel 0 whose device record reports `scsiVersion`.
    void addDrive(uint8_t target, uint16_t scsiVersion)
    {
        auto* drive = new VynHardDrive(adapter.get(), channel, target, 1000000);
        channel->addChild(drive);
        FSA_STORAGE_DEVICE_INFO info = {};
        info.address.targetId = target;
        info.scsiVersion = scsiVersion;
        new VynPhysicalDeviceAttach(channel, drive, &info, nullptr);
    }

    // A dead-drive log: the header (count, version) then the entries, the
    // header answered twice (for the size and for the read).
    void scriptDeadLog(uint16_t version, const std::vector<Bytes>& entries, uint32_t count)
    {
        Bytes header(32);
        header.u32(0, count).u16(16, version);
        fsa->script("FsaGetDeadDriveLog2", 5, header.data);
        std::vector<uint8_t> reply = header.data;
        for (const Bytes& e : entries)
            reply.insert(reply.end(), e.data.begin(), e.data.end());
        fsa->script("FsaGetDeadDriveLog2", FSA_STS_SUCCESS, reply);
    }

    // A newer drive error table of `version` with `entries` whose header
    // names `count` entries; the size answer is the table's length.
    void scriptErrorTable(uint16_t version, uint16_t entryBytes, const std::vector<Bytes>& entries, uint16_t count,
                          uint8_t flags = 0)
    {
        Bytes table(12);
        table.u16(2, entryBytes).u16(4, count).u16(8, version).u8(10, flags);
        for (const Bytes& e : entries) {
            Bytes sized = e;
            sized.grow(entryBytes);
            table.data.insert(table.data.end(), sized.data.begin(), sized.data.end());
        }
        fsa->script("FsaGetDriveErrorTableSize", FSA_STS_SUCCESS,
                    words({static_cast<uint32_t>(table.data.size())}));
        fsa->script("FsaGetDriveErrorTable2", FSA_STS_SUCCESS, table.data);
    }

    std::unique_ptr<ScriptedFsaExports> construction;
    std::unique_ptr<ScriptedFsaExports> fsa;
    vyntest::TreePtr<ProbeAdapter> adapter;
    Channel* channel = nullptr;
    unsigned long lastSize = 0;
};

// ---- the request forms ----

TEST_F(VynLogsTest, TheBufferMustHoldAtLeast512Bytes)
{
    scriptDeadLog(0, {}, 0);
    Ret ret;
    EXPECT_EQ(request(5, 511, &ret), "");
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: Buffer must be at least 512 bytes in size, paramValue=0 ***"), 1u);
    EXPECT_EQ(fsa->count("FsaGetDeadDriveLog2"), 0u);

    const std::string text = request(5, 512, &ret);
    EXPECT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(maskTime(text), "<ControllerLog controllerID=\"0\" type=\"5\" time=\"T\" version=\"0\">\n</ControllerLog>\n");
    EXPECT_EQ(lastSize, text.size());
}

TEST_F(VynLogsTest, LogTypesOutsideEachFormAreRefusedBeforeAnyHandle)
{
    struct Row {
        const char* what;
        int type;
        std::function<Ret(VynAdapter&)> run;
    };
    std::vector<char> one(1024), two(1024);
    unsigned long size1 = 1024, size2 = 1024;
    const std::vector<Row> rows = {
        {"two buffers, one drive's cache", 13,
         [&](VynAdapter& a) { return a.getControllerLog(logType(13), one.data(), size1, two.data(), size2); }},
        {"two buffers, all drives' cache", 14,
         [&](VynAdapter& a) { return a.getControllerLog(logType(14), one.data(), size1, two.data(), size2); }},
        {"clearing the UART log", 7, [](VynAdapter& a) { return a.clearControllerLog(logType(7)); }},
        {"clearing the statistics", 9, [](VynAdapter& a) { return a.clearControllerLog(logType(9)); }},
        {"one buffer, type 3", 3,
         [&](VynAdapter& a) { return a.getControllerLog(logType(3), one.data(), size1, 0); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fsa->clearCalls();
        EXPECT_EQ(row.run(*adapter).getReturn(), -2);
        EXPECT_TRUE(fsa->calls().empty());
        EXPECT_EQ(errorCount("*** Bad Parameter: Invalid log type, paramValue=" + std::to_string(row.type) + " ***"),
                  1u);
    }
}

TEST_F(VynLogsTest, TwoBufferRequestsOfTheXmlLogs)
{
    std::vector<char> one(4096, '#'), two(4096, '#');
    // Only buffer 2: the dead-drive log has no comma-separated form.
    unsigned long size1 = 0, size2 = 4096;
    Ret ret = adapter->getControllerLog(logType(5), nullptr, size1, two.data(), size2);
    EXPECT_EQ(ret.getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: Buffer size is too small, paramValue=0 ***"), 1u);
    EXPECT_EQ(fsa->count("FsaGetDeadDriveLog2"), 0u);

    // No buffer at all.
    size1 = 0;
    size2 = 0;
    EXPECT_EQ(adapter->getControllerLog(logType(5), one.data(), size1, two.data(), size2).getReturn(), -2);
    EXPECT_EQ(errorCount("*** Bad Parameter: Buffer size is too small, paramValue=0 ***"), 2u);

    // Both: the log in buffer 1, the comma-separated title in buffer 2.
    scriptDeadLog(0, {}, 0);
    size1 = 4096;
    size2 = 4096;
    ret = adapter->getControllerLog(logType(5), one.data(), size1, two.data(), size2);
    ASSERT_EQ(ret.getReturn(), 0);
    EXPECT_EQ(maskTime(std::string(one.data(), size1)),
              "<ControllerLog controllerID=\"0\" type=\"5\" time=\"T\" version=\"0\">\n</ControllerLog>\n");
    EXPECT_EQ(std::string(two.data(), size2), "ControllerLog \n");

    // Buffer 1 alone is the one-buffer request, with its size rule.
    size1 = 100;
    size2 = 0;
    EXPECT_EQ(adapter->getControllerLog(logType(5), one.data(), size1, nullptr, size2).getReturn(), -2);
    EXPECT_EQ(errorCount("Buffer must be at least 512 bytes in size"), 1u);

    // Beside buffer 2 that rule does not apply: a buffer 1 too small for
    // the UART element's closing is an overflow, never a write before it.
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS, chunks({"text"}));
    size1 = 12;
    size2 = 4096;
    std::fill(one.begin(), one.end(), '#');
    ret = adapter->getControllerLog(logType(7), one.data(), size1, two.data(), size2);
    EXPECT_EQ(ret.getReturn(), -14);
    EXPECT_EQ(size1, 0u);
    EXPECT_EQ(std::string(one.data() + 12, 8), "########");
}

TEST_F(VynLogsTest, ABufferWithoutMemoryIsRefused)
{
    unsigned long size = 4096;
    EXPECT_EQ(adapter->getControllerLog(logType(5), nullptr, size, 0).getReturn(), -2);
    EXPECT_EQ(fsa->count("FsaGetDeadDriveLog2"), 0u);
}

TEST_F(VynLogsTest, ATwoBufferStatisticsRequestFillsBoth)
{
    adapter->setCollection(true);
    std::vector<char> one(262144, '#'), two(262144, '#');
    unsigned long size1 = one.size(), size2 = two.size();
    const Ret ret = adapter->getControllerLog(logType(9), one.data(), size1, two.data(), size2);
    ASSERT_EQ(ret.getReturn(), 0);
    ASSERT_GT(size1, 0u);
    ASSERT_GT(size2, 0u);
    EXPECT_EQ(std::string(one.data(), size1).rfind("<ControllerLog controllerID=\"0\" type=\"9\"", 0), 0u);
    EXPECT_EQ(std::string(two.data(), size2).rfind("ControllerLog \n", 0), 0u);
}

TEST_F(VynLogsTest, ClearingSendsOnAWriteHandleAndNamesItsCall)
{
    struct Row {
        int type;
        const char* call;
    };
    for (const Row& row : {Row{0, "FsaClearDriveErrorTable"}, Row{5, "FsaClearDeadDriveLog"},
                           Row{6, "FsaResetNvramEventLog"}}) {
        SCOPED_TRACE(row.call);
        freshExports();
        EXPECT_EQ(adapter->clearControllerLog(logType(row.type)).getReturn(), 0);
        ASSERT_EQ(fsa->count(row.call), 1u);

        fsa->script(row.call, 21);
        const Ret failed = adapter->clearControllerLog(logType(row.type));
        EXPECT_EQ(failed.getReturn(), -5);
        EXPECT_EQ(failed.getAPIReturn(), 21u);
        EXPECT_EQ(errorCount(std::string("*** FSA API Error: ") + row.call + "() fsaStatus=21 ***"), 1u);

        fsa.reset();
        fsa = vyntest::succeedingExports(false);
        EXPECT_EQ(adapter->clearControllerLog(logType(row.type)).getReturn(), -6);
        EXPECT_EQ(fsa->count(row.call), 0u);
    }
    EXPECT_EQ(errorCount(kBusyLine), 3u);
}

// ---- stored event log ----

// A stored log of `count` entries: each a time stamp and a container-change
// event of container i whose own time field holds 999.
std::vector<uint8_t> storedLog(uint32_t count, const std::vector<uint32_t>& stamps)
{
    Bytes log(4);
    log.u32(0, count);
    for (size_t i = 0; i < stamps.size(); ++i) {
        const size_t at = 4 + 336 * i;
        log.u32(at, stamps[i]);
        log.u32(at + 4, FSA_EM_CONTAINER_CHANGE);
        log.u32(at + 4 + 8, static_cast<uint32_t>(i));
        log.u32(at + 4 + 328, 999);
    }
    return log.data;
}

TEST_F(VynLogsTest, AStoredLogWithoutEntries)
{
    fsa->script("FsaGetNvramEventLog", FSA_STS_SUCCESS, storedLog(0, {}));
    const std::string text = request(6);
    EXPECT_EQ(maskTime(text), "<ControllerLog controllerID=\"0\" type=\"6\" time=\"T\">\n"
                              "    <eventlog>\n"
                              "    </eventlog>\n"
                              "</ControllerLog>\n");
    EXPECT_EQ(lastSize, text.size());
    EXPECT_EQ(fsa->arguments("FsaGetNvramEventLog"), (std::vector<std::vector<uint64_t>>{{86016}}));
}

TEST_F(VynLogsTest, EachStoredEventIsDatedWithItsEntrysStamp)
{
    fsa->script("FsaGetNvramEventLog", FSA_STS_SUCCESS, storedLog(2, {1234567, 0}));
    const unsigned long before = static_cast<unsigned long>(std::time(nullptr));
    const std::string text = request(6);
    const unsigned long after = static_cast<unsigned long>(std::time(nullptr));
    std::smatch m;
    const std::string lines = text;
    ASSERT_TRUE(std::regex_search(lines, m, std::regex("\n    \t<event Date=\"1234567\"[^\n]*logicalDriveID=\"0\"/>\n")))
        << text;
    ASSERT_TRUE(std::regex_search(lines, m, std::regex("\n    \t<event Date=\"([0-9]+)\"[^\n]*logicalDriveID=\"1\"")))
        << text;
    const unsigned long now = std::stoul(m[1]);
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

TEST_F(VynLogsTest, AStoredCountAboveTheBufferReadsTheWholeEntriesOnly)
{
    std::vector<uint32_t> stamps(255, 1700000000);
    std::vector<uint8_t> log = storedLog(300, stamps);
    log.resize(86016, 0);
    fsa->script("FsaGetNvramEventLog", FSA_STS_SUCCESS, log);
    const std::string text = request(6, 1 << 20);
    EXPECT_EQ(occurrences(text, "<event "), 255u);
    EXPECT_NE(text.find("logicalDriveID=\"254\""), std::string::npos);
    EXPECT_NE(text.rfind("    </eventlog>\n</ControllerLog>\n"), std::string::npos);
}

TEST_F(VynLogsTest, AStoredLogTooLargeForTheBufferIsAnOverflowNotAWrappedText)
{
    fsa->script("FsaGetNvramEventLog", FSA_STS_SUCCESS, storedLog(20, std::vector<uint32_t>(20, 1700000000)));
    Ret ret;
    std::vector<char> buffer(1024, '#');
    unsigned long size = buffer.size();
    ret = adapter->getControllerLog(logType(6), buffer.data(), size, 0);
    EXPECT_EQ(ret.getReturn(), -14);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(errorCount(kOverflowLine), 1u);
}

TEST_F(VynLogsTest, AFailedStoredLogReadWritesNothing)
{
    fsa->script("FsaGetNvramEventLog", 21);
    std::vector<char> buffer(1024, '#');
    unsigned long size = 777;
    const Ret ret = adapter->getControllerLog(logType(6), buffer.data(), size, 0);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(size, 777u);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetNvsramEventLog(x, x, x) fsaStatus=21 ***"), 1u);
}

// ---- UART text ----

TEST_F(VynLogsTest, UartControlBytesBecomeBlanksInACopy)
{
    const std::string chunk = std::string("a\x1B" "b\xE9" "c\td\r\n", 9);
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS, chunks({chunk, "end\n"}));
    const std::string text = request(7);
    EXPECT_EQ(maskTime(text), "<ControllerLog controllerID=\"0\" type=\"7\" time=\"T\"><![CDATA["
                              "a b c\td\r\nend\n]]></ControllerLog>\n");
    ASSERT_EQ(fsa->delivered().size(), 2u);
    EXPECT_EQ(fsa->delivered()[0], chunk);
    // Selector 0, asking for the history buffer.
    EXPECT_EQ(fsa->arguments("FsaDiagnostic"), (std::vector<std::vector<uint64_t>>{{0, 8}}));
}

TEST_F(VynLogsTest, UartTextNeverEndsItsCdataSection)
{
    // "]]>" inside a chunk and split over chunks in both possible places.
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS,
                chunks({"boot ok\nmap a[b[1]]> 2\n", "x]]", "> y]", "]> z\n", ">]]>", "end\n"}));
    const std::string text = request(7);
    EXPECT_EQ(maskTime(text), "<ControllerLog controllerID=\"0\" type=\"7\" time=\"T\"><![CDATA["
                              "boot ok\nmap a[b[1]] > 2\nx]] > y]] > z\n>]] >end\n]]></ControllerLog>\n");
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str())) << text;
    EXPECT_EQ(std::string(doc.child("ControllerLog").child_value()),
              "boot ok\nmap a[b[1]] > 2\nx]] > y]] > z\n>]] >end\n");
    // The firmware interface's chunks stay as they came.
    ASSERT_EQ(fsa->delivered().size(), 6u);
    EXPECT_EQ(fsa->delivered()[1], "x]]");
    EXPECT_EQ(fsa->delivered()[2], "> y]");
}

TEST_F(VynLogsTest, AUartTextLargerThanTheBufferIsCutAndStillClosed)
{
    // The third chunk does not fit: it and every later one, even a small
    // one, are dropped.
    const std::string closing = "]]></ControllerLog>\n";
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS,
                chunks({std::string(200, 'u'), std::string(200, 'v'), std::string(200, 'q'), "Z"}));
    const std::string text = request(7, 512);
    ASSERT_GE(text.size(), closing.size());
    EXPECT_EQ(text.substr(text.size() - closing.size()), closing);
    EXPECT_LE(lastSize, 512u - 2);
    EXPECT_EQ(text.find('q'), std::string::npos);
    EXPECT_EQ(text.find('Z'), std::string::npos);
    EXPECT_EQ(occurrences(text, std::string(200, 'v')), 1u);

    // A text that ends just short of the end: the closing goes over its end.
    freshExports();
    const std::string opening = "<ControllerLog controllerID=\"0\" type=\"7\" time=\"1796994514\"><![CDATA[";
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS, chunks({std::string(512 - 4 - opening.size(), 'q')}));
    const std::string full = request(7, 512);
    EXPECT_EQ(full.substr(full.size() - closing.size()), closing);
    EXPECT_EQ(lastSize, 512u - 2);
}

TEST_F(VynLogsTest, AFailedUartDumpIsAnApiError)
{
    fsa->script("FsaDiagnostic", 129);
    Ret ret;
    request(7, 4096, &ret);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaDiagnostic() fsaStatus=129 ***"), 1u);
}

// ---- monitor archive ----

TEST_F(VynLogsTest, TheMonitorFileHoldsExactlyTheDeliveredBytes)
{
    const std::string binary("\x01\x00\x02zz\xFF", 6);
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS, chunks({"first line\n", binary, "last"}));
    const std::string text = request(8);
    const std::string path = hostFile("/var/log/VelmornArch.log");
    EXPECT_EQ(maskTime(text),
              "<ControllerLog controllerID=\"0\" type=\"8\" time=\"T\" filename=\"" + path + "\"/>\n");
    EXPECT_EQ(vyntest::readFile(path), "first line\n" + binary + "last");
    EXPECT_EQ(fsa->arguments("FsaDiagnostic"), (std::vector<std::vector<uint64_t>>{{6, 8}}));

    // Each request overwrites the file.
    freshExports();
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS, chunks({"x"}));
    request(8);
    EXPECT_EQ(vyntest::readFile(path), "x");
}

TEST_F(VynLogsTest, AnArchiveBeyondTheWorkBufferIsAnOverflowAndNoFile)
{
    const std::string piece(1024 * 1024, 'm');
    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS, chunks(std::vector<std::string>(11, piece)));
    Ret ret;
    request(8, 4096, &ret);
    EXPECT_EQ(ret.getReturn(), -14);
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/log/VelmornArch.log")));
}

TEST_F(VynLogsTest, WithoutADebugDirectoryNoArchiveIsWritten)
{
    // A host root too long for the debug directory leaves it empty.
    const std::string tooLong = root() + "/" + std::string(STOR_DEBUG_FILE_PATH_SIZE, 'r');
    const std::string saved = root();
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(root().c_str()), 0);
    ::setenv("VYN_HOST_ROOT", tooLong.c_str(), 1);
    StorDebugDeleteAll();
    storDebugInfo[STORLIB_TYPE_VYN] = new StorDebugInfo(STORLIB_TYPE_VYN, nullptr);
    ASSERT_STREQ(gStorDebugFilePath, "");

    fsa->script("FsaDiagnostic", FSA_STS_SUCCESS, chunks({"archive\n"}));
    Ret ret;
    const std::string text = request(8, 4096, &ret);

    ::setenv("VYN_HOST_ROOT", saved.c_str(), 1);
    StorDebugDeleteAll();
    storDebugInfo[STORLIB_TYPE_VYN] = new StorDebugInfo(STORLIB_TYPE_VYN, nullptr);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(ret.getReturn(), -3);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(vyntest::fileExists(saved + "/VelmornArch.log"));
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/log/VelmornArch.log")));
}

// ---- dead-drive log ----

// A version-0 entry at channel 0, device `device`.
Bytes deadEntryV0(uint8_t device, uint32_t reason, const std::string& identification)
{
    Bytes e(48);
    e.u8(0, 7).u8(1, device).u8(2, 0).u8(3, 1).u8(4, 2);
    e.u8(5, 10).u8(6, 20).u8(7, 3).u8(8, 4).u8(9, 5).u16(10, 2024);
    e.text(12, identification);
    e.u32(36, reason).u32(40, 0x100 + device);
    return e;
}

TEST_F(VynLogsTest, AnEmptyVersion0DeadDriveLogReadsNoEntries)
{
    Bytes header(32);
    fsa->script("FsaGetDeadDriveLog2", FSA_STS_SUCCESS, header.data);
    EXPECT_EQ(maskTime(request(5)),
              "<ControllerLog controllerID=\"0\" type=\"5\" time=\"T\" version=\"0\">\n</ControllerLog>\n");
    EXPECT_EQ(fsa->count("FsaGetDeadDriveLog2"), 1u);
}

TEST_F(VynLogsTest, Version0EntriesSplitTheFailureReasonAndTrimTheSerial)
{
    addDrive(1, 5);
    addDrive(2, 3);
    scriptDeadLog(0,
                  {deadEntryV0(1, 0x04030201, std::string("ABCDE\0\0\0VENDOR\"<", 16)),
                   deadEntryV0(2, 0x02030201, "12345678PRODUCT!")},
                  2);
    const std::string text = request(5);
    EXPECT_EQ(maskTime(text),
              "<ControllerLog controllerID=\"0\" type=\"5\" time=\"T\" version=\"0\">\n"
              "    <deadDriveEntry adapterID=\"0\" channelID=\"0\" deviceID=\"1\" entryType=\"1\" rtcSeconds=\"10\""
              " rtcMinutes=\"20\" rtcHours=\"3\" rtcDay=\"4\" rtcMonth=\"5\" rtcYear=\"2024\" serialNumber=\"ABCDE\""
              " vendorProductID=\"ABCDE???VENDOR&quot;&lt;\" failureReasonCode=\"67305985\" majorReasonCode=\"4\""
              " senseKey=\"3\" senseASC=\"2\" senseASCQ=\"1\" deviceAddress=\"257\" slotNum=\"7\" enclIndex=\"2\"/>\n"
              "    <deadDriveEntry adapterID=\"0\" channelID=\"0\" deviceID=\"2\" entryType=\"1\" rtcSeconds=\"10\""
              " rtcMinutes=\"20\" rtcHours=\"3\" rtcDay=\"4\" rtcMonth=\"5\" rtcYear=\"2024\""
              " serialNumber=\"12345678\" vendorProductID=\"12345678PRODUCT!\" failureReasonCode=\"33751553\""
              " majorReasonCode=\"2\" deviceAddress=\"258\"/>\n"
              "</ControllerLog>\n");
    // The entries were read into exactly the room of the first header.
    const auto args = fsa->arguments("FsaGetDeadDriveLog2");
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[1], (std::vector<uint64_t>{1, 96}));
}

TEST_F(VynLogsTest, Version1EntriesInTheirOwnOrder)
{
    Bytes e(56);
    e.u8(1, 1).u8(2, 2).u8(3, 3).u8(4, 4).u8(5, 5).u16(6, 2025);
    e.text(8, "       SERIAL-ONE   ");
    e.text(28, std::string("\x50\x00\xC5\x00\x12\x34\xAB\xCD", 8));
    e.text(36, "  VEND  ").text(44, "PROD");
    e.u32(52, 0x04000000);
    scriptDeadLog(1, {e}, 1);
    EXPECT_EQ(maskTime(request(5)),
              "<ControllerLog controllerID=\"0\" type=\"5\" time=\"T\" version=\"1\">\n"
              "    <deadDriveEntry vendorID=\"VEND  \" rtcSeconds=\"1\" rtcMinutes=\"2\" rtcHours=\"3\" rtcDay=\"4\""
              " rtcMonth=\"5\" rtcYear=\"2025\" serialNumber=\"SERIAL-ONE   \" productID=\"PROD\""
              " wwn=\"5000c5001234abcd\" failureReasonCode=\"67108864\"/>\n"
              "</ControllerLog>\n");
}

TEST_F(VynLogsTest, TheSecondReadNeverOutgrowsTheFirstHeader)
{
    // The second header claims more entries than the room allocated.
    Bytes first(32), second(32);
    first.u32(0, 1);
    second.u32(0, 50);
    fsa->script("FsaGetDeadDriveLog2", 5, first.data);
    std::vector<uint8_t> reply = second.data;
    for (int i = 0; i < 50; ++i) {
        const Bytes e = deadEntryV0(static_cast<uint8_t>(i), 0, "S");
        reply.insert(reply.end(), e.data.begin(), e.data.end());
    }
    fsa->script("FsaGetDeadDriveLog2", FSA_STS_SUCCESS, reply);
    EXPECT_EQ(occurrences(request(5), "<deadDriveEntry"), 1u);
}

TEST_F(VynLogsTest, ADeadDriveCountBeyondTheLogsSizeAllocatesNothing)
{
    // A count whose entries the log's reported size cannot hold, and one
    // whose room does not fit the 32-bit size at all (the size wraps).
    struct Row {
        uint16_t version;
        uint32_t count;
        long long reported;  // -1: count x entry size in 32 bits, as the export reports it
    };
    for (const Row& row : {Row{1, 0x00800000u, 56}, Row{1, 0x08000000u, -1}, Row{0, 0x10000000u, -1}}) {
        SCOPED_TRACE(row.count);
        fsa->deadDriveLogSize = row.reported;
        Bytes header(32);
        header.u32(0, row.count).u16(16, row.version);
        fsa->script("FsaGetDeadDriveLog2", 5, header.data);
        std::vector<char> buffer(512, '#');
        unsigned long size = 512;
        EXPECT_EQ(adapter->getControllerLog(logType(5), buffer.data(), size, 0).getReturn(), -5);
        EXPECT_EQ(buffer[0], '#');
        EXPECT_EQ(size, 512u);
    }
    // The entries were never asked for.
    EXPECT_EQ(fsa->count("FsaGetDeadDriveLog2"), 3u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetDeadDriveLog() fsaStatus=38 ***"), 3u);
    EXPECT_EQ(errorCount("*** Resource Error: pDeadDriveLog = new FSA_DEAD_DRIVE_LOG_ENTRY2[logHeader.entryCount] ***"),
              0u);
}

TEST_F(VynLogsTest, DeadDriveFailuresAndOverflow)
{
    fsa->script("FsaGetDeadDriveLog2", 21);
    std::vector<char> buffer(1024, '#');
    unsigned long size = 1024;
    EXPECT_EQ(adapter->getControllerLog(logType(5), buffer.data(), size, 0).getReturn(), -5);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(size, 1024u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetDeadDriveLog() fsaStatus=21 ***"), 1u);

    // Twenty entries do not fit 1024 bytes: no cut element, an empty result.
    std::vector<Bytes> entries;
    for (uint8_t i = 0; i < 20; ++i)
        entries.push_back(deadEntryV0(i, 0x04030201, "SERIAL00"));
    scriptDeadLog(0, entries, 20);
    size = 1024;
    const Ret ret = adapter->getControllerLog(logType(5), buffer.data(), size, 0);
    EXPECT_EQ(ret.getReturn(), -14);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(errorCount(kOverflowLine), 1u);
}

TEST_F(VynLogsTest, ControlCharactersInEntryTextsBecomeQuestionMarks)
{
    // A dead-drive entry of version 1 and a drive error entry of version 2,
    // their texts holding control characters: each log is XML a parser reads.
    struct Row {
        int type;
        const char* expected;
    } rows[] = {
        {5, " vendorID=\"V?ND\" rtcSeconds"},
        {5, " serialNumber=\"S?R?\" productID=\"P?\""},
        {0, " vendorID=\"V?ND\" serialNumber=\"S?R?X\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        if (row.type == 5) {
            Bytes e(56);
            e.text(8, std::string("S\x01R\x1F", 4)).text(36, std::string("V\x02ND", 4)).text(44, "P\x03");
            scriptDeadLog(1, {e}, 1);
        } else {
            Bytes e;
            e.text(16, std::string("S\x01R\tX", 5)).text(44, std::string("V\x1FND", 4)).text(52, "P\x03");
            scriptErrorTable(2, 60, {e}, 1);
        }
        const std::string text = request(row.type);
        EXPECT_NE(text.find(row.expected), std::string::npos) << text;
        for (char c : text)
            EXPECT_TRUE(c == '\n' || c < 0 || c >= 0x20) << static_cast<int>(c);
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(text.c_str())) << text;
    }
}

// ---- drive error tables ----

TEST_F(VynLogsTest, ATableCountBeyondItsSizeIsCut)
{
    Bytes e;
    e.text(44, "VEND").text(16, "SER");
    scriptErrorTable(2, 60, {e, e}, 5, 1);
    const std::string text = request(0);
    EXPECT_EQ(occurrences(text, "<driveErrorEntry"), 2u);
    EXPECT_EQ(maskTime(text.substr(0, text.find('\n') + 1)),
              "<ControllerLog controllerID=\"0\" type=\"0\" time=\"T\" version=\"2\" tableFull=\"true\">\n");
}

TEST_F(VynLogsTest, NewerTableEntriesByVersion)
{
    Bytes v1;
    v1.u32(0, 0x03000005).u8(5, 6).u8(6, 1).u8(7, 9).u16(8, 10).u16(10, 11).u16(12, 12).u16(14, 13);
    Bytes v2;
    v2.u8(1, 9).u16(2, 13).u16(4, 10).u16(6, 11).u16(8, 12).u16(10, 1).u8(12, 2).u8(13, 1).u16(14, 7);
    v2.text(16, "   SER2").text(36, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    v2.text(44, " A\"B<C&").text(52, "PRODUCT");
    struct Row {
        uint16_t version;
        uint16_t entryBytes;
        Bytes entry;
        std::string line;
    };
    const std::string v2Line = "    <driveErrorEntry smartError=\"true\" vendorID=\"A&quot;B&lt;C&amp;\" serialNumber=\"SER2\""
                               " wwn=\"0102030405060708\"";
    const std::string v2Tail = " productID=\"PRODUCT\" numParityErrors=\"10\" linkFailures=\"11\" hwErrors=\"9\""
                               " abortedCmds=\"12\" mediumErrors=\"13\" smartWarning=\"2\" />\n";
    const std::vector<Row> rows = {
        {1, 16, v1,
         "    <driveErrorEntry adapterID=\"0\" channelID=\"3\" deviceID=\"5\" slotNum=\"6\" enclIndex=\"1\""
         " numParityErrors=\"10\" linkFailures=\"11\" hwErrors=\"9\" abortedCmds=\"12\" mediumErrors=\"13\"/>\n"},
        {2, 60, v2, v2Line + v2Tail},
        {3, 60, v2, v2Line + " deviceID=\"65543\"" + v2Tail},
    };
    setOptionWord2(1u << 21);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        freshExports();
        scriptErrorTable(row.version, row.entryBytes, {row.entry}, 1);
        const std::string text = request(0);
        const size_t start = text.find('\n') + 1;
        EXPECT_EQ(text.substr(start), row.line + "</ControllerLog>\n");
    }
}

TEST_F(VynLogsTest, EntriesSmallerThanTheirLayoutEndTheTable)
{
    scriptErrorTable(2, 16, {Bytes(16), Bytes(16)}, 2);
    const std::string text = request(0);
    EXPECT_EQ(occurrences(text, "<driveErrorEntry"), 0u);
    EXPECT_NE(text.find("</ControllerLog>\n"), std::string::npos);

    // A table shorter than its own header has no entries either.
    freshExports();
    fsa->script("FsaGetDriveErrorTableSize", FSA_STS_SUCCESS, words({4}));
    fsa->script("FsaGetDriveErrorTable2", FSA_STS_SUCCESS, Bytes(4).u16(2, 16).data);
    const std::string shortTable = request(0);
    EXPECT_EQ(occurrences(shortTable, "<driveErrorEntry"), 0u);
    EXPECT_NE(shortTable.find(" version=\"0\" tableFull=\"false\">\n</ControllerLog>\n"), std::string::npos)
        << shortTable;
}

TEST_F(VynLogsTest, OlderTableAddressesDecodeByTheOptionBit)
{
    struct Row {
        uint32_t option;
        uint32_t address;
    };
    for (const Row& row : {Row{0, 0x185}, Row{1u << 21, 0x03000005}}) {
        SCOPED_TRACE(row.address);
        setOptionWord2(row.option);
        freshExports();
        fsa->script("FsaGetDriveErrorTableSize", 31);
        Bytes table;
        table.u32(0, 1).u32(4, row.address).u8(8, 1).u8(9, 2).u8(10, 3).u8(11, 4).u8(12, 5);
        fsa->script("FsaGetDriveErrorTable", FSA_STS_SUCCESS, table.data);
        EXPECT_EQ(maskTime(request(0)),
                  "<ControllerLog controllerID=\"0\" type=\"0\" time=\"T\">\n"
                  "    <driveErrorEntry adapterID=\"0\" channelID=\"3\" deviceID=\"5\" numParityErrors=\"1\""
                  " linkFailures=\"2\" hwErrors=\"3\"/>\n"
                  "</ControllerLog>\n");
        EXPECT_EQ(fsa->arguments("FsaGetDriveErrorTable"), (std::vector<std::vector<uint64_t>>{{341}}));
    }
}

TEST_F(VynLogsTest, TheOlderTablesReturnedCountIsBoundByItsBuffer)
{
    fsa->script("FsaGetDriveErrorTableSize", FSA_STS_SUCCESS, words({0}));
    fsa->script("FsaGetDriveErrorTable", FSA_STS_SUCCESS, words({1000}));
    EXPECT_EQ(occurrences(request(0, 1 << 20), "<driveErrorEntry"), 341u);
}

// ---- over the simulated controller ----

class VynLogsSimulatorTest : public vyntest::FamilyTest {};

TEST_F(VynLogsSimulatorTest, EachRecordGenerationOfTheSimulatedLogs)
{
    struct Row {
        const char* description;
        int type;
        const char* version;  // the element's version attribute, "" for none
        const char* entry;
        bool deviceID;  // whether entries carry a deviceID
    };
    const std::vector<Row> rows = {
        {"adapter0.dead_drive_version = 0\nadapter0.dead_drive_entries = 3\n", 5, " version=\"0\"",
         "<deadDriveEntry", true},
        {"adapter0.dead_drive_version = 1\nadapter0.dead_drive_entries = 3\n", 5, " version=\"1\"",
         "<deadDriveEntry", false},
        {"adapter0.drive_error_version = 0\nadapter0.drive_error_entries = 3\n", 0, "", "<driveErrorEntry", true},
        {"adapter0.drive_error_version = 1\nadapter0.drive_error_entries = 3\n", 0, " version=\"1\"",
         "<driveErrorEntry", true},
        {"adapter0.drive_error_version = 2\nadapter0.drive_error_entries = 3\n", 0, " version=\"2\"",
         "<driveErrorEntry", false},
        {"adapter0.drive_error_version = 3\nadapter0.drive_error_entries = 3\n", 0, " version=\"3\"",
         "<driveErrorEntry", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.description);
        startController(row.description);
        auto adapter = openController();
        std::vector<char> buffer(65536);
        unsigned long size = buffer.size();
        ASSERT_EQ(adapter->getControllerLog(logType(row.type), buffer.data(), size, 0).getReturn(), 0);
        const std::string text(buffer.data(), size);
        const std::string first = text.substr(0, text.find('\n'));
        EXPECT_EQ(first.find(" type=\"" + std::to_string(row.type) + "\""), first.find(" type=\""));
        if (*row.version != '\0') {
            EXPECT_NE(first.find(row.version), std::string::npos) << first;
        } else {
            EXPECT_EQ(first.find(" version="), std::string::npos) << first;
        }
        EXPECT_EQ(occurrences(text, row.entry), 3u) << text;
        EXPECT_EQ(occurrences(text, " deviceID=\"") == 3, row.deviceID) << text;
        // The simulated drives are named on bus 0 from target 1 on.
        if (row.deviceID) {
            EXPECT_NE(text.find(" deviceID=\"3\""), std::string::npos) << text;
        }

        // Clearing empties the log.
        ASSERT_EQ(adapter->clearControllerLog(logType(row.type)).getReturn(), 0);
        size = buffer.size();
        ASSERT_EQ(adapter->getControllerLog(logType(row.type), buffer.data(), size, 0).getReturn(), 0);
        EXPECT_EQ(occurrences(std::string(buffer.data(), size), row.entry), 0u);
        adapter.reset();
    }
}

TEST_F(VynLogsSimulatorTest, TheSimulatedLogsWithAwkwardTextsAreXmlAParserReads)
{
    // Console text with "]]>", a controller serial number with a 0x01 byte.
    startController("adapter0.log.history = boot ok\\nmap a[b[1]]> 2\\nlater line\\nlast line\\n\n"
                    "adapter0.serial = 0x30015356,0x32343030\n"
                    "adapter0.drive_error_entries = 2\n");
    auto adapter = openController();
    ASSERT_EQ(adapter->setStatisticDataCollectionMode(true).getReturn(), 0);
    adapter.reset();
    adapter = openController();
    for (int type : {7, 0, 9}) {
        SCOPED_TRACE(type);
        std::vector<char> buffer(1 << 20);
        unsigned long size = buffer.size();
        ASSERT_EQ(adapter->getControllerLog(logType(type), buffer.data(), size, 0).getReturn(), 0);
        const std::string text(buffer.data(), size);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(text.c_str())) << text;
        const pugi::xml_node log = doc.child("ControllerLog");
        if (type == 7) {
            const std::string console = log.child_value();
            for (const char* line : {"boot ok\n", "map a[b[1]]", "later line\n", "last line\n"})
                EXPECT_NE(console.find(line), std::string::npos) << line << "\n" << console;
        }
        if (type == 9) {
            EXPECT_EQ(std::string(log.attribute("serialNumber").value()).find('\x01'), std::string::npos);
        }
    }
}

TEST_F(VynLogsSimulatorTest, TheStoredEventsOfTheSimulatedControllerAndTheirReset)
{
    startController("adapter0.nvlog_entries = 4\n");
    auto adapter = openController();
    std::vector<char> buffer(65536);
    unsigned long size = buffer.size();
    ASSERT_EQ(adapter->getControllerLog(logType(6), buffer.data(), size, 0).getReturn(), 0);
    const std::string text(buffer.data(), size);
    EXPECT_EQ(occurrences(text, "    \t<event Date=\"17040"), 4u) << text;
    EXPECT_NE(text.find("Date=\"1704067380\""), std::string::npos) << text;

    ASSERT_EQ(adapter->clearControllerLog(logType(6)).getReturn(), 0);
    EXPECT_EQ(sim().controller(0).nvlogEntries, 0u);
}

}  // namespace
