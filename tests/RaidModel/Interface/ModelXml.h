#ifndef VYN_TESTS_RAIDMODEL_INTERFACE_MODELXML_H
#define VYN_TESTS_RAIDMODEL_INTERFACE_MODELXML_H

#include <string>
#include <vector>

#include "RaidModel/Interface/RaidObject.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

namespace vyntest {

// The XML of a node and its subtree as the tree writer produces it.
inline std::string xmlOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    static_cast<Writer&>(writer).writeTree(node);
    return text != nullptr ? std::string(text) : std::string();
}

// Only the attributes a node writes itself, as ` name="value"` pairs.
inline std::string attributesOf(const RaidObject& node)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    node.writeTo(&writer);
    return text != nullptr ? std::string(text) : std::string();
}

// An in-place parser over its own copy of the text, standing on the first
// element as the builders expect it.
class ParsedXml {
public:
    explicit ParsedXml(const std::string& xml) : text_(xml.begin(), xml.end())
    {
        parser_.attach(text_.data(), text_.size());
        parser_.parseNext();
    }
    SimpleXmlParser& parser() { return parser_; }

private:
    std::vector<char> text_;
    SimpleXmlParser parser_;
};

}  // namespace vyntest

#endif
