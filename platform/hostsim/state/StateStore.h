#ifndef VYN_PLATFORM_HOSTSIM_STATE_STATESTORE_H
#define VYN_PLATFORM_HOSTSIM_STATE_STATESTORE_H

#include "platform/hostsim/state/Controller.h"

#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vyn::hostsim {

// One registered device node: `<logical path> c|b <major> <minor>`.
struct NodeEntry {
    std::string path;
    char type = 'c';
    unsigned major = 0;
    unsigned minor = 0;
    std::string line() const;
};

// The files under $VYN_HOST_ROOT/var/lib/hostsim/ that several simulators,
// in one process or many, share: the node registry, one state file per
// controller, and `lock`. With persist off everything stays in memory.
class StateStore {
public:
    StateStore(std::string root, bool persist);
    ~StateStore();
    StateStore(const StateStore&) = delete;
    StateStore& operator=(const StateStore&) = delete;

    bool persist() const { return persist_; }
    const std::string& dir() const { return dir_; }
    const std::string& root() const { return root_; }

    // Holds the simulator's mutex and an exclusive flock of `lock`; every
    // operation below runs under it.
    class Guard {
    public:
        explicit Guard(StateStore& store);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        StateStore& store_;
    };

    // Takes the controller's state file when its seed is `seed`; otherwise
    // (missing, unreadable, other seed) writes `live` as the new state.
    void seed(ControllerState& live, uint64_t seed);
    // Reloads `live` when its file changed since this process read or wrote it.
    void refresh(ControllerState& live);
    // Writes `live` (generation + 1) through a temporary file and a rename.
    void save(ControllerState& live);

    std::vector<NodeEntry> readNodes();
    void writeNodes(const std::vector<NodeEntry>& nodes);

private:
    struct Stamp {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = -1;
        long long mtimeNs = 0;
        bool operator==(const Stamp& o) const
        {
            return dev == o.dev && ino == o.ino && size == o.size && mtimeNs == o.mtimeNs;
        }
    };
    std::string statePath(unsigned index) const;
    bool stampOf(const std::string& path, Stamp& out) const;
    bool load(const std::string& path, ControllerState& live, uint64_t& seedOut);
    bool writeAtomically(const std::string& path, const std::string& content);

    std::string root_;
    std::string dir_;
    bool persist_;
    std::recursive_mutex mutex_;
    int lockFd_ = -1;
    int lockDepth_ = 0;
    uint64_t seed_ = 0;
    std::map<unsigned, Stamp> stamps_;
    std::vector<NodeEntry> memoryNodes_;
};

}  // namespace vyn::hostsim

#endif
