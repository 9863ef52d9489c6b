#ifndef VYN_RAIDMODEL_INTERFACE_XMLELEMENTREADER_H
#define VYN_RAIDMODEL_INTERFACE_XMLELEMENTREADER_H

#include "RaidModel/Interface/RaidObject.h"
#include "common/SimpleXmlParser.h"

// Passes over the element of name `tag` whose start tag the parser stands on,
// up to and including its end, however deeply elements of the same name nest
// inside it.
inline void skipXmlElement(SimpleXmlParser& parser, const char* tag)
{
    if (!parser.foundStartTag() || parser.foundEndTag()) {
        return;
    }
    unsigned long open = 1;
    while (open != 0 && parser.parseNext()) {
        if (!parser.tagIs(tag)) {
            continue;
        }
        if (parser.foundStartTag()) {
            if (!parser.foundEndTag()) {
                ++open;
            }
        } else if (parser.foundEndTag()) {
            --open;
        }
    }
}

// Reads the element the parser stands on into `node`, as every builder of the
// tree does: the element's own attributes go to the node's attribute list,
// each child start tag is offered to `onChild` (which builds and adds the
// child, consuming its element, or ignores it), and the element's end tag
// ends the walk. Only the first start tag of the element's name is its own:
// a later one opens a nested element, which is a child like any other, and
// one that `onChild` leaves alone is passed over whole, so that its
// attributes and its end are never taken for the element's own. Malformed
// text throws from the parser; the children built so far are freed first,
// because nothing else owns them yet.
template <typename OnChild>
void readXmlElement(RaidObject& node, SimpleXmlParser& parser, const char* ownTag, OnChild&& onChild)
{
    try {
        bool inside = false;
        do {
            if (parser.tagIs(ownTag) && !(inside && parser.foundStartTag())) {
                inside = true;
                if (parser.foundEndTag()) {
                    return;
                }
                if (parser.getName() != nullptr) {
                    node.getAttributes().Append(parser.getName(), parser.getValue());
                }
            } else if (parser.foundStartTag()) {
                onChild(parser);
                if (parser.tagIs(ownTag) && parser.foundStartTag()) {
                    skipXmlElement(parser, ownTag);
                }
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
