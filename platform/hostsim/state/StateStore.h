#ifndef VYN_PLATFORM_HOSTSIM_STATE_STATESTORE_H
#define VYN_PLATFORM_HOSTSIM_STATE_STATESTORE_H

#include "platform/hostsim/state/Controller.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>
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
    // (missing, other seed) writes `live` as the new state. A damaged file is
    // named on standard error and kept aside first (keepDamaged).
    void seed(ControllerState& live, uint64_t seed);
    // Reloads `live` when its file changed since this process read or wrote
    // it. Within one hold of the lock no other process can write it, so the
    // file is looked at once per hold. A damaged file is named and kept aside,
    // and `live`, the state this process last had, is written in its place.
    void refresh(ControllerState& live);
    // Writes `live` (generation + 1) through a temporary file and a rename.
    void save(ControllerState& live);

    // The node registry as the file holds it now; read again only when the
    // file's stamp changed. Files are replaced whole by a rename, so a reader
    // needs no lock.
    const std::vector<NodeEntry>& nodes();
    // False when the registry as last read holds no such path (no look at
    // the file).
    bool nodeAsLastRead(const char* path);
    // The node registered at `path` (nodes() as it is now).
    bool findNode(const char* path, NodeEntry& out);
    // Changes of the registry. Each answers "already there" or "absent" from
    // the registry as last read while its file is unchanged, with neither the
    // lock nor a read; only a real change takes the lock, reads the file
    // afresh and writes it back.
    // Registers every entry of `wanted` whose path is not registered, in one
    // write; returns those it added.
    std::vector<NodeEntry> addNodes(const std::vector<NodeEntry>& wanted);
    // False when no node is registered at `path`.
    bool removeNode(const char* path);
    // How often this store has read the registry file.
    uint64_t nodeReads() const { return nodeReads_; }

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
    static Stamp stampOf(const struct ::stat& st);
    enum class Loaded { Missing, Damaged, Read };
    // Damaged: a file that is there but does not read as a whole state file;
    // `error` then names the file and line.
    Loaded load(const std::string& path, ControllerState& live, uint64_t& seedOut, std::string& error);
    // Says what is wrong on standard error and moves the file to a name of
    // its own beside it (adapterN.state.damaged-K), so that writing the new
    // state destroys no evidence.
    void keepDamaged(const std::string& path, const std::string& error, const char* then);
    // Temporary files of writers that died before their rename; under the
    // lock no living writer has one open.
    void removeLeftovers();
    // Flash images live in files of their own (adapterN.flash.<id>).
    std::string flashPath(unsigned index, uint32_t id) const;
    void loadFlash(ControllerState& live);
    void saveFlash(const ControllerState& live);
    // `written` gets the stamp of the file as written.
    bool writeAtomically(const std::string& path, const std::string& content, Stamp* written = nullptr);
    static std::vector<NodeEntry> parseNodes(const std::string& text);
    // The registry read from its file now; under the Guard, where no other
    // process writes it, it is remembered with the file's stamp.
    std::vector<NodeEntry> readNodes();
    const std::vector<NodeEntry>& readNodesLocked();
    void writeNodes(const std::vector<NodeEntry>& nodes);
    // The registry as read or written now, with its file's stamp.
    void remember(std::vector<NodeEntry> nodes, const Stamp& stamp);
    void indexNodes(const std::vector<NodeEntry>& nodes);

    std::string root_;
    std::string dir_;
    bool persist_;
    std::recursive_mutex mutex_;
    int lockFd_ = -1;
    int lockDepth_ = 0;
    uint64_t seed_ = 0;
    std::map<unsigned, Stamp> stamps_;
    // The digest of every flash image file as this process read or wrote it.
    std::map<unsigned, std::map<uint32_t, uint64_t>> flashWritten_;
    // Controllers already looked at in the current hold of the lock.
    std::vector<unsigned> refreshedInHold_;
    bool leftoversRemoved_ = false;
    std::vector<NodeEntry> memoryNodes_;
    // The node registry as last read or written, and the stamp of its file
    // then (size -1: no file).
    std::vector<NodeEntry> cachedNodes_;
    // Where each path is in the registry as last read (views of its paths).
    std::unordered_map<std::string_view, size_t> cachedIndex_;
    Stamp nodesStamp_;
    bool nodesCached_ = false;
    uint64_t nodeReads_ = 0;
};

}  // namespace vyn::hostsim

#endif
