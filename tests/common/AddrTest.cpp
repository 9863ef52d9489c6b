#include "PrintedText.h"

#include "common/Addr.h"
#include "common/AddrCollection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

constexpr std::uint32_t U = Addr::UNSET_ID;
constexpr std::uint64_t UC = Addr::UNSET_CHUNK_ID;

template <typename A>
std::string dumpOf(const A& addr)
{
    return vyntest::printedText([&addr](FILE* stream) { addr.debug(stream); });
}

TEST(AddrTest, UnsetValues)
{
    EXPECT_EQ(U, 0x7FFFFFFFu);
    EXPECT_EQ(UC, 0x7FFFFFFFFFFFFFFFull);
    EXPECT_EQ(Addr(), Addr(U, U, U, U, U, UC, U, U));
    EXPECT_EQ(Addr(3), Addr(3, U, U, U, U, UC, U, U));

    Addr addr(1, 2, 3, 4, 5, 6, 7, 8);
    addr.clear();
    EXPECT_EQ(addr, Addr());
}

TEST(AddrTest, ConstructorsAndAccessorsKeepEachId)
{
    const Addr addr(1, 2, 3, 4, 5, 0x123456789ull, 7, 8);
    EXPECT_EQ(addr.getAdapterID(), 1u);
    EXPECT_EQ(addr.getArrayID(), 2u);
    EXPECT_EQ(addr.getLogicalDriveID(), 3u);
    EXPECT_EQ(addr.getChannelID(), 4u);
    EXPECT_EQ(addr.getDeviceID(), 5u);
    EXPECT_EQ(addr.getChunkID(), 0x123456789ull);
    EXPECT_EQ(addr.getItemID(), 7u);
    EXPECT_EQ(addr.getSASPhyID(), 8u);

    Addr set;
    set.setAdapterID(1);
    set.setArrayID(2);
    set.setLogicalDeviceID(3);
    set.setChannelID(4);
    set.setDeviceID(5);
    set.setChunkID(0x123456789ull);
    set.setItemID(7);
    set.setSASPhyID(8);
    EXPECT_EQ(set, addr);
    set.setLogicalDriveID(9);
    EXPECT_EQ(set.getLogicalDriveID(), 9u);

    const address ids{1, 2, 3, 4, 5};
    EXPECT_EQ(Addr(ids), Addr(1, 2, 3, 4, 5, UC, U, U));
    EXPECT_EQ(Addr2(STORLIB_TYPE_VYN, ids), Addr2(STORLIB_TYPE_VYN, 1, 2, 3, 4, 5, UC, U, U));

    EXPECT_STREQ(addr.typeName(), "Addr");
    EXPECT_STREQ(addr.serializedName(), "Addr");
    EXPECT_STREQ(Addr2().typeName(), "Addr2");
}

TEST(AddrTest, EqualityLooksAtEveryId)
{
    const Addr base(1, 2, 3, 4, 5, 6, 7, 8);
    const Addr differing[] = {
        Addr(0, 2, 3, 4, 5, 6, 7, 8), Addr(1, 0, 3, 4, 5, 6, 7, 8), Addr(1, 2, 0, 4, 5, 6, 7, 8),
        Addr(1, 2, 3, 0, 5, 6, 7, 8), Addr(1, 2, 3, 4, 0, 6, 7, 8), Addr(1, 2, 3, 4, 5, 6 | (1ull << 40), 7, 8),
        Addr(1, 2, 3, 4, 5, 6, 0, 8), Addr(1, 2, 3, 4, 5, 6, 7, 0),
    };
    EXPECT_TRUE(base.IsEqual(Addr(1, 2, 3, 4, 5, 6, 7, 8)));
    for (const Addr& other : differing) {
        EXPECT_FALSE(base == other);
        EXPECT_FALSE(base.IsEqual(other));
    }
}

TEST(AddrTest, GetTypeOfEachShape)
{
    struct Case {
        const char* name;
        Addr addr;
        int type;
    };
    const Case cases[] = {
        {"adapter", Addr(3), ADDR_TYPE_ADAPTER},
        {"no adapter", Addr(), ADDR_TYPE_INVALID},
        {"channel without adapter", Addr(U, U, U, 0, U, UC, U, U), ADDR_TYPE_INVALID},
        // Step 2: an array takes nothing else.
        {"array", Addr(3, 1, U, U, U, UC, U, U), ADDR_TYPE_ARRAY},
        {"array with logical drive", Addr(3, 1, 0, U, U, UC, U, U), ADDR_TYPE_INVALID},
        {"array with channel", Addr(3, 1, U, 0, U, UC, U, U), ADDR_TYPE_INVALID},
        {"array with chunk", Addr(3, 1, U, U, U, 0, U, U), ADDR_TYPE_INVALID},
        {"array with phy", Addr(3, 1, U, U, U, UC, U, 0), ADDR_TYPE_INVALID},
        // Step 3: logical drive and its chunks.
        {"logical drive", Addr(3, U, 0, U, U, UC, U, U), ADDR_TYPE_LOGICAL},
        {"chunk of logical drive", Addr(3, U, 0, U, U, 7, U, U), ADDR_TYPE_CHUNK},
        {"logical drive with channel", Addr(3, U, 0, 1, U, UC, U, U), ADDR_TYPE_INVALID},
        {"logical drive with device", Addr(3, U, 0, U, 1, UC, U, U), ADDR_TYPE_INVALID},
        {"logical drive with item", Addr(3, U, 0, U, U, UC, 1, U), ADDR_TYPE_INVALID},
        {"logical drive with phy", Addr(3, U, 0, U, U, UC, U, 1), ADDR_TYPE_INVALID},
        // Step 4: no channel.
        {"controller phy", Addr(3, U, U, U, U, UC, U, 0), ADDR_TYPE_SAS_PHY},
        {"device without channel", Addr(3, U, U, U, 2, UC, U, U), ADDR_TYPE_INVALID},
        {"chunk without channel", Addr(3, U, U, U, U, 5, U, U), ADDR_TYPE_INVALID},
        {"item without channel", Addr(3, U, U, U, U, UC, 1, U), ADDR_TYPE_INVALID},
        // Step 5: a channel ignores chunk, item and phy.
        {"channel", Addr(3, U, U, 0, U, UC, U, U), ADDR_TYPE_CHANNEL},
        {"channel with chunk, item, phy", Addr(3, U, U, 0, U, 5, 1, 0), ADDR_TYPE_CHANNEL},
        // Steps 6 to 8: below a device.
        {"device", Addr(3, U, U, 0, 2, UC, U, U), ADDR_TYPE_DEVICE},
        {"chunk of device", Addr(3, U, U, 0, 2, 5, U, U), ADDR_TYPE_CHUNK},
        {"chunk with item", Addr(3, U, U, 0, 2, 5, 1, U), ADDR_TYPE_INVALID},
        {"chunk with phy", Addr(3, U, U, 0, 2, 5, U, 0), ADDR_TYPE_INVALID},
        {"item", Addr(3, U, U, 0, 2, UC, 1, U), ADDR_TYPE_ITEM},
        {"phy of item", Addr(3, U, U, 0, 2, UC, 1, 0), ADDR_TYPE_SAS_PHY},
        {"phy of device", Addr(3, U, U, 0, 2, UC, U, 0), ADDR_TYPE_SAS_PHY},
        // A chunk id is unset only at its own 64-bit value, not at the 32-bit one.
        {"chunk 0x7FFFFFFF is set", Addr(3, U, U, 0, 2, 0x7FFFFFFFull, U, U), ADDR_TYPE_CHUNK},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.addr.getType(), c.type) << c.name;
        EXPECT_EQ(c.addr.isValid(), c.type != ADDR_TYPE_INVALID) << c.name;
    }
}

TEST(AddrTest, Addr2TypeNeedsALibraryType)
{
    struct Case {
        const char* name;
        Addr2 addr;
        int type;
    };
    const Case cases[] = {
        {"type 0 adapter", Addr2(STORLIB_TYPE_NONE, 3, U, U, U, U, UC, U, U), ADDR_TYPE_INVALID},
        {"type 0 unset", Addr2(), ADDR_TYPE_INVALID},
        {"library only", Addr2(STORLIB_TYPE_VYN, U, U, U, U, U, UC, U, U), ADDR_TYPE_STORLIB},
        {"bad shape with type", Addr2(STORLIB_TYPE_VYN, 3, 1, 0, U, U, UC, U, U), ADDR_TYPE_STORLIB},
        {"device", Addr2(STORLIB_TYPE_VYN, 3, U, U, 0, 2, UC, U, U), ADDR_TYPE_DEVICE},
        {"chunk", Addr2(STORLIB_TYPE_VYN, 3, U, 0, U, U, 7, U, U), ADDR_TYPE_CHUNK},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.addr.getType(), c.type) << c.name;
        EXPECT_EQ(c.addr.isValid(), c.type != ADDR_TYPE_INVALID) << c.name;
    }
}

TEST(AddrTest, CopiesKeepAllIdsAndTheType)
{
    const Addr chunk(3, U, U, 0, 2, 5, U, U);
    const Addr copied(chunk);
    Addr assigned;
    assigned = chunk;
    EXPECT_EQ(copied, chunk);
    EXPECT_EQ(assigned, chunk);
    EXPECT_EQ(copied.getType(), ADDR_TYPE_CHUNK);

    const Addr2 typed(STORLIB_TYPE_VYN, 1, 2, 3, 4, 5, 6, 7, 8);
    Addr2 typedCopy(typed);
    EXPECT_TRUE(typedCopy.IsEqual2(typed));
    Addr2 typedAssigned;
    typedAssigned = typed;
    EXPECT_EQ(typedAssigned.getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_TRUE(typedAssigned == typed);

    // Assigning a plain address takes its ids and keeps the library type.
    typedAssigned = chunk;
    EXPECT_EQ(typedAssigned.getStorLibType(), STORLIB_TYPE_VYN);
    EXPECT_TRUE(typedAssigned == chunk);
    EXPECT_EQ(typedAssigned.getType(), ADDR_TYPE_CHUNK);

    typedAssigned.clear();
    EXPECT_EQ(typedAssigned.getStorLibType(), STORLIB_TYPE_NONE);
    EXPECT_TRUE(typedAssigned == Addr());
}

TEST(AddrTest, Addr2EqualityWithAndWithoutType)
{
    const Addr2 a(STORLIB_TYPE_VYN, 3, U, U, 0, 2, UC, U, U);
    Addr2 b(a);
    b.setStorLibType(static_cast<EnumStorLibType>(7));
    EXPECT_FALSE(a == b);
    EXPECT_FALSE(a.IsEqual2(b));
    EXPECT_TRUE(a == static_cast<const Addr&>(b));
    EXPECT_TRUE(a == Addr(3, U, U, 0, 2, UC, U, U));
    EXPECT_FALSE(a == Addr(3, U, U, 0, 3, UC, U, U));
}

TEST(AddrTest, DumpOfPlainAddress)
{
    const std::string rule = std::string(49, '-') + "\n";
    const Addr chunk(3, U, U, 0, 2, 0x123456789ABCull, U, U);
    EXPECT_EQ(dumpOf(chunk), rule +
                                 "Type                =CHUNK\n"
                                 "getAdapterID()      =3\n"
                                 "getArrayID()        =2147483647\n"
                                 "getLogicalDriveID() =2147483647\n"
                                 "getChannelID()      =0\n"
                                 "getDeviceID()       =2\n"
                                 "getChunkID()        =20015998343868\n"
                                 "getItemID()         =2147483647\n"
                                 "getSASPhyID()       =2147483647\n" + rule);

    EXPECT_NE(dumpOf(Addr()).find("getChunkID()        =9223372036854775807\n"), std::string::npos);
}

TEST(AddrTest, DumpTypeTexts)
{
    struct Case {
        Addr addr;
        const char* line;
    };
    const Case cases[] = {
        {Addr(3), "Type                =ADAPTER\n"},
        {Addr(3, 1, U, U, U, UC, U, U), "Type                =???\n"},
        {Addr(3, U, 0, U, U, UC, U, U), "Type                =LOGICAL\n"},
        {Addr(3, U, U, 0, 2, UC, U, U), "Type                =DEVICE\n"},
        {Addr(3, U, U, 0, U, UC, U, U), "Type                =CHANNEL\n"},
        {Addr(3, U, U, 0, 2, UC, 1, U), "Type                =ITEM (SAFTE or SESElement)\n"},
        {Addr(3, U, U, U, U, UC, U, 0), "Type                =SAS PHY\n"},
        {Addr(), "Type                =INVALID\n"},
    };
    const std::string rule = std::string(49, '-') + "\n";
    for (const Case& c : cases)
        EXPECT_EQ(dumpOf(c.addr).substr(rule.size(), std::string(c.line).size()), c.line) << c.line;
}

TEST(AddrTest, DumpOfAddr2HasTheLibraryTypeLine)
{
    const std::string rule = std::string(49, '-') + "\n";
    const Addr2 addr(STORLIB_TYPE_VYN, U, U, U, U, U, UC, U, U);
    EXPECT_EQ(dumpOf(addr), rule +
                                "Type                =STORLIB\n"
                                "getStorLibType()     =9\n"
                                "getAdapterID()      =2147483647\n"
                                "getArrayID()        =2147483647\n"
                                "getLogicalDriveID() =2147483647\n"
                                "getChannelID()      =2147483647\n"
                                "getDeviceID()       =2147483647\n"
                                "getChunkID()        =9223372036854775807\n"
                                "getItemID()         =2147483647\n"
                                "getSASPhyID()       =2147483647\n" + rule);
}

TEST(AddrTest, CollectionsCompareAndHandOutElements)
{
    AddrCollection drives;
    drives.addAddr(Addr(0, U, U, 0, 1, UC, U, U));
    drives.addAddr(Addr(0, U, U, 0, 2, UC, U, U));
    EXPECT_EQ(drives.getAddrCount(), 2u);
    EXPECT_EQ(drives.getAddr(1), Addr(0, U, U, 0, 2, UC, U, U));
    // Past the end there is no element: an unset, invalid address comes back.
    EXPECT_EQ(drives.getAddr(2), Addr());
    EXPECT_FALSE(drives.getAddr(2).isValid());

    AddrCollection copy(drives);
    EXPECT_TRUE(copy == drives);
    copy.addAddr(Addr(0));
    EXPECT_TRUE(copy != drives);
    AddrCollection reordered;
    reordered.addAddr(drives.getAddr(1));
    reordered.addAddr(drives.getAddr(0));
    EXPECT_TRUE(reordered != drives);
    reordered = drives;
    EXPECT_TRUE(reordered == drives);

    unsigned long visited = 0;
    for (const Addr& a : drives) {
        EXPECT_EQ(a.getType(), ADDR_TYPE_DEVICE);
        ++visited;
    }
    EXPECT_EQ(visited, 2u);

    Addr2Collection typed;
    typed.addAddr(Addr2(STORLIB_TYPE_VYN, 0, U, U, 0, 1, UC, U, U));
    typed.getAddr(0).setDeviceID(4);
    EXPECT_EQ(typed.getAddr(0).getDeviceID(), 4u);
    EXPECT_THROW(typed.getAddr(1), std::out_of_range);

    Addr2Collection otherType(typed);
    EXPECT_TRUE(otherType == typed);
    otherType.getAddr(0).setStorLibType(STORLIB_TYPE_NONE);
    EXPECT_TRUE(otherType != typed);
}

}  // namespace
