#ifndef VYN_COMMON_STOREVENT_H
#define VYN_COMMON_STOREVENT_H

#include <cstdint>

#include "common/Addr.h"
#include "common/Buffer.h"
#include "common/ByRefArray.h"
#include "common/SimpleXmlParser.h"

class XMLWriter;

// One controller event as the library hands it to callers: its main fields
// and every attribute of its XML element. The texts point into the owning
// collection's text buffer or at constants; the event owns none of them.
class StorEvent {
public:
    StorEvent();
    StorEvent(const StorEvent& other);
    StorEvent& operator=(const StorEvent& other);
    ~StorEvent();

    // <event eventNumber="..." and the attributes/> and a newline.
    void StorEventToXML(XMLWriter& writer) const;

    int32_t eventCode;
    const char* eventType;
    uint32_t date;
    Addr eventAddr;
    // The category code ("containerEventCode", "batteryEventCode", ...) and
    // the matching type text.
    int32_t detailCode;
    const char* detailType;
    int32_t subTypeCode;
    uint32_t eventNumber;
    XmlAttributeList_C attributes;
};

// The events of one poll together with the event XML text they point into.
// Unlike its base, the collection destroys the events it drops, so that
// their attribute storage is released on every clear.
class StorEventCollection : public ByRefArray_TC<StorEvent> {
public:
    StorEventCollection(unsigned long initialCount, unsigned long growCount, unsigned long textBytes);
    ~StorEventCollection();

    void RemoveAll();
    void clear() { RemoveAll(); }

    DynamicBuffer& getText() { return text; }

private:
    void destroyEvents();

    DynamicBuffer text;
};

#endif
