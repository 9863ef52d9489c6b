#ifndef VYN_COMMAND_VYN_OS_FAUX_LINUX_H
#define VYN_COMMAND_VYN_OS_FAUX_LINUX_H

#include "Command/Vyn/common/fa_types.h"

struct FAUX_COMM_CONTEXT;

// Makes sure the adapter node at path exists with the driver's current major,
// removes it when the driver does not report that adapter, and stores the
// adapter's SCSI host in comm. Reports nothing.
void faux_CheckDeviceNode(char* path, FAUX_COMM_CONTEXT* comm);

// Fills the enumeration record of adapter index: the index, or -1.
int faos_GetAdapterInfo(unsigned index, _tagFSA_ADAPTER_ENUM_INFO* info);

// 1 when filled; throws 479 when the adapter information cannot be read.
int faux_FillAdapterInfoStruct(int fd, char* name, _tagFSA_ADAPTER_ENUM_INFO* info);

#endif
