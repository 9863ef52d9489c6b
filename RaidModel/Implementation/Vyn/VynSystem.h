#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSYSTEM_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSYSTEM_H

#include <vector>

#include "RaidModel/Interface/System.h"

class VynAdapter;
struct _tagFSA_ADAPTER_ENUM_INFO;

// The controller family's root. Besides the base's controller index it keeps
// the family's own controllers, in the order they joined the tree; the list
// does not own them (they are children of the root).
class VynSystem : public System {
public:
    VynSystem();
    ~VynSystem() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    void descendantAdded(RaidObject* descendant) override;

    void buildChildren(StorLib* previous, Ret& ret) override;
    void disableDebugLogging(Ret& ret) override;
    void buildChildrenForSingleAdapter(StorLib* previous, unsigned long index, Ret& ret) override;
    int getControllerCount(StorLib* previous, Ret& ret) override;
    // Replaying a saved configuration onto the controllers is not part of
    // this build yet: it answers "not supported" and changes nothing.
    Ret compareConfig(StorLib* lib, System& parsed, System& current, char* logFile, EnumForceOption force,
                      bool slotIDFlag) override;

    VynAdapter* getVynAdapter(unsigned long index) const;
    unsigned long getNumVynAdapters() const { return vynAdapters.size(); }

private:
    // One pass of discovery over one enumeration record; false when the
    // adapter could not be made.
    bool buildOneAdapter(StorLib* previous, const _tagFSA_ADAPTER_ENUM_INFO& record, unsigned long index, Ret& ret);

    std::vector<RaidObject*> vynAdapters;
};

#endif
