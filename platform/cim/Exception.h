#ifndef VYN_PLATFORM_CIM_EXCEPTION_H
#define VYN_PLATFORM_CIM_EXCEPTION_H

#include "platform/cim/CIMTypes.h"

#include <exception>

// Every public call of the layer throws only these (and std::bad_alloc), so a
// caller catches `cimxml::Exception` as "the CIM library's exceptions".
namespace cimxml {

// CIM status codes of an ERROR element; 18 and 19 are retired.
enum CIMStatusCode : Uint32 {
    CIM_ERR_SUCCESS = 0,
    CIM_ERR_FAILED = 1,
    CIM_ERR_ACCESS_DENIED = 2,
    CIM_ERR_INVALID_NAMESPACE = 3,
    CIM_ERR_INVALID_PARAMETER = 4,
    CIM_ERR_INVALID_CLASS = 5,
    CIM_ERR_NOT_FOUND = 6,
    CIM_ERR_NOT_SUPPORTED = 7,
    CIM_ERR_CLASS_HAS_CHILDREN = 8,
    CIM_ERR_CLASS_HAS_INSTANCES = 9,
    CIM_ERR_INVALID_SUPERCLASS = 10,
    CIM_ERR_ALREADY_EXISTS = 11,
    CIM_ERR_NO_SUCH_PROPERTY = 12,
    CIM_ERR_TYPE_MISMATCH = 13,
    CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED = 14,
    CIM_ERR_INVALID_QUERY = 15,
    CIM_ERR_METHOD_NOT_AVAILABLE = 16,
    CIM_ERR_METHOD_NOT_FOUND = 17,
    CIM_ERR_NAMESPACE_NOT_EMPTY = 20,
    CIM_ERR_INVALID_ENUMERATION_CONTEXT = 21,
    CIM_ERR_INVALID_OPERATION_TIMEOUT = 22,
    CIM_ERR_PULL_HAS_BEEN_ABANDONED = 23,
    CIM_ERR_PULL_CANNOT_BE_ABANDONED = 24,
    CIM_ERR_FILTERED_ENUMERATION_NOT_SUPPORTED = 25,
    CIM_ERR_CONTINUATION_ON_ERROR_NOT_SUPPORTED = 26,
    CIM_ERR_SERVER_LIMITS_EXCEEDED = 27,
    CIM_ERR_SERVER_IS_SHUTTING_DOWN = 28
};

// "CIM_ERR_NOT_FOUND" and so on; nullptr for 0, 18, 19 and unknown codes.
const char* cimStatusCodeToString(Uint32 code);

class Exception : public std::exception {
public:
    explicit Exception(const String& message) : message_(message) {}
    const String& getMessage() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    String message_;
};

// An ERROR element: message "CIM_ERR_<name>: <description>", or
// "CIM status <n>" for a code without a name.
class CIMException : public Exception {
public:
    CIMException(Uint32 code, const String& description = String());
    Uint32 getCode() const { return code_; }
    const String& getDescription() const { return description_; }

private:
    Uint32 code_;
    String description_;
};

class CannotConnectException : public Exception { using Exception::Exception; };
class ConnectionTimeoutException : public Exception { using Exception::Exception; };
class SSLException : public Exception { using Exception::Exception; };
class AlreadyConnectedException : public Exception { using Exception::Exception; };
class NotConnectedException : public Exception { using Exception::Exception; };
class CIMClientMalformedHTTPException : public Exception { using Exception::Exception; };
class CIMClientXmlException : public Exception { using Exception::Exception; };
class CIMClientResponseException : public Exception { using Exception::Exception; };
class MalformedObjectNameException : public Exception { using Exception::Exception; };
class TypeMismatchException : public Exception { using Exception::Exception; };
class BindFailedException : public Exception { using Exception::Exception; };

// An HTTP status other than 200: "HTTP error 401 Unauthorized[, CIMError: <token>]".
class CIMClientHTTPErrorException : public Exception {
public:
    CIMClientHTTPErrorException(Uint32 status, const String& reason, const String& cimError);
    Uint32 getCode() const { return status_; }
    const String& getReasonPhrase() const { return reason_; }
    const String& getCIMError() const { return cimError_; }

private:
    Uint32 status_;
    String reason_;
    String cimError_;
};

}  // namespace cimxml

#endif
