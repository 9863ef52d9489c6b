#include "platform/cim/CimXml.h"

#include "platform/cim/Exception.h"

namespace cimxml {
namespace xml {

namespace {

const char kProlog[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">\n";

String messageOpen(const String& messageId, const char* simple)
{
    return String(kProlog) + "<MESSAGE ID=\"" + escapeAttribute(messageId) +
           "\" PROTOCOLVERSION=\"1.0\"><" + simple + ">\n";
}

String messageClose(const char* simple)
{
    return String("</") + simple + "></MESSAGE>\n</CIM>\n";
}

void writeLocalNamespacePath(String& out, const CIMNamespaceName& nameSpace)
{
    out += "<LOCALNAMESPACEPATH>";
    const String& ns = nameSpace.getString();
    std::size_t begin = 0;
    for (;;) {
        std::size_t slash = ns.find('/', begin);
        String segment = ns.substr(begin, slash == String::npos ? String::npos : slash - begin);
        out += "<NAMESPACE NAME=\"" + escapeAttribute(segment) + "\"/>";
        if (slash == String::npos)
            break;
        begin = slash + 1;
    }
    out += "</LOCALNAMESPACEPATH>";
}

// The path as INSTANCENAME, or wrapped in LOCALINSTANCEPATH / INSTANCEPATH
// when it carries a namespace (and host).
void writeReferencedPath(String& out, const CIMObjectPath& path)
{
    if (path.getNameSpace().isNull()) {
        writeInstanceName(out, path);
        return;
    }
    bool withHost = !path.getHost().empty();
    if (withHost)
        out += "<INSTANCEPATH><NAMESPACEPATH><HOST>" + escapeText(path.getHost()) + "</HOST>";
    else
        out += "<LOCALINSTANCEPATH>";
    writeLocalNamespacePath(out, path.getNameSpace());
    if (withHost)
        out += "</NAMESPACEPATH>";
    out += "\n";
    writeInstanceName(out, path);
    out += withHost ? "</INSTANCEPATH>\n" : "</LOCALINSTANCEPATH>\n";
}

void writeValueReference(String& out, const String& pathText)
{
    out += "<VALUE.REFERENCE>\n";
    writeReferencedPath(out, CIMObjectPath(pathText));
    out += "</VALUE.REFERENCE>";
}

const char* keyValueType(CIMKeyBinding::Type type)
{
    switch (type) {
    case CIMKeyBinding::BOOLEAN: return "boolean";
    case CIMKeyBinding::NUMERIC: return "numeric";
    default: return "string";
    }
}

void writeProperty(String& out, const CIMProperty& property)
{
    const CIMValue& value = property.getValue();
    String name = " NAME=\"" + escapeAttribute(property.getName().getString()) + "\"";
    if (value.getType() == CIMTYPE_REFERENCE) {
        out += "<PROPERTY.REFERENCE" + name;
        if (!property.getReferenceClassName().isNull())
            out += " REFERENCECLASS=\"" + escapeAttribute(property.getReferenceClassName().getString()) + "\"";
        if (value.isNull()) {
            out += "/>\n";
            return;
        }
        out += ">";
        writeValueReference(out, value.toString());
        out += "</PROPERTY.REFERENCE>\n";
        return;
    }
    String type = String(" TYPE=\"") + cimTypeToString(value.getType()) + "\"";
    if (value.isArray()) {
        out += "<PROPERTY.ARRAY" + name + type;
        if (value.isNull()) {
            out += "/>\n";
            return;
        }
        out += "><VALUE.ARRAY>";
        std::vector<String> elements;
        value.get(elements);
        for (const String& e : elements)
            out += "<VALUE>" + escapeText(e) + "</VALUE>";
        out += "</VALUE.ARRAY></PROPERTY.ARRAY>\n";
        return;
    }
    out += "<PROPERTY" + name + type;
    if (value.isNull()) {
        out += "/>\n";
        return;
    }
    out += "><VALUE>" + escapeText(value.toString()) + "</VALUE></PROPERTY>\n";
}

String errorElement(Uint32 code, const String& description)
{
    String out = "<ERROR CODE=\"" + std::to_string(code) + "\"";
    if (!description.empty())
        out += " DESCRIPTION=\"" + escapeAttribute(description) + "\"";
    return out + "/>";
}

}  // namespace

std::vector<String> operationHeaders(const String& method, const CIMNamespaceName& nameSpace)
{
    static const char hex[] = "0123456789ABCDEF";
    // Servers decode %XX in CIMObject, and "/" must not read as a path.
    String object;
    for (unsigned char c : nameSpace.getString()) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~';
        if (plain) {
            object += static_cast<char>(c);
        } else {
            object += '%';
            object += hex[c >> 4];
            object += hex[c & 15];
        }
    }
    // The empty Expect: keeps libcurl from waiting for 100 Continue.
    return {"Content-Type: application/xml; charset=\"utf-8\"", "CIMProtocolVersion: 1.0",
            "CIMOperation: MethodCall", "CIMMethod: " + method, "CIMObject: " + object, "Expect:", "Accept:"};
}

String escapeText(const String& text)
{
    String out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
    return out;
}

String escapeAttribute(const String& text)
{
    String out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\r': out += "&#13;"; break;
        case '\n': out += "&#10;"; break;
        case '\t': out += "&#9;"; break;
        default: out += c;
        }
    }
    return out;
}

void writeInstance(String& out, const CIMInstance& instance)
{
    out += "<INSTANCE CLASSNAME=\"" + escapeAttribute(instance.getClassName().getString()) + "\">\n";
    for (Uint32 i = 0; i < instance.getPropertyCount(); ++i)
        writeProperty(out, instance.getProperty(i));
    out += "</INSTANCE>\n";
}

void writeInstanceName(String& out, const CIMObjectPath& path)
{
    out += "<INSTANCENAME CLASSNAME=\"" + escapeAttribute(path.getClassName().getString()) + "\">\n";
    for (const CIMKeyBinding& key : path.getKeyBindings()) {
        out += "<KEYBINDING NAME=\"" + escapeAttribute(key.getName().getString()) + "\">";
        if (key.getType() == CIMKeyBinding::REFERENCE) {
            writeValueReference(out, key.getValue());
        } else {
            out += String("<KEYVALUE VALUETYPE=\"") + keyValueType(key.getType()) + "\">" +
                   escapeText(key.getValue()) + "</KEYVALUE>";
        }
        out += "</KEYBINDING>\n";
    }
    out += "</INSTANCENAME>\n";
}

String createInstanceRequest(const String& messageId, const CIMNamespaceName& nameSpace,
                             const CIMInstance& instance)
{
    String out = messageOpen(messageId, "SIMPLEREQ");
    out += "<IMETHODCALL NAME=\"CreateInstance\">\n";
    writeLocalNamespacePath(out, nameSpace);
    out += "\n<IPARAMVALUE NAME=\"NewInstance\">\n";
    writeInstance(out, instance);
    out += "</IPARAMVALUE>\n</IMETHODCALL>\n";
    return out + messageClose("SIMPLEREQ");
}

String deleteInstanceRequest(const String& messageId, const CIMNamespaceName& nameSpace,
                             const CIMObjectPath& instanceName)
{
    String out = messageOpen(messageId, "SIMPLEREQ");
    out += "<IMETHODCALL NAME=\"DeleteInstance\">\n";
    writeLocalNamespacePath(out, nameSpace);
    out += "\n<IPARAMVALUE NAME=\"InstanceName\">\n";
    writeInstanceName(out, instanceName);
    out += "</IPARAMVALUE>\n</IMETHODCALL>\n";
    return out + messageClose("SIMPLEREQ");
}

String exportIndicationRequest(const String& messageId, const CIMInstance& indication)
{
    String out = messageOpen(messageId, "SIMPLEEXPREQ");
    out += "<EXPMETHODCALL NAME=\"ExportIndication\">\n<EXPPARAMVALUE NAME=\"NewIndication\">\n";
    writeInstance(out, indication);
    out += "</EXPPARAMVALUE>\n</EXPMETHODCALL>\n";
    return out + messageClose("SIMPLEEXPREQ");
}

String methodResponse(const String& messageId, const String& method,
                      const std::vector<CIMObjectPath>& names)
{
    String out = messageOpen(messageId, "SIMPLERSP");
    out += "<IMETHODRESPONSE NAME=\"" + escapeAttribute(method) + "\"";
    if (names.empty()) {
        out += "/>\n";
    } else {
        out += "><IRETURNVALUE>\n";
        for (const CIMObjectPath& name : names)
            writeInstanceName(out, name);
        out += "</IRETURNVALUE></IMETHODRESPONSE>\n";
    }
    return out + messageClose("SIMPLERSP");
}

String methodErrorResponse(const String& messageId, const String& method, Uint32 code,
                           const String& description)
{
    String out = messageOpen(messageId, "SIMPLERSP");
    out += "<IMETHODRESPONSE NAME=\"" + escapeAttribute(method) + "\">" + errorElement(code, description) +
           "</IMETHODRESPONSE>\n";
    return out + messageClose("SIMPLERSP");
}

String exportResponse(const String& messageId, const String& method, Uint32 code,
                      const String& description)
{
    String out = messageOpen(messageId, "SIMPLEEXPRSP");
    out += "<EXPMETHODRESPONSE NAME=\"" + escapeAttribute(method) + "\"";
    if (code == 0)
        out += "/>\n";
    else
        out += ">" + errorElement(code, description) + "</EXPMETHODRESPONSE>\n";
    return out + messageClose("SIMPLEEXPRSP");
}

}  // namespace xml
}  // namespace cimxml
