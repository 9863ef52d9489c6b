#ifndef VYN_COMMAND_VYN_COMMON_FA_CONTEXT_H
#define VYN_COMMAND_VYN_COMMON_FA_CONTEXT_H

#include "Command/Vyn/common/fa_types.h"

#include <cstdint>

struct FAUX_COMM_CONTEXT;

// Everything the firmware interface knows about one opened adapter; one heap
// object per open, deleted by the close or by a failed open.
class FSAAPI_CONTEXT {
public:
    FSAAPI_CONTEXT() = default;
    virtual ~FSAAPI_CONTEXT() = default;
    FSAAPI_CONTEXT(const FSAAPI_CONTEXT&) = delete;
    FSAAPI_CONTEXT& operator=(const FSAAPI_CONTEXT&) = delete;

    // Identity of the open.
    FSA_ACCESS accessMode = FSA_ACC_READ_ONLY;

    // Driver revisions answered by the revision check.
    FSA_REVISION miniportDriverVersion = {};
    FSA_REVISION fileSystemDriverVersion = {};

    // The connection to the driver, owned by the context while open.
    FAUX_COMM_CONTEXT* commContext = nullptr;

    // The driver-handle word (first identity word) and the remote-adapter flag
    // (no-host-driver indicator): 0 for every adapter this system opens.
    uint32_t driverHandleWord = 0;
    int remoteAdapter = 0;
};

#endif
