#include "cli/support/Fixtures.h"

#include "cli/support/Scenario.h"

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/Features.h"
#include "RaidModel/Interface/ModelText.h"
#include "RaidModel/Interface/SESElements.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"
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

HardDrive* findFixtureDrive(FixtureAdapter& adapter, unsigned long device)
{
    for (HardDrive* drive : adapter.getAllHardDrives())
        if (drive->getChannelID() == 0 && drive->getDeviceID() == device)
            return drive;
    throw std::out_of_range("the fixture has no drive 0," + std::to_string(device));
}

FixtureAdapter* buildBasic(System& root, bool sas = false, unsigned long adapterID = 0)
{
    FixtureAdapter* adapter = new FixtureAdapter;
    adapter->setAdapterID(adapterID);
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

constexpr unsigned long ENCLOSURE_DEVICE = 5;
// Status code 1 (OK) without the disable, remind or tone bits: the alarm is on.
constexpr unsigned long ALARM_ON_STATUS_WORD = 1;
constexpr unsigned long FIRST_SSD = 4;
constexpr unsigned long SSD_COUNT = 3;

void addEnclosure(FixtureAdapter* adapter)
{
    Channel* channel = adapter->getChannel(0);
    FixtureSES2Enclosure* enclosure = new FixtureSES2Enclosure(adapter, channel, ENCLOSURE_DEVICE);
    channel->addChild(enclosure);
    enclosure->addChild(new SESElement(ALARM_ON_STATUS_WORD, "Alarm", SES_TYPE_AUDIBLE_ALARM));
}

void addSSDs(FixtureAdapter* adapter)
{
    for (unsigned long id = FIRST_SSD; id < FIRST_SSD + SSD_COUNT; ++id)
        addFixtureDrive(*adapter, id).setOrvexaCapableSSDForTest(true);
    adapter->setFeature(featOrvexaSupport, 1);
    adapter->setFeature(featOrvexaWriteCacheSupport, 1);
    adapter->setOrvexaPoolForTest(0, 2);
}

// Every role a drive of the controller can play beside the "ld" array.
void addMixedDrives(FixtureAdapter* adapter)
{
    FixtureHardDrive& globalSpare = *static_cast<FixtureHardDrive*>(findFixtureDrive(*adapter, 2));
    globalSpare.setStateProperty(PD_HOT_SPARE);
    globalSpare.setSpareTypeProperty(SPARE_GLOBAL);

    FixtureHardDrive& dedicatedSpare = *static_cast<FixtureHardDrive*>(findFixtureDrive(*adapter, 3));
    for (LogicalDrive* drive : adapter->getAllLogicalDrives())
        if (drive->getLogicalDriveID() == 0)
            dedicatedSpare.addAssignedLogical(drive);

    addFixtureDrive(*adapter, 4).setJBODForTest(true);

    // The failed drive still carries the failed segment of the array that
    // went offline with it.
    FixtureHardDrive& failed = addFixtureDrive(*adapter, 5);
    FixtureLogicalDrive& lost = addFixtureLogicalDrive(*adapter, 1, "Lost", RAID_LEVEL_0, {5}, 0, LD_SECTORS,
                                                       LD_SECTORS, CHUNK_STATE_FAILED_SEGMENT);
    lost.setStateProperty(LD_FAILED);
    failed.setStateProperty(PD_FAILED);

    addFixtureDrive(*adapter, 6).setInterfaceTypeForTest(SAS_INTERFACE_TYPE);
}

void attachScenario(System& root, const std::shared_ptr<Scenario>& scenario)
{
    for (unsigned long a = 0; a < root.getNumAdapters(); ++a) {
        Adapter* adapter = root.getAdapter(a);
        if (adapter == nullptr)
            continue;
        if (adapter->isInstanceOf("VynAdapter"))
            static_cast<FixtureAdapter*>(adapter)->scenario = scenario;
        for (LogicalDrive* drive : adapter->getAllLogicalDrives())
            if (drive->isInstanceOf("VynBasicLogicalDrive"))
                static_cast<FixtureLogicalDrive*>(drive)->scenario = scenario;
        for (HardDrive* drive : adapter->getAllHardDrives())
            if (drive->isInstanceOf("VynHardDrive"))
                static_cast<FixtureHardDrive*>(drive)->scenario = scenario;
        std::vector<RaidObject*> enclosures;
        adapter->getChildren(enclosures, "VynSES2EnclosureDevice", true, true);
        for (RaidObject* enclosure : enclosures)
            static_cast<FixtureSES2Enclosure*>(enclosure)->scenario = scenario;
    }
}

// Recorded in the scenario as the facade records its calls; Ret(0) without
// one.
Ret recordObjectCall(const std::shared_ptr<Scenario>& scenario, const std::string& operation, const Addr& addr,
                     const std::string& arguments)
{
    if (scenario == nullptr)
        return Ret(0);
    scenario->record(operation + " " + describeAddress(addr) + (arguments.empty() ? "" : " | " + arguments));
    return scenario->answerFor(operation);
}

std::string addressList(const AddrCollection& collection)
{
    std::string text = "[";
    for (unsigned long i = 0; i < collection.getAddrCount(); ++i)
        text += (i > 0 ? ";" : "") + describeAddress(collection.getAddr(i));
    return text + "]";
}

Addr objectAddr(const RaidObject& object)
{
    Addr addr;
    addr.setAdapterID(static_cast<std::uint32_t>(object.getAdapterID()));
    addr.setChannelID(static_cast<std::uint32_t>(object.getChannelID()));
    addr.setDeviceID(static_cast<std::uint32_t>(object.getDeviceID()));
    return addr;
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

void FixtureAdapter::setDeviceNameForTest(const char* text)
{
    copyTextField(deviceName, text);
}

Ret FixtureAdapter::addDriveToOrvexaPool(AddrCollection& drives)
{
    return recordObjectCall(scenario, "Adapter::addDriveToOrvexaPool", adapterAddr(getAdapterID()),
                            addressList(drives));
}

Ret FixtureAdapter::removeDriveFromOrvexaPool(AddrCollection& drives)
{
    return recordObjectCall(scenario, "Adapter::removeDriveFromOrvexaPool", adapterAddr(getAdapterID()),
                            addressList(drives));
}

Ret FixtureAdapter::clearOrvexaPool()
{
    return recordObjectCall(scenario, "Adapter::clearOrvexaPool", adapterAddr(getAdapterID()), "");
}

Ret FixtureAdapter::isOrvexaHasDirtyData()
{
    return recordObjectCall(scenario, "Adapter::isOrvexaHasDirtyData", adapterAddr(getAdapterID()), "");
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

Ret FixtureHardDrive::deleteJBOD()
{
    return recordObjectCall(scenario, "HardDrive::deleteJBOD", objectAddr(*this), "");
}

// The model's constructors take writable texts, which they copy.
char enclosureVendorText[] = "VEND";
char enclosureModelText[] = "ENCL";

FixtureSES2Enclosure::FixtureSES2Enclosure(Adapter* owner, Channel* onChannel, unsigned long deviceID)
    : SES2EnclosureDevice(owner, onChannel, deviceID, enclosureVendorText, enclosureModelText, emptyText, emptyText,
                          PD_READY, emptyText)
{
}

bool FixtureSES2Enclosure::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynSES2EnclosureDevice") == 0) ||
           SES2EnclosureDevice::isInstanceOf(name);
}

Ret FixtureSES2Enclosure::setAlarmState(EnumAlarmState newState)
{
    return recordObjectCall(scenario, "SES2EnclosureDevice::setAlarmState", objectAddr(*this),
                            std::to_string(static_cast<int>(newState)));
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

Ret FixtureLogicalDrive::setName(const char* text)
{
    if (scenario == nullptr)
        return LogicalDrive::setName(text);
    const Addr target = logicalDriveAddr(getLogicalDriveID(), adapter != nullptr ? adapter->getAdapterID() : 0);
    scenario->record("setName " + describeAddress(target) + " | \"" + (text != nullptr ? text : "") + "\"");
    const Ret ret = scenario->answerFor("setName");
    if (ret.getReturn() == 0)
        LogicalDrive::setName(text);
    return ret;
}

void FixtureLogicalDrive::setMountPointForTest(const char* text)
{
    if (unixMountPoint)
        copyTextField(unixMountPoint.get(), MOUNT_POINT_SIZE, text);
}

bool isFixtureName(const std::string& name)
{
    return name == "empty" || name == "basic" || name == "ld" || name == "sas" || name == "mixed" ||
           name == "two-controllers" || name == "enclosure" || name == "ssd";
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
    if (name == "mixed") {
        FixtureAdapter* adapter = buildBasic(root);
        addDataDrive(adapter);
        addMixedDrives(adapter);
        return true;
    }
    if (name == "two-controllers") {
        buildBasic(root, false, 0);
        buildBasic(root, false, 1);
        return true;
    }
    if (name == "enclosure") {
        addEnclosure(buildBasic(root));
        return true;
    }
    if (name == "ssd") {
        addSSDs(buildBasic(root));
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
                                            unsigned long long dataSpace, EnumChunkState chunkState)
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
        drive->addChild(new Chunk(member, drive, start, sectors, static_cast<EnumChunkType>(1), 0, chunkState,
                                  position, members));
        member->addChild(new Chunk(member, drive, start, sectors, static_cast<EnumChunkType>(1), 0, chunkState,
                                   position, members));
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
    // A fixture is small: the whole of it stands in for the one controller.
    const unsigned long controllers = fixture_ == "empty" ? 0 : fixture_ == "two-controllers" ? 2 : 1;
    if (index < controllers) {
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
