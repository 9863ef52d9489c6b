#ifndef VYN_TESTS_PLATFORM_CIM_CIMSAMPLES_H
#define VYN_TESTS_PLATFORM_CIM_CIMSAMPLES_H

#include "platform/cim/Cim.h"

#include <string>

// The instances and paths the daemon sends, for host "mgmt01.example.com".
namespace cimsamples {

using namespace cimxml;

inline const char* host() { return "mgmt01.example.com"; }

inline CIMInstance filterInstance(const std::string& query = "SELECT * FROM VYN_EventIndication",
                                  const std::string& language = "WQL")
{
    CIMInstance i(CIMName("CIM_IndicationFilter"));
    i.addProperty(CIMProperty("SystemCreationClassName", CIMValue("CIM_ComputerSystem")));
    i.addProperty(CIMProperty("SystemName", CIMValue(host())));
    i.addProperty(CIMProperty("CreationClassName", CIMValue("CIM_IndicationFilter")));
    i.addProperty(CIMProperty("Name", CIMValue("TOVAendFilter01")));
    i.addProperty(CIMProperty("Query", CIMValue(query)));
    i.addProperty(CIMProperty("QueryLanguage", CIMValue(language)));
    i.addProperty(CIMProperty("SourceNamespace", CIMValue("root/interop")));
    return i;
}

inline CIMInstance handlerInstance(const std::string& destination = "http://192.0.2.10:5990")
{
    CIMInstance i(CIMName("CIM_IndicationHandlerCIMXML"));
    i.addProperty(CIMProperty("SystemCreationClassName", CIMValue("CIM_ComputerSystem")));
    i.addProperty(CIMProperty("SystemName", CIMValue(host())));
    i.addProperty(CIMProperty("CreationClassName", CIMValue("CIM_IndicationHandlerCIMXML")));
    i.addProperty(CIMProperty("Name", CIMValue("TOVAendHandler01")));
    i.addProperty(CIMProperty("Destination", CIMValue(destination)));
    return i;
}

// The subscription's paths, parsed from the daemon's texts.
inline CIMObjectPath filterPathFromText()
{
    return CIMObjectPath(std::string("CIM_IndicationFilter.CreationClassName=\"CIM_IndicationFilter\","
                                     "Name=\"TOVAendFilter01\",SystemCreationClassName=\"") +
                         "CIM_ComputerSystem" + "\",SystemName=\"" + host() + "\"");
}

inline CIMObjectPath handlerPathFromText()
{
    return CIMObjectPath(std::string("CIM_IndicationHandlerCIMXML.CreationClassName=\"CIM_IndicationHandlerCIMXML\","
                                     "Name=\"TOVAendHandler01\",SystemCreationClassName=\"") +
                         "CIM_ComputerSystem" + "\",SystemName=\"" + host() + "\"");
}

inline CIMInstance subscriptionInstance()
{
    CIMInstance i(CIMName("CIM_IndicationSubscription"));
    i.addProperty(CIMProperty("Filter", filterPathFromText(), 0, CIMName("CIM_IndicationFilter")));
    i.addProperty(CIMProperty("Handler", handlerPathFromText(), 0, CIMName("CIM_IndicationHandlerCIMXML")));
    i.addProperty(CIMProperty("SubscriptionState", CIMValue(Uint16(2))));
    return i;
}

// Deletion paths, built from key bindings as the daemon does.
inline CIMObjectPath keyPath(const char* className, const char* name)
{
    std::vector<CIMKeyBinding> keys{
        CIMKeyBinding("SystemCreationClassName", "CIM_ComputerSystem", CIMKeyBinding::STRING),
        CIMKeyBinding("SystemName", host(), CIMKeyBinding::STRING),
        CIMKeyBinding("CreationClassName", className, CIMKeyBinding::STRING),
        CIMKeyBinding("Name", name, CIMKeyBinding::STRING)};
    return CIMObjectPath("", CIMNamespaceName(), CIMName(className), keys);
}

inline CIMObjectPath filterDeletePath() { return keyPath("CIM_IndicationFilter", "TOVAendFilter01"); }
inline CIMObjectPath handlerDeletePath() { return keyPath("CIM_IndicationHandlerCIMXML", "TOVAendHandler01"); }

inline CIMObjectPath subscriptionDeletePath()
{
    std::vector<CIMKeyBinding> keys{
        CIMKeyBinding("Filter", filterDeletePath().toString(), CIMKeyBinding::REFERENCE),
        CIMKeyBinding("Handler", handlerDeletePath().toString(), CIMKeyBinding::REFERENCE)};
    return CIMObjectPath("", CIMNamespaceName(), CIMName("CIM_IndicationSubscription"), keys);
}

}  // namespace cimsamples

#endif
