#ifndef VYN_PLATFORM_HOSTSIM_STATE_CONTROLLER_H
#define VYN_PLATFORM_HOSTSIM_STATE_CONTROLLER_H

#include "platform/hostsim/Faults.h"
#include "platform/hostsim/desc/Keys.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vyn::hostsim {

class Description;

// A controller's object lines ("drive3" -> "0:3 sas 146G"), with a revision
// number that every change takes anew. Numbers are unique within the process
// and a copy keeps its original's, so two lines with one revision hold the
// same text: views derived from the lines are kept under the revision and
// reused until the lines change (fw/Configuration.cpp). Lines are read as a
// map; they change only through the members below, each of which takes a new
// revision, and never through an iterator.
class ObjectLines {
public:
    using Map = std::map<std::string, std::string>;
    using key_type = Map::key_type;
    using mapped_type = Map::mapped_type;
    using value_type = Map::value_type;
    using size_type = Map::size_type;
    using const_iterator = Map::const_iterator;
    using iterator = Map::const_iterator;

    // One line as operator[] hands it out: reading it is reading the map,
    // assigning it is a change.
    class Line {
    public:
        Line& operator=(const std::string& value)
        {
            lines_.set(key_, value);
            return *this;
        }
        Line& operator+=(const std::string& more)
        {
            lines_.set(key_, lines_.map_.at(key_) + more);
            return *this;
        }
        operator const std::string&() const { return lines_.map_.at(key_); }
        const std::string& str() const { return lines_.map_.at(key_); }

    private:
        friend class ObjectLines;
        Line(ObjectLines& lines, std::string key) : lines_(lines), key_(std::move(key)) {}
        ObjectLines& lines_;
        std::string key_;
    };

    ObjectLines() : revision_(nextRevision()) {}
    ObjectLines(Map map) : map_(std::move(map)), revision_(nextRevision()) {}
    ObjectLines(const ObjectLines&) = default;
    ObjectLines(ObjectLines&& other) noexcept : map_(std::move(other.map_)), revision_(other.revision_)
    {
        other.map_.clear();
        other.revision_ = nextRevision();
    }
    ObjectLines& operator=(const ObjectLines&) = default;
    ObjectLines& operator=(ObjectLines&& other) noexcept
    {
        if (this != &other) {
            map_ = std::move(other.map_);
            revision_ = other.revision_;
            other.map_.clear();
            other.revision_ = nextRevision();
        }
        return *this;
    }
    ObjectLines& operator=(Map map)
    {
        map_ = std::move(map);
        revision_ = nextRevision();
        return *this;
    }

    uint64_t revision() const { return revision_; }
    const Map& map() const { return map_; }
    operator const Map&() const { return map_; }

    const_iterator begin() const { return map_.begin(); }
    const_iterator end() const { return map_.end(); }
    const_iterator find(const std::string& key) const { return map_.find(key); }
    size_type count(const std::string& key) const { return map_.count(key); }
    const std::string& at(const std::string& key) const { return map_.at(key); }
    size_type size() const { return map_.size(); }
    bool empty() const { return map_.empty(); }

    // As std::map's: a missing line is made empty.
    Line operator[](const std::string& key)
    {
        if (map_.count(key) == 0)
            set(key, std::string());
        return Line(*this, key);
    }
    void set(const std::string& key, const std::string& value)
    {
        map_[key] = value;
        revision_ = nextRevision();
    }
    size_type erase(const std::string& key)
    {
        revision_ = nextRevision();
        return map_.erase(key);
    }
    const_iterator erase(const_iterator it)
    {
        revision_ = nextRevision();
        return map_.erase(it);
    }
    void clear()
    {
        map_.clear();
        revision_ = nextRevision();
    }

    friend bool operator==(const ObjectLines& a, const ObjectLines& b)
    {
        return a.revision_ == b.revision_ || a.map_ == b.map_;
    }
    friend bool operator!=(const ObjectLines& a, const ObjectLines& b) { return !(a == b); }
    friend bool operator==(const ObjectLines& a, const Map& b) { return a.map_ == b; }
    friend bool operator==(const Map& a, const ObjectLines& b) { return a == b.map_; }
    friend bool operator!=(const ObjectLines& a, const Map& b) { return !(a == b); }
    friend bool operator!=(const Map& a, const ObjectLines& b) { return !(a == b); }

private:
    static uint64_t nextRevision();
    Map map_;
    uint64_t revision_;
};

// A bulk text of the state (the console and archive logs: megabytes on a long
// run) with the digest of its bytes kept until the text changes, so that the
// test whether a request changed the state costs the same however long the
// text is. It changes only through the members below, each of which drops
// the kept digest.
class BulkText {
public:
    BulkText() = default;
    explicit BulkText(std::string text) : text_(std::move(text)) {}
    BulkText& operator=(std::string text)
    {
        text_ = std::move(text);
        hashed_ = false;
        return *this;
    }
    BulkText& operator+=(const std::string& more)
    {
        text_ += more;
        hashed_ = false;
        return *this;
    }
    void clear()
    {
        text_.clear();
        hashed_ = false;
    }

    const std::string& str() const { return text_; }
    operator const std::string&() const { return text_; }
    size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    const char* data() const { return text_.data(); }
    const char* c_str() const { return text_.c_str(); }
    // FNV-1a 64 of the bytes, computed once per change.
    uint64_t digest() const;

    friend bool operator==(const BulkText& a, const std::string& b) { return a.text_ == b; }
    friend bool operator!=(const BulkText& a, const std::string& b) { return a.text_ != b; }

private:
    std::string text_;
    mutable uint64_t digest_ = 0;
    mutable bool hashed_ = false;
};

// The typed state of one simulated controller: every firmware reply is
// computed from it when asked.
struct ControllerState {
    unsigned index = 0;

    // Identity.
    std::string typeText;
    uint32_t oemId = 0;
    uint32_t platform = 0;
    uint32_t serial[2] = {0, 0};
    uint32_t pcbaSerial = 0;
    RevisionValue firmware;  // build in firmware.build
    RevisionValue bios;
    RevisionValue boot;
    RevisionValue driverRevision;
    uint32_t memory = 0;
    uint32_t pciBus = 0;
    uint32_t pciSlot = 0;

    // Options and limits.
    uint32_t optionWord[3] = {0, 0, 0};
    uint32_t supplementVersion = 0;
    uint32_t ports = 0;
    uint32_t sasPorts = 0;
    uint32_t globalSpares = 0;
    uint32_t dedicatedSpares = 0;
    uint32_t maxContainers = 0;
    uint32_t accessibleContainers = 0;
    uint32_t partitions = 0;

    // What the driver answers for this controller.
    bool driverCompatible = true;
    int openErrno = 0;
    uint32_t codeVersionStatus = 0;

    // Controller settings.
    bool paused = false;
    // A release (CT 66) un-pauses after this delay of simulated time; the
    // clock time it takes effect (0: none pending).
    uint32_t pauseReleaseMs = 0;
    uint64_t pauseReleaseAtMs = 0;
    // Alarm: "none", "off", "on" or "sounding"; its sound time.
    std::string alarm = "on";
    uint32_t alarmSoundTime = 0;
    uint32_t resetCount = 0;
    // Battery: "none", "legacy" (24-byte page) or "full" (56-byte page); the
    // page's validity word (V or W) and, for the full page, its status bits.
    std::string battery = "full";
    uint32_t batteryValid = 0;
    uint32_t batteryStatus = 0;
    // NVRAM and battery states as FIB 300 answers them, the recondition
    // starts it took and the value of the last new-battery request (class 3
    // sub-command 0xF0000) with the count of such requests.
    uint32_t nvramState = 0;
    uint32_t batteryState = 0;
    uint32_t batteryReconditions = 0;
    uint32_t batteryReplacements = 0;
    uint32_t newBatteryValue = 0;
    // The adapter number word the last new-battery request carried. Not
    // saved: tests read it.
    uint32_t newBatteryAdapterWord = 0;
    bool copyback = false;
    uint32_t statisticsResets = 0;
    uint32_t ppiClears = 0;
    // Logs: stored events (FIB 900, at most 113), the dead-drive log (header
    // version and entries) and the drive error table entries (class 21).
    uint32_t nvlogEntries = 0;
    uint32_t deadDriveVersion = 1;
    uint32_t deadDriveEntries = 0;
    uint32_t driveErrorEntries = 0;
    // Version of the drive error table (class 21 sub-operation 12); 0 is a
    // controller with the older table only.
    uint32_t driveErrorVersion = 3;
    // History (CT 189) and monitor-archive (CT 231) text, and the bytes one
    // archive entry read returns at most.
    BulkText historyText;
    BulkText archiveText;
    uint32_t archiveChunk = 432;
    // The older history log (a controller without option word 1 bit
    // 0x10000) serves the history text line by line (CT 189, 57); lines
    // from this one on are the current run's.
    uint32_t historyStart = 0;
    // PPI table (CT 194, 195): entries, one per drive, of bundle length 1.
    uint32_t ppiEntries = 0;
    uint32_t reconfigs = 0;
    bool jbodDriver = false;  // the driver reports JBOD support for this host

    // Adapter-initiated FIBs (512 bytes each) raised while no channel of
    // this controller was open, oldest first; the next channel opened, in
    // any process, takes them over.
    std::vector<std::vector<uint8_t>> pendingAif;
    // Adapter-initiated FIBs a handler raised during the current request; the
    // driver hands them to the open channels (or the pending list) after it.
    std::vector<std::vector<uint8_t>> raisedAif;
    // Containers whose disk the controller gave back to the host during the
    // current request (a zeroing that ended); the driver shows them after it.
    // Not saved.
    std::vector<uint32_t> reexposed;

    // Open large transfers (FIB 907): handle -> total length. Not saved: a
    // transfer lives within one process's run of chunks.
    std::map<uint32_t, uint32_t> transfers;
    uint32_t nextTransfer = 1;
    // The bus records: the enhanced record (class 3 sub-command 12), or only
    // the legacy one (sub-command 9) on an older controller.
    bool legacyBusInfo = false;
    // The device probe record: the enhanced one (sub-command 11), or only
    // the legacy one (sub-command 5) on an older controller.
    bool legacyDeviceProbe = false;
    // Container transport: the long-reply form (201 or 200) and the packet
    // size a status-200 transfer announces.
    uint32_t multipacket = 201;
    uint32_t packetSize = 448;
    // The legacy container record the controller knows: 1152 (CT 178) or,
    // on an older controller, only 708 (CT 5).
    uint32_t containerRecord = 1152;
    // Heat sensor: temperature, low and high thresholds (FIB 803).
    int32_t heatSensor[3] = {0, 0, 0};
    // Drive write-cache policy mask (CT 239): bit 1 SATA, bit 0 SAS.
    uint32_t cachePolicy = 0;
    // Dynamic adapter properties (class 25): the reported-property mask and
    // the 480-byte record (its mask word is the reported mask).
    uint32_t propertiesMask = 0;
    std::vector<uint8_t> properties;  // 480 bytes
    // Property codes whose changes the controller rejects (class 26).
    std::vector<uint32_t> propertiesReject;
    // The records class-26 requests carried, oldest first. Not saved: tests
    // read them.
    std::vector<std::vector<uint8_t>> propertiesSets;

    // Controller statistics (CT 244): the record's version (3 for 3.0, 2 for
    // 2.0), the seconds since its last update and the counters every
    // logical drive and device reports. A reset (type 2) clears the
    // counters. Collection itself is switched in the dynamic properties.
    struct Statistics {
        uint32_t version = 3;
        uint32_t seconds = 0;
        uint64_t reads = 0;
        uint64_t writes = 0;
        uint64_t ssdHits = 0;
        uint32_t mediumErrors = 0;
    };
    Statistics stats;

    // Long replies kept for their follow-up packets. Transfers live within
    // one library call, so they are kept in memory only.
    struct CtTransfer {
        uint32_t handle = 0;
        uint32_t form = 201;
        uint32_t packetSize = 432;
        std::vector<uint8_t> data;
    };
    std::vector<CtTransfer> ctTransfers;
    uint32_t nextCtTransfer = 0x100;

    // Controller object: automatic failover (CT 169), background
    // verification on (CT 175) and its priority or period in days (CT 206),
    // the 340-byte RAID-6 options record (CT 219), and adapter phy records
    // given by the description (FIB 612; others are generated).
    bool autoFailover = true;
    bool verifyOn = false;
    uint32_t verifyPriority = 1;
    // The adapter verify task CT 173 started (0: none).
    uint32_t verifyTask = 0;
    std::vector<uint8_t> raid6Options;
    std::map<uint32_t, std::vector<uint8_t>> phys;

    // Drive metadata, PPI table, pool and creation requests. Not saved:
    // they live within one process's run, and tests read and script them.
    // One 384-byte metadata sector per drive handle (zeros until written)
    // and each drive's own write-cache policy (CT 203, 204).
    std::map<uint32_t, std::vector<uint8_t>> metadataSectors;
    std::map<uint32_t, uint32_t> drivePolicy;
    // A scripted PPI table (16-byte entries) served instead of the generated
    // one while ppiScripted is set; its age is ppiClears.
    bool ppiScripted = false;
    std::vector<std::vector<uint8_t>> ppiTable;
    // Power-management records by container (CT 246), and the last pool
    // sub-command each container took (CT 254).
    std::map<uint32_t, std::vector<uint8_t>> pmRecords;
    std::map<uint32_t, uint32_t> poolCacheMode;
    // The SSD cache pool (CT 254): its drives by handle, saved with the
    // state, and the most drives it takes (supplement byte 164).
    std::vector<uint32_t> cachePool;
    uint32_t poolMaxDrives = 0;
    // The requests of the creation, pool and sector commands, oldest first.
    struct CtCapture {
        uint32_t code = 0;
        uint32_t param[3] = {0, 0, 0};
        std::vector<uint8_t> input;
    };
    std::vector<CtCapture> captured;

    // Injected faults with their counters.
    std::vector<ArmedFault> faults;

    // What the one-command container operations changed on a container, by
    // container number: its label (CT 131), user flags (CT 106), lock and
    // read-only flags (CT 50/49, 51/52), mirror delay (CT 25), read and
    // write cache settings (CT 111, partition bytes 137 and 136), whether the
    // cache holds its buffers (CT 112 word 88 of its entry, released by CT
    // 132), the snapshot it stands over (CT 104) and its dead members. Saved with the state as
    // [adapterN.containerK].
    struct ContainerSettings {
        bool named = false;
        std::string name;
        uint16_t userFlags = 0;
        bool locked = false;
        bool readOnly = false;
        uint32_t delay = 0;
        uint8_t readCache = 0;
        uint8_t writeCache = 0;
        uint32_t buffered = 0;
        uint32_t snapshotOf = 0xFFFFFFFFu;
        // Members whose partitions are dead (CT 72), by member index; a
        // restore (CT 120) or the container's destruction clears them.
        std::vector<uint32_t> deadMembers;
        // The task priority it was created with, the flags of its last forced
        // online (CT 224), and its running morph (CT 109, 252): the task and
        // the source and destination handles.
        uint32_t taskPriority = 0;
        uint32_t forceOnlineFlags = 0;
        uint32_t morphTask = 0;
        uint32_t morphSource = 0xFFFFFFFFu;
        uint32_t morphDestination = 0xFFFFFFFFu;
        // Its SSD-cache preferences (CT 254 sub-commands 3, 4 and 8-10): read
        // cache and write cache wanted, and the write policy (1-4; 0 none).
        bool poolRead = false;
        bool poolWrite = false;
        uint32_t poolPolicy = 0;
        // When it was created, in seconds since 1970 by the simulated clock
        // (0: it came with the description).
        uint32_t created = 0;
        // A zeroing (CT 59) takes the container from the host: how the host
        // saw it before, so that it sees it so again when the zeroing ends
        // ("" when none runs).
        std::string clearHost;
        // The member drive whose data is being rebuilt (0xFFFFFFFF: none)
        // and the rebuild task (0 while it waits for the drive).
        uint32_t rebuildDrive = 0xFFFFFFFFu;
        uint32_t rebuildTask = 0;
    };
    std::map<uint32_t, ContainerSettings> containerSettings;

    // Slices and partitions: the configuration age (CT 11) and the newest
    // partition-record form the controller knows (420, 196 or 160 bytes).
    uint32_t configAge = 1;
    uint32_t partitionRecords = 420;

    // Objects of later areas, kept as written ("drive3" -> "0:3 sas 146G").
    ObjectLines objects;

    // Firmware tasks by task id: a job code, its object (a drive handle or a
    // container number), the report status (kRunning, kSuspended, 1 and 2
    // done, ...), the counters, the progress per simulated second
    // (0: the task lasts 60 s) and the two task-specific values. A running
    // task's done count was last brought up to date at clock time atMs.
    struct Task {
        // The report statuses of a task that has not ended, as every reply
        // of the firmware gives them (job lists, details, job progress).
        static constexpr uint32_t kRunning = 102;
        static constexpr uint32_t kSuspended = 101;
        uint32_t job = 0;
        uint32_t object = 0;
        uint32_t status = kRunning;
        uint64_t total = 0;
        uint64_t done = 0;
        uint64_t rate = 0;
        uint32_t specific[2] = {0, 0};
        uint64_t atMs = 0;
        // A task a command ended still reports its end until this time.
        uint64_t finalUntilMs = 0;
        uint32_t finishCode = 0;
    };
    std::map<uint32_t, Task> tasks;

    // Flash (class 3 command 0x10610299 sub-command 0x52): the four PCI
    // identifiers (vendor, device, sub-vendor, sub-device), one image per
    // identifier with the digest of its bytes (saved beside the state file as
    // adapterN.flash.<id>), the staged revision the last image with a
    // revision set, and the identifier each read-back code reads (0x12078,
    // 0x120C8): the image last written with the matching start code.
    uint32_t pciIds[4] = {0, 0, 0, 0};
    struct FlashImage {
        std::vector<uint8_t> bytes;
        uint64_t digest = 0;
    };
    std::map<uint32_t, FlashImage> flash;
    RevisionValue staged;
    uint32_t flashRead[2] = {1, 2};
    // The transfer a start request opened, and every flash request seen
    // (operation, first and second argument). Not saved: a transfer lives
    // within one library call, and tests read the requests.
    struct FlashTransfer {
        bool open = false;
        uint32_t startCode = 0;
        std::vector<uint8_t> bytes;
    };
    FlashTransfer flashTransfer;
    struct FlashRequest {
        uint32_t operation = 0;
        uint32_t first = 0;
        uint32_t second = 0;
    };
    std::vector<FlashRequest> flashRequests;

    // Persistence.
    uint64_t generation = 0;
    uint64_t clockMs = 0;

    // The simulated clock starts at 2024-01-01 00:00:00 UTC.
    static constexpr uint32_t kClockBaseSeconds = 1704067200;
    uint32_t clockSeconds() const { return kClockBaseSeconds + static_cast<uint32_t>(clockMs / 1000); }

    // Builds controller `index` from a description (keys under "adapter<index>."),
    // taking the key table's defaults for what it does not give.
    // A fault that cannot be armed is named in `error`.
    static ControllerState fromDescription(const Description& desc, unsigned index, std::string* error = nullptr);

    // The controller as a complete description (every key written) followed by
    // the [hostsim] section with `seed`.
    std::string toText(uint64_t seed) const;

    // A 64-bit digest of everything toText writes but the generation: equal
    // digests before and after a request mean there is nothing new to save.
    // The object lines enter by their revision and the log texts by their kept
    // digests, so the digest costs the same however many drives and
    // containers there are and however long the logs have grown.
    uint64_t savedDigest() const;
};

// The digest a flash image is saved and compared under (FNV-1a 64).
uint64_t flashDigest(const std::vector<uint8_t>& bytes);

// A byte record written as hex digits, `size` bytes; shorter text leaves
// zeros, odd or foreign characters end it.
std::vector<uint8_t> parseHexBytes(const std::string& text, size_t size);

}  // namespace vyn::hostsim

#endif
