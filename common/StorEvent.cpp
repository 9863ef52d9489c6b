#include "common/StorEvent.h"

#include "common/XMLWriter.h"

namespace {

const char EMPTY_TEXT[] = "";
const int32_t NO_DETAIL_CODE = 0x7FFFFFFF;
const unsigned long ATTRIBUTE_GROWTH = 8;

} // namespace

StorEvent::StorEvent()
    : eventCode(0), eventType(EMPTY_TEXT), date(0), eventAddr(), detailCode(NO_DETAIL_CODE), detailType(EMPTY_TEXT),
      subTypeCode(0), eventNumber(0), attributes(0, ATTRIBUTE_GROWTH)
{
}

StorEvent::StorEvent(const StorEvent& other)
    : eventCode(other.eventCode), eventType(other.eventType), date(other.date), eventAddr(other.eventAddr),
      detailCode(other.detailCode), detailType(other.detailType), subTypeCode(other.subTypeCode),
      eventNumber(other.eventNumber), attributes(other.attributes)
{
}

StorEvent& StorEvent::operator=(const StorEvent& other)
{
    eventCode = other.eventCode;
    eventType = other.eventType;
    date = other.date;
    eventAddr = other.eventAddr;
    detailCode = other.detailCode;
    detailType = other.detailType;
    subTypeCode = other.subTypeCode;
    eventNumber = other.eventNumber;
    attributes = other.attributes;
    return *this;
}

StorEvent::~StorEvent() = default;

void StorEvent::StorEventToXML(XMLWriter& writer) const
{
    writer.addTag("<event");
    writer.writeULong("eventNumber", eventNumber);
    for (unsigned long i = 0; i < attributes.NumEntries(); ++i)
        writer.writeString(attributes.GetName(i), attributes.GetValue(i));
    writer.addTag("/>\n");
}

StorEventCollection::StorEventCollection(unsigned long initialCount, unsigned long growCount,
                                         unsigned long textBytes)
    : ByRefArray_TC<StorEvent>(initialCount * sizeof(StorEvent), growCount * sizeof(StorEvent)), text(textBytes)
{
}

StorEventCollection::~StorEventCollection()
{
    destroyEvents();
}

void StorEventCollection::RemoveAll()
{
    destroyEvents();
    ByRefArray_TC<StorEvent>::RemoveAll();
}

void StorEventCollection::destroyEvents()
{
    for (long i = 0; i <= LastIndex(); ++i)
        Obj_P(i)->~StorEvent();
}
