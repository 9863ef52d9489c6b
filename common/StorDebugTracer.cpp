#include "common/StorDebugTracer.h"

#include "common/StorDebugInfo.h"

StorDebugTracer::StorDebugTracer(EnumStorLibType type, unsigned long long traceFlags,
                                 const char* functionName)
    : name(functionName), flags(traceFlags), info(nullptr)
{
    try {
        StorDebugInfo* state = StorDebugStateFor(type);
        if (state != nullptr && !disableDebugLog && state->TraceStackPush(flags, name))
            info = state;
    } catch (...) {
    }
}

StorDebugTracer::~StorDebugTracer()
{
    try {
        if (info != nullptr)
            info->TraceStackPop(flags, name);
    } catch (...) {
    }
}
