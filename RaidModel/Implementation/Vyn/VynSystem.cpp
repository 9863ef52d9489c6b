#include "RaidModel/Implementation/Vyn/VynSystem.h"

#include <cstring>

#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

#if __has_include("RaidModel/Implementation/Vyn/VynAdapter.h")
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#define VYN_HAVE_VYNADAPTER 1
#endif

VynSystem::VynSystem() : System(STORLIB_TYPE_VYN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynSystem::VynSystem()");
}

VynSystem::~VynSystem()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynSystem::~VynSystem");
}

bool VynSystem::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "VynSystem") == 0)
        return true;
    return System::isInstanceOf(name);
}

const char* VynSystem::typeName() const
{
    return "VynSystem";
}

void VynSystem::descendantAdded(RaidObject* descendant)
{
    System::descendantAdded(descendant);
    if (descendant != nullptr && descendant->isInstanceOf("VynAdapter"))
        vynAdapters.push_back(descendant);
}

VynAdapter* VynSystem::getVynAdapter(unsigned long index) const
{
    if (index >= vynAdapters.size())
        return nullptr;
#ifdef VYN_HAVE_VYNADAPTER
    return static_cast<VynAdapter*>(vynAdapters[index]);
#else
    // Without the controller class in the build, only nodes that merely name
    // themselves "VynAdapter" can be listed; they are handed back unchanged.
    return reinterpret_cast<VynAdapter*>(vynAdapters[index]);
#endif
}

// Controller enumeration through the firmware interface is not part of this
// build yet: discovery finds no controllers and reports success.
void VynSystem::buildChildren(StorLib*, Ret&)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::buildChildren(Ret & retOUT)");
}

void VynSystem::buildChildrenForSingleAdapter(StorLib*, unsigned long index, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::buildChildrenForSingleAdapter(StorLib *pStorLibIN, ULONG indexIN, Ret & retOUT)");
    // No controller is enumerated, so every index lies beyond the records.
    ret.setBadParam(static_cast<long>(index));
    StorErrorPrintf(STORLIB_TYPE_VYN, __FILE__, __LINE__, "*** Bad Parameter: %s, paramValue=%d ***",
                    "buildChildrenForSingleAdapter(StorLib *pStorLibIN, ULONG indexIN, Ret & retOUT) - invalid "
                    "indexIN specified",
                    static_cast<int>(index));
}

int VynSystem::getControllerCount(StorLib*, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSystem::getControllerCount()");
    ret.setReturn(0);
    return 0;
}

void VynSystem::disableDebugLogging(Ret&)
{
}

Ret VynSystem::compareConfig(StorLib*, System&, System&, char*, EnumForceOption, bool)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynSystem::compareConfig(System &pNewSystemIN,System &curSystemIN, EnumForceOption "
                          "force, char *logFile, bool slotIDFlag)");
    return Ret(-1);
}
