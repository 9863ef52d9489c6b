#ifndef VYN_TESTS_CLI_SUPPORT_FIXTURES_H
#define VYN_TESTS_CLI_SUPPORT_FIXTURES_H

#include <memory>
#include <string>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/System.h"

namespace vyntest {

// Stand-ins for the controller family's classes: they answer to the family's
// class names and let a test change what the firmware would have reported.
class FixtureAdapter : public Adapter {
public:
    FixtureAdapter();
    bool isInstanceOf(const char* name) const override;
    unsigned long long getInstalledMemory() const override { return installedMemory; }
    int getLimit(Limit limit) const override;

    void setBattery(int status, int fullCapacity, int remainingCapacity, int currentDraw);
    void setSerialNumber(const char* text);
    void backupUnitForTest(bool present, int status)
    {
        blbuPresent = present;
        blbuStatus = status;
    }
    void heatSensorForTest(int celsius, int highThreshold)
    {
        heatSensorTemperature = celsius;
        heatSensorThresholdHi = highThreshold;
    }

    unsigned long long installedMemory = 0;
    int dedicatedSpareLimit = 0;
};

class FixtureHardDrive : public HardDrive {
public:
    FixtureHardDrive(Adapter* adapter, Channel* channel, unsigned long deviceID, const char* serial);
    bool isInstanceOf(const char* name) const override;
};

class FixtureLogicalDrive : public BasicLogicalDrive {
public:
    FixtureLogicalDrive(Adapter* adapter, unsigned long id, const char* name, EnumRaidLevel level,
                        unsigned long long dataSpace);
    bool isInstanceOf(const char* name) const override;
    void setStateProperty(EnumLogicalDeviceState newState) { state = newState; }
};

// Whether `name` names a fixture: "empty" (no controller), "basic", "ld".
bool isFixtureName(const std::string& name);

// Adds the controllers of the named fixture below `root`; false, adding
// nothing, for an unknown name.
bool buildFixture(const std::string& name, System& root);

// The root a storage library builds for a fixture: discovery adds the
// fixture's controllers, as the controller family adds what it finds. Every
// fixture holds at most one controller, at position 0; a single-controller
// build of another position reports a bad parameter, as the family does.
class FixtureSystem : public System {
public:
    explicit FixtureSystem(std::string fixture);
    void buildChildren(StorLib* lib, Ret& ret) override;
    void buildChildrenForSingleAdapter(StorLib* lib, unsigned long index, Ret& ret) override;
    int getControllerCount(StorLib* lib, Ret& ret) override;

private:
    std::string fixture_;
};

// A system root holding the named fixture, or null for an unknown name.
std::unique_ptr<System> makeFixtureSystem(const std::string& name);

}  // namespace vyntest

#endif
