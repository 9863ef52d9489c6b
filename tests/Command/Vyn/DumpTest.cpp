// Size strings, trace names, the diagnostic dump's selectors and its tables.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_status.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

TEST(SizeStringTest, UnitsAndWidths)
{
    struct Case {
        int blocks;
        const char* text;
    };
    for (const Case& c : {Case{2048, "1024KB"}, Case{3000, " 1.5MB"}, Case{4194304, "   2GB"}, Case{2, "   1KB"},
                          Case{4096, "   2MB"}, Case{3145728 * 2 + 2048 * 512, " 3.5GB"}})
        EXPECT_STREQ(SizeString(c.blocks), c.text) << c.blocks;
    EXPECT_STREQ(SizeString64(3000), "     1.5MB");
    EXPECT_STREQ(SizeString64(8ull << 30), "    4096GB");
}

TEST(TraceNamesTest, Tables)
{
    EXPECT_STREQ(fauxAscii_FSA_FIBCommand(106), "unknown FIB_COMMAND");
    EXPECT_STREQ(fauxAscii_FSA_FIBCommand(704), "IsAdapterPaused");
    EXPECT_STREQ(fauxAscii_FSA_Access(6), "FSA_ACC_UTILITY");
    EXPECT_STREQ(fauxAscii_FSA_Access(10), "unknown");
    EXPECT_STREQ(fauxAscii_FSA_Avail(3), "FSA_AVL_READ_WRITE");
    EXPECT_STREQ(fauxAscii_FSA_FIBStructType(4), "unknown STRUCT_TYPES");
    _FIB fib = {};
    fib.Header.StructType = 1;
    fib.Header.Command = 500;
    fib.Header.Size = 464;
    faPutLe32(fib.data + 4, 5);
    EXPECT_STREQ(fauxAscii_FSA_TFibCommand(&fib), "[unknown CTCOMMAND:5]");
    faPutLe32(fib.data + 4, 165);
    EXPECT_STREQ(fauxAscii_FSA_TFibCommand(&fib), "CID_TO_32BITS_UID");
    faPutLe32(fib.data + 4, 259);
    EXPECT_STREQ(fauxAscii_FSA_TFibCommand(&fib), "[unknown CTCOMMAND:259]");
    fib.Header.Size = 12;
    faPutLe32(fib.data, 1);
    EXPECT_STREQ(fauxAscii_FSA_TFibCommand(&fib), "VM_NameServe");
    fib.Header.Size = 20;
    EXPECT_STREQ(fauxAscii_FSA_TFibCommand(&fib), "[unknown TFib, Header.Size:20]");
    fib.Header.Command = 501;
    EXPECT_STREQ(fauxAscii_FSA_TFibCommand(&fib), "");
}

struct Collected {
    uint32_t length = 0;  // the first word of arg, as the dump sets it
    std::vector<std::string> lines;
    std::vector<uint32_t> lengths;
};

void collect(const char* text, void* arg)
{
    Collected* c = static_cast<Collected*>(arg);
    c->lines.push_back(text);
    c->lengths.push_back(c->length);
}

class DumpTest : public vyntest::OpenSessionTest {};

TEST_F(DumpTest, Selectors)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    unsigned flags = 0;
    Collected out;
    EXPECT_EQ(FsaDiagnostic(h, 4, &flags, collect, &out), 92u);
    EXPECT_EQ(FsaDiagnostic(h, 1, &flags, collect, &out), 92u);
    EXPECT_EQ(FsaDiagnostic(h, 7, &flags, collect, &out), 92u);
    EXPECT_EQ(FsaDiagnostic(h, 2, &flags, collect, &out), FSA_STS_SUCCESS);
    void* ro = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(FsaDiagnostic(ro, 2, &flags, collect, &out), FSA_STS_NOT_OPEN_READ_WRITE);
    EXPECT_EQ(FsaDiagnostic(ro, 3, &flags, collect, &out), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).reconfigs, 2u);
    EXPECT_EQ(FsaDiagnostic(ro, 5, &flags, collect, &out), FSA_STS_SUCCESS);
    ASSERT_GE(out.lines.size(), 2u);
    EXPECT_EQ(out.lines[0], "\n\nBattery Information");
}

TEST_F(DumpTest, MonitorArchiveArrivesLineByLine)
{
    vyntest::writeFile(hostFile("/var/log/fsaapi.txt"), "");
    void* h = start("adapter0.log.archive = first line\\nsecond line is longer\\nlast\\n\n"
                    "adapter0.log.archive_chunk = 16\n");
    ASSERT_NE(h, nullptr);
    unsigned flags = 0x8;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 6, &flags, collect, &out), FSA_STS_SUCCESS);
    const std::vector<std::string> expected = {"first line\n", "second line is longer\n", "last\n"};
    EXPECT_EQ(out.lines, expected);
    EXPECT_EQ(out.lengths, (std::vector<uint32_t>{11, 22, 5}));
    // Each piece of an entry is traced as it is carried or completed.
    const std::string log = vyntest::readFile(hostFile("/var/log/fsaapi.txt"));
    size_t at = 0;
    for (const char* piece : {" Newline:first line\n", " Partial:secon\n", " Partial:second line is longer\n",
                              " Partial/Newline:second line is longer\n", " Newline:last\n"}) {
        const size_t found = log.find(piece, at);
        ASSERT_NE(found, std::string::npos) << piece << "\n" << log;
        at = found + 1;
    }
    // The method is traced on a line of its own, with no empty line after it.
    const size_t method = log.find("obfuscationMethod:");
    ASSERT_NE(method, std::string::npos) << log;
    const size_t end = log.find('\n', method);
    ASSERT_NE(end, std::string::npos);
    EXPECT_NE(log[end + 1], '\n') << log;
    // Without flag bit 3 nothing is read.
    out = Collected();
    flags = 0;
    sim().clearRequests();
    ASSERT_EQ(FsaDiagnostic(h, 6, &flags, collect, &out), FSA_STS_SUCCESS);
    EXPECT_TRUE(out.lines.empty());
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(DumpTest, HistoryBufferAndBattery)
{
    void* h = start("adapter0.log.history = boot done\\nready\\n\n");
    ASSERT_NE(h, nullptr);
    unsigned flags = 0x18;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    ASSERT_GE(out.lines.size(), 6u);
    EXPECT_EQ(out.lines[0], "\n\nBattery Information");
    // The banner and its three notes on the time stamps, then the text.
    EXPECT_EQ(out.lines[out.lines.size() - 5], " ***      HISTORY BUFFER FROM CONTROLLER     ***\n");
    EXPECT_EQ(out.lines.back(), "boot done\nready\n");
    // The partition table reads the container cache.
    flags = 0x1;
    out = Collected();
    EXPECT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    ASSERT_FALSE(out.lines.empty());
    EXPECT_EQ(out.lines[0], "Partitions:0\n");
}

TEST_F(DumpTest, AnnouncedLogSizesAreCapped)
{
    void* h = start("adapter0.log.archive = one\\n\n");
    ASSERT_NE(h, nullptr);
    // A size word far beyond the text: reading stops where the text ends.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 231", "poke = 12:4=0xFFFFFFF0"}));
    unsigned flags = 0x8;
    Collected out;
    EXPECT_EQ(FsaDiagnostic(h, 6, &flags, collect, &out), 168u);
    EXPECT_TRUE(out.lines.empty());
}

TEST(TraceNamesTest, UsageModeAndTime)
{
    struct Usage {
        int code;
        const char* name;
    };
    for (const Usage& u : {Usage{0, "FSA_CU_NONE"}, Usage{6, "FSA_CU_SNAPSHOT_DEAD"}, Usage{12, "FSA_CU_UX_VALID"},
                           Usage{15, "unknown"}, Usage{16, "FSA_CU_UX_UNMAPPED"}, Usage{17, "FSA_CU_UX_UNKNOWN"},
                           Usage{18, "unknown"}, Usage{-1, "unknown"}})
        EXPECT_STREQ(fauxAscii_FSA_Usage(u.code), u.name) << u.code;
    struct Mode {
        unsigned long mode;
        const char* text;
    };
    for (const Mode& m : {Mode{S_IFDIR | 0755, " 0x000041ed -----drwx"}, Mode{S_IFREG | 0644, " 0x000081a4 ------rw-"},
                          Mode{S_IFCHR | S_ISUID | 0600, " 0x00002980 -c-u--rw-"},
                          Mode{S_IFLNK | S_ISVTX | S_ISGID | 0777, " 0x0000a7ff t-g-l-rwx"}})
        EXPECT_STREQ(fauxAscii_OS_mode(m.mode), m.text) << m.mode;
    EXPECT_STREQ(fauxAscii_OS_time_t(0), "1970-01-01 00:00:00");
    EXPECT_STREQ(fauxAscii_OS_time_t(1704067200 + 3661), "2024-01-01 01:01:01");
    EXPECT_STREQ(fauxAscii_OS_dki_ctype(3), "unknown");
}

// The battery text: each value behind its label, in the fixed order.
std::vector<std::string> batteryValues(const Collected& out)
{
    std::vector<std::string> values;
    for (size_t i = 2; i < out.lines.size(); ++i) {
        const size_t colon = out.lines[i].find(": ");
        values.push_back(colon == std::string::npos ? out.lines[i] : out.lines[i].substr(colon + 2));
        while (!values.back().empty() && values.back()[0] == ' ')
            values.back().erase(0, 1);
    }
    return values;
}

TEST_F(DumpTest, BatteryText)
{
    struct Case {
        const char* description;
        const char* faultOn;  // null: none
        const char* effect;
        std::vector<std::string> values;
    };
    const std::vector<Case> cases = {
        // The full page with every value: W bits 0 to 11.
        {"adapter0.battery_valid = 0xFFF\n", nullptr, nullptr,
         {"21334", "1200 mAh", "100 mAh", "1250 mAh", "4200 mV", "30 mA", "1", "3.5 K", "0x48", "0xe10"}},
        // A discharge is shown signed.
        {"adapter0.battery_valid = 0x81\n", "class3 0x700000", "poke = 24:2=0xFFEC",
         {"21334", "Unknown", "Unknown", "Unknown", "Unknown", "-20 mA", "1", "Unknown", "Unknown", "Unknown"}},
        // Without a serial: the ROMB servers say so, others do not know.
        {"adapter0.oem_id = 9\n", "class3 0x80000", "status = 5",
         {"Not Available", "1200 mAh", "100 mAh", "1250 mAh", "Unknown", "30 mA", "1", "3.5 K", "0x48", "0xe10"}},
        {"adapter0.battery = none\n", nullptr, nullptr,
         {"Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "Unknown",
          "Unknown"}},
        // The six-word page of the OEM model 18 with option word 1 bit 9.
        {"adapter0.oem_id = 18\nadapter0.option_word1 = 0x000D0A20\n", nullptr, nullptr,
         {"NONE", "1250 mAh", "1200 mAh", "1000 mAh", "4100 mV", "-20 mA", "NONE", "35 C", "NONE", "NONE"}},
        {"adapter0.oem_id = 18\nadapter0.option_word1 = 0x000D0A20\n", "class3 0x500000", "status = 5",
         {"NONE", "Unknown", "Unknown", "Unknown", "Unknown", "Unknown", "NONE", "Unknown", "NONE", "NONE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        void* h = start(c.description);
        ASSERT_NE(h, nullptr);
        if (c.faultOn != nullptr) {
            ASSERT_TRUE(sim().addFault(0, Fault{c.faultOn, c.effect, 0, 0}));
        }
        Collected out;
        ASSERT_EQ(FsaDiagnostic(h, 5, nullptr, collect, &out), FSA_STS_SUCCESS);
        ASSERT_EQ(out.lines.size(), 12u);
        EXPECT_EQ(out.lines[1], "\n-------------------");
        EXPECT_EQ(out.lines[2].rfind("\nBattery Serial Number:     ", 0), 0u);
        EXPECT_EQ(out.lines[11].rfind("\nNext recondition date:     ", 0), 0u);
        EXPECT_EQ(batteryValues(out), c.values);
        EXPECT_EQ(FsaCloseAdapter(h), FSA_STS_SUCCESS);
    }
}

TEST_F(DumpTest, ALongHistoryArrivesWholeInPieces)
{
    std::string escaped, text;
    for (int i = 0; i < 100; ++i) {
        const std::string line = "line " + std::to_string(i) + " of the controller's history";
        escaped += line + "\\n";
        text += line + "\n";
    }
    void* h = start("adapter0.log.history = " + escaped + "\n");
    ASSERT_NE(h, nullptr);
    unsigned flags = 0x8;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    ASSERT_GT(out.lines.size(), 6u);
    std::string got;
    for (size_t i = 4; i < out.lines.size(); ++i) {
        EXPECT_LT(out.lines[i].size(), 1024u);
        EXPECT_EQ(out.lines[i].back(), '\n');
        got += out.lines[i];
    }
    EXPECT_EQ(got, text);
}

// A controller without the newer log keeps the older one, read line by line
// whatever the flags.
constexpr const char* kOlderLog = "adapter0.option_word1 = 0x000C0820\n"
                                  "adapter0.log.history = alpha\\nbeta\\ngamma\\n\n"
                                  "adapter0.log.history_start = 1\n";

TEST_F(DumpTest, OlderHistoryLogIsSplitAtTheCurrentRun)
{
    void* h = start(kOlderLog);
    ASSERT_NE(h, nullptr);
    unsigned flags = 0;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    const std::vector<std::string> expected = {"\n\n *** HISTORY BUFFER FROM LAST RUN ***\n\n", "[00]: alpha\n",
                                               "\n\n *** HISTORY BUFFER FROM CURRENT CONTROLLER RUN ***\n\n",
                                               "[01]: beta\n", "[02]: gamma\n"};
    EXPECT_EQ(out.lines, expected);
    EXPECT_EQ(CT_LogLines(), 3u);
    EXPECT_EQ(CT_LogStartLine(), 1u);
    EXPECT_EQ(sent(500, 57), 3u);
    // Past the last line: 168.
    char entry[101];
    FSA_STATUS thrown = FSA_STS_SUCCESS;
    try {
        CT_GetNvLogEntry(context(h), 3, 0, entry);
    } catch (FSA_STATUS status) {
        thrown = status;
    }
    EXPECT_EQ(thrown, 168u);
}

TEST_F(DumpTest, OlderHistoryLogWithoutItsSizeQuery)
{
    const std::string longLine(70, 'x');
    void* h = start(std::string(kOlderLog) + "adapter0.oem_id = 8\n");
    ASSERT_NE(h, nullptr);
    unsigned flags = 0;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    sim().controller(0).historyText = "first\n" + longLine + "\n";
    // A legacy server's controller that refuses the size query: the count of
    // the last answer (3) stands; reading past the log's end closes the section.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 189", "transport = 1", 0, 0}));
    out = Collected();
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    const std::vector<std::string> expected = {"\n\n *** HISTORY BUFFER FROM LAST RUN ***\n\n", "[00]: first\n",
                                               "\n\n *** HISTORY BUFFER FROM CURRENT CONTROLLER RUN ***\n\n",
                                               "[01]: " + longLine.substr(0, 61) + "\n"};
    EXPECT_EQ(out.lines, expected);
    // Elsewhere the failed size query is passed on.
    sim().controller(0).oemId = 0;
    context(h)->oemId = 0;
    EXPECT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), 37u);
}


TEST_F(DumpTest, ASizeQueryOfNoLinesLeavesNoLines)
{
    void* h = start(kOlderLog);
    ASSERT_NE(h, nullptr);
    CT_GetLogSize(context(h));
    ASSERT_EQ(CT_LogLines(), 3u);
    // The controller's log was cleared: the count of 0 replaces the last one.
    sim().controller(0).historyText.clear();
    sim().controller(0).historyStart = 0;
    CT_GetLogSize(context(h));
    EXPECT_EQ(CT_LogLines(), 0u);
    EXPECT_EQ(CT_LogStartLine(), 0u);
    unsigned flags = 0;
    Collected out;
    sim().clearRequests();
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    EXPECT_EQ(sent(500, 57), 0u);
}


// Two 1G drives in a 256M mirror (number 0), two in a 128M stripe (number 2)
// and a snapshot (number 1) over the stripe.
constexpr const char* kTables = "adapter0.drive0 = 0:0 sas 1G\nadapter0.drive1 = 0:1 sas 1G\n"
                                "adapter0.drive2 = 0:2 sas 1G\nadapter0.drive3 = 0:3 sas 1G\n"
                                "adapter0.ld0 = raid1 0:0,0:1 size=256M\nadapter0.ld2 = raid0 0:2,0:3 size=128M\n"
                                "adapter0.ld1 = snapshot 2\n";

std::string ruler(const std::string& over) { return std::string(over.size() - 1, '-') + "\n"; }

// The dump's texts joined into lines.
std::vector<std::string> joinedLines(const Collected& out)
{
    std::vector<std::string> lines(1);
    for (const std::string& text : out.lines) {
        for (char ch : text) {
            lines.back() += ch;
            if (ch == '\n')
                lines.emplace_back();
        }
    }
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}

TEST_F(DumpTest, PartitionTable)
{
    void* h = start(kTables);
    ASSERT_NE(h, nullptr);
    unsigned flags = 0x1;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    const std::vector<std::string> lines = joinedLines(out);
    const std::string title1 = "Par                Starting                   Sector  Num Flags Cnt Cnt Ent Drv Par Age "
                               "Ty Of R/W Orp Dirty Loc Date     Time     Serial Number       BN   A\n";
    const std::string title2 = "Par                  Sector                    Count  Num Flags Cnt Cnt Ent Drv Par Age "
                               "Ty Of R/W Orp Dirty Loc Date     Time     Serial Number       BN   A\n";
    // Each partition is followed by the free space after it on its drive.
    const std::vector<std::string> expected = {
        "Partitions:4\n",
        title1,
        title2,
        ruler(title2),
        " 1                      128                   524288   0   M-:C   2  0   0   0   0    1  1  0 00   no    no "
        "yes  1/ 1/24  0: 0: 0 3031-5356-0000-0000 0001 0\n",
        "NA                   524416                  1570688   0 (Free Space)\n",
        " 2                      128                   524288   0   M-:C   2  0   1   1   0    1  1  0 00   no    no "
        "yes  1/ 1/24  0: 0: 0 3031-5356-0000-0000 0001 0\n",
        "NA                   524416                  1570688   1 (Free Space)\n",
        " 3                      128                   131072   2   S-:C   2  0   0   2   0    1  1  0 00   no    no "
        "yes  1/ 1/24  0: 0: 0 3031-5356-0000-0002 0001 0\n",
        "NA                   131200                  1963904   2 (Free Space)\n",
        " 4                      128                   131072   2   S-:C   2  0   1   3   0    1  1  0 00   no    no "
        "yes  1/ 1/24  0: 0: 0 3031-5356-0000-0002 0001 0\n",
        "NA                   131200                  1963904   3 (Free Space)\n",
    };
    EXPECT_EQ(lines, expected);
    // The titles and the rows line up: each start and count ends under its title.
    EXPECT_EQ(title2.find("Count") + 5, expected[4].find("524288") + 6);
    EXPECT_EQ(title2.find("Serial Number"), expected[4].find("3031"));
}

TEST_F(DumpTest, ContainerTable)
{
    void* h = start(kTables);
    ASSERT_NE(h, nullptr);
    unsigned flags = 0x2;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    const std::vector<std::string> lines = joinedLines(out);
    const std::string title1 = "               TOTAL        FSA              CHUNK  SCSI       PARTI                  "
                               "                                      MEMBER            USER\n";
    const std::string title2 = "CONTR TYPE     SIZE   PROT  LOCK SIZE        SIZE  B:T:L SLICE TION  DATE     TIME     "
                               "SERIAL NUMBER       BN   A             SIZE     R5     FLAG\n";
    const std::string under(37, ' ');
    const std::vector<std::string> expected = {
        title1,
        title2,
        ruler(title2),
        // The mirror: its first member closes the container's line.
        " 0   MIRROR   512MB  NO     RW  256MB              0:0:0     0    1   1/ 1/24  0: 0: 0 3031-5356-0000-0000 "
        "0001 0            256MB      0     00000000\n",
        under + "              0:1:0     1    2   1/ 1/24  0: 0: 0 3031-5356-0000-0000 0001 0            256MB      0     "
                "\n",
        "1       SSRW     0KB       NO   RW       SNAPSHOT(rw:2 ro:0 original:0)\n",
        // The stripe's chunk, 512 blocks, overflows its four columns.
        " 2   STRIPE   128MB  NO     RW  128MB        256KB  0:2:0     2    3   1/ 1/24  0: 0: 0 3031-5356-0000-0002 "
        "0001 0             64MB      0     00000000\n",
        under + "        256KB  0:3:0     3    4   1/ 1/24  0: 0: 0 3031-5356-0000-0002 0001 0             64MB      0     "
                "\n",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(title2.find("B:T:L"), expected[3].find("0:0:0"));
    EXPECT_EQ(title2.find("SERIAL"), expected[3].find("3031"));
}

TEST_F(DumpTest, ContainerFlagsAndLargeSizes)
{
    // A read-only, locked container waiting for companions: in brackets.
    void* h = start(kTables);
    ASSERT_NE(h, nullptr);
    // The record's flags word arrives in the first packet of its transfer;
    // the cache, read first, is read already.
    ASSERT_EQ(CT_UpdateCache(context(h)), FSA_STS_SUCCESS);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "poke = 44:4=0x90000080", 0, 1}));
    unsigned flags = 0x2;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    std::vector<std::string> lines = joinedLines(out);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(lines[3].substr(0, 37), "[0 ] MIRROR   512MB  YES    RO  256MB");
    EXPECT_NE(lines[3].find(" 90000080\n"), std::string::npos) << lines[3];

    // A member whose table entry cannot be read is left out.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "poke = 56:4=300", 0, 1}));
    out = Collected();
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    lines = joinedLines(out);
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[3].substr(0, 37), " 0   MIRROR   256MB  NO     RW  256MB");
    EXPECT_EQ(lines[4].substr(0, 12), "1       SSRW");
    EXPECT_EQ(FsaCloseAdapter(h), FSA_STS_SUCCESS);

    // Sizes of a terabyte and more keep their value.
    h = start("adapter0.drive0 = 0:0 sas 3T\nadapter0.drive1 = 0:1 sas 3T\nadapter0.ld0 = raid0 0:0,0:1 size=4T\n");
    ASSERT_NE(h, nullptr);
    out = Collected();
    ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
    lines = joinedLines(out);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(lines[3].substr(0, 37), " 0   STRIPE  4096GB  NO     RW 4096GB");
    EXPECT_NE(lines[3].find("    2048GB"), std::string::npos) << lines[3];
}

TEST_F(DumpTest, ContainerTypeNames)
{
    struct Case {
        const char* description;
        uint32_t status;  // the container status that reports the type
        const char* start;
    };
    constexpr const char* kMirror = "adapter0.drive0 = 0:0 sas 1G\nadapter0.drive1 = 0:1 sas 1G\n"
                                    "adapter0.ld0 = raid1 0:0,0:1 size=256M\n";
    // A RAID-10: its top container is made of the two mirrors.
    constexpr const char* kTwoLevel = "adapter0.drive0 = 0:0 sas 1G\nadapter0.drive1 = 0:1 sas 1G\n"
                                      "adapter0.drive2 = 0:2 sas 1G\nadapter0.drive3 = 0:3 sas 1G\n"
                                      "adapter0.ld0 = raid10 0:0,0:1,0:2,0:3\n";
    const std::vector<Case> cases = {
        {kMirror, 0, " 0   NONE     512MB"},      {kMirror, 1, " 0   VOLUME   512MB"},
        {kMirror, 2, " 0   MIRROR   512MB"},      {kMirror, 3, " 0   STRIPE   512MB"},
        {kMirror, 4, " 0   RAID5    512MB"},      {kMirror, 7, " 0   ???      512MB"},
        {kMirror, 8, " 0   PASSTHRU  512MB"},     {kMirror, 15, " 0   RAID5EE  512MB"},
        {kMirror, 17, " 0   RAID1E   512MB"},     {kMirror, 18, " 0   RAID6    512MB"},
        {kMirror, 19, " 0   ???      512MB"},     {kMirror, 5, "0       SSRW"},
        {kMirror, 6, "0       SSRO"},             {kTwoLevel, 3, "0     STRIPE   2.0GB         NO  RW\n"},
        {kTwoLevel, 2, "0     MIRROR 1022.8MB         NO  RW\n"},
        // Pass-through is a type of a container made of partitions only.
        {kTwoLevel, 8, "0        ???   2.0GB         NO  RW\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        void* h = start(c.description);
        ASSERT_NE(h, nullptr);
        // A long reply carries its container status in result word 2.
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 178", "poke = 16:4=" + std::to_string(c.status), 0, 1}));
        unsigned flags = 0x2;
        Collected out;
        ASSERT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_SUCCESS);
        const std::vector<std::string> lines = joinedLines(out);
        ASSERT_GT(lines.size(), 3u);
        EXPECT_EQ(lines[3].substr(0, std::strlen(c.start)), c.start) << lines[3];
        EXPECT_EQ(FsaCloseAdapter(h), FSA_STS_SUCCESS);
    }
}

TEST_F(DumpTest, FailedCacheRefreshIsPassedOn)
{
    void* h = start(kTables);
    ASSERT_NE(h, nullptr);
    for (unsigned flags : {0x1u, 0x2u}) {
        SCOPED_TRACE(flags);
        CT_InvalidateCache(context(h));
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 11", "transport = 1", 0, 1}));
        Collected out;
        EXPECT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), 37u);
        EXPECT_TRUE(out.lines.empty());
    }
}

}  // namespace
