#include "Command/Vyn/common/fa_scsi.h"
#include "OpenSessionTest.h"
#include "SimulatedDriveState.h"
#include "platform/hostsim/Devices.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using vyn::hostsim::Fault;

constexpr const char kDrives[] =
    "[adapter0]\n"
    "drive0 = 0:0 sas 146G\n"
    "drive1 = 0:1 sata 500G\n";

// Option word 2 of the controller defaults.
constexpr uint32_t kOptionWord2 = 0x0EB797DC;

class DriveOperationsTest : public vyntest::OpenSessionTest {
protected:
    void* open(const std::string& extra = "", FSA_ACCESS access = FSA_ACC_READ_WRITE)
    {
        return start(std::string(kDrives) + extra, access);
    }
    static FSA_STORAGE_DEVICE drive(uint8_t target)
    {
        FSA_STORAGE_DEVICE d{};
        d.targetId = target;
        return d;
    }
    std::string drivePair(unsigned n, const std::string& name) { return vyntest::drivePairOf(sim(), n, name); }
    std::vector<uint32_t> jobs() { return vyntest::taskJobsOf(sim()); }
    unsigned scsiClassRequests()
    {
        unsigned n = 0;
        for (const vyn::hostsim::Request& r : sim().requests())
            n += r.isFib && r.hasClass && r.fibClass == 3 ? 1 : 0;
        return n;
    }

    // The 132-byte result of one self-test operation on drive 1.
    struct Diagnostic {
        FSA_STATUS status = 0;
        uint8_t record[132] = {};
        uint32_t word(unsigned n) const
        {
            uint32_t v = 0;
            std::memcpy(&v, record + 4 * n, 4);
            return v;
        }
    };
    Diagnostic diagnose(void* h, uint32_t operation)
    {
        const FSA_STORAGE_DEVICE d = drive(1);
        Diagnostic out;
        std::memset(out.record, 0xCC, sizeof out.record);
        out.status = FsaOnlineDiskDiagnostic(h, &d, operation, out.record);
        return out;
    }
};

TEST_F(DriveOperationsTest, OnlyBlinkingPassesAReadOnlyOpen)
{
    void* h = open("", FSA_ACC_READ_ONLY);
    ASSERT_NE(h, nullptr);
    const FSA_STORAGE_DEVICE d = drive(1);
    uint32_t params[FSA_DRIVE_OP_PARAM_WORDS] = {};
    params[1] = 20;
    EXPECT_EQ(FsaStorageDevice2(h, &d, 7, params, nullptr), 1u);
    EXPECT_EQ(drivePair(1, "blink"), "1");
    params[1] = 0;
    EXPECT_EQ(FsaStorageDevice(h, &d, 7, params), 1u);
    EXPECT_EQ(drivePair(1, "blink"), "");
    sim().clearRequests();
    EXPECT_EQ(FsaStorageDevice2(h, &d, 0, nullptr, nullptr), FSA_STS_NOT_OPEN_READ_WRITE);
    EXPECT_EQ(scsiClassRequests(), 0u);
    EXPECT_TRUE(jobs().empty());
}

TEST_F(DriveOperationsTest, OperationCodesAndTheirRefusals)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    const FSA_STORAGE_DEVICE d = drive(1);
    struct Case {
        uint32_t operation;
        FSA_STATUS status;
        unsigned scsiRequests;
    };
    const Case cases[] = {
        // every initialised drive carries the controller's boot record
        {2, 20, 0},
        {3, 20, 0},
        {0, 1, 1},
        {12, 92, 0},
        {99, 92, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        sim().clearRequests();
        EXPECT_EQ(FsaStorageDevice2(h, &d, c.operation, nullptr, nullptr), c.status);
        EXPECT_EQ(scsiClassRequests(), c.scsiRequests);
    }
    EXPECT_EQ(jobs(), std::vector<uint32_t>{3});
    // a drive that has a task is in use
    EXPECT_EQ(FsaStorageDevice2(h, &d, 4, nullptr, nullptr), 270u);
    // the older front knows no operation from 100 on
    EXPECT_EQ(FsaStorageDevice(h, &d, 100, nullptr), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaStorageDevice2(h, nullptr, 0, nullptr, nullptr), FSA_STS_BAD_PARAMETER);
}

TEST_F(DriveOperationsTest, DriveStateRequests)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    const FSA_STORAGE_DEVICE other = drive(1);
    EXPECT_EQ(FsaStorageDevice2(h, &other, 10, nullptr, nullptr), 1u);
    EXPECT_EQ(drivePair(1, "state"), "failed");
    EXPECT_EQ(FsaStorageDevice2(h, &other, 11, nullptr, nullptr), 1u);
    EXPECT_EQ(drivePair(1, "state"), "");
}

TEST_F(DriveOperationsTest, PasswordsTravelInTheSlotAtByteForty)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    const FSA_STORAGE_DEVICE d = drive(1);
    uint32_t params[FSA_DRIVE_OP_PARAM_WORDS] = {};
    ASSERT_EQ(sizeof params, 48u);
    const char password[] = "drive-secret";
    FsaDriveOpParamSetPassword(params, password);
    EXPECT_EQ(FsaDriveOpParamPassword(params), password);
    uint32_t set = 1;
    EXPECT_EQ(FsaStorageDevice2(h, &d, 105, params, &set), 1u);
    EXPECT_EQ(drivePair(1, "ata_password"), "64726976652d736563726574");
    uint32_t secured = 7;
    EXPECT_EQ(FsaStorageDevice2(h, &d, 102, nullptr, &secured), 1u);
    EXPECT_EQ(secured, 1u);
    EXPECT_EQ(FsaStorageDevice2(h, &d, 102, nullptr, nullptr), FSA_STS_BAD_PARAMETER);
    // the secure erase reaches the drive with its password
    EXPECT_EQ(FsaStorageDevice2(h, &d, 104, params, nullptr), 1u);
    EXPECT_EQ(jobs(), std::vector<uint32_t>{7});
    EXPECT_EQ(FsaStorageDevice2(h, &d, 104, nullptr, nullptr), FSA_STS_CT_GENERIC_FAILURE);
    uint32_t clear = 0;
    EXPECT_EQ(FsaStorageDevice2(h, &d, 105, params, &clear), 1u);
    EXPECT_EQ(drivePair(1, "ata_password"), "");
    EXPECT_EQ(FsaStorageDevice2(h, &d, 102, nullptr, &secured), 1u);
    EXPECT_EQ(secured, 0u);
    EXPECT_EQ(FsaStorageDevice2(h, &d, 100, nullptr, nullptr), 1u);
}

TEST_F(DriveOperationsTest, SecurityResultsAndOptionBits)
{
    void* h = open("option_word2 = " + std::to_string(kOptionWord2 & ~(1u << 6 | 1u << 27)) + "\n");
    ASSERT_NE(h, nullptr);
    const FSA_STORAGE_DEVICE d = drive(1);
    EXPECT_EQ(FsaStorageDevice2(h, &d, 104, nullptr, nullptr), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaCreateJBOD(h, &d), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaDeleteJBOD(h, &d), FSA_STS_NOT_SUPPORTED);
    struct Case {
        const char* effect;
        FSA_STATUS status;
    };
    // drive security answers: the transport's 72, then results 2 and 3
    const Case cases[] = {{"status = 5", 31}, {"poke = 24:4=2", 12}, {"poke = 24:4=3", 6}, {"poke = 24:4=0", 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        ASSERT_TRUE(sim().addFault(0, Fault{"class3 96", c.effect}));
        EXPECT_EQ(FsaStorageDevice2(h, &d, 101, nullptr, nullptr), c.status);
    }
}

TEST_F(DriveOperationsTest, JbodDrivesComeAndGo)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    const FSA_STORAGE_DEVICE d = drive(1);
    EXPECT_EQ(FsaCreateJBOD(h, &d), 1u);
    EXPECT_EQ(drivePair(1, "jbod"), "1");
    EXPECT_EQ(FsaDeleteJBOD(h, &d), 1u);
    EXPECT_EQ(drivePair(1, "jbod"), "");
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 242", "status = 405"}));
    EXPECT_EQ(FsaCreateJBOD(h, &d), FSA_STS_GENERAL_FAILURE);
}

TEST_F(DriveOperationsTest, SelfTestRunsAndReports)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    Diagnostic r = diagnose(h, 2);
    EXPECT_EQ(r.status, 1u);
    EXPECT_EQ(r.word(0), 7u);  // accepted
    EXPECT_EQ(r.record[8], 0);
    EXPECT_EQ(r.record[131], 0);  // the whole record is cleared first
    EXPECT_EQ(drivePair(1, "selftest").compare(0, 10, "running:1:"), 0);

    // Half of the two-minute short test: indicator 0x8000.
    sim().controller(0).clockMs += 60000;
    r = diagnose(h, 4);
    EXPECT_EQ(r.status, 1u);
    EXPECT_EQ(r.word(0), 3u);
    EXPECT_EQ(r.word(1), 500u);
    EXPECT_EQ(r.record[8], 2);
    EXPECT_EQ(r.record[9], 0x04);
    EXPECT_EQ(r.record[10], 0x09);
    r = diagnose(h, 5);
    EXPECT_EQ(r.word(0), 3u);  // result code 15: in progress

    r = diagnose(h, 1);
    EXPECT_EQ(r.word(0), 7u);
    r = diagnose(h, 5);
    EXPECT_EQ(r.word(0), 7u);  // aborted

    EXPECT_EQ(diagnose(h, 0).status, FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(diagnose(h, 7).status, FSA_STS_BAD_PARAMETER);
    const FSA_STORAGE_DEVICE d = drive(1);
    EXPECT_EQ(FsaOnlineDiskDiagnostic(h, &d, 2, nullptr), FSA_STS_BAD_PARAMETER);
}

TEST_F(DriveOperationsTest, SelfTestResultCodesSelectTheState)
{
    struct Case {
        const char* seeded;
        uint32_t state;
    };
    const Case cases[] = {{"done:1:0", 5}, {"done:2:2", 7}, {"done:1:3", 8}, {"done:1:5", 6}, {"done:1:9", 2}};
    std::string lines;
    for (unsigned i = 0; i < 5; ++i)
        lines += "drive" + std::to_string(i + 2) + " = 0:" + std::to_string(i + 2) + " sas 146G selftest=" +
                 cases[i].seeded + "\n";
    void* h = open(lines);
    ASSERT_NE(h, nullptr);
    for (unsigned i = 0; i < 5; ++i) {
        SCOPED_TRACE(cases[i].seeded);
        const FSA_STORAGE_DEVICE d = drive(static_cast<uint8_t>(i + 2));
        uint8_t record[132] = {};
        EXPECT_EQ(FsaOnlineDiskDiagnostic(h, &d, 5, record), 1u);
        uint32_t state = 0;
        std::memcpy(&state, record, 4);
        EXPECT_EQ(state, cases[i].state);
    }
}

TEST_F(DriveOperationsTest, IllegalRequestSenseOnSuccessIsNotSupported)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"cdb 0x1d", "sense = 5/0x20/0"}));
    const Diagnostic r = diagnose(h, 3);
    EXPECT_EQ(r.status, FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(r.word(0), 2u);
    EXPECT_EQ(r.record[8], 5);
    EXPECT_EQ(r.record[9], 0x20);
}

TEST_F(DriveOperationsTest, PassThroughChecksItsArguments)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    uint8_t cdb[6] = {0x12, 0, 0, 0, 36, 0};
    uint8_t data[36] = {};
    uint32_t length = 0, status = 0xDEAD, completion = 0, senseLength = 0xDEAD;
    uint8_t sense[32] = {};
    FSA_STORAGE_DEVICE d = drive(1);
    EXPECT_EQ(FsaSendScsiCommand(h, &d, 6, cdb, &length, data, sizeof data, FSA_SCSI_DATA_IN, 0, &senseLength, sense,
                                 sizeof sense, &status, &completion),
              1u);
    EXPECT_EQ(length, 36u);
    EXPECT_EQ(completion, 1u);
    EXPECT_EQ(senseLength, 0xDEADu);  // only reported when asked
    EXPECT_EQ(FsaSendScsiCommand(h, &d, 0, cdb, &length, data, sizeof data, FSA_SCSI_DATA_IN, 0, nullptr, nullptr, 0,
                                 &status, &completion),
              FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(FsaSendScsiCommand(h, &d, 6, cdb, &length, data, sizeof data, FSA_SCSI_DATA_IN, 0, nullptr, nullptr, 0,
                                 nullptr, &completion),
              FSA_STS_BAD_PARAMETER);
    d.busNumber = 5;
    EXPECT_EQ(FsaSendScsiCommand(h, &d, 6, cdb, &length, data, sizeof data, FSA_SCSI_DATA_IN, 0, nullptr, nullptr, 0,
                                 &status, &completion),
              FSA_STS_BAD_PARAMETER);
}

TEST_F(DriveOperationsTest, WearOutParameters)
{
    void* h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(FSASetWearOutParams(h, 1, 2, 3), 1u);
    ASSERT_FALSE(sim().controller(0).captured.empty());
    const auto& kept = sim().controller(0).captured.back();
    EXPECT_EQ(kept.code, 257u);
    EXPECT_EQ(kept.param[0], 1u);
    EXPECT_EQ(kept.param[1], 2u);
    EXPECT_EQ(kept.param[2], 3u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 257", "status = 0"}));
    EXPECT_EQ(FSASetWearOutParams(h, 1, 2, 3), FSA_STS_GENERAL_FAILURE);
}

}  // namespace
