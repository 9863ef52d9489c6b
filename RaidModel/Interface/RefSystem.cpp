#include "RaidModel/Interface/RefSystem.h"

#include "RaidModel/Interface/System.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

RefSystem::RefSystem() : held(nullptr)
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT, "RefSystem::RefSystem()");
}

RefSystem::RefSystem(System* system) : held(nullptr)
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RefSystem::RefSystem(System * pSystemIN)");
    Set(system);
}

RefSystem::RefSystem(const RefSystem& other) : held(nullptr)
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RefSystem::RefSystem(const RefSystem &right)");
    Set(other);
}

RefSystem::~RefSystem()
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT, "RefSystem::~RefSystem()");
    DecrementRefCount();
    StorTracePrintf(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT, "# RaidObjects = %u",
                    globalRaidObjectCounter.load());
}

RefSystem& RefSystem::Set(const RefSystem& other)
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RefSystem::Set(const RefSystem &right)");
    if (&other != this) {
        Set(other.held);
    }
    return *this;
}

RefSystem& RefSystem::Set(System* system)
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RefSystem::Set(System * pSystemIN)");
    if (system == held) {
        return *this;
    }
    if (held != nullptr) {
        DecrementRefCount();
    }
    if (system != nullptr) {
        adopt(system);
    }
    return *this;
}

void RefSystem::adopt(System* system)
{
    osThreadLockerGrabber grab(system->lock);
    ++system->referenceCount;
    held = system;
}

void RefSystem::DecrementRefCount()
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RefSystem::DecrementRefCount()");
    System* system = held;
    if (system == nullptr) {
        return;
    }
    held = nullptr;
    bool last;
    {
        osThreadLockerGrabber grab(system->lock);
        if (system->referenceCount > 0) {
            --system->referenceCount;
        }
        last = system->referenceCount == 0;
    }
    // The lock lives inside the System, so it is released before the System
    // goes; with the count at zero no other handle can reach it any more.
    if (last) {
        try {
            system->deleteAllChildren();
            delete system;
        } catch (...) {
        }
    }
}

void RefSystem::Release()
{
    StorDebugTracer trace(gStorDebugDefaultStorLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT, "RefSystem::Release()");
    DecrementRefCount();
}
