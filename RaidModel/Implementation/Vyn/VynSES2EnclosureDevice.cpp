#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "Command/Vyn/common/fa_enclmgt.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "RaidModel/Implementation/Vyn/VynHandleScopes.h"
#include "RaidModel/Implementation/Vyn/VynPhysicalDeviceAttach.h"
#include "RaidModel/Interface/SESElements.h"
#include "common/Buffer.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"

namespace {

char emptyText[1] = "";

constexpr unsigned long kPageBufferSize = 8192;
// A page read asks for no more than one enclosure request carries: the
// transport refuses a larger single reply.
constexpr unsigned long kPageReadLength = FSA_ECM_MAX_DATA;
// The Enclosure Busy page answers instead of the page asked for while the
// enclosure is busy; the read is tried this many times in all.
constexpr unsigned char kEnclosureBusyPage = 9;
constexpr int kPageTries = 6;
// Rounds of reading the configuration and status pages until their
// generation codes agree.
constexpr int kConsistentReadRounds = 3;
// The SES element type of the enclosure itself, which identify blinks.
constexpr int kEnclosureElement = 14;
// Codes of the operations: nothing to act on, and not offered.
constexpr int kNoSuchElement = -12;
constexpr int kNotOffered = -1;

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
    build();
}

Ret VynSES2EnclosureDevice::build()
{
    std::unique_ptr<FSA_ENCLOSURE_MGT> request(new (std::nothrow) FSA_ENCLOSURE_MGT);
    std::unique_ptr<unsigned char[]> page(new (std::nothrow) unsigned char[kPageBufferSize]);
    if (request == nullptr || page == nullptr)
        return Ret(-3);
    std::memset(page.get(), 0, kPageBufferSize);
    if (GetSesPage(request.get(), SES_PAGE_SUPPORTED, kPageReadLength, page.get()))
        setSupportedDiagnosticPages(Buffer(kPageBufferSize, page.get()));
    struct Read {
        unsigned char code;
        void (SES2EnclosureDevice::*take)(Buffer);
    };
    const Read reads[] = {
        {SES_PAGE_CONFIGURATION, &SES2EnclosureDevice::setConfigurationPage},
        {SES_PAGE_ENCLOSURE_STATUS, &SES2EnclosureDevice::setStatusPage},
        {SES_PAGE_STRING_IN, &SES2EnclosureDevice::setStatusPage2},
        {SES_PAGE_ELEMENT_DESCRIPTOR, &SES2EnclosureDevice::setElementDescriptorPage},
        {SES_PAGE_ADDITIONAL_ELEMENT_STATUS, &SES2EnclosureDevice::setDeviceElementStatusPage},
    };
    constexpr std::size_t kReads = sizeof reads / sizeof reads[0];
    // The pages describe one configuration only when they carry its
    // generation code; an enclosure that changed between two reads is read
    // again, and one that keeps changing is left as it was.
    Buffer arrived[kReads];
    bool agree = false;
    for (int round = 0; round < kConsistentReadRounds && !agree; ++round) {
        for (std::size_t i = 0; i < kReads; ++i) {
            arrived[i] = Buffer();
            if (supportsDiagnosticPage(reads[i].code) &&
                GetSesPage(request.get(), reads[i].code, kPageReadLength, page.get()))
                arrived[i] = Buffer(kPageBufferSize, page.get());
        }
        agree = generationCodesAgree(arrived[0], arrived[1], arrived[3], arrived[4]);
    }
    if (!agree) {
        VynTracePrintf("SES-2 enclosure %u changed while its pages were read\n", fsaEnclosureID);
        Ret busy;
        busy.setBusy();
        return busy;
    }
    for (std::size_t i = 0; i < kReads; ++i)
        if (arrived[i].Size() != 0)
            (this->*reads[i].take)(arrived[i]);
    return initSESData();
}

bool VynSES2EnclosureDevice::GetSesPage(FSA_ENCLOSURE_MGT* request, unsigned char page, unsigned long length,
                                        unsigned char* buffer)
{
    if (request == nullptr || buffer == nullptr || length == 0)
        return false;
    void* handle = vynAdapter != nullptr ? vynAdapter->getAdapterHandle() : nullptr;
    for (int attempt = 0; attempt < kPageTries; ++attempt) {
        std::memset(request, 0, sizeof *request);
        request->command = FSA_ECM_SES_PAGE;
        request->subCommand = EM_SUB_SCSI_RECEIVE_DIAGNOSTIC;
        request->param[0] = fsaEnclosureID;
        request->param[1] = page;
        request->dataLength = static_cast<uint32_t>(length);
        FsaSetEnclosureMgtData(request, buffer);
        if (fsaExports().FsaEnclosureMgt(handle, request) != FSA_STS_SUCCESS)
            return false;
        if (buffer[0] == page)
            return true;
        if (buffer[0] != kEnclosureBusyPage)
            return false;
    }
    return false;
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

Ret VynSES2EnclosureDevice::sendDiagnosticPage(EnumSESPageCodes code, unsigned char* page, unsigned long length)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSES2EnclosureDevice::sendDiagnosticPage()");
    Ret ret(0);
    try {
        if (!supportsDiagnosticPage(code))
            return Ret(kNotOffered);
        Serializable* attachment = getAttachment();
        if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach"))
            return Ret(kNoSuchElement);
        FSA_ENCLOSURE_MGT request;
        std::memset(&request, 0, sizeof request);
        request.command = FSA_ECM_SES_PAGE;
        request.subCommand = EM_SUB_SCSI_SEND_DIAGNOSTIC;
        request.param[0] = static_cast<uint32_t>(static_cast<VynPhysicalDeviceAttach*>(attachment)->getFsaEnclosureId());
        request.param[1] = static_cast<uint32_t>(code);
        request.dataLength = static_cast<uint32_t>(length);
        FsaSetEnclosureMgtData(&request, page);
        FsaWriteHandleGrabber handle(this, &ret);
        if (handle.getAdapterRWHandle() == nullptr) {
            ret.setBusy();
            return ret;
        }
        const FSA_STATUS status = fsaExports().FsaEnclosureMgt(handle.getAdapterRWHandle(), &request);
        if (status != FSA_STS_SUCCESS)
            vynerror::apiError(ret, "FsaEnclosureMgt()", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynSES2EnclosureDevice::identifyDevice(bool on)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSES2EnclosureDevice::identifyDevice()");
    try {
        std::vector<RaidObject*> children;
        getChildren(children, false, true);
        for (RaidObject* child : children) {
            if (child == nullptr || !child->isInstanceOf("SESElement"))
                continue;
            auto* element = static_cast<SESElement*>(child);
            if (element->getType() == kEnclosureElement)
                return blinkElement(on, *element);
        }
        return Ret(kNoSuchElement);
    } catch (...) {
        Ret ret(0);
        return vynerror::exception(ret);
    }
}

Ret VynSES2EnclosureDevice::setAlarmState(EnumAlarmState state)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSES2EnclosureDevice::setAlarmState()");
    try {
        return SES2EnclosureDevice::setAlarmState(state);
    } catch (...) {
        Ret ret(0);
        return vynerror::exception(ret);
    }
}

Ret VynSES2EnclosureDevice::scsiPassThruCommand(SCSICommand& command)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynSES2EnclosureDevice::scsiPassThruCommand()");
    Ret ret(0);
    try {
        Serializable* attachment = getAttachment();
        if (attachment == nullptr || !attachment->isInstanceOf("VynPhysicalDeviceAttach")) {
            vynerror::badParam(ret, "SES2 Enclosure device had no attachment", 0);
            return ret;
        }
        static_cast<VynPhysicalDeviceAttach*>(attachment)->doScsiPassThru(command, ret);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynSES2EnclosureDevice::sendDownloadMicrocodeControlPage(unsigned char, unsigned char, unsigned char,
                                                             unsigned long, unsigned long, Buffer&)
{
    return Ret(kNotOffered);
}

Ret VynSES2EnclosureDevice::getDownloadMicrocodeStatusPage(Buffer&) { return Ret(kNotOffered); }
