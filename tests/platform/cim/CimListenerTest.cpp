#include "CimSamples.h"
#include "StandinBroker.h"

#include "platform/cim/CimXml.h"
#include "support/HostRootTest.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace cimxml;
using cimstandin::exportIndicationBody;
using cimstandin::exportIndicationHeaders;
using cimstandin::headerValue;
using cimstandin::HttpAnswer;
using cimstandin::postRaw;
using cimstandin::sampleIndication;
using cimstandin::StandinBroker;

namespace {

class RecordingConsumer : public CIMIndicationConsumer {
public:
    void consumeIndication(const OperationContext&, const String& url, const CIMInstance& indication) override
    {
        if (hook)
            hook(indication);
        std::lock_guard<std::mutex> lock(mutex);
        urls.push_back(url);
        seen.push_back(indication);
    }
    std::size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return seen.size();
    }

    std::function<void(const CIMInstance&)> hook;
    std::mutex mutex;
    std::vector<String> urls;
    std::vector<CIMInstance> seen;
};

class CimListenerTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        HostRootTest::SetUp();
        globalInit();
        listener_.addConsumer(&consumer_);
        listener_.start();
        port_ = static_cast<int>(listener_.getPortNumber());
    }
    void TearDown() override
    {
        listener_.stop();
        HostRootTest::TearDown();
    }

    HttpAnswer post(const CIMInstance& indication)
    {
        return postRaw(port_, "POST", "/", exportIndicationHeaders(), exportIndicationBody(indication));
    }

    CIMListener listener_{0};
    RecordingConsumer consumer_;
    int port_ = 0;
};

const char kExportAnswer[] = R"(<?xml version="1.0" encoding="utf-8"?>
<CIM CIMVERSION="2.0" DTDVERSION="2.0">
<MESSAGE ID="87001" PROTOCOLVERSION="1.0"><SIMPLEEXPRSP>
<EXPMETHODRESPONSE NAME="ExportIndication"/>
</SIMPLEEXPRSP></MESSAGE>
</CIM>
)";

TEST_F(CimListenerTest, ValidIndicationReachesEveryConsumerInOrder)
{
    RecordingConsumer second;
    std::vector<int> order;
    std::mutex orderMutex;
    consumer_.hook = [&](const CIMInstance&) { std::lock_guard<std::mutex> l(orderMutex); order.push_back(1); };
    second.hook = [&](const CIMInstance&) { std::lock_guard<std::mutex> l(orderMutex); order.push_back(2); };
    listener_.addConsumer(&second);

    HttpAnswer a = post(sampleIndication());
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(headerValue(a.headers, "CIMExport"), "MethodResponse");
    EXPECT_EQ(headerValue(a.headers, "Content-Type"), "application/xml; charset=\"utf-8\"");
    EXPECT_EQ(a.body, kExportAnswer);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    ASSERT_EQ(consumer_.count(), 1u);
    EXPECT_EQ(consumer_.urls[0], "/");
    const CIMInstance& i = consumer_.seen[0];
    EXPECT_EQ(i.getClassName().getString(), "VYN_EventIndication");
    ASSERT_EQ(i.getPropertyCount(), 5u);
    EXPECT_EQ(i.getProperty(0).getValue().toString(), "12/09/2026 09:35:44");
    EXPECT_EQ(i.getProperty(1).getValue().toString(), "1025");
    EXPECT_EQ(i.getProperty(3).getValue().toString(), "Example event text");

    // After removal a consumer is not called again.
    listener_.removeConsumer(&second);
    EXPECT_EQ(post(sampleIndication()).status, 200);
    EXPECT_EQ(second.count(), 1u);
    EXPECT_EQ(consumer_.count(), 2u);
}

TEST_F(CimListenerTest, IndicationVariantsReachTheConsumerAsSent)
{
    auto variant = [](std::function<void(CIMInstance&)> change) {
        CIMInstance i = sampleIndication();
        change(i);
        return i;
    };
    struct Case {
        const char* what;
        CIMInstance indication;
        std::function<void(const CIMInstance&)> check;
    };
    const std::vector<Case> cases = {
        {"sint32 eventCode",
         variant([](CIMInstance& i) {
             i.removeProperty(1);
             i.addProperty(CIMProperty("eventCode", CIMValue(Sint32(-3))));
         }),
         [](const CIMInstance& i) {
             Uint32 code = 0;
             i.getProperty(i.findProperty("eventCode")).getValue().get(code);
             EXPECT_EQ(code, 0xFFFFFFFDu);
         }},
        {"no eventType", variant([](CIMInstance& i) { i.removeProperty(2); }),
         [](const CIMInstance& i) { EXPECT_EQ(i.findProperty("eventType"), PEG_NOT_FOUND); }},
        {"char16 eventTime",
         variant([](CIMInstance& i) {
             i.removeProperty(0);
             i.addProperty(CIMProperty("eventTime", CIMValue(Char16(u'T'))));
         }),
         [](const CIMInstance& i) {
             const CIMValue& v = i.getProperty(i.findProperty("eventTime")).getValue();
             EXPECT_EQ(v.getType(), CIMTYPE_CHAR16);
             EXPECT_EQ(v.toString(), "T");
         }},
        {"repeated property",
         variant([](CIMInstance& i) { i.addProperty(CIMProperty("eventDesc", CIMValue("later text"))); }),
         [](const CIMInstance& i) {
             ASSERT_EQ(i.getPropertyCount(), 6u);
             EXPECT_EQ(i.getProperty(3).getValue().toString(), "Example event text");
             EXPECT_EQ(i.getProperty(5).getValue().toString(), "later text");
         }},
        {"NULL value",
         variant([](CIMInstance& i) { i.addProperty(CIMProperty("identifier", CIMValue(CIMTYPE_STRING, false))); }),
         [](const CIMInstance& i) { EXPECT_TRUE(i.getProperty(5).getValue().isNull()); }},
        {"other class", variant([](CIMInstance& i) { i.setClassName("CIM_AlertIndication"); }),
         [](const CIMInstance& i) { EXPECT_EQ(i.getClassName().getString(), "CIM_AlertIndication"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::size_t before = consumer_.count();
        EXPECT_EQ(post(c.indication).status, 200);
        ASSERT_EQ(consumer_.count(), before + 1);
        c.check(consumer_.seen.back());
    }
}

TEST_F(CimListenerTest, ProtocolErrorsAreAnsweredWithoutCallingConsumers)
{
    const std::string good = exportIndicationBody(sampleIndication());
    auto headersWith = [](std::vector<std::pair<std::string, std::string>> set, std::vector<std::string> drop = {}) {
        cimstandin::Headers h = exportIndicationHeaders();
        for (const std::string& d : drop)
            h.erase(d);
        for (auto& s : set) {
            h.erase(s.first);
            h.emplace(s.first, s.second);
        }
        return h;
    };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string b = good;
        return b.replace(b.find(from), from.size(), to);
    };
    std::string secondIndication = replaced("</EXPPARAMVALUE>\n", "</EXPPARAMVALUE>\n" +
                                                                      good.substr(good.find("<EXPPARAMVALUE"),
                                                                                  good.find("</EXPPARAMVALUE>") -
                                                                                      good.find("<EXPPARAMVALUE") + 17));
    struct Case {
        const char* what;
        const char* method;
        cimstandin::Headers headers;
        std::string body;
        int status;
        const char* cimError;
        const char* errorCode;  // ERROR CODE in a 200 answer
    };
    const std::vector<Case> cases = {
        {"no CIMExport", "POST", headersWith({}, {"CIMExport"}), good, 400, "unsupported-operation", nullptr},
        {"CIMExport not a request", "POST", headersWith({{"CIMExport", "MethodCall"}}), good, 400,
         "unsupported-operation", nullptr},
        {"method header differs", "POST", headersWith({{"CIMExportMethod", "ExportOther"}}), good, 400,
         "header-mismatch", nullptr},
        {"no method header", "POST", headersWith({}, {"CIMExportMethod"}), good, 400, "header-mismatch", nullptr},
        {"batch", "POST", headersWith({{"CIMExportBatch", ""}}), good, 501, "multiple-requests-unsupported", nullptr},
        {"GET", "GET", exportIndicationHeaders(), "", 405, "", nullptr},
        {"text/plain", "POST", headersWith({{"Content-Type", "text/plain"}}), good, 400, "header-mismatch", nullptr},
        {"latin-1", "POST", headersWith({{"Content-Type", "application/xml; charset=iso-8859-1"}}), good, 400,
         "header-mismatch", nullptr},
        {"M-POST without Man", "M-POST", exportIndicationHeaders(), good, 400, "header-mismatch", nullptr},
        {"truncated", "POST", exportIndicationHeaders(), good.substr(0, good.size() / 2), 400,
         "request-not-well-formed", nullptr},
        {"CIM version 3", "POST", exportIndicationHeaders(), replaced("CIMVERSION=\"2.0\"", "CIMVERSION=\"3.0\""), 400,
         "unsupported-cim-version", nullptr},
        {"bad value", "POST", exportIndicationHeaders(), replaced("<VALUE>1025</VALUE>", "<VALUE>x</VALUE>"), 400,
         "request-not-valid", nullptr},
        {"operation body", "POST", exportIndicationHeaders(),
         xml::createInstanceRequest("1", "root/interop", cimsamples::filterInstance()), 400, "request-not-valid",
         nullptr},
        {"other export method", "POST", headersWith({{"CIMExportMethod", "ExportOther"}}),
         replaced("NAME=\"ExportIndication\"", "NAME=\"ExportOther\""), 200, "", "7"},
        {"two indications", "POST", exportIndicationHeaders(), secondIndication, 200, "", "4"},
        {"no indication", "POST", exportIndicationHeaders(),
         replaced("NAME=\"NewIndication\"", "NAME=\"Other\""), 200, "", "4"},
        {"body over 1 MiB", "POST", exportIndicationHeaders(),
         replaced("Example event text", std::string(xml::MAX_BODY_BYTES, 'x')), 413, "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HttpAnswer a = postRaw(port_, c.method, "/", c.headers, c.body);
        EXPECT_EQ(a.status, c.status) << a.error;
        EXPECT_EQ(headerValue(a.headers, "CIMError"), c.cimError);
        EXPECT_EQ(headerValue(a.headers, "CIMExport"), "MethodResponse");
        if (c.status == 405) {
            EXPECT_EQ(headerValue(a.headers, "Allow"), "POST");
        }
        if (c.errorCode) {
            EXPECT_NE(a.body.find(std::string("<ERROR CODE=\"") + c.errorCode + "\""), std::string::npos) << a.body;
        }
    }
    EXPECT_EQ(consumer_.count(), 0u);

    // A huge body is cut off rather than read to its end.
    HttpAnswer huge = postRaw(port_, "POST", "/", exportIndicationHeaders(), std::string(16 * xml::MAX_BODY_BYTES, 'x'));
    EXPECT_TRUE(huge.status == 413 || huge.status == 0) << huge.status;

    // The listener goes on accepting after every refusal.
    EXPECT_EQ(post(sampleIndication()).status, 200);
    EXPECT_EQ(consumer_.count(), 1u);
}

TEST_F(CimListenerTest, AcceptsOtherSendersForms)
{
    const std::string good = exportIndicationBody(sampleIndication());
    cimstandin::Headers mpost{{"Content-Type", "application/xml; charset=\"utf-8\""},
                              {"Man", "http://www.dmtf.org/cim/mapping/http/v1.0 ; ns=40"},
                              {"40-CIMProtocolVersion", "1.0"},
                              {"40-CIMExport", "MethodRequest"},
                              {"40-CIMExportMethod", "ExportIndication"}};
    HttpAnswer a = postRaw(port_, "M-POST", "/", mpost, good);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(headerValue(a.headers, "40-CIMExport"), "MethodResponse");

    cimstandin::Headers textXml = exportIndicationHeaders();
    textXml.erase("Content-Type");
    textXml.emplace("Content-Type", "text/xml; charset=UTF-8");
    EXPECT_EQ(postRaw(port_, "POST", "/cimlistener/vyn", textXml, good).status, 200);
    ASSERT_EQ(consumer_.count(), 2u);
    EXPECT_EQ(consumer_.urls[1], "/cimlistener/vyn");
}

TEST_F(CimListenerTest, ConsumerFailureIsAnsweredWithError1)
{
    RecordingConsumer later;
    consumer_.hook = [](const CIMInstance&) { throw Exception("queue full"); };
    listener_.addConsumer(&later);
    HttpAnswer a = post(sampleIndication());
    EXPECT_EQ(a.status, 200);
    EXPECT_NE(a.body.find("<ERROR CODE=\"1\" DESCRIPTION=\"CIM_ERR_FAILED: queue full\"/>"), std::string::npos)
        << a.body;
    EXPECT_EQ(later.count(), 1u);
}

TEST_F(CimListenerTest, ConcurrentPostsEachArriveOnce)
{
    std::vector<std::future<int>> posts;
    for (int i = 0; i < 20; ++i)
        posts.push_back(std::async(std::launch::async,
                                   [this, i] { return post(sampleIndication("event " + std::to_string(i))).status; }));
    for (auto& p : posts)
        EXPECT_EQ(p.get(), 200);
    std::multiset<std::string> descs;
    for (const CIMInstance& i : consumer_.seen)
        descs.insert(i.getProperty(3).getValue().toString());
    EXPECT_EQ(descs.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(descs.count("event " + std::to_string(i)), 1u);
}

TEST_F(CimListenerTest, HundredKeptAliveIndicationsAreNeverHeldBack)
{
    // A broker delivers a burst over one kept-alive connection. Were an answer
    // to leave in two writes under Nagle's rule, every exchange would wait for
    // the client's delayed acknowledgement, 40 ms or more (over four seconds
    // for the hundred, where a second is plenty). A busy machine, such as
    // parallel sanitizer runs on two cores, delays many exchanges but not
    // all of them, so the pace is judged by the fastest tenth: a stall would
    // hold back those as well.
    const std::vector<cimstandin::TimedExchange> exchanges =
        cimstandin::postKeptAlive(port_, exportIndicationHeaders(), exportIndicationBody(sampleIndication()), 100);
    ASSERT_EQ(exchanges.size(), 100u);
    std::vector<std::chrono::microseconds> took;
    for (const cimstandin::TimedExchange& e : exchanges) {
        EXPECT_EQ(e.status, 200);
        took.push_back(e.took);
    }
    EXPECT_EQ(consumer_.count(), 100u);
    std::sort(took.begin(), took.end());
    EXPECT_LT(took[9], std::chrono::milliseconds(20))
        << "tenth fastest " << took[9].count() << " us, median " << took[50].count() << " us";
}

TEST_F(CimListenerTest, StopWaitsForARunningConsumer)
{
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls{0};
    consumer_.hook = [&](const CIMInstance&) {
        if (calls++ == 0) {
            entered.set_value();
            released.wait();
        }
    };
    auto answer = std::async(std::launch::async, [this] { return post(sampleIndication()); });
    entered.get_future().wait();
    auto stopped = std::async(std::launch::async, [this] { listener_.stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    release.set_value();
    stopped.get();
    EXPECT_FALSE(listener_.isAlive());
    answer.get();
    EXPECT_EQ(consumer_.count(), 1u);
    EXPECT_EQ(post(sampleIndication()).status, 0);
    EXPECT_EQ(calls.load(), 1);
    listener_.stop();
}

TEST(CimListenerLifecycleTest, BindFailureAndMisuse)
{
    int holder = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(holder, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    socklen_t len = sizeof addr;
    getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &len);
    Uint32 port = ntohs(addr.sin_port);

    CIMListener busy(port);
    try {
        busy.start();
        ADD_FAILURE() << "bound a held port";
    } catch (const Exception& e) {
        EXPECT_NE(dynamic_cast<const BindFailedException*>(&e), nullptr);
        EXPECT_EQ(e.getMessage(), "Bind failed: Address already in use (port " + std::to_string(port) + ")");
    }
    EXPECT_FALSE(busy.isAlive());
    busy.stop();
    close(holder);

    // The port is free again: the failed start left nothing open.
    CIMListener listener(port);
    listener.start();
    EXPECT_TRUE(listener.isAlive());
    EXPECT_EQ(listener.getPortNumber(), port);
    EXPECT_THROW(listener.start(), Exception);
    listener.stop();
    listener.stop();
    EXPECT_FALSE(listener.isAlive());

    SSLContext tls("");
    EXPECT_THROW(CIMListener(0, &tls), Exception);
}

TEST(CimRoundTripTest, BrokerDeliversToTheSubscribedListener)
{
    globalInit();
    StandinBroker broker;
    broker.start();
    RecordingConsumer consumer;
    CIMListener listener(0);
    listener.addConsumer(&consumer);
    listener.start();

    CIMClient client;
    client.connect("127.0.0.1", static_cast<Uint32>(broker.port()), SSLContext("", "ssl.rnd"), "user", "pass");
    // The Destination names a documentation address; delivery stays on loopback.
    std::string destination = "http://192.0.2.10:" + std::to_string(listener.getPortNumber());
    client.createInstance("root/interop", cimsamples::filterInstance());
    client.createInstance("root/interop", cimsamples::handlerInstance(destination));
    client.createInstance("root/interop", cimsamples::subscriptionInstance());

    std::vector<HttpAnswer> answers = broker.deliver(sampleIndication("disk 0,3 failed"));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, 200);
    ASSERT_EQ(consumer.count(), 1u);
    EXPECT_EQ(consumer.seen[0].getProperty(3).getValue().toString(), "disk 0,3 failed");

    // The filter selects by class, unless delivery is forced.
    CIMInstance alert = sampleIndication();
    alert.setClassName("CIM_AlertIndication");
    EXPECT_TRUE(broker.deliver(alert).empty());
    EXPECT_EQ(broker.deliver(alert, true).size(), 1u);
    EXPECT_EQ(consumer.count(), 2u);
    listener.stop();
}

}  // namespace
