#ifndef VYN_RAIDMODEL_INTERFACE_SERIALIZABLE_H
#define VYN_RAIDMODEL_INTERFACE_SERIALIZABLE_H

class Writer;

// Anything that can write itself through a Writer: the tree nodes and the
// attachment objects that ride on them.
class Serializable {
public:
    virtual ~Serializable();

    // Class identity is asked by name so that indexes, filters and the facade
    // work without run-time type information; overriders defer to their base.
    virtual bool isInstanceOf(const char* name) const = 0;
    virtual const char* typeName() const = 0;
    virtual const char* serializedName() const;
    virtual void writeTo(Writer* writer) const;
    virtual void writeToXML(Writer* writer) const;
};

#endif
