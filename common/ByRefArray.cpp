#include "common/ByRefArray.h"

#include "common/Buffer.h"

void byRefArrayAllocationFailed()
{
    throw DynamicBufferException(DynamicBufferException::AllocationFailed);
}
