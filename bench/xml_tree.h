#ifndef VYN_BENCH_XML_TREE_H
#define VYN_BENCH_XML_TREE_H

#include <memory>
#include <string>

#include "RaidModel/Interface/RaidObject.h"
#include "common/Writer.h"

namespace vynbench {

// A node of a generated configuration tree: its address and five attributes
// of the kinds a real drive writes.
class BenchNode : public RaidObject {
public:
    BenchNode(const char* element, unsigned long serial) : element_(element), serial_(serial) {}

    const char* serializedName() const override { return element_; }
    void writeTo(Writer* w) const override
    {
        RaidObject::writeTo(w);
        w->writeString("name", "Vendor Model <rev 1.0> & co");
        w->writeULong("serial", serial_);
        w->writeU64("totalSize", 1953525168ULL + serial_);
        w->writeBool("writeCache", (serial_ & 1) != 0);
        w->writeInt("state", static_cast<int>(serial_ % 10));
    }

private:
    const char* element_;
    unsigned long serial_;
};

// The whole tree goes with its root.
struct BenchTree {
    std::unique_ptr<BenchNode> root;
    ~BenchTree()
    {
        if (root)
            root->deleteAllChildren();
    }
};

// Four levels: a root, 4 controllers, 16 channels each and 77 devices per
// channel, 4,997 nodes in all.
inline void buildBenchTree(BenchTree& tree)
{
    unsigned long serial = 0;
    tree.root.reset(new BenchNode("System", serial++));
    for (unsigned long c = 0; c < 4; ++c) {
        BenchNode* controller = new BenchNode("Controller", serial++);
        controller->setAdapterID(c);
        tree.root->addChild(controller);
        for (unsigned long ch = 0; ch < 16; ++ch) {
            BenchNode* channel = new BenchNode("Channel", serial++);
            channel->setAdapterID(c);
            channel->setChannelID(ch);
            controller->addChild(channel);
            for (unsigned long d = 0; d < 77; ++d) {
                BenchNode* device = new BenchNode("HardDrive", serial++);
                device->setAdapterID(c);
                device->setChannelID(ch);
                device->setDeviceID(d);
                channel->addChild(device);
            }
        }
    }
}

} // namespace vynbench

#endif
