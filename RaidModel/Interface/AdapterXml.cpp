#include "RaidModel/Interface/Adapter.h"

#include "RaidModel/Interface/XmlElementReader.h"

// Reads the "Controller" element's own attributes: its identity and its
// features. Its children are not built here yet: they are skipped.
void Adapter::build(SimpleXmlParser& parser)
{
    delete features;
    features = new AdapterFeatures();
    readXmlElement(*this, parser, "Controller", [](SimpleXmlParser&) {});
    if (features != nullptr) {
        features->initFromXML(getAttributes());
    }
    const XmlAttributeList_C& a = getAttributes();
    if (a.Exists("storlibType")) {
        setStorLibType(static_cast<EnumStorLibType>(a.GetULong("storlibType")));
    }
    if (a.Exists("controllerID")) {
        setAdapterID(a.GetULong("controllerID"));
    }
}
