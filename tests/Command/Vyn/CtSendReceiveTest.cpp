// The container command transport against the simulated firmware, with a test
// handler on an otherwise unused CT code so that each case picks its reply size.
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_lowlevel.h"
#include "Command/Vyn/common/fa_readonly.h"
#include "Command/Vyn/common/fa_scsi.h"
#include "Command/Vyn/common/fa_status.h"
#include "FsaSessionTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vyn::hostsim;

constexpr uint32_t kTestCt = 250;
constexpr const char* kOneController = "adapters = 1\nhostsim.persist = 0\n";

class CtSendReceiveTest : public vyntest::FsaSessionTest {
protected:
    FSAAPI_CONTEXT* start(const std::string& description = kOneController)
    {
        startSimulator(description);
        void* handle = openSession();
        return handle == nullptr ? nullptr : context(handle);
    }

    // The handler answers `total` pattern bytes, status `status`, result
    // words 11 and 22, and records what it was asked.
    void addHandler(size_t total, uint32_t status = 7)
    {
        sim().addCtHandler(kTestCt, [this, total, status](ControllerState&, const CtRequest& req, CtReply& r) {
            seen_ = req;
            seenInput_.assign(req.input, req.input + req.inputSize);
            r.status = status;
            r.result1 = 11;
            r.result2 = 22;
            r.data.resize(total);
            for (size_t i = 0; i < total; ++i)
                r.data[i] = pattern(i);
        });
    }
    static uint8_t pattern(size_t i) { return static_cast<uint8_t>(i * 13 + 5); }

    // The CT codes of the FIB 500 requests in the simulator's log.
    std::vector<uint32_t> ctCodes() const
    {
        std::vector<uint32_t> codes;
        for (const Request& r : sim().requests())
            if (r.isFib && r.hasClass)
                codes.push_back(r.ct);
        return codes;
    }

    CtRequest seen_;
    std::vector<uint8_t> seenInput_;

    vyn::hostsim::Simulator& sim() const { return const_cast<CtSendReceiveTest*>(this)->SimulatorTest::sim(); }
};

TEST_F(CtSendReceiveTest, RequestSizeFollowsTheInputLength)
{
    struct SizeCase {
        unsigned inLen;
        FSA_STATUS result;
        unsigned size;
        unsigned long ioctl;
        unsigned sender;
    };
    const SizeCase cases[] = {
        {0, 1, 464, 0x42008, 512},
        {432, 1, 464, 0x42008, 512},
        {433, 1, 472, 0x42168, 2048},
        {1968, 1, 2000, 0x42168, 2048},
        {1969, 37, 0, 0, 0},
    };
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(4);
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.inLen);
        sim().clearRequests();
        std::vector<uint8_t> in(c.inLen + 1);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<uint8_t>(i + 1);
        uint32_t p0 = 0x1234, p1 = 0x5678, p2 = 0x9ABC;
        uint8_t out[8] = {};
        EXPECT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, &p1, &p2, in.data(), c.inLen, out, sizeof out, 0), c.result);
        const std::vector<Request> log = sim().requests();
        if (c.result != 1) {
            EXPECT_TRUE(log.empty());
            continue;
        }
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].request, c.ioctl);
        EXPECT_EQ(log[0].size, c.size);
        EXPECT_EQ(log[0].senderSize, c.sender);
        EXPECT_EQ(log[0].command, 500u);
        // the parameters went out and the reply words came back
        EXPECT_EQ(seen_.param[0], 0x1234u);
        EXPECT_EQ(seen_.param[1], 0x5678u);
        EXPECT_EQ(seen_.param[2], 0x9ABCu);
        EXPECT_EQ(p0, 7u);
        EXPECT_EQ(p1, 11u);
        EXPECT_EQ(p2, 22u);
        EXPECT_EQ(seen_.capacity, sizeof out);
        ASSERT_GE(seenInput_.size(), c.inLen);
        for (unsigned i = 0; i < c.inLen; ++i)
            ASSERT_EQ(seenInput_[i], static_cast<uint8_t>(i + 1)) << i;
    }
}

TEST_F(CtSendReceiveTest, RepliesArriveWholeInBothForms)
{
    for (const char* form : {"201", "200"}) {
        for (size_t total : {size_t{0}, size_t{432}, size_t{433}, size_t{1000}}) {
            SCOPED_TRACE(std::string("form ") + form + ", total " + std::to_string(total));
            FSAAPI_CONTEXT* ctx = start(std::string(kOneController) + "adapter0.multipacket = " + form + "\n");
            ASSERT_NE(ctx, nullptr);
            addHandler(total);
            sim().clearRequests();
            std::vector<uint8_t> out(1200, 0xEE);
            uint32_t p0 = 0, p1 = 0xAAAA, p2 = 0xBBBB;
            ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, &p1, &p2, nullptr, 0, out.data(), 1200, 1), 1u);
            for (size_t i = 0; i < total; ++i)
                ASSERT_EQ(out[i], pattern(i)) << i;
            const std::vector<uint32_t> codes = ctCodes();
            if (total <= 448) {
                EXPECT_EQ(codes, std::vector<uint32_t>{kTestCt});
                EXPECT_EQ(p0, 7u);
                EXPECT_EQ(p1, 11u);
                continue;
            }
            // only p0 is written after a transfer: the handler's result word 2
            EXPECT_EQ(p0, 22u);
            EXPECT_EQ(p1, 0xAAAAu);
            EXPECT_EQ(p2, 0xBBBBu);
            if (std::string(form) == "201") {
                // packets 0, 1, 2 of 432, 432 and 136 bytes for 1000, then the close
                const std::vector<uint32_t> expected =
                    total == 1000 ? std::vector<uint32_t>{kTestCt, 83, 83, 83, 84}
                                  : std::vector<uint32_t>{kTestCt, 83, 83, 84};
                EXPECT_EQ(codes, expected);
            } else {
                // the first packet is in the reply; no closing command
                const std::vector<uint32_t> expected =
                    total == 1000 ? std::vector<uint32_t>{kTestCt, 83, 83} : std::vector<uint32_t>{kTestCt, 83};
                EXPECT_EQ(codes, expected);
            }
            EXPECT_TRUE(sim().controller(0).ctTransfers.empty());
            sim().uninstall();
        }
    }
}

TEST_F(CtSendReceiveTest, ATotalAboveTheBufferIsRefusedWithNothingCopied)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(1000);
    std::vector<uint8_t> out(999, 0xEE);
    uint32_t p0 = 0;
    EXPECT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, out.data(), 999, 0), 644u);
    for (uint8_t b : out)
        ASSERT_EQ(b, 0xEE);
    EXPECT_THROW(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, out.data(), 999, 1), FSA_STATUS);
    // a capacity without a buffer holds nothing
    EXPECT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, nullptr, 5000, 0), 644u);
}

TEST_F(CtSendReceiveTest, SingleRepliesCopyNoMoreThanBufferOrDataRoom)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(448);
    std::vector<uint8_t> small(10, 0xEE);
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, nullptr, nullptr, nullptr, nullptr, 0, small.data(), 4, 1), 1u);
    EXPECT_EQ(small[3], pattern(3));
    EXPECT_EQ(small[4], 0xEE);
    std::vector<uint8_t> big(600, 0xEE);
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, nullptr, nullptr, nullptr, nullptr, 0, big.data(), 600, 1), 1u);
    EXPECT_EQ(big[447], pattern(447));
    EXPECT_EQ(big[448], 0xEE);
}

TEST_F(CtSendReceiveTest, CompletionStatusOutsideATransferArrivesAsIs)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(4, 198);
    uint32_t p0 = 0;
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1), 1u);
    EXPECT_EQ(p0, 198u);
}

TEST_F(CtSendReceiveTest, OptionBit0x2000MarksTheCapacityWord)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(4);
    uint8_t out[16];
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, nullptr, nullptr, nullptr, nullptr, 0, out, 16, 1), 1u);
    EXPECT_FALSE(seen_.capacityFlag);
    FsaOptionWord2(ctx) |= 0x2000;
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, nullptr, nullptr, nullptr, nullptr, 0, out, 16, 1), 1u);
    EXPECT_TRUE(seen_.capacityFlag);
    EXPECT_EQ(seen_.capacity, 16u);
}

TEST_F(CtSendReceiveTest, AFailedDriverRequestIsTheResult)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(4);
    ASSERT_TRUE(sim().addFault(0, Fault{"ioctl 0x42008", "errno = 5"}));
    uint32_t p0 = 0;
    EXPECT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0), 479u);
}

TEST_F(CtSendReceiveTest, ATransferClosedWithAnotherStatusIsHandedBackWhole)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(1000);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 84", "status = 5"}));
    std::vector<uint8_t> out(1000, 0xEE);
    uint32_t p0 = 0, p1 = 0xAAAA, p2 = 0xBBBB;
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, &p1, &p2, nullptr, 0, out.data(), 1000, 1), 1u);
    EXPECT_EQ(p0, 5u);
    EXPECT_EQ(p1, 0u);
    EXPECT_EQ(p2, 0u);
    // the closing reply's data lie over the start of the buffer
    for (size_t i = 0; i < 448; ++i)
        ASSERT_EQ(out[i], 0u) << i;
    EXPECT_EQ(out[448], pattern(448));
}

TEST_F(CtSendReceiveTest, PacketSizeZeroFetchesOneBytePerPacket)
{
    FSAAPI_CONTEXT* ctx = start(std::string(kOneController) + "adapter0.multipacket = 200\n");
    ASSERT_NE(ctx, nullptr);
    addHandler(1000);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 250", "poke = 24:4=0"}));
    sim().clearRequests();
    std::vector<uint8_t> out(1000, 0xEE);
    uint32_t p0 = 0;
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, out.data(), 1000, 1), 1u);
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], pattern(i)) << i;
    const std::vector<uint32_t> codes = ctCodes();
    EXPECT_EQ(codes.size(), 1000u);  // the first byte in the reply, 999 follow-ups, no close
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 83u), 999);
    EXPECT_EQ(p0, 22u);
}

TEST_F(CtSendReceiveTest, CompletionInsideATransferBecomesTheNewSuccess)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(4, 198);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 250", "poke = 20:4=0x100"}));
    uint32_t p0 = 0;
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1), 1u);
    EXPECT_EQ(p0, 218u);
}

TEST_F(CtSendReceiveTest, BadTransportStatusAndWrongEcho)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(4);
    uint32_t p0 = 0;
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 250", "transport = 1"}));
    EXPECT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0), 37u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 250", "echo = 5"}));
    EXPECT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 0), 38u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 250", "echo = 5"}));
    try {
        CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, nullptr, 0, 1);
        ADD_FAILURE() << "no throw";
    } catch (FSA_STATUS status) {
        EXPECT_EQ(status, 38u);
    }
    // a follow-up packet that fails the transport
    addHandler(1000);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 83", "transport = 1"}));
    std::vector<uint8_t> out(1000);
    EXPECT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, out.data(), 1000, 0), 37u);
}

TEST_F(CtSendReceiveTest, AFailedFollowUpSendIsThrownWhateverTheCallerAsked)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(1000);
    ASSERT_TRUE(sim().addFault(0, Fault{"fib 500", "errno = 5", 1, 1}));
    std::vector<uint8_t> out(1000);
    uint32_t p0 = 0;
    try {
        CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, out.data(), 1000, 0);
        ADD_FAILURE() << "no throw";
    } catch (FSA_STATUS status) {
        EXPECT_EQ(status, 479u);
    }
}

TEST_F(CtSendReceiveTest, BusInformationFallsBackOnTheLegacyRecord)
{
    for (const char* kind : {"enhanced", "legacy"}) {
        SCOPED_TRACE(kind);
        FSAAPI_CONTEXT* ctx = start(std::string(kOneController) + "adapter0.bus_info = " + kind + "\n");
        ASSERT_NE(ctx, nullptr);
        EnhancedGetBusInfo_CSS info;
        ASSERT_EQ(SCSI_GetBusInfo(ctx, &info), 1u);
        EXPECT_EQ(faGetLe32(info.bytes + 4), 1u);
        const bool legacy = std::string(kind) == "legacy";
        EXPECT_EQ(faGetLe32(info.bytes + BUS_INFO_VERSION), legacy ? 0u : 4u);
        EXPECT_EQ(SCSI_GetBusInfoIsSupported(&info, 31), 1);
        EXPECT_EQ(SCSI_GetBusInfoIsSupported(&info, 36), legacy ? 0 : 1);
        sim().uninstall();
    }
    EXPECT_EQ(SCSI_GetBusInfo(nullptr, nullptr), 7u);
}

TEST_F(CtSendReceiveTest, ScsiClassRequestsOverTheirRoomAreNotSent)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    sim().clearRequests();
    std::vector<uint8_t> data(457);
    EXPECT_EQ(SCSI_sendfib(ctx, 0, 12, data.data(), 457, 0), 71u);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(SCSI_sendfib(ctx, 0, 12, data.data(), 456, 0), 1u);
    EXPECT_EQ(SCSI_sendfib(ctx, 0, 77, data.data(), 4, 0), 31u);
}

TEST_F(CtSendReceiveTest, AMultiPacketReplyInHandIsFetchedWithoutAFirstSend)
{
    FSAAPI_CONTEXT* ctx = start();
    ASSERT_NE(ctx, nullptr);
    addHandler(1000);
    // the first reply, received through a FIB of the caller's own
    alignas(8) uint8_t fib[512] = {};
    faPutLe32(fib, 33);
    faPutLe16(fib + 4, 500);
    fib[6] = 1;
    faPutLe16(fib + 8, 464);
    faPutLe32(fib + 32, 2);
    faPutLe32(fib + 36, kTestCt);
    faPutLe32(fib + 52, 0xFFFFFFFF);
    faPutLe32(fib + 60, 1000);
    ASSERT_EQ(FsaInternalSendReceiveFib(ctx, reinterpret_cast<_FIB*>(fib), 0, 512), 1u);
    ASSERT_EQ(faGetLe32(fib + 40), 201u);
    _CONTAINERREPONSE inHand;
    std::memcpy(&inHand, fib + 32, sizeof inHand);
    sim().clearRequests();
    std::vector<uint8_t> out(1000);
    uint32_t p0 = 0;
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, nullptr, 0, out.data(), 1000, 1, 2, &inHand), 1u);
    EXPECT_EQ(ctCodes(), (std::vector<uint32_t>{83, 83, 83, 84}));
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], pattern(i)) << i;
    EXPECT_EQ(p0, 22u);
}

TEST_F(CtSendReceiveTest, AnnouncedPacketsLargerThanFollowUpsNeverWritePastTheTotal)
{
    // A large first FIB lets the firmware announce 1000-byte packets, but a
    // follow-up carries 448 bytes: the last packet must still stop at the
    // announced total (the buffer here is exactly that long).
    FSAAPI_CONTEXT* ctx = start(std::string(kOneController) + "adapter0.multipacket = 200\nadapter0.packet_size = 1000\n");
    ASSERT_NE(ctx, nullptr);
    addHandler(2010);
    std::vector<uint8_t> in(433);
    std::vector<uint8_t> out(2010, 0xEE);
    uint32_t p0 = 0;
    ASSERT_EQ(CT_SendReceiveFIB(ctx, kTestCt, &p0, nullptr, nullptr, in.data(), 433, out.data(), 2010, 1), 1u);
    for (size_t i = 0; i < 1000; ++i)
        ASSERT_EQ(out[i], pattern(i)) << i;
    EXPECT_EQ(out[1000], pattern(1000));
    EXPECT_EQ(out[2000], pattern(2000));
    EXPECT_EQ(p0, 22u);
}

TEST(CtGetFsaCtrTypeTest, FirmwareTypesTranslate)
{
    const std::pair<uint32_t, uint32_t> table[] = {{0, 0},   {1, 3},   {2, 1},   {3, 2},   {4, 4},  {8, 21},
                                                   {15, 34}, {17, 40}, {18, 45}, {5, 22},  {6, 22}, {7, 22},
                                                   {16, 22}, {19, 22}, {0xFFFFFFFF, 22}};
    for (const auto& [firmware, library] : table)
        EXPECT_EQ(CT_GetFsaCtrType(firmware), library) << firmware;
}

TEST(GetExtendedTypeTest, FixedResults)
{
    const std::pair<uint32_t, uint32_t> table[] = {{2, 1},   {4, 4},   {7, 16},  {8, 21},  {9, 9},   {10, 13},
                                                   {11, 14}, {12, 15}, {13, 11}, {15, 34}, {17, 40}, {18, 45},
                                                   {0, 22},  {14, 22}, {16, 22}, {19, 22}, {20, 22}, {0xFFFFFFFF, 22}};
    const uint8_t record[1152] = {};
    for (const auto& [type, extended] : table)
        EXPECT_EQ(GetExtendedType(nullptr, 0, type, record), extended) << type;
}

}  // namespace
