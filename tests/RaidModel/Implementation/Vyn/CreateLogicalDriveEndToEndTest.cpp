// Logical drives created by the built command-line program on the simulator,
// each command a process of its own under one host root: what one run
// creates, the next run's configuration shows.
#include "support/HostRootTest.h"
#include "support/VynconfRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class CreateLogicalDriveEndToEndTest : public vyntest::HostRootTest {
protected:
    // The four-drive description made persistent, so that runs build on each
    // other.
    std::string persistentFourDrives()
    {
        std::ifstream in(std::string(VYN_HOSTSIM_FIXTURE_DIR) + "/four-drives.conf");
        std::ostringstream kept;
        std::string line;
        while (std::getline(in, line))
            if (line != "persist = 0")
                kept << line << '\n';
        const std::string path = root() + "/four-drives.conf";
        std::ofstream(path) << kept.str();
        return path;
    }
    vyntest::ProgramRun run(const std::string& simulator, const std::vector<std::string>& args)
    {
        return vyntest::runVynconf(VYNCONF_PATH, root(), simulator, args);
    }
    // A fixture of tests/fixtures/hostsim/ made persistent, written into the
    // host root `where`.
    std::string persistent(const std::string& fixture, const std::string& where)
    {
        std::ifstream in(std::string(VYN_HOSTSIM_FIXTURE_DIR) + "/" + fixture);
        std::ostringstream kept;
        std::string line;
        while (std::getline(in, line))
            if (line != "persist = 0")
                kept << line << '\n';
        const std::string path = where + "/" + fixture;
        std::ofstream(path) << kept.str();
        return path;
    }
};

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::string lastLine(const std::string& text)
{
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const size_t cut = trimmed.rfind('\n');
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

// The value after the colon of the first line that starts with `label`
// (after its indent).
std::string field(const std::string& text, const std::string& label)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, label.size(), label) != 0)
            continue;
        const size_t colon = line.find(':');
        return colon == std::string::npos ? "" : line.substr(line.find_first_not_of(' ', colon + 1));
    }
    return "";
}

TEST_F(CreateLogicalDriveEndToEndTest, AMirrorOnTheFourDrivesComesAndGoes)
{
    const std::string fourDrives = persistentFourDrives();
    const vyntest::ProgramRun create = run(fourDrives, {"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "0", "0", "0",
                                                        "1", "noprompt"});
    EXPECT_EQ(create.exitCode, 0) << create.output << create.error;
    EXPECT_EQ(lastLine(create.output), "Command completed successfully.") << create.output;

    const vyntest::ProgramRun config = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(config.exitCode, 0) << config.error;
    EXPECT_EQ(occurrences(config.output, "Logical device number 0\n"), 1u) << config.output;
    EXPECT_EQ(occurrences(config.output, "Logical device number "), 1u) << config.output;
    EXPECT_EQ(field(config.output, "RAID level"), "1") << config.output;
    EXPECT_EQ(field(config.output, "Logical device name"), "LogicalDrv 0") << config.output;

    const vyntest::ProgramRun remove = run(fourDrives, {"DELETE", "1", "LOGICALDRIVE", "0", "noprompt"});
    EXPECT_EQ(remove.exitCode, 0) << remove.output << remove.error;
    EXPECT_EQ(lastLine(remove.output), "Command completed successfully.") << remove.output;

    const vyntest::ProgramRun after = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_NE(after.output.find("   No logical devices configured"), std::string::npos) << after.output;
    EXPECT_EQ(occurrences(after.output, "Logical device number "), 0u) << after.output;
}

TEST_F(CreateLogicalDriveEndToEndTest, ARaid5OfOneHundredMegabytes)
{
    const std::string fourDrives = persistentFourDrives();
    const vyntest::ProgramRun before = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_NE(before.output.find("No logical devices configured"), std::string::npos) << before.output;
    const vyntest::ProgramRun create = run(fourDrives, {"CREATE", "1", "LOGICALDRIVE", "100", "5", "0", "0", "0",
                                                        "1", "0", "2", "noprompt"});
    EXPECT_EQ(create.exitCode, 0) << create.output << create.error;
    EXPECT_EQ(lastLine(create.output), "Command completed successfully.") << create.output;

    const vyntest::ProgramRun config = run(fourDrives, {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(config.output.find("No logical devices configured"), std::string::npos) << config.output;
    EXPECT_EQ(field(config.output, "RAID level"), "5") << config.output;
    EXPECT_EQ(field(config.output, "Size"), "100 MB") << config.output;
}

TEST_F(CreateLogicalDriveEndToEndTest, ASecondDriveBesideTheDefaultOne)
{
    const vyntest::ProgramRun create =
        run("default", {"CREATE", "1", "LOGICALDRIVE", "MAX", "1", "0", "4", "0", "5", "noprompt"});
    EXPECT_EQ(create.exitCode, 0) << create.output << create.error;
    EXPECT_EQ(lastLine(create.output), "Command completed successfully.") << create.output;

    const vyntest::ProgramRun config = run("default", {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(occurrences(config.output, "Logical device number "), 2u) << config.output;
    EXPECT_NE(config.output.find("Logical device number 1\n"), std::string::npos) << config.output;
    EXPECT_EQ(field(config.output, "Logical device name"), "Data") << config.output;
}

// The chunks GETXML lists on drive 0:`device`, as (logical drive, start,
// blocks), each once (the drive and the logical drive both list it).
struct XmlChunk {
    std::string logicalDrive;
    uint64_t start = 0;
    uint64_t blocks = 0;
};

std::string attribute(const std::string& element, const std::string& name)
{
    const std::string key = " " + name + "=\"";
    const size_t at = element.find(key);
    if (at == std::string::npos)
        return "";
    const size_t from = at + key.size();
    return element.substr(from, element.find('"', from) - from);
}

std::vector<XmlChunk> chunksOn(const std::string& xml, const std::string& device)
{
    std::vector<XmlChunk> out;
    for (size_t at = xml.find("<Chunk typeName=\"VynChunk\""); at != std::string::npos;
         at = xml.find("<Chunk typeName=\"VynChunk\"", at + 1)) {
        const std::string element = xml.substr(at, xml.find('>', at) - at);
        if (attribute(element, "channelID") != "0" || attribute(element, "deviceID") != device)
            continue;
        const uint64_t start = std::stoull(attribute(element, "startBlock"));
        if (std::none_of(out.begin(), out.end(), [&](const XmlChunk& c) { return c.start == start; }))
            out.push_back({attribute(element, "consumerLogicalID"), start, std::stoull(attribute(element, "numBlocks"))});
    }
    return out;
}

// A container created with a size holds that size, and the next one on its
// drives starts right behind it: on `default`, RAID 1E of three drives and
// RAID 10 of four; on eight drives, RAID 50 of two legs of three and RAID 60
// of two legs of four.
TEST_F(CreateLogicalDriveEndToEndTest, SizedContainersOfEveryShapeHoldTheirSizeAndTheNextFollows)
{
    struct Row {
        const char* fixture;  // "" for `default`
        std::vector<std::string> create;
        const char* number;   // of the new logical drive
        const char* device;   // a member drive, 0:device
        std::vector<std::string> next;
    };
    const Row rows[] = {
        {"", {"1000", "1E", "0", "4", "0", "5", "0", "6"}, "1", "5", {"100", "0", "0", "4", "0", "5"}},
        {"", {"1000", "10", "0", "4", "0", "5", "0", "6", "0", "7"}, "1", "7", {"100", "0", "0", "6", "0", "7"}},
        {"eight-drives.conf", {"1000", "50", "0", "0", "0", "1", "0", "2", "0", "3", "0", "4", "0", "5"}, "0", "4",
         {"100", "0", "0", "4", "0", "5"}},
        {"eight-drives.conf",
         {"LEGS", "2", "1000", "60", "0", "0", "0", "1", "0", "2", "0", "3", "0", "4", "0", "5", "0", "6", "0", "7"},
         "0", "7", {"100", "0", "0", "6", "0", "7"}},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.create[1] + " " + row.create[0] + " " + row.create[2]);
        const std::string where = root() + "/case" + std::to_string(n++);
        makeHostRoot(where);
        const std::string simulator = *row.fixture == '\0' ? "default" : persistent(row.fixture, where);
        const auto runHere = [&](const std::vector<std::string>& args) {
            return vyntest::runVynconf(VYNCONF_PATH, where, simulator, args);
        };
        std::vector<std::string> create = {"CREATE", "1", "LOGICALDRIVE"};
        create.insert(create.end(), row.create.begin(), row.create.end());
        create.push_back("noprompt");
        vyntest::ProgramRun made = runHere(create);
        ASSERT_EQ(lastLine(made.output), "Command completed successfully.") << made.output << made.error;
        const vyntest::ProgramRun config = runHere({"GETCONFIG", "1", "LD", row.number});
        EXPECT_EQ(field(config.output, "Size"), "1000 MB") << config.output;

        std::vector<std::string> next = {"CREATE", "1", "LOGICALDRIVE"};
        next.insert(next.end(), row.next.begin(), row.next.end());
        next.push_back("noprompt");
        made = runHere(next);
        ASSERT_EQ(lastLine(made.output), "Command completed successfully.") << made.output << made.error;
        const std::vector<XmlChunk> chunks = chunksOn(runHere({"GETXML", "1"}).output, row.device);
        ASSERT_EQ(chunks.size(), 2u);
        const XmlChunk& first = chunks[0].start < chunks[1].start ? chunks[0] : chunks[1];
        const XmlChunk& second = chunks[0].start < chunks[1].start ? chunks[1] : chunks[0];
        EXPECT_EQ(second.start, first.start + first.blocks);
        // Each member holds its share of 1000 MB, not the whole drive.
        EXPECT_LT(first.blocks, 2048000u * 2);
    }
}

// A RAID volume takes its member logical drives with it: the configuration
// is as before the three creations, and the space they held is free.
TEST_F(CreateLogicalDriveEndToEndTest, ADeletedRaidVolumeLeavesTheConfigurationAsBefore)
{
    const vyntest::ProgramRun before = run("default", {"GETCONFIG", "1", "LD"});
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"CREATE", "1", "LOGICALDRIVE", "100", "1", "0", "4", "0", "5", "noprompt"},
          std::vector<std::string>{"CREATE", "1", "LOGICALDRIVE", "200", "1", "0", "4", "0", "5", "noprompt"},
          std::vector<std::string>{"CREATE", "1", "LOGICALDRIVE", "RVOLUME", "1", "2", "noprompt"}}) {
        const vyntest::ProgramRun made = run("default", args);
        ASSERT_EQ(lastLine(made.output), "Command completed successfully.") << made.output << made.error;
    }
    const vyntest::ProgramRun volume = run("default", {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(occurrences(volume.output, "Logical device number "), 2u) << volume.output;
    const vyntest::ProgramRun removed = run("default", {"DELETE", "1", "LOGICALDRIVE", "1", "noprompt"});
    ASSERT_EQ(lastLine(removed.output), "Command completed successfully.") << removed.output << removed.error;

    const vyntest::ProgramRun after = run("default", {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(vyntest::maskDates(after.output), vyntest::maskDates(before.output));
    const vyntest::ProgramRun reused =
        run("default", {"CREATE", "1", "LOGICALDRIVE", "MAX", "0", "0", "4", "0", "5", "noprompt"});
    ASSERT_EQ(lastLine(reused.output), "Command completed successfully.") << reused.output << reused.error;
    const std::vector<XmlChunk> chunks = chunksOn(run("default", {"GETXML", "1"}).output, "4");
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].start, 128u);
}

// A name of 16 characters fills the record's name field: every later
// process shows it whole and takes it for the duplicate check.
TEST_F(CreateLogicalDriveEndToEndTest, ANameOfSixteenCharactersShowsWhole)
{
    const vyntest::ProgramRun named = run("default", {"SETNAME", "1", "LOGICALDRIVE", "0", "SixteenCharsName"});
    ASSERT_EQ(lastLine(named.output), "Command completed successfully.") << named.output << named.error;
    const vyntest::ProgramRun config = run("default", {"GETCONFIG", "1", "LD"});
    EXPECT_EQ(field(config.output, "Logical device name"), "SixteenCharsName") << config.output;
    const vyntest::ProgramRun xml = run("default", {"GETXML", "1"});
    EXPECT_NE(xml.output.find("\"SixteenCharsName\""), std::string::npos);
    const vyntest::ProgramRun twin = run("default", {"CREATE", "1", "LOGICALDRIVE", "NAME", "SixteenCharsName", "100",
                                                     "1", "0", "4", "0", "5", "noprompt"});
    EXPECT_NE(twin.output.find("There exists another logical device with that name."), std::string::npos)
        << twin.output;
    EXPECT_EQ(occurrences(run("default", {"GETCONFIG", "1", "LD"}).output, "Logical device number "), 1u);
}

// A change of the stripe alone of the built-in "Data" starts its
// reconfiguration, which the next process shows.
TEST_F(CreateLogicalDriveEndToEndTest, TheStripeOfDataChangesAlone)
{
    const vyntest::ProgramRun modify = run("default", {"MODIFY", "1", "FROM", "0", "TO", "STRIPESIZE", "128", "MAX",
                                                       "5", "0", "0", "0", "1", "0", "2", "noprompt"});
    EXPECT_EQ(lastLine(modify.output), "Command completed successfully.") << modify.output << modify.error;
    const vyntest::ProgramRun status = run("default", {"GETSTATUS", "1"});
    EXPECT_NE(status.output.find("Reconfiguration"), std::string::npos) << status.output;
    EXPECT_NE(status.output.find("Logical device                 : 0"), std::string::npos) << status.output;
}

}  // namespace
