#include "common/XMLWriter.h"

#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/Addr.h"
// Only the node's virtual operations and its inline child list are used, so
// the writer needs the object model's declarations but none of its code and
// this library never links against the model. For the same reason this file
// is built without the sanitizer's vptr check, which would reference the
// model's type information.
#include "RaidModel/Interface/RaidObject.h"

namespace {

const unsigned int MAX_START_INDENT = 62;
const unsigned int MAX_END_INDENT = 61;
const unsigned char FIRST_PRINTABLE = 0x20;

// The entity for a byte that XML attribute values cannot carry as it is.
const char* entityFor(unsigned char c)
{
    switch (c) {
    case '"': return "&quot;";
    case '&': return "&amp;";
    case '\'': return "&apos;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    default: return nullptr;
    }
}

// Bytes that an attribute value of writeString carries as they are, and
// those of writeASCIIString (which also takes apart every byte with bit 7).
struct PlainBytes {
    bool string[256];
    bool ascii[256];
    constexpr PlainBytes() : string(), ascii()
    {
        for (int c = FIRST_PRINTABLE; c < 256; ++c) {
            const bool plain = c != '"' && c != '&' && c != '\'' && c != '<' && c != '>';
            string[c] = plain;
            ascii[c] = plain && c < 0x80;
        }
    }
};

constexpr PlainBytes PLAIN;

// The length of value when every byte of it is plain in `table`, else -1.
long plainLength(const char* value, const bool (&table)[256])
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(value);
    for (; *p != 0; ++p) {
        if (!table[*p])
            return -1;
    }
    return static_cast<long>(reinterpret_cast<const char*>(p) - value);
}

// Decimal digits as "%d", "%u", "%ld", "%lu", "%lld" and "%llu" give them.
template <typename T>
unsigned int digitsOf(T value, char (&text)[24])
{
    return static_cast<unsigned int>(std::to_chars(text, text + sizeof text, value).ptr - text);
}

} // namespace

XMLWriter::XMLWriter(char** out)
    : output(out), scratch(), indent(0), indentStep(4)
{
}

XMLWriter::~XMLWriter() = default;

unsigned long XMLWriter::getBuffSize() const
{
    return output.capacity();
}

unsigned long XMLWriter::getStrSize() const
{
    return output.length();
}

void XMLWriter::append(const char* text, unsigned int n)
{
    output.append(text, n);
}

void XMLWriter::append(const char* text)
{
    if (text != nullptr)
        append(text, static_cast<unsigned int>(std::strlen(text)));
}

void XMLWriter::append(char c)
{
    append(&c, 1);
}

// Each composite piece of text below goes in as one copy when all of it fits
// without a growth step; otherwise it goes in piece by piece exactly as it
// always did, so that the buffer grows at the same points, to the same
// sizes, publishing the same addresses.

void XMLWriter::attribute(const char* name, const char* value, unsigned int valueLength)
{
    if (name != nullptr) {
        const std::size_t nameLength = std::strlen(name);
        const unsigned long total = nameLength + valueLength + 4;
        char* p = output.room(total);
        if (p != nullptr) {
            *p++ = ' ';
            std::memcpy(p, name, nameLength);
            p += nameLength;
            *p++ = '=';
            *p++ = '"';
            std::memcpy(p, value, valueLength);
            p[valueLength] = '"';
            output.commit(total);
            return;
        }
    }
    beginAttribute(name);
    append(value, valueLength);
    endAttribute();
}

void XMLWriter::beginAttribute(const char* name)
{
    append(' ');
    append(name);
    append("=\"", 2);
}

void XMLWriter::endAttribute()
{
    append('"');
}

void XMLWriter::formattedAttribute(const char* name, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (length < 0)
        return;
    beginAttribute(name);
    if (static_cast<unsigned int>(length) < sizeof scratch) {
        append(scratch, static_cast<unsigned int>(length));
    } else {
        // "%f" of a large double does not fit the scratch space.
        std::vector<char> wide(static_cast<size_t>(length) + 1);
        va_start(args, format);
        std::vsnprintf(wide.data(), wide.size(), format, args);
        va_end(args);
        append(wide.data(), static_cast<unsigned int>(length));
    }
    endAttribute();
}

void XMLWriter::appendEscaped(const char* value, bool delimit, bool stripHighBit)
{
    if (value == nullptr)
        return;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(value);
    const unsigned char mask = stripHighBit ? 0x7F : 0xFF;
    const char* run = value;
    unsigned int runLength = 0;
    for (;; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p & mask);
        if (c == '\0')
            break;
        const char* replacement = delimit && c < FIRST_PRINTABLE ? "DELIM" : entityFor(c);
        if (replacement == nullptr && c == *p) {
            ++runLength;
            continue;
        }
        append(run, runLength);
        if (replacement != nullptr) {
            append(replacement);
        } else {
            const char stripped = static_cast<char>(c);
            append(&stripped, 1);
        }
        run = reinterpret_cast<const char*>(p + 1);
        runLength = 0;
    }
    append(run, runLength);
}

void XMLWriter::writeChar(const char* name, char value)
{
    char text[2] = {value, '\0'};
    beginAttribute(name);
    appendEscaped(text, false, false);
    endAttribute();
}

void XMLWriter::writeUChar(const char* name, unsigned char value)
{
    writeChar(name, static_cast<char>(value));
}

void XMLWriter::writeLong(const char* name, long value)
{
    char text[24];
    attribute(name, text, digitsOf(value, text));
}

void XMLWriter::writeULong(const char* name, unsigned long value)
{
    char text[24];
    attribute(name, text, digitsOf(value, text));
}

void XMLWriter::writeShort(const char* name, short value)
{
    char text[24];
    attribute(name, text, digitsOf(static_cast<int>(value), text));
}

void XMLWriter::writeUShort(const char* name, unsigned short value)
{
    char text[24];
    attribute(name, text, digitsOf(static_cast<unsigned int>(value), text));
}

void XMLWriter::writeInt(const char* name, int value)
{
    char text[24];
    attribute(name, text, digitsOf(value, text));
}

void XMLWriter::writeUInt(const char* name, unsigned int value)
{
    char text[24];
    attribute(name, text, digitsOf(value, text));
}

void XMLWriter::writeUIntHex(const char* name, unsigned int value)
{
    // "0x%x": lowercase digits without leading zeros.
    char text[24] = {'0', 'x'};
    const char* last = std::to_chars(text + 2, text + sizeof text, value, 16).ptr;
    attribute(name, text, static_cast<unsigned int>(last - text));
}

void XMLWriter::writeFloat(const char* name, float value)
{
    formattedAttribute(name, "%f", static_cast<double>(value));
}

void XMLWriter::writeDouble(const char* name, double value)
{
    formattedAttribute(name, "%f", value);
}

void XMLWriter::writeU64(const char* name, unsigned long long value)
{
    char text[24];
    attribute(name, text, digitsOf(value, text));
}

void XMLWriter::writeI64(const char* name, long long value)
{
    char text[24];
    attribute(name, text, digitsOf(value, text));
}

void XMLWriter::writeBlockT(const char* name, unsigned long long value)
{
    char text[24];
    attribute(name, text, digitsOf(value, text));
}

void XMLWriter::writeBool(const char* name, bool value)
{
    // Only the byte value 1 is true, whatever else a caller left in the byte.
    unsigned char stored = 0;
    std::memcpy(&stored, &value, 1);
    if (stored == 1)
        attribute(name, "true", 4);
    else
        attribute(name, "false", 5);
}

void XMLWriter::writeString(const char* name, const char* value)
{
    const long length = value != nullptr ? plainLength(value, PLAIN.string) : -1;
    if (length >= 0 && length <= 0xFFFFFFFFl) {
        attribute(name, value, static_cast<unsigned int>(length));
        return;
    }
    beginAttribute(name);
    appendEscaped(value, true, false);
    endAttribute();
}

void XMLWriter::writeASCIIString(const char* name, char* value)
{
    // Bit 7 is dropped on the way out; the caller's text stays as it is.
    const long length = value != nullptr ? plainLength(value, PLAIN.ascii) : -1;
    if (length >= 0 && length <= 0xFFFFFFFFl) {
        attribute(name, value, static_cast<unsigned int>(length));
        return;
    }
    beginAttribute(name);
    appendEscaped(value, true, true);
    endAttribute();
}

void XMLWriter::writeBinary(const char* name, const char* data, unsigned long length)
{
    static const char digits[] = "0123456789abcdef";
    beginAttribute(name);
    for (unsigned long i = 0; data != nullptr && i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(data[i]);
        char text[3] = {' ', digits[byte >> 4], digits[byte & 0x0F]};
        if (i == 0)
            append(text + 1, 2);
        else
            append(text, 3);
    }
    endAttribute();
}

void XMLWriter::writeObject(const RaidObject* object)
{
    if (object == nullptr)
        return;
    append('<');
    append(object->serializedName());
    object->writeTo(this);
    append("/>", 2);
}

void XMLWriter::writeObject(const RaidObject& object)
{
    writeObject(&object);
}

void XMLWriter::writeObject(const Addr* addr)
{
    if (addr == nullptr)
        return;
    append('<');
    append(addr->serializedName());
    writeAddr(addr);
    append("/>", 2);
}

void XMLWriter::writeObject(const Addr& addr)
{
    writeObject(&addr);
}

void XMLWriter::writeObject(const Addr2* addr)
{
    if (addr == nullptr)
        return;
    append("<Addr");
    writeAddr2(addr);
    append("/>", 2);
}

void XMLWriter::writeObject(const Addr2& addr)
{
    writeObject(&addr);
}

void XMLWriter::writeAddr(const Addr* addr)
{
    if (addr != nullptr)
        writeAddrIDs(*addr, false);
}

void XMLWriter::writeAddrDefinedIDsOnly(const Addr& addr)
{
    writeAddr(&addr);
}

void XMLWriter::writeAddr(const Addr& addr)
{
    writeAddr(&addr);
}

void XMLWriter::writeAddrAll(const Addr* addr)
{
    if (addr != nullptr)
        writeAddrIDs(*addr, true);
}

// The eight ids in their fixed order; unset ones only when `all`.
void XMLWriter::writeAddrIDs(const Addr& addr, bool all)
{
    auto id = [&](const char* name, std::uint32_t value) {
        if (all || value != Addr::UNSET_ID)
            writeULong(name, value);
    };
    id("controllerID", addr.getAdapterID());
    id("arrayID", addr.getArrayID());
    id("logicalDriveID", addr.getLogicalDriveID());
    id("channelID", addr.getChannelID());
    id("deviceID", addr.getDeviceID());
    if (all || addr.getChunkID() != Addr::UNSET_CHUNK_ID)
        writeBlockT("chunkID", addr.getChunkID());
    id("itemID", addr.getItemID());
    id("phyID", addr.getSASPhyID());
}

void XMLWriter::writeAddrAll(const Addr& addr)
{
    writeAddrAll(&addr);
}

void XMLWriter::writeAddr2(const Addr2* addr)
{
    if (addr == nullptr)
        return;
    if (addr->getStorLibType() != 0)
        writeInt("storlibType", static_cast<int>(addr->getStorLibType()));
    writeAddr(addr);
}

void XMLWriter::writeAddr2(const Addr2& addr)
{
    writeAddr2(&addr);
}

void XMLWriter::writeAddr2All(const Addr2* addr)
{
    if (addr == nullptr)
        return;
    writeInt("storlibType", static_cast<int>(addr->getStorLibType()));
    writeAddrAll(addr);
}

void XMLWriter::writeAddr2All(const Addr2& addr)
{
    writeAddr2All(&addr);
}

void XMLWriter::writeRawString(const char* text)
{
    // Unlike an append of nothing, no text at all leaves even the first
    // buffer unallocated and the caller's block in place.
    if (text == nullptr || *text == '\0')
        return;
    append(text);
}

void XMLWriter::addTag(const char* text)
{
    append(text);
}

void XMLWriter::appendIndent(unsigned int blanks)
{
    static const char spaces[] = "                                                                ";
    static_assert(sizeof spaces > MAX_START_INDENT, "indent runs are cut at 62 blanks");
    append(spaces, blanks);
}

void XMLWriter::writeTree(const RaidObject* root)
{
    if (root == nullptr)
        return;
    writeElement(root, &RaidObject::writeTo, &XMLWriter::writeTree);
}

void XMLWriter::writeTree(const RaidObject& root)
{
    writeTree(&root);
}

void XMLWriter::writeUserConfigTree(const RaidObject* root)
{
    if (root == nullptr)
        return;
    const char* name = root->serializedName();
    // Enclosure elements and the SAS topology are discovered, never
    // configured, so they have no place in a saved configuration.
    if (std::strcmp(name, "SESEnclosureDevice") == 0 || std::strcmp(name, "SASPhy") == 0 ||
        std::strcmp(name, "SASConnector") == 0)
        return;
    writeElement(root, &RaidObject::writeToXML, &XMLWriter::writeUserConfigTree);
}

// Both tree forms: the node's element with the attributes `attributes`
// writes, its children each in the form `child` writes, indented by depth.
// The children go through the virtual entry so that an override sees them.
void XMLWriter::writeElement(const RaidObject* node, void (RaidObject::*attributes)(Writer*) const,
                             void (XMLWriter::*child)(const RaidObject*))
{
    const char* name = node->serializedName();
    const std::vector<RaidObject*>& children = node->getChildList();
    openElement(indent < MAX_START_INDENT ? indent : MAX_START_INDENT, name);
    (node->*attributes)(this);
    if (children.empty()) {
        append("/>\n", 3);
        return;
    }
    append(">\n", 2);
    indent += indentStep;
    for (const RaidObject* c : children)
        (this->*child)(c);
    closeElement(name);
}

void XMLWriter::closeElement(const char* name)
{
    if (indent != 0)
        indent -= indentStep;
    const unsigned int blanks = indent < MAX_END_INDENT ? indent : MAX_END_INDENT;
    if (name != nullptr) {
        const std::size_t nameLength = std::strlen(name);
        const unsigned long total = blanks + nameLength + 4;
        char* p = output.room(total);
        if (p != nullptr) {
            std::memset(p, ' ', blanks);
            p += blanks;
            *p++ = '<';
            *p++ = '/';
            std::memcpy(p, name, nameLength);
            p += nameLength;
            *p++ = '>';
            *p = '\n';
            output.commit(total);
            return;
        }
    }
    appendIndent(blanks);
    append("</", 2);
    append(name);
    append(">\n", 2);
}

void XMLWriter::openElement(unsigned int blanks, const char* name)
{
    if (name != nullptr) {
        const std::size_t nameLength = std::strlen(name);
        const unsigned long total = blanks + nameLength + 1;
        char* p = output.room(total);
        if (p != nullptr) {
            std::memset(p, ' ', blanks);
            p += blanks;
            *p++ = '<';
            std::memcpy(p, name, nameLength);
            output.commit(total);
            return;
        }
    }
    appendIndent(blanks);
    append('<');
    append(name);
}
