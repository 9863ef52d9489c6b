#include "CommandTest.h"

#include "cli/support/MaintenanceFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vyntest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

class PassthroughTest : public CommandTest {
protected:
    std::vector<std::string> line(const std::vector<std::string>& words)
    {
        std::vector<std::string> all{"PASSTHROUGH", "1", "0", "2"};
        all.insert(all.end(), words.begin(), words.end());
        return all;
    }
};

// Lines of the dump of `bytes` zero bytes.
std::string zeroDump(unsigned long bytes)
{
    std::string text;
    unsigned long offset = 0;
    do {
        char head[24];
        std::snprintf(head, sizeof head, "%04lx: ", offset);
        text += head;
        for (int j = 3; j >= 0; --j)
            text += offset + static_cast<unsigned long>(j) < bytes ? "00" : "--";
        text += " :     \n";
        offset += 4;
    } while (offset < bytes);
    return text;
}

TEST_F(PassthroughTest, InquiryReadsItsInferredLength)
{
    int code = -1;
    const std::string shown = runShown(line({"[12", "00", "00", "00", "24", "00]"}), code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 1\nCDB: 12 00 00 00 24 00 \nBytes read from device: 36\n" + zeroDump(36) +
                         "\nCommand completed successfully.\n");
    EXPECT_THAT(calls(), ElementsAre("scsiPassThruCommand adapter=0,channel=0,device=2 | [12 00 00 00 24 00], 0"));

    // The caller of the provider gets only what is printed while acting.
    const ProviderResult acting = runProvider(line({"[12", "00", "00", "00", "24", "00]"}));
    EXPECT_THAT(acting.text, Not(HasSubstr("CDB:")));
    EXPECT_THAT(acting.text, HasSubstr("Bytes read from device: 36\n"));

    scenario->clearCalls();
    const ProviderResult asked = runProvider(line({"[12", "00", "00", "00", "24", "00]"}), true);
    EXPECT_EQ(asked.warningType, 1);
    EXPECT_THAT(asked.text, HasSubstr("\nAre you sure you want to continue?\n"));
    EXPECT_THAT(calls(), IsEmpty());
}

TEST_F(PassthroughTest, CommandLinesAcceptedOrRefused)
{
    const struct {
        std::vector<std::string> words;
        int exitCode;
        const char* call;  // the pass-through recorded, or null
    } cases[] = {
        // An unknown operation code needs a direction, and a length unless
        // nothing moves.
        {{"[C0", "00", "00", "00", "00", "00]"}, 3, nullptr},
        {{"notransfer", "[C0", "00", "00", "00", "00", "00]"}, 0, "[C0 00 00 00 00 00], 5"},
        {{"read", "[C0", "00", "00", "00", "00", "00]"}, 3, nullptr},
        {{"read", "16", "[C0", "00]"}, 0, "[C0 00], 0"},
        // The typed length overrides the inferred one, up to 2048 bytes.
        {{"read", "512", "[28", "00", "00", "00", "00", "00", "00", "00", "01", "00]"}, 0,
         "[28 00 00 00 00 00 00 00 01 00], 0"},
        {{"read", "4096", "[28", "00", "00", "00", "00", "00", "00", "00", "01", "00]"}, 3, nullptr},
        {{"read", "2048", "[28", "00]"}, 0, "[28 00], 0"},
        // Lengths too large for 32 bits are refused, not wrapped.
        {{"read", "4294967297", "[28", "00]"}, 3, nullptr},
        {{"[A8", "00", "00", "00", "00", "00", "00", "80", "00", "00", "00", "00]"}, 3, nullptr},
        {{"[28", "00", "00", "00", "00", "00", "00", "00", "04", "00]"}, 0, "[28 00 00 00 00 00 00 00 04 00], 0"},
        {{"[28", "00", "00", "00", "00", "00", "00", "00", "05", "00]"}, 3, nullptr},
        {{"[0A", "00", "00", "00", "00", "00]"}, 3, nullptr},
        // The block: hex bytes between brackets in separate words.
        {{"[12]"}, 3, nullptr},
        {{"[12", "00", "00", "00", "24", "00"}, 3, nullptr},
        {{"[12", "zz", "00", "00", "24", "00]"}, 3, nullptr},
        {{"[", "]"}, 3, nullptr},
        {{"[", "12", "00", "00", "00", "24", "00", "]"}, 0, "[12 00 00 00 24 00], 0"},
        {{"[112", "100", "00", "00", "24", "0000]"}, 0, "[12 00 00 00 24 00], 0"},
        {{"notransfer", "[00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "0a", "0b", "0c", "0d", "0e",
          "0f]"},
         0, "[00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F], 5"},
        {{"notransfer", "[00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "0a", "0b", "0c", "0d", "0e",
          "0f", "10]"},
         3, nullptr},
        {{"12", "00]"}, 3, nullptr},
        // A write names its data file.
        {{"write", "[0A", "00", "00", "00", "01", "00]"}, 3, nullptr},
        {{"READ", "[12", "00", "00", "00", "24", "00]", "anything"}, 0, "[12 00 00 00 24 00], 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        scenario->clearCalls();
        int code = -1;
        runShown(line(c.words), code);
        EXPECT_EQ(code, c.exitCode);
        if (c.call != nullptr) {
            EXPECT_THAT(calls(), ElementsAre(std::string("scsiPassThruCommand adapter=0,channel=0,device=2 | ") +
                                             c.call));
        } else {
            EXPECT_THAT(calls(), IsEmpty());
        }
    }

    int code = -1;
    runShown({"PASSTHROUGH", "x", "0", "2", "[12", "00]"}, code);
    EXPECT_EQ(code, 3);
    runShown({"PASSTHROUGH", "9", "0", "2", "[12", "00]"}, code);
    EXPECT_EQ(code, 6);
    runShown({"PASSTHROUGH", "1", "y", "2", "[12", "00]"}, code);
    EXPECT_EQ(code, 3);
    runShown({"PASSTHROUGH", "1", "0", "2", "[12"}, code);
    EXPECT_EQ(code, 3);
}

TEST_F(PassthroughTest, DirectionsAndLengthsInferredFromTheOperationCode)
{
    const std::string data = hostFile("/tmp/data.bin");
    writeFile(data, std::string(2048, 'd'));
    const struct {
        std::vector<std::string> block;
        int direction;
        int length;  // -1: refused
    } cases[] = {
        {{"[08", "00", "00", "00", "01", "00]"}, 0, 512},
        {{"[08", "00", "00", "00", "00", "00]"}, 0, -1},
        {{"[03", "00", "00", "00", "12", "00]"}, 0, 18},
        {{"[1A", "00", "3F", "00", "FF", "00]"}, 0, 255},
        {{"[5A", "00", "3F", "00", "00", "00", "00", "01", "00", "00]"}, 0, 256},
        {{"[3C", "02", "00", "00", "00", "00", "00", "02", "00", "00]"}, 0, 512},
        {{"[25", "00", "00", "00", "00", "00", "00", "00", "00", "00]"}, 0, 8},
        {{"[A0", "00", "00", "00", "00", "00", "00", "00", "01", "00", "00", "00]"}, 0, 256},
        {{"[A8", "00", "00", "00", "00", "00", "00", "00", "00", "02", "00", "00]"}, 0, 1024},
        {{"[1B", "00", "00", "00", "01", "00]"}, 5, 0},
        {{"[15", "10", "00", "00", "0C", "00]", data}, 1, 12},
        {{"[1D", "00", "00", "00", "40", "00]", data}, 1, 64},
        {{"[3B", "02", "00", "00", "00", "00", "00", "01", "00", "00]", data}, 1, 256},
        {{"[85", "08", "00", "00", "00", "00", "01", "00", "00", "00", "00", "00", "00", "00", "00", "00]", data},
         1, 512},
        {{"[AA", "00", "00", "00", "00", "00", "00", "00", "00", "05", "00", "00]", data}, 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.block));
        scenario->clearCalls();
        int code = -1;
        const std::string shown = runShown(line(c.block), code);
        if (c.length < 0) {
            EXPECT_EQ(code, 3);
            EXPECT_THAT(calls(), IsEmpty());
            continue;
        }
        EXPECT_EQ(code, 0);
        ASSERT_EQ(calls().size(), 1u);
        EXPECT_THAT(calls()[0], ::testing::EndsWith("], " + std::to_string(c.direction)));
        const std::string moved = c.direction == 0 ? "Bytes read from device: " : "Bytes written to device: ";
        if (c.direction != 5) {
            EXPECT_THAT(shown, HasSubstr(moved + std::to_string(c.length) + "\n"));
        }
    }
}

TEST_F(PassthroughTest, WriteDataComeFromTheFile)
{
    const std::string shortFile = hostFile("/tmp/short.bin");
    writeFile(shortFile, std::string(1000, 'a'));
    int code = -1;
    std::string shown = runShown(line({"write", "[2A", "00", "00", "00", "00", "00", "00", "00", "02", "00]",
                                       shortFile}),
                                 code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("Insufficient data read from data file.\n"));
    EXPECT_THAT(calls(), IsEmpty());

    shown = runShown(line({"write", "[2A", "00", "00", "00", "00", "00", "00", "00", "02", "00]",
                           hostFile("/tmp/missing.bin")}),
                     code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("Data file not found.\n"));
    // A name longer than its buffer is cut, never written past it.
    const std::string longName = hostFile("/tmp/") + std::string(600 - hostFile("/tmp/").size(), 'n');
    shown = runShown(line({"write", "[2A", "00", "00", "00", "00", "00", "00", "00", "02", "00]", longName}), code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("Data file not found.\n"));

    const std::string data = hostFile("/tmp/data.bin");
    writeFile(data, std::string(1024, 'b') + "tail");
    shown = runShown(line({"[2A", "00", "00", "00", "00", "00", "00", "00", "02", "00]", data}), code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(shown, HasSubstr("Bytes read from data file: 1024\nCDB: 2A 00 00 00 00 00 00 00 02 00 \n"
                                 "Bytes written to device: 1024\n0000: 62626262 : bbbb\n"));
    EXPECT_THAT(shown, HasSubstr("03fc: 62626262 : bbbb\n\nCommand completed successfully.\n"));
    EXPECT_THAT(calls(), ElementsAre("scsiPassThruCommand adapter=0,channel=0,device=2 | "
                                     "[2A 00 00 00 00 00 00 00 02 00], 1"));
}

TEST_F(PassthroughTest, SenseDirectionsShowTheSenseBytes)
{
    int code = -1;
    std::string shown = runShown(line({"notransferwithsense", "[00", "00", "00", "00", "00", "00]"}), code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(shown, "Controllers found: 1\nCDB: 00 00 00 00 00 00 \n\nSense data bytes from device: 30\n" +
                         zeroDump(30) + "\nCommand completed successfully.\n");
    shown = runShown(line({"readwithsense", "[12", "00", "00", "00", "08", "00]"}), code);
    EXPECT_THAT(shown, HasSubstr("Bytes read from device: 8\n" + zeroDump(8) + "\nSense data bytes from device: 30\n"));
}

TEST_F(PassthroughTest, MissingDeviceOrFailedCall)
{
    int code = -1;
    std::string shown = runShown({"PASSTHROUGH", "1", "0", "9", "[12", "00", "00", "00", "24", "00]"}, code);
    EXPECT_EQ(code, 2);
    EXPECT_THAT(shown, HasSubstr("The device specified does not exist.\n"));
    EXPECT_THAT(calls(), IsEmpty());

    scenario->failWithApiStatus("scsiPassThruCommand", 31);
    shown = runShown(line({"[12", "00", "00", "00", "24", "00]"}), code);
    EXPECT_EQ(code, 1);
    EXPECT_THAT(shown, HasSubstr("\nCommand failed.\n"));
}

// An enclosure or other device takes commands too.
TEST_F(PassthroughTest, AnyDeviceKindIsAddressed)
{
    scenario->changeTree(addOtherDevice(6));
    int code = -1;
    runShown({"PASSTHROUGH", "1", "0", "6", "[00", "00", "00", "00", "00", "00]"}, code);
    EXPECT_EQ(code, 0);
    EXPECT_THAT(calls(), ElementsAre("scsiPassThruCommand adapter=0,channel=0,device=6 | [00 00 00 00 00 00], 5"));
}

}  // namespace
