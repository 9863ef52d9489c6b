#include "platform/cim/CimXml.h"

#include "platform/cim/Exception.h"
#include "platform/cim/HttpText.h"

#include <pugixml.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cimxml {
namespace xml {

namespace {

const char kNotWellFormed[] = "request-not-well-formed";
const char kNotValid[] = "request-not-valid";
// Each level of references nested in references escapes the text of the one
// inside it again, so its size can double per level: a short body must not
// grow into gigabytes. The daemon's own paths nest one level deep.
constexpr int kMaxReferenceDepth = 3;

[[noreturn]] void invalid(const String& message) { throw XmlError(kNotValid, message); }

bool is(const pugi::xml_node& node, const char* name)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

std::vector<pugi::xml_node> elements(const pugi::xml_node& node)
{
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element)
            out.push_back(child);
    return out;
}

String requiredAttribute(const pugi::xml_node& node, const char* name)
{
    pugi::xml_attribute a = node.attribute(name);
    if (!a)
        invalid(String(node.name()) + " without " + name);
    return a.value();
}

// One element child named `name`; none gives a null node, more are invalid.
pugi::xml_node optionalChild(const pugi::xml_node& node, const char* name)
{
    pugi::xml_node found;
    for (pugi::xml_node child : elements(node)) {
        if (!is(child, name))
            continue;
        if (found)
            invalid(String(node.name()) + " with more than one " + name);
        found = child;
    }
    return found;
}

pugi::xml_node requiredChild(const pugi::xml_node& node, const char* name)
{
    pugi::xml_node found = optionalChild(node, name);
    if (!found)
        invalid(String(node.name()) + " without " + name);
    return found;
}

// All text and CDATA children joined: a comment splits the text in two nodes.
String textOf(const pugi::xml_node& node)
{
    String out;
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            out += child.value();
        else if (child.type() == pugi::node_element)
            invalid(String(node.name()) + " holding element " + child.name());
    }
    return out;
}

String major(const String& version)
{
    return version.substr(0, version.find('.'));
}

CIMNamespaceName readLocalNamespacePath(const pugi::xml_node& node)
{
    String ns;
    for (pugi::xml_node child : elements(node)) {
        if (!is(child, "NAMESPACE"))
            invalid("LOCALNAMESPACEPATH holding " + String(child.name()));
        String segment = requiredAttribute(child, "NAME");
        if (segment.empty())
            invalid("Empty NAMESPACE NAME");
        ns += (ns.empty() ? "" : "/") + segment;
    }
    if (ns.empty())
        invalid("Empty LOCALNAMESPACEPATH");
    return ns;
}

CIMObjectPath readInstanceName(const pugi::xml_node& node, int depth = 0);

CIMObjectPath readValueReference(const pugi::xml_node& node, int depth)
{
    if (++depth > kMaxReferenceDepth)
        invalid("References nested more than " + std::to_string(kMaxReferenceDepth) + " deep");
    std::vector<pugi::xml_node> children = elements(node);
    if (children.size() != 1)
        invalid("VALUE.REFERENCE without exactly one path");
    const pugi::xml_node& c = children[0];
    if (is(c, "INSTANCENAME"))
        return readInstanceName(c, depth);
    if (is(c, "LOCALINSTANCEPATH")) {
        CIMObjectPath path = readInstanceName(requiredChild(c, "INSTANCENAME"), depth);
        path.setNameSpace(readLocalNamespacePath(requiredChild(c, "LOCALNAMESPACEPATH")));
        return path;
    }
    if (is(c, "INSTANCEPATH")) {
        pugi::xml_node nsPath = requiredChild(c, "NAMESPACEPATH");
        CIMObjectPath path = readInstanceName(requiredChild(c, "INSTANCENAME"), depth);
        path.setHost(textOf(requiredChild(nsPath, "HOST")));
        path.setNameSpace(readLocalNamespacePath(requiredChild(nsPath, "LOCALNAMESPACEPATH")));
        return path;
    }
    invalid("VALUE.REFERENCE holding " + String(c.name()));
}

bool isNumericKey(const String& s)
{
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno != ERANGE;
}

CIMKeyBinding readKeyBinding(const pugi::xml_node& node, int depth)
{
    String name = requiredAttribute(node, "NAME");
    if (name.empty())
        invalid("KEYBINDING with empty NAME");
    std::vector<pugi::xml_node> children = elements(node);
    if (children.size() != 1)
        invalid("KEYBINDING " + name + " without exactly one value");
    const pugi::xml_node& c = children[0];
    if (is(c, "VALUE.REFERENCE"))
        return CIMKeyBinding(name, readValueReference(c, depth));
    if (!is(c, "KEYVALUE"))
        invalid("KEYBINDING " + name + " holding " + String(c.name()));
    String valueType = c.attribute("VALUETYPE") ? c.attribute("VALUETYPE").value() : "string";
    String text = textOf(c);
    if (valueType == "string")
        return CIMKeyBinding(name, text, CIMKeyBinding::STRING);
    String value = http::trim(text);
    if (valueType == "boolean") {
        if (!equalNoCase(value, "TRUE") && !equalNoCase(value, "FALSE"))
            invalid("Bad boolean key value \"" + text + "\"");
        return CIMKeyBinding(name, value, CIMKeyBinding::BOOLEAN);
    }
    if (valueType == "numeric") {
        if (!isNumericKey(value))
            invalid("Bad numeric key value \"" + text + "\"");
        return CIMKeyBinding(name, value, CIMKeyBinding::NUMERIC);
    }
    invalid("Unknown VALUETYPE \"" + valueType + "\"");
}

CIMObjectPath readInstanceName(const pugi::xml_node& node, int depth)
{
    String className = requiredAttribute(node, "CLASSNAME");
    if (className.empty())
        invalid("INSTANCENAME with empty CLASSNAME");
    std::vector<CIMKeyBinding> keys;
    for (pugi::xml_node child : elements(node)) {
        if (!is(child, "KEYBINDING"))
            invalid("INSTANCENAME holding " + String(child.name()));
        keys.push_back(readKeyBinding(child, depth));
    }
    return CIMObjectPath(String(), CIMNamespaceName(), className, keys);
}

CIMType readType(const pugi::xml_node& node, const String& name)
{
    String typeText = requiredAttribute(node, "TYPE");
    CIMType type;
    if (!cimTypeFromString(typeText, type) || type == CIMTYPE_REFERENCE)
        invalid("Property " + name + " of unknown TYPE \"" + typeText + "\"");
    return type;
}

CIMValue valueFromText(CIMType type, const String& text, const String& name)
{
    try {
        return CIMValue::fromXmlText(type, text);
    } catch (const TypeMismatchException& e) {
        invalid("Property " + name + ": " + e.getMessage());
    }
}

CIMProperty readScalarProperty(const pugi::xml_node& node)
{
    String name = requiredAttribute(node, "NAME");
    CIMType type = readType(node, name);
    pugi::xml_node valueNode;
    for (pugi::xml_node child : elements(node)) {
        if (is(child, "QUALIFIER"))
            continue;
        if (!is(child, "VALUE") || valueNode)
            invalid("Property " + name + " holding " + String(child.name()));
        valueNode = child;
    }
    if (!valueNode)
        return CIMProperty(name, CIMValue(type, false));
    return CIMProperty(name, valueFromText(type, textOf(valueNode), name));
}

CIMProperty readArrayProperty(const pugi::xml_node& node)
{
    String name = requiredAttribute(node, "NAME");
    CIMType type = readType(node, name);
    Uint32 arraySize = 0;
    if (pugi::xml_attribute a = node.attribute("ARRAYSIZE"))
        arraySize = a.as_uint();
    pugi::xml_node arrayNode;
    for (pugi::xml_node child : elements(node)) {
        if (is(child, "QUALIFIER"))
            continue;
        if (!is(child, "VALUE.ARRAY") || arrayNode)
            invalid("Property " + name + " holding " + String(child.name()));
        arrayNode = child;
    }
    if (!arrayNode)
        return CIMProperty(name, CIMValue(type, true), arraySize);
    std::vector<String> texts;
    for (pugi::xml_node child : elements(arrayNode)) {
        if (!is(child, "VALUE"))
            invalid("VALUE.ARRAY of " + name + " holding " + String(child.name()));
        texts.push_back(textOf(child));
    }
    try {
        return CIMProperty(name, CIMValue::arrayFromXmlTexts(type, texts), arraySize);
    } catch (const TypeMismatchException& e) {
        invalid("Property " + name + ": " + e.getMessage());
    }
}

CIMProperty readReferenceProperty(const pugi::xml_node& node)
{
    String name = requiredAttribute(node, "NAME");
    CIMName referenceClass = node.attribute("REFERENCECLASS").value();
    pugi::xml_node valueNode;
    for (pugi::xml_node child : elements(node)) {
        if (is(child, "QUALIFIER"))
            continue;
        if (!is(child, "VALUE.REFERENCE") || valueNode)
            invalid("Property " + name + " holding " + String(child.name()));
        valueNode = child;
    }
    if (!valueNode)
        return CIMProperty(name, CIMValue(CIMTYPE_REFERENCE, false), 0, referenceClass);
    return CIMProperty(name, CIMValue(readValueReference(valueNode, 0)), 0, referenceClass);
}

CIMInstance readInstance(const pugi::xml_node& node)
{
    String className = requiredAttribute(node, "CLASSNAME");
    if (className.empty())
        invalid("INSTANCE with empty CLASSNAME");
    CIMInstance instance{CIMName(className)};
    for (pugi::xml_node child : elements(node)) {
        if (is(child, "QUALIFIER"))
            continue;
        if (is(child, "PROPERTY"))
            instance.addProperty(readScalarProperty(child));
        else if (is(child, "PROPERTY.ARRAY"))
            instance.addProperty(readArrayProperty(child));
        else if (is(child, "PROPERTY.REFERENCE"))
            instance.addProperty(readReferenceProperty(child));
        else
            invalid("INSTANCE holding " + String(child.name()));
    }
    return instance;
}

ParamValue readParamValue(const pugi::xml_node& node)
{
    ParamValue param;
    param.name = requiredAttribute(node, "NAME");
    for (pugi::xml_node child : elements(node)) {
        if (is(child, "INSTANCE")) {
            if (param.instanceCount++ == 0) {
                param.kind = ParamValue::INSTANCE;
                param.instance = readInstance(child);
            }
        } else if (is(child, "INSTANCENAME") && param.kind == ParamValue::NONE) {
            param.kind = ParamValue::INSTANCENAME;
            param.instanceName = readInstanceName(child);
        } else {
            param.kind = ParamValue::OTHER;
        }
    }
    return param;
}

// Loads the body and checks the CIM and MESSAGE envelope; returns MESSAGE.
pugi::xml_node readMessage(pugi::xml_document& doc, const String& body, String& messageId)
{
    pugi::xml_parse_result result =
        doc.load_buffer(body.data(), body.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
                        pugi::encoding_utf8);
    if (!result)
        throw XmlError(kNotWellFormed,
                       String(result.description()) + " at offset " + std::to_string(result.offset));
    std::vector<pugi::xml_node> roots = elements(doc);
    if (roots.size() != 1)
        throw XmlError(kNotWellFormed, "Document with " + std::to_string(roots.size()) + " root elements");
    pugi::xml_node cim = roots[0];
    if (!is(cim, "CIM"))
        invalid("Root element " + String(cim.name()) + " is not CIM");
    if (major(requiredAttribute(cim, "CIMVERSION")) != "2")
        throw XmlError("unsupported-cim-version", "CIMVERSION " + String(cim.attribute("CIMVERSION").value()));
    if (major(requiredAttribute(cim, "DTDVERSION")) != "2")
        throw XmlError("unsupported-dtd-version", "DTDVERSION " + String(cim.attribute("DTDVERSION").value()));
    pugi::xml_node message = requiredChild(cim, "MESSAGE");
    if (elements(cim).size() != 1)
        invalid("CIM holding more than MESSAGE");
    messageId = requiredAttribute(message, "ID");
    if (major(requiredAttribute(message, "PROTOCOLVERSION")) != "1")
        throw XmlError("unsupported-protocol-version",
                       "PROTOCOLVERSION " + String(message.attribute("PROTOCOLVERSION").value()));
    if (elements(message).size() != 1)
        invalid("MESSAGE without exactly one child");
    return message;
}

}  // namespace

Request parseRequest(const String& body)
{
    pugi::xml_document doc;
    Request request;
    pugi::xml_node message = readMessage(doc, body, request.messageId);
    pugi::xml_node simple = elements(message)[0];
    if (is(simple, "MULTIREQ") || is(simple, "MULTIEXPREQ"))
        throw XmlError("multiple-requests-unsupported", String(simple.name()) + " not supported");
    pugi::xml_node call;
    if (is(simple, "SIMPLEREQ")) {
        call = requiredChild(simple, "IMETHODCALL");
        request.nameSpace = readLocalNamespacePath(requiredChild(call, "LOCALNAMESPACEPATH"));
    } else if (is(simple, "SIMPLEEXPREQ")) {
        request.isExport = true;
        call = requiredChild(simple, "EXPMETHODCALL");
    } else {
        invalid("MESSAGE holding " + String(simple.name()));
    }
    if (elements(simple).size() != 1)
        invalid(String(simple.name()) + " holding more than one call");
    request.method = requiredAttribute(call, "NAME");
    const char* paramName = request.isExport ? "EXPPARAMVALUE" : "IPARAMVALUE";
    for (pugi::xml_node child : elements(call)) {
        if (is(child, paramName))
            request.params.push_back(readParamValue(child));
        else if (!is(child, "LOCALNAMESPACEPATH") || request.isExport)
            invalid(String(call.name()) + " holding " + child.name());
    }
    return request;
}

Response parseResponse(const String& body)
{
    pugi::xml_document doc;
    Response response;
    pugi::xml_node message = readMessage(doc, body, response.messageId);
    pugi::xml_node simple = elements(message)[0];
    pugi::xml_node answer;
    if (is(simple, "SIMPLERSP")) {
        answer = requiredChild(simple, "IMETHODRESPONSE");
    } else if (is(simple, "SIMPLEEXPRSP")) {
        response.isExport = true;
        answer = requiredChild(simple, "EXPMETHODRESPONSE");
    } else {
        invalid("MESSAGE holding " + String(simple.name()));
    }
    response.method = requiredAttribute(answer, "NAME");
    if (pugi::xml_node error = optionalChild(answer, "ERROR")) {
        String code = requiredAttribute(error, "CODE");
        char* end = nullptr;
        errno = 0;
        unsigned long value = std::strtoul(code.c_str(), &end, 10);
        if (code.empty() || *end != '\0' || errno == ERANGE || value > 0xFFFFFFFFul || code[0] == '-')
            invalid("ERROR CODE \"" + code + "\"");
        response.hasError = true;
        response.errorCode = static_cast<Uint32>(value);
        response.errorDescription = error.attribute("DESCRIPTION").value();
        return response;
    }
    if (pugi::xml_node ret = optionalChild(answer, "IRETURNVALUE")) {
        response.hasReturnValue = true;
        for (pugi::xml_node child : elements(ret)) {
            if (!is(child, "INSTANCENAME"))
                invalid("IRETURNVALUE holding " + String(child.name()));
            response.instanceNames.push_back(readInstanceName(child));
        }
    }
    for (pugi::xml_node child : elements(answer))
        if (!is(child, "IRETURNVALUE"))
            invalid(String(answer.name()) + " holding " + child.name());
    return response;
}

}  // namespace xml
}  // namespace cimxml
