#ifndef VYN_PLATFORM_CIM_CIMVALUE_H
#define VYN_PLATFORM_CIM_CIMVALUE_H

#include "platform/cim/CIMObjectPath.h"
#include "platform/cim/CIMTypes.h"

#include <vector>

namespace cimxml {

// A typed CIM value: scalar or array, possibly null. Getters of another type
// throw TypeMismatchException; a null value's getters throw it too.
class CIMValue {
public:
    // A null string value.
    CIMValue() = default;
    // A null value of `type`.
    CIMValue(CIMType type, bool isArray);

    CIMValue(Boolean x);
    CIMValue(Uint8 x);
    CIMValue(Sint8 x);
    CIMValue(Uint16 x);
    CIMValue(Sint16 x);
    CIMValue(Uint32 x);
    CIMValue(Sint32 x);
    CIMValue(Uint64 x);
    CIMValue(Sint64 x);
    CIMValue(Real32 x);
    CIMValue(Real64 x);
    CIMValue(Char16 x);
    CIMValue(const String& x);
    CIMValue(const char* x);
    CIMValue(const CIMObjectPath& x);

    // A value from its CIM-XML VALUE text: booleans TRUE/FALSE in any case,
    // integers decimal with optional sign and surrounding white space, out of
    // range rejected, strings exact, datetime kept as text. A bad text throws
    // TypeMismatchException. CIMTYPE_REFERENCE is not made from text here.
    static CIMValue fromXmlText(CIMType type, const String& text);
    // An array value from element texts, each checked as in fromXmlText.
    static CIMValue arrayFromXmlTexts(CIMType type, const std::vector<String>& texts);

    CIMType getType() const { return type_; }
    bool isNull() const { return isNull_; }
    bool isArray() const { return isArray_; }
    Uint32 getArraySize() const { return static_cast<Uint32>(elements_.size()); }
    void setNullValue(CIMType type, bool isArray);

    void get(Boolean& x) const;
    void get(Uint8& x) const;
    void get(Sint8& x) const;
    void get(Uint16& x) const;
    void get(Sint16& x) const;
    // Accepts UINT32 and SINT32 (the bit pattern kept), so that a sender's
    // choice of signedness never loses an event.
    void get(Uint32& x) const;
    void get(Sint32& x) const;
    void get(Uint64& x) const;
    void get(Sint64& x) const;
    void get(Real32& x) const;
    void get(Real64& x) const;
    // Accepts CHAR16 with a character of the basic multilingual plane.
    void get(Char16& x) const;
    // Accepts STRING, CHAR16 and DATETIME (UTF-8 text).
    void get(String& x) const;
    void get(CIMObjectPath& x) const;
    // Array elements as their value texts (VALUE form); scalars throw.
    void get(std::vector<String>& x) const;

    // The value as CIM-XML VALUE text (empty when null; array elements joined
    // with ","); references give the path text.
    String toString() const;

    // Type, null and array flags and every element equal.
    bool equal(const CIMValue& other) const;

private:
    struct Element {
        Uint64 bits = 0;      // integers (signed sign-extended) and booleans
        Real64 real = 0;
        String text;          // char16, string, datetime; reference path text
    };
    void requireScalar(CIMType type) const;
    static Element parseElement(CIMType type, const String& text);
    String elementText(const Element& e) const;

    CIMType type_ = CIMTYPE_STRING;
    bool isNull_ = true;
    bool isArray_ = false;
    std::vector<Element> elements_;
};

}  // namespace cimxml

#endif
