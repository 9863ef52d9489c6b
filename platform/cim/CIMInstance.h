#ifndef VYN_PLATFORM_CIM_CIMINSTANCE_H
#define VYN_PLATFORM_CIM_CIMINSTANCE_H

#include "platform/cim/CIMTypes.h"
#include "platform/cim/CIMValue.h"

#include <vector>

namespace cimxml {

class CIMProperty {
public:
    CIMProperty() = default;
    // `referenceClassName` names the class a reference property points to.
    CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize = 0,
                const CIMName& referenceClassName = CIMName());

    const CIMName& getName() const { return name_; }
    const CIMValue& getValue() const { return value_; }
    void setValue(const CIMValue& value) { value_ = value; }
    CIMType getType() const { return value_.getType(); }
    bool isArray() const { return value_.isArray(); }
    Uint32 getArraySize() const { return arraySize_; }
    const CIMName& getReferenceClassName() const { return referenceClassName_; }

private:
    CIMName name_;
    CIMValue value_;
    Uint32 arraySize_ = 0;
    CIMName referenceClassName_;
};

// An instance: properties in document order. Duplicates are kept, so a reader
// walking them in order lets a later one replace an earlier one.
class CIMInstance {
public:
    CIMInstance() = default;
    explicit CIMInstance(const CIMName& className) : className_(className) {}

    const CIMName& getClassName() const { return className_; }
    void setClassName(const CIMName& className) { className_ = className; }

    // Returns the new property's index.
    Uint32 addProperty(const CIMProperty& property);
    Uint32 getPropertyCount() const { return static_cast<Uint32>(properties_.size()); }
    // An index past the end throws Exception.
    const CIMProperty& getProperty(Uint32 index) const;
    // Index of the first property of that name (case-insensitive), or PEG_NOT_FOUND.
    Uint32 findProperty(const CIMName& name) const;
    void removeProperty(Uint32 index);

    CIMInstance clone() const { return *this; }

private:
    CIMName className_;
    std::vector<CIMProperty> properties_;
};

}  // namespace cimxml

#endif
