#ifndef VYN_PLATFORM_CIM_HTTPTEXT_H
#define VYN_PLATFORM_CIM_HTTPTEXT_H

#include "platform/cim/CIMTypes.h"

// Header texts as both sides of CIM-XML over HTTP read them.
namespace cimxml {
namespace http {

// ASCII lower case; header names and media types compare without case.
String lower(String s);
// Without leading and trailing blanks, tabs and line ends (XML white space
// too, so value texts use it as well).
String trim(const String& s);
// application/xml or text/xml; a charset parameter, if any, must say utf-8.
bool isXmlContentType(const String& value);

}  // namespace http
}  // namespace cimxml

#endif
