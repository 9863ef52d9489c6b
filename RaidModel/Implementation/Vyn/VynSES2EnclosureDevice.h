#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSES2ENCLOSUREDEVICE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSES2ENCLOSUREDEVICE_H

#include <cstdint>

#include "RaidModel/Interface/SES2EnclosureDevice.h"

class SCSICommand;
class VynAdapter;
struct FSA_ENCLOSURE_MGT;

// An SES-2 enclosure services device of a controller of the family; the
// enclosure-management index is the firmware's id of the enclosure.
class VynSES2EnclosureDevice : public SES2EnclosureDevice {
public:
    VynSES2EnclosureDevice(VynAdapter* adapter, Channel* channel, unsigned long deviceID,
                           unsigned long fsaEnclosureID);
    ~VynSES2EnclosureDevice() override;
    VynSES2EnclosureDevice(const VynSES2EnclosureDevice&) = delete;
    VynSES2EnclosureDevice& operator=(const VynSES2EnclosureDevice&) = delete;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    Ret scsiPassThruCommand(SCSICommand& command) override;
    // Blinks the enclosure's own (Enclosure type) element; -12 without one.
    Ret identifyDevice(bool on) override;
    Ret setAlarmState(EnumAlarmState state) override;
    // Microcode download through the enclosure is not offered: -1.
    Ret sendDownloadMicrocodeControlPage(unsigned char mode, unsigned char bufferID, unsigned char subEnclosure,
                                         unsigned long offset, unsigned long length, Buffer& data) override;
    Ret getDownloadMicrocodeStatusPage(Buffer& page) override;
    // Sends a control page through enclosure management on a write handle:
    // -1 for a page the enclosure does not list, -12 without an attachment,
    // -6 (and no record) when no write handle can be had.
    Ret sendDiagnosticPage(EnumSESPageCodes code, unsigned char* page, unsigned long length) override;

    using SES2EnclosureDevice::build;
    // Reads the enclosure's diagnostic pages and lets the base build its
    // elements from those that arrived; busy when the enclosure kept
    // changing while they were read.
    Ret build();
    // Reads SES page `page` into `buffer` (`length` bytes) on the
    // controller's read handle; true when the page arrived.
    bool GetSesPage(FSA_ENCLOSURE_MGT* request, unsigned char page, unsigned long length, unsigned char* buffer);

    unsigned long getFsaEnclosureID() const { return fsaEnclosureID; }
    VynAdapter* getVynAdapter() const { return vynAdapter; }

private:
    uint32_t fsaEnclosureID;
    VynAdapter* vynAdapter;
};

#endif
