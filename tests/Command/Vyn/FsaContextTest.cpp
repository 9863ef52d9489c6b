#include "FsaContextTest.h"

#include "Command/Vyn/os/faux_hwcomm.h"
#include "Command/Vyn/os/faux_mutex.h"

#include <algorithm>

namespace vyntest {

void FsaContextTest::TearDown()
{
    while (!contexts_.empty())
        closeContext(contexts_.back());
    SimulatorTest::TearDown();
}

FSAAPI_CONTEXT* FsaContextTest::openContext(FSA_ACCESS mode, unsigned adapter)
{
    FSAAPI_CONTEXT* ctx = new FSAAPI_CONTEXT;
    ctx->accessMode = mode;
    const std::wstring name = L"ulb" + std::to_wstring(adapter);
    int opened = 0;
    try {
        opened = faos_OpenChannelToAdapter(ctx, name.c_str());
    } catch (FSA_STATUS status) {
        ADD_FAILURE() << "channel open threw " << status;
    }
    if (opened != 1) {
        ADD_FAILURE() << "channel to " << adapter << " did not open";
        delete ctx;
        return nullptr;
    }
    std::string mutexName = "OmrWrapperMutexulb" + std::to_string(adapter);
    ctx->contextMutex = faos_CreateMutex(&mutexName[0]);
    ctx->maxAccessibleContainers = 32;
    ctx->apiHandle = FsaHandleFromNumber(UtilCreateHandle(ctx));
    contexts_.push_back(ctx);
    return ctx;
}

void FsaContextTest::closeContext(FSAAPI_CONTEXT* ctx)
{
    contexts_.erase(std::remove(contexts_.begin(), contexts_.end(), ctx), contexts_.end());
    UtilDeleteHandle(ctx->apiHandle);
    faos_CloseChannelToAdapter(ctx);
    delete ctx;
}

}  // namespace vyntest
