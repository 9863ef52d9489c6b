#include "RaidLib/StorLibPlugin.h"

#include "RaidModel/Interface/System.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

StorLibPlugin::StorLibPlugin(EnumStorLibType type) : StorLib(type)
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT, "StorLibPlugin::StorLibPlugin()");
}

StorLibPlugin::~StorLibPlugin()
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE_CORE_CONSTRUCT, "StorLibPlugin::~StorLibPlugin()");
}

Ret StorLibPlugin::getSystemConfigWithProxy(System* proxy, StorLib* lib)
{
    StorDebugTracer trace(storLibType, STOR_DEBUG_TRACE, "StorLibPlugin::getSystemConfigWithProxy()");
    Ret ret(0);
    try {
        buildSystem(ret, Discovery::AllAdapters, 0, proxy, lib, __FILE__);
    } catch (...) {
        exceptionCaught(ret, __FILE__, __LINE__);
    }
    return ret;
}
