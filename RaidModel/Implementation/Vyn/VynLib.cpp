#include "RaidModel/Implementation/Vyn/VynLib.h"

#include <new>

#include "RaidModel/Implementation/Vyn/VynSystem.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

VynLib::VynLib() : StorLibPlugin(STORLIB_TYPE_VYN), system(nullptr)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynLib::VynLib()");
}

VynLib::~VynLib()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynLib::~VynLib()");
}

System* VynLib::newSystem()
{
    system = new (std::nothrow) VynSystem();
    return system;
}

void VynLib::forgetSystem(System* root)
{
    if (root != nullptr && root == system) {
        system = dynamic_cast<VynSystem*>(getSystem());
    }
}

VynAdapter* VynLib::getVynAdapter(unsigned long index) const
{
    return system != nullptr ? system->getVynAdapter(index) : nullptr;
}

unsigned long VynLib::getNumVynAdapters() const
{
    return system != nullptr ? system->getNumVynAdapters() : 0;
}

namespace VynSDK {

StorLibSDK::StorLibSDK() : lib(new (std::nothrow) VynLib())
{
}

StorLibSDK::~StorLibSDK()
{
    delete lib;
}

} // namespace VynSDK
