#ifndef VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNTASKPROGRESS_H
#define VYN_RAIDMODEL_IMPLEMENTATION_VYN_VYNTASKPROGRESS_H

#include "Command/Vyn/common/fa_callbacksup.h"
#include "common/TaskEnums.h"

class Progress;
class Ret;
class VynLogicalDriveInfo;

// Firmware tasks as the model's progress records.

// The model's task type of a task descriptor's task function (word 1).
EnumTaskType VynGetTaskType(const FSA_TASK_DESCRIPTOR* descriptor);
// Whether the controller takes a new pace (delay) for a task of `function`.
bool taskSupportsSettingItsPriority(FSA_TASK_FUNCTION function);
// The priority of the tasks on a logical drive, from its record's delay.
EnumPriorityLevel VynGetTaskPriority(const VynLogicalDriveInfo* info);
// Fills the state, percent and explanation of the task `progress` names.
// A record already filled from another task keeps the less advanced one.
void VynGetTaskDetails(void* handle, Progress& progress, Ret& ret);
// The first task on a logical drive's container (on the container its
// record relates to, for a related container below 64) into `progress`; no
// task leaves it unchanged.
void VynGetLogicalDriveProgress(void* handle, VynLogicalDriveInfo* info, Progress& progress, Ret& ret);

#endif
