#include "RaidModel/Interface/FilterCollection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/PhysicalDevice.h"

unsigned int universalDebugFlag = 0;

namespace {

constexpr unsigned int kTraceConstruct = 0x10;
constexpr unsigned int kTraceDestruct = 0x20;
constexpr unsigned int kTraceCalls = 0xF0;

bool tracing(unsigned int bits)
{
    return (universalDebugFlag & bits) != 0;
}

struct ClassOrder {
    const char* className;
    RaidObjectCompare compare;
};

constexpr ClassOrder kOrders[] = {
    {"Adapter", compareAdapters},
    {"PhysicalDevice", comparePhysicalDevices},
    {"CDROMDrive", comparePhysicalDevices},
    {"Enclosure", comparePhysicalDevices},
    {"HardDrive", comparePhysicalDevices},
    {"OtherDevice", comparePhysicalDevices},
    {"TapeDrive", comparePhysicalDevices},
    {"Array", compareArrays},
    {"BasicArray", compareArrays},
    {"SpannedArray", compareArrays},
    {"LogicalDrive", compareLogicalDrives},
    {"BasicLogicalDrive", compareLogicalDrives},
    {"HLogicalDrive", compareLogicalDrives},
    {"Chunk", compareChunks},
    {"Channel", compareChannels},
    {"EthernetInterface", compareChannels},
    {"iScsiInterface", compareChannels},
    {"FibreInterface", compareChannels},
    {"SATAChannel", compareChannels},
    {"SCSIChannel", compareChannels},
};

RaidObjectCompare orderFor(const char* className)
{
    for (const ClassOrder& order : kOrders) {
        if (std::strcmp(order.className, className) == 0) {
            return order.compare;
        }
    }
    return nullptr;
}

// A device sorts by the channel it sits on; without one, by the channel id
// stamped into its address.
unsigned long deviceChannelID(const RaidObject* object)
{
    if (object->isInstanceOf("PhysicalDevice")) {
        const Channel* channel = static_cast<const PhysicalDevice*>(object)->getChannel();
        if (channel != nullptr) {
            return channel->getChannelID();
        }
    }
    return object->getChannelID();
}

}  // namespace

RaidFilter::~RaidFilter() = default;

bool compareAdapters(const RaidObject* a, const RaidObject* b)
{
    return a->getAdapterID() < b->getAdapterID();
}

bool compareArrays(const RaidObject* a, const RaidObject* b)
{
    return a->getArrayID() < b->getArrayID();
}

bool compareLogicalDrives(const RaidObject* a, const RaidObject* b)
{
    return a->getLogicalDriveID() < b->getLogicalDriveID();
}

bool compareChannels(const RaidObject* a, const RaidObject* b)
{
    return a->getChannelID() < b->getChannelID();
}

bool comparePhysicalDevices(const RaidObject* a, const RaidObject* b)
{
    const unsigned long channelA = deviceChannelID(a);
    const unsigned long channelB = deviceChannelID(b);
    if (channelA != channelB) {
        return channelA < channelB;
    }
    return a->getDeviceID() < b->getDeviceID();
}

bool compareChunks(const RaidObject* a, const RaidObject* b)
{
    if (a->getChannelID() != b->getChannelID()) {
        return a->getChannelID() < b->getChannelID();
    }
    return a->getDeviceID() < b->getDeviceID();
}

FilterCollection::FilterCollection(RaidObject* rootIN) : root(rootIN)
{
    if (tracing(kTraceConstruct)) {
        std::fprintf(stderr, "Constructing FilterCollection\n");
    }
    resetFilters();
}

FilterCollection::~FilterCollection()
{
    if (tracing(kTraceDestruct)) {
        std::fprintf(stderr, "Destructing FilterCollection\n");
    }
}

FilterCollection* FilterCollection::apply(RaidFilter* filter)
{
    if (tracing(kTraceCalls)) {
        std::fprintf(stderr, "FilterCollection::apply(RaidFilter*)\n");
    }
    if (filter == nullptr) {
        return this;
    }
    for (RaidObject*& entry : results) {
        if (entry != nullptr && !filter->matches(entry)) {
            entry = nullptr;
        }
    }
    delete filter;
    repackResultSet();
    return this;
}

FilterCollection* FilterCollection::apply(const char* className, bool sortResults)
{
    if (className == nullptr) {
        return this;
    }
    if (tracing(kTraceCalls)) {
        std::fprintf(stderr, "FilterCollection::apply(%s)\n", className);
    }
    for (RaidObject*& entry : results) {
        if (entry != nullptr && !entry->isInstanceOf(className)) {
            entry = nullptr;
        }
    }
    repackResultSet();
    if (sortResults) {
        sort(orderFor(className));
    }
    return this;
}

void FilterCollection::sort(RaidObjectCompare compare)
{
    if (compare != nullptr) {
        std::sort(results.begin(), results.end(), compare);
    }
}

// Breadth first: the sequence grows while it is walked, so index, not
// iterators.
FilterCollection* FilterCollection::resetFilters()
{
    if (tracing(kTraceCalls)) {
        std::fprintf(stderr, "FilterCollection::resetFilters()\n");
    }
    results.clear();
    if (root != nullptr) {
        results.push_back(root);
        for (std::size_t i = 0; i < results.size(); ++i) {
            const std::vector<RaidObject*> children = results[i]->getChildren();
            results.insert(results.end(), children.begin(), children.end());
        }
    }
    repackResultSet();
    return this;
}

int FilterCollection::size() const
{
    if (tracing(kTraceCalls)) {
        std::fprintf(stderr, "FilterCollection::size\n");
    }
    return static_cast<int>(results.size());
}

RaidObject* FilterCollection::elementAt(int i) const
{
    if (tracing(kTraceCalls)) {
        std::fprintf(stderr, "FilterCollection::elementAt(%d)\n", i);
    }
    if (i < 0 || static_cast<std::size_t>(i) >= results.size()) {
        return nullptr;
    }
    return results[static_cast<std::size_t>(i)];
}

void FilterCollection::repackResultSet()
{
    if (tracing(kTraceCalls)) {
        std::fprintf(stderr, "FilterCollection::repackResultSet\n");
    }
    results.erase(std::remove(results.begin(), results.end(), nullptr), results.end());
}
