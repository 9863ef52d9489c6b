// Which storage-library objects of the command provider's requests stay
// alive.

#include "cimprov/LibraryKeeper.h"

#include "RaidLib/StorLibPlugin.h"

#include <gtest/gtest.h>

namespace {

int live = 0;

class CountedLib : public StorLibPlugin {
public:
    CountedLib() : StorLibPlugin(STORLIB_TYPE_VYN) { ++live; }
    ~CountedLib() override { --live; }
    System* newSystem() override { return nullptr; }
};

void request(LibraryKeeper& keeper, int warningType) {
    keeper.startRequest();
    keeper.adopt(new CountedLib);
    keeper.endRequest(warningType);
}

TEST(LibraryKeeper, OnlyTheLastRequestsObjectLives) {
    live = 0;
    {
        LibraryKeeper keeper;
        for (int i = 0; i < 50; ++i) request(keeper, i % 2);
        EXPECT_EQ(live, 1);
        // A request without a library (help, command list) releases it too.
        keeper.startRequest();
        keeper.endRequest(0);
        EXPECT_EQ(live, 0);
        request(keeper, 0);
    }
    EXPECT_EQ(live, 0);
}

TEST(LibraryKeeper, PendingAcknowledgementKeepsItsObject) {
    live = 0;
    LibraryKeeper keeper;
    for (int i = 0; i < 10; ++i) request(keeper, 0);
    request(keeper, 2);
    EXPECT_EQ(live, 1);
    // Its drive still blinks while the next request runs.
    keeper.startRequest();
    keeper.adopt(new CountedLib);
    EXPECT_EQ(live, 2);
    keeper.endRequest(0);
    EXPECT_EQ(live, 1);

    // Only the latest few waiting objects are kept.
    for (int i = 0; i < 10; ++i) request(keeper, 2);
    EXPECT_EQ(live, static_cast<int>(LibraryKeeper::kMaxPending));
    request(keeper, 1);
    EXPECT_EQ(live, 1);
    keeper.releaseAll();
    EXPECT_EQ(live, 0);
}

}  // namespace
