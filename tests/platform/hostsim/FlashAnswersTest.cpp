// Flash requests (class 3, command 0x10610299, sub-command 0x52) as raw FIBs.
#include "RawFibTest.h"
#include "platform/hostsim/desc/Description.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr size_t kPayload = 32;
constexpr size_t kRecord = kPayload + 20;  // the request record, and the reply's
constexpr uint32_t kFlash = 0x10610299;

class FlashAnswersTest : public vyntest::RawFibTest {
protected:
    void open(const std::string& description)
    {
        fd_ = openAdapter(description);
        ASSERT_TRUE(sim().ok()) << sim().message();
    }
    void TearDown() override
    {
        if (fd_ >= 0)
            hostIo().close(fd_);
        fd_ = -1;
        RawFibTest::TearDown();
    }
    std::vector<uint8_t> flash(uint32_t op, uint32_t first = 0, uint32_t second = 0,
                               const std::vector<uint8_t>& data = {}, uint32_t command = kFlash)
    {
        std::vector<uint8_t> fib = request(3, 9);
        putLe32(fib.data() + kPayload + 12, command);
        putLe32(fib.data() + kPayload + 16, 0x52);
        putLe32(fib.data() + kRecord, first);
        putLe32(fib.data() + kRecord + 4, second);
        putLe32(fib.data() + kRecord + 8, op);
        if (!data.empty())
            std::memcpy(fib.data() + kRecord + 12, data.data(), data.size());
        return send(fd_, fib);
    }
    static uint32_t status(const std::vector<uint8_t>& fib) { return getLe32(fib.data() + kPayload); }
    // Writes `image` with start code `start` in chunks of at most 224 bytes.
    void write(const std::vector<uint8_t>& image, uint32_t start = 0x1205A)
    {
        ASSERT_EQ(status(flash(start, 0, static_cast<uint32_t>(image.size()))), 0u);
        for (size_t at = 0; at < image.size(); at += 224) {
            const size_t n = std::min<size_t>(224, image.size() - at);
            const std::vector<uint8_t> chunk(image.begin() + at, image.begin() + at + n);
            ASSERT_EQ(status(flash(0x12033, static_cast<uint32_t>(at), static_cast<uint32_t>(n), chunk)), 0u);
        }
        ASSERT_EQ(status(flash(0x12066)), 0u);
    }
    // An image that names itself: component header, then `extra` bytes.
    static std::vector<uint8_t> component(uint32_t id, uint32_t build, size_t extra)
    {
        std::vector<uint8_t> image(16 + extra, 0x33);
        putLe32(image.data(), 0x4D494656);
        putLe32(image.data() + 4, id);
        image[8] = 4;   // dash
        image[9] = 0;
        image[10] = 3;  // minor
        image[11] = 6;  // major
        putLe32(image.data() + 12, build);
        return image;
    }

    int fd_ = -1;
};

TEST_F(FlashAnswersTest, PciIdentifiersInTwoWords)
{
    open("adapters = 1\nhostsim.persist = 0\nadapter0.pci_ids = 0x1A2B,0x3C4D,0x5E6F,0x7081\n");
    const std::vector<uint8_t> reply = flash(0x11);
    EXPECT_EQ(status(reply), 0u);
    EXPECT_EQ(getLe32(reply.data() + kRecord), 0x3C4D1A2Bu);
    EXPECT_EQ(getLe32(reply.data() + kRecord + 4), 0x70815E6Fu);
    // Another command word under the same sub-command is not a flash request.
    EXPECT_EQ(status(flash(0x11, 0, 0, {}, 0x10610298)), 1u);
}

TEST_F(FlashAnswersTest, WrittenImageReadsBackFromByte12)
{
    open("adapters = 1\nhostsim.persist = 0\n");
    EXPECT_EQ(status(flash(0x12078, 0, 16)), 1u);  // nothing written yet
    std::vector<uint8_t> image(300);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i);
    write(image, 0x1206D);
    // Without a component header the image is kept under the start code's
    // identifier, 2, and read back with 0x120C8 only.
    const ControllerState& c = sim().controller(0);
    ASSERT_EQ(c.flash.count(2), 1u);
    EXPECT_EQ(c.flash.at(2).bytes, image);
    EXPECT_EQ(c.staged.build, 0u);
    const std::vector<uint8_t> back = flash(0x120C8, 224, 76);
    EXPECT_EQ(status(back), 0u);
    EXPECT_EQ(std::vector<uint8_t>(back.begin() + kRecord + 12, back.begin() + kRecord + 12 + 76),
              std::vector<uint8_t>(image.begin() + 224, image.end()));
    EXPECT_EQ(status(flash(0x12078, 0, 16)), 1u);
}

TEST_F(FlashAnswersTest, RequestsOutsideTheImageFail)
{
    open("adapters = 1\nhostsim.persist = 0\n");
    struct Case {
        const char* what;
        uint32_t op;
        uint32_t first;
        uint32_t second;
    };
    EXPECT_EQ(status(flash(0x12033, 0, 4)), 1u);  // no transfer open
    EXPECT_EQ(status(flash(0x12066)), 1u);
    EXPECT_EQ(status(flash(0x1205A, 0, 0)), 1u);  // an empty image
    EXPECT_EQ(status(flash(0x1205A, 0, 0xA40001)), 1u);
    ASSERT_EQ(status(flash(0x1205A, 0, 100)), 0u);
    const Case cases[] = {
        {"chunk past the end", 0x12033, 90, 11},
        {"offset past the end", 0x12033, 0xFFFFFFF0, 0x20},
        {"chunk over 224 bytes", 0x12033, 0, 225},
        {"unknown operation", 0x12099, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(status(flash(c.op, c.first, c.second)), 1u) << c.what;
    EXPECT_EQ(status(flash(0x12033, 90, 10, std::vector<uint8_t>(10, 7))), 0u);
    EXPECT_EQ(status(flash(0x12066)), 0u);
    EXPECT_EQ(status(flash(0x12078, 90, 11)), 1u);
    EXPECT_EQ(status(flash(0x12078, 90, 10)), 0u);
}

// The image and the staged revision it sets survive into the next process
// on the same root; the next transfer replaces only the image of its own
// identifier.
TEST_F(FlashAnswersTest, ImagesAndStagedRevisionArePersisted)
{
    const std::string description = "adapters = 1\n";
    open(description);
    const std::vector<uint8_t> first = component(1, 4711, 500);
    write(first);
    write(component(0, 4711, 20));
    EXPECT_TRUE(vyntest::fileExists(hostFile("/var/lib/hostsim/adapter0.flash.1")));
    EXPECT_TRUE(vyntest::fileExists(hostFile("/var/lib/hostsim/adapter0.flash.0")));
    hostIo().close(fd_);
    fd_ = -1;

    // A new simulator over the same root; the node is registered already.
    startSimulator(description);
    fd_ = hostIo().open("/dev/ulb0", O_RDWR);
    ASSERT_GE(fd_, 0);
    const ControllerState& c = sim().controller(0);
    ASSERT_EQ(c.flash.count(1), 1u);
    EXPECT_EQ(c.flash.at(1).bytes, first);
    EXPECT_EQ(c.flash.count(0), 1u);
    EXPECT_EQ(c.staged.build, 4711u);
    EXPECT_EQ(c.staged.major, 6);
    EXPECT_EQ(c.staged.minor, 3);
    EXPECT_EQ(c.staged.dash, 4);
    // The supplement information reports it at byte 104.
    const std::vector<uint8_t> sup = send(fd_, [] {
        std::vector<uint8_t> fib(512, 0);
        putLe32(fib.data(), 0x00100001);
        putLe16(fib.data() + 4, 706);
        fib[6] = 1;
        putLe16(fib.data() + 8, 4);
        putLe16(fib.data() + 10, 512);
        return fib;
    }());
    EXPECT_EQ(sup[kPayload + 104], 4);
    EXPECT_EQ(sup[kPayload + 106], 3);
    EXPECT_EQ(sup[kPayload + 107], 6);
    EXPECT_EQ(getLe32(sup.data() + kPayload + 108), 4711u);
    // Image 0 was written last with 0x1205A: it is what 0x12078 reads.
    const std::vector<uint8_t> back = flash(0x12078, 0, 8);
    EXPECT_EQ(getLe32(back.data() + kRecord + 12 + 4), 0u);
    write(component(1, 4800, 10));
    EXPECT_EQ(sim().controller(0).flash.at(1).bytes.size(), 26u);
    EXPECT_EQ(sim().controller(0).flash.at(0).bytes.size(), 36u);
}

TEST_F(FlashAnswersTest, SavedFlashEntersTheDigest)
{
    open("adapters = 1\nhostsim.persist = 0\n");
    ControllerState s = sim().controller(0);
    s.flash[7].bytes = {1, 2, 3};
    s.flash[7].digest = flashDigest(s.flash[7].bytes);
    s.staged.build = 12;
    // What a state file keeps gives the same digest; each change moves it.
    Description d;
    std::string error;
    ASSERT_TRUE(d.parse(s.toText(1), "state", error)) << error;
    ControllerState again = ControllerState::fromDescription(d, 0);
    again.objects = s.objects;
    EXPECT_EQ(again.savedDigest(), s.savedDigest());
    EXPECT_EQ(again.flash.at(7).digest, s.flash.at(7).digest);
    const uint64_t before = s.savedDigest();
    s.flash[7].digest = flashDigest({1, 2, 4});
    EXPECT_NE(s.savedDigest(), before);
    s.flash.erase(7);
    EXPECT_NE(s.savedDigest(), before);
}

}  // namespace
