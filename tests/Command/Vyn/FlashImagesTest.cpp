// Image file sets and the flash update, over generated sets and the
// simulated controller's flash.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_filesys.h"
#include "Command/Vyn/common/fa_pciids.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "OpenSessionTest.h"
#include "support/ImageSetWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using vyntest::ImageSetWriter;

namespace {

using Op = vyn::hostsim::ControllerState::FlashRequest;

constexpr uint32_t kCtOemId = 193;

class FlashImagesTest : public vyntest::OpenSessionTest {
protected:
    std::string dir() const { return root() + "/tmp"; }
    std::string base() const { return dir() + "/fw"; }
    // Reads the set named by `name` into a fresh buffer of the family's size.
    FSA_STATUS create(void* h, const std::string& name)
    {
        buffer_.assign(UFI_BUFFER_BYTES, 0);
        return FsaCreateUFIfromFile(h, name.c_str(), buffer_.data());
    }
    std::vector<Op> flashOps() { return sim().controller(0).flashRequests; }
    unsigned count(uint32_t operation)
    {
        unsigned n = 0;
        for (const Op& op : flashOps())
            n += op.operation == operation;
        return n;
    }

    std::vector<uint8_t> buffer_;
};

TEST(FlashFileNames, DiskNamesFollowTheBase)
{
    struct Case {
        const char* base;
        int disk;
        int lowerCase;
        const char* name;
    };
    const Case cases[] = {
        {"FW01.ufi", 1, 1, "FW01.ufi"},
        {"FW01.ufi", 2, 1, "FW02.ufi"},
        {"fw", 1, 1, "fw01.ufi"},
        {"fw12.ufi", 1, 1, "fw1201.ufi"},  // only a '0' before the extension marks a disk number
        {"fw12.ufi", 1, 0, "fw1201.UFI"},
        {"A/b01.UfI", 3, 0, "A/b03.UFI"},  // the extension in any case
        {"x.ufi", 1, 1, "x.ufi01.ufi"},    // shorter than six characters: taken whole
        {"fw", 100, 1, "fw10.ufi"},        // two digits at most
    };
    for (const Case& c : cases) {
        char out[256];
        createFilename(out, c.base, static_cast<char>(c.disk), c.lowerCase);
        EXPECT_STREQ(out, c.name) << c.base << " disk " << c.disk;
    }
    // A base too long for the 256-byte name is cut, never written past it.
    const std::string longBase(300, 'a');
    char out[256];
    createFilename(out, longBase.c_str(), 1, 1);
    EXPECT_EQ(std::strlen(out), 255u);
}

TEST(FlashFileNames, MarkerScanStaysInsideTheData)
{
    const std::string marker = UFI_FLASH_DIRECTORY_MARKER;
    ASSERT_EQ(marker.size(), 32u);
    struct Case {
        std::string data;
        long at;  // -1: none
    };
    const Case cases[] = {
        {marker, 0},
        {"**" + marker, 2},
        {"xx" + marker.substr(0, 31), -1},  // the last 31 bytes hold no whole marker
        {"*** QUENVAR FLASH DIRECTORY ***", -1},
        {"", -1},
    };
    for (const Case& c : cases) {
        // Exactly the data's size, so that a read past it is caught.
        std::unique_ptr<uint8_t[]> data(new uint8_t[c.data.size() + 1]);
        std::memcpy(data.get(), c.data.data(), c.data.size());
        const uint8_t* found = locateFlashDirectory(data.get(), static_cast<int>(c.data.size()));
        EXPECT_EQ(found == nullptr ? -1 : found - data.get(), c.at) << c.data;
    }
}

TEST(FlashFileNames, OemIdentifierOnlyFromInsideTheData)
{
    // A directory with entry 0 (another type) and entry 3 (the OEM
    // component) in use; the component at data offset 0x900.
    std::vector<uint8_t> data(0x900 + 0xA0, 0);
    std::memcpy(data.data(), UFI_FLASH_DIRECTORY_MARKER, 32);
    faPutLe32(data.data() + 0x74, 0x9);
    faPutLe32(data.data() + 0x90, 0x4000);
    faPutLe32(data.data() + 0x94, 0x10);
    faPutLe32(data.data() + 0x90 + 3 * 64, 0x5123);
    faPutLe32(data.data() + 0x94 + 3 * 64, 0x900);
    data[0x900 + 0x9C] = 0x42;
    const uint8_t* d = data.data();
    EXPECT_EQ(GetOemId(d, d, d + data.size()), 0x42);
    // Without the OEM type, or with the component past the data: none.
    faPutLe32(data.data() + 0x90 + 3 * 64, 0x6123);
    EXPECT_EQ(GetOemId(d, d, d + data.size()), 0xFF);
    faPutLe32(data.data() + 0x90 + 3 * 64, 0x5123);
    faPutLe32(data.data() + 0x94 + 3 * 64, 0xFFFFFFF0);
    EXPECT_EQ(GetOemId(d, d, d + data.size()), 0xFF);
    // A directory cut short by the end of the data.
    EXPECT_EQ(GetOemId(d, d, d + 0x100), 0xFF);
}

TEST_F(FlashImagesTest, ReadsATwoFileSetIntoTheBuffer)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    ImageSetWriter set;
    set.build(4711).disks(2).image(1, 600).image(2, 300);
    set.write(dir(), "fw");
    for (const std::string& name : {base(), base() + "01.ufi", base() + "02.UFI"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(create(h, name), FSA_STS_SUCCESS);
        const std::vector<uint8_t> expected = set.assembled();
        EXPECT_EQ(std::memcmp(buffer_.data(), expected.data(), expected.size()), 0);
        EXPECT_EQ(buffer_[expected.size()], 0);
        EXPECT_EQ(FsaUfiBuild(), 4711u);
        EXPECT_EQ(faGetLe32(FsaUfiHeader() + UFI_IMAGE_COUNT), 2u);
        EXPECT_EQ(faGetLe32(FsaUfiImageTable() + UFI_ENTRY_BYTES + UFI_ENTRY_ID), 2u);
        EXPECT_EQ(faGetLe32(FsaUfiImageTable() + UFI_ENTRY_BYTES + UFI_ENTRY_LENGTH), 300u);
    }
}

TEST_F(FlashImagesTest, FindsUpperCaseFiles)
{
    void* h = start("", FSA_ACC_READ_ONLY);
    ASSERT_NE(h, nullptr);
    ImageSetWriter set;
    set.disks(2).image(1, 500);
    set.write(dir(), "up", true);
    EXPECT_EQ(create(h, dir() + "/up"), FSA_STS_SUCCESS);
    EXPECT_EQ(create(h, dir() + "/down"), FSA_STS_UFI_READ_FAILED);
}

// One broken set per case: the files of a good two-disk set, changed.
TEST_F(FlashImagesTest, RefusesBrokenSets)
{
    using Files = std::vector<std::vector<uint8_t>>;
    struct Case {
        const char* what;
        std::function<void(Files&)> change;
        FSA_STATUS status;
    };
    const Case cases[] = {
        {"second file of another build", [](Files& f) { ImageSetWriter::putLe32(f[1], ImageSetWriter::kBuild, 4712); },
         FSA_STS_UFI_VERSION_MISMATCH},
        {"second file says disk 3", [](Files& f) { ImageSetWriter::putLe32(f[1], ImageSetWriter::kDiskNumber, 3); },
         FSA_STS_UFI_SECOND_FILE},
        {"second file without signature", [](Files& f) { f[1][0] = 'q'; }, FSA_STS_UFI_OPEN_FAILED},
        {"second file missing", [](Files& f) { f.pop_back(); }, FSA_STS_UFI_READ_FAILED},
        {"second file cut inside its header", [](Files& f) { f[1].resize(70); }, FSA_STS_UFI_READ_FAILED},
        {"one byte short", [](Files& f) { f[1].pop_back(); }, FSA_STS_UFI_CORRUPT},
        {"one byte more", [](Files& f) { f[1].push_back(0); }, FSA_STS_UFI_CORRUPT},
        {"a set byte changed", [](Files& f) { f[1][200] ^= 1; }, FSA_STS_UFI_CORRUPT},
        {"three disks announced", [](Files& f) { ImageSetWriter::putLe32(f[0], ImageSetWriter::kDiskCount, 3); },
         FSA_STS_UFI_CORRUPT},
        {"image table cut short", [](Files& f) { f[0].resize(80); }, FSA_STS_UFI_SECOND_FILE},
        {"header cut short", [](Files& f) { f[0].resize(60); }, FSA_STS_UFI_READ_FAILED},
    };
    void* h = start();
    ASSERT_NE(h, nullptr);
    ImageSetWriter set;
    set.disks(2).image(1, 700).image(4, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Files files = set.files();
        c.change(files);
        std::remove((base() + "02.ufi").c_str());
        ImageSetWriter::writeFiles(dir(), "fw", files);
        EXPECT_EQ(create(h, base()), c.status);
    }
}

// Counts and offsets of the files decide what is written into the caller's
// buffer and what the update reads: each is bounded, with the checksum of
// the set still right.
TEST_F(FlashImagesTest, RefusesCountsAndOffsetsOutsideTheSet)
{
    using Set = std::vector<uint8_t>;
    struct Case {
        const char* what;
        std::function<void(Set&)> change;
        FSA_STATUS status;
    };
    const size_t entry = ImageSetWriter::kHeaderBytes;
    const Case cases[] = {
        {"as written", [](Set&) {}, FSA_STS_SUCCESS},
        {"total beyond the buffer",
         [](Set& s) { ImageSetWriter::putLe32(s, ImageSetWriter::kTotalLength, UFI_BUFFER_BYTES + 1); },
         FSA_STS_UFI_CORRUPT},
        {"total shorter than the image table",
         [](Set& s) { ImageSetWriter::putLe32(s, ImageSetWriter::kTotalLength, 80); }, FSA_STS_UFI_CORRUPT},
        {"image past the set",
         [&](Set& s) { ImageSetWriter::putLe32(s, entry + ImageSetWriter::kEntryOffset, 0xFFFFFF00); },
         FSA_STS_UFI_CORRUPT},
        {"image longer than the set",
         [&](Set& s) { ImageSetWriter::putLe32(s, entry + ImageSetWriter::kEntryLength, 0xFFFFFFF0); },
         FSA_STS_UFI_CORRUPT},
        // A stored checksum of 0x10000 or more never matches a 16-bit sum.
        {"checksum above 16 bits",
         [&](Set& s) {
             const size_t at = entry + ImageSetWriter::kEntryChecksum;
             ImageSetWriter::putLe32(s, at, ImageSetWriter::getLe32(s, at) + 0x10000);
         },
         FSA_STS_UFI_CORRUPT},
    };
    void* h = start();
    ASSERT_NE(h, nullptr);
    ImageSetWriter set;
    set.image(1, 300);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Set s = set.assembled();
        c.change(s);
        ImageSetWriter::settleChecksum(s);
        ImageSetWriter::writeFiles(dir(), "fw", {s});
        EXPECT_EQ(create(h, base()), c.status);
    }

    // More images than the library's table holds.
    ImageSetWriter many;
    for (uint32_t i = 0; i < 33; ++i)
        many.image(1, 20);
    many.write(dir(), "many");
    EXPECT_EQ(create(h, dir() + "/many"), FSA_STS_UFI_CORRUPT);
    ImageSetWriter most;
    for (uint32_t i = 0; i < 32; ++i)
        most.image(1, 20);
    most.write(dir(), "most");
    EXPECT_EQ(create(h, dir() + "/most"), FSA_STS_SUCCESS);

    // A base name over 255 characters.
    EXPECT_EQ(create(h, dir() + "/" + std::string(256, 'f')), FSA_STS_UFI_READ_FAILED);
}

TEST_F(FlashImagesTest, OemIdentifierOfTheSetMustBeTheControllers)
{
    struct Case {
        int oem;  // -1: no flash directory
        FSA_STATUS status;
        unsigned oemQueries;
    };
    const Case cases[] = {
        {0x11, FSA_STS_SUCCESS, 1},
        {0x12, FSA_STS_FLASH_WRONG_CONTROLLER, 1},
        {-1, FSA_STS_SUCCESS, 0},
    };
    void* h = start("adapter0.oem_id = 0x11\n");
    ASSERT_NE(h, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.oem);
        ImageSetWriter set;
        set.image(1, 100);
        if (c.oem >= 0)
            set.oemId(static_cast<uint8_t>(c.oem));
        set.write(dir(), "fw");
        sim().clearRequests();
        EXPECT_EQ(create(h, base()), c.status);
        EXPECT_EQ(sent(500, kCtOemId), c.oemQueries);
    }
}

TEST_F(FlashImagesTest, WritesVerifiesAndThenOnlyCompares)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    ImageSetWriter set;
    set.build(4711).image(1, 500).image(2, 300);
    set.write(dir(), "fw");
    ASSERT_EQ(create(h, base()), FSA_STS_SUCCESS);
    // Nothing on the flash yet.
    EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), 0, h), FSA_STS_FLASH_MISMATCH);

    sim().controller(0).flashRequests.clear();
    ASSERT_EQ(FsaUpdateFlashImages(buffer_.data(), 1, h), FSA_STS_SUCCESS);
    const vyn::hostsim::ControllerState& c = sim().controller(0);
    ASSERT_EQ(c.flash.count(1), 1u);
    ASSERT_EQ(c.flash.count(2), 1u);
    EXPECT_EQ(c.flash.at(1).bytes, set.imageBytes(0));
    EXPECT_EQ(c.flash.at(2).bytes, set.imageBytes(1));
    EXPECT_EQ(count(FLASH_OP_START), 1u);
    EXPECT_EQ(count(FLASH_OP_START_ALT), 1u);
    EXPECT_EQ(count(FLASH_OP_READ_ALT), 2u);
    // The staged revision the controller now reports reaches the context.
    EXPECT_EQ(c.staged.build, 4711u);
    FSAAPI_CONTEXT* ctx = context(h);
    EXPECT_EQ(faGetLe32(ctx->generalInfo.bytes + GI_STAGED_FIRMWARE_VERSION + 4), 4711u);
    EXPECT_EQ(ctx->generalInfo.bytes[GI_STAGED_FIRMWARE_VERSION + 3], 5);

    // Compare only: the flash matches, nothing is written.
    sim().controller(0).flashRequests.clear();
    EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), 0, h), FSA_STS_SUCCESS);
    EXPECT_EQ(count(FLASH_OP_START) + count(FLASH_OP_START_ALT) + count(FLASH_OP_WRITE) + count(FLASH_OP_COMPLETE),
              0u);
    EXPECT_EQ(count(FLASH_OP_READ), 3u);  // 500 bytes in chunks of 224
}

TEST_F(FlashImagesTest, WritesInChunksOf224Bytes)
{
    void* h = start();
    ASSERT_NE(h, nullptr);
    ImageSetWriter set;
    set.image(1, 225);
    set.write(dir(), "fw");
    ASSERT_EQ(create(h, base()), FSA_STS_SUCCESS);
    sim().controller(0).flashRequests.clear();
    ASSERT_EQ(FsaUpdateFlashImages(buffer_.data(), 1, h), FSA_STS_SUCCESS);
    const std::vector<Op> ops = flashOps();
    const std::vector<std::vector<uint32_t>> expected = {
        {FLASH_OP_PCI_IDS, 0, 0},   {FLASH_OP_START, 0, 225}, {FLASH_OP_WRITE, 0, 224}, {FLASH_OP_WRITE, 224, 1},
        {FLASH_OP_COMPLETE, 0, 0},  {FLASH_OP_READ, 0, 224},  {FLASH_OP_READ, 224, 1},
    };
    ASSERT_EQ(ops.size(), expected.size());
    for (size_t i = 0; i < ops.size(); ++i)
        EXPECT_EQ((std::vector<uint32_t>{ops[i].operation, ops[i].first, ops[i].second}), expected[i]) << i;
}

// Failed flash requests, by their place in the run of one 225-byte image
// written in mode 1: PCI identifiers, start, two writes, completion, two
// read-backs.
TEST_F(FlashImagesTest, FailedRequestsSkipOrFailTheImage)
{
    struct Case {
        const char* what;
        unsigned skip;  // requests that pass first
        uint32_t mode;
        FSA_STATUS status;
        std::vector<uint32_t> after;  // the operations after the failed one
    };
    const Case cases[] = {
        {"identifiers", 0, 1, FSA_STS_FLASH_NO_PCI_IDS, {}},
        {"start: the image is skipped", 1, 1, FSA_STS_SUCCESS, {}},
        {"first chunk: completed, then skipped", 2, 1, FSA_STS_SUCCESS, {FLASH_OP_COMPLETE}},
        {"completion: skipped", 4, 1, FSA_STS_SUCCESS, {}},
        {"read-back after writing", 5, 1, FSA_STS_FLASH_VERIFY_FAILED, {}},
        {"read-back in another mode: goes on", 5, 3, FSA_STS_SUCCESS, {}},
        {"read-back when comparing", 1, 0, FSA_STS_FLASH_MISMATCH, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        void* h = start("adapter0.fault0.on = class3 0x52\nadapter0.fault0.status = 1\nadapter0.fault0.skip = " +
                        std::to_string(c.skip) + "\n");
        ASSERT_NE(h, nullptr);
        ImageSetWriter set;
        set.image(1, 225);
        set.write(dir(), "fw");
        ASSERT_EQ(create(h, base()), FSA_STS_SUCCESS);
        sim().controller(0).flashRequests.clear();
        EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), c.mode, h), c.status);
        const std::vector<Op> ops = flashOps();
        ASSERT_GT(ops.size(), c.skip);
        std::vector<uint32_t> after;
        for (size_t i = c.skip + 1; i < ops.size(); ++i)
            after.push_back(ops[i].operation);
        EXPECT_EQ(after, c.after);
        TearDown();
        SetUp();
    }
}

TEST_F(FlashImagesTest, IdentifiersOutsideTheTableNeedTheOption)
{
    struct Case {
        const char* extra;
        bool written;
    };
    const Case cases[] = {
        {"", true},  // option word 1 bit 16 by default
        {"adapter0.option_word1 = 0x000C0820\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra);
        void* h = start(c.extra);
        ASSERT_NE(h, nullptr);
        ImageSetWriter set;
        set.image(0, 100).image(27, 50);
        set.write(dir(), "fw");
        ASSERT_EQ(create(h, base()), FSA_STS_SUCCESS);
        sim().controller(0).flashRequests.clear();
        EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), 1, h), FSA_STS_SUCCESS);
        EXPECT_EQ(count(FLASH_OP_START), c.written ? 2u : 0u);
        EXPECT_EQ(sim().controller(0).flash.count(0), c.written ? 1u : 0u);
        TearDown();
        SetUp();
    }
}

TEST_F(FlashImagesTest, RefusesAnotherControllerOrTooOldFirmware)
{
    struct Case {
        const char* what;
        uint32_t vendor;
        uint32_t controllerType;
        uint32_t build;
        uint32_t mode;
        FSA_STATUS status;
    };
    const Case cases[] = {
        {"another vendor", 0x1234, 6, 20000, 1, FSA_STS_FLASH_WRONG_CONTROLLER},
        {"another vendor, comparing only", 0x1234, 6, 20000, 0, FSA_STS_FLASH_MISMATCH},
        {"only the low half of the vendor word counts", 0xABCD5653, 6, 20000, 1, FSA_STS_SUCCESS},
        {"type 12 up to 4526", 0x5653, 12, 4526, 1, FSA_STS_FLASH_TOO_OLD},
        {"type 12 from 4527", 0x5653, 12, 4527, 1, FSA_STS_SUCCESS},
        {"type 8 up to 3060", 0x5653, 8, 3060, 1, FSA_STS_FLASH_TOO_OLD},
        {"type 10 up to 3060", 0x5653, 10, 3060, 1, FSA_STS_FLASH_TOO_OLD},
        {"type 10 from 3061", 0x5653, 10, 3061, 1, FSA_STS_SUCCESS},
        {"type 13 up to 2971", 0x5653, 13, 2971, 1, FSA_STS_FLASH_TOO_OLD},
        {"type 9 from 2972", 0x5653, 9, 2972, 1, FSA_STS_SUCCESS},
        {"type 6 never too old", 0x5653, 6, 1, 1, FSA_STS_SUCCESS},
        {"too old, comparing only", 0x5653, 12, 100, 0, FSA_STS_FLASH_MISMATCH},
    };
    void* h = start();
    ASSERT_NE(h, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageSetWriter set;
        set.pciIds(c.vendor, 0x0008, 0x5653, 0x0108).build(c.build).image(1, 40);
        set.write(dir(), "fw");
        ASSERT_EQ(create(h, base()), FSA_STS_SUCCESS);
        context(h)->adapterType = c.controllerType;
        sim().controller(0).flash.clear();
        EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), c.mode, h), c.status);
    }
}

// With option word 1 bit 27 the controller wants the signature block, when
// the image data hold one, to name its kind and version 1.
TEST_F(FlashImagesTest, SignatureBlockIsCheckedWhereItLies)
{
    constexpr size_t kAt = 0x240000;
    struct Case {
        const char* what;
        bool block;
        uint16_t kind;
        uint16_t version;
        FSA_STATUS status;
    };
    // Comparing only, on an empty flash: a set that passes the check fails
    // the comparison instead.
    const Case cases[] = {
        {"right block", true, 0x4655, 1, FSA_STS_FLASH_MISMATCH},
        {"other kind", true, 0x4656, 1, FSA_STS_FLASH_TOO_OLD},
        {"other version", true, 0x4655, 2, FSA_STS_FLASH_TOO_OLD},
        {"no block", false, 0, 0, FSA_STS_FLASH_MISMATCH},
    };
    void* h = start("adapter0.option_word1 = 0x080D0820\n");
    ASSERT_NE(h, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> image(kAt + 0x60, 0x5A);
        if (c.block) {
            const uint32_t words[4] = {0xFF00FF00, 0xEEE1E111, 0xDDDD2222, 0xC5C5C5C5};
            for (size_t i = 0; i < 4; ++i)
                faPutLe32(image.data() + kAt + 4 * i, words[i]);
            faPutLe16(image.data() + kAt + 0x50, c.kind);
            faPutLe16(image.data() + kAt + 0x52, c.version);
        }
        ImageSetWriter set;
        set.image(1, image);
        set.write(dir(), "fw");
        ASSERT_EQ(create(h, base()), FSA_STS_SUCCESS);
        EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), 0, h), c.status);
    }
    // A set that ends before the block's place is not checked.
    ImageSetWriter small;
    small.image(1, 100);
    small.write(dir(), "fw");
    ASSERT_EQ(create(h, base()), FSA_STS_SUCCESS);
    EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), 1, h), FSA_STS_SUCCESS);
}

TEST_F(FlashImagesTest, PciIdentifiersOfTheController)
{
    void* h = start("adapter0.pci_ids = 0x1111,0x2222,0x3333,0x4444\n"
                    "adapter0.fault0.on = class3 0x52\nadapter0.fault0.status = 1\nadapter0.fault0.skip = 1\n",
                    FSA_ACC_READ_ONLY);
    ASSERT_NE(h, nullptr);
    uint16_t ids[4] = {0, 0, 0, 0};
    EXPECT_EQ(FsaGetPCIIds(h, ids), FSA_STS_SUCCESS);
    EXPECT_EQ(ids[0], 0x1111);
    EXPECT_EQ(ids[1], 0x2222);
    EXPECT_EQ(ids[2], 0x3333);
    EXPECT_EQ(ids[3], 0x4444);
    uint16_t kept[4] = {7, 7, 7, 7};
    EXPECT_EQ(FsaGetPCIIds(h, kept), FSA_STS_FLASH_NO_PCI_IDS);
    EXPECT_EQ(kept[0], 7);
    EXPECT_EQ(FsaGetPCIIds(h, nullptr), FSA_STS_BAD_PARAMETER);

    context(h)->paused = 1;
    EXPECT_EQ(FsaGetPCIIds(h, ids), FSA_STS_ADAPTER_PAUSED);
    EXPECT_EQ(FsaUpdateFlashImages(buffer_.data(), 0, h), FSA_STS_ADAPTER_PAUSED);
    EXPECT_EQ(create(h, base()), FSA_STS_ADAPTER_PAUSED);
}

}  // namespace
