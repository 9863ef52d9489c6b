// The one-command container operations. Apart from the fixed signature and
// the status print (which prints nothing), not available yet: each routine
// answers 31; those that report failure as a zero answer give 0.
#include "Command/Vyn/common/fa_intern_ctr.h"

namespace {

// Sent where a request carries no signature of its own.
constexpr uint32_t kFakeSimSignature = 0x12346789;

}  // namespace

uint32_t CT_GetFakeSimSignature() { return kFakeSimSignature; }

void CT_DebugPrintStatus(uint32_t, uint32_t) {}

void CT_CommitConfig(FSAAPI_CONTEXT*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_Delete_PPI_Bundles(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_UpdateEvents(FSAAPI_CONTEXT*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_ReadUserFlags(FSAAPI_CONTEXT*, uint32_t, uint16_t*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

FSA_STATUS CT_WriteUserFlags(FSAAPI_CONTEXT*, uint32_t, uint16_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_SetDumpContainerFlag(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_RemoveSnapshot(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

FSA_STATUS CT_GetSnapshotInfo(FSAAPI_CONTEXT*, uint32_t, FsaSnapshotInfo*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

FSA_STATUS CT_WriteMBR(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

FSA_STATUS CT_VynIoPhyDevOp(FSAAPI_CONTEXT*, uint32_t, uint32_t**, uint32_t*, int) { return FSA_STS_NOT_SUPPORTED; }

void CT_MoveContainer(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_DestroyContainer(FSAAPI_CONTEXT*, uint32_t, uint32_t, int)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_AddLevel(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_SetMirrorDelay(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

uint32_t CT_GetContainerDelay(FSAAPI_CONTEXT*, uint32_t, uint32_t*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_ClearFileSystem(FSAAPI_CONTEXT*, uint32_t, int) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_Zero(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_VolumeAdd(FSAAPI_CONTEXT*, uint32_t, uint32_t, uint32_t)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

void CT_GenerateMirror2(FSAAPI_CONTEXT*, MirrorCommand*) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_GenerateMirror(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_AssignFailover(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_ClearFailover(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_GetFailover(FSAAPI_CONTEXT*, uint32_t, FailoverSlices*)
{
    throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
}

int CT_ReadData(FSAAPI_CONTEXT*, void*, uint32_t, uint32_t, uint32_t) { return 0; }

uint32_t CT_GetSliceFailoverCount(FSAAPI_CONTEXT*, uint32_t) { return 0; }

void CT_UnMirror(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_MakeReadOnly(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_MakeReadWrite(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_Promote(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_ScrubContainer(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_Scrub2Container(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_CheckContainer(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_Check2Container(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

uint32_t CT_FlushContainer(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

FSA_STATUS CT_RestartMorph(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

uint32_t CT_LockDrainContainer(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

uint32_t CT_OfflineContainer(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

uint32_t CT_Copy(FSAAPI_CONTEXT*, uint32_t, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_LockContainer(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }

void CT_UnlockContainer(FSAAPI_CONTEXT*, uint32_t) { throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED); }
