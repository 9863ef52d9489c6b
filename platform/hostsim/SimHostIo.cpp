#include "platform/hostsim/SimHostIo.h"

#include "common/HostPath.h"
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/Transport.h"
#include "platform/hostsim/desc/Description.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vyn::hostsim {

namespace {

// Driver requests answered in this stage.
constexpr unsigned long kSendFib = 0x42008;
constexpr unsigned long kMiniportRevCheck = 0x420EC;
constexpr unsigned long kGetPciBusSlot = 0x4211C;
constexpr unsigned long kGetCodeVersionStatus = 0x42164;

constexpr uint16_t kContainerCommand = 500;

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

unsigned envUnsigned(const char* name, unsigned fallback)
{
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0')
        return fallback;
    char* end = nullptr;
    const unsigned long n = std::strtoul(v, &end, 10);
    return (end != nullptr && *end == '\0' && n <= 100000) ? static_cast<unsigned>(n) : fallback;
}

}  // namespace

SimHostIo::SimHostIo(const std::string& descriptionText, const std::string& source, const std::string& loadError)
    : text_(descriptionText), source_(source), root_(vynHostRoot())
{
    registerAllHandlers(dispatcher_);
    sleepScale_.store(envUnsigned("VYN_SIMULATOR_SLEEP_SCALE", 100));
    if (const char* trace = std::getenv("VYN_SIMULATOR_TRACE"))
        traceFile_ = trace;
    if (const char* clock = std::getenv("VYN_SIMULATOR_CLOCK"))
        realClock_ = std::strcmp(clock, "real") == 0;

    Description desc;
    std::string error = loadError;
    if (error.empty() && (!desc.parse(descriptionText, source, error) || !checkObjects(desc, error)))
        desc = Description();
    if (!error.empty()) {
        message_ = error;
        std::fprintf(stderr, "hostsim: %s\n", message_.c_str());
    } else {
        driver_.major = parseInteger(desc.get("driver.major"));
        driver_.sysfs = desc.get("driver.sysfs") != "0";
        driver_.firstHost = parseInteger(desc.get("driver.first_host"));
        driver_.rawSrb = desc.get("driver.raw_srb") != "0";
        persist_ = desc.get("hostsim.persist") != "0";
        seed_ = desc.seed();
        std::map<unsigned, bool> present;
        const unsigned count = parseInteger(desc.get("adapters"));
        for (unsigned i = 0; i < count && i < 256; ++i)
            present[i] = true;
        for (const auto& entry : desc.values()) {
            const std::string& key = entry.first;
            if (key.compare(0, 7, "adapter") == 0 && key.size() > 7 && std::isdigit(static_cast<unsigned char>(key[7])))
                present[static_cast<unsigned>(std::strtoul(key.c_str() + 7, nullptr, 10))] = true;
        }
        for (const auto& p : present)
            initial_[p.first] = ControllerState::fromDescription(desc, p.first, &error);
        if (!error.empty()) {
            message_ = source + ": " + error;
            std::fprintf(stderr, "hostsim: %s\n", message_.c_str());
            initial_.clear();
        }
    }
    store_ = std::make_unique<StateStore>(root_, persist_);
    provisionHostText(root_, driver_, initial_.empty() ? -1 : static_cast<int>(initial_.rbegin()->first));
    seedControllers();
    // Every process registers the same nodes at start: as one batch, which
    // changes nothing once they are there.
    std::vector<GatheredNode> startup;
    gathering_ = &startup;
    registerDevices();
    gathering_ = nullptr;
    registerNodes(startup);
}

SimHostIo::~SimHostIo()
{
    for (const auto& entry : open_)
        ::close(entry.first);
}

void SimHostIo::seedControllers()
{
    controllers_ = initial_;
    StateStore::Guard guard(*store_);
    for (auto& entry : controllers_)
        store_->seed(entry.second, seed_);
}

void SimHostIo::reset()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    requests_.clear();
    clockMs_.store(0);
    clockSeen_.clear();
    // A reset starts afresh: state files are rewritten from the description.
    controllers_ = initial_;
    globalFaults_.clear();
    StateStore::Guard guard(*store_);
    for (auto& entry : controllers_)
        store_->save(entry.second);
}

ControllerState* SimHostIo::controller(unsigned n)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = controllers_.find(n);
    if (it == controllers_.end())
        return nullptr;
    StateStore::Guard guard(*store_);
    store_->refresh(it->second);
    return &it->second;
}

bool SimHostIo::addFault(int adapter, const Fault& fault)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ArmedFault armed;
    if (adapter < 0) {
        if (!armFault(fault, static_cast<unsigned>(globalFaults_.size()), armed))
            return false;
        globalFaults_.push_back(armed);
        return true;
    }
    auto it = controllers_.find(static_cast<unsigned>(adapter));
    if (it == controllers_.end())
        return false;
    StateStore::Guard guard(*store_);
    ControllerState& c = it->second;
    store_->refresh(c);
    unsigned number = 0;
    for (const ArmedFault& f : c.faults)
        number = std::max(number, f.number + 1);
    if (!armFault(fault, number, armed))
        return false;
    c.faults.push_back(armed);
    store_->save(c);
    return true;
}

bool SimHostIo::faultsArmed(int controller)
{
    if (!globalFaults_.empty())
        return true;
    auto it = controllers_.find(static_cast<unsigned>(controller));
    if (controller < 0 || it == controllers_.end())
        return false;
    StateStore::Guard guard(*store_);
    store_->refresh(it->second);
    return !it->second.faults.empty();
}

bool SimHostIo::faultFor(int controller, const std::string& trigger, const std::string& argument, ArmedFault& out)
{
    if (controller >= 0) {
        StateStore::Guard guard(*store_);
        ControllerState& c = controllers_[static_cast<unsigned>(controller)];
        store_->refresh(c);
        bool touched = false;
        const ArmedFault* f = matchFault(c.faults, trigger, argument, touched);
        if (f != nullptr)
            out = *f;
        if (touched)
            store_->save(c);  // counters act across processes
        if (f != nullptr)
            return true;
    }
    bool touched = false;
    if (const ArmedFault* f = matchFault(globalFaults_, trigger, argument, touched)) {
        out = *f;
        return true;
    }
    return false;
}

uint64_t SimHostIo::clockMs() const
{
    if (realClock_)
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count());
    return clockMs_.load();
}

void SimHostIo::addCtHandler(uint32_t code, CtHandler handler)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    vyn::hostsim::addCtHandler(dispatcher_, code, std::move(handler));
}

void SimHostIo::addEnclosureHandler(uint32_t commandWord, EmHandler handler)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    vyn::hostsim::addEnclosureHandler(dispatcher_, commandWord, std::move(handler));
}

std::vector<Request> SimHostIo::requests() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return std::vector<Request>(requests_.begin(), requests_.end());
}

void SimHostIo::clearRequests()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    requests_.clear();
}

std::vector<NodeEntry> SimHostIo::nodes()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return store_->nodes();
}

uint64_t SimHostIo::nodeReads() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return store_->nodeReads();
}

size_t SimHostIo::openNodeCount() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return open_.size();
}

bool SimHostIo::findNode(const std::string& path, NodeEntry& out)
{
    // The registry is replaced whole by a rename: a look-up needs no lock,
    // and reads the file again only when it changed.
    return store_->findNode(path.c_str(), out);
}

void SimHostIo::record(const Request& r)
{
    // The log of a long-lived process keeps the latest requests only.
    constexpr size_t kKeptRequests = 10000;
    if (requests_.size() >= kKeptRequests)
        requests_.pop_front();
    requests_.push_back(r);
    if (traceFile_.empty())
        return;
    if (FILE* f = std::fopen(traceFile_.c_str(), "a")) {
        std::fprintf(f, "%s\n", r.text().c_str());
        std::fclose(f);
    }
}

int SimHostIo::fail(Request& r, int error)
{
    r.error = error;
    record(r);
    errno = error;
    return -1;
}

int SimHostIo::open(const char* path, int flags, mode_t mode)
{
    if (path == nullptr) {
        errno = EFAULT;
        return -1;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    NodeEntry node;
    const bool registered = findNode(path, node);
    const bool bound = registered && node.type == 'c' && node.major == driver_.major && controllers_.count(node.minor) != 0;
    ArmedFault fault;
    if (faultFor(bound ? static_cast<int>(node.minor) : -1, "open", path, fault)) {
        errno = fault.errnoValue;
        return -1;
    }
    if (!registered) {
        const int fd = RealHostIo::open(path, flags, mode);
        if (fd >= 0 && (flags & O_ACCMODE) != O_RDONLY)
            watchHostFile(fd, path);
        return fd;
    }
    OpenNode bind{path, baseName(path), node.minor};
    if (!bound) {
        if (!bindDeviceNode(node, bind)) {
            errno = ENXIO;
            return -1;
        }
    } else if (const int e = controllers_[node.minor].openErrno) {
        errno = e;
        return -1;
    }
    // A genuine descriptor, so that numbers never collide with real ones.
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return -1;
    open_[fd] = bind;
    return fd;
}

int SimHostIo::close(int fd)
{
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        open_.erase(fd);
        forgetDescriptor(fd);
    }
    return RealHostIo::close(fd);
}

int SimHostIo::ioctl(int fd, unsigned long request, void* arg)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = open_.find(fd);
    if (it == open_.end())
        return RealHostIo::ioctl(fd, request, arg);
    OpenNode& node = it->second;
    ControllerState& c = controllers_[node.controller];
    // One hold of the lock for the whole request: its faults, its state and
    // what it changes are one step for every other process.
    StateStore::Guard guard(*store_);
    Request r;
    r.node = node.name;
    r.request = request;
    uint8_t* bytes = static_cast<uint8_t*>(arg);
    if ((request == kSendFib || request == kSendLargeFib) && bytes != nullptr && node.kind == NodeKind::Adapter) {
        r.isFib = true;
        r.command = getLe16(bytes + kFibCommand);
        r.xferState = getLe32(bytes + kFibXferState);
        r.size = getLe16(bytes + kFibSize);
        r.senderSize = getLe16(bytes + kFibSenderSize);
        if (r.command == kContainerCommand) {
            r.hasClass = true;
            r.fibClass = getLe32(bytes + kFibHeaderSize);
            r.ct = getLe32(bytes + kFibHeaderSize + 4);
        }
    }
    ArmedFault fault;
    if (faultsArmed(static_cast<int>(node.controller)) &&
        faultFor(static_cast<int>(node.controller), "ioctl", faultRequestText(request), fault)) {
        r.fault = static_cast<long>(fault.number);
        if (fault.effect == "errno")
            return fail(r, fault.errnoValue);
    }
    if (node.kind != NodeKind::Adapter || transportRequest(request)) {
        const int rc = transportIoctl(fd, node, request, arg, r);
        if (rc == 0 && r.fault >= 0 && fault.effect == "poke")
            pokeRecord(request, bytes, fault);
        return rc;
    }
    const bool known = request == kSendFib || request == kMiniportRevCheck || request == kGetPciBusSlot ||
                       request == kGetCodeVersionStatus;
    if (!known) {
        r.unhandled = true;
        return fail(r, ENOTTY);
    }
    if (bytes == nullptr)
        return fail(r, EFAULT);

    store_->refresh(c);
    switch (request) {
    case kSendFib:
        return sendFib(c, bytes, kFibSmall, r);
    case kMiniportRevCheck:
        // {u32 compatibility, revision: dash, type, minor, major, u32 build}
        putLe32(bytes, c.driverCompatible ? 1 : 0);
        bytes[4] = c.driverRevision.dash;
        bytes[5] = 0;
        bytes[6] = c.driverRevision.minor;
        bytes[7] = c.driverRevision.major;
        putLe32(bytes + 8, c.driverRevision.build);
        break;
    case kGetPciBusSlot:
        putLe32(bytes, c.pciBus);
        putLe32(bytes + 4, c.pciSlot);
        break;
    case kGetCodeVersionStatus:
        putLe32(bytes, c.codeVersionStatus);
        break;
    }
    record(r);
    return 0;
}

int SimHostIo::ioctlValue(int fd, unsigned long request, unsigned long value)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = open_.find(fd);
    if (it == open_.end())
        return RealHostIo::ioctlValue(fd, request, value);
    StateStore::Guard guard(*store_);
    Request r;
    r.node = it->second.name;
    r.request = request;
    ArmedFault fault;
    if (faultsArmed(static_cast<int>(it->second.controller)) &&
        faultFor(static_cast<int>(it->second.controller), "ioctl", faultRequestText(request), fault)) {
        r.fault = static_cast<long>(fault.number);
        return fail(r, fault.errnoValue);
    }
    if (request == kCloseAdapterFib && it->second.kind == NodeKind::Adapter)
        return closeChannel(static_cast<uint32_t>(value), r);
    r.unhandled = true;
    return fail(r, ENOTTY);
}

int SimHostIo::stat(const char* path, struct stat* st)
{
    if (path == nullptr || st == nullptr) {
        errno = EFAULT;
        return -1;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    // Every registered node has its placeholder file under the root, so a
    // path without a file that the registry did not hold when last read is
    // no node: the registry file is not looked at again for it. Host scans
    // probe many such paths.
    struct stat placeholder;
    const int found = RealHostIo::stat(path, &placeholder);
    const int error = errno;
    NodeEntry node;
    if ((found != 0 && error == ENOENT && !store_->nodeAsLastRead(path)) || !findNode(path, node)) {
        if (found == 0)
            *st = placeholder;
        errno = error;
        return found;
    }
    std::memset(st, 0, sizeof *st);
    const mode_t perms = found == 0 ? (placeholder.st_mode & 07777) : 0;
    st->st_mode = (node.type == 'c' ? S_IFCHR : S_IFBLK) | perms;
    st->st_rdev = makedev(node.major, node.minor);
    st->st_nlink = 1;
    return 0;
}

size_t SimHostIo::registerNodes(const std::vector<GatheredNode>& wanted)
{
    std::vector<NodeEntry> entries;
    entries.reserve(wanted.size());
    for (const GatheredNode& g : wanted)
        entries.push_back(g.entry);
    const std::vector<NodeEntry> added = store_->addNodes(entries);
    for (const NodeEntry& e : added) {
        mode_t mode = 0;
        for (const GatheredNode& g : wanted)
            if (g.entry.path == e.path) {
                mode = g.mode;
                break;
            }
        // An empty placeholder, so that listings of the directory see the node.
        const std::string host = root_ + e.path;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(host).parent_path(), ec);
        const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::fchmod(fd, mode & 07777);
            ::close(fd);
        }
    }
    return added.size();
}

int SimHostIo::mknod(const char* path, mode_t mode, dev_t dev)
{
    if (path == nullptr) {
        errno = EFAULT;
        return -1;
    }
    if (!S_ISCHR(mode) && !S_ISBLK(mode)) {
        errno = EINVAL;
        return -1;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    GatheredNode g;
    g.entry.path = path;
    g.entry.type = S_ISCHR(mode) ? 'c' : 'b';
    g.entry.major = ::major(dev);
    g.entry.minor = ::minor(dev);
    g.mode = mode;
    if (gathering_ != nullptr) {
        gathering_->push_back(g);
        return 0;
    }
    if (registerNodes({g}) == 0) {
        errno = EEXIST;
        return -1;
    }
    return 0;
}

int SimHostIo::unlink(const char* path)
{
    if (path == nullptr) {
        errno = EFAULT;
        return -1;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (store_->removeNode(path)) {
        ::unlink((root_ + path).c_str());
        return 0;
    }
    return RealHostIo::unlink(path);
}

void SimHostIo::sleepMs(unsigned ms)
{
    clockMs_.fetch_add(ms);
    const uint64_t real = static_cast<uint64_t>(ms) * sleepScale_.load() / 100;
    if (real > 0)
        RealHostIo::sleepMs(static_cast<unsigned>(real > 0xFFFFFFFFu ? 0xFFFFFFFFu : real));
}

std::unique_ptr<HostIo> makeSimHostIo(const char* selection)
{
    const std::string choice = selection == nullptr ? "default" : selection;
    if (choice == "default")
        return std::make_unique<SimHostIo>(defaultDescriptionText(), "default");
    // A directory opens like a file and reads as nothing at all.
    std::error_code ec;
    std::ifstream in(choice, std::ios::binary);
    std::ostringstream ss;
    if (in && std::filesystem::is_regular_file(choice, ec))
        ss << in.rdbuf();
    if (!in || in.bad() || !std::filesystem::is_regular_file(choice, ec))
        return std::make_unique<SimHostIo>("", choice, choice + ": cannot read the description");
    return std::make_unique<SimHostIo>(ss.str(), choice);
}

}  // namespace vyn::hostsim
