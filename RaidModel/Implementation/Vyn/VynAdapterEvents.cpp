// Live events of the controller: drained from the firmware interface by
// polling, rendered as an event list and, on request, parsed into records.
#include <cstring>
#include <string>

#include "Command/Vyn/common/fa_async.h"
#include "Command/Vyn/os/HostIo.h"
#include "RaidModel/Implementation/Vyn/FsaExports.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "RaidModel/Implementation/Vyn/VynErrorTexts.h"
#include "common/Ret.h"
#include "common/SimpleXmlParser.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/StorEvent.h"
#include "common/XMLWriter.h"

namespace {

constexpr FSA_STATUS kNoPendingEvent = 336;
// A freshly opened controller may need a moment before its first event.
constexpr unsigned kFirstPollPauseMs = 1000;

enum class EventField {
    Date,
    Type,
    Code,
    Controller,
    Array,
    LogicalDrive,
    Channel,
    Device,
    Chunk,
    DetailCode,
    DetailType,
    SubTypeCode,
    StatusBits,
};

struct FieldName {
    const char* name;
    EventField field;
};

const FieldName kFields[] = {
    {"Date", EventField::Date},
    {"eventType", EventField::Type},
    {"eventCode", EventField::Code},
    {"controllerID", EventField::Controller},
    {"arrayID", EventField::Array},
    {"logicalDriveID", EventField::LogicalDrive},
    {"channelID", EventField::Channel},
    {"deviceID", EventField::Device},
    {"chunkID", EventField::Chunk},
    {"containerEventCode", EventField::DetailCode},
    {"enclosureEventCode", EventField::DetailCode},
    {"batteryEventCode", EventField::DetailCode},
    {"smartEventCode", EventField::DetailCode},
    {"diskSetEventCode", EventField::DetailCode},
    {"containerScsiEventCode", EventField::DetailCode},
    {"groupCode", EventField::DetailCode},
    {"taskFunctionCode", EventField::DetailCode},
    {"containerEventType", EventField::DetailType},
    {"enclosureEventType", EventField::DetailType},
    {"batteryEventType", EventField::DetailType},
    {"smartEventType", EventField::DetailType},
    {"diskSetEventType", EventField::DetailType},
    {"containerScsiEventType", EventField::DetailType},
    {"groupType", EventField::DetailType},
    {"taskFunctionType", EventField::DetailType},
    {"subTypeCode", EventField::SubTypeCode},
    {"status_bits", EventField::StatusBits},
};

void setField(StorEvent& event, const SimpleXmlParser& parser)
{
    const char* name = parser.getName();
    for (const FieldName& entry : kFields) {
        // Most attributes set no field; their first letter rules most out.
        if (entry.name[0] != name[0] || std::strcmp(entry.name, name) != 0)
            continue;
        switch (entry.field) {
        case EventField::Date: event.date = static_cast<uint32_t>(parser.getULONG()); break;
        case EventField::Type: event.eventType = parser.getValue(); break;
        case EventField::Code: event.eventCode = static_cast<int32_t>(parser.getLONG()); break;
        case EventField::Controller: event.eventAddr.setAdapterID(static_cast<uint32_t>(parser.getULONG())); break;
        case EventField::Array: event.eventAddr.setArrayID(static_cast<uint32_t>(parser.getULONG())); break;
        case EventField::LogicalDrive:
            event.eventAddr.setLogicalDriveID(static_cast<uint32_t>(parser.getULONG()));
            break;
        case EventField::Channel: event.eventAddr.setChannelID(static_cast<uint32_t>(parser.getULONG())); break;
        case EventField::Device: event.eventAddr.setDeviceID(static_cast<uint32_t>(parser.getULONG())); break;
        case EventField::Chunk: event.eventAddr.setChunkID(parser.getULONG()); break;
        case EventField::DetailCode: event.detailCode = static_cast<int32_t>(parser.getLONG()); break;
        case EventField::DetailType: event.detailType = parser.getValue(); break;
        case EventField::SubTypeCode: event.subTypeCode = static_cast<int32_t>(parser.getLONG()); break;
        case EventField::StatusBits:
            event.detailCode = static_cast<int32_t>(parser.getLONG());
            event.detailType = "status.status_bits";
            break;
        }
        return;
    }
}

// A new default event at the end of the collection. The array grows by its
// own size, so that appending stays linear in the number of events however
// small a step the collection was given.
StorEvent* appendEvent(StorEventCollection& events)
{
    if (events.BytesAvailable() < sizeof(StorEvent)) {
        const unsigned long used = events.BytesUsed();
        if (used >= sizeof(StorEvent) && used <= 0x7FFFFFFFul)
            events.AllocTo(2 * used);
    }
    events.InsertBack(StorEvent());
    return events.Obj_P(events.LastIndex());
}

// Reads the event list in place: one record per `event` element, in order,
// each with every attribute in its list.
void parseEventList(StorEventCollection& events, char* text, unsigned long length)
{
    SimpleXmlParser parser(text, length);
    StorEvent* current = nullptr;
    while (parser.parseNext()) {
        if (!parser.tagIs("event"))
            continue;
        if (parser.foundStartTag())
            current = appendEvent(events);
        if (current == nullptr || (parser.getFlags() & SimpleXmlParser::FOUND_ATTRIBUTE) == 0)
            continue;
        setField(*current, parser);
        current->attributes.Append(parser.getName(), parser.getValue());
    }
}

}  // namespace

Ret VynAdapter::getEvents(std::string& xml) { return Adapter::getEvents(xml); }

Ret VynAdapter::getEvents(unsigned long /*startEventNumber*/, std::string& xml)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getEvents(ULONG, std::string&)");
    Ret ret(0);
    try {
        char* text = nullptr;
        XMLWriter writer(&text);
        writer.writeRawString("<eventlog>\n");
        unsigned long count = 0;
        FSA_STATUS status = FSA_STS_SUCCESS;
        bool failed = false;
        tag_FSA_EVENT record;
        try {
            for (;;) {
                std::memset(&record, 0, sizeof record);
                status = fsaExports().FsaPollForEvent(getAdapterHandle(), sizeof record, &record);
                if (status == FSA_STS_SUCCESS) {
                    firstEventPoll = false;
                    GetXmlFromFsaEvent(record, &writer, ret);
                    if (ret.getReturn() != 0)
                        break;
                    ++count;
                } else if (status == kNoPendingEvent && firstEventPoll) {
                    hostIo().sleepMs(kFirstPollPauseMs);
                    firstEventPoll = false;
                } else {
                    break;
                }
            }
        } catch (...) {
            failed = true;
            vynerror::exception(ret);
        }
        writer.writeRawString("</eventlog>\n");
        if (count > 0)
            StorEventPrintf(getStorLibType(), text);
        xml.assign(text != nullptr ? text : "", writer.getStrSize());
        if (!failed && status != FSA_STS_SUCCESS && status != kNoPendingEvent)
            vynerror::apiError(ret, "FsaPollForEvent(x,x,x)", status);
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getEvents(unsigned long startEventNumber, std::vector<GenericRecord>& events)
{
    return Adapter::getEvents(startEventNumber, events);
}

Ret VynAdapter::getEvents(StorEventCollection& events)
{
    StorDebugTracer trace(STORLIB_TYPE_VYN, STOR_DEBUG_TRACE, "VynAdapter::getEvents(StorEventCollection&)");
    Ret ret(0);
    try {
        // The collection's own clear: it ends the lives of the events it
        // drops, which its base's would not.
        events.clear();
        std::string xml;
        ret = getEvents(0, xml);
        if (ret.getReturn() != 0)
            return ret;
        if (xml.size() >= 0xFFFFFFFFul) {
            vynerror::resourceError(ret, "event list text");
            return ret;
        }
        DynamicBuffer& buffer = events.getText();
        if (buffer.Size() < xml.size())
            buffer.Alloc(xml.size() + 1);
        // The buffer may be longer than this text, left from an earlier
        // call: what lies past the text is not this call's events.
        const unsigned long length = xml.size() < buffer.Size() ? xml.size() : buffer.Size();
        if (length != 0) {
            char* text = static_cast<char*>(buffer.Buffer());
            std::memcpy(text, xml.data(), length);
            parseEventList(events, text, length);
        }
    } catch (...) {
        vynerror::exception(ret);
    }
    return ret;
}

Ret VynAdapter::getEvents(unsigned long startEventNumber, StorEventCollection& events)
{
    return Adapter::getEvents(startEventNumber, events);
}
