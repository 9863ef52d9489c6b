#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/Array.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/TestTree.h"
#include "common/XMLWriter.h"

using vyntest::TestNode;

namespace {

std::string xmlOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    static_cast<Writer&>(writer).writeTree(node);
    return text != nullptr ? std::string(text) : std::string();
}

// A chunk as the tree knows it: a node of class "Chunk" naming its drive by
// channel and device id.
TestNode* chunkOn(unsigned long channel, unsigned long device)
{
    auto* chunk = new TestNode("chunk", "Chunk");
    chunk->setChannelID(channel);
    chunk->setDeviceID(device);
    return chunk;
}

HardDrive* driveAt(unsigned long channel, unsigned long device)
{
    auto* drive = new HardDrive();
    drive->setChannelID(channel);
    drive->setDeviceID(device);
    return drive;
}

TEST(ArrayTest, WritesOnlyItsOwnFourValues)
{
    Array array;
    EXPECT_EQ(xmlOf(array), "<Array size=\"0\" freeSpace=\"0\" nestedLevel=\"0\" stripeSize=\"0\"/>\n");
    Array sized(nullptr, 3, 5000000000ull, 7, -1);
    sized.setStripeSize(256);
    EXPECT_EQ(xmlOf(sized),
              "<Array size=\"5000000000\" freeSpace=\"7\" nestedLevel=\"-1\" stripeSize=\"256\"/>\n");
}

TEST(ArrayTest, ComparisonIgnoresStripeSizeAndAdapter)
{
    Adapter adapter;
    Array a(&adapter, 1, 100, 10, 0);
    Array b(nullptr, 1, 100, 10, 0);
    b.setStripeSize(64);
    EXPECT_TRUE(a == b);
    const struct {
        const char* label;
        Array other;
    } differing[] = {
        {"id", Array(nullptr, 2, 100, 10, 0)},
        {"size", Array(nullptr, 1, 101, 10, 0)},
        {"free space", Array(nullptr, 1, 100, 11, 0)},
        {"nesting", Array(nullptr, 1, 100, 10, 1)},
    };
    for (const auto& d : differing)
        EXPECT_TRUE(a != d.other) << d.label;

    Array copy(a);
    EXPECT_EQ(copy.getAdapter(), &adapter);
    EXPECT_EQ(copy.getArrayID(), 1u);
    EXPECT_EQ(copy.getParent(), nullptr);
    Array assigned;
    assigned = b;
    EXPECT_EQ(assigned.getAdapter(), nullptr);
    EXPECT_EQ(assigned.getStripeSize(), 64);
    EXPECT_TRUE(assigned == a);
}

TEST(ArrayTest, StampsItsIdAndFindsTheDrivesUnderItsChunksInOrder)
{
    Adapter adapter;
    adapter.setAdapterID(0);
    HardDrive* first = driveAt(0, 1);
    HardDrive* second = driveAt(0, 2);
    adapter.addChild(first);
    adapter.addChild(second);

    auto* array = new Array(&adapter, 4, 100, 0, 0);
    adapter.addChild(array);
    auto* drive = new TestNode("member", "ArrayMember");
    array->addChild(drive);
    EXPECT_EQ(drive->getArrayID(), 4u);
    drive->addChild(chunkOn(0, 2));
    drive->addChild(chunkOn(0, 9));  // no such drive
    drive->addChild(chunkOn(0, 1));

    std::vector<HardDrive*> drives;
    array->getHardDrives(drives);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0], second);
    EXPECT_EQ(drives[1], first);
    adapter.deleteAllChildren();
}

} // namespace
