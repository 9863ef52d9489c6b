#include "platform/cmpi/CmpiData.h"

#include "platform/cmpi/CmpiHandles.h"
#include "platform/cmpi/CmpiSlotCalls.h"

namespace {

CMPIData makeData(CMPIType type) {
    CMPIData d{};
    d.type = type;
    d.state = CMPI_goodValue;
    return d;
}

CMPIData booleanData(CMPIBoolean v) {
    CMPIData d = makeData(CMPI_boolean);
    d.value.boolean = v;
    return d;
}

// A missing or bad value reads as nothing, whatever the conversion.
void requirePresent(const CMPIData& d) {
    if (d.state & CMPI_notFound) cmpislot::fail(CMPI_RC_ERR_NOT_FOUND);
    if (d.state & CMPI_badValue) cmpislot::fail(CMPI_RC_ERR_FAILED);
}

}  // namespace

const CmpiBooleanData CmpiTrue(1);
const CmpiBooleanData CmpiFalse(0);

CmpiData::CmpiData() : data_(makeData(CMPI_null)) { data_.state = CMPI_nullValue; }

CmpiData::CmpiData(const CMPIData& data) : data_(data) {}

CmpiData::CmpiData(CMPISint8 v) : data_(makeData(CMPI_sint8)) { data_.value.sint8 = v; }
CmpiData::CmpiData(CMPISint16 v) : data_(makeData(CMPI_sint16)) { data_.value.sint16 = v; }
CmpiData::CmpiData(CMPISint32 v) : data_(makeData(CMPI_sint32)) { data_.value.sint32 = v; }
CmpiData::CmpiData(CMPISint64 v) : data_(makeData(CMPI_sint64)) { data_.value.sint64 = v; }
CmpiData::CmpiData(CMPIUint8 v) : data_(makeData(CMPI_uint8)) { data_.value.uint8 = v; }
CmpiData::CmpiData(CMPIUint16 v) : data_(makeData(CMPI_uint16)) { data_.value.uint16 = v; }
CmpiData::CmpiData(CMPIUint32 v) : data_(makeData(CMPI_uint32)) { data_.value.uint32 = v; }
CmpiData::CmpiData(CMPIUint64 v) : data_(makeData(CMPI_uint64)) { data_.value.uint64 = v; }
CmpiData::CmpiData(CMPIReal32 v) : data_(makeData(CMPI_real32)) { data_.value.real32 = v; }
CmpiData::CmpiData(CMPIReal64 v) : data_(makeData(CMPI_real64)) { data_.value.real64 = v; }

CmpiData::CmpiData(const char* text) : data_(makeData(CMPI_chars)) {
    data_.value.chars = const_cast<char*>(text);
    if (!text) data_.state = CMPI_nullValue;
}

CmpiData::CmpiData(const CmpiString& s) : data_(makeData(CMPI_string)) {
    data_.value.string = s.getEnc();
    if (!s.getEnc()) data_.state = CMPI_nullValue;
}

// A string array is declared with its CIM type whatever element form the
// broker keeps internally, so no broker's getSimpleType answer matters.
CmpiData::CmpiData(const CmpiArray& a) : data_(makeData(CMPI_null)) {
    CMPIType element = a.elementType();
    if (element == CMPI_chars) element = CMPI_string;
    data_.type = static_cast<CMPIType>(element | CMPI_ARRAY);
    data_.value.array = a.getEnc();
    if (!a.getEnc()) data_.state = CMPI_nullValue;
}

CmpiData::CmpiData(const CmpiObjectPath& p) : data_(makeData(CMPI_ref)) {
    data_.value.ref = p.getEnc();
    if (!p.getEnc()) data_.state = CMPI_nullValue;
}

CmpiData::CmpiData(const CmpiInstance& i) : data_(makeData(CMPI_instance)) {
    data_.value.inst = i.getEnc();
    if (!i.getEnc()) data_.state = CMPI_nullValue;
}

CmpiData CmpiData::notFound() {
    CmpiData d;
    d.data_.state = CMPI_notFound | CMPI_nullValue;
    return d;
}

const CMPIValue* CmpiData::valuePtr() const {
    if (data_.type == CMPI_chars) return reinterpret_cast<const CMPIValue*>(data_.value.chars);
    return &data_.value;
}

bool CmpiData::readable(CMPIType accepted, CMPIType alsoAccepted) const {
    requirePresent(data_);
    if (data_.type != accepted && data_.type != alsoAccepted)
        cmpislot::fail(CMPI_RC_ERR_TYPE_MISMATCH);
    return (data_.state & CMPI_nullValue) == 0;
}

CmpiData::operator CmpiString() const {
    if (!readable(CMPI_string, CMPI_chars)) return CmpiString();
    if (data_.type == CMPI_string) return CmpiString(data_.value.string);
    return CmpiString(data_.value.chars ? data_.value.chars : "");
}

CmpiData::operator const char*() const {
    if (!readable(CMPI_string, CMPI_chars)) return "";
    if (data_.type == CMPI_string) return CmpiString(data_.value.string).charPtr();
    return data_.value.chars ? data_.value.chars : "";
}

CmpiData::operator CMPIUint8() const {
    return readable(CMPI_uint8, CMPI_boolean) ? data_.value.uint8 : 0;
}

CmpiData::operator CMPIUint16() const {
    return readable(CMPI_uint16, CMPI_char16) ? data_.value.uint16 : 0;
}

CmpiData::operator CMPIUint32() const {
    return readable(CMPI_uint32, CMPI_uint32) ? data_.value.uint32 : 0;
}

CmpiData::operator CMPIUint64() const {
    return readable(CMPI_uint64, CMPI_uint64) ? data_.value.uint64 : 0;
}

CmpiData::operator CMPISint8() const {
    return readable(CMPI_sint8, CMPI_sint8) ? data_.value.sint8 : 0;
}

CmpiData::operator CMPISint16() const {
    return readable(CMPI_sint16, CMPI_sint16) ? data_.value.sint16 : 0;
}

CmpiData::operator CMPISint32() const {
    return readable(CMPI_sint32, CMPI_sint32) ? data_.value.sint32 : 0;
}

CmpiData::operator CMPISint64() const {
    return readable(CMPI_sint64, CMPI_sint64) ? data_.value.sint64 : 0;
}

CmpiData::operator CMPIReal32() const {
    return readable(CMPI_real32, CMPI_real32) ? data_.value.real32 : 0.0f;
}

CmpiData::operator CMPIReal64() const {
    return readable(CMPI_real64, CMPI_real64) ? data_.value.real64 : 0.0;
}

CmpiData::operator CmpiArray() const {
    requirePresent(data_);
    if ((data_.type & CMPI_ARRAY) == 0) cmpislot::fail(CMPI_RC_ERR_TYPE_MISMATCH);
    if ((data_.state & CMPI_nullValue) || !data_.value.array) return CmpiArray();
    return CmpiArray(data_.value.array, static_cast<CMPIType>(data_.type & ~CMPI_ARRAY));
}

CmpiData::operator CmpiObjectPath() const {
    if (!readable(CMPI_ref, CMPI_ref) || !data_.value.ref)
        cmpislot::fail(CMPI_RC_ERR_TYPE_MISMATCH);
    return CmpiObjectPath(data_.value.ref);
}

CmpiData::operator CmpiInstance() const {
    if (!readable(CMPI_instance, CMPI_instance) || !data_.value.inst) {
        cmpislot::fail(CMPI_RC_ERR_TYPE_MISMATCH);
    }
    return CmpiInstance(data_.value.inst);
}

CmpiBooleanData::CmpiBooleanData(CMPIBoolean v) : CmpiData(booleanData(v)) {}
