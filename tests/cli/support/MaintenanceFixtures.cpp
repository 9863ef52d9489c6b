#include "cli/support/MaintenanceFixtures.h"

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/OtherDevice.h"
#include "common/Addr.h"
#include "common/AddrCollection.h"

#include <string>

namespace vyntest {

namespace {

char vendorText[] = "VEND";
char modelText[] = "PROC";
char emptyText[] = "";

std::string addressList(const AddrCollection& drives)
{
    std::string text = "[";
    for (unsigned long i = 0; i < drives.getAddrCount(); ++i)
        text += (i > 0 ? ";" : "") + describeAddress(drives.getAddr(i));
    return text + "]";
}

std::string quoted(const char* text)
{
    return text != nullptr ? "\"" + std::string(text) + "\"" : "null";
}

// A SATA channel 0 with `drives` drives made by `makeDrive`.
template <typename MakeDrive> void addChannel(FixtureAdapter* adapter, int drives, MakeDrive makeDrive)
{
    SATAChannel* channel = new SATAChannel(adapter, 0, static_cast<EnumSpeed>(301), static_cast<unsigned long>(drives));
    adapter->addChild(channel);
    for (int i = 0; i < drives; ++i)
        channel->addChild(makeDrive(adapter, channel, static_cast<unsigned long>(i)));
}

}  // namespace

Ret FirmwareAdapter::protectHardDriveSet(AddrCollection& drives, bool protect, bool flag)
{
    scenario_->record("protectHardDriveSet " + describeAddress(adapterAddr(getAdapterID())) + " | " +
                      addressList(drives) + ", " + (protect ? "true" : "false") + ", " + (flag ? "true" : "false"));
    return scenario_->answerFor(protect ? "protectHardDriveSet" : "unprotectHardDriveSet");
}

FirmwareDrive::FirmwareDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, Scenario* scenario)
    : FixtureHardDrive(adapter, channel, deviceID, ("d" + std::to_string(deviceID)).c_str()), scenario_(scenario)
{
}

Ret FirmwareDrive::note(const char* operation, const std::string& arguments)
{
    scenario_->record(std::string(operation) + " " +
                      describeAddress(deviceAddr(getChannelID(), getDeviceID(), getAdapterID())) + " | " + arguments);
    return scenario_->answerFor(operation);
}

Ret FirmwareDrive::readDriveFirmwareFile(const char* file, Buffer&)
{
    return note("readDriveFirmwareFile", quoted(file));
}

Ret FirmwareDrive::upgradeSATADriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode)
{
    return note("upgradeSATADriveFirmware",
                quoted(file) + ", " + std::to_string(chunkSize) + ", " + std::to_string(static_cast<int>(mode)));
}

Ret FirmwareDrive::upgradeSASDriveFirmware(const char* file, unsigned long chunkSize, unsigned char mode)
{
    return note("upgradeSASDriveFirmware",
                quoted(file) + ", " + std::to_string(chunkSize) + ", " + std::to_string(static_cast<int>(mode)));
}

TreeChange addFirmwareController(Scenario& scenario)
{
    Scenario* recorder = &scenario;
    return [recorder](System& root) {
        FirmwareAdapter* adapter = new FirmwareAdapter(recorder);
        root.addChild(adapter);
        addChannel(adapter, 4, [recorder](Adapter* owner, Channel* channel, unsigned long id) {
            return new FirmwareDrive(owner, channel, id, recorder);
        });
    };
}

TreeChange addBasicController(unsigned long position, int drives)
{
    return [position, drives](System& root) {
        FixtureAdapter* adapter = new FixtureAdapter;
        adapter->setAdapterID(position);
        root.addChild(adapter);
        addChannel(adapter, drives, [](Adapter* owner, Channel* channel, unsigned long id) {
            return new FixtureHardDrive(owner, channel, id, ("d" + std::to_string(id)).c_str());
        });
    };
}

TreeChange addOtherDevice(unsigned long device)
{
    return [device](System& root) {
        FixtureAdapter& adapter = fixtureAdapter(root);
        Channel* channel = adapter.getChannel(0);
        channel->addChild(new OtherDevice(&adapter, channel, device, static_cast<EnumPhysicalDeviceType>(3),
                                          vendorText, modelText, emptyText, emptyText, emptyText));
    };
}

}  // namespace vyntest
