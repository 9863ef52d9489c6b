#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSES2ENCLOSUREDEVICE_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNSES2ENCLOSUREDEVICE_H

#include <cstdint>

#include "RaidModel/Interface/SES2EnclosureDevice.h"

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
