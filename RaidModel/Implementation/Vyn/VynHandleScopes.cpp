#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"

#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynBasicLogicalDrive.h"
#include "Command/Vyn/common/fa_ctrinfo.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "Command/Vyn/os/faux_char.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/Array.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/LogicalDrive.h"
#include "RaidModel/Interface/PhysicalDevice.h"
#include "common/Addr.h"
#include "common/LogicalDriveSpec.h"
#include "common/Ret.h"
#include "common/ReturnCode.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

#include <cstring>
#include <new>

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
        vynerror::apiError(*ret, "FsaOpenAdapter2A(FSA_ACC_READ_WRITE)", status);
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

namespace {

[[noreturn]] void badChunks(Ret& ret, const char* text)
{
    vynerror::badParam(ret, text, 0);
    throw ReturnCode(-2);
}

}  // namespace

FsaStorageDeviceArrayGrabber::FsaStorageDeviceArrayGrabber(unsigned long countIN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "FsaStorageDeviceArrayGrabber::FsaStorageDeviceArrayGrabber()");
    devices = new (std::nothrow) FSA_STORAGE_DEVICE[countIN]();
    if (devices == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE, "pStorageDevice = new FSA_STORAGE_DEVICE[countIN];");
        throw ReturnCode(-3);
    }
    count = countIN;
}

FsaStorageDeviceArrayGrabber::FsaStorageDeviceArrayGrabber(Adapter* adapter, const std::vector<ChunkSpec>& chunks,
                                                           Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "FsaStorageDeviceArrayGrabber::FsaStorageDeviceArrayGrabber()");
    if (adapter == nullptr)
        badChunks(ret, "pAdapter==NULL");
    if (chunks.empty())
        badChunks(ret, "no chunks specified");
    if (chunks.size() > MAX_CHUNKS)
        badChunks(ret, "too many chunks specified");
    devices = new (std::nothrow) FSA_STORAGE_DEVICE[chunks.size()]();
    if (devices == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE,
                       "pStorageDevice = new FSA_STORAGE_DEVICE[chunksIN.size()];");
        throw ReturnCode(-3);
    }
    count = chunks.size();
    unsigned long errors = 0;
    for (unsigned long i = 0; i < count; ++i) {
        Addr addr;
        addr.setAdapterID(adapter->getAdapterID());
        addr.setChannelID(static_cast<uint32_t>(chunks[i].getChannelID()));
        addr.setDeviceID(static_cast<uint32_t>(chunks[i].getDeviceID()));
        RaidObject* found = adapter->getChild(addr, true);
        const char* fault = nullptr;
        if (found == nullptr) {
            fault = "member not found";
        } else if (!found->isInstanceOf("HardDrive")) {
            fault = "member not a HardDrive";
        } else {
            Serializable* attachment = found->getAttachment();
            if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
                fault = "bad member attachment";
            else
                std::memcpy(&devices[i], static_cast<VynPhysicalDeviceAttach*>(attachment)->getStorageDevice(),
                            sizeof devices[i]);
        }
        if (fault != nullptr) {
            ++errors;
            vynerror::badParam(ret, fault, static_cast<long>(i));
        }
    }
    if (errors != 0) {
        delete[] devices;
        devices = nullptr;
        count = 0;
        throw ReturnCode(-2);
    }
}

FsaStorageDeviceArrayGrabber::~FsaStorageDeviceArrayGrabber()
{
    delete[] devices;
}

FsaContainerArrayGrabber::FsaContainerArrayGrabber(const std::vector<VynBasicLogicalDrive*>& drives)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "FsaContainerArrayGrabber::FsaContainerArrayGrabber()");
    if (drives.empty())
        return;
    containers = new (std::nothrow) tag_FSA_CONTAINER[drives.size()]();
    if (containers == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE, "pContainer = new FSA_CONTAINER[numItems];");
        throw ReturnCode(-3);
    }
    count = drives.size();
    for (unsigned long i = 0; i < count; ++i) {
        const uint8_t* key = drives[i] != nullptr ? drives[i]->getContainer() : nullptr;
        if (key != nullptr)
            std::memcpy(&containers[i], key, sizeof(tag_FSA_CONTAINER));
    }
}

FsaContainerArrayGrabber::~FsaContainerArrayGrabber() { delete[] containers; }

FsaStorageDeviceSpaceGrabber::FsaStorageDeviceSpaceGrabber(unsigned long countIN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "FsaStorageDeviceSpaceGrabber::FsaStorageDeviceSpaceGrabber()");
    spaces = new (std::nothrow) FSA_STORAGE_DEVICE_SPACE[countIN]();
    if (spaces == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE,
                       "pStorageDeviceSpace = new FSA_STORAGE_DEVICE_SPACE[numItems];");
        return;
    }
    count = countIN;
}

FsaStorageDeviceSpaceGrabber::~FsaStorageDeviceSpaceGrabber() { delete[] spaces; }

FsaContainerInfoGrabber::FsaContainerInfoGrabber()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "FsaContainerInfoGrabber::FsaContainerInfoGrabber()");
    info = new (std::nothrow) FSA_CONTAINER_INFO_EXTND();
    if (info == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, vynerror::RESOURCE,
                       "pContainerInfoExtnd = (FSA_CONTAINER_INFO_EXTND *) new "
                       "char[FSA_MAX_CONTAINER_INFO_EXTND_SIZE];");
        throw ReturnCode(-3);
    }
}

FsaContainerInfoGrabber::~FsaContainerInfoGrabber() { delete info; }

void FsaContainerInfoGrabber::clear()
{
    std::memset(info->bytes + sizeof(tag_FSA_CONTAINER), 0, sizeof info->bytes - sizeof(tag_FSA_CONTAINER));
}

FsaMorphRelationship::FsaMorphRelationship() : word0(0), word1(0), container{} {}
