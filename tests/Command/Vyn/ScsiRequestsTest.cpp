#include "Command/Vyn/common/fa_blinker.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "FsaThrown.h"
#include "OpenSessionTest.h"
#include "SimulatedDriveState.h"
#include "platform/hostsim/Devices.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using vyn::hostsim::Fault;
using vyntest::thrownBy;

constexpr const char kDrives[] =
    "[adapter0]\n"
    "drive0 = 0:0 sas 146G\n"
    "drive1 = 0:1 sata 500G\n";

class ScsiRequestsTest : public vyntest::OpenSessionTest {
protected:
    FSAAPI_CONTEXT* open(const std::string& extra = "")
    {
        void* h = start(std::string(kDrives) + extra);
        return h == nullptr ? nullptr : context(h);
    }
    std::string drivePair(unsigned n, const std::string& name) { return vyntest::drivePairOf(sim(), n, name); }
    std::vector<uint32_t> jobs() { return vyntest::taskJobsOf(sim()); }
    static constexpr uint32_t kDrive1 = 1;  // bus 0, LUN 0, target 1

    void checkProbe(const char* probe, uint32_t expected)
    {
        FSAAPI_CONTEXT* ctx = open(std::string("device_probe = ") + probe + "\n");
        ASSERT_NE(ctx, nullptr);
        EnhancedGetDeviceProbeInfo_CSS info;
        std::memset(&info, 0xAB, sizeof info);
        EXPECT_EQ(SCSI_GetDeviceProbeInfo(ctx, kDrive1, &info), 1u);
        uint32_t version = 0, handle = 0;
        std::memcpy(&version, info.bytes + DEVICE_PROBE_VERSION, 4);
        std::memcpy(&handle, info.bytes, 4);
        EXPECT_EQ(version, expected);
        EXPECT_EQ(handle, kDrive1);
        EXPECT_EQ(SCSI_GetDeviceProbeInfoIsSupported(&info, 107), 1);
        EXPECT_EQ(SCSI_GetDeviceProbeInfoIsSupported(&info, 108), expected >= 2 ? 1 : 0);
        EXPECT_EQ(SCSI_GetDeviceProbeInfoIsSupported(&info, 120), expected >= 2 ? 1 : 0);
        EXPECT_EQ(SCSI_GetDeviceProbeInfoIsSupported(&info, 121), 0);
        EXPECT_EQ(SCSI_GetDeviceProbeInfoIsSupported(nullptr, 0), 0);
        // the legacy record's tail stays clear
        if (expected == 0) {
            EXPECT_EQ(info.bytes[112], 0);
        }
        EXPECT_EQ(SCSI_GetDeviceProbeInfo(ctx, kDrive1, nullptr), FSA_STS_BAD_PARAMETER);
    }
};

// The probe record of drive 1 and which of its fields count.
TEST_F(ScsiRequestsTest, DeviceProbeFieldsFollowTheRecordVersion)
{
    checkProbe("enhanced", 2);
}

TEST_F(ScsiRequestsTest, TheLegacyProbeRecordCarriesVersionZero)
{
    checkProbe("legacy", 0);
}

TEST_F(ScsiRequestsTest, ASecondFailureInTheProbeFallBackIsNoDevice)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"class3 11", "status = 5"}));
    ASSERT_TRUE(sim().addFault(0, Fault{"class3 5", "status = 5"}));
    EnhancedGetDeviceProbeInfo_CSS info;
    EXPECT_EQ(SCSI_GetDeviceProbeInfo(ctx, kDrive1, &info), 12u);
    // 10004 is no failure to fall back from
    ASSERT_TRUE(sim().addFault(0, Fault{"class3 11", "status = 10004"}));
    sim().clearRequests();
    EXPECT_EQ(SCSI_GetDeviceProbeInfo(ctx, kDrive1, &info), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(sim().requests().size(), 1u);
}

TEST_F(ScsiRequestsTest, ALunLostInTheHandleGivesNoHandle)
{
    // Without the extended handles a LUN keeps three bits.
    FSAAPI_CONTEXT* ctx = open("option_word2 = 0x0E9797DC\n");
    ASSERT_NE(ctx, nullptr);
    FSA_STORAGE_DEVICE device{};
    device.targetId = 1;
    device.lun = 8;
    EXPECT_EQ(SCSI_GetInternalID(ctx, &device) & 0xFFFFFFFFu, 0xFFFFFFFFu);
    device.lun = 7;
    EXPECT_NE(SCSI_GetInternalID(ctx, &device) & 0xFFFFFFFFu, 0xFFFFFFFFu);
}

TEST_F(ScsiRequestsTest, DriveRequestsStartTasksAndKeepPasswords)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(thrownBy([&] { SCSI_StartVerify(ctx, kDrive1, 1); }), 1u);
    EXPECT_EQ(thrownBy([&] { SCSI_StartVerify(ctx, kDrive1, 0); }), 1u);
    EXPECT_EQ(thrownBy([&] { SCSI_StartZero(ctx, kDrive1); }), 1u);
    EXPECT_EQ(jobs(), (std::vector<uint32_t>{5, 3, 2}));

    EXPECT_EQ(thrownBy([&] { SCSI_SetATAPassword(ctx, kDrive1, "secret"); }), 1u);
    EXPECT_EQ(drivePair(1, "ata_password"), "736563726574");
    // a drive with security set erases only with its password
    EXPECT_EQ(thrownBy([&] { SCSI_StartSecureErase(ctx, kDrive1, nullptr); }), FSA_STS_CT_GENERIC_FAILURE);
    EXPECT_EQ(thrownBy([&] { SCSI_StartSecureErase(ctx, kDrive1, "other"); }), FSA_STS_CT_GENERIC_FAILURE);
    EXPECT_EQ(thrownBy([&] { SCSI_StartSecureErase(ctx, kDrive1, "secret"); }), 1u);
    EXPECT_EQ(jobs().back(), 7u);
    EXPECT_EQ(thrownBy([&] { SCSI_ClearATAPassword(ctx, kDrive1, "secret"); }), 1u);
    EXPECT_EQ(drivePair(1, "ata_password"), "");
}

TEST_F(ScsiRequestsTest, RefusalsOfTheDriveRequests)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    // The controller refuses a verify when too many tasks run.
    ASSERT_TRUE(sim().addFault(0, Fault{"class3 48", "status = 5"}));
    EXPECT_EQ(thrownBy([&] { SCSI_StartVerify(ctx, kDrive1, 0); }), 518u);
    ASSERT_TRUE(sim().addFault(0, Fault{"class3 48", "status = 10004"}));
    EXPECT_EQ(thrownBy([&] { SCSI_StartVerify(ctx, kDrive1, 0); }), FSA_STS_NOT_SUPPORTED);
    ASSERT_TRUE(sim().addFault(0, Fault{"class3 48", "status = 5"}));
    EXPECT_EQ(thrownBy([&] { SCSI_StartZero(ctx, kDrive1); }), FSA_STS_CT_GENERIC_FAILURE);

    // The password field holds 31 characters and the terminating zero.
    const std::string longest(31, 'p');
    const std::string tooLong(32, 'p');
    sim().clearRequests();
    EXPECT_EQ(thrownBy([&] { SCSI_SetATAPassword(ctx, kDrive1, tooLong.c_str()); }), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(thrownBy([&] { SCSI_StartSecureErase(ctx, kDrive1, tooLong.c_str()); }), FSA_STS_BAD_PARAMETER);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(thrownBy([&] { SCSI_SetATAPassword(ctx, kDrive1, longest.c_str()); }), 1u);
    EXPECT_EQ(drivePair(1, "ata_password").size(), 62u);
}

TEST_F(ScsiRequestsTest, FirmwareBlinkSetsTheDrivesFlag)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    FSA_STORAGE_DEVICE device{};
    device.targetId = 1;
    SCSI_FWBlinkDrive(ctx, &device, 30);
    EXPECT_EQ(drivePair(1, "blink"), "1");
    EXPECT_EQ(sent(500, 241), 1u);
    SCSI_FWBlinkDrive(ctx, &device, 0);
    EXPECT_EQ(drivePair(1, "blink"), "");
    EXPECT_EQ(ScsiAdapterHandle(ctx, &device), 0u);
}

// The settings the simulated drives start with: MRIE 6, no flags, an
// interval of 6000 and no report count.
FSA_SMART_DATA currentSettings()
{
    FSA_SMART_DATA s{};
    s.smartEnabled = 1;
    s.mrie = 6;
    s.intervalTimer = 6000;
    return s;
}

class SmartSettingsTest : public ScsiRequestsTest {
protected:
    FSA_STATUS set(void* h, const FSA_SMART_DATA& want, uint8_t target = 1, uint8_t lun = 0)
    {
        FSA_STORAGE_DEVICE device{};
        device.targetId = target;
        device.lun = lun;
        FSA_SMART_DATA request = want;
        return FsaApiInternalSetSmartDeviceInfo(h, 0, &device, &request);
    }
    FSA_SMART_DATA read(void* h)
    {
        FSA_STORAGE_DEVICE device{};
        device.targetId = 1;
        FSA_SMART_DATA s{};
        EXPECT_EQ(FsaGetSmartDeviceInfo(h, 0, &device, &s), 1u);
        return s;
    }
};

TEST_F(SmartSettingsTest, RefusalsComeBeforeAnyPageIsWritten)
{
    struct Case {
        const char* name;
        const char* extra;
        uint8_t target;
        uint8_t lun;
        void (*change)(FSA_SMART_DATA&);
        FSA_STATUS expected;
    };
    const Case cases[] = {
        // without the extended handles a LUN keeps three bits
        {"device unknown", "option_word2 = 0x0E9797DC\n", 1, 8, [](FSA_SMART_DATA&) {}, FSA_STS_NO_MORE_DEVICES},
        {"no slice", "", 9, 0, [](FSA_SMART_DATA&) {}, 12},
        {"no SMART support", "drive2 = 0:2 sas 146G smart=0\n", 2, 0, [](FSA_SMART_DATA&) {}, 383},
        {"MRIE", "", 1, 0, [](FSA_SMART_DATA& s) { s.mrie = 4; }, 377},
        {"exception reporting", "", 1, 0, [](FSA_SMART_DATA& s) { s.disableException = 1; }, 378},
        {"error logging", "", 1, 0, [](FSA_SMART_DATA& s) { s.logError = 1; }, 379},
        {"performance", "", 1, 0, [](FSA_SMART_DATA& s) { s.perf = 1; }, 380},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* h = start(std::string(kDrives) + c.extra);
        ASSERT_NE(h, nullptr);
        FSA_SMART_DATA want = currentSettings();
        c.change(want);
        EXPECT_EQ(set(h, want, c.target, c.lun), c.expected);
        EXPECT_EQ(sent(500, 9), 0u) << "no SCSI-class request";
        EXPECT_EQ(drivePair(1, "mode1c"), "");
    }
}

TEST_F(SmartSettingsTest, ThePageGoesOutTwiceAndTheRereadConfirmsIt)
{
    void* h = start(kDrives);
    ASSERT_NE(h, nullptr);
    FSA_SMART_DATA want = currentSettings();
    want.intervalTimer = 3005;
    want.reportCount = 7;
    want.testError = 1;
    // The second write does not arrive: the first went out with the
    // header's top bits.
    ASSERT_TRUE(sim().addFault(0, Fault{"class3 18", "errno = 5", 1, 2}));
    EXPECT_NE(set(h, want), 1u);
    EXPECT_EQ(drivePair(1, "mode1c.flags"), "3");

    sim().clearRequests();
    EXPECT_EQ(set(h, want), 1u);
    EXPECT_EQ(drivePair(1, "mode1c.flags"), "0");
    EXPECT_EQ(sent(500, 9), 3u) << "one page read, two writes";
    const FSA_SMART_DATA now = read(h);
    EXPECT_EQ(now.intervalTimer, 3005u);
    EXPECT_EQ(now.reportCount, 7u);
    EXPECT_EQ(now.testError, 1u);
    EXPECT_EQ(now.mrie, 6u);
    EXPECT_EQ(now.perf, 0u);
    // the other clients hear of it
    EXPECT_GE(sent(700), 1u);
}

TEST_F(SmartSettingsTest, ARereadThatDisagreesIsReported)
{
    void* h = start(kDrives);
    ASSERT_NE(h, nullptr);
    FSA_SMART_DATA want = currentSettings();
    want.reportCount = 7;
    // Every device record reports 99 as the report count.
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 248", "poke = 312:4=99", 0, 0}));
    EXPECT_EQ(set(h, want), 384u);
    EXPECT_EQ(drivePair(1, "smart.reports"), "7");
}

TEST_F(ScsiRequestsTest, SoftwareBlinkReachesTheBlinkManager)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    ASSERT_NE(ctx->blinkManager, nullptr);
    // The worker's reads pass quickly; the close waits for the worker.
    sim().setSleepScale(10);
    FSA_STORAGE_DEVICE device{};
    device.targetId = 1;
    SCSI_BlinkDrive(ctx, &device, 5);
    EXPECT_TRUE(ctx->blinkManager->IsDriveBlinking(&device));
    EXPECT_EQ(sent(500, 241), 0u);
}

}  // namespace
