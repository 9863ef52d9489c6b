// Enclosure management over the simulator: the command and sub-command
// limits, the read-only gate, the data classes, long replies and the
// enclosure statuses.
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_context.h"
#include "Command/Vyn/common/fa_enclmgt.h"
#include "Command/Vyn/common/fa_status.h"
#include "OpenSessionTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr const char* kSes2 = "adapter0.encl0 = ses2 0:8 slots=8 fans=2 psus=2 temps=1\n"
                              "adapter0.drive0 = 0:0 sas 146G\nadapter0.drive1 = 0:1 sata 500G\n";
constexpr uint32_t kPageRead = 100u << 16 | EM_SUB_SCSI_RECEIVE_DIAGNOSTIC;

class EnclosureMgtTest : public vyntest::OpenSessionTest {
protected:
    static FSA_ENCLOSURE_MGT request(uint32_t command, uint32_t sub, uint32_t p0 = 0, uint32_t p1 = 0)
    {
        FSA_ENCLOSURE_MGT r;
        std::memset(&r, 0, sizeof r);
        r.command = command;
        r.subCommand = sub;
        r.param[0] = p0;
        r.param[1] = p1;
        return r;
    }
    // The class and code (word 1) of every FIB 500 sent, in order.
    std::vector<std::pair<uint32_t, uint32_t>> sentClasses()
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (const Request& r : sim().requests())
            if (r.isFib && r.hasClass)
                out.push_back({r.fibClass, r.ct});
        return out;
    }
};

TEST_F(EnclosureMgtTest, LimitsAndTheReadOnlyGate)
{
    void* rw = start(kSes2);
    ASSERT_NE(rw, nullptr);
    void* ro = openAgain(FSA_ACC_READ_ONLY);
    ASSERT_NE(ro, nullptr);
    struct Case {
        const char* what;
        void* handle;
        uint32_t command;
        uint32_t sub;
        FSA_STATUS status;
        bool sent;
    };
    const Case cases[] = {
        {"a command above 101", rw, 102, 0, FSA_STS_ENCL_BAD_COMMAND, false},
        {"a sub-command above the last", rw, 2, 0x8003, FSA_STS_ENCL_BAD_SUBCOMMAND, false},
        {"the EMP count, read-only", ro, FSA_ECM_GET_EMP_COUNT, 0, FSA_STS_SUCCESS, true},
        {"alarm on, read-only", ro, FSA_ECM_ENCLOSURE_OP, 0x100, FSA_STS_NOT_OPEN_READ_WRITE, false},
        // 0x285 has bit 0x80: it passes the gate; the SES-2 processor has no
        // SAF-TE identify or alarm of its own.
        {"identify, read-only", ro, FSA_ECM_ENCLOSURE_OP, EM_SUB_ENCL_IDENTIFY, FSA_STS_ENCL_NOT_SUPPORTED, true},
        {"alarm on, read-write", rw, FSA_ECM_ENCLOSURE_OP, 0x100, FSA_STS_ENCL_NOT_SUPPORTED, true},
        {"an unknown command", rw, 50, 0, FSA_STS_ENCL_BAD_COMMAND, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim().clearRequests();
        FSA_ENCLOSURE_MGT r = request(c.command, c.sub);
        EXPECT_EQ(FsaEnclosureMgt(c.handle, &r), c.status);
        EXPECT_EQ(sentClasses().size(), c.sent ? 1u : 0u);
    }
    sim().clearRequests();
    FSA_ENCLOSURE_MGT r = request(FSA_ECM_GET_EMP_COUNT, 0);
    ASSERT_EQ(FsaEnclosureMgt(ro, &r), FSA_STS_SUCCESS);
    EXPECT_EQ(faGetLe32(r.data), 1u);
    EXPECT_EQ(r.direction, 0u);
    EXPECT_EQ(sentClasses(), (std::vector<std::pair<uint32_t, uint32_t>>{{12, 1u << 16}}));
    EXPECT_EQ(FsaEnclosureMgt(nullptr, &r), FSA_STS_INVALID_HANDLE);
    EXPECT_EQ(FsaEnclosureMgt(rw, nullptr), FSA_STS_BAD_PARAMETER);
}

TEST_F(EnclosureMgtTest, ProcessorInformationAndSafteRecords)
{
    void* h = start("adapter0.bus0 = sas 16\nadapter0.encl0 = ses2 0:8 slots=4\n"
                    "adapter0.encl1 = safte 0:6 slots=20 fans=1\n"
                    "adapter0.drive0 = 0:0 sas 146G slot=1:0\nadapter0.drive1 = 0:1 sas 146G slot=1:3\n");
    ASSERT_NE(h, nullptr);
    FSA_ENCLOSURE_MGT info = request(FSA_ECM_GET_EMP_INFO, 0, 0);
    ASSERT_EQ(FsaEnclosureMgt(h, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(info.param[0], 0u);
    EXPECT_EQ(info.param[1], 8u);
    EXPECT_EQ(info.param[2], 0u);
    EXPECT_EQ(info.param[3], 0x50u);
    info = request(FSA_ECM_GET_EMP_INFO, 0, 1);
    ASSERT_EQ(FsaEnclosureMgt(h, &info), FSA_STS_SUCCESS);
    EXPECT_EQ(info.param[1], 6u);
    EXPECT_EQ(info.param[3], 0u);
    info = request(FSA_ECM_GET_EMP_INFO, 0, 2);
    EXPECT_EQ(FsaEnclosureMgt(h, &info), FSA_STS_ENCL_NO_PROCESSOR);

    // Class 0x40: 132 bytes inline, then the adapter word at byte 72.
    FSA_ENCLOSURE_MGT config = request(FSA_ECM_ENCLOSURE_OP, EM_SUB_ENCL_CONFIG_INFO, 1);
    ASSERT_EQ(FsaEnclosureMgt(h, &config), FSA_STS_SUCCESS);
    EXPECT_EQ(config.direction, 0x40u);
    const uint8_t* c = config.data;
    EXPECT_EQ(faGetLe32(c + 12), 20u);
    EXPECT_EQ(c[32], 0);
    EXPECT_EQ(c[33], 6);
    EXPECT_EQ(c[34], 0);
    EXPECT_EQ(faGetLe32(config.data + (FSA_ENCLOSURE_MGT_ADAPTER_WORD - 36)), 0x30315356u);

    // Class 0x80: 332 bytes, the slot table from byte 108.
    FSA_ENCLOSURE_MGT status = request(FSA_ECM_ENCLOSURE_OP, EM_SUB_ENCL_ALL_STATUS, 1);
    ASSERT_EQ(FsaEnclosureMgt(h, &status), FSA_STS_SUCCESS);
    EXPECT_EQ(status.direction, 0x80u);
    EXPECT_EQ(status.data[108 + 0 * 8 + 1], 0);
    EXPECT_EQ(status.data[108 + 1 * 8 + 1], 0xFF);
    EXPECT_EQ(status.data[108 + 3 * 8 + 1], 1);

    // The SES-2 processor has no SAF-TE records.
    FSA_ENCLOSURE_MGT none = request(FSA_ECM_ENCLOSURE_OP, EM_SUB_ENCL_CONFIG_INFO, 0);
    EXPECT_EQ(FsaEnclosureMgt(h, &none), FSA_STS_ENCL_NOT_SUPPORTED);
}

TEST_F(EnclosureMgtTest, SesPagesThroughTheCallersBuffer)
{
    void* h = start(kSes2);
    ASSERT_NE(h, nullptr);
    // The additional element status page of eight slots takes a long reply.
    std::vector<uint8_t> page(1968, 0xEE);
    FSA_ENCLOSURE_MGT r = request(FSA_ECM_SES_PAGE, EM_SUB_SCSI_RECEIVE_DIAGNOSTIC, 0, 0x0A);
    r.dataLength = 8 + 8 * 64;
    FsaSetEnclosureMgtData(&r, page.data());
    ASSERT_EQ(FsaEnclosureMgt(h, &r), FSA_STS_SUCCESS);
    EXPECT_EQ(r.direction, 0x4000u);
    EXPECT_EQ(FsaEnclosureMgtData(&r), page.data());
    EXPECT_EQ(page[0], 0x0A);
    EXPECT_EQ(page[2] << 8 | page[3], 8 * 64 + 4);
    EXPECT_EQ(page[8 + 64 + 3], 1);  // the second slot's element index
    EXPECT_EQ(page[r.dataLength], 0xEE);

    // Sending a page of 1969 bytes is refused before anything is sent.
    sim().clearRequests();
    FSA_ENCLOSURE_MGT send = request(FSA_ECM_SES_PAGE, EM_SUB_SCSI_SEND_DIAGNOSTIC);
    send.dataLength = 1969;
    std::vector<uint8_t> big(1969, 0);
    FsaSetEnclosureMgtData(&send, big.data());
    EXPECT_EQ(FsaEnclosureMgt(h, &send), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(send.direction, 0x8000u);
    EXPECT_TRUE(sentClasses().empty());
}

TEST_F(EnclosureMgtTest, MultiPacketReplyIsFetchedAndClosed)
{
    void* h = start(kSes2);
    ASSERT_NE(h, nullptr);
    sim().addEnclosureHandler(kPageRead, [](ControllerState&, const EmRequest&, EmReply& r) {
        r.param[2] = 0x1234;
        r.data.resize(1000);
        for (size_t i = 0; i < r.data.size(); ++i)
            r.data[i] = static_cast<uint8_t>(i * 7);
    });
    std::vector<uint8_t> page(1100, 0xEE);
    FSA_ENCLOSURE_MGT r = request(FSA_ECM_SES_PAGE, EM_SUB_SCSI_RECEIVE_DIAGNOSTIC, 0, 0x80);
    r.dataLength = 1000;
    FsaSetEnclosureMgtData(&r, page.data());
    ASSERT_EQ(FsaEnclosureMgt(h, &r), FSA_STS_SUCCESS);
    for (size_t i = 0; i < 1000; ++i)
        ASSERT_EQ(page[i], static_cast<uint8_t>(i * 7)) << "byte " << i;
    EXPECT_EQ(page[1000], 0xEE);
    EXPECT_EQ(sentClasses(), (std::vector<std::pair<uint32_t, uint32_t>>{
                                 {12, kPageRead}, {2, 83}, {2, 83}, {2, 83}, {2, 84}}));
    for (const Request& q : sim().requests())
        if (q.fibClass == 2) {
            EXPECT_EQ(q.size, 464u);
            EXPECT_EQ(q.senderSize, 512u);
        }

    // A total above the caller's length: 257, nothing copied, the transfer
    // closed.
    sim().clearRequests();
    ASSERT_TRUE(sim().addFault(0, {"class12 " + std::to_string(kPageRead), "total = 1101"}));
    std::fill(page.begin(), page.end(), 0xEE);
    r = request(FSA_ECM_SES_PAGE, EM_SUB_SCSI_RECEIVE_DIAGNOSTIC, 0, 0x80);
    r.dataLength = 1000;
    FsaSetEnclosureMgtData(&r, page.data());
    EXPECT_EQ(FsaEnclosureMgt(h, &r), FSA_STS_ENCL_OPERATION_FAILED);
    for (uint8_t b : page)
        ASSERT_EQ(b, 0xEE);
    EXPECT_EQ(sentClasses(), (std::vector<std::pair<uint32_t, uint32_t>>{{12, kPageRead}, {2, 84}}));
}

TEST_F(EnclosureMgtTest, EnclosureStatusesBecomeLibraryStatuses)
{
    struct Case {
        int firmware;
        FSA_STATUS status;
    };
    const Case cases[] = {{0, FSA_STS_SUCCESS},
                          {16, FSA_STS_ENCL_NO_PROCESSOR},
                          {17, FSA_STS_ENCL_FAILED},
                          {18, FSA_STS_ENCL_BAD_COMMAND},
                          {19, FSA_STS_ENCL_BAD_SUBCOMMAND},
                          {20, FSA_STS_ENCL_BAD_PARAMETER},
                          {21, FSA_STS_ENCL_OPERATION_FAILED},
                          {22, FSA_STS_ENCL_NOT_SUPPORTED},
                          {23, FSA_STS_ENCL_OFFLINE},
                          {1, FSA_STS_ENCL_OPERATION_FAILED},
                          {99, FSA_STS_ENCL_OPERATION_FAILED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firmware);
        EXPECT_EQ(ECM_CheckError(c.firmware, 0), c.status);
        if (c.firmware == 0) {
            EXPECT_EQ(ECM_CheckError(0, 1), FSA_STS_SUCCESS);
            continue;
        }
        try {
            ECM_CheckError(c.firmware, 1);
            ADD_FAILURE() << "not thrown";
        } catch (FSA_STATUS thrown) {
            EXPECT_EQ(thrown, c.status);
        }
    }

    void* h = start(kSes2);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(sim().addFault(0, {"class12 0x10000", "status = 23"}));
    FSA_ENCLOSURE_MGT r = request(FSA_ECM_GET_EMP_COUNT, 0);
    EXPECT_EQ(FsaEnclosureMgt(h, &r), FSA_STS_ENCL_OFFLINE);
    ASSERT_TRUE(sim().addFault(0, {"class12 0x10000", "echo = 5"}));
    EXPECT_EQ(FsaEnclosureMgt(h, &r), FSA_STS_ENCL_OPERATION_FAILED);
}

TEST_F(EnclosureMgtTest, TransportLengthsAndParameters)
{
    void* h = start(kSes2);
    ASSERT_NE(h, nullptr);
    uint32_t seen[5] = {};
    sim().addEnclosureHandler(kPageRead, [&seen](ControllerState&, const EmRequest& q, EmReply& r) {
        std::memcpy(seen, q.param, sizeof seen);
        r.param[4] = 44;
        r.data.assign(q.inputSize, 0);
    });
    // Data of 1969 bytes or more never leaves.
    std::vector<uint8_t> data(2000, 1);
    EXPECT_EQ(ECM_SendReceiveFIB(h, kPageRead, nullptr, nullptr, nullptr, nullptr, nullptr, data.data(), 1969,
                                 nullptr, 0, 0),
              FSA_STS_CT_BAD_STATUS);
    EXPECT_THROW(ECM_SendReceiveFIB(h, kPageRead, nullptr, nullptr, nullptr, nullptr, nullptr, data.data(), 1969,
                                    nullptr, 0, 1),
                 FSA_STATUS);
    EXPECT_TRUE(sentClasses().empty());
    // Up to 432 bytes go in a 512-byte FIB; more in a large one, its size the
    // data rounded up to 8 plus the 32 request bytes.
    const std::pair<uint32_t, std::pair<unsigned, unsigned>> sizes[] = {
        {432, {464, 512}}, {433, {472, 2048}}, {1968, {2000, 2048}}};
    for (const auto& [length, expected] : sizes) {
        sim().clearRequests();
        uint32_t p4 = 9;
        uint32_t p2 = 3;
        EXPECT_EQ(ECM_SendReceiveFIB(h, kPageRead, nullptr, nullptr, &p2, nullptr, &p4, data.data(), length, nullptr,
                                     0, 0),
                  FSA_STS_SUCCESS);
        EXPECT_EQ(seen[2], 3u);
        EXPECT_EQ(seen[4], 9u);
        EXPECT_EQ(seen[0], 0u);
        EXPECT_EQ(p4, 44u);
        ASSERT_EQ(sim().requests().size(), 1u);
        EXPECT_EQ(sim().requests()[0].size, expected.first);
        EXPECT_EQ(sim().requests()[0].senderSize, expected.second);
    }
    EXPECT_EQ(ECM_SendReceiveFIB(nullptr, kPageRead, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0,
                                 nullptr, 0, 0),
              FSA_STS_INVALID_HANDLE);
}

}  // namespace
