#include "platform/cim/CIMObjectPath.h"

#include "platform/cim/Exception.h"

namespace cimxml {

namespace {

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }

bool isIdentifier(const String& s)
{
    if (s.empty() || !isNameStart(s[0]))
        return false;
    for (char c : s)
        if (!isNameChar(c))
            return false;
    return true;
}

bool isNamespace(const String& s)
{
    if (s.empty() || s.front() == '/' || s.back() == '/')
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '/') {
            if (s[i - 1] == '/')
                return false;
        } else if (!isNameChar(c)) {
            return false;
        }
    }
    return true;
}

bool isNumeric(const String& s)
{
    std::size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
    if (i == s.size())
        return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

[[noreturn]] void malformed(const String& text, const String& why)
{
    throw MalformedObjectNameException("Malformed object path \"" + text + "\": " + why);
}

String quoted(const String& value)
{
    String out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Parses the key list after the class name's '.'.
std::vector<CIMKeyBinding> parseKeys(const String& text, std::size_t i)
{
    std::vector<CIMKeyBinding> keys;
    const std::size_t n = text.size();
    for (;;) {
        std::size_t eq = text.find('=', i);
        if (eq == String::npos)
            malformed(text, "key without value");
        String name = text.substr(i, eq - i);
        if (!isIdentifier(name))
            malformed(text, "bad key name \"" + name + "\"");
        for (const CIMKeyBinding& k : keys)
            if (equalNoCase(k.getName().getString(), name))
                malformed(text, "key \"" + name + "\" given twice");
        i = eq + 1;
        if (i < n && text[i] == '"') {
            String value;
            std::size_t j = i + 1;
            bool closed = false;
            while (j < n) {
                char c = text[j];
                if (c == '\\') {
                    if (j + 1 >= n || (text[j + 1] != '"' && text[j + 1] != '\\'))
                        malformed(text, "bad escape in value of key \"" + name + "\"");
                    value += text[j + 1];
                    j += 2;
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    value += c;
                    ++j;
                }
            }
            if (!closed)
                malformed(text, "unterminated value of key \"" + name + "\"");
            keys.emplace_back(name, value, CIMKeyBinding::STRING);
            i = j + 1;
        } else {
            std::size_t end = text.find(',', i);
            String value = text.substr(i, end == String::npos ? String::npos : end - i);
            if (equalNoCase(value, "TRUE") || equalNoCase(value, "FALSE"))
                keys.emplace_back(name, value, CIMKeyBinding::BOOLEAN);
            else if (isNumeric(value))
                keys.emplace_back(name, value, CIMKeyBinding::NUMERIC);
            else
                malformed(text, "bad value of key \"" + name + "\"");
            i = end == String::npos ? n : end;
        }
        if (i == n)
            return keys;
        if (text[i] != ',')
            malformed(text, "text after value of key \"" + name + "\"");
        ++i;
    }
}

bool sameReference(const String& a, const String& b)
{
    try {
        return CIMObjectPath(a).identical(CIMObjectPath(b));
    } catch (const MalformedObjectNameException&) {
        return a == b;
    }
}

}  // namespace

CIMKeyBinding::CIMKeyBinding(const CIMName& name, const String& value, Type type)
    : name_(name), value_(value), type_(type)
{
}

CIMKeyBinding::CIMKeyBinding(const CIMName& name, const CIMObjectPath& reference)
    : name_(name), value_(reference.toString()), type_(REFERENCE)
{
}

bool CIMKeyBinding::equal(const CIMKeyBinding& other) const
{
    if (name_ != other.name_ || type_ != other.type_)
        return false;
    switch (type_) {
    case REFERENCE:
        return sameReference(value_, other.value_);
    case BOOLEAN:
        return equalNoCase(value_, other.value_);
    default:
        return value_ == other.value_;
    }
}

CIMObjectPath::CIMObjectPath(const String& text) { set(text); }

CIMObjectPath::CIMObjectPath(const char* text) { set(text ? text : ""); }

CIMObjectPath::CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace,
                             const CIMName& className, const std::vector<CIMKeyBinding>& keyBindings)
    : host_(host), nameSpace_(nameSpace), className_(className), keyBindings_(keyBindings)
{
}

void CIMObjectPath::set(const String& text)
{
    String host;
    std::size_t i = 0;
    if (text.compare(0, 2, "//") == 0) {
        std::size_t slash = text.find('/', 2);
        if (slash == String::npos || slash == 2)
            malformed(text, "bad host");
        host = text.substr(2, slash - 2);
        i = slash + 1;
    }
    std::size_t dot = text.find('.', i);
    String head = text.substr(i, dot == String::npos ? String::npos : dot - i);
    String nameSpace;
    String className = head;
    std::size_t colon = head.find(':');
    if (colon != String::npos) {
        nameSpace = head.substr(0, colon);
        className = head.substr(colon + 1);
        if (!isNamespace(nameSpace))
            malformed(text, "bad namespace");
    }
    if (!isIdentifier(className))
        malformed(text, "bad class name");
    std::vector<CIMKeyBinding> keys;
    if (dot != String::npos)
        keys = parseKeys(text, dot + 1);
    host_ = host;
    nameSpace_ = nameSpace;
    className_ = className;
    keyBindings_ = keys;
}

String CIMObjectPath::toString() const
{
    String out;
    if (!host_.empty())
        out += "//" + host_ + "/";
    if (!nameSpace_.isNull())
        out += nameSpace_.getString() + ":";
    out += className_.getString();
    for (std::size_t i = 0; i < keyBindings_.size(); ++i) {
        const CIMKeyBinding& k = keyBindings_[i];
        out += (i == 0) ? "." : ",";
        out += k.getName().getString() + "=";
        bool isText = k.getType() == CIMKeyBinding::STRING || k.getType() == CIMKeyBinding::REFERENCE;
        out += isText ? quoted(k.getValue()) : k.getValue();
    }
    return out;
}

bool CIMObjectPath::identical(const CIMObjectPath& other) const
{
    if (!equalNoCase(host_, other.host_) || nameSpace_ != other.nameSpace_ ||
        className_ != other.className_ || keyBindings_.size() != other.keyBindings_.size())
        return false;
    for (const CIMKeyBinding& k : keyBindings_) {
        bool found = false;
        for (const CIMKeyBinding& o : other.keyBindings_) {
            if (k.getName() == o.getName()) {
                found = k.equal(o);
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

}  // namespace cimxml
