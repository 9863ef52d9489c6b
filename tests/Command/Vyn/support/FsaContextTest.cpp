#include "support/FsaContextTest.h"

#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>
#include <string>

namespace vyntest {

void FsaContextTest::TearDown()
{
    while (!sessions_.empty())
        closeSession(sessions_.back());
    SimulatorTest::TearDown();
}

void* FsaContextTest::openSession(FSA_ACCESS access, unsigned index)
{
    FSAAPI_CONTEXT* ctx = new FSAAPI_CONTEXT;
    ctx->accessMode = access;
    ctx->contextMutex = faos_CreateMutex(nullptr);
    const std::wstring name = L"ulb" + std::to_wstring(index);
    int opened = 0;
    try {
        opened = faos_OpenChannelToAdapter(ctx, name.c_str());
    } catch (FSA_STATUS status) {
        ADD_FAILURE() << "channel open threw " << status;
    }
    if (opened != 1) {
        delete ctx;
        ADD_FAILURE() << "channel to ulb" << index << " did not open";
        return nullptr;
    }
    const uint32_t number = UtilCreateHandle(ctx);
    void* handle = FsaHandleFromNumber(number);
    ctx->apiHandle = handle;
    ctx->handleSerial[0].handle = number;
    ctx->handleSerialCount = 1;
    sessions_.push_back(handle);
    return handle;
}

void FsaContextTest::closeSession(void* handle)
{
    sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), handle), sessions_.end());
    FSAAPI_CONTEXT* ctx = UtilGetContextFromHandle(handle);
    if (ctx == nullptr)
        return;
    UtilDeleteHandle(handle);
    faos_CloseChannelToAdapter(ctx);
    delete ctx;
}

FSAAPI_CONTEXT* FsaContextTest::context(void* handle) { return UtilGetContextFromHandle(handle); }

}  // namespace vyntest
