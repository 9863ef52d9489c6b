// Drive error table, dead-drive log and NVRAM event log over the simulator.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_logs.h"
#include "Command/Vyn/common/fa_status.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

class LogsTest : public vyntest::OpenSessionTest {};

TEST_F(LogsTest, CountedReads)
{
    void* h = start("adapter0.drive_error_entries = 25\n");
    ASSERT_NE(h, nullptr);
    uint32_t count = 0;
    std::vector<uint8_t> buffer(400, 0xEE);
    ASSERT_EQ(FsaGetDriveErrorTable(h, &count, buffer.data()), FSA_STS_SUCCESS);
    EXPECT_EQ(count, 25u);
    EXPECT_EQ(buffer[0], 0xEE);
    count = 5;
    ASSERT_EQ(FsaGetDriveErrorTable(h, &count, nullptr), FSA_STS_SUCCESS);
    EXPECT_EQ(count, 25u);
    count = 10;
    ASSERT_EQ(FsaGetDriveErrorTable(h, &count, buffer.data()), FSA_STS_SUCCESS);
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(buffer[12 * 9 + 4], 10);
    EXPECT_EQ(buffer[120], 0xEE);
    EXPECT_EQ(FsaGetDriveErrorTable(h, nullptr, buffer.data()), FSA_STS_BAD_PARAMETER);
    // A failed entry read ends the export with its status; the count stays 0.
    ASSERT_TRUE(sim().addFault(0, Fault{"class21 3", "transport = 1"}));
    count = 10;
    EXPECT_EQ(FsaGetDriveErrorTable(h, &count, buffer.data()), FSA_STS_CT_BAD_STATUS);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(FsaClearDriveErrorTable(h), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().controller(0).driveErrorEntries, 0u);
}

TEST_F(LogsTest, DeadDriveLogVersions)
{
    void* h = start("adapter0.dead_drive_version = 0\nadapter0.dead_drive_entries = 3\n");
    ASSERT_NE(h, nullptr);
    uint32_t header[8] = {};
    std::vector<uint8_t> buffer(144, 0xEE);
    uint32_t size = 100;
    EXPECT_EQ(FsaGetDeadDriveLog2(h, header, buffer.data(), &size), 5u);
    EXPECT_EQ(size, 144u);
    EXPECT_EQ(buffer[0], 0xEE);
    ASSERT_EQ(FsaGetDeadDriveLog2(h, header, buffer.data(), &size), FSA_STS_SUCCESS);
    EXPECT_EQ(header[0], 3u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 1);
    EXPECT_EQ(buffer[48 * 2 + 1], 3);
    size = 0;
    EXPECT_EQ(FsaGetDeadDriveLog2(h, header, nullptr, &size), 5u);
    EXPECT_EQ(size, 144u);
    uint32_t count = 2;
    ASSERT_EQ(FsaGetDeadDriveLog(h, &count, buffer.data()), FSA_STS_SUCCESS);
    EXPECT_EQ(count, 2u);
}

TEST_F(LogsTest, DeadDriveLogOfAnotherVersionReadsNothing)
{
    void* h = start("adapter0.dead_drive_version = 2\nadapter0.dead_drive_entries = 3\n");
    ASSERT_NE(h, nullptr);
    uint32_t header[8] = {};
    std::vector<uint8_t> buffer(64, 0xEE);
    uint32_t size = 64;
    sim().clearRequests();
    EXPECT_EQ(FsaGetDeadDriveLog2(h, header, buffer.data(), &size), FSA_STS_SUCCESS);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(sim().requests().size(), 1u);
}

TEST_F(LogsTest, SecondFormTable)
{
    void* h = start("adapter0.drive_error_entries = 2\n");
    ASSERT_NE(h, nullptr);
    uint32_t size = 99;
    ASSERT_EQ(FsaGetDriveErrorTableSize(h, &size), FSA_STS_SUCCESS);
    EXPECT_EQ(size, 12u + 2 * 60);
    std::vector<uint16_t> table(size / 2);
    EXPECT_EQ(FsaGetDriveErrorTable2(h, size, table.data()), FSA_STS_SUCCESS);
    EXPECT_EQ(table[2], 2u);
    EXPECT_EQ(FsaGetDriveErrorTable2(h, 0, table.data()), FSA_STS_BAD_PARAMETER);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "errno = 5"}));
    size = 99;
    EXPECT_EQ(FsaGetDriveErrorTableSize(h, &size), FSA_STS_UX_IOCTL_FAILED);
    EXPECT_EQ(size, 0u);
}

TEST_F(LogsTest, WithoutTheFeatureEveryLogExportIs31)
{
    void* h = start("adapter0.option_word2 = 0x0EB797CC\n");
    ASSERT_NE(h, nullptr);
    uint32_t count = 1;
    uint8_t buffer[64];
    uint32_t size = 64;
    uint32_t header[8];
    EXPECT_EQ(FsaGetDriveErrorTable(h, &count, buffer), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaGetDeadDriveLog2(h, header, buffer, &size), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaClearDeadDriveLog(h), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaGetNvramEventLog(h, buffer, sizeof buffer), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaResetNvramEventLog(h), FSA_STS_NOT_SUPPORTED);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(LogsTest, NvramEventLog)
{
    void* h = start("adapter0.nvlog_entries = 3\n");
    ASSERT_NE(h, nullptr);
    std::vector<uint8_t> buffer(86016, 0xEE);
    ASSERT_EQ(FsaGetNvramEventLog(h, buffer.data(), static_cast<uint32_t>(buffer.size())), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(buffer.data()), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        const uint8_t* item = buffer.data() + 4 + 336 * i;
        EXPECT_EQ(faGetLe32(item), 1704067200u + 60 * i);
        // Container change (notification 4) of container i.
        EXPECT_EQ(faGetLe32(item + 4), 32u);
        EXPECT_EQ(faGetLe32(item + 12), i);
        EXPECT_EQ(faGetLe32(item + 20), 0x30315356u);
    }
    EXPECT_EQ(buffer[4 + 3 * 336], 0xEE);
    // Room for fewer packets than the log needs.
    EXPECT_EQ(FsaGetNvramEventLog(h, buffer.data(), 300), 5u);

    ASSERT_EQ(FsaResetNvramEventLog(h), FSA_STS_SUCCESS);
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    ASSERT_EQ(FsaGetNvramEventLog(h, buffer.data(), 8), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(buffer.data()), 0u);
    EXPECT_EQ(buffer[4], 0xEE);
}

TEST_F(LogsTest, TheNvramResetTracesOneLineEach)
{
    vyntest::writeFile(hostFile("/var/log/fsaapi.txt"), "");
    void* h = start("adapter0.nvlog_entries = 1\n");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(FsaResetNvramEventLog(h), FSA_STS_SUCCESS);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 901", "errno = 5"}));
    EXPECT_NE(FsaResetNvramEventLog(h), FSA_STS_SUCCESS);
    const std::string log = vyntest::readFile(hostFile("/var/log/fsaapi.txt"));
    for (const char* text : {"FsaResetNvramEventLog: <> return FSA_STS_SUCCESS\n", "FsaResetNvramEventLog: <> catch\n"}) {
        SCOPED_TRACE(text);
        const size_t at = log.find(text);
        ASSERT_NE(at, std::string::npos) << log;
        // The trace ends each line itself: no empty line follows.
        const size_t next = at + std::strlen(text);
        EXPECT_TRUE(next == log.size() || log[next] != '\n') << log;
    }
}

TEST_F(LogsTest, NvramReplyStatuses)
{
    void* h = start("adapter0.nvlog_entries = 1\n");
    ASSERT_NE(h, nullptr);
    uint8_t buffer[1024];
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 900", "poke = 8:4=200"}));
    EXPECT_EQ(FsaGetNvramEventLog(h, buffer, sizeof buffer), FSA_STS_CT_BAD_RESPONSE);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 900", "status = 3"}));
    EXPECT_EQ(FsaGetNvramEventLog(h, buffer, sizeof buffer), FSA_STS_CT_BAD_STATUS);
}

TEST_F(LogsTest, ACountByteClaimingMoreThanArrivedConvertsOnlyWhatArrived)
{
    void* h = start("adapter0.nvlog_entries = 2\n");
    ASSERT_NE(h, nullptr);
    // The first packet's data (payload byte 32) starts with the count byte.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "poke = 32:1=200"}));
    std::vector<uint8_t> buffer(4 + 2 * 336 + 16, 0xEE);
    ASSERT_EQ(FsaGetNvramEventLog(h, buffer.data(), static_cast<uint32_t>(buffer.size())), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(buffer.data()), 2u);
    bool poked = false;
    for (const Request& r : sim().requests())
        poked = poked || (r.ct == 83 && r.fault >= 0);
    EXPECT_TRUE(poked);
    for (size_t i = 4 + 2 * 336; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], 0xEE) << i;
}

// The drive logs name the described drives in turn, drive I in slot I.
TEST_F(LogsTest, DriveLogEntriesNameTheDescribedDrives)
{
    const std::string drives = "adapter0.bus0 = sas 16\nadapter0.bus1 = sas 16\n"
                               "adapter0.drive0 = 0:2 sas 146G\nadapter0.drive1 = 1:5 sas 146G\n";
    void* h = start(drives + "adapter0.dead_drive_version = 0\nadapter0.dead_drive_entries = 2\n"
                             "adapter0.drive_error_version = 1\nadapter0.drive_error_entries = 2\n");
    ASSERT_NE(h, nullptr);
    uint32_t header[8] = {};
    std::vector<uint8_t> dead(96, 0xEE);
    uint32_t size = 96;
    ASSERT_EQ(FsaGetDeadDriveLog2(h, header, dead.data(), &size), FSA_STS_SUCCESS);
    const uint8_t* second = dead.data() + 48;
    // Slot, device, bus, entry type, enclosure, then the serial number
    // (zero-padded to eight bytes), the failure reason and the address word
    // (bus in the top byte: option word 2 has bit 21).
    EXPECT_EQ(std::vector<uint8_t>(second, second + 5), (std::vector<uint8_t>{1, 5, 1, 1, 0}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(second + 12), 8), "SIM01005");
    EXPECT_EQ(faGetLe16(second + 10), 2024u);
    EXPECT_EQ(faGetLe32(dead.data() + 36), 0x04031100u);
    EXPECT_EQ(faGetLe32(second + 36), 0x02000000u);
    EXPECT_EQ(faGetLe32(second + 40), 0x01000005u);

    uint32_t tableSize = 0;
    ASSERT_EQ(FsaGetDriveErrorTableSize(h, &tableSize), FSA_STS_SUCCESS);
    ASSERT_EQ(tableSize, 12u + 2 * 16);
    std::vector<uint16_t> table(tableSize / 2);
    ASSERT_EQ(FsaGetDriveErrorTable2(h, tableSize, table.data()), FSA_STS_SUCCESS);
    const uint8_t* t = reinterpret_cast<const uint8_t*>(table.data());
    EXPECT_EQ(faGetLe16(t + 2), 16u);
    EXPECT_EQ(faGetLe16(t + 8), 1u);
    EXPECT_EQ(faGetLe32(t + 12 + 16), 0x01000005u);
    EXPECT_EQ(t[12 + 16 + 5], 1u);
}

TEST_F(LogsTest, AControllerWithTheOlderTableOnlyDoesNotKnowTheNewerOne)
{
    void* h = start("adapter0.drive_error_version = 0\nadapter0.drive_error_entries = 2\n");
    ASSERT_NE(h, nullptr);
    uint32_t tableSize = 99;
    EXPECT_NE(FsaGetDriveErrorTableSize(h, &tableSize), FSA_STS_SUCCESS);
    uint32_t count = 341;
    std::vector<uint8_t> buffer(4092, 0xEE);
    ASSERT_EQ(FsaGetDriveErrorTable(h, &count, buffer.data()), FSA_STS_SUCCESS);
    EXPECT_EQ(count, 2u);
    // Without drives, entry i names bus 0, target i + 1.
    EXPECT_EQ(faGetLe32(buffer.data() + 12), 2u);
}

}  // namespace
