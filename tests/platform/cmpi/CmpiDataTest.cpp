// The handle classes and the typed getters against both broker flavours,
// used directly on broker objects of a test's own call.

#include "MiniBroker.h"

#include "platform/cmpi/CmpiBrokerScope.h"
#include "platform/cmpi/CmpiHandles.h"

#include <gtest/gtest.h>

#include <string>

using namespace minibroker;

namespace {

class CmpiDataTest : public ::testing::TestWithParam<Flavour> {
protected:
    void SetUp() override { MiniBroker::clearFailures(); }
    void TearDown() override {
        EXPECT_TRUE(MiniBroker::failures().empty())
            << "broker: " << (MiniBroker::failures().empty() ? "" : MiniBroker::failures().front());
    }

    MiniBroker broker_{GetParam()};
};

enum class As { Chars, String, Uint32, Sint32, Boolean, Array, Path };

// Reads `d` as `as` and renders the result; a conversion failure becomes
// "rc N".
std::string read(const CmpiData& d, As as) {
    try {
        switch (as) {
            case As::Chars:
                return static_cast<const char*>(d);
            case As::String:
                return static_cast<CmpiString>(d).charPtr();
            case As::Uint32:
                return std::to_string(static_cast<CMPIUint32>(d));
            case As::Sint32:
                return std::to_string(static_cast<CMPISint32>(d));
            case As::Boolean:
                return std::to_string(static_cast<CMPIBoolean>(d));
            case As::Array: {
                CmpiArray a = d;
                std::string text = "size=" + std::to_string(a.size());
                for (CMPICount i = 0; i < a.size(); ++i)
                    text += std::string(" ") + static_cast<const char*>(a[i]);
                return text;
            }
            case As::Path:
                return static_cast<CmpiObjectPath>(d).getClassName().charPtr();
        }
    } catch (const CmpiStatus& s) {
        return "rc " + std::to_string(s.rc());
    }
    return "?";
}

Value bad(Value v) {
    v.state = CMPI_badValue;
    return v;
}

Value charsArray(const std::vector<std::string>& texts) {
    Value v = Value::stringArray(texts);
    v.type = CMPI_charsA;
    for (Value& e : v.elements) e.type = CMPI_chars;
    return v;
}

struct GetterCase {
    const char* name;
    bool present;
    Value stored;
    As as;
    const char* expected;
};

const GetterCase kGetterCases[] = {
    {"missing as text", false, Value(), As::Chars, "rc 6"},
    {"missing as number", false, Value(), As::Uint32, "rc 6"},
    {"missing as array", false, Value(), As::Array, "rc 6"},
    {"number as text", true, Value::uint32(5), As::Chars, "rc 13"},
    {"text as boolean", true, Value::string("x"), As::Boolean, "rc 13"},
    {"boolean as uint32", true, Value::boolean(true), As::Uint32, "rc 13"},
    {"sint32 as uint32", true, Value::sint32(-1), As::Uint32, "rc 13"},
    {"uint32 as sint32", true, Value::uint32(5), As::Sint32, "rc 13"},
    {"scalar as array", true, Value::string("x"), As::Array, "rc 13"},
    {"bad value", true, bad(Value::string("x")), As::Chars, "rc 1"},
    {"null string as text", true, Value::null(CMPI_string), As::Chars, ""},
    {"null string as string", true, Value::null(CMPI_string), As::String, ""},
    {"null uint32", true, Value::null(CMPI_uint32), As::Uint32, "0"},
    {"null array", true, Value::null(CMPI_stringA), As::Array, "size=0"},
    {"null path", true, Value::null(CMPI_ref), As::Path, "rc 13"},
    {"string", true, Value::string("abc"), As::Chars, "abc"},
    {"string as string", true, Value::string("abc"), As::String, "abc"},
    {"chars", true, Value::chars("abc"), As::Chars, "abc"},
    {"uint32", true, Value::uint32(4000000000u), As::Uint32, "4000000000"},
    {"sint32", true, Value::sint32(-5), As::Sint32, "-5"},
    {"boolean", true, Value::boolean(true), As::Boolean, "1"},
    {"boolean from uint8", true, Value::uint8(1), As::Boolean, "1"},
    {"string elements", true, Value::stringArray({"a", "b"}), As::Array, "size=2 a b"},
    {"chars elements", true, charsArray({"a", "b"}), As::Array, "size=2 a b"},
    {"empty array", true, Value::stringArray({}), As::Array, "size=0"},
};

TEST_P(CmpiDataTest, ArgumentGettersFollowTheConversionTable) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    for (const GetterCase& c : kGetterCases) {
        Entries entries;
        if (c.present) setEntry(entries, "value", c.stored);
        CmpiArgs in(scope.args(entries));
        CmpiData d = in.getArg("Value");
        EXPECT_EQ(read(d, c.as), c.expected) << c.name;
        EXPECT_EQ(d.isNotFound(), !c.present) << c.name;
    }
}

TEST_P(CmpiDataTest, MissingArgumentsAreNotFoundAndNull) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    CmpiArgs in(scope.args({}));
    CmpiData d = in.getArg("localFileName");
    EXPECT_TRUE(d.isNotFound());
    EXPECT_TRUE(d.isNullValue());
    EXPECT_EQ(d.type(), CMPI_null);
    EXPECT_EQ(in.getArgCount(), 0u);
}

TEST_P(CmpiDataTest, KeysReadWhateverStateTheBrokerSets) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    Path p{"root/test", "Test_Class", "", {{"InstanceID", Value::string("TestInstance")}}};
    CmpiObjectPath path(scope.path(p));
    CmpiData key = path.getKey("instanceid");
    EXPECT_FALSE(key.isNotFound());
    EXPECT_FALSE(key.isNullValue());
    EXPECT_STREQ(static_cast<const char*>(key), "TestInstance");
    CmpiData none = path.getKey("Other");
    EXPECT_TRUE(none.isNotFound());
    EXPECT_EQ(read(none, As::Chars), "rc 6");
    EXPECT_STREQ(path.getNameSpace().charPtr(), "root/test");
    EXPECT_TRUE(path.getClassName().equalsIgnoreCase("TEST_CLASS"));
    EXPECT_FALSE(path.getClassName().equals("TEST_CLASS"));
}

TEST_P(CmpiDataTest, TextGoesToTheBrokerAsTheCharsPointer) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    CMPIArgs* raw = scope.args({}, false);
    CmpiArgs out(raw);
    std::string text = "long enough to leave the small-string buffer";
    out.setArg("chars", CmpiData(text.c_str()));
    out.setArg("string", CmpiData(CmpiString("made")));
    out.setArg("count", CmpiData(CMPIUint32(3)));
    out.setArg("flag", CmpiFalse);

    Entries got;
    ASSERT_TRUE(scope.readArgs(raw, &got));
    ASSERT_NE(findEntry(got, "chars"), nullptr);
    EXPECT_EQ(findEntry(got, "chars")->text, text);
    EXPECT_EQ(findEntry(got, "string")->text, "made");
    EXPECT_EQ(findEntry(got, "count")->type, CMPI_uint32);
    EXPECT_EQ(findEntry(got, "count")->scalar.uint32, 3u);
    EXPECT_EQ(findEntry(got, "flag")->type, CMPI_boolean);
    EXPECT_EQ(findEntry(got, "flag")->scalar.boolean, 0);
}

TEST_P(CmpiDataTest, LibraryMadeStringArraysTakeCharsAndStrings) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    CmpiArray names(3, CMPI_string);
    names.setElement(0, CmpiData("first"));
    names.setElement(1, CmpiData(CmpiString("second")));
    names.setElement(2, CmpiData(""));
    EXPECT_EQ(names.size(), 3u);
    EXPECT_STREQ(static_cast<const char*>(names[1]), "second");

    CMPIArgs* raw = scope.args({}, false);
    CmpiArgs(raw).setArg("names", CmpiData(names));
    Entries got;
    ASSERT_TRUE(scope.readArgs(raw, &got));
    const Value* v = findEntry(got, "names");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, CMPI_stringA);
    ASSERT_EQ(v->elements.size(), 3u);
    EXPECT_EQ(v->elements[0].text, "first");
    EXPECT_EQ(v->elements[1].text, "second");
    EXPECT_EQ(v->elements[2].text, "");

    EXPECT_EQ(read(CmpiData(names), As::Array), "size=3 first second ");
}

TEST_P(CmpiDataTest, ArrayElementsMustHaveTheArraysType) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    CmpiArray numbers(2, CMPI_uint32);
    numbers.setElement(0, CmpiData(CMPIUint32(1)));
    try {
        numbers.setElement(1, CmpiData(CMPISint32(1)));
        ADD_FAILURE() << "sint32 element accepted";
    } catch (const CmpiStatus& s) {
        EXPECT_EQ(s.rc(), CMPI_RC_ERR_TYPE_MISMATCH);
    }
    CmpiArray names(1, CMPI_string);
    try {
        names.setElement(0, CmpiData(CMPIUint32(1)));
        ADD_FAILURE() << "number accepted as a string element";
    } catch (const CmpiStatus& s) {
        EXPECT_EQ(s.rc(), CMPI_RC_ERR_TYPE_MISMATCH);
    }
}

TEST_P(CmpiDataTest, PathCopyKeepsEverythingAndTakesNewKeys) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    Path p{
        "root/test", "Test_Class", "host1", {{"A", Value::string("1")}, {"B", Value::uint32(2)}}};
    CmpiObjectPath request(scope.path(p));
    CmpiObjectPath copy = request.copy();
    copy.setKey("C", CmpiData("3"));
    CmpiInstance inst(copy);
    inst.setProperty("Name", CmpiData("n"));

    Path got;
    ASSERT_TRUE(scope.readPath(copy.getEnc(), &got));
    EXPECT_EQ(got.ns, "root/test");
    EXPECT_EQ(got.cls, "Test_Class");
    EXPECT_EQ(got.host, "host1");
    ASSERT_EQ(got.keys.size(), 3u);
    EXPECT_EQ(got.keys[0].second.text, "1");
    EXPECT_EQ(got.keys[1].second.scalar.uint32, 2u);
    EXPECT_EQ(got.keys[2].second.text, "3");
    Instance gotInst;
    ASSERT_TRUE(scope.readInstance(inst.getEnc(), &gotInst));
    EXPECT_EQ(gotInst.path.keys.size(), 3u);
    EXPECT_EQ(findEntry(gotInst.props, "name")->text, "n");
    // The request path itself is untouched.
    Path original;
    ASSERT_TRUE(scope.readPath(request.getEnc(), &original));
    EXPECT_EQ(original.keys.size(), 2u);
}

TEST_P(CmpiDataTest, ResultTakesDataInstancesAndPathsInOrder) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    CMPIResult* raw = scope.result();
    CmpiResult result(raw);
    CmpiObjectPath path("root/test", "Test_Class");
    result.returnData(CmpiData(CMPISint32(-3)));
    result.returnData(path);
    result.returnData(CmpiInstance(path));
    result.returnDone();
    std::vector<Item> items = scope.items(raw);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].data.type, CMPI_sint32);
    EXPECT_EQ(items[0].data.scalar.sint32, -3);
    EXPECT_EQ(items[1].kind, Item::Kind::ObjectPath);
    EXPECT_EQ(items[2].kind, Item::Kind::Instance);
}

TEST_P(CmpiDataTest, BrokerFailuresComeBackAsStatus) {
    MiniBroker::Scope scope(broker_);
    CmpiBrokerScope current(broker_.broker());
    const char* slots[] = {"newString", "newArray", "newObjectPath", "addArg"};
    for (const char* slot : slots) {
        broker_.failOnce(slot);
        try {
            CmpiArgs out(scope.args({}, false));
            CmpiString s("x");
            CmpiArray a(1, CMPI_string);
            CmpiObjectPath p("root/test", "Test_Class");
            out.setArg("x", CmpiData("y"));
            ADD_FAILURE() << slot << " failure not reported";
        } catch (const CmpiStatus& s) {
            EXPECT_EQ(s.rc(), CMPI_RC_ERR_FAILED) << slot;
        }
    }
    // A status message the broker cannot make is left out.
    broker_.failOnce("newString");
    CmpiStatus st(CMPI_RC_ERR_FAILED, "text");
    EXPECT_EQ(st.status().msg, nullptr);
    EXPECT_STREQ(st.msg(), "");
    CmpiStatus withMsg(CMPI_RC_ERR_FAILED, "text");
    EXPECT_STREQ(withMsg.msg(), "text");
}

TEST_P(CmpiDataTest, OutsideACallNothingIsMade) {
    try {
        CmpiString s("x");
        ADD_FAILURE() << "string made without a broker";
    } catch (const CmpiStatus& s) {
        EXPECT_EQ(s.rc(), CMPI_RC_ERR_FAILED);
    }
    CmpiStatus st(CMPI_RC_ERR_NOT_FOUND, "no broker");
    EXPECT_EQ(st.rc(), CMPI_RC_ERR_NOT_FOUND);
    EXPECT_STREQ(st.msg(), "");
    EXPECT_EQ(cmpiCurrentBroker(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Flavours, CmpiDataTest, ::testing::Values(Flavour::Sfcb, Flavour::Pegasus),
                         [](const ::testing::TestParamInfo<Flavour>& info) {
                             return std::string(flavourName(info.param));
                         });

}  // namespace

// The breaches the mini broker exists to catch, so that provider tests can
// rely on an empty failure list.
TEST(MiniBrokerContract, BreachesAreRecorded) {
    struct Case {
        const char* name;
        const char* failure;
        void (*breach)(MiniBroker&);
    };
    const Case cases[] = {
        {"mutating a request path", "mutator CMPIObjectPathFT.addKey",
         [](MiniBroker& mb) {
             MiniBroker::Scope scope(mb);
             CMPIObjectPath* p = scope.path(Path{"root/test", "C", "", {}});
             p->ft->addKey(p, "K", reinterpret_cast<const CMPIValue*>("v"), CMPI_chars);
         }},
        {"using an object after its call", "use after call CMPIStringFT.getCharPtr",
         [](MiniBroker& mb) {
             CMPIStatus st{CMPI_RC_OK, nullptr};
             CMPIString* s = nullptr;
             {
                 MiniBroker::Scope scope(mb);
                 s = mb.broker()->eft->newString(mb.broker(), "x", &st);
             }
             s->ft->getCharPtr(s, &st);
         }},
        {"a slot the library never needs", "unexpected slot CMPIArrayFT.getSimpleType",
         [](MiniBroker& mb) {
             MiniBroker::Scope scope(mb);
             CMPIStatus st{CMPI_RC_OK, nullptr};
             CMPIArray* a = mb.broker()->eft->newArray(mb.broker(), 1, CMPI_chars, &st);
             a->ft->getSimpleType(a, &st);
         }},
        {"a 2.0 service of a 1.0 broker", "slot beyond the broker's table",
         [](MiniBroker& mb) {
             MiniBroker::Scope scope(mb);
             mb.broker()->eft->openMessageFile(mb.broker(), "f", nullptr);
         }},
        {"an object made outside a call", "outside a call",
         [](MiniBroker& mb) {
             CMPIStatus st{CMPI_RC_OK, nullptr};
             mb.broker()->eft->newString(mb.broker(), "x", &st);
         }},
        {"a slot called without a status", "no status passed to CMPIStringFT.getCharPtr",
         [](MiniBroker& mb) {
             MiniBroker::Scope scope(mb);
             CMPIStatus st{CMPI_RC_OK, nullptr};
             CMPIString* s = mb.broker()->eft->newString(mb.broker(), "x", &st);
             s->ft->getCharPtr(s, nullptr);
         }},
    };
    for (const Case& c : cases) {
        MiniBroker::clearFailures();
        MiniBroker mb(Flavour::Sfcb);
        c.breach(mb);
        std::vector<std::string> failures = MiniBroker::failures();
        ASSERT_EQ(failures.size(), 1u) << c.name;
        EXPECT_NE(failures[0].find(c.failure), std::string::npos) << c.name << ": " << failures[0];
    }
    MiniBroker::clearFailures();
}
