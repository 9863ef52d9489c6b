#ifndef VYN_PLATFORM_CMPI_CMPIHANDLES_H
#define VYN_PLATFORM_CMPI_CMPIHANDLES_H

#include "platform/cmpi/CmpiAbi.h"
#include "platform/cmpi/CmpiData.h"
#include "platform/cmpi/CmpiStatus.h"

// Non-owning handles around one broker object each. Copying a handle copies
// the pointer; nothing is ever released, because every broker object belongs to
// the broker and lives until the call that made or received it returns.
// Constructors that make a broker object use the current broker
// (CmpiBrokerScope.h) and throw CmpiStatus(CMPI_RC_ERR_FAILED) outside a call;
// every member throws CmpiStatus with the broker's code when its slot fails.

class CmpiBroker {
public:
    explicit CmpiBroker(const CMPIBroker* broker = nullptr) : broker_(broker) {}
    const CMPIBroker* getEnc() const { return broker_; }

private:
    const CMPIBroker* broker_;
};

class CmpiContext {
public:
    explicit CmpiContext(const CMPIContext* ctx = nullptr) : ctx_(ctx) {}
    const CMPIContext* getEnc() const { return ctx_; }

private:
    const CMPIContext* ctx_;
};

class CmpiString {
public:
    CmpiString() : str_(nullptr) {}
    explicit CmpiString(const char* text);
    explicit CmpiString(const CMPIString* str) : str_(const_cast<CMPIString*>(str)) {}

    // Never null: a null string reads as "".
    const char* charPtr() const;
    bool equals(const char* text) const;
    bool equals(const CmpiString& other) const { return equals(other.charPtr()); }
    bool equalsIgnoreCase(const char* text) const;
    bool equalsIgnoreCase(const CmpiString& other) const {
        return equalsIgnoreCase(other.charPtr());
    }
    CMPIString* getEnc() const { return str_; }

private:
    CMPIString* str_;
};

// String arrays are made as CMPI_chars arrays and filled with the text
// pointer, the one form every broker accepts; other arrays take elements of
// exactly the element type they were made with.
class CmpiArray {
public:
    CmpiArray() : array_(nullptr), elementType_(CMPI_null) {}
    CmpiArray(CMPICount size, CMPIType elementType);
    CmpiArray(const CMPIArray* array, CMPIType elementType)
        : array_(const_cast<CMPIArray*>(array)), elementType_(elementType) {}

    CMPICount size() const;
    CmpiData getElement(CMPICount i) const;
    CmpiData operator[](CMPICount i) const { return getElement(i); }
    void setElement(CMPICount i, const CmpiData& value);
    CMPIArray* getEnc() const { return array_; }
    CMPIType elementType() const { return elementType_; }

private:
    CMPIArray* array_;
    CMPIType elementType_;
};

class CmpiObjectPath {
public:
    CmpiObjectPath(const char* ns, const char* className);
    explicit CmpiObjectPath(const CMPIObjectPath* path)
        : path_(const_cast<CMPIObjectPath*>(path)) {}

    CmpiString getNameSpace() const;
    CmpiString getClassName() const;
    CmpiString getHostname() const;
    // A missing key gives a not-found value instead of throwing.
    CmpiData getKey(const char* name) const;
    void setKey(const char* name, const CmpiData& value);
    bool classPathIsA(const char* className) const;
    // A new path with the same namespace, class, host and keys: request paths
    // are read-only, so a changed path is always a copy.
    CmpiObjectPath copy() const;
    CMPIObjectPath* getEnc() const { return path_; }

private:
    CMPIObjectPath* path_;
};

class CmpiInstance {
public:
    explicit CmpiInstance(const CmpiObjectPath& path);
    explicit CmpiInstance(const CMPIInstance* inst) : inst_(const_cast<CMPIInstance*>(inst)) {}

    void setProperty(const char* name, const CmpiData& value);
    CMPIInstance* getEnc() const { return inst_; }

private:
    CMPIInstance* inst_;
};

class CmpiResult {
public:
    explicit CmpiResult(const CMPIResult* result) : result_(result) {}

    void returnData(const CmpiData& value);
    void returnData(const CmpiInstance& inst);
    void returnData(const CmpiObjectPath& path);
    void returnDone();
    const CMPIResult* getEnc() const { return result_; }

private:
    const CMPIResult* result_;
};

class CmpiArgs {
public:
    CmpiArgs();
    explicit CmpiArgs(const CMPIArgs* args) : args_(const_cast<CMPIArgs*>(args)) {}

    // A missing argument gives a not-found value instead of throwing.
    CmpiData getArg(const char* name) const;
    void setArg(const char* name, const CmpiData& value);
    CMPICount getArgCount() const;
    CMPIArgs* getEnc() const { return args_; }

private:
    CMPIArgs* args_;
};

#endif
