#include "cli/LibraryFactory.h"

#include "RaidLib/StorLibPlugin.h"
#include "RaidModel/Interface/System.h"

namespace {

// STAND-IN until the controller family's library exists: a system that
// finds no controllers. createStorageLibrary is the one place to swap.
class NoControllerSystem : public System {
public:
    NoControllerSystem() : System(STORLIB_TYPE_VYN) {}
    void buildChildren(StorLib*, Ret&) override {}
    int getControllerCount(StorLib*, Ret&) override { return 0; }
};

class NoControllerLibrary : public StorLibPlugin {
public:
    NoControllerLibrary() : StorLibPlugin(STORLIB_TYPE_VYN) {}
    System* newSystem() override { return new NoControllerSystem; }
};

}  // namespace

StorLibPlugin* createStorageLibrary()
{
    return new NoControllerLibrary;
}
