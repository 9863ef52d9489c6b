#include "RaidModel/Implementation/Vyn/VynSES2EnclosureDevice.h"

#include <cstring>
#include <memory>
#include <new>

#include "Command/Vyn/common/fa_enclmgt.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
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

void VynSES2EnclosureDevice::build()
{
    std::unique_ptr<FSA_ENCLOSURE_MGT> request(new (std::nothrow) FSA_ENCLOSURE_MGT);
    std::unique_ptr<unsigned char[]> page(new (std::nothrow) unsigned char[kPageBufferSize]);
    if (request == nullptr || page == nullptr)
        return;
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
    for (const Read& read : reads)
        if (supportsDiagnosticPage(read.code) && GetSesPage(request.get(), read.code, kPageReadLength, page.get()))
            (this->*read.take)(Buffer(kPageBufferSize, page.get()));
    initSESData();
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
