// The texts of the benchmark's system (4 controllers, 256 hard drives with
// their chunks, 64 logical drives) are pinned by their SHA-256, so that any
// change to the writer, the parser or the readers that alters a single byte
// of a saved configuration shows here.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <string>
#include <vector>

#include "bench/xml_tree.h"
#include "common/SimpleXmlParser.h"
#include "common/XMLWriter.h"

namespace {

// Taken from the texts as they were first written; reading the full text back
// gives a tree that writes the very same texts again.
const char FULL_SHA256[] = "7405af87e0f58db8a918db4b1dce5ebe32cefaf0181d0091eba10a591f238a4b";
const char USER_SHA256[] = "7900d0dbdd81982270f1039fbad4e6836494cc104c58c6fd79cc89a6c3a301c2";

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

} // namespace
