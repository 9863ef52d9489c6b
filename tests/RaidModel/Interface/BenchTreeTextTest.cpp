// The texts of the benchmark's system (4 controllers, 256 hard drives with
// their chunks, 64 logical drives) are pinned by their SHA-256, so that any
// change to the writer, the parser or the readers that alters a single byte
// of a saved configuration shows here.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <string>
#include <vector>

#include "RaidModel/Interface/Chunk.h"
#include "RaidModel/Interface/HardDrive.h"
#include "RaidModel/Interface/LogicalDrive.h"

#include "bench/xml_tree.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

namespace {

// Taken from the texts as they were first written; reading the full text back
// gives a tree that writes the very same texts again.
const char FULL_SHA256[] = "7405af87e0f58db8a918db4b1dce5ebe32cefaf0181d0091eba10a591f238a4b";
const char USER_SHA256[] = "7900d0dbdd81982270f1039fbad4e6836494cc104c58c6fd79cc89a6c3a301c2";

// The same texts of a system of 512 drives (32 on each channel) read back,
// taken while every chunk was still tied to its drive by a walk over all the
// controller's drives.
const char LARGE_FULL_SHA256[] = "84e4f43347064234d1f96a388fdf096b314ffc593d755aca8c2aa885008fae0d";
const char LARGE_USER_SHA256[] = "8fe34c4004bce1d7a2a1ba1231c8a5bd6e2a6758f865e868345036e3afb11d44";

std::string sha256Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return "digest failed";
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 0x0F];
    }
    return hex;
}

std::string textOf(const RaidObject& root, bool userForm)
{
    char* text = nullptr;
    XMLWriter writer(&text);
    if (userForm)
        writer.writeUserConfigTree(&root);
    else
        writer.writeTree(&root);
    return text != nullptr ? std::string(text, writer.getStrSize()) : std::string();
}

// The saved-system reader's view of a text: a new root read from it.
void readInto(vynbench::BenchSystem& root, const std::string& xml)
{
    std::vector<char> buffer(xml.begin(), xml.end());
    SimpleXmlParser parser(buffer.data(), buffer.size());
    root.buildChildren(parser);
}

TEST(BenchTreeTextTest, FullUserAndRereadTextsKeepTheirHashes)
{
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree);
    const std::string full = textOf(*tree.root, false);
    const std::string user = textOf(*tree.root, true);

    vynbench::BenchSystem reread;
    readInto(reread, full);
    const std::string rereadFull = textOf(reread, false);
    const std::string rereadUser = textOf(reread, true);

    const struct {
        const char* what;
        const std::string& text;
        const char* sha256;
    } cases[] = {
        {"full tree", full, FULL_SHA256},
        {"user form", user, USER_SHA256},
        {"re-read full tree", rereadFull, FULL_SHA256},
        {"re-read user form", rereadUser, USER_SHA256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sha256Hex(c.text), c.sha256) << c.text.size() << " bytes";
    }
}

// Chunks under logical drives are tied to the hard drives that hold their
// twins while the saved text is read; with 512 drives and 512 chunks on each
// side, the re-read tree must be linked exactly as the first reading of this
// text linked it, and every link must join the drives of the same address.
TEST(BenchTreeTextTest, ReadingFiveHundredTwelveDrivesLinksEveryChunkToItsDrive)
{
    const unsigned long drivesPerChannel = 32;
    vynbench::BenchTree tree;
    vynbench::buildBenchTree(tree, drivesPerChannel);
    const std::string full = textOf(*tree.root, false);

    vynbench::BenchSystem reread;
    readInto(reread, full);
    const std::string rereadFull = textOf(reread, false);
    EXPECT_EQ(sha256Hex(rereadFull), LARGE_FULL_SHA256);
    EXPECT_TRUE(rereadFull == full);
    EXPECT_EQ(sha256Hex(textOf(reread, true)), LARGE_USER_SHA256);

    std::vector<RaidObject*> drives;
    reread.getChildren(drives, "HardDrive", true, true);
    ASSERT_EQ(drives.size(), vynbench::benchDriveCount(drivesPerChannel));
    unsigned long linked = 0;
    for (RaidObject* drive : drives) {
        for (RaidObject* child : drive->getChildren()) {
            ASSERT_TRUE(child->isInstanceOf("Chunk"));
            const Chunk* twin = static_cast<const Chunk*>(child);
            ASSERT_NE(twin->getConsumer(), nullptr);
            const RaidObject* logical = twin->getConsumer();
            const Chunk* member = nullptr;
            for (const RaidObject* c : logical->getChildren()) {
                if (c->getAddr2() == twin->getAddr2())
                    member = static_cast<const Chunk*>(c);
            }
            ASSERT_NE(member, nullptr) << "drive " << drive->getDeviceID();
            EXPECT_EQ(member->getProvider(), drive);
            EXPECT_EQ(member->getProviderHardDrive(), drive);
            EXPECT_EQ(member->getConsumer(), logical);
            EXPECT_EQ(logical->getAdapterID(), drive->getAdapterID());
            ++linked;
        }
    }
    EXPECT_EQ(linked, vynbench::benchDriveCount(drivesPerChannel));
}

} // namespace
