#include "platform/hostsim/SimHostIo.h"

#include "common/HostPath.h"
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/desc/Description.h"
#include "platform/hostsim/Transport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

// Driver requests answered here; the transport's own are in Transport.h.
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

std::string hexRequest(unsigned long request)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lx", request);
    return buf;
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

    Description desc;
    std::string error = loadError;
    if (error.empty() && !desc.parse(descriptionText, source, error))
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
            initial_[p.first] = ControllerState::fromDescription(desc, p.first);
        // Faults written in the description.
        std::map<std::string, Fault> described;
        for (const auto& [key, value] : desc.values()) {
            const size_t f = key.find(".fault");
            if (f == std::string::npos)
                continue;
            const std::string id = key.substr(0, key.rfind('.'));
            const std::string field = key.substr(key.rfind('.') + 1);
            Fault& fault = described[id];
            if (field == "on")
                fault.on = value;
            else if (field == "errno")
                fault.effect = "errno = " + value;
            else if (field == "status")
                fault.effect = "status = " + value;
            else if (field == "skip")
                fault.skip = parseInteger(value);
            else if (field == "times")
                fault.times = parseInteger(value);
        }
        for (const auto& [id, fault] : described)
            describedFaults_.push_back({static_cast<int>(std::strtoul(id.c_str() + 7, nullptr, 10)), fault});
    }
    store_ = std::make_unique<StateStore>(root_, persist_);
    provisionHostText(root_, driver_, initial_.empty() ? -1 : static_cast<int>(initial_.rbegin()->first));
    seedControllers();
    registerDevices();
}

SimHostIo::~SimHostIo()
{
    for (const auto& entry : open_)
        ::close(entry.first);
}

void SimHostIo::seedControllers()
{
    controllers_ = initial_;
    faults_.clear();
    for (const auto& [adapter, fault] : describedFaults_)
        faults_.add(adapter, fault);
    StateStore::Guard guard(*store_);
    for (auto& entry : controllers_)
        store_->seed(entry.second, seed_);
}

void SimHostIo::reset()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    requests_.clear();
    clockMs_.store(0);
    // A reset starts afresh: state files are rewritten from the description.
    controllers_ = initial_;
    faults_.clear();
    for (const auto& [adapter, fault] : describedFaults_)
        faults_.add(adapter, fault);
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
    return faults_.add(adapter, fault);
}

void SimHostIo::addCtHandler(uint32_t code, CtHandler handler)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    vyn::hostsim::addCtHandler(dispatcher_, code, std::move(handler));
}

std::vector<Request> SimHostIo::requests() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return requests_;
}

void SimHostIo::clearRequests()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    requests_.clear();
}

std::vector<NodeEntry> SimHostIo::nodes()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    StateStore::Guard guard(*store_);
    return store_->readNodes();
}

size_t SimHostIo::openNodeCount() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return open_.size();
}

bool SimHostIo::findNode(const std::string& path, NodeEntry& out)
{
    StateStore::Guard guard(*store_);
    for (const NodeEntry& e : store_->readNodes())
        if (e.path == path) {
            out = e;
            return true;
        }
    return false;
}

void SimHostIo::record(const Request& r)
{
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
    if (const FaultList::Armed* f = faults_.match(bound ? static_cast<int>(node.minor) : -1, "open", path)) {
        errno = f->errnoValue;
        return -1;
    }
    if (!registered) {
        const int fd = RealHostIo::open(path, flags, mode);
        // Writes to the SCSI hosts' files are what the host makes of them.
        unsigned host = 0;
        char tail = 0;
        Watched w{Observed::Scan, 0};
        bool watch = false;
        if (std::sscanf(path, "/sys/class/scsi_host/host%u/scan%c", &host, &tail) == 1) {
            w = Watched{Observed::Scan, host};
            watch = true;
        } else if (std::sscanf(path, "/sys/class/scsi_host/host%u/reset_host%c", &host, &tail) == 1 ||
                   std::sscanf(path, "/proc/scsi/ulbraid/%u%c", &host, &tail) == 1) {
            w = Watched{Observed::Reset, host};
            watch = true;
        } else if (std::strcmp(path, "/proc/scsi/scsi") == 0) {
            w = Watched{Observed::ProcScsi, 0};
            watch = true;
        }
        if (fd >= 0 && watch && (flags & O_ACCMODE) != O_RDONLY)
            watched_[fd] = w;
        return fd;
    }
    OpenNode bind{path, baseName(path), node.minor};
    if (!bound) {
        bool found = false;
        if (node.type == 'c' && node.major == kSgMajor && node.minor < generic_.size()) {
            bind.kind = NodeKind::Generic;
            bind.controller = generic_[node.minor].controller;
            bind.device = static_cast<unsigned>(generic_[node.minor].device);
            found = true;
        } else if (node.type == 'b' && node.major == kSdMajor) {
            const char letter = static_cast<char>('a' + node.minor / 16);
            if (letter == 'a') {
                bind.kind = NodeKind::ForeignDisk;
                found = true;
            }
            for (const auto& [key, l] : sdLetter_)
                if (l == letter) {
                    bind.kind = NodeKind::Disk;
                    bind.controller = key.first;
                    bind.device = key.second;
                    found = true;
                }
        }
        if (!found) {
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
        watched_.erase(fd);
        for (auto it = channels_.begin(); it != channels_.end();)
            it = it->second.fd == fd ? channels_.erase(it) : std::next(it);
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
    Request r;
    r.node = node.name;
    r.request = request;
    uint8_t* bytes = static_cast<uint8_t*>(arg);
    if ((request == kSendFib || request == kSendLargeFib) && bytes != nullptr) {
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
    if (const FaultList::Armed* f = faults_.match(static_cast<int>(node.controller), "ioctl", hexRequest(request))) {
        r.fault = static_cast<long>(f->number);
        return fail(r, f->errnoValue);
    }
    if (node.kind != NodeKind::Adapter || transportRequest(request))
        return transportIoctl(fd, node, request, arg, r);
    const bool known = request == kSendFib || request == kMiniportRevCheck || request == kGetPciBusSlot ||
                       request == kGetCodeVersionStatus;
    if (!known) {
        r.unhandled = true;
        return fail(r, ENOTTY);
    }
    if (bytes == nullptr)
        return fail(r, EFAULT);

    StateStore::Guard guard(*store_);
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
    Request r;
    r.node = it->second.name;
    r.request = request;
    if (const FaultList::Armed* f = faults_.match(static_cast<int>(it->second.controller), "ioctl", hexRequest(request))) {
        r.fault = static_cast<long>(f->number);
        return fail(r, f->errnoValue);
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
    NodeEntry node;
    if (!findNode(path, node))
        return RealHostIo::stat(path, st);
    std::memset(st, 0, sizeof *st);
    struct stat placeholder;
    const mode_t perms = ::stat((root_ + node.path).c_str(), &placeholder) == 0 ? (placeholder.st_mode & 07777) : 0;
    st->st_mode = (node.type == 'c' ? S_IFCHR : S_IFBLK) | perms;
    st->st_rdev = makedev(node.major, node.minor);
    st->st_nlink = 1;
    return 0;
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
    StateStore::Guard guard(*store_);
    std::vector<NodeEntry> nodes = store_->readNodes();
    for (const NodeEntry& e : nodes)
        if (e.path == path) {
            errno = EEXIST;
            return -1;
        }
    NodeEntry e;
    e.path = path;
    e.type = S_ISCHR(mode) ? 'c' : 'b';
    e.major = ::major(dev);
    e.minor = ::minor(dev);
    nodes.push_back(e);
    store_->writeNodes(nodes);
    // An empty placeholder, so that listings of the directory see the node.
    const std::string host = root_ + e.path;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(host).parent_path(), ec);
    const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, mode & 07777);
        ::close(fd);
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
    StateStore::Guard guard(*store_);
    std::vector<NodeEntry> nodes = store_->readNodes();
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        if (it->path == path) {
            nodes.erase(it);
            store_->writeNodes(nodes);
            ::unlink((root_ + path).c_str());
            return 0;
        }
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
    std::ifstream in(choice, std::ios::binary);
    if (!in)
        return std::make_unique<SimHostIo>("", choice, choice + ": cannot read the description");
    std::ostringstream ss;
    ss << in.rdbuf();
    return std::make_unique<SimHostIo>(ss.str(), choice);
}

}  // namespace vyn::hostsim
