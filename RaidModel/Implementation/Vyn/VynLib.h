#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNLIB_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNLIB_H

#include "RaidLib/StorLibPlugin.h"

class VynAdapter;
class VynSystem;

// The controller family's storage library: the object the front ends create
// to build the tree and run storage operations.
class VynLib : public StorLibPlugin {
public:
    VynLib();
    ~VynLib() override;

    // The root is owned by the RefSystem handles of the library, not by
    // `system`, which only names the root made last.
    System* newSystem() override;

    VynAdapter* getVynAdapter(unsigned long index) const;
    unsigned long getNumVynAdapters() const;

protected:
    // A root freed before any handle took it must not stay remembered: the
    // root before it, still held as the current tree, is named again.
    void forgetSystem(System* root) override;

private:
    VynSystem* system;
};

namespace VynSDK {

// Holds one library object for callers that want it behind a handle.
class StorLibSDK {
public:
    StorLibSDK();
    ~StorLibSDK();
    StorLibSDK(const StorLibSDK&) = delete;
    StorLibSDK& operator=(const StorLibSDK&) = delete;

    VynLib* getLibHandle() const { return lib; }

private:
    VynLib* lib;
};

} // namespace VynSDK

#endif
