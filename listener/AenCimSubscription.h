#ifndef VYN_LISTENER_AENCIMSUBSCRIPTION_H
#define VYN_LISTENER_AENCIMSUBSCRIPTION_H

#include "listener/osal/Tov.h"
#include "platform/cim/CIMListener.h"
#include "platform/cim/CIMTypes.h"

namespace cimxml {
class CIMClient;
class CIMObjectPath;
}

// Where setupIndicationListner takes the host's addresses from; the machine's
// interfaces unless a test supplies its own.
typedef uint32_t (*AenHostAddressSource)(TovHostAddressList* list, uint32_t capacity);
extern AenHostAddressSource gAenHostAddressSource;

// Turns each delivered indication into a queued event record.
class AendVMIndicationConsumer : public cimxml::CIMIndicationConsumer {
public:
    explicit AendVMIndicationConsumer(const cimxml::String& name);
    ~AendVMIndicationConsumer() override;
    void consumeIndication(const cimxml::OperationContext& context, const cimxml::String& url,
                           const cimxml::CIMInstance& indication) override;

private:
    cimxml::String name_;
};

int setupIndicationListner(cimxml::CIMClient& client, cimxml::String& queryLanguage, unsigned listenerPort);
int setupIndicationSubscription(cimxml::CIMClient& client);
int cleanupIndicationListner(cimxml::CIMClient& client);
int deleteIndicationSubcription(cimxml::CIMClient& client);

// These let the CIM library's exceptions pass to the routines above.
void createFilterInstance(cimxml::CIMClient& client, const cimxml::String& name, const cimxml::String& query,
                          const cimxml::String& queryLanguage);
void createHandlerInstance(cimxml::CIMClient& client, const cimxml::String& name,
                           const cimxml::String& destination);
void createSubscriptionInstance(cimxml::CIMClient& client, const cimxml::CIMObjectPath& filter,
                                const cimxml::CIMObjectPath& handler);
void deleteFilterInstance(cimxml::CIMClient& client, const cimxml::String& name);
void deleteHandlerInstance(cimxml::CIMClient& client, const cimxml::String& name);
void deleteSubscriptionInstance(cimxml::CIMClient& client, const cimxml::String& filterName,
                                const cimxml::String& handlerName);

#endif
