#include "platform/cim/HttpText.h"

namespace cimxml {
namespace http {

String lower(String s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

String trim(const String& s)
{
    std::size_t b = s.find_first_not_of(" \t\r\n");
    if (b == String::npos)
        return String();
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

bool isXmlContentType(const String& value)
{
    String v = lower(value);
    std::size_t semicolon = v.find(';');
    String media = trim(v.substr(0, semicolon));
    if (media != "application/xml" && media != "text/xml")
        return false;
    while (semicolon != String::npos) {
        std::size_t next = v.find(';', semicolon + 1);
        String param = trim(v.substr(semicolon + 1, next == String::npos ? String::npos : next - semicolon - 1));
        semicolon = next;
        std::size_t eq = param.find('=');
        if (eq == String::npos || trim(param.substr(0, eq)) != "charset")
            continue;
        String charset = trim(param.substr(eq + 1));
        if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"')
            charset = charset.substr(1, charset.size() - 2);
        if (charset != "utf-8")
            return false;
    }
    return true;
}

}  // namespace http
}  // namespace cimxml
