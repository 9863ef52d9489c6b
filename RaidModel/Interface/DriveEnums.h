#ifndef VYN_RAIDMODEL_INTERFACE_DRIVEENUMS_H
#define VYN_RAIDMODEL_INTERFACE_DRIVEENUMS_H

// Codes of logical drives, chunks and spares. The model stores and writes
// them as 32-bit integers; their full lists belong to the controller family.

enum EnumChunkState : int {
    CHUNK_STATE_NORMAL = 0,
    CHUNK_STATE_FAILED_SEGMENT = 2
};

enum EnumSpareType : int {
    SPARE_NONE = 0,
    SPARE_GLOBAL = 1,
    SPARE_DEDICATED = 2
};

enum EnumLogicalDeviceSubState : int {
    LD_SUBSTATE_UNINITIALIZED = 5,
    LD_SUBSTATE_CLEARING = 6,
    LD_SUBSTATE_IMPACTED = 7,
    LD_SUBSTATE_NONE = 0x7FFFFFFF
};

enum EnumLDMorphType : int {
    LD_MORPH_NONE = 0
};

enum EnumLogicalDriveHasPartition : int {
    LD_HAS_NO_PARTITION = 0,
    LD_HAS_PARTITION = 1
};

enum EnumLogicalDevicePMState : int {};

#endif
