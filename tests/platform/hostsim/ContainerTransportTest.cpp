// The class-2 container transport and the first container-layer handlers,
// checked against layouts written from the record tables.
#include "RawFibTest.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kTestCt = 250;  // no handler of its own

// Container request words in the payload, from byte 32 of the FIB.
constexpr size_t W0 = 32;
uint32_t word(const uint8_t* fib, size_t n) { return getLe32(fib + W0 + 4 * n); }
void setWord(uint8_t* fib, size_t n, uint32_t v) { putLe32(fib + W0 + 4 * n, v); }

class ContainerTransportTest : public vyntest::RawFibTest {
protected:
    // Reads a long reply the way the library does, checking each packet.
    std::vector<uint8_t> fetch(int fd, const std::vector<uint8_t>& first)
    {
        const uint32_t status = word(first.data(), 2);
        const uint32_t total = word(first.data(), 3);
        const uint32_t handle = word(first.data(), 5);
        std::vector<uint8_t> out;
        uint32_t packet = 432;
        uint32_t index = 0;
        if (status == 200) {
            packet = word(first.data(), 6) == 0 ? 1 : word(first.data(), 6);
            out.insert(out.end(), first.begin() + 64, first.begin() + 64 + std::min(total, packet));
            index = 1;
        }
        for (; out.size() < total; ++index) {
            std::vector<uint8_t> fib = request(2, 83);
            setWord(fib.data(), 5, handle);
            setWord(fib.data(), 6, index);
            fib = send(fd, fib);
            EXPECT_EQ(word(fib.data(), 0), 0u);
            EXPECT_EQ(word(fib.data(), 1), 83u);
            const size_t n = std::min<size_t>(total - out.size(), packet);
            out.insert(out.end(), fib.begin() + 64, fib.begin() + 64 + n);
        }
        if (status == 201) {
            std::vector<uint8_t> fib = request(2, 84);
            setWord(fib.data(), 5, handle);
            fib = send(fd, fib);
            EXPECT_EQ(word(fib.data(), 1), 84u);
            EXPECT_EQ(word(fib.data(), 2), 198u);
        }
        return out;
    }

    void addPatternHandler(size_t total)
    {
        sim().addCtHandler(kTestCt, [total](ControllerState&, const CtRequest&, CtReply& r) {
            r.status = 7;
            r.result2 = 0xABCD;
            r.data.resize(total);
            for (size_t i = 0; i < total; ++i)
                r.data[i] = static_cast<uint8_t>(i * 7 + 1);
        });
    }
};

TEST_F(ContainerTransportTest, LongRepliesArriveWholeInBothForms)
{
    for (const char* form : {"201", "200"}) {
        for (size_t total : {size_t{0}, size_t{432}, size_t{433}, size_t{1000}}) {
            SCOPED_TRACE(std::string("form ") + form + ", total " + std::to_string(total));
            const int fd = openAdapter(std::string("adapters = 1\nhostsim.persist = 0\nadapter0.multipacket = ") + form + "\n");
            addPatternHandler(total);
            std::vector<uint8_t> first = send(fd, request(2, kTestCt));
            EXPECT_EQ(word(first.data(), 0), 0u);
            EXPECT_EQ(word(first.data(), 1), kTestCt);
            std::vector<uint8_t> data;
            if (total <= 448) {
                EXPECT_EQ(word(first.data(), 5), 0xFFFFFFFFu);
                EXPECT_EQ(word(first.data(), 2), 7u);
                data.assign(first.begin() + 64, first.begin() + 64 + total);
            } else {
                EXPECT_EQ(word(first.data(), 2), std::stoul(form));
                EXPECT_EQ(word(first.data(), 3), total);
                EXPECT_EQ(word(first.data(), 4), 0xABCDu);
                EXPECT_EQ(word(first.data(), 5), 0x100u);
                data = fetch(fd, first);
            }
            ASSERT_EQ(data.size(), total);
            for (size_t i = 0; i < total; ++i)
                ASSERT_EQ(data[i], static_cast<uint8_t>(i * 7 + 1)) << i;
            hostIo().close(fd);
            sim().uninstall();
        }
    }
}

TEST_F(ContainerTransportTest, FollowUpsWithUnknownHandlesFailTheTransport)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\n");
    addPatternHandler(1000);
    const std::vector<uint8_t> first = send(fd, request(2, kTestCt));
    for (uint32_t ct : {83u, 84u}) {
        std::vector<uint8_t> fib = request(2, ct);
        setWord(fib.data(), 5, word(first.data(), 5) + 1);
        fib = send(fd, fib);
        EXPECT_EQ(word(fib.data(), 0), 1u) << ct;
        EXPECT_EQ(word(fib.data(), 1), ct);
    }
    // CT 84 forgets the transfer: a second close fails.
    for (int i = 0; i < 2; ++i) {
        std::vector<uint8_t> fib = request(2, 84);
        setWord(fib.data(), 5, word(first.data(), 5));
        fib = send(fd, fib);
        EXPECT_EQ(word(fib.data(), 0), i == 0 ? 0u : 1u);
    }
    // An unknown CT code answers transport status 1 with its echo.
    const std::vector<uint8_t> unknown = send(fd, request(2, 400));
    EXPECT_EQ(word(unknown.data(), 0), 1u);
    EXPECT_EQ(word(unknown.data(), 1), 400u);
}

TEST_F(ContainerTransportTest, AFifthTransferDropsTheOldest)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\n");
    addPatternHandler(1000);
    std::vector<uint32_t> handles;
    for (int i = 0; i < 5; ++i)
        handles.push_back(word(send(fd, request(2, kTestCt)).data(), 5));
    EXPECT_EQ(handles.front(), 0x100u);
    EXPECT_EQ(handles.back(), 0x104u);
    EXPECT_EQ(sim().controller(0).ctTransfers.size(), 4u);
    std::vector<uint8_t> fib = request(2, 83);
    setWord(fib.data(), 5, 0x100);
    EXPECT_EQ(word(send(fd, fib).data(), 0), 1u);
}

TEST_F(ContainerTransportTest, ControllerWideAnswers)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\nadapter0.cache_policy = 0x2\nadapter0.oem_id = 9\n"
                               "adapter0.heat_sensor = 41,3,60\n");
    // CT 4: maximum containers, accessible containers, partitions
    std::vector<uint8_t> r = send(fd, request(2, 4));
    EXPECT_EQ(word(r.data(), 2), 64u);
    EXPECT_EQ(word(r.data(), 3), 32u);
    EXPECT_EQ(word(r.data(), 4), 256u);
    // CT 73: eight 36-byte entries; RAID-0 is entry 1, entries 6 and 7 unset
    r = send(fd, request(2, 73));
    EXPECT_EQ(word(r.data(), 2), 192u);
    EXPECT_EQ(getLe32(r.data() + 64 + 36 + 0), 2u);
    EXPECT_EQ(getLe32(r.data() + 64 + 36 + 8), 16u);
    EXPECT_EQ(getLe32(r.data() + 64 + 6 * 36), 0xFFFFFFFFu);
    EXPECT_EQ(getLe32(r.data() + 64 + 7 * 36 + 4), 0xFFFFFFFFu);
    // CT 87: the serial words lead the trailing words (byte 20 of 48 with
    // option word 2 bit 0x10, the default)
    r = send(fd, request(2, 87));
    EXPECT_EQ(word(r.data(), 2), 205u);
    EXPECT_EQ(getLe32(r.data() + 64 + 20), 0x30315356u);
    EXPECT_EQ(getLe32(r.data() + 64 + 24), 0x32343030u);
    // CT 193 and CT 239
    EXPECT_EQ(word(send(fd, request(2, 193)).data(), 2), 9u);
    EXPECT_EQ(word(send(fd, request(2, 239)).data(), 3), 2u);
    // FIB 803: u16 at 36, 40, 42
    std::vector<uint8_t> heat = request(0, 0);
    putLe16(heat.data() + 4, 803);
    heat = send(fd, heat);
    EXPECT_EQ(getLe16(heat.data() + 32 + 36), 41u);
    EXPECT_EQ(getLe16(heat.data() + 32 + 40), 3u);
    EXPECT_EQ(getLe16(heat.data() + 32 + 42), 60u);
    // FIB 701: word 0 not 0, word 2 the firmware build
    std::vector<uint8_t> rev = request(0, 0);
    putLe16(rev.data() + 4, 701);
    rev = send(fd, rev);
    EXPECT_NE(word(rev.data(), 0), 0u);
    EXPECT_EQ(word(rev.data(), 2), 20000u);
    // class 25: word 0 = 0, the reported properties 11, 16, 17, 18, 19, 24
    r = send(fd, request(25, 0));
    EXPECT_EQ(word(r.data(), 0), 0u);
    EXPECT_EQ(getLe32(r.data() + 32 + 4), (1u << 11) | (1u << 16) | (1u << 17) | (1u << 18) | (1u << 19) | (1u << 24));
}

TEST_F(ContainerTransportTest, MiscStatusIsFortyBytesWithoutTheWideOption)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\nadapter0.option_word2 = 0x0EB797CC\n");
    std::vector<uint8_t> r = send(fd, request(2, 87));
    EXPECT_EQ(getLe32(r.data() + 64 + 12), 0x30315356u);
    EXPECT_EQ(getLe32(r.data() + 64 + 16), 0x32343030u);
}

TEST_F(ContainerTransportTest, BusRecordsOfTheScsiClassRequests)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\nadapter0.bus0 = sas 16\nadapter0.bus1 = sas 8\n");
    auto busRequest = [&](uint32_t sub) {
        std::vector<uint8_t> fib = request(3, 9);
        setWord(fib.data(), 4, sub);
        return send(fd, fib);
    };
    // enhanced: two buses, 16 targets, version at 32, SAS types from 36
    std::vector<uint8_t> r = busRequest(12);
    const uint8_t* rec = r.data() + 32 + 20;
    EXPECT_EQ(word(r.data(), 0), 0u);
    EXPECT_EQ(getLe32(rec + 4), 2u);
    EXPECT_EQ(getLe32(rec + 8), 16u);
    EXPECT_EQ(rec[13], 1u);
    EXPECT_EQ(getLe32(rec + 32), 4u);
    EXPECT_EQ(getLe32(rec + 36), 12u);
    EXPECT_EQ(getLe32(rec + 40), 12u);
    // legacy: the first 32 bytes only
    r = busRequest(9);
    rec = r.data() + 32 + 20;
    EXPECT_EQ(getLe32(rec + 4), 2u);
    EXPECT_EQ(getLe32(rec + 32), 0u);
    // an unknown sub-command answers 10004
    EXPECT_EQ(word(busRequest(77).data(), 0), 10004u);
}

TEST_F(ContainerTransportTest, AnOlderControllerRefusesTheEnhancedBusRecord)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\nadapter0.bus_info = legacy\n");
    std::vector<uint8_t> fib = request(3, 9);
    setWord(fib.data(), 4, 12);
    fib = send(fd, fib);
    EXPECT_NE(word(fib.data(), 0), 0u);
    EXPECT_NE(word(fib.data(), 0), 10004u);
}

TEST_F(ContainerTransportTest, NewStateKeysSurviveTheStateFile)
{
    const std::string desc = "adapters = 1\nadapter0.heat_sensor = 41,3,60\nadapter0.cache_policy = 0x3\n"
                             "adapter0.multipacket = 200\nadapter0.packet_size = 0\nadapter0.bus_info = legacy\n"
                             "adapter0.properties_mask = 0x40000\nadapter0.properties_record = 0102\n"
                             "adapter0.ppi_entries = 4\nadapter0.log.history_start = 2\n"
                             "adapter0.container_record = 708\n";
    { Simulator first(desc); }
    const std::string text = vyntest::readFile(hostFile("/var/lib/hostsim/adapter0.state"));
    EXPECT_NE(text.find("heat_sensor = 41,3,60"), std::string::npos) << text;
    EXPECT_NE(text.find("properties_record = \"0102\""), std::string::npos) << text;
    Simulator s(desc);
    const ControllerState& c = s.controller(0);
    EXPECT_EQ(c.heatSensor[1], 3);
    EXPECT_EQ(c.heatSensor[2], 60);
    EXPECT_EQ(c.multipacket, 200u);
    EXPECT_EQ(c.packetSize, 0u);
    EXPECT_TRUE(c.legacyBusInfo);
    EXPECT_EQ(c.propertiesMask, 0x40000u);
    ASSERT_EQ(c.properties.size(), 480u);
    EXPECT_EQ(c.properties[0], 1u);
    EXPECT_EQ(c.properties[1], 2u);
    EXPECT_EQ(c.properties[2], 0u);
    EXPECT_EQ(c.cachePolicy, 0x3u);
    EXPECT_EQ(c.ppiEntries, 4u);
    EXPECT_EQ(c.historyStart, 2u);
    EXPECT_EQ(c.containerRecord, 708u);
}

TEST_F(ContainerTransportTest, SplitSnapshotAndPpiTableAnswers)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\nadapter0.ppi_entries = 2\n");
    // CT 30 and 31 find no container 0 to split (194), CT 104 answers 232.
    EXPECT_EQ(word(send(fd, request(2, 30)).data(), 2), 194u);
    EXPECT_EQ(word(send(fd, request(2, 31)).data(), 2), 194u);
    EXPECT_EQ(word(send(fd, request(2, 104)).data(), 2), 232u);
    // CT 194: six words, the age at word 1, the entry count at word 4.
    std::vector<uint8_t> r = send(fd, request(2, 194));
    EXPECT_EQ(word(r.data(), 2), 218u);
    EXPECT_EQ(getLe32(r.data() + 64 + 4), 0u);
    EXPECT_EQ(getLe32(r.data() + 64 + 16), 2u);
    // CT 195: 16-byte entries with option word 2 bit 0x200000 (a default):
    // identity words, device handle at 8, bundle length at 12, kind at 13.
    std::vector<uint8_t> q = request(2, 195);
    setWord(q.data(), 2, 219);
    setWord(q.data(), 7, 32);
    r = send(fd, q);
    EXPECT_EQ(word(r.data(), 2), 218u);
    const uint8_t* e = r.data() + 64 + 16;
    EXPECT_EQ(getLe32(e), 0x30315356u);
    EXPECT_EQ(getLe32(e + 4), 1u);
    EXPECT_EQ(getLe32(e + 8), 1u);
    EXPECT_EQ(e[12], 1u);
    EXPECT_EQ(e[13], 1u);
    // Only sub-command 219 reads the table: anything else is refused.
    for (uint32_t sub : {0u, 218u, 220u}) {
        SCOPED_TRACE(sub);
        setWord(q.data(), 2, sub);
        r = send(fd, q);
        EXPECT_EQ(word(r.data(), 2), 226u);
        EXPECT_EQ(getLe32(r.data() + 64 + 16 + 4), 0u);
    }
    // A clear empties the table and moves its age on.
    EXPECT_EQ(word(send(fd, request(2, 202)).data(), 2), 218u);
    r = send(fd, request(2, 194));
    EXPECT_EQ(getLe32(r.data() + 64 + 4), 1u);
    EXPECT_EQ(getLe32(r.data() + 64 + 16), 0u);
}

TEST_F(ContainerTransportTest, NarrowPpiEntriesWithoutTheWideOption)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\nadapter0.ppi_entries = 3\n"
                               "adapter0.option_word2 = 0x0E9797DC\n");
    std::vector<uint8_t> q = request(2, 195);
    setWord(q.data(), 2, 219);
    setWord(q.data(), 7, 36);
    q = send(fd, q);
    // u16 device handle at 8, bundle length at 10, flags at 11.
    const uint8_t* e = q.data() + 64 + 24;
    EXPECT_EQ(getLe32(e + 4), 2u);
    EXPECT_EQ(getLe16(e + 8), 2u);
    EXPECT_EQ(e[10], 1u);
    EXPECT_EQ(e[11], 1u);
}

TEST_F(ContainerTransportTest, OlderHistoryLogLineByLine)
{
    const int fd = openAdapter("adapters = 1\nhostsim.persist = 0\nadapter0.option_word1 = 0x000C0820\n"
                               "adapter0.log.history = a\\nbb\\n\nadapter0.log.history_start = 1\n");
    // CT 189: the line count as the status, the current run's first line.
    std::vector<uint8_t> r = send(fd, request(2, 189));
    EXPECT_EQ(word(r.data(), 2), 2u);
    EXPECT_EQ(word(r.data(), 3), 1u);
    // CT 57: a 101-byte entry, 150; past the last line 151.
    std::vector<uint8_t> q = request(2, 57);
    setWord(q.data(), 2, 1);
    r = send(fd, q);
    EXPECT_EQ(word(r.data(), 2), 150u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data() + 64)), "bb");
    setWord(q.data(), 2, 2);
    EXPECT_EQ(word(send(fd, q).data(), 2), 151u);
}

TEST_F(ContainerTransportTest, LegacyContainerRecordsInBothLengths)
{
    const std::string containers = "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sas 146G\n"
                                   "adapter0.drive2 = 0:2 sas 146G\nadapter0.drive3 = 0:3 sas 146G\n"
                                   "adapter0.drive4 = 0:4 sas 146G\nadapter0.ld0 = raid1 0:0,0:1\n"
                                   "adapter0.ld1 = raid5 0:2,0:3,0:4\nadapter0.ld3 = snapshot 1\n";
    struct Case {
        uint32_t number;
        uint32_t status;  // the firmware container type, handed back in result word 2
        uint32_t members;
        uint32_t firstPartition;
        uint32_t under;  // word 135: what a snapshot stands over
    };
    const Case cases[] = {{0, 2, 2, 1, 0}, {1, 4, 3, 3, 0}, {2, 0, 0, 0, 0}, {3, 5, 0, 0, 1}};
    for (const char* length : {"1152", "708"}) {
        const int fd =
            openAdapter(std::string("adapters = 1\nhostsim.persist = 0\nadapter0.container_record = ") + length + "\n" +
                        containers);
        const bool old = std::string(length) == "708";
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(length) + " container " + std::to_string(c.number));
            std::vector<uint8_t> fib = request(2, old ? 5 : 178);
            setWord(fib.data(), 2, c.number);
            const std::vector<uint8_t> first = send(fd, fib);
            ASSERT_EQ(word(first.data(), 0), 0u);
            EXPECT_EQ(word(first.data(), 2), 201u);
            EXPECT_EQ(word(first.data(), 4), c.status);
            const std::vector<uint8_t> record = fetch(fd, first);
            ASSERT_EQ(record.size(), old ? 708u : 1152u);
            EXPECT_EQ(getLe32(record.data()), c.members);
            // Members from word 5 (word 3 of the short record); word 135 at
            // byte 152 of the short record.
            EXPECT_EQ(getLe32(record.data() + (old ? 12 : 20)), c.firstPartition);
            EXPECT_EQ(getLe32(record.data() + (old ? 152 : 540)), c.under);
        }
        if (old) {
            // The newer command is unknown to an older controller.
            std::vector<uint8_t> fib = request(2, 178);
            fib = send(fd, fib);
            EXPECT_EQ(word(fib.data(), 0), 1u);
            EXPECT_EQ(word(fib.data(), 1), 178u);
        }
        hostIo().close(fd);
        sim().uninstall();
    }
}

}  // namespace
