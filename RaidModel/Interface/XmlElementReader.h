#ifndef VYN_RAIDMODEL_INTERFACE_XMLELEMENTREADER_H
#define VYN_RAIDMODEL_INTERFACE_XMLELEMENTREADER_H

#include "RaidModel/Interface/RaidObject.h"
#include "common/SimpleXmlParser.h"

// Reads the element the parser stands on into `node`, as every builder of the
// tree does: the element's own attributes go to the node's attribute list,
// each child start tag is offered to `onChild` (which builds and adds the
// child, consuming its element, or ignores it), and the element's end tag
// ends the walk. Malformed text throws from the parser; the children built so
// far are freed first, because nothing else owns them yet.
template <typename OnChild>
void readXmlElement(RaidObject& node, SimpleXmlParser& parser, const char* ownTag, OnChild&& onChild)
{
    try {
        do {
            if (parser.tagIs(ownTag)) {
                if (parser.foundEndTag()) {
                    return;
                }
                if (parser.getName() != nullptr) {
                    node.getAttributes().Append(parser.getName(), parser.getValue());
                }
            } else if (parser.foundStartTag()) {
                onChild(parser);
            }
        } while (parser.parseNext());
    } catch (...) {
        node.deleteAllChildren();
        throw;
    }
}

// The element's name as the parser saw it on entry, so that a node read from
// an element of another name (a generic "PhysicalDevice", say) finds its end.
inline const char* currentXmlTag(const SimpleXmlParser& parser, const char* fallback)
{
    return parser.getTag() != nullptr ? parser.getTag() : fallback;
}

#endif
