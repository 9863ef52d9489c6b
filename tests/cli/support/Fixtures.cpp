#include "cli/support/Fixtures.h"

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/ModelText.h"
#include "common/Ret.h"

#include <cstring>
#include <utility>

namespace vyntest {

namespace {

constexpr unsigned long long BASIC_DRIVE_SECTORS = 286749488ull;
constexpr unsigned long long LD_SECTORS = 20480000ull;
constexpr int BASIC_DRIVE_COUNT = 4;

const FeatureEnum basicFeatures[] = {
    static_cast<FeatureEnum>(0),   static_cast<FeatureEnum>(1),   static_cast<FeatureEnum>(3),
    static_cast<FeatureEnum>(4),   static_cast<FeatureEnum>(5),   static_cast<FeatureEnum>(8),
    static_cast<FeatureEnum>(16),  static_cast<FeatureEnum>(26),  static_cast<FeatureEnum>(27),
    static_cast<FeatureEnum>(202), static_cast<FeatureEnum>(264), static_cast<FeatureEnum>(265),
    static_cast<FeatureEnum>(267),
};

// The model's constructors take writable texts, which they copy.
char vendorText[] = "VEND";
char diskModelText[] = "DISK";
char emptyText[] = "";

FixtureAdapter* buildBasic(System& root)
{
    FixtureAdapter* adapter = new FixtureAdapter;
    root.addChild(adapter);
    SATAChannel* channel = new SATAChannel(adapter, 0, static_cast<EnumSpeed>(301), BASIC_DRIVE_COUNT);
    adapter->addChild(channel);
    for (int i = 0; i < BASIC_DRIVE_COUNT; ++i) {
        const std::string serial = "d" + std::to_string(i);
        channel->addChild(new FixtureHardDrive(adapter, channel, static_cast<unsigned long>(i), serial.c_str()));
    }
    return adapter;
}

void addDataDrive(FixtureAdapter* adapter)
{
    FixtureLogicalDrive* drive = new FixtureLogicalDrive(adapter, 0, "Data", RAID_LEVEL_1, LD_SECTORS);
    for (unsigned long device = 0; device < 2; ++device) {
        HardDrive* member = adapter->getHardDrive(device);
        drive->addChild(new Chunk(member, drive, 0, LD_SECTORS, static_cast<EnumChunkType>(1), 0,
                                  CHUNK_STATE_NORMAL, device, 2));
    }
    adapter->addChild(drive);
}

}  // namespace

FixtureAdapter::FixtureAdapter()
    : Adapter(ADAPTER_TYPE_VYN, 0, CONTROLLER_STATUS_OPTIMAL, nullptr, nullptr, nullptr, 0x7FFFFFFF, false, 64,
              64, 64, 1, 64, 128, 1)
{
    setAdapterID(0);
    copyTextField(deviceVendor, "VEND");
    copyTextField(deviceName, "MODEL 8");
    copyTextField(serialNumber, "sn0001");
    installedMemory = 512ull << 20;
    batStatus = 4;
    minStripeSize = 16;
    maxStripeSize = 1024;
    maxJBODs = 16;
    maxTopLevelLogicalDrives = 64;
    reservedInBeginning = 0;
    reservedInEnd = 0;
    maxGlobalSpares = 8;
    dedicatedSpareLimit = 8;
    for (int level : {0, 1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}) {
        RaidSupportInfo info;
        info.raidLevel = static_cast<EnumRaidLevel>(level);
        info.minStripeSize = 16;
        info.maxStripeSize = 1024;
        info.maxMembers = (level == RAID_LEVEL_SPANNED_VOLUME || level == RAID_LEVEL_RAID_VOLUME) ? 128 : 32;
        raidSupport.push_back(info);
    }
    features = new AdapterFeatures();
    for (FeatureEnum feature : basicFeatures)
        setFeature(feature, 1);
}

bool FixtureAdapter::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynAdapter") == 0) || Adapter::isInstanceOf(name);
}

int FixtureAdapter::getLimit(Limit limit) const
{
    if (static_cast<int>(limit) == 11)
        return dedicatedSpareLimit;
    return Adapter::getLimit(limit);
}

void FixtureAdapter::setBattery(int status, int fullCapacity, int remainingCapacity, int currentDraw)
{
    batStatus = status;
    batFullCapacity = fullCapacity;
    batRemainingCapacity = remainingCapacity;
    batCurrentDraw = currentDraw;
}

void FixtureAdapter::setSerialNumber(const char* value)
{
    copyTextField(serialNumber, value);
}

FixtureHardDrive::FixtureHardDrive(Adapter* owner, Channel* onChannel, unsigned long deviceID, const char* serial)
    : HardDrive(owner, onChannel, deviceID, BASIC_DRIVE_SECTORS, PD_READY, vendorText, diskModelText, emptyText,
                emptyText, false, static_cast<EnumHardDriveCacheMode>(0), true, false, false, emptyText, false)
{
    setSerialNumber(serial);
    interfaceType = 1;
}

bool FixtureHardDrive::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynHardDrive") == 0) || HardDrive::isInstanceOf(name);
}

FixtureLogicalDrive::FixtureLogicalDrive(Adapter* owner, unsigned long id, const char* driveName,
                                         EnumRaidLevel level, unsigned long long space)
    : BasicLogicalDrive(owner, nullptr, id, LD_OPTIMAL, level, space, 0, false,
                        static_cast<EnumLogicalDriveCacheMode>(2), false, false)
{
    name = driveName;
    subState = static_cast<EnumLogicalDeviceSubState>(0);
    stripeSize = static_cast<EnumStripeSize>(256);
    readCacheSetting = 2;
    writeCacheSetting = 2;
    hasPartition = LD_HAS_NO_PARTITION;
    if (unixMountPoint)
        copyTextField(unixMountPoint.get(), MOUNT_POINT_SIZE, "none");
}

bool FixtureLogicalDrive::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynBasicLogicalDrive") == 0) ||
           BasicLogicalDrive::isInstanceOf(name);
}

bool isFixtureName(const std::string& name)
{
    return name == "empty" || name == "basic" || name == "ld";
}

bool buildFixture(const std::string& name, System& root)
{
    if (name == "empty")
        return true;
    if (name == "basic") {
        buildBasic(root);
        return true;
    }
    if (name == "ld") {
        addDataDrive(buildBasic(root));
        return true;
    }
    return false;
}

FixtureSystem::FixtureSystem(std::string fixture) : System(STORLIB_TYPE_VYN), fixture_(std::move(fixture)) {}

void FixtureSystem::buildChildren(StorLib*, Ret&)
{
    buildFixture(fixture_, *this);
}

void FixtureSystem::buildChildrenForSingleAdapter(StorLib*, unsigned long index, Ret& ret)
{
    if (index == 0 && fixture_ != "empty") {
        buildFixture(fixture_, *this);
        return;
    }
    ret.setBadParam(static_cast<long>(index));
}

int FixtureSystem::getControllerCount(StorLib*, Ret& ret)
{
    ret.setReturn(0);
    return static_cast<int>(getNumAdapters());
}

std::unique_ptr<System> makeFixtureSystem(const std::string& name)
{
    if (!isFixtureName(name))
        return nullptr;
    std::unique_ptr<System> root(new FixtureSystem(name));
    buildFixture(name, *root);
    return root;
}

}  // namespace vyntest
