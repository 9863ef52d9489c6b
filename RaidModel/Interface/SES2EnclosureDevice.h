#ifndef VYN_RAIDMODEL_INTERFACE_SES2ENCLOSUREDEVICE_H
#define VYN_RAIDMODEL_INTERFACE_SES2ENCLOSUREDEVICE_H

#include <cstdint>
#include <string>
#include <vector>

#include "RaidModel/Interface/PhysicalDevice.h"
#include "common/Buffer.h"

class Adapter;
class Channel;
class SESArrayDevice;
class SESArrayDeviceSAS;
class SESDevice;
class SESDeviceSAS;
class SESElement;
class SimpleXmlParser;

// SES-2 diagnostic page codes.
enum EnumSESPageCodes : int {
    SES_PAGE_SUPPORTED = 0x00,
    SES_PAGE_CONFIGURATION = 0x01,
    SES_PAGE_ENCLOSURE_STATUS = 0x02,
    SES_PAGE_ENCLOSURE_CONTROL = 0x02,
    SES_PAGE_STRING_IN = 0x04,
    SES_PAGE_ELEMENT_DESCRIPTOR = 0x07,
    SES_PAGE_ADDITIONAL_ELEMENT_STATUS = 0x0A
};

// A type descriptor header of the SES-2 configuration page.
struct QVRN_SES_TYPE_DESCRIPTOR_HEADER {
    std::uint8_t elementType;
    std::uint8_t numPossibleElements;
    std::uint8_t subEnclosureID;
    std::uint8_t textLength;
};
static_assert(sizeof(QVRN_SES_TYPE_DESCRIPTOR_HEADER) == 4, "SES-2 type descriptor header is 4 bytes");

// An SES-2 enclosure services device on a channel. It keeps the diagnostic
// pages the controller family reads, turns them into SES element children,
// numbers the slots, maps drives to them and builds Enclosure Control pages.
// Every page read is bounded by the stored page.
class SES2EnclosureDevice : public PhysicalDevice {
public:
    static constexpr unsigned ENCLOSURE_ID_UNSET = 0x7FFFFFFF;
    static constexpr unsigned LOGICAL_ID_SIZE = 17;
    static constexpr unsigned KEY_SIZE = 17;

    SES2EnclosureDevice();
    // The device part only; no pages, elements or indexes.
    SES2EnclosureDevice(const SES2EnclosureDevice& other);
    SES2EnclosureDevice& operator=(const SES2EnclosureDevice&) = delete;
    SES2EnclosureDevice(Adapter* adapter, Channel* channel, unsigned long deviceID, char* vendor, char* model,
                        char* serialNumber, char* firmwareLevel, EnumPhysicalDeviceState state, char* text);
    SES2EnclosureDevice(Adapter* adapter, Channel* channel, SimpleXmlParser& parser);
    ~SES2EnclosureDevice() override;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void addChild(RaidObject* child) override;
    void addChild(RaidObject* child, unsigned long index) override;
    void descendantAdded(RaidObject* descendant) override;
    Ret upgradeFirmware(const char* file, bool flag) override;

    virtual Ret setAlarmState(EnumAlarmState state);
    virtual Ret blinkElement(bool on, SESElement& element);
    virtual Ret quiesceForDownload(bool quiesce);
    virtual Ret sendDownloadMicrocodeControlPage(unsigned char mode, unsigned char bufferID,
                                                 unsigned char subEnclosure, unsigned long offset,
                                                 unsigned long length, Buffer& data);
    virtual Ret getDownloadMicrocodeStatusPage(Buffer& page);
    virtual Ret getDownloadMicrocodeStatus(int subEnclosure, unsigned char& status,
                                           unsigned char& additionalStatus);
    // The transport of the controller family; not supported here.
    virtual Ret sendDiagnosticPage(EnumSESPageCodes code, unsigned char* page, unsigned long length);
    virtual void build(SimpleXmlParser& parser);

    Ret flashTarvel(const char* file, bool flag);
    Ret flashQuiskJBOD(const char* file, bool flag);

    void setSupportedDiagnosticPages(Buffer page);
    void setConfigurationPage(Buffer page);
    void setStatusPage(Buffer page);
    void setStatusPage2(Buffer page);
    void setElementDescriptorPage(Buffer page);
    void setDeviceElementStatusPage(Buffer page);
    bool supportsDiagnosticPage(int code) const;
    // Builds the elements from the pages set; answers busy, and builds
    // nothing, when the pages were read in different configurations.
    Ret initSESData();
    // Whether the status, element descriptor and additional element status
    // pages carry the configuration page's generation code; pages that are
    // empty or too short to carry one are not compared.
    static bool generationCodesAgree(const Buffer& configuration, const Buffer& status, const Buffer& descriptors,
                                     const Buffer& additional);

    bool isSESDataValid() const { return sesDataValid; }
    Buffer getConfigurationPage() const { return configurationPage; }
    Buffer getStatusPage() const { return statusPage; }
    Buffer getStatusPage2() const { return stringInPage; }
    int getNumberOfElementTypesSupported() const { return static_cast<int>(typeHeaders.size()); }
    std::vector<QVRN_SES_TYPE_DESCRIPTOR_HEADER> getTypeDescriptorHeaders() const { return typeHeaders; }
    const std::vector<std::string>& getTypeDescriptorTexts() const { return typeTexts; }
    const char* getEnclosureLogicalID() const { return enclosureLogicalID; }
    const char* getEnclosureKey() const { return enclosureKey; }
    unsigned int getEnclosureID() const { return enclosureID; }
    void setEnclosureID(unsigned int id) { enclosureID = id; }

    SESElement* getSESElement(unsigned long i) const;
    SESElement* getOtherSESElement(unsigned long i) const;
    SESDevice* getSESDevice(unsigned long i) const;
    SESArrayDevice* getSESArrayDevice(unsigned long i) const;
    SESDeviceSAS* getSESDeviceSAS(unsigned long i) const;
    SESArrayDeviceSAS* getSESArrayDeviceSAS(unsigned long i) const;

    int getFanCount() const;
    int getPowerSupplyCount() const;
    int getTempSensorCount() const;
    int getFanStatus(unsigned short i) const;
    int getPowerSupplyStatus(unsigned short i) const;
    int getTempSensorStatus(unsigned short i) const;
    bool isTempOutOfRange() const;
    int getCelciusTemperature() const;

    // Slot numbering: which method succeeded (1..5, 0 for none) and its
    // numbers.
    void determineSlotIDMethod();
    int getSlotIDMethod() const;
    const std::vector<unsigned long>& getSlotNumbers() const { return slotNumbers; }
    void setHardDriveLocationMap(unsigned int enclosureID);
    unsigned long getDeviceIndexForDrive(PhysicalDevice* drive) const;
    unsigned long getArrayDeviceIndexForDrive(PhysicalDevice* drive) const;

    void makeEnclosureKey();
    static bool isValidWWN(const char* text);

    Ret setControlBytes(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3);
    Ret setElementControlBytes(SESElement* element, unsigned char b0, unsigned char b1, unsigned char b2,
                               unsigned char b3);

private:
    enum SlotMethod { ARRAY_BAY, DEVICE_BAY, ARRAY_TEXT, DEVICE_TEXT, DEVICE_ADDRESS, METHOD_COUNT };

    bool trySlotMethod(SlotMethod method, std::vector<unsigned long>& numbers) const;
    unsigned long slotForMapping(const SESElement* element, unsigned long counter) const;
    // Builds the control page, lets `edit` change it and sends it; `edit`
    // gets the page and the offset of the target element, or 0 when the
    // element lies outside the page.
    template <typename Edit>
    Ret sendControlPage(int elementType, unsigned long ordinal, Edit edit);
    const SESElement* nthElementOfType(int elementType, unsigned long n) const;

    bool slotMethods[METHOD_COUNT] = {};
    bool slotMethodDetermined = false;
    unsigned int enclosureID = ENCLOSURE_ID_UNSET;
    std::vector<SESElement*> elements;
    std::vector<SESElement*> otherElements;
    std::vector<SESDevice*> devices;
    std::vector<SESArrayDevice*> arrayDevices;
    std::vector<SESDeviceSAS*> devicesSAS;
    std::vector<SESArrayDeviceSAS*> arrayDevicesSAS;
    std::vector<unsigned long> slotNumbers;
    bool sesDataValid = false;
    bool supportedPagesValid = false;
    bool configurationPageValid = false;
    bool statusPageValid = false;
    bool stringInPageValid = false;
    bool elementDescriptorPageValid = false;
    bool additionalStatusPageValid = false;
    Buffer configurationPage;
    Buffer statusPage;
    Buffer stringInPage;
    Buffer elementDescriptorPage;
    Buffer additionalStatusPage;
    char enclosureLogicalID[LOGICAL_ID_SIZE] = {};
    char enclosureKey[KEY_SIZE] = {};
    std::vector<unsigned char> supportedPages;
    std::vector<QVRN_SES_TYPE_DESCRIPTOR_HEADER> typeHeaders;
    std::vector<std::string> typeTexts;
    unsigned long childCounter = 0;
};

#endif
