#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynChannels.h"
#include "RaidModel/Implementation/Vyn/VynConversions.h"
#include "RaidModel/Implementation/Vyn/VynEnclosure.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynHardDrive.h"
#include "RaidModel/Implementation/Vyn/VynNew.h"
#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"
#include "RaidModel/Interface/Channel.h"
#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SCSICommand.h"
#include "RaidModel/Interface/SES2EnclosureDevice.h"
#include "RaidModel/Interface/SESElements.h"
#include "common/Ret.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

// The SAS address within a drive phy record.
constexpr size_t kPhySasAddress = 8;

// Byte of the general information whose bits tell which device-record
// fields the controller fills.
constexpr size_t kGiDeviceRecordFlags = 645;
constexpr uint8_t kRecordHasSerial = 0x08;
constexpr uint8_t kRecordHasCachePool = 0x40;

// Device-record offsets read as raw bytes.
constexpr size_t kFingerprintLow = 128;
constexpr size_t kFingerprintHigh = 132;

// Blocks the controller keeps for itself at the start of every drive and
// after its usable blocks.
constexpr unsigned long long kReservedBlocks = 128;

constexpr unsigned long kBlinkSeconds = 3600;
constexpr uint32_t kBlinkDrive = 7;
constexpr uint32_t kSlotIdentify = 1026;
constexpr uint32_t kSlotUnidentify = 1027;

// Completion classes and SCSI statuses after which a command counts as run.
constexpr uint32_t kSrbSuccess = 0x01;
constexpr uint32_t kSrbDataOverrun = 0x12;
constexpr uint32_t kSrbUnderrunOk = 0x23;
constexpr uint32_t kScsiGood = 0;
constexpr uint32_t kScsiCheckCondition = 2;

// Standard inquiry data: product serial and FRU texts of the vendor-specific
// bytes.
constexpr size_t kInquirySerial = 36;
constexpr size_t kInquirySerialBytes = 8;
constexpr size_t kInquiryFru = 114;
constexpr size_t kInquiryFruBytes = 12;

// A fixed-width text field with trailing blanks and NULs cut.
std::string fieldText(const char* field, size_t width)
{
    std::string text(field, width);
    const size_t end = text.find_last_not_of(std::string(" \0", 2));
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text.c_str();  // stops at an inner NUL
}

uint32_t byteReversed(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

void copyField(char* out, size_t size, const std::string& text)
{
    std::snprintf(out, size, "%s", text.c_str());
}

// "<heading> xx xx ..." of the first `count` bytes.
void dumpBytes(const char* heading, const unsigned char* bytes, size_t count)
{
    std::string line = heading;
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
        line += hex;
    }
    VynExtraErrorPrintf("%s", line.c_str());
}

}  // namespace

VynPhysicalDeviceAttach::VynPhysicalDeviceAttach(Channel* channelIN, PhysicalDevice* deviceIN,
                                                 const FSA_STORAGE_DEVICE_INFO* infoIN,
                                                 const FSA_SMART_DATA* smartIN)
    : channel(channelIN), device(deviceIN)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynPhysicalDeviceAttach::VynPhysicalDeviceAttach()");
    std::memset(&info, 0, sizeof info);
    if (channel == nullptr || device == nullptr)
        return;
    device->attach(this);
    if (device->isInstanceOf("HardDrive"))
        hardDrive = static_cast<HardDrive*>(device);
    Adapter* adapter = channel->getAdapter();
    if (adapter != nullptr && adapter->isInstanceOf("VynAdapter"))
        vynAdapter = static_cast<VynAdapter*>(adapter);
    setFsaInfo(infoIN, smartIN);

    if (device->isInstanceOf("VynSES2EnclosureDevice")) {
        fsaEnclosureId = static_cast<uint32_t>(static_cast<VynSES2EnclosureDevice*>(device)->getFsaEnclosureID());
    } else if (device->isInstanceOf("VynEnclosure")) {
        auto* enclosure = static_cast<VynEnclosure*>(device);
        fsaEnclosureId = static_cast<uint32_t>(enclosure->getFsaEnclosureID());
        // The enclosure's build talks to the device through this attachment.
        enclosure->build();
    }
}

VynPhysicalDeviceAttach::~VynPhysicalDeviceAttach()
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE_IMPL_CONSTRUCT,
                          "VynPhysicalDeviceAttach::~VynPhysicalDeviceAttach()");
    delete smart;
}

void VynPhysicalDeviceAttach::setSmartInfo(const FSA_SMART_DATA* smartIN)
{
    // Only a hard drive keeps SMART data.
    if (smartIN == nullptr || hardDrive == nullptr)
        return;
    if (smart == nullptr) {
        smart = new (std::nothrow) FSA_SMART_DATA;
        if (smart == nullptr) {
            VynErrorPrintf(__FILE__, __LINE__, "*** Resource Error: new FSA_SMART_DATA");
            return;
        }
    }
    std::memcpy(smart, smartIN, sizeof *smart);
    hardDrive->pfaSupported = true;
    hardDrive->pfaEnabled = smart->smartEnabled != 0;
    hardDrive->pfaError = smart->errorCount != 0;
}

void VynPhysicalDeviceAttach::setFsaInfo(const FSA_STORAGE_DEVICE_INFO* infoIN, const FSA_SMART_DATA* smartIN)
{
    setSmartInfo(smartIN);
    if (infoIN == nullptr || device == nullptr)
        return;
    std::memcpy(&info, infoIN, sizeof info);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&info);

    device->deviceType = GetDeviceTypeFromFsa(info.stdDevType);
    fillTexts();

    const EnumSpeed speed = GetEnumSpeedFromFsaSpeed(info.negotiatedSpeedInMbps);
    device->enumeratedNegotiatedSpeed = speed;
    device->negotiatedSpeed = speed;
    device->setSpeed = speed;
    device->enumeratedSetSpeed = speed;

    if (info.storageDeviceUsage == 3)
        device->setStateProperty(PD_FAILED);
    else if (info.storageDeviceUsage == 2)
        device->setStateProperty(PD_PARTITIONED);

    // A name the device already carries (from the inquiry) is kept.
    if (device->wwn0 == 0 && device->wwn1 == 0) {
        device->wwn0 = byteReversed(faGetLe32(raw + kFingerprintHigh));
        device->wwn1 = byteReversed(faGetLe32(raw + kFingerprintLow));
        device->updateWWN();
    }

    if (info.unsupportedDeviceReason != 0) {
        device->unsupportedDeviceReason = info.unsupportedDeviceReason;
        if ((info.unsupportedDeviceReason & 0x2) != 0)
            device->setStateProperty(PD_UNSUPPORTED);
    }

    if (hardDrive != nullptr) {
        fillSerialNumber();
        fillHardDrive();
    }
    addSasPhys();
}

void VynPhysicalDeviceAttach::fillTexts()
{
    if (device->vendor[0] == '\0')
        device->setVendor(fieldText(info.vendorId, sizeof info.vendorId).c_str());
    if (device->model[0] == '\0')
        device->setModel(fieldText(info.productId, sizeof info.productId).c_str());
    if (device->model[0] != '\0' && device->vendor[0] == '\0' && device->deviceType == PHYSICAL_DEVICE_DISK &&
        vynAdapter != nullptr) {
        const std::map<std::string, const char*> vendors = vynAdapter->getVendorNameMap();
        const auto hit = vendors.find(device->model);
        if (hit != vendors.end() && hit->second != nullptr)
            device->setVendor(hit->second);
    }
    char revision[sizeof info.productRevision + sizeof info.revisionExtension];
    std::memcpy(revision, info.productRevision, sizeof info.productRevision);
    std::memcpy(revision + sizeof info.productRevision, info.revisionExtension, sizeof info.revisionExtension);
    copyField(device->firmwareLevel, sizeof device->firmwareLevel, fieldText(revision, sizeof revision));
}

void VynPhysicalDeviceAttach::fillSerialNumber()
{
    if (std::strncmp(device->vendor, "IBM", 3) == 0) {
        // These drives carry their serial and FRU numbers in the
        // vendor-specific bytes of the standard inquiry data.
        SCSICommand inquiry;
        inquiry.initInquiry(0);
        Ret ret;
        doScsiPassThru(inquiry, ret);
        Buffer& data = inquiry.getReadData();
        if (ret.getReturn() != 0 || data.Ptr() == nullptr)
            return;
        const char* bytes = reinterpret_cast<const char*>(data.Ptr());
        if (data.Size() >= kInquiryFru + kInquiryFruBytes)
            copyField(device->fruNumber, sizeof device->fruNumber,
                      fieldText(bytes + kInquiryFru, kInquiryFruBytes));
        if (data.Size() >= kInquirySerial + kInquirySerialBytes)
            copyField(device->serialNumber, sizeof device->serialNumber,
                      fieldText(bytes + kInquirySerial, kInquirySerialBytes));
        return;
    }
    if (vynAdapter == nullptr || (vynAdapter->getFsaInfo()->bytes[kGiDeviceRecordFlags] & kRecordHasSerial) == 0)
        return;
    // The inquiry serial field is too short for the long serials of newer
    // drives; the controller keeps the whole identifier further on.
    char serial[sizeof info.extendedIdentifier + 1] = {};
    SafeAsciiCopy(serial, info.extendedIdentifier, sizeof info.extendedIdentifier);
    device->setSerialNumber(serial);
}

void VynPhysicalDeviceAttach::addMetadataChunk(unsigned long long start, unsigned long long count,
                                               const char* failure)
{
    Chunk* chunk = newOrNull<Chunk>(hardDrive, nullptr, start, count, static_cast<EnumChunkType>(1), 0,
                                    CHUNK_STATE_NORMAL, Chunk::UNSET, Chunk::UNSET);
    if (chunk == nullptr) {
        VynErrorPrintf(__FILE__, __LINE__, "%s", failure);
        return;
    }
    hardDrive->addChild(chunk);
}

void VynPhysicalDeviceAttach::fillHardDrive()
{
    const unsigned long long blocks = static_cast<unsigned long long>(info.numBlocksHigh) << 32 | info.numBlocksLow;
    const unsigned long long usable =
        static_cast<unsigned long long>(info.numUsableBlocksHigh) << 32 | info.numUsableBlocksLow;
    const unsigned long long maxUsable =
        static_cast<unsigned long long>(info.maxUsableBlocksHigh) << 32 | info.maxUsableBlocksLow;

    addMetadataChunk(0, kReservedBlocks,
                     "*** Resource Error: new Chunk(pHardDrive, NULL, 0, 128, CHUNK_TYPE_METADATA) - reserved at "
                     "beginning");
    // A record whose usable blocks leave no room behind them has no end
    // area: the difference would wrap to a huge chunk.
    if (blocks > usable + kReservedBlocks)
        addMetadataChunk(usable + kReservedBlocks, blocks - usable - kReservedBlocks,
                         "*** Resource Error: new Chunk(pHardDrive, NULL, reservedEndStartBlock, "
                         "reservedEndNumBlocks, CHUNK_TYPE_METADATA)) - reserved at end");

    hardDrive->size = blocks;
    hardDrive->taskInProgress = info.taskInProgress != 0;
    hardDrive->OSPartition = false;
    hardDrive->selfTestSupported = false;
    if ((info.deviceFlags & 0x1) != 0) {
        hardDrive->jbod = true;
        hardDrive->setStateProperty(PD_ONLINE);
    }
    if (info.auxStateFlag != 0)
        hardDrive->setStateProperty(PD_COPYING_BACK);

    hardDrive->writeCacheEnableSupported = false;
    switch (info.diskCacheSetting) {
    case 1: hardDrive->writeCacheEnable = static_cast<EnumHardDriveCacheMode>(2); break;
    case 2: hardDrive->writeCacheEnable = static_cast<EnumHardDriveCacheMode>(3); break;
    case 3:
        hardDrive->writeCacheEnable = static_cast<EnumHardDriveCacheMode>(0);
        hardDrive->writeCacheEnableSupported = true;
        break;
    case 4:
        hardDrive->writeCacheEnable = static_cast<EnumHardDriveCacheMode>(1);
        hardDrive->writeCacheEnableSupported = true;
        break;
    default: hardDrive->writeCacheEnable = static_cast<EnumHardDriveCacheMode>(4); break;
    }

    hardDrive->maxUsableBlocks = maxUsable;
    if (hardDrive->isInstanceOf("VynHardDrive")) {
        auto* vyn = static_cast<VynHardDrive*>(hardDrive);
        vyn->vynMaxUsableBlocks = maxUsable;
        vyn->numUsableBlocks = usable;
        vyn->scsiID = info.address.targetId;
        vyn->scsiLUN = info.address.lun;
        vyn->scsiDeviceType = info.stdDevType;
    }
    hardDrive->isCandidateSpare = info.isCandidateSpare != 0;
    hardDrive->pmState = static_cast<int>(info.firmwareState);
    hardDrive->pmSupportedStates = static_cast<int>(info.firmwareOptions);
    hardDrive->nonSpinning = info.nonSpinning != 0;
    hardDrive->sataNCQEnabled = info.sataNcqEnabled != 0;
    hardDrive->ataSecuritySupported = info.ataSecuritySupport != 0;
    if (vynAdapter != nullptr && (vynAdapter->getFsaInfo()->bytes[kGiDeviceRecordFlags] & kRecordHasCachePool) != 0) {
        hardDrive->OrvexaCapable = info.orvexaCapable != 0;
        hardDrive->OrvexaAssigned = info.orvexaAssigned != 0;
    }
}

void VynPhysicalDeviceAttach::addSasPhys()
{
    if (vynAdapter == nullptr || channel == nullptr || !channel->isInstanceOf("SASChannel") ||
        device->isInstanceOf("SES2EnclosureDevice"))
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
    VynSASPhy* phy = newOrNull<VynSASPhy>(&first);
    if (phy == nullptr)
        VynErrorPrintf(__FILE__, __LINE__, "*** Resource Error: new VynSASPhy(&fsaSasPhy1Info) #1");
    else
        device->addChild(phy);
    static const uint8_t kNoAddress[SAS_ADDRESS_SIZE] = {};
    if (std::memcmp(sasAddress2, kNoAddress, SAS_ADDRESS_SIZE) == 0)
        return;
    phy = newOrNull<VynSASPhy>(&second);
    if (phy == nullptr)
        VynErrorPrintf(__FILE__, __LINE__, "*** Resource Error: new VynSASPhy(&fsaSasPhy2Info) #2");
    else
        device->addChild(phy);
}

EnumSpeed VynPhysicalDeviceAttach::GetEnumSpeedFromFsaSpeed(unsigned long mbps)
{
    const int channelSpeed = channel != nullptr ? static_cast<int>(channel->getTransferSpeed()) : 0;
    int interfaceType = 0;
    int speed = 0;
    auto sata = [&]() {
        interfaceType = 1;
        speed = mbps <= 299 ? 300 : mbps <= 599 ? 301 : 302;
    };
    if (channelSpeed <= 99) {
        interfaceType = 0;
        speed = mbps <= 9 ? 1 : mbps <= 19 ? 2 : mbps <= 39 ? 3 : mbps <= 79 ? 4 : mbps <= 159 ? 5 : mbps <= 319 ? 6 : 7;
    } else if (channelSpeed <= 199) {
        interfaceType = 2;
        speed = mbps <= 65 ? 100 : mbps <= 99 ? 101 : mbps < 133 ? 102 : 103;
    } else if (channelSpeed <= 299) {
        interfaceType = 3;
        speed = mbps <= 199 ? 200 : mbps <= 399 ? 201 : mbps <= 999 ? 202 : 203;
    } else if (channelSpeed <= 399) {
        sata();
    } else if (info.address.storageDeviceType == 2) {
        // A SATA drive behind a SAS port.
        sata();
    } else {
        interfaceType = 4;
        speed = mbps <= 299 ? 400 : mbps <= 599 ? 401 : 402;
    }
    if (device != nullptr)
        device->interfaceType = interfaceType;
    return static_cast<EnumSpeed>(speed);
}

void VynPhysicalDeviceAttach::doScsiPassThru(SCSICommand& command, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynPhysicalDeviceAttach::doScsiPassThru(SCSICommand& cmd, Ret& ret)");
    ret = Ret(0);
    if (device == nullptr) {
        vynerror::badParam(ret, "pDevice==NULL", 0);
        return;
    }
    if (channel == nullptr) {
        vynerror::badParam(ret, "pChannel==NULL", 0);
        return;
    }

    Buffer* data = nullptr;
    FSA_SCSI_DATA_DIR direction = FSA_SCSI_NO_DATA;
    if (command.IsRead()) {
        data = &command.getReadData();
        direction = FSA_SCSI_DATA_IN;
    } else if (command.IsWrite()) {
        data = &command.getWriteData();
        direction = FSA_SCSI_DATA_OUT;
    }
    uint8_t* dataBytes = data != nullptr ? static_cast<uint8_t*>(data->Ptr()) : nullptr;
    const uint32_t dataSize = data != nullptr && dataBytes != nullptr ? static_cast<uint32_t>(data->Size()) : 0;
    uint32_t dataLength = dataSize;
    Buffer& sense = command.getSenseData();
    const bool wantSense = sense.Ptr() != nullptr && sense.Size() != 0;
    uint32_t senseLength = 0;
    uint32_t scsiStatus = 0;
    uint32_t completionClass = 0;
    Channel* owner = channel;
    Adapter* adapter = owner->getAdapter();
    void* handle = adapter != nullptr && adapter->isInstanceOf("VynAdapter")
                       ? static_cast<VynAdapter*>(adapter)->getAdapterHandle()
                       : nullptr;
    const FSA_STATUS status = fsaExports().FsaSendScsiCommand(
        handle, getStorageDevice(), static_cast<uint32_t>(command.getScsiCmdSize()),
        static_cast<uint8_t*>(command.getScsiCmd()->Ptr()), &dataLength, dataBytes, dataSize, direction,
        wantSense ? 1 : 0, &senseLength, wantSense ? static_cast<uint8_t*>(sense.Ptr()) : nullptr,
        wantSense ? static_cast<uint32_t>(sense.Size()) : 0, &scsiStatus, &completionClass);

    command.scsiStatus = static_cast<int>(scsiStatus);
    command.srbStatus = static_cast<int>(completionClass);
    if (wantSense) {
        const unsigned key = sense.Size() > 2 ? static_cast<const uint8_t*>(sense.Ptr())[2] & 0x0F : 0;
        VynExtraErrorPrintf("Scsi Status : %d, srb status : %d, senseKey : %d", static_cast<int>(scsiStatus),
                            static_cast<int>(completionClass), static_cast<int>(key));
    }
    if (status != FSA_STS_SUCCESS) {
        // The firmware status stays readable in the Ret; the return code
        // stays the API error's.
        vynerror::apiError(ret, "FsaSendScsiCommand()", status);
    } else if (completionClass != kSrbSuccess && completionClass != kSrbDataOverrun &&
               completionClass != kSrbUnderrunOk && scsiStatus != kScsiGood && scsiStatus != kScsiCheckCondition) {
        VynExtraErrorPrintf("FsaSendScsiCommand(),srbStatus = %x scsiStatus = %x", completionClass, scsiStatus);
        ret.setReturn(-10);
    }
    dumpPassThru(command);
}

void VynPhysicalDeviceAttach::dumpPassThru(SCSICommand& command) const
{
    VynExtraErrorPrintf("Adapter: %d,  Bus: %d,  ID: %d", static_cast<int>(device->getAdapterID()),
                        static_cast<int>(device->getChannelID()), static_cast<int>(device->getDeviceID()));
    const unsigned long cdbLength = command.getScsiCmdSize();
    const auto* cdb = static_cast<const unsigned char*>(command.getScsiCmd()->Ptr());
    size_t shown = 0;
    if (cdbLength >= 16)
        shown = 16;
    else if (cdbLength >= 12)
        shown = 12;
    else if (cdbLength >= 10)
        shown = 10;
    else if (cdbLength >= 6)
        shown = 6;
    if (shown != 0 && cdb != nullptr)
        dumpBytes("CDB:", cdb, shown);
    const struct {
        const char* heading;
        Buffer& buffer;
    } areas[] = {{"Read Data:", command.getReadData()}, {"Write Data:", command.getWriteData()}};
    for (const auto& area : areas)
        if (area.buffer.Ptr() != nullptr && area.buffer.Size() > 15)
            dumpBytes(area.heading, static_cast<const unsigned char*>(area.buffer.Ptr()), 16);
    Buffer& sense = command.getSenseData();
    if (sense.Ptr() == nullptr || sense.Size() <= 17)
        return;
    const auto* s = static_cast<const unsigned char*>(sense.Ptr());
    VynExtraErrorPrintf("Sense Data Size = %02d", static_cast<int>(sense.Size()));
    dumpBytes("Sense Data:", s, sense.Size() < 23 ? sense.Size() : 23);
    VynExtraErrorPrintf("Request Sense: ErrorCode=0x%02x, SenseKey=0x%02x, ASC=0x%02x, ASCQ=0x%02x, fruCode=0x%02x, "
                        "SenseKeySpecific=0x%06x \n",
                        s[0] & 0x7F, s[2] & 0x0F, s[12], s[13], s[14],
                        static_cast<unsigned>(s[15]) << 16 | static_cast<unsigned>(s[16]) << 8 | s[17]);
}

void VynPhysicalDeviceAttach::identifyDevice(bool on, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynPhysicalDeviceAttach::identifyDevice(bool bIdentify, Ret& ret)");
    if (fsaEnclosureId == UNSET)
        doBruteForceBlink(on, ret);
    else if (sesElement != nullptr)
        doSesBlink(on, ret);
    else
        doSafteBlink(on, ret);
}

void VynPhysicalDeviceAttach::doBruteForceBlink(bool on, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynPhysicalDeviceAttach::doBruteForceBlink(bool bIdentify, Ret& ret)");
    ret = Ret(0);
    if (vynAdapter == nullptr) {
        vynerror::badParam(ret, "pVynAdapter==NULL", 0);
        return;
    }
    // Operation word, seconds; the rest of the block stays zero.
    uint32_t parameters[16] = {kBlinkDrive, on ? static_cast<uint32_t>(kBlinkSeconds) : 0u};
    const FSA_STATUS status = fsaExports().FsaStorageDevice2(vynAdapter->getAdapterHandle(), getStorageDevice(),
                                                             kBlinkDrive, parameters, nullptr);
    if (status != FSA_STS_SUCCESS) {
        vynerror::apiError(ret, "FsaStorageDevice2(x,x,FSA_SDO_BLINK_DRIVE,x,x)", status);
    }
}

void VynPhysicalDeviceAttach::doSafteBlink(bool on, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynPhysicalDeviceAttach::doSafteBlink(bool bIdentify, Ret& ret)");
    ret = Ret(0);
    try {
        FsaWriteHandleGrabber handle(device, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            vynerror::busy(ret);
            return;
        }
        auto* request = new (std::nothrow) FSA_ENCLOSURE_MGT;
        if (request == nullptr) {
            vynerror::resourceError(ret, "new FSA_ENCLOSURE_MGT");
            return;
        }
        std::memset(request, 0, sizeof *request);
        request->command = FSA_ECM_SLOT_OP;
        request->subCommand = on ? kSlotIdentify : kSlotUnidentify;
        request->param[0] = fsaEnclosureId;
        request->param[1] = fsaSafteSlotNum;
        const FSA_STATUS status = fsaExports().FsaEnclosureMgt(handle.getAdapterRWHandle(), request);
        delete request;
        if (status != FSA_STS_SUCCESS) {
            vynerror::apiError(ret, "FsaEnclosureMgt()", status);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
}

void VynPhysicalDeviceAttach::doSesBlink(bool on, Ret& ret)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE,
                          "VynPhysicalDeviceAttach::doSesBlink(bool bIdentify, Ret& ret)");
    ret = Ret(0);
    try {
        RaidObject* parent = sesElement != nullptr ? sesElement->getParent() : nullptr;
        if (parent == nullptr || !parent->isInstanceOf("SES2EnclosureDevice")) {
            vynerror::badParam(ret, "pSesElement->getParent()", 0);
            return;
        }
        ret = static_cast<SES2EnclosureDevice*>(parent)->blinkElement(on, *sesElement);
    } catch (...) {
        vynerror::exception(ret);
    }
}

void VynPhysicalDeviceAttach::writeTo(Writer* writer) const
{
    Serializable::writeTo(writer);
    const uint64_t blocks = static_cast<uint64_t>(info.numBlocksHigh) << 32 | info.numBlocksLow;
    const uint64_t maxUsable = static_cast<uint64_t>(info.maxUsableBlocksHigh) << 32 | info.maxUsableBlocksLow;
    const uint64_t usable = static_cast<uint64_t>(info.numUsableBlocksHigh) << 32 | info.numUsableBlocksLow;
    writer->writeUInt("fsaStdDevType", info.stdDevType);
    writer->writeInt("fsaDevSubType", static_cast<int>(info.devSubType));
    writer->writeU64("fsaNumBlocks", blocks);
    writer->writeUInt("fsaBytesPerBlock", info.bytesPerBlock);
    writer->writeU64("fsaMaxUsableBlocks", maxUsable);
    writer->writeU64("fsaNumUsableBlocks", usable);
    writer->writeUInt("fsaNegotiatedSpeedInMbps", info.negotiatedSpeedInMbps);
    writer->writeInt("fsaNegotiatedBusType", static_cast<int>(info.negotiatedBusType));
    writer->writeInt("fsaDiskCacheSetting", static_cast<int>(info.diskCacheSetting));
    writer->writeU64("fsaFingerprint", info.fingerprint);
    writer->writeBool("fsaIsBlinking", info.isBlinking != 0);
    writer->writeBool("fsaRemovableMedia", info.removableMedia != 0);
    writer->writeUInt("fsaFailoverSpaceUsage", info.failoverSpaceUsage);
    writer->writeInt("fsaStorageDeviceClass", static_cast<int>(info.storageDeviceClass));
    writer->writeInt("fsaStorageDeviceUsage", static_cast<int>(info.storageDeviceUsage));
    writer->writeUInt("fsaUnsupportedDeviceReason", info.unsupportedDeviceReason);
    writer->writeUInt("fsaRawSlotNumber", info.rawSlotNumber);
    writer->writeUInt("fsaEnclNvsramIndex", info.enclNvsramIndex);
    writer->writeInt("fsaStorageDeviceType", static_cast<int>(info.address.storageDeviceType));
    writer->writeBool("fsaIsCandidateSpare", info.isCandidateSpare != 0);
    writer->writeBool("fsaTaskInProgress", info.taskInProgress != 0);
    writer->writeBool("fsaSharedBus", info.sharedBus != 0);
    writer->writeBool("fsaAdapterManaged", info.adapterManaged != 0);
    if (smart != nullptr) {
        writer->writeUInt("fsaSmartMRIE", smart->mrie);
        writer->writeBool("fsaSmartEnabled", smart->smartEnabled != 0);
        writer->writeBool("fsaSmartPerf", smart->perf != 0);
        writer->writeBool("fsaSmartTestError", smart->testError != 0);
        writer->writeBool("fsaSmartDisableException", smart->disableException != 0);
        writer->writeBool("fsaSmartLogError", smart->logError != 0);
        writer->writeUInt("fsaSmartErrorCount", smart->errorCount);
        writer->writeUInt("fsaSmartIntervalTimer", smart->intervalTimer);
        writer->writeUInt("fsaSmartRCount", smart->reportCount);
    }
    writer->writeULong("fsaEnclosureId", fsaEnclosureId);
    writer->writeULong("fsaSafteSlotNum", fsaSafteSlotNum);
    writer->writeULong("fsaSlotNum", fsaSlotNum);
    writer->writeString("pSesElement", sesElement != nullptr ? "valid" : "null");
}

bool VynPhysicalDeviceAttach::isInstanceOf(const char* name) const
{
    return (name != nullptr && std::strcmp(name, "VynPhysicalDeviceAttach") == 0) || Serializable::isInstanceOf(name);
}

const char* VynPhysicalDeviceAttach::typeName() const { return "VynPhysicalDeviceAttach"; }

const char* VynPhysicalDeviceAttach::serializedName() const { return "VynPhysicalDeviceAttach"; }
