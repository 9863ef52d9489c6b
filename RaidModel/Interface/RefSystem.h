#ifndef VYN_RAIDMODEL_INTERFACE_REFSYSTEM_H
#define VYN_RAIDMODEL_INTERFACE_REFSYSTEM_H

class System;

// A counted handle on a System root. The count and its lock live in the
// System; the last handle to let go deletes the whole tree and the root.
class RefSystem {
public:
    RefSystem();
    explicit RefSystem(System* system);
    RefSystem(const RefSystem& other);
    ~RefSystem();

    RefSystem& operator=(const RefSystem& other) { return Set(other); }
    RefSystem& operator=(System* system) { return Set(system); }
    RefSystem& Set(const RefSystem& other);
    RefSystem& Set(System* system);

    void DecrementRefCount();
    void Release();

    System* GetSystem() const { return held; }
    System* operator->() const { return held; }
    operator System*() const { return held; }
    bool operator!() const { return held == nullptr; }

private:
    void adopt(System* system);

    System* held;
};

#endif
