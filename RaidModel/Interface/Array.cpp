#include "RaidModel/Interface/Array.h"

#include <cstring>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/FilterCollection.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/Addr.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

Array::Array()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Array::Array()");
}

Array::Array(Adapter* owner, unsigned long arrayID, unsigned long long total, unsigned long long free,
             int nested)
    : adapter(owner), size(total), freeSpace(free), nestedLevel(nested)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Array::Array(Adapter *, ...)");
    setArrayID(arrayID);
}

Array::Array(const Array& other)
    : RaidObject(), adapter(other.adapter), size(other.size), freeSpace(other.freeSpace),
      nestedLevel(other.nestedLevel), stripeSize(other.stripeSize)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Array::Array(const Array &)");
    setArrayID(other.getArrayID());
}

Array& Array::operator=(const Array& other)
{
    if (this != &other) {
        setArrayID(other.getArrayID());
        size = other.size;
        freeSpace = other.freeSpace;
        nestedLevel = other.nestedLevel;
        stripeSize = other.stripeSize;
    }
    return *this;
}

Array::~Array()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT, "Array::~Array()");
}

bool Array::operator==(const Array& other) const
{
    return getArrayID() == other.getArrayID() && size == other.size && freeSpace == other.freeSpace &&
           nestedLevel == other.nestedLevel;
}

bool Array::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "Array") == 0)
        return true;
    return RaidObject::isInstanceOf(name);
}

const char* Array::typeName() const
{
    return "Array";
}

const char* Array::serializedName() const
{
    return "Array";
}

// Only the array's own values: the saved form never carried its ids.
void Array::writeTo(Writer* writer) const
{
    writer->writeBlockT("size", size);
    writer->writeBlockT("freeSpace", freeSpace);
    writer->writeInt("nestedLevel", nestedLevel);
    writer->writeInt("stripeSize", stripeSize);
}

void Array::descendantAdded(RaidObject* descendant)
{
    RaidObject::descendantAdded(descendant);
    if (descendant != nullptr)
        descendant->setArrayID(getArrayID());
}

void Array::getHardDrives(std::vector<HardDrive*>& out) const
{
    if (adapter == nullptr)
        return;
    FilterCollection chunks(const_cast<Array*>(this));
    chunks.apply("Chunk", false);
    for (int i = 0; i < chunks.size(); ++i) {
        const RaidObject* chunk = chunks.elementAt(i);
        RaidObject* found = adapter->getObject(adapter->getAdapterID(), Addr::UNSET_ID, Addr::UNSET_ID,
                                               chunk->getChannelID(), chunk->getDeviceID());
        // Only drives: a chunk naming another kind of device adds nothing.
        if (found != nullptr && found->isInstanceOf("HardDrive"))
            out.push_back(static_cast<HardDrive*>(found));
    }
}
