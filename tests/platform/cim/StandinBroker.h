#ifndef VYN_TESTS_PLATFORM_CIM_STANDINBROKER_H
#define VYN_TESTS_PLATFORM_CIM_STANDINBROKER_H

#include "platform/cim/CIMInstance.h"
#include "platform/cim/CIMObjectPath.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

// An in-process CIM broker for tests: HTTPS (or plain HTTP) on 127.0.0.1 with
// a throwaway certificate, a repository of indication filters, handlers and
// subscriptions in "root/interop", fault switches, and delivery of
// ExportIndication requests to listeners on loopback.
namespace cimstandin {

// Header names compare case-insensitively.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using Headers = std::multimap<std::string, std::string, NoCaseLess>;

// First value of `name`, or "".
std::string headerValue(const Headers& headers, const std::string& name);

// A throwaway P-256 key and self-signed certificate for IP 127.0.0.1, valid
// one day; PEM texts.
struct Certificate {
    std::string certificatePem;
    std::string privateKeyPem;
};
Certificate makeCertificate();

// What an HTTP exchange gave; `status` 0 when no answer arrived.
struct HttpAnswer {
    int status = 0;
    Headers headers;
    std::string body;
    std::string error;  // transport failure text when status is 0
};

// Sends one request to 127.0.0.1:`port` over plain HTTP (TCP_NODELAY).
HttpAnswer postRaw(int port, const std::string& method, const std::string& path,
                   const Headers& headers, const std::string& body);

// One exchange of postKeptAlive: the status (0 when no answer arrived) and
// the time from the first byte sent to the last byte of the answer.
struct TimedExchange {
    int status = 0;
    std::chrono::microseconds took{0};
};

// Sends `count` POSTs of `body` to 127.0.0.1:`port` path "/", one after the
// other over a single kept-alive connection (TCP_NODELAY on this side), as a
// broker delivering a burst does.
std::vector<TimedExchange> postKeptAlive(int port, const Headers& headers, const std::string& body, int count);

// A valid ExportIndication request body with the given MESSAGE ID.
std::string exportIndicationBody(const cimxml::CIMInstance& indication,
                                 const std::string& messageId = "87001");
// The headers of a valid ExportIndication POST.
Headers exportIndicationHeaders();

// The five-property VYN_EventIndication used by most tests.
cimxml::CIMInstance sampleIndication(const std::string& eventDesc = "Example event text");

class StandinBroker {
public:
    struct Options {
        bool tls = true;
        std::string user = "user";
        std::string password = "pass";
    };

    // One received request and how the broker answered it.
    struct Record {
        std::string method;  // HTTP method
        std::string path;
        Headers headers;
        std::string body;
        bool tls = false;
        std::string tlsVersion;  // "TLSv1.3" and so on
        int remotePort = 0;      // tells the client's connections apart
        // The parsed call; empty when the body could not be read.
        std::string cimMethod;
        std::string className;  // of NewInstance or InstanceName
        int status = 0;         // HTTP status sent (0: closed without answer)
        std::string cimError;   // CIMError header sent
        cimxml::Uint32 cimCode = 0;  // ERROR CODE sent, 0 for success
        std::string responseBody;
    };

    enum class FaultKind {
        CimError,          // ERROR `code` "<fault>"
        HttpStatus,        // `code` as HTTP status, CIMError `cimError` when not empty
        TruncatedXml,      // 200, the right answer cut in half
        NonXml,            // 200, a body that is not XML
        NoCimOperation,    // 200, the right answer without CIMOperation
        WrongMessageId,    // 200, the right answer with another MESSAGE ID
        Delay,             // answer normally after `delayMs`
        CloseWithoutAnswer // close the connection before any byte (TLS only)
    };
    struct Fault {
        FaultKind kind = FaultKind::CimError;
        int code = 1;
        std::string cimError;
        int delayMs = 0;
        int times = -1;  // how many matching requests it hits; -1 = all
    };

    StandinBroker();
    explicit StandinBroker(const Options& options);
    ~StandinBroker();
    StandinBroker(const StandinBroker&) = delete;
    StandinBroker& operator=(const StandinBroker&) = delete;

    // Binds 127.0.0.1 on an ephemeral port (the same one again after a stop)
    // and serves in a thread.
    void start();
    // Closes the port; requests then find nothing listening.
    void stop();
    int port() const;
    const Options& options() const;
    // The server certificate (PEM), for trust-store tests.
    const std::string& certificatePem() const;

    // Requests in arrival order.
    std::vector<Record> requests() const;
    std::size_t requestCount() const;
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    void clearRequests();

    // `method` "CreateInstance"/"DeleteInstance"/...; `className` "" for any.
    void setFault(const std::string& method, const std::string& className, const Fault& fault);
    void clearFaults();

    // Repository of "root/interop".
    std::vector<cimxml::CIMInstance> instances() const;
    std::size_t instanceCount(const std::string& className = std::string()) const;
    // Stores `instance` as if created (no checks); returns its path.
    cimxml::CIMObjectPath preload(const cimxml::CIMInstance& instance);
    void clearRepository();

    // Posts an ExportIndication of `indication` for each subscription whose
    // filter selects its class (every subscription when `anyClass`), to
    // 127.0.0.1 and the port of the handler's Destination; one answer each.
    std::vector<HttpAnswer> deliver(const cimxml::CIMInstance& indication, bool anyClass = false);
    // Posts an ExportIndication to 127.0.0.1:`port` path "/" directly.
    HttpAnswer deliverTo(int port, const cimxml::CIMInstance& indication);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cimstandin

#endif
