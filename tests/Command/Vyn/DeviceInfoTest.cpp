// Physical device information and SMART data over the simulator's device
// records: the walk, direct lookups, the channel-mode filters and the fields
// written only under a condition.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_status.h"
#include "Command/Vyn/common/fa_vynio.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr const char* kBase = "adapters = 1\nhostsim.persist = 0\n";
constexpr uint32_t kNone = 0xFFFFFFFFu;
// Channel 1 of the second mode: both option word 1 bits of the open.
constexpr const char* kSecondModeBus1 = "adapter0.option_word1 = 0x000D6820\n";

FSA_STORAGE_DEVICE at(uint8_t bus, uint8_t target, uint8_t lun = 0)
{
    FSA_STORAGE_DEVICE d{};
    d.busNumber = bus;
    d.targetId = target;
    d.lun = lun;
    return d;
}

std::string addressOf(const FSA_STORAGE_DEVICE& d)
{
    return std::to_string(d.busNumber) + ":" + std::to_string(d.targetId) + ":" + std::to_string(d.lun);
}

class DeviceInfoTest : public vyntest::OpenSessionTest {
protected:
    void* openWith() { return handle_ = openAgain(FSA_ACC_READ_ONLY); }
    void* openFixture(const std::string& name)
    {
        startFixture(name);
        return openWith();
    }
    void* open(const std::string& description) { return handle_ = start(description, FSA_ACC_READ_ONLY); }
    FSAAPI_CONTEXT* ctx() { return UtilGetContextFromHandle(handle_); }
    const uint8_t* record(size_t index) { return ctx()->vynIoConfig->phyDevs().at(index)->record.bytes; }

    // Every address a `next` walk visits, and the status that ends it.
    std::pair<std::vector<std::string>, FSA_STATUS> walk(FSA_STATUS (*query)(void*, int, const FSA_STORAGE_DEVICE*,
                                                                             FSA_STORAGE_DEVICE_INFO*))
    {
        std::vector<std::string> seen;
        FSA_STORAGE_DEVICE_INFO info{};
        const FSA_STORAGE_DEVICE* previous = nullptr;
        FSA_STATUS status;
        while ((status = query(handle_, 1, previous, &info)) == FSA_STS_SUCCESS && seen.size() < 1024) {
            seen.push_back(addressOf(info.address));
            previous = &info.address;
        }
        return {seen, status};
    }
    // The record of the device at bus:target in a buffer prefilled with 0xAA.
    FSA_STORAGE_DEVICE_INFO prefilledInfo(uint8_t bus, uint8_t target)
    {
        FSA_STORAGE_DEVICE_INFO info;
        std::memset(&info, 0xAA, sizeof info);
        const FSA_STORAGE_DEVICE d = at(bus, target);
        EXPECT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &d, &info), FSA_STS_SUCCESS);
        return info;
    }
    // The targets a SMART walk answers, -1 for a device without SMART data.
    std::vector<int> smartWalk()
    {
        std::vector<int> targets;
        FSA_SMART_DATA smart{};
        const FSA_STORAGE_DEVICE* previous = nullptr;
        FSA_STORAGE_DEVICE cursor{};
        while (FsaGetSmartDeviceInfo(handle_, 1, previous, &smart) == FSA_STS_SUCCESS && targets.size() < 8) {
            targets.push_back(smart.smartEnabled ? smart.address.targetId : -1);
            cursor = smart.address;
            previous = &cursor;
        }
        return targets;
    }
    unsigned enclosureRequests(uint32_t commandWord)
    {
        unsigned n = 0;
        for (const Request& r : sim().requests())
            if (r.isFib && r.hasClass && r.fibClass == 12 && r.ct == commandWord)
                ++n;
        return n;
    }

    void* handle_ = nullptr;
};

TEST_F(DeviceInfoTest, NextWalkVisitsEveryDriveThenEnds)
{
    ASSERT_NE(openFixture("four-drives.conf"), nullptr);
    const auto [seen, end] = walk(FsaGetStorageDeviceInfo);
    EXPECT_EQ(seen, (std::vector<std::string>{"0:0:0", "0:1:0", "0:2:0", "0:3:0"}));
    EXPECT_EQ(end, FSA_STS_NO_MORE_DEVICES);
    // The walk reads the model alone: nothing reaches the controller.
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(DeviceInfoTest, AWalkOverMoreDrivesThanOneReplyHolds)
{
    // 150 handles take a long reply of the device list.
    std::string description = "adapter0.bus0 = sas 128\nadapter0.bus1 = sas 128\n";
    std::vector<std::string> expected;
    for (unsigned i = 0; i < 150; ++i) {
        const std::string address = std::to_string(i / 100) + ":" + std::to_string(i % 100);
        description += "adapter0.drive" + std::to_string(i) + " = " + address + " sas 146G\n";
        expected.push_back(address + ":0");
    }
    ASSERT_NE(open(description), nullptr);
    const auto [seen, end] = walk(FsaGetStorageDeviceInfo);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(end, FSA_STS_NO_MORE_DEVICES);
}

TEST_F(DeviceInfoTest, LookupsByAddress)
{
    ASSERT_NE(openFixture("four-drives.conf"), nullptr);
    struct Case {
        const char* what;
        int next;
        bool withDevice;
        FSA_STORAGE_DEVICE device;
        FSA_STATUS status;
        const char* answered;
    };
    const Case cases[] = {
        {"a drive of the model", 0, true, at(0, 2), FSA_STS_SUCCESS, "0:2:0"},
        {"an address the model does not hold", 0, true, at(0, 9), FSA_STS_NO_MORE_DEVICES, nullptr},
        {"a LUN the model does not hold", 0, true, at(0, 1, 1), FSA_STS_NO_MORE_DEVICES, nullptr},
        {"a bus beyond the channel count", 0, true, at(1, 0), FSA_STS_BAD_BUS, nullptr},
        {"no device", 0, false, {}, FSA_STS_BAD_PARAMETER, nullptr},
        {"the walk from the last drive", 1, true, at(0, 3), FSA_STS_NO_MORE_DEVICES, nullptr},
        {"a walk cursor not in the model", 1, true, at(0, 9), FSA_STS_NO_MORE_DEVICES, nullptr},
        {"the walk from the first drive", 1, true, at(0, 0), FSA_STS_SUCCESS, "0:1:0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FSA_STORAGE_DEVICE_INFO info{};
        EXPECT_EQ(FsaGetStorageDeviceInfo(handle_, c.next, c.withDevice ? &c.device : nullptr, &info), c.status);
        if (c.answered != nullptr) {
            EXPECT_EQ(addressOf(info.address), c.answered);
        }
    }
    EXPECT_EQ(FsaGetDeviceIndex(handle_, nullptr, 1), 0u);
    const FSA_STORAGE_DEVICE third = at(0, 2);
    EXPECT_EQ(FsaGetDeviceIndex(handle_, &third, 0), 2u);
    EXPECT_EQ(FsaGetDeviceIndex(handle_, &third, 1), 3u);
    const FSA_STORAGE_DEVICE absent = at(0, 7);
    EXPECT_EQ(FsaGetDeviceIndex(handle_, &absent, 1), kNone);
    EXPECT_EQ(FsaGetDeviceIndex(handle_, nullptr, 0), kNone);
}

TEST_F(DeviceInfoTest, ALunWithAHighWordIsNeverMatched)
{
    // The first drive's record says LUN 1 << 32.
    startFixture("four-drives.conf");
    ASSERT_TRUE(sim().addFault(0, {"ct 248", "poke = 60:4=1"}));
    ASSERT_NE(openWith(), nullptr);
    FSA_STORAGE_DEVICE_INFO info{};
    const FSA_STORAGE_DEVICE first = at(0, 0);
    EXPECT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &first, &info), FSA_STS_NO_MORE_DEVICES);
    EXPECT_EQ(FsaGetDeviceIndex(handle_, &first, 0), kNone);
    const FSA_STORAGE_DEVICE second = at(0, 1);
    EXPECT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &second, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(info.address.targetId, 1);
}

TEST_F(DeviceInfoTest, RecordOfTheFirstDrive)
{
    ASSERT_NE(openFixture("four-drives.conf"), nullptr);
    const FSA_STORAGE_DEVICE_INFO info = prefilledInfo(0, 0);
    const uint8_t* r = record(0);
    EXPECT_EQ(info.address.busNumber, 0);
    EXPECT_EQ(info.address.targetId, 0);
    EXPECT_EQ(info.address.lun, 0);
    EXPECT_EQ(info.address.storageDeviceType, 3u);  // SAS attachment
    EXPECT_EQ(info.address.adapterSerial, 0x30315356u);
    // 146G in 512-byte blocks; usable: less 128 at the start and 2048 at the
    // end, in whole 128-block units.
    const uint64_t blocks = 146ull << 21;
    const uint64_t usable = (blocks - 128 - 2048) / 128 * 128;
    EXPECT_EQ(info.numBlocksLow, static_cast<uint32_t>(blocks));
    EXPECT_EQ(info.numBlocksHigh, 0u);
    EXPECT_EQ(info.numUsableBlocksLow, static_cast<uint32_t>(usable));
    EXPECT_EQ(info.maxUsableBlocksLow, static_cast<uint32_t>(usable));
    EXPECT_EQ(info.numUsableBlocksHigh, 0u);
    EXPECT_EQ(info.bytesPerBlock, 512u);
    EXPECT_EQ(r[68], 0x50);  // managed and initialised
    EXPECT_EQ(info.storageDeviceUsage, 1u);
    EXPECT_EQ(info.storageDeviceClass, 0u);
    EXPECT_EQ(info.adapterManaged, 1u);
    EXPECT_EQ(info.stdDevType, 0u);
    EXPECT_EQ(info.removableMedia, 0u);
    EXPECT_EQ(std::string(info.vendorId, 8), "VYNSIM  ");
    EXPECT_EQ(std::string(info.serialNumber, 20), std::string(reinterpret_cast<const char*>(r + 116), 20));
    EXPECT_EQ(info.diskCacheSetting, 2u);
    EXPECT_EQ(info.scsiVersion, 3u);
    EXPECT_EQ(info.deviceHandle, 0u);
    uint64_t bigEndian = 0;
    for (int i = 0; i < 8; ++i)
        bigEndian = bigEndian << 8 | r[288 + i];
    EXPECT_NE(bigEndian, 0u);
    EXPECT_EQ(info.fingerprint, bigEndian);
    // Below the enclosure version nothing is asked and the slot bytes stay.
    EXPECT_EQ(info.rawSlotNumber, 0xAA);
    EXPECT_EQ(info.enclNvsramIndex, 0xAA);
    EXPECT_EQ(enclosureRequests(9u << 16), 0u);
}

TEST_F(DeviceInfoTest, EachAnswerLogsTheDevicesStateWords)
{
    ASSERT_NE(openFixture("four-drives.conf"), nullptr);
    vyntest::writeFile(hostFile("/var/log/fsaapi.txt"), "");
    prefilledInfo(0, 2);
    const std::string log = vyntest::readFile(hostFile("/var/log/fsaapi.txt"));
    EXPECT_NE(log.find(" FsaNewApiInternalGetStorageDeviceInfo b:0  l:0 t:2  state:" +
                       std::to_string(faGetLe32(record(2) + 352)) + "  opts:0\n"),
              std::string::npos)
        << log;
}

TEST_F(DeviceInfoTest, FieldsMappedFromTheRecord)
{
    // Drive I carries the variant of case I.
    struct Case {
        const char* drive;
        uint32_t kind;
        uint32_t cacheSetting;
        uint32_t deviceClass;
        uint32_t usage;
        bool sasFingerprint;
    };
    const Case cases[] = {
        {"0:0 sas 3T cache=1", 3, 2, 0, 1, true},
        {"0:1 sata 500G cache=2", 2, 3, 0, 1, false},
        {"0:2 sas 146G cache=3 flags=0x51", 3, 4, 2, 3, true},
        {"0:3 sas 146G cache=4 flags=0x10", 3, 0, 0, 0, true},
        {"0:4 sas 146G cache=0 kind=4 flags=0x40", 4, 0, 0, 0, false},
        {"0:5 sas 146G kind=1", 0, 2, 0, 1, false},
        {"0:6 sas 146G kind=7", 1, 2, 0, 1, false},
    };
    std::string description;
    for (size_t i = 0; i < std::size(cases); ++i)
        description += "adapter0.drive" + std::to_string(i) + " = " + cases[i].drive + "\n";
    ASSERT_NE(open(description), nullptr);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.drive);
        FSA_STORAGE_DEVICE_INFO info{};
        const FSA_STORAGE_DEVICE d = at(0, static_cast<uint8_t>(i));
        ASSERT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &d, &info), FSA_STS_SUCCESS);
        const uint8_t* r = record(i);
        EXPECT_EQ(info.address.storageDeviceType, c.kind);
        EXPECT_EQ(info.diskCacheSetting, c.cacheSetting);
        EXPECT_EQ(info.storageDeviceClass, c.deviceClass);
        EXPECT_EQ(info.storageDeviceUsage, c.usage);
        uint64_t expected = 0;
        if (c.sasFingerprint) {
            for (int b = 0; b < 8; ++b)
                expected = expected << 8 | r[288 + b];
        } else {
            expected = static_cast<uint64_t>(faGetLe32(r + 76)) << 32 | faGetLe32(r + 72);
        }
        EXPECT_EQ(info.fingerprint, expected);
    }
    // A drive past 2 TiB: the high words sit apart from the low ones.
    FSA_STORAGE_DEVICE_INFO big{};
    const FSA_STORAGE_DEVICE first = at(0, 0);
    ASSERT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &first, &big), FSA_STS_SUCCESS);
    const uint64_t blocks = 3ull << 31;
    const uint64_t usable = (blocks - 128 - 2048) / 128 * 128;
    EXPECT_EQ(big.numBlocksLow, static_cast<uint32_t>(blocks));
    EXPECT_EQ(big.numBlocksHigh, static_cast<uint32_t>(blocks >> 32));
    EXPECT_EQ(big.numUsableBlocksHigh, static_cast<uint32_t>(usable >> 32));
    EXPECT_EQ(big.maxUsableBlocksHigh, static_cast<uint32_t>(usable >> 32));
    EXPECT_EQ(big.numUsableBlocksLow, static_cast<uint32_t>(usable));
}

TEST_F(DeviceInfoTest, ConditionalFieldsKeepTheCallersBytes)
{
    struct Case {
        const char* what;
        const char* optionWord3;
        bool stateWords;
        bool cachePool;
    };
    const Case cases[] = {
        {"neither 0x4 nor 0x40", "0x398", false, false},
        {"0x4 and 0x40", "0x3DC", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(open(std::string("adapter0.option_word3 = ") + c.optionWord3 +
                       "\nadapter0.drive0 = 0:0 ssd 120G flags2=0x1B\n"),
                  nullptr);
        const FSA_STORAGE_DEVICE_INFO info = prefilledInfo(0, 0);
        const uint8_t* r = record(0);
        EXPECT_EQ(info.firmwareState, c.stateWords ? faGetLe32(r + 352) : 0u);
        EXPECT_EQ(info.firmwareOptions, c.stateWords ? faGetLe32(r + 356) : 0xAAAAAAAAu);
        EXPECT_EQ(info.orvexaCapable, c.cachePool ? 1u : 0xAAAAAAAAu);
        EXPECT_EQ(info.orvexaAssigned, c.cachePool ? 1u : 0xAAAAAAAAu);
        // Both validity bits are set: the auxiliary state and ATA security.
        EXPECT_EQ(info.auxStateFlag, 1u);
        EXPECT_EQ(info.ataSecuritySupport, 1u);
        EXPECT_EQ(info.nonSpinning, 1u);
        EXPECT_EQ(info.sataNcqEnabled, 1u);
        for (uint8_t b : info.reserved)
            ASSERT_EQ(b, 0xAA);
        for (uint8_t b : info.tail)
            ASSERT_EQ(b, 0xAA);
        FsaCloseAdapter(handle_);
        handle_ = nullptr;
    }
}

TEST_F(DeviceInfoTest, InvalidatedStateFlagsReadZeroAndSecurityStays)
{
    // Validity word 0: the auxiliary state reads 0, ATA security is not written.
    startSimulator(std::string(kBase) + "adapter0.drive0 = 0:0 sata 500G flags2=0x18\n");
    ASSERT_TRUE(sim().addFault(0, {"ct 248", "poke = 32:4=0"}));
    ASSERT_NE(openWith(), nullptr);
    const FSA_STORAGE_DEVICE_INFO info = prefilledInfo(0, 0);
    EXPECT_EQ(info.auxStateFlag, 0u);
    EXPECT_EQ(info.ataSecuritySupport, 0xAAAAAAAAu);
}

TEST_F(DeviceInfoTest, SmartRecords)
{
    ASSERT_NE(open("adapter0.drive0 = 0:0 sas 146G smart.control=0x8D smart.mrie=4 smart.interval=300 "
                   "smart.reports=2 smart.errors=3\n"
                   "adapter0.drive1 = 0:1 sas 146G smart=0\n"),
              nullptr);
    FSA_SMART_DATA smart;
    std::memset(&smart, 0xAA, sizeof smart);
    const FSA_STORAGE_DEVICE first = at(0, 0);
    ASSERT_EQ(FsaGetSmartDeviceInfo(handle_, 0, &first, &smart), FSA_STS_SUCCESS);
    EXPECT_EQ(smart.smartEnabled, 1u);
    EXPECT_EQ(smart.address.targetId, 0);
    EXPECT_EQ(smart.address.storageDeviceType, 3u);
    EXPECT_EQ(smart.address.adapterSerial, 0xAAAAAAAAu);
    EXPECT_EQ(smart.mrie, 4u);
    EXPECT_EQ(smart.perf, 1u);
    EXPECT_EQ(smart.disableException, 1u);
    EXPECT_EQ(smart.testError, 1u);
    EXPECT_EQ(smart.logError, 1u);
    EXPECT_EQ(smart.intervalTimer, 300u);
    EXPECT_EQ(smart.reportCount, 2u);
    EXPECT_EQ(smart.errorCount, 3u);
    EXPECT_EQ(smart.reserved[0], 0xAAAAAAAAu);
    for (uint32_t w : smart.zero)
        EXPECT_EQ(w, 0u);

    // Without SMART data: found, disabled, and nothing else written.
    std::memset(&smart, 0xAA, sizeof smart);
    const FSA_STORAGE_DEVICE second = at(0, 1);
    ASSERT_EQ(FsaGetSmartDeviceInfo(handle_, 0, &second, &smart), FSA_STS_SUCCESS);
    EXPECT_EQ(smart.smartEnabled, 0u);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&smart);
    for (size_t i = 4; i < sizeof smart; ++i)
        ASSERT_EQ(bytes[i], 0xAA) << "byte " << i;

    const FSA_STORAGE_DEVICE absent = at(0, 5);
    EXPECT_EQ(FsaGetSmartDeviceInfo(handle_, 0, &absent, &smart), FSA_STS_NO_MORE_DEVICES);
    // A SMART walk keeps going past a drive without SMART data.
    EXPECT_EQ(smartWalk(), (std::vector<int>{0, -1}));
}

TEST_F(DeviceInfoTest, EnclosureSlotOfANewerDrive)
{
    // drive1 says version 4 and sits in slot 1 of the SES-2 enclosure.
    const std::string description =
        "adapter0.encl0 = ses2 0:8 slots=4 nvsram=7\n"
        "adapter0.drive0 = 0:0 sas 146G slot=none\n"
        "adapter0.drive1 = 0:1 sas 146G version=4\n";
    ASSERT_NE(open(description), nullptr);
    FSA_STORAGE_DEVICE_INFO info;
    std::memset(&info, 0xAA, sizeof info);
    const FSA_STORAGE_DEVICE drive = at(0, 1);
    ASSERT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &drive, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(info.scsiVersion, 4u);
    // The enclosure found the drive by bus << 24 | LUN << 16 | target.
    EXPECT_EQ(enclosureRequests(9u << 16), 1u);
    EXPECT_EQ(info.rawSlotNumber, 1);
    EXPECT_EQ(info.enclNvsramIndex, 7);

    // The enclosure device itself is no direct-access device: nothing asked.
    sim().clearRequests();
    const FSA_STORAGE_DEVICE enclosure = at(0, 8);
    ASSERT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &enclosure, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(info.stdDevType, 13u);
    EXPECT_EQ(enclosureRequests(9u << 16), 0u);
    EXPECT_EQ(info.rawSlotNumber, 255);
    EXPECT_EQ(info.enclNvsramIndex, record(2)[39]);

    // A drive the enclosure does not know, and a failing enclosure query:
    // 255 and the record's byte 39 stay.
    for (const char* fault : {"", "status = 21"}) {
        SCOPED_TRACE(fault);
        FSA_STORAGE_DEVICE d = at(0, 1);
        if (*fault != '\0')
            ASSERT_TRUE(sim().addFault(0, {"class12 0x90000", fault}));
        else
            d = at(0, 0);
        sim().clearRequests();
        std::memset(&info, 0xAA, sizeof info);
        FSA_STORAGE_DEVICE_INFO newer{};
        ASSERT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &d, &newer), FSA_STS_SUCCESS);
        if (*fault == '\0') {
            // drive0 is below the enclosure version: nothing asked.
            EXPECT_EQ(enclosureRequests(9u << 16), 0u);
            continue;
        }
        EXPECT_EQ(enclosureRequests(9u << 16), 1u);
        EXPECT_EQ(newer.rawSlotNumber, 255);
        EXPECT_EQ(newer.enclNvsramIndex, record(1)[39]);
    }
}

TEST_F(DeviceInfoTest, ChannelModesFilterWalksAndLookups)
{
    ASSERT_NE(open(std::string(kSecondModeBus1) +
                   "adapter0.bus0 = sas 16\nadapter0.bus1 = sas 16\n"
                   "adapter0.drive0 = 1:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                   "adapter0.drive2 = 1:2 sas 146G\nadapter0.drive3 = 0:3 sas 146G\n"),
              nullptr);
    ASSERT_EQ(ctx()->channelKind[1], 2u);
    auto [first, end1] = walk(FsaGetStorageDeviceInfo);
    EXPECT_EQ(first, (std::vector<std::string>{"0:1:0", "0:3:0"}));
    EXPECT_EQ(end1, FSA_STS_NO_MORE_DEVICES);
    auto [second, end2] = walk(FsaGetScsiStorageDeviceInfo);
    EXPECT_EQ(second, (std::vector<std::string>{"1:0:0", "1:2:0"}));
    EXPECT_EQ(end2, FSA_STS_NO_MORE_DEVICES);

    FSA_STORAGE_DEVICE_INFO info{};
    const FSA_STORAGE_DEVICE onSecond = at(1, 0);
    EXPECT_EQ(FsaGetStorageDeviceInfo(handle_, 0, &onSecond, &info), FSA_STS_WRONG_CHANNEL_MODE);
    EXPECT_EQ(FsaGetScsiStorageDeviceInfo(handle_, 0, &onSecond, &info), FSA_STS_SUCCESS);
    FSA_SMART_DATA smart{};
    EXPECT_EQ(FsaGetSmartDeviceInfo(handle_, 0, &onSecond, &smart), FSA_STS_WRONG_CHANNEL_MODE);
    // A SMART walk passes over the second mode's drives too.
    EXPECT_EQ(smartWalk(), (std::vector<int>{1, 3}));
}

TEST_F(DeviceInfoTest, DuplicateAddressesOnAPassedOverChannelEndTheWalk)
{
    // The second record repeats the first one's address on the second-mode
    // bus; a walk of the first mode must still end.
    startSimulator(std::string(kBase) + kSecondModeBus1 +
                   "adapter0.bus0 = sas 16\nadapter0.bus1 = sas 16\n"
                   "adapter0.drive0 = 1:0 sas 146G\nadapter0.drive1 = 1:1 sas 146G\n");
    Fault f{"ct 248", "poke = 48:4=0"};
    f.skip = 1;
    ASSERT_TRUE(sim().addFault(0, f));
    ASSERT_NE(openWith(), nullptr);
    ASSERT_EQ(ctx()->vynIoConfig->phyDevs().size(), 2u);
    ASSERT_EQ(faGetLe32(record(1) + 16), 0u);
    const auto [seen, end] = walk(FsaGetStorageDeviceInfo);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(end, FSA_STS_NO_MORE_DEVICES);
}

TEST_F(DeviceInfoTest, ABusBeyondTheModeTableIsPassedOver)
{
    ASSERT_NE(open("adapter0.drive0 = 20:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"), nullptr);
    const auto [seen, end] = walk(FsaGetStorageDeviceInfo);
    EXPECT_EQ(seen, (std::vector<std::string>{"0:1:0"}));
    EXPECT_EQ(end, FSA_STS_NO_MORE_DEVICES);
}

TEST_F(DeviceInfoTest, WithoutAModelNothingIsAnswered)
{
    ASSERT_NE(open("adapter0.option_word3 = 0x390\nadapter0.drive0 = 0:0 sas 146G\n"), nullptr);
    FSA_STORAGE_DEVICE_INFO info{};
    FSA_SMART_DATA smart{};
    EXPECT_EQ(FsaGetStorageDeviceInfo(handle_, 1, nullptr, &info), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaGetSmartDeviceInfo(handle_, 1, nullptr, &smart), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(FsaGetStorageDeviceInfo(nullptr, 1, nullptr, &info), FSA_STS_INVALID_HANDLE);
}

TEST_F(DeviceInfoTest, DeviceLocationAndHandleLookup)
{
    ASSERT_NE(openFixture("four-drives.conf"), nullptr);
    EXPECT_EQ(FsaGetPhyDevFromHandle(ctx(), 2), ctx()->vynIoConfig->phyDevs()[2]);
    EXPECT_EQ(FsaGetPhyDevFromHandle(ctx(), 0x77), nullptr);
    EXPECT_EQ(FsaGetPhyDevFromHandle(nullptr, 2), nullptr);

    const std::pair<uint8_t, uint32_t> kinds[] = {{1, 0}, {2, 2}, {3, 3}, {4, 4}, {0, 1}, {5, 1}, {255, 1}};
    for (const auto& [kind, type] : kinds) {
        VYNIO_PHYDEV_INFO_S r{};
        faPutLe32(r.bytes + 12, 0x103);  // only the low bytes are taken
        faPutLe32(r.bytes + 16, 0x205);
        faPutLe32(r.bytes + 24, 6);
        r.bytes[37] = kind;
        const FsaVynIoPhyDevInfo node(r);
        FSA_STORAGE_DEVICE out;
        std::memset(&out, 0xAA, sizeof out);
        FsaSetDeviceLocation(&node, &out);
        EXPECT_EQ(out.storageDeviceType, type) << "kind " << int(kind);
        EXPECT_EQ(out.busNumber, 3);
        EXPECT_EQ(out.targetId, 5);
        EXPECT_EQ(out.lun, 6);
        EXPECT_EQ(out.pad, 0xAA);
        EXPECT_EQ(out.adapterSerial, 0xAAAAAAAAu);
    }
}

}  // namespace
