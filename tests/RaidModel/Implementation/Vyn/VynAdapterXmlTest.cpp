// The controller's own XML attributes (general information fields, RAID-6
// drive-count tables, features) and the connector entries that match
// several lanes.
#include "Command/Vyn/common/fa_bytes.h"
#include "FamilyTest.h"
#include "RaidModel/Implementation/Vyn/VynAdapter.h"
#include "ScriptedFsaExports.h"
#include "common/Ret.h"
#include "common/Writer.h"
#include "common/XMLWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

using vyntest::ScriptedFsaExports;
using vyntest::words;

constexpr uint32_t kRaid6Support = 1u << 10;

// The adapter's element alone: attributes, no children.
std::string attributesOf(const VynAdapter& adapter)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    adapter.writeTo(&writer);
    return text != nullptr ? std::string(text) : std::string();
}

bool has(const std::string& xml, const std::string& name) { return xml.find(" " + name + "=\"") != std::string::npos; }

std::string valueOf(const std::string& xml, const std::string& name)
{
    const std::string key = " " + name + "=\"";
    const size_t at = xml.find(key);
    if (at == std::string::npos)
        return "<absent>";
    const size_t from = at + key.size();
    return xml.substr(from, xml.find('"', from) - from);
}

class VynAdapterXmlTest : public vyntest::FamilyTest {
protected:
    // A controller that is never opened, with general information whose u32
    // fields at the given offsets hold the given values; the RAID-6 options
    // it reads are `raid6` (when the RAID-6 support bit is among them).
    vyntest::TreePtr<VynAdapter> controller(std::initializer_list<std::pair<size_t, uint32_t>> fields,
                                            const FSA_RAID6_OPTIONS* raid6 = nullptr)
    {
        const _tagFSA_ADAPTER_ENUM_INFO record = craftedRecord(4);
        vyntest::TreePtr<VynAdapter> adapter(new VynAdapter(&record, nullptr, 0, nullptr, nullptr));
        FSA_GENERAL_INFO2 g = {};
        for (const auto& [at, value] : fields)
            faPutLe32(g.bytes + at, value);
        if (raid6 != nullptr)
            fsa.script("FsaGetRaid6Options", 1,
                       std::vector<uint8_t>(raid6->bytes, raid6->bytes + sizeof raid6->bytes));
        adapter->setFsaGeneralInfo(&g);
        return adapter;
    }
    static FSA_RAID6_OPTIONS raid6Options(uint32_t count, bool reedSolomon,
                                          std::initializer_list<std::vector<int>> entries)
    {
        FSA_RAID6_OPTIONS r = {};
        faPutLe32(r.bytes + 8, 12);  // major cycle
        faPutLe32(r.bytes + RAID6_OPT_ENTRY_COUNT, count);
        r.bytes[RAID6_OPT_FLAGS] = reedSolomon ? RAID6_OPT_FLAG_RS : 0;
        size_t i = 0;
        for (const std::vector<int>& e : entries) {
            for (size_t table : {RAID6_OPT_TABLE, RAID6_OPT_RS_TABLE}) {
                uint8_t* p = r.bytes + table + 4 * i;
                p[0] = static_cast<uint8_t>(e[0]);
                p[1] = static_cast<uint8_t>(e[1] + (table == RAID6_OPT_RS_TABLE ? 1 : 0));
                faPutLe16(p + 2, static_cast<uint16_t>(e[2]));
            }
            ++i;
        }
        return r;
    }

    ScriptedFsaExports fsa;
};

TEST_F(VynAdapterXmlTest, Raid6AttributesFollowTheRaid6Features)
{
    struct Case {
        const char* name;
        bool raid6Support;
        FSA_RAID6_OPTIONS options;
        const char* counts;    // "<absent>" when not written
        const char* rsCounts;  // likewise
    };
    const Case cases[] = {
        {"no RAID-6", false, raid6Options(2, false, {{3, 1, 16}, {4, 2, 32}}), "<absent>", "<absent>"},
        {"no entries", true, raid6Options(0, false, {}), "", "<absent>"},
        {"two entries", true, raid6Options(2, false, {{3, 1, 16}, {4, 2, 32}}), "3,1,16;4,2,32", "<absent>"},
        {"Reed-Solomon", true, raid6Options(2, true, {{3, 1, 16}, {4, 2, 32}}), "3,1,16;4,2,32",
         "3,2,16;4,3,32"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        vyntest::TreePtr<VynAdapter> adapter =
            controller({{GI_RAID_SUPPORT_MASK, k.raid6Support ? kRaid6Support : 0}},
                       k.raid6Support ? &k.options : nullptr);
        const std::string xml = attributesOf(*adapter);
        EXPECT_EQ(valueOf(xml, "raid6DriveCounts"), k.counts);
        EXPECT_EQ(valueOf(xml, "raid6RSDriveCounts"), k.rsCounts);
        EXPECT_EQ(has(xml, "maxRaid6Members"), k.raid6Support);
        EXPECT_EQ(valueOf(xml, "maxRaid6MajorCycle"), k.raid6Support ? "12" : "<absent>");
        for (const char* always : {"maxRaid10Members", "maxRaid50Members", "maxRaid60Members"})
            EXPECT_TRUE(has(xml, always)) << always;
    }
}

TEST_F(VynAdapterXmlTest, AnEntryCountBeyondTheTablesWritesTheirThirtyTwoEntries)
{
    FSA_RAID6_OPTIONS options = raid6Options(40, true, {});
    for (size_t i = 0; i < 32; ++i) {
        options.bytes[RAID6_OPT_TABLE + 4 * i] = static_cast<uint8_t>(i);
        options.bytes[RAID6_OPT_RS_TABLE + 4 * i] = static_cast<uint8_t>(100 + i);
    }
    vyntest::TreePtr<VynAdapter> adapter = controller({{GI_RAID_SUPPORT_MASK, kRaid6Support}}, &options);
    const std::string xml = attributesOf(*adapter);
    for (const char* name : {"raid6DriveCounts", "raid6RSDriveCounts"}) {
        SCOPED_TRACE(name);
        const std::string counts = valueOf(xml, name);
        size_t entries = 1;
        for (char c : counts)
            entries += c == ';' ? 1 : 0;
        EXPECT_EQ(entries, 32u) << counts;
    }
    EXPECT_EQ(valueOf(xml, "raid6DriveCounts").substr(0, 12), "0,0,0;1,0,0;");
    EXPECT_EQ(valueOf(xml, "raid6RSDriveCounts").substr(0, 8), "100,0,0;");
}

TEST_F(VynAdapterXmlTest, GeneralInformationFieldsAreWrittenFromTheirOffsets)
{
    vyntest::TreePtr<VynAdapter> adapter = controller({
        {GI_MAX_CONTAINER_NUMBER, 63},
        {GI_SUPPORTED_OPTIONS2, 0x0EB797DC},
        {GI_HEAT_TEMPERATURE, 0x00280000 | 41},  // 41 at 2492, 0x28 in the next two bytes
        {GI_HEAT_LOW, (70u << 16) | 10},         // low 10 at 2496, high 70 at 2498
        {GI_PCI_BUS, 0x0003FFFF},                // bus -1, slot 3
        {GI_PCI_PHYSICAL_SLOT, 0x05000007},      // slot 7, snapshots (byte 2435) 5
        {GI_POWER_MANAGEMENT, 0x5},
        {GI_HOST_BUS_TYPE, 0x01F40803},          // type 3, width 8, speed 500
        {GI_OEM, 9},
        {GI_OEM_ID, 4},
    });
    const std::string xml = attributesOf(*adapter);
    const std::pair<const char*, const char*> expected[] = {
        {"fsaMaxContainerNumber", "63"},
        {"fsaSupportedOptions2", "246912988"},
        {"heatSensorTemperature", "41"},
        {"heatSensorThresholdLo", "10"},
        {"heatSensorThresholdHi", "70"},
        {"fsaPCIBusID", "4294967295"},
        {"fsaPCISlotNumber", "3"},
        {"fsaPCIPhysicalSlotNumber", "7"},
        {"fsaNumOfSnapshots", "5"},
        {"pmStayAwakeEnabled", "true"},
        {"pmEnabled", "true"},
        {"pmDriverSupport", "false"},
        {"fsaHostBusType", "3"},
        {"fsaHostBusWidth", "8"},
        {"fsaHostBusSpeed", "500"},
        {"fsaOem", "9"},
        {"fsaOemId", "4"},
        {"fsaAvailability", "4"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(valueOf(xml, name), value) << name;

    // Table order: Adapter's own attributes first, then the family's, the
    // features last.
    size_t at = 0;
    for (const char* name : {"controllerType", "hasFilterDriver", "maxConfiguredDrives", "deviceVendor", "pciVendorID",
                             "isClustered", "batStatus", "maxDedicatedSparesPerLogicalDrive", "fsaBuildNum",
                             "serialNum0", "vpdAssemblyPn", "fsaApiBuildNum", "stagedFwVersion", "maxRaid10Members",
                             "heatSensorTemperature", "fsaAvailability", "fsaOem", "fsaMaxContainerNumber",
                             "fsaPCIBusID", "fsaDeviceCachePolicy", "pmStayAwakeEnabled", "fsaHostBusSpeed",
                             "pmStayAwakeDaysSupported", "numOrvexaAssignedDrives", "sataNCQSupported",
                             "rBalanceFactor", "orvexaReadCachePoolSize", "maxDiskXtasksSupported", "featFlashBios"}) {
        const size_t found = xml.find(" " + std::string(name) + "=\"", at);
        ASSERT_NE(found, std::string::npos) << name << " after " << at << " in " << xml;
        at = found;
    }
    EXPECT_EQ(adapter->getFeature(featFlashBios), 1);
    adapter->setFeature(featFlashBios, 0);
    EXPECT_FALSE(has(attributesOf(*adapter), "featFlashBios"));
}

TEST_F(VynAdapterXmlTest, TheSavedConfigurationFormKeepsTheSettings)
{
    vyntest::TreePtr<VynAdapter> adapter = controller({{GI_POWER_MANAGEMENT, 0x4}});
    char* text = nullptr;
    XMLWriter writer(&text);
    adapter->writeToXML(&writer);
    const std::string xml = text != nullptr ? std::string(text) : std::string();
    size_t at = 0;
    for (const char* name : {"deviceName", "dataScrubbingActive", "dataScrubRate", "copyBackEnabled",
                             "pmStayAwakeEnabled", "pmEnabled", "pmStayAwakeDaysSupported", "pmStayAwakeMainEnabled",
                             "pmStayAwakeDays", "numOrvexaAssignedDrives", "orvexaFlushAndFetchRate",
                             "dirtyPageThresholdValue", "sataNCQSupported", "sataNCQEnabled",
                             "StatisticDataCollectionEnabled", "orvexaReadCachePoolSize"}) {
        const size_t found = xml.find(" " + std::string(name) + "=\"", at);
        ASSERT_NE(found, std::string::npos) << name << " after " << at << " in " << xml;
        at = found;
    }
    EXPECT_EQ(valueOf(xml, "pmStayAwakeEnabled"), "true");
    EXPECT_EQ(valueOf(xml, "pmEnabled"), "false");
    EXPECT_FALSE(has(xml, "fsaOem"));
}

TEST_F(VynAdapterXmlTest, ConnectorMapOutcomes)
{
    fsa.answerUnscripted(31);
    vyntest::TreePtr<VynAdapter> adapter = controller({{GI_SUPPORTED_OPTIONS2, 0x100}});
    // One connector entry whose key byte opens two lane entries.
    std::vector<uint8_t> map(8 + 3 * 12 + 16, 0);
    map[4] = 1;
    map[5] = 3;
    map[8] = 5;
    map[8 + 12] = 6;
    map[8 + 24] = 5;
    map[8 + 36 + 4] = 5;
    fsa.script("FsaGetConnectorMapSize", 1, words({static_cast<uint32_t>(map.size())}));
    fsa.script("FsaGetConnectorMap", 1, map);
    Ret ret;
    adapter->initConnectionMap(ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(adapter->getNumSASConnector(), 2u);

    // Size 0: nothing read, the Ret clean.
    fsa.script("FsaGetConnectorMapSize", 1, words({0}));
    adapter->initConnectionMap(ret);
    EXPECT_EQ(ret, Ret());
    EXPECT_EQ(adapter->getNumSASConnector(), 2u);
    EXPECT_EQ(fsa.count("FsaGetConnectorMap"), 1u);

    // Failures of either call: the API error, no connectors.
    fsa.script("FsaGetConnectorMapSize", 9);
    adapter->initConnectionMap(ret);
    EXPECT_EQ(ret.getReturn(), -5);
    EXPECT_EQ(ret.getAPIReturn(), 9u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetConnectorMapSize() fsaStatus=9 ***"), 1u);
    ret = Ret();
    fsa.script("FsaGetConnectorMapSize", 1, words({static_cast<uint32_t>(map.size())}));
    fsa.script("FsaGetConnectorMap", 8);
    adapter->initConnectionMap(ret);
    EXPECT_EQ(ret.getAPIReturn(), 8u);
    EXPECT_EQ(errorCount("*** FSA API Error: FsaGetConnectorMap() fsaStatus=8 ***"), 1u);
    EXPECT_EQ(adapter->getNumSASConnector(), 2u);
}

}  // namespace
