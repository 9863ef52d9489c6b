#include "RaidModel/Interface/SES2EnclosureDevice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "RaidModel/Interface/Adapter.h"
#include "RaidModel/Interface/FilterCollection.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/SASPhy.h"
#include "RaidModel/Interface/SESElements.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

const unsigned long UNSET = 0x7FFFFFFF;
const int SES_VERSION_DESCRIPTOR = 0x03E0;
const int STATUS_UNKNOWN = 6;
const int TEMPERATURE_OFFSET = 20;
const unsigned long STATUS_CODE_OK = 1;
const unsigned long TEMP_WARNING_BITS = 0xFul << 24;

// Page layout.
const unsigned long PAGE_HEADER_SIZE = 8;
const unsigned long ELEMENT_SIZE = 4;
const unsigned long PHY_DESCRIPTOR_SIZE = 28;
const unsigned long ENCLOSURE_DESCRIPTOR_HEADER = 4;
const unsigned long VENDOR_OFFSET = 12, VENDOR_SIZE = 8;
const unsigned long MODEL_OFFSET = 20, MODEL_SIZE = 16;
const unsigned long LOGICAL_ID_OFFSET = 4, LOGICAL_ID_BYTES = 8;
const unsigned long VENDOR_INFO_OFFSET = 40, VENDOR_INFO_BYTES = 8;
const unsigned long STRING_IN_SERIAL_OFFSET = 105, STRING_IN_SERIAL_SIZE = 10;
const unsigned long PROTOCOL_SAS = 6;
// Additional element status descriptor: two header bytes, then with EIP set
// a reserved byte (EIIOE in bit 0) and the element index.
const unsigned long AES_HEADER_SIZE = 2;
const unsigned long AES_INDEX_BYTES = 2;
const unsigned char AES_INVALID = 0x80;  // byte 0
const unsigned char AES_EIP = 0x10;      // byte 0
const unsigned char AES_PROTOCOL = 0x0F; // byte 0
const unsigned char AES_EIIOE = 0x01;    // byte 2

// Control element bits.
const unsigned char CONTROL_SELECT = 0x80;
const unsigned char ALARM_DISABLE = 0x20;   // byte 0
const unsigned char ALARM_REMIND = 0x40;    // byte 3
const unsigned char ALARM_TONE = 0x02;      // byte 3
const unsigned char SLOT_IDENT = 0x02;      // byte 2 of a device or array device slot
const unsigned char ELEMENT_IDENT = 0x80;   // byte 1 of the other types that have one

// Concatenated slot digits beyond this many would no longer fit a number.
const int MAX_SLOT_DIGITS = 9;
const std::size_t SLOT_TEXT_PREFIX = 24;
const std::size_t SAS_ADDRESS_COMPARE = 16;

// A stored page: every read asks first whether its bytes are there.
class Page {
public:
    explicit Page(const Buffer& buffer) : data(buffer.CPtr()), size(buffer.Size()) {}
    bool has(unsigned long offset, unsigned long length) const
    {
        return data != nullptr && offset <= size && length <= size - offset;
    }
    unsigned char at(unsigned long offset) const { return has(offset, 1) ? data[offset] : 0; }
    unsigned long be16(unsigned long offset) const
    {
        return (static_cast<unsigned long>(at(offset)) << 8) | at(offset + 1);
    }
    // Bytes 0..3 as bits 0..31.
    unsigned long statusWord(unsigned long offset) const
    {
        return static_cast<unsigned long>(at(offset)) | static_cast<unsigned long>(at(offset + 1)) << 8 |
               static_cast<unsigned long>(at(offset + 2)) << 16 | static_cast<unsigned long>(at(offset + 3)) << 24;
    }
    std::uint32_t le32(unsigned long offset) const
    {
        return static_cast<std::uint32_t>(statusWord(offset));
    }
    const unsigned char* ptr(unsigned long offset) const { return data + offset; }
    unsigned long length() const { return size; }
    // The end of the page as its own length field declares it, never past
    // what was stored.
    unsigned long declaredEnd() const
    {
        const unsigned long declared = be16(2) + 4;
        return declared < size ? declared : size;
    }

private:
    const unsigned char* data;
    unsigned long size;
};

std::string trimmedText(const unsigned char* bytes, unsigned long length)
{
    std::string text(reinterpret_cast<const char*>(bytes), length);
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.erase(zero);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string hexText(const unsigned char* bytes, unsigned long length)
{
    std::string text;
    char pair[3];
    for (unsigned long i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

bool digitsOf(const std::string& text, unsigned long& number)
{
    number = 0;
    int digits = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) && digits < MAX_SLOT_DIGITS) {
            number = number * 10 + static_cast<unsigned long>(c - '0');
            ++digits;
        }
    }
    return true;
}

// The slot number of a descriptor text that names a slot, bay or disk.
bool slotNumberFromText(const char* descriptor, unsigned long& number)
{
    std::string head(descriptor != nullptr ? descriptor : "");
    head = head.substr(0, SLOT_TEXT_PREFIX);
    for (char& c : head)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (head.find("slot ") == std::string::npos && head.find("bay ") == std::string::npos &&
        head.find("disk #") == std::string::npos)
        return false;
    return digitsOf(head, number);
}

bool sameSasAddress(const SASPhy* a, const SASPhy* b)
{
    return a != nullptr && b != nullptr &&
           std::strncmp(a->getSASAddress(), b->getSASAddress(), SAS_ADDRESS_COMPARE) == 0;
}

template <typename Slot>
bool slotMatchesDrive(const Slot* slot, const PhysicalDevice* drive)
{
    for (unsigned long d = 0; d < drive->getNumSASPhys(); ++d)
        for (unsigned long s = 0; s < slot->getNumSASPhys(); ++s)
            if (sameSasAddress(drive->getSASPhy(d), slot->getSASPhy(s)))
                return true;
    return false;
}

template <typename T>
T* entry(const std::vector<T*>& index, unsigned long i)
{
    return i < index.size() ? index[i] : nullptr;
}

const SESSasSlotData* sasData(const SESElement* element)
{
    if (element->isInstanceOf("SESDeviceSAS"))
        return static_cast<const SESDeviceSAS*>(element);
    if (element->isInstanceOf("SESArrayDeviceSAS"))
        return static_cast<const SESArrayDeviceSAS*>(element);
    return nullptr;
}

} // namespace

// Construction ----------------------------------------------------------------

SES2EnclosureDevice::SES2EnclosureDevice()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SES2EnclosureDevice::SES2EnclosureDevice()");
}

SES2EnclosureDevice::SES2EnclosureDevice(const SES2EnclosureDevice& other) : PhysicalDevice(other)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SES2EnclosureDevice::SES2EnclosureDevice(const SES2EnclosureDevice &)");
}

SES2EnclosureDevice::SES2EnclosureDevice(Adapter* owner, Channel* onChannel, unsigned long deviceID,
                                         char* vendorText, char* modelText, char* serial, char* firmware,
                                         EnumPhysicalDeviceState deviceState, char* text)
    : PhysicalDevice(owner, onChannel, deviceID, PHYSICAL_DEVICE_ENCLOSURE_SERVICES, vendorText, modelText,
                     serial, firmware, deviceState, text)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SES2EnclosureDevice::SES2EnclosureDevice(Adapter *, ...)");
}

SES2EnclosureDevice::SES2EnclosureDevice(Adapter* owner, Channel* onChannel, SimpleXmlParser& parser)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SES2EnclosureDevice::SES2EnclosureDevice(SimpleXmlParser &xmlParser)");
    adapter = owner;
    channel = onChannel;
    getAttributes().setInitElements(35);
    build(parser);
}

SES2EnclosureDevice::~SES2EnclosureDevice()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SES2EnclosureDevice::~SES2EnclosureDevice()");
}

bool SES2EnclosureDevice::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "SES2EnclosureDevice") == 0)
        return true;
    return PhysicalDevice::isInstanceOf(name);
}

const char* SES2EnclosureDevice::typeName() const
{
    return "SES2EnclosureDevice";
}

const char* SES2EnclosureDevice::serializedName() const
{
    return "SESEnclosureDevice";
}

void SES2EnclosureDevice::writeTo(Writer* writer) const
{
    PhysicalDevice::writeTo(writer);
    writer->writeInt("sesVersionDescriptor", SES_VERSION_DESCRIPTOR);
    writer->writeString("enclosureLogicalID", enclosureLogicalID);
}

void SES2EnclosureDevice::build(SimpleXmlParser& parser)
{
    readXmlElement(*this, parser, "SESEnclosureDevice", [this](SimpleXmlParser& p) {
        if (!p.tagIs("SESElement") || !p.nameIs("typeName") || p.getValue() == nullptr)
            return;
        const char* type = p.getValue();
        if (std::strstr(type, "SESDeviceSAS") != nullptr)
            addChild(new SESDeviceSAS(p));
        else if (std::strstr(type, "SESArrayDeviceSAS") != nullptr)
            addChild(new SESArrayDeviceSAS(p));
        else
            addChild(new SESElement(p));
    });
    PhysicalDevice::build();
}

// Children and indexes --------------------------------------------------------

void SES2EnclosureDevice::addChild(RaidObject* child)
{
    if (child == nullptr)
        return;
    child->setItemID(childCounter++);
    RaidObject::addChild(child);
}

void SES2EnclosureDevice::addChild(RaidObject* child, unsigned long index)
{
    if (child == nullptr)
        return;
    child->setItemID(childCounter++);
    RaidObject::addChild(child, index);
}

void SES2EnclosureDevice::descendantAdded(RaidObject* descendant)
{
    PhysicalDevice::descendantAdded(descendant);
    if (descendant == nullptr || !descendant->isInstanceOf("SESElement"))
        return;
    SESElement* element = static_cast<SESElement*>(descendant);
    elements.push_back(element);
    if (element->isInstanceOf("SESDevice")) {
        devices.push_back(static_cast<SESDevice*>(element));
        if (element->isInstanceOf("SESDeviceSAS"))
            devicesSAS.push_back(static_cast<SESDeviceSAS*>(element));
    } else if (element->isInstanceOf("SESArrayDevice")) {
        arrayDevices.push_back(static_cast<SESArrayDevice*>(element));
        if (element->isInstanceOf("SESArrayDeviceSAS"))
            arrayDevicesSAS.push_back(static_cast<SESArrayDeviceSAS*>(element));
    } else {
        otherElements.push_back(element);
    }
}

SESElement* SES2EnclosureDevice::getSESElement(unsigned long i) const
{
    return entry(elements, i);
}

SESElement* SES2EnclosureDevice::getOtherSESElement(unsigned long i) const
{
    return entry(otherElements, i);
}

SESDevice* SES2EnclosureDevice::getSESDevice(unsigned long i) const
{
    return entry(devices, i);
}

SESArrayDevice* SES2EnclosureDevice::getSESArrayDevice(unsigned long i) const
{
    return entry(arrayDevices, i);
}

SESDeviceSAS* SES2EnclosureDevice::getSESDeviceSAS(unsigned long i) const
{
    return entry(devicesSAS, i);
}

SESArrayDeviceSAS* SES2EnclosureDevice::getSESArrayDeviceSAS(unsigned long i) const
{
    return entry(arrayDevicesSAS, i);
}

// Operations the device itself does not offer -----------------------------------

Ret SES2EnclosureDevice::upgradeFirmware(const char*, bool)
{
    return Ret(-1);
}

Ret SES2EnclosureDevice::quiesceForDownload(bool)
{
    return Ret(0);
}

Ret SES2EnclosureDevice::sendDownloadMicrocodeControlPage(unsigned char, unsigned char, unsigned char,
                                                          unsigned long, unsigned long, Buffer&)
{
    return Ret(-1);
}

Ret SES2EnclosureDevice::getDownloadMicrocodeStatusPage(Buffer&)
{
    return Ret(-1);
}

Ret SES2EnclosureDevice::getDownloadMicrocodeStatus(int, unsigned char&, unsigned char&)
{
    return Ret(-1);
}

Ret SES2EnclosureDevice::sendDiagnosticPage(EnumSESPageCodes, unsigned char*, unsigned long)
{
    return Ret(-1);
}

Ret SES2EnclosureDevice::flashTarvel(const char*, bool)
{
    return Ret(-1);
}

Ret SES2EnclosureDevice::flashQuiskJBOD(const char*, bool)
{
    return Ret(-1);
}

// Pages -----------------------------------------------------------------------

// SES-2 Supported Diagnostic Pages (0x00): the page codes the device answers.
void SES2EnclosureDevice::setSupportedDiagnosticPages(Buffer buffer)
{
    supportedPages.clear();
    const Page page(buffer);
    if (!page.has(0, 5) || page.at(0) != SES_PAGE_SUPPORTED)
        return;
    // The list is as long as the page says; codes the buffer does not hold
    // read as 0.
    const unsigned long length = page.be16(2);
    for (unsigned long k = 0; k < length; ++k)
        supportedPages.push_back(page.at(4 + k));
    supportedPagesValid = true;
}

bool SES2EnclosureDevice::supportsDiagnosticPage(int code) const
{
    for (unsigned char page : supportedPages)
        if (page == code)
            return true;
    return false;
}

// SES-2 Configuration (0x01): enclosure descriptors, then the type descriptor
// headers, then their texts. Vendor, model and logical id come from the
// first enclosure descriptor.
void SES2EnclosureDevice::setConfigurationPage(Buffer buffer)
{
    const Page check(buffer);
    if (!check.has(0, 1) || check.at(0) != SES_PAGE_CONFIGURATION)
        return;
    configurationPage = buffer;
    const Page page(configurationPage);
    const unsigned long descriptors = page.at(1) + 1ul;
    unsigned long pos = PAGE_HEADER_SIZE;
    unsigned long headerCount = 0;
    for (unsigned long d = 0; d < descriptors && page.has(pos, ENCLOSURE_DESCRIPTOR_HEADER); ++d) {
        headerCount += page.at(pos + 2);
        if (d == 0) {
            if (page.has(pos + VENDOR_OFFSET, VENDOR_SIZE))
                setVendor(trimmedText(page.ptr(pos + VENDOR_OFFSET), VENDOR_SIZE).c_str());
            if (page.has(pos + MODEL_OFFSET, MODEL_SIZE))
                setModel(trimmedText(page.ptr(pos + MODEL_OFFSET), MODEL_SIZE).c_str());
            const std::string vendorText = getVendor();
            const std::string modelText = getModel();
            if (vendorText == "SUN" &&
                (modelText == "Storage J4500" || modelText == "ST4500" || modelText == "ST J4500") &&
                page.has(pos + VENDOR_INFO_OFFSET, VENDOR_INFO_BYTES)) {
                setWWN0(page.le32(pos + VENDOR_INFO_OFFSET));
                setWWN1(page.le32(pos + VENDOR_INFO_OFFSET + 4));
            }
            if (page.has(pos + LOGICAL_ID_OFFSET, LOGICAL_ID_BYTES))
                std::snprintf(enclosureLogicalID, sizeof enclosureLogicalID, "%s",
                              hexText(page.ptr(pos + LOGICAL_ID_OFFSET), LOGICAL_ID_BYTES).c_str());
        }
        pos += page.at(pos + 3) + ENCLOSURE_DESCRIPTOR_HEADER;
    }
    for (unsigned long h = 0; h < headerCount && page.has(pos, sizeof(QVRN_SES_TYPE_DESCRIPTOR_HEADER)); ++h) {
        QVRN_SES_TYPE_DESCRIPTOR_HEADER header;
        header.elementType = page.at(pos);
        header.numPossibleElements = page.at(pos + 1);
        header.subEnclosureID = page.at(pos + 2);
        header.textLength = page.at(pos + 3);
        typeHeaders.push_back(header);
        pos += sizeof header;
    }
    for (const QVRN_SES_TYPE_DESCRIPTOR_HEADER& header : typeHeaders) {
        if (!page.has(pos, header.textLength))
            break;
        if (header.textLength != 0)
            typeTexts.emplace_back(reinterpret_cast<const char*>(page.ptr(pos)), header.textLength);
        pos += header.textLength;
    }
    configurationPageValid = true;
}

void SES2EnclosureDevice::setStatusPage(Buffer buffer)
{
    if (Page(buffer).has(0, 1) && buffer.getByte(0) == SES_PAGE_ENCLOSURE_STATUS) {
        statusPage = buffer;
        statusPageValid = true;
    }
}

// SES-2 String In (0x04); some outside-vendor enclosures carry their serial
// number there.
void SES2EnclosureDevice::setStatusPage2(Buffer buffer)
{
    const Page page(buffer);
    if (!page.has(0, 1) || page.at(0) != SES_PAGE_STRING_IN)
        return;
    stringInPage = buffer;
    stringInPageValid = true;
    const std::string vendorText = getVendor();
    const std::string modelText = getModel();
    if (vendorText != "SUN" || (modelText != "Storage J4200" && modelText != "Storage J4400" &&
                                modelText != "StorageTek J4200" && modelText != "StorageTek J4400"))
        return;
    if (!page.has(STRING_IN_SERIAL_OFFSET, STRING_IN_SERIAL_SIZE))
        return;
    const char* serial = reinterpret_cast<const char*>(page.ptr(STRING_IN_SERIAL_OFFSET));
    setSerialNumber(std::string(serial, strnlen(serial, STRING_IN_SERIAL_SIZE)).c_str());
}

void SES2EnclosureDevice::setElementDescriptorPage(Buffer buffer)
{
    if (Page(buffer).has(0, 1) && buffer.getByte(0) == SES_PAGE_ELEMENT_DESCRIPTOR) {
        elementDescriptorPage = buffer;
        elementDescriptorPageValid = true;
    }
}

void SES2EnclosureDevice::setDeviceElementStatusPage(Buffer buffer)
{
    if (Page(buffer).has(0, 1) && buffer.getByte(0) == SES_PAGE_ADDITIONAL_ELEMENT_STATUS) {
        additionalStatusPage = buffer;
        additionalStatusPageValid = true;
    }
}

// Elements from the pages ------------------------------------------------------

namespace {

// Hands out the element descriptor texts in page order. A descriptor is
// taken while it starts within the page length the page declares; its text
// may run on past that length as long as the stored page holds it. Once the
// cursor passes the declared length, or a descriptor does not fit the stored
// page, every later text is empty.
class DescriptorTexts {
public:
    DescriptorTexts(const Buffer& buffer, bool valid) : page(buffer), valid(valid) {}
    std::string next()
    {
        if (exhausted || !valid || pos > page.be16(2) || !page.has(pos, 4)) {
            exhausted = true;
            return std::string();
        }
        const unsigned long length = page.be16(pos + 2);
        if (!page.has(pos + 4, length)) {
            exhausted = true;
            return std::string();
        }
        std::string text(reinterpret_cast<const char*>(page.ptr(pos + 4)), length);
        pos += 4 + length;
        return text;
    }

private:
    Page page;
    bool valid;
    unsigned long pos = PAGE_HEADER_SIZE;
    bool exhausted = false;
};

// The element types whose individual elements the Additional Element Status
// page describes; without element indexes its descriptors follow the
// elements of these types in status page order.
bool hasAdditionalStatus(int type)
{
    switch (type) {
    case SES_TYPE_DEVICE_SLOT:
    case SES_TYPE_ESC_ELECTRONICS:
    case SES_TYPE_SCSI_TARGET_PORT:
    case SES_TYPE_SCSI_INITIATOR_PORT:
    case SES_TYPE_ARRAY_DEVICE_SLOT:
    case SES_TYPE_SAS_EXPANDER:
        return true;
    default:
        return false;
    }
}

// Pairs the descriptors of an Additional Element Status page (0x0A) with the
// elements they describe. A descriptor with EIP set names its element by
// index: individual elements in status page order, overall elements counted
// too when the descriptor sets EIIOE. One without EIP describes the element
// at its own position among the elements of the types that carry
// descriptors. Returns, per individual element in status page order, the
// offset of its descriptor in the page, 0 when it has none; the first
// descriptor naming an element keeps it.
std::vector<unsigned long> pairAdditionalDescriptors(const Page& page, unsigned long end,
                                                     const std::vector<QVRN_SES_TYPE_DESCRIPTOR_HEADER>& headers)
{
    std::vector<unsigned long> described;   // element index of each element that carries a descriptor
    std::vector<unsigned long> withOverall; // index counting overall elements -> element index
    unsigned long count = 0;
    for (const QVRN_SES_TYPE_DESCRIPTOR_HEADER& header : headers) {
        withOverall.push_back(UNSET);
        for (unsigned e = 0; e < header.numPossibleElements; ++e, ++count) {
            if (hasAdditionalStatus(header.elementType))
                described.push_back(count);
            withOverall.push_back(count);
        }
    }
    std::vector<unsigned long> offsets(count, 0);
    unsigned long position = 0;
    for (unsigned long a = PAGE_HEADER_SIZE; a + AES_HEADER_SIZE <= end; a += AES_HEADER_SIZE + page.at(a + 1)) {
        unsigned long element = UNSET;
        if ((page.at(a) & AES_EIP) == 0) {
            if (position < described.size())
                element = described[position];
        } else if (page.at(a + 1) >= AES_INDEX_BYTES && a + AES_HEADER_SIZE + AES_INDEX_BYTES <= end) {
            const unsigned long index = page.at(a + 3);
            if ((page.at(a + 2) & AES_EIIOE) != 0)
                element = index < withOverall.size() ? withOverall[index] : UNSET;
            else
                element = index < count ? index : UNSET;
        }
        ++position;
        if (element != UNSET && offsets[element] == 0)
            offsets[element] = a;
    }
    return offsets;
}

// The generation code of a page that carries one (bytes 4..7); false for a
// page too short to hold it.
bool generationCode(const Buffer& buffer, unsigned char code, unsigned long& generation)
{
    const Page page(buffer);
    if (!page.has(0, PAGE_HEADER_SIZE) || page.at(0) != code)
        return false;
    generation = page.be16(4) << 16 | page.be16(6);
    return true;
}

} // namespace

bool SES2EnclosureDevice::generationCodesAgree(const Buffer& configuration, const Buffer& status,
                                               const Buffer& descriptors, const Buffer& additional)
{
    unsigned long expected = 0;
    if (!generationCode(configuration, SES_PAGE_CONFIGURATION, expected))
        return true;
    const std::pair<const Buffer*, unsigned char> pages[] = {{&status, SES_PAGE_ENCLOSURE_STATUS},
                                                             {&descriptors, SES_PAGE_ELEMENT_DESCRIPTOR},
                                                             {&additional, SES_PAGE_ADDITIONAL_ELEMENT_STATUS}};
    for (const auto& page : pages) {
        unsigned long generation = 0;
        if (generationCode(*page.first, page.second, generation) && generation != expected)
            return false;
    }
    return true;
}

// SES-2 Enclosure Status (0x02) laid out by the configuration's headers, with
// the Element Descriptor (0x07) texts and the SAS part of the Additional
// Element Status (0x0A) for device slots. Element making stops where the
// status page ends. Pages read in another configuration than the one the
// configuration page describes are never joined: the call then answers busy
// and leaves the elements as they were.
Ret SES2EnclosureDevice::initSESData()
{
    if (!statusPageValid)
        return Ret(0);
    if (!generationCodesAgree(configurationPageValid ? configurationPage : Buffer(), statusPage,
                              elementDescriptorPageValid ? elementDescriptorPage : Buffer(),
                              additionalStatusPageValid ? additionalStatusPage : Buffer())) {
        Ret busy;
        busy.setBusy();
        return busy;
    }
    const Page status(statusPage);
    DescriptorTexts texts(elementDescriptorPage, elementDescriptorPageValid);
    const Page additional(additionalStatusPage);
    const unsigned long additionalEnd = additionalStatusPageValid ? additional.declaredEnd() : 0;
    const std::vector<unsigned long> additionalAt =
        additionalStatusPageValid ? pairAdditionalDescriptors(additional, additionalEnd, typeHeaders)
                                  : std::vector<unsigned long>();
    unsigned long s = PAGE_HEADER_SIZE;
    unsigned long elementIndex = 0;

    for (const QVRN_SES_TYPE_DESCRIPTOR_HEADER& header : typeHeaders) {
        if (!status.has(s, ELEMENT_SIZE))
            break;
        s += ELEMENT_SIZE;
        texts.next();
        bool statusEnded = false;
        for (unsigned e = 0; e < header.numPossibleElements; ++e, ++elementIndex) {
            if (!status.has(s, ELEMENT_SIZE)) {
                statusEnded = true;
                break;
            }
            const unsigned long word = status.statusWord(s);
            std::string text = texts.next();
            s += ELEMENT_SIZE;
            const int type = header.elementType;
            if (type == SES_TYPE_VENDOR_83)
                continue;
            const bool slot = type == SES_TYPE_DEVICE_SLOT || type == SES_TYPE_ARRAY_DEVICE_SLOT;
            if (!slot) {
                addChild(new SESElement(word, text, type));
                continue;
            }
            const unsigned long a = elementIndex < additionalAt.size() ? additionalAt[elementIndex] : 0;
            // A descriptor ends where its own length says, never past the page.
            const unsigned long descriptorEnd =
                a != 0 ? std::min(a + AES_HEADER_SIZE + additional.at(a + 1), additionalEnd) : 0;
            const unsigned char byte0 = a != 0 ? additional.at(a) : 0;
            const bool eip = (byte0 & AES_EIP) != 0;
            const unsigned long headerBytes = eip ? 8 : 4;
            if (a == 0 || (byte0 & AES_PROTOCOL) != PROTOCOL_SAS || a + headerBytes > descriptorEnd) {
                if (type == SES_TYPE_DEVICE_SLOT)
                    addChild(new SESDevice(word, text, SESElement::PROTOCOL_NONE));
                else
                    addChild(new SESArrayDevice(word, text, SESElement::PROTOCOL_NONE));
                continue;
            }
            const bool invalid = eip && (byte0 & AES_INVALID) != 0;
            const unsigned long phyCount = additional.at(a + (eip ? 4 : 2));
            const unsigned char flags = additional.at(a + (eip ? 5 : 3));
            const bool notAllPhys = (flags & 0x01) != 0;
            const auto descriptorType =
                static_cast<EnumSESAdditionalElementDescriptorTypes>(eip ? (flags >> 6) & 0x03 : 0);
            const unsigned long index = eip ? additional.at(a + 3) : UNSET;
            const unsigned long bay = eip ? additional.at(a + 7) : UNSET;
            SESElement* element;
            SESSasSlotData* sas;
            if (type == SES_TYPE_DEVICE_SLOT) {
                auto* device =
                    new SESDeviceSAS(word, text, notAllPhys, eip, invalid, index, descriptorType, bay, phyCount);
                element = device;
                sas = device;
            } else {
                auto* device = new SESArrayDeviceSAS(word, text, notAllPhys, eip, invalid, index, descriptorType,
                                                     bay, phyCount);
                element = device;
                sas = device;
            }
            addChild(element);
            const unsigned long phys = a + headerBytes;
            for (unsigned long k = 0; k < phyCount; ++k) {
                const unsigned long phy = phys + k * PHY_DESCRIPTOR_SIZE;
                if (phy + PHY_DESCRIPTOR_SIZE > descriptorEnd)
                    break;
                if (k == 0)
                    sas->setPhy0(additional.ptr(phy + 12));
                else if (k == 1)
                    sas->setPhy1(additional.ptr(phy + 12));
                const std::string address = hexText(additional.ptr(phy + 12), 8);
                const std::string attached = hexText(additional.ptr(phy + 4), 8);
                element->addChild(new SASPhy(additional.at(phy + 20), address.c_str(), 0, 0, 0, attached.c_str(), 0,
                                             0, EnumSASDeviceType(0), EnumSASNegotiatedLinkRate(0),
                                             EnumSASProgrammedLinkRate(0), EnumSASProgrammedLinkRate(0),
                                             EnumSASHardwareLinkRate(9), EnumSASHardwareLinkRate(9), 0, false, 0,
                                             EnumSASRoutingType(0)));
            }
        }
        if (statusEnded)
            break;
    }
    sesDataValid = true;
    return Ret(0);
}

// Sensors -------------------------------------------------------------------------

namespace {

template <typename Visit>
void forEachElementOfType(const std::vector<RaidObject*>& children, int type, Visit visit)
{
    for (RaidObject* child : children) {
        if (child->isInstanceOf("SESElement") && static_cast<SESElement*>(child)->getType() == type)
            visit(static_cast<SESElement*>(child));
    }
}

} // namespace

const SESElement* SES2EnclosureDevice::nthElementOfType(int type, unsigned long n) const
{
    const SESElement* found = nullptr;
    unsigned long i = 0;
    forEachElementOfType(getChildren(), type, [&](SESElement* element) {
        if (i++ == n)
            found = element;
    });
    return found;
}

namespace {

int countOfType(const std::vector<RaidObject*>& children, int type)
{
    int n = 0;
    forEachElementOfType(children, type, [&](SESElement*) { ++n; });
    return n;
}

int statusCodeOf(const SESElement* element)
{
    return element != nullptr ? static_cast<int>(element->getStatus() & SESElement::STATUS_CODE_MASK)
                              : STATUS_UNKNOWN;
}

} // namespace

int SES2EnclosureDevice::getFanCount() const
{
    return countOfType(getChildren(), SES_TYPE_COOLING);
}

int SES2EnclosureDevice::getPowerSupplyCount() const
{
    return countOfType(getChildren(), SES_TYPE_POWER_SUPPLY);
}

int SES2EnclosureDevice::getTempSensorCount() const
{
    return countOfType(getChildren(), SES_TYPE_TEMPERATURE);
}

int SES2EnclosureDevice::getFanStatus(unsigned short i) const
{
    return statusCodeOf(nthElementOfType(SES_TYPE_COOLING, i));
}

int SES2EnclosureDevice::getPowerSupplyStatus(unsigned short i) const
{
    return statusCodeOf(nthElementOfType(SES_TYPE_POWER_SUPPLY, i));
}

int SES2EnclosureDevice::getTempSensorStatus(unsigned short i) const
{
    return statusCodeOf(nthElementOfType(SES_TYPE_TEMPERATURE, i));
}

bool SES2EnclosureDevice::isTempOutOfRange() const
{
    bool outside = false;
    forEachElementOfType(getChildren(), SES_TYPE_TEMPERATURE, [&](SESElement* element) {
        const unsigned long word = element->getStatus();
        if ((word & SESElement::STATUS_CODE_MASK) != STATUS_CODE_OK || (word & TEMP_WARNING_BITS) != 0)
            outside = true;
    });
    return outside;
}

int SES2EnclosureDevice::getCelciusTemperature() const
{
    int temperature = static_cast<int>(UNSET);
    forEachElementOfType(getChildren(), SES_TYPE_TEMPERATURE, [&](SESElement* element) {
        const unsigned long reading = (element->getStatus() >> 16) & 0xFF;
        if (reading != 0)
            temperature = static_cast<int>(reading) - TEMPERATURE_OFFSET;
    });
    return temperature;
}

// Slots and drives -----------------------------------------------------------------

bool SES2EnclosureDevice::trySlotMethod(SlotMethod method, std::vector<unsigned long>& numbers) const
{
    numbers.clear();
    switch (method) {
    case ARRAY_BAY:
        for (const SESArrayDeviceSAS* slot : arrayDevicesSAS) {
            if (!slot->isEIP())
                return false;
            numbers.push_back(slot->getBayNumber());
        }
        return !arrayDevicesSAS.empty();
    case DEVICE_BAY:
        for (const SESDeviceSAS* slot : devicesSAS) {
            if (!slot->isEIP())
                return false;
            numbers.push_back(slot->getBayNumber());
        }
        return !devicesSAS.empty();
    case ARRAY_TEXT:
        for (const SESArrayDevice* slot : arrayDevices) {
            unsigned long n = 0;
            if (!slotNumberFromText(slot->getDescriptor(), n))
                return false;
            numbers.push_back(n);
        }
        return !arrayDevices.empty();
    case DEVICE_TEXT:
        for (const SESDevice* slot : devices) {
            unsigned long n = 0;
            if (!slotNumberFromText(slot->getDescriptor(), n))
                return false;
            numbers.push_back(n);
        }
        return !devices.empty();
    case DEVICE_ADDRESS:
        for (const SESDevice* slot : devices)
            numbers.push_back(slot->getSlotAddress());
        return !devices.empty();
    default:
        return false;
    }
}

void SES2EnclosureDevice::determineSlotIDMethod()
{
    if (slotMethodDetermined)
        return;
    for (bool& flag : slotMethods)
        flag = false;
    slotNumbers.clear();
    for (int m = ARRAY_BAY; m < METHOD_COUNT; ++m) {
        std::vector<unsigned long> numbers;
        if (trySlotMethod(static_cast<SlotMethod>(m), numbers)) {
            slotMethods[m] = true;
            slotNumbers = numbers;
            break;
        }
    }
    slotMethodDetermined = true;
}

int SES2EnclosureDevice::getSlotIDMethod() const
{
    for (int m = ARRAY_BAY; m < METHOD_COUNT; ++m)
        if (slotMethods[m])
            return m + 1;
    return 0;
}

unsigned long SES2EnclosureDevice::slotForMapping(const SESElement* element, unsigned long counter) const
{
    const SESSasSlotData* sas = sasData(element);
    if ((slotMethods[ARRAY_BAY] || slotMethods[DEVICE_BAY]) && sas != nullptr)
        return sas->getBayNumber();
    if (slotMethods[ARRAY_TEXT] || slotMethods[DEVICE_TEXT]) {
        unsigned long n = 0;
        digitsOf(element->getDescriptor(), n);
        return n;
    }
    return counter;
}

void SES2EnclosureDevice::setHardDriveLocationMap(unsigned int id)
{
    determineSlotIDMethod();
    if (adapter == nullptr)
        return;
    FilterCollection drives(static_cast<RaidObject*>(adapter));
    drives.apply("HardDrive", false);
    unsigned long counter = 0;
    for (const SESElement* element : elements) {
        const SESSasSlotData* sas = sasData(element);
        if (sas == nullptr)
            continue;
        const unsigned long slot = slotForMapping(element, counter++);
        for (int i = 0; i < drives.size(); ++i) {
            HardDrive* drive = static_cast<HardDrive*>(drives.elementAt(i));
            if (slotMatchesDrive(sas, drive)) {
                drive->setSlotID(slot);
                drive->setEnclosureID(id);
            }
        }
    }
}

namespace {

// The position of the last slot of class `Slot` under `device` that shares a
// SAS address with the drive.
template <typename Slot>
unsigned long lastSlotOfDrive(SES2EnclosureDevice* device, const char* className, const PhysicalDevice* drive)
{
    FilterCollection slots(device);
    slots.apply(className, false);
    unsigned long found = UNSET;
    for (int i = 0; i < slots.size(); ++i)
        if (slotMatchesDrive(static_cast<Slot*>(slots.elementAt(i)), drive))
            found = static_cast<unsigned long>(i);
    return found;
}

} // namespace

unsigned long SES2EnclosureDevice::getDeviceIndexForDrive(PhysicalDevice* drive) const
{
    if (!sesDataValid || drive == nullptr)
        return UNSET;
    return lastSlotOfDrive<SESDeviceSAS>(const_cast<SES2EnclosureDevice*>(this), "SESDeviceSAS", drive);
}

unsigned long SES2EnclosureDevice::getArrayDeviceIndexForDrive(PhysicalDevice* drive) const
{
    if (!sesDataValid || drive == nullptr)
        return UNSET;
    return lastSlotOfDrive<SESArrayDeviceSAS>(const_cast<SES2EnclosureDevice*>(this), "SESArrayDeviceSAS", drive);
}

// Enclosure key ---------------------------------------------------------------------

bool SES2EnclosureDevice::isValidWWN(const char* text)
{
    if (text == nullptr || text[0] == '\0')
        return false;
    for (const char* c = text; *c != '\0'; ++c)
        if (*c != '0')
            return true;
    return false;
}

void SES2EnclosureDevice::makeEnclosureKey()
{
    const char* key = enclosureLogicalID;
    if (std::strcmp(getVendor(), "SUN") == 0 && adapter != nullptr) {
        FilterCollection others(static_cast<RaidObject*>(adapter));
        others.apply("SES2EnclosureDevice", false);
        bool sameLogicalID = false;
        bool sameWWN = false;
        for (int i = 0; i < others.size(); ++i) {
            const auto* other = static_cast<const SES2EnclosureDevice*>(others.elementAt(i));
            if (other == this)
                continue;
            if (enclosureLogicalID[0] != '\0' && std::strcmp(other->enclosureLogicalID, enclosureLogicalID) == 0)
                sameLogicalID = true;
            else if (std::strcmp(other->getWWN(), getWWN()) == 0 && isValidWWN(getWWN()))
                sameWWN = true;
        }
        if (!sameLogicalID && sameWWN)
            key = getWWN();
    }
    std::snprintf(enclosureKey, sizeof enclosureKey, "%s", key);
}

// Enclosure Control page --------------------------------------------------------------

// SES-2 Enclosure Control (0x02), laid out as the status page: per type an
// overall control element, then one per possible element. `edit` receives
// the offset of the target element, or 0 when the target lies outside the
// type's possible elements. Returns the send's result, -3 when the page
// could not be had.
template <typename Edit>
Ret SES2EnclosureDevice::sendControlPage(int elementType, unsigned long ordinal, Edit edit)
{
    unsigned long length = PAGE_HEADER_SIZE;
    for (const QVRN_SES_TYPE_DESCRIPTOR_HEADER& header : typeHeaders)
        length += ELEMENT_SIZE * (1ul + header.numPossibleElements);
    unsigned char* page = new (std::nothrow) unsigned char[length];
    if (page == nullptr)
        return Ret(-3);
    std::memset(page, 0, length);
    page[0] = SES_PAGE_ENCLOSURE_CONTROL;
    page[2] = static_cast<unsigned char>(((length - 4) >> 8) & 0xFF);
    page[3] = static_cast<unsigned char>((length - 4) & 0xFF);
    const Page config(configurationPage);
    if (config.has(4, 4))
        std::memcpy(page + 4, config.ptr(4), 4);

    unsigned long target = 0;
    unsigned long typeStart = PAGE_HEADER_SIZE;
    for (const QVRN_SES_TYPE_DESCRIPTOR_HEADER& header : typeHeaders) {
        if (header.elementType == elementType)
            target = ordinal < header.numPossibleElements ? typeStart + ELEMENT_SIZE * (1 + ordinal) : 0;
        typeStart += ELEMENT_SIZE * (1ul + header.numPossibleElements);
    }
    edit(page, target);
    Ret ret = sendDiagnosticPage(SES_PAGE_ENCLOSURE_CONTROL, page, length);
    delete[] page;
    return ret;
}

Ret SES2EnclosureDevice::setAlarmState(EnumAlarmState state)
{
    // The control page aims at the last alarm type; without an element
    // there, there is nothing to set.
    bool hasAlarm = false;
    for (const QVRN_SES_TYPE_DESCRIPTOR_HEADER& header : typeHeaders)
        if (header.elementType == SES_TYPE_AUDIBLE_ALARM)
            hasAlarm = header.numPossibleElements > 0;
    if (!hasAlarm)
        return Ret(-1);
    return sendControlPage(SES_TYPE_AUDIBLE_ALARM, 0, [state](unsigned char* page, unsigned long at) {
        if (at == 0)
            return;
        unsigned char* control = page + at;
        control[0] |= CONTROL_SELECT;
        switch (state) {
        case ALARM_ON: control[0] &= static_cast<unsigned char>(~ALARM_DISABLE); break;
        case ALARM_OFF: control[0] |= ALARM_DISABLE; break;
        case ALARM_SILENCE: control[3] |= ALARM_REMIND; break;
        case ALARM_TEST: control[3] |= ALARM_TONE; break;
        case ALARM_CLEAR_TEST: control[3] &= static_cast<unsigned char>(~ALARM_TONE); break;
        default: break;
        }
    });
}

namespace {

// Where SES-2 puts the RQST IDENT bit in the control element of a type:
// false for the types whose control element has none.
bool identifyBit(int type, unsigned& byte, unsigned char& bit)
{
    switch (type) {
    case SES_TYPE_DEVICE_SLOT:
    case SES_TYPE_ARRAY_DEVICE_SLOT:
        byte = 2;
        bit = SLOT_IDENT;
        return true;
    case SES_TYPE_POWER_SUPPLY:
    case SES_TYPE_COOLING:
    case SES_TYPE_TEMPERATURE:
    case SES_TYPE_AUDIBLE_ALARM:
    case SES_TYPE_ENCLOSURE:
    case SES_TYPE_VOLTAGE:
    case SES_TYPE_SAS_EXPANDER:
    case SES_TYPE_SAS_CONNECTOR:
        byte = 1;
        bit = ELEMENT_IDENT;
        return true;
    default:
        return false;
    }
}

} // namespace

Ret SES2EnclosureDevice::blinkElement(bool on, SESElement& element)
{
    const int type = element.getType();
    unsigned identByte = 0;
    unsigned char identBit = 0;
    if (!identifyBit(type, identByte, identBit))
        return Ret(-1);
    unsigned long ordinal = UNSET;
    unsigned long seen = 0;
    for (RaidObject* child : getChildren()) {
        if (!child->isInstanceOf("SESElement") || static_cast<SESElement*>(child)->getType() != type)
            continue;
        if (*child == element) {
            ordinal = seen;
            break;
        }
        ++seen;
    }
    return sendControlPage(type, ordinal, [=](unsigned char* page, unsigned long at) {
        if (at == 0)
            return;
        unsigned char* control = page + at;
        control[0] |= CONTROL_SELECT;
        control[identByte] =
            static_cast<unsigned char>(on ? control[identByte] | identBit : control[identByte] & ~identBit);
    });
}

Ret SES2EnclosureDevice::setElementControlBytes(SESElement* element, unsigned char b0, unsigned char b1,
                                                unsigned char b2, unsigned char b3)
{
    if (element == nullptr)
        return Ret(-1);
    const int type = element->getType();
    unsigned long ordinal = UNSET;
    unsigned long seen = 0;
    for (RaidObject* child : getChildren()) {
        if (!child->isInstanceOf("SESElement") || static_cast<SESElement*>(child)->getType() != type)
            continue;
        if (child == element) {
            ordinal = seen;
            break;
        }
        ++seen;
    }
    return sendControlPage(type, ordinal, [=](unsigned char* page, unsigned long at) {
        if (at == 0)
            return;
        page[at] = b0;
        page[at + 1] = b1;
        page[at + 2] = b2;
        page[at + 3] = b3;
    });
}

Ret SES2EnclosureDevice::setControlBytes(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3)
{
    for (RaidObject* child : getChildren()) {
        if (child->isInstanceOf("SESElement") && static_cast<SESElement*>(child)->getType() == SES_TYPE_ENCLOSURE)
            return setElementControlBytes(static_cast<SESElement*>(child), b0, b1, b2, b3);
    }
    return Ret(-1);
}
