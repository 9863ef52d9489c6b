#include "platform/cim/CIMInstance.h"

#include "platform/cim/Exception.h"

namespace cimxml {

CIMProperty::CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize,
                         const CIMName& referenceClassName)
    : name_(name), value_(value), arraySize_(arraySize), referenceClassName_(referenceClassName)
{
}

Uint32 CIMInstance::addProperty(const CIMProperty& property)
{
    properties_.push_back(property);
    return static_cast<Uint32>(properties_.size() - 1);
}

const CIMProperty& CIMInstance::getProperty(Uint32 index) const
{
    if (index >= properties_.size())
        throw Exception("Property index " + std::to_string(index) + " out of range");
    return properties_[index];
}

Uint32 CIMInstance::findProperty(const CIMName& name) const
{
    for (std::size_t i = 0; i < properties_.size(); ++i)
        if (properties_[i].getName() == name)
            return static_cast<Uint32>(i);
    return PEG_NOT_FOUND;
}

void CIMInstance::removeProperty(Uint32 index)
{
    if (index >= properties_.size())
        throw Exception("Property index " + std::to_string(index) + " out of range");
    properties_.erase(properties_.begin() + index);
}

}  // namespace cimxml
