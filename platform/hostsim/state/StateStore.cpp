#include "platform/hostsim/state/StateStore.h"

#include "platform/hostsim/desc/Description.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

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
    if (store_.persist_ && --store_.lockDepth_ == 0 && store_.lockFd_ >= 0)
        ::flock(store_.lockFd_, LOCK_UN);
    store_.mutex_.unlock();
}

std::string StateStore::statePath(unsigned index) const
{
    return dir_ + "/adapter" + std::to_string(index) + ".state";
}

bool StateStore::stampOf(const std::string& path, Stamp& out) const
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    out.dev = st.st_dev;
    out.ino = st.st_ino;
    out.size = st.st_size;
    out.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return true;
}

bool StateStore::load(const std::string& path, ControllerState& live, uint64_t& seedOut)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    Description desc;
    std::string error;
    if (!desc.parse(ss.str(), path, error) || !desc.has("hostsim.seed"))
        return false;
    seedOut = parseWide(desc.get("hostsim.seed"));
    const unsigned index = live.index;
    std::vector<ControllerState::CtTransfer> ctTransfers = std::move(live.ctTransfers);
    const uint32_t nextCtTransfer = live.nextCtTransfer;
    live = ControllerState::fromDescription(desc, index);
    live.ctTransfers = std::move(ctTransfers);
    live.nextCtTransfer = nextCtTransfer;
    return true;
}

bool StateStore::writeAtomically(const std::string& path, const std::string& content)
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
    ::close(fd);
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

void StateStore::seed(ControllerState& live, uint64_t seed)
{
    seed_ = seed;
    if (!persist_)
        return;
    const std::string path = statePath(live.index);
    ControllerState stored = live;
    uint64_t storedSeed = 0;
    if (load(path, stored, storedSeed) && storedSeed == seed) {
        live = stored;
        Stamp st;
        if (stampOf(path, st))
            stamps_[live.index] = st;
        return;
    }
    save(live);
}

void StateStore::refresh(ControllerState& live)
{
    if (!persist_)
        return;
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
    if (load(path, stored, storedSeed) && storedSeed == seed_)
        live = stored;
    stamps_[live.index] = now;
}

void StateStore::save(ControllerState& live)
{
    if (!persist_)
        return;
    ++live.generation;
    const std::string path = statePath(live.index);
    if (writeAtomically(path, live.toText(seed_))) {
        Stamp st;
        if (stampOf(path, st))
            stamps_[live.index] = st;
    }
}

std::vector<NodeEntry> StateStore::readNodes()
{
    if (!persist_)
        return memoryNodes_;
    std::vector<NodeEntry> nodes;
    std::ifstream in(dir_ + "/nodes");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        NodeEntry e;
        std::string type;
        if (ls >> e.path >> type >> e.major >> e.minor && type.size() == 1 && (type[0] == 'c' || type[0] == 'b')) {
            e.type = type[0];
            nodes.push_back(e);
        }
    }
    return nodes;
}

void StateStore::writeNodes(const std::vector<NodeEntry>& nodes)
{
    if (!persist_) {
        memoryNodes_ = nodes;
        return;
    }
    std::string text;
    for (const NodeEntry& e : nodes)
        text += e.line() + "\n";
    writeAtomically(dir_ + "/nodes", text);
}

}  // namespace vyn::hostsim
