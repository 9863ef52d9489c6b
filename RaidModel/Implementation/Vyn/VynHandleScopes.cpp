#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"

#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Interface/Array.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

// The controller of an object, by the object's kind.
const Adapter* adapterOf(const RaidObject* object)
{
    if (object->isInstanceOf("Adapter"))
        return static_cast<const Adapter*>(object);
    if (object->isInstanceOf("Array"))
        return static_cast<const Array*>(object)->getAdapter();
    if (object->isInstanceOf("Channel"))
        return static_cast<const Channel*>(object)->getAdapter();
    if (object->isInstanceOf("LogicalDrive"))
        return static_cast<const LogicalDrive*>(object)->getAdapter();
    if (object->isInstanceOf("PhysicalDevice")) {
        const Channel* channel = static_cast<const PhysicalDevice*>(object)->getChannel();
        return channel != nullptr ? channel->getAdapter() : nullptr;
    }
    return nullptr;
}

}  // namespace

FsaWriteHandleGrabber::FsaWriteHandleGrabber(const RaidObject* object, Ret* ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "FsaWriteHandleGrabber::FsaWriteHandleGrabber()");
    if (object == nullptr)
        return;
    const Adapter* adapter = adapterOf(object);
    if (adapter == nullptr || !adapter->isInstanceOf("VynAdapter"))
        return;
    const auto* vyn = static_cast<const VynAdapter*>(adapter);
    const FSA_STATUS status =
        fsaExports().FsaOpenAdapter2A(vyn->getFsaDescription(), nullptr, FSA_LIBRARY_BUILD, FSA_ACC_READ_WRITE, 1,
                                      fsaPasswordCallback, this, &handle, &openWord);
    if (status == FSA_STS_SUCCESS || status == VynAdapter::FSA_STS_PARTNER_NOT_FOUND)
        return;
    handle = nullptr;
    openWord = 0;
    if (ret != nullptr) {
        ret->setApiError(status);
        VynErrorPrintf(__FILE__, __LINE__, vynerror::API,
                       "FsaOpenAdapter2A(FSA_ACC_READ_WRITE)", static_cast<int>(status));
    } else {
        VynErrorPrintf(__FILE__, __LINE__, "FsaOpenAdapter2A(FSA_ACC_READ_WRITE), fsaStatus=%d",
                       static_cast<int>(status));
    }
}

FsaWriteHandleGrabber::~FsaWriteHandleGrabber()
{
    if (handle != nullptr)
        fsaExports().FsaCloseAdapter(handle);
}
