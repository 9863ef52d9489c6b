#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"

#include <cstring>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {
char emptyText[1] = "";
}  // namespace

VynSES2EnclosureDevice::VynSES2EnclosureDevice(VynAdapter* adapter, Channel* channel, unsigned long deviceID,
                                               unsigned long fsaEnclosureIDIN)
    : SES2EnclosureDevice(adapter, channel, deviceID, emptyText, emptyText, emptyText, emptyText, PD_READY,
                          emptyText),
      fsaEnclosureID(static_cast<uint32_t>(fsaEnclosureIDIN)),
      vynAdapter(adapter)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynSES2EnclosureDevice::VynSES2EnclosureDevice()");
}

VynSES2EnclosureDevice::~VynSES2EnclosureDevice()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynSES2EnclosureDevice::~VynSES2EnclosureDevice()");
}

bool VynSES2EnclosureDevice::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynSES2EnclosureDevice") == 0) ||
           SES2EnclosureDevice::isInstanceOf(name);
}

const char* VynSES2EnclosureDevice::typeName() const { return "VynSES2EnclosureDevice"; }
