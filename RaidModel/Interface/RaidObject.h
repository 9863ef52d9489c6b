#ifndef VYN_RAIDMODEL_INTERFACE_RAIDOBJECT_H
#define VYN_RAIDMODEL_INTERFACE_RAIDOBJECT_H

#include <atomic>
#include <unordered_set>
#include <vector>

#include "RaidModel/Interface/Serializable.h"
#include "common/Addr.h"
#include "common/SimpleXmlParser.h"

class Reader;
class SASPhy;
class Writer;

// Live tree nodes of the whole process; the system handle reports it when it
// lets go of a tree, which makes leaked subtrees visible in the trace.
extern std::atomic<unsigned int> globalRaidObjectCounter;

// A node of the storage object tree. A parent owns its children, but frees
// them only through deleteAllChildren/deleteChild: the destructor leaves them
// alone, so that copies (which share the child pointers) never free anything.
class RaidObject : public Serializable {
public:
    RaidObject();
    RaidObject(const RaidObject& other);
    RaidObject& operator=(const RaidObject& other);
    ~RaidObject() override;

    bool operator==(const RaidObject& other) const;
    bool operator!=(const RaidObject& other) const;

    bool isInstanceOf(const char* name) const override;
    const char* typeName() const override;
    const char* serializedName() const override;
    void writeTo(Writer* writer) const override;
    void writeToXML(Writer* writer) const override;
    virtual void sortChildren();
    virtual void addChild(RaidObject* child);
    virtual void addChild(RaidObject* child, unsigned long index);
    // Called on every ancestor for each node that enters the subtree below
    // it; the only place where typed indexes are filled and ids stamped.
    virtual void descendantAdded(RaidObject* descendant);
    virtual void readFrom(Reader* reader);

    RaidObject* getParent() const { return parent; }
    void setParent(RaidObject* newParent) { parent = newParent; }
    std::vector<RaidObject*> getChildren() const { return children; }
    // The child list itself, for walks that change no child of this node.
    const std::vector<RaidObject*>& getChildList() const { return children; }
    unsigned long getChildCount() const { return children.size(); }
    unsigned long getNumChildren() const { return children.size(); }
    RaidObject* getChild(int i) const;
    Serializable* getAttachment() const { return attachment; }

    const Addr& getAddr() const { return address; }
    const Addr2& getAddr2() const { return address; }
    unsigned long getAdapterID() const;
    unsigned long getArrayID() const;
    unsigned long getLogicalDriveID() const;
    unsigned long getChannelID() const;
    unsigned long getDeviceID() const;
    unsigned long getPhysicalDeviceID() const;
    unsigned long long getChunkID() const;
    unsigned long getItemID() const;
    unsigned long getSASPhyID() const;
    EnumStorLibType getStorLibType() const;

    // Ancestors stamp their ids into the nodes added below them.
    void setAdapterID(unsigned long id);
    void setArrayID(unsigned long id);
    void setLogicalDriveID(unsigned long id);
    void setChannelID(unsigned long id);
    void setDeviceID(unsigned long id);
    void setChunkID(unsigned long long id);
    void setItemID(unsigned long id);
    void setSASPhyID(unsigned long id);
    void setStorLibType(EnumStorLibType type);

    void deleteChild(RaidObject* child);
    void deleteAllChildren();
    RaidObject* getRoot();
    const RaidObject* getRoot() const;
    bool hasAncestor(const RaidObject* ancestor) const;
    bool isAncestorOf(const RaidObject* node) const;
    void attach(Serializable* newAttachment);

    // Lookup below this node; the node itself is never compared.
    RaidObject* getChild(const Addr& addr, bool recursive) const;
    RaidObject* getChild(const Addr2& addr, bool recursive) const;
    // Lookup including this node; a logical-drive address searches the
    // whole tree, because logical drives may hang below spanning drives.
    RaidObject* getObject(const Addr& addr);
    RaidObject* getObject(const Addr2& addr);
    RaidObject* getObject(unsigned long adapterID, unsigned long arrayID, unsigned long logicalDriveID,
                          unsigned long channelID, unsigned long deviceID);
    void getChildren(std::vector<RaidObject*>& out, bool recursive, bool unique) const;
    void getChildren(std::vector<RaidObject*>& out, const char* className, bool recursive,
                     bool unique) const;
    // The same with the caller's visited set, which must hold what `out`
    // holds: a caller listing many subtrees keeps both and clears them
    // between calls instead of building a set each time.
    void getChildren(std::vector<RaidObject*>& out, const char* className, bool recursive, bool unique,
                     std::unordered_set<const RaidObject*>& seen) const;
    // Every SAS phy below this node (the controller's, the devices' and the
    // enclosure slots'), depth-first.
    std::vector<SASPhy*> getSASPhys() const;

    // The attributes of the node's XML start tag, collected by the builders.
    XmlAttributeList_C& getAttributes() { return attributes; }
    const XmlAttributeList_C& getAttributes() const { return attributes; }
    void initBaseAttributes();

private:
    void writeBaseAttributes(Writer* writer, bool withAttachment) const;
    void notifyAncestors(RaidObject* node);
    RaidObject* findLogicalDrive(unsigned long adapterID, unsigned long logicalDriveID);
    template <class A>
    RaidObject* findChild(const A& addr, bool recursive) const;
    template <class A>
    RaidObject* findObject(const A& addr);
    template <class A>
    RaidObject* getObjectHelper(const A& addr);
    static void collectChildren(const RaidObject* node, std::vector<RaidObject*>& out,
                                const char* className, bool recursive, bool unique,
                                std::unordered_set<const RaidObject*>& seen);

    std::vector<RaidObject*> children;
    RaidObject* parent;
    Serializable* attachment;
    Addr2 address;
    XmlAttributeList_C attributes;
};

#endif
