#include "platform/cim/Exception.h"

namespace cimxml {

namespace {

const char* const kStatusNames[] = {
    nullptr,
    "CIM_ERR_FAILED",
    "CIM_ERR_ACCESS_DENIED",
    "CIM_ERR_INVALID_NAMESPACE",
    "CIM_ERR_INVALID_PARAMETER",
    "CIM_ERR_INVALID_CLASS",
    "CIM_ERR_NOT_FOUND",
    "CIM_ERR_NOT_SUPPORTED",
    "CIM_ERR_CLASS_HAS_CHILDREN",
    "CIM_ERR_CLASS_HAS_INSTANCES",
    "CIM_ERR_INVALID_SUPERCLASS",
    "CIM_ERR_ALREADY_EXISTS",
    "CIM_ERR_NO_SUCH_PROPERTY",
    "CIM_ERR_TYPE_MISMATCH",
    "CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED",
    "CIM_ERR_INVALID_QUERY",
    "CIM_ERR_METHOD_NOT_AVAILABLE",
    "CIM_ERR_METHOD_NOT_FOUND",
    nullptr,
    nullptr,
    "CIM_ERR_NAMESPACE_NOT_EMPTY",
    "CIM_ERR_INVALID_ENUMERATION_CONTEXT",
    "CIM_ERR_INVALID_OPERATION_TIMEOUT",
    "CIM_ERR_PULL_HAS_BEEN_ABANDONED",
    "CIM_ERR_PULL_CANNOT_BE_ABANDONED",
    "CIM_ERR_FILTERED_ENUMERATION_NOT_SUPPORTED",
    "CIM_ERR_CONTINUATION_ON_ERROR_NOT_SUPPORTED",
    "CIM_ERR_SERVER_LIMITS_EXCEEDED",
    "CIM_ERR_SERVER_IS_SHUTTING_DOWN",
};

String cimExceptionMessage(Uint32 code, const String& description)
{
    const char* name = cimStatusCodeToString(code);
    String message = name ? String(name) : "CIM status " + std::to_string(code);
    if (!description.empty())
        message += ": " + description;
    return message;
}

String httpErrorMessage(Uint32 status, const String& reason, const String& cimError)
{
    String message = "HTTP error " + std::to_string(status);
    if (!reason.empty())
        message += " " + reason;
    if (!cimError.empty())
        message += ", CIMError: " + cimError;
    return message;
}

}  // namespace

const char* cimStatusCodeToString(Uint32 code)
{
    if (code >= sizeof(kStatusNames) / sizeof(kStatusNames[0]))
        return nullptr;
    return kStatusNames[code];
}

CIMException::CIMException(Uint32 code, const String& description)
    : Exception(cimExceptionMessage(code, description)), code_(code), description_(description)
{
}

CIMClientHTTPErrorException::CIMClientHTTPErrorException(Uint32 status, const String& reason,
                                                         const String& cimError)
    : Exception(httpErrorMessage(status, reason, cimError)), status_(status), reason_(reason),
      cimError_(cimError)
{
}

}  // namespace cimxml
