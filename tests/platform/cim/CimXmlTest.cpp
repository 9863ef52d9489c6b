#include "CimSamples.h"

#include "platform/cim/CimXml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cimxml;
using namespace cimsamples;

namespace {

const std::string kFilterRequest = R"(<?xml version="1.0" encoding="utf-8"?>
<CIM CIMVERSION="2.0" DTDVERSION="2.0">
<MESSAGE ID="1001" PROTOCOLVERSION="1.0"><SIMPLEREQ>
<IMETHODCALL NAME="CreateInstance">
<LOCALNAMESPACEPATH><NAMESPACE NAME="root"/><NAMESPACE NAME="interop"/></LOCALNAMESPACEPATH>
<IPARAMVALUE NAME="NewInstance">
<INSTANCE CLASSNAME="CIM_IndicationFilter">
<PROPERTY NAME="SystemCreationClassName" TYPE="string"><VALUE>CIM_ComputerSystem</VALUE></PROPERTY>
<PROPERTY NAME="SystemName" TYPE="string"><VALUE>mgmt01.example.com</VALUE></PROPERTY>
<PROPERTY NAME="CreationClassName" TYPE="string"><VALUE>CIM_IndicationFilter</VALUE></PROPERTY>
<PROPERTY NAME="Name" TYPE="string"><VALUE>TOVAendFilter01</VALUE></PROPERTY>
<PROPERTY NAME="Query" TYPE="string"><VALUE>SELECT * FROM VYN_EventIndication</VALUE></PROPERTY>
<PROPERTY NAME="QueryLanguage" TYPE="string"><VALUE>WQL</VALUE></PROPERTY>
<PROPERTY NAME="SourceNamespace" TYPE="string"><VALUE>root/interop</VALUE></PROPERTY>
</INSTANCE>
</IPARAMVALUE>
</IMETHODCALL>
</SIMPLEREQ></MESSAGE>
</CIM>
)";

const std::string kHandlerInstance = R"(<INSTANCE CLASSNAME="CIM_IndicationHandlerCIMXML">
<PROPERTY NAME="SystemCreationClassName" TYPE="string"><VALUE>CIM_ComputerSystem</VALUE></PROPERTY>
<PROPERTY NAME="SystemName" TYPE="string"><VALUE>mgmt01.example.com</VALUE></PROPERTY>
<PROPERTY NAME="CreationClassName" TYPE="string"><VALUE>CIM_IndicationHandlerCIMXML</VALUE></PROPERTY>
<PROPERTY NAME="Name" TYPE="string"><VALUE>TOVAendHandler01</VALUE></PROPERTY>
<PROPERTY NAME="Destination" TYPE="string"><VALUE>http://192.0.2.10:5990</VALUE></PROPERTY>
</INSTANCE>
)";

const std::string kFilterName = R"(<INSTANCENAME CLASSNAME="CIM_IndicationFilter">
<KEYBINDING NAME="CreationClassName"><KEYVALUE VALUETYPE="string">CIM_IndicationFilter</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="Name"><KEYVALUE VALUETYPE="string">TOVAendFilter01</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="SystemCreationClassName"><KEYVALUE VALUETYPE="string">CIM_ComputerSystem</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="SystemName"><KEYVALUE VALUETYPE="string">mgmt01.example.com</KEYVALUE></KEYBINDING>
</INSTANCENAME>
)";

const std::string kHandlerName = R"(<INSTANCENAME CLASSNAME="CIM_IndicationHandlerCIMXML">
<KEYBINDING NAME="CreationClassName"><KEYVALUE VALUETYPE="string">CIM_IndicationHandlerCIMXML</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="Name"><KEYVALUE VALUETYPE="string">TOVAendHandler01</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="SystemCreationClassName"><KEYVALUE VALUETYPE="string">CIM_ComputerSystem</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="SystemName"><KEYVALUE VALUETYPE="string">mgmt01.example.com</KEYVALUE></KEYBINDING>
</INSTANCENAME>
)";

const std::string kSubscriptionInstance =
    "<INSTANCE CLASSNAME=\"CIM_IndicationSubscription\">\n"
    "<PROPERTY.REFERENCE NAME=\"Filter\" REFERENCECLASS=\"CIM_IndicationFilter\"><VALUE.REFERENCE>\n" +
    kFilterName +
    "</VALUE.REFERENCE></PROPERTY.REFERENCE>\n"
    "<PROPERTY.REFERENCE NAME=\"Handler\" REFERENCECLASS=\"CIM_IndicationHandlerCIMXML\"><VALUE.REFERENCE>\n" +
    kHandlerName +
    "</VALUE.REFERENCE></PROPERTY.REFERENCE>\n"
    "<PROPERTY NAME=\"SubscriptionState\" TYPE=\"uint16\"><VALUE>2</VALUE></PROPERTY>\n"
    "</INSTANCE>\n";

const std::string kHandlerDeleteRequest = R"(<?xml version="1.0" encoding="utf-8"?>
<CIM CIMVERSION="2.0" DTDVERSION="2.0">
<MESSAGE ID="1002" PROTOCOLVERSION="1.0"><SIMPLEREQ>
<IMETHODCALL NAME="DeleteInstance">
<LOCALNAMESPACEPATH><NAMESPACE NAME="root"/><NAMESPACE NAME="interop"/></LOCALNAMESPACEPATH>
<IPARAMVALUE NAME="InstanceName">
<INSTANCENAME CLASSNAME="CIM_IndicationHandlerCIMXML">
<KEYBINDING NAME="SystemCreationClassName"><KEYVALUE VALUETYPE="string">CIM_ComputerSystem</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="SystemName"><KEYVALUE VALUETYPE="string">mgmt01.example.com</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="CreationClassName"><KEYVALUE VALUETYPE="string">CIM_IndicationHandlerCIMXML</KEYVALUE></KEYBINDING>
<KEYBINDING NAME="Name"><KEYVALUE VALUETYPE="string">TOVAendHandler01</KEYVALUE></KEYBINDING>
</INSTANCENAME>
</IPARAMVALUE>
</IMETHODCALL>
</SIMPLEREQ></MESSAGE>
</CIM>
)";

const std::string kExportRequest = R"(<?xml version="1.0" encoding="utf-8"?>
<CIM CIMVERSION="2.0" DTDVERSION="2.0">
<MESSAGE ID="87001" PROTOCOLVERSION="1.0"><SIMPLEEXPREQ>
<EXPMETHODCALL NAME="ExportIndication">
<EXPPARAMVALUE NAME="NewIndication">
<INSTANCE CLASSNAME="VYN_EventIndication">
<PROPERTY NAME="eventTime" TYPE="string"><VALUE>12/09/2026 09:35:44</VALUE></PROPERTY>
<PROPERTY NAME="eventCode" TYPE="uint32"><VALUE>1025</VALUE></PROPERTY>
<PROPERTY NAME="eventType" TYPE="uint32"><VALUE>2</VALUE></PROPERTY>
<PROPERTY NAME="eventDesc" TYPE="string"><VALUE>Example event text</VALUE></PROPERTY>
<PROPERTY NAME="identifier" TYPE="string"><VALUE>ctl0</VALUE></PROPERTY>
</INSTANCE>
</EXPPARAMVALUE>
</EXPMETHODCALL>
</SIMPLEEXPREQ></MESSAGE>
</CIM>
)";

const std::string kExportResponse = R"(<?xml version="1.0" encoding="utf-8"?>
<CIM CIMVERSION="2.0" DTDVERSION="2.0">
<MESSAGE ID="87001" PROTOCOLVERSION="1.0"><SIMPLEEXPRSP>
<EXPMETHODRESPONSE NAME="ExportIndication"/>
</SIMPLEEXPRSP></MESSAGE>
</CIM>
)";

const std::string kDeleteResponse = R"(<?xml version="1.0" encoding="utf-8"?>
<CIM CIMVERSION="2.0" DTDVERSION="2.0">
<MESSAGE ID="1002" PROTOCOLVERSION="1.0"><SIMPLERSP>
<IMETHODRESPONSE NAME="DeleteInstance"/>
</SIMPLERSP></MESSAGE>
</CIM>
)";

std::string envelope(const std::string& id, const std::string& inner)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">\n"
           "<MESSAGE ID=\"" + id + "\" PROTOCOLVERSION=\"1.0\">" + inner + "</MESSAGE>\n</CIM>\n";
}

std::string createRequestAround(const std::string& instanceXml)
{
    std::string out = kFilterRequest;
    std::size_t begin = out.find("<INSTANCE ");
    std::size_t end = out.find("</INSTANCE>\n") + std::string("</INSTANCE>\n").size();
    return out.replace(begin, end - begin, instanceXml);
}

std::string responseWith(const std::string& id, const std::string& method, const std::string& inner)
{
    return envelope(id, "<SIMPLERSP>\n<IMETHODRESPONSE NAME=\"" + method + "\">" + inner +
                            "</IMETHODRESPONSE>\n</SIMPLERSP>");
}

TEST(CimXmlWireTest, RequestsMatchTheExchangedBytes)
{
    CIMNamespaceName interop("root/interop");
    EXPECT_EQ(xml::createInstanceRequest("1001", interop, filterInstance()), kFilterRequest);
    EXPECT_EQ(xml::createInstanceRequest("1001", interop, handlerInstance()), createRequestAround(kHandlerInstance));
    EXPECT_EQ(xml::createInstanceRequest("1001", interop, subscriptionInstance()),
              createRequestAround(kSubscriptionInstance));
    EXPECT_EQ(xml::deleteInstanceRequest("1002", interop, handlerDeletePath()), kHandlerDeleteRequest);

    std::string filterDelete = kHandlerDeleteRequest;
    for (auto [from, to] : {std::pair<std::string, std::string>{"CIM_IndicationHandlerCIMXML", "CIM_IndicationFilter"},
                            {"TOVAendHandler01", "TOVAendFilter01"}}) {
        for (std::size_t at; (at = filterDelete.find(from)) != std::string::npos;)
            filterDelete.replace(at, from.size(), to);
    }
    EXPECT_EQ(xml::deleteInstanceRequest("1002", interop, filterDeletePath()), filterDelete);

    EXPECT_EQ(xml::exportIndicationRequest("87001", [] {
                  CIMInstance i(CIMName("VYN_EventIndication"));
                  i.addProperty(CIMProperty("eventTime", CIMValue("12/09/2026 09:35:44")));
                  i.addProperty(CIMProperty("eventCode", CIMValue(Uint32(1025))));
                  i.addProperty(CIMProperty("eventType", CIMValue(Uint32(2))));
                  i.addProperty(CIMProperty("eventDesc", CIMValue("Example event text")));
                  i.addProperty(CIMProperty("identifier", CIMValue("ctl0")));
                  return i;
              }()),
              kExportRequest);
    EXPECT_EQ(xml::exportResponse("87001", "ExportIndication"), kExportResponse);
    EXPECT_EQ(xml::methodResponse("1002", "DeleteInstance", {}), kDeleteResponse);
    EXPECT_EQ(xml::methodErrorResponse("1002", "DeleteInstance", 6, "CIM_ERR_NOT_FOUND: object not found"),
              responseWith("1002", "DeleteInstance",
                           "<ERROR CODE=\"6\" DESCRIPTION=\"CIM_ERR_NOT_FOUND: object not found\"/>"));
}

TEST(CimXmlWireTest, OperationHeadersMatchTheExchangedLines)
{
    EXPECT_EQ(xml::operationHeaders("CreateInstance", "root/interop"),
              (std::vector<std::string>{"Content-Type: application/xml; charset=\"utf-8\"", "CIMProtocolVersion: 1.0",
                                        "CIMOperation: MethodCall", "CIMMethod: CreateInstance",
                                        "CIMObject: root%2Finterop", "Expect:", "Accept:"}));
    EXPECT_EQ(xml::operationHeaders("DeleteInstance", "a b/c%")[4], "CIMObject: a%20b%2Fc%25");
}

TEST(CimXmlWireTest, SubscriptionDeletionCarriesReferenceKeys)
{
    std::string body = xml::deleteInstanceRequest("7", "root/interop", subscriptionDeletePath());
    std::string filterKeys =
        "<INSTANCENAME CLASSNAME=\"CIM_IndicationFilter\">\n"
        "<KEYBINDING NAME=\"SystemCreationClassName\"><KEYVALUE VALUETYPE=\"string\">CIM_ComputerSystem</KEYVALUE></KEYBINDING>\n"
        "<KEYBINDING NAME=\"SystemName\"><KEYVALUE VALUETYPE=\"string\">mgmt01.example.com</KEYVALUE></KEYBINDING>\n"
        "<KEYBINDING NAME=\"CreationClassName\"><KEYVALUE VALUETYPE=\"string\">CIM_IndicationFilter</KEYVALUE></KEYBINDING>\n"
        "<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">TOVAendFilter01</KEYVALUE></KEYBINDING>\n"
        "</INSTANCENAME>\n";
    EXPECT_NE(body.find("<IPARAMVALUE NAME=\"InstanceName\">\n<INSTANCENAME CLASSNAME=\"CIM_IndicationSubscription\">\n"
                        "<KEYBINDING NAME=\"Filter\"><VALUE.REFERENCE>\n" + filterKeys +
                        "</VALUE.REFERENCE></KEYBINDING>\n<KEYBINDING NAME=\"Handler\"><VALUE.REFERENCE>\n"),
              std::string::npos)
        << body;

    // Read back, the reference keys are the same paths.
    xml::Request request = xml::parseRequest(body);
    ASSERT_EQ(request.params.size(), 1u);
    EXPECT_EQ(request.params[0].kind, xml::ParamValue::INSTANCENAME);
    EXPECT_EQ(request.params[0].instanceName, subscriptionDeletePath());
}

TEST(CimXmlWireTest, EscapesTextAndAttributes)
{
    EXPECT_EQ(xml::escapeText("a&b<c>d\"e\r\nf\tg"), "a&amp;b&lt;c&gt;d\"e&#13;\nf\tg");
    EXPECT_EQ(xml::escapeAttribute("a&b<c>d\"e\r\nf\tg"), "a&amp;b&lt;c&gt;d&quot;e&#13;&#10;f&#9;g");

    // What is written comes back byte for byte, white space included.
    CIMInstance i(CIMName("VYN_EventIndication"));
    const std::string tricky = " <&> \"q\" \r\n\t end ";
    i.addProperty(CIMProperty("eventDesc", CIMValue(tricky)));
    i.addProperty(CIMProperty("blank", CIMValue("   ")));
    xml::Request r = xml::parseRequest(xml::exportIndicationRequest("1", i));
    String text;
    r.params[0].instance.getProperty(0).getValue().get(text);
    EXPECT_EQ(text, tricky);
    r.params[0].instance.getProperty(1).getValue().get(text);
    EXPECT_EQ(text, "   ");
}

TEST(CimXmlReadTest, ReadsOperationResponses)
{
    xml::Response created = xml::parseResponse(
        envelope("1001", "<SIMPLERSP>\n<IMETHODRESPONSE NAME=\"CreateInstance\"><IRETURNVALUE>\n" + kFilterName +
                             "</IRETURNVALUE></IMETHODRESPONSE>\n</SIMPLERSP>"));
    EXPECT_EQ(created.messageId, "1001");
    EXPECT_EQ(created.method, "CreateInstance");
    ASSERT_EQ(created.instanceNames.size(), 1u);
    EXPECT_EQ(created.instanceNames[0], filterDeletePath());

    xml::Response deleted = xml::parseResponse(kDeleteResponse);
    EXPECT_FALSE(deleted.hasError);
    EXPECT_TRUE(deleted.instanceNames.empty());
    xml::Response emptyReturn =
        xml::parseResponse(responseWith("1002", "DeleteInstance", "<IRETURNVALUE></IRETURNVALUE>"));
    EXPECT_TRUE(emptyReturn.hasReturnValue);
    EXPECT_TRUE(emptyReturn.instanceNames.empty());

    xml::Response error = xml::parseResponse(responseWith(
        "1002", "DeleteInstance",
        "<ERROR CODE=\"6\" DESCRIPTION=\"CIM_ERR_NOT_FOUND: object not found\"><INSTANCE CLASSNAME=\"CIM_Error\"/></ERROR>"));
    EXPECT_TRUE(error.hasError);
    EXPECT_EQ(error.errorCode, 6u);
    EXPECT_EQ(error.errorDescription, "CIM_ERR_NOT_FOUND: object not found");
    xml::Response bare = xml::parseResponse(responseWith("3", "CreateInstance", "<ERROR CODE=\"11\"/>"));
    EXPECT_EQ(bare.errorCode, 11u);
    EXPECT_EQ(bare.errorDescription, "");

    // The subscription's name holds reference keys.
    xml::Response sub = xml::parseResponse(envelope(
        "9", "<SIMPLERSP><IMETHODRESPONSE NAME=\"CreateInstance\"><IRETURNVALUE>"
             "<INSTANCENAME CLASSNAME=\"CIM_IndicationSubscription\">"
             "<KEYBINDING NAME=\"Filter\"><VALUE.REFERENCE>" + kFilterName + "</VALUE.REFERENCE></KEYBINDING>"
             "<KEYBINDING NAME=\"Handler\"><VALUE.REFERENCE>" + kHandlerName + "</VALUE.REFERENCE></KEYBINDING>"
             "</INSTANCENAME></IRETURNVALUE></IMETHODRESPONSE></SIMPLERSP>"));
    ASSERT_EQ(sub.instanceNames.size(), 1u);
    EXPECT_EQ(sub.instanceNames[0], subscriptionDeletePath());
}

TEST(CimXmlReadTest, ReadsInstancesAsSendersWriteThem)
{
    const std::string body = envelope(
        "5", "<SIMPLEEXPREQ><EXPMETHODCALL NAME=\"ExportIndication\"><EXPPARAMVALUE NAME=\"NewIndication\">"
             "<INSTANCE CLASSNAME=\"VYN_EventIndication\" xml:lang=\"en\">"
             "<QUALIFIER NAME=\"Indication\" TYPE=\"boolean\"><VALUE>TRUE</VALUE></QUALIFIER>"
             "<PROPERTY NAME=\"eventDesc\" TYPE=\"string\" CLASSORIGIN=\"X\" PROPAGATED=\"true\">"
             "<QUALIFIER NAME=\"Key\" TYPE=\"boolean\"><VALUE>TRUE</VALUE></QUALIFIER>"
             "<VALUE>disk<!-- split --> 0,3 <![CDATA[<failed>]]></VALUE></PROPERTY>"
             "<PROPERTY NAME=\"eventCode\" TYPE=\"sint32\"><VALUE> -7 </VALUE></PROPERTY>"
             "<PROPERTY NAME=\"eventType\" TYPE=\"uint32\"/>"
             "<PROPERTY NAME=\"eventTime\" TYPE=\"char16\"><VALUE>T</VALUE></PROPERTY>"
             "<PROPERTY.ARRAY NAME=\"codes\" TYPE=\"uint16\" ARRAYSIZE=\"2\"><VALUE.ARRAY><VALUE>1</VALUE>"
             "<VALUE>2</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>"
             "<PROPERTY.REFERENCE NAME=\"src\" REFERENCECLASS=\"CIM_X\"><VALUE.REFERENCE><LOCALINSTANCEPATH>"
             "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>"
             "<INSTANCENAME CLASSNAME=\"CIM_X\"><KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"numeric\">4"
             "</KEYVALUE></KEYBINDING></INSTANCENAME></LOCALINSTANCEPATH></VALUE.REFERENCE></PROPERTY.REFERENCE>"
             "<PROPERTY.REFERENCE NAME=\"far\"><VALUE.REFERENCE><INSTANCEPATH><NAMESPACEPATH><HOST>h1</HOST>"
             "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/></LOCALNAMESPACEPATH></NAMESPACEPATH>"
             "<INSTANCENAME CLASSNAME=\"CIM_Y\"><KEYBINDING NAME=\"On\"><KEYVALUE VALUETYPE=\"boolean\">true"
             "</KEYVALUE></KEYBINDING></INSTANCENAME></INSTANCEPATH></VALUE.REFERENCE></PROPERTY.REFERENCE>"
             "</INSTANCE></EXPPARAMVALUE></EXPMETHODCALL></SIMPLEEXPREQ>");
    xml::Request r = xml::parseRequest(body);
    EXPECT_TRUE(r.isExport);
    EXPECT_EQ(r.messageId, "5");
    EXPECT_EQ(r.method, "ExportIndication");
    ASSERT_EQ(r.params.size(), 1u);
    const CIMInstance& i = r.params[0].instance;
    ASSERT_EQ(i.getPropertyCount(), 7u);
    EXPECT_EQ(i.getProperty(0).getValue().toString(), "disk 0,3 <failed>");
    Uint32 code = 0;
    i.getProperty(1).getValue().get(code);
    EXPECT_EQ(static_cast<Sint32>(code), -7);
    EXPECT_TRUE(i.getProperty(2).getValue().isNull());
    EXPECT_EQ(i.getProperty(3).getType(), CIMTYPE_CHAR16);
    EXPECT_EQ(i.getProperty(4).getValue().toString(), "1,2");
    EXPECT_EQ(i.getProperty(4).getArraySize(), 2u);
    EXPECT_EQ(i.getProperty(5).getReferenceClassName().getString(), "CIM_X");
    EXPECT_EQ(i.getProperty(5).getValue().toString(), "root/cimv2:CIM_X.Id=4");
    EXPECT_EQ(i.getProperty(6).getValue().toString(), "//h1/root:CIM_Y.On=true");
}

TEST(CimXmlReadTest, SortsBadBodiesByCimError)
{
    const std::string indication = "<EXPPARAMVALUE NAME=\"NewIndication\"><INSTANCE CLASSNAME=\"C\"/></EXPPARAMVALUE>";
    auto exportCall = [&](const std::string& inside) {
        return envelope("1", "<SIMPLEEXPREQ><EXPMETHODCALL NAME=\"ExportIndication\">" + inside +
                                 "</EXPMETHODCALL></SIMPLEEXPREQ>");
    };
    auto withProperty = [&](const std::string& property) {
        return exportCall("<EXPPARAMVALUE NAME=\"NewIndication\"><INSTANCE CLASSNAME=\"C\">" + property +
                          "</INSTANCE></EXPPARAMVALUE>");
    };
    const std::string good = exportCall(indication);
    // A reference property whose value nests `depth` VALUE.REFERENCE levels.
    auto nestedReference = [&](int depth) {
        std::string value = "<KEYVALUE>x</KEYVALUE>";
        for (int i = 0; i < depth; ++i)
            value = "<VALUE.REFERENCE><INSTANCENAME CLASSNAME=\"X\"><KEYBINDING NAME=\"k\">" + value +
                    "</KEYBINDING></INSTANCENAME></VALUE.REFERENCE>";
        return withProperty("<PROPERTY.REFERENCE NAME=\"r\">" + value + "</PROPERTY.REFERENCE>");
    };
    struct Case {
        const char* what;
        std::string body;
        const char* cimError;
    };
    const std::vector<Case> cases = {
        {"truncated", good.substr(0, good.size() / 2), "request-not-well-formed"},
        {"not XML", "hello", "request-not-well-formed"},
        {"empty", "", "request-not-well-formed"},
        {"two roots", good + "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"/>", "request-not-well-formed"},
        {"other root", "<?xml version=\"1.0\"?><FOO/>", "request-not-valid"},
        {"CIM version 3", "<CIM CIMVERSION=\"3.0\" DTDVERSION=\"2.0\"/>", "unsupported-cim-version"},
        {"DTD version 1", "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"1.1\"/>", "unsupported-dtd-version"},
        {"protocol 2",
         "<CIM CIMVERSION=\"2.1\" DTDVERSION=\"2.3\"><MESSAGE ID=\"1\" PROTOCOLVERSION=\"2.0\"><SIMPLEEXPREQ/>"
         "</MESSAGE></CIM>",
         "unsupported-protocol-version"},
        {"no MESSAGE ID",
         "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE PROTOCOLVERSION=\"1.0\"><SIMPLEEXPREQ/></MESSAGE></CIM>",
         "request-not-valid"},
        {"batch", envelope("1", "<MULTIEXPREQ/>"), "multiple-requests-unsupported"},
        {"empty SIMPLEEXPREQ", envelope("1", "<SIMPLEEXPREQ/>"), "request-not-valid"},
        {"unknown TYPE", withProperty("<PROPERTY NAME=\"a\" TYPE=\"uint128\"><VALUE>1</VALUE></PROPERTY>"),
         "request-not-valid"},
        {"no TYPE", withProperty("<PROPERTY NAME=\"a\"><VALUE>1</VALUE></PROPERTY>"), "request-not-valid"},
        {"bad value", withProperty("<PROPERTY NAME=\"a\" TYPE=\"uint8\"><VALUE>300</VALUE></PROPERTY>"),
         "request-not-valid"},
        {"two VALUEs",
         withProperty("<PROPERTY NAME=\"a\" TYPE=\"string\"><VALUE>1</VALUE><VALUE>2</VALUE></PROPERTY>"),
         "request-not-valid"},
        {"element in VALUE", withProperty("<PROPERTY NAME=\"a\" TYPE=\"string\"><VALUE><b/></VALUE></PROPERTY>"),
         "request-not-valid"},
        {"unknown child", withProperty("<METHOD NAME=\"m\"/>"), "request-not-valid"},
        {"bad key type",
         exportCall("<EXPPARAMVALUE NAME=\"NewIndication\"><INSTANCE CLASSNAME=\"C\"><PROPERTY.REFERENCE NAME=\"r\">"
                    "<VALUE.REFERENCE><INSTANCENAME CLASSNAME=\"X\"><KEYBINDING NAME=\"k\"><KEYVALUE "
                    "VALUETYPE=\"numeric\">ten</KEYVALUE></KEYBINDING></INSTANCENAME></VALUE.REFERENCE>"
                    "</PROPERTY.REFERENCE></INSTANCE></EXPPARAMVALUE>"),
         "request-not-valid"},
        // Every level escapes the one inside again: unbounded, a few kilobytes
        // would grow into gigabytes.
        {"references nested too deep", nestedReference(12), "request-not-valid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            xml::parseRequest(c.body);
            ADD_FAILURE() << "accepted";
        } catch (const xml::XmlError& e) {
            EXPECT_EQ(e.cimError(), c.cimError) << e.what();
        }
    }
    // Only the major versions count.
    std::string minor = good;
    minor.replace(minor.find("CIMVERSION=\"2.0\""), 16, "CIMVERSION=\"2.7\"");
    EXPECT_NO_THROW(xml::parseRequest(minor));
    EXPECT_NO_THROW(xml::parseRequest(nestedReference(3)));

    // A parser error says where.
    try {
        xml::parseRequest(good.substr(0, 60));
        ADD_FAILURE();
    } catch (const xml::XmlError& e) {
        EXPECT_NE(std::string(e.what()).find("offset"), std::string::npos);
    }
}

TEST(CimXmlReadTest, IgnoresEntityDeclarations)
{
    // No DTD processing: an internal entity is neither expanded nor fatal.
    std::string body = "<?xml version=\"1.0\"?><!DOCTYPE CIM [<!ENTITY x \"boom\">]>" +
                       envelope("1", "<SIMPLEEXPREQ><EXPMETHODCALL NAME=\"ExportIndication\"><EXPPARAMVALUE "
                                     "NAME=\"NewIndication\"><INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"a\" "
                                     "TYPE=\"string\"><VALUE>&x;</VALUE></PROPERTY></INSTANCE></EXPPARAMVALUE>"
                                     "</EXPMETHODCALL></SIMPLEEXPREQ>")
                           .substr(std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n").size());
    xml::Request r = xml::parseRequest(body);
    EXPECT_EQ(r.params[0].instance.getProperty(0).getValue().toString().find("boom"), std::string::npos);
}

}  // namespace
