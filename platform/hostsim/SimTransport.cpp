// The simulated driver's FIB transport, SCSI pass-through, event channels and
// host view of containers: the SimHostIo members behind those requests.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/DriveFirmware.h"
#include "platform/hostsim/SimHostIo.h"
#include "platform/hostsim/Transport.h"
#include "platform/hostsim/fw/ContainerTasks.h"
#include "platform/hostsim/fw/DriveRequests.h"
#include "platform/hostsim/fw/Enclosures.h"
#include "platform/hostsim/state/Derived.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vyn::hostsim {

namespace {

constexpr size_t kFibBytes = 512;
constexpr size_t kChannelsPerController = 8;
constexpr size_t kPendingMax = 64;
constexpr uint16_t kAifRequest = 700;
// Notifications of containers that changed, came and went.
constexpr uint32_t kContainerChanged = 4;
constexpr uint32_t kContainerAdded = 15;
constexpr uint32_t kContainerDeleted = 16;

// The controller's containers ("ldK" lines) by number, ascending, with their
// lines. Kept per revision of the object lines (keptView): a request that
// changes no line costs no copy.
using ContainerLines = std::vector<std::pair<unsigned, std::string>>;
ContainerLines containerLinesOf(const ControllerState& c)
{
    std::vector<std::pair<unsigned, std::string>> out;
    const auto& lines = c.objects.map();
    for (auto it = lines.lower_bound("ld"); it != lines.end() && it->first.compare(0, 2, "ld") == 0; ++it) {
        const std::string& key = it->first;
        if (key.size() > 2 && std::all_of(key.begin() + 2, key.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)) != 0; }))
            out.emplace_back(static_cast<unsigned>(std::strtoul(key.c_str() + 2, nullptr, 10)), it->second);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Raw SCSI request and its reply.
constexpr size_t kSrbChannel = 4;
constexpr size_t kSrbId = 8;
constexpr size_t kSrbLun = 12;
constexpr size_t kSrbCount = 24;
constexpr size_t kSrbCdbSize = 32;
constexpr size_t kSrbCdb = 36;
constexpr size_t kSrbDataAddress = 56;
constexpr size_t kSrbDataCount = 64;
constexpr uint32_t kSrbNoData = 56;
constexpr uint32_t kSrbWithData = 68;
constexpr size_t kReplyBytes = 52;
constexpr size_t kReplySense = 20;
constexpr uint32_t kSrbSuccess = 1;
constexpr uint32_t kSrbError = 4;

// _UNIX_QUERY_DISK.
constexpr size_t kQdValid = 16;
constexpr size_t kQdLocked = 20;
constexpr size_t kQdDeleted = 24;
constexpr size_t kQdInstance = 28;
constexpr size_t kQdName = 32;
constexpr size_t kQdUnmapped = 44;
constexpr size_t kQdBytes = 48;

void writeTextIfAbsent(const std::string& path, const std::string& text)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (::write(fd, text.data(), text.size()) < 0) {
        // A placeholder that cannot be written leaves the scan road to the library.
    }
    ::close(fd);
}

bool hostSees(const std::string& host) { return host == "exposed" || host == "open"; }

// The kernel's name of its k-th SCSI disk: sda to sdz, then sdaa, sdab, ...,
// sdzz, sdaaa.
std::string diskName(unsigned k)
{
    std::string letters;
    for (unsigned long n = k + 1ul; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('a' + (n - 1) % 26));
    return "sd" + letters;
}

// Disks are b 8 16k: the minor number has 20 bits.
constexpr unsigned kMaxDisks = (1u << 20) / 16;

// Containers that came (15), went (16) or changed (4) since `before`.
void raiseContainerEvents(ControllerState& c, const ContainerLines& before)
{
    const std::shared_ptr<const ContainerLines> kept = keptView<containerLinesOf>(c);
    const ContainerLines& after = *kept;
    const auto byNumber = [](const std::pair<unsigned, std::string>& a, unsigned n) { return a.first < n; };
    const auto find = [&byNumber](const std::vector<std::pair<unsigned, std::string>>& in, unsigned n) {
        auto it = std::lower_bound(in.begin(), in.end(), n, byNumber);
        return it != in.end() && it->first == n ? &*it : nullptr;
    };
    for (const auto& [n, line] : after) {
        const std::pair<unsigned, std::string>* was = find(before, n);
        if (was == nullptr)
            c.raisedAif.push_back(notificationFib(kContainerAdded, {n}));
        else if (was->second != line)
            c.raisedAif.push_back(notificationFib(kContainerChanged, {n}));
    }
    for (const auto& [n, line] : before)
        if (find(after, n) == nullptr)
            c.raisedAif.push_back(notificationFib(kContainerDeleted, {n}));
}

}  // namespace

bool SimHostIo::bindDeviceNode(const NodeEntry& node, OpenNode& bind)
{
    if (node.type == 'c' && node.major == kSgMajor && node.minor < generic_.size()) {
        bind.kind = NodeKind::Generic;
        bind.controller = generic_[node.minor].controller;
        bind.device = static_cast<unsigned>(generic_[node.minor].device);
        return true;
    }
    if (node.type != 'b' || node.major != kSdMajor)
        return false;
    const unsigned disk = node.minor / 16;
    if (disk == 0) {
        bind.kind = NodeKind::ForeignDisk;
        return true;
    }
    for (const auto& [key, k] : sdDisk_)
        if (k == disk) {
            bind.kind = NodeKind::Disk;
            bind.controller = key.first;
            bind.device = key.second;
            return true;
        }
    return false;
}

void SimHostIo::watchHostFile(int fd, const char* path)
{
    // "<prefix><host><suffix>" exactly.
    auto hostIn = [path](const char* prefix, const char* suffix, unsigned& host) {
        const size_t n = std::strlen(prefix);
        if (std::strncmp(path, prefix, n) != 0 || !std::isdigit(static_cast<unsigned char>(path[n])))
            return false;
        char* end = nullptr;
        host = static_cast<unsigned>(std::strtoul(path + n, &end, 10));
        return std::strcmp(end, suffix) == 0;
    };
    unsigned host = 0;
    if (hostIn("/sys/class/scsi_host/host", "/scan", host))
        watched_[fd] = Watched{Observed::Scan, host};
    else if (hostIn("/sys/class/scsi_host/host", "/reset_host", host) || hostIn("/proc/scsi/ulbraid/", "", host))
        watched_[fd] = Watched{Observed::Reset, host};
    else if (std::strcmp(path, "/proc/scsi/scsi") == 0)
        watched_[fd] = Watched{Observed::ProcScsi, 0};
}

void SimHostIo::forgetDescriptor(int fd)
{
    watched_.erase(fd);
    for (auto it = channels_.begin(); it != channels_.end();)
        it = it->second.fd == fd ? channels_.erase(it) : std::next(it);
}

void SimHostIo::registerDevices()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    generic_.clear();
    for (const auto& [index, c] : controllers_) {
        // The host's flags text as provisioned, for a driver that supports JBOD.
        if (c.jbodDriver) {
            const std::string host = std::to_string(hostOf(index));
            const std::string flags = root_ + (driver_.sysfs ? "/sys/class/scsi_host/host" + host + "/flags"
                                                             : "/proc/scsi/ulbraid/" + host);
            std::ifstream in(flags);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (in && text == "\n")
                std::ofstream(flags, std::ios::trunc) << "SUPPORTED_JBOD\n";
        }
        const SharedList<DeviceView> devices = devicesOf(c);
        for (size_t i = 0; i < devices.size(); ++i) {
            const unsigned m = static_cast<unsigned>(generic_.size());
            generic_.push_back(DeviceSlot{index, i});
            // A missing drive has no node.
            if (devices[i].state == "missing")
                continue;
            const std::string path = "/dev/sg" + std::to_string(m);
            mknod(path.c_str(), S_IFCHR | 0660, makedev(kSgMajor, m));
            if (driver_.sysfs) {
                char dir[96];
                std::snprintf(dir, sizeof dir, "/sys/class/scsi_device/%u:%u:%u:%u/device/generic/dev", hostOf(index),
                              devices[i].bus + 1, devices[i].target, devices[i].lun);
                writeTextIfAbsent(root_ + dir, std::to_string(kSgMajor) + ":" + std::to_string(m) + "\n");
            }
        }
    }
    // Where controllers have containers, the host also has a disk of its
    // own, sda, ahead of theirs.
    bool anyContainer = false;
    for (const auto& [index, c] : controllers_)
        anyContainer = anyContainer || !containersOf(c).empty();
    if (!anyContainer)
        return;
    mknod("/dev/sda", S_IFBLK | 0660, makedev(kSdMajor, 0));
    for (const auto& [index, c] : controllers_)
        for (const ContainerHostView& v : containersOf(c))
            if (hostSees(v.host))
                exposeContainer(index, v.number);
}

void SimHostIo::exposeContainer(unsigned controller, unsigned container)
{
    const auto key = std::make_pair(controller, container);
    auto it = sdDisk_.find(key);
    if (it == sdDisk_.end()) {
        // The host names a new disk with the lowest number no disk holds, as
        // the kernel does once a disk has gone; "sda" is the host's own.
        std::vector<bool> taken(sdDisk_.size() + 2, false);
        for (const auto& entry : sdDisk_)
            if (entry.second < taken.size())
                taken[entry.second] = true;
        unsigned disk = 1;
        while (taken[disk])
            ++disk;
        if (disk >= kMaxDisks)
            return;
        it = sdDisk_.emplace(key, disk).first;
    }
    const unsigned disk = it->second;
    const std::string node = "/dev/" + diskName(disk);
    mknod(node.c_str(), S_IFBLK | 0660, makedev(kSdMajor, 16 * disk));
    if (driver_.sysfs) {
        char dir[160];
        std::snprintf(dir, sizeof dir, "/sys/class/scsi_host/host%u/device/%u:0:%u:0/block/%s", hostOf(controller),
                      hostOf(controller), container, diskName(disk).c_str());
        std::error_code ec;
        std::filesystem::create_directories(root_ + dir, ec);
    }
}

void SimHostIo::hideContainer(unsigned controller, unsigned container)
{
    auto it = sdDisk_.find(std::make_pair(controller, container));
    if (it == sdDisk_.end())
        return;
    const std::string node = "/dev/" + diskName(it->second);
    unlink(node.c_str());
    char dir[128];
    std::snprintf(dir, sizeof dir, "/sys/class/scsi_host/host%u/device/%u:0:%u:0", hostOf(controller),
                  hostOf(controller), container);
    std::error_code ec;
    std::filesystem::remove_all(root_ + dir, ec);
    sdDisk_.erase(it);
}

std::string SimHostIo::diskOf(unsigned adapter, unsigned container) const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = sdDisk_.find(std::make_pair(adapter, container));
    return it == sdDisk_.end() ? std::string() : diskName(it->second);
}

unsigned SimHostIo::resetCount(unsigned adapter) const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = resets_.find(adapter);
    return it == resets_.end() ? 0 : it->second;
}

ssize_t SimHostIo::write(int fd, const void* buf, size_t len)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const ssize_t n = RealHostIo::write(fd, buf, len);
    auto it = watched_.find(fd);
    if (it != watched_.end() && n > 0)
        observeWrite(it->second, std::string(static_cast<const char*>(buf), static_cast<size_t>(n)));
    return n;
}

void SimHostIo::observeWrite(const Watched& w, const std::string& text)
{
    auto controllerOf = [&](unsigned host, unsigned& out) {
        if (host < driver_.firstHost || controllers_.count(host - driver_.firstHost) == 0)
            return false;
        out = host - driver_.firstHost;
        return true;
    };
    unsigned controller = 0;
    auto show = [&](unsigned container, bool add) {
        ControllerState& c = controllers_[controller];
        StateStore::Guard guard(*store_);
        store_->refresh(c);
        for (const ContainerHostView& v : containersOf(c)) {
            if (v.number != container)
                continue;
            if (add && (v.host == "none" || hostSees(v.host))) {
                if (v.host == "none") {
                    setContainerHost(c, container, "exposed");
                    store_->save(c);
                }
                exposeContainer(controller, container);
            } else if (!add && hostSees(v.host)) {
                setContainerHost(c, container, "none");
                store_->save(c);
                hideContainer(controller, container);
            }
        }
    };
    switch (w.what) {
    case Observed::Reset:
        if (controllerOf(w.host, controller)) {
            ++resets_[controller];
            // The controller counts the reset with its own, for later runs.
            ControllerState& c = controllers_[controller];
            StateStore::Guard guard(*store_);
            store_->refresh(c);
            ++c.resetCount;
            store_->save(c);
        }
        break;
    case Observed::Scan: {
        unsigned bus = 0, target = 0, lun = 0;
        if (std::sscanf(text.c_str(), "%u %u %u", &bus, &target, &lun) == 3 && bus == 0 && lun == 0 &&
            controllerOf(w.host, controller))
            show(target, true);
        break;
    }
    case Observed::ProcScsi: {
        char verb[16] = {};
        unsigned host = 0, channel = 0, target = 0, lun = 0;
        if (std::sscanf(text.c_str(), "scsi %15[a-z]-single-device %u %u %u %u", verb, &host, &channel, &target,
                        &lun) == 5 &&
            channel == 0 && lun == 0 && controllerOf(host, controller))
            show(target, std::strcmp(verb, "add") == 0);
        break;
    }
    }
}

void SimHostIo::queueAif(unsigned adapter, const uint8_t* fib512)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<uint8_t> fib(fib512, fib512 + kFibBytes);
    bool delivered = false;
    for (auto& [id, ch] : channels_)
        if (ch.controller == adapter) {
            ch.queue.push_back(fib);
            delivered = true;
        }
    if (delivered || controllers_.count(adapter) == 0)
        return;
    ControllerState& c = controllers_[adapter];
    StateStore::Guard guard(*store_);
    store_->refresh(c);
    c.pendingAif.push_back(fib);
    if (c.pendingAif.size() > kPendingMax)
        c.pendingAif.erase(c.pendingAif.begin());
    store_->save(c);
}

void SimHostIo::raiseEvent(unsigned adapter, uint32_t code, const std::vector<uint32_t>& words,
                           const std::string& text)
{
    queueAif(adapter, notificationFib(code, words, text).data());
}

int SimHostIo::transportIoctl(int fd, OpenNode& node, unsigned long request, void* arg, Request& r)
{
    uint8_t* bytes = static_cast<uint8_t*>(arg);
    if (bytes == nullptr && request != kBlkRrPart)
        return fail(r, EFAULT);
    ControllerState& c = controllers_[node.controller];
    switch (node.kind) {
    case NodeKind::Adapter: {
        StateStore::Guard guard(*store_);
        store_->refresh(c);
        switch (request) {
        case kSendLargeFib:
            return sendFib(c, bytes, kFibLarge, r);
        case kSendRawSrb:
            return rawSrb(c, bytes, r);
        case kQueryDisk:
            return queryDisk(c, bytes, r);
        case kDeleteDisk:
            return deleteDisk(c, bytes, r);
        case kOpenAdapterFib: {
            size_t open = 0;
            for (const auto& [id, ch] : channels_)
                open += ch.controller == node.controller ? 1 : 0;
            if (open >= kChannelsPerController)
                return fail(r, EMFILE);
            const uint32_t id = nextChannel_++;
            Channel ch{node.controller, fd, {}};
            // The first channel takes over what came while none was open.
            if (!c.pendingAif.empty()) {
                ch.queue.swap(c.pendingAif);
                store_->save(c);
            }
            channels_[id] = std::move(ch);
            putLe32(bytes, id);
            record(r);
            return 0;
        }
        case kNextAdapterFib: {
            const uint32_t id = getLe32(bytes);
            auto it = channels_.find(id);
            if (it == channels_.end() || it->second.controller != node.controller)
                return fail(r, EINVAL);
            if (it->second.queue.empty())
                return fail(r, EAGAIN);
            uint8_t* target = nullptr;
            std::memcpy(&target, bytes + 8, sizeof target);
            if (target == nullptr)
                return fail(r, EFAULT);
            std::memcpy(target, it->second.queue.front().data(), kFibBytes);
            it->second.queue.erase(it->second.queue.begin());
            record(r);
            return 0;
        }
        }
        break;
    }
    case NodeKind::Generic:
        if (request == kSgIoRequest)
            return sgIo(node, arg, r);
        if (request == kSgGetScsiId) {
            const SharedList<DeviceView> devices = devicesOf(c);
            if (node.device >= devices.size())
                return fail(r, ENXIO);
            const DeviceView& d = devices[node.device];
            struct sg_scsi_id id;
            std::memset(&id, 0, sizeof id);
            id.host_no = static_cast<int>(hostOf(node.controller));
            id.channel = static_cast<int>(d.bus + 1);
            id.scsi_id = static_cast<int>(d.target);
            id.lun = static_cast<int>(d.lun);
            id.scsi_type = d.peripheralType();
            std::memcpy(arg, &id, sizeof id);
            record(r);
            return 0;
        }
        break;
    case NodeKind::Disk:
    case NodeKind::ForeignDisk:
        if (request == kScsiGetIdLun) {
            // target | lun << 8 | channel << 16 | host << 24; another host's
            // disk sits on host 0.
            const uint32_t host = node.kind == NodeKind::Disk ? hostOf(node.controller) : 0;
            const uint32_t target = node.kind == NodeKind::Disk ? node.device : 0;
            putLe32(bytes, target | host << 24);
            putLe32(bytes + 4, target);
            record(r);
            return 0;
        }
        if (request == kBlkRrPart) {
            ++rereadCount_;
            record(r);
            return 0;
        }
        break;
    }
    r.unhandled = true;
    return fail(r, ENOTTY);
}

void SimHostIo::pokeRecord(unsigned long request, uint8_t* bytes, const ArmedFault& fault)
{
    if (request == kQueryDisk)
        pokeField(bytes, kQdBytes, fault);
    else if (request == kDeleteDisk)
        pokeField(bytes, 8, fault);
}

int SimHostIo::closeChannel(uint32_t id, Request& r)
{
    auto it = channels_.find(id);
    if (it == channels_.end())
        return fail(r, EINVAL);
    channels_.erase(it);
    record(r);
    return 0;
}

int SimHostIo::sendFib(ControllerState& c, uint8_t* bytes, size_t size, Request& r)
{
    if (r.senderSize != size) {
        r.rejected = "sender_size";
        return fail(r, EINVAL);
    }
    ArmedFault fault;
    bool faulted = faultFor(static_cast<int>(c.index), "fib", std::to_string(r.command), fault);
    const bool containerCommand = r.hasClass && r.fibClass == 2;
    bool onContainerCommand = false;
    if (!faulted && containerCommand) {
        faulted = faultFor(static_cast<int>(c.index), "ct", std::to_string(r.ct), fault);
        onContainerCommand = faulted;
    }
    if (!faulted && r.hasClass && r.fibClass == 3)
        faulted = faultFor(static_cast<int>(c.index), "class3", std::to_string(getLe32(bytes + kFibHeaderSize + 16)),
                           fault);
    if (!faulted && r.hasClass && r.fibClass == 21) {
        faulted = faultFor(static_cast<int>(c.index), "class21", std::to_string(r.ct), fault);
        onContainerCommand = faulted;
    }
    if (!faulted && r.hasClass && r.fibClass == 12)
        faulted = faultFor(static_cast<int>(c.index), "class12", std::to_string(r.ct), fault);
    if (!faulted && r.command == kAifRequest)
        faulted = faultFor(static_cast<int>(c.index), "aif", std::to_string(getLe32(bytes + kFibHeaderSize)), fault);
    const ArmedFault* f = faulted ? &fault : nullptr;
    if (f != nullptr) {
        r.fault = static_cast<long>(f->number);
        if (f->effect == "errno")
            return fail(r, f->errnoValue);
    }
    // Handlers whose answers follow the simulated clock read it from the state.
    bringClockUp(c);
    // Containers come, go and change only with a change of the object lines.
    const uint64_t linesBefore = c.objects.revision();
    const std::shared_ptr<const ContainerLines> kept = keptView<containerLinesOf>(c);
    const ContainerLines& containersBefore = *kept;
    const std::map<uint32_t, ControllerState::Task> tasksBefore = c.tasks;
    // What the controller did on its own since the last request comes first.
    bool settled = settleTasks(c);
    FibCall call(c, bytes, size);
    r.unhandled = !dispatcher_.dispatch(call);
    r.rejected = call.rejected();
    if (f != nullptr) {
        uint8_t* payload = bytes + kFibHeaderSize;
        const size_t room = size - kFibHeaderSize;
        // On a container command the status is the container status (word 2);
        // on any other FIB it is word 0.
        if (f->effect == "status")
            putLe32(payload + (onContainerCommand ? 8 : 0), f->value);
        else if (f->effect == "transport")
            putLe32(payload, f->value);
        else if (f->effect == "echo")
            putLe32(payload + 4, f->value);
        else if (f->effect == "truncate" && f->value < room)
            std::memset(payload + f->value, 0, room - f->value);
        else if (f->effect == "poke")
            pokeField(payload, room, *f);
        else if (f->effect == "total" && (getLe32(payload + 8) == 200 || getLe32(payload + 8) == 201))
            putLe32(payload + 12, f->value);  // a long reply's total (word 3)
    }
    call.finish();
    settled = settleTasks(c) || settled;
    if (settled)
        call.markChanged();
    // The controller tells of containers that came, went or changed with the
    // request, as it finally stood.
    if (c.objects.revision() != linesBefore)
        raiseContainerEvents(c, containersBefore);
    // Job progress of the tasks that started, moved on by a tenth or ended.
    for (std::vector<uint8_t>& fib : taskProgressFibs(tasksBefore, c))
        c.raisedAif.push_back(std::move(fib));
    if (deliverRaised(c))
        call.markChanged();
    if (call.changed())
        store_->save(c);
    record(r);
    return 0;
}

bool SimHostIo::deliverRaised(ControllerState& c)
{
    // Events the controller raised go to its channels, or wait for the next
    // one to open.
    bool pending = false;
    for (std::vector<uint8_t>& raised : c.raisedAif) {
        bool delivered = false;
        for (auto& [id, ch] : channels_)
            if (ch.controller == c.index) {
                ch.queue.push_back(raised);
                delivered = true;
            }
        if (!delivered) {
            c.pendingAif.push_back(std::move(raised));
            if (c.pendingAif.size() > kPendingMax)
                c.pendingAif.erase(c.pendingAif.begin());
            pending = true;
        }
    }
    c.raisedAif.clear();
    // Disks the controller gave back: the host sees them again.
    for (uint32_t container : c.reexposed)
        exposeContainer(c.index, container);
    c.reexposed.clear();
    return pending;
}

void SimHostIo::bringClockUp(ControllerState& c)
{
    // The controller's clock goes on from where the state left it by the
    // simulated time this process saw pass since it last looked, so that time
    // adds up over the processes that share the state.
    const uint64_t now = clockMs();
    uint64_t& seen = clockSeen_[c.index];
    if (now > seen) {
        c.clockMs += now - seen;
        seen = now;
    }
}

bool SimHostIo::failDrive(unsigned adapter, uint32_t bus, uint32_t target, uint32_t lun)
{
    return actOnController(adapter, [&](ControllerState& c) {
        return vyn::hostsim::failDrive(c, bus << 24 | lun << 16 | target);
    });
}

void SimHostIo::advanceClock(uint64_t ms)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    clockMs_.fetch_add(ms);
    for (auto& entry : controllers_)
        actOnController(entry.first, [](ControllerState&) { return false; });
}

bool SimHostIo::actOnController(unsigned adapter, const std::function<bool(ControllerState&)>& act)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = controllers_.find(adapter);
    if (it == controllers_.end())
        return false;
    ControllerState& c = it->second;
    StateStore::Guard guard(*store_);
    store_->refresh(c);
    bringClockUp(c);
    const std::map<uint32_t, ControllerState::Task> tasksBefore = c.tasks;
    const uint64_t linesBefore = c.objects.revision();
    const std::vector<std::pair<unsigned, std::string>> containersBefore = containerLinesOf(c);
    const bool acted = act(c);
    const bool settled = settleTasks(c);
    if (c.objects.revision() != linesBefore)
        raiseContainerEvents(c, containersBefore);
    for (std::vector<uint8_t>& fib : taskProgressFibs(tasksBefore, c))
        c.raisedAif.push_back(std::move(fib));
    const bool pending = deliverRaised(c);
    if (acted || settled || pending || c.objects.revision() != linesBefore)
        store_->save(c);
    return acted;
}

bool SimHostIo::applyCdbFault(unsigned controller, uint8_t opcode, CdbResult& result, ArmedFault& f)
{
    if (!faultFor(static_cast<int>(controller), "cdb", faultRequestText(opcode), f))
        return false;
    if (f.effect == "status")
        result.status = static_cast<uint8_t>(f.value);
    else if (f.effect == "sense")
        makeSense(result, f.senseKey, f.asc, f.ascq);
    else if (f.effect == "truncate")
        result.transferred = std::min<size_t>(result.transferred, f.value);
    return true;
}

int SimHostIo::rawSrb(ControllerState& c, uint8_t* bytes, Request& r)
{
    if (!driver_.rawSrb) {
        r.unhandled = true;
        return fail(r, ENOTTY);
    }
    const uint32_t count = getLe32(bytes + kSrbCount);
    const uint32_t cdbSize = getLe32(bytes + kSrbCdbSize);
    if ((count != kSrbNoData && count != kSrbWithData) || cdbSize > 16) {
        r.rejected = "srb";
        return fail(r, EINVAL);
    }
    uint8_t* reply = bytes + count;
    std::memset(reply, 0, kReplyBytes);
    const unsigned bus = getLe32(bytes + kSrbChannel);
    const unsigned target = getLe32(bytes + kSrbId);
    const unsigned lun = getLe32(bytes + kSrbLun);
    const DeviceView* device = nullptr;
    const SharedList<DeviceView> devices = devicesOf(c);
    for (const DeviceView& d : devices)
        if (d.bus == bus && d.target == target && d.lun == lun)
            device = &d;
    if (device == nullptr || !device->answers()) {
        putLe32(reply, 1);
        record(r);
        return 0;
    }
    uint8_t* data = nullptr;
    size_t length = 0;
    if (count == kSrbWithData) {
        uint64_t address = static_cast<uint64_t>(getLe32(bytes + kSrbDataAddress)) |
                           static_cast<uint64_t>(getLe32(bytes + kSrbDataAddress + 4)) << 32;
        data = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address));
        length = getLe32(bytes + kSrbDataCount);
        if (data == nullptr && length != 0)
            return fail(r, EFAULT);
    }
    CdbResult result;
    bool changed = false;
    StagedChunk chunk;
    if (!runSelfTestCdb(c, *device, bytes + kSrbCdb, cdbSize, data, length, result, &changed) &&
        !runDownloadCdb(*device, bytes + kSrbCdb, cdbSize, data, length, result, chunk) &&
        !runEnclosureCdb(c, *device, bytes + kSrbCdb, cdbSize, data, length, result))
        result = runCdb(*device, bytes + kSrbCdb, cdbSize, data, length);
    if (changed)
        store_->save(c);
    ArmedFault fault;
    const bool faulted = cdbSize > 0 && applyCdbFault(c.index, bytes[kSrbCdb], result, fault);
    if (faulted) {
        r.fault = static_cast<long>(fault.number);
        if (fault.effect == "errno")
            return fail(r, fault.errnoValue);
    }
    // A download chunk becomes part of the drive's image only when the
    // command completed.
    if (result.status == kScsiGood && stageChunk(c, chunk))
        store_->save(c);
    putLe32(reply + 4, result.status == kScsiGood ? kSrbSuccess : kSrbError);
    putLe32(reply + 8, result.status);
    putLe32(reply + 12, static_cast<uint32_t>(result.transferred));
    putLe32(reply + 16, static_cast<uint32_t>(result.senseLength));
    std::memcpy(reply + kReplySense, result.sense, std::min(result.senseLength, kReplyBytes - kReplySense));
    if (faulted && fault.effect == "poke")
        pokeField(reply, kReplyBytes, fault);
    record(r);
    return 0;
}

int SimHostIo::sgIo(OpenNode& node, void* arg, Request& r)
{
    sg_io_hdr_t h;
    std::memcpy(&h, arg, sizeof h);
    if (h.interface_id != 'S') {
        r.rejected = "interface_id";
        return fail(r, EINVAL);
    }
    ControllerState& c = controllers_[node.controller];
    StateStore::Guard guard(*store_);
    store_->refresh(c);
    const SharedList<DeviceView> devices = devicesOf(c);
    if (node.device >= devices.size() || !devices[node.device].answers())
        return fail(r, EIO);
    const bool dataIn = h.dxfer_direction == SG_DXFER_FROM_DEV || h.dxfer_direction == SG_DXFER_TO_FROM_DEV;
    uint8_t* data = dataIn ? static_cast<uint8_t*>(h.dxferp) : nullptr;
    const size_t length = dataIn ? h.dxfer_len : 0;
    const uint8_t* cdb = h.cmdp;
    const bool dataOut = h.dxfer_direction == SG_DXFER_TO_DEV;
    const uint8_t* out = dataOut ? static_cast<const uint8_t*>(h.dxferp) : nullptr;
    CdbResult result;
    bool changed = false;
    StagedChunk chunk;
    if (!runSelfTestCdb(c, devices[node.device], cdb, h.cmd_len, data, length, result, &changed) &&
        !runDownloadCdb(devices[node.device], cdb, h.cmd_len, out, dataOut ? h.dxfer_len : 0, result, chunk) &&
        !runEnclosureCdb(c, devices[node.device], cdb, h.cmd_len, data, length, result))
        result = runCdb(devices[node.device], cdb, h.cmd_len, data, length);
    if (changed)
        store_->save(c);
    ArmedFault fault;
    if (cdb != nullptr && h.cmd_len > 0 && applyCdbFault(node.controller, cdb[0], result, fault)) {
        r.fault = static_cast<long>(fault.number);
        if (fault.effect == "errno")
            return fail(r, fault.errnoValue);
    }
    if (result.status == kScsiGood && stageChunk(c, chunk))
        store_->save(c);
    h.status = result.status;
    h.masked_status = static_cast<unsigned char>(result.status >> 1);
    h.host_status = 0;
    h.driver_status = 0;
    const size_t sense = h.sbp != nullptr ? std::min<size_t>(result.senseLength, h.mx_sb_len) : 0;
    if (sense > 0)
        std::memcpy(h.sbp, result.sense, sense);
    h.sb_len_wr = static_cast<unsigned char>(sense);
    h.resid = static_cast<int>(h.dxfer_len - std::min<size_t>(result.transferred, h.dxfer_len));
    std::memcpy(arg, &h, sizeof h);
    record(r);
    return 0;
}

int SimHostIo::queryDisk(ControllerState& c, uint8_t* bytes, Request& r)
{
    const uint32_t container = getLe32(bytes);
    std::memset(bytes + 4, 0, kQdBytes - 4);
    for (const ContainerHostView& v : containersOf(c)) {
        if (v.number != container)
            continue;
        putLe32(bytes + kQdValid, v.host == "exposed" || v.host == "open" || v.host == "unmapped" ? 1 : 0);
        putLe32(bytes + kQdLocked, v.host == "open" ? 1 : 0);
        putLe32(bytes + kQdDeleted, v.host == "deleted" ? 1 : 0);
        putLe32(bytes + kQdUnmapped, v.host == "unmapped" ? 1 : 0);
        putLe32(bytes + 8, container);
        putLe32(bytes + kQdInstance, hostOf(c.index));
        auto it = sdDisk_.find(std::make_pair(c.index, container));
        if (it != sdDisk_.end()) {
            // Up to the unmapped word; a name that fills it has no NUL.
            const std::string name = diskName(it->second);
            std::memcpy(bytes + kQdName, name.data(), std::min(name.size(), kQdUnmapped - kQdName));
        }
    }
    record(r);
    return 0;
}

int SimHostIo::deleteDisk(ControllerState& c, uint8_t* bytes, Request& r)
{
    const uint32_t container = getLe32(bytes + 4);
    if (setContainerHost(c, container, "deleted")) {
        store_->save(c);
    } else if (container >= c.maxContainers) {
        return fail(r, EINVAL);
    }
    // A disk whose container the controller destroyed still goes from the
    // host; a container that had no disk leaves nothing to remove, which is
    // no failure (the driver only refuses numbers beyond its containers).
    hideContainer(c.index, container);
    record(r);
    return 0;
}

}  // namespace vyn::hostsim
