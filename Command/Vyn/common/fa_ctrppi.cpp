// The physical-device (PPI) table and the missing drives. Not available yet:
// each routine answers 31; the header read, which never fails, writes nothing.
#include "Command/Vyn/common/fa_intern_ctr.h"

void CT_GetPPITableHeaders(FSAAPI_CONTEXT*, FSA_PPI_TABLE_HDRS*) {}

void CT_GetMissingPPITableEntries(FSAAPI_CONTEXT*, FSA_PPI_ENTRY*, uint32_t*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_SortMissingDrives(FSAAPI_CONTEXT*, FSA_PPI_ENTRY*, FSA_PPI_ENTRY*, uint32_t, uint32_t&)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_DebugPrintPPIEntries(char*, uint32_t, FSA_PPI_ENTRY*) {}
