#include "platform/cim/Cim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cimxml;

namespace {

TEST(CimObjectPathTest, ParsesAndPrintsPathTexts)
{
    struct Case {
        const char* text;
        const char* host;
        const char* nameSpace;
        const char* className;
        std::vector<std::pair<std::string, CIMKeyBinding::Type>> keys;
        const char* printed;  // nullptr: same as text
    };
    const std::vector<Case> cases = {
        {"CIM_IndicationFilter.CreationClassName=\"CIM_IndicationFilter\",Name=\"TOVAendFilter01\"",
         "", "", "CIM_IndicationFilter",
         {{"CreationClassName", CIMKeyBinding::STRING}, {"Name", CIMKeyBinding::STRING}}, nullptr},
        {"//192.0.2.20:5989/root/interop:CIM_X.A=\"x\"", "192.0.2.20:5989", "root/interop", "CIM_X",
         {{"A", CIMKeyBinding::STRING}}, nullptr},
        {"root/interop:CIM_X", "", "root/interop", "CIM_X", {}, nullptr},
        {"CIM_X", "", "", "CIM_X", {}, nullptr},
        {"CIM_X.flag=true,n=-42,m=7", "", "", "CIM_X",
         {{"flag", CIMKeyBinding::BOOLEAN}, {"n", CIMKeyBinding::NUMERIC}, {"m", CIMKeyBinding::NUMERIC}}, nullptr},
        // Separators inside quotes belong to the value.
        {"CIM_X.Dest=\"http://a.b:1,x=y\"", "", "", "CIM_X", {{"Dest", CIMKeyBinding::STRING}}, nullptr},
        {"CIM_X.S=\"say \\\"hi\\\" \\\\ there\"", "", "", "CIM_X", {{"S", CIMKeyBinding::STRING}}, nullptr},
        {"CIM_X.E=\"\"", "", "", "CIM_X", {{"E", CIMKeyBinding::STRING}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CIMObjectPath p(std::string(c.text));
        EXPECT_EQ(p.getHost(), c.host);
        EXPECT_EQ(p.getNameSpace().getString(), c.nameSpace);
        EXPECT_EQ(p.getClassName().getString(), c.className);
        ASSERT_EQ(p.getKeyBindings().size(), c.keys.size());
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            EXPECT_EQ(p.getKeyBindings()[i].getName().getString(), c.keys[i].first);
            EXPECT_EQ(p.getKeyBindings()[i].getType(), c.keys[i].second);
        }
        EXPECT_EQ(p.toString(), c.printed ? c.printed : c.text);
    }
    CIMObjectPath escaped("CIM_X.S=\"say \\\"hi\\\" \\\\ there\"");
    EXPECT_EQ(escaped.getKeyBindings()[0].getValue(), "say \"hi\" \\ there");
}

TEST(CimObjectPathTest, RejectsMalformedTexts)
{
    const char* bad[] = {
        "",
        ".A=\"x\"",
        "CIM_X.",
        "CIM_X.A",
        "CIM_X.A=",
        "CIM_X.A=\"unterminated",
        "CIM_X.A=\"x\"junk",
        "CIM_X.A=\"x\",",
        "CIM_X.A=bare",
        "CIM_X.A=1.5",
        "CIM_X.A=\"bad \\n escape\"",
        "CIM_X.A=\"x\",a=\"y\"",
        "//hostonly",
        ":CIM_X",
        "root//interop:CIM_X",
        "CIM X.A=\"x\"",
        "CIM_X.=\"x\"",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_THROW(CIMObjectPath{std::string(text)}, MalformedObjectNameException);
    }
    // A failed set leaves the path as it was.
    CIMObjectPath p("CIM_X.A=\"x\"");
    EXPECT_THROW(p.set("CIM_X.A="), MalformedObjectNameException);
    EXPECT_EQ(p.toString(), "CIM_X.A=\"x\"");
}

TEST(CimObjectPathTest, EqualityIgnoresKeyOrderAndNameCaseButNotValues)
{
    CIMObjectPath a("//Host/Root/Interop:CIM_X.A=\"v\",B=\"w\"");
    EXPECT_EQ(a, CIMObjectPath("//host/root/interop:cim_x.b=\"w\",a=\"v\""));
    EXPECT_NE(a, CIMObjectPath("//host/root/interop:CIM_X.A=\"V\",B=\"w\""));
    EXPECT_NE(a, CIMObjectPath("//host/root/interop:CIM_X.A=\"v\""));
    EXPECT_NE(a, CIMObjectPath("//host/root/interop:CIM_X.A=\"v\",C=\"w\""));
    EXPECT_NE(a, CIMObjectPath("root/interop:CIM_X.A=\"v\",B=\"w\""));

    // References compare as paths: key order inside them does not matter.
    CIMObjectPath r1("", CIMNamespaceName(), "CIM_S",
                     {CIMKeyBinding("F", CIMObjectPath("CIM_F.A=\"1\",B=\"2\""))});
    CIMObjectPath r2("", CIMNamespaceName(), "CIM_S",
                     {CIMKeyBinding("F", "CIM_F.B=\"2\",A=\"1\"", CIMKeyBinding::REFERENCE)});
    EXPECT_EQ(r1, r2);
    EXPECT_EQ(r1.toString(), "CIM_S.F=\"CIM_F.A=\\\"1\\\",B=\\\"2\\\"\"");
    // Read back from text, a reference key becomes a string key.
    EXPECT_EQ(CIMObjectPath(r1.toString()).getKeyBindings()[0].getValue(), "CIM_F.A=\"1\",B=\"2\"");
}

TEST(CimValueTest, ReadsValueTextsByType)
{
    struct Case {
        CIMType type;
        const char* text;
        const char* printed;  // nullptr: rejected
    };
    const std::vector<Case> cases = {
        {CIMTYPE_BOOLEAN, "TRUE", "TRUE"},      {CIMTYPE_BOOLEAN, " false\n", "FALSE"},
        {CIMTYPE_BOOLEAN, "yes", nullptr},      {CIMTYPE_UINT8, "255", "255"},
        {CIMTYPE_UINT8, "256", nullptr},        {CIMTYPE_UINT8, "-1", nullptr},
        {CIMTYPE_SINT8, "-128", "-128"},        {CIMTYPE_SINT8, "128", nullptr},
        {CIMTYPE_UINT16, " +2 ", "2"},          {CIMTYPE_SINT16, "-32769", nullptr},
        {CIMTYPE_UINT32, "4294967295", "4294967295"}, {CIMTYPE_UINT32, "4294967296", nullptr},
        {CIMTYPE_SINT32, "-2147483648", "-2147483648"}, {CIMTYPE_SINT32, "2147483648", nullptr},
        {CIMTYPE_UINT64, "18446744073709551615", "18446744073709551615"},
        {CIMTYPE_UINT64, "18446744073709551616", nullptr},
        {CIMTYPE_SINT64, "-9223372036854775808", "-9223372036854775808"},
        {CIMTYPE_UINT32, "0x10", nullptr},      {CIMTYPE_UINT32, "", nullptr},
        {CIMTYPE_UINT32, "1 2", nullptr},       {CIMTYPE_UINT32, "-", nullptr},
        {CIMTYPE_REAL64, "1.5", "1.5"},         {CIMTYPE_REAL64, "1.5x", nullptr},
        {CIMTYPE_REAL32, "1e999", nullptr},
        {CIMTYPE_STRING, "  spaced  ", "  spaced  "}, {CIMTYPE_STRING, "", ""},
        {CIMTYPE_CHAR16, "A", "A"},             {CIMTYPE_CHAR16, "\xC3\xA9", "\xC3\xA9"},
        {CIMTYPE_CHAR16, "AB", nullptr},        {CIMTYPE_CHAR16, "", nullptr},
        {CIMTYPE_CHAR16, "\xF0\x9F\x98\x80", nullptr},
        {CIMTYPE_DATETIME, "20260912093544.000000+000", "20260912093544.000000+000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(cimTypeToString(c.type)) + " \"" + c.text + "\"");
        if (c.printed) {
            CIMValue v = CIMValue::fromXmlText(c.type, c.text);
            EXPECT_EQ(v.getType(), c.type);
            EXPECT_FALSE(v.isNull());
            EXPECT_EQ(v.toString(), c.printed);
        } else {
            EXPECT_THROW(CIMValue::fromXmlText(c.type, c.text), TypeMismatchException);
        }
    }
}

TEST(CimValueTest, GettersCheckTypeAndAcceptBothSignednessesFor32Bits)
{
    Uint32 u = 0;
    CIMValue::fromXmlText(CIMTYPE_SINT32, "-1").get(u);
    EXPECT_EQ(u, 0xFFFFFFFFu);
    CIMValue(Uint32(1025)).get(u);
    EXPECT_EQ(u, 1025u);
    EXPECT_THROW(CIMValue(Uint16(2)).get(u), TypeMismatchException);
    EXPECT_THROW(CIMValue("7").get(u), TypeMismatchException);
    EXPECT_THROW(CIMValue(CIMTYPE_UINT32, false).get(u), TypeMismatchException);

    Sint32 s = 0;
    CIMValue(Sint32(-5)).get(s);
    EXPECT_EQ(s, -5);
    EXPECT_THROW(CIMValue(Uint32(5)).get(s), TypeMismatchException);

    String text;
    CIMValue(Char16(u'X')).get(text);
    EXPECT_EQ(text, "X");
    CIMValue::fromXmlText(CIMTYPE_DATETIME, "20260912093544.000000+000").get(text);
    EXPECT_EQ(text, "20260912093544.000000+000");
    EXPECT_THROW(CIMValue(Uint32(1)).get(text), TypeMismatchException);
    Char16 ch = 0;
    CIMValue::fromXmlText(CIMTYPE_CHAR16, "\xC3\xA9").get(ch);
    EXPECT_EQ(ch, u'\u00e9');

    // String literals make strings, not booleans.
    EXPECT_EQ(CIMValue("TOVAendFilter01").getType(), CIMTYPE_STRING);

    CIMObjectPath path;
    CIMValue(CIMObjectPath("CIM_X.A=\"1\"")).get(path);
    EXPECT_EQ(path.toString(), "CIM_X.A=\"1\"");

    CIMValue array = CIMValue::arrayFromXmlTexts(CIMTYPE_UINT16, {"1", "2"});
    EXPECT_TRUE(array.isArray());
    EXPECT_EQ(array.getArraySize(), 2u);
    Uint16 one = 0;
    EXPECT_THROW(array.get(one), TypeMismatchException);
    std::vector<String> texts;
    array.get(texts);
    EXPECT_EQ(texts, (std::vector<String>{"1", "2"}));
}

TEST(CimInstanceTest, KeepsPropertyOrderAndDuplicates)
{
    CIMInstance i(CIMName("VYN_EventIndication"));
    i.addProperty(CIMProperty("eventCode", CIMValue(Uint32(1))));
    i.addProperty(CIMProperty("eventDesc", CIMValue("x")));
    i.addProperty(CIMProperty("EventCode", CIMValue(Uint32(2))));
    ASSERT_EQ(i.getPropertyCount(), 3u);
    EXPECT_EQ(i.findProperty("EVENTCODE"), 0u);
    EXPECT_EQ(i.findProperty("missing"), PEG_NOT_FOUND);
    EXPECT_EQ(i.getProperty(2).getName().getString(), "EventCode");
    EXPECT_THROW(i.getProperty(3), Exception);
    CIMInstance copy = i.clone();
    copy.removeProperty(0);
    EXPECT_EQ(i.getPropertyCount(), 3u);
    EXPECT_EQ(copy.getPropertyCount(), 2u);
}

TEST(CimExceptionTest, StatusCodesAndMessages)
{
    struct Case {
        Uint32 code;
        const char* description;
        const char* message;
    };
    const std::vector<Case> cases = {
        {1, "", "CIM_ERR_FAILED"},
        {2, "denied", "CIM_ERR_ACCESS_DENIED: denied"},
        {6, "object not found", "CIM_ERR_NOT_FOUND: object not found"},
        {11, "x", "CIM_ERR_ALREADY_EXISTS: x"},
        {14, "x", "CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED: x"},
        {15, "x", "CIM_ERR_INVALID_QUERY: x"},
        {17, "x", "CIM_ERR_METHOD_NOT_FOUND: x"},
        {18, "x", "CIM status 18: x"},
        {19, "", "CIM status 19"},
        {20, "x", "CIM_ERR_NAMESPACE_NOT_EMPTY: x"},
        {27, "x", "CIM_ERR_SERVER_LIMITS_EXCEEDED: x"},
        {28, "x", "CIM_ERR_SERVER_IS_SHUTTING_DOWN: x"},
        {29, "x", "CIM status 29: x"},
    };
    for (const Case& c : cases) {
        CIMException e(c.code, c.description);
        EXPECT_EQ(e.getCode(), c.code);
        EXPECT_EQ(e.getMessage(), c.message);
        EXPECT_STREQ(e.what(), c.message);
    }
    // Every named code between 1 and 28 has its name.
    for (Uint32 code = 1; code <= 28; ++code) {
        const char* name = cimStatusCodeToString(code);
        EXPECT_EQ(name == nullptr, code == 18 || code == 19) << code;
    }

    CIMClientHTTPErrorException h(401, "Unauthorized", "");
    EXPECT_EQ(h.getMessage(), "HTTP error 401 Unauthorized");
    CIMClientHTTPErrorException h2(400, "Bad Request", "header-mismatch");
    EXPECT_EQ(h2.getMessage(), "HTTP error 400 Bad Request, CIMError: header-mismatch");
    EXPECT_EQ(h2.getCIMError(), "header-mismatch");

    // The daemon catches the base class.
    try {
        throw BindFailedException("Bind failed: Address already in use (port 5990)");
    } catch (const Exception& e) {
        EXPECT_NE(e.getMessage().find("Bind failed"), std::string::npos);
    }
}

TEST(CimSystemTest, GivesKeyValues)
{
    EXPECT_EQ(System::getSystemCreationClassName(), "CIM_ComputerSystem");
    String plain = System::getHostName();
    String full = System::getFullyQualifiedHostName();
    EXPECT_FALSE(plain.empty());
    EXPECT_FALSE(full.empty());
}

}  // namespace
