// Routines declared ahead of their work give their empty answer and send
// nothing to the controller.
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_paramchk.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

namespace {

class PendingOperationsTest : public vyntest::OpenSessionTest {};

TEST_F(PendingOperationsTest, NeverFailingOnesGiveTheirEmptyAnswer)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    FSAAPI_CONTEXT* ctx = context(h);

    EXPECT_FALSE(PCK_IsOemServerLegacy(ctx));
    EXPECT_EQ(CT_GetFakeSimSignature(), 0x12346789u);
    EXPECT_TRUE(sim().requests().empty());
}

}  // namespace
