#include "RaidModel/Implementation/Vyn/VynDevices.h"

#include <cstring>

#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

char emptyText[1] = "";

bool named(const char* name, const char* own) { return name != nullptr && std::strcmp(name, own) == 0; }

void writeScsiFields(Writer* writer, unsigned long id, unsigned long lun, unsigned long type)
{
    writer->writeULong("scsiID", id);
    writer->writeULong("scsiLUN", lun);
    writer->writeULong("scsiDeviceType", type);
}

VynPhysicalDeviceAttach* attachmentOf(const RaidObject& device)
{
    Serializable* attachment = device.getAttachment();
    if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
        return nullptr;
    return static_cast<VynPhysicalDeviceAttach*>(attachment);
}

// Both device operations are the attachment's: `missing` is the bad
// parameter's text of a device without one.
template <class Work>
Ret throughAttachment(const RaidObject& device, const char* missing, Work work)
{
    Ret ret(0);
    try {
        VynPhysicalDeviceAttach* attachment = attachmentOf(device);
        if (attachment == nullptr) {
            vynerror::badParam(ret, missing, 0);
            return ret;
        }
        work(*attachment, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

const char* const kCdromMissing = "pAttach==NULL";
const char* const kTapeMissing = "TapeDrive object had no attachment";
const char* const kOtherMissing = "OtherDevice object had no attachment";

}  // namespace

VynCDROMDrive::VynCDROMDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID)
    : CDROMDrive(adapter, channel, deviceID, emptyText, emptyText, emptyText, emptyText, emptyText)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynCDROMDrive::VynCDROMDrive()");
}

VynCDROMDrive::~VynCDROMDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynCDROMDrive::~VynCDROMDrive()");
}

bool VynCDROMDrive::isInstanceOf(const char* name) const
{
    return named(name, "VynCDROMDrive") || CDROMDrive::isInstanceOf(name);
}

const char* VynCDROMDrive::typeName() const { return "VynCDROMDrive"; }

void VynCDROMDrive::writeTo(Writer* writer) const
{
    CDROMDrive::writeTo(writer);
    writeScsiFields(writer, scsiID, scsiLUN, scsiDeviceType);
}

Ret VynCDROMDrive::scsiPassThruCommand(SCSICommand& command)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynCDROMDrive::scsiPassThruCommand()");
    return throughAttachment(*this, kCdromMissing, [&](VynPhysicalDeviceAttach& a, Ret& ret) { a.doScsiPassThru(command, ret); });
}

Ret VynCDROMDrive::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynCDROMDrive::identifyDevice()");
    return throughAttachment(*this, kCdromMissing, [&](VynPhysicalDeviceAttach& a, Ret& ret) { a.identifyDevice(on, ret); });
}

VynTapeDrive::VynTapeDrive(VynAdapter* adapter, Channel* channel, unsigned long deviceID)
    : TapeDrive(adapter, channel, deviceID, "", "", "", "", "")
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynTapeDrive::VynTapeDrive()");
}

VynTapeDrive::~VynTapeDrive()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynTapeDrive::~VynTapeDrive()");
}

bool VynTapeDrive::isInstanceOf(const char* name) const
{
    return named(name, "VynTapeDrive") || TapeDrive::isInstanceOf(name);
}

const char* VynTapeDrive::typeName() const { return "VynTapeDrive"; }

void VynTapeDrive::writeTo(Writer* writer) const
{
    TapeDrive::writeTo(writer);
    writeScsiFields(writer, scsiID, scsiLUN, scsiDeviceType);
}

Ret VynTapeDrive::scsiPassThruCommand(SCSICommand& command)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynTapeDrive::scsiPassThruCommand()");
    return throughAttachment(*this, kTapeMissing, [&](VynPhysicalDeviceAttach& a, Ret& ret) { a.doScsiPassThru(command, ret); });
}

Ret VynTapeDrive::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynTapeDrive::identifyDevice()");
    return throughAttachment(*this, kTapeMissing, [&](VynPhysicalDeviceAttach& a, Ret& ret) { a.identifyDevice(on, ret); });
}

VynOtherDevice::VynOtherDevice(VynAdapter* adapter, Channel* channel, unsigned long deviceID,
                               EnumPhysicalDeviceType type)
    : OtherDevice(adapter, channel, deviceID, type, emptyText, emptyText, emptyText, emptyText, emptyText)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynOtherDevice::VynOtherDevice()");
}

VynOtherDevice::~VynOtherDevice()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT, "VynOtherDevice::~VynOtherDevice()");
}

bool VynOtherDevice::isInstanceOf(const char* name) const
{
    return named(name, "VynOtherDevice") || OtherDevice::isInstanceOf(name);
}

const char* VynOtherDevice::typeName() const { return "VynOtherDevice"; }

void VynOtherDevice::writeTo(Writer* writer) const
{
    OtherDevice::writeTo(writer);
    writeScsiFields(writer, scsiID, scsiLUN, scsiDeviceType);
}

Ret VynOtherDevice::scsiPassThruCommand(SCSICommand& command)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynOtherDevice::scsiPassThruCommand()");
    return throughAttachment(*this, kOtherMissing, [&](VynPhysicalDeviceAttach& a, Ret& ret) { a.doScsiPassThru(command, ret); });
}

Ret VynOtherDevice::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynOtherDevice::identifyDevice()");
    return throughAttachment(*this, kOtherMissing, [&](VynPhysicalDeviceAttach& a, Ret& ret) { a.identifyDevice(on, ret); });
}
