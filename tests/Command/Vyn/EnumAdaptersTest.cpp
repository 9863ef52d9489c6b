#include "Command/Vyn/common/fa_enum.h"
#include "platform/hostsim/support/SimulatorTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Call {
    FSA_STATUS status;
    bool hasRecord;
    std::wstring name;
    _tagFSA_ADAPTER_ENUM_INFO record;
};

struct Collector {
    std::vector<Call> calls;
    FSA_STATUS answer = 1;
};

FSA_STATUS collect(FSA_STATUS status, _tagFSA_ADAPTER_ENUM_INFO* info, void* context)
{
    Collector* c = static_cast<Collector*>(context);
    Call call{status, info != nullptr, L"", {}};
    if (info != nullptr) {
        call.record = *info;
        call.name = info->adapterName;
    }
    c->calls.push_back(call);
    return c->answer;
}

uint32_t recordWord(const _tagFSA_ADAPTER_ENUM_INFO& info, size_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(&info) + offset, 4);
    return v;
}

class EnumAdaptersTest : public vyntest::SimulatorTest {};

TEST_F(EnumAdaptersTest, ControllersAtZeroAndTwoThenTheEnd)
{
    startFixture("two-at-0-and-2.conf");
    Collector c;
    EXPECT_EQ(FsaEnumAdaptersA(nullptr, "", &c, collect), 1u);
    ASSERT_EQ(c.calls.size(), 3u);
    EXPECT_EQ(c.calls[0].status, 1u);
    EXPECT_EQ(c.calls[0].name, L"ulb0");
    EXPECT_EQ(c.calls[1].status, 1u);
    EXPECT_EQ(c.calls[1].name, L"ulb2");
    EXPECT_EQ(c.calls[1].record.maxPorts, 8u);
    EXPECT_EQ(c.calls[2].status, 4u);
    EXPECT_FALSE(c.calls[2].hasRecord);
}

TEST_F(EnumAdaptersTest, ACallbackRefusalStopsAtOnce)
{
    startFixture("two-at-0-and-2.conf");
    Collector c;
    c.answer = 0;
    EXPECT_EQ(FsaEnumAdaptersW(nullptr, nullptr, &c, collect), 1u);
    ASSERT_EQ(c.calls.size(), 1u);
    EXPECT_EQ(c.calls[0].name, L"ulb0");
}

TEST_F(EnumAdaptersTest, NoCallbackIsABadParameter)
{
    startFixture("two-at-0-and-2.conf");
    EXPECT_EQ(FsaEnumAdaptersA(nullptr, nullptr, nullptr, nullptr), 7u);
    EXPECT_EQ(FsaEnumAdaptersW(nullptr, nullptr, nullptr, nullptr), 7u);
}

TEST_F(EnumAdaptersTest, NoControllerGivesOneEndCallAndThree)
{
    startSimulator("hostsim.persist = 0\n");
    Collector c;
    EXPECT_EQ(FsaEnumAdaptersA(nullptr, nullptr, &c, collect), 3u);
    ASSERT_EQ(c.calls.size(), 1u);
    EXPECT_EQ(c.calls[0].status, 4u);
    EXPECT_FALSE(c.calls[0].hasRecord);
}

TEST_F(EnumAdaptersTest, RecordOfTheDefaultController)
{
    startSimulator("base = default\nhostsim.persist = 0\n");
    Collector c;
    ASSERT_EQ(FsaEnumAdaptersA(nullptr, "", &c, collect), 1u);
    ASSERT_EQ(c.calls.size(), 2u);
    const _tagFSA_ADAPTER_ENUM_INFO& r = c.calls[0].record;
    EXPECT_EQ(recordWord(r, 2208), 0x30315356u);
    EXPECT_EQ(recordWord(r, 2212), 0x32343030u);
    EXPECT_EQ(recordWord(r, 2236), 0x31304B50u);  // the long serial of the serial reply
    EXPECT_EQ(std::wstring(r.adapterTypeText), L"VYN SIMRAID-8E");
    EXPECT_EQ(r.firmwareMajor, 5u);
    EXPECT_EQ(r.firmwareMinor, 2u);
    EXPECT_EQ(r.maxPorts, 16u);
    EXPECT_EQ(r.adapterType, 22u);  // supplement present and platform code 0
    EXPECT_EQ(r.clustering, 0u);
    EXPECT_EQ(r.availability, 3u);
}

TEST_F(EnumAdaptersTest, SupplementTextIsCutToSeventeenCharacters)
{
    startSimulator("adapters = 1\nhostsim.persist = 0\nadapter0.type_text = \"ABCDEFGHIJKLMNOPQRST\"\n"
                   "adapter0.platform = 9\n");
    Collector c;
    ASSERT_EQ(FsaEnumAdaptersA(nullptr, nullptr, &c, collect), 1u);
    ASSERT_GE(c.calls.size(), 1u);
    EXPECT_EQ(std::wstring(c.calls[0].record.adapterTypeText), L"ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(c.calls[0].record.adapterType, 9u);  // the platform code as it is
}

TEST_F(EnumAdaptersTest, WithoutTheSerialReplyTheLongSerialIsUnknown)
{
    // option word 2 without bit 25
    startSimulator("adapters = 1\nhostsim.persist = 0\nadapter0.option_word2 = 0x0CB797DC\nadapter0.serial = 0x77,0x88\n");
    Collector c;
    ASSERT_EQ(FsaEnumAdaptersA(nullptr, nullptr, &c, collect), 1u);
    const _tagFSA_ADAPTER_ENUM_INFO& r = c.calls[0].record;
    EXPECT_EQ(r.pcbaSerialNumber, 0xFFFFFFFFu);
    EXPECT_EQ(r.serialNumber[0], 0x77u);
    EXPECT_EQ(r.serialNumber[1], 0x88u);
}

TEST(PopulateAdapterEnumTest, WithoutAdapterInformationTheFieldsAreCleared)
{
    _tagFSA_ADAPTER_ENUM_INFO r;
    std::memset(&r, 0x5A, sizeof r);
    PopulateOSIndependentPartAdapterEnum(&r, nullptr, nullptr);
    EXPECT_EQ(r.adapterType, 0u);
    EXPECT_EQ(r.adapterTypeText[17], L'\0');
    EXPECT_EQ(r.serialNumber[1], 0u);
    EXPECT_EQ(r.maxPorts, 0u);
    EXPECT_EQ(r.availability, 0x5A5A5A5Au);  // not the OS-independent part
}

TEST(PopulateAdapterEnumTest, SupplementCountsOnlyWithItsOptionBit)
{
    uint8_t ai[88] = {};
    uint8_t sup[480] = {};
    std::memcpy(sup, "TEXT", 4);
    sup[28] = 12;
    _tagFSA_ADAPTER_ENUM_INFO r;
    std::memset(&r, 0, sizeof r);
    PopulateOSIndependentPartAdapterEnum(&r, reinterpret_cast<_ADAPTER_INFO_STRUCT*>(ai),
                                         reinterpret_cast<_ADAPTER_SUPPLEMENT_INFO_STRUCT*>(sup));
    EXPECT_EQ(r.adapterType, 0u);
    EXPECT_EQ(r.maxPorts, 0u);
    EXPECT_EQ(r.adapterTypeText[0], L'\0');
    ai[82] = 0x01;  // option word bit 16
    PopulateOSIndependentPartAdapterEnum(&r, reinterpret_cast<_ADAPTER_INFO_STRUCT*>(ai),
                                         reinterpret_cast<_ADAPTER_SUPPLEMENT_INFO_STRUCT*>(sup));
    EXPECT_EQ(r.adapterType, 22u);
    EXPECT_EQ(r.maxPorts, 12u);
    EXPECT_EQ(std::wstring(r.adapterTypeText), L"TEXT");
}

}  // namespace
