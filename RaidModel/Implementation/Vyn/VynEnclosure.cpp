#include "RaidModel/Implementation/Vyn/VynEnclosure.h"

#include <cstring>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {
char emptyText[1] = "";
}  // namespace

FsaEnclosureInfo::FsaEnclosureInfo() : owned(0), enclosureIndex(0), config{}, status{} {}

VynEnclosure::VynEnclosure(FsaEnclosureInfo* infoIN, VynAdapter* adapter, Channel* channel, unsigned long deviceID)
    : Enclosure(adapter, channel, deviceID, emptyText, emptyText, emptyText, emptyText, PD_READY, emptyText),
      info(infoIN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynEnclosure::VynEnclosure()");
    if (info != nullptr)
        info->owned = 1;
}

VynEnclosure::~VynEnclosure()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynEnclosure::~VynEnclosure()");
    delete info;
}

bool VynEnclosure::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynEnclosure") == 0) || Enclosure::isInstanceOf(name);
}

const char* VynEnclosure::typeName() const { return "VynEnclosure"; }

void VynEnclosure::build() {}
