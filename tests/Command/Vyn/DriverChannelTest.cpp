#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_wchar.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_linux.h"
#include "Command/Vyn/os/faux_lockfile.h"
#include "Command/Vyn/os/faux_misc.h"
#include "Command/Vyn/os/faux_oem_ulb.h"
#include "Command/Vyn/os/faux_opensup.h"
#include "OpenFiles.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using vyn::hostsim::Fault;

class DriverChannelTest : public vyntest::SimulatorTest {
protected:
    void TearDown() override
    {
        faux_oemtype = FSA_OEM_GENERIC;
        FsaUxDbgFileSetLevel(0);
        FsaUxDbgFileClrModule(~0u, ~0u);
        vyntest::SimulatorTest::TearDown();
    }

    static bool has(const std::vector<std::string>& lines, const std::string& line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    static std::string narrow(const wchar_t* wide)
    {
        std::string s;
        for (; *wide != 0; ++wide)
            s += static_cast<char>(*wide);
        return s;
    }

    void expectNothingLeft(FSAAPI_CONTEXT& ctx)
    {
        EXPECT_EQ(sim().openNodeCount(), 0u);
        EXPECT_EQ(clsALH.count(), 0u);
        EXPECT_EQ(ctx.commContext, nullptr);
    }

    // Opens adapter `name` and expects the status thrown.
    static FSA_STATUS openThrown(FSAAPI_CONTEXT& ctx, const wchar_t* name)
    {
        try {
            faos_OpenChannelToAdapter(&ctx, name);
        } catch (FSA_STATUS s) {
            return s;
        }
        return 0;
    }
};

void enumerateTwoAdapters(DriverChannelTest*, vyn::hostsim::Simulator& sim, const std::string& root)
{
    auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
    for (unsigned i = 0; i <= 16; ++i) {
        const int answer = faos_GetAdapterInfo(i, info.get());
        if (i < 2) {
            ASSERT_EQ(answer, static_cast<int>(i));
            std::wstring expected = L"ulb" + std::to_wstring(i);
            EXPECT_EQ(std::wstring(info->adapterName), expected);
            EXPECT_EQ(info->availability, 3u);
            EXPECT_EQ(info->pcbaSerialNumber, 0x31304B50u);
            EXPECT_EQ(info->serialNumber[0], 0x30315356u);
            EXPECT_NE(info->hostName[0], 0);
        } else {
            EXPECT_EQ(answer, -1) << i;
        }
    }
    const std::string lock = root + "/var/lock/.ulb0lock";
    struct stat st;
    ASSERT_EQ(::stat(lock.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(vyntest::readFile(lock), "/var/lock/.ulb0lock");
    EXPECT_EQ(vyntest::readFile(lock).size(), 19u);
    const std::vector<std::string> nodes = sim.nodeLines();
    EXPECT_NE(std::find(nodes.begin(), nodes.end(), "/dev/ulb0 c 250 0"), nodes.end());
    EXPECT_NE(std::find(nodes.begin(), nodes.end(), "/dev/ulb1 c 250 1"), nodes.end());
    EXPECT_EQ(nodes.size(), 2u);
}

TEST_F(DriverChannelTest, EnumerationOverTwoAdaptersOnTheSysfsRoad)
{
    startFixture("two_adapters.conf");
    enumerateTwoAdapters(this, sim(), root());
}

TEST_F(DriverChannelTest, EnumerationOverTwoAdaptersOnTheProcfsRoad)
{
    startFixture("procfs_road.conf");
    ASSERT_FALSE(vyntest::fileExists(hostFile("/sys/bus/pci/drivers/ulbraid")));
    enumerateTwoAdapters(this, sim(), root());
}

TEST_F(DriverChannelTest, EnumerationFibsAreSentAsBuilt)
{
    startFixture("two_adapters.conf");
    auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
    ASSERT_EQ(faos_GetAdapterInfo(0, info.get()), 0);
    EXPECT_EQ(sim().requestLines(), (std::vector<std::string>{
                                        "ulb0 0x42008 cmd=703 xfer=0x00000001 size=4 sender=512",
                                        "ulb0 0x42008 cmd=706 xfer=0x00000001 size=4 sender=512",
                                        "ulb0 0x42008 cmd=906 xfer=0x00000021 size=4 sender=512",
                                    }));
}

TEST_F(DriverChannelTest, WithoutTheSupplementBitNoSupplementAndNoSerialFib)
{
    startSimulator("adapters = 1\n[adapter0]\noption_word1 = 0x000C0820\n[hostsim]\npersist = 0\n");
    auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
    ASSERT_EQ(faos_GetAdapterInfo(0, info.get()), 0);
    EXPECT_EQ(sim().requestLines(),
              std::vector<std::string>{"ulb0 0x42008 cmd=703 xfer=0x00000001 size=4 sender=512"});
    EXPECT_EQ(info->pcbaSerialNumber, 0xFFFFFFFFu);
}

TEST_F(DriverChannelTest, WithoutTheSerialFeatureBitNoSerialFib)
{
    startSimulator("adapters = 1\n[adapter0]\noption_word2 = 0x0CB797DC\n[hostsim]\npersist = 0\n");
    auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
    ASSERT_EQ(faos_GetAdapterInfo(0, info.get()), 0);
    EXPECT_EQ(sim().requestLines().size(), 2u);
    EXPECT_EQ(info->pcbaSerialNumber, 0xFFFFFFFFu);
}

TEST_F(DriverChannelTest, AFailingAdapterInformationFibSkipsTheIndex)
{
    startFixture("two_adapters.conf");
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5"}));
    auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
    EXPECT_EQ(faos_GetAdapterInfo(0, info.get()), -1);
    EXPECT_EQ(faos_GetAdapterInfo(1, info.get()), 1);
    EXPECT_EQ(sim().openNodeCount(), 0u);
}

TEST_F(DriverChannelTest, AMissingNodeIsSkippedWithoutATraceLine)
{
    startSimulator("adapters = 1\n[adapter0]\nopen_errno = 5\n[hostsim]\npersist = 0\n");
    FsaUxDbgFileSetLevel(5);
    FsaUxDbgFileSetAll();
    auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
    EXPECT_EQ(faos_GetAdapterInfo(3, info.get()), -1);
    EXPECT_EQ(vyntest::readFile(hostFile("/tmp/dbg.api")).find("failed to open adapter"), std::string::npos);
    EXPECT_EQ(faos_GetAdapterInfo(0, info.get()), -1);
    EXPECT_NE(vyntest::readFile(hostFile("/tmp/dbg.api")).find("-- failed to open adapter ulb0, open [ERR:5:"),
              std::string::npos);
}

TEST_F(DriverChannelTest, NodeCheckRepairsTheNode)
{
    startFixture("two_adapters.conf");
    HostIo& io = hostIo();
    FAUX_COMM_CONTEXT comm;
    // another major: removed and made anew with the adapter's minor
    ASSERT_EQ(io.mknod("/dev/ulb1", S_IFCHR, makedev(99, 7)), 0);
    char path1[] = "/dev/ulb1";
    faux_CheckDeviceNode(path1, &comm);
    struct stat st;
    ASSERT_EQ(io.stat("/dev/ulb1", &st), 0);
    EXPECT_EQ(major(st.st_rdev), 250u);
    EXPECT_EQ(minor(st.st_rdev), 1u);
    EXPECT_EQ(st.st_mode, static_cast<mode_t>(S_IFCHR));  // type bits only
    EXPECT_EQ(comm.hostNumber, 2);
    // an adapter the driver does not report: its node goes
    ASSERT_EQ(io.mknod("/dev/ulb2", S_IFCHR, makedev(250, 2)), 0);
    char path2[] = "/dev/ulb2";
    faux_CheckDeviceNode(path2, &comm);
    EXPECT_EQ(io.stat("/dev/ulb2", &st), -1);
    // the last matching line of /proc/devices wins
    vyntest::writeFile(hostFile("/proc/devices"), "Character devices:\n250 ulbraid\n 21 sg\n240 ulbraid\n");
    faux_CheckDeviceNode(path1, &comm);
    ASSERT_EQ(io.stat("/dev/ulb1", &st), 0);
    EXPECT_EQ(major(st.st_rdev), 240u);
}

TEST_F(DriverChannelTest, NodeCheckOnTheProcfsRoadFindsTheHost)
{
    startSimulator("adapters = 2\n[driver]\nsysfs = 0\nfirst_host = 3\n[hostsim]\npersist = 0\n");
    FAUX_COMM_CONTEXT comm;
    char path[] = "/dev/ulb1";
    faux_CheckDeviceNode(path, &comm);
    EXPECT_EQ(comm.hostNumber, 4);
    EXPECT_EQ(sim().nodeLines(), std::vector<std::string>{"/dev/ulb1 c 250 1"});
    char absent[] = "/dev/ulb2";
    faux_CheckDeviceNode(absent, &comm);
    EXPECT_EQ(sim().nodeLines().size(), 1u);
}

TEST_F(DriverChannelTest, NodeCheckWithoutProcScsiStillRepairsTheNode)
{
    // Kernels without the SCSI /proc files: the node is still made with the
    // driver's major; a /proc/scsi without the driver ends the check.
    const struct {
        bool procScsi;
        std::vector<std::string> nodes;
    } cases[] = {{false, {"/dev/ulb0 c 250 0"}}, {true, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.procScsi);
        startSimulator("adapters = 1\n[driver]\nsysfs = 0\n[hostsim]\npersist = 0\n");
        std::filesystem::remove_all(hostFile("/proc/scsi"));
        if (c.procScsi)
            std::filesystem::create_directories(hostFile("/proc/scsi/other"));
        FAUX_COMM_CONTEXT comm;
        char path[] = "/dev/ulb0";
        faux_CheckDeviceNode(path, &comm);
        EXPECT_EQ(sim().nodeLines(), c.nodes);
        EXPECT_EQ(comm.hostNumber, 0);
        hostIo().unlink("/dev/ulb0");
    }
}

TEST_F(DriverChannelTest, NodeCheckStopsOnAPathWithoutRoomForAnIndex)
{
    startFixture("two_adapters.conf");
    FAUX_COMM_CONTEXT comm;
    // An unknown OEM type has no prefix: "/dev/" and the index only. The path
    // sits in a buffer of its exact size, so any read past it is caught.
    for (const char* text : {"/dev/0", "/dev/ab", "/dev/ulb", "/dev/ulbx", "/dev/ulb-1"}) {
        std::unique_ptr<char[]> path(new char[std::strlen(text) + 1]);
        std::strcpy(path.get(), text);
        faux_CheckDeviceNode(path.get(), &comm);
    }
    EXPECT_TRUE(sim().nodeLines().empty());
}

TEST_F(DriverChannelTest, ReadWriteOpenKeepsDescriptorAndLockAndASecondReusesTheEntry)
{
    startFixture("two_adapters.conf");
    FSAAPI_CONTEXT first;
    first.accessMode = FSA_ACC_READ_WRITE;
    ASSERT_EQ(faos_OpenChannelToAdapter(&first, L"ULB0"), 1);
    ASSERT_NE(first.commContext, nullptr);
    EXPECT_GT(first.commContext->fd, 0);
    EXPECT_STREQ(first.commContext->adapterName, "ulb0");
    EXPECT_EQ(first.commContext->hostNumber, 1);
    EXPECT_EQ(sim().openNodeCount(), 1u);
    EXPECT_EQ(clsALH.count(), 1u);

    FSAAPI_CONTEXT second;
    second.accessMode = FSA_ACC_READ_WRITE;
    ASSERT_EQ(faos_OpenChannelToAdapter(&second, L"ulb0"), 1);
    EXPECT_EQ(clsALH.count(), 1u);
    EXPECT_EQ(vyntest::descriptorsOn(hostFile("/var/lock/.ulb0lock")), 1);
    EXPECT_EQ(sim().openNodeCount(), 2u);

    faos_CloseChannelToAdapter(&second);
    faos_CloseChannelToAdapter(&first);
    EXPECT_EQ(vyntest::descriptorsOn(hostFile("/var/lock/.ulb0lock")), 0);
    EXPECT_EQ(first.commContext, nullptr);
    expectNothingLeft(first);
    EXPECT_TRUE(vyntest::fileExists(hostFile("/var/lock/.ulb0lock")));
}

TEST_F(DriverChannelTest, ReadOnlyOpenTakesNoLock)
{
    startFixture("two_adapters.conf");
    FSAAPI_CONTEXT ctx;
    ctx.accessMode = FSA_ACC_READ_ONLY;
    ASSERT_EQ(faos_OpenChannelToAdapter(&ctx, L"ulb1"), 1);
    EXPECT_EQ(clsALH.count(), 0u);
    faos_CloseChannelToAdapter(&ctx);
    expectNothingLeft(ctx);
}

TEST_F(DriverChannelTest, FailedOpensLeaveNothingBehind)
{
    startSimulator("adapters = 2\n[adapter0]\nopen_errno = 13\n[adapter1]\nopen_errno = 6\n[hostsim]\npersist = 0\n");
    FSAAPI_CONTEXT ctx;
    ctx.accessMode = FSA_ACC_READ_WRITE;
    EXPECT_EQ(openThrown(ctx, L"ulb0"), 484u);
    expectNothingLeft(ctx);
    EXPECT_EQ(faos_OpenChannelToAdapter(&ctx, L"ulb1"), 0);  // another errno
    expectNothingLeft(ctx);
}

TEST_F(DriverChannelTest, AFailingIdentificationFibGives479AndLeavesNothing)
{
    startFixture("two_adapters.conf");
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5"}));
    FSAAPI_CONTEXT ctx;
    ctx.accessMode = FSA_ACC_READ_WRITE;
    EXPECT_EQ(openThrown(ctx, L"ulb0"), 479u);
    expectNothingLeft(ctx);
}

TEST_F(DriverChannelTest, AFailedReadOnlyOpenLeavesAnotherOpensLockAlone)
{
    startFixture("two_adapters.conf");
    FSAAPI_CONTEXT writer;
    writer.accessMode = FSA_ACC_READ_WRITE;
    ASSERT_EQ(faos_OpenChannelToAdapter(&writer, L"ulb0"), 1);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5"}));
    FSAAPI_CONTEXT reader;
    EXPECT_EQ(openThrown(reader, L"ulb0"), 479u);
    EXPECT_EQ(reader.commContext, nullptr);
    EXPECT_EQ(clsALH.count(), 1u);
    EXPECT_EQ(vyntest::descriptorsOn(hostFile("/var/lock/.ulb0lock")), 1);
    faos_CloseChannelToAdapter(&writer);
    expectNothingLeft(writer);
}

TEST_F(DriverChannelTest, WithoutAPrefixEveryNameIsRejected)
{
    startFixture("two_adapters.conf");
    faux_oemtype = 2;
    char prefix[8];
    EXPECT_STREQ(FsaUxGetDeviceNamePrefix(prefix), "");
    FSAAPI_CONTEXT ctx;
    for (const wchar_t* name : {L"ulb0", L"omr0", L"0", L""})
        EXPECT_EQ(openThrown(ctx, name), 473u);
    expectNothingLeft(ctx);
    auto info = std::make_unique<_tagFSA_ADAPTER_ENUM_INFO>();
    EXPECT_EQ(faos_GetAdapterInfo(0, info.get()), -1);
}

TEST_F(DriverChannelTest, ANameThatLeavesItsDirectoryIsRejected)
{
    startFixture("two_adapters.conf");
    // The lock directory is writable by everyone, so a directory planted there
    // would let such a name place the lock file anywhere.
    std::filesystem::create_directories(hostFile("/var/lock/.ulb0"));
    FSAAPI_CONTEXT ctx;
    ctx.accessMode = FSA_ACC_READ_WRITE;
    for (const wchar_t* name : {L"ulb0/../../../x", L"ulb/", L"ulb0/"})
        EXPECT_EQ(openThrown(ctx, name), 473u);
    expectNothingLeft(ctx);
    EXPECT_FALSE(vyntest::fileExists(hostFile("/xlock")));
    EXPECT_EQ(faux_IsAdapterNameValid("ulb0/.."), 0);
}

TEST_F(DriverChannelTest, NamesFollowTheOemType)
{
    const struct {
        int oem;
        const char* prefix;
    } cases[] = {{1, "ulb"}, {3, "omr"}, {4, "hpn"}, {0, ""}, {7, ""}};
    for (const auto& c : cases) {
        faux_oemtype = c.oem;
        char prefix[8];
        EXPECT_STREQ(FsaUxGetDeviceNamePrefix(prefix), c.prefix) << c.oem;
        EXPECT_EQ(faos_GetOEMWithNoContext(), c.oem);
    }
    faux_oemtype = FSA_OEM_DELL;
    EXPECT_EQ(faux_IsAdapterNameValid("OMR3"), 1);
    EXPECT_EQ(faux_IsAdapterNameValid("ulb3"), 0);
    char out[17];
    faux_mbAdapterNameFromWide(L"OMR12345678901234567", out, sizeof out);
    EXPECT_STREQ(out, "omr1234567890123");
    char small[16] = "x";
    faux_mbAdapterNameFromWide(L"OMR1", small, sizeof small);
    EXPECT_STREQ(small, "");
    char full[101];
    faux_mbFullAdapterName("OMR1", full, sizeof full);
    EXPECT_STREQ(full, "/dev/omr1");
    char shortFull[100] = "x";
    faux_mbFullAdapterName("omr1", shortFull, sizeof shortFull);
    EXPECT_STREQ(shortFull, "");
}

TEST_F(DriverChannelTest, DriverCompatibilityAndVersions)
{
    startSimulator("adapters = 2\n[adapter0]\ndriver_revision = 5.3-1 21000\n"
                   "[adapter1]\ndriver_compatible = 0\ncode_version_status = 2\n[hostsim]\npersist = 0\n");
    FSAAPI_CONTEXT ctx;
    ASSERT_EQ(faos_OpenChannelToAdapter(&ctx, L"ulb0"), 1);
    EXPECT_EQ(faos_CheckDriverCompatibility(&ctx), 1u);
    EXPECT_EQ(ctx.miniportDriverVersion.major, 5);
    EXPECT_EQ(ctx.miniportDriverVersion.minor, 3);
    EXPECT_EQ(ctx.miniportDriverVersion.dash, 1);
    EXPECT_EQ(ctx.fileSystemDriverVersion.buildNumber, 21000u);
    FSA_CODE_VERSION_STATUS verdict = 9;
    EXPECT_EQ(faos_GetVersionStatus(&ctx, &verdict), 1u);
    EXPECT_EQ(verdict, 0u);
    faos_CloseChannelToAdapter(&ctx);

    FSAAPI_CONTEXT refused;
    refused.miniportDriverVersion.buildNumber = 77;
    refused.fileSystemDriverVersion.buildNumber = 78;
    ASSERT_EQ(faos_OpenChannelToAdapter(&refused, L"ulb1"), 1);
    sim().clearRequests();
    EXPECT_EQ(faos_CheckDriverCompatibility(&refused), 87u);
    EXPECT_EQ(refused.miniportDriverVersion.buildNumber, 77u);
    EXPECT_EQ(refused.fileSystemDriverVersion.buildNumber, 78u);
    EXPECT_EQ(sim().requestLines(), std::vector<std::string>{"ulb1 0x420ec"});
    EXPECT_EQ(faos_GetVersionStatus(&refused, &verdict), 1u);
    EXPECT_EQ(verdict, 1u);
    ASSERT_TRUE(sim().addFault(1, Fault{"ioctl 0x420EC", "errno = 22"}));
    try {
        faos_CheckDriverCompatibility(&refused);
        ADD_FAILURE() << "no throw";
    } catch (FSA_STATUS s) {
        EXPECT_EQ(s, 479u);
    }
    ASSERT_TRUE(sim().addFault(1, Fault{"ioctl 0x42164", "errno = 22"}));
    EXPECT_EQ(faos_GetVersionStatus(&refused, &verdict), 1u);
    EXPECT_EQ(verdict, 2u);
    faos_CloseChannelToAdapter(&refused);
}

// A driver that answers the small record requests with its whole record.
class WholeRecordDriver : public RealHostIo {
public:
    explicit WholeRecordDriver(HostIo& below) : below_(below) {}
    int ioctl(int fd, unsigned long request, void* arg) override
    {
        if (request != FSACTL_GET_CODE_VERSION_STATUS && request != FSACTL_GET_PCI_BUS_SLOT)
            return below_.ioctl(fd, request, arg);
        uint8_t record[kDriverRecordBytes];
        std::memset(record, 0xEE, sizeof record);
        faPutLe32(record, 2);
        faPutLe32(record + 4, 3);
        std::memcpy(arg, record, sizeof record);
        return 0;
    }

private:
    HostIo& below_;
};

TEST_F(DriverChannelTest, TheDriversWholeRecordsFitTheirBuffers)
{
    startSimulator("adapters = 1\n[hostsim]\npersist = 0\n");
    FSAAPI_CONTEXT ctx;
    ASSERT_EQ(faos_OpenChannelToAdapter(&ctx, L"ulb0"), 1);
    {
        WholeRecordDriver driver(hostIo());
        ScopedHostIo scope(driver);
        FSA_CODE_VERSION_STATUS verdict = 9;
        EXPECT_EQ(faos_GetVersionStatus(&ctx, &verdict), 1u);
        EXPECT_EQ(verdict, 1u);
        short bus = 0, slot = 0;
        faos_GetPCIBusAndSlotInfo(&ctx, &bus, &slot);
        EXPECT_EQ(bus, 2);
        EXPECT_EQ(slot, 3);
    }
    faos_CloseChannelToAdapter(&ctx);
}

TEST_F(DriverChannelTest, PciLocationUnlessThereIsNoHostDriver)
{
    startSimulator("adapters = 1\n[adapter0]\npci_bus = 12\npci_slot = 3\n[hostsim]\npersist = 0\n");
    FSAAPI_CONTEXT ctx;
    ASSERT_EQ(faos_OpenChannelToAdapter(&ctx, L"ulb0"), 1);
    short bus = 0, slot = 0;
    faos_GetPCIBusAndSlotInfo(&ctx, &bus, &slot);
    EXPECT_EQ(bus, 12);
    EXPECT_EQ(slot, 3);

    EXPECT_FALSE(PCK_HasNoHostDriver(&ctx));
    ctx.remoteAdapter = 1;
    EXPECT_TRUE(PCK_HasNoHostDriver(&ctx));
    ctx.driverHandleWord = 5;
    EXPECT_FALSE(PCK_HasNoHostDriver(&ctx));
    ctx.driverHandleWord = 0;
    sim().clearRequests();
    bus = slot = 42;
    faos_GetPCIBusAndSlotInfo(&ctx, &bus, &slot);
    EXPECT_EQ(bus, 42);
    EXPECT_TRUE(sim().requests().empty());
    ctx.remoteAdapter = 0;

    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x4211c", "errno = 25"}));
    faos_GetPCIBusAndSlotInfo(&ctx, &bus, &slot);
    EXPECT_EQ(bus, -1);
    EXPECT_EQ(slot, -1);
    faos_CloseChannelToAdapter(&ctx);
}

TEST_F(DriverChannelTest, PlatformStubsAnswerFixedValues)
{
    FSAAPI_CONTEXT ctx;
    EXPECT_EQ(faos_CheckAdapterAccess(&ctx, FSA_ACC_READ_WRITE), 1);
    EXPECT_EQ(faos_GetPartnerAdapterInfo(&ctx), 0);
    EXPECT_EQ(faos_OpenClusterPartnerAdapter(&ctx), 1);
    EXPECT_EQ(faos_GrantThreadOwnership(3), 1);
    EXPECT_EQ(RevGetExternalRev(), 0x05020400u);
    EXPECT_EQ(RevGetFullRevision().buildNumber, 18757u);
}

}  // namespace
