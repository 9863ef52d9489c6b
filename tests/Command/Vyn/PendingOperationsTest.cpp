// Operations declared ahead of their work: each answers "not supported" and
// sends nothing to the controller, and the open, which calls a few of them
// without needing their status, still succeeds.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/common/fa_callbacksup.h"
#include "Command/Vyn/common/fa_container_cache.h"
#include "Command/Vyn/common/fa_filesys.h"
#include "Command/Vyn/common/fa_init.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using vyntest::thrownBy;

namespace {

class PendingOperationsTest : public vyntest::OpenSessionTest {};

struct Case {
    const char* name;
    std::function<FSA_STATUS(void* handle, FSAAPI_CONTEXT* ctx)> call;
};

TEST_F(PendingOperationsTest, AnswerNotSupportedAndSendNothing)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);
    ASSERT_NE(ctx, nullptr);

    FSA_STORAGE_DEVICE device{};
    uint32_t words[4] = {};
    FSA_STORAGE_DEVICE* drives = &device;
    const Case cases[] = {
        // exports, a few per unit
        {"FsaUpdateFlashImages", [&](void* a, FSAAPI_CONTEXT*) { return FsaUpdateFlashImages(nullptr, 0, a); }},
        {"FsaInitStorageDeviceForFsa",
         [&](void* a, FSAAPI_CONTEXT*) { return FsaInitStorageDeviceForFsa(a, 1, &device, 1); }},
        {"FsaStorageDeviceSetCachePool",
         [&](void* a, FSAAPI_CONTEXT*) { return FsaStorageDeviceSetCachePool(a, &drives, &words[0], 1); }},
        // internal routines that return their status; the open calls the
        // first without needing it
        {"CT_HasDirtyData", [&](void*, FSAAPI_CONTEXT* c) { return CT_HasDirtyData(c); }},
        // internal routines that throw their status
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim().clearRequests();
        EXPECT_EQ(c.call(h, ctx), FSA_STS_NOT_SUPPORTED);
        EXPECT_TRUE(sim().requests().empty());
    }
}

TEST_F(PendingOperationsTest, NeverFailingOnesGiveTheirEmptyAnswer)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);

    EXPECT_EQ(AIF_StartThreadProcessing(ctx), 0);
    EXPECT_FALSE(PCK_IsOemServerLegacy(ctx));
    EXPECT_EQ(CT_GetFakeSimSignature(), 0x12346789u);
    EXPECT_TRUE(sim().requests().empty());
}

}  // namespace
