#include "listener/AenCimSubscription.h"

#include "listener/AenConfig.h"
#include "listener/AenDaemon.h"
#include "listener/osal/FnLogger.h"
#include "platform/cim/Cim.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

AenHostAddressSource gAenHostAddressSource = TovGetHostIPAddress;

namespace {

using cimxml::CIMClient;
using cimxml::CIMInstance;
using cimxml::CIMKeyBinding;
using cimxml::CIMName;
using cimxml::CIMNamespaceName;
using cimxml::CIMObjectPath;
using cimxml::CIMProperty;
using cimxml::CIMValue;
using cimxml::String;
using cimxml::System;

const char* const LOCAL_HOST = "127.0.0.1";
const std::size_t kLocalHostCompared = 7;
const char* const SOURCENAMESPACE = "root/interop";
const char* const SFCB_NAMESPACENAME_INTEROP = "root/interop";
const char* const kFilterName = "TOVAendFilter01";
const char* const kHandlerName = "TOVAendHandler01";
const char* const kQuery = "SELECT * FROM VYN_EventIndication";
const char* const kQueryLanguage = "WQL";
const char* const kConsumerName = "VMCIMOMEventConsumer";
const char* const kRandomFile = "ssl.rnd";
const char* const kFilterClass = "CIM_IndicationFilter";
const char* const kHandlerClass = "CIM_IndicationHandlerCIMXML";
const char* const kSubscriptionClass = "CIM_IndicationSubscription";
const char* const kFilterPathHead =
    "CIM_IndicationFilter.CreationClassName=\"CIM_IndicationFilter\",Name=\"TOVAendFilter01\","
    "SystemCreationClassName=\"";
const char* const kHandlerPathHead =
    "CIM_IndicationHandlerCIMXML.CreationClassName=\"CIM_IndicationHandlerCIMXML\",Name=\"TOVAendHandler01\","
    "SystemCreationClassName=\"";
const char* const kEnvironmentSource = "EVT_SOURCE_ESX";
const int kConnectAttempts = 6;
const char* const kBindFailed = "Bind failed";

String pathText(const char* head)
{
    return String(head) + System::getSystemCreationClassName() + "\",SystemName=\"" +
           System::getFullyQualifiedHostName() + "\"";
}

// The key path of a filter or handler: no host, no namespace, four string keys.
CIMObjectPath keyPath(const char* className, const String& name)
{
    std::vector<CIMKeyBinding> keys;
    keys.emplace_back("SystemCreationClassName", System::getSystemCreationClassName(), CIMKeyBinding::STRING);
    keys.emplace_back("SystemName", System::getFullyQualifiedHostName(), CIMKeyBinding::STRING);
    keys.emplace_back("CreationClassName", className, CIMKeyBinding::STRING);
    keys.emplace_back("Name", name, CIMKeyBinding::STRING);
    return CIMObjectPath(String(), CIMNamespaceName(), className, keys);
}

void addSystemKeys(CIMInstance& instance, const char* className, const String& name)
{
    instance.addProperty(CIMProperty("SystemCreationClassName", CIMValue(System::getSystemCreationClassName())));
    instance.addProperty(CIMProperty("SystemName", CIMValue(System::getFullyQualifiedHostName())));
    instance.addProperty(CIMProperty("CreationClassName", CIMValue(className)));
    instance.addProperty(CIMProperty("Name", CIMValue(name)));
}

// Always TLS; an empty trust store means no certificate check.
void connectClient(CIMClient& client, const char* host, int port, const char* user, const char* password)
{
    cimxml::SSLContext context(String(), kRandomFile);
    client.connect(host, static_cast<cimxml::Uint32>(port), context, user, password);
}

void clearEventSource(FnLogger& logger)
{
    if (::unsetenv(kEnvironmentSource) != 0)
        logger.log("unsetsetenv() failed to clear the host ip.");
}

void removeSubscription(FnLogger& logger, CIMClient& client)
{
    if (deleteIndicationSubcription(client) != 0)
        logger.log("deleteIndicationSubcription failed.");
}

void removeListener(FnLogger& logger, CIMClient& client)
{
    if (cleanupIndicationListner(client) != 0)
        logger.log("cleanupIndicationListner failed.");
}

bool connectWithRetries(FnLogger& logger, CIMClient& client, const char* host, int port, const char* user,
                        const char* password)
{
    for (int attempt = 1;; ++attempt) {
        try {
            connectClient(client, host, port, user, password);
            return true;
        } catch (const cimxml::Exception& e) {
            logger.log("Pegasus Exception: %s while trying to connect to %s", e.getMessage().c_str(), host);
        }
        if (attempt == kConnectAttempts)
            return false;
        logger.log("Retrying for connection to CIMOM, Retry Count :: %d", attempt);
        TovSleep(1);
    }
}

// Creates filter, handler and subscription, with one clean-up and retry each;
// a final failure has run the stop sequence.
bool subscribe(FnLogger& logger, CIMClient& client, unsigned listenerPort)
{
    String queryLanguage = kQueryLanguage;
    if (setupIndicationListner(client, queryLanguage, listenerPort) != 0) {
        logger.log("setupIndicationListner failed.");
        logger.log("Deleting existing handler/filter (if any) and checking again.");
        removeSubscription(logger, client);
        removeListener(logger, client);
        if (setupIndicationListner(client, queryLanguage, listenerPort) != 0) {
            AenStopProcessThread(logger, false);
            return false;
        }
    }
    if (setupIndicationSubscription(client) != 0) {
        logger.log("setupIndicationSubscription failed.");
        logger.log("Deleting existing subscription(if any) and checking again.");
        removeSubscription(logger, client);
        if (setupIndicationSubscription(client) != 0) {
            AenStopProcessThread(logger, false);
            removeListener(logger, client);
            return false;
        }
    }
    return true;
}

// Waits for indications until the daemon stops; the events themselves are
// handled by the process thread.
void serveIndications(FnLogger& logger, cimxml::CIMListener& listener)
{
    listener.start();
    for (;;) {
        logger.log("AenMonitorEvent - waiting for AEN");
        TovWaitOnEvent(gAenConfig.AenMonitorEvent);
        const uint32_t status = gAenConfig.CurrentStatus.load();
        if (status == AEN_STATUS_STOPPING || status == AEN_STATUS_STOPPING_2) {
            logger.log("Aen Monitor Thread terminating");
            return;
        }
        logger.log("Got an Indication..");
    }
}

void unsubscribeOnNewConnection(FnLogger& logger, CIMClient& client, const char* host, int port,
                                const char* user, const char* password)
{
    try {
        client.disconnect();
        connectClient(client, host, port, user, password);
        removeSubscription(logger, client);
        removeListener(logger, client);
    } catch (const cimxml::Exception& e) {
        logger.log("Pegasus Exception: %s", e.getMessage().c_str());
    }
}

}  // namespace

AendVMIndicationConsumer::AendVMIndicationConsumer(const String& name) : name_(name)
{
}

AendVMIndicationConsumer::~AendVMIndicationConsumer() = default;

void AendVMIndicationConsumer::consumeIndication(const cimxml::OperationContext&, const String&,
                                                 const CIMInstance& indication)
{
    FnLogger logger("ConsumeIndication", AEN_LOG_FILE);
    const CIMInstance copy = indication.clone();
    _vynEvent event;
    for (cimxml::Uint32 i = 0; i < copy.getPropertyCount(); ++i) {
        const CIMProperty& property = copy.getProperty(i);
        const CIMValue& value = property.getValue();
        if (value.isNull() || value.isArray())
            continue;
        const CIMName& name = property.getName();
        const cimxml::CIMType type = value.getType();
        if (type == cimxml::CIMTYPE_UINT32 || type == cimxml::CIMTYPE_SINT32) {
            if (name == CIMName("eventCode"))
                value.get(event.eventCode);
            else if (name == CIMName("eventType"))
                value.get(event.eventType);
        } else if (type == cimxml::CIMTYPE_CHAR16 || type == cimxml::CIMTYPE_STRING) {
            if (name == CIMName("eventTime"))
                value.get(event.eventTime);
            else if (name == CIMName("eventDesc"))
                value.get(event.eventDesc);
            else if (name == CIMName("identifier"))
                value.get(event.identifier);
        }
    }
    AenQueueEvent(event);
}

void createFilterInstance(CIMClient& client, const String& name, const String& query, const String& queryLanguage)
{
    CIMInstance filter(kFilterClass);
    addSystemKeys(filter, kFilterClass, name);
    filter.addProperty(CIMProperty("Query", CIMValue(query)));
    filter.addProperty(CIMProperty("QueryLanguage", CIMValue(queryLanguage)));
    filter.addProperty(CIMProperty("SourceNamespace", CIMValue(SOURCENAMESPACE)));
    client.createInstance(SFCB_NAMESPACENAME_INTEROP, filter);
}

void createHandlerInstance(CIMClient& client, const String& name, const String& destination)
{
    CIMInstance handler(kHandlerClass);
    addSystemKeys(handler, kHandlerClass, name);
    handler.addProperty(CIMProperty("Destination", CIMValue(destination)));
    client.createInstance(SFCB_NAMESPACENAME_INTEROP, handler);
}

void createSubscriptionInstance(CIMClient& client, const CIMObjectPath& filter, const CIMObjectPath& handler)
{
    CIMInstance subscription(kSubscriptionClass);
    subscription.addProperty(CIMProperty("Filter", CIMValue(filter), 0, kFilterClass));
    subscription.addProperty(CIMProperty("Handler", CIMValue(handler), 0, kHandlerClass));
    subscription.addProperty(CIMProperty("SubscriptionState", CIMValue(static_cast<cimxml::Uint16>(2))));
    client.createInstance(SFCB_NAMESPACENAME_INTEROP, subscription);
}

void deleteFilterInstance(CIMClient& client, const String& name)
{
    client.deleteInstance(SFCB_NAMESPACENAME_INTEROP, keyPath(kFilterClass, name));
}

void deleteHandlerInstance(CIMClient& client, const String& name)
{
    client.deleteInstance(SFCB_NAMESPACENAME_INTEROP, keyPath(kHandlerClass, name));
}

void deleteSubscriptionInstance(CIMClient& client, const String& filterName, const String& handlerName)
{
    std::vector<CIMKeyBinding> keys;
    keys.emplace_back("Filter", keyPath(kFilterClass, filterName));
    keys.emplace_back("Handler", keyPath(kHandlerClass, handlerName));
    client.deleteInstance(SFCB_NAMESPACENAME_INTEROP,
                          CIMObjectPath(String(), CIMNamespaceName(), kSubscriptionClass, keys));
}

int setupIndicationListner(CIMClient& client, String& queryLanguage, unsigned listenerPort)
{
    FnLogger logger("setupIndicationListner", AEN_LOG_FILE);
    TovHostAddressList addresses;
    std::memset(&addresses, 0, sizeof addresses);
    if (gAenHostAddressSource(&addresses, TOV_HOST_ADDRESS_ENTRIES) != TOV_SUCCESS) {
        logger.log("Failed to get the ip of localhost.");
        return 1;
    }
    const char* chosen = nullptr;
    for (unsigned i = 0; i < addresses.count && i < TOV_HOST_ADDRESS_ENTRIES && chosen == nullptr; ++i) {
        const char* address = addresses.address[i];
        if (std::strncmp(address, LOCAL_HOST, kLocalHostCompared) == 0)
            continue;
        int dots = 0;
        for (const char* p = address; *p != '\0'; ++p)
            dots += *p == '.';
        if (dots == 3)
            chosen = address;
        else
            logger.log("Skipping local address %s (non IPv4)", address);
    }
    if (chosen == nullptr) {
        logger.log("Failed to get the ip of localhost.");
        return 1;
    }
    const String destination = "http://" + String(chosen) + ":" + std::to_string(listenerPort);
    try {
        createFilterInstance(client, kFilterName, kQuery, queryLanguage);
        createHandlerInstance(client, kHandlerName, destination);
        logger.log("Created handler at %s", destination.c_str());
    } catch (const cimxml::Exception& e) {
        logger.log("setup failed: %s", e.getMessage().c_str());
        return 1;
    }
    return 0;
}

int setupIndicationSubscription(CIMClient& client)
{
    FnLogger logger("setupIndicationSubscription", AEN_LOG_FILE);
    try {
        const CIMObjectPath filter(pathText(kFilterPathHead));
        const CIMObjectPath handler(pathText(kHandlerPathHead));
        createSubscriptionInstance(client, filter, handler);
    } catch (const cimxml::Exception& e) {
        logger.log("Subscription failed: %s", e.getMessage().c_str());
        return 1;
    }
    return 0;
}

int cleanupIndicationListner(CIMClient& client)
{
    FnLogger logger("cleanupIndicationListner", AEN_LOG_FILE);
    // The filter is tried even when the handler is gone already: a run that
    // left only the filter behind must not block every later subscription.
    int result = 0;
    try {
        deleteHandlerInstance(client, kHandlerName);
    } catch (const cimxml::Exception& e) {
        logger.log("Cleanup Listner failed: %s", e.getMessage().c_str());
        result = 1;
    }
    try {
        deleteFilterInstance(client, kFilterName);
    } catch (const cimxml::Exception& e) {
        logger.log("Cleanup Listner failed: %s", e.getMessage().c_str());
        result = 1;
    }
    return result;
}

int deleteIndicationSubcription(CIMClient& client)
{
    FnLogger logger("deleteIndicationSubcription", AEN_LOG_FILE);
    try {
        deleteSubscriptionInstance(client, kFilterName, kHandlerName);
    } catch (const cimxml::Exception& e) {
        logger.log("Delete Subscription failed: %s", e.getMessage().c_str());
        return 1;
    }
    return 0;
}

void AenDaemonStartConsumerNProcessEvent()
{
    FnLogger logger("AenDaemonStartConsumerNProcessEvent()", AEN_LOG_FILE);
    char host[AEN_CREDENTIAL_SIZE] = {};
    char user[AEN_CREDENTIAL_SIZE] = {};
    char password[AEN_CREDENTIAL_SIZE] = {};
    int port = 0;
    unsigned listenerPort = 0;
    if (getVMCIMOMDetails(host, user, password, &port, &listenerPort) != 0) {
        logger.log("Unable to get config details for VM CIMOM");
        AenStopProcessThread(logger, false);
        logger.log("EXIT :: AenDaemonStartConsumerNProcessEvent()");
        return;
    }
    if (::setenv(kEnvironmentSource, host, 1) != 0)
        logger.log("setenv() failed to set the host ip.");

    CIMClient client;
    if (!connectWithRetries(logger, client, host, port, user, password)) {
        AenStopProcessThread(logger, false);
        clearEventSource(logger);
        return;
    }
    deleteIndicationSubcription(client);
    cleanupIndicationListner(client);
    if (!subscribe(logger, client, listenerPort)) {
        clearEventSource(logger);
        return;
    }

    std::unique_ptr<cimxml::CIMListener> listener;
    std::unique_ptr<AendVMIndicationConsumer> consumer;
    try {
        listener.reset(new cimxml::CIMListener(listenerPort));
        consumer.reset(new AendVMIndicationConsumer(kConsumerName));
        listener->addConsumer(consumer.get());
        serveIndications(logger, *listener);
    } catch (const cimxml::Exception& e) {
        logger.log("Pegasus Exception: %s", e.getMessage().c_str());
        if (std::strstr(e.getMessage().c_str(), kBindFailed) != nullptr)
            logger.log("The Listener port may be in use. Please reconfigure it with 'configUtil' script.\n");
    }

    AenStopProcessThread(logger, true);
    unsubscribeOnNewConnection(logger, client, host, port, user, password);

    if (listener) {
        try {
            listener->stop();
        } catch (const cimxml::Exception& e) {
            logger.log("Pegasus Exception: %s", e.getMessage().c_str());
        }
    }
    listener.reset();
    consumer.reset();
    clearEventSource(logger);
    logger.log("EXIT :: AenDaemonStartConsumerNProcessEvent()");
}
