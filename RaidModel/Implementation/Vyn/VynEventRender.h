#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNEVENTRENDER_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNEVENTRENDER_H

#include <cstdint>

#include "Command/Vyn/common/fa_async.h"

class Addr;
class XMLWriter;

// One controller event record written as the attributes of an `event`
// element. Each class writes everything in its constructor, the three base
// attributes first; the objects are not looked at afterwards but for the
// type name, so none is polymorphic.
class VynEvent {
public:
    VynEvent(const tag_FSA_EVENT& event, XMLWriter* writer);

    // The class's name from the event-class table, "UNKNOWN" when absent.
    const char* getEventType() const { return eventType; }

    // The name of an event class, "UNKNOWN" when the table has none.
    static const char* eventTypeName(uint32_t eventClass);

protected:
    uint32_t eventClass;
    const char* eventType;
};

class VynContainerEvent : public VynEvent {
public:
    VynContainerEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynEnclosureManagementEvent : public VynEvent {
public:
    VynEnclosureManagementEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynBatteryChangeEvent : public VynEvent {
public:
    VynBatteryChangeEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynJobProgressEvent : public VynEvent {
public:
    VynJobProgressEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynSmartEvent : public VynEvent {
public:
    VynSmartEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynDiskSetEvent : public VynEvent {
public:
    VynDiskSetEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynAdapterTextEvent : public VynEvent {
public:
    VynAdapterTextEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynContainerScsiEvent : public VynEvent {
public:
    VynContainerScsiEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynEnhancedBatteryChangeEvent : public VynEvent {
public:
    VynEnhancedBatteryChangeEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

// The firmware's parameter words of an event the interface could not
// translate. The record has room for 80 of them; a larger count is cut there.
class VynUnrecognizedFwEvent : public VynEvent {
public:
    static constexpr uint32_t MAX_PARAMETERS = 80;
    VynUnrecognizedFwEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynGeneralUpdateEvent : public VynEvent {
public:
    VynGeneralUpdateEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer);
};

// Expanded events: the group attributes, then each group's subtype.
class VynExpandedEvent : public VynEvent {
public:
    VynExpandedEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynExpandedFirmwareEvent : public VynExpandedEvent {
public:
    VynExpandedFirmwareEvent(const tag_FSA_EVENT& event, XMLWriter* writer);
};

class VynExpandedScsiEvent : public VynExpandedEvent {
public:
    VynExpandedScsiEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer);
};

class VynExpandedContainerEvent : public VynExpandedEvent {
public:
    VynExpandedContainerEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer);
};

class VynExpandedClusterEvent : public VynExpandedEvent {
public:
    VynExpandedClusterEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer);
};

class VynExpandedEnclosureEvent : public VynExpandedEvent {
public:
    VynExpandedEnclosureEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer);
};

class VynExpandedGenericEvent : public VynExpandedEvent {
public:
    VynExpandedGenericEvent(const tag_FSA_EVENT& event, Addr& addr, XMLWriter* writer);
};

#endif
