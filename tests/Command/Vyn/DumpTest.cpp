// Size strings, trace names and the diagnostic dump's selectors.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_status.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

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
    void* h = start("adapter0.log.archive = first line\\nsecond line is longer\\nlast\\n\n"
                    "adapter0.log.archive_chunk = 16\n");
    ASSERT_NE(h, nullptr);
    unsigned flags = 0x8;
    Collected out;
    ASSERT_EQ(FsaDiagnostic(h, 6, &flags, collect, &out), FSA_STS_SUCCESS);
    const std::vector<std::string> expected = {"first line\n", "second line is longer\n", "last\n"};
    EXPECT_EQ(out.lines, expected);
    EXPECT_EQ(out.lengths, (std::vector<uint32_t>{11, 22, 5}));
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
    ASSERT_GE(out.lines.size(), 3u);
    EXPECT_EQ(out.lines[0], "\n\nBattery Information");
    EXPECT_EQ(out.lines[out.lines.size() - 2], " ***      HISTORY BUFFER FROM CONTROLLER     ***\n");
    EXPECT_EQ(out.lines.back(), "boot done\nready\n");
    // The partition table needs the container cache, not read here yet.
    flags = 0x1;
    EXPECT_EQ(FsaDiagnostic(h, 0, &flags, collect, &out), FSA_STS_NOT_SUPPORTED);
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

}  // namespace
