#ifndef VYN_COMMON_STORDEBUGTRACER_H
#define VYN_COMMON_STORDEBUGTRACER_H

#include "common/StorDebug.h"

// Traces the entry and exit of the enclosing function into the trace file of
// its library type. While it lives it holds that type's debug lock, so traced
// calls of different threads run one at a time per library type. The name is
// kept, not copied: pass a text that outlives the tracer.
class StorDebugTracer {
public:
    StorDebugTracer(EnumStorLibType type, unsigned long long flags, const char* name);
    ~StorDebugTracer();
    StorDebugTracer(const StorDebugTracer&) = delete;
    StorDebugTracer& operator=(const StorDebugTracer&) = delete;

private:
    const char* name;
    unsigned long long flags;
    StorDebugInfo* info;  // null unless the entry was pushed
};

#endif
