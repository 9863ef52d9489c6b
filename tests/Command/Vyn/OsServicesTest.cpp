#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_dump.h"
#include "Command/Vyn/common/fa_wchar.h"
#include "Command/Vyn/os/faux_debug.h"
#include "Command/Vyn/os/faux_misc.h"
#include "support/HostRootTest.h"
#include "support/ScopedTimeZone.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

// Trace settings are process-wide: each test starts from the load state.
class TraceFileTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        vyntest::HostRootTest::SetUp();
        reset();
    }
    void TearDown() override
    {
        reset();
        vyntest::HostRootTest::TearDown();
    }
    static void reset()
    {
        FsaUxDbgFileSetLevel(0);
        FsaUxDbgFileClrModule(~0u, ~0u);
        char none[] = "";
        FsaUxDbgFileSetName(none);
    }
    std::string trace() { return vyntest::readFile(hostFile("/tmp/dbg.api")); }
};

TEST_F(TraceFileTest, LevelZeroWritesNothingWhateverTheModules)
{
    FsaUxDbgFileSetAll();
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 1, "text\n");
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/dbg.api")));
    EXPECT_EQ(FsaUxDbgFileInUse(), 6u);
}

TEST_F(TraceFileTest, LinesCarryProcessThreadAndFiveColumnsOfModule)
{
    FsaUxDbgFileSetLevel(3);
    FsaUxDbgFileSetAll();
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 3, "node %d\n", 7);
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 4, "too detailed\n");
    FsaUxDbgFilePrintf(0, FAUX_DBG_LOCK | FAUX_DBG_MUTEX, 1, "two bits\n");
    char expected[64];
    std::snprintf(expected, sizeof expected, "%5d ", static_cast<int>(::getpid()));
    const std::string text = trace();
    ASSERT_EQ(text.rfind(expected, 0), 0u) << text;
    EXPECT_NE(text.find(" DRIVE node 7\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("too detailed"), std::string::npos);
    EXPECT_NE(text.find(" ????  two bits\n"), std::string::npos) << text;
}

TEST_F(TraceFileTest, StubNoticesFormatFileAndOperation)
{
    FsaUxDbgFileSetLevel(5);
    FsaUxDbgFileSetOther();
    FsaUxDbgFilePrintf(0, FAUX_DBG_LATER, 1, nullptr, "faux_misc", "faos_IsThereOCE");
    FsaUxDbgFilePrintf(0, FAUX_DBG_MISSED, 1, nullptr, "faux_opensup", "faos_CheckAdapterAccess");
    const std::string text = trace();
    EXPECT_NE(text.find(" LATER -- faux_misc.cpp: faos_IsThereOCE() is put off\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" MISSE -- faux_opensup.cpp: faos_CheckAdapterAccess() is missing\n"), std::string::npos);
}

TEST_F(TraceFileTest, ModulesMustShareABit)
{
    FsaUxDbgFileSetLevel(5);
    FsaUxDbgFileSetInfra();
    FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 1, "driver\n");
    EXPECT_FALSE(vyntest::fileExists(hostFile("/tmp/dbg.api")));
    EXPECT_EQ(FsaUxDbgFileTstModule(0, FAUX_DBG_MUTEX), 1);
    const uint64_t left = FsaUxDbgFileClrModule(0, FAUX_DBG_MUTEX);
    EXPECT_EQ(left >> 32, uint64_t{FAUX_DBG_LOCK | FAUX_DBG_SEMA | FAUX_DBG_SIGNAL | FAUX_DBG_THREAD});
    EXPECT_EQ(FsaUxDbgFileTstModule(0, FAUX_DBG_MUTEX), 0);
}

TEST_F(TraceFileTest, LongTextsAreCutNotOverflowed)
{
    FsaUxDbgFileSetLevel(1);
    FsaUxDbgFileSetAll();
    const std::string longText(3000, 'x');
    FsaUxDbgFilePrintf(FAUX_DBG_DEBUG, 0, 1, "%s", longText.c_str());
    const std::string text = trace();
    EXPECT_EQ(std::count(text.begin(), text.end(), 'x'), 1023);
    EXPECT_EQ(text.back(), 'x');
}

TEST_F(TraceFileTest, APlantedLinkIsNotFollowed)
{
    const std::string target = hostFile("/tmp/elsewhere");
    vyntest::writeFile(target, "keep\n");
    ASSERT_EQ(::symlink(target.c_str(), hostFile("/tmp/dbg.api").c_str()), 0);
    FsaUxDbgFileSetLevel(1);
    FsaUxDbgFileSetAll();
    FsaUxDbgFilePrintf(FAUX_DBG_DEBUG, 0, 1, "secret\n");
    EXPECT_EQ(vyntest::readFile(target), "keep\n");
    EXPECT_EQ(FsaUxDbgFileInUse(), 502u);
}

TEST_F(TraceFileTest, OpenEmptyCloseTruncates)
{
    EXPECT_EQ(FsaUxDbgFileOpenEmptyClose(), 6u);
    FsaUxDbgFileSetLevel(1);
    FsaUxDbgFileSetAll();
    FsaUxDbgFilePrintf(FAUX_DBG_DEBUG, 0, 1, "line\n");
    EXPECT_FALSE(trace().empty());
    EXPECT_EQ(FsaUxDbgFileOpenEmptyClose(), 1u);
    EXPECT_TRUE(trace().empty());
}

struct ArgCase {
    const char* argument;
    int accepted;
    int level;
    uint64_t modules;
};

TEST_F(TraceFileTest, CommandLineArguments)
{
    const uint64_t adapter = 0x1F00300;
    const uint64_t infra = uint64_t{0x1F} << 32 | 0x300;
    const uint64_t other = uint64_t{0x1F000} << 32 | 0x300;
    const ArgCase cases[] = {
        {"-madapter", 1, 0, adapter},
        {"-m adapter", 1, 0, adapter},
        {"-M INFRA", 1, 0, infra},
        {"-mother", 1, 0, other},
        {"-mall", 1, 0, adapter | infra | other},
        {"-mnone", 0, 0, 0},
        {"-l3", 1, 3, 0},
        {"-L 5", 1, 5, 0},
        {"-L0", 1, 0, 0},
        {"-L6", 0, 0, 0},
        {"-L-1", 0, 0, 0},
        {"-Lx", 0, 0, 0},
        {"-L", 0, 0, 0},
        {"-X3", 0, 0, 0},
        {"xL3", 0, 0, 0},
    };
    for (const ArgCase& c : cases) {
        reset();
        char arg[32];
        std::snprintf(arg, sizeof arg, "%s", c.argument);
        EXPECT_EQ(FsaUxParseCmdLineArg(arg), c.accepted) << c.argument;
        EXPECT_EQ(FsaUxDbgFileGetLevel(), c.level) << c.argument;
        EXPECT_EQ(FsaUxDbgFileGetModules(), c.modules) << c.argument;
    }
    reset();
    char file[] = "-f/tmp/Trace.TXT";
    EXPECT_EQ(FsaUxParseCmdLineArg(file), 1);
    EXPECT_STREQ(file, "-F/TMP/TRACE.TXT");  // upper-cased in place first
    EXPECT_STREQ(FsaUxDbgFileGetName(), "/tmp/trace.txt");
    FsaUxDbgFileSetLevel(1);
    FsaUxDbgFileSetAll();
    FsaUxDbgFilePrintf(FAUX_DBG_DEBUG, 0, 1, "renamed\n");
    EXPECT_NE(vyntest::readFile(hostFile("/tmp/trace.txt")).find("renamed"), std::string::npos);
}

TEST(OsServicesTest, EpochAndBiasFollowTheZone)
{
    unsigned utc = 0;
    int bias = 99;
    ASSERT_EQ(faos_GetEpochTimeAndBias(1, &utc, &bias), 0);
    EXPECT_EQ(bias, 0);
    {
        vyntest::ScopedTimeZone zone("EST5");
        unsigned local = 0;
        ASSERT_EQ(faos_GetEpochTimeAndBias(0, &local, &bias), 0);
        EXPECT_EQ(bias, -300);
        EXPECT_NEAR(static_cast<double>(local), static_cast<double>(utc) - 18000, 2);
    }
    {
        // Standard offset 0 with summer time in force all year: the offset in
        // force is one hour, not zero.
        vyntest::ScopedTimeZone zone("GMT0BST,0/0,J365/25");
        unsigned local = 0;
        ASSERT_EQ(faos_GetEpochTimeAndBias(0, &local, &bias), 0);
        EXPECT_EQ(bias, 60);
        EXPECT_NEAR(static_cast<double>(local), static_cast<double>(utc) + 3600, 2);
    }
}

TEST(OsServicesTest, TimeFieldsAreInRange)
{
    vyntest::ScopedTimeZone zone("UTC");
    FAOS_TIME_INFO t;
    faos_GetTime(1, &t);
    const time_t now = time(nullptr);
    struct tm tm;
    gmtime_r(&now, &tm);
    EXPECT_EQ(t.year, tm.tm_year + 1900);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_LE(t.dayOfWeek, 6);
    EXPECT_LT(t.milliseconds, 1000);
}

TEST(OsServicesTest, FixedAnswers)
{
    EXPECT_EQ(faos_GetOSType(), 5);
    EXPECT_EQ(faos_IsThereOCE(nullptr), 1);
    EXPECT_EQ(faos_OpenDeviceNotificationWindow(), 1u);
    FSA_CODE_VERSION_STATUS status = 7;
    EXPECT_EQ(faos_GetVersionStatus(nullptr, &status), 9u);
    EXPECT_EQ(status, 7u);
}

TEST(OsServicesTest, HostNameIsBoundedByTheLength)
{
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    wchar_t out[300];
    unsigned length = 256;
    EXPECT_EQ(faos_GetHostName(out, &length), 1u);
    EXPECT_EQ(length, std::strlen(name));
    EXPECT_EQ(out[length], 0);
    if (std::strlen(name) > 2) {
        length = 2;
        faos_GetHostName(out, &length);
        EXPECT_EQ(length, 2u);
        EXPECT_EQ(out[0], static_cast<wchar_t>(name[0]));
        EXPECT_EQ(out[2], 0);
    }
}

TEST(OsServicesTest, MatchStringGivesTheEndOfTheFirstMatch)
{
    EXPECT_EQ(faux_MatchString("250 ulbraid", "ulb[a-z]+"), 11);
    EXPECT_EQ(faux_MatchString("250 ulbraid", "^[0-9]+"), 3);
    EXPECT_EQ(faux_MatchString("250 ulbraid", "sg"), 0);
    EXPECT_EQ(faux_MatchString("text", "(unclosed"), 0);
}

TEST(WideStringTest, CaseChangesCoverTheLettersOnly)
{
    char narrow[] = "ULB0@[`az{";
    EXPECT_STREQ(FA_strlwr(narrow), "ulb0@[`az{");
    char five[] = "ULB0@";
    EXPECT_STREQ(FA_strlwr(five), "ulb0@");
    EXPECT_STREQ(FA_strupr(narrow), "ULB0@[`AZ{");
    wchar_t wide[] = L"ulb0`{AZ@[";
    EXPECT_EQ(std::wstring(FA_wcsupr(wide)), L"ULB0`{AZ@[");
    EXPECT_EQ(std::wstring(FA_wcslwr(wide)), L"ulb0`{az@[");
}

TEST(WideStringTest, ConversionsSignExtendAndCount)
{
    const char src[] = {'a', static_cast<char>(0xE9), '\0'};
    wchar_t dst[4] = {9, 9, 9, 9};
    EXPECT_EQ(FA_mbstowcs(dst, src, 4), 2u);
    EXPECT_EQ(static_cast<uint32_t>(dst[1]), 0xFFFFFFE9u);
    EXPECT_EQ(dst[2], 0);
    EXPECT_EQ(dst[3], 9);
    EXPECT_EQ(FA_mbstowcs(dst, "abcdef", 3), 3u);  // no terminator reached
    char back[4] = {};
    EXPECT_EQ(FA_wcstombs(back, L"xy", 4), 2u);
    EXPECT_STREQ(back, "xy");
    EXPECT_EQ(FA_wcstol(L"  -42", nullptr, 16), -42);
    EXPECT_EQ(FA_wcslen(L"abc"), 3u);
}

TEST(WideStringTest, CountedCopyAddsNoZeroAndComparisonsAreOneMinusOneZero)
{
    wchar_t dst[6] = {L'z', L'z', L'z', L'z', L'z', 0};
    FA_wcsncpy(dst, L"abcdef", 3);
    EXPECT_EQ(std::wstring(dst), L"abczz");
    FA_wcscpy(dst, L"ab");
    EXPECT_EQ(std::wstring(dst), L"ab");
    EXPECT_EQ(FA_wcscmp(L"b", L"a"), 1);
    EXPECT_EQ(FA_wcscmp(L"a", L"zzzz"), -1);
    EXPECT_EQ(FA_wcscmp(L"same", L"same"), 0);
    const wchar_t high[] = {static_cast<wchar_t>(-5), 0};
    EXPECT_EQ(FA_wcscmp(high, L"a"), -1);  // signed comparison
    EXPECT_EQ(FA_wcsncmp(L"abX", L"abY", 2), 0);
    EXPECT_EQ(FA_wcsncmp(L"abX", L"abY", 3), -1);
}

// Record dumps: each record's text after the module column.
TEST_F(TraceFileTest, RecordDumps)
{
    FsaUxDbgFileSetLevel(2);
    FsaUxDbgFileSetAll();
    _FIB fib = {};
    fib.Header.StructType = 1;
    fib.Header.Command = 500;
    fib.Header.Size = 464;
    faPutLe32(fib.data + 4, 165);
    const FSA_REVISION revision = {1, 4, 2, 5, 18757};
    _UNIX_QUERY_DISK disk = {};
    disk.container = 3;
    disk.bus = 0;
    disk.target = 1;
    disk.lun = 0;
    disk.valid = 1;
    disk.deleted = 7;
    disk.instance = 2;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    struct dirent entry = {};
    entry.d_ino = 12;
    entry.d_off = 34;
    entry.d_reclen = 24;
    std::strcpy(entry.d_name, "ulb0");
    struct stat st = {};
    st.st_dev = 2049;
    st.st_ino = 77;
    st.st_mode = S_IFREG | 0644;
    st.st_nlink = 1;
    st.st_size = 512;
    st.st_blksize = 4096;
    st.st_blocks = 8;
    st.st_mtime = 1704067200;

    char pid[32];
    std::snprintf(pid, sizeof pid, "%d", static_cast<int>(::getpid()));
    struct Case {
        std::function<void()> dump;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {[&] { fauxPrint_FIB(FAUX_DBG_FIB, 0, 1, "fib", &fib); },
         {"-- fib: Size=464, StructType=TFib, Command=ContainerCommand:CID_TO_32BITS_UID\n"}},
        {[&] { fauxPrint_REVISION(FAUX_DBG_DEBUG, 0, 1, "rev", &revision); },
         {"-- rev: BN=18757, dash=1, type=4, minor=2, major=5\n"}},
        {[&] { fauxPrint_UnixQueryDisk(FAUX_DBG_DRIVER, 0, 1, "qd", &disk); },
         {"qd: ctr=3, Instance=2, Bus=0, Target=1, Lun=0, Valid=TRUE, Locked=FALSE, Deleted=TRUE\n"}},
        {[&] { fauxPrint_OS_FileLock(0, FAUX_DBG_LOCK, 1, "lk", F_SETLK, &lock); },
         {std::string("-- lk: psd=") + pid +
          ", cmd=F_SETLK, l_type=F_WRLCK, l_whence=SEEK_SET, l_start=0, l_len=1, l_pid=0\n"}},
        {[&] { fauxPrint_OS_dirent(0, FAUX_DBG_MISC, 1, "de", &entry); },
         {"-- de: ino_t=12, d_off=34, d_reclen=24, d_name='ulb0'\n"}},
        {[&] { fauxPrint_OS_StatStruct(0, FAUX_DBG_MISC, 1, "node", &st); },
         {"-- node: st_dev=2049, st_ino=77, st_mode= 0x000081a4 ------rw-, st_nlink=1, st_uid=0, st_gid=0,\n",
          "         st_rdev=0, st_size=512, st_blksize=4096, st_blocks=8,\n",
          "         st_atim=1970-01-01 00:00:00, st_mtim=2024-01-01 00:00:00, st_ctim=1970-01-01 00:00:00\n"}},
        // Too detailed for the level, and a record this host does not have.
        {[&] { fauxPrint_REVISION(FAUX_DBG_DEBUG, 0, 3, "rev", &revision); }, {}},
        {[&] { fauxPrint_OS_dk_cfio(FAUX_DBG_DEBUG, 0, 1, "dk", nullptr); }, {}},
    };
    for (const Case& c : cases) {
        FsaUxDbgFileOpenEmptyClose();
        c.dump();
        std::vector<std::string> got;
        const std::string text = trace();
        for (size_t from = 0; from < text.size();) {
            const size_t end = text.find('\n', from);
            // Process and thread numbers and the five-column module precede
            // each text.
            size_t at = from;
            for (int field = 0; field < 2; ++field) {
                at = text.find_first_not_of(' ', at);
                at = text.find(' ', at) + 1;
            }
            at += 6;
            got.push_back(text.substr(at, end + 1 - at));
            from = end + 1;
        }
        EXPECT_EQ(got, c.lines) << text;
    }
}

TEST_F(TraceFileTest, StatOfAnOpenDescriptor)
{
    FsaUxDbgFileSetLevel(1);
    FsaUxDbgFileSetAll();
    const std::string path = hostFile("/tmp/probe");
    vyntest::writeFile(path, "12345");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    fauxPrint_OS_FStatStruct(FAUX_DBG_DEBUG, 0, 1, "fd", fd);
    ::close(fd);
    fauxPrint_OS_FStatStruct(FAUX_DBG_DEBUG, 0, 1, "closed", fd);
    const std::string text = trace();
    EXPECT_NE(text.find("st_size=5,"), std::string::npos) << text;
    EXPECT_EQ(text.find("closed"), std::string::npos) << text;
}

}  // namespace
