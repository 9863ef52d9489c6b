#ifndef VYN_COMMON_XMLWRITER_H
#define VYN_COMMON_XMLWRITER_H

#include "common/TextBuffer.h"
#include "common/Writer.h"

class Addr2;

// Writes XML text into one growing NUL-terminated heap buffer and publishes
// the buffer's address into the caller's variable after every growth. The
// writer owns the block that variable held at construction (it must be null
// or come from array new) and frees its buffer when destroyed: callers copy
// the text out before that.
class XMLWriter : public Writer {
public:
    explicit XMLWriter(char** out);
    ~XMLWriter() override;
    XMLWriter(const XMLWriter&) = delete;
    XMLWriter& operator=(const XMLWriter&) = delete;

    void writeChar(const char* name, char value) override;
    void writeUChar(const char* name, unsigned char value) override;
    void writeLong(const char* name, long value) override;
    void writeULong(const char* name, unsigned long value) override;
    void writeShort(const char* name, short value) override;
    void writeUShort(const char* name, unsigned short value) override;
    void writeInt(const char* name, int value) override;
    void writeUInt(const char* name, unsigned int value) override;
    void writeUIntHex(const char* name, unsigned int value) override;
    void writeFloat(const char* name, float value) override;
    void writeDouble(const char* name, double value) override;
    void writeU64(const char* name, unsigned long long value) override;
    void writeI64(const char* name, long long value) override;
    void writeBlockT(const char* name, unsigned long long value) override;
    void writeBool(const char* name, bool value) override;
    void writeString(const char* name, const char* value) override;
    void writeASCIIString(const char* name, char* value) override;
    void writeObject(const RaidObject* object) override;
    void writeObject(const RaidObject& object) override;
    void writeObject(const Addr* addr) override;
    void writeObject(const Addr& addr) override;
    void writeAddr(const Addr* addr) override;
    void writeAddrDefinedIDsOnly(const Addr& addr) override;
    void writeAddr(const Addr& addr) override;
    void writeTree(const RaidObject* root) override;
    void writeTree(const RaidObject& root) override;
    void writeRawString(const char* text) override;
    void writeBinary(const char* name, const char* data, unsigned long length) override;
    void addTag(const char* text) override;

    virtual void writeObject(const Addr2* addr);
    virtual void writeObject(const Addr2& addr);
    // All eight ids, set or not.
    virtual void writeAddrAll(const Addr* addr);
    virtual void writeAddrAll(const Addr& addr);
    virtual void writeAddr2(const Addr2* addr);
    virtual void writeAddr2(const Addr2& addr);
    virtual void writeAddr2All(const Addr2* addr);
    virtual void writeAddr2All(const Addr2& addr);
    // The user-configuration form: writeToXML, without enclosure elements,
    // SAS phys and connectors.
    virtual void writeUserConfigTree(const RaidObject* root);
    virtual unsigned long getBuffSize() const;
    virtual unsigned long getStrSize() const;

    void append(const char* text, unsigned int n);
    void append(const char* text);
    void append(char c);

private:
    void attribute(const char* name, const char* value, unsigned int valueLength);
    void beginAttribute(const char* name);
    void endAttribute();
    void formattedAttribute(const char* name, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void appendEscaped(const char* value, bool delimit, bool stripHighBit);
    void appendIndent(unsigned int blanks);
    void openElement(unsigned int blanks, const char* name);
    void closeElement(const char* name);
    void writeElement(const RaidObject* node, void (RaidObject::*attributes)(Writer*) const,
                      void (XMLWriter::*child)(const RaidObject*));
    void writeAddrIDs(const Addr& addr, bool all);

    TextBuffer output;
    char scratch[64];
    unsigned int indent;
    unsigned int indentStep;
};

#endif
