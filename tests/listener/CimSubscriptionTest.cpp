#include "AenTestSupport.h"
#include "StandinBroker.h"

#include "listener/AenCimSubscription.h"
#include "listener/AenDaemon.h"
#include "listener/osal/FnLogger.h"
#include "platform/cim/Cim.h"
#include "platform/cim/CimXml.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using cimxml::CIMInstance;
using cimxml::CIMProperty;
using cimxml::CIMValue;

std::vector<std::string> gFakeAddresses;
bool gFakeAddressesFail = false;

uint32_t fakeAddresses(TovHostAddressList* list, uint32_t capacity)
{
    if (gFakeAddressesFail)
        return 1;
    for (const std::string& a : gFakeAddresses) {
        if (list->count >= capacity)
            break;
        std::snprintf(list->address[list->count++], TOV_HOST_ADDRESS_TEXT, "%s", a.c_str());
    }
    return 0;
}

// A TCP socket bound to 0.0.0.0:port (0: any free one); closed on destruction.
class HeldPort {
public:
    // Bound without listening, the port refuses connections and no other
    // test running in parallel can take it.
    enum Mode { Listening, Refusing };
    explicit HeldPort(int port = 0, Mode mode = Listening)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        if (mode == Listening)
            ::listen(fd_, 1);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~HeldPort() { release(); }
    void release()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// Deadlines of the waits below: generous, since they only bound a hang and
// parallel sanitizer runs on a small machine are slow; a passing run never
// waits for them.
constexpr std::chrono::seconds kDeadline{30};

class CimDaemonTest : public aentest::AenDaemonTest {
protected:
    void SetUp() override
    {
        AenDaemonTest::SetUp();
        ::signal(SIGUSR1, SIG_IGN);
        ::signal(SIGALRM, SIG_IGN);
        gFakeAddresses = {"127.0.0.1", "192.0.2.10"};
        gFakeAddressesFail = false;
        gAenHostAddressSource = fakeAddresses;
        broker_.start();
        HeldPort free;
        listenerPort_ = free.port();
        writeInstallFile("aen.conf", "EVENT_LISTENER_PORT=" + std::to_string(listenerPort_) + "\n");
        writeInstallFile("VMCIMOMConfig.txt",
                         credentialFile("127.0.0.1", std::to_string(broker_.port()), "user", "pass"));
        writeInstallFile("PlugInConfig.txt", "PLUGIN=notifyfile\nSTATE=ON\n");
    }

    void TearDown() override
    {
        // A failed assertion leaves the daemon running: stop it as SIGTERM would.
        if (daemon_.valid() && daemon_.wait_for(0s) != std::future_status::ready)
            sendTerminate();
        if (daemon_.valid() && daemon_.wait_for(kDeadline) != std::future_status::ready) {
            std::fprintf(stderr, "the daemon did not stop\n");
            std::_Exit(1);
        }
        gAenHostAddressSource = TovGetHostIPAddress;
        broker_.stop();
        AenDaemonTest::TearDown();
    }

    // Runs the detached daemon's life in this process.
    void startDaemon()
    {
        daemon_ = std::async(std::launch::async, [] {
            FnLogger logger("daemonize", "vynlistend.log");
            return AenDaemonServe(::getpid(), logger);
        });
    }

    // The listener starts just after the subscription stands.
    std::vector<cimstandin::HttpAnswer> deliverWhenListening(const std::string& desc)
    {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        std::vector<cimstandin::HttpAnswer> answers;
        for (;;) {
            answers = broker_.deliver(cimstandin::sampleIndication(desc));
            if ((answers.size() == 1 && answers[0].status == 200) || std::chrono::steady_clock::now() > deadline)
                return answers;
            std::this_thread::sleep_for(50ms);
        }
    }

    // What the signal thread does on SIGTERM.
    void sendTerminate() { TovSetEvent(gAenConfig.TerminateEvent); }

    bool daemonEnds(std::chrono::seconds timeout)
    {
        return daemon_.wait_for(timeout) == std::future_status::ready && daemon_.get() == 0;
    }

    std::vector<std::string> calls() const
    {
        std::vector<std::string> out;
        for (const auto& r : broker_.requests())
            out.push_back((r.cimMethod == "DeleteInstance" ? "D:" : "C:") + r.className + ":" +
                          std::to_string(r.cimCode));
        return out;
    }

    cimstandin::StandinBroker broker_;
    int listenerPort_ = 0;
    std::future<int> daemon_;
};

// "name=value" of each property (NewInstance) or key (InstanceName) a request
// carries, in the order sent; reference keys and properties give their name
// followed by "&".
std::vector<std::string> sentFields(const cimstandin::StandinBroker::Record& record)
{
    std::vector<std::string> fields;
    const cimxml::xml::Request call = cimxml::xml::parseRequest(record.body);
    for (const auto& param : call.params) {
        if (param.kind == cimxml::xml::ParamValue::INSTANCE) {
            for (cimxml::Uint32 i = 0; i < param.instance.getPropertyCount(); ++i) {
                const CIMProperty& p = param.instance.getProperty(i);
                fields.push_back(p.getName().getString() + (p.getType() == cimxml::CIMTYPE_REFERENCE
                                                                ? "&"
                                                                : "=" + p.getValue().toString()));
            }
        } else if (param.kind == cimxml::xml::ParamValue::INSTANCENAME) {
            for (const auto& key : param.instanceName.getKeyBindings())
                fields.push_back(key.getName().getString() + (key.getType() == cimxml::CIMKeyBinding::REFERENCE
                                                                  ? "&"
                                                                  : "=" + key.getValue()));
        }
    }
    return fields;
}

// D1 D2 D3 C1 C2 C3 of a clean start: keys and properties in the daemon's order.
void expectWireOrder(const std::vector<cimstandin::StandinBroker::Record>& records, const std::string& destination)
{
    ASSERT_GE(records.size(), 6u);
    using Fields = std::vector<std::string>;
    const std::string system = "SystemCreationClassName=CIM_ComputerSystem";
    const std::string host = "SystemName=" + cimxml::System::getFullyQualifiedHostName();
    const Fields handlerKeys = {system, host, "CreationClassName=CIM_IndicationHandlerCIMXML", "Name=TOVAendHandler01"};
    const Fields filterKeys = {system, host, "CreationClassName=CIM_IndicationFilter", "Name=TOVAendFilter01"};
    EXPECT_EQ(sentFields(records[0]), (Fields{"Filter&", "Handler&"}));
    EXPECT_EQ(sentFields(records[1]), handlerKeys);
    EXPECT_EQ(sentFields(records[2]), filterKeys);
    Fields filter = filterKeys;
    filter.insert(filter.end(), {"Query=SELECT * FROM VYN_EventIndication", "QueryLanguage=WQL",
                                 "SourceNamespace=root/interop"});
    EXPECT_EQ(sentFields(records[3]), filter);
    Fields handler = handlerKeys;
    handler.push_back("Destination=" + destination);
    EXPECT_EQ(sentFields(records[4]), handler);
    EXPECT_EQ(sentFields(records[5]), (Fields{"Filter&", "Handler&", "SubscriptionState=2"}));
    const std::string subscription = records[5].body;
    EXPECT_NE(subscription.find("<PROPERTY.REFERENCE NAME=\"Filter\" REFERENCECLASS=\"CIM_IndicationFilter\">"),
              std::string::npos);
    EXPECT_NE(subscription.find("<PROPERTY NAME=\"SubscriptionState\" TYPE=\"uint16\"><VALUE>2</VALUE>"),
              std::string::npos);
    // The subscription's references keep the key order of the daemon's path texts.
    EXPECT_NE(subscription.find("<INSTANCENAME CLASSNAME=\"CIM_IndicationFilter\">\n<KEYBINDING NAME=\"CreationClassName\">"
                                "<KEYVALUE VALUETYPE=\"string\">CIM_IndicationFilter</KEYVALUE></KEYBINDING>\n"
                                "<KEYBINDING NAME=\"Name\">"),
              std::string::npos);
}

const std::string kDelSub = "D:CIM_IndicationSubscription";
const std::string kDelHandler = "D:CIM_IndicationHandlerCIMXML";
const std::string kDelFilter = "D:CIM_IndicationFilter";
const std::string kNewFilter = "C:CIM_IndicationFilter";
const std::string kNewHandler = "C:CIM_IndicationHandlerCIMXML";
const std::string kNewSub = "C:CIM_IndicationSubscription";

TEST_F(CimDaemonTest, NormalRunSubscribesDeliversAndCleansUp)
{
    startDaemon();
    ASSERT_TRUE(broker_.waitForRequests(6, kDeadline));
    EXPECT_EQ(calls(), (std::vector<std::string>{kDelSub + ":6", kDelHandler + ":6", kDelFilter + ":6",
                                                 kNewFilter + ":0", kNewHandler + ":0", kNewSub + ":0"}));
    EXPECT_EQ(broker_.instanceCount(), 3u);
    for (const auto& r : broker_.requests()) {
        EXPECT_TRUE(r.tls);
        EXPECT_EQ(cimstandin::headerValue(r.headers, "Authorization"), "Basic dXNlcjpwYXNz");
    }
    const std::string destination = "http://192.0.2.10:" + std::to_string(listenerPort_);
    EXPECT_NE(broker_.requests()[4].body.find(destination), std::string::npos);
    expectWireOrder(broker_.requests(), destination);
    EXPECT_TRUE(logHas("Created handler at " + destination));
    EXPECT_EQ(std::getenv("EVT_SOURCE_ESX"), std::string("127.0.0.1"));

    const auto answers = deliverWhenListening("disk 0,3 failed");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, 200);
    ASSERT_TRUE(waitForPluginLines(2, kDeadline));
    EXPECT_EQ(pluginLines()[1], "12/09/2026 09:35:44|1025|2|disk 0,3 failed|ctl0");

    sendTerminate();
    ASSERT_TRUE(daemonEnds(kDeadline));
    const std::vector<std::string> all = calls();
    ASSERT_EQ(all.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(all.begin() + 6, all.end()),
              (std::vector<std::string>{kDelSub + ":0", kDelHandler + ":0", kDelFilter + ":0"}));
    EXPECT_EQ(broker_.instanceCount(), 0u);
    // The clean-up at shut-down runs on a connection of its own.
    const auto records = broker_.requests();
    EXPECT_NE(records[6].remotePort, records[5].remotePort);
    EXPECT_EQ(records[7].remotePort, records[6].remotePort);
    // In-process the trace scope of the test's stand-in for daemonize closes
    // after the daemon's last line.
    const std::vector<std::string> log = daemonLog();
    ASSERT_GE(log.size(), 2u);
    const std::string& last = log[log.size() - 2];
    EXPECT_EQ(last.substr(last.size() - 20), "AEN_DAEMON: bye bye ");
    EXPECT_EQ(std::getenv("EVT_SOURCE_ESX"), nullptr);
    // Plug-ins stay loaded on the normal stop: no terminate call.
    EXPECT_EQ(pluginLines().size(), 2u);
}

TEST_F(CimDaemonTest, ClosedBrokerPortGivesSixAttemptsThenStops)
{
    const int brokerPort = broker_.port();
    broker_.stop();
    HeldPort refusing(brokerPort, HeldPort::Refusing);
    const auto started = std::chrono::steady_clock::now();
    startDaemon();
    ASSERT_TRUE(daemonEnds(kDeadline));
    // Five pauses of one second lie between the six attempts; the upper bound
    // leaves room for a busy machine's start-up and shut-down.
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, 4500ms);
    EXPECT_LT(took, 15s);
    EXPECT_EQ(broker_.requestCount(), 0u);
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(logHas("Retrying for connection to CIMOM, Retry Count :: " + std::to_string(i) + "\n")) << i;
    EXPECT_FALSE(logHas("Retry Count :: 6"));
    const std::string log = vyntest::readFile(hostFile("/var/log/vynlistend.log"));
    std::size_t attempts = 0;
    for (std::size_t at = 0; (at = log.find("while trying to connect to 127.0.0.1", at)) != std::string::npos; ++at)
        ++attempts;
    EXPECT_EQ(attempts, 6u);
    EXPECT_TRUE(logHas("Process AEN thread terminated"));
}

TEST_F(CimDaemonTest, HeldListenerPortLogsTheHintAndShutsDownNormally)
{
    HeldPort held(listenerPort_);
    startDaemon();
    ASSERT_TRUE(daemonEnds(kDeadline));
    EXPECT_TRUE(logHas("Pegasus Exception: Bind failed"));
    EXPECT_TRUE(logHas("The Listener port may be in use. Please reconfigure it with 'configUtil' script."));
    const std::vector<std::string> all = calls();
    ASSERT_EQ(all.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(all.begin() + 6, all.end()),
              (std::vector<std::string>{kDelSub + ":0", kDelHandler + ":0", kDelFilter + ":0"}));
    EXPECT_EQ(broker_.instanceCount(), 0u);
    EXPECT_TRUE(logHas("AEN_DAEMON: bye bye "));
}

TEST_F(CimDaemonTest, LeftOverFilterAloneDoesNotBlockTheSubscription)
{
    CIMInstance filter(cimxml::CIMName("CIM_IndicationFilter"));
    filter.addProperty(CIMProperty("SystemCreationClassName", CIMValue(cimxml::System::getSystemCreationClassName())));
    filter.addProperty(CIMProperty("SystemName", CIMValue(cimxml::System::getFullyQualifiedHostName())));
    filter.addProperty(CIMProperty("CreationClassName", CIMValue("CIM_IndicationFilter")));
    filter.addProperty(CIMProperty("Name", CIMValue("TOVAendFilter01")));
    filter.addProperty(CIMProperty("Query", CIMValue("SELECT * FROM VYN_EventIndication")));
    filter.addProperty(CIMProperty("QueryLanguage", CIMValue("WQL")));
    filter.addProperty(CIMProperty("SourceNamespace", CIMValue("root/interop")));
    broker_.preload(filter);

    startDaemon();
    ASSERT_TRUE(broker_.waitForRequests(6, kDeadline));
    EXPECT_EQ(calls(), (std::vector<std::string>{kDelSub + ":6", kDelHandler + ":6", kDelFilter + ":0",
                                                 kNewFilter + ":0", kNewHandler + ":0", kNewSub + ":0"}));
    EXPECT_EQ(broker_.instanceCount(), 3u);
    EXPECT_TRUE(logHas("Cleanup Listner failed: CIM_ERR_NOT_FOUND"));
    sendTerminate();
    ASSERT_TRUE(daemonEnds(kDeadline));
    EXPECT_EQ(broker_.instanceCount(), 0u);
}

TEST_F(CimDaemonTest, RefusedFirstFilterIsCleanedUpAndRetriedOnce)
{
    cimstandin::StandinBroker::Fault exists;
    exists.kind = cimstandin::StandinBroker::FaultKind::CimError;
    exists.code = 11;
    exists.times = 1;
    broker_.setFault("CreateInstance", "CIM_IndicationFilter", exists);
    startDaemon();
    ASSERT_TRUE(broker_.waitForRequests(10, kDeadline));
    EXPECT_EQ(calls(), (std::vector<std::string>{kDelSub + ":6", kDelHandler + ":6", kDelFilter + ":6",
                                                 kNewFilter + ":11", kDelSub + ":6", kDelHandler + ":6",
                                                 kDelFilter + ":6", kNewFilter + ":0", kNewHandler + ":0",
                                                 kNewSub + ":0"}));
    EXPECT_TRUE(logHas("setup failed: CIM_ERR_ALREADY_EXISTS"));
    EXPECT_TRUE(logHas("Deleting existing handler/filter (if any) and checking again."));
    sendTerminate();
    ASSERT_TRUE(daemonEnds(kDeadline));
    EXPECT_EQ(broker_.instanceCount(), 0u);
}

TEST_F(CimDaemonTest, WrongPasswordCreatesNothingAndStops)
{
    writeInstallFile("VMCIMOMConfig.txt", credentialFile("127.0.0.1", std::to_string(broker_.port()), "user", "bad"));
    startDaemon();
    ASSERT_TRUE(daemonEnds(kDeadline));
    EXPECT_EQ(broker_.instanceCount(), 0u);
    EXPECT_TRUE(logHas("setup failed: HTTP error 401"));
    EXPECT_TRUE(logHas("setupIndicationListner failed."));
    EXPECT_TRUE(logHas("AEN_DAEMON: bye bye "));
}

TEST_F(CimDaemonTest, OnlyLoopbackAddressesCannotSubscribe)
{
    gFakeAddresses = {"127.0.0.1", "127.0.0.53", "::1"};
    startDaemon();
    ASSERT_TRUE(daemonEnds(kDeadline));
    EXPECT_TRUE(logHas("Skipping local address ::1 (non IPv4)"));
    EXPECT_FALSE(logHas("Skipping local address 127.0.0.53"));
    EXPECT_TRUE(logHas("Failed to get the ip of localhost."));
    EXPECT_EQ(broker_.instanceCount(), 0u);
    EXPECT_TRUE(logHas("Process AEN thread terminated"));
}

TEST_F(CimDaemonTest, MissingCredentialsStopWithoutTraffic)
{
    std::remove((installDir() + "aen.conf").c_str());
    startDaemon();
    ASSERT_TRUE(daemonEnds(kDeadline));
    EXPECT_TRUE(logHas("Unable to get config details for VM CIMOM"));
    EXPECT_EQ(broker_.requestCount(), 0u);
}

TEST_F(CimDaemonTest, RefusedSetupIsRetriedOnceThenStops)
{
    using Kind = cimstandin::StandinBroker::FaultKind;
    struct Case {
        const char* what;
        const char* className;
        Kind kind;
        int code;
        std::vector<std::string> calls;
        std::vector<std::string> logged;
        std::size_t left;  // instances the broker still holds
    };
    const std::vector<Case> cases = {
        // The broker created the filter each time, but its answer is lost: the
        // retry's clean-up removes the first one, and the next start the second.
        {"truncated answer to the filter", "CIM_IndicationFilter", Kind::TruncatedXml, 0,
         {kDelSub + ":6", kDelHandler + ":6", kDelFilter + ":6", kNewFilter + ":0", kDelSub + ":6",
          kDelHandler + ":6", kDelFilter + ":0", kNewFilter + ":0"},
         {"setup failed: Bad CIM-XML answer from 127.0.0.1:", "setupIndicationListner failed."},
         1},
        {"filter answer without CIMOperation", "CIM_IndicationFilter", Kind::NoCimOperation, 0,
         {kDelSub + ":6", kDelHandler + ":6", kDelFilter + ":6", kNewFilter + ":0", kDelSub + ":6",
          kDelHandler + ":6", kDelFilter + ":0", kNewFilter + ":0"},
         {"without CIMOperation: MethodResponse", "setupIndicationListner failed."},
         1},
        // A refused subscription also takes its handler and filter away.
        {"subscription refused", "CIM_IndicationSubscription", Kind::CimError, 4,
         {kDelSub + ":6", kDelHandler + ":6", kDelFilter + ":6", kNewFilter + ":0", kNewHandler + ":0",
          kNewSub + ":4", kDelSub + ":6", kNewSub + ":4", kDelHandler + ":0", kDelFilter + ":0"},
         {"Subscription failed: CIM_ERR_INVALID_PARAMETER", "setupIndicationSubscription failed.",
          "Deleting existing subscription(if any) and checking again."},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        aentest::resetDaemonState();
        ::setenv("EVT_SOURCE_ESX", "", 1);
        std::remove(hostFile("/var/log/vynlistend.log").c_str());
        broker_.clearFaults();
        broker_.clearRequests();
        broker_.clearRepository();
        cimstandin::StandinBroker::Fault fault;
        fault.kind = c.kind;
        fault.code = c.code;
        broker_.setFault("CreateInstance", c.className, fault);

        startDaemon();
        ASSERT_TRUE(daemonEnds(kDeadline));
        EXPECT_EQ(calls(), c.calls);
        for (const std::string& line : c.logged)
            EXPECT_TRUE(logHas(line)) << line;
        EXPECT_EQ(broker_.instanceCount(), c.left);
        EXPECT_TRUE(logHas("Process AEN thread terminated"));
        EXPECT_FALSE(logHas("AenMonitorEvent - waiting for AEN"));
        EXPECT_TRUE(logHas("AEN_DAEMON: bye bye "));
        EXPECT_EQ(std::getenv("EVT_SOURCE_ESX"), nullptr);
    }
}

TEST_F(CimDaemonTest, HandlerPointsAtTheFirstUsableIPv4Address)
{
    cimxml::CIMClient client;
    client.connect("127.0.0.1", static_cast<cimxml::Uint32>(broker_.port()), cimxml::SSLContext("", "ssl.rnd"), "user",
                   "pass");
    const std::string port = std::to_string(listenerPort_);
    std::vector<std::string> nine(8, "127.0.0.1");
    nine.push_back("192.0.2.10");
    struct Case {
        const char* what;
        std::vector<std::string> addresses;
        bool readable;
        std::string destination;  // empty: no usable address
        std::string logged;
    };
    const std::vector<Case> cases = {
        {"loopback first", {"127.0.0.1", "192.0.2.10"}, true, "http://192.0.2.10:" + port, ""},
        {"first of two", {"198.51.100.7", "192.0.2.10"}, true, "http://198.51.100.7:" + port, ""},
        {"loopback skipped silently, others with a line", {"127.0.0.53", "fe80::1", "198.51.100.7"}, true,
         "http://198.51.100.7:" + port, "Skipping local address fe80::1 (non IPv4)"},
        {"only loopback", {"127.0.0.1", "127.0.0.2"}, true, "", "Failed to get the ip of localhost."},
        // The record holds eight entries; a ninth address is never seen.
        {"beyond the eighth entry", nine, true, "", "Failed to get the ip of localhost."},
        {"interface list unreadable", {"192.0.2.10"}, false, "", "Failed to get the ip of localhost."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(hostFile("/var/log/vynlistend.log").c_str());
        broker_.clearRepository();
        gFakeAddresses = c.addresses;
        gFakeAddressesFail = !c.readable;
        cimxml::String queryLanguage = "WQL";
        EXPECT_EQ(setupIndicationListner(client, queryLanguage, static_cast<unsigned>(listenerPort_)),
                  c.destination.empty() ? 1 : 0);
        std::string destination;
        for (const CIMInstance& i : broker_.instances()) {
            const cimxml::Uint32 at = i.findProperty("Destination");
            if (at != cimxml::PEG_NOT_FOUND)
                destination = i.getProperty(at).getValue().toString();
        }
        EXPECT_EQ(destination, c.destination);
        if (!c.destination.empty()) {
            EXPECT_TRUE(logHas("Created handler at " + c.destination));
        }
        if (!c.logged.empty()) {
            EXPECT_TRUE(logHas(c.logged)) << c.logged;
        }
        EXPECT_FALSE(logHas("Skipping local address 127.0.0"));
    }
}

class ConsumerTest : public aentest::AenDaemonTest {
protected:
    void SetUp() override
    {
        AenDaemonTest::SetUp();
        TovCreateEvent(&gAenConfig.AenMonitorEvent, "", 0);
        TovCreateEvent(&gAenConfig.AenPushedToQEvent, "", 0);
        gAenConfig.QueueMutex = TovMutexInit();
    }
};

TEST_F(ConsumerTest, PropertiesBecomeOneQueuedRecord)
{
    struct Case {
        const char* what;
        std::vector<CIMProperty> properties;
        _vynEvent expected;
    };
    CIMValue nullString;
    nullString.setNullValue(cimxml::CIMTYPE_STRING, false);
    const Case cases[] = {
        {"sint32 code, no type, char16 time",
         {CIMProperty("eventCode", CIMValue(cimxml::Sint32(-2))), CIMProperty("eventTime", CIMValue(u'T')),
          CIMProperty("eventDesc", CIMValue("d"))},
         _vynEvent{"T", 0xFFFFFFFEu, 0, "d", ""}},
        {"string time and uint32 code, others ignored",
         {CIMProperty("eventTime", CIMValue("12/09/2026 09:35:44")), CIMProperty("eventCode", CIMValue(cimxml::Uint32(1025))),
          CIMProperty("severity", CIMValue(cimxml::Uint32(9))), CIMProperty("identifier", CIMValue("ctl0"))},
         _vynEvent{"12/09/2026 09:35:44", 1025, 0, "", "ctl0"}},
        {"later value wins, null and wrong types ignored",
         {CIMProperty("eventType", CIMValue(cimxml::Uint32(1))), CIMProperty("eventType", CIMValue(cimxml::Uint32(3))),
          CIMProperty("eventDesc", CIMValue("first")), CIMProperty("eventDesc", nullString),
          CIMProperty("eventCode", CIMValue(cimxml::Uint64(7))), CIMProperty("eventTime", CIMValue(cimxml::Uint32(5))),
          CIMProperty("EVENTDESC", CIMValue("case"))},
         _vynEvent{"", 0, 3, "case", ""}},
        {"no property at all", {}, _vynEvent{}},
    };
    AendVMIndicationConsumer consumer("VMCIMOMEventConsumer");
    for (const Case& c : cases) {
        CIMInstance indication(cimxml::CIMName("VYN_EventIndication"));
        for (const CIMProperty& p : c.properties)
            indication.addProperty(p);
        gAenConfig.EventQueue.clear();
        consumer.consumeIndication(cimxml::OperationContext(), "/", indication);
        ASSERT_EQ(gAenConfig.EventQueue.size(), 1u) << c.what;
        const _vynEvent& got = gAenConfig.EventQueue.front();
        EXPECT_EQ(got.eventTime, c.expected.eventTime) << c.what;
        EXPECT_EQ(got.eventCode, c.expected.eventCode) << c.what;
        EXPECT_EQ(got.eventType, c.expected.eventType) << c.what;
        EXPECT_EQ(got.eventDesc, c.expected.eventDesc) << c.what;
        EXPECT_EQ(got.identifier, c.expected.identifier) << c.what;
    }
    EXPECT_TRUE(logHas("Entering ConsumeIndication"));
}

}  // namespace
