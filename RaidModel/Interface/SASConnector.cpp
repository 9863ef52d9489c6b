#include "RaidModel/Interface/SASConnector.h"

#include <cstring>

#include "RaidModel/Interface/ModelText.h"
#include "RaidModel/Interface/XmlElementReader.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

namespace {

void readID(const XmlAttributeList_C& attributes, const char* name, std::int32_t& field)
{
    if (attributes.Exists(name)) {
        field = static_cast<std::int32_t>(attributes.GetLong(name));
    }
}

void readText(const XmlAttributeList_C& attributes, const char* name, char (&field)[SASConnector::TEXT_SIZE])
{
    if (attributes.Exists(name)) {
        copyTextField(field, attributes.GetValue(name));
    }
}

}  // namespace

SASConnector::SASConnector()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SASConnector::SASConnector()");
}

// "channelID", "deviceID" and "phyID" are also base attribute names, so they
// land in the node's address as well.
SASConnector::SASConnector(SimpleXmlParser& parser)
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SASConnector::SASConnector(Adapter *, SimpleXmlParser &)");
    getAttributes().setInitElements(64);
    readXmlElement(*this, parser, "SASConnector", [](SimpleXmlParser&) {});
    initBaseAttributes();
    const XmlAttributeList_C& a = getAttributes();
    readID(a, "channelID", channelID);
    readID(a, "deviceID", deviceID);
    readID(a, "laneID", laneID);
    readID(a, "phyID", phyID);
    readID(a, "connectorID", connectorID);
    readID(a, "connectorType", connectorType);
    readText(a, "SASaddress", sasAddress);
    readText(a, "connectorName", connectorName);
}

SASConnector::~SASConnector()
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "SASConnector::~SASConnector()");
}

bool SASConnector::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "SASConnector") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* SASConnector::typeName() const
{
    return "SASConnector";
}

const char* SASConnector::serializedName() const
{
    return "SASConnector";
}

void SASConnector::writeTo(Writer* writer) const
{
    RaidObject::writeTo(writer);
    writer->writeInt("channelID", channelID);
    writer->writeInt("deviceID", deviceID);
    writer->writeInt("laneID", laneID);
    writer->writeString("SASaddress", sasAddress);
    writer->writeInt("phyID", phyID);
    writer->writeInt("connectorID", connectorID);
    writer->writeInt("connectorType", connectorType);
    writer->writeString("connectorName", connectorName);
}
