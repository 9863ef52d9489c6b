#ifndef VYN_PLATFORM_CIM_SSLCONTEXT_H
#define VYN_PLATFORM_CIM_SSLCONTEXT_H

#include "platform/cim/CIMTypes.h"

namespace cimxml {

// TLS settings of a client connection. An empty trust store means TLS without
// any certificate check; otherwise it names a CA file or a CA directory and
// both the peer certificate and the host name are checked. The random file is
// accepted for compatibility and ignored: OpenSSL 3 seeds itself.
class SSLContext {
public:
    explicit SSLContext(const String& trustStore, const String& randomFile = String())
        : trustStore_(trustStore), randomFile_(randomFile) {}

    const String& getTrustStore() const { return trustStore_; }
    const String& getRandomFile() const { return randomFile_; }

private:
    String trustStore_;
    String randomFile_;
};

}  // namespace cimxml

#endif
