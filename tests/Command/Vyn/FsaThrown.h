#ifndef VYN_TESTS_COMMAND_VYN_FSATHROWN_H
#define VYN_TESTS_COMMAND_VYN_FSATHROWN_H

#include "Command/Vyn/common/fa_types.h"

namespace vyntest {

// The status `work` throws; 1 when it returns. Routines of the container
// layer report failures by throwing, so tables of cases compare this.
template <class Work> FSA_STATUS thrownBy(Work&& work)
{
    try {
        work();
    } catch (FSA_STATUS status) {
        return status;
    }
    return 1;
}

}  // namespace vyntest

#endif
