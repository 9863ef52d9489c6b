#ifndef VYN_COMMON_STORLIBTYPE_H
#define VYN_COMMON_STORLIBTYPE_H

// The storage-library family that owns an object or a debug state. Only the
// values this system relies on are named; any value 0..13 may be stored.
enum EnumStorLibType : unsigned int {
    STORLIB_TYPE_NONE = 0,
    STORLIB_TYPE_VYN = 9,
    STORLIB_TYPE_LAST = 13
};

#endif
