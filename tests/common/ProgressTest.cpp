#include "common/Progress.h"

#include <gtest/gtest.h>

#include <string>

#include "common/XMLWriter.h"

namespace {

const std::uint32_t U = Addr::UNSET_ID;
const std::uint64_t UC = Addr::UNSET_CHUNK_ID;

Progress logicalDriveTask()
{
    Progress p(TASK_TYPE_CLEAR, 0, TASK_STATE_IN_PROGRESS, 45);
    p.setExplanation(0);
    p.setPriority(PRIORITY_HIGH);
    p.setTaskID(7);
    return p;
}

TEST(ProgressTest, LogicalDriveTaskXml)
{
    EXPECT_EQ(logicalDriveTask().toXML(),
              "<Progress  type=\"1\" logicalDrive=\"0\" status=\"2\" percent=\"45\" furtherInformation=\"0\""
              " priority=\"2\" taskID=\"7\" />");
}

TEST(ProgressTest, DeviceTaskWritesTheAddressInsteadOfALogicalDrive)
{
    const Addr device(0, U, U, 1, 3, UC, U, U);
    Progress p(TASK_TYPE_REBUILD, device, TASK_STATE_IN_PROGRESS, 10);
    EXPECT_EQ(p.getLogicalDrive(), 0x7FFFFFFFu);
    EXPECT_EQ(*p.getDeviceAddr(), device);
    EXPECT_EQ(p.toXML(), "<Progress  type=\"6\" controllerID=\"0\" channelID=\"1\" deviceID=\"3\" status=\"2\""
                         " percent=\"10\" furtherInformation=\"0\" priority=\"2\" taskID=\"2147483647\" />");
}

TEST(ProgressTest, SetDeviceAddrTakesTheLogicalDriveOfTheAddress)
{
    Progress p = logicalDriveTask();
    p.setDeviceAddr(Addr(0, U, U, 1, 3, UC, U, U));
    EXPECT_EQ(p.getLogicalDrive(), 0x7FFFFFFFu);
    EXPECT_NE(p.toXML().find(" controllerID=\"0\" channelID=\"1\" deviceID=\"3\" status="), std::string::npos);

    p.setDeviceAddr(Addr(0, U, 4, U, U, UC, U, U));
    EXPECT_EQ(p.getLogicalDrive(), 4u);
    EXPECT_NE(p.toXML().find(" logicalDrive=\"4\" status="), std::string::npos);
    EXPECT_EQ(p.toXML().find("controllerID"), std::string::npos);
}

TEST(ProgressTest, DefaultsAndEquality)
{
    Progress p;
    EXPECT_EQ(p.getType(), TASK_TYPE_NONE);
    EXPECT_EQ(p.getLogicalDrive(), 0x7FFFFFFFu);
    EXPECT_EQ(*p.getDeviceAddr(), Addr());
    EXPECT_EQ(p.getStatus(), TASK_STATE_NONE);
    EXPECT_EQ(p.getPercent(), 0u);
    EXPECT_EQ(p.getPriority(), PRIORITY_HIGH);
    EXPECT_EQ(p.getTaskID(), 0x7FFFFFFFu);

    const Progress base = logicalDriveTask();
    Progress other = base;
    EXPECT_EQ(other, base);
    other.setExplanation(3);
    EXPECT_NE(other, base);
    other = base;
    other.getDeviceAddr()->setDeviceID(1);
    EXPECT_NE(other, base);
}

TEST(ProgressCollectionTest, XmlOfEmptyAndFilledCollections)
{
    ProgressCollection tasks;
    EXPECT_EQ(tasks.toXML(), "<ProgressCollection>  </ProgressCollection>");

    Progress first = logicalDriveTask();
    Progress second(TASK_TYPE_VERIFY, 1, TASK_STATE_PAUSED, 0);
    tasks.add(first);
    tasks.add(second);
    EXPECT_EQ(tasks.toXML(), "<ProgressCollection> " + first.toXML() + second.toXML() + " </ProgressCollection>");

    char* text = nullptr;
    XMLWriter writer(&text);
    tasks.writeTo(&writer);
    EXPECT_EQ(std::string(text), first.toXML() + second.toXML());
}

TEST(ProgressCollectionTest, EqualityIsOrderedAndElementsAreCopies)
{
    Progress a = logicalDriveTask();
    Progress b(TASK_TYPE_VERIFY, 1, TASK_STATE_PAUSED, 0);
    ProgressCollection ab;
    ab.add(a);
    ab.add(b);
    ProgressCollection ba;
    ba.add(b);
    ba.add(a);
    EXPECT_NE(ab, ba);
    ProgressCollection copy = ab;
    EXPECT_EQ(copy, ab);
    EXPECT_EQ(ab.getSize(), 2u);
    EXPECT_EQ(ab.getProgressCount(), 2u);
    EXPECT_EQ(*ab.getProgress(1), b);
    a.setPercent(99);
    EXPECT_EQ(ab.getProgress(0)->getPercent(), 45u);
    EXPECT_EQ(ab.getCollection().size(), 2u);
}

} // namespace
