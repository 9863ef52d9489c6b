#include "RaidModel/Implementation/Vyn/VynDriveIndex.h"

#include "RaidModel/Interface/RaidObject.h"
#include "common/Addr.h"

namespace {

uint64_t keyOf(uint32_t channel, uint32_t device) { return static_cast<uint64_t>(channel) << 32 | device; }

}  // namespace

VynDriveIndex::VynDriveIndex(const RaidObject* adapter) : adapterID(adapter != nullptr ? adapter->getAdapterID() : 0)
{
    if (adapter != nullptr)
        walk(adapter);
}

// The order of RaidObject::getChild(addr, true): all children of a node,
// then each child's subtree in turn.
void VynDriveIndex::walk(const RaidObject* node)
{
    for (RaidObject* child : node->getChildList())
        record(child);
    for (RaidObject* child : node->getChildList())
        walk(child);
}

void VynDriveIndex::record(RaidObject* node)
{
    const Addr& a = node->getAddr();
    const Addr device(adapterID, Addr::UNSET_ID, Addr::UNSET_ID, a.getChannelID(), a.getDeviceID(),
                      Addr::UNSET_CHUNK_ID, Addr::UNSET_ID, Addr::UNSET_ID);
    if (a == device)
        nodes.emplace(keyOf(a.getChannelID(), a.getDeviceID()), node);
}

void VynDriveIndex::add(RaidObject* node)
{
    if (node != nullptr)
        record(node);
}

RaidObject* VynDriveIndex::find(uint32_t channel, uint32_t device) const
{
    const auto it = nodes.find(keyOf(channel, device));
    return it != nodes.end() ? it->second : nullptr;
}
