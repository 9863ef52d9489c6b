#include "platform/hostsim/desc/Keys.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace vyn::hostsim {

const std::vector<KeyDef>& keyTable()
{
    static const std::vector<KeyDef> table = {
        // top
        {"base", KeyType::Text, nullptr, "start from a built-in description (only 'default')"},
        {"adapters", KeyType::Integer, nullptr, "controllers 0..N-1 with controller defaults", 64},
        // the driver
        {"driver.major", KeyType::Integer, "250", "character major of the adapter nodes", 4095},
        {"driver.sysfs", KeyType::Boolean, "1", "1: hosts under /sys; 0: under /proc/scsi"},
        {"driver.first_host", KeyType::Integer, "1", "SCSI host of adapter 0; lower hosts are another driver's",
         255},
        {"driver.raw_srb", KeyType::Boolean, "1", "0: the raw SCSI request ioctl is unknown (ENOTTY)"},
        // adapter identity
        {"adapter#.type_text", KeyType::Text, "VYN SIMRAID-8E", "adapter type text of the supplement information"},
        {"adapter#.oem_id", KeyType::Integer, "0", "OEM id of the adapter information"},
        {"adapter#.platform", KeyType::Integer, "0", "platform code of the adapter information"},
        {"adapter#.serial", KeyType::IntList, "0x30315356,0x32343030", "serial number words 0 and 1 (characters, in memory order, with the long-serial option)"},
        {"adapter#.pcba_serial", KeyType::Integer, "0x31304B50", "PCBA serial of the manufacturing serial reply"},
        {"adapter#.firmware", KeyType::Revision, "5.2-0", "firmware revision"},
        {"adapter#.firmware_build", KeyType::Integer, "20000", "firmware build number"},
        {"adapter#.bios", KeyType::Revision, "5.2-0 20000", "BIOS revision"},
        {"adapter#.boot", KeyType::Revision, "5.2-0 20000", "boot monitor revision"},
        {"adapter#.driver_revision", KeyType::Revision, "5.2-0 20000", "revision the driver answers to the revision check"},
        {"adapter#.memory", KeyType::Integer, "0x20000000", "controller memory in bytes"},
        {"adapter#.pci_bus", KeyType::Integer, "3", "PCI bus"},
        {"adapter#.pci_slot", KeyType::Integer, "0", "PCI slot"},
        // options
        {"adapter#.option_word1", KeyType::Integer, "0x000D0820", "adapter information option word"},
        {"adapter#.option_word2", KeyType::Integer, "0x0EB797DC", "supplement option word 2"},
        {"adapter#.option_word3", KeyType::Integer, "0x398", "supplement option word 3"},
        {"adapter#.supplement_version", KeyType::Integer, "11", "version word of the supplement information"},
        {"adapter#.ports", KeyType::Integer, "16", "phys (maximum number of ports)"},
        {"adapter#.global_spares", KeyType::Integer, "8", "most global hot spares (adapter information word 16)"},
        {"adapter#.dedicated_spares", KeyType::Integer, "8",
         "most dedicated hot spares per container (adapter information word 15)"},
        {"adapter#.sas_ports", KeyType::Integer, "2", "SAS ports"},
        // driver answers
        {"adapter#.driver_compatible", KeyType::Boolean, "1", "the revision check's compatibility answer"},
        {"adapter#.open_errno", KeyType::Integer, "0", "errno of every open of the node (0: opens succeed)"},
        {"adapter#.code_version_status", KeyType::Integer, "1", "the driver's code version verdict"},
        {"adapter#.paused", KeyType::Boolean, "0", "1 while the controller's I/O is paused (FIB 704)"},
        {"adapter#.pause_release_ms", KeyType::Integer, "0", "simulated delay from a release (CT 66) to the end of the pause"},
        {"adapter#.pause_release_at_ms", KeyType::Wide, "0", "state files: clock time a pending release takes effect"},
        {"adapter#.alarm", KeyType::Text, "on", "audible alarm: none, off, on or sounding"},
        {"adapter#.alarm_sound_time", KeyType::Integer, "0", "alarm sound time (CT 191)"},
        {"adapter#.reset_count", KeyType::Integer, "0", "controller and bus resets seen"},
        {"adapter#.battery", KeyType::Text, "full", "battery: none, legacy (24-byte page) or full (56-byte page)"},
        {"adapter#.battery_valid", KeyType::Integer, "0x1FF", "validity word of the battery page (V or W)"},
        {"adapter#.battery_status", KeyType::Integer, "0x80", "status bits of the full battery page"},
        {"adapter#.nvram_state", KeyType::Integer, "0", "NVRAM state of the NVRAM status reply (FIB 300 word 2)"},
        {"adapter#.battery_state", KeyType::Integer, "0", "battery state of the NVRAM status reply (FIB 300 word 3)"},
        {"adapter#.battery_reconditions", KeyType::Integer, "0", "battery recondition starts seen (FIB 300 command 10)"},
        {"adapter#.battery_replacements", KeyType::Integer, "0", "new-battery requests seen (class 3 sub-command 0xF0000)"},
        {"adapter#.new_battery_value", KeyType::Integer, "0", "value of the last new-battery request"},
        {"adapter#.copyback", KeyType::Boolean, "0", "copyback switched on (CT 216)"},
        {"adapter#.statistics_resets", KeyType::Integer, "0", "statistics counter resets seen (CT 244 type 2)"},
        {"adapter#.ppi_clears", KeyType::Integer, "0", "PPI table clears seen (CT 202)"},
        {"adapter#.nvlog_entries", KeyType::Integer, "0", "events stored in the NVRAM event log (FIB 900; at most 113)"},
        {"adapter#.dead_drive_version", KeyType::Integer, "1", "dead-drive log header version (class 21 sub-operation 7)"},
        {"adapter#.dead_drive_entries", KeyType::Integer, "0", "dead-drive log entries"},
        {"adapter#.drive_error_entries", KeyType::Integer, "0", "drive error table entries"},
        {"adapter#.drive_error_version", KeyType::Integer, "3",
         "drive error table version (1 to 3; 0: only the older table of class 21 sub-operation 3)"},
        {"adapter#.log.history", KeyType::Text, "", "controller history text (CT 189); \\n ends a line"},
        {"adapter#.log.archive", KeyType::Text, "", "monitor archive text (CT 231); \\n ends a line"},
        {"adapter#.log.archive_chunk", KeyType::Integer, "432", "bytes one archive or history entry read returns at most"},
        {"adapter#.log.history_start", KeyType::Integer, "0",
         "older history log (CT 189 without option word 1 bit 0x10000): first line of the current run"},
        {"adapter#.ppi_entries", KeyType::Integer, "0", "entries of the PPI table (CT 194, 195), one per drive"},
        {"adapter#.reconfigs", KeyType::Integer, "0", "configuration re-reads seen (CT 34)"},
        {"adapter#.pending#", KeyType::Text, nullptr, "state files: a pending adapter-initiated FIB in hex"},
        {"adapter#.event#.notify", KeyType::Integer, nullptr, "a pending notification: its code"},
        {"adapter#.event#.words", KeyType::IntList, nullptr, "a pending notification: its words from word 3"},
        {"adapter#.event#.text", KeyType::Text, nullptr,
         "a pending notification: a text after its words, NUL-terminated (adapter text, expanded-event texts)"},
        {"adapter#.jbod_driver", KeyType::Boolean, "0", "1: the host's flags text of this adapter says SUPPORTED_JBOD"},
        {"adapter#.max_containers", KeyType::Integer, "64", "CT 4 status: the maximum container count"},
        {"adapter#.accessible_containers", KeyType::Integer, "32", "CT 4 result word 1: containers the host can reach"},
        // The library counts every partition and every free region of a drive
        // against it, so the default leaves room for the drives of a large
        // controller; 256 is the limit the library's own refusal names.
        {"adapter#.partitions", KeyType::Integer, "256",
         "CT 4 result word 2: the partition limit (partitions and free regions)"},
        // container transport, heat sensor, cache policy, dynamic properties
        {"adapter#.bus_info", KeyType::Text, "enhanced", "enhanced: class 3 sub-command 12 answers; legacy: only 9"},
        {"adapter#.device_probe", KeyType::Text, "enhanced", "enhanced: class 3 sub-command 11 answers; legacy: only 5"},
        {"adapter#.multipacket", KeyType::Integer, "201", "long-reply form of the container transport: 201 or 200"},
        {"adapter#.packet_size", KeyType::Integer, "448", "packet size a status-200 transfer announces (0: one byte)"},
        {"adapter#.container_record", KeyType::Integer, "1152", "legacy container record: 1152 (CT 178) or 708 (only CT 5)"},
        {"adapter#.heat_sensor", KeyType::IntList, "0x28,0x5,0x37", "FIB 803: temperature, low and high thresholds"},
        {"adapter#.cache_policy", KeyType::Integer, "0", "CT 239 drive write-cache policy mask: 0x2 SATA, 0x1 SAS"},
        {"adapter#.pool_max_drives", KeyType::Integer, "0", "the most drives the SSD cache pool takes (supplement "
         "byte 164; 0: no pool)", 255},
        {"adapter#.cache_pool", KeyType::Text, "", "handles of the drives in the SSD cache pool (CT 254), by commas"},
        {"adapter#.properties_mask", KeyType::Integer, "0x010F0800", "class 25 reported properties (bit N = property N)"},
        {"adapter#.properties_record", KeyType::Text, "", "class 25 record as hex bytes (480 bytes, zero-padded)"},
        {"adapter#.properties_reject", KeyType::Text, "", "class 26: property codes whose changes are rejected (430)"},
        // controller statistics (CT 244 type 0); a reset (type 2) clears the counters
        {"adapter#.log.stats_version", KeyType::Integer, "3", "statistics record version: 3 (3.0) or 2 (2.0)", 3},
        {"adapter#.log.stats_seconds", KeyType::Integer, "0", "statistics: seconds since the last update"},
        {"adapter#.log.stats_reads", KeyType::Wide, "0", "statistics: reads counted on every logical drive"},
        {"adapter#.log.stats_writes", KeyType::Wide, "0", "statistics: writes counted on every logical drive"},
        {"adapter#.log.stats_ssd_hits", KeyType::Wide, "0", "statistics: SSD cache read hits of every logical drive"},
        {"adapter#.log.stats_medium_errors", KeyType::Integer, "0", "statistics: medium errors of every device"},
        // controller object: failover, verification, RAID-6 options, phys
        {"adapter#.auto_failover", KeyType::Boolean, "1", "automatic failover switched on (CT 169)"},
        {"adapter#.verify", KeyType::Boolean, "0", "background verification switched on (CT 175)"},
        {"adapter#.verify_priority", KeyType::Integer, "1", "verify priority 1-3, or the period in days (CT 206)"},
        {"adapter#.verify_task", KeyType::Integer, "0", "state files: the adapter verify task CT 173 started (0 none)"},
        {"adapter#.raid6_options", KeyType::Text,
         // Entry n of each table is for n drives: {n, parity, data}; the XOR
         // table covers 4 to 16 drives, the Reed-Solomon one 4 to 31.
         "00000000000000001000000020000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000004040400"
         "0505050006060C0007070E000808180009091B000A0A28000B0B2C000C0C3C000D0D41000E0E46000F0F5A001010700000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000402020005020300060204000702050008020600090207000A0208000B020900"
         "0C020A000D020B000E020C000F020D0010020E0011020F0012021000130211001402120015021300160214001702150018021600"
         "190217001A0218001B0219001C021A001D021B001E021C001F021D",
         "CT 219 RAID-6 options as hex bytes (340 bytes, zero-padded)"},
        {"adapter#.raid6_drive_counts", KeyType::Text, nullptr,
         "RAID-6 drive-count entries first:second:count,... (at most 32) over raid6_options; their number "
         "becomes the entry count"},
        {"adapter#.raid6_rs_drive_counts", KeyType::Text, nullptr,
         "Reed-Solomon drive-count entries, the same way; the entry count is the larger of the two lists"},
        {"adapter#.phy#", KeyType::Text, nullptr, "adapter phy record as hex bytes (64 bytes, zero-padded; FIB 612)"},
        // per-bus fields of a bus object
        {"adapter#.bus#.link_speed", KeyType::Integer, nullptr, "link speed of the bus (0: unset)", 65535},
        {"adapter#.bus#.state", KeyType::Integer, nullptr, "bus state byte (1 normal)", 255},
        {"adapter#.bus#.ports", KeyType::Integer, nullptr, "ports of the bus", 255},
        // flash
        {"adapter#.pci_ids", KeyType::IntList, "0x5653,0x0008,0x5653,0x0108",
         "PCI identifiers: vendor, device, sub-vendor, sub-device (flash operation 0x11)"},
        {"adapter#.staged", KeyType::Revision, "0.0-0 0", "staged firmware revision (supplement information byte 104)"},
        {"adapter#.flash_read", KeyType::IntList, "1,2",
         "state files: the flash image each read-back code (0x12078, 0x120C8) reads"},
        {"adapter#.flash#", KeyType::Text, nullptr,
         "state files: digest of the flash image kept in adapterN.flash.<id> (16 hex digits)"},
        // slices and partitions
        {"adapter#.config_age", KeyType::Integer, "1", "CT 11: the configuration age"},
        {"adapter#.partition_records", KeyType::Integer, "420",
         "newest partition-record form: 420, or 196 / 160 (the newer table commands are unknown)"},
        // objects of later areas, kept as written
        {"adapter#.bus#", KeyType::Object, nullptr, "bus shorthand"},
        {"adapter#.drive#", KeyType::Object, nullptr,
         "drive shorthand; device-record pairs: slot=E:S|none, version, type, removable, kind, cache, flags, "
         "flags2, smart=0|1, smart.control, smart.mrie, smart.interval, smart.reports, smart.errors, sas_address, "
         "spare=global|K[,...] (global pool and containers it stands by for), "
         "jbod=0|1 (peripheral qualifier of the device record), unsupported, fingerprint, flagged=0|1, "
         "inquiry36 and inquiry96 (hex bytes of INQUIRY bytes 36-55 and 96-127), "
         "ata_password (hex), ata_security=0|1 (ATA security feature set; default 1 for sata and ssd), "
         "blink=1, protected=1, mode1c (hex page 0x1C), "
         "selftest=running:<code>:<start ms>|done:<code>:<result>, "
         "smart.attrs=ID:current:worst:raw,... (SMART READ DATA of a SATA drive), pm (power-management state), "
         "identify.word80 and identify.word120 (IDENTIFY DEVICE words of a SATA drive), "
         "staged (hex: the image its DOWNLOAD MICROCODE or WRITE BUFFER chunks staged)"},
        {"adapter#.ld#", KeyType::Object, nullptr, "container shorthand"},
        {"adapter#.encl#", KeyType::Object, nullptr,
         "enclosure shorthand <ses2|safte> <bus:target[:lun]>; pairs slots (8), fans, psus, temps, alarm, nvsram, "
         "vendor, product, revision (inquiry texts), ident=<element type>:<index>,... (elements whose identify "
         "is on), alarm_state=on|off|silenced|sounding"},
        // faults
        {"adapter#.fault#.on", KeyType::Trigger, nullptr, "what the fault acts on"},
        {"adapter#.fault#.errno", KeyType::Integer, nullptr, "the call fails with this errno"},
        {"adapter#.fault#.status", KeyType::Integer, nullptr, "the operation's own status word"},
        {"adapter#.fault#.sense", KeyType::Text, nullptr, "CHECK CONDITION with key/asc/ascq"},
        {"adapter#.fault#.truncate", KeyType::Integer, nullptr, "reply data cut to this many bytes"},
        {"adapter#.fault#.poke", KeyType::Text, nullptr, "offset:width=value of one reply field overwritten"},
        {"adapter#.fault#.total", KeyType::Integer, nullptr, "the total a multi-packet reply announces, overwritten"},
        {"adapter#.fault#.skip", KeyType::Integer, nullptr, "matches to let pass first"},
        {"adapter#.fault#.times", KeyType::Integer, nullptr, "how often it acts (0: always)"},
        {"adapter#.fault#.seen", KeyType::Integer, nullptr, "state files: matches so far"},
        {"adapter#.fault#.acted", KeyType::Integer, nullptr, "state files: times it acted"},
        // controller discovery: container disks, the connector map, bus identifiers
        {"adapter#.ld#.image", KeyType::Text, nullptr,
         "raw bytes the container's /dev/sdX reads return (zeros beyond); a relative name lies beside the "
         "description file (under the host root for a description given as text)"},
        {"adapter#.bus#.id", KeyType::Integer, nullptr, "the controller's identifier byte on the bus (default: the bus index)",
         255},
        {"adapter#.lane#", KeyType::Object, nullptr,
         "connector-map lane entry <channel>:<device>; pairs lane, phy, sas_address (its first four bytes)"},
        {"adapter#.connector#", KeyType::Object, nullptr,
         "connector-map connector entry <id> <type> <name>; it leads to the lanes whose device number's low byte is "
         "the first character of its name"},
        // what the controller changed on a container, by container number
        {"adapter#.container#.named", KeyType::Boolean, nullptr, "state files: the container has a label (CT 131)"},
        {"adapter#.container#.label", KeyType::Text, nullptr, "state files: the label as hex bytes"},
        {"adapter#.container#.user_flags", KeyType::Integer, nullptr, "state files: user flags (CT 106)", 0xFFFF},
        {"adapter#.container#.locked", KeyType::Boolean, nullptr, "state files: locked (CT 50)"},
        {"adapter#.container#.read_only", KeyType::Boolean, nullptr, "state files: read-only (CT 51)"},
        {"adapter#.container#.delay", KeyType::Integer, nullptr, "state files: mirror delay (CT 25)"},
        {"adapter#.container#.read_cache", KeyType::Integer, nullptr, "state files: read cache setting", 255},
        {"adapter#.container#.write_cache", KeyType::Integer, nullptr, "state files: write cache setting", 255},
        {"adapter#.container#.buffered", KeyType::Integer, nullptr, "state files: cache buffers held (CT 112)"},
        {"adapter#.container#.snapshot_of", KeyType::Integer, nullptr,
         "state files: the container it is a snapshot of"},
        {"adapter#.container#.dead", KeyType::IntList, nullptr,
         "state files: member indexes whose partitions are dead (CT 72)"},
        {"adapter#.container#.task_priority", KeyType::Integer, nullptr,
         "state files: the task priority it was created with (CT 237)"},
        {"adapter#.container#.force_online_flags", KeyType::Integer, nullptr,
         "state files: the flags of its last forced online (CT 224)"},
        {"adapter#.container#.morph_task", KeyType::Integer, nullptr, "state files: its morph task (CT 109, 252)"},
        {"adapter#.container#.morph_source", KeyType::Integer, nullptr, "state files: the morph's source handle"},
        {"adapter#.container#.morph_destination", KeyType::Integer, nullptr,
         "state files: the morph's destination handle"},
        {"adapter#.container#.pool_read", KeyType::Boolean, nullptr, "state files: SSD read cache wanted (CT 254)"},
        {"adapter#.container#.pool_write", KeyType::Boolean, nullptr, "state files: SSD write cache wanted (CT 254)"},
        {"adapter#.container#.pool_policy", KeyType::Integer, nullptr, "state files: SSD write-cache policy 0-4", 4},
        {"adapter#.container#.created", KeyType::Integer, nullptr,
         "state files: creation time, seconds since 1970 by the simulated clock (0: none)"},
        {"adapter#.container#.clear_host", KeyType::Text, nullptr,
         "state files: how the host saw the container before its zeroing (CT 59) took it away"},
        {"adapter#.container#.rebuild_drive", KeyType::Integer, nullptr,
         "state files: the member drive whose data is being rebuilt"},
        {"adapter#.container#.rebuild_task", KeyType::Integer, nullptr, "state files: the rebuild's task"},
        // seeded tasks, by task id
        {"adapter#.task#.job", KeyType::Integer, nullptr,
         "a task: its job code (3 drive verify, 110 mirror rebuild, 400 adapter verify, ...)"},
        {"adapter#.task#.object", KeyType::Integer, nullptr,
         "a task: the drive handle or container number it works on"},
        {"adapter#.task#.status", KeyType::Integer, nullptr,
         "a task: report status (102 running, 101 suspended, 1 done, ...; default 102)"},
        {"adapter#.task#.report_status", KeyType::Integer, nullptr,
         "state files: its report status (a state file's status has 101 running, 102 suspended)"},
        {"adapter#.task#.total", KeyType::Wide, nullptr, "a task: units of work in all"},
        {"adapter#.task#.done", KeyType::Wide, nullptr, "a task: units done"},
        {"adapter#.task#.rate", KeyType::Wide, nullptr,
         "a task: units done per simulated second (default: total / 60)"},
        {"adapter#.task#.specific", KeyType::IntList, nullptr, "a task: its two task-specific values"},
        {"adapter#.task#.at_ms", KeyType::Wide, nullptr,
         "state files: clock time the done count was last brought up to date"},
        {"adapter#.task#.final_until_ms", KeyType::Wide, nullptr,
         "state files: a task a command ended reports its end until this clock time"},
        {"adapter#.task#.finish_code", KeyType::Integer, nullptr, "state files: the code a finish request gave"},
        // the simulator itself
        {"hostsim.persist", KeyType::Boolean, "1", "0 keeps everything in memory"},
        {"hostsim.seed", KeyType::Wide, nullptr, "state files: FNV-1a 64 of the description"},
        {"hostsim.generation", KeyType::Wide, nullptr, "state files: times written"},
        {"hostsim.clock_ms", KeyType::Wide, nullptr, "state files: simulated clock"},
    };
    return table;
}

namespace {

bool matchPattern(const char* pattern, const std::string& key)
{
    size_t k = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p == '#') {
            size_t start = k;
            while (k < key.size() && std::isdigit(static_cast<unsigned char>(key[k])))
                ++k;
            if (k == start || k - start > 3)
                return false;
        } else {
            if (k >= key.size() || key[k] != *p)
                return false;
            ++k;
        }
    }
    return k == key.size();
}

bool readUnsigned(const std::string& s, size_t& pos, uint64_t& out, uint64_t limit = 0xFFFFFFFFull)
{
    size_t start = pos;
    int base = 10;
    if (s.compare(pos, 2, "0x") == 0 || s.compare(pos, 2, "0X") == 0) {
        base = 16;
        pos += 2;
        start = pos;
    }
    uint64_t v = 0;
    while (pos < s.size()) {
        const int c = static_cast<unsigned char>(s[pos]);
        int d;
        if (std::isdigit(c))
            d = c - '0';
        else if (base == 16 && std::isxdigit(c))
            d = std::tolower(c) - 'a' + 10;
        else
            break;
        if (v > (limit - d) / base)
            return false;
        v = v * base + d;
        ++pos;
    }
    out = v;
    return pos > start;
}

bool isInteger(const std::string& s)
{
    size_t pos = 0;
    uint64_t v;
    return readUnsigned(s, pos, v) && pos == s.size();
}

}  // namespace

const KeyDef* findKey(const std::string& key)
{
    for (const KeyDef& def : keyTable())
        if (matchPattern(def.pattern, key))
            return &def;
    return nullptr;
}

bool checkValue(KeyType type, const std::string& value)
{
    switch (type) {
    case KeyType::Integer:
        return isInteger(value);
    case KeyType::Signed: {
        size_t pos = (!value.empty() && value[0] == '-') ? 1 : 0;
        uint64_t v;
        return readUnsigned(value, pos, v) && pos == value.size() && v <= 0x7FFFFFFFu;
    }
    case KeyType::Wide: {
        size_t pos = 0;
        uint64_t v;
        return readUnsigned(value, pos, v, ~0ull) && pos == value.size();
    }
    case KeyType::Boolean:
        return value == "0" || value == "1";
    case KeyType::Text:
        return true;
    case KeyType::Revision: {
        // major.minor-dash [build]
        size_t pos = 0;
        uint64_t v;
        if (!readUnsigned(value, pos, v) || v > 255 || pos >= value.size() || value[pos] != '.')
            return false;
        ++pos;
        if (!readUnsigned(value, pos, v) || v > 255 || pos >= value.size() || value[pos] != '-')
            return false;
        ++pos;
        if (!readUnsigned(value, pos, v) || v > 255)
            return false;
        if (pos == value.size())
            return true;
        if (value[pos] != ' ')
            return false;
        while (pos < value.size() && value[pos] == ' ')
            ++pos;
        return readUnsigned(value, pos, v) && pos == value.size();
    }
    case KeyType::IntList: {
        size_t start = 0;
        while (true) {
            size_t comma = value.find(',', start);
            std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            while (!item.empty() && item.front() == ' ')
                item.erase(0, 1);
            while (!item.empty() && item.back() == ' ')
                item.pop_back();
            if (!isInteger(item))
                return false;
            if (comma == std::string::npos)
                return true;
            start = comma + 1;
        }
    }
    case KeyType::Object:
        return !value.empty();
    case KeyType::Trigger: {
        if (value.compare(0, 6, "ioctl ") == 0)
            return isInteger(value.substr(6));
        if (value.compare(0, 5, "open ") == 0)
            return value.size() > 6 && value[5] == '/';
        // fib <command>, aif <request>, cdb <opcode>, ct <class-2 code>
        if (value.compare(0, 4, "fib ") == 0 || value.compare(0, 4, "aif ") == 0 || value.compare(0, 4, "cdb ") == 0)
            return isInteger(value.substr(4));
        if (value.compare(0, 3, "ct ") == 0)
            return isInteger(value.substr(3));
        // partition <table index>: fields of that partition record
        if (value.compare(0, 10, "partition ") == 0)
            return isInteger(value.substr(10));
        // class3 <sub-command>, class21 <sub-operation>
        if (value.compare(0, 7, "class3 ") == 0)
            return isInteger(value.substr(7));
        if (value.compare(0, 8, "class21 ") == 0)
            return isInteger(value.substr(8));
        // class12 <command word>: command << 16 | sub-command
        if (value.compare(0, 8, "class12 ") == 0)
            return isInteger(value.substr(8));
        return false;
    }
    }
    return false;
}

uint32_t parseInteger(const std::string& value)
{
    size_t pos = 0;
    uint64_t v = 0;
    readUnsigned(value, pos, v);
    return static_cast<uint32_t>(v);
}

uint64_t parseWide(const std::string& value)
{
    size_t pos = 0;
    uint64_t v = 0;
    readUnsigned(value, pos, v, ~0ull);
    return v;
}

int64_t parseSigned(const std::string& value)
{
    return std::strtoll(value.c_str(), nullptr, 10);
}

std::vector<uint32_t> parseIntList(const std::string& value)
{
    std::vector<uint32_t> out;
    size_t start = 0;
    while (true) {
        size_t comma = value.find(',', start);
        std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        while (!item.empty() && item.front() == ' ')
            item.erase(0, 1);
        out.push_back(parseInteger(item));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

RevisionValue parseRevision(const std::string& value)
{
    RevisionValue rev;
    size_t pos = 0;
    uint64_t v = 0;
    readUnsigned(value, pos, v);
    rev.major = static_cast<uint8_t>(v);
    ++pos;
    readUnsigned(value, pos, v);
    rev.minor = static_cast<uint8_t>(v);
    ++pos;
    readUnsigned(value, pos, v);
    rev.dash = static_cast<uint8_t>(v);
    while (pos < value.size() && value[pos] == ' ')
        ++pos;
    if (pos < value.size() && readUnsigned(value, pos, v)) {
        rev.build = static_cast<uint32_t>(v);
        rev.hasBuild = true;
    }
    return rev;
}

std::string formatRevision(const RevisionValue& rev)
{
    std::string s = std::to_string(rev.major) + "." + std::to_string(rev.minor) + "-" + std::to_string(rev.dash);
    if (rev.hasBuild)
        s += " " + std::to_string(rev.build);
    return s;
}

}  // namespace vyn::hostsim
