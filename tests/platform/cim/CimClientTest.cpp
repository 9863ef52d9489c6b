#include "CimSamples.h"
#include "StandinBroker.h"

#include "platform/cim/CimXml.h"
#include "support/HostRootTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace cimxml;
using namespace cimsamples;
using cimstandin::StandinBroker;

namespace {

class CimClientTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        globalInit();
        broker_.start();
    }

    void connect(CIMClient& client, const std::string& password = "pass", const std::string& trustStore = "")
    {
        client.connect("127.0.0.1", static_cast<Uint32>(broker_.port()), SSLContext(trustStore, "ssl.rnd"), "user",
                       password);
    }

    StandinBroker broker_;
};

// Runs `call` and returns the message of the exception it throws, checking its type.
template <typename E>
std::string thrownMessage(const std::function<void()>& call)
{
    try {
        call();
    } catch (const E& e) {
        return e.getMessage();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "other exception: " << e.what();
        return std::string();
    }
    ADD_FAILURE() << "nothing thrown";
    return std::string();
}

Uint32 cimCodeOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const CIMException& e) {
        return e.getCode();
    }
    return 0;
}

TEST_F(CimClientTest, SubscribesAndCleansUpOverTls)
{
    CIMClient client;
    connect(client);
    const CIMNamespaceName interop("root/interop");
    // A clean broker answers the start-up clean-up with "not found".
    for (const CIMObjectPath& path : {subscriptionDeletePath(), handlerDeletePath(), filterDeletePath()})
        EXPECT_EQ(cimCodeOf([&] { client.deleteInstance(interop, path); }), CIM_ERR_NOT_FOUND);
    EXPECT_EQ(client.createInstance(interop, filterInstance()), filterDeletePath());
    EXPECT_EQ(client.createInstance(interop, handlerInstance()), handlerDeletePath());
    EXPECT_EQ(client.createInstance(interop, subscriptionInstance()), subscriptionDeletePath());
    EXPECT_EQ(broker_.instanceCount(), 3u);
    client.disconnect();

    // Shut-down on a new connection.
    connect(client);
    client.deleteInstance(interop, subscriptionDeletePath());
    client.deleteInstance(interop, handlerDeletePath());
    client.deleteInstance(interop, filterDeletePath());
    EXPECT_EQ(broker_.instanceCount(), 0u);

    std::vector<StandinBroker::Record> records = broker_.requests();
    ASSERT_EQ(records.size(), 9u);
    const char* methods[] = {"DeleteInstance", "DeleteInstance", "DeleteInstance", "CreateInstance", "CreateInstance",
                             "CreateInstance", "DeleteInstance", "DeleteInstance", "DeleteInstance"};
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        const StandinBroker::Record& r = records[i];
        EXPECT_TRUE(r.tls);
        EXPECT_TRUE(r.tlsVersion == "TLSv1.2" || r.tlsVersion == "TLSv1.3") << r.tlsVersion;
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.path, "/cimom");
        EXPECT_EQ(r.cimMethod, methods[i]);
        EXPECT_EQ(r.status, 200);
        using cimstandin::headerValue;
        EXPECT_EQ(headerValue(r.headers, "Host"), "127.0.0.1:" + std::to_string(broker_.port()));
        EXPECT_EQ(headerValue(r.headers, "Content-Type"), "application/xml; charset=\"utf-8\"");
        EXPECT_EQ(headerValue(r.headers, "Content-Length"), std::to_string(r.body.size()));
        EXPECT_EQ(headerValue(r.headers, "Authorization"), "Basic dXNlcjpwYXNz");
        EXPECT_EQ(headerValue(r.headers, "CIMProtocolVersion"), "1.0");
        EXPECT_EQ(headerValue(r.headers, "CIMOperation"), "MethodCall");
        EXPECT_EQ(headerValue(r.headers, "CIMMethod"), methods[i]);
        // The server decodes %XX; what was sent is pinned by the header test.
        EXPECT_EQ(headerValue(r.headers, "CIMObject"), "root/interop");
        EXPECT_EQ(r.headers.count("Expect"), 0u);
        EXPECT_EQ(r.headers.count("TE"), 0u);
    }
    EXPECT_EQ(records[1].body, xml::deleteInstanceRequest("1002", interop, handlerDeletePath()));
    EXPECT_EQ(records[3].body, xml::createInstanceRequest("1004", interop, filterInstance()));
}

TEST_F(CimClientTest, BrokerRefusalsArriveAsCimExceptions)
{
    CIMClient client;
    connect(client);
    const CIMNamespaceName interop("root/interop");
    struct Case {
        const char* what;
        std::function<void()> call;
        Uint32 code;
    };
    const std::vector<Case> cases = {
        {"other namespace", [&] { client.createInstance("root/cimv2", filterInstance()); }, CIM_ERR_INVALID_NAMESPACE},
        {"other class", [&] { client.createInstance(interop, CIMInstance(CIMName("CIM_Other"))); }, CIM_ERR_INVALID_CLASS},
        {"query language", [&] { client.createInstance(interop, filterInstance("SELECT * FROM X", "CQL")); },
         CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED},
        {"query", [&] { client.createInstance(interop, filterInstance("SELECT a FROM")); }, CIM_ERR_INVALID_QUERY},
        {"destination", [&] { client.createInstance(interop, handlerInstance("http://host.example:5990")); },
         CIM_ERR_INVALID_PARAMETER},
        {"subscription without filter", [&] { client.createInstance(interop, subscriptionInstance()); },
         CIM_ERR_INVALID_PARAMETER},
        {"filter", [&] { client.createInstance(interop, filterInstance()); }, 0},
        {"filter again", [&] { client.createInstance(interop, filterInstance()); }, CIM_ERR_ALREADY_EXISTS},
        {"handler", [&] { client.createInstance(interop, handlerInstance()); }, 0},
        {"subscription", [&] { client.createInstance(interop, subscriptionInstance()); }, 0},
        // A clean-up in the wrong order shows.
        {"referenced filter", [&] { client.deleteInstance(interop, filterDeletePath()); }, CIM_ERR_FAILED},
        {"subscription gone", [&] { client.deleteInstance(interop, subscriptionDeletePath()); }, 0},
        {"filter gone", [&] { client.deleteInstance(interop, filterDeletePath()); }, 0},
        {"filter gone twice", [&] { client.deleteInstance(interop, filterDeletePath()); }, CIM_ERR_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(cimCodeOf(c.call), c.code);
    }
    std::string message = thrownMessage<CIMException>([&] { client.deleteInstance(interop, filterDeletePath()); });
    EXPECT_EQ(message, "CIM_ERR_NOT_FOUND: CIM_ERR_NOT_FOUND: object not found");
}

TEST_F(CimClientTest, FaultyAnswersMapToTheirExceptions)
{
    using Kind = StandinBroker::FaultKind;
    struct Case {
        const char* what;
        StandinBroker::Fault fault;
        std::function<std::string(const std::function<void()>&)> expect;
        const char* inMessage;
    };
    auto fault = [](Kind kind, int code = 1, const char* cimError = "", int delayMs = 0) {
        StandinBroker::Fault f;
        f.kind = kind;
        f.code = code;
        f.cimError = cimError;
        f.delayMs = delayMs;
        return f;
    };
    const std::vector<Case> cases = {
        {"CIM error", fault(Kind::CimError, 27), thrownMessage<CIMException>, "CIM_ERR_SERVER_LIMITS_EXCEEDED: fault"},
        {"HTTP 500 with CIMError", fault(Kind::HttpStatus, 500, "request-not-valid"),
         thrownMessage<CIMClientHTTPErrorException>, "HTTP error 500 Internal Server Error, CIMError: request-not-valid"},
        {"redirect", fault(Kind::HttpStatus, 302), thrownMessage<CIMClientHTTPErrorException>, "HTTP error 302"},
        {"truncated XML", fault(Kind::TruncatedXml), thrownMessage<CIMClientXmlException>, "offset"},
        {"not XML", fault(Kind::NonXml), thrownMessage<CIMClientXmlException>, "Bad CIM-XML answer"},
        {"no CIMOperation", fault(Kind::NoCimOperation), thrownMessage<CIMClientMalformedHTTPException>,
         "CIMOperation"},
        {"wrong MESSAGE ID", fault(Kind::WrongMessageId), thrownMessage<CIMClientResponseException>, "MESSAGE ID"},
        {"late answer", fault(Kind::Delay, 0, "", 5000), thrownMessage<ConnectionTimeoutException>,
         "within 2000 ms"},
        {"closed", fault(Kind::CloseWithoutAnswer), thrownMessage<CannotConnectException>, "lost"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        broker_.clearFaults();
        broker_.clearRepository();
        broker_.setFault("CreateInstance", "CIM_IndicationFilter", c.fault);
        CIMClient client;
        connect(client);
        // Short enough to give up on the late answer, long enough that a
        // busy machine still completes every prompt one.
        client.setTimeout(2000);
        std::string message = c.expect([&] { client.createInstance("root/interop", filterInstance()); });
        EXPECT_NE(message.find(c.inMessage), std::string::npos) << message;
        EXPECT_EQ(message.find("pass"), std::string::npos);
    }
}

TEST_F(CimClientTest, AFaultLimitedToOneRequestClearsOnRetry)
{
    StandinBroker::Fault f;
    f.code = CIM_ERR_ALREADY_EXISTS;
    f.times = 1;
    broker_.setFault("CreateInstance", "", f);
    CIMClient client;
    connect(client);
    EXPECT_EQ(cimCodeOf([&] { client.createInstance("root/interop", filterInstance()); }), CIM_ERR_ALREADY_EXISTS);
    EXPECT_NO_THROW(client.createInstance("root/interop", filterInstance()));
}

TEST_F(CimClientTest, WrongPasswordFailsAtTheFirstOperation)
{
    CIMClient client;
    connect(client, "wrong");
    CIMClientHTTPErrorException* seen = nullptr;
    try {
        client.createInstance("root/interop", filterInstance());
    } catch (CIMClientHTTPErrorException& e) {
        seen = &e;
        EXPECT_EQ(e.getCode(), 401u);
        EXPECT_EQ(e.getMessage(), "HTTP error 401 Unauthorized");
        EXPECT_EQ(e.getMessage().find("wrong"), std::string::npos);
    }
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(broker_.instanceCount(), 0u);
    ASSERT_EQ(broker_.requestCount(), 1u);
    EXPECT_EQ(broker_.requests()[0].status, 401);
}

TEST_F(CimClientTest, ConnectChecksTransportAndTls)
{
    // A plain-HTTP server gets no request, so no credentials in clear.
    StandinBroker::Options plainOptions;
    plainOptions.tls = false;
    StandinBroker plain(plainOptions);
    plain.start();
    CIMClient client;
    std::string message = thrownMessage<SSLException>([&] {
        client.connect("127.0.0.1", static_cast<Uint32>(plain.port()), SSLContext("", "ssl.rnd"), "user", "pass");
    });
    EXPECT_NE(message.find("TLS failure with 127.0.0.1:" + std::to_string(plain.port())), std::string::npos);
    EXPECT_EQ(plain.requestCount(), 0u);
    EXPECT_THROW(client.createInstance("root/interop", filterInstance()), NotConnectedException);

    // Trust stores: the broker's own certificate, then another one.
    std::string good = hostFile("/tmp/broker.pem");
    std::string other = hostFile("/tmp/other.pem");
    vyntest::writeFile(good, broker_.certificatePem());
    vyntest::writeFile(other, cimstandin::makeCertificate().certificatePem);
    connect(client, "pass", good);
    EXPECT_EQ(cimCodeOf([&] { client.deleteInstance("root/interop", filterDeletePath()); }), CIM_ERR_NOT_FOUND);
    client.disconnect();
    EXPECT_THROW(connect(client, "pass", other), SSLException);
    EXPECT_THROW(connect(client, "pass", hostFile("/tmp/missing.pem")), SSLException);

    // A closed port fails in connect.
    int port = broker_.port();
    broker_.stop();
    message = thrownMessage<CannotConnectException>([&] { connect(client); });
    EXPECT_EQ(message.rfind("Cannot connect to 127.0.0.1:" + std::to_string(port) + ": ", 0), 0u) << message;
    broker_.start();
    EXPECT_EQ(broker_.port(), port);
}

TEST_F(CimClientTest, MisuseIsRefused)
{
    CIMClient client;
    EXPECT_EQ(client.getTimeout(), 20000u);
    EXPECT_THROW(client.deleteInstance("root/interop", filterDeletePath()), NotConnectedException);
    client.disconnect();
    connect(client);
    EXPECT_THROW(connect(client), AlreadyConnectedException);
    client.disconnect();
    client.disconnect();
    EXPECT_THROW(client.createInstance("root/interop", filterInstance()), NotConnectedException);
    connect(client);
    EXPECT_NO_THROW(client.createInstance("root/interop", filterInstance()));
}

}  // namespace
