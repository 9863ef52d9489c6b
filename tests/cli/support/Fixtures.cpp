#include "cli/support/Fixtures.h"

#include "cli/support/Scenario.h"

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/ModelText.h"
#include "common/Ret.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace vyntest {

namespace {

constexpr unsigned long long BASIC_DRIVE_SECTORS = 286749488ull;
constexpr unsigned long long LD_SECTORS = 20480000ull;
constexpr int BASIC_DRIVE_COUNT = 4;
constexpr int SAS_INTERFACE_TYPE = 4;

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

FixtureAdapter* buildBasic(System& root, bool sas = false)
{
    FixtureAdapter* adapter = new FixtureAdapter;
    root.addChild(adapter);
    Channel* channel = sas ? static_cast<Channel*>(new SASChannel(adapter, 0, static_cast<EnumSpeed>(301)))
                           : new SATAChannel(adapter, 0, static_cast<EnumSpeed>(301), BASIC_DRIVE_COUNT);
    adapter->addChild(channel);
    for (int i = 0; i < BASIC_DRIVE_COUNT; ++i) {
        const std::string serial = "d" + std::to_string(i);
        FixtureHardDrive* drive =
            new FixtureHardDrive(adapter, channel, static_cast<unsigned long>(i), serial.c_str());
        if (sas)
            drive->setInterfaceTypeForTest(SAS_INTERFACE_TYPE);
        channel->addChild(drive);
    }
    return adapter;
}

void addDataDrive(FixtureAdapter* adapter)
{
    addFixtureLogicalDrive(*adapter, 0, "Data", RAID_LEVEL_1, {0, 1}, 0, LD_SECTORS, LD_SECTORS);
}

void attachScenario(System& root, const std::shared_ptr<Scenario>& scenario)
{
    for (unsigned long a = 0; a < root.getNumAdapters(); ++a) {
        Adapter* adapter = root.getAdapter(a);
        if (adapter == nullptr)
            continue;
        for (LogicalDrive* drive : adapter->getAllLogicalDrives())
            if (drive->isInstanceOf("VynBasicLogicalDrive"))
                static_cast<FixtureLogicalDrive*>(drive)->scenario = scenario;
    }
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
    return (familyClass && name != nullptr && std::strcmp(name, "VynAdapter") == 0) || Adapter::isInstanceOf(name);
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

void FixtureAdapter::setVersionsForTest(const char* firmware, unsigned long firmwareBuild, const char* bios,
                                        unsigned long biosBuild, const char* driver, unsigned long driverBuild,
                                        const char* bootFlash, unsigned long bootFlashBuild)
{
    copyTextField(firmwareVersion, firmware);
    copyTextField(biosVersion, bios);
    copyTextField(driverVersion, driver);
    copyTextField(firmwareBootVersion, bootFlash);
    firmwareBuildNum = static_cast<std::uint32_t>(firmwareBuild);
    biosBuildNum = static_cast<std::uint32_t>(biosBuild);
    driverBuildNum = static_cast<std::uint32_t>(driverBuild);
    fwBootBuildNum = static_cast<std::uint32_t>(bootFlashBuild);
}

void FixtureAdapter::setStagedFirmwareForTest(const char* version, unsigned long build)
{
    copyTextField(stagedVersion, version);
    stagedBuildNum = build;
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

Ret FixtureLogicalDrive::getProgress(Progress& progress)
{
    progress = Progress();
    if (scenario == nullptr)
        return Ret(0);
    const Addr target = logicalDriveAddr(getLogicalDriveID(), adapter != nullptr ? adapter->getAdapterID() : 0);
    scenario->record("getProgress " + describeAddress(target));
    const Ret ret = scenario->answerFor("getProgress");
    const std::vector<Progress> tasks = scenario->nextTasks(target);
    if (ret.getReturn() == 0 && !tasks.empty())
        progress = tasks.front();
    return ret;
}

Ret FixtureLogicalDrive::getProgress(ProgressCollection& out)
{
    if (scenario == nullptr)
        return Ret(0);
    const Addr target = logicalDriveAddr(getLogicalDriveID(), adapter != nullptr ? adapter->getAdapterID() : 0);
    scenario->record("getProgress " + describeAddress(target));
    const Ret ret = scenario->answerFor("getProgress");
    if (ret.getReturn() == 0)
        for (Progress task : scenario->nextTasks(target))
            out.add(task);
    return ret;
}

void FixtureLogicalDrive::setMountPointForTest(const char* text)
{
    if (unixMountPoint)
        copyTextField(unixMountPoint.get(), MOUNT_POINT_SIZE, text);
}

bool isFixtureName(const std::string& name)
{
    return name == "empty" || name == "basic" || name == "ld" || name == "sas";
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
    if (name == "sas") {
        buildBasic(root, true);
        return true;
    }
    return false;
}

FixtureAdapter& fixtureAdapter(System& root)
{
    Adapter* adapter = root.getAdapter(0);
    if (adapter == nullptr || !adapter->isInstanceOf("VynAdapter"))
        throw std::out_of_range("the fixture has no controller");
    return *static_cast<FixtureAdapter*>(adapter);
}

FixtureHardDrive& fixtureDrive(System& root, unsigned long channel, unsigned long device)
{
    for (HardDrive* drive : fixtureAdapter(root).getAllHardDrives()) {
        if (drive->getChannelID() == channel && drive->getDeviceID() == device && drive->isInstanceOf("VynHardDrive"))
            return *static_cast<FixtureHardDrive*>(drive);
    }
    throw std::out_of_range("the fixture has no drive " + std::to_string(channel) + "," + std::to_string(device));
}

FixtureLogicalDrive& fixtureLogicalDrive(System& root, unsigned long id)
{
    for (LogicalDrive* drive : fixtureAdapter(root).getAllLogicalDrives()) {
        if (drive->getLogicalDriveID() == id && drive->isInstanceOf("VynBasicLogicalDrive"))
            return *static_cast<FixtureLogicalDrive*>(drive);
    }
    throw std::out_of_range("the fixture has no logical drive " + std::to_string(id));
}

FixtureLogicalDrive& addFixtureLogicalDrive(FixtureAdapter& adapter, unsigned long id, const char* name,
                                            EnumRaidLevel level, const std::vector<unsigned long>& devices,
                                            unsigned long long start, unsigned long long sectors,
                                            unsigned long long dataSpace)
{
    FixtureLogicalDrive* drive = new FixtureLogicalDrive(&adapter, id, name, level, dataSpace);
    const unsigned long members = static_cast<unsigned long>(devices.size());
    for (unsigned long position = 0; position < members; ++position) {
        HardDrive* member = nullptr;
        for (HardDrive* candidate : adapter.getAllHardDrives())
            if (candidate->getChannelID() == 0 && candidate->getDeviceID() == devices[position])
                member = candidate;
        if (member == nullptr)
            throw std::out_of_range("the fixture has no drive 0," + std::to_string(devices[position]));
        drive->addChild(new Chunk(member, drive, start, sectors, static_cast<EnumChunkType>(1), 0,
                                  CHUNK_STATE_NORMAL, position, members));
        member->addChild(new Chunk(member, drive, start, sectors, static_cast<EnumChunkType>(1), 0,
                                   CHUNK_STATE_NORMAL, position, members));
    }
    adapter.addChild(drive);
    return *drive;
}

FixtureHardDrive& addFixtureDrive(FixtureAdapter& adapter, unsigned long device)
{
    Channel* channel = adapter.getChannel(0);
    if (channel == nullptr)
        throw std::out_of_range("the fixture has no channel");
    const std::string serial = "d" + std::to_string(device);
    FixtureHardDrive* drive = new FixtureHardDrive(&adapter, channel, device, serial.c_str());
    drive->setInterfaceTypeForTest(channel->getChannelType());
    channel->addChild(drive);
    return *drive;
}

TreeChange setFeatureChange(FeatureEnum feature, int value)
{
    return [feature, value](System& root) { fixtureAdapter(root).setFeature(feature, value); };
}

FixtureSystem::FixtureSystem(std::string fixture) : System(STORLIB_TYPE_VYN), fixture_(std::move(fixture)) {}

FixtureSystem::FixtureSystem(std::shared_ptr<Scenario> scenario)
    : System(STORLIB_TYPE_VYN), fixture_(scenario->fixture()), scenario_(std::move(scenario))
{
}

void FixtureSystem::discover()
{
    buildFixture(fixture_, *this);
    if (scenario_ != nullptr) {
        scenario_->countDiscovery();
        scenario_->applyTreeChanges(*this);
        attachScenario(*this, scenario_);
    }
}

void FixtureSystem::buildChildren(StorLib*, Ret&)
{
    discover();
}

void FixtureSystem::buildChildrenForSingleAdapter(StorLib*, unsigned long index, Ret& ret)
{
    if (index == 0 && fixture_ != "empty") {
        discover();
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
