#include "RaidModel/Implementation/Vyn/VynAdapter.h"

// Not available yet: each answers as the model does.

Ret VynAdapter::getEvents(std::string& xml) { return Adapter::getEvents(xml); }
Ret VynAdapter::getEvents(unsigned long startEventNumber, std::string& xml)
{
    return Adapter::getEvents(startEventNumber, xml);
}
Ret VynAdapter::getEvents(unsigned long startEventNumber, std::vector<GenericRecord>& events)
{
    return Adapter::getEvents(startEventNumber, events);
}
Ret VynAdapter::getEvents(StorEventCollection& events) { return Adapter::getEvents(events); }
Ret VynAdapter::getEvents(unsigned long startEventNumber, StorEventCollection& events)
{
    return Adapter::getEvents(startEventNumber, events);
}
