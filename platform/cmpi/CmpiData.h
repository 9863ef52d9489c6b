#ifndef VYN_PLATFORM_CMPI_CMPIDATA_H
#define VYN_PLATFORM_CMPI_CMPIDATA_H

#include "platform/cmpi/CmpiAbi.h"

class CmpiString;
class CmpiArray;
class CmpiObjectPath;
class CmpiInstance;

// A typed value as brokers pass it. Constructors pick the type code from the
// C++ type; the conversions check the type and state and throw CmpiStatus:
// CMPI_RC_ERR_NOT_FOUND for a missing value, CMPI_RC_ERR_FAILED for a bad one,
// CMPI_RC_ERR_TYPE_MISMATCH for a type they do not accept. A null value of an
// accepted type reads as "", 0, false or an empty array.
//
// CMPIBoolean and CMPIUint8 are one C++ type (as are CMPIChar16 and
// CMPIUint16), so booleans are made with CmpiBooleanData, and reading either
// accepts both type codes.
class CmpiData {
public:
    CmpiData();
    explicit CmpiData(const CMPIData& data);

    CmpiData(CMPISint8 v);
    CmpiData(CMPISint16 v);
    CmpiData(CMPISint32 v);
    CmpiData(CMPISint64 v);
    CmpiData(CMPIUint8 v);
    CmpiData(CMPIUint16 v);
    CmpiData(CMPIUint32 v);
    CmpiData(CMPIUint64 v);
    CmpiData(CMPIReal32 v);
    CmpiData(CMPIReal64 v);
    // A bool would silently become CMPI_sint32.
    CmpiData(bool v) = delete;
    // The text is not copied: it must outlive this value until it is handed
    // to the broker, which copies it.
    CmpiData(const char* text);
    CmpiData(const CmpiString& s);
    CmpiData(const CmpiArray& a);
    CmpiData(const CmpiObjectPath& p);
    CmpiData(const CmpiInstance& i);

    // A value whose name the broker did not find.
    static CmpiData notFound();

    CMPIType type() const { return data_.type; }
    bool isNullValue() const { return (data_.state & CMPI_nullValue) != 0; }
    bool isNotFound() const { return (data_.state & CMPI_notFound) != 0; }
    const CMPIData& data() const { return data_; }
    // What a broker slot taking (const CMPIValue*, CMPIType) expects: the text
    // itself for CMPI_chars, the address of the value otherwise.
    const CMPIValue* valuePtr() const;

    operator CmpiString() const;
    operator const char*() const;
    operator CMPIUint8() const;
    operator CMPIUint16() const;
    operator CMPIUint32() const;
    operator CMPIUint64() const;
    operator CMPISint8() const;
    operator CMPISint16() const;
    operator CMPISint32() const;
    operator CMPISint64() const;
    operator CMPIReal32() const;
    operator CMPIReal64() const;
    operator CmpiArray() const;
    operator CmpiObjectPath() const;
    operator CmpiInstance() const;

private:
    // Throws unless the value may be read as one of the two types; returns
    // false for a null value.
    bool readable(CMPIType accepted, CMPIType alsoAccepted) const;

    CMPIData data_;
};

class CmpiBooleanData : public CmpiData {
public:
    explicit CmpiBooleanData(CMPIBoolean v);
};

extern const CmpiBooleanData CmpiTrue;
extern const CmpiBooleanData CmpiFalse;

#endif
