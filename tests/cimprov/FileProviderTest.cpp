// The file provider through the broker's slots: methods, statuses and the
// confinement of client paths to the host's temporary and log directories.

#include "ProviderFixture.h"

#include "common/Base64.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

namespace fs = std::filesystem;
using namespace provtest;

namespace {

class FileProviderTest : public ProviderTest {
protected:
    FileProviderTest()
        : ProviderTest("vynFileProvider", "VYN_FileProvider", "VYN_FileProviderInstance") {}

    Outcome append(const std::string& name, const std::string& data, CMPIUint32 size) {
        return invoke("appendFile", {{"fileName", Value::string(name)},
                                     {"dataString", Value::string(data)},
                                     {"dataSize", Value::uint32(size)}});
    }
    Outcome read(const std::string& name) {
        return invoke("readFile", {{"fileName", Value::string(name)}});
    }
    Outcome list(const std::string& dir) {
        return invoke("listDirectory", {{"dirName", Value::string(dir)}});
    }
    Outcome remove(const std::string& name) {
        return invoke("deleteFile", {{"fileName", Value::string(name)}});
    }
    Outcome sequenced(CMPIUint32 n, const char* extension, const char* format) {
        Entries in = {{"numFiles", Value::uint32(n)}};
        if (extension) in.push_back({"fileExtension", Value::string(extension)});
        if (format) in.push_back({"numberFormat", Value::string(format)});
        return invoke("createSequencedFiles", in);
    }

    // Nothing came back but a failed status.
    static void expectFailedWithoutOutput(const Outcome& o) {
        EXPECT_EQ(o.rc, CMPI_RC_ERR_FAILED);
        EXPECT_TRUE(o.items.empty());
        EXPECT_TRUE(o.out.empty());
    }

    std::set<std::string> tmpEntries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(hostFile("/tmp")))
            names.insert(e.path().filename().string());
        return names;
    }
};

TEST_P(FileProviderTest, InstanceOperationsCheckNamespaceClassAndId) {
    Outcome names = broker_.enumInstanceNames(path(kNamespace, "VYN_FileProvider", nullptr));
    EXPECT_EQ(names.rc, CMPI_RC_OK);
    ASSERT_EQ(names.items.size(), 1u);
    const Value* id = minibroker::findEntry(names.items[0].path.keys, "InstanceID");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->text, "VYN_FileProviderInstance");
    EXPECT_TRUE(names.done);

    // The enumerations answer 5 for a foreign namespace too.
    EXPECT_EQ(broker_.enumInstances(path("root/other", "VYN_FileProvider", nullptr)).rc,
              CMPI_RC_ERR_INVALID_CLASS);

    struct Case {
        const char* ns;
        const char* cls;
        const char* id;
        CMPIrc rc;
    };
    const Case cases[] = {
        {kNamespace, "VYN_FileProvider", "VYN_FileProviderInstance", CMPI_RC_OK},
        {"root/other", "VYN_Other", "x", CMPI_RC_ERR_INVALID_NAMESPACE},
        {kNamespace, "VYN_Other", "VYN_FileProviderInstance", CMPI_RC_ERR_INVALID_CLASS},
        {kNamespace, "VYN_FileProvider", "VYN_CLI_Engine", CMPI_RC_ERR_NOT_FOUND},
        {kNamespace, "VYN_FileProvider", nullptr, CMPI_RC_ERR_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ns) + " " + c.cls + " " + (c.id ? c.id : "(no id)"));
        Outcome got = broker_.getInstance(path(c.ns, c.cls, c.id));
        EXPECT_EQ(got.rc, c.rc);
        EXPECT_EQ(got.items.size(), c.rc == CMPI_RC_OK ? 1u : 0u);
        Outcome invoked = broker_.invoke(path(c.ns, c.cls, c.id), "createFile", {});
        EXPECT_EQ(invoked.rc, c.rc);
        EXPECT_EQ(invoked.out.empty(), c.rc != CMPI_RC_OK);
    }
    // Method names compare case-sensitively.
    EXPECT_EQ(invoke("CreateFile").rc, CMPI_RC_ERR_METHOD_NOT_FOUND);
    EXPECT_EQ(broker_.deleteInstance(path()).rc, CMPI_RC_ERR_NOT_SUPPORTED);
}

TEST_P(FileProviderTest, AppendThenReadRoundTrips) {
    Outcome appended = append("/tmp/a.bin", "YWJj", 3);
    EXPECT_EQ(appended.rc, CMPI_RC_OK);
    EXPECT_EQ(returnedValue(appended), 0);
    EXPECT_TRUE(appended.done);
    EXPECT_EQ(vyntest::readFile(hostFile("/tmp/a.bin")), "abc");

    Outcome got = read("/tmp/a.bin");
    EXPECT_EQ(got.rc, CMPI_RC_OK);
    EXPECT_EQ(returnedValue(got), 0);
    ASSERT_NE(got.outArg("dataString"), nullptr);
    EXPECT_EQ(got.outArg("dataString")->text, "YWJj");
    ASSERT_NE(got.outArg("dataSize"), nullptr);
    EXPECT_EQ(got.outArg("dataSize")->type, CMPI_uint32);
    EXPECT_EQ(got.outArg("dataSize")->scalar.uint32, 3u);

    // A second append adds; a smaller dataSize writes only that many bytes.
    EXPECT_EQ(append("/tmp/a.bin", "ZGVm", 2).rc, CMPI_RC_OK);
    EXPECT_EQ(vyntest::readFile(hostFile("/tmp/a.bin")), "abcde");

    // Every byte value survives read, then append into a new file.
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    vyntest::writeFile(hostFile("/tmp/bin"), binary);
    Outcome whole = read("/tmp/bin");
    ASSERT_EQ(whole.rc, CMPI_RC_OK);
    EXPECT_EQ(append("/tmp/copy", whole.outArg("dataString")->text, 256).rc, CMPI_RC_OK);
    EXPECT_EQ(vyntest::readFile(hostFile("/tmp/copy")), binary);

    // An empty file reads as empty text and size 0.
    vyntest::writeFile(hostFile("/tmp/empty"), "");
    Outcome empty = read("/tmp/empty");
    EXPECT_EQ(empty.rc, CMPI_RC_OK);
    EXPECT_EQ(empty.outArg("dataString")->text, "");
    EXPECT_EQ(empty.outArg("dataSize")->scalar.uint32, 0u);
}

TEST_P(FileProviderTest, MalformedAppendsWriteNothing) {
    struct Case {
        const char* why;
        const char* data;
        CMPIUint32 size;
    };
    const Case cases[] = {
        {"length not a multiple of 4", "YWJ", 2},
        {"character outside the alphabet", "YW*j", 3},
        {"character the lenient decoder skips", "YW\x01j", 3},
        {"padding inside the text", "YW=jYWJj", 6},
        {"size beyond the text", "YWJj", 4},
        {"size reaching into the padding", "YWI=", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        expectFailedWithoutOutput(append("/tmp/bad", c.data, c.size));
        EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/bad")));
    }
    expectFailedWithoutOutput(invoke("appendFile", {{"fileName", Value::string("/tmp/bad")},
                                                    {"dataString", Value::string("YWJj")}}));
    expectFailedWithoutOutput(invoke("appendFile", {{"fileName", Value::string("/tmp/bad")},
                                                    {"dataString", Value::string("YWJj")},
                                                    {"dataSize", Value::sint32(3)}}));
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/bad")));
    // Exactly the bytes the client sent before the padding are accepted.
    EXPECT_EQ(append("/tmp/ok", "YWI=", 2).rc, CMPI_RC_OK);
    EXPECT_EQ(vyntest::readFile(hostFile("/tmp/ok")), "ab");
}

TEST_P(FileProviderTest, FailuresAreTracedInTheOrderOfTheChecks) {
    // A path outside the temporary directory is refused where the file is
    // opened, so the checks of the text come first; a read whose parent is
    // missing fails where the file is looked at.
    struct Case {
        const char* method;
        const char* name;
        const char* data;
        CMPIUint32 size;
        const char* trace;
    };
    const Case cases[] = {
        {"appendFile", "/etc/x", "YWJ", 2, "Failed to calculate buffer size"},
        {"appendFile", "/etc/x", "YWJj", 4, "Data size mismatch"},
        {"appendFile", "/etc/x", "YW*j", 3, "Failed to decode dataString"},
        {"appendFile", "/etc/x", "YWJj", 3, "File append failed with code d for file /etc/x"},
        {"appendFile", "/tmp/no/x", "YWJj", 3, "File append failed with code 2 for file /tmp/no/x"},
        {"readFile", "/tmp/no/x", nullptr, 0, "Failed to stat file /tmp/no/x code 2"},
        {"readFile", "/tmp/missing", nullptr, 0, "Failed to stat file /tmp/missing code 2"},
        {"readFile", "/etc/x", nullptr, 0, "Failed to open file /etc/x code d"},
    };
    const std::string log = hostFile("/var/log/vynconf.log");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.name + " " + (c.data ? c.data : ""));
        const std::size_t start =
            vyntest::fileExists(log) ? vyntest::readFile(log).size() : 0;
        expectFailedWithoutOutput(c.data ? append(c.name, c.data, c.size) : read(c.name));
        const std::string traced = vyntest::readFile(log).substr(start);
        EXPECT_NE(traced.find(c.trace), std::string::npos) << traced;
    }
    EXPECT_FALSE(vyntest::fileExists(hostFile("/etc/x")));
}

TEST_P(FileProviderTest, DeleteFileRemovesFilesAndEmptyDirectories) {
    vyntest::writeFile(hostFile("/tmp/file"), "x");
    fs::create_directories(hostFile("/tmp/empty"));
    fs::create_directories(hostFile("/tmp/full"));
    vyntest::writeFile(hostFile("/tmp/full/inner"), "y");
    EXPECT_EQ(remove("/tmp/file").rc, CMPI_RC_OK);
    EXPECT_EQ(remove("/tmp/empty/").rc, CMPI_RC_OK);
    expectFailedWithoutOutput(remove("/tmp/full"));
    expectFailedWithoutOutput(remove("/tmp"));
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/file")));
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/empty")));
    EXPECT_TRUE(vyntest::fileExists(hostFile("/tmp/full/inner")));
}

TEST_P(FileProviderTest, NameEndingInSlashIsNoFile) {
    vyntest::writeFile(hostFile("/tmp/file"), "x");
    for (const char* name : {"/tmp/new/", "/tmp/file/", "/tmp/file/."}) {
        SCOPED_TRACE(name);
        expectFailedWithoutOutput(append(name, "YWJj", 3));
        expectFailedWithoutOutput(read(name));
        expectFailedWithoutOutput(remove(name));
    }
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/new")));
    EXPECT_EQ(vyntest::readFile(hostFile("/tmp/file")), "x");
}

TEST_P(FileProviderTest, PathsOutsideTheirDirectoriesAreRefused) {
    const std::string secret = hostFile("/etc/secret");
    vyntest::writeFile(secret, "keep");
    vyntest::writeFile(hostFile("/var/log/app.log"), "log");
    ASSERT_EQ(symlink(secret.c_str(), hostFile("/tmp/link").c_str()), 0);
    fs::create_directories(hostFile("/tmp/sub"));
    ASSERT_EQ(symlink(hostFile("/etc").c_str(), hostFile("/tmp/sub/etcdir").c_str()), 0);
    ASSERT_EQ(mkfifo(hostFile("/tmp/fifo").c_str(), 0600), 0);
    // A second name in the shared directory for a file that lives elsewhere.
    ASSERT_EQ(link(secret.c_str(), hostFile("/tmp/hard").c_str()), 0);

    const char* const refusedEverywhere[] = {
        "/etc/secret", "/tmp/../etc/secret", "tmp/a", "/tmp/link",
        "/tmp/sub/etcdir/secret", "/tmp/fifo", "/tmp/hard", "/tmp", "",
    };
    for (const char* name : refusedEverywhere) {
        SCOPED_TRACE(name);
        expectFailedWithoutOutput(read(name));
        expectFailedWithoutOutput(append(name, "YWJj", 3));
    }
    for (const char* name : {"/etc/secret", "/tmp/../etc/secret", "/tmp/link", "/tmp/fifo",
                             "/tmp/sub/etcdir/secret", "/var/log/app.log"}) {
        SCOPED_TRACE(name);
        expectFailedWithoutOutput(remove(name));
    }
    // Logs may be read, never written.
    EXPECT_EQ(read("/var/log/app.log").rc, CMPI_RC_OK);
    expectFailedWithoutOutput(append("/var/log/app.log", "YWJj", 3));
    expectFailedWithoutOutput(append("/var/log/new.log", "YWJj", 3));
    expectFailedWithoutOutput(list("/etc"));
    expectFailedWithoutOutput(list("/tmp/sub/etcdir"));
    expectFailedWithoutOutput(list("/tmp/../etc"));

    EXPECT_EQ(vyntest::readFile(secret), "keep");
    EXPECT_EQ(vyntest::readFile(hostFile("/var/log/app.log")), "log");
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/log/new.log")));
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/a")));
    struct stat st;
    EXPECT_EQ(lstat(hostFile("/tmp/link").c_str(), &st), 0);
    EXPECT_EQ(lstat(hostFile("/tmp/fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_P(FileProviderTest, ListDirectoryGivesRegularFilesOnly) {
    vyntest::writeFile(hostFile("/tmp/one"), "1");
    vyntest::writeFile(hostFile("/tmp/two"), "2");
    fs::create_directories(hostFile("/tmp/subdir"));
    vyntest::writeFile(hostFile("/tmp/subdir/inner"), "3");

    Outcome plain = list("/tmp");
    Outcome slashed = list("/tmp/");
    EXPECT_EQ(plain.rc, CMPI_RC_OK);
    EXPECT_EQ(returnedValue(plain), 0);
    std::vector<std::string> a = outTexts(plain, "children");
    std::vector<std::string> b = outTexts(slashed, "children");
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, (std::vector<std::string>{"/tmp/one", "/tmp/two"}));
    EXPECT_EQ(a, b);

    EXPECT_EQ(outTexts(list("/tmp/subdir"), "children"),
              std::vector<std::string>{"/tmp/subdir/inner"});

    vyntest::writeFile(hostFile("/var/log/vynconf.extra"), "x");
    std::vector<std::string> logs = outTexts(list("/var/log/"), "children");
    EXPECT_NE(std::find(logs.begin(), logs.end(), "/var/log/vynconf.extra"), logs.end());

    Outcome missing = list("/tmp/nowhere");
    EXPECT_EQ(missing.rc, CMPI_RC_OK);
    EXPECT_EQ(returnedValue(missing), 0);
    EXPECT_EQ(missing.outArg("children"), nullptr);

    Outcome empty = list("/tmp/subdir/..x");
    EXPECT_EQ(empty.rc, CMPI_RC_OK);
    EXPECT_EQ(empty.outArg("children"), nullptr);
}

TEST_P(FileProviderTest, CreateFileMakesDistinctEmptyFiles) {
    Outcome first = invoke("createFile");
    Outcome second = invoke("createFile");
    ASSERT_EQ(first.rc, CMPI_RC_OK);
    ASSERT_EQ(second.rc, CMPI_RC_OK);
    EXPECT_EQ(returnedValue(first), 0);
    const std::string a = first.outArg("fileName")->text;
    const std::string b = second.outArg("fileName")->text;
    EXPECT_NE(a, b);
    for (const std::string& name : {a, b}) {
        EXPECT_TRUE(std::regex_match(name, std::regex("/tmp/TOV[0-9]+"))) << name;
        struct stat st;
        ASSERT_EQ(stat(hostFile(name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_size, 0);
        EXPECT_EQ(st.st_mode & 0077, 0u);
    }
    EXPECT_EQ(remove(a).rc, CMPI_RC_OK);
    EXPECT_FALSE(vyntest::fileExists(hostFile(a)));
    expectFailedWithoutOutput(remove(a));
}

TEST_P(FileProviderTest, SequencedFilesShareOneStem) {
    Outcome o = sequenced(3, ".img", "%03d");
    ASSERT_EQ(o.rc, CMPI_RC_OK);
    EXPECT_EQ(returnedValue(o), 0);
    std::vector<std::string> names = outTexts(o, "fileNames");
    ASSERT_EQ(names.size(), 3u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(names[0], m, std::regex("(/tmp/TOV[0-9]+)001\\.img")));
    EXPECT_EQ(names[1], m[1].str() + "002.img");
    EXPECT_EQ(names[2], m[1].str() + "003.img");
    for (const std::string& name : names) EXPECT_TRUE(vyntest::fileExists(hostFile(name)));

    std::vector<std::string> plain = outTexts(sequenced(2, nullptr, nullptr), "fileNames");
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_TRUE(std::regex_match(plain[1], std::regex("/tmp/TOV[0-9]+02")));
    EXPECT_EQ(outTexts(sequenced(1, "", ""), "fileNames").size(), 1u);

    Outcome none = sequenced(0, nullptr, nullptr);
    EXPECT_EQ(none.rc, CMPI_RC_OK);
    ASSERT_NE(none.outArg("fileNames"), nullptr);
    EXPECT_TRUE(none.outArg("fileNames")->elements.empty());
}

TEST_P(FileProviderTest, SequencedFilesRefuseUnsafeArguments) {
    const std::set<std::string> before = tmpEntries();
    struct Case {
        CMPIUint32 n;
        const char* extension;
        const char* format;
    };
    const Case cases[] = {
        {2, nullptr, "%s"},    {2, nullptr, "%n"},     {2, nullptr, "%x"},
        {2, nullptr, "%10d"},  {2, nullptr, "%-3d"},   {2, nullptr, "%d%d"},
        {2, nullptr, "%0d"},   {2, nullptr, "abc"},    {2, "/../x", nullptr},
        {2, "0123456789", nullptr}, {1001, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.extension ? c.extension : "-") + " " +
                     (c.format ? c.format : "-") + " " + std::to_string(c.n));
        expectFailedWithoutOutput(sequenced(c.n, c.extension, c.format));
    }
    expectFailedWithoutOutput(invoke("createSequencedFiles"));
    expectFailedWithoutOutput(
        invoke("createSequencedFiles", {{"numFiles", Value::string("3")}}));
    EXPECT_EQ(tmpEntries(), before);
    EXPECT_EQ(sequenced(2, "123456789", "%9d").rc, CMPI_RC_OK);
}

TEST_P(FileProviderTest, MissingArgumentsFail) {
    for (const char* method : {"appendFile", "readFile", "deleteFile", "listDirectory"}) {
        SCOPED_TRACE(method);
        expectFailedWithoutOutput(invoke(method));
        expectFailedWithoutOutput(invoke(method, {{"fileName", Value::uint32(1)},
                                                  {"dirName", Value::uint32(1)}}));
    }
    expectFailedWithoutOutput(read("/tmp/missing"));
    expectFailedWithoutOutput(invoke("createSequencedFiles"));
    const std::string trace = vyntest::readFile(hostFile("/var/log/vynconf.log"));
    EXPECT_NE(trace.find("Exception in getting arg 'fileName'"), std::string::npos);
    EXPECT_NE(trace.find("Exception in getting arguments"), std::string::npos);
    EXPECT_NE(trace.find("Exception in retrieving argument"), std::string::npos);
    EXPECT_NE(trace.find("Failed to stat file /tmp/missing code 2"), std::string::npos) << trace;
}

INSTANTIATE_TEST_SUITE_P(Flavours, FileProviderTest,
                         ::testing::Values(Flavour::Sfcb, Flavour::Pegasus), flavourParamName);

}  // namespace
