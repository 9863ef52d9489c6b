#ifndef VYN_COMMON_TASKENUMS_H
#define VYN_COMMON_TASKENUMS_H

// Background tasks of a controller. Each is a 32-bit integer; firmware may
// report values outside the named ones, hence the fixed underlying type.

enum EnumTaskType : int {
    TASK_TYPE_NONE = 0,
    TASK_TYPE_CLEAR = 1,
    TASK_TYPE_FORMAT = 2,
    TASK_TYPE_VERIFY_WITH_FIX = 3,
    TASK_TYPE_BUILD_VERIFY = 4,
    TASK_TYPE_VERIFY = 5,
    TASK_TYPE_REBUILD = 6,
    TASK_TYPE_RECONFIGURATION = 7,
    TASK_TYPE_SNAPSHOT = 8,
    TASK_TYPE_COPYBACK = 9,
    TASK_TYPE_COMPACTING = 10,
    TASK_TYPE_EXPANDING = 11,
    TASK_TYPE_BACKUP_SNAPSHOT = 12,
    TASK_TYPE_SECURE_ERASE = 13,
    TASK_TYPE_FLUSH = 16
};

enum EnumTaskState : int {
    TASK_STATE_NONE = 0,
    TASK_STATE_COMPLETE = 1,
    TASK_STATE_IN_PROGRESS = 2,
    TASK_STATE_FAILED = 3,
    TASK_STATE_PAUSED = 4,
    TASK_STATE_ABORTED = 5,
    TASK_STATE_PREEMPTED = 6,
    TASK_STATE_PENDING = 7
};

enum EnumPriorityLevel : int {
    PRIORITY_LOW = 0,
    PRIORITY_MEDIUM = 1,
    PRIORITY_HIGH = 2
};

#endif
