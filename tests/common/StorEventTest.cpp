#include "common/StorEvent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/XMLWriter.h"

namespace {

struct Elem92 {
    char bytes[92];
};
static_assert(sizeof(Elem92) == 92, "the growth steps below are counted in 92-byte elements");

struct GrowCase {
    unsigned long requested;
    unsigned long expected;
};

TEST(ByRefArrayTest, GrowthStepIsRoundedUpToWholeElements)
{
    const std::vector<GrowCase> cases = {{1, 92}, {0, 92}, {92, 92}, {93, 184}, {185, 276}};
    for (const GrowCase& c : cases) {
        ByRefArray_TC<Elem92> array(0, 0);
        EXPECT_EQ(array.SetGrowBy(c.requested), c.expected) << c.requested;
    }
    ByRefArray_TC<Elem92> array(100, 185);
    EXPECT_EQ(array.BufferSize(), 276u) << "the first block is rounded up to the step";
    EXPECT_EQ(array.AllocTo(300), 552u);
    EXPECT_EQ(array.AllocTo(0), 0u) << "an empty array gives its block back";
}

// Sizes are kept in 32 bits: a request beyond them must neither wrap to a
// step of zero nor pass for a smaller one.
TEST(ByRefArrayTest, OversizedRequestsAreRefusedNotWrapped)
{
    const unsigned long largestStep = 0xFFFFFFFFul / sizeof(Elem92) * sizeof(Elem92);
    const std::vector<GrowCase> steps = {
        {0xFFFFFFFFul, largestStep}, {0x100000000ul, largestStep}, {~0ul, largestStep}};
    for (const GrowCase& c : steps) {
        ByRefArray_TC<Elem92> array(0, 0);
        EXPECT_EQ(array.SetGrowBy(c.requested), c.expected) << c.requested;
    }

    const unsigned long requests[] = {0x100000000ul, ~0ul - 8, ~0ul};
    for (unsigned long bytes : requests) {
        SCOPED_TRACE(bytes);
        ByRefArray_TC<int> array(4 * sizeof(int), sizeof(int));
        array.InsertBack(5);
        for (int round = 0; round < 2; ++round) {
            try {
                round == 0 ? array.AllocTo(bytes) : array.GrowBy(bytes);
                ADD_FAILURE() << "no exception";
            } catch (const DynamicBufferException& e) {
                EXPECT_EQ(e.code, 1);
            }
            EXPECT_EQ(array.BufferSize(), 4 * sizeof(int));
            ASSERT_EQ(array.LastIndex(), 0);
            EXPECT_EQ(*array.Obj_P(0), 5);
        }
    }

    // A step of whole elements near the limit still works for small arrays.
    ByRefArray_TC<int> array(0, 0x100000000ul);
    array.SetGrowBy(sizeof(int));
    EXPECT_TRUE(array.InsertBack(1));
    EXPECT_EQ(array.BufferSize(), sizeof(int));
}

TEST(ByRefArrayTest, InsertPlacesAndMovesElements)
{
    ByRefArray_TC<int> array(0, 2 * sizeof(int));
    EXPECT_EQ(array.BufferSize(), 0u);
    EXPECT_EQ(array.Obj_P(0), nullptr);
    EXPECT_TRUE(array.InsertBack(1));
    EXPECT_EQ(array.BufferSize(), 2 * sizeof(int)) << "the first insert allocates one step";
    EXPECT_TRUE(array.InsertBack(2));
    EXPECT_TRUE(array.Insert(5, 3)) << "an invalid index appends";
    EXPECT_TRUE(array.Insert(0, 0));
    EXPECT_TRUE(array.Insert(-1, 4));
    const std::vector<int> expected = {0, 1, 2, 3, 4};
    ASSERT_EQ(array.LastIndex(), 4);
    for (long i = 0; i <= array.LastIndex(); ++i)
        EXPECT_EQ(*array.Obj_P(i), expected[static_cast<size_t>(i)]);
    EXPECT_EQ(array.BytesUsed(), 5 * sizeof(int));
    EXPECT_EQ(array.BytesAvailable(), array.BufferSize() - 5 * sizeof(int));
    EXPECT_TRUE(array.IsValid(4));
    EXPECT_FALSE(array.IsValid(5));
    EXPECT_FALSE(array.IsValid(-1));
}

TEST(ByRefArrayTest, RemoveAllKeepsTheBlockForReuse)
{
    ByRefArray_TC<int> array(4 * sizeof(int), sizeof(int));
    array.InsertBack(1);
    array.InsertBack(2);
    int* block = array.Obj_P(0);
    array.RemoveAll();
    EXPECT_EQ(array.LastIndex(), -1);
    array.InsertBack(7);
    EXPECT_EQ(array.Obj_P(0), block);
    EXPECT_EQ(*array.Obj_P(array.LastIndex()), 7);
    EXPECT_EQ(array.BufferSize(), 4 * sizeof(int));
}

TEST(ByRefArrayTest, InsertingOneOfItsOwnElementsSurvivesGrowth)
{
    ByRefArray_TC<long> array(0, sizeof(long));
    array.InsertBack(10);
    array.InsertBack(20);
    ASSERT_EQ(array.BytesAvailable(), 0u);
    array.Insert(0, *array.Obj_P(1));
    array.InsertBack(*array.Obj_P(0));
    const std::vector<long> expected = {20, 10, 20, 20};
    for (long i = 0; i <= array.LastIndex(); ++i)
        EXPECT_EQ(*array.Obj_P(i), expected[static_cast<size_t>(i)]);
}

// Marks whether it was made by its copy constructor, and refuses to copy a
// negative value.
struct Tracked {
    explicit Tracked(int v) : value(v), madeByCopy(0) {}
    Tracked(const Tracked& o) : value(o.value), madeByCopy(0xC0FFEE)
    {
        if (o.value < 0)
            throw 42;
    }
    Tracked& operator=(const Tracked& o)
    {
        value = o.value;
        return *this;
    }
    int value;
    int madeByCopy;
};

TEST(ByRefArrayTest, SlotsAreCopyConstructedAndAFailedCopyChangesNothing)
{
    ByRefArray_TC<Tracked> array(0, 8 * sizeof(Tracked));
    array.InsertBack(Tracked(1));
    array.InsertBack(Tracked(2));
    EXPECT_EQ(array.Obj_P(0)->madeByCopy, 0xC0FFEE);
    EXPECT_EQ(array.Obj_P(1)->madeByCopy, 0xC0FFEE);

    EXPECT_THROW(array.Insert(0, Tracked(-1)), int);
    ASSERT_EQ(array.LastIndex(), 1);
    EXPECT_EQ(array.Obj_P(0)->value, 1);
    EXPECT_EQ(array.Obj_P(1)->value, 2);
}

// ---------------------------------------------------------------------------

std::string xmlOf(const StorEvent& event)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    event.StorEventToXML(writer);
    return text != nullptr ? std::string(text) : std::string();
}

TEST(StorEventTest, DefaultsOfANewEvent)
{
    StorEvent event;
    EXPECT_EQ(event.eventCode, 0);
    EXPECT_STREQ(event.eventType, "");
    EXPECT_EQ(event.date, 0u);
    EXPECT_EQ(event.eventAddr, Addr());
    EXPECT_EQ(event.detailCode, 0x7FFFFFFF);
    EXPECT_STREQ(event.detailType, "");
    EXPECT_EQ(event.attributes.NumEntries(), 0u);
}

TEST(StorEventTest, XmlHasTheNumberThenEveryAttributeEscaped)
{
    StorEvent event;
    EXPECT_EQ(xmlOf(event), "<event eventNumber=\"0\"/>\n");

    event.eventNumber = 12;
    event.attributes.Append("eventCode", "3");
    EXPECT_EQ(xmlOf(event), "<event eventNumber=\"12\" eventCode=\"3\"/>\n");

    event.attributes.Append("eventType", "a<b");
    EXPECT_EQ(xmlOf(event), "<event eventNumber=\"12\" eventCode=\"3\" eventType=\"a&lt;b\"/>\n");
}

TEST(StorEventTest, CopiesKeepEveryField)
{
    StorEvent event;
    event.eventCode = 5;
    event.eventType = "type";
    event.detailCode = 9;
    event.eventNumber = 4;
    event.eventAddr.setAdapterID(1);
    event.attributes.Append("eventCode", "5");
    StorEvent copy(event);
    StorEvent assigned;
    assigned = event;
    for (const StorEvent* e : {&copy, &assigned}) {
        EXPECT_EQ(e->eventCode, 5);
        EXPECT_STREQ(e->eventType, "type");
        EXPECT_EQ(e->detailCode, 9);
        EXPECT_EQ(e->eventNumber, 4u);
        EXPECT_EQ(e->eventAddr, event.eventAddr);
        EXPECT_EQ(xmlOf(*e), xmlOf(event));
    }
}

// Under the sanitizer run a leaked attribute block fails this test.
TEST(StorEventCollectionTest, FillingAndClearingLeaksNothing)
{
    static const char* const names[] = {"eventCode", "eventType", "controllerID", "channelID", "deviceID",
                                        "Date", "groupCode", "groupType", "subTypeCode", "status_bits"};
    StorEventCollection events(2, 2, 4096);
    EXPECT_EQ(events.getText().Size(), 4096u);
    for (int round = 0; round < 3; ++round) {
        for (unsigned int n = 0; n < 25; ++n) {
            ASSERT_TRUE(events.InsertBack(StorEvent()));
            StorEvent* event = events.Obj_P(events.LastIndex());
            event->eventNumber = n;
            for (const char* name : names)
                event->attributes.Append(name, "1");
        }
        EXPECT_EQ(events.LastIndex(), 24);
        EXPECT_EQ(events.Obj_P(24)->attributes.NumEntries(), 10u);
        EXPECT_EQ(events.Obj_P(7)->eventNumber, 7u);
        if (round == 0)
            events.RemoveAll();
        else if (round == 1)
            events.clear();
    }
}

} // namespace
