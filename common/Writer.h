#ifndef VYN_COMMON_WRITER_H
#define VYN_COMMON_WRITER_H

class Addr;
class RaidObject;

// The output interface through which every object of the storage tree writes
// its attributes. The slot order is relied upon by the XML and CSV writers
// and by every class that overrides a writer: keep it.
class Writer {
public:
    virtual ~Writer() {}

    virtual void writeChar(const char* name, char value) = 0;
    virtual void writeUChar(const char* name, unsigned char value) = 0;
    virtual void writeLong(const char* name, long value) = 0;
    virtual void writeULong(const char* name, unsigned long value) = 0;
    virtual void writeShort(const char* name, short value) = 0;
    virtual void writeUShort(const char* name, unsigned short value) = 0;
    virtual void writeInt(const char* name, int value) = 0;
    virtual void writeUInt(const char* name, unsigned int value) = 0;
    virtual void writeUIntHex(const char* name, unsigned int value) = 0;
    virtual void writeFloat(const char* name, float value) = 0;
    virtual void writeDouble(const char* name, double value) = 0;
    virtual void writeU64(const char* name, unsigned long long value) = 0;
    virtual void writeI64(const char* name, long long value) = 0;
    // A sector count or chunk start (64-bit block number).
    virtual void writeBlockT(const char* name, unsigned long long value) = 0;
    virtual void writeBool(const char* name, bool value) = 0;
    virtual void writeString(const char* name, const char* value) = 0;
    // Device-reported text: bit 7 of every byte is ignored.
    virtual void writeASCIIString(const char* name, char* value) = 0;
    virtual void writeObject(const RaidObject* object) = 0;
    virtual void writeObject(const RaidObject& object) = 0;
    virtual void writeObject(const Addr* addr) = 0;
    virtual void writeObject(const Addr& addr) = 0;
    virtual void writeAddr(const Addr* addr) = 0;
    virtual void writeAddrDefinedIDsOnly(const Addr& addr) = 0;
    virtual void writeAddr(const Addr& addr) = 0;
    virtual void writeTree(const RaidObject* root) = 0;
    virtual void writeTree(const RaidObject& root) = 0;
    virtual void writeRawString(const char* text) = 0;
    virtual void writeBinary(const char* name, const char* data, unsigned long length) = 0;
    virtual void addTag(const char* text) = 0;
};

#endif
