#include "RaidModel/Interface/System.h"

#include "RaidModel/Interface/Adapter.h"
#include "common/SimpleXmlParser.h"

void System::buildChildren(SimpleXmlParser& parser)
{
    while (parser.parseNext()) {
        if (parser.tagIs(serializedName())) {
            if (parser.foundEndTag()) {
                return;
            }
            if (parser.getName() != nullptr) {
                getAttributes().Append(parser.getName(), parser.getValue());
            }
        } else if (parser.tagIs("Controller") && parser.foundStartTag()) {
            addChild(new Adapter(parser));
        }
    }
}
