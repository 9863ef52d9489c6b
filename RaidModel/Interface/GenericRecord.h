#ifndef VYN_RAIDMODEL_INTERFACE_GENERICRECORD_H
#define VYN_RAIDMODEL_INTERFACE_GENERICRECORD_H

#include <cstdint>

// A raw controller event record. No controller of this system fills one; the
// type exists so that the event interface keeps its shape.
struct GenericRecord {
    std::uint32_t code = 0;
    std::uint32_t data[15] = {};
};

#endif
