#include "RaidModel/Interface/System.h"

#include <cstring>

#include "RaidModel/Interface/Adapter.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

System::System(EnumStorLibType type)
    : referenceCount(0), proxy(nullptr), libraryType(type)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "System::System()");
}

System::~System()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "System::~System()");
    deleteAllChildren();
}

bool System::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "System") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* System::typeName() const
{
    return "System";
}

const char* System::serializedName() const
{
    return "System";
}

void System::addChild(RaidObject* child)
{
    osThreadLockerGrabber grab(lock);
    if (proxy != nullptr) {
        proxy->addChild(child);
        return;
    }
    RaidObject::addChild(child);
}

void System::addChild(RaidObject* child, unsigned long index)
{
    osThreadLockerGrabber grab(lock);
    if (proxy != nullptr) {
        proxy->addChild(child, index);
        return;
    }
    RaidObject::addChild(child, index);
}

// Controllers are grouped by ascending library type and keep their order of
// addition within a type.
void System::descendantAdded(RaidObject* descendant)
{
    RaidObject::descendantAdded(descendant);
    if (descendant == nullptr || !descendant->isInstanceOf("Adapter")) {
        return;
    }
    Adapter* adapter = static_cast<Adapter*>(descendant);
    const int type = static_cast<int>(adapter->getStorLibType());
    auto it = adapters.begin();
    while (it != adapters.end() && static_cast<int>((*it)->getStorLibType()) <= type) {
        ++it;
    }
    adapters.insert(it, adapter);
}

void System::disableDebugLogging(Ret& ret)
{
    ret.setReturn(-1);
}

void System::buildChildrenForSingleAdapter(StorLib*, unsigned long, Ret&) {}

Ret System::compareConfig(StorLib*, System&, System&, char*, EnumForceOption, bool)
{
    return Ret(-1);
}

Adapter* System::getAdapter(unsigned long index) const
{
    return index < adapters.size() ? adapters[index] : nullptr;
}

void System::DeleteAdapters(EnumStorLibType type)
{
    osThreadLockerGrabber grab(lock);
    for (;;) {
        auto it = adapters.begin();
        while (it != adapters.end() && (*it)->getStorLibType() != type) {
            ++it;
        }
        if (it == adapters.end()) {
            return;
        }
        Adapter* adapter = *it;
        adapters.erase(it);
        deleteChild(adapter);
    }
}
