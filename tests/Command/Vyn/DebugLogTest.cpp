#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_fib.h"
#include "Command/Vyn/common/fa_misc.h"
#include "Command/Vyn/common/fa_utils.h"
#include "support/HostRootTest.h"

#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

class DebugLogTest : public vyntest::HostRootTest {
protected:
    void SetUp() override
    {
        vyntest::HostRootTest::SetUp();
        fsaDisableDebugLog.store(0);
        bGlobalFibDebug.store(0);
        debugFibCounter.store(0);
    }
    void TearDown() override
    {
        fsaDisableDebugLog.store(0);
        bGlobalFibDebug.store(0);
        vyntest::HostRootTest::TearDown();
    }

    std::vector<std::string> lines(const std::string& logical)
    {
        std::vector<std::string> out;
        std::istringstream in(vyntest::readFile(hostFile(logical)));
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }
};

TEST_F(DebugLogTest, ScopeWritesInAndOutWhenTheFileExists)
{
    vyntest::writeFile(hostFile("/var/log/fsaapi.txt"), "");
    {
        FsaApiEntryExit scope("Foo");
    }
    const std::vector<std::string> got = lines("/var/log/fsaapi.txt");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(std::regex_match(got[0], std::regex(R"(^\d\d:\d\d:\d\d\.\d{3} Foo In$)"))) << got[0];
    EXPECT_TRUE(std::regex_match(got[1], std::regex(R"(^\d\d:\d\d:\d\d\.\d{3} Foo Out$)"))) << got[1];
}

TEST_F(DebugLogTest, WithoutTheFileNothingIsWrittenAndNoFileAppears)
{
    {
        FsaApiEntryExit scope("Foo");
        FsaApiEntryExit::logToFileV("Foo", "%d", 1);
        EXPECT_EQ(FsaDebugPrintf("x"), 0);
    }
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/log/fsaapi.txt")));
}

TEST_F(DebugLogTest, DisablingSilencesTheCallTrace)
{
    vyntest::writeFile(hostFile("/var/log/fsaapi.txt"), "");
    EXPECT_EQ(FsaDisableDebugLogs(), 1u);
    {
        FsaApiEntryExit scope("Foo");
        EXPECT_EQ(FsaDebugPrintf("x"), 0);
    }
    EXPECT_EQ(vyntest::readFile(hostFile("/var/log/fsaapi.txt")), "");
}

TEST_F(DebugLogTest, NamesAndTextsAreCut)
{
    vyntest::writeFile(hostFile("/var/log/fsaapi.txt"), "");
    const std::string longName(300, 'n');
    {
        FsaApiEntryExit scope(longName.c_str());
    }
    const std::string longText(2000, 't');
    FsaApiEntryExit::logToFileV("Bar", "%s", longText.c_str());
    EXPECT_EQ(FsaDebugPrintf("value %d", 42), 22);
    const std::vector<std::string> got = lines("/var/log/fsaapi.txt");
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].substr(13), std::string(255, 'n') + " In");
    EXPECT_EQ(got[2].substr(13), "Bar " + std::string(527, 't'));
    EXPECT_TRUE(std::regex_match(got[3], std::regex(R"(^\d\d:\d\d:\d\d\.\d{3} value 42$)"))) << got[3];
}

TEST_F(DebugLogTest, SetFibDebugResetsTheCounterOnlyFromOffToOn)
{
    vyntest::writeFile(hostFile("/var/log/fsafibs.txt"), "");
    _FIB fib{};
    SetFibDebug(1, "first");
    {
        FsaApiFibDebugger trace(&fib);
    }
    {
        FsaApiFibDebugger trace(&fib);
    }
    SetFibDebug(1, "again");
    EXPECT_EQ(debugFibCounter.load(), 2);
    SetFibDebug(0, nullptr);
    SetFibDebug(1, "fresh");
    EXPECT_EQ(debugFibCounter.load(), 0);
    const std::string rule(56, '-');
    const std::vector<std::string> got = lines("/var/log/fsafibs.txt");
    ASSERT_GE(got.size(), 6u);
    EXPECT_EQ(got[0], rule);
    EXPECT_EQ(got[1], "first, # Fibs = 0");
    EXPECT_EQ(got[2], rule);
    const std::string all = vyntest::readFile(hostFile("/var/log/fsafibs.txt"));
    EXPECT_NE(all.find("again, # Fibs = 2\n"), std::string::npos);
    EXPECT_NE(all.find("\n, # Fibs = 2\n"), std::string::npos);  // no label
    EXPECT_NE(all.find("fresh, # Fibs = 0\n"), std::string::npos);
}

TEST_F(DebugLogTest, FibTraceLinesNameRequestAndReply)
{
    vyntest::writeFile(hostFile("/var/log/fsafibs.txt"), "");
    SetFibDebug(1, "t");
    struct Case {
        uint16_t command;
        uint32_t w0, w1, w4;
        uint32_t reply0, reply1;
        const char* request;
        const char* reply;
    };
    const Case cases[] = {
        {500, 12, 0x00020101, 0, 0, 0, "ContainerCommand(500) - EM_ENCLOSURE_OP/EM_SUB_ENCL_ALARM_OFF(131329),",
         " ST_OK(0) "},
        {500, 2, 83, 0, 10004, 0, "ContainerCommand(500) - CT_CONTINUE_DATA(83),", " ST_NOTSUPP(10004) "},
        {500, 3, 9, 12, 0, 0, "ContainerCommand(500) - EnhancedGetBusInfo(12),", " ST_OK(0) "},
        {500, 21, 1, 0, 0, 0, "ContainerCommand(500) - VM_DrvErrTblLog(21),", " ST_OK(0) "},
        {700, 107, 0, 0, 0, 3, "AifRequest(700) - AifReqSendAPIReport(107),", " AifStsBadCommand(3) ST_OK(0) "},
        {550, 2, 0, 0, 1, 0, "ClusterCommand(550) - DS_RESCAN(2),", " CL_STATUS_SUCCESS(1) "},
        {703, 0, 0, 0, 0, 0, "RequestAdapterInfo(703) - NA(-1),", " NA(-1) "},
        {909, 0, 0, 0, 0, 0, "Unknown(909) - NA(-1),", " NA(-1) "},
    };
    for (const Case& c : cases) {
        _FIB fib{};
        fib.Header.Command = c.command;
        faPutLe32(fib.data + 0, c.w0);
        faPutLe32(fib.data + 4, c.w1);
        faPutLe32(fib.data + 16, c.w4);
        {
            FsaApiFibDebugger trace(&fib);
            // the reply replaces the request in place
            faPutLe32(fib.data + 0, c.reply0);
            faPutLe32(fib.data + 4, c.reply1);
        }
    }
    const std::vector<std::string> got = lines("/var/log/fsafibs.txt");
    ASSERT_EQ(got.size(), 3u + sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const std::string& line = got[3 + i];
        const std::string pattern = std::string(R"(^\d\d:\d\d:\d\d\.\d{3} )") + std::regex_replace(
            std::string(cases[i].request) + cases[i].reply, std::regex(R"([()/\\.])"), R"(\$&)") +
            R"(\d\d:\d\d:\d\d\.\d{3}$)";
        EXPECT_TRUE(std::regex_match(line, std::regex(pattern))) << line;
    }
}

TEST_F(DebugLogTest, FibTraceIsSilentWhenOffOrWithoutTheFile)
{
    _FIB fib{};
    fib.Header.Command = 703;
    SetFibDebug(1, "on");
    {
        FsaApiFibDebugger trace(&fib);
    }
    EXPECT_FALSE(vyntest::fileExists(hostFile("/var/log/fsafibs.txt")));
    EXPECT_EQ(debugFibCounter.load(), 1);
    vyntest::writeFile(hostFile("/var/log/fsafibs.txt"), "");
    SetFibDebug(0, "off");
    {
        FsaApiFibDebugger trace(&fib);
    }
    EXPECT_EQ(vyntest::readFile(hostFile("/var/log/fsafibs.txt")).find("RequestAdapterInfo"), std::string::npos);
}

TEST(NameTableTest, EdgesOfEveryTable)
{
    EXPECT_STREQ(FSA_API_XLATE_CT_SUBCMD(0), "CT_Null");
    EXPECT_STREQ(FSA_API_XLATE_CT_SUBCMD(257), "CT_SET_WEAROUT_PARAMS");
    EXPECT_STREQ(FSA_API_XLATE_CT_SUBCMD(258), "CT_UNKNOWN");
    EXPECT_STREQ(FSA_API_XLATE_CT_SUBCMD(0xFFFFFFFF), "CT_UNKNOWN");
    EXPECT_STREQ(FSA_API_XLATE_CTVM_SUBCMD(26), "VM_SetDynAdapProps");
    EXPECT_STREQ(FSA_API_XLATE_CTVM_SUBCMD(27), "MAX_VMCOMMAND_NUM");
    EXPECT_STREQ(FSA_API_XLATE_CTVM_SUBCMD(23), "VM_SasNvsramAccess");
    EXPECT_STREQ(FSA_API_XLATE_FIB_CMD(908), "AtaPassThruFIB");
    EXPECT_STREQ(FSA_API_XLATE_FIB_CMD(909), "Unknown");
    EXPECT_STREQ(FSA_API_XLATE_FIB_CMD(-1), "Unknown");
    EXPECT_STREQ(FSA_API_XLATE_CT_RESULTS(10011), "ST_STALEACL");
    EXPECT_STREQ(FSA_API_XLATE_CT_RESULTS(3), "Unknown");
    EXPECT_STREQ(FSA_API_XLATE_IOCTL_SUBCMD(128), "IdentifyDisk");
    EXPECT_STREQ(FSA_API_XLATE_EM_CMD(101), "EM_CMD_END");
    EXPECT_STREQ(FSA_API_XLATE_EM_SUBCMD(32770), "EM_SUB_CMD_END");
    EXPECT_STREQ(FSA_API_XLATE_CL_SUBCMD(769), "CL_LAST_COMMAND");
    EXPECT_STREQ(FSA_API_XLATE_CL_RESULTS(26), "CL_STATUS_LAST");
    EXPECT_STREQ(FSA_API_XLATE_AIF_SUBCMD(111), "AifReqTerminatePendJob");
    EXPECT_STREQ(FSA_API_XLATE_AIF_RESULTS(9), "AifStsAPIJobNoStart");
    EXPECT_STREQ(FSA_API_XLATE_AIF_RESULTS(0), "Unknown");
}

TEST(NameTableTest, DenseTablesHaveAnEntryForEveryCode)
{
    for (unsigned code = 0; code < 258; ++code) {
        const char* name = FSA_API_XLATE_CT_SUBCMD(code);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(std::strncmp(name, "CT_", 3), 0) << code;
        EXPECT_STRNE(name, "CT_UNKNOWN") << code;
    }
    for (unsigned code = 0; code < 27; ++code)
        EXPECT_EQ(std::strncmp(FSA_API_XLATE_CTVM_SUBCMD(code), "VM_", 3), 0) << code;
}

}  // namespace
