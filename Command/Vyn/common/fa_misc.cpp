// Symbolic names of FIB commands, container commands, request classes,
// sub-commands and statuses, for the FIB trace. Sparse codes are switches;
// the two dense tables are arrays.
#include "Command/Vyn/common/fa_misc.h"

#include <cstddef>

namespace {

const char* const CT_COMMAND_STRINGS[] = {
    "CT_Null",
    "CT_GET_SLICE_COUNT",
    "CT_GET_PARTITION_COUNT",
    "CT_GET_PARTITION_INFO",
    "CT_GET_CONTAINER_COUNT",
    "CT_GET_CONTAINER_INFO_OLD",
    "CT_WRITE_MBR",
    "CT_WRITE_PARTITION",
    "CT_UPDATE_PARTITION",
    "CT_UNLOAD_CONTAINER",
    "CT_CONFIG_SINGLE_PRIMARY",
    "CT_READ_CONFIG_AGE",
    "CT_WRITE_CONFIG_AGE",
    "CT_READ_SERIAL_NUMBER",
    "CT_ZERO_PAR_ENTRY",
    "CT_READ_MBR",
    "CT_READ_PARTITION",
    "CT_DESTROY_CONTAINER",
    "CT_DESTROY2_CONTAINER",
    "CT_SLICE_SIZE",
    "CT_CHECK_CONFLICTS",
    "CT_MOVE_CONTAINER",
    "CT_READ_LAST_DRIVE",
    "CT_WRITE_LAST_DRIVE",
    "CT_UNMIRROR",
    "CT_MIRROR_DELAY",
    "CT_GEN_MIRROR",
    "CT_GEN_MIRROR2",
    "CT_TEST_CONTAINER",
    "CT_MOVE2",
    "CT_SPLIT",
    "CT_SPLIT2",
    "CT_SPLIT_BROKEN",
    "CT_SPLIT_BROKEN2",
    "CT_RECONFIG",
    "CT_BREAK2",
    "CT_BREAK",
    "CT_MERGE2",
    "CT_MERGE",
    "CT_FORCE_ERROR",
    "CT_CLEAR_ERROR",
    "CT_ASSIGN_FAILOVER",
    "CT_CLEAR_FAILOVER",
    "CT_GET_FAILOVER_DATA",
    "CT_VOLUME_ADD",
    "CT_VOLUME_ADD2",
    "CT_MIRROR_STATUS",
    "CT_COPY_STATUS",
    "CT_COPY",
    "CT_UNLOCK_CONTAINER",
    "CT_LOCK_CONTAINER",
    "CT_MAKE_READ_ONLY",
    "CT_MAKE_READ_WRITE",
    "CT_CLEAN_DEAD",
    "CT_ABORT_MIRROR_COMMAND",
    "CT_SET",
    "CT_GET",
    "CT_GET_NVLOG_ENTRY",
    "CT_GET_DELAY",
    "CT_ZERO_CONTAINER_SPACE",
    "CT_GET_ZERO_STATUS",
    "CT_SCRUB",
    "CT_GET_SCRUB_STATUS",
    "CT_GET_SLICE_INFO",
    "CT_GET_SCSI_METHOD",
    "CT_PAUSE_IO",
    "CT_RELEASE_IO",
    "CT_SCRUB2",
    "CT_MCHECK",
    "CT_CORRUPT",
    "CT_GET_TASK_COUNT",
    "CT_PROMOTE",
    "CT_SET_DEAD",
    "CT_CONTAINER_OPTIONS",
    "CT_GET_NV_PARAM",
    "CT_GET_PARAM",
    "CT_NV_PARAM_SIZE",
    "CT_COMMON_PARAM_SIZE",
    "CT_PLATFORM_PARAM_SIZE",
    "CT_SET_NV_PARAM",
    "CT_ABORT_SCRUB",
    "CT_GET_SCRUB_ERROR",
    "CT_LABEL_CONTAINER",
    "CT_CONTINUE_DATA",
    "CT_STOP_DATA",
    "CT_GET_PARTITION_TABLE",
    "CT_GET_DISK_PARTITIONS",
    "CT_GET_MISC_STATUS",
    "CT_GET_CONTAINER_PERF_INFO",
    "CT_GET_TIME",
    "CT_READ_DATA",
    "CT_CTR",
    "CT_CTL",
    "CT_DRAINIO",
    "CT_RELEASEIO",
    "CT_GET_NVRAM",
    "CT_GET_MEMORY",
    "CT_PRINT_CT_LOG",
    "CT_ADD_LEVEL",
    "CT_NV_ZERO",
    "CT_READ_SIGNATURE",
    "CT_THROTTLE_ON",
    "CT_THROTTLE_OFF",
    "CT_GET_THROTTLE_STATS",
    "CT_MAKE_SNAPSHOT",
    "CT_REMOVE_SNAPSHOT",
    "CT_WRITE_USER_FLAGS",
    "CT_READ_USER_FLAGS",
    "CT_MONITOR",
    "CT_GEN_MORPH",
    "CT_GET_SNAPSHOT_INFO",
    "CT_CACHE_SET",
    "CT_CACHE_STAT",
    "CT_TRACE_START",
    "CT_TRACE_STOP",
    "CT_TRACE_ENABLE",
    "CT_TRACE_DISABLE",
    "CT_FORCE_CORE_DUMP",
    "CT_SET_SERIAL_NUMBER",
    "CT_RESET_SERIAL_NUMBER",
    "CT_ENABLE_RAID5",
    "CT_CLEAR_VALID_DUMP_FLAG",
    "CT_GET_MEM_STATS",
    "CT_GET_CORE_SIZE",
    "CT_CREATE_CONTAINER_OLD",
    "CT_STOP_DUMPS",
    "CT_PANIC_ON_TAKE_A_BREAK",
    "CT_GET_CACHE_STATS",
    "CT_MOVE_PARTITION",
    "CT_FLUSH_CACHE",
    "CT_READ_NAME",
    "CT_WRITE_NAME",
    "CT_TOSS_CACHE",
    "CT_LOCK_DRAINIO",
    "CT_CONTAINER_OFFLINE",
    "CT_SET_CACHE_SIZE",
    "CT_CLEAN_SHUTDOWN_STATUS",
    "CT_CLEAR_DISKLOG_ON_DISK",
    "CT_CLEAR_ALL_DISKLOG",
    "CT_CACHE_FAVOR",
    "CT_READ_PASSTHRU_MBR",
    "CT_SCRUB_NOFIX",
    "CT_SCRUB2_NOFIX",
    "CT_FLUSH",
    "CT_REBUILD",
    "CT_FLUSH_CONTAINER",
    "CT_RESTART",
    "CT_GET_CONFIG_STATUS",
    "CT_TRACE_FLAG",
    "CT_RESTART_MORPH",
    "CT_GET_TRACE_INFO",
    "CT_GET_TRACE_ITEM",
    "CT_COMMIT_CONFIG",
    "CT_CONTAINER_EXISTS",
    "CT_GET_SLICE_FROM_DEVT",
    "CT_OPEN_READ_WRITE",
    "CT_WRITE_MEMORY_BLOCK",
    "CT_GET_CACHE_PARAMS",
    "CT_CRAZY_CACHE",
    "CT_GET_PROFILE_STRUCT",
    "CT_SET_IO_TRACE_FLAG",
    "CT_GET_IO_TRACE_STRUCT",
    "CT_CID_TO_64BITS_UID",
    "CT_64BITS_UID_TO_CID",
    "CT_PAR_TO_64BITS_UID",
    "CT_CID_TO_32BITS_UID",
    "CT_32BITS_UID_TO_CID",
    "CT_PAR_TO_32BITS_UID",
    "CT_SET_FAILOVER_OPTION",
    "CT_GET_FAILOVER_OPTION",
    "CT_STRIPE_ADD2",
    "CT_CREATE_VOLUME_SET",
    "CT_CREATE_STRIPE_SET",
    "CT_VERIFY_CONTAINER",
    "CT_IS_CONTAINER_DEAD",
    "CT_GET_CONTAINER_OPTION",
    "CT_GET_SNAPSHOT_UNUSED_STRUCT",
    "CT_CLEAR_SNAPSHOT_UNUSED_STRUCT",
    "CT_GET_CONTAINER_INFO",
    "CT_CREATE_CONTAINER",
    "CT_CHANGE_CREATIONINFO",
    "CT_CHECK_CONFLICT_UID",
    "CT_CONTAINER_UID_CHECK",
    "CT_IS_CONTAINER_MEATADATA_STANDARD",
    "CT_IS_SLICE_METADATA_STANDARD",
    "CT_GET_IMPORT_COUNT",
    "CT_CANCEL_ALL_IMPORTS",
    "CT_GET_IMPORT_INFO",
    "CT_IMPORT_ARRAY",
    "CT_GET_LOG_SIZE",
    "CT_ALARM_GET_STATE",
    "CT_ALARM_SET_STATE",
    "CT_ALARM_ON_OFF",
    "CT_GET_EE_OEM_ID",
    "CT_GET_PPI_HEADERS",
    "CT_GET_PPI_DATA",
    "CT_GET_PPI_ENTRIES",
    "CT_DELETE_PPI_BUNDLE",
    "CT_GET_PARTITION_TABLE_2",
    "CT_GET_PARTITION_INFO_2",
    "CT_GET_DISK_PARTITIONS_2",
    "CT_QUIESCE_ADAPTER",
    "CT_CLEAR_PPI_TABLE",
    "CT_SET_DEVICE_CACHE_POLICY",
    "CT_GET_DEVICE_CACHE_POLICY",
    "CT_SET_VERIFY_DELAY",
    "CT_GET_VERIFY_DELAY",
    "CT_DELETE_PPI_BUNDLES_FOR_DEVT",
    "CT_READ_SW_SECTOR",
    "CT_WRITE_SW_SECTOR",
    "CT_GET_CACHE_SYNC_INFO",
    "CT_SET_CACHE_SYNC_MODE",
    "CT_GET_PARTITION_TABLE_500",
    "CT_GET_PARTITION_INFO_500",
    "CT_GET_DISK_PARTITIONS_500",
    "CT_GET_RAID_CONFIG",
    "CT_COPYBACK_ENABLE",
    "CT_CONTAINER_OPTIONS_500",
    "CT_MARK_BAD_STRIPES",
    "CT_GET_RAID6_OPTIONS_500",
    "CT_GET_SS_MAP_INFO",
    "CT_CREATE_CONTAINER_64",
    "CT_COPY_STATUS_64",
    "CT_GET_SNAPSHOT_INFO_64",
    "CT_ENABLE_RAID_ENHANCED",
    "CT_GET_CONTAINER_SPITFIRE_SIZE",
    "CT_STAMP_SPITFIRE_VM",
    "CT_GET_BST_INFO",
    "CT_ERASE_BAD_STRIPE_TABLE",
    "CT_GET_CONTAINER_LIST",
    "CT_FREE_FOR_USE",
    "CT_GET_HIST_LOG_SIZE",
    "CT_GET_HIST_LOG_ENTRY",
    "CT_CONTINUE_DATA_STOP",
    "CT_GET_LOGDEV_INFO",
    "CT_GET_LOGDEV_SEGMENT_LIST",
    "CT_SET_MINIVYN_HOST_MEMORY_SEGMENTS",
    "CT_CREATE_LOGICAL_DRIVE",
    "CT_SET_CONTROLLER_DEVICE_CACHE_POLICY",
    "CT_GET_CONTROLLER_DEVICE_CACHE_POLICY",
    "CT_GET_MISC_STATUS_V3",
    "CT_IDENTIFY_DEVICE",
    "CT_CREATE_JBOD",
    "CT_DELETE_JBOD",
    "CT_GET_STATISTIC_DATA",
    "CT_PM_DRIVER_SUPPORT",
    "CT_PM_CONFIGURATION",
    "CT_GET_PHYDEV_LIST",
    "CT_GET_PHYDEV_INFO",
    "CT_GET_LOGDEV_SEGMENT64_LIST",
    "CT_DELETE_SEGMENTS",
    "CT_PHYDEV_OPERATION",
    "CT_GEN_MORPH64",
    "CT_CONFIG_STATUS_READY",
    "CT_ITP_SUPPORT_RRC_POOL",
    "CT_SPITFIRE_CONFIG",
    "CT_FORCE_REBUILD",
    "CT_SET_WEAROUT_PARAMS",
};
static_assert(sizeof CT_COMMAND_STRINGS / sizeof CT_COMMAND_STRINGS[0] == 258, "container commands 0 to 257");

const char* const VM_COMMAND_STRINGS[] = {
    "VM_Null",
    "VM_NameServe",
    "VM_ContainerConfig",
    "VM_Ioctl",
    "VM_FilesystemIoctl",
    "VM_CloseAll",
    "VM_CtBlockRead",
    "VM_CtBlockWrite",
    "VM_SliceBlockRead",
    "VM_SliceBlockWrite",
    "VM_DriveBlockRead",
    "VM_DriveBlockWrite",
    "VM_EnclosureMgt",
    "VM_Unused",
    "VM_CtBlockVerify",
    "VM_CtPerf",
    "VM_CtBlockRead64",
    "VM_CtBlockWrite64",
    "VM_CtBlockVerify64",
    "VM_CtHostRead64",
    "VM_CtHostWrite64",
    "VM_DrvErrTblLog",
    "VM_NameServe64",
    "VM_SasNvsramAccess",
    "VM_Reserved24",  // no class of this number is defined; a placeholder keeps the table dense
    "VM_GetDynAdapProps",
    "VM_SetDynAdapProps",
};
static_assert(sizeof VM_COMMAND_STRINGS / sizeof VM_COMMAND_STRINGS[0] == 27, "request classes 0 to 26");

}  // namespace

const char* FSA_API_XLATE_CT_SUBCMD(unsigned int code)
{
    return code < sizeof CT_COMMAND_STRINGS / sizeof CT_COMMAND_STRINGS[0] ? CT_COMMAND_STRINGS[code] : "CT_UNKNOWN";
}

const char* FSA_API_XLATE_CTVM_SUBCMD(unsigned int code)
{
    return code < sizeof VM_COMMAND_STRINGS / sizeof VM_COMMAND_STRINGS[0] ? VM_COMMAND_STRINGS[code] : "MAX_VMCOMMAND_NUM";
}

const char* FSA_API_XLATE_FIB_CMD(int code)
{
    switch (code) {
    case 1:
        return "TestCommandResponse";
    case 2:
        return "TestAdapterCommand";
    case 100:
        return "LastTestCommand";
    case 101:
        return "ReinitHostNormCommandQueue";
    case 102:
        return "ReinitHostHighCommandQueue";
    case 103:
        return "ReinitHostHighRespQueue";
    case 104:
        return "ReinitHostNormRespQueue";
    case 105:
        return "ReinitAdapNormCommandQueue";
    case 107:
        return "ReinitAdapHighCommandQueue";
    case 108:
        return "ReinitAdapHighRespQueue";
    case 109:
        return "ReinitAdapNormRespQueue";
    case 110:
        return "InterfaceShutdown";
    case 120:
        return "DmaCommandFib";
    case 121:
        return "StartProfile";
    case 122:
        return "TermProfile";
    case 123:
        return "SpeedTest";
    case 124:
        return "TakeABreakPt";
    case 125:
        return "RequestPerfData";
    case 126:
        return "SetInterruptDefTimer";
    case 127:
        return "SetInterruptDefCount";
    case 128:
        return "GetInterruptDefStatus";
    case 129:
        return "LastCommCommand";
    case 300:
        return "NuFileSystem";
    case 301:
        return "UFS";
    case 302:
        return "HostFileSystem";
    case 303:
        return "LastFileSystemCommand";
    case 500:
        return "ContainerCommand";
    case 501:
        return "ContainerCommand64";
    case 502:
        return "RawIo";
    case 550:
        return "ClusterCommand";
    case 600:
        return "ScsiPortCommand";
    case 601:
        return "ScsiPortCommandU64";
    case 602:
        return "SataPortCommandU64";
    case 603:
        return "SasSmpPassThrough";
    case 612:
        return "SasRequestPhyInfo";
    case 700:
        return "AifRequest";
    case 701:
        return "CheckRevision";
    case 702:
        return "FsaHostShutdown";
    case 703:
        return "RequestAdapterInfo";
    case 704:
        return "IsAdapterPaused";
    case 705:
        return "SendHostTime";
    case 706:
        return "RequestSupplementAdapterInfo";
    case 707:
        return "RequestSupplementAdapterInfoExt";
    case 708:
        return "RequestConnectorMap";
    case 709:
        return "LastMiscCommand";
    case 800:
        return "OnLineDiagnostic";
    case 801:
        return "FduAdapterTest";
    case 802:
        return "RequestCompatibilityId";
    case 803:
        return "AdapterEnvironmentInfo";
    case 900:
        return "NvsramEventLog";
    case 901:
        return "ResetNvsramEventLogPointers";
    case 902:
        return "EnableEventLog";
    case 903:
        return "DisableEventLog";
    case 906:
        return "GetMfgPcbaSN";
    case 907:
        return "GenFIBExecuteWithLargeTransfer";
    case 908:
        return "AtaPassThruFIB";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_CT_RESULTS(int code)
{
    switch (code) {
    case 0:
        return "ST_OK";
    case 1:
        return "ST_PERM";
    case 2:
        return "ST_NOENT";
    case 5:
        return "ST_IO";
    case 6:
        return "ST_NXIO";
    case 7:
        return "ST_E2BIG";
    case 8:
        return "ST_MEDERR";
    case 13:
        return "ST_ACCES";
    case 17:
        return "ST_EXIST";
    case 18:
        return "ST_XDEV";
    case 19:
        return "ST_NODEV";
    case 20:
        return "ST_NOTDIR";
    case 21:
        return "ST_ISDIR";
    case 22:
        return "ST_INVAL";
    case 27:
        return "ST_FBIG";
    case 28:
        return "ST_NOSPC";
    case 30:
        return "ST_ROFS";
    case 31:
        return "ST_MLINK";
    case 35:
        return "ST_WOULDBLOCK";
    case 63:
        return "ST_NAMETOOLONG";
    case 66:
        return "ST_NOTEMPTY";
    case 69:
        return "ST_DQUOT";
    case 70:
        return "ST_STALE";
    case 71:
        return "ST_REMOTE";
    case 10001:
        return "ST_BADHANDLE";
    case 10002:
        return "ST_NOT_SYNC";
    case 10003:
        return "ST_BAD_COOKIE";
    case 10004:
        return "ST_NOTSUPP";
    case 10005:
        return "ST_TOOSMALL";
    case 10006:
        return "ST_SERVERFAULT";
    case 10007:
        return "ST_BADTYPE";
    case 10008:
        return "ST_JUKEBOX";
    case 10009:
        return "ST_NOTMOUNTED";
    case 10010:
        return "ST_MAINTMODE";
    case 10011:
        return "ST_STALEACL";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_IOCTL_SUBCMD(int code)
{
    switch (code) {
    case 0:
        return "Reserved_IOCTL";
    case 1:
        return "GetDeviceHandle";
    case 2:
        return "BusTargetLun_to_DeviceHandle";
    case 3:
        return "DeviceHandle_to_BusTargetLun";
    case 4:
        return "RescanBus";
    case 5:
        return "GetDeviceProbeInfo";
    case 6:
        return "GetDeviceCapacity";
    case 7:
        return "GetContainerProbeInfo";
    case 8:
        return "GetRequestedMemorySize";
    case 9:
        return "GetBusInfo";
    case 10:
        return "GetVendorSpecific";
    case 11:
        return "EnhancedGetDeviceProbeInfo";
    case 12:
        return "EnhancedGetBusInfo";
    case 13:
        return "SetupExtendedCounters";
    case 15:
        return "GetPerformanceCounters";
    case 16:
        return "ResetPerformanceCounters";
    case 17:
        return "ReadModePage";
    case 18:
        return "WriteModePage";
    case 19:
        return "ReadDriveParameter";
    case 20:
        return "WriteDriveParameter";
    case 21:
        return "ResetAdapter";
    case 22:
        return "ResetBus";
    case 23:
        return "ResetBusDevice";
    case 24:
        return "ExecuteSrb";
    case 25:
        return "ResetHardware";
    case 48:
        return "Create_IO_Task";
    case 49:
        return "Delete_IO_Task";
    case 50:
        return "Get_IO_Task_Info";
    case 51:
        return "Check_Task_Progress";
    case 64:
        return "InjectError";
    case 65:
        return "GetDeviceDefectCounts";
    case 66:
        return "GetDeviceDefectInfo";
    case 67:
        return "GetDeviceStatus";
    case 68:
        return "ClearDeviceStatus";
    case 69:
        return "DiskSpinControl";
    case 70:
        return "DiskSmartControl";
    case 71:
        return "WriteSame";
    case 72:
        return "ReadWriteLong";
    case 73:
        return "FormatUnit";
    case 80:
        return "TargetDeviceControl";
    case 81:
        return "TargetChannelControl";
    case 82:
        return "FlashNewCode";
    case 83:
        return "DiskCheck";
    case 84:
        return "RequestSense";
    case 85:
        return "DiskPERControl";
    case 86:
        return "Read10";
    case 87:
        return "Write10";
    case 88:
        return "GetDeviceFingerPrint";
    case 89:
        return "GetSmartErrorInfo";
    case 96:
        return "NexusControl";
    case 112:
        return "CsmiGetPhyInfo";
    case 113:
        return "CsmiSataSignature";
    case 128:
        return "IdentifyDisk";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_EM_CMD(unsigned int code)
{
    switch (code) {
    case 0:
        return "EM_NULL";
    case 1:
        return "EM_GET_EMP_COUNT";
    case 2:
        return "EM_ENCLOSURE_OP";
    case 3:
        return "EM_SLOT_OP";
    case 4:
        return "EM_FAN_OP";
    case 5:
        return "EM_POWER_OP";
    case 6:
        return "EM_TEMPERATURE_OP";
    case 7:
        return "EM_GET_EMP_INFO";
    case 8:
        return "EM_SET_EMPUPD_MODE";
    case 9:
        return "EM_GET_SLOT_INFO";
    case 100:
        return "EM_SCSI";
    case 101:
        return "EM_CMD_END";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_EM_SUBCMD(int code)
{
    switch (code) {
    case 0:
        return "EM_SUB_NULL";
    case 256:
        return "EM_SUB_ENCL_ALARM_ON";
    case 257:
        return "EM_SUB_ENCL_ALARM_OFF";
    case 258:
        return "EM_SUB_ENCL_FAILURE_ON";
    case 259:
        return "EM_SUB_ENCL_FAILURE_OFF";
    case 260:
        return "EM_SUB_ENCL_WARNING_ON";
    case 261:
        return "EM_SUB_ENCL_WARNING_OFF";
    case 262:
        return "EM_SUB_ENCL_POWER_ON";
    case 263:
        return "EM_SUB_ENCL_POWER_OFF";
    case 264:
        return "EM_SUB_ENCL_FAN_FAILURE_ON";
    case 265:
        return "EM_SUB_ENCL_FAN_FAILURE_OFF";
    case 266:
        return "EM_SUB_ENCL_POWER_FAILURE_ON";
    case 267:
        return "EM_SUB_ENCL_POWER_FAILURE_OFF";
    case 268:
        return "EM_SUB_ENCL_DRIVE_FAILURE_ON";
    case 269:
        return "EM_SUB_ENCL_DRIVE_FAILURE_OFF";
    case 270:
        return "EM_SUB_ENCL_DRIVE_WARNING_ON";
    case 271:
        return "EM_SUB_ENCL_DRIVE_WARNING_OFF";
    case 272:
        return "EM_SUB_ENCL_ARRAY_FAILURE_ON";
    case 273:
        return "EM_SUB_ENCL_ARRAY_FAILURE_OFF";
    case 274:
        return "EM_SUB_ENCL_ARRAY_WARNING_ON";
    case 275:
        return "EM_SUB_ENCL_ARRAY_WARNING_OFF";
    case 276:
        return "EM_SUB_ENCL_DOOR_LOCKED";
    case 277:
        return "EM_SUB_ENCL_DOOR_UNLOCKED";
    case 278:
        return "EM_SUB_ENCL_RESET";
    case 279:
        return "EM_SUB_ENCL_SET_MONITOR_INTERVAL";
    case 288:
        return "EM_SUB_ENCL_GET_MONITOR_INTERVAL";
    case 576:
        return "EM_SUB_ENCL_CONFIG_INFO";
    case 640:
        return "EM_SUB_ENCL_ALL_STATUS";
    case 641:
        return "EM_SUB_ENCL_DOOR_STATUS";
    case 642:
        return "EM_SUB_ENCL_SPEAKER_STATUS";
    case 643:
        return "EM_SUB_ENCL_POWER_ON_TIME";
    case 644:
        return "EM_SUB_ENCL_POWER_CYCLE";
    case 645:
        return "EM_SUB_ENCL_IDENTIFY";
    case 646:
        return "EM_SUB_ENCL_IDENTIFY_OFF";
    case 1024:
        return "EM_SUB_SLOT_GETREADY";
    case 1025:
        return "EM_SUB_SLOT_INSERT_REMOVE";
    case 1026:
        return "EM_SUB_SLOT_IDENTIFY";
    case 1027:
        return "EM_SUB_SLOT_UNIDENTIFY";
    case 1028:
        return "EM_SUB_SLOT_SET_SCSI_ID";
    case 1152:
        return "EM_SUB_SLOT_GET_SCSI_ID";
    case 1153:
        return "EM_SUB_SLOT_DEV_INSERTION_STAT";
    case 1154:
        return "EM_SUB_SLOT_STATUS";
    case 1155:
        return "EM_SUB_SLOT_ALL_STATUS";
    case 1536:
        return "EM_SUB_FAN_SPEED_OFF";
    case 1537:
        return "EM_SUB_FAN_SPEED_QUARTER";
    case 1538:
        return "EM_SUB_FAN_SPEED_HALF";
    case 1539:
        return "EM_SUB_FAN_SPEED_3QUARTER";
    case 1540:
        return "EM_SUB_FAN_SPEED_FULL";
    case 1664:
        return "EM_SUB_FAN_STATUS";
    case 2048:
        return "EM_SUB_POWER_ON";
    case 2049:
        return "EM_SUB_POWER_OFF";
    case 2176:
        return "EM_SUB_POWER_STATUS";
    case 4096:
        return "EM_SUB_SET_TEMPERATURE_THRESHOLD";
    case 4128:
        return "EM_SUB_GET_TEMPERATURE";
    case 4129:
        return "EM_SUB_GET_TEMPERATURE_THRESHOLD";
    case 4224:
        return "EM_SUB_TEMPERATURE_STATUS";
    case 4225:
        return "EM_SUB_TEMPERATURE_ALL_STATUS";
    case 8192:
        return "EM_SUB_SCSI_SEND_DIAGNOSTIC";
    case 8193:
        return "EM_SUB_SCSI_TEST_UNIT_READY";
    case 8194:
        return "EM_SUB_SCSI_RECEIVE_DIAGNOSTIC";
    case 16384:
        return "EM_SUB_SCSI_INQUIRY";
    case 16385:
        return "EM_SUB_SCSI_READ_BUFFER";
    case 16386:
        return "EM_SUB_SCSI_REQUEST_SENSE";
    case 32768:
        return "EM_SUB_SCSI_WRITE_BUFFER";
    case 32769:
        return "EM_SUB_SCSI_UPLOAD_FIRMWARE";
    case 32770:
        return "EM_SUB_CMD_END";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_CL_SUBCMD(int code)
{
    switch (code) {
    case 0:
        return "CL_NULL";
    case 1:
        return "DS_INIT";
    case 2:
        return "DS_RESCAN";
    case 3:
        return "DS_CREATE";
    case 4:
        return "DS_DELETE";
    case 5:
        return "DS_ADD_DISK";
    case 6:
        return "DS_REMOVE_DISK";
    case 7:
        return "DS_MOVE_DISK";
    case 8:
        return "DS_TAKE_OWNERSHIP";
    case 9:
        return "DS_RELEASE_OWNERSHIP";
    case 10:
        return "DS_FORCE_OWNERSHIP";
    case 11:
        return "DS_GET_DISK_SET_PARAM";
    case 12:
        return "DS_GET_DRIVE_PARAM";
    case 13:
        return "DS_GET_SLICE_PARAM";
    case 14:
        return "DS_GET_DISK_SETS";
    case 15:
        return "DS_GET_DRIVES";
    case 16:
        return "DS_SET_DISK_SET_PARAM";
    case 17:
        return "DS_ONLINE";
    case 18:
        return "DS_OFFLINE";
    case 19:
        return "DS_ONLINE_CONTAINERS";
    case 20:
        return "DS_FSAPRINT";
    case 256:
        return "CL_CFG_SET_HOST_IDS";
    case 257:
        return "CL_CFG_SET_PARTNER_HOST_IDS";
    case 258:
        return "CL_CFG_GET_CLUSTER_CONFIG";
    case 512:
        return "CC_CLI_CLEAR_MESSAGE_BUFFER";
    case 513:
        return "CC_SRV_CLEAR_MESSAGE_BUFFER";
    case 514:
        return "CC_CLI_SHOW_MESSAGE_BUFFER";
    case 515:
        return "CC_SRV_SHOW_MESSAGE_BUFFER";
    case 516:
        return "CC_CLI_SEND_MESSAGE";
    case 517:
        return "CC_SRV_SEND_MESSAGE";
    case 518:
        return "CC_CLI_GET_MESSAGE";
    case 519:
        return "CC_SRV_GET_MESSAGE";
    case 520:
        return "CC_SEND_TEST_MESSAGE";
    case 521:
        return "CC_GET_BUSINFO";
    case 522:
        return "CC_GET_PORTINFO";
    case 523:
        return "CC_GET_NAMEINFO";
    case 524:
        return "CC_GET_CONFIGINFO";
    case 768:
        return "CQ_QUORUM_OP";
    case 769:
        return "CL_LAST_COMMAND";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_CL_RESULTS(int code)
{
    switch (code) {
    case 0:
        return "CL_STATUS_UNKNOWN";
    case 1:
        return "CL_STATUS_SUCCESS";
    case 2:
        return "DS_STATUS_NO_MEMORY";
    case 3:
        return "DS_STATUS_IO_ERROR";
    case 4:
        return "DS_STATUS_INVALID_BUFFER";
    case 5:
        return "DS_STATUS_INVALID_PARAMETER";
    case 6:
        return "DS_STATUS_PROTOCOL_ERROR";
    case 7:
        return "DS_STATUS_NO_SUCH_DEVICE";
    case 8:
        return "DS_STATUS_INVALID_DISK_SET";
    case 9:
        return "DS_STATUS_NOT_OWNER";
    case 10:
        return "DS_STATUS_INVALID_MBR_COUNT";
    case 11:
        return "DS_STATUS_OWNED";
    case 12:
        return "DS_STATUS_DRIVE_UNOWNED";
    case 13:
        return "DS_STATUS_INVALID_SOURCE_DISK_SET";
    case 14:
        return "DS_STATUS_INVALID_TARGET_DISK_SET";
    case 15:
        return "DS_STATUS_BUFFER_TOO_SMALL";
    case 16:
        return "DS_STATUS_ALREADY_IN_DISK_SET";
    case 17:
        return "DS_STATUS_NOT_ONLINE";
    case 18:
        return "DS_STATUS_INVALID_DSR";
    case 19:
        return "CL_STATUS_BADCOMMAND";
    case 20:
        return "CL_STATUS_ERROR";
    case 21:
        return "CL_STATUS_ALREADY_QUORUM";
    case 22:
        return "CL_STATUS_NO_QUORUM";
    case 23:
        return "CL_STATUS_NOT_QUORUM";
    case 24:
        return "CL_STATUS_CONTAINER_NOT_CONFIGURED";
    case 25:
        return "CL_STATUS_CONTAINER_ONLINE_FAILED";
    case 26:
        return "CL_STATUS_LAST";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_AIF_SUBCMD(int code)
{
    switch (code) {
    case 1:
        return "AifCmdEventNotify";
    case 2:
        return "AifCmdJobProgress";
    case 3:
        return "AifCmdAPIReport";
    case 4:
        return "AifCmdDriverNotify";
    case 100:
        return "AifReqJobList";
    case 101:
        return "AifReqJobsForCtr";
    case 102:
        return "AifReqJobsForScsi";
    case 103:
        return "AifReqJobReport";
    case 104:
        return "AifReqTerminateJob";
    case 105:
        return "AifReqSuspendJob";
    case 106:
        return "AifReqResumeJob";
    case 107:
        return "AifReqSendAPIReport";
    case 108:
        return "AifReqAPIJobStart";
    case 109:
        return "AifReqAPIJobUpdate";
    case 110:
        return "AifReqAPIJobFinish";
    case 111:
        return "AifReqTerminatePendJob";
    default:
        return "Unknown";
    }
}

const char* FSA_API_XLATE_AIF_RESULTS(int code)
{
    switch (code) {
    case 1:
        return "AifStsSuccess";
    case 2:
        return "AifStsMoreInfo";
    case 3:
        return "AifStsBadCommand";
    case 4:
        return "AifStsBadJobID";
    case 5:
        return "AifStsJobFinished";
    case 6:
        return "AifStsAlreadySuspended";
    case 7:
        return "AifStsAlreadyRunning";
    case 8:
        return "AifStsAPIReportTooBig";
    case 9:
        return "AifStsAPIJobNoStart";
    default:
        return "Unknown";
    }
}
