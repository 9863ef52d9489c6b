// Controller statistics (CT 244): the statistics record in versions 3.0
// and 2.0, sized from the controller's containers and drives, its counters
// from the state; type 2 resets the counters; other types answer a short
// stand-in record (the type and the reset count).
#include "platform/hostsim/fw/Statistics.h"

#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/Configuration.h"
#include "platform/hostsim/fw/ContainerTransport.h"

namespace vyn::hostsim {

namespace {

constexpr uint32_t kNewSuccess = 218;
constexpr uint32_t kStatsRecord = 0;
constexpr uint32_t kStatsReset = 2;
constexpr size_t kStandInBytes = 256;

// Record header.
constexpr size_t kLdSection = 0;
constexpr size_t kSeconds = 8;
constexpr size_t kMinor = 12;
constexpr size_t kMajor = 14;
constexpr size_t kOutstanding = 16;  // 11 u64: 0, 1, 2, 4, ... 512 commands
constexpr size_t kHeaderV3 = 144;
constexpr size_t kConfigAgeV3 = 140;
constexpr size_t kHeaderV2 = 136;
constexpr size_t kConfigAgeV2 = 132;
constexpr size_t kSectionHeader = 24;

// Logical-drive entry.
constexpr size_t kEntryV3 = 1168;
constexpr size_t kEntryV2 = 1176;
constexpr size_t kInterCmd = 8;          // 17 u64
constexpr size_t kReadCompletion = 144;  // 15 u64
constexpr size_t kWriteCompletion = 264;
constexpr size_t kReadDisplacement = 384;  // 22 u64
constexpr size_t kWriteDisplacement = 560;
constexpr size_t kReadSize = 736;  // 12 u64
constexpr size_t kWriteSize = 832;
constexpr size_t kNumReads = 928;
constexpr size_t kNumWrites = 936;
constexpr size_t kBlocksRead = 944;
constexpr size_t kBlocksWritten = 952;
constexpr size_t kUncachedReads = 976;
constexpr size_t kDramCacheWrites = 1016;
constexpr size_t kSsdHitReads = 1040;
constexpr size_t kHitsOnceV3 = 1132;  // the second bucket of the 10-bucket histogram
constexpr size_t kHitsOnceV2 = 1112;  // the second bucket of the 17-bucket histogram

// Device entry: handle, sense key 4, medium errors, parity, link, aborted,
// SMART warnings.
constexpr size_t kDeviceEntry = 28;
constexpr size_t kMediumErrors = 8;

// The simulated I/O is 4 KiB (8 blocks), sequential, with one command
// outstanding and about 256 microseconds to complete.
constexpr uint64_t kBlocksPerIo = 8;
constexpr size_t kBucketOneCommand = 1;
constexpr size_t kBucket64Usec = 1;
constexpr size_t kBucket256Usec = 2;
constexpr size_t kBucketSequential = 0;
constexpr size_t kBucket8Blocks = 3;

void putLe64(uint8_t* p, uint64_t v)
{
    putLe32(p, static_cast<uint32_t>(v));
    putLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

void statistics(ControllerState& c, const CtRequest& q, CtReply& r)
{
    r.status = kNewSuccess;
    if (q.param[0] == kStatsReset) {
        ++c.statisticsResets;
        const uint32_t version = c.stats.version;
        c.stats = ControllerState::Statistics();
        c.stats.version = version;
        return;
    }
    if (q.param[0] == kStatsRecord) {
        r.data = statisticsRecord(c);
        return;
    }
    r.data.assign(kStandInBytes, 0);
    putLe32(r.data.data(), q.param[0]);
    putLe32(r.data.data() + 4, c.statisticsResets);
}

}  // namespace

std::vector<uint8_t> statisticsRecord(const ControllerState& c)
{
    const ControllerState::Statistics& s = c.stats;
    const bool v2 = s.version == 2;
    const size_t header = v2 ? kHeaderV2 : kHeaderV3;
    const size_t stride = v2 ? kEntryV2 : kEntryV3;

    const ConfigView view = configurationOf(c);
    std::vector<uint32_t> containers;
    for (const LogDevView& d : view.logDevs)
        if (d.parent == 0xFFFFFFFFu)
            containers.push_back(d.number);
    std::vector<uint32_t> devices;
    for (const DriveView& d : view.drives)
        if (!d.missing)
            devices.push_back(d.handle());

    const size_t ldSection = header;
    const size_t pdSection = ldSection + kSectionHeader + containers.size() * stride;
    std::vector<uint8_t> out(pdSection + kSectionHeader + devices.size() * kDeviceEntry, 0);
    uint8_t* p = out.data();

    putLe32(p + kLdSection, static_cast<uint32_t>(ldSection));
    putLe32(p + kSeconds, s.seconds);
    putLe16(p + kMinor, 0);
    putLe16(p + kMajor, static_cast<uint16_t>(v2 ? 2 : 3));
    putLe64(p + kOutstanding + 8 * kBucketOneCommand, (s.reads + s.writes) * containers.size());
    putLe32(p + (v2 ? kConfigAgeV2 : kConfigAgeV3), c.configAge);

    putLe32(p + ldSection, static_cast<uint32_t>(containers.size()));
    putLe32(p + ldSection + 4, static_cast<uint32_t>(stride));
    const uint64_t hits = s.ssdHits < s.reads ? s.ssdHits : s.reads;
    for (size_t i = 0; i < containers.size(); ++i) {
        uint8_t* e = p + ldSection + kSectionHeader + i * stride;
        putLe32(e, containers[i]);
        putLe64(e + kInterCmd + 8 * kBucket64Usec, s.reads + s.writes);
        putLe64(e + kReadCompletion + 8 * kBucket256Usec, s.reads);
        putLe64(e + kWriteCompletion + 8 * kBucket256Usec, s.writes);
        putLe64(e + kReadDisplacement + 8 * kBucketSequential, s.reads);
        putLe64(e + kWriteDisplacement + 8 * kBucketSequential, s.writes);
        putLe64(e + kReadSize + 8 * kBucket8Blocks, s.reads);
        putLe64(e + kWriteSize + 8 * kBucket8Blocks, s.writes);
        putLe64(e + kNumReads, s.reads);
        putLe64(e + kNumWrites, s.writes);
        putLe64(e + kBlocksRead, s.reads * kBlocksPerIo);
        putLe64(e + kBlocksWritten, s.writes * kBlocksPerIo);
        putLe64(e + kUncachedReads, s.reads - hits);
        putLe64(e + kDramCacheWrites, s.writes);
        putLe64(e + kSsdHitReads, hits);
        putLe32(e + (v2 ? kHitsOnceV2 : kHitsOnceV3), static_cast<uint32_t>(hits));
    }

    putLe32(p + pdSection, static_cast<uint32_t>(devices.size()));
    putLe32(p + pdSection + 4, static_cast<uint32_t>(kDeviceEntry));
    for (size_t i = 0; i < devices.size(); ++i) {
        uint8_t* e = p + pdSection + kSectionHeader + i * kDeviceEntry;
        putLe32(e, devices[i]);
        putLe32(e + kMediumErrors, s.mediumErrors);
    }
    return out;
}

void registerStatisticsHandlers(Dispatcher& dispatcher) { addCtHandler(dispatcher, 244, statistics); }

}  // namespace vyn::hostsim
