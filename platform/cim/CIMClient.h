#ifndef VYN_PLATFORM_CIM_CIMCLIENT_H
#define VYN_PLATFORM_CIM_CIMCLIENT_H

#include "platform/cim/CIMInstance.h"
#include "platform/cim/CIMObjectPath.h"
#include "platform/cim/CIMTypes.h"

#include <memory>

namespace cimxml {

class SSLContext;

// CIM-XML operations over HTTPS (POST /cimom, Basic authentication sent with
// every request). One thread at a time.
class CIMClient {
public:
    static constexpr Uint32 DEFAULT_TIMEOUT_MILLISECONDS = 20000;

    CIMClient();
    ~CIMClient();
    CIMClient(const CIMClient&) = delete;
    CIMClient& operator=(const CIMClient&) = delete;

    // Opens TCP and completes the TLS handshake; sends no CIM request, so wrong
    // credentials show only at the first operation. Throws
    // AlreadyConnectedException, CannotConnectException,
    // ConnectionTimeoutException, SSLException or Exception.
    void connect(const String& host, Uint32 portNumber, const SSLContext& sslContext,
                 const String& userName, const String& password);
    // Closes the connection; harmless when not connected.
    void disconnect();

    // Limit for connecting and for each request (default 20000 ms).
    void setTimeout(Uint32 timeoutMilliseconds);
    Uint32 getTimeout() const;

    // Both throw NotConnectedException before connect, CIMException for an
    // ERROR answer, and the transport exceptions of connect.
    CIMObjectPath createInstance(const CIMNamespaceName& nameSpace, const CIMInstance& newInstance);
    void deleteInstance(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cimxml

#endif
