#ifndef VYN_PLATFORM_CIM_CIMXML_H
#define VYN_PLATFORM_CIM_CIMXML_H

#include "platform/cim/CIMInstance.h"
#include "platform/cim/CIMObjectPath.h"
#include "platform/cim/CIMTypes.h"

#include <stdexcept>
#include <vector>

// CIM-XML message bodies: writing requests and answers, reading them back.
// Used by the client, the listener and the test broker.
namespace cimxml {
namespace xml {

// Largest body either side accepts.
constexpr std::size_t MAX_BODY_BYTES = 1024 * 1024;

String escapeText(const String& text);
String escapeAttribute(const String& text);

void writeInstance(String& out, const CIMInstance& instance);
void writeInstanceName(String& out, const CIMObjectPath& path);

String createInstanceRequest(const String& messageId, const CIMNamespaceName& nameSpace,
                             const CIMInstance& instance);
String deleteInstanceRequest(const String& messageId, const CIMNamespaceName& nameSpace,
                             const CIMObjectPath& instanceName);
String exportIndicationRequest(const String& messageId, const CIMInstance& indication);

// The CIM header lines of an operation request (besides Host, Content-Length
// and Authorization, which the transport adds), in sending order.
std::vector<String> operationHeaders(const String& method, const CIMNamespaceName& nameSpace);

// Operation answers: `names` empty and no error gives an empty IMETHODRESPONSE.
String methodResponse(const String& messageId, const String& method,
                      const std::vector<CIMObjectPath>& names);
String methodErrorResponse(const String& messageId, const String& method, Uint32 code,
                           const String& description);
// Export answers: code 0 gives the empty EXPMETHODRESPONSE.
String exportResponse(const String& messageId, const String& method, Uint32 code = 0,
                      const String& description = String());

// A body that cannot be read. `cimError` is the CIMError header token that
// fits: "request-not-well-formed", "request-not-valid",
// "unsupported-cim-version", "unsupported-dtd-version",
// "unsupported-protocol-version" or "multiple-requests-unsupported".
class XmlError : public std::runtime_error {
public:
    XmlError(const String& cimError, const String& message)
        : std::runtime_error(message), cimError_(cimError) {}
    const String& cimError() const { return cimError_; }

private:
    String cimError_;
};

struct ParamValue {
    enum Kind { NONE, INSTANCE, INSTANCENAME, OTHER };
    String name;
    Kind kind = NONE;
    CIMInstance instance;
    CIMObjectPath instanceName;
    std::size_t instanceCount = 0;  // INSTANCE children (exports need exactly one)
};

// An IMETHODCALL (operation) or EXPMETHODCALL (export).
struct Request {
    bool isExport = false;
    String messageId;
    String method;
    CIMNamespaceName nameSpace;  // operations only
    std::vector<ParamValue> params;
};

// An IMETHODRESPONSE or EXPMETHODRESPONSE.
struct Response {
    bool isExport = false;
    String messageId;
    String method;
    bool hasError = false;
    Uint32 errorCode = 0;
    String errorDescription;
    bool hasReturnValue = false;
    std::vector<CIMObjectPath> instanceNames;  // INSTANCENAMEs of IRETURNVALUE
};

// Both throw XmlError.
Request parseRequest(const String& body);
Response parseResponse(const String& body);

}  // namespace xml
}  // namespace cimxml

#endif
