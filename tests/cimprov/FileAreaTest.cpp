// Client paths confined to the host's temporary directory, also when a
// directory on the way is swapped for a link after the path was checked.

#include "cimprov/FileArea.h"

#include "support/HostRootTest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

class FileAreaTest : public vyntest::HostRootTest {
protected:
    void SetUp() override {
        HostRootTest::SetUp();
        fs::create_directories(hostFile("/tmp/d"));
        vyntest::writeFile(hostFile("/tmp/d/f"), "inside");
        vyntest::writeFile(hostFile("/etc/f"), "outside");
    }

    ConfinedPath confined(const std::string& clientPath) {
        ConfinedPath path;
        EXPECT_EQ(confinePath(clientPath, FileArea::Temp, path), 0) << clientPath;
        return path;
    }

    // "/tmp/d" becomes a link to the host's "/etc".
    void swapDirectoryForLink() {
        ASSERT_EQ(std::rename(hostFile("/tmp/d").c_str(), hostFile("/tmp/d.old").c_str()), 0);
        ASSERT_EQ(symlink(hostFile("/etc").c_str(), hostFile("/tmp/d").c_str()), 0);
    }
};

TEST_F(FileAreaTest, ResolvedParentIsReachedThroughLinksInsideTheArea) {
    ASSERT_EQ(symlink(hostFile("/tmp/d").c_str(), hostFile("/tmp/alias").c_str()), 0);
    const ConfinedPath path = confined("/tmp/alias/f");
    int fd = openConfined(path, O_RDONLY);
    ASSERT_GE(fd, 0) << errno;
    char text[16] = {};
    EXPECT_EQ(read(fd, text, sizeof text - 1), 6);
    close(fd);
    EXPECT_STREQ(text, "inside");
    struct stat st;
    EXPECT_EQ(statConfined(path, st), 0);
    EXPECT_EQ(st.st_size, 6);
    EXPECT_EQ(removeConfined(path, false), 0);
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/d/f")));
}

TEST_F(FileAreaTest, DirectorySwappedForALinkAfterTheCheckLeadsNowhere) {
    const ConfinedPath existing = confined("/tmp/d/f");
    const ConfinedPath fresh = confined("/tmp/d/new");
    swapDirectoryForLink();

    struct stat st;
    const std::pair<const char*, std::function<int()>> operations[] = {
        {"read", [&] { return openConfined(existing, O_RDONLY); }},
        {"append", [&] { return openConfined(existing, O_WRONLY | O_APPEND); }},
        {"create", [&] { return openConfined(fresh, O_WRONLY | O_CREAT, 0600); }},
        {"stat", [&] { return statConfined(existing, st); }},
        {"remove", [&] { return removeConfined(existing, false); }},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(op.first);
        const int rc = op.second();
        if (rc > 0) close(rc);
        EXPECT_EQ(rc, -1);
    }
    EXPECT_EQ(vyntest::readFile(hostFile("/etc/f")), "outside");
    EXPECT_FALSE(vyntest::fileExists(hostFile("/etc/new")));
}

}  // namespace
