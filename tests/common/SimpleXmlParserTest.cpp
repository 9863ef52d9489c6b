#include "common/SimpleXmlParser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/Buffer.h"
#include "common/XMLWriter.h"
#include "common/ReferenceXmlParser.h"

namespace {

// One item as parseNext reports it; null pointers print as "(null)".
struct Item {
    unsigned int flags;
    std::string tag;
    std::string name;
    std::string value;
    bool operator==(const Item& o) const
    {
        return flags == o.flags && tag == o.tag && name == o.name && value == o.value;
    }
};

std::ostream& operator<<(std::ostream& os, const Item& i)
{
    return os << "{" << i.flags << ", " << i.tag << ", " << i.name << ", " << i.value << "}";
}

std::string text(const char* p)
{
    return p != nullptr ? std::string(p) : std::string("(null)");
}

const char* const NONE = "(null)";

// Parses a copy of `xml` to the end and returns every item found.
std::vector<Item> itemsOf(const std::string& xml)
{
    std::vector<char> buffer(xml.begin(), xml.end());
    SimpleXmlParser parser(buffer.data(), buffer.size());
    std::vector<Item> items;
    while (parser.parseNext())
        items.push_back({parser.getFlags(), text(parser.getTag()), text(parser.getName()), text(parser.getValue())});
    return items;
}

struct ParseCase {
    const char* xml;
    std::vector<Item> items;
};

TEST(SimpleXmlParserTest, ItemsOfWellFormedText)
{
    const std::vector<ParseCase> cases = {
        {"<a x='1' y=\"2\"><b/></a>", {{3, "a", "x", "1"}, {2, "a", "y", "2"}, {13, "b", NONE, NONE}, {8, "a", NONE, NONE}}},
        {"<a/>", {{13, "a", NONE, NONE}}},
        {"<a />", {{13, "a", NONE, NONE}}},
        {"<a x='1'/>", {{3, "a", "x", "1"}, {12, "a", NONE, NONE}}},
        {"</a>", {{8, "a", NONE, NONE}}},
        {"</a  >text<b>", {{8, "a", NONE, NONE}, {1, "b", NONE, NONE}}},
        {"<a>hello &amp; bye</a>", {{1, "a", NONE, NONE}, {8, "a", NONE, NONE}}},
        {"<a x>", {{3, "a", "x", NONE}}},
        {"<a x y='2'>", {{3, "a", "x", NONE}, {2, "a", "y", "2"}}},
        {"<a x/>", {{3, "a", "x", NONE}, {12, "a", NONE, NONE}}},
        {"<a\n\tx = 'v w'\r\n>", {{3, "a", "x", "v w"}}},
        {"<a v='&lt;'>", {{3, "a", "v", "<"}}},
        {"<?xml version=\"1.0\"?>", {{3, "?xml", "version", "1.0"}, {2, "?xml", "?", NONE}}},
        {"no tags at all", {}},
        {"", {}},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(itemsOf(c.xml), c.items) << c.xml;
}

TEST(SimpleXmlParserTest, FoundEndTagCoversEmptyElementEnd)
{
    char xml[] = "<a x='1'/></b>";
    SimpleXmlParser parser(xml, std::strlen(xml));
    ASSERT_TRUE(parser.parseNext());
    EXPECT_TRUE(parser.foundStartTag());
    EXPECT_FALSE(parser.foundEndTag());
    EXPECT_TRUE(parser.tagIs("a"));
    EXPECT_TRUE(parser.nameIs("x"));
    EXPECT_FALSE(parser.nameIs("X"));
    ASSERT_TRUE(parser.parseNext());
    EXPECT_FALSE(parser.foundStartTag());
    EXPECT_TRUE(parser.foundEndTag());
    EXPECT_FALSE(parser.nameIs("x"));
    ASSERT_TRUE(parser.parseNext());
    EXPECT_TRUE(parser.foundEndTag());
    EXPECT_TRUE(parser.tagIs("b"));
    EXPECT_FALSE(parser.parseNext());
}

struct ErrorCase {
    const char* xml;
    char character;
    unsigned long offset;
};

TEST(SimpleXmlParserTest, MalformedTextThrowsWithCharacterAndOffset)
{
    const std::vector<ErrorCase> cases = {
        {"<a x=1>", '1', 5},
        {"<a/b>", '/', 2},
        {"<a x='1'/ >", '/', 8},
        {"<r><a x = y>", 'y', 10},
    };
    for (const ErrorCase& c : cases) {
        std::vector<char> buffer(c.xml, c.xml + std::strlen(c.xml));
        SimpleXmlParser parser(buffer.data(), buffer.size());
        try {
            while (parser.parseNext()) {
            }
            ADD_FAILURE() << "no exception for " << c.xml;
        } catch (const SimpleXmlException& e) {
            EXPECT_EQ(e.getCharacter(), c.character) << c.xml;
            EXPECT_EQ(e.getOffset(), c.offset) << c.xml;
        }
    }
}

TEST(SimpleXmlParserTest, ValuesComeBackAsTheWriterWasGivenThem)
{
    struct Case {
        const char* written;
        const char* read;
    };
    const Case cases[] = {
        {"x &amp; y", "x & y"},
        {"&lt;z&gt;", "<z>"},
        {"&quot;q&quot; &apos;s&apos;", "\"q\" 's'"},
        // Escaped twice stays escaped once: only one level is undone.
        {"&amp;amp;", "&amp;"},
        // What the writer never produces is kept as it stands.
        {"&bogus; &amp &#38;", "&bogus; &amp &#38;"},
        {"&", "&"},
    };
    for (const Case& c : cases) {
        const std::string xml = std::string("<a n=\"") + c.written + "\" m='after'/>";
        EXPECT_EQ(itemsOf(xml), (std::vector<Item>{{3, "a", "n", c.read}, {2, "a", "m", "after"}, {12, "a", NONE, NONE}}))
            << c.written;
    }

    // Through the writer and back: every character it escapes, and text
    // that already looks like an entity.
    const char* const values[] = {"a<b & \"c\" 'd' >e", "&amp; &lt;", "\xc3\xa9 plain", ""};
    for (const char* value : values) {
        char* out = nullptr;
        std::string xml;
        {
            XMLWriter writer(&out);
            writer.addTag("<a");
            writer.writeString("n", value);
            writer.addTag("/>");
            xml = out;
        }
        EXPECT_EQ(itemsOf(xml), (std::vector<Item>{{3, "a", "n", value}, {12, "a", NONE, NONE}})) << xml;
    }
}

// Every prefix of a document, held in a block of exactly its length with no
// terminator: parsing never throws, and the sanitizer run shows that nothing
// is read or written past the end.
TEST(SimpleXmlParserTest, TextCutAnywhereIsReadOnlyUpToItsEnd)
{
    const std::string xml = "<?xml version=\"1.0\"?>\n<System a='1' b=\"x y\" c>\n  <Controller controllerID='0'/>"
                            "\n  <Chunk\tchunkID = \"4294967296\" / >\n</System >";
    for (size_t cut = 0; cut <= xml.size(); ++cut) {
        std::unique_ptr<char[]> block(new char[cut == 0 ? 1 : cut]);
        std::memcpy(block.get(), xml.data(), cut);
        SimpleXmlParser parser(block.get(), cut);
        try {
            int guard = 0;
            while (parser.parseNext() && ++guard < 100) {
                for (const char* p : {parser.getTag(), parser.getName(), parser.getValue()}) {
                    if (p != nullptr) {
                        EXPECT_LT(static_cast<size_t>(p + std::strlen(p) - block.get()), cut) << cut;
                    }
                }
            }
            EXPECT_LT(guard, 100) << cut;
        } catch (const SimpleXmlException& e) {
            // Only the deliberately malformed "/ >" may throw, and only once reached.
            EXPECT_EQ(e.getCharacter(), '/') << cut;
            EXPECT_GT(cut, xml.find("/ >")) << cut;
        }
    }
}

// What one parseNext call left behind, with pointers as offsets into the
// text, and the whole text as the call left it (the NULs it wrote, the
// values it decoded in place).
struct Step {
    bool found = false;
    bool threw = false;
    char character = 0;
    unsigned long offset = 0;
    unsigned int flags = 0;
    long tag = -1;
    long name = -1;
    long value = -1;
    std::string text;
    bool operator==(const Step& o) const
    {
        return found == o.found && threw == o.threw && character == o.character && offset == o.offset &&
               flags == o.flags && tag == o.tag && name == o.name && value == o.value && text == o.text;
    }
};

std::ostream& operator<<(std::ostream& os, const Step& s)
{
    os << "{found " << s.found << ", flags " << s.flags << ", tag@" << s.tag << ", name@" << s.name << ", value@"
       << s.value;
    if (s.threw)
        os << ", threw '" << s.character << "' at " << s.offset;
    return os << "}";
}

template <typename Parser>
std::vector<Step> stepsOf(const std::string& xml)
{
    // A block of exactly the text's length, without a terminator, so that
    // the sanitizer run sees any read past the end.
    std::unique_ptr<char[]> block(new char[xml.empty() ? 1 : xml.size()]);
    std::memcpy(block.get(), xml.data(), xml.size());
    Parser parser(block.get(), xml.size());
    auto offset = [&](const char* p) { return p != nullptr ? static_cast<long>(p - block.get()) : -1L; };
    std::vector<Step> steps;
    for (int guard = 0; guard < 64; ++guard) {
        Step step;
        try {
            step.found = parser.parseNext();
        } catch (const SimpleXmlException& e) {
            step.threw = true;
            step.character = e.getCharacter();
            step.offset = e.getOffset();
        }
        step.flags = parser.getFlags();
        step.tag = offset(parser.getTag());
        step.name = offset(parser.getName());
        step.value = offset(parser.getValue());
        step.text.assign(block.get(), xml.size());
        steps.push_back(step);
        if (!step.found || step.threw)
            break;
    }
    return steps;
}

// The parser against the byte-by-byte reading it replaced, on every prefix
// of every text: the same items, the same NULs and decoded values in the
// text, the same exceptions at the same offsets.
TEST(SimpleXmlParserTest, ItemsMatchTheByteByByteReadingOnEveryPrefix)
{
    const char* const texts[] = {
        // attributes running to the end of the text
        "<a x='1'",
        "<a x='1' y=\"2\"",
        "<a x",
        // entities: the five the writer makes are decoded, nothing else
        "<a v=\"x&amp;y&#65;z\" w='&amp;&#65;&lt;&gt;&quot;&apos;' e='&' f='&am' g='a&amp'/>",
        "<a v='&amp;amp;&#38;&bogus;'>",
        // every punctuation character a name may hold
        "<a !#$%&()*+,-.:;<?@[\\]^_`{|}~'\"='v' b!c=\"w\"/>",
        // tabs, line feeds and carriage returns between attributes
        "<a\tx='1'\n\ty=\"2\"\r\n  z = '3'\n/>\n</a\t>",
        "<a\n\tx\t=\n'v w'\r\n>",
        // attributes without values
        "<a x y='2' z/>",
        "<a x>",
        // quotes, '>' and '/' inside values
        "<a x=\"it's\" y='say \"hi\"' z='>' w='/'>",
        "<a x=\"\" y=''/>",
        // malformed text
        "<a x=1>",
        "<a/b>",
        "<a x='1'/ >",
        "<r><a x = y>",
        "<a x='1' y=>",
        "<a x='1' / >",
        // elements, end tags and text
        "<?xml version=\"1.0\"?>\n<System a='1'>\n  <b/>\n  <c />text &amp; more</System >",
        "</a  >text<b>",
        "<HardDrive typeName=\"HardDrive\" model=\"Model 2TB &lt;rev 1.0&gt; &amp; co\" size=\"1953525168\">\n"
        "    <Chunk chunkID=\"0\" startSector=\"0\" numSectors=\"976762584\"/>\n</HardDrive>\n",
        "\xc3\xa9<a v='\xc3\xa9\x01'>",
        // names, tags and values longer than the scans' 16-byte blocks, with
        // control and high bytes that are neither white space nor an end
        "<aVeryLongElementName\x01\x1f\x80\xff-continues another\x02name\x7f\xa0-that-runs-past-16\t=\n"
        "'a value that is longer than sixteen bytes &amp; holds \"both\" quotes past the block' "
        "next=\"0123456789abcdefghijklmnopqrstuvwxyz&lt;0123456789abcdefghij&gt;\"/>",
        "</aVeryLongEndTagName\x01\x80-that-runs-on   and on>after<b\x0bxyz0123456789abcdef/>",
        "<a aLongAttributeNameThatRunsPastSixteenBytes=\"v\" nameWith\x01" "Control\x7f" "AndHigh\x80\xff" "Bytes='1' "
        "anotherRatherLongName/ x='2' yetAnotherRatherLongName>",
        "<a aLongAttributeNameWithoutAValue x='1' aLongAttributeNameThenBlanks  =  'v'>",
        "",
    };
    for (const char* text : texts) {
        const std::string xml(text);
        for (size_t cut = 0; cut <= xml.size(); ++cut) {
            const std::string prefix = xml.substr(0, cut);
            EXPECT_EQ(stepsOf<SimpleXmlParser>(prefix), stepsOf<vyntest::ReferenceXmlParser>(prefix))
                << "text [" << prefix << "]";
        }
    }
}

TEST(SimpleXmlParserTest, ParserWithoutTextAndInvalidatedParserFindNothing)
{
    SimpleXmlParser empty;
    EXPECT_FALSE(empty.parseNext());
    EXPECT_EQ(empty.getTag(), nullptr);

    char xml[] = "<a><b/></a>";
    SimpleXmlParser parser(xml, std::strlen(xml));
    ASSERT_TRUE(parser.parseNext());
    EXPECT_EQ(parser.invalidate(), 0);
    EXPECT_EQ(parser.getTag(), nullptr);
    EXPECT_FALSE(parser.parseNext());
}

struct NumberCase {
    const char* value;
    unsigned long asULong;
    long asLong;
    unsigned long long asULongLong;
    long long asLongLong;
};

TEST(SimpleXmlParserTest, NumericGettersOfTheCurrentValue)
{
    const std::vector<NumberCase> cases = {
        {"0x1F", 31, 31, 31, 31},
        {"0X1F", 0, 0, 0, 0},
        {"12abc", 12, 12, 12, 12},
        {"-3", static_cast<unsigned long>(-3L), -3, static_cast<unsigned long long>(-3LL), -3},
        {"5000000000", 5000000000UL, 5000000000L, 5000000000ULL, 5000000000LL},
        {"0xffffffffffffffff", 0xffffffffffffffffUL, 0x7fffffffffffffffL, 0xffffffffffffffffULL, 0x7fffffffffffffffLL},
    };
    for (const NumberCase& c : cases) {
        std::string xml = std::string("<a v='") + c.value + "'>";
        std::vector<char> buffer(xml.begin(), xml.end());
        SimpleXmlParser parser(buffer.data(), buffer.size());
        ASSERT_TRUE(parser.parseNext());
        EXPECT_EQ(parser.getULONG(), c.asULong) << c.value;
        EXPECT_EQ(parser.getLONG(), c.asLong) << c.value;
        EXPECT_EQ(parser.getULONGLONG(), c.asULongLong) << c.value;
        EXPECT_EQ(parser.getLONGLONG(), c.asLongLong) << c.value;
    }

    char xml[] = "<a d='2.5' n>";
    SimpleXmlParser parser(xml, std::strlen(xml));
    ASSERT_TRUE(parser.parseNext());
    EXPECT_DOUBLE_EQ(parser.getDOUBLE(), 2.5);
    ASSERT_TRUE(parser.parseNext());
    EXPECT_EQ(parser.getValue(), nullptr);
    EXPECT_EQ(parser.getULONG(), 0u);
    EXPECT_EQ(parser.getLONGLONG(), 0);
    EXPECT_EQ(parser.getDOUBLE(), 0.0);
}

// ---------------------------------------------------------------------------

TEST(XmlAttributeListTest, TypedReadsByName)
{
    XmlAttributeList_C list;
    list.Append("t1", "true");
    list.Append("t2", "True");
    list.Append("t3", "1");
    list.Append("f1", "yes");
    list.Append("f2", "0");
    list.Append("f3", "");
    list.Append("big", "5000000000");
    list.Append("max", "18446744073709551615");
    list.Append("odd", "9007199254740993");
    list.Append("neg", "-12");
    list.Append("n", nullptr);
    list.Append(nullptr, "dropped");

    for (const char* name : {"t1", "t2", "t3"})
        EXPECT_TRUE(list.GetBool(name)) << name;
    for (const char* name : {"f1", "f2", "f3", "missing"})
        EXPECT_FALSE(list.GetBool(name)) << name;

    EXPECT_EQ(list.GetI64("big"), 5000000000LL);
    EXPECT_EQ(list.GetU64("big"), 5000000000ULL);
    EXPECT_EQ(list.GetU64("max"), 18446744073709551615ULL);
    EXPECT_EQ(list.GetU64("odd"), 9007199254740993ULL);
    EXPECT_EQ(list.GetI64("neg"), -12);
    EXPECT_EQ(list.GetLong("neg"), -12);
    EXPECT_EQ(list.GetULong("big"), 5000000000UL);

    EXPECT_STREQ(list.GetValue("n"), "");
    EXPECT_TRUE(list.Exists("n"));
    EXPECT_FALSE(list.Exists("missing"));
    EXPECT_STREQ(list.GetValue("missing"), "");
    EXPECT_EQ(list.GetLong("missing"), 0);
    EXPECT_EQ(list.GetU64("missing"), 0u);
    EXPECT_EQ(list.NumEntries(), 11u);
}

TEST(XmlAttributeListTest, ReadsByPositionAndFirstMatchWins)
{
    XmlAttributeList_C list(1, 1);
    list.Append("a", "1");
    list.Append("b", "0x10");
    list.Append("a", "2");
    EXPECT_EQ(list.GetLong("a"), 1);
    EXPECT_STREQ(list.GetName(2ul), "a");
    EXPECT_EQ(list.GetLong(2ul), 2);
    EXPECT_EQ(list.GetULong(1ul), 0u) << "by-name and by-position reads are decimal";
    EXPECT_EQ(list.GetName(3ul), nullptr);
    EXPECT_STREQ(list.GetValue(3ul), "");
    EXPECT_EQ(list.GetLong(3ul), 0);
    EXPECT_EQ(list.GetULong(3ul), 0u);
    EXPECT_EQ(list.GetI64(3ul), 0);
    EXPECT_EQ(list.GetU64(3ul), 0u);
    EXPECT_FALSE(list.GetBool(3ul));
    EXPECT_TRUE(list.GetBool(0ul));
}

TEST(XmlAttributeListTest, ManyEntriesKeepTheirOrderAndCopiesShareTheStrings)
{
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i)
        names.push_back("n" + std::to_string(i));
    XmlAttributeList_C list;
    list.setInitElements(4, 3);
    for (const std::string& n : names)
        list.Append(n.c_str(), n.c_str());
    XmlAttributeList_C copy(list);
    XmlAttributeList_C assigned;
    assigned.Append("old", "x");
    assigned = list;
    for (const XmlAttributeList_C* l : {&list, &copy, &assigned}) {
        ASSERT_EQ(l->NumEntries(), 100u);
        for (unsigned long i = 0; i < 100; ++i)
            EXPECT_EQ(l->GetName(i), names[i].c_str());
    }
    EXPECT_FALSE(assigned.Exists("old"));
}

// Typed reads by name and by position convert as the standard functions do,
// whatever the text: plain digits are read without them now.
TEST(XmlAttributeListTest, NumbersReadAsTheStandardConversions)
{
    const char* const texts[] = {"", "0", "007", "42", "123abc", " 12", "\t7", "+5", "-5", "-0", "x1", "0x10", "12 34",
                                 "999999999999999999", "1000000000000000000", "1234567890123456789",
                                 "9223372036854775807", "9223372036854775808", "18446744073709551615",
                                 "18446744073709551616", "99999999999999999999", "000000000000000000000000042",
                                 "4294967295", "4294967296", "5000000000"};
    XmlAttributeList_C list;
    for (const char* text : texts)
        list.Append(text[0] != '\0' ? text : "empty", text);
    for (unsigned long i = 0; i < list.NumEntries(); ++i) {
        const char* text = texts[i];
        const char* name = list.GetName(i);
        SCOPED_TRACE(std::string("[") + text + "]");
        EXPECT_EQ(list.GetLong(name), std::strtol(text, nullptr, 10));
        EXPECT_EQ(list.GetULong(name), std::strtoul(text, nullptr, 10));
        EXPECT_EQ(list.GetI64(name), std::strtoll(text, nullptr, 10));
        EXPECT_EQ(list.GetU64(name), std::strtoull(text, nullptr, 10));
        EXPECT_EQ(list.GetLong(i), std::strtol(text, nullptr, 10));
        EXPECT_EQ(list.GetU64(i), std::strtoull(text, nullptr, 10));
    }
}

// Reads by name of a long list, interleaved with appends, against a plain
// scan for the first entry of each name: duplicates, names alike at both
// ends and in the middle, the empty name, absent names, and a copy.
TEST(XmlAttributeListTest, LongListsReadTheFirstEntryOfEachName)
{
    std::vector<std::string> names = {"maxRaid5Members", "maxRaid6Members", "a", "ab", "ba", "", "featRaid5",
                                      "featRaid6", "controllerID", "channelID", "deviceID", "a"};
    for (int i = 0; i < 40; ++i)
        names.push_back("n" + std::to_string(i % 13) + "x" + std::to_string(i % 3));
    std::vector<std::string> values;
    for (std::size_t i = 0; i < names.size(); ++i)
        values.push_back(std::to_string(i));
    const std::vector<std::string> probes = {"maxRaid5Members", "maxRaid7Members", "a", "ab", "b", "", "featRaid6",
                                             "channelID", "deviceID", "a", "n3x0", "n12x2", "n13x0", "missing"};
    auto firstOf = [&](const std::string& name, std::size_t count) -> const char* {
        for (std::size_t i = 0; i < count; ++i) {
            if (names[i] == name)
                return values[i].c_str();
        }
        return nullptr;
    };
    XmlAttributeList_C list;
    list.setInitElements(4);
    for (std::size_t n = 0; n < names.size(); ++n) {
        list.Append(names[n].c_str(), values[n].c_str());
        for (const std::string& probe : probes) {
            const char* expected = firstOf(probe, n + 1);
            EXPECT_EQ(list.Exists(probe.c_str()), expected != nullptr) << probe << " after " << n + 1;
            EXPECT_STREQ(list.GetValue(probe.c_str()), expected != nullptr ? expected : "") << probe;
            EXPECT_EQ(list.GetLong(probe.c_str()), expected != nullptr ? std::atol(expected) : 0) << probe;
        }
    }
    XmlAttributeList_C copy(list);
    XmlAttributeList_C assigned;
    for (int i = 0; i < 20; ++i)
        assigned.Append("a", "stale");
    EXPECT_STREQ(assigned.GetValue("a"), "stale");
    assigned = list;
    for (const XmlAttributeList_C* l : {&copy, &assigned}) {
        for (const std::string& probe : probes) {
            const char* expected = firstOf(probe, names.size());
            EXPECT_STREQ(l->GetValue(probe.c_str()), expected != nullptr ? expected : "") << probe;
        }
    }
}

// The builders' reading pattern: the attributes of an element are gathered
// until its end, and its children are left to their own readers.
TEST(XmlAttributeListTest, FilledFromTheParserOfAnElement)
{
    char xml[] = "<Chunk chunkID=\"4294967296\" deviceID=\"3\"><Sub a='1'/></Chunk>";
    SimpleXmlParser parser(xml, std::strlen(xml));
    XmlAttributeList_C list;
    while (parser.parseNext()) {
        if (!parser.tagIs("Chunk"))
            continue;
        if (parser.foundEndTag())
            break;
        if (parser.getName() != nullptr)
            list.Append(parser.getName(), parser.getValue());
    }
    ASSERT_EQ(list.NumEntries(), 2u);
    EXPECT_EQ(list.GetU64("chunkID"), 4294967296ULL);
    EXPECT_EQ(list.GetULong("deviceID"), 3u);
}

} // namespace
