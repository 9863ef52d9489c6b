#include "RaidModel/Interface/RaidObject.h"

#include <algorithm>
#include <cstring>

#include "RaidModel/Interface/SASPhy.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

std::atomic<unsigned int> globalRaidObjectCounter{0};

namespace {

// The controller that a logical drive belongs to is its nearest controller
// ancestor; member drives of spanned drives sit one level deeper.
const RaidObject* owningAdapter(const RaidObject* node)
{
    for (const RaidObject* p = node->getParent(); p != nullptr; p = p->getParent()) {
        if (p->isInstanceOf("Adapter")) {
            return p;
        }
    }
    return nullptr;
}

}  // namespace

Serializable::~Serializable() = default;

bool Serializable::isInstanceOf(const char* name) const
{
    return name != nullptr && std::strcmp(name, "Serializable") == 0;
}

const char* Serializable::typeName() const
{
    return "Serializable";
}

const char* Serializable::serializedName() const
{
    return "Serializable";
}

void Serializable::writeTo(Writer*) const {}

void Serializable::writeToXML(Writer*) const {}

RaidObject::RaidObject() : parent(nullptr), attachment(nullptr)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "RaidObject::RaidObject()");
    ++globalRaidObjectCounter;
}

RaidObject::RaidObject(const RaidObject& other)
    : Serializable(other), children(other.children), parent(other.parent), attachment(nullptr)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RaidObject::RaidObject(const RaidObject &)");
    ++globalRaidObjectCounter;
}

RaidObject& RaidObject::operator=(const RaidObject& other)
{
    children = other.children;
    return *this;
}

RaidObject::~RaidObject()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "RaidObject::~RaidObject()");
    delete attachment;
    --globalRaidObjectCounter;
}

bool RaidObject::operator==(const RaidObject& other) const
{
    return address == other.address;
}

bool RaidObject::operator!=(const RaidObject& other) const
{
    return !(*this == other);
}

bool RaidObject::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "RaidObject") == 0) {
        return true;
    }
    return Serializable::isInstanceOf(name);
}

const char* RaidObject::typeName() const
{
    return "RaidObject";
}

const char* RaidObject::serializedName() const
{
    return "RaidObject";
}

void RaidObject::writeTo(Writer* writer) const
{
    writeBaseAttributes(writer, true);
}

void RaidObject::writeToXML(Writer* writer) const
{
    writeBaseAttributes(writer, false);
}

void RaidObject::writeBaseAttributes(Writer* writer, bool withAttachment) const
{
    writer->writeString("typeName", typeName());
    if (withAttachment) {
        if (attachment == nullptr) {
            writer->writeString("attachmentType", "none");
        } else {
            writer->writeString("attachmentType", attachment->typeName());
            attachment->writeTo(writer);
        }
    }
    if (address.getStorLibType() != 0) {
        writer->writeInt("storlibType", static_cast<int>(address.getStorLibType()));
    }
    const struct {
        const char* name;
        unsigned long id;
    } ids[] = {
        {"controllerID", address.getAdapterID()},   {"arrayID", address.getArrayID()},
        {"logicalDriveID", address.getLogicalDriveID()}, {"channelID", address.getChannelID()},
        {"deviceID", address.getDeviceID()},
    };
    for (const auto& id : ids) {
        if (id.id != Addr::UNSET_ID) {
            writer->writeULong(id.name, id.id);
        }
    }
    if (address.getChunkID() != Addr::UNSET_CHUNK_ID) {
        writer->writeBlockT("chunkID", address.getChunkID());
    }
    if (address.getItemID() != Addr::UNSET_ID) {
        writer->writeULong("itemID", address.getItemID());
    }
    if (address.getSASPhyID() != Addr::UNSET_ID) {
        writer->writeULong("phyID", address.getSASPhyID());
    }
}

void RaidObject::initBaseAttributes()
{
    if (attributes.Exists("storlibType")) {
        address.setStorLibType(static_cast<EnumStorLibType>(attributes.GetULong("storlibType")));
    }
    if (attributes.Exists("controllerID")) {
        address.setAdapterID(attributes.GetULong("controllerID"));
    }
    if (attributes.Exists("arrayID")) {
        address.setArrayID(attributes.GetULong("arrayID"));
    }
    if (attributes.Exists("logicalDriveID")) {
        address.setLogicalDriveID(attributes.GetULong("logicalDriveID"));
    }
    if (attributes.Exists("channelID")) {
        address.setChannelID(attributes.GetULong("channelID"));
    }
    if (attributes.Exists("deviceID")) {
        address.setDeviceID(attributes.GetULong("deviceID"));
    }
    // Chunk ids are start sectors; past 2 TiB they no longer fit 32 bits.
    if (attributes.Exists("chunkID")) {
        address.setChunkID(attributes.GetU64("chunkID"));
    }
    if (attributes.Exists("itemID")) {
        address.setItemID(attributes.GetULong("itemID"));
    }
    if (attributes.Exists("phyID")) {
        address.setSASPhyID(attributes.GetULong("phyID"));
    }
}

void RaidObject::sortChildren() {}

void RaidObject::addChild(RaidObject* child)
{
    if (child == nullptr) {
        return;
    }
    children.push_back(child);
    child->setParent(this);
    notifyAncestors(child);
}

void RaidObject::addChild(RaidObject* child, unsigned long index)
{
    if (child == nullptr) {
        return;
    }
    if (index < children.size()) {
        children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), child);
    } else {
        children.push_back(child);
    }
    child->setParent(this);
    notifyAncestors(child);
}

// Pre-order over the new subtree: this node and every ancestor hear of each
// node once, nearest ancestor first.
void RaidObject::notifyAncestors(RaidObject* node)
{
    for (RaidObject* ancestor = this; ancestor != nullptr; ancestor = ancestor->parent) {
        ancestor->descendantAdded(node);
    }
    for (RaidObject* grandChild : node->children) {
        notifyAncestors(grandChild);
    }
}

void RaidObject::descendantAdded(RaidObject*) {}

void RaidObject::readFrom(Reader*) {}

RaidObject* RaidObject::getChild(int i) const
{
    if (i < 0 || static_cast<unsigned long>(i) >= children.size()) {
        return nullptr;
    }
    return children[static_cast<std::size_t>(i)];
}

unsigned long RaidObject::getAdapterID() const { return address.getAdapterID(); }
unsigned long RaidObject::getArrayID() const { return address.getArrayID(); }
unsigned long RaidObject::getLogicalDriveID() const { return address.getLogicalDriveID(); }
unsigned long RaidObject::getChannelID() const { return address.getChannelID(); }
unsigned long RaidObject::getDeviceID() const { return address.getDeviceID(); }
unsigned long RaidObject::getPhysicalDeviceID() const { return address.getDeviceID(); }
unsigned long long RaidObject::getChunkID() const { return address.getChunkID(); }
unsigned long RaidObject::getItemID() const { return address.getItemID(); }
unsigned long RaidObject::getSASPhyID() const { return address.getSASPhyID(); }
EnumStorLibType RaidObject::getStorLibType() const { return address.getStorLibType(); }

void RaidObject::setAdapterID(unsigned long id) { address.setAdapterID(static_cast<std::uint32_t>(id)); }
void RaidObject::setArrayID(unsigned long id) { address.setArrayID(static_cast<std::uint32_t>(id)); }
void RaidObject::setLogicalDriveID(unsigned long id)
{
    address.setLogicalDriveID(static_cast<std::uint32_t>(id));
}
void RaidObject::setChannelID(unsigned long id) { address.setChannelID(static_cast<std::uint32_t>(id)); }
void RaidObject::setDeviceID(unsigned long id) { address.setDeviceID(static_cast<std::uint32_t>(id)); }
void RaidObject::setChunkID(unsigned long long id) { address.setChunkID(id); }
void RaidObject::setItemID(unsigned long id) { address.setItemID(static_cast<std::uint32_t>(id)); }
void RaidObject::setSASPhyID(unsigned long id) { address.setSASPhyID(static_cast<std::uint32_t>(id)); }
void RaidObject::setStorLibType(EnumStorLibType type) { address.setStorLibType(type); }

void RaidObject::deleteChild(RaidObject* child)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RaidObject::deleteChild (RaidObject* pChildIN)");
    auto it = std::find(children.begin(), children.end(), child);
    if (it == children.end()) {
        return;
    }
    child->deleteAllChildren();
    children.erase(it);
    delete child;
}

void RaidObject::deleteAllChildren()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "RaidObject::deleteAllChildren()");
    for (RaidObject* child : children) {
        child->deleteAllChildren();
        delete child;
    }
    children.clear();
}

RaidObject* RaidObject::getRoot()
{
    RaidObject* node = this;
    while (node->parent != nullptr) {
        node = node->parent;
    }
    return node;
}

const RaidObject* RaidObject::getRoot() const
{
    return const_cast<RaidObject*>(this)->getRoot();
}

bool RaidObject::hasAncestor(const RaidObject* ancestor) const
{
    for (const RaidObject* p = parent; p != nullptr; p = p->parent) {
        if (p == ancestor) {
            return true;
        }
    }
    return false;
}

bool RaidObject::isAncestorOf(const RaidObject* node) const
{
    return node != nullptr && node->hasAncestor(this);
}

void RaidObject::attach(Serializable* newAttachment)
{
    if (newAttachment == attachment) {
        return;
    }
    delete attachment;
    attachment = newAttachment;
}

// The Addr and Addr2 lookups differ only in the comparison their address
// type makes.
template <class A>
RaidObject* RaidObject::findChild(const A& addr, bool recursive) const
{
    for (RaidObject* child : children) {
        if (child->address == addr) {
            return child;
        }
    }
    if (recursive) {
        for (RaidObject* child : children) {
            if (RaidObject* found = child->findChild(addr, true)) {
                return found;
            }
        }
    }
    return nullptr;
}

template <class A>
RaidObject* RaidObject::findObject(const A& addr)
{
    if (addr.getType() == ADDR_TYPE_LOGICAL) {
        return findLogicalDrive(addr.getAdapterID(), addr.getLogicalDriveID());
    }
    return getObjectHelper(addr);
}

template <class A>
RaidObject* RaidObject::getObjectHelper(const A& addr)
{
    if (address == addr) {
        return this;
    }
    for (RaidObject* child : children) {
        if (RaidObject* found = child->getObjectHelper(addr)) {
            return found;
        }
    }
    return nullptr;
}

RaidObject* RaidObject::getChild(const Addr& addr, bool recursive) const
{
    return findChild(addr, recursive);
}

RaidObject* RaidObject::getChild(const Addr2& addr, bool recursive) const
{
    return findChild(addr, recursive);
}

RaidObject* RaidObject::getObject(const Addr& addr)
{
    return findObject(addr);
}

RaidObject* RaidObject::getObject(const Addr2& addr)
{
    return findObject(addr);
}

RaidObject* RaidObject::getObject(unsigned long adapterID, unsigned long arrayID,
                                  unsigned long logicalDriveID, unsigned long channelID,
                                  unsigned long deviceID)
{
    Addr addr(static_cast<std::uint32_t>(adapterID), static_cast<std::uint32_t>(arrayID),
              static_cast<std::uint32_t>(logicalDriveID), static_cast<std::uint32_t>(channelID),
              static_cast<std::uint32_t>(deviceID), Addr::UNSET_CHUNK_ID, Addr::UNSET_ID,
              Addr::UNSET_ID);
    return getObject(addr);
}

RaidObject* RaidObject::findLogicalDrive(unsigned long adapterID, unsigned long logicalDriveID)
{
    std::vector<RaidObject*> drives;
    getRoot()->getChildren(drives, "LogicalDrive", true, true);
    for (RaidObject* drive : drives) {
        const RaidObject* adapter = owningAdapter(drive);
        if (adapter != nullptr && adapter->getAdapterID() == adapterID
            && drive->getLogicalDriveID() == logicalDriveID) {
            return drive;
        }
    }
    return nullptr;
}

// `seen` mirrors `out` so that the uniqueness test stays cheap on large trees.
void RaidObject::collectChildren(const RaidObject* node, std::vector<RaidObject*>& out,
                                 const char* className, bool recursive, bool unique,
                                 std::unordered_set<const RaidObject*>& seen)
{
    for (RaidObject* child : node->children) {
        if (className == nullptr || child->isInstanceOf(className)) {
            if (!unique || seen.count(child) == 0) {
                out.push_back(child);
                seen.insert(child);
            }
        }
        if (recursive) {
            collectChildren(child, out, className, true, true, seen);
        }
    }
}

void RaidObject::getChildren(std::vector<RaidObject*>& out, bool recursive, bool unique) const
{
    std::unordered_set<const RaidObject*> seen(out.begin(), out.end());
    collectChildren(this, out, nullptr, recursive, unique, seen);
}

void RaidObject::getChildren(std::vector<RaidObject*>& out, const char* className, bool recursive,
                             bool unique) const
{
    std::unordered_set<const RaidObject*> seen(out.begin(), out.end());
    collectChildren(this, out, className == nullptr ? "" : className, recursive, unique, seen);
}

void RaidObject::getChildren(std::vector<RaidObject*>& out, const char* className, bool recursive, bool unique,
                             std::unordered_set<const RaidObject*>& seen) const
{
    collectChildren(this, out, className == nullptr ? "" : className, recursive, unique, seen);
}

std::vector<SASPhy*> RaidObject::getSASPhys() const
{
    std::vector<RaidObject*> nodes;
    getChildren(nodes, "SASPhy", true, true);
    std::vector<SASPhy*> phys;
    phys.reserve(nodes.size());
    for (RaidObject* node : nodes) {
        phys.push_back(static_cast<SASPhy*>(node));
    }
    return phys;
}
