// The drive metadata sector and candidate spares, drive cache policies, the
// PPI table and its missing drives, and the single-command container
// operations with the SSD cache pool, in-process against the simulator.
#include "FsaThrown.h"
#include "Command/Vyn/common/fa_bytes.h"
#include "Command/Vyn/common/fa_ctrops.h"
#include "Command/Vyn/common/fa_ctrrecords.h"
#include "Command/Vyn/common/fa_intern_ctr.h"
#include "CapturingSessionTest.h"
#include "platform/hostsim/fw/DriveMetadata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using vyntest::thrownBy;

namespace {

using vyn::hostsim::ControllerState;
using vyn::hostsim::Fault;

// The default option word 2: metadata sector (0x8), 16-byte PPI entries
// (0x200000).
constexpr uint32_t kOpt2 = 0x0EB797DC;
// Option word 3 with power management, the cache pool and its write cache.
constexpr char kPoolOptions[] = "adapter0.option_word3 = 0x83DC\n";

class DriveMetadataTest : public vyntest::CapturingSessionTest {
protected:
    static std::string option2(uint32_t word)
    {
        char text[64];
        std::snprintf(text, sizeof text, "adapter0.option_word2 = 0x%08X\n", word);
        return text;
    }
};

TEST_F(DriveMetadataTest, CandidateSpareInitialisesAnInvalidSector)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(CT_IsCandidateSpare(ctx, 0), 0);
    ASSERT_EQ(thrownBy([&] { CT_SetCandidateSpare(ctx, 0); }), FSA_STS_SUCCESS);
    const std::vector<uint8_t>& sector = state().metadataSectors.at(0);
    ASSERT_EQ(sector.size(), 384u);
    EXPECT_EQ(std::memcmp(sector.data(), "FsAaPiFuN:)\0", 12), 0);
    EXPECT_EQ(faGetLe32(sector.data() + 12), 1u);
    EXPECT_EQ(faGetLe32(sector.data() + 16), 4u);
    EXPECT_EQ(faGetLe32(sector.data() + 20), 1u);
    EXPECT_EQ(std::vector<uint8_t>(sector.begin() + 24, sector.end()), std::vector<uint8_t>(360, 0));
    EXPECT_EQ(CT_IsCandidateSpare(ctx, 0), 1);

    // Clearing on a drive whose sector holds anything else writes a fresh one.
    state().metadataSectors[1] = std::vector<uint8_t>(384, 0xAB);
    ASSERT_EQ(thrownBy([&] { CT_ClrCandidateSpare(ctx, 1); }), FSA_STS_SUCCESS);
    const std::vector<uint8_t>& cleared = state().metadataSectors.at(1);
    EXPECT_EQ(std::memcmp(cleared.data(), "FsAaPiFuN:)\0", 12), 0);
    EXPECT_EQ(faGetLe32(cleared.data() + 20), 0u);
    EXPECT_EQ(cleared[383], 0u);
    EXPECT_EQ(CT_IsCandidateSpare(ctx, 1), 0);

    // A drive the controller does not know: 12, and never from the query.
    EXPECT_EQ(thrownBy([&] { CT_SetCandidateSpare(ctx, 0x3F); }), 12u);
    EXPECT_EQ(CT_IsCandidateSpare(ctx, 0x3F), 0);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 208", "status = 350"}));
    FSAAPI_SW_METADATA out;
    EXPECT_EQ(thrownBy([&] { CT_ReadSWSector(ctx, 0, &out); }), FSA_STS_GENERAL_FAILURE);
}

TEST_F(DriveMetadataTest, WithoutTheSectorOptionNothingIsSent)
{
    FSAAPI_CONTEXT* ctx = open(option2(kOpt2 & ~0x8u));
    ASSERT_NE(ctx, nullptr);
    sim().clearRequests();
    EXPECT_EQ(thrownBy([&] { CT_SetCandidateSpare(ctx, 0); }), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(thrownBy([&] { CT_ClrCandidateSpare(ctx, 0); }), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(CT_IsCandidateSpare(ctx, 0), 0);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(DriveMetadataTest, DriveAndControllerCachePolicies)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    int value = -1;
    struct Row {
        uint32_t stored;
        FSA_STATUS status;
        int value;
    };
    for (const Row& row : {Row{0, 1, 0}, Row{1, 1, 1}, Row{2, 1, 1}, Row{3, 37, -1}}) {
        SCOPED_TRACE(row.stored);
        state().drivePolicy[2] = row.stored;
        value = -1;
        EXPECT_EQ(thrownBy([&] { CT_GetDeviceCachePolicy(ctx, 2, &value); }), row.status);
        EXPECT_EQ(value, row.value);
    }
    ASSERT_EQ(thrownBy([&] { CT_SetDeviceCachePolicy(ctx, 2, 5); }), FSA_STS_SUCCESS);
    EXPECT_EQ(state().drivePolicy[2], 1u);

    ASSERT_EQ(thrownBy([&] { CT_SetControllerDeviceCachePolicy(ctx, 1, 1); }), FSA_STS_SUCCESS);
    EXPECT_EQ(state().cachePolicy, 0x3u);
    ASSERT_EQ(thrownBy([&] { CT_SetControllerDeviceCachePolicy(ctx, 0, 1); }), FSA_STS_SUCCESS);
    EXPECT_EQ(state().cachePolicy, 0x1u);
    int first = -1;
    int second = -1;
    ASSERT_EQ(thrownBy([&] { CT_GetControllerDeviceCachePolicy(ctx, &first, &second); }), FSA_STS_SUCCESS);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);

    // The refusals 350 and 351: a failure from a setter, a bad status from a getter.
    struct Refusal {
        const char* on;
        std::function<void()> call;
        FSA_STATUS status;
    };
    const Refusal refusals[] = {
        {"ct 204", [&] { CT_GetDeviceCachePolicy(ctx, 2, &value); }, 37},
        {"ct 239", [&] { CT_GetControllerDeviceCachePolicy(ctx, &first, &second); }, 37},
        {"ct 203", [&] { CT_SetDeviceCachePolicy(ctx, 2, 1); }, 6},
        {"ct 238", [&] { CT_SetControllerDeviceCachePolicy(ctx, 1, 0); }, 6},
        {"ct 209", [&] { CT_SetCandidateSpare(ctx, 0); }, 6},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.on);
        for (const char* status : {"status = 350", "status = 351"}) {
            ASSERT_TRUE(sim().addFault(0, Fault{r.on, status}));
            EXPECT_EQ(thrownBy(r.call), r.status);
        }
        ASSERT_TRUE(sim().addFault(0, Fault{r.on, "status = 226"}));
        EXPECT_EQ(thrownBy(r.call), FSA_STS_NOT_SUPPORTED);
    }
}

// A scripted PPI table of missing and present drives.
void script(ControllerState& c, std::vector<std::vector<uint8_t>> entries)
{
    c.ppiScripted = true;
    c.ppiTable = std::move(entries);
    ++c.ppiClears;
}

uint32_t handleAt(const void* entries, uint32_t i)
{
    return faGetLe32(static_cast<const FSA_PPI_ENTRY*>(entries)[i].bytes + PPI_HANDLE);
}

TEST_F(DriveMetadataTest, EmptyPpiTableKeepsTheOldEntries)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(ctx->ppiCount, 0u);
    EXPECT_EQ(CT_GetMissingDiskList(ctx), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->missingCount, 0u);

    script(state(), {vyn::hostsim::ppiEntry(1, 2, 0, 1, 1), vyn::hostsim::ppiEntry(1, 3, 1, 1, 1)});
    ASSERT_EQ(CT_GetPPITable(ctx), FSA_STS_SUCCESS);
    ASSERT_EQ(ctx->ppiCount, 2u);
    const void* before = ctx->ppiTable;
    script(state(), {});
    EXPECT_EQ(CT_GetPPITable(ctx), FSA_STS_GENERAL_FAILURE);
    EXPECT_EQ(ctx->ppiCount, 2u);
    EXPECT_EQ(ctx->ppiTable, before);
    EXPECT_EQ(handleAt(ctx->ppiTable, 1), 1u);
}

TEST_F(DriveMetadataTest, PpiCountsAreBoundedByWhatTheControllerCanHold)
{
    // The entry count at byte 16 of the CT 194 reply data (payload byte 48).
    auto claim = [](uint32_t count) { return Fault{"ct 194", "poke = 48:4=" + std::to_string(count)}; };
    using vyn::hostsim::ppiEntry;
    struct Case {
        const char* name;
        bool dataFails;
    };
    for (const Case& c : {Case{"data request fails", true}, Case{"data request succeeds", false}}) {
        SCOPED_TRACE(c.name);
        FSAAPI_CONTEXT* ctx = open();
        ASSERT_NE(ctx, nullptr);
        script(state(), {ppiEntry(1, 2, 0, 1, 1), ppiEntry(1, 3, 1, 1, 1)});
        ASSERT_EQ(CT_GetPPITable(ctx), FSA_STS_SUCCESS);
        const void* before = ctx->ppiTable;
        // 0x9000000 entries are far beyond the controller's 256 partitions:
        // refused as a bad reply before anything is read or allocated.
        ASSERT_TRUE(sim().addFault(0, claim(0x9000000)));
        if (c.dataFails) {
            ASSERT_TRUE(sim().addFault(0, Fault{"ct 195", "status = 3"}));
        }
        sim().clearRequests();
        EXPECT_EQ(CT_GetPPITable(ctx), FSA_STS_GENERAL_FAILURE);
        EXPECT_EQ(sent(500, 195), 0u);
        EXPECT_EQ(ctx->ppiCount, 2u);
        EXPECT_EQ(ctx->ppiTable, before);
        EXPECT_EQ(handleAt(ctx->ppiTable, 1), 1u);
    }

    // A count within the limit keeps only the entries the transfer carried.
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    std::vector<std::vector<uint8_t>> forty;
    for (uint32_t i = 0; i < 40; ++i)
        forty.push_back(ppiEntry(1, i, i, 1, 1));
    script(state(), forty);
    ASSERT_TRUE(sim().addFault(0, claim(100)));
    ASSERT_EQ(CT_GetPPITable(ctx), FSA_STS_SUCCESS);
    EXPECT_EQ(ctx->ppiCount, 40u);
    EXPECT_EQ(handleAt(ctx->ppiTable, 39), 39u);
}

TEST_F(DriveMetadataTest, MissingDrivesAreFilteredAndSorted)
{
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide);
        FSAAPI_CONTEXT* ctx = open(option2(wide ? kOpt2 : kOpt2 & ~0x200000u));
        ASSERT_NE(ctx, nullptr);
        constexpr uint8_t kMissing1 = 0x81;
        constexpr uint8_t kMissing3 = 0x83;
        using vyn::hostsim::ppiEntry;
        script(state(), {
                            ppiEntry(7, 1, 12, 1, kMissing1),
                            ppiEntry(7, 2, 0, 1, kMissing1),       // drive 0:0 is present again
                            ppiEntry(7, 3, 10, 1, kMissing3),
                            ppiEntry(7, 4, 0xFFFF, 1, kMissing1),  // no drive
                            ppiEntry(7, 5, 14, 1, 0x82),           // another kind: skipped
                            ppiEntry(7, 6, 10, 1, kMissing1),      // a repeat
                            ppiEntry(7, 7, 11, 1, kMissing1),
                            ppiEntry(7, 8, 2, 1, 0x01),            // not missing
                        });
        ASSERT_EQ(CT_GetMissingDiskList(ctx), FSA_STS_SUCCESS);
        ASSERT_EQ(ctx->ppiCount, 8u);
        EXPECT_EQ(handleAt(ctx->ppiTable, 3), 0xFFFFu);
        EXPECT_EQ(static_cast<const FSA_PPI_ENTRY*>(ctx->ppiTable)[4].bytes[PPI_FLAGS], 0x82u);
        EXPECT_EQ(faGetLe32(static_cast<const FSA_PPI_ENTRY*>(ctx->ppiTable)[6].bytes + 4), 7u);
        ASSERT_EQ(ctx->missingCount, 3u);
        EXPECT_EQ(handleAt(ctx->missingDrives, 0), 10u);
        EXPECT_EQ(handleAt(ctx->missingDrives, 1), 11u);
        EXPECT_EQ(handleAt(ctx->missingDrives, 2), 12u);
    }
}

TEST_F(DriveMetadataTest, AddressOrderHoldsForHandlesFarApart)
{
    FSA_PPI_ENTRY low = {};
    FSA_PPI_ENTRY high = {};
    faPutLe32(low.bytes + PPI_HANDLE, 1);
    faPutLe32(high.bytes + PPI_HANDLE, 0x90000000u);
    EXPECT_LT(compareAddresses(&low, &high), 0);
    EXPECT_GT(compareAddresses(&high, &low), 0);
    EXPECT_EQ(compareAddresses(&low, &low), 0);
}

TEST_F(DriveMetadataTest, CachePoolRoutinesNeedTheirOptions)
{
    FSAAPI_CONTEXT* ctx = open();
    ASSERT_NE(ctx, nullptr);
    uint32_t handles[2] = {6, 7};
    uint32_t* list = handles;
    uint32_t n = 2;
    PM_CONFIG_DATA_S pm = {};
    sim().clearRequests();
    EXPECT_EQ(CT_AddDriveToCachePool(ctx, &list, &n), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(CT_RemoveDriveFromCachePool(ctx, &list, &n), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(CT_ClearOrvexaPool(ctx), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(CT_UpdateITPCacheSettings(ctx, 0, 1), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(CT_UpdateOrvexaWriteCacheSettings(ctx, 0, 1, 0), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(CT_HasDirtyData(ctx), FSA_STS_NOT_SUPPORTED);
    EXPECT_EQ(CT_SetPowerManagement(ctx, 0, &pm), FSA_STS_NOT_SUPPORTED);
    EXPECT_TRUE(sim().requests().empty());
}

TEST_F(DriveMetadataTest, CachePoolRequestsAndStatuses)
{
    FSAAPI_CONTEXT* ctx = open(kPoolOptions);
    ASSERT_NE(ctx, nullptr);
    uint32_t handles[2] = {6, 7};
    uint32_t* list = handles;
    uint32_t n = 2;
    ASSERT_EQ(CT_AddDriveToCachePool(ctx, &list, &n), FSA_STS_SUCCESS);
    EXPECT_EQ(state().cachePool, (std::vector<uint32_t>{6, 7}));
    ASSERT_EQ(CT_ClearOrvexaPool(ctx), FSA_STS_SUCCESS);
    EXPECT_TRUE(state().cachePool.empty());
    const auto pool = captured(254);
    ASSERT_EQ(pool.size(), 2u);
    EXPECT_EQ(pool[0].param[0], 1u);
    EXPECT_EQ(pool[1].param[0], 2u);
    ASSERT_GE(pool[1].input.size(), 1032u);
    EXPECT_EQ(faGetLe32(pool[1].input.data() + 4), 0u);
    EXPECT_EQ(faGetLe32(pool[0].input.data() + 4), 2u);
    EXPECT_EQ(faGetLe32(pool[0].input.data() + 12), 7u);

    // More drives than the list holds are refused before anything is sent.
    std::vector<uint32_t> many(257, 6);
    uint32_t* manyList = many.data();
    uint32_t manyCount = 257;
    state().captured.clear();
    EXPECT_EQ(CT_AddDriveToCachePool(ctx, &manyList, &manyCount), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(CT_RemoveDriveFromCachePool(ctx, &manyList, &manyCount), FSA_STS_BAD_PARAMETER);
    EXPECT_TRUE(captured(254).empty());

    struct Mapping {
        const char* status;
        std::function<FSA_STATUS()> call;
        FSA_STATUS result;
    };
    const Mapping mappings[] = {
        {"status = 428", [&] { return CT_HasDirtyData(ctx); }, 639},
        {"status = 429", [&] { return CT_HasDirtyData(ctx); }, 640},
        {"status = 427", [&] { return CT_RemoveDriveFromCachePool(ctx, &list, &n); }, 638},
        {"status = 427", [&] { return CT_ClearOrvexaPool(ctx); }, 639},
        {"status = 422", [&] { return CT_ClearOrvexaPool(ctx); }, 630},
        {"status = 420", [&] { return CT_AddDriveToCachePool(ctx, &list, &n); }, 628},
        {"status = 410", [&] { return CT_UpdateITPCacheSettings(ctx, 0, 1); }, 624},
        {"status = 416", [&] { return CT_UpdateOrvexaWriteCacheSettings(ctx, 0, 2, 0); }, 634},
    };
    for (const Mapping& m : mappings) {
        SCOPED_TRACE(m.status);
        ASSERT_TRUE(sim().addFault(0, Fault{"ct 254", m.status}));
        EXPECT_EQ(m.call(), m.result);
    }

    state().captured.clear();
    for (uint32_t mode : {1u, 2u, 3u})
        EXPECT_EQ(CT_UpdateOrvexaWriteCacheSettings(ctx, 0, mode, 5), FSA_STS_SUCCESS);
    const auto modes = captured(254);
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0].param[0], 9u);
    EXPECT_EQ(modes[1].param[0], 8u);
    EXPECT_EQ(modes[2].param[0], 10u);
    EXPECT_EQ(modes[2].param[2], 5u);
}

TEST_F(DriveMetadataTest, SingleCommandOperations)
{
    FSAAPI_CONTEXT* ctx = open(kPoolOptions);
    ASSERT_NE(ctx, nullptr);
    PM_CONFIG_DATA_S pm = {};
    pm.bytes[0] = 0x5A;
    EXPECT_EQ(CT_SetPowerManagement(ctx, 0, &pm), FSA_STS_SUCCESS);
    EXPECT_EQ(state().pmRecords.at(0)[0], 0x5Au);
    EXPECT_EQ(CT_SetPowerManagement(ctx, 9, &pm), 11u);

    ASSERT_EQ(thrownBy([&] { CT_UseAutoFailover(ctx, 0); }), FSA_STS_SUCCESS);
    EXPECT_FALSE(state().autoFailover);
    uint32_t on = 1;
    ASSERT_EQ(thrownBy([&] { CT_GetAutoFailover(ctx, &on); }), FSA_STS_SUCCESS);
    EXPECT_EQ(on, 0u);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 168", "status = 0"}));
    EXPECT_EQ(thrownBy([&] { CT_UseAutoFailover(ctx, 1); }), 469u);

    SnapshotMap map = {};
    _FSA_BAD_STRIPE_ENTRY stripe = {};
    EXPECT_EQ(CT_GetSSMapInfo(ctx, 0, &map), FSA_STS_SUCCESS);
    EXPECT_EQ(CT_GetSSMapInfo(ctx, 9, &map), FSA_STS_BAD_PARAMETER);
    EXPECT_EQ(CT_GetBadStripeInfo(ctx, 0, &stripe), FSA_STS_SUCCESS);
    EXPECT_EQ(CT_GetBadStripeInfo(ctx, 9, &stripe), FSA_STS_BAD_PARAMETER);
    ASSERT_TRUE(sim().addFault(0, Fault{"ct 220", "status = 378"}));
    EXPECT_EQ(CT_GetSSMapInfo(ctx, 0, &map), 175u);
    EXPECT_EQ(CT_ClearControllerNvsRam(ctx), FSA_STS_SUCCESS);
}

}  // namespace
