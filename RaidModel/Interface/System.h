#ifndef VYN_RAIDMODEL_INTERFACE_SYSTEM_H
#define VYN_RAIDMODEL_INTERFACE_SYSTEM_H

#include <vector>

#include "RaidModel/Interface/RaidObject.h"
#include "common/OsThreadLocker.h"

class Adapter;
class Ret;
class StorLib;
enum EnumForceOption : int;

// The root of the storage object tree. It keeps its controllers as children
// and in an index sorted by library type, and carries the reference count of
// the RefSystem handles that share it. Discovery is the controller family's.
class System : public RaidObject {
public:
    explicit System(EnumStorLibType type);
    ~System() override;
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    // Both forms hold the root's lock for the whole addition; with a proxy
    // set the child goes to the proxy and this root stays without it.
    void addChild(RaidObject* child) override;
    void addChild(RaidObject* child, unsigned long index) override;
    void descendantAdded(RaidObject* descendant) override;

    virtual void buildChildren(StorLib* lib, Ret& ret) = 0;
    virtual void disableDebugLogging(Ret& ret);
    virtual void buildChildrenForSingleAdapter(StorLib* lib, unsigned long adapterIndex, Ret& ret);
    // Reads the controllers of a saved system; the root's own attributes
    // stay in its attribute list.
    virtual void buildChildren(SimpleXmlParser& parser);
    virtual int getControllerCount(StorLib* lib, Ret& ret) = 0;
    // Applies the saved configuration `parsed` to the live controllers of
    // `current`; the controller family replays, the base answers -1.
    virtual Ret compareConfig(StorLib* lib, System& parsed, System& current, char* logFile,
                              EnumForceOption force, bool slotIDFlag);

    Adapter* getAdapter(unsigned long index) const;
    unsigned long getNumAdapters() const { return adapters.size(); }
    std::vector<Adapter*> getAdapters() const { return adapters; }
    void DeleteAdapters(EnumStorLibType type);

    System* getProxy() const { return proxy; }
    void setProxy(System* newProxy) { proxy = newProxy; }
    EnumStorLibType getLibraryType() const { return libraryType; }

private:
    friend class RefSystem;

    osThreadLocker lock;
    int referenceCount;
    std::vector<Adapter*> adapters;
    System* proxy;
    EnumStorLibType libraryType;
};

#endif
