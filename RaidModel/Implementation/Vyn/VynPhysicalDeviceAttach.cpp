#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"

#include <cstring>
#include <new>

#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynEnclosure.h"
#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/HardDrive.h"
#include "common/StorDebug.h"

namespace {

// The SAS address within a drive phy record.
constexpr size_t kPhySasAddress = 8;

}  // namespace

VynPhysicalDeviceAttach::VynPhysicalDeviceAttach(Channel* channelIN, PhysicalDevice* deviceIN,
                                                 const FSA_STORAGE_DEVICE_INFO* infoIN,
                                                 const FSA_SMART_DATA* smartIN)
    : channel(channelIN), device(deviceIN)
{
    std::memset(&info, 0, sizeof info);
    if (channel == nullptr || device == nullptr)
        return;
    device->attach(this);
    if (device->isInstanceOf("HardDrive"))
        hardDrive = static_cast<HardDrive*>(device);
    Adapter* adapter = channel->getAdapter();
    if (adapter != nullptr && adapter->isInstanceOf("VynAdapter"))
        vynAdapter = static_cast<VynAdapter*>(adapter);
    if (infoIN != nullptr)
        std::memcpy(&info, infoIN, sizeof info);
    // Only a hard drive keeps SMART data.
    if (smartIN != nullptr && hardDrive != nullptr) {
        smart = new (std::nothrow) FSA_SMART_DATA;
        if (smart == nullptr)
            VynErrorPrintf(__FILE__, __LINE__, "*** Resource Error: new FSA_SMART_DATA");
        else
            std::memcpy(smart, smartIN, sizeof *smart);
    }
    if (infoIN != nullptr)
        readSasAddresses();

    if (device->isInstanceOf("VynSES2EnclosureDevice")) {
        fsaEnclosureId = static_cast<uint32_t>(static_cast<VynSES2EnclosureDevice*>(device)->getFsaEnclosureID());
    } else if (device->isInstanceOf("VynEnclosure")) {
        auto* enclosure = static_cast<VynEnclosure*>(device);
        fsaEnclosureId = static_cast<uint32_t>(enclosure->getFsaEnclosureID());
        // The enclosure's build talks to the device through this attachment.
        enclosure->build();
    }
}

VynPhysicalDeviceAttach::~VynPhysicalDeviceAttach() { delete smart; }

void VynPhysicalDeviceAttach::readSasAddresses()
{
    if (vynAdapter == nullptr || !channel->isInstanceOf("SASChannel") || device->isInstanceOf("SES2EnclosureDevice"))
        return;
    _FSA_SAS_DISK_PHY_INFO first;
    _FSA_SAS_DISK_PHY_INFO second;
    std::memset(&first, 0, sizeof first);
    std::memset(&second, 0, sizeof second);
    const FSA_STATUS status =
        fsaExports().FsaGetDiskSasPhyInfo(vynAdapter->getAdapterHandle(), &info.address, &first, &second);
    if (status != FSA_STS_SUCCESS) {
        VynErrorPrintf(__FILE__, __LINE__, "FsaGetDiskSasPhyInfo() == %d (fsaStatus)", static_cast<int>(status));
        return;
    }
    std::memcpy(sasAddress1, first.bytes + kPhySasAddress, SAS_ADDRESS_SIZE);
    std::memcpy(sasAddress2, second.bytes + kPhySasAddress, SAS_ADDRESS_SIZE);
}

bool VynPhysicalDeviceAttach::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynPhysicalDeviceAttach") == 0) || Serializable::isInstanceOf(name);
}

const char* VynPhysicalDeviceAttach::typeName() const { return "VynPhysicalDeviceAttach"; }

const char* VynPhysicalDeviceAttach::serializedName() const { return "VynPhysicalDeviceAttach"; }
