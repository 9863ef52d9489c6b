#include "platform/hostsim/state/Controller.h"

#include "platform/hostsim/Devices.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/fw/DeviceAttach.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>

namespace vyn::hostsim {

namespace {

constexpr size_t kPendingFibBytes = 512;

std::string hex32(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Hex digits up to the last non-zero byte.
std::string formatHexBytes(const std::vector<uint8_t>& bytes)
{
    size_t used = bytes.size();
    while (used > 0 && bytes[used - 1] == 0)
        --used;
    std::string out;
    char pair[3];
    for (size_t i = 0; i < used; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        out += pair;
    }
    return quoted(out);
}

// Log text keeps its line ends as "\n" on one description line.
std::string escapeNewlines(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        if (ch == '\n')
            out += "\\n";
        else
            out += ch;
    }
    return out;
}

std::string unescapeNewlines(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Settings of the spares assigned to the controller as a whole are kept
// under this owner; a container's number has at most three digits in a key.
constexpr uint32_t kMaxSavedContainer = 999;

std::string joinList(const std::vector<uint32_t>& values)
{
    std::string out;
    for (uint32_t v : values)
        out += (out.empty() ? "" : ",") + std::to_string(v);
    return out;
}

// The fields of numbered sections "<prefix>N.<field>" of a description, by N.
std::map<unsigned, std::map<std::string, std::string>> numberedSections(const Description& desc,
                                                                          const std::string& prefix)
{
    std::map<unsigned, std::map<std::string, std::string>> out;
    for (const auto& [key, value] : desc.values()) {
        if (key.compare(0, prefix.size(), prefix) != 0)
            continue;
        const size_t dot = key.find('.', prefix.size());
        if (dot == std::string::npos)
            continue;
        out[parseInteger(key.substr(prefix.size(), dot - prefix.size()))][key.substr(dot + 1)] = value;
    }
    return out;
}

}  // namespace

uint64_t ObjectLines::nextRevision()
{
    static std::atomic<uint64_t> last{0};
    return ++last;
}

namespace {

// A 64-bit hash of the saved values, eight bytes a step, each value with its
// length so that neighbours cannot run into each other.
class Digest {
public:
    void bytes(const void* data, size_t size)
    {
        word(size);
        const auto* p = static_cast<const uint8_t*>(data);
        for (; size >= 8; p += 8, size -= 8) {
            uint64_t v;
            std::memcpy(&v, p, 8);
            word(v);
        }
        uint64_t tail = 0;
        if (size > 0)
            std::memcpy(&tail, p, size);
        word(tail);
    }
    void word(uint64_t v)
    {
        hash_ = (hash_ ^ v) * 0x100000001B3ULL;
        hash_ ^= hash_ >> 29;
    }
    template <typename T> Digest& operator<<(const T& v)
    {
        if constexpr (std::is_same_v<T, std::string>)
            bytes(v.data(), v.size());
        else if constexpr (std::is_same_v<T, std::vector<uint8_t>>)
            bytes(v.data(), v.size());
        else if constexpr (std::is_same_v<T, RevisionValue>)
            word(uint64_t{v.major} | uint64_t{v.minor} << 8 | uint64_t{v.dash} << 16 | uint64_t{v.build} << 24 |
                 uint64_t{v.hasBuild} << 56);
        else
            word(static_cast<uint64_t>(v));
        return *this;
    }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 0xCBF29CE484222325ULL;
};

}  // namespace

// Follows toText value for value: a value saved there and left out here
// would change without being written (PersistenceTest changes every key
// of a state file and checks that the digest moves).
uint64_t ControllerState::savedDigest() const
{
    Digest d;
    d << index << typeText << oemId << platform << serial[0] << serial[1] << pcbaSerial << firmware << bios << boot
      << driverRevision << memory << pciBus << pciSlot;
    d << optionWord[0] << optionWord[1] << optionWord[2] << supplementVersion << ports << globalSpares
      << dedicatedSpares << sasPorts << driverCompatible << openErrno << codeVersionStatus << paused
      << pauseReleaseMs << pauseReleaseAtMs << alarm << alarmSoundTime << resetCount << battery << batteryValid
      << batteryStatus << nvramState << batteryState << batteryReconditions << batteryReplacements << newBatteryValue
      << copyback << statisticsResets << ppiClears << nvlogEntries << deadDriveVersion
      << deadDriveEntries << driveErrorEntries << driveErrorVersion << historyText.digest() << archiveText.digest() << archiveChunk << historyStart
      << ppiEntries << reconfigs << jbodDriver << maxContainers << accessibleContainers << partitions
      << legacyBusInfo << legacyDeviceProbe << multipacket << packetSize << containerRecord << heatSensor[0] << heatSensor[1]
      << heatSensor[2] << cachePolicy << poolMaxDrives << cachePool.size();
    for (uint32_t h : cachePool)
        d << h;
    d << propertiesMask << properties << propertiesReject.size();
    for (uint32_t v : propertiesReject)
        d << v;
    d << stats.version << stats.seconds << stats.reads << stats.writes << stats.ssdHits << stats.mediumErrors;
    d << autoFailover << verifyOn << verifyPriority << verifyTask << raid6Options << phys.size();
    for (const auto& [number, record] : phys)
        d << number << record;
    d << configAge << partitionRecords << objects.revision() << pendingAif.size();
    for (const std::vector<uint8_t>& fib : pendingAif)
        d << fib;
    d << faults.size();
    for (const ArmedFault& f : faults)
        d << f.number << f.trigger << f.argument << faultEffectText(f) << f.skip << f.times << f.seen << f.acted;
    d << containerSettings.size();
    for (const auto& [number, set] : containerSettings) {
        d << number << set.named << set.name << set.userFlags << set.locked << set.readOnly << set.delay
          << set.readCache << set.writeCache << set.buffered << set.snapshotOf << set.taskPriority
          << set.forceOnlineFlags << set.morphTask << set.morphSource << set.morphDestination << set.poolRead
          << set.poolWrite << set.poolPolicy << set.created << set.clearHost << set.rebuildDrive << set.rebuildTask
          << set.deadMembers.size();
        for (uint32_t m : set.deadMembers)
            d << m;
    }
    d << tasks.size();
    for (const auto& [id, task] : tasks)
        d << id << task.job << task.object << task.status << task.total << task.done << task.rate << task.specific[0]
          << task.specific[1] << task.atMs << task.finalUntilMs << task.finishCode;
    d << pciIds[0] << pciIds[1] << pciIds[2] << pciIds[3] << staged << flashRead[0] << flashRead[1] << flash.size();
    for (const auto& [id, image] : flash)
        d << id << image.digest;
    d << generation << clockMs;
    return d.value();
}

uint64_t BulkText::digest() const
{
    if (!hashed_) {
        uint64_t hash = 0xCBF29CE484222325ULL;
        for (char ch : text_) {
            hash ^= static_cast<uint8_t>(ch);
            hash *= 0x100000001B3ULL;
        }
        digest_ = hash;
        hashed_ = true;
    }
    return digest_;
}

uint64_t flashDigest(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 0xCBF29CE484222325ULL;
    for (uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::vector<uint8_t> parseHexBytes(const std::string& text, size_t size)
{
    std::vector<uint8_t> out(size, 0);
    for (size_t i = 0; i < size && 2 * i + 1 < text.size(); ++i) {
        const std::string pair = text.substr(2 * i, 2);
        char* end = nullptr;
        const unsigned long v = std::strtoul(pair.c_str(), &end, 16);
        if (end == nullptr || *end != '\0')
            break;
        out[i] = static_cast<uint8_t>(v);
    }
    return out;
}

ControllerState ControllerState::fromDescription(const Description& desc, unsigned index, std::string* error)
{
    const std::string p = "adapter" + std::to_string(index) + ".";
    auto get = [&](const char* key) { return desc.get(p + key); };
    ControllerState c;
    c.index = index;
    c.typeText = get("type_text");
    c.oemId = parseInteger(get("oem_id"));
    c.platform = parseInteger(get("platform"));
    const std::vector<uint32_t> serial = parseIntList(get("serial"));
    c.serial[0] = serial.empty() ? 0 : serial[0];
    c.serial[1] = serial.size() < 2 ? 0 : serial[1];
    c.pcbaSerial = parseInteger(get("pcba_serial"));
    c.firmware = parseRevision(get("firmware"));
    if (!c.firmware.hasBuild || desc.has(p + "firmware_build"))
        c.firmware.build = parseInteger(get("firmware_build"));
    c.firmware.hasBuild = true;
    c.bios = parseRevision(get("bios"));
    c.boot = parseRevision(get("boot"));
    c.driverRevision = parseRevision(get("driver_revision"));
    c.memory = parseInteger(get("memory"));
    c.pciBus = parseInteger(get("pci_bus"));
    c.pciSlot = parseInteger(get("pci_slot"));
    c.optionWord[0] = parseInteger(get("option_word1"));
    c.optionWord[1] = parseInteger(get("option_word2"));
    c.optionWord[2] = parseInteger(get("option_word3"));
    c.supplementVersion = parseInteger(get("supplement_version"));
    c.ports = parseInteger(get("ports"));
    c.sasPorts = parseInteger(get("sas_ports"));
    c.globalSpares = parseInteger(get("global_spares"));
    c.dedicatedSpares = parseInteger(get("dedicated_spares"));
    c.driverCompatible = get("driver_compatible") != "0";
    c.openErrno = static_cast<int>(parseInteger(get("open_errno")));
    c.codeVersionStatus = parseInteger(get("code_version_status"));
    c.paused = get("paused") == "1";
    c.pauseReleaseMs = parseInteger(get("pause_release_ms"));
    c.pauseReleaseAtMs = parseWide(get("pause_release_at_ms"));
    c.alarm = get("alarm");
    c.alarmSoundTime = parseInteger(get("alarm_sound_time"));
    c.resetCount = parseInteger(get("reset_count"));
    c.battery = get("battery");
    c.batteryValid = parseInteger(get("battery_valid"));
    c.batteryStatus = parseInteger(get("battery_status"));
    c.nvramState = parseInteger(get("nvram_state"));
    c.batteryState = parseInteger(get("battery_state"));
    c.batteryReconditions = parseInteger(get("battery_reconditions"));
    c.batteryReplacements = parseInteger(get("battery_replacements"));
    c.newBatteryValue = parseInteger(get("new_battery_value"));
    c.copyback = get("copyback") == "1";
    c.statisticsResets = parseInteger(get("statistics_resets"));
    c.ppiClears = parseInteger(get("ppi_clears"));
    c.nvlogEntries = parseInteger(get("nvlog_entries"));
    c.deadDriveVersion = parseInteger(get("dead_drive_version"));
    c.deadDriveEntries = parseInteger(get("dead_drive_entries"));
    c.driveErrorEntries = parseInteger(get("drive_error_entries"));
    c.driveErrorVersion = parseInteger(get("drive_error_version"));
    c.historyText = unescapeNewlines(get("log.history"));
    c.archiveText = unescapeNewlines(get("log.archive"));
    c.archiveChunk = parseInteger(get("log.archive_chunk"));
    c.historyStart = parseInteger(get("log.history_start"));
    c.ppiEntries = parseInteger(get("ppi_entries"));
    c.reconfigs = parseInteger(get("reconfigs"));
    c.jbodDriver = get("jbod_driver") == "1";
    c.maxContainers = parseInteger(get("max_containers"));
    c.accessibleContainers = parseInteger(get("accessible_containers"));
    c.partitions = parseInteger(get("partitions"));
    c.legacyBusInfo = get("bus_info") == "legacy";
    c.legacyDeviceProbe = get("device_probe") == "legacy";
    c.multipacket = parseInteger(get("multipacket"));
    c.packetSize = parseInteger(get("packet_size"));
    c.containerRecord = parseInteger(get("container_record"));
    {
        const std::vector<uint32_t> heat = parseIntList(get("heat_sensor"));
        for (size_t i = 0; i < 3; ++i)
            c.heatSensor[i] = i < heat.size() ? static_cast<int32_t>(heat[i]) : 0;
    }
    c.cachePolicy = parseInteger(get("cache_policy"));
    c.poolMaxDrives = parseInteger(get("pool_max_drives"));
    if (!get("cache_pool").empty())
        c.cachePool = parseIntList(get("cache_pool"));
    c.propertiesMask = parseInteger(get("properties_mask"));
    c.properties = parseHexBytes(get("properties_record"), 480);
    if (!get("properties_reject").empty())
        c.propertiesReject = parseIntList(get("properties_reject"));
    c.stats.version = parseInteger(get("log.stats_version"));
    c.stats.seconds = parseInteger(get("log.stats_seconds"));
    c.stats.reads = parseWide(get("log.stats_reads"));
    c.stats.writes = parseWide(get("log.stats_writes"));
    c.stats.ssdHits = parseWide(get("log.stats_ssd_hits"));
    c.stats.mediumErrors = parseInteger(get("log.stats_medium_errors"));
    c.autoFailover = get("auto_failover") != "0";
    c.verifyOn = get("verify") == "1";
    c.verifyPriority = parseInteger(get("verify_priority"));
    c.verifyTask = parseInteger(get("verify_task"));
    c.raid6Options = parseHexBytes(get("raid6_options"), 340);
    applyRaid6DriveCounts(c.raid6Options, get("raid6_drive_counts"), get("raid6_rs_drive_counts"));
    {
        const std::vector<uint32_t> ids = parseIntList(get("pci_ids"));
        for (size_t i = 0; i < 4; ++i)
            c.pciIds[i] = i < ids.size() ? ids[i] : 0;
        const std::vector<uint32_t> read = parseIntList(get("flash_read"));
        for (size_t i = 0; i < 2; ++i)
            c.flashRead[i] = i < read.size() ? read[i] : static_cast<uint32_t>(i + 1);
    }
    c.staged = parseRevision(get("staged"));
    c.staged.hasBuild = true;
    // Flash images, "flashI = <digest>": their bytes are the files beside the
    // state file, which the state store reads.
    const std::string fp = p + "flash";
    for (const auto& [key, value] : desc.values()) {
        if (key.compare(0, fp.size(), fp) != 0 || key.size() == fp.size() ||
            key.find_first_not_of("0123456789", fp.size()) != std::string::npos)
            continue;
        c.flash[parseInteger(key.substr(fp.size()))].digest = std::strtoull(value.c_str(), nullptr, 16);
    }
    c.configAge = parseInteger(get("config_age"));
    c.partitionRecords = parseInteger(get("partition_records"));
    for (const auto& [key, value] : desc.values()) {
        if (key.compare(0, p.size(), p) != 0)
            continue;
        const std::string rest = key.substr(p.size());
        const KeyDef* def = findKey(key);
        // A bus's own fields stay with its object.
        const bool busField = rest.compare(0, 3, "bus") == 0 && rest.find('.') != std::string::npos;
        if (def != nullptr && (def->type == KeyType::Object || busField))
            c.objects[rest] = value;
        if (def != nullptr && rest.compare(0, 3, "phy") == 0)
            c.phys[parseInteger(rest.substr(3))] = parseHexBytes(value, 64);
    }
    // A container's own keys ("[adapterN.ldK] image = ...") join its line as pairs.
    std::map<std::string, std::string> withImages;
    for (const auto& [key, line] : c.objects) {
        if (key.compare(0, 2, "ld") != 0 || key.find('.') != std::string::npos)
            continue;
        const std::string image = desc.get(p + key + ".image");
        if (!image.empty() && line.find(" image=") == std::string::npos)
            withImages[key] = line + " image=" + image;
    }
    for (const auto& [key, line] : withImages)
        c.objects.set(key, line);
    // Faults: [adapterN.faultF] with on, errno, skip, times (and the counters
    // of a state file).
    for (const auto& section : numberedSections(desc, p + "fault")) {
        // Named before the lambda: a structured binding cannot be captured.
        const unsigned number = section.first;
        const std::map<std::string, std::string>& fields = section.second;
        auto field = [&fields](const char* name) {
            auto it = fields.find(name);
            return it == fields.end() ? std::string() : it->second;
        };
        Fault f;
        f.on = field("on");
        // One effect per fault; errno when none is named.
        f.effect = "errno = " + field("errno");
        for (const char* effect : {"status", "sense", "truncate", "poke", "total"})
            if (fields.count(effect) != 0)
                f.effect = std::string(effect) + " = " + field(effect);
        f.skip = parseInteger(field("skip"));
        f.times = fields.count("times") ? parseInteger(field("times")) : 1;
        ArmedFault armed;
        if (!armFault(f, number, armed)) {
            if (error != nullptr && error->empty())
                *error = "fault " + std::to_string(number) + " of adapter " + std::to_string(index) +
                         " needs 'on' and one valid effect";
            continue;
        }
        armed.seen = parseInteger(field("seen"));
        armed.acted = parseInteger(field("acted"));
        c.faults.push_back(armed);
    }
    // Pending adapter-initiated FIBs, "pendingK = <1024 hex digits>".
    std::map<unsigned, std::vector<uint8_t>> pending;
    const std::string pp = p + "pending";
    for (const auto& [key, value] : desc.values()) {
        if (key.compare(0, pp.size(), pp) != 0 || value.size() != 2 * kPendingFibBytes)
            continue;
        std::vector<uint8_t> fib(kPendingFibBytes);
        bool ok = true;
        for (size_t i = 0; i < fib.size() && ok; ++i) {
            char* end = nullptr;
            const std::string digits = value.substr(2 * i, 2);
            fib[i] = static_cast<uint8_t>(std::strtoul(digits.c_str(), &end, 16));
            ok = end == digits.c_str() + 2;
        }
        if (ok)
            pending[parseInteger(key.substr(pp.size()))] = fib;
    }
    for (auto& entry : pending)
        c.pendingAif.push_back(std::move(entry.second));
    // Events a description seeds: [adapterN.eventE] notify = code, words = ...,
    // text = ...
    struct SeededEvent {
        uint32_t code = 0;
        std::vector<uint32_t> words;
        std::string text;
    };
    std::map<unsigned, SeededEvent> events;
    const std::string ep = p + "event";
    for (const auto& [key, value] : desc.values()) {
        if (key.compare(0, ep.size(), ep) != 0)
            continue;
        const size_t dot = key.find('.', ep.size());
        if (dot == std::string::npos)
            continue;
        auto& event = events[parseInteger(key.substr(ep.size(), dot - ep.size()))];
        if (key.compare(dot + 1, std::string::npos, "notify") == 0)
            event.code = parseInteger(value);
        else if (key.compare(dot + 1, std::string::npos, "text") == 0)
            event.text = value;
        else
            event.words = parseIntList(value);
    }
    for (const auto& [number, event] : events)
        c.pendingAif.push_back(notificationFib(event.code, event.words, event.text));
    c.generation = parseWide(desc.get("hostsim.generation"));
    c.clockMs = parseWide(desc.get("hostsim.clock_ms"));
    // What the controller changed on its containers: [adapterN.containerK].
    for (const auto& [number, fields] : numberedSections(desc, p + "container")) {
        ContainerSettings& set = c.containerSettings[number];
        for (const auto& [field, value] : fields) {
            if (field == "named") {
                set.named = value == "1";
            } else if (field == "label") {
                std::vector<uint8_t> bytes = parseHexBytes(value, value.size() / 2);
                while (!bytes.empty() && bytes.back() == 0)
                    bytes.pop_back();
                set.name.assign(bytes.begin(), bytes.end());
            } else if (field == "user_flags") {
                set.userFlags = static_cast<uint16_t>(parseInteger(value));
            } else if (field == "locked") {
                set.locked = value == "1";
            } else if (field == "read_only") {
                set.readOnly = value == "1";
            } else if (field == "delay") {
                set.delay = parseInteger(value);
            } else if (field == "read_cache") {
                set.readCache = static_cast<uint8_t>(parseInteger(value));
            } else if (field == "write_cache") {
                set.writeCache = static_cast<uint8_t>(parseInteger(value));
            } else if (field == "buffered") {
                set.buffered = parseInteger(value);
            } else if (field == "snapshot_of") {
                set.snapshotOf = parseInteger(value);
            } else if (field == "dead") {
                std::istringstream list(value);
                std::string item;
                while (std::getline(list, item, ','))
                    set.deadMembers.push_back(parseInteger(item));
            } else if (field == "task_priority") {
                set.taskPriority = parseInteger(value);
            } else if (field == "force_online_flags") {
                set.forceOnlineFlags = parseInteger(value);
            } else if (field == "morph_task") {
                set.morphTask = parseInteger(value);
            } else if (field == "morph_source") {
                set.morphSource = parseInteger(value);
            } else if (field == "morph_destination") {
                set.morphDestination = parseInteger(value);
            } else if (field == "pool_read") {
                set.poolRead = value == "1";
            } else if (field == "pool_write") {
                set.poolWrite = value == "1";
            } else if (field == "pool_policy") {
                set.poolPolicy = parseInteger(value);
            } else if (field == "created") {
                set.created = parseInteger(value);
            } else if (field == "clear_host") {
                set.clearHost = value;
            } else if (field == "rebuild_drive") {
                set.rebuildDrive = parseInteger(value);
            } else if (field == "rebuild_task") {
                set.rebuildTask = parseInteger(value);
            }
        }
    }
    // Tasks a description seeds: [adapterN.taskT] job, object, status, total,
    // done, rate, specific; a task started at the description's clock. State
    // files keep the status as report_status: the status of a state file
    // comes from earlier builds, which had running and suspended the other
    // way round.
    const bool stateFile = desc.has("hostsim.seed");
    for (const auto& [id, fields] : numberedSections(desc, p + "task")) {
        Task& task = c.tasks[id];
        task.atMs = c.clockMs;
        bool reported = false;
        for (const auto& [field, value] : fields) {
            if (field == "job") {
                task.job = parseInteger(value);
            } else if (field == "object") {
                task.object = parseInteger(value);
            } else if (field == "report_status") {
                task.status = parseInteger(value);
                reported = true;
            } else if (field == "status" && !reported) {
                task.status = parseInteger(value);
                if (stateFile && task.status == Task::kRunning)
                    task.status = Task::kSuspended;
                else if (stateFile && task.status == Task::kSuspended)
                    task.status = Task::kRunning;
            } else if (field == "total") {
                task.total = parseWide(value);
            } else if (field == "done") {
                task.done = parseWide(value);
            } else if (field == "rate") {
                task.rate = parseWide(value);
            } else if (field == "at_ms") {
                task.atMs = parseWide(value);
            } else if (field == "final_until_ms") {
                task.finalUntilMs = parseWide(value);
            } else if (field == "finish_code") {
                task.finishCode = parseInteger(value);
            } else if (field == "specific") {
                const std::vector<uint32_t> words = parseIntList(value);
                for (size_t k = 0; k < 2; ++k)
                    task.specific[k] = k < words.size() ? words[k] : 0;
            }
        }
    }
    return c;
}

// Every value written here also enters savedDigest().
std::string ControllerState::toText(uint64_t seed) const
{
    std::string t = "[adapter" + std::to_string(index) + "]\n";
    auto line = [&](const char* key, const std::string& value) { t += std::string(key) + " = " + value + "\n"; };
    line("type_text", quoted(typeText));
    line("oem_id", std::to_string(oemId));
    line("platform", std::to_string(platform));
    line("serial", hex32(serial[0]) + "," + hex32(serial[1]));
    line("pcba_serial", hex32(pcbaSerial));
    RevisionValue fw = firmware;
    fw.hasBuild = false;
    line("firmware", formatRevision(fw));
    line("firmware_build", std::to_string(firmware.build));
    line("bios", formatRevision(bios));
    line("boot", formatRevision(boot));
    line("driver_revision", formatRevision(driverRevision));
    line("memory", hex32(memory));
    line("pci_bus", std::to_string(pciBus));
    line("pci_slot", std::to_string(pciSlot));
    line("option_word1", hex32(optionWord[0]));
    line("option_word2", hex32(optionWord[1]));
    line("option_word3", hex32(optionWord[2]));
    line("supplement_version", std::to_string(supplementVersion));
    line("ports", std::to_string(ports));
    line("global_spares", std::to_string(globalSpares));
    line("dedicated_spares", std::to_string(dedicatedSpares));
    line("sas_ports", std::to_string(sasPorts));
    line("driver_compatible", driverCompatible ? "1" : "0");
    line("open_errno", std::to_string(openErrno));
    line("code_version_status", std::to_string(codeVersionStatus));
    line("paused", paused ? "1" : "0");
    line("pause_release_ms", std::to_string(pauseReleaseMs));
    line("pause_release_at_ms", std::to_string(pauseReleaseAtMs));
    line("alarm", alarm);
    line("alarm_sound_time", std::to_string(alarmSoundTime));
    line("reset_count", std::to_string(resetCount));
    line("battery", battery);
    line("battery_valid", hex32(batteryValid));
    line("battery_status", hex32(batteryStatus));
    line("nvram_state", std::to_string(nvramState));
    line("battery_state", std::to_string(batteryState));
    line("battery_reconditions", std::to_string(batteryReconditions));
    line("battery_replacements", std::to_string(batteryReplacements));
    line("new_battery_value", hex32(newBatteryValue));
    line("copyback", copyback ? "1" : "0");
    line("statistics_resets", std::to_string(statisticsResets));
    line("ppi_clears", std::to_string(ppiClears));
    line("nvlog_entries", std::to_string(nvlogEntries));
    line("dead_drive_version", std::to_string(deadDriveVersion));
    line("dead_drive_entries", std::to_string(deadDriveEntries));
    line("drive_error_entries", std::to_string(driveErrorEntries));
    line("drive_error_version", std::to_string(driveErrorVersion));
    line("log.history", quoted(escapeNewlines(historyText)));
    line("log.archive", quoted(escapeNewlines(archiveText)));
    line("log.archive_chunk", std::to_string(archiveChunk));
    line("log.history_start", std::to_string(historyStart));
    line("ppi_entries", std::to_string(ppiEntries));
    line("reconfigs", std::to_string(reconfigs));
    line("jbod_driver", jbodDriver ? "1" : "0");
    line("max_containers", std::to_string(maxContainers));
    line("accessible_containers", std::to_string(accessibleContainers));
    line("partitions", std::to_string(partitions));
    line("bus_info", legacyBusInfo ? "legacy" : "enhanced");
    line("device_probe", legacyDeviceProbe ? "legacy" : "enhanced");
    line("multipacket", std::to_string(multipacket));
    line("packet_size", std::to_string(packetSize));
    line("container_record", std::to_string(containerRecord));
    line("heat_sensor", std::to_string(static_cast<uint32_t>(heatSensor[0])) + "," +
                            std::to_string(static_cast<uint32_t>(heatSensor[1])) + "," +
                            std::to_string(static_cast<uint32_t>(heatSensor[2])));
    line("cache_policy", hex32(cachePolicy));
    line("pool_max_drives", std::to_string(poolMaxDrives));
    line("cache_pool", quoted(joinList(cachePool)));
    line("properties_mask", hex32(propertiesMask));
    line("properties_record", formatHexBytes(properties));
    line("properties_reject", quoted(joinList(propertiesReject)));
    line("log.stats_version", std::to_string(stats.version));
    line("log.stats_seconds", std::to_string(stats.seconds));
    line("log.stats_reads", std::to_string(stats.reads));
    line("log.stats_writes", std::to_string(stats.writes));
    line("log.stats_ssd_hits", std::to_string(stats.ssdHits));
    line("log.stats_medium_errors", std::to_string(stats.mediumErrors));
    line("auto_failover", autoFailover ? "1" : "0");
    line("verify", verifyOn ? "1" : "0");
    line("verify_priority", std::to_string(verifyPriority));
    line("verify_task", std::to_string(verifyTask));
    line("raid6_options", formatHexBytes(raid6Options));
    for (const auto& [number, record] : phys)
        line(("phy" + std::to_string(number)).c_str(), formatHexBytes(record));
    line("pci_ids", hex32(pciIds[0]) + "," + hex32(pciIds[1]) + "," + hex32(pciIds[2]) + "," + hex32(pciIds[3]));
    line("staged", formatRevision(staged));
    line("flash_read", std::to_string(flashRead[0]) + "," + std::to_string(flashRead[1]));
    for (const auto& [id, image] : flash) {
        char digest[20];
        std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(image.digest));
        line(("flash" + std::to_string(id)).c_str(), quoted(digest));
    }
    line("config_age", std::to_string(configAge));
    line("partition_records", std::to_string(partitionRecords));
    for (const auto& [key, value] : objects)
        line(key.c_str(), value);
    for (size_t k = 0; k < pendingAif.size(); ++k) {
        std::string hex;
        char two[3];
        for (uint8_t b : pendingAif[k]) {
            std::snprintf(two, sizeof two, "%02x", b);
            hex += two;
        }
        line(("pending" + std::to_string(k)).c_str(), hex);
    }
    for (const ArmedFault& f : faults) {
        const std::string k = "fault" + std::to_string(f.number) + ".";
        line((k + "on").c_str(), f.trigger + " " + f.argument);
        const std::string effect = faultEffectText(f);
        const size_t eq = effect.find(" = ");
        line((k + effect.substr(0, eq)).c_str(), effect.substr(eq + 3));
        line((k + "skip").c_str(), std::to_string(f.skip));
        line((k + "times").c_str(), std::to_string(f.times));
        line((k + "seen").c_str(), std::to_string(f.seen));
        line((k + "acted").c_str(), std::to_string(f.acted));
    }
    // Numbers no container can have are not kept.
    for (const auto& [number, set] : containerSettings) {
        if (number > kMaxSavedContainer)
            continue;
        const std::string k = "container" + std::to_string(number) + ".";
        line((k + "named").c_str(), set.named ? "1" : "0");
        line((k + "label").c_str(), formatHexBytes(std::vector<uint8_t>(set.name.begin(), set.name.end())));
        line((k + "user_flags").c_str(), hex32(set.userFlags));
        line((k + "locked").c_str(), set.locked ? "1" : "0");
        line((k + "read_only").c_str(), set.readOnly ? "1" : "0");
        line((k + "delay").c_str(), std::to_string(set.delay));
        line((k + "read_cache").c_str(), std::to_string(set.readCache));
        line((k + "write_cache").c_str(), std::to_string(set.writeCache));
        line((k + "buffered").c_str(), std::to_string(set.buffered));
        line((k + "snapshot_of").c_str(), hex32(set.snapshotOf));
        if (!set.deadMembers.empty()) {
            std::string dead;
            for (uint32_t m : set.deadMembers)
                dead += (dead.empty() ? "" : ",") + std::to_string(m);
            line((k + "dead").c_str(), dead);
        }
        line((k + "task_priority").c_str(), std::to_string(set.taskPriority));
        line((k + "force_online_flags").c_str(), hex32(set.forceOnlineFlags));
        line((k + "morph_task").c_str(), std::to_string(set.morphTask));
        line((k + "morph_source").c_str(), hex32(set.morphSource));
        line((k + "morph_destination").c_str(), hex32(set.morphDestination));
        line((k + "pool_read").c_str(), set.poolRead ? "1" : "0");
        line((k + "pool_write").c_str(), set.poolWrite ? "1" : "0");
        line((k + "pool_policy").c_str(), std::to_string(set.poolPolicy));
        line((k + "created").c_str(), std::to_string(set.created));
        // Written only while a zeroing or a rebuild needs them.
        if (!set.clearHost.empty())
            line((k + "clear_host").c_str(), set.clearHost);
        if (set.rebuildDrive != 0xFFFFFFFFu || set.rebuildTask != 0) {
            line((k + "rebuild_drive").c_str(), hex32(set.rebuildDrive));
            line((k + "rebuild_task").c_str(), std::to_string(set.rebuildTask));
        }
    }
    for (const auto& [id, task] : tasks) {
        const std::string k = "task" + std::to_string(id) + ".";
        line((k + "job").c_str(), std::to_string(task.job));
        line((k + "object").c_str(), hex32(task.object));
        line((k + "report_status").c_str(), std::to_string(task.status));
        line((k + "total").c_str(), std::to_string(task.total));
        line((k + "done").c_str(), std::to_string(task.done));
        line((k + "rate").c_str(), std::to_string(task.rate));
        line((k + "specific").c_str(), std::to_string(task.specific[0]) + "," + std::to_string(task.specific[1]));
        line((k + "at_ms").c_str(), std::to_string(task.atMs));
        line((k + "final_until_ms").c_str(), std::to_string(task.finalUntilMs));
        line((k + "finish_code").c_str(), std::to_string(task.finishCode));
    }
    t += "\n[hostsim]\n";
    char seedText[32];
    std::snprintf(seedText, sizeof seedText, "0x%016llX", static_cast<unsigned long long>(seed));
    line("seed", seedText);
    line("generation", std::to_string(generation));
    line("clock_ms", std::to_string(clockMs));
    return t;
}

}  // namespace vyn::hostsim
