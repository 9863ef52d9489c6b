#include "platform/hostsim/state/StateStore.h"

#include "platform/hostsim/desc/Description.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <unordered_set>

namespace vyn::hostsim {

std::string NodeEntry::line() const
{
    return path + " " + type + " " + std::to_string(major) + " " + std::to_string(minor);
}

StateStore::StateStore(std::string root, bool persist)
    : root_(std::move(root)), dir_(root_ + "/var/lib/hostsim"), persist_(persist)
{
}

StateStore::~StateStore()
{
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

StateStore::Guard::Guard(StateStore& store) : store_(store)
{
    store_.mutex_.lock();
    if (store_.persist_ && store_.lockDepth_++ == 0) {
        if (store_.lockFd_ < 0) {
            std::error_code ec;
            std::filesystem::create_directories(store_.dir_, ec);
            store_.lockFd_ = ::open((store_.dir_ + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        }
        if (store_.lockFd_ >= 0)
            while (::flock(store_.lockFd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
}

StateStore::Guard::~Guard()
{
    if (store_.persist_ && --store_.lockDepth_ == 0) {
        store_.refreshedInHold_.clear();
        if (store_.lockFd_ >= 0)
            ::flock(store_.lockFd_, LOCK_UN);
    }
    store_.mutex_.unlock();
}

std::string StateStore::statePath(unsigned index) const
{
    return dir_ + "/adapter" + std::to_string(index) + ".state";
}

StateStore::Stamp StateStore::stampOf(const struct ::stat& st)
{
    Stamp out;
    out.dev = st.st_dev;
    out.ino = st.st_ino;
    out.size = st.st_size;
    out.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return out;
}

bool StateStore::stampOf(const std::string& path, Stamp& out) const
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    out = stampOf(st);
    return true;
}

StateStore::Loaded StateStore::load(const std::string& path, ControllerState& live, uint64_t& seedOut,
                                    std::string& error)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT)
        return Loaded::Missing;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    if (in)
        ss << in.rdbuf();
    if (!in || !S_ISREG(st.st_mode)) {
        error = path + ":1: the state file cannot be read";
        return Loaded::Damaged;
    }
    const std::string text = ss.str();
    // Every state file this simulator writes ends with its [hostsim] section
    // and a line feed: a file cut short misses one or the other.
    const auto lineFeeds = std::count(text.begin(), text.end(), '\n');
    if (text.empty()) {
        error = path + ":1: the state file is empty";
        return Loaded::Damaged;
    }
    if (text.back() != '\n') {
        error = path + ":" + std::to_string(lineFeeds + 1) + ": the state file ends inside a line";
        return Loaded::Damaged;
    }
    Description desc;
    if (!desc.parse(text, path, error))
        return Loaded::Damaged;
    if (!desc.has("hostsim.seed") || !desc.has("hostsim.generation") || !desc.has("hostsim.clock_ms")) {
        error = path + ":" + std::to_string(lineFeeds) + ": the state file ends before its [hostsim] seed, generation and clock_ms";
        return Loaded::Damaged;
    }
    seedOut = parseWide(desc.get("hostsim.seed"));
    const unsigned index = live.index;
    std::vector<ControllerState::CtTransfer> ctTransfers = std::move(live.ctTransfers);
    const uint32_t nextCtTransfer = live.nextCtTransfer;
    ControllerState::FlashTransfer flashTransfer = std::move(live.flashTransfer);
    std::vector<ControllerState::FlashRequest> flashRequests = std::move(live.flashRequests);
    live = ControllerState::fromDescription(desc, index);
    live.ctTransfers = std::move(ctTransfers);
    live.nextCtTransfer = nextCtTransfer;
    live.flashTransfer = std::move(flashTransfer);
    live.flashRequests = std::move(flashRequests);
    loadFlash(live);
    return Loaded::Read;
}

void StateStore::keepDamaged(const std::string& path, const std::string& error, const char* then)
{
    std::string kept;
    for (unsigned k = 1; k < 1000 && kept.empty(); ++k) {
        const std::string candidate = path + ".damaged-" + std::to_string(k);
        struct stat st;
        if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT)
            kept = candidate;
    }
    if (!kept.empty() && std::rename(path.c_str(), kept.c_str()) == 0)
        std::fprintf(stderr, "hostsim: %s; the damaged file is kept as %s; %s\n", error.c_str(), kept.c_str(), then);
    else
        std::fprintf(stderr, "hostsim: %s; the damaged file could not be kept aside; %s\n", error.c_str(), then);
}

void StateStore::removeLeftovers()
{
    leftoversRemoved_ = true;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir_, ec)) {
        // "<file>.<pid>.tmp"
        const std::string name = entry.path().filename().string();
        const size_t suffix = name.size() >= 4 ? name.size() - 4 : std::string::npos;
        if (suffix == std::string::npos || name.compare(suffix, 4, ".tmp") != 0)
            continue;
        const size_t dot = name.rfind('.', suffix - 1);
        if (dot == std::string::npos || dot + 1 == suffix ||
            name.find_first_not_of("0123456789", dot + 1) != suffix)
            continue;
        const long pid = std::strtol(name.c_str() + dot + 1, nullptr, 10);
        // Writers hold the lock while their file exists; a living process
        // other than this one is left alone all the same.
        if (pid != static_cast<long>(::getpid()) && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0)
            continue;
        std::filesystem::remove(entry.path(), ec);
    }
}

std::string StateStore::flashPath(unsigned index, uint32_t id) const
{
    return dir_ + "/adapter" + std::to_string(index) + ".flash." + std::to_string(id);
}

void StateStore::loadFlash(ControllerState& live)
{
    std::map<uint32_t, uint64_t>& written = flashWritten_[live.index];
    written.clear();
    for (auto it = live.flash.begin(); it != live.flash.end();) {
        std::ifstream in(flashPath(live.index, it->first), std::ios::binary);
        if (!in) {
            it = live.flash.erase(it);
            continue;
        }
        it->second.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        written[it->first] = it->second.digest;
        ++it;
    }
}

// Images go before the state file that names them, each only when it changed.
void StateStore::saveFlash(const ControllerState& live)
{
    std::map<uint32_t, uint64_t>& written = flashWritten_[live.index];
    for (const auto& [id, image] : live.flash) {
        auto it = written.find(id);
        if (it != written.end() && it->second == image.digest)
            continue;
        const std::string content(image.bytes.begin(), image.bytes.end());
        if (writeAtomically(flashPath(live.index, id), content))
            written[id] = image.digest;
    }
}

bool StateStore::writeAtomically(const std::string& path, const std::string& content, Stamp* written)
{
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    const std::string tmp = path + "." + std::to_string(::getpid()) + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    // On the disk before it takes the file's name: a crash then leaves the
    // old file or the new one, never one cut short.
    if (::fsync(fd) != 0 && errno != EINVAL) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename keeps the inode, size and time: this is the stamp the file
    // will show.
    struct stat st;
    const bool stamped = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (written != nullptr) {
        if (stamped)
            *written = stampOf(st);
        else if (!stampOf(path, *written))
            *written = Stamp();
    }
    return true;
}

void StateStore::seed(ControllerState& live, uint64_t seed)
{
    seed_ = seed;
    if (!persist_)
        return;
    if (!leftoversRemoved_)
        removeLeftovers();
    const std::string path = statePath(live.index);
    ControllerState stored = live;
    uint64_t storedSeed = 0;
    std::string error;
    const Loaded got = load(path, stored, storedSeed, error);
    if (got == Loaded::Read && storedSeed == seed) {
        live = stored;
        Stamp st;
        if (stampOf(path, st))
            stamps_[live.index] = st;
        return;
    }
    if (got == Loaded::Damaged)
        keepDamaged(path, error, "starting from the description");
    save(live);
}

void StateStore::refresh(ControllerState& live)
{
    if (!persist_)
        return;
    if (std::find(refreshedInHold_.begin(), refreshedInHold_.end(), live.index) != refreshedInHold_.end())
        return;
    if (lockDepth_ > 0)
        refreshedInHold_.push_back(live.index);
    const std::string path = statePath(live.index);
    Stamp now;
    if (!stampOf(path, now)) {
        save(live);
        return;
    }
    auto it = stamps_.find(live.index);
    if (it != stamps_.end() && it->second == now)
        return;
    ControllerState stored = live;
    uint64_t storedSeed = 0;
    std::string error;
    const Loaded got = load(path, stored, storedSeed, error);
    if (got == Loaded::Damaged) {
        keepDamaged(path, error, "going on from the state this process read last");
        save(live);
        return;
    }
    if (got == Loaded::Read && storedSeed == seed_)
        live = stored;
    stamps_[live.index] = now;
}

void StateStore::save(ControllerState& live)
{
    if (!persist_)
        return;
    ++live.generation;
    saveFlash(live);
    const std::string path = statePath(live.index);
    Stamp st;
    if (writeAtomically(path, live.toText(seed_), &st))
        stamps_[live.index] = st;
}

namespace {

// The next field of a registry line, blanks skipped; empty at its end.
std::string_view nextField(std::string_view& line)
{
    size_t from = 0;
    while (from < line.size() && (line[from] == ' ' || line[from] == '\t' || line[from] == '\r'))
        ++from;
    size_t to = from;
    while (to < line.size() && line[to] != ' ' && line[to] != '\t' && line[to] != '\r')
        ++to;
    const std::string_view field = line.substr(from, to - from);
    line.remove_prefix(to);
    return field;
}

bool parseUnsigned(std::string_view field, unsigned& out)
{
    const char* end = field.data() + field.size();
    const auto result = std::from_chars(field.data(), end, out);
    return !field.empty() && result.ec == std::errc() && result.ptr == end;
}

}  // namespace

// One line per node; a line that is not `<path> c|b <major> <minor>` is
// passed over.
std::vector<NodeEntry> StateStore::parseNodes(const std::string& text)
{
    std::vector<NodeEntry> nodes;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
        const std::string_view path = nextField(line);
        const std::string_view type = nextField(line);
        NodeEntry e;
        if (path.empty() || type.size() != 1 || (type[0] != 'c' && type[0] != 'b') ||
            !parseUnsigned(nextField(line), e.major) || !parseUnsigned(nextField(line), e.minor))
            continue;
        e.path.assign(path);
        e.type = type[0];
        nodes.push_back(std::move(e));
    }
    return nodes;
}

const std::vector<NodeEntry>& StateStore::nodes()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!persist_)
        return memoryNodes_;
    const std::string path = dir_ + "/nodes";
    Stamp now;
    if (!stampOf(path, now))
        now = Stamp();
    if (nodesCached_ && now == nodesStamp_)
        return cachedNodes_;
    remember(now.size < 0 ? std::vector<NodeEntry>() : readNodes(), now);
    return cachedNodes_;
}

void StateStore::indexNodes(const std::vector<NodeEntry>& nodes)
{
    cachedIndex_.clear();
    for (size_t i = 0; i < nodes.size(); ++i)
        cachedIndex_.emplace(std::string_view(nodes[i].path), i);
}

void StateStore::remember(std::vector<NodeEntry> nodes, const Stamp& stamp)
{
    cachedNodes_ = std::move(nodes);
    indexNodes(cachedNodes_);
    nodesStamp_ = stamp;
    nodesCached_ = true;
}

bool StateStore::findNode(const char* path, NodeEntry& out)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::vector<NodeEntry>& known = nodes();
    auto it = cachedIndex_.find(std::string_view(path));
    if (it == cachedIndex_.end() || it->second >= known.size())
        return false;
    out = known[it->second];
    return true;
}

bool StateStore::nodeAsLastRead(const char* path)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return (persist_ && !nodesCached_) || cachedIndex_.count(std::string_view(path)) != 0;
}

std::vector<NodeEntry> StateStore::readNodes()
{
    if (!persist_)
        return memoryNodes_;
    ++nodeReads_;
    std::ifstream in(dir_ + "/nodes", std::ios::binary);
    std::string text;
    if (in)
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return parseNodes(text);
}

const std::vector<NodeEntry>& StateStore::readNodesLocked()
{
    if (!persist_)
        return memoryNodes_;
    Stamp now;
    if (!stampOf(dir_ + "/nodes", now))
        now = Stamp();
    remember(now.size < 0 ? std::vector<NodeEntry>() : readNodes(), now);
    return cachedNodes_;
}

std::vector<NodeEntry> StateStore::addNodes(const std::vector<NodeEntry>& wanted)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nodes();
    // Start-up registers the same nodes in every process: nothing to change.
    if (std::all_of(wanted.begin(), wanted.end(),
                    [this](const NodeEntry& e) { return cachedIndex_.count(std::string_view(e.path)) != 0; }))
        return {};
    Guard guard(*this);
    std::vector<NodeEntry> nodes = readNodesLocked();
    std::vector<NodeEntry> added;
    std::unordered_set<std::string_view> adding;
    for (const NodeEntry& e : wanted)
        if (cachedIndex_.count(std::string_view(e.path)) == 0 && adding.insert(std::string_view(e.path)).second)
            added.push_back(e);
    if (!added.empty()) {
        nodes.insert(nodes.end(), added.begin(), added.end());
        writeNodes(nodes);
    }
    return added;
}

bool StateStore::removeNode(const char* path)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nodes();
    if (cachedIndex_.count(std::string_view(path)) == 0)
        return false;
    Guard guard(*this);
    std::vector<NodeEntry> nodes = readNodesLocked();
    auto it = std::find_if(nodes.begin(), nodes.end(), [path](const NodeEntry& e) { return e.path == path; });
    if (it == nodes.end())
        return false;
    nodes.erase(it);
    writeNodes(nodes);
    return true;
}

void StateStore::writeNodes(const std::vector<NodeEntry>& nodes)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!persist_) {
        memoryNodes_ = nodes;
        indexNodes(memoryNodes_);
        return;
    }
    std::string text;
    for (const NodeEntry& e : nodes)
        text += e.line() + "\n";
    Stamp written;
    if (writeAtomically(dir_ + "/nodes", text, &written)) {
        remember(nodes, written);
    } else {
        nodesCached_ = false;
    }
}

}  // namespace vyn::hostsim
