#ifndef VYN_PLATFORM_CIM_CIMLISTENER_H
#define VYN_PLATFORM_CIM_CIMLISTENER_H

#include "platform/cim/CIMTypes.h"

#include <memory>

namespace cimxml {

class CIMInstance;
class OperationContext;
class SSLContext;

// Receives each indication a broker exports to the listener. Called on the
// listener's worker threads, possibly several at once.
class CIMIndicationConsumer {
public:
    virtual ~CIMIndicationConsumer() = default;
    // `url` is the request path the broker posted to.
    virtual void consumeIndication(const OperationContext& context, const String& url,
                                   const CIMInstance& indication) = 0;
};

// Plain-HTTP CIM-XML export listener on 0.0.0.0:port.
class CIMListener {
public:
    // A non-null `sslContext` throws Exception: only plain HTTP is offered.
    explicit CIMListener(Uint32 portNumber, SSLContext* sslContext = nullptr);
    // Stops the listener.
    ~CIMListener();
    CIMListener(const CIMListener&) = delete;
    CIMListener& operator=(const CIMListener&) = delete;

    // Consumers are not owned; each indication reaches them in the order
    // added. After removeConsumer returns, that consumer is not called again.
    void addConsumer(CIMIndicationConsumer* consumer);
    void removeConsumer(CIMIndicationConsumer* consumer);

    // Binds and listens; throws BindFailedException
    // "Bind failed: <reason> (port N)" and Exception when already started.
    void start();
    // Returns after every running consumer call has returned; idempotent.
    void stop();
    bool isAlive() const;
    // The configured port; after start with port 0, the port actually bound.
    Uint32 getPortNumber() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cimxml

#endif
