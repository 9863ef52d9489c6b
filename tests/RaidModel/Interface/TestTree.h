#ifndef VYN_TESTS_RAIDMODEL_INTERFACE_TESTTREE_H
#define VYN_TESTS_RAIDMODEL_INTERFACE_TESTTREE_H

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/System.h"
#include "common/Addr.h"
#include "common/Ret.h"

namespace vyntest {

// Who was told about whom by descendantAdded, in call order.
using NotificationLog = std::vector<std::pair<std::string, std::string>>;

// A tree node of a class chosen by the test ("LogicalDrive", "Channel", ...),
// named so that notifications can be recorded and compared.
class TestNode : public RaidObject {
public:
    explicit TestNode(std::string name, std::string className = "TestNode",
                      NotificationLog* log = nullptr)
        : name_(std::move(name)), className_(std::move(className)), log_(log)
    {
    }

    bool isInstanceOf(const char* name) const override
    {
        return (name != nullptr && className_ == name) || RaidObject::isInstanceOf(name);
    }
    const char* typeName() const override { return className_.c_str(); }
    const char* serializedName() const override { return className_.c_str(); }
    void descendantAdded(RaidObject* descendant) override
    {
        if (log_ != nullptr) {
            log_->emplace_back(name_, static_cast<TestNode*>(descendant)->name_);
        }
    }

    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::string className_;
    NotificationLog* log_;
};

// A controller of a given library type, as the controller family's own
// controller class stamps it.
class TestAdapter : public Adapter {
public:
    TestAdapter(unsigned long adapterID, EnumStorLibType type)
    {
        setAdapterID(adapterID);
        setStorLibType(type);
    }
    // The library's tests look at the tree around the controllers, not at
    // the controller's own attributes.
    void writeTo(Writer* writer) const override { RaidObject::writeTo(writer); }
    void writeToXML(Writer* writer) const override { RaidObject::writeToXML(writer); }
};

// A system root whose discovery adds the controllers it was given, and
// reports the outcome it was told to.
class TestSystem : public System {
public:
    struct Plan {
        std::vector<unsigned long> adapterIDs;
        int discoveryResult = 0;
        int* discoveries = nullptr;
        bool throwInDiscovery = false;
    };

    explicit TestSystem(Plan plan) : System(STORLIB_TYPE_VYN), plan_(std::move(plan)) {}

    bool isInstanceOf(const char* name) const override
    {
        return (name != nullptr && std::strcmp(name, "TestSystem") == 0) || System::isInstanceOf(name);
    }
    const char* typeName() const override { return "TestSystem"; }

    void buildChildren(StorLib*, Ret& ret) override
    {
        if (plan_.discoveries != nullptr) {
            ++*plan_.discoveries;
        }
        for (unsigned long id : plan_.adapterIDs) {
            addChild(new TestAdapter(id, STORLIB_TYPE_VYN));
        }
        if (plan_.throwInDiscovery) {
            throw 42;
        }
        if (plan_.discoveryResult != 0) {
            ret.setReturn(plan_.discoveryResult);
        }
    }

    int getControllerCount(StorLib*, Ret&) override { return static_cast<int>(getNumAdapters()); }

private:
    Plan plan_;
};

}  // namespace vyntest

#endif
