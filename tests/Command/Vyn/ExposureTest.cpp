#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/os/faux_ctrprep.h"
#include "Command/Vyn/os/faux_mutex.h"
#include "FsaContextTest.h"
#include "ContextMutexHolder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using vyn::hostsim::Fault;

constexpr const char kContainers[] =
    "adapters = 1\n"
    "[adapter0]\n"
    "drive0 = 0:0 sas 146G\ndrive1 = 0:1 sas 146G\ndrive2 = 0:2 sas 146G\ndrive3 = 0:3 sas 146G\n"
    "drive4 = 0:4 sas 146G\ndrive5 = 0:5 sas 146G\ndrive6 = 0:6 sas 146G\ndrive7 = 0:7 sas 146G\n"
    "drive8 = 0:8 sas 146G\n"
    "ld0 = raid5 0:0,0:1,0:2\n"
    "ld1 = raid1 0:3,0:4 host=open\n"
    "ld2 = raid0 0:5 host=deleted\n"
    "ld3 = raid0 0:6 host=none\n"
    "ld4 = raid0 0:7 host=unmapped\n";

class ExposureTest : public vyntest::FsaContextTest {
protected:
    FSAAPI_CONTEXT* start(const std::string& description = kContainers)
    {
        startSimulator(description);
        sim().setSleepScale(0);
        FSAAPI_CONTEXT* ctx = openContext();
        sim().clearRequests();
        return ctx;
    }

    size_t countRequests(const std::string& prefix)
    {
        size_t n = 0;
        for (const std::string& l : sim().requestLines())
            n += l.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        return n;
    }

    std::string specialFile(FSAAPI_CONTEXT* ctx, unsigned container)
    {
        char out[48];
        return faos_ContainerSpecialFile(ctx->apiHandle, nullptr, out, container);
    }
};

TEST_F(ExposureTest, UsageOfEachHostState)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(faos_CtrGetUsage(ctx, 0), FSA_CU_UX_VALID);
    EXPECT_EQ(faos_CtrGetUsage(ctx, 2), FSA_CU_UX_DELETED);
    // Deleted wins over valid.
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x173", "poke = 16:4=1"}));
    EXPECT_EQ(faos_CtrGetUsage(ctx, 2), FSA_CU_UX_DELETED);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x173", "poke = 16:4=0"}));
    EXPECT_EQ(faos_CtrGetUsage(ctx, 0), FSA_CU_UX_UNKNOWN);
    EXPECT_EQ(faos_CtrGetUsage(ctx, 3), FSA_CU_UX_UNKNOWN);
    EXPECT_EQ(faos_CtrGetUsage(ctx, 4), FSA_CU_UX_UNMAPPED);
    EXPECT_EQ(countRequests("ulb0 0x173"), 6u);
    // At or above the limit there is no host disk to ask about.
    sim().clearRequests();
    EXPECT_EQ(faos_CtrGetUsage(ctx, 32), FSA_CU_NONE);
    EXPECT_EQ(countRequests("ulb0 0x173"), 0u);
}

TEST_F(ExposureTest, AContainerTheHostKeepsOpenIsAskedFiveTimesMore)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    const uint64_t before = sim().clockMs();
    EXPECT_EQ(faos_CtrGetUsage(ctx, 1), FSA_CU_UX_OPEN);
    EXPECT_EQ(countRequests("ulb0 0x173"), 6u);
    EXPECT_EQ(sim().clockMs() - before, 5000u);
    // Open on the host: no removal unless forced.
    try {
        delete faos_PrepareCtrForRemoval(ctx, 1, 1, 0);
        ADD_FAILURE() << "removal of an open container was prepared";
    } catch (FSA_STATUS status) {
        EXPECT_EQ(status, 480u);
    }
    std::unique_ptr<FAOS_CTR_REMOVE> state(faos_PrepareCtrForRemoval(ctx, 1, 1, 1));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->container, 1);
    EXPECT_EQ(state->force, 1);
}

TEST_F(ExposureTest, FailedQueryThrows)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x173", "errno = 5"}));
    EXPECT_THROW(faos_CtrGetUsage(ctx, 0), FSA_STATUS);
}

TEST_F(ExposureTest, SpecialFilesFromTheDiskScanAndFromSysfs)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(sim().diskOf(0, 0), "sdb");
    EXPECT_EQ(specialFile(ctx, 0), "/dev/sdb");
    EXPECT_EQ(specialFile(ctx, 32), "");
    EXPECT_EQ(specialFile(ctx, 3), "");
    // An unmapped container is found through the host's listing.
    std::filesystem::create_directories(hostFile("/sys/class/scsi_host/host1/device/1:0:4:0/block/sdf"));
    EXPECT_EQ(specialFile(ctx, 4), "/dev/sdf");
    std::filesystem::remove_all(hostFile("/sys/class/scsi_host/host1/device/1:0:4:0"));
    std::filesystem::create_directories(hostFile("/sys/class/scsi_host/host1/device/target1:0:4/1:0:4:0/block/sdg"));
    EXPECT_EQ(specialFile(ctx, 4), "/dev/sdg");
}

TEST_F(ExposureTest, ExposingWritesTheScanFileOrTheProcLine)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    faos_ExposeCtrToOs(ctx, 3, 0);
    EXPECT_EQ(vyntest::readFile(hostFile("/sys/class/scsi_host/host1/scan")), "0 3 0\n");
    EXPECT_EQ(sim().diskOf(0, 3), "sdd");
    EXPECT_EQ(sim().rereadCount(), 1u);
    EXPECT_EQ(faos_CtrGetUsage(ctx, 3), FSA_CU_UX_VALID);

    faos_UnExposeCtrToOs(ctx, 0);
    std::filesystem::remove(hostFile("/sys/class/scsi_host/host1/scan"));
    faos_ExposeCtrToOs(ctx, 0, 1);
    EXPECT_EQ(vyntest::readFile(hostFile("/proc/scsi/scsi")), "scsi add-single-device 1 0 0 0\n");
    EXPECT_NE(sim().diskOf(0, 0), "");
    faos_UnExposeCtrToOs(ctx, 0);
    EXPECT_EQ(sim().diskOf(0, 0), "");
}

TEST_F(ExposureTest, RemovalRetriesABusyDisk)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x163", "errno = 16", 0, 4}));
    faos_CtrRemovalComplete(ctx, 0, 0, nullptr);
    EXPECT_EQ(countRequests("ulb0 0x163"), 5u);
    EXPECT_EQ(sim().diskOf(0, 0), "");
    EXPECT_EQ(faos_CtrGetUsage(ctx, 0), FSA_CU_UX_DELETED);

    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x163", "errno = 16", 0, 5}));
    sim().clearRequests();
    EXPECT_THROW(faos_CtrRemovalComplete(ctx, 1, 0, nullptr), FSA_STATUS);
    EXPECT_EQ(countRequests("ulb0 0x163"), 5u);
}

TEST_F(ExposureTest, SnapshotTypes)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    const FAOS_COW_INFO cow{};
    for (int type : {0, 1, 6, 99}) {
        try {
            faos_TakeContainerSnapshot(ctx, static_cast<FAOS_SNAPSHOT_TYPE>(type), &cow, 0, 1);
            ADD_FAILURE() << type;
        } catch (FSA_STATUS status) {
            EXPECT_EQ(status, 31u) << type;
        }
    }
}

TEST_F(ExposureTest, SnapshotsCarryTheirCopyWordsAndTheLastFlag)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    std::vector<std::vector<uint8_t>> sent;
    sim().addCtHandler(104, [&sent](vyn::hostsim::ControllerState&, const vyn::hostsim::CtRequest& q,
                                     vyn::hostsim::CtReply& r) {
        sent.emplace_back(q.input, q.input + q.inputSize);
        r.status = 232;
    });
    // Type 4 flushes the container around the command, type 5 pauses it
    // (copy word 3) and marks the snapshot the last one.
    struct Case {
        int type;
        FAOS_COW_INFO cow;
        uint32_t last;
    };
    const Case cases[] = {{4, {{21, 22, 23, 0}}, 0}, {5, {{31, 32, 33, 1}}, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        sent.clear();
        faos_TakeContainerSnapshot(ctx, static_cast<FAOS_SNAPSHOT_TYPE>(c.type), &c.cow, 0, 3);
        ASSERT_EQ(sent.size(), 1u);
        ASSERT_GE(sent[0].size(), 28u);
        auto word = [&](size_t at) { return faGetLe32(sent[0].data() + at); };
        EXPECT_EQ(word(0), 0u);
        EXPECT_EQ(word(4), 3u);
        EXPECT_EQ(word(8), c.cow.word[2]);
        // The firmware takes copy words 1 and 0 in the opposite order.
        EXPECT_EQ(word(12), c.cow.word[0]);
        EXPECT_EQ(word(16), c.cow.word[1]);
        EXPECT_EQ(word(24), c.last);
    }
}

TEST_F(ExposureTest, MountTestReadsWholeLines)
{
    startSimulator("adapters = 1\n");
    EXPECT_EQ(faos_ContainerIsMounted("/dev/sdb"), 0);  // no mtab
    // The name straddles the first 1024 bytes of the file.
    std::string mtab = "rootfs / rootfs rw 0 0\n";
    mtab += std::string(1020 - mtab.size() - 1, 'x') + "\n";
    mtab += "/dev/sdb1 /data ext4 rw 0 0\n";
    ASSERT_EQ(mtab.find("/dev/sdb"), 1020u);
    vyntest::writeFile(hostFile("/etc/mtab"), mtab);
    EXPECT_EQ(faos_ContainerIsMounted("/dev/sdb"), 1);
    EXPECT_EQ(faos_ContainerIsMounted("/dev/sdc"), 0);
    EXPECT_EQ(faos_ContainerIsMounted(""), 0);
}

TEST_F(ExposureTest, ResetWritesTheHostsResetFile)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(faos_ResetController(ctx), 1u);
    EXPECT_EQ(vyntest::readFile(hostFile("/sys/class/scsi_host/host1/reset_host")), std::string("!\0", 2));
    EXPECT_EQ(sim().resetCount(0), 1u);

    std::filesystem::remove(hostFile("/sys/class/scsi_host/host1/reset_host"));
    EXPECT_EQ(faos_ResetController(ctx), 1u);  // neither file
    EXPECT_EQ(sim().resetCount(0), 1u);
    std::filesystem::create_directories(hostFile("/proc/scsi/ulbraid"));
    vyntest::writeFile(hostFile("/proc/scsi/ulbraid/1"), "");
    EXPECT_EQ(faos_ResetController(ctx), 1u);
    EXPECT_EQ(vyntest::readFile(hostFile("/proc/scsi/ulbraid/1")), std::string("reset_host!\0", 12));
    EXPECT_EQ(sim().resetCount(0), 2u);

    std::filesystem::create_directories(hostFile("/sys/class/scsi_host/host1/reset_host"));
    EXPECT_EQ(faos_ResetController(ctx), 162u);
}

TEST_F(ExposureTest, JbodSupportOfTheDriver)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(faos_OsAndDriverSupport64BitLBA(ctx), 1);
    EXPECT_EQ(ctx->featureEnable & 0x80, 0u);
    vyntest::writeFile(hostFile("/sys/class/scsi_host/host1/flags"), "SUPPORTED_JBOD\n");
    EXPECT_EQ(faos_OsAndDriverSupport64BitLBA(ctx), 1);
    EXPECT_EQ(ctx->featureEnable & 0x80, 0x80u);
    EXPECT_EQ(ctx->jbodSupported, 1);
}

TEST_F(ExposureTest, JbodSupportOnTheProcfsRoad)
{
    FSAAPI_CONTEXT* ctx = start("adapters = 1\n[driver]\nsysfs = 0\n[adapter0]\njbod_driver = 1\n");
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(faos_OsAndDriverSupport64BitLBA(ctx), 1);
    EXPECT_EQ(ctx->featureEnable & 0x80, 0x80u);
}

TEST_F(ExposureTest, ContainerIdentifiersAndHooksOfOtherHosts)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    ctx->adapterIdentityWord = 0x30315356;
    tag_FSA_CONTAINER id;
    CT_GetStandardID(ctx, &id, 7);
    EXPECT_EQ(id.number, 7u);
    EXPECT_EQ(id.adapterWord, 0x30315356u);
    EXPECT_EQ(CT_GetInternalID(&id), 7u);
    EXPECT_EQ(faos_CtrValid(ctx, 3), 1);
    EXPECT_EQ(faos_CtrIsSystemBootDevice(ctx, 1, 2), 0);
    EXPECT_EQ(faos_updateDriveLetter(ctx, 'q'), 'q');
    int extension = 5;
    EXPECT_EQ(faos_GetMaxExtensionForFileSys(ctx, 0, &extension), -1);
    EXPECT_EQ(extension, 0);
    EXPECT_EQ(faos_PrepareCtrForChange(ctx, 0), 0);
}

// The exports on an adapter handle: the OS layer's work, its statuses
// passed on, and the removal state handed to the caller.
TEST_F(ExposureTest, HandleExportsRemoveAndExpose)
{
    FSAAPI_CONTEXT* ctx = start(std::string(kContainers) + "ld5 = raid0 0:8 host=none\n");
    ASSERT_NE(ctx, nullptr);
    void* h = handleOf(ctx);
    EXPECT_EQ(FsaExposeCtrToOs(h, 3, 0), FSA_STS_SUCCESS);
    EXPECT_NE(sim().diskOf(0, 3), "");

    // The host keeps container 1 open: refused unless forced.
    FAOS_CTR_REMOVE_BASE* out = reinterpret_cast<FAOS_CTR_REMOVE_BASE*>(uintptr_t{1});
    EXPECT_EQ(FsaPrepareCtrForRemoval(h, 1, 1, 0, &out), FSA_STS_UX_DISK_OPEN);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(FsaPrepareCtrForRemoval(h, 1, 1, 1, &out), FSA_STS_SUCCESS);
    std::unique_ptr<FAOS_CTR_REMOVE_BASE> state(out);
    const FAOS_CTR_REMOVE* removal = dynamic_cast<const FAOS_CTR_REMOVE*>(out);
    ASSERT_NE(removal, nullptr);
    EXPECT_EQ(removal->container, 1);
    EXPECT_EQ(removal->force, 1);
    EXPECT_EQ(FsaCtrRemovalComplete(h, 1, 0, out), FSA_STS_SUCCESS);
    EXPECT_EQ(sim().diskOf(0, 1), "");
    EXPECT_EQ(faos_CtrGetUsage(ctx, 1), FSA_CU_UX_DELETED);

    // A disk that stays busy: the OS layer's failure comes back.
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x163", "errno = 16", 0, 5}));
    EXPECT_EQ(FsaCtrRemovalComplete(h, 0, 0, nullptr), FSA_STS_UX_IOCTL_FAILED);
    EXPECT_NE(sim().diskOf(0, 0), "");

    // A change keeps no state on this host; its completion exposes the container.
    FAOS_CTR_CHANGE_BASE* change = reinterpret_cast<FAOS_CTR_CHANGE_BASE*>(uintptr_t{1});
    EXPECT_EQ(FsaPrepareCtrForChange(h, 5, &change), FSA_STS_SUCCESS);
    EXPECT_EQ(change, nullptr);
    EXPECT_EQ(sim().diskOf(0, 5), "");
    EXPECT_EQ(FsaCtrChangeComplete(h, 5, 0, change), FSA_STS_SUCCESS);
    EXPECT_NE(sim().diskOf(0, 5), "");
}

TEST_F(ExposureTest, HandleExportsRefuseUnknownHandlesAndMissingOutputs)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    void* unknown = reinterpret_cast<void*>(uintptr_t{77});
    FAOS_CTR_REMOVE_BASE* out = reinterpret_cast<FAOS_CTR_REMOVE_BASE*>(uintptr_t{1});
    FAOS_CTR_CHANGE_BASE* change = reinterpret_cast<FAOS_CTR_CHANGE_BASE*>(uintptr_t{1});
    EXPECT_EQ(FsaPrepareCtrForRemoval(unknown, 0, 1, 0, &out), FSA_STS_INVALID_HANDLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(FsaCtrRemovalComplete(unknown, 0, 0, nullptr), FSA_STS_INVALID_HANDLE);
    EXPECT_EQ(FsaExposeCtrToOs(unknown, 3, 0), FSA_STS_INVALID_HANDLE);
    EXPECT_EQ(FsaPrepareCtrForChange(unknown, 0, &change), FSA_STS_INVALID_HANDLE);
    EXPECT_EQ(change, nullptr);
    EXPECT_EQ(FsaCtrChangeComplete(unknown, 0, 0, nullptr), FSA_STS_INVALID_HANDLE);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(sim().diskOf(0, 3), "");

    void* h = handleOf(ctx);
    EXPECT_EQ(FsaPrepareCtrForRemoval(h, 0, 1, 0, nullptr), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(FsaPrepareCtrForChange(h, 0, nullptr), FSA_STS_BAD_PARAMETER);
}

TEST_F(ExposureTest, WithoutAHostDriverRemovalIsLeftAlone)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    ctx->remoteAdapter = 1;
    ctx->driverHandleWord = 0;
    void* h = handleOf(ctx);
    FAOS_CTR_REMOVE_BASE* out = reinterpret_cast<FAOS_CTR_REMOVE_BASE*>(uintptr_t{1});
    EXPECT_EQ(FsaPrepareCtrForRemoval(h, 1, 1, 0, &out), FSA_STS_SUCCESS);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(FsaCtrRemovalComplete(h, 0, 0, nullptr), FSA_STS_SUCCESS);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_NE(sim().diskOf(0, 0), "");
    ctx->remoteAdapter = 0;
}

TEST_F(ExposureTest, HandleExportsPassNoGateAndNoContextLock)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    void* h = handleOf(ctx);
    // Container operations call them while they hold the context mutex; a
    // read-only or paused session may call them as well.
    ctx->accessMode = FSA_ACC_READ_ONLY;
    ctx->paused = 1;
    vyntest::ContextMutexHolder holder(ctx);
    EXPECT_EQ(FsaExposeCtrToOs(h, 3, 0), FSA_STS_SUCCESS);
    FAOS_CTR_CHANGE_BASE* change = nullptr;
    EXPECT_EQ(FsaPrepareCtrForChange(h, 3, &change), FSA_STS_SUCCESS);
    EXPECT_EQ(FsaCtrChangeComplete(h, 3, 0, change), FSA_STS_SUCCESS);
    FAOS_CTR_REMOVE_BASE* out = nullptr;
    EXPECT_EQ(FsaPrepareCtrForRemoval(h, 3, 1, 0, &out), FSA_STS_SUCCESS);
    std::unique_ptr<FAOS_CTR_REMOVE_BASE> state(out);
    EXPECT_EQ(FsaCtrRemovalComplete(h, 3, 0, out), FSA_STS_SUCCESS);
    holder.release();
    EXPECT_EQ(sim().diskOf(0, 3), "");
    ctx->paused = 0;
    ctx->accessMode = FSA_ACC_READ_WRITE;
}

TEST_F(ExposureTest, NoControllerHoldsTheBootDevice)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    int flag = 7;
    EXPECT_EQ(FsaCtrIsSystemBootDevice(ctx, 0, &flag), FSA_STS_SUCCESS);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(FsaCtrIsSystemBootDevice(ctx, 0, nullptr), FSA_STS_BAD_PARAMETER);
    EXPECT_TRUE(sim().requests().empty());
}

}  // namespace
