#ifndef VYN_PLATFORM_CIM_CIMOBJECTPATH_H
#define VYN_PLATFORM_CIM_CIMOBJECTPATH_H

#include "platform/cim/CIMTypes.h"

#include <vector>

namespace cimxml {

class CIMObjectPath;

// One key of an instance path. A REFERENCE key holds the referenced path's
// text form as its value.
class CIMKeyBinding {
public:
    enum Type { BOOLEAN, STRING, NUMERIC, REFERENCE };

    CIMKeyBinding() = default;
    CIMKeyBinding(const CIMName& name, const String& value, Type type);
    CIMKeyBinding(const CIMName& name, const CIMObjectPath& reference);

    const CIMName& getName() const { return name_; }
    void setName(const CIMName& name) { name_ = name; }
    const String& getValue() const { return value_; }
    void setValue(const String& value) { value_ = value; }
    Type getType() const { return type_; }
    void setType(Type type) { type_ = type; }

    // Names ignore case, values compare exactly, references compare as paths.
    bool equal(const CIMKeyBinding& other) const;

private:
    CIMName name_;
    String value_;
    Type type_ = STRING;
};

// An instance path: [//host/][namespace:]class[.key=value,...].
class CIMObjectPath {
public:
    CIMObjectPath() = default;
    // Parses `text` as set() does.
    CIMObjectPath(const String& text);
    CIMObjectPath(const char* text);
    CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
                  const std::vector<CIMKeyBinding>& keyBindings = std::vector<CIMKeyBinding>());

    // Replaces the whole path by the one `text` names; bad text throws
    // MalformedObjectNameException and leaves the path unchanged.
    void set(const String& text);
    // Keys in the order they were given; string and reference values quoted
    // with '"' and '\' escaped.
    String toString() const;

    const String& getHost() const { return host_; }
    void setHost(const String& host) { host_ = host; }
    const CIMNamespaceName& getNameSpace() const { return nameSpace_; }
    void setNameSpace(const CIMNamespaceName& nameSpace) { nameSpace_ = nameSpace; }
    const CIMName& getClassName() const { return className_; }
    void setClassName(const CIMName& className) { className_ = className; }
    const std::vector<CIMKeyBinding>& getKeyBindings() const { return keyBindings_; }
    void setKeyBindings(const std::vector<CIMKeyBinding>& keyBindings) { keyBindings_ = keyBindings; }

    // Key order and the case of host, namespace, class and key names are
    // ignored; reference keys compare as paths.
    bool identical(const CIMObjectPath& other) const;

private:
    String host_;
    CIMNamespaceName nameSpace_;
    CIMName className_;
    std::vector<CIMKeyBinding> keyBindings_;
};

inline bool operator==(const CIMObjectPath& a, const CIMObjectPath& b) { return a.identical(b); }
inline bool operator!=(const CIMObjectPath& a, const CIMObjectPath& b) { return !a.identical(b); }

}  // namespace cimxml

#endif
