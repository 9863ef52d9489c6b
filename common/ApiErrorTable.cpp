#include "common/ApiErrorTable.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// Texts that several statuses share.
constexpr const char kSegmentOrStripeSizeInvalid[] =
    "The specified segment or stripe size is invalid.";
constexpr const char kNoErrorDescription[] =
    "Could not translate error message to its text description.";
constexpr const char kNotSnapshot[] =
    "This operation cannot be performed because the logical device is not a snapshot"
    " logical device.";
constexpr const char kTooManyPartitions[] =
    "This operation would exceed the maximum number of partitions for this logical device"
    " type.";
constexpr const char kNoMessageDescription[] =
    "ERROR TEXT: Could not translate message to its text description.";

// One row per firmware API status, in ascending order of status.
constexpr ApiErrorRow kRows[] = {
    {0, "No further details."},
    {1, "The operation was successful."},
    {2, "The remote computer could not be found."},
    {3, "The requested controller does not exist."},
    {4, "All controllers on the system have been iterated."},
    {5, "Buffer allocated to return data is too small."},
    {6, "General failure: The requested function failed."},
    {7, "One of the parameters specified is invalid."},
    {8, "The specified controller name is invalid."},
    {9, "The handle used in the call is not valid for this process."},
    {10, "There are no more devices in the search list."},
    {11, "The specified logical device was not found."},
    {12, "The specified device was not found."},
    {13, "There are no more partitions in the search list."},
    {14, "The specified partition was not found."},
    {15, "The user does not have sufficient privileges for the attempted operation."},
    {16, "The device or partition specified in two places do not match."},
    {17, "The maximum number of logical devices has been exceeded for this controller."},
    {18, "There was no file system found on the specified logical device."},
    {19, "Some or all of the space information provided was unusable or invalid."},
    {20, "The specified disk is already initialized for logical device usage, and no override"
            " was requested."},
    {21, "Creation of a mirror set is not supported by this function."},
    {22, "The specified logical device type is invalid for the attempted operation."},
    {23, "The logical device number specified as the destination in the move or rename"
            " operation is already in use."},
    {24, "Too many elements were specified to create a logical device."},
    {25, "The specified logical device sizes must be the same for stripe sets or RAID-5 sets."},
    {26, kSegmentOrStripeSizeInvalid},
    {27, "Too many devices were specified for use in the requested operation."},
    {28, "One or more of the specified storage devices is either invalid or does not exist."},
    {29, "The specified option for the failover routine is invalid."},
    {30, "The function specified for the mirror routine is invalid."},
    {31, "The function specified is not supported for this controller."},
    {32, "The specified drive letter was not an alphabetic character."},
    {33, "The specified drive letter is already in use."},
    {34, "The specified drive letter is currently assigned to a disk drive that was not"
            " initialized for logical device operations on the controller."},
    {35, "The specified logical device has no drive letter assigned to it."},
    {36, "The specified channel was not found on the controller."},
    {37, "The logical device-specific packet that was sent to the controller has a bad status."},
    {38, "The logical device-specific packet had an invalid response from the controller."},
    {39, "The logical device command to get a partition table entry failed."},
    {40, "An attempt to read the master boot record on the drive failed."},
    {41, "A specified logical device component was not valid for the specified operation."},
    {42, "The operation could not be performed because the specified logical device is locked."
            "  Firmware is performing an operation on the drive.  Please retry later."},
    {43, "The controller was not successful in renaming the logical device."},
    {44, "The controller was not successful in destroying the logical device."},
    {45, "The controller was not able to erase the file system from the specified logical"
            " device."},
    {46, "The controller was not able to add space to the specified volume set or to add a"
            " logical device to the specified multilevel volume set."},
    {47, "The controller was not able to mirror the specified logical device."},
    {48, "The controller was not able to get the status of the specified mirror set."},
    {49, "The controller was not able to assign the requested spare (failover space)."},
    {50, "The controller cannot get the assigned spare (failover) information."},
    {51, "The controller cannot unmirror the specified logical device."},
    {52, kNoErrorDescription},
    {53, kNoErrorDescription},
    {54, "The controller cannot split the specified logical device."},
    {55, "The controller cannot abort the mirror operation for the specified logical device."},
    {56, "The controller cannot lock the specified logical device."},
    {57, "The controller cannot unlock the specified logical device."},
    {58, "The driver cannot execute the requested IOCTL."},
    {59, "The internal structures have an invalid type of controller."},
    {60, "The internal structures have invalid communications structures, not network or"
            " local."},
    {61, "The internal logical device structures on the controller are invalid."},
    {62, "The controller cannot mount the file system on the specified logical device."},
    {63, "The file system could not be created because too many options were specified."},
    {64, "The controller cannot create or extend the file system.  The maximum number of file"
            " system tasks may have been exceeded or the logical device is too small to extend."},
    {65, "The driver cannot delete the disk device."},
    {66, "The routine called with the specified parameters is not implemented yet."},
    {67, "The operating system cannot release all links to this logical device.  Please close"
            " any programs that are using this logical device.  If programs are not using it,"
            " shutting down this system cleanly and rebooting will allow deletion."},
    {68, "The driver cannot add a disk device to the logical device."},
    {69, "The specified drive letter is not being used by any disk."},
    {70, "The operating system cannot return the disk device for the specified drive letter."},
    {71, "The SCSI packet was too large for the internal send routine to format for the"
            " controller."},
    {72, "The SCSI packet send routine detected a bad status from the controller."},
    {73, "The API could not create a handle to open the controller.  Internal failure."},
    {74, "The specified remote node is not the same as the previous, and the firstInList was"
            " FALSE."},
    {75, "The operation could not be completed because the mirror set is not in the broken"
            " state."},
    {76, "The disk that needed to be locked could not be opened.  You do not have sufficient"
            " privileges to perform the operation."},
    {77, "The disk is in use.  Close any applications that references the disk."},
    {78, "The disk could not be dismounted even though the lock was obtained."},
    {79, "The disk could not be unlocked, even though it was successfully dismounted."},
    {80, "The logical device must be locked for this operation to succeed."},
    {81, "The OMRAPI.DLL is too old to work with the currently running application."},
    {82, "The currently running application is too old to work with the current OMRAPI.DLL."},
    {83, "The file system driver is too old to work with the current OMRAPI.DLL."},
    {84, "The miniport device driver is too old to work with the current OMRAPI.DLL."},
    {85, "The controller software is too old to work with the current OMRAPI.DLL."},
    {86, "The current OMRAPI.DLL is too old to work with the current file system device"
            " driver."},
    {87, "The current OMRAPI.DLL is too old to work with the current miniport driver."},
    {88, "The current OMRAPI.DLL is too old to work with the current controller software."},
    {89, "The storage device initialization failed because too many partition entries were"
            " requested."},
    {90, "The storage device initialization failed because too few partition entries were"
            " requested."},
    {91, "An internal structure could not be allocated; there is probably not enough memory"
            " available."},
    {92, "The specified operation was not valid for this function."},
    {93, "The system could not complete the requested operation because the specified logical"
            " device has important data on it."},
    {94, "The operation requires that a file system exists, but none was found."},
    {95, "The unmirror operation could not be completed because the logical device of mirror"
            " sets is in the wrong state."},
    {96, "The redundant logical device's background consistency check operation could not be"
            " initiated because the controller ran out of memory."},
    {97, "The redundant logical device's background consistency check operation could not be"
            " performed because it was in the wrong state."},
    {98, "The redundant logical device's background consistency check could not be started."},
    {99, "This is the last time this callback will be called.  The pAppInfo pointer is no"
            " longer referenced."},
    {100, "Can not change the status of the task ID.  Most likely, the task that you are"
             " attempting to change has already completed or was aborted."},
    {101, "The specified task ID does not exist."},
    {102, "The task could not be started on the controller."},
    {103, "The task could not be stopped on the controller."},
    {104, "The task could not be suspended on the controller."},
    {105, "The task could not be resumed on the controller."},
    {106, "The task list could not be read from the controller."},
    {107, "The maximum number of tasks is already running on this controller."},
    {108, "The specified task priority is invalid."},
    {109, "The specified task type is invalid for the attempted operation."},
    {110, "The status of the task could not be read from the controller."},
    {111, "The task for the requested operation is already finished, however it may take some"
             " time for the interface to reflect these changes."},
    {112, "The task for the requested operation is already suspended."},
    {113, "The task for the requested operation is already running."},
    {114, "The task for the requested operation is not suspended, so it cannot be resumed."},
    {115, "The task for the requested operation is not running."},
    {116, "The task for the requested operation has already been aborted."},
    {117, "The task callback could not be registered."},
    {118, "The task callback could not be removed."},
    {119, "The maximum number of task callbacks is already registered for this controller."},
    {120, "The specified task callback was not found."},
    {121, "The controller is already open in an access mode that does not allow the requested"
             " open."},
    {122, "This operation can only be performed if the controller was opened for read-write"
             " access."},
    {123, "This operation can only be performed if the controller was opened for read-only"
             " access."},
    {124, "This operation requires that the controller be opened with read-write or low-level"
             " read-only access."},
    {125, "The controller could not be opened for read-write access."},
    {126, "The controller could not be opened for read-only access."},
    {127, "The controller could not be closed."},
    {128, "The controller could not be paused."},
    {129, "The controller is paused.  It must be resumed before the request can be executed."},
    {130, "The controller could not be resumed."},
    {131, "The controller is not paused, so it cannot be resumed."},
    {132, "The controller is already paused."},
    {133, "The controller did not finish its outstanding requests before the pause timed out."},
    {134, "Another application has opened this controller for read-write access."},
    {135, "The controller could not be opened because the maximum number of open handles has"
             " been reached."},
    {136, "The specified disk is in use by the operating system and cannot be used for the"
             " requested operation."},
    {137, "The requested operation could not be done because there are active logical devices"
             " currently using that disk."},
    {138, "The specified disk is not initialized for use with the controller."},
    {139, "The specified disk is already initialized."},
    {140, "The specified disk could not be initialized."},
    {141, "The specified disk could not be uninitialized."},
    {142, "The specified disk has failed and cannot be used for the requested operation."},
    {143, "The specified disk is too small for the requested operation."},
    {144, "The specified disk is a hot spare and cannot be used for the requested operation."},
    {145, "The operation cannot be done while a task is running on the specified logical device"
             " or storage device."},
    {146, "The operation failed because the new logical device size is too small."},
    {147, "The specified free space must be aligned to 64 KB and have a size that is a multiple"
             " of 64 KB."},
    {148, "The specified free space is already in use by another logical device."},
    {149, "The specified free space does not exist."},
    {150, "The specified free space overlaps with itself."},
    {151, "The specified free space is too small for the requested logical device."},
    {152, "The pause and rescan operations cannot be done while any tasks are running on the"
             " controller."},
    {153, "The bus rescan operation failed."},
    {154, "Not enough devices were specified in the create a multilevel logical device of"
             " mirror sets operation."},
    {155, "The task suspend and resume operations are not supported for SCSI tasks.  Use"
             " terminate and then restart."},
    {156, "The task could not be terminated."},
    {157, "The task could not be started on the specified SCSI device."},
    {158, "The specified SCSI device does not support the requested task."},
    {159, "The verify task could not be started on the specified SCSI device."},
    {160, "The format task could not be started on the specified SCSI device."},
    {161, "The specified SCSI device is busy with another task."},
    {162, "The controller could not be reset."},
    {163, "The controller reset did not complete in time."},
    {164, "The NVRAM information could not be read from the controller."},
    {165, "The NVRAM information could not be written to the controller."},
    {166, "The call to the controller for NVRAM operations failed."},
    {167, "The controller cannot start a recondition operation right now; please try again"
             " later."},
    {168, "There are no more entries in the controller log."},
    {169, "The controller log could not be read."},
    {170, "The controller log could not be cleared."},
    {171, "The battery information could not be read from the controller."},
    {172, "The controller does not have a battery installed."},
    {173, "The battery parameters could not be read."},
    {174, "The battery recondition operation could not be started."},
    {175, "The controller clock could not be set."},
    {176, "Container tasks that are being executed to rebuild redundant logical devices cannot"
             " be terminated."},
    {177, "The rebuild task could not be started on the specified logical device."},
    {178, "The logical device is not degraded, so no rebuild is needed."},
    {179, "The specified device is too small to rebuild the logical device."},
    {180, "This operation can only be performed on a redundant logical device (that is, RAID-5"
             " set or mirror set)."},
    {181, "This operation can only be performed on a logical device whose state is optimal."},
    {182, "This operation cannot be performed on a logical device that is offline."},
    {183, "The snapshot logical device could not be created."},
    {184, "The snapshot logical device could not be deleted."},
    {185, kNotSnapshot},
    {186, kNotSnapshot},
    {187, "The specified logical device already has a snapshot logical device."},
    {188, "The maximum number of snapshot logical devices has been reached for this controller."},
    {189, "The snapshot logical device ran out of space and is no longer valid."},
    {190, "The controller cannot create a snapshot logical device because there is not enough"
             " controller memory."},
    {191, "The snapshot logical device could not be created because the original logical device"
             " is too small."},
    {192, "The backing store of the snapshot logical device is too small for the original"
             " logical device."},
    {193, "A snapshot logical device cannot be the original logical device of another snapshot."},
    {194, "The snapshot logical device could not be committed to the original logical device."},
    {195, "The snapshot logical device could not be aborted."},
    {196, "The BREL Remote Management Services Agent could not be contacted."},
    {197, "The BREL Remote Management Services Agent could not impersonate the client."},
    {198, "The BREL Remote Management Services Agent refused the connection."},
    {199, "The BREL Remote Management Services Agent closed the connection unexpectedly."},
    {200, "The BREL Remote Management Services Agent did not answer in time."},
    {201, "The network connection to the remote computer could not be established."},
    {202, "The remote computer is already registered in the remote connection database."},
    {203, "The BREL Remote Management Service Agent is out of date."},
    {204, "The remote computer is not registered in the remote connection database."},
    {205, "The attempted operation cannot be done while a clear logical device task is running"
             " on the logical device."},
    {206, "The clear logical device task could not be started."},
    {207, "The clear logical device task could not be stopped because it was not running."},
    {208, "The controller could not enter maintenance mode."},
    {209, "The requested operation cannot be done while the controller is in maintenance mode."},
    {210, "There was an internal error creating the requested logical device.  The logical"
             " device was not created."},
    {211, "A RAID-5 set must have a minimum of 3 elements to be created."},
    {212, "Too many elements were specified for a RAID-5 set."},
    {213, "The function requested is not available on this host operating system."},
    {214, "The requested operation cannot be done using a mirror set."},
    {215, "The requested operation cannot be done using a stripe set."},
    {216, "The requested operation cannot be done using a volume set."},
    {217, "The requested operation cannot be done using a multilevel logical device."},
    {218, "The requested operation cannot be done using a RAID 0/1 set."},
    {219, "The requested operation cannot be done on a hidden logical device."},
    {220, "The requested operation cannot be done while a file system is mounted on the logical"
             " device."},
    {221, "The logical device could not be hidden."},
    {222, "The logical device could not be made visible."},
    {223, "The requested operation cannot be done using a RAID-5 set."},
    {224, "The logical device could not be expanded."},
    {225, "The logical device could not be migrated to the requested RAID level."},
    {226, "The mirror delay must be between 0 and 100."},
    {227, "The specified elements are not all the same size."},
    {228, "The specified elements belong to different controllers."},
    {229, "The specified logical device is a member of another logical device and cannot be"
             " used by itself."},
    {230, "The BREL Remote Management Services Agent is not running."},
    {231, "The BREL Remote Management Services Agent could not be started."},
    {232, "The open controller operation failed to complete before time-out."},
    {233, "The specified controller name is too long."},
    {234, "The domain name was specified twice."},
    {235, "The specified domain name is invalid."},
    {236, "The specified remote computer name is invalid."},
    {237, "The user name or password for the remote computer is invalid."},
    {238, "The remote computer runs a version of the management software that is not compatible"
             " with this one."},
    {239, "The remote connection database could not be read."},
    {240, "The remote connection database could not be written."},
    {241, "The snapshot logical device could not be created because the original logical device"
             " is itself a snapshot."},
    {242, "The specified segment size is invalid for this logical device type."},
    {243, "The specified stripe size is invalid for this logical device type."},
    {244, "The specified segment size is not supported by this controller."},
    {245, "The snapshot logical device could not be created because the specified segment or"
             " stripe size is invalid."},
    {246, "The specified enclosure could not be found."},
    {247, "The enclosure status could not be read."},
    {248, "The enclosure fan could not be controlled."},
    {249, "The enclosure power supply could not be controlled."},
    {250, "The enclosure temperature sensor could not be read."},
    {251, "The enclosure alarm could not be controlled."},
    {252, "The enclosure slot could not be identified."},
    {253, "The enclosure slot could not be prepared for removal."},
    {254, "The enclosure slot could not be prepared for insertion."},
    {255, "The enclosure does not support the requested slot operation."},
    {256, "The enclosure is busy; please try again later."},
    {257, "The command or requested operation to the disk enclosure failed."},
    {258, "The enclosure management processor did not respond in time."},
    {259, "The enclosure management page is invalid or incomplete."},
    {260, "The enclosure configuration changed since it was last read."},
    {261, "The enclosure firmware could not be updated."},
    {262, "The specified enclosure processor ID specifies a device that does not exist."},
    {263, "The enclosure operation failed.  Verify that the specified enclosure exists and is"
             " powered on and functioning properly.  It may be necessary to rescan the controller"
             " to allow the controller to make all enclosures and disks available."},
    {264, "The enclosure management command is invalid."},
    {265, "The enclosure management subcommand is invalid."},
    {266, "The specified enclosure management parameter is invalid."},
    {267, "The enclosure management processor is not supported by this controller."},
    {268, "The specified SCSI device could not be made to blink."},
    {269, "The specified SCSI device could not be stopped from blinking."},
    {270, "The attempted operation failed because a task is already running on the specified"
             " SCSI device."},
    {271, "The specified SCSI device could not be spun up."},
    {272, "The specified SCSI device could not be spun down."},
    {273, "The inquiry data of the specified SCSI device could not be read."},
    {274, "The capacity of the specified SCSI device could not be read."},
    {275, "The mode page of the specified SCSI device could not be read."},
    {276, "The mode page of the specified SCSI device could not be written."},
    {277, "The write cache setting of the specified SCSI device could not be changed."},
    {278, "The specified SCSI device did not respond to the command."},
    {279, "The specified SCSI device returned a check condition."},
    {280, "The specified SCSI device is reserved by another initiator."},
    {281, "The firmware of the specified SCSI device could not be updated."},
    {282, "The SCSI command is not supported by the specified device."},
    {283, kNoMessageDescription},
    {284, "The partition table could not be read."},
    {285, "A dead partition could not be recovered because it is locked."},
    {286, "The partition could not be created."},
    {287, "The partition could not be deleted."},
    {288, "The partition could not be resized."},
    {289, "The specified SCSI device is not initialized for use with the controller."},
    {290, "There was no free space on the specified device."},
    {291, "The specified device is already in use by a logical device."},
    {292, "The specified device is not a disk."},
    {293, "The specified device is removable and cannot be used for the requested operation."},
    {294, "The specified device has a sector size that is not supported."},
    {295, "The specified device is offline."},
    {296, "The specified device could not be marked as failed."},
    {297, kNoMessageDescription},
    {298, "The specified device could not be brought online."},
    {299, "The device list could not be read from the controller."},
    {300, "There are not enough free partition entries on the disk to complete the requested"
             " operation."},
    {301, "The controller cannot be opened while it is paused."},
    {302, "The controller cannot update the partition table.  The limit of 30 partitions on a"
             " disk may have been exceeded."},
    {303, "The partition table on the disk is invalid."},
    {304, kNoMessageDescription},
    {305, "Could not load omrappse.dll."},
    {306, "The requested function could not be found in omrappse.dll."},
    {307, "The logical device could not be extended."},
    {308, "The logical device cannot be extended because there is no free space after it."},
    {309, "The logical device could not be shrunk."},
    {310, "Could not extend the logical device.  The minimum logical device extension size is"
             " 32 MB."},
    {311, kNoMessageDescription},
    {312, "The NVRAM boot parameters could not be read."},
    {313, "All NVRAM boot parameter slots have been used.  The maximum number has been"
             " exceeded."},
    {314, "The specified NVRAM boot parameter slot is empty."},
    {315, "The NVRAM boot parameters could not be written."},
    {316, "The controller cache could not be flushed."},
    {317, "The cache settings could not be read from the controller."},
    {318, "The cache settings could not be written to the controller."},
    {319, "The cache block size is invalid."},
    {320, "The cache parameter is invalid."},
    {321, "The cache cannot be enabled because the battery is low or missing."},
    {322, "The logical device is locked.  Firmware is performing an operation on the drive that"
             " was not yet completed.  Please retry later."},
    {323, "The reconfigure operation failed."},
    {324, kSegmentOrStripeSizeInvalid},
    {325, "The reconfigure operation failed because the new logical device size was too small."},
    {326, "The destination logical device type for the logical device reconfiguration operation"
             " is not supported."},
    {327, "The logical device reconfiguration operation failed due to a resource conflict."},
    {328, "The logical device reconfiguration operation could not be started."},
    {329, "A reconfiguration is already in progress on the specified logical device."},
    {330, "The configuration on the controller changed during the call."},
    {331, "A logical device's cache may not be enabled unless cache buffers are allocated. "
             " Allocate global cache buffers and try again."},
    {332, "The global cache buffers could not be allocated."},
    {333, "The global cache buffers could not be released."},
    {334, "A mirror set can only be created using two partitions or devices."},
    {335, "A RAID 0/1 set must be created from an even number of partitions or devices."},
    {336, "There are no pending events."},
    {337, "The event could not be read from the controller."},
    {338, "Error count must be between 0 and 65536."},
    {339, "The error count could not be read."},
    {340, "The error count could not be written."},
    {341, "The spare (failover space) assignment could not be removed."},
    {342, "The specified device is not assigned as a spare."},
    {343, "The specified device is already assigned as a spare."},
    {344, "The spare device is too small to protect the logical device."},
    {345, "The maximum number of spare devices has already been assigned."},
    {346, "The automatic failover setting could not be read."},
    {347, "The automatic failover setting could not be changed."},
    {348, "The copy back setting could not be changed."},
    {349, "The copy back operation could not be started."},
    {350, "The partition could not be marked as failed because it is locked."},
    {351, "The partition could not be marked as failed."},
    {352, "The partition could not be restored."},
    {353, "The logical device could not be restored from its failed state."},
    {354, "The logical device could not be forced online."},
    {355, "The logical device could not be taken offline."},
    {356, "The specified logical device name is invalid."},
    {357, "The specified logical device name is too long."},
    {358, "The logical device name could not be changed."},
    {359, "The logical device could not be renumbered because the new number is invalid."},
    {360, "The logical device could not be moved."},
    {361, "The read cache setting of the logical device could not be changed."},
    {362, "The write cache setting of the logical device could not be changed."},
    {363, "The write cache of the logical device cannot be enabled without a working battery."},
    {364, "The requested operation cannot be done because the controller ran out of memory."},
    {365, "The requested operation cannot be done because it was in the wrong state."},
    {366, "The redundant logical device check could not be started."},
    {367, "The task resume and task suspend operations cannot be performed on this task type."},
    {368, "The priority of this task type cannot be changed."},
    {369, "The command or requested operation to the disk enclosure is not supported."},
    {370, "The specified reconfigure operation cannot be done because it was in the wrong"
             " state."},
    {371, "The reconfigure operation could not be stopped."},
    {372, "The reconfigure operation could not be resumed."},
    {373, "The reconfigure operation is not supported for the specified logical device type."},
    {374, "The reconfigure operation is not supported for the specified segment size."},
    {375, "The reconfigure operation needs more free space than is available."},
    {376, "The reconfigure operation would make the logical device smaller than its file"
             " system."},
    {377, "The reconfigure operation cannot change the number of elements of this logical"
             " device type."},
    {378, "The reconfigure operation cannot be done while the logical device is degraded."},
    {379, "The reconfigure operation cannot be done while a snapshot of the logical device"
             " exists."},
    {380, "The reconfigure operation cannot be done on a logical device on a shared channel."},
    {381, "The reconfigure operation failed because the controller ran out of memory."},
    {382, "The status of the reconfigure operation could not be read."},
    {383, "The specified device failed to read one or more SMART error detection values."},
    {384, "The specified device failed to set one or more SMART error detection values."},
    {385, "Container reconfiguration operations may not be terminated."},
    {386, "The logical device verify task could not be stopped."},
    {387, "The logical device verify with fix task could not be started."},
    {388, "There is no free logical device number to promote the logical device to."},
    {389, "The logical device could not be promoted."},
    {390, "The logical device could not be demoted."},
    {391, "The logical device is already accessible to the operating system."},
    {392, "The specified operation works only with an OMR file system.  The OMR file system is"
             " not supported on this controller."},
    {393, "The OMR file system could not be created."},
    {394, "The OMR file system could not be checked."},
    {395, "The specified drive number is invalid."},
    {396, "The specified channel number is invalid."},
    {397, "The specified target ID is invalid."},
    {398, "The specified LUN is invalid."},
    {399, "The controller could not be prepared for removal."},
    {400, "The controller could not be brought back after its removal."},
    {401, "Cache operations for hidden logical devices are not allowed."},
    {402, "The partner logical device does not match the specified logical device."},
    {403, "The specified logical device is not the partner of a mirror set."},
    {404, "The partner of the mirror set could not be found."},
    {405, "The logical device has no dead partitions to restore."},
    {406, "The hidden logical device could not be found."},
    {407, "The maximum number of hidden logical devices has been reached."},
    {408, "The hot-plug operation could not be performed on the specified device."},
    {409, "The specified device cannot be removed while it is in use."},
    {410, "The specified device was removed during the operation."},
    {411, "The new device could not be found after the hot-plug operation."},
    {412, "The controller firmware does not support the hot-plug operation."},
    {413, "Shared channels are not supported by this controller."},
    {414, "The specified channel is not a shared channel."},
    {415, "The cluster configuration could not be read."},
    {416, "The cluster configuration could not be written."},
    {417, "The cluster partner adapter did not respond."},
    {418, "The cluster partner adapter is not found."},
    {419, "Scanning of NetWare servers is not supported.  Press the Manage Remote Controllers"
             " button to register specific NetWare servers with BREL."},
    {420, "The NetWare server could not be registered with BREL."},
    {421, "One or more of the specified logical devices does not exist or is not valid for the"
             " operation attempted."},
    {422, "The logical device could not be reserved."},
    {423, "Communication to adapter failed."},
    {424, "The logical device could not be released."},
    {425, "The logical device is reserved by another host."},
    {426, "The diskset could not be created."},
    {427, "The diskset could not be deleted."},
    {428, "The specified diskset was not found."},
    {429, "The specified diskset label is invalid."},
    {430, "The diskset could not be moved to the other controller."},
    {431, "The diskset is owned by the other controller."},
    {432, "The diskset could not be reserved."},
    {433, "The diskset could not be released."},
    {434, "The specified disk is not a member of the diskset."},
    {435, "The specified disk is already a member of a diskset."},
    {436, "The disk could not be added to the diskset."},
    {437, "The disk could not be removed from the diskset."},
    {438, "The diskset information could not be read."},
    {439, "The maximum number of disks in a diskset has been reached."},
    {440, "The file system could not be mounted."},
    {441, "The file system could not be unmounted."},
    {442, "The file system could not be checked."},
    {443, "The file system is damaged and must be repaired before it can be used."},
    {444, "The file system type is not supported."},
    {445, "The specified file system label is invalid."},
    {446, "The specified file system block size is invalid."},
    {447, "The file system is full."},
    {448, "The file system could not be formatted."},
    {449, "The file system format task could not be started."},
    {450, "The file system share could not be created."},
    {451, "The file system share could not be removed."},
    {452, "The specified file system share name is invalid."},
    {453, "The specified file system share name is already in use."},
    {454, "The operating system service could not be started."},
    {455, "The operating system service could not be stopped."},
    {456, "The operating system service is not installed."},
    {457, "The operating system registry could not be read."},
    {458, "The operating system registry could not be written."},
    {459, "The operating system reported an error that has no description."},
    {460, kNoMessageDescription},
    {461, "The SMART status of the specified device could not be read."},
    {462, "The specified device does not support SMART."},
    {463, "SMART could not be enabled on the specified device."},
    {464, "SMART could not be disabled on the specified device."},
    {465, "The SMART error detection values of the specified device are invalid."},
    {466, "The operation to update the error count of the specified S.M.A.R.T.  device failed."},
    {467, "The operation to clear the error count of the specified S.M.A.R.T.  device failed."},
    {468, "The specified operation cannot be accomplished because the S.M.A.R.T.  device is not"
             " set to an MRIE of 6."},
    {469, "The operation to turn on (enable) automatic rebuild (failover) for the specified"
             " controller failed."},
    {470, "The operation to display the automatic rebuild (failover) status for the specified"
             " controller failed."},
    {471, "The operation to turn off (disable) automatic rebuild (failover) for the specified"
             " controller failed."},
    {472, "The currently opened controller does not support the logical device create snapshot"
             " operation."},
    {473, "The requested controller is of the wrong type."},
    {474, "The multilevel logical device operation failed because no logical devices were"
             " specified."},
    {475, "Failed to open adapter lock file, nnn=ssssssssssssssssssssssssssssss."},
    {476, "Failed to close adapter lock file, nnn=ssssssssssssssssssssssssssssss."},
    {477, "Failed to create adapter lock file, nnn=ssssssssssssssssssssssssssssss."},
    {478, "Failed to lock/unlock adapter lock file, nnn=ssssssssssssssssssssssssssssss."},
    {479, "The driver could not execute the requested IOCTL sssssssssssssssssssssssss,"
             " nnn=ssssssssssssssssssssssssssssss."},
    {480, "The system could not complete the delete request because the specified logical"
             " device is either mounted or opened."},
    {481, "Failed to mark logical device for delete, nnn=ssssssssssssssssssssssssssssss."},
    {482, "Unknown delete temporary logical device prep type."},
    {483, "Cannot use temporary files for delete prep or delete restore, ssssssssss caused"
             " nnn=ssssssssssssssssssssssssssssss."},
    {484, "You do not have sufficient privileges to open the controller device."},
    {485, "failed to create mutex."},
    {486, "failed to get/lock mutex."},
    {487, "failed to release mutex."},
    {488, "failed to destroy mutex."},
    {489, "failed to create sema."},
    {490, "failed to wait for sema."},
    {491, "failed to post sema."},
    {492, "failed to destroy sema."},
    {493, "failed to create thread."},
    {494, "failed to stat file."},
    {495, "The logical device operation failed because one or more of the specified logical"
             " devices is locked.  Firmware is performing an operation on a drive that has not yet"
             " completed.  Please retry later."},
    {496, "The specified operation failed because there was not enough space on the specified"
             " device."},
    {497, "The specified function failed because the specified configuration is invalid."},
    {498, "The operation to close the peer partner failed.  Please ensure that the BREL Remote"
             " Management Services Agent (network services software) is running on the peer"
             " partner."},
    {499, "The peer partner could not be opened."},
    {500, kNoMessageDescription},
    {501, kNoMessageDescription},
    {502, "Failed to open debug file, nnn=ssssssssssssssssssssssssssssss."},
    {503, "The controller you tried to open is not compatible with this version of the"
             " application.  Please use the previous version of this application."},
    {504, "The logical device verify task failed to start."},
    {505, "The logical device verify task failed to start because it is already running."},
    {506, "The logical device verify task failed to stop because it was not running."},
    {507, "The operation failed because the API cannot determine its type.  Please check your"
             " installation."},
    {508, "The logical device-related operation could not be accomplished because the logical"
             " device is on a shared channel."},
    {509, "The snapshot create operation failed because both the original logical device and"
             " the snapshot logical device must reside in the same diskset."},
    {510, "The operation could not be accomplished because one or more of the specified disks"
             " is not connected to a shared channel (bus)."},
    {511, "A diskset with the specified label already exists.  Please try the operation again"
             " and this time use a unique label."},
    {512, "The peer partner came online after you opened the controlling partner.  Please close"
             " the controlling partner and re-open it."},
    {513, "The function requested is not available on the OpenServer operating system."},
    {514, "The requested function is not currently available on this operating system."},
    {515, "The operation failed because the specified enclosure is offline."},
    {516, "The operation failed because the maximum size of a FAT32 file system (32 Gigabytes)"
             " was exceeded."},
    {517, "The operation failed because logical device is smaller then the minimum size of a"
             " FAT32 file system (512 Megabytes)."},
    {518, "The verify operation could not be started.  Typically, this error message appears"
             " when there are too many tasks running on the controller.  Please try the verify"
             " operation again at a later time when there are less tasks running on the"
             " controller."},
    {519, "The creation of more than 32 disksets is not supported."},
    {520, "Failed to get information about the logical device verify task."},
    {521, kNoMessageDescription},
    {522, "The controller was unable to create the requested logical device."},
    {523, "The Raid10 logical device create operation failed because of an odd number of disks"
             " was specified."},
    {524, "The volume of mirrors logical device create operation failed because of an odd"
             " number of disks was specified."},
    {525, "The controller was unable to create the snapshot logical device because the battery"
             " is either low or dead or KVT is not ready."},
    {526, "The controller was unable to perform a scrub (consistency check) operation on the"
             " logical device because one or more of the logical device's partitions failed."},
    {527, "The controller was unable to clear the logical device because the logical device is"
             " in use and the /always flag was not specified."},
    {528, "The controller was unable complete the requested operation because the controllers"
             " maximum limit of 256 partitions would be exceeded."},
    {529, "The specified operation failed because the logical device is being used as a dynamic"
             " disk with one or more partitions.  Use the Computer Management tool to remove the"
             " filesystem(s) and revert the logical device to a basic disk."},
    {530, "The specified operation failed because the logical device is being used as a dynamic"
             " disk with more than one filesystem partition.  Use the Computer Management tool to"
             " remove the filesystems and revert the logical device to a basic disk."},
    {531, "The specified operation failed because the logical device is being used as a dynamic"
             " disk.  Use the Computer Management tool to remove the filesystem(s) and revert the"
             " logical device to a basic disk."},
    {532, "The specified operation failed because the logical device is being used as a dynamic"
             " disk with at least one volume having at least one partition on another dynamic"
             " disk.  Use the Computer Management tool to remove the filesystems and revert the"
             " logical device to a basic disk."},
    {533, "The function requested is not available on the Window 2000 operating system."},
    {534, "The requested operation failed because the specified diskset hosts one or more"
             " logical devices.  Please try the command again with the unconditional switch."},
    {535, "The operation to update the battery parameters failed."},
    {536, kNoMessageDescription},
    {537, kNoMessageDescription},
    {538, kNoMessageDescription},
    {539, kNoMessageDescription},
    {540, "The connection database does not support cluster IP addresses.  Please try using the"
             " node's IP address."},
    {541, kNoMessageDescription},
    {542, "The requested operation failed because the specified drive is a legacy drive. "
             " Please try the command again with the init switch."},
    {543, "An incorrect number of partitions was specified for creating a RAID50."},
    {544, kNoMessageDescription},
    {545, "The diskset is found on more than one adapters."},
    {546, "Device you are trying to reach is not ready."},
    {547, "One or more of the specified logical devices is currently in use.  For instance, it"
             " may be either open or mounted."},
    {548, "Device you are trying to reach is locked by another process."},
    {549, "Unable to mmirror a logical device which has partitions that are unlabeled."},
    {550, kNoMessageDescription},
    {551, "One or more characters specified for the file system label are invalid at filesystem"
             " format time.  These characters have been replaced by underscore characters, you can"
             " change the label after the format task has finished."},
    {552, "The software version is incompatible with the controller."},
    {553, "At least one of devices you specified is not a failover disk."},
    {554, "Uninitialized disks may not be forced into the destination logical device."},
    {555, "This operation requires that the source logical device's disks be specified."},
    {556, "Too many or inappropriate disks are forced into the logical device to be created."},
    {557, "Please select one or more disks."},
    {558, "The requested size is too small.  Please specify a size equal to or larger than the"
             " minimum allowed size (10 MB)."},
    {559, "Not enough disk space is selected to complete this operation.  Please select more"
             " disks or specify a smaller size."},
    {560, "The size specified for the logical device to be created is too small.  Please"
             " specify a larger size."},
    {561, "Unable to create the logical device configuration requested using Force Channel"
             " Optimization."},
    {562, "This reconfiguration operation requires that a minimum of 32 MB of additional space"
             " be specified.  Please specify a larger size."},
    {563, "The selected destination logical device type requires that a minimum of 1"
             " initialized disk with sufficient free space be selected.  Please specify additional"
             " disks."},
    {564, "The selected destination logical device type requires that a minimum of 2"
             " initialized disks with sufficient free space be selected.  Please specify"
             " additional disks."},
    {565, "The selected destination logical device type requires that a minimum of 3"
             " initialized disks with sufficient free space be selected.  Please specify"
             " additional disks."},
    {566, "The selected destination logical device type requires that a minimum of 4"
             " initialized disks with sufficient free space be selected.  Please specify"
             " additional disks."},
    {567, "The selected destination logical device type requires that a minimum of 6"
             " initialized disks with sufficient free space be selected.  Please specify"
             " additional disks."},
    {568, "The selected destination logical device type requires that a minimum of 1"
             " initialized disk with sufficient free space, in addition to the original source"
             " disk(s), be selected.  Please specify additional disks."},
    {569, "The selected destination logical device type requires that a minimum of 2"
             " initialized disks with sufficient free space, in addition to the original source"
             " disk(s), be selected.  Please specify additional disks."},
    {570, "The selected destination logical device type requires that a minimum of 3"
             " initialized disks with sufficient free space, in addition to the original source"
             " disk(s), be selected.  Please specify additional disks."},
    {571, "The selected destination logical device type requires that a minimum of 4"
             " initialized disks with sufficient free space, in addition to the original source"
             " disk(s), be selected.  Please specify additional disks."},
    {572, kTooManyPartitions},
    {573, kTooManyPartitions},
    {574, "There is a minimum number of disks needed for this reconfiguration."},
    {575, "Clustering is not supported, please shutdown the system and disable clustering"
             " channels via BIOS."},
    {576, "The operation failed because the logical device specified is a phantom."},
    {577, "Segment size is an invalid parameter for logical device type specified."},
    {578, "Too few devices were specified for use in the requested operation."},
    {579, "This operation failed because the specified configuration is invalid."},
    {580, kNoMessageDescription},
    {581, "The operation specified could not be done because it would result in a disk drive"
             " having more than the  maximum allowed ten logical device partitions."},
    {582, kNoMessageDescription},
    {583, "Unable to create a mmirror from anything but a multilevel logical device of"
             " single-partition volume sets."},
    {584, "Vendor mismatch between controller and management software."},
    {585, "The controller's firmware could not be read."},
    {586, "The controller's firmware could not be written."},
    {587, "The controller's firmware does not match the firmware in the specified flash image"
             " file."},
    {588, "The controller's firmware was written but the verification process failed."},
    {589, "The operation failed because the controller's vendor ID and type could not be read."},
    {590, "The specified file does not contain firmware for this controller type."},
    {591, "The operation failed because the specified file does not exist or is incomplete."},
    {592, "The operation failed because the specified file could not be read."},
    {593, "The operation failed because the image files are not of the same version."},
    {594, "The operation failed because the second image file could not be found; please place"
             " both files in the same directory and retry the command."},
    {595, "The operation failed because one or more image files are either corrupt or invalid."},
    {596, "Unable to save the controller's flash image to the specified file because a file by"
             " that name already exists."},
    {597, "The operation failed because the /io_delay switch cannot be set to a negative value."},
    {598, "An already configured drive was found in the diskset."},
    {599, "The currently opened controller does not support soft error operations."},
    {600, "The benchmark filter driver operations are not supported in your environment."},
    {601, "The currently opened controller does not support battery replacement functions."},
    {602, "The currently opened controller does not support software initiated battery"
             " reconditioning operations."},
    {603, "The version of the firmware you are attempting to use is no longer supported."},
    {604, "The currently opened controller does not support adapter alarm functionality."},
    {605, "The currently opened controller ignored the alarm command due to the fact that the"
             " adapter alarm is disabled."},
    {606, "The function requested is not available on the FreeBSD operating system."},
    {607, "The hot spare drive does not have enough space to protect the logical device."},
    {608, "An incorrect number of partitions was specified for creating a RAID60."},
    {609, "The redundant logical device's clearing operation could not be initiated because the"
             " controller ran out of memory."},
    {610, "One or more physical drives use an obsolete metadata format.  You must move any data"
             " off of these drives and Initialize them before retrying the command."},
    {611, "The driver closed the event handle.  It will be reopened, but events may have been"
             " lost."},
    {612, "The force online operation failed because the controller could not determine which"
             " disk(s) failed first.  Please remove all disks that failed before the logical"
             " device went offline.  Then, try the command again."},
    {613, "The force online operation failed because of a configuration age mismatch.  Please"
             " refresh your view of the controller configuration.  Then, try the command again."},
    {614, "The controller could not find enough disks that were part of this logical device."},
    {615, "The controller could not find any disks that were part of this logical device."},
    {616, "The specified logical device is already online."},
    {617, "The controller found two independent halves of this logical device.  Please remove"
             " the disks that constitute one of these halves.  Then, perform a bus rescan on your"
             " controller and try this command again."},
    {618, "The logical device with the specified UID was not found."},
    {999, "Cannot delete a partitioned logical device."},
};

constexpr bool ascendingKeys(const ApiErrorRow* rows, std::size_t count)
{
    for (std::size_t i = 1; i < count; ++i)
        if (rows[i - 1].key >= rows[i].key)
            return false;
    return true;
}

constexpr bool textsFit(const ApiErrorRow* rows, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t length = 0;
        while (rows[i].text[length] != '\0')
            ++length;
        if (length > API_ERROR_TEXT_MAX)
            return false;
    }
    return true;
}

static_assert(ascendingKeys(kRows, std::size(kRows)), "lookup relies on ascending keys");
static_assert(textsFit(kRows, std::size(kRows)), "every text fits the message buffer");

constexpr ApiErrorTable kTable(kRows, std::size(kRows));

}  // namespace

const char* ApiErrorTable::find(std::uint32_t key) const
{
    const ApiErrorRow* row = std::lower_bound(
        begin(), end(), key, [](const ApiErrorRow& r, std::uint32_t k) { return r.key < k; });
    if (row != end() && row->key == key)
        return row->text;
    return m_base != nullptr ? m_base->find(key) : nullptr;
}

const ApiErrorTable& apiErrorTable()
{
    return kTable;
}

char* apiErrorMessage(const ApiErrorTable& table, std::uint32_t status, char* out,
                      std::size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return out;
    const char* text = table.find(status);
    if (text != nullptr)
        std::snprintf(out, outSize, "%s", text);
    else
        std::snprintf(out, outSize, "API failure occurred (0x%x)", static_cast<unsigned int>(status));
    return out;
}
