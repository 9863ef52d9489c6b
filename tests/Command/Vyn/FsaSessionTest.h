#ifndef VYN_TESTS_COMMAND_VYN_FSASESSIONTEST_H
#define VYN_TESTS_COMMAND_VYN_FSASESSIONTEST_H

#include "FsaContextTest.h"

namespace vyntest {

// Hand-made sessions addressed by their handles, each entered as the first
// entry of its own handle list, as the open enters it.
class FsaSessionTest : public FsaContextTest {
protected:
    void* openSession(FSA_ACCESS mode = FSA_ACC_READ_WRITE, unsigned adapter = 0)
    {
        FSAAPI_CONTEXT* ctx = openContext(mode, adapter);
        if (ctx == nullptr)
            return nullptr;
        ctx->handleSerial[0].handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ctx->apiHandle));
        ctx->handleSerialCount = 1;
        return ctx->apiHandle;
    }
    void closeSession(void* handle)
    {
        if (FSAAPI_CONTEXT* ctx = context(handle))
            closeContext(ctx);
    }
    static FSAAPI_CONTEXT* context(void* handle) { return UtilGetContextFromHandle(handle); }
};

}  // namespace vyntest

#endif
