#include "Command/Vyn/os/faux_ctrprep.h"

#include "Command/Vyn/common/fa_intern_ctr.h"
#include "Command/Vyn/os/HostIo.h"
#include "Command/Vyn/os/faux_debug.h"

void faos_TakeContainerSnapshot(FSAAPI_CONTEXT* ctx, FAOS_SNAPSHOT_TYPE type, const FAOS_COW_INFO* cow,
                                int container, int container2)
{
    const uint32_t number = static_cast<uint32_t>(container);
    const uint32_t number2 = static_cast<uint32_t>(container2);
    try {
        switch (type) {
        case FA_SPLIT_PRIMARY:
        case FA_SPLIT_SECONDARY:
            hostIo().sync();
            hostIo().sync();
            if (type == FA_SPLIT_PRIMARY)
                CT_Split(ctx, number, number2);
            else
                CT_SplitTwo(ctx, number, number2);
            break;
        case FA_SNAPSHOT:
        case FA_SNAPSHOT_LAST: {
            const FAOS_COW_INFO none{};
            const FAOS_COW_INFO& words = cow != nullptr ? *cow : none;
            faos_FillHandleArray(ctx, container);
            if (words.word[3] != 0) {
                faos_PauseContainerIO(ctx, container);
            } else {
                faos_FlushDataOnContainer(ctx, container);
                faos_FlushDataOnContainer(ctx, container);
            }
            CT_MakeSnapshot(ctx, number, number2, words.word[2], words.word[1], words.word[0], 0,
                            type == FA_SNAPSHOT_LAST ? 1 : 0);
            if (words.word[3] != 0)
                faos_ResumeContainerIO(ctx, container);
            faos_FreeHandleArray(ctx);
            break;
        }
        default:
            throw static_cast<FSA_STATUS>(FSA_STS_NOT_SUPPORTED);
        }
    } catch (FSA_STATUS status) {
        FsaUxDbgFilePrintf(FAUX_DBG_DRIVER, 0, 1, "-- faux_snapshot: throw=%d\n", static_cast<int>(status));
        throw;
    }
}
